// The system's one font: 24 pixels high, ASCII and 240 double-byte characters.
#include "gui/GUI_Font.h"

// The first of the 231 nodes of generated glyphs (gui/Font/).
extern const GUI_FONT_PROP GUI_FontHZ_24x24_Prop1;

extern const GUI_FONT GUI_FontHZ24x24 = {
    GUIPROP_DispChar,
    GUIPROP_GetCharDistX,
    GUIPROP_GetFontInfo,
    GUIPROP_IsInFont,
    &GUI_ENC_APIList_SJIS,
    24,  // YSize
    24,  // YDist
    1,   // XMag
    1,   // YMag
    {.pProp = &GUI_FontHZ_24x24_Prop1},
    0,  // Baseline
    0,  // LHeight
    0,  // CHeight
};
