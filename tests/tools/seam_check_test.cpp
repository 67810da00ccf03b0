// The build's check that product code reaches the host only through platform/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {
namespace fs = std::filesystem;

int check_tree_with(const std::string& product_line) {
    char tmpl[] = "/tmp/seam-check-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    fs::create_directories(dir / "dsp");
    std::ofstream(dir / "dsp/unit.cpp") << "#include \"platform/shell.h\"\nvoid f() {\n    " << product_line
                                        << "\n}\n";
    const std::string cmd = std::string(SOURCE_DIR "/scripts/check-seam ") + dir.string() + " 2>/dev/null";
    const int status = std::system(cmd.c_str());
    fs::remove_all(dir);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SeamCheck, DirectHostCallsFailTheCheck) {
    for (const char* line : {
             "system(\"reboot\");",
             "FILE* f = popen(\"ls\", \"r\");",
             "execvp(\"mount\", args);",
             "settimeofday(&tv, nullptr);",
             "reboot(0);",
             "int fd = open(\"/dev/fb0\", O_RDWR);",
             "FILE* f = fopen(\"/home/config/ImageParam.dat\", \"rb+\");",
             "DIR* d = opendir(\"/opt\");",
             "ioctl(fd, 24, &code);",
             "usleep(5000);",
             "time_t t = time(NULL);",
             "std::this_thread::sleep_for(std::chrono::seconds(1));",
             "#include \"host/board.h\"",
         })
        EXPECT_EQ(check_tree_with(line), 1) << line;
}

TEST(SeamCheck, CallsThroughTheSeamPass) {
    for (const char* line : {
             "sh_reboot();",
             "int fd = dev_open(\"/dev/fb0\", O_RDWR);",
             "FILE* f = fopen(board_path(\"/home/config/ImageParam.dat\").c_str(), \"rb+\");",
             "clk_usleep(5000);",
             "time_t t = clk_time();",
             "// system(\"reboot\") would build a shell string",
             "int uptime(void);",
         })
        EXPECT_EQ(check_tree_with(line), 0) << line;
}

TEST(SeamCheck, TheProjectPasses) {
    const std::string cmd = std::string(SOURCE_DIR "/scripts/check-seam ") + SOURCE_DIR;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
