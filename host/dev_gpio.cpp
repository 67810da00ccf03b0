// "/dev/gpioi2c" (brightness level, display output power, board code) and
// "/dev/nvp6114" (the video decoder's picture controls).
#include <atomic>
#include <memory>
#include <string>

#include "host/devices_parts.h"
#include "host/internal.h"
#include "platform/devices.h"

namespace host {
namespace {

std::atomic<int> g_bright{-1};
std::atomic<bool> g_power{false};
std::atomic<std::uint8_t> g_code{1};

class Gpio : public Device {
public:
    int ioctl(unsigned long request, void* arg) override {
        if (request != GPIO_SET_BRIGHT && request != GPIO_SET_AV_POWER && request != GPIO_GET_BOARD_CODE)
            return -ENOTTY;
        if (!arg) return -EFAULT;
        if (request == GPIO_GET_BOARD_CODE) {
            *static_cast<unsigned char*>(arg) = g_code.load();
            return 0;
        }
        const unsigned value = *static_cast<const unsigned*>(arg);
        if (request == GPIO_SET_BRIGHT) {
            g_bright = static_cast<int>(value);
            board_log("gpio", "bright " + std::to_string(value));
        } else {
            g_power = value != 0;
            board_log("gpio", "power " + std::to_string(value));
        }
        return 0;
    }
};

class VideoDecoder : public Device {
public:
    int ioctl(unsigned long request, void* arg) override {
        switch (request) {
        case NVP6114_SET_VIDEO_MODE: {
            if (!arg) return -EFAULT;
            const auto* m = static_cast<const nvp6114_video_mode*>(arg);
            board_log("nvp6114", "video mode chip " + std::to_string(m->chip) + " mode " + std::to_string(m->mode));
            return 0;
        }
        case NVP6114_SET_BRIGHTNESS:
        case NVP6114_SET_ADJUST2: {
            if (!arg) return -EFAULT;
            const auto* a = static_cast<const _vdec_video_adjust*>(arg);
            const char* what = request == NVP6114_SET_BRIGHTNESS ? "brightness" : "adjust";
            board_log("nvp6114", std::string(what) + " ch " + std::to_string(a->ch) + " value " +
                                     std::to_string(a->value));
            return 0;
        }
        default:
            return -ENOTTY;
        }
    }
};

}  // namespace

void parts::gpio_power_on() {
    g_bright = -1;
    g_power = false;
    g_code = 1;
    register_device("/dev/gpioi2c", std::make_shared<Gpio>());
    register_device("/dev/nvp6114", std::make_shared<VideoDecoder>());
}

void board_set_code(std::uint8_t code) {
    g_code = code;
    board_log("board", "code " + std::to_string(code));
}

std::uint8_t board_code() { return g_code.load(); }
bool av_power() { return g_power.load(); }
int bright_flag() { return g_bright.load(); }

}  // namespace host
