// Recording through the whole system on the simulated board: the files on
// the disk are looked at with FFmpeg's tools, as any player would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/svsim_run.h"
#include "tests/video_probe.h"

namespace {

namespace fs = std::filesystem;
using svsim_test::read_file;
using svsim_test::times_of;

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

constexpr const char* kCameras = "LRBF";

// The files of one segment, L R B F, with the given suffix ("" or "#").
std::vector<std::string> segment(const std::string& stamp, const std::string& lock) {
    std::vector<std::string> out;
    for (const char* c = kCameras; *c; ++c) out.push_back(stamp + "_" + *c + lock + ".h264");
    return out;
}

// Every file decodes without a complaint, as 720p H.264 at 12 frames a
// second, and its pictures follow each other without a gap: the test
// pattern's frame counter of the last picture is the first one's plus the
// number of pictures less one. Returns the frame count.
int check_playable(const fs::path& file) {
    const video_probe::Probe p = video_probe::probe(file);
    EXPECT_EQ(p.codec, "h264") << file;
    EXPECT_EQ(p.width, 1280) << file;
    EXPECT_EQ(p.height, 720) << file;
    EXPECT_EQ(p.rate, "12/1") << file;
    EXPECT_EQ(video_probe::decode_errors(file), "") << file;
    const long first = video_probe::pattern_counter(video_probe::luma(file, 0));
    const long last = video_probe::pattern_counter(video_probe::luma(file, p.frames - 1));
    EXPECT_GE(first, 0) << file;
    EXPECT_EQ(last - first, p.frames - 1) << file;
    return p.frames;
}

TEST(RecordingRun, SegmentsPlayLockOnStopAndRestartWithANewName) {
    svsim_test::TempDir dir;
    ASSERT_EQ(svsim_test::run_svsim(dir.path, "rtc 2026-12-07 08:00:00 1\n"
                                              "disk usb 8192\n"
                                              "capture pattern\n"
                                              "speed 1000\n"
                                              "5 record_lock on\n"
                                              "8 record_forbid on\n"
                                              "11 record_lock off\n"
                                              "12 record_forbid off\n"
                                              "16 power off\n"),
              0);
    const fs::path out = dir.path / "out";
    const fs::path disk = out / "board/usb/usb/files";
    const std::string board = read_file(out / "board.log");
    const std::string console = read_file(out / "console.log");
    const std::vector<std::string> files = names_in(disk);

    // The first segment began in the first second and was locked by the
    // vehicle when the stop closed it: all four files moved, each with its
    // exact command.
    const std::vector<std::string> first = segment("20261207-080001", "#");
    for (const std::string& name : first) EXPECT_TRUE(std::count(files.begin(), files.end(), name)) << name;
    for (const char* c = kCameras; *c; ++c) {
        const std::string from = std::string("/opt/20261207-080001_") + *c + ".h264";
        const std::string to = std::string("/opt/20261207-080001_") + *c + "#.h264";
        EXPECT_TRUE(has(board, "shell: mv -n " + from + " " + to)) << c;
    }
    EXPECT_TRUE(has(console, "record_lock=1"));

    // Withdrawn permission unmounts the disk once the recording stopped;
    // permission back mounts it and records again under a new name, unlocked.
    const auto stopped = times_of(board, "VENC 0 stopped receiving pictures");
    const auto unmounts = times_of(board, "shell: umount /opt");
    ASSERT_FALSE(stopped.empty());
    ASSERT_FALSE(unmounts.empty());
    EXPECT_GE(stopped[0], 8.0);
    EXPECT_LT(stopped[0], 10.0);
    EXPECT_TRUE(has(console, "umount_usb!"));
    const auto mounts = times_of(board, "shell: mount -o rw /dev/sda1 /opt");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_GE(mounts[1], 12.0);
    EXPECT_LT(mounts[1], 14.0);
    // Begun between 12 and 14 s: "20261207-08001[2-4]_[LRBF].h264".
    const auto second_name = [](const std::string& n) {
        return n.size() == 22 && n.starts_with("20261207-08001") && n[14] >= '2' && n[14] <= '4' && n[15] == '_' &&
               std::string("LRBF").find(n[16]) != std::string::npos && n.ends_with(".h264");
    };
    std::set<std::string> stamps;
    int second_files = 0;
    for (const std::string& name : files) {
        if (!second_name(name)) continue;
        ++second_files;
        stamps.insert(name.substr(0, 15));
    }
    EXPECT_EQ(second_files, 4) << ::testing::PrintToString(files);
    EXPECT_EQ(stamps.size(), 1u);
    EXPECT_EQ(files.size(), 8u) << ::testing::PrintToString(files);

    // About 12 pictures per recorded second in every file, all playable.
    const auto started = times_of(board, "VENC 0 receiving pictures");
    ASSERT_EQ(started.size(), 2u);
    const int frames = check_playable(disk / first[0]);
    EXPECT_NEAR(frames, 12 * (stopped[0] - started[0]), 2.0);
    for (std::size_t i = 1; i < first.size(); ++i) EXPECT_NEAR(check_playable(disk / first[i]), frames, 1) << i;
    // Recorded until the power went off (a busy host may see a little more).
    for (const std::string& name : segment(*stamps.begin(), "")) {
        const int n = check_playable(disk / name);
        EXPECT_GE(n, 12 * (16.0 - started[1]) - 2) << name;
    }

    // The time stamp is burnt in at (960, 32), 288 x 24: a dark box with
    // light text on the red left camera, and nothing like it beside it.
    const std::vector<std::uint8_t> y = video_probe::luma(disk / first[0], 24);
    ASSERT_EQ(y.size(), 1280u * 720u);
    int dark = 0, light = 0, dark_beside = 0;
    for (int row = 34; row < 54; ++row)
        for (int col = 0; col < 1280; ++col) {
            const std::uint8_t v = y[static_cast<std::size_t>(row) * 1280 + static_cast<std::size_t>(col)];
            const bool in_box = col >= 962 && col < 1246;
            if (in_box && v < 40) ++dark;
            if (in_box && v > 200) ++light;
            if (!in_box && (col < 950 || col > 1258) && v < 40) ++dark_beside;
        }
    EXPECT_GT(dark, 284 * 20 / 2);
    EXPECT_GT(light, 284 * 20 / 20);
    EXPECT_EQ(dark_beside, 0);
}

// A segment's names come again: on a disk recorded on before, and with the
// clock set back on the Date page. Nothing is replaced; the stamp moves on to
// a free second, and the list shows old and new files.
TEST(RecordingRun, ARecordingNeverReplacesAFileItsStampMovesOnToAFreeSecond) {
    svsim_test::TempDir dir;
    std::vector<std::string> want = {"20261207-080001_F.h264", "20261207-080001_B#.h264", "@20261207-080001_L.h264"};
    std::string scn = "rtc 2026-12-07 08:00:00 1\ndisk usb 8192\ncapture pattern\nspeed 1000\nsettings scene\n";
    for (const std::string& name : want) scn += "disk_file usb " + (dir.path / name).string() + "\n";
    for (const std::string& name : want) std::ofstream(dir.path / name) << name;
    scn += "0.5 record_lock on\n";
    enum { OK = 5, DOWN = 26, UP = 27, LEFT = 4, EXIT = 18, DOWN_HELD = 154 };  // key frames
    // Keys 0.3 s apart (0 the remote's OK). The record menu ends the first
    // segment; its Date page, read at 08:00:03, is saved at 08:00:01, and
    // recording starts again within that second. The menu ends the second;
    // the list's first, second, last and last but one files play.
    const std::vector<std::pair<double, std::vector<int>>> keys = {
        {1.2, {OK, 0, DOWN, DOWN, DOWN, OK, DOWN, OK, DOWN, DOWN, DOWN, DOWN, DOWN, LEFT, LEFT, DOWN}}, {6.6, {OK, EXIT}},
        {9.0, {OK}}, {10.6, {OK, OK, EXIT, DOWN, OK, EXIT, DOWN_HELD, OK, EXIT, UP, OK, EXIT}}};
    for (const auto& [start, codes] : keys)
        for (std::size_t i = 0; i < codes.size(); ++i)
            scn += std::to_string(start + 0.3 * static_cast<double>(i)) +
                   (codes[i] ? " key " + std::to_string(codes[i]) : " ir ok") + "\n";
    ASSERT_EQ(svsim_test::run_svsim(dir.path, scn + "14.2 power off\n"), 0);
    const fs::path out = dir.path / "out", disk = out / "board/usb/usb/files";
    const std::string board = read_file(out / "board.log"), console = read_file(out / "console.log");

    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(read_file(disk / want[i]) == want[i]) << want[i];
    const auto started = times_of(board, "VENC 0 receiving pictures");
    const auto stopped = times_of(board, "VENC 0 stopped receiving pictures");
    ASSERT_TRUE(started.size() == 2 && stopped.size() == 2);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::string stamp = "20261207-08000" + std::to_string(k + 2);
        EXPECT_TRUE(has(console, "segment 20261207-080001 is on the disk already, recording " + stamp + "\n"));
        // Each segment holds the pictures of its own run.
        for (const std::string& name : segment(stamp, "#")) {
            want.push_back(name);
            EXPECT_NEAR(video_probe::probe(disk / name).frames, 12 * (stopped[k] - started[k]), 2.0) << name;
        }
    }
    std::sort(want.begin(), want.end());
    EXPECT_EQ(names_in(disk), want);
    std::vector<std::string> played;
    const std::string open = "open file [/opt/";
    for (auto at = console.find(open); at != std::string::npos; at = console.find(open, at + 1))
        played.push_back(console.substr(at + open.size(), console.find(']', at) - at - open.size()));
    EXPECT_EQ(played, (std::vector<std::string>{"@20261207-080001_L.h264", "20261207-080003_R#.h264",
                                                "20261207-080001_B#.h264", "20261207-080001_F.h264"}));
}

TEST(RecordingRun, APulledDiskLeavesFilesThatPlayToTheCut) {
    svsim_test::TempDir dir;
    ASSERT_EQ(svsim_test::run_svsim(dir.path, "rtc 2026-12-07 08:00:00 1\n"
                                              "disk usb 8192\n"
                                              "capture pattern\n"
                                              "speed 1000\n"
                                              "6 disk remove\n"
                                              "8 disk insert usb 8192\n"
                                              "12 power off\n"),
              0);
    const fs::path out = dir.path / "out";
    const fs::path disk = out / "board/usb/usb/files";
    const std::string board = read_file(out / "board.log");
    const std::string console = read_file(out / "console.log");

    // The write that met the pulled disk failed and ended the recording.
    EXPECT_TRUE(has(console, "save stream failed!"));
    EXPECT_TRUE(has(console, "record_process end"));
    // (A housekeeping pass that began before the pull may still try once
    // more on the vanished disk; that try opens nothing.)
    const auto started = times_of(board, "VENC 0 receiving pictures");
    ASSERT_GE(started.size(), 2u);
    EXPECT_LT(started.front(), 2.0);
    EXPECT_GE(started.back(), 8.0);

    // What reached the disk before the cut plays, up to the cut.
    const std::vector<std::string> first = segment("20261207-080001", "");
    for (const std::string& name : first) {
        ASSERT_TRUE(fs::exists(disk / name)) << name;
        EXPECT_NEAR(check_playable(disk / name), 12 * (6.0 - started.front()), 2.0) << name;
    }
    // Plugged in again, the disk records a new segment.
    const std::vector<std::string> files = names_in(disk);
    EXPECT_EQ(files.size(), 8u) << ::testing::PrintToString(files);
}

TEST(RecordingRun, TheSegmentBeingWrittenIsNotDeletedToFreeSpace) {
    svsim_test::TempDir dir;
    const pid_t pid = svsim_test::spawn_svsim(dir.path, "rtc 2026-12-07 08:00:00 1\n"
                                                        "disk usb 2048\n"
                                                        "capture pattern\n"
                                                        "speed 1000\n"
                                                        "20 power off\n");
    ASSERT_GT(pid, 0);
    const fs::path out = dir.path / "out";
    const fs::path disk = out / "board/usb/usb/files";
    // Other data fills the disk once the first segment is being written:
    // 40 MB stay free.
    bool filled = false;
    const int status = svsim_test::wait_svsim(pid, [&] {
        if (!filled && fs::exists(disk / "20261207-080001_F.h264")) {
            std::ofstream(disk / "other.bin");
            fs::resize_file(disk / "other.bin", (2048 - 40) * 1024ull * 1024);
            filled = true;
        }
        return false;
    });
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(filled);
    const std::string board = read_file(out / "board.log");
    // Full: the recording stops, and only then may its segment go.
    const auto stopped = times_of(board, "VENC 0 stopped receiving pictures");
    ASSERT_EQ(stopped.size(), 1u);
    // Each of its files by its exact name.
    for (const std::string& name : segment("20261207-080001", "")) {
        const auto removed = times_of(board, "shell: rm -rf /opt/" + name);
        ASSERT_FALSE(removed.empty()) << name;
        EXPECT_GT(removed[0], stopped[0]) << name;
    }
    EXPECT_TRUE(has(read_file(out / "console.log"), "delete file 20261207-080001_[LRBF].h264\n"));
    EXPECT_TRUE(fs::exists(disk / "other.bin"));
    EXPECT_EQ(times_of(board, "VENC 0 receiving pictures").size(), 1u);  // still full: not again
}

}  // namespace
