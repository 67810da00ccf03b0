// Anti-aliasing: the line buffer's counts, coverage sums near the exact areas,
// the clamps and guards, and the three anti-aliased font kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gui/GUI.h"
#include "tests/gui/surfaces.h"

namespace {

// White on black over a read-back of 0: a pixel of intensity I is 17 x I in every channel.
double coverage(const Surfaces& s) {
    double sum = 0;
    for (auto w : s.canvas) sum += (w & 0xFF) / 255.0;
    return sum;
}

TEST(AntiAlias, FactorClipAndInitialisationGuards) {
    Surfaces s;
    GUI_AA_SetFactor(4);
    EXPECT_EQ(ClipRect_HL.x1, 3199);
    EXPECT_EQ(ClipRect_HL.y1, 1919);
    GUI_AA_SetFactor(0);
    EXPECT_EQ(GUI_AA_GetFactor(), 1);
    GUI_AA_SetFactor(99);
    EXPECT_EQ(GUI_AA_GetFactor(), 15);

    const tLCD_HL_APIList* hooks = GUI_Context.pLCD_HL;
    EXPECT_EQ(GUI_AA_Init(10, 5), 1);  // nothing to draw: nothing changed
    EXPECT_EQ(GUI_Context.pLCD_HL, hooks);
    EXPECT_EQ(GUI_Context.pClipRect_HL, &GUI_Context.ClipRect);
    EXPECT_EQ(GUI_AA_Init(-5, 5000), 0);
    EXPECT_NE(GUI_Context.pLCD_HL, hooks);
    EXPECT_EQ(GUI_Context.pClipRect_HL, &ClipRect_HL);
    GUI_AA_Exit();
    EXPECT_EQ(GUI_Context.pLCD_HL, hooks);
    EXPECT_EQ(GUI_Context.pClipRect_HL, &GUI_Context.ClipRect);
}

TEST(AntiAlias, SpanCountsBecomeIntensities) {
    struct Case {
        int factor, x0, x1, subrows, col;
        U32 want;
    };
    // Factor 4: sub-pixels 403..404 give one each to columns 100 and 101: (15 + 8) / 16 = 1.
    // A half-covered pixel (8 of 16) gives 8; a full one is the foreground; a pixel covered
    // twice over saturates to full instead of wrapping the byte.
    const Case cases[] = {{4, 403, 404, 1, 100, 0xFF111111}, {4, 403, 404, 1, 101, 0xFF111111},
                          {4, 400, 401, 4, 100, 0xFF888888}, {4, 400, 403, 4, 100, 0xFFFFFFFF},
                          {15, 1500, 1514, 30, 100, 0xFFFFFFFF}, {15, 1500, 1514, 30, 101, 0}};
    for (const Case& c : cases) {
        Surfaces s;
        GUI_AA_SetFactor(c.factor);
        ASSERT_EQ(GUI_AA_Init(100, 200), 0);
        for (int r = 0; r < c.subrows; ++r) GUI_Context.pLCD_HL->pfDrawHLine(c.x0, 10 * c.factor + r % c.factor, c.x1);
        GUI_AA_Exit();
        EXPECT_EQ(s.px(c.col, 10), c.want) << c.factor << " " << c.x0 << ".." << c.x1 << " col " << c.col;
    }
    Surfaces s;
    s.canvas[20 * TABLE_W + 20] = 0xFF0000FF;
    LCD_SetPixelAA(20, 20, 0);  // nothing
    EXPECT_EQ(s.px(20, 20), 0xFF0000FFu);
    GUI_SetBkColor(0x00FF00);
    LCD_SetPixelAA_NoTrans(20, 20, 0);  // the background
    EXPECT_EQ(s.px(20, 20), 0xFF00FF00u);
    EXPECT_EQ(LCD_AA_MixColors(0xFFFFFF, 0x000000, 5), 0x555555u);
}

TEST(AntiAlias, CoverageSumsNearTheExactArea) {
    static const GUI_POINT tri[] = {{100, 50}, {500, 130}, {220, 400}};
    struct Shape {
        void (*draw)();
        double area, perimeter, per_factor;  // area + per_factor / factor
    };
    const Shape shapes[] = {
        {[] { GUI_AA_FillCircle(300, 200, 60); }, M_PI * 60 * 60, 2 * M_PI * 60, 0},
        {[] { GUI_AA_FillPolygon(tri, 3, 10, 5); }, (400.0 * 350 - 120.0 * 80) / 2, 400 + 410 + 310, 0},
        {[] {
             GUI_SetPenSize(6);
             GUI_SetPenShape(GUI_PS_FLAT);
             GUI_AA_DrawLine(100, 100, 400, 250);
         },
         std::hypot(300, 150) * 6, 2 * std::hypot(300, 150), 0},
        {[] {
             GUI_SetPenSize(8);
             GUI_AA_DrawArc(400, 240, 100, 100, 0, 360);
         },
         // the ring is 1.5 sub-pixels wider than the pen
         2 * M_PI * 100 * 8, 4 * M_PI * 100, 2 * M_PI * 100 * 1.5},
    };
    for (int factor : {2, 4, 8, 15})
        for (const Shape& sh : shapes) {
            Surfaces s;
            GUI_AA_SetFactor(factor);
            sh.draw();
            // Each edge pixel may be off by about half a sub-pixel: the fills include the
            // sub-pixels their edges pass through.
            EXPECT_NEAR(coverage(s), sh.area + sh.per_factor / factor, sh.perimeter / (2.0 * factor) + 2)
                << factor << " " << sh.area;
        }
    EXPECT_EQ(tri[1].x, 500);  // the caller's points stay as they were
}

TEST(AntiAlias, HugePolygonsAndOutlinesOfManyPoints) {
    // Sub-pixel crossings of far-away edges need 64 bits: the screen is wholly inside.
    Surfaces s;
    GUI_AA_SetFactor(15);
    const GUI_POINT huge[] = {{-30000, -30000}, {30000, -29000}, {0, 30000}};
    GUI_AA_FillPolygon(huge, 3, 0, 0);
    EXPECT_EQ(s.count(0xFFFFFFFF), (TABLE_W - 1) * (TABLE_H - 1));

    // A star of 16 points: ring covered, centre left in the background.
    Surfaces o;
    GUI_AA_SetFactor(4);
    std::vector<GUI_POINT> star;
    for (int k = 0; k < 16; ++k) {
        const double a = k * M_PI / 8, r = k % 2 ? 60 : 120;  // clockwise on the screen: grows outwards
        star.push_back({I16(std::lround(r * std::cos(a))), I16(std::lround(r * std::sin(a)))});
    }
    GUI_AA_DrawPolyOutline(star.data(), int(star.size()), 4, 400, 240);
    EXPECT_EQ(o.px(400, 240), 0xFF000000u);  // the inside painted in the background colour
    EXPECT_EQ(o.px(400 + 122, 240), 0xFFFFFFFFu);
    EXPECT_EQ(o.px(400 + 118, 240), 0xFF000000u);
    EXPECT_EQ(o.px(400 + 136, 240), 0u);  // the mitred tip reaches 120 + 4 / sin(19.6 degrees) = 132
    EXPECT_EQ(GUI_GetDrawMode(), 0);
}

// One-row glyphs of the three kinds.
const U8 aa4_bits[] = {0x0F, 0x80};                    // intensities 0, 15, 8
const U8 aa2_bits[] = {0x1B};                          // values 0, 1, 2, 3
const U8 aa_bits[] = {0x7F, 0x1F};  // two source rows: 2 x 2 counts 1, 3, 4, 4
const GUI_CHARINFO aa4_ci = {3, 4, 2, aa4_bits};
const GUI_CHARINFO aa2_ci = {4, 5, 1, aa2_bits};
const GUI_CHARINFO aa_ci = {8, 9, 1, aa_bits};
const GUI_FONT_PROP aa4_prop = {'A', 'A', &aa4_ci, nullptr};
const GUI_FONT_PROP aa2_prop = {'A', 'A', &aa2_ci, nullptr};
const GUI_FONT_PROP aa_prop = {'A', 'A', &aa_ci, nullptr};

TEST(AntiAlias, FontsOfTheThreeKinds) {
    GUI_FONT aa4 = {GUIPROP_AA4_DispChar, GUIPROP_AA4_GetCharDistX, GUIPROP_AA4_GetFontInfo, GUIPROP_AA4_IsInFont,
                    nullptr, 1, 1, 1, 1, {}, 0, 0, 0};
    aa4.p.pProp = &aa4_prop;
    GUI_FONT aa2 = {GUIPROP_AA2_DispChar, GUIPROP_AA2_GetCharDistX, GUIPROP_AA2_GetFontInfo, GUIPROP_AA2_IsInFont,
                    nullptr, 1, 1, 1, 1, {}, 0, 0, 0};
    aa2.p.pProp = &aa2_prop;
    GUI_FONT aa = {GUIPROPAA_DispChar, GUIPROPAA_GetCharDistX, GUIPROPAA_GetFontInfo, GUIPROPAA_IsInFont,
                   nullptr, 1, 1, 1, 1, {}, 0, 0, 0};
    aa.p.pProp = &aa_prop;

    struct Case {
        const GUI_FONT* font;
        int mode;
        std::vector<U32> row;  // pixels 10.. of row 10 after drawing 'A' at (10, 10) over 0x...01
        int advance, width;
        U16 flags;
    };
    const U32 bg = 0xFFC00000, fg = 0xFFFFFFFF, keep = 0x01;
    auto mix = [](int i) { return 0xFF000000 | LCD_AA_MixColors(0xFFFFFF, 0xC00000, U8(i)); };
    const Case cases[] = {
        {&aa4, GUI_TEXTMODE_NORMAL, {bg, fg, mix(8), keep}, 4, 3, 17},
        {&aa4, GUI_TEXTMODE_TRANS, {keep, fg, 0xFF888888, keep}, 4, 3, 17},
        {&aa2, GUI_TEXTMODE_NORMAL, {bg, mix(5), mix(10), fg}, 5, 4, 9},
        {&aa2, GUI_TEXTMODE_TRANS, {keep, 0xFF555555, 0xFFAAAAAA, fg}, 5, 4, 9},
        // Double resolution: source bits pairwise 2 x 2; counts 1, 3, 4, 4 -> 4, 12, full, full.
        {&aa, GUI_TEXTMODE_TRANS, {0xFF444444, 0xFFCCCCCC, fg, fg}, 5, 4, 5},
    };
    for (const Case& c : cases) {
        Surfaces s;
        for (int x = 10; x < 20; ++x) s.canvas[10 * TABLE_W + x] = keep;
        GUI_SetBkColor(0xC00000);
        GUI_SetFont(c.font);
        GUI_SetTextMode(c.mode);
        GUI_GotoXY(10, 10);
        GUI_DispChar('A');
        for (size_t i = 0; i < c.row.size(); ++i) EXPECT_EQ(s.px(10 + int(i), 10), c.row[i]) << c.flags << " " << i;
        EXPECT_EQ(GUI_GetDispPosX(), 10 + c.advance);
        EXPECT_EQ(GUI_GetCharDistX('A'), c.width);
        EXPECT_EQ(GUI_GetCharDistX('B'), 0);
        EXPECT_EQ(GUI_IsInFont(nullptr, 'A'), 1);
        GUI_FONTINFO fi{};
        GUI_GetFontInfo(nullptr, &fi);
        EXPECT_EQ(fi.Flags, c.flags);
        GUI_DispChar('B');  // not in the font: nothing drawn, no advance
        EXPECT_EQ(GUI_GetDispPosX(), 10 + c.advance);
    }
}

}  // namespace
