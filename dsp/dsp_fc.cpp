#include "dsp/dsp_fc.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxTerms = 20;

// A recurrence sum this small next to the size of the terms it came from is
// rounding noise: the points carry no information for a higher degree.
constexpr double kNoiseRatio = 1e-26;  // (1e-13)^2, compared with squares

bool is_noise(double d2, double scale) { return !(d2 > kNoiseRatio * scale) || !std::isfinite(d2); }

// One step of the recurrence's scalars; false (nothing changed) when they
// would not be finite.
bool advance(double d2, double g, double* c, double* p, double* q, double* d1) {
    const double nc = *c / d2, np = g / d2, nq = d2 / *d1;
    if (!std::isfinite(nc) || !std::isfinite(np) || !std::isfinite(nq)) return false;
    *c = nc;
    *p = np;
    *q = nq;
    *d1 = d2;
    return true;
}

}  // namespace

void pir1(const double* x, const double* y, int n, double* a, int m, double* dt, double* junzhi) {
    for (int i = 0; i < m; ++i) a[i] = 0.0;
    dt[0] = dt[1] = dt[2] = 0.0;
    if (n < 1) {
        *junzhi = 0.0;
        return;
    }
    const int mm = std::min({m, n, kMaxTerms});

    double z = 0.0;
    for (int i = 0; i < n; ++i) z += x[i];
    z /= n;
    *junzhi = z;

    double s[kMaxTerms] = {}, t[kMaxTerms] = {}, b[kMaxTerms] = {};
    b[0] = 1.0;
    double d1 = n, p = 0.0, c = 0.0, g, q = 0.0, d2;
    for (int i = 0; i < n; ++i) {
        p += x[i] - z;
        c += y[i];
    }
    p /= n;
    c /= n;
    if (mm >= 1) a[0] = c;

    if (mm > 1) {
        t[1] = 1.0;
        t[0] = -p;
        d2 = c = g = 0.0;
        double scale = 0.0;
        for (int i = 0; i < n; ++i) {
            const double u = x[i] - z;
            const double w = u - p;
            const double h = std::fabs(u) + std::fabs(p);
            d2 += w * w;
            c += y[i] * w;
            g += u * (w * w);
            scale += h * h;
        }
        if (!is_noise(d2, scale) && advance(d2, g, &c, &p, &q, &d1)) {
            a[1] = c * t[1];
            a[0] += c * t[0];

            for (int j = 2; j < mm; ++j) {
                s[j] = t[j - 1];
                s[j - 1] = -p * t[j - 1] + t[j - 2];
                for (int k = j - 2; k >= 1; --k) s[k] = -p * t[k] + t[k - 1] - q * b[k];
                s[0] = -p * t[0] - q * b[0];
                d2 = c = g = scale = 0.0;
                for (int i = 0; i < n; ++i) {
                    const double u = x[i] - z;
                    double w = s[j];
                    double h = std::fabs(s[j]);
                    for (int k = j - 1; k >= 0; --k) {
                        w = w * u + s[k];
                        h = h * std::fabs(u) + std::fabs(s[k]);
                    }
                    d2 += w * w;
                    c += y[i] * w;
                    g += u * (w * w);
                    scale += h * h;
                }
                if (is_noise(d2, scale) || !advance(d2, g, &c, &p, &q, &d1)) break;
                a[j] = c * s[j];
                t[j] = s[j];
                for (int k = j - 1; k >= 0; --k) {
                    a[k] += c * s[k];
                    b[k] = t[k];
                    t[k] = s[k];
                }
            }
        }
    }

    for (int i = 0; i < n; ++i) {
        const double u = x[i] - z;
        double f = 0.0;
        for (int k = mm - 1; k >= 0; --k) f = f * u + a[k];
        const double r = std::fabs(f - y[i]);
        dt[0] += r * r;
        dt[1] += r;
        dt[2] = std::max(dt[2], r);
    }
}
