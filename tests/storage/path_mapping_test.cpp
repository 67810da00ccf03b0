// System paths land inside the board root whatever their dots and slashes.
#include <cstdio>
#include <sys/vfs.h>

#include "storage_fixture.h"

namespace storage_test {
namespace {

class PathMapping : public Board {
protected:
    std::string r() const { return host::board_root().string(); }
    static std::string mapped(const char* p) { return board_path(p); }
};

TEST_F(PathMapping, AbsolutePathsGoBelowTheRoot) {
    EXPECT_EQ(mapped("/home/config/ImageParam.dat"), r() + "/home/config/ImageParam.dat");
    EXPECT_EQ(mapped("/proc/partitions"), r() + "/proc/partitions");
    EXPECT_EQ(fs::canonical(board_path("/")), fs::canonical(root_));
    EXPECT_EQ(mapped("/"), r());
}

TEST_F(PathMapping, DotsAndSlashesNeverLeaveTheRoot) {
    EXPECT_EQ(mapped("/opt/../../etc/x"), r() + "/etc/x");
    EXPECT_EQ(mapped("/../../../etc/passwd"), r() + "/etc/passwd");
    EXPECT_EQ(mapped("//opt///a//b/"), r() + "/opt/a/b");
    EXPECT_EQ(mapped("/a/./b/../c"), r() + "/a/c");
    EXPECT_EQ(mapped("/.."), r());
}

TEST_F(PathMapping, RelativeAndNullPathsStartAtSlash) {
    EXPECT_EQ(mapped("home/rcS"), r() + "/home/rcS");
    EXPECT_EQ(mapped("../../x"), r() + "/x");
    EXPECT_EQ(board_path(static_cast<const char*>(nullptr)), board_path("/"));
    EXPECT_EQ(board_path(std::string("/home/")), board_path("/home"));
}

// A NUL byte would end the name a system call sees ("..\0x" would be ".."),
// and a link may lead anywhere: such paths reach no file at all.
TEST_F(PathMapping, NulBytesAndLinksLeadingOutReachNothing) {
    const std::string nul("\0", 1);
    put(root_ / "home/config/ImageParam.dat", "settings");
    fs::create_directory_symlink(outside_, root_ / "home/out");
    fs::create_symlink(outside_ / "new.txt", root_ / "home/dangling");
    fs::create_directory_symlink("config", root_ / "home/cfg");  // inside: followed as before
    const std::vector<std::string> refused = {
        "/home/.." + nul + "x/.." + nul + "x/keep.txt",
        "/home/config/ImageParam.dat" + nul + ".new",
        "/home/out/keep.txt",
        "/home/out/new.txt",
        "/home/dangling",
    };
    for (const auto& p : refused) {
        SCOPED_TRACE(p);
        const std::string mapped = board_path(p);
        EXPECT_TRUE(mapped.starts_with(r() + "/")) << mapped;
        EXPECT_EQ(mapped.find('\0'), std::string::npos);
        for (const std::string& file : {mapped, mapped + ".new"}) {
            EXPECT_EQ(std::fopen(file.c_str(), "r"), nullptr);
            std::FILE* f = std::fopen(file.c_str(), "w");
            EXPECT_EQ(f, nullptr);
            if (f) std::fclose(f);
            EXPECT_NE(::mkdir(file.c_str(), 0755), 0);
        }
    }
    EXPECT_TRUE(logged("storage: refused the path $'/home/..\\x00x/..\\x00x/keep.txt': it holds a NUL byte"));
    EXPECT_TRUE(logged("storage: refused the path /home/out/keep.txt: a link on its way leads outside the board"));
    EXPECT_EQ(board_path("/home/cfg/ImageParam.dat"), r() + "/home/cfg/ImageParam.dat");
    EXPECT_EQ(get(board_path("/home/cfg/ImageParam.dat")), "settings");
    // The commands refuse the same paths.
    struct statfs st;
    errno = 0;
    EXPECT_EQ(plat_statfs("/home/out", &st), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(plat_statfs("/home/cfg", &st), 0);
    EXPECT_NE(sh_cp_a("/home/out/keep.txt", "/home/"), 0);
    EXPECT_NE(sh_cp_a("/home/config/ImageParam.dat", "/home/out"), 0);
    EXPECT_NE(sh_mv("/home/out/keep.txt", "/home/"), 0);
    EXPECT_NE(sh_mv("/home/config/ImageParam.dat", "/home/out/"), 0);
    EXPECT_NE(sh_rm_rf("/home/out/*"), 0);
    EXPECT_NE(sh_rm_rf_exact("/home/out/keep.txt"), 0);
    EXPECT_NE(sh_tar_xzvf("/home/out/keep.txt", "/home"), 0);
    EXPECT_EQ(get(root_ / "home/config/ImageParam.dat"), "settings");
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(outside_), {}), std::vector<fs::path>{outside_ / "keep.txt"});
    outside_intact();
}

}  // namespace
}  // namespace storage_test
