// The output folder as a user meets it: one run at a time, and a scenario
// mistake found before anything in it is touched. The command line too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

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

    // The folder is free again once the run has ended.
    EXPECT_EQ(svsim(tmp.path, second, o, e), 0) << e;
    EXPECT_TRUE(fs::exists(out / "screens/second.png"));
    EXPECT_FALSE(fs::exists(out / "screens/first.png"));
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

}  // namespace
