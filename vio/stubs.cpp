#include "vio/stubs.h"

int work_dir = 0;

void build_birdseye(Image_table*, const std::uint32_t*) {}
void MT_image(int, Image_table*, const std::uint32_t*) {}
void set_yuyan(int) {}
void draw_rec(std::uint32_t*, const std::uint32_t*) {}
void draw_formatusb(std::uint32_t*) {}
void draw_checkusb2(std::uint32_t*) {}
bool run_state(std::uint8_t&, std::uint8_t, std::uint8_t) { return false; }
void idle_state(std::uint8_t&, std::uint8_t, std::uint8_t) {}
