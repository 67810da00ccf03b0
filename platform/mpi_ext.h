// Media operations beyond the live chain: capture teardown, processing-group
// pre-scaling, memory-zone placement and motion and occlusion detection.
#pragma once

#include "platform/mpi.h"

HI_S32 HI_MPI_VI_DisableChn(VI_CHN ViChn);
HI_S32 HI_MPI_VI_DisableDev(VI_DEV ViDev);

struct VPSS_PRESCALE_INFO_S {
    HI_BOOL bPreScale;
    SIZE_S stDestSize;
};
HI_S32 HI_MPI_VPSS_SetPreScale(VPSS_GRP VpssGrp, const VPSS_PRESCALE_INFO_S* pstPreScaleInfo);
HI_S32 HI_MPI_VPSS_GetPreScale(VPSS_GRP VpssGrp, VPSS_PRESCALE_INFO_S* pstPreScaleInfo);

// Places a channel's buffers in a memory zone: a null or empty name is the
// default zone; the board also has "ddr1".
HI_S32 HI_MPI_SYS_SetMemConf(const MPP_CHN_S* pstMppChn, const HI_CHAR* pcMmzName);
HI_S32 HI_MPI_SYS_GetMemConf(const MPP_CHN_S* pstMppChn, HI_CHAR* pcMmzName);

// ---- video detection ----

using VDA_CHN = HI_S32;
constexpr int VDA_MAX_CHN_NUM = 32;
constexpr int VDA_OD_RGN_NUM_MAX = 4;
constexpr HI_U32 VDA_MAX_WIDTH = 960, VDA_MAX_HEIGHT = 576;

enum VDA_WORK_MODE_E : HI_S32 { VDA_WORK_MODE_MD = 0, VDA_WORK_MODE_OD = 1 };
enum VDA_ALG_E : HI_S32 { VDA_ALG_BG = 0, VDA_ALG_REF = 1 };
enum VDA_MB_SIZE_E : HI_S32 { VDA_MB_8PIXEL = 0, VDA_MB_16PIXEL = 1 };
enum VDA_MB_SADBITS_E : HI_S32 { VDA_MB_SAD_8BIT = 0, VDA_MB_SAD_16BIT = 1 };
enum VDA_REF_MODE_E : HI_S32 { VDA_REF_MODE_DYNAMIC = 0, VDA_REF_MODE_STATIC = 1, VDA_REF_MODE_USER = 2 };

struct VDA_MD_ATTR_S {
    VDA_ALG_E enVdaAlg;
    VDA_MB_SIZE_E enMbSize;
    VDA_MB_SADBITS_E enMbSadBits;
    VDA_REF_MODE_E enRefMode;
    HI_U32 u32MdBufNum;
    HI_U32 u32VdaIntvl;
    HI_U32 u32BgUpSrcWgt;
    HI_U32 u32SadTh;
    HI_U32 u32ObjNumMax;
};

struct VDA_OD_RGN_ATTR_S {
    RECT_S stRect;
    HI_U32 u32SadTh;
    HI_U32 u32AreaTh;  // percent
    HI_U32 u32OccCntTh;
    HI_U32 u32UnOccCntTh;
};
struct VDA_OD_ATTR_S {
    VDA_ALG_E enVdaAlg;
    VDA_MB_SIZE_E enMbSize;
    VDA_MB_SADBITS_E enMbSadBits;
    VDA_REF_MODE_E enRefMode;
    HI_U32 u32VdaIntvl;
    HI_U32 u32BgUpSrcWgt;
    HI_U32 u32RgnNum;
    VDA_OD_RGN_ATTR_S astOdRgnAttr[VDA_OD_RGN_NUM_MAX];
};

struct VDA_CHN_ATTR_S {
    VDA_WORK_MODE_E enWorkMode;
    VDA_MD_ATTR_S stMdAttr;  // read in motion mode
    VDA_OD_ATTR_S stOdAttr;  // read in occlusion mode
    HI_U32 u32Width;
    HI_U32 u32Height;
};

struct VDA_OBJ_S {
    HI_U16 u16Left, u16Top, u16Right, u16Bottom;
};
struct VDA_MD_DATA_S {
    HI_BOOL bMbSadValid;
    HI_U32 u32MbSadStride;
    HI_U8* pAddr;  // one SAD value per macroblock
    HI_BOOL bObjValid;
    HI_U32 u32ObjNum;
    VDA_OBJ_S* pstObj;
    VDA_OBJ_S stObjBox;  // around all objects
    HI_BOOL bPelsNumValid;
    HI_U32 u32AlarmPixCnt;
};
struct VDA_OD_DATA_S {
    HI_U32 u32RgnNum;
    HI_BOOL abRgnAlarm[VDA_OD_RGN_NUM_MAX];
};
struct VDA_DATA_S {
    HI_U64 u64Pts;
    HI_U32 u32MbWidth;
    HI_U32 u32MbHeight;
    VDA_MD_DATA_S stMdData;  // motion channels
    VDA_OD_DATA_S stOdData;  // occlusion channels
};

HI_S32 HI_MPI_VDA_CreateChn(VDA_CHN VdaChn, const VDA_CHN_ATTR_S* pstAttr);
HI_S32 HI_MPI_VDA_DestroyChn(VDA_CHN VdaChn);
HI_S32 HI_MPI_VDA_StartRecvPic(VDA_CHN VdaChn);
HI_S32 HI_MPI_VDA_StopRecvPic(VDA_CHN VdaChn);
// Readable while a result waits; a blocking get waits for the next result.
HI_S32 HI_MPI_VDA_GetFd(VDA_CHN VdaChn);
HI_S32 HI_MPI_VDA_GetData(VDA_CHN VdaChn, VDA_DATA_S* pstVdaData, HI_BOOL bBlock);
HI_S32 HI_MPI_VDA_ReleaseData(VDA_CHN VdaChn, const VDA_DATA_S* pstVdaData);
HI_S32 HI_MPI_VDA_ResetOdRegion(VDA_CHN VdaChn, HI_S32 s32RgnIndex);
