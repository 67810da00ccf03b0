#include "vio/vio_states.h"

#include <array>

#include "dsp/dsp_guiji.h"
#include "dsp/dsp_image.h"
#include "vio/settings.h"
#include "dsp/dsp_tubiao.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

std::uint16_t choos = 1;

namespace {

void view(int code) { MT_image(code, table0, ptable_YUV2RGB); }

bool triggered(const PassInfo& p) { return check_status(p.temp_status, flash_param.im_param) != 0; }

// Guide lines and sensor arcs over a view, then a view change when the
// trigger bits changed.
void draw_view(const PassInfo& p) {
    if (table != table0) return;
    const Image_param& im = flash_param.im_param;
    const short a = p.uart->angle;
    const bool r = (p.temp_status & 4) != 0;
    if (a < -2509 || a > 2509) {
        if (work_dir == 1) draw_guiji_b_zurid(pBuf1, 0, ptable_YUV2RGB);
        if (work_dir == 8) draw_guiji_f(pBuf1, 0, ptable_YUV2RGB);
    } else {
        if (r) draw_guiji_full(pBuf1, a, ptable_YUV2RGB);
        else if (im.track != 0) draw_guiji_qx(pBuf1, a, ptable_YUV2RGB);
        if (work_dir == 1) draw_guiji_b_zurid(pBuf1, r ? a : 0, ptable_YUV2RGB);
        if (work_dir == 8) draw_guiji_f(pBuf1, r ? 0 : (im.track != 0 ? a : 0), ptable_YUV2RGB);
    }
    if (im.close_etc & 0x02) {
        const Kv_UART_INFO& u = *p.uart;
        draw_radar(pBuf1, u.radar_mode, u.f1, u.f2, u.f3, u.f4, u.b1, u.b2, u.b3, u.b4, r ? 4 : 0);
    }
    if (p.temp_status != p.post_temp_status) view(p.temp_status);
}

// The view keys of states 3, 4 and 5; true when the key was one of them.
bool view_key(std::uint8_t& status, std::uint8_t key) {
    switch (key) {
    case KEY_UP: view(0); return true;
    case KEY_DOWN: view(4); return true;
    case KEY_RIGHT: view(1); return true;
    case KEY_LEFT: view(2); return true;
    case 177:
        // Back, left, front, right, back.
        view(work_dir == 1 ? 2 : work_dir == 2 ? 0 : work_dir == 4 ? 4 : 1);
        return true;
    case KEY_OK:
        table = table0;
        MT_choose(table0, 1);
        choos = 1;
        status = 14;
        return true;
    default: return false;
    }
}

void back_to_idle(std::uint8_t& status) {
    av_off();
    view(4);
    status = 1;
}

}  // namespace

void enter_calibration_screen(std::uint8_t& status) {
    table = table1;
    MT_jiaozhun(table1, ptable_YUV2RGB);
    status = 6;
}

int get_backtime(int code) {
    static constexpr int seconds[5] = {0, 10, 15, 20, 30};
    return code >= 0 && code < 5 ? seconds[code] : 0;
}

int get_turntime(int code) {
    static constexpr int seconds[5] = {0, 0, 10, 20, 30};
    return code >= 0 && code < 5 ? seconds[code] : 0;
}

int get_time(int code) {
    static constexpr int seconds[6] = {0, 10, 15, 20, 30, 60};
    return code >= 0 && code < 6 ? seconds[code] : 0;
}

void timer_start(int seconds) { delay_time = seconds; }
std::uint8_t timer_get() { return static_cast<std::uint8_t>(delay_time.load()); }
void timer_clear() {}

void idle_state(std::uint8_t& status, const PassInfo& p) {
    if (triggered(p)) {
        av_on();
        if (all_cameras_calibrated()) {
            view(p.temp_status);
            status = 4;
        } else {
            enter_calibration_screen(status);
        }
        return;
    }
    int code = -1;
    switch (p.key) {
    case KEY_MENU: case KEY_OK: case KEY_WAKE: case 177: case 178: case KEY_UP: code = 0; break;
    case KEY_LEFT: code = 2; break;
    case KEY_RIGHT: code = 1; break;
    case KEY_DOWN: code = 4; break;
    case 0:
        av_off();
        status = 1;
        return;
    default:
        status = 1;
        return;
    }
    av_on();
    if (all_cameras_calibrated()) {
        view(code);
        status = 3;
    } else {
        enter_calibration_screen(status);
    }
}

bool view_state(std::uint8_t& status, const PassInfo& p) {
    const Image_param& im = flash_param.im_param;
    switch (status) {
    case 3:
        draw_view(p);
        if (get_back(p.temp_status) == 0) {
            timer_start(get_backtime(im.back_time));
            status = 5;
        }
        if (p.key == KEY_EXIT || p.key == 178) {
            if (!triggered(p)) back_to_idle(status);
        } else {
            view_key(status, p.key);
        }
        return true;
    case 4:
        draw_view(p);
        if (triggered(p)) {
            if (p.key != KEY_EXIT && p.key != 178) view_key(status, p.key);
        } else {
            timer_start((p.post_temp_status & 4) ? get_backtime(im.back_time) : get_turntime(im.turn_time));
            status = 5;
        }
        return true;
    case 5:
        draw_view(p);
        if (delay_time == 0) {
            back_to_idle(status);
        } else if (triggered(p)) {
            view(p.temp_status);
            status = 4;
        } else if (p.key == KEY_EXIT || p.key == 178) {
            back_to_idle(status);
        } else {
            view_key(status, p.key);
        }
        return true;
    default:
        return false;
    }
}

namespace {

void view_handler(std::uint8_t& status, const PassInfo& p) { view_state(status, p); }

constexpr int kStates = 44;

constexpr std::array<StateHandler, kStates> kHandlers = [] {
    std::array<StateHandler, kStates> h{};
    h[1] = idle_state;
    h[3] = h[4] = h[5] = view_handler;
    h[6] = choose_camera_state;
    h[7] = place_marks_state;
    h[8] = compute_state;
    h[9] = adjust_marks_state;
    h[10] = refine_state;
    h[14] = main_menu_state;
    h[15] = access_code_state;
    h[16] = picture_page_state;
    h[17] = record_page_state;
    h[18] = recording_list_state;
    h[19] = date_page_state;
    h[20] = disk_page_state;
    h[21] = playback_state;
    h[22] = installer_menu_state;
    h[23] = blind_zone_page_state;
    h[24] = car_page_state;
    h[25] = language_page_state;
    h[26] = factory_page_state;
    h[28] = upgrade_page_state;
    h[29] = view_range_page_state;
    h[30] = h[31] = crop_page_state;
    h[40] = test_page_state;
    h[43] = load_page_state;
    return h;
}();

}  // namespace

void run_state(std::uint8_t& status, const PassInfo& pass) {
    if (status < kStates && kHandlers[status]) kHandlers[status](status, pass);
}
