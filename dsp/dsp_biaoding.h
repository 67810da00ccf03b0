// Calibration computations and screens: default marks, the magnifier, the
// preview through a fresh projection, preview marks back to camera pixels,
// and the lateral correction factors of the front and back cameras.
#pragma once

#include <cstdint>

#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"

// Lateral scale beyond 1500 mm from the centre line, on the car's left and right.
struct La_xs {
    double xs_l;
    double xs_r;
};

extern La_xs la_xsf, la_xsb;

// From a camera's undistorted marks (points 1-4, 7, 8) and its target set;
// the factors stay as they were when the marks do not give a transform.
void cul_xs_f(const Zuobiao* zzz, const Zuobiao* dimian, La_xs* la_xs);
void cul_xs_b(const Zuobiao* zzz, const Zuobiao* dimian, La_xs* la_xs);

// Marks can be moved by the keys within these camera-pixel ranges; marks
// from anywhere else (a settings file) are first brought into them.
constexpr int MARK_MIN = 3, MARK_MAX_Y = 597, MARK_MAX_X = 1277;
Cali_pos clamp_marks(Cali_pos pos);

// Default marks of camera `cali_dir` (1 back, 2 left, 4 right, 8 front) for
// the preview; the sides' marks 7 and 8 stay as they are.
void set_pos(Cali_pos* temp_pos, int cali_dir);
// The 4x magnifier around camera pixel (y, x) in table rows 0..119,
// columns 300..419, with a green marker on (y, x) at row 60, column 360.
void mt_view(Image_table* table, int dir, std::int16_t y, std::int16_t x);
// Clears the table and draws the top-down preview of the camera's ground
// through `xishu` and the lens of `param`.
void mt_test(Image_table* table, const double* xishu, int dir, Flash_param param);
// Marks placed on the preview to undistorted points.
void bh(Cali_pos pos, Zuobiao* zb, const double* xishu, int dir);
// Undistorted points to camera-pixel marks through the lens of `param`.
void huanyuan_pos(const Zuobiao* zzz, Cali_pos* temp_pos, int dir, Flash_param param);
// Nearest 16-bit integer, halves upward.
std::int16_t quzheng(double x);
void copy_xishu(const double* xs1, double* xs2);
