// What the menu keys change in the settings file: exactly the bytes of the
// settings they edit, at those settings' offsets in the 268-byte record.
#include <gtest/gtest.h>

#include <set>

#include "dsp/dsp_caidan.h"
#include "tests/menus/menu_run.h"
#include "tests/screen_compare.h"

namespace {
using namespace menu_run;

std::set<int> differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::set<int> out;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) out.insert(static_cast<int>(i));
    return out;
}

// Non-black pixels of a screen within a rectangle.
int lit(const host::Picture& p, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += !black(p.argb[y * 800 + x]);
    return n;
}

TEST(MenuSettingsRun, PicturePageRecordItemAndConfirmBarCodeChangeOnlyTheirBytes) {
    TempDir tmp;
    const Flash_param before = settings(1, 1);
    write_settings(tmp.path / "settings.dat", before);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    s.key(OK);   // front view
    s.ir("ok");  // main menu
    // Picture settings: brightness up, turn signal up, reverse delay down, save.
    s.keys({DOWN, OK, RIGHT, DOWN, RIGHT, DOWN, LEFT, DOWN, DOWN, DOWN, OK});
    // Again, reverse delay down, but left with the exit key: nothing kept.
    s.keys({OK, DOWN, DOWN, LEFT, EXIT});
    // Record settings: recording off (saved at once), then back.
    s.keys({DOWN, DOWN, OK, DOWN, DOWN, RIGHT, EXIT});
    // The confirm-bar code, 3 5 4 2 1 2.
    s.keys({UP, UP, UP, OK, LEFT, OK, RIGHT, DOWN, UP, DOWN});
    // Image location right: the bird's-eye view is rebuilt on the other side.
    s.keys({DOWN, OK, DOWN, DOWN, DOWN, DOWN, RIGHT, DOWN, OK});
    s.shot("moved");
    ASSERT_TRUE(run(tmp.path, s.end()));

    const auto file = settings_file(tmp.path / "out");
    ASSERT_EQ(file.size(), 268u);
    // bright at 202, turn_time 210, close_etc 214, record 216, pos 218,
    // back_time 224: the display settings start at byte 194.
    EXPECT_EQ(differing(bytes_of(before), file), (std::set<int>{202, 210, 214, 216, 218, 224}));
    Flash_param want = before;
    want.im_param.bright = 4;
    want.im_param.turn_time = 1;
    want.im_param.back_time = 1;
    want.im_param.record = 0;
    want.im_param.close_etc = 251;
    want.im_param.pos = 1;
    EXPECT_EQ(file, bytes_of(want));

    // The brighter setting went to the video decoder at once (120 -> 130).
    const std::string log = read_file(tmp.path / "out/board.log");
    EXPECT_EQ(times_of(log, "nvp6114: brightness ch 255 value 120").size(), 1u);
    EXPECT_FALSE(times_of(log, "nvp6114: brightness ch 255 value 130").empty());

    // The main menu now stands in the panel on the left (column 16 + 40) with
    // its second item highlighted; the bird's-eye view lies right of it.
    const host::Picture moved = screen(tmp.path / "out", "moved");
    const int w = text_width(xtsz_en);
    EXPECT_EQ(lit(moved, 56, 150, 56 + w, 174), lit(moved, 0, 140, 490, 184));
    EXPECT_GT(lit(moved, 56, 150, 56 + w, 174), w * 24 / 2);
    EXPECT_GT(lit(moved, 494, 12, 784, 468), 290 * 456 * 3 / 4);
    EXPECT_EQ(lit(moved, 16, 300, 490, 468), 0);
}

TEST(MenuSettingsRun, FeatureCodesToggleTheirBitsAndTheSideViewsFollowTheMarksBit) {
    TempDir tmp;
    const Flash_param before = settings(1);
    ASSERT_EQ(before.im_param.close_etc, 255);
    write_settings(tmp.path / "settings.dat", before);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    const std::vector<int> marks_code = {RIGHT, UP, LEFT, OK, OK, DOWN};  // 4 1 3 5 5 2
    s.key(OK);
    s.key(LEFT);  // the left view
    s.shot("side-marks");
    for (const char* name : {"side-plain", "side-again"}) {
        s.ir("ok");
        s.key(OK);
        s.keys(marks_code);
        s.key(EXIT);  // back to a view
        s.key(LEFT);
        s.shot(name);
    }
    s.ir("ok");
    s.key(OK);
    s.shot("code-empty");
    s.keys({UP, UP, UP, UP, UP, UP});  // a wrong code starts over
    s.shot("code-wrong");
    s.keys({DOWN, OK, UP, LEFT, OK, RIGHT});  // the radar code, 2 5 1 3 5 4
    s.shot("after-code");
    s.keys({OK, OK, DOWN, LEFT, UP, RIGHT, UP});  // the installer's code, 5 2 3 1 4 1
    s.shot("installer");
    s.key(EXIT);
    s.shot("back");
    ASSERT_TRUE(run(tmp.path, s.end()));

    const auto file = settings_file(tmp.path / "out");
    EXPECT_EQ(differing(bytes_of(before), file), (std::set<int>{214}));
    ASSERT_EQ(file.size(), 268u);
    EXPECT_EQ(file[214], 253);  // close_etc 255 -> 253: the marks bit twice, the radar bit once
    EXPECT_EQ(file[215], 0);

    const fs::path out = tmp.path / "out";
    const host::Picture a = screen(out, "side-marks"), b = screen(out, "side-plain"), c = screen(out, "side-again");
    int changed = 0, restored = 0;
    for (int y = 12; y < 468; ++y)
        for (int x = 308; x < 784; ++x) {
            changed += a.argb[y * 800 + x] != b.argb[y * 800 + x];
            restored += a.argb[y * 800 + x] != c.argb[y * 800 + x];
        }
    EXPECT_GT(changed, 5000) << "the side view did not change with the marks bit";
    EXPECT_EQ(restored, 0) << "toggling twice did not restore the side view";

    // A wrong code leaves the empty page; a right one goes to the main menu.
    EXPECT_EQ(screen(out, "code-empty").argb, screen(out, "code-wrong").argb);
    EXPECT_GT(lit(screen(out, "after-code"), 348, 150, 348 + text_width(xtsz_en), 174), 0);
    // The installer's code opens the installer menu on its first item; exit returns.
    EXPECT_GT(lit(screen(out, "installer"), 348, 50, 348 + text_width(bdsxt_en), 74), 1000);
    EXPECT_GT(lit(screen(out, "installer"), 348, 400, 348 + text_width("VERSION"), 424), 0);
    EXPECT_GT(lit(screen(out, "back"), 348, 150, 348 + text_width(xtsz_en), 174), 0);
}

TEST(MenuSettingsRun, AnUnknownLanguageCodeCountsAsSimplifiedChinese) {
    TempDir tmp;
    const Flash_param before = settings(9, 1);
    write_settings(tmp.path / "settings.dat", before);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\nrtc 2024-05-06 07:08:09 1\ndisk usb 2000\n";
    s.key(OK);
    s.ir("ok");
    s.shot("main");
    s.keys({DOWN, DOWN, DOWN, OK, DOWN, DOWN, RIGHT});  // recording off, saved
    ASSERT_TRUE(run(tmp.path, s.end()));
    expect_like_reference("menu-zh-main", screen(tmp.path / "out", "main").argb);
    const auto file = settings_file(tmp.path / "out");
    EXPECT_EQ(differing(bytes_of(before), file), (std::set<int>{216, 252}));  // record, flagy
    ASSERT_EQ(file.size(), 268u);
    EXPECT_EQ(file[252], 0);
}

}  // namespace
