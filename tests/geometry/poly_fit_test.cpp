// Least-squares polynomial fit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/dsp_fc.h"

namespace {

struct Fit {
    std::vector<double> a;
    double dt[3] = {9, 9, 9};
    double mean = 9;
};

Fit fit(const std::vector<double>& x, const std::vector<double>& y, int m) {
    Fit f{std::vector<double>(m, 99.0)};
    pir1(x.data(), y.data(), int(x.size()), f.a.data(), m, f.dt, &f.mean);
    return f;
}

TEST(PolyFit, ResidualsAreOrthogonalToEveryPower) {
    // The least-squares optimum is where the normal equations hold.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> noise(-20.0, 20.0);
    std::vector<double> x, y;
    for (int i = 0; i < 60; ++i) x.push_back(100 + 3 * i), y.push_back(400 + 0.8 * i - 0.01 * i * i + noise(rng));
    const Fit f = fit(x, y, 7);
    EXPECT_DOUBLE_EQ(f.mean, 188.5);
    long double dot[7] = {}, size[7] = {}, sq = 0;
    for (int i = 0; i < 60; ++i) {
        const long double u = x[i] - 188.5L;
        long double v = 0, p = 1;
        for (int k = 6; k >= 0; --k) v = v * u + f.a[k];
        for (int k = 0; k < 7; ++k, p *= u) dot[k] += (v - y[i]) * p, size[k] += std::fabs(y[i] * p);
        sq += (v - y[i]) * (v - y[i]);
    }
    for (int k = 0; k < 7; ++k) EXPECT_LT(std::fabs(dot[k]), 1e-11 * size[k]) << k;
    EXPECT_NEAR(f.dt[0], double(sq), 1e-9 * double(sq));
}

TEST(PolyFit, ReproducesLowerDegreePolynomials) {
    std::vector<double> x, y;
    for (int i = 0; i < 30; ++i) x.push_back(i * 0.5), y.push_back(3 - 2 * (i * 0.5 - 7.25) + 0.25 * std::pow(i * 0.5 - 7.25, 3));
    const Fit f = fit(x, y, 6);
    const double want[6] = {3, -2, 0, 0.25, 0, 0};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(f.a[k], want[k], 1e-10);
    EXPECT_LT(f.dt[1], 1e-10);
}

TEST(PolyFit, OneTermIsTheMeanAndTheCapsLeaveZeros) {
    const Fit mean = fit({1, 2, 4}, {3, 5, 10}, 1);
    EXPECT_DOUBLE_EQ(mean.a[0], 6.0);
    EXPECT_DOUBLE_EQ(mean.dt[2], 4.0);
    const Fit three = fit({1, 2, 4}, {3, 5, 10}, 6);  // a parabola through three points
    EXPECT_EQ(three.a[3] + three.a[4] + three.a[5], 0.0);
    EXPECT_LT(three.dt[2], 1e-12);
    std::vector<double> x(30), y(30);
    for (int i = 0; i < 30; ++i) x[i] = i, y[i] = i % 7;
    const Fit twenty = fit(x, y, 25);
    for (int k = 20; k < 25; ++k) EXPECT_EQ(twenty.a[k], 0.0);
}

TEST(PolyFit, DegenerateAbscissasStayFinite) {
    // 0.1 does not average back to itself exactly: the spread is pure rounding.
    const Fit flat = fit(std::vector<double>(30, 0.1), std::vector<double>(30, 2.0), 3);
    EXPECT_EQ(flat.a, (std::vector<double>{2.0, 0.0, 0.0}));
    std::vector<double> x, y;
    for (int i = 0; i < 10; ++i) x.push_back(i % 2 ? 0.7 : 0.1), y.push_back(i % 2 ? 5.0 : 2.0);
    const Fit line = fit(x, y, 4);  // two distinct rows carry a line and no more
    EXPECT_NEAR(line.a[1], 5.0, 1e-9);
    EXPECT_EQ(line.a[2] + line.a[3], 0.0);
    const Fit none = fit({}, {}, 3);
    EXPECT_EQ(none.mean, 0.0);
    EXPECT_EQ(none.a, (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(none.dt[0] + none.dt[1] + none.dt[2], 0.0);
}

}  // namespace
