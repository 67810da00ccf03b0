// The user's pages behind the main menu: picture settings (16), record
// settings (17), date and time (19) and disk formatting (20).
#include "dsp/dsp_cars.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "platform/clock.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

rtc_time t_rtc{};

namespace {

Usb_info usb_info{};

void read_disk_sizes() {
    usb_info = {};
    if (mount_ok == 1) Zr_GetDiskfreeSpacePercent(kMountPoint, &usb_info);
}

// One step of a value within lo..hi; false when it stays.
bool step(std::uint16_t& v, std::uint8_t key, int lo, int hi) {
    if (key == KEY_RIGHT && v < hi) {
        ++v;
        return true;
    }
    if (key == KEY_LEFT && v > lo) {
        // A value above its range from an old file comes back into it.
        v = static_cast<std::uint16_t>(v > hi ? hi : v - 1);
        return true;
    }
    return false;
}

// The bird's-eye view for a new image location or view range.
void rebuild_for_layout() {
    const Image_param& im = flash_param.im_param;
    set_layout(im.pos);
    set_zuobiao(flash_param);
    // The blind zones are lengths that include the view range's lengths.
    set_blind_zones(im.fblank, im.bblank);
    solve_cameras();
    init_table(table0);
    if (all_cameras_calibrated()) build_birdseye();
}

void date_step(std::uint8_t key) {
    rtc_time& t = t_rtc;
    const bool up = key == KEY_RIGHT;
    switch (choos) {
    case 1: t.year = up ? (t.year < 2100 ? t.year + 1 : 2015) : (t.year >= 2016 ? t.year - 1 : t.year); break;
    case 2: t.month = up ? (t.month < 12 ? t.month + 1 : 1) : (t.month >= 2 ? t.month - 1 : 12); break;
    case 4: t.date = up ? (t.date < 31 ? t.date + 1 : 1) : (t.date >= 2 ? t.date - 1 : 31); break;
    case 8: t.hour = up ? (t.hour < 23 ? t.hour + 1 : 0) : (t.hour > 0 ? t.hour - 1 : 23); break;
    case 16: t.minute = up ? (t.minute < 59 ? t.minute + 1 : 0) : (t.minute > 0 ? t.minute - 1 : 59); break;
    case 32: t.second = up ? (t.second < 59 ? t.second + 1 : 0) : (t.second > 0 ? t.second - 1 : 59); break;
    default: break;
    }
}

void enter_disk_page(std::uint8_t& status) {
    read_disk_sizes();
    MT_choose033(table0, &usb_info, 1);
    choos = 1;
    status = 20;
}

// Formats the disk by how it is plugged: 1 mounted, 2 present but not mounted.
void format_disk() {
    const int state = mount_ok;
    if (state != 1 && state != 2) {
        draw_checkusb(pBuf1);
        hold_message();
        return;
    }
    checkusb_stop = 1;  // the housekeeping thread leaves the disk alone meanwhile
    draw_shaohou(pBuf1);
    show_canvas();
    // A format that failed is never reported done: a disk that could not be
    // unmounted was left as it was, and the user is asked to check it.
    const int r = state == 1 ? format_usb() : format_usb2();
    if (r == 0)
        draw_formatfinish(pBuf1);
    else
        draw_checkusb(pBuf1);
    hold_message();
    upgrade_checkusb();
    clk_usleep(100000);
    read_disk_sizes();
    checkusb_stop = 0;
}

}  // namespace

void enter_record_page(std::uint8_t& status, std::uint16_t bit) {
    table = table0;
    MT_choose03(table0, flash_param.im_param, bit);
    choos = bit;
    status = 17;
}

void picture_page_state(std::uint8_t& status, const PassInfo& p) {
    Image_param& im = flash_param.im_param;
    switch (p.key) {
    case KEY_DOWN:
        if (choos < 6) ++choos;
        break;
    case KEY_UP:
        if (choos > 1) --choos;
        break;
    case KEY_RIGHT:
    case KEY_LEFT:
        switch (choos) {
        case 1:
            if (step(im.bright, p.key, 0, 4)) set_bright(im);
            break;
        case 2: step(im.turn_time, p.key, 0, 4); break;
        case 3: step(im.back_time, p.key, 0, 4); break;
        case 4: step(im.view_range, p.key, 0, 2); break;
        case 5: im.pos = p.key == KEY_RIGHT ? 1 : 0; break;
        default: break;
        }
        break;
    case KEY_EXIT:
        flash_param = temp_param;
        set_bright(flash_param.im_param);
        enter_main_menu(status, 2);
        return;
    case KEY_OK:
        if (choos != 6) return;
        if (im.view_range != temp_param.im_param.view_range || im.pos != temp_param.im_param.pos)
            rebuild_for_layout();
        save_param(&flash_param);
        enter_main_menu(status, 2);
        return;
    default: return;
    }
    MT_choose02(table0, im, choos);
}

void record_page_state(std::uint8_t& status, const PassInfo& p) {
    Image_param& im = flash_param.im_param;
    // Every pass, so the parking-record hours follow the microcontroller.
    MT_choose03(table0, im, choos);
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 16);
        break;
    case KEY_RIGHT:
    case KEY_LEFT:
        if (choos == 4) {
            im.record = im.record == 1 ? 0 : 1;
            save_param(&flash_param);
        } else if (choos == 8) {
            send_short(p.uart_fd, p.key == KEY_RIGHT ? 0xCA : 0xC5);
        }
        break;
    case KEY_OK:
        switch (choos) {
        case 1:
            if (mount_ok != 1) {
                draw_checkusb(pBuf1);
                hold_message();
            } else {
                enter_recording_list(status);
            }
            return;
        case 2:
            rtc_get(&t_rtc);
            MT_choose032(table0, &t_rtc, 1);
            choos = 1;
            status = 19;
            return;
        case 16: enter_disk_page(status); return;
        default: return;
        }
    case KEY_EXIT:
        record_stop = 0;  // recording may start again
        enter_main_menu(status, 8);
        return;
    default: return;
    }
    MT_choose03(table0, im, choos);
}

void date_page_state(std::uint8_t& status, const PassInfo& p) {
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 64);
        break;
    case KEY_RIGHT:
    case KEY_LEFT:
        date_step(p.key);
        break;
    case KEY_OK:
        if (choos != 64) return;
        rtc_set(&t_rtc);
        SetSystemTime();
        enter_record_page(status, 2);
        return;
    case KEY_EXIT: enter_record_page(status, 2); return;
    default: return;
    }
    MT_choose032(table0, &t_rtc, choos);
}

void disk_page_state(std::uint8_t& status, const PassInfo& p) {
    switch (p.key) {
    case KEY_DOWN:
        if (choos == 1) choos = 2;
        break;
    case KEY_UP:
        if (choos == 2) choos = 1;
        break;
    case KEY_EXIT: enter_record_page(status, 8); return;
    case KEY_OK:
        if (choos == 1) {
            enter_record_page(status, 8);
            return;
        }
        format_disk();
        choos = 1;
        break;
    default: return;
    }
    MT_choose033(table0, &usb_info, choos);
}
