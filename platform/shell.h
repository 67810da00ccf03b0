// The commands the system runs through the board's command interpreter. Each
// takes its operands as arguments: no shell string is ever built, so a name
// from the disk can never become a command. Each logs the exact command text
// (shown beside it) and returns like system(): 0 on success, non-zero on
// failure. Paths are system paths.
#pragma once

#include <string>

int sh_reboot();                                           // "reboot"
int sh_himm(const char* address, const char* value);      // "himm <address> <value>"
int sh_umount(const char* target);                        // "umount <target>"
// The last component of the path may be a glob pattern ("*", "?", "[...]").
int sh_rm_rf(const char* path);                            // "rm -rf <path>"
int sh_mount_rw(const char* device, const char* target);  // "mount -o rw <device> <target>"
int sh_mount_remount_rw(const char* target);               // "mount -o remount, rw <target>"
int sh_mkfs_vfat(const char* device);                      // "mkfs.vfat -v <device>"
int sh_mv(const char* from, const char* to);               // "mv <from> <to>"
int sh_cp_a(const char* from, const char* to);             // "cp -a <from> <to>"
int sh_tar_xzvf(const char* archive, const char* dir);     // "tar -xzvf <archive> -C <dir>"
