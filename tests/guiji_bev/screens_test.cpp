// On the calibrated scene: bird's-eye guide lines and sensor arcs compared
// with reference pictures a person has looked at (tests/ref/; a missing one
// is written when SCREENS_WRITE_REFS is set), the cost of one call, and the
// distance scale marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "dsp/dsp_guiji.h"
#include "host/board.h"
#include "tests/guiji_bev/panel.h"
#include "tests/scene_system.h"
#include "tests/screen_compare.h"

namespace {
namespace fs = std::filesystem;


struct Screen : ::testing::Test {
    static SceneSystem* sys;
    static void SetUpTestSuite() { sys = new SceneSystem; }
    static void TearDownTestSuite() {
        delete sys;
        sys = nullptr;
    }
    // Blind zones as the main loop sets them from the settings.
    void SetUp() override { set_blind_zones(flash_param.im_param.fblank, flash_param.im_param.bblank); }
    // The bird's-eye view beside the camera view `mode`, freshly composed.
    void compose(int mode) {
        MT_image(mode, sys->t0.data(), sys->yuv2rgb.data());
        sys->compose(sys->t0.data());
    }
};
SceneSystem* Screen::sys = nullptr;

TEST_F(Screen, ReversingLines) {
    const std::pair<const char*, short> angles[] = {
        {"bev-full-m2509", -2509}, {"bev-full-m1200", -1200}, {"bev-full-0", 0},
        {"bev-full-p1200", 1200},  {"bev-full-p2509", 2509},
    };
    for (const auto& [name, angle] : angles) {
        compose(4);
        draw_guiji_full(sys->canvas.data(), angle, sys->yuv2rgb.data());
        expect_like_reference(name, sys->canvas);
    }
}

TEST_F(Screen, ForwardLines) {
    compose(0);
    draw_guiji_qx(sys->canvas.data(), 1200, sys->yuv2rgb.data());
    expect_like_reference("bev-qx-p1200", sys->canvas);
}

TEST_F(Screen, SensorArcs) {
    struct Arcs {
        const char* name;
        std::uint8_t mode, f[4], b[4], flag;
    };
    const Arcs arcs[] = {
        {"radar-continuous-reverse", 0, {30, 80, 150, 199}, {40, 100, 200, 247}, 4},
        {"radar-continuous-forward", 0, {50, 100, 150, 199}, {40, 100, 200, 247}, 0},
        {"radar-classes-reverse", 1, {30, 55, 100, 150}, {20, 55, 60, 120}, 4},
        {"radar-classes-forward", 1, {20, 55, 61, 150}, {20, 55, 60, 120}, 0},
    };
    for (const Arcs& a : arcs) {
        compose(4);
        count_radar = 0;
        draw_radar(sys->canvas.data(), a.mode, a.f[0], a.f[1], a.f[2], a.f[3], a.b[0], a.b[1], a.b[2], a.b[3], a.flag);
        expect_like_reference(a.name, sys->canvas);
    }
}

// Drawn every pass: report what one call costs.
TEST_F(Screen, CostPerCall) {
    compose(4);
    auto per_call_us = [](auto&& call) {
        constexpr int kCalls = 2000;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) call();
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / kCalls;
    };
    std::uint32_t* cv = sys->canvas.data();
    const std::uint32_t* yuv = sys->yuv2rgb.data();
    const double full = per_call_us([&] { draw_guiji_full(cv, 2509, yuv); });
    const double qx = per_call_us([&] { draw_guiji_qx(cv, 1200, yuv); });
    const double radar = per_call_us([&] {
        count_radar = 0;
        draw_radar(cv, 0, 30, 80, 150, 199, 40, 100, 200, 247, 4);
    });
    std::printf("per call: draw_guiji_full %.1f us, draw_guiji_qx %.1f us, draw_radar %.1f us\n", full, qx, radar);
    // A pass of the main loop lasts tens of milliseconds.
    EXPECT_LT(full + qx + radar, 5000.0);
}

// ---- scale marks

constexpr std::uint32_t kGreen = 0xFF00A600u;

// Entries of `colour` as (row, column) of the view at (top, left).
std::vector<std::array<int, 2>> marks(const std::vector<Image_table>& t, std::uint32_t colour, int top, int left) {
    std::vector<std::array<int, 2>> out;
    for (int i = 0; i < TABLE_W * TABLE_H; ++i) {
        if (t[i].pic_num == 0 && t[i].YUV_default == colour) out.push_back({i / TABLE_W - top, i % TABLE_W - left});
    }
    return out;
}

// Puts the camera pixel of the car's front corner, 250 mm out and 50 mm
// ahead, at the centre of a side view.
void centre_on_corner(bool right) {
    double xx, yy, py, px;
    b_bianhuan(right ? LRVLEN + param_car.W + 250 : LRVLEN - 250, FVLEN - 50, &xx, &yy, right ? r_xishu : l_xishu);
    a_huanyuan(yy, xx, &py, &px, right ? flash_param.cr_param.sensor : flash_param.cl_param.sensor);
    (right ? r_center_y : l_center_y) = int(std::lround(py));
    (right ? r_center_x : l_center_x) = int(std::lround(px));
}

TEST_F(Screen, SideMarksSplitAtTheFrontCorner) {
    for (bool right : {true, false}) {
        centre_on_corner(right);
        for (bool across : {true, false}) {
            SCOPED_TRACE(std::string(right ? "right" : "left") + (across ? " across" : " along"));
            std::vector<Image_table> t(TABLE_W * TABLE_H, Image_table{0x12, 0, 0, 0, {}, 0, {}});
            (right ? (across ? draw_biaochi1_r2 : draw_biaochi0_r2)
                   : (across ? draw_biaochi1_l2 : draw_biaochi0_l2))(t.data());
            const auto solid = marks(t, kYellow, 12, RVIEW_Left), dashed = marks(t, kGreen, 12, RVIEW_Left);
            ASSERT_FALSE(solid.empty() || dashed.empty());
            // The corner lands within a pixel of column 229, row 228. Across:
            // solid on the car's side of it, dashed beyond; along: solid from it
            // back, dashed ahead; dashes 4 long.
            const int at = across ? 1 : 0;  // the walk's coordinate
            auto solid_side = [&](int v) { return across ? (right ? v <= 229 : v >= 228) : v >= 227; };
            auto dash_side = [&](int v) { return across ? (right ? v >= 229 : v <= 228) : v <= 227; };
            for (auto e : solid) EXPECT_TRUE(solid_side(e[at])) << e[at];
            for (auto e : dashed) EXPECT_TRUE(dash_side(e[at]) && (e[at] & 4)) << e[at];
            // 4 entries thick at each step.
            for (const auto& set : {solid, dashed}) {
                for (auto e : set)
                    EXPECT_EQ(std::count_if(set.begin(), set.end(), [&](auto o) { return o[at] == e[at]; }), 4);
            }
        }
    }
}

TEST_F(Screen, FrontMarksAreThreeSegmentsOrderedByDistance) {
    compose(0);  // the front view's crop and scale
    for (bool right : {true, false}) {
        std::vector<Image_table> t(TABLE_W * TABLE_H, Image_table{0x12, 0, 0, 0, {}, 0, {}});
        (right ? draw_biaochi_fr : draw_biaochi_fl)(t.data());
        const short* pos = right ? pos_r : pos_l;
        for (int i = 1; i < 12; ++i) EXPECT_LT(pos[i], pos[i - 1]);  // farther is higher up
        const auto green = marks(t, kGreen, 72, BVIEW_Left);
        int in[3] = {};
        for (auto [r, c] : green) {
            EXPECT_TRUE(right ? c > 238 : c < 238) << c;
            // 0.15..1 m, 1.3..2 m and 2.3..3 m ahead; nothing in the gaps.
            const int band = r <= pos[0] && r >= pos[3]    ? 0
                             : r <= pos[4] && r >= pos[7]  ? 1
                             : r <= pos[8] && r >= pos[11] ? 2
                                                           : -1;
            ASSERT_GE(band, 0) << r;
            ++in[band];
        }
        EXPECT_TRUE(in[0] && in[1] && in[2]);
    }
}

// Odd car layouts, and the scene's car with the views' crops moved so that
// the marks run over the views' edges: a mark may only turn entries of its
// own view into its colours (side views 458 x 456 from row 12, the front view
// 476 x 336 from row 72), and nothing around the table changes: it sits
// between guard entries and every entry starts as a sentinel.
TEST_F(Screen, MarksOfOddLayoutsStayInTheTable) {
    compose(0);  // the front view's crop and scale
    centre_on_corner(true), centre_on_corner(false);
    const Param_car car = param_car;
    const std::int16_t fv = FVLEN, bv = BVLEN, lr = LRVLEN;
    const std::uint16_t fb = FRONTBLANK;
    const int centres[6] = {r_center_x, r_center_y, l_center_x, l_center_y, f_center_x, f_center_y};
    constexpr int kGuard = 2 * TABLE_W;
    const Image_table sentinel{0x5A, 0x1234, 0x12345678, 0x9876543, {1, 2, 3, 4}, 0x13579, {5, 6, 7, 8}};
    std::vector<Image_table> buf(kGuard + TABLE_W * TABLE_H + kGuard);
    auto same = [](const Image_table& a, const Image_table& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    struct Mark {
        void (*draw)(Image_table*);
        int top, rows, left, cols;
    };
    const Mark kMarks[] = {{draw_biaochi1_r2, 12, 456, RVIEW_Left, 458}, {draw_biaochi0_r2, 12, 456, RVIEW_Left, 458},
                           {draw_biaochi1_l2, 12, 456, RVIEW_Left, 458}, {draw_biaochi0_l2, 12, 456, RVIEW_Left, 458},
                           {draw_biaochi_fr, 72, 336, BVIEW_Left, 476},  {draw_biaochi_fl, 72, 336, BVIEW_Left, 476}};
    struct Case {
        int len, view;  // len -1: the scene's car
        int dx, dy;     // camera pixels the views' centres move by
    };
    std::vector<Case> cases;
    for (int d : {0, 150, -150, 300, -300}) cases.push_back({-1, 0, d, 0}), cases.push_back({-1, 0, 0, d});
    for (int len : {0, 1, 65535})
        for (int view : {-32768, 0, 1, 32767}) cases.push_back({len, view, 0, 0});
    long long scene_drawn = 0;
    for (const Case& k : cases) {
        if (k.len >= 0) {
            param_car = {0, std::uint16_t(k.len), std::uint16_t(k.len), 0, 0, 0};
            FVLEN = BVLEN = LRVLEN = std::int16_t(k.view);
            FRONTBLANK = std::uint16_t(k.len);
        }
        r_center_x = centres[0] + k.dx, r_center_y = centres[1] + k.dy;
        l_center_x = centres[2] + k.dx, l_center_y = centres[3] + k.dy;
        f_center_x = centres[4] + k.dx, f_center_y = centres[5] + k.dy;
        for (int m = 0; m < 6; ++m) {
            SCOPED_TRACE(::testing::Message() << "length " << k.len << " view " << k.view << " centre moved " << k.dx
                                              << "," << k.dy << " mark " << m);
            const Mark& mark = kMarks[m];
            std::fill(buf.begin(), buf.end(), sentinel);
            mark.draw(buf.data() + kGuard);
            for (std::size_t i = 0; i < buf.size(); ++i) {
                if (same(buf[i], sentinel)) continue;
                const long long at = static_cast<long long>(i) - kGuard, r = at / TABLE_W, c = at % TABLE_W;
                ASSERT_TRUE(at >= 0 && at < TABLE_W * TABLE_H) << "entry " << at << " off the table";
                ASSERT_TRUE(r >= mark.top && r < mark.top + mark.rows && c >= mark.left && c < mark.left + mark.cols)
                    << "row " << r << " column " << c;
                Image_table want = sentinel;
                want.pic_num = 0;
                want.YUV_default = buf[i].YUV_default;
                ASSERT_TRUE(same(buf[i], want)) << "row " << r << " column " << c;
                ASSERT_TRUE(want.YUV_default == kYellow || want.YUV_default == kGreen) << "row " << r;
                if (k.len == -1) ++scene_drawn;
            }
        }
    }
    param_car = car, FVLEN = fv, BVLEN = bv, LRVLEN = lr, FRONTBLANK = fb;
    r_center_x = centres[0], r_center_y = centres[1], l_center_x = centres[2], l_center_y = centres[3];
    f_center_x = centres[4], f_center_y = centres[5];
    EXPECT_GT(scene_drawn, 0);
}

}  // namespace
