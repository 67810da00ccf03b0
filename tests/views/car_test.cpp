// The car picture over the bird's-eye car rectangle and the rows clear_car
// hands back to the cameras.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
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

// Hostile layouts may clip the car away, but nothing may land outside the
// car band (with its mirrors) and its rows, nor outside the table: the table
// sits between guard entries and every entry starts as a sentinel.
TEST_F(Car, HostileLayoutsStayInTheTable) {
    constexpr int kGuard = 2 * TABLE_W;
    const Image_table sentinel{0x5A, 0x1234, kUntouched, 0x9876543, {1, 2, 3, 4}, 0x13579, {5, 6, 7, 8}};
    std::vector<Image_table> buf(kGuard + TABLE_W * TABLE_H + kGuard);
    Image_table* const table = buf.data() + kGuard;
    auto same = [](const Image_table& a, const Image_table& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    // Entries that differ from the sentinel, by position relative to the table.
    auto changed = [&] {
        std::vector<long long> at;
        for (std::size_t i = 0; i < buf.size(); ++i)
            if (!same(buf[i], sentinel)) at.push_back(static_cast<long long>(i) - kGuard);
        return at;
    };
    long long drawn = 0;
    // LL, W, FVLEN, BVLEN, LRVLEN: huge, all zero, T < 0, car above the table, span < 0, span 0,
    // band wider than the area.
    for (auto [LL, W, F, B, S] :
         {std::array{62258, 65534, 4500, 5300, 3200}, {0, 0, 0, 0, 0}, {0, 1900, -32768, 32767, 2400},
          {30000, 1900, -20000, 0, 2400}, {4370, 0, 2700, 3300, -32768}, {4370, 1900, 2700, 3300, -950},
          {4370, 1900, 2700, 3300, 1}})
        for (int left : {16, -150, 620, -1000, 5000})
            for (std::uint16_t blank : {0, 65535})
                for (std::uint16_t show : {0, 1}) {
                    SCOPED_TRACE(::testing::Message() << LL << " " << W << " " << F << " " << B << " " << S << " left "
                                                      << left << " blank " << blank << " show " << show);
                    param_car.LL = static_cast<std::uint16_t>(LL), param_car.W = static_cast<std::uint16_t>(W);
                    FVLEN = static_cast<std::int16_t>(F), BVLEN = static_cast<std::int16_t>(B);
                    LRVLEN = static_cast<std::int16_t>(S), FULLVIEW_Left = left;
                    im.fblank = im.bblank = blank, im.show_blank = show, im.suv = 65535;

                    // The car band: 290 columns of ground across W + 2 S, the body 160 mm wider than W,
                    // centred in the area; rows 456 over the ground length T from row 12.
                    const long long T = static_cast<long long>(F) + LL + B, span = W + 2LL * S;
                    const bool laid = T > 0 && span != 0;
                    const long long cols = laid ? 290LL * (W + 160) / span : 0;
                    const long long cl = left + (290 - cols) / 2, cr = cl + cols;
                    const long long front = laid ? 12 + 456LL * F / T : 0, rear = laid ? 12 + 456LL * (F + LL) / T : 0;
                    const long long d150 = laid ? 68400 / T : 0;  // 150 mm in rows

                    // clear_car: only the kinds of the composed rows 12..467 inside the band.
                    std::fill(buf.begin(), buf.end(), sentinel);
                    clear_car(table);
                    for (long long i : changed()) {
                        const long long r = i / TABLE_W, c = i % TABLE_W;
                        ASSERT_TRUE(laid && i >= 0 && r >= 12 && r < 468 && c >= cl && c < cr) << "entry " << i;
                        Image_table want = sentinel;
                        want.pic_num = table[i].pic_num;
                        ASSERT_TRUE(same(table[i], want)) << "entry " << i;
                        ASSERT_TRUE(want.pic_num == 0x42 || want.pic_num == 0x22) << "entry " << i;
                    }

                    // mt_car: colour entries over the band and its 8 mirror columns each side, from the
                    // car's front less 150 mm and the front blind zone to its rear plus both.
                    std::fill(buf.begin(), buf.end(), sentinel);
                    mt_car(table, im, index_table());
                    const std::vector<long long> car = changed();
                    drawn += static_cast<long long>(car.size());
                    for (long long i : car) {
                        const long long r = i / TABLE_W, c = i % TABLE_W;
                        ASSERT_TRUE(laid && cols > 0 && i >= 0 && i < TABLE_W * TABLE_H) << "entry " << i;
                        ASSERT_TRUE(c >= cl - 8 && c < cr + 8) << "entry " << i;
                        ASSERT_TRUE(r >= front - d150 - blank && r < rear + d150 + blank) << "entry " << i;
                        Image_table want = sentinel;
                        want.pic_num = 0;
                        want.YUV_default = table[i].YUV_default;
                        ASSERT_TRUE(same(table[i], want)) << "entry " << i;
                    }
                }
    EXPECT_GT(drawn, 0);  // some layouts still show a car
}

}  // namespace
