// The YUV-to-ARGB lookup table the compositor converts every pixel through.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vio/vio.h"

namespace {

const std::vector<std::uint32_t>& yuv_table() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        Init_table_YUV2RGB(v.data());
        return v;
    }();
    return t;
}

// a = U >> 1, b = V >> 1.
std::uint32_t entry(std::uint32_t y, std::uint32_t a, std::uint32_t b) {
    return yuv_table()[(y << 14) | (a << 7) | b];
}

TEST(YuvTable, MidGrey) {
    // Y 128, a 64, b 64:
    // R = 128 - 180 + floor(360*64/128 = 180) = 128
    // G = 128 + 134 - floor(177*64/256 = 44.25) - floor(367*64/256 = 91.75) = 262 - 44 - 91 = 127
    // B = 128 - 228 + floor(455*64/128 = 227.5) = 127
    EXPECT_EQ(entry(128, 64, 64), 0xFF807F7Fu);
}

TEST(YuvTable, BlackCornerClampsBelowZero) {
    // Y 0, a 0, b 0: R = -180 -> 0, G = 134, B = -228 -> 0.
    EXPECT_EQ(entry(0, 0, 0), 0xFF008600u);
}

TEST(YuvTable, BrightCornerClampsAbove255) {
    // Y 255, a 127, b 127:
    // R = 75 + floor(45720/128 = 357.19) = 432 -> 255
    // G = 389 - floor(22479/256 = 87.8) - floor(46609/256 = 182.07) = 389 - 87 - 182 = 120
    // B = 27 + floor(57785/128 = 451.45) = 478 -> 255
    EXPECT_EQ(entry(255, 127, 127), 0xFFFF78FFu);
}

TEST(YuvTable, ReddishPoint) {
    // Y 100, a 30, b 90:
    // R = -80 + floor(32400/128 = 253.1) = 173
    // G = 234 - floor(5310/256 = 20.7) - floor(33030/256 = 129.0) = 234 - 20 - 129 = 85
    // B = -128 + floor(13650/128 = 106.6) = -22 -> 0
    EXPECT_EQ(entry(100, 30, 90), 0xFFAD5500u);
}

TEST(YuvTable, BluishPoint) {
    // Y 200, a 100, b 20:
    // R = 20 + floor(7200/128 = 56.25) = 76
    // G = 334 - floor(17700/256 = 69.1) - floor(7340/256 = 28.7) = 334 - 69 - 28 = 237
    // B = -28 + floor(45500/128 = 355.5) = 327 -> 255
    EXPECT_EQ(entry(200, 100, 20), 0xFF4CEDFFu);
}

TEST(YuvTable, EveryEntryOpaque) {
    for (std::uint32_t v : yuv_table()) ASSERT_EQ(v >> 24, 0xFFu);
}

}  // namespace
