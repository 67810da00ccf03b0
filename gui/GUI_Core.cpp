// Graphics context, initialisation, the clipping LCD_ layer, the library's
// fixed display and shared rectangle and string utilities.
#include <algorithm>
#include <cstring>

#include "gui/GUI.h"

constinit thread_local GUI_CONTEXT GUI_Context{};
constinit thread_local char GUI_DecChar = 0;
constinit thread_local I16 GUI_OrgX = 0, GUI_OrgY = 0;
constinit thread_local tGUI_DispCharStyle GUI_pfDispCharStyle = nullptr;
int GUI_MoveRTL = 0;
constinit thread_local const tLCD_APIList* GUI_pLCD_APIList = nullptr;
const tLCD_HL_APIList GUI_LCD_HL_Default = {LCD_DrawHLine, LCD_DrawPixel};

namespace {
thread_local int screen_xsize = 0;
thread_local int screen_ysize = 0;

LCD_RECT driver_rect() {
    LCD_RECT r;
    LCD_L0_GetRect(&r);
    return r;
}

I16 clamp16(int v) { return static_cast<I16>(std::clamp(v, -32768, 32767)); }
}  // namespace

void GUI__DispCharStyle(U16 c, int x0);  // text output

int GUI_Init() {
    GUI_DecChar = '.';
    GUI_X_Init();
    GUI_Context.pClipRect_HL = &GUI_Context.ClipRect;
    GUI_Context.ClipRect = driver_rect();
    GUI_Context.pLCD_HL = &GUI_LCD_HL_Default;
    GUI_Context.pAFont = &GUI_FontHZ24x24;
    GUI_Context.PenSize = 1;
    GUI_Context.AA_Factor = 3;
    GUI_Context.Color = GUI_INVALID_COLOR;
    GUI_Context.BkColor = GUI_INVALID_COLOR;
    LCD_SetBkColor(0);
    LCD_SetColor(0xFFFFFF);
    GUI_Context.pUC_API = &GUI_UC_None;
    return 0;
}

const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont) {
    const GUI_FONT* old = GUI_Context.pAFont;
    if (pFont) GUI_Context.pAFont = pFont;
    return old;
}
const GUI_FONT* GUI_GetFont() { return GUI_Context.pAFont; }

int GUI_SetTextMode(int mode) {
    const int old = GUI_Context.TextMode;
    GUI_Context.TextMode = static_cast<I16>(mode);
    return old;
}
int GUI_GetTextMode() { return GUI_Context.TextMode; }
int GUI_SetTextAlign(int align) {
    const int old = GUI_Context.TextAlign;
    GUI_Context.TextAlign = static_cast<I16>(align);
    return old;
}
int GUI_GetTextAlign() { return GUI_Context.TextAlign; }
int GUI_SetLBorder(int x) {
    const int old = GUI_Context.LBorder;
    GUI_Context.LBorder = static_cast<I16>(x);
    return old;
}
char GUI_GotoX(int x) {
    GUI_Context.DispPosX = static_cast<I16>(x);
    return 0;
}
char GUI_GotoY(int y) {
    GUI_Context.DispPosY = static_cast<I16>(y);
    return 0;
}
char GUI_GotoXY(int x, int y) {
    GUI_GotoX(x);
    GUI_GotoY(y);
    return 0;
}
int GUI_GetDispPosX() { return GUI_Context.DispPosX; }
int GUI_GetDispPosY() { return GUI_Context.DispPosY; }
void GUI_DispNextLine() {
    GUI_Context.DispPosX = GUI_Context.LBorder;
    if (GUI_Context.pAFont) GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY + GUI_Context.pAFont->YDist);
}
char GUI_SetDecChar(char c) {
    const char old = GUI_DecChar;
    GUI_DecChar = c;
    return old;
}
char GUI_GetDecChar() { return GUI_DecChar; }
char GUI_SetTextStyle(char style) {
    const char old = static_cast<char>(GUI_Context.TextStyle);
    GUI_pfDispCharStyle = GUI__DispCharStyle;
    GUI_Context.TextStyle = static_cast<U8>(style);
    return old;
}
void GUI_SaveContext_(GUI_CONTEXT* pContext) {
    if (pContext) *pContext = GUI_Context;
}
void GUI_RestoreContext(const GUI_CONTEXT* pContext) {
    if (pContext) GUI_Context = *pContext;
}
unsigned GUI_SelectLayer(unsigned index) {
    const unsigned old = GUI_Context.SelLayer;
    if (index == 0) {
        GUI_Context.SelLayer = 0;
        GUI_SelectLCD();
    }
    return old;
}
void GUI_SelectLCD() {}
void LCD_SelectLCD() {
    GUI_Context.pClipRect_HL = &GUI_Context.ClipRect;
    GUI_Context.ClipRect = driver_rect();
}
const GUI_RECT* GUI_SetClipRect(const GUI_RECT* pRect) {
    static constexpr GUI_RECT whole = {-4096, -4096, 4096, 4096};
    LCD_SetClipRectEx(pRect ? pRect : &whole);
    return nullptr;
}
void GUI_GetClientRect(GUI_RECT* pRect) {
    if (!pRect) return;
    *pRect = {0, 0, static_cast<I16>(LCD_GetVXSize()), static_cast<I16>(LCD_GetVYSize())};
}
void GUI_SetOrg(int x, int y) {
    GUI_OrgX = static_cast<I16>(x);
    GUI_OrgY = static_cast<I16>(y);
    LCD_L0_SetOrg(x, y);
}
void GUI_GetOrg(int* px, int* py) {
    if (px) *px = GUI_OrgX;
    if (py) *py = GUI_OrgY;
}
void GUI_SetScreenSizeX(int xsize) { screen_xsize = xsize; }
void GUI_SetScreenSizeY(int ysize) { screen_ysize = ysize; }
int GUI_GetScreenSizeX() {
    if (screen_xsize == 0) screen_xsize = LCD_GetXSize();
    return screen_xsize;
}
int GUI_GetScreenSizeY() {
    if (screen_ysize == 0) screen_ysize = LCD_GetYSize();
    return screen_ysize;
}
const char* GUI_GetVersionString() { return "3.98"; }

void GUI_ClearRect(int x0, int y0, int x1, int y1) {
    const int old = LCD_SetDrawMode(GUI_DRAWMODE_REV);
    LCD_FillRect(x0, y0, x1, y1);
    LCD_SetDrawMode(old);
}
void GUI_Clear() {
    GUI_GotoXY(0, 0);
    GUI_ClearRect(-4095, -4095, 4095, 4095);
}
void GL_SetDefault() {
    GUI_SetBkColor(0);
    GUI_SetColor(0xFFFFFF);
    GUI_Context.PenSize = 1;
    GUI_SetTextAlign(0);
    GUI_SetTextMode(0);
    LCD_SetDrawMode(0);
    GUI_SetFont(&GUI_FontHZ24x24);
    GUI_Context.LineStyle = 0;
}
void GUI_SetDefault() { GL_SetDefault(); }
void GUI_Lock() {}
void GUI_Unlock() {}

// ---------------------------------------------------------------- LCD_ layer

namespace {
// Index slot of the foreground colour: swapped while the reverse bit is set.
int fg_slot() { return (GUI_Context.DrawMode & GUI_DRAWMODE_REV) ? 0 : 1; }
}  // namespace

void LCD_SetColor(GUI_COLOR color) {
    if (GUI_Context.Color == color) return;
    GUI_Context.Color = color;
    LCD_SetColorIndex(LCD_Color2Index(color));
}
void LCD_SetBkColor(GUI_COLOR color) {
    if (GUI_Context.BkColor == color) return;
    GUI_Context.BkColor = color;
    LCD_SetBkColorIndex(LCD_Color2Index(color));
}
void LCD_SetColorIndex(unsigned index) { GUI_Context.LCD.aColorIndex32[fg_slot()] = index; }
void LCD_SetBkColorIndex(unsigned index) { GUI_Context.LCD.aColorIndex32[1 - fg_slot()] = index; }
int LCD_SetDrawMode(int mode) {
    const int old = GUI_Context.DrawMode;
    if ((old ^ mode) & GUI_DRAWMODE_REV) std::swap(GUI_Context.LCD.aColorIndex32[0], GUI_Context.LCD.aColorIndex32[1]);
    GUI_Context.DrawMode = static_cast<U8>(mode);
    return old;
}
unsigned LCD_Color2Index(LCD_COLOR color) { return LCD_L0_Color2Index(color); }
LCD_COLOR LCD_Index2Color(int index) { return LCD_L0_Index2Color(index); }
void LCD_SetClipRectMax() { GUI_Context.ClipRect = driver_rect(); }
void LCD_SetClipRectEx(const LCD_RECT* pRect) {
    LCD_RECT r = driver_rect();
    if (pRect) GUI__IntersectRects(&r, pRect, &r);
    GUI_Context.ClipRect = r;
}

void LCD_FillRect(int x0, int y0, int x1, int y1) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    x0 = std::max(x0, static_cast<int>(c.x0));
    y0 = std::max(y0, static_cast<int>(c.y0));
    x1 = std::min(x1, static_cast<int>(c.x1));
    y1 = std::min(y1, static_cast<int>(c.y1));
    if (x0 > x1 || y0 > y1) return;
    LCD_L0_FillRect(x0, y0, x1, y1);
}
void LCD_DrawHLine(int x0, int y, int x1) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    if (y < c.y0 || y > c.y1) return;
    x0 = std::max(x0, static_cast<int>(c.x0));
    x1 = std::min(x1, static_cast<int>(c.x1));
    if (x0 > x1) return;
    LCD_L0_DrawHLine(x0, y, x1);
}
void LCD_DrawPixel(int x, int y) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) return;
    if (GUI_Context.DrawMode & GUI_DRAWMODE_XOR)
        LCD_L0_XorPixel(x, y);
    else
        LCD_L0_SetPixelIndex(x, y, GUI_Context.LCD.aColorIndex32[1]);
}

namespace {
// Magnified bitmap: every pixel becomes an xMul x yMul block.
void draw_bitmap_magnified(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int bpp, int BytesPerLine,
                           const U8* pPixel, const LCD_PIXELINDEX* pTrans) {
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
    const LCD_RECT& c = GUI_Context.ClipRect;
    const U32 saved = GUI_Context.LCD.aColorIndex32[1];
    const bool trans = GUI_Context.DrawMode & GUI_DRAWMODE_TRANS;
    const unsigned mask = (1u << bpp) - 1;
    for (int row = 0; row < ysize; ++row) {
        const int by0 = y0 + row * yMul, by1 = by0 + yMul - 1;
        if (by1 < c.y0 || by0 > c.y1) continue;
        const U8* line = pPixel + row * BytesPerLine;
        for (int col = 0; col < xsize; ++col) {
            const int bit = col * bpp;
            const unsigned v = (line[bit / 8] >> (8 - bpp - bit % 8)) & mask;
            if (v == 0 && trans) continue;
            GUI_Context.LCD.aColorIndex32[1] = pTrans ? pTrans[v] : v;
            const int bx0 = x0 + col * xMul;
            LCD_FillRect(bx0, by0, bx0 + xMul - 1, by1);
        }
    }
    GUI_Context.LCD.aColorIndex32[1] = saved;
}
}  // namespace

void LCD_DrawBitmap(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int BitsPerPixel, int BytesPerLine,
                    const U8* pPixel, const LCD_PIXELINDEX* pTrans) {
    if (!pPixel) return;
    if (GUI_pLCD_APIList && GUI_pLCD_APIList->pfDrawBitmap) {  // rotated text
        GUI_pLCD_APIList->pfDrawBitmap(x0, y0, xsize, ysize, xMul, yMul, BitsPerPixel, BytesPerLine, pPixel, pTrans);
        return;
    }
    if (xMul != 1 || yMul != 1) {
        if (xMul < 1 || yMul < 1) return;
        draw_bitmap_magnified(x0, y0, xsize, ysize, xMul, yMul, BitsPerPixel, BytesPerLine, pPixel, pTrans);
        return;
    }
    const LCD_RECT& c = GUI_Context.ClipRect;
    int d = c.y0 - y0;
    if (d > 0) {
        ysize -= d;
        if (ysize < 1) return;
        pPixel += d * BytesPerLine;
        y0 = c.y0;
    }
    d = y0 + ysize - 1 - c.y1;
    if (d > 0) {
        ysize -= d;
        if (ysize < 1) return;
    }
    d = x0 + xsize - 1 - c.x1;
    if (d > 0) xsize -= d;
    int diff = 0;
    d = c.x0 - x0;
    if (d > 0) {
        xsize -= d;
        switch (BitsPerPixel) {
            case 1: x0 += d & ~7; pPixel += d >> 3; diff = d & 7; break;
            case 2: x0 += d & ~3; pPixel += d >> 2; diff = d & 3; break;
            case 4: x0 += d & ~1; pPixel += d >> 1; diff = d & 1; break;
            case 8: x0 += d; pPixel += d; break;
            case 16: x0 += d; pPixel += 2 * d; break;
            default: break;
        }
    }
    if (xsize < 1) return;
    LCD_L0_DrawBitmap(x0, y0, xsize, ysize, BitsPerPixel, BytesPerLine, pPixel, diff, pTrans);
}

int LCD_Init() {
    LCD_SetClipRectMax();
    const int r = LCD_L0_Init();
    LCD_InitLUT();
    // Fill with the background: exchange the indices for the moment.
    std::swap(GUI_Context.LCD.aColorIndex32[0], GUI_Context.LCD.aColorIndex32[1]);
    const LCD_RECT dr = driver_rect();
    LCD_L0_FillRect(dr.x0, dr.y0, dr.x1, dr.y1);
    std::swap(GUI_Context.LCD.aColorIndex32[0], GUI_Context.LCD.aColorIndex32[1]);
    LCD_L0_On();
    return r;
}

// ---------------------------------------------------------------- the fixed display

int LCD_GetXSize() { return GUI_SCREEN_XSIZE; }
int LCD_GetYSize() { return GUI_SCREEN_YSIZE; }
int LCD_GetVXSize() { return GUI_SCREEN_XSIZE; }
int LCD_GetVYSize() { return GUI_SCREEN_YSIZE; }
int LCD_GetXSizeEx(int layer) { return layer == 0 ? GUI_SCREEN_XSIZE : 0; }
int LCD_GetYSizeEx(int layer) { return layer == 0 ? GUI_SCREEN_YSIZE : 0; }
int LCD_GetVXSizeEx(int layer) { return layer == 0 ? GUI_SCREEN_XSIZE : 0; }
int LCD_GetVYSizeEx(int layer) { return layer == 0 ? GUI_SCREEN_YSIZE : 0; }
int LCD_GetBitsPerPixel() { return 24; }
int LCD_GetBitsPerPixel_L0Ex(int layer) { return layer == 0 ? 24 : 0; }
U32 LCD_GetNumColors() { return 0x1000000; }
U32 LCD_GetNumColorsEx(int layer) { return layer == 0 ? 0x1000000 : 0; }
int LCD_GetFixedPalette() { return 888; }
int LCD_GetFixedPaletteEx(int layer) { return layer == 0 ? 888 : 0; }
int LCD_GetXMag() { return 1; }
int LCD_GetYMag() { return 1; }
int LCD_GetMirrorXEx(int) { return 0; }
int LCD_GetMirrorYEx(int) { return 0; }
int LCD_GetSwapXYEx(int) { return 0; }
int LCD_GetSwapRBEx(int) { return 0; }
int LCD_GetDeltaModeEx(int) { return 0; }
int LCD_GetNumLayers() { return 1; }
int LCD_GetXSize_1() { return 0; }
int LCD_GetYSize_1() { return 0; }
int LCD_GetVXSize_1() { return 0; }
int LCD_GetVYSize_1() { return 0; }
int LCD_GetBitsPerPixel_1() { return 0; }
U32 LCD_GetNumColors_1() { return 0; }
int LCD_GetFixedPalette_1() { return 0; }
tLCD_Index2Color LCD_GetpfIndex2ColorEx(int layer) { return layer == 0 ? LCD_L0_GetpfIndex2Color() : nullptr; }
I32 LCD_GetDevCap(int index) {
    switch (index) {
        case 0: return 0x1000000;
        case 1: return GUI_SCREEN_XSIZE;
        case 2: return GUI_SCREEN_YSIZE;
        case 3: return GUI_SCREEN_XSIZE;
        case 4: return GUI_SCREEN_YSIZE;
        case 7: return -1;
        case 8: return 24;
        default: break;
    }
    if (index >= 4096 && index - 4096 < 0x1000000) return static_cast<I32>(LCD_Index2Color(index - 4096));
    return 0;
}

// ---------------------------------------------------------------- utilities

void GUI__IntersectRect(GUI_RECT* pDest, const GUI_RECT* pr0) {
    if (!pDest || !pr0) return;
    pDest->x0 = std::max(pDest->x0, pr0->x0);
    pDest->y0 = std::max(pDest->y0, pr0->y0);
    pDest->x1 = std::min(pDest->x1, pr0->x1);
    pDest->y1 = std::min(pDest->y1, pr0->y1);
}
int GUI__IntersectRects(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1) {
    const GUI_RECT r = {std::max(pr0->x0, pr1->x0), std::max(pr0->y0, pr1->y0), std::min(pr0->x1, pr1->x1),
                        std::min(pr0->y1, pr1->y1)};
    *pDest = r;
    return (r.x0 <= r.x1 && r.y0 <= r.y1) ? 1 : 0;
}
int GUI_RectsIntersect(const GUI_RECT* pr0, const GUI_RECT* pr1) {
    GUI_RECT r;
    return GUI__IntersectRects(&r, pr0, pr1);
}
void GUI_MergeRect(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1) {
    if (!pDest || (!pr0 && !pr1)) return;
    if (pr0 && pr1) {
        *pDest = {std::min(pr0->x0, pr1->x0), std::min(pr0->y0, pr1->y0), std::max(pr0->x1, pr1->x1),
                  std::max(pr0->y1, pr1->y1)};
    } else {
        *pDest = pr0 ? *pr0 : *pr1;
    }
}
void GUI__ReduceRect(GUI_RECT* pDest, const GUI_RECT* pSrc, int d) {
    *pDest = {clamp16(pSrc->x0 + d), clamp16(pSrc->y0 + d), clamp16(pSrc->x1 - d), clamp16(pSrc->y1 - d)};
}
int GUI__DivideRound(int a, int b) { return b == 0 ? 0 : (a + b / 2) / b; }
I32 GUI__DivideRound32(I32 a, I32 b) {
    if (b == 0) return 0;
    return a < 0 ? (a - b / 2) / b : (a + b / 2) / b;
}
int GUI__strlen(const char* s) { return s ? static_cast<int>(std::strlen(s)) : -1; }
int GUI__strcmp(const char* s0, const char* s1) {
    return std::strcmp(s0 ? s0 : "", s1 ? s1 : "") == 0 ? 0 : 1;
}

// ---------------------------------------------------------------- diagnostics

namespace {
using Hook = void (*)(const char*);
void message(Hook hook, const char* s, int n, const int* values, bool clear) {
    char buffer[50 + 4 * 9 + 1];
    if (clear) std::memset(buffer, 0, sizeof buffer);
    char* p = buffer;
    for (int i = 0; s && s[i] && i < 50; ++i) *p++ = s[i];
    *p = 0;
    for (int i = 0; i < n; ++i) GUI__AddSpaceHex(static_cast<U32>(values[i]), 8, &p);
    hook(buffer);
}
}  // namespace

void GUI_Log(const char* s) { GUI_X_Log(s); }
void GUI_Log1(const char* s, int p0) { const int v[] = {p0}; message(GUI_X_Log, s, 1, v, false); }
void GUI_Log2(const char* s, int p0, int p1) { const int v[] = {p0, p1}; message(GUI_X_Log, s, 2, v, false); }
void GUI_Log3(const char* s, int p0, int p1, int p2) {
    const int v[] = {p0, p1, p2};
    message(GUI_X_Log, s, 3, v, false);
}
void GUI_Log4(const char* s, int p0, int p1, int p2, int p3) {
    const int v[] = {p0, p1, p2, p3};
    message(GUI_X_Log, s, 4, v, false);
}
void GUI_Warn(const char* s) { GUI_X_Warn(s); }
void GUI_Warn1(const char* s, int p0) { const int v[] = {p0}; message(GUI_X_Warn, s, 1, v, false); }
void GUI_Warn2(const char* s, int p0, int p1) { const int v[] = {p0, p1}; message(GUI_X_Warn, s, 2, v, false); }
void GUI_Warn3(const char* s, int p0, int p1, int p2) {
    const int v[] = {p0, p1, p2};
    message(GUI_X_Warn, s, 3, v, false);
}
void GUI_Warn4(const char* s, int p0, int p1, int p2, int p3) {
    const int v[] = {p0, p1, p2, p3};
    message(GUI_X_Warn, s, 4, v, false);
}
void GUI_ErrorOut(const char* s) { GUI_X_ErrorOut(s); }
void GUI_ErrorOut1(const char* s, int p0) { const int v[] = {p0}; message(GUI_X_ErrorOut, s, 1, v, true); }
void GUI_ErrorOut2(const char* s, int p0, int p1) {
    const int v[] = {p0, p1};
    message(GUI_X_ErrorOut, s, 2, v, true);
}
void GUI_ErrorOut3(const char* s, int p0, int p1, int p2) {
    const int v[] = {p0, p1, p2};
    message(GUI_X_ErrorOut, s, 3, v, true);
}
void GUI_ErrorOut4(const char* s, int p0, int p1, int p2, int p3) {
    const int v[] = {p0, p1, p2, p3};
    message(GUI_X_ErrorOut, s, 4, v, true);
}

// ---------------------------------------------------------------- anti-aliasing factor

constinit thread_local GUI_RECT ClipRect_HL{};

// 1..15: a pixel's count of covered sub-pixels (F x F) must fit the line buffer's bytes,
// and 0 would divide by zero.
void GUI_AA_SetFactor(int Factor) {
    GUI_Context.AA_Factor = static_cast<U8>(std::clamp(Factor, 1, 15));
    const int f = GUI_Context.AA_Factor;
    const GUI_RECT& c = GUI_Context.ClipRect;
    ClipRect_HL = {clamp16(c.x0 * f), clamp16(c.y0 * f), clamp16((c.x1 + 1) * f - 1), clamp16((c.y1 + 1) * f - 1)};
}
int GUI_AA_GetFactor() { return GUI_Context.AA_Factor; }
