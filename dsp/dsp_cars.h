// Car dimensions, the ground lengths the bird's-eye view shows, and the
// ground positions of the calibration targets.
#pragma once

#include <cstdint>

#include "dsp/dsp_gaus.h"
#include "vio/settings.h"

// Car dimensions in millimetres.
struct Param_car {
    std::uint16_t backlow;  // reserved
    std::uint16_t LL;       // body length
    std::uint16_t W;        // body width
    std::uint16_t L;        // wheelbase of the guide-line geometry
    std::uint16_t S;        // rear overhang of the guide-line geometry
    std::uint16_t WW;       // track
};

extern Param_car param_car;
// Ground shown ahead of, behind and beside the car, mm.
extern std::int16_t FVLEN, BVLEN, LRVLEN;
// Ground points (y, x) paired with each camera's marks, and the side views' quadrilaterals.
extern Zuobiao zuobiao_f, zuobiao_b, zuobiao_l, zuobiao_r, zuobiao_lview, zuobiao_rview;

// Fills param_car; a width out of range is replaced by the default for the
// car's length, also in the settings.
void get_car(Car_num* pnum);
// Sets the view lengths and the target sets from the settings and param_car.
void set_zuobiao(Flash_param param);
