// The service page opened from the calibration screen: none of the calibration
// notice stays beside its panel, and the rest of the screen is left as it was.
#include <gtest/gtest.h>

#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

int ink(const host::Picture& p, int c0, int c1) {
    int n = 0;
    for (int r = 0; r < 480; ++r)
        for (int c = c0; c < c1; ++c) n += !black(p.argb[r * 800 + c]);
    return n;
}

TEST(ServicePageRun, TheCalibrationNoticeIsGoneAndTheRestStays) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    s.key(OK);  // calibration: the camera choice with the notice
    s.shot("calibration");
    s.key(8);
    s.shot("service");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const host::Picture cali = screen(tmp.path / "out", "calibration"), page = screen(tmp.path / "out", "service");
    // The notice's text starts at column 300; the page's panel at 308.
    EXPECT_GT(ink(cali, 300, 308), 50);
    EXPECT_EQ(ink(page, 300, 308), 0);
    EXPECT_GT(ink(page, 308, 800), 1000);
    // The car and the camera marks left of the notice are untouched.
    int differ = 0;
    for (int r = 0; r < 480; ++r)
        for (int c = 0; c < 300; ++c) differ += cali.argb[r * 800 + c] != page.argb[r * 800 + c];
    EXPECT_EQ(differ, 0);
    EXPECT_GT(ink(page, 0, 300), 5000);
}

}  // namespace
