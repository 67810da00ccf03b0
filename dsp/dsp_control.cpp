#include "dsp/dsp_control.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

#include "common/prt.h"
#include "platform/clock.h"
#include "platform/devices.h"

std::atomic<std::uint8_t> record_permit{1};
std::atomic<std::uint8_t> record_lock{0};
std::uint8_t pic_ver = 0;
std::uint8_t parking_time = 0;
std::uint8_t key_press = 0;
std::int16_t back_bk = 0;
std::int16_t acc_bk = 0;
std::uint8_t gpio_reverse = 0;

namespace {

std::uint8_t post_key = 0;      // the panel buttons of the previous pass
std::uint8_t ir_repeat = 0;     // key-down records seen in a row

// Payload bytes each class needs before it may be applied.
int class_length(std::uint8_t cls) {
    switch (cls) {
    case 0x81: return 7;
    case 0x82: return 10;
    case 0x85: return 2;
    default: return 0;
    }
}

void apply_frame(const std::uint8_t* p, int len, Kv_UART_INFO* info) {
    const int need = class_length(p[0]);
    // Unknown classes, and frames too short for their class, are dropped.
    if (need == 0 || len < need) return;
    switch (p[0]) {
    case 0x81:
        info->sys_status = p[1];
        info->angle = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[2] << 8 | p[3]));
        info->pic_ver = p[4];
        info->parking_time = p[5];
        info->car_key = p[6];
        break;
    case 0x82:
        info->radar_mode = p[1];
        info->f1 = p[2];
        info->f2 = p[3];
        info->f3 = p[4];
        info->f4 = p[5];
        info->b1 = p[6];
        info->b2 = p[7];
        info->b3 = p[8];
        info->b4 = p[9];
        break;
    case 0x85:
        info->key = p[1];
        break;
    }
}

constexpr std::uint8_t kSync = 0x55, kFramed = 0xA0;

// The received bytes from a 0x55 on that are not yet a whole frame: header,
// LEN, up to 255 payload bytes and the sum. One serial line feeds it.
struct Pending {
    const std::uint8_t* owner = nullptr;  // the state byte of that line
    std::uint8_t bytes[3 + 255 + 1];
    int n = 0;
};
Pending pending;

enum class Candidate { incomplete, bad, good };

// The frame that starts at bytes[0] (a 0x55). LEN 0, an unknown class and a
// LEN too short for its class can never be taken, so they are bad at once
// rather than after the sum.
Candidate judge(const Pending& p) {
    const std::uint8_t* f = p.bytes;
    if (p.n < 2) return Candidate::incomplete;
    if (f[1] != kFramed || (p.n >= 3 && f[2] == 0)) return Candidate::bad;
    if (p.n < 4) return Candidate::incomplete;
    const int len = f[2];
    const int need = class_length(f[3]);
    if (need == 0 || len < need) return Candidate::bad;
    if (p.n < 4 + len) return Candidate::incomplete;
    unsigned sum = 0;
    for (int k = 0; k < len; ++k) sum += f[3 + k];
    return (sum & 0xFF) == f[3 + len] ? Candidate::good : Candidate::bad;
}

void drop(Pending& p, int k) {
    std::memmove(p.bytes, p.bytes + k, static_cast<std::size_t>(p.n - k));
    p.n -= k;
}

// Takes every whole frame from the pending bytes. A bad candidate gives up
// only its 0x55: a real frame may have begun inside it.
void settle(Pending& p, Kv_UART_INFO* info) {
    for (;;) {
        int k = 0;
        while (k < p.n && p.bytes[k] != kSync) ++k;
        drop(p, k);
        if (p.n == 0) return;
        switch (judge(p)) {
        case Candidate::incomplete: return;
        case Candidate::bad: drop(p, 1); break;
        case Candidate::good:
            apply_frame(p.bytes + 3, p.bytes[2], info);
            drop(p, 4 + p.bytes[2]);
            break;
        }
    }
}

// The parser's state byte: 0 outside a frame, 1 after 0x55, 2 after 0xA0,
// 3 in the payload, 4 before the sum.
std::uint8_t state_of(const Pending& p) {
    if (p.n <= 2) return static_cast<std::uint8_t>(p.n);
    return p.n < 3 + p.bytes[2] ? 3 : 4;
}

std::uint8_t edge(bool now, std::int16_t& before) {
    std::int16_t r;
    if (now) r = before <= 1 ? 2 : 3;
    else r = before <= 1 ? 1 : 0;
    before = r;
    return static_cast<std::uint8_t>(r);
}

std::uint8_t button_code(std::uint8_t car_key, bool held) {
    switch (car_key) {
    case 0x01: return held ? 155 : KEY_UP;
    case 0x02: return held ? 154 : KEY_DOWN;
    case 0x04: return held ? 132 : KEY_LEFT;
    case 0x08: return held ? 134 : KEY_RIGHT;
    case 0x20: return held ? 146 : KEY_EXIT;
    case 0x40: return held ? 133 : KEY_OK;
    default: return 0;
    }
}

}  // namespace

int set_opt(int fd, int nSpeed, int nBits, char nEvent, int nStop) {
    termios newtio{}, oldtio{};
    if (dev_tcgetattr(fd, &oldtio) != 0) {
        std::perror("SetupSerial 1");
        return -1;
    }
    newtio.c_cflag |= CLOCAL | CREAD;
    newtio.c_cflag &= ~CSIZE;
    if (nBits == 7) newtio.c_cflag |= CS7;
    else if (nBits == 8) newtio.c_cflag |= CS8;
    switch (nEvent) {
    case 'O':
        newtio.c_iflag |= INPCK | ISTRIP;
        newtio.c_cflag |= PARENB | PARODD;
        break;
    case 'E':
        newtio.c_iflag |= INPCK | ISTRIP;
        newtio.c_cflag |= PARENB;
        newtio.c_cflag &= ~PARODD;
        break;
    default:
        newtio.c_cflag &= ~PARENB;
        break;
    }
    speed_t speed = B9600;
    switch (nSpeed) {
    case 2400: speed = B2400; break;
    case 4800: speed = B4800; break;
    case 115200: speed = B115200; break;
    default: break;
    }
    cfsetispeed(&newtio, speed);
    cfsetospeed(&newtio, speed);
    if (nStop == 1) newtio.c_cflag &= ~CSTOPB;
    else if (nStop == 2) newtio.c_cflag |= CSTOPB;
    newtio.c_cc[VTIME] = 0;
    newtio.c_cc[VMIN] = 0;
    dev_tcflush(fd, TCIFLUSH);
    if (dev_tcsetattr(fd, TCSANOW, &newtio) != 0) {
        std::perror("com set error");
        return -1;
    }
    return 0;
}

void uart_process(const std::uint8_t* pbuf, int lenth, std::uint8_t* pstUart, Kv_UART_INFO* pUart_info) {
    Pending& p = pending;
    // Reads return whatever has arrived, so a frame goes on from where the
    // last read of the same line stopped.
    if (p.owner != pstUart || *pstUart != state_of(p)) p.n = 0;
    p.owner = pstUart;
    if (lenth < 1) {
        p.n = 0;
        *pstUart = 0;
        return;
    }
    for (int i = 0; i < lenth; ++i) {
        if (p.n == 0 && pbuf[i] != kSync) continue;
        p.bytes[p.n++] = pbuf[i];
        settle(p, pUart_info);
    }
    *pstUart = state_of(p);
}

void sci_xmit(int fd, std::uint8_t data) { dev_write(fd, &data, 1); }

std::uint8_t sci_recv(int fd, std::uint8_t* precv_data) {
    for (int tries = 0; tries < 2000; ++tries) {
        if (dev_read(fd, precv_data, 1) == 1) return 0;
        clk_usleep(50);
    }
    return 255;
}

std::uint16_t check_status(std::uint8_t sys_st, Image_param param) {
    return param.turn_time != 0 ? (sys_st & 7) : (sys_st & 4);
}

std::int16_t get_back(std::uint8_t sys_st) { return edge(sys_st & ST_REVERSE, back_bk); }
std::int16_t get_acc(std::uint8_t sys_st) { return edge(sys_st & ST_ACC, acc_bk); }
std::int16_t get_stop(std::uint8_t sys_st) { return (sys_st >> 5) & 1; }

void decode_signals(const Kv_UART_INFO* info) {
    record_permit = (info->sys_status & ST_NO_RECORD) ? 0 : 1;
    parking_time = info->parking_time;
    pic_ver = info->pic_ver & 0x7F;
    record_lock = (info->sys_status & ST_RECORD_LOCK) ? 1 : 0;
}

std::uint8_t decode_key(Kv_UART_INFO* info, int ir_fd) {
    std::uint8_t code = info->key;
    info->key = 0;

    const std::uint8_t car_key = info->car_key;
    if (gpio_reverse == 1) {
        if (car_key != post_key) {
            key_press = 0;
            if (const std::uint8_t c = button_code(car_key, false)) code = c;
        } else {
            ++key_press;
            if (key_press > 3) {
                if (const std::uint8_t c = button_code(car_key, true)) code = c;
                key_press = 1;
            }
        }
    } else if (car_key == 0x20) {
        ++key_press;
        if (key_press > 10) code = KEY_WAKE;
    } else {
        key_press = 0;
    }
    post_key = car_key;

    irkey_info_s records[16];
    const ssize_t got = dev_read(ir_fd, records, sizeof records);
    if (got >= 1 && got <= static_cast<ssize_t>(sizeof records)) {
        const int n = static_cast<int>(got / static_cast<ssize_t>(sizeof(irkey_info_s)));
        bool seen = false;
        for (int i = 0; i < n; ++i) {
            if (records[i].irkey_state_code == 0) {
                seen = true;
                ++ir_repeat;
            } else {
                ir_repeat = 0;
            }
        }
        if (seen) {
            const std::uint32_t datal = records[n - 1].irkey_datal;
            if ((datal & 0xFFFF) == 0x6B86) {
                code = static_cast<std::uint8_t>(datal >> 16);
                if (ir_repeat > 1) code = static_cast<std::uint8_t>(0x80 | ((datal >> 16) & 0x7F));
            }
        }
    }
    return code;
}

void set_bright(Image_param param) {
    const int vdec = dev_open("/dev/nvp6114", O_RDWR | O_NONBLOCK);
    if (vdec < 0) {
        prt(__func__, __LINE__, "open nvp6114 failed!\n");
        return;
    }
    const int gpio = dev_open("/dev/gpioi2c", O_RDONLY);
    if (gpio < 0) {
        prt(__func__, __LINE__, "open gpioi2c failed!\n");
        dev_close(vdec);
        return;
    }
    unsigned level = 0;
    std::uint32_t value = 110;
    switch (param.bright) {
    case 0: value = 110; level = 1; break;
    case 1: value = 100; break;
    case 3: value = 120; break;
    case 4: value = 130; break;
    default: break;
    }
    dev_ioctl(gpio, GPIO_SET_BRIGHT, &level);
    dev_close(gpio);
    _vdec_video_adjust adjust{255, value};
    dev_ioctl(vdec, NVP6114_SET_BRIGHTNESS, &adjust);
    adjust.value = 90;
    dev_ioctl(vdec, NVP6114_SET_ADJUST2, &adjust);
    dev_close(vdec);
}

void av_on() {
    const int fd = dev_open("/dev/gpioi2c", O_RDONLY);
    if (fd < 0) prt(__func__, __LINE__, "open gpioi2c failed!\n");
    unsigned on = 1;
    dev_ioctl(fd, GPIO_SET_AV_POWER, &on);
    gpio_reverse = 1;
    dev_close(fd);
}

void av_off() {
    if (flash_param.im_param.acc_time == 5) return;
    const int fd = dev_open("/dev/gpioi2c", O_RDONLY);
    if (fd < 0) prt(__func__, __LINE__, "open gpioi2c failed!\n");
    unsigned off = 0;
    dev_ioctl(fd, GPIO_SET_AV_POWER, &off);
    gpio_reverse = 0;
    dev_close(fd);
}

void set_cvbs_mode() {}
