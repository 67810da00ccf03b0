#include "dsp/dsp_biaoding.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_tubiao.h"

La_xs la_xsf = {1.0, 1.0};
La_xs la_xsb = {1.0, 1.0};

namespace {

// The ground x of the near-row outer marks 7 and 8; false when the solve fails.
bool outer_marks(const Zuobiao* zzz, const Zuobiao* dimian, double& x7, double& x8) {
    double to_ground[9];
    if (b_jiefcz(zzz, dimian, to_ground) != 0) return false;
    double y;
    b_bianhuan(zzz->x7, zzz->y7, &x7, &y, to_ground);
    b_bianhuan(zzz->x8, zzz->y8, &x8, &y, to_ground);
    return std::isfinite(x7) && std::isfinite(x8);
}

// The 1500 mm columns either side of the centre line.
double left_column() { return LRVLEN - 1500 + param_car.W / 2; }
double right_column() { return LRVLEN + param_car.W / 2 + 1500; }

void store(La_xs* la_xs, double l, double r) {
    if (!std::isfinite(l) || !std::isfinite(r)) return;
    la_xs->xs_l = l;
    la_xs->xs_r = r;
}

}  // namespace

void cul_xs_f(const Zuobiao* zzz, const Zuobiao* dimian, La_xs* la_xs) {
    double x7, x8;
    if (outer_marks(zzz, dimian, x7, x8)) store(la_xs, (left_column() - x7) / 1000, (x8 - right_column()) / 1000);
}

void cul_xs_b(const Zuobiao* zzz, const Zuobiao* dimian, La_xs* la_xs) {
    double x7, x8;
    // The back camera's point 7 lies on the car's right.
    if (outer_marks(zzz, dimian, x7, x8)) store(la_xs, (left_column() - x8) / 1000, (x7 - right_column()) / 1000);
}

namespace {

constexpr int kMarkW = 1280, kMarkH = 720;
constexpr std::uint32_t kMarkerGreen = 0xFF10B010;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000;

// Camera entries without gain, by direction.
std::uint16_t raw_pic(int dir) {
    switch (dir) {
    case 1: return 0x10;
    case 2: return 0x14;
    case 4: return 0x16;
    case 8: return 0x12;
    default: return 0;
    }
}

std::int16_t* marks_of(Cali_pos& p) { return &p.y1; }
double* points_of(Zuobiao& z) { return &z.y1; }
const double* points_of(const Zuobiao& z) { return &z.y1; }

const Sensor_param* lens_of(const Flash_param& param, int dir) {
    switch (dir) {
    case 1: return &param.cb_param.sensor;
    case 2: return &param.cl_param.sensor;
    case 4: return &param.cr_param.sensor;
    case 8: return &param.cf_param.sensor;
    default: return nullptr;
    }
}

int mark_count(int dir) { return dir == 1 || dir == 8 ? 8 : dir == 2 || dir == 4 ? 6 : 0; }

std::int16_t clamp16(long long v, int lo, int hi) { return static_cast<std::int16_t>(std::clamp<long long>(v, lo, hi)); }

double centre_x() { return LRVLEN + param_car.W / 2; }
double rear_y() { return FVLEN + param_car.LL; }
double side_span() { return param_car.LL + 3000.0; }

// Ground point (x, y) of preview entry (r, c) for the camera, in mm.
bool preview_ground(int dir, int r, int c, double& x, double& y) {
    switch (dir) {
    case 8:
        y = FVLEN - 3000.0 + 10.0 * (r - 65);
        x = centre_x() + 10.0 * (c - 400);
        return true;
    case 1:
        y = rear_y() + 3000.0 - 10.0 * (r - 65);
        x = centre_x() + 10.0 * (c - 400);
        return true;
    case 2:
        x = centre_x() - 3500.0 + 10.0 * (r - 90);
        y = param_car.LL + FVLEN + 1500.0 - (c - 50) * side_span() / 700;
        return true;
    case 4:
        x = centre_x() + 3500.0 - 10.0 * (r - 90);
        y = FVLEN - 1500.0 + (c - 50) * side_span() / 700;
        return true;
    default: return false;
    }
}

}  // namespace

Cali_pos clamp_marks(Cali_pos pos) {
    std::int16_t* m = marks_of(pos);
    for (int i = 0; i < 8; ++i) {
        m[2 * i] = clamp16(m[2 * i], MARK_MIN, MARK_MAX_Y);
        m[2 * i + 1] = clamp16(m[2 * i + 1], MARK_MIN, MARK_MAX_X);
    }
    return pos;
}

void set_pos(Cali_pos* temp_pos, int cali_dir) {
    std::int16_t* m = marks_of(*temp_pos);
    auto put = [m](int k, long long y, long long x) {
        m[2 * (k - 1)] = clamp16(y, MARK_MIN, MARK_MAX_Y);
        m[2 * (k - 1) + 1] = clamp16(x, MARK_MIN, MARK_MAX_X);
    };
    if (cali_dir == 1 || cali_dir == 8) {
        put(1, 206, 400);
        put(2, 206, 880);
        put(3, 393, 400);
        put(4, 393, 880);
        put(5, 206, 640);
        put(6, 393, 640);
        const La_xs& la = cali_dir == 1 ? la_xsb : la_xsf;
        // Factors far off (or undefined) must not throw the marks off the picture.
        auto column = [](double v) {
            return std::isfinite(v) ? static_cast<long long>(std::clamp(v, -1e6, 1e6)) : 640LL;
        };
        put(7, 393, column((250 - 100 * la.xs_l) * 1279 / 799));
        put(8, 393, column((550 + 100 * la.xs_r) * 1279 / 799));
    } else if (cali_dir == 2 || cali_dir == 4) {
        const long long span = param_car.LL + 3000LL;
        auto column = [span](long long p) { return (700 * p / span + 50) * 1279 / 799; };
        const long long p1 = 1000, p2 = param_car.LL + 2000LL, p5 = param_car.LL / 2 + 1500LL;
        put(1, 237, column(p1));
        put(2, 237, column(p2));
        put(3, 362, column(p1));
        put(4, 362, column(p2));
        put(5, 237, column(p5));
        put(6, 362, column(p5));
    }
}

void mt_view(Image_table* table, int dir, std::int16_t y, std::int16_t x) {
    const std::uint16_t pic = raw_pic(dir);
    for (int i = 0; i < 120; ++i) {
        const float ys = static_cast<float>(i) * 0.25f + static_cast<float>(y) - 15;
        for (int j = 0; j < 120; ++j) {
            const float xs = static_cast<float>(j) * 0.25f + static_cast<float>(x) - 15;
            Image_table& e = table[i * TABLE_W + 300 + j];
            e.pic_num = pic;
            if (xs > 4.0f && xs < 1276.0f && ys > 2.0f && ys < 718.0f) {
                cul_bili(ys, xs, &e.Addr_Y, &e.ybili);
            } else {
                e.ybili = {0, 0, 0, 0};
                // Even unweighted, the four neighbours are read: keep them in the picture.
                if (e.Addr_Y >= static_cast<std::uint32_t>((kMarkH - 1) * kMarkW - 1)) e.Addr_Y = 0;
            }
        }
    }
    auto marker = [table](int r, int c) {
        table[r * TABLE_W + c].pic_num = 0;
        table[r * TABLE_W + c].YUV_default = kMarkerGreen;
    };
    for (int r = 58; r <= 62; ++r)
        for (int c = 358; c <= 362; ++c) marker(r, c);
    marker(57, 360);
    marker(63, 360);
    marker(60, 357);
    marker(60, 363);
}

void mt_test(Image_table* table, const double* xishu, int dir, Flash_param param) {
    init_table(table);
    const Sensor_param* lens = lens_of(param, dir);
    if (!lens) return;
    const bool side = dir == 2 || dir == 4;
    const int r0 = side ? 90 : 65, r1 = side ? 389 : 414;
    const std::uint16_t pic = raw_pic(dir);
    for (int r = r0; r <= r1; ++r)
        for (int c = 50; c <= 749; ++c) {
            double gx = 0, gy = 0, ux, uy, py, px;
            preview_ground(dir, r, c, gx, gy);
            b_bianhuan(gx, gy, &ux, &uy, xishu);
            a_huanyuan(uy, ux, &py, &px, *lens);
            Image_table& e = table[r * TABLE_W + c];
            if (px > 4 && px < 1276 && py > 4 && py < 716) {
                cul_bili(py, px, &e.Addr_Y, &e.ybili);
                e.pic_num = pic;
            } else {
                e.pic_num = 0;
                e.YUV_default = kOpaqueBlack;
            }
        }
}

void bh(Cali_pos pos, Zuobiao* zb, const double* xishu, int dir) {
    // The preview shows the back camera's picture mirrored.
    static constexpr int kBackPoint[8] = {2, 1, 4, 3, 5, 6, 8, 7};
    const int n = mark_count(dir);
    const std::int16_t* m = marks_of(pos);
    double* out = points_of(*zb);
    for (int k = 0; k < n; ++k) {
        const long long xs = 799LL * m[2 * k + 1] / 1279;
        const long long ys = 575LL * m[2 * k] / 719 - 90;
        double gx = 0, gy = 0;
        preview_ground(dir, static_cast<int>(ys + 90), static_cast<int>(xs), gx, gy);
        const int point = dir == 1 ? kBackPoint[k] : k + 1;
        double ux, uy;
        b_bianhuan(gx, gy, &ux, &uy, xishu);
        out[2 * (point - 1)] = uy;
        out[2 * (point - 1) + 1] = ux;
    }
}

void huanyuan_pos(const Zuobiao* zzz, Cali_pos* temp_pos, int dir, Flash_param param) {
    const Sensor_param* lens = lens_of(param, dir);
    if (!lens) return;
    const int n = mark_count(dir);
    const double* p = points_of(*zzz);
    std::int16_t* m = marks_of(*temp_pos);
    for (int k = 0; k < n; ++k) {
        double y, x;
        a_huanyuan(p[2 * k], p[2 * k + 1], &y, &x, *lens);
        m[2 * k] = quzheng(y);
        m[2 * k + 1] = quzheng(x);
    }
}

std::int16_t quzheng(double x) {
    if (std::isnan(x)) return 0;
    constexpr double lo = std::numeric_limits<std::int16_t>::min(), hi = std::numeric_limits<std::int16_t>::max();
    if (x <= lo) return std::numeric_limits<std::int16_t>::min();
    if (x >= hi) return std::numeric_limits<std::int16_t>::max();
    const double f = std::floor(x);
    const auto i = static_cast<std::int16_t>(f);
    return x - f >= 0.5 ? static_cast<std::int16_t>(i + 1) : i;
}

void copy_xishu(const double* xs1, double* xs2) {
    for (int i = 0; i < 9; ++i) xs2[i] = xs1[i];
}
