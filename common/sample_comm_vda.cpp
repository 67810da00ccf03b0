// Motion and occlusion detection on a capture channel, with a thread per
// detection channel that prints the results.
#include <array>
#include <cstdio>

#include "common/prt.h"
#include "common/sample_comm_more.h"

namespace {

struct VdaWorker : SampleWorker {
    VDA_CHN VdaChn = 0;
};
std::array<VdaWorker, VDA_MAX_CHN_NUM> gs_stVda;

VdaWorker* worker(VDA_CHN chn) {
    return chn >= 0 && chn < VDA_MAX_CHN_NUM ? &gs_stVda[static_cast<std::size_t>(chn)] : nullptr;
}

HI_S32 err(const char* func, int line, HI_S32 r) {
    prt(func, line, "err(0x%x)!!!!\n", static_cast<unsigned>(r));
    return HI_FAILURE;
}

// Creates the channel, binds the capture channel to it, starts reception and
// the result thread; takes back every step already made when one fails.
HI_S32 start(VDA_CHN VdaChn, VI_CHN ViChn, const SIZE_S* pstSize, const VDA_CHN_ATTR_S& attr,
             void* (*body)(void*)) {
    VdaWorker* w = worker(VdaChn);
    if (!w || !pstSize) return HI_FAILURE;
    if (pstSize->u32Width > VDA_MAX_WIDTH || pstSize->u32Height > VDA_MAX_HEIGHT) {
        prt(__func__, __LINE__, "Picture size invaild!\n");
        return HI_FAILURE;
    }
    if (HI_S32 r = HI_MPI_VDA_CreateChn(VdaChn, &attr)) return err(__func__, __LINE__, r);
    const MPP_CHN_S src{HI_ID_VIU, 0, ViChn}, dst{HI_ID_VDA, 0, VdaChn};
    HI_S32 r = HI_MPI_SYS_Bind(&src, &dst);
    if (r == HI_SUCCESS) {
        r = HI_MPI_VDA_StartRecvPic(VdaChn);
        if (r == HI_SUCCESS) {
            w->VdaChn = VdaChn;
            if (w->start(body, w) == HI_SUCCESS) return HI_SUCCESS;
            HI_MPI_VDA_StopRecvPic(VdaChn);
        }
        HI_MPI_SYS_UnBind(&src, &dst);
    }
    HI_MPI_VDA_DestroyChn(VdaChn);
    return err(__func__, __LINE__, r ? r : HI_FAILURE);
}

HI_S32 stop(VDA_CHN VdaChn, VI_CHN ViChn) {
    VdaWorker* w = worker(VdaChn);
    if (!w) return HI_FAILURE;
    w->stop();
    if (HI_S32 r = HI_MPI_VDA_StopRecvPic(VdaChn)) return err(__func__, __LINE__, r);
    const MPP_CHN_S src{HI_ID_VIU, 0, ViChn}, dst{HI_ID_VDA, 0, VdaChn};
    if (HI_S32 r = HI_MPI_SYS_UnBind(&src, &dst)) return err(__func__, __LINE__, r);
    if (HI_S32 r = HI_MPI_VDA_DestroyChn(VdaChn)) return err(__func__, __LINE__, r);
    return HI_SUCCESS;
}

// Runs `each` on every result until the thread is stopped.
template <class Each>
void results(VdaWorker& w, Each each) {
    const HI_S32 fd = HI_MPI_VDA_GetFd(w.VdaChn);
    while (w.bStart && fd >= 0) {
        const int ready = wait_readable(fd);
        if (ready < 0) break;
        if (ready == 0) continue;
        VDA_DATA_S data{};
        // A blocking get waits for the next result; it fails once reception stops.
        if (HI_MPI_VDA_GetData(w.VdaChn, &data, HI_TRUE) != HI_SUCCESS) continue;
        each(data);
        HI_MPI_VDA_ReleaseData(w.VdaChn, &data);
    }
}

}  // namespace

HI_S32 SAMPLE_COMM_VDA_MdStart(VDA_CHN VdaChn, VI_CHN ViChn, const SIZE_S* pstSize) {
    VDA_CHN_ATTR_S attr{};
    attr.enWorkMode = VDA_WORK_MODE_MD;
    attr.u32Width = pstSize ? pstSize->u32Width : 0;
    attr.u32Height = pstSize ? pstSize->u32Height : 0;
    attr.stMdAttr = VDA_MD_ATTR_S{VDA_ALG_REF, VDA_MB_16PIXEL, VDA_MB_SAD_8BIT, VDA_REF_MODE_DYNAMIC, 8, 4, 128, 100, 128};
    return start(VdaChn, ViChn, pstSize, attr, SAMPLE_COMM_VDA_MdGetResult);
}

HI_S32 SAMPLE_COMM_VDA_OdStart(VDA_CHN VdaChn, VI_CHN ViChn, const SIZE_S* pstSize) {
    VDA_CHN_ATTR_S attr{};
    attr.enWorkMode = VDA_WORK_MODE_OD;
    attr.u32Width = pstSize ? pstSize->u32Width : 0;
    attr.u32Height = pstSize ? pstSize->u32Height : 0;
    VDA_OD_ATTR_S& od = attr.stOdAttr;
    od.enVdaAlg = VDA_ALG_REF;
    od.enMbSize = VDA_MB_16PIXEL;
    od.enMbSadBits = VDA_MB_SAD_8BIT;
    od.enRefMode = VDA_REF_MODE_DYNAMIC;
    od.u32VdaIntvl = 4;
    od.u32BgUpSrcWgt = 128;
    od.u32RgnNum = 1;
    od.astOdRgnAttr[0] = VDA_OD_RGN_ATTR_S{{0, 0, attr.u32Width, attr.u32Height}, 100, 60, 6, 2};
    return start(VdaChn, ViChn, pstSize, attr, SAMPLE_COMM_VDA_OdGetResult);
}

HI_S32 SAMPLE_COMM_VDA_MdStop(VDA_CHN VdaChn, VI_CHN ViChn) { return stop(VdaChn, ViChn); }
HI_S32 SAMPLE_COMM_VDA_OdStop(VDA_CHN VdaChn, VI_CHN ViChn) { return stop(VdaChn, ViChn); }

void* SAMPLE_COMM_VDA_MdGetResult(void* pdata) {
    results(*static_cast<VdaWorker*>(pdata), [](const VDA_DATA_S& d) {
        SAMPLE_COMM_VDA_MdPrtAp(stdout, &d);
        SAMPLE_COMM_VDA_MdPrtObj(stdout, &d);
    });
    return nullptr;
}

void* SAMPLE_COMM_VDA_OdGetResult(void* pdata) {
    auto* w = static_cast<VdaWorker*>(pdata);
    results(*w, [w](const VDA_DATA_S& d) {
        for (HI_U32 i = 0; i < d.stOdData.u32RgnNum && i < VDA_OD_RGN_NUM_MAX; ++i) {
            if (d.stOdData.abRgnAlarm[i] != HI_TRUE) continue;
            std::printf("################VdaChn--%d,Rgn--%d,Occ!\n", w->VdaChn, i);
            if (HI_S32 r = HI_MPI_VDA_ResetOdRegion(w->VdaChn, static_cast<HI_S32>(i)))
                prt(__func__, __LINE__, "HI_MPI_VDA_ResetOdRegion failed with %#x!\n", static_cast<unsigned>(r));
        }
    });
    return nullptr;
}

HI_S32 SAMPLE_COMM_VDA_MdPrtAp(std::FILE* fp, const VDA_DATA_S* pstVdaData) {
    if (!fp || !pstVdaData || pstVdaData->stMdData.bPelsNumValid != HI_TRUE) return HI_FAILURE;
    std::fprintf(fp, "===== %s =====\n", __FUNCTION__);
    std::fprintf(fp, "AlarmPixelCount=%u\n", pstVdaData->stMdData.u32AlarmPixCnt);
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VDA_MdPrtObj(std::FILE* fp, const VDA_DATA_S* pstVdaData) {
    if (!fp || !pstVdaData || pstVdaData->stMdData.bObjValid != HI_TRUE) return HI_FAILURE;
    const VDA_MD_DATA_S& m = pstVdaData->stMdData;
    std::fprintf(fp, "===== %s =====\n", __FUNCTION__);
    std::fprintf(fp, "ObjNum=%u\n", m.u32ObjNum);
    for (HI_U32 i = 0; i < m.u32ObjNum; ++i) {
        const VDA_OBJ_S& o = m.pstObj[i];
        std::fprintf(fp, "[%u]\t left=%d, top=%d, right=%d, bottom=%d\n", i, o.u16Left, o.u16Top, o.u16Right,
                     o.u16Bottom);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VDA_MdPrtSad(std::FILE* fp, const VDA_DATA_S* pstVdaData) {
    if (!fp || !pstVdaData || pstVdaData->stMdData.bMbSadValid != HI_TRUE) return HI_FAILURE;
    const VDA_MD_DATA_S& m = pstVdaData->stMdData;
    std::fprintf(fp, "===== %s =====\n", __FUNCTION__);
    for (HI_U32 y = 0; y < pstVdaData->u32MbHeight; ++y) {
        for (HI_U32 x = 0; x < pstVdaData->u32MbWidth; ++x) std::fprintf(fp, "%-2d ", m.pAddr[y * m.u32MbSadStride + x]);
        std::fprintf(fp, "\n");
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VDA_OdPrt(std::FILE* fp, const VDA_DATA_S* pstVdaData) {
    if (!fp || !pstVdaData) return HI_FAILURE;
    std::fprintf(fp, "===== %s =====\n", __FUNCTION__);
    for (HI_U32 i = 0; i < pstVdaData->stOdData.u32RgnNum && i < VDA_OD_RGN_NUM_MAX; ++i)
        std::fprintf(fp, "[%u]\t %s\n", i, pstVdaData->stOdData.abRgnAlarm[i] == HI_TRUE ? "occluded" : "clear");
    return HI_SUCCESS;
}
