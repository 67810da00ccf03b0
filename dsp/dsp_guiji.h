// Guide lines over the camera views and the bird's-eye view, and the
// parking-sensor arcs, drawn on the canvas.
#pragma once

#include <cstdint>

void draw_guiji_full(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_qx(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_b_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_f(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_radar(std::uint32_t* pimage, std::uint8_t mode, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3,
                std::uint8_t f4, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t flag);
