// GIF pictures (87a and 89a): the variable-length-code LZW decoder, interlacing,
// transparency, several images and comments. Nothing is read past the given bytes.
#include <cstring>
#include <vector>

#include "gui/GUI.h"

namespace {
constexpr int kMaxScreen = 2000;
constexpr int kMaxCodes = 4096;

struct Source {
    const U8* p;
    U32 n;
    int byte() {
        if (!n) return -1;
        --n;
        return *p++;
    }
    bool read(U8* out, U32 k) {
        if (k > n) return false;
        if (out) std::memcpy(out, p, k);
        p += k;
        n -= k;
        return true;
    }
    int u16() {
        U8 b[2];
        return read(b, 2) ? b[0] | (b[1] << 8) : -1;
    }
    // Skips data sub-blocks up to and including the terminating empty one.
    bool skip_blocks() {
        for (;;) {
            const int k = byte();
            if (k < 0) return false;
            if (k == 0) return true;
            if (!read(nullptr, static_cast<U32>(k))) return false;
        }
    }
};

struct Screen {
    int xsize = 0, ysize = 0, background = 0, num_global = 0;
    GUI_COLOR global[256] = {};
};

struct Control {
    int transparent = -1, disposal = 0, delay = 0;
};

struct Image {
    int x = 0, y = 0, xsize = 0, ysize = 0, flags = 0;
};

bool read_table(Source& s, int n, GUI_COLOR* out) {
    for (int i = 0; i < n; ++i) {
        U8 rgb[3];
        if (!s.read(rgb, 3)) return false;
        out[i] = rgb[0] | (rgb[1] << 8) | (static_cast<U32>(rgb[2]) << 16);
    }
    return true;
}

bool read_screen(Source& s, Screen& sc) {
    U8 sig[6];
    if (!s.read(sig, 6) || std::memcmp(sig, "GIF8", 4) != 0 || (sig[4] != '7' && sig[4] != '9') || sig[5] != 'a')
        return false;
    sc.xsize = s.u16();
    sc.ysize = s.u16();
    const int flags = s.byte();
    sc.background = s.byte();
    if (s.byte() < 0 || sc.xsize < 0 || sc.ysize < 0 || sc.xsize > kMaxScreen || sc.ysize > kMaxScreen) return false;
    if (flags & 0x80) {
        sc.num_global = 2 << (flags & 7);
        if (!read_table(s, sc.num_global, sc.global)) return false;
    }
    return true;
}

// What a visitor of the block walk asks for.
enum class Next { kGoOn, kStop };

// Walks the blocks after the screen descriptor. `on_image`(index, image, control, source) must
// consume the image's local table and data when it returns kGoOn; `on_comment`(index, source)
// must consume the comment's sub-blocks. Returns 0 at the trailer or a stop, 1 for a broken file.
template <class OnImage, class OnComment>
int walk(Source& s, int* result, OnImage on_image, OnComment on_comment) {
    Control ctl;
    int images = 0, comments = 0;
    for (;;) {
        switch (s.byte()) {
            case 0x3B: return 0;
            case 0x21: {
                const int label = s.byte();
                if (label == 0xF9) {
                    // The control block is read within its own sub-block.
                    const int k = s.byte();
                    U8 b[255];
                    if (k < 4 || !s.read(b, static_cast<U32>(k))) return 1;
                    ctl.disposal = (b[0] >> 2) & 7;
                    ctl.delay = b[1] | (b[2] << 8);
                    ctl.transparent = (b[0] & 1) ? b[3] : -1;
                    if (!s.skip_blocks()) return 1;
                } else if (label == 0xFE) {
                    if (on_comment(comments++, s) == Next::kStop) return *result;
                } else if (label == 0x01 || label == 0xFF) {
                    if (!s.skip_blocks()) return 1;
                } else {
                    return 1;
                }
                break;
            }
            case 0x2C: {
                Image im;
                im.x = s.u16();
                im.y = s.u16();
                im.xsize = s.u16();
                im.ysize = s.u16();
                im.flags = s.byte();
                if (im.x < 0 || im.y < 0 || im.xsize < 0 || im.ysize < 0 || im.flags < 0) return 1;  // cut short
                if (on_image(images++, im, ctl, s) == Next::kStop) return *result;
                ctl = Control{};
                break;
            }
            default: return 1;
        }
    }
}

bool skip_image(Source& s, const Image& im) {
    if ((im.flags & 0x80) && !s.read(nullptr, 3u * (2u << (im.flags & 7)))) return false;
    return s.byte() >= 0 && s.skip_blocks();
}

// Codes of growing width, least significant bit first, across the data sub-blocks.
struct CodeReader {
    Source& s;
    U32 bits = 0;
    int nbits = 0, left = 0;
    bool ended = false;
    int read(int width) {
        while (nbits < width) {
            if (left == 0) {
                const int k = ended ? 0 : s.byte();
                if (k <= 0) {
                    ended = true;
                    return -1;
                }
                left = k;
            }
            const int b = s.byte();
            if (b < 0) return -1;
            --left;
            bits |= static_cast<U32>(b) << nbits;
            nbits += 8;
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        nbits -= width;
        return code;
    }
    // The rest of the data up to the terminating empty sub-block.
    bool finish() {
        if (ended) return true;
        if (left && !s.read(nullptr, static_cast<U32>(left))) return false;
        return s.skip_blocks();
    }
};

struct Drawer {
    int x0, y0, xsize, ysize;
    bool interlaced;
    int transparent, disposal;
    const LCD_PIXELINDEX* conv;
    LCD_PIXELINDEX background;
    std::vector<U8> row;
    int col = 0, rows_done = 0, pass = 0, y = 0;

    void draw_row() {
        for (int x = 0; x < xsize;) {
            int e = x + 1;
            while (e < xsize && row[static_cast<size_t>(e)] == row[static_cast<size_t>(x)]) ++e;
            const int v = row[static_cast<size_t>(x)];
            if (v != transparent || disposal == 2) {
                GUI_Context.LCD.aColorIndex32[1] = v == transparent ? background : conv[v];
                if (e - x > 1)
                    LCD_DrawHLine(x0 + x, y0 + y, x0 + e - 1);
                else
                    LCD_DrawPixel(x0 + x, y0 + y);
            }
            x = e;
        }
    }
    void next_row() {
        ++rows_done;
        if (!interlaced) {
            ++y;
            return;
        }
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        y += step[pass];
        while (y >= ysize && ++pass < 4) y = start[pass];
    }
    bool full() const { return rows_done >= ysize; }
    void put(U8 v) {
        if (full()) return;
        row[static_cast<size_t>(col)] = v;
        if (++col == xsize) {
            draw_row();
            col = 0;
            next_row();
        }
    }
};

// Decodes the image data into `d`; 0, or 1 for a broken stream.
int decode(Source& s, Drawer& d, int num_colours) {
    const int min = s.byte();
    if (min < 1 || min > 8) return 1;
    const int clear = 1 << min, end = clear + 1;
    static thread_local U16 prefix[kMaxCodes];
    static thread_local U8 suffix[kMaxCodes];
    static thread_local U8 stack[kMaxCodes + 1];
    for (int i = 0; i < clear; ++i) suffix[i] = static_cast<U8>(i);
    CodeReader in{s};
    int width = min + 1, next = clear + 2, old = -1;
    U8 first = 0;
    if (d.xsize == 0 || d.ysize == 0) return in.finish() ? 0 : 1;
    while (!d.full()) {
        int code = in.read(width);
        if (code < 0) return 1;  // the data ended early
        if (code == clear) {
            width = min + 1;
            next = clear + 2;
            old = -1;
            continue;
        }
        if (code == end) break;
        if (code > next || (old < 0 && code >= clear)) return 1;  // beyond the next free code
        const int in_code = code;
        int sp = 0;
        if (code == next) {
            stack[sp++] = first;
            code = old;
        }
        while (code >= clear) {
            if (sp >= kMaxCodes) return 1;
            stack[sp++] = suffix[code];
            code = prefix[code];
        }
        first = suffix[code];
        stack[sp++] = first;
        if (old >= 0 && next < kMaxCodes) {
            prefix[next] = static_cast<U16>(old);
            suffix[next] = first;
            if (++next == (1 << width) && width < 12) ++width;
        }
        old = in_code;
        while (sp > 0) {
            const U8 v = stack[--sp];
            if (v >= num_colours) return 1;
            d.put(v);
        }
    }
    return in.finish() ? 0 : 1;
}

int draw_image(Source& s, const Screen& sc, const Image& im, const Control& ctl, int x0, int y0) {
    GUI_COLOR local[256];
    const GUI_COLOR* table = sc.global;
    int n = sc.num_global;
    if (im.flags & 0x80) {
        n = 2 << (im.flags & 7);
        if (!read_table(s, n, local)) return 1;
        table = local;
    }
    LCD_PIXELINDEX conv[256] = {};
    for (int i = 0; i < n; ++i) conv[i] = LCD_Color2Index(table[i]);
    const U32 saved[2] = {GUI_Context.LCD.aColorIndex32[0], GUI_Context.LCD.aColorIndex32[1]};
    const LCD_PIXELINDEX background =
        LCD_Color2Index(sc.num_global > sc.background ? sc.global[sc.background] : 0);
    if (ctl.disposal == 2) {
        // The screen area around the image gets the background.
        GUI_Context.LCD.aColorIndex32[1] = background;
        const int sx1 = x0 + sc.xsize - 1, sy1 = y0 + sc.ysize - 1;
        const int ix0 = x0 + im.x, iy0 = y0 + im.y, ix1 = ix0 + im.xsize - 1, iy1 = iy0 + im.ysize - 1;
        LCD_FillRect(x0, y0, sx1, iy0 - 1);
        LCD_FillRect(x0, iy1 + 1, sx1, sy1);
        LCD_FillRect(x0, iy0 > y0 ? iy0 : y0, ix0 - 1, iy1 < sy1 ? iy1 : sy1);
        LCD_FillRect(ix1 + 1, iy0 > y0 ? iy0 : y0, sx1, iy1 < sy1 ? iy1 : sy1);
    }
    Drawer d{x0 + im.x, y0 + im.y, im.xsize, im.ysize, (im.flags & 0x40) != 0, ctl.transparent, ctl.disposal,
             conv, background, std::vector<U8>(static_cast<size_t>(im.xsize))};
    const int r = decode(s, d, n);
    GUI_Context.LCD.aColorIndex32[0] = saved[0];
    GUI_Context.LCD.aColorIndex32[1] = saved[1];
    return r;
}

Next skip_comment(int, Source& s) { return s.skip_blocks() ? Next::kGoOn : Next::kStop; }
}  // namespace

int GUI_GIF_GetXSize(const void* pGIF) {
    const U8* p = static_cast<const U8*>(pGIF);
    return p ? p[6] | (p[7] << 8) : 0;
}

int GUI_GIF_GetYSize(const void* pGIF) {
    const U8* p = static_cast<const U8*>(pGIF);
    return p ? p[8] | (p[9] << 8) : 0;
}

int GUI_GIF_GetInfo(const void* pGIF, U32 NumBytes, GUI_GIF_INFO* pInfo) {
    Source s{static_cast<const U8*>(pGIF), pGIF ? NumBytes : 0};
    Screen sc;
    if (!read_screen(s, sc)) return 1;
    int count = 0, result = 1;
    const int r = walk(
        s, &result,
        [&](int, const Image& im, const Control&, Source& src) {
            ++count;
            return skip_image(src, im) ? Next::kGoOn : Next::kStop;
        },
        skip_comment);
    if (r) return 1;
    if (pInfo) *pInfo = {sc.xsize, sc.ysize, count};
    return 0;
}

int GUI_GIF_GetImageInfo(const void* pGIF, U32 NumBytes, GUI_GIF_IMAGE_INFO* pInfo, int Index) {
    Source s{static_cast<const U8*>(pGIF), pGIF ? NumBytes : 0};
    Screen sc;
    if (!read_screen(s, sc)) return 1;
    int result = 1;
    walk(
        s, &result,
        [&](int i, const Image& im, const Control& ctl, Source& src) {
            if (i == Index) {
                if (pInfo) *pInfo = {im.x, im.y, im.xsize, im.ysize, ctl.delay};
                result = 0;
                return Next::kStop;
            }
            return skip_image(src, im) ? Next::kGoOn : Next::kStop;
        },
        skip_comment);
    return result;
}

int GUI_GIF_GetComment(const void* pGIF, U32 NumBytes, U8* pBuffer, int MaxSize, int Index) {
    Source s{static_cast<const U8*>(pGIF), pGIF ? NumBytes : 0};
    Screen sc;
    if (!read_screen(s, sc)) return 1;
    int result = 1;
    walk(
        s, &result,
        [&](int, const Image& im, const Control&, Source& src) {
            return skip_image(src, im) ? Next::kGoOn : Next::kStop;
        },
        [&](int i, Source& src) {
            if (i != Index) return skip_comment(i, src);
            int used = 0;
            for (;;) {
                const int k = src.byte();
                if (k <= 0) {
                    result = k == 0 ? 0 : 1;
                    return Next::kStop;
                }
                for (int j = 0; j < k; ++j) {
                    const int c = src.byte();
                    if (c < 0) return Next::kStop;
                    if (pBuffer && used < MaxSize) pBuffer[used++] = static_cast<U8>(c);
                }
            }
        });
    return result;
}

int GUI_GIF_DrawEx(const void* pGIF, U32 NumBytes, int x0, int y0, int Index) {
    Source s{static_cast<const U8*>(pGIF), pGIF ? NumBytes : 0};
    Screen sc;
    if (!read_screen(s, sc)) return 1;
    int result = 1;
    const int r = walk(
        s, &result,
        [&](int i, const Image& im, const Control& ctl, Source& src) {
            if (i == Index) {
                result = draw_image(src, sc, im, ctl, x0, y0);
                return Next::kStop;
            }
            if (skip_image(src, im)) return Next::kGoOn;
            return Next::kStop;
        },
        skip_comment);
    return r;
}

int GUI_GIF_Draw(const void* pGIF, U32 NumBytes, int x0, int y0) { return GUI_GIF_DrawEx(pGIF, NumBytes, x0, y0, 0); }
