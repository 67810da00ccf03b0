// The F4 key of the infrared test routines sets the receiver's buffer length: the
// length typed on the console reaches the receiver, which then keeps only that many
// unread records.
#include <fcntl.h>
#include <string>

#include "ir_console.h"
#include "common/hiir_test.h"

namespace {

class IrBufferLength : public IrConsoleTest {
protected:
    // Records waiting in the receiver after `pressed` more key downs (one read for all).
    static int kept_of(int pressed) {
        for (int i = 0; i < pressed; ++i) host::ir_push(0xFA056B86, 0);
        const int fd = dev_open("/dev/Hi_IR", O_RDONLY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        irkey_info_s recs[64];
        const ssize_t got = dev_read(fd, recs, sizeof recs);
        dev_close(fd);
        return got < 0 ? 0 : static_cast<int>(got / static_cast<ssize_t>(sizeof(irkey_info_s)));
    }
    static std::string ir_log() {
        std::string log;
        for (const auto& l : host::board_log_lines("ir")) log += l + "\n";
        return log;
    }
};

TEST_F(IrBufferLength, FunctionTestSetsItFromTheConsole) {
    EXPECT_EQ(kept_of(10), 10);
    console("3\n");
    host::ir_push(kF4, 0);
    host::ir_push(kPower, 0);
    const std::string out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_005(), 0); });
    EXPECT_NE(out.find("REMOTE_F4 key to set buffer length...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("RECEIVE ---> REMOTE_F4"), std::string::npos);
    EXPECT_NE(out.find("input buffer length = "), std::string::npos);
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_005 pass.\n"), std::string::npos);
    EXPECT_NE(ir_log().find("buffer length 3\n"), std::string::npos) << ir_log();
    EXPECT_EQ(kept_of(10), 3);
}

TEST_F(IrBufferLength, PollingTestSetsItAndTheNextSecondReadsThatMany) {
    // F4 at once, then up held: down at 0.11 s, 17 repeats 0.11 s apart (0.22 .. 1.98 s),
    // release and power at 2.09 s. The routine reads at 1, 2 and 3 s: F4 with nine ups, then
    // nine repeats of which the buffer of 2 keeps two, then release and power.
    host::BoardOptions fast;
    fast.clock_speed = 100;  // the routine's three one-second sleeps
    power_on(fast);
    console("2\n");
    host::ir_push(kF4, 0);
    host::ir_press(27, 17);
    host::ir_push(kPower, 0);
    const std::string out = output([] { EXPECT_EQ(Hi_IR_STRONG_TEST_003(), 0); });
    EXPECT_NE(out.find("REMOTE_F4 key to set buffer length...\n"), std::string::npos) << out;
    const auto first = out.find("read 10 unit key...\n"), prompt = out.find("input buffer length = "),
               second = out.find("read 2 unit key...\n");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_LT(first, prompt);
    EXPECT_LT(prompt, second);
    EXPECT_NE(out.find("read 2 unit key...\n", second + 1), std::string::npos) << out;
    EXPECT_NE(out.find("Hi_IR_STRONG_TEST_003 pass.\n"), std::string::npos);
    EXPECT_EQ(kept_of(5), 2);
}

TEST_F(IrBufferLength, TheReceiverRefusesLengthsItCannotHold) {
    const int fd = dev_open("/dev/Hi_IR", O_RDONLY);
    ASSERT_GE(fd, 0);
    for (unsigned bad : {0u, 1025u}) EXPECT_EQ(dev_ioctl(fd, IR_SET_BUF_LEN, &bad), -1) << bad;
    EXPECT_EQ(dev_ioctl(fd, IR_SET_BUF_LEN, nullptr), -1);
    unsigned one = 1, all = 1024;
    EXPECT_EQ(dev_ioctl(fd, IR_SET_BUF_LEN, &one), 0);
    dev_close(fd);
    EXPECT_EQ(kept_of(4), 1);
    console("0\n");
    host::ir_push(kF4, 0);
    const std::string out = output([] { EXPECT_EQ(Hi_IR_FUNC_TEST_005(), -1); });
    EXPECT_NE(out.find("Hi_IR_FUNC_TEST_005 ERROR: set buffer length fail.\n"), std::string::npos) << out;
    const int fd2 = dev_open("/dev/Hi_IR", O_RDONLY);
    EXPECT_EQ(dev_ioctl(fd2, IR_SET_BUF_LEN, &all), 0);
    dev_close(fd2);
    EXPECT_EQ(kept_of(40), 40);
}

}  // namespace
