// Leaving the car page or the blind-zone page with the exit key after trying other
// values puts the screen back as it was before the page was opened, mirrors beside
// the car included.
#include <gtest/gtest.h>

#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

int differing(const host::Picture& a, const host::Picture& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.argb.size() && i < b.argb.size(); ++i) n += a.argb[i] != b.argb[i];
    return n;
}

TEST(CarPageExitRun, TheScreenIsTheOneBeforeThePage) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    s.keys({DOWN, DOWN, DOWN});  // on car settings
    s.shot("before");
    s.keys({OK, DOWN, DOWN, DOWN, DOWN, RIGHT});  // the car picture: the next one
    s.shot("changed");
    s.key(EXIT);
    s.shot("after");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    const host::Picture before = screen(out, "before"), changed = screen(out, "changed"), after = screen(out, "after");
    ASSERT_EQ(before.argb.size(), 800u * 480u);
    // The other picture did show on the page, in the bird's-eye view (columns 16..305).
    int car_changed = 0;
    for (int r = 0; r < 480; ++r)
        for (int c = 0; c < 308; ++c) car_changed += before.argb[r * 800 + c] != changed.argb[r * 800 + c];
    EXPECT_GT(car_changed, 1000);
    EXPECT_EQ(differing(before, after), 0);
}

TEST(CarPageExitRun, LeavingTheBlindZonePageAlsoLeavesTheScreenAsBefore) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    s.key(DOWN);  // on the blind zones
    s.shot("before");
    s.keys({OK, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, DOWN, RIGHT, RIGHT, RIGHT});  // both zones longer
    s.shot("changed");
    s.key(EXIT);
    s.shot("after");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    const host::Picture before = screen(out, "before"), changed = screen(out, "changed"), after = screen(out, "after");
    ASSERT_EQ(before.argb.size(), 800u * 480u);
    int car_changed = 0;
    for (int r = 0; r < 480; ++r)
        for (int c = 0; c < 308; ++c) car_changed += before.argb[r * 800 + c] != changed.argb[r * 800 + c];
    EXPECT_GT(car_changed, 0);
    EXPECT_EQ(differing(before, after), 0);
}

}  // namespace
