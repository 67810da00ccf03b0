// Settings export and import, the upgrade package, and the microcontroller
// firmware upload over the serial line.
#include "dsp/dsp_firmware.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "common/ds1337.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/files.h"
#include "platform/mpi.h"
#include "platform/shell.h"
#include "vio/settings.h"

namespace {

constexpr const char* kHexFile = "/home/test.hex";
// A settings file being imported, before it replaces the settings.
constexpr const char* kImportTemp = "/home/config/ImageParam.imp";

constexpr std::uint8_t kSync = 0x55, kFramed = 0xA0, kShort = 0x0A;
constexpr std::uint8_t kClassLoad = 0x19, kClassLine = 0x0A, kClassReply = 0x86;
constexpr std::uint8_t kReady = 0x00, kLineOk = 0x01, kAgain = 0x0A;
// Bounds of the upload's waits, in milliseconds of the board's clock: one
// exchange (the start, the loading request, a line with its repeats) and the
// whole upload, far beyond what a large firmware file takes.
constexpr std::int64_t kExchangeMs = 10'000;
constexpr std::int64_t kUploadMs = 20 * 60'000;
// The start command and the loading request go again after this long without
// their answer: the microcontroller may not have been listening yet, or the
// message was lost on the line.
constexpr std::int64_t kRepeatMs = 1'000;

bool regular_file(const char* system_path, off_t* size = nullptr) {
    struct stat st {};
    if (::lstat(board_path(system_path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (size) *size = st.st_size;
    return true;
}

int read_byte(int fd, std::uint8_t& b) {
    for (int i = 0; i < 2000; ++i) {
        if (dev_read(fd, &b, 1) == 1) return 0;
        clk_usleep(50);
    }
    return -1;
}

void send_start(int fd) {
    sci_xmit(fd, kSync);
    sci_xmit(fd, kShort);
    sci_xmit(fd, 0xAA);
}

// One frame from the line: 1 whole with its sum right, 0 broken, -1 nothing came.
int read_frame(int fd, bvs_msg* msg) {
    std::uint8_t b = 0;
    if (read_byte(fd, b) != 0) return -1;
    if (b != kSync || read_byte(fd, b) != 0 || b != kFramed) return 0;
    if (read_byte(fd, msg->len) != 0 || msg->len == 0 || read_byte(fd, msg->msg_class) != 0) return 0;
    std::uint8_t sum = msg->msg_class;
    for (int i = 0; i + 1 < msg->len; ++i) {
        if (read_byte(fd, msg->data[i]) != 0) return 0;
        sum = static_cast<std::uint8_t>(sum + msg->data[i]);
    }
    return read_byte(fd, b) == 0 && b == sum ? 1 : 0;
}

std::int64_t now_ms() {
    timeval tv{};
    clk_gettimeofday(&tv);
    return std::int64_t{tv.tv_sec} * 1000 + tv.tv_usec / 1000;
}

// How often an exchange sent its message, and when first and last.
struct Sent {
    int times = 0;
    std::int64_t first = 0, last = 0;
};

bool wanted_answer(const bvs_msg& reply, std::uint8_t status) {
    return reply.msg_class == kClassReply && reply.len >= 2 && reply.data[0] == status;
}

// Sends, then reads answers until the microcontroller's status is `want`
// (true). Answers carry no line number, so the message goes again only when
// its answer asks for that (`again`), or after `repeat_ms` without the
// wanted answer where that is not 0: a repeat sent on a mere silence would
// take a late answer for its own. Other frames are read past. False once the
// exchange's time or the upload's (`upload_end`) has run out.
bool exchange(int fd, const std::function<void()>& send, std::uint8_t want, int again, std::int64_t repeat_ms,
              std::int64_t upload_end, Sent* sent = nullptr) {
    Sent s;
    const auto go = [&] {
        s.last = now_ms();
        if (s.times++ == 0) s.first = s.last;
        send();
    };
    go();
    const std::int64_t end = std::min(s.first + kExchangeMs, upload_end);
    for (std::int64_t t = s.first; t < end; t = now_ms()) {
        if (repeat_ms > 0 && t - s.last >= repeat_ms) go();
        bvs_msg reply{};
        if (read_frame(fd, &reply) != 1) continue;
        if (wanted_answer(reply, want)) {
            if (sent) *sent = s;
            return true;
        }
        if (again >= 0 && wanted_answer(reply, static_cast<std::uint8_t>(again))) {
            std::printf("send fail!\n");
            go();
        }
    }
    return false;
}

// Reads past frames until `count` answers of this status came, or until the
// board's clock reaches `until`.
void read_answers(int fd, std::uint8_t status, int count, std::int64_t until) {
    while (count > 0 && now_ms() < until) {
        bvs_msg reply{};
        if (read_frame(fd, &reply) == 1 && wanted_answer(reply, status)) --count;
    }
}

}  // namespace

void send_msg(int fd, const bvs_msg* msg) {
    std::uint8_t sum = msg->msg_class;
    sci_xmit(fd, kSync);
    sci_xmit(fd, kFramed);
    sci_xmit(fd, msg->len);
    sci_xmit(fd, msg->msg_class);
    for (int i = 0; i + 1 < msg->len; ++i) {
        sci_xmit(fd, msg->data[i]);
        sum = static_cast<std::uint8_t>(sum + msg->data[i]);
    }
    sci_xmit(fd, sum);
}

int wait_msg(int fd, bvs_msg* msg) { return read_frame(fd, msg) == 1 ? 0 : -1; }

int export_file() {
    char stamp[64];
    GetSystemTime2(stamp);
    const std::string to = std::string(kMountPoint) + "/" + stamp + ".dat";
    if (sh_cp_a(PARAM_FILE, to.c_str()) != 0) {
        std::printf("copy file failed!\n");
        return -2;
    }
    return 0;
}

int import_file(const char* path) {
    // Only a whole settings record replaces the settings, and only once it
    // is complete beside them.
    off_t size = 0;
    if (!regular_file(path, &size) || size != static_cast<off_t>(sizeof(Flash_param))) {
        std::printf("not a settings file: %s\n", path);
        return -2;
    }
    std::printf("cp -a %s %s\n", path, PARAM_FILE);
    sh_rm_rf(kImportTemp);
    if (sh_cp_a(path, kImportTemp) != 0 || !regular_file(kImportTemp, &size) ||
        size != static_cast<off_t>(sizeof(Flash_param)) || sh_mv(kImportTemp, PARAM_FILE) != 0) {
        sh_rm_rf(kImportTemp);
        std::printf("copy file failed!\n");
        return -2;
    }
    return 0;
}

bool read_whole(const char* system_path, std::string& out, const std::function<void(off_t)>& opened) {
    // A link is not followed; whatever is not a regular file opens without
    // waiting and reads as nothing.
    const int in = ::open(board_path(system_path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0) {
        if (in >= 0) ::close(in);
        return false;
    }
    if (opened) opened(st.st_size);
    std::size_t got = 0;
    if (S_ISREG(st.st_mode)) {
        out.assign(static_cast<std::size_t>(st.st_size), '\0');
        while (got < out.size()) {
            const ssize_t r = ::read(in, out.data() + got, out.size() - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
    }
    ::close(in);
    return S_ISREG(st.st_mode) && got == out.size();
}

namespace {

// The firmware text. Its size is told once the file is open, so a read that
// then fails shows it too.
bool read_firmware(std::string& text) {
    bool open = false;
    const bool whole = read_whole(kHexFile, text, [&](off_t size) {
        open = true;
        std::printf("file size is %d\n", static_cast<int>(size));
    });
    if (!open) {
        std::printf("open test.hex  failed!\n");
        return false;
    }
    if (!whole) {
        std::printf("read file failed!\n");
        return false;
    }
    std::printf("read file ok!\n");
    return true;
}

}  // namespace

int upgrade_pic(int fd, std::uint32_t* canvas, int fb, HIFB_BUFFER_S* buffer, std::uint32_t size) {
    std::string text;
    if (!read_firmware(text)) return -1;
    if (!hex_file_ok(text.data(), text.size())) {
        std::printf("test.hex is not a firmware file\n");
        return -1;
    }
    const std::int64_t upload_end = now_ms() + kUploadMs;
    if (!exchange(fd, [fd] { send_start(fd); }, kReady, -1, kRepeatMs, upload_end)) {
        std::printf("no answer to the upgrade start\n");
        return -1;
    }
    std::printf("get 1 ok!\n");
    const bvs_msg load{1, kClassLoad, {}};
    Sent loads;
    if (!exchange(fd, [fd, &load] { send_msg(fd, &load); }, kAgain, -1, kRepeatMs, upload_end, &loads)) {
        std::printf("no answer to the loading request\n");
        return -1;
    }
    std::printf("get 2 ok!\n");
    // Its answer is the one a rejected line gets: the answers to its repeats
    // still on their way are read here, not taken for the first line's. They
    // come within the span the repeats went out over, a second more for
    // slack, or never when lost.
    if (loads.times > 1) {
        const std::int64_t until = now_ms() + (loads.last - loads.first) + kRepeatMs;
        read_answers(fd, kAgain, loads.times - 1, std::min(until, upload_end));
    }

    int shown = 0, number = 0;
    HexLine line;
    for (std::size_t at = 0; next_hex_line(text.data(), text.size(), at, line); at = line.next) {
        if (line.end == line.begin) continue;
        ++number;
        bvs_msg msg{0, kClassLine, {}};
        msg.len = static_cast<std::uint8_t>(pack_hex_line(text.data(), line, msg.data, kMaxLineBytes) + 1);
        if (!exchange(fd, [fd, &msg] { send_msg(fd, &msg); }, kLineOk, kAgain, 0, upload_end)) {
            if (now_ms() >= upload_end)
                std::printf("firmware upload took too long, at line %d\n", number);
            else
                std::printf("firmware line %d not accepted\n", number);
            return -1;
        }
        std::printf("send ok!\n");
        const int done = line_progress(text.data(), text.size(), line);
        if (done != shown) {
            shown = done;
            draw_sjjd(static_cast<std::uint8_t>(done), canvas);
            if (buffer) HI_MPI_SYS_MmzFlushCache(buffer->stCanvas.u32PhyAddr, canvas, size);
            if (fb >= 0) dev_ioctl(fb, FBIO_REFRESH, buffer);
        }
    }
    return 0;
}
