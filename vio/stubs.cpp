#include "vio/stubs.h"


void set_yuyan(int) {}
void draw_formatusb(std::uint32_t*) {}
void draw_checkusb2(std::uint32_t*) {}
void MT_choose(Image_table*, int) {}
