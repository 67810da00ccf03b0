// Pointer input shared by mouse and touch screen, the PS/2 mouse decoder, the touch
// jitter filter, the one-key keyboard buffer and the cursor positions of edit fields.
#include <cstdlib>
#include <cstring>

#include "gui/GUI.h"

namespace {
GUI_PID_STATE _State, _StateMouse, _StateTouch, _StateTouchRaw;
U8 _abInBuffer[3];
int _NumBytesInBuffer;
int _ScreenX, _ScreenY;
int _x, _y;
int _Key;
GUI_KEY_MSG_HOOK* GUI_pfKeyMsgHook;

bool differs(const GUI_PID_STATE& a, const GUI_PID_STATE& b) {
    return a.x != b.x || a.y != b.y || a.Pressed != b.Pressed;
}
int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
}  // namespace

void GUI_PID_StoreState(const GUI_PID_STATE* pState) {
    if (pState && differs(*pState, _State)) _State = *pState;
}
int GUI_PID_GetState(GUI_PID_STATE* pState) {
    if (pState) *pState = _State;
    return _State.Pressed != 0;
}

void GUI_MOUSE_StoreState(const GUI_PID_STATE* pState) {
    if (!pState || !differs(*pState, _StateMouse)) return;
    _StateMouse = *pState;
    GUI_PID_StoreState(pState);
}
int GUI_MOUSE_GetState(GUI_PID_STATE* pState) {
    if (pState) *pState = _StateMouse;
    return _StateMouse.Pressed != 0;
}

void GUI_MOUSE_DRIVER_PS2_Init() { _NumBytesInBuffer = 0; }

void GUI_MOUSE_DRIVER_PS2_OnRx(unsigned char Data) {
    // A packet starts only with a byte that has bit 3 set and bit 2 clear: that keeps the decoder in step.
    if (_NumBytesInBuffer == 0 && (Data & 0x0C) != 0x08) return;
    _abInBuffer[_NumBytesInBuffer++] = Data;
    if (_NumBytesInBuffer < 3) return;
    _NumBytesInBuffer = 0;
    const int dx = (_abInBuffer[0] & 0x10) ? _abInBuffer[1] - 256 : _abInBuffer[1];
    const int dy = (_abInBuffer[0] & 0x20) ? _abInBuffer[2] - 256 : _abInBuffer[2];
    _ScreenX = clamp(_ScreenX + dx, 0, GUI_SCREEN_XSIZE - 1);
    _ScreenY = clamp(_ScreenY - dy, 0, GUI_SCREEN_YSIZE - 1);  // the mouse counts upwards
    const GUI_PID_STATE s = {_ScreenX, _ScreenY, static_cast<U8>(_abInBuffer[0] & 3)};
    GUI_MOUSE_StoreState(&s);
}

void GUI_TOUCH_StoreState(int x, int y) {
    GUI_PID_STATE s = _StateTouch;
    if (x >= 0 && y >= 0) {
        s = {x, y, 1};
    } else {
        s.Pressed = 0;
    }
    GUI_TOUCH_StoreStateEx(&s);
}
void GUI_TOUCH_StoreStateEx(const GUI_PID_STATE* pState) {
    if (!pState || !differs(*pState, _StateTouch)) return;
    _StateTouch = *pState;
    GUI_PID_StoreState(pState);
}
int GUI_TOUCH_GetState(GUI_PID_STATE* pState) {
    if (pState) *pState = _StateTouch;
    return _StateTouch.Pressed != 0;
}
void GUI_TOUCH_StoreUnstable(int x, int y) {
    if (std::abs(x - _x) + std::abs(y - _y) <= 2) return;
    _x = x;
    _y = y;
    _StateTouchRaw = {x, y, 0};
    GUI_TOUCH_StoreState(x, y);
}
void GUI_TOUCH_GetUnstable(int* px, int* py) {
    if (px) *px = _x;
    if (py) *py = _y;
}
void GUI_TOUCH_DriverAnalog_C() {}

void GUI_StoreKey(int Key) {
    if (!_Key) _Key = Key;
}
void GUI_StoreKeyMsg(int Key, int) { GUI_StoreKey(Key); }
void GUI_SendKeyMsg(int Key, int) { GUI_StoreKey(Key); }
int GUI_GetKey() {
    const int k = _Key;
    _Key = 0;
    return k;
}
void GUI_ClearKeyBuffer() { _Key = 0; }
GUI_KEY_MSG_HOOK* GUI_SetKeyMsgHook(GUI_KEY_MSG_HOOK* pHook) {
    GUI_KEY_MSG_HOOK* old = GUI_pfKeyMsgHook;
    GUI_pfKeyMsgHook = pHook;
    return old;
}

int GUI__GetCursorCharacter(const char* s, int Index, int, int* pIsRTL) {
    if (pIsRTL) *pIsRTL = 0;
    return s ? GUI_UC_GetCharCode(s + GUI_UC__NumChars2NumBytes(s, Index)) : 0;
}

int GUI__GetCursorPosX(const char* s, int Index, int) {
    int x = 0;
    for (int i = 0; s && i < Index; ++i) {
        const U16 c = GUI_UC__GetCharCodeInc(&s);
        if (!c) break;
        x += GUI_GetCharDistX(c);
    }
    return x;
}

int GUI__GetCursorPosChar(const char* s, int x, int MaxNumChars) {
    int n = 0, width = 0;
    while (s && n < MaxNumChars - 1) {
        const U16 c = GUI_UC__GetCharCodeInc(&s);
        if (!c) break;
        width += GUI_GetCharDistX(c);
        if (width > x) break;
        ++n;
    }
    return n;
}

void GUITASK_Init() {}
void GUITASK_StoreDefaultContext() {}
void GUICurs_C() {}
