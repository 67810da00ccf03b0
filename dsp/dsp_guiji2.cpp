// Guide lines of the bird's-eye view and the parking-sensor arcs.
#include "dsp/dsp_guiji.h"

void draw_guiji_full(std::uint32_t*, short, const std::uint32_t*) {}
void draw_guiji_qx(std::uint32_t*, short, const std::uint32_t*) {}
void draw_radar(std::uint32_t*, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) {}
