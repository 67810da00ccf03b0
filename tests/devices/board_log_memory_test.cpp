// A board that logs to a file keeps no copy of the lines in memory: the
// simulator's log of an hours-long recording would otherwise grow for good.
#include <fstream>
#include <string>
#include <vector>

#include "board_fixture.h"

namespace {

class BoardLogMemory : public BoardTest {};

TEST_F(BoardLogMemory, LinesGoOnlyToTheFileOnceOneIsSet) {
    host::board_log_clear();
    host::board_log("test", "before");
    const std::filesystem::path file = root_ / "log.txt";
    host::board_log_to_file(file);
    for (int i = 0; i < 1000; ++i) host::board_log("test", "line " + std::to_string(i));
    EXPECT_EQ(host::board_log_lines("test"), std::vector<std::string>{"test: before"});
    host::board_shutdown();  // closes the file
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(']') + 2));
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines.front(), "test: line 0");
    EXPECT_EQ(lines.back(), "test: line 999");
}

}  // namespace
