// Internal: the scan-line polygon fill over any source of points, shared by the
// plain and the anti-aliased fills, and the enlarging of one vertex.
#pragma once

#include <algorithm>

#include "gui/GUI.h"

struct GUI__PolyPoint {
    int x, y;
};

// The vertex cur moved outwards by Len, from its neighbours.
GUI__PolyPoint GUI__EnlargeVertex(GUI__PolyPoint prev, GUI__PolyPoint cur, GUI__PolyPoint next, int Len);

// Intersections of one scan line: the first 12 found, kept sorted.
struct GUI__FillRow {
    int cnt = 0;
    int aX[12];
    void add(int x);
};

// Even-odd scan-line fill; pt(i) gives point i (0 <= i < n). Every span goes to pfDrawHLine.
template <class Points>
void GUI__FillPolygon(const Points& pt, int n, int xOff, int yOff) {
    if (n < 1) return;
    int yMin = 4095, yMax = -4095;
    for (int i = 0; i < n; ++i) {
        yMin = std::min(yMin, pt(i).y);
        yMax = std::max(yMax, pt(i).y);
    }
    if (const GUI_RECT* clip = GUI_Context.pClipRect_HL) {
        // The clip bounds the rows; a fixed range of +-4095 would cut sub-pixel rows
        // (480 rows are 7200 sub-pixel rows at the factor 15).
        yMin = std::max(yMin, clip->y0 - yOff);
        yMax = std::min(yMax, clip->y1 - yOff);
    } else {
        yMin = std::max(yMin, -4095);
        yMax = std::min(yMax, 4095);
    }
    const auto hline = GUI_Context.pLCD_HL->pfDrawHLine;
    for (int y = yMin; y <= yMax; ++y) {
        GUI__FillRow row;
        for (int i = 0; i < n; ++i) {
            const GUI__PolyPoint a = pt(i), b = pt(i + 1 < n ? i + 1 : 0);
            if (a.y == y && b.y == y) {
                hline(std::min(a.x, b.x) + xOff, y + yOff, std::max(a.x, b.x) + xOff);
            } else if (a.y == y) {
                int k = 1;
                while (k < n && pt((i - k + n) % n).y == y) ++k;
                if (k == n) continue;
                const int py = pt((i - k + n) % n).y;
                if ((py < y) != (b.y < y))
                    row.add(a.x);
                else
                    hline(a.x + xOff, y + yOff, a.x + xOff);  // a peak or a valley
            } else if (b.y != y && (a.y < y) != (b.y < y)) {
                const GUI__PolyPoint& lo = a.y < b.y ? a : b;
                const GUI__PolyPoint& hi = a.y < b.y ? b : a;
                // Nearest pixel, halves up; 64 bits so no product of coordinates overflows.
                const long long num = 2LL * (y - lo.y) * (hi.x - lo.x) + (hi.y - lo.y);
                const long long den = 2LL * (hi.y - lo.y);
                const long long q = num >= 0 ? num / den : -((-num + den - 1) / den);
                row.add(lo.x + static_cast<int>(q));
            }
        }
        for (int k = 0; k + 1 < row.cnt; k += 2) hline(row.aX[k] + xOff, y + yOff, row.aX[k + 1] + xOff);
    }
}

// Steps shared with the anti-aliasing, which draws at sub-pixel resolution with pens
// wider than the context's one-byte pen size.
void GUI__DrawLineWide(int x0, int y0, int x1, int y1, int PenSize);
void GUI__DrawArc(int x0, int y0, int r, int a0, int a1, int PenSize);
