// One key per pass from the key frame, the panel buttons and the remote; the
// signal edges.
#include <fcntl.h>

#include "dsp/dsp_control.h"
#include "platform/devices.h"
#include "tests/board_fixture.h"

namespace {

// Runs passes with the given buttons held and no remote; the codes.
std::vector<int> passes(std::uint8_t car_key, int n, Kv_UART_INFO& info) {
    std::vector<int> codes;
    info.car_key = car_key;
    for (int i = 0; i < n; ++i) codes.push_back(decode_key(&info, -1));
    return codes;
}

class Keys : public BoardTest {
protected:
    Kv_UART_INFO info{};
    void SetUp() override {
        BoardTest::SetUp();
        gpio_reverse = 1;
        // Forget the previous test's buttons.
        info.car_key = 0;
        decode_key(&info, -1);
        decode_key(&info, -1);
    }
};

TEST_F(Keys, KeyFrameCountsForOnePass) {
    info.key = 8;
    EXPECT_EQ(decode_key(&info, -1), 8);
    EXPECT_EQ(info.key, 0);
    EXPECT_EQ(decode_key(&info, -1), 0);
}

TEST_F(Keys, HeldButtonGivesItsCodeThenTheHeldCodeEveryThirdPass) {
    // Pressed on pass 1; held code on the 4th pass after that and every 3rd from there.
    EXPECT_EQ(passes(0x40, 11, info), (std::vector<int>{5, 0, 0, 0, 133, 0, 0, 133, 0, 0, 133}));
    EXPECT_EQ(passes(0, 1, info), (std::vector<int>{0}));
    EXPECT_EQ(passes(0x01, 5, info), (std::vector<int>{27, 0, 0, 0, 155}));
}

TEST_F(Keys, EachButtonHasItsCode) {
    const std::pair<std::uint8_t, int> buttons[] = {{0x01, 27}, {0x02, 26}, {0x04, 4}, {0x08, 6}, {0x20, 18}, {0x40, 5}};
    for (auto [bit, code] : buttons) {
        EXPECT_EQ(passes(bit, 1, info)[0], code) << int(bit);
        passes(0, 1, info);
    }
}

TEST_F(Keys, TwoButtonsOrButton0x10GiveNothing) {
    EXPECT_EQ(passes(0x03, 8, info), std::vector<int>(8, 0));
    EXPECT_EQ(key_press, 1);  // the repeat counter still runs
    passes(0, 1, info);
    EXPECT_EQ(passes(0x10, 8, info), std::vector<int>(8, 0));
}

TEST_F(Keys, ExitHeldWithTheDisplayOffWakesOnThe11thPass) {
    gpio_reverse = 0;
    passes(0, 1, info);
    std::vector<int> expect(10, 0);
    expect.insert(expect.end(), {96, 96, 96});
    EXPECT_EQ(passes(0x20, 13, info), expect);
    // Other buttons do nothing while the display is off, and releasing restarts the count.
    EXPECT_EQ(passes(0x40, 3, info), std::vector<int>(3, 0));
    EXPECT_EQ(passes(0x20, 10, info), std::vector<int>(10, 0));
}

TEST_F(Keys, RemoteKeyPlainAndHeld) {
    const int ir = dev_open("/dev/Hi_IR", O_RDWR | O_NONBLOCK);
    ASSERT_GE(ir, 0);
    // One key-down record: the plain code.
    host::ir_push(0xFA056B86, 0);
    EXPECT_EQ(decode_key(&info, ir), 5);
    // Key-down records in two reads in a row: the second gives the held form.
    host::ir_push(0xE41B6B86, 0);
    EXPECT_EQ(decode_key(&info, ir), 27 | 0x80);
    host::ir_push(0xE41B6B86, 1);  // release
    EXPECT_EQ(decode_key(&info, ir), 0);
    host::ir_push(0xE41B6B86, 0);
    EXPECT_EQ(decode_key(&info, ir), 27);
    // Another remote's address is ignored; the key frame's code stands.
    host::ir_push(0xEF10FF00, 0);
    info.key = 12;
    EXPECT_EQ(decode_key(&info, ir), 12);
    dev_close(ir);
}

TEST(Signals, EdgesOfReverseAndAcc) {
    back_bk = 0;
    // First call with reverse already engaged: just engaged.
    EXPECT_EQ(get_back(0x04), 2);
    EXPECT_EQ(get_back(0x04), 3);
    EXPECT_EQ(get_back(0x00), 0);
    EXPECT_EQ(get_back(0x00), 1);
    // Set for one pass only.
    EXPECT_EQ(get_back(0x04), 2);
    EXPECT_EQ(get_back(0x00), 0);
    acc_bk = 0;
    EXPECT_EQ(get_acc(0x00), 1);
    EXPECT_EQ(get_acc(0x10), 2);
    EXPECT_EQ(get_acc(0x10), 3);
    EXPECT_EQ(get_acc(0x00), 0);
    EXPECT_EQ(get_stop(0x20), 1);
    EXPECT_EQ(get_stop(0xDF), 0);
}

TEST(Signals, TriggerBitsFollowTheTurnSetting) {
    Image_param p{};
    EXPECT_EQ(check_status(0x07, p), 4);
    EXPECT_EQ(check_status(0x03, p), 0);
    p.turn_time = 2;
    EXPECT_EQ(check_status(0x03, p), 3);
    EXPECT_EQ(check_status(0x1F, p), 7);
}

TEST(Signals, RecordBitsAndVersion) {
    Kv_UART_INFO info{};
    info.sys_status = 0xA0;
    info.pic_ver = 0x93;
    info.parking_time = 7;
    decode_signals(&info);
    EXPECT_EQ(record_permit, 0);
    EXPECT_EQ(record_lock, 1);
    EXPECT_EQ(pic_ver, 0x13);
    EXPECT_EQ(parking_time, 7);
    info.sys_status = 0x10;
    decode_signals(&info);
    EXPECT_EQ(record_permit, 1);
    EXPECT_EQ(record_lock, 0);
}

}  // namespace
