// Guide lines over the front and back camera views.
#include "dsp/dsp_guiji.h"

void draw_guiji_b_zurid(std::uint32_t*, short, const std::uint32_t*) {}
void draw_guiji_f(std::uint32_t*, short, const std::uint32_t*) {}
