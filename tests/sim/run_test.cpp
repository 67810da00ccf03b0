// Runs the simulator as its own process, as a user would, and looks at what
// it leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "host/board.h"
#include "tests/svsim_run.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;
using namespace svsim_test;

// Names and modification times of a host folder's entries.
std::map<std::string, fs::file_time_type> listing(const fs::path& dir) {
    std::map<std::string, fs::file_time_type> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out[e.path().filename()] = e.last_write_time(ec);
    return out;
}

TEST(SimulatorRun, ScenarioRunsToPowerOffAndLeavesOnlyItsOutput) {
    TempDir tmp;
    const auto opt = listing("/opt"), init = listing("/etc/init.d"), home = listing("/home");
    const std::time_t before = std::time(nullptr);
    const int status = run_svsim(tmp.path,
                                 "rtc 2016-02-29 13:45:07 1\n"
                                 "paced off\n"
                                 "disk stick 2048\n"
                                 "0.5 screenshot first\n"
                                 "0.5 cameras cameras\n"
                                 "0.6 reverse on\n"
                                 "0.7 disk remove\n"
                                 "2.0 power off\n");
    ASSERT_EQ(status, 0) << read_file(tmp.path / "stderr.txt");

    // Only the scenario, the captured error output and the output folder.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(tmp.path)) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"out", "stderr.txt", "test.scn"}));
    EXPECT_EQ(listing("/opt"), opt);
    EXPECT_EQ(listing("/etc/init.d"), init);
    EXPECT_EQ(listing("/home"), home);
    // The board's clock went back to 2016; the host's did not.
    EXPECT_GE(std::time(nullptr), before);

    const fs::path out = tmp.path / "out";
    const std::string log = read_file(out / "board.log");
    EXPECT_NE(log.find("clock: settimeofday 1456753507"), std::string::npos) << log.substr(0, 2000);
    EXPECT_NE(log.find("sim: run ended: power off"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "board/home/config"));
    EXPECT_TRUE(fs::exists(out / "board/usb/stick/files"));

    // The system printed its pass counter: 0 after the first fetch, then each pass.
    const std::string console = read_file(out / "console.log");
    EXPECT_NE(console.find("\n0\n0\n1\n2\n3\n"), std::string::npos) << console.substr(0, 400);

    // In the idle state the display output stays off: the panel is black.
    EXPECT_NE(log.find("gpio: power 0"), std::string::npos);
    host::Picture shot;
    ASSERT_TRUE(host::read_png(out / "screens/first.png", shot));
    EXPECT_EQ(shot.width, 800);
    EXPECT_EQ(shot.height, 480);
    EXPECT_EQ(shot.argb[240 * 800 + 400], 0xFF000000u);
    EXPECT_TRUE(fs::exists(out / "screens/final.png"));
    // The cameras see the scene: sky blue above the front camera's horizon, the
    // car's red body below the back camera's ground.
    host::Picture cams;
    ASSERT_TRUE(host::read_png(out / "screens/cameras.png", cams));
    const std::uint32_t sky = cams.argb[5 * 1280 + 320], body = cams.argb[355 * 1280 + 640 + 20];
    EXPECT_GT(sky & 0xFF, (sky >> 16) & 0xFF) << std::hex << sky;   // more blue than red
    EXPECT_GT((body >> 16) & 0xFF, body & 0xFF) << std::hex << body;  // more red than blue
}

TEST(SimulatorRun, FramebufferFailureEndsInAReboot) {
    TempDir tmp;
    const int status = run_svsim(tmp.path,
                                 "paced off\nspeed 50\n"
                                 "0.1 sweep 0 100 300\n"
                                 "0.2 fail 1 ioctl /dev/fb0 0x4004467C\n"
                                 "500 log never\n"
                                 "600 power off\n");
    ASSERT_EQ(status, 0) << read_file(tmp.path / "stderr.txt");
    const std::string log = read_file(tmp.path / "out/board.log");
    EXPECT_NE(log.find("shell: reboot"), std::string::npos);
    // What the reboot left of the scenario is said where the run's end is.
    const std::string scn = (tmp.path / "test.scn").string();
    const std::string left =
        "reboot; 2 events not played, the first at " + scn + ":5; the sweep at " + scn + ":3 cut short";
    EXPECT_NE(log.find("sim: run ended: " + left + "\n"), std::string::npos)
        << log.substr(log.size() - std::min<std::size_t>(log.size(), 300));
    EXPECT_NE(read_file(tmp.path / "stderr.txt").find("svsim: run ended (" + left + "); output in"), std::string::npos)
        << read_file(tmp.path / "stderr.txt");
    EXPECT_NE(read_file(tmp.path / "out/console.log").find("REFRESH failed!"), std::string::npos);
}

TEST(SimulatorRun, ForeignOutputFolderIsRefused) {
    TempDir tmp;
    fs::create_directories(tmp.path / "out");
    std::ofstream(tmp.path / "out/precious.txt") << "keep";
    EXPECT_EQ(run_svsim(tmp.path, "0 power off\n"), 2);
    EXPECT_EQ(read_file(tmp.path / "out/precious.txt"), "keep");
}

TEST(SimulatorRun, MissingFilesAreRefusedBeforeTheOutputIsTouched) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "0 log earlier run\n0 power off\n"), 0);
    const std::string earlier = read_file(tmp.path / "out/board.log");
    ASSERT_NE(earlier.find("earlier run"), std::string::npos);
    std::ofstream(tmp.path / "short.yuv") << std::string(1280 * 720, '\x80');  // half a frame
    fs::create_directories(tmp.path / "folder.yuv");

    const std::pair<std::string, std::string> cases[] = {
        {"settings nonexistent.dat\n", "line 1: cannot read the settings file"},
        {"# cameras\ncapture yuv 0 missing.yuv\n", "line 2: cannot read"},
        {"capture yuv 4 folder.yuv\n", "it is a folder"},
        {"capture yuv 5 short.yuv\n", "short.yuv is 921600 bytes, not whole raw 1280x720 YUV 4:2:2 frames"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(run_svsim(tmp.path, text + "1 power off\n"), 2) << text;
        const std::string err = read_file(tmp.path / "stderr.txt");
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_EQ(err.find("terminate"), std::string::npos) << err;
        EXPECT_EQ(read_file(tmp.path / "out/board.log"), earlier) << text;
    }

    // A folder given as the scenario (the helper cannot write over it).
    fs::remove(tmp.path / "test.scn");
    fs::create_directories(tmp.path / "test.scn");
    EXPECT_EQ(run_svsim(tmp.path, ""), 2);
    const std::string err = read_file(tmp.path / "stderr.txt");
    EXPECT_NE(err.find("test.scn: it is a folder"), std::string::npos) << err;
    EXPECT_EQ(read_file(tmp.path / "out/board.log"), earlier);
}

TEST(SimulatorRun, HostileSpeedIsRefusedAndLongRampsPlayInBoundedMemory) {
    TempDir tmp;
    EXPECT_EQ(run_svsim(tmp.path, "speed 1e-300\n0 power off\n"), 2);
    EXPECT_NE(read_file(tmp.path / "stderr.txt").find("line 1: speed must be 0.01..1000"), std::string::npos)
        << read_file(tmp.path / "stderr.txt");

    // Each line stands for tens of thousands of steps.
    std::string text = "paced off\n";
    for (int i = 0; i < 20; ++i) text += "0 approach back 255 0 3600\n0 sweep -32768 32767 3600\n";
    text += "1 power off\n";
    ASSERT_EQ(run_svsim(tmp.path, text), 0) << read_file(tmp.path / "stderr.txt");
    EXPECT_TRUE(read_file(tmp.path / "out/board.log").ends_with("] sim: run ended: power off; the approach at " +
                                                               (tmp.path / "test.scn").string() +
                                                               ":2 cut short, and 39 more ramps\n"));
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "kB at most, of the largest run so far";
}

TEST(SimulatorRun, EveryEventIsLoggedWhenItIsApplied) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path,
                        "paced off\n"
                        "fail 2 ioctl /dev/fb0 17\n"
                        "0.1 acc off\n0.1 acc on\n0.2 reverse on\n0.2 turn left\n0.3 angle -2509\n"
                        "0.3 sweep 0 100 0.2\n0.4 radar 150 150 150 150 0 0 0 0\n0.5 approach front 100 50 0.3\n"
                        "0.6 serial 0x55 0xaa 1\n0.6 button ok 0.1\n0.7 key 27\n0.7 ir menu 2\n"
                        "0.85 record_forbid on\n0.85 record_lock off\n0.9 board_code 3\n0.9 disk insert stick 64 whole\n"
                        "1.0 disk remove\n1.0 rtc_stop\n1.0 fail 1 sh mount\n1.0 clear_failures\n1.0 log marker\n"
                        "1.2 power off\n"),
              0)
        << read_file(tmp.path / "stderr.txt");
    std::vector<std::string> logged;
    std::istringstream log(read_file(tmp.path / "out/board.log"));
    for (std::string line; std::getline(log, line);)
        if (const auto at = line.find("] sim: "); at != std::string::npos && line.find("serial line") == std::string::npos)
            logged.push_back(line.substr(at + 7));
    const std::vector<std::string> expected = {
        "fail 2 ioctl /dev/fb0 0x11",
        "acc off",
        "acc on",
        "reverse on",
        "turn left",
        "angle -2509",
        "angle 0 (sweep to 100 in 0.2 s, 5 steps)",
        "radar front 150 150 150 150 back 0 0 0 0 mode 0",
        "angle 100 (end of sweep)",
        "radar front 120 100 100 120 back 0 0 0 0 mode 0 (approach front to 50 cm in 0.3 s, 4 steps)",
        "serial 55 AA 01",
        "buttons 0x40",
        "buttons 0x00",
        "key 27",
        "ir 16 repeats 2",
        "radar front 70 50 50 70 back 0 0 0 0 mode 0 (end of approach)",
        "record_forbid on",
        "record_lock off",
        "board_code 3",
        "disk insert stick 64 MB whole",
        "disk remove",
        "rtc_stop",
        "fail 1 sh mount",
        "clear_failures",
        "marker",
        "run ended: power off",
    };
    EXPECT_EQ(logged, expected);
}

TEST(SimulatorRun, BadScenarioIsReportedWithItsLine) {
    TempDir tmp;
    EXPECT_EQ(run_svsim(tmp.path, "0 acc sideways\n"), 2);
    EXPECT_NE(read_file(tmp.path / "stderr.txt").find("line 1: acc on|off"), std::string::npos);
}

}  // namespace
