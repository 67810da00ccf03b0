// Icons in the display table, marks and crop lines on the canvas: where they
// land, their colours, the blink rhythm and clipping at the screen edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_tubiao.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kPaper = 0x11223344u, kGreen = 0xFF00A600u, kBlack = 0xFF000000u;
constexpr Image_table kUntouched{0x12, 0, 0x12345678u, 777, {}, 0, {}};

const std::uint32_t* yuv() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        Init_table_YUV2RGB(v.data());
        return v;
    }();
    return t.data();
}

// Icon pixel (r, c): its own Y, U from its pair's even word, V from the odd one.
std::uint32_t expected(const std::uint16_t* pic, int w, int r, int c, bool swap = false) {
    const std::uint16_t* row = pic + r * w;
    unsigned u = row[c - c % 2] & 0xFF, v = row[c - c % 2 + 1] & 0xFF;
    if (swap) std::swap(u, v);
    return yuv()[(unsigned(row[c] >> 8) << 14) | ((u >> 1) << 7) | (v >> 1)];
}

// Bounding rows and columns of the changed pixels, and their number.
struct Box {
    int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1, n = 0;
    bool operator==(const Box&) const = default;
};

struct Icons : ::testing::Test {
    std::vector<Image_table> table = std::vector<Image_table>(TABLE_W * TABLE_H, kUntouched);
    std::vector<std::uint32_t> canvas = std::vector<std::uint32_t>(TABLE_W * TABLE_H, kPaper);

    void SetUp() override {
        BVIEW_Left = 308;
        FULLVIEW_Left = 17;
        param_car = {0, 4800, 1800, 2700, 900, 1500};
        FVLEN = BVLEN = LRVLEN = 2000;
        flash_param.im_param.close_etc = 0;
        top_base = 2;
        bottom_base = 539;
        count = 0;
    }
    Image_table& at(int r, int c) { return table[r * TABLE_W + c]; }
    std::uint32_t& px(int r, int c) { return canvas[r * TABLE_W + c]; }
    void reset() {
        std::fill(table.begin(), table.end(), kUntouched);
        std::fill(canvas.begin(), canvas.end(), kPaper);
    }
    template <class Changed>
    static Box extent(Changed changed) {
        Box b;
        for (int r = 0; r < TABLE_H; ++r)
            for (int c = 0; c < TABLE_W; ++c)
                if (changed(r * TABLE_W + c))
                    b = {std::min(b.top, r), std::min(b.left, c), std::max(b.bottom, r), std::max(b.right, c), b.n + 1};
        return b;
    }
    Box written() { return extent([&](int i) { return table[i].YUV_default != kUntouched.YUV_default; }); }
    Box painted() { return extent([&](int i) { return canvas[i] != kPaper; }); }
    // The block at (top, left) shows pic as kind-0 entries that keep their other fields.
    bool shows(const std::uint16_t* pic, int w, int h, int top, int left, bool swap = false) {
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const Image_table& e = at(top + r, left + c);
                if (e.pic_num != 0 || e.Addr_Y != 777 || e.YUV_default != expected(pic, w, r, c, swap)) return false;
            }
        return true;
    }
};

TEST_F(Icons, ClearingRoutines) {
    init_table(table.data());
    auto black = [](auto& e) { return e.YUV_default == kBlack && e.pic_num == 0 && e.Addr_Y == 777; };
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), black));
    hide_table(table.data());
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](auto& e) { return e.YUV_default == 0; }));
    clear_right(canvas.data());
    EXPECT_EQ(painted(), (Box{0, 308, 479, 783, 480 * 476}));
    clear_ima(canvas.data());
    EXPECT_TRUE(std::all_of(canvas.begin(), canvas.end(), [](auto p) { return p == kBlack; }));
}

TEST_F(Icons, IconAtItsCornerAndClipped) {
    mt_tubiao(table.data(), sanjiao_z, 100, 50, yuv());
    EXPECT_EQ(written(), (Box{50, 100, 109, 159, 3600}));
    EXPECT_TRUE(shows(sanjiao_z, 60, 60, 50, 100));
    // Black 0x1080: Y 16, a = b = 64 -> R 16, G 16 + 134 - 44 - 91 = 15, B 16 - 228 + 227 = 15.
    EXPECT_EQ(at(50, 100).YUV_default, 0xFF100F0Fu);
    reset();
    mt_tubiao(table.data(), qianshi_on, 770, -30, yuv());
    EXPECT_EQ(written(), (Box{0, 770, 29, 799, 900}));
    EXPECT_EQ(at(0, 770).YUV_default, expected(qianshi_on, 60, 30, 0));
    mt_tubiao(table.data(), qianshi_on, INT_MAX, INT_MIN, yuv());
    mt_tubiao(table.data(), qianshi_on, -60, 480, yuv());
    EXPECT_EQ(written().n, 900);
}

TEST_F(Icons, SelectionBars) {
    const struct {
        void (*fn)(Image_table*, const std::uint32_t*);
        const std::uint16_t *a, *b, *c;
    } bars[] = {{mt_qianshi, houshi_off, qianshi_on, zuoyou_off}, {mt_houshi, zuoyou_off, houshi_on, qianshi_off},
                {mt_youshi, qianshi_off, zuoyou_on, houshi_off}, {mt_zuoshi, qianshi_off, zuoyou_on, houshi_off}};
    for (const auto& bar : bars) {
        reset();
        bar.fn(table.data(), yuv());
        EXPECT_EQ(written(), (Box{12, 308, 71, 783, 5 * 3600}));
        EXPECT_TRUE(shows(sanjiao_z, 60, 60, 12, 308) && shows(bar.a, 60, 60, 12, 416));
        EXPECT_TRUE(shows(bar.b, 60, 60, 12, 516) && shows(bar.c, 60, 60, 12, 616));
        EXPECT_TRUE(shows(sanjiao_y, 60, 60, 12, 724));
    }
}

TEST_F(Icons, ConfirmBarChosenByBit2) {
    flash_param.im_param.close_etc = 3;
    mt_queren(table.data(), yuv());
    EXPECT_EQ(written(), (Box{408, 308, 467, 783, 476 * 60}));
    EXPECT_TRUE(shows(queren, 476, 60, 408, 308));
    flash_param.im_param.close_etc = 4;
    BVIEW_Left = 16;
    mt_queren(table.data(), yuv());
    EXPECT_TRUE(shows(queren2, 476, 60, 408, 16));
    EXPECT_FALSE(shows(queren, 476, 60, 408, 16));
}

TEST_F(Icons, CameraIconsAroundTheCar) {
    // T 8800: rf = 912000/8800 = 103, rb = 3100800/8800 = 352; cw = 568400/5800 = 98,
    // cl = 17 + 96 = 113. Front (45, 136), back (384, 136), left (195, 52), right (195, 220).
    mt_camera(table.data(), 1, 0, 1, 2, yuv());
    EXPECT_EQ(written().n, 4 * 2500);
    EXPECT_TRUE(shows(camera, 50, 50, 45, 136));
    EXPECT_TRUE(shows(camera, 50, 50, 384, 136, true));
    EXPECT_TRUE(shows(camera, 50, 50, 195, 52));
    EXPECT_TRUE(shows(camera, 50, 50, 195, 220, true));
    // The blue lens turns reddish on the cameras still to be calibrated.
    const std::uint32_t own = at(45 + 16, 136 + 25).YUV_default, swapped = at(384 + 16, 136 + 25).YUV_default;
    EXPECT_GT(own & 0xFF, (own >> 16) & 0xFF);
    EXPECT_GT((swapped >> 16) & 0xFF, swapped & 0xFF);
}

TEST_F(Icons, RecordingMarkOnCanvas) {
    draw_rec(canvas.data(), yuv());
    EXPECT_EQ(painted(), (Box{408, 684, 467, 783, 6000}));
    EXPECT_EQ(px(437, 733), expected(rec_on, 100, 29, 49));
}

TEST_F(Icons, BlackBlockBlinksInStepsOf20) {
    for (int pass = 1; pass <= 26; ++pass) {
        reset();
        draw_black(canvas.data(), 8);
        ASSERT_EQ(count, 20 * pass % 256);
        const Box block{45, 135, 95, 186, 51 * 52};
        EXPECT_EQ(painted(), count >= 128 ? block : Box{}) << pass;
    }
    count = 108;
    draw_black(canvas.data(), 4);
    EXPECT_EQ(painted(), (Box{195, 219, 245, 270, 51 * 52}));
}

TEST_F(Icons, CrossBarsClippedAtScreenEdges) {
    const struct {
        int yy, xx;
        Box b;
    } cases[] = {
        {360, 640, {277, 389, 297, 409, 2 * 3 * 21 - 9}},  // row 287, column 399, arm 10
        {2, 640, {1, 398, 11, 400, 33}},         // row 1: no horizontal bar
        {598, 640, {468, 398, 478, 400, 33}},    // row 478: no horizontal bar
        {360, 2, {286, 1, 288, 11, 33}},         // column 1: no vertical bar
        {360, 0, {286, 1, 288, 10, 30}},         // column 0
        {360, 1262, {286, 778, 288, 788, 33}},   // column 788
        {360, 1260, {277, 777, 297, 788, 63 + 36 - 9}},
        {32767, 32767, {}}, {-32768, -32768, {}}, {INT_MAX, INT_MIN, {}},
    };
    for (const auto& k : cases) {
        reset();
        draw_cross2(canvas.data(), k.yy, k.xx);
        EXPECT_EQ(painted(), k.b) << k.yy << "," << k.xx;
    }
}

TEST_F(Icons, CalibrationMarksByPointDirAndFlag) {
    const Cali_pos pos{50, 140, 100, 280, 150, 420, 200, 560, 250, 700, 300, 840, 350, 980, 400, 1120};
    auto green_at = [&](int m, int down) { return px(50 * m * 575 / 719 + down, 140 * m * 799 / 1279) == kGreen; };
    draw_cd(canvas.data(), pos, 5, 8, 0);  // mark 5 is not drawn, so nothing blinks
    EXPECT_EQ(count, 0);
    for (int m = 1; m <= 8; ++m) EXPECT_EQ(green_at(m, 0), m <= 4) << m;
    EXPECT_TRUE(green_at(1, 10) && !green_at(1, 11));

    // The current mark blinks (count 40: hidden, 140: shown) with arm 16.
    reset();
    draw_cd(canvas.data(), pos, 2, 2, 1);
    EXPECT_EQ(count, 40);
    for (int m = 1; m <= 8; ++m) EXPECT_EQ(green_at(m, 0), m != 2 && m <= 6) << m;
    count = 100;
    draw_cd(canvas.data(), pos, 2, 2, 1);
    EXPECT_TRUE(green_at(2, 0) && green_at(2, 16) && !green_at(2, 17) && !green_at(1, 16));

    reset();
    const std::pair<int, int> ignored[] = {{1, 3}, {7, 4}, {0, 1}, {9, 8}};  // (point, dir)
    for (auto [point, dir] : ignored) draw_cd(canvas.data(), pos, point, dir, 1);
    EXPECT_EQ(painted().n, 0);
    EXPECT_EQ(count, 140);
}

TEST_F(Icons, CropLines) {
    // Back: top (2 + 10 - 359)/1.7 + 240 = 35.9 -> rows 34, 35;
    // bottom (539 + 0 - 359)/1.7 + 240 = 345.9 -> rows 345, 346.
    Image_param p{};
    p.bv_top = 10;
    p.fv_top = p.fv_bottom = 300;
    auto rows = [&] {
        std::vector<int> r;
        for (int y = 0; y < TABLE_H; ++y)
            if (px(y, 308) == kGreen && px(y, 781) == kGreen && px(y, 782) == kPaper) r.push_back(y);
        EXPECT_EQ(painted().n, 474 * int(r.size()));
        return r;
    };
    const std::vector<int> top{34, 35}, bottom{345, 346}, both{34, 35, 345, 346};
    const struct {
        int flag, count_before;
        const std::vector<int>& rows;
    } cases[] = {{0, 100, both}, {1, 0, bottom}, {0, 0, top}, {2, 0, top}};
    for (const auto& k : cases) {
        reset();
        count = static_cast<std::uint8_t>(k.count_before);
        draw_bline(canvas.data(), p, k.flag);
        EXPECT_EQ(rows(), k.rows) << k.flag << " " << k.count_before;
    }
    // Front: top (2 + 300 - 359)/1.7 + 240 = 206.5; bottom 522.4, lowered to 468.
    reset();
    count = 100;
    draw_bline_f(canvas.data(), p, 0);
    EXPECT_EQ(rows(), (std::vector<int>{205, 206, 468, 469}));
    reset();
    top_base = -1000;  // top raised to 12
    draw_bline(canvas.data(), p, 1);
    EXPECT_EQ(rows(), (std::vector<int>{11, 12, 345, 346}));
}

TEST_F(Icons, ExtremeValuesStayInside) {
    const struct {
        int fv, bv, lr, ll, w, full, bview;
    } layouts[] = {{32767, 32767, 32767, 65535, 65535, 494, 700}, {-32768, 0, -32768, 65535, 0, 0, -500},
                   {-4800, 0, 2000, 4800, 1800, 16, 308}, {2000, 2000, -900, 4800, 1800, 16, 308},
                   {0, 0, 0, 0, 0, INT_MAX, INT_MIN}};
    for (const auto& l : layouts) {
        FVLEN = std::int16_t(l.fv), BVLEN = std::int16_t(l.bv), LRVLEN = std::int16_t(l.lr);
        param_car.LL = std::uint16_t(l.ll), param_car.W = std::uint16_t(l.w);
        FULLVIEW_Left = l.full, BVIEW_Left = l.bview;
        mt_camera(table.data(), 0, 0, 0, 0, yuv());
        mt_queren(table.data(), yuv());
        mt_houshi(table.data(), yuv());
        for (int dir : {1, 2, 4, 8}) {
            count = 108;
            draw_black(canvas.data(), dir);
        }
        draw_rec(canvas.data(), yuv());
        clear_right(canvas.data());
        for (short v : {short(32767), short(-32768)}) {
            Image_param p{};
            top_base = bottom_base = p.bv_top = p.bv_bottom = p.fv_top = p.fv_bottom = v;
            draw_bline(canvas.data(), p, 0);
            draw_bline_f(canvas.data(), p, 1);
        }
    }
    // With the panel at column 700 nothing wraps into the start of the next row.
    reset();
    BVIEW_Left = 700;
    mt_queren(table.data(), yuv());
    clear_right(canvas.data());
    EXPECT_EQ(written(), (Box{408, 700, 467, 799, 100 * 60}));
    EXPECT_EQ(painted(), (Box{0, 700, 479, 799, 100 * 480}));
}

}  // namespace
