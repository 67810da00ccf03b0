// Anti-aliased proportional fonts: 2 and 4 bits of intensity a pixel, and 1-bit
// glyphs at twice the resolution in both directions.
#include "gui/GUI.h"

namespace {

constexpr U8 aConvTable[4] = {0, 5, 10, 15};
constexpr U8 Bit2Mask0[4] = {0x80, 0x20, 0x08, 0x02};
constexpr U8 Bit2Mask1[4] = {0x40, 0x10, 0x04, 0x01};

const GUI_CHARINFO* find_char(const GUI_FONT* pFont, U16 c) {
    if (!pFont) return nullptr;
    for (const GUI_FONT_PROP* p = pFont->p.pProp; p; p = p->pNext)
        if (c >= p->First && c <= p->Last) return &p->paCharInfo[c - p->First];
    return nullptr;
}

// The 2-bit palette {background, 5/15, 10/15, foreground}, kept until the indices change.
thread_local LCD_PIXELINDEX aTrans2[4];
thread_local U32 OldColorIndex = 0xFFFFFFFF, OldBkColorIndex = 0xFFFFFFFF;
thread_local bool HaveTrans2 = false;

const LCD_PIXELINDEX* palette2() {
    const U32 fg = GUI_Context.LCD.aColorIndex32[1], bg = GUI_Context.LCD.aColorIndex32[0];
    if (!HaveTrans2 || fg != OldColorIndex || bg != OldBkColorIndex) {
        const LCD_COLOR f = LCD_Index2Color(static_cast<int>(fg)), b = LCD_Index2Color(static_cast<int>(bg));
        const LCD_COLOR aColor[4] = {b, LCD_AA_MixColors(f, b, 5), LCD_AA_MixColors(f, b, 10), f};
        const LCD_LOGPALETTE Palette = {4, 0, aColor};
        const unsigned long* conv = LCD_GetpPalConvTableUncached(&Palette);
        for (int i = 0; i < 4; ++i) aTrans2[i] = conv ? static_cast<LCD_PIXELINDEX>(conv[i]) : 0;
        OldColorIndex = fg;
        OldBkColorIndex = bg;
        HaveTrans2 = true;
    }
    return aTrans2;
}

// Draw mode := text mode for the glyph; the position moves by the advance.
template <class Draw>
void disp_char(U16 c, int advance_of(const GUI_CHARINFO&), Draw draw) {
    const GUI_FONT* pFont = GUI_Context.pAFont;
    const GUI_CHARINFO* pci = find_char(pFont, c);
    if (!pci || !pci->pData) return;
    const int old = LCD_SetDrawMode(GUI_Context.TextMode);
    draw(*pFont, *pci, GUI_Context.DispPosX, GUI_Context.DispPosY);
    LCD_SetDrawMode(old);
    GUI_Context.DispPosX = static_cast<I16>(GUI_Context.DispPosX + advance_of(*pci));
}

int xdist(const GUI_CHARINFO& ci) { return ci.XDist; }
int xdist_half(const GUI_CHARINFO& ci) { return (ci.XDist + 1) / 2; }

}  // namespace

// ---------------------------------------------------------------- 2 bits a pixel

void GUIPROP_AA2_DispChar(U16 c) {
    disp_char(c, xdist, [](const GUI_FONT& font, const GUI_CHARINFO& ci, int x0, int y0) {
        if (GUI_Context.TextMode & GUI_TEXTMODE_TRANS) {
            for (int y = 0; y < font.YSize; ++y) {
                const U8* row = ci.pData + y * ci.BytesPerLine;
                for (int x = 0; x < ci.XSize; ++x) {
                    const int v = (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
                    LCD_SetPixelAA(x0 + x, y0 + y, aConvTable[v]);
                }
            }
        } else {
            LCD_DrawBitmap(x0, y0, ci.XSize, font.YSize, 1, 1, 2, ci.BytesPerLine, ci.pData, palette2());
        }
    });
}
int GUIPROP_AA2_GetCharDistX(U16 c) {
    const GUI_CHARINFO* pci = find_char(GUI_Context.pAFont, c);
    return pci ? pci->XSize : 0;
}
void GUIPROP_AA2_GetFontInfo(const GUI_FONT*, GUI_FONTINFO* pfi) {
    pfi->Flags = GUI_FONTINFO_FLAG_PROP | GUI_FONTINFO_FLAG_AA2;
}
int GUIPROP_AA2_IsInFont(const GUI_FONT* pFont, U16 c) { return find_char(pFont, c) ? 1 : 0; }

// ---------------------------------------------------------------- 4 bits a pixel

void GUIPROP_AA4_DispChar(U16 c) {
    disp_char(c, xdist, [](const GUI_FONT& font, const GUI_CHARINFO& ci, int x0, int y0) {
        const bool mix = GUI_Context.TextMode != 0;
        for (int y = 0; y < font.YSize; ++y) {
            const U8* row = ci.pData + y * ci.BytesPerLine;
            for (int x = 0; x < ci.XSize; ++x) {
                const U8 v = static_cast<U8>((x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4);
                if (mix)
                    LCD_SetPixelAA(x0 + x, y0 + y, v);
                else
                    LCD_SetPixelAA_NoTrans(x0 + x, y0 + y, v);
            }
        }
    });
}
int GUIPROP_AA4_GetCharDistX(U16 c) { return GUIPROP_AA2_GetCharDistX(c); }
void GUIPROP_AA4_GetFontInfo(const GUI_FONT*, GUI_FONTINFO* pfi) {
    pfi->Flags = GUI_FONTINFO_FLAG_PROP | GUI_FONTINFO_FLAG_AA4;
}
int GUIPROP_AA4_IsInFont(const GUI_FONT* pFont, U16 c) { return find_char(pFont, c) ? 1 : 0; }

// ---------------------------------------------------------------- 1 bit at twice the resolution

void GUIPROPAA_DispChar(U16 c) {
    disp_char(c, xdist_half, [](const GUI_FONT& font, const GUI_CHARINFO& ci, int x0, int y0) {
        const bool trans = GUI_Context.TextMode & GUI_TEXTMODE_TRANS;
        const int cols = (ci.XSize + 1) / 2;
        for (int y = 0; y < font.YSize; ++y) {
            const U8* r0 = ci.pData + 2 * y * ci.BytesPerLine;
            const U8* r1 = r0 + ci.BytesPerLine;
            for (int x = 0; x < cols; ++x) {
                const int k = x % 4, b = x / 4;
                const int n = !!(r0[b] & Bit2Mask0[k]) + !!(r0[b] & Bit2Mask1[k]) + !!(r1[b] & Bit2Mask0[k]) +
                              !!(r1[b] & Bit2Mask1[k]);
                if (n == 0) continue;
                if (n == 4)
                    GUI_Context.pLCD_HL->pfDrawPixel(x0 + x, y0 + y);
                else if (trans)
                    LCD_SetPixelAA(x0 + x, y0 + y, static_cast<U8>(4 * n));
                else
                    LCD_SetPixelAA_NoTrans(x0 + x, y0 + y, static_cast<U8>(4 * n));
            }
        }
    });
}
int GUIPROPAA_GetCharDistX(U16 c) {
    const GUI_CHARINFO* pci = find_char(GUI_Context.pAFont, c);
    return pci ? (pci->XSize + 1) / 2 : 0;
}
void GUIPROPAA_GetFontInfo(const GUI_FONT*, GUI_FONTINFO* pfi) {
    pfi->Flags = GUI_FONTINFO_FLAG_PROP | GUI_FONTINFO_FLAG_AA;
}
int GUIPROPAA_IsInFont(const GUI_FONT* pFont, U16 c) { return find_char(pFont, c) ? 1 : 0; }
