// Draws every primitive, plain on the left and anti-aliased on the right, and writes
// tools/previews/gui_draw.png to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gui/GUI.h"
#include "host/board.h"
#include "tests/gui/surfaces.h"

namespace {

// The 24-pixel font's ASCII glyphs read as 2 x 2 sub-pixels: a 12-pixel font of 4 bits a pixel.
struct Aa4Font {
    std::vector<U8> data;
    std::vector<GUI_CHARINFO> info;
    GUI_FONT_PROP prop{};
    GUI_FONT font{};
    Aa4Font() {
        const GUI_FONT_PROP& src = *GUI_FontHZ24x24.p.pProp;
        const int n = src.Last - src.First + 1;
        data.assign(static_cast<size_t>(n) * 12 * 4, 0);
        for (int c = 0; c < n; ++c) {
            const GUI_CHARINFO& g = src.paCharInfo[c];
            U8* out = &data[static_cast<size_t>(c) * 48];
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < (g.XSize + 1) / 2; ++x) {
                    int k = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2 && 2 * x + dx < g.XSize; ++dx)
                            k += (g.pData[(2 * y + dy) * g.BytesPerLine + (2 * x + dx) / 8] >> (7 - (2 * x + dx) % 8)) & 1;
                    const int v = (k * 15 + 2) / 4;
                    out[y * 4 + x / 2] |= static_cast<U8>(x % 2 ? v : v << 4);
                }
            info.push_back({static_cast<U8>((g.XSize + 1) / 2), static_cast<U8>((g.XDist + 1) / 2), 4, out});
        }
        prop = {src.First, src.Last, info.data(), nullptr};
        font = {GUIPROP_AA4_DispChar, GUIPROP_AA4_GetCharDistX, GUIPROP_AA4_GetFontInfo, GUIPROP_AA4_IsInFont,
                nullptr, 12, 14, 1, 1, {}, 0, 0, 0};
        font.p.pProp = &prop;
    }
};

TEST(DrawPreview, EveryPrimitivePlainAndAntiAliased) {
    Surfaces s;
    // Left half: the plain primitives.
    GUI_SetColor(0x40C0FF);
    for (int k = 0; k <= 8; ++k) GUI_DrawLine(20, 20, 20 + 20 * k, 180 - 20 * k);
    GUI_SetColor(0xFFFFFF);
    for (int st = 1; st <= 4; ++st) {
        GUI_SetLineStyle(static_cast<U8>(st));
        GUI_DrawLine(200, 20 + 12 * st, 380, 20 + 12 * st);
    }
    GUI_SetLineStyle(0);
    GUI_SetColor(0x60FF60);
    GUI_SetPenSize(7);
    GUI_DrawLine(210, 100, 370, 170);
    GUI_SetPenSize(1);
    GUI_SetColor(0xFF8040);
    GUI_DrawCircle(60, 240, 35);
    GUI_FillCircle(150, 240, 35);
    GUI_DrawEllipse(250, 240, 50, 25);
    GUI_FillEllipse(345, 240, 40, 30);
    GUI_SetColor(0xFF60FF);
    GUI_SetPenSize(6);
    GUI_DrawArc(70, 350, 45, 45, 30, 300);
    GUI_SetPenSize(1);
    GUI_DrawPie(180, 350, 50, 20, 160, 0);
    GUI_SetColor(0x00FFFF);
    const GUI_POINT star[] = {{0, -50}, {12, -15}, {48, -15}, {19, 6}, {30, 40}, {0, 19}, {-30, 40}, {-19, 6},
                              {-48, -15}, {-12, -15}};
    GUI_FillPolygon(star, 10, 290, 350);
    GUI_DrawPolygon(star, 10, 360, 420);
    GUI_SetColor(0xFFFFFF);
    GUI_DrawRect(10, 440, 120, 470);
    GUI_SetPenSize(3);
    GUI_DrawPoint(140, 455);
    GUI_SetPenSize(1);
    I16 graph[100];
    for (int i = 0; i < 100; ++i) graph[i] = static_cast<I16>(12 * std::sin(i / 8.0));
    GUI_DrawGraph(graph, 100, 160, 455);

    // Right half: the same kinds anti-aliased.
    GUI_AA_SetFactor(6);
    GUI_SetColor(0x40C0FF);
    for (int k = 0; k <= 8; ++k) GUI_AA_DrawLine(420, 20, 420 + 20 * k, 180 - 20 * k);
    GUI_SetColor(0x60FF60);
    GUI_SetPenSize(7);
    GUI_AA_DrawLine(610, 100, 770, 170);
    GUI_SetPenSize(3);
    GUI_AA_DrawLine(610, 30, 770, 80);
    GUI_SetColor(0xFF8040);
    GUI_AA_FillCircle(460, 240, 35);
    GUI_SetPenSize(2);
    GUI_AA_DrawArc(560, 240, 35, 35, 0, 360);
    GUI_SetColor(0xFF60FF);
    GUI_SetPenSize(6);
    GUI_AA_DrawArc(470, 350, 45, 45, 30, 300);
    GUI_SetColor(0x00FFFF);
    GUI_AA_FillPolygon(star, 10, 690, 240);
    GUI_AA_DrawPolyOutline(star, 10, 3, 590, 350);
    GUI_AA_EnableHiRes();
    GUI_SetPenSize(1);
    GUI_AA_DrawLine(680 * 6, 320 * 6, 780 * 6 + 3, 390 * 6);
    GUI_AA_DisableHiRes();

    // Anti-aliased text: double-resolution glyphs and 4 bits a pixel.
    GUI_SetPenSize(1);
    GUI_SetColor(0xFFFFFF);
    GUI_FONT half = GUI_FontHZ24x24;
    half.pfDispChar = GUIPROPAA_DispChar;
    half.pfGetCharDistX = GUIPROPAA_GetCharDistX;
    half.pfGetFontInfo = GUIPROPAA_GetFontInfo;
    half.pfIsInFont = GUIPROPAA_IsInFont;
    half.YSize = half.YDist = 12;
    GUI_SetFont(&half);
    GUI_DispStringAt("Anti-aliased 1 bit x 2: \xCA\xB1\xBC\xE4", 420, 420);
    const Aa4Font aa4;
    GUI_SetFont(&aa4.font);
    GUI_DispStringAt("Anti-aliased 4 bits a pixel", 420, 445);
    GUI_SetFont(&GUI_FontHZ24x24);

    host::Picture pic;
    pic.width = TABLE_W;
    pic.height = TABLE_H;
    pic.argb = s.canvas;
    for (auto& w : pic.argb) w |= 0xFF000000;
    EXPECT_TRUE(host::write_png(SOURCE_DIR "/tools/previews/gui_draw.png", pic));
    EXPECT_GT(s.count(0xFFFFFFFF), 100);
}

}  // namespace
