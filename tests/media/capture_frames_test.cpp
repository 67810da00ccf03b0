// Captured frames: layout, the test pattern, lost signal, the renderer and
// the rule on how many frames the caller may hold.
#include <array>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "host/internal.h"
#include "tests/media/media_board.h"

namespace {

using CaptureFrames = MediaBoard;

const std::uint8_t* plane(const VIDEO_FRAME_INFO_S& f, int i) {
    return static_cast<const std::uint8_t*>(f.stVFrame.pVirAddr[i]);
}

TEST_F(CaptureFrames, FrameIs720pSemiPlanar422InMediaMemory) {
    bring_up();
    start_capture({0});
    VIDEO_FRAME_INFO_S f{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(0, &f), 0);
    const VIDEO_FRAME_S& v = f.stVFrame;
    EXPECT_EQ(v.u32Width, 1280u);
    EXPECT_EQ(v.u32Height, 720u);
    EXPECT_EQ(v.enPixelFormat, PIXEL_FORMAT_YUV_SEMIPLANAR_422);
    EXPECT_EQ(v.u32Stride[0], 1280u);
    EXPECT_EQ(v.u32Stride[1], 1280u);
    // Chroma follows luma: 921,600 bytes each, one physical block.
    EXPECT_EQ(v.u32PhyAddr[1], v.u32PhyAddr[0] + 921600u);
    EXPECT_EQ(plane(f, 1), plane(f, 0) + 921600);
    EXPECT_EQ(host::mmz_resolve(v.u32PhyAddr[0], 2 * kPlaneBytes), v.pVirAddr[0]);
    EXPECT_EQ(host::mmz_resolve(v.u32PhyAddr[1], kPlaneBytes), v.pVirAddr[1]);

    const HI_U32 ref = v.u32TimeRef;
    const HI_U64 pts = v.u64pts;
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(0, &f), 0);
    ASSERT_EQ(HI_MPI_VI_GetFrame(0, &f), 0);
    EXPECT_EQ(f.stVFrame.u32TimeRef, ref + 2);
    EXPECT_GT(f.stVFrame.u64pts, pts);
    EXPECT_EQ(host::capture_frames_delivered(0), 2u);
    EXPECT_EQ(host::capture_frames_delivered(1), 0u);
}

TEST_F(CaptureFrames, EachCameraHasItsOwnColour) {
    bring_up();
    start_capture({0, 1, 4, 5});
    std::set<std::tuple<int, int, int>> colours;
    std::array<std::array<int, 3>, 8> yuv{};
    for (VI_CHN chn : {0, 1, 4, 5}) {
        VIDEO_FRAME_INFO_S f{};
        ASSERT_EQ(HI_MPI_VI_GetFrame(chn, &f), 0);
        // A corner pixel, away from letter and counter.
        const std::size_t at = 20 * 1280 + 20;
        yuv[chn] = {plane(f, 0)[at], plane(f, 1)[at + 1], plane(f, 1)[at]};  // V first, then U
        colours.insert({yuv[chn][0], yuv[chn][1], yuv[chn][2]});
        ASSERT_EQ(HI_MPI_VI_ReleaseFrame(chn, &f), 0);
    }
    EXPECT_EQ(colours.size(), 4u);
    EXPECT_GT(yuv[0][2], 200);  // left red: strong V
    EXPECT_LT(yuv[1][1], 90);   // right green: weak U and V
    EXPECT_LT(yuv[1][2], 90);
    EXPECT_GT(yuv[4][1], 200);  // back blue: strong U
    EXPECT_LT(yuv[5][1], 64);   // front yellow: weak U, bright
    EXPECT_GT(yuv[5][0], 180);
}

TEST_F(CaptureFrames, PatternCounterChangesAndRow360IsNeverNoSignalBlack) {
    bring_up();
    start_capture({0, 1, 4, 5});
    for (VI_CHN chn : {0, 1, 4, 5}) {
        std::vector<std::uint8_t> previous;
        for (int i = 0; i < 3; ++i) {
            VIDEO_FRAME_INFO_S f{};
            ASSERT_EQ(HI_MPI_VI_GetFrame(chn, &f), 0);
            const std::uint8_t* y = plane(f, 0);
            for (int x = 0; x < 1280; ++x) ASSERT_NE(y[360 * 1280 + x], 16) << "channel " << chn << " x " << x;
            std::vector<std::uint8_t> now(y, y + kPlaneBytes);
            if (!previous.empty()) {
                EXPECT_NE(now, previous) << "channel " << chn;
            }
            previous = std::move(now);
            ASSERT_EQ(HI_MPI_VI_ReleaseFrame(chn, &f), 0);
        }
    }
}

TEST_F(CaptureFrames, NoSignalIsBlackWithNeutralChroma) {
    bring_up();
    start_capture({4});
    host::capture_set_signal(4, false);
    VIDEO_FRAME_INFO_S f{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(4, &f), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(plane(f, 0), plane(f, 0) + kPlaneBytes), std::vector<std::uint8_t>(kPlaneBytes, 16));
    EXPECT_EQ(std::vector<std::uint8_t>(plane(f, 1), plane(f, 1) + kPlaneBytes), std::vector<std::uint8_t>(kPlaneBytes, 128));
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(4, &f), 0);

    host::capture_set_signal(4, true);
    ASSERT_EQ(HI_MPI_VI_GetFrame(4, &f), 0);
    EXPECT_NE(plane(f, 0)[360 * 1280 + 640], 16);
}

TEST_F(CaptureFrames, RendererFillsEveryFrameInOrder) {
    bring_up();
    start_capture({5});
    std::vector<std::pair<int, std::uint64_t>> calls;
    host::capture_use_renderer([&calls](int chn, std::uint64_t frame, std::uint8_t* y, std::uint8_t* uv) {
        calls.emplace_back(chn, frame);
        std::memset(y, 100 + static_cast<int>(frame), kPlaneBytes);
        std::memset(uv, 77, kPlaneBytes);
    });
    for (int i = 0; i < 3; ++i) {
        VIDEO_FRAME_INFO_S f{};
        ASSERT_EQ(HI_MPI_VI_GetFrame(5, &f), 0);
        EXPECT_EQ(plane(f, 0)[kPlaneBytes - 1], 100 + i);
        EXPECT_EQ(plane(f, 1)[0], 77);
        ASSERT_EQ(HI_MPI_VI_ReleaseFrame(5, &f), 0);
    }
    const std::vector<std::pair<int, std::uint64_t>> want = {{5, 0}, {5, 1}, {5, 2}};
    EXPECT_EQ(calls, want);

    host::capture_use_pattern();
    VIDEO_FRAME_INFO_S f{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(5, &f), 0);
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_NE(plane(f, 1)[0], 77);
}

TEST_F(CaptureFrames, CallerHoldsAtMostDepthFrames) {
    bring_up();
    start_capture({0, 1}, 1);
    VIDEO_FRAME_INFO_S a{}, b{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(0, &a), 0);
    EXPECT_EQ(HI_MPI_VI_GetFrame(0, &b), code(0xA010800E));
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(0, &a), 0);
    EXPECT_EQ(HI_MPI_VI_ReleaseFrame(0, &a), code(0xA0108003));  // already back
    ASSERT_EQ(HI_MPI_VI_GetFrame(0, &b), 0);

    ASSERT_EQ(HI_MPI_VI_SetFrameDepth(1, 2), 0);
    ASSERT_EQ(HI_MPI_VI_GetFrame(1, &a), 0);
    ASSERT_EQ(HI_MPI_VI_GetFrame(1, &b), 0);
    EXPECT_NE(a.stVFrame.u32PhyAddr[0], b.stVFrame.u32PhyAddr[0]);
    VIDEO_FRAME_INFO_S c{};
    EXPECT_EQ(HI_MPI_VI_GetFrame(1, &c), code(0xA010800E));
    // A frame of channel 0 cannot be given back on channel 1.
    VIDEO_FRAME_INFO_S other = a;
    other.stVFrame.u32PhyAddr[0] += 64;
    EXPECT_EQ(HI_MPI_VI_ReleaseFrame(1, &other), code(0xA0108003));

    ASSERT_EQ(HI_MPI_VI_SetFrameDepth(1, 0), 0);
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(1, &a), 0);
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(1, &b), 0);
    EXPECT_EQ(HI_MPI_VI_GetFrame(1, &c), code(0xA010800E));
    EXPECT_EQ(HI_MPI_VI_SetFrameDepth(1, 9), code(0xA0108003));
}

TEST_F(CaptureFrames, ChannelSetUpIsChecked) {
    bring_up();
    VI_CHN_ATTR_S a = capture_attr();
    ASSERT_EQ(HI_MPI_VI_SetChnAttr(0, &a), 0);
    EXPECT_EQ(HI_MPI_VI_EnableChn(0), code(0xA0108009));  // device not enabled
    EXPECT_EQ(HI_MPI_VI_EnableChn(1), code(0xA0108007));  // no attributes
    VIDEO_FRAME_INFO_S f{};
    EXPECT_EQ(HI_MPI_VI_GetFrame(0, &f), code(0xA0108009));

    a.stCapRect = RECT_S{8, 0, 1280, 720};
    EXPECT_EQ(HI_MPI_VI_SetChnAttr(0, &a), code(0xA0108003));
    a = capture_attr();
    a.enPixFormat = PIXEL_FORMAT_RGB_1555;
    EXPECT_EQ(HI_MPI_VI_SetChnAttr(0, &a), code(0xA0108003));
    a = capture_attr();
    a.s32FrameRate = 30;
    EXPECT_EQ(HI_MPI_VI_SetChnAttr(0, &a), code(0xA0108003));
    EXPECT_EQ(HI_MPI_VI_SetChnAttr(0, nullptr), code(0xA0108006));
}

}  // namespace
