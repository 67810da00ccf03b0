// Software timers kept in the library heap, the execution loop that runs the due ones,
// delays and waits, and the time hooks on the board's clock.
#include <cstring>

#include "gui/GUI.h"
#include "platform/clock.h"

GUI_tfTimer* GUI_pfTimerExec;

namespace {
struct GUI_TIMER_Obj {
    GUI_TIMER_CALLBACK* cb;
    GUI_TIMER_HANDLE hNext;
    int Flags;
    unsigned long Context;
    GUI_TIMER_TIME t0;
    GUI_TIMER_TIME Period;
};
GUI_TIMER_HANDLE hFirstTimer, _hActiveTimer;

// Records are copied in and out: heap blocks are only 4-byte aligned and may move.
bool get(GUI_TIMER_HANDLE h, GUI_TIMER_Obj* o) {
    const void* p = GUI_ALLOC_h2p(h);
    if (!p || GUI_ALLOC_GetSize(h) < static_cast<int>(sizeof *o)) return false;
    std::memcpy(o, p, sizeof *o);
    return true;
}
void put(GUI_TIMER_HANDLE h, const GUI_TIMER_Obj& o) {
    if (void* p = GUI_ALLOC_h2p(h)) std::memcpy(p, &o, sizeof o);
}

// Signed difference of two times on a wrapping counter.
int diff(GUI_TIMER_TIME a, GUI_TIMER_TIME b) { return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b)); }

void unlink(GUI_TIMER_HANDLE h) {
    GUI_TIMER_Obj o, prev;
    if (!get(h, &o)) return;
    if (hFirstTimer == h) {
        hFirstTimer = o.hNext;
    } else {
        for (GUI_TIMER_HANDLE i = hFirstTimer; get(i, &prev); i = prev.hNext)
            if (prev.hNext == h) {
                prev.hNext = o.hNext;
                put(i, prev);
                break;
            }
    }
    o.hNext = 0;
    put(h, o);
}

// Inserted before the first timer that is not due earlier.
void link(GUI_TIMER_HANDLE h) {
    GUI_TIMER_Obj o, cur, prev;
    if (!get(h, &o)) return;
    GUI_TIMER_HANDLE before = 0, at = hFirstTimer;
    while (get(at, &cur) && diff(o.t0, cur.t0) > 0) {
        before = at;
        at = cur.hNext;
    }
    o.hNext = at;
    put(h, o);
    if (before && get(before, &prev)) {
        prev.hNext = h;
        put(before, prev);
    } else {
        hFirstTimer = h;
    }
}

bool linked(GUI_TIMER_HANDLE h) {
    GUI_TIMER_Obj o;
    for (GUI_TIMER_HANDLE i = hFirstTimer; get(i, &o); i = o.hNext)
        if (i == h) return true;
    return false;
}
}  // namespace

GUI_TIMER_HANDLE GUI_TIMER_Create(GUI_TIMER_CALLBACK* cb, int, unsigned long Context, int) {
    GUI_pfTimerExec = GUI_TIMER_Exec;
    const GUI_TIMER_HANDLE h = GUI_ALLOC_AllocZero(sizeof(GUI_TIMER_Obj));
    if (!h) return 0;
    GUI_TIMER_Obj o{};
    o.cb = cb;
    o.Context = Context;
    put(h, o);
    link(h);
    return h;
}

void GUI_TIMER_Delete(GUI_TIMER_HANDLE hObj) {
    if (!GUI_ALLOC_h2p(hObj)) return;
    if (linked(hObj)) unlink(hObj);
    if (_hActiveTimer == hObj) _hActiveTimer = 0;
    GUI_ALLOC_Free(hObj);
}

void GUI_TIMER_SetTime(GUI_TIMER_HANDLE hObj, int Time) {
    GUI_TIMER_Obj o;
    if (!get(hObj, &o)) return;
    o.t0 = Time;
    put(hObj, o);
}

void GUI_TIMER_SetDelay(GUI_TIMER_HANDLE hObj, int Delay) {
    GUI_TIMER_Obj o;
    if (!get(hObj, &o)) return;
    unlink(hObj);
    get(hObj, &o);
    o.t0 = Delay;  // taken as a due time
    put(hObj, o);
    link(hObj);
}

void GUI_TIMER_SetPeriod(GUI_TIMER_HANDLE hObj, int Period) {
    GUI_TIMER_Obj o;
    if (!get(hObj, &o)) return;
    o.Period = Period;
    put(hObj, o);
}

void GUI_TIMER_Restart(GUI_TIMER_HANDLE hObj) {
    if (!hObj) hObj = _hActiveTimer;
    GUI_TIMER_Obj o;
    if (!get(hObj, &o)) return;
    unlink(hObj);
    get(hObj, &o);
    o.t0 = static_cast<int>(static_cast<unsigned>(GUI_GetTime()) + static_cast<unsigned>(o.Period));
    put(hObj, o);
    link(hObj);
}

int GUI_TIMER_Exec() {
    const GUI_TIMER_TIME t = GUI_GetTime();
    int ran = 0;
    GUI_TIMER_Obj o;
    while (get(hFirstTimer, &o) && diff(o.t0, t) <= 0) {
        const GUI_TIMER_HANDLE h = hFirstTimer;
        _hActiveTimer = h;
        unlink(h);
        GUI_TIMER_MESSAGE m = {t, o.Context};
        if (o.cb) o.cb(&m);
        ran = 1;
    }
    return ran;
}

int GUI_Exec1() { return GUI_pfTimerExec && GUI_pfTimerExec() ? 1 : 0; }

int GUI_Exec() {
    int did = 0;
    while (GUI_Exec1()) did = 1;
    return did;
}

int GUI_GetTime() { return GUI_X_GetTime(); }

void GUI_Delay(int Period) {
    const int end = static_cast<int>(static_cast<unsigned>(GUI_GetTime()) + static_cast<unsigned>(Period));
    for (int left; (left = diff(end, GUI_GetTime())) > 0;) {
        GUI_Exec();
        GUI_X_Delay(left < 5 ? left : 5);
    }
}

void GUI_WaitEvent() { GUI_X_ExecIdle(); }

int GUI_WaitKey() {
    for (;;) {
        if (const int k = GUI_GetKey()) return k;
        if (!GUI_Exec()) GUI_WaitEvent();
    }
}

void GUI_X_Delay(int ms) {
    if (ms > 0) clk_usleep(static_cast<unsigned>(ms) * 1000u);
}

int GUI_X_GetTime() {
    timeval tv{};
    clk_gettimeofday(&tv);
    return static_cast<int>(static_cast<U32>(tv.tv_sec) * 1024u + static_cast<U32>(tv.tv_usec / 1024));
}
