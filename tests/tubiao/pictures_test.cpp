// Format of the generated icon and car pictures: value ranges, chroma pairing
// and the transparent background of the cars.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "dsp/dsp_tubiao.h"

namespace {

using Pic = std::pair<const char*, std::span<const std::uint16_t>>;
const std::vector<Pic> icons = {{"qianshi_on", qianshi_on}, {"qianshi_off", qianshi_off}, {"houshi_on", houshi_on},
                                {"houshi_off", houshi_off}, {"zuoyou_on", zuoyou_on},     {"zuoyou_off", zuoyou_off},
                                {"sanjiao_z", sanjiao_z},   {"sanjiao_y", sanjiao_y},     {"camera", camera},
                                {"rec_on", rec_on},         {"queren", queren},           {"queren2", queren2}};
const std::vector<Pic> cars = {{"lxc1", lxc1}, {"lxc2", lxc2}, {"lxc3", lxc3}, {"lxc4", lxc4},
                               {"sxc1", sxc1}, {"sxc2", sxc2}, {"sxc3", sxc3}, {"sxc4", sxc4}};
constexpr std::uint16_t kClearWord = 0x7E80;

int chroma(std::uint16_t w) { return w & 0xFF; }

TEST(PictureFormat, StudioRangeEverywhere) {
    for (const auto& set : {icons, cars})
        for (const auto& [name, words] : set)
            for (std::uint16_t w : words)
                ASSERT_TRUE((w >> 8) >= 16 && (w >> 8) <= 235 && chroma(w) >= 16 && chroma(w) <= 240) << name;
}

TEST(PictureFormat, StudioBlackAndChromaPairs) {
    EXPECT_EQ(sanjiao_z[0], 0x1080);  // black corner: Y 16, U = V = 128
    // The middle of the lit front button's car is red: U (even word) low, V (odd word)
    // high; the unlit one is grey.
    const int i = 30 * 60 + 30;
    EXPECT_LT(chroma(qianshi_on[i]), 120);
    EXPECT_GT(chroma(qianshi_on[i + 1]), 136);
    EXPECT_NEAR(chroma(qianshi_off[i]), 128, 4);
    EXPECT_NEAR(chroma(qianshi_off[i + 1]), 128, 4);
}

TEST(CarPictures, TransparentBackgroundAndMirrors) {
    for (const auto& [name, words] : cars) {
        EXPECT_EQ(words[476], kClearWord) << name;  // the blind-zone colour words
        EXPECT_EQ(words[477], kClearWord) << name;
        for (int c = 0; c < CAR_PIC_W; ++c) EXPECT_EQ(words[c], kClearWord) << name;  // row 0
        EXPECT_NE(words[130 * CAR_PIC_W + 58], kClearWord) << name;                     // mid body
        // Mirrors stick out into columns 0..7 and 108..115 on a few rows, both sides alike.
        int left_rows = 0, right_rows = 0;
        for (int r = 0; r < CAR_PIC_H; ++r) {
            bool left = false, right = false;
            for (int c = 0; c < 8; ++c) {
                left |= words[r * CAR_PIC_W + c] != kClearWord;
                right |= words[r * CAR_PIC_W + 108 + c] != kClearWord;
            }
            left_rows += left, right_rows += right;
        }
        EXPECT_TRUE(left_rows > 4 && left_rows < 40) << name << " " << left_rows;
        EXPECT_EQ(left_rows, right_rows) << name;
    }
}

}  // namespace
