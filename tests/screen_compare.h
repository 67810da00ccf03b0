// Comparing a composed canvas with a reference picture a person has looked
// at (tests/ref/NAME.png). A missing reference is written when
// SCREENS_WRITE_REFS is set.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dsp/dsp_image.h"
#include "host/board.h"

// Equal but for a level or two on a few pixels (the builders and the scene
// go through floating point).
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
    int off = 0;
    for (std::size_t i = 0; i < now.argb.size(); ++i)
        for (int s = 0; s < 24; s += 8) {
            const int d =
                std::abs(static_cast<int>((now.argb[i] >> s) & 0xFF) - static_cast<int>((want.argb[i] >> s) & 0xFF));
            if (d > 2) {
                ++off;
                break;
            }
        }
    if (off > 200) {
        host::write_png(fs::temp_directory_path() / (name + "-now.png"), now);
        FAIL() << name << ": " << off << " pixels differ from " << ref << " (now in /tmp/" << name << "-now.png)";
    }
}
