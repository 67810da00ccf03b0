// The calibration states of the main loop: choose a camera (6), place its
// marks on the raw picture (7), solve a provisional projection and preview
// it (8), place all marks on the preview (9), refine the lens, solve and save
// (10).
#include <cstdio>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"
#include "vio/menu_states.h"
#include "vio/settings.h"
#include "vio/vio.h"
#include "vio/vio_states.h"

std::uint8_t cali_dir = 1;
std::uint8_t cali_point = 1;
Cali_pos temp_pos{};
Zuobiao zzz{};
double b_xishu_bk[9] = {}, f_xishu_bk[9] = {}, l_xishu_bk[9] = {}, r_xishu_bk[9] = {};

namespace {

// What calibrating one camera touches.
struct Cam {
    std::int16_t* flag;
    Camera_param* param;
    const Camera_param* fallback;  // its defaults
    const Zuobiao* ground;         // its target set
    double* xishu;
    double* working;
    La_xs* la;                     // front and back only
    void (*lateral)(const Zuobiao*, const Zuobiao*, La_xs*);
};

bool cam_of(int dir, Cam& c) {
    switch (dir) {
    case 1:
        c = {&flash_param.flagb, &flash_param.cb_param, &flash_param_default.cb_param, &zuobiao_b, b_xishu, b_xishu_bk,
             &la_xsb, cul_xs_b};
        return true;
    case 2:
        c = {&flash_param.flagl, &flash_param.cl_param, &flash_param_default.cl_param, &zuobiao_l, l_xishu, l_xishu_bk,
             nullptr, nullptr};
        return true;
    case 4:
        c = {&flash_param.flagr, &flash_param.cr_param, &flash_param_default.cr_param, &zuobiao_r, r_xishu, r_xishu_bk,
             nullptr, nullptr};
        return true;
    case 8:
        c = {&flash_param.flagf, &flash_param.cf_param, &flash_param_default.cf_param, &zuobiao_f, f_xishu, f_xishu_bk,
             &la_xsf, cul_xs_f};
        return true;
    default: return false;
    }
}

std::int16_t* mark(Cali_pos& pos, int point) { return &pos.y1 + 2 * (point - 1); }

void magnifier() {
    const std::int16_t* m = mark(temp_pos, cali_point);
    mt_view(table1, cali_dir, m[0], m[1]);
}

// Moves the current mark by the key, within the picture; true when the key
// was a move. `step` is the held keys' stride.
bool move_mark(std::uint8_t key, int step) {
    std::int16_t* m = mark(temp_pos, cali_point);
    std::int16_t& y = m[0];
    std::int16_t& x = m[1];
    switch (key) {
    case 26: if (y <= 589) y += 1; return true;
    case 154: if (y <= 589) y = static_cast<std::int16_t>(y + step); return true;
    case 27: if (y > 10) y -= 1; return true;
    case 155: if (y > 10) y = static_cast<std::int16_t>(y - step); return true;
    case 4: if (x > 10) x -= 1; return true;
    case 132: if (x > 10) x = static_cast<std::int16_t>(x - step); return true;
    case 6: if (x <= 1269) x += 1; return true;
    case 134: if (x <= 1269) x = static_cast<std::int16_t>(x + step); return true;
    default: return false;
    }
}

// The camera's marks 1-4 (and 7, 8 when `outer`) on the undistorted plane of `lens`.
void undistort(const Cali_pos& pos, const Sensor_param& lens, bool outer) {
    const std::int16_t* m = &pos.y1;
    double* p = &zzz.y1;
    for (int i = 0; i < 8; ++i)
        if (i < 4 || (outer && i >= 6)) a_jiaozheng(m[2 * i], m[2 * i + 1], &p[2 * i], &p[2 * i + 1], lens);
}

// Order in which the marks are placed on the preview.
constexpr std::uint8_t kOrderFrontBack[8] = {1, 5, 2, 7, 3, 6, 4, 8};
constexpr std::uint8_t kOrderSides[6] = {1, 5, 2, 3, 6, 4};

}  // namespace

void choose_camera_state(std::uint8_t& status, const PassInfo& p) {
    if (p.key >= 4 && p.key <= 27) {
        switch (p.key) {
        case 26: cali_dir = 1; break;
        case 4: cali_dir = 2; break;
        case 6: cali_dir = 4; break;
        case 27: cali_dir = 8; break;
        case 5: {
            Cam c;
            if (cam_of(cali_dir, c)) {
                // A settings file may hold anything: keep the marks inside the picture.
                temp_pos = clamp_marks(c.param->pos);
                mt_yuantu(table1, cali_dir);
                cali_point = 1;
                magnifier();
                status = 7;
            }
            cali_point = 1;
            break;
        }
        case 8: case 12: enter_test_page(status); break;
        case 16: enter_load_page(status); break;
        case 18:
            if (all_cameras_calibrated()) {
                enter_installer_menu(status, 1);
            } else {
                av_off();
                status = 1;
            }
            break;
        default: break;
        }
    }
    draw_black(pBuf1, cali_dir);
}

void place_marks_state(std::uint8_t& status, const PassInfo& p) {
    if (cali_point >= 1 && cali_point <= 4) {
        if (move_mark(p.key, 8)) {
            magnifier();
        } else if (p.key == 5) {
            if (cali_point < 4) {
                ++cali_point;
                magnifier();
            } else {
                status = 8;
            }
        } else if (p.key == 18) {
            if (cali_point > 1) {
                --cali_point;
                magnifier();
            } else {
                enter_calibration_screen(status);
            }
        }
    }
    draw_cd(pBuf1, temp_pos, cali_point, cali_dir, 0);
}

void compute_state(std::uint8_t& status, const PassInfo&) {
    table = table1;
    Cam c;
    if (cam_of(cali_dir, c)) {
        undistort(temp_pos, c.fallback->sensor, false);
        if (b_jiefcz(c.ground, &zzz, c.working) != 0) {
            MT_jiaozhun(table1, ptable_YUV2RGB);
            cali_point = 1;
            status = 6;
            return;
        }
        mt_test(table1, c.working, cali_dir, flash_param_default);
        set_pos(&temp_pos, cali_dir);
    }
    cali_point = 1;
    status = 9;
}

void adjust_marks_state(std::uint8_t& status, const PassInfo& p) {
    const bool side = cali_dir == 2 || cali_dir == 4;
    const std::uint8_t* order = side ? kOrderSides : kOrderFrontBack;
    const int n = side ? 6 : 8;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (order[i] == cali_point) at = i;
    if (at >= 0 && !move_mark(p.key, 6)) {
        if (p.key == 5) {
            if (at + 1 < n) cali_point = order[at + 1];
            else status = 10;
        } else if (p.key == 18) {
            if (at > 0) cali_point = order[at - 1];
            else enter_calibration_screen(status);
        }
    }
    draw_cd(pBuf1, temp_pos, cali_point, cali_dir, 1);
}

void refine_state(std::uint8_t& status, const PassInfo&) {
    Cam c;
    if (cam_of(cali_dir, c)) {
        // Everything lands in the settings together, and only when the solve succeeds.
        Camera_param rec = *c.param;
        const Sensor_param& lens0 = c.fallback->sensor;
        bh(temp_pos, &zzz, c.working, cali_dir);
        huanyuan_pos(&zzz, &rec.pos, cali_dir, flash_param_default);
        youhua(lens0, &rec.sensor, &rec.pos, cali_dir);
        if (cali_dir == 1) {
            std::printf("******%d,%d,%d****\n", lens0.center_x, lens0.center_y, lens0.dis);
            std::printf("******%d,%d,%d****\n", rec.sensor.center_x, rec.sensor.center_y, rec.sensor.dis);
        }
        undistort(rec.pos, rec.sensor, c.la != nullptr);
        if (b_jiefcz(c.ground, &zzz, c.working) == 0) {
            copy_xishu(c.working, c.xishu);
            if (c.la) c.lateral(&zzz, c.ground, c.la);
            *c.param = rec;
            *c.flag = 1;
            if (all_cameras_calibrated()) build_birdseye();
            save_param(&flash_param);
        }
    }
    if (all_cameras_calibrated()) {
        enter_installer_menu(status, 1);
    } else {
        enter_calibration_screen(status);
    }
}
