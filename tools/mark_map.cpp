// Draws tools/previews/calibration_marks.png: the four cameras of the default
// scene at half size, as a `cameras` event saves them (front top left, back
// top right, left bottom left, right bottom right), each calibration mark's
// number in a box just above its disk. Prints every mark's exact pixel
// (row, column) in the camera's 1280 x 720 picture.
//
// The plain test phase checks that the committed picture is what this draws.
// To draw it again, from the repository root:
//   bash scripts/build plain mark_map && build/mark_map [FILE]
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/board.h"
#include "host/scene.h"

namespace {

namespace sc = host::scene;

constexpr int kW = 1280, kH = 720;
constexpr std::uint32_t kInk = 0xFFFFE000, kBox = 0xFF000000;

// Digits 1 to 8, five columns by seven rows, a row to a byte (bit 4 leftmost).
constexpr std::uint8_t kDigits[8][7] = {
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1E, 0x01, 0x01, 0x0E, 0x01, 0x01, 0x1E}, {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
};
constexpr int kScale = 2, kPad = 2;
constexpr int kBoxW = 5 * kScale + 2 * kPad, kBoxH = 7 * kScale + 2 * kPad;

// One camera's quarter of the mosaic; drawing stays inside it.
struct Quarter {
    host::Picture& p;
    int top, left;
    void put(int r, int c, std::uint32_t argb) const {
        if (r >= 0 && r < kH / 2 && c >= 0 && c < kW / 2) p.argb[static_cast<std::size_t>((top + r) * kW + left + c)] = argb;
    }
};

// Number `n` in a box whose bottom edge's middle is (r, c), with a short
// stroke down towards the disk.
void label(const Quarter& q, int r, int c, int n) {
    const int top = r - kBoxH, left = c - kBoxW / 2;
    for (int y = 0; y < kBoxH; ++y)
        for (int x = 0; x < kBoxW; ++x) q.put(top + y, left + x, kBox);
    for (int y = 0; y < 7 * kScale; ++y)
        for (int x = 0; x < 5 * kScale; ++x)
            if (kDigits[n - 1][y / kScale] & (0x10 >> (x / kScale))) q.put(top + kPad + y, left + kPad + x, kInk);
    for (int y = r; y < r + 3; ++y) q.put(y, c, kInk);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path out = argc > 1 ? argv[1] : "tools/previews/calibration_marks.png";
    sc::configure(sc::Layout{});  // the car of the default settings
    host::capture_use_scene();
    struct View {
        const char* name;
        int dir, channel;
    };
    const View views[4] = {{"front", sc::kFront, 5}, {"back", sc::kBack, 4}, {"left", sc::kLeft, 0}, {"right", sc::kRight, 1}};
    host::Picture mosaic{kW, kH, std::vector<std::uint32_t>(kW * kH)};
    for (int i = 0; i < 4; ++i) {
        const host::Picture cam = host::camera_picture(views[i].channel);
        if (cam.width != kW || cam.height != kH) {
            std::fprintf(stderr, "mark_map: no picture of the %s camera\n", views[i].name);
            return 1;
        }
        const int top = i / 2 * kH / 2, left = i % 2 * kW / 2;
        for (int r = 0; r < kH / 2; ++r)
            for (int c = 0; c < kW / 2; ++c)
                mosaic.argb[static_cast<std::size_t>((top + r) * kW + left + c)] =
                    cam.argb[static_cast<std::size_t>(2 * r * kW + 2 * c)];
        const Quarter quarter{mosaic, top, left};
        const int n = views[i].dir == sc::kLeft || views[i].dir == sc::kRight ? 6 : 8;
        const auto px = sc::mark_pixels(views[i].dir);
        for (int k = 0; k < n; ++k) {
            const double row = px[static_cast<std::size_t>(k)][0], col = px[static_cast<std::size_t>(k)][1];
            std::printf("%-5s mark %d: row %6.1f, column %6.1f\n", views[i].name, k + 1, row, col);
            label(quarter, static_cast<int>(std::lround(row / 2)) - 6, static_cast<int>(std::lround(col / 2)), k + 1);
        }
    }
    if (!host::write_png(out, mosaic)) {
        std::fprintf(stderr, "mark_map: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s\n", out.c_str());
    return 0;
}
