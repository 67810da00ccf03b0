#include "vio/frames.h"

#include <cstdio>

#include "common/prt.h"
#include "dsp/dsp_image.h"

namespace {

void frame_copy_dma(CameraFrames& cf, const VIDEO_FRAME_INFO_S& frame, const CameraBuffer& buf) {
    IVE_DATA_S src{frame.stVFrame.u32PhyAddr[0], CAM_W, CAM_W, CAM_H};
    IVE_DATA_S dst{buf.y_phys, CAM_W, CAM_W, CAM_H};
    HI_S32 r = HI_MPI_IVE_DMA(&cf.IveHandle, &src, &dst, HI_TRUE);
    if (r != HI_SUCCESS) {
        std::printf("HI_MPI_IVE_DMA Y failed!%x\n", static_cast<unsigned>(r));
        return;
    }
    src.u32PhyAddr = frame.stVFrame.u32PhyAddr[1];
    dst.u32PhyAddr = buf.uv_phys;
    r = HI_MPI_IVE_DMA(&cf.IveHandle, &src, &dst, HI_TRUE);
    if (r != HI_SUCCESS) std::printf("HI_MPI_IVE_DMA UV failed!%x\n", static_cast<unsigned>(r));
}

// A failed fetch skips that channel's copy now and its release next pass.
void fetch(CameraFrames& cf, int first_print) {
    for (int c = 0; c < 4; ++c) {
        const HI_S32 r = HI_MPI_VI_GetFrame(CAPTURE_CHANNEL[c], &cf.frames[c]);
        cf.held[c] = r == HI_SUCCESS;
        if (c == CAM_FRONT) {
            if (r != HI_SUCCESS) std::printf("getframe failed! %x\n", static_cast<unsigned>(r));
            else std::printf("%d\n", first_print);
        }
    }
}

bool alloc_plane(HI_U32* phys, void** virt) {
    const HI_S32 r = HI_MPI_SYS_MmzAlloc_Cached(phys, virt, "camera", nullptr, CAM_W * CAM_H);
    if (r != HI_SUCCESS || !*virt) {
        prt("QX_SHOW_PIC", __LINE__, "allocate a camera buffer failed with %#x\n", static_cast<unsigned>(r));
        return false;
    }
    return true;
}

}  // namespace

bool alloc_camera_frames(CameraFrames& cf) {
    for (auto& set : cf.sets)
        for (CameraBuffer& b : set) {
            void* y = nullptr;
            void* uv = nullptr;
            if (!alloc_plane(&b.y_phys, &y) || !alloc_plane(&b.uv_phys, &uv)) return false;
            b.y = static_cast<std::uint8_t*>(y);
            b.uv = static_cast<std::uint16_t*>(uv);
        }
    return true;
}

void first_frames(CameraFrames& cf) {
    fetch(cf, 0);
    for (int c = 0; c < 4; ++c)
        if (cf.held[c]) frame_copy_dma(cf, cf.frames[c], cf.sets[0][c]);
}

const CameraBuffer* next_frames(CameraFrames& cf, std::uint16_t count) {
    HI_BOOL finished = HI_FALSE;
    HI_MPI_IVE_Query(cf.IveHandle, &finished, HI_TRUE);
    for (int c = 0; c < 4; ++c)
        if (cf.held[c]) HI_MPI_VI_ReleaseFrame(CAPTURE_CHANNEL[c], &cf.frames[c]);
    fetch(cf, count);
    const int into = cf.buffer_flag != 0 ? 0 : 1;
    cf.buffer_flag = cf.buffer_flag != 0 ? 0 : 1;
    for (int c = 0; c < 4; ++c)
        if (cf.held[c]) frame_copy_dma(cf, cf.frames[c], cf.sets[into][c]);
    return cf.sets[1 - into];
}
