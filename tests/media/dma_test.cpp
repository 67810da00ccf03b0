// The image engine's plane copy between media-memory buffers, and the
// system's per-pass use of it on captured frames from several threads.
#include <cstring>
#include <thread>
#include <vector>

#include "tests/media/media_board.h"

namespace {

using DmaCopy = MediaBoard;

constexpr HI_S32 kIllegal = static_cast<HI_S32>(0xA01D8003u);

struct Buffer {
    HI_U32 phys = 0;
    std::uint8_t* virt = nullptr;
    explicit Buffer(HI_U32 len) {
        void* v = nullptr;
        EXPECT_EQ(HI_MPI_SYS_MmzAlloc_Cached(&phys, &v, nullptr, nullptr, len), 0);
        virt = static_cast<std::uint8_t*>(v);
    }
};

TEST_F(DmaCopy, CopiesRowsBetweenDifferentStrides) {
    Buffer src(128 * 10), dst(112 * 10);
    for (int i = 0; i < 128 * 10; ++i) src.virt[i] = static_cast<std::uint8_t>(i % 253);
    std::memset(dst.virt, 0xEE, 112 * 10);
    IVE_HANDLE first = -1, second = -1;
    const IVE_SRC_DATA_S s{src.phys, 128, 100, 10};
    const IVE_DST_DATA_S d{dst.phys, 112, 100, 10};
    ASSERT_EQ(HI_MPI_IVE_DMA(&first, &s, &d, HI_TRUE), 0);
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(std::memcmp(dst.virt + row * 112, src.virt + row * 128, 100), 0) << "row " << row;
        for (int x = 100; x < 112; ++x) EXPECT_EQ(dst.virt[row * 112 + x], 0xEE);  // the gap stays
    }
    ASSERT_EQ(HI_MPI_IVE_DMA(&second, &s, &d, HI_TRUE), 0);
    EXPECT_GT(second, first);

    HI_BOOL done = HI_FALSE;
    EXPECT_EQ(HI_MPI_IVE_Query(first, &done, HI_TRUE), 0);
    EXPECT_EQ(done, HI_TRUE);
    EXPECT_EQ(HI_MPI_IVE_Query(second + 1, &done, HI_TRUE), kIllegal);
    EXPECT_EQ(HI_MPI_IVE_Query(-1, &done, HI_FALSE), kIllegal);
}

TEST_F(DmaCopy, RefusesPlanesOutsideMediaMemoryOrMisshapen) {
    Buffer a(1280 * 720), b(1280 * 720);
    IVE_HANDLE h = 0;
    const IVE_DATA_S good{a.phys, 1280, 1280, 720};
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &good, &good, HI_TRUE), 0);
    const IVE_DATA_S outside{0x1000, 1280, 1280, 720};
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &outside, &good, HI_TRUE), kIllegal);
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &good, &outside, HI_TRUE), kIllegal);
    const IVE_DATA_S too_long{b.phys + 1280, 1280, 1280, 720};  // last row past the end
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &good, &too_long, HI_TRUE), kIllegal);
    const IVE_DATA_S narrow_stride{a.phys, 1000, 1280, 720};
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &narrow_stride, &good, HI_TRUE), kIllegal);
    const IVE_DATA_S empty{a.phys, 1280, 0, 720};
    EXPECT_EQ(HI_MPI_IVE_DMA(&h, &empty, &empty, HI_TRUE), kIllegal);
    EXPECT_EQ(HI_MPI_IVE_DMA(nullptr, &good, &good, HI_TRUE), static_cast<HI_S32>(0xA01D8006u));
}

// Four cameras fetched and copied in parallel while the test toggles their
// signal: every copy equals the frame it came from.
TEST_F(DmaCopy, FourCamerasCopiedConcurrently) {
    bring_up();
    const std::vector<VI_CHN> cameras = {0, 1, 4, 5};
    start_capture({0, 1, 4, 5});
    std::vector<std::thread> threads;
    std::vector<int> mismatches(cameras.size(), -1);
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        threads.emplace_back([i, &cameras, &mismatches] {
            Buffer y(kPlaneBytes), uv(kPlaneBytes);
            int bad = 0;
            for (int pass = 0; pass < 20; ++pass) {
                VIDEO_FRAME_INFO_S f{};
                if (HI_MPI_VI_GetFrame(cameras[i], &f) != 0) {
                    ++bad;
                    continue;
                }
                IVE_HANDLE h = 0;
                const IVE_DATA_S sy{f.stVFrame.u32PhyAddr[0], 1280, 1280, 720}, dy{y.phys, 1280, 1280, 720};
                const IVE_DATA_S suv{f.stVFrame.u32PhyAddr[1], 1280, 1280, 720}, duv{uv.phys, 1280, 1280, 720};
                bad += HI_MPI_IVE_DMA(&h, &sy, &dy, HI_TRUE) != 0;
                bad += HI_MPI_IVE_DMA(&h, &suv, &duv, HI_TRUE) != 0;
                bad += std::memcmp(y.virt, f.stVFrame.pVirAddr[0], kPlaneBytes) != 0;
                bad += std::memcmp(uv.virt, f.stVFrame.pVirAddr[1], kPlaneBytes) != 0;
                bad += HI_MPI_VI_ReleaseFrame(cameras[i], &f) != 0;
            }
            mismatches[i] = bad;
        });
    }
    for (int k = 0; k < 20; ++k) host::capture_set_signal(cameras[static_cast<std::size_t>(k) % 4], k % 2 == 1);
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        EXPECT_EQ(mismatches[i], 0) << "camera " << cameras[i];
        EXPECT_EQ(host::capture_frames_delivered(cameras[i]), 20u);
    }
}

}  // namespace
