// Scenario mistakes a new user makes: each is named with its line, refused
// where the run would not do what the file says, warned about where it is
// harmless.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/scenario.h"
#include "tests/sim/parse_error.h"

namespace {

std::vector<std::string> warnings(const std::string& text) {
    std::string error;
    auto s = sim::parse_scenario(text, "/base", error);
    EXPECT_TRUE(s.has_value()) << error;
    return s ? s->warnings : std::vector<std::string>{};
}

TEST(ScenarioMistakes, KnownWordsWithTheWrongValuesSayWhatTheyWant) {
    EXPECT_EQ(parse_error("1 radar 10 20 30\n"),
              "line 1: radar wants: T radar F1 F2 F3 F4 B1 B2 B3 B4 [MODE] (eight distances in cm)");
    EXPECT_EQ(parse_error("\n2 reverse\n"), "line 2: reverse wants: T reverse on|off");
    EXPECT_EQ(parse_error("1 power\n"), "line 1: power wants: T power off");
    EXPECT_EQ(parse_error("capture yuv 4\n"),
              "line 1: capture wants: capture scene|pattern, capture yuv CH FILE or capture nosignal CH");
    EXPECT_EQ(parse_error("1 disk_file usb a.bin\n"),
              "line 1: disk_file is a setting: write it without a time (disk_file LABEL FILE [NAME])");
    EXPECT_EQ(parse_error("1 radr 1 2 3 4 5 6 7 8\n"), "line 1: unknown event \"radr\"");
    EXPECT_EQ(parse_error("bord_code 2\n"), "line 1: unknown setting \"bord_code\"");
    // A mistyped time is not taken for a setting.
    EXPECT_EQ(parse_error("1 acc on\n1.5.2 reverse on\n"),
              "line 2: \"1.5.2\" is not a time (seconds of board time, such as 12 or 1.5)");
    EXPECT_EQ(parse_error("2,5 reverse on\n"),
              "line 1: \"2,5\" is not a time (seconds of board time, such as 12 or 1.5)");
}

TEST(ScenarioMistakes, EventsThatWouldNeverHappenAreRefused) {
    // Written after the power off, at a later time or at the same time.
    EXPECT_EQ(parse_error("1 acc on\n5 power off\n6 screenshot late\n"),
              "line 3: this event would come after the power off at 5 s (line 2), so it would never happen");
    EXPECT_EQ(parse_error("5 power off\n5 screenshot same\n"),
              "line 2: this event would come after the power off at 5 s (line 1), so it would never happen");
    // Written before it but timed after it.
    EXPECT_EQ(parse_error("9 reverse on\n5 power off\n"),
              "line 1: this event would come after the power off at 5 s (line 2), so it would never happen");
    // At the same time but written before it happens first; a button let go
    // after the power off is the board's own business.
    EXPECT_TRUE(warnings("4.9 button ok\n5 screenshot last\n5 power off\n").empty());
}

TEST(ScenarioMistakes, EachPictureHasItsOwnFile) {
    EXPECT_EQ(parse_error("1 screenshot a\n2 cameras b\n3 overlay a\n"),
              "line 3: screens/a.png is already saved by line 1; choose another name");
    EXPECT_EQ(parse_error("1 screenshot final\n"),
              "line 1: screens/final.png is the panel at the end of the run; choose another name");
    EXPECT_TRUE(warnings("1 screenshot a\n2 cameras b\n3 overlay c\n").empty());
}

TEST(ScenarioMistakes, TimesOutOfOrderPlayInTimeOrderWithAWarning) {
    std::string error;
    const auto s = sim::parse_scenario("1 acc on\n5 reverse on\n3 screenshot early\n4 screenshot next\n8 power off\n",
                                       "/base", error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->warnings.size(), 2u);
    EXPECT_EQ(s->warnings[0], "line 3: time 3 is before line 2's 5; events play in time order, not in the order written");
    EXPECT_EQ(s->warnings[1], "line 4: time 4 is before line 2's 5; events play in time order, not in the order written");
    ASSERT_EQ(s->events.size(), 5u);
    EXPECT_EQ(s->events[1].args, (std::vector<std::string>{"early"}));
    EXPECT_EQ(s->events[3].args, (std::vector<std::string>{"reverse", "1"}));
    EXPECT_TRUE(warnings("1 acc on\n1 reverse on\n2 power off\n").empty());
}

TEST(ScenarioMistakes, FilesAndDisksAreCheckedWhenTheScenarioIsRead) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("scn-check-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "present.bin") << "x";
    auto load_error = [&](const std::string& text) {
        std::ofstream(dir / "t.scn") << text;
        std::string error;
        EXPECT_FALSE(sim::load_scenario(dir / "t.scn", error)) << text;
        return error;
    };
    EXPECT_EQ(load_error("disk usb 2048\ndisk_file usb MISSING\n"),
              "line 2: cannot read " + (dir / "MISSING").string() + ": No such file or directory");
    EXPECT_EQ(load_error("disk usb 2048\n\ndisk_file stick present.bin\n"),
              "line 3: no disk stick is in at power-on (a line \"disk stick MB\" puts one in)");
    // A disk inserted later is no disk at power-on.
    EXPECT_EQ(load_error("disk_file stick present.bin\n1 disk insert stick 2048\n"),
              "line 1: no disk stick is in at power-on (a line \"disk stick MB\" puts one in)");
    std::ofstream(dir / "t.scn") << "disk stick 2048\ndisk_file stick present.bin\n";
    std::string error;
    EXPECT_TRUE(sim::load_scenario(dir / "t.scn", error)) << error;
    std::filesystem::remove_all(dir);
}

}  // namespace
