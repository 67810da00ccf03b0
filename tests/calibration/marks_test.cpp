// Default marks, the magnifier, the preview's edges and rounding, by hand.
#include <gtest/gtest.h>

#include <vector>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_tubiao.h"
#include "vio/vio.h"

namespace {

class Marks : public ::testing::Test {
protected:
    std::vector<Image_table> t = std::vector<Image_table>(800 * 480);
    void SetUp() override {
        flash_param = flash_param_default;  // 4600 x 1900: LL 4370
        get_car(&flash_param.car_num);
        set_zuobiao(flash_param);
        la_xsf = la_xsb = La_xs{1.0, 1.0};
    }
    Image_table& at(int r, int c) { return t[static_cast<std::size_t>(r * 800 + c)]; }
};

TEST_F(Marks, RoundingTakesHalvesUpwardAndStaysIn16Bits) {
    EXPECT_EQ(quzheng(0.5), 1);
    EXPECT_EQ(quzheng(-0.5), 0);
    EXPECT_EQ(quzheng(2.5), 3);
    EXPECT_EQ(quzheng(-2.5), -2);
    EXPECT_EQ(quzheng(2.49), 2);
    EXPECT_EQ(quzheng(1e9), 32767);
    EXPECT_EQ(quzheng(-1e9), -32768);
}

TEST_F(Marks, DefaultsFallOnTheTargetColumnsAndSidesKeepMarks7And8) {
    Cali_pos p{};
    set_pos(&p, 8);
    EXPECT_EQ(p.x7, 240);   // 150 x 1279 / 799 = 240.1
    EXPECT_EQ(p.x8, 1040);  // 650 x 1279 / 799 = 1040.5
    EXPECT_EQ(p.y7, 393);
    la_xsb = La_xs{1.5, 0.5};
    set_pos(&p, 1);
    EXPECT_EQ(p.x7, 160);  // 100 x 1279 / 799
    EXPECT_EQ(p.x8, 960);  // 600 x 1279 / 799 = 960.5
    // A factor far off keeps the mark where the keys can reach it.
    la_xsb = La_xs{-1e30, 1e30};
    set_pos(&p, 1);
    EXPECT_EQ(p.x7, MARK_MAX_X);
    EXPECT_EQ(p.x8, MARK_MAX_X);

    Cali_pos s{};
    s.y7 = 11, s.x7 = 12, s.y8 = 13, s.x8 = 14;
    set_pos(&s, 2);
    // P = 1000, LL + 2000 and LL / 2 + 1500 on a 7370 mm scale of 700 columns from column 50.
    EXPECT_EQ(s.x1, 230);
    EXPECT_EQ(s.x2, 1048);
    EXPECT_EQ(s.x5, 640);
    EXPECT_EQ(s.y1, 237);
    EXPECT_EQ(s.y4, 362);
    EXPECT_EQ(s.y7, 11);
    EXPECT_EQ(s.x8, 14);
}

TEST_F(Marks, MagnifierShowsTheMarkAtItsCentreAndNothingOffThePicture) {
    mt_view(t.data(), 1, 15, 15);
    // Row 60, column 360 is the marker; its source is the mark's pixel.
    EXPECT_EQ(at(60, 360).pic_num, 0);
    EXPECT_EQ(at(60, 360).YUV_default, 0xFF10B010u);
    EXPECT_EQ(at(57, 360).pic_num, 0);
    EXPECT_EQ(at(56, 360).pic_num, 0x10);
    const Image_table& right = at(60, 364);  // 1 pixel right of the mark
    EXPECT_EQ(right.Addr_Y, 15u * 1280 + 16);
    EXPECT_EQ(right.ybili.Y_tl, 255);
    // Source columns up to 4.0 (block columns 0..16) and rows up to 2.0 (rows 0..8) are black.
    EXPECT_EQ(at(20, 300 + 16).ybili.Y_tl + at(20, 316).ybili.Y_tr, 0);
    EXPECT_GT(at(20, 300 + 17).ybili.Y_tl + at(20, 317).ybili.Y_tr, 0);
    EXPECT_EQ(at(8, 330).ybili.Y_tl + at(8, 330).ybili.Y_bl, 0);
    EXPECT_GT(at(9, 330).ybili.Y_tl + at(9, 330).ybili.Y_bl, 0);
    // Outside the block nothing changed.
    EXPECT_EQ(at(60, 299).pic_num, 0);
    EXPECT_EQ(at(120, 360).pic_num, 0);

    // At the farthest corner the keys reach, every source pixel read is in the picture.
    mt_view(t.data(), 8, MARK_MAX_Y, MARK_MAX_X);
    for (int i = 0; i < 120; ++i)
        for (int j = 0; j < 120; ++j) EXPECT_LT(at(i, 300 + j).Addr_Y + 1281, 1280u * 720) << i << "," << j;
}

TEST_F(Marks, PreviewIsBlackWhereTheCameraCannotSee) {
    // A projection that puts the whole ground far outside the picture.
    const double far[9] = {0, 0, 100, 0, 0, 100, 0, 0, 1};
    mt_test(t.data(), far, 8, flash_param_default);
    for (int r = 0; r < 480; r += 7)
        for (int c = 0; c < 800; c += 7) {
            EXPECT_EQ(at(r, c).pic_num, 0);
            EXPECT_EQ(at(r, c).YUV_default, 0xFF000000u);
        }
}

TEST_F(Marks, StoredMarksAreBroughtIntoTheKeysReach) {
    Cali_pos p{};
    p.y1 = -5, p.x1 = 2000, p.y2 = 700, p.x2 = 0, p.y3 = 300, p.x3 = 640;
    const Cali_pos c = clamp_marks(p);
    EXPECT_EQ(c.y1, MARK_MIN);
    EXPECT_EQ(c.x1, MARK_MAX_X);
    EXPECT_EQ(c.y2, MARK_MAX_Y);
    EXPECT_EQ(c.x2, MARK_MIN);
    EXPECT_EQ(c.y3, 300);
    EXPECT_EQ(c.x3, 640);
}

}  // namespace
