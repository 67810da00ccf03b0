// The main menu (14) and the access code that guards the installer menu and
// three feature switches (15).
#include "vio/menu_states.h"

#include "dsp/dsp_control.h"
#include "dsp/dsp_guiji.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"
#include "platform/clock.h"
#include "vio/vio.h"

Flash_param temp_param{};
std::uint32_t mima = 0;

namespace {

// Toggles one feature bit and keeps it.
void toggle_feature(std::uint16_t bit) {
    std::uint16_t& bits = flash_param.im_param.close_etc;
    bits = static_cast<std::uint16_t>(bits ^ bit);
    // The side views only exist once the bird's-eye view was built.
    if (bit == 1 && all_cameras_calibrated()) {
        if (bits & 1) {
            mt_right_bk(tabler);
            mt_left_bk(tablel);
        } else {
            mt_right_bk2(tabler);
            mt_left_bk2(tablel);
        }
    }
    save_param(&flash_param);
}

void access_page(std::uint8_t digits) {
    MT_choose01(table0, digits);
    choos = digits;
}

}  // namespace

void send_short(int fd, std::uint8_t cmd) {
    sci_xmit(fd, 0x55);
    sci_xmit(fd, 0x0A);
    sci_xmit(fd, cmd);
}

void send_car_numbers(int fd, std::uint8_t kind, std::uint8_t index) {
    send_short(fd, 0x06);
    sci_xmit(fd, kind);
    sci_xmit(fd, index);
}

void hold_message() {
    show_canvas();
    clk_sleep(1);
}

void next_bit(std::uint8_t key, std::uint16_t last) {
    if (key == KEY_DOWN && choos < last) choos = static_cast<std::uint16_t>(choos << 1);
    if (key == KEY_UP && choos > 1) choos = static_cast<std::uint16_t>(choos >> 1);
}

void enter_main_menu(std::uint8_t& status, std::uint16_t bit) {
    table = table0;
    MT_choose(table0, bit);
    choos = bit;
    status = 14;
}

void draw_menu_guides(const PassInfo& p) {
    const short a = p.uart->angle;
    if (a >= -2509 && a <= 2509) {
        if (p.temp_status & 4) draw_guiji_full(pBuf1, a, ptable_YUV2RGB);
        else if (flash_param.im_param.track != 0) draw_guiji_qx(pBuf1, a, ptable_YUV2RGB);
    }
}

void main_menu_state(std::uint8_t& status, const PassInfo& p) {
    draw_menu_guides(p);
    switch (p.key) {
    case KEY_DOWN:
        if (choos < 8) choos = static_cast<std::uint16_t>(choos << 1);
        MT_choose(table0, choos);
        break;
    case KEY_UP:
        if (choos > 1) choos = static_cast<std::uint16_t>(choos >> 1);
        MT_choose(table0, choos);
        break;
    case KEY_EXIT:
        MT_image(p.temp_status, table0, ptable_YUV2RGB);
        status = 3;
        break;
    case KEY_OK:
        switch (choos) {
        case 1:
            mima = 0;
            access_page(0);
            status = 15;
            break;
        case 2:
            temp_param = flash_param;
            MT_choose02(table0, flash_param.im_param, 1);
            choos = 1;
            status = 16;
            break;
        case 4: send_short(p.uart_fd, 0x07); break;
        case 8:
            record_stop = 1;  // no recording while the record menu is open
            enter_record_page(status, 1);
            break;
        default: break;
        }
        break;
    default: break;
    }
}

void access_code_state(std::uint8_t& status, const PassInfo& p) {
    std::uint32_t digit = 0;
    switch (p.key) {
    case KEY_UP: digit = 1; break;
    case KEY_DOWN: digit = 2; break;
    case KEY_LEFT: digit = 3; break;
    case KEY_RIGHT: digit = 4; break;
    case KEY_OK: digit = 5; break;
    case KEY_EXIT: enter_main_menu(status, 1); return;
    default: return;
    }
    mima = mima * 16 + digit;
    const std::uint8_t digits = static_cast<std::uint8_t>(choos + 1);
    if (digits < 6) {
        access_page(digits);
        return;
    }
    switch (mima) {
    case 0x523141: enter_installer_menu(status, 1); return;
    case 0x413552: toggle_feature(1); break;  // distance marks on the side views
    case 0x251354: toggle_feature(2); break;  // parking-sensor arcs
    case 0x354212: toggle_feature(4); break;  // confirm bar picture
    default:
        mima = 0;
        access_page(0);
        return;
    }
    enter_main_menu(status, 1);
}
