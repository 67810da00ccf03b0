// Builders of the bird's-eye view (four quadrants with blended corners) and
// of the cached side-view tables.
#pragma once

#include <cstdint>

#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"

// Lateral correction of a ground X beyond 1500 mm from the centre line.
void tiaozheng(double x, double y, double* xx);

void mt_fleft(Image_table* table);
void mt_fright(Image_table* table);
void mt_ftop(Image_table* table);
void mt_fbottom(Image_table* table);

// Side views: panel corners, transforms and the shifted lens copies.
extern Zuobiao zzr, zzl;
extern double rview_xishu[9], lview_xishu[9], rrview_xishu[9], llview_xishu[9];
extern Sensor_param rsensor_param, lsensor_param;

// Side-view tables (the main loop allocates tabler, tablel: 458 x 480;
// tablelr, tablelr2: 476 x 480 entries).
void mt_right_bk(Image_table* t);
void mt_left_bk(Image_table* t);
void mt_right_bk2(Image_table* t);
void mt_left_bk2(Image_table* t);
void mt_lrr_bk(Image_table* t);
void mt_lrl_bk(Image_table* t);
void mt_lrr2_bk(Image_table* t);
void mt_lrl2_bk(Image_table* t);
void draw_biaochi0_r(Image_table* t);
void draw_biaochi1_r(Image_table* t);
void draw_biaochi0_l(Image_table* t);
void draw_biaochi1_l(Image_table* t);
