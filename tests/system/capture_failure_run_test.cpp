// A capture whose frame fetch keeps failing: each failed fetch still waits for its
// frame, so the main loop keeps the capture's rhythm (12 passes a board second, one
// message a pass) and picks up the pictures again once the fetches succeed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CaptureFailureRun, AFetchThatKeepsFailingKeepsThePassRhythm) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\nsettings scene\n1 reverse on\n2 fail -1 HI_MPI_VI_GetFrame\n"
                                  "4 clear_failures\n4.5 screenshot after\n4.6 power off\n"),
              0)
        << read_file(tmp.path / "stderr.txt");
    const std::string console = read_file(tmp.path / "out/console.log");
    const std::string log = read_file(tmp.path / "out/board.log");

    // Two board seconds of failing fetches: 24 passes of 1/12 s, each trying the four
    // cameras and printing the front camera's failure once.
    const int messages = count(console, "getframe failed!");
    EXPECT_GE(messages, 22);
    EXPECT_LE(messages, 26);
    const std::vector<double> fails = times_of(log, "injected failure of HI_MPI_VI_GetFrame");
    EXPECT_GE(fails.size(), 4u * 22);
    EXPECT_LE(fails.size(), 4u * 26);
    ASSERT_FALSE(fails.empty());
    EXPECT_GE(fails.front(), 2.0);
    EXPECT_LE(fails.back(), 4.0);
    // Four fetches for each message (a pass cut by the end of the failures may be short).
    EXPECT_LE(std::abs(static_cast<int>(fails.size()) - 4 * messages), 4);

    // Afterwards the pictures come again: the back camera's view beside the bird's-eye view.
    host::Picture after;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/after.png", after));
    std::set<std::uint32_t> colours;
    for (int r = 100; r < 400; ++r)
        for (int c = 320; c < 780; ++c) colours.insert(after.argb[r * 800 + c] & 0xFFFFFF);
    EXPECT_GT(colours.size(), 20u);
}

}  // namespace
