#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sim/scenario.h"
#include "tests/sim/parse_error.h"

namespace {

sim::Scenario parse_ok(const std::string& text) {
    std::string error;
    auto s = sim::parse_scenario(text, "/base", error);
    EXPECT_TRUE(s.has_value()) << error;
    return s ? *s : sim::Scenario{};
}

// The primitive events a scenario plays, in order.
std::vector<sim::Event> played(const sim::Scenario& s) {
    std::vector<sim::Event> out;
    sim::Timeline timeline(s.events);
    while (auto step = timeline.next()) out.push_back(step->event);
    return out;
}

TEST(ScenarioSettings, BoardSettingsAreRead) {
    const auto s = parse_ok(
        "# a comment\n"
        "board_code 5   # trailing comment\n"
        "rtc 2016-02-29 13:45:07 1\n"
        "paced off\n"
        "speed 4\n"
        "mcu external\n"
        "settings cfg/ImageParam.dat\n"
        "disk stick 2048 whole unformatted\n"
        "capture yuv 4 back.yuv\n"
        "capture nosignal 5\n");
    EXPECT_EQ(s.board_code, 5);
    ASSERT_TRUE(s.rtc);
    EXPECT_EQ(*s.rtc, (std::vector<int>{2016, 2, 29, 13, 45, 7, 1}));
    EXPECT_FALSE(s.paced);
    EXPECT_DOUBLE_EQ(s.speed, 4);
    EXPECT_TRUE(s.external_mcu);
    EXPECT_EQ(*s.settings_file, std::filesystem::path("/base/cfg/ImageParam.dat"));
    ASSERT_EQ(s.disks.size(), 1u);
    EXPECT_EQ(s.disks[0].label, "stick");
    EXPECT_EQ(s.disks[0].capacity_mb, 2048u);
    EXPECT_FALSE(s.disks[0].partitioned);
    EXPECT_FALSE(s.disks[0].formatted);
    ASSERT_EQ(s.captures.size(), 2u);
    EXPECT_EQ(s.captures[0].file, std::filesystem::path("/base/back.yuv"));
    EXPECT_EQ(s.captures[1].channel, 5);
    EXPECT_TRUE(s.events.empty());
}

TEST(ScenarioEvents, EventsAreSortedByTimeAndKeepTheirOrderAtEqualTimes) {
    const auto s = parse_ok("3 power off\n1 acc off\n1 reverse on\n0.5 screenshot start\n");
    ASSERT_EQ(s.events.size(), 4u);
    EXPECT_EQ(s.events[0].verb, "screenshot");
    EXPECT_EQ(s.events[1].args, (std::vector<std::string>{"acc", "0"}));
    EXPECT_EQ(s.events[2].args, (std::vector<std::string>{"reverse", "1"}));
    EXPECT_EQ(s.events[2].line, 3);
    EXPECT_EQ(s.events[3].verb, "power_off");
}

TEST(ScenarioEvents, SweepStepsTheAngleEvery50msFromEndToEnd) {
    const auto e = played(parse_ok("2 sweep -2509 2509 1\n2.5 screenshot middle\n"));
    ASSERT_EQ(e.size(), 22u);  // 20 steps of 50 ms and both ends, and the screenshot
    EXPECT_DOUBLE_EQ(e.front().time, 2.0);
    EXPECT_EQ(e.front().args[1], "-2509");
    EXPECT_EQ(e[10].args[1], "0");
    EXPECT_EQ(e[11].verb, "screenshot");  // after the step it was written after
    EXPECT_DOUBLE_EQ(e.back().time, 3.0);
    EXPECT_EQ(e.back().args[1], "2509");
}

TEST(ScenarioEvents, ApproachMovesOneSideAndKeepsTheOther) {
    const auto s = parse_ok("0 radar 1 2 3 4 50 60 70 80 2\n1 approach back 150 30 1\n3 approach front 100 90 1\n");
    const auto e = played(s);
    ASSERT_EQ(e.size(), 23u);
    EXPECT_EQ(e[1].args[5], "150");
    EXPECT_EQ(e[11].args, (std::vector<std::string>{"1", "2", "3", "4", "50", "30", "30", "50", "2"}));
    // The next approach keeps the back where the first one left it.
    EXPECT_EQ(e.back().args, (std::vector<std::string>{"110", "90", "90", "110", "50", "30", "30", "50", "2"}));
}

TEST(ScenarioEvents, ButtonIsPressedThenReleased) {
    const auto s = parse_ok("1 button ok 0.5\n2 button 0x10\n");
    ASSERT_EQ(s.events.size(), 4u);
    EXPECT_EQ(s.events[0].args, (std::vector<std::string>{"car_key", "64"}));
    EXPECT_DOUBLE_EQ(s.events[1].time, 1.5);
    EXPECT_EQ(s.events[1].args, (std::vector<std::string>{"car_key", "0"}));
    EXPECT_EQ(s.events[2].args[1], "16");
    EXPECT_NEAR(s.events[3].time, 2.2, 1e-9);
}

TEST(ScenarioEvents, KeysSerialDisksAndFailures) {
    const auto s = parse_ok(
        "0 ir ok 3\n0 key 0x1b\n0 serial 0x55 0xA0 1 0x81 0x81\n0 disk insert usb 512\n0 disk remove\n"
        "0 fail 2 ioctl /dev/fb0 0x4004467C\n0 turn both\n");
    ASSERT_EQ(s.events.size(), 7u);
    EXPECT_EQ(s.events[0].args, (std::vector<std::string>{"5", "3"}));
    EXPECT_EQ(s.events[1].args[0], "27");
    EXPECT_EQ(s.events[2].args, (std::vector<std::string>{"85", "160", "1", "129", "129"}));
    EXPECT_EQ(s.events[3].args, (std::vector<std::string>{"usb", "512", "1", "1"}));
    EXPECT_EQ(s.events[4].verb, "disk_remove");
    // The operation as the board names it.
    EXPECT_EQ(s.events[5].args, (std::vector<std::string>{"2", "ioctl /dev/fb0 0x4004467c"}));
    EXPECT_EQ(s.events[6].args, (std::vector<std::string>{"turn", "both"}));
}

TEST(ScenarioErrors, MistakesNameTheirLine) {
    EXPECT_EQ(parse_error("acc on\n"), "line 1: acc is an event: it needs a time first (T acc on|off)");
    EXPECT_EQ(parse_error("\n1 angle 40000\n"), "line 2: angle must be a signed 16-bit number");
    EXPECT_EQ(parse_error("-1 acc on\n"), "line 1: a time cannot be negative");
    EXPECT_EQ(parse_error("1 screenshot ../../etc/x\n"), "line 1: a screenshot name is a plain file name");
    EXPECT_EQ(parse_error("disk ../x 100\n"), "line 1: a disk label is a plain name");
    EXPECT_EQ(parse_error("rtc 2016-13-01 00:00:00\n"), "line 1: rtc 2016-13-01: no such date");
    EXPECT_EQ(parse_error("1 radar 1 2 3 4 5 6 7 300\n"), "line 1: radar distances are 0..255 cm");
    EXPECT_EQ(parse_error("1 button nose\n"), "line 1: button up|down|left|right|ok|exit or a bit value");
    EXPECT_EQ(parse_error("1 speed 2\n"), "line 1: speed is a setting: write it without a time (speed X)");
    EXPECT_EQ(parse_error("1nan acc on\n"), "line 1: \"1nan\" is not a time (seconds of board time, such as 12 or 1.5)");
}

TEST(ScenarioFiles, ShippedScenariosParse) {
    for (const auto& entry : std::filesystem::directory_iterator(SOURCE_DIR "/sim/scenarios")) {
        std::string error;
        // english-again.scn starts from the settings english.scn saves.
        if (entry.path().filename() == "english-again.scn") {
            std::ifstream in(entry.path());
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const auto s = sim::parse_scenario(text, entry.path().parent_path(), error);
            EXPECT_TRUE(s) << entry.path() << ": " << error;
            if (s && !s->warnings.empty()) ADD_FAILURE() << entry.path() << ": " << s->warnings[0];
            continue;
        }
        const auto s = sim::load_scenario(entry.path(), error);
        EXPECT_TRUE(s) << entry.path() << ": " << error;
        if (s && !s->warnings.empty()) ADD_FAILURE() << entry.path() << ": " << s->warnings[0];
    }
}

}  // namespace
