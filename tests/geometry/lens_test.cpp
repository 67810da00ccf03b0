// The fisheye lens model and the lens-centre search, against an independent
// ray-sphere projection.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "dsp/dsp_gaus.h"

namespace {

struct Pixel {
    double y, x;
};
constexpr Sensor_param kDefaultLens{360, 640, 0, 740, 420, 1000, 0};
constexpr Sensor_param kOddLens{350, 630, 0, 700, 380, 1100, 0};

// Where the ray (xx, yy, 1) leaves the lens sphere (centre dis behind the
// projection centre), projected straight onto the picture.
Pixel project(double yy, double xx, const Sensor_param& s) {
    const double a = xx * xx + yy * yy + 1, b = 2.0 * s.dis, c = double(s.dis) * s.dis - double(s.radius) * s.radius;
    const double t = (-b + std::sqrt(b * b - 4 * a * c)) / (2 * a);
    return {s.center_y + t * yy, s.center_x + t * xx / (s.xx / 1000.0)};
}

TEST(LensModel, AgreesWithRaySphereProjectionBothWays) {
    Pixel u, p;
    a_jiaozheng(350, 630, &u.y, &u.x, kOddLens);
    EXPECT_EQ(u.y, 0.0);
    EXPECT_EQ(u.x, 0.0);
    std::mt19937 rng(7);
    int checked = 0;
    for (int i = 0; i < 2000; ++i) {
        const short y = short(rng() % 720), x = short(rng() % 1280);
        const double dx = 1.1 * (x - 630), dy = y - 350;
        if (!(std::sqrt(700.0 * 700 - dx * dx - dy * dy) > 380)) continue;  // behind the horizon
        ++checked;
        a_jiaozheng(y, x, &u.y, &u.x, kOddLens);
        const Pixel want = project(u.y, u.x, kOddLens);
        a_huanyuan(u.y, u.x, &p.y, &p.x, kOddLens);
        EXPECT_NEAR(want.y, y, 1e-9);
        EXPECT_NEAR(want.x, x, 1e-9);
        EXPECT_NEAR(p.y, y, 1e-9);
        EXPECT_NEAR(p.x, x, 1e-9);
    }
    EXPECT_GT(checked, 500);
}

TEST(LensModel, PixelsOnOrBeyondTheHorizonGiveTheirRawOffsets) {
    // 444^2 + 592^2 = 740^2: depth exactly 0 at 592 columns out, negative
    // beyond, no sphere point outside the circle.
    const Sensor_param s{360, 640, 0, 740, 444, 1000, 0};
    for (const auto& p : {std::array<short, 2>{360, 1232}, {360, 1240}, {1200, 1200}, {-400, -200}}) {
        Pixel u;
        a_jiaozheng(p[0], p[1], &u.y, &u.x, s);
        EXPECT_EQ(u.y, p[0] - 360);
        EXPECT_EQ(u.x, p[1] - 640);
    }
}

TEST(LensModel, PointsWithoutAnImageLandFarOutsideThePicture) {
    Pixel p;
    a_huanyuan(3.0, 4.0, &p.y, &p.x, Sensor_param{360, 640, 0, 300, 400, 1000, 0});  // eye outside the sphere
    EXPECT_EQ(p.y, -10000.0);
    EXPECT_EQ(p.x, -10000.0);
    a_huanyuan(NAN, 0.0, &p.y, &p.x, kDefaultLens);
    EXPECT_EQ(p.x, -10000.0);
}

// Six marks at the pixels seen along the given undistorted points, rounded.
Cali_pos marks(const double (&plane)[6][2], const Sensor_param& lens, double* worst_rounding) {
    short m[12];
    *worst_rounding = 0;
    for (int i = 0; i < 6; ++i) {
        const Pixel p = project(plane[i][0], plane[i][1], lens);
        m[2 * i] = short(std::lround(p.y));
        m[2 * i + 1] = short(std::lround(p.x));
        *worst_rounding = std::fmax(*worst_rounding, std::fmax(std::fabs(p.y - m[2 * i]), std::fabs(p.x - m[2 * i + 1])));
    }
    return {m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11], 0, 0, 0, 0};
}

TEST(LensSearch, FindsAnOnGridLensExactlyFromIntegralMarks) {
    // A symmetric trapezoid with horizontal parallel sides: marks 5 and 6 are
    // the plain midpoints. Integral depths (740^2 = 240^2 + 700^2 = 420^2 +
    // 144^2 + 592^2 = 228^2 + 704^2) put every mark on a whole pixel.
    const Sensor_param truth{342, 652, 0, 740, 400, 1000, 0};
    const double plane[6][2] = {{0, -0.8}, {0, 0.8}, {0.75, -2.1875}, {0.75, 2.1875}, {0, 0}, {0.75, 0}};
    double rounding;
    const Cali_pos pos = marks(plane, truth, &rounding);
    ASSERT_LT(rounding, 1e-9);
    Sensor_param got{1, 2, 3, 4, 5, 6, 7};
    const auto start = std::chrono::steady_clock::now();
    youhua(kDefaultLens, &got, &pos, 8);
    std::printf("one lens search: %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    const Sensor_param want{342, 652, 0, 740, 400, 6, 7};  // xx and reverse1 never written
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
}

TEST(LensSearch, FindsAGeneralLensWithinOneGridStepFromRoundedMarks) {
    // Side camera, non-affine ground transform, marks rounded to whole pixels.
    const Sensor_param truth{374, 620, 0, 740, 455, 1000, 0};
    const double g[9] = {0.001063, 9.174e-06, -1.1, -2.104e-05, 0.0008062, 0.35, 1.319e-05, -0.0006307, 1.0};
    const double ground[6][2] = {{0, 0}, {0, 2000}, {500, 0}, {500, 2000}, {0, 1000}, {500, 1000}};
    double plane[6][2];
    for (int i = 0; i < 6; ++i) {
        const double y = ground[i][0], x = ground[i][1], w = g[6] * x + g[7] * y + g[8];
        plane[i][0] = (g[3] * x + g[4] * y + g[5]) / w;
        plane[i][1] = (g[0] * x + g[1] * y + g[2]) / w;
    }
    double rounding;
    const Cali_pos pos = marks(plane, truth, &rounding);
    Sensor_param got{};
    youhua(kDefaultLens, &got, &pos, 2);
    EXPECT_LE(std::abs(got.center_y - 374), 4);
    EXPECT_LE(std::abs(got.center_x - 620), 4);
    EXPECT_LE(std::abs(got.dis - 455), 5);
}

TEST(LensSearch, EqualResidualsKeepTheSmallestDistance) {
    // With a tiny sphere every mark is behind the horizon and undistorts to
    // its raw offsets whatever dis is: all distances of a centre tie.
    Sensor_param src = kDefaultLens, got{};
    src.radius = 50;
    const Cali_pos pos{100, 400, 100, 800, 400, 200, 400, 1000, 100, 600, 400, 600, 0, 0, 0, 0};
    youhua(src, &got, &pos, 8);
    EXPECT_EQ(got.dis, 420 - 60);
}

TEST(LensSearch, LeavesTheLensAloneWhenNoCandidateFits) {
    const Sensor_param before{1, 2, 3, 4, 5, 6, 7};
    const Cali_pos same{200, 500, 200, 500, 400, 300, 400, 900, 200, 700, 400, 600, 0, 0, 0, 0};  // 1 = 2
    const Cali_pos off{200, 400, 200, 800, 400, 300, 400, 900, 200, 420, 400, 600, 0, 0, 0, 0};   // 5 near 1
    for (const Cali_pos& pos : {same, off}) {
        Sensor_param got = before;
        youhua(kDefaultLens, &got, &pos, 1);
        EXPECT_EQ(std::memcmp(&got, &before, sizeof got), 0);
    }
}

}  // namespace
