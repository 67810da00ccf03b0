#include "vio/stubs.h"

#include "dsp/dsp_guiji.h"

void set_yuyan(int) {}
void draw_formatusb(std::uint32_t*) {}
void draw_checkusb2(std::uint32_t*) {}
void MT_choose(Image_table*, int) {}

void draw_guiji_full(std::uint32_t*, short, const std::uint32_t*) {}
void draw_guiji_qx(std::uint32_t*, short, const std::uint32_t*) {}
void draw_guiji_b_zurid(std::uint32_t*, short, const std::uint32_t*) {}
void draw_guiji_f(std::uint32_t*, short, const std::uint32_t*) {}
void draw_radar(std::uint32_t*, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) {}
