// Bitmap drawing: the run-length examples, direct colour clipped both ways, pixel queries,
// refused bitmaps and streams, and a short run of the decoders on mutated files.
#include <gtest/gtest.h>

#include <vector>

#include "tests/gui/surfaces.h"
#include "tests/gui_image/fuzz_targets.h"

namespace {

const LCD_COLOR kPal[] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555};
const GUI_LOGPALETTE kLogPal = {9, 0, kPal};
const GUI_LOGPALETTE kTransPal = {9, 1, kPal};

std::vector<std::uint32_t> row_of(const Surfaces& s, int x0, int y, int n) {
    std::vector<std::uint32_t> r;
    for (int i = 0; i < n; ++i) r.push_back(s.px(x0 + i, y) & 0xFFFFFF);
    return r;
}

TEST(GuiBitmap, RunLengthExamples) {
    struct Case {
        const char* what;
        const GUI_BITMAP_METHODS* m;
        std::vector<U8> data;
        int xsize, ysize;
        const GUI_LOGPALETTE* pal;
        std::vector<std::uint32_t> rows;  // colours, row after row
    } cases[] = {
        {"RLE8 run then literal", &GUI_BitmapMethodsRLE8, {0x03, 0x05, 0x00, 0x02, 0x07, 0x08}, 5, 1, &kLogPal,
         {0x222222, 0x222222, 0x222222, 0x444444, 0x555555}},
        {"RLE4 odd literal skips the last nibble", &GUI_BitmapMethodsRLE4, {0x00, 0x03, 0x12, 0x3F, 0x02, 0x04}, 5, 1,
         &kLogPal, {0x0000FF, 0x00FF00, 0xFF0000, 0x111111, 0x111111}},
        {"runs wrap onto the next row", &GUI_BitmapMethodsRLE8, {0x05, 0x02, 0x01, 0x03}, 3, 2, &kLogPal,
         {0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00, 0xFF0000}},
        {"transparent zero keeps the pixel", &GUI_BitmapMethodsRLE8, {0x02, 0x00, 0x01, 0x01}, 3, 1, &kTransPal,
         {0xABCDEF, 0xABCDEF, 0x0000FF}},
        {"RLE16 in 565", &GUI_BitmapMethodsRLE16, {0x02, 0x1F, 0x00, 0x00, 0x01, 0x00, 0xF8}, 3, 1, nullptr,
         {0x0000FF, 0x0000FF, 0xFF0000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Surfaces s;
        for (auto& w : s.canvas) w = 0xFFABCDEF;
        const GUI_BITMAP b = {static_cast<U16>(c.xsize), static_cast<U16>(c.ysize), 0, 8, c.data.data(), c.pal, c.m};
        GUI_DrawBitmap(&b, 10, 10);
        std::vector<std::uint32_t> got;
        for (int y = 0; y < c.ysize; ++y)
            for (auto v : row_of(s, 10, 10 + y, c.xsize)) got.push_back(v);
        EXPECT_EQ(got, c.rows);
        EXPECT_EQ(GUI_Context.LCD.aColorIndex32[1], 0xFFFFFFu);  // colours put back
    }
}

TEST(GuiBitmap, DirectColourIsClippedInColumnsAndRows) {
    Surfaces s;
    std::vector<U32> px(4 * 3);
    for (int i = 0; i < 12; ++i) px[static_cast<size_t>(i)] = 0x010203u * static_cast<U32>(i + 1);
    const GUI_BITMAP b = {4, 3, 16, 32, reinterpret_cast<const U8*>(px.data()), nullptr, &GUI_BitmapMethods888};
    const GUI_RECT clip = {11, 11, 12, 11};
    GUI_SetClipRect(&clip);
    GUI_DrawBitmap(&b, 10, 10);
    EXPECT_EQ(s.count(0), static_cast<int>(s.canvas.size()) - 2);
    EXPECT_EQ(s.px(11, 11), 0xFF000000u | (0x010203u * 6));
    EXPECT_EQ(s.px(12, 11), 0xFF000000u | (0x010203u * 7));
}

TEST(GuiBitmap, QueriesAndRefusals) {
    const U8 data[] = {0x12, 0x34, 0x56, 0x78};
    const GUI_BITMAP b4 = {4, 2, 2, 4, data, &kLogPal, nullptr};
    EXPECT_EQ(GUI_GetBitmapPixelIndex(&b4, 3, 0), 4);
    EXPECT_EQ(GUI_GetBitmapPixelIndex(&b4, 0, 1), 5);
    EXPECT_EQ(GUI_GetBitmapPixelIndex(&b4, 4, 0), 0);  // outside
    EXPECT_EQ(GUI_GetBitmapPixelIndex(&b4, 0, 2), 0);
    EXPECT_EQ(GUI_GetBitmapPixelColor(&b4, 1, 0), 0x00FF00u);
    const GUI_BITMAP b4t = {4, 2, 2, 4, data, &kTransPal, nullptr};
    EXPECT_EQ(GUI_GetBitmapPixelColor(&b4t, 1, 1), 0x333333u);
    EXPECT_EQ(GUI_GetBitmapPixelColor(&b4t, 0, 0), 0x0000FFu);
    const U8 zero[] = {0x00};
    const GUI_BITMAP bz = {1, 1, 1, 8, zero, &kTransPal, nullptr};
    EXPECT_EQ(GUI_GetBitmapPixelColor(&bz, 0, 0), GUI_INVALID_COLOR);

    Surfaces s;
    LCD_COLOR many[300] = {};
    const GUI_LOGPALETTE too_many = {300, 0, many};
    const GUI_BITMAP refused[] = {
        {4, 2, 2, 4, data, &too_many, nullptr},  // more colours than a table holds
        {4, 2, 2, 4, data, nullptr, nullptr},    // no palette
        {8, 2, 2, 4, data, &kLogPal, nullptr},   // rows shorter than the width
    };
    for (const GUI_BITMAP& b : refused) GUI_DrawBitmap(&b, 5, 5);
    EXPECT_EQ(s.count(0), static_cast<int>(s.canvas.size()));
    GUI_DrawBitmap(&b4, 5, 5);
    EXPECT_EQ(row_of(s, 5, 5, 4), (std::vector<std::uint32_t>{0x0000FF, 0x00FF00, 0xFF0000, 0x111111}));

    // Streams: sound header, then refused forms.
    std::vector<U8> st = {0x42, 0x4D, 1, 0, 2, 0, 1, 0, 2, 0, 8, 0, 2, 0, 0, 0,
                          0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(GUI_DrawStreamedBitmapEx(st.data(), static_cast<int>(st.size()), 20, 20), 0);
    EXPECT_EQ(s.px(20, 20) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(s.px(21, 20) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(GUI_DrawStreamedBitmapEx(st.data(), static_cast<int>(st.size()) - 1, 20, 30), 1);  // cut
    st[12] = 0;                                                                                   // no palette
    EXPECT_EQ(GUI_DrawStreamedBitmapEx(st.data(), static_cast<int>(st.size()), 20, 30), 1);
    st[12] = 2;
    st[10] = 16;  // a depth a palette cannot translate
    EXPECT_EQ(GUI_DrawStreamedBitmapEx(st.data(), static_cast<int>(st.size()), 20, 30), 1);
    EXPECT_EQ(s.px(20, 30), 0u);
}

// A short, fixed number of mutated files through each decoder (the sanitizers watch).
TEST(GuiBitmap, DecodersSurviveMutatedFiles) {
    const std::vector<U8> bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0,
                                 0,   0,   1, 0, 1, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 2, 0, 0, 0,
                                 0,   0,   0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0xA0, 0, 0, 0, 0x40, 0, 0, 0};
    const std::vector<U8> gif = {'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                 0x21, 0xF9, 4, 1, 0, 0, 1, 0, 0x21, 0xFE, 2, 'h', 'i', 0,
                                 0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0x40, 2, 3, 0x84, 0x1D, 0x05, 0, 0x3B};
    const std::vector<U8> stream = {0, 0, 1, 0, 3, 0, 2, 0, 1, 0, 4, 0, 2, 0, 1, 0,
                                    0, 0, 255, 0, 0, 255, 0, 0, 0x12, 0x10};
    mutate_and_run(fuzz_bmp, {bmp}, 20000, 1);
    mutate_and_run(fuzz_gif, {gif}, 20000, 2);
    mutate_and_run(fuzz_stream, {stream}, 20000, 3);
    table_or_image = 0;
    pBuf1 = nullptr;
}

}  // namespace
