// Text output, alignment, wrapping and number formats drawn into the surfaces.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "tests/gui/surfaces.h"
#include "vio/vio.h"

namespace {

TEST(GuiText, TimeStampCoversNineteenGlyphBoxes) {
    Surfaces s;
    select_surface(2);
    GUI_DispStringAt("2024-05-06 07:08:09", 0, 0);
    int white = 0;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 288; ++x) {
            const std::uint16_t w = s.stamp[y * 288 + x];
            if (y < 24 && x < 266) {
                ASSERT_TRUE(w == 0xFFFF || w == 0x8000) << x << "," << y;
                white += w == 0xFFFF;
            } else {
                ASSERT_EQ(w, 0) << x << "," << y;
            }
        }
    EXPECT_GT(white, 19 * 20);
    EXPECT_EQ(GUI_GetDispPosX(), 0);
}

TEST(GuiText, NormalReverseTransparentAndXor) {
    const char* text = "Ab";
    int ink = 0;
    {
        Surfaces s;
        GUI_DispStringAt(text, 100, 50);
        ink = s.count(0xFFFFFFFF);
        EXPECT_EQ(ink + s.count(0xFF000000), 28 * 24);
        EXPECT_GT(ink, 0);
    }
    {
        Surfaces s;
        GUI_SetTextMode(GUI_TEXTMODE_REV);
        GUI_DispStringAt(text, 100, 50);
        EXPECT_EQ(s.count(0xFF000000), ink);
        EXPECT_EQ(s.count(0xFFFFFFFF), 28 * 24 - ink);
        EXPECT_EQ(GUI_Context.DrawMode, 0);  // restored after each glyph
    }
    {
        Surfaces s;
        GUI_SetTextMode(GUI_TEXTMODE_TRANS);
        GUI_DispStringAt(text, 100, 50);
        EXPECT_EQ(s.count(0xFFFFFFFF), ink);
        EXPECT_EQ(s.count(0), TABLE_W * TABLE_H - ink);
    }
    {
        Surfaces s;
        for (auto& w : s.canvas) w = 0xFF0000FF;
        GUI_SetTextMode(GUI_TEXTMODE_XOR);
        GUI_DispStringAt(text, 100, 50);
        EXPECT_EQ(s.count(0xFFFFFFFF), ink);
    }
}

TEST(GuiText, DisplayTableEntriesBecomeColour) {
    Surfaces s;
    for (auto& e : s.tab) {
        e.pic_num = 0x40;
        e.Addr_Y = 99;
    }
    select_surface(0);
    GUI_DispStringAt("A", 10, 10);
    const Image_table& e = s.tab[20 * TABLE_W + 15];
    EXPECT_EQ(e.pic_num, 0);
    EXPECT_TRUE(e.YUV_default == 0xFFFFFFFF || e.YUV_default == 0xFF000000);
    EXPECT_EQ(e.Addr_Y, 99u);
    EXPECT_EQ(s.tab[20 * TABLE_W + 23].pic_num, 0);  // glyph box is 14 wide: 10..23
    EXPECT_EQ(s.tab[20 * TABLE_W + 24].pic_num, 0x40);
}

TEST(GuiText, WidthsAndPosition) {
    Surfaces s;
    EXPECT_EQ(GUI_GetStringDistX("AB"), 28);
    EXPECT_EQ(GUI_GetStringDistX("\xB0\xB4"), 24);
    EXPECT_EQ(GUI_GetStringDistX("A\xB0\xB4z"), 52);
    EXPECT_EQ(GUI_GetStringDistX(""), 0);
    EXPECT_EQ(GUI_GetStringDistX("\xB0"), 0);  // lead byte before the terminator
    GUI_GotoXY(3, 4);
    GUI_DispStringAt("AB", 100, 50);
    EXPECT_EQ(GUI_GetDispPosX(), 3);
    EXPECT_EQ(GUI_GetDispPosY(), 4);
    GUI_GotoXY(100, 50);
    GUI_DispString("AB");
    EXPECT_EQ(GUI_GetDispPosX(), 128);
    EXPECT_EQ(GUI_GetDispPosY(), 50);
    GUI_DispString(nullptr);
    EXPECT_EQ(GUI_GetDispPosX(), 128);
    GUI_RECT r;
    GUI_GotoXY(10, 20);
    GUI_GetTextExtend(&r, "AB\nABC", 100);
    EXPECT_EQ(r.x1, 10 + 42 - 1);
    EXPECT_EQ(r.y1, 20 + 48 - 1);
}

TEST(GuiText, LineFeedStartsAtTheLeftBorder) {
    Surfaces s;
    GUI_DispStringAt("A\nB", 100, 50);
    EXPECT_EQ(s.extent(50), std::make_pair(100, 113));
    EXPECT_EQ(s.extent(74), std::make_pair(1, 13));  // column 0 is never written
    EXPECT_EQ(s.extent(98), std::make_pair(-1, -1));
}

struct AlignCase {
    int align;
    int first, last;
};
class GuiAlign : public ::testing::TestWithParam<AlignCase> {};
TEST_P(GuiAlign, OneShotAlignment) {
    Surfaces s;
    const AlignCase ac = GetParam();
    GUI_SetTextAlign(ac.align);
    GUI_DispStringAt("AB", 100, 50);
    EXPECT_EQ(s.extent(60), std::make_pair(ac.first, ac.last));
    EXPECT_EQ(GUI_GetTextAlign() & GUI_TA_HORIZONTAL, 0);
    GUI_DispStringAt("AB", 100, 150);
    EXPECT_EQ(s.extent(160), std::make_pair(100, 127));
}
INSTANTIATE_TEST_SUITE_P(Modes, GuiAlign,
                         ::testing::Values(AlignCase{GUI_TA_LEFT, 100, 127}, AlignCase{GUI_TA_RIGHT, 72, 99},
                                           AlignCase{GUI_TA_CENTER, 86, 113}));

TEST(GuiText, VerticalAdjustAndCulling) {
    Surfaces s;
    GUI_SetTextAlign(GUI_TA_BOTTOM);
    GUI_DispStringAt("A", 100, 100);  // top at 100 - 23
    EXPECT_EQ(s.extent(77).first, 100);
    EXPECT_EQ(s.extent(76).first, -1);
    const GUI_RECT clip = {0, 0, 799, 200};
    GUI_SetClipRect(&clip);
    GUI_DispStringAt("A", 100, 300);
    EXPECT_EQ(s.extent(310).first, -1);
    GUI_DispStringAt("A", 900, 100);  // right of the screen
    EXPECT_EQ(s.extent(110).first, -1);
}

TEST(GuiText, StringInRectRightAndCentred) {
    Surfaces s;
    GUI_RECT r = {100, 100, 299, 199};
    GUI_DispStringInRect("AB\nABC", &r, GUI_TA_RIGHT | GUI_TA_VCENTER);
    // two lines of 24 centred in 100 rows: top at 100 + (100 - 48) / 2 = 126
    EXPECT_EQ(s.extent(125).first, -1);
    EXPECT_EQ(s.extent(126), std::make_pair(272, 299));
    EXPECT_EQ(s.extent(150), std::make_pair(258, 299));
    EXPECT_EQ(GUI_Context.ClipRect.x1, 799);
}

TEST(GuiWrap, LongSentenceBreaksAtBlanks) {
    Surfaces s;
    const char* text = "The quick brown fox jumps over the lazy dog";
    std::vector<std::string> lines;
    for (const char* p = text; *p;) {
        const int n = GUI__WrapGetNumCharsDisp(p, 200, GUI_WRAPMODE_WORD);
        lines.emplace_back(p, n);
        const int step = GUI__WrapGetNumBytesToNextLine(p, 200, GUI_WRAPMODE_WORD);
        ASSERT_GT(step, 0);
        p += step;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"The quick", "brown fox", "jumps over the", "lazy dog"}));
    const GUI_RECT clip_before = GUI_Context.ClipRect;
    GUI_RECT r = {10, 10, 209, 300};
    GUI_DispStringInRectWrap(text, &r, GUI_TA_LEFT, GUI_WRAPMODE_WORD);
    EXPECT_EQ(s.extent(10), std::make_pair(10, 10 + 9 * 14 - 1));
    EXPECT_EQ(s.extent(34), std::make_pair(10, 10 + 9 * 14 - 1));
    EXPECT_EQ(s.extent(58), std::make_pair(10, 10 + 14 * 14 - 1));
    EXPECT_EQ(s.extent(82), std::make_pair(10, 10 + 8 * 14 - 1));
    EXPECT_EQ(s.extent(106), std::make_pair(-1, -1));
    EXPECT_EQ(GUI_Context.ClipRect.x0, clip_before.x0);
    EXPECT_EQ(GUI_Context.ClipRect.x1, clip_before.x1);
}

TEST(GuiWrap, CharacterWrapAndClipToRect) {
    Surfaces s;
    EXPECT_EQ(GUI__WrapGetNumCharsDisp("abcdefgh", 50, GUI_WRAPMODE_CHAR), 3);
    EXPECT_EQ(GUI__WrapGetNumCharsDisp("ab\ncd", 500, GUI_WRAPMODE_CHAR), 2);
    EXPECT_EQ(GUI__WrapGetNumCharsToNextLine("ab\ncd", 500, GUI_WRAPMODE_NONE), 3);
    EXPECT_EQ(GUI__WrapGetNumCharsDisp("\xB0\xB4\xB0\xB4 ab", 10, GUI_WRAPMODE_WORD), 4);
    GUI_RECT r = {10, 10, 59, 20};  // text is cut at the rectangle
    GUI_DispStringInRectWrap("abcdefgh", &r, GUI_TA_LEFT, GUI_WRAPMODE_CHAR);
    EXPECT_EQ(s.extent(15), std::make_pair(10, 51));
    EXPECT_EQ(s.extent(21).first, -1);
}

// ---------------------------------------------------------------- numbers

std::string add(const std::function<void(char**)>& f) {
    char buffer[64];
    char* p = buffer;
    f(&p);
    return std::string(buffer, p);
}

TEST(GuiNumbers, Formats) {
    Surfaces s;
    struct Case {
        std::function<void(char**)> f;
        const char* want;
    };
    const Case cases[] = {
        {[](char** p) { GUI_AddDecMin(0, p); }, "0"},
        {[](char** p) { GUI_AddDecMin(-7, p); }, "-7"},
        {[](char** p) { GUI_AddDecMin(1234567890, p); }, "999999999"},
        {[](char** p) { GUI_AddDecMin(INT32_MIN, p); }, "-999999999"},
        {[](char** p) { GUI_AddDec(42, 5, p); }, "00042"},
        {[](char** p) { GUI_AddDec(-42, 5, p); }, "-0042"},
        {[](char** p) { GUI_AddDec(123456, 3, p); }, "999"},
        {[](char** p) { GUI_AddDec(5, 200, p); }, "000000005"},
        {[](char** p) { GUI_AddDecShift(1234, 6, 2, p); }, "012.34"},
        {[](char** p) { GUI_AddDecShift(-5, 4, 1, p); }, "-0.5"},
        {[](char** p) { GUI_AddHex(0xBEEF, 4, p); }, "BEEF"},
        {[](char** p) { GUI_AddHex(0x12345678, 2, p); }, "78"},
        {[](char** p) { GUI_AddHex(0x1, 9, p); }, ""},
        {[](char** p) { GUI__AddSpaceHex(0xAB, 8, p); }, " 000000AB"},
        {[](char** p) { GUI_AddBin(5, 4, p); }, "0101"},
        {[](char** p) { GUI_AddBin(1, 40, p); }, "00000000000000000000000000000001"},
        {[](char** p) { GUI_AddSign(3, p); }, "+"},
    };
    for (const auto& c : cases) EXPECT_EQ(add(c.f), c.want);
    EXPECT_EQ(GUI_Long2Len(-100), 4);
    EXPECT_EQ(GUI_Long2Len(2000000000), 9);
}

struct Shown {
    std::function<void()> show;
    const char* text;
};

// Each number drawn at (10, 10) gives exactly the pixels of its text.
void expect_drawn_as(const std::vector<Shown>& cases) {
    for (const auto& c : cases) {
        std::vector<std::uint32_t> want;
        {
            Surfaces s;
            GUI_DispStringAt(c.text, 10, 10);
            want = s.canvas;
        }
        Surfaces s;
        GUI_GotoXY(10, 10);
        c.show();
        EXPECT_TRUE(s.canvas == want) << c.text;
        EXPECT_EQ(GUI_GetDispPosX(), 10 + 14 * static_cast<int>(std::string(c.text).size())) << c.text;
    }
}

// A number shown by a Disp function draws exactly the pixels of its text.
TEST(GuiNumbers, DisplayedAsText) {
    expect_drawn_as({
        {[] { GUI_DispDecMin(-7); }, "-7"},
        {[] { GUI_DispDec(42, 5); }, "00042"},
        {[] { GUI_DispSDec(42, 5); }, "+0042"},
        {[] { GUI_DispSDec(-42, 5); }, "-0042"},
        {[] { GUI_DispDecShift(1234, 6, 2); }, "012.34"},
        {[] { GUI_DispSDecShift(1234, 6, 2); }, "+12.34"},
        {[] { GUI_DispDecSpace(5, 4); }, "  5"},
        {[] { GUI_DispDecSpace(-5, 4); }, "- 5"},
        {[] { GUI_DispHex(0xBEEF, 4); }, "BEEF"},
        {[] { GUI_DispBin(5, 4); }, "0101"},
        {[] { GUI_DispFloatFix(3.14159f, 5, 2); }, "03.14"},
        {[] { GUI_DispFloatFix(-1.26f, 4, 1); }, "-1.3"},
        {[] { GUI_DispSFloatFix(2.5f, 5, 1); }, "+02.5"},
        {[] { GUI_DispFloatMin(12.345f, 2); }, "12.35"},
        {[] { GUI_DispFloatMin(-0.5f, 1); }, "-0.5"},
        {[] { GUI_DispFloatMin(7.0f, 0); }, "7"},
        {[] { GUI_DispSFloatMin(1.5f, 1); }, "+1.5"},
        {[] { GUI_DispFloat(3.14159f, 6); }, "3.1416"},
        {[] { GUI_DispFloat(123.0f, 3); }, "123"},
    });
}

// Not a number and the infinities show as a number too large for its field:
// all nines, with the sign of the infinity.
TEST(GuiNumbers, NonFiniteFloatsShowTheOverflowForm) {
    expect_drawn_as({
        {[] { GUI_DispFloat(3e9f, 6); }, "999999"},
        {[] { GUI_DispFloat(NAN, 6); }, "999999"},
        {[] { GUI_DispFloat(INFINITY, 6); }, "999999"},
        {[] { GUI_DispFloat(-INFINITY, 6); }, "-99999"},
        {[] { GUI_DispFloatFix(NAN, 5, 2); }, "99.99"},
        {[] { GUI_DispFloatFix(-INFINITY, 5, 2); }, "-9.99"},
        {[] { GUI_DispSFloatFix(NAN, 5, 1); }, "+99.9"},
        {[] { GUI_DispSFloatFix(-INFINITY, 5, 1); }, "-99.9"},
        {[] { GUI_DispFloatMin(NAN, 2); }, "9999999.99"},
        {[] { GUI_DispFloatMin(-INFINITY, 1); }, "-99999999.9"},
        {[] { GUI_DispSFloatMin(NAN, 0); }, "+999999999"},
        {[] { GUI_DispSFloatMin(INFINITY, 1); }, "+99999999.9"},
    });
}

}  // namespace
