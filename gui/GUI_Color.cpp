// Colour conversion between GUI_COLOR (red in the low byte) and the colour
// indices of every pixel format, palettes, colour distance and mixing, and the
// current colours of the context.
#include "gui/GUI.h"

namespace {
inline unsigned R(LCD_COLOR c) { return c & 0xFF; }
inline unsigned G(LCD_COLOR c) { return (c >> 8) & 0xFF; }
inline unsigned B(LCD_COLOR c) { return c >> 16; }  // the top byte is not masked out
inline LCD_COLOR rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

// A channel scaled to a field of `bits` bits by rounding, and back.
inline unsigned down_round3(unsigned c) { return (c * 7 + 127) / 255; }
inline unsigned down_round2(unsigned c) { return (c + 42) / 85; }
inline unsigned up3(unsigned k) { return k * 255 / 7; }
inline unsigned up2(unsigned k) { return k * 85; }
inline unsigned up5(unsigned k) { return k * 255 / 31; }
inline unsigned up6(unsigned k) { return k * 255 / 63; }

// Three fields by position and width, channels rounded as the 8-bit formats do.
struct Fields {
    int rpos, rbits, gpos, gbits, bpos, bbits;
};
unsigned round_field(unsigned c, int bits) { return bits == 3 ? down_round3(c) : down_round2(c); }
unsigned up_field(unsigned k, int bits) { return bits == 3 ? up3(k) : up2(k); }
unsigned to_index8(LCD_COLOR c, Fields f) {
    return (round_field(R(c), f.rbits) << f.rpos) | (round_field(G(c), f.gbits) << f.gpos) |
           (round_field(B(c), f.bbits) << f.bpos);
}
LCD_COLOR from_index8(unsigned i, Fields f) {
    auto k = [i](int pos, int bits) { return (i >> pos) & ((1u << bits) - 1); };
    return rgb(up_field(k(f.rpos, f.rbits), f.rbits), up_field(k(f.gpos, f.gbits), f.gbits),
               up_field(k(f.bpos, f.bbits), f.bbits));
}

// Fields filled with the channel's top bits, expanded by k*255/(2^bits-1).
unsigned to_index_top(LCD_COLOR c, Fields f) {
    return ((R(c) >> (8 - f.rbits)) << f.rpos) | ((G(c) >> (8 - f.gbits)) << f.gpos) |
           ((B(c) >> (8 - f.bbits)) << f.bpos);
}
LCD_COLOR from_index_top(unsigned i, Fields f) {
    auto up = [i](int pos, int bits) {
        const unsigned k = (i >> pos) & ((1u << bits) - 1);
        return bits == 6 ? up6(k) : up5(k);
    };
    return rgb(up(f.rpos, f.rbits), up(f.gpos, f.gbits), up(f.bpos, f.bbits));
}

// 12-bit 4-4-4 fields, rounded with (c+8)/17.
unsigned to_index444(LCD_COLOR c, int rpos, int gpos, int bpos) {
    return (((R(c) + 8) / 17) << rpos) | (((G(c) + 8) / 17) << gpos) | (((B(c) + 8) / 17) << bpos);
}
LCD_COLOR from_index444(unsigned i, int rpos, int gpos, int bpos) {
    return rgb(((i >> rpos) & 15) * 17, ((i >> gpos) & 15) * 17, ((i >> bpos) & 15) * 17);
}

// The 6 x 6 x 6 cube plus 16 greys; `lo` and `hi` place the two halves of the cube.
unsigned to_index_cube(LCD_COLOR c, unsigned lo, unsigned hi) {
    if (R(c) == G(c) && G(c) == B(c)) return 120 + (R(c) + 8) / 17;
    auto level = [](unsigned ch) { return (ch * 5 + 127) / 255; };
    const unsigned v = level(R(c)) + 6 * level(G(c)) + 36 * level(B(c));
    return v < 108 ? v + lo : v + hi;
}
LCD_COLOR cube_colour(unsigned v) { return rgb((v % 6) * 51, ((v / 6) % 6) * 51, (v / 36) * 51); }

constexpr Fields k233{0, 3, 3, 3, 6, 2}, kM233{6, 2, 3, 3, 0, 3};
constexpr Fields k323{0, 3, 3, 2, 5, 3}, kM323{5, 3, 3, 2, 0, 3};
constexpr Fields k332{0, 2, 2, 3, 5, 3}, kM332{5, 3, 2, 3, 0, 2};
constexpr Fields k555{0, 5, 5, 5, 10, 5}, kM555{10, 5, 5, 5, 0, 5};
constexpr Fields k556{0, 6, 6, 5, 11, 5}, kM556{10, 6, 5, 5, 0, 5};
constexpr Fields k565{0, 5, 5, 6, 11, 5}, kM565{11, 5, 5, 6, 0, 5};
constexpr Fields k655{0, 5, 5, 5, 10, 6}, kM655{11, 5, 6, 5, 0, 6};
}  // namespace

unsigned LCD_Color2Index_1(LCD_COLOR c) { return (R(c) + G(c) + B(c) + 383) / 765; }
LCD_COLOR LCD_Index2Color_1(int i) { return i ? 0xFFFFFF : 0; }
unsigned LCD_GetIndexMask_1() { return 0x1; }

unsigned LCD_Color2Index_2(LCD_COLOR c) { return (R(c) + G(c) + B(c) + 127) / 255; }
LCD_COLOR LCD_Index2Color_2(int i) { return 0x010101u * (85u * static_cast<unsigned>(i)); }
unsigned LCD_GetIndexMask_2() { return 0x3; }

unsigned LCD_Color2Index_4(LCD_COLOR c) { return ((R(c) >> 4) + (G(c) >> 4) + (B(c) >> 4) + 1) / 3; }
LCD_COLOR LCD_Index2Color_4(int i) { return 0x010101u * (17u * static_cast<unsigned>(i)); }
unsigned LCD_GetIndexMask_4() { return 0xF; }

unsigned LCD_Color2Index_111(LCD_COLOR c) { return (R(c) >> 7) | ((G(c) >> 7) << 1) | ((B(c) >> 7) << 2); }
LCD_COLOR LCD_Index2Color_111(int i) { return rgb(i & 1 ? 0xFF : 0, i & 2 ? 0xFF : 0, i & 4 ? 0xFF : 0); }
unsigned LCD_GetIndexMask_111() { return 0x7; }
unsigned LCD_Color2Index_M111(LCD_COLOR c) { return (B(c) >> 7) | ((G(c) >> 7) << 1) | ((R(c) >> 7) << 2); }
LCD_COLOR LCD_Index2Color_M111(int i) { return rgb(i & 4 ? 0xFF : 0, i & 2 ? 0xFF : 0, i & 1 ? 0xFF : 0); }
unsigned LCD_GetIndexMask_M111() { return 0x7; }

unsigned LCD_Color2Index_222(LCD_COLOR c) {
    return down_round2(R(c)) | (down_round2(G(c)) << 2) | (down_round2(B(c)) << 4);
}
LCD_COLOR LCD_Index2Color_222(int i) { return rgb(up2(i & 3), up2((i >> 2) & 3), up2((i >> 4) & 3)); }
unsigned LCD_GetIndexMask_222() { return 0x3F; }
unsigned LCD_Color2Index_M222(LCD_COLOR c) {
    return down_round2(B(c)) | (down_round2(G(c)) << 2) | (down_round2(R(c)) << 4);
}
LCD_COLOR LCD_Index2Color_M222(int i) { return rgb(up2((i >> 4) & 3), up2((i >> 2) & 3), up2(i & 3)); }
unsigned LCD_GetIndexMask_M222() { return 0x3F; }

#define GUI_FIELDS_FORMAT(F, TAB, TO, FROM, MASK)                                   \
    unsigned LCD_Color2Index_##F(LCD_COLOR c) { return TO(c, TAB); }                 \
    LCD_COLOR LCD_Index2Color_##F(int i) { return FROM(static_cast<unsigned>(i), TAB); } \
    unsigned LCD_GetIndexMask_##F() { return MASK; }
GUI_FIELDS_FORMAT(233, k233, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(M233, kM233, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(323, k323, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(M323, kM323, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(332, k332, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(M332, kM332, to_index8, from_index8, 0xFF)
GUI_FIELDS_FORMAT(555, k555, to_index_top, from_index_top, 0x7FFF)
GUI_FIELDS_FORMAT(M555, kM555, to_index_top, from_index_top, 0x7FFF)
GUI_FIELDS_FORMAT(556, k556, to_index_top, from_index_top, 0xFFFF)
GUI_FIELDS_FORMAT(M556, kM556, to_index_top, from_index_top, 0xFFFF)
GUI_FIELDS_FORMAT(565, k565, to_index_top, from_index_top, 0xFFFF)
GUI_FIELDS_FORMAT(M565, kM565, to_index_top, from_index_top, 0xFFFF)
GUI_FIELDS_FORMAT(655, k655, to_index_top, from_index_top, 0xFFFF)
GUI_FIELDS_FORMAT(M655, kM655, to_index_top, from_index_top, 0xFFFF)
#undef GUI_FIELDS_FORMAT

unsigned LCD_Color2Index_444_12(LCD_COLOR c) { return to_index444(c, 0, 4, 8); }
LCD_COLOR LCD_Index2Color_444_12(int i) { return from_index444(static_cast<unsigned>(i), 0, 4, 8); }
unsigned LCD_GetIndexMask_444_12() { return 0xFFF; }
unsigned LCD_Color2Index_M444_12(LCD_COLOR c) { return to_index444(c, 8, 4, 0); }
LCD_COLOR LCD_Index2Color_M444_12(int i) { return from_index444(static_cast<unsigned>(i), 8, 4, 0); }
unsigned LCD_GetIndexMask_M444_12() { return 0xFFF; }
unsigned LCD_Color2Index_444_12_1(LCD_COLOR c) { return to_index444(c, 12, 8, 4); }
LCD_COLOR LCD_Index2Color_444_12_1(int i) { return from_index444(static_cast<unsigned>(i), 12, 8, 4); }
unsigned LCD_GetIndexMask_444_12_1() { return 0xFFF0; }
unsigned LCD_Color2Index_444_16(LCD_COLOR c) { return to_index444(c, 1, 6, 11); }
LCD_COLOR LCD_Index2Color_444_16(int i) { return from_index444(static_cast<unsigned>(i), 1, 6, 11); }
unsigned LCD_GetIndexMask_444_16() { return 0x7BDE; }
unsigned LCD_Color2Index_M444_16(LCD_COLOR c) { return to_index444(c, 11, 6, 1); }
LCD_COLOR LCD_Index2Color_M444_16(int i) { return from_index444(static_cast<unsigned>(i), 11, 6, 1); }
unsigned LCD_GetIndexMask_M444_16() { return 0x7BDE; }

unsigned LCD_Color2Index_666(LCD_COLOR c) { return (R(c) >> 2) | ((G(c) >> 2) << 6) | ((B(c) >> 2) << 12); }
LCD_COLOR LCD_Index2Color_666(int i) {
    const unsigned u = static_cast<unsigned>(i);
    return rgb((u & 63) << 2, ((u >> 6) & 63) << 2, ((u >> 12) & 63) << 2);
}
unsigned LCD_GetIndexMask_666() { return 0x3FFFF; }
unsigned LCD_Color2Index_M666(LCD_COLOR c) { return (B(c) >> 2) | ((G(c) >> 2) << 6) | ((R(c) >> 2) << 12); }
LCD_COLOR LCD_Index2Color_M666(int i) {
    const unsigned u = static_cast<unsigned>(i);
    return rgb(((u >> 12) & 63) << 2, ((u >> 6) & 63) << 2, (u & 63) << 2);
}
unsigned LCD_GetIndexMask_M666() { return 0x3FFFF; }

unsigned LCD_Color2Index_888(LCD_COLOR c) { return c; }
LCD_COLOR LCD_Index2Color_888(int i) { return static_cast<LCD_COLOR>(i); }
unsigned LCD_GetIndexMask_888() { return 0xFFFFFF; }
unsigned LCD_Color2Index_M888(LCD_COLOR c) { return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF); }
LCD_COLOR LCD_Index2Color_M888(int i) { return LCD_Color2Index_M888(static_cast<LCD_COLOR>(i)); }
unsigned LCD_GetIndexMask_M888() { return 0xFFFFFF; }

unsigned LCD_Color2Index_8666(LCD_COLOR c) { return to_index_cube(c, 0, 40); }
LCD_COLOR LCD_Index2Color_8666(int i) {
    unsigned u = static_cast<unsigned>(i) & 0xFF;
    if (u >= 120 && u <= 135) return 0x010101u * (17 * (u - 120));
    if (u >= 108 && u < 148) return 0;
    if (u >= 148) u -= 40;
    return cube_colour(u);
}
unsigned LCD_GetIndexMask_8666() { return 0xFF; }
unsigned LCD_Color2Index_8666_1(LCD_COLOR c) { return to_index_cube(c, 12, 28); }
LCD_COLOR LCD_Index2Color_8666_1(int i) {
    const unsigned u = static_cast<unsigned>(i) & 0xFF;
    if (u >= 120 && u <= 135) return 0x010101u * (17 * (u - 120));
    if (u >= 12 && u < 120) return cube_colour(u - 12);
    if (u >= 136 && u < 244) return cube_colour(u - 28);
    return 0;
}
unsigned LCD_GetIndexMask_8666_1() { return 0xFF; }

unsigned LCD_Color2Index_0(LCD_COLOR c, const LCD_PHYSPALETTE* pPal) {
    if (!pPal || !pPal->pPalEntries || pPal->NumEntries < 1) return 0;
    for (int i = 0; i < pPal->NumEntries; ++i)
        if (pPal->pPalEntries[i] == c) return static_cast<unsigned>(i);
    if (pPal->NumEntries < 2) return 0;
    unsigned long best = 0xFFFFFF;
    unsigned index = 0;
    for (int i = 0; i < pPal->NumEntries; ++i) {
        const unsigned long d = GUI_CalcColorDist(c, pPal->pPalEntries[i]);
        if (d < best) {
            best = d;
            index = static_cast<unsigned>(i);
        }
    }
    return index;
}
LCD_COLOR LCD_Index2Color_0(int i, const LCD_PHYSPALETTE* pPal) {
    if (!pPal || !pPal->pPalEntries) return 0;
    return static_cast<unsigned>(i) < static_cast<unsigned>(pPal->NumEntries) ? pPal->pPalEntries[i] : 0;
}
unsigned LCD_GetIndexMask_0() { return 0xFFFFFF; }

// ---------------------------------------------------------------- colour level

unsigned long LCD__aConvTable[256];

int GUI_Color2Index(GUI_COLOR color) { return static_cast<int>(LCD_Color2Index(color)); }
GUI_COLOR GUI_Index2Color(int index) { return LCD_Index2Color(index); }
GUI_COLOR GUI_Color2VisColor(GUI_COLOR color) {
    // The full index: a 16-bit cut would lose the blue byte of the 24-bit driver.
    return LCD_Index2Color(static_cast<int>(LCD_Color2Index(color)));
}
char GUI_ColorIsAvailable(GUI_COLOR color) { return GUI_Color2VisColor(color) == color ? 1 : 0; }
unsigned long GUI_CalcVisColorError(GUI_COLOR color) { return GUI_CalcColorDist(color, GUI_Color2VisColor(color)); }
unsigned long GUI_CalcColorDist(LCD_COLOR a, LCD_COLOR b) {
    auto sq = [](unsigned x, unsigned y) {
        const long d = static_cast<I16>(static_cast<int>(x & 0xFF) - static_cast<int>(y & 0xFF));
        return static_cast<unsigned long>(d * d);
    };
    return sq(a, b) + sq(a >> 8, b >> 8) + sq(a >> 16, b >> 16);
}
LCD_COLOR LCD_MixColors256(LCD_COLOR color, LCD_COLOR bk, unsigned Intens) {
    const unsigned rest = 256 - Intens;
    const U32 r = (((color & 0xFF) * Intens + (bk & 0xFF) * rest) >> 8) & 0xFF;
    const U32 g = (((color & 0xFF00) * Intens + (bk & 0xFF00) * rest) >> 8) & 0xFF00;
    const U32 b = static_cast<U32>(((static_cast<std::uint64_t>(color & 0xFF0000) * Intens +
                                     static_cast<std::uint64_t>(bk & 0xFF0000) * rest) >> 8) & 0xFF0000);
    return r | g | b;
}
void GUI_SetColor(GUI_COLOR color) { LCD_SetColor(color); }
void GUI_SetBkColor(GUI_COLOR color) { LCD_SetBkColor(color); }
void GUI_SetColorIndex(int index) {
    GUI_Context.Color = GUI_INVALID_COLOR;
    LCD_SetColorIndex(static_cast<unsigned>(index));
}
void GUI_SetBkColorIndex(int index) {
    GUI_Context.BkColor = GUI_INVALID_COLOR;
    LCD_SetBkColorIndex(static_cast<unsigned>(index));
}
unsigned LCD_GetColorIndex() { return GUI_Context.LCD.aColorIndex32[1]; }
unsigned LCD_GetBkColorIndex() { return GUI_Context.LCD.aColorIndex32[0]; }
GUI_COLOR GUI_GetColor() { return LCD_Index2Color(static_cast<int>(LCD_GetColorIndex())); }
GUI_COLOR GUI_GetBkColor() { return LCD_Index2Color(static_cast<int>(LCD_GetBkColorIndex())); }
int GUI_GetColorIndex() { return static_cast<int>(LCD_GetColorIndex()); }
int GUI_GetBkColorIndex() { return static_cast<int>(LCD_GetBkColorIndex()); }
void LCD_UpdateColorIndices() {
    LCD_SetColorIndex(LCD_Color2Index(GUI_Context.Color));
    LCD_SetBkColorIndex(LCD_Color2Index(GUI_Context.BkColor));
}
unsigned LCD_GetPixelIndex(int x, int y) {
    LCD_RECT r;
    LCD_L0_GetRect(&r);
    if (x < r.x0 || x > r.x1 || y < r.y0 || y > r.y1) return 0;
    return LCD_L0_GetPixelIndex(x, y);
}
LCD_COLOR LCD_GetPixelColor(int x, int y) { return LCD_Index2Color(static_cast<int>(LCD_GetPixelIndex(x, y))); }
LCD_COLOR LCD_Index2ColorEx(int i, unsigned) { return LCD_Index2Color(i); }
unsigned long* LCD_GetpPalConvTable(const LCD_LOGPALETTE* pLogPal) {
    if (!pLogPal || !pLogPal->pPalEntries || pLogPal->NumEntries > 256) return nullptr;
    for (int i = 0; i < pLogPal->NumEntries; ++i) LCD__aConvTable[i] = LCD_Color2Index(pLogPal->pPalEntries[i]);
    return LCD__aConvTable;
}
unsigned long* LCD_GetpPalConvTableUncached(const LCD_LOGPALETTE* pLogPal) { return LCD_GetpPalConvTable(pLogPal); }
void GUI_InitLUT() {}
void LCD_InitLUT() {}
void GUI_SetLUTColor(U8, LCD_COLOR) {}
void GUI_SetLUTColorEx(U8, LCD_COLOR, unsigned) {}
void GUI_SetLUTEntry(U8 pos, LCD_COLOR color) { LCD_L0_SetLUTEntry(pos, color); }
