// Scenario mistakes a new user makes: each is named with its line, refused
// where the run would not do what the file says, warned about where it is
// harmless.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "sim/runner.h"
#include "sim/scenario.h"
#include "vio/settings.h"
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
    std::ofstream(dir / "t.scn") << "disk stick 2048\ndisk_file stick present.bin\n1 power off\n";
    std::string error;
    EXPECT_TRUE(sim::load_scenario(dir / "t.scn", error)) << error;
    std::filesystem::remove_all(dir);
}

// Mistakes that used to be found only in the run, after the output folder was
// emptied, or never. Each row: the scenario, the message it is refused with.
TEST(ScenarioMistakes, EveryMistakeIsNamedBeforeTheRun) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("scn-late-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "present.bin") << "x";
    std::ofstream(dir / "text.dat") << "flagb=1\n";
    std::ofstream(dir / "record.dat", std::ios::binary) << std::string(sizeof(Flash_param), '\1');
    const std::string d = dir.string() + "/";
    const std::string commands = "reboot, himm, mount, umount, mkfs.vfat, rm, mv, cp, tar";
    const std::pair<std::string, std::string> rows[] = {
        {"disk usb 64\ndisk_file usb present.bin " + std::string(256, 'n') + "\n",
         "line 2: a file name on a disk is at most 255 bytes"},
        {"disk " + std::string(300, 'd') + " 64\n", "line 1: a disk label is at most 255 bytes"},
        {"1 disk insert " + std::string(256, 'd') + " 64\n", "line 1: a disk label is at most 255 bytes"},
        {"1 screenshot " + std::string(252, 's') + "\n", "line 1: a screenshot name is at most 251 bytes (255 with its .png)"},
        {"disk usb 64\n\ndisk stick 64\n", "line 3: a disk is already in at power-on (line 1); the board has one USB port"},
        {std::string("1 screenshot a\0b\n", 17), "line 1: a control byte (0x00) in the line; a scenario is plain text"},
        {"1 log bell\a\n", "line 1: a control byte (0x07) in the line; a scenario is plain text"},
        {"fail 3 settimeofdayy\n", "line 1: unknown operation \"settimeofdayy\"; the board fails settimeofday, sh COMMAND (" +
                                        commands + "), statfs /home|/opt|/etc/init.d, open|read|write|tcsetattr DEVICE, ioctl DEVICE "
                                        "REQUEST, and a media call such as HI_MPI_VI_GetFrame"},
        {"1 fail 1 sh mountt\n", "line 1: the board's commands are " + commands},
        {"1 fail 1 statfs /optt\n", "line 1: the system takes the free space of /home, /opt, /etc/init.d"},
        {"1 fail 1 open /dev/fb9\n", "line 1: the board has no device /dev/fb9 (its devices: /dev/fb0, /dev/fb2, "
                                     "/dev/gpioi2c, /dev/nvp6114, /dev/i2c, /dev/Hi_IR, /dev/ttyAMA1, /dev/tlv320aic31, "
                                     "/dev/tw2865dev)"},
        {"1 fail 1 ioctl /dev/fb0 REFRESH\n", "line 1: an ioctl request is a number such as 0x4004467C"},
        {"1 fail 1 HI_MPI_VB_Initt\n", "line 1: the board has no media call HI_MPI_VB_Initt (its HI_MPI_VB_ calls: Exit Init SetConf)"},
        {"1 fail 1 HI_MPI_XYZ_Init\n", "line 1: the board has no media call HI_MPI_XYZ_Init"},
        {"1e300 power off\n", "line 1: a time is at most 86400 s (a day of board time)"},
        {"86400.5 power off\n", "line 1: a time is at most 86400 s (a day of board time)"},
        {"1e999 power off\n", "line 1: \"1e999\" is not a time (seconds of board time, such as 12 or 1.5)"},
        {"inf power off\n", "line 1: \"inf\" is not a time (seconds of board time, such as 12 or 1.5)"},
        {"0x10 power off\n", "line 1: \"0x10\" is not a time (seconds of board time, such as 12 or 1.5)"},
        {"speed nan\n", "line 1: speed must be 0.01..1000 board seconds per real second"},
        {"settings text.dat\n", "line 1: " + d + "text.dat is 8 bytes, not one settings record of 268 bytes"},
        {"settings scene\nsettings record.dat\n", "line 2: the settings are already given by line 1"},
        {"settings record.dat\nsettings record.dat\n", "line 2: the settings are already given by line 1"},
        {"mcu external\nmcu_reply_delay 2\n",
         "line 2: mcu_reply_delay sets the built-in microcontroller, but line 1 says mcu external (you play it)"},
        {"mcu_reject_line 3\nmcu external\n",
         "line 1: mcu_reject_line sets the built-in microcontroller, but line 2 says mcu external (you play it)"},
        {"mcu external\nmcu_ignore_load 1\n",
         "line 2: mcu_ignore_load sets the built-in microcontroller, but line 1 says mcu external (you play it)"},
        {"mcu_ignore_load 1001\n", "line 1: mcu_ignore_load wants a count, 0 to 1000"},
        {"capture nosignal 2\n", "line 1: the cameras are on channels 0 (left), 1 (right), 4 (back) and 5 (front)"},
        {"capture yuv 7 present.bin\n", "line 1: the cameras are on channels 0 (left), 1 (right), 4 (back) and 5 (front)"},
        {"1 sweep 0 40000 2\n", "line 1: sweep TO 40000: an angle is -32768..32767"},
        {"1 sweep -40000 0 2\n", "line 1: sweep FROM -40000: an angle is -32768..32767"},
        {"1 sweep 0 10 0\n", "line 1: sweep SECONDS 0: more than 0, at most 3600"},
        {"1 approach back 300 0 2\n", "line 1: approach FROM_CM 300: a distance is 0..255 cm"},
        {"1 screenshot a.png\n2 screenshot a\n", "line 2: screens/a.png is already saved by line 1; choose another name"},
        {"1 overlay final.png\n", "line 1: screens/final.png is the panel at the end of the run; choose another name"},
        {"1 key 0256\n", "line 1: key code is 0..255"},
        {"rtc 2026-02-30 08:00:00\n1 power off\n", "line 1: rtc 2026-02-30: no such date"},
        {"rtc 2100-02-29 08:00:00\n", "line 1: rtc 2100-02-29: no such date"},
        {"rtc 2026-04-31 08:00:00\n", "line 1: rtc 2026-04-31: no such date"},
        {"rtc 2015-02-32 01:59:30 1 unchecked\n", "line 1: rtc 2015-02-32: no such date"},
        {"rtc 2100-03-01 08:00:00\n", "line 1: rtc 2100-03-01: the clock chip's years are 2000 to 2099"},
        {"rtc 2026-03-01 24:00:00\n", "line 1: rtc 24:00:00: no such time (00:00:00 to 23:59:59)"},
        {"rtc 2026-03-01 08:60:00\n", "line 1: rtc 08:60:00: no such time (00:00:00 to 23:59:59)"},
        {"", "no events: no line starts with a time (such as \"10 power off\")"},
        {"# the events come later\n\nspeed 2\n", "no events: no line starts with a time (such as \"10 power off\")"},
    };
    for (const auto& [text, message] : rows) {
        std::ofstream(dir / "t.scn") << text;
        std::string error;
        EXPECT_FALSE(sim::load_scenario(dir / "t.scn", error)) << text;
        EXPECT_EQ(error, message) << text;
    }
    std::filesystem::remove_all(dir);
}

TEST(ScenarioMistakes, NumbersNamesAndMarksReadAsWritten) {
    std::string error;
    // Decimal with or without leading zeros; hexadecimal only after 0x.
    auto s = sim::parse_scenario("1 key 010\n1 angle -0100\n1 key 0x1b\nfail 010 sh mount\n1 fail 08 HI_MPI_VI_GetFrame\n"
                                 "1 fail 1 ioctl /dev/fb0 017\n", "/base", error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->events.size(), 5u);
    EXPECT_EQ(s->events[0].args, (std::vector<std::string>{"10"}));
    EXPECT_EQ(s->events[1].args, (std::vector<std::string>{"angle", "-100"}));
    EXPECT_EQ(s->events[2].args, (std::vector<std::string>{"27"}));
    EXPECT_EQ(s->events[3].args, (std::vector<std::string>{"8", "HI_MPI_VI_GetFrame"}));
    EXPECT_EQ(s->events[4].args, (std::vector<std::string>{"1", "ioctl /dev/fb0 0x11"}));
    EXPECT_EQ(s->failures, (std::vector<std::vector<std::string>>{{"10", "sh mount"}}));

    // A byte-order mark before the first word; # inside a word is part of it.
    s = sim::parse_scenario("\xEF\xBB\xBFspeed 2\r\ndisk usb 64\ndisk_file usb a#1.bin b#2.bin # a comment\n"
                            "1 log issue#3 #4\n#5 log\n1 screenshot shot.png\n2 cameras cams\n",
                            "/base", error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->speed, 2);
    ASSERT_EQ(s->disk_files.size(), 1u);
    EXPECT_EQ(s->disk_files[0].source, "/base/a#1.bin");
    EXPECT_EQ(s->disk_files[0].name, "b#2.bin");
    ASSERT_EQ(s->events.size(), 3u);
    EXPECT_EQ(s->events[0].args, (std::vector<std::string>{"issue#3"}));
    EXPECT_EQ(s->events[1].args, (std::vector<std::string>{"shot"}));
    EXPECT_TRUE(s->warnings.empty()) << s->warnings[0];

    // A scenario without events is refused when its file is read (see
    // EveryMistakeIsNamedBeforeTheRun); its settings alone parse. Leap days
    // are dates.
    for (const char* text : {"", "# nothing yet\nspeed 2\n", "rtc 2028-02-29 23:59:59\n", "rtc 2000-02-29 00:00:00\n",
                             "rtc 2015-02-31 01:59:30 unchecked\n"}) {
        s = sim::parse_scenario(text, "/base", error);
        ASSERT_TRUE(s) << error;
        EXPECT_TRUE(s->warnings.empty()) << s->warnings[0];
    }
}

// Every failure point the board has can be named in a scenario: the media
// calls that take one, its devices, its commands.
TEST(ScenarioMistakes, EveryFailurePointOfTheBoardIsKnown) {
    std::set<std::string> ops;
    const std::regex definition(R"re(^[A-Za-z_][A-Za-z0-9_ *]* (HI_MPI_\w+)\()re"), device(R"re(register_device\("([^"]+)")re"),
        command(R"re(command_start\(.*, "([^"]+)"\))re");
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(SOURCE_DIR) / "host")) {
        std::ifstream in(entry.path());
        std::string function;
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (line.find("HI_MPI_") == std::string::npos && line.find("fail_point(") == std::string::npos &&
                line.find("register_device(\"") == std::string::npos && line.find("command_start(") == std::string::npos)
                continue;  // std::regex is slow
            if (std::regex_search(line, m, definition)) function = m[1];
            if (line.find("fail_point(") != std::string::npos && !function.empty()) ops.insert(function);
            if (std::regex_search(line, m, device)) ops.insert("open " + m[1].str());
            if (std::regex_search(line, m, command)) ops.insert("sh " + m[1].str());
        }
    }
    EXPECT_GT(ops.size(), 120u);
    for (const char* op : {"HI_MPI_VI_GetFrame", "open /dev/fb0", "sh umount", "sh tar"}) EXPECT_TRUE(ops.count(op)) << op;
    ops.insert({"statfs /opt", "statfs /home", "settimeofday", "read /dev/Hi_IR", "ioctl /dev/fb0 0x4004467C"});
    for (const auto& op : ops) {
        std::string error;
        EXPECT_TRUE(sim::parse_scenario("fail -1 " + op + "\n1 fail 1 " + op + "\n", "/base", error)) << error;
    }
}

TEST(ScenarioMistakes, OptionsTakeTheirValueAfterASpaceOrAnEqualsSign) {
    sim::RunOptions o;
    std::string error;
    using sim::Command;
    EXPECT_EQ(sim::parse_options({"--scenario=s.scn", "--speed=10", "--out=o", "--echo"}, o, error), Command::run);
    EXPECT_EQ(o.scenario, "s.scn");
    EXPECT_EQ(o.out, "o");
    EXPECT_EQ(o.speed, 10);
    EXPECT_TRUE(o.echo);
    EXPECT_EQ(sim::parse_options({"--scenario", "s.scn"}, o, error), Command::run);
    EXPECT_EQ(o.out, "out");
    EXPECT_EQ(sim::parse_options({"--scenario", "s", "--help"}, o, error), Command::help);
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"--scenario", "s", "--out", ""}, "--out needs a folder name, not \"\""},
        {{"--scenario="}, "--scenario needs a file name, not \"\""},
        {{"--scenario", "s", "--speed", "fast"}, "--speed fast: must be 0.01..1000 board seconds per real second"},
        {{"--scenario", "s", "--speed=2000"}, "--speed 2000: must be 0.01..1000 board seconds per real second"},
        {{"--scenario", "s", "--speed=0x10"}, "--speed 0x10: must be 0.01..1000 board seconds per real second"},
        {{"--scenario=s", "--echo=1"}, "--echo takes no value"},
        {{"--scenario=s", "--fast=1"}, "unknown option \"--fast=1\""},
        {{"--speed", "2"}, "which scenario? --scenario FILE"},
        {{"--scenario", "s", "--out"}, "--out needs a value"},
    };
    for (const auto& [args, message] : wrong) {
        EXPECT_EQ(sim::parse_options(args, o, error), Command::wrong) << args[0];
        EXPECT_EQ(error, message);
    }
}

}  // namespace
