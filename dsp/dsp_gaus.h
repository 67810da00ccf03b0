// The fisheye lens model (camera pixel <-> undistorted plane) and the plane
// projective transform with its four-point solve.
#pragma once

#include "vio/settings.h"

// Eight points (y, x) as doubles: ground millimetres or undistorted coordinates.
struct Zuobiao {
    double y1, x1, y2, x2, y3, x3, y4, x4, y5, x5, y6, x6, y7, x7, y8, x8;
};

// Projection coefficients of each camera: ground millimetres to its undistorted plane.
extern double f_xishu[9], b_xishu[9], l_xishu[9], r_xishu[9];

// Camera pixel (row y, column x) to the undistorted plane.
void a_jiaozheng(short y, short x, double* yy, double* xx, Sensor_param sensor);
// Undistorted point to a (fractional) camera pixel.
void a_huanyuan(double yy, double xx, double* y, double* x, Sensor_param sensor);
// Maps (x, y) of the first plane through the nine coefficients.
void b_bianhuan(double x, double y, double* xx, double* yy, const double* res);
// Solves the transform taking points 1..4 of dimian onto those of tuxiang:
// 0, or -1 when they do not determine one (res then stays as it was).
int b_jiefcz(const Zuobiao* dimian, const Zuobiao* tuxiang, double* res);
// Solves a x = b (n x n, row order) by full-pivot elimination: 1 with the
// solution in b, 0 when singular.
int gaus(double* a, double* b, int n);
// Searches the lens centre and distance that put marks 5 and 6 midway
// between marks 1, 2 and 3, 4 on the ground; the best goes into des.
void youhua(Sensor_param src, Sensor_param* des, const Cali_pos* pos, int dir);

// Variants that the system does not call.
void b_bianhuan_all(double x, double y, double z, double* xx, double* yy, const double* res);
int newt(double* x, double eps, int js, void (*f)(double x, double y[2], double r, const double* xishu), double r,
         const double* xishu);
void a_huanyuan2(double yy, double xx, double* y, double* x, Sensor_param sensor);
int b_jiefcz2(const Cali_pos* pos1, const Cali_pos* pos2, double* res);
