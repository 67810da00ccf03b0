// A run's recordings do not depend on how fast the host runs it: at speed 1
// and at speed 1000 the system powers on and off at the same board instants,
// and a recording ends at the same board instant however it is ended, so
// each camera's file holds the same pictures, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/svsim_run.h"
#include "tests/video_probe.h"

namespace {

namespace fs = std::filesystem;

const std::string kRecording = "rtc 2026-12-07 08:00:00 1\n"
                               "disk usb 2000\n"
                               "capture pattern\n";

// Every run's file of each camera is the first run's, byte for byte, and
// holds the capture's frames 13 to `last`: recording starts at 1 s with
// frame 13 (due at 27/25 s); 12 of the 25 source frames a second make frame
// F due at floor(F * 25 / 12) / 25 s.
void expect_same_files(const std::vector<fs::path>& runs, int last, const std::string& what) {
    const fs::path files = "out/board/usb/usb/files";
    for (const char camera : std::string("LRBF")) {
        const std::string name = std::string("20261207-080001_") + camera + ".h264";
        const fs::path file = runs[0] / files / name;
        const std::string a = svsim_test::read_file(file);
        ASSERT_FALSE(a.empty()) << what << ": " << name;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            const std::string b = svsim_test::read_file(runs[i] / files / name);
            EXPECT_TRUE(a == b) << what << ": " << name << ": " << a.size() << " bytes, " << b.size() << " in run "
                                << i;
        }
        const video_probe::Probe p = video_probe::probe(file);
        EXPECT_EQ(p.frames, last - 12) << what << ": " << name;
        EXPECT_EQ(video_probe::pattern_counter(video_probe::luma(file, 0)), 13) << what << ": " << name;
        EXPECT_EQ(video_probe::pattern_counter(video_probe::luma(file, p.frames - 1)), last) << what << ": " << name;
    }
}

TEST(RecordingSpeed, TheFilesAreTheSameAtSpeed1AndSpeed1000) {
    const std::string scenario = kRecording + "3 power off\n";
    svsim_test::TempDir slow, fast;
    // Side by side: the slow run takes its three board seconds of host time anyway.
    const pid_t slow_pid = svsim_test::spawn_svsim(slow.path, scenario + "speed 1\n");
    const pid_t fast_pid = svsim_test::spawn_svsim(fast.path, scenario + "speed 1000\n");
    ASSERT_GT(slow_pid, 0);
    ASSERT_GT(fast_pid, 0);
    EXPECT_EQ(svsim_test::wait_svsim(fast_pid, [] { return false; }), 0);
    ASSERT_EQ(svsim_test::wait_svsim(slow_pid, [] { return false; }), 0);
    // Frame 36, due at 75/25 = 3 s, the instant of the power off, is recorded too.
    expect_same_files({slow.path, fast.path}, 36, "power off");
}

// However the recording is stopped, the files hold exactly the pictures due
// by the board instant of the stop: two runs at speed 1 and two at 1000 of
// each way, all at once, so the host is busy.
TEST(RecordingSpeed, AStoppedRecordingIsTheSameAtEverySpeed) {
    struct Ending {
        const char* what;
        std::string events;
        int last;
    };
    // The menu and the vehicle ask at 2.7 and 2.5 s; the disk housekeeping
    // stops the recording in its pass at 3 s, with frame 36 (75/25 s). The disk
    // pulled at 2.5 s holds frame 30 (62/25 s), not 31 (64/25 s).
    const Ending endings[] = {
        {"menus", "settings scene\n1 key 5\n1.5 ir ok\n1.8 key 26\n2.1 key 26\n2.4 key 26\n2.7 key 5\n", 36},
        {"record_forbid on", "2.5 record_forbid on\n", 36},
        {"disk remove", "2.5 disk remove\n", 30},
    };
    constexpr int kCopies = 2;
    std::vector<svsim_test::TempDir> dirs(std::size(endings) * kCopies * 2);
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        const std::string speed = i % 2 ? "speed 1000\n" : "speed 1\n";
        pids.push_back(svsim_test::spawn_svsim(dirs[i].path, kRecording + endings[i / (kCopies * 2)].events +
                                                                 "3.5 power off\n" + speed));
        ASSERT_GT(pids.back(), 0);
    }
    for (const pid_t pid : pids) EXPECT_EQ(svsim_test::wait_svsim(pid, [] { return false; }), 0);
    if (HasFailure()) return;
    for (std::size_t e = 0; e < std::size(endings); ++e) {
        std::vector<fs::path> runs;
        for (int k = 0; k < kCopies * 2; ++k) runs.push_back(dirs[e * kCopies * 2 + k].path);
        expect_same_files(runs, endings[e].last, endings[e].what);
    }
}

}  // namespace
