// Storage on the simulated board: path mapping into the root, free space,
// the USB disk slot with /proc/partitions, and the mount at /opt.
//
// Mounting is a symlink: <root>/opt (the flash's folder) is moved aside to
// <root>/.opt-covered and <root>/opt points at the disk's files, so every
// board_path("/opt/...") reaches the disk. A pulled-out mounted disk leaves
// /opt pointing at nothing until it is unmounted.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "host/internal.h"
#include "host/storage_parts.h"
#include "platform/files.h"

namespace host::storage {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kCluster = 32768;         // FAT cluster of the USB disks
constexpr std::uint64_t kFlashBlock = 4096;
constexpr std::uint64_t kFlashBytes = 256 * kMiB;
constexpr long kFatMagic = 0x4d44;
constexpr long kJffs2Magic = 0x72b6;
constexpr const char* kCovered = ".opt-covered";
constexpr const char* kUsb = "usb";
// Where /opt points while its disk is out: a name no disk can have, never created.
constexpr const char* kGone = "usb/.removed";

std::optional<Disk> g_disk;
Mount g_mount;

bool lexists(const fs::path& p, struct stat* st = nullptr) {
    struct stat s;
    const bool ok = ::lstat(p.c_str(), &s) == 0;
    if (ok && st) *st = s;
    return ok;
}

void check_label(const std::string& label) {
    if (label.empty() || label[0] == '.' || label.find('/') != std::string::npos ||
        label.find('\0') != std::string::npos)
        throw std::invalid_argument("disk label must be one plain name: " + label);
}

// Rounds every regular file up to whole units; folders below `top` cost one
// unit each when `dir_cost` is set. Symlinks are never followed.
std::uint64_t tree_usage(const fs::path& top, std::uint64_t unit, bool dir_cost, bool skip_usb_at_top) {
    std::uint64_t used = 0;
    std::vector<fs::path> pending{top};
    bool first = true;
    while (!pending.empty()) {
        const fs::path dir = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path& p = it->path();
            if (first && skip_usb_at_top && p.filename() == kUsb) continue;
            struct stat st;
            if (!lexists(p, &st)) continue;  // gone while walking
            if (S_ISREG(st.st_mode)) {
                const auto size = static_cast<std::uint64_t>(st.st_size);
                used += (size + unit - 1) / unit * unit;
            } else if (S_ISDIR(st.st_mode)) {
                if (dir_cost) used += unit;
                pending.push_back(p);
            }
        }
        first = false;
    }
    return used;
}

void write_partitions_locked() {
    const fs::path dir = the_root() / "proc";
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string text = "major minor  #blocks  name\n\n";
    auto line = [&text](int major, int minor, std::uint64_t blocks, const char* name) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%4d  %7d %10llu %s\n", major, minor,
                      static_cast<unsigned long long>(blocks), name);
        text += buf;
    };
    line(31, 0, 1024, "mtdblock0");
    line(31, 1, 4096, "mtdblock1");
    if (g_disk) {
        const std::uint64_t kib = g_disk->capacity_mb * 1024;
        line(8, 0, kib, "sda");
        if (g_disk->partitioned) line(8, 1, kib > 32 ? kib - 32 : 0, "sda1");
    }
    // Written aside and renamed in, so a reader never sees half a table.
    const fs::path tmp = dir / ".partitions.new";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << text;
    }
    if (::rename(tmp.c_str(), (dir / "partitions").c_str()) != 0)
        board_log("storage", std::string("cannot write /proc/partitions: ") + std::strerror(errno));
}

// This process's descriptors of files below the folder.
std::vector<int> open_files_below(const fs::path& folder) {
    std::vector<int> fds;
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec) return fds;
    DIR* d = ::opendir("/proc/self/fd");
    if (!d) return fds;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        if (target[0] == '/' && inside(fs::path(target), real)) fds.push_back(std::atoi(e->d_name));
    }
    ::closedir(d);
    return fds;
}

// The kernel's mount table: the flash's root, and the disk when mounted at
// /opt. Written aside and renamed in, like the partition table.
void write_mounts_locked() {
    const fs::path dir = the_root() / "proc";
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string text = "/dev/mtdblock1 / jffs2 rw,relatime 0 0\n";
    if (g_mount.active) text += g_mount.device + " /opt vfat rw,relatime 0 0\n";
    const fs::path tmp = dir / ".mounts.new";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << text;
    }
    if (::rename(tmp.c_str(), (dir / "mounts").c_str()) != 0)
        board_log("storage", std::string("cannot write /proc/mounts: ") + std::strerror(errno));
}

// A pulled-out disk fails every later read and write of the files this
// process still holds open on it, as the kernel does: each such descriptor
// is made to refer to a folder opened for reading.
void fail_open_files(const fs::path& folder) {
    const std::vector<int> fds = open_files_below(folder);
    if (fds.empty()) return;
    const int dead = ::open(the_root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dead < 0) return;
    for (int fd : fds) {
        if (::dup3(dead, fd, O_CLOEXEC) < 0)
            board_log("storage", std::string("cannot cut off an open file: ") + std::strerror(errno));
    }
    ::close(dead);
    board_log("storage", std::to_string(fds.size()) + " open file(s) on the pulled disk now fail");
}

// /opt becomes a link to `target` (relative to the root), replacing the old link in one step.
bool relink_opt(const char* target) {
    const fs::path root = the_root();
    const fs::path tmp = root / ".opt-new";
    ::unlink(tmp.c_str());
    if (::symlink(target, tmp.c_str()) != 0) return false;
    if (::rename(tmp.c_str(), (root / "opt").c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

// Puts the flash's /opt folder back in place (after an unmount or a run that
// ended while mounted).
bool restore_opt_folder(std::string& reason) {
    const fs::path root = the_root();
    const fs::path opt = root / "opt";
    const fs::path covered = root / kCovered;
    struct stat st;
    if (lexists(opt, &st) && S_ISLNK(st.st_mode) && ::unlink(opt.c_str()) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (lexists(covered, &st) && S_ISDIR(st.st_mode)) {
        if (!lexists(opt)) {
            if (::rename(covered.c_str(), opt.c_str()) != 0) {
                reason = std::strerror(errno);
                return false;
            }
        } else {
            board_log("storage", "both /opt and the covered /opt folder exist; the covered one is kept aside");
        }
    }
    if (!lexists(opt) && ::mkdir(opt.c_str(), 0755) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

void remove_disk_locked() {
    if (!g_disk) return;
    board_log("storage", "disk " + g_disk->label + " removed");
    if (g_mount.active && !g_mount.stale) {
        g_mount.stale = true;
        if (!relink_opt(kGone)) board_log("storage", std::string("cannot detach /opt: ") + std::strerror(errno));
    }
    fail_open_files(files_dir(g_disk->label));
    g_disk.reset();
    write_partitions_locked();
}

}  // namespace

const fs::path& the_root() {
    const fs::path& r = board_root();
    // Without a root every board path would be a host path: refuse outright.
    if (r.empty()) throw std::logic_error("the simulated board has no root: call host::board_init first");
    return r;
}

std::mutex& state_mutex() {
    static std::mutex m;
    return m;
}

// ---------------------------------------------------------------- paths

bool plain_name(std::string_view part) {
    return !part.empty() && part != "." && part != ".." && part.find('/') == std::string_view::npos &&
           part.find('\0') == std::string_view::npos;
}

std::vector<std::string> name_parts(std::string_view name) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t j = std::min(name.find('/', i), name.size());
        const std::string_view part = name.substr(i, j - i);
        if (!part.empty() && part != ".") out.emplace_back(part);
        i = j + 1;
    }
    return out;
}

std::vector<std::string> system_components(std::string_view p) {
    std::vector<std::string> out;
    for (auto& part : name_parts(p)) {
        if (part != "..") {
            out.push_back(std::move(part));
        } else if (!out.empty()) {
            out.pop_back();
        }
    }
    return out;
}

std::string system_join(const std::vector<std::string>& components) {
    if (components.empty()) return "/";
    std::string s;
    for (const auto& c : components) s.append("/").append(c);
    return s;
}

std::optional<fs::path> host_path(const std::vector<std::string>& components) {
    std::string s = the_root().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    for (const auto& c : components) {
        if (!plain_name(c)) {
            errno = EINVAL;
            return std::nullopt;
        }
        s.append("/").append(c);
    }
    return fs::path(s);
}

fs::path real_root() {
    std::error_code ec;
    fs::path r = fs::canonical(the_root(), ec);
    return ec ? the_root() : r;
}

bool inside(const fs::path& real, const fs::path& top) {
    const std::string& a = real.native();
    const std::string& b = top.native();
    if (a.size() < b.size() || a.compare(0, b.size(), b) != 0) return false;
    return a.size() == b.size() || a[b.size()] == '/' || (!b.empty() && b.back() == '/');
}

std::optional<fs::path> resolve_in_root(const std::vector<std::string>& components) {
    const auto host = host_path(components);
    if (!host) return std::nullopt;
    char buf[PATH_MAX];
    if (!::realpath(host->c_str(), buf)) return std::nullopt;
    fs::path real(buf);
    if (!inside(real, real_root())) {
        errno = EACCES;
        return std::nullopt;
    }
    return real;
}

std::optional<fs::path> child_of(const fs::path& real_dir, std::string_view name) {
    if (!plain_name(name)) {
        errno = EINVAL;
        return std::nullopt;
    }
    return real_dir / name;
}

// Where the links on the way to a host path lead: nowhere (a dangling link,
// as the mount point of a pulled-out disk) or outside the root are refused,
// since a file created through them would land wherever they point.
enum class Links { inside, dangling, outside };

Links links_on_the_way(const std::vector<std::string>& components) {
    fs::path p = the_root();
    for (const auto& c : components) {
        p /= c;
        struct stat st;
        if (!lexists(p, &st)) return Links::inside;  // nothing further exists to follow
        if (S_ISLNK(st.st_mode)) {
            char buf[PATH_MAX];
            if (!::realpath(p.c_str(), buf)) return Links::dangling;
            if (!inside(fs::path(buf), real_root())) return Links::outside;
        }
    }
    return Links::inside;
}

// What a refused board path maps to: a file in a folder that is never made,
// so every call on it, or on a name made from it, fails with ENOENT.
fs::path refused_path() { return the_root() / kUsb / ".refused" / "refused"; }

bool machinery(const std::vector<std::string>& components) {
    return !components.empty() && (components[0] == kUsb || components[0] == kCovered);
}

// ---------------------------------------------------------------- state

const std::optional<Disk>& current_disk() { return g_disk; }
const Mount& current_mount() { return g_mount; }

std::string fs_node() {
    if (!g_disk) return {};
    return g_disk->partitioned ? "/dev/sda1" : "/dev/sda";
}

bool node_present(const std::string& device) {
    if (!g_disk) return false;
    return device == "/dev/sda" || (g_disk->partitioned && device == "/dev/sda1");
}

void set_formatted() {
    if (g_disk) g_disk->formatted = true;
}

fs::path files_dir(const std::string& label) { return the_root() / kUsb / label / "files"; }

bool mount_opt(const std::string& device, std::string& reason) {
    if (!g_disk) {
        reason = "no disk";
        return false;
    }
    const fs::path root = the_root();
    const fs::path opt = root / "opt";
    const fs::path covered = root / kCovered;
    struct stat st;
    if (!lexists(opt, &st) || !S_ISDIR(st.st_mode)) {
        reason = "mount point does not exist";
        return false;
    }
    if (lexists(covered)) {
        reason = "mount point busy";
        return false;
    }
    std::error_code ec;
    fs::create_directories(files_dir(g_disk->label), ec);
    if (::rename(opt.c_str(), covered.c_str()) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    const std::string target = std::string(kUsb) + "/" + g_disk->label + "/files";
    if (::symlink(target.c_str(), opt.c_str()) != 0) {
        reason = std::strerror(errno);
        ::rename(covered.c_str(), opt.c_str());
        return false;
    }
    g_mount = Mount{true, false, g_disk->label, device};
    write_mounts_locked();
    return true;
}

bool unmount_opt(std::string& reason) {
    if (!restore_opt_folder(reason)) return false;
    g_mount = Mount{};
    write_mounts_locked();
    return true;
}

bool holds_open_file(const fs::path& folder) { return !open_files_below(folder).empty(); }

}  // namespace host::storage

// ---------------------------------------------------------------- host API

namespace host {

using namespace host::storage;

void storage_power_on() {
    std::lock_guard lock(state_mutex());
    g_disk.reset();
    g_mount = Mount{};
    std::error_code ec;
    fs::create_directories(the_root() / kUsb, ec);
    std::string reason;
    if (!restore_opt_folder(reason)) board_log("storage", "cannot restore the /opt folder: " + reason);
    write_partitions_locked();
    write_mounts_locked();
}

void storage_power_off() {
    std::lock_guard lock(state_mutex());
    // Power off unmounts everything; put the flash folder back for the next run.
    if (g_mount.active) {
        std::string reason;
        if (!restore_opt_folder(reason)) board_log("storage", "cannot restore the /opt folder: " + reason);
    }
    g_disk.reset();
    g_mount = Mount{};
}

void disk_insert(const std::string& label, std::uint64_t capacity_mb, bool partitioned, bool formatted) {
    check_label(label);
    std::lock_guard lock(state_mutex());
    remove_disk_locked();
    std::error_code ec;
    fs::create_directories(files_dir(label), ec);
    if (ec) board_log("storage", "cannot create the disk folder: " + ec.message());
    g_disk = Disk{label, capacity_mb, partitioned, formatted};
    char text[160];
    std::snprintf(text, sizeof text, "disk %s inserted: %llu MB%s%s", label.c_str(),
                  static_cast<unsigned long long>(capacity_mb), partitioned ? ", partitioned" : "",
                  formatted ? "" : ", unformatted");
    board_log("storage", text);
    write_partitions_locked();
}

void disk_remove() {
    std::lock_guard lock(state_mutex());
    remove_disk_locked();
}

std::optional<std::string> disk_inserted() {
    std::lock_guard lock(state_mutex());
    if (!g_disk) return std::nullopt;
    return g_disk->label;
}

std::filesystem::path disk_files(const std::string& label) {
    check_label(label);
    return files_dir(label);
}

bool opt_mounted() {
    std::lock_guard lock(state_mutex());
    return g_mount.active;
}

}  // namespace host

// ---------------------------------------------------------------- the seam

namespace {

std::string map_board_path(std::string_view system_path) {
    using namespace host::storage;
    const auto comps = system_components(system_path);
    const auto host = host_path(comps);
    const Links links = host ? links_on_the_way(comps) : Links::inside;
    if (host && links == Links::inside) return host->string();
    if (links != Links::dangling)
        host::board_log("storage", "refused the path " + shell_word(std::string(system_path)) +
                                       (host ? ": a link on its way leads outside the board" : ": it holds a NUL byte"));
    return refused_path().string();
}

}  // namespace

std::string board_path(const char* system_path) { return map_board_path(system_path ? system_path : ""); }

std::string board_path(const std::string& system_path) { return map_board_path(system_path); }

int plat_statfs(const char* system_path, struct statfs* out) {
    using namespace host::storage;
    if (!system_path || !out) {
        errno = EFAULT;
        return -1;
    }
    if (host::take_failure(std::string("statfs ") + system_path)) {
        errno = EIO;
        return -1;
    }
    const auto comps = system_components(system_path);
    std::lock_guard lock(state_mutex());
    const auto real = resolve_in_root(comps);
    struct stat st;
    if (!real || ::stat(real->c_str(), &st) != 0) return -1;  // errno from the lookup
    std::memset(out, 0, sizeof *out);
    const bool on_disk = !comps.empty() && comps[0] == "opt" && g_mount.active && !g_mount.stale && g_disk;
    if (on_disk) {
        const std::uint64_t capacity = g_disk->capacity_mb * kMiB;
        const std::uint64_t used = tree_usage(files_dir(g_disk->label), kCluster, true, false);
        const std::uint64_t free_bytes = capacity > used ? capacity - used : 0;
        out->f_type = kFatMagic;
        out->f_bsize = static_cast<long>(kCluster);
        out->f_blocks = capacity / kCluster;
        out->f_bfree = out->f_bavail = free_bytes / kCluster;
        out->f_files = out->f_blocks;  // FAT has no inode table; a cluster per entry at most
        out->f_ffree = out->f_bfree;
    } else {
        // The mounted disk is reached through the /opt link, which the walk never follows.
        const std::uint64_t used = tree_usage(the_root(), 1, false, true);
        const std::uint64_t free_bytes = kFlashBytes > used ? kFlashBytes - used : 0;
        out->f_type = kJffs2Magic;
        out->f_bsize = static_cast<long>(kFlashBlock);
        out->f_blocks = kFlashBytes / kFlashBlock;
        out->f_bfree = out->f_bavail = free_bytes / kFlashBlock;
        out->f_files = out->f_blocks;
        out->f_ffree = out->f_bfree;
    }
    return 0;
}
