// The commands the system runs through the board's command interpreter. Each
// takes its operands as arguments: no shell string is ever built, so a name
// from the disk can never become a command. Each logs the exact command text
// (shown beside it) and returns like system(): 0 on success, non-zero on
// failure. Paths are system paths. An operand that is an exact path is logged
// quoted where a shell would need it ("mv '/opt/*.h264' '/opt/@*.h264'"), so
// the logged text always does what was done.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

int sh_reboot();                                           // "reboot"
int sh_himm(const char* address, const char* value);      // "himm <address> <value>"
int sh_umount(const char* target);                        // "umount <target>"
// The last component of the path may be a glob pattern ("*", "?", "[...]").
int sh_rm_rf(const char* path);                            // "rm -rf <path>"
// The same for exactly one path, whatever bytes its last component holds: a
// name from the disk is never taken as a pattern.
int sh_rm_rf_exact(const char* path);                      // "rm -rf <path>"
int sh_mount_rw(const char* device, const char* target);  // "mount -o rw <device> <target>"
int sh_mount_remount_rw(const char* target);               // "mount -o remount, rw <target>"
int sh_mkfs_vfat(const char* device);                      // "mkfs.vfat -v <device>"
int sh_mv(const char* from, const char* to);               // "mv <from> <to>"
// The same, but never onto a file already there: then non-zero, nothing moved.
int sh_mv_n(const char* from, const char* to);             // "mv -n <from> <to>"
int sh_cp_a(const char* from, const char* to);             // "cp -a <from> <to>"
int sh_tar_xzvf(const char* archive, const char* dir);     // "tar -xzvf <archive> -C <dir>"

// One member of an archive as "tar -tzvf" lists it: its type ('0' regular
// file, '5' folder, '1' hard link, '2' symbolic link, '3' and '4' devices,
// '6' fifo, another letter for other kinds), its size in bytes and its name
// as stored (not cleaned up: it may be absolute or hold "..").
struct TarEntry {
    char type;
    std::uint64_t size;
    std::string name;
};
// A member type other than a file or folder in words ("hard link"), or
// nullptr for one without a common name.
inline const char* tar_type_name(char type) {
    switch (type) {
        case '1': return "hard link";
        case '2': return "symbolic link";
        case '3': return "character device";
        case '4': return "block device";
        case '6': return "fifo";
        default: return nullptr;
    }
}
// Lists the archive without writing anything, passing each member to `each`
// in archive order; `each` returns false to stop the listing there. 0 when
// the whole archive was listed and is sound, non-zero when it is broken or
// the listing was stopped.
int sh_tar_tzvf(const char* archive, const std::function<bool(const TarEntry&)>& each);  // "tar -tzvf <archive>"
