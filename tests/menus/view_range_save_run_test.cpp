// A new view range saved on the picture page: the reverse screen it leads to is the
// one a restart on the saved file shows, blind zones, guide lines and back view included.
#include <gtest/gtest.h>

#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

TEST(ViewRangeSaveRun, TheRebuiltReverseScreenIsTheRestartsPixelForPixel) {
    Flash_param p = settings(1);
    p.im_param.view_range = 1;
    p.im_param.fblank = 40;  // blind zones whose lengths depend on the range
    p.im_param.bblank = 40;
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", p);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, OK, DOWN, DOWN, DOWN, RIGHT});  // picture settings, view range 2
    s.keys({DOWN, DOWN, OK, EXIT});               // save, then back to the view
    s.at("reverse on", 1.0);
    s.shot("menu");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const std::vector<std::uint8_t> saved = settings_file(tmp.path / "out");
    p.im_param.view_range = 2;
    ASSERT_EQ(saved, bytes_of(p));

    TempDir again;
    std::ofstream(again.path / "settings.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(saved.data()), static_cast<std::streamsize>(saved.size()));
    // The same ground and marks as the first run: the scene is laid out for the first range.
    const std::string scene = "scene " + std::to_string(p.car_num.length) + " " + std::to_string(p.car_num.car_lev) + " 1\n";
    ASSERT_TRUE(run(again.path, "speed 1000\nsettings settings.dat\n" + scene +
                                    "1.0 reverse on\n2.3 screenshot restart\n2.6 power off\n"));

    const host::Picture a = screen(tmp.path / "out", "menu"), b = screen(again.path / "out", "restart");
    ASSERT_EQ(a.argb.size(), b.argb.size());
    int differ = 0;
    for (std::size_t i = 0; i < a.argb.size(); ++i) differ += a.argb[i] != b.argb[i];
    EXPECT_EQ(differ, 0);
}

}  // namespace
