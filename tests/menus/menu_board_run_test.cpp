// What the menu pages do to the board: commands on the serial line, the clock
// chip and the system clock, the USB disk, and the recording around a menu.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "dsp/dsp_caidan.h"
#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

// Ink of a screen's panel (columns 308 on) outside one text box.
int ink_outside(const host::Picture& p, int x, int y, int w) {
    int n = 0;
    for (int r = 0; r < 480; ++r)
        for (int c = 308; c < 800; ++c)
            if (!black(p.argb[r * 800 + c]) && !(c >= x && c < x + w && r >= y && r < y + 24)) ++n;
    return n;
}
int ink_inside(const host::Picture& p, int x, int y, int w) { return 24 * w - [&] {
        int dark = 0;
        for (int r = y; r < y + 24; ++r)
            for (int c = x; c < x + w; ++c) dark += black(p.argb[r * 800 + c]);
        return dark;
    }(); }

TEST(MenuBoardRun, CommandsClockAndFormatGoToTheBoard) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\nrtc 2024-05-06 07:08:09 1\ndisk usb 2000\n";
    s.at("overlay stamp-before");
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, DOWN, OK});                  // reset track angle
    s.keys({DOWN, OK, DOWN, DOWN, DOWN});      // record settings, parking-record item
    s.keys({RIGHT, LEFT});                     // its two commands
    s.keys({UP, UP, OK});                      // the date page
    s.keys({RIGHT, DOWN, LEFT, DOWN, RIGHT, RIGHT, DOWN, LEFT});  // 2025, April, the 8th, 6 o'clock
    s.keys({DOWN, DOWN, DOWN, OK});            // save
    s.wait(1.2);
    s.at("overlay stamp-after");
    s.keys({DOWN, DOWN, DOWN, OK, DOWN});      // the disk page, "Ok"
    s.at("log unmount-refused");                // a disk that never lets go
    s.at("fail -1 sh umount");
    s.key(OK);
    s.wait(5.45);                              // 50 tries 100 ms apart
    s.at("screenshot format-failed");
    s.wait(1.5);
    s.at("clear_failures");
    s.key(DOWN);
    s.at("log format");
    s.key(OK);
    s.wait(0.45);
    s.at("screenshot formatting");             // within the second of the message
    s.wait(1.5);
    s.shot("formatted");
    s.at("disk remove", 2.0);  // the heartbeat says so
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";
    const std::string log = read_file(out / "board.log");

    // The microcontroller got each command whole, among the heartbeats, which
    // still come through after them (their value follows the disk: mounted,
    // then pulled at the end).
    const auto mcu = lines_with(log, "mcu: ");
    std::vector<std::string> seen;
    for (const auto& l : mcu)
        if (l.find("simulator on") == std::string::npos) seen.push_back(l);
    EXPECT_EQ(seen, (std::vector<std::string>{"mcu: heartbeat 1", "mcu: track reset", "mcu: record key 0xca",
                                              "mcu: record key 0xc5", "mcu: heartbeat 0"}));

    // The clock chip's registers in BCD, year first; minutes and seconds as
    // read on entering the page; weekday 1 is register value 2.
    const auto reads01 = lines_with(log, "i2c: read 0xd0 reg 0x01 -> ");
    const auto reads00 = lines_with(log, "i2c: read 0xd0 reg 0x00 -> ");
    ASSERT_GE(reads01.size(), 2u);
    const std::string minute = reads01.back().substr(reads01.back().size() - 4);
    const std::string second = reads00.back().substr(reads00.back().size() - 4);
    EXPECT_EQ(lines_with(log, "i2c: write 0xd0"),
              (std::vector<std::string>{"i2c: write 0xd0 reg 0x06 = 0x25", "i2c: write 0xd0 reg 0x05 = 0x84",
                                        "i2c: write 0xd0 reg 0x03 = 0x02", "i2c: write 0xd0 reg 0x04 = 0x08",
                                        "i2c: write 0xd0 reg 0x02 = 0x06", "i2c: write 0xd0 reg 0x01 = " + minute,
                                        "i2c: write 0xd0 reg 0x00 = " + second}));
    // Then the board's clock was set from the chip: 2025-04-08 06:mm:ss.
    std::tm t{};
    t.tm_year = 125, t.tm_mon = 3, t.tm_mday = 8, t.tm_hour = 6;
    t.tm_min = (std::stoi(minute, nullptr, 16) >> 4) * 10 + (std::stoi(minute, nullptr, 16) & 15);
    t.tm_sec = (std::stoi(second, nullptr, 16) >> 4) * 10 + (std::stoi(second, nullptr, 16) & 15);
    t.tm_isdst = -1;
    const auto set = lines_with(log, "clock: settimeofday ");
    ASSERT_EQ(set.size(), 2u);  // at start and on saving
    EXPECT_EQ(set[1], "clock: settimeofday " + std::to_string(std::mktime(&t)));

    // The time stamp shows the new date: the same first ten characters as a
    // board started on that date.
    TempDir ref;
    ASSERT_TRUE(run(ref.path, "speed 1000\nrtc 2025-04-08 23:59:00\n1.5 overlay stamp\n2 power off\n"));
    host::Picture before, after, want;
    ASSERT_TRUE(host::read_png(out / "screens/stamp-before.png", before));
    ASSERT_TRUE(host::read_png(out / "screens/stamp-after.png", after));
    ASSERT_TRUE(host::read_png(ref.path / "out/screens/stamp.png", want));
    auto date_part = [](const host::Picture& p) {
        std::vector<std::uint32_t> v;
        for (int r = 0; r < p.height; ++r)
            for (int c = 0; c < 140; ++c) v.push_back(p.argb[r * p.width + c]);
        return v;
    };
    EXPECT_EQ(date_part(after), date_part(want));
    EXPECT_NE(date_part(before), date_part(want));

    // The format that could not unmount the disk left it as it was (no
    // format, still mounted: the heartbeats above) and said "Check U Disk!",
    // its last character where "Format Done!" has none.
    const std::size_t refused = log.find("sim: unmount-refused");
    const std::string failing = log.substr(refused, log.find("sim: format") - refused);
    EXPECT_EQ(lines_with(failing, "shell: umount /opt").size(), 50u);
    EXPECT_EQ(lines_with(failing, "mkfs").size(), 0u);
    const host::Picture failed = screen(out, "format-failed");
    const int check_w = text_width(jcup_en);
    EXPECT_EQ(ink_outside(failed, 348, 200, check_w), 0);
    EXPECT_GT(ink_inside(failed, 348 + check_w - 14, 200, 14), 20);

    // The format: the disk unmounted, then the structured format, then mounted
    // again; the finish message meanwhile, then the page with both sizes.
    const double at = times_of(log, "sim: format").at(0);
    const auto mkfs = times_of(log, "shell: mkfs.vfat -v /dev/sda1");
    ASSERT_EQ(mkfs.size(), 1u);
    EXPECT_GT(mkfs[0], at);
    const std::string tail = log.substr(log.find("sim: format"));
    const auto u = tail.find("shell: umount /opt"), m = tail.find("shell: mkfs.vfat -v /dev/sda1"),
               mo = tail.find("shell: mount -o rw /dev/sda1 /opt");
    EXPECT_LT(u, m);
    EXPECT_NE(mo, std::string::npos);
    EXPECT_LT(m, mo);
    const host::Picture msg = screen(out, "formatting");
    const int w = text_width(gshwc_en);
    EXPECT_EQ(ink_outside(msg, 348, 200, w), 0);
    EXPECT_GT(ink_inside(msg, 348, 200, w), 100);
    const host::Picture page = screen(out, "formatted");
    EXPECT_GT(ink_inside(page, 348, 250, text_width(quxiao_en)), text_width(quxiao_en) * 24 / 2);  // "Exit" highlighted
    EXPECT_GT(ink_inside(page, 348, 400, text_width("Total Space: 2000 MB")), 100);
}

TEST(MenuBoardRun, WithoutADiskTheDiskPageSaysSoAndFormatsNothing) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\n";
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, DOWN, DOWN, OK, DOWN, DOWN, DOWN, DOWN, OK, DOWN, OK});
    s.wait(0.45);
    s.at("screenshot message");
    s.wait(1.0);
    s.keys({UP, OK});  // "Exit": back to the record settings
    s.keys({UP, UP, UP, OK});  // the recording list needs a disk too
    s.wait(0.45);
    s.at("screenshot list");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const std::string log = read_file(tmp.path / "out/board.log");
    EXPECT_TRUE(times_of(log, "mkfs").empty());
    const int w = text_width(jcup_en);
    for (const char* name : {"message", "list"}) {
        SCOPED_TRACE(name);
        const host::Picture p = screen(tmp.path / "out", name);
        EXPECT_EQ(ink_outside(p, 348, 200, w), 0);
        EXPECT_GT(ink_inside(p, 348, 200, w), 100);
    }
}

TEST(MenuBoardRun, AccOffInTheRecordMenuLetsRecordingResume) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1, 1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\ndisk usb 2000\n0.5 record_forbid off\n";
    s.t = 3.0;
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, DOWN, DOWN, OK});  // the record settings stop the recording
    s.wait(3.0);
    s.at("log acc-off");
    s.at("acc off");
    s.wait(3.0);
    ASSERT_TRUE(run(tmp.path, s.end()));
    const std::string log = read_file(tmp.path / "out/board.log");
    const auto starts = times_of(log, "VENC 0 receiving pictures");
    const auto stops = times_of(log, "VENC 0 stopped receiving pictures");
    const double off = times_of(log, "sim: acc-off").at(0);
    ASSERT_EQ(stops.size(), 1u);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_LT(starts[0], stops[0]);
    EXPECT_LT(stops[0], off - 2.0);  // stopped while the menu was open, and stayed so
    EXPECT_GT(starts[1], off);        // and started again once ACC off closed the menu
    EXPECT_LT(starts[1], off + 3.0);
}

}  // namespace
