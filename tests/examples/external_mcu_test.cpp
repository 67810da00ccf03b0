// The README's external microcontroller: a program on the printed
// pseudo-terminal sends a key frame, the system answers with heartbeats and
// opens the view.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

std::vector<std::uint8_t> frame(std::initializer_list<std::uint8_t> payload) {
    std::vector<std::uint8_t> f{0x55, 0xA0, static_cast<std::uint8_t>(payload.size())};
    unsigned sum = 0;
    for (auto b : payload) f.push_back(b), sum += b;
    f.push_back(static_cast<std::uint8_t>(sum));
    return f;
}

bool lit(const fs::path& png) {
    host::Picture p;
    if (!host::read_png(png, p)) return false;
    for (auto px : p.argb)
        if (px & 0xFFFFFF) return true;
    return false;
}

TEST(ExternalMcu, AKeyFrameOnThePrintedTerminalOpensTheViewAndHeartbeatsComeBack) {
    TempDir tmp;
    const pid_t pid = spawn_svsim(tmp.path,
                                  "mcu external\nsettings scene\n0.5 screenshot before\n5 screenshot after\n"
                                  "5.1 power off\n");
    ASSERT_GT(pid, 0);
    // "svsim: serial line /dev/ttyAMA1 is /dev/pts/N (open it to play the microcontroller)"
    const std::string printed = "serial line /dev/ttyAMA1 is ", tail = " (open it to play the microcontroller)";
    std::string err;
    std::size_t at = std::string::npos;
    for (int i = 0; i < 1000 && (at = (err = read_file(tmp.path / "stderr.txt")).find(tail)) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(at, std::string::npos) << err;
    const std::size_t from = err.find(printed);
    ASSERT_NE(from, std::string::npos) << err;
    const std::string tty = err.substr(from + printed.size(), at - from - printed.size());
    ASSERT_TRUE(tty.starts_with("/dev/pts/")) << tty;
    const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 1000 && !fs::exists(tmp.path / "out/screens/before.png"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& f : {frame({0x81, 0x10, 0, 0, 0, 0, 0}), frame({0x85, 5})})
        ASSERT_EQ(::write(fd, f.data(), f.size()), static_cast<ssize_t>(f.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::uint8_t back[8] = {};
    ASSERT_EQ(::read(fd, back, sizeof back), static_cast<ssize_t>(sizeof back));
    // A heartbeat a pass: 55 0A BB and whether the disk is mounted (none is).
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 8),
              (std::vector<std::uint8_t>{0x55, 0x0A, 0xBB, 0x00, 0x55, 0x0A, 0xBB, 0x00}));
    EXPECT_EQ(wait_svsim(pid, [] { return false; }), 0);
    ::close(fd);
    EXPECT_FALSE(lit(tmp.path / "out/screens/before.png"));
    EXPECT_TRUE(lit(tmp.path / "out/screens/after.png"));
}

}  // namespace
