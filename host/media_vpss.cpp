// Video processing groups: their attributes, parameters and channels. The
// board does no processing of its own: a started group passes the pictures
// bound to it through its enabled channels unchanged.
#include <array>
#include <mutex>
#include <string>

#include "host/media_parts.h"

namespace host::media {
namespace {

constexpr int kGroups = 32;
constexpr int kChannels = 4;
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1200;

struct Channel {
    bool attr_set = false;
    VPSS_CHN_ATTR_S attr{};
    bool enabled = false;
};

// Middle-of-the-range strengths, as a freshly created group reports them.
VPSS_GRP_PARAM_S default_param() {
    VPSS_GRP_PARAM_S p{};
    p.u32Contrast = 8;
    p.u32DieStrength = 0;
    p.u32IeStrength = 0;
    p.u32SfStrength = 32;
    p.u32TfStrength = 8;
    p.u32CfStrength = 8;
    p.u32CTfStrength = 4;
    p.u32CvbsStrength = 8;
    p.u32DeMotionBlurring = 0;
    p.u32MotionThresh = 32;
    return p;
}

struct Group {
    bool exists = false;
    bool started = false;
    VPSS_GRP_ATTR_S attr{};
    VPSS_GRP_PARAM_S param{};
    std::array<Channel, kChannels> chn{};
};

struct Vpss {
    std::mutex mutex;
    std::array<Group, kGroups> groups{};
};
Vpss g_vpss;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VPSS, code); }

bool is_bool(HI_BOOL b) { return b == HI_FALSE || b == HI_TRUE; }

// Common checks; on success `out` is the existing group.
HI_S32 find_group(VPSS_GRP grp, Group*& out) {
    if (grp < 0 || grp >= kGroups) return err(EN_ERR_INVALID_DEVID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    Group& g = g_vpss.groups[static_cast<std::size_t>(grp)];
    if (!g.exists) return err(EN_ERR_UNEXIST);
    out = &g;
    return HI_SUCCESS;
}

void log_group(VPSS_GRP grp, const std::string& what) { board_log("media", "VPSS " + std::to_string(grp) + " " + what); }

}  // namespace

void vpss_reset() {
    std::lock_guard lock(g_vpss.mutex);
    g_vpss.groups = {};
}

bool vpss_passes(int grp, int chn) {
    if (grp < 0 || grp >= kGroups || chn < 0 || chn >= kChannels) return false;
    std::lock_guard lock(g_vpss.mutex);
    const Group& g = g_vpss.groups[static_cast<std::size_t>(grp)];
    return g.exists && g.started && g.chn[static_cast<std::size_t>(chn)].enabled;
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VPSS_CreateGrp(VPSS_GRP VpssGrp, const VPSS_GRP_ATTR_S* pstGrpAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VpssGrp < 0 || VpssGrp >= kGroups) return err(EN_ERR_INVALID_DEVID);
    if (!pstGrpAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    const VPSS_GRP_ATTR_S& a = *pstGrpAttr;
    if (a.u32MaxW == 0 || a.u32MaxH == 0 || a.u32MaxW > kMaxWidth || a.u32MaxH > kMaxHeight)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enPixFmt != PIXEL_FORMAT_YUV_SEMIPLANAR_422 && a.enPixFmt != PIXEL_FORMAT_YUV_SEMIPLANAR_420)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (!is_bool(a.bDrEn) || !is_bool(a.bDbEn) || !is_bool(a.bIeEn) || !is_bool(a.bNrEn) || !is_bool(a.bHistEn) ||
        a.enDieMode < 0 || a.enDieMode > 2)
        return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_vpss.mutex);
        Group& g = g_vpss.groups[static_cast<std::size_t>(VpssGrp)];
        if (g.exists) return err(EN_ERR_EXIST);
        g = Group{};
        g.exists = true;
        g.attr = a;
        g.param = default_param();
    }
    log_group(VpssGrp, "created, " + std::to_string(a.u32MaxW) + "x" + std::to_string(a.u32MaxH) + " format " +
                           std::to_string(a.enPixFmt));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetGrpParam(VPSS_GRP VpssGrp, VPSS_GRP_PARAM_S* pstVpssParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstVpssParam) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vpss.mutex);
    Group* g = nullptr;
    if (HI_S32 r = find_group(VpssGrp, g)) return r;
    *pstVpssParam = g->param;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_SetGrpParam(VPSS_GRP VpssGrp, const VPSS_GRP_PARAM_S* pstVpssParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstVpssParam) return err(EN_ERR_NULL_PTR);
    const VPSS_GRP_PARAM_S& p = *pstVpssParam;
    if (p.u32Contrast > 64 || p.u32DieStrength > 7 || p.u32IeStrength > 63 || p.u32SfStrength > 255 ||
        p.u32TfStrength > 63 || p.u32CfStrength > 255 || p.u32CTfStrength > 32 || p.u32CvbsStrength > 32 ||
        p.u32DeMotionBlurring > 2 || p.u32MotionThresh > 255)
        return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vpss.mutex);
    Group* g = nullptr;
    if (HI_S32 r = find_group(VpssGrp, g)) return r;
    g->param = p;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_SetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, const VPSS_CHN_ATTR_S* pstChnAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VpssChn < 0 || VpssChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstChnAttr) return err(EN_ERR_NULL_PTR);
    if (!is_bool(pstChnAttr->bSpEn) || !is_bool(pstChnAttr->bFrameEn)) return err(EN_ERR_ILLEGAL_PARAM);
    for (HI_U32 w : pstChnAttr->stFrame.u32Width)
        if (w > 14 || w % 2 != 0) return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vpss.mutex);
    Group* g = nullptr;
    if (HI_S32 r = find_group(VpssGrp, g)) return r;
    Channel& c = g->chn[static_cast<std::size_t>(VpssChn)];
    c.attr = *pstChnAttr;
    c.attr_set = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_EnableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VpssChn < 0 || VpssChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    {
        std::lock_guard lock(g_vpss.mutex);
        Group* g = nullptr;
        if (HI_S32 r = find_group(VpssGrp, g)) return r;
        Channel& c = g->chn[static_cast<std::size_t>(VpssChn)];
        if (c.enabled) return HI_SUCCESS;
        c.enabled = true;
    }
    log_group(VpssGrp, "channel " + std::to_string(VpssChn) + " enabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_DisableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (VpssChn < 0 || VpssChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    {
        std::lock_guard lock(g_vpss.mutex);
        Group* g = nullptr;
        if (HI_S32 r = find_group(VpssGrp, g)) return r;
        Channel& c = g->chn[static_cast<std::size_t>(VpssChn)];
        if (!c.enabled) return HI_SUCCESS;
        c.enabled = false;
    }
    log_group(VpssGrp, "channel " + std::to_string(VpssChn) + " disabled");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_StartGrp(VPSS_GRP VpssGrp) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vpss.mutex);
        Group* g = nullptr;
        if (HI_S32 r = find_group(VpssGrp, g)) return r;
        if (g->started) return HI_SUCCESS;
        g->started = true;
    }
    log_group(VpssGrp, "started");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_StopGrp(VPSS_GRP VpssGrp) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vpss.mutex);
        Group* g = nullptr;
        if (HI_S32 r = find_group(VpssGrp, g)) return r;
        if (!g->started) return HI_SUCCESS;
        g->started = false;
    }
    log_group(VpssGrp, "stopped");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_DestroyGrp(VPSS_GRP VpssGrp) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vpss.mutex);
        Group* g = nullptr;
        if (HI_S32 r = find_group(VpssGrp, g)) return r;
        // A running group must be stopped first, as on the real chip.
        if (g->started) return err(EN_ERR_NOT_PERM);
        *g = Group{};
    }
    log_group(VpssGrp, "destroyed");
    return HI_SUCCESS;
}
