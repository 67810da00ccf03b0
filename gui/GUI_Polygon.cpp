// Polygons: outlines, the scan-line fill and the transformations.
#include "gui/GUI_Polygon.h"

#include <cmath>

namespace {
I16 c16(long v) { return static_cast<I16>(std::clamp(v, -32768L, 32767L)); }

struct Points16 {
    const GUI_POINT* p;
    GUI__PolyPoint operator()(int i) const { return {p[i].x, p[i].y}; }
};
}  // namespace

void GUI__FillRow::add(int x) {
    if (cnt == 12) return;  // later crossings of a crowded row are dropped
    int i = cnt++;
    for (; i > 0 && aX[i - 1] > x; --i) aX[i] = aX[i - 1];
    aX[i] = x;
}

GUI__PolyPoint GUI__EnlargeVertex(GUI__PolyPoint prev, GUI__PolyPoint cur, GUI__PolyPoint next, int Len) {
    auto unit = [](double x, double y, double& ux, double& uy) {
        const double l = std::hypot(x, y);
        ux = l > 0 ? x / l : 0;
        uy = l > 0 ? y / l : 0;
    };
    double ix, iy, ox, oy;
    unit(cur.x - prev.x, cur.y - prev.y, ix, iy);
    unit(next.x - cur.x, next.y - cur.y, ox, oy);
    const double ax = (ix + ox) / 2, ay = (iy + oy) / 2, l2 = ax * ax + ay * ay;
    double dx, dy;
    if (l2 > 1e-9) {
        dx = Len * ay / l2;
        dy = Len * ax / l2;
    } else {
        // The outline turns back on itself here (or has no length): there is no corner to
        // bisect, so the tip is pushed on along the arriving edge.
        dx = Len * ix;
        dy = -Len * iy;
    }
    return {cur.x + static_cast<int>(std::lround(dx)), cur.y - static_cast<int>(std::lround(dy))};
}

void GL_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    if (!pPoints) return;
    GUI__FillPolygon(Points16{pPoints}, NumPoints, x0, y0);
}
void GUI_FillPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    GL_FillPolygon(pPoints, NumPoints, x0, y0);
}

void GL_DrawPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    if (!pPoints || NumPoints < 1) return;
    GL_MoveTo(pPoints[0].x + x0, pPoints[0].y + y0);
    for (int i = 1; i < NumPoints; ++i) GL_DrawLineTo(pPoints[i].x + x0, pPoints[i].y + y0);
    const GUI_POINT& last = pPoints[NumPoints - 1];
    if (last.x != pPoints[0].x || last.y != pPoints[0].y) GL_DrawLineTo(pPoints[0].x + x0, pPoints[0].y + y0);
}
void GUI_DrawPolygon(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    GL_DrawPolygon(pPoints, NumPoints, x0, y0);
}

void GUI_DrawPolyLine(const GUI_POINT* pPoints, int NumPoints, int x0, int y0) {
    if (!pPoints || NumPoints < 1) return;
    unsigned cnt = 0;  // one style counter, so a pattern runs on through the corners
    GL_MoveTo(pPoints[0].x + x0, pPoints[0].y + y0);
    for (int i = 1; i < NumPoints; ++i) GL_DrawLineToEx(pPoints[i].x + x0, pPoints[i].y + y0, &cnt);
}

void GUI_EnlargePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, int Len) {
    if (!pDest || !pSrc || NumPoints < 1) return;
    // The source may be the destination: keep the originals that later vertices still need.
    const GUI__PolyPoint first = {pSrc[0].x, pSrc[0].y};
    GUI__PolyPoint prev = {pSrc[NumPoints - 1].x, pSrc[NumPoints - 1].y};
    for (int j = 0; j < NumPoints; ++j) {
        const GUI__PolyPoint cur = {pSrc[j].x, pSrc[j].y};
        const GUI__PolyPoint next = j + 1 < NumPoints ? GUI__PolyPoint{pSrc[j + 1].x, pSrc[j + 1].y} : first;
        const GUI__PolyPoint moved = GUI__EnlargeVertex(prev, cur, next, Len);
        pDest[j] = {c16(moved.x), c16(moved.y)};
        prev = cur;
    }
}

void GUI_MagnifyPolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, int Mag) {
    if (!pDest || !pSrc) return;
    for (int i = 0; i < NumPoints; ++i)
        pDest[i] = {static_cast<I16>(pSrc[i].x * Mag), static_cast<I16>(pSrc[i].y * Mag)};
}

void GUI_RotatePolygon(GUI_POINT* pDest, const GUI_POINT* pSrc, int NumPoints, float Angle) {
    if (!pDest || !pSrc) return;
    const float c = std::cos(Angle), s = std::sin(Angle);
    for (int i = 0; i < NumPoints; ++i) {
        const float x = pSrc[i].x, y = pSrc[i].y;
        pDest[i] = {c16(static_cast<long>(x * c + y * s)), c16(static_cast<long>(-x * s + y * c))};
    }
}
