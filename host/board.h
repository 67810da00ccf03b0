// The simulated board: what the simulator and the tests use to set up, drive
// and observe the board behind platform/. Everything it writes lies under the
// board root; it never changes the host's clock, mounts, formats or reboots.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// ---------------------------------------------------------------- the board

struct BoardOptions {
    std::filesystem::path root;    // created when missing; everything lives below it
    bool paced = true;             // capture at 12 frames per second, else as fast as asked
    double clock_speed = 1.0;      // board seconds per host second (sleeps shorten with it)
    std::int64_t start_time = 0;   // board system clock at power-on, seconds since 1970
    bool echo_log = false;         // copy every log line to standard error
    bool start_mcu = true;         // run the microcontroller simulator on the serial line
};

// Powers the board on: lays out the root (home/config, etc/init.d, opt,
// proc/partitions, proc/umap/h264e, usb/), resets every device and the media
// platform. A board already up is shut down first.
void board_init(const BoardOptions& options);
// Stops the board's threads and forgets its state (the root stays on disk).
void board_shutdown();
const BoardOptions& board_options();
const std::filesystem::path& board_root();

// Log of everything the board was asked to do, one line per operation:
// "<area>: <text>", e.g. "shell: umount /opt", "gpio: power 1".
void board_log(std::string_view area, std::string_view text);
// The lines kept in memory: those logged while no log file was set.
std::vector<std::string> board_log_lines(std::string_view area = {});
void board_log_clear();
// Append every later line to this file (the simulator's device log) instead
// of keeping it in memory.
void board_log_to_file(const std::filesystem::path& file);

// Failure injection. An operation is named by its platform function
// ("HI_MPI_VI_GetFrame"), by "open <path>", "read <path>", "write <path>",
// "ioctl <path> <request as %#lx>" for devices, "sh <command word>" for
// commands ("sh mount"), or "statfs <system path>". The next `times` calls fail
// (times < 0: until cleared); a media call fails with `code` when non-zero,
// else with a fitting 0xA0MM8CCC code; devices fail with errno EIO.
void inject_failure(const std::string& op, int times = 1, std::uint32_t code = 0);
void clear_failures();
// For the board's implementations: whether this call of `op` shall fail.
std::optional<std::uint32_t> take_failure(const std::string& op);
std::string ioctl_op(std::string_view path, unsigned long request);
// A test's hand between two commands (a file changed under the system, say):
// called with each command's text just before the board runs it. Cleared by
// board_init; nullptr clears it too.
void set_command_hook(std::function<void(const std::string& text)> hook);
// For the board's commands: calls the hook, if any.
void command_hook(const std::string& text);

// Reboot (through the command interpreter) and power off end the run. The
// handler is called with the reason; the default one only logs it.
void set_halt_handler(std::function<void(std::string_view reason)> handler);
void board_halt(std::string_view reason);

// Seconds the board has been on, in board time (scaled by clock_speed).
double board_uptime();
// Sleep for a span of board time. A settled sleep ends only once every other
// thread woken at that instant waits again (scenario events and test probes
// then see what the system did at that moment, not half of it).
void board_sleep(double board_seconds, bool settled = false);

// A picture, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // row by row, 0xAARRGGBB
};

// ---------------------------------------------------------------- capture

// Fills one 1280 x 720 YUV 4:2:2 semi-planar picture of capture channel
// `channel` (0 left, 1 right, 4 back, 5 front): y is 1280 x 720 bytes, uv
// 1280 x 720 bytes of chroma words (little-endian, U in the high byte, so V
// comes first in memory).
using FrameRenderer = std::function<void(int channel, std::uint64_t frame, std::uint8_t* y, std::uint8_t* uv)>;
void capture_use_pattern();                         // solid colour per camera, frame counter
void capture_use_renderer(FrameRenderer renderer);  // e.g. the synthetic scene
// Raw YUV 4:2:2 semi-planar 1280 x 720 frames, played in a loop.
bool capture_use_yuv_file(int channel, const std::filesystem::path& file);
void capture_set_signal(int channel, bool present);  // no signal: a blue-black picture
// The synthetic scene of host/scene.h: four fisheye cameras around a car on a
// textured ground with the calibration marks (the simulator's default).
void capture_use_scene();
std::uint64_t capture_frames_delivered(int channel);
// What a camera sees now, as an opaque RGB picture (the next frame of its source).
Picture camera_picture(int channel);

// ---------------------------------------------------------------- microcontroller

struct VehicleState {
    bool acc = true;
    bool reverse = false;
    bool left = false;
    bool right = false;
    bool record_forbidden = false;  // status bit 5
    bool record_lock = false;       // status bit 7
    std::int16_t angle = 0;         // 1/4096 rad
    std::uint8_t car_key = 0;       // panel buttons, one bit each
    std::uint8_t pic_ver = 0x12;
    std::uint8_t parking_time = 0;
};

// The path of the serial line's pseudo-terminal that "/dev/ttyAMA1" opens.
std::string mcu_tty_path();
// The simulator sends a status frame (0x81) with this state every 50 ms of
// board time and a radar frame (0x82) whenever the distances are set.
void mcu_set_state(const VehicleState& state);
VehicleState mcu_state();
void mcu_set_radar(const std::array<std::uint8_t, 4>& front, const std::array<std::uint8_t, 4>& back,
                   std::uint8_t mode);
void mcu_send_key(std::uint8_t code);               // one key frame (0x85)
void mcu_send_raw(const std::vector<std::uint8_t>& bytes);
// Everything the system wrote to the serial line, and the commands decoded from it.
std::vector<std::uint8_t> mcu_received_bytes();
std::vector<std::string> mcu_commands();            // e.g. "heartbeat 1", "track reset", "upgrade start"
std::vector<std::string> mcu_firmware_lines();      // lines accepted during a firmware upload
// The firmware line of this number (from 1) is answered "send again" the first time.
void mcu_reject_line(int number);
// The next `count` loading requests of an upload go unanswered, as if lost on the line.
void mcu_ignore_load(int count);
// The microcontroller takes up what the system sends this many board seconds
// after it arrived, then acts and answers (0: at once).
void mcu_reply_delay(double seconds);

// ---------------------------------------------------------------- board devices

void board_set_code(std::uint8_t code);
std::uint8_t board_code();
bool av_power();            // display output power (GPIO command 22)
int bright_flag();          // GPIO command 20, -1 before the first
// One remote key: key-down records (one, or `repeats` more for a held key,
// 110 ms apart) then a release record.
void ir_press(std::uint8_t key, int repeats = 0, std::uint16_t address = 0x6B86);
void ir_push(std::uint32_t datal, std::uint32_t state_code);
// The clock chip: set its date and time (weekday 0-6), stop its oscillator.
void rtc_set(int year, int month, int day, int hour, int minute, int second, int weekday);
void rtc_stop_oscillator();
std::array<std::uint8_t, 16> rtc_registers();

// ---------------------------------------------------------------- display

// The picture of an overlay region (the recording time stamp is region 0).
Picture overlay_picture(int handle);
bool fb_shown();                      // the framebuffer is set up and showing
std::uint64_t fb_refresh_count();
// What a person sees on the panel: the HD output's active area with the video
// layer under the framebuffer; black while the display output is off.
Picture panel_picture();
// The last canvas refreshed, as it was handed over (800 x 480 normally).
Picture canvas_picture();
bool write_png(const std::filesystem::path& file, const Picture& picture);
bool read_png(const std::filesystem::path& file, Picture& picture);

// ---------------------------------------------------------------- audio

// What the audio stand-ins hold now, summed over devices and channels.
struct AudioCounts {
    int ai_devices = 0, ai_enabled = 0, ai_resampling = 0, ai_anr = 0;
    int ao_devices = 0, ao_enabled = 0;
    std::uint64_t ao_frames = 0;
    int aenc_channels = 0, adec_channels = 0;
    std::uint64_t adec_bytes = 0;
};
AudioCounts audio_counts();
// The HDMI output as the board keeps it.
struct HdmiState {
    bool open = false, started = false, muted = false;
    int video_format = 0;
    bool audio = false;
    int sample_rate = 0;
};
HdmiState hdmi_state();

// ---------------------------------------------------------------- USB disks

// A disk is a folder under <root>/usb/<label> with a capacity. Inserting it
// lists it in /proc/partitions as sda (and sda1 when partitioned); an
// unformatted disk fails to mount until mkfs.vfat formats it.
void disk_insert(const std::string& label, std::uint64_t capacity_mb, bool partitioned = true,
                 bool formatted = true);
void disk_remove();
std::optional<std::string> disk_inserted();
std::filesystem::path disk_files(const std::string& label);  // the disk's file tree
bool opt_mounted();

}  // namespace host
