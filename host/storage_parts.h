// Pieces shared by the storage part's files (paths, disks, mounts, commands).
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::storage {

namespace fs = std::filesystem;

// One lock for the disk slot and the mount at /opt. Commands hold it while
// they run, so a disk cannot vanish half-way through one.
std::mutex& state_mutex();

// ---- paths (no lock needed)

// The board root; throws before the board was ever powered on.
const fs::path& the_root();

// The one way from a name to a host path. Every file operation of the board
// reaches the host through host_path, resolve_in_root or child_of, and each
// takes only plain names: not empty, not "." or "..", without '/' and without
// a NUL byte (a system call would see the name end there and reach another
// file, "..\0x" becoming "..").
bool plain_name(std::string_view part);
// A name's parts as written: split at '/', empty and "." parts dropped.
std::vector<std::string> name_parts(std::string_view name);
// A system path as its normalised components: "." dropped, ".." eaten but
// never above "/", relative paths taken from "/". A part holding a NUL byte
// is kept, so that the host path of the components is refused.
std::vector<std::string> system_components(std::string_view system_path);
std::string system_join(const std::vector<std::string>& components);  // "/a/b", "/" when empty
// The host path of components below the root, links not resolved; nullopt
// (errno EINVAL) unless each is a plain name.
std::optional<fs::path> host_path(const std::vector<std::string>& components);

// The root with its symlinks resolved; everything real lives below it.
fs::path real_root();
bool inside(const fs::path& real, const fs::path& top);  // top itself or below it
// The real path of components below the root, or nullopt with errno (ENOENT,
// EINVAL: not plain names, EACCES: a link leads outside the root).
std::optional<fs::path> resolve_in_root(const std::vector<std::string>& components);
// A plain name inside a folder already resolved in the root, the name itself
// not followed; nullopt (errno EINVAL) for any other name.
std::optional<fs::path> child_of(const fs::path& real_dir, std::string_view name);

// Places under the root that belong to the simulated board's machinery, not
// to the board's file system: the disks' store and the covered /opt folder.
bool machinery(const std::vector<std::string>& components);

// ---- disk and mount state (caller holds state_mutex)

struct Disk {
    std::string label;
    std::uint64_t capacity_mb = 0;
    bool partitioned = true;
    bool formatted = true;
};

struct Mount {
    bool active = false;   // something is mounted at /opt
    bool stale = false;    // its disk was pulled out
    std::string label;
    std::string device;
};

const std::optional<Disk>& current_disk();
const Mount& current_mount();
// The node a file system can be on: "/dev/sda1" partitioned, "/dev/sda" whole.
std::string fs_node();
// Whether a device path is listed in /proc/partitions now.
bool node_present(const std::string& device);
void set_formatted();
fs::path files_dir(const std::string& label);
// Mount the current disk at /opt, and undo it. Return false with a reason.
bool mount_opt(const std::string& device, std::string& reason);
bool unmount_opt(std::string& reason);
// Whether this process holds a file open below the folder.
bool holds_open_file(const fs::path& folder);

// ---- shared by the commands

// Logs "shell: <text>" and takes the injected failure of the command word.
bool command_start(const std::string& text, const char* word);
void command_fail(const std::string& reason);
// An exact operand as a shell would need it written: as it is when it holds
// only plain characters, else quoted ('...', or $'...' with control bytes).
std::string shell_word(const std::string& s);

}  // namespace host::storage
