// Minimal versions of functions whose subsystems are not built yet: the view
// builders, the view and menu states, the messages. Each does the least the
// main loop needs.
#pragma once

#include <cstdint>

#include "dsp/dsp_image.h"

extern int work_dir;  // the camera of the single view: 1 back, 2 left, 4 right, 8 front

void build_birdseye(Image_table* table, const std::uint32_t* yuv2rgb);
void MT_image(int view, Image_table* table, const std::uint32_t* yuv2rgb);
void set_yuyan(int language);
void draw_rec(std::uint32_t* pimage, const std::uint32_t* yuv2rgb);
void draw_formatusb(std::uint32_t* pimage);
void draw_checkusb2(std::uint32_t* pimage);
// State handlers; false when the state has none yet.
bool run_state(std::uint8_t& status, std::uint8_t key, std::uint8_t temp_status);
void idle_state(std::uint8_t& status, std::uint8_t key, std::uint8_t temp_status);
