// The microcontroller's frames and the system's reads due at the same board
// instant: the frame is there, whatever order the host runs the threads in.
#include <condition_variable>
#include <mutex>

#include "board_fixture.h"
#include "host/clock.h"
#include "serial_link.h"

namespace {

class SerialInstant : public BoardTest {};

// Status frames leave every 50 ms from power-on. The system wakes at those
// very instants (the same sums of the period) and reads once without
// waiting: each read has the frame of its instant, so after the k-th wake
// it has seen k + 1 frames.
TEST_F(SerialInstant, AFrameDueWhenTheSystemWakesIsReadInThatWake) {
    host::BoardOptions o;
    o.clock_speed = 1000;
    power_on(o);
    const int fd = open_serial();
    ASSERT_GE(fd, 0);
    termios t{};
    cfmakeraw(&t);
    ASSERT_EQ(dev_tcsetattr(fd, TCSANOW, &t), 0);
    std::mutex m;
    std::condition_variable cv;
    const double start = host::board_uptime();
    ASSERT_EQ(start, 0.0);  // the simulator's first frame goes out at power-on
    double due = start;
    std::size_t frames = 0;
    Bytes rest;
    for (int k = 1; k <= 40; ++k) {
        due += 0.050;
        {
            std::unique_lock lock(m);
            host::clock::wait_until(lock, cv, due, [] { return false; });
        }
        std::uint8_t buf[4096];
        const ssize_t r = dev_read(fd, buf, sizeof buf);
        if (r > 0) rest.insert(rest.end(), buf, buf + r);
        for (std::size_t i = 0; i + 4 <= rest.size();) {
            if (rest[i] == 0x55 && rest[i + 1] == 0xA0 && rest[i + 3] == 0x81) {
                ++frames;
                i += rest[i + 2] + 4u;
            } else {
                ++i;
            }
        }
        rest.clear();  // status frames arrive whole: the line delivers what was written
        EXPECT_EQ(frames, static_cast<std::size_t>(k + 1)) << "wake " << k << " at " << host::board_uptime();
    }
    dev_close(fd);
}

}  // namespace
