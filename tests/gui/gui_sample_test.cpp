// Renders sample strings into a canvas and writes /tmp/gui-sample.png to look at.
#include <gtest/gtest.h>

#include <vector>

#include "gui/GUI.h"
#include "host/board.h"
#include "vio/vio.h"

namespace {

TEST(GuiSample, WritesPng) {
    std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H, 0xFF203040);
    pBuf1 = canvas.data();
    GUI_Context = GUI_CONTEXT{};
    GUI_Init();
    table_or_image = 1;
    GUI_DispStringAt("Hello, surround view! 0123456789", 20, 20);
    GUI_DispStringAt("\xCA\xB1\xBC\xE4\xC9\xE8\xD6\xC3 \xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3", 20, 60);
    GUI_SetTextMode(GUI_TEXTMODE_REV);
    GUI_DispStringAt("Reverse \xC8\xB7\xB6\xA8 ABC", 20, 100);
    GUI_SetTextMode(GUI_TEXTMODE_TRANS);
    GUI_DispStringAt("Transparent text", 20, 140);
    GUI_SetTextMode(0);
    GUI_GotoXY(20, 180);
    GUI_DispFloatFix(3.14159f, 6, 3);
    GUI_RECT r = {20, 220, 319, 470};
    GUI_DispStringInRectWrap("The quick brown fox jumps over the lazy dog", &r, GUI_TA_CENTER, GUI_WRAPMODE_WORD);
    table_or_image = 0;
    pBuf1 = nullptr;
    host::Picture pic;
    pic.width = TABLE_W;
    pic.height = TABLE_H;
    pic.argb = canvas;
    EXPECT_TRUE(host::write_png("/tmp/gui-sample.png", pic));
}

}  // namespace
