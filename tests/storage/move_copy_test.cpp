// mv and cp -a: renames, copies with mode and time, folders as targets.
#include "storage_fixture.h"

namespace storage_test {
namespace {

using MoveCopy = Board;

void set_mtime(const fs::path& p, time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

struct stat info(const fs::path& p) {
    struct stat st{};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st;
}

TEST_F(MoveCopy, MvRenamesAndMovesIntoFolders) {
    mount_disk();
    put(at("/opt/20160229-134500_L.h264"), "seg");
    EXPECT_EQ(sh_mv("/opt/20160229-134500_L.h264", "/opt/@20160229-134500_L.h264"), 0);
    EXPECT_TRUE(logged("shell: mv /opt/20160229-134500_L.h264 /opt/@20160229-134500_L.h264"));
    EXPECT_EQ(get(at("/opt/@20160229-134500_L.h264")), "seg");
    EXPECT_FALSE(fs::exists(at("/opt/20160229-134500_L.h264")));

    fs::create_directory(at("/opt/keep"));
    EXPECT_EQ(sh_mv("/opt/@20160229-134500_L.h264", "/opt/keep"), 0);
    EXPECT_EQ(get(at("/opt/keep/@20160229-134500_L.h264")), "seg");
    EXPECT_EQ(sh_mv("/opt/missing", "/opt/x"), 1);
    EXPECT_EQ(sh_mv("/opt", "/home/opt"), 1);  // the mount point while mounted

    // mv -n leaves a file already there as it is.
    put(at("/opt/a.h264"), "new");
    put(at("/opt/a#.h264"), "old");
    EXPECT_EQ(sh_mv_n("/opt/a.h264", "/opt/a#.h264"), 1);
    EXPECT_TRUE(logged("shell: mv -n /opt/a.h264 /opt/a#.h264"));
    EXPECT_TRUE(logged("shell: mv: not replacing '/opt/a#.h264'"));
    EXPECT_EQ(get(at("/opt/a#.h264")) + get(at("/opt/a.h264")), "oldnew");
}

TEST_F(MoveCopy, MvTakesHostileNamesLiterally) {
    put(at("/home/x;touch pwned"), "h");
    EXPECT_EQ(sh_mv("/home/x;touch pwned", "/home/@x;touch pwned"), 0);
    EXPECT_EQ(get(at("/home/@x;touch pwned")), "h");
    EXPECT_EQ(sh_mv("/home/@x;touch pwned", "/../outside"), 0);  // "/.." is "/"
    EXPECT_EQ(get(root_ / "outside"), "h");
    for (const auto& e : fs::recursive_directory_iterator(sandbox_)) EXPECT_NE(e.path().filename(), "pwned");
    outside_intact();
}

TEST_F(MoveCopy, CpKeepsModeAndTime) {
    const fs::path src = at("/home/config/ImageParam.dat");
    put(src, std::string(5000, 'p'));
    fs::permissions(src, fs::perms(0640));
    set_mtime(src, 1456753500);
    mount_disk();
    EXPECT_EQ(sh_cp_a("/home/config/ImageParam.dat", "/opt/20160229-134500.dat"), 0);
    EXPECT_TRUE(logged("shell: cp -a /home/config/ImageParam.dat /opt/20160229-134500.dat"));
    const struct stat st = info(host::disk_files("stick") / "20160229-134500.dat");
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1456753500);
    EXPECT_EQ(get(at("/opt/20160229-134500.dat")), std::string(5000, 'p'));

    put(src, "old");
    EXPECT_EQ(sh_cp_a("/opt/20160229-134500.dat", "/home/config/ImageParam.dat"), 0);
    EXPECT_EQ(get(src), std::string(5000, 'p'));
    EXPECT_EQ(sh_cp_a("/opt/missing.dat", "/home/config/ImageParam.dat"), 1);
}

TEST_F(MoveCopy, CpCopiesFoldersIntoFolders) {
    put(at("/home/rcS"), "#!/bin/sh\n");
    fs::permissions(at("/home/rcS"), fs::perms(0755));
    EXPECT_EQ(sh_cp_a("/home/rcS", "/etc/init.d/"), 0);
    EXPECT_EQ(info(at("/etc/init.d/rcS")).st_mode & 0777, 0755u);

    put(at("/home/pkg/a/b.txt"), "b");
    fs::permissions(at("/home/pkg/a"), fs::perms(0750));
    set_mtime(at("/home/pkg/a"), 1000000000);
    fs::create_symlink(outside_ / "keep.txt", at("/home/pkg/link"));
    EXPECT_EQ(sh_cp_a("/home/pkg", "/opt"), 0);
    EXPECT_EQ(get(at("/opt/pkg/a/b.txt")), "b");
    EXPECT_EQ(info(at("/opt/pkg/a")).st_mode & 0777, 0750u);
    EXPECT_EQ(info(at("/opt/pkg/a")).st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(lexists(at("/opt/pkg/link")));  // links are not carried
    EXPECT_EQ(sh_cp_a("/home/pkg", "/home/pkg/a"), 1);  // into itself
    outside_intact();
}

TEST_F(MoveCopy, CpKeepsSparseFilesSparse) {
    put(at("/home/big"), "head");
    fs::resize_file(at("/home/big"), 1ull << 30);
    ASSERT_EQ(sh_cp_a("/home/big", "/home/big2"), 0);
    const struct stat st = info(at("/home/big2"));
    EXPECT_EQ(st.st_size, 1ll << 30);
    EXPECT_LT(st.st_blocks * 512, 1 << 20);
    std::ifstream in(at("/home/big2"), std::ios::binary);
    char head[4] = {};
    in.read(head, 4);
    EXPECT_EQ(std::string(head, 4), "head");
}

}  // namespace
}  // namespace storage_test
