// The clock chip's BCD registers and the system time taken from them.
#include <ctime>

#include "common/ds1337.h"
#include "platform/clock.h"
#include "tests/board_fixture.h"

namespace {

class ClockChip : public BoardTest {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        BoardTest::SetUp();
    }
};

TEST_F(ClockChip, SettingWritesBcdRegisters) {
    const rtc_time t{2016, 2, 29, 13, 45, 7, 1};
    testing::internal::CaptureStdout();
    EXPECT_EQ(rtc_set(&t), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Set DATE: 2016-02-29 (wday=1)  TIME: 13:45:07\n");
    const auto r = host::rtc_registers();
    // Seconds may have ticked on; the rest is exact.
    EXPECT_TRUE(r[0] == 0x07 || r[0] == 0x08);
    EXPECT_EQ(r[1], 0x45);
    EXPECT_EQ(r[2], 0x13);
    EXPECT_EQ(r[3], 0x02);  // weekday + 1
    EXPECT_EQ(r[4], 0x29);
    EXPECT_EQ(r[5], 0x82);  // February with the century bit
    EXPECT_EQ(r[6], 0x16);
}

TEST_F(ClockChip, ReadingDecodesAndClampsTheYear) {
    host::rtc_set(2014, 12, 31, 23, 59, 30, 0);  // Sunday
    rtc_time t{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(rtc_get(&t), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(t.year, 2015u);  // register 0x14 is read as 2015
    EXPECT_EQ(t.month, 12u);
    EXPECT_EQ(t.date, 31u);
    EXPECT_EQ(t.hour, 23u);
    EXPECT_EQ(t.minute, 59u);
    EXPECT_EQ(t.weekday, 0u);  // written as 1, read back as 0
    EXPECT_NE(out.find("Get RTC year: 14 mon/cent: 92 mday: 31 wday: 01 hr: 23 min: 59"), std::string::npos) << out;
    EXPECT_NE(out.find("Get DATE: 2015-12-31 (wday=0)  TIME: 23:59:"), std::string::npos) << out;
}

TEST_F(ClockChip, StoppedOscillatorIsReportedAndCleared) {
    host::rtc_set(2020, 6, 1, 8, 0, 0, 1);
    host::rtc_stop_oscillator();
    rtc_time t{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(rtc_get(&t), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("### Warning: RTC oscillator has stopped"),
              std::string::npos);
    EXPECT_EQ(host::rtc_registers()[0x0F] & 0x80, 0);
    EXPECT_EQ(t.year, 2020u);
}

TEST_F(ClockChip, UnreadableChipNeverSetsAnImpossibleDate) {
    host::inject_failure("open /dev/i2c", -1);
    const std::time_t before = clk_time();
    rtc_time t{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(rtc_get(&t), -1);
    EXPECT_EQ(t.second, 85u);
    EXPECT_EQ(t.minute, 85u);
    EXPECT_EQ(t.hour, 45u);
    EXPECT_EQ(t.weekday, 6u);
    EXPECT_EQ(t.date, 45u);
    EXPECT_EQ(t.month, 25u);
    EXPECT_EQ(t.year, 2165u);
    EXPECT_EQ(set_system_time_from(&t), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("open gpioi2c failed!"), std::string::npos);
    EXPECT_NE(out.find("Set system datatime error!"), std::string::npos);
    EXPECT_LE(clk_time() - before, 2);
}

TEST_F(ClockChip, SystemTimeFollowsTheChipAndTheHostClockDoesNot) {
    host::rtc_set(2016, 2, 29, 13, 45, 7, 1);
    const std::time_t host_before = std::time(nullptr);
    EXPECT_EQ(SetSystemTime(), 0);
    // 2016-02-29 13:45:07 UTC is 1456753507 seconds after 1970.
    EXPECT_NEAR(static_cast<double>(clk_time()), 1456753507.0, 2.0);
    EXPECT_GE(std::time(nullptr), host_before);
    char name[64];
    GetSystemTime2(name);
    EXPECT_EQ(std::string(name).substr(0, 13), "20160229-1345");
    GetSystemTime(name);
    EXPECT_EQ(std::string(name).substr(0, 16), "2016-02-29 13:45");
}

TEST_F(ClockChip, DaysPastTheMonthEndCarryOverAndNonDatesAreRejected) {
    testing::internal::CaptureStdout();
    // 2015 is no leap year: 29 February is 1 March; 31 February 01:59 is 3 March 01:59
    // (1425347940 s after 1970 in UTC).
    const rtc_time feb29{2015, 2, 29, 0, 0, 0, 0};
    EXPECT_EQ(set_system_time_from(&feb29), 0);
    char name[64];
    GetSystemTime2(name);
    EXPECT_EQ(std::string(name).substr(0, 8), "20150301");
    const rtc_time feb31{2015, 2, 31, 1, 59, 0, 0};
    EXPECT_EQ(set_system_time_from(&feb31), 0);
    EXPECT_NEAR(static_cast<double>(clk_time()), 1425347940.0, 2.0);
    // Registers that are no date at all leave the clock alone.
    for (const rtc_time& bad : {rtc_time{2015, 13, 1, 0, 0, 0, 0}, rtc_time{2015, 0, 1, 0, 0, 0, 0},
                                rtc_time{2015, 3, 0, 0, 0, 0, 0}, rtc_time{2015, 3, 32, 0, 0, 0, 0},
                                rtc_time{2015, 3, 1, 24, 0, 0, 0}, rtc_time{2015, 3, 1, 0, 60, 0, 0},
                                rtc_time{2015, 3, 1, 0, 0, 60, 0}})
        EXPECT_EQ(set_system_time_from(&bad), -1) << bad.month << " " << bad.date;
    EXPECT_NEAR(static_cast<double>(clk_time()), 1425347940.0, 2.0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Set system datatime error!"), std::string::npos);
}

}  // namespace
