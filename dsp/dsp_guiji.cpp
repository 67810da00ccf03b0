// Guide lines over the front and back camera views: yellow body-edge lines,
// tinted tyre-path bands, and in the back view the crossbars and full-lock
// curves. Each line is laid out on the ground, projected into the view,
// smoothed by a polynomial in the view row and drawn row by row.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_fc.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_guiji.h"
#include "dsp/dsp_image.h"
#include "vio/settings.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kYellow = 0xFFF8E820u;
constexpr int kCanvasW = 800, kCanvasH = 480;

// The camera view inside the single-view panel.
constexpr int kViewTop = 72, kViewW = 476, kViewRows = 336;
constexpr double kViewMidRow = 168, kViewMidCol = 238;
constexpr int kFirstLineRow = 1, kLastViewRow = kViewRows - 1;

constexpr int kLastSample = 60;  // samples 0..60 along each line
constexpr int kSampleSpan = kLastSample * kLastSample;
constexpr int kFitSamples = 60;  // the far sample only starts the drawing
constexpr int kCoefs = 7;
constexpr int kFarSampleFront = 59, kFarSampleBack = 60;

constexpr int kReach = 3000;          // mm the lines reach beyond the bumper
constexpr int kEdgeMargin2 = 360;     // body-edge lines run 180 mm outside each side
constexpr int kBandWidth = 220;       // tyre-path band, centred on the track
constexpr int kBackPivot = 550;       // mm ahead of the rear bumper where back paths leave the body line
constexpr int kEdgeRun = 5, kLockRun = 4;
constexpr int kStartFarRight = 1000, kStartFarLeft = -1000;  // "previous column" before the first row
constexpr int kLockAngleLimit = 999;
// Cosine and sine of the full-lock angle, 2200/4096 rad.
constexpr double kLockCos = 0.8591912702637754, kLockSin = 0.5116545329639131;

constexpr int kBarNear = 35, kBarFar = 60;

// Band tint: luma follows the video, chroma fixed (table index of U 19, V 74).
constexpr unsigned kTintChroma = 0x9CA;
constexpr unsigned kTintBright = 144, kTintLift = 112, kTintMax = 255;

// Rows above this one cannot reach the view; walking them only costs time.
constexpr long long kWalkFrom = -1024;
// Ground millimetres and view coordinates are held within these, so that
// integer products stay inside 64 bits.
constexpr double kGroundLimit = 1e8;
constexpr double kViewLimit = 1e6;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Work areas shared by the lines: the current left and right sample sets,
// their fits and the crossbar end points left by the back bands.
double guiji_lx[kLastSample + 1], guiji_ly[kLastSample + 1];
double guiji_rx[kLastSample + 1], guiji_ry[kLastSample + 1];
short l_len, r_len;
double a_l[10], a_r[10], jz_l, jz_r, dt[3];
double lx_1 = kNaN, ly_1 = kNaN, rx_1 = kNaN, ry_1 = kNaN;
double lx_3 = kNaN, ly_3 = kNaN, rx_3 = kNaN, ry_3 = kNaN;

// One line's samples (view column and row), its fit and its last sample index.
struct Set {
    double* col;
    double* row;
    double* a;
    double* jz;
    short* len;
};
const Set kLeftSet{guiji_lx, guiji_ly, a_l, &jz_l, &l_len};
const Set kRightSet{guiji_rx, guiji_ry, a_r, &jz_r, &r_len};

enum class View { front, back };

// Integer part of a finite value, held within +-limit.
long long whole(double v, double limit) { return static_cast<long long>(std::clamp(v, -limit, limit)); }

// Columns are kept as signed 16-bit values.
int to_column(double v) { return static_cast<int>(std::clamp(v, -32768.0, 32767.0)); }

// Signed turning radius of the centre line, mm; the centre of the turn lies
// on the +x side for a positive angle.
double turn_radius(short angle) {
    const double a = angle / 4096.0;
    return param_car.L * std::cos(a) / std::sin(a);
}

// Ground rows of the 61 samples and their lateral offsets on the circle of
// radius r0 about the turning centre (0 when straight). Gives the index of
// the last sample on the circle: past the circle's end there is no point.
int sample_path(View v, bool turning, double R, double r0, long long* ys, double* xs) {
    const long long LL = param_car.LL, S = param_car.S;
    const long long rear = FVLEN + LL;
    const long long y0 = v == View::front ? FVLEN - static_cast<long long>(FRONTBLANK) : rear + BACKBLANK;
    double y1;
    if (!turning) {
        y1 = static_cast<double>(v == View::front ? FVLEN - kReach : rear + kReach);
    } else if (v == View::front) {
        const double P = static_cast<double>(LL - S);
        const double t = std::sin((P + kReach) / R);
        y1 = static_cast<double>(rear) - std::sqrt((r0 * t) * (r0 * t) + P * P * t * t) - static_cast<double>(S);
    } else {
        y1 = r0 * std::sin((static_cast<double>(S) + kReach) / R) - static_cast<double>(S) +
             static_cast<double>(rear);
    }
    if (!std::isfinite(y1)) return -1;
    const long long span = whole(y1, kGroundLimit) - y0;
    const long long front_c = 2 * (static_cast<long long>(FRONTBLANK) + LL - S);
    for (int k = 0; k <= kLastSample; ++k) {
        ys[k] = y0 + static_cast<long long>(k) * k * span / kSampleSpan;
        if (!turning) {
            xs[k] = 0;
            continue;
        }
        long long q;
        if (v == View::front) {
            const long long t = ys[k] - y0;
            q = t * (t - front_c);
        } else {
            const long long t = ys[k] - rear + kBackPivot;
            q = t * (t + 2 * S);
        }
        const double Q = static_cast<double>(q);
        if (!(Q <= r0 * r0)) return k - 1;
        double x = Q / (2 * r0);
        for (int step = 0; step < 3; ++step) x = (x * x - Q) / (2 * (x - r0));
        if (!std::isfinite(x)) return k - 1;
        xs[k] = x;
    }
    return kLastSample;
}

// Ground point to (view row, view column) through the view's camera and crop.
bool project(View v, double gx, double gy, double& row, double& col) {
    const bool front = v == View::front;
    double xx, yy, py, px;
    b_bianhuan(gx, gy, &xx, &yy, front ? f_xishu : b_xishu);
    a_huanyuan(yy, xx, &py, &px, front ? flash_param.cf_param.sensor : flash_param.cb_param.sensor);
    if (front) {
        row = (py - f_center_y) / f_bili_y + kViewMidRow;
        col = (px - f_center_x) / f_bili_x + kViewMidCol;
    } else {
        row = (py - b_center_y) / b_bili_y + kViewMidRow;
        col = kViewMidCol - (px - b_center_x) / b_bili_x;  // mirrored
    }
    return std::isfinite(row) && std::isfinite(col);
}

// Projects samples 0..last, shifted by `offset` mm and the centre line, into
// the set; false when any of them has no finite view position.
bool project_set(View v, const Set& s, const long long* ys, const double* xs, int last, long long offset) {
    const long long cx = (static_cast<long long>(param_car.W) + 2LL * LRVLEN) >> 1;
    for (int k = 0; k <= last; ++k) {
        const double gx = xs[k] + static_cast<double>(offset) + static_cast<double>(cx);
        if (!project(v, gx, static_cast<double>(ys[k]), s.row[k], s.col[k])) return false;
    }
    *s.len = static_cast<short>(last);
    return true;
}

// The set's column as a polynomial of its row, over samples 0..n-1.
bool fit(const Set& s, int n) {
    pir1(s.row, s.col, n, s.a, kCoefs, dt, s.jz);
    if (!std::isfinite(*s.jz)) return false;
    return std::all_of(s.a, s.a + kCoefs, [](double c) { return std::isfinite(c); });
}

double poly(const double* a, double u) {
    double v = a[kCoefs - 1];
    for (int i = kCoefs - 2; i >= 0; --i) v = v * u + a[i];
    return v;
}

// Sets view columns lo..hi of a view row, clipped to the panel and canvas.
void put_run(std::uint32_t* img, long long row, long long lo, long long hi) {
    const long long y = kViewTop + row;
    if (row < 0 || row > kLastViewRow || y >= kCanvasH) return;
    lo = std::max({lo, 0LL, -static_cast<long long>(BVIEW_Left)});
    hi = std::min({hi, static_cast<long long>(kViewW - 1), static_cast<long long>(kCanvasW - 1 - BVIEW_Left)});
    if (lo > hi) return;
    std::uint32_t* base = img + y * kCanvasW + BVIEW_Left;
    std::fill(base + lo, base + hi + 1, kYellow);
}

// Draws a fitted line from its far row down to its near row. Each row's run
// reaches back to the previous row's column so the line has no gaps; the
// front lines end where they leave the view sideways.
void walk(std::uint32_t* img, const Set& s, int far, int side, int width, bool front) {
    const double far_row = std::trunc(s.row[far]), near_row = s.row[0];
    if (far_row > kLastViewRow) return;
    const double last = std::min(near_row, static_cast<double>(kLastViewRow));
    int p = side > 0 ? kStartFarRight : kStartFarLeft;
    for (long long r = far_row < kWalkFrom ? kWalkFrom : static_cast<long long>(far_row); r <= last; ++r) {
        const double v = poly(s.a, static_cast<double>(r) - *s.jz);
        if (std::isnan(v)) return;
        const int c = to_column(v);
        if (front && (side > 0 ? c > kViewW - 1 : c < 1)) return;
        const int d = side > 0 ? c - p : p - c;
        const int n = d > 0 ? d + width : width;
        if (r >= kFirstLineRow) {
            if (side > 0) put_run(img, r, c - n + 1, c);
            else put_run(img, r, c, c + n - 1);
        }
        p = c;
    }
}

// The sample whose row starts the drawing: the far end, or where the circle ended.
int far_sample(View v, int last) { return std::min(last, v == View::front ? kFarSampleFront : kFarSampleBack); }

// One body-edge line (side +1 right, -1 left) on the circle of radius R,
// or straight.
void edge_line(std::uint32_t* img, View v, int side, bool turning, double R, int width) {
    const long long D = (static_cast<long long>(param_car.W) + kEdgeMargin2) >> 1;
    const double r1 = turning ? R - static_cast<double>(side * D) : 0.0;
    long long ys[kLastSample + 1];
    double xs[kLastSample + 1];
    const int last = sample_path(v, turning, R, r1, ys, xs);
    if (last < 1) return;
    const Set& s = side > 0 ? kRightSet : kLeftSet;
    if (!project_set(v, s, ys, xs, last, side * D)) return;
    if (!fit(s, std::min(last + 1, kFitSamples))) return;
    walk(img, s, far_sample(v, last), side, width, v == View::front);
}

void edge_line(std::uint32_t* img, View v, int side, short angle, int width) {
    edge_line(img, v, side, angle != 0, angle != 0 ? turn_radius(angle) : 0.0, width);
}

std::uint32_t tint(std::uint32_t p, const std::uint32_t* yuv) {
    const unsigned lum = (((p >> 16) & 0xFFu) + ((p >> 8) & 0xFFu) + (p & 0xFFu)) / 3;
    const unsigned y = lum < kTintBright ? lum + kTintLift : kTintMax;
    return yuv[(y << 14) | kTintChroma];
}

// A crossbar end point; none past the circle's end.
void store_bar(const Set& inner, int last, int k, double& x, double& y) {
    x = k <= last ? inner.col[k] : kNaN;
    y = k <= last ? inner.row[k] : kNaN;
}

// One tyre-path band (side +1 right, -1 left): two edges sampled on one
// circle, filled on every other pair of rows with the brightness-following tint.
void band(std::uint32_t* img, View v, int side, short angle, const std::uint32_t* yuv) {
    const long long WW = param_car.WW;
    const long long ei = (WW - kBandWidth) >> 1, eo = (WW + kBandWidth) >> 1;
    const bool turning = angle != 0;
    const double R = turning ? turn_radius(angle) : 0.0;
    // The front right band follows its outer edge's circle, the others the track's.
    const long long shift = v == View::front && side > 0 ? eo : WW >> 1;
    const double r0 = turning ? R - static_cast<double>(side * shift) : 0.0;

    double* bar_x1 = side > 0 ? &rx_1 : &lx_1;
    double* bar_y1 = side > 0 ? &ry_1 : &ly_1;
    double* bar_x3 = side > 0 ? &rx_3 : &lx_3;
    double* bar_y3 = side > 0 ? &ry_3 : &ly_3;
    *bar_x1 = *bar_y1 = *bar_x3 = *bar_y3 = kNaN;

    long long ys[kLastSample + 1];
    double xs[kLastSample + 1];
    const int last = sample_path(v, turning, R, r0, ys, xs);
    if (last < 1) return;
    if (!project_set(v, kLeftSet, ys, xs, last, side > 0 ? ei : -eo)) return;
    if (!project_set(v, kRightSet, ys, xs, last, side > 0 ? eo : -ei)) return;
    if (v == View::back) {
        const Set& inner = side > 0 ? kLeftSet : kRightSet;
        store_bar(inner, last, kBarNear, *bar_x1, *bar_y1);
        store_bar(inner, last, kBarFar, *bar_x3, *bar_y3);
    }
    const int n = std::min(last + 1, kFitSamples);
    if (!yuv || !fit(kLeftSet, n) || !fit(kRightSet, n)) return;

    const int far = far_sample(v, last);
    const double first = std::trunc(std::max(guiji_ly[far], guiji_ry[far]));
    const double end = std::trunc(std::min(guiji_ly[0], guiji_ry[0]));
    if (first > kLastViewRow || end < 0) return;
    const int r0w = static_cast<int>(std::max(first, 0.0));
    const int r1w = static_cast<int>(std::min(end, static_cast<double>(kLastViewRow)));
    const long long cmin = std::max(0LL, -static_cast<long long>(BVIEW_Left));
    const long long cmax = std::min(static_cast<long long>(kViewW), static_cast<long long>(kCanvasW - BVIEW_Left));
    for (int r = r0w; r <= r1w; ++r) {
        if (r & 2) continue;  // stripes: two rows filled, two left
        const double u1 = poly(a_l, r - jz_l), u2 = poly(a_r, r - jz_r);
        if (std::isnan(u1) || std::isnan(u2)) continue;
        const long long c1 = std::max<long long>(to_column(u1), cmin);
        const long long c2 = std::min<long long>(to_column(u2), cmax);
        std::uint32_t* base = img + static_cast<long long>(kViewTop + r) * kCanvasW + BVIEW_Left;
        for (long long c = c1; c < c2; ++c) base[c] = tint(base[c], yuv);
    }
}

// A crossbar three rows thick between two view points, drawn only when the
// first lies left of the second.
void crossbar(std::uint32_t* img, double xa, double ya, double xb, double yb) {
    if (!std::isfinite(xa) || !std::isfinite(ya) || !std::isfinite(xb) || !std::isfinite(yb)) return;
    const long long x0 = whole(xa, kViewLimit), y0 = whole(ya, kViewLimit);
    const long long x1 = whole(xb, kViewLimit), y1 = whole(yb, kViewLimit);
    if (x0 > x1) return;
    const long long slope = x1 == x0 ? 0 : (y1 - y0) * 65536 / (x1 - x0);
    const long long c_end = std::min(x1, static_cast<long long>(kViewW - 1));
    for (long long c = std::max(x0, 0LL); c <= c_end; ++c) {
        const long long r = y0 + ((slope * (c - x0)) >> 16);
        if (r < kFirstLineRow || r > kLastViewRow) continue;
        for (long long rr = r - 1; rr <= r + 1; ++rr) put_run(img, rr, c, c);
    }
}

}  // namespace

void draw_guiji_fvl(std::uint32_t* pimage, short angle) { edge_line(pimage, View::front, -1, angle, kEdgeRun); }
void draw_guiji_fvr(std::uint32_t* pimage, short angle) { edge_line(pimage, View::front, +1, angle, kEdgeRun); }
void draw_guiji_bl(std::uint32_t* pimage, short angle) { edge_line(pimage, View::back, -1, angle, kEdgeRun); }
void draw_guiji_br(std::uint32_t* pimage, short angle) { edge_line(pimage, View::back, +1, angle, kEdgeRun); }
void draw_guiji_bl2(std::uint32_t* pimage, short angle) { edge_line(pimage, View::back, -1, angle, kLockRun); }
void draw_guiji_br2(std::uint32_t* pimage, short angle) { edge_line(pimage, View::back, +1, angle, kLockRun); }

void draw_guiji_fvl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    band(pimage, View::front, -1, angle, ptable_YUV2RGB);
}
void draw_guiji_fvr_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    band(pimage, View::front, +1, angle, ptable_YUV2RGB);
}
void draw_guiji_bl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    band(pimage, View::back, -1, angle, ptable_YUV2RGB);
}
void draw_guiji_br_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    band(pimage, View::back, +1, angle, ptable_YUV2RGB);
}

void draw_guiji_bc(std::uint32_t* pimage) {
    crossbar(pimage, lx_3, ly_3, rx_3, ry_3);
    crossbar(pimage, lx_1, ly_1, rx_1, ry_1);
}

void draw_guiji_f(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    draw_guiji_fvl(pimage, angle);
    draw_guiji_fvr(pimage, angle);
    draw_guiji_fvl_zurid(pimage, angle, ptable_YUV2RGB);
    draw_guiji_fvr_zurid(pimage, angle, ptable_YUV2RGB);
}

void draw_guiji_b_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    draw_guiji_bl(pimage, angle);
    draw_guiji_br(pimage, angle);
    draw_guiji_bl_zurid(pimage, angle, ptable_YUV2RGB);
    draw_guiji_br_zurid(pimage, angle, ptable_YUV2RGB);
    draw_guiji_bc(pimage);
    if (angle >= -kLockAngleLimit && angle <= kLockAngleLimit) {
        const double lock = param_car.L * kLockCos / kLockSin;
        edge_line(pimage, View::back, -1, true, -lock, kLockRun);
        edge_line(pimage, View::back, +1, true, lock, kLockRun);
    }
}
