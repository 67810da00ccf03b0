// Guide lines over the camera views and the bird's-eye view, and the
// parking-sensor arcs, drawn on the canvas.
#pragma once

#include <cstdint>

void draw_guiji_full(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_qx(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_b_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_f(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);

// Members of the camera-view lines: one body-edge line each (fv* front,
// b* back; *2 the narrower full-lock style), the back view's two crossbars
// from the end points the back bands stored, and the tyre-path bands.
void draw_guiji_fvl(std::uint32_t* pimage, short angle);
void draw_guiji_fvr(std::uint32_t* pimage, short angle);
void draw_guiji_bl(std::uint32_t* pimage, short angle);
void draw_guiji_br(std::uint32_t* pimage, short angle);
void draw_guiji_bl2(std::uint32_t* pimage, short angle);
void draw_guiji_br2(std::uint32_t* pimage, short angle);
void draw_guiji_bc(std::uint32_t* pimage);
void draw_guiji_fvl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_fvr_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_bl_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);
void draw_guiji_br_zurid(std::uint32_t* pimage, short angle, const std::uint32_t* ptable_YUV2RGB);

void draw_radar(std::uint32_t* pimage, std::uint8_t mode, std::uint8_t f1, std::uint8_t f2, std::uint8_t f3,
                std::uint8_t f4, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4, std::uint8_t flag);
