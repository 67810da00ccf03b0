// svsim: runs the system on the simulated board.
#include <cstring>
#include <iostream>
#include <string>

#include "sim/runner.h"

namespace {
void usage() {
    std::cerr << "usage: svsim --scenario FILE [--out DIR] [--echo] [--unpaced] [--speed X]\n"
                 "  Plays the scenario on the simulated board while the system runs.\n"
                 "  Output folder (default out): screens/*.png, console.log (the system's\n"
                 "  standard output), board.log (every device request and command), board/\n"
                 "  (the board's files: settings, USB disks, recordings).\n";
}
}  // namespace

int main(int argc, char* argv[]) {
    sim::RunOptions options;
    options.out = "out";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scenario" && i + 1 < argc) {
            options.scenario = argv[++i];
        } else if (a == "--out" && i + 1 < argc) {
            options.out = argv[++i];
        } else if (a == "--echo") {
            options.echo = true;
        } else if (a == "--unpaced") {
            options.paced = false;
        } else if (a == "--speed" && i + 1 < argc) {
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (!end || *end || !(v >= sim::kMinSpeed && v <= sim::kMaxSpeed)) {
                std::cerr << "svsim: --speed must be 0.01..1000 board seconds per real second\n";
                return 2;
            }
            options.speed = v;
        } else {
            usage();
            return 2;
        }
    }
    if (options.scenario.empty()) {
        usage();
        return 2;
    }
    return sim::run(options);
}
