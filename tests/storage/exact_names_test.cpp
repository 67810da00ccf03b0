// Exact-path commands: a name is never a pattern, and the logged command is
// one a shell would run to the same effect.
#include "tests/storage/storage_fixture.h"

namespace {
using namespace storage_test;

using ExactNames = Board;

TEST_F(ExactNames, RemoveTakesTheNameAsItIsAndLogsItQuoted) {
    mount_disk();
    const std::vector<std::string> names = {"*", "a1", "b1", "[ab]1", "-rf", "it's", "new\nline", "tab\t\\"};
    for (const auto& n : names) put(at("/opt/" + n), n);
    ASSERT_EQ(sh_rm_rf_exact("/opt/[ab]1"), 0);
    ASSERT_EQ(sh_rm_rf_exact("/opt/*"), 0);
    ASSERT_EQ(sh_rm_rf_exact("/opt/it's"), 0);
    ASSERT_EQ(sh_rm_rf_exact("/opt/new\nline"), 0);
    EXPECT_EQ(sh_rm_rf_exact("/opt/missing*"), 0);  // like "rm -f": nothing there is no failure
    for (const char* kept : {"a1", "b1", "-rf", "tab\t\\"}) EXPECT_EQ(get(at(std::string("/opt/") + kept)), kept);
    for (const char* gone : {"*", "[ab]1", "it's", "new\nline"}) EXPECT_FALSE(lexists(at(std::string("/opt/") + gone)));
    EXPECT_TRUE(logged("shell: rm -rf '/opt/[ab]1'"));
    EXPECT_TRUE(logged("shell: rm -rf '/opt/*'"));
    EXPECT_TRUE(logged("shell: rm -rf '/opt/it'\\''s'"));
    EXPECT_TRUE(logged("shell: rm -rf $'/opt/new\\x0aline'"));
    // The pattern form still expands, for the recorder's own segment patterns.
    ASSERT_EQ(sh_rm_rf("/opt/[ab]1"), 0);
    EXPECT_FALSE(lexists(at("/opt/a1")));
    EXPECT_FALSE(lexists(at("/opt/b1")));
    EXPECT_TRUE(logged("shell: rm -rf /opt/[ab]1"));
}

TEST_F(ExactNames, MoveAndCopyLogTheirOperandsQuoted) {
    mount_disk();
    put(at("/opt/x?.h264"), "x");
    put(at("/opt/xa.h264"), "a");
    ASSERT_EQ(sh_mv("/opt/x?.h264", "/opt/@x?.h264"), 0);
    EXPECT_EQ(get(at("/opt/@x?.h264")), "x");
    EXPECT_EQ(get(at("/opt/xa.h264")), "a");
    EXPECT_TRUE(logged("shell: mv '/opt/x?.h264' '/opt/@x?.h264'"));
    ASSERT_EQ(sh_cp_a("/opt/xa.h264", "/opt/$x tab\t.dat"), 0);
    EXPECT_EQ(get(at("/opt/$x tab\t.dat")), "a");
    EXPECT_TRUE(logged("shell: cp -a /opt/xa.h264 $'/opt/$x tab\\x09.dat'"));
}

}  // namespace
