// The view states driven through the microcontroller simulator.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/scene_system.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;

void write_settings(const fs::path& file, const Flash_param& p) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&p), sizeof p);
}

TEST(ViewsRun, ReverseShowsTheBackViewWithinTwoPasses) {
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", scene_settings());
    ASSERT_EQ(run_svsim(tmp.path, "speed 1000\nsettings settings.dat\n"
                                  "1.0 screenshot idle\n"
                                  "1.5 reverse on\n"
                                  "1.8 screenshot reverse\n"
                                  "2.5 power off\n"),
              0)
        << read_file(tmp.path / "stderr.txt");
    const std::string log = read_file(tmp.path / "out/board.log");
    const auto marker = times_of(log, "sim: reverse on");
    ASSERT_EQ(marker.size(), 1u);
    // A status frame within 50 ms, then at most two passes of 1/12 s.
    std::vector<double> on;
    for (double t : times_of(log, "gpio: power 1"))
        if (t > marker[0]) on.push_back(t);
    ASSERT_FALSE(on.empty()) << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
    EXPECT_LT(on[0] - marker[0], 0.05 + 2 / 12.0 + 0.05);

    host::Picture idle, shot;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/idle.png", idle));
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/reverse.png", shot));
    EXPECT_EQ(idle.argb[240 * 800 + 100], 0xFF000000u);  // display off
    // The bird's-eye view on the left and the back view on the right show pictures.
    int lit_left = 0, lit_right = 0;
    for (int row = 80; row < 400; row += 8)
        for (int col = 20; col < 780; col += 8) {
            const std::uint32_t p = shot.argb[row * 800 + col];
            if ((p & 0xFFFFFF) != 0) ++(col < 300 ? lit_left : lit_right);
        }
    EXPECT_GT(lit_left, 500);
    EXPECT_GT(lit_right, 1000);
}

TEST(ViewsRun, AccOffInAViewTurnsTheDisplayOffOnThe11thPass) {
    for (const int acc_time : {0, 5}) {
        TempDir tmp;
        Flash_param p = scene_settings();
        p.im_param.acc_time = static_cast<std::uint16_t>(acc_time);
        write_settings(tmp.path / "settings.dat", p);
        ASSERT_EQ(run_svsim(tmp.path, "speed 1000\nsettings settings.dat\n"
                                      "1.0 ir ok\n"
                                      "2.0 log acc-off\n2.0 acc off\n"
                                      "4.0 power off\n"),
                  0);
        const std::string log = read_file(tmp.path / "out/board.log");
        const double off_at = times_of(log, "sim: acc-off").at(0);
        std::vector<double> off;
        for (double t : times_of(log, "gpio: power 0"))
            if (t > off_at) off.push_back(t);
        if (acc_time == 5) {
            EXPECT_TRUE(off.empty());  // the ACC delay setting 5 keeps the display on
        } else {
            ASSERT_FALSE(off.empty());
            // 11 passes at 12 per second after the first frame without ACC.
            EXPECT_GT(off[0] - off_at, 10 / 12.0);
            EXPECT_LT(off[0] - off_at, 13 / 12.0 + 0.2);
        }
    }
}

}  // namespace
