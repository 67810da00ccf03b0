// "/dev/i2c": register accesses to the chips on the board's I2C bus.
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "host/devices_parts.h"
#include "host/internal.h"
#include "platform/devices.h"

namespace host {
namespace {

// Chips that only need to remember what was written: the video decoder, two
// panel bridges and a panel device.
constexpr std::uint8_t kPlainChips[] = {I2C_ADDR_VDEC, 0x18, 0x58, 0xAA};

std::mutex g_mutex;
std::map<std::uint8_t, std::array<std::uint8_t, 256>> g_files;

// Reads or writes one register of the chip at `addr`; false when it does not answer.
bool access(std::uint8_t addr, unsigned reg, bool write, std::uint8_t& value) {
    if (addr == I2C_ADDR_RTC) return write ? parts::rtc_write(reg, value) : parts::rtc_read(reg, value);
    std::lock_guard lock(g_mutex);
    auto it = g_files.find(addr);
    if (it == g_files.end() || reg > 0xFF) return false;
    if (write)
        it->second[reg] = value;
    else
        value = it->second[reg];
    return true;
}

void log_access(const I2C_DATA_S& d, bool write, bool ok) {
    char text[96];
    const char* verb = write ? "write" : "read";
    const int digits = d.data_byte == 2 ? 4 : 2;
    if (!ok)
        std::snprintf(text, sizeof text, "%s 0x%02x reg 0x%02x failed: no acknowledge", verb, d.dev_addr,
                      static_cast<unsigned>(d.reg_addr));
    else
        std::snprintf(text, sizeof text, "%s 0x%02x reg 0x%02x %s 0x%0*x", verb, d.dev_addr,
                      static_cast<unsigned>(d.reg_addr), write ? "=" : "->", digits, static_cast<unsigned>(d.data));
    board_log("i2c", text);
}

class I2cBus : public Device {
public:
    int ioctl(unsigned long request, void* arg) override {
        if (request != I2C_WRITE && request != I2C_READ) return -ENOTTY;
        if (!arg) return -EFAULT;
        auto& d = *static_cast<I2C_DATA_S*>(arg);
        if (d.addr_byte != 1 || (d.data_byte != 1 && d.data_byte != 2) || d.reg_addr > 0xFF) return -EINVAL;
        const bool write = request == I2C_WRITE;
        const unsigned count = d.data_byte;
        // The clock chip has sixteen registers; its address pointer wraps there.
        const unsigned wrap = d.dev_addr == I2C_ADDR_RTC ? 16 : 256;
        std::uint32_t value = 0;
        bool ok = true;
        for (unsigned i = 0; i < count && ok; ++i) {
            const unsigned reg = i == 0 ? d.reg_addr : (d.reg_addr + i) % wrap;
            // Two bytes travel high byte first.
            std::uint8_t byte = static_cast<std::uint8_t>(d.data >> (8 * (count - 1 - i)));
            ok = access(d.dev_addr, reg, write, byte);
            value = value << 8 | byte;
        }
        if (ok && !write) d.data = value;
        log_access(d, write, ok);
        return ok ? 0 : -EIO;
    }
};

}  // namespace

void parts::i2c_power_on() {
    {
        std::lock_guard lock(g_mutex);
        g_files.clear();
        for (std::uint8_t addr : kPlainChips) g_files[addr].fill(0);
    }
    rtc_power_on();
    register_device("/dev/i2c", std::make_shared<I2cBus>());
}

}  // namespace host
