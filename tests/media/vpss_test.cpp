// Processing groups: creation checks, parameters kept, and the stop-before-
// destroy rule.
#include "tests/media/media_board.h"

namespace {

using Processing = MediaBoard;

VPSS_GRP_ATTR_S live_group() {
    return VPSS_GRP_ATTR_S{1280, 720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, HI_FALSE, HI_FALSE, HI_TRUE, HI_TRUE, HI_TRUE, 1};
}

TEST_F(Processing, GroupLifecycle) {
    bring_up();
    const VPSS_GRP_ATTR_S a = live_group();
    ASSERT_EQ(HI_MPI_VPSS_CreateGrp(4, &a), 0);
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(4, &a), code(0xA0088004));
    EXPECT_EQ(HI_MPI_VPSS_StartGrp(5), code(0xA0088005));

    VPSS_GRP_PARAM_S p{};
    ASSERT_EQ(HI_MPI_VPSS_GetGrpParam(4, &p), 0);
    EXPECT_NE(p.u32MotionThresh, 0u);
    p.u32MotionThresh = 0;
    ASSERT_EQ(HI_MPI_VPSS_SetGrpParam(4, &p), 0);
    VPSS_GRP_PARAM_S back{};
    ASSERT_EQ(HI_MPI_VPSS_GetGrpParam(4, &back), 0);
    EXPECT_EQ(back.u32MotionThresh, 0u);
    EXPECT_EQ(back.u32Contrast, p.u32Contrast);

    const VPSS_CHN_ATTR_S chn{HI_FALSE, HI_FALSE, VPSS_FRAME_S{{2, 2, 2, 2}, {0xFF00, 0xFF00, 0xFF00, 0xFF00}}};
    ASSERT_EQ(HI_MPI_VPSS_SetChnAttr(4, 2, &chn), 0);
    EXPECT_EQ(HI_MPI_VPSS_SetChnAttr(4, 4, &chn), code(0xA0088002));
    ASSERT_EQ(HI_MPI_VPSS_EnableChn(4, 2), 0);
    ASSERT_EQ(HI_MPI_VPSS_StartGrp(4), 0);
    EXPECT_EQ(HI_MPI_VPSS_DestroyGrp(4), code(0xA0088009));  // still running
    ASSERT_EQ(HI_MPI_VPSS_StopGrp(4), 0);
    ASSERT_EQ(HI_MPI_VPSS_DisableChn(4, 2), 0);
    ASSERT_EQ(HI_MPI_VPSS_DestroyGrp(4), 0);
    EXPECT_EQ(HI_MPI_VPSS_DestroyGrp(4), code(0xA0088005));
}

TEST_F(Processing, GroupAttributesAreChecked) {
    bring_up();
    VPSS_GRP_ATTR_S a = live_group();
    a.u32MaxW = 0;
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(0, &a), code(0xA0088003));
    a = live_group();
    a.u32MaxH = 2000;
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(0, &a), code(0xA0088003));
    a = live_group();
    a.enPixFmt = PIXEL_FORMAT_RGB_8888;
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(0, &a), code(0xA0088003));
    EXPECT_EQ(HI_MPI_VPSS_CreateGrp(0, nullptr), code(0xA0088006));
}

}  // namespace
