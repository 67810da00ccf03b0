// The default scenario's obstacle approach: every shot of it shows the
// parking-sensor arcs, nearer each time.
#include <gtest/gtest.h>

#include <sstream>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

// The default scenario up to the end of the approach, as fast as the host allows.
std::string approach_part() {
    std::istringstream in(read_file(fs::path(SOURCE_DIR) / "sim/scenarios/default.scn"));
    std::string text = "speed 1000\n";
    for (std::string line; std::getline(in, line);) {
        double t = 0;
        if (std::istringstream(line) >> t && t > 12) continue;
        text += line + "\n";
    }
    return text + "12.1 power off\n";
}

// Pixels of the arcs' red in the bird's-eye view (left of column 308), and
// the lowest row they reach: the arcs behind the car come up to the obstacle.
std::pair<int, int> arcs(const host::Picture& p) {
    int n = 0, lowest = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 308; ++x)
            if ((p.argb[static_cast<std::size_t>(y * 800 + x)] & 0xFFFFFF) == 0xF00000) ++n, lowest = std::max(lowest, y);
    return {n, lowest};
}

TEST(DefaultRun, EveryObstacleShotShowsTheSensorArcsNearerEachTime) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, approach_part()), 0) << read_file(tmp.path / "stderr.txt");
    int before = 1000;
    for (int i = 1; i <= 4; ++i) {
        host::Picture p;
        ASSERT_TRUE(host::read_png(tmp.path / "out/screens" / ("reverse-obstacle-" + std::to_string(i) + ".png"), p));
        const auto [n, lowest] = arcs(p);
        EXPECT_GT(n, 100) << "reverse-obstacle-" << i << " shows no sensor arcs";
        EXPECT_LT(lowest, before) << "reverse-obstacle-" << i << ": the obstacle came no nearer";
        before = lowest;
    }
}

}  // namespace
