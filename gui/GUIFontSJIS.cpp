// The font's line reader: a byte above 0x7F and the byte after it form one code.
#include "gui/GUI.h"

namespace {

bool is_lead(char b) { return static_cast<unsigned char>(b) > 0x7F; }

// Code of the character at s and its length; a lead byte right before the
// terminator stands alone so that nothing past the string is read.
U16 read_char(const char* s, int* pSize) {
  U8 b0 = static_cast<U8>(s[0]);
  if (is_lead(s[0]) && s[1]) {
    *pSize = 2;
    return U16((b0 << 8) | static_cast<U8>(s[1]));
  }
  *pSize = 1;
  return b0;
}

int _GetLineDistX_SJIS(const char* s, int Len) {
  if (!s) return 0;
  int Dist = 0;
  while (Len > 0 && *s) {
    int Size;
    U16 c = read_char(s, &Size);
    Dist += GUI_GetCharDistX(c);
    s += Size;
    Len -= Size;
  }
  return Dist;
}

int _GetLineLen_SJIS(const char* s, int MaxLen) {
  if (!s || MaxLen < 1) return 0;
  int Len = 0;
  while (Len < MaxLen && s[Len] && s[Len] != '\n') {
    int Size;
    read_char(s + Len, &Size);
    Len += Size;  // a double-byte character is never split
  }
  return Len;
}

void _DispLine_SJIS(const char* s, int Len) {
  while (Len > 0 && *s) {
    int Size;
    U16 c = read_char(s, &Size);
    GL_DispChar(c);
    s += Size;
    Len -= Size;
  }
}

}  // namespace

extern const tGUI_ENC_APIList GUI_ENC_APIList_SJIS = {
    _GetLineDistX_SJIS,
    _GetLineLen_SJIS,
    _DispLine_SJIS,
};
