// Two threads draw text at once, each with its own context and surface selector.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "gui/GUI.h"
#include "vio/vio.h"

namespace {

void draw_canvas_text() {
    GUI_Context = GUI_CONTEXT{};
    GUI_Init();
    table_or_image = 1;
    GUI_SetTextMode(GUI_TEXTMODE_REV);
    GUI_DispStringAt("Menu \xC9\xE8\xD6\xC3 123", 20, 40);
    GUI_DispDecAt(4711, 20, 80, 6);
    table_or_image = 0;
}

void draw_stamp_text() {
    GUI_Context = GUI_CONTEXT{};
    GUI_Init();
    table_or_image = 2;
    GUI_DispStringAt("2024-05-06 07:08:09", 0, 0);
    table_or_image = 0;
}

TEST(GuiThreads, CanvasAndTimeStampDoNotDisturbEachOther) {
    std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H);
    std::vector<std::uint16_t> stamp(288 * 26);
    pBuf1 = canvas.data();
    stBittime.pData = stamp.data();
    // References drawn one after the other.
    draw_canvas_text();
    draw_stamp_text();
    const auto canvas_ref = canvas;
    const auto stamp_ref = stamp;
    for (int round = 0; round < 20; ++round) {
        std::fill(canvas.begin(), canvas.end(), 0);
        std::fill(stamp.begin(), stamp.end(), 0);
        std::thread a(draw_canvas_text);
        std::thread b(draw_stamp_text);
        a.join();
        b.join();
        ASSERT_TRUE(canvas == canvas_ref) << "round " << round;
        ASSERT_TRUE(stamp == stamp_ref) << "round " << round;
    }
    pBuf1 = nullptr;
    stBittime.pData = nullptr;
}

}  // namespace
