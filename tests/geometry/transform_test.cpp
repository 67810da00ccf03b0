// The plane projective transform, its four-point solve and the linear solvers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "dsp/dsp_gaus.h"

namespace {

using Points = double[4][2];  // (y, x)
constexpr Points kRect = {{0, 0}, {0, 1000}, {500, 0}, {500, 1000}};
constexpr Points kQuad = {{0.31, -1.2}, {0.27, 0.95}, {1.05, -1.7}, {1.12, 1.4}};

Zuobiao zb(const Points& p) {
    return {p[0][0], p[0][1], p[1][0], p[1][1], p[2][0], p[2][1], p[3][0], p[3][1], 0, 0, 0, 0, 0, 0, 0, 0};
}

TEST(Transform, MapsTheFourPointsAndBothDirectionsCompose) {
    const Zuobiao a = zb(kRect), b = zb(kQuad);
    double there[9], back[9], u, v, x, y;
    ASSERT_EQ(b_jiefcz(&a, &b, there), 0);
    ASSERT_EQ(b_jiefcz(&b, &a, back), 0);
    EXPECT_NEAR(there[6] * there[6] + there[7] * there[7], 1.0, 1e-12);
    EXPECT_NEAR(back[6] * back[6] + back[7] * back[7], 1.0, 1e-12);
    for (int i = 0; i < 4; ++i) {
        b_bianhuan(kRect[i][1], kRect[i][0], &u, &v, there);
        EXPECT_NEAR(u, kQuad[i][1], 1e-12);
        EXPECT_NEAR(v, kQuad[i][0], 1e-12);
    }
    for (const auto& p : {std::array{250.0, 500.0}, std::array{-300.0, 1700.0}}) {
        b_bianhuan(p[1], p[0], &u, &v, there);
        b_bianhuan(u, v, &x, &y, back);
        EXPECT_NEAR(x, p[1], 1e-8);
        EXPECT_NEAR(y, p[0], 1e-8);
    }
}

TEST(Transform, UndeterminedSetsFailAndKeepTheCoefficients) {
    const Points coincide = {{0.31, -1.2}, {0.31, -1.2}, {1.05, -1.7}, {1.12, 1.4}};
    const Points affine = {{100, 200}, {100, 2200}, {1100, 200}, {1100, 2200}};
    const Points not_finite = {{0.31, -1.2}, {0.27, INFINITY}, {1.05, NAN}, {1.12, 1.4}};
    for (const Points* other : {&coincide, &affine, &not_finite}) {
        const Zuobiao a = zb(kRect), b = zb(*other);
        double h[9];
        std::fill(h, h + 9, 42.0);
        EXPECT_EQ(b_jiefcz(&a, &b, h), -1);
        EXPECT_EQ(b_jiefcz(&b, &a, h), -1);
        EXPECT_EQ(std::count(h, h + 9, 42.0), 9);
    }
}

TEST(Transform, VanishingDenominatorGivesAFarFinitePoint) {
    const double h[9] = {1, 0, 0, 0, 1, 0, 1, 0, -5};  // d = 0 on x = 5
    double u, v;
    b_bianhuan(5.0, 3.0, &u, &v, h);
    EXPECT_EQ(u, 1e9);
    EXPECT_EQ(v, 1e9);
}

TEST(LinearSolve, SolutionsSatisfyRandomSystems) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> val(-10.0, 10.0);
    for (int n = 1; n <= 8; ++n) {
        std::vector<double> a(n * n), b(n);
        for (double& v : a) v = val(rng);
        for (int i = 0; i < n; ++i) a[i * n + i] += 40.0;  // well conditioned
        for (double& v : b) v = val(rng);
        std::vector<double> m = a, x = b;
        ASSERT_EQ(gaus(m.data(), x.data(), n), 1);
        for (int i = 0; i < n; ++i) {
            double ax = 0;
            for (int j = 0; j < n; ++j) ax += a[i * n + j] * x[j];
            EXPECT_NEAR(ax, b[i], 1e-12);
        }
    }
    double zero_row[9] = {1, 2, 3, 0, 0, 0, 4, 5, 7}, equal_rows[16] = {8, 4, 2, 1, 3, 1, 4, 1, 8, 4, 2, 1, 5, 9, 2, 6};
    double b3[3] = {1, 2, 3}, b4[4] = {1, 2, 3, 4};
    EXPECT_EQ(gaus(zero_row, b3, 3), 0);
    EXPECT_EQ(gaus(equal_rows, b4, 4), 0);
    double broken[4] = {1, NAN, 0, 1}, b2[2] = {1, 1};
    EXPECT_EQ(gaus(broken, b2, 2), 0);
}

void square_minus(double x, double y[2], double r, const double*) {
    y[0] = x * x - r;
    y[1] = 2 * x;
}

TEST(Newton, ConvergesAndStopsOnAFlatDerivative) {
    double x = 1.0;
    const int steps = newt(&x, 1e-12, 50, square_minus, 2.0, nullptr);
    EXPECT_NEAR(x, std::sqrt(2.0), 1e-12);
    EXPECT_TRUE(steps > 0 && steps < 50);
    x = 0.0;
    EXPECT_EQ(newt(&x, 1e-12, 50, square_minus, 2.0, nullptr), 0);
    EXPECT_EQ(x, 0.0);
}

}  // namespace
