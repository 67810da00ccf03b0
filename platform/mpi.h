// The media platform's operations and records: memory, buffer pools, capture,
// processing groups, video outputs, encoders, decoder, overlay regions and the
// image engine's DMA copy. Every operation returns 0 or 0xA0MM8CCC.
#pragma once

#include "platform/hi_types.h"

// ---- system and media memory ----

struct MPP_SYS_CONF_S {
    HI_U32 u32AlignWidth;
};

struct MPP_CHN_S {
    MOD_ID_E enModId;
    HI_S32 s32DevId;
    HI_S32 s32ChnId;
};

HI_S32 HI_MPI_SYS_Exit();
HI_S32 HI_MPI_SYS_SetConf(const MPP_SYS_CONF_S* pstSysConf);
HI_S32 HI_MPI_SYS_Init();
// A block of media memory: a 32-bit physical address for the engines and a
// mapped pointer for the CPU.
HI_S32 HI_MPI_SYS_MmzAlloc(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb,
                           const HI_CHAR* strZone, HI_U32 u32Len);
HI_S32 HI_MPI_SYS_MmzAlloc_Cached(HI_U32* pu32PhyAddr, HI_VOID** ppVirtAddr, const HI_CHAR* strMmb,
                                  const HI_CHAR* strZone, HI_U32 u32Len);
HI_S32 HI_MPI_SYS_MmzFlushCache(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr, HI_U32 u32Size);
HI_S32 HI_MPI_SYS_MmzFree(HI_U32 u32PhyAddr, HI_VOID* pVirtAddr);
HI_S32 HI_MPI_SYS_Bind(const MPP_CHN_S* pstSrcChn, const MPP_CHN_S* pstDestChn);
HI_S32 HI_MPI_SYS_UnBind(const MPP_CHN_S* pstSrcChn, const MPP_CHN_S* pstDestChn);
// The media clock now, in microseconds: the clock capture frames and encoded
// streams are stamped with.
HI_S32 HI_MPI_SYS_GetCurPts(HI_U64* pu64CurPts);

// ---- video buffer pools ----

constexpr int VB_MAX_COMM_POOLS = 16;
constexpr int MAX_MMZ_NAME_LEN = 16;

struct VB_CONF_S {
    HI_U32 u32MaxPoolCnt;
    struct {
        HI_U32 u32BlkSize;
        HI_U32 u32BlkCnt;
        HI_CHAR acMmzName[MAX_MMZ_NAME_LEN];
    } astCommPool[VB_MAX_COMM_POOLS];
};

HI_S32 HI_MPI_VB_Exit();
HI_S32 HI_MPI_VB_SetConf(const VB_CONF_S* pstVbConf);
HI_S32 HI_MPI_VB_Init();

// ---- video capture ----

using VI_DEV = HI_S32;
using VI_CHN = HI_S32;

enum VI_INTF_MODE_E : HI_S32 { VI_MODE_BT656 = 0, VI_MODE_BT601 = 1, VI_MODE_DIGITAL_CAMERA = 2 };
enum VI_WORK_MODE_E : HI_S32 { VI_WORK_MODE_1Multiplex = 0, VI_WORK_MODE_2Multiplex = 1, VI_WORK_MODE_4Multiplex = 2 };
enum VI_SCAN_MODE_E : HI_S32 { VI_SCAN_INTERLACED = 0, VI_SCAN_PROGRESSIVE = 1 };
enum VI_CAPSEL_E : HI_S32 { VI_CAPSEL_TOP = 0, VI_CAPSEL_BOTTOM = 1, VI_CAPSEL_BOTH = 2 };

struct VI_TIMING_BLANK_S {
    HI_U32 u32HsyncHfb, u32HsyncAct, u32HsyncHbb;
    HI_U32 u32VsyncVfb, u32VsyncVact, u32VsyncVbb;
    HI_U32 u32VsyncVbfb, u32VsyncVbact, u32VsyncVbbb;
};

struct VI_SYNC_CFG_S {
    HI_S32 enVsync;
    HI_S32 enVsyncNeg;
    HI_S32 enHsync;
    HI_S32 enHsyncNeg;
    HI_S32 enVsyncValid;
    HI_S32 enVsyncValidNeg;
    VI_TIMING_BLANK_S stTimingBlank;
};

struct VI_DEV_ATTR_S {
    VI_INTF_MODE_E enIntfMode;
    VI_WORK_MODE_E enWorkMode;
    HI_U32 au32CompMask[2];
    VI_SCAN_MODE_E enScanMode;
    HI_S32 s32AdChnId[4];
    HI_S32 enDataSeq;
    VI_SYNC_CFG_S stSynCfg;
    HI_S32 enDataPath;
    HI_S32 enInputDataType;
    HI_BOOL bDataRev;
};

struct VI_CHN_ATTR_S {
    RECT_S stCapRect;
    SIZE_S stDestSize;
    VI_CAPSEL_E enCapSel;
    PIXEL_FORMAT_E enPixFormat;
    HI_BOOL bMirror;
    HI_BOOL bFlip;
    HI_BOOL bChromaResample;
    HI_S32 s32SrcFrameRate;
    HI_S32 s32FrameRate;
};

struct VIDEO_FRAME_S {
    HI_U32 u32Width;
    HI_U32 u32Height;
    PIXEL_FORMAT_E enPixelFormat;
    HI_U32 u32PhyAddr[3];
    HI_VOID* pVirAddr[3];
    HI_U32 u32Stride[3];
    HI_U64 u64pts;
    HI_U32 u32TimeRef;
};

struct VIDEO_FRAME_INFO_S {
    VIDEO_FRAME_S stVFrame;
    HI_U32 u32PoolId;
};

HI_S32 HI_MPI_VI_SetDevAttr(VI_DEV ViDev, const VI_DEV_ATTR_S* pstDevAttr);
HI_S32 HI_MPI_VI_EnableDev(VI_DEV ViDev);
HI_S32 HI_MPI_VI_SetChnAttr(VI_CHN ViChn, const VI_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VI_EnableChn(VI_CHN ViChn);
// Depth 1 lets the caller hold one frame; a second get before the release fails.
HI_S32 HI_MPI_VI_SetFrameDepth(VI_CHN ViChn, HI_U32 u32Depth);
HI_S32 HI_MPI_VI_GetFrame(VI_CHN ViChn, VIDEO_FRAME_INFO_S* pstFrameInfo);
HI_S32 HI_MPI_VI_ReleaseFrame(VI_CHN ViChn, const VIDEO_FRAME_INFO_S* pstFrameInfo);

// ---- video processing groups ----

using VPSS_GRP = HI_S32;
using VPSS_CHN = HI_S32;

struct HI_VPSS_GRP_ATTR_S {
    HI_U32 u32MaxW;
    HI_U32 u32MaxH;
    PIXEL_FORMAT_E enPixFmt;
    HI_BOOL bDrEn;    // dering
    HI_BOOL bDbEn;    // de-blocking
    HI_BOOL bIeEn;    // image enhancement
    HI_BOOL bNrEn;    // noise reduction
    HI_BOOL bHistEn;  // histogram
    HI_S32 enDieMode; // de-interlace mode
};
using VPSS_GRP_ATTR_S = HI_VPSS_GRP_ATTR_S;

struct VPSS_GRP_PARAM_S {
    HI_U32 u32Contrast;
    HI_U32 u32DieStrength;
    HI_U32 u32IeStrength;
    HI_U32 u32SfStrength;
    HI_U32 u32TfStrength;
    HI_U32 u32CfStrength;
    HI_U32 u32CTfStrength;
    HI_U32 u32CvbsStrength;
    HI_U32 u32DeMotionBlurring;
    HI_U32 u32MotionThresh;
};

struct VPSS_FRAME_S {
    HI_U32 u32Width[4];
    HI_U32 u32Color[4];
};

struct VPSS_CHN_ATTR_S {
    HI_BOOL bSpEn;     // sharpening
    HI_BOOL bFrameEn;  // frame border
    VPSS_FRAME_S stFrame;
};

HI_S32 HI_MPI_VPSS_CreateGrp(VPSS_GRP VpssGrp, const VPSS_GRP_ATTR_S* pstGrpAttr);
HI_S32 HI_MPI_VPSS_GetGrpParam(VPSS_GRP VpssGrp, VPSS_GRP_PARAM_S* pstVpssParam);
HI_S32 HI_MPI_VPSS_SetGrpParam(VPSS_GRP VpssGrp, const VPSS_GRP_PARAM_S* pstVpssParam);
HI_S32 HI_MPI_VPSS_SetChnAttr(VPSS_GRP VpssGrp, VPSS_CHN VpssChn, const VPSS_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VPSS_EnableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 HI_MPI_VPSS_DisableChn(VPSS_GRP VpssGrp, VPSS_CHN VpssChn);
HI_S32 HI_MPI_VPSS_StartGrp(VPSS_GRP VpssGrp);
HI_S32 HI_MPI_VPSS_StopGrp(VPSS_GRP VpssGrp);
HI_S32 HI_MPI_VPSS_DestroyGrp(VPSS_GRP VpssGrp);

// ---- video outputs ----

using VO_DEV = HI_S32;
using VO_CHN = HI_S32;

constexpr HI_U32 VO_INTF_CVBS = 0x01;
constexpr HI_U32 VO_INTF_LCD = 0x40;
constexpr HI_U32 VO_INTF_HDMI = 0x80;
enum VO_INTF_SYNC_E : HI_S32 {
    VO_OUTPUT_PAL = 0, VO_OUTPUT_NTSC = 1,
    VO_OUTPUT_1080P24 = 2, VO_OUTPUT_1080P25 = 3, VO_OUTPUT_1080P30 = 4, VO_OUTPUT_720P50 = 5, VO_OUTPUT_720P60 = 6,
    VO_OUTPUT_1080I50 = 7, VO_OUTPUT_1080I60 = 8, VO_OUTPUT_1080P50 = 9, VO_OUTPUT_1080P60 = 10,
    VO_OUTPUT_576P50 = 11, VO_OUTPUT_480P60 = 12, VO_OUTPUT_800x600_60 = 13, VO_OUTPUT_1024x768_60 = 14,
    VO_OUTPUT_1280x1024_60 = 15, VO_OUTPUT_1366x768_60 = 16, VO_OUTPUT_1440x900_60 = 17, VO_OUTPUT_1280x800_60 = 18,
    VO_OUTPUT_USER = 23,
};

struct VO_SYNC_INFO_S {
    HI_BOOL bSynm;
    HI_BOOL bIop;
    HI_U8 u8Intfb;
    HI_U16 u16Vact, u16Vbb, u16Vfb;
    HI_U16 u16Hact, u16Hbb, u16Hfb;
    HI_U16 u16Hmid;
    HI_U16 u16Bvact, u16Bvbb, u16Bvfb;
    HI_U16 u16Hpw, u16Vpw;
    HI_BOOL bIdv, bIhs, bIvs;
};

struct VO_PUB_ATTR_S {
    HI_U32 u32BgColor;
    HI_U32 enIntfType;
    VO_INTF_SYNC_E enIntfSync;
    VO_SYNC_INFO_S stSyncInfo;
    HI_BOOL bDoubleFrame;
};

struct VO_VIDEO_LAYER_ATTR_S {
    RECT_S stDispRect;
    SIZE_S stImageSize;
    HI_U32 u32DispFrmRt;
    PIXEL_FORMAT_E enPixFormat;
};

struct VO_CHN_ATTR_S {
    HI_U32 u32Priority;
    RECT_S stRect;
    HI_BOOL bDeflicker;
};

struct VO_WBC_ATTR_S {
    SIZE_S stTargetSize;
    PIXEL_FORMAT_E enPixelFormat;
    HI_U32 u32FrameRate;
};

HI_S32 HI_MPI_VO_SetPubAttr(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr);
HI_S32 HI_MPI_VO_Enable(VO_DEV VoDev);
HI_S32 HI_MPI_VO_Disable(VO_DEV VoDev);
HI_S32 HI_MPI_VO_SetVideoLayerAttr(VO_DEV VoDev, const VO_VIDEO_LAYER_ATTR_S* pstLayerAttr);
HI_S32 HI_MPI_VO_EnableVideoLayer(VO_DEV VoDev);
HI_S32 HI_MPI_VO_DisableVideoLayer(VO_DEV VoDev);
HI_S32 HI_MPI_VO_SetChnAttr(VO_DEV VoDev, VO_CHN VoChn, const VO_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_VO_EnableChn(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_DisableChn(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_SetWbcAttr(VO_DEV VoDev, const VO_WBC_ATTR_S* pstWbcAttr);
HI_S32 HI_MPI_VO_EnableWbc(VO_DEV VoDev);
HI_S32 HI_MPI_VO_DisableWbc(VO_DEV VoDev);
HI_S32 HI_MPI_VO_ChnPause(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_ChnResume(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_ChnStep(VO_DEV VoDev, VO_CHN VoChn);
HI_S32 HI_MPI_VO_SetChnFrameRate(VO_DEV VoDev, VO_CHN VoChn, HI_S32 s32ChnFrmRate);

// ---- H.264 encoders ----

using VENC_GRP = HI_S32;
using VENC_CHN = HI_S32;

struct VENC_ATTR_H264_S {
    HI_U32 u32MaxPicWidth;
    HI_U32 u32MaxPicHeight;
    HI_U32 u32BufSize;
    HI_U32 u32Profile;
    HI_BOOL bByFrame;
    HI_BOOL bField;
    HI_BOOL bMainStream;
    HI_U32 u32Priority;
    HI_BOOL bVIField;
    HI_U32 u32PicWidth;
    HI_U32 u32PicHeight;
};

struct VENC_ATTR_MJPEG_S {
    HI_U32 u32MaxPicWidth;
    HI_U32 u32MaxPicHeight;
    HI_U32 u32BufSize;
    HI_BOOL bByFrame;
    HI_BOOL bMainStream;
    HI_BOOL bVIField;
    HI_U32 u32Priority;
    HI_U32 u32PicWidth;
    HI_U32 u32PicHeight;
};

struct VENC_ATTR_JPEG_S {
    HI_U32 u32MaxPicWidth;
    HI_U32 u32MaxPicHeight;
    HI_U32 u32BufSize;
    HI_BOOL bByFrame;
    HI_BOOL bVIField;
    HI_U32 u32Priority;
    HI_U32 u32PicWidth;
    HI_U32 u32PicHeight;
};

// Encoder attributes by payload; only the member of enType is read.
struct VENC_ATTR_S {
    PAYLOAD_TYPE_E enType;
    VENC_ATTR_H264_S stAttrH264e;
    VENC_ATTR_MJPEG_S stAttrMjpeg;
    VENC_ATTR_JPEG_S stAttrJpeg;
};

enum VENC_RC_MODE_E : HI_S32 {
    VENC_RC_MODE_H264FIXQP = 4,
    VENC_RC_MODE_MJPEGCBR = 5,
    VENC_RC_MODE_MJPEGVBR = 6,
    VENC_RC_MODE_MJPEGFIXQP = 8,
    VENC_RC_MODE_H264CBRv2 = 13,
    VENC_RC_MODE_H264VBRv2 = 14,
};

struct VENC_ATTR_H264_CBR_S {
    HI_U32 u32Gop, u32StatTime, u32ViFrmRate, fr32TargetFrmRate, u32BitRate, u32FluctuateLevel;
};
struct VENC_ATTR_H264_VBR_S {
    HI_U32 u32Gop, u32StatTime, u32ViFrmRate, fr32TargetFrmRate, u32MaxBitRate, u32MaxQp, u32MinQp;
};
struct VENC_ATTR_H264_FIXQP_S {
    HI_U32 u32Gop, u32ViFrmRate, fr32TargetFrmRate, u32IQp, u32PQp;
};
struct VENC_ATTR_MJPEG_CBR_S {
    HI_U32 u32StatTime, u32ViFrmRate, fr32TargetFrmRate, u32BitRate, u32FluctuateLevel;
};
struct VENC_ATTR_MJPEG_VBR_S {
    HI_U32 u32StatTime, u32ViFrmRate, fr32TargetFrmRate, u32MaxBitRate, u32MaxQfactor, u32MinQfactor;
};
struct VENC_ATTR_MJPEG_FIXQP_S {
    HI_U32 u32ViFrmRate, fr32TargetFrmRate, u32Qfactor;
};

// Rate control; only the member of enRcMode is read.
struct VENC_RC_ATTR_S {
    VENC_RC_MODE_E enRcMode;
    VENC_ATTR_H264_CBR_S stAttrH264Cbr;
    VENC_ATTR_H264_VBR_S stAttrH264Vbr;
    VENC_ATTR_H264_FIXQP_S stAttrH264FixQp;
    VENC_ATTR_MJPEG_CBR_S stAttrMjpegeCbr;
    VENC_ATTR_MJPEG_VBR_S stAttrMjpegeVbr;
    VENC_ATTR_MJPEG_FIXQP_S stAttrMjpegeFixQp;
};

struct VENC_CHN_ATTR_S {
    VENC_ATTR_S stVeAttr;
    VENC_RC_ATTR_S stRcAttr;
};

struct VENC_CHN_STAT_S {
    HI_U32 u32LeftPics;
    HI_U32 u32LeftStreamBytes;
    HI_U32 u32LeftStreamFrames;
    HI_U32 u32CurPacks;
    HI_U32 u32LeftRecvPics;
    HI_U32 u32LeftEncPics;
};

// One pack of an encoded stream: up to two parts (the second one is used when
// the data wraps around the stream buffer).
struct VENC_PACK_S {
    HI_U32 u32PhyAddr[2];
    HI_U8* pu8Addr[2];
    HI_U32 u32Len[2];
    HI_U64 u64PTS;
    HI_BOOL bFieldEnd;
    HI_BOOL bFrameEnd;
};
static_assert(sizeof(void*) != 8 || sizeof(VENC_PACK_S) == 48, "a pack is 48 bytes");

struct VENC_STREAM_S {
    VENC_PACK_S* pstPack;
    HI_U32 u32PackCount;
    HI_U32 u32Seq;
};

HI_S32 HI_MPI_VENC_CreateGroup(VENC_GRP VeGroup);
HI_S32 HI_MPI_VENC_DestroyGroup(VENC_GRP VeGroup);
HI_S32 HI_MPI_VENC_CreateChn(VENC_CHN VeChn, const VENC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VENC_DestroyChn(VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_RegisterChn(VENC_GRP VeGroup, VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_UnRegisterChn(VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_SetMaxStreamCnt(VENC_CHN VeChn, HI_U32 u32MaxStrmCnt);
HI_S32 HI_MPI_VENC_StartRecvPic(VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_StopRecvPic(VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_GetChnAttr(VENC_CHN VeChn, VENC_CHN_ATTR_S* pstAttr);
// A descriptor that turns readable for select when a stream is ready; a
// negative value on failure.
HI_S32 HI_MPI_VENC_GetFd(VENC_CHN VeChn);
HI_S32 HI_MPI_VENC_Query(VENC_CHN VeChn, VENC_CHN_STAT_S* pstStat);
HI_S32 HI_MPI_VENC_GetStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream, HI_BOOL bBlockFlag);
HI_S32 HI_MPI_VENC_ReleaseStream(VENC_CHN VeChn, VENC_STREAM_S* pstStream);

// ---- H.264 decoder ----

using VDEC_CHN = HI_S32;

enum VIDEO_MODE_E : HI_S32 { VIDEO_MODE_STREAM = 0, VIDEO_MODE_FRAME = 1 };

struct VDEC_ATTR_VIDEO_S {
    HI_U32 u32RefFrameNum;
    VIDEO_MODE_E enMode;
    HI_S32 s32SupportBFrame;
};

struct VDEC_ATTR_JPEG_S {
    VIDEO_MODE_E enMode;
};

struct VDEC_CHN_ATTR_S {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32BufSize;
    HI_U32 u32Priority;
    HI_U32 u32PicWidth;
    HI_U32 u32PicHeight;
    VDEC_ATTR_VIDEO_S stVdecVideoAttr;
    VDEC_ATTR_JPEG_S stVdecJpegAttr;
};

struct VDEC_PRTCL_PARAM_H264_S {
    HI_S32 s32MaxSliceNum;
    HI_S32 s32MaxSpsNum;
    HI_S32 s32MaxPpsNum;
    HI_S32 s32SCDBufSize;
    HI_S32 s32DisplayFrameNum;
};

struct VDEC_PRTCL_PARAM_S {
    PAYLOAD_TYPE_E enType;
    VDEC_PRTCL_PARAM_H264_S stH264PrtclParam;
};

struct VDEC_STREAM_S {
    HI_U8* pu8Addr;
    HI_U32 u32Len;
    HI_U64 u64PTS;
};

struct VDEC_CHN_STAT_S {
    PAYLOAD_TYPE_E enType;
    HI_U32 u32LeftStreamBytes;
    HI_U32 u32LeftStreamFrames;
    HI_U32 u32LeftPics;
    HI_BOOL bStartRecvStream;
    HI_U32 u32RecvStreamFrames;
    HI_U32 u32DecodeStreamFrames;
};

enum HI_IO_BLOCK_E : HI_S32 { HI_IO_BLOCK = 0, HI_IO_NOBLOCK = 1 };

HI_S32 HI_MPI_VDEC_CreateChn(VDEC_CHN VdChn, const VDEC_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VDEC_DestroyChn(VDEC_CHN VdChn);
HI_S32 HI_MPI_VDEC_GetPrtclParam(VDEC_CHN VdChn, VDEC_PRTCL_PARAM_S* pstParam);
HI_S32 HI_MPI_VDEC_SetPrtclParam(VDEC_CHN VdChn, const VDEC_PRTCL_PARAM_S* pstParam);
HI_S32 HI_MPI_VDEC_StartRecvStream(VDEC_CHN VdChn);
HI_S32 HI_MPI_VDEC_StopRecvStream(VDEC_CHN VdChn);
// A blocking send fails when the decoder cannot take the data now.
HI_S32 HI_MPI_VDEC_SendStream(VDEC_CHN VdChn, const VDEC_STREAM_S* pstStream, HI_IO_BLOCK_E enBlock);
HI_S32 HI_MPI_VDEC_Query(VDEC_CHN VdChn, VDEC_CHN_STAT_S* pstStat);

// ---- overlay regions ----

using RGN_HANDLE = HI_S32;

enum RGN_TYPE_E : HI_S32 { OVERLAY_RGN = 0, COVER_RGN = 1 };

struct OVERLAY_ATTR_S {
    PIXEL_FORMAT_E enPixelFmt;
    HI_U32 u32BgColor;
    SIZE_S stSize;
};

struct RGN_ATTR_S {
    RGN_TYPE_E enType;
    OVERLAY_ATTR_S stOverlay;
};

struct OVERLAY_CHN_ATTR_S {
    POINT_S stPoint;
    HI_U32 u32FgAlpha;
    HI_U32 u32BgAlpha;
    HI_U32 u32Layer;
};

struct RGN_CHN_ATTR_S {
    HI_BOOL bShow;
    RGN_TYPE_E enType;
    OVERLAY_CHN_ATTR_S stOverlayChn;
};

struct BITMAP_S {
    PIXEL_FORMAT_E enPixelFormat;
    HI_U32 u32Width;
    HI_U32 u32Height;
    HI_VOID* pData;
};

HI_S32 HI_MPI_RGN_Create(RGN_HANDLE Handle, const RGN_ATTR_S* pstRegion);
HI_S32 HI_MPI_RGN_AttachToChn(RGN_HANDLE Handle, const MPP_CHN_S* pstChn, const RGN_CHN_ATTR_S* pstChnAttr);
HI_S32 HI_MPI_RGN_SetBitMap(RGN_HANDLE Handle, const BITMAP_S* pstBitmap);

// ---- image engine DMA ----

using IVE_HANDLE = HI_S32;

struct IVE_DATA_S {
    HI_U32 u32PhyAddr;
    HI_U32 u32Stride;
    HI_U16 u16Width;
    HI_U16 u16Height;
};
using IVE_SRC_DATA_S = IVE_DATA_S;
using IVE_DST_DATA_S = IVE_DATA_S;

// Copies a plane between two physical buffers; the handle identifies the job.
HI_S32 HI_MPI_IVE_DMA(IVE_HANDLE* pIveHandle, const IVE_SRC_DATA_S* pstSrc, const IVE_DST_DATA_S* pstDst,
                      HI_BOOL bInstant);
// With bBlock set, waits until the job has finished.
HI_S32 HI_MPI_IVE_Query(IVE_HANDLE IveHandle, HI_BOOL* pbFinish, HI_BOOL bBlock);
