// Brightness balancing between the cameras: with each camera darker or
// brighter by its own factor, the luma step across the seams of the
// bird's-eye view falls to a few levels within two passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/scene_system.h"

namespace {

std::uint32_t gain_of(int cam) {  // 0 front, 1 back, 2 left, 3 right
    return cam == 0 ? bili_t : cam == 1 ? bili_b : cam == 2 ? bili_l : bili_r;
}

// Mean |Y'a - Y'b| over the blend bands of one corner: both sources see the
// same ground point, so with balanced cameras they agree.
double seam_step(const SceneSystem& sys, int corner) {
    const int first = corner <= 2 ? 1 : 0;               // back or front
    const int second = (corner == 1 || corner == 3) ? 2 : 3;  // left or right
    double sum = 0;
    int n = 0;
    for (int row = COMPOSE_TOP; row <= COMPOSE_BOTTOM; ++row)
        for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
            const Image_table& e = sys.t0[row * TABLE_W + col];
            if (e.pic_num != (0x70 | corner)) continue;
            auto bilinear = [](const std::vector<std::uint8_t>& y, std::uint32_t a, const Y_bili& w) {
                return (y[a] * w.Y_tl + y[a + 1] * w.Y_tr + y[a + CAM_W] * w.Y_bl + y[a + CAM_W + 1] * w.Y_br) >> 8;
            };
            const double ya = std::min(255.0, bilinear(sys.y[first], e.Addr_Y, e.ybili) * gain_of(first) / 256.0);
            const double yb = std::min(255.0, bilinear(sys.y[second], e.Addr_Y2, e.ybili2) * gain_of(second) / 256.0);
            sum += std::abs(ya - yb);
            ++n;
        }
    return n ? sum / n : 0;
}

TEST(Balancing, SeamStepsFallWithinTwoPasses) {
    bili_b = bili_b_u = bili_b_v = bili_l = bili_l_u = bili_l_v = 256;
    bili_t = bili_t_u = bili_t_v = bili_r = bili_r_u = bili_r_v = 256;
    SceneSystem sys;
    MT_image(4, sys.t0.data(), sys.yuv2rgb.data());
    // Front darker, back brighter, left a little darker, right a little brighter.
    const double factor[4] = {0.6, 1.3, 0.8, 1.15};
    for (int c = 0; c < 4; ++c)
        for (auto& v : sys.y[c]) v = static_cast<std::uint8_t>(std::clamp(16 + (v - 16) * factor[c], 20.0, 235.0));
    double before[5], after[5];
    for (int k = 1; k <= 4; ++k) before[k] = seam_step(sys, k);
    sys.compose(sys.t0.data());
    sys.compose(sys.t0.data());
    for (int k = 1; k <= 4; ++k) after[k] = seam_step(sys, k);
    for (int k = 1; k <= 4; ++k) {
        std::printf("corner %d: luma step %.1f before, %.1f after two passes\n", k, before[k], after[k]);
        EXPECT_GT(before[k], 8.0) << k;
        EXPECT_LT(after[k], 4.0) << k;
    }
    bili_b = bili_b_u = bili_b_v = bili_l = bili_l_u = bili_l_v = 256;
    bili_t = bili_t_u = bili_t_v = bili_r = bili_r_u = bili_r_v = 256;
}

}  // namespace
