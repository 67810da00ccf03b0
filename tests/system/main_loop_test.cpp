// The whole system on the simulated board: start-up, settings, outputs by
// board code, the heartbeat, and the failures that end the main loop.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/svsim_run.h"
#include "vio/settings.h"

namespace {
using namespace svsim_test;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(SystemRun, EmptyBoardGetsTheDefaultSettingsAndAHeartbeat) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\npaced off\n0.5 power off\n"), 0) << read_file(tmp.path / "stderr.txt");
    const std::string file = read_file(tmp.path / "out/board/home/config/ImageParam.dat");
    ASSERT_EQ(file.size(), sizeof(Flash_param));
    EXPECT_EQ(std::memcmp(file.data(), &flash_param_default, sizeof(Flash_param)), 0);
    const std::string log = read_file(tmp.path / "out/board.log");
    EXPECT_TRUE(has(log, "mcu: heartbeat 0")) << log.substr(0, 3000);
    // Default brightness 3: decoder value 120, GPIO level 0.
    EXPECT_TRUE(has(log, "nvp6114: brightness ch 255 value 120"));
    EXPECT_TRUE(has(log, "gpio: bright 0"));
    // Capture, processing, encoders and the time-stamp region are up.
    EXPECT_TRUE(has(log, "nvp6114: video mode chip 1 mode 3"));
    EXPECT_TRUE(has(log, "i2c: write 0x60 reg 0xd1 = 0x0c"));
    EXPECT_TRUE(has(log, "shell: himm 0x20030008 0x26000000"));
    EXPECT_TRUE(has(log, "shell: himm 0x2003000c 0x006C2040"));
}

TEST(SystemRun, StoredSettingsAreUsed) {
    TempDir tmp;
    Flash_param p = flash_param_default;
    p.im_param.bright = 0;
    {
        std::ofstream out(tmp.path / "settings.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&p), sizeof p);
    }
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\npaced off\nsettings settings.dat\n0.5 power off\n"), 0);
    const std::string log = read_file(tmp.path / "out/board.log");
    // Brightness 0: decoder value 110, GPIO level 1.
    EXPECT_TRUE(has(log, "nvp6114: brightness ch 255 value 110"));
    EXPECT_TRUE(has(log, "gpio: bright 1"));
}

TEST(SystemRun, BoardCodeChangeRestartsTheOutputAndTheFramebuffer) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\npaced off\n0.5 board_code 3\n1.0 board_code 5\n1.5 power off\n"), 0);
    const std::string log = read_file(tmp.path / "out/board.log");
    const std::string console = read_file(tmp.path / "out/console.log");
    EXPECT_TRUE(has(console, "3***\n")) << console.substr(0, 1000);
    EXPECT_TRUE(has(console, "key_data is  3!"));
    EXPECT_TRUE(has(log, "shell: himm 0x2003000c 0x006C103C"));
    // Code 3: a 1440 x 540 panel showing 1260 x 540 from column 90.
    EXPECT_TRUE(has(log, "fb: /dev/fb0 1260x540 virtual 1440x540 32 bpp")) << log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    // Code 5: three more register commands, the bridge set-up and a register write every pass.
    EXPECT_TRUE(has(log, "shell: himm 0x200f00e8 0x00000000"));
    EXPECT_TRUE(has(log, "shell: himm 0x201b0400 0x00000001"));
    EXPECT_TRUE(has(log, "shell: himm 0x201b0004 0x00000001"));
    EXPECT_TRUE(has(log, "i2c: write 0x18 reg 0x0d = 0x93"));
    EXPECT_TRUE(has(log, "i2c: write 0x58 reg 0x1d = 0x29"));
}

// Each framebuffer failure ends the loop; the board reboots 10 s later.
TEST(SystemRun, FramebufferFailuresRebootTheBoard) {
    const std::pair<const char*, const char*> cases[] = {
        {"open /dev/fb0", "open fb0 failed!"},
        {"ioctl /dev/fb0 0x4008465F", "set screen original show position failed!"},
        {"ioctl /dev/fb0 0x4600", "Get variable screen info failed!"},
        {"ioctl /dev/fb0 0x4601", "Put variable screen info failed!"},
        {"ioctl /dev/fb0 0x40044678", "PUT_LAYER_INFO failed!"},
        {"ioctl /dev/fb0 0x40044665", "FBIOPUT_SHOW_HIFB failed!"},
        {"ioctl /dev/fb0 0x4004467C", "REFRESH failed!"},
    };
    for (const auto& [op, message] : cases) {
        TempDir tmp;
        ASSERT_EQ(run_svsim(tmp.path, std::string("paced off\nspeed 50\nfail 1 ") + op + "\n60 power off\n"), 0);
        const std::string log = read_file(tmp.path / "out/board.log");
        EXPECT_TRUE(has(read_file(tmp.path / "out/console.log"), message)) << op;
        EXPECT_TRUE(has(log, "shell: reboot")) << op;
        EXPECT_TRUE(has(log, "sim: run ended: reboot")) << op;
    }
}

TEST(SystemRun, MissingPanelDeviceRebootsForBoardCode15) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "paced off\nspeed 50\nboard_code 15\nfail -1 open /dev/i2c\n60 power off\n"), 0);
    const std::string console = read_file(tmp.path / "out/console.log");
    EXPECT_TRUE(has(console, "[QX_SHOW_PIC]-")) << console.substr(0, 2000);
    EXPECT_TRUE(has(read_file(tmp.path / "out/board.log"), "shell: reboot"));
}

TEST(SystemRun, MissingSerialPortRebootsTheBoard) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "paced off\nspeed 50\nfail 1 open /dev/ttyAMA1\n60 power off\n"), 0);
    EXPECT_TRUE(has(read_file(tmp.path / "out/board.log"), "shell: reboot"));
    EXPECT_TRUE(has(read_file(tmp.path / "stderr.txt"), "Can't Open Serial Port"));
}

}  // namespace
