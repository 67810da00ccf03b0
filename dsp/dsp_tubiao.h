// Clearing of display tables and the canvas, icons into the display table,
// and marks drawn on the canvas.
#pragma once

#include <cstdint>

#include "dsp/dsp_image.h"
#include "vio/settings.h"

// Icon pictures: 16-bit words, luma in the high byte, U (even pixel) or V
// (odd pixel) in the low byte, row by row.
extern const std::uint16_t qianshi_on[60 * 60], qianshi_off[60 * 60];  // front view button
extern const std::uint16_t houshi_on[60 * 60], houshi_off[60 * 60];    // back view button
extern const std::uint16_t zuoyou_on[60 * 60], zuoyou_off[60 * 60];    // side view button
extern const std::uint16_t sanjiao_z[60 * 60], sanjiao_y[60 * 60];     // triangles left, right
extern const std::uint16_t camera[50 * 50];
extern const std::uint16_t rec_on[100 * 60];
extern const std::uint16_t queren[476 * 60], queren2[476 * 60];        // confirm bars

// Car pictures seen from above, front at row 0: 116 x 260 words, 0x7E80 is
// the transparent background.
constexpr int CAR_PIC_W = 116, CAR_PIC_H = 260;
extern const std::uint16_t lxc1[CAR_PIC_W * CAR_PIC_H], sxc1[CAR_PIC_W * CAR_PIC_H];
extern const std::uint16_t lxc2[CAR_PIC_W * CAR_PIC_H], sxc2[CAR_PIC_W * CAR_PIC_H];
extern const std::uint16_t lxc3[CAR_PIC_W * CAR_PIC_H], sxc3[CAR_PIC_W * CAR_PIC_H];
extern const std::uint16_t lxc4[CAR_PIC_W * CAR_PIC_H], sxc4[CAR_PIC_W * CAR_PIC_H];

// The blink counter shared by the blinking routines.
extern std::uint8_t count;

void init_table(Image_table* table);    // every entry opaque black
void hide_table(Image_table* table);    // every entry transparent
void clear_ima(std::uint32_t* pimage);  // the whole canvas opaque black
void clear_right(std::uint32_t* pimage);

void mt_tubiao(Image_table* table, const std::uint16_t* pdata, int pos_x, int pos_y, const std::uint32_t* yuv2rgb);
void mt_queren(Image_table* table, const std::uint32_t* yuv2rgb);
void mt_qianshi(Image_table* table, const std::uint32_t* yuv2rgb);
void mt_houshi(Image_table* table, const std::uint32_t* yuv2rgb);
void mt_youshi(Image_table* table, const std::uint32_t* yuv2rgb);
void mt_zuoshi(Image_table* table, const std::uint32_t* yuv2rgb);
void mt_camera(Image_table* table, int flagf, int flagb, int flagl, int flagr, const std::uint32_t* yuv2rgb);
void draw_rec(std::uint32_t* pimage, const std::uint32_t* yuv2rgb);

void draw_black(std::uint32_t* pimage, int dir);
void draw_cross(std::uint32_t* pimage, int yy, int xx);
void draw_cross2(std::uint32_t* pimage, int yy, int xx);
void draw_cd(std::uint32_t* pimage, Cali_pos pos, int point, int dir, int flag);
// The crop lines: the top line covers rows top - 1 and top, the bottom
// line rows bottom and bottom + 1, each held within these rows.
constexpr int kCropTopMin = 12, kCropTopMax = 478, kCropBottomMin = 1, kCropBottomMax = 468;
// The row a crop value puts its line at, before it is held within them;
// the view last built for cropping (mt_front2 or mt_back2) gives the base.
int crop_line_row(bool top, int value);
void draw_bline(std::uint32_t* pimage, Image_param param, int flag);
void draw_bline_f(std::uint32_t* pimage, Image_param param, int flag);

// Message boxes on the canvas: the panel (or, for draw_shaohou, the whole
// canvas) cleared to black and one text written on it.
void draw_shaohou(std::uint32_t* pimage);
void draw_formatfinish(std::uint32_t* pimage);
void draw_checkusb(std::uint32_t* pimage);
void draw_checkfile(std::uint32_t* pimage);
void draw_import_done(std::uint32_t* pimage);
void draw_export_done(std::uint32_t* pimage);
void draw_restart(std::uint32_t* pimage);
void draw_check_param_file(std::uint32_t* pimage);  // an import that was refused
void draw_xtsjz(std::uint32_t* pimage);
// The upgrade's progress in percent.
void draw_sjjd(std::uint8_t num, std::uint32_t* pimage);
// Banners over the live picture, without a background.
// Playback's progress and speed at the top left of the canvas.
void draw_play_status(int done, double rate);
void draw_formatusb(std::uint32_t* pimage);
void draw_checkusb2(std::uint32_t* pimage);
// The calibration notice, written into the current display table.
void mt_zhuyi(Image_table* table);
// The notice's rectangle in the table to opaque black: a page drawn over the
// calibration screen leaves none of it beside its own panel.
void clear_zhuyi(Image_table* table);

// ---- menu pages, written into a display table (dsp_tubiao_pages.cpp)

struct rtc_time;
struct Usb_info;
struct File_all;

// A text, a number or one character at (pos_x, pos_y), reversed when `flag`
// is non-zero.
void mt_cd(Image_table* table, int pos_y, int pos_x, const char* pstring, int flag);
void mt_num(Image_table* table, int pos_y, int pos_x, long num, int flag);
void mt_zf(Image_table* table, int pos_y, int pos_x, char zifu, int flag);
// One setting as its text.
void mt_ld(Image_table* table, int pos_y, int pos_x, int value, int flag);         // brightness
void mt_kg(Image_table* table, int pos_y, int pos_x, int value, int flag);         // on or off
void mt_dx(Image_table* table, int pos_y, int pos_x, int value, int flag);         // narrow, middle, wide
void mt_zy(Image_table* table, int pos_y, int pos_x, int value, int flag);         // left or right
void mt_sf(Image_table* table, int pos_y, int pos_x, int value, int flag);         // yes or no
void mt_mx(Image_table* table, int pos_y, int pos_x, int value, int flag);         // car picture
void mt_shijian(Image_table* table, int pos_y, int pos_x, int value, int flag);    // reverse delay
void mt_shijian2(Image_table* table, int pos_y, int pos_x, int value, int flag);   // turn-signal time
void mt_yy(Image_table* table, int pos_y, int pos_x, int value, int flag);         // language
void mt_pal_ntsc(Image_table* table, int pos_y, int pos_x, int value, int flag);
// Pages in the single-view panel; `flag` is the highlighted item.
void MT_choose(Image_table* table, int flag);                                 // main menu (bits 1..8)
void MT_choose01(Image_table* table, int flag);                               // access code, `flag` digits in
void MT_choose02(Image_table* table, Image_param param, int flag);            // picture settings (items 1..6)
void MT_choose03(Image_table* table, Image_param param, int flag);            // record settings (bits 1..16)
void MT_choose032(Image_table* table, const rtc_time* p_time, int flag);      // date and time (bits 1..64)
void MT_choose033(Image_table* table, const Usb_info* pusbinfo, int flag);    // disk formatting (bits 1, 2)
// The recording list on the whole table: the page of 13 holding file `flag`
// (from 1), its name and the action `opt` (0 play, 1 delete, 2 lock) highlighted.
void MT_choose031(Image_table* table, const File_all* files, int flag, int opt);
// The upgrade packages beside the bird's-eye view, the page of 10 holding
// package `flag` (from 1) with it highlighted.
void MT_choose0117(Image_table* table, const File_all* files, int flag);
// The settings files on the whole table: the export entry (`flag` 0) and the
// page of 10 holding file `flag`, with its action `opt` (0 import, 1 delete).
void MT_load(Image_table* table, const File_all* files, int flag, int opt);
// The installer's pages.
void MT_choose011(Image_table* table, int flag);                              // installer menu (bits 1..64)
void MT_choose0112(Image_table* table, Image_param param, int flag);          // blind zones (bits 1..8)
void MT_choose0113(Image_table* table, Flash_param param, int flag);          // car settings (bits 1..32)
void MT_choose0114(Image_table* table, Car_num param, int flag);              // language (bits 1, 2)
void MT_choose0115(Image_table* table, int flag);                             // factory settings (bits 1, 2)
void MT_choose0116(Image_table* table, int flag);                             // view range (bits 1, 2)
void MT_choose01161(Image_table* table);                                      // the front view to crop
void MT_choose01162(Image_table* table);                                      // the back view to crop
// The service page of the calibration screen (bits 1..32).
void MT_set(Image_table* table, Car_num num, int flag);
