// The per-pixel display table and the per-frame compositor with brightness and
// colour balancing between the four cameras.
#pragma once

#include <cstdint>
#include <vector>

#include "vio/settings.h"

// Bilinear weights of the four source pixels around a fractional position;
// they always sum to 255.
struct Y_bili {
    std::uint8_t Y_tl;  // Y at a
    std::uint8_t Y_tr;  // Y at a + 1
    std::uint8_t Y_bl;  // Y at a + 1280
    std::uint8_t Y_br;  // Y at a + 1281
};

// One entry of a display table (one screen pixel).
struct Image_table {
    std::uint16_t pic_num;      // kind in bits 4-7; camera slot (kind 1) or corner (kind 7) below
    std::uint16_t qz;           // weight of the first source of a corner blend, of 256
    std::uint32_t YUV_default;  // ready ARGB colour of kind 0
    std::uint32_t Addr_Y;       // row x 1280 + column of the top-left source pixel
    Y_bili ybili;
    std::uint32_t Addr_Y2;      // second source of a corner blend
    Y_bili ybili2;
};
static_assert(sizeof(Image_table) == 24);

constexpr int TABLE_W = 800;
constexpr int TABLE_H = 480;
constexpr int CAM_W = 1280;
constexpr int CAM_H = 720;

// Kinds of entry (pic_num >> 4).
constexpr std::uint16_t KIND_COLOUR = 0;
constexpr std::uint16_t KIND_CAMERA = 1;   // no gain; slot in bits 1-3: 0 back, 2 front, 4 left, 6 right
constexpr std::uint16_t KIND_BACK = 2;
constexpr std::uint16_t KIND_LEFT = 3;
constexpr std::uint16_t KIND_FRONT = 4;
constexpr std::uint16_t KIND_RIGHT = 5;
constexpr std::uint16_t KIND_CORNER = 7;   // corner in bits 0-3: 1 back+left, 2 back+right, 3 front+left, 4 front+right

// The composed area of the canvas.
constexpr int COMPOSE_TOP = 12, COMPOSE_BOTTOM = 467;
constexpr int COMPOSE_LEFT = 16, COMPOSE_RIGHT = 783;

// Gains, x 256, per camera and channel; they carry over from frame to frame.
extern std::uint32_t bili_b, bili_b_u, bili_b_v;
extern std::uint32_t bili_l, bili_l_u, bili_l_v;
extern std::uint32_t bili_t, bili_t_u, bili_t_v;
extern std::uint32_t bili_r, bili_r_u, bili_r_v;

// What composing one frame measured, per camera (back, left, front, right)
// and per corner (1..4; first and second camera): the signal test, the
// window sums, and the sums of the composed samples.
struct FrameStats {
    bool signal[4] = {};
    std::uint64_t window[4] = {};
    std::uint64_t ysum[4] = {}, usum[4] = {}, vsum[4] = {};
    std::uint32_t count[4] = {};
    std::uint64_t cy[5][2] = {}, cu[5][2] = {}, cv[5][2] = {};
    std::uint32_t ccount[5] = {};
};
// Sets the gains the next frame is composed with from one frame's statistics.
void update_gains(const FrameStats& st);

// Source offset and weights of the fractional camera position (x, y);
// 0 <= x < 1279 and 0 <= y < 719.
void cul_bili(double y, double x, std::uint32_t* addr_Y, Y_bili* ybili);

// Composes rows 12..467, columns 16..783 of the 800 x 480 canvas through the
// table from the front ("t"), back, left and right camera planes, then
// recomputes the gains for the next frame.
void set_image(std::uint32_t* pimage, const Image_table* table, const std::uint8_t* pY_t, const std::uint16_t* pUV_t,
               const std::uint8_t* pY_b, const std::uint16_t* pUV_b, const std::uint8_t* pY_l,
               const std::uint16_t* pUV_l, const std::uint8_t* pY_r, const std::uint16_t* pUV_r,
               const std::uint32_t* ptable_YUV2RGB);
// Composes on one thread (the default) or two.
void set_image_threads(int threads);

// ---- single views, the car picture and the view selection

// The view in the panel: 1 back, 2 left, 4 right, 8 front.
extern int work_dir;
// Crop and scale of the front and back views, read by the guide lines.
extern int f_center_x, b_center_x, f_center_y, b_center_y;
extern double f_bili_x, b_bili_x, f_bili_y, b_bili_y;
extern short top_base, bottom_base;

// Mode 0 front, 4 back, 1 and 5 right, 2 and 6 left, 8 and 12 both sides.
void MT_image(int dir, Image_table* table, const std::uint32_t* ptable_YUV2RGB);
void mt_front(Image_table* table);
void mt_back(Image_table* table);
void mt_front2(Image_table* table);
void mt_back2(Image_table* table);
void ct_right(Image_table* table);
void mt_left(Image_table* table);
void mt_right(Image_table* table);
void mt_lr(Image_table* table);
void mt_lr2(Image_table* table);
void mt_yuantu(Image_table* table, int dir);
void mt_car(Image_table* table, Image_param param, const std::uint32_t* ptable_YUV2RGB);
void clear_car(Image_table* table);
// The car picture's columns, mirrors included, in every row: taken before the car
// picture is tried out and put back when the try is undone (a mirror's transparent
// words leave whatever the other picture drew there).
struct CarArea {
    int c0 = 0, c1 = 0;
    std::vector<Image_table> entries;
};
CarArea save_car_area(const Image_table* table);
void restore_car_area(Image_table* table, const CarArea& area);
void MT_jiaozhun(Image_table* table, const std::uint32_t* ptable_YUV2RGB);
