// cul_bili: source offset and the four bilinear weights of a fractional camera position.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "dsp/dsp_image.h"

namespace {

struct Weights {
    std::uint32_t addr;
    Y_bili w;
};

Weights weights(double x, double y) {
    Weights r{};
    cul_bili(y, x, &r.addr, &r.w);
    return r;
}

TEST(BilinearWeights, QuarterAndHalfFractions) {
    // x = 10.25, y = 20.5: fx = 0.25, fy = 0.5.
    // tr = trunc(0.25 * 0.5 * 255 = 31.875) = 31
    // bl = trunc(0.75 * 0.5 * 255 = 95.625) = 95
    // br = trunc(0.125 * 255 = 31.875) = 31
    // tl = 255 - 31 - 95 - 31 = 98
    const Weights r = weights(10.25, 20.5);
    EXPECT_EQ(r.addr, 20u * 1280u + 10u);
    EXPECT_EQ(r.w.Y_tl, 98);
    EXPECT_EQ(r.w.Y_tr, 31);
    EXPECT_EQ(r.w.Y_bl, 95);
    EXPECT_EQ(r.w.Y_br, 31);
}

TEST(BilinearWeights, ThreeQuartersAcrossQuarterDown) {
    // x = 3.75, y = 0.25: fx = 0.75, fy = 0.25.
    // tr = trunc(0.75 * 0.75 * 255 = 143.4375) = 143
    // bl = trunc(0.25 * 0.25 * 255 = 15.9375) = 15
    // br = trunc(0.1875 * 255 = 47.8125) = 47
    // tl = 255 - 143 - 15 - 47 = 50
    const Weights r = weights(3.75, 0.25);
    EXPECT_EQ(r.addr, 3u);
    EXPECT_EQ(r.w.Y_tl, 50);
    EXPECT_EQ(r.w.Y_tr, 143);
    EXPECT_EQ(r.w.Y_bl, 15);
    EXPECT_EQ(r.w.Y_br, 47);
}

TEST(BilinearWeights, WholePixelTakesOnlyTopLeft) {
    // x = 100, y = 200: no fraction, so all weight on the pixel itself.
    const Weights r = weights(100.0, 200.0);
    EXPECT_EQ(r.addr, 200u * 1280u + 100u);  // 256100
    EXPECT_EQ(r.w.Y_tl, 255);
    EXPECT_EQ(r.w.Y_tr, 0);
    EXPECT_EQ(r.w.Y_bl, 0);
    EXPECT_EQ(r.w.Y_br, 0);
}

TEST(BilinearWeights, HalfwayAlongTheRow) {
    // x = 0.5, y = 0: tr = trunc(0.5 * 1 * 255 = 127.5) = 127, bl = br = 0, tl = 128.
    const Weights r = weights(0.5, 0.0);
    EXPECT_EQ(r.addr, 0u);
    EXPECT_EQ(r.w.Y_tl, 128);
    EXPECT_EQ(r.w.Y_tr, 127);
    EXPECT_EQ(r.w.Y_bl, 0);
    EXPECT_EQ(r.w.Y_br, 0);
}

TEST(BilinearWeights, LastPositionBeforeTheEdge) {
    // x = 1278.999, y = 718.999: offset 718 * 1280 + 1278 = 920318, whose 2 x 2
    // neighbourhood ends at the plane's last byte 921599.
    // fx = fy ~ 0.999: tr = bl = trunc(0.999 * 0.001 * 255 ~ 0.25) = 0,
    // br = trunc(0.998 * 255 ~ 254.5) = 254, tl = 1.
    const Weights r = weights(1278.999, 718.999);
    EXPECT_EQ(r.addr, 920318u);
    EXPECT_EQ(r.w.Y_tl, 1);
    EXPECT_EQ(r.w.Y_tr, 0);
    EXPECT_EQ(r.w.Y_bl, 0);
    EXPECT_EQ(r.w.Y_br, 254);
}

TEST(BilinearWeights, SumTo255AndStayCloseToExactWeights) {
    // Over a grid of fractions each weight is at most 3 below the exact
    // bilinear weight x 255 (three truncations feed tl), never above it by
    // one or more, and the four add up to 255 without wrapping.
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j) {
            const double x = 500.0 + i / 64.0 + 0.003, y = 300.0 + j / 64.0 + 0.007;
            const double fx = x - 500.0, fy = y - 300.0;
            const Weights r = weights(x, y);
            SCOPED_TRACE(testing::Message() << "fx=" << fx << " fy=" << fy);
            EXPECT_EQ(r.addr, 300u * 1280u + 500u);
            EXPECT_EQ(r.w.Y_tl + r.w.Y_tr + r.w.Y_bl + r.w.Y_br, 255);
            const double exact[4] = {(1 - fx) * (1 - fy) * 255, fx * (1 - fy) * 255, (1 - fx) * fy * 255,
                                     fx * fy * 255};
            const int got[4] = {r.w.Y_tl, r.w.Y_tr, r.w.Y_bl, r.w.Y_br};
            for (int k = 1; k < 4; ++k) EXPECT_EQ(got[k], static_cast<int>(std::floor(exact[k]))) << k;
            EXPECT_GE(got[0], exact[0] - 1e-9);
            EXPECT_LT(got[0], exact[0] + 3);
        }
}

}  // namespace
