// Car dimensions, view lengths and calibration targets from the car settings.
#include <gtest/gtest.h>

#include "dsp/dsp_cars.h"

namespace {

Param_car car_of(std::uint16_t length, std::uint16_t width, std::uint16_t* written = nullptr) {
    Car_num c = flash_param_default.car_num;
    c.length = length;
    c.car_lev = width;
    get_car(&c);
    if (written) *written = c.car_lev;
    return param_car;
}

TEST(CarDimensions, TheDefaultCar) {
    const Param_car p = car_of(4600, 1900);
    EXPECT_EQ(p.backlow, 0);
    EXPECT_EQ(p.LL, 4370);  // 4600 x 0.95
    EXPECT_EQ(p.W, 1900);
    EXPECT_EQ(p.L, 2622);   // 4370 x 0.6
    EXPECT_EQ(p.S, 411);    // 4370 x 0.22 - 550 = 411.4
    EXPECT_EQ(p.WW, 1615);  // 1900 x 0.85
}

TEST(CarDimensions, WidthsOutOfRangeTakeTheDefaultByLength) {
    std::uint16_t written = 0;
    EXPECT_EQ(car_of(4600, 1000, &written).W, 1000);
    EXPECT_EQ(written, 1000);
    EXPECT_EQ(car_of(4600, 65534).W, 65534);
    EXPECT_EQ(car_of(4600, 65534).WW, 55703);  // 65534 x 0.85 = 55703.9
    for (std::uint16_t bad : {0, 999, 65535}) {
        const Param_car p = car_of(4600, bad, &written);
        EXPECT_EQ(p.W, 1950) << bad;
        EXPECT_EQ(p.WW, 1657) << bad;
        EXPECT_EQ(written, 1950) << bad;  // written back into the settings
    }
    const std::pair<std::uint16_t, std::uint16_t> rows[] = {{3999, 1650}, {4000, 1800}, {4499, 1800}, {4500, 1950},
                                                            {5000, 2150}, {5999, 2150}, {6000, 2350}, {9999, 2350},
                                                            {10000, 2550}, {65535, 2550}};
    for (auto [length, w] : rows) EXPECT_EQ(car_of(length, 0).W, w) << length;
    EXPECT_EQ(car_of(3999, 0).WW, 1402);
    EXPECT_EQ(car_of(10000, 0).WW, 2167);
}

TEST(CarDimensions, ShortCarsHaveNoOverhang) {
    EXPECT_EQ(car_of(2631, 1900).S, 0);  // LL 2499: 549.78 - 550 < 0
    EXPECT_EQ(car_of(2632, 1900).S, 0);  // LL 2500: exactly 0
    EXPECT_EQ(car_of(2700, 1900).S, 14); // LL 2565: 564.3 - 550
}

struct Lengths {
    std::uint16_t length, view_range;
    int front, back, side;
};

TEST(ViewLengths, ByLengthClassAndViewRange) {
    const Lengths rows[] = {
        {6000, 0, 2500, 3100, 1800},  {6000, 1, 2700, 3300, 2400},  {6000, 2, 3000, 3800, 2900},
        {6001, 0, 3000, 3600, 1900},  {8000, 7, 3200, 3800, 2500},  {8000, 2, 3500, 4300, 3000},
        {8001, 0, 3500, 4100, 2000},  {10000, 3, 3700, 4300, 2600}, {10000, 2, 4000, 4800, 3100},
        {10001, 0, 4000, 4600, 2100}, {10001, 65535, 4200, 4800, 2700}, {20000, 2, 4500, 5300, 3200},
    };
    for (const Lengths& r : rows) {
        Flash_param p = flash_param_default;
        p.car_num.length = r.length;
        p.im_param.view_range = r.view_range;
        get_car(&p.car_num);
        set_zuobiao(p);
        EXPECT_EQ(FVLEN, r.front) << r.length << " " << r.view_range;
        EXPECT_EQ(BVLEN, r.back) << r.length << " " << r.view_range;
        EXPECT_EQ(LRVLEN, r.side) << r.length << " " << r.view_range;
    }
}

TEST(Targets, TheDefaultCarsTargetsAndSideViews) {
    Flash_param p = flash_param_default;
    get_car(&p.car_num);
    set_zuobiao(p);
    // FVLEN 2700, BVLEN 3300, LRVLEN 2400; Xc = 2400 + 950 = 3350; Z = 2700 + 4370 = 7070.
    const Zuobiao f = {700, 1850, 700, 4850, 2200, 1850, 2200, 4850, 2200, 850, 2200, 5850, 0, 0, 0, 0};
    const Zuobiao b = {9070, 4850, 9070, 1850, 7570, 4850, 7570, 1850, 7570, 5850, 7570, 850, 0, 0, 0, 0};
    const Zuobiao r = {2200, 5850, 7570, 5850, 2200, 4850, 7570, 4850, 0, 0, 0, 0, 0, 0, 0, 0};
    const Zuobiao l = {7570, 850, 2200, 850, 7570, 1850, 2200, 1850, 0, 0, 0, 0, 0, 0, 0, 0};
    const Zuobiao lv = {2700, 250, 2700, 2400, 4700, 1400, 4700, 2400, 0, 0, 0, 0, 0, 0, 0, 0};
    const Zuobiao rv = {2700, 4300, 2700, 6450, 4700, 4300, 4700, 5300, 0, 0, 0, 0, 0, 0, 0, 0};
    auto same = [](const Zuobiao& a, const Zuobiao& e) {
        const double* x = &a.y1;
        const double* y = &e.y1;
        for (int i = 0; i < 16; ++i)
            if (x[i] != y[i]) return ::testing::AssertionFailure() << "value " << i << ": " << x[i] << " != " << y[i];
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(same(zuobiao_f, f));
    EXPECT_TRUE(same(zuobiao_b, b));
    EXPECT_TRUE(same(zuobiao_r, r));
    EXPECT_TRUE(same(zuobiao_l, l));
    EXPECT_TRUE(same(zuobiao_lview, lv));
    EXPECT_TRUE(same(zuobiao_rview, rv));
}

TEST(Targets, OddWidthUsesTheIntegerHalf) {
    Flash_param p = flash_param_default;
    p.car_num.car_lev = 1901;
    get_car(&p.car_num);
    set_zuobiao(p);
    EXPECT_EQ(zuobiao_f.x1, 2400 + 950 - 1500);  // 1901 / 2 = 950
    EXPECT_EQ(zuobiao_rview.x1, 2400 + 1901);
}

}  // namespace
