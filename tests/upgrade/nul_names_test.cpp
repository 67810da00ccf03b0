// Upgrade packages whose member names the board's tar must read as bytes:
// pax and GNU long names holding NUL bytes ("..\0x" is ".." to a system
// call), lying record lengths, control bytes and very long values. Whatever
// a package holds, nothing outside the board root changes, and a refused
// one leaves /home, /etc/init.d and the settings as they were.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>

#include "dsp/dsp_firmware.h"
#include "dsp/dsp_package.h"
#include "tests/mutate.h"
#include "tests/storage/storage_fixture.h"
#include "tests/upgrade/packages.h"

namespace {
using namespace storage_test;
using packages::Member;
using tar_build::gnu_long;
using tar_build::pax_header;
using tar_build::pax_record;

using tar_build::kClimb;
using tar_build::kNul;

class NulNames : public Board {
protected:
    void SetUp() override {
        Board::SetUp();
        mount_disk();
        put(at("/home/config/ImageParam.dat"), std::string(268, '\x01'));
        put(at("/home/app/old"), "old");
        put(at("/etc/init.d/rcS"), "#!/bin/sh\necho old\n");
        put(sandbox_ / "beside-root.txt", "sibling");
    }
    struct Outcome {
        int status;
        std::string console;
    };
    Outcome install(const std::string& gz) {
        put(at("/opt/QRN_kq7_V9.upg"), gz);
        ::testing::internal::CaptureStdout();
        const int r = upgrade("QRN_kq7_V9.upg");
        std::fflush(stdout);
        return {r, ::testing::internal::GetCapturedStdout()};
    }
    // The whole sandbox, the board root within it, but the disk holding the package.
    std::map<std::string, std::string> everything() const { return tree_except(sandbox_, root_ / "usb"); }
    std::map<std::string, std::string> outside_root() const { return tree_except(sandbox_, root_); }
};

std::string package_with(std::vector<Member> extra, bool sound = true) {
    std::vector<Member> ms = sound ? packages::sound_members() : std::vector<Member>{{"rcS", packages::kScript}};
    ms.insert(ms.end(), extra.begin(), extra.end());
    return packages::package(ms);
}

TEST_F(NulNames, ANulInAPaxPathWritesNothingOutsideTheStagingFolder) {
    const auto before = everything();
    // Refused anyway (no test.hex), but its members must not land first.
    Outcome r = install(package_with({pax_header(pax_record("path", kClimb + kClimb + kClimb + "NAME")), {"a", "escaped"},
                                      pax_header(pax_record("path", kClimb + kClimb + "etc/init.d/S99evil")),
                                      {"b", "#!/bin/sh\necho evil\n", '0', 0755},
                                      pax_header(pax_record("path", kClimb + "config/ImageParam.dat")), {"c", "garbage"}},
                                     false));
    EXPECT_EQ(r.status, -2);
    EXPECT_NE(r.console.find("upgrade package QRN_kq7_V9.upg refused: "), std::string::npos) << r.console;
    EXPECT_EQ(everything(), before);
    EXPECT_FALSE(lexists(sandbox_ / "NAME"));
    EXPECT_FALSE(lexists(at("/etc/init.d/S99evil")));
    // A sound package with one such member climbing out of the board root.
    r = install(package_with({pax_header(pax_record("path", kClimb + kClimb + kClimb + "ESCAPED")), {"a", "escaped"}}));
    EXPECT_EQ(r.status, -2) << r.console;
    EXPECT_EQ(everything(), before);
    EXPECT_FALSE(lexists(sandbox_ / "ESCAPED"));
    outside_intact();
}

TEST_F(NulNames, HostileHeadersAreRefusedAndChangeNothing) {
    struct Case {
        std::string what;
        std::vector<Member> members;
    };
    const std::vector<Case> cases = {
        {"pax path with a NUL", {pax_header(pax_record("path", "app/rcS" + kNul + "/x")), {"p", "x"}}},
        {"pax linkpath with a NUL", {pax_header(pax_record("linkpath", "/etc" + kNul)), {"l", "", '2', 0777, "x"}}},
        {"very long pax path", {pax_header(pax_record("path", std::string(200000, 'v') + kNul)), {"p", "x"}}},
        {"pax length past the end", {pax_header("60 path=" + kClimb + "x\n"), {"p", "x"}}},
        {"pax length short", {pax_header("8 path=" + kClimb + "x\n"), {"p", "x"}}},
        {"pax length of many digits", {pax_header(std::string(40, '9') + " path=x\n"), {"p", "x"}}},
        {"GNU long name with a NUL", {gnu_long(kClimb + kClimb + kClimb + "ESCAPED" + kNul), {"p", "x"}}},
        {"GNU long link name with a NUL", {gnu_long("x" + kNul + "y", 'K'), {"l", "", '2', 0777, "x"}}},
    };
    const auto before = everything();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = install(package_with(c.members));
        EXPECT_EQ(r.status, -2);
        EXPECT_NE(r.console.find("upgrade package QRN_kq7_V9.upg refused: "), std::string::npos) << r.console;
        EXPECT_EQ(everything(), before);
    }
    // Control bytes in a name: whether the package goes in or not, they stay
    // in the name, below /home.
    const auto outside = outside_root();
    const Outcome r = install(package_with({pax_header(pax_record("path", "app/\x01\x1b\n..")), {"p", "ctl"}}));
    EXPECT_EQ(outside_root(), outside);
    if (r.status == 0) {
        EXPECT_EQ(get(at("/home/app/\x01\x1b\n..")), "ctl");
    }
    EXPECT_EQ(get(at("/home/config/ImageParam.dat")), std::string(268, '\x01'));
    outside_intact();
}

// Mutated pax and GNU headers: nothing outside the board root ever changes,
// and a refused package leaves /home, /etc/init.d and the settings as they were.
TEST_F(NulNames, MutatedPaxAndGnuHeadersNeverReachOutsideTheRoot) {
    const std::string pax = tar_build::tar_of(
        {{"rcS", packages::kScript, '0', 0755},
         {"test.hex", packages::kHex},
         pax_header(pax_record("path", kClimb + "config/ImageParam.dat") + pax_record("mtime", "1")),
         {"a", "pax"},
         pax_header(pax_record("linkpath", "x") + pax_record("path", "app/p")),
         {"b", "pax2"}});
    const std::string gnu = tar_build::tar_of({{"rcS", packages::kScript, '0', 0755},
                                               {"test.hex", packages::kHex},
                                               gnu_long(kClimb + kClimb + kClimb + "ESCAPED" + kNul),
                                               {"a", "gnu"},
                                               gnu_long("app/g" + kNul + kNul, 'L'),
                                               {"b", "gnu2"},
                                               gnu_long("rcS" + kNul, 'K'),
                                               {"c", "", '2', 0777, "rcS"}});
    const std::string sound = tar_build::tar_of({{"rcS", packages::kScript, '0', 0755},
                                                 {"test.hex", packages::kHex},
                                                 pax_header(pax_record("path", "app/" + std::string(120, 'p'))),
                                                 {"a", "pax"},
                                                 gnu_long("app/" + std::string(110, 'g') + kNul),
                                                 {"b", "gnu"}});
    const auto outside = outside_root();
    const auto home = tree_except(root_ / "home"), etc = tree_except(root_ / "etc");
    const std::string settings = get(at("/home/config/ImageParam.dat"));
    auto restore = [&] {
        for (const char* top : {"home", "etc"}) fs::remove_all(root_ / top);
        for (const auto* tree : {&home, &etc}) {
            const fs::path top = root_ / (tree == &home ? "home" : "etc");
            fs::create_directory(top);
            for (const auto& [rel, what] : *tree) {
                if (what == "folder") fs::create_directories(top / rel);
                put_listed(top / rel, what);
            }
        }
    };
    int accepted = 0, refused = 0;
    auto one = [&](const std::string& gz) {
        const Outcome r = install(gz);
        ASSERT_EQ(outside_root(), outside) << r.console;
        ASSERT_FALSE(lexists(at(kStaging)));
        if (r.status == 0) {
            ++accepted;
            restore();
            return;
        }
        ++refused;
        ASSERT_EQ(tree_except(root_ / "home"), home) << r.console;
        ASSERT_EQ(tree_except(root_ / "etc"), etc) << r.console;
        ASSERT_EQ(get(at("/home/config/ImageParam.dat")), settings);
    };
    const auto t0 = std::chrono::steady_clock::now();
    packages::mutate_tars({pax, gnu, sound}, 100, 1000, one);
    packages::expect_both_outcomes(accepted, refused, t0);
    outside_intact();
}

}  // namespace
