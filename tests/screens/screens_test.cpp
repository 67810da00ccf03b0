// Whole screens composed from the synthetic scene, compared with reference
// pictures a person has looked at (tests/ref/). A missing reference is
// written when SCREENS_WRITE_REFS is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/board.h"
#include "tests/scene_system.h"
#include "tests/screen_compare.h"

namespace {
namespace fs = std::filesystem;

struct Mode {
    const char* name;
    int mode;
    std::uint16_t close_etc;
};

TEST(Screens, EveryViewMode) {
    const Mode modes[] = {
        {"back", 4, 255},         {"front", 0, 255},          {"right-marks", 1, 255},  {"left-marks", 2, 255},
        {"right-topdown", 1, 254}, {"left-topdown", 2, 254},  {"both-oblique", 8, 255},
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
