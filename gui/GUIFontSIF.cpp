// Fonts loaded from a font image ("GUIP" header, little-endian): linked with
// the library, unused by the system.
#include "gui/GUI.h"

namespace {

constexpr int kHeaderSize = 16;
constexpr int kAreaSize = 4;
constexpr int kCharInfoSize = 12;

struct SifChar {
  U16 XSize, XDist, BytesPerLine;
  U32 OffData;
};

bool read_char(const GUI_FONT* pFont, U16 c, SifChar* pc) {
  const U8* p = GUI_SIF__GetpCharInfo(pFont, c);
  if (!p) return false;
  pc->XSize = GUI__Read16(&p);
  pc->XDist = GUI__Read16(&p);
  pc->BytesPerLine = GUI__Read16(&p);
  GUI__Read16(&p);  // Dummy
  pc->OffData = GUI__Read32(&p);
  return true;
}

void _GUI_SIF_DispChar(U16 c) {
  const GUI_FONT* pFont = GUI_Context.pAFont;
  SifChar ch;
  if (!read_char(pFont, c, &ch)) return;
  LCD_DRAWMODE OldMode = LCD_SetDrawMode(GUI_Context.TextMode);
  if (GUI_MoveRTL) GUI_Context.DispPosX = I16(GUI_Context.DispPosX - ch.XDist);
  const U8* pData = static_cast<const U8*>(pFont->p.pFontData) + ch.OffData;
  LCD_DrawBitmap(GUI_Context.DispPosX, GUI_Context.DispPosY, ch.XSize, pFont->YSize, pFont->XMag,
                 pFont->YMag, 1, ch.BytesPerLine, pData, &GUI_Context.LCD.aColorIndex32[0]);
  LCD_SetDrawMode(OldMode);
  if (!GUI_MoveRTL) GUI_Context.DispPosX = I16(GUI_Context.DispPosX + ch.XDist);
}

int _GUI_SIF_GetCharDistX(U16 c) {
  SifChar ch;
  return read_char(GUI_Context.pAFont, c, &ch) ? ch.XDist : 0;
}

void _GUI_SIF_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi) {
  GUI_SIF__GetFontInfo(pFont, pfi);
}

int _GUI_SIF_IsInFont(const GUI_FONT* pFont, U16 c) {
  return GUI_SIF__GetpCharInfo(pFont, c) ? 1 : 0;
}

}  // namespace

extern const tGUI_SIF_APIList GUI_SIF_APIList_Prop = {
    _GUI_SIF_DispChar,
    _GUI_SIF_GetCharDistX,
    _GUI_SIF_GetFontInfo,
    _GUI_SIF_IsInFont,
};

U16 GUI__Read16(const U8** ppData) {
  const U8* p = *ppData;
  *ppData = p + 2;
  return U16(p[0] | (p[1] << 8));
}

U32 GUI__Read32(const U8** ppData) {
  const U8* p = *ppData;
  *ppData = p + 4;
  return U32(p[0]) | (U32(p[1]) << 8) | (U32(p[2]) << 16) | (U32(p[3]) << 24);
}

const U8* GUI_SIF__GetpCharInfo(const GUI_FONT* pFont, U16 c) {
  const U8* pImage = static_cast<const U8*>(pFont->p.pFontData);
  const U8* p = pImage + 14;
  U16 NumAreas = GUI__Read16(&p);
  const U8* pInfo = pImage + kHeaderSize + kAreaSize * NumAreas;
  int Index = 0;
  for (int i = 0; i < NumAreas; ++i) {
    U16 First = GUI__Read16(&p);
    U16 Last = GUI__Read16(&p);
    if (c >= First && c <= Last) return pInfo + kCharInfoSize * (Index + c - First);
    if (Last >= First) Index += Last - First + 1;
  }
  return nullptr;
}

// Reports the metrics the font record took from the image at creation.
void GUI_SIF__GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi) {
  pfi->Flags = GUI_FONTINFO_FLAG_PROP;
  pfi->Baseline = pFont->Baseline;
  pfi->LHeight = pFont->LHeight;
  pfi->CHeight = pFont->CHeight;
}

void GUI_SIF_CreateFont(const void* pFontData, GUI_FONT* pFont, const tGUI_SIF_APIList* pFontType) {
  const U8* p = static_cast<const U8*>(pFontData);
  if (p[0] != 'G' || p[1] != 'U' || p[2] != 'I' || p[3] != 'P') return;
  p += 4;
  pFont->YSize = U8(GUI__Read16(&p));
  pFont->YDist = U8(GUI__Read16(&p));
  pFont->Baseline = U8(GUI__Read16(&p));
  pFont->LHeight = U8(GUI__Read16(&p));
  pFont->CHeight = U8(GUI__Read16(&p));
  pFont->XMag = 1;
  pFont->YMag = 1;
  pFont->pafEncode = nullptr;
  pFont->p.pFontData = pFontData;
  pFont->pfDispChar = pFontType->pfDispChar;
  pFont->pfGetCharDistX = pFontType->pfGetCharDistX;
  pFont->pfGetFontInfo = pFontType->pfGetFontInfo;
  pFont->pfIsInFont = pFontType->pfIsInFont;
  GUI_SetFont(pFont);
}

void GUI_SIF_DeleteFont(GUI_FONT*) {}
