// Buffer pools, the media system and picture sizes.
#include <cstdio>

#include "common/prt.h"
#include "common/sample_comm.h"

HI_S32 SAMPLE_COMM_SYS_GetPicSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, SIZE_S* pstSize) {
    const bool pal = enNorm == VIDEO_ENCODING_MODE_PAL;
    switch (enPicSize) {
    case PIC_QCIF: *pstSize = {176, pal ? 144u : 120u}; break;
    case PIC_CIF: *pstSize = {352, pal ? 288u : 240u}; break;
    case PIC_2CIF: *pstSize = {352, pal ? 576u : 480u}; break;
    case PIC_D1: *pstSize = {704, pal ? 576u : 480u}; break;
    case PIC_960H: *pstSize = {960, pal ? 576u : 480u}; break;
    case PIC_QVGA: *pstSize = {320, 240}; break;
    case PIC_VGA: *pstSize = {640, 480}; break;
    case PIC_XGA: *pstSize = {1024, 768}; break;
    case PIC_SXGA: *pstSize = {1400, 1050}; break;
    case PIC_UXGA: *pstSize = {1600, 1200}; break;
    case PIC_QXGA: *pstSize = {2048, 1536}; break;
    case PIC_WVGA: *pstSize = {854, 480}; break;
    case PIC_WSXGA: *pstSize = {1680, 1050}; break;
    case PIC_WUXGA: *pstSize = {1920, 1200}; break;
    case PIC_WQXGA: *pstSize = {2560, 1600}; break;
    case PIC_HD720: *pstSize = {1280, 720}; break;
    case PIC_HD1080: *pstSize = {1920, 1080}; break;
    default: return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_U32 SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_NORM_E enNorm, PIC_SIZE_E enPicSize, PIXEL_FORMAT_E enPixFmt,
                                        HI_U32 u32AlignWidth) {
    SIZE_S size{};
    if (SAMPLE_COMM_SYS_GetPicSize(enNorm, enPicSize, &size) != HI_SUCCESS) {
        prt(__func__, __LINE__, "get picture size[%d] failed!\n", enPicSize);
        return static_cast<HI_U32>(HI_FAILURE);
    }
    if (enPicSize == PIC_CIF || enPicSize == PIC_2CIF) {
        if (enPixFmt != PIXEL_FORMAT_YUV_SEMIPLANAR_422 && enPixFmt != PIXEL_FORMAT_YUV_SEMIPLANAR_420) {
            prt(__func__, __LINE__, "pixel format[%d] input failed!\n", enPixFmt);
            return static_cast<HI_U32>(HI_FAILURE);
        }
    }
    if (u32AlignWidth != 16 && u32AlignWidth != 32 && u32AlignWidth != 64) {
        prt(__func__, __LINE__, "system align width[%d] input failed!\n", u32AlignWidth);
        return static_cast<HI_U32>(HI_FAILURE);
    }
    const HI_U32 width = size.u32Width == 704 ? 720 : size.u32Width;
    std::printf("w:%d, u32AlignWidth:%d\n", width, u32AlignWidth);
    const HI_U32 w = (width + u32AlignWidth - 1) / u32AlignWidth * u32AlignWidth;
    const HI_U32 h = (size.u32Height + u32AlignWidth - 1) / u32AlignWidth * u32AlignWidth;
    return enPixFmt == PIXEL_FORMAT_YUV_SEMIPLANAR_422 ? w * h * 2 : w * h * 3 / 2;
}

HI_S32 SAMPLE_COMM_SYS_Init(const VB_CONF_S* pstVbConf) {
    if (!pstVbConf) {
        prt(__func__, __LINE__, "input parameter is null, it is invaild!\n");
        return HI_FAILURE;
    }
    HI_MPI_SYS_Exit();
    HI_MPI_VB_Exit();
    if (HI_MPI_VB_SetConf(pstVbConf) != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VB_SetConf failed!\n");
        return HI_FAILURE;
    }
    if (HI_MPI_VB_Init() != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VB_Init failed!\n");
        return HI_FAILURE;
    }
    const MPP_SYS_CONF_S conf{SAMPLE_SYS_ALIGN_WIDTH};
    if (HI_MPI_SYS_SetConf(&conf) != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_SYS_SetConf failed\n");
        return HI_FAILURE;
    }
    if (HI_MPI_SYS_Init() != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_SYS_Init failed!\n");
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_VOID SAMPLE_COMM_SYS_Exit() {
    HI_MPI_SYS_Exit();
    HI_MPI_VB_Exit();
}
