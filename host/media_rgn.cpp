// Overlay regions: a picture kept per region and the encoder groups it is
// attached to, for burning into the recordings.
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/media_parts.h"

namespace host::media {
namespace {

constexpr RGN_HANDLE kMaxHandle = 1023;
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1080;
constexpr int kGroups = 64;

struct Region {
    RGN_ATTR_S attr{};
    std::size_t bytes_per_pixel = 2;
    std::vector<std::uint8_t> pixels;  // width x height, rows packed
    std::array<bool, kGroups> attached{};
    std::array<RGN_CHN_ATTR_S, kGroups> chn_attr{};
};

struct Rgn {
    std::mutex mutex;
    std::map<RGN_HANDLE, Region> regions;
};
Rgn g_rgn;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_RGN, code); }

std::size_t bytes_per_pixel(PIXEL_FORMAT_E f) {
    switch (f) {
    case PIXEL_FORMAT_RGB_1555: return 2;
    case PIXEL_FORMAT_RGB_8888: return 4;
    default: return 0;
    }
}

}  // namespace

bool rgn_picture(RGN_HANDLE handle, RegionPicture& out) {
    std::lock_guard lock(g_rgn.mutex);
    auto it = g_rgn.regions.find(handle);
    if (it == g_rgn.regions.end()) return false;
    const Region& r = it->second;
    out.format = r.attr.stOverlay.enPixelFmt;
    out.width = r.attr.stOverlay.stSize.u32Width;
    out.height = r.attr.stOverlay.stSize.u32Height;
    out.pixels = r.pixels;
    return true;
}

bool rgn_attachment(RGN_HANDLE handle, int group, RGN_CHN_ATTR_S& out) {
    if (group < 0 || group >= kGroups) return false;
    std::lock_guard lock(g_rgn.mutex);
    auto it = g_rgn.regions.find(handle);
    if (it == g_rgn.regions.end() || !it->second.attached[static_cast<std::size_t>(group)]) return false;
    out = it->second.chn_attr[static_cast<std::size_t>(group)];
    return true;
}

std::size_t rgn_shown_on_group(int group, std::vector<GroupRegion>& out) {
    if (group < 0 || group >= kGroups) return 0;
    const auto g = static_cast<std::size_t>(group);
    std::size_t n = 0;
    {
        std::lock_guard lock(g_rgn.mutex);
        for (const auto& [handle, r] : g_rgn.regions) {
            if (!r.attached[g] || r.chn_attr[g].bShow != HI_TRUE) continue;
            if (out.size() <= n) out.resize(n + 1);
            GroupRegion& e = out[n++];
            e.handle = handle;
            e.attr = r.chn_attr[g];
            e.picture.format = r.attr.stOverlay.enPixelFmt;
            e.picture.width = r.attr.stOverlay.stSize.u32Width;
            e.picture.height = r.attr.stOverlay.stSize.u32Height;
            e.picture.pixels.assign(r.pixels.begin(), r.pixels.end());
        }
    }
    // Higher layers go over lower ones; equal layers keep handle order. An
    // insertion sort: stable without a scratch buffer, and there are few.
    for (std::size_t i = 1; i < n; ++i)
        for (std::size_t j = i; j > 0 && out[j - 1].attr.stOverlayChn.u32Layer > out[j].attr.stOverlayChn.u32Layer; --j)
            std::swap(out[j - 1], out[j]);
    return n;
}

void rgn_reset() {
    std::lock_guard lock(g_rgn.mutex);
    g_rgn.regions.clear();
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_RGN_Create(RGN_HANDLE Handle, const RGN_ATTR_S* pstRegion) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (Handle < 0 || Handle > kMaxHandle) return err(EN_ERR_ILLEGAL_PARAM);
    if (!pstRegion) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    if (pstRegion->enType != OVERLAY_RGN) return err(EN_ERR_NOT_SUPPORT);
    const OVERLAY_ATTR_S& o = pstRegion->stOverlay;
    const std::size_t bpp = bytes_per_pixel(o.enPixelFmt);
    if (bpp == 0) return err(EN_ERR_ILLEGAL_PARAM);
    const SIZE_S& s = o.stSize;
    if (s.u32Width == 0 || s.u32Height == 0 || s.u32Width % 2 != 0 || s.u32Height % 2 != 0 || s.u32Width > kMaxWidth ||
        s.u32Height > kMaxHeight)
        return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_rgn.mutex);
        if (g_rgn.regions.count(Handle)) return err(EN_ERR_EXIST);
        Region r;
        r.attr = *pstRegion;
        r.bytes_per_pixel = bpp;
        r.pixels.assign(std::size_t{s.u32Width} * s.u32Height * bpp, 0);
        g_rgn.regions.emplace(Handle, std::move(r));
    }
    board_log("media", "RGN " + std::to_string(Handle) + " created, overlay " + std::to_string(s.u32Width) + "x" +
                           std::to_string(s.u32Height) + " format " + std::to_string(o.enPixelFmt));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_RGN_AttachToChn(RGN_HANDLE Handle, const MPP_CHN_S* pstChn, const RGN_CHN_ATTR_S* pstChnAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (Handle < 0 || Handle > kMaxHandle) return err(EN_ERR_ILLEGAL_PARAM);
    if (!pstChn || !pstChnAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    // Overlays go onto the encoders' pictures: encoder groups only.
    if (pstChn->enModId != HI_ID_GROUP) return err(EN_ERR_NOT_SUPPORT);
    if (pstChn->s32DevId < 0 || pstChn->s32DevId >= kGroups) return err(EN_ERR_INVALID_DEVID);
    if (pstChn->s32ChnId != 0) return err(EN_ERR_INVALID_CHNID);
    const RGN_CHN_ATTR_S& a = *pstChnAttr;
    const OVERLAY_CHN_ATTR_S& o = a.stOverlayChn;
    if ((a.bShow != HI_TRUE && a.bShow != HI_FALSE) || o.stPoint.s32X < 0 || o.stPoint.s32Y < 0 ||
        o.stPoint.s32X > static_cast<HI_S32>(kMaxWidth) || o.stPoint.s32Y > static_cast<HI_S32>(kMaxHeight) ||
        o.u32FgAlpha > 128 || o.u32BgAlpha > 128 || o.u32Layer > 7)
        return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_rgn.mutex);
        auto it = g_rgn.regions.find(Handle);
        if (it == g_rgn.regions.end()) return err(EN_ERR_UNEXIST);
        Region& r = it->second;
        if (a.enType != r.attr.enType) return err(EN_ERR_ILLEGAL_PARAM);
        const auto group = static_cast<std::size_t>(pstChn->s32DevId);
        if (r.attached[group]) return err(EN_ERR_EXIST);
        r.attached[group] = true;
        r.chn_attr[group] = a;
    }
    board_log("media", "RGN " + std::to_string(Handle) + " attached to VENC group " + std::to_string(pstChn->s32DevId) +
                           " at " + std::to_string(o.stPoint.s32X) + "," + std::to_string(o.stPoint.s32Y));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_RGN_SetBitMap(RGN_HANDLE Handle, const BITMAP_S* pstBitmap) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (Handle < 0 || Handle > kMaxHandle) return err(EN_ERR_ILLEGAL_PARAM);
    if (!pstBitmap || !pstBitmap->pData) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    std::lock_guard lock(g_rgn.mutex);
    auto it = g_rgn.regions.find(Handle);
    if (it == g_rgn.regions.end()) return err(EN_ERR_UNEXIST);
    Region& r = it->second;
    const SIZE_S& s = r.attr.stOverlay.stSize;
    if (pstBitmap->enPixelFormat != r.attr.stOverlay.enPixelFmt || pstBitmap->u32Width != s.u32Width ||
        pstBitmap->u32Height < s.u32Height)
        return err(EN_ERR_ILLEGAL_PARAM);
    // Rows below the region (a taller bitmap) are not shown.
    std::memcpy(r.pixels.data(), pstBitmap->pData, r.pixels.size());
    return HI_SUCCESS;
}
