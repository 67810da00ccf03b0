// Board devices: power sequencing shared by the GPIO, I2C, infrared and
// serial-line drivers.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "host/devices_parts.h"
#include "host/internal.h"

namespace host {
namespace {
std::atomic<double> g_speed{1.0};
}  // namespace

namespace parts {
std::chrono::nanoseconds host_span(double board_seconds) {
    if (!(board_seconds > 0)) return std::chrono::nanoseconds{0};
    const double ns = board_seconds / g_speed.load() * 1e9;
    // Far-away deadlines are capped; callers wait again when woken early.
    return std::chrono::nanoseconds{static_cast<std::int64_t>(std::min(ns, 3.6e12))};
}
}  // namespace parts

void devices_power_on() {
    const BoardOptions& o = board_options();
    g_speed = o.clock_speed > 0 ? o.clock_speed : 1.0;
    parts::gpio_power_on();
    parts::i2c_power_on();
    parts::ir_power_on();
    parts::mcu_reset();
    parts::serial_power_on(o.start_mcu);
}

void devices_power_off() {
    parts::ir_power_off();
    parts::serial_power_off();
}

}  // namespace host
