// Pieces shared between the board-device files (GPIO, I2C, clock chip,
// infrared, serial line, microcontroller); not for the system.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace host::parts {

void gpio_power_on();
void i2c_power_on();
void ir_power_on();
void ir_power_off();

// The clock chip behind I2C address 0xD0; registers 0x00-0x0F.
void rtc_power_on();
bool rtc_read(unsigned reg, std::uint8_t& value);
bool rtc_write(unsigned reg, std::uint8_t value);
// Moves the time registers on by whole seconds, with every carry up to the
// century bit. A register holding no valid BCD value stops the carries there.
void rtc_advance(std::array<std::uint8_t, 16>& regs, std::uint64_t seconds);

// The pseudo-terminal of the serial line.
void serial_power_on(bool simulated_mcu);
void serial_power_off();
int serial_master_fd();  // -1 when the board has none or lends it out

// While the simulator runs, board time does not pass while it has bytes of
// the system's to read.
void serial_count_transfers(bool on);

// The microcontroller's recorded state is cleared at every power-on.
void mcu_reset();
std::uint64_t mcu_heartbeat_count();

}  // namespace host::parts
