// A run's recordings do not depend on how fast the host runs it: at speed 1
// and at speed 1000 the system powers on and off at the same board instants,
// so each camera's file holds the same pictures, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/svsim_run.h"
#include "tests/video_probe.h"

namespace {

namespace fs = std::filesystem;

TEST(RecordingSpeed, TheFilesAreTheSameAtSpeed1AndSpeed1000) {
    const std::string scenario = "rtc 2026-12-07 08:00:00 1\n"
                                 "disk usb 2000\n"
                                 "capture pattern\n"
                                 "3 power off\n";
    svsim_test::TempDir slow, fast;
    // Side by side: the slow run takes its three board seconds of host time anyway.
    const pid_t slow_pid = svsim_test::spawn_svsim(slow.path, scenario + "speed 1\n");
    const pid_t fast_pid = svsim_test::spawn_svsim(fast.path, scenario + "speed 1000\n");
    ASSERT_GT(slow_pid, 0);
    ASSERT_GT(fast_pid, 0);
    EXPECT_EQ(svsim_test::wait_svsim(fast_pid, [] { return false; }), 0);
    ASSERT_EQ(svsim_test::wait_svsim(slow_pid, [] { return false; }), 0);

    const fs::path files = "out/board/usb/usb/files";
    for (const char camera : std::string("LRBF")) {
        const std::string name = std::string("20261207-080001_") + camera + ".h264";
        const std::string a = svsim_test::read_file(slow.path / files / name);
        const std::string b = svsim_test::read_file(fast.path / files / name);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << ": " << a.size() << " bytes at speed 1, " << b.size() << " at 1000";
        // Recording starts at 1 s with the capture's frame 13 (due at 27/25 s);
        // 12 of the 25 source frames a second make frame 36 the one due at
        // 75/25 = 3 s, the instant of the power off, recorded too.
        const fs::path file = slow.path / files / name;
        const video_probe::Probe p = video_probe::probe(file);
        EXPECT_EQ(p.frames, 24) << name;
        EXPECT_EQ(video_probe::pattern_counter(video_probe::luma(file, 0)), 13) << name;
        EXPECT_EQ(video_probe::pattern_counter(video_probe::luma(file, p.frames - 1)), 36) << name;
    }
}

}  // namespace
