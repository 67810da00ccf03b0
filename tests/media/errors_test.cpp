// Result codes: their layout per module, "not ready" before the system is up,
// and injected failures.
#include "tests/media/media_board.h"

namespace {

using ErrorCodes = MediaBoard;

TEST_F(ErrorCodes, BadIdsGiveModuleAndErrorNumber) {
    bring_up();
    VIDEO_FRAME_INFO_S frame{};
    EXPECT_EQ(HI_MPI_VI_GetFrame(8, &frame), code(0xA0108002));
    EXPECT_EQ(HI_MPI_VI_EnableDev(2), code(0xA0108001));
    EXPECT_EQ(HI_MPI_VO_Enable(3), code(0xA00F8001));
    EXPECT_EQ(HI_MPI_VPSS_StartGrp(32), code(0xA0088001));
    EXPECT_EQ(HI_MPI_VENC_GetChnAttr(0, nullptr), code(0xA0078006));
    EXPECT_EQ(HI_MPI_VDEC_DestroyChn(64), code(0xA0058002));
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(0, nullptr), code(0xA0128006));
    HI_BOOL done = HI_FALSE;
    EXPECT_EQ(HI_MPI_IVE_Query(0, &done, HI_TRUE), code(0xA01D8003));
}

TEST_F(ErrorCodes, PipelineCallsBeforeSystemInitAreNotReady) {
    const VI_CHN_ATTR_S vi = capture_attr();
    EXPECT_EQ(HI_MPI_VI_SetChnAttr(0, &vi), code(0xA0108010));
    VPSS_GRP_ATTR_S grp{1280, 720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, HI_FALSE, HI_FALSE, HI_TRUE, HI_TRUE, HI_TRUE, 1};
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(0, &grp), code(0xA0088010));
    EXPECT_EQ(HI_MPI_VO_Disable(0), code(0xA00F8010));
    EXPECT_EQ(HI_MPI_VENC_CreateGroup(0), code(0xA0078010));

    bring_up();
    EXPECT_EQ(HI_MPI_VENC_CreateGroup(0), 0);
    // After the system exits everything is gone and not ready again.
    EXPECT_EQ(HI_MPI_SYS_Exit(), 0);
    EXPECT_EQ(HI_MPI_VENC_CreateGroup(0), code(0xA0078010));
    EXPECT_EQ(HI_MPI_VB_Exit(), 0);
    bring_up();
    EXPECT_EQ(HI_MPI_VENC_CreateGroup(0), 0);
}

TEST_F(ErrorCodes, InjectedFailureReturnsTheGivenCodeOnce) {
    bring_up();
    start_capture({0});
    host::inject_failure("HI_MPI_VI_GetFrame", 1, 0xA0108123u);
    VIDEO_FRAME_INFO_S frame{};
    EXPECT_EQ(HI_MPI_VI_GetFrame(0, &frame), code(0xA0108123));
    EXPECT_EQ(HI_MPI_VI_GetFrame(0, &frame), 0);
    EXPECT_EQ(host::board_log_lines("fault").size(), 1u);
}

TEST_F(ErrorCodes, InjectedFailureWithoutCodeFitsTheModule) {
    host::inject_failure("HI_MPI_SYS_MmzAlloc", 2);
    HI_U32 phys = 0;
    void* virt = nullptr;
    EXPECT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 64), code(0xA002800C));
    EXPECT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 64), code(0xA002800C));
    EXPECT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 64), 0);

    bring_up();
    host::inject_failure("HI_MPI_VO_Enable");
    const auto r = static_cast<std::uint32_t>(HI_MPI_VO_Enable(0));
    EXPECT_EQ(r & 0xFFFFF000u, 0xA00F8000u);
    EXPECT_NE(r & 0xFFFu, 0u);
}

}  // namespace
