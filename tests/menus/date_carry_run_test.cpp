// 31 February on the date page: the clock chip keeps what was entered, the board's
// clock and the time stamp carry it over into March, now and at the next start.
#include <gtest/gtest.h>

#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

int from_bcd(const std::string& line) {
    const int v = std::stoi(line.substr(line.size() - 4), nullptr, 16);
    return (v >> 4) * 10 + (v & 15);
}

// The date ("YYYY-MM-DD", 10 characters of 14 columns) of a time-stamp picture.
std::vector<std::uint32_t> date_part(const host::Picture& p) {
    std::vector<std::uint32_t> v;
    for (int r = 0; r < p.height; ++r)
        for (int c = 0; c < 140; ++c) v.push_back(p.argb[r * p.width + c]);
    return v;
}

TEST(DateCarryRun, ThirtyFirstFebruaryIsThirdOfMarchOnThePageAndAtTheNextStart) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\nrtc 2015-02-28 01:59:00 1\n";
    s.at("overlay before");
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, DOWN, DOWN, OK, DOWN, OK});    // record settings, the date page
    s.keys({DOWN, DOWN, RIGHT, RIGHT, RIGHT});   // the day: 29, 30, 31
    s.keys({DOWN, DOWN, DOWN, DOWN, OK});        // save
    s.wait(1.2);
    s.at("overlay after");
    ASSERT_TRUE(run(tmp.path, s.end()));
    const std::string log = read_file(tmp.path / "out/board.log");
    const std::string console = read_file(tmp.path / "out/console.log");

    // The chip holds 31 February as entered.
    const auto writes = lines_with(log, "i2c: write 0xd0");
    ASSERT_EQ(writes.size(), 7u);
    EXPECT_EQ(writes[0], "i2c: write 0xd0 reg 0x06 = 0x15");
    EXPECT_EQ(writes[1], "i2c: write 0xd0 reg 0x05 = 0x82");
    EXPECT_EQ(writes[3], "i2c: write 0xd0 reg 0x04 = 0x31");
    EXPECT_EQ(writes[4], "i2c: write 0xd0 reg 0x02 = 0x01");
    // The board's clock: 2015-03-03 01:mm:ss (UTC) with the minute and second written.
    const long mar3 = 1425344400;  // 2015-03-03 01:00:00 UTC
    const long want = mar3 + 60L * from_bcd(writes[5]) + from_bcd(writes[6]);
    const auto set = lines_with(log, "clock: settimeofday ");
    ASSERT_EQ(set.size(), 2u);  // at start and on saving
    EXPECT_EQ(set[1], "clock: settimeofday " + std::to_string(want));
    EXPECT_EQ(console.find("Set system datatime error!"), std::string::npos);

    // The next start reads 31 February from the chip and sets the same date.
    TempDir again;
    ASSERT_TRUE(run(again.path, "speed 1000\nrtc 2015-02-31 01:59:30 1 unchecked\n1.5 overlay stamp\n2 power off\n"));
    const std::string log2 = read_file(again.path / "out/board.log");
    const auto set2 = lines_with(log2, "clock: settimeofday ");
    ASSERT_EQ(set2.size(), 1u);
    EXPECT_EQ(set2[0], "clock: settimeofday " + std::to_string(mar3 + 59 * 60 + 30));
    EXPECT_EQ(read_file(again.path / "out/console.log").find("Set system datatime error!"), std::string::npos);

    // Both time stamps show the same date, not the one before the page.
    host::Picture before, after, restart;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/before.png", before));
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/after.png", after));
    ASSERT_TRUE(host::read_png(again.path / "out/screens/stamp.png", restart));
    EXPECT_EQ(date_part(after), date_part(restart));
    EXPECT_NE(date_part(before), date_part(after));
}

}  // namespace
