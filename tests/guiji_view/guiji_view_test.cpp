// The guide lines over the front and back camera views, held against the
// synthetic scene's ground truth: where they lie on the ground, how they
// follow the steering, and that nothing lands outside the view.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "dsp/dsp_guiji.h"
#include "tests/guiji_view/composed_view.h"
#include "tests/scene_system.h"

namespace {
using host::scene::Layout;
using Canvas = std::vector<std::uint32_t>;
constexpr std::uint32_t kYellow = 0xFFF8E820u;
constexpr int kTop = 72, kBottom = 407, kPanelW = 476;

template <class F>
Canvas drawn(const SceneSystem& s, F f) {
    Canvas c = s.canvas;
    f(c.data(), s.yuv2rgb.data());
    return c;
}

void draw(bool back, std::uint32_t* p, short a, const std::uint32_t* t) {
    back ? draw_guiji_b_zurid(p, a, t) : draw_guiji_f(p, a, t);
}

// Ground point (truth) seen at a canvas position of the view, through the view's crop.
std::optional<std::array<double, 2>> ground_at(bool back, double row, double col) {
    const double r = row - kTop - 168, c = col - BVIEW_Left - 238;
    return back ? host::scene::pixel_to_ground(host::scene::kBack, r * b_bili_y + b_center_y, b_center_x - c * b_bili_x)
                : host::scene::pixel_to_ground(host::scene::kFront, r * f_bili_y + f_center_y, c * f_bili_x + f_center_x);
}

// Canvas (row, column) where the camera shows a ground point (truth).
std::optional<std::array<double, 2>> canvas_at(bool back, double gx, double gy) {
    const auto p = host::scene::ground_to_pixel(back ? host::scene::kBack : host::scene::kFront, gx, gy);
    if (!p) return std::nullopt;
    const double r = back ? ((*p)[0] - b_center_y) / b_bili_y : ((*p)[0] - f_center_y) / f_bili_y;
    const double c = back ? (b_center_x - (*p)[1]) / b_bili_x : ((*p)[1] - f_center_x) / f_bili_x;
    return std::array<double, 2>{r + 168 + kTop, c + 238 + BVIEW_Left};
}

// Whether a pixel within `reach` of (row, col), inside the view, passes `hit`.
template <class P>
bool near(double row, double col, int reach, P hit) {
    for (int r = static_cast<int>(row) - reach; r <= static_cast<int>(row) + reach; ++r)
        for (int c = static_cast<int>(col) - reach; c <= static_cast<int>(col) + reach; ++c)
            if (r >= kTop && r <= kBottom && c >= 0 && c < TABLE_W && hit(static_cast<std::size_t>(r * TABLE_W + c)))
                return true;
    return false;
}

// Yellow runs [first, last] a drawing added to a canvas row.
std::vector<std::array<int, 2>> runs(const Canvas& before, const Canvas& after, int row) {
    std::vector<std::array<int, 2>> out;
    for (int c = 0; c < TABLE_W; ++c) {
        const auto i = static_cast<std::size_t>(row * TABLE_W + c);
        if (after[i] != kYellow || before[i] == kYellow) continue;
        if (!out.empty() && out.back()[1] == c - 1) out.back()[1] = c;
        else out.push_back({c, c});
    }
    return out;
}

// Straight, the body-edge lines lie on the ground 180 mm outside the car's
// sides, from the blind zone to 3 m from the bumper: every row between their
// ends holds a run whose ground span covers the line.
TEST(BodyEdgeLines, StraightOnGroundLines180mmOutsideTheCar) {
    for (const bool back : {true, false}) {
        SceneSystem& s = view(back ? 4 : 0);
        const Canvas after = drawn(s, [&](auto* p, auto* t) { draw(back, p, 0, t); });
        const auto& g = host::scene::ground();
        const double near_y = back ? g.Z + 150 : g.FVLEN - 150, far_y = back ? g.Z + 3000 : g.FVLEN - 3000;
        for (const double x : {g.LRVLEN - 180.0, g.LRVLEN + g.W + 180.0}) {
            const int first = static_cast<int>((*canvas_at(back, x, far_y))[0]) + 3;
            const int last = std::min(static_cast<int>((*canvas_at(back, x, near_y))[0]) - 3, kBottom);
            ASSERT_GT(last - first, 80);
            for (int row = first; row <= last; ++row) {
                bool on = false;
                for (const auto& [c0, c1] : runs(s.canvas, after, row)) {
                    const auto a = ground_at(back, row, c0), b = ground_at(back, row, c1 + 1);
                    on = on || (a && b && std::min((*a)[0], (*b)[0]) - 25 <= x && x <= std::max((*a)[0], (*b)[0]) + 25);
                }
                EXPECT_TRUE(on) << (back ? "back" : "front") << " line at x " << x << " missing on row " << row;
            }
        }
    }
}

// A short car at full lock: the right line keeps to its circle about the
// turning centre (L cot(angle) right of the centre line, on the rear axle)
// and stops where the circle turns back, not beyond.
TEST(BodyEdgeLines, ShortCarAtFullLockStaysOnItsCircle) {
    SceneSystem& s = view(4, Layout{3000, 1650, 1});
    const Canvas after = drawn(s, [&](auto* p, auto*) { draw_guiji_br(p, 2509); });
    const double R = param_car.L / std::tan(2509 / 4096.0), cx = LRVLEN + param_car.W / 2.0;
    const double axle = FVLEN + param_car.LL - 550.0 - param_car.S;
    const double radius = std::hypot(R - (param_car.W + 360) / 2, param_car.S);
    int rows = 0;
    for (int row = kTop + 1; row <= kBottom; ++row) {
        const auto rr = runs(s.canvas, after, row);
        const auto p = rr.empty() ? std::nullopt : ground_at(true, row, rr.back()[1] + 0.5);
        if (!p) continue;
        ++rows;
        EXPECT_NEAR(std::hypot((*p)[0] - (cx + R), (*p)[1] - axle), radius, 80) << "row " << row;
        EXPECT_LT((*p)[1], axle + radius + 80) << "row " << row;
    }
    EXPECT_GT(rows, 40);
}

// The full-lock curves are the body-edge paths at 2200/4096 rad on their own
// side: positive angles turn about a centre on the car's right, so the right
// curve is the right line at +2200, bending away to the right.
TEST(FullLockCurves, AreEachSidesPathAtFullLockTowardsThatSide) {
    SceneSystem& s = view(4);
    const auto* t = s.yuv2rgb.data();
    auto only = [](auto f) {
        Canvas c(TABLE_W * TABLE_H, 0);
        f(c.data());
        return c;
    };
    const Canvas full = only([&](auto* p) { draw_guiji_b_zurid(p, 0, t); });
    const Canvas base = only([&](auto* p) {
        draw_guiji_bl(p, 0);
        draw_guiji_br(p, 0);
        draw_guiji_bl_zurid(p, 0, t);
        draw_guiji_br_zurid(p, 0, t);
        draw_guiji_bc(p);
    });
    const Canvas right = only([](auto* p) { draw_guiji_br(p, 2200); }), left = only([](auto* p) { draw_guiji_bl(p, -2200); });
    const Canvas wrong = only([](auto* p) {
        draw_guiji_br(p, -2200);
        draw_guiji_bl(p, 2200);
    });
    int curve = 0, matched = 0, mismatched = 0, far_row = TABLE_H, far_col = 0;
    for (int r = kTop; r <= kBottom; ++r)
        for (int c = BVIEW_Left; c < BVIEW_Left + kPanelW; ++c) {
            if (full[r * TABLE_W + c] != kYellow || base[r * TABLE_W + c] == kYellow) continue;
            const bool on_right = c >= BVIEW_Left + 238;
            const Canvas& own = on_right ? right : left;
            ++curve;
            matched += near(r, c, 1, [&](std::size_t i) { return own[i] == kYellow; });
            mismatched += near(r, c, 1, [&](std::size_t i) { return wrong[i] == kYellow; });
            if (on_right && r < far_row) far_row = r, far_col = c;
        }
    ASSERT_GT(curve, 100);
    EXPECT_GE(matched, curve * 97 / 100);
    EXPECT_LT(mismatched, curve / 10);
    const auto far = ground_at(true, far_row, far_col);
    ASSERT_TRUE(far);
    EXPECT_GT((*far)[0], host::scene::ground().LRVLEN + host::scene::ground().W + 180 + 300);
}

// Steering the other way mirrors the ground paths about the centre line:
// what is drawn at +a has a counterpart at -a where the camera sees the
// mirrored ground point. The front bands follow different circles on the two
// sides, so there only the yellow lines mirror.
TEST(Steering, OppositeAnglesMirrorTheGroundPaths) {
    const std::pair<bool, int> cases[] = {{true, 1200}, {true, 2509}, {false, 1500}};
    for (const auto& [back, a] : cases) {
        SceneSystem& s = view(back ? 4 : 0);
        const Canvas plus = drawn(s, [&](auto* p, auto* t) { draw(back, p, static_cast<short>(a), t); });
        const Canvas minus = drawn(s, [&](auto* p, auto* t) { draw(back, p, static_cast<short>(-a), t); });
        const double mirror = 2.0 * host::scene::ground().LRVLEN + host::scene::ground().W;
        auto counts = [&](const Canvas& c, std::size_t i) { return back ? c[i] != s.canvas[i] : c[i] == kYellow; };
        int total = 0, found = 0;
        for (int r = kTop; r <= kBottom; ++r)
            for (int c = BVIEW_Left; c < BVIEW_Left + kPanelW; ++c) {
                if (!counts(plus, static_cast<std::size_t>(r * TABLE_W + c))) continue;
                const auto g = ground_at(back, r, c + 0.5);
                const auto m = g ? canvas_at(back, mirror - (*g)[0], (*g)[1]) : std::nullopt;
                if (!m || (*m)[1] < BVIEW_Left + 2 || (*m)[1] > BVIEW_Left + kPanelW - 3) continue;
                ++total;
                found += near((*m)[0], (*m)[1], 2, [&](std::size_t i) { return counts(minus, i); });
            }
        ASSERT_GT(total, 500);
        EXPECT_GE(found, total * 97 / 100) << (back ? "back " : "front ") << a;
    }
}

// With no blind zone the back band reaches the view's last filled stripe
// rows, but the confirm bar below the view is left alone.
TEST(Bands, StopAboveTheConfirmBar) {
    SceneSystem& s = view(4);
    BACKBLANK = 0;
    const Canvas after = drawn(s, [](auto* p, auto* t) { draw_guiji_b_zurid(p, 0, t); });
    int last_tinted = 0, below = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const int r = static_cast<int>(i / TABLE_W);
        if (after[i] == s.canvas[i]) continue;
        below += r > kBottom;
        if (after[i] != kYellow) last_tinted = r;
    }
    EXPECT_EQ(last_tinted, kTop + 333);  // rows 334 and 335 are a gap of the stripes
    EXPECT_EQ(below, 0);
}

// Absurd cars and angles, both panel positions, huge blind zones: nothing is
// written outside the view (ASan checks the canvas bounds too).
TEST(Clipping, ExtremeCarsAndAnglesStayInsideTheView) {
    SceneSystem& s = view(4);
    const std::uint16_t cars[][2] = {{65535, 1000}, {65535, 65534}, {100, 1000}, {4600, 65534}, {3000, 1000}};
    for (const int left : {308, 16})
        for (const auto& [length, width] : cars)
            for (const std::uint16_t blank : {150, 0, 65535})
                for (const short a : {-32768, -32767, -2509, -1, 0, 1, 999, 2509, 32767}) {
                    BVIEW_Left = left;
                    FRONTBLANK = BACKBLANK = blank;
                    flash_param.car_num.length = length;
                    flash_param.car_num.car_lev = width;
                    get_car(&flash_param.car_num);
                    set_zuobiao(flash_param);
                    Canvas c(TABLE_W * TABLE_H, 0x12345678u);
                    draw_guiji_b_zurid(c.data(), a, s.yuv2rgb.data());
                    draw_guiji_f(c.data(), a, s.yuv2rgb.data());
                    draw_guiji_bl2(c.data(), a);
                    draw_guiji_br2(c.data(), a);
                    int outside = 0;
                    for (std::size_t i = 0; i < c.size(); ++i) {
                        const int r = static_cast<int>(i / TABLE_W), k = static_cast<int>(i % TABLE_W);
                        outside += c[i] != 0x12345678u && (r < kTop || r > kBottom || k < left || k >= left + kPanelW);
                    }
                    EXPECT_EQ(outside, 0) << length << "x" << width << " blank " << blank << " angle " << a;
                }
}

// A crop without scale gives no finite view positions: nothing is drawn.
TEST(Clipping, NonFiniteProjectionsDrawNothing) {
    SceneSystem& s = view(4);
    b_bili_x = 0;
    f_bili_y = 0;
    const Canvas c = drawn(s, [](auto* p, auto* t) {
        draw_guiji_b_zurid(p, 1200, t);
        draw_guiji_f(p, -700, t);
    });
    EXPECT_TRUE(c == s.canvas);
}

// Drawn every pass, so it should be a small share of a frame.
TEST(Cost, PerCall) {
    for (const bool back : {true, false}) {
        SceneSystem& s = view(back ? 4 : 0);
        Canvas c = s.canvas;
        constexpr int kCalls = 300;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) draw(back, c.data(), static_cast<short>(i * 16 - 2400), s.yuv2rgb.data());
        const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%s: %.1f us per call\n", back ? "draw_guiji_b_zurid" : "draw_guiji_f", us / kCalls);
        EXPECT_LT(us / kCalls, 20000.0);
    }
}

}  // namespace
