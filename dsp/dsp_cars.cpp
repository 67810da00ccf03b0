#include "dsp/dsp_cars.h"

Param_car param_car = {};
std::int16_t FVLEN = 0, BVLEN = 0, LRVLEN = 0;
Zuobiao zuobiao_f = {}, zuobiao_b = {}, zuobiao_l = {}, zuobiao_r = {}, zuobiao_lview = {}, zuobiao_rview = {};

namespace {

std::uint16_t trunc16(double v) { return static_cast<std::uint16_t>(static_cast<long>(v)); }

struct DefaultWidth {
    unsigned below;  // lengths below this use the row
    std::uint16_t W, WW;
};
constexpr DefaultWidth kWidths[] = {
    {4000, 1650, 1402}, {4500, 1800, 1530}, {5000, 1950, 1657}, {6000, 2150, 1827}, {10000, 2350, 1997},
};

struct ViewLengths {
    std::int16_t front, back, side;
};
// By length class (up to 6000, 8000, 10000, above) and view range (0, other, 2).
constexpr ViewLengths kViews[4][3] = {
    {{2500, 3100, 1800}, {2700, 3300, 2400}, {3000, 3800, 2900}},
    {{3000, 3600, 1900}, {3200, 3800, 2500}, {3500, 4300, 3000}},
    {{3500, 4100, 2000}, {3700, 4300, 2600}, {4000, 4800, 3100}},
    {{4000, 4600, 2100}, {4200, 4800, 2700}, {4500, 5300, 3200}},
};

// Points (y, x), integers stored as doubles.
void put(Zuobiao& z, int i, int y, int x) {
    double* p = &z.y1 + 2 * (i - 1);
    p[0] = y;
    p[1] = x;
}

}  // namespace

void get_car(Car_num* pnum) {
    param_car.backlow = 0;
    param_car.LL = trunc16(pnum->length * 0.95);
    if (pnum->car_lev >= 1000 && pnum->car_lev <= 65534) {
        param_car.W = pnum->car_lev;
        param_car.WW = trunc16(pnum->car_lev * 0.85);
    } else {
        DefaultWidth d{0, 2550, 2167};
        for (const DefaultWidth& row : kWidths)
            if (pnum->length < row.below) {
                d = row;
                break;
            }
        param_car.W = d.W;
        param_car.WW = d.WW;
        pnum->car_lev = d.W;
    }
    param_car.L = trunc16(param_car.LL * 0.6);
    const double s = param_car.LL * 0.22 - 550;
    param_car.S = s < 0 ? 0 : trunc16(s);
}

void set_zuobiao(Flash_param param) {
    const unsigned length = param.car_num.length;
    const int cls = length <= 6000 ? 0 : length <= 8000 ? 1 : length <= 10000 ? 2 : 3;
    const int range = param.im_param.view_range == 0 ? 0 : param.im_param.view_range == 2 ? 2 : 1;
    FVLEN = kViews[cls][range].front;
    BVLEN = kViews[cls][range].back;
    LRVLEN = kViews[cls][range].side;

    const int W = param_car.W, LL = param_car.LL;
    const int Xc = LRVLEN + W / 2;
    const int Z = FVLEN + LL;
    zuobiao_f = zuobiao_b = zuobiao_l = zuobiao_r = zuobiao_lview = zuobiao_rview = Zuobiao{};

    put(zuobiao_f, 1, FVLEN - 2000, Xc - 1500);
    put(zuobiao_f, 2, FVLEN - 2000, Xc + 1500);
    put(zuobiao_f, 3, FVLEN - 500, Xc - 1500);
    put(zuobiao_f, 4, FVLEN - 500, Xc + 1500);
    put(zuobiao_f, 5, FVLEN - 500, Xc - 2500);
    put(zuobiao_f, 6, FVLEN - 500, Xc + 2500);

    // Numbered as the back camera sees it: point 1 on the car's right.
    put(zuobiao_b, 1, Z + 2000, Xc + 1500);
    put(zuobiao_b, 2, Z + 2000, Xc - 1500);
    put(zuobiao_b, 3, Z + 500, Xc + 1500);
    put(zuobiao_b, 4, Z + 500, Xc - 1500);
    put(zuobiao_b, 5, Z + 500, Xc + 2500);
    put(zuobiao_b, 6, Z + 500, Xc - 2500);

    put(zuobiao_r, 1, FVLEN - 500, Xc + 2500);
    put(zuobiao_r, 2, Z + 500, Xc + 2500);
    put(zuobiao_r, 3, FVLEN - 500, Xc + 1500);
    put(zuobiao_r, 4, Z + 500, Xc + 1500);

    put(zuobiao_l, 1, Z + 500, Xc - 2500);
    put(zuobiao_l, 2, FVLEN - 500, Xc - 2500);
    put(zuobiao_l, 3, Z + 500, Xc - 1500);
    put(zuobiao_l, 4, FVLEN - 500, Xc - 1500);

    put(zuobiao_lview, 1, FVLEN, LRVLEN - 2150);
    put(zuobiao_lview, 2, FVLEN, LRVLEN);
    put(zuobiao_lview, 3, FVLEN + 2000, LRVLEN - 1000);
    put(zuobiao_lview, 4, FVLEN + 2000, LRVLEN);

    put(zuobiao_rview, 1, FVLEN, LRVLEN + W);
    put(zuobiao_rview, 2, FVLEN, LRVLEN + W + 2150);
    put(zuobiao_rview, 3, FVLEN + 2000, LRVLEN + W);
    put(zuobiao_rview, 4, FVLEN + 2000, LRVLEN + W + 1000);
}
