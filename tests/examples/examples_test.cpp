// The README's example scenarios, each run once as a user would run it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "host/board.h"
#include "sim/scene_settings.h"
#include "tests/svsim_run.h"
#include "vio/settings.h"

namespace {
using namespace svsim_test;

const fs::path kScenarios = fs::path(SOURCE_DIR) / "sim/scenarios";

host::Picture screen(const fs::path& out, const std::string& name) {
    host::Picture p;
    EXPECT_TRUE(host::read_png(out / "screens" / (name + ".png"), p)) << name;
    if (p.argb.size() != 800u * 480u) p.argb.assign(800u * 480u, 0);
    return p;
}

// Pixels that differ between two pictures within a box.
int differ(const host::Picture& a, const host::Picture& b, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += a.argb[static_cast<std::size_t>(y * 800 + x)] != b.argb[static_cast<std::size_t>(y * 800 + x)];
    return n;
}

host::Picture reference(const std::string& name) {
    host::Picture p;
    EXPECT_TRUE(host::read_png(fs::path(SOURCE_DIR) / "tests/ref" / (name + ".png"), p)) << name;
    return p;
}

TEST(Examples, PlaybackRecordsThenPlaysThroughTheMenus) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, read_file(kScenarios / "playback.scn")), 0) << read_file(tmp.path / "stderr.txt");
    const fs::path out = tmp.path / "out";
    // One segment of the four cameras, begun a second after power-on.
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(out / "board/usb/usb/files")) {
        files.insert(e.path().filename().string());
        EXPECT_GT(fs::file_size(e.path()), 10000u) << e.path();
    }
    EXPECT_EQ(files, (std::set<std::string>{"20261207-080001_B.h264", "20261207-080001_F.h264",
                                            "20261207-080001_L.h264", "20261207-080001_R.h264"}));
    const auto play1 = screen(out, "play-1"), play2 = screen(out, "play-2"), fast = screen(out, "fast"),
               paused = screen(out, "paused"), later = screen(out, "paused-later");
    // Full screen: the picture covers the panel below the status line.
    int lit = 0;
    for (int y = 60; y < 468; ++y)
        for (int x = 16; x < 784; ++x) lit += (play1.argb[static_cast<std::size_t>(y * 800 + x)] & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 408 * 768 * 9 / 10);
    // The speed at the top left: X1 while playing, X2 after up, kept while
    // paused; playing moves on (progress and burnt-in clock), a pause does not.
    EXPECT_EQ(differ(play1, play2, 40, 20, 90, 44), 0);
    EXPECT_GT(differ(play1, fast, 40, 20, 90, 44), 20);
    EXPECT_EQ(differ(fast, paused, 40, 20, 90, 44), 0);
    EXPECT_GT(differ(play1, play2, 0, 0, 800, 480), 100);
    EXPECT_EQ(differ(paused, later, 0, 0, 800, 480), 0);
    // Exit goes back to the same list.
    EXPECT_EQ(differ(screen(out, "list"), screen(out, "back"), 16, 12, 190, 100), 0);
    EXPECT_GT(differ(screen(out, "list"), play1, 16, 12, 190, 100), 100);
}

TEST(Examples, EnglishIsSavedAndARestartOnTheSavedSettingsKeepsIt) {
    TempDir first, second;
    ASSERT_EQ(run_svsim(first.path, read_file(kScenarios / "english.scn")), 0) << read_file(first.path / "stderr.txt");
    const fs::path saved = first.path / "out/board/home/config/ImageParam.dat";
    // The language alone changed, to English.
    Flash_param want = scene_settings();
    want.car_num.flagy = 1;
    EXPECT_EQ(read_file(saved), std::string(reinterpret_cast<const char*>(&want), sizeof want));
    // The restart reads the earlier run's settings file.
    std::string again = read_file(kScenarios / "english-again.scn");
    const std::string line = "settings ../../out-english/board/home/config/ImageParam.dat";
    const auto at = again.find(line);
    ASSERT_NE(at, std::string::npos);
    again.replace(at, line.size(), "settings " + saved.string());
    ASSERT_EQ(run_svsim(second.path, again), 0) << read_file(second.path / "stderr.txt");
    // The main menu beside the bird's-eye view: Chinese before, English after
    // the restart, as the reviewed menu pictures show them.
    EXPECT_EQ(differ(screen(first.path / "out", "menu-chinese"), reference("menu-zh-main"), 308, 40, 800, 480), 0);
    EXPECT_EQ(differ(screen(second.path / "out", "menu-english"), reference("menu-en-main"), 308, 40, 800, 480), 0);
    EXPECT_EQ(read_file(second.path / "out/board/home/config/ImageParam.dat"), read_file(saved));
}

}  // namespace
