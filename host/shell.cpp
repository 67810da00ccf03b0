// The board's commands, done natively inside the root. No shell is run: the
// operands are plain data, so a name from the disk can never become a command.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/internal.h"
#include "host/storage_parts.h"
#include "platform/shell.h"

namespace host::storage {

bool command_start(const std::string& text, const char* word) {
    board_log("shell", text);
    command_hook(text);
    return !take_failure(std::string("sh ") + word);
}

void command_fail(const std::string& reason) { board_log("shell", reason); }

std::string shell_word(const std::string& s) {
    const bool plain = !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) || (c != 0 && std::strchr("@%+=:,./_-#", c) != nullptr);
    });
    if (plain && s[0] != '#') return s;
    const bool control = std::any_of(s.begin(), s.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
    std::string out = control ? "$'" : "'";
    for (const unsigned char c : s) {
        if (!control) {
            out += c == '\'' ? std::string("'\\''") : std::string(1, static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            if (c == '\\' || c == '\'') out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out + "'";
}

}  // namespace host::storage

namespace {

using namespace host::storage;

std::string arg(const char* s) { return s ? s : ""; }

std::string quoted(const std::string& s) { return "'" + s + "'"; }

int fail(const std::string& reason) {
    command_fail(reason);
    return 1;
}

bool is_opt(const std::vector<std::string>& comps) { return comps.size() == 1 && comps[0] == "opt"; }

// An operand split into its folder (normalised) and its last component as
// written. Trailing slashes are dropped; an empty last part means "/".
struct Operand {
    std::vector<std::string> folder;
    std::string last;
};

Operand split_operand(std::string raw) {
    while (raw.size() > 1 && raw.back() == '/') raw.pop_back();
    const std::size_t slash = raw.rfind('/');
    if (slash == std::string::npos) return {{}, raw};
    return {system_components(raw.substr(0, slash)), raw.substr(slash + 1)};
}

std::vector<std::string> with(std::vector<std::string> comps, const std::string& name) {
    comps.push_back(name);
    return comps;
}

bool lstat_ok(const fs::path& p, struct stat& st) { return ::lstat(p.c_str(), &st) == 0; }

// Where a copy or move lands: inside `to` when it is a folder, else at `to`.
struct Target {
    fs::path real;
    std::vector<std::string> comps;
};

std::optional<Target> target_of(const std::string& to, const std::string& name, std::string& why) {
    const auto comps = system_components(to);
    const auto dir = resolve_in_root(comps);
    if (!dir && errno != ENOENT && errno != ENOTDIR) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st;
    const bool into = dir && ::stat(dir->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    std::optional<fs::path> real;
    if (into) {
        real = child_of(*dir, name);
    } else if (comps.empty()) {
        errno = ENOTDIR;
    } else if (auto parent = resolve_in_root(std::vector<std::string>(comps.begin(), comps.end() - 1))) {
        real = child_of(*parent, comps.back());
    }
    if (!real) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    return Target{*real, into ? with(comps, name) : comps};
}

// ---------------------------------------------------------------- copying

bool copy_file(const fs::path& from, const struct stat& st, const fs::path& to, std::string& why) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat old;
    if (lstat_ok(to, old)) {
        if (S_ISDIR(old.st_mode)) {
            ::close(in);
            why = "cannot overwrite directory";
            return false;
        }
        // A link or special file in the way is replaced, never written through.
        if (!S_ISREG(old.st_mode)) ::unlink(to.c_str());
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        why = std::strerror(errno);
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 16);
    // Only the data runs are copied, so a sparse file stays sparse.
    off_t pos = 0;
    while (ok && pos < st.st_size) {
        off_t data = ::lseek(in, pos, SEEK_DATA);
        off_t hole;
        if (data < 0) {
            if (errno == ENXIO) break;
            data = pos;
            hole = st.st_size;
        } else {
            hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0 || hole > st.st_size) hole = st.st_size;
        }
        for (off_t at = data; ok && at < hole;) {
            const auto want = static_cast<std::size_t>(std::min<off_t>(hole - at, static_cast<off_t>(buf.size())));
            const ssize_t n = ::pread(in, buf.data(), want, at);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) ok = false, why = std::strerror(errno);
                hole = at;  // the file shrank under us
                break;
            }
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::pwrite(out, buf.data() + done, static_cast<std::size_t>(n - done), at + done);
                if (w < 0) {
                    if (errno == EINTR) continue;
                    ok = false;
                    why = std::strerror(errno);
                    break;
                }
                done += w;
            }
            at += n;
        }
        pos = hole > data ? hole : data + 1;
    }
    if (ok && ::ftruncate(out, st.st_size) != 0) ok = false, why = std::strerror(errno);
    ::fchmod(out, st.st_mode & 01777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    ::close(out);
    ::close(in);
    return ok;
}

bool set_dir_attrs(const fs::path& dir, const struct stat& st) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    ::fchmod(fd, st.st_mode & 01777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(fd, times);
    ::close(fd);
    return true;
}

// Copies one entry; `shown` is its system path for messages. Symlinks and
// special files are left out: a copy never carries a way out of the root.
bool copy_entry(const fs::path& from, const fs::path& to, const std::string& shown) {
    struct stat st;
    if (!lstat_ok(from, st)) {
        command_fail("cp: cannot stat " + quoted(shown) + ": " + std::strerror(errno));
        return false;
    }
    std::string why;
    if (S_ISREG(st.st_mode)) {
        if (copy_file(from, st, to, why)) return true;
        command_fail("cp: cannot copy " + quoted(shown) + ": " + why);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        command_fail("cp: skipping " + quoted(shown) + ": not a regular file or folder");
        return true;
    }
    struct stat old;
    if (lstat_ok(to, old)) {
        if (!S_ISDIR(old.st_mode)) {
            command_fail("cp: cannot overwrite non-directory with directory " + quoted(shown));
            return false;
        }
    } else if (::mkdir(to.c_str(), 0700) != 0) {
        command_fail("cp: cannot create directory for " + quoted(shown) + ": " + std::strerror(errno));
        return false;
    }
    bool ok = true;
    DIR* d = ::opendir(from.c_str());
    if (!d) {
        command_fail("cp: cannot open " + quoted(shown) + ": " + std::strerror(errno));
        return false;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) ok = copy_entry(from / name, to / name, shown + "/" + name) && ok;
    set_dir_attrs(to, st);
    return ok;
}

// Removes everything inside a folder, leaving the folder.
bool clear_folder(const fs::path& dir) {
    bool ok = true;
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    if (ec) return false;
    for (const auto& p : entries) {
        fs::remove_all(p, ec);  // removes links themselves, never what they point at
        if (ec) ok = false;
    }
    return ok;
}

bool is_hex_number(const std::string& s) {
    if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
    return std::all_of(s.begin() + 2, s.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

}  // namespace

// ---------------------------------------------------------------- commands

int sh_reboot() {
    if (!command_start("reboot", "reboot")) return 1;
    host::board_halt("reboot");
    return 0;
}

int sh_himm(const char* address, const char* value) {
    const std::string a = arg(address), v = arg(value);
    if (!command_start("himm " + a + " " + v, "himm")) return 1;
    if (!is_hex_number(a) || !is_hex_number(v)) return fail("himm: address and value must be hexadecimal numbers (0x...)");
    return 0;
}

int sh_mount_rw(const char* device, const char* target) {
    const std::string dev = arg(device), tgt = arg(target);
    if (!command_start("mount -o rw " + dev + " " + tgt, "mount")) return 1;
    std::lock_guard lock(state_mutex());
    if (tgt.empty() || !is_opt(system_components(tgt))) return fail("mount: " + tgt + ": mount point not supported");
    if (current_mount().active) return fail("mount: /opt: mount point busy, " + current_mount().device + " is mounted there");
    const std::string node = dev.empty() ? dev : system_join(system_components(dev));
    if (!node_present(node)) return fail("mount: " + dev + ": special device does not exist");
    if (node != fs_node() || !current_disk()->formatted)
        return fail("mount: /opt: wrong fs type, bad option, bad superblock on " + dev);
    std::string why;
    if (!mount_opt(node, why)) return fail("mount: /opt: " + why);
    return 0;
}

int sh_mount_remount_rw(const char* target) {
    const std::string tgt = arg(target);
    if (!command_start("mount -o remount, rw " + tgt, "mount")) return 1;
    std::lock_guard lock(state_mutex());
    if (tgt.empty() || !is_opt(system_components(tgt)) || !current_mount().active)
        return fail("mount: " + tgt + ": not mounted");
    return 0;
}

int sh_umount(const char* target) {
    const std::string tgt = arg(target);
    if (!command_start("umount " + tgt, "umount")) return 1;
    std::lock_guard lock(state_mutex());
    const Mount& m = current_mount();
    if (tgt.empty() || !is_opt(system_components(tgt)) || !m.active) return fail("umount: " + tgt + ": not mounted");
    // A pulled-out disk's mount goes away whatever still points at it.
    if (!m.stale && holds_open_file(files_dir(m.label))) return fail("umount: " + tgt + ": target is busy");
    std::string why;
    if (!unmount_opt(why)) return fail("umount: " + tgt + ": " + why);
    return 0;
}

int sh_mkfs_vfat(const char* device) {
    const std::string dev = arg(device);
    if (!command_start("mkfs.vfat -v " + dev, "mkfs.vfat")) return 1;
    std::lock_guard lock(state_mutex());
    const std::string node = dev.empty() ? dev : system_join(system_components(dev));
    if (!node_present(node)) return fail("mkfs.vfat: unable to open " + dev + ": No such file or directory");
    if (node != fs_node())
        return fail("mkfs.vfat: Device partition expected, not making filesystem on entire device '" + dev + "'");
    const Mount& m = current_mount();
    if (m.active && !m.stale && m.label == current_disk()->label)
        return fail("mkfs.vfat: " + dev + " contains a mounted filesystem");
    const fs::path files = files_dir(current_disk()->label);
    std::error_code ec;
    fs::create_directories(files, ec);
    if (!clear_folder(files)) return fail("mkfs.vfat: cannot write to " + dev);
    set_formatted();
    return 0;
}

namespace {

// "rm -rf" of one operand: its last component is a pattern or an exact name.
int remove_operand(const std::string& raw, bool pattern) {
    if (!command_start("rm -rf " + (pattern ? raw : shell_word(raw)), "rm")) return 1;
    if (raw.empty()) return fail("rm: cannot remove '': No such file or directory");
    const Operand op = split_operand(raw);
    if (op.last.empty())
        return fail("rm: it is dangerous to operate recursively on " + quoted(raw));
    if (op.last == "." || op.last == "..")
        return fail("rm: refusing to remove '.' or '..' directory: skipping " + quoted(raw));
    std::lock_guard lock(state_mutex());
    auto parent = resolve_in_root(op.folder);
    if (!parent) {
        if (errno == ENOENT || errno == ENOTDIR) return 0;  // nothing there to remove
        return fail("rm: cannot remove " + quoted(raw) + ": " + std::strerror(errno));
    }
    std::vector<std::string> names;
    if (pattern && op.last.find_first_of("*?[") != std::string::npos) {
        DIR* d = ::opendir(parent->c_str());
        if (!d) return 0;
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            if (::fnmatch(op.last.c_str(), e->d_name, FNM_PERIOD) == 0) names.emplace_back(e->d_name);
        }
        ::closedir(d);
        std::sort(names.begin(), names.end());
    } else {
        const auto exact = child_of(*parent, op.last);
        struct stat st;
        if (!exact) return fail("rm: cannot remove " + quoted(raw) + ": " + std::strerror(errno));
        if (!lstat_ok(*exact, st)) return 0;
        names.push_back(op.last);
    }
    int status = 0;
    for (const auto& name : names) {
        const auto comps = with(op.folder, name);
        const std::string shown = system_join(comps);
        if (machinery(comps)) {
            status = fail("rm: cannot remove " + quoted(shown) + ": Operation not permitted");
            continue;
        }
        if (is_opt(comps) && current_mount().active) {
            status = fail("rm: cannot remove " + quoted(shown) + ": Device or resource busy");
            continue;
        }
        std::error_code ec;
        fs::remove_all(*child_of(*parent, name), ec);  // a name read from the folder, or checked above
        if (ec) status = fail("rm: cannot remove " + quoted(shown) + ": " + ec.message());
    }
    return status;
}

}  // namespace

int sh_rm_rf(const char* path) { return remove_operand(arg(path), true); }

int sh_rm_rf_exact(const char* path) { return remove_operand(arg(path), false); }

namespace {

// A rename that fails (EEXIST) rather than replace its target. A file system
// without the flag gets a link and an unlink: the link fails the same way.
int rename_no_replace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL || ::link(from.c_str(), to.c_str()) != 0) return -1;
    return ::unlink(from.c_str());
}

int move_operand(const char* from, const char* to, bool replace) {
    const std::string src = arg(from), dst = arg(to);
    if (!command_start(std::string(replace ? "mv " : "mv -n ") + shell_word(src) + " " + shell_word(dst), "mv"))
        return 1;
    const Operand op = split_operand(src);
    if (src.empty() || op.last.empty() || op.last == "." || op.last == "..")
        return fail("mv: cannot move " + quoted(src) + ": Invalid argument");
    std::lock_guard lock(state_mutex());
    auto parent = resolve_in_root(op.folder);
    const auto from_path = parent ? child_of(*parent, op.last) : std::nullopt;
    struct stat st;
    if (!from_path || !lstat_ok(*from_path, st))
        return fail("mv: cannot stat " + quoted(src) + ": No such file or directory");
    const auto src_comps = with(op.folder, op.last);
    if (machinery(src_comps) || (is_opt(src_comps) && current_mount().active))
        return fail("mv: cannot move " + quoted(src) + ": Device or resource busy");
    std::string why;
    auto target = target_of(dst, op.last, why);
    if (!target) return fail("mv: cannot move " + quoted(src) + " to " + quoted(dst) + ": " + why);
    if (machinery(target->comps) || (is_opt(target->comps) && current_mount().active))
        return fail("mv: cannot move " + quoted(src) + " to " + quoted(dst) + ": Device or resource busy");
    if ((replace ? ::rename(from_path->c_str(), target->real.c_str())
                 : rename_no_replace(*from_path, target->real)) != 0) {
        if (errno == EEXIST && !replace) return fail("mv: not replacing " + quoted(system_join(target->comps)));
        return fail("mv: cannot move " + quoted(src) + " to " + quoted(dst) + ": " + std::strerror(errno));
    }
    return 0;
}

}  // namespace

int sh_mv(const char* from, const char* to) { return move_operand(from, to, true); }

int sh_mv_n(const char* from, const char* to) { return move_operand(from, to, false); }

int sh_cp_a(const char* from, const char* to) {
    const std::string src = arg(from), dst = arg(to);
    if (!command_start("cp -a " + shell_word(src) + " " + shell_word(dst), "cp")) return 1;
    const auto src_comps = system_components(src);
    if (src.empty() || src_comps.empty() || machinery(src_comps))
        return fail("cp: cannot copy " + quoted(src) + ": Operation not permitted");
    std::lock_guard lock(state_mutex());
    // The operand itself is followed (the /opt mount point is a link here), but only inside the root.
    auto real = resolve_in_root(src_comps);
    if (!real) return fail("cp: cannot stat " + quoted(src) + ": " + std::strerror(errno));
    std::string why;
    auto target = target_of(dst, src_comps.back(), why);
    if (!target) return fail("cp: cannot create " + quoted(dst) + ": " + why);
    if (machinery(target->comps)) return fail("cp: cannot create " + quoted(dst) + ": Operation not permitted");
    struct stat st, old;
    if (!lstat_ok(*real, st)) return fail("cp: cannot stat " + quoted(src) + ": " + std::strerror(errno));
    if (::stat(target->real.c_str(), &old) == 0 && old.st_dev == st.st_dev && old.st_ino == st.st_ino)
        return fail("cp: " + quoted(src) + " and " + quoted(dst) + " are the same file");
    if (S_ISDIR(st.st_mode) && target->real.native().starts_with(real->native() + "/"))
        return fail("cp: cannot copy a directory, " + quoted(src) + ", into itself, " + quoted(dst));
    return copy_entry(*real, target->real, system_join(src_comps)) ? 0 : 1;
}
