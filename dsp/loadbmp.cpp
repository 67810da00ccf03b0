// Bitmap files into logo buffers and overlay surfaces. A file is never
// trusted: its sizes are checked against the caller's buffer before anything
// is allocated, read or written.
#include "dsp/loadbmp.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

const OSD_COMP_INFO s_OSDCompInfo[OSD_COLOR_FMT_BUTT] = {
    {0, 4, 4, 4}, {4, 4, 4, 4}, {0, 5, 5, 5}, {0, 5, 6, 5}, {1, 5, 5, 5}, {0, 0, 0, 0}, {0, 8, 8, 8}, {8, 8, 8, 8},
};

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

HI_U16 le16(const HI_U8* p) { return static_cast<HI_U16>(p[0] | p[1] << 8); }
HI_U32 le32(const HI_U8* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<HI_U32>(p[3]) << 24; }

bool is_16bit(OSD_COLOR_FMT_E f) { return f >= OSD_COLOR_FMT_RGB444 && f <= OSD_COLOR_FMT_RGB1555; }
bool is_32bit(OSD_COLOR_FMT_E f) { return f == OSD_COLOR_FMT_RGB888 || f == OSD_COLOR_FMT_RGB8888; }

// Whether a source depth has a rule for the target format: 24-bit pixels are
// converted to the 16-bit formats and to RGB8888; 16- and 32-bit pixels are
// copied as they are, so only into a format of the same width.
bool has_rule(int src_bytes, OSD_COLOR_FMT_E f) {
    if (src_bytes == 3) return is_16bit(f) || f == OSD_COLOR_FMT_RGB8888;
    if (src_bytes == 2) return is_16bit(f);
    return is_32bit(f);
}

void no_such_format() { std::printf("file(%s), line(%d), no such format!\n", __FILE__, __LINE__); }

HI_S32 load_bmp(const char* filename, OSD_LOGO_T* logo, OSD_COLOR_FMT_E fmt, HI_U32 max_side) {
    OSD_BITMAPFILEHEADER fh{};
    OSD_BITMAPINFO info{};
    if (!logo) {
        std::printf("OSD_LoadBMP: logo=NULL\n");
        return -1;
    }
    if (GetBmpInfo(filename, &fh, &info) < 0) return -1;
    const OSD_BITMAPINFOHEADER& h = info.bmiHeader;
    const int bits = h.biBitCount;
    if (bits < 16 || (bits != 16 && bits != 24 && bits != 32) || h.biSize < 40) {
        std::printf("bitmap format not supported!\n");
        return -1;
    }
    if (h.biCompression != 0) {
        std::printf("not support compressed bitmap file!\n");
        return -1;
    }
    if (h.biHeight < 0) {
        std::printf("bmpInfo.bmiHeader.biHeight < 0\n");
        return -1;
    }
    const int src_bytes = bits / 8;
    if (!has_rule(src_bytes, fmt)) {
        no_such_format();
        return -1;
    }
    const std::uint64_t width = h.biWidth > 0 ? static_cast<std::uint64_t>(h.biWidth) : 0;
    const std::uint64_t height = static_cast<std::uint64_t>(h.biHeight);
    if (width == 0 || height == 0 || width > max_side || height > max_side) {
        std::printf("bitmap size invalid!\n");
        return -1;
    }
    // Both sides are below 2^31, so these products cannot overflow 64 bits.
    const std::uint64_t dst_bytes = is_16bit(fmt) ? 2 : 4;
    const std::uint64_t stride = width * dst_bytes;
    if (!logo->pRGBBuffer || stride * height > logo->u32BufLen) {
        std::printf("bitmap bigger than the buffer!\n");
        return -1;
    }
    const std::uint64_t row_len = (width * static_cast<std::uint64_t>(src_bytes) + 3) / 4 * 4;
    const std::size_t file_bytes = static_cast<std::size_t>(row_len * height);
    std::unique_ptr<HI_U8[]> data(new (std::nothrow) HI_U8[file_bytes]);
    if (!data) {
        std::printf("not enough memory to malloc!\n");
        return -1;
    }
    // Cleared first, so that a plain end of file reports no stale error.
    errno = 0;
    File f(std::fopen(filename, "rb"));
    if (!f || std::fseek(f.get(), static_cast<long>(fh.bfOffBits), SEEK_SET) != 0 ||
        std::fread(data.get(), 1, file_bytes, f.get()) != file_bytes) {
        const int err = errno;
        std::printf("fread error!line:%d\n", __LINE__);
        std::printf("%s\n", std::strerror(err));
        return -1;
    }
    logo->width = static_cast<HI_U32>(width);
    logo->height = static_cast<HI_U32>(height);
    logo->stride = static_cast<HI_U32>(stride);
    const OSD_COMP_INFO& comp = s_OSDCompInfo[fmt];
    // Rows are stored bottom-up.
    for (std::uint64_t y = 0; y < height; ++y) {
        const HI_U8* src = data.get() + (height - 1 - y) * row_len;
        HI_U8* dst = logo->pRGBBuffer + y * stride;
        if (src_bytes != 3) {
            std::memcpy(dst, src, static_cast<std::size_t>(width * dst_bytes));
            continue;
        }
        for (std::uint64_t x = 0; x < width; ++x, src += 3) {
            if (dst_bytes == 2) {
                const HI_U16 c = OSD_MAKECOLOR_U16(src[2], src[1], src[0], comp);
                *dst++ = static_cast<HI_U8>(c);
                *dst++ = static_cast<HI_U8>(c >> 8);
            } else {
                *dst++ = src[0];
                *dst++ = src[1];
                *dst++ = src[2];
                *dst++ = 0xFF;
            }
        }
    }
    return 0;
}

}  // namespace

const char* GetExtName(const char* filename) {
    if (!filename) {
        std::printf("filename can't be null!\n");
        return nullptr;
    }
    const char* dot = std::strrchr(filename, '.');
    return dot ? dot + 1 : filename + std::strlen(filename);
}

HI_S32 GetBmpInfo(const char* filename, OSD_BITMAPFILEHEADER* pBmpFileHeader, OSD_BITMAPINFO* pBmpInfo) {
    if (!filename) {
        std::printf("OSD_LoadBMP: filename=NULL\n");
        return -1;
    }
    File f(std::fopen(filename, "rb"));
    if (!f) {
        std::printf("Open file faild:%s!\n", filename);
        return -1;
    }
    HI_U8 b[2 + 12 + 44];
    if (std::fread(b, 1, sizeof b, f.get()) != sizeof b || le16(b) != 0x4D42) {
        std::printf("not bitmap file\n");
        return -1;
    }
    const HI_U8* p = b + 2;
    *pBmpFileHeader = OSD_BITMAPFILEHEADER{le32(p), le16(p + 4), le16(p + 6), le32(p + 8)};
    p += 12;
    OSD_BITMAPINFOHEADER& h = pBmpInfo->bmiHeader;
    h.biSize = le32(p);
    h.biWidth = static_cast<HI_S32>(le32(p + 4));
    h.biHeight = static_cast<HI_S32>(le32(p + 8));
    h.biPlanes = le16(p + 12);
    h.biBitCount = le16(p + 14);
    h.biCompression = le32(p + 16);
    h.biSizeImage = le32(p + 20);
    h.biXPelsPerMeter = static_cast<HI_S32>(le32(p + 24));
    h.biYPelsPerMeter = static_cast<HI_S32>(le32(p + 28));
    h.biClrUsed = le32(p + 32);
    h.biClrImportant = le32(p + 36);
    pBmpInfo->bmiColors[0] = OSD_RGBQUAD{p[40], p[41], p[42], p[43]};
    return 0;
}

HI_U16 OSD_MAKECOLOR_U16(HI_U8 r, HI_U8 g, HI_U8 b, const OSD_COMP_INFO& compinfo) {
    const unsigned r1 = r >> (8 - compinfo.rlen), g1 = g >> (8 - compinfo.glen), b1 = b >> (8 - compinfo.blen);
    const int colour_bits = compinfo.rlen + compinfo.glen + compinfo.blen;
    unsigned c = b1 | g1 << compinfo.blen | r1 << (compinfo.blen + compinfo.glen);
    // The alpha bits above the colour say "opaque".
    c |= ((1u << compinfo.alen) - 1) << colour_bits;
    return static_cast<HI_U16>(c);
}

HI_S32 LoadBMPEx(const char* filename, OSD_LOGO_T* pVideoLogo, OSD_COLOR_FMT_E enFmt) {
    return load_bmp(filename, pVideoLogo, enFmt, 0x7FFFFFFF);
}

// Overlay regions take ARGB1555 pictures.
HI_S32 LoadBMP(const char* filename, OSD_LOGO_T* pVideoLogo) {
    return LoadBMPEx(filename, pVideoLogo, OSD_COLOR_FMT_RGB1555);
}

HI_S32 LoadImageEx(const char* filename, OSD_LOGO_T* pVideoLogo, OSD_COLOR_FMT_E enFmt) {
    const char* ext = GetExtName(filename);
    if (!ext) return -1;
    if (std::strcmp(ext, "bmp") != 0) {
        std::printf("not supported image file!\n");
        return -1;
    }
    if (LoadBMPEx(filename, pVideoLogo, enFmt) != 0) {
        std::printf("OSD_LoadBMP error!\n");
        return -1;
    }
    return 0;
}

HI_S32 LoadImage(const char* filename, OSD_LOGO_T* pVideoLogo) {
    return LoadImageEx(filename, pVideoLogo, OSD_COLOR_FMT_RGB1555);
}

HI_S32 LoadBitMap2Surface(const char* pszFileName, OSD_SURFACE_S* pstSurface, HI_U8* pu8Virt) {
    if (!pstSurface) return -1;
    OSD_LOGO_T logo{0, 0, 0, pu8Virt, pstSurface->u32Size};
    // The surface keeps its sizes in 16 bits.
    if (load_bmp(pszFileName, &logo, pstSurface->enColorFmt, 0xFFFF / 4) != 0) return -1;
    pstSurface->u16Width = static_cast<HI_U16>(logo.width);
    pstSurface->u16Height = static_cast<HI_U16>(logo.height);
    pstSurface->u16Stride = static_cast<HI_U16>(logo.stride);
    return 0;
}

HI_S32 CreateSurfaceByBitMap(const char* pszFileName, OSD_SURFACE_S* pstSurface, HI_U8* pu8Virt) {
    if (LoadBitMap2Surface(pszFileName, pstSurface, pu8Virt) < 0) {
        std::printf("load bmp error!\n");
        return -1;
    }
    return 0;
}
