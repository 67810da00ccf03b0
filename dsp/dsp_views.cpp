// The single-view panel (front, back, sides), the raw camera screen, the car
// picture over the bird's-eye car rectangle and the calibration screen.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_tubiao.h"
#include "vio/vio.h"

int work_dir = 0;
int f_center_x = 0, b_center_x = 0, f_center_y = 0, b_center_y = 0;
double f_bili_x = 0, b_bili_x = 0, f_bili_y = 0, b_bili_y = 0;
short top_base = 0, bottom_base = 0;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

// The panel and the camera views in it.
constexpr int kPanelW = 476;
constexpr int kViewMidCol = 238;
constexpr int kViewTop = 72, kViewRows = 336, kViewMidRow = 168;
constexpr int kAdjTop = 12, kAdjRows = 456, kAdjMidRow = 228;
constexpr int kAdjCentreY = 359;
constexpr std::int64_t kAdjStepY = 435;    // 1.7 x 256
constexpr std::int64_t kFrontStepX = 486;  // 1.9 x 256
constexpr double kFrontScaleX = 1.9, kAdjScaleY = 1.7;
constexpr double kBackMinScaleX = 1.8;
// Beyond this a view column spans many frames; only reached from broken calibrations.
constexpr double kMaxScale = 32767.0;
constexpr int kFrameCentreX = 640;

// The cached side tables.
constexpr int kSideW = 458, kSideRows = 456, kSideTop = 12;
constexpr int kPairW = 476, kPairRows = 336;

// Entry pic_num values.
constexpr std::uint16_t kPicBack = 0x10, kPicBackAlt = 0x11, kPicFront = 0x12, kPicLeft = 0x14, kPicRight = 0x16;
constexpr std::uint16_t kPicFrontGain = 0x42, kPicBackGain = 0x22;

// Car pictures.
constexpr std::uint16_t kCarTransparent = 0x7E80;
constexpr int kCarBodyFirst = 8, kCarBodyCols = 100, kCarEdge = 8;
constexpr int kCarBlindWord = 476;

bool in_rows(int r) { return r >= 0 && r < TABLE_H; }
bool in_cols(int c) { return c >= 0 && c < TABLE_W; }
Image_table& at(Image_table* t, int r, int c) { return t[r * TABLE_W + c]; }

// A row or column bound held to the table, for half-open ranges.
int clip_row(long long v) { return static_cast<int>(std::clamp<long long>(v, 0, TABLE_H)); }
int clip_col(long long v) { return static_cast<int>(std::clamp<long long>(v, 0, TABLE_W)); }

std::uint32_t yuv_index(unsigned y, unsigned u, unsigned v) {
    // Artwork luma near white plus the offset would leave the table.
    return std::min(y, 255u) << 14 | (u >> 1) << 7 | (v >> 1);
}

// Camera pixel (row, column) of a ground point through a camera's transform and lens.
struct Pixel {
    double y, x;
};
Pixel ground_pixel(const double* xishu, const Sensor_param& lens, double gx, double gy) {
    double xx, yy, y, x;
    b_bianhuan(gx, gy, &xx, &yy, xishu);
    a_huanyuan(yy, xx, &y, &x, lens);
    return {y, x};
}

// Middle of two camera columns; the frame centre when the lens gives nothing usable.
int centre_column(double a, double b) {
    const double c = (a + b) * 0.5;
    if (!std::isfinite(c) || c < -32767.0 || c > 32767.0) return kFrameCentreX;
    return static_cast<int>(c);
}

// Truncation kept within a short, as the crop rows are published in shorts.
int trunc_short(double v, int if_nan) {
    if (std::isnan(v)) return if_nan;
    return static_cast<int>(std::clamp(v, -32767.0, 32767.0));
}

// One entry from a 24.8 source position; outside the frame only pic_num changes.
void put_fixed(Image_table& e, std::int64_t x_fp, std::int64_t y_fp, std::uint16_t pic) {
    if (!(x_fp > 0 && x_fp < 1279 * 256 && y_fp > 0 && y_fp < 719 * 256)) {
        e.pic_num = 0;
        return;
    }
    const auto xi = static_cast<std::uint32_t>(x_fp >> 8), yi = static_cast<std::uint32_t>(y_fp >> 8);
    const auto fx = static_cast<unsigned>(x_fp & 255), fy = static_cast<unsigned>(y_fp & 255);
    e.pic_num = pic;
    e.Addr_Y = yi * CAM_W + xi;
    e.ybili.Y_tr = static_cast<std::uint8_t>((fx * (255 - fy)) >> 8);
    e.ybili.Y_bl = static_cast<std::uint8_t>((fy * (255 - fx)) >> 8);
    e.ybili.Y_br = static_cast<std::uint8_t>((fx * fy) >> 8);
    e.ybili.Y_tl = static_cast<std::uint8_t>(255 - e.ybili.Y_tr - e.ybili.Y_bl - e.ybili.Y_br);
}

struct ViewGrid {
    int top, rows, mid_row;
    std::int64_t centre_y, step_y;
    std::int64_t centre_x, step_x;
    bool mirrored;
    std::uint16_t pic;
};

void fill_view(Image_table* table, const ViewGrid& g) {
    for (int i = 0; i < g.rows; ++i) {
        const int r = g.top + i;
        if (!in_rows(r)) continue;
        const std::int64_t y_fp = g.centre_y * 256 + (i - g.mid_row) * g.step_y;
        for (int j = 0; j < kPanelW; ++j) {
            const int c = BVIEW_Left + j;
            if (!in_cols(c)) continue;
            const int dj = g.mirrored ? kViewMidCol - j : j - kViewMidCol;
            put_fixed(at(table, r, c), g.centre_x * 256 + dj * g.step_x, y_fp, g.pic);
        }
    }
}

// Step 1 of the front view: the camera column under the car's centre line
// 500 mm ahead of the bumper.
void front_columns() {
    const double xc = LRVLEN + param_car.W / 2, gy = FVLEN - 500;
    const Sensor_param& lens = flash_param.cf_param.sensor;
    const double x1 = ground_pixel(f_xishu, lens, xc - 1500, gy).x;
    const double x2 = ground_pixel(f_xishu, lens, xc + 1500, gy).x;
    f_center_x = centre_column(x1, x2);
    f_bili_x = kFrontScaleX;
}

// Steps 1 to 3 of the back view: columns from the car's sides just behind
// it, and the crop rows around the centre line further back.
struct BackCrop {
    int top, bottom;
};
BackCrop back_columns() {
    const Sensor_param& lens = flash_param.cb_param.sensor;
    const double gy = FVLEN + param_car.LL + BACKBLANK;
    const double x_r = ground_pixel(b_xishu, lens, LRVLEN + param_car.W, gy).x;
    const double x_l = ground_pixel(b_xishu, lens, LRVLEN, gy).x;
    double scale = (x_l - x_r) * 4 / 3 / kPanelW;
    // Written so that NaN also takes the floor.
    if (!(scale >= kBackMinScaleX)) scale = kBackMinScaleX;
    b_bili_x = std::min(scale, kMaxScale);
    b_center_x = centre_column(x_l, x_r);

    const double y3 =
        ground_pixel(b_xishu, lens, (param_car.W + 2 * LRVLEN) / 2, param_car.LL + FVLEN + 1500 + BACKBLANK).y;
    const int top = std::max(trunc_short(y3 - kViewMidRow * b_bili_x, 2), 2);
    const int bottom = std::min(trunc_short(y3 + kViewMidRow * b_bili_x, 718), 718);
    return {top, bottom};
}

std::int64_t step_of(double scale) { return static_cast<std::int64_t>(scale * 256); }

// Copies rows x cols entries of a cached table (row stride cols) to the table.
void copy_block(Image_table* table, const Image_table* src, int cols, int rows, int top, int left) {
    if (!src) return;
    for (int i = 0; i < rows; ++i) {
        const int r = top + i;
        if (!in_rows(r)) continue;
        const int c0 = clip_col(left), c1 = clip_col(static_cast<long long>(left) + cols);
        if (c0 < c1) std::copy(src + i * cols + (c0 - left), src + i * cols + (c1 - left), &at(table, r, c0));
    }
}

// The car band and rows of the bird's-eye area.
struct CarLayout {
    long long T;
    long long cl, cr, carcols;
    long long front_row, rear_row;  // first row of the car, first row behind it
};
bool car_layout(CarLayout& k) {
    k.T = static_cast<long long>(FVLEN) + param_car.LL + BVLEN;
    const long long span = static_cast<long long>(param_car.W) + 2LL * LRVLEN;
    if (k.T <= 0 || span == 0) return false;
    k.carcols = 290LL * (param_car.W + 160) / span;
    k.cl = FULLVIEW_Left + (290 - k.carcols) / 2;
    k.cr = k.cl + k.carcols;
    k.front_row = 12 + 456LL * FVLEN / k.T;
    k.rear_row = 12 + 456LL * (FVLEN + param_car.LL) / k.T;
    return true;
}

const std::uint16_t* car_picture(unsigned suv) {
    const std::uint16_t* const pics[8] = {lxc1, sxc1, lxc2, sxc2, lxc3, sxc3, lxc4, sxc4};
    return suv < 8 ? pics[suv] : lxc1;
}

unsigned hi(std::uint16_t w) { return w >> 8; }
unsigned lo(std::uint16_t w) { return w & 0xFFu; }

}  // namespace

void ct_right(Image_table* table) {
    const int c0 = clip_col(BVIEW_Left), c1 = clip_col(static_cast<long long>(BVIEW_Left) + kPanelW);
    for (int r = 0; r < TABLE_H; ++r)
        for (int c = c0; c < c1; ++c) {
            at(table, r, c).pic_num = 0;
            at(table, r, c).YUV_default = kBlack;
        }
}

void mt_right(Image_table* table) { copy_block(table, tabler, kSideW, kSideRows, kSideTop, RVIEW_Left); }
void mt_left(Image_table* table) { copy_block(table, tablel, kSideW, kSideRows, kSideTop, RVIEW_Left); }
void mt_lr(Image_table* table) { copy_block(table, tablelr, kPairW, kPairRows, kViewTop, BVIEW_Left); }
void mt_lr2(Image_table* table) { copy_block(table, tablelr2, kPairW, kPairRows, kViewTop, BVIEW_Left); }

void mt_front(Image_table* table) {
    front_columns();
    const Image_param& im = flash_param.im_param;
    f_center_y = (im.fv_top + im.fv_bottom + 541) / 2;
    f_bili_y = (im.fv_bottom + 537 - im.fv_top) / 336.0;
    fill_view(table, {kViewTop, kViewRows, kViewMidRow, f_center_y, step_of(f_bili_y), f_center_x, kFrontStepX, false,
                      kPicFront});
}

void mt_back(Image_table* table) {
    const BackCrop crop = back_columns();
    const Image_param& im = flash_param.im_param;
    b_center_y = (im.bv_bottom + im.bv_top + crop.bottom + crop.top) / 2;
    b_bili_y = (im.bv_bottom - im.bv_top + crop.bottom - crop.top) / 336.0;
    fill_view(table, {kViewTop, kViewRows, kViewMidRow, b_center_y, step_of(b_bili_y), b_center_x, step_of(b_bili_x),
                      true, kPicBack});
}

void mt_front2(Image_table* table) {
    front_columns();
    f_center_y = kAdjCentreY;
    f_bili_y = kAdjScaleY;
    top_base = 2;
    bottom_base = 539;
    fill_view(table,
              {kAdjTop, kAdjRows, kAdjMidRow, kAdjCentreY, kAdjStepY, f_center_x, kFrontStepX, false, kPicFront});
}

void mt_back2(Image_table* table) {
    const BackCrop crop = back_columns();
    b_center_y = kAdjCentreY;
    b_bili_y = kAdjScaleY;
    top_base = static_cast<short>(crop.top);
    bottom_base = static_cast<short>(crop.bottom);
    fill_view(table, {kAdjTop, kAdjRows, kAdjMidRow, kAdjCentreY, kAdjStepY, b_center_x, step_of(b_bili_x), true,
                      kPicBackAlt});
}

void MT_image(int dir, Image_table* table, const std::uint32_t* ptable_YUV2RGB) {
    switch (dir) {
    case 0:
        ct_right(table);
        mt_queren(table, ptable_YUV2RGB);
        mt_qianshi(table, ptable_YUV2RGB);
        mt_front(table);
        work_dir = 8;
        break;
    case 4:
        ct_right(table);
        mt_queren(table, ptable_YUV2RGB);
        mt_houshi(table, ptable_YUV2RGB);
        mt_back(table);
        work_dir = 1;
        break;
    case 1:
    case 5:
        ct_right(table);
        mt_right(table);
        work_dir = 4;
        break;
    case 2:
    case 6:
        ct_right(table);
        mt_left(table);
        work_dir = 2;
        break;
    case 8:
    case 12:
        ct_right(table);
        if (dir == 8 && (flash_param.im_param.close_etc & 1))
            mt_lr(table);
        else
            mt_lr2(table);
        mt_youshi(table, ptable_YUV2RGB);
        mt_queren(table, ptable_YUV2RGB);
        work_dir = 4;
        break;
    default:
        break;
    }
}

void mt_yuantu(Image_table* table, int dir) {
    const std::uint16_t pic = dir == 1   ? kPicBack
                              : dir == 2 ? kPicLeft
                              : dir == 4 ? kPicRight
                              : dir == 8 ? kPicFront
                                         : 0;
    for (int i = 0; i < TABLE_H; ++i) {
        const double y = i * 719 / 575.0;
        for (int j = 0; j < TABLE_W - 1; ++j) {
            Image_table& e = at(table, i, j);
            cul_bili(y, j * 1279 / 799.0, &e.Addr_Y, &e.ybili);
            e.pic_num = pic;
        }
        // Column 1279 has no right neighbour to blend with.
        at(table, i, TABLE_W - 1).pic_num = 0;
        at(table, i, TABLE_W - 1).YUV_default = kBlack;
    }
}

void mt_car(Image_table* table, Image_param param, const std::uint32_t* ptable_YUV2RGB) {
    CarLayout k;
    if (!car_layout(k) || k.carcols <= 0) return;
    const std::uint16_t* pic = car_picture(param.suv);
    const long long d150 = 68400 / k.T;
    long long top = k.front_row - d150, bottom = k.rear_row + d150;
    if (param.show_blank != 1) {
        top -= param.fblank;
        bottom += param.bblank;
    }
    const long long H = bottom - top;
    if (H <= 0) return;

    auto word = [pic](long long row, long long col) { return pic[row * CAR_PIC_W + col]; };
    const int c0 = clip_col(k.cl), c1 = clip_col(k.cr);
    for (int r = clip_row(top); r < clip_row(bottom); ++r) {
        const long long row_fp = (r - top) * CAR_PIC_H * 256 / H;
        const long long row = row_fp >> 8, next = std::min<long long>(row + 1, CAR_PIC_H - 1);
        const unsigned fy = static_cast<unsigned>(row_fp & 255);

        // Body: the middle 100 columns scaled over the car band.
        for (int c = c0; c < c1; ++c) {
            const long long col_fp = (c - k.cl) * kCarBodyCols * 256 / k.carcols;
            const long long col = kCarBodyFirst + (col_fp >> 8);
            const unsigned fx = static_cast<unsigned>(col_fp & 255);
            const unsigned y =
                (hi(word(row, col)) * (256 - fx) * (256 - fy) + hi(word(row, col + 1)) * fx * (256 - fy) +
                 hi(word(next, col)) * (256 - fx) * fy + hi(word(next, col + 1)) * fx * fy) /
                65536;
            const long long even = col & ~1LL;
            const unsigned u = (lo(word(row, even)) * (256 - fy) + lo(word(next, even)) * fy) / 256;
            const unsigned v = (lo(word(row, even + 1)) * (256 - fy) + lo(word(next, even + 1)) * fy) / 256;
            Image_table& e = at(table, r, c);
            e.pic_num = 0;
            e.YUV_default = ptable_YUV2RGB[yuv_index(y + 16, u, v)];
        }

        // Mirrors: the picture's outer columns unscaled beside the band.
        for (int m = 0; m < 2 * kCarEdge; ++m) {
            const long long src = m < kCarEdge ? m : CAR_PIC_W - 2 * kCarEdge + m;
            const long long c = m < kCarEdge ? k.cl - kCarEdge + m : k.cr + (m - kCarEdge);
            if (c < 0 || c >= TABLE_W) continue;
            const std::uint16_t w = word(row, src);
            if (w == kCarTransparent) continue;
            const long long even = src & ~1LL;
            Image_table& e = at(table, r, static_cast<int>(c));
            e.pic_num = 0;
            e.YUV_default = ptable_YUV2RGB[yuv_index(hi(w) + 16, lo(word(row, even)), lo(word(row, even + 1)))];
        }
    }

    // Blind zones: flat background colour in the band.
    if (param.show_blank == 1) {
        const std::uint32_t grey = ptable_YUV2RGB[yuv_index(hi(pic[kCarBlindWord]) + 16, lo(pic[kCarBlindWord]),
                                                            lo(pic[kCarBlindWord + 1]))];
        auto flat = [&](long long from, long long to) {
            for (int r = clip_row(from); r < clip_row(to); ++r)
                for (int c = c0; c < c1; ++c) {
                    at(table, r, c).pic_num = 0;
                    at(table, r, c).YUV_default = grey;
                }
        };
        flat(top - param.fblank, top);
        flat(bottom, bottom + param.bblank);
    }
}

void clear_car(Image_table* table) {
    CarLayout k;
    if (!car_layout(k)) return;
    const long long d100 = 45600 / k.T;
    const int c0 = clip_col(k.cl), c1 = clip_col(k.cr);
    auto give = [&](long long from, long long to, std::uint16_t pic) {
        // Only the composed rows belong to the cameras.
        for (int r = clip_row(std::max(from, 12LL)); r < clip_row(std::min(to, 468LL)); ++r)
            for (int c = c0; c < c1; ++c) at(table, r, c).pic_num = pic;
    };
    give(12, k.front_row - d100, kPicFrontGain);
    give(k.rear_row + d100, 468, kPicBackGain);
}

CarArea save_car_area(const Image_table* table) {
    CarArea a;
    CarLayout k;
    if (!car_layout(k)) return a;
    a.c0 = clip_col(k.cl - kCarEdge);
    a.c1 = clip_col(k.cr + kCarEdge);
    a.entries.reserve(static_cast<std::size_t>(TABLE_H) * static_cast<std::size_t>(a.c1 - a.c0));
    for (int r = 0; r < TABLE_H; ++r) {
        const Image_table* row = table + r * TABLE_W;
        a.entries.insert(a.entries.end(), row + a.c0, row + a.c1);
    }
    return a;
}

void restore_car_area(Image_table* table, const CarArea& a) {
    const std::size_t w = static_cast<std::size_t>(a.c1 - a.c0);
    if (w == 0 || a.entries.size() != w * TABLE_H) return;
    for (int r = 0; r < TABLE_H; ++r)
        std::copy_n(a.entries.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r) * w), w,
                    &at(table, r, a.c0));
}

void MT_jiaozhun(Image_table* table, const std::uint32_t* ptable_YUV2RGB) {
    init_table(table);
    mt_car(table, flash_param.im_param, ptable_YUV2RGB);
    mt_camera(table, flash_param.flagf, flash_param.flagb, flash_param.flagl, flash_param.flagr, ptable_YUV2RGB);
    mt_zhuyi(table);
}
