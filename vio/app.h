// The system's entry point. The board's own start code calls it as the
// process's main; the simulator calls it on the simulated board.
#pragma once

int app_main(int argc, char* argv[]);
