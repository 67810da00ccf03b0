// The DS1337 clock chip on I2C address 0xD0: sixteen registers whose time
// runs with board time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "host/devices_parts.h"
#include "host/internal.h"

namespace host {
namespace {

constexpr unsigned kSeconds = 0x00, kMinutes = 0x01, kHours = 0x02, kWeekday = 0x03, kDate = 0x04,
                   kMonth = 0x05, kYear = 0x06, kControl = 0x0E, kStatus = 0x0F;
constexpr std::uint8_t kCentury = 0x80;
constexpr std::uint8_t kOsf = 0x80;
constexpr std::uint8_t kStatusFlags = 0x83;  // OSF, A2F, A1F: only ever cleared by a write
constexpr std::uint64_t kDaysIn200Years = 2 * 36525;  // two chip centuries, leap every 4th year

std::uint8_t to_bcd(unsigned n) { return static_cast<std::uint8_t>(((n / 10) << 4 | (n % 10)) & 0xFF); }

// The value of a BCD byte within [lo, hi], or -1.
int from_bcd(std::uint8_t v, int lo, int hi) {
    const int high = v >> 4, low = v & 0x0F;
    if (high > 9 || low > 9) return -1;
    const int n = high * 10 + low;
    return n < lo || n > hi ? -1 : n;
}

int month_length(int month, int year_in_century) {
    static constexpr int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year_in_century % 4 == 0 ? 29 : kLength[month - 1];
}

struct Chip {
    std::mutex mutex;
    std::array<std::uint8_t, 16> regs{};
    double second_start = 0;  // board time at which the current second began

    // Brings the registers up to the present board time.
    void catch_up() {
        const double now = board_uptime();
        const double whole = std::floor(now - second_start);
        if (whole >= 1) {
            parts::rtc_advance(regs, static_cast<std::uint64_t>(whole));
            second_start += whole;
        }
    }

    void set(int year, int month, int day, int hour, int minute, int second, int weekday) {
        regs[kSeconds] = to_bcd(static_cast<unsigned>(second));
        regs[kMinutes] = to_bcd(static_cast<unsigned>(minute));
        regs[kHours] = to_bcd(static_cast<unsigned>(hour));
        regs[kWeekday] = to_bcd(static_cast<unsigned>(weekday + 1));
        regs[kDate] = to_bcd(static_cast<unsigned>(day));
        regs[kMonth] = static_cast<std::uint8_t>(to_bcd(static_cast<unsigned>(month)) | (year >= 2000 ? kCentury : 0));
        regs[kYear] = to_bcd(static_cast<unsigned>(((year % 100) + 100) % 100));
        second_start = board_uptime();
    }
};

Chip g_chip;

}  // namespace

void parts::rtc_advance(std::array<std::uint8_t, 16>& r, std::uint64_t seconds) {
    if (seconds == 0) return;
    const int sec = from_bcd(r[kSeconds], 0, 59);
    if (sec < 0) return;
    std::uint64_t t = static_cast<std::uint64_t>(sec) + seconds;
    r[kSeconds] = to_bcd(static_cast<unsigned>(t % 60));
    const int minute = from_bcd(r[kMinutes], 0, 59);
    if (minute < 0) return;
    t = static_cast<std::uint64_t>(minute) + t / 60;
    r[kMinutes] = to_bcd(static_cast<unsigned>(t % 60));
    const int hour = from_bcd(r[kHours], 0, 23);
    if (hour < 0) return;
    t = static_cast<std::uint64_t>(hour) + t / 60;
    r[kHours] = to_bcd(static_cast<unsigned>(t % 24));
    std::uint64_t days = t / 24;
    if (days == 0) return;

    // The weekday is a free counter of midnights, not derived from the date.
    if (const int wd = from_bcd(r[kWeekday], 1, 7); wd > 0)
        r[kWeekday] = static_cast<std::uint8_t>((static_cast<std::uint64_t>(wd - 1) + days) % 7 + 1);

    int date = from_bcd(r[kDate], 1, 31);
    int month = from_bcd(r[kMonth] & 0x7F, 1, 12);
    int year = from_bcd(r[kYear], 0, 99);
    if (date < 0 || month < 0 || year < 0) return;
    std::uint8_t century = r[kMonth] & kCentury;
    // After two centuries every register is back where it was.
    days %= kDaysIn200Years;
    while (days > 0) {
        const int left = std::max(0, month_length(month, year) - date);  // days to the month's end
        if (days <= static_cast<std::uint64_t>(left)) {
            date += static_cast<int>(days);
            break;
        }
        days -= static_cast<std::uint64_t>(left) + 1;
        date = 1;
        if (++month > 12) {
            month = 1;
            if (++year > 99) {
                year = 0;
                century ^= kCentury;
            }
        }
    }
    r[kDate] = to_bcd(static_cast<unsigned>(date));
    r[kMonth] = static_cast<std::uint8_t>(to_bcd(static_cast<unsigned>(month)) | century);
    r[kYear] = to_bcd(static_cast<unsigned>(year));
}

void parts::rtc_power_on() {
    std::lock_guard lock(g_chip.mutex);
    g_chip.regs.fill(0);
    g_chip.regs[kControl] = 0x18;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    g_chip.set(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_wday);
}

bool parts::rtc_read(unsigned reg, std::uint8_t& value) {
    if (reg >= 16) return false;
    std::lock_guard lock(g_chip.mutex);
    g_chip.catch_up();
    value = g_chip.regs[reg];
    return true;
}

bool parts::rtc_write(unsigned reg, std::uint8_t value) {
    if (reg >= 16) return false;
    std::lock_guard lock(g_chip.mutex);
    g_chip.catch_up();
    if (reg == kStatus) {
        const std::uint8_t old = g_chip.regs[kStatus];
        g_chip.regs[kStatus] =
            static_cast<std::uint8_t>((value & ~kStatusFlags) | (old & value & kStatusFlags));
        return true;
    }
    g_chip.regs[reg] = value;
    // Writing the seconds restarts the chip's count-down to the next second.
    if (reg == kSeconds) g_chip.second_start = board_uptime();
    return true;
}

void rtc_set(int year, int month, int day, int hour, int minute, int second, int weekday) {
    {
        std::lock_guard lock(g_chip.mutex);
        g_chip.set(year, month, day, hour, minute, second, weekday);
    }
    char text[80];
    std::snprintf(text, sizeof text, "set %04d-%02d-%02d %02d:%02d:%02d weekday %d", year, month, day, hour, minute,
                  second, weekday);
    board_log("rtc", text);
}

void rtc_stop_oscillator() {
    {
        std::lock_guard lock(g_chip.mutex);
        g_chip.catch_up();
        g_chip.regs[kStatus] |= kOsf;
    }
    board_log("rtc", "oscillator stopped");
}

std::array<std::uint8_t, 16> rtc_registers() {
    std::lock_guard lock(g_chip.mutex);
    g_chip.catch_up();
    return g_chip.regs;
}

}  // namespace host
