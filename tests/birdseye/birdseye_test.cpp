// The bird's-eye view and the side views, held against the synthetic scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"
#include "host/scene.h"
#include "vio/vio.h"

namespace {

namespace sc = host::scene;
using Px = std::array<double, 2>;  // (row, column) or ground (y, x)

// The default car (4600 x 1900, view range 1) by hand: 10370 mm over 456
// rows, 6700 mm over 290 columns, car band 89 columns from column 116.
constexpr int kCl = 116, kCr = 205, kFrontRow = 130, kRearRow = 322;
constexpr double kMmRow = 10370.0 / 456, kMmCol = 6700.0 / 290;
constexpr std::uint32_t kBlack = 0xFF000000u, kGreen = 0xFF00A600u;

Camera_param camera_of(int dir) {
    const sc::Lens& l = sc::camera(dir).lens;
    Camera_param c{{static_cast<std::int16_t>(l.center_y), static_cast<std::int16_t>(l.center_x), 580,
                    static_cast<std::int16_t>(l.radius), static_cast<std::int16_t>(l.dis), static_cast<std::int16_t>(l.xx), -1},
                   {}};
    const auto px = sc::mark_pixels(dir);
    for (int i = 0; i < 16; ++i) (&c.pos.y1)[i] = static_cast<std::int16_t>(std::lround(px[i / 2][i % 2]));
    return c;
}

Px source(std::uint32_t a, Y_bili w) { return {a / 1280 + (w.Y_bl + w.Y_br) / 255.0, a % 1280 + (w.Y_tr + w.Y_br) / 255.0}; }

// Each camera an entry samples, with its pixel.
std::vector<std::pair<int, Px>> sources(const Image_table& e) {
    static constexpr int kKind[6] = {0, 0, sc::kBack, sc::kLeft, sc::kFront, sc::kRight};
    static constexpr int kFirst[5] = {0, sc::kBack, sc::kBack, sc::kFront, sc::kFront};
    static constexpr int kSecond[5] = {0, sc::kLeft, sc::kRight, sc::kLeft, sc::kRight};
    const int kind = e.pic_num >> 4, corner = e.pic_num & 15;
    if (kind >= 2 && kind <= 5) return {{kKind[kind], source(e.Addr_Y, e.ybili)}};
    if (kind == 7 && corner >= 1 && corner <= 4)
        return {{kFirst[corner], source(e.Addr_Y, e.ybili)}, {kSecond[corner], source(e.Addr_Y2, e.ybili2)}};
    return {};
}

// The ground point (y, x) a camera pixel sees; NaN for the car's body.
Px ground_of(int dir, Px px) {
    const auto g = sc::pixel_to_ground(dir, px[0], px[1]);
    return g ? Px{(*g)[1], (*g)[0]} : Px{NAN, NAN};
}

class Views : public ::testing::Test {
protected:
    std::vector<Image_table> screen = std::vector<Image_table>(800 * 480), r = std::vector<Image_table>(458 * 480),
                             l = r, lr = std::vector<Image_table>(476 * 480), lr2 = lr;

    // Calibrated from the scene as the installer would: true lenses, whole-pixel marks.
    void SetUp() override {
        sc::configure(sc::Layout{});
        flash_param = flash_param_default;
        flash_param.car_num.length = 4600, flash_param.car_num.car_lev = 1900, flash_param.im_param.view_range = 1;
        flash_param.cf_param = camera_of(sc::kFront), flash_param.cb_param = camera_of(sc::kBack);
        flash_param.cl_param = camera_of(sc::kLeft), flash_param.cr_param = camera_of(sc::kRight);
        flash_param.flagf = flash_param.flagb = flash_param.flagl = flash_param.flagr = 1;
        la_xsf = la_xsb = La_xs{1.0, 1.0};
        get_car(&flash_param.car_num);
        set_zuobiao(flash_param);
        solve_cameras();
        FULLVIEW_Left = 16;
        tabler = r.data(), tablel = l.data(), tablelr = lr.data(), tablelr2 = lr2.data();
    }
    void TearDown() override { tabler = tablel = tablelr = tablelr2 = nullptr; }

    // The whole view in the main loop's order; returns what was printed.
    std::string build(bool clear = true) {
        if (clear) init_table(screen.data());
        ::testing::internal::CaptureStdout();
        mt_fleft(screen.data()), mt_fright(screen.data()), mt_ftop(screen.data()), mt_fbottom(screen.data());
        return ::testing::internal::GetCapturedStdout();
    }
    const Image_table& at(int row, int col) const { return screen[static_cast<std::size_t>(row * 800 + col)]; }
};

TEST_F(Views, EachMarkIsShownWhereItLiesOnTheGround) {
    const auto start = std::chrono::steady_clock::now();
    build();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("bird's-eye view with the side tables built in %.1f ms\n", ms);
    for (int dir : {sc::kFront, sc::kBack, sc::kLeft, sc::kRight})
        for (int i = 0; i < (dir == sc::kLeft || dir == sc::kRight ? 6 : 8); ++i) {
            const Px g = sc::mark_ground(dir)[i];
            const auto s = sources(at(12 + int(std::lround(g[0] / kMmRow)), 16 + int(std::lround(g[1] / kMmCol))));
            ASSERT_FALSE(s.empty()) << dir << " mark " << i + 1;
            for (const auto& [cam, px] : s) {
                EXPECT_NEAR(ground_of(cam, px)[0], g[0], 2 * kMmRow) << dir << " mark " << i + 1 << " via " << cam;
                EXPECT_NEAR(ground_of(cam, px)[1], g[1], 2 * kMmCol) << dir << " mark " << i + 1 << " via " << cam;
            }
        }
}

TEST_F(Views, GroundLinesStayStraightAcrossEverySeam) {
    build();
    const sc::Ground& G = sc::ground();
    // The scene's yellow lines beside the car run through front, side and back parts.
    for (double x : {G.LRVLEN - 1200.0, G.LRVLEN + G.W + 1200.0}) {
        int cams = 0;
        for (int row = 12; row <= 467; ++row)
            for (const auto& [cam, px] : sources(at(row, 16 + int(std::lround(x / kMmCol))))) {
                cams |= cam;
                EXPECT_NEAR(ground_of(cam, px)[1], x, 1.5 * kMmCol) << row << " via " << cam;
            }
        EXPECT_EQ(cams, sc::kFront | sc::kBack | (x < G.LRVLEN ? sc::kLeft : sc::kRight));
    }
}

TEST_F(Views, CornerBlendsJoinTheSameGroundAndFadeFromEndCameraToSideCamera) {
    build();
    int corners = 0;
    for (int row = 12; row <= 467; ++row) {
        for (int step : {-1, 1}) {
            // Outward from the car band: end camera, blend with a falling weight, side camera.
            int prev = 256;
            std::uint16_t before = 0;
            for (int col = step < 0 ? kCl - 1 : kCr; col >= 16 && col <= 305; before = at(row, col).pic_num, col += step) {
                const Image_table& e = at(row, col);
                if (e.pic_num >> 4 != 7) {
                    if (before >> 4 == 7) { EXPECT_TRUE(prev == 1 && (e.pic_num == 0x32 || e.pic_num == 0x52)) << row; }
                    continue;
                }
                if (prev == 256 && (before == 0x42 || before == 0x22)) { EXPECT_EQ(e.qz, 255) << row; }
                EXPECT_LE(e.qz, prev);
                prev = e.qz;
                const auto s = sources(e);
                const Px a = ground_of(s[0].first, s[0].second), b = ground_of(s[1].first, s[1].second);
                if (std::isnan(a[0] + b[0])) continue;  // the car's body hides the ground from one camera
                EXPECT_LT(std::hypot(a[0] - b[0], a[1] - b[1]), 2 * kMmCol) << row << "," << col;
                ++corners;
            }
        }
    }
    EXPECT_GT(corners, 4000);
}

TEST_F(Views, EachRegionShowsItsCameraAndBlindRowsOnlyTheCarsWidth) {
    flash_param.im_param.fblank = 6, flash_param.im_param.bblank = 4;
    build();
    const int rf = kFrontRow - 6, rb = kRearRow + 4;
    for (int row = 12; row <= 467; ++row)
        for (int col = 16; col <= 305; ++col) {
            const bool left = col < kCl, band = !left && col < kCr;
            const int d = left ? kCl - col : col - kCr;
            const std::uint16_t pic = at(row, col).pic_num;
            if (band)  // the car's own rows stay black for the car picture
                EXPECT_EQ(pic, row < kFrontRow ? 0x42 : row >= kRearRow ? 0x22 : 0) << row << "," << col;
            else if (row < rf && d <= 2 * (rf - row) + 36)
                EXPECT_TRUE(pic == 0x42 || pic == (left ? 0x73 : 0x74)) << row << "," << col;
            else if (row >= rb && d <= 2 * (row - rb) + 36)
                EXPECT_TRUE(pic == 0x22 || pic == (left ? 0x71 : 0x72)) << row << "," << col;
            else
                EXPECT_EQ(pic, left ? 0x32 : 0x52) << row << "," << col;
        }
}

TEST(LateralCorrection, StretchesOnlyBeyond1500mmWithTheEndCamerasFactors) {
    param_car.LL = 4370, param_car.W = 1900, FVLEN = 2700, LRVLEN = 2400;  // centre line 3350
    la_xsf = la_xsb = La_xs{1.0, 1.0};
    double xx;
    for (double x : {0.0, 1849.0, 6000.0}) EXPECT_EQ((tiaozheng(x, 500, &xx), xx), x);
    la_xsf = La_xs{2, 3}, la_xsb = La_xs{0.5, 0.25};
    EXPECT_EQ((tiaozheng(2000, 100, &xx), xx), 2000);
    // The back factors take over 1000 mm before the rear (y 6070), not at mid-car.
    for (const auto& c : {Px{1000, 6070}, Px{1000, 6071}, Px{6000, 6070}, Px{6000, 6071}}) {
        const bool back = c[1] > 6070, far_left = c[0] < 3350;
        const double f = far_left ? (back ? 0.5 : 2) : (back ? 0.25 : 3);
        EXPECT_DOUBLE_EQ((tiaozheng(c[0], c[1], &xx), xx), far_left ? 1850 - 850 * f : 4850 + 1150 * f);
    }
    la_xsf = la_xsb = La_xs{1.0, 1.0};
}

TEST_F(Views, TopDownSideViewsShowTheirGroundWindowAndNoScale) {
    flash_param.im_param.close_etc = 0;
    build();
    const sc::Ground& G = sc::ground();
    int checked = 0;
    for (int i = 0; i < 456; i += 25)
        for (int j = 0; j < 458; j += 25) {
            const Image_table& e = r[static_cast<std::size_t>(i * 458 + j)];
            const Px g = ground_of(sc::kRight, source(e.Addr_Y, e.ybili));
            if (e.pic_num != 0x16 || std::isnan(g[0])) continue;
            EXPECT_NEAR(g[0], G.FVLEN - 1300 + i * 3900 / 456, 20) << i << "," << j;
            EXPECT_NEAR(g[1], G.LRVLEN + G.W - 500 + j * 2500 / 458, 20) << i << "," << j;
            ++checked;
        }
    EXPECT_GT(checked, 150);
    for (const auto* t : {&r, &l})
        for (const Image_table& e : *t) ASSERT_NE(e.YUV_default, kGreen);
}

TEST_F(Views, PerspectiveSideViewsSampleTheMarksAndCarryScales) {
    flash_param.im_param.close_etc = 1;
    build();
    for (int dir : {sc::kRight, sc::kLeft}) {
        const bool right = dir == sc::kRight;
        const auto& t = right ? r : l;
        EXPECT_GT(std::count_if(t.begin(), t.begin() + 456 * 458, [](auto& e) { return e.YUV_default == kGreen; }), 100);
        // A lens centre shift that ran to its limit moved the lens copy one
        // step past its last solve, and the picture with it.
        const int lag = right ? (rsensor_param.center_x <= 589 ? -5 : 0) : (lsensor_param.center_x >= 691 ? 5 : 0);
        double m[9], x, y;
        ASSERT_EQ(b_jiefcz(right ? &zuobiao_rview : &zuobiao_lview, right ? &zzr : &zzl, m), 0);
        int seen = 0;
        for (int k = 0; k < 4; ++k) {
            b_bianhuan(sc::mark_ground(dir)[k][1], sc::mark_ground(dir)[k][0], &x, &y, m);
            if (x < 0 || x >= 458 || y < 0 || y >= 456) continue;
            const Image_table& e = t[static_cast<std::size_t>(int(y) * 458 + int(x))];
            ASSERT_EQ(e.pic_num, right ? 0x16 : 0x14);
            EXPECT_NEAR(e.Addr_Y / 1280, sc::mark_pixels(dir)[k][0], 3) << dir << " mark " << k + 1;
            EXPECT_NEAR(e.Addr_Y % 1280, sc::mark_pixels(dir)[k][1] + lag, 3) << dir << " mark " << k + 1;
            ++seen;
        }
        EXPECT_GE(seen, 1);
    }
    // Both two-side tables: each half its camera, black between them.
    for (const auto* t : {&lr, &lr2})
        for (int i = 0; i < 336 * 476; ++i) {
            const Image_table& e = (*t)[static_cast<std::size_t>(i)];
            const int c = i % 476;
            if (c >= 235 && c <= 240) { ASSERT_TRUE(e.pic_num == 0 && e.YUV_default == kBlack) << c; }
            if (e.pic_num) { ASSERT_EQ(e.pic_num, c < 235 ? 0x14 : 0x16) << c; }
        }
}

TEST_F(Views, CentreShiftEndsAndTriesACentreAtItsLimitOnce) {
    // One line per try, "...*******test" right and "...*******testl" left;
    // each try but the last moves the lens copy's centre 5 columns outward.
    auto tries = [](const std::string& out, const std::string& tag) {
        int n = 0;
        for (auto p = out.find(tag); p != std::string::npos; p = out.find(tag, p + 1)) ++n;
        return n;
    };
    std::string out = build();
    const int n = tries(out, "*******test\n"), shift = flash_param.cr_param.sensor.center_x - rsensor_param.center_x;
    EXPECT_TRUE(n >= 1 && (shift == 5 * (n - 1) || (shift == 5 * n && rsensor_param.center_x <= 589))) << n;
    const int nl = tries(out, "*******testl\n"), lshift = lsensor_param.center_x - flash_param.cl_param.sensor.center_x;
    EXPECT_TRUE(nl >= 1 && (lshift == 5 * (nl - 1) || (lshift == 5 * nl && lsensor_param.center_x >= 691))) << nl;
    flash_param.cr_param.sensor.center_x = 589, flash_param.cl_param.sensor.center_x = 691;
    out = build();
    EXPECT_EQ(tries(out, "*******test\n"), 1);
    EXPECT_EQ(tries(out, "*******testl\n"), 1);
}

TEST_F(Views, DamagedSettingsAndUnusableTransformsStayInsideTablesAndFrames) {
    struct Case {
        std::uint16_t fblank, bblank, length, width;
        bool broken;  // transforms without an image anywhere
    };
    constexpr std::uint32_t kLast = 1280 * 718 + 1278;  // its 2 x 2 block ends in the frame
    for (const Case c : {Case{65535, 0, 4600, 1900, false}, Case{0, 65535, 4600, 1900, false}, Case{300, 300, 65535, 1000, false},
                         Case{0, 0, 65535, 1000, false}, Case{0, 0, 4600, 65534, false}, Case{0, 0, 4600, 1900, true}}) {
        flash_param.im_param.fblank = c.fblank, flash_param.im_param.bblank = c.bblank;
        flash_param.car_num.length = c.length, flash_param.car_num.car_lev = c.width;
        get_car(&flash_param.car_num);
        set_zuobiao(flash_param);
        if (c.broken)
            for (int i = 0; i < 9; ++i) f_xishu[i] = NAN, l_xishu[i] = 0;
        for (auto* t : {&screen, &r, &l, &lr, &lr2})
            for (Image_table& e : *t) e = Image_table{0xEEEE, 0, 0, 0xFFFFFFFF, {}, 0xFFFFFFFF, {}};
        // The area starts cleared, as the main loop leaves it; nothing may turn the rest on.
        for (int row = 12; row <= 467; ++row)
            for (int col = 16; col <= 305; ++col) screen[static_cast<std::size_t>(row * 800 + col)].pic_num = 0;
        for (std::uint16_t close : {0, 1}) flash_param.im_param.close_etc = close, build(false);
        for (const auto* t : {&screen, &r, &l, &lr, &lr2}) {
            const int w = t == &screen ? 800 : t->size() == r.size() ? 458 : 476;
            for (std::size_t i = 0; i < t->size(); ++i) {
                const Image_table& e = (*t)[i];
                const int row = int(i) / w, col = int(i) % w, kind = e.pic_num >> 4;
                if (t == &screen && (row < 12 || row > 467 || col < 16 || col > 305)) {
                    ASSERT_EQ(e.pic_num, 0xEEEE) << row << "," << col;
                    continue;
                }
                if (kind >= 1 && kind <= 7) { ASSERT_LE(e.Addr_Y, kLast) << row << "," << col; }
                if (kind == 7) { ASSERT_TRUE(e.Addr_Y2 <= kLast && e.qz >= 1 && e.qz <= 255) << row << "," << col; }
                if (!c.broken || t != &screen || row >= kFrontRow) continue;
                // Without an image the front is dark, the left side black, and no front-left blend.
                if (kind == 4 || kind == 7) { ASSERT_EQ(e.Addr_Y, 6405u) << row << "," << col; }
                if (col < kCl) { ASSERT_TRUE(kind == 4 || e.YUV_default == kBlack) << row << "," << col; }
            }
        }
    }
}

}  // namespace
