// Guide lines and sensor arcs while reversing, through the simulator.
#include <gtest/gtest.h>

#include "host/board.h"
#include "sim/scene_settings.h"
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
    std::string scenario = "speed 1000\nsettings scene\n1.0 reverse on\n1.0 angle -1200\n1.0 radar 0 0 0 0 60 40 40 60\n"
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

// A 40 m car with the largest blind zones: the blind-zone lengths exceed 32
// bits on the way; start-up and the reverse view with its lines still run.
TEST(GuideLinesRun, LongCarWithTheLargestBlindZones) {
    TempDir tmp;
    Flash_param p = scene_settings();
    p.im_param.fblank = 0xFFFF;
    p.im_param.bblank = 0xFFFF;
    p.car_num.length = 40000;
    {
        std::ofstream out(tmp.path / "settings.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&p), sizeof p);
    }
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\npaced off\nsettings settings.dat\n0.3 reverse on\n0.3 angle 1200\n"
                                  "0.8 screenshot reverse\n1.0 power off\n"),
              0)
        << read_file(tmp.path / "stderr.txt");
    EXPECT_EQ(read_file(tmp.path / "stderr.txt").find("runtime error"), std::string::npos);
    host::Picture shot;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/reverse.png", shot));
    // The back view is on.
    int lit = 0;
    for (int row = 80; row < 400; row += 8)
        for (int col = 320; col < 780; col += 8) lit += (shot.argb[row * 800 + col] & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 1000);
}

}  // namespace
