// The real-time clock chip on I2C, and the system time taken from it.
#pragma once

#include <cstdint>
#include <ctime>

struct rtc_time {
    std::uint32_t year;     // full year
    std::uint32_t month;    // 1-12
    std::uint32_t date;     // day of month
    std::uint32_t hour;     // 0-23
    std::uint32_t minute;
    std::uint32_t second;
    std::uint32_t weekday;  // 0-6
};

int rtc_get(rtc_time* tm);
int rtc_set(const rtc_time* tm);
void rtc_reset();
// Sets the system clock from a chip record; -1 (and the message) when the
// record is not a real date and time or the clock cannot be set.
int set_system_time_from(const rtc_time* tm);
int SetSystemTime();
void GetSystemTime2(char* s);  // "%Y%m%d-%H%M%S", at most 64 bytes
void format_time2(std::time_t t, char* s);  // the same for the moment t
void GetSystemTime(char* s);   // "%F %T", at most 64 bytes
