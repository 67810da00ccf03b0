// A fresh board per test with "/dev/fb0" open, and the system's steps to show a canvas.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "host/board.h"
#include "host/internal.h"
#include "platform/devices.h"
#include "platform/hifb.h"
#include "platform/mpi.h"

namespace display_test {

namespace fs = std::filesystem;

inline fs::path temp_dir(const char* what) {
    static std::atomic<int> serial{0};
    return fs::path(::testing::TempDir()) /
           (std::string(what) + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
}

// The request's result, or minus errno when it failed.
inline int request(int fd, unsigned long req, void* arg) {
    errno = 0;
    const int r = dev_ioctl(fd, req, arg);
    return r < 0 ? -errno : r;
}

class Board : public ::testing::Test {
protected:
    void SetUp() override {
        host::BoardOptions o;
        o.root = root_;
        o.paced = false;
        o.start_mcu = false;
        host::board_init(o);
        fd_ = dev_open("/dev/fb0", O_RDWR);
        ASSERT_GE(fd_, 0);
    }
    void TearDown() override {
        host::board_shutdown();
        fs::remove_all(root_);
    }
    // Origin, 32-bit screen information, double buffering with automatic anti-flicker, show.
    void set_up(int origin_x = 0, unsigned xres = 800, unsigned yres = 480, unsigned virt_x = 800,
                unsigned virt_y = 480) {
        HIFB_POINT_S origin{origin_x, 0};
        ASSERT_EQ(request(fd_, FBIOPUT_SCREEN_ORIGIN_HIFB, &origin), 0);
        fb_var_screeninfo var{};
        ASSERT_EQ(request(fd_, FBIOGET_VSCREENINFO, &var), 0);
        var.xres = xres, var.yres = yres, var.xres_virtual = virt_x, var.yres_virtual = virt_y;
        var.bits_per_pixel = 32;
        var.transp = {24, 8, 0}, var.red = {16, 8, 0}, var.green = {8, 8, 0}, var.blue = {0, 8, 0};
        ASSERT_EQ(request(fd_, FBIOPUT_VSCREENINFO, &var), 0);
        HIFB_LAYER_INFO_S info{};
        ASSERT_EQ(request(fd_, FBIOGET_LAYER_INFO, &info), 0);
        info.BufMode = HIFB_LAYER_BUF_DOUBLE;
        info.eAntiflickerLevel = HIFB_LAYER_ANTIFLICKER_AUTO;
        info.u32Mask |= HIFB_LAYERMASK_BUFMODE | HIFB_LAYERMASK_ANTIFLICKER_MODE;
        ASSERT_EQ(request(fd_, FBIOPUT_LAYER_INFO, &info), 0);
        HI_BOOL show = HI_TRUE;
        ASSERT_EQ(request(fd_, FBIOPUT_SHOW_HIFB, &show), 0);
    }
    fs::path root_ = temp_dir("display");
    int fd_ = -1;
};

// An 800 x 480 ARGB8888 canvas in media memory, as the system hands it over.
struct Canvas {
    HIFB_BUFFER_S buf{};
    std::uint32_t* px = nullptr;
    Canvas() {
        const host::MmzBlock block = host::mmz_alloc(800 * 480 * 4);
        px = static_cast<std::uint32_t*>(block.virt);
        buf.stCanvas = {block.phys, 800, 480, 3200, HIFB_FMT_ARGB8888};
        buf.UpdateRect = {0, 0, 800, 480};
    }
    std::uint32_t& at(int x, int y) { return px[y * 800 + x]; }
};

inline std::uint32_t at(const host::Picture& p, int x, int y) {
    return p.argb.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x));
}

}  // namespace display_test
