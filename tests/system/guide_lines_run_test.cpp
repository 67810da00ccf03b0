// Guide lines and sensor arcs while reversing, through the simulator.
#include <gtest/gtest.h>

#include "host/board.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

// Pixels of the bird's-eye area in a colour.
int count_in_birdseye(const host::Picture& p, std::uint32_t rgb) {
    int n = 0;
    for (int row = 12; row < 468; ++row)
        for (int col = 16; col < 306; ++col)
            if ((p.argb[row * 800 + col] & 0xFFFFFF) == rgb) ++n;
    return n;
}

TEST(GuideLinesRun, LinesFollowTheAngleAndTheArcsBlink) {
    TempDir tmp;
    std::string scenario = "settings scene\n1.0 reverse on\n1.0 angle -1200\n1.0 radar 0 0 0 0 60 40 40 60\n"
                           "1.6 screenshot left\n2.0 angle 1200\n2.6 screenshot right\n";
    // Every 1/12 s for two seconds: the arcs show in 5 passes of 17.
    for (int i = 0; i < 24; ++i) scenario += std::to_string(3.0 + i / 12.0) + " screenshot blink" + std::to_string(i) + "\n";
    scenario += "6 power off\n";
    ASSERT_EQ(run_svsim(tmp.path, scenario), 0) << read_file(tmp.path / "stderr.txt");

    host::Picture left, right;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/left.png", left));
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/right.png", right));
    // The lines moved with the angle: the bird's-eye area changed in many
    // pixels between the two shots (the scene itself stands still).
    int changed = 0;
    for (int row = 12; row < 468; ++row)
        for (int col = 16; col < 306; ++col)
            if (left.argb[row * 800 + col] != right.argb[row * 800 + col]) ++changed;
    EXPECT_GT(changed, 1000);

    int with_arcs = 0;
    for (int i = 0; i < 24; ++i) {
        host::Picture shot;
        ASSERT_TRUE(host::read_png(tmp.path / ("out/screens/blink" + std::to_string(i) + ".png"), shot));
        if (count_in_birdseye(shot, 0xF00000) > 50) ++with_arcs;
    }
    // About 5 of 17 passes; the shots are not locked to the passes.
    EXPECT_GE(with_arcs, 3);
    EXPECT_LE(with_arcs, 13);
}

}  // namespace
