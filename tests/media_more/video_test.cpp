// Motion and occlusion detection on the board's capture, and the further video
// set-up functions against the board's bookkeeping and injected failures.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "common/sample_comm_more.h"
#include "platform/files.h"
#include "tests/media/media_board.h"

namespace {

using Detection = MediaBoard;
using VideoSetUp = MediaBoard;

constexpr HI_S32 code(std::uint32_t v) { return static_cast<HI_S32>(v); }

TEST_F(Detection, MotionOfTheFrameCounterAndOcclusionWhenTheSignalGoes) {
    host::capture_use_pattern();
    bring_up();
    start_capture({0, 1});
    const SIZE_S cif{352, 288};
    testing::internal::CaptureStdout();
    ASSERT_EQ(SAMPLE_COMM_VDA_MdStart(0, 0, &cif), 0);
    ASSERT_EQ(SAMPLE_COMM_VDA_OdStart(1, 1, &cif), 0);
    host::board_sleep(1.0);                // three motion results (every 4th of 12 pictures a second)
    host::capture_set_signal(1, false);    // the second camera's picture is gone
    host::board_sleep(2.5);                // six results in a row see it covered
    ASSERT_EQ(SAMPLE_COMM_VDA_MdStop(0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_VDA_OdStop(1, 1), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    // The first result has nothing to compare with; then the counter's
    // digits move: one object of a few 16 x 16 blocks, not the whole picture.
    EXPECT_EQ(out.find("AlarmPixelCount=0\n"), out.find("AlarmPixelCount=")) << out.substr(0, 400);
    EXPECT_NE(out.find("ObjNum=1\n[0]\t left="), std::string::npos);
    EXPECT_EQ(out.find("AlarmPixelCount=101376\n"), std::string::npos);
    EXPECT_NE(out.find("################VdaChn--1,Rgn--0,Occ!\n"), std::string::npos);
    // Stopped means gone: channel destroyed, capture unbound.
    EXPECT_EQ(HI_MPI_VDA_GetFd(0), code(0xA00B8005));
    const MPP_CHN_S vi{HI_ID_VIU, 0, 0}, vda{HI_ID_VDA, 0, 0};
    EXPECT_EQ(HI_MPI_SYS_UnBind(&vi, &vda), code(0xA0028005));
}

TEST_F(Detection, SizeChecksAndFailuresTakeBackEveryStep) {
    host::capture_use_pattern();
    bring_up();
    start_capture({0});
    const SIZE_S big{1280, 720}, d1{704, 576};
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VDA_MdStart(0, 0, &big), -1);
    for (const char* op : {"HI_MPI_VDA_CreateChn", "HI_MPI_SYS_Bind", "HI_MPI_VDA_StartRecvPic"}) {
        host::inject_failure(op);
        EXPECT_EQ(SAMPLE_COMM_VDA_OdStart(0, 0, &d1), -1) << op;
        EXPECT_EQ(HI_MPI_VDA_GetFd(0), code(0xA00B8005)) << op;  // no channel left
    }
    // With everything undone, a start works.
    ASSERT_EQ(SAMPLE_COMM_VDA_MdStart(0, 0, &d1), 0);
    host::inject_failure("HI_MPI_VDA_StopRecvPic");
    EXPECT_EQ(SAMPLE_COMM_VDA_MdStop(0, 0), -1);
    EXPECT_EQ(SAMPLE_COMM_VDA_MdStop(0, 0), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Picture size invaild!\n"), std::string::npos);
    EXPECT_NE(out.find("err(0xa00b8012)!!!!\n"), std::string::npos);
}

TEST_F(VideoSetUp, CaptureTablesTeardownAndUnbinding) {
    SIZE_S s{};
    ASSERT_EQ(SAMPLE_COMM_VI_Mode2Size(SAMPLE_VI_MODE_8_720P, VIDEO_ENCODING_MODE_PAL, &s), 0);
    EXPECT_EQ(s.u32Width, 1280u);
    ASSERT_EQ(SAMPLE_COMM_VI_Mode2Size(SAMPLE_VI_MODE_16_960H, VIDEO_ENCODING_MODE_NTSC, &s), 0);
    EXPECT_EQ(s.u32Height, 480u);
    EXPECT_EQ(SAMPLE_COMM_VI_Mode2Size(SAMPLE_VI_MODE_4_720P, VIDEO_ENCODING_MODE_PAL, &s), -1);
    EXPECT_EQ(SAMPLE_COMM_VI_GetDev(SAMPLE_VI_MODE_8_720P, 5), 1);
    EXPECT_EQ(SAMPLE_COMM_VI_GetDev(SAMPLE_VI_MODE_8_720P, 2), -1);  // not a channel of the mode
    VI_DEV_ATTR_S a{};
    a.enIntfMode = static_cast<VI_INTF_MODE_E>(3);
    SAMPLE_COMM_VI_SetMask(2, &a);
    EXPECT_EQ(a.au32CompMask[0], 0x0000FF00u);
    EXPECT_EQ(a.au32CompMask[1], 0x000000FFu);

    bring_up();
    ASSERT_EQ(SAMPLE_COMM_VI_Start(SAMPLE_VI_MODE_8_720P, VIDEO_ENCODING_MODE_PAL), 0);
    const VPSS_GRP_ATTR_S g{1280, 720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, HI_FALSE, HI_FALSE, HI_TRUE, HI_TRUE, HI_TRUE, 1};
    const SIZE_S hd{1280, 720};
    ASSERT_EQ(SAMPLE_COMM_VPSS_Start(4, &hd, 0, &g), 0);
    ASSERT_EQ(SAMPLE_COMM_VI_BindVpss(SAMPLE_VI_MODE_8_720P), 0);
    // Unbinding takes all four; a second unbind finds nothing.
    ASSERT_EQ(SAMPLE_COMM_VI_UnBindVpss(SAMPLE_VI_MODE_8_720P), 0);
    EXPECT_EQ(SAMPLE_COMM_VI_UnBindVpss(SAMPLE_VI_MODE_8_720P), -1);
    // A frame held keeps its channel on; once released, capture stops.
    VIDEO_FRAME_INFO_S f{};
    ASSERT_EQ(HI_MPI_VI_SetFrameDepth(4, 1), 0);
    ASSERT_EQ(HI_MPI_VI_GetFrame(4, &f), 0);
    EXPECT_EQ(SAMPLE_COMM_VI_Stop(SAMPLE_VI_MODE_8_720P), -1);
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(4, &f), 0);
    ASSERT_EQ(SAMPLE_COMM_VI_Stop(SAMPLE_VI_MODE_8_720P), 0);
    EXPECT_EQ(HI_MPI_VI_GetFrame(0, &f), code(0xA0108009));
    // The devices can be set up again.
    ASSERT_EQ(SAMPLE_COMM_VI_Start(SAMPLE_VI_MODE_8_720P, VIDEO_ENCODING_MODE_PAL), 0);
    ASSERT_EQ(SAMPLE_NVP6114_CfgV(VIDEO_ENCODING_MODE_PAL), 0);
    host::inject_failure("open /dev/nvp6114");
    EXPECT_EQ(SAMPLE_NVP6114_CfgV(VIDEO_ENCODING_MODE_PAL), -1);
}

TEST_F(VideoSetUp, SnapshotsEncodersHdmiPreScaleAndMemoryZones) {
    bring_up();
    // A JPEG channel the board does not fill: the snapshot times out and stops receiving.
    const SIZE_S d1{704, 576};
    ASSERT_EQ(SAMPLE_COMM_VENC_SnapStart(5, 5, &d1), 0);
    VENC_CHN_ATTR_S attr{};
    ASSERT_EQ(HI_MPI_VENC_GetChnAttr(5, &attr), 0);
    EXPECT_EQ(attr.stVeAttr.enType, PT_JPEG);
    EXPECT_EQ(attr.stVeAttr.stAttrJpeg.u32BufSize, 704u * 576 * 2);
    EXPECT_EQ(SAMPLE_COMM_VENC_SnapProcess(5), -1);
    ASSERT_EQ(SAMPLE_COMM_VENC_SnapStop(5, 5), 0);
    EXPECT_EQ(HI_MPI_VENC_GetChnAttr(5, &attr), code(0xA0078005));
    host::inject_failure("HI_MPI_VENC_RegisterChn");
    EXPECT_EQ(SAMPLE_COMM_VENC_SnapStart(5, 5, &d1), -1);
    EXPECT_EQ(HI_MPI_VENC_CreateGroup(5), 0);  // the group was taken back
    EXPECT_EQ(HI_MPI_VENC_DestroyGroup(5), 0);

    // Saving: both parts of every pack, in a numbered file.
    std::uint8_t a[] = {0xFF, 0xD8, 1}, b[] = {2, 0xFF, 0xD9};
    VENC_PACK_S packs[2] = {{{0, 0}, {a, b}, {3, 1}, 0, HI_FALSE, HI_FALSE}, {{0, 0}, {b + 1, nullptr}, {2, 0}, 0, HI_FALSE, HI_TRUE}};
    const VENC_STREAM_S stream{packs, 2, 0};
    ASSERT_EQ(SAMPLE_COMM_VENC_SaveSnap(&stream), 0);
    ASSERT_EQ(SAMPLE_COMM_VENC_SaveSnap(&stream), 0);
    std::ifstream in(board_path("/home/snap_1.jpg"), std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(saved, std::string("\xFF\xD8\x01\x02\xFF\xD9", 6));

    HI_U32 w = 0, h = 0, rate = 0;
    ASSERT_EQ(SAMPLE_COMM_VO_GetWH(VO_OUTPUT_1080P25, &w, &h, &rate), 0);
    EXPECT_EQ(w * 10000 + h, 19201080u);
    EXPECT_EQ(rate, 25u);
    ASSERT_EQ(SAMPLE_COMM_VO_GetWH(VO_OUTPUT_1366x768_60, &w, &h, &rate), 0);
    EXPECT_EQ(w, 1366u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SAMPLE_COMM_VO_HdmiStart(VO_OUTPUT_PAL), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unkonw VO_INTF_SYNC_E value!\n");
    ASSERT_EQ(SAMPLE_COMM_VO_HdmiStart(VO_OUTPUT_720P60), 0);
    EXPECT_TRUE(host::hdmi_state().started);
    EXPECT_EQ(host::hdmi_state().video_format, VO_OUTPUT_720P60);
    ASSERT_EQ(SAMPLE_COMM_VO_HdmiStop(), 0);
    EXPECT_FALSE(host::hdmi_state().open);
    host::inject_failure("HI_MPI_HDMI_Start");
    EXPECT_EQ(SAMPLE_COMM_VO_HdmiStart(VO_OUTPUT_720P60), -1);
    EXPECT_FALSE(host::hdmi_state().open);

    start_capture({0});
    ASSERT_EQ(SAMPLE_COMM_VO_BindVi(2, 0, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_UnBindVi(2, 0), 0);
    EXPECT_EQ(SAMPLE_COMM_VO_UnBindVi(2, 0), -1);
    ASSERT_EQ(SAMPLE_COMM_VO_BindVoWbc(0, 2, 0), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_UnBindVoWbc(0, 2, 0), 0);
    EXPECT_EQ(SAMPLE_COMM_VO_UnBindVoWbc(0, 2, 0), code(0xA0028005));

    const VPSS_GRP_ATTR_S g{1280, 720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, HI_FALSE, HI_FALSE, HI_TRUE, HI_TRUE, HI_TRUE, 1};
    EXPECT_EQ(SAMPLE_COMM_EnableVpssPreScale(1, SIZE_S{640, 360}), -1);  // no such group yet
    ASSERT_EQ(HI_MPI_VPSS_CreateGrp(1, &g), 0);
    ASSERT_EQ(SAMPLE_COMM_EnableVpssPreScale(1, SIZE_S{640, 360}), 0);
    VPSS_PRESCALE_INFO_S p{};
    ASSERT_EQ(HI_MPI_VPSS_GetPreScale(1, &p), 0);
    EXPECT_TRUE(p.bPreScale == HI_TRUE && p.stDestSize.u32Width == 640);
    ASSERT_EQ(SAMPLE_COMM_DisableVpssPreScale(1), 0);
    ASSERT_EQ(HI_MPI_VPSS_GetPreScale(1, &p), 0);
    EXPECT_EQ(p.bPreScale, HI_FALSE);

    ASSERT_EQ(SAMPLE_COMM_SYS_MemConfig(), 0);
    ASSERT_EQ(SAMPLE_COMM_VENC_MemConfig(), 0);
    ASSERT_EQ(SAMPLE_COMM_VPSS_MemConfig(), 0);
    ASSERT_EQ(SAMPLE_COMM_VO_MemConfig(2, "ddr1"), 0);
    EXPECT_EQ(SAMPLE_COMM_VO_MemConfig(2, "ddr7"), -1);
    char zone[MAX_MMZ_NAME_LEN];
    const std::pair<MPP_CHN_S, const char*> zones[] = {
        {{HI_ID_VIU, 0, 1}, "ddr1"}, {{HI_ID_VIU, 0, 2}, ""},   {{HI_ID_VDEC, 0, 3}, "ddr1"}, {{HI_ID_GROUP, 2, 0}, ""},
        {{HI_ID_VENC, 0, 3}, "ddr1"}, {{HI_ID_VPSS, 1, 0}, "ddr1"}, {{HI_ID_VOU, 2, 0}, "ddr1"}};
    for (const auto& [chn, want] : zones) {
        ASSERT_EQ(HI_MPI_SYS_GetMemConf(&chn, zone), 0);
        EXPECT_STREQ(zone, want) << chn.enModId << " " << chn.s32DevId << " " << chn.s32ChnId;
    }
    host::inject_failure("HI_MPI_SYS_SetMemConf");
    EXPECT_EQ(SAMPLE_COMM_VDEC_MemConfig(), -1);

    SIZE_S hist{};
    EXPECT_EQ(SAMPLE_COMM_SYS_CalcHistVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_HD720, &hist, 64), 80u * 48 * 2);
    EXPECT_EQ(hist.u32Height, 48u);  // 720 aligned up to 768
}

TEST_F(VideoSetUp, PlanarPicturesReadAndInterleaved) {
    // A 4 x 2 picture: Y, then U (2 x 1), then V (2 x 1).
    const std::uint8_t planar[] = {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 30, 31};
    const auto file = root_ / "pic.yuv";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(planar), sizeof planar);
    std::uint8_t y[8]{}, u[4]{}, v[2]{};
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_EQ(SAMPLE_COMM_VENC_ReadOneFrame(f, y, u, v, 4, 2, 4, 2), 0);
    EXPECT_EQ(SAMPLE_COMM_VENC_ReadOneFrame(f, y, u, v, 4, 2, 4, 2), -1);  // the file has one picture
    std::fclose(f);
    EXPECT_EQ(y[7], 8);
    ASSERT_EQ(SAMPLE_COMM_VENC_PlanToSemi(y, 4, u, 2, v, 2, 4, 2), 0);
    const std::uint8_t vu[4] = {30, 20, 31, 21};
    EXPECT_EQ(std::memcmp(u, vu, 4), 0);
    EXPECT_EQ(SAMPLE_COMM_VENC_PlanToSemi(y, 2, u, 2, v, 2, 4, 2), -1);  // stride shorter than a row
}

}  // namespace
