// Text output: strings at a position and in rectangles, word wrapping, single
// characters and the per-character style hook.
#include <algorithm>
#include <cstring>

#include "gui/GUI.h"

namespace {
constexpr int kMaxChars = 32767;

const GUI_FONT* font() { return GUI_Context.pAFont; }
int ydist() { return font() ? font()->YDist : 0; }
int ysize() { return font() ? font()->YSize * font()->YMag : 0; }

// Bytes of the first n units of a line, as the line length counts them: bytes
// for a font with its own reader, characters of the general reader otherwise.
int units_to_bytes(const char* s, int n) {
    if (font() && font()->pafEncode) return n;
    return GUI_UC__NumChars2NumBytes(s, n);
}

// The size of one wrap unit at s: a double-byte character stays whole.
int wrap_unit(const char* s, U16* code) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 > 0x7F && s[1] != 0) {
        *code = 0;  // measured 0 in the line breaking
        return 2;
    }
    const int size = GUI_UC_GetCharSize(s);
    *code = GUI_UC_GetCharCode(s);
    return size < 1 ? 1 : size;
}

bool meets_clip(const GUI_RECT& r) {
    const GUI_RECT* clip = GUI_Context.pClipRect_HL;
    return !clip || GUI_RectsIntersect(&r, clip);
}

GUI_RECT make_rect(int x0, int y0, int x1, int y1) {
    auto c = [](int v) { return static_cast<I16>(std::clamp(v, -32768, 32767)); };
    return {c(x0), c(y0), c(x1), c(y1)};
}

// Draws the first n characters (a double-byte one counts once) from s.
void draw_chars(const char*& s, int n) {
    const tGUI_ENC_APIList* reader = font() ? font()->pafEncode : nullptr;
    for (int i = 0; i < n && *s; ++i) {
        if (reader && *s != '\n') {
            const int step = std::max(1, reader->pfGetLineLen(s, 1));
            reader->pfDispLine(s, 1);
            s += step;
        } else {
            GL_DispChar(GUI_UC__GetCharCodeInc(&s));
        }
    }
}

void disp_line(const char* s, int len, const GUI_RECT& r) {
    if (!meets_clip(r)) return;
    if (font() && font()->pafEncode) {
        font()->pafEncode->pfDispLine(s, len);
        return;
    }
    for (int i = 0; i < len; ++i) GL_DispChar(GUI_UC__GetCharCodeInc(&s));
}

int horizontal_x(const GUI_RECT& r, int width, int align) {
    switch (align & GUI_TA_HORIZONTAL) {
        case GUI_TA_RIGHT: return r.x1 + 1 - width;
        case GUI_TA_CENTER: return r.x0 + (r.x1 - r.x0 - width) / 2;
        default: return r.x0;
    }
}
}  // namespace

void GUI__DispCharStyle(U16, int x0) {
    const GUI_FONT* f = font();
    if (!f) return;
    const int y = GUI_Context.DispPosY, x1 = GUI_Context.DispPosX - 1;
    const int style = GUI_Context.TextStyle;
    if (style & GUI_TS_UNDERLINE) LCD_DrawHLine(x0, f->Baseline >= f->YSize ? y + f->YSize - 1 : y + f->Baseline, x1);
    if (style & GUI_TS_STRIKETHRU) LCD_DrawHLine(x0, y + f->Baseline - (f->CHeight + 1) / 2, x1);
    if (style & GUI_TS_OVERLINE) LCD_DrawHLine(x0, y + std::max(0, f->Baseline - 1 - f->CHeight), x1);
}

void GL_DispChar(U16 c) {
    if (c == '\n') {
        GUI_Context.DispPosX = GUI_Context.LBorder;
        GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY + ydist());
        return;
    }
    if (c == '\r' || !font()) return;
    const int x0 = GUI_Context.DispPosX;
    font()->pfDispChar(c);
    if (GUI_pfDispCharStyle) GUI_pfDispCharStyle(c, x0);
}

void GUI_DispChar(U16 c) { GL_DispChar(c); }
void GUI_DispCharAt(U16 c, I16 x, I16 y) {
    GUI_GotoXY(x, y);
    GL_DispChar(c);
}
void GUI_DispChars(U16 c, int n) {
    for (int i = 0; i < n; ++i) GL_DispChar(c);
}

int GUI_GetYAdjust() {
    switch (GUI_Context.TextAlign & GUI_TA_VERTICAL) {
        case GUI_TA_BOTTOM: return ysize() - 1;
        case GUI_TA_BASELINE:
        case GUI_TA_VCENTER: return ysize() / 2;
        default: return 0;
    }
}

int GUI__GetLineNumChars(const char* s, int MaxNumChars) {
    if (!s || !font()) return 0;
    if (font()->pafEncode) return font()->pafEncode->pfGetLineLen(s, MaxNumChars);
    int n = 0;
    while (n < MaxNumChars && *s && *s != '\n') {
        GUI_UC__GetCharCodeInc(&s);
        ++n;
    }
    return n;
}

int GUI__GetLineDistX(const char* s, int Len) {
    if (!s || !font()) return 0;
    if (font()->pafEncode) return font()->pafEncode->pfGetLineDistX(s, Len);
    int width = 0;
    for (int i = 0; i < Len && *s; ++i) width += GUI_GetCharDistX(GUI_UC__GetCharCodeInc(&s));
    return width;
}

void GUI__DispLine(const char* s, int Len, const GUI_RECT* pRect) {
    GUI_Context.DispPosX = pRect->x0;
    GUI_Context.DispPosY = pRect->y0;
    disp_line(s, Len, *pRect);
}

void GUI_DispString(const char* s) {
    if (!s || !font()) return;
    const int x_start = GUI_Context.DispPosX;
    const int yadjust = GUI_GetYAdjust();
    GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY - yadjust);
    while (*s) {
        const int len = GUI__GetLineNumChars(s, kMaxChars);
        const int width = GUI__GetLineDistX(s, len);
        int x = GUI_Context.DispPosX;
        if ((GUI_Context.TextAlign & GUI_TA_HORIZONTAL) == GUI_TA_RIGHT) x -= width;
        if ((GUI_Context.TextAlign & GUI_TA_HORIZONTAL) == GUI_TA_CENTER) x -= width / 2;
        const GUI_RECT r = make_rect(x, GUI_Context.DispPosY, x + width - 1, GUI_Context.DispPosY + ydist() - 1);
        GUI__DispLine(s, len, &r);
        GUI_Context.DispPosY = r.y0;
        const int bytes = units_to_bytes(s, len);
        s += bytes;
        if (*s == '\n' || *s == '\r') {
            GUI_Context.DispPosX = static_cast<I16>(
                (GUI_Context.TextAlign & GUI_TA_HORIZONTAL) ? x_start : GUI_Context.LBorder);
            if (*s == '\n') GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY + ydist());
            ++s;
        } else {
            GUI_Context.DispPosX = static_cast<I16>(r.x0 + width);
            if (bytes == 0 && *s) ++s;  // nothing measurable: step on so the loop ends
        }
    }
    GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY + yadjust);
    GUI_Context.TextAlign = static_cast<I16>(GUI_Context.TextAlign & ~GUI_TA_HORIZONTAL);
}

void GUI_DispStringAt(const char* s, int x, int y) {
    const I16 x_old = GUI_Context.DispPosX, y_old = GUI_Context.DispPosY;
    GUI_GotoXY(x, y);
    GUI_DispString(s);
    GUI_Context.DispPosX = x_old;
    GUI_Context.DispPosY = y_old;
}

void GUI_DispCEOL() {
    const int y = GUI_Context.DispPosY - GUI_GetYAdjust();
    GUI_ClearRect(GUI_Context.DispPosX, y, 4000, y + ydist() - 1);
}
void GUI_DispStringAtCEOL(const char* s, int x, int y) {
    GUI_DispStringAt(s, x, y);
    GUI_DispCEOL();
}
void GUI_DispStringHCenterAt(const char* s, int x, int y) {
    const int old = GUI_Context.TextAlign;
    GUI_Context.TextAlign = static_cast<I16>((old & ~GUI_TA_HORIZONTAL) | GUI_TA_CENTER);
    GUI_DispStringAt(s, x, y);
    GUI_Context.TextAlign = static_cast<I16>(old);
}
void GUI_DispStringLen(const char* s, int n) {
    int drawn = 0;
    if (s) {
        while (drawn < n && *s) {
            draw_chars(s, 1);
            ++drawn;
        }
    }
    for (; drawn < n; ++drawn) GL_DispChar(' ');
}

int GUI_GetStringDistX(const char* s) {
    if (!s || !font()) return 0;
    const int len = font()->pafEncode ? static_cast<int>(std::strlen(s)) : GUI__GetNumChars(s);
    return GUI__GetLineDistX(s, len);
}

void GUI_GetTextExtend(GUI_RECT* pRect, const char* s, int MaxNumChars) {
    if (!pRect) return;
    const int x0 = GUI_Context.DispPosX, y0 = GUI_Context.DispPosY;
    int widest = 0, lines = 0;
    while (s && *s && MaxNumChars > 0) {
        const int len = GUI__GetLineNumChars(s, MaxNumChars);
        widest = std::max(widest, GUI__GetLineDistX(s, len));
        ++lines;
        s += units_to_bytes(s, len);
        MaxNumChars -= std::max(len, 1);
        if (*s == '\n') {
            ++s;
            --MaxNumChars;
        } else if (len == 0) {
            break;
        }
    }
    *pRect = make_rect(x0, y0, x0 + widest - 1, y0 + lines * ysize() - 1);
}

void GUI__CalcTextRect(const char* s, const GUI_RECT* pRect, GUI_RECT* pOut, int align) {
    if (!pRect || !pOut) return;
    if (!s) {
        *pOut = *pRect;
        return;
    }
    const int width = GUI__GetLineDistX(s, GUI__GetLineNumChars(s, kMaxChars));
    int x = pRect->x0;
    if ((align & GUI_TA_HORIZONTAL) == GUI_TA_RIGHT) x = pRect->x1 + 1 - width;
    if ((align & GUI_TA_HORIZONTAL) == GUI_TA_CENTER) x = pRect->x0 + (pRect->x1 + 1 - pRect->x0 - width) / 2;
    int y = pRect->y0;
    if ((align & GUI_TA_VERTICAL) == GUI_TA_BOTTOM) y = pRect->y1 + 1 - ydist();
    if ((align & GUI_TA_VERTICAL) == GUI_TA_VCENTER) y = pRect->y0 + (pRect->y1 + 1 - pRect->y0 - ydist()) / 2;
    *pOut = make_rect(x, y, x + width - 1, y + ydist() - 1);
}

int GUI__HandleEOLine(const char** ps) {
    if (**ps == '\n') {
        ++*ps;
        return 0;
    }
    return **ps == 0 ? 1 : 0;
}

void GUI__DispStringInRect(const char* s, GUI_RECT* pRect, int TextAlign, int MaxNumChars) {
    if (!s || !font()) return;
    GUI_RECT r;
    if (pRect)
        r = *pRect;
    else
        GUI_GetClientRect(&r);
    int y = r.y0;
    if (TextAlign & GUI_TA_VERTICAL) {
        int lines = 1;
        for (int i = 0; s[i] && i < MaxNumChars; ++i)
            if (s[i] == '\n') ++lines;
        if ((TextAlign & GUI_TA_VERTICAL) == GUI_TA_VCENTER)
            y = r.y0 + (r.y1 + 1 - r.y0 - lines * ydist()) / 2;
        else
            y = r.y1 + 1 - lines * ydist();
    }
    while (MaxNumChars > 0) {
        const int len = GUI__GetLineNumChars(s, MaxNumChars);
        const int width = GUI__GetLineDistX(s, len);
        const int x = horizontal_x(r, width, TextAlign);
        const GUI_RECT line = make_rect(x, y, x + width - 1, y + ydist() - 1);
        GUI__DispLine(s, len, &line);
        s += units_to_bytes(s, len);
        MaxNumChars -= len;
        y += ydist();
        if (*s != '\n' && *s != 0) break;  // the character limit ended the line
        if (GUI__HandleEOLine(&s)) break;
        --MaxNumChars;
    }
}

void GUI_DispStringInRect(const char* s, GUI_RECT* pRect, int align) {
    GUI_DispStringInRectMax(s, pRect, align, kMaxChars);
}
void GUI_DispStringInRectMax(const char* s, GUI_RECT* pRect, int align, int MaxLen) {
    if (!s) return;
    const LCD_RECT old = GUI_Context.ClipRect;
    if (pRect) GUI__IntersectRect(&GUI_Context.ClipRect, pRect);
    GUI__DispStringInRect(s, pRect, align, MaxLen);
    GUI_Context.ClipRect = old;
}

// ---------------------------------------------------------------- word wrapping

namespace {
int wrap_chars_disp(const char* s, int width, int wrap, int* used) {
    if (wrap == GUI_WRAPMODE_NONE) {
        if (used) *used = 0;
        return GUI__GetLineNumChars(s, kMaxChars);
    }
    int total = 0, chars = 0, brk = 0;
    char marker = s[0];
    const char* p = s;
    while (*p && *p != '\n') {
        U16 code = 0;
        const int size = wrap_unit(p, &code);
        if (wrap == GUI_WRAPMODE_WORD) {
            // The break point moves to a blank before the overflow test: a line that fits stays whole.
            if (code == ' ') {
                brk = chars;
            } else if (marker == ' ') {
                brk = chars;
                marker = p[size];
            }
        }
        const int advance = code ? GUI_GetCharDistX(code) : 0;
        if (total + advance > width && chars > 0) {
            if (used) *used = total;
            return (wrap == GUI_WRAPMODE_WORD && brk) ? brk : chars;
        }
        total += advance;
        chars += size;
        p += size;
    }
    if (used) *used = total;
    return chars;
}
}  // namespace

int GUI__WrapGetNumCharsDisp(const char* s, int xSize, int wrap) {
    return s ? wrap_chars_disp(s, xSize, wrap, nullptr) : 0;
}
int GUI__WrapGetNumCharsToNextLine(const char* s, int xSize, int wrap) {
    if (!s) return 0;
    int used = 0;
    int n = wrap_chars_disp(s, xSize, wrap, &used);
    const char* p = s + n;
    if (*p == '\n') return n + 1;
    if (wrap == GUI_WRAPMODE_WORD) {
        while (*p == ' ' && used <= xSize) {
            used += GUI_GetCharDistX(' ');
            ++n;
            ++p;
        }
    }
    return n;
}
int GUI__WrapGetNumBytesToNextLine(const char* s, int xSize, int wrap) {
    // Wrap counts are single bytes (the one-byte reader), so they are already bytes.
    return GUI__WrapGetNumCharsToNextLine(s, xSize, wrap);
}

void GUI_DispStringInRectWrap(const char* s, GUI_RECT* pRect, int align, int wrap) {
    if (!s || !pRect || !font()) return;
    const int xsize = pRect->x1 + 1 - pRect->x0;
    int y = pRect->y0;
    if (align & GUI_TA_VERTICAL) {
        int lines = 0;
        for (const char* p = s;;) {
            const int b = GUI__WrapGetNumBytesToNextLine(p, xsize, wrap);
            if (b == 0) break;
            p += b;
            ++lines;
        }
        if ((align & GUI_TA_VERTICAL) == GUI_TA_VCENTER)
            y = pRect->y0 + (pRect->y1 + 1 - pRect->y0 - ydist() * lines) / 2;
        else
            y = pRect->y1 + 1 - ydist() * lines;
    }
    const LCD_RECT old = GUI_Context.ClipRect;
    GUI_SetClipRect(pRect);
    while (*s) {
        const int n = GUI__WrapGetNumCharsDisp(s, xsize, wrap);
        const int width = GUI__GetLineDistX(s, n);
        const int x = horizontal_x(*pRect, width, align);
        const GUI_RECT line = make_rect(x, y, x + width - 1, y + ydist() - 1);
        GUI__DispLine(s, n, &line);
        const int step = GUI__WrapGetNumBytesToNextLine(s, xsize, wrap);
        if (step < 1) break;
        s += step;
        y += ydist();
    }
    GUI_Context.ClipRect = old;
}

void GUI_UC_DispString(const U16* s) {
    if (!s || !font()) return;
    const int yadjust = GUI_GetYAdjust();
    GUI_Context.DispPosY = static_cast<I16>(GUI_Context.DispPosY - yadjust);
    int width = 0;
    for (int i = 0; s[i] && i < kMaxChars; ++i) width += GUI_GetCharDistX(s[i]);
    if ((GUI_Context.TextAlign & GUI_TA_HORIZONTAL) == GUI_TA_RIGHT) GUI_Context.DispPosX -= width;
    if ((GUI_Context.TextAlign & GUI_TA_HORIZONTAL) == GUI_TA_CENTER) GUI_Context.DispPosX -= width / 2;
    const GUI_RECT r = make_rect(GUI_Context.DispPosX, GUI_Context.DispPosY, GUI_Context.DispPosX + width - 1,
                                 GUI_Context.DispPosY + ydist() - 1);
    const I16 y0 = GUI_Context.DispPosY;
    if (meets_clip(r))
        for (int i = 0; s[i] && i < kMaxChars; ++i) GL_DispChar(s[i]);
    GUI_Context.DispPosY = static_cast<I16>(y0 + yadjust);
    GUI_Context.TextAlign = static_cast<I16>(GUI_Context.TextAlign & ~GUI_TA_HORIZONTAL);
}
