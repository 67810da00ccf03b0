// Runs the simulator as its own process, as a user would.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace svsim_test {
namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/svsim-run-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { if (!std::getenv("KEEP_TMP")) fs::remove_all(path); }
};

inline std::string read_file(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Board times of the board-log lines that contain `text`.
inline std::vector<double> times_of(const std::string& log, const std::string& text) {
    std::vector<double> out;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos) out.push_back(std::stod(line.substr(1)));
    return out;
}

// The board-log lines that contain `text`, in order, without their time.
inline std::vector<std::string> lines_with(const std::string& log, const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos) out.push_back(line.substr(line.find(']') + 2));
    return out;
}

// Starts svsim in `dir` on the scenario: its process id, or -1.
inline pid_t spawn_svsim(const fs::path& dir, const std::string& scenario_text) {
    {
        std::ofstream(dir / "test.scn") << scenario_text;
    }
    const std::string scn = (dir / "test.scn").string(), out = (dir / "out").string();
    const char* argv[] = {SVSIM_PATH, "--scenario", scn.c_str(), "--out", out.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir / "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, SVSIM_PATH, &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits for a spawned svsim until `stop()` says to kill it (SIGKILL) or it
// ends: its exit status, -2 when the hang limit was hit, -3 when killed.
template <class Stop>
int wait_svsim(pid_t pid, Stop stop) {
    // Only a hung run: under the test runner's 600 s limit, with room for a
    // long run on a busy host under the sanitizers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(540);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const bool hung = std::chrono::steady_clock::now() > deadline;
        if (hung || stop()) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return hung ? -2 : -3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

// Starts svsim in `dir` and waits for it: its exit status. The limit only
// catches a hung run; board time does not depend on host time.
inline int run_svsim(const fs::path& dir, const std::string& scenario_text) {
    const pid_t pid = spawn_svsim(dir, scenario_text);
    if (pid < 0) return -1;
    return wait_svsim(pid, [] { return false; });
}

}  // namespace svsim_test
