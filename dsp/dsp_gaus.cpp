#include "dsp/dsp_gaus.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

double f_xishu[9] = {};
double b_xishu[9] = {};
double l_xishu[9] = {};
double r_xishu[9] = {};

namespace {

// Returned for points that have no image, finite so that callers' range
// tests and integer conversions stay well defined.
constexpr double kFarPixel = -10000.0;
constexpr double kFarPlane = 1e9;

constexpr double Zuobiao::*kY[4] = {&Zuobiao::y1, &Zuobiao::y2, &Zuobiao::y3, &Zuobiao::y4};
constexpr double Zuobiao::*kX[4] = {&Zuobiao::x1, &Zuobiao::x2, &Zuobiao::x3, &Zuobiao::x4};

// Candidate grid of the lens search: start offset, step and count.
struct Sweep {
    int from, step, count;
};
constexpr Sweep kSweepX{-60, 4, 31};
constexpr Sweep kSweepY{-50, 4, 26};
constexpr Sweep kSweepDis{-60, 5, 45};
constexpr double kNoResidual = 100000.0;

// Candidate values wrap like the 16-bit fields they go into.
std::int16_t candidate(std::int16_t base, const Sweep& s, int i) {
    return static_cast<std::int16_t>(base + s.from + s.step * i);
}

bool is_singular(double pivot) { return std::fabs(pivot) + 1.0 == 1.0; }

bool all_finite(const double* v, int n) {
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(v[i])) return false;
    }
    return true;
}

// Offsets of the pixel from the optical centre; false when the point has no
// image on the lens.
bool lens_offsets(double yy, double xx, const Sensor_param& sensor, double* oy, double* ox) {
    const double k = sensor.xx / 1000.0;
    const double r2 = yy * yy + xx * xx;
    const int rr = sensor.radius * sensor.radius;
    const int dd = sensor.dis * sensor.dis;
    const double under = rr * (r2 + 1) - dd * r2;
    // NaN fails this test as well.
    if (!(under >= 0)) return false;
    const double t = (std::sqrt(under) - sensor.dis) / (r2 + 1);
    *oy = t * yy;
    *ox = t * xx / k;
    return std::isfinite(*oy) && std::isfinite(*ox);
}

// Four finite points, no two of them equal. Equal points leave the system
// singular, but rounding rarely lets the pivot test see it.
bool distinct_points(const Zuobiao& z) {
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(z.*kX[i]) || !std::isfinite(z.*kY[i])) return false;
        for (int j = 0; j < i; ++j) {
            if (z.*kX[i] == z.*kX[j] && z.*kY[i] == z.*kY[j]) return false;
        }
    }
    return true;
}

// Perspective terms this small against the unit denominator are rounding
// left over from an affine set; normalising them would give huge, arbitrary
// coefficients.
constexpr double kAffineNoise = 1e-12;

}  // namespace

void a_jiaozheng(short y, short x, double* yy, double* xx, Sensor_param sensor) {
    const double k = sensor.xx / 1000.0;
    const double dx = k * (x - sensor.center_x);
    const int dy = y - sensor.center_y;
    const int rr = sensor.radius * sensor.radius;
    const std::int64_t dyy = std::int64_t{dy} * dy;
    const double under = rr - (dx * dx + static_cast<double>(dyy));
    // Outside the lens circle there is no sphere point; treat it like a point
    // behind the projection centre.
    const double z = under >= 0 ? std::sqrt(under) - sensor.dis : -1.0;
    const double inv = z > 0 ? 1.0 / z : 1.0;
    *xx = dx * inv;
    *yy = dy * inv;
}

void a_huanyuan(double yy, double xx, double* y, double* x, Sensor_param sensor) {
    double oy, ox;
    if (!lens_offsets(yy, xx, sensor, &oy, &ox)) {
        *y = kFarPixel;
        *x = kFarPixel;
        return;
    }
    *y = oy + sensor.center_y;
    *x = ox + sensor.center_x;
}

void a_huanyuan2(double yy, double xx, double* y, double* x, Sensor_param sensor) {
    double oy, ox;
    if (!lens_offsets(yy, xx, sensor, &oy, &ox)) {
        *y = kFarPixel;
        *x = kFarPixel;
        return;
    }
    *y = oy;
    *x = ox;
}

void b_bianhuan(double x, double y, double* xx, double* yy, const double* res) {
    const double d = res[6] * x + res[7] * y + res[8];
    if (d == 0) {
        *xx = kFarPlane;
        *yy = kFarPlane;
        return;
    }
    const double u = (res[0] * x + res[1] * y + res[2]) / d;
    const double v = (res[3] * x + res[4] * y + res[5]) / d;
    if (!std::isfinite(u) || !std::isfinite(v)) {
        *xx = kFarPlane;
        *yy = kFarPlane;
        return;
    }
    *xx = u;
    *yy = v;
}

void b_bianhuan_all(double x, double y, double z, double* xx, double* yy, const double* res) {
    const double t = res[8] * x + res[9] * y + res[10] * z + res[11];
    if (t == 0) {
        *xx = kFarPlane;
        *yy = kFarPlane;
        return;
    }
    const double u = (res[0] * x + res[1] * y + res[2] * z + res[3]) / t;
    const double v = (res[4] * x + res[5] * y + res[6] * z + res[7]) / t;
    if (!std::isfinite(u) || !std::isfinite(v)) {
        *xx = kFarPlane;
        *yy = kFarPlane;
        return;
    }
    *xx = u;
    *yy = v;
}

int gaus(double* a, double* b, int n) {
    // The pivot search skips NaN, so broken input would pass as solved.
    if (n < 1 || !all_finite(a, n * n) || !all_finite(b, n)) return 0;
    // Pivot columns; the transform solve (n = 8) never touches the heap.
    std::array<int, 16> local{};
    std::vector<int> heap;
    int* js = local.data();
    if (n > static_cast<int>(local.size())) {
        heap.resize(static_cast<std::size_t>(n));
        js = heap.data();
    }
    auto at = [a, n](int i, int j) -> double& { return a[i * n + j]; };

    for (int k = 0; k < n - 1; ++k) {
        double d = 0.0;
        int is = k;
        for (int i = k; i < n; ++i) {
            for (int j = k; j < n; ++j) {
                const double t = std::fabs(at(i, j));
                if (t > d) {
                    d = t;
                    js[k] = j;
                    is = i;
                }
            }
        }
        if (is_singular(d)) return 0;
        if (js[k] != k) {
            for (int i = 0; i < n; ++i) std::swap(at(i, k), at(i, js[k]));
        }
        if (is != k) {
            for (int j = k; j < n; ++j) std::swap(at(k, j), at(is, j));
            std::swap(b[k], b[is]);
        }
        const double pivot = at(k, k);
        for (int j = k + 1; j < n; ++j) at(k, j) /= pivot;
        b[k] /= pivot;
        for (int i = k + 1; i < n; ++i) {
            const double f = at(i, k);
            for (int j = k + 1; j < n; ++j) at(i, j) -= f * at(k, j);
            b[i] -= f * b[k];
        }
    }
    if (is_singular(at(n - 1, n - 1))) return 0;
    b[n - 1] /= at(n - 1, n - 1);
    for (int i = n - 2; i >= 0; --i) {
        double t = 0.0;
        for (int j = i + 1; j < n; ++j) t += at(i, j) * b[j];
        b[i] -= t;
    }
    js[n - 1] = n - 1;
    for (int k = n - 1; k >= 0; --k) {
        if (js[k] != k) std::swap(b[k], b[js[k]]);
    }
    return all_finite(b, n) ? 1 : 0;
}

int b_jiefcz(const Zuobiao* dimian, const Zuobiao* tuxiang, double* res) {
    if (!distinct_points(*dimian) || !distinct_points(*tuxiang)) return -1;
    double a[64] = {};
    double b[8];
    for (int i = 0; i < 4; ++i) {
        const double px = dimian->*kX[i];
        const double py = dimian->*kY[i];
        const double u = tuxiang->*kX[i];
        const double v = tuxiang->*kY[i];
        double* ru = a + 16 * i;
        double* rv = ru + 8;
        ru[0] = px;
        ru[1] = py;
        ru[2] = 1.0;
        ru[6] = -px * u;
        ru[7] = -py * u;
        rv[3] = px;
        rv[4] = py;
        rv[5] = 1.0;
        rv[6] = -px * v;
        rv[7] = -py * v;
        b[2 * i] = u;
        b[2 * i + 1] = v;
    }
    if (!gaus(a, b, 8)) return -1;
    // An affine set has no finite normalisation.
    double perspective = 0.0;
    for (int i = 0; i < 4; ++i) {
        perspective = std::fmax(perspective, std::fabs(b[6] * dimian->*kX[i]) + std::fabs(b[7] * dimian->*kY[i]));
    }
    if (!(perspective > kAffineNoise)) return -1;
    const double n2 = b[6] * b[6] + b[7] * b[7];
    if (!(n2 > 0) || !std::isfinite(n2)) return -1;
    const double s = 1.0 / std::sqrt(n2);
    double out[9];
    for (int k = 0; k < 8; ++k) {
        out[k] = b[k] * s;
        if (!std::isfinite(out[k])) return -1;
    }
    out[8] = s;
    for (int k = 0; k < 9; ++k) res[k] = out[k];
    return 0;
}

int b_jiefcz2(const Cali_pos* pos1, const Cali_pos* pos2, double* res) {
    auto convert = [](const Cali_pos& p) {
        Zuobiao z{};
        z.y1 = p.y1;
        z.x1 = p.x1;
        z.y2 = p.y2;
        z.x2 = p.x2;
        z.y3 = p.y3;
        z.x3 = p.x3;
        z.y4 = p.y4;
        z.x4 = p.x4;
        return z;
    };
    const Zuobiao z1 = convert(*pos1);
    const Zuobiao z2 = convert(*pos2);
    return b_jiefcz(&z1, &z2, res);
}

void youhua(Sensor_param src, Sensor_param* des, const Cali_pos* pos, int dir) {
    // The target row seen by this camera: 2 m long at the sides, 1 m front and back.
    const bool side = dir == 2 || dir == 4;
    const double len = side ? 2000.0 : 1000.0;
    Zuobiao ground{};
    ground.x2 = len;
    ground.y3 = 500.0;
    ground.y4 = 500.0;
    ground.x4 = len;

    const short my[6] = {pos->y1, pos->y2, pos->y3, pos->y4, pos->y5, pos->y6};
    const short mx[6] = {pos->x1, pos->x2, pos->x3, pos->x4, pos->x5, pos->x6};

    double best = kNoResidual;
    Sensor_param cand = src;
    for (int ix = 0; ix < kSweepX.count; ++ix) {
        cand.center_x = candidate(src.center_x, kSweepX, ix);
        for (int iy = 0; iy < kSweepY.count; ++iy) {
            cand.center_y = candidate(src.center_y, kSweepY, iy);
            for (int id = 0; id < kSweepDis.count; ++id) {
                cand.dis = candidate(src.dis, kSweepDis, id);
                double uy[6], ux[6];
                for (int i = 0; i < 6; ++i) a_jiaozheng(my[i], mx[i], &uy[i], &ux[i], cand);
                Zuobiao marks{};
                for (int i = 0; i < 4; ++i) {
                    marks.*kY[i] = uy[i];
                    marks.*kX[i] = ux[i];
                }
                double h[9];
                if (b_jiefcz(&marks, &ground, h) != 0) continue;
                double gx[6], gy[6];
                for (int i = 0; i < 6; ++i) b_bianhuan(ux[i], uy[i], &gx[i], &gy[i], h);
                // Marks 5 and 6 belong midway between marks 1, 2 and 3, 4 on the ground.
                const double e1x = 2 * gx[4] - gx[0] - gx[1];
                const double e1y = 2 * gy[4] - gy[0] - gy[1];
                const double e2x = 2 * gx[5] - gx[2] - gx[3];
                const double e2y = 2 * gy[5] - gy[2] - gy[3];
                const double e = e1x * e1x + e1y * e1y + e2x * e2x + e2y * e2y;
                // Strictly less: of equal candidates the first in sweep order stays.
                if (std::isfinite(e) && e < best) {
                    best = e;
                    des->center_y = cand.center_y;
                    des->center_x = cand.center_x;
                    des->dis = cand.dis;
                    des->len180 = src.len180;
                    des->radius = src.radius;
                }
            }
        }
    }
}

int newt(double* x, double eps, int js, void (*f)(double x, double y[2], double r, const double* xishu), double r,
         const double* xishu) {
    double x0 = *x;
    double y[2];
    f(x0, y, r, xishu);
    int k = 0;
    while (k < js) {
        // A flat or broken derivative gives no next iterate.
        if (y[1] == 0) break;
        const double x1 = x0 - y[0] / y[1];
        if (!std::isfinite(x1)) break;
        f(x1, y, r, xishu);
        ++k;
        const double d = std::fmax(std::fabs(x1 - x0), std::fabs(y[0]));
        x0 = x1;
        if (d < eps) break;
    }
    *x = x0;
    return k;
}
