// select() on the board's clock: the time-out counts board time, and a
// descriptor the board makes readable wakes the waiter in the same instant.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

#include "host/clock.h"
#include "host/internal.h"
#include "platform/clock.h"

namespace host {
namespace {

// Which waiters' wake-up descriptors watch which descriptor.
std::mutex g_watch_mutex;
std::multimap<int, int> g_watchers;

// One wake-up descriptor per thread, for the clock to signal its deadline.
struct WakeFd {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ~WakeFd() {
        if (fd >= 0) ::close(fd);
    }
};

class Watch {
public:
    Watch(const std::vector<pollfd>& fds, int wake) : wake_(wake) {
        std::lock_guard lock(g_watch_mutex);
        for (const pollfd& p : fds)
            if (p.fd != wake) g_watchers.emplace(p.fd, wake);
    }
    ~Watch() {
        std::lock_guard lock(g_watch_mutex);
        std::erase_if(g_watchers, [this](const auto& w) { return w.second == wake_; });
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

private:
    int wake_;
};

}  // namespace

void fd_ready(int fd) {
    std::lock_guard lock(g_watch_mutex);
    auto [from, to] = g_watchers.equal_range(fd);
    for (auto it = from; it != to; ++it) clock::poke(it->second);
}

}  // namespace host

int clk_select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, timeval* timeout) {
    if (nfds < 0 || nfds > FD_SETSIZE || (timeout && (timeout->tv_sec < 0 || timeout->tv_usec < 0))) {
        errno = EINVAL;
        return -1;
    }
    thread_local host::WakeFd wake;
    if (wake.fd < 0) {
        errno = ENOMEM;
        return -1;
    }
    std::vector<pollfd> fds;
    for (int fd = 0; fd < nfds; ++fd) {
        short events = 0;
        if (readfds && FD_ISSET(fd, readfds)) events |= POLLIN;
        if (writefds && FD_ISSET(fd, writefds)) events |= POLLOUT;
        if (exceptfds && FD_ISSET(fd, exceptfds)) events |= POLLPRI;
        if (events) fds.push_back(pollfd{fd, events, 0});
    }
    const std::size_t watched = fds.size();
    fds.push_back(pollfd{wake.fd, POLLIN, 0});
    const double deadline = timeout ? host::clock::now() + static_cast<double>(timeout->tv_sec) +
                                          static_cast<double>(timeout->tv_usec) * 1e-6
                                    : host::clock::kNever;
    const std::int64_t due = host::clock::to_ns(deadline);
    const auto slice = static_cast<int>(std::chrono::milliseconds(host::clock::kSlice).count());
    for (;;) {
        int n = 0;
        {
            host::Watch watch(fds, wake.fd);
            host::clock::Wait wait(deadline, wake.fd);
            n = ::poll(fds.data(), fds.size(), slice);
        }
        std::uint64_t drained = 0;
        if (::read(wake.fd, &drained, sizeof drained) < 0) {
            // Nothing was signalled.
        }
        if (n < 0) return -1;  // errno as poll left it (EINTR included)
        int ready = 0;
        for (std::size_t i = 0; i < watched; ++i)
            if (fds[i].revents & (fds[i].events | POLLERR | POLLHUP | POLLNVAL)) ++ready;
        if (ready > 0 || host::clock::now_ns() >= due) {
            if (readfds) FD_ZERO(readfds);
            if (writefds) FD_ZERO(writefds);
            if (exceptfds) FD_ZERO(exceptfds);
            int count = 0;
            for (std::size_t i = 0; i < watched; ++i) {
                const pollfd& p = fds[i];
                const short r = p.revents;
                if (r & POLLNVAL) {
                    errno = EBADF;
                    return -1;
                }
                if (readfds && (p.events & POLLIN) && (r & (POLLIN | POLLHUP | POLLERR))) {
                    FD_SET(p.fd, readfds);
                    ++count;
                }
                if (writefds && (p.events & POLLOUT) && (r & (POLLOUT | POLLERR))) {
                    FD_SET(p.fd, writefds);
                    ++count;
                }
                if (exceptfds && (p.events & POLLPRI) && (r & POLLPRI)) {
                    FD_SET(p.fd, exceptfds);
                    ++count;
                }
            }
            if (timeout) {
                const std::int64_t left = std::max<std::int64_t>(0, due - host::clock::now_ns());
                timeout->tv_sec = static_cast<time_t>(left / 1000000000);
                timeout->tv_usec = static_cast<suseconds_t>(left % 1000000000 / 1000);
            }
            return count;
        }
        for (pollfd& p : fds) p.revents = 0;
    }
}
