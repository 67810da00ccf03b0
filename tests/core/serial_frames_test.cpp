// Frames from the vehicle microcontroller into the vehicle-state record.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "dsp/dsp_control.h"

namespace {

// 0x55 0xA0 LEN payload SUM, SUM = payload bytes mod 256.
std::vector<std::uint8_t> frame(std::vector<std::uint8_t> payload) {
    std::vector<std::uint8_t> f = {0x55, 0xA0, static_cast<std::uint8_t>(payload.size())};
    unsigned sum = 0;
    for (auto b : payload) {
        f.push_back(b);
        sum += b;
    }
    f.push_back(static_cast<std::uint8_t>(sum));
    return f;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Kv_UART_INFO start_state() {
    Kv_UART_INFO info{};
    info.sys_status = 0x10;
    info.angle = 32767;
    return info;
}

void feed(const std::vector<std::uint8_t>& bytes, Kv_UART_INFO& info, std::uint8_t& state) {
    uart_process(bytes.data(), static_cast<int>(bytes.size()), &state, &info);
}

TEST(SerialFrames, StatusFrameFillsItsFields) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 9;
    // Reverse and ACC, angle -1200 = 0xFB50 (big-endian), version 0x93, 3 h, OK button.
    feed(frame({0x81, 0x14, 0xFB, 0x50, 0x93, 3, 0x40}), info, state);
    EXPECT_EQ(info.sys_status, 0x14);
    EXPECT_EQ(info.angle, -1200);
    EXPECT_EQ(info.pic_ver, 0x93);
    EXPECT_EQ(info.parking_time, 3);
    EXPECT_EQ(info.car_key, 0x40);
    EXPECT_EQ(info.f1, 0);
    EXPECT_EQ(state, 0);
}

TEST(SerialFrames, RadarAndKeyFramesWriteOnlyTheirOwnFields) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(frame({0x82, 2, 10, 20, 30, 40, 50, 60, 70, 80}) + frame({0x85, 27}), info, state);
    EXPECT_EQ(info.radar_mode, 2);
    EXPECT_EQ(info.f1, 10);
    EXPECT_EQ(info.f4, 40);
    EXPECT_EQ(info.b1, 50);
    EXPECT_EQ(info.b4, 80);
    EXPECT_EQ(info.key, 27);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 32767);
}

TEST(SerialFrames, TheLaterOfTwoStatusFramesWins) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(frame({0x81, 0x14, 0, 100, 1, 0, 0}) + frame({0x81, 0x10, 0x01, 0x00, 1, 0, 0}), info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 256);
}

TEST(SerialFrames, BadSumChangesNothing) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    auto f = frame({0x81, 0x14, 0, 100, 1, 0, 0});
    f.back() ^= 1;
    feed(f, info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 32767);
}

TEST(SerialFrames, GarbageBeforeAFrameIsSkipped) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(std::vector<std::uint8_t>{0x00, 0x55, 0x13, 0xA0, 0x55, 0x55} + frame({0x85, 5}), info, state);
    EXPECT_EQ(info.key, 5);
}

TEST(SerialFrames, FrameSplitAcrossTwoReadsIsTaken) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    const auto f = frame({0x81, 0x14, 0, 100, 1, 0, 0});
    feed(std::vector<std::uint8_t>(f.begin(), f.begin() + 4), info, state);
    EXPECT_EQ(state, 3);  // the parser stopped inside the payload
    EXPECT_EQ(info.sys_status, 0x10);
    feed(std::vector<std::uint8_t>(f.begin() + 4, f.end()) + frame({0x85, 6}), info, state);
    EXPECT_EQ(info.sys_status, 0x14);
    EXPECT_EQ(info.angle, 100);
    EXPECT_EQ(info.key, 6);
    EXPECT_EQ(state, 0);
}

// Each byte in a read of its own, as a slow line delivers them.
void feed_bytewise(const std::vector<std::uint8_t>& bytes, Kv_UART_INFO& info, std::uint8_t& state) {
    for (std::uint8_t b : bytes) uart_process(&b, 1, &state, &info);
}

TEST(SerialFrames, OddRunOfSyncBytesBeforeAFrame) {
    const std::vector<std::uint8_t> bytes = {0x55, 0x55, 0xA0, 0x02, 0x85, 0x1B, 0xA0};
    for (auto how : {feed, feed_bytewise}) {
        Kv_UART_INFO info = start_state();
        std::uint8_t state = 0;
        how(bytes, info, state);
        EXPECT_EQ(info.key, 27);
        EXPECT_EQ(state, 0);
    }
}

// A false header whose length covers the next frames: once its sum fails,
// the frames inside it are still found.
TEST(SerialFrames, FalseHeaderDoesNotSwallowTheFramesAfterIt) {
    // 0x55 0xA0, LEN 8 and a status class; its 8 payload bytes run into the radar
    // frame and its sum byte would be 0x0D, but the radar frame's 0xA0 comes.
    const auto bytes = std::vector<std::uint8_t>{0x55, 0xA0, 0x08, 0x81} + frame({0x85, 27}) +
                       frame({0x82, 2, 10, 20, 30, 40, 50, 60, 70, 80});
    // An unknown class right after a header is no frame either.
    const auto unknown = std::vector<std::uint8_t>{0x55, 0xA0, 0x05, 0x99} + frame({0x85, 26});
    for (auto how : {feed, feed_bytewise}) {
        Kv_UART_INFO info = start_state();
        std::uint8_t state = 0;
        how(bytes, info, state);
        EXPECT_EQ(info.key, 27);
        EXPECT_EQ(info.radar_mode, 2);
        EXPECT_EQ(info.f1, 10);
        EXPECT_EQ(info.b4, 80);
        EXPECT_EQ(info.sys_status, 0x10);
        EXPECT_EQ(info.angle, 32767);
        EXPECT_EQ(state, 0);
        how(unknown, info, state);
        EXPECT_EQ(info.key, 26);
    }
}

// Payload bytes each class needs, from the record table.
std::size_t class_need(std::uint8_t cls) { return cls == 0x81 ? 7 : cls == 0x82 ? 10 : cls == 0x85 ? 2 : 0; }

// Whether a frame the system takes starts at `p`.
bool valid_frame_at(const std::vector<std::uint8_t>& s, std::size_t p) {
    if (p + 4 >= s.size() || s[p] != 0x55 || s[p + 1] != 0xA0) return false;
    const std::size_t len = s[p + 2];
    if (len == 0 || class_need(s[p + 3]) == 0 || len < class_need(s[p + 3]) || p + 3 + len >= s.size()) return false;
    unsigned sum = 0;
    for (std::size_t k = 0; k < len; ++k) sum += s[p + 3 + k];
    return (sum & 0xFF) == s[p + 3 + len];
}

// Status, radar and key frames with stray bytes and false headers between
// them, read in random pieces: every key is taken once and in order, the
// status frames arrive in order, and the last status and radar frames win.
TEST(SerialFrames, RandomStreamCutIntoRandomReads) {
    std::mt19937 rng(7301);
    auto below = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    std::vector<std::uint8_t> stream;
    std::vector<bool> in_frame;  // bytes of the real frames
    auto put = [&](const std::vector<std::uint8_t>& bytes, bool real) {
        stream.insert(stream.end(), bytes.begin(), bytes.end());
        in_frame.insert(in_frame.end(), bytes.size(), real);
    };
    std::vector<std::uint8_t> keys;
    std::vector<std::uint8_t> last_radar;
    int statuses = 0;
    std::size_t key_end = 0;
    for (int i = 0; i < 8000; ++i) {
        std::vector<std::uint8_t> stray;
        switch (below(4)) {
        case 0:
            for (unsigned n = 1 + below(6); n > 0; --n) stray.push_back(static_cast<std::uint8_t>(below(256)));
            break;
        case 1: {
            // A false header of a known class with a short length.
            const std::uint8_t classes[] = {0x81, 0x82, 0x85};
            stray = {0x55, 0xA0, static_cast<std::uint8_t>(1 + below(20)), classes[below(3)]};
            for (unsigned n = below(4); n > 0; --n) stray.push_back(static_cast<std::uint8_t>(below(256)));
            break;
        }
        default: break;
        }
        put(stray, false);
        // Keys far enough apart that no read can hold two of them, even when a
        // false header holds one back for a whole frame's length.
        unsigned kind = below(3);
        if (kind == 2 && stream.size() < key_end + 400) kind = below(2);
        if (kind == 0) {
            ++statuses;
            put(frame({0x81, static_cast<std::uint8_t>(below(256)), static_cast<std::uint8_t>(statuses >> 8),
                       static_cast<std::uint8_t>(statuses & 0xFF), static_cast<std::uint8_t>(below(256)),
                       static_cast<std::uint8_t>(below(256)), 0}),
                true);
        } else if (kind == 1) {
            std::vector<std::uint8_t> p = {0x82};
            for (int k = 0; k < 9; ++k) p.push_back(static_cast<std::uint8_t>(below(256)));
            last_radar = p;
            put(frame(p), true);
        } else {
            keys.push_back(static_cast<std::uint8_t>(1 + keys.size() % 250));
            put(frame({0x85, keys.back()}), true);
            key_end = stream.size();
        }
    }
    put(std::vector<std::uint8_t>(300, 0x00), false);
    // No frame may start among the stray bytes: spoil any that does.
    for (bool spoiled = true; spoiled;) {
        spoiled = false;
        for (std::size_t p = 0; p < stream.size(); ++p)
            if (!in_frame[p] && valid_frame_at(stream, p)) {
                stream[p] = 0x00;
                spoiled = true;
            }
    }
    ASSERT_GT(keys.size(), 150u);
    ASSERT_GT(statuses, 2000);

    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    std::vector<std::uint8_t> got;
    int last_status = 0;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min<std::size_t>(1 + below(64), stream.size() - at);
        uart_process(stream.data() + at, static_cast<int>(n), &state, &info);
        at += n;
        if (info.key != 0) got.push_back(info.key);
        info.key = 0;
        ASSERT_GE(info.angle, last_status) << "at byte " << at;
        last_status = info.angle;
    }
    EXPECT_EQ(got, keys);
    EXPECT_EQ(info.angle, statuses);
    EXPECT_EQ(info.radar_mode, last_radar[1]);
    EXPECT_EQ(info.f1, last_radar[2]);
    EXPECT_EQ(info.b4, last_radar[9]);
    EXPECT_EQ(state, 0);
}

TEST(SerialFrames, FramesShorterThanTheirClassAreDropped) {
    Kv_UART_INFO info = start_state();
    info.key = 0;
    std::uint8_t state = 0;
    // A status frame of 3 bytes, a radar frame of 9, a key frame of 1, and LEN 0
    // (which still takes one byte: 0x85 with a sum of 0).
    feed(frame({0x81, 0x14, 0}) + frame({0x82, 1, 2, 3, 4, 5, 6, 7, 8}) + frame({0x85}) +
             std::vector<std::uint8_t>{0x55, 0xA0, 0x00, 0x85, 0x00},
         info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.radar_mode, 0);
    EXPECT_EQ(info.f1, 0);
    EXPECT_EQ(info.key, 0);
    // Longer frames are fine: the extra bytes are ignored.
    feed(frame({0x85, 26, 99}), info, state);
    EXPECT_EQ(info.key, 26);
}

TEST(SerialFrames, UnknownClassesAndEmptyBuffers) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 4;
    feed(frame({0x86, 1, 2, 3, 4, 5, 6, 7, 8, 9}), info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    state = 4;
    uart_process(nullptr, 0, &state, &info);
    EXPECT_EQ(state, 0);
}

}  // namespace
