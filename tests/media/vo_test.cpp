// Video outputs: start and restart order, rectangles against the timing, and
// what the panel sees of device 0.
#include <algorithm>

#include "host/internal.h"
#include "tests/media/media_board.h"

namespace {

using VideoOutput = MediaBoard;

// The panel timing of board code 3: 1440 x 540 active.
VO_PUB_ATTR_S hd_timing() {
    VO_PUB_ATTR_S p{};
    p.u32BgColor = 0x102030;
    p.enIntfType = VO_INTF_LCD;
    p.enIntfSync = VO_OUTPUT_USER;
    p.stSyncInfo.bSynm = HI_TRUE;
    p.stSyncInfo.bIop = HI_TRUE;
    p.stSyncInfo.u8Intfb = 2;
    p.stSyncInfo.u16Vact = 540;
    p.stSyncInfo.u16Vbb = 15;
    p.stSyncInfo.u16Vfb = 15;
    p.stSyncInfo.u16Hact = 1440;
    p.stSyncInfo.u16Hbb = 190;
    p.stSyncInfo.u16Hfb = 140;
    return p;
}

VO_VIDEO_LAYER_ATTR_S layer(HI_U32 w, HI_U32 h) {
    return VO_VIDEO_LAYER_ATTR_S{RECT_S{0, 0, w, h}, SIZE_S{w, h}, 25, PIXEL_FORMAT_YUV_SEMIPLANAR_420};
}

TEST_F(VideoOutput, StoppingWhatNeverRanSucceeds) {
    bring_up();
    EXPECT_EQ(HI_MPI_VO_DisableWbc(0), 0);
    EXPECT_EQ(HI_MPI_VO_DisableVideoLayer(0), 0);
    EXPECT_EQ(HI_MPI_VO_Disable(0), 0);
    EXPECT_EQ(HI_MPI_VO_DisableChn(0, 0), 0);
}

TEST_F(VideoOutput, HdOutputFollowsTheUserTiming) {
    bring_up();
    EXPECT_FALSE(host::hd_output().enabled);
    EXPECT_EQ(HI_MPI_VO_Enable(0), code(0xA00F8007));  // no timing yet
    const VO_PUB_ATTR_S p = hd_timing();
    ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &p), 0);
    ASSERT_EQ(HI_MPI_VO_Enable(0), 0);
    EXPECT_EQ(HI_MPI_VO_SetPubAttr(0, &p), code(0xA00F8009));  // not while running
    EXPECT_FALSE(host::hd_output().enabled);                  // no video layer yet

    const VO_VIDEO_LAYER_ATTR_S too_big = layer(1440, 576);
    EXPECT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &too_big), code(0xA00F8003));
    const VO_VIDEO_LAYER_ATTR_S l = layer(1440, 540);
    ASSERT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &l), 0);
    ASSERT_EQ(HI_MPI_VO_EnableVideoLayer(0), 0);
    const host::HdOutput hd = host::hd_output();
    EXPECT_TRUE(hd.enabled);
    EXPECT_EQ(hd.width, 1440);
    EXPECT_EQ(hd.height, 540);
    EXPECT_EQ(hd.background, 0x102030u);
    // No channel enabled: the layer draws nothing over the background.
    host::Picture panel{1440, 540, std::vector<std::uint32_t>(1440 * 540, 7u)};
    host::hd_draw_video(panel);
    EXPECT_EQ(std::count(panel.argb.begin(), panel.argb.end(), 7u), 1440 * 540);
    EXPECT_FALSE(host::board_log_lines("media").empty());

    // Restart: the device cannot go while its layer runs.
    EXPECT_EQ(HI_MPI_VO_Disable(0), code(0xA00F8009));
    ASSERT_EQ(HI_MPI_VO_DisableVideoLayer(0), 0);
    ASSERT_EQ(HI_MPI_VO_Disable(0), 0);
    EXPECT_FALSE(host::hd_output().enabled);
}

TEST_F(VideoOutput, TimingsAreChecked) {
    bring_up();
    VO_PUB_ATTR_S p = hd_timing();
    p.stSyncInfo.u16Hact = 0;
    EXPECT_EQ(HI_MPI_VO_SetPubAttr(0, &p), code(0xA00F8003));
    p = hd_timing();
    p.enIntfSync = static_cast<VO_INTF_SYNC_E>(19);
    EXPECT_EQ(HI_MPI_VO_SetPubAttr(0, &p), code(0xA00F8003));
    p = hd_timing();
    p.enIntfType = 0;
    EXPECT_EQ(HI_MPI_VO_SetPubAttr(0, &p), code(0xA00F8003));

    // NTSC on the CVBS device is 720 x 480: a PAL-sized layer does not fit.
    VO_PUB_ATTR_S cvbs{};
    cvbs.enIntfType = VO_INTF_CVBS;
    cvbs.enIntfSync = VO_OUTPUT_NTSC;
    ASSERT_EQ(HI_MPI_VO_SetPubAttr(2, &cvbs), 0);
    ASSERT_EQ(HI_MPI_VO_Enable(2), 0);
    const VO_VIDEO_LAYER_ATTR_S pal = layer(720, 576), ntsc = layer(720, 480);
    EXPECT_EQ(HI_MPI_VO_SetVideoLayerAttr(2, &pal), code(0xA00F8003));
    EXPECT_EQ(HI_MPI_VO_SetVideoLayerAttr(2, &ntsc), 0);
}

TEST_F(VideoOutput, ChannelsNeedAnEnabledLayer) {
    bring_up();
    const VO_PUB_ATTR_S p = hd_timing();
    ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &p), 0);
    ASSERT_EQ(HI_MPI_VO_Enable(0), 0);
    const VO_CHN_ATTR_S chn{0, RECT_S{90, 0, 1260, 540}, HI_TRUE};
    EXPECT_EQ(HI_MPI_VO_SetChnAttr(0, 0, &chn), code(0xA00F8009));
    EXPECT_EQ(HI_MPI_VO_EnableChn(0, 0), code(0xA00F8009));

    const VO_VIDEO_LAYER_ATTR_S l = layer(1440, 540);
    ASSERT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &l), 0);
    ASSERT_EQ(HI_MPI_VO_EnableVideoLayer(0), 0);
    const VO_CHN_ATTR_S outside{0, RECT_S{200, 0, 1260, 540}, HI_TRUE};
    EXPECT_EQ(HI_MPI_VO_SetChnAttr(0, 0, &outside), code(0xA00F8003));
    EXPECT_EQ(HI_MPI_VO_ChnPause(0, 0), code(0xA00F8009));  // channel not running
    ASSERT_EQ(HI_MPI_VO_SetChnAttr(0, 0, &chn), 0);
    ASSERT_EQ(HI_MPI_VO_EnableChn(0, 0), 0);

    EXPECT_EQ(HI_MPI_VO_ChnPause(0, 0), 0);
    EXPECT_EQ(HI_MPI_VO_ChnStep(0, 0), 0);
    EXPECT_EQ(HI_MPI_VO_ChnResume(0, 0), 0);
    EXPECT_EQ(HI_MPI_VO_SetChnFrameRate(0, 0, 50), 0);
    EXPECT_EQ(HI_MPI_VO_SetChnFrameRate(0, 0, 0), code(0xA00F8003));
    EXPECT_EQ(HI_MPI_VO_EnableChn(0, 16), code(0xA00F8002));

    // Write-back needs its attributes, then runs until the device stops.
    EXPECT_EQ(HI_MPI_VO_EnableWbc(0), code(0xA00F8007));
    const VO_WBC_ATTR_S wbc{SIZE_S{720, 480}, PIXEL_FORMAT_YUV_SEMIPLANAR_422, 25};
    ASSERT_EQ(HI_MPI_VO_SetWbcAttr(0, &wbc), 0);
    EXPECT_EQ(HI_MPI_VO_EnableWbc(0), 0);
    EXPECT_EQ(HI_MPI_VO_DisableWbc(0), 0);
}

}  // namespace
