// tar -xzvf: archives from the host's tar, hand-made hostile ones, broken ones.
#include <cstdio>
#include <cstdlib>
#include <zlib.h>

#include "storage_fixture.h"
#include "tests/tar_build.h"

namespace storage_test {
namespace {
using namespace tar_build;

class Tar : public Board {
protected:
    void SetUp() override {
        Board::SetUp();
        mount_disk();
    }
    // An archive made by the host's tar from a folder in the sandbox.
    fs::path host_tar(const fs::path& src, const std::string& name) {
        const fs::path out = host::disk_files("stick") / name;
        const std::string cmd = "tar -czf '" + out.string() + "' -C '" + src.string() + "' .";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return out;
    }
};

TEST_F(Tar, ExtractsAHostArchiveWithModesAndTimes) {
    const fs::path src = sandbox_ / "pkg";
    put(src / "rcS", "#!/bin/sh\n");
    put(src / "test.hex", ":00000001FF\n");
    const std::string long_name(120, 'n');
    put(src / "deep/er" / long_name, "long");
    fs::permissions(src / "rcS", fs::perms(0755));
    fs::permissions(src / "test.hex", fs::perms(0600));
    const timespec t[2] = {{1400000000, 0}, {1400000000, 0}};
    ::utimensat(AT_FDCWD, (src / "test.hex").c_str(), t, 0);
    fs::permissions(src / "deep", fs::perms(0750));
    ::utimensat(AT_FDCWD, (src / "deep").c_str(), t, 0);
    host_tar(src, "QRN_kq7_V1.upg");

    ASSERT_EQ(sh_tar_xzvf("/opt/QRN_kq7_V1.upg", "/home/"), 0);
    EXPECT_TRUE(logged("shell: tar -xzvf /opt/QRN_kq7_V1.upg -C /home/"));
    EXPECT_TRUE(logged("shell: tar: ./rcS"));
    EXPECT_EQ(get(at("/home/rcS")), "#!/bin/sh\n");
    EXPECT_EQ(get(at("/home/deep/er/" + long_name)), "long");
    struct stat st;
    ASSERT_EQ(::stat(at("/home/rcS").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat(at("/home/test.hex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1400000000);
    ASSERT_EQ(::stat(at("/home/deep").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1400000000);
}

TEST_F(Tar, ExtractsPaxArchives) {
    const fs::path src = sandbox_ / "pkg";
    const std::string long_name(150, 'p');
    put(src / long_name, "pax");
    const fs::path out = host::disk_files("stick") / "pax.upg";
    const std::string cmd = "tar --format=pax -czf '" + out.string() + "' -C '" + src.string() + "' " + long_name;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_EQ(sh_tar_xzvf("/opt/pax.upg", "/home"), 0);
    EXPECT_EQ(get(at("/home/" + long_name)), "pax");
}

TEST_F(Tar, HostileMembersAreSkipped) {
    fs::create_directory_symlink(outside_, at("/home/lnk"));
    gzip_to(host::disk_files("stick") / "evil.upg",
            tar_of({{"good.txt", "good"},
                    {"../evil", "evil"},
                    {"/abs", "abs"},
                    {"a/../../evil2", "evil"},
                    {"link", "", '2', 0777, "/etc/passwd"},
                    {"hard", "", '1', 0644, "good.txt"},
                    {"lnk/through-link", "evil"},
                    {"x;touch pwned", "odd but fine"},
                    {"suid", "s", '0', 04755},
                    {"sub/", "", '5', 0755},
                    {"sub/ok", "ok"}}));
    EXPECT_EQ(sh_tar_xzvf("/opt/evil.upg", "/home/"), 1);  // a member could not be written
    EXPECT_EQ(get(at("/home/good.txt")), "good");
    EXPECT_EQ(get(at("/home/sub/ok")), "ok");
    EXPECT_EQ(get(at("/home/x;touch pwned")), "odd but fine");
    EXPECT_FALSE(lexists(at("/home/link")));
    EXPECT_FALSE(lexists(at("/home/hard")));
    struct stat st;
    ASSERT_EQ(::stat(at("/home/suid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_TRUE(logged("shell: tar: skipping member whose name leaves the folder: ../evil"));
    EXPECT_TRUE(logged("shell: tar: skipping member with an absolute name: /abs"));
    EXPECT_TRUE(logged("shell: tar: skipping link: symbolic link not extracted"));
    for (const auto& e : fs::recursive_directory_iterator(sandbox_)) {
        EXPECT_NE(e.path().filename(), "evil");
        EXPECT_NE(e.path().filename(), "evil2");
        EXPECT_NE(e.path().filename(), "through-link");
        EXPECT_NE(e.path().filename(), "pwned");
    }
    EXPECT_FALSE(lexists(root_ / "abs"));
    outside_intact();
}

TEST_F(Tar, EachRefusedMemberAloneFailsTheExtraction) {
    // An upgrade is checked by this status: a package with any member that
    // is not written must not pass as unpacked.
    const std::vector<std::vector<Member>> cases = {{{"../x", "x"}},
                                                   {{"/abs", "x"}},
                                                   {{"link", "", '2', 0777, "rcS"}},
                                                   {{"hard", "", '1', 0644, "good.txt"}},
                                                   {{"dev", "", '3', 0644}}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::vector<Member> members{{"good.txt", "good"}};
        members.insert(members.end(), cases[i].begin(), cases[i].end());
        const std::string name = "bad" + std::to_string(i) + ".upg";
        gzip_to(host::disk_files("stick") / name, tar_of(members));
        EXPECT_EQ(sh_tar_xzvf(("/opt/" + name).c_str(), "/home/"), 1) << i;
    }
}

TEST_F(Tar, TruncatedArchiveFailsAndKeepsWhatCameBefore) {
    const fs::path src = sandbox_ / "pkg";
    put(src / "a-first", "first");
    std::string noise(400000, '\0');
    unsigned v = 12345;
    for (auto& c : noise) c = static_cast<char>((v = v * 1103515245 + 12345) >> 16);
    put(src / "b-noise", noise);
    const std::string member_list = "a-first b-noise";
    const fs::path out = host::disk_files("stick") / "cut.upg";
    ASSERT_EQ(std::system(("tar -czf '" + out.string() + "' -C '" + src.string() + "' " + member_list).c_str()), 0);
    fs::resize_file(out, fs::file_size(out) / 2);
    EXPECT_EQ(sh_tar_xzvf("/opt/cut.upg", "/home/"), 1);
    EXPECT_EQ(get(at("/home/a-first")), "first");
}

TEST_F(Tar, BrokenOrMissingArchivesFail) {
    std::string bytes = tar_of({{"f", "data"}});
    EXPECT_EQ(sh_tar_xzvf("/opt/missing.upg", "/home/"), 1);
    EXPECT_EQ(sh_tar_xzvf("/opt/missing.upg", "/no/folder"), 1);
    put(host::disk_files("stick") / "plain.upg", bytes);  // not compressed
    EXPECT_EQ(sh_tar_xzvf("/opt/plain.upg", "/home/"), 1);
    std::string bad = bytes;
    bad[0] = 'g';  // header no longer matches its check sum
    gzip_to(host::disk_files("stick") / "sum.upg", bad);
    EXPECT_EQ(sh_tar_xzvf("/opt/sum.upg", "/home/"), 1);
    EXPECT_TRUE(logged("shell: tar: archive header checksum error"));
    gzip_to(host::disk_files("stick") / "ok.upg", bytes);
    std::string gz = get(host::disk_files("stick") / "ok.upg");
    gz[gz.size() - 6] ^= 0x55;  // the gzip trailer's check
    put(host::disk_files("stick") / "crc.upg", gz);
    EXPECT_EQ(sh_tar_xzvf("/opt/crc.upg", "/home/"), 1);
    EXPECT_EQ(sh_tar_xzvf("/opt/ok.upg", "/home/"), 0);
    EXPECT_EQ(get(at("/home/f")), "data");
}

}  // namespace
}  // namespace storage_test
