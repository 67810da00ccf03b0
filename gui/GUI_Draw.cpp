// Drawing primitives: pixels, lines of any direction, style and width,
// rectangles, graphs, the pen settings and the fixed-point sine.
#include <algorithm>
#include <cstdlib>

#include "gui/GUI.h"
#include "gui/GUI_Polygon.h"

namespace {

// sin(k x 90/16 degrees) x 1024.
constexpr U16 aSin[17] = {0, 100, 200, 297, 392, 483, 569, 650, 724, 792, 851, 903, 946, 980, 1004, 1019, 1024};
// atan(k/16) in 1/4096 of a turn.
constexpr I16 aTan[17] = {0, 41, 81, 121, 160, 197, 234, 269, 302, 334, 364, 393, 419, 445, 469, 491, 512};

inline void hline(int x0, int y, int x1) { GUI_Context.pLCD_HL->pfDrawHLine(x0, y, x1); }
inline void pixel(int x, int y) { GUI_Context.pLCD_HL->pfDrawPixel(x, y); }

// Whether the pixel numbered c of a styled line is drawn.
bool style_lets_through(int style, int c) {
    switch (style) {
        case GUI_LS_DASH: {
            const int m = (c + 6) % 16;
            return m >= 12;
        }
        case GUI_LS_DOT: {
            const int m = c % 4;
            return m == 2 || m == 3;
        }
        case GUI_LS_DASHDOT: {
            const int m = c % 20;
            return (m >= 12 && m <= 15) || m == 18 || m == 19;
        }
        case GUI_LS_DASHDOTDOT: {
            const int m = c % 24;
            return (m >= 12 && m <= 15) || m == 18 || m == 19 || m == 22 || m == 23;
        }
        default:
            return true;
    }
}

// Angle of (dx, dy) pointing from the end back to the start, in 1/4096 of a turn.
int line_angle(int x0, int y0, int x1, int y1) {
    const int ax = std::abs(x1 - x0), ay = std::abs(y1 - y0);
    const int major = std::max(ax, ay), minor = std::min(ax, ay);
    const int q = static_cast<int>((static_cast<long long>(minor) * 1024 + major / 2) / major);
    const int i = q >> 6, f = (q >> 2) & 15;
    // At 45 degrees q is 1024: the last entry, with nothing to interpolate beyond it.
    const int t = i >= 16 ? aTan[16] : ((16 - f) * aTan[i] + f * aTan[i + 1] + 8) >> 4;
    int a = ay > ax ? 1024 - t : t;
    if (x1 > x0) a = 2048 - a;
    if (y1 > y0) a = 4096 - a;
    return a;
}

int round_div1024(int v) { return v >= 0 ? (v + 512) / 1024 : -((-v + 512) / 1024); }
int floor_half(int v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

}  // namespace

void GUI__DrawLineWide(int x0, int y0, int x1, int y1, int PenSize) {
    if (x0 == x1 && y0 == y1) return;
    const int a = line_angle(x0, y0, x1, y1);
    const int p = PenSize - 1;
    const int ox = round_div1024(p * GUI_sin(a + 2048));
    const int oy = round_div1024(p * GUI_sin(a + 1024));
    const int ox2 = floor_half(ox), ox1 = ox - ox2;
    const int oy2 = floor_half(oy), oy1 = oy - oy2;
    auto c16 = [](int v) { return static_cast<I16>(std::clamp(v, -32768, 32767)); };
    const GUI_POINT quad[4] = {{c16(x0 + ox1), c16(y0 + oy1)},
                               {c16(x0 - ox2), c16(y0 - oy2)},
                               {c16(x1 - ox2), c16(y1 - oy2)},
                               {c16(x1 + ox1), c16(y1 + oy1)}};
    GL_FillPolygon(quad, 4, 0, 0);
}

// ---------------------------------------------------------------- pixels and straight lines

void GUI_DrawPixel(int x, int y) { pixel(x, y); }
void GL_DrawPoint(int x, int y) {
    if (GUI_Context.PenSize == 1)
        pixel(x, y);
    else
        GL_FillCircle(x, y, (GUI_Context.PenSize - 1) / 2);
}
void GUI_DrawPoint(int x, int y) { GL_DrawPoint(x, y); }
void GUI_DrawHLine(int y0, int x0, int x1) { hline(x0, y0, x1); }
void GUI_DrawVLine(int x0, int y0, int y1) { LCD_DrawVLine(x0, y0, y1); }

void LCD_DrawVLine(int x, int y0, int y1) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    if (x < c.x0 || x > c.x1) return;
    y0 = std::max(y0, static_cast<int>(c.y0));
    y1 = std::min(y1, static_cast<int>(c.y1));
    if (y1 < y0) return;
    LCD_L0_DrawVLine(x, y0, y1);
}
void LCD_SetPixelIndex(int x, int y, int ColorIndex) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) return;
    LCD_L0_SetPixelIndex(x, y, static_cast<LCD_PIXELINDEX>(ColorIndex));
}

void GL_DrawLine1Ex(int x0, int y0, int x1, int y1, unsigned* pPixelCnt) {
    if (x0 == x1 && y0 == y1) {
        GL_DrawPoint(x0, y0);
        return;
    }
    const bool xmain = std::abs(x1 - x0) >= std::abs(y1 - y0);
    int m0 = xmain ? x0 : y0, n0 = xmain ? y0 : x0;
    int m1 = xmain ? x1 : y1, n1 = xmain ? y1 : x1;
    int dir = 1;
    if (m1 < m0) {
        std::swap(m0, m1);
        std::swap(n0, n1);
        dir = -1;
    }
    const int style = GUI_Context.LineStyle;
    if (n0 == n1 && style == GUI_LS_SOLID) {
        if (xmain)
            hline(m0, n0, m1);
        else
            LCD_DrawVLine(n0, m0, m1);
        return;
    }
    const long long d = m1 - m0, e = n1 - n0;
    long long acc = d / 2;
    if (e < 0) acc = -acc;
    unsigned unused = 0;
    unsigned& cnt = pPixelCnt ? *pPixelCnt : unused;
    int c = static_cast<int>(cnt);
    if (dir < 0) c += static_cast<int>(d);
    for (long long i = 0; i <= d; ++i) {
        const int m = m0 + static_cast<int>(i);
        const int n = n0 + static_cast<int>(acc / d);
        acc += e;
        if (style != GUI_LS_SOLID) {
            c += dir;
            if (!style_lets_through(style, c)) continue;
        }
        if (xmain)
            pixel(m, n);
        else
            pixel(n, m);
    }
    if (style != GUI_LS_SOLID) {
        if (dir < 0) c += static_cast<int>(d);
        c -= dir;
        cnt = static_cast<unsigned>(c);
    }
}
void GL_DrawLine1(int x0, int y0, int x1, int y1) {
    unsigned cnt = 0;
    GL_DrawLine1Ex(x0, y0, x1, y1, &cnt);
}

void GL_DrawLineEx(int x0, int y0, int x1, int y1, unsigned* pPixelCnt) {
    if (GUI_Context.PenSize == 1)
        GL_DrawLine1Ex(x0, y0, x1, y1, pPixelCnt);
    else if (x0 != x1 || y0 != y1) {
        GUI__DrawLineWide(x0, y0, x1, y1, GUI_Context.PenSize);
        if (GUI_Context.PenShape == GUI_PS_ROUND) {
            GL_DrawPoint(x0, y0);
            GL_DrawPoint(x1, y1);
        }
    }
}
void GL_DrawLine(int x0, int y0, int x1, int y1) {
    unsigned cnt = 0;
    GL_DrawLineEx(x0, y0, x1, y1, &cnt);
}
void GUI_DrawLine(int x0, int y0, int x1, int y1) { GL_DrawLine(x0, y0, x1, y1); }

void GL_MoveTo(int x, int y) {
    GUI_Context.DrawPosX = static_cast<I16>(x);
    GUI_Context.DrawPosY = static_cast<I16>(y);
}
void GUI_MoveTo(int x, int y) { GL_MoveTo(x, y); }
void GUI_MoveRel(int dx, int dy) { GL_MoveTo(GUI_Context.DrawPosX + dx, GUI_Context.DrawPosY + dy); }
void GL_DrawLineToEx(int x, int y, unsigned* pPixelCnt) {
    GL_DrawLineEx(GUI_Context.DrawPosX, GUI_Context.DrawPosY, x, y, pPixelCnt);
    GL_MoveTo(x, y);
}
void GL_DrawLineTo(int x, int y) {
    unsigned cnt = 0;
    GL_DrawLineToEx(x, y, &cnt);
}
void GUI_DrawLineTo(int x, int y) { GL_DrawLineTo(x, y); }
void GUI_DrawLineRel(int dx, int dy) {
    GL_DrawLine(GUI_Context.DrawPosX, GUI_Context.DrawPosY, GUI_Context.DrawPosX + dx, GUI_Context.DrawPosY + dy);
    GUI_MoveRel(dx, dy);
}

// ---------------------------------------------------------------- rectangles

void GUI_DrawRect(int x0, int y0, int x1, int y1) {
    LCD_DrawHLine(x0, y0, x1);
    LCD_DrawHLine(x0, y1, x1);
    LCD_DrawVLine(x0, y0 + 1, y1 - 1);
    LCD_DrawVLine(x1, y0 + 1, y1 - 1);
}
void GUI_DrawRectEx(const GUI_RECT* pRect) {
    if (pRect) GUI_DrawRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}
void GUI_FillRect(int x0, int y0, int x1, int y1) { LCD_FillRect(x0, y0, x1, y1); }
void GUI_FillRectEx(const GUI_RECT* pRect) {
    if (pRect) GUI_FillRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}
void GUI_ClearRectEx(const GUI_RECT* pRect) {
    if (pRect) GUI_ClearRect(pRect->x0, pRect->y0, pRect->x1, pRect->y1);
}
void GUI_InvertRect(int x0, int y0, int x1, int y1) {
    const int old = LCD_SetDrawMode(GUI_DRAWMODE_XOR);
    LCD_FillRect(x0, y0, x1, y1);
    LCD_SetDrawMode(old);
}
void GUI_DrawFocusRect(const GUI_RECT* pRect, int Dist) {
    if (!pRect) return;
    GUI_RECT r;
    GUI__ReduceRect(&r, pRect, Dist);
    for (int x = r.x0; x <= r.x1; x += 2) {
        LCD_DrawPixel(x, r.y0);
        LCD_DrawPixel(x, r.y1);
    }
    for (int y = r.y0; y <= r.y1; y += 2) {
        LCD_DrawPixel(r.x0, y);
        LCD_DrawPixel(r.x1, y);
    }
}
void GUI_MoveRect(GUI_RECT* pRect, int dx, int dy) {
    if (!pRect) return;
    pRect->x0 = static_cast<I16>(pRect->x0 + dx);
    pRect->x1 = static_cast<I16>(pRect->x1 + dx);
    pRect->y0 = static_cast<I16>(pRect->y0 + dy);
    pRect->y1 = static_cast<I16>(pRect->y1 + dy);
}

// ---------------------------------------------------------------- settings and the sine

int GUI_sin(int angle) {
    int a = angle % 4096;
    if (a < 0) a += 4096;
    const bool negative = a > 2048;
    if (negative) a -= 2048;
    if (a > 1024) a = 2048 - a;
    const int i = a >> 6, f = a & 63;
    int v = (64 - f) * aSin[i];
    if (f) v += f * aSin[i + 1];
    v = (v + 32) >> 6;
    return negative ? -v : v;
}
int GUI_cos(int angle) { return GUI_sin(angle + 1024); }

U8 GUI_SetPenSize(U8 PenSize) {
    const U8 old = GUI_Context.PenSize;
    GUI_Context.PenSize = PenSize;
    return old;
}
U8 GUI_SetPenShape(U8 PenShape) {
    const U8 old = GUI_Context.PenShape;
    GUI_Context.PenShape = PenShape;
    return old;
}
U8 GUI_SetLineStyle(U8 LineStyle) {
    const U8 old = GUI_Context.LineStyle;
    GUI_Context.LineStyle = LineStyle;
    return old;
}
U8 GUI_GetPenSize() { return GUI_Context.PenSize; }
U8 GUI_GetPenShape() { return GUI_Context.PenShape; }
U8 GUI_GetLineStyle() { return GUI_Context.LineStyle; }
int GUI_GetDrawMode() { return GUI_Context.DrawMode; }
int GUI_SetDrawMode(int mode) { return LCD_SetDrawMode(mode); }

// ---------------------------------------------------------------- graphs

namespace {
// Neighbouring samples ya at column x and yb at x + 1, joined by two vertical lines that meet half way.
void draw_pair(int x, int ya, int yb) {
    const GUI_RECT* clip = GUI_Context.pClipRect_HL;
    if (clip && ((ya < clip->y0 && yb < clip->y0) || (ya > clip->y1 && yb > clip->y1))) return;
    const int m = (ya + yb) / 2;
    if (ya > yb) {
        LCD_DrawVLine(x, m, ya);
        LCD_DrawVLine(x + 1, yb, m);
    } else {
        LCD_DrawVLine(x, ya, m);
        LCD_DrawVLine(x + 1, m, yb);
    }
}

template <class Y>
void graph(const I16* pay, int NumPoints, int x0, Y y_of) {
    const GUI_RECT* clip = GUI_Context.pClipRect_HL;
    int first = 0;
    if (clip) {
        first = std::max(0, clip->x0 - x0);
        NumPoints = std::min(NumPoints, clip->x1 - x0 + 1);
    }
    for (int i = first; i + 1 < NumPoints; ++i) draw_pair(x0 + i, y_of(pay[i]), y_of(pay[i + 1]));
}
}  // namespace

void GUI_DrawGraph(I16* pay, int NumPoints, int x0, int y0) {
    if (!pay) return;
    graph(pay, NumPoints, x0, [y0](int v) { return y0 + v; });
}

void GUI_DrawGraphEx(I16* pay, int NumPoints, int x0, int y0, int Numerator, unsigned Denominator) {
    if (!pay || Numerator == 0 || Denominator == 0 || NumPoints < 1) return;
    graph(pay, NumPoints, x0, [=](int v) -> int {
        const U32 plus = static_cast<U32>(y0 + v), minus = static_cast<U32>(y0 - v);
        if (Numerator == 1) return Denominator == 1 ? y0 + v : static_cast<int>(plus / Denominator);
        if (Numerator == -1) return Denominator == 1 ? y0 - v : static_cast<int>(minus / Denominator);
        const U32 scaled = static_cast<U32>(Numerator) * plus;
        return static_cast<int>(Denominator == 1 ? scaled : scaled / Denominator);
    });
}
