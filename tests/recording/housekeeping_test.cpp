// The disk housekeeping passes and the disk operations on the simulated
// board: space rules, which files may go, names that must never be run or
// deleted, the listings of the menu pages.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/sample_comm.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_upgrade.h"
#include "platform/clock.h"
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
        publish_stamps("", "");
    }
    void TearDown() override {
        publish_stamps("", "");
        BoardTest::TearDown();
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

    // A back camera file `i` seconds after midnight of the first of January 2000.
    static std::string back_file(int i) {
        char name[32];
        std::snprintf(name, sizeof name, "20000101-%06d_B.h264", i);
        return name;
    }

    // Those of the names that are no longer on the disk, in order.
    std::vector<std::string> gone(const std::vector<std::string>& names) const {
        const auto left = on_disk();
        std::vector<std::string> out;
        for (const auto& n : names)
            if (!left.count(n)) out.push_back(n);
        std::sort(out.begin(), out.end());
        return out;
    }

    static double board_seconds() {
        timeval tv{};
        clk_gettimeofday(&tv);
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
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

TEST_F(Housekeeping, OnlyRegularSegmentFilesAreCountedOrRemoved) {
    insert(4096, 300, join({segment("20261201-080000"), segment("20261202-080000"), {"notes.txt"}}));
    // Named like older segments, but no recordings: a folder holding the
    // user's locked files, a link and a fifo.
    const fs::path folder = disk() / "20000101-000000_B.h264";
    fs::create_directory(folder);
    std::ofstream(folder / "@20000101-000000_B.h264") << 'x';
    std::ofstream(folder / "20000101-000000_F.h264") << 'x';
    fs::create_symlink("notes.txt", disk() / "20000101-000000_L.h264");
    ASSERT_EQ(::mkfifo((disk() / "20000101-000000_R.h264").c_str(), 0644), 0);

    check_space_pass();
    EXPECT_EQ(disk_error, 0);  // the eight files of two segments
    for (const auto& n : segment("20261201-080000")) EXPECT_FALSE(on_disk().count(n)) << n;
    check_space_pass();
    EXPECT_EQ(disk_error, 0);
    check_space_pass();  // nothing left that may go
    EXPECT_EQ(disk_error, 1);
    EXPECT_EQ(on_disk(), (std::set<std::string>{"20000101-000000_B.h264", "20000101-000000_L.h264",
                                                "20000101-000000_R.h264", "filler.bin", "notes.txt"}));
    EXPECT_TRUE(fs::exists(folder / "@20000101-000000_B.h264"));
    EXPECT_TRUE(fs::exists(folder / "20000101-000000_F.h264"));
    EXPECT_TRUE(fs::is_symlink(disk() / "20000101-000000_L.h264"));
}

TEST_F(Housekeeping, TheOldestSegmentGoesFirstWhateverTheirNumber) {
    // More files than one pass reads, and the oldest listed after 3,000
    // others: the files older than the oldest of those the directory lists
    // after its first 3,100 are taken away again.
    std::vector<std::string> names;
    for (int i = 0; i < 3400; ++i) names.push_back(back_file(i));
    insert(8192, 300, names);
    std::vector<std::string> order;
    for (const auto& e : fs::directory_iterator(disk()))
        if (e.path().extension() == ".h264") order.push_back(e.path().filename().string());
    const std::string oldest = *std::min_element(order.begin() + 3100, order.end());
    const auto at = std::find(order.begin(), order.end(), oldest) - order.begin();
    const auto older = std::count_if(order.begin(), order.begin() + at, [&](const auto& n) { return n < oldest; });
    ASSERT_GT(at - older, 3001);
    for (const auto& n : order)
        if (n < oldest) fs::remove(disk() / n);
    std::erase_if(names, [&](const auto& n) { return n < oldest; });
    const int first = std::stoi(oldest.substr(9, 6));

    double longest = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const double start = board_seconds();
        check_space_pass();
        longest = std::max(longest, board_seconds() - start);
        EXPECT_EQ(disk_error, 0) << pass;
    }
    // After a whole scan of two passes.
    EXPECT_EQ(gone(names), std::vector<std::string>{back_file(first)});
    // No pass is longer than 1 s, 3,001 entries one millisecond apart and 1 s
    // before the deletion.
    EXPECT_LE(longest, 5.1);
}

TEST_F(Housekeeping, AScanOfSeveralPassesStartsAgainWhenTheDiskChanges) {
    std::vector<std::string> names = {"@" + back_file(5)};
    for (int i = 100; i < 3200; ++i) names.push_back(back_file(i));
    insert(8192, 300, names);
    names[0] = back_file(5);
    // In the middle of a scan the user unlocks an older file, which goes
    // first, and deletes the oldest, whose deletion is then no failure.
    check_space_pass();
    ASSERT_EQ(change_file(("@" + back_file(5)).c_str()), 0);
    ASSERT_EQ(delete_file(back_file(100).c_str()), 0);
    for (int pass = 0; pass < 2; ++pass) {
        check_space_pass();
        EXPECT_EQ(disk_error, 0) << pass;
    }
    EXPECT_EQ(gone(names), (std::vector<std::string>{back_file(5), back_file(100)}));

    // Another disk in the middle of a scan: its own oldest goes, and the file
    // being written (the clock set back) counts but is never chosen.
    check_space_pass();
    host::disk_remove();
    check_space_pass();
    EXPECT_EQ(mount_ok, 0);
    fs::remove_all(disk());
    names.clear();
    for (int i = 7; i < 15; ++i) names.push_back(back_file(i));
    insert(8192, 300, names);
    publish_stamps("20000101-000007", "");
    check_space_pass();
    EXPECT_EQ(mount_ok, 1);
    EXPECT_EQ(gone(names), std::vector<std::string>{back_file(8)});
    EXPECT_EQ(disk_error, 0);
}

TEST_F(Housekeeping, TheFilesBeingWrittenCountButAreNeverChosen) {
    insert(8192, 300, join({segment("20261201-080000"), segment("20261201-080500")}));
    publish_stamps("20261201-080500", "");
    // Two segments, one being written: never a disk error, not even for the
    // second before the deletion. Board time runs while both threads wait.
    std::atomic<bool> done{false};
    std::thread pass([&done] {
        check_space_pass();
        done = true;
    });
    int worst = 0;
    while (!done) {
        worst = std::max<int>(worst, disk_error);
        clk_usleep(50000);
    }
    pass.join();
    EXPECT_EQ(worst, 0);
    auto left = on_disk();
    for (const auto& n : segment("20261201-080000")) EXPECT_FALSE(left.count(n)) << n;
    // Only the segment being written: too few files, and none may go.
    check_space_pass();
    EXPECT_EQ(disk_error, 1);
    left = on_disk();
    for (const auto& n : segment("20261201-080500")) EXPECT_TRUE(left.count(n)) << n;
}

}  // namespace
