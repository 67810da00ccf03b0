// The media set-up functions nothing in the system calls: teardown and
// unbinding of the live chain, the capture mode tables, snapshots, HDMI,
// pre-scaling, memory-zone placement and motion and occlusion detection.
#pragma once

#include <atomic>
#include <cstdio>
#include <thread>

#include "common/sample_comm.h"
#include "platform/mpi_ext.h"

// A worker thread and the flag that keeps it going; stop() joins it.
struct SampleWorker {
    std::atomic<bool> bStart{false};
    std::thread thread;
    HI_S32 start(void* (*body)(void*), void* arg);
    void stop();
};

// Waits up to 2 s of board time for a descriptor to turn readable:
// 1 readable, 0 time-out, -1 error.
int wait_readable(int fd);

// Capture modes as devices and channels: channel k of a mode is
// device k / s32ChnPerDev, channel 4 x device + k % s32ChnPerDev.
struct SAMPLE_VI_PARAM_S {
    HI_S32 s32ViDevCnt;
    HI_S32 s32ChnPerDev;
    HI_S32 s32ViChnCnt;
};

HI_S32 SAMPLE_COMM_VI_Mode2Param(SAMPLE_VI_MODE_E enViMode, SAMPLE_VI_PARAM_S* pstViParam);
HI_S32 SAMPLE_COMM_VI_Mode2Size(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E enNorm, SIZE_S* pstSize);
VI_DEV SAMPLE_COMM_VI_GetDev(SAMPLE_VI_MODE_E enViMode, VI_CHN ViChn);
HI_S32 SAMPLE_COMM_VI_SetMask(VI_DEV ViDev, VI_DEV_ATTR_S* pstDevAttr);
HI_S32 SAMPLE_COMM_VI_Stop(SAMPLE_VI_MODE_E enViMode);
HI_S32 SAMPLE_COMM_VI_UnBindVpss(SAMPLE_VI_MODE_E enViMode);
HI_S32 SAMPLE_NVP6114_CfgV(VIDEO_NORM_E enNorm);
HI_S32 SAMPLE_TW2865_CfgV(VIDEO_NORM_E enNorm);
HI_S32 SAMPLE_TW2960_CfgV(VIDEO_NORM_E enNorm);

HI_S32 SAMPLE_COMM_VENC_Stop(VENC_GRP VencGrp, VENC_CHN VencChn);
HI_S32 SAMPLE_COMM_VENC_SnapStart(VENC_GRP VencGrp, VENC_CHN VencChn, const SIZE_S* pstSize);
HI_S32 SAMPLE_COMM_VENC_SnapStop(VENC_GRP VencGrp, VENC_CHN VencChn);
HI_S32 SAMPLE_COMM_VENC_SnapProcess(VENC_CHN VencChn);
// Writes "snap_<n>.jpg" into the board's "/home/" folder, n counting up.
HI_S32 SAMPLE_COMM_VENC_SaveSnap(const VENC_STREAM_S* pstStream);
HI_S32 SAMPLE_COMM_VENC_SaveJPEG(std::FILE* fpJpegFile, const VENC_STREAM_S* pstStream);
// Planar 4:2:0 (U plane, then V plane) into semi-planar V,U pairs in place:
// the U plane's room then holds the pairs of both.
HI_S32 SAMPLE_COMM_VENC_PlanToSemi(HI_U8* pY, HI_S32 yStride, HI_U8* pU, HI_S32 uStride, HI_U8* pV, HI_S32 vStride,
                                   HI_S32 picWidth, HI_S32 picHeight);
// One planar 4:2:0 picture from a file; -1 when the file ends first.
HI_S32 SAMPLE_COMM_VENC_ReadOneFrame(std::FILE* fp, HI_U8* pY, HI_U8* pU, HI_U8* pV, HI_U32 width, HI_U32 height,
                                     HI_U32 stride, HI_U32 strideC);

HI_S32 SAMPLE_COMM_VO_GetWH(VO_INTF_SYNC_E enIntfSync, HI_U32* pu32W, HI_U32* pu32H, HI_U32* pu32Frm);
HI_S32 SAMPLE_COMM_VO_HdmiStart(VO_INTF_SYNC_E enIntfSync);
HI_S32 SAMPLE_COMM_VO_HdmiStop();
HI_S32 SAMPLE_COMM_VO_BindVi(VO_DEV VoDev, VO_CHN VoChn, VI_CHN ViChn);
HI_S32 SAMPLE_COMM_VO_UnBindVi(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 SAMPLE_COMM_VO_UnBindVoWbc(VO_DEV VoWbcDev, VO_DEV VoDev, VO_CHN VoChn);

HI_S32 SAMPLE_COMM_EnableVpssPreScale(VPSS_GRP VpssGrp, SIZE_S stSize);
HI_S32 SAMPLE_COMM_DisableVpssPreScale(VPSS_GRP VpssGrp);

// Bytes of a histogram picture: two per 16 x 16 block of the aligned picture.
HI_U32 SAMPLE_COMM_SYS_CalcHistVbBlkSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstHistBlkSize,
                                         HI_U32 u32AlignWidth);
HI_S32 SAMPLE_COMM_SYS_MemConfig();
HI_S32 SAMPLE_COMM_VENC_MemConfig();
HI_S32 SAMPLE_COMM_VDEC_MemConfig();
HI_S32 SAMPLE_COMM_VPSS_MemConfig();
HI_S32 SAMPLE_COMM_VO_MemConfig(VO_DEV VoDev, const HI_CHAR* pcMmzName);

// Motion and occlusion detection of a capture channel.
HI_S32 SAMPLE_COMM_VDA_MdStart(VDA_CHN VdaChn, VI_CHN ViChn, const SIZE_S* pstSize);
HI_S32 SAMPLE_COMM_VDA_OdStart(VDA_CHN VdaChn, VI_CHN ViChn, const SIZE_S* pstSize);
HI_S32 SAMPLE_COMM_VDA_MdStop(VDA_CHN VdaChn, VI_CHN ViChn);
HI_S32 SAMPLE_COMM_VDA_OdStop(VDA_CHN VdaChn, VI_CHN ViChn);
void* SAMPLE_COMM_VDA_MdGetResult(void* pdata);
void* SAMPLE_COMM_VDA_OdGetResult(void* pdata);
HI_S32 SAMPLE_COMM_VDA_MdPrtAp(std::FILE* fp, const VDA_DATA_S* pstVdaData);
HI_S32 SAMPLE_COMM_VDA_MdPrtObj(std::FILE* fp, const VDA_DATA_S* pstVdaData);
HI_S32 SAMPLE_COMM_VDA_MdPrtSad(std::FILE* fp, const VDA_DATA_S* pstVdaData);
HI_S32 SAMPLE_COMM_VDA_OdPrt(std::FILE* fp, const VDA_DATA_S* pstVdaData);
