// Decoder channels: creation, protocol parameters and taking streams.
#include "tests/media/media_board.h"

namespace {

using Decoder = MediaBoard;

VDEC_CHN_ATTR_S playback() {
    VDEC_CHN_ATTR_S a{};
    a.enType = PT_H264;
    a.u32BufSize = 1280 * 720;
    a.u32Priority = 1;
    a.u32PicWidth = 1280;
    a.u32PicHeight = 720;
    a.stVdecVideoAttr = VDEC_ATTR_VIDEO_S{2, VIDEO_MODE_FRAME, 0};
    return a;
}

TEST_F(Decoder, PlaybackChannelTakesStreamsWhileReceiving) {
    bring_up();
    const VDEC_CHN_ATTR_S a = playback();
    ASSERT_EQ(HI_MPI_VDEC_CreateChn(32, &a), 0);
    VDEC_PRTCL_PARAM_S p{};
    ASSERT_EQ(HI_MPI_VDEC_GetPrtclParam(32, &p), 0);
    EXPECT_EQ(p.enType, PT_H264);
    p.stH264PrtclParam.s32MaxSliceNum = 100;
    p.stH264PrtclParam.s32MaxSpsNum = 21;
    p.stH264PrtclParam.s32MaxPpsNum = 22;
    ASSERT_EQ(HI_MPI_VDEC_SetPrtclParam(32, &p), 0);
    VDEC_PRTCL_PARAM_S back{};
    ASSERT_EQ(HI_MPI_VDEC_GetPrtclParam(32, &back), 0);
    EXPECT_EQ(back.stH264PrtclParam.s32MaxSliceNum, 100);
    EXPECT_EQ(back.stH264PrtclParam.s32MaxSpsNum, 21);
    EXPECT_EQ(back.stH264PrtclParam.s32MaxPpsNum, 22);

    std::uint8_t bytes[64] = {0, 0, 0, 1, 0x65};
    VDEC_STREAM_S s{bytes, sizeof bytes, 25000};
    EXPECT_EQ(HI_MPI_VDEC_SendStream(32, &s, HI_IO_BLOCK), code(0xA0058009));  // not receiving yet
    ASSERT_EQ(HI_MPI_VDEC_StartRecvStream(32), 0);
    EXPECT_EQ(HI_MPI_VDEC_SendStream(32, &s, HI_IO_BLOCK), 0);
    VDEC_STREAM_S empty{bytes, 0, 0}, nowhere{nullptr, 10, 0};
    EXPECT_EQ(HI_MPI_VDEC_SendStream(32, &empty, HI_IO_BLOCK), code(0xA0058003));
    EXPECT_EQ(HI_MPI_VDEC_SendStream(32, &nowhere, HI_IO_BLOCK), code(0xA0058003));

    // The decoder takes what was sent (an incomplete picture it keeps for the rest).
    VDEC_CHN_STAT_S stat{};
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(HI_MPI_VDEC_Query(32, &stat), 0);
        if (stat.u32LeftStreamBytes == 0) break;
        host::board_sleep(0.01);
    }
    EXPECT_EQ(stat.bStartRecvStream, HI_TRUE);
    EXPECT_EQ(stat.u32LeftStreamBytes, 0u);
    EXPECT_EQ(stat.u32LeftPics, 0u);
    EXPECT_EQ(stat.u32RecvStreamFrames, 1u);

    EXPECT_EQ(HI_MPI_VDEC_DestroyChn(32), code(0xA0058009));  // stop first
    ASSERT_EQ(HI_MPI_VDEC_StopRecvStream(32), 0);
    ASSERT_EQ(HI_MPI_VDEC_DestroyChn(32), 0);
    EXPECT_EQ(HI_MPI_VDEC_Query(32, &stat), code(0xA0058005));
}

TEST_F(Decoder, CreationIsChecked) {
    bring_up();
    VDEC_CHN_ATTR_S a = playback();
    a.enType = PT_MP4VIDEO;
    EXPECT_NE(HI_MPI_VDEC_CreateChn(0, &a), 0);
    a = playback();
    a.u32PicWidth = 0;
    EXPECT_EQ(HI_MPI_VDEC_CreateChn(0, &a), code(0xA0058003));
    a = playback();
    ASSERT_EQ(HI_MPI_VDEC_CreateChn(0, &a), 0);
    EXPECT_EQ(HI_MPI_VDEC_CreateChn(0, &a), code(0xA0058004));
}

}  // namespace
