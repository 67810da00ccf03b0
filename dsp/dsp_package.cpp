// The upgrade package: listed and bounded before anything is written, unpacked
// aside, walked by the application itself, and only then moved into /home.
#include "dsp/dsp_package.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "dsp/dsp_firmware.h"
#include "dsp/dsp_upgrade.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

constexpr const char* kHome = "/home";
constexpr const char* kStartScript = "/home/rcS";

// A member's name for a console line: long names are cut.
std::string shown(const std::string& name) { return name.size() > 80 ? name.substr(0, 80) + "..." : name; }

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

// The running totals of a package against its bounds.
struct Tally {
    const PackageRoom& room;
    int members = 0;
    std::uint64_t bytes = 0;

    bool add(bool folder, std::uint64_t size, const std::string& name, std::size_t depth, std::string& why) {
        if (++members > kMaxPackageMembers) {
            why = "it holds more than " + std::to_string(kMaxPackageMembers) + " members";
            return false;
        }
        if (depth > static_cast<std::size_t>(kMaxPackageDepth)) {
            why = shown(name) + " lies more than " + std::to_string(kMaxPackageDepth) + " names deep";
            return false;
        }
        // Each file takes whole blocks, and each folder one.
        std::uint64_t need = room.block;
        if (!folder) need = size > room.bytes ? room.bytes + 1 : (size + room.block - 1) / room.block * room.block;
        if (need > room.bytes - bytes) {
            why = "it unpacks to more than the " + std::to_string(room.bytes >> 10) + " KB the flash can spare";
            return false;
        }
        bytes += need;
        return true;
    }
};

bool listed_member_ok(const TarEntry& e, Tally& tally, std::string& why) {
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
    if (!parts.empty() && kStaging == std::string(kHome) + "/" + parts[0]) {
        why = shown(e.name) + " takes the name of the folder it is unpacked in";
        return false;
    }
    return tally.add(e.type == '5', e.size, e.name, parts.size(), why);
}

// The package's listing, checked member by member; it stops at the first
// member that breaks a bound, before a byte of it is unpacked.
bool listing_ok(const std::string& package, const PackageRoom& room, std::string& why) {
    Tally tally{room};
    const int r = sh_tar_tzvf(package.c_str(), [&](const TarEntry& e) { return listed_member_ok(e, tally, why); });
    if (r != 0 && why.empty()) why = "it is not a whole gzip-compressed tar archive";
    return r == 0 && why.empty();
}

bool walk(int dir, const std::string& path, std::size_t depth, Tally& tally, std::string& why) {
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
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            why = "cannot read " + shown(entry);
            ok = false;
        } else if (S_ISDIR(st.st_mode)) {
            ok = tally.add(true, 0, entry, depth + 1, why);
            const int sub = ok ? ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
            if (ok && sub < 0) why = "cannot read " + shown(entry), ok = false;
            if (ok) ok = walk(sub, entry, depth + 1, tally, why);
            if (sub >= 0) ::close(sub);
        } else if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
            ok = tally.add(false, static_cast<std::uint64_t>(st.st_size), entry, depth + 1, why);
        } else {
            why = shown(entry) + " is a " + kind(st.st_mode) + ", not a regular file or folder";
            ok = false;
        }
        if (!ok) break;
    }
    ::closedir(d);
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
        if (dst == kStaging || ::lstat(board_path(dst).c_str(), &d) != 0) {
            if (dst == kStaging) {
                why = shown(dst) + " is in the way";
                return false;
            }
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

// Unpacks the package aside and checks what came out: 0, 1 refused (/home
// as it was), 2 failed while moving into /home.
int stage_and_install(const std::string& package, const PackageRoom& room, std::string& why) {
    if (room.bytes == 0) {
        why = "the flash has no room to spare, or its free space cannot be read";
        return 1;
    }
    if (!listing_ok(package, room, why)) return 1;
    ::mkdir(board_path(kStaging).c_str(), 0755);
    if (sh_tar_xzvf(package.c_str(), kStaging) != 0) {
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
    if (!regular_file(hex) || !read_whole(hex.c_str(), text) || !hex_file_ok(text.data(), text.size())) {
        why = "its test.hex is not a whole Intel HEX file";
        return 1;
    }
    if (!move_in(kStaging, kHome, false, why)) return 1;
    return move_in(kStaging, kHome, true, why) ? 0 : 2;
}

}  // namespace

PackageRoom package_room() {
    PackageRoom room;
    struct statfs st {};
    if (plat_statfs(kHome, &st) != 0 || st.f_bsize <= 0) return room;
    room.block = static_cast<std::uint64_t>(st.f_bsize);
    const std::uint64_t free_bytes = static_cast<std::uint64_t>(st.f_bavail) * room.block;
    room.bytes = free_bytes > kKeepFreeBytes ? free_bytes - kKeepFreeBytes : 0;
    return room;
}

bool staged_tree_ok(const char* system_dir, const PackageRoom& room, std::string& why) {
    const int top = ::open(board_path(system_dir).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (top < 0) {
        why = std::string("cannot read ") + system_dir;
        return false;
    }
    Tally tally{room};
    const bool ok = walk(top, system_dir, 0, tally, why);
    ::close(top);
    return ok;
}

int upgrade(const char* name) {
    const std::string package = std::string(kMountPoint) + "/" + name;
    // A package left half-staged by a power cut goes first.
    sh_rm_rf_exact(kStaging);
    std::string why;
    const int r = stage_and_install(package, package_room(), why);
    sh_rm_rf_exact(kStaging);
    if (r == 1) {
        std::printf("upgrade package %s refused: %s\n", name, why.c_str());
        std::printf("upgrade package %s is broken\n", name);
        return -2;
    }
    if (r == 2) {
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
