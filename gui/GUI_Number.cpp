// Number formatting: decimal with sign, width and decimal separator, floats,
// hexadecimal and binary. Widths are clamped so the fixed buffers never overrun.
#include <cmath>
#include <cstdint>

#include "gui/GUI.h"

const I32 GUI_Pow10[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

namespace {
constexpr int kMaxDigits = 9;
// Sign, nine digits, separator, terminator, with room to spare.
constexpr int kDecBuffer = 16;

std::int64_t magnitude(I32 v) { return v < 0 ? -static_cast<std::int64_t>(v) : v; }
}  // namespace

int GUI_Long2Len(I32 v) {
    int len = v < 0 ? 1 : 0;
    const std::int64_t m = magnitude(v);
    int digits = 1;
    while (digits < kMaxDigits && m >= GUI_Pow10[digits]) ++digits;
    return len + digits;
}

void GUI_AddDecShift(I32 v, U8 Len, U8 Shift, char** ps) {
    char* s = *ps;
    int n = Len;
    std::int64_t m = v;
    if (v < 0) {
        *s++ = '-';
        --n;
        m = -m;
    }
    if (Shift) --n;
    if (n < 0) n = 0;
    if (n > kMaxDigits) n = kMaxDigits;
    const int shift = Shift > n ? n : Shift;
    // Too large for the digits: all nines.
    if (m >= GUI_Pow10[n]) m = GUI_Pow10[n] - 1;
    for (int i = n - 1; i >= 0; --i) {
        if (Shift && i == shift - 1) *s++ = GUI_DecChar;
        *s++ = static_cast<char>('0' + (m / GUI_Pow10[i]) % 10);
    }
    if (Shift && shift == 0) *s++ = GUI_DecChar;
    *s = 0;
    *ps = s;
}
void GUI_AddDec(I32 v, U8 Len, char** ps) { GUI_AddDecShift(v, Len, 0, ps); }
void GUI_AddDecMin(I32 v, char** ps) { GUI_AddDecShift(v, static_cast<U8>(GUI_Long2Len(v)), 0, ps); }
I32 GUI_AddSign(I32 v, char** ps) {
    char* s = *ps;
    *s++ = v < 0 ? '-' : '+';
    *s = 0;
    *ps = s;
    const std::int64_t m = magnitude(v);
    return m > INT32_MAX ? INT32_MAX : static_cast<I32>(m);
}
void GUI_AddHex(U32 v, U8 Len, char** ps) {
    char* s = *ps;
    if (Len <= 8) {
        for (int i = Len - 1; i >= 0; --i) *s++ = "0123456789ABCDEF"[(v >> (4 * i)) & 15];
    }
    *s = 0;
    *ps = s;
}
void GUI__AddSpaceHex(U32 v, U8 Len, char** ps) {
    char* s = *ps;
    *s++ = ' ';
    *ps = s;
    GUI_AddHex(v, Len, ps);
}
void GUI_AddBin(U32 v, U8 Len, char** ps) {
    char* s = *ps;
    const int n = Len > 32 ? 32 : Len;
    for (int i = n - 1; i >= 0; --i) *s++ = static_cast<char>('0' + ((v >> i) & 1));
    *s = 0;
    *ps = s;
}

namespace {
void show_dec_shift(I32 v, U8 Len, U8 Shift, bool sign) {
    char buffer[kDecBuffer];
    char* s = buffer;
    if (sign) {
        v = GUI_AddSign(v, &s);
        if (Len) --Len;
    }
    GUI_AddDecShift(v, Len, Shift, &s);
    GUI_DispString(buffer);
}

// Not a number has no size: it shows as too large, like +infinity, which
// the clamps below turn into all nines.
float sized(float f) { return std::isnan(f) ? HUGE_VALF : f; }

// f x 10^decs + 0.5, rounded down, in single precision.
I32 fixed(float f, int decs) {
    float scaled = sized(f);
    for (int i = 0; i < decs; ++i) scaled *= 10.0f;
    const float r = std::floor(scaled + 0.5f);
    if (!(r > -2147483648.0f)) return INT32_MIN + 1;
    if (!(r < 2147483647.0f)) return INT32_MAX;
    return static_cast<I32>(r);
}
int clamp_decs(int decs) { return decs < 0 ? 0 : (decs > kMaxDigits ? kMaxDigits : decs); }
int int_part_len(float f) {
    f = sized(f);
    const float t = std::trunc(f);
    const I32 i = t >= 2147483647.0f ? INT32_MAX : (t <= -2147483648.0f ? INT32_MIN + 1 : static_cast<I32>(t));
    return GUI_Long2Len(i) + ((f > -1.0f && f < 0.0f) ? 1 : 0);
}
U8 len8(int n) { return static_cast<U8>(n < 0 ? 0 : (n > 255 ? 255 : n)); }
}  // namespace

void GUI_DispDecMin(I32 v) {
    char buffer[kDecBuffer];
    char* s = buffer;
    GUI_AddDecMin(v, &s);
    GUI_DispString(buffer);
}
void GUI_DispDec(I32 v, U8 Len) { show_dec_shift(v, Len, 0, false); }
void GUI_DispDecAt(I32 v, I16 x, I16 y, U8 Len) {
    char buffer[kDecBuffer];
    char* s = buffer;
    GUI_AddDec(v, Len, &s);
    GUI_DispStringAt(buffer, x, y);
}
void GUI_DispSDec(I32 v, U8 Len) { show_dec_shift(v, Len, 0, true); }
void GUI_DispDecShift(I32 v, U8 Len, U8 Shift) { show_dec_shift(v, Len, Shift, false); }
void GUI_DispSDecShift(I32 v, U8 Len, U8 Shift) { show_dec_shift(v, Len, Shift, true); }
void GUI_DispDecSpace(I32 v, U8 MaxDigits) {
    char buffer[kDecBuffer + 4];
    char* s = buffer;
    int field = MaxDigits - 1;  // characters in all, the '-' included
    if (field > kMaxDigits + 1) field = kMaxDigits + 1;
    int len = GUI_Long2Len(v);
    if (v < 0) {
        *s++ = '-';
        --len;
        --field;
    }
    for (int i = len; i < field; ++i) *s++ = ' ';
    const std::int64_t m = magnitude(v);
    GUI_AddDecMin(m > INT32_MAX ? INT32_MAX : static_cast<I32>(m), &s);
    GUI_DispString(buffer);
}
void GUI_DispFloatFix(float f, char Len, char Decs) {
    const int decs = clamp_decs(Decs);
    show_dec_shift(fixed(f, decs), len8(Len), static_cast<U8>(decs), false);
}
void GUI_DispSFloatFix(float f, char Len, char Decs) {
    const int decs = clamp_decs(Decs);
    show_dec_shift(fixed(f, decs), len8(Len), static_cast<U8>(decs), true);
}
void GUI_DispFloatMin(float f, char Decs) {
    const int decs = clamp_decs(Decs);
    const int n = int_part_len(f) + decs + (decs ? 1 : 0);
    show_dec_shift(fixed(f, decs), len8(n), static_cast<U8>(decs), false);
}
void GUI_DispSFloatMin(float f, char Decs) {
    const int decs = clamp_decs(Decs);
    const int n = int_part_len(f) + decs + (decs ? 1 : 0) + 1;
    show_dec_shift(fixed(f, decs), len8(n), static_cast<U8>(decs), true);
}
void GUI_DispFloat(float f, char Len) {
    int decs = Len - 1 - int_part_len(f);
    if (decs < 0) decs = 0;
    GUI_DispFloatFix(f, Len, static_cast<char>(decs));
}
void GUI_DispHex(U32 v, U8 Len) {
    char buffer[12];
    char* s = buffer;
    GUI_AddHex(v, Len, &s);
    GUI_DispString(buffer);
}
void GUI_DispHexAt(U32 v, I16 x, I16 y, U8 Len) {
    char buffer[12];
    char* s = buffer;
    GUI_AddHex(v, Len, &s);
    GUI_DispStringAt(buffer, x, y);
}
void GUI_DispBin(U32 v, U8 Len) {
    char buffer[36];
    char* s = buffer;
    GUI_AddBin(v, Len, &s);
    GUI_DispString(buffer);
}
void GUI_DispBinAt(U32 v, I16 x, I16 y, U8 Len) {
    char buffer[36];
    char* s = buffer;
    GUI_AddBin(v, Len, &s);
    GUI_DispStringAt(buffer, x, y);
}
