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

// Opens the installer page reached by `to_page` downs, edits it with `edits`,
// leaves it with exit and checks the screen is the one before the page opened.
// `min_changed`: how many bird's-eye pixels (columns 0..307) the edits must change.
void expect_exit_restores(const std::vector<int>& to_page, const std::vector<int>& edits, int min_changed) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    open_installer(s);
    s.keys(to_page);
    s.shot("before");
    s.keys(edits);
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
    EXPECT_GE(car_changed, min_changed);
    EXPECT_EQ(differing(before, after), 0);
}

TEST(CarPageExitRun, TheScreenIsTheOneBeforeThePage) {
    // On car settings; then the car picture: the next one, shown in the bird's-eye view.
    expect_exit_restores({DOWN, DOWN, DOWN}, {OK, DOWN, DOWN, DOWN, DOWN, RIGHT}, 1001);
}

TEST(CarPageExitRun, LeavingTheBlindZonePageAlsoLeavesTheScreenAsBefore) {
    // On the blind zones; then both zones longer.
    expect_exit_restores({DOWN}, {OK, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, DOWN, RIGHT, RIGHT, RIGHT}, 1);
}

}  // namespace
