// Drawing primitives against closed forms: the pixel sets of lines, circles,
// ellipses, arcs and polygon fills, and the edge cases of each.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "gui/GUI.h"
#include "tests/gui/surfaces.h"

namespace {

using Px = std::pair<int, int>;
using PxSet = std::set<Px>;

PxSet lit(const Surfaces& s) {
    PxSet out;
    for (int y = 0; y < TABLE_H; ++y)
        for (int x = 0; x < TABLE_W; ++x)
            if (s.px(x, y)) out.insert({x, y});
    return out;
}

// Rounded to the nearest whole number, halves away from zero.
int round_away(double v) { return v >= 0 ? static_cast<int>(std::floor(v + 0.5)) : -static_cast<int>(std::floor(-v + 0.5)); }

// The pixels of the exact line: one per step along the longer axis, the other
// coordinate the nearest to the line.
PxSet closed_line(int x0, int y0, int x1, int y1) {
    PxSet out;
    const bool xmain = std::abs(x1 - x0) >= std::abs(y1 - y0);
    if (xmain && x1 < x0) std::swap(x0, x1), std::swap(y0, y1);
    if (!xmain && y1 < y0) std::swap(x0, x1), std::swap(y0, y1);
    const int d = xmain ? x1 - x0 : y1 - y0, e = xmain ? y1 - y0 : x1 - x0;
    for (int i = 0; i <= d; ++i) {
        const int n = round_away(d ? static_cast<double>(i) * e / d : 0);
        out.insert(xmain ? Px{x0 + i, y0 + n} : Px{x0 + n, y0 + i});
    }
    return out;
}

TEST(DrawLines, OnePixelLinesHitTheClosedFormPixels) {
    const int cases[][4] = {{10, 10, 90, 10}, {10, 10, 10, 90},  {10, 10, 90, 37}, {90, 37, 10, 10},
                            {50, 50, 53, 90}, {50, 90, 53, 50},  {20, 80, 80, 20}, {20, 20, 21, 22},
                            {30, 30, 30, 30}, {100, 5, 7, 200}};
    for (const auto& c : cases) {
        Surfaces s;
        GUI_DrawLine(c[0], c[1], c[2], c[3]);
        EXPECT_EQ(lit(s), closed_line(c[0], c[1], c[2], c[3])) << c[0] << "," << c[1] << " -> " << c[2] << "," << c[3];
    }
}

// Pixels of a 32-pixel styled line from x = 100 (left to right, or from x = 131 back).
std::vector<int> styled_row(int style, bool backwards) {
    Surfaces s;
    GUI_SetLineStyle(static_cast<U8>(style));
    if (backwards)
        GUI_DrawLine(131, 50, 100, 50);
    else
        GUI_DrawLine(100, 50, 131, 50);
    std::vector<int> xs;
    for (int x = 100; x <= 131; ++x)
        if (s.px(x, 50)) xs.push_back(x - 100);
    return xs;
}

TEST(DrawLines, LineStylesCountPixelsFromTheStart) {
    // Dash: counts 1..32 from the start; counts 6..9 and 22..25 are drawn.
    EXPECT_EQ(styled_row(GUI_LS_DASH, false), (std::vector<int>{5, 6, 7, 8, 21, 22, 23, 24}));
    // Backwards the start (x = 131) counts -1, so count c sits at 130 - c: 6..9 and 22..25 land at 124..121, 108..105.
    EXPECT_EQ(styled_row(GUI_LS_DASH, true), (std::vector<int>{5, 6, 7, 8, 21, 22, 23, 24}));
    EXPECT_EQ(styled_row(GUI_LS_DOT, false).size(), 16u);
    EXPECT_EQ(styled_row(GUI_LS_DASHDOT, false), (std::vector<int>{11, 12, 13, 14, 17, 18, 31}));
    EXPECT_EQ(styled_row(7, false).size(), 32u);  // unknown styles draw solid

    // A poly-line keeps one counter: two 16-pixel halves dash exactly like one line.
    Surfaces s;
    GUI_SetLineStyle(GUI_LS_DASH);
    const GUI_POINT pts[] = {{100, 50}, {116, 50}, {131, 50}};
    GUI_DrawPolyLine(pts, 3, 0, 0);
    std::vector<int> xs;
    for (int x = 100; x <= 131; ++x)
        if (s.px(x, 50)) xs.push_back(x - 100);
    EXPECT_EQ(xs, styled_row(GUI_LS_DASH, false));
}

// Distance to the segment, and how far along it the foot of the perpendicular lies.
double seg_dist(double px, double py, const int* c, double* along) {
    const double dx = c[2] - c[0], dy = c[3] - c[1], len = std::hypot(dx, dy);
    *along = ((px - c[0]) * dx + (py - c[1]) * dy) / len;
    const double t = std::clamp(*along / len, 0.0, 1.0);
    return std::hypot(px - (c[0] + t * dx), py - (c[1] + t * dy));
}

TEST(DrawLines, WideLinesCoverTheirBandAtAnyAngleIncludingFortyFive) {
    const int cases[][4] = {{100, 100, 300, 100}, {100, 100, 300, 300}, {300, 100, 100, 300},
                            {100, 300, 300, 100}, {200, 50, 230, 400},  {100, 200, 400, 260}};
    for (int pen : {2, 5, 9})
        for (const auto& c : cases) {
            Surfaces s;
            GUI_SetPenSize(static_cast<U8>(pen));
            GUI_SetPenShape(GUI_PS_FLAT);
            GUI_DrawLine(c[0], c[1], c[2], c[3]);
            const double len = std::hypot(c[2] - c[0], c[3] - c[1]);
            int bad = 0;
            for (int y = 0; y < TABLE_H; ++y)
                for (int x = 0; x < TABLE_W; ++x) {
                    double along;
                    const double d = seg_dist(x, y, c, &along);
                    const bool on = s.px(x, y) != 0;
                    // Never beyond the band; always inside it away from the flat ends.
                    bad += (on && d > pen / 2.0 + 1) || (!on && d <= pen / 2.0 - 1 && along > 1 && along < len - 1);
                }
            EXPECT_EQ(bad, 0) << "pen " << pen << " from " << c[0] << "," << c[1];
        }
    // A horizontal line of pen 5 covers exactly the rows y - 2 .. y + 2.
    Surfaces s;
    GUI_SetPenSize(5);
    GUI_SetPenShape(GUI_PS_FLAT);
    GUI_DrawLine(100, 100, 200, 100);
    for (int y = 95; y <= 105; ++y) EXPECT_EQ(s.px(150, y) != 0, std::abs(y - 100) <= 2) << y;
}

TEST(DrawCircles, FillIsTheClosedFormDiscAndOutlinesOfTinyRadii) {
    for (int r = 0; r <= 80; ++r) {
        Surfaces s;
        GUI_FillCircle(400, 240, r);
        PxSet want;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (dx * dx + dy * dy <= r * r + r / 2) want.insert({400 + dx, 240 + dy});
        EXPECT_EQ(lit(s), want) << "r = " << r;
    }
    struct Tiny {
        int r;
        bool centre;
        int n;
    };
    for (const Tiny t : {Tiny{0, true, 9}, Tiny{1, false, 8}}) {
        Surfaces s;
        GUI_DrawCircle(100, 100, t.r);
        const PxSet got = lit(s);
        EXPECT_EQ(static_cast<int>(got.size()), t.n) << t.r;
        EXPECT_EQ(got.count({100, 100}) == 1, t.centre) << t.r;
        for (const auto& [x, y] : got) EXPECT_LE(std::max(std::abs(x - 100), std::abs(y - 100)), 1);
    }
    // A larger outline stays within one pixel of the circle and is closed (every octant row met).
    Surfaces s;
    GUI_DrawCircle(300, 200, 57);
    for (const auto& [x, y] : lit(s)) EXPECT_NEAR(std::hypot(x - 300, y - 200), 57, 1.0);
    for (int dy = -57; dy <= 57; ++dy) EXPECT_NE(s.extent(200 + dy).first, -1) << dy;
}

TEST(DrawCircles, EllipsesAreTheClosedFormSetInSixtyFourBits) {
    const int cases[][2] = {{0, 0}, {5, 0}, {0, 5}, {20, 7}, {7, 20}, {300, 200}, {390, 230}};
    for (const auto& c : cases) {
        const long long rx = c[0], ry = c[1], limit = rx * rx * ry * ry + rx * rx * ry / 2;
        Surfaces s;
        GUI_FillEllipse(400, 240, c[0], c[1]);
        PxSet want;
        for (long long dy = -ry; dy <= ry; ++dy)
            for (long long dx = -rx; dx <= rx; ++dx)
                if (dx == 0 || dy * dy * rx * rx + dx * dx * ry * ry <= limit) want.insert({400 + int(dx), 240 + int(dy)});
        EXPECT_EQ(lit(s), want) << rx << " x " << ry;
    }
}

TEST(DrawCircles, ArcsFillTheirRingSector) {
    struct Arc {
        int a0, a1, pen;
    };
    for (const Arc a : {Arc{0, 360, 5}, Arc{0, 90, 3}, Arc{45, 200, 7}, Arc{-90, 90, 4}, Arc{300, 420, 2}}) {
        Surfaces s;
        GUI_SetPenSize(static_cast<U8>(a.pen));
        GUI_DrawArc(400, 240, 80, 80, a.a0, a.a1);
        const double ri = 80 - (a.pen + 1.5) / 2, ro = 80 + (a.pen + 1.5) / 2;
        auto in_angles = [&](double deg, double slack) {
            for (int k = -1; k <= 1; ++k)
                if (deg + 360 * k >= a.a0 - slack && deg + 360 * k <= a.a1 + slack) return true;
            return false;
        };
        for (int y = 100; y < 380; ++y)
            for (int x = 260; x < 540; ++x) {
                const double dx = x - 400, dy = 240 - y, d = std::hypot(dx, dy);
                const double deg = std::atan2(dy, dx) * 180 / M_PI;
                const bool on = s.px(x, y) != 0;
                if (on) {
                    EXPECT_TRUE(d >= ri - 1 && d <= ro + 1 && in_angles(deg, 2.5)) << x << "," << y;
                } else {
                    EXPECT_FALSE(d >= ri + 1 && d <= ro - 1 && in_angles(deg, -2.5)) << x << "," << y;
                }
            }
    }
}

// Whether the pixel centre lies strictly inside, and its horizontal distance to the outline.
bool inside(const std::vector<GUI_POINT>& p, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
        if ((p[i].y > y) != (p[j].y > y) &&
            x < p[j].x + (y - p[j].y) * double(p[i].x - p[j].x) / double(p[i].y - p[j].y))
            in = !in;
    return in;
}
double hdist_to_outline(const std::vector<GUI_POINT>& p, double x, double y) {
    double best = 1e9;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const double ya = p[j].y, yb = p[i].y, xa = p[j].x, xb = p[i].x;
        if (y < std::min(ya, yb) || y > std::max(ya, yb)) continue;
        if (ya == yb)
            best = std::min({best, std::abs(x - xa), std::abs(x - xb), (x - xa) * (x - xb) <= 0 ? 0.0 : 1e9});
        else
            best = std::min(best, std::abs(x - (xa + (y - ya) * (xb - xa) / (yb - ya))));
    }
    return best;
}

TEST(DrawPolygons, FillsContainEveryInteriorCentreAndNothingOutside) {
    const std::vector<std::vector<GUI_POINT>> shapes = {
        {{100, 100}, {300, 120}, {180, 300}},                                           // triangle
        {{100, 100}, {300, 100}, {300, 250}, {100, 250}},                               // rectangle
        {{200, 50}, {230, 150}, {330, 150}, {250, 210}, {280, 320}, {200, 250}, {120, 320}, {150, 210},
         {70, 150}, {170, 150}},                                                         // concave star
        {{100, 100}, {400, 100}, {400, 300}, {300, 300}, {300, 150}, {200, 150}, {200, 300}, {100, 300}},  // U
        {{50, 400}, {700, 60}, {760, 470}},                                             // long, thin slopes
    };
    for (size_t k = 0; k < shapes.size(); ++k) {
        const auto& p = shapes[k];
        Surfaces s;
        const std::vector<GUI_POINT> copy = p;
        GUI_FillPolygon(p.data(), int(p.size()), 0, 0);
        EXPECT_EQ(copy.size(), p.size());
        for (int y = 1; y < TABLE_H; ++y)
            for (int x = 1; x < TABLE_W; ++x) {
                const bool on = s.px(x, y) != 0;
                EXPECT_TRUE(on || !inside(p, x, y) || hdist_to_outline(p, x, y) < 1e-9) << k << ": " << x << "," << y;
                EXPECT_TRUE(!on || inside(p, x, y) || hdist_to_outline(p, x, y) <= 0.5) << k << ": " << x << "," << y;
            }
    }
}

TEST(DrawPolygons, EdgeCases) {
    const GUI_POINT tri[] = {{100, 100}, {140, 100}, {120, 130}};  // vertex pointing down
    {
        Surfaces s;
        GUI_FillPolygon(tri, 0, 0, 0);
        GUI_FillPolygon(tri, -3, 0, 0);
        GUI_DrawPolygon(tri, 0, 0, 0);
        EXPECT_EQ(s.count(0xFFFFFFFF), 0);
        GUI_FillPolygon(tri, 1, 5, 5);  // one point: one pixel
        EXPECT_EQ(s.count(0xFFFFFFFF), 1);
        EXPECT_NE(s.px(105, 105), 0u);
    }
    {
        Surfaces s;
        GUI_FillPolygon(tri, 3, 0, 0);
        EXPECT_EQ(s.extent(130), std::make_pair(120, 120));
        EXPECT_EQ(s.extent(100), std::make_pair(100, 140));
    }
    // Enlarging: a square grows by Len on every side, in place or not; a vertex where the
    // outline turns back (a spike) moves a finite distance.
    const GUI_POINT sq[] = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};
    GUI_POINT big[4];
    GUI_EnlargePolygon(big, sq, 4, 3);
    const GUI_POINT want[] = {{7, 7}, {53, 7}, {53, 53}, {7, 53}};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(big[i].x == want[i].x && big[i].y == want[i].y) << i;
    GUI_POINT same[4] = {sq[0], sq[1], sq[2], sq[3]};
    GUI_EnlargePolygon(same, same, 4, 3);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(same[i].x == want[i].x && same[i].y == want[i].y) << i;
    const GUI_POINT spike[] = {{10, 10}, {60, 10}, {20, 10}, {20, 30}};
    GUI_POINT out[4];
    GUI_EnlargePolygon(out, spike, 4, 2);
    EXPECT_EQ(out[1].x, 62);
    EXPECT_EQ(out[1].y, 10);
    // Crowded rows keep their first 12 crossings: a comb of 8 teeth still fills its teeth in pairs.
    std::vector<GUI_POINT> comb = {{10, 200}};
    for (int t = 0; t < 8; ++t) {
        comb.push_back({I16(20 + 40 * t), 100});
        comb.push_back({I16(40 + 40 * t), 100});
        comb.push_back({I16(50 + 40 * t), 190});
    }
    comb.push_back({400, 200});
    Surfaces s;
    GUI_FillPolygon(comb.data(), int(comb.size()), 0, 0);
    EXPECT_NE(s.px(30, 120), 0u);   // inside the first tooth
    EXPECT_EQ(s.px(45, 120), 0u);   // the gap after it
    EXPECT_EQ(s.px(350, 120), 0u);  // teeth beyond the 12th crossing are dropped
}

TEST(DrawLayer, VerticalLinesAndPixelsClip) {
    Surfaces s;
    const GUI_RECT clip = {50, 50, 100, 100};
    GUI_SetClipRect(&clip);
    LCD_DrawVLine(40, 60, 70);    // left of the clip
    LCD_DrawVLine(60, 10, 200);   // cut to rows 50..100
    LCD_DrawVLine(70, 90, 80);    // empty
    LCD_SetPixelIndex(49, 60, 0x123456);
    LCD_SetPixelIndex(80, 60, 0x123456);
    EXPECT_EQ(s.count(0xFFFFFFFF), 51);
    EXPECT_EQ(s.px(60, 50), 0xFFFFFFFFu);
    EXPECT_EQ(s.px(60, 101), 0u);
    EXPECT_EQ(s.count(0xFF123456), 1);
}

}  // namespace
