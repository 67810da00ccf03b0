// Comparing a composed canvas with a reference picture a person has looked
// at (tests/ref/NAME.png). A missing reference is written when
// SCREENS_WRITE_REFS is set.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dsp/dsp_image.h"
#include "host/board.h"

// Pixel for pixel: the scene, the tables and the compositor give the same
// picture in every build, so any difference is a change of what is drawn.
inline void expect_like_reference(const std::string& name, const std::vector<std::uint32_t>& canvas) {
    namespace fs = std::filesystem;
    const fs::path ref = fs::path(SOURCE_DIR) / "tests/ref" / (name + ".png");
    host::Picture now{TABLE_W, TABLE_H, canvas};
    for (auto& px : now.argb) px |= 0xFF000000u;
    if (!fs::exists(ref)) {
        if (std::getenv("SCREENS_WRITE_REFS")) {
            ASSERT_TRUE(host::write_png(ref, now));
            GTEST_SKIP() << "wrote " << ref;
        }
        FAIL() << "no reference " << ref << " (run with SCREENS_WRITE_REFS=1 to make it, then look at it)";
    }
    host::Picture want;
    ASSERT_TRUE(host::read_png(ref, want));
    ASSERT_EQ(want.width, now.width);
    ASSERT_EQ(want.height, now.height);
    int off = 0, worst = 0, x0 = now.width, y0 = now.height, x1 = -1, y1 = -1;
    for (std::size_t i = 0; i < now.argb.size(); ++i) {
        if (now.argb[i] == want.argb[i]) continue;
        ++off;
        for (int s = 0; s < 24; s += 8)
            worst = std::max(worst, std::abs(static_cast<int>((now.argb[i] >> s) & 0xFF) -
                                             static_cast<int>((want.argb[i] >> s) & 0xFF)));
        const int x = static_cast<int>(i % now.width), y = static_cast<int>(i / now.width);
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    if (off > 0) {
        host::write_png(fs::temp_directory_path() / (name + "-now.png"), now);
        FAIL() << name << ": " << off << " pixels differ from " << ref << " by up to " << worst << " levels, within x "
               << x0 << ".." << x1 << ", y " << y0 << ".." << y1 << " (now in /tmp/" << name << "-now.png)";
    }
}

// Centroid of the dark pixels of a mark's disk within 8 pixels of (row, col).
inline std::array<double, 2> disk_at(const host::Picture& p, int row, int col) {
    double sr = 0, sc_ = 0, n = 0;
    for (int r = row - 8; r <= row + 8; ++r)
        for (int c = col - 8; c <= col + 8; ++c) {
            const std::uint32_t v = p.argb[static_cast<std::size_t>(r * 800 + c)];
            if (((v >> 16) & 255) + ((v >> 8) & 255) + (v & 255) < 150) sr += r, sc_ += c, n += 1;
        }
    return n > 0 ? std::array<double, 2>{sr / n, sc_ / n} : std::array<double, 2>{-100, -100};
}
