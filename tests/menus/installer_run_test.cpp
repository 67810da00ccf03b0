// The installer's pages driven by key frames: what they save, what they tell
// the microcontroller, and that the views they rebuild in place are the
// views a restart builds from the saved file.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/menus/menu_run.h"
#include "tests/screen_compare.h"

namespace {
using namespace menu_run;

Flash_param record_of(const std::vector<std::uint8_t>& file) {
    Flash_param p{};
    EXPECT_EQ(file.size(), sizeof p);
    if (file.size() == sizeof p) std::memcpy(&p, file.data(), sizeof p);
    return p;
}

// Pixels that differ between two screens within columns x0..x1-1.
int differ(const host::Picture& a, const host::Picture& b, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = x0; x < x1; ++x) n += a.argb[y * 800 + x] != b.argb[y * 800 + x];
    return n;
}

bool green_row(const host::Picture& p, int y) {
    for (int x = 308; x < 308 + 474; ++x)
        if (p.argb[y * 800 + x] != 0xFF00A600u) return false;
    return true;
}

int mcu_lines(const fs::path& out, const std::string& text) {
    const std::string log = read_file(out / "board.log");
    int n = 0;
    for (std::size_t at = log.find("mcu: " + text + "\n"); at != std::string::npos;
         at = log.find("mcu: " + text + "\n", at + 1))
        ++n;
    return n;
}

TEST(InstallerRun, EditsAreSavedAppliedAtOnceAndARestartBuildsTheSameViews) {
    // The scene's car and its calibration, but the settings say 5900 mm long
    // and 2990 mm wide, so the car page's steps are taken at their limits.
    // The cameras see the same scene in both runs.
    const char* const kWorld = "scene 4600 1900 1\n";
    Flash_param before = settings(0);
    before.car_num.length = 5900;
    before.car_num.car_lev = 2990;
    ASSERT_EQ(before.im_param.fv_top, -1);
    TempDir first;
    write_settings(first.path / "settings.dat", before);
    Script s;
    s.text << kWorld << "speed 1000\nsettings settings.dat\n";
    s.key(OK);
    s.shot("front-before");
    s.ir("ok");
    s.keys({OK, OK, DOWN, LEFT, UP, RIGHT, UP});
    s.shot("installer-before");
    // Blind zones: the front one 12 rows longer, saved.
    s.keys({DOWN, OK});
    for (int i = 0; i < 12; ++i) s.key(RIGHT);
    s.keys({DOWN, DOWN, DOWN, OK});
    // Front view range: the top line five steps up, the bottom three down, saved.
    s.keys({DOWN, OK, OK, UP, UP, UP, UP, UP, OK, DOWN, DOWN, DOWN});
    s.shot("crop");
    s.keys({OK, EXIT});
    // Car: numbers 3 and 1, length 5900 -> 6000 -> 6200, width 2990 -> 3000
    // -> 3000, saved.
    s.keys({DOWN, OK, RIGHT, RIGHT, RIGHT, DOWN, RIGHT, DOWN, RIGHT, RIGHT, DOWN, RIGHT, RIGHT, DOWN, DOWN, OK});
    // Language: two steps right to Traditional Chinese, saved.
    s.keys({DOWN, OK, RIGHT, RIGHT, DOWN, OK});
    s.shot("installer-after");
    s.keys({EXIT, EXIT});  // the main menu, then the front view
    s.shot("front-after");
    ASSERT_TRUE(run(first.path, s.end()));
    const fs::path out1 = first.path / "out";

    // Exactly these settings changed, to these values.
    Flash_param want = before;
    want.im_param.fblank = 12;
    want.im_param.fv_top = -11;
    want.im_param.fv_bottom = 5;
    want.car_num.gj_kind = 3;
    want.car_num.gj_index = 1;
    want.car_num.length = 6200;
    want.car_num.car_lev = 3000;
    want.car_num.flagy = 2;
    const auto saved = settings_file(out1);
    EXPECT_EQ(saved, bytes_of(want));
    EXPECT_EQ(mcu_lines(out1, "car numbers 3 1"), 1);

    // The top crop line, at rows top - 1 and top with
    // top = (2 + fv_top - 359) / 1.7 + 240 = 23.5, truncated.
    const host::Picture crop = screen(out1, "crop");
    EXPECT_TRUE(green_row(crop, 22));
    EXPECT_TRUE(green_row(crop, 23));
    EXPECT_FALSE(green_row(crop, 21));
    EXPECT_FALSE(green_row(crop, 24));

    // The bird's-eye view and the front view changed with the settings.
    EXPECT_GT(differ(screen(out1, "installer-before"), screen(out1, "installer-after"), 0, 308), 5000);
    EXPECT_GT(differ(screen(out1, "front-before"), screen(out1, "front-after"), 308, 800), 5000);

    // A restart on the saved file: the same views, the menus in Traditional
    // Chinese; then the factory settings.
    TempDir second;
    write_bytes(second.path / "settings.dat", saved);
    Script r;
    r.text << kWorld << "speed 1000\nsettings settings.dat\n";
    r.key(OK);
    r.shot("front");
    r.ir("ok");
    r.shot("main");
    r.keys({OK, OK, DOWN, LEFT, UP, RIGHT, UP});
    r.shot("installer");
    r.keys({DOWN, DOWN, DOWN, DOWN, DOWN, OK, OK});  // factory settings, cancelled: Cancel is highlighted
    r.shot("cancelled");
    r.keys({OK, DOWN, OK});                          // and confirmed
    r.key(OK);                                       // the back camera's marks
    r.shot("raw");
    ASSERT_TRUE(run(second.path, r.end()));
    const fs::path out2 = second.path / "out";

    EXPECT_EQ(differ(screen(out1, "front-after"), screen(out2, "front"), 0, 800), 0);
    EXPECT_EQ(differ(screen(out1, "installer-after"), screen(out2, "installer"), 0, 308), 0);
    EXPECT_EQ(differ(screen(out2, "installer"), screen(out2, "cancelled"), 0, 308), 0) << "OK alone reset the settings";
    {
        host::Picture ref;
        ASSERT_TRUE(host::read_png(fs::path(SOURCE_DIR) / "tests/ref/menu-ft-main.png", ref));
        EXPECT_EQ(differ(screen(out2, "main"), ref, 308, 800), 0) << "the main menu is not in Traditional Chinese";
    }

    // The factory settings are the defaults with the car kept, and
    // calibration follows on the calibration table: its raw picture shows.
    Flash_param reset = flash_param_default;
    reset.car_num = want.car_num;
    reset.flagc = 1;
    EXPECT_EQ(settings_file(out2), bytes_of(reset));
    host::Picture raw;
    ASSERT_TRUE(host::read_png(fs::path(SOURCE_DIR) / "tests/ref/raw-back.png", raw));
    EXPECT_LT(differ(screen(out2, "raw"), raw, 0, 800), 800 * 480 / 10);
}

TEST(InstallerRun, TheLanguagePageChangesTheLanguageByteAlone) {
    const Flash_param before = settings(0);
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", before);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    // Round both ways, 0 -> 2 -> 1 -> 2 -> 0 -> 2: Traditional Chinese.
    s.keys({DOWN, DOWN, DOWN, DOWN, OK, LEFT, LEFT, RIGHT, RIGHT, LEFT, DOWN, OK});
    // OK on the language line saves nothing: another language there, then exit, is undone.
    s.keys({OK, RIGHT, OK, EXIT});
    ASSERT_TRUE(run(tmp.path, s.end()));
    auto want = bytes_of(before);
    want[252] = 2;
    EXPECT_EQ(settings_file(tmp.path / "out"), want);
}

TEST(InstallerRun, CropValuesStopAtTheCanvasEdgesWithoutWrapping) {
    Flash_param before = settings(1);
    before.im_param.fv_top = 32766;
    before.im_param.fv_bottom = -32768;
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", before);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    s.keys({DOWN, DOWN, OK, OK});  // the front view's crop page, top line
    s.key(DOWN);                   // already at the bottom edge
    s.shot("top");
    s.keys({OK, UP});  // the bottom line, already at the top edge
    s.shot("bottom");
    s.keys({DOWN, OK});
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    // Each line whole at the edge it is held at; the other one blinks.
    EXPECT_TRUE(green_row(screen(out, "top"), 1) && green_row(screen(out, "top"), 2));
    EXPECT_TRUE(green_row(screen(out, "bottom"), 477) && green_row(screen(out, "bottom"), 478));
    const Flash_param after = record_of(settings_file(out));
    EXPECT_EQ(after.im_param.fv_top, 32766);
    EXPECT_EQ(after.im_param.fv_bottom, -32766);
}

TEST(InstallerRun, TheServicePageSavesItsNumbersAndItsTestSetUpShowsTheViewAtOnce) {
    TempDir fresh;
    Script s;
    s.text << "speed 1000\n";  // no settings file: the defaults, nothing calibrated
    s.key(OK);                  // the calibration screen
    s.key(8);
    // Numbers 3 and 1, guide-line mode 1 (and no further), language 0 -> 2
    // (and no further), saved.
    s.keys({DOWN, RIGHT, RIGHT, RIGHT, DOWN, RIGHT, DOWN, RIGHT, RIGHT, DOWN, RIGHT, RIGHT, RIGHT, DOWN, OK});
    s.key(12);
    s.keys({DOWN, RIGHT, EXIT});  // a change left with the exit key is undone
    ASSERT_TRUE(run(fresh.path, s.end()));
    EXPECT_EQ(mcu_lines(fresh.path / "out", "car numbers 3 1"), 1);
    Flash_param want = flash_param_default;
    want.flagc = 1;
    want.car_num.gj_kind = 3;
    want.car_num.gj_index = 1;
    want.car_num.mode = 1;
    want.car_num.flagy = 2;
    const auto numbers = settings_file(fresh.path / "out");
    EXPECT_EQ(numbers, bytes_of(want));

    // The test set-up from there: the defaults, every camera and both setting
    // groups marked as set, numbers 2 and 1; the front view at once.
    TempDir setup;
    write_bytes(setup.path / "settings.dat", numbers);
    Script t;
    t.text << "speed 1000\nsettings settings.dat\n";
    t.keys({OK, 8, OK});
    t.shot("view");
    ASSERT_TRUE(run(setup.path, t.end()));
    const fs::path out = setup.path / "out";
    EXPECT_EQ(mcu_lines(out, "car numbers 2 1"), 1);
    want = flash_param_default;
    want.flagf = want.flagb = want.flagl = want.flagr = want.flagi = want.flagc = 1;
    want.car_num.gj_kind = 2;
    want.car_num.gj_index = 1;
    const auto saved = settings_file(out);
    EXPECT_EQ(saved, bytes_of(want));

    // A start on that file shows the same front view.
    TempDir again;
    write_bytes(again.path / "settings.dat", saved);
    Script r;
    r.text << "speed 1000\nsettings settings.dat\n";
    r.key(OK);
    r.shot("view");
    ASSERT_TRUE(run(again.path, r.end()));
    EXPECT_EQ(differ(screen(out, "view"), screen(again.path / "out", "view"), 0, 800), 0);
}

}  // namespace
