// Monospaced fonts: linked with the library, unused by the system.
#include "gui/GUI.h"

namespace {

void draw_glyph(const GUI_FONT* pFont, const GUI_FONT_MONO* pMono, const U8* pGlyphs, int Index) {
  const U8* pData = pGlyphs + Index * pFont->YSize * pMono->BytesPerLine;
  LCD_DrawBitmap(GUI_Context.DispPosX, GUI_Context.DispPosY, pMono->XSize, pFont->YSize,
                 pFont->XMag, pFont->YMag, 1, pMono->BytesPerLine, pData,
                 &GUI_Context.LCD.aColorIndex32[0]);
}

const GUI_FONT_TRANSLIST* trans_entry(const GUI_FONT_MONO* pMono, U16 c) {
  const GUI_FONT_TRANSINFO* t = pMono->pTrans;
  if (!t || c < t->FirstChar || c > t->LastChar) return nullptr;
  return &t->pList[c - t->FirstChar];
}

}  // namespace

void GUIMONO_DispChar(U16 c) {
  const GUI_FONT* pFont = GUI_Context.pAFont;
  const GUI_FONT_MONO* pMono = pFont->p.pMono;
  LCD_DRAWMODE OldMode = LCD_SetDrawMode(GUI_Context.TextMode);
  if (c >= pMono->FirstChar && c <= pMono->LastChar) {
    draw_glyph(pFont, pMono, pMono->pData, c - pMono->FirstChar);
  } else if (const GUI_FONT_TRANSLIST* e = trans_entry(pMono, c)) {
    if (e->c0 != -1) draw_glyph(pFont, pMono, pMono->pTransData, e->c0);
    if (e->c1 != -1) {
      // The second glyph is an accent laid over the first.
      LCD_SetDrawMode(GUI_Context.TextMode | GUI_DRAWMODE_TRANS);
      draw_glyph(pFont, pMono, pMono->pTransData, e->c1);
      LCD_SetDrawMode(GUI_Context.TextMode);
    }
  }
  if (pFont->YDist > pFont->YSize && !(GUI_Context.TextMode & GUI_TEXTMODE_TRANS)) {
    int x = GUI_Context.DispPosX, y = GUI_Context.DispPosY;
    U32 Fg = GUI_Context.LCD.aColorIndex32[1];
    GUI_Context.LCD.aColorIndex32[1] = GUI_Context.LCD.aColorIndex32[0];
    LCD_FillRect(x, y + pFont->YSize * pFont->YMag, x + pMono->XSize,
                 y + pFont->YDist * pFont->YMag);
    GUI_Context.LCD.aColorIndex32[1] = Fg;
  }
  LCD_SetDrawMode(OldMode);
  GUI_Context.DispPosX = I16(GUI_Context.DispPosX + pMono->XDist);
}

int GUIMONO_GetCharDistX(U16) { return GUI_Context.pAFont->p.pMono->XDist; }

void GUIMONO_GetFontInfo(const GUI_FONT*, GUI_FONTINFO* pfi) { pfi->Flags = GUI_FONTINFO_FLAG_MONO; }

int GUIMONO_IsInFont(const GUI_FONT* pFont, U16 c) {
  const GUI_FONT_MONO* pMono = pFont->p.pMono;
  if (c >= pMono->FirstChar && c <= pMono->LastChar) return 1;
  const GUI_FONT_TRANSLIST* e = trans_entry(pMono, c);
  return e && e->c0 != -1 ? 1 : 0;
}
