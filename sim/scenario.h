// Scenarios: text files of board settings and timed events that drive a run
// of the system on the simulated board.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One thing that happens to the board at a moment of board time.
struct Event {
    double time = 0;                 // seconds of board time after power-on
    int line = 0;                    // where it was written
    std::string verb;                // after expansion, one of the primitive verbs
    std::vector<std::string> args;
};

struct DiskSetting {
    std::string label;
    std::uint64_t capacity_mb = 0;
    bool partitioned = true;
    bool formatted = true;
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
    std::optional<std::filesystem::path> settings_file;
    int settings_line = 0;
    bool scene_settings = false;  // start calibrated on the synthetic scene
    std::vector<DiskSetting> disks;
    std::vector<CaptureSetting> captures;
    // Failures injected before power-on: times, then the operation's words.
    std::vector<std::vector<std::string>> failures;
    // Timed events, sorted by time (stable for equal times).
    std::vector<Event> events;
};

// Parses a scenario. Relative file names are taken from `base_dir`. On a
// mistake returns nothing and sets `error` to "line N: what is wrong".
std::optional<Scenario> parse_scenario(const std::string& text, const std::filesystem::path& base_dir,
                                       std::string& error);
// Reads a scenario file and checks every file it names (readable, and raw
// YUV of whole frames), so a mistake is found before anything is touched.
std::optional<Scenario> load_scenario(const std::filesystem::path& file, std::string& error);

// Key names of the panel buttons and the remote: their bit in the status
// frame's button byte, and their key code.
std::optional<std::uint8_t> button_bit(const std::string& name);
std::optional<std::uint8_t> remote_code(const std::string& name);

}  // namespace sim
