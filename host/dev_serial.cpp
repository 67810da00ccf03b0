// "/dev/ttyAMA1": the serial line to the vehicle microcontroller, a real
// pseudo-terminal. The board's device opens the slave side while the
// microcontroller simulator holds the master; without the simulator the
// device takes the master and an outside program opens the slave.
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "host/clock.h"
#include "host/devices_parts.h"
#include "host/internal.h"

namespace host {
namespace {

// One real descriptor with an event to interrupt waits on it; closed when the
// last operation using it has returned.
struct Line {
    int fd = -1;
    int wake = -1;
    bool nonblock = false;
    bool master = false;
    ~Line() {
        if (fd >= 0) ::close(fd);
        if (wake >= 0) ::close(wake);
    }
    void interrupt() const {
        const std::uint64_t one = 1;
        if (::write(wake, &one, sizeof one) < 0) {
            // The counter cannot overflow from these few signals.
        }
    }
};

// The simulator's end of the line while it runs, or -1. The kernel passes
// bytes on through the pseudo-terminal later, on its own schedule; a read or
// poll that finds nothing waiting first makes it pass on everything written
// before. The system's writes are handed over that way at once, and board
// time waits while the simulator has bytes to read: what the system wrote at
// a board instant reaches the simulator at that instant, however busy the
// host is.
std::atomic<int> g_simulator{-1};

bool mcu_has_bytes() {
    const int fd = g_simulator.load();
    int waiting = 0;
    return fd >= 0 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
}

void hand_over(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 0) < 0 && errno == EINTR) {
    }
}

int set_nonblock(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    return fl < 0 ? -1 : ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
}

// Waits until `fd` is ready for `events`; 1 ready, 0 timed out, negative errno.
int wait_for(const Line& line, short events, int timeout_ms) {
    for (;;) {
        pollfd p[2] = {{line.fd, events, 0}, {line.wake, POLLIN, 0}};
        const int n = ::poll(p, 2, timeout_ms);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -errno;
        if (n == 0) return 0;
        if (p[1].revents) return -EIO;
        if (p[0].revents & POLLNVAL) return -EBADF;
        return 1;  // ready, or hung up: the next call reports which
    }
}

class SerialPort : public Device {
public:
    SerialPort(std::string path, int master) : path_(std::move(path)), master_(master) {}

    // Several opens share one real descriptor, taken with the first open's flags.
    int open(int flags) override {
        std::lock_guard lock(mutex_);
        if (stopped_) return -EIO;
        if (opens_ == 0) {
            auto line = std::make_shared<Line>();
            line->master = master_ >= 0;
            line->nonblock = (flags & O_NONBLOCK) != 0;
            line->fd = line->master ? ::fcntl(master_, F_DUPFD_CLOEXEC, 0)
                                    : ::open(path_.c_str(), (flags & O_ACCMODE) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (line->fd < 0) return -errno;
            // Waits are done with poll so that closing and power-off can end them.
            if (set_nonblock(line->fd) < 0) return -errno;
            line->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (line->wake < 0) return -errno;
            line_ = std::move(line);
        }
        ++opens_;
        return 0;
    }

    void close() override {
        std::shared_ptr<Line> line;
        {
            std::lock_guard lock(mutex_);
            if (opens_ == 0 || --opens_ > 0) return;
            line.swap(line_);
        }
        if (line) line->interrupt();
    }

    ssize_t read(void* buf, std::size_t len) override {
        auto line = current();
        if (!line) return -EBADF;
        if (!buf) return -EFAULT;
        if (len == 0) return 0;
        for (;;) {
            const ssize_t r = ::read(line->fd, buf, len);
            if (r > 0 && !line->master) {
                // Read on until the line is empty: a read that finds nothing
                // has the kernel pass on what the simulator wrote before it,
                // so this read has all of it, as the line would have
                // delivered it by this board time.
                auto got = static_cast<std::size_t>(r);
                while (got < len) {
                    const ssize_t more = ::read(line->fd, static_cast<char*>(buf) + got, len - got);
                    if (more <= 0) break;
                    got += static_cast<std::size_t>(more);
                }
                return static_cast<ssize_t>(got);
            }
            if (r >= 0) return r;
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return -errno;
            if (line->nonblock) return -EAGAIN;
            int timeout = -1;
            termios t{};
            // A blocking raw read honours the minimum count and timeout of the line.
            if (!line->master && ::tcgetattr(line->fd, &t) == 0 && !(t.c_lflag & ICANON) && t.c_cc[VMIN] == 0) {
                if (t.c_cc[VTIME] == 0) return 0;
                timeout = t.c_cc[VTIME] * 100;
            }
            const int w = wait_for(*line, POLLIN, timeout);
            if (w < 0) return w;
            if (w == 0) return 0;
        }
    }

    ssize_t write(const void* buf, std::size_t len) override {
        auto line = current();
        if (!line) return -EBADF;
        if (!buf) return -EFAULT;
        std::size_t done = 0;
        while (done < len) {
            const ssize_t r = ::write(line->fd, static_cast<const char*>(buf) + done, len - done);
            if (r > 0) {
                done += static_cast<std::size_t>(r);
                continue;
            }
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno != EAGAIN) return done > 0 ? static_cast<ssize_t>(done) : -errno;
            if (line->nonblock) return done > 0 ? static_cast<ssize_t>(done) : -EAGAIN;
            const int w = wait_for(*line, POLLOUT, -1);
            if (w < 0) return done > 0 ? static_cast<ssize_t>(done) : w;
        }
        if (!line->master && done > 0) {
            const int simulator = g_simulator.load();
            if (simulator >= 0) hand_over(simulator);
        }
        return static_cast<ssize_t>(done);
    }

    int tcgetattr(termios* t) override {
        auto line = current();
        if (!line) return -EBADF;
        if (!t) return -EFAULT;
        return ::tcgetattr(line->fd, t) == 0 ? 0 : -errno;
    }

    int tcsetattr(int when, const termios* t) override {
        auto line = current();
        if (!line) return -EBADF;
        if (!t) return -EFAULT;
        return ::tcsetattr(line->fd, when, t) == 0 ? 0 : -errno;
    }

    int tcflush(int queue) override {
        auto line = current();
        if (!line) return -EBADF;
        return ::tcflush(line->fd, queue) == 0 ? 0 : -errno;
    }

    void shutdown() {
        std::shared_ptr<Line> line;
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            opens_ = 0;
            line.swap(line_);
        }
        if (line) line->interrupt();
    }

private:
    std::shared_ptr<Line> current() {
        std::lock_guard lock(mutex_);
        return line_;
    }

    const std::string path_;
    const int master_;  // >= 0: the device is the master side
    std::mutex mutex_;
    std::shared_ptr<Line> line_;
    int opens_ = 0;
    bool stopped_ = false;
};

struct Pty {
    int master = -1;
    int keeper = -1;  // a slave descriptor held open so the master never sees a hang-up
    bool lent = false;
    std::string slave_path;
    std::shared_ptr<SerialPort> port;
};

std::mutex g_mutex;
Pty g_pty;

bool open_pty(Pty& p, std::string& error) {
    p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0 || ::ptsname_r(p.master, name, sizeof name) != 0) {
        error = std::string("pseudo-terminal set-up: ") + std::strerror(errno);
        return false;
    }
    p.slave_path = name;
    termios t{};
    if (::tcgetattr(p.master, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(p.master, TCSANOW, &t);
    }
    p.keeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (p.keeper < 0 || set_nonblock(p.master) < 0) {
        error = std::string("open ") + name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void close_pty(Pty& p) {
    if (p.port) p.port->shutdown();
    if (p.keeper >= 0) ::close(p.keeper);
    if (p.master >= 0) ::close(p.master);
    p = Pty{};
}

}  // namespace

void parts::serial_power_on(bool simulated_mcu) {
    Pty p;
    std::string error;
    if (!open_pty(p, error)) {
        close_pty(p);
        board_log("serial", "no pseudo-terminal: " + error);
        // The device still exists; opening it fails like a missing driver.
        p.port = std::make_shared<SerialPort>("", -1);
        p.port->shutdown();
    } else {
        p.lent = !simulated_mcu;
        p.port = std::make_shared<SerialPort>(p.slave_path, p.lent ? p.master : -1);
        if (p.lent) board_log("mcu", "external, open " + p.slave_path);
    }
    auto port = p.port;
    {
        std::lock_guard lock(g_mutex);
        close_pty(g_pty);
        g_pty = std::move(p);
    }
    register_device("/dev/ttyAMA1", port);
}

void parts::serial_power_off() {
    std::lock_guard lock(g_mutex);
    close_pty(g_pty);
}

void parts::serial_count_transfers(bool on) {
    g_simulator = on ? serial_master_fd() : -1;
    clock::set_activity(on ? mcu_has_bytes : nullptr);
}

int parts::serial_master_fd() {
    std::lock_guard lock(g_mutex);
    return g_pty.lent ? -1 : g_pty.master;
}

std::string mcu_tty_path() {
    std::lock_guard lock(g_mutex);
    return g_pty.slave_path;
}

}  // namespace host
