#include "common/ds1337.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>

#include "platform/clock.h"
#include "platform/devices.h"

namespace {

constexpr std::uint8_t kControl = 0x0E, kStatus = 0x0F;

int rtc_read(std::uint8_t reg) {
    const int fd = dev_open("/dev/i2c", O_RDONLY);
    if (fd < 0) {
        std::printf("[%s]-%d: open gpioi2c failed!\n", __func__, __LINE__);
        return 0xFF;
    }
    I2C_DATA_S d{I2C_ADDR_RTC, reg, 1, 0, 1};
    const int r = dev_ioctl(fd, I2C_READ, &d);
    dev_close(fd);
    return r < 0 ? 0xFF : static_cast<int>(d.data & 0xFF);
}

void rtc_write(std::uint8_t reg, std::uint8_t value) {
    const int fd = dev_open("/dev/i2c", O_RDONLY);
    if (fd < 0) {
        std::printf("[%s]-%d: open gpioi2c failed!\n", __func__, __LINE__);
        return;
    }
    I2C_DATA_S d{I2C_ADDR_RTC, reg, 1, value, 1};
    dev_ioctl(fd, I2C_WRITE, &d);
    dev_close(fd);
}

std::uint8_t bcd(std::uint32_t n) { return static_cast<std::uint8_t>(((n / 10) << 4) | (n % 10)); }

}  // namespace

int rtc_get(rtc_time* tm) {
    const int control = rtc_read(kControl);
    int status = rtc_read(kStatus);
    int reg[7];
    for (int r = 0; r < 7; ++r) reg[r] = rtc_read(static_cast<std::uint8_t>(r));
    std::printf("Get RTC year: %02x mon/cent: %02x mday: %02x wday: %02x hr: %02x min: %02x sec: %02x control: %02x "
                "status: %02x\n",
                reg[6], reg[5], reg[4], reg[3], reg[2], reg[1], reg[0], control, status);
    int result = 0;
    if (status & 0x80) {
        std::printf("### Warning: RTC oscillator has stopped\n");
        status = rtc_read(kStatus);
        rtc_write(kStatus, static_cast<std::uint8_t>(status & 0x7F));
        result = -1;
    }
    tm->second = (reg[0] & 0x0F) + ((reg[0] & 0x7F) >> 4) * 10;
    tm->minute = (reg[1] & 0x0F) + ((reg[1] & 0x7F) >> 4) * 10;
    tm->hour = (reg[2] & 0x0F) + ((reg[2] & 0x3F) >> 4) * 10;
    tm->date = (reg[4] & 0x0F) + ((reg[4] & 0x3F) >> 4) * 10;
    tm->month = (reg[5] & 0x0F) + ((reg[5] & 0x1F) >> 4) * 10;
    tm->weekday = static_cast<std::uint32_t>((reg[3] - 1) & 7);
    tm->year = (reg[6] & 0x0F) + (reg[6] >> 4) * 10 + 2000;
    if (tm->year < 2015) tm->year = 2015;
    std::printf("Get DATE: %4d-%02d-%02d (wday=%d)  TIME: %2d:%02d:%02d\n", tm->year, tm->month, tm->date,
                tm->weekday, tm->hour, tm->minute, tm->second);
    return result;
}

int rtc_set(const rtc_time* tm) {
    std::printf("Set DATE: %4d-%02d-%02d (wday=%d)  TIME: %2d:%02d:%02d\n", tm->year, tm->month, tm->date,
                tm->weekday, tm->hour, tm->minute, tm->second);
    rtc_write(0x06, bcd(tm->year % 100));
    rtc_write(0x05, static_cast<std::uint8_t>(bcd(tm->month) | (tm->year >= 2000 ? 0x80 : 0)));
    rtc_write(0x03, bcd(tm->weekday + 1));
    rtc_write(0x04, bcd(tm->date));
    rtc_write(0x02, bcd(tm->hour));
    rtc_write(0x01, bcd(tm->minute));
    rtc_write(0x00, bcd(tm->second));
    return 0;
}

void rtc_reset() { rtc_write(kControl, 0x18); }

int set_system_time_from(const rtc_time* t) {
    // An unreadable chip gives fields no register of a running clock holds (month 25,
    // second 85): keep the clock rather than set a made-up date. A day past the month's
    // end (31 February, which the date page allows) is a date: mktime carries it over.
    const bool valid = t->month >= 1 && t->month <= 12 && t->date >= 1 && t->date <= 31 && t->hour < 24 &&
                       t->minute < 60 && t->second < 60;
    std::tm b{};
    b.tm_year = static_cast<int>(t->year) - 1900;
    b.tm_mon = static_cast<int>(t->month) - 1;
    b.tm_mday = static_cast<int>(t->date);
    b.tm_hour = static_cast<int>(t->hour);
    b.tm_min = static_cast<int>(t->minute);
    b.tm_sec = static_cast<int>(t->second);
    b.tm_isdst = -1;
    const std::time_t secs = valid ? std::mktime(&b) : static_cast<std::time_t>(-1);
    const timeval tv{secs, 0};
    if (secs == static_cast<std::time_t>(-1) || clk_settimeofday(&tv) != 0) {
        std::printf("Set system datatime error!/n");
        return -1;
    }
    return 0;
}

int SetSystemTime() {
    rtc_time t{};
    rtc_get(&t);
    return set_system_time_from(&t);
}

void GetSystemTime2(char* s) { format_time2(clk_time(), s); }

void format_time2(std::time_t t, char* s) {
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(s, 64, "%Y%m%d-%H%M%S", &local);
}

void GetSystemTime(char* s) {
    const std::time_t now = clk_time();
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(s, 64, "%F %T", &local);
}
