// The calibration's computations against the synthetic scene: marks placed
// on the preview come back as the targets' true pixels, and the lens search
// on them finds the scene's lens.
#include <gtest/gtest.h>

#include <vector>

#include "dsp/dsp_tubiao.h"
#include "tests/cali_plan.h"
#include "vio/vio.h"

namespace {

namespace sc = host::scene;
using namespace cali_plan;

class Refine : public ::testing::Test {
protected:
    std::vector<Image_table> t = std::vector<Image_table>(800 * 480);
    void SetUp() override { start_uncalibrated(); }
    // The provisional projection from the raw marks 1-4 and the default lens.
    void provisional(int dir, double* h) {
        const Cali_pos raw = true_marks(dir);
        Zuobiao z{};
        for (int i = 0; i < 4; ++i)
            a_jiaozheng((&raw.y1)[2 * i], (&raw.y1)[2 * i + 1], &(&z.y1)[2 * i], &(&z.y1)[2 * i + 1],
                        defaults(dir).sensor);
        ASSERT_EQ(b_jiefcz(&targets(dir), &z, h), 0);
    }
};

TEST_F(Refine, PreviewMarksComeBackAsTheTargetsTruePixelsAndTheSearchFindsTheLens) {
    for (int dir : {sc::kFront, sc::kBack, sc::kLeft, sc::kRight}) {
        double h[9];
        provisional(dir, h);
        mt_test(t.data(), h, dir, flash_param_default);
        const Cali_pos placed = preview_marks(dir, t.data());
        Zuobiao z{};
        bh(placed, &z, h, dir);
        Cali_pos pos{};
        huanyuan_pos(&z, &pos, dir, flash_param_default);
        const auto truth = sc::mark_pixels(dir);
        for (int k = 0; k < mark_count(dir); ++k) {
            EXPECT_NEAR((&pos.y1)[2 * k], truth[k][0], 2.5) << dir << " mark " << k + 1;
            EXPECT_NEAR((&pos.y1)[2 * k + 1], truth[k][1], 2.5) << dir << " mark " << k + 1;
        }
        Sensor_param lens = defaults(dir).sensor;
        youhua(defaults(dir).sensor, &lens, &pos, dir);
        const sc::Lens& want = sc::camera(dir).lens;
        // One step of the search's grid.
        EXPECT_LE(std::abs(lens.center_x - want.center_x), 4) << dir;
        EXPECT_LE(std::abs(lens.center_y - want.center_y), 4) << dir;
        // The search barely tells the distance from the centre's height: even
        // the exact pixels leave the back camera two steps off, and the
        // preview's 10 mm grid adds one.
        EXPECT_LE(std::abs(lens.dis - want.dis), 15) << dir;
    }
}

}  // namespace
