// Guide lines of the bird's-eye view, the parking-sensor arcs and the
// distance scale marks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_fc.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_guiji.h"
#include "dsp/dsp_image.h"
#include "vio/settings.h"
#include "vio/vio.h"

std::uint16_t count_radar = 0;
short pos_r[12] = {}, pos_l[12] = {};
int r_center_x = 0, r_center_y = 0, l_center_x = 0, l_center_y = 0;

namespace {

constexpr int kCanvasW = 800, kCanvasH = 480;
constexpr int kAreaTop = 12, kAreaBottom = 467, kAreaRows = 456, kAreaCols = 290;
constexpr std::uint32_t kYellow = 0xFFF8E820u, kRed = 0xFFF00000u, kGreen = 0xFF00A600u;

// ------------------------------------------------------------ bird's-eye lines

// Scale of the bird's-eye area and the lateral offsets of the lines (mm).
struct Plan {
    int T, k, s, Cx, D, Ei, Eo;
    int axis;         // canvas column of the car's centre line
    int front, rear;  // canvas rows of the car's front and rear ends
};

std::optional<Plan> plan() {
    const int T = FVLEN + param_car.LL + BVLEN;
    const int wt = param_car.W + 2 * LRVLEN;
    if (T <= 0 || wt <= 0) return std::nullopt;
    Plan p{};
    p.T = T;
    p.k = 456000 / T;
    p.s = 290000 / wt;
    p.Cx = wt / 2;
    p.D = (param_car.W + 360) / 2;
    p.Ei = (param_car.WW - 220) / 2;
    p.Eo = (param_car.WW + 220) / 2;
    p.axis = FULLVIEW_Left + kAreaCols / 2;
    p.front = kAreaTop + FVLEN * kAreaRows / T;
    p.rear = kAreaTop + (FVLEN + param_car.LL) * kAreaRows / T;
    return p;
}

// Row where the reversing walks start, 550 mm ahead of the rear end.
int reverse_start(const Plan& p) { return p.rear - p.k * 550 / 1000; }
// Row of the edge of the front blind zone.
int front_start(const Plan& p) { return p.front - FRONTBLANK * kAreaRows / p.T; }

// Where the circle of a line lies along the walk: the line passes the
// reference row straight and turns about a point on a row of its own.
enum class Pivot { Rear, Front, Axle };

struct Member {
    int side;        // +1 right-hand lines, -1 left-hand lines
    bool band;       // with a wheel band
    bool rear_band;  // the band starts beyond the rear blind zone
    int first;       // canvas row of offset 0
    int rows;
    int dir;  // +1 down, -1 up
    int i0;   // row offset of the first row
    Pivot pivot;
};

constexpr double kLockCos = 0.8591912702637754, kLockSin = 0.5116545329639131;

double turn_radius(short angle) {
    const double a = angle / 4096.0;
    return param_car.L * std::cos(a) / std::sin(a);
}

// Lateral offset of a line of radius r1 at circle term q: the root of
// x^2 - 2 r1 x + q near 0 by three Newton steps; NaN past the circle's end,
// where there is no root and the steps would wander.
double offset(double r1, double q) {
    if (!(r1 * r1 >= q)) return NAN;
    double x = q / (2 * r1);
    for (int n = 0; n < 3; ++n) x = (x * x - q) / (2 * (x - r1));
    return x;
}

int column(const Plan& p, double X) { return p.axis + static_cast<int>(std::clamp(p.s * X / 1000.0, -1e6, 1e6)); }

void tint(std::uint32_t& px, const std::uint32_t* yuv) {
    const unsigned lum = ((px & 0xFF) + 2 * ((px >> 16) & 0xFF)) / 3;
    const unsigned y = lum < 144 ? lum + 112 : 255;
    px = yuv[(y << 14) | 0x9CA];
}

void walk(std::uint32_t* img, const Plan& p, const Member& m, double R, bool straight, const std::uint32_t* yuv) {
    if (!img || m.rows <= 0) return;
    const double S = param_car.S;
    const double P = FRONTBLANK + param_car.LL - param_car.S;
    const int blind = p.k * 550 / 1000 + BACKBLANK * kAreaRows / p.T;
    const int E[3] = {p.D, p.Ei, p.Eo};  // body edge, inner and outer band edge
    bool alive[3] = {true, m.band, m.band};
    // Only the rows on the canvas are walked.
    int j0, j1;
    if (m.dir > 0) {
        j0 = std::max(0, -m.first);
        j1 = std::min(m.rows, kCanvasH - m.first);
    } else {
        j0 = std::max(0, m.first - (kCanvasH - 1));
        j1 = std::min(m.rows, m.first + 1);
    }
    for (int j = j0; j < j1; ++j) {
        const int row = m.first + m.dir * j;
        const int i = m.i0 + j;
        const double y = m.dir * (i * 1000.0 / p.k);
        const double q = m.pivot == Pivot::Rear ? y * (y + 2 * S) : m.pivot == Pivot::Front ? y * (y - 2 * P) : y * y;
        double X[3] = {};
        for (int l = 0; l < 3; ++l) {
            if (!alive[l]) continue;
            const double x = straight ? 0.0 : offset(R - m.side * E[l], q);
            X[l] = x + m.side * E[l];
            if (!std::isfinite(X[l])) alive[l] = false;
        }
        const bool band = alive[1] && alive[2];
        if (!alive[0] && !band) return;
        // The walk ends where the lines leave the shown ground.
        if (m.band) {
            const double outward = m.side > 0 ? X[0] : -X[0];
            const double inward = m.side > 0 ? X[1] : -X[1];
            if ((alive[0] && outward >= p.Cx) || (alive[1] && inward <= -p.Cx)) return;
        } else if (X[0] <= -p.Cx || X[0] >= p.Cx) {
            return;
        }
        std::uint32_t* line = img + row * kCanvasW;
        if (alive[0]) {
            // 4 pixels from the edge towards the car's centre line.
            const int c = column(p, X[0]);
            const int a = m.side > 0 ? c - 3 : c;
            for (int x = std::max(a, 0); x <= std::min(a + 3, kCanvasW - 1); ++x) line[x] = kYellow;
        }
        if (band && yuv && (i & 2) == 0 && (!m.rear_band || i > blind)) {
            const double lo = std::min(X[1], X[2]), hi = std::max(X[1], X[2]);
            const double end = std::min<double>(p.axis + std::clamp(p.s * hi / 1000.0, -1e6, 1e6), kCanvasW);
            for (int x = std::max(column(p, lo), 0); x < end; ++x) tint(line[x], yuv);
        }
    }
}

// A member of the reversing (Rear) or forward walks with its own radius.
void member(std::uint32_t* img, short angle, int side, bool band, Pivot pivot, int first, int rows, int dir,
            const std::uint32_t* yuv, bool rear_band = false) {
    const auto p = plan();
    if (!p) return;
    walk(img, *p, {side, band, rear_band, first, rows, dir, 0, pivot}, turn_radius(angle), angle == 0, yuv);
}

int car_rows(const Plan& p) { return param_car.L * kAreaRows / p.T; }

// Full-lock curve on the last 60 rows, offsets counted from the reversing start.
void limit_curve(std::uint32_t* img, int side) {
    const auto p = plan();
    if (!p) return;
    constexpr int kFirst = kAreaBottom - 59;
    const double R = -side * param_car.L * kLockCos / kLockSin;
    walk(img, *p, {side, false, false, kFirst, 60, 1, kFirst - reverse_start(*p), Pivot::Rear}, R, false, nullptr);
}

// ------------------------------------------------------------ sensor arcs

struct Radar {
    std::int64_t ppm;
    int cx, rf, rb, quarter;  // quarter: px(LL / 4)
    int left, right;          // columns of the bird's-eye area, right not included
};

std::int64_t px_of(std::int64_t ppm, std::int64_t mm) { return ppm * mm / 1000; }

// One arc piece of radius R mm, n rows thick, for sensor k (1..4).
void arc(std::uint32_t* img, const Radar& g, int R, int n, bool rear, int k) {
    const int r = static_cast<std::int16_t>(px_of(g.ppm, R));
    const int r3 = r / 3, r23 = 2 * r / 3;
    const int from[4] = {g.cx - r23, g.cx - r3, g.cx, g.cx + r3};
    const int to[4] = {g.cx - r3, g.cx, g.cx + r3, g.cx + r23};
    const int x0 = std::max({from[k - 1], g.left, 0});
    const int x1 = std::min({to[k - 1], g.right, kCanvasW});
    for (int x = x0; x < x1; ++x) {
        const double dx = x - g.cx;
        const double d = std::sqrt(static_cast<double>(r) * r - dx * dx);
        const int row = rear ? static_cast<int>(g.rb + d - g.quarter) : static_cast<int>(g.rf + g.quarter - d);
        for (int t = 0; t < n; ++t) {
            const int y = rear ? row + t : row - t;
            if (y >= kAreaTop && y <= kAreaBottom) img[y * kCanvasW + x] = kRed;
        }
    }
}

// The pieces of one sensor at distance d (cm).
void sensor(std::uint32_t* img, const Radar& g, int d, bool rear, int k, bool classes) {
    const int far = rear ? 247 : 199;
    const int q = param_car.LL >> 2;
    if (d < 1 || d > far) return;
    if (!classes) {
        arc(img, g, q + 50 + 10 * d, 5, rear, k);
    } else if (d < 50) {
        arc(img, g, q + 450, 2, rear, k);
        arc(img, g, q + 300, 2, rear, k);
    } else if (d <= 60) {
        arc(img, g, q + 50 + 10 * d, 4, rear, k);
    } else {
        arc(img, g, q + 1000, 2, rear, k);
        arc(img, g, q + 800, 2, rear, k);
    }
}

// ------------------------------------------------------------ scale marks

constexpr double kNoImage = 1e9;
// The lens answers this for a point it does not see.
constexpr double kFarPixel = -10000.0;
constexpr double kSideScaleX = 1.2, kSideScaleY = 1.6;
constexpr int kSideCols = 458, kSideRows = 456, kSideTop = 12;
constexpr int kFrontCols = 476, kFrontRows = 336, kFrontTop = 72;
constexpr int kMaxSamples = 512;
constexpr int kMarkCoeffs = 5;

struct Pt {
    double col, row;
};

// Ground point (mm) to a camera pixel (row, column).
std::optional<Pt> camera_pixel(double X, double Y, const double* xishu, const Sensor_param& lens) {
    double xx, yy, py, px;
    b_bianhuan(X, Y, &xx, &yy, xishu);
    if (!(std::fabs(xx) < kNoImage && std::fabs(yy) < kNoImage)) return std::nullopt;
    a_huanyuan(yy, xx, &py, &px, lens);
    if (!std::isfinite(py) || !std::isfinite(px) || (py == kFarPixel && px == kFarPixel)) return std::nullopt;
    return Pt{px, py};
}

enum class View { Right, Left, Front };

std::optional<Pt> view_point(View v, double X, double Y) {
    const double* xishu = v == View::Right ? r_xishu : v == View::Left ? l_xishu : f_xishu;
    const Sensor_param& lens = v == View::Right  ? flash_param.cr_param.sensor
                               : v == View::Left ? flash_param.cl_param.sensor
                                                 : flash_param.cf_param.sensor;
    const auto c = camera_pixel(X, Y, xishu, lens);
    if (!c) return std::nullopt;
    Pt p{};
    // The side views show their camera turned by a quarter turn.
    if (v == View::Right) {
        p = {229 - (c->row - r_center_y) / kSideScaleX, 228 + (c->col - r_center_x) / kSideScaleY};
    } else if (v == View::Left) {
        p = {229 + (c->row - l_center_y) / kSideScaleX, 228 - (c->col - l_center_x) / kSideScaleY};
    } else {
        p = {(c->col - f_center_x) / f_bili_x + 238, (c->row - f_center_y) / f_bili_y + 168};
    }
    if (!std::isfinite(p.col) || !std::isfinite(p.row)) return std::nullopt;
    return p;
}

// View coordinates far outside any view, kept in int range.
int whole(double v) { return static_cast<int>(std::clamp(v, -1e5, 1e5)); }

// Samples of a mark and the polynomial fitted through them.
struct Fit {
    std::array<double, kMaxSamples> u{}, v{};  // independent, dependent
    int n = 0;
    double a[kMarkCoeffs] = {}, jz = 0;

    void add(double ui, double vi) {
        if (n < kMaxSamples) {
            u[n] = ui;
            v[n] = vi;
            ++n;
        }
    }
    bool solve() {
        if (n < 2) return false;
        double dt[3];
        pir1(u.data(), v.data(), n, a, kMarkCoeffs, dt, &jz);
        for (double c : a) {
            if (!std::isfinite(c)) return false;
        }
        return std::isfinite(jz);
    }
    double at(double w) const {
        double r = a[kMarkCoeffs - 1];
        for (int c = kMarkCoeffs - 2; c >= 0; --c) r = r * (w - jz) + a[c];
        return r;
    }
};

// Ground steps of one bird's-eye pixel from pixel `from` to `to` (mm, at
// `per_m` pixels a metre), thinned when they would not fit.
template <class F>
void steps(std::int64_t from, std::int64_t to, int per_m, F&& each) {
    if (per_m <= 0) return;
    const std::int64_t stride = (to - from) / (kMaxSamples - 1) + 1;
    for (std::int64_t j = from; j <= to; j += stride) each(static_cast<double>(j) * 1000.0 / per_m);
}

// Walk of a mark from its first sample's value towards its last one's, one
// pixel at a time; only the part within [lo, hi] can show.
template <class F>
void walk_mark(const Fit& f, int lo, int hi, bool to_last, F&& each) {
    const int first = std::clamp(whole(f.u[0]), lo - 1, hi + 1);
    const int last = std::clamp(whole(f.u[f.n - 1]), lo - 1, hi + 1);
    const int step = last >= first ? 1 : -1;
    for (int w = first; step > 0 ? (w < last || (to_last && w == last)) : (w > last || (to_last && w == last));
         w += step) {
        const double dep = f.at(w);
        if (std::isfinite(dep) && !each(w, whole(dep))) return;
    }
}

void set_entry(Image_table* t, int row, int col, std::uint32_t colour) {
    if (row < 0 || row >= TABLE_H || col < 0 || col >= TABLE_W) return;
    t[row * TABLE_W + col].pic_num = 0;
    t[row * TABLE_W + col].YUV_default = colour;
}

// One entry of a side-view mark, inside the side view only.
void side_put(Image_table* t, int row, int col, std::uint32_t colour) {
    if (row < 0 || row >= kSideRows || col < 0 || col >= kSideCols) return;
    set_entry(t, kSideTop + row, RVIEW_Left + col, colour);
}

// Lateral (across the car) or longitudinal side-view mark of a side.
void side_mark(Image_table* t, bool right, bool lateral) {
    const auto p = plan();
    if (!t || !p) return;
    const View v = right ? View::Right : View::Left;
    const int side = right ? LRVLEN + param_car.W : LRVLEN;
    const double out = right ? 250 : -250;
    const double y0 = FVLEN - 50;
    const auto corner = view_point(v, side + out, y0);
    if (!corner) return;
    Fit f;
    auto sample = [&](double X, double Y) {
        if (const auto q = view_point(v, X, Y)) lateral ? f.add(q->col, q->row) : f.add(q->row, q->col);
    };
    if (lateral) {
        const int from = right ? side : side - 1000;
        steps(px_of(p->s, from), px_of(p->s, from + 1000), p->s, [&](double X) { sample(X, y0); });
    } else {
        steps(px_of(p->k, FVLEN - 1000), px_of(p->k, FVLEN + 3000), p->k, [&](double Y) { sample(side + out, Y); });
    }
    if (!f.solve()) return;
    const int split = whole(lateral ? corner->col : corner->row);
    walk_mark(f, 1, lateral ? kSideCols - 1 : kSideRows - 1, false, [&](int w, int dep) {
        const int col = lateral ? w : dep, row = lateral ? dep : w;
        if (col < 1 || col > kSideCols - 1 || row < 1 || row > kSideRows - 1) return true;
        // Solid on the car's side of the corner, 4-pixel dashes beyond it.
        const bool solid = lateral ? (right ? w <= split : w >= split) : w >= split;
        if (!solid && (w & 4) == 0) return true;
        for (int e = 0; e < 4; ++e) {
            if (lateral)
                side_put(t, row - e, col, solid ? kYellow : kGreen);
            else
                side_put(t, row, right ? col - e : col + e, solid ? kYellow : kGreen);
        }
        return true;
    });
}

// Green segments along a body-edge line of the front view.
void front_mark(Image_table* t, bool right) {
    const auto p = plan();
    if (!t || !p) return;
    constexpr int kRef[12] = {150, 500, 700, 1000, 1300, 1500, 1700, 2000, 2300, 2500, 2700, 3000};
    short* pos = right ? pos_r : pos_l;
    const double X = p->Cx + (right ? p->D : -p->D);
    bool seen = true;
    for (int i = 0; i < 12; ++i) {
        const auto q = view_point(View::Front, X, FVLEN - kRef[i]);
        seen = seen && q;
        pos[i] = static_cast<short>(q ? std::clamp(q->row, -32768.0, 32767.0) : -32768);
    }
    if (!seen) return;
    Fit f;
    steps(px_of(p->k, FVLEN - 3000), px_of(p->k, FVLEN - FRONTBLANK), p->k, [&](double Y) {
        if (const auto q = view_point(View::Front, X, Y)) f.add(q->row, q->col);
    });
    if (!f.solve()) return;
    auto within = [&](int r, int a, int b) { return r >= std::min(pos[a], pos[b]) && r <= std::max(pos[a], pos[b]); };
    walk_mark(f, 1, kFrontRows - 1, true, [&](int r, int c) {
        if (!(within(r, 3, 0) || within(r, 7, 4) || within(r, 11, 8)) || r < 1 || r > kFrontRows - 1) return true;
        if (right ? c > kFrontCols : c < 0) return false;  // the line has left the view
        for (int e = 0; e < 4; ++e) {
            const int col = right ? c - e : c + e;
            if (col >= 0 && col < kFrontCols) set_entry(t, kFrontTop + r, BVIEW_Left + col, kGreen);
        }
        return true;
    });
}

}  // namespace

// ------------------------------------------------------------ entries

void draw_guiji_l(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    if (const auto p = plan()) {
        const int first = reverse_start(*p);
        member(pimage, angle, -1, true, Pivot::Rear, first, kAreaBottom - first + 1, 1, ptable_YUV2RGB, true);
    }
}

void draw_guiji_r(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    if (const auto p = plan()) {
        const int first = reverse_start(*p);
        member(pimage, angle, 1, true, Pivot::Rear, first, kAreaBottom - first + 1, 1, ptable_YUV2RGB, true);
    }
}

// The left curve is the left edge at full lock to the right, and the other way round.
void draw_guiji_lx(std::uint32_t* pimage, short) { limit_curve(pimage, -1); }
void draw_guiji_rx(std::uint32_t* pimage, short) { limit_curve(pimage, 1); }

void draw_guiji_fl(std::uint32_t* pimage, short angle) {
    if (angle <= 0) return;
    if (const auto p = plan())
        member(pimage, angle, -1, false, Pivot::Front, front_start(*p), car_rows(*p), 1, nullptr);
}

void draw_guiji_fr(std::uint32_t* pimage, short angle) {
    if (angle >= 0) return;
    if (const auto p = plan()) member(pimage, angle, 1, false, Pivot::Front, front_start(*p), car_rows(*p), 1, nullptr);
}

namespace {
int axle_start(const Plan& p) { return static_cast<int>(p.rear - std::int64_t{p.k} * (param_car.S + 550) / 1000); }
}  // namespace

void draw_guiji_qbl(std::uint32_t* pimage, short angle) {
    if (angle > 0) return;
    if (const auto p = plan()) member(pimage, angle, -1, false, Pivot::Axle, axle_start(*p), car_rows(*p), -1, nullptr);
}

void draw_guiji_qbr(std::uint32_t* pimage, short angle) {
    if (angle <= 0) return;
    if (const auto p = plan()) member(pimage, angle, 1, false, Pivot::Axle, axle_start(*p), car_rows(*p), -1, nullptr);
}

void draw_guiji_qfl(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    if (const auto p = plan()) {
        const int first = front_start(*p);
        member(pimage, angle, -1, true, Pivot::Front, first, first - kAreaTop, -1, ptable_YUV2RGB);
    }
}

void draw_guiji_qfr(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    if (const auto p = plan()) {
        const int first = front_start(*p);
        member(pimage, angle, 1, true, Pivot::Front, first, first - kAreaTop, -1, ptable_YUV2RGB);
    }
}

void draw_guiji_full(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    draw_guiji_l(pimage, angle, ptable_YUV2RGB);
    draw_guiji_r(pimage, angle, ptable_YUV2RGB);
    if (angle <= 199) draw_guiji_lx(pimage, angle);
    if (angle >= -199) draw_guiji_rx(pimage, angle);
    draw_guiji_fl(pimage, angle);
    draw_guiji_fr(pimage, angle);
}

void draw_guiji_qx(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB) {
    draw_guiji_qbl(pimage, angle);
    draw_guiji_qbr(pimage, angle);
    draw_guiji_qfl(pimage, angle, ptable_YUV2RGB);
    draw_guiji_qfr(pimage, angle, ptable_YUV2RGB);
    draw_guiji_lx(pimage, angle);
    draw_guiji_rx(pimage, angle);
}

void draw_radar(std::uint32_t* pimage, std::uint8_t mode, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3,
                std::uint8_t f4, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4,
                std::uint8_t flag) {
    // Blink: of every 17 calls the first 5 draw.
    const int next = count_radar + 1;
    if (next > 16) {
        count_radar = 0;
    } else {
        count_radar = static_cast<std::uint16_t>(next);
        if (next > 4) return;
    }
    const int total = FVLEN + param_car.LL + BVLEN;
    const int wt = param_car.W + 2 * LRVLEN;
    if (!pimage || total <= 0 || wt <= 0) return;
    Radar g{};
    g.ppm = 456000 / total;
    const int A = (145 * param_car.W + 23200) / wt;
    const int B = (290 * param_car.W + 46400) / -wt;
    g.cx = FULLVIEW_Left + A + ((B + kAreaCols) >> 1);
    g.rf = FVLEN * kAreaRows / total + kAreaTop;
    g.rb = (FVLEN + param_car.LL) * kAreaRows / total + kAreaTop;
    g.quarter = static_cast<int>(px_of(g.ppm, param_car.LL / 4));
    g.left = FULLVIEW_Left;
    g.right = FULLVIEW_Left + kAreaCols;
    const bool classes = mode == 1;
    const bool reverse = flag != 0;
    const std::uint8_t back[4] = {b1, b2, b3, b4}, front[4] = {f1, f2, f3, f4};
    if (reverse) {
        for (int k = 1; k <= 4; ++k) sensor(pimage, g, back[k - 1], true, k, classes);
    }
    for (int k = 1; k <= 4; ++k) {
        // In the class display the middle front sensors give way while reversing.
        if (classes && reverse && (k == 2 || k == 3)) continue;
        sensor(pimage, g, front[k - 1], false, k, classes);
    }
}

void draw_biaochi1_r2(Image_table* table) { side_mark(table, true, true); }
void draw_biaochi0_r2(Image_table* table) { side_mark(table, true, false); }
void draw_biaochi1_l2(Image_table* table) { side_mark(table, false, true); }
void draw_biaochi0_l2(Image_table* table) { side_mark(table, false, false); }
void draw_biaochi_fr(Image_table* table) { front_mark(table, true); }
void draw_biaochi_fl(Image_table* table) { front_mark(table, false); }
