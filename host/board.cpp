// The board's core: root layout, log, failure injection, halt, clock, media
// memory and the device descriptor table.
#include "host/board.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <thread>

#include "host/clock.h"
#include "host/internal.h"
#include "platform/clock.h"
#include "platform/devices.h"

namespace host {
namespace {

std::mutex g_mutex;  // options, log, failures
BoardOptions g_options;
bool g_up = false;
std::vector<std::string> g_log;
std::ofstream g_log_file;

struct Failure {
    int times;
    std::uint32_t code;
};
std::map<std::string, Failure> g_failures;
std::function<void(std::string_view)> g_halt;
std::function<void(const std::string&)> g_command_hook;

std::atomic<std::int64_t> g_sys_base_us{0};  // board system time minus uptime

}  // namespace

// ---------------------------------------------------------------- lifecycle

void board_init(const BoardOptions& options) {
    if (g_up) board_shutdown();
    namespace fs = std::filesystem;
    {
        std::lock_guard lock(g_mutex);
        g_options = options;
        g_options.root = fs::absolute(options.root);
        g_log.clear();
        g_failures.clear();
        g_halt = nullptr;
        g_command_hook = nullptr;
    }
    const fs::path& root = g_options.root;
    clock::reset(options.clock_speed);
    g_sys_base_us = options.start_time * 1000000;
    // Storage first: it repairs a root left with a disk mounted by a run that died.
    storage_power_on();
    for (const char* dir : {"home/config", "etc/init.d", "opt", "proc/umap", "usb", "dev"})
        fs::create_directories(root / dir);
    media_power_on();
    devices_power_on();
    display_power_on();
    if (options.start_mcu) mcu_power_on();
    g_up = true;
    board_log("board", "power on, root " + root.string());
}

void board_shutdown() {
    if (!g_up) return;
    mcu_power_off();
    display_power_off();
    devices_power_off();
    media_power_off();
    storage_power_off();
    devices_table_reset();
    mmz_reset();
    std::lock_guard lock(g_mutex);
    g_up = false;
    if (g_log_file.is_open()) g_log_file.close();
}

const BoardOptions& board_options() { return g_options; }
const std::filesystem::path& board_root() { return g_options.root; }

// ---------------------------------------------------------------- log

void board_log(std::string_view area, std::string_view text) {
    std::string line;
    line.reserve(area.size() + text.size() + 2);
    line.append(area).append(": ").append(text);
    std::lock_guard lock(g_mutex);
    if (g_log_file.is_open() || g_options.echo_log) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "[%10.3f] ", board_uptime());
        if (g_log_file.is_open()) g_log_file << stamp << line << '\n' << std::flush;
        if (g_options.echo_log) std::cerr << stamp << line << '\n';
    }
    // A run that logs to a file may go on for hours: its lines are not kept twice.
    if (!g_log_file.is_open()) g_log.push_back(std::move(line));
}

std::vector<std::string> board_log_lines(std::string_view area) {
    std::lock_guard lock(g_mutex);
    if (area.empty()) return g_log;
    std::vector<std::string> out;
    for (const auto& line : g_log)
        if (line.size() > area.size() + 1 && line.compare(0, area.size(), area) == 0 && line[area.size()] == ':')
            out.push_back(line);
    return out;
}

void board_log_clear() {
    std::lock_guard lock(g_mutex);
    g_log.clear();
}

void board_log_to_file(const std::filesystem::path& file) {
    std::lock_guard lock(g_mutex);
    if (g_log_file.is_open()) g_log_file.close();
    g_log_file.open(file, std::ios::app);
}

// ---------------------------------------------------------------- failures

void inject_failure(const std::string& op, int times, std::uint32_t code) {
    std::lock_guard lock(g_mutex);
    if (times == 0)
        g_failures.erase(op);
    else
        g_failures[op] = Failure{times, code};
}

void clear_failures() {
    std::lock_guard lock(g_mutex);
    g_failures.clear();
}

std::optional<std::uint32_t> take_failure(const std::string& op) {
    std::uint32_t code;
    {
        std::lock_guard lock(g_mutex);
        auto it = g_failures.find(op);
        if (it == g_failures.end()) return std::nullopt;
        code = it->second.code;
        if (it->second.times > 0 && --it->second.times == 0) g_failures.erase(it);
    }
    board_log("fault", "injected failure of " + op);
    return code;
}

void set_command_hook(std::function<void(const std::string& text)> hook) {
    std::lock_guard lock(g_mutex);
    g_command_hook = std::move(hook);
}

void command_hook(const std::string& text) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(g_mutex);
        hook = g_command_hook;
    }
    if (hook) hook(text);
}

std::string ioctl_op(std::string_view path, unsigned long request) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %#lx", request);
    return "ioctl " + std::string(path) + buf;
}

// ---------------------------------------------------------------- halt

void set_halt_handler(std::function<void(std::string_view)> handler) {
    std::lock_guard lock(g_mutex);
    g_halt = std::move(handler);
}

void board_halt(std::string_view reason) {
    board_log("board", "halt: " + std::string(reason));
    std::function<void(std::string_view)> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_halt;
    }
    if (handler) handler(reason);
}

// ---------------------------------------------------------------- time

double board_uptime() { return clock::now(); }

void board_sleep(double board_seconds, bool settled) {
    if (!(board_seconds > 0)) return;
    thread_local std::mutex mutex;
    thread_local std::condition_variable cv;
    std::unique_lock lock(mutex);
    clock::wait_until(lock, cv, clock::now() + board_seconds, [] { return false; }, settled);
}

// ---------------------------------------------------------------- media memory

namespace {
std::mutex g_mmz_mutex;
struct Block {
    std::size_t len;
    void* mem;
};
std::map<std::uint32_t, Block> g_blocks;  // by physical address
std::uint32_t g_next_phys = 0x90000000u;
std::size_t g_mmz_in_use = 0;
constexpr std::size_t kMmzLimit = 2u << 30;  // the board's media memory zone
}  // namespace

MmzBlock mmz_alloc(std::size_t len) {
    if (len == 0) return {};
    std::lock_guard lock(g_mmz_mutex);
    const std::size_t rounded = (len + 4095) & ~std::size_t{4095};
    if (g_mmz_in_use + rounded > kMmzLimit || std::uint64_t{g_next_phys} + rounded > 0xFFFFF000u) return {};
    // Anonymous pages come zero-filled and page-aligned, and cost nothing until touched.
    void* mem = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return {};
    const std::uint32_t phys = g_next_phys;
    g_next_phys += static_cast<std::uint32_t>(rounded);
    g_blocks[phys] = Block{len, mem};
    g_mmz_in_use += rounded;
    return MmzBlock{phys, mem};
}

bool mmz_free(std::uint32_t phys) {
    std::lock_guard lock(g_mmz_mutex);
    auto it = g_blocks.find(phys);
    if (it == g_blocks.end()) return false;
    const std::size_t rounded = (it->second.len + 4095) & ~std::size_t{4095};
    munmap(it->second.mem, rounded);
    g_mmz_in_use -= rounded;
    g_blocks.erase(it);
    return true;
}

void* mmz_resolve(std::uint32_t phys, std::size_t len) {
    std::lock_guard lock(g_mmz_mutex);
    auto it = g_blocks.upper_bound(phys);
    if (it == g_blocks.begin()) return nullptr;
    --it;
    const std::uint64_t offset = phys - it->first;
    if (offset + len > it->second.len) return nullptr;
    return static_cast<std::uint8_t*>(it->second.mem) + offset;
}

std::size_t mmz_bytes_in_use() {
    std::lock_guard lock(g_mmz_mutex);
    return g_mmz_in_use;
}

void mmz_reset() {
    std::lock_guard lock(g_mmz_mutex);
    for (auto& [phys, block] : g_blocks) munmap(block.mem, (block.len + 4095) & ~std::size_t{4095});
    g_blocks.clear();
    g_mmz_in_use = 0;
    g_next_phys = 0x90000000u;
}

// ---------------------------------------------------------------- devices

namespace {
std::mutex g_dev_mutex;
std::map<std::string, std::shared_ptr<Device>> g_devices;
struct OpenDevice {
    std::string path;
    std::shared_ptr<Device> device;
};
std::map<int, OpenDevice> g_fds;
int g_next_fd = 1000;

bool lookup(int fd, OpenDevice& out) {
    std::lock_guard lock(g_dev_mutex);
    auto it = g_fds.find(fd);
    if (it == g_fds.end()) return false;
    out = it->second;
    return true;
}

template <typename T>
T result(T r) {
    if (r < 0) {
        errno = static_cast<int>(-r);
        return -1;
    }
    return r;
}
}  // namespace

void register_device(const std::string& path, std::shared_ptr<Device> device) {
    std::lock_guard lock(g_dev_mutex);
    g_devices[path] = std::move(device);
}

void devices_table_reset() {
    std::lock_guard lock(g_dev_mutex);
    g_devices.clear();
    g_fds.clear();
}

}  // namespace host

// ---------------------------------------------------------------- the seam

using host::take_failure;

int dev_open(const char* path, int flags) {
    if (!path) {
        errno = EFAULT;
        return -1;
    }
    const std::string p = path;
    std::shared_ptr<host::Device> device;
    {
        std::lock_guard lock(host::g_dev_mutex);
        auto it = host::g_devices.find(p);
        if (it != host::g_devices.end()) device = it->second;
    }
    if (!device) {
        host::board_log("dev", "open " + p + " failed: no such device");
        errno = ENOENT;
        return -1;
    }
    if (take_failure("open " + p)) {
        errno = EIO;
        return -1;
    }
    if (int r = device->open(flags); r < 0) {
        errno = -r;
        return -1;
    }
    std::lock_guard lock(host::g_dev_mutex);
    const int fd = host::g_next_fd++;
    host::g_fds[fd] = host::OpenDevice{p, device};
    return fd;
}

int dev_close(int fd) {
    host::OpenDevice d;
    {
        std::lock_guard lock(host::g_dev_mutex);
        auto it = host::g_fds.find(fd);
        if (it == host::g_fds.end()) {
            errno = EBADF;
            return -1;
        }
        d = std::move(it->second);
        host::g_fds.erase(it);
    }
    d.device->close();
    return 0;
}

namespace host {
namespace {
// Runs `call` on the device behind `fd`, after the failure point `op` (the
// path is appended) when one is given; errors come back as -1 with errno.
template <typename Call>
auto on_device(int fd, const char* op, Call call) -> decltype(call(std::declval<Device&>(), std::string{})) {
    OpenDevice d;
    if (!lookup(fd, d)) {
        errno = EBADF;
        return -1;
    }
    if (op && take_failure(std::string(op) + " " + d.path)) {
        errno = EIO;
        return -1;
    }
    return result(call(*d.device, d.path));
}
}  // namespace
}  // namespace host

ssize_t dev_read(int fd, void* buf, std::size_t len) {
    return host::on_device(fd, "read", [&](host::Device& d, const std::string&) { return d.read(buf, len); });
}

ssize_t dev_write(int fd, const void* buf, std::size_t len) {
    return host::on_device(fd, "write", [&](host::Device& d, const std::string&) { return d.write(buf, len); });
}

int dev_ioctl(int fd, unsigned long request, void* arg) {
    return host::on_device(fd, nullptr, [&](host::Device& d, const std::string& path) {
        if (take_failure(host::ioctl_op(path, request))) return -EIO;
        return d.ioctl(request, arg);
    });
}

int dev_tcgetattr(int fd, termios* t) {
    return host::on_device(fd, nullptr, [&](host::Device& d, const std::string&) { return d.tcgetattr(t); });
}

int dev_tcsetattr(int fd, int when, const termios* t) {
    return host::on_device(fd, "tcsetattr", [&](host::Device& d, const std::string&) { return d.tcsetattr(when, t); });
}

int dev_tcflush(int fd, int queue) {
    return host::on_device(fd, nullptr, [&](host::Device& d, const std::string&) { return d.tcflush(queue); });
}

// ---------------------------------------------------------------- clock

namespace {
std::int64_t board_now_us() {
    return host::g_sys_base_us.load() + static_cast<std::int64_t>(std::llround(host::board_uptime() * 1e6));
}
}  // namespace

std::time_t clk_time() { return static_cast<std::time_t>(board_now_us() / 1000000); }

int clk_gettimeofday(timeval* tv) {
    if (!tv) {
        errno = EFAULT;
        return -1;
    }
    const std::int64_t us = board_now_us();
    tv->tv_sec = static_cast<time_t>(us / 1000000);
    tv->tv_usec = static_cast<suseconds_t>(us % 1000000);
    return 0;
}

int clk_settimeofday(const timeval* tv) {
    if (!tv || tv->tv_usec < 0 || tv->tv_usec >= 1000000 || tv->tv_sec < 0) {
        errno = EINVAL;
        return -1;
    }
    if (take_failure("settimeofday")) {
        errno = EPERM;
        return -1;
    }
    const std::int64_t target = static_cast<std::int64_t>(tv->tv_sec) * 1000000 + tv->tv_usec;
    host::g_sys_base_us = target - static_cast<std::int64_t>(std::llround(host::board_uptime() * 1e6));
    char text[64];
    std::snprintf(text, sizeof text, "settimeofday %" PRId64, static_cast<std::int64_t>(tv->tv_sec));
    host::board_log("clock", text);
    return 0;
}

void clk_sleep(unsigned seconds) { host::board_sleep(seconds); }
void clk_usleep(unsigned microseconds) { host::board_sleep(microseconds * 1e-6); }
