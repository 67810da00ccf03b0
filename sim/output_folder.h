// svsim's output folder: one run at a time; what an earlier run wrote there is
// replaced, everything else stays; inputs a run reads from it are held open
// across that.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/scenario.h"

namespace sim {

// The scenario's inputs that lie inside the output folder, held open until
// the board has them; where to read each disk file and camera file from.
struct KeptInputs {
    std::vector<std::filesystem::path> disk_sources;  // one per disk_files
    std::vector<std::filesystem::path> yuv_sources;   // one per captures
    std::vector<int> fds;
    KeptInputs() = default;
    KeptInputs(const KeptInputs&) = delete;
    KeptInputs& operator=(const KeptInputs&) = delete;
    ~KeptInputs() { close(); }
    void close();
};

// Opens the scenario's inputs inside `out` before the folder is emptied.
// Refuses (false, with a message) a scenario that lies where the run writes
// or an input that cannot be opened.
bool keep_inputs(const std::filesystem::path& out, const std::filesystem::path& scenario_file,
                 const Scenario& scenario, KeptInputs& kept, std::string& error);

// Creates the output folder, or takes one an earlier run made, and locks it
// for this run. Removes what the earlier run wrote there (its record in the
// folder says) and whatever is at a name this run writes: the logs, board/
// whole, screens/final.png and the scenario's pictures; names in `kept` what
// else is there ("kept what svsim did not write: mine/, notes.txt"), or
// leaves it empty. Refuses (false, with a message) a folder it did not make
// that is not empty.
bool prepare_output(const std::filesystem::path& out, const Scenario& scenario, std::string& kept,
                    std::string& error);

}  // namespace sim
