// What the microcontroller simulator makes of the system's bytes: short
// commands, heartbeats and the firmware upload exchange.
#include "board_fixture.h"
#include "host/devices_parts.h"
#include "serial_link.h"

namespace {

using Lines = std::vector<std::string>;

class McuCommands : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        fd_ = open_serial();
        ASSERT_GE(fd_, 0);
    }

    Lines wait_commands(std::size_t n) {
        for (int i = 0; i < 400 && host::mcu_commands().size() < n; ++i) sleep_ms(5);
        return host::mcu_commands();
    }

    // One byte per write, as the system's upload sends frames.
    void send_bytewise(const Bytes& bytes) {
        for (std::uint8_t b : bytes) write_all(fd_, {b});
    }

    int fd_ = -1;
};

TEST_F(McuCommands, HeartbeatRecordedOnlyWhenItChanges) {
    for (std::uint8_t m : {1, 1, 1, 0, 0, 1}) write_all(fd_, {0x55, 0x0A, 0xBB, m});
    for (int i = 0; i < 400 && host::parts::mcu_heartbeat_count() < 6; ++i) sleep_ms(5);
    EXPECT_EQ(host::parts::mcu_heartbeat_count(), 6u);
    EXPECT_EQ(host::mcu_commands(), (Lines{"heartbeat 1", "heartbeat 0", "heartbeat 1"}));
}

TEST_F(McuCommands, ShortCommandsAmidNoise) {
    const Bytes first{0x00, 0x13, 0x55, 0x0A, 0x07, 0x55, 0x55, 0x0A, 0xCA, 0x55, 0x0A, 0xC5, 0x55, 0x0A, 0x06};
    write_all(fd_, first);
    sleep_ms(20);
    write_all(fd_, {0x02, 0x01});  // the car numbers come in a second write
    EXPECT_EQ(wait_commands(4), (Lines{"track reset", "record key 0xca", "record key 0xc5", "car numbers 2 1"}));
    Bytes all = first;
    all.insert(all.end(), {0x02, 0x01});
    EXPECT_EQ(host::mcu_received_bytes(), all);
}

TEST_F(McuCommands, FirmwareUploadExchange) {
    write_all(fd_, {0x55, 0x0A, 0xAA});
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x86, 0x00, 0x86}));
    send_bytewise({0x55, 0xA0, 0x01, 0x19, 0x19});
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x86, 0x0A, 0x90}));
    // The record ":0300300002337A1E" packed into bytes; class and data sum to 0x10A.
    Bytes line{0x55, 0xA0, 0x09, 0x0A, 0x03, 0x00, 0x30, 0x00, 0x02, 0x33, 0x7A, 0x1E, 0x0A};
    send_bytewise(line);
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x86, 0x01, 0x87}));
    line.back() = 0x0B;  // a damaged line is asked for again
    send_bytewise(line);
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x86, 0x0A, 0x90}));
    EXPECT_EQ(host::mcu_firmware_lines(), (Lines{":0300300002337A1E"}));
    const Lines commands = wait_commands(2);
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[0], "upgrade start");
    EXPECT_EQ(commands[1], "upgrade load");
}

TEST_F(McuCommands, LoaderHoldsBackStatusUntilHeartbeat) {
    write_all(fd_, {0x55, 0x0A, 0xAA});
    ASSERT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x86, 0x00, 0x86}));
    sleep_ms(20);
    ASSERT_EQ(dev_tcflush(fd_, TCIFLUSH), 0);
    EXPECT_EQ(count_class(read_frames(fd_, 0.3), 0x81), 0u);
    write_all(fd_, {0x55, 0x0A, 0xBB, 0x00});
    const auto two_status = [](const FrameList& fs) { return count_class(fs, 0x81) >= 2; };
    EXPECT_TRUE(two_status(read_frames(fd_, 2.0, two_status)));
}

}  // namespace
