// Scenarios: text files of board settings and timed events that drive a run
// of the system on the simulated board.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Board seconds per real second a run may play at.
constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 1000;
// The longest reply delay of the microcontroller (board seconds): far past
// any bound the system waits, so it plays one that never answers.
constexpr double kMaxReplyDelay = 3600;
// The latest moment an event may be written for: a day of board time.
constexpr double kMaxEventTime = 86400;

// One thing that happens to the board at a moment of board time.
struct Event {
    double time = 0;                 // seconds of board time after power-on
    int line = 0;                    // where it was written
    std::string verb;                // a primitive verb, or a ramp: "sweep", "approach"
    std::vector<std::string> args;
    // A ramp stands for steps + 1 primitive events over `duration` seconds;
    // they are made while playing, so a long ramp costs no memory.
    int steps = 0;
    double duration = 0;
};

// The primitive event of a ramp's step i (0..steps).
Event ramp_step(const Event& ramp, int i);

// Plays a scenario's events in time order, ramps step by step (equal times
// keep the order they were written in).
class Timeline {
public:
    struct Step {
        Event event;               // primitive
        const Event* ramp;         // the ramp it belongs to, or null
        int index;                 // its step in the ramp
    };
    explicit Timeline(const std::vector<Event>& events);
    std::optional<Step> next();

private:
    struct Cursor {
        double time;
        int line;
        std::size_t event;
        int step;
        bool operator>(const Cursor& o) const;
    };
    const std::vector<Event>& events_;
    std::vector<Cursor> heap_;
};

struct DiskSetting {
    std::string label;
    std::uint64_t capacity_mb = 0;
    bool partitioned = true;
    bool formatted = true;
};

// A file put on a disk before power-on.
struct DiskFile {
    std::string label;
    std::filesystem::path source;
    std::string name;
    int line = 0;
};

struct CaptureSetting {
    std::string kind = "scene";      // scene, pattern, yuv, nosignal
    int channel = -1;
    std::filesystem::path file;
    int line = 0;
};

struct Scenario {
    // Board settings, applied before power-on.
    int board_code = 1;
    std::optional<std::vector<int>> rtc;  // year month day hour minute second weekday
    bool paced = true;
    double speed = 1.0;
    bool external_mcu = false;
    std::vector<int> mcu_reject_lines;  // firmware lines the microcontroller asks for again once
    int mcu_ignore_loads = 0;           // loading requests the microcontroller leaves unanswered
    double mcu_reply_delay = 0;         // board seconds before the microcontroller answers
    std::optional<std::filesystem::path> settings_file;
    int settings_line = 0;
    std::string settings_record;  // the file's bytes, read by load_scenario
    bool scene_settings = false;  // start calibrated on the synthetic scene
    // The synthetic scene's car and target layout when not the settings file's:
    // length, width (mm) and view range.
    std::optional<std::array<int, 3>> scene_layout;
    std::vector<DiskSetting> disks;
    int disk_line = 0;
    std::vector<DiskFile> disk_files;
    std::vector<CaptureSetting> captures;
    // Failures injected before power-on: times, then the operation as the
    // board names it.
    std::vector<std::vector<std::string>> failures;
    // Timed events, sorted by time (stable for equal times).
    std::vector<Event> events;
    // Harmless oddities worth a word: "line N: what".
    std::vector<std::string> warnings;
};

// A decimal number (no hexadecimal, infinity or not-a-number), whole word.
bool parse_decimal(const std::string& s, double& out);

// Parses a scenario. Relative file names are taken from `base_dir`. On a
// mistake returns nothing and sets `error` to "line N: what is wrong".
std::optional<Scenario> parse_scenario(const std::string& text, const std::filesystem::path& base_dir,
                                       std::string& error);
// Reads a scenario file and checks that it has events, every file it names
// (readable, one settings record, raw YUV of whole frames) and every disk a
// file is put on, so a mistake is found before anything is touched. The settings file is read
// here, so the run does not need it any more.
std::optional<Scenario> load_scenario(const std::filesystem::path& file, std::string& error);

// Key names of the panel buttons and the remote: their bit in the status
// frame's button byte, and their key code.
std::optional<std::uint8_t> button_bit(const std::string& name);
std::optional<std::uint8_t> remote_code(const std::string& name);

}  // namespace sim
