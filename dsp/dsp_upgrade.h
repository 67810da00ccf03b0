// The USB disk: finding, mounting, formatting and cleaning it, the file
// listings of the menu pages, and the housekeeping thread that keeps it
// mounted, frees space and starts and stops the recording.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

constexpr const char* kMountPoint = "/opt";

// The device path last mounted or tried, "/dev/<name>", at most 15 characters.
extern char device_name[16];
// The encoder's lost-frame count as last read (-1: unreadable).
extern std::atomic<int> lost_num;

// A directory listing for the menu pages. After sorting, pname[0] points at
// the greatest name.
constexpr int kMaxFiles = 30000;
constexpr int kFileNameSize = 32;  // a name of at most 31 characters and its zero
struct File_all {
    std::uint16_t file_num;
    char file_name[kMaxFiles][kFileNameSize];
    char* pname[kMaxFiles];
};

struct Usb_info {
    std::int32_t total_mb;
    std::int32_t free_mb;
};

// Writes "/dev/<name>" of the last disk or partition in /proc/partitions:
// 0, or -1 when there is none. `out` holds 16 bytes.
int find_usbdevice(char* out);
// Mounts a newly found disk at /opt: 1 mounted now, 0 nothing to do, -1 no
// disk, -2 mount failed.
int upgrade_checkusb();
int umount_usb();
int format_usb();
int format_usb2();
// Removes exactly the file of that name from the disk, whatever bytes the
// name holds (never a pattern): 0 or -1. A name with '/' is refused.
int delete_file(const char* name);
// Toggles the user lock ('@' in front) of exactly that file: 0, or -1 with
// the reason printed when the new name would not fit a listing slot, is
// taken already, or the rename failed.
int change_file(const char* name);
// The name a lock or unlock gives a file.
std::string locked_name(const char* name);
int Zr_GetDiskfreeSpacePercent(const char* path, Usb_info* info);
int get_filename(File_all* files);   // recordings (".h264")
int get_filename2(File_all* files);  // settings files (".dat")
int get_filename3(File_all* files);  // upgrade packages
// Bidirectional bubble sorts of names between low and high: descending and ascending.
void hbub2(char** names, int count, int low, int high);
void hbub(char** names, int count, int low, int high);

// Whether a name is a recording segment file "YYYYMMDD-HHMMSS_<L|R|B|F>[#].h264".
bool is_segment_name(const char* name);
// The encoder's lost-frame count from /proc/umap/h264e, or -1.
int get_lost_frame();
// What find_file returns while its scan of the disk goes on in the next pass.
constexpr int kScanGoesOn = -2;
// One pass's share of the scan for the oldest segment: at most 3,001 entries,
// one a millisecond, a larger disk taking several passes; a scan starts
// again when the disk changes (another disk, a format, the user's delete or
// lock). Once a scan is whole, returns the number of segment files (regular
// files, not user-locked, the ones being written too) and writes the
// deletion pattern of the oldest that may go, if any; kScanGoesOn before
// then; -1 when /opt cannot be read.
int find_file(char* pattern, std::size_t size);
// The housekeeping thread's body: one pass about every second, forever.
void* Check_Space_Proc(void* arg);
// One pass of it (for tests).
void check_space_pass();
// One-pass variant without a caller in the system.
void Check_Space();
// Starts the housekeeping thread.
void check_space_start();
