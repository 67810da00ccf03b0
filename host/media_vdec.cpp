// The video decoder's channels. Sent streams are taken and counted; decoding
// them into pictures is still to come, so a channel never holds anything.
#include <array>
#include <mutex>
#include <string>

#include "host/media_parts.h"

namespace host::media {
namespace {

constexpr int kChannels = 64;
constexpr HI_U32 kMaxWidth = 1920;
constexpr HI_U32 kMaxHeight = 1088;

struct Channel {
    bool exists = false;
    VDEC_CHN_ATTR_S attr{};
    VDEC_PRTCL_PARAM_S prtcl{};
    bool receiving = false;
    std::uint64_t bytes_received = 0;
    std::uint32_t frames_received = 0;
};

struct Vdec {
    std::mutex mutex;
    std::array<Channel, kChannels> chn{};
};
Vdec g_vdec;

constexpr HI_S32 err(HI_ERR_CODE code) { return hi_err(HI_ID_VDEC, code); }

HI_S32 find_channel(VDEC_CHN chn, Channel*& out) {
    if (chn < 0 || chn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    Channel& c = g_vdec.chn[static_cast<std::size_t>(chn)];
    if (!c.exists) return err(EN_ERR_UNEXIST);
    out = &c;
    return HI_SUCCESS;
}

bool supported(PAYLOAD_TYPE_E t) { return t == PT_H264 || t == PT_JPEG || t == PT_MJPEG; }

VDEC_PRTCL_PARAM_S default_prtcl(const VDEC_CHN_ATTR_S& a) {
    VDEC_PRTCL_PARAM_S p{};
    p.enType = a.enType;
    p.stH264PrtclParam.s32MaxSliceNum = 8;
    p.stH264PrtclParam.s32MaxSpsNum = 2;
    p.stH264PrtclParam.s32MaxPpsNum = 2;
    p.stH264PrtclParam.s32SCDBufSize = static_cast<HI_S32>(a.u32PicWidth * a.u32PicHeight * 3 / 4);
    p.stH264PrtclParam.s32DisplayFrameNum = 2;
    return p;
}

void log_channel(VDEC_CHN chn, const std::string& what) {
    board_log("media", "VDEC " + std::to_string(chn) + " " + what);
}

}  // namespace

void vdec_reset() {
    std::lock_guard lock(g_vdec.mutex);
    g_vdec.chn = {};
}

}  // namespace host::media

using host::board_log;
using namespace host::media;

HI_S32 HI_MPI_VDEC_CreateChn(VDEC_CHN VdChn, const VDEC_CHN_ATTR_S* pstAttr) {
    if (auto fail_ = fail_point(err(EN_ERR_NOMEM))) return *fail_;
    if (VdChn < 0 || VdChn >= kChannels) return err(EN_ERR_INVALID_CHNID);
    if (!pstAttr) return err(EN_ERR_NULL_PTR);
    if (!sys_ready()) return err(EN_ERR_SYS_NOTREADY);
    const VDEC_CHN_ATTR_S& a = *pstAttr;
    if (!supported(a.enType)) return err(EN_ERR_NOT_SUPPORT);
    if (a.u32PicWidth == 0 || a.u32PicHeight == 0 || a.u32PicWidth > kMaxWidth || a.u32PicHeight > kMaxHeight ||
        a.u32BufSize == 0)
        return err(EN_ERR_ILLEGAL_PARAM);
    if (a.enType == PT_H264 && (a.stVdecVideoAttr.u32RefFrameNum > 16 ||
                                (a.stVdecVideoAttr.enMode != VIDEO_MODE_STREAM &&
                                 a.stVdecVideoAttr.enMode != VIDEO_MODE_FRAME)))
        return err(EN_ERR_ILLEGAL_PARAM);
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel& c = g_vdec.chn[static_cast<std::size_t>(VdChn)];
        if (c.exists) return err(EN_ERR_EXIST);
        c = Channel{};
        c.exists = true;
        c.attr = a;
        c.prtcl = default_prtcl(a);
    }
    log_channel(VdChn, "created, payload " + std::to_string(a.enType) + " " + std::to_string(a.u32PicWidth) + "x" +
                           std::to_string(a.u32PicHeight));
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_DestroyChn(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        // Reception has to be stopped first, as on the real chip.
        if (c->receiving) return err(EN_ERR_NOT_PERM);
        *c = Channel{};
    }
    log_channel(VdChn, "destroyed");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_GetPrtclParam(VDEC_CHN VdChn, VDEC_PRTCL_PARAM_S* pstParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstParam) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    *pstParam = c->prtcl;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SetPrtclParam(VDEC_CHN VdChn, const VDEC_PRTCL_PARAM_S* pstParam) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstParam) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    if (c->receiving) return err(EN_ERR_NOT_PERM);
    const VDEC_PRTCL_PARAM_H264_S& h = pstParam->stH264PrtclParam;
    if (pstParam->enType != c->attr.enType) return err(EN_ERR_ILLEGAL_PARAM);
    if (c->attr.enType == PT_H264 &&
        (h.s32MaxSliceNum < 1 || h.s32MaxSliceNum > 136 || h.s32MaxSpsNum < 1 || h.s32MaxSpsNum > 32 ||
         h.s32MaxPpsNum < 1 || h.s32MaxPpsNum > 256 || h.s32SCDBufSize < 0 || h.s32DisplayFrameNum < 0 ||
         h.s32DisplayFrameNum > 16))
        return err(EN_ERR_ILLEGAL_PARAM);
    c->prtcl = *pstParam;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StartRecvStream(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        if (c->receiving) return HI_SUCCESS;
        c->receiving = true;
    }
    log_channel(VdChn, "receiving");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_StopRecvStream(VDEC_CHN VdChn) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    {
        std::lock_guard lock(g_vdec.mutex);
        Channel* c = nullptr;
        if (HI_S32 r = find_channel(VdChn, c)) return r;
        if (!c->receiving) return HI_SUCCESS;
        c->receiving = false;
    }
    log_channel(VdChn, "stopped receiving");
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_SendStream(VDEC_CHN VdChn, const VDEC_STREAM_S* pstStream, HI_IO_BLOCK_E enBlock) {
    if (auto fail_ = fail_point(err(EN_ERR_BUF_FULL))) return *fail_;
    if (!pstStream) return err(EN_ERR_NULL_PTR);
    if (enBlock != HI_IO_BLOCK && enBlock != HI_IO_NOBLOCK) return err(EN_ERR_ILLEGAL_PARAM);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    if (!c->receiving) return err(EN_ERR_NOT_PERM);
    if (!pstStream->pu8Addr || pstStream->u32Len == 0) return err(EN_ERR_ILLEGAL_PARAM);
    c->bytes_received += pstStream->u32Len;
    ++c->frames_received;
    return HI_SUCCESS;
}

HI_S32 HI_MPI_VDEC_Query(VDEC_CHN VdChn, VDEC_CHN_STAT_S* pstStat) {
    if (auto fail_ = fail_point(err(EN_ERR_BUSY))) return *fail_;
    if (!pstStat) return err(EN_ERR_NULL_PTR);
    std::lock_guard lock(g_vdec.mutex);
    Channel* c = nullptr;
    if (HI_S32 r = find_channel(VdChn, c)) return r;
    VDEC_CHN_STAT_S s{};
    s.enType = c->attr.enType;
    s.u32LeftStreamBytes = 0;
    s.u32LeftStreamFrames = 0;
    s.u32LeftPics = 0;
    s.bStartRecvStream = c->receiving ? HI_TRUE : HI_FALSE;
    s.u32RecvStreamFrames = c->frames_received;
    s.u32DecodeStreamFrames = 0;
    *pstStat = s;
    return HI_SUCCESS;
}
