// Loading an uncompressed Windows bitmap file into a logo buffer or an
// overlay surface in one of the platform's 16- or 32-bit colour formats.
#pragma once

#include "platform/hi_types.h"

enum OSD_COLOR_FMT_E : HI_S32 {
    OSD_COLOR_FMT_RGB444 = 0,
    OSD_COLOR_FMT_RGB4444 = 1,
    OSD_COLOR_FMT_RGB555 = 2,
    OSD_COLOR_FMT_RGB565 = 3,
    OSD_COLOR_FMT_RGB1555 = 4,
    OSD_COLOR_FMT_RGB888 = 6,
    OSD_COLOR_FMT_RGB8888 = 7,
    OSD_COLOR_FMT_BUTT = 8,
};

struct OSD_COMP_INFO {
    HI_S32 alen, rlen, glen, blen;
};
extern const OSD_COMP_INFO s_OSDCompInfo[OSD_COLOR_FMT_BUTT];

// The headers as stored in the file after the magic "BM" (little-endian).
struct OSD_BITMAPFILEHEADER {
    HI_U32 bfSize;
    HI_U16 bfReserved1;
    HI_U16 bfReserved2;
    HI_U32 bfOffBits;
};

struct OSD_BITMAPINFOHEADER {
    HI_U32 biSize;
    HI_S32 biWidth;
    HI_S32 biHeight;
    HI_U16 biPlanes;
    HI_U16 biBitCount;
    HI_U32 biCompression;
    HI_U32 biSizeImage;
    HI_S32 biXPelsPerMeter;
    HI_S32 biYPelsPerMeter;
    HI_U32 biClrUsed;
    HI_U32 biClrImportant;
};

struct OSD_RGBQUAD {
    HI_U8 rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

// The 44 bytes read after the file header.
struct OSD_BITMAPINFO {
    OSD_BITMAPINFOHEADER bmiHeader;
    OSD_RGBQUAD bmiColors[1];
};

// The caller provides the pixel buffer and says how many bytes it holds;
// a load sets the size and the stride (bytes per row).
struct OSD_LOGO_T {
    HI_U32 height;
    HI_U32 width;
    HI_U32 stride;
    HI_U8* pRGBBuffer;
    HI_U32 u32BufLen;
};

// A surface's format and memory; u32Size is how many bytes the memory holds.
// A load sets the picture's size and stride.
struct OSD_SURFACE_S {
    OSD_COLOR_FMT_E enColorFmt;
    HI_U32 u32PhyAddr;
    HI_U8* pu8VirtAddr;
    HI_U32 u32Size;
    HI_U16 u16Width;
    HI_U16 u16Height;
    HI_U16 u16Stride;
};

const char* GetExtName(const char* filename);
HI_S32 GetBmpInfo(const char* filename, OSD_BITMAPFILEHEADER* pBmpFileHeader, OSD_BITMAPINFO* pBmpInfo);
HI_U16 OSD_MAKECOLOR_U16(HI_U8 r, HI_U8 g, HI_U8 b, const OSD_COMP_INFO& compinfo);

HI_S32 LoadBMP(const char* filename, OSD_LOGO_T* pVideoLogo);
HI_S32 LoadBMPEx(const char* filename, OSD_LOGO_T* pVideoLogo, OSD_COLOR_FMT_E enFmt);
HI_S32 LoadImage(const char* filename, OSD_LOGO_T* pVideoLogo);
HI_S32 LoadImageEx(const char* filename, OSD_LOGO_T* pVideoLogo, OSD_COLOR_FMT_E enFmt);
HI_S32 LoadBitMap2Surface(const char* pszFileName, OSD_SURFACE_S* pstSurface, HI_U8* pu8Virt);
HI_S32 CreateSurfaceByBitMap(const char* pszFileName, OSD_SURFACE_S* pstSurface, HI_U8* pu8Virt);
