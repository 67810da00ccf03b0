// The serial link to the vehicle microcontroller, the vehicle signals, the
// key decoding of one pass, and the board controls (brightness, display power).
#pragma once

#include <atomic>
#include <cstdint>

#include "vio/settings.h"

// Vehicle state as the microcontroller reports it.
struct Kv_UART_INFO {
    std::uint8_t car_key;       // panel buttons, one bit each
    std::uint8_t parking_time;
    std::uint8_t pic_ver;       // firmware version
    std::uint8_t sys_status;    // signal bits
    std::uint8_t key;           // a key code from a key frame
    std::int16_t angle;         // steering, 1/4096 rad
    std::uint8_t f1, f2, f3, f4;  // front distances, cm
    std::uint8_t b1, b2, b3, b4;  // rear distances, cm
    std::uint8_t radar_mode;
};
static_assert(sizeof(Kv_UART_INFO) == 18);

// Status bits.
constexpr std::uint8_t ST_RIGHT = 0x01;
constexpr std::uint8_t ST_LEFT = 0x02;
constexpr std::uint8_t ST_REVERSE = 0x04;
constexpr std::uint8_t ST_ACC = 0x10;
constexpr std::uint8_t ST_NO_RECORD = 0x20;
constexpr std::uint8_t ST_RECORD_LOCK = 0x80;

// Key codes of the state machine.
constexpr std::uint8_t KEY_UP = 27, KEY_DOWN = 26, KEY_LEFT = 4, KEY_RIGHT = 6, KEY_OK = 5, KEY_EXIT = 18;
constexpr std::uint8_t KEY_HELD = 128, KEY_WAKE = 96, KEY_MENU = 16;

int set_opt(int fd, int nSpeed, int nBits, char nEvent, int nStop);
// Takes the frames in what one read of the line brought. A frame split
// across reads is finished by the next call with the same state byte (one
// line at a time; a state byte of 0 starts afresh).
void uart_process(const std::uint8_t* pbuf, int lenth, std::uint8_t* pstUart, Kv_UART_INFO* pUart_info);
void sci_xmit(int fd, std::uint8_t data);
std::uint8_t sci_recv(int fd, std::uint8_t* precv_data);

// Signals and keys, decoded once per pass.
// Read by the housekeeping and recording threads.
extern std::atomic<std::uint8_t> record_permit;
extern std::atomic<std::uint8_t> record_lock;
extern std::uint8_t pic_ver;
extern std::uint8_t parking_time;
extern std::uint8_t key_press;
extern std::int16_t back_bk;
extern std::int16_t acc_bk;

std::uint16_t check_status(std::uint8_t sys_st, Image_param param);
std::int16_t get_back(std::uint8_t sys_st);
std::int16_t get_acc(std::uint8_t sys_st);
std::int16_t get_stop(std::uint8_t sys_st);

// Copies the signal globals out of the vehicle state.
void decode_signals(const Kv_UART_INFO* info);
// This pass's key: the key frame's code, then the panel buttons, then the
// remote (read from `ir_fd`); the later source wins. Clears the key frame.
std::uint8_t decode_key(Kv_UART_INFO* info, int ir_fd);

// Board controls.
extern std::uint8_t gpio_reverse;  // last display power set: 1 on, 0 off
void set_bright(Image_param param);
void av_on();
void av_off();
void set_cvbs_mode();
