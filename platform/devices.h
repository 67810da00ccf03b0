// Board drivers, reached by their literal device paths ("/dev/gpioi2c",
// "/dev/i2c", "/dev/nvp6114", "/dev/Hi_IR", "/dev/ttyAMA1", "/dev/fb0",
// "/dev/fb2"). The calls behave like open, close, read, write and ioctl:
// -1 with errno on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <termios.h>

int dev_open(const char* path, int flags);
int dev_close(int fd);
ssize_t dev_read(int fd, void* buf, std::size_t len);
ssize_t dev_write(int fd, const void* buf, std::size_t len);
int dev_ioctl(int fd, unsigned long request, void* arg);

// Terminal settings of the serial port.
int dev_tcgetattr(int fd, termios* t);
int dev_tcsetattr(int fd, int when, const termios* t);
int dev_tcflush(int fd, int queue);

// "/dev/gpioi2c": the argument points at an unsigned int (20, 22) or at one
// byte that receives the board code (24).
constexpr unsigned long GPIO_SET_BRIGHT = 20;
constexpr unsigned long GPIO_SET_AV_POWER = 22;
constexpr unsigned long GPIO_GET_BOARD_CODE = 24;

// "/dev/i2c": one register access.
constexpr unsigned long I2C_WRITE = 1;
constexpr unsigned long I2C_READ = 3;

struct I2C_DATA_S {
    std::uint8_t dev_addr;
    std::uint32_t reg_addr;
    std::uint32_t addr_byte;
    std::uint32_t data;
    std::uint32_t data_byte;
};

constexpr std::uint8_t I2C_ADDR_RTC = 0xD0;
constexpr std::uint8_t I2C_ADDR_VDEC = 0x60;

// "/dev/nvp6114": the analogue-HD video decoder.
constexpr unsigned long NVP6114_SET_VIDEO_MODE = 7;
constexpr unsigned long NVP6114_SET_BRIGHTNESS = 14;
constexpr unsigned long NVP6114_SET_ADJUST2 = 17;

struct nvp6114_video_mode {
    std::uint32_t chip;
    std::uint32_t mode;
};

struct _vdec_video_adjust {
    std::uint32_t ch;  // 255: all channels
    std::uint32_t value;
};

// "/dev/Hi_IR": reads deliver whole key records.
struct irkey_info_s {
    std::uint32_t irkey_datah;
    std::uint32_t irkey_datal;        // bits 0-15 address code, 16-23 key code
    std::uint32_t irkey_state_code;   // 0 key down, 1 key released
};
static_assert(sizeof(irkey_info_s) == 12);

// Receiver settings (the test routines use them; the product only reads).
constexpr unsigned long IR_ENABLE_KEYUP = 16;      // unsigned int: report releases
constexpr unsigned long IR_ENABLE_REPKEY = 17;     // unsigned int: report repeats
constexpr unsigned long IR_REPKEY_TIMEOUTVAL = 18; // unsigned int: repeat delay, ms
constexpr unsigned long IR_SET_LEADS = 19;         // ir_pair: lead-start min, max
constexpr unsigned long IR_SET_LEADE = 20;         // ir_pair: lead-end min, max
constexpr unsigned long IR_SET_CNT0_B = 21;        // ir_pair: bit-0 count min, max
constexpr unsigned long IR_SET_CNT1_B = 22;        // ir_pair: bit-1 count min, max
constexpr unsigned long IR_SET_SLEADE = 23;        // ir_pair: second lead-end min, max
constexpr unsigned long IR_SET_BUF_LEN = 24;       // unsigned int: key records the driver keeps unread, 1..1024
constexpr unsigned long IR_GET_PARAM = 32;         // ir_dev_param: the whole set

struct ir_pair {
    std::uint16_t min;
    std::uint16_t max;
};

struct ir_dev_param {
    std::uint16_t frequence, codetype, code_len;
    std::uint16_t leads_min, leads_max, leade_min, leade_max;
    std::uint16_t cnt0_b_min, cnt0_b_max, cnt1_b_min, cnt1_b_max;
    std::uint16_t sleade_min, sleade_max;
};
static_assert(sizeof(ir_dev_param) == 26);

// "/dev/tlv320aic31": the audio codec; each request takes an unsigned int.
constexpr unsigned long TLV320_SOFT_RESET = 0x40;      // value ignored
constexpr unsigned long TLV320_SET_MASTER = 0x41;      // 1 master, 0 slave
constexpr unsigned long TLV320_SET_DATA_FORMAT = 0x42; // 0 I2S, 1 DSP (PCM)
constexpr unsigned long TLV320_SET_DIVIDER = 0x43;     // sample-rate divider code
constexpr unsigned long TLV320_SET_CLOCK = 0x44;       // 0 first clock, 1 second (the 11025 family)

// "/dev/tw2865dev": the video decoder's audio part; each takes an unsigned int.
constexpr unsigned long TW2865_SET_SAMPLE_RATE = 0x50; // Hz
constexpr unsigned long TW2865_SET_AUDIO_FORMAT = 0x51; // 0 I2S, 1 DSP
constexpr unsigned long TW2865_SET_BITWIDTH = 0x52;     // 8 or 16 bits
