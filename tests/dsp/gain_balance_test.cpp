// set_image across frames: the statistics it gathers and the twelve gains it
// computes from them for the next frame.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/dsp_image.h"
#include "tests/dsp/compose_fixture.h"

namespace {

// Where the table samples each camera: one 2 x 2 patch for the camera's own
// pixels and one per corner, all on row 5, away from the statistics window
// (rows 100..610) and the signal row 360.
constexpr std::uint32_t kMain = 5 * 1280 + 8;
constexpr std::uint32_t kCorner[5] = {0, 5 * 1280 + 100, 5 * 1280 + 200, 5 * 1280 + 300, 5 * 1280 + 400};
constexpr std::uint32_t kSpare = 5 * 1280 + 600;

// Gains in the order back, left, front, right.
using Gains = std::array<std::uint32_t, 4>;
Gains y_gains() { return {bili_b, bili_l, bili_t, bili_r}; }
Gains u_gains() { return {bili_b_u, bili_l_u, bili_t_u, bili_r_u}; }
Gains v_gains() { return {bili_b_v, bili_l_v, bili_t_v, bili_r_v}; }

class GainBalance : public ::testing::Test {
protected:
    void SetUp() override { set_gains(256); }
    void TearDown() override { set_gains(256); }

    Image_table& at(int row, int col) { return table[row * TABLE_W + col]; }
    std::uint32_t pixel(int row, int col) const { return canvas[row * TABLE_W + col]; }
    void fill(int r0, int r1, int c0, int c1, const Image_table& e) {
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) at(r, c) = e;
    }
    void run() {
        set_image(canvas.data(), table.data(), front.y.data(), front.uv.data(), back.y.data(), back.uv.data(),
                  left.y.data(), left.uv.data(), right.y.data(), right.uv.data(), index_table());
    }

    // A bird's-eye area on columns 16..399: 100 rows x 384 = 38400 pixels of each
    // of kinds 2 (back), 3 (left), 4 (front), 5 (right), sampling each camera's
    // main patch, then rows 412..467 of the four corners (56 x 96 pixels each,
    // qz 128), each source sampling its camera's patch for that corner.
    // Columns 400..783 stay kind 0.
    void birdseye() {
        fill(12, 111, 16, 399, entry(0x20, kMain));
        fill(112, 211, 16, 399, entry(0x30, kMain));
        fill(212, 311, 16, 399, entry(0x40, kMain));
        fill(312, 411, 16, 399, entry(0x50, kMain));
        for (int k = 1; k <= 4; ++k)
            fill(412, 467, 16 + 96 * (k - 1), 15 + 96 * k,
                 entry(static_cast<std::uint16_t>(0x70 | k), kCorner[k], 128, kCorner[k]));
    }

    std::vector<Image_table> table = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<std::uint32_t> canvas = std::vector<std::uint32_t>(TABLE_W * TABLE_H, 0);
    Camera front, back, left, right;
};

// Flat cameras: back 129, left 65, front 33, right 129, grey chroma. Bilinear Y
// is (P * 255) >> 8 = P - 1: 128, 64, 32, 128, the same at every corner.
// q = 1 (each mean appears once above and once below the fraction);
// r_L = 128/64 = 2, r_F = 1 * 64 * 2 / 32 = 4, r_R = 1 * 32 * 4 / 128 = 1.
// With n0 = 38400 pixels each, S = n0 * (128, 64, 32, 128):
// D = n0 * (128 + 32*4 + 64*2 + 128*1) = 512 * n0.
// Windows are flat too: M = (129 + 65 + 33 + 129) / 4 = 356 / 4 = 89.
// base = 4 * n0 * 89 / (512 * n0) = 0.6953125.
// back = 0.6953125 * 256 = 178; left = 2 * base -> 356; front = 4 * base -> 712;
// right = 178. None reaches the cap (each camera's mean after gain is 89 <= 192),
// nor the side floor (89 >= 64).
class EqualMeans : public GainBalance {
protected:
    void SetUp() override {
        GainBalance::SetUp();
        birdseye();
        back.flat(129);
        left.flat(65);
        front.flat(33);
        right.flat(129);
    }
};

TEST_F(EqualMeans, BalanceToTheWindowLevel) {
    run();
    EXPECT_EQ(y_gains(), (Gains{178, 356, 712, 178}));
    // Grey chroma everywhere: means 128, ratios 1, base = G / G = 1.
    EXPECT_EQ(u_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(v_gains(), (Gains{256, 256, 256, 256}));
}

TEST_F(EqualMeans, GainsApplyFromTheNextFrame) {
    run();
    // First frame: gains 256, so each camera shows its own Y (chroma 128 -> 64).
    EXPECT_EQ(pixel(50, 100), idx(128, 64, 64));   // back
    EXPECT_EQ(pixel(150, 100), idx(64, 64, 64));   // left
    EXPECT_EQ(pixel(250, 100), idx(32, 64, 64));   // front
    EXPECT_EQ(pixel(350, 100), idx(128, 64, 64));  // right
    // Corners, qz 128: (128*first + 128*second) >> 8.
    EXPECT_EQ(pixel(440, 50), idx(96, 64, 64));    // back + left: (16384 + 8192) >> 8 = 96
    EXPECT_EQ(pixel(440, 150), idx(128, 64, 64));  // back + right: 32768 >> 8 = 128
    EXPECT_EQ(pixel(440, 250), idx(48, 64, 64));   // front + left: (4096 + 8192) >> 8 = 48
    EXPECT_EQ(pixel(440, 350), idx(80, 64, 64));   // front + right: (4096 + 16384) >> 8 = 80

    run();
    // Second frame: 128*178>>8 = 64*356>>8 = 32*712>>8 = 22784>>8 = 89 for every
    // camera, so the corners too are (128*89 + 128*89) >> 8 = 89.
    for (int row : {50, 150, 250, 350, 440}) EXPECT_EQ(pixel(row, 100), idx(89, 64, 64)) << row;
    for (int col : {50, 150, 250, 350}) EXPECT_EQ(pixel(440, col), idx(89, 64, 64)) << col;
    // The statistics are ungained, so the second frame gives the same gains.
    EXPECT_EQ(y_gains(), (Gains{178, 356, 712, 178}));
}

TEST_F(EqualMeans, SingleViewBesideTheBirdseyeDoesNotFeedTheBalance) {
    // A dark spot shown as a single view of every camera in turn on the right half;
    // were it counted, the sums and counts would change the gains above.
    for (Camera* c : {&back, &left, &front, &right}) c->patch(kSpare, 17, 20, 240);
    for (int r = 12; r <= 467; ++r)
        fill(r, r, 400, 783, entry(static_cast<std::uint16_t>(0x10 | ((r % 4) * 2)), kSpare));
    run();
    EXPECT_EQ(y_gains(), (Gains{178, 356, 712, 178}));
    EXPECT_EQ(u_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(v_gains(), (Gains{256, 256, 256, 256}));
}

TEST_F(GainBalance, RingMismatchIsSpreadOverTheFourSeams) {
    birdseye();
    // Own pixels: Y 100, 120, 80, 50 for back, left, front, right.
    back.flat(101);
    left.flat(121);
    front.flat(81);
    right.flat(51);
    back.window(100);
    left.window(120);
    front.window(80);
    right.window(60);
    // Seam means (patch value - 1): bl B 32, L 128; br B 128, R 32; fl F 64, L 64; fr F 64, R 64.
    back.patch(kCorner[1], 33);
    left.patch(kCorner[1], 129);
    back.patch(kCorner[2], 129);
    right.patch(kCorner[2], 33);
    front.patch(kCorner[3], 65);
    left.patch(kCorner[3], 65);
    front.patch(kCorner[4], 65);
    right.patch(kCorner[4], 65);
    run();
    // q = fourth root of (R,fr 64 * F,fl 64 * L,bl 128 * B,br 128) / (R,br 32 * B,bl 32 * L,fl 64 * F,fr 64)
    //   = fourth root of 16 = 2.
    // r_L = 2 * 32/128 = 0.5; r_F = 2 * 64 * 0.5 / 64 = 1; r_R = 2 * 64 * 1 / 64 = 2.
    // D = n0 * (100 + 80*1 + 120*0.5 + 50*2) = 340 * n0.
    // M = (100 + 120 + 80 + 60) / 4 = 90; base = 4 * n0 * 90 / (340 * n0) = 18/17 = 1.0588.
    // back: 1.0588 * 256 = 271.06 -> 271 (mean 100 * 1.0588 = 105.9 <= 192).
    // front: 1 * base -> 271.
    // left: 0.5 * base = 0.5294; mean after it 120 * 0.5294 = 63.5 < min(64, 120), so
    //       g = 64/120 = 0.5333 -> 136.5 -> 136.
    // right: 2 * base = 2.1176 -> 542.1 -> 542 (mean 105.9: no cap; above min(64, 50)).
    EXPECT_EQ(y_gains(), (Gains{271, 136, 271, 542}));
}

TEST_F(GainBalance, BrightWindowsAreCappedAt192) {
    birdseye();
    // All own pixels and seams Y 128, windows 240: q = 1, all r = 1, D = 512 * n0,
    // M = 240, base = 4 * n0 * 240 / (512 * n0) = 1.875; 128 * 1.875 = 240 > 192,
    // so every g = 192/128 = 1.5 -> 384.
    for (Camera* c : {&back, &left, &front, &right}) {
        c->flat(129);
        c->window(240);
    }
    run();
    EXPECT_EQ(y_gains(), (Gains{384, 384, 384, 384}));
}

TEST_F(GainBalance, DarkWindowsLiftOnlyTheSideCameras) {
    birdseye();
    // Own pixels and seams: back 128, left 32, front 128, right 128; windows 20.
    back.flat(129);
    left.flat(33);
    front.flat(129);
    right.flat(129);
    for (Camera* c : {&back, &left, &front, &right}) c->window(20);
    run();
    // q = 1; r_L = 128/32 = 4; r_F = 32 * 4 / 128 = 1; r_R = 128 * 1 / 128 = 1.
    // D = n0 * (128 + 128 + 32*4 + 128) = 512 * n0; M = 20; base = 80/512 = 0.15625.
    // back, front: 0.15625 * 256 = 40 (no floor for them).
    // left: g = 4 * base = 0.625; its mean 32 * 0.625 = 20 < min(64, 32) = 32,
    //       so g = 32/32 = 1 -> 256.
    // right: g = 0.15625; mean 20 < min(64, 128) = 64, so g = 64/128 = 0.5 -> 128.
    EXPECT_EQ(y_gains(), (Gains{40, 256, 40, 128}));
}

TEST_F(GainBalance, CameraWithoutSignalIsLeftOutOfTheYBalance) {
    birdseye();
    // Every camera's own pixels Y 128; windows 100 except the back's 40.
    for (Camera* c : {&back, &left, &front, &right}) {
        c->flat(129);
        c->window(100);
    }
    back.window(40);
    // The back's seams are darker (64): they would tilt the ratios if counted.
    back.patch(kCorner[1], 65);
    back.patch(kCorner[2], 65);
    // Row 360, columns 40..1239 of the back camera all 16; content elsewhere.
    for (int c = 40; c <= 1239; ++c) back.y[360 * CAM_W + c] = 16;
    run();
    // Back out: its seam means count as 128, S_B = N_B = 0, n = 3.
    // All means 128: q = 1, r = 1. D = 128 * 3 * n0; M = 300/3 = 100;
    // base = 3 * n0 * 100 / (384 * n0) = 0.78125 -> 200 for all four
    // (back keeps base since S_B = 0; left and right 100 >= 64, no floor).
    EXPECT_EQ(y_gains(), (Gains{200, 200, 200, 200}));
}

TEST_F(GainBalance, OneByteOtherThan16IsSignal) {
    birdseye();
    for (Camera* c : {&back, &left, &front, &right}) {
        c->flat(129);
        c->window(100);
    }
    back.window(40);
    back.patch(kCorner[1], 65);
    back.patch(kCorner[2], 65);
    for (int c = 40; c <= 1239; ++c) back.y[360 * CAM_W + c] = 16;
    back.y[360 * CAM_W + 40] = 0;  // darker than 16 counts too; outside the window, so the sums are as above
    run();
    // Back window: 51 rows of 720 * 40 plus row 360's 720 * 16 = 1468800 + 11520
    // = 1480320; / 37440 = 39. M = (39 + 300) / 4 = 84.
    // Means: B at bl and br 64, the rest 128. q = (128*128*128*64)/(128*64*128*128) = 1.
    // r_L = 64/128 = 0.5; r_F = 128 * 0.5 / 128 = 0.5; r_R = 0.5.
    // D = n0 * (128 + 3 * 0.5 * 128) = 320 * n0; base = 4 * 84 / 320 = 1.05.
    // back: 1.05 * 256 = 268.8 -> 268; the others 0.525 * 256 = 134.4 -> 134
    // (sides: mean 128 * 0.525 = 67.2 >= 64, no floor).
    EXPECT_EQ(y_gains(), (Gains{268, 134, 134, 134}));
}

TEST_F(GainBalance, NoCameraWithSignalResetsTheYGains) {
    birdseye();
    for (Camera* c : {&back, &left, &front, &right}) c->flat(16);
    bili_b = bili_l = bili_t = bili_r = 300;
    run();
    EXPECT_EQ(y_gains(), (Gains{256, 256, 256, 256}));
}

TEST_F(GainBalance, ColourOnlyTableResetsAllTwelveGains) {
    // Kind 0 everywhere: no balanced pixels, no corners; D = 0 in every channel.
    bili_b = 300, bili_b_u = 301, bili_b_v = 302;
    bili_l = 303, bili_l_u = 304, bili_l_v = 305;
    bili_t = 306, bili_t_u = 307, bili_t_v = 308;
    bili_r = 309, bili_r_u = 310, bili_r_v = 311;
    run();
    EXPECT_EQ(y_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(u_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(v_gains(), (Gains{256, 256, 256, 256}));
}

TEST_F(GainBalance, SingleViewOnlyTableResetsAllTwelveGains) {
    for (int r = 12; r <= 467; ++r)
        fill(r, r, 16, 783, entry(static_cast<std::uint16_t>(0x10 | ((r % 4) * 2)), kMain));
    set_gains(300);
    run();
    EXPECT_EQ(y_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(u_gains(), (Gains{256, 256, 256, 256}));
    EXPECT_EQ(v_gains(), (Gains{256, 256, 256, 256}));
}

TEST_F(GainBalance, ChromaGainsBringEachCameraToTheCommonLevel) {
    birdseye();
    // Flat chroma per camera (back, left, front, right): U 130, 112, 144, 120;
    // V 120, 120, 120, 140. All near grey, so G = n0 * value.
    back.flat(129, 130, 120);
    left.flat(129, 112, 120);
    front.flat(129, 144, 120);
    right.flat(129, 120, 140);
    run();
    // U: q = 1, r_X = 130 / U_X, so D = 4 * 130 * n0 = 520 * n0 and
    // base = (130 + 112 + 144 + 120) / 520 = 506/520; gain_X = 506 / (4 * U_X):
    // back 506/520 * 256 = 249.1; left 506/448 * 256 = 289.1; front 506/576 * 256 = 224.9;
    // right 506/480 * 256 = 269.9.
    EXPECT_EQ(u_gains(), (Gains{249, 289, 224, 269}));
    // V: r_L = r_F = 1, r_R = 120/140; D = 480 * n0; base = 500/480:
    // back, left, front 266.7 -> 266; right 500/560 * 256 = 228.6 -> 228.
    EXPECT_EQ(v_gains(), (Gains{266, 266, 266, 228}));
}

// Near-grey thresholds: the back camera's own pixels carry U = V = t.
// Left's seams carry chroma 64 (so r_L = 128/64 = 2, r_F = 64*2/128 = 1, r_R = 1);
// every other seam and own pixel carries 128.
//   t counted:     G = n0 * (t, 128, 128, 128), D = n0 * (t + 2*128 + 128 + 128);
//                  base = (t + 384) / (t + 512).
//   t not counted: G_B = 0, base = 384/512 = 0.75: back 192, left 1.5 -> 384.
struct Threshold {
    std::uint8_t t;
    Gains expected;
};

class NearGrey : public GainBalance, public ::testing::WithParamInterface<Threshold> {};

TEST_P(NearGrey, OnlyChroma109To147FeedsTheSums) {
    const Threshold& p = GetParam();
    birdseye();
    back.flat(129, p.t, p.t);
    for (int k = 1; k <= 4; ++k) back.patch(kCorner[k], 129, 128, 128);
    left.patch(kCorner[1], 129, 64, 64);
    left.patch(kCorner[3], 129, 64, 64);
    run();
    EXPECT_EQ(u_gains(), p.expected);
    EXPECT_EQ(v_gains(), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, NearGrey,
    ::testing::Values(Threshold{108, {192, 384, 192, 192}},
                      // 493/621 = 0.79388: * 256 = 203.2, * 512 = 406.5
                      Threshold{109, {203, 406, 203, 203}},
                      // 531/659 = 0.80577: * 256 = 206.3, * 512 = 412.5
                      Threshold{147, {206, 412, 206, 206}}, Threshold{148, {192, 384, 192, 192}}),
    [](const ::testing::TestParamInfo<Threshold>& i) { return std::string("t").append(std::to_string(i.param.t)); });

}  // namespace

namespace {

// A camera whose corner patches are black (mean 0) while it still has signal:
// the ring ratios divide by zero. The gains must come out as numbers the
// pixel arithmetic can use: neutral for "not a number", capped when infinite.
TEST_F(GainBalance, ZeroSeamMeansGiveUsableGains) {
    birdseye();
    back.flat(129);
    front.flat(129);
    right.flat(129);
    left.flat(129);
    for (int k = 1; k <= 4; ++k) left.patch(kCorner[k], 0);
    run();
    // Left at corners bl and fl has mean 0: q = (.. x 0) / (.. x 0) is not a
    // number, so every ratio, every weighted sum and so every gain is too.
    for (auto g : {y_gains(), u_gains(), v_gains()})
        for (std::uint32_t v : g) EXPECT_LE(v, 65535u);
    EXPECT_EQ(y_gains(), (Gains{256, 256, 256, 256}));

    // Only the back camera's corner patch at bl black: m(B,bl) = 0 sits in the
    // denominator of q (infinite) and the numerator of r_L.
    set_gains(256);
    left.flat(129);
    back.patch(kCorner[1], 0);
    run();
    for (auto g : {y_gains(), u_gains(), v_gains()})
        for (std::uint32_t v : g) EXPECT_LE(v, 65535u);
    // The frame after still draws every pixel from the table.
    run();
    EXPECT_LT(pixel(50, 100), 1u << 22);
}

}  // namespace
