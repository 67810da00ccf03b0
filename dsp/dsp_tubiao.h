// Clearing of display tables and the canvas, icons and marks.
#pragma once

#include <cstdint>

#include "dsp/dsp_image.h"

void init_table(Image_table* table);    // every entry opaque black
void hide_table(Image_table* table);    // every entry transparent
void clear_ima(std::uint32_t* pimage);  // the whole canvas opaque black
