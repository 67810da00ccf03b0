// Context, clipping layer, display driver, colour conversion and the AA factor.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gui/GUI.h"
#include "tests/gui/surfaces.h"
#include "vio/vio.h"

namespace {

TEST(GuiContext, InitGivesTheStartValues) {
    Surfaces s;
    const GUI_RECT& c = GUI_Context.ClipRect;
    EXPECT_EQ(c.x0, 0);
    EXPECT_EQ(c.y0, 0);
    EXPECT_EQ(c.x1, 799);
    EXPECT_EQ(c.y1, 479);
    EXPECT_EQ(GUI_Context.pClipRect_HL, &GUI_Context.ClipRect);
    EXPECT_EQ(GUI_GetFont(), &GUI_FontHZ24x24);
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[1], 0xFFFFFFu);
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[0], 0u);
    EXPECT_EQ(GUI_GetTextMode(), 0);
    EXPECT_EQ(GUI_GetTextAlign(), 0);
    EXPECT_EQ(GUI_AA_GetFactor(), 3);
    EXPECT_EQ(GUI_GetDecChar(), '.');
    EXPECT_EQ(GUI_Context.PenSize, 1);
    EXPECT_EQ(GUI_Context.pUC_API, &GUI_UC_None);
    EXPECT_STREQ(GUI_GetVersionString(), "3.98");
}

TEST(GuiContext, SettersReturnTheOldValue) {
    Surfaces s;
    EXPECT_EQ(GUI_SetFont(nullptr), &GUI_FontHZ24x24);
    EXPECT_EQ(GUI_GetFont(), &GUI_FontHZ24x24);
    EXPECT_EQ(GUI_SetTextMode(GUI_TEXTMODE_TRANS), 0);
    EXPECT_EQ(GUI_SetTextMode(0), GUI_TEXTMODE_TRANS);
    EXPECT_EQ(GUI_SetLBorder(5), 0);
    EXPECT_EQ(GUI_SetLBorder(0), 5);
    EXPECT_EQ(GUI_SetDecChar(','), '.');
    EXPECT_EQ(GUI_SetDecChar('.'), ',');
    EXPECT_EQ(GUI_SelectLayer(1), 0u);
    EXPECT_EQ(GUI_Context.SelLayer, 0);
    int sx = GUI_GetScreenSizeX(), sy = GUI_GetScreenSizeY();
    EXPECT_EQ(sx, 800);
    EXPECT_EQ(sy, 480);
    GUI_RECT r;
    GUI_GetClientRect(&r);
    EXPECT_EQ(r.x1, 800);
    EXPECT_EQ(r.y1, 480);
    EXPECT_EQ(LCD_GetDevCap(3), 800);
    EXPECT_EQ(LCD_GetDevCap(4096 + 0x123456), 0x123456);
    EXPECT_EQ(LCD_GetDevCap(7), -1);
    EXPECT_EQ(LCD_GetXSizeEx(1), 0);
}

TEST(GuiContext, ColoursAndReverseMode) {
    Surfaces s;
    GUI_Context.LCD.aColorIndex32[1] = 7;  // would be overwritten by a real conversion
    LCD_SetColor(0xFFFFFF);                // same colour: nothing happens
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[1], 7u);
    GUI_SetColor(0x123456);
    EXPECT_EQ(GUI_GetColor(), 0x123456u);
    EXPECT_EQ(LCD_SetDrawMode(GUI_DRAWMODE_REV), 0);
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[0], 0x123456u);
    GUI_SetBkColor(0x00FF00);  // background goes to slot 1 while reversed
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[1], 0x00FF00u);
    LCD_SetDrawMode(0);
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[0], 0x00FF00u);
    EXPECT_EQ(GUI_Context.LCD.aColorIndex32[1], 0x123456u);
    GUI_SetColorIndex(5);
    EXPECT_EQ(GUI_GetColor(), 5u);
    EXPECT_EQ(GUI_Context.Color, GUI_INVALID_COLOR);
}

TEST(GuiContext, ClipRectangles) {
    Surfaces s;
    const GUI_RECT r = {-50, 10, 900, 20};
    EXPECT_EQ(GUI_SetClipRect(&r), nullptr);
    EXPECT_EQ(GUI_Context.ClipRect.x0, 0);
    EXPECT_EQ(GUI_Context.ClipRect.x1, 799);
    EXPECT_EQ(GUI_Context.ClipRect.y0, 10);
    EXPECT_EQ(GUI_Context.ClipRect.y1, 20);
    EXPECT_EQ(GUI_SetClipRect(nullptr), nullptr);
    EXPECT_EQ(GUI_Context.ClipRect.y0, 0);
    EXPECT_EQ(GUI_Context.ClipRect.y1, 479);
    const GUI_RECT a = {0, 0, 9, 9}, b = {10, 0, 20, 9}, c = {9, 9, 30, 30};
    EXPECT_EQ(GUI_RectsIntersect(&a, &b), 0);
    EXPECT_EQ(GUI_RectsIntersect(&a, &c), 1);
    GUI_RECT m;
    GUI_MergeRect(&m, &a, &c);
    EXPECT_EQ(m.x1, 30);
    EXPECT_EQ(m.y0, 0);
    EXPECT_EQ(GUI__DivideRound(7, 2), 4);
    EXPECT_EQ(GUI__DivideRound32(-7, 2), -4);
    EXPECT_EQ(GUI__DivideRound(7, 0), 0);
    EXPECT_EQ(GUI__strlen(nullptr), -1);
    EXPECT_EQ(GUI__strcmp(nullptr, ""), 0);
    EXPECT_EQ(GUI__strcmp("a", "b"), 1);
}

TEST(GuiContext, FillRectIsClipped) {
    Surfaces s;
    const GUI_RECT clip = {10, 10, 19, 19};
    GUI_SetClipRect(&clip);
    LCD_FillRect(0, 0, 100, 100);
    EXPECT_EQ(s.px(9, 10), 0u);
    EXPECT_EQ(s.px(10, 10), 0xFFFFFFFFu);
    EXPECT_EQ(s.px(19, 19), 0xFFFFFFFFu);
    EXPECT_EQ(s.px(20, 19), 0u);
    EXPECT_EQ(s.px(19, 20), 0u);
    GUI_SetClipRect(nullptr);
    GUI_ClearRect(12, 12, 12, 12);  // background colour, black
    EXPECT_EQ(s.px(12, 12), 0xFF000000u);
}

// Left clipping of every depth: 16 pixels drawn at x 1 with the clip starting
// at x 11, so the first 10 pixels are dropped and pixel k lands at x 1 + k.
struct DepthCase {
    int bpp;
    unsigned mask;
};
class GuiBitmapClip : public ::testing::TestWithParam<DepthCase> {};

TEST_P(GuiBitmapClip, LeftAndTopClipKeepPixelPositions) {
    Surfaces s;
    const DepthCase dc = GetParam();
    constexpr int kW = 16, kH = 4;
    const int bytes_per_line = (kW * dc.bpp + 7) / 8;
    std::vector<U8> data(bytes_per_line * kH, 0);
    auto value = [&](int k, int row) { return static_cast<unsigned>(k * 7 + 3 + row) & dc.mask; };
    for (int row = 0; row < kH; ++row)
        for (int k = 0; k < kW; ++k) {
            const unsigned v = value(k, row);
            U8* line = data.data() + row * bytes_per_line;
            if (dc.bpp == 16) {
                line[2 * k] = static_cast<U8>(v);
                line[2 * k + 1] = static_cast<U8>(v >> 8);
            } else {
                const int bit = k * dc.bpp;
                line[bit / 8] |= static_cast<U8>(v << (8 - dc.bpp - bit % 8));
            }
        }
    std::vector<LCD_PIXELINDEX> trans(256);
    for (unsigned i = 0; i < 256; ++i) trans[i] = 0x100 + i;
    const LCD_PIXELINDEX* pTrans = dc.bpp == 16 ? nullptr : trans.data();
    const GUI_RECT clip = {11, 12, 799, 479};
    GUI_SetClipRect(&clip);
    LCD_DrawBitmap(1, 10, kW, kH, 1, 1, dc.bpp, bytes_per_line, data.data(), pTrans);
    for (int row = 0; row < kH; ++row) {
        const int y = 10 + row;
        for (int x = 9; x <= 18; ++x) {
            std::uint32_t want = 0;
            if (x >= 11 && y >= 12 && x <= kW) {
                const unsigned v = value(x - 1, row);
                want = (pTrans ? pTrans[v] : v) | 0xFF000000u;
            }
            EXPECT_EQ(s.px(x, y), want) << "bpp " << dc.bpp << " x " << x << " y " << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Depths, GuiBitmapClip,
                         ::testing::Values(DepthCase{1, 1}, DepthCase{2, 3}, DepthCase{4, 15}, DepthCase{8, 255},
                                           DepthCase{16, 0xFFFF}));

// ---------------------------------------------------------------- driver

struct PixelCase {
    int surface, x, y;
    U32 index;
    bool written;
    U32 want;  // table: YUV_default; canvas: word; stamp: 16-bit word
};
class GuiDriverPixel : public ::testing::TestWithParam<PixelCase> {};

TEST_P(GuiDriverPixel, EncodingAndBounds) {
    Surfaces s;
    const PixelCase pc = GetParam();
    for (auto& e : s.tab) {
        e.pic_num = 0x12;
        e.qz = 77;
        e.Addr_Y = 1234;
        e.YUV_default = 0;
    }
    select_surface(pc.surface);
    LCD_L0_SetPixelIndex(pc.x, pc.y, pc.index);
    int changed_table = 0, changed_canvas = 0, changed_stamp = 0;
    for (const auto& e : s.tab) changed_table += e.pic_num != 0x12;
    for (auto w : s.canvas) changed_canvas += w != 0;
    for (auto w : s.stamp) changed_stamp += w != 0;
    const int changed = changed_table + changed_canvas + changed_stamp;
    EXPECT_EQ(changed, pc.written ? 1 : 0);
    if (!pc.written) return;
    switch (pc.surface) {
        case 0: {
            const Image_table& e = s.tab[pc.y * TABLE_W + pc.x];
            EXPECT_EQ(e.pic_num, 0);
            EXPECT_EQ(e.YUV_default, pc.want);
            EXPECT_EQ(e.qz, 77);
            EXPECT_EQ(e.Addr_Y, 1234u);
            break;
        }
        case 1: EXPECT_EQ(s.px(pc.x, pc.y), pc.want); break;
        case 2: EXPECT_EQ(s.stamp[pc.y * 288 + pc.x], pc.want); break;
        default: FAIL();
    }
}
INSTANTIATE_TEST_SUITE_P(
    Surfaces, GuiDriverPixel,
    ::testing::Values(PixelCase{0, 5, 6, 0xFFFFFF, true, 0xFFFFFFFF}, PixelCase{0, 1, 1, 0x000000, true, 0xFF000000},
                      PixelCase{0, 799, 479, 0x123456, true, 0xFF123456}, PixelCase{0, 0, 5, 0xFFFFFF, false, 0},
                      PixelCase{0, 5, 0, 0xFFFFFF, false, 0}, PixelCase{0, 800, 5, 0xFFFFFF, false, 0},
                      PixelCase{0, 5, 480, 0xFFFFFF, false, 0}, PixelCase{1, 7, 8, 0xFFFFFF, true, 0xFFFFFFFF},
                      PixelCase{1, 7, 8, 0x000000, true, 0xFF000000}, PixelCase{1, 0, 8, 0xFFFFFF, false, 0},
                      PixelCase{1, 7, 0, 0xFFFFFF, false, 0}, PixelCase{1, -1, 8, 0xFFFFFF, false, 0},
                      PixelCase{2, 0, 0, 0xFFFFFF, true, 0xFFFF}, PixelCase{2, 287, 23, 0x000000, true, 0x8000},
                      PixelCase{2, 3, 4, 0x0000FF, true, 0x801F}, PixelCase{2, 3, 4, 0x00F800, true, 0x83E0},
                      PixelCase{2, 3, 4, 0xF80000, true, 0xFC00}, PixelCase{2, 288, 0, 0xFFFFFF, false, 0},
                      PixelCase{2, 0, 24, 0xFFFFFF, false, 0}, PixelCase{3, 5, 5, 0xFFFFFF, false, 0}));

TEST(GuiDriver, GlyphRowNormalAndTransparent) {
    Surfaces s;
    const U8 row = 0xA0;
    const LCD_PIXELINDEX trans[2] = {0x000011, 0x000022};
    LCD_L0_DrawBitmap(10, 10, 3, 1, 1, 1, &row, 0, trans);
    EXPECT_EQ(s.px(10, 10), 0xFF000022u);
    EXPECT_EQ(s.px(11, 10), 0xFF000011u);
    EXPECT_EQ(s.px(12, 10), 0xFF000022u);
    EXPECT_EQ(s.px(13, 10), 0u);
    LCD_SetDrawMode(GUI_DRAWMODE_TRANS);
    LCD_L0_DrawBitmap(10, 11, 3, 1, 1, 1, &row, 0, trans);
    EXPECT_EQ(s.px(10, 11), 0xFF000022u);
    EXPECT_EQ(s.px(11, 11), 0u);
    EXPECT_EQ(s.px(12, 11), 0xFF000022u);
    LCD_SetDrawMode(GUI_DRAWMODE_XOR);
    LCD_L0_DrawBitmap(10, 12, 3, 1, 1, 1, &row, 0, trans);
    EXPECT_EQ(s.px(10, 12), 0xFFFFFFFFu);
    EXPECT_EQ(s.px(11, 12), 0u);
    LCD_SetDrawMode(0);
}

TEST(GuiDriver, XorHasNoReadBack) {
    Surfaces s;
    LCD_SetDrawMode(GUI_DRAWMODE_XOR);
    LCD_DrawHLine(5, 5, 9);
    LCD_DrawHLine(5, 5, 9);
    LCD_SetDrawMode(0);
    for (int x = 5; x <= 9; ++x) EXPECT_EQ(s.px(x, 5), 0xFFFFFFFFu);
    select_surface(2);
    LCD_L0_XorPixel(0, 0);
    EXPECT_EQ(s.stamp[0], 0xFFFF);
    EXPECT_EQ(LCD_L0_GetPixelIndex(5, 5), 0u);
    EXPECT_EQ(LCD_L0_GetDevFunc(3), nullptr);
}

TEST(GuiAA, SetFactorScalesTheClip) {
    Surfaces s;
    GUI_AA_SetFactor(4);
    EXPECT_EQ(GUI_AA_GetFactor(), 4);
    EXPECT_EQ(ClipRect_HL.x0, 0);
    EXPECT_EQ(ClipRect_HL.y0, 0);
    EXPECT_EQ(ClipRect_HL.x1, 3199);
    EXPECT_EQ(ClipRect_HL.y1, 1919);
}

// ---------------------------------------------------------------- colour

TEST(GuiColour, EdgeValues) {
    EXPECT_EQ(LCD_Color2Index_888(0x123456), 0x123456u);
    EXPECT_EQ(LCD_Color2Index_M888(0x123456), 0x563412u);
    EXPECT_EQ(LCD_Color2Index_565(0xFFFFFF), 0xFFFFu);
    EXPECT_EQ(LCD_Index2Color_565(0x001F), 0x0000FFu);
    EXPECT_EQ(LCD_Index2Color_M565(0xF800), 0x0000FFu);
    EXPECT_EQ(LCD_Index2Color_666(0x3FFFF), 0xFCFCFCu);
    EXPECT_EQ(LCD_Color2Index_8666(0x808080), 128u);
    EXPECT_EQ(LCD_Color2Index_8666(0x0000FF), 5u);
    EXPECT_EQ(LCD_Color2Index_8666(0xFF0000), 220u);
    EXPECT_EQ(LCD_Index2Color_8666(110), 0u);
    EXPECT_EQ(LCD_Color2Index_1(0x7F7F7F), 0u);
    EXPECT_EQ(LCD_Color2Index_1(0x808080), 1u);
    EXPECT_EQ(LCD_Color2Index_233(0x00FF00), 7u << 3);
    EXPECT_EQ(LCD_Index2Color_444_12(0xF00), 0xFF0000u);
    const LCD_COLOR pal[] = {0x000000, 0x00FF00, 0x00FF00, 0xFFFFFF};
    const LCD_PHYSPALETTE phys = {4, pal};
    EXPECT_EQ(LCD_Color2Index_0(0x00FF00, &phys), 1u);
    EXPECT_EQ(LCD_Color2Index_0(0xF0F0F0, &phys), 3u);
    EXPECT_EQ(LCD_Index2Color_0(4, &phys), 0u);
    EXPECT_EQ(GUI_CalcColorDist(0x000000, 0x0A0B0C), 100u + 121u + 144u);
    EXPECT_EQ(LCD_MixColors256(0xFFFFFF, 0x000000, 128), 0x7F7F7Fu);
    EXPECT_EQ(LCD_MixColors256(0x123456, 0x654321, 256), 0x123456u);
    EXPECT_EQ(GUI_Color2VisColor(0xABCDEF), 0xABCDEFu);
    EXPECT_EQ(GUI_ColorIsAvailable(0xABCDEF), 1);
    std::vector<LCD_COLOR> many(257, 0x010203);
    const LCD_LOGPALETTE big = {257, 0, many.data()};
    LCD__aConvTable[0] = 42;
    EXPECT_EQ(LCD_GetpPalConvTable(&big), nullptr);
    EXPECT_EQ(LCD__aConvTable[0], 42u);
}

struct Format {
    const char* name;
    unsigned (*to)(LCD_COLOR);
    LCD_COLOR (*from)(int);
    unsigned (*mask)();
    unsigned want_mask;
};
#define FMT(F, M) Format{#F, LCD_Color2Index_##F, LCD_Index2Color_##F, LCD_GetIndexMask_##F, M}
class GuiColourFormat : public ::testing::TestWithParam<Format> {};

TEST_P(GuiColourFormat, EveryIndexOfTheMaskRoundTrips) {
    const Format f = GetParam();
    ASSERT_EQ(f.mask(), f.want_mask);
    const bool cube = std::strncmp(f.name, "8666", 4) == 0;
    int checked = 0;
    for (unsigned i = 0; i <= f.want_mask; ++i) {
        if (i & ~f.want_mask) continue;
        const LCD_COLOR c = f.from(static_cast<int>(i));
        // In the cube formats the unused indices and the cube's own greys do not come back.
        if (cube && (c == 0 || ((c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == (c >> 16))) &&
            !(i >= 120 && i <= 135))
            continue;
        ASSERT_EQ(f.to(c), i) << f.name << " index " << i;
        ++checked;
    }
    EXPECT_GT(checked, 1);
}
INSTANTIATE_TEST_SUITE_P(
    All, GuiColourFormat,
    ::testing::Values(FMT(1, 0x1), FMT(2, 0x3), FMT(4, 0xF), FMT(111, 0x7), FMT(M111, 0x7), FMT(222, 0x3F),
                      FMT(M222, 0x3F), FMT(233, 0xFF), FMT(M233, 0xFF), FMT(323, 0xFF), FMT(M323, 0xFF),
                      FMT(332, 0xFF), FMT(M332, 0xFF), FMT(444_12, 0xFFF), FMT(M444_12, 0xFFF),
                      FMT(444_12_1, 0xFFF0), FMT(444_16, 0x7BDE), FMT(M444_16, 0x7BDE), FMT(555, 0x7FFF),
                      FMT(M555, 0x7FFF), FMT(556, 0xFFFF), FMT(M556, 0xFFFF), FMT(565, 0xFFFF), FMT(M565, 0xFFFF),
                      FMT(655, 0xFFFF), FMT(M655, 0xFFFF), FMT(666, 0x3FFFF), FMT(M666, 0x3FFFF),
                      FMT(888, 0xFFFFFF), FMT(M888, 0xFFFFFF), FMT(8666, 0xFF), FMT(8666_1, 0xFF)),
    [](const auto& info) { return std::string("F") + info.param.name; });
#undef FMT

// Pure red, green and blue and the mix R 200, G 100, B 50 (0x3264C8; red in
// the low byte) into each format's fields and back, worked out by hand from the
// field positions. 565 mix: 200 >> 3 = 25 at bit 0, 100 >> 2 = 25 at bit 5,
// 50 >> 3 = 6 at bit 11: 0x3339; back 25 * 255 / 31 = 205, 25 * 255 / 63 =
// 101, 6 * 255 / 31 = 49: 0x3165CD. 233 mix: (200 * 7 + 127) / 255 = 5,
// (100 * 7 + 127) / 255 = 3, (50 + 42) / 85 = 1: 5 | 3 << 3 | 1 << 6 = 0x5D;
// back 5 * 255 / 7 = 182, 3 * 255 / 7 = 109, 85: 0x556DB6. An exchange of red
// and blue moves the fields and fails here, which the round trip cannot see.
struct Absolute {
    const char* name;
    unsigned (*to)(LCD_COLOR);
    LCD_COLOR (*from)(int);
    unsigned red, green, blue, mix;  // indices
    LCD_COLOR red_back, green_back, blue_back, mix_back;
};
#define ABS(F, ...) Absolute{#F, LCD_Color2Index_##F, LCD_Index2Color_##F, __VA_ARGS__}
constexpr LCD_COLOR kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kMix = 0x3264C8;
const Absolute kAbsolute[] = {
    // Greys: one level for the three channels.
    ABS(1, 0, 0, 0, 0, 0, 0, 0, 0),
    ABS(2, 1, 1, 1, 1, 0x555555, 0x555555, 0x555555, 0x555555),
    ABS(4, 5, 5, 5, 7, 0x555555, 0x555555, 0x555555, 0x777777),
    ABS(111, 0x1, 0x2, 0x4, 0x1, kRed, kGreen, kBlue, kRed),
    ABS(M111, 0x4, 0x2, 0x1, 0x4, kRed, kGreen, kBlue, kRed),
    // 2-bit fields (c + 42) / 85: mix 2, 1, 1.
    ABS(222, 0x3, 0xC, 0x30, 0x16, kRed, kGreen, kBlue, 0x5555AA),
    ABS(M222, 0x30, 0xC, 0x3, 0x25, kRed, kGreen, kBlue, 0x5555AA),
    ABS(233, 0x7, 0x38, 0xC0, 0x5D, kRed, kGreen, kBlue, 0x556DB6),
    ABS(M233, 0xC0, 0x38, 0x7, 0x99, kRed, kGreen, kBlue, 0x246DAA),
    ABS(323, 0x7, 0x18, 0xE0, 0x2D, kRed, kGreen, kBlue, 0x2455B6),
    ABS(M323, 0xE0, 0x18, 0x7, 0xA9, kRed, kGreen, kBlue, 0x2455B6),
    ABS(332, 0x3, 0x1C, 0xE0, 0x2E, kRed, kGreen, kBlue, 0x246DAA),
    ABS(M332, 0xE0, 0x1C, 0x3, 0xAD, kRed, kGreen, kBlue, 0x556DB6),
    // 4-bit fields (c + 8) / 17: mix 12, 6, 3, back 204, 102, 51.
    ABS(444_12, 0xF, 0xF0, 0xF00, 0x36C, kRed, kGreen, kBlue, 0x3366CC),
    ABS(M444_12, 0xF00, 0xF0, 0xF, 0xC63, kRed, kGreen, kBlue, 0x3366CC),
    ABS(444_12_1, 0xF000, 0xF00, 0xF0, 0xC630, kRed, kGreen, kBlue, 0x3366CC),
    ABS(444_16, 0x1E, 0x3C0, 0x7800, 0x1998, kRed, kGreen, kBlue, 0x3366CC),
    ABS(M444_16, 0x7800, 0x3C0, 0x1E, 0x6186, kRed, kGreen, kBlue, 0x3366CC),
    // Top bits; 5 bits back by k * 255 / 31, 6 bits by k * 255 / 63.
    ABS(555, 0x1F, 0x3E0, 0x7C00, 0x1999, kRed, kGreen, kBlue, 0x3162CD),
    ABS(M555, 0x7C00, 0x3E0, 0x1F, 0x6586, kRed, kGreen, kBlue, 0x3162CD),
    ABS(556, 0x3F, 0x7C0, 0xF800, 0x3332, kRed, kGreen, kBlue, 0x3162CA),
    ABS(M556, 0xFC00, 0x3E0, 0x1F, 0xC986, kRed, kGreen, kBlue, 0x3162CA),
    ABS(565, 0x1F, 0x7E0, 0xF800, 0x3339, kRed, kGreen, kBlue, 0x3165CD),
    ABS(M565, 0xF800, 0x7E0, 0x1F, 0xCB26, kRed, kGreen, kBlue, 0x3165CD),
    ABS(655, 0x1F, 0x3E0, 0xFC00, 0x3199, kRed, kGreen, kBlue, 0x3062CD),
    ABS(M655, 0xF800, 0x7C0, 0x3F, 0xCB0C, kRed, kGreen, kBlue, 0x3062CD),
    // Back by k << 2: a full field gives 0xFC.
    ABS(666, 0x3F, 0xFC0, 0x3F000, 0xC672, 0x0000FC, 0x00FC00, 0xFC0000, 0x3064C8),
    ABS(M666, 0x3F000, 0xFC0, 0x3F, 0x3264C, 0x0000FC, 0x00FC00, 0xFC0000, 0x3064C8),
    ABS(888, 0xFF, 0xFF00, 0xFF0000, 0x3264C8, kRed, kGreen, kBlue, kMix),
    ABS(M888, 0xFF0000, 0xFF00, 0xFF, 0xC86432, kRed, kGreen, kBlue, kMix),
    // Cube levels (c * 5 + 127) / 255, v = r + 6 g + 36 b: red 5, green 30,
    // blue 180 (past 108: + 40, or + 28), mix 4 + 6 * 2 + 36 * 1 = 52; back
    // 51 per level: 204, 102, 51.
    ABS(8666, 5, 30, 220, 52, kRed, kGreen, kBlue, 0x3366CC),
    ABS(8666_1, 17, 42, 208, 64, kRed, kGreen, kBlue, 0x3366CC),
};
#undef ABS

TEST(GuiColourFormat, EachFormatPlacesRedGreenAndBlueInTheirOwnFields) {
    for (const Absolute& f : kAbsolute) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.to(kRed), f.red);
        EXPECT_EQ(f.to(kGreen), f.green);
        EXPECT_EQ(f.to(kBlue), f.blue);
        EXPECT_EQ(f.to(kMix), f.mix);
        EXPECT_EQ(f.from(static_cast<int>(f.red)), f.red_back);
        EXPECT_EQ(f.from(static_cast<int>(f.green)), f.green_back);
        EXPECT_EQ(f.from(static_cast<int>(f.blue)), f.blue_back);
        EXPECT_EQ(f.from(static_cast<int>(f.mix)), f.mix_back);
    }
}

}  // namespace
