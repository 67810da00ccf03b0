// Playback through the whole system: a recording the system made of the test
// pattern is picked from the list and played with the remote's keys; what
// the panel shows is read back by the pattern's frame counter and compared
// with FFmpeg's decoding of the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "dsp/dsp_tubiao.h"
#include "gui/GUI.h"
#include "host/board.h"
#include "tests/svsim_run.h"
#include "tests/video_probe.h"
#include "vio/vio.h"

namespace {

namespace fs = std::filesystem;
using svsim_test::read_file;

constexpr int UP = 27, DOWN = 26, LEFT = 4, RIGHT = 6, OK = 5, EXIT = 18;

struct Script {
    std::ostringstream text;
    double t;
    explicit Script(double start) : t(start) {}
    void at(const std::string& what, double gap = 0.3) {
        char when[32];
        std::snprintf(when, sizeof when, "%.2f ", t);
        text << when << what << "\n";
        t += gap;
    }
    void key(int code) { at("key " + std::to_string(code)); }
    void shot(const std::string& name, double after = 0.3) {
        t += after;
        at("screenshot " + name, 0);
    }
    // From idle to the recording list: a view, the main menu, the record
    // menu (which stops the recording) and its first entry.
    void open_list() {
        key(OK);
        t += 0.2;
        at("ir ok");
        for (int k : {DOWN, DOWN, DOWN, OK, OK}) key(k);
    }
};

host::Picture shot(const fs::path& out, const std::string& name) {
    host::Picture p;
    EXPECT_TRUE(host::read_png(out / "screens" / (name + ".png"), p)) << name;
    return p;
}

int luma(std::uint32_t px) { return (((px >> 16) & 255) * 77 + ((px >> 8) & 255) * 150 + (px & 255) * 29) >> 8; }

// The pattern's frame counter as the panel shows it: the 1280 x 720 picture
// scaled to the 800 x 480 screen, its cells sampled at their centres.
long screen_counter(const host::Picture& p) {
    if (p.argb.size() != 800u * 480u) return -2;
    std::vector<std::uint8_t> y(static_cast<std::size_t>(video_probe::kWidth) * video_probe::kHeight, 0);
    for (int r = 0; r < video_probe::kHeight; ++r)
        for (int c = 0; c < video_probe::kWidth; ++c)
            y[static_cast<std::size_t>(r) * video_probe::kWidth + static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>(luma(p.argb[static_cast<std::size_t>(r * 480 / 720 * 800 + c * 800 / 1280)]));
    return video_probe::pattern_counter(y);
}

// Mean difference per colour channel between the screen and picture `n` of
// the file as FFmpeg decodes and converts it (BT.601), scaled the same way,
// away from the playback status at the top left. The composed picture
// leaves the canvas's left 16 columns and top and bottom 12 rows as they
// were (opaque black), so the video shows inside them.
double difference(const host::Picture& p, const fs::path& file, int n) {
    const std::string ref = video_probe::run("ffmpeg -nostdin -v error -i " + video_probe::quoted(file) +
                                             " -vf 'select=eq(n\\," + std::to_string(n) +
                                             ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    if (ref.size() != 3u * video_probe::kWidth * video_probe::kHeight) return 255;
    double sum = 0;
    int count = 0;
    for (int r = 60; r < 468; ++r)
        for (int c = 16; c < 800; ++c) {
            const std::size_t at = 3 * (static_cast<std::size_t>(r * 720 / 480) * video_probe::kWidth +
                                        static_cast<std::size_t>(c * 1280 / 800));
            const std::uint32_t px = p.argb[static_cast<std::size_t>(r * 800 + c)];
            for (int k = 0; k < 3; ++k)
                sum += std::abs(static_cast<int>((px >> (16 - 8 * k)) & 255) - static_cast<unsigned char>(ref[at + k]));
            count += 3;
        }
    return sum / count;
}

// The oldest recording of a camera on the disk.
fs::path recording(const fs::path& out, char camera) {
    fs::path oldest;
    for (const auto& e : fs::directory_iterator(out / "board/usb/usb/files")) {
        const std::string name = e.path().filename().string();
        if (name.size() > 7 && name[name.size() - 6] == camera && name.ends_with(".h264") &&
            (oldest.empty() || name < oldest.filename().string()))
            oldest = e.path();
    }
    return oldest;
}

// Pixels of the status text's rows that differ from the status as drawn
// for `done` percent at speed `rate`.
int status_differs(const host::Picture& p, int done, double rate) {
    std::vector<std::uint32_t> canvas(800 * 480, 0);
    pBuf1 = canvas.data();
    GUI_Init();
    draw_play_status(done, rate);
    pBuf1 = nullptr;
    int n = 0;
    for (int r = 20; r < 44; ++r)
        for (int c = 40; c < 200; ++c) {
            const std::uint32_t want = canvas[static_cast<std::size_t>(r * 800 + c)];
            if ((want >> 24) != 0 && (want & 0xFFFFFF) != (p.argb[static_cast<std::size_t>(r * 800 + c)] & 0xFFFFFF)) ++n;
        }
    return n;
}

TEST(PlaybackRun, ARecordingPlaysAsRecordedAtItsSpeedPausedAndStepped) {
    svsim_test::TempDir dir;
    Script s(16.0);  // fifteen seconds of recording first
    s.open_list();
    s.key(OK);  // play the first file: the right camera's
    s.shot("play-a", 1.0);
    s.shot("play-b", 2.0);
    s.key(UP);  // twice the speed
    s.shot("fast-a", 0.5);
    s.shot("fast-b", 2.0);
    s.key(OK);  // pause
    s.shot("paused-a", 0.5);
    s.shot("paused-b", 1.0);
    s.key(RIGHT);
    s.shot("step-1");
    s.key(RIGHT);
    s.shot("step-2");
    s.key(OK);  // on, four times the speed, to the end
    s.key(UP);
    s.shot("end", 8.0);
    s.key(EXIT);
    s.shot("list");
    s.at("power off");
    ASSERT_EQ(svsim_test::run_svsim(dir.path, "speed 1000\nsettings scene\ndisk usb 2000\ncapture pattern\n" +
                                                  s.text.str()),
              0)
        << read_file(dir.path / "stderr.txt");
    const fs::path out = dir.path / "out";
    const fs::path file = recording(out, 'R');
    ASSERT_FALSE(file.empty());
    const video_probe::Probe probe = video_probe::probe(file);
    ASSERT_GT(probe.frames, 150);
    const long first = video_probe::pattern_counter(video_probe::luma(file, 0));
    ASSERT_GE(first, 0);

    std::map<std::string, long> at;
    for (const char* name : {"play-a", "play-b", "fast-a", "fast-b", "paused-a", "paused-b", "step-1", "step-2", "end"}) {
        at[name] = screen_counter(shot(out, name));
        ASSERT_GE(at[name], first) << name;
    }
    // What shows is the recording's picture of that number, as FFmpeg decodes it.
    for (const char* name : {"play-a", "fast-b", "step-2"})
        EXPECT_LT(difference(shot(out, name), file, static_cast<int>(at[name] - first)), 4.0) << name;
    // 12 pictures a second, then 24: two board seconds each.
    EXPECT_NEAR(at["play-b"] - at["play-a"], 24, 2);
    EXPECT_NEAR(at["fast-b"] - at["fast-a"], 48, 3);
    // Paused, the picture holds; each step shows the next picture, one only.
    EXPECT_EQ(at["paused-b"], at["paused-a"]);
    EXPECT_EQ(shot(out, "paused-a").argb, shot(out, "paused-b").argb);
    EXPECT_EQ(at["step-1"], at["paused-b"] + 1);
    EXPECT_EQ(at["step-2"], at["paused-b"] + 2);
    // At the end: the last picture, 100 % sent, at four times the speed.
    EXPECT_EQ(at["end"], first + probe.frames - 1);
    EXPECT_EQ(status_differs(shot(out, "end"), 100, 4.0), 0);
    EXPECT_GT(status_differs(shot(out, "end"), 99, 4.0), 0);  // the check tells numbers apart
    // Exit: the list again, stopped.
    EXPECT_NE(read_file(out / "console.log").find("join thread 0."), std::string::npos);
    EXPECT_EQ(screen_counter(shot(out, "list")), -1);
}

TEST(PlaybackRun, ThePulledDiskAndAccOffEndPlaybackAndTheListLocksAndDeletes) {
    svsim_test::TempDir dir;
    Script s(8.0);
    s.open_list();
    s.key(RIGHT);
    s.key(RIGHT);
    s.key(OK);  // lock the first file (R), which is then listed first
    s.key(OK);  // and unlock it again
    s.key(LEFT);
    s.key(OK);  // delete it
    s.shot("after-delete");
    s.key(LEFT);
    s.key(OK);  // play the new first file (L)
    s.at("disk remove", 1.5);
    s.shot("record-page");
    s.at("disk insert usb 2000", 4.0);
    for (int k : {OK, LEFT, LEFT, OK}) s.key(k);  // the list again, play
    s.at("acc off", 3.0);
    s.at("log after");
    ASSERT_EQ(svsim_test::run_svsim(dir.path, "speed 1000\nsettings scene\ndisk usb 2000\n" + s.text.str()), 0)
        << read_file(dir.path / "stderr.txt");
    const fs::path out = dir.path / "out";
    const std::string log = read_file(out / "board.log");
    const fs::path left = recording(out, 'L');
    ASSERT_FALSE(left.empty());
    const std::string stamp = left.filename().string().substr(0, 15);
    // The structured disk operations, in order, on exactly that file.
    const std::string r = stamp + "_R.h264";
    const auto lock = log.find("shell: mv /opt/" + r + " /opt/@" + r + "\n");
    const auto unlock = log.find("shell: mv /opt/@" + r + " /opt/" + r + "\n");
    const auto remove = log.find("shell: rm -rf /opt/" + r + "\n");
    ASSERT_NE(lock, std::string::npos);
    ASSERT_NE(unlock, std::string::npos);
    ASSERT_NE(remove, std::string::npos);
    EXPECT_LT(lock, unlock);
    EXPECT_LT(unlock, remove);
    const fs::path files = out / "board/usb/usb/files";
    EXPECT_FALSE(fs::exists(files / r));
    for (const char* other : {"_L.h264", "_F.h264", "_B.h264"}) EXPECT_TRUE(fs::exists(files / (stamp + other))) << other;
    // Both playbacks ended: by the pulled disk, and by ACC off.
    const std::string console = read_file(out / "console.log");
    std::size_t joins = 0;
    for (auto at = console.find("join thread 0."); at != std::string::npos; at = console.find("join thread 0.", at + 1))
        ++joins;
    EXPECT_EQ(joins, 2u);
    // The pulled disk put the record settings page back, on Video Retrieval.
    const host::Picture page = shot(out, "record-page");
    int white = 0;
    for (int y = 100; y < 124; ++y)
        for (int x = 348; x < 400; ++x) white += (page.argb[static_cast<std::size_t>(y * 800 + x)] & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(white, 52 * 24 / 2);
}

TEST(PlaybackRun, AFailedStartTakesItsChainDownAndAnEmptyFileIsAllPlayed) {
    svsim_test::TempDir dir;
    { std::ofstream(dir.path / "empty.h264"); }
    Script s(3.0);
    s.open_list();  // the empty file is the newest name, listed first
    s.key(OK);      // the decoder cannot be made: the list stays
    s.shot("refused");
    s.key(OK);
    s.shot("empty", 1.0);
    s.at("power off");
    ASSERT_EQ(svsim_test::run_svsim(dir.path, "speed 1000\nsettings scene\ndisk usb 2000\n"
                                              "disk_file usb empty.h264 20991231-235959_R.h264\n"
                                              "fail 1 HI_MPI_VDEC_CreateChn\n" + s.text.str()),
              0)
        << read_file(dir.path / "stderr.txt");
    const fs::path out = dir.path / "out";
    const std::string log = read_file(out / "board.log");
    // Set up, then taken down in reverse, before the second start.
    const std::vector<std::string> order = {"VO 0 channel 0 enabled", "VPSS 4 started", "bind VPSS 4/2 -> VO 0/0",
                                            "unbind VPSS 4/2 -> VO 0/0", "VPSS 4 destroyed",
                                            "VO 0 channel 0 disabled", "VDEC 32 created"};
    std::size_t at = 0;
    for (const std::string& line : order) {
        const auto found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found;
    }
    EXPECT_NE(read_file(out / "console.log").find("create vdec chn failed!"), std::string::npos);
    EXPECT_EQ(screen_counter(shot(out, "refused")), -1);
    EXPECT_EQ(status_differs(shot(out, "empty"), 100, 1.0), 0);
}

}  // namespace
