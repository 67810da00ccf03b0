// Pieces of the simulated board shared between its parts; not for the system.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <termios.h>

#include "host/board.h"

namespace host {

// A board driver behind a device path. Results follow the system calls but
// report errors as negative errno values.
class Device {
public:
    virtual ~Device() = default;
    virtual int open(int flags) { (void)flags; return 0; }
    virtual void close() {}
    virtual ssize_t read(void* buf, std::size_t len) { (void)buf; (void)len; return -EINVAL; }
    virtual ssize_t write(const void* buf, std::size_t len) { (void)buf; (void)len; return -EINVAL; }
    virtual int ioctl(unsigned long request, void* arg) { (void)request; (void)arg; return -ENOTTY; }
    virtual int tcgetattr(termios* t) { (void)t; return -ENOTTY; }
    virtual int tcsetattr(int when, const termios* t) { (void)when; (void)t; return -ENOTTY; }
    virtual int tcflush(int queue) { (void)queue; return -ENOTTY; }
};

// Devices are registered by the parts' init hooks; opening an unregistered
// path fails with ENOENT.
void register_device(const std::string& path, std::shared_ptr<Device> device);

// A descriptor the board made readable: a clk_select waiting on it runs
// before board time passes.
void fd_ready(int fd);

// Media memory: fake 32-bit physical addresses over zero-filled host memory.
struct MmzBlock {
    std::uint32_t phys = 0;
    void* virt = nullptr;
};
MmzBlock mmz_alloc(std::size_t len);
bool mmz_free(std::uint32_t phys);
// The host pointer for [phys, phys + len), or nullptr when it is not inside
// one allocated block.
void* mmz_resolve(std::uint32_t phys, std::size_t len);
std::size_t mmz_bytes_in_use();
void mmz_reset();
void devices_table_reset();

// Per-part power-on and shutdown, called by board_init and board_shutdown.
void media_power_on();
void media_power_off();
void devices_power_on();
void devices_power_off();
void mcu_power_on();
void mcu_power_off();
void display_power_on();
void display_power_off();
void storage_power_on();
void storage_power_off();

// The HD output device 0 as the media part keeps it, for the panel picture.
struct HdOutput {
    bool enabled = false;       // device and video layer enabled
    int width = 0;              // active area (u16Hact x u16Vact)
    int height = 0;
    std::uint32_t background = 0;
};
HdOutput hd_output();
// Draws the video layer of device 0 into `panel` (the active area): each
// enabled channel's picture scaled into its rectangle, black before the first.
void hd_draw_video(Picture& panel);
// The framebuffer layer as the display part keeps it.
struct FbLayer {
    bool shown = false;
    int origin_x = 0, origin_y = 0;
    int xres = 0, yres = 0;     // visible size
};

}  // namespace host
