#include "vio/stubs.h"

#include "dsp/dsp_guiji.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"

void set_yuyan(int) {}
void draw_formatusb(std::uint32_t*) {}
void draw_checkusb2(std::uint32_t*) {}
void MT_choose(Image_table*, int) {}

// Stand-ins while the view builders and icons are written; the real
// definitions replace them.
[[gnu::weak]] void draw_rec(std::uint32_t*, const std::uint32_t*) {}
[[gnu::weak]] void mt_queren(Image_table*, const std::uint32_t*) {}
[[gnu::weak]] void mt_qianshi(Image_table*, const std::uint32_t*) {}
[[gnu::weak]] void mt_houshi(Image_table*, const std::uint32_t*) {}
[[gnu::weak]] void mt_youshi(Image_table*, const std::uint32_t*) {}
[[gnu::weak]] void mt_camera(Image_table*, int, int, int, int, const std::uint32_t*) {}
[[gnu::weak]] std::uint8_t count = 0;
[[gnu::weak]] extern const std::uint16_t qianshi_on[60 * 60] = {}, qianshi_off[60 * 60] = {};
[[gnu::weak]] extern const std::uint16_t houshi_on[60 * 60] = {}, houshi_off[60 * 60] = {};
[[gnu::weak]] extern const std::uint16_t zuoyou_on[60 * 60] = {}, zuoyou_off[60 * 60] = {};
[[gnu::weak]] extern const std::uint16_t sanjiao_z[60 * 60] = {}, sanjiao_y[60 * 60] = {};
[[gnu::weak]] extern const std::uint16_t camera[50 * 50] = {};
[[gnu::weak]] extern const std::uint16_t rec_on[100 * 60] = {};
[[gnu::weak]] extern const std::uint16_t queren[476 * 60] = {}, queren2[476 * 60] = {};
[[gnu::weak]] extern const std::uint16_t lxc1[CAR_PIC_W * CAR_PIC_H] = {}, sxc1[CAR_PIC_W * CAR_PIC_H] = {};
[[gnu::weak]] extern const std::uint16_t lxc2[CAR_PIC_W * CAR_PIC_H] = {}, sxc2[CAR_PIC_W * CAR_PIC_H] = {};
[[gnu::weak]] extern const std::uint16_t lxc3[CAR_PIC_W * CAR_PIC_H] = {}, sxc3[CAR_PIC_W * CAR_PIC_H] = {};
[[gnu::weak]] extern const std::uint16_t lxc4[CAR_PIC_W * CAR_PIC_H] = {}, sxc4[CAR_PIC_W * CAR_PIC_H] = {};
[[gnu::weak]] void draw_guiji_full(std::uint32_t*, short, const std::uint32_t*) {}
[[gnu::weak]] void draw_guiji_qx(std::uint32_t*, short, const std::uint32_t*) {}
[[gnu::weak]] void draw_guiji_b_zurid(std::uint32_t*, short, const std::uint32_t*) {}
[[gnu::weak]] void draw_guiji_f(std::uint32_t*, short, const std::uint32_t*) {}
[[gnu::weak]] void draw_radar(std::uint32_t*, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                              std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) {}
