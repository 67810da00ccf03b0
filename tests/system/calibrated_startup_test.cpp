// Start-up in the simulator with cameras calibrated on the synthetic scene.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/scene_system.h"
#include "tests/svsim_run.h"
#include "vio/settings.h"

namespace {
using namespace svsim_test;

TEST(CalibratedStartUp, AnUnsolvableCameraLosesItsFlagInMemoryOnly) {
    Flash_param p = scene_settings();
    p.cr_param.pos.x2 = p.cr_param.pos.x1;  // two marks on one pixel: no projection
    p.cr_param.pos.y2 = p.cr_param.pos.y1;
    TempDir tmp;
    {
        std::ofstream out(tmp.path / "settings.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&p), sizeof p);
    }
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\npaced off\nsettings settings.dat\n0.5 screenshot start\n0.6 power off\n"), 0)
        << read_file(tmp.path / "stderr.txt");
    // The stored record is untouched: the reset flag lived in memory only.
    EXPECT_EQ(read_file(tmp.path / "out/board/home/config/ImageParam.dat"), read_file(tmp.path / "settings.dat"));
    EXPECT_NE(read_file(tmp.path / "out/console.log").find("\n0\n"), std::string::npos);
}

}  // namespace
