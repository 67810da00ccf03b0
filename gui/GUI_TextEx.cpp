// Text kept in the library's allocator, and rotated text in a rectangle.
#include <cstring>

#include "gui/GUI.h"

int GUI__strcmp_hp(I16 hs0, const char* s1) {
    const char* s0 = hs0 ? static_cast<const char*>(GUI_ALLOC_h2p(hs0)) : nullptr;
    return GUI__strcmp(s0, s1);
}

int GUI__SetText(I16* phText, const char* s) {
    if (!phText) return 0;
    if (!s) s = "";
    if (GUI__strcmp_hp(*phText, s) == 0) return 0;
    const int size = static_cast<int>(std::strlen(s)) + 1;
    if (*phText) {
        char* old = static_cast<char*>(GUI_ALLOC_h2p(*phText));
        if (old && static_cast<int>(std::strlen(old)) + 1 == size) {
            std::memcpy(old, s, static_cast<size_t>(size));
            return 1;
        }
    }
    const I16 h = GUI_ALLOC_AllocNoInit(size);
    if (!h) return 0;  // the old text stays
    std::memcpy(GUI_ALLOC_h2p(h), s, static_cast<size_t>(size));
    if (*phText) GUI_ALLOC_Free(*phText);
    *phText = h;
    return 1;
}

void GUI_DispStringInRectEx(const char* s, GUI_RECT* pRect, int TextAlign, int MaxLen,
                            const tLCD_APIList* pLCD_Api) {
    if (!pLCD_Api) {
        GUI_DispStringInRectMax(s, pRect, TextAlign, MaxLen);
        return;
    }
    if (!s) return;
    GUI_RECT r;
    if (pRect)
        r = *pRect;
    else
        GUI_GetClientRect(&r);
    GUI_RectDispString = r;
    const LCD_RECT oldClip = GUI_Context.ClipRect;
    GUI_RECT* const oldClipHL = GUI_Context.pClipRect_HL;
    const tLCD_APIList* const oldApi = GUI_pLCD_APIList;
    GUI__IntersectRect(&GUI_Context.ClipRect, &r);
    GUI_pLCD_APIList = pLCD_Api;
    // The lines are laid out unrotated, so their rectangles may lie anywhere: no culling.
    GUI_Context.pClipRect_HL = nullptr;
    GUI_RECT text = r;
    if (pLCD_Api->pfRect2TextRect) pLCD_Api->pfRect2TextRect(&text);
    GUI__DispStringInRect(s, &text, TextAlign, MaxLen);
    GUI_Context.ClipRect = oldClip;
    GUI_Context.pClipRect_HL = oldClipHL;
    GUI_pLCD_APIList = oldApi;
}
