// himm, reboot, and injected command failures.
#include <string_view>

#include "storage_fixture.h"

namespace storage_test {
namespace {

using Commands = Board;

TEST_F(Commands, HimmTakesHexadecimalNumbersOnly) {
    EXPECT_EQ(sh_himm("0x200f0050", "0x1"), 0);
    EXPECT_TRUE(logged("shell: himm 0x200f0050 0x1"));
    EXPECT_EQ(sh_himm("200f0050", "0x1"), 1);
    EXPECT_EQ(sh_himm("0x200f0050", "0xZZ"), 1);
    EXPECT_EQ(sh_himm("0x", "0x1"), 1);
    EXPECT_EQ(sh_himm("0x1;reboot", "0x1"), 1);
    EXPECT_EQ(sh_himm(nullptr, "0x1"), 1);
}

TEST_F(Commands, RebootHaltsTheBoard) {
    std::vector<std::string> reasons;
    host::set_halt_handler([&](std::string_view why) { reasons.emplace_back(why); });
    EXPECT_EQ(sh_reboot(), 0);
    EXPECT_TRUE(logged("shell: reboot"));
    EXPECT_EQ(reasons, std::vector<std::string>{"reboot"});

    host::inject_failure("sh reboot");
    EXPECT_EQ(sh_reboot(), 1);
    EXPECT_EQ(reasons.size(), 1u);
}

TEST_F(Commands, InjectedFailureHasNoEffect) {
    host::disk_insert("stick", 1024);
    host::inject_failure("sh mount");
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 1);
    EXPECT_TRUE(logged("shell: mount -o rw /dev/sda1 /opt"));
    EXPECT_FALSE(host::opt_mounted());
    EXPECT_EQ(sh_mount_rw("/dev/sda1", "/opt"), 0);  // once only

    put(at("/opt/a"), "a");
    for (const char* word : {"sh rm", "sh mv", "sh cp", "sh umount", "sh tar", "sh mkfs.vfat"})
        host::inject_failure(word);
    EXPECT_EQ(sh_rm_rf("/opt/a"), 1);
    EXPECT_EQ(sh_mv("/opt/a", "/opt/b"), 1);
    EXPECT_EQ(sh_cp_a("/opt/a", "/opt/c"), 1);
    EXPECT_EQ(sh_umount("/opt"), 1);
    EXPECT_EQ(sh_tar_xzvf("/opt/a", "/home"), 1);
    ASSERT_EQ(sh_umount("/opt"), 0);
    EXPECT_EQ(sh_mkfs_vfat("/dev/sda1"), 1);
    EXPECT_EQ(get(host::disk_files("stick") / "a"), "a");
    EXPECT_FALSE(fs::exists(host::disk_files("stick") / "b"));
    EXPECT_FALSE(fs::exists(host::disk_files("stick") / "c"));
}

}  // namespace
}  // namespace storage_test
