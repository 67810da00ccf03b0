// The upgrade package: listed and bounded before anything is written, unpacked
// aside, walked by the application itself, and only then moved into /home.
#include "dsp/dsp_package.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "dsp/dsp_firmware.h"
#include "dsp/dsp_upgrade.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

constexpr const char* kHome = "/home";
constexpr const char* kStartScript = "/home/rcS";
constexpr const char* kScriptDir = "/etc/init.d";

bool control_byte(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool has_control_byte(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](unsigned char c) { return control_byte(c); });
}

// A member's name for a console line: control bytes as \xNN, long names cut.
std::string shown(const std::string& name) {
    std::string out;
    for (const unsigned char c : name) {
        if (out.size() >= 80) return out + "...";
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += control_byte(c) ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    return out;
}

const char* kind(char type) {
    const char* name = tar_type_name(type);
    return name ? name : "special member";
}

const char* kind(mode_t mode) {
    if (S_ISLNK(mode)) return "symbolic link";
    if (S_ISCHR(mode)) return "character device";
    if (S_ISBLK(mode)) return "block device";
    if (S_ISFIFO(mode)) return "fifo";
    if (S_ISSOCK(mode)) return "socket";
    if (S_ISREG(mode)) return "file with more than one link";
    return "special file";
}

// What the upgrade itself keeps at the top of /home, or nullptr.
const char* own_name(const std::string& top) {
    const std::string path = std::string(kHome) + "/" + top;
    if (path == kStaging) return "the folder it is unpacked in";
    if (path == kPackageCopy) return "the package's copy";
    return nullptr;
}

// A file's bytes in whole blocks; beyond `limit` when it cannot fit at all.
std::uint64_t blocks_of(std::uint64_t size, std::uint64_t block, std::uint64_t limit) {
    return size > limit ? limit + 1 : (size + block - 1) / block * block;
}

// The running totals of a package against its bounds.
struct Tally {
    const PackageRoom& room;
    int members = 0;
    std::uint64_t bytes = 0;
    // Folders counted so far, listed or implied: never more than the members.
    std::set<std::string> folders;

    bool member(std::string& why) {
        if (++members <= kMaxPackageMembers) return true;
        why = "it holds more than " + std::to_string(kMaxPackageMembers) + " members";
        return false;
    }
    bool take(std::uint64_t need, std::string& why) {
        if (need <= room.bytes - bytes) {
            bytes += need;
            return true;
        }
        why = "it unpacks to more than the " + std::to_string(room.bytes >> 10) + " KB the flash can spare";
        return false;
    }
    // One entry, by the names of its path. Each folder on the way counts once
    // as a member and a block, whether a member lists it or tar makes it for
    // a deeper one.
    bool add(const std::vector<std::string>& parts, bool folder, std::uint64_t size, const std::string& name,
             std::string& why) {
        if (!member(why)) return false;
        if (parts.size() > static_cast<std::size_t>(kMaxPackageDepth)) {
            why = shown(name) + " lies more than " + std::to_string(kMaxPackageDepth) + " names deep";
            return false;
        }
        std::string path;
        for (std::size_t i = 0; i + (folder ? 0 : 1) < parts.size(); ++i) {
            path += parts[i] + "/";
            if (!folders.insert(path).second) continue;
            const bool listed = folder && i + 1 == parts.size();
            if ((!listed && !member(why)) || !take(room.block, why)) return false;
        }
        if (folder) return true;
        const std::uint64_t need = blocks_of(size, room.block, room.bytes);
        if (!take(need, why)) return false;
        if (parts.size() != 1 || parts[0] != "rcS") return true;
        // The start script lands a second time, in /etc/init.d.
        if (room.script_here) return take(need, why);
        if (blocks_of(size, room.script_block, room.script_bytes) <= room.script_bytes) return true;
        why = "its rcS takes more than the " + std::to_string(room.script_bytes >> 10) + " KB " + kScriptDir +
              " can spare";
        return false;
    }
};

bool listed_member_ok(const TarEntry& e, Tally& tally, std::string& why) {
    // The board opens each name as a C string: a NUL would cut it short.
    if (has_control_byte(e.name)) {
        why = shown(e.name) + " holds a control byte";
        return false;
    }
    if (!e.name.empty() && e.name[0] == '/') {
        why = shown(e.name) + " has an absolute name";
        return false;
    }
    std::vector<std::string> parts;
    for (std::size_t i = 0; i <= e.name.size();) {
        const std::size_t j = std::min(e.name.find('/', i), e.name.size());
        const std::string part = e.name.substr(i, j - i);
        if (part == "..") {
            why = shown(e.name) + " leads out of its folder";
            return false;
        }
        // No flash takes a longer name; the count of folders keeps them all.
        if (part.size() > kMaxPackageName) {
            why = shown(e.name) + " has a name longer than " + std::to_string(kMaxPackageName) + " bytes";
            return false;
        }
        if (!part.empty() && part != ".") parts.push_back(part);
        i = j + 1;
    }
    if (e.type != '0' && e.type != '5') {
        why = shown(e.name) + " is a " + kind(e.type) + ", not a regular file or folder";
        return false;
    }
    if (parts.empty() && e.type != '5') {
        why = "a file member has no name";
        return false;
    }
    if (const char* own = parts.empty() ? nullptr : own_name(parts[0])) {
        why = shown(e.name) + " takes the name of " + own;
        return false;
    }
    return tally.add(parts, e.type == '5', e.size, e.name, why);
}

// The package's listing, checked member by member; it stops at the first
// member that breaks a bound, before a byte of it is unpacked.
bool listing_ok(const std::string& package, const PackageRoom& room, std::string& why) {
    Tally tally{room, 0, 0, {}};
    const int r = sh_tar_tzvf(package.c_str(), [&](const TarEntry& e) { return listed_member_ok(e, tally, why); });
    if (r != 0 && why.empty()) why = "it is not a whole gzip-compressed tar archive";
    return r == 0 && why.empty();
}

bool walk(int dir, const std::string& path, std::vector<std::string>& parts, Tally& tally, std::string& why) {
    const int fd = ::dup(dir);
    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!d) {
        if (fd >= 0) ::close(fd);
        why = "cannot read " + shown(path);
        return false;
    }
    bool ok = true;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string entry = path + "/" + name;
        parts.push_back(name);
        struct stat st {};
        if (has_control_byte(name)) {
            why = shown(entry) + " holds a control byte";
            ok = false;
        } else if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            why = "cannot read " + shown(entry);
            ok = false;
        } else if (S_ISDIR(st.st_mode)) {
            ok = tally.add(parts, true, 0, entry, why);
            const int sub = ok ? ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            if (ok && sub < 0) why = "cannot read " + shown(entry), ok = false;
            if (ok) ok = walk(sub, entry, parts, tally, why);
            if (sub >= 0) ::close(sub);
        } else if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
            ok = tally.add(parts, false, static_cast<std::uint64_t>(st.st_size), entry, why);
        } else {
            why = shown(entry) + " is a " + kind(st.st_mode) + ", not a regular file or folder";
            ok = false;
        }
        parts.pop_back();
        if (!ok) break;
    }
    ::closedir(d);
    return ok;
}

// Copies the package onto the flash and stops as soon as the copy would
// take more than the room: the file may grow while it is read. `taken` is
// what the copy takes of the room.
bool copy_package(const std::string& package, const PackageRoom& room, std::uint64_t& taken, std::string& why) {
    const int in = ::open(board_path(package).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int out = in < 0 ? -1
                           : ::open(board_path(kPackageCopy).c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    struct stat st {};
    bool ok = out >= 0 && ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) why = in < 0 ? "cannot read it" : out < 0 ? "cannot copy it to the flash" : "it is not a regular file";
    std::vector<char> buffer(1 << 16);
    std::uint64_t size = 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) why = "cannot read it", ok = false;
            break;
        }
        size += static_cast<std::uint64_t>(n);
        if (blocks_of(size, room.block, room.bytes) > room.bytes) {
            why = "it is larger than the " + std::to_string(room.bytes >> 10) + " KB the flash can spare";
            ok = false;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w > 0) done += w;
            else if (w == 0 || errno != EINTR) why = "cannot copy it to the flash", ok = false;
        }
    }
    if (in >= 0) ::close(in);
    if (out >= 0 && ::close(out) != 0 && ok) why = "cannot copy it to the flash", ok = false;
    taken = blocks_of(size, room.block, room.bytes);
    return ok;
}

bool regular_file(const std::string& system_path) {
    struct stat st {};
    return ::lstat(board_path(system_path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> names_in(const std::string& system_dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(board_path(system_dir).c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Moves the staged tree into /home: a file replaces a file, a folder goes
// in whole when /home has none of that name, else its contents are merged.
// With `apply` false it only looks for something in the way.
bool move_in(const std::string& from, const std::string& to, bool apply, std::string& why) {
    for (const auto& name : names_in(from)) {
        const std::string src = from + "/" + name, dst = to + "/" + name;
        struct stat s {}, d {};
        if (::lstat(board_path(src).c_str(), &s) != 0) {
            why = "cannot read " + shown(src);
            return false;
        }
        if (to == kHome && own_name(name)) {
            why = shown(dst) + " is in the way";
            return false;
        }
        if (::lstat(board_path(dst).c_str(), &d) != 0) {
            if (apply && sh_mv(src.c_str(), dst.c_str()) != 0) {
                why = "cannot move " + shown(src) + " into place";
                return false;
            }
        } else if (S_ISDIR(s.st_mode) && S_ISDIR(d.st_mode)) {
            if (!move_in(src, dst, apply, why)) return false;
        } else if (S_ISREG(s.st_mode) && S_ISREG(d.st_mode)) {
            if (apply && sh_mv(src.c_str(), dst.c_str()) != 0) {
                why = "cannot move " + shown(src) + " into place";
                return false;
            }
        } else {
            why = shown(dst) + " is in the way";
            return false;
        }
    }
    return true;
}

// Copies the package onto the flash, unpacks that copy aside and checks
// what came out: 0, 1 refused (/home as it was), 2 failed while moving into
// /home.
int stage_and_install(const std::string& package, const PackageRoom& flash, std::string& why) {
    if (flash.bytes == 0) {
        why = "the flash has no room to spare, or its free space cannot be read";
        return 1;
    }
    // The disk may change under the system: only the copy is read from here.
    std::uint64_t taken = 0;
    if (!copy_package(package, flash, taken, why)) return 1;
    PackageRoom room = flash;
    room.bytes -= taken;
    if (!listing_ok(kPackageCopy, room, why)) return 1;
    ::mkdir(board_path(kStaging).c_str(), 0755);
    if (sh_tar_xzvf(kPackageCopy, kStaging) != 0) {
        why = "it does not unpack cleanly";
        return 1;
    }
    if (!staged_tree_ok(kStaging, room, why)) return 1;
    const std::string script = std::string(kStaging) + "/rcS", hex = std::string(kStaging) + "/test.hex";
    std::string text;
    if (!regular_file(script)) {
        why = "it has no start script rcS";
        return 1;
    }
    if (!read_whole(hex.c_str(), text) || !hex_file_ok(text.data(), text.size())) {
        why = "its test.hex is not a whole Intel HEX file";
        return 1;
    }
    if (!move_in(kStaging, kHome, false, why)) return 1;
    return move_in(kStaging, kHome, true, why) ? 0 : 2;
}

// What a file system can spare (its free space less what is kept free) and
// its block size; false when its free space cannot be read.
bool spare_of(const char* system_dir, std::uint64_t& bytes, std::uint64_t& block) {
    struct statfs st {};
    if (plat_statfs(system_dir, &st) != 0 || st.f_bsize <= 0) return false;
    block = static_cast<std::uint64_t>(st.f_bsize);
    const std::uint64_t free_bytes = static_cast<std::uint64_t>(st.f_bavail) * block;
    bytes = free_bytes > kKeepFreeBytes ? free_bytes - kKeepFreeBytes : 0;
    return true;
}

}  // namespace

PackageRoom package_room() {
    PackageRoom room;
    if (!spare_of(kHome, room.bytes, room.block)) return room;
    struct stat home {}, scripts {};
    room.script_here = ::stat(board_path(kHome).c_str(), &home) != 0 ||
                       ::stat(board_path(kScriptDir).c_str(), &scripts) != 0 || home.st_dev == scripts.st_dev;
    if (!room.script_here) spare_of(kScriptDir, room.script_bytes, room.script_block);
    return room;
}

bool staged_tree_ok(const char* system_dir, const PackageRoom& room, std::string& why) {
    const int top = ::open(board_path(system_dir).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top < 0) {
        why = std::string("cannot read ") + system_dir;
        return false;
    }
    Tally tally{room, 0, 0, {}};
    std::vector<std::string> parts;
    const bool ok = walk(top, system_dir, parts, tally, why);
    ::close(top);
    return ok;
}

int upgrade(const char* name) {
    const std::string package = std::string(kMountPoint) + "/" + name;
    // What a power cut left of an earlier upgrade goes first.
    sh_rm_rf_exact(kStaging);
    sh_rm_rf_exact(kPackageCopy);
    std::string why;
    const int r = stage_and_install(package, package_room(), why);
    sh_rm_rf_exact(kStaging);
    sh_rm_rf_exact(kPackageCopy);
    if (r != 0) {
        if (r == 1)
            std::printf("upgrade package %s refused: %s\n", name, why.c_str());
        else
            std::printf("upgrade package %s: %s\n", name, why.c_str());
        std::printf("tar file failed!\n");
        return -2;
    }
    // Without its start script the new system would not start.
    if (sh_cp_a(kStartScript, "/etc/init.d/") != 0) {
        std::printf("copy file failed!\n");
        return -2;
    }
    return 0;
}
