// The disk housekeeping passes and the disk operations on the simulated
// board: space rules, which files may go, names that must never be run or
// deleted, the listings of the menu pages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/sample_comm.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_upgrade.h"
#include "tests/board_fixture.h"
#include "vio/vio.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kCluster = 32768;  // the simulated disks' cluster
constexpr std::uint64_t kMiB = 1024 * 1024;

class Housekeeping : public BoardTest {
protected:
    void SetUp() override {
        start(false, 1000);
        mount_ok = 0;
        disk_full = 0;
        disk_error = 0;
        record_on = 0;
        record_stop = 0;
        checkusb_stop = 0;
        record_permit = 1;
        record_setting = 0;  // recording itself is not part of these tests
        device_name[0] = '\0';
    }

    fs::path disk() const { return host::disk_files("usb"); }

    // A disk of `total` MB whose files leave exactly `free` MB: the named
    // files take one cluster each, a sparse filler the rest.
    void insert(std::uint64_t total, std::uint64_t free, const std::vector<std::string>& names) {
        host::disk_insert("usb", total);
        for (const std::string& n : names) std::ofstream(disk() / n) << 'x';
        const std::uint64_t used = (total - free) * kMiB;
        const std::uint64_t filler = used - names.size() * kCluster;
        std::ofstream(disk() / "filler.bin");
        fs::resize_file(disk() / "filler.bin", filler);
    }

    std::set<std::string> on_disk() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(disk())) out.insert(e.path().filename().string());
        return out;
    }

    static std::vector<std::string> segment(const std::string& stamp, const std::string& lock = "") {
        return {stamp + "_L" + lock + ".h264", stamp + "_R" + lock + ".h264", stamp + "_B" + lock + ".h264",
                stamp + "_F" + lock + ".h264"};
    }

    static std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
};

struct SpaceCase {
    std::uint64_t total, free;
    std::uint8_t full_before, error_before;
    std::uint8_t full_after, error_after;
    bool deletes;
};

TEST_F(Housekeeping, SpaceRulesSetTheFlagsAndDeleteOneOldestSegmentPerPass) {
    const SpaceCase cases[] = {
        {1000, 900, 0, 0, 1, 1, false},  // too small a disk: never recorded on
        {4096, 40, 0, 0, 1, 0, true},    // below 64 MB: full
        {4096, 63, 0, 0, 1, 0, true},
        {4096, 64, 0, 0, 0, 0, true},    // 64..256: full keeps its value
        {4096, 64, 1, 0, 1, 0, true},
        {4096, 256, 1, 0, 1, 0, true},
        {4096, 257, 1, 0, 0, 0, true},   // from 257: no longer full
        {4096, 511, 1, 1, 0, 0, true},
        {4096, 512, 1, 1, 0, 0, false},  // enough room: nothing deleted
    };
    const auto oldest = segment("20261201-080000");
    const auto files = join({segment("20261203-080000"), oldest, segment("20261202-080000"),
                             {"@20200101-000000_L.h264"}});
    for (const SpaceCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.total << " MB, " << c.free << " MB free, full " << int(c.full_before));
        // The pass after a pull notices it; the next disk is then mounted afresh.
        host::disk_remove();
        check_space_pass();
        fs::remove_all(disk());
        insert(c.total, c.free, files);
        disk_full = c.full_before;
        disk_error = c.error_before;
        check_space_pass();
        EXPECT_EQ(mount_ok, 1);
        EXPECT_EQ(disk_full, c.full_after);
        EXPECT_EQ(disk_error, c.error_after);
        const auto left = on_disk();
        for (const auto& n : oldest) EXPECT_EQ(left.count(n), c.deletes ? 0u : 1u) << n;
        // Never more than the one segment, never the user's locked file.
        EXPECT_EQ(left.size(), files.size() + 1 - (c.deletes ? 4 : 0));
        EXPECT_EQ(left.count("@20200101-000000_L.h264"), 1u);
    }
}

TEST_F(Housekeeping, AVehicleLockedOldestFileGoesAloneAndHostileNamesStay) {
    const std::vector<std::string> hostile = {".h264",         "`touch x`.h264", "; touch X.h264", "a b.h264",
                                              "*.h264",        "$(touch Y).h264", "-rf .h264",     "..h264",
                                              "[0-9]*.h264",   "20261201-080000_Q.h264"};
    insert(4096, 40, join({segment("20261202-080000"), segment("20261201-080000", "#"), hostile,
                           {"@19990101-000000_B.h264"}}));
    const auto before = on_disk();

    check_space_pass();
    auto left = on_disk();
    // '#' sorts before '.', so the locked back camera file is the oldest: only it goes.
    EXPECT_EQ(left.count("20261201-080000_B#.h264"), 0u);
    EXPECT_EQ(left.size(), before.size() - 1);
    EXPECT_EQ(disk_error, 0);

    // Pass after pass: the segments go, the rest stays, and no name was run.
    for (int i = 0; i < 8; ++i) check_space_pass();
    left = on_disk();
    std::set<std::string> expected(hostile.begin(), hostile.end());
    expected.insert("@19990101-000000_B.h264");
    expected.insert("filler.bin");
    EXPECT_EQ(left, expected);
    // With nothing left that may go, the disk is reported faulty.
    EXPECT_EQ(disk_error, 1);
    EXPECT_EQ(disk_full, 1);
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name != "x" && name != "X" && name != "Y") << e.path();
    }
}

TEST_F(Housekeeping, RecordingPermissionMountsAndUnmountsTheDisk) {
    insert(8192, 4000, {});
    record_permit = 0;
    check_space_pass();
    EXPECT_EQ(mount_ok, 0);  // not permitted: never mounted
    EXPECT_FALSE(host::opt_mounted());

    record_permit = 1;
    check_space_pass();
    EXPECT_EQ(mount_ok, 1);
    EXPECT_TRUE(host::opt_mounted());
    EXPECT_STREQ(device_name, "/dev/sda1");

    // A file held open keeps the disk busy: the unmount gives up and the
    // disk stays mounted; closed, the next pass unmounts it.
    record_permit = 0;
    {
        std::ofstream held(disk() / "open.txt");
        check_space_pass();
        EXPECT_EQ(mount_ok, 1);
        EXPECT_TRUE(host::opt_mounted());
    }
    check_space_pass();
    EXPECT_EQ(mount_ok, 0);
    EXPECT_FALSE(host::opt_mounted());

    // Pulled out while mounted: not mounted at the next pass; back in, mounted again.
    record_permit = 1;
    check_space_pass();
    EXPECT_EQ(mount_ok, 1);
    host::disk_remove();
    check_space_pass();
    EXPECT_EQ(mount_ok, 0);
    host::disk_insert("usb", 8192);
    check_space_pass();
    EXPECT_EQ(mount_ok, 1);
}

TEST_F(Housekeeping, AFailedMountIsNotRetriedUntilTheDiskIsFormatted) {
    host::disk_insert("usb", 8192, false, false);  // whole disk, no file system
    check_space_pass();
    EXPECT_EQ(mount_ok, 2);
    EXPECT_STREQ(device_name, "/dev/sda");
    const std::string log = slurp(root / "board.log");
    check_space_pass();
    const std::string again = slurp(root / "board.log");
    const auto mounts = [](const std::string& s) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = s.find("shell: mount -o rw", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    EXPECT_EQ(mounts(again), mounts(log));  // the same device is not tried again
    EXPECT_EQ(format_usb2(), 0);
    EXPECT_EQ(mount_ok, 0);
    check_space_pass();
    EXPECT_EQ(mount_ok, 1);
}

TEST_F(Housekeeping, ListingsAreSortedByNameGreatestByteFirst) {
    insert(8192, 4000,
           {"20261201-080000_L.h264", "20261201-080000_R.h264", "20261201-080000_B.h264", "20261201-080000_F.h264",
            "20261202-090000_L#.h264", "@20261130-070000_L.h264", "Zed.h264", "abc.h264", "20261204-080000.dat",
            "notes.txt", "QRN_kq7_V2.upg", "other.upg", "a_name_that_is_far_too_long_for_a_slot.h264"});
    auto files = std::make_unique<File_all>();
    ASSERT_EQ(upgrade_checkusb(), 1);
    ASSERT_EQ(get_filename(files.get()), 0);
    std::vector<std::string> names(files->pname, files->pname + files->file_num);
    // Lower case above upper case above the user's '@' above the recorder's digits.
    EXPECT_EQ(names, (std::vector<std::string>{"abc.h264", "Zed.h264", "@20261130-070000_L.h264", "20261202-090000_L#.h264",
                                               "20261201-080000_R.h264", "20261201-080000_L.h264",
                                               "20261201-080000_F.h264", "20261201-080000_B.h264"}));
    ASSERT_EQ(get_filename2(files.get()), 0);
    ASSERT_EQ(files->file_num, 1);
    EXPECT_STREQ(files->pname[0], "20261204-080000.dat");
    ASSERT_EQ(get_filename3(files.get()), 0);
    ASSERT_EQ(files->file_num, 1);
    EXPECT_STREQ(files->pname[0], "QRN_kq7_V2.upg");

    // The user's lock toggles; twice gives the name back. Paths are refused.
    EXPECT_EQ(change_file("20261201-080000_B.h264"), 0);
    EXPECT_TRUE(fs::exists(disk() / "@20261201-080000_B.h264"));
    EXPECT_EQ(change_file("@20261201-080000_B.h264"), 0);
    EXPECT_TRUE(fs::exists(disk() / "20261201-080000_B.h264"));
    EXPECT_NE(change_file("../home/config/ImageParam.dat"), 0);
    EXPECT_NE(delete_file("../home"), 0);
    EXPECT_TRUE(fs::exists(root / "home"));
    EXPECT_EQ(delete_file("notes.txt"), 0);
    EXPECT_FALSE(fs::exists(disk() / "notes.txt"));

    // An empty disk lists nothing.
    fs::remove_all(disk());
    fs::create_directories(disk());
    ASSERT_EQ(get_filename(files.get()), 0);
    EXPECT_EQ(files->file_num, 0);
}

TEST_F(Housekeeping, ThePartitionIsChosenOverItsDisk) {
    char path[16] = {};
    EXPECT_EQ(find_usbdevice(path), -1);
    host::disk_insert("usb", 8192);
    EXPECT_EQ(find_usbdevice(path), 0);
    EXPECT_STREQ(path, "/dev/sda1");
    host::disk_insert("usb", 8192, false);
    EXPECT_EQ(find_usbdevice(path), 0);
    EXPECT_STREQ(path, "/dev/sda");
}

}  // namespace
