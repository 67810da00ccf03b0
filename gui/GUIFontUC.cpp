// The library's general character readers (one byte per character, or UTF-8)
// and the operations over the reader selected in the context.
#include "gui/GUI.h"

namespace {

U16 none_get_code(const char* s) { return static_cast<U8>(*s); }
int none_get_size(const char*) { return 1; }
int none_calc_size(U16) { return 1; }
int none_encode(char* s, U16 c) {
  *s = static_cast<char>(c & 0xFF);
  return 1;
}

int utf8_get_size(const char* s) {
  U8 b = static_cast<U8>(*s);
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return 2;
  if ((b & 0xF0) == 0xE0) return 3;
  return 1;
}
U16 utf8_get_code(const char* s) {
  const U8* u = reinterpret_cast<const U8*>(s);
  if (u[0] < 0x80) return u[0];
  if ((u[0] & 0xE0) == 0xC0) return U16(((u[0] & 0x1F) << 6) | (u[1] & 0x3F));
  if ((u[0] & 0xF0) == 0xE0) return U16(((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F));
  return 1;  // invalid lead byte
}
int utf8_calc_size(U16 c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; }
int utf8_encode(char* s, U16 c) {
  int n = utf8_calc_size(c);
  if (n == 1) {
    s[0] = static_cast<char>(c);
  } else if (n == 2) {
    s[0] = static_cast<char>(0xC0 | (c >> 6));
    s[1] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s[0] = static_cast<char>(0xE0 | (c >> 12));
    s[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s[2] = static_cast<char>(0x80 | (c & 0x3F));
  }
  return n;
}

}  // namespace

extern const GUI_UC_ENC_APILIST GUI_UC_None = {none_get_code, none_get_size, none_calc_size,
                                               none_encode};
extern const GUI_UC_ENC_APILIST GUI_UC_UTF8 = {utf8_get_code, utf8_get_size, utf8_calc_size,
                                               utf8_encode};

void GUI_UC_SetEncodeNone(void) { GUI_Context.pUC_API = &GUI_UC_None; }
void GUI_UC_SetEncodeUTF8(void) { GUI_Context.pUC_API = &GUI_UC_UTF8; }

U16 GUI_UC_GetCharCode(const char* s) { return GUI_Context.pUC_API->pfGetCharCode(s); }
int GUI_UC_GetCharSize(const char* s) { return GUI_Context.pUC_API->pfGetCharSize(s); }
int GUI_UC__CalcSizeOfChar(U16 c) { return GUI_Context.pUC_API->pfCalcSizeOfChar(c); }
int GUI_UC_Encode(char* s, U16 c) { return GUI_Context.pUC_API->pfEncode(s, c); }

U16 GUI_UC__GetCharCodeInc(const char** ps) {
  const char* s = *ps;
  U16 c = GUI_UC_GetCharCode(s);
  *ps = s + GUI_UC_GetCharSize(s);
  return c;
}

int GUI_UC__NumChars2NumBytes(const char* s, int NumChars) {
  int Bytes = 0;
  while (NumChars-- > 0) {
    int n = GUI_UC_GetCharSize(s);
    s += n;
    Bytes += n;
  }
  return Bytes;
}

int GUI_UC__NumBytes2NumChars(const char* s, int NumBytes) {
  int Chars = 0;
  while (NumBytes > 0) {
    int n = GUI_UC_GetCharSize(s);
    s += n;
    NumBytes -= n;
    ++Chars;
  }
  return Chars;
}

int GUI__GetNumChars(const char* s) {
  if (!s) return 0;
  int n = 0;
  while (GUI_UC__GetCharCodeInc(&s)) ++n;
  return n;
}

int GUI_UC_ConvertUC2UTF8(const U16* s, int Len, char* pBuffer, int BufferSize) {
  int Written = 0;
  for (int i = 0; i < Len; ++i) {
    int n = GUI_UC__CalcSizeOfChar(s[i]);
    if (Written + n > BufferSize) break;
    Written += GUI_UC_Encode(pBuffer + Written, s[i]);
  }
  return Written;
}

int GUI_UC_ConvertUTF82UC(const char* s, int Len, U16* pBuffer, int BufferSize) {
  int n = 0;
  const char* end = s + Len;
  while (s < end && n < BufferSize) pBuffer[n++] = GUI_UC__GetCharCodeInc(&s);
  return n;
}

// Two bytes for any 16-bit code with neither byte pattern ambiguous: 0xE0 marks a
// one-byte code, 0xE1 a code whose low byte is 0.
void GUI_UC2DB(U16 Code, U8* pOut) {
  U8 hi = U8(Code >> 8), lo = U8(Code & 0xFF);
  if (Code == 0) {
    pOut[0] = 0;
    pOut[1] = 0;
  } else if (Code < 0x100) {
    pOut[0] = 0xE0;
    pOut[1] = lo;
  } else if (lo) {
    pOut[0] = hi;
    pOut[1] = lo;
  } else {
    pOut[0] = 0xE1;
    pOut[1] = hi;
  }
}

U16 GUI_DB2UC(U8 Byte0, U8 Byte1) {
  if (Byte0 == 0) return 0;
  if (Byte0 == 0xE0) return Byte1;
  if (Byte0 == 0xE1) return U16(Byte1 << 8);
  return U16((Byte0 << 8) | Byte1);
}
