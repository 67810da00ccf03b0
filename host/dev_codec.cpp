// The audio codec chips: "/dev/tlv320aic31" and the TW2865's audio part on
// "/dev/tw2865dev". They keep the values set and log each request.
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/internal.h"
#include "platform/devices.h"

namespace host {
namespace {

class Codec : public Device {
public:
    struct Request {
        unsigned long code;
        const char* name;
        unsigned min, max;  // values accepted
    };
    Codec(std::string area, std::initializer_list<Request> requests) : area_(std::move(area)), requests_(requests) {}

    int ioctl(unsigned long request, void* arg) override {
        for (const Request& r : requests_) {
            if (r.code != request) continue;
            if (!arg) return -EFAULT;
            const unsigned v = *static_cast<const unsigned*>(arg);
            if (v < r.min || v > r.max) return -EINVAL;
            board_log(area_, std::string(r.name) + " " + std::to_string(v));
            return 0;
        }
        return -ENOTTY;
    }

private:
    std::string area_;
    std::vector<Request> requests_;
};

}  // namespace

void codec_power_on() {
    register_device("/dev/tlv320aic31",
                    std::make_shared<Codec>("tlv320", std::initializer_list<Codec::Request>{
                                                          {TLV320_SOFT_RESET, "reset", 0, ~0u},
                                                          {TLV320_SET_MASTER, "master", 0, 1},
                                                          {TLV320_SET_DATA_FORMAT, "format", 0, 1},
                                                          {TLV320_SET_DIVIDER, "divider", 0, 10},
                                                          {TLV320_SET_CLOCK, "clock", 0, 1},
                                                      }));
    register_device("/dev/tw2865dev",
                    std::make_shared<Codec>("tw2865", std::initializer_list<Codec::Request>{
                                                          {TW2865_SET_SAMPLE_RATE, "sample rate", 8000, 48000},
                                                          {TW2865_SET_AUDIO_FORMAT, "format", 0, 1},
                                                          {TW2865_SET_BITWIDTH, "bit width", 8, 16},
                                                      }));
}

}  // namespace host
