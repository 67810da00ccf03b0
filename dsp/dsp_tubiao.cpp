#include "dsp/dsp_tubiao.h"

namespace {
void fill_table(Image_table* table, std::uint32_t colour) {
    for (int i = 0; i < TABLE_W * TABLE_H; ++i) {
        table[i].pic_num = 0;
        table[i].YUV_default = colour;
    }
}
}  // namespace

void init_table(Image_table* table) { fill_table(table, 0xFF000000u); }
void hide_table(Image_table* table) { fill_table(table, 0x00000000u); }

void clear_ima(std::uint32_t* pimage) {
    for (int i = 0; i < TABLE_W * TABLE_H; ++i) pimage[i] = 0xFF000000u;
}
