// The USB disk slot, /proc/partitions and the mount at /opt.
#include <fcntl.h>
#include <thread>

#include "storage_fixture.h"

namespace storage_test {
namespace {

const std::string kFlash =
    "major minor  #blocks  name\n"
    "\n"
    "  31        0       1024 mtdblock0\n"
    "  31        1       4096 mtdblock1\n";

std::string partitions() { return get(board_path("/proc/partitions")); }

using Disks = Board;

TEST_F(Disks, PartitionsListTheFlashAndTheDisk) {
    EXPECT_EQ(partitions(), kFlash);
    host::disk_insert("stick", 1024);
    EXPECT_EQ(partitions(), kFlash +
                                "   8        0    1048576 sda\n"
                                "   8        1    1048544 sda1\n");
    host::disk_insert("whole", 2048, false);  // takes the slot from the first
    EXPECT_EQ(partitions(), kFlash + "   8        0    2097152 sda\n");
    EXPECT_EQ(host::disk_inserted(), "whole");
    host::disk_remove();
    EXPECT_EQ(partitions(), kFlash);
    EXPECT_EQ(host::disk_inserted(), std::nullopt);
}

TEST_F(Disks, MountShowsTheDiskAtOptAndUnmountShowsTheFlashFolder) {
    put(at("/opt/on-flash"), "flash");
    host::disk_insert("stick", 4096);
    put(host::disk_files("stick") / "on-disk", "disk");
    ASSERT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    EXPECT_TRUE(host::opt_mounted());
    EXPECT_EQ(get(at("/opt/on-disk")), "disk");
    EXPECT_FALSE(fs::exists(at("/opt/on-flash")));
    put(at("/opt/new"), "written");
    EXPECT_EQ(get(host::disk_files("stick") / "new"), "written");
    EXPECT_EQ(sh_mount_remount_rw("/opt"), 0);

    ASSERT_EQ(sh_umount("/opt"), 0);
    EXPECT_FALSE(host::opt_mounted());
    EXPECT_EQ(get(at("/opt/on-flash")), "flash");
    EXPECT_FALSE(fs::exists(at("/opt/new")));
    EXPECT_EQ(sh_mount_remount_rw("/opt"), 1);
    EXPECT_TRUE(logged("shell: mount -o rw /dev/sda1 /opt"));
    EXPECT_TRUE(logged("shell: mount -o remount, rw /opt"));
    EXPECT_TRUE(logged("shell: umount /opt"));
}

TEST_F(Disks, OnlyTheNodeHoldingTheFileSystemMounts) {
    host::disk_insert("parted", 1024, true);
    EXPECT_EQ(sh_mount_rw("/dev/sda", "/opt"), 1);
    EXPECT_EQ(sh_mount_rw("/dev/sdb1", "/opt"), 1);
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/home"), 1);
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 1);  // already mounted
    ASSERT_EQ(sh_umount("/opt"), 0);

    host::disk_insert("whole", 1024, false);
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 1);
    EXPECT_EQ(sh_mount_rw("/dev/sda", "/opt"), 0);
}

TEST_F(Disks, UnformattedDiskMountsAfterMkfs) {
    host::disk_insert("raw", 1024, true, false);
    put(host::disk_files("raw") / "junk", "x");
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 1);
    EXPECT_FALSE(host::opt_mounted());
    EXPECT_EQ(sh_mkfs_vfat("/dev/sda"), 1);  // not where the file system goes
    EXPECT_EQ(sh_mkfs_vfat("/dev/sda1"), 0);
    EXPECT_TRUE(logged("shell: mkfs.vfat -v /dev/sda1"));
    EXPECT_TRUE(fs::is_empty(host::disk_files("raw")));
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    EXPECT_EQ(sh_mkfs_vfat("/dev/sda1"), 1);  // mounted
    host::disk_remove();
    EXPECT_EQ(sh_mkfs_vfat("/dev/sda1"), 1);  // no disk
}

TEST_F(Disks, UmountNeedsAMountAndNoOpenFile) {
    EXPECT_EQ(sh_umount("/opt"), 1);
    EXPECT_TRUE(logged("shell: umount: /opt: not mounted"));
    mount_disk();
    const int fd = ::open(at("/opt/rec.h264").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sh_umount("/opt"), 1);
    EXPECT_TRUE(logged("shell: umount: /opt: target is busy"));
    EXPECT_TRUE(host::opt_mounted());
    ::close(fd);
    EXPECT_EQ(sh_umount("/opt"), 0);
}

TEST_F(Disks, PulledOutDiskLeavesAStaleMountUntilUmount) {
    mount_disk("stick");
    put(at("/opt/a.h264"), "segment");
    host::disk_remove();
    EXPECT_TRUE(host::opt_mounted());
    EXPECT_EQ(partitions(), kFlash);
    EXPECT_FALSE(fs::exists(at("/opt/a.h264")));
    EXPECT_EQ(::open(at("/opt/b.h264").c_str(), O_WRONLY | O_CREAT, 0644), -1);
    struct statfs sf;
    EXPECT_EQ(plat_statfs("/opt", &sf), -1);

    host::disk_insert("stick", 8192);  // back in, but the old mount stays dead
    EXPECT_FALSE(fs::exists(at("/opt/a.h264")));
    EXPECT_EQ(sh_umount("/opt"), 0);
    EXPECT_FALSE(host::opt_mounted());
    ASSERT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);
    EXPECT_EQ(get(at("/opt/a.h264")), "segment");  // the disk kept its files
}

TEST_F(Disks, PowerOnRestoresAFolderLeftMounted) {
    put(at("/opt/flash-file"), "flash");
    mount_disk();
    host::board_shutdown();
    boot();
    EXPECT_FALSE(host::opt_mounted());
    EXPECT_FALSE(host::disk_inserted());
    EXPECT_EQ(get(at("/opt/flash-file")), "flash");

    // As a run that died while mounted leaves it: /opt a link, the folder aside.
    host::board_shutdown();
    fs::rename(root_ / "opt", root_ / ".opt-covered");
    fs::create_directory_symlink("usb/stick/files", root_ / "opt");
    boot();
    EXPECT_FALSE(fs::is_symlink(root_ / "opt"));
    EXPECT_EQ(get(at("/opt/flash-file")), "flash");
    EXPECT_FALSE(lexists(root_ / ".opt-covered"));
}

TEST_F(Disks, CommandsAndDiskChangesFromSeveralThreads) {
    std::atomic<bool> stop{false};
    std::thread plug([&] {
        for (int i = 0; i < 200; ++i) {
            host::disk_insert(i % 2 ? "a" : "b", 1024, i % 3 != 0);
            host::disk_remove();
        }
        stop = true;
    });
    int rounds = 0;
    while (!stop || rounds < 10) {
        sh_mount_rw("/dev/sda1", "/opt");
        struct statfs sf;
        plat_statfs("/opt", &sf);
        sh_rm_rf("/opt/*");
        sh_umount("/opt");
        ++rounds;
    }
    plug.join();
    sh_umount("/opt");
    EXPECT_FALSE(host::opt_mounted());
    EXPECT_TRUE(fs::is_directory(root_ / "opt") && !fs::is_symlink(root_ / "opt"));
    EXPECT_EQ(partitions(), kFlash);
}

}  // namespace
}  // namespace storage_test
