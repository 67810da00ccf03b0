// Placeholder until the devices part lands.
#include "host/internal.h"
namespace host {
void devices_power_on() {}
void devices_power_off() {}
void mcu_power_on() {}
void mcu_power_off() {}
std::string mcu_tty_path() { return {}; }
void mcu_set_state(const VehicleState&) {}
VehicleState mcu_state() { return {}; }
void mcu_set_radar(const std::array<std::uint8_t, 4>&, const std::array<std::uint8_t, 4>&, std::uint8_t) {}
void mcu_send_key(std::uint8_t) {}
void mcu_send_raw(const std::vector<std::uint8_t>&) {}
std::vector<std::uint8_t> mcu_received_bytes() { return {}; }
std::vector<std::string> mcu_commands() { return {}; }
std::vector<std::string> mcu_firmware_lines() { return {}; }
void board_set_code(std::uint8_t) {}
std::uint8_t board_code() { return 0; }
bool av_power() { return false; }
int bright_flag() { return -1; }
void ir_press(std::uint8_t, int, std::uint16_t) {}
void ir_push(std::uint32_t, std::uint32_t) {}
void rtc_set(int, int, int, int, int, int, int) {}
void rtc_stop_oscillator() {}
std::array<std::uint8_t, 16> rtc_registers() { return {}; }
}  // namespace host
