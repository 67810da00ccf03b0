// Settings export and import and the system upgrade, through the pages with
// key frames: what lands on the disk, in the settings and on the board, and
// what the microcontroller receives.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>

#include "tests/menus/menu_run.h"
#include "tests/screen_compare.h"
#include "tests/tar_build.h"

namespace {
using namespace menu_run;
using tar_build::Member;

constexpr int kLoadKey = 16;  // on the calibration screen

std::vector<std::string> log_lines(const fs::path& out, const std::string& prefix) {
    std::ifstream in(out / "board.log");
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(prefix);
        if (at != std::string::npos) found.push_back(line.substr(at + prefix.size()));
    }
    return found;
}

// Intel HEX records of pseudo-random data, upper-case, ending with the end record.
std::vector<std::string> hex_records(int count) {
    std::vector<std::string> out;
    unsigned seed = 7;
    for (int r = 0; r < count; ++r) {
        std::vector<unsigned> b{16, static_cast<unsigned>(r * 16 >> 8), static_cast<unsigned>(r * 16 & 255), 0};
        for (int i = 0; i < 16; ++i) b.push_back((seed = seed * 1103515245 + 12345) >> 16 & 255);
        unsigned sum = 0;
        for (unsigned v : b) sum += v;
        b.push_back((256 - sum % 256) % 256);
        std::string line = ":";
        char two[3];
        for (unsigned v : b) std::snprintf(two, sizeof two, "%02X", v), line += two;
        out.push_back(line);
    }
    out.push_back(":00000001FF");
    return out;
}

// The installer's way to the import and export page: calibration, then key 16.
void open_load_page(Script& s) {
    open_installer(s);
    s.key(OK);
    s.key(kLoadKey);
}

TEST(TransferRun, ExportWritesAnExactCopyNamedByTheTime) {
    TempDir tmp;
    const Flash_param p = settings(1);
    write_settings(tmp.path / "settings.dat", p);
    Script s;
    s.text << "speed 1000\nsettings settings.dat\nrtc 2024-05-06 07:08:09 1\ndisk usb 2000\n";
    open_load_page(s);
    s.key(OK);
    s.wait(1.5);
    ASSERT_TRUE(run(tmp.path, s.end()));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp.path / "out/board/usb/usb/files"))
        if (e.path().extension() == ".dat") names.push_back(e.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    // "20240506-0708SS.dat": the board clock's date and time of the export.
    const std::string& n = names[0];
    EXPECT_TRUE(n.size() == 19 && n.starts_with("20240506-0708") && n.ends_with(".dat") && n[13] >= '0' &&
                n[13] <= '5' && std::isdigit(static_cast<unsigned char>(n[14])))
        << n;
    const std::string copy = read_file(tmp.path / "out/board/usb/usb/files" / names[0]);
    EXPECT_EQ(std::vector<std::uint8_t>(copy.begin(), copy.end()), bytes_of(p));
}

TEST(TransferRun, AShortFileIsRefusedAndAWholeRecordAppliesAtOnce) {
    const Flash_param before = settings(1);
    Flash_param changed = before;
    changed.car_num.flagy = 2;  // Traditional Chinese
    changed.car_num.gj_kind = 7;
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", before);
    write_settings(tmp.path / "changed.dat", changed);
    write_bytes(tmp.path / "short.dat", std::vector<std::uint8_t>(10, 0x02));
    // The list is newest name first: "short.dat", then the time-stamped one.
    const std::string setup = "speed 1000\nsettings settings.dat\ndisk usb 2000\n"
                              "disk_file usb changed.dat 20240506-070900.dat\ndisk_file usb short.dat\n";
    {
        Script s;
        s.text << setup;
        open_load_page(s);
        s.keys({DOWN, OK});
        s.wait(1.5);
        ASSERT_TRUE(run(tmp.path, s.end()));
        EXPECT_EQ(settings_file(tmp.path / "out"), bytes_of(before));
        EXPECT_NE(read_file(tmp.path / "out/console.log").find("not a settings file: /opt/short.dat"),
                  std::string::npos);
    }
    Script s;
    s.text << setup;
    open_load_page(s);
    s.keys({DOWN, DOWN, OK});
    s.wait(1.5);
    s.keys({EXIT, EXIT});  // the calibration screen, then the installer menu
    s.shot("installer");
    fs::remove_all(tmp.path / "out");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    EXPECT_EQ(settings_file(out), bytes_of(changed));
    EXPECT_EQ(log_lines(out, "mcu: car numbers "), std::vector<std::string>{"7 0"});
    // No restart: the menus are in the imported language at once.
    expect_like_reference("menu-ft-installer", screen(out, "installer").argb);
}

class UpgradeRun : public ::testing::Test {
protected:
    TempDir tmp;
    std::string setup = "speed 1000\nsettings settings.dat\ndisk usb 2000\n";
    void SetUp() override { write_settings(tmp.path / "settings.dat", settings(1)); }
    void package(const std::string& name, const std::vector<Member>& members) {
        tar_build::gzip_to(tmp.path / name, tar_build::tar_of(members));
        setup += "disk_file usb " + name + "\n";
    }
    // The upgrade page from idle, on the first package.
    static void open_upgrade_page(Script& s) {
        open_installer(s);
        s.keys({DOWN, DOWN, DOWN, DOWN, DOWN, DOWN, OK});
    }
};

TEST_F(UpgradeRun, APackageInstallsItsScriptAndSendsEveryFirmwareLineThenRestarts) {
    const auto records = hex_records(40);
    std::string hex;
    // A blank line after the first record; the last line has no line end.
    for (std::size_t i = 0; i < records.size(); ++i)
        hex += records[i] + (i == 0 ? "\r\n\r\n" : i + 1 < records.size() ? "\r\n" : "");
    package("QRN_kq7_V2.upg", {{"rcS", "#!/bin/sh\necho v2\n", '0', 0755}, {"test.hex", hex}, {"app/v2", "bin"}});
    setup += "mcu_reject_line 3\n";
    Script s;
    s.text << setup;
    open_upgrade_page(s);
    s.key(OK);
    s.wait(3);
    s.at("log later");  // the reboot ends the run before this
    ASSERT_TRUE(run(tmp.path, s.text.str()));
    const fs::path out = tmp.path / "out";
    // Every record in order, as frames the microcontroller accepted; the
    // third was asked for again once and sent again.
    EXPECT_EQ(log_lines(out, "mcu: firmware line "), [&] {
        std::vector<std::string> want;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i == 2) want.push_back("rejected " + records[i]);
            want.push_back(records[i]);
        }
        return want;
    }());
    EXPECT_EQ(read_file(out / "board/etc/init.d/rcS"), "#!/bin/sh\necho v2\n");
    EXPECT_EQ(read_file(out / "board/home/app/v2"), "bin");
    const auto file = settings_file(out);
    ASSERT_EQ(file.size(), 268u);
    EXPECT_EQ(file[248] | file[249] << 8, 9);
    EXPECT_EQ(file[250] | file[251] << 8, 12);
    EXPECT_EQ(log_lines(out, "shell: reboot").size(), 1u);
    EXPECT_TRUE(fs::exists(out / "board/home/upgrade.new") == false);
}

TEST_F(UpgradeRun, BrokenPackagesChangeNothing) {
    const std::string good = ":0400000001020304F2\n:00000001FF\n";
    const std::string outside = "/tmp/svsim-upgrade-escape-" + std::to_string(::getpid());
    package("QRN_kq7_V1.upg", {{"test.hex", good}});                                   // no start script
    package("QRN_kq7_V2.upg", {{"rcS", "x"}, {"test.hex", ":0400000001020304F3\n:00000001FF\n"}});  // bad sum
    package("QRN_kq7_V3.upg", {{"rcS", "x"}, {"test.hex", good}, {"../escape", "x"}});
    package("QRN_kq7_V4.upg", {{"rcS", "", '2', 0777, "/etc/passwd"}, {"test.hex", good}});
    package("QRN_kq7_V5.upg", {{"rcS", "x"}, {"test.hex", good}, {outside, "x"}});
    package("QRN_kq7_V6.upg", {{"rcS", "x"}, {"test.hex", ":0400000001020304F2\n"}});  // no end record
    Script s;
    s.text << setup;
    open_upgrade_page(s);
    for (int i = 0; i < 6; ++i) {
        s.key(OK);
        s.wait(1.2);
        s.key(DOWN);
    }
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    EXPECT_EQ(settings_file(out), bytes_of(settings(1)));
    EXPECT_FALSE(fs::exists(out / "board/etc/init.d/rcS"));
    for (const char* name : {"rcS", "test.hex", "escape", "upgrade.new"}) EXPECT_FALSE(fs::exists(out / "board/home" / name)) << name;
    EXPECT_FALSE(fs::exists(out / "board/escape"));
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_TRUE(log_lines(out, "shell: reboot").empty());
    EXPECT_TRUE(log_lines(out, "mcu: upgrade start").empty());
    const std::string console = read_file(out / "console.log");
    // The reason on its own line, then the unpacking's failure.
    for (int v = 1; v <= 6; ++v) {
        const std::size_t at = console.find("upgrade package QRN_kq7_V" + std::to_string(v) + ".upg refused: ");
        ASSERT_NE(at, std::string::npos) << v;
        EXPECT_LT(console.find("\ntar file failed!\n", at), console.find("upgrade package", at + 1)) << v;
    }
}

}  // namespace
