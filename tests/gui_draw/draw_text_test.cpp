// Text kept in the allocator, and the hand-off of rotated text to its operations.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gui/GUI.h"
#include "tests/gui/surfaces.h"

namespace {

TEST(TextInAllocator, SetTextKeepsOneCopyAndComparesByHandle) {
    GUI_ALLOC_Init();
    I16 h = 0;
    EXPECT_EQ(GUI__strcmp_hp(0, ""), 0);  // no text counts as empty
    EXPECT_EQ(GUI__strcmp_hp(0, nullptr), 0);
    EXPECT_EQ(GUI__SetText(&h, "abc"), 1);
    ASSERT_NE(h, 0);
    EXPECT_STREQ(static_cast<const char*>(GUI_ALLOC_h2p(h)), "abc");
    EXPECT_EQ(GUI__strcmp_hp(h, "abc"), 0);
    EXPECT_EQ(GUI__strcmp_hp(h, "abd"), 1);
    const I16 first = h;
    EXPECT_EQ(GUI__SetText(&h, "abc"), 0);  // equal: nothing
    EXPECT_EQ(GUI__SetText(&h, "xyz"), 1);  // same size: in place
    EXPECT_EQ(h, first);
    EXPECT_EQ(GUI__strcmp_hp(h, "xyz"), 0);
    const int used = GUI_ALLOC_GetNumUsedBlocks();
    EXPECT_EQ(GUI__SetText(&h, "a longer text"), 1);  // a new block, the old one freed
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), used);
    EXPECT_NE(h, first);
    EXPECT_EQ(GUI_ALLOC_GetSize(first), 0);
    EXPECT_EQ(GUI__strcmp_hp(h, "a longer text"), 0);
    // No room: the old text stays and 0 is returned.
    std::vector<char> big(GUI_ALLOC_SIZE, 'x');
    big.back() = 0;
    EXPECT_EQ(GUI__SetText(&h, big.data()), 0);
    EXPECT_EQ(GUI__strcmp_hp(h, "a longer text"), 0);
    GUI_ALLOC_Free(h);
}

// A rotation table that records what reaches it.
thread_local int calls = 0;
thread_local GUI_RECT seen_clip;
void record_bitmap(int, int, int, int, int, int, int, int, const U8*, const LCD_PIXELINDEX*) {
    ++calls;
    seen_clip = GUI_Context.ClipRect;
}
void swap_sides(GUI_RECT* r) {
    const int w = r->x1 - r->x0, h = r->y1 - r->y0;
    r->x1 = static_cast<I16>(r->x0 + h);
    r->y1 = static_cast<I16>(r->y0 + w);
}
const tLCD_APIList recorder = {record_bitmap, swap_sides};

TEST(RotatedText, HandsEveryGlyphToTheRotationAndPutsEverythingBack) {
    Surfaces s;
    GUI_RECT r = {100, 100, 139, 299};  // tall: the text is laid out in 200 x 40
    const LCD_RECT clip = GUI_Context.ClipRect;
    calls = 0;
    GUI_DispStringInRectEx("ABCD", &r, GUI_TA_LEFT, 4, &recorder);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(seen_clip.x0, 100);
    EXPECT_EQ(seen_clip.y1, 299);
    EXPECT_EQ(GUI_RectDispString.x1, 139);
    EXPECT_EQ(s.count(0xFFFFFFFF), 0);  // nothing drawn unrotated
    EXPECT_EQ(GUI_pLCD_APIList, nullptr);
    EXPECT_EQ(GUI_Context.pClipRect_HL, &GUI_Context.ClipRect);
    EXPECT_EQ(std::memcmp(&GUI_Context.ClipRect, &clip, sizeof clip), 0);

    // Without a table it is the plain text in a rectangle.
    Surfaces a;
    GUI_DispStringInRectEx("AB", &r, GUI_TA_LEFT, 2, nullptr);
    Surfaces b;
    GUI_DispStringInRectMax("AB", &r, GUI_TA_LEFT, 2);
    EXPECT_EQ(a.canvas, b.canvas);
    EXPECT_GT(a.count(0xFFFFFFFF), 50);
}

}  // namespace
