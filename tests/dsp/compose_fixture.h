// Pieces shared by the compositor tests: a conversion table that shows its
// own index, flat camera planes, table entries and the twelve gains.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/dsp_image.h"

// A conversion table whose entry is its own index: a pixel then shows
// Y' << 14 | (U' >> 1) << 7 | (V' >> 1) directly.
inline const std::uint32_t* index_table() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        for (std::uint32_t i = 0; i < v.size(); ++i) v[i] = i;
        return v;
    }();
    return t.data();
}

constexpr std::uint32_t idx(std::uint32_t y, std::uint32_t a, std::uint32_t b) { return y << 14 | a << 7 | b; }

// An entry sampling one whole pixel (weight 255 on the top-left source).
inline Image_table entry(std::uint16_t pic, std::uint32_t addr = 0, std::uint16_t qz = 0, std::uint32_t addr2 = 0) {
    Image_table e{};
    e.pic_num = pic;
    e.qz = qz;
    e.Addr_Y = addr;
    e.ybili = {255, 0, 0, 0};
    e.Addr_Y2 = addr2;
    e.ybili2 = {255, 0, 0, 0};
    return e;
}

inline void set_gains(std::uint32_t g) {
    bili_b = bili_b_u = bili_b_v = g;
    bili_l = bili_l_u = bili_l_v = g;
    bili_t = bili_t_u = bili_t_v = g;
    bili_r = bili_r_u = bili_r_v = g;
}

// A camera's planes, flat grey unless set otherwise.
struct Camera {
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(CAM_W * CAM_H, 129);
    std::vector<std::uint16_t> uv = std::vector<std::uint16_t>(CAM_W * CAM_H / 2, 0x8080);

    void flat(std::uint8_t Y, std::uint8_t U = 128, std::uint8_t V = 128) {
        y.assign(y.size(), Y);
        uv.assign(uv.size(), static_cast<std::uint16_t>(U << 8 | V));
    }
    void patch(std::uint32_t a, std::uint8_t Y, std::uint8_t U = 128, std::uint8_t V = 128) {
        y[a] = y[a + 1] = y[a + 1280] = y[a + 1281] = Y;
        uv[a >> 1] = static_cast<std::uint16_t>(U << 8 | V);
    }
    // The statistics window: rows 100..610, columns 280..999.
    void window(std::uint8_t W) {
        for (int r = 100; r <= 610; ++r)
            for (int c = 280; c <= 999; ++c) y[r * CAM_W + c] = W;
    }
};
