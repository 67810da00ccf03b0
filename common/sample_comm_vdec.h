// Playback of one recording on the HD output.
#pragma once

#include <atomic>

#include "common/sample_comm.h"

// A sender thread's parameters.
struct sample_vdec_sendparam {
    std::thread Pid;
    std::atomic<HI_S32> bRun{0};  // 1 while the thread shall send
    VDEC_CHN VdChn = 0;
    PAYLOAD_TYPE_E enPayload = PT_H264;
    HI_S32 s32MinBufSize = 0;  // bytes read from the file at a time
    VIDEO_MODE_E enVideoMode = VIDEO_MODE_FRAME;
    const char* filename = nullptr;
    HI_S32 playmode = 0;
};

extern VIDEO_NORM_E gs_enNorm;
extern HI_U32 gs_u32ViFrmRate;
extern sample_vdec_sendparam gs_SendParam[16];
// Playback progress, 0..100, written by the sender thread.
extern std::atomic<HI_S32> percent;

// The length of the first picture of `n` bytes read: up to the start of the
// next picture's first slice, or all of it when there is none; `found` says
// whether a picture starts in it at all. `at_end`: these are the file's last
// bytes.
HI_S32 cut_picture(const HI_U8* buf, HI_S32 n, bool at_end, bool& found);

HI_S32 SAMLE_COMM_VDEC_BindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp);
HI_S32 SAMLE_COMM_VDEC_UnBindVpss(VDEC_CHN VdChn, VPSS_GRP VpssGrp);
HI_S32 SAMLE_COMM_VDEC_BindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn);
HI_S32 SAMLE_COMM_VDEC_UnBindVo(VDEC_CHN VdChn, VO_DEV VoDev, VO_CHN VoChn);
HI_S32 SAMPLE_COMM_VO_BindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 SAMPLE_COMM_VO_UnBindVpss(VO_DEV VoDev, VO_CHN VoChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
// Groups 4 .. 3 + count for playback, and their stop.
HI_S32 SAMPLE_COMM_VPSS_Start2(HI_S32 s32GrpCnt, const SIZE_S* pstSize, HI_S32 mode,
                               const VPSS_GRP_ATTR_S* pstVpssGrpAttr);
HI_S32 SAMPLE_COMM_VPSS_Stop(HI_S32 s32GrpCnt, HI_S32 unused);

HI_S32 SAMPLE_VDEC_CreateVdecChn(HI_S32 s32ChnID, const SIZE_S* pstSize, PAYLOAD_TYPE_E enType);
HI_VOID SAMPLE_VDEC_WaitDestroyVdecChn(HI_S32 s32ChnID);
HI_VOID SAMPLE_VDEC_ForceDestroyVdecChn(HI_S32 s32ChnID);
void* SAMPLE_VDEC_SendStream(void* param);
// Starts playing `path` (a system path) on output device `VoDev`: 0 when the
// sender runs, -1 after undoing whatever was set up.
HI_S32 SAMPLE_VDEC_Process(PIC_SIZE_E enPicSize, PAYLOAD_TYPE_E enType, HI_S32 s32Cnt, VO_DEV VoDev,
                           const char* path);
// Stops playback; nothing to do when nothing plays.
HI_S32 SAMPLE_VDEC_Stop(HI_S32 s32Cnt, VO_DEV VoDev);
