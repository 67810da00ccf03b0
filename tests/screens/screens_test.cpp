// Whole screens composed from the synthetic scene, compared with reference
// pictures a person has looked at (tests/ref/). A missing reference is
// written when SCREENS_WRITE_REFS is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/board.h"
#include "tests/scene_system.h"

namespace {
namespace fs = std::filesystem;

host::Picture picture_of(const std::vector<std::uint32_t>& canvas) {
    host::Picture p;
    p.width = TABLE_W;
    p.height = TABLE_H;
    p.argb = canvas;
    for (auto& px : p.argb) px |= 0xFF000000u;
    return p;
}

// Equal within a small tolerance: builders use floating point, so allow a
// level or two on a few pixels.
void expect_like_reference(const std::string& name, const std::vector<std::uint32_t>& canvas) {
    const fs::path ref = fs::path(SOURCE_DIR) / "tests/ref" / (name + ".png");
    const host::Picture now = picture_of(canvas);
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
    for (std::size_t i = 0; i < now.argb.size(); ++i) {
        const std::uint32_t a = now.argb[i], b = want.argb[i];
        for (int s = 0; s < 24; s += 8) {
            const int d = std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF));
            if (d > 2) {
                ++off;
                break;
            }
        }
    }
    if (off > 200) {
        host::write_png(fs::temp_directory_path() / (name + "-now.png"), now);
        FAIL() << name << ": " << off << " pixels differ from " << ref << " (now in /tmp/" << name << "-now.png)";
    }
}

struct Mode {
    const char* name;
    int mode;
    std::uint16_t close_etc;
};

TEST(Screens, EveryViewMode) {
    const Mode modes[] = {
        {"back", 4, 255},         {"front", 0, 255},          {"right-marks", 1, 255},  {"left-marks", 2, 255},
        {"right-topdown", 1, 254}, {"left-topdown", 2, 254},  {"both-perspective", 8, 255},
        {"both-topdown", 12, 255},
    };
    for (const Mode& m : modes) {
        SceneSystem sys({}, m.close_etc);
        MT_image(m.mode, sys.t0.data(), sys.yuv2rgb.data());
        sys.compose(sys.t0.data());
        expect_like_reference(m.name, sys.canvas);
    }
}

TEST(Screens, RawCameraViews) {
    const std::pair<const char*, int> dirs[] = {{"raw-front", 8}, {"raw-back", 1}, {"raw-left", 2}, {"raw-right", 4}};
    for (const auto& [name, dir] : dirs) {
        SceneSystem sys;
        mt_yuantu(sys.t1.data(), dir);
        sys.compose(sys.t1.data());
        expect_like_reference(name, sys.canvas);
    }
}

}  // namespace
