// Composing on two threads gives exactly the picture and gains of one.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/dsp_image.h"

namespace {

struct Frame {
    std::vector<Image_table> table = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<std::uint8_t> y[4];
    std::vector<std::uint16_t> uv[4];
    std::vector<std::uint32_t> yuv2rgb = std::vector<std::uint32_t>(1u << 22);

    Frame() {
        std::mt19937 rng(7);
        for (std::uint32_t i = 0; i < yuv2rgb.size(); ++i) yuv2rgb[i] = i * 2654435761u;
        for (int c = 0; c < 4; ++c) {
            y[c].resize(CAM_W * CAM_H);
            uv[c].resize(CAM_W * CAM_H / 2);
            for (auto& b : y[c]) b = static_cast<std::uint8_t>(rng());
            for (auto& w : uv[c]) w = static_cast<std::uint16_t>(rng());
        }
        const std::uint16_t kinds[] = {0x00, 0x10, 0x12, 0x14, 0x16, 0x20, 0x30, 0x40, 0x50, 0x71, 0x72, 0x73, 0x74, 0x60};
        for (auto& e : table) {
            e.pic_num = kinds[rng() % std::size(kinds)];
            e.qz = static_cast<std::uint16_t>(1 + rng() % 255);
            e.YUV_default = rng();
            e.Addr_Y = rng() % (CAM_W * (CAM_H - 1) - 1);
            e.Addr_Y2 = rng() % (CAM_W * (CAM_H - 1) - 1);
            const auto w = static_cast<std::uint8_t>(rng() % 256);
            e.ybili = {static_cast<std::uint8_t>(255 - w), w, 0, 0};
            e.ybili2 = {0, 0, w, static_cast<std::uint8_t>(255 - w)};
        }
    }

    std::vector<std::uint32_t> compose(int threads) {
        set_image_threads(threads);
        std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H, 0xDEADBEEF);
        set_image(canvas.data(), table.data(), y[0].data(), uv[0].data(), y[1].data(), uv[1].data(), y[2].data(),
                  uv[2].data(), y[3].data(), uv[3].data(), yuv2rgb.data());
        set_image_threads(1);
        return canvas;
    }
};

std::vector<std::uint32_t> gains() {
    return {bili_b, bili_b_u, bili_b_v, bili_l, bili_l_u, bili_l_v, bili_t, bili_t_u, bili_t_v, bili_r, bili_r_u, bili_r_v};
}

void reset() { bili_b = bili_b_u = bili_b_v = bili_l = bili_l_u = bili_l_v = bili_t = bili_t_u = bili_t_v = bili_r = bili_r_u = bili_r_v = 256; }

TEST(TwoThreads, SamePictureAndSameGains) {
    Frame f;
    reset();
    const auto one = f.compose(1);
    const auto one_gains = gains();
    const auto one_next = f.compose(1);
    reset();
    const auto two = f.compose(2);
    EXPECT_EQ(gains(), one_gains);
    EXPECT_EQ(f.compose(2), one_next);
    EXPECT_EQ(one, two);
    reset();
}

}  // namespace
