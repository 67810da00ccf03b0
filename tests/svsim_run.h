// Runs the simulator as its own process, as a user would.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
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

// In $TMPDIR when set, so that parallel copies of the tests can each have
// their own folder.
struct TempDir {
    fs::path path;
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/svsim-run-XXXXXX";
        path = mkdtemp(tmpl.data());
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

// The file each running svsim keeps its board time in, by process id.
inline std::map<pid_t, fs::path>& board_time_files() {
    static std::map<pid_t, fs::path> files;
    return files;
}

// Starts svsim in `dir` on the scenario, written to `file` (default
// dir/test.scn), into dir/out: its process id, or -1.
inline pid_t spawn_svsim(const fs::path& dir, const std::string& scenario_text, fs::path file = {}) {
    if (file.empty()) file = dir / "test.scn";
    {
        std::ofstream(file) << scenario_text;
    }
    const std::string scn = file.string(), out = (dir / "out").string();
    const char* argv[] = {SVSIM_PATH, "--scenario", scn.c_str(), "--out", out.c_str(), nullptr};
    // Beside the folder: the run's own folder holds only what svsim made.
    const fs::path time_file = dir.string() + ".board-time";
    std::vector<std::string> env_text{"SVSIM_BOARD_TIME=" + time_file.string()};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "SVSIM_BOARD_TIME=", 17) != 0) env_text.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir / "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, SVSIM_PATH, &actions, nullptr, const_cast<char**>(argv), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    board_time_files()[pid] = time_file;
    return pid;
}

// A run counts as hung when its board time has not moved for this long on
// the host (or never started). How long the whole run takes on a busy host
// does not matter: board time does not depend on host time.
constexpr auto kStalled = std::chrono::seconds(120);

// Waits for a spawned svsim until `stop()` says to kill it (SIGKILL) or it
// ends: its exit status, -2 when it hung, -3 when killed.
template <class Stop>
int wait_svsim(pid_t pid, Stop stop) {
    const auto it = board_time_files().find(pid);
    const fs::path time_file = it == board_time_files().end() ? fs::path() : it->second;
    if (it != board_time_files().end()) board_time_files().erase(it);
    struct Remove {
        fs::path file;
        ~Remove() {
            std::error_code ignored;
            if (!file.empty()) fs::remove(file, ignored);
        }
    } remove{time_file};
    std::string board_time;
    auto moved = std::chrono::steady_clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (!time_file.empty()) {
            if (std::string t = read_file(time_file); t != board_time) {
                board_time = std::move(t);
                moved = now;
            }
        }
        const bool hung = now - moved > kStalled;
        if (hung || stop()) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return hung ? -2 : -3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

// Starts svsim in `dir` and waits for it: its exit status.
inline int run_svsim(const fs::path& dir, const std::string& scenario_text) {
    const pid_t pid = spawn_svsim(dir, scenario_text);
    if (pid < 0) return -1;
    return wait_svsim(pid, [] { return false; });
}

}  // namespace svsim_test
