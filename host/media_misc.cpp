// HDMI output with its audio, processing-group pre-scaling and the memory
// zones channels are placed in.
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "host/board.h"
#include "host/media_more.h"
#include "platform/mpi_audio.h"
#include "platform/mpi_ext.h"

namespace host::media {
namespace {

struct Hdmi {
    bool inited = false, open = false, started = false, muted = false;
    HI_HDMI_ATTR_S attr{};
};

struct Misc {
    std::mutex mutex;
    Hdmi hdmi;
    std::map<int, VPSS_PRESCALE_INFO_S> prescale;  // by group
    std::map<std::array<int, 3>, std::string> zone;  // by (module, device, channel)
};
Misc g_misc;

constexpr HI_S32 hdmi_err(HI_ERR_CODE c) { return hi_err(HI_ID_HDMI, c); }

// The channels that have buffers of their own to place.
bool placeable(const MPP_CHN_S& c) {
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    switch (c.enModId) {
    case HI_ID_VIU: return c.s32DevId == 0 && in(c.s32ChnId, 0, 15);
    case HI_ID_VDEC: return c.s32DevId == 0 && in(c.s32ChnId, 0, 63);
    case HI_ID_GROUP: return in(c.s32DevId, 0, 63) && c.s32ChnId == 0;
    case HI_ID_VENC: return c.s32DevId == 0 && in(c.s32ChnId, 0, 63);
    case HI_ID_VPSS: return in(c.s32DevId, 0, 31) && c.s32ChnId == 0;
    case HI_ID_VOU: return in(c.s32DevId, 0, 2) && c.s32ChnId == 0;
    default: return false;
    }
}

}  // namespace

void misc_reset() {
    std::lock_guard lock(g_misc.mutex);
    g_misc.hdmi = Hdmi{};
    g_misc.prescale.clear();
    g_misc.zone.clear();
}

}  // namespace host::media

using namespace host::media;

// ---------------------------------------------------------------- HDMI

HI_S32 HI_MPI_HDMI_Init() {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_misc.mutex);
    g_misc.hdmi.inited = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_DeInit() {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    std::lock_guard lock(g_misc.mutex);
    if (g_misc.hdmi.open) return hdmi_err(EN_ERR_NOT_PERM);
    g_misc.hdmi = Hdmi{};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Open(HI_HDMI_ID_E enHdmi) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.inited) return hdmi_err(EN_ERR_SYS_NOTREADY);
    if (g_misc.hdmi.open) return hdmi_err(EN_ERR_EXIST);
    g_misc.hdmi.open = true;
    g_misc.hdmi.attr = HI_HDMI_ATTR_S{HI_TRUE, HI_TRUE, VO_OUTPUT_1080P60, HI_FALSE, 0, HI_FALSE,
                                      AUDIO_SAMPLE_RATE_48000, AUDIO_BIT_WIDTH_16};
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Close(HI_HDMI_ID_E enHdmi) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
    if (g_misc.hdmi.started) return hdmi_err(EN_ERR_NOT_PERM);
    g_misc.hdmi.open = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_GetAttr(HI_HDMI_ID_E enHdmi, HI_HDMI_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    if (!pstAttr) return hdmi_err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
    *pstAttr = g_misc.hdmi.attr;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_SetAttr(HI_HDMI_ID_E enHdmi, const HI_HDMI_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    if (!pstAttr) return hdmi_err(EN_ERR_NULL_PTR);
    const HI_HDMI_ATTR_S& a = *pstAttr;
    if (a.enVideoFmt < VO_OUTPUT_1080P24 || a.enVideoFmt > VO_OUTPUT_1280x800_60 ||
        (a.bEnableAudio && a.enBitDepth != AUDIO_BIT_WIDTH_16) ||
        (a.bEnableAudio && a.enSampleRate != AUDIO_SAMPLE_RATE_32000 && a.enSampleRate != AUDIO_SAMPLE_RATE_44100 &&
         a.enSampleRate != AUDIO_SAMPLE_RATE_48000))
        return hdmi_err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_misc.mutex);
        if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
        g_misc.hdmi.attr = a;
    }
    host::board_log("media", "HDMI format " + std::to_string(a.enVideoFmt) +
                                 (a.bEnableAudio ? ", audio " + std::to_string(a.enSampleRate) + " Hz" : ""));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Start(HI_HDMI_ID_E enHdmi) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
    g_misc.hdmi.started = true;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_Stop(HI_HDMI_ID_E enHdmi) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
    g_misc.hdmi.started = false;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_HDMI_SetAVMute(HI_HDMI_ID_E enHdmi, HI_BOOL bAvMute) {
    if (auto fail_ = fail_point(hdmi_err(EN_ERR_BUSY))) return *fail_;
    if (enHdmi != HI_HDMI_ID_0) return hdmi_err(EN_ERR_INVALID_DEVID);
    std::lock_guard lock(g_misc.mutex);
    if (!g_misc.hdmi.open) return hdmi_err(EN_ERR_UNEXIST);
    g_misc.hdmi.muted = bAvMute == HI_TRUE;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- pre-scaling

HI_S32 HI_MPI_VPSS_SetPreScale(VPSS_GRP VpssGrp, const VPSS_PRESCALE_INFO_S* pstPreScaleInfo) {
    if (auto fail_ = fail_point(hi_err(HI_ID_VPSS, EN_ERR_BUSY))) return *fail_;
    if (VpssGrp < 0 || VpssGrp > 31) return hi_err(HI_ID_VPSS, EN_ERR_INVALID_DEVID);
    if (!pstPreScaleInfo) return hi_err(HI_ID_VPSS, EN_ERR_NULL_PTR);
    VPSS_GRP_PARAM_S param{};
    if (HI_S32 r = HI_MPI_VPSS_GetGrpParam(VpssGrp, &param)) return r;  // the group must exist
    const VPSS_PRESCALE_INFO_S& p = *pstPreScaleInfo;
    if (p.bPreScale && (p.stDestSize.u32Width < 64 || p.stDestSize.u32Height < 64 || p.stDestSize.u32Width > 1920 ||
                        p.stDestSize.u32Height > 1080))
        return hi_err(HI_ID_VPSS, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_misc.mutex);
    g_misc.prescale[VpssGrp] = p;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VPSS_GetPreScale(VPSS_GRP VpssGrp, VPSS_PRESCALE_INFO_S* pstPreScaleInfo) {
    if (auto fail_ = fail_point(hi_err(HI_ID_VPSS, EN_ERR_BUSY))) return *fail_;
    if (VpssGrp < 0 || VpssGrp > 31) return hi_err(HI_ID_VPSS, EN_ERR_INVALID_DEVID);
    if (!pstPreScaleInfo) return hi_err(HI_ID_VPSS, EN_ERR_NULL_PTR);
    std::lock_guard lock(g_misc.mutex);
    auto it = g_misc.prescale.find(VpssGrp);
    *pstPreScaleInfo = it == g_misc.prescale.end() ? VPSS_PRESCALE_INFO_S{} : it->second;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- memory zones

HI_S32 HI_MPI_SYS_SetMemConf(const MPP_CHN_S* pstMppChn, const HI_CHAR* pcMmzName) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pstMppChn) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    const std::string zone = pcMmzName ? pcMmzName : "";
    if (!placeable(*pstMppChn) || (!zone.empty() && zone != "ddr1")) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_misc.mutex);
    g_misc.zone[{pstMppChn->enModId, pstMppChn->s32DevId, pstMppChn->s32ChnId}] = zone;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_SYS_GetMemConf(const MPP_CHN_S* pstMppChn, HI_CHAR* pcMmzName) {
    if (auto fail_ = fail_point(hi_err(HI_ID_SYS, EN_ERR_BUSY))) return *fail_;
    if (!pstMppChn || !pcMmzName) return hi_err(HI_ID_SYS, EN_ERR_NULL_PTR);
    if (!placeable(*pstMppChn)) return hi_err(HI_ID_SYS, EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_misc.mutex);
    auto it = g_misc.zone.find({pstMppChn->enModId, pstMppChn->s32DevId, pstMppChn->s32ChnId});
    const std::string z = it == g_misc.zone.end() ? "" : it->second;
    std::memcpy(pcMmzName, z.c_str(), z.size() + 1);  // zone names fit MAX_MMZ_NAME_LEN
    return HI_SUCCESS;
}

namespace host {

HdmiState hdmi_state() {
    std::lock_guard lock(media::g_misc.mutex);
    const media::Hdmi& h = media::g_misc.hdmi;
    return HdmiState{h.open, h.started, h.muted, h.attr.enVideoFmt, h.attr.bEnableAudio == HI_TRUE,
                     h.attr.enSampleRate};
}

}  // namespace host
