// The panel views: front and back crops in fixed point, orientation against
// the synthetic scene, view selection, the raw screen, hostile settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"
#include "host/scene.h"
#include "vio/vio.h"

namespace {

// Entries that name their own index, so copies and untouched entries show where they came from.
std::vector<Image_table> numbered(int n, std::uint16_t pic) {
    std::vector<Image_table> v(n);
    for (int i = 0; i < n; ++i) v[i] = Image_table{pic, 0, 0xCAFE, static_cast<std::uint32_t>(i), {}, 0, {}};
    return v;
}
const std::uint32_t* yuv_table() {
    static const std::vector<std::uint32_t> v(1u << 22, 0xFF808080u);
    return v.data();
}
Sensor_param lens(int cy, int cx, int radius = 500, int dis = 100, int xx = 1000) {
    return {static_cast<std::int16_t>(cy), static_cast<std::int16_t>(cx), 580, static_cast<std::int16_t>(radius),
            static_cast<std::int16_t>(dis), static_cast<std::int16_t>(xx), -1};
}

class Views : public ::testing::Test {
protected:
    std::vector<Image_table> t = numbered(TABLE_W * TABLE_H, 0x55);
    std::vector<Image_table> r = numbered(458 * 480, 0x16), l = numbered(458 * 480, 0x14);
    std::vector<Image_table> lr = numbered(476 * 480, 0x61), lr2 = numbered(476 * 480, 0x62);
    Image_table& e(int row, int col) { return t[row * TABLE_W + col]; }
    Image_table& v(int row, int view_col) { return e(row, BVIEW_Left + view_col); }

    void SetUp() override {
        flash_param = flash_param_default;
        flash_param.im_param.fv_top = flash_param.im_param.fv_bottom = 0;
        flash_param.im_param.bv_top = flash_param.im_param.bv_bottom = 0;
        param_car.LL = 4370;
        param_car.W = 1900;
        FVLEN = 2700, BVLEN = 3300, LRVLEN = 2400;
        BVIEW_Left = 308, RVIEW_Left = 326, BACKBLANK = 150;
        tabler = r.data(), tablel = l.data(), tablelr = lr.data(), tablelr2 = lr2.data();
        point_lens(360, 640);
    }
    // Every ground point is seen at (cy, cx).
    static void point_lens(int cy, int cx) {
        const double collapse[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
        std::copy(collapse, collapse + 9, f_xishu);
        std::copy(collapse, collapse + 9, b_xishu);
        flash_param.cf_param.sensor = flash_param.cb_param.sensor = lens(cy, cx);
    }
    void expect(int row, int view_col, std::uint16_t pic, std::uint32_t addr, std::array<int, 4> w) {
        const Image_table& x = v(row, view_col);
        EXPECT_EQ(x.pic_num, pic) << row;
        EXPECT_EQ(x.Addr_Y, addr) << row;
        EXPECT_EQ((std::array<int, 4>{x.ybili.Y_tl, x.ybili.Y_tr, x.ybili.Y_bl, x.ybili.Y_br}), w) << row;
    }
};

TEST_F(Views, FrontSamplesItsCropInFixedPoint) {
    mt_front(t.data());
    EXPECT_EQ(f_center_x, 640);
    EXPECT_EQ(f_center_y, 270);
    EXPECT_DOUBLE_EQ(f_bili_y, 537 / 336.0);
    // y = 270 x 256 + (i - 168) x 409, x = 640 x 256 + (j - 238) x 486.
    expect(72, 0, 0x12, 1 * 1280 + 188, {87, 17, 125, 26});         // fx 44, fy 152
    expect(240, 238, 0x12, 270 * 1280 + 640, {255, 0, 0, 0});
    expect(407, 475, 0x12, 536 * 1280 + 1089, {6, 44, 13, 192});   // fx 238, fy 207
    EXPECT_EQ(v(71, 0).pic_num, 0x55);
    EXPECT_EQ(v(408, 0).pic_num, 0x55);

    flash_param.im_param.fv_top = 10;  // centre 531 / 2 = 265, step trunc(507 / 336 x 256) = 386
    flash_param.im_param.fv_bottom = -20;
    point_lens(360, 100);              // x > 0 from j = 186 on
    mt_front(t.data());
    expect(72, 238, 0x12, 11 * 1280 + 100, {80, 0, 175, 0});       // y 2992: row 11, fy 176
    EXPECT_EQ(v(200, 185).pic_num, 0);
    EXPECT_EQ(v(200, 185).YUV_default, 0xCAFEu);  // off the frame: colour kept
    EXPECT_EQ(v(200, 186).pic_num, 0x12);

    mt_front2(t.data());  // y = 359 x 256 + (i - 228) x 435 inside the frame for i = 17..439
    EXPECT_EQ(top_base, 2);
    EXPECT_EQ(bottom_base, 539);
    EXPECT_EQ(v(12 + 16, 238).pic_num, 0);
    expect(12 + 17, 238, 0x12, 100, {137, 0, 118, 0});
    expect(12 + 439, 238, 0x12, 717 * 1280 + 100, {119, 0, 136, 0});
    EXPECT_EQ(v(12 + 440, 238).pic_num, 0);
}

TEST_F(Views, BackIsMirroredWithItsScaleFloorAndRowLimits) {
    mt_back(t.data());  // the car spans no columns: scale 1.8, step 460; rows 360 -+ 302.4
    EXPECT_DOUBLE_EQ(b_bili_x, 1.8);
    EXPECT_EQ(b_center_y, (662 + 57) / 2);
    EXPECT_DOUBLE_EQ(b_bili_y, 605 / 336.0);
    expect(240, 0, 0x10, 359 * 1280 + 1067, {88, 167, 0, 0});  // the view's left shows the frame's right
    expect(240, 475, 0x10, 359 * 1280 + 214, {220, 35, 0, 0});

    flash_param.im_param.bv_top = -20;  // (30 - 20 + 719) / 2 = 364, step trunc(655 / 336 x 256) = 499
    flash_param.im_param.bv_bottom = 30;
    mt_back(t.data());
    expect(72, 238, 0x10, 36 * 1280 + 640, {120, 0, 135, 0});    // y 9352: row 36, fy 136

    point_lens(100, 640);  // -202.4 lifted to 2
    mt_back2(t.data());
    EXPECT_EQ(top_base, 2);
    EXPECT_EQ(bottom_base, 402);
    point_lens(650, 640);  // 952.4 lowered to 718
    mt_back2(t.data());
    EXPECT_EQ(top_base, 347);
    EXPECT_EQ(bottom_base, 718);
    EXPECT_EQ(v(240, 238).pic_num, 0x11);
}

TEST_F(Views, TheCarsLeftIsOnTheViewsLeftInTheScene) {
    using namespace host::scene;
    configure(host::scene::Layout{});
    const Ground& g = ground();
    param_car.LL = static_cast<std::uint16_t>(g.LL), param_car.W = static_cast<std::uint16_t>(g.W);
    FVLEN = static_cast<std::int16_t>(g.FVLEN), BVLEN = static_cast<std::int16_t>(g.BVLEN);
    LRVLEN = static_cast<std::int16_t>(g.LRVLEN);
    for (int dir : {kFront, kBack}) {
        const Camera& cam = host::scene::camera(dir);
        const auto& h = cam.ground_to_undistorted;
        std::copy(h.begin(), h.end(), dir == kFront ? f_xishu : b_xishu);
        (dir == kFront ? flash_param.cf_param : flash_param.cb_param).sensor =
            lens(cam.lens.center_y, cam.lens.center_x, cam.lens.radius, cam.lens.dis, cam.lens.xx);
    }
    // Looking backwards, the camera has the car's left on its right.
    const double rear = g.FVLEN + g.LL + BACKBLANK;
    const auto left = ground_to_pixel(kBack, g.LRVLEN - 500, rear + 1500);
    const auto xl = ground_to_pixel(kBack, g.LRVLEN, rear), xr = ground_to_pixel(kBack, g.LRVLEN + g.W, rear);
    ASSERT_TRUE(left && xl && xr);
    EXPECT_GT((*left)[1], 640);
    for (int dir : {kFront, kBack}) {
        (dir == kFront ? mt_front : mt_back)(t.data());
        int seen = 0;
        for (int row = 72; row < 408; row += 24)
            for (int j = 20; j < 476; j += 40) {
                if ((j > 200 && j < 276) || v(row, j).pic_num == 0) continue;
                const auto gp = pixel_to_ground(dir, v(row, j).Addr_Y / 1280, v(row, j).Addr_Y % 1280);
                if (!gp) continue;
                ++seen;
                EXPECT_EQ((*gp)[0] < g.Xc, j < 238) << dir << " row " << row << " column " << j;
            }
        EXPECT_GT(seen, 40) << dir;
    }
    EXPECT_NEAR(b_bili_x, std::max(1.8, ((*xl)[1] - (*xr)[1]) * 4 / 3 / 476), 1e-6);
}

TEST_F(Views, ModesFillThePanelAndSetTheDirection) {
    const auto before = t;
    work_dir = 77;
    for (int dir : {3, 7, 9, 10, 11, 13, -1}) MT_image(dir, t.data(), yuv_table());
    EXPECT_EQ(work_dir, 77);
    EXPECT_EQ(std::memcmp(t.data(), before.data(), t.size() * sizeof(Image_table)), 0);

    // Mode, style bit, what lands where (row, column, width, height), work_dir.
    for (auto [dir, style, pic, top, left, w, h, wd] :
         {std::tuple{1, 0, 0x16, 12, 326, 458, 456, 4}, {5, 0, 0x16, 12, 326, 458, 456, 4},
          {2, 0, 0x14, 12, 326, 458, 456, 2}, {6, 0, 0x14, 12, 326, 458, 456, 2}, {8, 1, 0x61, 72, 308, 476, 336, 4},
          {8, 0, 0x62, 72, 308, 476, 336, 4}, {12, 1, 0x62, 72, 308, 476, 336, 4}, {0, 0, 0x12, 72, 308, 476, 336, 8},
          {4, 0, 0x10, 72, 308, 476, 336, 1}}) {
        t = numbered(TABLE_W * TABLE_H, 0x55);
        flash_param.im_param.close_etc = static_cast<std::uint16_t>(style);
        MT_image(dir, t.data(), yuv_table());
        EXPECT_EQ(work_dir, wd) << dir;
        for (int row = 0; row < TABLE_H; ++row) {
            for (int c : {307, 784}) ASSERT_EQ(e(row, c).pic_num, 0x55) << dir;
            for (int c = 308; c < 784; ++c) {
                const int i = row - top, j = c - left;
                const bool inside = i >= 0 && i < h && j >= 0 && j < w;
                ASSERT_EQ(e(row, c).pic_num, inside ? pic : 0) << dir << ": " << row << "," << c;  // black or icons
                if (inside && pic != 0x12 && pic != 0x10) {
                    ASSERT_EQ(e(row, c).Addr_Y, static_cast<std::uint32_t>(i * w + j));
                }
            }
        }
    }
}

TEST_F(Views, RawViewScalesTheFrameOntoTheScreen) {
    for (auto [dir, pic] : {std::pair{1, 0x10}, {2, 0x14}, {4, 0x16}, {3, 0}, {8, 0x12}}) {
        mt_yuantu(t.data(), dir);
        EXPECT_EQ(e(100, 400).pic_num, pic);
    }
    // Row 100 x 719 / 575 = 125.04, column 400 x 1279 / 799 = 640.30; then 598.96, 1277.40.
    expect(100, 400 - BVIEW_Left, 0x12, 125 * 1280 + 640, {172, 73, 7, 3});
    EXPECT_EQ(e(479, 798).Addr_Y, 598u * 1280 + 1277);
    for (int row = 0; row < TABLE_H; ++row) ASSERT_EQ(e(row, 799).YUV_default + e(row, 799).pic_num, 0xFF000000u);
}

TEST_F(Views, HostileSettingsStayInTheTableAndTheFrame) {
    flash_param.cf_param.sensor.xx = 1;  // columns far beyond any short
    const double stretch[9] = {1, 0, 0, 0, 0, 0, 0, 0, 1};
    std::copy(stretch, stretch + 9, f_xishu);
    mt_front(t.data());
    EXPECT_EQ(f_center_x, 640);
    for (std::int16_t a : {std::int16_t{-32768}, std::int16_t{32767}}) {
        Image_param& im = flash_param.im_param;
        im.fv_top = im.bv_top = a;
        im.fv_bottom = im.bv_bottom = static_cast<std::int16_t>(-1 - a);
        for (int left : {-300, 700}) {
            BVIEW_Left = RVIEW_Left = left;
            for (auto build : {mt_front, mt_back, mt_front2, mt_back2}) build(t.data());
            for (int dir = 0; dir <= 12; ++dir) MT_image(dir, t.data(), yuv_table());
        }
    }
    for (const Image_table& x : t)
        if (x.pic_num == 0x10 || x.pic_num == 0x11 || x.pic_num == 0x12) {
            EXPECT_LT(x.Addr_Y % 1280, 1279u);
            EXPECT_LT(x.Addr_Y / 1280, 719u);
        }
    EXPECT_EQ(e(470, 400).pic_num, 0x55);  // between the panels at -300 and 700
}

}  // namespace
