// Buffer sizes, the outputs by board code and the board controls.
#include <fcntl.h>

#include "common/sample_comm.h"
#include "host/internal.h"
#include "dsp/dsp_control.h"
#include "tests/board_fixture.h"
#include "vio/settings.h"
#include "vio/vio.h"

namespace {

TEST(PictureBuffers, BlockSizesAlignWidthAndHeight) {
    testing::internal::CaptureStdout();
    // 1280 x 720 at alignment 64: the height becomes 768.
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_HD720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, 64),
              1280u * 768u * 2u);
    // D1 is taken as 720 wide: 768 x 576 x 1.5 at alignment 64 for 4:2:0.
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_D1, PIXEL_FORMAT_YUV_SEMIPLANAR_420, 64),
              768u * 576u * 3u / 2u);
    // NTSC CIF at 16: 352 x 240 x 2.
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_NTSC, PIC_CIF, PIXEL_FORMAT_YUV_SEMIPLANAR_422, 16),
              352u * 240u * 2u);
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_HD720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, 48),
              0xFFFFFFFFu);
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_CIF, PIXEL_FORMAT_RGB_1555, 64), 0xFFFFFFFFu);
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, static_cast<PIC_SIZE_E>(3),
                                               PIXEL_FORMAT_YUV_SEMIPLANAR_422, 64),
              0xFFFFFFFFu);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("w:1280, u32AlignWidth:64\n"), std::string::npos);
    EXPECT_NE(out.find("system align width[48] input failed!\n"), std::string::npos);
    EXPECT_NE(out.find("pixel format[3] input failed!\n"), std::string::npos);
}

class Outputs : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        testing::internal::CaptureStdout();
        VB_CONF_S vb{};
        vb.u32MaxPoolCnt = 128;
        vb.astCommPool[0] = {784, 4, {}};
        ASSERT_EQ(SAMPLE_COMM_SYS_Init(&vb), 0);
        start_cvbs();
    }
    void TearDown() override {
        testing::internal::GetCapturedStdout();
        BoardTest::TearDown();
    }
};

struct Geometry {
    int code;
    unsigned xres, yres, xvirt, yvirt;
    int origin;
    const char* himm;
    int panel_w, panel_h;
};

TEST_F(Outputs, EachBoardCodeGetsItsTimingAndGeometry) {
    const Geometry rows[] = {
        {1, 800, 480, 800, 480, 0, "0x006C2040", 800, 480},     {2, 800, 480, 800, 480, 0, "0x006C2044", 800, 480},
        {3, 1260, 540, 1440, 540, 90, "0x006C103C", 1440, 540}, {4, 1120, 480, 1280, 480, 80, "0x006C2051", 1280, 480},
        {6, 800, 480, 800, 480, 0, "0x006C2043", 800, 480},     {7, 1280, 720, 1280, 720, 0, "0x006C207c", 1280, 720},
        {9, 400, 240, 400, 240, 0, "0x006C2015", 400, 240},     {10, 1680, 720, 1920, 720, 120, "0x006C20b3", 1920, 720},
        {11, 1680, 720, 1920, 720, 120, "0x006C20b3", 1920, 720}, {13, 640, 480, 640, 480, 0, "0x006C2036", 640, 480},
        {14, 960, 540, 1440, 540, 0, "0x006C103C", 1440, 540},  {15, 800, 480, 800, 480, 0, "0x006C204a", 800, 480},
        {0, 800, 480, 800, 480, 0, "0x006C2040", 800, 480},     {200, 800, 480, 800, 480, 0, "0x006C2040", 800, 480},
    };
    for (const Geometry& g : rows) {
        host::board_log_clear();
        start_HD(static_cast<HI_U8>(g.code));
        EXPECT_EQ(var_xres, g.xres) << g.code;
        EXPECT_EQ(var_yres, g.yres) << g.code;
        EXPECT_EQ(var_xres_virtual, g.xvirt) << g.code;
        EXPECT_EQ(var_yres_virtual, g.yvirt) << g.code;
        EXPECT_EQ(stPoint.s32X, g.origin) << g.code;
        EXPECT_EQ(stPoint.s32Y, 0) << g.code;
        const auto shell = host::board_log_lines("shell");
        ASSERT_GE(shell.size(), 2u) << g.code;
        EXPECT_EQ(shell[0], "shell: himm 0x20030008 0x26000000");
        EXPECT_EQ(shell[1], std::string("shell: himm 0x2003000c ") + g.himm);
        EXPECT_EQ(host::hd_output().width, g.panel_w) << g.code;
        EXPECT_EQ(host::hd_output().height, g.panel_h) << g.code;
    }
}

TEST_F(Outputs, BridgeWritesForCodes5And7And12) {
    const std::pair<int, std::vector<std::string>> cases[] = {
        {5, {"i2c: write 0x18 reg 0x03 = 0xfb", "i2c: write 0x18 reg 0x12 = 0x04", "i2c: write 0x18 reg 0x0d = 0x93",
             "i2c: write 0x18 reg 0x01 = 0x01"}},
        {7, {"i2c: write 0x18 reg 0x03 = 0xfb", "i2c: write 0x18 reg 0x12 = 0x00", "i2c: write 0x18 reg 0x0d = 0xa0",
             "i2c: write 0x18 reg 0x01 = 0x01"}},
        {12, {"i2c: write 0x18 reg 0x03 = 0xfb", "i2c: write 0x18 reg 0x01 = 0x01"}},
    };
    for (const auto& [code, writes] : cases) {
        host::board_log_clear();
        start_HD(static_cast<HI_U8>(code));
        EXPECT_EQ(host::board_log_lines("i2c"), writes) << code;
    }
    EXPECT_EQ(host::board_log_lines("shell").size(), 2u);  // code 12: the two common commands only
}

TEST_F(Outputs, BridgeThatCannotBeReachedLeavesTheOutputStopped) {
    start_HD(1);
    EXPECT_TRUE(host::hd_output().enabled);
    host::inject_failure("open /dev/i2c");
    start_HD(7);
    EXPECT_FALSE(host::hd_output().enabled);
}

class Controls : public BoardTest {};

TEST_F(Controls, BrightnessTable) {
    const struct {
        std::uint16_t bright;
        const char* value;
        const char* level;
    } rows[] = {{0, "110", "1"}, {1, "100", "0"}, {2, "110", "0"}, {3, "120", "0"}, {4, "130", "0"}, {9, "110", "0"}};
    for (const auto& r : rows) {
        host::board_log_clear();
        Image_param p = flash_param_default.im_param;
        p.bright = r.bright;
        set_bright(p);
        EXPECT_EQ(host::board_log_lines("gpio"), std::vector<std::string>{std::string("gpio: bright ") + r.level});
        EXPECT_EQ(host::board_log_lines("nvp6114"),
                  (std::vector<std::string>{std::string("nvp6114: brightness ch 255 value ") + r.value,
                                            "nvp6114: adjust ch 255 value 90"}));
    }
}

TEST_F(Controls, DisplayPowerAndTheAccDelaySetting) {
    flash_param = flash_param_default;
    av_on();
    EXPECT_TRUE(host::av_power());
    EXPECT_EQ(gpio_reverse, 1);
    av_off();
    EXPECT_FALSE(host::av_power());
    EXPECT_EQ(gpio_reverse, 0);
    av_on();
    flash_param.im_param.acc_time = 5;
    av_off();
    EXPECT_TRUE(host::av_power());  // ACC delay 5 keeps the display on
    EXPECT_EQ(gpio_reverse, 1);
    flash_param = flash_param_default;
}

TEST_F(Controls, MissingDecoderStopsBeforeTheGpio) {
    host::inject_failure("open /dev/nvp6114");
    testing::internal::CaptureStdout();
    set_bright(flash_param_default.im_param);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("open nvp6114 failed!"), std::string::npos);
    EXPECT_TRUE(host::board_log_lines("gpio").empty());
}

}  // namespace

namespace {

TEST_F(Controls, BoardCodeKeepsItsValueWhenTheGpioDeviceIsMissing) {
    host::board_set_code(7);
    EXPECT_EQ(get_key(), 7);
    host::inject_failure("open /dev/gpioi2c");
    testing::internal::CaptureStdout();
    EXPECT_EQ(get_key(), 7);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[get_key]-"), std::string::npos);
    host::board_set_code(3);
    EXPECT_EQ(get_key(), 3);
}

}  // namespace
