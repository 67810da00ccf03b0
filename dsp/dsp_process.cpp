#include "dsp/dsp_process.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "vio/settings.h"
#include "vio/vio.h"

Zuobiao zzr = {171, 90, 171, 458, 456, 90, 456, 458, 0, 0, 0, 0, 0, 0, 0, 0};
Zuobiao zzl = {171, 0, 171, 368, 456, 0, 456, 368, 0, 0, 0, 0, 0, 0, 0, 0};
double rview_xishu[9] = {}, lview_xishu[9] = {}, rrview_xishu[9] = {}, llview_xishu[9] = {};
Sensor_param rsensor_param = {}, lsensor_param = {};

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kYellow = 0xFFF8E820u;
constexpr std::uint32_t kGreen = 0xFF00A600u;
// Source of a front or back pixel the camera cannot see: weights 0 make it dark.
constexpr std::uint32_t kDarkAddr = 6405;

constexpr std::uint16_t kPicFront = 0x42, kPicBack = 0x22, kPicLeft = 0x32, kPicRight = 0x52;
constexpr std::uint16_t kPicBackLeft = 0x71, kPicBackRight = 0x72, kPicFrontLeft = 0x73, kPicFrontRight = 0x74;
constexpr std::uint16_t kPicViewLeft = 0x14, kPicViewRight = 0x16;

constexpr int kAreaTop = 12, kAreaBottom = 467, kAreaRows = 456, kAreaCols = 290;
// Band of a corner blend: from 2h - kBandIn to 2h + kBandOut columns out of the car band.
constexpr int kBandIn = 72, kBandOut = 36;
// Half the car band's extra width over the car, mm (the band is W + 160).
constexpr int kCarMargin = 160;

// Side tables: the single side view and the two-side views.
constexpr int kViewW = 458, kViewH = 456;
constexpr int kPairW = 476, kPairH = 336, kHalfW = 235, kRightHalf = 241;

// The lens model and the transform answer 1e9 (or more) for points without an image.
constexpr double kNoImage = 1e9;

bool has_image(double u, double v) { return std::fabs(u) < kNoImage && std::fabs(v) < kNoImage; }

// Ground (mm) through a transform and a lens to a camera pixel strictly
// inside the frame, as the bilinear weights need.
bool to_camera(double gx, double gy, const double* xishu, const Sensor_param& lens, double* py, double* px) {
    double xx, yy;
    b_bianhuan(gx, gy, &xx, &yy, xishu);
    if (!has_image(xx, yy)) return false;
    a_huanyuan(yy, xx, py, px, lens);
    return *px > 0 && *px < CAM_W - 1 && *py > 0 && *py < CAM_H - 1;
}

void set_black(Image_table& e) {
    e.pic_num = 0;
    e.YUV_default = kBlack;
}

void set_colour(Image_table& e, std::uint32_t colour) {
    e.pic_num = 0;
    e.YUV_default = colour;
}

// A side camera's pixel, black when the camera does not see the point.
void put_side(Image_table& e, double gx, double gy, const double* xishu, const Sensor_param& lens,
              std::uint16_t pic) {
    double py, px;
    if (to_camera(gx, gy, xishu, lens, &py, &px)) {
        e.pic_num = pic;
        cul_bili(py, px, &e.Addr_Y, &e.ybili);
    } else {
        set_black(e);
    }
}

// A front or back camera's pixel after the lateral correction, dark when unseen.
void put_end(Image_table& e, double gx, double gy, const double* xishu, const Sensor_param& lens,
             std::uint16_t pic) {
    double xc, py, px;
    tiaozheng(gx, gy, &xc);
    e.pic_num = pic;
    if (to_camera(xc, gy, xishu, lens, &py, &px)) {
        cul_bili(py, px, &e.Addr_Y, &e.ybili);
    } else {
        e.Addr_Y = kDarkAddr;
        e.ybili = Y_bili{0, 0, 0, 0};
    }
}

// Weight of the front or back source at distance d from the car band, h rows
// from the end row: a half cosine across the band, 255 at the inner edge.
std::uint16_t blend_weight(long long h, long long d) {
    const long long a = std::min(((2 * h + kBandOut - d) * 64) / 143, h);
    const long long b = std::min(((d - 2 * h + kBandIn) * 64) / 143, d);
    // Only the first back row at the band's very edge has a = b = 0: it lies on the inner edge.
    if (a + b <= 0) return 255;
    const double w = 127 * std::cos(3.1416 * static_cast<double>(b) / static_cast<double>(a + b)) + 128;
    return static_cast<std::uint16_t>(static_cast<int>(w) & 255);
}

// The bird's-eye area's geometry; rows and columns are clipped to the area
// and the table so that no setting makes a builder write elsewhere.
struct Layout {
    int T, span;           // ground length and width shown, mm
    int left;              // first column of the area
    int col0, col1;        // columns walked (area within the table)
    int cl, cr;            // car band: first column, first column after it
    int front_row, rear_row;
    int rf, rb;            // end rows of the front and back cameras

    double ground_y(int row) const { return static_cast<double>(row - kAreaTop) * T / kAreaRows; }
    double ground_x(int col) const { return static_cast<double>(col - left) * span / kAreaCols; }
    // Distance from the car band in columns, <= 0 inside it.
    int dist(int col) const { return std::max(cl - col, col - cr); }
};

std::optional<Layout> layout() {
    Layout l{};
    l.T = FVLEN + param_car.LL + BVLEN;
    l.span = param_car.W + 2 * LRVLEN;
    if (l.T <= 0 || l.span <= 0) return std::nullopt;
    l.left = FULLVIEW_Left;
    l.col0 = std::max(l.left, 0);
    l.col1 = std::min(l.left + kAreaCols - 1, TABLE_W - 1);
    const int carcols = kAreaCols * (param_car.W + kCarMargin) / l.span;
    l.cl = l.left + (kAreaCols - carcols) / 2;
    l.cr = l.cl + carcols;
    l.front_row = kAreaTop + kAreaRows * FVLEN / l.T;
    l.rear_row = kAreaTop + kAreaRows * (FVLEN + param_car.LL) / l.T;
    l.rf = l.front_row - flash_param.im_param.fblank;
    l.rb = l.rear_row + flash_param.im_param.bblank;
    return l;
}

int clip_row(int row) { return std::clamp(row, kAreaTop, kAreaBottom + 1); }

// One side quadrant: the columns beyond the car band outside the lines that
// leave the band's corners at 2 columns per row.
void build_side(Image_table* table, bool right) {
    const auto L = layout();
    if (!table || !L) return;
    const double* xishu = right ? r_xishu : l_xishu;
    const Sensor_param lens = right ? flash_param.cr_param.sensor : flash_param.cl_param.sensor;
    const int c0 = right ? std::max(L->cr, L->col0) : L->col0;
    const int c1 = right ? L->col1 : std::min(L->cl - 1, L->col1);
    for (int row = kAreaTop; row <= kAreaBottom; ++row) {
        const double gy = L->ground_y(row);
        for (int col = c0; col <= c1; ++col) {
            const int d = right ? col - L->cr : L->cl - col;
            if (d < 2 * (L->rf - row) || d < 2 * (row - L->rb)) continue;
            put_side(table[row * TABLE_W + col], L->ground_x(col), gy, xishu, lens, right ? kPicRight : kPicLeft);
        }
    }
}

// The front (or back) camera's part: its own region with the corner blends,
// then the blind-zone rows next to the car within the car band.
void build_end(Image_table* table, bool front) {
    const auto L = layout();
    if (!table || !L) return;
    const double* xishu = front ? f_xishu : b_xishu;
    const Sensor_param lens = front ? flash_param.cf_param.sensor : flash_param.cb_param.sensor;
    const Sensor_param lens_l = flash_param.cl_param.sensor, lens_r = flash_param.cr_param.sensor;
    const std::uint16_t pic = front ? kPicFront : kPicBack;
    const int r0 = front ? kAreaTop : clip_row(L->rb), r1 = front ? clip_row(L->rf) : kAreaBottom + 1;
    for (int row = r0; row < r1; ++row) {
        const int h = front ? L->rf - row : row - L->rb;
        const double gy = L->ground_y(row);
        for (int col = L->col0; col <= L->col1; ++col) {
            const int d = L->dist(col);
            if (d > 2 * h + kBandOut) continue;
            Image_table& e = table[row * TABLE_W + col];
            const double gx = L->ground_x(col);
            put_end(e, gx, gy, xishu, lens, pic);
            const bool left_side = col < L->cl;
            if (d < 2 * h - kBandIn || !(left_side || col >= L->cr)) continue;
            // The side camera's source goes second; the entry keeps this pass's first source.
            double py, px;
            if (!to_camera(gx, gy, left_side ? l_xishu : r_xishu, left_side ? lens_l : lens_r, &py, &px)) continue;
            e.pic_num = front ? (left_side ? kPicFrontLeft : kPicFrontRight)
                              : (left_side ? kPicBackLeft : kPicBackRight);
            cul_bili(py, px, &e.Addr_Y2, &e.ybili2);
            e.qz = blend_weight(h, d);
        }
    }
    const int b0 = front ? clip_row(L->rf) : clip_row(L->rear_row);
    const int b1 = front ? clip_row(L->front_row) : clip_row(L->rb);
    const int c0 = std::max(L->cl, L->col0), c1 = std::min(L->cr - 1, L->col1);
    for (int row = b0; row < b1; ++row) {
        const double gy = L->ground_y(row);
        for (int col = c0; col <= c1; ++col) put_end(table[row * TABLE_W + col], L->ground_x(col), gy, xishu, lens, pic);
    }
}

// ---- side views

struct Chain {
    const double* view;       // panel to ground
    const double* cam;        // ground to the shifted lens's plane
    const Sensor_param* lens;
    std::uint16_t pic;
};

Chain right_chain() { return {rview_xishu, rrview_xishu, &rsensor_param, kPicViewRight}; }
Chain left_chain() { return {lview_xishu, llview_xishu, &lsensor_param, kPicViewLeft}; }

void put_view(Image_table& e, double x, double y, const Chain& c) {
    double gx, gy;
    b_bianhuan(x, y, &gx, &gy, c.view);
    if (!has_image(gx, gy)) return set_black(e);
    put_side(e, gx, gy, c.cam, *c.lens, c.pic);
}

// Moves the lens copy's centre outward until the panel's outer top corner G
// lies on the outer side of the optical axis, within a bounded range.
void shift_centre(bool right, double gx, double gy) {
    Sensor_param& lens = right ? rsensor_param : lsensor_param;
    const Cali_pos& pos = right ? flash_param.cr_param.pos : flash_param.cl_param.pos;
    const Zuobiao& ground = right ? zuobiao_r : zuobiao_l;
    double* xishu = right ? rrview_xishu : llview_xishu;
    constexpr int kStep = 5, kRightStop = 589, kLeftStop = 691;
    int centre = lens.center_x;
    for (;;) {
        Zuobiao marks{};
        a_jiaozheng(pos.y1, pos.x1, &marks.y1, &marks.x1, lens);
        a_jiaozheng(pos.y2, pos.x2, &marks.y2, &marks.x2, lens);
        a_jiaozheng(pos.y3, pos.x3, &marks.y3, &marks.x3, lens);
        a_jiaozheng(pos.y4, pos.x4, &marks.y4, &marks.x4, lens);
        b_jiefcz(&ground, &marks, xishu);
        double xx, yy;
        b_bianhuan(gx, gy, &xx, &yy, xishu);
        if (right)
            std::printf("%f %f*******test\n", xx, yy);
        else
            std::printf("%f %f*******testl\n", xx, yy);
        if (right ? xx < 0 : xx > 0) break;
        centre += right ? -kStep : kStep;
        lens.center_x = static_cast<std::int16_t>(
            std::clamp(centre, int{std::numeric_limits<std::int16_t>::min()}, int{std::numeric_limits<std::int16_t>::max()}));
        if (right ? centre <= kRightStop : centre >= kLeftStop) break;
    }
}

void prepare_side(bool right) {
    if (right) {
        rsensor_param = flash_param.cr_param.sensor;
        zzr = Zuobiao{171, 90, 171, 458, 456, 90, 456, 458, 0, 0, 0, 0, 0, 0, 0, 0};
        b_jiefcz(&zzr, &zuobiao_rview, rview_xishu);
    } else {
        lsensor_param = flash_param.cl_param.sensor;
        zzl = Zuobiao{171, 0, 171, 368, 456, 0, 456, 368, 0, 0, 0, 0, 0, 0, 0, 0};
        b_jiefcz(&zzl, &zuobiao_lview, lview_xishu);
    }
    double gx, gy;
    b_bianhuan(right ? 0 : kViewW, 0, &gx, &gy, right ? rview_xishu : lview_xishu);
    shift_centre(right, gx, gy);
    const bool marks = flash_param.im_param.close_etc & 1;
    if (right) {
        (marks ? mt_right_bk : mt_right_bk2)(tabler);
        mt_lrr_bk(tablelr);
        mt_lrr2_bk(tablelr2);
    } else {
        (marks ? mt_left_bk : mt_left_bk2)(tablel);
        mt_lrl_bk(tablelr);
        mt_lrl2_bk(tablelr2);
    }
}

void build_perspective(Image_table* t, const Chain& c) {
    for (int y = 0; y < kViewH; ++y)
        for (int x = 0; x < kViewW; ++x) put_view(t[y * kViewW + x], x, y, c);
}

// Top-down window: ground Y = y0 + i * ylen / 456, X = x0 + j * 2500 / 458.
void build_topdown(Image_table* t, bool right) {
    const double* xishu = right ? r_xishu : l_xishu;
    const Sensor_param lens = right ? flash_param.cr_param.sensor : flash_param.cl_param.sensor;
    const int x0 = right ? LRVLEN + param_car.W - 500 : LRVLEN - 2000;
    for (int i = 0; i < kViewH; ++i) {
        const int gy = FVLEN - 1300 + (i * 3900) / kViewH;
        for (int j = 0; j < kViewW; ++j)
            put_side(t[i * kViewW + j], x0 + (j * 2500) / kViewW, gy, xishu, lens,
                     right ? kPicViewRight : kPicViewLeft);
    }
    // Dashed reference: the car's front edge and a line about 250 mm out.
    const int h0 = right ? 92 : 321, h1 = right ? 136 : 365, v0 = right ? 137 : 320;
    for (int row = 152; row <= 155; ++row)
        for (int col = h0; col <= h1; ++col)
            if (col & 4) set_colour(t[row * kViewW + col], kYellow);
    for (int row = 156; row < kViewH; ++row)
        if (row & 4)
            for (int col = v0; col < v0 + 4; ++col) set_colour(t[row * kViewW + col], kYellow);
}

void blacken_pair(Image_table* t, int c0, int c1) {
    for (int i = 0; i < kPairH; ++i)
        for (int c = c0; c <= c1; ++c) set_black(t[i * kPairW + c]);
}

void build_pair_perspective(Image_table* t, bool right) {
    const Chain c = right ? right_chain() : left_chain();
    const int first = right ? kRightHalf : 0;
    for (int i = 0; i < kPairH; ++i) {
        const int y = (i * kViewH) / kPairH;
        for (int col = 0; col < kHalfW; ++col) put_view(t[i * kPairW + first + col], (col * kViewW) / kHalfW, y, c);
    }
}

void build_pair_topdown(Image_table* t, bool right) {
    const double* xishu = right ? r_xishu : l_xishu;
    const Sensor_param lens = right ? flash_param.cr_param.sensor : flash_param.cl_param.sensor;
    const int first = right ? kRightHalf : 0;
    const int x0 = right ? LRVLEN + param_car.W - 500 : LRVLEN - 1200;
    for (int i = 0; i < kPairH; ++i) {
        const int gy = FVLEN + (param_car.LL * i) / kPairH;
        for (int col = 0; col < kHalfW; ++col)
            put_side(t[i * kPairW + first + col], x0 + (col * 1700) / kHalfW, gy, xishu, lens,
                     right ? kPicViewRight : kPicViewLeft);
    }
    // Dashes about 250 mm outside the car's side.
    const int d0 = right ? 344 : 131;
    for (int row = 1; row < kPairH; ++row)
        if (row & 4)
            for (int col = d0; col < d0 + 4; ++col) set_colour(t[row * kPairW + col], kYellow);
}

// ---- distance scale marks

struct PanelPoint {
    long long row, col;
};

// Ground points to panel positions through the inverse of the view's panel transform.
class Marker {
public:
    explicit Marker(bool right) : ok_(b_jiefcz(right ? &zuobiao_rview : &zuobiao_lview, right ? &zzr : &zzl, m_) == 0) {}

    std::optional<PanelPoint> at(double gx, double gy) const {
        if (!ok_) return std::nullopt;
        double c, r;
        b_bianhuan(gx, gy, &c, &r, m_);
        if (!has_image(c, r)) return std::nullopt;
        return PanelPoint{static_cast<long long>(r), static_cast<long long>(c)};
    }

private:
    double m_[9] = {};
    bool ok_;
};

long long clip(long long v, long long lo, long long hi) { return std::clamp(v, lo, hi); }

// Columns [c0, c1) of rows row..row+3, bit-2 columns only.
void mark_row(Image_table* t, long long row, long long c0, long long c1, std::uint32_t colour) {
    for (long long r = clip(row, 0, kViewH); r < clip(row + 4, 0, kViewH); ++r)
        for (long long c = clip(c0, 0, kViewW); c < clip(c1, 0, kViewW); ++c)
            if (c & 4) set_colour(t[r * kViewW + c], colour);
}

// The line 250 mm outside the car's side, 4 entries wide on bit-2 rows:
// green ahead of the car, yellow along it.
void draw_line_mark(Image_table* t, bool right) {
    if (!t) return;
    const Marker m(right);
    const double x = right ? LRVLEN + param_car.W + 250 : LRVLEN - 250;
    const auto a = m.at(x, FVLEN - 2000), b = m.at(x, FVLEN - 50), cg = m.at(x, FVLEN + 2000);
    if (!a || !b || !cg || b->row == cg->row) return;
    auto draw = [&](long long r0, long long r1, std::uint32_t colour) {
        for (long long row = clip(r0, 0, kViewH); row < clip(r1, 0, kViewH); ++row) {
            if (!(row & 4)) continue;
            const long long col = (row - cg->row) * (b->col - cg->col) / (b->row - cg->row) + cg->col;
            for (long long c = clip(col, 0, kViewW); c < clip(col + 4, 0, kViewW); ++c) set_colour(t[row * kViewW + c], colour);
        }
    };
    draw(a->row, b->row, kGreen);
    draw(b->row, kViewH, kYellow);
}

// The strip 250 mm wide beside the car yellow, the metre beyond it green,
// 50 mm ahead of the car's front.
void draw_row_mark(Image_table* t, bool right) {
    if (!t) return;
    const Marker m(right);
    const double y = FVLEN - 50;
    const double side = right ? LRVLEN + param_car.W : LRVLEN;
    const double s = right ? 1 : -1;
    const auto p0 = m.at(side, y), p1 = m.at(side + s * 250, y), p2 = m.at(side + s * 1250, y);
    if (!p0 || !p1 || !p2) return;
    if (right) {
        mark_row(t, p1->row, p0->col, p1->col, kYellow);
        mark_row(t, p1->row, p1->col, p2->col, kGreen);
    } else {
        mark_row(t, p1->row, p2->col, p1->col, kGreen);
        mark_row(t, p1->row, p1->col, p0->col, kYellow);
    }
}

}  // namespace

void tiaozheng(double x, double y, double* xx) {
    const int K = LRVLEN + param_car.W / 2;
    const La_xs& f = y > param_car.LL + FVLEN - 1000 ? la_xsb : la_xsf;
    const double lo = K - 1500, hi = K + 1500;
    if (x < lo)
        *xx = lo - (lo - x) * f.xs_l;
    else if (x > hi)
        *xx = hi + (x - hi) * f.xs_r;
    else
        *xx = x;
}

void mt_fleft(Image_table* table) {
    build_side(table, false);
    prepare_side(false);
}

void mt_fright(Image_table* table) {
    build_side(table, true);
    prepare_side(true);
}

void mt_ftop(Image_table* table) { build_end(table, true); }

void mt_fbottom(Image_table* table) {
    const auto L = layout();
    if (!L || L->rb > kAreaBottom) return;
    build_end(table, false);
}

void mt_right_bk(Image_table* t) {
    if (!t) return;
    build_perspective(t, right_chain());
    draw_biaochi0_r(t);
    draw_biaochi1_r(t);
}

void mt_left_bk(Image_table* t) {
    if (!t) return;
    build_perspective(t, left_chain());
    draw_biaochi0_l(t);
    draw_biaochi1_l(t);
}

void mt_right_bk2(Image_table* t) {
    if (t) build_topdown(t, true);
}

void mt_left_bk2(Image_table* t) {
    if (t) build_topdown(t, false);
}

void mt_lrl_bk(Image_table* t) {
    if (!t) return;
    blacken_pair(t, 0, kPairW - 1);
    build_pair_perspective(t, false);
}

void mt_lrr_bk(Image_table* t) {
    if (!t) return;
    // The gap between the halves is black whichever half is built first.
    blacken_pair(t, kHalfW, kRightHalf - 1);
    build_pair_perspective(t, true);
}

void mt_lrl2_bk(Image_table* t) {
    if (!t) return;
    blacken_pair(t, 0, kPairW - 1);
    build_pair_topdown(t, false);
}

void mt_lrr2_bk(Image_table* t) {
    if (!t) return;
    blacken_pair(t, kHalfW, kRightHalf - 1);
    build_pair_topdown(t, true);
}

void draw_biaochi0_r(Image_table* t) { draw_line_mark(t, true); }
void draw_biaochi1_r(Image_table* t) { draw_row_mark(t, true); }
void draw_biaochi0_l(Image_table* t) { draw_line_mark(t, false); }
void draw_biaochi1_l(Image_table* t) { draw_row_mark(t, false); }
