// set_image, one pixel at a time: what each kind of table entry draws.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dsp/dsp_image.h"
#include "tests/dsp/compose_fixture.h"
#include "vio/vio.h"

namespace {

// No conversion-table entry has these top bits, so it marks a pixel never written.
constexpr std::uint32_t kUntouched = 0xDEADBEEF;

const std::uint32_t* real_table() {
    static const std::vector<std::uint32_t> t = [] {
        std::vector<std::uint32_t> v(1u << 22);
        Init_table_YUV2RGB(v.data());
        return v;
    }();
    return t.data();
}

class PixelKinds : public ::testing::Test {
protected:
    void SetUp() override { set_gains(256); }
    void TearDown() override { set_gains(256); }

    Image_table& at(int row, int col) { return table[row * TABLE_W + col]; }
    std::uint32_t pixel(int row, int col) const { return canvas[row * TABLE_W + col]; }
    void run(const std::uint32_t* conv = index_table()) {
        set_image(canvas.data(), table.data(), front.y.data(), front.uv.data(), back.y.data(), back.uv.data(),
                  left.y.data(), left.uv.data(), right.y.data(), right.uv.data(), conv);
    }
    // A cleared table: every entry is kind 0 with colour 0.
    std::vector<Image_table> table = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<std::uint32_t> canvas = std::vector<std::uint32_t>(TABLE_W * TABLE_H, kUntouched);
    Camera front, back, left, right;
};

TEST_F(PixelKinds, ColourEntriesReproduceTheirColours) {
    for (int r = COMPOSE_TOP; r <= COMPOSE_BOTTOM; ++r)
        for (int c = COMPOSE_LEFT; c <= COMPOSE_RIGHT; ++c) {
            at(r, c) = entry(0x00);
            at(r, c).YUV_default = 0x80000000u | static_cast<std::uint32_t>(r) << 12 | static_cast<std::uint32_t>(c);
        }
    run(real_table());
    for (int r = COMPOSE_TOP; r <= COMPOSE_BOTTOM; ++r)
        for (int c = COMPOSE_LEFT; c <= COMPOSE_RIGHT; ++c)
            ASSERT_EQ(pixel(r, c), 0x80000000u | static_cast<std::uint32_t>(r) << 12 | static_cast<std::uint32_t>(c))
                << r << "," << c;
}

TEST_F(PixelKinds, NothingOutsideTheComposedAreaIsWritten) {
    // Every entry, inside the area or not, asks for a colour.
    for (auto& e : table) {
        e = entry(0x00);
        e.YUV_default = 0xFF123456;
    }
    run();
    for (int r = 0; r < TABLE_H; ++r)
        for (int c = 0; c < TABLE_W; ++c) {
            const bool inside = r >= 12 && r <= 467 && c >= 16 && c <= 783;
            ASSERT_EQ(pixel(r, c), inside ? 0xFF123456u : kUntouched) << r << "," << c;
        }
}

TEST_F(PixelKinds, FlatWhiteThroughSingleCameraShows254) {
    // Weights sum to 255: (255 * 255) >> 8 = 65025 >> 8 = 254.
    back.flat(255, 128, 128);
    at(100, 100) = entry(0x10, 5000);
    at(100, 101) = entry(0x10, 5000);
    at(100, 101).ybili = {64, 64, 64, 63};
    run();
    EXPECT_EQ(pixel(100, 100), idx(254, 64, 64));
    EXPECT_EQ(pixel(100, 101), idx(254, 64, 64));
    // Through the real table, Y 254, a = b = 64:
    // R = 254 - 180 + 180 = 254, G = 254 + 134 - 44 - 91 = 253, B = 254 - 228 + 227 = 253.
    run(real_table());
    EXPECT_EQ(pixel(100, 100), 0xFFFEFDFDu);
}

TEST_F(PixelKinds, SingleCameraSlotPicksTheCameraAndIgnoresGains) {
    // Flat Y of 41, 81, 121, 161 give bilinear Y of 40, 80, 120, 160 ((Y * 255) >> 8 = Y - 1).
    back.flat(41, 128, 128);
    front.flat(81, 128, 128);
    left.flat(121, 128, 128);
    right.flat(161, 128, 128);
    // Kind 1 draws without gain, whatever the gains are.
    set_gains(512);
    const struct {
        std::uint16_t pic;
        std::uint32_t y;
    } cases[] = {
        {0x10, 40}, {0x12, 80}, {0x14, 120}, {0x16, 160},
        // Bit 0 is not part of the slot.
        {0x11, 40}, {0x13, 80}, {0x15, 120}, {0x17, 160},
    };
    int col = 20;
    for (const auto& k : cases) at(50, col++) = entry(k.pic, 700 * 1280 + 3);
    run();
    col = 20;
    for (const auto& k : cases) EXPECT_EQ(pixel(50, col++), idx(k.y, 64, 64)) << std::hex << k.pic;
}

TEST_F(PixelKinds, ChromaWordHighByteIsU) {
    // Word 0xC832: U = 0xC8 = 200 -> a = 100, V = 0x32 = 50 -> b = 25.
    back.flat(129, 0xC8, 0x32);
    at(30, 30) = entry(0x10, 1000);
    run();
    EXPECT_EQ(pixel(30, 30), idx(128, 100, 25));
}

TEST_F(PixelKinds, BilinearSampleOfFourPixelsAndChromaOfTheEvenByte) {
    // Odd offset a = 20 * 1280 + 11 = 25611 with weights tl 98, tr 31, bl 95, br 31:
    // (10*98 + 20*31 + 30*95 + 40*31) = 980 + 620 + 2850 + 1240 = 5690; 5690 >> 8 = 22.
    // Its chroma is word a >> 1 = 12805 (bytes 25610-25611), not the next word.
    const std::uint32_t a = 20 * 1280 + 11;
    back.y[a] = 10;
    back.y[a + 1] = 20;
    back.y[a + 1280] = 30;
    back.y[a + 1281] = 40;
    back.uv[a >> 1] = 140 << 8 | 60;    // a = 70, b = 30
    back.uv[(a >> 1) + 1] = 20 << 8 | 20;
    at(200, 300) = entry(0x10, a);
    at(200, 300).ybili = {98, 31, 95, 31};
    run();
    EXPECT_EQ(pixel(200, 300), idx(22, 70, 30));
}

TEST_F(PixelKinds, BalancedKindsApplyTheirCamerasGains) {
    back.flat(101, 100, 200);   // Y 100 after the weights
    left.flat(151, 150, 60);    // Y 150
    front.flat(61, 128, 128);   // Y 60
    right.flat(201, 250, 10);   // Y 200
    bili_b = 386, bili_b_u = 128, bili_b_v = 300;
    bili_l = 256, bili_l_u = 512, bili_l_v = 256;
    bili_t = 1024, bili_t_u = 256, bili_t_v = 199;
    bili_r = 300, bili_r_u = 200, bili_r_v = 1000;
    at(40, 40) = entry(0x20, 9000);
    at(40, 41) = entry(0x30, 9000);
    at(40, 42) = entry(0x40, 9000);
    at(40, 43) = entry(0x50, 9000);
    run();
    // Back: Y 100*386>>8 = 38600>>8 = 150 (150.78, truncated); U 100*128>>8 = 50 -> a 25;
    // V 200*300>>8 = 60000>>8 = 234 -> b 117.
    EXPECT_EQ(pixel(40, 40), idx(150, 25, 117));
    // Left: Y 150; U 150*512>>8 = 300 -> limited to 255 -> a 127; V 60 -> b 30.
    EXPECT_EQ(pixel(40, 41), idx(150, 127, 30));
    // Front: Y 60*1024>>8 = 240; U 128 -> a 64; V 128*199>>8 = 25472>>8 = 99 (99.5, truncated) -> b 49.
    EXPECT_EQ(pixel(40, 42), idx(240, 64, 49));
    // Right: Y 200*300>>8 = 234; U 250*200>>8 = 195 -> a 97; V 10*1000>>8 = 39 -> b 19.
    EXPECT_EQ(pixel(40, 43), idx(234, 97, 19));
}

TEST_F(PixelKinds, BalancedYIsLimitedTo255) {
    // 200 * 512 >> 8 = 400 -> 255.
    back.flat(201, 128, 128);
    bili_b = 512;
    at(60, 60) = entry(0x20, 9000);
    run();
    EXPECT_EQ(pixel(60, 60), idx(255, 64, 64));
}

TEST_F(PixelKinds, CornerBlendMixesTheTwoGainedSourcesByQz) {
    // Corner 3: front first, left second, qz 64 (second weight 192).
    front.flat(101, 200, 40);   // Y 100
    left.flat(51, 100, 240);    // Y 50
    bili_t = 512, bili_t_u = 256, bili_t_v = 1024;
    bili_l = 256, bili_l_u = 256, bili_l_v = 384;
    at(300, 500) = entry(0x73, 4000, 64, 8000);
    run();
    // A' = (100*512>>8, 200, 40*1024>>8) = (200, 200, 160)
    // B' = (50, 100, 240*384>>8 = 360 -> 255)
    // sY = 64*200 + 192*50 = 22400 -> >>8 = 87
    // sU = 64*200 + 192*100 = 32000 -> >>9 = 62
    // sV = 64*160 + 192*255 = 59200 -> >>9 = 115
    EXPECT_EQ(pixel(300, 500), idx(87, 62, 115));
}

TEST_F(PixelKinds, EachCornerBlendsItsOwnPairOfCameras) {
    back.flat(41, 128, 128);    // Y 40
    left.flat(81, 128, 128);    // Y 80
    front.flat(121, 128, 128);  // Y 120
    right.flat(161, 128, 128);  // Y 160
    for (int corner = 1; corner <= 4; ++corner)
        at(400, 100 + corner) = entry(static_cast<std::uint16_t>(0x70 | corner), 3000, 192, 6000);
    run();
    // s = 192 * first + 64 * second; chroma 256 * 128 = 32768 >> 9 = 64.
    EXPECT_EQ(pixel(400, 101), idx(50, 64, 64));   // back + left: 192*40 + 64*80 = 12800 >> 8 = 50
    EXPECT_EQ(pixel(400, 102), idx(70, 64, 64));   // back + right: 7680 + 64*160 = 17920 >> 8 = 70
    EXPECT_EQ(pixel(400, 103), idx(110, 64, 64));  // front + left: 192*120 + 5120 = 28160 >> 8 = 110
    EXPECT_EQ(pixel(400, 104), idx(130, 64, 64));  // front + right: 23040 + 10240 = 33280 >> 8 = 130
}

TEST_F(PixelKinds, UnlistedKindsSlotsAndCornersLeaveTheCanvasPixel) {
    std::vector<std::uint16_t> pics = {0x60, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0,
                                       0x18, 0x19, 0x1A, 0x1C, 0x1E, 0x1F, 0x70};
    for (std::uint16_t c = 5; c <= 15; ++c) pics.push_back(static_cast<std::uint16_t>(0x70 | c));
    // Each unlisted entry sits between two colour entries, so the walk is seen to go on.
    int col = 20;
    for (std::uint16_t p : pics) {
        at(100, col) = entry(p, 5000, 128, 5000);
        at(100, col + 1) = entry(0x00);
        at(100, col + 1).YUV_default = 0xFF000000u | p;
        col += 2;
    }
    run();
    col = 20;
    for (std::uint16_t p : pics) {
        EXPECT_EQ(pixel(100, col), kUntouched) << std::hex << p;
        EXPECT_EQ(pixel(100, col + 1), 0xFF000000u | p) << std::hex << p;
        col += 2;
    }
}

TEST_F(PixelKinds, DamagedEntriesStayInsideThePlanesAndStillDraw) {
    // Offsets past the last valid 2 x 2 neighbourhood (920318) and weights of a
    // corner above 256. Under AddressSanitizer any read outside the exact-size
    // planes or conversion table fails the test.
    const std::uint32_t bad[] = {920319, 921598, 921599, 921600, 0xFFFFFFFFu};
    int col = 20;
    for (std::uint32_t a : bad) {
        at(150, col++) = entry(0x10, a);
        at(150, col++) = entry(0x16, a);
        at(150, col++) = entry(0x20, a);
        at(150, col++) = entry(0x50, a);
        at(150, col++) = entry(0x71, a, 128, a);
        at(150, col++) = entry(0x74, 0, 300, a);
        at(150, col++) = entry(0x72, a, 65535, 0);
    }
    // Weights that sum past 255 over bright pixels: (255 * 1020) >> 8 = 1016 would
    // index far past the conversion table.
    for (std::uint16_t pic : {0x10, 0x12, 0x14, 0x16}) {
        at(150, col) = entry(pic, 1000);
        at(150, col++).ybili = {255, 255, 255, 255};
    }
    const int end = col;
    for (Camera* c : {&front, &back, &left, &right}) c->flat(255, 255, 255);
    run();
    for (int c = 20; c < end; ++c) EXPECT_LT(pixel(150, c), 1u << 22) << c;  // a table entry was written
}

}  // namespace
