// Circles, ellipses, arcs and pies.
#include <algorithm>
#include <cmath>

#include "gui/GUI.h"
#include "gui/GUI_Polygon.h"

namespace {

inline void hline(int x0, int y, int x1) { GUI_Context.pLCD_HL->pfDrawHLine(x0, y, x1); }
inline void pixel(int x, int y) { GUI_Context.pLCD_HL->pfDrawPixel(x, y); }

void eight_points(int x0, int y0, int a, int b) {
    pixel(x0 + a, y0 + b);
    pixel(x0 - a, y0 + b);
    pixel(x0 + b, y0 + a);
    pixel(x0 + b, y0 - a);
    if (b) {
        pixel(x0 + a, y0 - b);
        pixel(x0 - a, y0 - b);
        pixel(x0 - b, y0 + a);
        pixel(x0 - b, y0 - a);
    }
}

// Half-width of an ellipse's row y, the largest x <= xprev inside the limit; 64 bits
// because rx² x ry² passes 32 bits from radii of about 216.
int ellipse_row(long long y, int xprev, long long rx2, long long ry2, long long limit) {
    int x = xprev;
    while (x >= 1 && y * y * rx2 + static_cast<long long>(x) * x * ry2 > limit) --x;
    return x;
}

// One quarter of a ring sector (angles 0..90 in degrees) in quarter coordinates.
void draw_arc_quarter(int x0, int y0, int r, int pen, float Angle0, float Angle1, int xMul, int yMul) {
    const float half = (static_cast<float>(pen) + 1.5f) * 0.5f;
    // A pen wider than the diameter leaves no hole rather than a negative inner radius.
    const float ri = std::max(0.0f, static_cast<float>(r) - half), ro = static_cast<float>(r) + half;
    const long long ri2 = static_cast<long long>(ri * ri);
    const long long ro2 = static_cast<long long>(ro * ro);
    const float k = 3.1415926f / 180.0f;
    const float s0 = std::sin(Angle0 * k), c0 = std::cos(Angle0 * k);
    const float s1 = std::sin(Angle1 * k), c1 = std::cos(Angle1 * k);
    const float xi0 = ri * c0, yi0 = ri * s0, xo0 = ro * c0, yo0 = ro * s0;
    const float xi1 = ri * c1, yi1 = ri * s1, xo1 = ro * c1, yo1 = ro * s1;
    const int yMax = static_cast<int>(std::floor(yo1));
    const int yMin = static_cast<int>(std::ceil(yi0));
    const GUI_RECT* clip = GUI_Context.pClipRect_HL;
    // x on the line through a ray's two end points at height y, truncated toward zero.
    auto ray_x = [](float xa, float ya, float xb, float yb, int y) {
        if (yb == ya) return static_cast<int>(xa);
        return static_cast<int>(xa + (static_cast<float>(y) - ya) * (xb - xa) / (yb - ya));
    };
    long long xo = 0, xi = 0;
    for (int y = yMax; y >= yMin; --y) {
        const long long y2 = static_cast<long long>(y) * y;
        if (y2 >= ro2)
            xo = std::max(xo, 0LL);
        else
            while ((xo + 1) * (xo + 1) < ro2 - y2) ++xo;
        if (y2 < ri2)
            while ((xi + 1) * (xi + 1) < ri2 - y2) ++xi;
        const int sy = y0 + yMul * y;
        if (clip && (sy < clip->y0 || sy > clip->y1)) continue;
        int right = static_cast<int>(xo), left = y2 >= ri2 ? 0 : static_cast<int>(xi);
        if (static_cast<float>(y) < yo0) right = ray_x(xi0, yi0, xo0, yo0, y);
        if (static_cast<float>(y) > yi1) left = ray_x(xi1, yi1, xo1, yo1, y);
        if (xMul == 1)
            hline(x0 + left, sy, x0 + right);
        else
            hline(x0 - right, sy, x0 - left);
    }
}

}  // namespace

void GL_DrawCircle(int x0, int y0, int r) {
    const long long sqmax = static_cast<long long>(r) * r + r / 2;
    const int imax = static_cast<int>(static_cast<long long>(r) * 707 / 1000) + 1;
    eight_points(x0, y0, r, 0);
    long long y = r;
    for (int i = 1; i <= imax; ++i) {
        if (static_cast<long long>(i) * i + y * y > sqmax) {
            eight_points(x0, y0, i, static_cast<int>(y));
            --y;
        }
        eight_points(x0, y0, i, static_cast<int>(y));
    }
}
void GUI_DrawCircle(int x0, int y0, int r) { GL_DrawCircle(x0, y0, r); }

void GL_FillCircle(int x0, int y0, int r) {
    const long long sqmax = static_cast<long long>(r) * r + r / 2;
    const int imax = static_cast<int>(static_cast<long long>(r) * 707 / 1000) + 1;
    hline(x0 - r, y0, x0 + r);
    long long x = r;
    for (int i = 1; i <= imax; ++i) {
        if (static_cast<long long>(i) * i + x * x > sqmax) {
            if (imax < x) {
                hline(x0 - (i - 1), y0 + static_cast<int>(x), x0 + (i - 1));
                hline(x0 - (i - 1), y0 - static_cast<int>(x), x0 + (i - 1));
            }
            --x;
        }
        hline(x0 - static_cast<int>(x), y0 + i, x0 + static_cast<int>(x));
        hline(x0 - static_cast<int>(x), y0 - i, x0 + static_cast<int>(x));
    }
}
void GUI_FillCircle(int x0, int y0, int r) { GL_FillCircle(x0, y0, r); }

void GL_FillEllipse(int x0, int y0, int rx, int ry) {
    if (ry < 0) return;
    const long long rx2 = static_cast<long long>(rx) * rx, ry2 = static_cast<long long>(ry) * ry;
    const long long limit = rx2 * ry2 + rx2 * ry / 2;
    int x = rx;
    for (int y = 0; y <= ry; ++y) {
        x = ellipse_row(y, x, rx2, ry2, limit);
        hline(x0 - x, y0 + y, x0 + x);
        if (y) hline(x0 - x, y0 - y, x0 + x);
    }
}
void GUI_FillEllipse(int x0, int y0, int rx, int ry) { GL_FillEllipse(x0, y0, rx, ry); }

void GL_DrawEllipse(int x0, int y0, int rx, int ry) {
    if (ry < 0) return;
    const long long rx2 = static_cast<long long>(rx) * rx, ry2 = static_cast<long long>(ry) * ry;
    const long long limit = rx2 * ry2 + rx2 * ry / 2;
    int xOld = rx;
    for (int y = 1; y <= ry; ++y) {
        const int x = y == ry ? 0 : ellipse_row(y, xOld, rx2, ry2, limit);
        GL_DrawLine1(x0 - xOld, y0 + y - 1, x0 - x, y0 + y);
        GL_DrawLine1(x0 + xOld, y0 + y - 1, x0 + x, y0 + y);
        GL_DrawLine1(x0 - xOld, y0 - (y - 1), x0 - x, y0 - y);
        GL_DrawLine1(x0 + xOld, y0 - (y - 1), x0 + x, y0 - y);
        xOld = x;
    }
}
void GUI_DrawEllipse(int x0, int y0, int rx, int ry) { GL_DrawEllipse(x0, y0, rx, ry); }

void GUI__DrawArc(int x0, int y0, int rx, int a0, int a1, int pen) {
    if (a0 < 0) {
        a0 += 360;
        a1 += 360;
    } else {
        while (a0 >= 360) {
            a0 -= 360;
            a1 -= 360;
        }
    }
    while (a1 > 0) {
        for (int k = 0; k < 4; ++k) {
            int b0 = a0 - 90 * k, b1 = a1 - 90 * k;
            if (b1 < 1) return;
            if (b0 >= 90) continue;
            b0 = std::max(b0, 0);
            b1 = std::min(b1, 90);
            const float f0 = static_cast<float>(b0), f1 = static_cast<float>(b1);
            switch (k) {
                case 0: draw_arc_quarter(x0, y0, rx, pen, f0, f1, 1, -1); break;
                case 1: draw_arc_quarter(x0, y0, rx, pen, 90 - f1, 90 - f0, -1, -1); break;
                case 2: draw_arc_quarter(x0, y0, rx, pen, f0, f1, -1, 1); break;
                default: draw_arc_quarter(x0, y0, rx, pen, 90 - f1, 90 - f0, 1, 1); break;
            }
        }
        a0 -= 360;
        a1 -= 360;
    }
}
// Arcs are circular: ry is not used.
void GL_DrawArc(int x0, int y0, int rx, int, int a0, int a1) { GUI__DrawArc(x0, y0, rx, a0, a1, GUI_Context.PenSize); }
void GUI_DrawArc(int x0, int y0, int rx, int ry, int a0, int a1) { GL_DrawArc(x0, y0, rx, ry, a0, a1); }

// A ring of width r around radius r/2: a filled sector. The pen is given directly,
// so radii above 255 are not cut to the one-byte pen size.
void GUI_DrawPie(int x0, int y0, int r, int a0, int a1, int /*Type: not read*/) {
    GUI__DrawArc(x0, y0, r / 2, a0, a1, r);
}
