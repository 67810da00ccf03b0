// sim/scenarios/calibration.scn: the installer's keys that calibrate the four
// cameras of the default scene from the default settings. The file is made
// from the scene's geometry; running it gives a bird's-eye view whose ground
// marks lie where they are on the ground.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/cali_plan.h"
#include "tests/screen_compare.h"
#include "tests/svsim_run.h"

namespace {
using namespace svsim_test;
using namespace cali_plan;

const fs::path kShipped = fs::path(SOURCE_DIR) / "sim/scenarios/calibration.scn";

// Key lines 0.15 s apart: a pass of the main loop lasts up to 0.125 s, so
// each key has a pass of its own.
struct Script {
    std::ostringstream text;
    double t = 1.0;
    void key(int code, const std::string& note = {}, double gap = 0.15) {
        char line[64];
        std::snprintf(line, sizeof line, "%.2f key %d", t, code);
        text << line << (note.empty() ? "" : "  # " + note) << "\n";
        t += gap;
    }
    void moves(const Cali_pos& from, const Cali_pos& to, int mark, int step) {
        std::vector<int> k;
        keys_between((&from.y1)[2 * (mark - 1)], (&from.x1)[2 * (mark - 1)], (&to.y1)[2 * (mark - 1)],
                     (&to.x1)[2 * (mark - 1)], step, k);
        for (int code : k) key(code);
    }
    void event(const std::string& what, double gap = 0.1) {
        char line[32];
        std::snprintf(line, sizeof line, "%.2f ", t);
        text << line << what << "\n";
        t += gap;
    }
};

// The preview the system draws from the true raw marks, and where the
// installer puts each mark on it.
Cali_pos preview_for(int dir, const Cali_pos& raw) {
    std::vector<Image_table> table(800 * 480);
    Zuobiao z{};
    for (int i = 0; i < 4; ++i)
        a_jiaozheng((&raw.y1)[2 * i], (&raw.y1)[2 * i + 1], &(&z.y1)[2 * i], &(&z.y1)[2 * i + 1], defaults(dir).sensor);
    double h[9];
    if (b_jiefcz(&targets(dir), &z, h) != 0) ADD_FAILURE() << "no provisional projection for camera " << dir;
    mt_test(table.data(), h, dir, flash_param_default);
    return preview_marks(dir, table.data());
}

std::string calibration_scenario() {
    start_uncalibrated();
    Script s;
    s.text << "# Calibrates the four cameras of the default scene from the default settings,\n"
              "# with the keys an installer presses (key frames from the microcontroller),\n"
              "# and ends on the bird's-eye view. Made from the scene's geometry by\n"
              "# tests/examples/calibration_example_test.cpp; see the README's Calibration.\n"
              "#\n"
              "# Key codes: 26 down, 27 up, 4 left, 6 right move a mark by 1; 154, 155, 132, 134\n"
              "# (the same held) by 8 on the raw picture and 6 on the preview; 5 OK, 18 exit.\n"
              "speed 1000\n"
              "rtc 2026-12-07 08:00:00 1\n\n";
    s.event("screenshot uncalibrated");
    s.key(5, "OK: a view asked for while uncalibrated opens the calibration screen", 0.6);
    s.event("screenshot calibration");
    const int order[4] = {sc::kBack, sc::kFront, sc::kLeft, sc::kRight};
    const char* names[4] = {"back", "front", "left", "right"};
    for (int i = 0; i < 4; ++i) {
        const int dir = order[i];
        const std::string name = names[i];
        s.text << "\n# The " << name << " camera: " << mark_count(dir) << " marks\n";
        s.key(dir == sc::kBack ? 26 : dir == sc::kFront ? 27 : dir == sc::kLeft ? 4 : 6, "choose the " + name + " camera");
        s.key(5, "OK: its raw picture, mark 1 of 4 chosen");
        const Cali_pos start = clamp_marks(defaults(dir).pos);
        const Cali_pos raw = true_marks(dir);
        for (int m = 1; m <= 4; ++m) {
            s.text << "# raw picture, mark " << m << "\n";
            s.moves(start, raw, m, 8);
            if (m == 4) s.event("screenshot raw-" + name);
            // The preview is computed on the pass after the fourth OK.
            s.key(5, m == 4 ? "OK: the preview, every mark to place" : "", m == 4 ? 0.4 : 0.15);
        }
        Cali_pos on_preview{};
        set_pos(&on_preview, dir);
        const Cali_pos placed = preview_for(dir, raw);
        const bool side = dir == sc::kLeft || dir == sc::kRight;
        static constexpr int kFB[8] = {1, 5, 2, 7, 3, 6, 4, 8}, kSides[6] = {1, 5, 2, 3, 6, 4};
        const int n = side ? 6 : 8;
        for (int k = 0; k < n; ++k) {
            const int m = side ? kSides[k] : kFB[k];
            s.text << "# preview, mark " << m << "\n";
            s.moves(on_preview, placed, m, 6);
            if (k == n - 1) s.event("screenshot preview-" + name);
            s.key(5, k == n - 1 ? "OK: solved and saved" : "", k == n - 1 ? 0.4 : 0.15);
        }
    }
    s.text << "\n# All four calibrated: the installer menu beside the bird's-eye view.\n";
    s.event("screenshot birdseye");
    s.key(18, "exit: the installer menu closes");
    s.key(18, "exit: the view", 0.4);
    s.event("screenshot view");
    s.event("power off");
    return s.text.str();
}

TEST(CalibrationExample, TheShippedKeysAreTheOnesTheSceneAsksFor) {
    const std::string want = calibration_scenario();
    // WRITE_EXAMPLES=1 writes the file anew after a change of the scene.
    if (std::getenv("WRITE_EXAMPLES")) std::ofstream(kShipped) << want;
    EXPECT_EQ(read_file(kShipped), want) << "run with WRITE_EXAMPLES=1 to write " << kShipped;
}

TEST(CalibrationExample, ItCalibratesAllFourCamerasAndTheGroundMarksLieWhereTheyBelong) {
    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, read_file(kShipped)), 0) << read_file(tmp.path / "stderr.txt");
    Flash_param saved{};
    expect_all_four_calibrated(read_file(tmp.path / "out/board/home/config/ImageParam.dat"), saved);
    if (HasFatalFailure()) return;
    // The bird's-eye view beside the installer menu, then beside the camera
    // view: 10370 mm of ground over 456 rows from row 12, 6700 mm over 290
    // columns from column 16. Every target's disk sits at its ground place.
    for (const char* shot : {"birdseye", "view"}) {
        host::Picture p;
        ASSERT_TRUE(host::read_png(tmp.path / "out/screens" / (std::string(shot) + ".png"), p)) << shot;
        for (int dir : {sc::kBack, sc::kFront, sc::kLeft, sc::kRight})
            for (int k = 0; k < mark_count(dir); ++k) {
                const auto g = sc::mark_ground(dir)[static_cast<std::size_t>(k)];
                const double row = 12 + g[0] * 456 / 10370.0, col = 16 + g[1] * 290 / 6700.0;
                const auto d = disk_at(p, static_cast<int>(std::lround(row)), static_cast<int>(std::lround(col)));
                EXPECT_NEAR(d[0], row, 2.0) << shot << " camera " << dir << " mark " << k + 1;
                EXPECT_NEAR(d[1], col, 2.0) << shot << " camera " << dir << " mark " << k + 1;
            }
    }
}

}  // namespace
