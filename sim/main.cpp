// svsim: runs the system on the simulated board.
#include <cstring>
#include <iostream>
#include <string>

#include "sim/runner.h"

namespace {
void usage(std::ostream& out) {
    out << "usage: svsim --scenario FILE [--out DIR] [--echo] [--unpaced] [--speed X]\n"
           "  Plays the scenario on the simulated board while the system runs.\n"
           "  --scenario FILE  the scenario to play (sim/scenarios/*.scn; README: Scenarios)\n"
           "  --out DIR        output folder (default out): screens/*.png, console.log (the\n"
           "                   system's standard output), board.log (every device request and\n"
           "                   command), board/ (the board's files: settings, USB disks,\n"
           "                   recordings); emptied first if an earlier run made it\n"
           "  --echo           the board log to standard error too, as it is written\n"
           "  --unpaced        a new camera frame at every request instead of 12 per second\n"
           "                   of board time (as the scenario's \"paced off\")\n"
           "  --speed X        at most X board seconds per real second, 0.01..1000 (as the\n"
           "                   scenario's \"speed X\"; default 1)\n"
           "  --help           this text\n";
}

int wrong(const std::string& what) {
    std::cerr << "svsim: " << what << "\n";
    usage(std::cerr);
    return 2;
}
}  // namespace

int main(int argc, char* argv[]) {
    sim::RunOptions options;
    options.out = "out";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool valued = a == "--scenario" || a == "--out" || a == "--speed";
        if (valued && i + 1 >= argc) return wrong(a + " needs a value");
        if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else if (a == "--scenario") {
            options.scenario = argv[++i];
        } else if (a == "--out") {
            options.out = argv[++i];
        } else if (a == "--echo") {
            options.echo = true;
        } else if (a == "--unpaced") {
            options.paced = false;
        } else if (a == "--speed") {
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (!end || *end || !(v >= sim::kMinSpeed && v <= sim::kMaxSpeed)) {
                std::cerr << "svsim: --speed must be 0.01..1000 board seconds per real second\n";
                return 2;
            }
            options.speed = v;
        } else {
            return wrong("unknown option \"" + a + "\"");
        }
    }
    if (options.scenario.empty()) return wrong("which scenario? --scenario FILE");
    return sim::run(options);
}
