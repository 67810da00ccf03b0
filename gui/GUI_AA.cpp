// Anti-aliasing: shapes drawn at sub-pixel resolution into a line buffer that
// counts the covered sub-pixels of each pixel; the count becomes an intensity.
#include <algorithm>
#include <cstring>

#include "gui/GUI.h"
#include "gui/GUI_Polygon.h"

namespace {

constexpr int kNone = 16383;

// One buffer per thread, like the context it draws through.
thread_local U8 abAABuffer[GUI_AA_BUFFER_SIZE];
thread_local int _x0, _x1;
thread_local int _x0_InUse = kNone, _x1_InUse = -kNone, _y = -kNone;
thread_local const tLCD_HL_APIList* pLCD_HLPrev = nullptr;
thread_local tLCD_HL_APIList DrawAPICopy;

int factor() { return std::max(1, static_cast<int>(GUI_Context.AA_Factor)); }
int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
bool active() { return GUI_Context.pLCD_HL == &DrawAPICopy; }

void reset_row() {
    _x0_InUse = kNone;
    _x1_InUse = -kNone;
    _y = -kNone;
}

void flush_line() {
    if (_x0_InUse <= _x1_InUse) {
        const int f = factor(), full = f * f;
        for (int col = _x0_InUse; col <= _x1_InUse;) {
            const int c = abAABuffer[col - _x0];
            if (c == 0) {
                ++col;
            } else if (c >= full) {
                int end = col;
                while (end < _x1_InUse && abAABuffer[end + 1 - _x0] >= full) ++end;
                if (end > col)
                    pLCD_HLPrev->pfDrawHLine(col, _y, end);
                else
                    pLCD_HLPrev->pfDrawPixel(col, _y);
                col = end + 1;
            } else {
                LCD_SetPixelAA(col, _y, static_cast<U8>((c * 15 + full / 2) / full));
                ++col;
            }
        }
        std::memset(abAABuffer + (_x0_InUse - _x0), 0, static_cast<size_t>(_x1_InUse - _x0_InUse + 1));
    }
    reset_row();
}

// Overlapping spans (a circle's centre row, the seams of an arc's quarters) saturate.
void add(int col, int n) {
    U8& c = abAABuffer[col - _x0];
    c = static_cast<U8>(std::min(255, c + n));
}

void aa_hline(int x0, int y, int x1) {
    if (x1 < x0) return;
    const int f = factor();
    const int row = floor_div(y, f);
    if (row != _y) {
        flush_line();
        _y = row;
    }
    const int c0 = std::max(floor_div(x0, f), _x0), c1 = std::min(floor_div(x1, f), _x1);
    if (c0 <= c1) {
        _x0_InUse = std::min(_x0_InUse, c0);
        _x1_InUse = std::max(_x1_InUse, c1);
    }
    x0 = std::max(x0, _x0 * f);
    x1 = std::min(x1, (_x1 + 1) * f - 1);
    if (x0 > x1) return;
    const int a = x0 / f, b = x1 / f;
    if (a == b) {
        add(a, x1 - x0 + 1);
        return;
    }
    add(a, (a + 1) * f - x0);
    for (int c = a + 1; c < b; ++c) add(c, f);
    add(b, x1 + 1 - b * f);
}

int scaled(int v) { return GUI_Context.AA_HiResEnable ? v : v * factor(); }

// Filled circle in sub-pixels, row by row; the centre row is drawn twice.
void fill_circle_sub(int x0, int y0, int r) {
    if (r < 0 || GUI_AA_Init_HiRes(x0 - r, x0 + r)) return;
    const long long sqmax = static_cast<long long>(r) * r + r / 2;
    const GUI_RECT* clip = GUI_Context.pClipRect_HL;
    for (int pass = 0; pass < 2; ++pass) {
        long long x = r;
        for (int i = 0; i < r; ++i) {
            while (static_cast<long long>(i) * i + x * x > sqmax) --x;
            const int y = pass == 0 ? y0 - i : y0 + i;
            if (clip && (y < clip->y0 || y > clip->y1)) continue;
            GUI_Context.pLCD_HL->pfDrawHLine(x0 - static_cast<int>(x), y, x0 + static_cast<int>(x));
        }
    }
    GUI_AA_Exit();
}

// Fills the polygon pt(0..n-1), in the caller's coordinates (pixels or sub-pixels).
template <class Points>
void fill_polygon(const Points& pt, int n, int x0, int y0) {
    if (n < 1) return;
    int lo = pt(0).x, hi = lo;
    for (int i = 1; i < n; ++i) {
        lo = std::min(lo, pt(i).x);
        hi = std::max(hi, pt(i).x);
    }
    if (GUI_Context.AA_HiResEnable) {
        if (GUI_AA_Init_HiRes(lo + x0, hi + x0)) return;
        GUI__FillPolygon(pt, n, x0, y0);
    } else {
        if (GUI_AA_Init(lo + x0, hi + x0)) return;
        const int f = factor();
        // Scaled as read: the caller's points stay as they are.
        auto sub = [&pt, f](int i) {
            const GUI__PolyPoint p = pt(i);
            return GUI__PolyPoint{p.x * f, p.y * f};
        };
        GUI__FillPolygon(sub, n, x0 * f, y0 * f);
    }
    GUI_AA_Exit();
}

struct Points16 {
    const GUI_POINT* p;
    GUI__PolyPoint operator()(int i) const { return {p[i].x, p[i].y}; }
};

}  // namespace

// ---------------------------------------------------------------- buffer

void GUI_AA_EnableHiRes() { GUI_Context.AA_HiResEnable = 1; }
void GUI_AA_DisableHiRes() { GUI_Context.AA_HiResEnable = 0; }
int GUI_AA_HiRes2Pixel(int HiRes) { return GUI_Context.AA_Factor ? HiRes / GUI_Context.AA_Factor : HiRes; }

int GUI_AA_Init(int x0, int x1) {
    if (x0 < 0) x0 = 0;
    if (x1 - x0 >= GUI_AA_BUFFER_SIZE) x1 = x0 + GUI_AA_BUFFER_SIZE - 1;
    if (x1 < x0) return 1;  // before anything is touched, so the caller just stops
    if (active()) flush_line();
    else pLCD_HLPrev = GUI_Context.pLCD_HL;
    DrawAPICopy = *pLCD_HLPrev;
    DrawAPICopy.pfDrawHLine = aa_hline;
    GUI_Context.pLCD_HL = &DrawAPICopy;
    _x0 = x0;
    _x1 = x1;
    std::memset(abAABuffer, 0, static_cast<size_t>(x1 - x0 + 1));
    GUI_AA_SetFactor(GUI_Context.AA_Factor);
    GUI_Context.pClipRect_HL = &ClipRect_HL;
    reset_row();
    return 0;
}
int GUI_AA_Init_HiRes(int x0, int x1) {
    const int f = factor();
    return GUI_AA_Init(floor_div(x0, f), floor_div(x1, f));
}

void GUI_AA_Exit() {
    if (!active()) return;
    flush_line();
    GUI_Context.pClipRect_HL = &GUI_Context.ClipRect;
    GUI_Context.pLCD_HL = pLCD_HLPrev;
}

// ---------------------------------------------------------------- pixels

LCD_COLOR LCD_AA_MixColors(LCD_COLOR Color, LCD_COLOR BkColor, U8 Intens) {
    const unsigned i = std::min<unsigned>(Intens, 15);
    LCD_COLOR r = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const unsigned c = (Color >> shift) & 0xFF, b = (BkColor >> shift) & 0xFF;
        r |= ((c * i + b * (15 - i)) / 15) << shift;
    }
    return r;
}

namespace {
bool in_clip(int x, int y) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    return x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
}
}  // namespace

void LCD_SetPixelAA(int x, int y, U8 Intens) {
    if (Intens == 0 || !in_clip(x, y)) return;
    const U32 fg = GUI_Context.LCD.aColorIndex32[1];
    if (Intens >= 15) {
        LCD_L0_SetPixelIndex(x, y, fg);
        return;
    }
    const LCD_COLOR mixed = LCD_AA_MixColors(LCD_Index2Color(static_cast<int>(fg)), LCD_GetPixelColor(x, y), Intens);
    LCD_L0_SetPixelIndex(x, y, LCD_Color2Index(mixed));
}

void LCD_SetPixelAA_NoTrans(int x, int y, U8 Intens) {
    if (!in_clip(x, y)) return;
    const U32 fg = GUI_Context.LCD.aColorIndex32[1], bg = GUI_Context.LCD.aColorIndex32[0];
    if (Intens == 0) {
        LCD_L0_SetPixelIndex(x, y, bg);
    } else if (Intens >= 15) {
        LCD_L0_SetPixelIndex(x, y, fg);
    } else {
        const LCD_COLOR mixed = LCD_AA_MixColors(LCD_Index2Color(static_cast<int>(fg)),
                                                 LCD_Index2Color(static_cast<int>(bg)), Intens);
        LCD_L0_SetPixelIndex(x, y, LCD_Color2Index(mixed));
    }
}

// ---------------------------------------------------------------- shapes

void GUI_AA_DrawLine(int x0, int y0, int x1, int y1) {
    const int f = factor(), pen = GUI_Context.PenSize, subpen = pen * f;
    const int lo = std::min(x0, x1), hi = std::max(x0, x1);
    const int fail = GUI_Context.AA_HiResEnable ? GUI_AA_Init_HiRes(lo - subpen, hi + subpen)
                                                : GUI_AA_Init(lo - pen, hi + pen);
    if (fail) return;
    GUI__DrawLineWide(scaled(x0), scaled(y0), scaled(x1), scaled(y1), subpen);
    GUI_AA_Exit();
    if (GUI_Context.PenShape == GUI_PS_ROUND) {
        fill_circle_sub(scaled(x0), scaled(y0), subpen / 2);
        fill_circle_sub(scaled(x1), scaled(y1), subpen / 2);
    }
}

void GUI_AA_DrawArc(int x0, int y0, int rx, int /*ry: arcs are circular*/, int a0, int a1) {
    const int subpen = GUI_Context.PenSize * factor();
    if (GUI_AA_Init_HiRes(scaled(x0 - rx) - subpen, scaled(x0 + rx) + subpen)) return;
    GUI__DrawArc(scaled(x0), scaled(y0), scaled(rx), a0, a1, subpen);
    GUI_AA_Exit();
}

void GUI_AA_FillCircle(int x0, int y0, int r) { fill_circle_sub(scaled(x0), scaled(y0), scaled(r)); }

void GUI_AA_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    if (!pPoints) return;
    fill_polygon(Points16{pPoints}, NumPoints, x0, y0);
}

void GUI_AA_DrawPolyOutline(const GUI_POINT* pSrc, int NumPoints, int Thickness, int x, int y) {
    if (!pSrc || NumPoints < 1) return;
    // The enlarged outline is computed vertex by vertex as the fill reads it: no work
    // array, so any number of points.
    auto enlarged = [pSrc, NumPoints, Thickness](int j) {
        const Points16 p{pSrc};
        return GUI__EnlargeVertex(p((j + NumPoints - 1) % NumPoints), p(j), p((j + 1) % NumPoints), Thickness);
    };
    fill_polygon(enlarged, NumPoints, x, y);
    const int old = LCD_SetDrawMode(GUI_DRAWMODE_REV);
    fill_polygon(Points16{pSrc}, NumPoints, x, y);
    LCD_SetDrawMode(old);
}
