#include "dsp/dsp_tubiao.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "dsp/dsp_cars.h"
#include "vio/vio.h"

std::uint8_t count = 0;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kClear = 0x00000000u;
constexpr std::uint32_t kGreen = 0xFF00A600u;

constexpr int kBarTop = 12;        // view-selection bar, rows 12..71
constexpr int kConfirmTop = 408;   // confirm bar and recording mark, rows 408..467
constexpr int kPanelW = 476;
constexpr int kRecLeft = 376;      // recording mark within the confirm bar
constexpr std::uint8_t kBlinkBit = 0x80;

// Half-open range [first, end) of screen rows or columns.
struct Span {
    int first, end;
};

// The part of [start, start + len) inside [0, limit); wide arithmetic so that
// far-off positions cannot overflow.
constexpr Span clip(long long start, long long len, int limit) {
    const long long a = std::max(start, 0LL);
    const long long b = std::min(start + len, static_cast<long long>(limit));
    return a < b ? Span{static_cast<int>(a), static_cast<int>(b)} : Span{0, 0};
}

// Colour of pixel `col` of an icon row: its own luma with its pair's chroma;
// `swap` exchanges the pair's U and V.
std::uint32_t icon_colour(const std::uint16_t* row, int col, const std::uint32_t* yuv2rgb, bool swap) {
    const int pair = col & ~1;
    std::uint32_t first = row[pair] & 0xFFu, second = row[pair + 1] & 0xFFu;
    if (swap) std::swap(first, second);
    const std::uint32_t y = row[col] >> 8;
    return yuv2rgb[(y << 14) | ((first >> 1) << 7) | (second >> 1)];
}

void put_icon(Image_table* table, const std::uint16_t* pic, int w, int h, long long left, long long top,
              const std::uint32_t* yuv2rgb, bool swap = false) {
    const Span rows = clip(top, h, TABLE_H), cols = clip(left, w, TABLE_W);
    for (int r = rows.first; r < rows.end; ++r) {
        const std::uint16_t* src = pic + (r - top) * w;
        for (int c = cols.first; c < cols.end; ++c) {
            Image_table& e = table[r * TABLE_W + c];
            e.pic_num = 0;
            e.YUV_default = icon_colour(src, static_cast<int>(c - left), yuv2rgb, swap);
        }
    }
}

void fill_table(Image_table* table, std::uint32_t colour) {
    for (int i = 0; i < TABLE_W * TABLE_H; ++i) {
        table[i].pic_num = 0;
        table[i].YUV_default = colour;
    }
}

void fill_rect(std::uint32_t* pimage, long long top, long long left, long long h, long long w, std::uint32_t colour) {
    const Span rows = clip(top, h, TABLE_H), cols = clip(left, w, TABLE_W);
    for (int r = rows.first; r < rows.end; ++r)
        std::fill(pimage + r * TABLE_W + cols.first, pimage + r * TABLE_W + cols.end, colour);
}

// Adds `step` to the shared blink counter; true while the blinking part shows.
bool blink(int step) {
    count = static_cast<std::uint8_t>(count + step);
    return (count & kBlinkBit) != 0;
}

// Top-left corners (row, column) of the four camera icons around the car
// picture of the calibration screen.
struct CameraSpots {
    bool valid;
    long long front_row, back_row, side_row;
    long long mid_col, left_col, right_col;
};

CameraSpots camera_spots() {
    const long long fv = FVLEN, bv = BVLEN, lr = LRVLEN, ll = param_car.LL, w = param_car.W;
    const long long total = fv + ll + bv, width = w + 2 * lr;
    if (total == 0 || width == 0) return {false, 0, 0, 0, 0, 0, 0};
    const long long rf = 456 * fv / total;
    const long long rb = 456 * (fv + ll) / total;
    const long long cw = 290 * (w + 160) / width;
    const long long cl = FULLVIEW_Left + ((290 - cw) >> 1);
    return {true, rf - 58, rb + 32, rf + 92, (cw / 2 - 25 + cl) & ~1LL, (cl - 60) & ~1LL, (cl + cw + 10) & ~1LL};
}

// The five icons of the view-selection bar; the middle three are given.
void selection_bar(Image_table* table, const std::uint16_t* a, const std::uint16_t* b, const std::uint16_t* c,
                   const std::uint32_t* yuv2rgb) {
    const long long left = BVIEW_Left;
    put_icon(table, sanjiao_z, 60, 60, left, kBarTop, yuv2rgb);
    put_icon(table, a, 60, 60, left + 108, kBarTop, yuv2rgb);
    put_icon(table, b, 60, 60, left + 208, kBarTop, yuv2rgb);
    put_icon(table, c, 60, 60, left + 308, kBarTop, yuv2rgb);
    put_icon(table, sanjiao_y, 60, 60, left + 416, kBarTop, yuv2rgb);
}

// Screen point of a camera pixel of the 1280 x 720 frame on the raw view.
struct Point {
    long long y, x;
};

Point screen_point(int yy, int xx) {
    return {static_cast<long long>(yy) * 575 / 719, static_cast<long long>(xx) * 799 / 1279};
}

// A cross of arm `a`: a bar is drawn only when its centre line lies strictly
// inside rows 1..478 or columns 1..788, and only its part within them.
void cross(std::uint32_t* pimage, int yy, int xx, int a) {
    const Point p = screen_point(yy, xx);
    if (p.x > 1 && p.x < 788) {
        const long long r0 = std::max(p.y - a, 1LL), r1 = std::min(p.y + a, 478LL);
        fill_rect(pimage, r0, p.x - 1, r1 - r0 + 1, 3, kGreen);
    }
    if (p.y > 1 && p.y < 478) {
        const long long c0 = std::max(p.x - a, 1LL), c1 = std::min(p.x + a, 788LL);
        fill_rect(pimage, p.y - 1, c0, 3, c1 - c0 + 1, kGreen);
    }
}

// The two crop lines of the view-range pages; `flag` 1 blinks the top one.
// Each line stays whole on the canvas whatever the values.
void crop_lines(std::uint32_t* pimage, int top_value, int bottom_value, int flag) {
    const bool shown = blink(40);
    const int top = std::clamp(crop_line_row(true, top_value), kCropTopMin, kCropTopMax);
    const int bottom = std::clamp(crop_line_row(false, bottom_value), kCropBottomMin, kCropBottomMax);
    if (flag != 1 || shown) fill_rect(pimage, top - 1LL, BVIEW_Left, 2, 474, kGreen);
    if (flag == 1 || shown) fill_rect(pimage, bottom, BVIEW_Left, 2, 474, kGreen);
}

}  // namespace

void init_table(Image_table* table) { fill_table(table, kBlack); }
void hide_table(Image_table* table) { fill_table(table, kClear); }

void clear_ima(std::uint32_t* pimage) { std::fill(pimage, pimage + TABLE_W * TABLE_H, kBlack); }

void clear_right(std::uint32_t* pimage) { fill_rect(pimage, 0, BVIEW_Left, TABLE_H, kPanelW, kBlack); }

void mt_tubiao(Image_table* table, const std::uint16_t* pdata, int pos_x, int pos_y, const std::uint32_t* yuv2rgb) {
    put_icon(table, pdata, 60, 60, pos_x, pos_y, yuv2rgb);
}

void mt_queren(Image_table* table, const std::uint32_t* yuv2rgb) {
    const bool logo = (flash_param.im_param.close_etc & 4u) != 0;
    put_icon(table, logo ? queren2 : queren, kPanelW, 60, BVIEW_Left, kConfirmTop, yuv2rgb);
}

void mt_qianshi(Image_table* table, const std::uint32_t* yuv2rgb) {
    selection_bar(table, houshi_off, qianshi_on, zuoyou_off, yuv2rgb);
}

void mt_houshi(Image_table* table, const std::uint32_t* yuv2rgb) {
    selection_bar(table, zuoyou_off, houshi_on, qianshi_off, yuv2rgb);
}

void mt_youshi(Image_table* table, const std::uint32_t* yuv2rgb) {
    selection_bar(table, qianshi_off, zuoyou_on, houshi_off, yuv2rgb);
}

void mt_zuoshi(Image_table* table, const std::uint32_t* yuv2rgb) { mt_youshi(table, yuv2rgb); }

void mt_camera(Image_table* table, int flagf, int flagb, int flagl, int flagr, const std::uint32_t* yuv2rgb) {
    const CameraSpots s = camera_spots();
    if (!s.valid) return;
    put_icon(table, camera, 50, 50, s.mid_col, s.front_row, yuv2rgb, flagf != 1);
    put_icon(table, camera, 50, 50, s.mid_col, s.back_row, yuv2rgb, flagb != 1);
    put_icon(table, camera, 50, 50, s.left_col, s.side_row, yuv2rgb, flagl != 1);
    put_icon(table, camera, 50, 50, s.right_col, s.side_row, yuv2rgb, flagr != 1);
}

void draw_rec(std::uint32_t* pimage, const std::uint32_t* yuv2rgb) {
    const long long left = static_cast<long long>(BVIEW_Left) + kRecLeft;
    const Span rows = clip(kConfirmTop, 60, TABLE_H), cols = clip(left, 100, TABLE_W);
    for (int r = rows.first; r < rows.end; ++r) {
        const std::uint16_t* src = rec_on + (r - kConfirmTop) * 100;
        for (int c = cols.first; c < cols.end; ++c)
            pimage[r * TABLE_W + c] = icon_colour(src, static_cast<int>(c - left), yuv2rgb, false);
    }
}

void draw_black(std::uint32_t* pimage, int dir) {
    if (!blink(20)) return;
    const CameraSpots s = camera_spots();
    if (!s.valid) return;
    long long top = 0, left = 0;
    switch (dir) {
        case 1: top = s.back_row, left = s.mid_col; break;
        case 2: top = s.side_row, left = s.left_col; break;
        case 4: top = s.side_row, left = s.right_col; break;
        case 8: top = s.front_row, left = s.mid_col; break;
        default: return;
    }
    fill_rect(pimage, top, left - 1, 51, 52, kBlack);
}

void draw_cross(std::uint32_t* pimage, int yy, int xx) {
    if (blink(40)) cross(pimage, yy, xx, 16);
}

void draw_cross2(std::uint32_t* pimage, int yy, int xx) { cross(pimage, yy, xx, 10); }

void draw_cd(std::uint32_t* pimage, Cali_pos pos, int point, int dir, int flag) {
    const int marks = (dir == 1 || dir == 8) ? 8 : (dir == 2 || dir == 4) ? 6 : 0;
    if (point < 1 || point > marks) return;
    const std::int16_t ys[8] = {pos.y1, pos.y2, pos.y3, pos.y4, pos.y5, pos.y6, pos.y7, pos.y8};
    const std::int16_t xs[8] = {pos.x1, pos.x2, pos.x3, pos.x4, pos.x5, pos.x6, pos.x7, pos.x8};
    const int drawn = flag != 0 ? marks : 4;
    for (int m = 1; m <= drawn; ++m) {
        if (m == point) draw_cross(pimage, ys[m - 1], xs[m - 1]);
        else draw_cross2(pimage, ys[m - 1], xs[m - 1]);
    }
}

int crop_line_row(bool top, int value) {
    return static_cast<int>(((top ? top_base : bottom_base) + value - 359) / 1.7 + 228 + 12);
}

void draw_bline(std::uint32_t* pimage, Image_param param, int flag) {
    crop_lines(pimage, param.bv_top, param.bv_bottom, flag);
}

void draw_bline_f(std::uint32_t* pimage, Image_param param, int flag) {
    crop_lines(pimage, param.fv_top, param.fv_bottom, flag);
}
