// Framebuffer requests and records of "/dev/fb0" (and "/dev/fb2"), used with
// dev_ioctl.
#pragma once

#include "platform/hi_types.h"

constexpr unsigned long FBIOGET_VSCREENINFO = 0x4600;
constexpr unsigned long FBIOPUT_VSCREENINFO = 0x4601;
constexpr unsigned long FBIOPUT_SCREEN_ORIGIN_HIFB = 0x4008465F;
constexpr unsigned long FBIOGET_LAYER_INFO = 0x80044679;
constexpr unsigned long FBIOPUT_LAYER_INFO = 0x40044678;
constexpr unsigned long FBIOPUT_SHOW_HIFB = 0x40044665;
constexpr unsigned long FBIO_REFRESH = 0x4004467C;

struct fb_bitfield {
    HI_U32 offset;
    HI_U32 length;
    HI_U32 msb_right;
};

// The variable screen information of the standard framebuffer interface.
struct fb_var_screeninfo {
    HI_U32 xres, yres;
    HI_U32 xres_virtual, yres_virtual;
    HI_U32 xoffset, yoffset;
    HI_U32 bits_per_pixel;
    HI_U32 grayscale;
    fb_bitfield red, green, blue, transp;
    HI_U32 nonstd;
    HI_U32 activate;
    HI_U32 height, width;
    HI_U32 accel_flags;
    HI_U32 pixclock;
    HI_U32 left_margin, right_margin, upper_margin, lower_margin;
    HI_U32 hsync_len, vsync_len;
    HI_U32 sync, vmode, rotate, colorspace;
    HI_U32 reserved[4];
};

struct HIFB_POINT_S {
    HI_S32 s32XPos;
    HI_S32 s32YPos;
};

enum HIFB_LAYER_BUF_E : HI_S32 {
    HIFB_LAYER_BUF_DOUBLE = 0,
    HIFB_LAYER_BUF_ONE = 1,
    HIFB_LAYER_BUF_NONE = 2,
    HIFB_LAYER_BUF_DOUBLE_IMMEDIATE = 3,
};

enum HIFB_LAYER_ANTIFLICKER_LEVEL_E : HI_S32 {
    HIFB_LAYER_ANTIFLICKER_NONE = 0,
    HIFB_LAYER_ANTIFLICKER_LOW = 1,
    HIFB_LAYER_ANTIFLICKER_MIDDLE = 2,
    HIFB_LAYER_ANTIFLICKER_HIGH = 3,
    HIFB_LAYER_ANTIFLICKER_AUTO = 4,
};

// Bits of HIFB_LAYER_INFO_S::u32Mask: which fields a put applies.
constexpr HI_U32 HIFB_LAYERMASK_BUFMODE = 0x1;
constexpr HI_U32 HIFB_LAYERMASK_ANTIFLICKER_MODE = 0x2;
constexpr HI_U32 HIFB_LAYERMASK_POS = 0x4;
constexpr HI_U32 HIFB_LAYERMASK_CANVASSIZE = 0x8;
constexpr HI_U32 HIFB_LAYERMASK_DISPSIZE = 0x10;
constexpr HI_U32 HIFB_LAYERMASK_SCREENSIZE = 0x20;
constexpr HI_U32 HIFB_LAYERMASK_BMUL = 0x40;

struct HIFB_LAYER_INFO_S {
    HIFB_LAYER_BUF_E BufMode;
    HIFB_LAYER_ANTIFLICKER_LEVEL_E eAntiflickerLevel;
    HI_S32 s32XPos;
    HI_S32 s32YPos;
    HI_S32 s32CanvasWidth;
    HI_S32 s32CanvasHeight;
    HI_U32 u32DisplayWidth;
    HI_U32 u32DisplayHeight;
    HI_U32 u32ScreenWidth;
    HI_U32 u32ScreenHeight;
    HI_BOOL bPreMul;
    HI_BOOL bUnchanged;
    HI_U32 u32Mask;
};

enum HIFB_COLOR_FMT_E : HI_S32 {
    HIFB_FMT_RGB565 = 0,
    HIFB_FMT_ARGB1555 = 5,
    HIFB_FMT_ARGB8888 = 9,
};

struct HIFB_RECT {
    HI_S32 x, y, w, h;
};

struct HIFB_SURFACE_S {
    HI_U32 u32PhyAddr;
    HI_U32 u32Width;
    HI_U32 u32Height;
    HI_U32 u32Pitch;
    HIFB_COLOR_FMT_E enFmt;
};

// The canvas handed to the refresh request.
struct HIFB_BUFFER_S {
    HIFB_SURFACE_S stCanvas;
    HIFB_RECT UpdateRect;
};
