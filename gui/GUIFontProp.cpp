// Proportional fonts and the font queries on the current font.
#include "gui/GUI.h"

namespace {

// Linear walk from the first node: the font has no index over its codes.
const GUI_CHARINFO* find_char(const GUI_FONT* pFont, U16 c) {
  for (const GUI_FONT_PROP* p = pFont->p.pProp; p; p = p->pNext)
    if (c >= p->First && c <= p->Last) return &p->paCharInfo[c - p->First];
  return nullptr;
}

}  // namespace

void GUIPROP_DispChar(U16 c) {
  const GUI_FONT* pFont = GUI_Context.pAFont;
  const GUI_CHARINFO* pci = find_char(pFont, c);
  if (!pci) return;
  LCD_DRAWMODE OldMode = LCD_SetDrawMode(GUI_Context.TextMode);
  int XAdvance = pci->XDist * pFont->XMag;
  if (GUI_MoveRTL) GUI_Context.DispPosX = I16(GUI_Context.DispPosX - XAdvance);
  int x = GUI_Context.DispPosX, y = GUI_Context.DispPosY;
  LCD_DrawBitmap(x, y, pci->XSize, pFont->YSize, pFont->XMag, pFont->YMag, 1, pci->BytesPerLine,
                 pci->pData, &GUI_Context.LCD.aColorIndex32[0]);
  if (pFont->YDist > pFont->YSize && !(GUI_Context.TextMode & GUI_TEXTMODE_TRANS)) {
    // Fill below the glyph with the background index, then put the foreground back.
    U32 Fg = GUI_Context.LCD.aColorIndex32[1];
    GUI_Context.LCD.aColorIndex32[1] = GUI_Context.LCD.aColorIndex32[0];
    LCD_FillRect(x, y + pFont->YSize * pFont->YMag, x + pci->XSize,
                 y + pFont->YDist * pFont->YMag);
    GUI_Context.LCD.aColorIndex32[1] = Fg;
  }
  LCD_SetDrawMode(OldMode);
  if (!GUI_MoveRTL) GUI_Context.DispPosX = I16(GUI_Context.DispPosX + XAdvance);
}

// The glyph width, not its advance: text is measured by ink width.
int GUIPROP_GetCharDistX(U16 c) {
  const GUI_FONT* pFont = GUI_Context.pAFont;
  const GUI_CHARINFO* pci = find_char(pFont, c);
  return pci ? pci->XSize * pFont->XMag : 0;
}

void GUIPROP_GetFontInfo(const GUI_FONT*, GUI_FONTINFO* pfi) { pfi->Flags = GUI_FONTINFO_FLAG_PROP; }

int GUIPROP_IsInFont(const GUI_FONT* pFont, U16 c) { return find_char(pFont, c) ? 1 : 0; }

int GUI_GetCharDistX(U16 c) { return GUI_Context.pAFont->pfGetCharDistX(c); }
int GUI_GetFontDistY(void) { return GUI_Context.pAFont->YDist; }
int GUI_GetFontSizeY(void) { return GUI__GetFontSizeY(); }
int GUI__GetFontSizeY(void) { return GUI_Context.pAFont->YSize * GUI_Context.pAFont->YMag; }
int GUI_GetYSizeOfFont(const GUI_FONT* pFont) { return pFont->YSize * pFont->YMag; }
int GUI_GetYDistOfFont(const GUI_FONT* pFont) { return pFont->YDist * pFont->YMag; }

void GUI_GetFontInfo(const GUI_FONT* pFont, GUI_FONTINFO* pfi) {
  if (!pFont) pFont = GUI_Context.pAFont;
  pfi->Baseline = pFont->Baseline;
  pfi->LHeight = pFont->LHeight;
  pfi->CHeight = pFont->CHeight;
  pFont->pfGetFontInfo(pFont, pfi);
}

int GUI_IsInFont(const GUI_FONT* pFont, U16 c) {
  if (!pFont) pFont = GUI_Context.pAFont;
  return pFont->pfIsInFont(pFont, c);
}
