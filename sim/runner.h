// Runs the system on the simulated board from a scenario.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"

namespace sim {

struct RunOptions {
    std::filesystem::path scenario;
    std::filesystem::path out;        // screenshots, console.log, board.log, board/ (the board root)
    bool echo = false;                // board log to standard error too
    std::optional<bool> paced;        // override the scenario
    std::optional<double> speed;
};

enum class Command { run, help, wrong };
// Reads svsim's command line (without the program's name): --option VALUE or
// --option=VALUE. On a mistake says what is wrong in `error`.
Command parse_options(const std::vector<std::string>& args, RunOptions& options, std::string& error);

// Plays the scenario while the system runs on the main thread. The run ends
// (and the process with it) at "power off", at the end of the scenario, when
// the system reboots the board, or on SIGINT or SIGTERM (status 128 + the
// signal's number). Returns only on a set-up error.
int run(const RunOptions& options);

// Performs one primitive event on the board and logs it ("sim: reverse on"),
// with `note` after it; screenshots go to <out>/screens.
void apply_event(const Event& event, const std::filesystem::path& out, std::string_view note = {},
                 bool logged = true);

}  // namespace sim
