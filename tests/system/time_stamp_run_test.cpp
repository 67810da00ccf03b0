// The recording time stamp: the date and time burnt into the overlay region,
// renewed every second.
#include <gtest/gtest.h>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

// White text pixels, the last column holding one, and whether anything
// but white on black lies in the text box or anything at all beyond it.
struct Ink {
    int last_column = -1;
    bool outside = false;
    int white = 0;
};

Ink ink_of(const host::Picture& p) {
    Ink ink;
    for (int row = 0; row < p.height; ++row)
        for (int col = 0; col < p.width; ++col) {
            const std::uint32_t px = p.argb[row * p.width + col];
            if (col >= 266) {
                if (px != 0) ink.outside = true;  // nothing beyond the 19 characters
            } else if (px == 0xFFFFFFFFu) {
                ++ink.white;
                ink.last_column = std::max(ink.last_column, col);
            } else if (px != 0xFF000000u) {
                ink.outside = true;  // the text is white on opaque black
            }
        }
    return ink;
}

TEST(TimeStampRun, TheOverlayShowsTheDateAndTimeAndChangesEverySecond) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\nrtc 2016-02-29 13:45:07 1\n1.5 overlay first\n2.5 overlay second\n3 power off\n"), 0)
        << read_file(tmp.path / "stderr.txt");
    host::Picture first, second;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/first.png", first));
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/second.png", second));
    ASSERT_EQ(first.width, 288);
    ASSERT_EQ(first.height, 24);
    const Ink a = ink_of(first), b = ink_of(second);
    // "%F %T" is 19 characters of 14 columns: 266 columns at most.
    EXPECT_GT(a.white, 300);
    EXPECT_LE(a.last_column, 265);
    EXPECT_GE(a.last_column, 240);
    EXPECT_FALSE(a.outside);
    EXPECT_FALSE(b.outside);
    EXPECT_NE(first.argb, second.argb);  // the seconds moved on
}

}  // namespace
