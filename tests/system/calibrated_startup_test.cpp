// Start-up in the simulator with cameras calibrated on the synthetic scene.
#include <gtest/gtest.h>

#include <cmath>

#include "host/scene.h"
#include "tests/svsim_run.h"
#include "vio/settings.h"

namespace {
using namespace svsim_test;

Camera_param scene_camera(int dir) {
    const auto& lens = host::scene::camera(dir).lens;
    Camera_param c{};
    c.sensor = Sensor_param{static_cast<std::int16_t>(lens.center_y), static_cast<std::int16_t>(lens.center_x), 580,
                            static_cast<std::int16_t>(lens.radius), static_cast<std::int16_t>(lens.dis),
                            static_cast<std::int16_t>(lens.xx), -1};
    std::int16_t* m = &c.pos.y1;
    const auto px = host::scene::mark_pixels(dir);
    for (int i = 0; i < 8; ++i) {
        m[2 * i] = static_cast<std::int16_t>(std::lround(px[i][0]));
        m[2 * i + 1] = static_cast<std::int16_t>(std::lround(px[i][1]));
    }
    return c;
}

TEST(CalibratedStartUp, AnUnsolvableCameraLosesItsFlagInMemoryOnly) {
    host::scene::configure(host::scene::Layout{});
    Flash_param p = flash_param_default;
    p.cf_param = scene_camera(host::scene::kFront);
    p.cb_param = scene_camera(host::scene::kBack);
    p.cl_param = scene_camera(host::scene::kLeft);
    p.cr_param = scene_camera(host::scene::kRight);
    p.flagf = p.flagb = p.flagl = p.flagr = 1;
    p.cr_param.pos.x2 = p.cr_param.pos.x1;  // two marks on one pixel: no projection
    p.cr_param.pos.y2 = p.cr_param.pos.y1;
    TempDir tmp;
    {
        std::ofstream out(tmp.path / "settings.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&p), sizeof p);
    }
    ASSERT_EQ(run_svsim(tmp.path, "paced off\nsettings settings.dat\n0.5 screenshot start\n0.6 power off\n"), 0)
        << read_file(tmp.path / "stderr.txt");
    // The stored record is untouched: the reset flag lived in memory only.
    EXPECT_EQ(read_file(tmp.path / "out/board/home/config/ImageParam.dat"), read_file(tmp.path / "settings.dat"));
    EXPECT_NE(read_file(tmp.path / "out/console.log").find("\n0\n"), std::string::npos);
}

}  // namespace
