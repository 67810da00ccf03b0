// Frames the microcontroller simulator sends: status, radar, key and raw bytes.
#include "board_fixture.h"
#include "serial_link.h"

namespace {

class McuFrames : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        fd_ = open_serial();
        ASSERT_GE(fd_, 0);
    }
    int fd_ = -1;
};

TEST_F(McuFrames, StatusFrameCarriesTheVehicleState) {
    host::VehicleState s;
    s.reverse = s.left = true;
    s.angle = -300;  // 0xFED4
    s.car_key = 0x40;
    s.parking_time = 3;
    host::mcu_set_state(s);
    // 0x16 = ACC | reverse | left; the seven payload bytes sum to 0x2BE.
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x07, 0x81, 0x16, 0xFE, 0xD4, 0x12, 0x03, 0x40, 0xBE}));
    s.right = s.record_forbidden = s.record_lock = true;
    s.angle = 0x1234;
    s.car_key = 0x01;
    s.parking_time = 0;
    host::mcu_set_state(s);
    EXPECT_EQ(host::mcu_state().angle, 0x1234);
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x07, 0x81, 0xB7, 0x12, 0x34, 0x12, 0x00, 0x01, 0x91}));
}

TEST_F(McuFrames, StatusEvery50ms) {
    ASSERT_EQ(dev_tcflush(fd_, TCIFLUSH), 0);
    const std::size_t n = count_class(read_frames(fd_, 0.5), 0x81);
    EXPECT_GE(n, 4u);
    EXPECT_LE(n, 14u);
}

TEST_F(McuFrames, RadarFrameAtOnceThenEvery100ms) {
    host::mcu_set_radar({30, 40, 50, 60}, {70, 80, 90, 100}, 2);
    // Class, mode and the eight distances sum to 0x28C.
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x0A, 0x82, 0x02, 0x1E, 0x28, 0x32, 0x3C, 0x46, 0x50, 0x5A, 0x64, 0x8C}, 0.2));
    const std::size_t n = count_class(read_frames(fd_, 0.5), 0x82);
    EXPECT_GE(n, 2u);
    EXPECT_LE(n, 7u);
}

TEST_F(McuFrames, KeyFrameIsSentOnce) {
    host::mcu_send_key(5);
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x85, 0x05, 0x8A}));
    EXPECT_EQ(count_class(read_frames(fd_, 0.3), 0x85), 0u);
}

TEST_F(McuFrames, RawBytesGoOutUnchanged) {
    host::mcu_send_raw({0x13, 0x55, 0xA0, 0x02, 0x85, 0x05, 0x00});  // noise, then a key frame with a wrong sum
    EXPECT_TRUE(wait_frame(fd_, {0x55, 0xA0, 0x02, 0x85, 0x05, 0x00}));
}

}  // namespace
