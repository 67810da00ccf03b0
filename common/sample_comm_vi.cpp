// Capture of the cameras through the analogue-HD video decoder.
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>

#include "common/prt.h"
#include "common/sample_comm.h"
#include "common/sample_comm_more.h"
#include "platform/devices.h"

namespace {

// 720p, two channels multiplexed on one port.
const VI_DEV_ATTR_S DEV_ATTR_6114_720P_2MUX_BASE = {
    VI_MODE_BT656, VI_WORK_MODE_2Multiplex, {0xFF000000, 0x0}, VI_SCAN_PROGRESSIVE, {-1, -1, -1, -1}, 3,
    {0, 0, 0, 0, 1, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, HI_FALSE,
};

// D1 or 960H, four channels multiplexed, interlaced.
const VI_DEV_ATTR_S DEV_ATTR_BT656D1_4MUX = {
    VI_MODE_BT656, VI_WORK_MODE_4Multiplex, {0xFF000000, 0x0}, VI_SCAN_INTERLACED, {-1, -1, -1, -1}, 3,
    {0, 0, 0, 0, 1, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, HI_FALSE,
};

// The decoder's descriptor stays open for the life of the process.
int g_nvp_fd = -1;

}  // namespace

HI_S32 SAMPLE_COMM_VI_SetMask(VI_DEV ViDev, VI_DEV_ATTR_S* pstDevAttr) {
    static constexpr HI_U32 masks[4] = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    VI_DEV_ATTR_S& attr = *pstDevAttr;
    attr.au32CompMask[0] = masks[ViDev % 4];
    if (attr.enIntfMode == 3) attr.au32CompMask[1] = ViDev == 0 ? 0x00FF0000 : ViDev == 2 ? 0x000000FF : attr.au32CompMask[1];
    if (attr.enIntfMode == 4) attr.au32CompMask[1] = 0;
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VI_ADStart(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E) {
    switch (enViMode) {
    case SAMPLE_VI_MODE_8_720P:
    case SAMPLE_VI_MODE_16_960H: {
        if (g_nvp_fd < 0) g_nvp_fd = dev_open("/dev/nvp6114", O_RDWR);
        if (g_nvp_fd < 0) {
            std::printf("open nvp6114 (%s) fail\n", "/dev/nvp6114");
            return HI_FAILURE;
        }
        nvp6114_video_mode mode{1, 3};
        dev_ioctl(g_nvp_fd, NVP6114_SET_VIDEO_MODE, &mode);
        return HI_SUCCESS;
    }
    case SAMPLE_VI_MODE_16_D1:
        return HI_SUCCESS;
    default:
        prt(__func__, __LINE__, "AD not support!\n");
        return HI_FAILURE;
    }
}

HI_S32 SAMPLE_COMM_VI_StartDev(VI_DEV ViDev, SAMPLE_VI_MODE_E enViMode) {
    VI_DEV_ATTR_S attr;
    switch (enViMode) {
    case SAMPLE_VI_MODE_16_D1:
    case SAMPLE_VI_MODE_16_960H: attr = DEV_ATTR_BT656D1_4MUX; break;
    case SAMPLE_VI_MODE_8_720P: attr = DEV_ATTR_6114_720P_2MUX_BASE; break;
    default:
        prt(__func__, __LINE__, "vi input type[%d] is invalid!\n", enViMode);
        return HI_FAILURE;
    }
    SAMPLE_COMM_VI_SetMask(ViDev, &attr);
    HI_S32 r = HI_MPI_VI_SetDevAttr(ViDev, &attr);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VI_SetDevAttr failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    r = HI_MPI_VI_EnableDev(ViDev);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VI_EnableDev failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VI_StartChn(VI_CHN ViChn, const RECT_S* pstCapRect, const SIZE_S* pstTarSize,
                               SAMPLE_VI_MODE_E enViMode) {
    if (enViMode != SAMPLE_VI_MODE_4_720P && enViMode != SAMPLE_VI_MODE_8_720P) {
        prt(__func__, __LINE__, "ViMode invaild!\n");
        return HI_FAILURE;
    }
    VI_CHN_ATTR_S attr{};
    attr.stCapRect = *pstCapRect;
    attr.stDestSize = *pstTarSize;
    attr.enCapSel = VI_CAPSEL_BOTH;
    attr.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    attr.bMirror = HI_FALSE;
    attr.bFlip = HI_FALSE;
    attr.bChromaResample = HI_FALSE;
    attr.s32SrcFrameRate = 25;
    attr.s32FrameRate = 12;
    HI_S32 r = HI_MPI_VI_SetChnAttr(ViChn, &attr);
    if (r == HI_SUCCESS) r = HI_MPI_VI_EnableChn(ViChn);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "vi channel %d failed with %#x!\n", ViChn, static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VI_Start(SAMPLE_VI_MODE_E enViMode, VIDEO_NORM_E enNorm) {
    if (enViMode == SAMPLE_VI_MODE_16_D1 || enViMode == SAMPLE_VI_MODE_16_960H) {
        // Sixteen D1 or 960H channels on four devices.
        SIZE_S size{enViMode == SAMPLE_VI_MODE_16_D1 ? 704u : 960u,
                    enNorm == VIDEO_ENCODING_MODE_PAL ? 576u : 480u};
        if (SAMPLE_COMM_VI_ADStart(enViMode, enNorm) != HI_SUCCESS) return HI_FAILURE;
        for (VI_DEV d = 0; d < 4; ++d)
            if (SAMPLE_COMM_VI_StartDev(d, enViMode) != HI_SUCCESS) return HI_FAILURE;
        const RECT_S rect{0, 0, size.u32Width, size.u32Height};
        for (VI_CHN c = 0; c < 16; ++c)
            if (SAMPLE_COMM_VI_StartChn(c, &rect, &size, enViMode) != HI_SUCCESS) return HI_FAILURE;
        return HI_SUCCESS;
    }
    if (enViMode == SAMPLE_VI_MODE_4_720P) {
        prt(__func__, __LINE__, "vi mode invaild!\n");
        prt(__func__, __LINE__, "vi get size failed!\n");
        return HI_FAILURE;
    }
    if (enViMode != SAMPLE_VI_MODE_8_720P) {
        prt(__func__, __LINE__, "ViMode invaild!\n");
        prt(__func__, __LINE__, "vi get param failed!\n");
        return HI_FAILURE;
    }
    if (SAMPLE_COMM_VI_ADStart(enViMode, enNorm) != HI_SUCCESS) return HI_FAILURE;
    for (VI_DEV d = 0; d < 2; ++d)
        if (SAMPLE_COMM_VI_StartDev(d, enViMode) != HI_SUCCESS) return HI_FAILURE;
    const RECT_S rect{0, 0, 1280, 720};
    const SIZE_S size{1280, 720};
    for (VI_CHN c : {0, 1, 4, 5}) {
        if (SAMPLE_COMM_VI_StartChn(c, &rect, &size, enViMode) != HI_SUCCESS) {
            std::printf("call SAMPLE_COMM_VI_StarChn failed with %d\n", c);
            return HI_FAILURE;
        }
        std::printf("call SAMPLE_COMM_VI_StarChn ok with %d\n", c);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VI_BindVpss(SAMPLE_VI_MODE_E enViMode) {
    if (enViMode != SAMPLE_VI_MODE_16_D1 && enViMode != SAMPLE_VI_MODE_16_960H && enViMode != SAMPLE_VI_MODE_4_720P &&
        enViMode != SAMPLE_VI_MODE_8_720P) {
        prt(__func__, __LINE__, "SAMPLE_COMM_VI_Mode2Param failed!\n");
        return HI_FAILURE;
    }
    VPSS_GRP grp = 0;
    for (VI_CHN c : {0, 1, 4, 5}) {
        const MPP_CHN_S src{HI_ID_VIU, 0, c};
        const MPP_CHN_S dst{HI_ID_VPSS, grp++, 0};
        if (HI_MPI_SYS_Bind(&src, &dst) != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_SYS_Bind failed!\n");
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VPSS_Start(HI_S32 s32GrpCnt, const SIZE_S* pstSize, HI_S32, const VPSS_GRP_ATTR_S* pstVpssGrpAttr) {
    VPSS_GRP_ATTR_S attr{};
    if (pstVpssGrpAttr) {
        attr = *pstVpssGrpAttr;
    } else {
        attr.u32MaxW = pstSize->u32Width;
        attr.u32MaxH = pstSize->u32Height;
        attr.enPixFmt = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
        attr.bIeEn = HI_TRUE;
        attr.bNrEn = HI_TRUE;
        attr.enDieMode = 0;
    }
    for (VPSS_GRP g = 0; g < s32GrpCnt; ++g) {
        HI_S32 r = HI_MPI_VPSS_CreateGrp(g, &attr);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_VPSS_CreateGrp failed with %#x!\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        VPSS_GRP_PARAM_S param{};
        r = HI_MPI_VPSS_GetGrpParam(g, &param);
        if (r == HI_SUCCESS) {
            param.u32MotionThresh = 0;
            r = HI_MPI_VPSS_SetGrpParam(g, &param);
        }
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        VPSS_CHN_ATTR_S chn{};
        chn.bSpEn = HI_FALSE;
        chn.bFrameEn = HI_FALSE;
        for (int i = 0; i < 4; ++i) chn.stFrame.u32Width[i] = 2, chn.stFrame.u32Color[i] = 0xFF00;
        r = HI_MPI_VPSS_SetChnAttr(g, 0, &chn);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_VPSS_SetChnAttr failed with %#x\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        r = HI_MPI_VPSS_EnableChn(g, 0);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_VPSS_EnableChn failed with %#x\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        r = HI_MPI_VPSS_StartGrp(g);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "HI_MPI_VPSS_StartGrp failed with %#x\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}
