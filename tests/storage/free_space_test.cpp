// statfs as the system reads it: FAT clusters on the disk, the flash elsewhere.
#include "storage_fixture.h"

namespace storage_test {
namespace {

using FreeSpace = Board;

// The system's megabytes: (block size / 1024) x blocks / 1024, truncated.
long mb(const struct statfs& s, unsigned long blocks) {
    return static_cast<long>(static_cast<double>(s.f_bsize / 1024) * static_cast<double>(blocks) / 1024);
}

void sparse(const fs::path& p, std::uintmax_t size) {
    put(p, "");
    fs::resize_file(p, size);
}

TEST_F(FreeSpace, DiskCountsWholeClusters) {
    mount_disk("big", 2048);
    sparse(at("/opt/20160229-134500_L.h264"), 1500ull << 20);  // 48000 clusters
    put(at("/opt/a.dat"), std::string(100, 'x'));                // 1
    put(at("/opt/b.dat"), std::string(32768, 'x'));              // 1
    put(at("/opt/c.dat"), std::string(40000, 'x'));              // 2
    struct statfs s;
    ASSERT_EQ(plat_statfs("/opt", &s), 0);
    EXPECT_EQ(s.f_type, 0x4d44);
    EXPECT_EQ(s.f_bsize, 32768);
    EXPECT_EQ(s.f_blocks, 65536u);
    EXPECT_EQ(s.f_bfree, 65536u - 48004u);
    EXPECT_EQ(s.f_bavail, s.f_bfree);
    EXPECT_EQ(mb(s, s.f_bfree), 547);  // 32 x 17532 / 1024 = 547.875
    EXPECT_EQ(mb(s, s.f_blocks), 2048);

    fs::create_directory(at("/opt/sub"));  // a folder costs a cluster
    ASSERT_EQ(plat_statfs("/opt/sub", &s), 0);
    EXPECT_EQ(s.f_bfree, 65536u - 48005u);

    sparse(at("/opt/huge"), 1ull << 31);  // more than fits: nothing free, not less
    ASSERT_EQ(plat_statfs("/opt", &s), 0);
    EXPECT_EQ(s.f_bfree, 0u);
}

TEST_F(FreeSpace, FlashCountsItsOwnFilesOnly) {
    struct statfs before, after;
    ASSERT_EQ(plat_statfs("/home", &before), 0);
    EXPECT_EQ(before.f_bsize, 4096);
    EXPECT_EQ(before.f_blocks, 65536u);  // 256 MB
    sparse(at("/home/upgrade.bin"), 10 << 20);
    ASSERT_EQ(plat_statfs("/home", &after), 0);
    EXPECT_EQ(before.f_bfree - after.f_bfree, 2560u);

    // The disk's files, mounted or not, are not on the flash.
    host::disk_insert("stick", 1024);
    sparse(host::disk_files("stick") / "x", 5 << 20);
    ASSERT_EQ(plat_statfs("/", &before), 0);
    EXPECT_EQ(before.f_bfree, after.f_bfree);
    ASSERT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    ASSERT_EQ(plat_statfs("/home", &before), 0);
    EXPECT_EQ(before.f_bfree, after.f_bfree);
}

TEST_F(FreeSpace, MissingPathAndInjectedFailure) {
    struct statfs s;
    errno = 0;
    EXPECT_EQ(plat_statfs("/no/such/folder", &s), -1);
    EXPECT_EQ(errno, ENOENT);
    host::inject_failure("statfs /opt");
    errno = 0;
    EXPECT_EQ(plat_statfs("/opt", &s), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(plat_statfs("/opt", &s), 0);  // only once
}

}  // namespace
}  // namespace storage_test
