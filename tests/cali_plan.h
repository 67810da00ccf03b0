// What an installer does to calibrate a camera of the synthetic scene: the
// marks on the raw picture (the targets' true pixels) and the marks on the
// preview (where the preview shows each target), and the keys that move the
// marks there.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"
#include "host/scene.h"
#include "vio/settings.h"

namespace cali_plan {

namespace sc = host::scene;

// Reads a saved settings file's bytes into `saved` and checks that all four
// cameras are marked calibrated.
inline void expect_all_four_calibrated(const std::string& file, Flash_param& saved) {
    ASSERT_EQ(file.size(), sizeof saved);
    std::memcpy(&saved, file.data(), sizeof saved);
    EXPECT_EQ(saved.flagb, 1);
    EXPECT_EQ(saved.flagf, 1);
    EXPECT_EQ(saved.flagl, 1);
    EXPECT_EQ(saved.flagr, 1);
}

// The scene's car and targets with every camera at its defaults, as a fresh
// board starts.
inline void start_uncalibrated() {
    sc::configure(sc::Layout{});
    flash_param = flash_param_default;
    la_xsf = la_xsb = La_xs{1.0, 1.0};
    get_car(&flash_param.car_num);
    set_zuobiao(flash_param);
}

inline int mark_count(int dir) { return dir == sc::kLeft || dir == sc::kRight ? 6 : 8; }

inline const Zuobiao& targets(int dir) {
    return dir == sc::kFront ? zuobiao_f : dir == sc::kBack ? zuobiao_b : dir == sc::kLeft ? zuobiao_l : zuobiao_r;
}

inline const Camera_param& defaults(int dir) {
    const Flash_param& d = flash_param_default;
    return dir == sc::kFront ? d.cf_param : dir == sc::kBack ? d.cb_param : dir == sc::kLeft ? d.cl_param : d.cr_param;
}

// The targets' true pixels, rounded as the installer's marks are whole pixels.
inline Cali_pos true_marks(int dir) {
    Cali_pos pos{};
    const auto px = sc::mark_pixels(dir);
    for (int i = 0; i < mark_count(dir); ++i) {
        (&pos.y1)[2 * i] = static_cast<std::int16_t>(std::lround(px[i][0]));
        (&pos.y1)[2 * i + 1] = static_cast<std::int16_t>(std::lround(px[i][1]));
    }
    return pos;
}

// The camera pixel a preview entry shows, from its source offset and weights.
inline std::array<double, 2> shown(const Image_table& e) {
    return {e.Addr_Y / 1280 + (e.ybili.Y_bl + e.ybili.Y_br) / 255.0,
            e.Addr_Y % 1280 + (e.ybili.Y_tr + e.ybili.Y_br) / 255.0};
}

// Where the installer puts each mark on the preview `table` (drawn by the
// system from the raw marks): on the entry showing the target's true pixel,
// as the smallest whole mark that lands on that entry. The back preview is
// mirrored: its mark k stands for the target the system pairs it with.
inline Cali_pos preview_marks(int dir, const Image_table* table) {
    static constexpr int kBackPoint[8] = {2, 1, 4, 3, 5, 6, 8, 7};
    const auto px = sc::mark_pixels(dir);
    const std::uint16_t pic = dir == sc::kBack ? 0x10 : dir == sc::kLeft ? 0x14 : dir == sc::kRight ? 0x16 : 0x12;
    Cali_pos pos{};
    for (int k = 0; k < mark_count(dir); ++k) {
        const int point = dir == sc::kBack ? kBackPoint[k] : k + 1;
        const auto& want = px[static_cast<std::size_t>(point - 1)];
        double best = 1e18;
        int br = 0, bc = 0;
        for (int r = 0; r < 480; ++r)
            for (int c = 0; c < 800; ++c) {
                const Image_table& e = table[r * 800 + c];
                if (e.pic_num != pic) continue;
                const auto s = shown(e);
                const double d = std::hypot(s[0] - want[0], s[1] - want[1]);
                if (d < best) best = d, br = r, bc = c;
            }
        // The smallest mark whose screen row and column are (br, bc).
        (&pos.y1)[2 * k] = static_cast<std::int16_t>((719 * br + 574) / 575);
        (&pos.y1)[2 * k + 1] = static_cast<std::int16_t>((1279 * bc + 798) / 799);
    }
    return pos;
}

// Key codes moving a mark from `from` to `to`: held keys (stride `step`)
// while far, then single steps.
inline void keys_between(std::int16_t fy, std::int16_t fx, std::int16_t ty, std::int16_t tx, int step,
                         std::vector<int>& keys) {
    auto axis = [&](int from, int to, int down, int up, int held_down, int held_up) {
        while (to - from >= step) keys.push_back(held_up), from += step;
        while (from - to >= step) keys.push_back(held_down), from -= step;
        while (from < to) keys.push_back(up), ++from;
        while (from > to) keys.push_back(down), --from;
    };
    axis(fy, ty, 27, 26, 155, 154);
    axis(fx, tx, 4, 6, 132, 134);
}

}  // namespace cali_plan
