#include "sim/scenario.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <utility>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "host/board.h"
#include "vio/settings.h"

namespace sim {

// Decimal only: strtod would also take hexadecimal, "inf" and "nan".
bool parse_decimal(const std::string& s, double& out) {
    if (s.empty() || s.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

namespace {

std::vector<std::string> split_words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Sensor distances to an obstacle `d` cm away: the middle sensors see it first.
std::array<long, 4> obstacle(long d) { return {std::min(255L, d + 20), d, d, std::min(255L, d + 20)}; }

// Decimal, or hexadecimal after 0x; a leading zero is no octal ("010" is 10).
bool parse_long(const std::string& s, long& out, long lo, long hi) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    const std::size_t digits = s[0] == '-' || s[0] == '+' ? 1 : 0;
    const bool hex = s.size() > digits + 1 && s[digits] == '0' && (s[digits + 1] == 'x' || s[digits + 1] == 'X');
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s.c_str(), &end, hex ? 16 : 10);
    return end && *end == '\0' && errno == 0 && out >= lo && out <= hi;
}

// Bytes of one raw 1280 x 720 YUV 4:2:2 frame.
constexpr std::uintmax_t kYuvFrameBytes = 1280 * 720 * 2;

// Whether a file can be opened for reading and is a regular file; else why not.
bool readable_file(const std::filesystem::path& file, std::uintmax_t& size, std::string& why) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a pipe must not block
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0;
    if (!ok) why = std::strerror(errno);
    ::close(fd);
    if (!ok) return false;
    if (S_ISDIR(st.st_mode)) {
        why = "it is a folder";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    size = static_cast<std::uintmax_t>(st.st_size);
    return true;
}

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool on_off(const std::string& s, bool& out) {
    if (s == "on") out = true;
    else if (s == "off") out = false;
    else return false;
    return true;
}

// What each setting and event takes, for a line with the wrong number of words.
constexpr std::pair<const char*, const char*> kSettingUsage[] = {
    {"board_code", "board_code N"},
    {"rtc", "rtc YYYY-MM-DD HH:MM:SS [WEEKDAY] [unchecked]"},
    {"paced", "paced on|off"},
    {"speed", "speed X"},
    {"mcu_reject_line", "mcu_reject_line N"},
    {"mcu_ignore_load", "mcu_ignore_load N"},
    {"mcu_reply_delay", "mcu_reply_delay SECONDS"},
    {"mcu", "mcu external|internal"},
    {"settings", "settings FILE|scene"},
    {"scene", "scene LENGTH WIDTH RANGE"},
    {"disk", "disk LABEL MB [whole] [unformatted]"},
    {"disk_file", "disk_file LABEL FILE [NAME]"},
    {"fail", "fail TIMES OPERATION"},
    {"capture", "capture scene|pattern, capture yuv CH FILE or capture nosignal CH"},
};
constexpr std::pair<const char*, const char*> kEventUsage[] = {
    {"acc", "T acc on|off"},
    {"reverse", "T reverse on|off"},
    {"record_forbid", "T record_forbid on|off"},
    {"record_lock", "T record_lock on|off"},
    {"turn", "T turn left|right|both|off"},
    {"angle", "T angle A"},
    {"sweep", "T sweep FROM TO SECONDS"},
    {"radar", "T radar F1 F2 F3 F4 B1 B2 B3 B4 [MODE] (eight distances in cm)"},
    {"approach", "T approach front|back FROM TO SECONDS"},
    {"key", "T key CODE"},
    {"button", "T button NAME|BIT [SECONDS]"},
    {"ir", "T ir NAME|CODE [REPEATS]"},
    {"serial", "T serial BYTE..."},
    {"board_code", "T board_code N"},
    {"disk", "T disk insert LABEL MB [whole] [unformatted] or T disk remove"},
    {"rtc_stop", "T rtc_stop"},
    {"screenshot", "T screenshot NAME"},
    {"cameras", "T cameras NAME"},
    {"overlay", "T overlay NAME"},
    {"fail", "T fail TIMES OPERATION"},
    {"clear_failures", "T clear_failures"},
    {"memory", "T memory"},
    {"log", "T log TEXT"},
    {"power", "T power off"},
};

// The board's failure points, as it names them: its commands ("sh mount"),
// the paths it takes the free space of, its devices and the calls on them,
// and the media calls (HI_MPI_<module>_<call>).
constexpr const char* kCommands[] = {"reboot", "himm", "mount", "umount", "mkfs.vfat", "rm", "mv", "cp", "tar"};
constexpr const char* kStatfsPaths[] = {"/home", "/opt", "/etc/init.d"};
constexpr const char* kDevices[] = {"/dev/fb0",   "/dev/fb2",     "/dev/gpioi2c",     "/dev/nvp6114",  "/dev/i2c",
                                    "/dev/Hi_IR", "/dev/ttyAMA1", "/dev/tlv320aic31", "/dev/tw2865dev"};
constexpr const char* kDeviceCalls[] = {"open", "read", "write", "tcsetattr"};
constexpr std::pair<const char*, const char*> kMediaCalls[] = {
    {"ADEC", "CreateChn DestroyChn SendStream"},
    {"AENC", "CreateChn DestroyChn GetFd GetStream ReleaseStream SendFrame"},
    {"AI", "Disable DisableAnr DisableChn DisableReSmp Enable EnableAnr EnableChn EnableReSmp GetFd GetFrame "
           "ReleaseFrame SetPubAttr"},
    {"AO", "Disable DisableChn DisableReSmp Enable EnableChn EnableReSmp SendFrame SetPubAttr"},
    {"HDMI", "Close DeInit GetAttr Init Open SetAVMute SetAttr Start Stop"},
    {"IVE", "DMA Query"},
    {"RGN", "AttachToChn Create SetBitMap"},
    {"SYS", "Bind Exit GetCurPts GetMemConf Init MmzAlloc MmzAlloc_Cached MmzFlushCache MmzFree SetConf SetMemConf "
            "UnBind"},
    {"VB", "Exit Init SetConf"},
    {"VDA", "CreateChn DestroyChn GetData GetFd ReleaseData ResetOdRegion StartRecvPic StopRecvPic"},
    {"VDEC", "CreateChn DestroyChn GetPrtclParam Query SendStream SetPrtclParam StartRecvStream StopRecvStream"},
    {"VENC", "CreateChn CreateGroup DestroyChn DestroyGroup GetChnAttr GetFd GetStream Query RegisterChn "
             "ReleaseStream SetMaxStreamCnt StartRecvPic StopRecvPic UnRegisterChn"},
    {"VI", "DisableChn DisableDev EnableChn EnableDev GetFrame ReleaseFrame SetChnAttr SetDevAttr SetFrameDepth"},
    {"VO", "ChnPause ChnResume ChnStep Disable DisableChn DisableVideoLayer DisableWbc Enable EnableChn "
           "EnableVideoLayer EnableWbc SetChnAttr SetChnFrameRate SetPubAttr SetVideoLayerAttr SetWbcAttr"},
    {"VPSS", "CreateGrp DestroyGrp DisableChn EnableChn GetGrpParam GetPreScale SetChnAttr SetGrpParam SetPreScale "
             "StartGrp StopGrp"},
};

template <std::size_t N>
bool listed(const char* const (&list)[N], const std::string& word) {
    return std::any_of(std::begin(list), std::end(list), [&](const char* x) { return word == x; });
}

template <std::size_t N>
std::string joined(const char* const (&list)[N], const char* between) {
    std::string out;
    for (const char* x : list) out += (out.empty() ? "" : between) + std::string(x);
    return out;
}

// The operation a fail line names, as the board names it; else why not.
std::optional<std::string> failure_op(const std::vector<std::string>& w, std::size_t at, std::string& why) {
    const std::size_t n = w.size() - at;
    const std::string& op = w[at];
    if (n == 1 && op == "settimeofday") return op;
    if (n == 2 && op == "sh") {
        if (listed(kCommands, w[at + 1])) return "sh " + w[at + 1];
        why = "the board's commands are " + joined(kCommands, ", ");
        return std::nullopt;
    }
    if (n == 2 && op == "statfs") {
        if (listed(kStatfsPaths, w[at + 1])) return "statfs " + w[at + 1];
        why = "the system takes the free space of " + joined(kStatfsPaths, ", ");
        return std::nullopt;
    }
    if ((n == 2 && listed(kDeviceCalls, op)) || (n == 3 && op == "ioctl")) {
        if (!listed(kDevices, w[at + 1])) {
            why = "the board has no device " + w[at + 1] + " (its devices: " + joined(kDevices, ", ") + ")";
            return std::nullopt;
        }
        if (n == 2) return op + " " + w[at + 1];
        long request = 0;
        if (parse_long(w[at + 2], request, 0, 0xFFFFFFFFL)) return host::ioctl_op(w[at + 1], static_cast<unsigned long>(request));
        why = "an ioctl request is a number such as 0x4004467C";
        return std::nullopt;
    }
    if (n == 1 && op.starts_with("HI_MPI_")) {
        const std::string name = op.substr(7);
        const std::string module = name.substr(0, name.find('_'));
        const std::string call = name.size() > module.size() ? name.substr(module.size() + 1) : std::string();
        for (const auto& [m, calls] : kMediaCalls) {
            if (module != m) continue;
            if (!call.empty() && (" " + std::string(calls) + " ").find(" " + call + " ") != std::string::npos) return op;
            why = "the board has no media call " + op + " (its HI_MPI_" + module + "_ calls: " + calls + ")";
            return std::nullopt;
        }
        why = "the board has no media call " + op;
        return std::nullopt;
    }
    std::string words;
    for (std::size_t i = at; i < w.size(); ++i) words += (i > at ? " " : "") + w[i];
    why = "unknown operation \"" + words + "\"; the board fails settimeofday, sh COMMAND (" + joined(kCommands, ", ") +
          "), statfs " + joined(kStatfsPaths, "|") + ", " + joined(kDeviceCalls, "|") +
          " DEVICE, ioctl DEVICE REQUEST, and a media call such as HI_MPI_VI_GetFrame";
    return std::nullopt;
}

// The longest name of a file (and so of a disk's folder): NAME_MAX.
constexpr std::size_t kMaxName = 255;

template <std::size_t N>
const char* usage_of(const std::pair<const char*, const char*> (&table)[N], const std::string& word) {
    for (const auto& [name, usage] : table)
        if (word == name) return usage;
    return nullptr;
}

struct Parser {
    Scenario sc;
    std::filesystem::path base;
    int line = 0;
    std::string error;
    std::array<long, 4> front{};
    std::array<long, 4> back{};
    long radar_mode = 0;
    // Each written event's time and line, and where the run is switched off.
    double last_time = 0;
    int last_line = 0;
    std::optional<std::pair<double, int>> power_off;
    std::vector<std::pair<double, int>> written;
    std::vector<std::pair<std::string, int>> pictures;  // names in screens/ and their lines
    int external_line = 0, reply_delay_line = 0, reject_line_line = 0, ignore_load_line = 0;

    bool fail(const std::string& what) {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }
    void warn(const std::string& what) { sc.warnings.push_back("line " + std::to_string(line) + ": " + what); }

    void add(double t, std::string verb, std::vector<std::string> args = {}, int steps = 0, double secs = 0) {
        sc.events.push_back(Event{t, line, std::move(verb), std::move(args), steps, secs});
    }

    void add_radar(double t) {
        std::vector<std::string> args;
        for (long v : front) args.push_back(std::to_string(v));
        for (long v : back) args.push_back(std::to_string(v));
        args.push_back(std::to_string(radar_mode));
        add(t, "radar", std::move(args));
    }

    bool setting(const std::vector<std::string>& w) {
        const std::string& k = w[0];
        long n = 0;
        if (k == "board_code" && w.size() == 2) {
            if (!parse_long(w[1], n, 0, 255)) return fail("board code must be 0..255");
            sc.board_code = static_cast<int>(n);
        } else if (k == "rtc" && w.size() >= 3 && w.size() <= 5) {
            int y, mo, d, h, mi, s;
            char tail;
            // The date page can leave a day past the month's end in the chip
            // (31 February); a scenario plays that chip only when it says so.
            const bool unchecked = w.size() > 3 && w.back() == "unchecked";
            if (std::sscanf(w[1].c_str(), "%d-%d-%d%c", &y, &mo, &d, &tail) != 3 ||
                std::sscanf(w[2].c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail) != 3 || w.size() - unchecked > 4)
                return fail("rtc wants YYYY-MM-DD HH:MM:SS [weekday] [unchecked]");
            if (mo < 1 || mo > 12 || d < 1 || d > (unchecked ? 31 : days_in_month(y, mo)))
                return fail("rtc " + w[1] + ": no such date");
            if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
                return fail("rtc " + w[2] + ": no such time (00:00:00 to 23:59:59)");
            // The clock chip keeps two digits of the year.
            if (y < 2000 || y > 2099) return fail("rtc " + w[1] + ": the clock chip's years are 2000 to 2099");
            long wd = 0;
            if (w.size() - unchecked == 4 && !parse_long(w[3], wd, 0, 6)) return fail("weekday must be 0..6");
            sc.rtc = std::vector<int>{y, mo, d, h, mi, s, static_cast<int>(wd)};
        } else if (k == "paced" && w.size() == 2) {
            if (!on_off(w[1], sc.paced)) return fail("paced on|off");
        } else if (k == "speed" && w.size() == 2) {
            double v;
            // Slower would make the board's sleeps overflow; faster leaves
            // the system no real time to run.
            if (!parse_decimal(w[1], v) || v < kMinSpeed || v > kMaxSpeed)
                return fail("speed must be 0.01..1000 board seconds per real second");
            sc.speed = v;
        } else if (k == "mcu_reject_line" && w.size() == 2) {
            if (!parse_long(w[1], n, 1, 1000000)) return fail("mcu_reject_line wants a line number from 1");
            sc.mcu_reject_lines.push_back(static_cast<int>(n));
            reject_line_line = line;
        } else if (k == "mcu_ignore_load" && w.size() == 2) {
            if (!parse_long(w[1], n, 0, 1000)) return fail("mcu_ignore_load wants a count, 0 to 1000");
            sc.mcu_ignore_loads = static_cast<int>(n);
            ignore_load_line = line;
        } else if (k == "mcu_reply_delay" && w.size() == 2) {
            double v;
            if (!parse_decimal(w[1], v) || v < 0 || v > kMaxReplyDelay)
                return fail("mcu_reply_delay wants board seconds, 0 to 3600");
            sc.mcu_reply_delay = v;
            reply_delay_line = line;
        } else if (k == "mcu" && w.size() == 2 && (w[1] == "external" || w[1] == "internal")) {
            sc.external_mcu = w[1] == "external";
            external_line = sc.external_mcu ? line : 0;
        } else if (k == "settings" && w.size() == 2 && sc.settings_line > 0) {
            return fail("the settings are already given by line " + std::to_string(sc.settings_line));
        } else if (k == "settings" && w.size() == 2 && w[1] == "scene") {
            sc.scene_settings = true;
            sc.settings_line = line;
        } else if (k == "scene" && w.size() == 4) {
            long len = 0, width = 0, range = 0;
            if (!parse_long(w[1], len, 1000, 65535) || !parse_long(w[2], width, 1000, 65534) ||
                !parse_long(w[3], range, 0, 2))
                return fail("scene LENGTH WIDTH RANGE: mm 1000..65535, 1000..65534, view range 0..2");
            sc.scene_layout = std::array<int, 3>{static_cast<int>(len), static_cast<int>(width), static_cast<int>(range)};
        } else if (k == "settings" && w.size() == 2) {
            sc.settings_file = base / w[1];
            sc.settings_line = line;
        } else if (k == "disk" && w.size() >= 3) {
            // The board has one USB port.
            if (sc.disk_line > 0)
                return fail("a disk is already in at power-on (line " + std::to_string(sc.disk_line) +
                            "); the board has one USB port");
            DiskSetting d;
            if (!disk_words(w, 1, d)) return false;
            sc.disks.push_back(d);
            sc.disk_line = line;
        } else if (k == "disk_file" && (w.size() == 3 || w.size() == 4)) {
            DiskFile f{w[1], base / w[2], w.size() == 4 ? w[3] : std::filesystem::path(w[2]).filename().string(), line};
            if (f.name.empty() || f.name.find('/') != std::string::npos || f.name == "." || f.name == "..")
                return fail("a file on a disk has a plain name");
            if (f.name.size() > kMaxName) return fail("a file name on a disk is at most 255 bytes");
            sc.disk_files.push_back(std::move(f));
        } else if (k == "fail" && w.size() >= 3) {
            if (!parse_long(w[1], n, -1, 1000000) || n == 0) return fail("fail TIMES OPERATION (TIMES -1: always)");
            std::string why;
            const auto op = failure_op(w, 2, why);
            if (!op) return fail(why);
            sc.failures.push_back({std::to_string(n), *op});
        } else if (k == "capture" && w.size() == 2 && (w[1] == "pattern" || w[1] == "scene")) {
            sc.captures.push_back(CaptureSetting{w[1], -1, {}, line});
        } else if (k == "capture" && ((w.size() == 4 && w[1] == "yuv") || (w.size() == 3 && w[1] == "nosignal"))) {
            if (!parse_long(w[2], n, 0, 7) || (n != 0 && n != 1 && n != 4 && n != 5))
                return fail("the cameras are on channels 0 (left), 1 (right), 4 (back) and 5 (front)");
            sc.captures.push_back(CaptureSetting{w[1], static_cast<int>(n), w.size() == 4 ? base / w[3] : "", line});
        } else if (const char* usage = usage_of(kSettingUsage, k)) {
            return fail(k + " wants: " + usage);
        } else if (usage_of(kEventUsage, k)) {
            return fail(k + " is an event: it needs a time first (" + usage_of(kEventUsage, k) + ")");
        } else {
            return fail("unknown setting \"" + k + "\"");
        }
        return true;
    }

    bool disk_words(const std::vector<std::string>& w, std::size_t at, DiskSetting& d) {
        long mb = 0;
        if (w.size() < at + 2) return fail("disk wants a label and a size in MB");
        d.label = w[at];
        if (d.label.find('/') != std::string::npos || d.label[0] == '.')
            return fail("a disk label is a plain name");
        if (d.label.size() > kMaxName) return fail("a disk label is at most 255 bytes");
        if (!parse_long(w[at + 1], mb, 1, 4L << 20)) return fail("disk size must be 1..4194304 MB");
        d.capacity_mb = static_cast<std::uint64_t>(mb);
        for (std::size_t i = at + 2; i < w.size(); ++i) {
            if (w[i] == "whole") d.partitioned = false;
            else if (w[i] == "unformatted") d.formatted = false;
            else return fail("disk options are whole and unformatted");
        }
        return true;
    }

    bool timed(double t, const std::vector<std::string>& w) {
        const std::string& v = w[1];
        const std::size_t n = w.size() - 2;  // arguments
        auto arg = [&](std::size_t i) -> const std::string& { return w[2 + i]; };
        long x = 0;
        bool b = false;
        if ((v == "acc" || v == "reverse" || v == "record_forbid" || v == "record_lock") && n == 1) {
            if (!on_off(arg(0), b)) return fail(v + " on|off");
            const std::string field = v == "record_forbid" ? "record_forbidden" : v;
            add(t, "state", {field, b ? "1" : "0"});
        } else if (v == "turn" && n == 1) {
            const std::string& s = arg(0);
            if (s != "left" && s != "right" && s != "both" && s != "off") return fail("turn left|right|both|off");
            add(t, "state", {"turn", s});
        } else if (v == "angle" && n == 1) {
            if (!parse_long(arg(0), x, -32768, 32767)) return fail("angle must be a signed 16-bit number");
            add(t, "state", {"angle", std::to_string(x)});
        } else if (v == "sweep" && n == 3) {
            long from, to;
            double secs;
            if (!parse_long(arg(0), from, -32768, 32767)) return fail("sweep FROM " + arg(0) + ": an angle is -32768..32767");
            if (!parse_long(arg(1), to, -32768, 32767)) return fail("sweep TO " + arg(1) + ": an angle is -32768..32767");
            if (!ramp_seconds(arg(2), secs)) return fail("sweep SECONDS " + arg(2) + ": more than 0, at most 3600");
            const int steps = std::max(1, static_cast<int>(std::lround(secs / 0.05)));
            add(t, "sweep", {std::to_string(from), std::to_string(to)}, steps, secs);
        } else if (v == "radar" && (n == 8 || n == 9)) {
            for (std::size_t i = 0; i < 8; ++i) {
                if (!parse_long(arg(i), x, 0, 255)) return fail("radar distances are 0..255 cm");
                (i < 4 ? front[i] : back[i - 4]) = x;
            }
            if (n == 9 && !parse_long(arg(8), radar_mode, 0, 255)) return fail("radar mode is 0..255");
            add_radar(t);
        } else if (v == "approach" && n == 4) {
            long from, to;
            double secs;
            if (arg(0) != "front" && arg(0) != "back") return fail("approach front|back FROM_CM TO_CM SECONDS");
            if (!parse_long(arg(1), from, 0, 255)) return fail("approach FROM_CM " + arg(1) + ": a distance is 0..255 cm");
            if (!parse_long(arg(2), to, 0, 255)) return fail("approach TO_CM " + arg(2) + ": a distance is 0..255 cm");
            if (!ramp_seconds(arg(3), secs)) return fail("approach SECONDS " + arg(3) + ": more than 0, at most 3600");
            const int steps = std::max(1, static_cast<int>(std::lround(secs / 0.1)));
            std::vector<std::string> args{arg(0), std::to_string(from), std::to_string(to)};
            for (long d : front) args.push_back(std::to_string(d));
            for (long d : back) args.push_back(std::to_string(d));
            args.push_back(std::to_string(radar_mode));
            add(t, "approach", std::move(args), steps, secs);
            // Later radar lines start from where the obstacle stopped.
            (arg(0) == "front" ? front : back) = obstacle(to);
        } else if (v == "key" && n == 1) {
            if (!parse_long(arg(0), x, 0, 255)) return fail("key code is 0..255");
            add(t, "key", {std::to_string(x)});
        } else if (v == "button" && (n == 1 || n == 2)) {
            auto bit = button_bit(arg(0));
            double secs = 0.2;
            if (!bit) return fail("button up|down|left|right|ok|exit or a bit value");
            if (n == 2 && (!parse_decimal(arg(1), secs) || secs <= 0 || secs > 3600))
                return fail("button hold time in seconds");
            add(t, "state", {"car_key", std::to_string(*bit)});
            add(t + secs, "state", {"car_key", "0"});
        } else if (v == "ir" && (n == 1 || n == 2)) {
            auto code = remote_code(arg(0));
            if (!code) return fail("ir menu|back|ok|up|down|left|right or a key code");
            x = 0;
            if (n == 2 && !parse_long(arg(1), x, 0, 1000)) return fail("ir repeats are 0..1000");
            add(t, "ir", {std::to_string(*code), std::to_string(x)});
        } else if (v == "serial" && n >= 1) {
            std::vector<std::string> bytes;
            for (std::size_t i = 0; i < n; ++i) {
                if (!parse_long(arg(i), x, 0, 255)) return fail("serial bytes are numbers 0..255 (0x.. allowed)");
                bytes.push_back(std::to_string(x));
            }
            add(t, "serial", std::move(bytes));
        } else if (v == "board_code" && n == 1) {
            if (!parse_long(arg(0), x, 0, 255)) return fail("board code must be 0..255");
            add(t, "board_code", {std::to_string(x)});
        } else if (v == "disk" && n >= 1 && arg(0) == "insert") {
            DiskSetting d;
            if (!disk_words(w, 3, d)) return false;
            add(t, "disk_insert", {d.label, std::to_string(d.capacity_mb), d.partitioned ? "1" : "0",
                                   d.formatted ? "1" : "0"});
        } else if (v == "disk" && n == 1 && arg(0) == "remove") {
            add(t, "disk_remove");
        } else if (v == "rtc_stop" && n == 0) {
            add(t, "rtc_stop");
        } else if ((v == "screenshot" || v == "cameras" || v == "overlay") && n == 1) {
            // Written as the file's name or without its .png: one file either way.
            std::string name = arg(0);
            if (name.size() > 4 && name.ends_with(".png")) name.resize(name.size() - 4);
            if (name.find('/') != std::string::npos || name.empty() || name[0] == '.')
                return fail("a screenshot name is a plain file name");
            if (name.size() + 4 > kMaxName) return fail("a screenshot name is at most 251 bytes (255 with its .png)");
            // Each picture has a file of its own; final.png is the panel at the end.
            if (name == "final") return fail("screens/final.png is the panel at the end of the run; choose another name");
            for (const auto& [other, at] : pictures)
                if (other == name)
                    return fail("screens/" + name + ".png is already saved by line " + std::to_string(at) +
                                "; choose another name");
            pictures.emplace_back(name, line);
            add(t, v, {name});
        } else if (v == "fail" && n >= 2) {
            if (!parse_long(arg(0), x, -1, 1000000) || x == 0) return fail("fail TIMES OPERATION (TIMES -1: always)");
            std::string why;
            const auto op = failure_op(w, 3, why);
            if (!op) return fail(why);
            add(t, "fail", {std::to_string(x), *op});
        } else if (v == "clear_failures" && n == 0) {
            add(t, "clear_failures");
        } else if (v == "memory" && n == 0) {
            add(t, "memory");
        } else if (v == "log" && n >= 1) {
            add(t, "log", std::vector<std::string>(w.begin() + 2, w.end()));
        } else if (v == "power" && n == 1 && arg(0) == "off") {
            add(t, "power_off");
            if (!power_off || t < power_off->first) power_off = std::pair{t, line};
        } else if (const char* usage = usage_of(kEventUsage, v)) {
            return fail(v + " wants: " + usage);
        } else if (usage_of(kSettingUsage, v)) {
            return fail(v + " is a setting: write it without a time (" + usage_of(kSettingUsage, v) + ")");
        } else {
            return fail("unknown event \"" + v + "\"");
        }
        return true;
    }

    // An event written after a later one plays in time order all the same:
    // said, not refused. One at or after the power off would never happen.
    bool event_line(double t, const std::vector<std::string>& w) {
        if (!timed(t, w)) return false;
        if (last_line > 0 && t < last_time) {
            std::ostringstream text;
            text << "time " << w[0] << " is before line " << last_line << "'s " << last_time
                 << "; events play in time order, not in the order written";
            warn(text.str());
        }
        if (t >= last_time) last_time = t, last_line = line;
        written.emplace_back(t, line);
        return true;
    }

    bool ramp_seconds(const std::string& s, double& secs) { return parse_decimal(s, secs) && secs > 0 && secs <= 3600; }

    // The built-in microcontroller's settings mean nothing when the user plays it.
    bool check_external_mcu() {
        if (!external_line) return true;
        for (const auto& [at, what] : {std::pair{reply_delay_line, "mcu_reply_delay"}, std::pair{reject_line_line, "mcu_reject_line"},
                                       std::pair{ignore_load_line, "mcu_ignore_load"}}) {
            if (!at) continue;
            line = at;
            return fail(std::string(what) + " sets the built-in microcontroller, but line " + std::to_string(external_line) +
                        " says mcu external (you play it)");
        }
        return true;
    }

    bool check_power_off() {
        if (!power_off) return true;
        const auto [off, off_line] = *power_off;
        for (const auto& [t, at] : written) {
            if (at == off_line || t < off || (t == off && at < off_line)) continue;
            line = at;
            std::ostringstream text;
            text << "this event would come after the power off at " << off << " s (line " << off_line
                 << "), so it would never happen";
            return fail(text.str());
        }
        return true;
    }
};

}  // namespace

std::optional<std::uint8_t> button_bit(const std::string& name) {
    static const std::pair<const char*, std::uint8_t> names[] = {
        {"up", 0x01}, {"down", 0x02}, {"left", 0x04}, {"right", 0x08}, {"exit", 0x20}, {"ok", 0x40}};
    for (const auto& [n, bit] : names)
        if (name == n) return bit;
    long x;
    if (parse_long(name, x, 1, 255)) return static_cast<std::uint8_t>(x);
    return std::nullopt;
}

std::optional<std::uint8_t> remote_code(const std::string& name) {
    static const std::pair<const char*, std::uint8_t> names[] = {
        {"menu", 16}, {"back", 18}, {"ok", 5}, {"up", 27}, {"down", 26}, {"left", 4}, {"right", 6}};
    for (const auto& [n, code] : names)
        if (name == n) return code;
    long x;
    if (parse_long(name, x, 0, 255)) return static_cast<std::uint8_t>(x);
    return std::nullopt;
}

double step_time(const Event& ramp, int i) { return ramp.time + ramp.duration * i / ramp.steps; }

Event ramp_step(const Event& ramp, int i) {
    const long from = std::strtol(ramp.args[ramp.verb == "sweep" ? 0 : 1].c_str(), nullptr, 10);
    const long to = std::strtol(ramp.args[ramp.verb == "sweep" ? 1 : 2].c_str(), nullptr, 10);
    const long value = from + std::lround(static_cast<double>(to - from) * i / ramp.steps);
    if (ramp.verb == "sweep") return Event{step_time(ramp, i), ramp.line, "state", {"angle", std::to_string(value)}};
    // An approach: the radar values it started from with one side moved.
    std::vector<std::string> radar(ramp.args.begin() + 3, ramp.args.end());
    const std::size_t side = ramp.args[0] == "front" ? 0 : 4;
    const auto d = obstacle(value);
    for (std::size_t k = 0; k < 4; ++k) radar[side + k] = std::to_string(d[k]);
    return Event{step_time(ramp, i), ramp.line, "radar", std::move(radar)};
}

bool Timeline::Cursor::operator>(const Cursor& o) const {
    if (time != o.time) return time > o.time;
    if (line != o.line) return line > o.line;
    return event > o.event;
}

Timeline::Timeline(const std::vector<Event>& events) : events_(events) {
    heap_.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) heap_.push_back(Cursor{events[i].time, events[i].line, i, 0});
    std::make_heap(heap_.begin(), heap_.end(), std::greater<>());
}

std::optional<Timeline::Step> Timeline::next() {
    if (heap_.empty()) return std::nullopt;
    std::pop_heap(heap_.begin(), heap_.end(), std::greater<>());
    const Cursor c = heap_.back();
    heap_.pop_back();
    const Event& e = events_[c.event];
    if (e.steps == 0) return Step{e, nullptr, 0};
    if (c.step < e.steps) {
        heap_.push_back(Cursor{step_time(e, c.step + 1), c.line, c.event, c.step + 1});
        std::push_heap(heap_.begin(), heap_.end(), std::greater<>());
    }
    return Step{ramp_step(e, c.step), &e, c.step};
}

std::optional<Scenario> parse_scenario(const std::string& text, const std::filesystem::path& base_dir,
                                       std::string& error) {
    Parser p;
    p.base = base_dir;
    // Editors that save UTF-8 with a byte-order mark: the mark is no word.
    std::istringstream in(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
    for (std::string raw; std::getline(in, raw);) {
        ++p.line;
        // A control byte (a NUL above all) would cut a name short on the way to a file.
        if (const auto bad = std::find_if(raw.begin(), raw.end(), [](unsigned char c) {
                return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7f;
            });
            bad != raw.end()) {
            char what[64];
            std::snprintf(what, sizeof what, "a control byte (0x%02X) in the line; a scenario is plain text",
                          static_cast<unsigned char>(*bad));
            p.fail(what);
            error = p.error;
            return std::nullopt;
        }
        // A comment starts where a word would; inside a word # is part of it.
        for (std::size_t hash = raw.find('#'); hash != std::string::npos; hash = raw.find('#', hash + 1))
            if (hash == 0 || std::isspace(static_cast<unsigned char>(raw[hash - 1]))) {
                raw.erase(hash);
                break;
            }
        const auto w = split_words(raw);
        if (w.empty()) continue;
        double t;
        bool ok;
        if (parse_decimal(w[0], t)) {
            if (t < 0) ok = p.fail("a time cannot be negative");
            else if (t > kMaxEventTime) ok = p.fail("a time is at most 86400 s (a day of board time)");
            else if (w.size() < 2) ok = p.fail("a time needs an event");
            else ok = p.event_line(t, w);
        } else if (std::isdigit(static_cast<unsigned char>(w[0][0])) || w[0][0] == '.' || w[0][0] == '-' ||
                   w[0][0] == '+' || w[0] == "inf" || w[0] == "nan") {
            ok = p.fail("\"" + w[0] + "\" is not a time (seconds of board time, such as 12 or 1.5)");
        } else {
            ok = p.setting(w);
        }
        if (!ok) {
            error = p.error;
            return std::nullopt;
        }
    }
    if (!p.check_power_off() || !p.check_external_mcu()) {
        error = p.error;
        return std::nullopt;
    }
    std::stable_sort(p.sc.events.begin(), p.sc.events.end(),
                     [](const Event& a, const Event& b) { return a.time < b.time; });
    return std::move(p.sc);
}

std::optional<Scenario> load_scenario(const std::filesystem::path& file, std::string& error) {
    std::uintmax_t size = 0;
    if (!readable_file(file, size, error)) return std::nullopt;
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    if (!in) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    auto sc = parse_scenario(ss.str(), file.parent_path(), error);
    if (!sc) return std::nullopt;
    auto line_error = [&](int line, const std::string& what) {
        error = "line " + std::to_string(line) + ": " + what;
        return std::nullopt;
    };
    if (sc->settings_file) {
        if (!readable_file(*sc->settings_file, size, error))
            return line_error(sc->settings_line, "cannot read the settings file " + sc->settings_file->string() +
                                                     ": " + error);
        if (size != sizeof(Flash_param))
            return line_error(sc->settings_line, sc->settings_file->string() + " is " + std::to_string(size) +
                                                     " bytes, not one settings record of " +
                                                     std::to_string(sizeof(Flash_param)) + " bytes");
        std::ifstream record(*sc->settings_file, std::ios::binary);
        sc->settings_record.resize(sizeof(Flash_param));
        if (!record.read(sc->settings_record.data(), sizeof(Flash_param)))
            return line_error(sc->settings_line, "cannot read the settings file " + sc->settings_file->string());
    }
    for (const auto& f : sc->disk_files) {
        if (!readable_file(f.source, size, error))
            return line_error(f.line, "cannot read " + f.source.string() + ": " + error);
        if (std::none_of(sc->disks.begin(), sc->disks.end(), [&](const auto& d) { return d.label == f.label; }))
            return line_error(f.line, "no disk " + f.label + " is in at power-on (a line \"disk " + f.label +
                                          " MB\" puts one in)");
    }
    for (const auto& c : sc->captures) {
        if (c.kind != "yuv") continue;
        if (!readable_file(c.file, size, error))
            return line_error(c.line, "cannot read " + c.file.string() + ": " + error);
        if (size == 0 || size % kYuvFrameBytes != 0)
            return line_error(c.line, c.file.string() + " is " + std::to_string(size) +
                                          " bytes, not whole raw 1280x720 YUV 4:2:2 frames of " +
                                          std::to_string(kYuvFrameBytes) + " bytes");
    }
    // An empty file (a redirection gone wrong) would replace the last run's
    // output with one black final.png.
    if (sc->events.empty()) {
        error = "no events: no line starts with a time (such as \"10 power off\")";
        return std::nullopt;
    }
    return sc;
}

}  // namespace sim
