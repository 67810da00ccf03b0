// Board devices: power sequencing shared by the GPIO, I2C, infrared and
// serial-line drivers.
#include "host/devices_parts.h"
#include "host/internal.h"

namespace host {

void codec_power_on();

void devices_power_on() {
    const BoardOptions& o = board_options();
    parts::gpio_power_on();
    parts::i2c_power_on();
    parts::ir_power_on();
    codec_power_on();
    parts::mcu_reset();
    parts::serial_power_on(o.start_mcu);
}

void devices_power_off() {
    parts::ir_power_off();
    parts::serial_power_off();
}

}  // namespace host
