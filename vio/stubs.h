// Minimal versions of functions whose subsystems are not built yet: the
// geometry, the view builders, the view and menu states, the messages and the
// disk housekeeping. Each does the least the main loop needs.
#pragma once

#include <cstdint>

#include "dsp/dsp_image.h"
#include "vio/settings.h"

struct Param_car {
    std::uint16_t backlow, LL, W, L, S, WW;
};
struct Zuobiao {
    double y1, x1, y2, x2, y3, x3, y4, x4, y5, x5, y6, x6, y7, x7, y8, x8;
};

extern Param_car param_car;
extern int work_dir;  // the camera of the single view: 1 back, 2 left, 4 right, 8 front
extern int FVLEN, BVLEN, LRVLEN;
extern Zuobiao zuobiao_f, zuobiao_b, zuobiao_l, zuobiao_r;

void get_car(Car_num* car);
void set_zuobiao(Flash_param param);
// Solves a camera's ground projection: nonzero when it cannot.
int solve_camera(int dir, Camera_param* cam);
void build_birdseye(Image_table* table, const std::uint32_t* yuv2rgb);
void MT_image(int view, Image_table* table, const std::uint32_t* yuv2rgb);
void set_yuyan(int language);
void draw_rec(std::uint32_t* pimage, const std::uint32_t* yuv2rgb);
void draw_formatusb(std::uint32_t* pimage);
void draw_checkusb2(std::uint32_t* pimage);
// State handlers; false when the state has none yet.
bool run_state(std::uint8_t& status, std::uint8_t key, std::uint8_t temp_status);
void idle_state(std::uint8_t& status, std::uint8_t key, std::uint8_t temp_status);
