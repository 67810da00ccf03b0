// The 2-D graphics library: shared types, the per-thread graphics context and
// the operations of the context, the display driver, colour conversion and text.
// Font records and the font operations are in gui/GUI_Font.h.
#pragma once

#include <cstdint>

#include "gui/GUI_Font.h"

using GUI_COLOR = U32;  // red bits 0-7, green 8-15, blue 16-23
using LCD_COLOR = U32;

struct GUI_RECT {
    I16 x0, y0, x1, y1;  // inclusive corners
};
using LCD_RECT = GUI_RECT;

using tLCD_HL_DrawHLine = void (*)(int x0, int y, int x1);
using tLCD_HL_DrawPixel = void (*)(int x, int y);
struct tLCD_HL_APIList {
    tLCD_HL_DrawHLine pfDrawHLine;
    tLCD_HL_DrawPixel pfDrawPixel;
};

union LCD_COLORINDEX_UNION {
    U32 aColorIndex32[2];  // 0 background, 1 foreground
    U16 aColorIndex16[2];
    U8 aColorIndex8[2];
};

// Draw mode and text mode bits.
constexpr int GUI_DRAWMODE_NORMAL = 0;
constexpr int GUI_DRAWMODE_XOR = 1;
constexpr int GUI_DRAWMODE_TRANS = 2;
constexpr int GUI_DRAWMODE_REV = 4;
constexpr int GUI_TEXTMODE_NORMAL = 0;
constexpr int GUI_TEXTMODE_XOR = 1;
constexpr int GUI_TEXTMODE_TRANS = 2;
constexpr int GUI_TEXTMODE_REV = 4;

// Text alignment: bits 0-1 horizontal, bits 2-3 vertical.
constexpr int GUI_TA_LEFT = 0;
constexpr int GUI_TA_RIGHT = 1;
constexpr int GUI_TA_CENTER = 2;
constexpr int GUI_TA_HCENTER = GUI_TA_CENTER;
constexpr int GUI_TA_HORIZONTAL = 3;
constexpr int GUI_TA_TOP = 0;
constexpr int GUI_TA_BOTTOM = 4;
constexpr int GUI_TA_BASELINE = 8;
constexpr int GUI_TA_VCENTER = 12;
constexpr int GUI_TA_VERTICAL = 12;

constexpr int GUI_WRAPMODE_NONE = 0;
constexpr int GUI_WRAPMODE_WORD = 1;
constexpr int GUI_WRAPMODE_CHAR = 2;

// Text style bits of the style hook.
constexpr int GUI_TS_NORMAL = 0;
constexpr int GUI_TS_UNDERLINE = 1;
constexpr int GUI_TS_STRIKETHRU = 2;
constexpr int GUI_TS_OVERLINE = 4;

constexpr GUI_COLOR GUI_INVALID_COLOR = 0x0FFFFFFF;

// The library's screen: 800 wide rather than 720, so menu text on the panel is not cut.
constexpr int GUI_SCREEN_XSIZE = 800;
constexpr int GUI_SCREEN_YSIZE = 480;

struct GUI_CONTEXT {
    LCD_COLORINDEX_UNION LCD;
    LCD_RECT ClipRect;
    U8 DrawMode;
    U8 SelLayer;
    U8 TextStyle;
    GUI_RECT* pClipRect_HL;
    U8 PenSize;
    U8 PenShape;
    U8 LineStyle;
    U8 FillStyle;
    const GUI_FONT* pAFont;
    const GUI_UC_ENC_APILIST* pUC_API;
    I16 LBorder;
    I16 DispPosX, DispPosY;
    I16 DrawPosX, DrawPosY;
    I16 TextMode;
    I16 TextAlign;
    GUI_COLOR Color, BkColor;
    const tLCD_HL_APIList* pLCD_HL;
    U8 AA_Factor;
    U8 AA_HiResEnable;
};

// Per thread: the one-second tick draws the time stamp with its own context.
extern constinit thread_local GUI_CONTEXT GUI_Context;
extern constinit thread_local char GUI_DecChar;
extern constinit thread_local I16 GUI_OrgX, GUI_OrgY;
using tGUI_DispCharStyle = void (*)(U16 c, int x0);
extern constinit thread_local tGUI_DispCharStyle GUI_pfDispCharStyle;
extern int GUI_MoveRTL;
struct tLCD_APIList;
// Rotated text operations for the text being drawn (per thread, as the context); null: none.
extern constinit thread_local const tLCD_APIList* GUI_pLCD_APIList;
extern const tLCD_HL_APIList GUI_LCD_HL_Default;
extern const I32 GUI_Pow10[10];

// ---------------------------------------------------------------- context
int GUI_Init();
const GUI_FONT* GUI_SetFont(const GUI_FONT* pFont);
const GUI_FONT* GUI_GetFont();
int GUI_SetTextMode(int mode);
int GUI_GetTextMode();
int GUI_SetTextAlign(int align);
int GUI_GetTextAlign();
int GUI_SetLBorder(int x);
char GUI_GotoX(int x);
char GUI_GotoY(int y);
char GUI_GotoXY(int x, int y);
int GUI_GetDispPosX();
int GUI_GetDispPosY();
void GUI_DispNextLine();
char GUI_SetDecChar(char c);
char GUI_GetDecChar();
char GUI_SetTextStyle(char style);
void GUI_SaveContext_(GUI_CONTEXT* pContext);
void GUI_RestoreContext(const GUI_CONTEXT* pContext);
unsigned GUI_SelectLayer(unsigned index);
void GUI_SelectLCD();
void LCD_SelectLCD();
const GUI_RECT* GUI_SetClipRect(const GUI_RECT* pRect);
void GUI_GetClientRect(GUI_RECT* pRect);
void GUI_SetOrg(int x, int y);
void GUI_GetOrg(int* px, int* py);
void GUI_SetScreenSizeX(int xsize);
void GUI_SetScreenSizeY(int ysize);
int GUI_GetScreenSizeX();
int GUI_GetScreenSizeY();
const char* GUI_GetVersionString();
void GUI_ClearRect(int x0, int y0, int x1, int y1);
void GUI_Clear();
void GL_SetDefault();
void GUI_SetDefault();
void GUI_Lock();
void GUI_Unlock();

// ---------------------------------------------------------------- LCD_ layer
void LCD_SetColor(GUI_COLOR color);
void LCD_SetBkColor(GUI_COLOR color);
void LCD_SetColorIndex(unsigned index);
void LCD_SetBkColorIndex(unsigned index);
int LCD_SetDrawMode(int mode);
unsigned LCD_Color2Index(LCD_COLOR color);
LCD_COLOR LCD_Index2Color(int index);
void LCD_SetClipRectMax();
void LCD_SetClipRectEx(const LCD_RECT* pRect);
void LCD_FillRect(int x0, int y0, int x1, int y1);
void LCD_DrawHLine(int x0, int y, int x1);
void LCD_DrawPixel(int x, int y);
void LCD_DrawBitmap(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int BitsPerPixel,
                    int BytesPerLine, const U8* pPixel, const LCD_PIXELINDEX* pTrans);
int LCD_Init();

// The library's fixed display.
int LCD_GetXSize();
int LCD_GetYSize();
int LCD_GetVXSize();
int LCD_GetVYSize();
int LCD_GetXSizeEx(int layer);
int LCD_GetYSizeEx(int layer);
int LCD_GetVXSizeEx(int layer);
int LCD_GetVYSizeEx(int layer);
int LCD_GetBitsPerPixel();
int LCD_GetBitsPerPixel_L0Ex(int layer);
U32 LCD_GetNumColors();
U32 LCD_GetNumColorsEx(int layer);
int LCD_GetFixedPalette();
int LCD_GetFixedPaletteEx(int layer);
int LCD_GetXMag();
int LCD_GetYMag();
int LCD_GetMirrorXEx(int layer);
int LCD_GetMirrorYEx(int layer);
int LCD_GetSwapXYEx(int layer);
int LCD_GetSwapRBEx(int layer);
int LCD_GetDeltaModeEx(int layer);
int LCD_GetNumLayers();
int LCD_GetXSize_1();
int LCD_GetYSize_1();
int LCD_GetVXSize_1();
int LCD_GetVYSize_1();
int LCD_GetBitsPerPixel_1();
U32 LCD_GetNumColors_1();
int LCD_GetFixedPalette_1();
using tLCD_Index2Color = LCD_COLOR (*)(int index);
tLCD_Index2Color LCD_GetpfIndex2ColorEx(int layer);
I32 LCD_GetDevCap(int index);

// ---------------------------------------------------------------- shared utilities
void GUI__IntersectRect(GUI_RECT* pDest, const GUI_RECT* pr0);
int GUI__IntersectRects(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1);
int GUI_RectsIntersect(const GUI_RECT* pr0, const GUI_RECT* pr1);
void GUI_MergeRect(GUI_RECT* pDest, const GUI_RECT* pr0, const GUI_RECT* pr1);
void GUI__ReduceRect(GUI_RECT* pDest, const GUI_RECT* pSrc, int d);
int GUI__DivideRound(int a, int b);
I32 GUI__DivideRound32(I32 a, I32 b);
int GUI__strlen(const char* s);
int GUI__strcmp(const char* s0, const char* s1);

// Diagnostics: dropped by the operating-system hooks.
void GUI_Log(const char* s);
void GUI_Log1(const char* s, int p0);
void GUI_Log2(const char* s, int p0, int p1);
void GUI_Log3(const char* s, int p0, int p1, int p2);
void GUI_Log4(const char* s, int p0, int p1, int p2, int p3);
void GUI_Warn(const char* s);
void GUI_Warn1(const char* s, int p0);
void GUI_Warn2(const char* s, int p0, int p1);
void GUI_Warn3(const char* s, int p0, int p1, int p2);
void GUI_Warn4(const char* s, int p0, int p1, int p2, int p3);
void GUI_ErrorOut(const char* s);
void GUI_ErrorOut1(const char* s, int p0);
void GUI_ErrorOut2(const char* s, int p0, int p1);
void GUI_ErrorOut3(const char* s, int p0, int p1, int p2);
void GUI_ErrorOut4(const char* s, int p0, int p1, int p2, int p3);

// ---------------------------------------------------------------- display driver
void LCD_L0_SetPixelIndex(int x, int y, LCD_PIXELINDEX index);
void LCD_L0_XorPixel(int x, int y);
unsigned LCD_L0_GetPixelIndex(int x, int y);
void LCD_L0_DrawHLine(int x0, int y, int x1);
void LCD_L0_DrawVLine(int x, int y0, int y1);
void LCD_L0_FillRect(int x0, int y0, int x1, int y1);
void LCD_L0_DrawBitmap(int x0, int y0, int xsize, int ysize, int BitsPerPixel, int BytesPerLine,
                       const U8* pData, int Diff, const LCD_PIXELINDEX* pTrans);
void LCD_L0_GetRect(LCD_RECT* pRect);
unsigned LCD_L0_Color2Index(LCD_COLOR color);
LCD_COLOR LCD_L0_Index2Color(int index);
unsigned LCD_L0_GetIndexMask();
tLCD_Index2Color LCD_L0_GetpfIndex2Color();
void LCD_L0_SetOrg(int x, int y);
void LCD_L0_On();
void LCD_L0_Off();
void LCD_L0_SetLUTEntry(U8 pos, LCD_COLOR color);
using tLCDDEV_DevFunc = void (*)();
tLCDDEV_DevFunc LCD_L0_GetDevFunc(int index);
int LCD_L0_Init();

struct tLCDDEV_APIList {
    unsigned (*pfColor2Index)(LCD_COLOR);
    LCD_COLOR (*pfIndex2Color)(int);
    unsigned (*pfGetIndexMask)();
    void (*pfDrawBitmap)(int, int, int, int, int, int, const U8*, int, const LCD_PIXELINDEX*);
    void (*pfDrawHLine)(int, int, int);
    void (*pfDrawVLine)(int, int, int);
    void (*pfFillRect)(int, int, int, int);
    unsigned (*pfGetPixelIndex)(int, int);
    void (*pfGetRect)(LCD_RECT*);
    void (*pfSetPixelIndex)(int, int, LCD_PIXELINDEX);
    void (*pfXorPixel)(int, int);
    void (*pfSetLUTEntry)(U8, LCD_COLOR);
    tLCDDEV_DevFunc (*pfGetDevFunc)(int);
};
extern const tLCDDEV_APIList LCD_L0_APIList;
extern const tLCDDEV_APIList* const LCD_aAPI;

// Operating-system hooks.
void GUI_X_Init();
void GUI_X_ExecIdle();
void GUI_X_Log(const char* s);
void GUI_X_Warn(const char* s);
void GUI_X_ErrorOut(const char* s);

// ---------------------------------------------------------------- colour conversion
struct LCD_PHYSPALETTE {
    int NumEntries;
    const LCD_COLOR* pPalEntries;
};
struct LCD_LOGPALETTE {
    int NumEntries;
    char HasTrans;
    const LCD_COLOR* pPalEntries;
};
using GUI_LOGPALETTE = LCD_LOGPALETTE;
extern unsigned long LCD__aConvTable[256];

#define GUI_DECLARE_COLOR_FORMAT(F)              \
    unsigned LCD_Color2Index_##F(LCD_COLOR color); \
    LCD_COLOR LCD_Index2Color_##F(int index);       \
    unsigned LCD_GetIndexMask_##F();
GUI_DECLARE_COLOR_FORMAT(1)
GUI_DECLARE_COLOR_FORMAT(2)
GUI_DECLARE_COLOR_FORMAT(4)
GUI_DECLARE_COLOR_FORMAT(111)
GUI_DECLARE_COLOR_FORMAT(M111)
GUI_DECLARE_COLOR_FORMAT(222)
GUI_DECLARE_COLOR_FORMAT(M222)
GUI_DECLARE_COLOR_FORMAT(233)
GUI_DECLARE_COLOR_FORMAT(M233)
GUI_DECLARE_COLOR_FORMAT(323)
GUI_DECLARE_COLOR_FORMAT(M323)
GUI_DECLARE_COLOR_FORMAT(332)
GUI_DECLARE_COLOR_FORMAT(M332)
GUI_DECLARE_COLOR_FORMAT(444_12)
GUI_DECLARE_COLOR_FORMAT(M444_12)
GUI_DECLARE_COLOR_FORMAT(444_12_1)
GUI_DECLARE_COLOR_FORMAT(444_16)
GUI_DECLARE_COLOR_FORMAT(M444_16)
GUI_DECLARE_COLOR_FORMAT(555)
GUI_DECLARE_COLOR_FORMAT(M555)
GUI_DECLARE_COLOR_FORMAT(556)
GUI_DECLARE_COLOR_FORMAT(M556)
GUI_DECLARE_COLOR_FORMAT(565)
GUI_DECLARE_COLOR_FORMAT(M565)
GUI_DECLARE_COLOR_FORMAT(655)
GUI_DECLARE_COLOR_FORMAT(M655)
GUI_DECLARE_COLOR_FORMAT(666)
GUI_DECLARE_COLOR_FORMAT(M666)
GUI_DECLARE_COLOR_FORMAT(888)
GUI_DECLARE_COLOR_FORMAT(M888)
GUI_DECLARE_COLOR_FORMAT(8666)
GUI_DECLARE_COLOR_FORMAT(8666_1)
#undef GUI_DECLARE_COLOR_FORMAT
unsigned LCD_Color2Index_0(LCD_COLOR color, const LCD_PHYSPALETTE* pPhysPal);
LCD_COLOR LCD_Index2Color_0(int index, const LCD_PHYSPALETTE* pPhysPal);
unsigned LCD_GetIndexMask_0();

int GUI_Color2Index(GUI_COLOR color);
GUI_COLOR GUI_Index2Color(int index);
GUI_COLOR GUI_Color2VisColor(GUI_COLOR color);
char GUI_ColorIsAvailable(GUI_COLOR color);
unsigned long GUI_CalcVisColorError(GUI_COLOR color);
unsigned long GUI_CalcColorDist(LCD_COLOR PalColor, LCD_COLOR color);
LCD_COLOR LCD_MixColors256(LCD_COLOR color, LCD_COLOR BkColor, unsigned Intens);
void GUI_SetColor(GUI_COLOR color);
void GUI_SetBkColor(GUI_COLOR color);
void GUI_SetColorIndex(int index);
void GUI_SetBkColorIndex(int index);
GUI_COLOR GUI_GetColor();
GUI_COLOR GUI_GetBkColor();
int GUI_GetColorIndex();
int GUI_GetBkColorIndex();
unsigned LCD_GetColorIndex();
unsigned LCD_GetBkColorIndex();
void LCD_UpdateColorIndices();
unsigned LCD_GetPixelIndex(int x, int y);
LCD_COLOR LCD_GetPixelColor(int x, int y);
LCD_COLOR LCD_Index2ColorEx(int i, unsigned LayerIndex);
unsigned long* LCD_GetpPalConvTable(const LCD_LOGPALETTE* pLogPal);
unsigned long* LCD_GetpPalConvTableUncached(const LCD_LOGPALETTE* pLogPal);
void GUI_InitLUT();
void LCD_InitLUT();
void GUI_SetLUTColor(U8 pos, LCD_COLOR color);
void GUI_SetLUTColorEx(U8 pos, LCD_COLOR color, unsigned LayerIndex);
void GUI_SetLUTEntry(U8 pos, LCD_COLOR color);

// ---------------------------------------------------------------- text output
void GL_DispChar(U16 c);
void GUI_DispChar(U16 c);
void GUI_DispCharAt(U16 c, I16 x, I16 y);
void GUI_DispChars(U16 c, int n);
void GUI_DispString(const char* s);
void GUI_DispStringAt(const char* s, int x, int y);
void GUI_DispStringAtCEOL(const char* s, int x, int y);
void GUI_DispCEOL();
void GUI_DispStringHCenterAt(const char* s, int x, int y);
void GUI_DispStringLen(const char* s, int n);
void GUI_DispStringInRect(const char* s, GUI_RECT* pRect, int align);
void GUI_DispStringInRectMax(const char* s, GUI_RECT* pRect, int align, int MaxLen);
void GUI_DispStringInRectWrap(const char* s, GUI_RECT* pRect, int align, int wrap);
void GUI_UC_DispString(const U16* s);
int GUI_GetStringDistX(const char* s);
void GUI_GetTextExtend(GUI_RECT* pRect, const char* s, int MaxNumChars);
void GUI__CalcTextRect(const char* s, const GUI_RECT* pRect, GUI_RECT* pTextRectResult, int align);
void GUI__DispStringInRect(const char* s, GUI_RECT* pRect, int TextAlign, int MaxNumChars);
int GUI_GetYAdjust();
int GUI__GetLineNumChars(const char* s, int MaxNumChars);
int GUI__GetLineDistX(const char* s, int Len);
void GUI__DispLine(const char* s, int Len, const GUI_RECT* pRect);
int GUI__HandleEOLine(const char** ps);
int GUI__WrapGetNumCharsDisp(const char* s, int xSize, int wrap);
int GUI__WrapGetNumCharsToNextLine(const char* s, int xSize, int wrap);
int GUI__WrapGetNumBytesToNextLine(const char* s, int xSize, int wrap);

// ---------------------------------------------------------------- numbers
int GUI_Long2Len(I32 v);
void GUI_AddDecShift(I32 v, U8 Len, U8 Shift, char** ps);
void GUI_AddDec(I32 v, U8 Len, char** ps);
void GUI_AddDecMin(I32 v, char** ps);
I32 GUI_AddSign(I32 v, char** ps);
void GUI_AddHex(U32 v, U8 Len, char** ps);
void GUI__AddSpaceHex(U32 v, U8 Len, char** ps);
void GUI_AddBin(U32 v, U8 Len, char** ps);
void GUI_DispDecMin(I32 v);
void GUI_DispDec(I32 v, U8 Len);
void GUI_DispDecAt(I32 v, I16 x, I16 y, U8 Len);
void GUI_DispSDec(I32 v, U8 Len);
void GUI_DispDecShift(I32 v, U8 Len, U8 Shift);
void GUI_DispSDecShift(I32 v, U8 Len, U8 Shift);
void GUI_DispDecSpace(I32 v, U8 MaxDigits);
void GUI_DispFloatFix(float f, char Len, char Decs);
void GUI_DispSFloatFix(float f, char Len, char Decs);
void GUI_DispFloatMin(float f, char Decs);
void GUI_DispSFloatMin(float f, char Decs);
void GUI_DispFloat(float f, char Len);
void GUI_DispHex(U32 v, U8 Len);
void GUI_DispHexAt(U32 v, I16 x, I16 y, U8 Len);
void GUI_DispBin(U32 v, U8 Len);
void GUI_DispBinAt(U32 v, I16 x, I16 y, U8 Len);

// ---------------------------------------------------------------- anti-aliasing factor
extern constinit thread_local GUI_RECT ClipRect_HL;
void GUI_AA_SetFactor(int Factor);
int GUI_AA_GetFactor();

// ================================================================ drawing primitives and anti-aliasing
// (block kept by the drawing work; gui/GUI_Draw*.cpp, GUI_Polygon.cpp, GUI_AA*.cpp)

struct GUI_POINT {
    I16 x, y;
};
constexpr int GUI_PS_ROUND = 0;
constexpr int GUI_PS_FLAT = 1;
constexpr int GUI_LS_SOLID = 0;
constexpr int GUI_LS_DASH = 1;
constexpr int GUI_LS_DOT = 2;
constexpr int GUI_LS_DASHDOT = 3;
constexpr int GUI_LS_DASHDOTDOT = 4;

// ---------------------------------------------------------------- points, lines, rectangles
void GUI_DrawPixel(int x, int y);
void GUI_DrawPoint(int x, int y);
void GL_DrawPoint(int x, int y);
void GUI_DrawHLine(int y0, int x0, int x1);
void GUI_DrawVLine(int x0, int y0, int y1);
void LCD_DrawVLine(int x, int y0, int y1);
void LCD_SetPixelIndex(int x, int y, int ColorIndex);
void GUI_DrawLine(int x0, int y0, int x1, int y1);
void GL_DrawLine(int x0, int y0, int x1, int y1);
void GL_DrawLineEx(int x0, int y0, int x1, int y1, unsigned* pPixelCnt);
void GL_DrawLine1(int x0, int y0, int x1, int y1);
void GL_DrawLine1Ex(int x0, int y0, int x1, int y1, unsigned* pPixelCnt);
void GUI_DrawLineTo(int x, int y);
void GL_DrawLineTo(int x, int y);
void GL_DrawLineToEx(int x, int y, unsigned* pPixelCnt);
void GUI_DrawLineRel(int dx, int dy);
void GUI_MoveTo(int x, int y);
void GL_MoveTo(int x, int y);
void GUI_MoveRel(int dx, int dy);
void GUI_DrawRect(int x0, int y0, int x1, int y1);
void GUI_DrawRectEx(const GUI_RECT* pRect);
void GUI_FillRect(int x0, int y0, int x1, int y1);
void GUI_FillRectEx(const GUI_RECT* pRect);
void GUI_ClearRectEx(const GUI_RECT* pRect);
void GUI_InvertRect(int x0, int y0, int x1, int y1);
void GUI_DrawFocusRect(const GUI_RECT* pRect, int Dist);
void GUI_MoveRect(GUI_RECT* pRect, int dx, int dy);
int GUI_sin(int angle);  // angle in 1/4096 of a turn, result x 1024
int GUI_cos(int angle);
U8 GUI_SetPenSize(U8 PenSize);
U8 GUI_SetPenShape(U8 PenShape);
U8 GUI_SetLineStyle(U8 LineStyle);
U8 GUI_GetPenSize();
U8 GUI_GetPenShape();
U8 GUI_GetLineStyle();
int GUI_GetDrawMode();
int GUI_SetDrawMode(int mode);

// ---------------------------------------------------------------- circles, ellipses, arcs
void GUI_DrawCircle(int x0, int y0, int r);
void GL_DrawCircle(int x0, int y0, int r);
void GUI_FillCircle(int x0, int y0, int r);
void GL_FillCircle(int x0, int y0, int r);
void GUI_DrawEllipse(int x0, int y0, int rx, int ry);
void GL_DrawEllipse(int x0, int y0, int rx, int ry);
void GUI_FillEllipse(int x0, int y0, int rx, int ry);
void GL_FillEllipse(int x0, int y0, int rx, int ry);
void GUI_DrawArc(int x0, int y0, int rx, int ry, int a0, int a1);
void GL_DrawArc(int x0, int y0, int rx, int ry, int a0, int a1);
void GUI_DrawPie(int x0, int y0, int r, int a0, int a1, int Type);

// ---------------------------------------------------------------- polygons and graphs
void GUI_DrawPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GL_DrawPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GUI_DrawPolyLine(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GUI_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GL_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GUI_EnlargePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, int Len);
void GUI_MagnifyPolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, int Mag);
void GUI_RotatePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, float Angle);
void GUI_DrawGraph(I16* pay, int NumPoints, int x0, int y0);
void GUI_DrawGraphEx(I16* pay, int NumPoints, int x0, int y0, int Numerator, unsigned Denominator);

// ---------------------------------------------------------------- anti-aliasing
// The line buffer covers this many pixel columns: the screen's width.
constexpr int GUI_AA_BUFFER_SIZE = GUI_SCREEN_XSIZE;
void GUI_AA_EnableHiRes();
void GUI_AA_DisableHiRes();
int GUI_AA_HiRes2Pixel(int HiRes);
int GUI_AA_Init(int x0, int x1);  // non-zero: nothing to draw, and nothing was changed
int GUI_AA_Init_HiRes(int x0, int x1);
void GUI_AA_Exit();
void GUI_AA_DrawLine(int x0, int y0, int x1, int y1);
void GUI_AA_DrawArc(int x0, int y0, int rx, int ry, int a0, int a1);
void GUI_AA_FillCircle(int x0, int y0, int r);
void GUI_AA_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0);
void GUI_AA_DrawPolyOutline(const GUI_POINT* pSrc, int NumPoints, int Thickness, int x, int y);
void LCD_SetPixelAA(int x, int y, U8 Intens);
void LCD_SetPixelAA_NoTrans(int x, int y, U8 Intens);
LCD_COLOR LCD_AA_MixColors(LCD_COLOR Color, LCD_COLOR BkColor, U8 Intens);

// Anti-aliased proportional fonts: 2 and 4 bits a pixel, and 1 bit at twice the resolution.
constexpr U16 GUI_FONTINFO_FLAG_AA = 4;
constexpr U16 GUI_FONTINFO_FLAG_AA2 = 8;
constexpr U16 GUI_FONTINFO_FLAG_AA4 = 16;
void GUIPROP_AA2_DispChar(U16 c);
int GUIPROP_AA2_GetCharDistX(U16 c);
void GUIPROP_AA2_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUIPROP_AA2_IsInFont(const GUI_FONT* pFont, U16 c);
void GUIPROP_AA4_DispChar(U16 c);
int GUIPROP_AA4_GetCharDistX(U16 c);
void GUIPROP_AA4_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUIPROP_AA4_IsInFont(const GUI_FONT* pFont, U16 c);
void GUIPROPAA_DispChar(U16 c);
int GUIPROPAA_GetCharDistX(U16 c);
void GUIPROPAA_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi);
int GUIPROPAA_IsInFont(const GUI_FONT* pFont, U16 c);

// ---------------------------------------------------------------- text kept in the allocator, rotated text
int GUI__SetText(I16* phText, const char* s);
int GUI__strcmp_hp(I16 hs0, const char* s1);
void GUI_DispStringInRectEx(const char* s, GUI_RECT* pRect, int TextAlign, int MaxLen,
                            const tLCD_APIList* pLCD_Api);
// ================================================================ end of the drawing block

// ================================================================ bitmaps, image files, allocator, input, timers
// (block kept by the bitmap / allocator / input work; gui/GUI_Bitmap*.cpp, GUI_BMP.cpp, GUI_GIF.cpp,
// GUI_ALLOC.cpp, GUI_Input.cpp, GUI_Timer.cpp)

// ---------------------------------------------------------------- bitmaps
using GUI_DRAWBITMAP_FUNC = void (*)(int x0, int y0, int xsize, int ysize, const U8* pPixel,
                                     const LCD_LOGPALETTE* pLogPal, int xMag, int yMag);
struct GUI_BITMAP_METHODS {
    GUI_DRAWBITMAP_FUNC pfDraw;
    tLCD_Index2Color pfIndex2Color;
};
struct GUI_BITMAP {
    U16 XSize;
    U16 YSize;
    U16 BytesPerLine;
    U16 BitsPerPixel;
    const U8* pData;
    const GUI_LOGPALETTE* pPal;
    const GUI_BITMAP_METHODS* pMethods;
};
extern const GUI_BITMAP_METHODS GUI_BitmapMethods555;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsM555;
extern const GUI_BITMAP_METHODS GUI_BitmapMethods565;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsM565;
extern const GUI_BITMAP_METHODS GUI_BitmapMethods888;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsM888;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE4;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE8;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE16;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLEM16;

void GL_DrawBitmap(const GUI_BITMAP* pBitmap, int x0, int y0);
void GUI_DrawBitmap(const GUI_BITMAP* pBitmap, int x0, int y0);
void GUI_DrawBitmapMag(const GUI_BITMAP* pBitmap, int x0, int y0, int xMul, int yMul);
void GUI_DrawBitmapExp(int x0, int y0, int XSize, int YSize, int XMul, int YMul, int BitsPerPixel, int BytesPerLine,
                       const U8* pData, const GUI_LOGPALETTE* pPal);
void GUI_DrawBitmapEx(const GUI_BITMAP* pBitmap, int x0, int y0, int xCenter, int yCenter, int xMag, int yMag);
int GUI_GetBitmapPixelIndex(const GUI_BITMAP* pBMP, unsigned x, unsigned y);
GUI_COLOR GUI_GetBitmapPixelColor(const GUI_BITMAP* pBMP, unsigned x, unsigned y);
void GUI__DrawBitmap16bpp(int x0, int y0, int xsize, int ysize, const U8* pPixel, const LCD_LOGPALETTE* pLogPal,
                          int xMag, int yMag, tLCD_Index2Color pfIndex2Color);
void GUI__memset(U8* p, U8 Fill, int NumBytes);
void GUI__memset16(U16* p, U16 Fill, int NumWords);

// Rotated text: the bitmap operation that takes the place of LCD_DrawBitmap, and the
// conversion of a text rectangle.
struct tLCD_APIList {
    void (*pfDrawBitmap)(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int BitsPerPixel,
                         int BytesPerLine, const U8* pPixel, const LCD_PIXELINDEX* pTrans);
    void (*pfRect2TextRect)(GUI_RECT* pRect);
};
extern const tLCD_APIList LCD_APIList180;
extern const tLCD_APIList LCD_APIListCW;
extern const tLCD_APIList LCD_APIListCCW;
// The rectangle of the string being displayed, as the rotated operations see it (defined beside them).
extern constinit thread_local GUI_RECT GUI_RectDispString;

// ---------------------------------------------------------------- image files (0 success, 1 failure)
int GUI_BMP_GetXSize(const void* pBMP);
int GUI_BMP_GetYSize(const void* pBMP);
int GUI_BMP_Draw(const void* pBMP, int x0, int y0);
// The same reading no more than NumBytes bytes: a truncated file fails before anything is drawn.
int GUI_BMP_DrawEx(const void* pBMP, int NumBytes, int x0, int y0);
using GUI_CALLBACK_VOID_U8_P = void(U8 Data, void* p);
void GUI_BMP_SerializeEx(GUI_CALLBACK_VOID_U8_P* pfSerialize, int x0, int y0, int xSize, int ySize, void* p);
void GUI_BMP_Serialize(GUI_CALLBACK_VOID_U8_P* pfSerialize, void* p);

struct GUI_GIF_INFO {
    int xSize;
    int ySize;
    int NumImages;
};
struct GUI_GIF_IMAGE_INFO {
    int xPos;
    int yPos;
    int xSize;
    int ySize;
    int Delay;
};
int GUI_GIF_GetXSize(const void* pGIF);
int GUI_GIF_GetYSize(const void* pGIF);
int GUI_GIF_GetInfo(const void* pGIF, U32 NumBytes, GUI_GIF_INFO* pInfo);
int GUI_GIF_GetImageInfo(const void* pGIF, U32 NumBytes, GUI_GIF_IMAGE_INFO* pInfo, int Index);
int GUI_GIF_GetComment(const void* pGIF, U32 NumBytes, U8* pBuffer, int MaxSize, int Index);
int GUI_GIF_DrawEx(const void* pGIF, U32 NumBytes, int x0, int y0, int Index);
int GUI_GIF_Draw(const void* pGIF, U32 NumBytes, int x0, int y0);

struct GUI_BITMAP_STREAM {
    U16 ID, Version, XSize, YSize, BytesPerLine, BitsPerPixel, NumColors, HasTrans;
};
void GUI_DrawStreamedBitmap(const void* p, int x, int y);
// The same reading no more than NumBytes bytes; 0 drawn, 1 refused.
int GUI_DrawStreamedBitmapEx(const void* p, int NumBytes, int x, int y);

// ---------------------------------------------------------------- memory allocator
using GUI_HMEM = I16;
constexpr int GUI_ALLOC_SIZE = 25600;
constexpr int GUI_MAXBLOCKS = 802;
struct GUI_ALLOC_STATS {
    int NumUsedBlocks, NumFreeBlocks, NumFreeBlocksMin;
    I16 NumUsedBytes, NumFreeBytes, NumFreeBytesMin;
};
extern GUI_ALLOC_STATS GUI_ALLOC;
void GUI_ALLOC_Init();
GUI_HMEM GUI_ALLOC_AllocNoInit(int Size);
GUI_HMEM GUI_ALLOC_AllocZero(int Size);
GUI_HMEM GUI_ALLOC_AllocInit(const void* pInitData, int Size);
GUI_HMEM GUI_ALLOC_Realloc(GUI_HMEM hOld, int NewSize);
void* GUI_ALLOC_h2p(GUI_HMEM hMem);
int GUI_ALLOC_GetSize(GUI_HMEM hMem);
void GUI_ALLOC_Free(GUI_HMEM hMem);
void GUI_ALLOC_FreePtr(GUI_HMEM* ph);
void GUI_ALLOC_FreePtrArray(GUI_HMEM* pArray, int NumElems);
void GUI_ALLOC_Lock();
void GUI_ALLOC_Unlock();
int GUI_ALLOC_GetNumFreeBytes();
int GUI_ALLOC_GetNumFreeBlocks();
int GUI_ALLOC_GetNumUsedBytes();
int GUI_ALLOC_GetNumUsedBlocks();
int GUI_ALLOC_GetMaxSize();

// ---------------------------------------------------------------- input devices
struct GUI_PID_STATE {
    int x, y;
    U8 Pressed;
};
void GUI_PID_StoreState(const GUI_PID_STATE* pState);
int GUI_PID_GetState(GUI_PID_STATE* pState);
void GUI_MOUSE_StoreState(const GUI_PID_STATE* pState);
int GUI_MOUSE_GetState(GUI_PID_STATE* pState);
void GUI_MOUSE_DRIVER_PS2_Init();
void GUI_MOUSE_DRIVER_PS2_OnRx(unsigned char Data);
void GUI_TOUCH_StoreState(int x, int y);
void GUI_TOUCH_StoreStateEx(const GUI_PID_STATE* pState);
int GUI_TOUCH_GetState(GUI_PID_STATE* pState);
void GUI_TOUCH_StoreUnstable(int x, int y);
void GUI_TOUCH_GetUnstable(int* px, int* py);
void GUI_TOUCH_DriverAnalog_C();
struct GUI_KEY_MSG {
    int Key;
    int PressedCnt;
};
using GUI_KEY_MSG_HOOK = int(const GUI_KEY_MSG* pMsg);
void GUI_StoreKey(int Key);
void GUI_StoreKeyMsg(int Key, int PressedCnt);
void GUI_SendKeyMsg(int Key, int PressedCnt);
int GUI_GetKey();
void GUI_ClearKeyBuffer();
GUI_KEY_MSG_HOOK* GUI_SetKeyMsgHook(GUI_KEY_MSG_HOOK* pHook);
int GUI__GetCursorCharacter(const char* s, int Index, int MaxNumChars, int* pIsRTL);
int GUI__GetCursorPosX(const char* s, int Index, int MaxNumChars);
int GUI__GetCursorPosChar(const char* s, int x, int MaxNumChars);
void GUITASK_Init();
void GUITASK_StoreDefaultContext();
void GUICurs_C();

// ---------------------------------------------------------------- timers and time
using GUI_TIMER_HANDLE = GUI_HMEM;
using GUI_TIMER_TIME = int;
struct GUI_TIMER_MESSAGE {
    GUI_TIMER_TIME Time;
    unsigned long Context;
};
using GUI_TIMER_CALLBACK = void(GUI_TIMER_MESSAGE* pTM);
using GUI_tfTimer = int();
extern GUI_tfTimer* GUI_pfTimerExec;
GUI_TIMER_HANDLE GUI_TIMER_Create(GUI_TIMER_CALLBACK* cb, int Time, unsigned long Context, int Flags);
void GUI_TIMER_Delete(GUI_TIMER_HANDLE hObj);
void GUI_TIMER_SetTime(GUI_TIMER_HANDLE hObj, int Time);
void GUI_TIMER_SetDelay(GUI_TIMER_HANDLE hObj, int Delay);
void GUI_TIMER_SetPeriod(GUI_TIMER_HANDLE hObj, int Period);
void GUI_TIMER_Restart(GUI_TIMER_HANDLE hObj);
int GUI_TIMER_Exec();
int GUI_Exec1();
int GUI_Exec();
int GUI_GetTime();
void GUI_Delay(int Period);
void GUI_WaitEvent();
int GUI_WaitKey();
// Operating-system hooks for time: the board's clock.
void GUI_X_Delay(int ms);
int GUI_X_GetTime();
// ================================================================ end of the bitmap / allocator / input block
