// The disk banners the main loop writes over the live picture: exactly the
// text's box at the top of the panel, and nothing else changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/menus/menu_run.h"

namespace {

using namespace menu_run;

struct Box {
    int x0 = 10000, y0 = 10000, x1 = -1, y1 = -1;  // inclusive
    int pixels = 0;
};

// Where two screens of the same moment differ.
Box difference(const host::Picture& a, const host::Picture& b) {
    Box box;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            const auto i = static_cast<std::size_t>(y * 800 + x);
            if (a.argb[i] == b.argb[i]) continue;
            ++box.pixels;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x);
            box.y1 = std::max(box.y1, y);
        }
    return box;
}

fs::path banner_run(const TempDir& tmp, std::uint16_t record, bool small_disk) {
    write_settings(tmp.path / "settings.dat", settings(1, record));
    std::string text = "speed 1000\nsettings settings.dat\nrtc 2024-05-06 07:08:09 1\n"
                       "2 reverse on\n3 screenshot no-disk\n";
    if (small_disk) text += "3.5 disk insert usb 1000\n";
    text += "6 screenshot small-disk\n7 power off\n";
    EXPECT_EQ(run_svsim(tmp.path, text), 0);
    return tmp.path / "out";
}

TEST(DiskBanners, CheckAndFormatBannersCoverExactlyTheirText) {
    TempDir with, without;
    const fs::path a = banner_run(with, 1, true);      // recording wanted
    const fs::path b = banner_run(without, 0, false);  // nothing to say
    // 24-pixel font: 14 columns a character. The panel begins at column 308.
    struct Expect {
        const char* shot;
        int chars;
    } const cases[] = {{"no-disk", 13}, {"small-disk", 21}};  // "Check U Disk!", "Please Format U Disk!"
    for (const Expect& c : cases) {
        const Box d = difference(screen(a, c.shot), screen(b, c.shot));
        SCOPED_TRACE(c.shot);
        EXPECT_GT(d.pixels, 8 * c.chars);
        EXPECT_GE(d.x0, 348);
        EXPECT_LE(d.x0, 348 + 4);
        EXPECT_LE(d.x1, 348 + 14 * c.chars - 1);
        EXPECT_GE(d.x1, 348 + 14 * (c.chars - 1));
        EXPECT_GE(d.y0, 20);
        EXPECT_LE(d.y1, 20 + 23);
    }
}

}  // namespace
