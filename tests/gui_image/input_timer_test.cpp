// Pointer, keyboard and touch state, and timers run by the board's clock.
#include <gtest/gtest.h>

#include <vector>

#include "gui/GUI.h"
#include "tests/board_fixture.h"

namespace {

TEST(GuiInput, MouseKeysAndTouch) {
    GUI_MOUSE_DRIVER_PS2_Init();
    // Bring the cursor to (100, 100): far up-left first (clamped at 0, 0), then 100 right and down.
    for (U8 b : {U8(0x00), U8(0x18), U8(0x80), U8(0x00), U8(0x28), U8(100), U8(0x9C)}) GUI_MOUSE_DRIVER_PS2_OnRx(b);
    GUI_PID_STATE st{};
    GUI_MOUSE_GetState(&st);
    EXPECT_EQ(st.x, 100);
    EXPECT_EQ(st.y, 100);
    for (U8 b : {U8(0x18), U8(0xF6), U8(0x05)}) GUI_MOUSE_DRIVER_PS2_OnRx(b);
    EXPECT_EQ(GUI_MOUSE_GetState(&st), 0);
    EXPECT_EQ(st.x, 90);
    EXPECT_EQ(st.y, 95);
    for (int i = 0; i < 8; ++i)
        for (U8 b : {U8(0x29), U8(0x7F), U8(0x80)}) GUI_MOUSE_DRIVER_PS2_OnRx(b);  // right and down, left button
    EXPECT_EQ(GUI_MOUSE_GetState(&st), 1);
    EXPECT_EQ(st.x, 799);  // the library's screen is 800 wide
    EXPECT_EQ(st.y, 479);
    EXPECT_EQ(GUI_PID_GetState(&st), 1);

    GUI_StoreKey(5);
    GUI_StoreKey(6);
    EXPECT_EQ(GUI_GetKey(), 5);
    EXPECT_EQ(GUI_GetKey(), 0);

    GUI_TOUCH_StoreState(10, 20);
    GUI_TOUCH_StoreState(-1, -1);
    EXPECT_EQ(GUI_TOUCH_GetState(&st), 0);
    EXPECT_EQ(st.x, 10);
    EXPECT_EQ(st.y, 20);
    GUI_TOUCH_StoreUnstable(50, 50);
    GUI_TOUCH_StoreUnstable(51, 51);  // a jitter of 2: ignored
    int x = 0, y = 0;
    GUI_TOUCH_GetUnstable(&x, &y);
    EXPECT_EQ(x, 50);
    GUI_TOUCH_StoreUnstable(52, 51);
    GUI_TOUCH_GetUnstable(&x, &y);
    EXPECT_EQ(x, 52);
    EXPECT_EQ(GUI_TOUCH_GetState(&st), 1);
}

std::vector<std::pair<unsigned long, int>> fired;
void on_timer(GUI_TIMER_MESSAGE* m) {
    fired.push_back({m->Context, m->Time});
    if (m->Context == 1 && fired.size() < 4) GUI_TIMER_Restart(0);  // periodic
}

class GuiTimers : public BoardTest {};

TEST_F(GuiTimers, RunInOrderOnTheBoardClock) {
    start(false, 1000.0);
    fired.clear();
    GUI_ALLOC_Init();
    const int t0 = GUI_GetTime();
    const GUI_TIMER_HANDLE a = GUI_TIMER_Create(on_timer, 0, 1, 0);
    const GUI_TIMER_HANDLE b = GUI_TIMER_Create(on_timer, 0, 2, 0);
    GUI_TIMER_SetPeriod(a, 100);
    GUI_TIMER_Restart(a);          // due at t0 + 100, then every 100
    GUI_TIMER_SetDelay(b, t0 + 150);  // a due time
    EXPECT_EQ(GUI_Exec(), 0);
    GUI_Delay(400);
    const int waited = GUI_GetTime() - t0;
    EXPECT_GE(waited, 400);
    EXPECT_LT(waited, 420);  // board time, whatever the host does
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0].first, 1u);
    EXPECT_EQ(fired[1].first, 2u);
    EXPECT_EQ(fired[2].first, 1u);
    EXPECT_EQ(fired[3].first, 1u);
    EXPECT_GE(fired[0].second - t0, 100);
    EXPECT_LT(fired[0].second - t0, 106);
    EXPECT_GE(fired[3].second - t0, 300);
    GUI_TIMER_Delete(a);
    GUI_TIMER_Delete(b);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), 0);
}

}  // namespace
