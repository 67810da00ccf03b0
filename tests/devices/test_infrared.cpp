// The infrared receiver: key records, their timing, reporting switches and
// the receiver settings.
#include <cstring>
#include <fcntl.h>
#include <thread>

#include "board_fixture.h"

namespace {

class Infrared : public BoardTest {
protected:
    void open_ir(int flags = O_RDONLY | O_NONBLOCK) {
        fd_ = dev_open("/dev/Hi_IR", flags);
        ASSERT_GE(fd_, 0);
    }

    // Blocking reads of records one by one; checks each record's key, state
    // and the board time it came, against `due` seconds after `t0`.
    void expect_records(double t0, std::uint32_t datal, std::initializer_list<std::pair<double, std::uint32_t>> due) {
        for (const auto& [at, state] : due) {
            irkey_info_s rec{};
            ASSERT_EQ(dev_read(fd_, &rec, sizeof rec), 12);
            const double t = host::board_uptime() - t0;
            EXPECT_EQ(rec.irkey_datal, datal);
            EXPECT_EQ(rec.irkey_state_code, state);
            EXPECT_GE(t, at - 0.005);
            EXPECT_LT(t, at + 0.2);  // generous: the host may be busy
        }
    }

    int fd_ = -1;
};

TEST_F(Infrared, OkKeyOfTheProductRemote) {
    open_ir();
    host::ir_press(5);
    std::uint8_t raw[12];
    ASSERT_EQ(dev_read(fd_, raw, sizeof raw), 12);
    // irkey_datah 0, irkey_datal 0xFA056B86, key-down; little-endian words.
    const std::uint8_t expected[12] = {0, 0, 0, 0, 0x86, 0x6B, 0x05, 0xFA, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(raw, expected, sizeof raw), 0);
    // Not yet released; a short buffer holds no record.
    EXPECT_EQ(dev_read(fd_, raw, sizeof raw), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(dev_read(fd_, raw, 11), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(Infrared, ReleaseAndRepeatsCome110msApart) {
    open_ir(O_RDONLY);
    double t0 = host::board_uptime();
    host::ir_press(5);
    expect_records(t0, 0xFA056B86, {{0, 0}, {0.11, 1}});
    t0 = host::board_uptime();
    host::ir_press(4, 2);  // left held: menu remote key 4 is 0xFB046B86
    expect_records(t0, 0xFB046B86, {{0, 0}, {0.11, 0}, {0.22, 0}, {0.33, 1}});
}

TEST_F(Infrared, OneOpenAtATimeReadingWholeRecords) {
    open_ir();
    EXPECT_EQ(dev_open("/dev/Hi_IR", O_RDONLY), -1);
    EXPECT_EQ(errno, EBUSY);
    dev_close(fd_);
    open_ir();
    host::ir_push(0x12345678, 0);
    host::ir_push(0x9ABCDEF0, 0);
    host::ir_push(0x0F0F0F0F, 1);
    irkey_info_s recs[3]{};
    EXPECT_EQ(dev_read(fd_, recs, 30), 24);
    EXPECT_EQ(recs[1].irkey_datal, 0x9ABCDEF0u);
    EXPECT_EQ(dev_read(fd_, recs, sizeof recs), 12);
    EXPECT_EQ(recs[0].irkey_datal, 0x0F0F0F0Fu);
    EXPECT_EQ(recs[0].irkey_state_code, 1u);
}

TEST_F(Infrared, ReleaseReportingOffDropsReleases) {
    open_ir();
    unsigned off = 0;
    ASSERT_EQ(dev_ioctl(fd_, IR_ENABLE_KEYUP, &off), 0);
    host::ir_press(5);
    sleep_ms(200);
    irkey_info_s recs[4];
    ASSERT_EQ(dev_read(fd_, recs, sizeof recs), 12);
    EXPECT_EQ(recs[0].irkey_state_code, 0u);
}

TEST_F(Infrared, ReceiverSettingsReadBack) {
    open_ir();
    ir_pair pairs[] = {{100, 200}, {300, 400}, {10, 20}, {30, 40}, {50, 60}};
    for (unsigned long i = 0; i < 5; ++i) ASSERT_EQ(dev_ioctl(fd_, IR_SET_LEADS + i, &pairs[i]), 0);
    ir_dev_param p{};
    ASSERT_EQ(dev_ioctl(fd_, IR_GET_PARAM, &p), 0);
    const std::uint16_t expected[13] = {24, 0, 32, 100, 200, 300, 400, 10, 20, 30, 40, 50, 60};
    EXPECT_EQ(std::memcmp(&p, expected, sizeof expected), 0);
    ir_pair reversed{200, 100};
    EXPECT_EQ(dev_ioctl(fd_, IR_SET_CNT0_B, &reversed), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(Infrared, PowerOffEndsABlockedRead) {
    open_ir(O_RDONLY);
    ssize_t result = 0;
    std::thread reader([&] {
        irkey_info_s rec;
        result = dev_read(fd_, &rec, sizeof rec);
    });
    sleep_ms(30);
    host::board_shutdown();
    reader.join();
    EXPECT_EQ(result, -1);
}

}  // namespace
