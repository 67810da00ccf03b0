// GPIO commands, the video decoder's picture controls and plain I2C chips.
#include <fcntl.h>

#include "board_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class BoardControls : public BoardTest {
protected:
    int ioctl_on(const char* path, unsigned long request, void* arg) {
        const int fd = dev_open(path, O_RDONLY);
        EXPECT_GE(fd, 0) << path;
        const int r = dev_ioctl(fd, request, arg);
        const int e = errno;
        dev_close(fd);
        errno = e;
        return r;
    }
};

TEST_F(BoardControls, GpioPowerBrightnessAndBoardCode) {
    EXPECT_FALSE(host::av_power());
    EXPECT_EQ(host::bright_flag(), -1);
    for (unsigned v : {1u, 0u, 0u, 1u}) ASSERT_EQ(ioctl_on("/dev/gpioi2c", GPIO_SET_AV_POWER, &v), 0);
    unsigned bright = 1;
    ASSERT_EQ(ioctl_on("/dev/gpioi2c", GPIO_SET_BRIGHT, &bright), 0);
    EXPECT_TRUE(host::av_power());
    EXPECT_EQ(host::bright_flag(), 1);
    EXPECT_EQ(host::board_log_lines("gpio"),
              (Lines{"gpio: power 1", "gpio: power 0", "gpio: power 0", "gpio: power 1", "gpio: bright 1"}));

    unsigned char code = 0;
    ASSERT_EQ(ioctl_on("/dev/gpioi2c", GPIO_GET_BOARD_CODE, &code), 0);
    EXPECT_EQ(code, 1);
    host::board_set_code(7);
    ASSERT_EQ(ioctl_on("/dev/gpioi2c", GPIO_GET_BOARD_CODE, &code), 0);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(host::board_log_lines("board").back(), "board: code 7");

    EXPECT_EQ(ioctl_on("/dev/gpioi2c", GPIO_SET_AV_POWER, nullptr), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(ioctl_on("/dev/gpioi2c", 21, &bright), -1);
    EXPECT_EQ(errno, ENOTTY);

    power_on({});  // a new board starts from the defaults
    EXPECT_EQ(host::board_code(), 1);
    EXPECT_FALSE(host::av_power());
}

TEST_F(BoardControls, VideoDecoderCommandsAreLogged) {
    nvp6114_video_mode mode{0, 11};
    _vdec_video_adjust bright{255, 110}, adjust{255, 90};
    EXPECT_EQ(ioctl_on("/dev/nvp6114", NVP6114_SET_VIDEO_MODE, &mode), 0);
    EXPECT_EQ(ioctl_on("/dev/nvp6114", NVP6114_SET_BRIGHTNESS, &bright), 0);
    EXPECT_EQ(ioctl_on("/dev/nvp6114", NVP6114_SET_ADJUST2, &adjust), 0);
    EXPECT_EQ(ioctl_on("/dev/nvp6114", NVP6114_SET_ADJUST2, nullptr), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(host::board_log_lines("nvp6114"),
              (Lines{"nvp6114: video mode chip 0 mode 11", "nvp6114: brightness ch 255 value 110",
                     "nvp6114: adjust ch 255 value 90"}));
}

TEST_F(BoardControls, ChipRegistersKeepWritesAndLogEachAccess) {
    I2C_DATA_S w{I2C_ADDR_VDEC, 0xFF, 1, 0x01, 1}, r{I2C_ADDR_VDEC, 0xFF, 1, 0, 1}, fresh{0x58, 0x10, 1, 0xAB, 1};
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_WRITE, &w), 0);
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_READ, &r), 0);
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_READ, &fresh), 0);
    EXPECT_EQ(r.data, 0x01u);
    EXPECT_EQ(fresh.data, 0u);
    // Two bytes go high byte first into consecutive registers.
    I2C_DATA_S w2{0x18, 0x03, 1, 0xFB12, 2}, lo{0x18, 0x04, 1, 0, 1}, both{0x18, 0x03, 1, 0, 2};
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_WRITE, &w2), 0);
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_READ, &lo), 0);
    ASSERT_EQ(ioctl_on("/dev/i2c", I2C_READ, &both), 0);
    EXPECT_EQ(lo.data, 0x12u);
    EXPECT_EQ(both.data, 0xFB12u);
    const Lines log = host::board_log_lines("i2c");
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "i2c: write 0x60 reg 0xff = 0x01");
    EXPECT_EQ(log[1], "i2c: read 0x60 reg 0xff -> 0x01");
    EXPECT_EQ(log[2], "i2c: read 0x58 reg 0x10 -> 0x00");
}

TEST_F(BoardControls, BadI2cAccessesFail) {
    I2C_DATA_S absent{0x42, 0x00, 1, 0x01, 1};
    EXPECT_EQ(ioctl_on("/dev/i2c", I2C_WRITE, &absent), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(host::board_log_lines("i2c"), (Lines{"i2c: write 0x42 reg 0x00 failed: no acknowledge"}));
    I2C_DATA_S two_address_bytes{I2C_ADDR_VDEC, 0, 2, 0, 1}, three_data_bytes{I2C_ADDR_VDEC, 0, 1, 0, 3};
    EXPECT_EQ(ioctl_on("/dev/i2c", I2C_READ, &two_address_bytes), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(ioctl_on("/dev/i2c", I2C_READ, &three_data_bytes), -1);
    EXPECT_EQ(errno, EINVAL);
}

}  // namespace
