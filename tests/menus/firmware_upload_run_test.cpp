// The firmware upload through the upgrade page against a microcontroller
// that answers late, never, or loses a loading request: its answers carry no
// line number, so each record must reach it exactly once and in order
// (twice where it asked for it again), the end record before the restart.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/menus/menu_run.h"
#include "tests/tar_build.h"

namespace {
using namespace menu_run;

// Three data records and the end record, checksums worked out by hand.
const std::vector<std::string> kRecords = {":08000000E7EEE7615EF35F30FB", ":08000800E49B482E15CAE750E5",
                                           ":0800100007201E12617B0FEDB9", ":00000001FF"};

// What the board log says after "mcu: " and after "shell: ", in order.
std::vector<std::string> mcu_and_shell(const fs::path& out) {
    std::ifstream in(out / "board.log");
    std::vector<std::string> found;
    for (std::string line; std::getline(in, line);)
        for (const char* tag : {"mcu: ", "shell: reboot"})
            if (const auto at = line.find(tag); at != std::string::npos) found.push_back(line.substr(at));
    return found;
}

std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A run that opens the upgrade page on a package of kRecords and starts it,
// with the microcontroller set by the scenario lines `mcu`.
fs::path upgrade_run(const TempDir& tmp, const std::string& mcu, double seconds) {
    write_settings(tmp.path / "settings.dat", settings(1));
    std::string hex;
    for (const auto& r : kRecords) hex += r + "\r\n";
    tar_build::gzip_to(tmp.path / "QRN_kq7_V2.upg",
                       tar_build::tar_of({{"rcS", "#!/bin/sh\n", '0', 0755}, {"test.hex", hex}}));
    Script s;
    // Plain pictures: the cameras do not matter here.
    s.text << "speed 1000\ncapture pattern\nsettings settings.dat\ndisk usb 2000\n"
              "disk_file usb QRN_kq7_V2.upg\nmcu_reject_line 2\n"
           << mcu << "\n";
    open_installer(s);
    s.keys({DOWN, DOWN, DOWN, DOWN, DOWN, DOWN, OK});
    s.key(OK);
    s.wait(seconds);
    EXPECT_TRUE(run(tmp.path, s.end()));
    return tmp.path / "out";
}

class LateMicrocontroller : public ::testing::TestWithParam<const char*> {};

TEST_P(LateMicrocontroller, GetsEachRecordOnceInOrderAndTheEndBeforeTheRestart) {
    TempDir tmp;
    const fs::path out = upgrade_run(tmp, GetParam(), 16);
    std::vector<std::string> seen = mcu_and_shell(out);
    // Repeated start commands are harmless (their answer is told apart), and
    // so are repeated loading requests, answered before the first line goes;
    // every record goes once.
    std::erase(seen, "mcu: upgrade start");
    std::erase_if(seen, [](const std::string& s) { return s.starts_with("mcu: heartbeat"); });
    const auto repeated_load = [](const std::string& a, const std::string& b) {
        return a == b && a == "mcu: upgrade load";
    };
    seen.erase(std::unique(seen.begin(), seen.end(), repeated_load), seen.end());
    std::vector<std::string> want = {"mcu: upgrade load",
                                           "mcu: firmware line " + kRecords[0],
                                           "mcu: firmware line rejected " + kRecords[1],
                                           "mcu: firmware line " + kRecords[1],
                                           "mcu: firmware line " + kRecords[2],
                                           "mcu: firmware line " + kRecords[3],
                                           "shell: reboot"};
    if (std::string(GetParam()).ends_with("mcu_ignore_load 1")) want.insert(want.begin(), "mcu: upgrade load ignored");
    EXPECT_EQ(seen, want);
    const std::string console = read_file(out / "console.log");
    EXPECT_EQ(count_of(console, "send ok!"), kRecords.size());
    EXPECT_EQ(count_of(console, "send fail!"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Delays, LateMicrocontroller,
                         ::testing::Values("mcu_reply_delay 0", "mcu_reply_delay 0.15", "mcu_reply_delay 1.5",
                                           "mcu_ignore_load 1"),
                         [](const auto& info) { return std::string(info.index == 0   ? "AtOnce"
                                                                   : info.index == 1 ? "After150ms"
                                                                   : info.index == 2 ? "After1500ms"
                                                                                     : "FirstLoadingRequestLost"); });

TEST(SilentMicrocontroller, FailsWithinItsBoundAndDoesNotRestart) {
    TempDir tmp;
    // The upload starts at about 8 s; it gives up on the start 10 s later.
    const fs::path out = upgrade_run(tmp, "mcu_reply_delay 3600", 13);
    const std::string log = read_file(out / "board.log");
    EXPECT_EQ(log.find("shell: reboot"), std::string::npos);
    EXPECT_EQ(log.find("mcu: firmware line"), std::string::npos);
    EXPECT_NE(read_file(out / "console.log").find("no answer to the upgrade start"), std::string::npos);
}

}  // namespace
