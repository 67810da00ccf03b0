// Teardown, unbinding, mode tables, snapshots, HDMI, pre-scaling and memory
// zones of the media set-up family.
#include "common/sample_comm_more.h"

#include <fcntl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/prt.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/files.h"
#include "platform/mpi_audio.h"

HI_S32 SampleWorker::start(void* (*body)(void*), void* arg) {
    if (thread.joinable()) return HI_FAILURE;  // already running
    bStart = true;
    thread = start_worker(body, arg);
    return HI_SUCCESS;
}

void SampleWorker::stop() {
    bStart = false;
    if (thread.joinable()) thread.join();
}

int wait_readable(int fd) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{2, 0};
    return clk_select(fd + 1, &set, nullptr, nullptr, &tv);
}

namespace {

HI_S32 failed(const char* func, int line, HI_S32 r) {
    prt(func, line, "failed with %#x!\n", static_cast<unsigned>(r));
    return HI_FAILURE;
}

HI_S32 vi_vpss_bind(SAMPLE_VI_MODE_E mode, bool on) {
    SAMPLE_VI_PARAM_S p{};
    if (SAMPLE_COMM_VI_Mode2Param(mode, &p) != HI_SUCCESS) {
        prt(__func__, __LINE__, "SAMPLE_COMM_VI_Mode2Param failed!\n");
        return HI_FAILURE;
    }
    for (HI_S32 k = 0; k < p.s32ViChnCnt && k < 4; ++k) {
        const VI_CHN chn = k / p.s32ChnPerDev * 4 + k % p.s32ChnPerDev;
        const MPP_CHN_S src{HI_ID_VIU, 0, chn}, dst{HI_ID_VPSS, k, 0};
        if (HI_S32 r = on ? HI_MPI_SYS_Bind(&src, &dst) : HI_MPI_SYS_UnBind(&src, &dst))
            return failed(__func__, __LINE__, r);
    }
    return HI_SUCCESS;
}

HI_S32 place(MOD_ID_E mod, HI_S32 dev, HI_S32 chn, const char* zone) {
    const MPP_CHN_S c{mod, dev, chn};
    if (HI_S32 r = HI_MPI_SYS_SetMemConf(&c, zone)) {
        prt(__func__, __LINE__, "HI_MPI_SYS_SetMemConf failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

// Even numbers in the default zone, odd ones in "ddr1".
const char* zone_of(HI_S32 n) { return n % 2 ? "ddr1" : nullptr; }

// Channel counts placed by the memory configurations.
constexpr HI_S32 kViChns = 8, kVdecChns = 4, kVencChns = 4, kVpssGrps = 4;

int g_snap_count = 0;

}  // namespace

// ---------------------------------------------------------------- capture

HI_S32 SAMPLE_COMM_VI_Mode2Param(SAMPLE_VI_MODE_E enViMode, SAMPLE_VI_PARAM_S* pstViParam) {
    switch (enViMode) {
    case SAMPLE_VI_MODE_16_D1:
    case SAMPLE_VI_MODE_16_960H: *pstViParam = {4, 4, 16}; return HI_SUCCESS;
    case SAMPLE_VI_MODE_4_720P: *pstViParam = {1, 4, 4}; return HI_SUCCESS;
    case SAMPLE_VI_MODE_8_720P: *pstViParam = {2, 2, 4}; return HI_SUCCESS;
    default: prt(__func__, __LINE__, "ViMode invaild!\n"); return HI_FAILURE;
    }
}

HI_S32 SAMPLE_COMM_VI_Mode2Size(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E enNorm, SIZE_S* pstSize) {
    switch (enViMode) {
    case SAMPLE_VI_MODE_16_D1: return SAMPLE_COMM_SYS_GetPicSize(enNorm, PIC_D1, pstSize);
    case SAMPLE_VI_MODE_16_960H: return SAMPLE_COMM_SYS_GetPicSize(enNorm, PIC_960H, pstSize);
    case SAMPLE_VI_MODE_8_720P: return SAMPLE_COMM_SYS_GetPicSize(enNorm, PIC_HD720, pstSize);
    default: prt(__func__, __LINE__, "vi mode invaild!\n"); return HI_FAILURE;
    }
}

VI_DEV SAMPLE_COMM_VI_GetDev(SAMPLE_VI_MODE_E enViMode, VI_CHN ViChn) {
    SAMPLE_VI_PARAM_S p{};
    if (SAMPLE_COMM_VI_Mode2Param(enViMode, &p) != HI_SUCCESS || ViChn < 0 || ViChn % 4 >= p.s32ChnPerDev ||
        ViChn / 4 >= p.s32ViDevCnt) {
        prt(__func__, __LINE__, "vi chn %d invaild!\n", ViChn);
        return HI_FAILURE;
    }
    return ViChn / 4;
}

HI_S32 SAMPLE_COMM_VI_Stop(SAMPLE_VI_MODE_E enViMode) {
    SAMPLE_VI_PARAM_S p{};
    if (SAMPLE_COMM_VI_Mode2Param(enViMode, &p) != HI_SUCCESS) return HI_FAILURE;
    for (HI_S32 k = 0; k < p.s32ViChnCnt; ++k)
        if (HI_S32 r = HI_MPI_VI_DisableChn(k / p.s32ChnPerDev * 4 + k % p.s32ChnPerDev))
            return failed(__func__, __LINE__, r);
    for (VI_DEV d = 0; d < p.s32ViDevCnt; ++d)
        if (HI_S32 r = HI_MPI_VI_DisableDev(d)) return failed(__func__, __LINE__, r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VI_UnBindVpss(SAMPLE_VI_MODE_E enViMode) { return vi_vpss_bind(enViMode, false); }

HI_S32 SAMPLE_NVP6114_CfgV(VIDEO_NORM_E) {
    const int fd = dev_open("/dev/nvp6114", O_RDWR);
    if (fd < 0) {
        std::printf("open nvp6114 (%s) fail\n", "/dev/nvp6114");
        return HI_FAILURE;
    }
    nvp6114_video_mode mode{1, 3};
    const int r = dev_ioctl(fd, NVP6114_SET_VIDEO_MODE, &mode);
    dev_close(fd);
    return r == 0 ? HI_SUCCESS : HI_FAILURE;
}

// The board has neither chip.
HI_S32 SAMPLE_TW2865_CfgV(VIDEO_NORM_E) { return HI_SUCCESS; }
HI_S32 SAMPLE_TW2960_CfgV(VIDEO_NORM_E) { return HI_SUCCESS; }

// ---------------------------------------------------------------- encoders and snapshots

HI_S32 SAMPLE_COMM_VENC_Stop(VENC_GRP VencGrp, VENC_CHN VencChn) {
    if (HI_S32 r = HI_MPI_VENC_StopRecvPic(VencChn)) return failed(__func__, __LINE__, r);
    if (HI_S32 r = HI_MPI_VENC_UnRegisterChn(VencChn)) return failed(__func__, __LINE__, r);
    if (HI_S32 r = HI_MPI_VENC_DestroyChn(VencChn)) return failed(__func__, __LINE__, r);
    if (HI_S32 r = HI_MPI_VENC_DestroyGroup(VencGrp)) return failed(__func__, __LINE__, r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SnapStart(VENC_GRP VencGrp, VENC_CHN VencChn, const SIZE_S* pstSize) {
    if (!pstSize) return HI_FAILURE;
    if (HI_S32 r = HI_MPI_VENC_CreateGroup(VencGrp)) return failed(__func__, __LINE__, r);
    VENC_CHN_ATTR_S attr{};
    attr.stVeAttr.enType = PT_JPEG;
    VENC_ATTR_JPEG_S& j = attr.stVeAttr.stAttrJpeg;
    j.u32MaxPicWidth = j.u32PicWidth = pstSize->u32Width;
    j.u32MaxPicHeight = j.u32PicHeight = pstSize->u32Height;
    j.u32BufSize = pstSize->u32Width * pstSize->u32Height * 2;
    j.bByFrame = HI_TRUE;
    HI_S32 r = HI_MPI_VENC_CreateChn(VencChn, &attr);
    if (r == HI_SUCCESS) {
        r = HI_MPI_VENC_RegisterChn(VencGrp, VencChn);
        if (r != HI_SUCCESS) HI_MPI_VENC_DestroyChn(VencChn);
    }
    if (r != HI_SUCCESS) {
        HI_MPI_VENC_DestroyGroup(VencGrp);
        return failed(__func__, __LINE__, r);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SnapStop(VENC_GRP VencGrp, VENC_CHN VencChn) {
    return SAMPLE_COMM_VENC_Stop(VencGrp, VencChn);
}

HI_S32 SAMPLE_COMM_VENC_SaveJPEG(std::FILE* fpJpegFile, const VENC_STREAM_S* pstStream) {
    for (HI_U32 i = 0; i < pstStream->u32PackCount; ++i)
        for (int part = 0; part < 2; ++part) {
            const VENC_PACK_S& p = pstStream->pstPack[i];
            if (p.u32Len[part] && std::fwrite(p.pu8Addr[part], 1, p.u32Len[part], fpJpegFile) != p.u32Len[part])
                return HI_FAILURE;
        }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SaveSnap(const VENC_STREAM_S* pstStream) {
    char name[32];
    std::snprintf(name, sizeof name, "/home/snap_%d.jpg", g_snap_count);
    const std::string path = board_path(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        prt(__func__, __LINE__, "open file err!\n");
        return HI_FAILURE;
    }
    const HI_S32 r = SAMPLE_COMM_VENC_SaveJPEG(f, pstStream);
    if (std::fclose(f) != 0 || r != HI_SUCCESS) {
        prt(__func__, __LINE__, "save snap picture failed!\n");
        return HI_FAILURE;
    }
    ++g_snap_count;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_SnapProcess(VENC_CHN VencChn) {
    if (HI_S32 r = HI_MPI_VENC_StartRecvPic(VencChn)) return failed(__func__, __LINE__, r);
    // Whatever happens below, the channel stops receiving again.
    struct Stop {
        VENC_CHN chn;
        ~Stop() { HI_MPI_VENC_StopRecvPic(chn); }
    } stop{VencChn};
    const HI_S32 fd = HI_MPI_VENC_GetFd(VencChn);
    if (fd < 0) return failed(__func__, __LINE__, fd);
    const int ready = wait_readable(fd);
    if (ready <= 0) {
        prt(__func__, __LINE__, ready == 0 ? "snap time out!\n" : "snap select failed!\n");
        return HI_FAILURE;
    }
    VENC_CHN_STAT_S stat{};
    if (HI_S32 r = HI_MPI_VENC_Query(VencChn, &stat)) return failed(__func__, __LINE__, r);
    if (stat.u32CurPacks == 0) {
        prt(__func__, __LINE__, "snap has no packs!\n");
        return HI_FAILURE;
    }
    std::vector<VENC_PACK_S> packs(stat.u32CurPacks);
    VENC_STREAM_S stream{packs.data(), stat.u32CurPacks, 0};
    if (HI_S32 r = HI_MPI_VENC_GetStream(VencChn, &stream, HI_TRUE)) return failed(__func__, __LINE__, r);
    const HI_S32 saved = SAMPLE_COMM_VENC_SaveSnap(&stream);
    const HI_S32 released = HI_MPI_VENC_ReleaseStream(VencChn, &stream);
    if (released != HI_SUCCESS) return failed(__func__, __LINE__, released);
    return saved;
}

HI_S32 SAMPLE_COMM_VENC_PlanToSemi(HI_U8* pY, HI_S32 yStride, HI_U8* pU, HI_S32 uStride, HI_U8* pV, HI_S32 vStride,
                                   HI_S32 picWidth, HI_S32 picHeight) {
    if (!pY || !pU || !pV || picWidth <= 0 || picHeight <= 0 || yStride < picWidth || uStride < picWidth / 2 ||
        vStride < picWidth / 2)
        return HI_FAILURE;
    const HI_S32 cw = picWidth / 2, ch = picHeight / 2;
    std::vector<HI_U8> u(static_cast<std::size_t>(cw * ch)), v(u.size());
    for (HI_S32 y = 0; y < ch; ++y) {
        std::memcpy(&u[static_cast<std::size_t>(y * cw)], pU + y * uStride, static_cast<std::size_t>(cw));
        std::memcpy(&v[static_cast<std::size_t>(y * cw)], pV + y * vStride, static_cast<std::size_t>(cw));
    }
    // Each chroma row becomes picWidth bytes of V,U pairs.
    for (HI_S32 y = 0; y < ch; ++y)
        for (HI_S32 x = 0; x < cw; ++x) {
            pU[y * picWidth + 2 * x] = v[static_cast<std::size_t>(y * cw + x)];
            pU[y * picWidth + 2 * x + 1] = u[static_cast<std::size_t>(y * cw + x)];
        }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_ReadOneFrame(std::FILE* fp, HI_U8* pY, HI_U8* pU, HI_U8* pV, HI_U32 width, HI_U32 height,
                                     HI_U32 stride, HI_U32 strideC) {
    if (!fp || !pY || !pU || !pV) return HI_FAILURE;
    for (HI_U32 y = 0; y < height; ++y)
        if (std::fread(pY + y * stride, 1, width, fp) != width) return HI_FAILURE;
    for (HI_U8* plane : {pU, pV})
        for (HI_U32 y = 0; y < height / 2; ++y)
            if (std::fread(plane + y * strideC, 1, width / 2, fp) != width / 2) return HI_FAILURE;
    return HI_SUCCESS;
}

// ---------------------------------------------------------------- outputs

HI_S32 SAMPLE_COMM_VO_GetWH(VO_INTF_SYNC_E enIntfSync, HI_U32* pu32W, HI_U32* pu32H, HI_U32* pu32Frm) {
    struct Timing {
        HI_U32 w, h, rate;
    };
    static constexpr Timing kTimings[] = {
        {720, 576, 25},   {720, 480, 30},   {1920, 1080, 24}, {1920, 1080, 25}, {1920, 1080, 30}, {1280, 720, 50},
        {1280, 720, 60},  {1920, 1080, 50}, {1920, 1080, 60}, {1920, 1080, 50}, {1920, 1080, 60}, {720, 576, 50},
        {720, 480, 60},   {800, 600, 60},   {1024, 768, 60},  {1280, 1024, 60}, {1366, 768, 60},  {1440, 900, 60},
        {1280, 800, 60},
    };
    if (enIntfSync < VO_OUTPUT_PAL || enIntfSync > VO_OUTPUT_1280x800_60) {
        prt(__func__, __LINE__, "vo enIntfSync not support!\n");
        return HI_FAILURE;
    }
    const Timing& t = kTimings[enIntfSync];
    *pu32W = t.w;
    *pu32H = t.h;
    if (pu32Frm) *pu32Frm = t.rate;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_HdmiStart(VO_INTF_SYNC_E enIntfSync) {
    if (enIntfSync < VO_OUTPUT_1080P24 || enIntfSync > VO_OUTPUT_1280x800_60) {
        std::printf("Unkonw VO_INTF_SYNC_E value!\n");
        return HI_FAILURE;
    }
    if (HI_S32 r = HI_MPI_HDMI_Init()) return failed(__func__, __LINE__, r);
    HI_S32 r = HI_MPI_HDMI_Open(HI_HDMI_ID_0);
    if (r != HI_SUCCESS) {
        HI_MPI_HDMI_DeInit();
        return failed(__func__, __LINE__, r);
    }
    HI_HDMI_ATTR_S attr{};
    r = HI_MPI_HDMI_GetAttr(HI_HDMI_ID_0, &attr);
    if (r == HI_SUCCESS) {
        attr.bEnableHdmi = HI_TRUE;
        attr.bEnableVideo = HI_TRUE;
        attr.enVideoFmt = enIntfSync;
        attr.bEnableAudio = HI_FALSE;
        r = HI_MPI_HDMI_SetAttr(HI_HDMI_ID_0, &attr);
    }
    if (r == HI_SUCCESS) r = HI_MPI_HDMI_Start(HI_HDMI_ID_0);
    if (r != HI_SUCCESS) {
        HI_MPI_HDMI_Close(HI_HDMI_ID_0);
        HI_MPI_HDMI_DeInit();
        return failed(__func__, __LINE__, r);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_HdmiStop() {
    HI_MPI_HDMI_Stop(HI_HDMI_ID_0);
    HI_MPI_HDMI_Close(HI_HDMI_ID_0);
    if (HI_S32 r = HI_MPI_HDMI_DeInit()) return failed(__func__, __LINE__, r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_BindVi(VO_DEV VoDev, VO_CHN VoChn, VI_CHN ViChn) {
    const MPP_CHN_S src{HI_ID_VIU, 0, ViChn}, dst{HI_ID_VOU, VoDev, VoChn};
    return HI_MPI_SYS_Bind(&src, &dst);
}

HI_S32 SAMPLE_COMM_VO_UnBindVi(VO_DEV VoDev, VO_CHN VoChn) {
    // Whichever capture channel feeds it.
    for (VI_CHN c = 0; c < 8; ++c) {
        const MPP_CHN_S src{HI_ID_VIU, 0, c}, dst{HI_ID_VOU, VoDev, VoChn};
        if (HI_MPI_SYS_UnBind(&src, &dst) == HI_SUCCESS) return HI_SUCCESS;
    }
    prt(__func__, __LINE__, "vo %d chn %d has no capture bound!\n", VoDev, VoChn);
    return HI_FAILURE;
}

HI_S32 SAMPLE_COMM_VO_UnBindVoWbc(VO_DEV VoWbcDev, VO_DEV VoDev, VO_CHN VoChn) {
    const MPP_CHN_S src{HI_ID_VOU, VoWbcDev, 0}, dst{HI_ID_VOU, VoDev, VoChn};
    return HI_MPI_SYS_UnBind(&src, &dst);
}

// ---------------------------------------------------------------- pre-scaling, memory zones, histograms

HI_S32 SAMPLE_COMM_EnableVpssPreScale(VPSS_GRP VpssGrp, SIZE_S stSize) {
    const VPSS_PRESCALE_INFO_S info{HI_TRUE, stSize};
    if (HI_S32 r = HI_MPI_VPSS_SetPreScale(VpssGrp, &info)) return failed(__func__, __LINE__, r);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_DisableVpssPreScale(VPSS_GRP VpssGrp) {
    const VPSS_PRESCALE_INFO_S info{HI_FALSE, {0, 0}};
    if (HI_S32 r = HI_MPI_VPSS_SetPreScale(VpssGrp, &info)) return failed(__func__, __LINE__, r);
    return HI_SUCCESS;
}

HI_U32 SAMPLE_COMM_SYS_CalcHistVbBlkSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstHistBlkSize,
                                         HI_U32 u32AlignWidth) {
    SIZE_S size{};
    if (SAMPLE_COMM_SYS_GetPicSize(enNorm, enPicSize, &size) != HI_SUCCESS) {
        prt(__func__, __LINE__, "get picture size[%d] failed!\n", enPicSize);
        return static_cast<HI_U32>(HI_FAILURE);
    }
    if (u32AlignWidth != 16 && u32AlignWidth != 32 && u32AlignWidth != 64) {
        prt(__func__, __LINE__, "system align width[%d] input failed!\n", u32AlignWidth);
        return static_cast<HI_U32>(HI_FAILURE);
    }
    const HI_U32 w = (size.u32Width + u32AlignWidth - 1) / u32AlignWidth * u32AlignWidth;
    const HI_U32 h = (size.u32Height + u32AlignWidth - 1) / u32AlignWidth * u32AlignWidth;
    if (pstHistBlkSize) *pstHistBlkSize = SIZE_S{w / 16, h / 16};
    return w / 16 * (h / 16) * 2;
}

HI_S32 SAMPLE_COMM_SYS_MemConfig() {
    for (HI_S32 c = 0; c < kViChns; ++c)
        if (place(HI_ID_VIU, 0, c, zone_of(c)) != HI_SUCCESS) return HI_FAILURE;
    for (HI_S32 c = 0; c < kVdecChns; ++c)
        if (place(HI_ID_VDEC, 0, c, zone_of(c)) != HI_SUCCESS) return HI_FAILURE;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_MemConfig() {
    for (HI_S32 c = 0; c < kVencChns; ++c)
        if (place(HI_ID_GROUP, c, 0, zone_of(c)) != HI_SUCCESS || place(HI_ID_VENC, 0, c, zone_of(c)) != HI_SUCCESS)
            return HI_FAILURE;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VDEC_MemConfig() {
    for (HI_S32 c = 0; c < kVdecChns; ++c)
        if (place(HI_ID_VDEC, 0, c, zone_of(c)) != HI_SUCCESS) return HI_FAILURE;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VPSS_MemConfig() {
    for (HI_S32 g = 0; g < kVpssGrps; ++g)
        if (place(HI_ID_VPSS, g, 0, zone_of(g)) != HI_SUCCESS) return HI_FAILURE;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_MemConfig(VO_DEV VoDev, const HI_CHAR* pcMmzName) {
    return place(HI_ID_VOU, VoDev, 0, pcMmzName);
}
