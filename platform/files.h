// The system's absolute paths ("/home/config/ImageParam.dat", "/opt",
// "/home/", "/etc/init.d/", "/proc/partitions", "/proc/umap/h264e") pass
// through board_path before any file call. On the board it is the identity;
// on the host it points into the simulated board's root.
#pragma once

#include <string>
#include <sys/vfs.h>

// A path holding a NUL byte, or leading through a link out of the board's
// files, maps to a file no call can reach.
std::string board_path(const char* system_path);
std::string board_path(const std::string& system_path);

// statfs of a system path: 0, or -1 with errno.
int plat_statfs(const char* system_path, struct statfs* out);
