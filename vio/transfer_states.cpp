// The system upgrade (28) and the settings import and export (43).
#include <algorithm>
#include <cstdio>

#include "dsp/dsp_cars.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_firmware.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "dsp/dsp_yuyan.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

namespace {

void upgrade_page() { MT_choose0117(table0, ph264_file, choos); }
void load_page() { MT_load(table1, ph264_file, choos, play_or_delete); }

void message(void (*draw)(std::uint32_t*)) {
    draw(pBuf1);
    hold_message();
}

// Installs the chosen package, then the microcontroller's firmware, then
// restarts the board. A step that fails says so and leaves the page.
void run_upgrade(const PassInfo& p) {
    const char* name = ph264_file->pname[choos - 1];
    draw_xtsjz(pBuf1);
    show_canvas();
    if (upgrade(name) != 0) {
        message(draw_checkfile);
        return;
    }
    checkusb_stop = 1;
    clk_usleep(100000);
    flash_param.car_num.gj_kind = 9;
    flash_param.car_num.gj_index = 12;
    save_param(&flash_param);
    umount_usb();
    if (upgrade_pic(p.uart_fd, pBuf1, canvas_fb(), canvas_buffer(), kCanvasBytes) != 0) {
        // The firmware did not go over: no restart into a half-upgraded system.
        message(draw_checkfile);
        checkusb_stop = 0;
        return;
    }
    av_off();
    clk_usleep(100000);
    sh_reboot();
}

// The imported settings take effect as they would at a start.
void apply_imported(const PassInfo& p) {
    load_param(&flash_param);
    if (flash_param.car_num.flagy > 2) flash_param.car_num.flagy = 0;
    Car_num& car = flash_param.car_num;
    send_car_numbers(p.uart_fd, static_cast<std::uint8_t>(car.gj_kind), static_cast<std::uint8_t>(car.gj_index));
    set_bright(flash_param.im_param);
    set_yuyan(car.flagy);
    apply_car_and_layout();
    solve_cameras();
    if (all_cameras_calibrated()) {
        init_table(table0);
        build_birdseye();
    }
}

}  // namespace

void enter_upgrade_page(std::uint8_t& status) {
    record_stop = 1;
    get_filename3(ph264_file);
    table = table0;
    choos = 1;
    upgrade_page();
    status = 28;
}

void enter_load_page(std::uint8_t& status) {
    record_stop = 1;
    get_filename2(ph264_file);
    table = table1;
    choos = 0;
    play_or_delete = 0;
    load_page();
    status = 43;
}

void upgrade_page_state(std::uint8_t& status, const PassInfo& p) {
    const std::uint16_t n = ph264_file->file_num;
    switch (p.key) {
    case KEY_UP:
        if (choos > 1) --choos;
        upgrade_page();
        break;
    case KEY_DOWN:
        if (choos < n) ++choos;
        upgrade_page();
        break;
    case KEY_EXIT:
        record_stop = 0;
        enter_installer_menu(status, 64);
        break;
    case KEY_OK:
        if (n == 0 || choos < 1 || choos > n) break;
        if (mount_ok != 1) {
            message(draw_checkusb);
            break;
        }
        run_upgrade(p);
        upgrade_page();
        break;
    default: break;
    }
}

void load_page_state(std::uint8_t& status, const PassInfo& p) {
    const std::uint16_t n = ph264_file->file_num;
    switch (p.key) {
    case KEY_DOWN:
        if (choos < n) ++choos;
        break;
    case KEY_UP:
        if (choos > 0) --choos;
        if (choos == 0) play_or_delete = 0;
        break;
    case KEY_RIGHT: play_or_delete = 1; break;
    case KEY_LEFT: play_or_delete = 0; break;
    case 16:
    case KEY_EXIT:
        record_stop = 0;
        enter_calibration_screen(status);
        return;
    case KEY_OK:
        if (choos == 0) {
            if (mount_ok != 1) {
                message(draw_checkusb);
            } else if (export_file() == 0) {
                message(draw_export_done);
                get_filename2(ph264_file);
            }
        } else if (choos <= n) {
            const char* name = ph264_file->pname[choos - 1];
            if (play_or_delete == 1) {
                delete_file(name);
                get_filename2(ph264_file);
                choos = std::min<std::uint16_t>(choos, ph264_file->file_num);
            } else {
                char path[64];
                std::snprintf(path, sizeof path, "%s/%s", kMountPoint, name);
                if (import_file(path) == 0) {
                    apply_imported(p);
                    message(draw_import_done);
                } else {
                    message(draw_check_param_file);
                }
            }
        }
        break;
    default: return;
    }
    load_page();
}
