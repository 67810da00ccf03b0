// Placeholder until the storage part lands.
#include "host/internal.h"
#include "platform/files.h"
#include "platform/shell.h"
namespace host {
void storage_power_on() {}
void storage_power_off() {}
void disk_insert(const std::string&, std::uint64_t, bool, bool) {}
void disk_remove() {}
std::optional<std::string> disk_inserted() { return std::nullopt; }
std::filesystem::path disk_files(const std::string&) { return {}; }
bool opt_mounted() { return false; }
}  // namespace host
std::string board_path(const char* p) { return (host::board_root() / (p + 1)).string(); }
int plat_statfs(const char*, struct statfs*) { return -1; }
int sh_reboot() { return 0; }
int sh_himm(const char*, const char*) { return 0; }
int sh_umount(const char*) { return 1; }
int sh_rm_rf(const char*) { return 1; }
int sh_mount_rw(const char*, const char*) { return 1; }
int sh_mount_remount_rw(const char*) { return 1; }
int sh_mkfs_vfat(const char*) { return 1; }
int sh_mv(const char*, const char*) { return 1; }
int sh_cp_a(const char*, const char*) { return 1; }
int sh_tar_xzvf(const char*, const char*) { return 1; }
