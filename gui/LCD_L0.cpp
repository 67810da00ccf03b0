// The display driver: writes pixels into the surface that table_or_image selects
// (0 display table, 1 canvas, 2 time-stamp bitmap). No read-back.
#include "gui/GUI.h"
#include "vio/vio.h"

namespace {
constexpr int kStampW = 288;
constexpr int kStampRows = 24;

U16 argb1555(U32 index) {
    return static_cast<U16>(0x8000 | (((index >> 19) & 0x1F) << 10) | (((index >> 11) & 0x1F) << 5) |
                            ((index >> 3) & 0x1F));
}

// One pixel into the selected surface; the selector is read for every pixel.
inline void put(int x, int y, U32 index) {
    switch (table_or_image) {
        case 0:
            if (x >= 1 && x < TABLE_W && y >= 1 && y < TABLE_H && table) {
                Image_table& e = table[y * TABLE_W + x];
                e.pic_num = 0;
                e.YUV_default = index | 0xFF000000u;
            }
            break;
        case 1:
            if (x >= 1 && x < TABLE_W && y >= 1 && y < TABLE_H && pBuf1) pBuf1[y * TABLE_W + x] = index | 0xFF000000u;
            break;
        case 2:
            if (x >= 0 && x < kStampW && y >= 0 && y < kStampRows && stBittime.pData)
                static_cast<U16*>(stBittime.pData)[y * kStampW + x] = argb1555(index);
            break;
        default:
            break;
    }
}

// The XOR pixel: all ones, as nothing can be read back.
inline void put_xor(int x, int y) {
    if (table_or_image == 2)
        put(x, y, 0xFFFFFF);
    else
        put(x, y, 0xFFFFFFFF);
}

inline U32 foreground() { return GUI_Context.LCD.aColorIndex32[1]; }

void line_1bpp(int x, int y, int xsize, const U8* p, int diff, const LCD_PIXELINDEX* pTrans, int mode) {
    unsigned bit = 0x80u >> diff;
    unsigned byte = *p;
    for (int i = 0; i < xsize; ++i, ++x) {
        const bool set = byte & bit;
        switch (mode) {
            case 0: if (pTrans) put(x, y, pTrans[set ? 1 : 0]); break;
            case GUI_DRAWMODE_TRANS: if (set && pTrans) put(x, y, pTrans[1]); break;
            default: if (set) put_xor(x, y); break;
        }
        bit >>= 1;
        if (bit == 0 && i + 1 < xsize) {
            bit = 0x80;
            byte = *++p;
        }
    }
}

// 2, 4 and 8 bits a pixel: most significant field first.
void line_packed(int x, int y, int xsize, const U8* p, int diff, int bpp, const LCD_PIXELINDEX* pTrans, int mode) {
    if (mode & GUI_DRAWMODE_XOR) return;
    const int per_byte = 8 / bpp;
    const unsigned mask = (1u << bpp) - 1;
    int field = diff;
    for (int i = 0; i < xsize; ++i, ++x) {
        const unsigned v = (*p >> (8 - bpp * (field + 1))) & mask;
        if (!(mode == GUI_DRAWMODE_TRANS && v == 0)) put(x, y, pTrans ? pTrans[v] : v);
        if (++field == per_byte) {
            field = 0;
            if (i + 1 < xsize) ++p;
        }
    }
}

void line_16bpp(int x, int y, int xsize, const U8* p, const LCD_PIXELINDEX* pTrans, int mode) {
    for (int i = 0; i < xsize; ++i, ++x, p += 2) {
        const unsigned v = p[0] | (p[1] << 8);
        if ((mode & GUI_DRAWMODE_TRANS) && v == 0) continue;
        put(x, y, pTrans ? pTrans[v] : v);
    }
}
}  // namespace

void LCD_L0_SetPixelIndex(int x, int y, LCD_PIXELINDEX index) { put(x, y, index); }
void LCD_L0_XorPixel(int x, int y) { put_xor(x, y); }
unsigned LCD_L0_GetPixelIndex(int, int) { return 0; }

void LCD_L0_DrawHLine(int x0, int y, int x1) {
    if (GUI_Context.DrawMode & GUI_DRAWMODE_XOR) {
        for (int x = x0; x <= x1; ++x) put_xor(x, y);
    } else {
        for (int x = x0; x <= x1; ++x) put(x, y, foreground());
    }
}
void LCD_L0_DrawVLine(int x, int y0, int y1) {
    if (GUI_Context.DrawMode & GUI_DRAWMODE_XOR) {
        for (int y = y0; y <= y1; ++y) put_xor(x, y);
    } else {
        for (int y = y0; y <= y1; ++y) put(x, y, foreground());
    }
}
void LCD_L0_FillRect(int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y) LCD_L0_DrawHLine(x0, y, x1);
}

void LCD_L0_DrawBitmap(int x0, int y0, int xsize, int ysize, int BitsPerPixel, int BytesPerLine, const U8* pData,
                       int Diff, const LCD_PIXELINDEX* pTrans) {
    if (ysize < 1 || xsize < 1 || !pData) return;
    const int mode = GUI_Context.DrawMode & (GUI_DRAWMODE_XOR | GUI_DRAWMODE_TRANS);
    for (int i = 0; i < ysize; ++i, pData += BytesPerLine) {
        const int y = y0 + i;
        switch (BitsPerPixel) {
            case 1: line_1bpp(x0 + Diff, y, xsize, pData, Diff, pTrans, mode == 3 ? 1 : mode); break;
            case 2:
            case 4: line_packed(x0 + Diff, y, xsize, pData, Diff, BitsPerPixel, pTrans, mode); break;
            case 8: line_packed(x0, y, xsize, pData, 0, 8, pTrans, mode); break;
            case 16: line_16bpp(x0, y, xsize, pData, pTrans, mode); break;
            default: return;
        }
    }
}

void LCD_L0_GetRect(LCD_RECT* pRect) {
    if (pRect) *pRect = {0, 0, GUI_SCREEN_XSIZE - 1, GUI_SCREEN_YSIZE - 1};
}
unsigned LCD_L0_Color2Index(LCD_COLOR color) { return LCD_Color2Index_888(color); }
LCD_COLOR LCD_L0_Index2Color(int index) { return LCD_Index2Color_888(index); }
unsigned LCD_L0_GetIndexMask() { return LCD_GetIndexMask_888(); }
tLCD_Index2Color LCD_L0_GetpfIndex2Color() { return LCD_Index2Color_888; }
void LCD_L0_SetOrg(int, int) {}
void LCD_L0_On() {}
void LCD_L0_Off() {}
void LCD_L0_SetLUTEntry(U8, LCD_COLOR) {}
tLCDDEV_DevFunc LCD_L0_GetDevFunc(int) { return nullptr; }
int LCD_L0_Init() { return 0; }

const tLCDDEV_APIList LCD_L0_APIList = {
    LCD_L0_Color2Index, LCD_L0_Index2Color, LCD_L0_GetIndexMask, LCD_L0_DrawBitmap,    LCD_L0_DrawHLine,
    LCD_L0_DrawVLine,   LCD_L0_FillRect,    LCD_L0_GetPixelIndex, LCD_L0_GetRect,      LCD_L0_SetPixelIndex,
    LCD_L0_XorPixel,    LCD_L0_SetLUTEntry, LCD_L0_GetDevFunc,
};
const tLCDDEV_APIList* const LCD_aAPI = &LCD_L0_APIList;

// Operating-system hooks: nothing to do on this board; diagnostics are dropped.
void GUI_X_Init() {}
void GUI_X_ExecIdle() {}
void GUI_X_Log(const char*) {}
void GUI_X_Warn(const char*) {}
void GUI_X_ErrorOut(const char*) {}
