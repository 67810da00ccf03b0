// Top-down BMP files (negative height) of any height: the rows inside the clip are drawn,
// the pixels are taken where the header's pixel offset points, and rows below the clip
// are never read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/gui/surfaces.h"

namespace {

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// A 24-bit file `w` wide, `rows` rows stored top-down (height field -rows), with `gap` bytes
// between the header and the pixels and only `stored` rows present. Row r is (r & 255, 7, 200).
std::string top_down(int w, int rows, int stored, int gap) {
    const int stride = (w * 3 + 3) & ~3;
    std::string f(54 + gap + static_cast<std::size_t>(stored) * stride, '\0');
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 2, static_cast<std::uint32_t>(f.size()));
    put32(f, 10, 54u + static_cast<std::uint32_t>(gap));
    put32(f, 14, 40);
    put32(f, 18, static_cast<std::uint32_t>(w));
    put32(f, 22, static_cast<std::uint32_t>(-rows));
    f[26] = 1;
    f[28] = 24;
    for (std::size_t i = 54; i < 54u + gap; ++i) f[i] = '\x55';  // must not be taken for pixels
    for (int r = 0; r < stored; ++r)
        for (int x = 0; x < w; ++x) {
            char* q = &f[54 + gap + static_cast<std::size_t>(r) * stride + x * 3];
            q[0] = static_cast<char>(200);  // blue
            q[1] = 7;                       // green
            q[2] = static_cast<char>(r);    // red
        }
    return f;
}

std::uint32_t canvas_of(int red) { return 0xFF000000u | static_cast<std::uint32_t>(red & 255) | (7u << 8) | (200u << 16); }

TEST(BmpTopDown, TallFilesDrawTheirRowsInsideTheClip) {
    // 1500 rows drawn from y = -1100: file rows 1100..1499 land on canvas rows 0..399 (the
    // canvas's row and column 0 are never written).
    const std::string tall = top_down(5, 1500, 1500, 8);
    EXPECT_EQ(GUI_BMP_GetYSize(tall.data()), 1500);
    {
        Surfaces s;
        ASSERT_EQ(GUI_BMP_DrawEx(tall.data(), static_cast<int>(tall.size()), 30, -1100), 0);
        for (int y : {1, 155, 399}) {
            EXPECT_EQ(s.px(30, y), canvas_of(1100 + y)) << y;
            EXPECT_EQ(s.px(34, y), canvas_of(1100 + y)) << y;
            EXPECT_EQ(s.px(35, y), 0u) << y;
        }
        EXPECT_EQ(s.px(30, 400), 0u);  // below the file
    }
    // From row 1: the clip's bottom row 479 is file row 478; the file holds only those 479 rows,
    // and the draw without a size must not read further (the header claims a million rows).
    const std::string cut = top_down(5, 1000000, 479, 0);
    {
        Surfaces s;
        ASSERT_EQ(GUI_BMP_Draw(cut.data(), 1, 1), 0);
        EXPECT_EQ(s.px(1, 1), canvas_of(0));
        EXPECT_EQ(s.px(5, 479), canvas_of(478));
    }
    // A file that says it has more rows than it holds is still refused when its size is known.
    {
        Surfaces s;
        EXPECT_EQ(GUI_BMP_DrawEx(cut.data(), static_cast<int>(cut.size()), 1, 1), 1);
        EXPECT_EQ(s.count(0), static_cast<int>(s.canvas.size()));
    }
    // Bottom-up files stay limited to 1024 rows.
    std::string up = top_down(5, 1025, 1025, 0);
    put32(up, 22, 1025);
    {
        Surfaces s;
        EXPECT_EQ(GUI_BMP_DrawEx(up.data(), static_cast<int>(up.size()), 1, 1), 1);
        EXPECT_EQ(s.count(0), static_cast<int>(s.canvas.size()));
    }
}

}  // namespace
