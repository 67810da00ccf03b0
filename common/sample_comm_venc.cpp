// The H.264 encoders, one per camera, fed by the processing groups.
#include <cstdio>

#include "common/prt.h"
#include "common/sample_comm.h"

namespace {

// Bit rates by picture size: the constant rate and the maximum of a variable rate.
HI_U32 h264_bitrate(PIC_SIZE_E size, VENC_CHN chn, bool maximum) {
    switch (size) {
    case PIC_QCIF: return maximum ? 768 : 256;
    case PIC_CIF:
    case PIC_QVGA: return maximum ? 1536 : 512;
    case PIC_D1:
    case PIC_VGA: return maximum ? 2048 : 1024;
    case PIC_HD720: return chn <= 1 ? (maximum ? 1280 : 1228) : 1536;
    case PIC_HD1080: return 6144;
    default: return maximum ? 12288 : 4096;
    }
}

HI_U32 mjpeg_bitrate(PIC_SIZE_E size, bool maximum) {
    switch (size) {
    case PIC_QCIF: return maximum ? 768 : 1152;
    case PIC_CIF:
    case PIC_QVGA: return maximum ? 1536 : 2304;
    case PIC_D1:
    case PIC_VGA: return maximum ? 6144 : 9216;
    case PIC_HD720: return maximum ? 9216 : 15360;
    case PIC_HD1080: return maximum ? 18432 : 30720;
    default: return maximum ? 12288 : 21504;
    }
}

}  // namespace

HI_S32 SAMPLE_COMM_VENC_Start(VENC_GRP VencGrp, VENC_CHN VencChn, PAYLOAD_TYPE_E enType, VIDEO_NORM_E enNorm,
                              PIC_SIZE_E enSize, SAMPLE_RC_E enRcMode) {
    SIZE_S pic{};
    if (SAMPLE_COMM_SYS_GetPicSize(enNorm, enSize, &pic) != HI_SUCCESS) {
        prt(__func__, __LINE__, "Get picture size failed!\n");
        return HI_FAILURE;
    }
    HI_S32 r = HI_MPI_VENC_CreateGroup(VencGrp);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VENC_CreateGroup[%d] failed with %#x!\n", VencGrp, static_cast<unsigned>(r));
        return r;
    }
    const HI_U32 rate = enNorm == VIDEO_ENCODING_MODE_PAL ? 25 : 30;
    VENC_CHN_ATTR_S attr{};
    attr.stVeAttr.enType = enType;
    switch (enType) {
    case PT_H264: {
        VENC_ATTR_H264_S& h = attr.stVeAttr.stAttrH264e;
        h.u32MaxPicWidth = h.u32PicWidth = pic.u32Width;
        h.u32MaxPicHeight = h.u32PicHeight = pic.u32Height;
        h.u32BufSize = pic.u32Width * pic.u32Height * 10;
        h.u32Profile = 1;
        h.bByFrame = HI_TRUE;
        h.bField = HI_FALSE;
        h.bMainStream = HI_TRUE;
        h.u32Priority = 0;
        h.bVIField = HI_FALSE;
        VENC_RC_ATTR_S& rc = attr.stRcAttr;
        if (enRcMode == SAMPLE_RC_CBR) {
            rc.enRcMode = VENC_RC_MODE_H264CBRv2;
            rc.stAttrH264Cbr = {12, 1, 12, 12, h264_bitrate(enSize, VencChn, false), 0};
        } else if (enRcMode == SAMPLE_RC_VBR) {
            rc.enRcMode = VENC_RC_MODE_H264VBRv2;
            rc.stAttrH264Vbr = {12, 1, 12, 12, h264_bitrate(enSize, VencChn, true), 40, 10};
        } else if (enRcMode == SAMPLE_RC_FIXQP) {
            rc.enRcMode = VENC_RC_MODE_H264FIXQP;
            rc.stAttrH264FixQp = {rate, rate, rate, 20, 23};
        } else {
            return HI_FAILURE;
        }
        break;
    }
    case PT_MJPEG: {
        VENC_ATTR_MJPEG_S& m = attr.stVeAttr.stAttrMjpeg;
        m.u32MaxPicWidth = m.u32PicWidth = pic.u32Width;
        m.u32MaxPicHeight = m.u32PicHeight = pic.u32Height;
        m.u32BufSize = pic.u32Width * pic.u32Height * 2;
        m.bByFrame = HI_TRUE;
        m.bMainStream = HI_TRUE;
        VENC_RC_ATTR_S& rc = attr.stRcAttr;
        if (enRcMode == SAMPLE_RC_CBR) {
            rc.enRcMode = VENC_RC_MODE_MJPEGCBR;
            rc.stAttrMjpegeCbr = {1, rate, rate, mjpeg_bitrate(enSize, false), 0};
        } else if (enRcMode == SAMPLE_RC_VBR) {
            rc.enRcMode = VENC_RC_MODE_MJPEGVBR;
            rc.stAttrMjpegeVbr = {1, rate, 5, mjpeg_bitrate(enSize, true), 95, 50};
        } else if (enRcMode == SAMPLE_RC_FIXQP) {
            rc.enRcMode = VENC_RC_MODE_MJPEGFIXQP;
            rc.stAttrMjpegeFixQp = {rate, rate, 90};
        } else {
            std::printf("cann't support other mode in this version!\n");
            return HI_FAILURE;
        }
        break;
    }
    case PT_JPEG:
        break;
    default:
        return hi_err(HI_ID_VENC, EN_ERR_NOT_SUPPORT);
    }
    r = HI_MPI_VENC_CreateChn(VencChn, &attr);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "HI_MPI_VENC_CreateChn [%d] faild with %#x!\n", VencChn, static_cast<unsigned>(r));
        return r;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_BindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    const MPP_CHN_S src{HI_ID_VPSS, VpssGrp, VpssChn};
    const MPP_CHN_S dst{HI_ID_GROUP, GrpChn, 0};
    const HI_S32 r = HI_MPI_SYS_Bind(&src, &dst);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VENC_UnBindVpss(VENC_GRP GrpChn, VPSS_GRP VpssGrp, VPSS_CHN VpssChn) {
    const MPP_CHN_S src{HI_ID_VPSS, VpssGrp, VpssChn};
    const MPP_CHN_S dst{HI_ID_GROUP, GrpChn, 0};
    const HI_S32 r = HI_MPI_SYS_UnBind(&src, &dst);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}
