// The board's clock. Board time passes only while every thread of the
// process waits: on the board's clock, or blocked in the kernel. It then
// jumps to the earliest deadline any waiter has, never running ahead of the
// board's speed times host time. So the work the system does takes no board
// time, and what happens by a board deadline does not depend on how busy
// the host is, as with a software-in-the-loop simulator.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

namespace host::clock {

constexpr double kNever = std::numeric_limits<double>::infinity();

// Starts board time at zero with `speed` board seconds per host second at most.
void reset(double speed);
std::int64_t now_ns();  // board time since power-on
inline double now() { return static_cast<double>(now_ns()) / 1e9; }
// A deadline in board seconds as the clock counts it; kNever stays far away.
// Rounded up, so that once the clock reaches it, now() >= board_seconds.
std::int64_t to_ns(double board_seconds);

// A thread waiting on the board's clock. Made while holding `mutex` just
// before waiting on `cv` (or polling `fd`); ended when the thread runs again.
// When its deadline comes the clock notifies `cv` under `mutex`, or writes
// one to the eventfd `fd`. A `settled` wait is woken at its deadline only
// once every other thread woken at that instant waits again, so what it
// does next sees the system settled there (the scenario's events do). A
// `first` wait is woken before the others due at the same instant, which
// wait until it waits again (the microcontroller's frames go out first).
class Wait {
public:
    Wait(double deadline, std::mutex& mutex, std::condition_variable& cv, bool settled = false);
    Wait(double deadline, int fd, bool first = false);
    ~Wait();
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;

private:
    std::uint64_t id_;
};

// State that waiters on `cv` (or `fd`) wait for has changed and they were
// notified: they count as running until they wait again.
void poke(const std::condition_variable& cv);
void poke(int fd);

// Host time a waiter sleeps at most before looking again; a safety net only,
// the clock wakes waiters at their deadlines.
constexpr auto kSlice = std::chrono::milliseconds(100);

// Waits on `cv` with `lock` held until `done()` or board time `deadline`.
// Returns done().
template <class Done>
bool wait_until(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, double deadline, Done done,
                bool settled = false) {
    const std::int64_t due = to_ns(deadline);
    for (;;) {
        if (done()) return true;
        if (now_ns() >= due) return false;
        Wait wait(deadline, *lock.mutex(), cv, settled);
        cv.wait_for(lock, kSlice);
    }
}

// While held, board time stands still whatever the threads do: work that
// is no part of the board (the simulator setting up before power-on) takes
// no board time, however long the host takes over it or waits in it.
// Holds count; each hold() needs its release().
void hold();
void release();

// Something outside the threads' waits (bytes on their way through the
// kernel, say) that must arrive before board time may pass. Checked by the
// clock; returns true while busy.
void set_activity(bool (*busy)());

}  // namespace host::clock
