// The scene's pictures: marks, car, sky, the lens's edge and the chroma
// layout, and one picture per channel whichever thread or frame asks for it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "host/scene.h"
#include "tests/media/media_board.h"

namespace {

using namespace host::scene;

struct Frame {
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(1280 * 720), uv = y;
    int luma(double row, double col) const { return y[std::lround(row) * 1280 + std::lround(col)]; }
    bool operator==(const Frame&) const = default;
};

// A picture of the default car (another test may have left another one).
Frame shot(int dir, std::uint64_t frame = 0) {
    if (layout().length != 4600 || layout().width != 1900 || layout().view_range != 1) configure(Layout{});
    Frame f;
    renderer()(camera(dir).channel, frame, f.y.data(), f.uv.data());
    return f;
}

TEST(ScenePictures, MarksAreAWhiteDotInABlackDisk) {
    for (int dir : {kFront, kBack, kLeft, kRight}) {
        const Frame f = shot(dir);
        const auto ground = mark_ground(dir);
        const auto px = mark_pixels(dir);
        for (int i = 0; i < (dir == kLeft || dir == kRight ? 6 : 8); ++i) {
            EXPECT_GT(f.luma(px[i][0], px[i][1]), 150) << dir << " mark " << i + 1;
            for (double a = 0; a < 6.28; a += M_PI / 4) {  // 60 mm out, on the disk
                const auto p = ground_to_pixel(dir, ground[i][1] + 60 * std::cos(a), ground[i][0] + 60 * std::sin(a));
                ASSERT_TRUE(p);
                EXPECT_LT(f.luma((*p)[0], (*p)[1]), 40) << dir << " mark " << i + 1;
            }
        }
    }
}

TEST(ScenePictures, VideoRangeLumaDarkRedCarBlueSkyBlackLensEdge) {
    for (int dir : {kFront, kBack, kLeft, kRight}) {
        const Frame f = shot(dir);
        int car = 0;
        for (std::size_t i = 0; i < f.y.size(); ++i) {
            ASSERT_TRUE(f.y[i] >= 20 && f.y[i] <= 235) << dir << " " << i;  // never the lost-signal 16
            const std::size_t pair = i & ~std::size_t{1};  // V first in memory, then U
            if (f.y[i] < 90 && f.uv[pair] > 160 && f.uv[pair + 1] < 128) ++car;
        }
        EXPECT_GT(car, 10000) << dir;
    }
    const Frame f = shot(kFront);
    EXPECT_GT(f.y[10 * 1280 + 640], 150);  // sky: light, blue
    EXPECT_LT(f.uv[10 * 1280 + 640], 128);
    EXPECT_GT(f.uv[10 * 1280 + 641], 148);
    // Pixel (0, 0) lies 747 pixels from the front lens's centre (372, 648),
    // outside its circle of 740.
    EXPECT_EQ(f.y[0], 20);
    EXPECT_EQ(f.uv[0], 128);
}

TEST(ScenePictures, SamePictureForEveryFrameCallAndThread) {
    configure(Layout{});  // empties the cache: the threads race to render
    const int dirs[] = {kFront, kBack, kLeft, kRight};
    std::vector<std::array<Frame, 4>> got(6);
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < got.size(); ++t)
            threads.emplace_back([&, t] {
                for (std::size_t k = 0; k < 4; ++k) got[t][(k + t) % 4] = shot(dirs[(k + t) % 4], t * 100);
            });
    }
    for (std::size_t t = 1; t < got.size(); ++t) EXPECT_TRUE(got[t] == got[0]) << t;
    EXPECT_TRUE(shot(kLeft, 7) == got[0][2]);
}

using SceneCapture = MediaBoard;

TEST_F(SceneCapture, CaptureDeliversTheScene) {
    host::capture_use_scene();
    bring_up();
    start_capture({5});
    VIDEO_FRAME_INFO_S info{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(5, &info), 0);
    const Frame want = shot(kFront);
    EXPECT_EQ(std::memcmp(info.stVFrame.pVirAddr[0], want.y.data(), want.y.size()), 0);
    EXPECT_EQ(std::memcmp(info.stVFrame.pVirAddr[1], want.uv.data(), want.uv.size()), 0);
    EXPECT_EQ(HI_MPI_VI_ReleaseFrame(5, &info), 0);
}

}  // namespace
