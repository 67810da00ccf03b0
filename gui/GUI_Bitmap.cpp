// Bitmaps held in memory: palette bitmaps, direct-colour bitmaps of 16 and 32 bits,
// run-length-compressed bitmaps, magnified and scaled drawing, pixel read-back,
// streamed bitmaps, the rotated text drivers and the fast fills.
#include <climits>
#include <cstring>

#include "gui/GUI.h"

namespace {

// One pixel of index `idx`, clipped to the context's clip rectangle.
void put_index(int x, int y, LCD_PIXELINDEX idx) {
    const LCD_RECT& c = GUI_Context.ClipRect;
    if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) return;
    LCD_L0_SetPixelIndex(x, y, idx);
}

// Draws with a given foreground index and puts the context's indices back afterwards.
struct IndexScope {
    U32 saved[2];
    IndexScope() { std::memcpy(saved, GUI_Context.LCD.aColorIndex32, sizeof saved); }
    ~IndexScope() { std::memcpy(GUI_Context.LCD.aColorIndex32, saved, sizeof saved); }
    static void set(LCD_PIXELINDEX idx) { GUI_Context.LCD.aColorIndex32[1] = idx; }
};

void fill_block(int x0, int y0, int x1, int y1, LCD_PIXELINDEX idx) {
    IndexScope::set(idx);
    LCD_FillRect(x0, y0, x1, y1);
}

void hline(int x0, int y, int x1, LCD_PIXELINDEX idx) {
    IndexScope::set(idx);
    LCD_DrawHLine(x0, y, x1);
}

// Palette to device indices: converted entries, black for values the palette has no entry for.
// False for no palette, an empty one or one of more than 256 entries.
bool make_trans(const GUI_LOGPALETTE* pal, LCD_PIXELINDEX* out) {
    if (!pal || !pal->pPalEntries || pal->NumEntries < 1 || pal->NumEntries > 256) return false;
    const unsigned long* t = LCD_GetpPalConvTable(pal);
    if (!t) return false;
    for (int i = 0; i < 256; ++i) out[i] = i < pal->NumEntries ? static_cast<LCD_PIXELINDEX>(t[i]) : 0;
    return true;
}

int min_bytes_per_line(int xsize, int bpp) { return (xsize * bpp + 7) / 8; }

void draw_palette_bitmap(int x0, int y0, int xsize, int ysize, int xMul, int yMul, int bpp, int bpl, const U8* p,
                         const GUI_LOGPALETTE* pal, bool context_colours_for_1bpp) {
    if (!p || xsize < 1 || ysize < 1) return;
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;  // a 256-entry table cannot translate more
    if (bpl < min_bytes_per_line(xsize, bpp)) return;
    LCD_PIXELINDEX trans[256];
    if (!make_trans(pal, trans)) {
        if (pal || bpp != 1 || !context_colours_for_1bpp) return;
        trans[0] = GUI_Context.LCD.aColorIndex32[0];
        trans[1] = GUI_Context.LCD.aColorIndex32[1];
    }
    LCD_DrawBitmap(x0, y0, xsize, ysize, xMul, yMul, bpp, bpl, p, trans);
}

void draw_bitmap(const GUI_BITMAP* b, int x0, int y0, int xMul, int yMul, bool combine_mode) {
    if (!b || !b->pData) return;
    const bool has_trans = b->pPal && b->pPal->HasTrans;
    const int old = GUI_Context.DrawMode;
    const int mode = combine_mode ? (has_trans ? old | GUI_DRAWMODE_TRANS : old & ~GUI_DRAWMODE_TRANS)
                                  : (has_trans ? GUI_DRAWMODE_TRANS : 0);
    LCD_SetDrawMode(mode);
    if (b->pMethods && b->pMethods->pfDraw)
        b->pMethods->pfDraw(x0, y0, b->XSize, b->YSize, b->pData, b->pPal, xMul, yMul);
    else
        draw_palette_bitmap(x0, y0, b->XSize, b->YSize, xMul, yMul, b->BitsPerPixel, b->BytesPerLine, b->pData,
                            b->pPal, true);
    LCD_SetDrawMode(old);
}

// ---------------------------------------------------------------- direct colour
template <int Bytes>
U32 read_le(const U8* p) {
    U32 v = 0;
    for (int i = Bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Every pixel converted and written on its own, clipped in rows and columns.
template <int Bytes>
void draw_direct(int x0, int y0, int xsize, int ysize, const U8* p, int xMag, int yMag, tLCD_Index2Color conv) {
    if (!p || !conv || xsize < 1 || ysize < 1 || xMag < 1 || yMag < 1) return;
    IndexScope keep;
    const LCD_RECT& c = GUI_Context.ClipRect;
    for (int j = 0; j < ysize; ++j) {
        const int y = y0 + j * yMag;
        const U8* row = p + static_cast<long>(j) * xsize * Bytes;
        if (y + yMag - 1 < c.y0 || y > c.y1) continue;
        for (int i = 0; i < xsize; ++i) {
            const int x = x0 + i * xMag;
            if (x + xMag - 1 < c.x0 || x > c.x1) continue;
            const LCD_PIXELINDEX idx = LCD_Color2Index(conv(static_cast<int>(read_le<Bytes>(row + i * Bytes))));
            if (xMag == 1 && yMag == 1)
                put_index(x, y, idx);
            else
                fill_block(x, y, x + xMag - 1, y + yMag - 1, idx);
        }
    }
}

#define GUI_DIRECT_METHOD(NAME, BYTES, CONV)                                                            \
    void NAME(int x0, int y0, int xs, int ys, const U8* p, const LCD_LOGPALETTE*, int xm, int ym) { \
        draw_direct<BYTES>(x0, y0, xs, ys, p, xm, ym, CONV);                                          \
    }
GUI_DIRECT_METHOD(draw555, 2, LCD_Index2Color_555)
GUI_DIRECT_METHOD(drawM555, 2, LCD_Index2Color_M555)
GUI_DIRECT_METHOD(draw565, 2, LCD_Index2Color_565)
GUI_DIRECT_METHOD(drawM565, 2, LCD_Index2Color_M565)
GUI_DIRECT_METHOD(draw888, 4, LCD_Index2Color_888)
GUI_DIRECT_METHOD(drawM888, 4, LCD_Index2Color_M888)
#undef GUI_DIRECT_METHOD

// ---------------------------------------------------------------- run-length formats
enum class Rle { k4, k8, k16, kM16 };

struct RleSink {
    int x0, y0, xsize, ysize, xMag, yMag;
    bool transparent;
    Rle kind;
    const LCD_PIXELINDEX* trans;  // null: the value is the index
    int row = 0, col = 0;

    LCD_PIXELINDEX index_of(unsigned v) const {
        if (kind == Rle::k16) return LCD_Color2Index(LCD_Index2Color_565(static_cast<int>(v)));
        if (kind == Rle::kM16) return LCD_Color2Index(LCD_Index2Color_M565(static_cast<int>(v)));
        return trans ? trans[v & 0xFF] : v;
    }
    void draw(int c0, int n, unsigned v) const {
        const LCD_PIXELINDEX idx = index_of(v);
        if (xMag == 1 && yMag == 1) {
            if (n == 1)
                put_index(x0 + c0, y0 + row, idx);
            else
                hline(x0 + c0, y0 + row, x0 + c0 + n - 1, idx);
            return;
        }
        for (int i = 0; i < n; ++i) {
            const int bx = x0 + (c0 + i) * xMag, by = y0 + row * yMag;
            fill_block(bx, by, bx + xMag - 1, by + yMag - 1, idx);
        }
    }
    // n pixels of value v; runs wrap onto the next row.
    void emit(int n, unsigned v) {
        while (n > 0 && row < ysize) {
            const int k = n < xsize - col ? n : xsize - col;
            if (!(transparent && v == 0)) draw(col, k, v);
            col += k;
            n -= k;
            if (col == xsize) {
                col = 0;
                ++row;
            }
        }
    }
    bool done() const { return row >= ysize; }
};

void draw_rle(Rle kind, int x0, int y0, int xsize, int ysize, const U8* p, const LCD_LOGPALETTE* pal, int xMag,
              int yMag) {
    if (!p || xsize < 1 || ysize < 1 || xMag < 1 || yMag < 1) return;
    LCD_PIXELINDEX table[256];
    const LCD_PIXELINDEX* trans = nullptr;
    if ((kind == Rle::k4 || kind == Rle::k8) && pal && pal->NumEntries > 0) {
        if (!make_trans(pal, table)) return;
        trans = table;
    }
    if (xMag == 1 && yMag == 1) {
        const int rows = GUI_Context.ClipRect.y1 - y0 + 1;
        if (rows < ysize) ysize = rows;
        if (ysize < 1) return;
    }
    IndexScope keep;
    RleSink s{x0, y0, xsize, ysize, xMag, yMag, (GUI_Context.DrawMode & GUI_DRAWMODE_TRANS) != 0, kind, trans};
    const bool wide = kind == Rle::k16 || kind == Rle::kM16;
    auto value = [&]() -> unsigned {
        if (!wide) return *p++;
        const unsigned v = p[0] | (p[1] << 8);
        p += 2;
        return v;
    };
    while (!s.done()) {
        const int n = *p++;
        if (n) {
            s.emit(n, value());
            continue;
        }
        const int count = *p++;
        if (kind == Rle::k4) {
            for (int i = 0; i < count; ++i) s.emit(1, (i & 1) ? (p[i / 2] & 0xF) : (p[i / 2] >> 4));
            p += (count + 1) / 2;
        } else {
            for (int i = 0; i < count; ++i) s.emit(1, value());
        }
    }
}

void drawRLE4(int x0, int y0, int xs, int ys, const U8* p, const LCD_LOGPALETTE* pal, int xm, int ym) {
    draw_rle(Rle::k4, x0, y0, xs, ys, p, pal, xm, ym);
}
void drawRLE8(int x0, int y0, int xs, int ys, const U8* p, const LCD_LOGPALETTE* pal, int xm, int ym) {
    draw_rle(Rle::k8, x0, y0, xs, ys, p, pal, xm, ym);
}
void drawRLE16(int x0, int y0, int xs, int ys, const U8* p, const LCD_LOGPALETTE* pal, int xm, int ym) {
    draw_rle(Rle::k16, x0, y0, xs, ys, p, pal, xm, ym);
}
void drawRLEM16(int x0, int y0, int xs, int ys, const U8* p, const LCD_LOGPALETTE* pal, int xm, int ym) {
    draw_rle(Rle::kM16, x0, y0, xs, ys, p, pal, xm, ym);
}

// Pixel value of an uncompressed bitmap, 0 outside it; 32-bit pixels too (for the scaled drawing).
bool is_compressed(const GUI_BITMAP* b) { return b->pMethods && !b->pMethods->pfIndex2Color; }

unsigned pixel_value(const GUI_BITMAP* b, unsigned x, unsigned y, bool with32) {
    if (!b || !b->pData || x >= b->XSize || y >= b->YSize || is_compressed(b)) return 0;
    const U8* row = b->pData + static_cast<unsigned long>(y) * b->BytesPerLine;
    switch (b->BitsPerPixel) {
        case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
        case 2: return (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
        case 4: return (x & 1) ? row[x / 2] & 0xF : row[x / 2] >> 4;
        case 8: return row[x];
        case 16: return read_le<2>(row + 2 * x);
        case 32: return with32 ? read_le<4>(row + 4 * x) : 0;
        default: return 0;
    }
}

long long div_round(long long a, long long b) { return a >= 0 ? (a + b / 2) / b : (a - b / 2) / b; }

int clamp_int(long long v) { return v < INT_MIN / 2 ? INT_MIN / 2 : v > INT_MAX / 2 ? INT_MAX / 2 : static_cast<int>(v); }

// ---------------------------------------------------------------- rotated text drivers
enum class Turn { k180, kCW, kCCW };

void rotate(Turn t, int x, int y, int* px, int* py) {
    const GUI_RECT& r = GUI_RectDispString;
    GUI_RECT w;
    GUI_GetClientRect(&w);
    switch (t) {
        case Turn::k180: *px = r.x0 + r.x1 + w.x0 - x; *py = r.y0 + r.y1 + w.y0 - y; break;
        case Turn::kCW: *px = r.x1 + r.y0 + w.x0 - y; *py = r.y0 - r.x0 + w.y0 + x; break;
        case Turn::kCCW: *px = r.x0 - r.y0 + w.x0 + y; *py = r.x0 + r.y1 + w.y0 - x; break;
    }
}

void draw_rotated(Turn t, int x0, int y0, int xsize, int ysize, int xMul, int yMul, int bpp, int bpl, const U8* p,
                  const LCD_PIXELINDEX* pTrans) {
    if (!p || xsize < 1 || ysize < 1 || xMul < 1 || yMul < 1) return;
    const int mode = GUI_Context.DrawMode;
    if (xMul == 1 && yMul == 1) {
        if (bpp != 1 || !pTrans) return;
        for (int j = 0; j < ysize; ++j)
            for (int i = 0; i < xsize; ++i) {
                const bool set = (p[j * bpl + i / 8] >> (7 - i % 8)) & 1;
                int x, y;
                rotate(t, x0 + i, y0 + j, &x, &y);
                const LCD_RECT& c = GUI_Context.ClipRect;
                if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) continue;
                if (mode & GUI_DRAWMODE_XOR) {
                    if (set) LCD_L0_SetPixelIndex(x, y, LCD_L0_GetPixelIndex(x, y) ^ LCD_L0_GetIndexMask());
                } else if (set || !(mode & GUI_DRAWMODE_TRANS)) {
                    LCD_L0_SetPixelIndex(x, y, pTrans[set ? 1 : 0]);
                }
            }
        return;
    }
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
    IndexScope keep;
    const unsigned mask = (1u << bpp) - 1;
    for (int j = 0; j < ysize; ++j)
        for (int i = 0; i < xsize; ++i) {
            const int bit = i * bpp;
            const unsigned v = (p[j * bpl + bit / 8] >> (8 - bpp - bit % 8)) & mask;
            if (v == 0 && (mode & GUI_DRAWMODE_TRANS)) continue;
            int ax, ay, bx, by;
            rotate(t, x0 + i * xMul, y0 + j * yMul, &ax, &ay);
            rotate(t, x0 + i * xMul + xMul - 1, y0 + j * yMul + yMul - 1, &bx, &by);
            fill_block(ax < bx ? ax : bx, ay < by ? ay : by, ax < bx ? bx : ax, ay < by ? by : ay,
                       pTrans ? pTrans[v] : v);
        }
}

void _DrawBitmap180(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const U8* p,
                    const LCD_PIXELINDEX* t) {
    draw_rotated(Turn::k180, x0, y0, xs, ys, xm, ym, bpp, bpl, p, t);
}
void _DrawBitmapCW(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const U8* p,
                   const LCD_PIXELINDEX* t) {
    draw_rotated(Turn::kCW, x0, y0, xs, ys, xm, ym, bpp, bpl, p, t);
}
void _DrawBitmapCCW(int x0, int y0, int xs, int ys, int xm, int ym, int bpp, int bpl, const U8* p,
                    const LCD_PIXELINDEX* t) {
    draw_rotated(Turn::kCCW, x0, y0, xs, ys, xm, ym, bpp, bpl, p, t);
}
void _Rect2TextRect(GUI_RECT*) {}
void _Rect2TextRectQuarter(GUI_RECT* r) {
    if (!r) return;
    const int w = r->x1 - r->x0, h = r->y1 - r->y0;
    r->x1 = static_cast<I16>(r->x0 + h);
    r->y1 = static_cast<I16>(r->y0 + w);
}

}  // namespace

const GUI_BITMAP_METHODS GUI_BitmapMethods555 = {draw555, LCD_Index2Color_555};
const GUI_BITMAP_METHODS GUI_BitmapMethodsM555 = {drawM555, LCD_Index2Color_M555};
const GUI_BITMAP_METHODS GUI_BitmapMethods565 = {draw565, LCD_Index2Color_565};
const GUI_BITMAP_METHODS GUI_BitmapMethodsM565 = {drawM565, LCD_Index2Color_M565};
const GUI_BITMAP_METHODS GUI_BitmapMethods888 = {draw888, LCD_Index2Color_888};
const GUI_BITMAP_METHODS GUI_BitmapMethodsM888 = {drawM888, LCD_Index2Color_M888};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE4 = {drawRLE4, nullptr};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE8 = {drawRLE8, nullptr};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE16 = {drawRLE16, nullptr};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLEM16 = {drawRLEM16, nullptr};

const tLCD_APIList LCD_APIList180 = {_DrawBitmap180, _Rect2TextRect};
const tLCD_APIList LCD_APIListCW = {_DrawBitmapCW, _Rect2TextRectQuarter};
const tLCD_APIList LCD_APIListCCW = {_DrawBitmapCCW, _Rect2TextRectQuarter};
constinit thread_local GUI_RECT GUI_RectDispString{};

void GL_DrawBitmap(const GUI_BITMAP* pBitmap, int x0, int y0) { draw_bitmap(pBitmap, x0, y0, 1, 1, true); }
void GUI_DrawBitmap(const GUI_BITMAP* pBitmap, int x0, int y0) { GL_DrawBitmap(pBitmap, x0, y0); }
void GUI_DrawBitmapMag(const GUI_BITMAP* pBitmap, int x0, int y0, int xMul, int yMul) {
    draw_bitmap(pBitmap, x0, y0, xMul, yMul, false);
}

void GUI_DrawBitmapExp(int x0, int y0, int XSize, int YSize, int XMul, int YMul, int BitsPerPixel, int BytesPerLine,
                       const U8* pData, const GUI_LOGPALETTE* pPal) {
    const int old = LCD_SetDrawMode(pPal && pPal->HasTrans ? GUI_DRAWMODE_TRANS : 0);
    draw_palette_bitmap(x0, y0, XSize, YSize, XMul, YMul, BitsPerPixel, BytesPerLine, pData, pPal, false);
    LCD_SetDrawMode(old);
}

void GUI__DrawBitmap16bpp(int x0, int y0, int xsize, int ysize, const U8* pPixel, const LCD_LOGPALETTE*, int xMag,
                          int yMag, tLCD_Index2Color pfIndex2Color) {
    draw_direct<2>(x0, y0, xsize, ysize, pPixel, xMag, yMag, pfIndex2Color);
}

int GUI_GetBitmapPixelIndex(const GUI_BITMAP* pBMP, unsigned x, unsigned y) {
    return static_cast<int>(pixel_value(pBMP, x, y, false));
}

GUI_COLOR GUI_GetBitmapPixelColor(const GUI_BITMAP* pBMP, unsigned x, unsigned y) {
    if (!pBMP || !pBMP->pPal || !pBMP->pPal->pPalEntries) return 0;
    const unsigned v = pixel_value(pBMP, x, y, false);
    if (v == 0 && pBMP->pPal->HasTrans) return GUI_INVALID_COLOR;
    return v < static_cast<unsigned>(pBMP->pPal->NumEntries) ? pBMP->pPal->pPalEntries[v] : 0;
}

void GUI_DrawBitmapEx(const GUI_BITMAP* b, int x0, int y0, int xCenter, int yCenter, int xMag, int yMag) {
    if (!b || !b->pData || b->XSize == 0 || b->YSize == 0 || xMag == 0 || yMag == 0 || is_compressed(b)) return;
    const GUI_LOGPALETTE* pal = b->pPal;
    const bool skip0 = pal && pal->HasTrans;
    const long long ax = xMag < 0 ? -static_cast<long long>(xMag) : xMag;
    const int c = xMag < 0 ? b->XSize - 1 - xCenter : xCenter;
    const int xstart = clamp_int(x0 - ax * c / 1000);
    const LCD_RECT& clip = GUI_Context.ClipRect;
    IndexScope keep;
    auto colour_index = [&](unsigned v) -> LCD_PIXELINDEX {
        GUI_COLOR col;
        if (b->pMethods && b->pMethods->pfIndex2Color)
            col = b->pMethods->pfIndex2Color(static_cast<int>(v));
        else if (pal && pal->pPalEntries)
            col = v < static_cast<unsigned>(pal->NumEntries) ? pal->pPalEntries[v] : 0;
        else
            col = LCD_Index2Color(static_cast<int>(v));
        return LCD_L0_Color2Index(col);
    };
    for (int i = 0; i < b->YSize; ++i) {
        const int s = clamp_int(y0 + div_round(static_cast<long long>(i - yCenter) * yMag, 1000));
        const int e = clamp_int(y0 + div_round(static_cast<long long>(i + 1 - yCenter) * yMag, 1000));
        const int r0 = yMag > 0 ? s : e + 1, r1 = yMag > 0 ? e - 1 : s;
        for (int y = r0 > clip.y0 ? r0 : clip.y0; y <= r1 && y <= clip.y1; ++y) {
            long long acc = 0;
            int x = xstart, run_x = 0, run_end = -1;
            unsigned run_v = 0;
            bool in_run = false;
            auto flush = [&]() {
                if (in_run && !(skip0 && run_v == 0)) {
                    LCD_SetColorIndex(colour_index(run_v));
                    LCD_DrawHLine(run_x, y, run_end);
                }
                in_run = false;
            };
            for (int k = 0; k < b->XSize && x <= clip.x1; ++k) {
                const unsigned src = static_cast<unsigned>(xMag < 0 ? b->XSize - 1 - k : k);
                acc += ax;
                if (acc <= 999) continue;
                const int w = clamp_int(acc / 1000);
                acc %= 1000;
                const unsigned v = pixel_value(b, src, static_cast<unsigned>(i), true);
                if (in_run && v == run_v) {
                    run_end = x + w - 1;
                } else {
                    flush();
                    in_run = true;
                    run_v = v;
                    run_x = x;
                    run_end = x + w - 1;
                }
                x += w;
            }
            flush();
        }
    }
}

void GUI__memset(U8* p, U8 Fill, int NumBytes) {
    if (!p) return;
    while (NumBytes > 0 && (reinterpret_cast<uintptr_t>(p) & 3)) {
        *p++ = Fill;
        --NumBytes;
    }
    const U32 word = Fill * 0x01010101u;
    for (; NumBytes >= 4; NumBytes -= 4, p += 4) std::memcpy(p, &word, 4);
    while (NumBytes-- > 0) *p++ = Fill;
}

void GUI__memset16(U16* p, U16 Fill, int NumWords) {
    if (!p || NumWords <= 0) return;
    if (reinterpret_cast<uintptr_t>(p) & 3) {
        *p++ = Fill;
        --NumWords;
    }
    const U32 word = Fill * 0x00010001u;
    for (; NumWords >= 2; NumWords -= 2, p += 2) std::memcpy(p, &word, 4);
    if (NumWords) *p = Fill;
}

// ---------------------------------------------------------------- streamed bitmaps
int GUI_DrawStreamedBitmapEx(const void* p, int NumBytes, int x, int y) {
    const U8* s = static_cast<const U8*>(p);
    if (!s || NumBytes < 16) return 1;
    const U8* q = s;
    GUI_BITMAP_STREAM h;
    U16* f[] = {&h.ID, &h.Version, &h.XSize, &h.YSize, &h.BytesPerLine, &h.BitsPerPixel, &h.NumColors, &h.HasTrans};
    for (U16* v : f) *v = GUI__Read16(&q);
    const int bpp = h.BitsPerPixel;
    // Only palette depths: without a palette of 1..256 colours there is nothing to translate the pixels with.
    if ((bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) || h.NumColors < 1 || h.NumColors > 256) return 1;
    if (h.BytesPerLine < min_bytes_per_line(h.XSize, bpp)) return 1;
    const long need = 16L + 4L * h.NumColors + static_cast<long>(h.YSize) * h.BytesPerLine;
    if (need > NumBytes) return 1;
    LCD_COLOR colours[256];
    for (int i = 0; i < h.NumColors; ++i) colours[i] = GUI__Read32(&q);
    const GUI_LOGPALETTE pal = {h.NumColors, static_cast<char>(h.HasTrans != 0), colours};
    const GUI_BITMAP b = {h.XSize, h.YSize, h.BytesPerLine, h.BitsPerPixel, q, &pal, nullptr};
    GL_DrawBitmap(&b, x, y);
    return 0;
}

void GUI_DrawStreamedBitmap(const void* p, int x, int y) { GUI_DrawStreamedBitmapEx(p, INT_MAX, x, y); }
