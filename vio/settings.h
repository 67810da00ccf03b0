// The settings record and its file: one 268-byte record, 16-bit little-endian
// fields, no header.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sensor_param {
    std::int16_t center_y, center_x;  // optical centre in the camera picture
    std::int16_t len180, radius, dis;
    std::int16_t xx;                  // horizontal aspect x 1000
    std::int16_t reverse1;
};

struct Cali_pos {
    std::int16_t y1, x1, y2, x2, y3, x3, y4, x4, y5, x5, y6, x6, y7, x7, y8, x8;
};

struct Camera_param {
    Sensor_param sensor;
    Cali_pos pos;
};

struct Image_param {
    std::uint16_t fblank, bblank, show_blank, suv, bright, contrast, track, acc_time, turn_time, view_range,
        close_etc, record, pos;
    std::int16_t bv_top, bv_bottom;
    std::uint16_t back_time, cvbs_mode;
    std::int16_t fv_top, fv_bottom;
    std::uint16_t reverse3, reverse4, reverse5, reverse6;
};

struct Car_num {
    std::uint16_t car_lev, length, afterbody, gj_kind, gj_index, flagy, mode;
    std::uint16_t reverse1, reverse2, reverse3, reverse4, reverse5, reverse6;
};

struct Flash_param {
    std::int16_t flagb;
    Camera_param cb_param;
    std::int16_t flagf;
    Camera_param cf_param;
    std::int16_t flagl;
    Camera_param cl_param;
    std::int16_t flagr;
    Camera_param cr_param;
    std::int16_t flagi;
    Image_param im_param;
    std::int16_t flagc;
    Car_num car_num;
};

static_assert(sizeof(Camera_param) == 46);
static_assert(sizeof(Image_param) == 46);
static_assert(sizeof(Car_num) == 26);
static_assert(sizeof(Flash_param) == 268);
static_assert(offsetof(Flash_param, flagf) == 48 && offsetof(Flash_param, flagl) == 96 &&
              offsetof(Flash_param, flagr) == 144 && offsetof(Flash_param, flagi) == 192 &&
              offsetof(Flash_param, im_param) == 194 && offsetof(Flash_param, flagc) == 240 &&
              offsetof(Flash_param, car_num) == 242);

constexpr const char* PARAM_FILE = "/home/config/ImageParam.dat";

extern const Flash_param flash_param_default;
extern Flash_param flash_param;

void load_param(Flash_param* buf1);
void save_param(const Flash_param* buf);
