// The one-second tick: the time stamp and the two seconds counters.
#include <thread>

#include "tests/board_fixture.h"
#include "vio/vio.h"

namespace {

TEST(SecondsCounters, CountDownToZeroAndStay) {
    std::atomic<int> c{2};
    count_down(c);
    EXPECT_EQ(c, 1);
    count_down(c);
    count_down(c);
    count_down(c);
    EXPECT_EQ(c, 0);
    c = -3;  // never made more negative
    count_down(c);
    EXPECT_EQ(c, -3);
}

TEST(SecondsCounters, ConcurrentTicksNeverPassZero) {
    std::atomic<int> c{1000};
    std::vector<std::thread> ticks;
    for (int t = 0; t < 4; ++t)
        ticks.emplace_back([&] {
            for (int i = 0; i < 400; ++i) count_down(c);
        });
    for (auto& t : ticks) t.join();
    EXPECT_EQ(c, 0);
}

class Tick : public BoardTest {};

TEST_F(Tick, EachTickCountsBothCountersAndRenewsTheStamp) {
    // Without a region the tick still counts.
    delay_time = 2;
    record_time = 1;
    set_RGN(0);
    EXPECT_EQ(delay_time, 1);
    EXPECT_EQ(record_time, 0);
    set_RGN(0);
    set_RGN(0);
    EXPECT_EQ(delay_time, 0);
    EXPECT_EQ(record_time, 0);

    VB_CONF_S vb{};
    vb.u32MaxPoolCnt = 128;
    vb.astCommPool[0] = {784, 4, {}};
    ASSERT_EQ(HI_MPI_VB_SetConf(&vb), 0);
    ASSERT_EQ(HI_MPI_VB_Init(), 0);
    const MPP_SYS_CONF_S sys{64};
    ASSERT_EQ(HI_MPI_SYS_SetConf(&sys), 0);
    ASSERT_EQ(HI_MPI_SYS_Init(), 0);
    EXPECT_EQ(int_RGN(OverlayExHandle), -1);
    ASSERT_NE(stBittime.pData, nullptr);
    EXPECT_EQ(stBittime.u32Width, 288u);
    EXPECT_EQ(stBittime.u32Height, 26u);
    static_cast<std::uint16_t*>(stBittime.pData)[5] = 0xFFFF;
    host::inject_failure("HI_MPI_RGN_SetBitMap", 1, 0xA0128003u);
    set_RGN(0);
    // The bitmap was cleared and handed to the region (whose call failed).
    EXPECT_EQ(static_cast<std::uint16_t*>(stBittime.pData)[5], 0);
    EXPECT_EQ(host::board_log_lines("fault"),
              std::vector<std::string>{"fault: injected failure of HI_MPI_RGN_SetBitMap"});
}

}  // namespace
