// Windows BMP pictures: drawing an uncompressed file of 1, 4, 8 or 24 bits a pixel,
// and writing a rectangle of the screen as a BMP file through a byte callback.
#include <climits>

#include "gui/GUI.h"

namespace {
constexpr int kMaxSize = 1024;

U32 rd16(const U8* p) { return p[0] | (p[1] << 8); }
U32 rd32(const U8* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<U32>(p[3]) << 24); }

struct Header {
    int width, height, bpp, colours;
    long palette_at, pixels_at, stride;
};

// Reads and checks the header of a file of `n` bytes; false when it is refused.
bool read_header(const U8* p, long n, Header* h) {
    if (!p || n < 54 || rd16(p) != 0x4D42) return false;
    const long header_size = rd32(p + 14);
    if (header_size < 40 || header_size > n) return false;
    h->width = static_cast<I32>(rd32(p + 18));
    h->height = static_cast<I32>(rd32(p + 22));
    h->bpp = static_cast<int>(rd16(p + 28));
    const U32 compression = rd32(p + 30);
    const U32 used = rd32(p + 46);
    if (h->width <= 0 || h->width > kMaxSize) return false;
    // Top-down files (negative height) may be of any height: only the rows inside the clip are drawn.
    if (h->height == 0 || h->height > kMaxSize) return false;
    if (h->bpp != 1 && h->bpp != 4 && h->bpp != 8 && h->bpp != 24) return false;
    if (compression != 0) return false;
    if (h->bpp != 24) {
        if (used > 256) return false;
        h->colours = used ? static_cast<int>(used) : 1 << h->bpp;
    } else {
        h->colours = 0;
    }
    h->palette_at = 14 + header_size;
    h->pixels_at = rd32(p + 10);
    h->stride = ((static_cast<long>(h->width) * h->bpp + 31) / 32) * 4;
    const long rows = h->height < 0 ? -static_cast<long>(h->height) : h->height;
    if (h->pixels_at < h->palette_at || h->pixels_at > n || (n - h->pixels_at) / h->stride < rows) return false;
    return true;
}

// Rows of the file to visit: all of a bottom-up file, of a top-down one those down to the clip's bottom.
long rows_to_draw(const Header& h, int y0) {
    if (h.height > 0) return h.height;
    const long below = static_cast<long>(GUI_Context.ClipRect.y1) - y0 + 1;
    const long rows = -static_cast<long>(h.height);
    return below < 0 ? 0 : below < rows ? below : rows;
}

int draw(const U8* p, long n, int x0, int y0) {
    Header h;
    if (!read_header(p, n, &h)) return 1;
    const long rows = rows_to_draw(h, y0);
    const U32 saved = GUI_Context.LCD.aColorIndex32[1];
    if (h.bpp == 24) {
        for (long r = 0; r < rows; ++r) {
            const int y = y0 + static_cast<int>(h.height > 0 ? rows - 1 - r : r);
            const U8* q = p + h.pixels_at + r * h.stride;
            for (int x = 0; x < h.width; ++x, q += 3) {
                GUI_Context.LCD.aColorIndex32[1] = LCD_Color2Index(q[0] * 65536u + q[1] * 256u + q[2]);
                LCD_DrawPixel(x0 + x, y);
            }
        }
        GUI_Context.LCD.aColorIndex32[1] = saved;
        return 0;
    }
    // Palette entries the file does not hold (a short palette) are black.
    LCD_COLOR colours[256] = {};
    const long present = (h.pixels_at - h.palette_at) / 4;
    const int count = present < h.colours ? static_cast<int>(present) : h.colours;
    for (int i = 0; i < count; ++i) {
        const U8* e = p + h.palette_at + 4 * i;
        colours[i] = e[0] * 65536u + e[1] * 256u + e[2];
    }
    const LCD_LOGPALETTE pal = {256, 0, colours};
    const unsigned long* conv = LCD_GetpPalConvTable(&pal);
    LCD_PIXELINDEX trans[256];
    for (int i = 0; i < 256; ++i) trans[i] = static_cast<LCD_PIXELINDEX>(conv[i]);
    for (long r = 0; r < rows; ++r) {
        const int y = y0 + static_cast<int>(h.height > 0 ? rows - 1 - r : r);
        LCD_DrawBitmap(x0, y, h.width, 1, 1, 1, h.bpp, static_cast<int>(h.stride), p + h.pixels_at + r * h.stride,
                       trans);
    }
    return 0;
}

void put16(GUI_CALLBACK_VOID_U8_P* cb, void* p, U32 v) {
    cb(static_cast<U8>(v), p);
    cb(static_cast<U8>(v >> 8), p);
}
void put32(GUI_CALLBACK_VOID_U8_P* cb, void* p, U32 v) {
    put16(cb, p, v & 0xFFFF);
    put16(cb, p, v >> 16);
}
U32 to5(U32 c) { return (c * 31 + 127) / 255; }
}  // namespace

int GUI_BMP_GetXSize(const void* pBMP) {
    return pBMP ? static_cast<I32>(rd32(static_cast<const U8*>(pBMP) + 18)) : 0;
}

int GUI_BMP_GetYSize(const void* pBMP) {
    if (!pBMP) return 0;
    const I32 h = static_cast<I32>(rd32(static_cast<const U8*>(pBMP) + 22));
    return h == INT_MIN ? INT_MAX : h < 0 ? -h : h;
}

int GUI_BMP_DrawEx(const void* pBMP, int NumBytes, int x0, int y0) {
    return draw(static_cast<const U8*>(pBMP), NumBytes, x0, y0);
}

int GUI_BMP_Draw(const void* pBMP, int x0, int y0) { return draw(static_cast<const U8*>(pBMP), LONG_MAX, x0, y0); }

void GUI_BMP_SerializeEx(GUI_CALLBACK_VOID_U8_P* cb, int x0, int y0, int xSize, int ySize, void* p) {
    if (!cb || xSize < 1 || ySize < 1 || xSize > GUI_SCREEN_XSIZE || ySize > GUI_SCREEN_YSIZE) return;
    const int bpp = LCD_GetBitsPerPixel() > 8 ? 16 : 8;
    const U32 palette = bpp == 8 ? 4u << LCD_GetBitsPerPixel() : 0;
    const U32 stride = ((static_cast<U32>(xSize) * (bpp / 8)) + 3) & ~3u;
    const U32 offset = 54 + palette;
    cb('B', p);
    cb('M', p);
    put32(cb, p, offset + stride * static_cast<U32>(ySize));
    put32(cb, p, 0);
    put32(cb, p, offset);
    put32(cb, p, 40);
    put32(cb, p, static_cast<U32>(xSize));
    put32(cb, p, static_cast<U32>(ySize));
    put16(cb, p, 1);
    put16(cb, p, static_cast<U32>(bpp));
    for (int i = 0; i < 4; ++i) put32(cb, p, 0);
    put32(cb, p, palette / 4);
    put32(cb, p, 0);
    for (U32 i = 0; i < palette / 4; ++i) {
        const LCD_COLOR c = LCD_Index2Color(static_cast<int>(i));
        cb(static_cast<U8>(c >> 16), p);
        cb(static_cast<U8>(c >> 8), p);
        cb(static_cast<U8>(c), p);
        cb(0, p);
    }
    for (int y = y0 + ySize - 1; y >= y0; --y) {
        U32 written = 0;
        for (int x = x0; x < x0 + xSize; ++x) {
            const unsigned idx = LCD_GetPixelIndex(x, y);
            if (bpp == 8) {
                cb(static_cast<U8>(idx), p);
                written += 1;
            } else {
                const LCD_COLOR c = LCD_Index2Color(static_cast<int>(idx));
                put16(cb, p, (to5(c & 0xFF) << 10) | (to5((c >> 8) & 0xFF) << 5) | to5((c >> 16) & 0xFF));
                written += 2;
            }
        }
        for (; written < stride; ++written) cb(0, p);
    }
}

void GUI_BMP_Serialize(GUI_CALLBACK_VOID_U8_P* cb, void* p) {
    GUI_BMP_SerializeEx(cb, 0, 0, LCD_GetXSize(), LCD_GetYSize(), p);
}
