// Raw YUV files as a camera: frames played in order and in a loop.
#include <cstring>
#include <fstream>
#include <vector>

#include "tests/media/media_board.h"

namespace {

using CaptureFile = MediaBoard;

constexpr std::size_t kFrame = 2 * kPlaneBytes;

std::vector<std::uint8_t> frame_bytes(int k) {
    std::vector<std::uint8_t> f(kFrame);
    for (std::size_t i = 0; i < kFrame; ++i) f[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(k) * 91) % 251);
    return f;
}

void write_file(const std::filesystem::path& p, std::size_t frames, std::size_t extra) {
    std::ofstream out(p, std::ios::binary);
    for (std::size_t k = 0; k < frames; ++k) {
        const auto f = frame_bytes(static_cast<int>(k));
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    }
    const std::vector<char> tail(extra, 'x');
    out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
}

std::vector<std::uint8_t> fetch(VI_CHN chn) {
    VIDEO_FRAME_INFO_S f{};
    EXPECT_EQ(HI_MPI_VI_GetFrame(chn, &f), 0);
    const auto* y = static_cast<const std::uint8_t*>(f.stVFrame.pVirAddr[0]);
    const auto* uv = static_cast<const std::uint8_t*>(f.stVFrame.pVirAddr[1]);
    std::vector<std::uint8_t> out(kFrame);
    std::memcpy(out.data(), y, kPlaneBytes);
    std::memcpy(out.data() + kPlaneBytes, uv, kPlaneBytes);
    EXPECT_EQ(HI_MPI_VI_ReleaseFrame(chn, &f), 0);
    return out;
}

TEST_F(CaptureFile, FramesComeBackInOrderAndLoopWithoutThePartialTail) {
    const auto file = root_ / "two.yuv";
    write_file(file, 2, 1000);
    ASSERT_TRUE(host::capture_use_yuv_file(1, file));
    bring_up();
    start_capture({1});
    const auto a = frame_bytes(0), b = frame_bytes(1);
    EXPECT_TRUE(fetch(1) == a);
    EXPECT_TRUE(fetch(1) == b);
    EXPECT_TRUE(fetch(1) == a);
    EXPECT_TRUE(fetch(1) == b);
}

TEST_F(CaptureFile, ShortOrMissingFileIsRefusedAndTheOldSourceStays) {
    const auto good = root_ / "one.yuv", shorter = root_ / "short.yuv";
    write_file(good, 1, 0);
    write_file(shorter, 0, kFrame - 1);
    ASSERT_TRUE(host::capture_use_yuv_file(0, good));
    EXPECT_FALSE(host::capture_use_yuv_file(0, shorter));
    EXPECT_FALSE(host::capture_use_yuv_file(0, root_ / "missing.yuv"));
    EXPECT_FALSE(host::capture_use_yuv_file(8, good));
    bring_up();
    start_capture({0, 4});
    EXPECT_TRUE(fetch(0) == frame_bytes(0));
    // Other channels keep the pattern.
    EXPECT_FALSE(fetch(4) == frame_bytes(0));
}

}  // namespace
