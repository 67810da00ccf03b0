// System paths land inside the board root whatever their dots and slashes.
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

}  // namespace
}  // namespace storage_test
