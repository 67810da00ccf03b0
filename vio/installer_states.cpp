// The installer's pages behind the access code: the installer menu (22),
// blind zones (23), car settings (24), language (25), factory settings (26),
// view range (29) with its crop pages (30, 31); and the service page of the
// calibration screen (40).
#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_yuyan.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

namespace {

void redraw_car() {
    clear_car(table0);
    mt_car(table0, flash_param.im_param, ptable_YUV2RGB);
}

// Projections solved anew (a camera that no longer solves drops out), then
// the bird's-eye view and the side views built from them.
void rebuild_views() {
    solve_cameras();
    if (all_cameras_calibrated()) build_birdseye();
}

// Enters an editing page: what the exit key puts back.
void take_copy() { temp_param = flash_param; }

// The car picture's area when the car page or the blind-zone page was entered.
CarArea car_area;

void enter_view_range_page(std::uint8_t& status, std::uint16_t bit) {
    MT_choose0116(table0, bit);
    choos = bit;
    status = 29;
}

void blind_zone_page() { MT_choose0112(table0, flash_param.im_param, choos); }
void car_page() { MT_choose0113(table0, flash_param, choos); }
void language_page() { MT_choose0114(table0, flash_param.car_num, choos); }
void test_page() { MT_set(table1, flash_param.car_num, choos); }

// Steps of the car page: a larger car length moves in larger steps.
void length_up(std::uint16_t& v) {
    if (v <= 5999) v = static_cast<std::uint16_t>(v + 100);
    else if (v <= 9999) v = static_cast<std::uint16_t>(v + 200);
    else if (v <= 14999) v = static_cast<std::uint16_t>(v + 500);
}

void length_down(std::uint16_t& v) {
    if (v > 10000) v = static_cast<std::uint16_t>(v - 500);
    else if (v > 6000) v = static_cast<std::uint16_t>(v - 200);
    else if (v > 3500) v = static_cast<std::uint16_t>(v - 100);
}

void up_to(std::uint16_t& v, int most) {
    if (v <= most) ++v;
}

void down_to_zero(std::uint16_t& v) {
    if (v > 0) --v;
}

// The factory settings, keeping the car: calibration follows.
void factory_reset(std::uint8_t& status) {
    const Car_num car = flash_param.car_num;
    flash_param = flash_param_default;
    flash_param.car_num = car;
    flash_param.flagc = 1;
    save_param(&flash_param);
    // The picture settings and view range are the defaults' now: the screen,
    // the ground targets and the blind zones follow them at once.
    set_bright(flash_param.im_param);
    apply_car_and_layout();
    la_xsf = La_xs{1.0, 1.0};
    la_xsb = La_xs{1.0, 1.0};
    enter_calibration_screen(status);
}

// Every camera marked calibrated with its default marks, and the view shown.
void test_setup(std::uint8_t& status, const PassInfo& p) {
    send_car_numbers(p.uart_fd, 2, 1);
    flash_param = flash_param_default;
    Car_num& car = flash_param.car_num;
    car.gj_kind = 2;
    car.gj_index = 1;
    flash_param.flagf = flash_param.flagb = flash_param.flagl = flash_param.flagr = 1;
    flash_param.flagi = flash_param.flagc = 1;
    set_yuyan(car.flagy);
    save_param(&flash_param);
    set_bright(flash_param.im_param);
    apply_car_and_layout();
    init_table(table0);
    rebuild_views();
    table = table0;
    if (all_cameras_calibrated()) {
        MT_image(p.temp_status, table0, ptable_YUV2RGB);
        status = 3;
    } else {
        enter_calibration_screen(status);
    }
}

}  // namespace

void enter_installer_menu(std::uint8_t& status, std::uint16_t bit) {
    table = table0;
    MT_choose011(table0, bit);
    choos = bit;
    status = 22;
}

void enter_test_page(std::uint8_t& status) {
    take_copy();
    table = table1;
    choos = 1;
    clear_zhuyi(table1);
    test_page();
    status = 40;
}

void installer_menu_state(std::uint8_t& status, const PassInfo& p) {
    draw_menu_guides(p);
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 64);
        MT_choose011(table0, choos);
        break;
    case KEY_EXIT: enter_main_menu(status, 1); break;
    case KEY_OK:
        switch (choos) {
        case 1: enter_calibration_screen(status); break;
        case 2:
            take_copy();
            car_area = save_car_area(table0);
            choos = 1;
            blind_zone_page();
            status = 23;
            break;
        case 4:
            take_copy();
            enter_view_range_page(status, 1);
            break;
        case 8:
            take_copy();
            car_area = save_car_area(table0);
            choos = 1;
            car_page();
            status = 24;
            break;
        case 16:
            take_copy();
            choos = 1;
            language_page();
            status = 25;
            break;
        case 32:
            MT_choose0115(table0, 1);
            choos = 1;
            status = 26;
            break;
        case 64: enter_upgrade_page(status); break;
        default: break;
        }
        break;
    default: break;
    }
}

void blind_zone_page_state(std::uint8_t& status, const PassInfo& p) {
    Image_param& im = flash_param.im_param;
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 8);
        blind_zone_page();
        break;
    case KEY_RIGHT:
    case KEY_LEFT: {
        const bool up = p.key == KEY_RIGHT;
        if (choos == 1) up ? up_to(im.fblank, 49) : down_to_zero(im.fblank);
        if (choos == 2) up ? up_to(im.bblank, 49) : down_to_zero(im.bblank);
        if (choos == 4) im.show_blank = up ? 1 : 0;
        redraw_car();
        blind_zone_page();
        break;
    }
    case KEY_EXIT:
        flash_param = temp_param;
        // Redrawing would leave what the longer zones drew around the car.
        restore_car_area(table0, car_area);
        car_area = {};
        enter_installer_menu(status, 2);
        break;
    case KEY_OK:
        if (choos != 8) break;
        save_param(&flash_param);
        set_blind_zones(im.fblank, im.bblank);
        if (all_cameras_calibrated()) build_birdseye();
        car_area = {};
        enter_installer_menu(status, 2);
        break;
    default: break;
    }
}

void car_page_state(std::uint8_t& status, const PassInfo& p) {
    Car_num& car = flash_param.car_num;
    std::uint16_t& suv = flash_param.im_param.suv;
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 32);
        car_page();
        break;
    case KEY_RIGHT:
        switch (choos) {
        case 1: up_to(car.gj_kind, 98); break;
        case 2: up_to(car.gj_index, 98); break;
        case 4: length_up(car.length); break;
        case 8:
            if (car.car_lev <= 2999) car.car_lev = static_cast<std::uint16_t>(car.car_lev + 10);
            break;
        case 16: suv = suv <= 6 ? static_cast<std::uint16_t>(suv + 1) : 0; break;
        default: break;
        }
        redraw_car();
        car_page();
        break;
    case KEY_LEFT:
        switch (choos) {
        case 1: down_to_zero(car.gj_kind); break;
        case 2: down_to_zero(car.gj_index); break;
        case 4: length_down(car.length); break;
        case 8:
            if (car.car_lev > 1500) car.car_lev = static_cast<std::uint16_t>(car.car_lev - 10);
            break;
        case 16: down_to_zero(suv); break;
        default: break;
        }
        redraw_car();
        car_page();
        break;
    case KEY_EXIT:
        flash_param = temp_param;
        // The car as it was, mirrors included, rather than redrawn over what the tried pictures left.
        restore_car_area(table0, car_area);
        car_area = {};
        enter_installer_menu(status, 8);
        break;
    case KEY_OK:
        if (choos != 32) break;
        send_car_numbers(p.uart_fd, static_cast<std::uint8_t>(car.gj_kind), static_cast<std::uint8_t>(car.gj_index));
        get_car(&car);
        save_param(&flash_param);
        // The blind zones are lengths along the car: they follow it too.
        apply_car_and_layout();
        rebuild_views();
        car_area = {};
        enter_installer_menu(status, 8);
        break;
    default: break;
    }
}

void language_page_state(std::uint8_t& status, const PassInfo& p) {
    std::uint16_t& flagy = flash_param.car_num.flagy;
    switch (p.key) {
    case KEY_DOWN:
        if (choos == 1) choos = 2;
        language_page();
        break;
    case KEY_UP:
        if (choos == 2) choos = 1;
        language_page();
        break;
    case KEY_RIGHT:
    case KEY_LEFT:
        if (choos != 1) break;
        if (p.key == KEY_RIGHT) flagy = flagy >= 2 ? 0 : static_cast<std::uint16_t>(flagy + 1);
        else flagy = flagy == 0 || flagy > 2 ? 2 : static_cast<std::uint16_t>(flagy - 1);
        language_page();
        break;
    case KEY_OK:
        if (choos != 2) break;
        save_param(&flash_param);
        set_yuyan(flagy);
        enter_installer_menu(status, 16);
        break;
    case KEY_EXIT:
        flash_param = temp_param;
        enter_installer_menu(status, 16);
        break;
    default: break;
    }
}

void factory_page_state(std::uint8_t& status, const PassInfo& p) {
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        choos = p.key == KEY_DOWN ? 2 : 1;
        MT_choose0115(table0, choos);
        break;
    case KEY_OK:
        if (choos == 2) factory_reset(status);
        else enter_installer_menu(status, 32);
        break;
    case KEY_EXIT: enter_installer_menu(status, 32); break;
    default: break;
    }
}

void view_range_page_state(std::uint8_t& status, const PassInfo& p) {
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        enter_view_range_page(status, p.key == KEY_DOWN ? 2 : 1);
        break;
    case KEY_EXIT: enter_installer_menu(status, 4); break;
    case KEY_OK:
        take_copy();
        if (choos == 1) {
            MT_choose01161(table0);
            status = 30;
        } else {
            MT_choose01162(table0);
            status = 31;
        }
        choos = 1;  // the top line
        break;
    default: break;
    }
}

void crop_page_state(std::uint8_t& status, const PassInfo& p) {
    Image_param& im = flash_param.im_param;
    const bool front = status == 30;
    if (front) draw_bline_f(pBuf1, im, choos);
    else draw_bline(pBuf1, im, choos);
    const bool top = choos == 1;
    std::int16_t& v = front ? (top ? im.fv_top : im.fv_bottom) : (top ? im.bv_top : im.bv_bottom);
    // A value stops once its line has reached the edge it is held at.
    const int row = crop_line_row(top, v);
    switch (p.key) {
    case KEY_DOWN:
        if (row < (top ? kCropTopMax : kCropBottomMax)) v = static_cast<std::int16_t>(v + 2);
        break;
    case KEY_UP:
        if (row > (top ? kCropTopMin : kCropBottomMin)) v = static_cast<std::int16_t>(v - 2);
        break;
    case KEY_OK:
        if (top) {
            choos = 2;
        } else {
            save_param(&flash_param);
            enter_view_range_page(status, front ? 1 : 2);
        }
        break;
    case KEY_EXIT:
        if (!top) {
            choos = 1;
        } else {
            flash_param = temp_param;
            enter_view_range_page(status, front ? 1 : 2);
        }
        break;
    default: break;
    }
}

void test_page_state(std::uint8_t& status, const PassInfo& p) {
    Car_num& car = flash_param.car_num;
    switch (p.key) {
    case KEY_DOWN:
    case KEY_UP:
        next_bit(p.key, 32);
        test_page();
        break;
    case KEY_RIGHT:
        if (choos == 2) up_to(car.gj_kind, 98);
        if (choos == 4) up_to(car.gj_index, 98);
        if (choos == 8 && car.mode == 0) car.mode = 1;
        if (choos == 16) up_to(car.flagy, 1);
        test_page();
        break;
    case KEY_LEFT:
        if (choos == 2) down_to_zero(car.gj_kind);
        if (choos == 4) down_to_zero(car.gj_index);
        if (choos == 8) down_to_zero(car.mode);
        if (choos == 16) down_to_zero(car.flagy);
        test_page();
        break;
    case KEY_EXIT:
        flash_param = temp_param;
        enter_calibration_screen(status);
        break;
    case KEY_OK:
        if (choos == 32) {
            send_car_numbers(p.uart_fd, static_cast<std::uint8_t>(car.gj_kind),
                             static_cast<std::uint8_t>(car.gj_index));
            flash_param.flagc = 1;
            set_yuyan(car.flagy);
            save_param(&flash_param);
            enter_calibration_screen(status);
        } else if (choos == 1) {
            test_setup(status, p);
        }
        break;
    default: break;
    }
}
