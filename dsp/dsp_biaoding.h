// Calibration computations: the lateral correction factors of the front and
// back cameras.
#pragma once

#include "dsp/dsp_gaus.h"

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
