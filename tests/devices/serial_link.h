// Reading the microcontroller's frames from the board's serial line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <vector>

#include "host/board.h"
#include "platform/devices.h"

using Bytes = std::vector<std::uint8_t>;
using FrameList = std::vector<Bytes>;

// Opens "/dev/ttyAMA1" the way the system does.
inline int open_serial() { return dev_open("/dev/ttyAMA1", O_RDWR | O_NOCTTY | O_NONBLOCK); }

inline void write_all(int fd, const Bytes& bytes) {
    ASSERT_EQ(dev_write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads whole frames (0x55 0xA0 LEN payload SUM, other bytes skipped) until
// `done` holds or `seconds` of host time pass.
inline FrameList read_frames(int fd, double seconds, const std::function<bool(const FrameList&)>& done = {}) {
    FrameList frames;
    Bytes rest;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end && !(done && done(frames))) {
        std::uint8_t buf[256];
        const ssize_t r = dev_read(fd, buf, sizeof buf);
        if (r <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        rest.insert(rest.end(), buf, buf + r);
        std::size_t i = 0;
        while (i + 3 <= rest.size()) {
            if (rest[i] != 0x55 || rest[i + 1] != 0xA0) {
                ++i;
                continue;
            }
            const std::size_t total = rest[i + 2] + 4u;
            if (i + total > rest.size()) break;
            frames.emplace_back(rest.begin() + std::ptrdiff_t(i), rest.begin() + std::ptrdiff_t(i + total));
            i += total;
        }
        rest.erase(rest.begin(), rest.begin() + std::ptrdiff_t(i));
    }
    return frames;
}

inline std::size_t count_class(const FrameList& frames, std::uint8_t cls) {
    return std::size_t(std::count_if(frames.begin(), frames.end(), [&](const Bytes& f) { return f[3] == cls; }));
}

// Waits until a frame exactly equal to `expected` has been read.
inline bool wait_frame(int fd, const Bytes& expected, double seconds = 2.0) {
    auto seen = [&](const FrameList& fs) { return std::find(fs.begin(), fs.end(), expected) != fs.end(); };
    return seen(read_frames(fd, seconds, seen));
}
