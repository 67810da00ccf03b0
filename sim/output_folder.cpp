#include "sim/output_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

namespace sim {
namespace fs = std::filesystem;
namespace {

// The record of what svsim writes in the folder; it also tells a folder svsim made.
constexpr const char* kMarker = ".svsim-output";
constexpr const char* kLock = ".svsim-lock";
constexpr const char* kRecordHeader =
    "# svsim's outputs in this folder: a later run replaces them and keeps every other file";
// What every run writes at the top of the folder; its pictures go into screens/.
constexpr const char* kRunNames[] = {"board", "board.log", "console.log", "screens/final.png"};

// Whether `file` is inside `folder` (symbolic links followed); its path from
// there when it is.
std::optional<fs::path> inside(const fs::path& folder, const fs::path& file) {
    std::error_code ec;
    fs::path d = fs::weakly_canonical(fs::absolute(folder), ec);
    if (d.has_relative_path() && d.filename().empty()) d = d.parent_path();
    const fs::path f = fs::weakly_canonical(fs::absolute(file), ec);
    if (ec) return std::nullopt;
    const auto [at, _] = std::mismatch(d.begin(), d.end(), f.begin(), f.end());
    if (at != d.end()) return std::nullopt;
    return f.lexically_relative(d);
}

// Where to read an input from once the output folder is emptied: an input
// inside that folder is opened first and read through its descriptor.
std::optional<fs::path> keep_open(const fs::path& out, const fs::path& file, std::vector<int>& fds,
                                  std::string& error) {
    if (!inside(out, file)) return file;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read " + file.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    fds.push_back(fd);
    return fs::path("/proc/self/fd") / std::to_string(fd);
}

// A picture of the run, as the record names it: screens/NAME.png.
bool picture_name(const std::string& name) {
    const std::string_view plain = std::string_view(name).substr(std::min<std::size_t>(name.size(), 8));
    return name.starts_with("screens/") && plain.size() > 4 && plain.ends_with(".png") && plain[0] != '.' &&
           plain.find('/') == std::string_view::npos;
}

// What an earlier run wrote, from its record. A record without its header
// line was left by an svsim that emptied the whole folder: all its pictures
// are taken as its own.
std::set<std::string> earlier_outputs(const fs::path& out) {
    std::set<std::string> names(std::begin(kRunNames), std::end(kRunNames));
    std::ifstream record(out / kMarker);
    std::string line;
    const bool headed = std::getline(record, line) && line == kRecordHeader;
    // Only names a run writes: an edited record cannot reach outside the folder.
    while (headed && std::getline(record, line))
        if (picture_name(line)) names.insert(line);
    std::error_code ec;
    if (!headed)
        for (const auto& entry : fs::directory_iterator(out / "screens", ec))
            if (const std::string name = "screens/" + entry.path().filename().string(); picture_name(name))
                names.insert(name);
    return names;
}

}  // namespace

void KeptInputs::close() {
    for (const int fd : fds) ::close(fd);
    fds.clear();
}

bool keep_inputs(const fs::path& out, const fs::path& scenario_file, const Scenario& scenario, KeptInputs& kept,
                 std::string& error) {
    // A scenario kept in the folder stays; where the run writes it cannot.
    if (const auto place = inside(out, scenario_file)) {
        const std::string first = place->begin()->string();
        for (const char* name : {"board.log", "console.log", "screens", "board", kMarker, kLock})
            if (first == name) {
                error = "the run writes " + (out / name).string() + "; keep the scenario elsewhere";
                return false;
            }
    }
    // A restart may put all of an earlier run's recordings on its disk.
    if (rlimit files{}; ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    for (const auto& f : scenario.disk_files) {
        auto source = keep_open(out, f.source, kept.fds, error);
        if (!source) {
            error = "line " + std::to_string(f.line) + ": " + error;
            return false;
        }
        kept.disk_sources.push_back(*source);
    }
    for (const auto& c : scenario.captures) {
        std::optional<fs::path> source = c.file;
        if (c.kind == "yuv" && !(source = keep_open(out, c.file, kept.fds, error))) {
            error = "line " + std::to_string(c.line) + ": " + error;
            return false;
        }
        kept.yuv_sources.push_back(*source);
    }
    return true;
}

bool prepare_output(const fs::path& out, const Scenario& scenario, std::string& kept, std::string& error) {
    std::error_code ec;
    if (fs::exists(out, ec)) {
        if (!fs::is_directory(out, ec)) {
            error = out.string() + " is not a folder";
            return false;
        }
        const bool ours = fs::exists(out / kMarker, ec) || fs::exists(out / kLock, ec);
        if (!ours && !fs::is_empty(out, ec)) {
            error = out.string() + " is not empty and was not made by svsim; choose another output folder";
            return false;
        }
    }
    fs::create_directories(out, ec);
    if (ec) {
        error = "cannot create " + out.string() + ": " + ec.message();
        return false;
    }
    // Held until the process ends: a second run into the same folder would
    // delete this run's files under it.
    static int lock_fd = -1;
    if (lock_fd >= 0) ::close(lock_fd);
    lock_fd = ::open((out / kLock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (lock_fd < 0) {
        error = "cannot lock " + out.string() + ": " + std::strerror(errno);
        return false;
    }
    if (::fcntl(lock_fd, F_SETLK, &lock) != 0) {
        struct flock holder = lock;
        const bool known = ::fcntl(lock_fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK;
        error = out.string() + " is in use by another svsim run" +
                (known ? " (process " + std::to_string(holder.l_pid) + ")" : std::string()) +
                "; wait for it to end or choose another output folder";
        ::close(lock_fd);
        lock_fd = -1;
        return false;
    }
    // The earlier run's outputs and the names this run writes are svsim's
    // own, whoever put a file there; the board root goes whole, with anything
    // put into it. Everything else is the user's and stays.
    std::vector<std::string> pictures;
    for (const Event& e : scenario.events)
        if (e.verb == "screenshot" || e.verb == "cameras" || e.verb == "overlay")
            pictures.push_back("screens/" + e.args[0] + ".png");
    std::set<std::string> ours = earlier_outputs(out);
    ours.insert(pictures.begin(), pictures.end());
    for (const auto& name : ours) fs::remove_all(out / name, ec);
    if (!fs::is_directory(out / "screens", ec)) fs::remove(out / "screens", ec);
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(out, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "screens") {
            for (const auto& picture : fs::directory_iterator(entry.path(), ec))
                others.push_back("screens/" + picture.path().filename().string() +
                                 (picture.is_directory(ec) ? "/" : ""));
        } else if (name != kMarker && name != kLock) {
            others.push_back(name + (entry.is_directory(ec) ? "/" : ""));
        }
    }
    if (!others.empty()) {
        // One line, however much the user keeps there.
        constexpr std::size_t kNamed = 8;
        std::sort(others.begin(), others.end());
        kept = "kept what svsim did not write: ";
        for (std::size_t i = 0; i < std::min(others.size(), kNamed); ++i) kept += (i ? ", " : "") + others[i];
        if (others.size() > kNamed) kept += " and " + std::to_string(others.size() - kNamed) + " more";
    }
    fs::create_directories(out / "screens", ec);
    if (ec) {
        error = "cannot create " + (out / "screens").string() + ": " + ec.message();
        return false;
    }
    std::ofstream record(out / kMarker, std::ios::trunc);
    record << kRecordHeader << "\n";
    for (const char* name : kRunNames) record << name << "\n";
    for (const auto& p : pictures) record << p << "\n";
    return true;
}

}  // namespace sim
