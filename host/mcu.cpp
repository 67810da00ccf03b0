// The vehicle microcontroller simulator: a thread on the master side of the
// serial line that sends status, radar and key frames and answers the
// system's commands and the firmware upload.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

#include "host/clock.h"
#include "host/devices_parts.h"
#include "host/internal.h"

namespace host {
namespace {

constexpr double kStatusPeriod = 0.050;  // board seconds
constexpr double kRadarPeriod = 0.100;
// Upload messages keep the simulator in its loader (no status or radar
// frames) until a heartbeat comes or the upload has been quiet this long.
constexpr double kLoaderQuiet = 5.0;
// Bytes of a command that stays incomplete this long (board seconds) are given up.
constexpr double kStaleInput = 0.5;
// Periodic frames are skipped while this much is still waiting to go out.
constexpr std::size_t kBacklog = 64;
constexpr std::size_t kReceivedLimit = std::size_t{4} << 20;

constexpr std::uint8_t kSync = 0x55, kFramed = 0xA0, kShort = 0x0A;
constexpr std::uint8_t kClassStatus = 0x81, kClassRadar = 0x82, kClassKey = 0x85, kClassReply = 0x86;
constexpr std::uint8_t kClassLoad = 0x19, kClassLine = 0x0A;
constexpr std::uint8_t kReady = 0x00, kLineOk = 0x01, kAgain = 0x0A;

std::vector<std::uint8_t> frame(std::initializer_list<std::uint8_t> payload) {
    std::vector<std::uint8_t> out{kSync, kFramed, static_cast<std::uint8_t>(payload.size())};
    std::uint8_t sum = 0;
    for (std::uint8_t b : payload) {
        out.push_back(b);
        sum = static_cast<std::uint8_t>(sum + b);
    }
    out.push_back(sum);
    return out;
}

std::vector<std::uint8_t> status_frame(const VehicleState& s) {
    const std::uint8_t bits = static_cast<std::uint8_t>((s.right ? 0x01 : 0) | (s.left ? 0x02 : 0) |
                                                        (s.reverse ? 0x04 : 0) | (s.acc ? 0x10 : 0) |
                                                        (s.record_forbidden ? 0x20 : 0) | (s.record_lock ? 0x80 : 0));
    const auto angle = static_cast<std::uint16_t>(s.angle);
    return frame({kClassStatus, bits, static_cast<std::uint8_t>(angle >> 8), static_cast<std::uint8_t>(angle & 0xFF),
                  s.pic_ver, s.parking_time, s.car_key});
}

struct Shared {
    std::mutex mutex;
    VehicleState vehicle;
    bool radar = false;
    bool radar_due = false;  // send one at once
    std::array<std::uint8_t, 4> front{}, back{};
    std::uint8_t radar_mode = 0;
    std::vector<std::uint8_t> outbox;  // keys and raw bytes asked for
    std::vector<std::uint8_t> received;
    std::vector<std::string> commands;
    std::vector<std::string> lines;
    std::vector<int> reject_once;  // firmware line numbers answered "again" the first time
    int ignore_loads = 0;          // loading requests still to go unanswered
    double reply_delay = 0;        // board seconds the simulator takes over what it receives
    std::uint64_t heartbeats = 0;
    int last_heartbeat = -1;
    int wake = -1;  // eventfd of the running simulator
};

Shared g;
std::thread g_thread;
std::atomic<bool> g_stop{false};

void wake_locked() {
    if (g.wake < 0) return;
    const std::uint64_t one = 1;
    if (::write(g.wake, &one, sizeof one) < 0) {
        // Already signalled enough to wake the thread.
    }
    // Board time waits until the simulator has sent what it was asked to.
    clock::poke(g.wake);
}

std::string hex_byte(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", b);
    return text;
}

// Turns the bytes the system writes into commands and the replies they need.
class Decoder {
public:
    void feed(const std::uint8_t* p, std::size_t n, double now) {
        pending_.insert(pending_.end(), p, p + n);
        last_input_ = now;
    }

    // Decodes what is complete; appends replies to `out`.
    void run(std::vector<std::uint8_t>& out, double now) {
        std::size_t used = parse(out, now);
        // Input that stays incomplete is noise: drop it a byte at a time.
        while (used < pending_.size() && now - last_input_ > kStaleInput)
            used += 1 + parse_from(used + 1, out, now);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    }

    bool in_loader(double now) const { return loader_ && now - loader_since_ < kLoaderQuiet; }

private:
    std::size_t parse(std::vector<std::uint8_t>& out, double now) { return parse_from(0, out, now); }

    // Returns how many bytes from `start` were consumed.
    std::size_t parse_from(std::size_t start, std::vector<std::uint8_t>& out, double now) {
        std::size_t i = start;
        while (i < pending_.size()) {
            const std::uint8_t* p = pending_.data() + i;
            const std::size_t avail = pending_.size() - i;
            if (p[0] != kSync) {
                ++i;
                continue;
            }
            if (avail < 2) break;
            if (p[1] == kShort) {
                if (avail < 3) break;
                const std::size_t need = short_length(p[2]);
                if (need == 0) {
                    ++i;
                    continue;
                }
                if (avail < need) break;
                short_command(p, out, now);
                i += need;
            } else if (p[1] == kFramed) {
                if (avail < 3) break;
                const std::size_t len = p[2];
                if (len == 0) {
                    ++i;
                    continue;
                }
                if (avail < len + 4) break;
                framed(p + 3, len, p[3 + len], out, now);
                i += len + 4;
            } else {
                ++i;
            }
        }
        return i - start;
    }

    static std::size_t short_length(std::uint8_t cmd) {
        switch (cmd) {
        case 0xBB: return 4;
        case 0x06: return 5;
        case 0x07: case 0xCA: case 0xC5: case 0xAA: return 3;
        default: return 0;
        }
    }

    void short_command(const std::uint8_t* p, std::vector<std::uint8_t>& out, double now) {
        switch (p[2]) {
        case 0xBB: {
            bool changed;
            {
                std::lock_guard lock(g.mutex);
                ++g.heartbeats;
                changed = g.last_heartbeat != p[3];
                g.last_heartbeat = p[3];
            }
            loader_ = false;  // the main loop runs again
            if (changed) record("heartbeat " + std::to_string(p[3]));
            break;
        }
        case 0x07: record("track reset"); break;
        case 0xCA: case 0xC5: record("record key " + hex_byte(p[2])); break;
        case 0x06: record("car numbers " + std::to_string(p[3]) + " " + std::to_string(p[4])); break;
        case 0xAA:
            record("upgrade start");
            enter_loader(now);
            reply(out, kReady);
            break;
        default: break;
        }
    }

    void framed(const std::uint8_t* payload, std::size_t len, std::uint8_t sum, std::vector<std::uint8_t>& out,
                double now) {
        std::uint8_t total = 0;
        for (std::size_t k = 0; k < len; ++k) total = static_cast<std::uint8_t>(total + payload[k]);
        if (total != sum) {
            record("bad sum, class " + hex_byte(payload[0]));
            reply(out, kAgain);
            return;
        }
        switch (payload[0]) {
        case kClassLoad: {
            bool ignored;
            {
                std::lock_guard lock(g.mutex);
                ignored = g.ignore_loads > 0;
                if (ignored) --g.ignore_loads;
            }
            record(ignored ? "upgrade load ignored" : "upgrade load");
            if (ignored) break;
            enter_loader(now);
            reply(out, kAgain);
            break;
        }
        case kClassLine: {
            static constexpr char kHex[] = "0123456789ABCDEF";
            std::string line = ":";
            for (std::size_t k = 1; k < len; ++k) {
                line += kHex[payload[k] >> 4];
                line += kHex[payload[k] & 0x0F];
            }
            enter_loader(now);
            bool rejected = false;
            {
                std::lock_guard lock(g.mutex);
                const int number = static_cast<int>(g.lines.size()) + 1;
                const auto it = std::find(g.reject_once.begin(), g.reject_once.end(), number);
                if (it != g.reject_once.end()) {
                    g.reject_once.erase(it);
                    rejected = true;
                } else {
                    g.lines.push_back(line);
                }
            }
            board_log("mcu", (rejected ? "firmware line rejected " : "firmware line ") + line);
            reply(out, rejected ? kAgain : kLineOk);
            break;
        }
        default: record("frame class " + hex_byte(payload[0])); break;
        }
    }

    void enter_loader(double now) {
        loader_ = true;
        loader_since_ = now;
    }

    static void reply(std::vector<std::uint8_t>& out, std::uint8_t status) {
        const auto f = frame({kClassReply, status});
        out.insert(out.end(), f.begin(), f.end());
    }

    static void record(const std::string& command) {
        {
            std::lock_guard lock(g.mutex);
            g.commands.push_back(command);
        }
        board_log("mcu", command);
    }

    std::vector<std::uint8_t> pending_;
    double last_input_ = 0;
    bool loader_ = false;
    double loader_since_ = 0;
};

// A late thread does not send a burst to catch up.
double next_period(double due, double period, double now) {
    return due + period > now ? due + period : now + period;
}

void simulate(int master, int wake) {
    Decoder decoder;
    std::vector<std::uint8_t> out;
    // What the system sent, held back by the reply delay, with the board
    // time it is taken up.
    std::deque<std::pair<double, std::vector<std::uint8_t>>> later;
    double reply_delay = 0;
    double next_status = board_uptime();
    double next_radar = next_status;
    std::uint8_t buf[4096];
    while (!g_stop.load()) {
        const double now = board_uptime();
        const bool loader = decoder.in_loader(now);
        bool radar = false;
        {
            std::lock_guard lock(g.mutex);
            out.insert(out.end(), g.outbox.begin(), g.outbox.end());
            g.outbox.clear();
            reply_delay = g.reply_delay;
            if (now >= next_status) {
                if (!loader && out.size() < kBacklog) {
                    const auto f = status_frame(g.vehicle);
                    out.insert(out.end(), f.begin(), f.end());
                }
                next_status = next_period(next_status, kStatusPeriod, now);
            }
            if (g.radar_due) {
                g.radar_due = false;
                next_radar = now;
            }
            radar = g.radar;
            if (radar && now >= next_radar) {
                if (!loader && out.size() < kBacklog) {
                    const auto f = frame({kClassRadar, g.radar_mode, g.front[0], g.front[1], g.front[2], g.front[3],
                                          g.back[0], g.back[1], g.back[2], g.back[3]});
                    out.insert(out.end(), f.begin(), f.end());
                }
                next_radar = next_period(next_radar, kRadarPeriod, now);
            }
        }
        while (!out.empty()) {
            const ssize_t w = ::write(master, out.data(), out.size());
            if (w > 0) {
                out.erase(out.begin(), out.begin() + w);
                continue;
            }
            if (w < 0 && errno == EINTR) continue;
            break;  // the line is full: try again later
        }

        // Wait on the board's clock for the next periodic frame, for what the
        // system writes, or for what the scenario asks. Frames due at an
        // instant go out before the system's threads due then run, so they
        // see them whatever order the host would run them in.
        double until = radar ? std::min(next_status, next_radar) : next_status;
        if (!later.empty()) until = std::min(until, later.front().first);
        pollfd p[2] = {{master, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0}, {wake, POLLIN, 0}};
        int n;
        {
            clock::Wait wait(until, wake, true);
            bool asked;
            {
                std::lock_guard lock(g.mutex);
                asked = !g.outbox.empty() || g.radar_due;
            }
            const int timeout = asked || !out.empty() ? 0 : static_cast<int>(clock::kSlice.count());
            n = ::poll(p, 2, timeout);
        }
        if (n < 0 && errno != EINTR) break;
        if (n > 0 && p[1].revents) {
            std::uint64_t count;
            if (::read(wake, &count, sizeof count) < 0) {
                // Nothing to drain.
            }
        }
        bool got = false;
        // Everything the system has written: a read that finds nothing has
        // the kernel pass on the rest, so board time may pass once this ends.
        for (ssize_t r = 0; n > 0 && (p[0].revents & POLLIN) && (r = ::read(master, buf, sizeof buf)) > 0;) {
            got = true;
            if (reply_delay > 0)
                later.emplace_back(board_uptime() + reply_delay, std::vector<std::uint8_t>(buf, buf + r));
            else
                decoder.feed(buf, static_cast<std::size_t>(r), board_uptime());
            std::lock_guard lock(g.mutex);
            if (g.received.size() + static_cast<std::size_t>(r) > kReceivedLimit)
                g.received.erase(g.received.begin(),
                                 g.received.begin() + static_cast<std::ptrdiff_t>(g.received.size() / 2));
            g.received.insert(g.received.end(), buf, buf + r);
        }
        if (n > 0 && !got && (p[0].revents & (POLLHUP | POLLERR)))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // no listener: do not spin
        for (const double t = board_uptime(); !later.empty() && later.front().first <= t; later.pop_front())
            decoder.feed(later.front().second.data(), later.front().second.size(), later.front().first);
        decoder.run(out, board_uptime());
    }
}

}  // namespace

void parts::mcu_reset() {
    std::lock_guard lock(g.mutex);
    g.vehicle = VehicleState{};
    g.radar = false;
    g.radar_due = false;
    g.front = {};
    g.back = {};
    g.radar_mode = 0;
    g.outbox.clear();
    g.received.clear();
    g.commands.clear();
    g.lines.clear();
    g.reject_once.clear();
    g.ignore_loads = 0;
    g.reply_delay = 0;
    g.heartbeats = 0;
    g.last_heartbeat = -1;
}

std::uint64_t parts::mcu_heartbeat_count() {
    std::lock_guard lock(g.mutex);
    return g.heartbeats;
}

void mcu_power_on() {
    mcu_power_off();
    const int master = parts::serial_master_fd();
    if (master < 0) {
        board_log("mcu", "no serial line, simulator not started");
        return;
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        board_log("mcu", "no event descriptor, simulator not started");
        return;
    }
    {
        std::lock_guard lock(g.mutex);
        g.wake = wake;
    }
    g_stop = false;
    parts::serial_count_transfers(true);
    g_thread = std::thread(simulate, master, wake);
    board_log("mcu", "simulator on " + mcu_tty_path());
}

void mcu_power_off() {
    if (!g_thread.joinable()) return;
    g_stop = true;
    {
        std::lock_guard lock(g.mutex);
        wake_locked();
    }
    g_thread.join();
    parts::serial_count_transfers(false);
    std::lock_guard lock(g.mutex);
    ::close(g.wake);
    g.wake = -1;
}

void mcu_set_state(const VehicleState& state) {
    std::lock_guard lock(g.mutex);
    g.vehicle = state;
}

VehicleState mcu_state() {
    std::lock_guard lock(g.mutex);
    return g.vehicle;
}

void mcu_set_radar(const std::array<std::uint8_t, 4>& front, const std::array<std::uint8_t, 4>& back,
                   std::uint8_t mode) {
    std::lock_guard lock(g.mutex);
    g.front = front;
    g.back = back;
    g.radar_mode = mode;
    g.radar = true;
    g.radar_due = true;
    wake_locked();
}

void mcu_send_key(std::uint8_t code) {
    const auto f = frame({kClassKey, code});
    std::lock_guard lock(g.mutex);
    g.outbox.insert(g.outbox.end(), f.begin(), f.end());
    wake_locked();
}

void mcu_send_raw(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(g.mutex);
    g.outbox.insert(g.outbox.end(), bytes.begin(), bytes.end());
    wake_locked();
}

std::vector<std::uint8_t> mcu_received_bytes() {
    std::lock_guard lock(g.mutex);
    return g.received;
}

std::vector<std::string> mcu_commands() {
    std::lock_guard lock(g.mutex);
    return g.commands;
}

void mcu_reject_line(int number) {
    std::lock_guard lock(g.mutex);
    g.reject_once.push_back(number);
}

void mcu_ignore_load(int count) {
    std::lock_guard lock(g.mutex);
    g.ignore_loads = count;
}

void mcu_reply_delay(double seconds) {
    std::lock_guard lock(g.mutex);
    g.reply_delay = seconds;
}

std::vector<std::string> mcu_firmware_lines() {
    std::lock_guard lock(g.mutex);
    return g.lines;
}

}  // namespace host
