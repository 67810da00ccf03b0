// The output folder as a user meets it: one run at a time, and a scenario
// mistake found before anything in it is touched. The command line too.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
namespace fs = std::filesystem;
using namespace svsim_test;

// Runs svsim through the shell with these arguments: exit status, and what it
// wrote to standard output and standard error.
int svsim(const fs::path& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string cmd = std::string(SVSIM_PATH) + " " + args + " >" + (dir / "o.txt").string() + " 2>" +
                            (dir / "e.txt").string();
    const int status = std::system(cmd.c_str());
    out = read_file(dir / "o.txt");
    err = read_file(dir / "e.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OutputFolder, OneRunAtATimeAndAMistakeLeavesTheLastRunsResults) {
    TempDir tmp;
    const fs::path out = tmp.path / "out";
    // A run that lasts a few real seconds after its first picture: board time at
    // real speed. Its start may take long on a slow or sanitized build, so the
    // wait for that picture is generous.
    const pid_t first = spawn_svsim(tmp.path, "0.2 screenshot first\n6 power off\n");
    ASSERT_GT(first, 0);
    for (int i = 0; i < 6000 && !fs::exists(out / "screens/first.png"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(out / "screens/first.png"));

    // A second run into the same folder refuses, naming it and the first run.
    std::ofstream(tmp.path / "second.scn") << "0.2 screenshot second\n1 power off\n";
    std::string o, e;
    const std::string second = "--scenario " + (tmp.path / "second.scn").string() + " --out " + out.string();
    EXPECT_EQ(svsim(tmp.path, second, o, e), 2);
    EXPECT_NE(e.find(out.string() + " is in use by another svsim run (process " + std::to_string(first) + ")"),
              std::string::npos)
        << e;
    EXPECT_EQ(wait_svsim(first, [] { return false; }), 0);
    EXPECT_TRUE(fs::exists(out / "screens/first.png"));
    EXPECT_FALSE(fs::exists(out / "screens/second.png"));
    const std::string log = read_file(out / "board.log");
    EXPECT_NE(log.find("sim: run ended: power off"), std::string::npos);

    // Mistakes found only with the files: the folder keeps the first run's output.
    std::ofstream(tmp.path / "missing.scn") << "disk usb 2048\ndisk_file usb MISSING\n1 power off\n";
    EXPECT_EQ(svsim(tmp.path, "--scenario " + (tmp.path / "missing.scn").string() + " --out " + out.string(), o, e), 2);
    EXPECT_NE(e.find("missing.scn: line 2: cannot read"), std::string::npos) << e;
    std::ofstream(tmp.path / "nodisk.scn") << "disk usb 2048\n# a file for another disk\ndisk_file stick second.scn\n";
    EXPECT_EQ(svsim(tmp.path, "--scenario " + (tmp.path / "nodisk.scn").string() + " --out " + out.string(), o, e), 2);
    EXPECT_NE(e.find("nodisk.scn: line 3: no disk stick is in at power-on"), std::string::npos) << e;
    EXPECT_TRUE(fs::exists(out / "screens/first.png"));
    EXPECT_EQ(read_file(out / "board.log"), log);

    // Mistakes of every stage, each refused with its file and line (or
    // option) before the folder is touched.
    std::ofstream(tmp.path / "short.dat") << "12345";
    fs::create_directories(out / "screens/mine");
    std::ofstream(out / "screens/mine/in.scn") << "1 power off\n";
    const std::pair<std::string, std::string> mistakes[] = {
        {"fail 3 settimeofdayy\n1 power off\n", "m.scn: line 1: unknown operation \"settimeofdayy\""},
        {"\n1e300 power off\n", "m.scn: line 2: a time is at most 86400 s"},
        {"settings short.dat\n1 power off\n", "m.scn: line 1: " + (tmp.path / "short.dat").string() +
                                                   " is 5 bytes, not one settings record of 268 bytes"},
        {"--scenario " + (out / "screens/mine/in.scn").string(),
         "in.scn: the run writes " + (out / "screens").string() + "; keep the scenario elsewhere"},
        {"--out \"\"", "svsim: --out needs a folder name, not \"\""},
        {"--speed fast", "svsim: --speed fast: must be 0.01..1000 board seconds per real second"},
        {"", "m.scn: no events"},
    };
    for (const auto& [what, message] : mistakes) {
        std::string args = what;
        if (!what.starts_with("--scenario")) {
            std::ofstream(tmp.path / "m.scn") << what;
            args = "--scenario " + (tmp.path / "m.scn").string() + (what.starts_with("--") ? " " + what : "");
        }
        EXPECT_EQ(svsim(tmp.path, args + " --out " + out.string(), o, e), 2) << what;
        EXPECT_NE(e.find(message), std::string::npos) << e;
        EXPECT_TRUE(fs::exists(out / "screens/first.png"));
        EXPECT_EQ(read_file(out / "board.log"), log);
    }

    // The folder is free again once the run has ended. The next run replaces
    // what the last one wrote, the board root whole, and keeps the user's own
    // files, byte for byte, saying so.
    const std::pair<const char*, std::string> own[] = {
        {"note.txt", "calibrate the back camera again\n"},
        {"front.png", std::string("\x89PNG\r\n\x1a\n\0\xff", 10)},
        {"mine/sub/data.bin", std::string(3000, '\x5a')},
    };
    for (const auto& [name, bytes] : own) {
        fs::create_directories((out / name).parent_path());
        std::ofstream(out / name, std::ios::binary) << bytes;
    }
    std::ofstream(out / "board/opt/copied.txt") << "the board's";
    EXPECT_EQ(svsim(tmp.path, second, o, e), 0) << e;
    EXPECT_TRUE(fs::exists(out / "screens/second.png"));
    EXPECT_FALSE(fs::exists(out / "screens/first.png"));
    EXPECT_FALSE(fs::exists(out / "board/opt/copied.txt"));
    EXPECT_EQ(read_file(out / "board.log").find("screenshot first.png"), std::string::npos);
    for (const auto& [name, bytes] : own) EXPECT_EQ(read_file(out / name), bytes) << name;
    EXPECT_EQ(read_file(out / "screens/mine/in.scn"), "1 power off\n");
    const std::string warning = "svsim: " + out.string() +
                                ": kept what svsim did not write: front.png, mine/, note.txt, screens/mine/ (warning)\n";
    EXPECT_NE(e.find(warning), std::string::npos) << e;
    EXPECT_EQ(e.find("kept"), e.rfind("kept")) << e;
}

TEST(OutputFolder, TheCommandLineHelpsAndNamesAWrongOption) {
    TempDir tmp;
    std::string o, e;
    EXPECT_EQ(svsim(tmp.path, "--help", o, e), 0);
    EXPECT_TRUE(o.starts_with("usage: svsim --scenario FILE")) << o;
    for (const char* option : {"--scenario", "--out", "--echo", "--unpaced", "--speed"})
        EXPECT_NE(o.find(std::string("\n  ") + option + " "), std::string::npos) << option;
    EXPECT_TRUE(e.empty()) << e;
    EXPECT_EQ(svsim(tmp.path, "--scenario x.scn --fast", o, e), 2);
    EXPECT_TRUE(e.starts_with("svsim: unknown option \"--fast\"\nusage:")) << e;
    EXPECT_EQ(svsim(tmp.path, "--scenario", o, e), 2);
    EXPECT_TRUE(e.starts_with("svsim: --scenario needs a value\n")) << e;
    EXPECT_TRUE(o.empty());
}

// scripts/run answers its own mistakes before it checks packages or builds:
// here its setup and build are stand-ins that leave a trace.
TEST(RunScript, HelpsAndNamesAWrongArgumentBeforeBuilding) {
    TempDir tmp;
    fs::create_directories(tmp.path / "scripts");
    fs::copy_file(fs::path(SOURCE_DIR) / "scripts/run", tmp.path / "scripts/run");
    std::ofstream(tmp.path / "scripts/setup") << "#!/bin/sh\ntouch \"$(dirname \"$0\")/../setup-ran\"\n";
    std::ofstream(tmp.path / "scripts/build") << "#!/bin/sh\necho \"$(dirname \"$0\")/..\"\n";
    std::ofstream(tmp.path / "svsim") << "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/svsim-args\"\n";
    for (const char* script : {"scripts/setup", "scripts/build", "svsim"})
        fs::permissions(tmp.path / script, fs::perms::owner_all);
    const std::string usage = "usage: bash scripts/run [SCENARIO] [OUTPUT]\n";
    const struct {
        std::string args;
        int status;
        std::string out, err;  // how each begins
    } rows[] = {
        {"--help", 0, usage, ""},
        {"-h", 0, usage, ""},
        {"--speed 1000", 2, "", "scripts/run: unknown option \"--speed\"\n" + usage},
        {"a.scn -x", 2, "", "scripts/run: unknown option \"-x\"\n" + usage},
        {"a.scn out extra", 2, "",
         "scripts/run: one scenario and one output folder at most, not also \"extra\"\n" + usage},
    };
    for (const auto& row : rows) {
        const std::string cmd = "bash " + (tmp.path / "scripts/run").string() + " " + row.args + " >" +
                                (tmp.path / "o.txt").string() + " 2>" + (tmp.path / "e.txt").string();
        const int status = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.status) << row.args;
        const std::string out = read_file(tmp.path / "o.txt"), err = read_file(tmp.path / "e.txt");
        EXPECT_TRUE(out.starts_with(row.out)) << row.args << ": " << out;
        EXPECT_TRUE(err.starts_with(row.err)) << row.args << ": " << err;
        EXPECT_FALSE(fs::exists(tmp.path / "setup-ran")) << row.args;
    }
    // The stand-ins do leave their trace; both arguments reach svsim.
    EXPECT_EQ(std::system(("bash " + (tmp.path / "scripts/run").string() + " a.scn b 2>/dev/null").c_str()), 0);
    EXPECT_TRUE(fs::exists(tmp.path / "setup-ran"));
    EXPECT_EQ(read_file(tmp.path / "svsim-args"), "--scenario a.scn --out b\n");
}

// A restart into the folder of the run it goes on from: its scenario,
// settings and disk file live in that folder. Each run is ended by a signal,
// as a power off ends it.
TEST(InterruptedRun, ARestartReadsItsInputsFromTheFolderItEmptiesAndSignalsEndTheRun) {
    TempDir tmp;
    const fs::path out = tmp.path / "out";
    std::ofstream(tmp.path / "note.bin") << "recorded";
    auto appears = [](const fs::path& file) {
        for (int i = 0; i < 6000 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return fs::exists(file);
    };
    auto ended_cleanly = [&](const char* what) {
        const std::string log = read_file(out / "board.log");
        EXPECT_TRUE(log.ends_with("] sim: run ended: interrupted\n")) << what << log.substr(log.size() - std::min<std::size_t>(log.size(), 300));
        const std::string err = read_file(tmp.path / "stderr.txt");
        EXPECT_NE(err.find("svsim: run ended (interrupted); output in " + out.string()), std::string::npos) << err;
        host::Picture last;
        EXPECT_TRUE(host::read_png(out / "screens/final.png", last)) << what;
        // The lock went with the process.
        const int fd = ::open((out / ".svsim-lock").c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        EXPECT_TRUE(fd >= 0 && ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type == F_UNLCK) << what;
        if (fd >= 0) ::close(fd);
    };

    pid_t run = spawn_svsim(tmp.path, "settings scene\ndisk usb 64\ndisk_file usb note.bin\n"
                                      "0.2 screenshot first\n60 power off\n");
    ASSERT_GT(run, 0);
    ASSERT_TRUE(appears(out / "screens/first.png")) << read_file(tmp.path / "stderr.txt");
    kill(run, SIGTERM);
    EXPECT_EQ(wait_svsim(run, [] { return false; }), 128 + SIGTERM);
    ended_cleanly("SIGTERM");
    const std::string settings = read_file(out / "board/home/config/ImageParam.dat");
    ASSERT_EQ(settings.size(), 268u);

    const std::string again = "settings board/home/config/ImageParam.dat\ndisk usb 64\n"
                              "disk_file usb board/usb/usb/files/note.bin kept.bin\n0.2 screenshot second\n60 power off\n";
    run = spawn_svsim(tmp.path, again, out / "again.scn");
    ASSERT_GT(run, 0);
    ASSERT_TRUE(appears(out / "screens/second.png")) << read_file(tmp.path / "stderr.txt");
    kill(run, SIGINT);
    EXPECT_EQ(wait_svsim(run, [] { return false; }), 128 + SIGINT);
    ended_cleanly("SIGINT");
    EXPECT_EQ(read_file(out / "again.scn"), again);
    EXPECT_EQ(read_file(out / "board/usb/usb/files/kept.bin"), "recorded");
    EXPECT_EQ(read_file(out / "board/home/config/ImageParam.dat"), settings);
    EXPECT_FALSE(fs::exists(out / "screens/first.png"));
}

}  // namespace
