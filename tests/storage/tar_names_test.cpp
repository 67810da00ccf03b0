// Member names the board's tar must read as bytes: pax records and GNU long
// names holding NUL bytes, lying lengths, control bytes and very long values.
// A name a system call would read otherwise than it is written fails the
// archive; whatever a name holds, nothing outside the target folder changes.
#include "storage_fixture.h"
#include "tests/tar_build.h"

namespace storage_test {
namespace {
using namespace tar_build;

class TarNames : public Board {
protected:
    void SetUp() override {
        Board::SetUp();
        mount_disk();
        put(at("/home/config/ImageParam.dat"), "settings");
        put(at("/etc/init.d/rcS"), "old");
        fs::create_directory(at("/home/stage"));
    }
    // Unpacks `members` after a sound first file into /home/stage: the status.
    int unpack(const std::vector<Member>& members, const std::string& name = "names.upg") {
        std::vector<Member> all{{"first", "first"}};
        all.insert(all.end(), members.begin(), members.end());
        gzip_to(host::disk_files("stick") / name, tar_of(all));
        host::board_log_clear();
        before_ = outside_stage();
        return sh_tar_xzvf(("/opt/" + name).c_str(), "/home/stage");
    }
    // The whole sandbox around the board root but the target folder.
    std::map<std::string, std::string> outside_stage() const { return tree_except(sandbox_, at("/home/stage")); }
    std::map<std::string, std::string> before_;
    bool said(const std::string& start) const {
        for (const auto& l : host::board_log_lines("shell"))
            if (l.starts_with("shell: tar: " + start)) return true;
        return false;
    }
};

TEST_F(TarNames, ANameHoldingANulByteFailsTheArchiveBeforeItsMemberIsWritten) {
    struct Case {
        std::string what;
        std::vector<Member> members;
        std::string message;
    };
    const std::string deep = kClimb + kClimb + kClimb;  // from /home/stage to the sandbox around the root
    const std::vector<Case> cases = {
        {"pax path climbing out of the root",
         {pax_header(pax_record("path", deep + "ESCAPED")), {"x", "evil"}},
         "extended header path holds a NUL byte: ..\\x00x/..\\x00x/"},
        {"pax path into /etc/init.d",
         {pax_header(pax_record("path", kClimb + kClimb + "etc/init.d/S99evil")), {"x", "evil"}},
         "extended header path holds a NUL byte: "},
        {"pax path over the settings",
         {pax_header(pax_record("path", kClimb + "config/ImageParam.dat")), {"x", "evil"}},
         "extended header path holds a NUL byte: "},
        {"pax path cut to a harmless name",
         {pax_header(pax_record("mtime", "1") + pax_record("path", "first" + kNul + "/../x")), {"x", "evil"}},
         "extended header path holds a NUL byte: first\\x00/../x"},
        {"pax linkpath",
         {pax_header(pax_record("linkpath", "/etc" + kNul + "x")), {"lnk", "", '2', 0777, "etc"}},
         "extended header linkpath holds a NUL byte: /etc\\x00x"},
        {"very long pax path with a NUL at its end",
         {pax_header(pax_record("path", std::string(100000, 'a') + kNul)), {"x", "evil"}},
         "extended header path holds a NUL byte: " + std::string(100, 'a') + "..."},
        {"GNU long name", {gnu_long(deep + "ESCAPED" + kNul), {"x", "evil"}}, "long name holds a NUL byte: "},
        {"GNU long name with bytes after its end",
         {gnu_long("ok" + kNul + kNul + "../x" + kNul), {"x", "evil"}},
         "long name holds a NUL byte: ok\\x00\\x00../x\\x00"},
        {"GNU long link name", {gnu_long("rcS" + kNul + "x", 'K'), {"lnk", "", '2', 0777, "rcS"}},
         "long link name holds a NUL byte: rcS\\x00x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(unpack(c.members), 1);
        EXPECT_TRUE(said(c.message));
        EXPECT_TRUE(logged("shell: tar: Exiting with failure status due to previous errors"));
        EXPECT_EQ(outside_stage(), before_);
        EXPECT_EQ(tree_except(at("/home/stage"), {}), (std::map<std::string, std::string>{{"first", "file 420 first"}}));
        // The listing stops at the same header: no name cut at a NUL reaches its reader.
        std::vector<std::string> listed;
        EXPECT_NE(sh_tar_tzvf("/opt/names.upg", [&](const TarEntry& e) { return listed.push_back(e.name), true; }), 0);
        EXPECT_EQ(listed, std::vector<std::string>{"first"});
        fs::remove_all(at("/home/stage"));
        fs::create_directory(at("/home/stage"));
    }
    outside_intact();
}

TEST_F(TarNames, AnExtendedHeaderIsReadByItsRecordLengths) {
    struct Case {
        std::string what, records, message;
    };
    const std::vector<Case> cases = {
        {"length past the header's end", "99 path=x\n", "malformed extended header: a record runs past"},
        {"length short of the newline", "9 path=evil\n", "malformed extended header: a record does not end"},
        {"length one byte long", "12 path=evil\n\n", "malformed extended header: a record does not end"},
        {"length of 20 digits", "99999999999999999999 path=x\n", "malformed extended header: a record runs past"},
        {"no length", " path=x\n", "malformed extended header: missing length"},
        {"length zero", "0 path=x\n", "malformed extended header: a record does not end"},
        {"no equal sign", "10 pathxx\n", "malformed extended header: missing equal sign"},
        {"a sound record, then bytes", pax_record("path", "evil") + "x", "malformed extended header: missing length"},
        {"a NUL padding the header", pax_record("path", "evil") + kNul, "malformed extended header: missing length"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(unpack({pax_header(c.records), {"x", "evil"}}), 1);
        EXPECT_TRUE(said(c.message));
        EXPECT_EQ(outside_stage(), before_);
        EXPECT_FALSE(lexists(at("/home/stage/evil")));
        EXPECT_FALSE(lexists(at("/home/stage/x")));
    }
    // Sound records of every length class, with '=' and newlines inside a value.
    const std::string value = "a=b\nc";
    EXPECT_EQ(unpack({pax_header(pax_record("comment", std::string(95, 'c')) + pax_record("path", "v/" + value)),
                      {"x", "sound"}}),
              0);
    EXPECT_EQ(get(at("/home/stage/v/" + value)), "sound");
    EXPECT_TRUE(said("v/a=b\\x0ac"));
}

TEST_F(TarNames, ControlBytesStayInTheNameAndInsideTheFolder) {
    const std::string odd = "ctl\x01\x1b[2J\ntar: forged\x7f";
    EXPECT_EQ(unpack({pax_header(pax_record("path", "pax/" + odd)), {"x", "pax"},
                      gnu_long("gnu/" + odd + kNul + kNul + kNul), {"y", "gnu"},
                      pax_header(pax_record("path", std::string(300, 'L'))), {"z", "too long for a name"}}),
              1);  // the last name is longer than the file system takes
    EXPECT_EQ(get(at("/home/stage/pax/" + odd)), "pax");
    EXPECT_EQ(get(at("/home/stage/gnu/" + odd)), "gnu");
    EXPECT_EQ(outside_stage(), before_);
    // The log shows the bytes escaped: a name never starts a line of its own.
    EXPECT_TRUE(logged("shell: tar: pax/ctl\\x01\\x1b[2J\\x0atar: forged\\x7f"));
    for (const auto& l : host::board_log_lines()) EXPECT_EQ(l.find('\n'), std::string::npos);
    EXPECT_TRUE(said(std::string(300, 'L') + ": Cannot open: File name too long"));
}

}  // namespace
}  // namespace storage_test
