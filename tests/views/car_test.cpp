// The car picture over the bird's-eye car rectangle and the rows clear_car
// hands back to the cameras.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_tubiao.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kUntouched = 0xDEADBEEF;  // above every conversion-table index

// A conversion table whose entry is its own index.
const std::uint32_t* index_table() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        for (std::uint32_t i = 0; i < v.size(); ++i) v[i] = i;
        return v;
    }();
    return t.data();
}
std::uint32_t colour(unsigned y, unsigned u, unsigned v) { return y << 14 | (u >> 1) << 7 | (v >> 1); }
unsigned hi(std::uint16_t w) { return w >> 8; }
unsigned lo(std::uint16_t w) { return w & 0xFF; }

// Car 4370 x 1900 mm with 2700 ahead, 3300 behind, 2400 beside: T = 10370;
// band 290 x 2060 / 6700 = 89 columns, 116..204; car rows 12 + 118 = 130 to
// 12 + 310 = 322; 150 mm = 6 rows, 100 mm = 4 rows.
class Car : public ::testing::Test {
protected:
    std::vector<Image_table> t;
    Image_param im{};
    const Image_table& e(int row, int col) const { return t[row * TABLE_W + col]; }
    bool drawn(int row, int col) const { return e(row, col).YUV_default != kUntouched; }

    void SetUp() override {
        param_car.LL = 4370;
        param_car.W = 1900;
        FVLEN = 2700, BVLEN = 3300, LRVLEN = 2400, FULLVIEW_Left = 16;
        im.fblank = 10;
        im.bblank = 20;
        fill(0x42);
    }
    void fill(std::uint16_t pic) { t.assign(TABLE_W * TABLE_H, Image_table{pic, 0, kUntouched, 7, {}, 0, {}}); }
};

TEST_F(Car, BodyRowsAndFlatBlindZones) {
    mt_car(t.data(), im, index_table());  // stretched over the blind zones: rows 114..347
    for (int row = 100; row < 360; ++row) EXPECT_EQ(drawn(row, 160), row >= 114 && row < 348) << row;
    EXPECT_EQ(e(114, 116).YUV_default, colour(hi(lxc1[8]) + 16, lo(lxc1[8]), lo(lxc1[9])));

    fill(0x42);
    im.show_blank = 1;  // car plus 150 mm: rows 124..327; zones 114..123 and 328..347 flat
    mt_car(t.data(), im, index_table());
    const std::uint32_t grey = colour(hi(lxc1[476]) + 16, lo(lxc1[476]), lo(lxc1[477]));
    for (int row = 0; row < TABLE_H; ++row)
        for (int c = 116; c <= 204; ++c) {
            const bool blind = (row >= 114 && row < 124) || (row >= 328 && row < 348);
            ASSERT_EQ(drawn(row, c), blind || (row >= 124 && row < 328)) << row << "," << c;
            ASSERT_EQ(e(row, c).pic_num, drawn(row, c) ? 0 : 0x42);
            ASSERT_EQ(e(row, c).Addr_Y, 7u);  // kept for clear_car
            ASSERT_TRUE(!blind || e(row, c).YUV_default == grey) << row << "," << c;
        }
    EXPECT_FALSE(drawn(114, 115));  // mirrors only beside the body
}

TEST_F(Car, EachSuvDrawsItsPictureWithMirrorsOverTheBackground) {
    const std::uint16_t* pics[] = {lxc1, sxc1, lxc2, sxc2, lxc3, sxc3, lxc4, sxc4, lxc1, lxc1};
    const std::uint16_t suvs[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 65535};
    im.show_blank = 1;  // body rows 124..327, H = 204
    for (int k = 0; k < 10; ++k) {
        fill(0x42);
        im.suv = suvs[k];
        mt_car(t.data(), im, index_table());
        auto w = [p = pics[k]](int row, int col) { return p[row * 116 + col]; };
        // Row 226: picture row 102 x 260 / 204 = 130; column 117: 100 / 89 = 1 + 31/256.
        const unsigned y = (225 * hi(w(130, 9)) + 31 * hi(w(130, 10))) / 256;
        EXPECT_EQ(e(226, 117).YUV_default, colour(y + 16, lo(w(130, 8)), lo(w(130, 9)))) << suvs[k];
        for (int row = 124; row < 328; ++row)
            for (int m = 0; m < 16; ++m) {  // picture columns 0..7 at 108..115, 108..115 at 205..212
                const int pr = (row - 124) * 260 / 204, src = m < 8 ? m : 100 + m, col = m < 8 ? 108 + m : 197 + m;
                const std::uint16_t word = w(pr, src);
                ASSERT_EQ(e(row, col).YUV_default,
                          word == 0x7E80 ? kUntouched : colour(hi(word) + 16, lo(w(pr, src & ~1)), lo(w(pr, src | 1))))
                    << suvs[k] << " row " << row << " column " << col;
            }
    }
}

TEST_F(Car, ClearCarGivesTheEndsBackToFrontAndBack) {
    fill(0x55);
    clear_car(t.data());
    for (int row = 0; row < TABLE_H; ++row) {
        const int want = row >= 12 && row < 126 ? 0x42 : row >= 326 && row < 468 ? 0x22 : 0x55;
        for (int c : {116, 204}) ASSERT_EQ(e(row, c).pic_num, want) << row;
        for (int c : {115, 205}) ASSERT_EQ(e(row, c).pic_num, 0x55) << row;
    }
    EXPECT_EQ(e(400, 160).YUV_default, kUntouched);
}

TEST_F(Car, HostileLayoutsStayInTheTable) {
    // LL, W, FVLEN, BVLEN, LRVLEN: huge, all zero, T < 0, car above the table, span < 0, span 0,
    // band wider than the area.
    for (auto [LL, W, F, B, S] :
         {std::array{62258, 65534, 4500, 5300, 3200}, {0, 0, 0, 0, 0}, {0, 1900, -32768, 32767, 2400},
          {30000, 1900, -20000, 0, 2400}, {4370, 0, 2700, 3300, -32768}, {4370, 1900, 2700, 3300, -950},
          {4370, 1900, 2700, 3300, 1}})
        for (int left : {16, -150, 620, -1000, 5000})
            for (std::uint16_t blank : {0, 65535})
                for (std::uint16_t show : {0, 1}) {
                    param_car.LL = static_cast<std::uint16_t>(LL), param_car.W = static_cast<std::uint16_t>(W);
                    FVLEN = static_cast<std::int16_t>(F), BVLEN = static_cast<std::int16_t>(B);
                    LRVLEN = static_cast<std::int16_t>(S), FULLVIEW_Left = left;
                    clear_car(t.data());
                    im.fblank = im.bblank = blank, im.show_blank = show, im.suv = 65535;
                    mt_car(t.data(), im, index_table());
                }
}

}  // namespace
