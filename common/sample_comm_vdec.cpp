// Playback of a recording: a sender thread cuts the H.264 file into pictures
// for decoder channel 32, which feeds processing group 4, whose channel 2
// feeds output channel 0 of the HD device.
#include "common/sample_comm_vdec.h"

#include <cmath>
#include <memory>
#include <new>
#include <string>

#include "common/prt.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace {

constexpr VDEC_CHN kVdecChn = 32;
constexpr VPSS_GRP kFirstGroup = 4;
constexpr VPSS_CHN kGroupOut = 2;
constexpr VO_CHN kVoChn = 0;
constexpr HI_S32 kLayoutOne = 0;  // one window
// Polls of a draining decoder before it is destroyed anyway.
constexpr int kDrainPolls = 50;

// What the last successful start set up, for the stop.
std::atomic<bool> g_playing{false};
std::string g_path;

}  // namespace

VIDEO_NORM_E gs_enNorm = VIDEO_ENCODING_MODE_PAL;
HI_U32 gs_u32ViFrmRate = 25;
sample_vdec_sendparam gs_SendParam[16];
std::atomic<HI_S32> percent{0};

namespace {

// Binds or unbinds two stages; a failure prints `what` with the code.
HI_S32 link(const MPP_CHN_S& src, const MPP_CHN_S& dst, bool bind, const char* func, int line, const char* what) {
    const HI_S32 r = bind ? HI_MPI_SYS_Bind(&src, &dst) : HI_MPI_SYS_UnBind(&src, &dst);
    if (r == HI_SUCCESS) return HI_SUCCESS;
    prt(func, line, what, static_cast<unsigned>(r));
    return HI_FAILURE;
}

constexpr const char* kBindFailed = "HI_MPI_SYS_Bind failed with %#x!\n";
constexpr const char* kUnbindFailed = "HI_MPI_SYS_UnBind failed with %#x!\n";

}  // namespace

HI_S32 SAMLE_COMM_VDEC_BindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp) {
    return link({HI_ID_VDEC, 0, VdChn}, {HI_ID_VPSS, VpssGrp, 0}, true, __func__, __LINE__, kBindFailed);
}

HI_S32 SAMLE_COMM_VDEC_UnBindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp) {
    return link({HI_ID_VDEC, 0, VdChn}, {HI_ID_VPSS, VpssGrp, 0}, false, __func__, __LINE__, kUnbindFailed);
}

HI_S32 SAMLE_COMM_VDEC_BindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn) {
    return link({HI_ID_VDEC, 0, VdChn}, {HI_ID_VOU, VoDev, VoChn}, true, __func__, __LINE__, kBindFailed);
}

HI_S32 SAMLE_COMM_VDEC_UnBindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn) {
    return link({HI_ID_VDEC, 0, VdChn}, {HI_ID_VOU, VoDev, VoChn}, false, __func__, __LINE__, kUnbindFailed);
}

HI_S32 SAMPLE_COMM_VO_BindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    return link({HI_ID_VPSS, VpssGrp, VpssChn}, {HI_ID_VOU, VoDev, VoChn}, true, __func__, __LINE__,
                "failed with %#x!\n");
}

HI_S32 SAMPLE_COMM_VO_UnBindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    return link({HI_ID_VPSS, VpssGrp, VpssChn}, {HI_ID_VOU, VoDev, VoChn}, false, __func__, __LINE__,
                "failed with %#x!\n");
}

HI_S32 SAMPLE_COMM_VPSS_Stop(HI_S32 s32GrpCnt, HI_S32) {
    for (VPSS_GRP g = kFirstGroup; g < kFirstGroup + s32GrpCnt; ++g) {
        HI_S32 r = HI_MPI_VPSS_StopGrp(g);
        if (r == HI_SUCCESS) r = HI_MPI_VPSS_DisableChn(g, kGroupOut);
        if (r == HI_SUCCESS) r = HI_MPI_VPSS_DestroyGrp(g);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VPSS_Start2(HI_S32 s32GrpCnt, const SIZE_S* pstSize, HI_S32, const VPSS_GRP_ATTR_S* pstVpssGrpAttr) {
    VPSS_GRP_ATTR_S attr{};
    if (pstVpssGrpAttr) {
        attr = *pstVpssGrpAttr;
    } else {
        attr.u32MaxW = pstSize->u32Width;
        attr.u32MaxH = pstSize->u32Height;
        attr.enPixFmt = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
        attr.enDieMode = 0;  // every enhancement off
    }
    for (VPSS_GRP g = kFirstGroup; g < kFirstGroup + s32GrpCnt; ++g) {
        HI_S32 r = HI_MPI_VPSS_CreateGrp(g, &attr);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_VPSS_CreateGrp failed with %#x!\n", static_cast<unsigned>(r));
            SAMPLE_COMM_VPSS_Stop(g - kFirstGroup, 0);
            return HI_FAILURE;
        }
        VPSS_GRP_PARAM_S param{};
        r = HI_MPI_VPSS_GetGrpParam(g, &param);
        if (r == HI_SUCCESS) {
            param.u32MotionThresh = 0;
            r = HI_MPI_VPSS_SetGrpParam(g, &param);
        }
        VPSS_CHN_ATTR_S chn{};
        chn.bSpEn = HI_FALSE;
        chn.bFrameEn = HI_FALSE;
        for (int i = 0; i < 4; ++i) chn.stFrame.u32Width[i] = 2, chn.stFrame.u32Color[i] = 0xFF00;
        if (r == HI_SUCCESS) r = HI_MPI_VPSS_SetChnAttr(g, kGroupOut, &chn);
        if (r == HI_SUCCESS) r = HI_MPI_VPSS_EnableChn(g, kGroupOut);
        if (r == HI_SUCCESS) r = HI_MPI_VPSS_StartGrp(g);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
            // This group half made and the ones before it go again.
            HI_MPI_VPSS_StopGrp(g);
            HI_MPI_VPSS_DisableChn(g, kGroupOut);
            HI_MPI_VPSS_DestroyGrp(g);
            SAMPLE_COMM_VPSS_Stop(g - kFirstGroup, 0);
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_VDEC_CreateVdecChn(HI_S32 s32ChnID, const SIZE_S* pstSize, PAYLOAD_TYPE_E enType) {
    VDEC_CHN_ATTR_S attr{};
    attr.enType = enType;
    attr.u32BufSize = pstSize->u32Width * pstSize->u32Height;
    attr.u32Priority = 1;
    attr.u32PicWidth = pstSize->u32Width;
    attr.u32PicHeight = pstSize->u32Height;
    switch (enType) {
    case PT_H264:
        attr.stVdecVideoAttr.u32RefFrameNum = 2;
        attr.stVdecVideoAttr.enMode = VIDEO_MODE_FRAME;
        attr.stVdecVideoAttr.s32SupportBFrame = 0;
        break;
    case PT_JPEG:
    case PT_MJPEG: attr.stVdecJpegAttr.enMode = VIDEO_MODE_FRAME; break;
    default: std::printf("err type \n"); return HI_FAILURE;
    }
    HI_S32 r = HI_MPI_VDEC_CreateChn(s32ChnID, &attr);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_VDEC_CreateChn failed errno 0x%x \n", static_cast<unsigned>(r));
        return r;
    }
    VDEC_PRTCL_PARAM_S prtcl{};
    r = HI_MPI_VDEC_GetPrtclParam(s32ChnID, &prtcl);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_VDEC_GetPrtclParam failed errno 0x%x \n", static_cast<unsigned>(r));
        HI_MPI_VDEC_DestroyChn(s32ChnID);
        return r;
    }
    prtcl.stH264PrtclParam.s32MaxSliceNum = 100;
    prtcl.stH264PrtclParam.s32MaxSpsNum = 21;
    prtcl.stH264PrtclParam.s32MaxPpsNum = 22;
    r = HI_MPI_VDEC_SetPrtclParam(s32ChnID, &prtcl);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_VDEC_SetPrtclParam failed errno 0x%x \n", static_cast<unsigned>(r));
        HI_MPI_VDEC_DestroyChn(s32ChnID);
        return r;
    }
    r = HI_MPI_VDEC_StartRecvStream(s32ChnID);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_VDEC_StartRecvStream failed errno 0x%x \n", static_cast<unsigned>(r));
        HI_MPI_VDEC_DestroyChn(s32ChnID);
        return r;
    }
    return HI_SUCCESS;
}

HI_VOID SAMPLE_VDEC_WaitDestroyVdecChn(HI_S32 s32ChnID) {
    HI_MPI_VDEC_StopRecvStream(s32ChnID);
    // What the decoder still holds drains to the output; bounded, so a stuck
    // output cannot hang the caller.
    for (int i = 0; i < kDrainPolls; ++i) {
        VDEC_CHN_STAT_S stat{};
        const HI_S32 r = HI_MPI_VDEC_Query(s32ChnID, &stat);
        if (r != HI_SUCCESS) {
            std::printf("HI_MPI_VDEC_Query failed errno 0x%x \n", static_cast<unsigned>(r));
            break;
        }
        if (stat.u32LeftPics == 0 && stat.u32LeftStreamFrames == 0) {
            std::printf("had no stream and pic left\n");
            break;
        }
        clk_usleep(40000);
    }
    HI_MPI_VDEC_DestroyChn(s32ChnID);
}

HI_VOID SAMPLE_VDEC_ForceDestroyVdecChn(HI_S32 s32ChnID) {
    HI_S32 r = HI_MPI_VDEC_StopRecvStream(s32ChnID);
    if (r != HI_SUCCESS) std::printf("HI_MPI_VDEC_StopRecvStream failed errno 0x%x \n", static_cast<unsigned>(r));
    r = HI_MPI_VDEC_DestroyChn(s32ChnID);
    if (r != HI_SUCCESS) std::printf("HI_MPI_VDEC_DestroyChn failed errno 0x%x \n", static_cast<unsigned>(r));
}

void* SAMPLE_VDEC_SendStream(void* p) {
    auto* param = static_cast<sample_vdec_sendparam*>(p);
    const HI_S32 chn = param->VdChn;
    std::FILE* f = std::fopen(board_path(param->filename).c_str(), "rb");
    if (!f) {
        std::printf("can't open file %s in send stream thread:%d\n", param->filename, chn);
        return nullptr;
    }
    std::printf("open file [%s] ok in send stream thread:%d!\n", param->filename, chn);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    if (param->s32MinBufSize <= 0) {
        std::printf("none buffer to operate in send stream thread:%d\n", chn);
        std::fclose(f);
        return nullptr;
    }
    std::unique_ptr<HI_U8[]> buf(new (std::nothrow) HI_U8[static_cast<std::size_t>(param->s32MinBufSize)]);
    if (!buf) {
        std::printf("can't alloc %d in send stream thread:%d\n", param->s32MinBufSize, chn);
        std::fclose(f);
        return nullptr;
    }
    const bool frame_mode = param->enVideoMode == VIDEO_MODE_FRAME;
    long offset = 0;
    HI_U64 pts = 0;
    while (param->bRun) {
        const HI_S32 n =
            static_cast<HI_S32>(std::fread(buf.get(), 1, static_cast<std::size_t>(param->s32MinBufSize), f));
        if (n <= 0) {
            std::printf("file end.\n");
            clk_usleep(100000);
        } else {
            HI_S32 len = n;
            if (frame_mode && param->enPayload == PT_H264) {
                bool found = false;
                len = cut_picture(buf.get(), n, offset + n >= size, found);
                if (!found) std::printf("can not find start code in send stream thread:%d\n", chn);
                pts += 25000;
            }
            VDEC_STREAM_S stream{buf.get(), static_cast<HI_U32>(len), pts};
            if (len > 0 && HI_MPI_VDEC_SendStream(chn, &stream, HI_IO_BLOCK) == HI_SUCCESS) {
                offset += len;
            } else {
                clk_usleep(40000);
            }
            std::fseek(f, offset, SEEK_SET);
            clk_usleep(2000);
        }
        VDEC_CHN_STAT_S stat{};
        HI_MPI_VDEC_Query(chn, &stat);
        // An empty file is all played.
        percent = size > 0 ? static_cast<HI_S32>(std::ceil(
                                 static_cast<double>(offset - static_cast<long>(stat.u32LeftStreamBytes)) / size * 100))
                           : 100;
    }
    std::printf("send steam thread %d return ...\n", chn);
    std::fclose(f);
    return nullptr;
}

HI_S32 SAMPLE_VDEC_Process(PIC_SIZE_E enPicSize, PAYLOAD_TYPE_E enType, HI_S32 s32Cnt, VO_DEV VoDev,
                           const char* path) {
    gs_u32ViFrmRate = gs_enNorm == VIDEO_ENCODING_MODE_PAL ? 25 : 30;
    if (s32Cnt < 1 || s32Cnt > 16) {
        std::printf("Vdec count %d err, should be in [%d,%d]. \n", s32Cnt, 1, 16);
        return HI_FAILURE;
    }
    if (g_playing) SAMPLE_VDEC_Stop(s32Cnt, VoDev);  // one file at a time
    SIZE_S size{};
    if (SAMPLE_COMM_SYS_GetPicSize(gs_enNorm, enPicSize, &size) != HI_SUCCESS) {
        std::printf("get picture size failed!\n");
        return HI_FAILURE;
    }
    if (SAMPLE_COMM_VO_StartChn(VoDev, nullptr, kLayoutOne) != HI_SUCCESS) {
        std::printf("SAMPLE_COMM_VO_StartChn failed!\n");
        return HI_FAILURE;
    }
    // Each failure below takes down, in reverse, what was set up before it.
    if (SAMPLE_COMM_VPSS_Start2(s32Cnt, &size, 0, nullptr) != HI_SUCCESS) {
        std::printf("vpss start failed!\n");
        SAMPLE_COMM_VO_StopChn(VoDev, kLayoutOne);
        return HI_FAILURE;
    }
    if (SAMPLE_COMM_VO_BindVpss(VoDev, kVoChn, kFirstGroup, kGroupOut) != HI_SUCCESS) {
        std::printf("SAMPLE_COMM_VO_BindVpss failed!\n");
        SAMPLE_COMM_VPSS_Stop(s32Cnt, 0);
        SAMPLE_COMM_VO_StopChn(VoDev, kLayoutOne);
        return HI_FAILURE;
    }
    auto undo_output = [&] {
        SAMPLE_COMM_VO_UnBindVpss(VoDev, kVoChn, kFirstGroup, kGroupOut);
        SAMPLE_COMM_VPSS_Stop(s32Cnt, 0);
        SAMPLE_COMM_VO_StopChn(VoDev, kLayoutOne);
    };
    if (SAMPLE_VDEC_CreateVdecChn(kVdecChn, &size, enType) != HI_SUCCESS) {
        std::printf("create vdec chn failed!\n");
        undo_output();
        return HI_FAILURE;
    }
    if (SAMLE_COMM_VDEC_BindVpss(kVdecChn, kFirstGroup) != HI_SUCCESS) {
        std::printf("vdec(vdch=%d) bind vpss(vpssg=%d) failed!\n", kVdecChn, kFirstGroup);
        SAMPLE_VDEC_WaitDestroyVdecChn(kVdecChn);
        undo_output();
        return HI_FAILURE;
    }
    g_path = path;
    sample_vdec_sendparam& sp = gs_SendParam[0];
    sp.bRun = 1;
    sp.VdChn = kVdecChn;
    sp.enPayload = enType;
    sp.s32MinBufSize = static_cast<HI_S32>(size.u32Width * size.u32Height * 3 / 4);
    sp.enVideoMode = VIDEO_MODE_FRAME;
    sp.filename = g_path.c_str();
    percent = 0;
    sp.Pid = start_worker(SAMPLE_VDEC_SendStream, &sp);
    g_playing = true;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_VDEC_Stop(HI_S32, VO_DEV VoDev) {
    if (!g_playing.exchange(false)) return HI_SUCCESS;
    gs_SendParam[0].bRun = 0;
    if (gs_SendParam[0].Pid.joinable()) gs_SendParam[0].Pid.join();
    std::printf("join thread %d.\n", 0);
    SAMPLE_VDEC_ForceDestroyVdecChn(kVdecChn);
    SAMLE_COMM_VDEC_UnBindVpss(kVdecChn, kFirstGroup);
    SAMPLE_COMM_VO_UnBindVpss(VoDev, kVoChn, kFirstGroup, kGroupOut);
    SAMPLE_COMM_VPSS_Stop(1, 0);
    SAMPLE_COMM_VO_StopChn(VoDev, kLayoutOne);
    return HI_SUCCESS;
}
