// The application's own checks of an upgrade package: hostile members and
// broken bounds are refused before anything is unpacked, the staged tree is
// walked without following links, and whatever a package holds, a refused
// one leaves /home and /etc/init.d exactly as they were.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/vfs.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "dsp/dsp_firmware.h"
#include "dsp/dsp_package.h"
#include "tests/mutate.h"
#include "tests/storage/storage_fixture.h"
#include "tests/upgrade/packages.h"

namespace {
using namespace storage_test;
using packages::Member;

// Every entry below a folder, links not followed: path -> kind and content.
std::map<std::string, std::string> snapshot(const fs::path& top) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string rel = fs::relative(p, top).string();
        struct stat st;
        ::lstat(p.c_str(), &st);
        // A big file (the test's filler of the flash) by its size only.
        if (S_ISREG(st.st_mode))
            out[rel] = "file " + std::to_string(st.st_mode & 07777) + " " +
                       (st.st_size > (1 << 20) ? std::to_string(st.st_size) + " bytes" : get(p));
        else if (S_ISDIR(st.st_mode)) out[rel] = "folder";
        else if (S_ISLNK(st.st_mode)) out[rel] = "link " + fs::read_symlink(p).string();
        else out[rel] = "other";
    }
    return out;
}

class PackageCheck : public Board {
protected:
    void SetUp() override {
        Board::SetUp();
        mount_disk();
        put(at("/home/config/ImageParam.dat"), std::string(268, '\x01'));
        put(at("/home/app/old"), "old");
        put(at("/home/app/same"), "before");
        put(at("/etc/init.d/rcS"), "#!/bin/sh\necho old\n");
    }
    struct Result {
        int status;
        std::string console;
    };
    Result upgrade_with(const std::string& gz, const char* name = "QRN_kq7_V9.upg") {
        put(at(std::string("/opt/") + name), gz);
        host::board_log_clear();
        ::testing::internal::CaptureStdout();
        const int r = upgrade(name);
        std::fflush(stdout);
        return {r, ::testing::internal::GetCapturedStdout()};
    }
    std::map<std::string, std::string> board_files() const {
        auto home = snapshot(root_ / "home");
        for (auto& [k, v] : snapshot(root_ / "etc")) home["/etc/" + k] = v;
        return home;
    }
    static bool unpacked() {
        for (const auto& l : host::board_log_lines())
            if (l.find("tar -xzvf") != std::string::npos) return true;
        return false;
    }
};

TEST_F(PackageCheck, HostileMembersAreRefusedBeforeAnythingIsUnpacked) {
    const std::string outside = "/tmp/upgrade-member-" + std::to_string(::getpid());
    struct Case {
        Member member;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"lib", "", '2', 0777, "/etc"}, "lib is a symbolic link, not a regular file or folder"},
        {{"rcS", "", '1', 0644, "test.hex"}, "rcS is a hard link, not a regular file or folder"},
        {{"console", "", '3'}, "console is a character device, not a regular file or folder"},
        {{"disk", "", '4'}, "disk is a block device, not a regular file or folder"},
        {{"pipe", "", '6'}, "pipe is a fifo, not a regular file or folder"},
        {{"holes", "x", 'S'}, "holes is a special member, not a regular file or folder"},
        {{outside, "x"}, outside + " has an absolute name"},
        {{"../escape", "x"}, "../escape leads out of its folder"},
        {{"app/../../escape", "x"}, "app/../../escape leads out of its folder"},
        {{"./upgrade.new/x", "x"}, "./upgrade.new/x takes the name of the folder it is unpacked in"},
    };
    const auto before = board_files();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member.name);
        auto ms = packages::sound_members();
        ms.push_back(c.member);
        const Result r = upgrade_with(packages::package(ms));
        EXPECT_EQ(r.status, -2);
        EXPECT_NE(r.console.find("upgrade package QRN_kq7_V9.upg refused: " + c.reason + "\ntar file failed!\n"),
                  std::string::npos)
            << r.console;
        EXPECT_FALSE(unpacked());
        EXPECT_EQ(board_files(), before);
    }
    EXPECT_FALSE(lexists(outside));
    outside_intact();
}

// Names cut short by a NUL where the board opens them, that garble a console,
// or longer than a flash takes: refused from the listing whatever header
// carries them.
TEST_F(PackageCheck, NamesHoldingControlBytesOrTooLongAreRefusedBeforeAnythingIsUnpacked) {
    using namespace std::string_literals;
    struct Case {
        std::string raw, reason;  // reason empty: refused for any reason
    };
    const std::string kNotWhole = "it is not a whole gzip-compressed tar archive";
    const std::vector<Case> cases = {
        // A NUL: this board's tar refuses the archive before the application sees the name.
        {packages::pax_named("..\0x/..\0x/escape"s, {"a", "x"}), kNotWhole},
        {packages::pax_named("..\0x/config/ImageParam.dat"s, {"a", std::string(268, '\xff')}),
         kNotWhole},
        {packages::pax_named("app/\x01"s, {"a", "x"}), "app/\\x01 holds a control byte"},
        {packages::pax_named("app/x\0"s, {"a", "x"}), kNotWhole},
        {packages::members({{"app/new\nline", "x"}}), "app/new\\x0aline holds a control byte"},
        {packages::members({{"app/\x7f", "x"}}), "app/\\x7f holds a control byte"},
        {packages::members({{"\x1b[2J/", "", '5', 0755}}), "\\x1b[2J/ holds a control byte"},
        {packages::members({{"././@LongLink", "..\0x/escape\0"s, 'L'}, {"a", "x"}}), ""},
        {packages::named({"app/" + std::string(256, 'n'), "x"}),
         "app/" + std::string(76, 'n') + "... has a name longer than 255 bytes"},
    };
    const auto before = board_files();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const Result r = upgrade_with(packages::package_with(c.raw));
        EXPECT_EQ(r.status, -2);
        EXPECT_NE(r.console.find("upgrade package QRN_kq7_V9.upg refused: " + c.reason), std::string::npos)
            << r.console;
        EXPECT_FALSE(unpacked());
        EXPECT_EQ(board_files(), before);
        EXPECT_FALSE(lexists(root_ / "escape"));
    }
    outside_intact();
}

// The package changed on the disk while it is being installed: what was
// checked is what gets unpacked.
TEST_F(PackageCheck, APackageChangedOnTheDiskAfterItsListingIsNotUnpacked) {
    auto evil = packages::sound_members();
    evil[0].data = "#!/bin/sh\necho swapped\n";
    evil.push_back(Member{"evil", "x"});
    const std::string swapped = packages::package(evil);
    for (const char* moment : {"tar -tzvf", "tar -xzvf"}) {
        SCOPED_TRACE(moment);
        bool done = false;
        host::set_command_hook([&](const std::string& text) {
            if (!done && text.starts_with(moment)) put(at("/opt/QRN_kq7_V9.upg"), swapped), done = true;
        });
        const Result r = upgrade_with(packages::package(packages::sound_members()));
        host::set_command_hook(nullptr);
        EXPECT_TRUE(done);
        EXPECT_EQ(r.status, 0) << r.console;
        EXPECT_FALSE(lexists(at("/home/evil")));
        EXPECT_EQ(get(at("/home/rcS")), packages::kScript);
        EXPECT_EQ(get(at("/etc/init.d/rcS")), packages::kScript);
        EXPECT_FALSE(lexists(at(kPackageCopy)));
    }
}

TEST_F(PackageCheck, BombsAreRefusedQuicklyFromTheirListing) {
    const auto before = board_files();
    const std::string kNotWhole = "it is not a whole gzip-compressed tar archive";
    struct Case {
        std::string name, gz, reason;
    };
    const std::vector<Case> cases = {
        {"3 GiB file", packages::size_bomb(3072), "it unpacks to more than the "},
        {"100,000 files", packages::count_bomb(100000), "it holds more than 1000 members"},
        {"2,000 folders deep", packages::depth_bomb(2000),
         "d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/ lies more than 16 names deep"},
        // Lands in /home and again in /etc/init.d: 400 MiB on the 256 MiB flash.
        {"200 MiB start script", packages::script_bomb(200), "it unpacks to more than the "},
        {"998 files under 15 unlisted folders each", packages::implied_folders(998, 15),
         "it holds more than 1000 members"},
        // No listing shows what follows the end or a global header.
        {"4 GiB after the end", packages::zeros_after_end(4096, true), kNotWhole},
        {"4 GiB after the end in further gzip members", packages::zeros_after_end(4096, false), kNotWhole},
        {"4,096 global headers of 1 MiB", packages::global_headers(4096), kNotWhole},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LT(c.gz.size(), 5u << 20);
        const auto t0 = std::chrono::steady_clock::now();
        const Result r = upgrade_with(c.gz);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(r.status, -2);
        EXPECT_NE(r.console.find("upgrade package QRN_kq7_V9.upg refused: " + c.reason), std::string::npos)
            << r.console;
        EXPECT_LT(seconds, 2.0);
        EXPECT_FALSE(unpacked());
        EXPECT_EQ(board_files(), before);
    }
}

TEST_F(PackageCheck, TheBoundsLetARealPackageThroughAndStopOneBeyond) {
    // 1,000 members: the two files, a folder and 997 files in it.
    auto many = [](int files) {
        auto ms = packages::sound_members();
        ms.push_back(Member{"res/", "", '5', 0755});
        for (int i = 0; i < files; ++i) ms.push_back(Member{"res/" + std::to_string(i), std::to_string(i)});
        return packages::package(ms);
    };
    EXPECT_EQ(upgrade_with(many(998)).console.find("refused: it holds more than 1000 members") != std::string::npos,
              true);
    Result r = upgrade_with(many(997));
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(get(at("/home/res/996")), "996");
    // 16 names deep: 15 folders and a file.
    auto deep = [](int folders) {
        auto ms = packages::sound_members();
        std::string path;
        for (int i = 0; i < folders; ++i) path += "f/";
        ms.push_back(Member{path + "leaf", "leaf"});
        return packages::package(ms);
    };
    r = upgrade_with(deep(16));
    EXPECT_EQ(r.status, -2);
    EXPECT_NE(r.console.find("refused: f/f/f/f/f/f/f/f/f/f/f/f/f/f/f/f/leaf lies more than 16 names deep"),
              std::string::npos);
    r = upgrade_with(packages::package_with(packages::named({std::string(255, 'n'), "longest"})));
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(get(at("/home/" + std::string(255, 'n'))), "longest");
    r = upgrade_with(deep(15));
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(get(at("/home/f/f/f/f/f/f/f/f/f/f/f/f/f/f/f/leaf")), "leaf");
    // A folder no member lists counts too: the two files and 499 files, each
    // in a folder of its own that no member lists, make 1,000 members.
    r = upgrade_with(packages::implied_folders(499, 1));
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(get(at("/home/p498/f")), "x");
    r = upgrade_with(packages::implied_folders(500, 1));
    EXPECT_NE(r.console.find("refused: it holds more than 1000 members"), std::string::npos) << r.console;
    EXPECT_FALSE(unpacked());
    // After the end blocks: the rest of their 10240-byte record and 1 MiB of padding.
    r = upgrade_with(packages::zeros_after_end(1, true));
    EXPECT_EQ(r.status, 0) << r.console;
    r = upgrade_with(packages::zeros_after_end(1, false) + packages::gzip(std::string(1, '\0')));
    EXPECT_NE(r.console.find("refused: it is not a whole gzip"), std::string::npos) << r.console;
    EXPECT_TRUE(logged("shell: tar: the stream goes on past the archive's end and its padding"));
    EXPECT_FALSE(unpacked());
}

TEST_F(PackageCheck, ThePackageMustFitTheFlashLeavingItsReserve) {
    // Most of the flash taken by one file with no blocks behind it.
    struct statfs st {};
    ASSERT_EQ(plat_statfs("/home", &st), 0);
    const std::uint64_t free_bytes = static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_bsize);
    ASSERT_GT(free_bytes, 64u << 20);
    {
        std::ofstream(at("/home/filler"));
    }
    fs::resize_file(at("/home/filler"), free_bytes - (8u << 20));
    ASSERT_EQ(plat_statfs("/home", &st), 0);
    ASSERT_EQ(st.f_bsize, 4096);
    const std::uint64_t spare =
        static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_bsize) - kKeepFreeBytes;
    const auto before = board_files();
    const auto blocks = [](std::uint64_t n) { return (n + 4095) / 4096 * 4096; };
    const auto refused_as = [&](const Result& r, const std::string& reason) {
        EXPECT_EQ(r.status, -2);
        EXPECT_NE(r.console.find("refused: " + reason), std::string::npos) << r.console;
        EXPECT_FALSE(unpacked());
        EXPECT_EQ(board_files(), before);
    };
    // The package's copy on the flash comes first, bounded by the room.
    const std::string junk(spare, 'j');
    refused_as(upgrade_with(junk + "j"),
               "it is larger than the " + std::to_string(spare >> 10) + " KB the flash can spare");
    refused_as(upgrade_with(junk), "it is not a whole gzip-compressed tar archive");

    // Then each file in whole 4 KiB blocks beside that copy, a block for each
    // folder, listed or not, and the start script twice (/home, /etc/init.d):
    // the sound package with one more file of n bytes, which lands `times`
    // over while the rest takes `fixed`.
    const auto make = [](const char* name, std::uint64_t n) {
        auto ms = packages::sound_members();
        ms.push_back(Member{name, std::string(n, 'z')});
        return packages::package(ms);
    };
    struct Case {
        const char* name;
        std::uint64_t fixed, times;
    };
    for (const Case& c : std::vector<Case>{{"big", 3 * 4096, 1}, {"x/y/big", 5 * 4096, 1}, {"rcS", 3 * 4096, 2}}) {
        SCOPED_TRACE(c.name);
        // The largest that fits, given the blocks its own copy takes.
        const std::uint64_t copy = blocks(make(c.name, (spare - c.fixed) / c.times).size());
        const std::uint64_t room = spare - copy, size = (room - c.fixed) / (c.times * 4096) * 4096;
        const std::string fits = make(c.name, size), beyond = make(c.name, size + 1);
        ASSERT_EQ(blocks(fits.size()), copy);
        ASSERT_EQ(blocks(beyond.size()), copy);
        refused_as(upgrade_with(beyond), "it unpacks to more than the " + std::to_string(room >> 10) +
                                             " KB the flash can spare");
        const Result r = upgrade_with(fits);
        EXPECT_EQ(r.status, 0) << r.console;
        fs::remove_all(at("/home/x"));
        for (const char* f : {"/home/big", "/home/rcS", "/home/test.hex", "/etc/init.d/rcS"}) fs::remove(at(f));
        put(at("/etc/init.d/rcS"), "#!/bin/sh\necho old\n");
    }
}

TEST_F(PackageCheck, APackageMergesIntoHomeOrIsRefusedWhenSomethingIsInTheWay) {
    const auto sound = [] {
        auto ms = packages::sound_members();
        ms.push_back(Member{"app/", "", '5', 0755});
        ms.push_back(Member{"app/same", "after"});
        ms.push_back(Member{"app/new", "new", '0', 0755});
        return packages::package(ms);
    }();
    // A file where the package has a folder, a link where it has one.
    fs::rename(at("/home/app"), at("/home/app.keep"));
    put(at("/home/app"), "a file");
    auto before = board_files();
    Result r = upgrade_with(sound);
    EXPECT_EQ(r.status, -2);
    EXPECT_NE(r.console.find("refused: /home/app is in the way"), std::string::npos) << r.console;
    EXPECT_EQ(board_files(), before);
    fs::remove(at("/home/app"));
    fs::create_symlink("app.keep", at("/home/app"));
    before = board_files();
    r = upgrade_with(sound);
    EXPECT_NE(r.console.find("refused: /home/app is in the way"), std::string::npos) << r.console;
    EXPECT_EQ(board_files(), before);
    fs::remove(at("/home/app"));
    fs::rename(at("/home/app.keep"), at("/home/app"));

    r = upgrade_with(sound);
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(get(at("/home/app/old")), "old");
    EXPECT_EQ(get(at("/home/app/same")), "after");
    EXPECT_EQ(get(at("/home/app/new")), "new");
    EXPECT_EQ(get(at("/home/rcS")), packages::kScript);
    EXPECT_EQ(get(at("/etc/init.d/rcS")), packages::kScript);
    EXPECT_FALSE(lexists(at(kStaging)));
    // Copied to the flash, that copy listed and unpacked once, aside; then moved.
    std::vector<std::string> tars;
    for (const auto& l : host::board_log_lines())
        if (l.find(" tar ") != std::string::npos) tars.push_back(l);
    EXPECT_EQ(tars, (std::vector<std::string>{"shell: tar -tzvf /home/upgrade.pkg",
                                              "shell: tar -xzvf /home/upgrade.pkg -C /home/upgrade.new"}));
    EXPECT_FALSE(lexists(at(kPackageCopy)));
    EXPECT_TRUE(logged("shell: mv /home/upgrade.new/app/same /home/app/same"));
    // The start script not copied: the new /home stays, the upgrade fails.
    fs::remove(at("/home/rcS"));
    host::inject_failure("sh cp");
    r = upgrade_with(sound);
    EXPECT_EQ(r.status, -2);
    EXPECT_EQ(r.console, "copy file failed!\n");
    EXPECT_EQ(get(at("/home/rcS")), packages::kScript);
}

// A board whose tar unpacks what this one refuses: the application's own walk
// of the staged tree is what stands between it and /home.
TEST_F(PackageCheck, TheStagedTreeHoldsOnlyRegularFilesAndFolders) {
    const PackageRoom room = package_room();
    const fs::path stage = at(kStaging);
    auto fresh = [&] {
        fs::remove_all(stage);
        put(stage / "rcS", "x");
        put(stage / "app/bin", "x");
    };
    std::string why;
    fresh();
    EXPECT_TRUE(staged_tree_ok(kStaging, room, why)) << why;

    struct Case {
        std::string name, reason;
        std::function<void()> make;
    };
    const std::vector<Case> cases = {
        {"link to a file", "/home/upgrade.new/app/lib is a symbolic link",
         [&] { fs::create_symlink("/home/config/ImageParam.dat", stage / "app/lib"); }},
        {"link to a folder", "/home/upgrade.new/etc is a symbolic link",
         [&] { fs::create_directory_symlink(root_ / "etc", stage / "etc"); }},
        {"dangling link", "/home/upgrade.new/app/gone is a symbolic link",
         [&] { fs::create_symlink("nowhere", stage / "app/gone"); }},
        {"fifo", "/home/upgrade.new/app/pipe is a fifo", [&] { ::mkfifo((stage / "app/pipe").c_str(), 0600); }},
        {"socket", "/home/upgrade.new/sock is a socket",
         [&] {
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un a{};
             a.sun_family = AF_UNIX;
             std::snprintf(a.sun_path, sizeof a.sun_path, "%s", (stage / "sock").c_str());
             ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
             ::close(s);
         }},
        {"hard link", "/home/upgrade.new/rcS is a file with more than one link",
         [&] { fs::create_hard_link(stage / "rcS", root_ / "home/config/rcS.link"); }},
        {"control byte in a file name", "/home/upgrade.new/app/a\\x01b holds a control byte",
         [&] { put(stage / "app/a\x01" "b", "x"); }},
        {"line feed in a folder name", "/home/upgrade.new/new\\x0aline holds a control byte",
         [&] { put(stage / "new\nline/f", "x"); }},
        {"too deep", "lies more than 16 names deep",
         [&] { put(stage / "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/f", "x"); }},
        {"too many", "it holds more than 1000 members",
         [&] {
             for (int i = 0; i < 1000; ++i) put(stage / "app" / std::to_string(i), "");
         }},
        {"too big", "it unpacks to more than the ",
         [&] {
             std::ofstream(stage / "app/big");
             fs::resize_file(stage / "app/big", room.bytes);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.make();
        why.clear();
        EXPECT_FALSE(staged_tree_ok(kStaging, room, why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        fs::remove(root_ / "home/config/rcS.link");
    }
    // The staging folder itself a link: not walked at all.
    fs::remove_all(stage);
    fs::create_directory_symlink(root_ / "etc", stage);
    EXPECT_FALSE(staged_tree_ok(kStaging, room, why));
    fs::remove(stage);
}

TEST_F(PackageCheck, AMutatedPackageIsInstalledWholeOrChangesNothing) {
    const std::string tar = tar_build::tar_of({{"rcS", packages::kScript, '0', 0755},
                                               {"test.hex", packages::kHex},
                                               {"app/", "", '5', 0755},
                                               {"app/same", "after"},
                                               {"lib", "", '2', 0777, "/etc"}});
    const std::string sound = tar_build::tar_of(
        {{"rcS", packages::kScript, '0', 0755}, {"test.hex", packages::kHex}, {"app/same", "after"}});
    const auto baseline = board_files();
    auto restore = [&] {
        for (const char* top : {"home", "etc"}) fs::remove_all(root_ / top);
        for (const auto& [rel, what] : baseline) {
            const fs::path p = rel.starts_with("/etc/") ? root_ / "etc" / rel.substr(5) : root_ / "home" / rel;
            if (what == "folder") fs::create_directories(p);
        }
        for (const auto& [rel, what] : baseline)
            put_listed(rel.starts_with("/etc/") ? root_ / "etc" / rel.substr(5) : root_ / "home" / rel, what);
    };
    int accepted = 0, refused = 0;
    auto one = [&](const std::string& gz) {
        const Result r = upgrade_with(gz);
        const auto after = board_files();
        if (r.status != 0) {
            ++refused;
            ASSERT_EQ(after, baseline) << r.console;
        } else {
            ++accepted;
            std::string hex;
            ASSERT_TRUE(read_whole("/home/test.hex", hex));
            ASSERT_TRUE(hex_file_ok(hex.data(), hex.size()));
            ASSERT_EQ(get(at("/etc/init.d/rcS")), get(at("/home/rcS")));
            restore();
        }
        ASSERT_FALSE(lexists(at(kStaging)));
    };
    const auto t0 = std::chrono::steady_clock::now();
    one(packages::gzip(sound));
    // The archive mutated, then compressed; and the compressed bytes mutated.
    packages::mutate_tars({tar, sound}, 80, 0, one);
    const std::string gz1 = packages::gzip(tar), gz2 = packages::gzip(sound);
    mutate_and_run([&](const std::uint8_t* d, std::size_t n) { one(std::string(d, d + n)); },
                   {{gz1.begin(), gz1.end()}, {gz2.begin(), gz2.end()}}, 200, 12);
    packages::expect_both_outcomes(accepted, refused, t0);
    outside_intact();
}

}  // namespace
