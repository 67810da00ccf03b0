// Guide lines over the camera views and the bird's-eye view, and the
// parking-sensor arcs, drawn on the canvas.
#pragma once

#include <cstdint>

void draw_guiji_full(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_qx(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_b_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_f(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);

// Members of the camera-view lines: one body-edge line each (fv* front,
// b* back; *2 the narrower full-lock style), the back view's two crossbars
// from the end points the back bands stored, and the tyre-path bands.
void draw_guiji_fvl(std::uint32_t* pimage, short angle);
void draw_guiji_fvr(std::uint32_t* pimage, short angle);
void draw_guiji_bl(std::uint32_t* pimage, short angle);
void draw_guiji_br(std::uint32_t* pimage, short angle);
void draw_guiji_bl2(std::uint32_t* pimage, short angle);
void draw_guiji_br2(std::uint32_t* pimage, short angle);
void draw_guiji_bc(std::uint32_t* pimage);
void draw_guiji_fvl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_fvr_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_bl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_br_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);

void draw_radar(std::uint32_t* pimage, std::uint8_t mode, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3,
                std::uint8_t f4, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t flag);

// Members of the bird's-eye lines: reversing wheel paths with body edges (l,
// r), full-lock curves on the last 60 rows (lx, rx), front corner sweeps
// while reversing (fl, fr); forward: rear corner sweeps (qbl, qbr) and front
// wheel paths (qfl, qfr). Each tests its own steering condition.
void draw_guiji_l(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_r(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_lx(std::uint32_t* pimage, short angle);
void draw_guiji_rx(std::uint32_t* pimage, short angle);
void draw_guiji_fl(std::uint32_t* pimage, short angle);
void draw_guiji_fr(std::uint32_t* pimage, short angle);
void draw_guiji_qbl(std::uint32_t* pimage, short angle);
void draw_guiji_qbr(std::uint32_t* pimage, short angle);
void draw_guiji_qfl(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_qfr(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);

// Blink counter of the sensor arcs, shared by all calls.
extern std::uint16_t count_radar;

// Distance scale marks written into a display table: in the side views at
// the car's front corner (1: across, 0: along the car; r2 right, l2 left)
// and along the front view's body-edge lines (fr, fl).
struct Image_table;
void draw_biaochi1_r2(Image_table* table);
void draw_biaochi0_r2(Image_table* table);
void draw_biaochi1_l2(Image_table* table);
void draw_biaochi0_l2(Image_table* table);
void draw_biaochi_fr(Image_table* table);
void draw_biaochi_fl(Image_table* table);
// View rows of the 12 reference distances of the front marks.
extern short pos_r[12], pos_l[12];
// Camera pixel shown at the centre of the right and left side views.
extern int r_center_x, r_center_y, l_center_x, l_center_y;
