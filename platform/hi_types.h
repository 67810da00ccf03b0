// Basic types and result codes of the media platform.
#pragma once

#include <cstdint>

using HI_U8 = std::uint8_t;
using HI_U16 = std::uint16_t;
using HI_U32 = std::uint32_t;
using HI_U64 = std::uint64_t;
using HI_S8 = std::int8_t;
using HI_S16 = std::int16_t;
using HI_S32 = std::int32_t;
using HI_S64 = std::int64_t;
using HI_CHAR = char;
using HI_VOID = void;

enum HI_BOOL : HI_S32 { HI_FALSE = 0, HI_TRUE = 1 };

constexpr HI_S32 HI_SUCCESS = 0;
constexpr HI_S32 HI_FAILURE = -1;

// Module numbers, used in error codes and in bind triples.
enum MOD_ID_E : HI_S32 {
    HI_ID_VB = 0x01,
    HI_ID_SYS = 0x02,
    HI_ID_VDEC = 0x05,
    HI_ID_GROUP = 0x06,  // encoder group
    HI_ID_VENC = 0x07,
    HI_ID_VPSS = 0x08,
    HI_ID_VDA = 0x0B,
    HI_ID_VOU = 0x0F,
    HI_ID_VIU = 0x10,
    HI_ID_RGN = 0x12,
    HI_ID_AI = 0x15,
    HI_ID_AO = 0x16,
    HI_ID_AENC = 0x17,
    HI_ID_ADEC = 0x18,
    HI_ID_IVE = 0x1D,
    HI_ID_HDMI = 0x29,
};

// Error numbers of the low 12 bits.
enum HI_ERR_CODE : HI_U32 {
    EN_ERR_INVALID_DEVID = 0x001,
    EN_ERR_INVALID_CHNID = 0x002,
    EN_ERR_ILLEGAL_PARAM = 0x003,
    EN_ERR_EXIST = 0x004,
    EN_ERR_UNEXIST = 0x005,
    EN_ERR_NULL_PTR = 0x006,
    EN_ERR_NOT_CONFIG = 0x007,
    EN_ERR_NOT_SUPPORT = 0x008,
    EN_ERR_NOT_PERM = 0x009,
    EN_ERR_NOMEM = 0x00C,
    EN_ERR_BUF_EMPTY = 0x00E,
    EN_ERR_BUF_FULL = 0x00F,
    EN_ERR_SYS_NOTREADY = 0x010,
    EN_ERR_BUSY = 0x012,
};

// Every platform failure is 0xA0MM8CCC: module MM, error CCC.
constexpr HI_S32 hi_err(MOD_ID_E mod, HI_ERR_CODE code) {
    return static_cast<HI_S32>(0xA0000000u | (static_cast<HI_U32>(mod) << 16) | 0x8000u |
                               (static_cast<HI_U32>(code) & 0xFFFu));
}

enum PIXEL_FORMAT_E : HI_S32 {
    PIXEL_FORMAT_RGB_1555 = 3,
    PIXEL_FORMAT_RGB_8888 = 8,
    PIXEL_FORMAT_YUV_SEMIPLANAR_422 = 18,
    PIXEL_FORMAT_YUV_SEMIPLANAR_420 = 19,
};

enum VIDEO_NORM_E : HI_S32 { VIDEO_ENCODING_MODE_PAL = 0, VIDEO_ENCODING_MODE_NTSC = 1 };

enum PAYLOAD_TYPE_E : HI_S32 {
    PT_JPEG = 26,
    PT_H264 = 96,
    PT_MP4VIDEO = 230,
    PT_MJPEG = 1002,
};

struct SIZE_S {
    HI_U32 u32Width;
    HI_U32 u32Height;
};

struct RECT_S {
    HI_S32 s32X;
    HI_S32 s32Y;
    HI_U32 u32Width;
    HI_U32 u32Height;
};

struct POINT_S {
    HI_S32 s32X;
    HI_S32 s32Y;
};
