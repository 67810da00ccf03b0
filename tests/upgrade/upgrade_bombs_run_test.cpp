// Upgrade bombs through the installer's upgrade page: small packages that
// would unpack to 3 GiB, to 100,000 files, to a folder chain 2,000 deep or to
// 15,000 folders no member lists, a start script too big to land twice,
// members no board should unpack and 4 GiB after the archive's end, are each
// refused with the reason on the console; the board is left exactly as it
// was and never restarts.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/menus/menu_run.h"
#include "tests/upgrade/packages.h"

namespace {
using namespace menu_run;
using packages::Member;

TEST(UpgradeBombsRun, EachIsRefusedWithItsReasonAndLeavesTheBoardAsItWas) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    std::string setup = "speed 1000\nsettings settings.dat\ndisk usb 2000\n";
    auto with = [](std::vector<Member> extra) {
        auto ms = packages::sound_members();
        ms.insert(ms.end(), extra.begin(), extra.end());
        return packages::package(ms);
    };
    const std::string up = std::string("..\0x/", 5);
    // Listed newest name first, so V5 comes first on the page.
    const std::vector<std::pair<std::string, std::string>> packages = {
        {packages::size_bomb(3072), "it unpacks to more than the "},
        {packages::count_bomb(100000), "it holds more than 1000 members"},
        {packages::depth_bomb(2000), "lies more than 16 names deep"},
        {with({{"app/init", "", '1', 0644, "/home/config/ImageParam.dat"}}), "app/init is a hard link"},
        {with({{"tty", "", '3'}}), "tty is a character device"},
        // 200 MiB in /home and again in /etc/init.d, on the 256 MiB flash.
        {packages::script_bomb(200), "it unpacks to more than the "},
        {packages::implied_folders(998, 15), "it holds more than 1000 members"},
        {packages::package_with(packages::pax_named(std::string("..\0x/..\0x/..\0x/escape", 21), {"a", "x"})),
         "it is not a whole gzip-compressed tar archive\ntar file failed!\n"},
        // "..\0x" is ".." to a system call: four climb from /home/upgrade.new to the run's folder.
        {with({tar_build::pax_header(tar_build::pax_record("path", up + up + up + up + "ESCAPED")), {"a", "x"}}),
         "it is not a whole gzip-compressed tar archive"},
        {packages::zeros_after_end(4096, true), "it is not a whole gzip-compressed tar archive\ntar file failed!\n"},
        {packages::zeros_after_end(4096, false), "it is not a whole gzip-compressed tar archive"},
    };
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::string name = "QRN_kq7_V" + std::to_string(i + 1) + ".upg";
        std::ofstream(tmp.path / name, std::ios::binary) << packages[i].first;
        setup += "disk_file usb " + name + "\n";
    }
    Script s;
    s.text << setup;
    open_installer(s);
    s.keys({DOWN, DOWN, DOWN, DOWN, DOWN, DOWN, OK});
    for (std::size_t i = 0; i < packages.size(); ++i) {
        s.key(OK);
        s.wait(1.2);  // the message's second
        s.key(DOWN);
    }
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(run(tmp.path, s.end()));
    std::printf("the run took %.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    const fs::path out = tmp.path / "out";
    const std::string console = read_file(out / "console.log");
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::string name = "QRN_kq7_V" + std::to_string(i + 1) + ".upg";
        EXPECT_NE(console.find("upgrade package " + name + " refused: "), std::string::npos) << name;
        EXPECT_NE(console.find(packages[i].second, console.find("upgrade package " + name + " refused: ")),
                  std::string::npos)
            << name;
    }
    // Nothing was unpacked: the board holds what it held.
    std::vector<std::string> home, etc;
    for (const auto& e : fs::recursive_directory_iterator(out / "board/home"))
        home.push_back(fs::relative(e.path(), out / "board/home").string());
    std::sort(home.begin(), home.end());
    EXPECT_EQ(home, (std::vector<std::string>{"config", "config/ImageParam.dat"}));
    EXPECT_TRUE(fs::is_empty(out / "board/etc/init.d"));
    for (const char* escape : {"board/escape", "escape"}) EXPECT_FALSE(fs::exists(out / escape)) << escape;
    EXPECT_EQ(settings_file(out), bytes_of(settings(1)));
    const std::string log = read_file(out / "board.log");
    EXPECT_EQ(times_of(log, "shell: tar -tzvf").size(), packages.size());
    EXPECT_TRUE(times_of(log, "tar -xzvf").empty());
    EXPECT_TRUE(times_of(log, "shell: reboot").empty());
    EXPECT_TRUE(times_of(log, "mcu: upgrade start").empty());
    // svsim wrote nothing outside its output folder.
    std::vector<std::string> beside;
    for (const auto& e : fs::directory_iterator(tmp.path)) beside.push_back(e.path().filename().string());
    std::sort(beside.begin(), beside.end());
    std::vector<std::string> made{"out", "settings.dat", "stderr.txt", "test.scn"};
    for (std::size_t i = 0; i < packages.size(); ++i) made.push_back("QRN_kq7_V" + std::to_string(i + 1) + ".upg");
    std::sort(made.begin(), made.end());
    EXPECT_EQ(beside, made);
}

}  // namespace
