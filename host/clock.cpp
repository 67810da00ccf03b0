// The board's clock: board time advances when the whole process waits.
#include "host/clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace host::clock {
namespace {

using Steady = std::chrono::steady_clock;
constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();

struct Entry {
    std::uint64_t id;
    pid_t tid;
    std::int64_t deadline;
    std::mutex* mutex;
    std::condition_variable* cv;
    int fd;
    bool settled;  // woken once the rest is idle at its deadline
    bool first;    // woken before the rest due at its deadline
    bool due;     // its deadline came: it runs as soon as it is woken
    bool woken;   // and it was
    bool poked;   // what it waits for changed
};

struct State {
    std::mutex mutex;
    std::condition_variable kick;
    bool kicked = false;
    std::atomic<std::int64_t> now{0};
    double speed = 1.0;
    std::int64_t ref_board = 0;  // board time at ref_wall, for the speed limit
    Steady::time_point ref_wall = Steady::now();
    std::vector<Entry> entries;
    std::uint64_t next_id = 1;
    std::uint64_t version = 0;  // changes with every wait begun, ended or poked
    std::atomic<bool (*)()> activity{nullptr};
    int holds = 0;
    pid_t tid = 0;
};

pid_t this_tid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// The threads of this process and their state files, kept open between
// looks: the clock looks often.
class Threads {
public:
    // True when no thread but `self` and those waiting on the clock
    // (`waiting`, sorted) may run.
    //
    // States are read one thread after another, so a thread read as asleep
    // may be woken by one read later, which then sleeps itself: both look
    // idle. A second look that finds every thread asleep and none scheduled
    // since the first closes that gap. A thread started after the list was
    // read (its starter may already wait for it) is not idle either.
    bool idle(const std::vector<pid_t>& waiting, pid_t self) {
        if (list() < 0) return false;
        auto others = [&](const Known& k) {
            return k.tid != self && !std::binary_search(waiting.begin(), waiting.end(), k.tid);
        };
        for (Known& k : known_) {
            if (!others(k)) continue;
            k.runs = runs(k);
            if (busy(k)) return false;
        }
        for (Known& k : known_) {
            if (!others(k)) continue;
            if (busy(k) || runs(k) != k.runs) return false;
        }
        return list() == 0;
    }

private:
    struct Known {
        pid_t tid;
        int fd;
        int sched_fd;
        bool seen;
        std::uint64_t runs = 0;
    };

    // Reads the list again: the number of threads new to it, -1 on failure.
    int list() {
        if (dir_ < 0) dir_ = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir_ < 0 || ::lseek(dir_, 0, SEEK_SET) != 0) return -1;
        int added = 0;
        for (Known& k : known_) k.seen = false;
        alignas(8) char buf[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, dir_, buf, sizeof buf);
            if (n < 0) return -1;
            if (n == 0) break;
            for (long at = 0; at < n;) {
                const auto* e = reinterpret_cast<const Dirent*>(buf + at);
                at += e->reclen;
                if (e->name[0] < '0' || e->name[0] > '9') continue;
                const auto tid = static_cast<pid_t>(std::atoi(e->name));
                auto it = std::find_if(known_.begin(), known_.end(), [tid](const Known& k) { return k.tid == tid; });
                if (it != known_.end()) {
                    it->seen = true;
                    continue;
                }
                char path[64], sched[64];
                std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(tid));
                std::snprintf(sched, sizeof sched, "/proc/self/task/%d/schedstat", static_cast<int>(tid));
                known_.push_back(Known{tid, ::open(path, O_RDONLY | O_CLOEXEC), ::open(sched, O_RDONLY | O_CLOEXEC),
                                       true});
                ++added;
            }
        }
        std::erase_if(known_, [](const Known& k) {
            if (!k.seen && k.fd >= 0) ::close(k.fd);
            if (!k.seen && k.sched_fd >= 0) ::close(k.sched_fd);
            return !k.seen;
        });
        return added;
    }

    // How often the thread has been given a processor (0 when unknown).
    static std::uint64_t runs(const Known& k) {
        if (k.sched_fd < 0) return 0;
        char buf[128];
        const ssize_t n = ::pread(k.sched_fd, buf, sizeof buf - 1, 0);
        if (n <= 0) return 0;
        buf[n] = 0;
        unsigned long long run_ns = 0, wait_ns = 0, slices = 0;
        if (std::sscanf(buf, "%llu %llu %llu", &run_ns, &wait_ns, &slices) != 3) return 0;
        return slices;
    }

    // Runnable, or in an uninterruptible wait (which ends by itself).
    static bool busy(const Known& k) {
        if (k.fd < 0) return false;
        char buf[512];
        const ssize_t n = ::pread(k.fd, buf, sizeof buf - 1, 0);
        if (n <= 0) return false;  // gone
        buf[n] = 0;
        // The state follows the command name, which may itself hold ')'.
        const char* close = std::strrchr(buf, ')');
        if (!close || close[1] != ' ') return false;
        const char state = close[2];
        return state != 'S' && state != 'T' && state != 't' && state != 'Z' && state != 'X' && state != 'I';
    }

    struct Dirent {
        std::uint64_t ino;
        std::int64_t off;
        unsigned short reclen;
        unsigned char type;
        char name[1];
    };

    int dir_ = -1;
    std::vector<Known> known_;
};

// Board time the speed limit allows now. After a stretch of busy host time
// the clock catches up at most a tenth of a board second at once.
std::int64_t speed_limit(State& s) {
    const auto wall = Steady::now();
    const double allowed = static_cast<double>(s.ref_board) +
                           std::chrono::duration<double, std::nano>(wall - s.ref_wall).count() * s.speed;
    const double credit = 1e8 * s.speed;
    const auto now = static_cast<double>(s.now.load());
    if (allowed - now > credit) {
        s.ref_board = s.now.load() + static_cast<std::int64_t>(credit);
        s.ref_wall = wall;
        return s.ref_board;
    }
    return allowed >= 9e18 ? kFar : static_cast<std::int64_t>(allowed);
}

void wake(Entry& e, bool& pending) {
    if (e.fd >= 0) {
        const std::uint64_t one = 1;
        if (::write(e.fd, &one, sizeof one) < 0) {
            // Already signalled.
        }
        e.woken = true;
    } else if (e.mutex->try_lock()) {
        // Under the waiter's mutex, so it is surely waiting or yet to look.
        e.cv->notify_all();
        e.mutex->unlock();
        e.woken = true;
    } else {
        pending = true;  // it holds its mutex on its way to waiting: try again
    }
}

void run(State& s) {
    s.tid = this_tid();
    std::unique_lock lock(s.mutex);
    auto poll = std::chrono::microseconds(20);
    std::vector<pid_t> waiting;
    Threads threads;
    for (;;) {
        bool busy = false, unwoken = false;
        for (Entry& e : s.entries) {
            if (e.due && !e.woken) wake(e, unwoken);
            if (e.due || e.poked) busy = true;
        }
        if (!busy) {
            const auto activity = s.activity.load();
            busy = s.holds > 0 || (activity && activity());
        }
        if (!busy) {
            waiting.clear();
            for (const Entry& e : s.entries) waiting.push_back(e.tid);
            std::sort(waiting.begin(), waiting.end());
            const std::uint64_t version = s.version;
            lock.unlock();
            const bool idle = threads.idle(waiting, s.tid);
            lock.lock();
            if (s.version != version) continue;  // a wait began or ended meanwhile: look again
            busy = !idle;
        }
        if (!busy) {
            // Everything else has run at this instant: the settled waits now.
            const bool others = std::any_of(s.entries.begin(), s.entries.end(), [&](const Entry& e) {
                return !e.settled && e.deadline <= s.now.load();
            });
            bool settled = false;
            for (Entry& e : s.entries)
                if (!others && e.settled && e.deadline <= s.now.load()) settled = e.due = true;
            if (settled) continue;
            std::int64_t next = kFar;
            for (const Entry& e : s.entries) next = std::min(next, e.deadline);
            const std::int64_t limit = speed_limit(s);
            if (next <= limit) {
                if (next > s.now.load()) s.now = next;
                const bool firsts = std::any_of(s.entries.begin(), s.entries.end(), [&](const Entry& e) {
                    return e.first && !e.due && e.deadline <= next;
                });
                for (Entry& e : s.entries)
                    if (e.deadline <= next && !e.settled && (e.first || !firsts)) e.due = true;
                poll = std::chrono::microseconds(20);
                continue;
            }
            // Held back by the speed limit: time flows up to it, then sleep
            // until it allows the next deadline (a new wait ends the sleep
            // early), in small steps while nothing waits for one.
            if (limit > s.now.load()) s.now = limit;
            const double gap_ns = next == kFar ? 2e6 : static_cast<double>(next - limit) / s.speed;
            const auto sleep = std::chrono::nanoseconds(static_cast<std::int64_t>(std::clamp(gap_ns, 2e4, 1e8)));
            s.kick.wait_for(lock, sleep, [&] { return s.kicked; });
            s.kicked = false;
            poll = std::chrono::microseconds(20);
            continue;
        }
        s.kick.wait_for(lock, poll, [&] { return s.kicked; });
        if (s.kicked || unwoken)
            poll = std::chrono::microseconds(20);
        else
            poll = std::min(poll * 2, std::chrono::microseconds(1000));
        s.kicked = false;
    }
}

// Never destroyed: waits may end while the process exits.
State& state() {
    static State* s = [] {
        auto* fresh = new State;
        std::thread([fresh] { run(*fresh); }).detach();
        return fresh;
    }();
    return *s;
}

std::uint64_t begin(std::int64_t deadline, std::mutex* mutex, std::condition_variable* cv, int fd, bool settled,
                    bool first) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    const std::uint64_t id = s.next_id++;
    const bool due = !settled && deadline <= s.now.load();
    s.entries.push_back(Entry{id, this_tid(), deadline, mutex, cv, fd, settled, first, due, false, false});
    ++s.version;
    s.kicked = true;
    s.kick.notify_one();
    return id;
}

}  // namespace

void reset(double speed) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.speed = speed > 0 ? speed : 1.0;
    s.now = 0;
    s.ref_board = 0;
    s.ref_wall = Steady::now();
    // Waits left from an earlier power-on keep their deadlines in the new time.
    ++s.version;
}

std::int64_t now_ns() { return state().now.load(); }

std::int64_t to_ns(double board_seconds) {
    if (!(board_seconds < 9e9)) return kFar;
    if (!(board_seconds > 0)) return 0;
    return static_cast<std::int64_t>(std::ceil(board_seconds * 1e9)) + 1;
}

Wait::Wait(double deadline, std::mutex& mutex, std::condition_variable& cv, bool settled)
    : id_(begin(to_ns(deadline), &mutex, &cv, -1, settled, false)) {}

Wait::Wait(double deadline, int fd, bool first) : id_(begin(to_ns(deadline), nullptr, nullptr, fd, false, first)) {}

Wait::~Wait() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.entries, [this](const Entry& e) { return e.id == id_; });
    ++s.version;
}

void poke(const std::condition_variable& cv) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (Entry& e : s.entries)
        if (e.cv == &cv) e.poked = true;
    ++s.version;
}

void poke(int fd) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (Entry& e : s.entries)
        if (e.fd == fd && fd >= 0) e.poked = true;
    ++s.version;
}

void hold() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    ++s.holds;
}

void release() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.holds > 0) --s.holds;
    ++s.version;
    s.kicked = true;
    s.kick.notify_one();
}

void set_activity(bool (*busy)()) { state().activity = busy; }

}  // namespace host::clock
