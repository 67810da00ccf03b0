// The serial line as a real pseudo-terminal: port settings, and the external
// mode where an outside program plays the microcontroller.
#include <atomic>
#include <thread>
#include <unistd.h>

#include "board_fixture.h"
#include "serial_link.h"

namespace {

class SerialLine : public BoardTest {};

TEST_F(SerialLine, AcceptsTheSystemsPortSettings) {
    const int fd = open_serial();
    ASSERT_GE(fd, 0);
    // As the system sets it up: raw, 115200 baud, 8 data bits, no parity, 2 stop bits.
    termios t{};
    t.c_cflag = CLOCAL | CREAD | CS8 | CSTOPB;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    ASSERT_EQ(dev_tcflush(fd, TCIFLUSH), 0);
    ASSERT_EQ(dev_tcsetattr(fd, TCSANOW, &t), 0);
    termios back{};
    ASSERT_EQ(dev_tcgetattr(fd, &back), 0);
    EXPECT_EQ(cfgetispeed(&back), speed_t(B115200));
    EXPECT_EQ(cfgetospeed(&back), speed_t(B115200));
    EXPECT_EQ(back.c_cflag & (CSIZE | CSTOPB | PARENB), tcflag_t(CS8 | CSTOPB));
    EXPECT_EQ(back.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(back.c_oflag & OPOST, 0u);
    dev_close(fd);
}

class ExternalMcu : public BoardTest {
protected:
    void SetUp() override {
        host::BoardOptions o;
        o.start_mcu = false;
        power_on(o);
        outside_ = ::open(host::mcu_tty_path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(outside_, 0);
    }
    void TearDown() override {
        ::close(outside_);
        BoardTest::TearDown();
    }
    int outside_ = -1;
};

TEST_F(ExternalMcu, BytesPassBothWays) {
    EXPECT_EQ(host::board_log_lines("mcu"), std::vector<std::string>{"mcu: external, open " + host::mcu_tty_path()});
    const int fd = open_serial();
    ASSERT_GE(fd, 0);
    std::uint8_t buf[16];
    EXPECT_EQ(dev_read(fd, buf, sizeof buf), -1);
    EXPECT_EQ(errno, EAGAIN);

    const Bytes key{0x55, 0xA0, 0x02, 0x85, 0x05, 0x8A};
    ASSERT_EQ(::write(outside_, key.data(), key.size()), ssize_t(key.size()));
    EXPECT_TRUE(wait_frame(fd, key));

    write_all(fd, {0x55, 0x0A, 0xBB, 0x01});
    Bytes got(4);
    for (std::size_t n = 0; n < got.size();) {
        const ssize_t r = ::read(outside_, got.data() + n, got.size() - n);
        ASSERT_GT(r, 0);
        n += std::size_t(r);
    }
    EXPECT_EQ(got, (Bytes{0x55, 0x0A, 0xBB, 0x01}));
    EXPECT_TRUE(host::mcu_received_bytes().empty());  // no simulator listens
    dev_close(fd);
}

TEST_F(ExternalMcu, BlockingReadWaitsAndPowerOffEndsIt) {
    const int fd = dev_open("/dev/ttyAMA1", O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    std::atomic<ssize_t> first{0};
    ssize_t second = 0;
    std::uint8_t got = 0;
    std::thread reader([&] {
        first = dev_read(fd, &got, 1);
        second = dev_read(fd, &got, 1);
    });
    sleep_ms(30);  // the read usually waits already; it must take the byte either way
    const std::uint8_t b = 0x42;
    EXPECT_EQ(::write(outside_, &b, 1), 1);
    // The first read has taken the byte before power goes off, however busy the host.
    for (int i = 0; i < 10000 && first == 0; ++i) sleep_ms(1);
    host::board_shutdown();
    reader.join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(got, 0x42);
    EXPECT_EQ(second, -1);
}

}  // namespace
