// Media set-up functions: buffer pools and system, capture, processing groups,
// video outputs and encoders.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/mpi.h"

// Picture size codes.
enum PIC_SIZE_E : HI_S32 {
    PIC_QCIF = 0, PIC_CIF = 1, PIC_2CIF = 2, PIC_D1 = 4, PIC_960H = 5, PIC_QVGA = 6, PIC_VGA = 7, PIC_XGA = 8,
    PIC_SXGA = 9, PIC_UXGA = 10, PIC_QXGA = 11, PIC_WVGA = 12, PIC_WSXGA = 13, PIC_WUXGA = 14, PIC_WQXGA = 15,
    PIC_HD720 = 16, PIC_HD1080 = 17,
};

// Capture modes.
enum SAMPLE_VI_MODE_E : HI_S32 {
    SAMPLE_VI_MODE_16_D1 = 1,
    SAMPLE_VI_MODE_16_960H = 2,
    SAMPLE_VI_MODE_4_720P = 4,
    SAMPLE_VI_MODE_8_720P = 11,
};

// Encoder rate-control choices.
enum SAMPLE_RC_E : HI_S32 { SAMPLE_RC_CBR = 0, SAMPLE_RC_VBR = 1, SAMPLE_RC_FIXQP = 2 };

constexpr HI_U32 SAMPLE_SYS_ALIGN_WIDTH = 64;

HI_S32 SAMPLE_COMM_SYS_GetPicSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstSize);
HI_U32 SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, PIXEL_FORMAT_E enPixFmt,
                                        HI_U32 u32AlignWidth);
HI_S32 SAMPLE_COMM_SYS_Init(const VB_CONF_S* pstVbConf);
HI_VOID SAMPLE_COMM_SYS_Exit();

HI_S32 SAMPLE_COMM_VI_ADStart(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E enNorm);
HI_S32 SAMPLE_COMM_VI_StartDev(VI_DEV ViDev, SAMPLE_VI_MODE_E enViMode);
HI_S32 SAMPLE_COMM_VI_StartChn(VI_CHN ViChn, const RECT_S* pstCapRect, const SIZE_S* pstTarSize,
                               SAMPLE_VI_MODE_E enViMode);
HI_S32 SAMPLE_COMM_VI_Start(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E enNorm);
HI_S32 SAMPLE_COMM_VI_BindVpss(SAMPLE_VI_MODE_E enViMode);

HI_S32 SAMPLE_COMM_VPSS_Start(HI_S32 s32GrpCnt, const SIZE_S* pstSize, HI_S32 s32ChnCnt,
                              const VPSS_GRP_ATTR_S* pstVpssGrpAttr);

// Framebuffer geometry and screen origin chosen by the board code.
extern HI_U32 var_xres, var_yres, var_xres_virtual, var_yres_virtual;
extern POINT_S stPoint;

HI_S32 SAMPLE_COMM_VO_StartDevLayer(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr, HI_U32 u32SrcFrmRate);
HI_S32 SAMPLE_COMM_VO_StopDevLayer(VO_DEV VoDev);
HI_S32 SAMPLE_COMM_VO_StartChn(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr, HI_S32 enMode);
HI_S32 SAMPLE_COMM_VO_StopChn(VO_DEV VoDev, HI_S32 enMode);
HI_S32 SAMPLE_COMM_VO_BindVoWbc(VO_DEV VoWbcDev, VO_DEV VoDev, VO_CHN VoChn);
void start_HD(HI_U8 key_data);
void start_cvbs();

HI_S32 SAMPLE_COMM_VENC_Start(VENC_GRP VencGrp, VENC_CHN VencChn, PAYLOAD_TYPE_E enType, VIDEO_NORM_E enNorm,
                              PIC_SIZE_E enSize, SAMPLE_RC_E enRcMode);
HI_S32 SAMPLE_COMM_VENC_BindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 SAMPLE_COMM_VENC_UnBindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn);

// The recording thread's parameters.
struct SAMPLE_VENC_GETSTREAM_PARA_S {
    std::atomic<HI_S32> bThreadStart;  // 1 while the thread shall run
    HI_S32 s32Cnt;                     // channels recorded
};
extern SAMPLE_VENC_GETSTREAM_PARA_S gs_stPara;

HI_S32 SAMPLE_COMM_VENC_GetFilePostfix(PAYLOAD_TYPE_E enPayload, char* szFilePostfix);
HI_S32 SAMPLE_COMM_VENC_SaveH264(std::FILE* fpH264File, const VENC_STREAM_S* pstStream);
HI_S32 SAMPLE_COMM_VENC_SaveMJpeg(std::FILE* fpJpegFile, const VENC_STREAM_S* pstStream);
HI_S32 SAMPLE_COMM_VENC_SaveStream(PAYLOAD_TYPE_E enType, std::FILE* pFd, const VENC_STREAM_S* pstStream);
// Renames a segment file to its vehicle-locked name ("#" before ".h264").
int change_file2(const char* path);
void* SAMPLE_COMM_VENC_GetVencStreamProc(void* p);
HI_S32 SAMPLE_COMM_VENC_StartGetStream(HI_S32 s32Cnt);
HI_S32 SAMPLE_COMM_VENC_StopGetStream();
// Joins a recording thread that ended by itself (a failure), so it does not
// linger until the next start.
void reap_record_thread();
// Whether a name on the disk belongs to the segment being written (or the
// one about to begin): such files are never deleted to free space.
bool is_recording_file(const char* name);
// Sets the time stamps of the segment being written and of the one beginning
// ("" for none), as the recording thread does.
void publish_stamps(const char* current, const char* next);
// Serialises the disk operations of all threads (mount, unmount, format,
// remove, rename).
std::recursive_mutex& disk_ops_mutex();
// A thread of the system's own: signals stay with the main thread.
std::thread start_worker(void* (*body)(void*), void* arg);

// The live chain: capture of the four cameras, processing groups, encoders.
HI_S32 sys_init_AHD();
void VpssStart();
void init_venc();
