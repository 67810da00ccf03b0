// rm -rf: glob in the last component only, names taken literally, no escape.
#include <set>

#include "storage_fixture.h"

namespace storage_test {
namespace {

using Remove = Board;

std::set<std::string> names(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

TEST_F(Remove, SegmentPatternDeletesOneSegmentOnly) {
    mount_disk();
    for (const char* n : {"20160229-134500_R.h264", "20160229-134500_L.h264", "20160229-134500_F.h264",
                          "20160229-134500_B.h264", "@20160229-134500_B.h264", "20160229-135000_L.h264",
                          "20160229-135000_B#.h264"})
        put(at("/opt") / n, "v");
    EXPECT_EQ(sh_rm_rf("/opt/20160229-1345*"), 0);
    EXPECT_TRUE(logged("shell: rm -rf /opt/20160229-1345*"));
    EXPECT_EQ(names(at("/opt")),
              (std::set<std::string>{"@20160229-134500_B.h264", "20160229-135000_L.h264", "20160229-135000_B#.h264"}));
    EXPECT_EQ(sh_rm_rf("/opt/20160229-1345*"), 0);  // no match: nothing to do
    EXPECT_EQ(sh_rm_rf("/opt/no-such-file"), 0);
}

TEST_F(Remove, StarSparesDotNamesAndRemovesFolders) {
    put(at("/opt/.keep"), "k");
    put(at("/opt/d/e/f"), "deep");
    put(at("/opt/g"), "g");
    EXPECT_EQ(sh_rm_rf("/opt/*"), 0);
    EXPECT_EQ(names(at("/opt")), std::set<std::string>{".keep"});
}

TEST_F(Remove, HostileNamesAreJustNames) {
    const std::vector<std::string> hostile = {"x;touch pwned", "$(touch pwned)", "`touch pwned`",
                                              "a b", "line\nbreak", "x' || touch pwned '"};
    for (const auto& n : hostile) put(at("/home") / n, "h");
    put(at("/home/other"), "o");
    for (const auto& n : hostile) EXPECT_EQ(sh_rm_rf(("/home/" + n).c_str()), 0) << n;
    EXPECT_EQ(names(at("/home")), (std::set<std::string>{"config", "other"}));
    for (const auto& e : fs::recursive_directory_iterator(sandbox_)) EXPECT_NE(e.path().filename(), "pwned");
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(Remove, GlobCharactersInTheFolderAreLiteral) {
    put(at("/home/a*/f"), "1");
    put(at("/home/ab/f"), "2");
    EXPECT_EQ(sh_rm_rf("/home/a*/f"), 0);
    EXPECT_FALSE(fs::exists(at("/home/a*/f")));
    EXPECT_TRUE(fs::exists(at("/home/ab/f")));
}

TEST_F(Remove, RefusesDotsTheRootAndTheMountPoint) {
    mount_disk();
    put(at("/opt/rec"), "r");
    EXPECT_EQ(sh_rm_rf("/opt/.."), 1);
    EXPECT_EQ(sh_rm_rf("/opt/."), 1);
    EXPECT_EQ(sh_rm_rf("/"), 1);
    EXPECT_EQ(sh_rm_rf("/opt"), 1);
    EXPECT_EQ(sh_rm_rf("/opt/"), 1);
    EXPECT_TRUE(fs::exists(at("/opt/rec")));
    EXPECT_TRUE(fs::exists(at("/home/config")));
    EXPECT_TRUE(host::opt_mounted());
}

TEST_F(Remove, NeverReachesOutsideTheRoot) {
    EXPECT_EQ(sh_rm_rf("/../outside"), 0);
    EXPECT_EQ(sh_rm_rf("/../../outside*"), 0);
    // A link inside the board that points out of it is removed, not followed.
    fs::create_directory_symlink(outside_, at("/home/out"));
    fs::create_directories(at("/home/tree"));
    fs::create_directory_symlink(outside_, at("/home/tree/out"));
    EXPECT_EQ(sh_rm_rf("/home/out/*"), 1);
    EXPECT_EQ(sh_rm_rf("/home/out/keep.txt"), 1);
    EXPECT_EQ(sh_rm_rf("/home/tree"), 0);
    EXPECT_EQ(sh_rm_rf("/home/out"), 0);
    EXPECT_FALSE(lexists(at("/home/out")));
    EXPECT_FALSE(lexists(at("/home/tree")));
    outside_intact();
}

}  // namespace
}  // namespace storage_test
