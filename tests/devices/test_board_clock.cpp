// Board time passes only while every thread waits, so what the system sees
// by a board deadline does not depend on how busy the host is.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "board_fixture.h"
#include "host/clock.h"
#include "serial_link.h"

namespace {

class BoardClock : public BoardTest {
protected:
    void fast() {
        host::BoardOptions o;
        o.clock_speed = 1000;
        power_on(o);
    }
};

// Host work of the given length, never waiting.
void compute_for(std::chrono::microseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    volatile unsigned sink = 0;
    while (std::chrono::steady_clock::now() < end) sink = sink + 1;
}

TEST_F(BoardClock, WorkTakesNoBoardTimeOnlyWaitsDo) {
    fast();
    const double start = host::board_uptime();
    host::board_sleep(0.25);
    compute_for(std::chrono::milliseconds(100));  // a hundred board seconds at this speed by a wall clock
    host::board_sleep(0.25);
    EXPECT_NEAR(host::board_uptime() - start, 0.5, 1e-6);
}

// A helper that never touches the board computes while the waiting thread
// waits for it on a plain condition variable: board time stands still,
// and a thread sleeping on the board is not woken meanwhile.
TEST_F(BoardClock, ThreadsWorkingForAWaiterHoldTimeStill) {
    fast();
    std::atomic<int> ticks{0};
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            host::board_sleep(0.01);
            ++ticks;
        }
    });
    host::board_sleep(0.1);  // the ticker is under way

    std::mutex m;
    std::condition_variable cv;
    bool asked = false, done = false;
    std::thread helper([&] {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return asked; });
        lock.unlock();
        compute_for(std::chrono::milliseconds(100));
        lock.lock();
        done = true;
        cv.notify_all();
    });
    const double before = host::board_uptime();
    const int ticks_before = ticks.load();
    {
        std::unique_lock lock(m);
        asked = true;
        cv.notify_all();
        cv.wait(lock, [&] { return done; });
    }
    EXPECT_EQ(host::board_uptime(), before);
    EXPECT_EQ(ticks.load(), ticks_before);
    helper.join();
    stop = true;
    ticker.join();
}

// Without the microcontroller's 50 ms frames nothing else waits: the one
// deadline lies further ahead than the clock may catch up at once.
// A scenario event at the instant the system wakes sees what the system
// did at that instant, not half of it.
// A thread started while its starter waits for it works like any other,
// however new: no board time passes while the starter joins it.
TEST_F(BoardClock, AThreadJustStartedHoldsTimeStillWhileItsStarterJoinsIt) {
    fast();
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) host::board_sleep(0.01);
    });
    host::board_sleep(0.1);
    const double start = host::board_uptime();
    for (int i = 0; i < 300; ++i) std::thread([] { compute_for(std::chrono::microseconds(300)); }).join();
    EXPECT_EQ(host::board_uptime(), start);
    stop = true;
    ticker.join();
}

// Held, board time stands still even while every thread waits on it.
TEST_F(BoardClock, AHoldStopsBoardTimeUntilItsRelease) {
    fast();
    host::board_sleep(0.1);
    const double start = host::board_uptime();
    host::clock::hold();
    std::atomic<bool> woke{false};
    std::thread sleeper([&] {
        host::board_sleep(0.5);
        woke = true;
    });
    sleep_ms(50);  // fifty board seconds at this speed, were it not held
    EXPECT_EQ(host::board_uptime(), start);
    EXPECT_FALSE(woke.load());
    host::clock::release();
    sleeper.join();
    EXPECT_NEAR(host::board_uptime() - start, 0.5, 1e-6);
}

TEST_F(BoardClock, SettledSleepSeesTheWorkDoneAtItsInstant) {
    fast();
    std::atomic<int> passes{0};
    std::atomic<bool> stop{false};
    std::thread system([&] {
        while (!stop) {
            host::board_sleep(0.1);
            compute_for(std::chrono::milliseconds(5));
            ++passes;
        }
    });
    for (int i = 1; i <= 10; ++i) {
        host::board_sleep(0.1, true);
        EXPECT_EQ(passes.load(), i);
    }
    stop = true;
    system.join();
}

TEST_F(BoardClock, NeverRunsFasterThanTheBoardSpeed) {
    host::BoardOptions o;
    o.clock_speed = 10;
    o.start_mcu = false;
    power_on(o);
    const auto start = std::chrono::steady_clock::now();
    const double board_start = host::board_uptime();
    host::board_sleep(3.0);
    const double host_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // At most a tenth of a host second of catching up after power-on.
    EXPECT_GE(host_seconds, (host::board_uptime() - board_start) / 10 - 0.1);
}

// Bytes crossing the pseudo-terminal arrive in the board instant they were
// sent, however long the kernel takes to pass them on.
TEST_F(BoardClock, SerialBytesArriveInTheBoardInstantTheyWereSent) {
    fast();
    const int fd = open_serial();
    ASSERT_GE(fd, 0);
    termios t{};
    cfmakeraw(&t);
    ASSERT_EQ(dev_tcsetattr(fd, TCSANOW, &t), 0);
    for (int round = 0; round < 50; ++round) {
        std::uint8_t drain[4096];
        while (dev_read(fd, drain, sizeof drain) > 0) {
        }
        const auto code = static_cast<std::uint8_t>(round + 1);
        host::mcu_send_key(code);
        host::board_sleep(0.001);
        Bytes got(4096);
        const ssize_t r = dev_read(fd, got.data(), got.size());
        ASSERT_GT(r, 0) << "round " << round;
        got.resize(static_cast<std::size_t>(r));
        const Bytes key{0x55, 0xA0, 0x02, 0x85, code, static_cast<std::uint8_t>(0x85 + code)};
        EXPECT_NE(std::search(got.begin(), got.end(), key.begin(), key.end()), got.end()) << "round " << round;

        const std::uint8_t heartbeat[4] = {0x55, 0x0A, 0xBB, static_cast<std::uint8_t>(round & 1)};
        ASSERT_EQ(dev_write(fd, heartbeat, sizeof heartbeat), 4);
        host::board_sleep(0.001);
        const auto commands = host::mcu_commands();
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), "heartbeat " + std::to_string(round & 1)) << "round " << round;
    }
    dev_close(fd);
}

}  // namespace
