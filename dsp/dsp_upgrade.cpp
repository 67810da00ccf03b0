// The USB disk: detection in the partition list, the mount at /opt, format,
// deletion and renaming through the board's commands (never a shell string),
// the listings of the menu pages, and the housekeeping thread.
#include "dsp/dsp_upgrade.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

#include "common/sample_comm.h"
#include "dsp/dsp_control.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "vio/vio.h"

char device_name[16] = {};
std::atomic<int> lost_num{-1};

namespace {

// Unmounting gives up after this many tries 100 ms apart (a file held open
// keeps the disk busy; the caller tries again later).
constexpr int kUmountTries = 50;
// A pass of the scan for the oldest segment reads no more entries than this,
// one a millisecond.
constexpr int kMaxSegmentsScanned = 3000;

// Counts the changes to the disk's files other than the recorder adding new
// segments: a mount, unmount or format, the user's delete or lock. A scan
// begun before one starts again.
std::atomic<unsigned> g_disk_changes{0};
void disk_changed() { ++g_disk_changes; }

std::string opt_path(const char* name) { return std::string(kMountPoint) + "/" + name; }

// Whether a file system is mounted at /opt, from the kernel's mount table.
bool opt_is_mounted() {
    std::ifstream in(board_path("/proc/mounts"));
    std::string device, point;
    std::string rest;
    while (in >> device >> point) {
        if (point == kMountPoint) return true;
        std::getline(in, rest);
    }
    return false;
}

// Unmounts /opt, retrying every 100 ms a bounded number of times. Nothing
// mounted there counts as done.
bool umount_opt() {
    for (int i = 0; i < kUmountTries; ++i) {
        if (sh_umount(kMountPoint) == 0 || !opt_is_mounted()) return true;
        clk_usleep(100000);
    }
    std::printf("umount %s failed!\n", kMountPoint);
    return false;
}

// Megabytes as the system counts them: (block size / 1024) x blocks / 1024.
long megabytes(const struct statfs& st, unsigned long long blocks) {
    return static_cast<long>(static_cast<double>(st.f_bsize) / 1024.0 * static_cast<double>(blocks) / 1024.0);
}

bool name_fits(const char* name) { return std::strlen(name) < kFileNameSize; }

// Fills a listing with the names of /opt that `wanted` accepts, greatest first.
template <class Wanted>
int list_names(File_all* files, Wanted wanted) {
    files->file_num = 0;
    DIR* dir = opendir(board_path(kMountPoint).c_str());
    if (!dir) {
        std::printf("can't open %s\n", kMountPoint);
        return -1;
    }
    while (dirent* e = readdir(dir)) {
        if (files->file_num >= kMaxFiles) break;
        // A longer name would not fit a slot: left out rather than cut.
        if (!wanted(e->d_name) || !name_fits(e->d_name)) continue;
        char* slot = files->file_name[files->file_num];
        std::strcpy(slot, e->d_name);
        files->pname[files->file_num] = slot;
        ++files->file_num;
    }
    closedir(dir);
    if (files->file_num >= 2) hbub2(files->pname, files->file_num, 0, files->file_num - 1);
    return 0;
}

bool contains(const char* s, const char* part) { return std::strstr(s, part) != nullptr; }

}  // namespace

// ---------------------------------------------------------------- disk operations

int find_usbdevice(char* out) {
    std::FILE* f = std::fopen(board_path("/proc/partitions").c_str(), "r");
    if (!f) {
        std::printf("cannot open partition\n");
        return -1;
    }
    int found = -1;
    char line[100];
    while (std::fgets(line, sizeof line, f)) {
        int major = 0, minor = 0, blocks = 0;
        char name[64] = {};
        if (std::sscanf(line, " %d %d %d %63[^\n ]", &major, &minor, &blocks, name) != 4) continue;
        if (!std::strstr(name, "sd")) continue;
        char path[sizeof device_name];
        // A path that does not fit the device name is not a disk we can use.
        const int n = std::snprintf(path, sizeof path, "/dev/%s", name);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) continue;
        std::memcpy(out, path, sizeof path);
        found = 0;
    }
    std::fclose(f);
    return found;
}

int upgrade_checkusb() {
    std::lock_guard lock(disk_ops_mutex());
    char path[sizeof device_name] = {};
    if (find_usbdevice(path) != 0) {
        mount_ok = 0;
        disk_changed();
        return -1;
    }
    // A mounted disk is left alone; one whose mount failed waits for another disk.
    if (std::strcmp(path, device_name) == 0 && (mount_ok == 1 || mount_ok == 2)) return 0;
    disk_changed();
    sh_umount(kMountPoint);
    // Only the flash's own folder is cleared, never a disk still mounted there.
    if (!opt_is_mounted()) sh_rm_rf("/opt/*");
    int r = sh_mount_rw(path, kMountPoint);
    if (r != 0) {
        clk_usleep(200000);
        r = sh_mount_rw(path, kMountPoint);
    }
    std::memcpy(device_name, path, sizeof device_name);
    if (r == 0) {
        mount_ok = 1;
        std::printf("********mount %s :%s \n", device_name, kMountPoint);
        return 1;
    }
    mount_ok = 2;
    std::printf("********mount %s failed!\n", device_name);
    return -2;
}

int umount_usb() {
    std::lock_guard lock(disk_ops_mutex());
    if (!umount_opt()) return -1;
    disk_changed();
    sh_umount(kMountPoint);
    clk_sleep(1);
    mount_ok = 0;
    return 0;
}

int format_usb() {
    std::lock_guard lock(disk_ops_mutex());
    if (!umount_opt()) return -1;
    disk_changed();
    mount_ok = 0;
    return sh_mkfs_vfat(device_name);
}

int format_usb2() {
    std::lock_guard lock(disk_ops_mutex());
    disk_changed();
    mount_ok = 0;
    return sh_mkfs_vfat(device_name);
}

namespace {

// Removes from the disk between the remounts that let it write: `remove`
// returns 0 or -1.
template <class Remove>
int remove_on_disk(Remove remove) {
    std::lock_guard lock(disk_ops_mutex());
    sh_mount_remount_rw(kMountPoint);
    const int r = remove();
    sh_mount_remount_rw(kMountPoint);
    return r;
}

}  // namespace

int delete_file(const char* name) {
    if (!name || !*name || std::strchr(name, '/')) {
        std::printf("delete file: bad name\n");
        return -1;
    }
    return remove_on_disk([name] {
        disk_changed();
        return sh_rm_rf_exact(opt_path(name).c_str()) == 0 ? 0 : -1;
    });
}

std::string locked_name(const char* name) {
    if (name[0] == '@') return std::string(name + 1);
    std::string locked = "@";
    locked += name;
    return locked;
}

int change_file(const char* name) {
    if (!name || !*name || std::strchr(name, '/') || std::strcmp(name, "@") == 0) {
        std::printf("change file: bad name\n");
        return -1;
    }
    const std::string new_name = locked_name(name);
    // A name that no longer fits a slot would drop out of the list, and with
    // it every way to unlock or delete the file from the menus.
    if (!name_fits(new_name.c_str())) {
        std::printf("change file: %s cannot be locked, its locked name would be longer than %d characters\n", name,
                    kFileNameSize - 1);
        return -1;
    }
    std::lock_guard lock(disk_ops_mutex());
    // A rename onto another file would lose that file.
    struct stat st {};
    if (::lstat(board_path(opt_path(new_name.c_str())).c_str(), &st) == 0) {
        std::printf("change file: %s not renamed, %s is on the disk already\n", name, new_name.c_str());
        return -1;
    }
    disk_changed();
    return sh_mv(opt_path(name).c_str(), opt_path(new_name.c_str()).c_str());
}

int Zr_GetDiskfreeSpacePercent(const char* path, Usb_info* info) {
    struct statfs st{};
    if (plat_statfs(path, &st) != 0) {
        info->total_mb = 0;
        info->free_mb = 0;
        return -1;
    }
    info->free_mb = static_cast<std::int32_t>(megabytes(st, st.f_bfree));
    info->total_mb = static_cast<std::int32_t>(megabytes(st, st.f_blocks));
    std::printf("freespace %ld\n", static_cast<long>(info->free_mb));
    std::printf("totalspace %ld\n", static_cast<long>(info->total_mb));
    return 0;
}

// ---------------------------------------------------------------- listings

int get_filename(File_all* files) {
    return list_names(files, [](const char* n) { return contains(n, ".h264"); });
}

int get_filename2(File_all* files) {
    return list_names(files, [](const char* n) { return contains(n, ".dat"); });
}

int get_filename3(File_all* files) {
    return list_names(files, [](const char* n) {
        return contains(n, ".upg") && (contains(n, "QRN_kq7_V") || contains(n, "Talvimor_kq7_V"));
    });
}

namespace {

// One bidirectional bubble sort; `before(a, b)` says a belongs before b.
template <class Before>
void shaker_sort(char** names, int count, int low, int high, Before before) {
    if (low < 0) low = 0;
    if (high > count - 1) high = count - 1;
    while (low < high) {
        int last = 0;
        for (int j = low; j < high; ++j) {
            if (before(names[j + 1], names[j])) {
                std::swap(names[j], names[j + 1]);
                last = j;
            }
        }
        high = last;
        last = low;
        for (int j = high; j > low; --j) {
            if (before(names[j], names[j - 1])) {
                std::swap(names[j - 1], names[j]);
                last = j;
            }
        }
        low = last;
    }
}

}  // namespace

void hbub2(char** names, int count, int low, int high) {
    shaker_sort(names, count, low, high, [](const char* a, const char* b) { return std::strcmp(a, b) > 0; });
}

void hbub(char** names, int count, int low, int high) {
    shaker_sort(names, count, low, high, [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

// ---------------------------------------------------------------- housekeeping

bool is_segment_name(const char* n) {
    auto digits = [n](int from, int to) {
        for (int i = from; i < to; ++i)
            if (n[i] < '0' || n[i] > '9') return false;
        return true;
    };
    const std::size_t len = std::strlen(n);
    if (len != 22 && len != 23) return false;
    if (!digits(0, 8) || n[8] != '-' || !digits(9, 15) || n[15] != '_') return false;
    if (n[16] != 'L' && n[16] != 'R' && n[16] != 'B' && n[16] != 'F') return false;
    const char* tail = len == 23 ? "#.h264" : ".h264";
    return std::strcmp(n + 17, tail) == 0;
}

int get_lost_frame() {
    std::FILE* f = std::fopen(board_path("/proc/umap/h264e").c_str(), "r");
    if (!f) {
        std::printf("cannot open partition\n");
        return -1;
    }
    char line[300];
    int lost = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (!std::strstr(line, "EncdStart")) continue;
        int value = 0;
        if (std::fgets(line, sizeof line, f) && std::sscanf(line, " %*d %*d %*d %*d %*d %*d %d", &value) == 1)
            lost = value;
        break;
    }
    std::fclose(f);
    return lost;
}

namespace {

// The scan for the oldest segment, owned by the housekeeping thread. A disk
// of more entries than one pass reads takes several passes, each going on
// after the entry the one before stopped at; only a whole scan chooses.
struct SegmentScan {
    bool going = false;
    unsigned changes = 0;           // g_disk_changes when it began
    std::string last;               // the last entry read
    int count = 0;                  // segment files, the ones being written too
    char oldest[kFileNameSize] = {};  // the oldest that may go, "" for none

    void begin(unsigned now) {
        *this = SegmentScan{};
        going = true;
        changes = now;
    }
};
SegmentScan g_scan;

// Only a regular file is a recording: never a folder or link named like one.
bool regular_on_disk(const char* name) {
    struct stat st {};
    return ::lstat(board_path(opt_path(name)).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool regular_file(const dirent* e) { return e->d_type != DT_UNKNOWN ? e->d_type == DT_REG : regular_on_disk(e->d_name); }

}  // namespace

int find_file(char* pattern, std::size_t size) {
    SegmentScan& scan = g_scan;
    const unsigned changes = g_disk_changes;
    if (!scan.going || scan.changes != changes) scan.begin(changes);
    DIR* dir = opendir(board_path(kMountPoint).c_str());
    if (!dir) {
        std::printf("can't open %s\n", kMountPoint);
        scan = SegmentScan{};
        return -1;
    }
    if (!scan.last.empty()) {
        // Past what the passes before read; with that entry gone, from the start.
        dirent* e = nullptr;
        while ((e = readdir(dir)) && scan.last != e->d_name) {
        }
        if (!e) {
            rewinddir(dir);
            scan.begin(changes);
        }
    }
    int read = 0;
    bool whole = true;
    while (dirent* e = readdir(dir)) {
        // Only the recorder's own segment names, never a user-locked file;
        // the segment being written counts but is never chosen.
        const char* name = e->d_name;
        if (is_segment_name(name) && regular_file(e)) {
            ++scan.count;
            // Segment names are 22 or 23 characters: they fit.
            if (!is_recording_file(name) && (!scan.oldest[0] || std::strcmp(name, scan.oldest) < 0))
                std::memcpy(scan.oldest, name, std::strlen(name) + 1);
        }
        clk_usleep(1000);
        if (++read > kMaxSegmentsScanned) {
            scan.last = name;
            whole = false;
            break;
        }
    }
    closedir(dir);
    if (!whole) return kScanGoesOn;
    scan.going = false;
    if (scan.changes != g_disk_changes) return kScanGoesOn;  // changed meanwhile: the next pass looks again
    const char* oldest = scan.oldest;
    if (oldest[0]) {
        // An unlocked oldest file names its whole segment's unlocked files; a
        // vehicle-locked one names only itself.
        if (oldest[17] == '#')
            std::snprintf(pattern, size, "%s", oldest);
        else
            std::snprintf(pattern, size, "%.16s[LRBF].h264", oldest);
    }
    return scan.count;
}

namespace {

constexpr int kDiskChanged = -2;

// Removes the regular files a pattern of find_file names, each by its exact
// name, none being written: 0 when some went and none failed, -1, or
// kDiskChanged (nothing done) when the disk changed since the scan.
int delete_segment(const char* pattern) {
    std::string names[4];
    int count = 1;
    if (const char* set = std::strstr(pattern, "[LRBF]")) {
        count = 4;
        for (int i = 0; i < count; ++i) names[i] = std::string(pattern, set) + "LRBF"[i] + (set + 6);
    } else {
        names[0] = pattern;
    }
    std::lock_guard lock(disk_ops_mutex());
    if (g_scan.changes != g_disk_changes) return kDiskChanged;
    return remove_on_disk([&] {
        int removed = 0, failed = 0;
        for (int i = 0; i < count; ++i) {
            const char* name = names[i].c_str();
            if (!regular_on_disk(name) || is_recording_file(name)) continue;
            if (sh_rm_rf_exact(opt_path(name).c_str()) == 0)
                ++removed;
            else
                ++failed;
        }
        return removed > 0 && failed == 0 ? 0 : -1;
    });
}

void delete_oldest() {
    char pattern[64] = {};
    const int n = find_file(pattern, sizeof pattern);
    if (n == kScanGoesOn) return;  // the flags keep their values until a whole scan
    disk_error = n < 8 ? 1 : 0;
    if (n < 1 || !pattern[0]) return;
    clk_sleep(1);
    const int r = delete_segment(pattern);
    if (r == kDiskChanged) return;
    if (r == 0) {
        std::printf("delete file %s\n", pattern);
        disk_error = 0;
    } else {
        std::printf("delete file %s failed!\n", pattern);
        disk_error = 1;
    }
}

void check_space_of_disk() {
    Usb_info info{};
    if (mount_ok != 1 || Zr_GetDiskfreeSpacePercent(kMountPoint, &info) != 0) return;
    const long free_mb = info.free_mb;
    const long total_mb = info.total_mb;
    if (total_mb < 1024) {
        disk_full = 1;
        disk_error = 1;
    } else if (free_mb < 64) {
        disk_full = 1;
        delete_oldest();
    } else if (free_mb <= 256) {
        delete_oldest();
    } else if (free_mb < 512) {
        disk_full = 0;
        delete_oldest();
    } else {
        disk_full = 0;
        disk_error = 0;
    }
}

}  // namespace

void check_space_pass() {
    if (record_permit == 1 && checkusb_stop == 0) upgrade_checkusb();
    if (mount_ok == 1 && record_on == 0 && record_permit == 0 && umount_usb() == 0) std::printf("umount_usb!\n");
    clk_sleep(1);
    lost_num = get_lost_frame();
    std::printf("lost =%d\n", lost_num.load());
    std::printf("mount_ok=%d\n", mount_ok.load());
    check_space_of_disk();
    const bool wanted = record_setting == 1;
    if (record_on == 0) {
        reap_record_thread();
        if (mount_ok == 1 && record_stop == 0 && wanted && record_permit == 1 && disk_full == 0)
            SAMPLE_COMM_VENC_StartGetStream(4);
    } else if (record_stop == 1 || !wanted || record_permit == 0 || disk_full == 1) {
        SAMPLE_COMM_VENC_StopGetStream();
    }
}

void* Check_Space_Proc(void*) {
    for (;;) check_space_pass();
}

void Check_Space() {
    if (record_permit == 1 && checkusb_stop == 0) upgrade_checkusb();
    std::printf("mount_ok=%d\n", mount_ok.load());
    if (mount_ok != 1) return;
    struct statfs st{};
    if (plat_statfs(kMountPoint, &st) != 0 || megabytes(st, st.f_blocks) < 1024) {
        disk_full = 1;
        disk_error = 1;
        return;
    }
    if (megabytes(st, st.f_bfree) < 64) disk_full = 1;
}

void check_space_start() { start_worker(Check_Space_Proc, nullptr).detach(); }
