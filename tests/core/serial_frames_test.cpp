// Frames from the vehicle microcontroller into the vehicle-state record.
#include <gtest/gtest.h>

#include <vector>

#include "dsp/dsp_control.h"

namespace {

// 0x55 0xA0 LEN payload SUM, SUM = payload bytes mod 256.
std::vector<std::uint8_t> frame(std::vector<std::uint8_t> payload) {
    std::vector<std::uint8_t> f = {0x55, 0xA0, static_cast<std::uint8_t>(payload.size())};
    unsigned sum = 0;
    for (auto b : payload) {
        f.push_back(b);
        sum += b;
    }
    f.push_back(static_cast<std::uint8_t>(sum));
    return f;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Kv_UART_INFO start_state() {
    Kv_UART_INFO info{};
    info.sys_status = 0x10;
    info.angle = 32767;
    return info;
}

void feed(const std::vector<std::uint8_t>& bytes, Kv_UART_INFO& info, std::uint8_t& state) {
    uart_process(bytes.data(), static_cast<int>(bytes.size()), &state, &info);
}

TEST(SerialFrames, StatusFrameFillsItsFields) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 9;
    // Reverse and ACC, angle -1200 = 0xFB50 (big-endian), version 0x93, 3 h, OK button.
    feed(frame({0x81, 0x14, 0xFB, 0x50, 0x93, 3, 0x40}), info, state);
    EXPECT_EQ(info.sys_status, 0x14);
    EXPECT_EQ(info.angle, -1200);
    EXPECT_EQ(info.pic_ver, 0x93);
    EXPECT_EQ(info.parking_time, 3);
    EXPECT_EQ(info.car_key, 0x40);
    EXPECT_EQ(info.f1, 0);
    EXPECT_EQ(state, 0);
}

TEST(SerialFrames, RadarAndKeyFramesWriteOnlyTheirOwnFields) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(frame({0x82, 2, 10, 20, 30, 40, 50, 60, 70, 80}) + frame({0x85, 27}), info, state);
    EXPECT_EQ(info.radar_mode, 2);
    EXPECT_EQ(info.f1, 10);
    EXPECT_EQ(info.f4, 40);
    EXPECT_EQ(info.b1, 50);
    EXPECT_EQ(info.b4, 80);
    EXPECT_EQ(info.key, 27);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 32767);
}

TEST(SerialFrames, TheLaterOfTwoStatusFramesWins) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(frame({0x81, 0x14, 0, 100, 1, 0, 0}) + frame({0x81, 0x10, 0x01, 0x00, 1, 0, 0}), info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 256);
}

TEST(SerialFrames, BadSumChangesNothing) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    auto f = frame({0x81, 0x14, 0, 100, 1, 0, 0});
    f.back() ^= 1;
    feed(f, info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.angle, 32767);
}

TEST(SerialFrames, GarbageBeforeAFrameIsSkipped) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    feed(std::vector<std::uint8_t>{0x00, 0x55, 0x13, 0xA0, 0x55, 0x55} + frame({0x85, 5}), info, state);
    EXPECT_EQ(info.key, 5);
}

TEST(SerialFrames, FrameSplitAcrossTwoReadsIsDropped) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 0;
    const auto f = frame({0x81, 0x14, 0, 100, 1, 0, 0});
    feed(std::vector<std::uint8_t>(f.begin(), f.begin() + 4), info, state);
    EXPECT_EQ(state, 3);  // the parser stopped inside the payload
    feed(std::vector<std::uint8_t>(f.begin() + 4, f.end()) + frame({0x85, 6}), info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.key, 6);  // the next whole frame is taken
}

TEST(SerialFrames, FramesShorterThanTheirClassAreDropped) {
    Kv_UART_INFO info = start_state();
    info.key = 0;
    std::uint8_t state = 0;
    // A status frame of 3 bytes, a radar frame of 9, a key frame of 1, and LEN 0
    // (which still takes one byte: 0x85 with a sum of 0).
    feed(frame({0x81, 0x14, 0}) + frame({0x82, 1, 2, 3, 4, 5, 6, 7, 8}) + frame({0x85}) +
             std::vector<std::uint8_t>{0x55, 0xA0, 0x00, 0x85, 0x00},
         info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    EXPECT_EQ(info.radar_mode, 0);
    EXPECT_EQ(info.f1, 0);
    EXPECT_EQ(info.key, 0);
    // Longer frames are fine: the extra bytes are ignored.
    feed(frame({0x85, 26, 99}), info, state);
    EXPECT_EQ(info.key, 26);
}

TEST(SerialFrames, UnknownClassesAndEmptyBuffers) {
    Kv_UART_INFO info = start_state();
    std::uint8_t state = 4;
    feed(frame({0x86, 1, 2, 3, 4, 5, 6, 7, 8, 9}), info, state);
    EXPECT_EQ(info.sys_status, 0x10);
    state = 4;
    uart_process(nullptr, 0, &state, &info);
    EXPECT_EQ(state, 0);
}

}  // namespace
