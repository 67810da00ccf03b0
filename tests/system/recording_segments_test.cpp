// A recording longer than one 300-second segment, ended by SIGKILL: the
// next segment follows without a lost picture, and the closed segment is
// whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/svsim_run.h"
#include "tests/video_probe.h"

namespace {

namespace fs = std::filesystem;

TEST(RecordingSegments, NextSegmentFollowsWithoutAGapAndAKillSparesTheClosedOne) {
    svsim_test::TempDir dir;
    const pid_t pid = svsim_test::spawn_svsim(dir.path, "rtc 2026-12-07 08:00:00 1\n"
                                                        "disk usb 8192\n"
                                                        "capture pattern\n"
                                                        "speed 1000\n"
                                                        "400 power off\n");
    ASSERT_GT(pid, 0);
    const fs::path disk = dir.path / "out/board/usb/usb/files";
    const std::string second = "20261207-080501_";
    // Killed a few seconds into the second segment, while it is being written.
    const int status = svsim_test::wait_svsim(pid, [&] {
        std::error_code ec;
        const auto size = fs::file_size(disk / (second + "F.h264"), ec);
        return !ec && size > 60000;
    });
    ASSERT_EQ(status, -3) << "the run ended before the second segment was written";

    for (const char camera : std::string("LRBF")) {
        const fs::path closed = disk / (std::string("20261207-080001_") + camera + ".h264");
        const fs::path open = disk / (second + camera + ".h264");
        ASSERT_TRUE(fs::exists(closed)) << closed;
        ASSERT_TRUE(fs::exists(open)) << open;

        // The closed segment: 300 s of pictures (the change waits for the
        // next key frame, at most one group of 12), all decodable.
        const video_probe::Probe p = video_probe::probe(closed);
        EXPECT_EQ(p.codec, "h264");
        EXPECT_NEAR(p.frames, 3600, 12) << closed;
        EXPECT_EQ(video_probe::decode_errors(closed), "") << closed;
        const long first = video_probe::pattern_counter(video_probe::luma(closed, 0));
        const long last = video_probe::pattern_counter(video_probe::luma(closed, p.frames - 1));
        EXPECT_EQ(last - first, p.frames - 1) << closed;

        // The next segment begins with the very next picture, on a key frame
        // so that it plays on its own.
        const std::vector<std::uint8_t> y = video_probe::luma(open, 0);
        EXPECT_EQ(video_probe::pattern_counter(y), last + 1) << open;
    }
}

}  // namespace
