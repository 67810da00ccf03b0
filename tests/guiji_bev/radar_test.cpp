// Parking-sensor arcs: the apex rows for a distance (worked out by hand for
// one layout), which sensors show, the blink rhythm, and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_guiji.h"
#include "tests/guiji_bev/panel.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kRed = 0xFFF00000u;

// 4370 x 1900 mm car, 2700 / 3300 / 2400 mm of ground: 10370 mm on 456 rows
// is 43 px a metre; the car's front at row 130, its rear at 322; LL/4 =
// 1092 mm is 46 px; the centre column is 16 + 44 + (290 - 89) / 2.
constexpr int kFront = 130, kRear = 322, kQuarter = 46, kCx = 160;

struct Radar : ::testing::Test {
    std::vector<std::uint32_t> cv;
    void SetUp() override {
        param_car = {0, 4370, 1900, 2622, 411, 1615};
        FVLEN = 2700, BVLEN = 3300, LRVLEN = 2400;
        FULLVIEW_Left = 16;
    }
    // A fresh canvas, drawn on the first call of a blink cycle.
    void radar(int mode, std::vector<int> f, std::vector<int> b, int flag) {
        cv.assign(kW * kH, 0xFF202020u);
        count_radar = 0;
        draw_radar(cv.data(), std::uint8_t(mode), f[0], f[1], f[2], f[3], b[0], b[1], b[2], b[3], std::uint8_t(flag));
    }
    std::vector<int> rows(int c) const {
        std::vector<int> out;
        for (int r = 0; r < kH; ++r) {
            if (cv[r * kW + c] == kRed) out.push_back(r);
        }
        return out;
    }
    int count() const { return int(std::count(cv.begin(), cv.end(), kRed)); }
    // Sensor k covers the k-th sixth of the arc's width (radius r px) from its left third.
    bool shows(int k, int r) const { return !rows(kCx + (2 * k - 5) * r / 6).empty(); }
};

TEST_F(Radar, ApexIsTheDistancePlusFiftyMillimetresFromTheBumper) {
    // 100 cm: radius 1092 + 50 + 1000 mm = 92 px about row 130 + 46: apex at 84, 5 rows up.
    radar(0, {0, 0, 100, 0}, {0, 0, 0, 0}, 0);
    EXPECT_EQ(rows(kCx), (std::vector<int>{80, 81, 82, 83, 84}));
    EXPECT_NEAR(kFront - 84, 1.05 * 43, 1.0);
    // 30 columns aside: sqrt(92^2 - 30^2) = 86.97 px up, row 89.
    radar(0, {0, 0, 0, 100}, {0, 0, 0, 0}, 0);
    EXPECT_EQ(rows(kCx + 30), (std::vector<int>{85, 86, 87, 88, 89}));
    // Behind: 322 - 46 + 92, downwards.
    radar(0, {0, 0, 0, 0}, {0, 0, 100, 0}, 4);
    EXPECT_EQ(rows(kCx), (std::vector<int>{368, 369, 370, 371, 372}));
    EXPECT_EQ(kRear - kQuarter + 92, 368);
}

TEST_F(Radar, DistanceClasses) {
    // 60 cm: one piece, 1092 + 650 mm = 74 px, 4 rows; apex 176 - 74.
    radar(1, {0, 0, 60, 0}, {0, 0, 0, 0}, 0);
    EXPECT_EQ(rows(kCx), (std::vector<int>{99, 100, 101, 102}));
    // 61 cm: 1092 + 1000 and + 800 mm (89 and 81 px), 2 rows each.
    radar(1, {0, 0, 61, 0}, {0, 0, 0, 0}, 0);
    EXPECT_EQ(rows(kCx), (std::vector<int>{86, 87, 94, 95}));
    // Under 50 cm: 1092 + 450 and + 300 mm (66 and 59 px).
    radar(1, {0, 0, 10, 0}, {0, 0, 0, 0}, 0);
    EXPECT_EQ(rows(kCx), (std::vector<int>{109, 110, 116, 117}));
}

TEST_F(Radar, WhichSensorsShow) {
    // Classes while reversing: the middle front pair gives way; the rear shows.
    radar(1, {100, 100, 100, 100}, {100, 0, 0, 0}, 4);
    EXPECT_TRUE(shows(1, 89) && !shows(2, 89) && !shows(3, 89) && shows(4, 89));
    const auto rear = rows(kCx - 44);
    EXPECT_TRUE(!rear.empty() && rear.back() > kRear);
    // Classes forward: every front sensor, no rear one.
    radar(1, {100, 100, 100, 100}, {100, 100, 100, 100}, 0);
    EXPECT_TRUE(shows(1, 89) && shows(2, 89) && shows(3, 89) && shows(4, 89));
    for (int c = 0; c < kW; ++c) EXPECT_TRUE(rows(c).empty() || rows(c).back() < kRear);
    // Continuous: front to 199 cm whatever the gear, rear to 247 cm only reversing.
    radar(0, {100, 0, 200, 0}, {247, 0, 0, 0}, 0);
    EXPECT_TRUE(shows(1, 92) && !shows(3, 135));
    for (int c = 0; c < kW; ++c) EXPECT_TRUE(rows(c).empty() || rows(c).back() < kRear);
    radar(0, {0, 0, 0, 0}, {0, 0, 248, 247}, 4);
    EXPECT_TRUE(shows(4, 155) && !shows(3, 155));  // 1092 + 2520 mm = 155 px
}

TEST_F(Radar, BlinksFiveOfEverySeventeenCalls) {
    count_radar = 0;
    std::vector<int> drawn;
    for (int call = 1; call <= 51; ++call) {
        cv.assign(kW * kH, 0);
        draw_radar(cv.data(), 0, 0, 0, 100, 0, 0, 0, 0, 0, 0);
        if (count() > 0) drawn.push_back(call);
    }
    EXPECT_EQ(drawn, (std::vector<int>{1, 2, 3, 4, 17, 18, 19, 20, 21, 34, 35, 36, 37, 38, 51}));
    count_radar = 3;
    draw_radar(cv.data(), 1, 0, 0, 0, 0, 0, 0, 0, 0, 4);  // nothing to show still counts
    EXPECT_EQ(count_radar, 4);
}

TEST_F(Radar, NothingOutsideTheView) {
    // 3000 mm of ground: 152 px a metre, so rear 247 cm is a 459 px arc; with
    // no ground beside the car the outer sensors' bands lie beside the view
    // and the middle ones' rows below it.
    param_car = {0, 2000, 1650, 1200, 0, 1402};
    FVLEN = 500, BVLEN = 500, LRVLEN = 0;
    radar(0, {0, 0, 0, 0}, {247, 247, 247, 247}, 4);
    EXPECT_EQ(count(), 0);
    radar(0, {30, 30, 30, 30}, {30, 30, 30, 30}, 4);
    EXPECT_GT(count(), 0);
    // Odd layouts (the sanitizers watch the canvas).
    const int layouts[][5] = {{65535, 65535, 32767, 32767, 32767},
                              {0, 0, 0, 0, 0},
                              {4, 1, 1, 0, 0},
                              {4, 1, 1, 0, -1},
                              {100, 1, 200, 0, 0},
                              {65535, 0, -32768, 0, 1}};
    for (const auto& l : layouts) {
        for (int left : {-500, 494, 799}) {
            param_car = {0, std::uint16_t(l[0]), std::uint16_t(l[1]), 0, 0, 0};
            FVLEN = std::int16_t(l[2]), BVLEN = std::int16_t(l[3]), LRVLEN = std::int16_t(l[4]);
            FULLVIEW_Left = left;
            for (int d : {1, 60, 61, 199, 247}) {
                radar(d & 1, {d, d, d, d}, {d, d, d, d}, 4);
                for (int r : {0, 11, 468, 479}) {
                    for (int c = 0; c < kW; ++c) ASSERT_NE(cv[r * kW + c], kRed);
                }
            }
        }
    }
}

}  // namespace
