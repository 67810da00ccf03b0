#include "dsp/dsp_biaoding.h"

#include <cmath>

#include "dsp/dsp_cars.h"

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
