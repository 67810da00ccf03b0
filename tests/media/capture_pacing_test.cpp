// Paced capture: 12 frames a second of board time out of a 25-frame source,
// a get waits for the next frame, and a reset wakes a waiting get.
#include <chrono>
#include <thread>
#include <vector>

#include "tests/media/media_board.h"

namespace {

using CapturePacing = MediaBoard;

TEST_F(CapturePacing, TwelveFramesPerSecondNeverTheSameTwice) {
    restart(true, 5.0);  // one board second in a fifth of a host second
    bring_up();
    start_capture({0});
    std::vector<VIDEO_FRAME_S> frames;
    const double start = host::board_uptime();
    while (host::board_uptime() - start < 1.0) {
        VIDEO_FRAME_INFO_S f{};
        ASSERT_EQ(HI_MPI_VI_GetFrame(0, &f), 0);
        frames.push_back(f.stVFrame);
        ASSERT_EQ(HI_MPI_VI_ReleaseFrame(0, &f), 0);
    }
    // 12 or 13 frames fall in one board second, however slow the host.
    EXPECT_LE(frames.size(), 13u);
    EXPECT_GE(frames.size(), 12u);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        // Source frames are 40 ms apart and 12 of 25 are kept: 80 or 120 ms.
        const HI_U64 gap = frames[i].u64pts - frames[i - 1].u64pts;
        EXPECT_GE(gap, 80000u);
        EXPECT_EQ(gap % 40000, 0u);
        EXPECT_GE(frames[i].u32TimeRef, frames[i - 1].u32TimeRef + 2);
        EXPECT_EQ(frames[i].u32TimeRef % 2, 0u);
    }
    // The time stamps follow the board clock.
    const double last = static_cast<double>(frames.back().u64pts) * 1e-6;
    EXPECT_LE(last, host::board_uptime());
    EXPECT_GT(last, host::board_uptime() - 0.5);
}

TEST_F(CapturePacing, SystemExitWakesAWaitingGet) {
    restart(true, 0.01);  // the next frame is 8 host seconds away
    bring_up();
    start_capture({1});
    VIDEO_FRAME_INFO_S f{};
    ASSERT_EQ(HI_MPI_VI_GetFrame(1, &f), 0);  // frame 0 is due at once
    ASSERT_EQ(HI_MPI_VI_ReleaseFrame(1, &f), 0);

    HI_S32 result = 0;
    const auto begin = std::chrono::steady_clock::now();
    std::thread waiter([&result] {
        VIDEO_FRAME_INFO_S g{};
        result = HI_MPI_VI_GetFrame(1, &g);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(HI_MPI_SYS_Exit(), 0);
    waiter.join();
    EXPECT_EQ(result, static_cast<HI_S32>(0xA0108010u));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(4));
    EXPECT_EQ(HI_MPI_VB_Exit(), 0);  // every block came back
}

}  // namespace
