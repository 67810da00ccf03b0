// Message boxes and banners drawn straight onto the canvas over the composed
// frame, and the calibration notice written into a display table.
#include "dsp/dsp_tubiao.h"

#include <cstdio>

#include "dsp/dsp_yuyan.h"
#include "gui/GUI.h"
#include "vio/vio.h"

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr int kPanelWidth = 476;

// Text onto the canvas in the given mode; the selector goes back to the table.
void canvas_text(const char* text, int x, int y, int mode) {
    table_or_image = 1;
    GUI_AA_SetFactor(4);
    GUI_SetTextMode(mode);
    GUI_DispStringAt(text, x, y);
    table_or_image = 0;
}

// The single-view panel, all rows, to opaque black.
void clear_panel(std::uint32_t* pimage) {
    for (int row = 0; row < TABLE_H; ++row)
        for (int col = BVIEW_Left; col < BVIEW_Left + kPanelWidth && col < TABLE_W; ++col)
            pimage[row * TABLE_W + col] = kBlack;
}

void panel_message(std::uint32_t* pimage, const char* text) {
    clear_panel(pimage);
    canvas_text(text, BVIEW_Left + 40, 200, GUI_TEXTMODE_NORMAL);
}

// Where the calibration notice goes: the side away from the bird's-eye view.
GUI_RECT zhuyi_rect() {
    return flash_param.im_param.pos == 0 ? GUI_RECT{300, 100, 660, 400} : GUI_RECT{40, 100, 400, 400};
}

}  // namespace

void draw_shaohou(std::uint32_t* pimage) {
    clear_ima(pimage);
    canvas_text(qsh, 290, 220, GUI_TEXTMODE_NORMAL);
}

void draw_formatfinish(std::uint32_t* pimage) { panel_message(pimage, gshwc); }
void draw_checkusb(std::uint32_t* pimage) { panel_message(pimage, jcup); }
void draw_checkfile(std::uint32_t* pimage) { panel_message(pimage, jcsjwj); }
void draw_import_done(std::uint32_t* pimage) { panel_message(pimage, drwjwc); }
void draw_export_done(std::uint32_t* pimage) { panel_message(pimage, dcwjwc); }
void draw_restart(std::uint32_t* pimage) { panel_message(pimage, xtcqz); }
void draw_check_param_file(std::uint32_t* pimage) { panel_message(pimage, jccswj); }

void draw_xtsjz(std::uint32_t* pimage) {
    panel_message(pimage, xtsjz);
    canvas_text("...", BVIEW_Left + 166, 200, GUI_TEXTMODE_NORMAL);
}

void draw_sjjd(std::uint8_t num, std::uint32_t* pimage) {
    panel_message(pimage, xtsjz);
    table_or_image = 1;
    GUI_AA_SetFactor(4);
    GUI_SetTextMode(GUI_TEXTMODE_NORMAL);
    GUI_GotoXY(BVIEW_Left + 208, 200);
    GUI_DispDecMin(num);
    table_or_image = 0;
    canvas_text("%", BVIEW_Left + 250, 200, GUI_TEXTMODE_NORMAL);
}

void draw_formatusb(std::uint32_t* pimage) {
    (void)pimage;
    canvas_text(gshup, BVIEW_Left + 40, 20, GUI_TEXTMODE_TRANS);
}

void draw_checkusb2(std::uint32_t* pimage) {
    (void)pimage;
    canvas_text(jcup, BVIEW_Left + 40, 20, GUI_TEXTMODE_TRANS);
}

void mt_zhuyi(Image_table* table) {
    (void)table;
    table_or_image = 0;
    GUI_AA_SetFactor(4);
    GUI_SetTextMode(GUI_TEXTMODE_NORMAL);
    GUI_RECT rect = zhuyi_rect();
    GUI_DispStringInRectWrap(zhuyi, &rect, 0, 1);
}

void clear_zhuyi(Image_table* table) {
    const GUI_RECT r = zhuyi_rect();
    for (int row = r.y0; row <= r.y1; ++row)
        for (int col = r.x0; col <= r.x1; ++col) {
            Image_table& e = table[row * TABLE_W + col];
            e.pic_num = 0;
            e.YUV_default = kBlack;
        }
}

void draw_play_status(int done, double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%d%%", done);
    canvas_text(text, 120, 20, GUI_TEXTMODE_NORMAL);
    std::snprintf(text, sizeof text, "X%g", rate);
    canvas_text(text, 40, 20, GUI_TEXTMODE_NORMAL);
}
