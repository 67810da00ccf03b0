// Bird's-eye guide lines against plane geometry: a turning car's lines are
// concentric circles, the opposite turn is the mirror picture, straight ahead
// gives columns 180 mm outside the body.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_guiji.h"
#include "tests/guiji_bev/panel.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kGround = 0xFF404040u;

const std::uint32_t* yuv() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        Init_table_YUV2RGB(v.data());
        return v;
    }();
    return t.data();
}
// The ground's luminance is 64, so the bands show luma 176.
std::uint32_t band() { return yuv()[(176u << 14) | 0x9CA]; }

// Car and ground as the car settings derive them; L and S from the length.
void use(int LL, int W, int WW, int FV, int BV, int LR) {
    param_car = {0,
                 std::uint16_t(LL),
                 std::uint16_t(W),
                 std::uint16_t(LL * 0.6),
                 std::uint16_t(std::max(0.0, LL * 0.22 - 550)),
                 std::uint16_t(WW)};
    FVLEN = std::int16_t(FV), BVLEN = std::int16_t(BV), LRVLEN = std::int16_t(LR);
    FULLVIEW_Left = 16;
    FRONTBLANK = BACKBLANK = 150;
}
void use_mid() { use(4370, 1900, 1615, 2700, 3300, 2400); }  // 43 rows and 43 columns a metre

using Canvas = std::vector<std::uint32_t>;
template <class F>
Canvas draw(F f) {
    Canvas c(kW * kH, kGround);
    f(c.data());
    return c;
}

int T() { return FVLEN + param_car.LL + BVLEN; }
double col_mm() { return 1000.0 / (290000 / (param_car.W + 2 * LRVLEN)); }
double row_mm() { return 1000.0 / (456000 / T()); }
int axis() { return FULLVIEW_Left + 145; }
int rear_row() { return 12 + (FVLEN + param_car.LL) * 456 / T(); }

// Columns of `colour` on row r, counted from the centre line's column.
std::vector<int> cols(const Canvas& cv, int r, std::uint32_t colour) {
    std::vector<int> out;
    for (int c = 0; c < kW; ++c) {
        if (cv[r * kW + c] == colour) out.push_back(c - axis());
    }
    return out;
}

// Ground (mm) in the middle of what a column stands for: columns round towards the centre line.
double ground_x(double d) { return (d + (d > 0 ? 0.5 : d < 0 ? -0.5 : 0)) * col_mm(); }

using Line = std::vector<std::array<double, 2>>;

// Fits x^2 + y^2 = 2 a x + 2 b y + c_j (one c_j a line); returns the largest
// miss of a point from its line's circle, and the centre.
double fit(const std::vector<Line>& lines, double& a, double& b) {
    const int n = 2 + int(lines.size());
    std::vector<double> M(n * n), v(n);
    for (int j = 0; j < n - 2; ++j) {
        for (auto [x, y] : lines[j]) {
            std::vector<double> e(n);
            e[0] = 2 * x, e[1] = 2 * y, e[2 + j] = 1;
            for (int p = 0; p < n; ++p) {
                v[p] += e[p] * (x * x + y * y);
                for (int q = 0; q < n; ++q) M[p * n + q] += e[p] * e[q];
            }
        }
    }
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) {
            const double f = q == p ? 0 : M[q * n + p] / M[p * n + p];
            for (int k = 0; k < n; ++k) M[q * n + k] -= f * M[p * n + k];
            v[q] -= f * v[p];
        }
    }
    a = v[0] / M[0], b = v[1] / M[n + 1];
    double worst = 0;
    for (int j = 0; j < n - 2; ++j) {
        const double r = std::sqrt(v[2 + j] / M[(2 + j) * n + 2 + j] + a * a + b * b);
        for (auto [x, y] : lines[j]) worst = std::max(worst, std::fabs(std::hypot(x - a, y - b) - r));
    }
    return worst;
}

void expect_concentric(short angle) {
    std::vector<Line> lines;
    for (int side : {-1, 1}) {
        const Canvas cv = draw([&](std::uint32_t* p) { (side < 0 ? draw_guiji_l : draw_guiji_r)(p, angle, yuv()); });
        Line edge, lo, hi;  // body edge, band edges
        for (int r = 0; r < kH; ++r) {
            const double y = r * row_mm();
            const auto y_cols = cols(cv, r, kYellow), b_cols = cols(cv, r, band());
            if (!y_cols.empty()) edge.push_back({ground_x(side > 0 ? y_cols.back() : y_cols.front()), y});
            if (!b_cols.empty())
                lo.push_back({ground_x(b_cols.front()), y}), hi.push_back({(b_cols.back() + 0.5) * col_mm(), y});
        }
        for (const Line& l : {edge, lo, hi}) {
            if (l.size() >= 5) lines.push_back(l);
        }
    }
    ASSERT_GE(lines.size(), 4u);
    double a, b;
    EXPECT_LT(fit(lines, a, b), 1.2 * col_mm()) << angle;
    if (std::abs(angle) < 900) return;  // flatter arcs do not place their centre
    // Wheelbase L turns about L cot(angle) aside, level with S + 550 mm ahead of the rear.
    const double R = param_car.L / std::tan(angle / 4096.0);
    EXPECT_NEAR(a, R, 0.03 * std::fabs(R) + 2 * col_mm());
    EXPECT_NEAR(b, rear_row() * row_mm() - param_car.S - 550, 2 * row_mm());
}

TEST(BirdsEyeLines, ReversingLinesShareOneTurningCentre) {
    use_mid();
    for (short angle : {600, 1200, 2509, -900, -2509}) expect_concentric(angle);
    // A short car's inner edge circle ends inside the view at full lock.
    use(2000, 1650, 1402, 2500, 3100, 1800);
    for (short angle : {2509, -2509}) expect_concentric(angle);
}

// `colour` of a mirrored about the centre line's column is in b, within
// `slack` columns, or covered there by a line.
void expect_mirrored(const Canvas& a, const Canvas& b, std::uint32_t colour, int slack) {
    for (int r = 0; r < kH; ++r) {
        for (int c = 0; c < kW; ++c) {
            if (a[r * kW + c] != colour) continue;
            bool found = false;
            for (int m = 2 * axis() - c - slack; m <= 2 * axis() - c + slack; ++m) {
                const std::uint32_t p = m >= 0 && m < kW ? b[r * kW + m] : 0;
                found = found || p == colour || (slack && p == kYellow);
            }
            ASSERT_TRUE(found) << r << " " << c;
        }
    }
}

TEST(BirdsEyeLines, OppositeAnglesGiveMirrorPictures) {
    use_mid();
    for (auto entry : {draw_guiji_full, draw_guiji_qx}) {
        for (short a : {300, 1200, 2509}) {
            const Canvas plus = draw([&](std::uint32_t* p) { entry(p, a, yuv()); });
            const Canvas minus = draw([&](std::uint32_t* p) { entry(p, short(-a), yuv()); });
            expect_mirrored(plus, minus, kYellow, 0);
            expect_mirrored(minus, plus, kYellow, 0);
            expect_mirrored(plus, minus, band(), 1);  // bands stop short of their edge's value
            expect_mirrored(minus, plus, band(), 1);
        }
    }
}

TEST(BirdsEyeLines, StraightBackAreColumnsOutsideTheBody) {
    use_mid();
    const Canvas cv = draw([](std::uint32_t* p) { draw_guiji_full(p, 0, yuv()); });
    // 1130 mm out: 48 columns; bands 697..917 mm out: columns 29..39 (30..39 on the left).
    const std::vector<int> edges = {-48, -47, -46, -45, 45, 46, 47, 48};
    std::vector<int> bands;
    for (int c = -39; c <= 39; ++c) {
        if (std::abs(c) >= 29 + (c < 0)) bands.push_back(c);
    }
    const int start = rear_row() - 23, blind_end = rear_row() + 150 * 456 / T();
    for (int r = 0; r < 408; ++r) {
        EXPECT_EQ(cols(cv, r, kYellow), r < start ? std::vector<int>{} : edges) << r;
        // Striped two rows on, two off, behind the rear blind zone only.
        const bool striped = r > blind_end && ((r - start) & 2) == 0;
        EXPECT_EQ(cols(cv, r, band()), striped ? bands : std::vector<int>{}) << r;
    }
}

TEST(BirdsEyeLines, WhichLinesShowForTheSteering) {
    use_mid();
    // The left limit curve is the left edge at full lock to the right
    // (2200 / 4096 rad) on the last 60 rows, bending right; the right one bends left.
    const Canvas lx = draw([](std::uint32_t* p) { draw_guiji_lx(p, 0); });
    const Canvas lock = draw([](std::uint32_t* p) { draw_guiji_l(p, 2200, nullptr); });
    for (int r = 0; r < kH; ++r) EXPECT_EQ(cols(lx, r, kYellow), r < 408 ? std::vector<int>{} : cols(lock, r, kYellow));
    const Canvas rx = draw([](std::uint32_t* p) { draw_guiji_rx(p, 0); });
    EXPECT_GT(cols(lx, 467, kYellow).at(0), cols(lx, 408, kYellow).at(0));
    EXPECT_LT(cols(rx, 467, kYellow).at(0), cols(rx, 408, kYellow).at(0));
    // Reversing to the right shows the right curve only, and the left front corner's sweep.
    auto full = [](short a) { return draw([=](std::uint32_t* p) { draw_guiji_full(p, a, yuv()); }); };
    auto parts = [](short a, bool left, bool right) {
        return draw([=](std::uint32_t* p) {
            draw_guiji_l(p, a, yuv()), draw_guiji_r(p, a, yuv());
            if (left) draw_guiji_lx(p, a);
            if (right) draw_guiji_rx(p, a);
            draw_guiji_fl(p, a), draw_guiji_fr(p, a);
        });
    };
    EXPECT_TRUE(full(200) == parts(200, false, true));
    EXPECT_TRUE(full(-200) == parts(-200, true, false));
    EXPECT_TRUE(full(199) == parts(199, true, true));
    const int front_edge = 12 + FVLEN * 456 / T() - 150 * 456 / T();
    EXPECT_LT(cols(full(1000), front_edge + 40, kYellow).at(0), -48);
    EXPECT_GT(cols(full(-1000), front_edge + 40, kYellow).at(3), 48);
    // Forward, straight: the left rear corner's sweep and not the right one.
    const int pivot = rear_row() - 43 * (param_car.S + 550) / 1000;
    const Canvas ahead = draw([](std::uint32_t* p) { draw_guiji_qx(p, 0, yuv()); });
    EXPECT_EQ(cols(ahead, pivot, kYellow), (std::vector<int>{-48, -47, -46, -45}));
    const Canvas right = draw([](std::uint32_t* p) { draw_guiji_qx(p, 1, yuv()); });
    EXPECT_EQ(cols(right, pivot, kYellow), (std::vector<int>{45, 46, 47, 48}));
}

// Absurd cars, blind zones, view positions and angles. The walks end where
// the lines leave the shown ground, so only the columns of the bird's-eye area
// (290 from FULLVIEW_Left) may change, on any canvas row, and nothing around
// the canvas: it sits between guard rows.
TEST(BirdsEyeLines, ExtremeCarsAndAnglesStayOnTheCanvas) {
    constexpr int kGuard = 4 * kW;
    const int cars[][6] = {{2000, 1650, 1402, 2500, 3100, 1800},
                           {65535, 65535, 65535, 32767, 32767, 32767},
                           {0, 0, 0, 1, 0, 0},
                           {600, 1000, 200, -2000, 3000, 1},
                           {10000, 1000, 65535, 100, 100, 100}};
    Canvas buf(kGuard + kW * kH + kGuard);
    long long drawn = 0;
    for (const auto& c : cars) {
        for (int blank : {0, 65535}) {
            for (int left : {-300, 494, 790}) {
                use(c[0], c[1], c[2], c[3], c[4], c[5]);
                FRONTBLANK = BACKBLANK = std::uint16_t(blank);
                FULLVIEW_Left = left;
                for (short a : {-32768, -2509, -1, 0, 1, 7, 2509, 32767}) {
                    SCOPED_TRACE(::testing::Message() << "car " << c[0] << " blank " << blank << " left " << left
                                                      << " angle " << a);
                    std::fill(buf.begin(), buf.end(), kGround);
                    std::uint32_t* const p = buf.data() + kGuard;
                    draw_guiji_full(p, a, yuv()), draw_guiji_qx(p, a, yuv());
                    for (std::size_t i = 0; i < buf.size(); ++i) {
                        if (buf[i] == kGround) continue;
                        const long long at = static_cast<long long>(i) - kGuard, col = at % kW;
                        ASSERT_TRUE(at >= 0 && at < kW * kH) << "pixel " << at << " off the canvas";
                        ASSERT_TRUE(col >= left && col < left + 290) << "pixel " << at << ": column " << col;
                        ++drawn;
                    }
                }
            }
        }
    }
    EXPECT_GT(drawn, 0);  // some of them still draw
}

}  // namespace
