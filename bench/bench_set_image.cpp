// Time of one composed frame: set_image over a full display table with the mix
// of a bird's-eye view beside a single camera view.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/dsp_image.h"
#include "vio/vio.h"

namespace {

struct Camera {
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(CAM_W * CAM_H);
    std::vector<std::uint16_t> uv = std::vector<std::uint16_t>(CAM_W * CAM_H / 2);
};

// A smooth gradient with noise, so neighbouring samples differ as in a real picture.
Camera make_camera(unsigned seed) {
    Camera c;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-20, 20);
    for (int r = 0; r < CAM_H; ++r)
        for (int x = 0; x < CAM_W; ++x) {
            const int v = 50 + x * 110 / CAM_W + r * 60 / CAM_H + noise(rng);
            c.y[r * CAM_W + x] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
        }
    for (std::size_t i = 0; i < c.uv.size(); ++i) {
        const int u = 128 + noise(rng), v = 128 + noise(rng) / 2;
        c.uv[i] = static_cast<std::uint16_t>(u << 8 | v);
    }
    return c;
}

// A fractional camera position kept where cul_bili may be called.
void sample_at(double x, double y, std::uint32_t* addr, Y_bili* w) {
    cul_bili(std::clamp(y, 0.5, 718.5), std::clamp(x, 0.5, 1278.5), addr, w);
}

// A warped mapping from a place in the bird's-eye area to a camera position,
// different per camera so that the reads are not a plain copy.
void warp(int cam, int u, int v, std::uint32_t* addr, Y_bili* w) {
    const double s = 1.0 + 0.01 * cam;
    const double x = 30 + 9 * cam + u * 3.0 * s + 9.0 * std::sin(v / 23.0 + cam);
    const double y = 20 + 5 * cam + v * 1.4 * s + 7.0 * std::cos(u / 19.0 + cam);
    sample_at(x, y, addr, w);
}

struct Mix {
    std::vector<Image_table> table = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::size_t composed = 0;
};

// Columns 16..399: bird's-eye with a kind-0 car in the middle, the four cameras
// around it and the four blended corners; columns 400..783: the front camera's
// single view with two kind-0 icon blocks.
Mix make_table() {
    Mix m;
    enum { kBack = 0, kLeft = 1, kFront = 2, kRight = 3 };
    for (int row = COMPOSE_TOP; row <= COMPOSE_BOTTOM; ++row)
        for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
            Image_table& e = m.table[row * TABLE_W + col];
            ++m.composed;
            if (col >= 400) {
                const bool icon = (row < 60 && col >= 720) || (row >= 420 && col < 464);
                if (icon) {
                    e.pic_num = 0x00;
                    e.YUV_default = 0xFF20A0E0u;
                } else {
                    e.pic_num = 0x12;
                    sample_at((col - 400) * 3.33 + 0.4, (row - 12) * 1.575 + 0.3, &e.Addr_Y, &e.ybili);
                }
                continue;
            }
            const int u = col - 16, v = row - 12;
            const bool left = u < 140, right = u > 243, top = v < 150, bottom = v > 305;
            if (!left && !right && !top && !bottom) {
                e.pic_num = 0x00;  // the car picture
                e.YUV_default = 0xFF404040u;
            } else if ((left || right) && (top || bottom)) {
                const int corner = bottom ? (left ? 1 : 2) : (left ? 3 : 4);
                const int first = bottom ? kBack : kFront, second = left ? kLeft : kRight;
                e.pic_num = static_cast<std::uint16_t>(0x70 | corner);
                // The weight goes from one camera to the other across the corner.
                e.qz = static_cast<std::uint16_t>(1 + (u * 7 + v * 5) % 255);
                warp(first, u, v, &e.Addr_Y, &e.ybili);
                warp(second, u, v, &e.Addr_Y2, &e.ybili2);
            } else {
                const int cam = top ? kFront : bottom ? kBack : left ? kLeft : kRight;
                static constexpr std::uint16_t kKind[4] = {0x20, 0x30, 0x40, 0x50};
                e.pic_num = kKind[cam];
                warp(cam, u, v, &e.Addr_Y, &e.ybili);
            }
        }
    return m;
}

// Distinct camera bytes one frame reads: the 2 x 2 neighbourhoods and chroma
// words of every source, the statistics window and the first byte of the
// signal row (the test stops at the first byte other than 16).
std::size_t camera_bytes(const std::vector<Image_table>& table) {
    // Per camera (back, left, front, right): touched Y bytes and chroma words.
    std::vector<std::vector<bool>> ys(4, std::vector<bool>(CAM_W * CAM_H)), cs(4, std::vector<bool>(CAM_W * CAM_H / 2));
    auto touch = [&](int cam, std::uint32_t a) {
        for (std::uint32_t d : {0u, 1u, 1280u, 1281u}) ys[cam][a + d] = true;
        cs[cam][a >> 1] = true;
    };
    for (int cam = 0; cam < 4; ++cam) {
        for (int r = 100; r <= 610; r += 10)
            for (int x = 280; x <= 999; ++x) ys[cam][r * CAM_W + x] = true;
        ys[cam][360 * CAM_W + 40] = true;
    }
    static constexpr int kSlot[4] = {0, 2, 1, 3};          // slot / 2 -> back, front, left, right
    static constexpr int kFirst[5] = {0, 0, 0, 2, 2};      // corners 1..4
    static constexpr int kSecond[5] = {0, 1, 3, 1, 3};
    for (int row = COMPOSE_TOP; row <= COMPOSE_BOTTOM; ++row)
        for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
            const Image_table& e = table[row * TABLE_W + col];
            const int kind = e.pic_num >> 4;
            if (kind == 1) touch(kSlot[(e.pic_num & 0x0E) >> 1], e.Addr_Y);
            if (kind >= 2 && kind <= 5) touch(kind - 2, e.Addr_Y);
            if (kind == 7) {
                touch(kFirst[e.pic_num & 0x0F], e.Addr_Y);
                touch(kSecond[e.pic_num & 0x0F], e.Addr_Y2);
            }
        }
    std::size_t n = 0;
    for (int cam = 0; cam < 4; ++cam) {
        n += static_cast<std::size_t>(std::count(ys[cam].begin(), ys[cam].end(), true));
        n += 2 * static_cast<std::size_t>(std::count(cs[cam].begin(), cs[cam].end(), true));
    }
    return n;
}

void BM_set_image(benchmark::State& state) {
    const Mix mix = make_table();
    const Camera front = make_camera(1), back = make_camera(2), left = make_camera(3), right = make_camera(4);
    std::vector<std::uint32_t> yuv2rgb(1u << 22);
    Init_table_YUV2RGB(yuv2rgb.data());
    std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H, 0xFF000000u);

    bili_b = bili_b_u = bili_b_v = bili_l = bili_l_u = bili_l_v = 256;
    bili_t = bili_t_u = bili_t_v = bili_r = bili_r_u = bili_r_v = 256;

    for (auto _ : state) {
        set_image(canvas.data(), mix.table.data(), front.y.data(), front.uv.data(), back.y.data(), back.uv.data(),
                  left.y.data(), left.uv.data(), right.y.data(), right.uv.data(), yuv2rgb.data());
        benchmark::DoNotOptimize(canvas.data());
        benchmark::ClobberMemory();
    }

    // Only the composed area's entries are read; every composed pixel is written.
    const double table_bytes = static_cast<double>(mix.composed * sizeof(Image_table));
    const double canvas_bytes = static_cast<double>(mix.composed * 4);
    const double cam_bytes = static_cast<double>(camera_bytes(mix.table));
    const double total = table_bytes + canvas_bytes + cam_bytes;
    state.counters["table_B"] = table_bytes;
    state.counters["canvas_B"] = canvas_bytes;
    state.counters["camera_B"] = cam_bytes;
    state.counters["bytes_per_frame"] = total;
    state.counters["bytes_per_second"] = benchmark::Counter(total, benchmark::Counter::kIsIterationInvariantRate);
}

// One frame is a few milliseconds; real time, as the main loop sees it.
BENCHMARK(BM_set_image)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
