// svsim: runs the system on the simulated board.
#include <iostream>
#include <string>
#include <vector>

#include "sim/runner.h"

namespace {
void usage(std::ostream& out) {
    out << "usage: svsim --scenario FILE [--out DIR] [--echo] [--unpaced] [--speed X]\n"
           "  Plays the scenario on the simulated board while the system runs. An option's\n"
           "  value may follow it or an = (--speed=10). Ctrl-C ends the run as a power off.\n"
           "  --scenario FILE  the scenario to play (sim/scenarios/*.scn; README: Scenarios)\n"
           "  --out DIR        output folder (default out): screens/*.png, console.log (the\n"
           "                   system's standard output), board.log (every device request and\n"
           "                   command), board/ (the board's files: settings, USB disks,\n"
           "                   recordings); what an earlier run wrote there is replaced,\n"
           "                   after the files the scenario names are read; other files stay\n"
           "  --echo           the board log to standard error too, as it is written\n"
           "  --unpaced        a new camera frame at every request instead of 12 per second\n"
           "                   of board time (as the scenario's \"paced off\")\n"
           "  --speed X        at most X board seconds per real second, 0.01..1000 (as the\n"
           "                   scenario's \"speed X\"; default 1)\n"
           "  --help           this text\n";
}

}  // namespace

int main(int argc, char* argv[]) {
    sim::RunOptions options;
    std::string error;
    switch (sim::parse_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    case sim::Command::help:
        usage(std::cout);
        return 0;
    case sim::Command::wrong:
        std::cerr << "svsim: " << error << "\n";
        usage(std::cerr);
        return 2;
    case sim::Command::run:
        break;
    }
    return sim::run(options);
}
