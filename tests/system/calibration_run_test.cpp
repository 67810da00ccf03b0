// The installer's calibration of all four cameras of the synthetic scene,
// driven by key frames from the microcontroller.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "dsp/dsp_caidan.h"
#include "dsp/dsp_tubiao.h"
#include "gui/GUI.h"
#include "tests/cali_plan.h"
#include "tests/screen_compare.h"
#include "tests/svsim_run.h"
#include "vio/vio.h"

namespace {
using namespace svsim_test;
using namespace cali_plan;

// A scenario of keys 0.15 s apart (a pass lasts up to 0.125 s, so each
// key has a pass of its own), with pauses and screenshots.
struct Script {
    std::ostringstream text;
    double t = 1.0;
    double last_key = 0;
    void key(int code, double gap = 0.15) {
        char line[64];
        std::snprintf(line, sizeof line, "%.2f key %d\n", t, code);
        text << line;
        last_key = t;
        t += gap;
    }
    void keys(const std::vector<int>& codes) {
        for (int k : codes) key(k);
    }
    // Screenshots over eight passes: the blinking block or cross shows on
    // some. The first comes two whole passes after the last key, which is
    // surely handled by then.
    void shots(const std::string& name) {
        t = std::max(t, last_key + 0.25);
        for (int i = 0; i < 8; ++i) event("screenshot " + name + "-" + std::to_string(i));
    }
    void event(const std::string& what) {
        char line[32];
        std::snprintf(line, sizeof line, "%.2f ", t);
        text << line << what << "\n";
        t += 0.1;
    }
};

std::vector<int> moves(const Cali_pos& from, const Cali_pos& to, int mark, int step) {
    std::vector<int> k;
    const std::int16_t* f = &from.y1 + 2 * (mark - 1);
    const std::int16_t* d = &to.y1 + 2 * (mark - 1);
    keys_between(f[0], f[1], d[0], d[1], step, k);
    return k;
}

const Camera_param& stored(const Flash_param& p, int dir) {
    return dir == sc::kFront ? p.cf_param : dir == sc::kBack ? p.cb_param : dir == sc::kLeft ? p.cl_param : p.cr_param;
}

class CalibrationRun : public ::testing::Test {
protected:
    std::vector<Image_table> t = std::vector<Image_table>(800 * 480);
    std::map<int, Cali_pos> expected;  // by camera: the marks the placed preview marks stand for
    void SetUp() override { start_uncalibrated(); }
    // The preview the system shows after the raw marks, and the marks on it.
    Cali_pos preview_of(int dir, const Cali_pos& raw) {
        Zuobiao z{};
        for (int i = 0; i < 4; ++i)
            a_jiaozheng((&raw.y1)[2 * i], (&raw.y1)[2 * i + 1], &(&z.y1)[2 * i], &(&z.y1)[2 * i + 1],
                        defaults(dir).sensor);
        double h[9];
        EXPECT_EQ(b_jiefcz(&targets(dir), &z, h), 0);
        mt_test(t.data(), h, dir, flash_param_default);
        const Cali_pos placed = preview_marks(dir, t.data());
        Zuobiao u{};
        bh(placed, &u, h, dir);
        huanyuan_pos(&u, &expected[dir], dir, flash_param_default);
        return placed;
    }
    // The installer's keys for one camera: choose it, marks 1-4 on the raw
    // picture, then every mark on the preview.
    void calibrate(Script& s, int dir, const std::string& name) {
        s.key(dir == sc::kBack ? 26 : dir == sc::kFront ? 27 : dir == sc::kLeft ? 4 : 6);
        s.shots("choose-" + name);
        s.key(5);
        const Cali_pos start = clamp_marks(defaults(dir).pos);
        const Cali_pos raw = true_marks(dir);
        for (int m = 1; m <= 4; ++m) {
            s.keys(moves(start, raw, m, 8));
            if (m == 4) s.shots("marks-" + name);
            s.key(5, m == 4 ? 0.4 : 0.15);  // the preview is computed on the next pass
        }
        Cali_pos defaults_on_preview{};
        set_pos(&defaults_on_preview, dir);
        const Cali_pos placed = preview_of(dir, raw);
        const bool side = dir == sc::kLeft || dir == sc::kRight;
        static constexpr int kFB[8] = {1, 5, 2, 7, 3, 6, 4, 8}, kSides[6] = {1, 5, 2, 3, 6, 4};
        for (int i = 0; i < (side ? 6 : 8); ++i) {
            const int m = side ? kSides[i] : kFB[i];
            s.keys(moves(defaults_on_preview, placed, m, 6));
            if (i == (side ? 5 : 7)) s.shots("preview-" + name);
            s.key(5, i == (side ? 5 : 7) ? 0.4 : 0.15);
        }
    }
};

// Of a screen's eight shots, the one with the most pixels of `colour` left
// of column `right`: the one where the blinking item shows. It must show.
host::Picture blinking(const fs::path& screens, const std::string& name, std::uint32_t colour, int right) {
    host::Picture best;
    int most = -1, least = 1 << 30;
    for (int i = 0; i < 8; ++i) {
        host::Picture p;
        EXPECT_TRUE(host::read_png(screens / (name + "-" + std::to_string(i) + ".png"), p)) << name;
        int n = 0;
        for (int r = 0; r < 480; ++r)
            for (int c = 0; c < right; ++c) n += p.argb[static_cast<std::size_t>(r * 800 + c)] == colour;
        if (n > most) most = n, best = p;
        least = std::min(least, n);
    }
    EXPECT_GT(most, least) << name << ": the blinking item never showed";
    return best;
}

TEST_F(CalibrationRun, TheInstallersKeysCalibrateAllFourCamerasAndTheBirdsEyeViewShowsTheMarks) {
    Script s;
    s.text << "speed 1000\n";
    s.key(5);  // a view asked for while uncalibrated: the calibration screen
    const int order[4] = {sc::kBack, sc::kFront, sc::kLeft, sc::kRight};
    const char* names[4] = {"back", "front", "left", "right"};
    for (int i = 0; i < 4; ++i) calibrate(s, order[i], names[i]);
    s.event("screenshot birdseye");
    // From the installer menu into calibration again: the last camera's raw picture.
    s.key(5, 0.4);
    s.key(5, 0.4);
    s.event("screenshot again");
    s.event("power off");

    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, s.text.str()), 0) << read_file(tmp.path / "stderr.txt");

    Flash_param saved{};
    expect_all_four_calibrated(read_file(tmp.path / "out/board/home/config/ImageParam.dat"), saved);
    if (HasFatalFailure()) return;

    for (int dir : order) {
        // The stored marks are what the keys placed on the preview, turned back
        // into camera pixels, and those are the targets' true pixels.
        const Camera_param& c = stored(saved, dir);
        const auto truth = sc::mark_pixels(dir);
        for (int k = 0; k < mark_count(dir); ++k) {
            EXPECT_EQ((&c.pos.y1)[2 * k], (&expected[dir].y1)[2 * k]) << dir << " mark " << k + 1;
            EXPECT_EQ((&c.pos.y1)[2 * k + 1], (&expected[dir].y1)[2 * k + 1]) << dir << " mark " << k + 1;
            EXPECT_NEAR((&c.pos.y1)[2 * k], truth[k][0], 2.5) << dir << " mark " << k + 1;
            EXPECT_NEAR((&c.pos.y1)[2 * k + 1], truth[k][1], 2.5) << dir << " mark " << k + 1;
        }
        // The refined lens: one step of the search's grid from the scene's
        // (three for the distance, which the search barely tells apart).
        const sc::Lens& want = sc::camera(dir).lens;
        EXPECT_LE(std::abs(c.sensor.center_x - want.center_x), 4) << dir;
        EXPECT_LE(std::abs(c.sensor.center_y - want.center_y), 4) << dir;
        EXPECT_LE(std::abs(c.sensor.dis - want.dis), 15) << dir;
        EXPECT_EQ(c.sensor.radius, defaults(dir).sensor.radius);
        EXPECT_EQ(c.sensor.len180, defaults(dir).sensor.len180);
    }

    // The back camera's default and refined lens, in that order.
    const std::string console = read_file(tmp.path / "out/console.log");
    const Sensor_param& b0 = defaults(sc::kBack).sensor;
    const Sensor_param& b1 = saved.cb_param.sensor;
    char lines[128];
    std::snprintf(lines, sizeof lines, "******%d,%d,%d****\n******%d,%d,%d****\n", b0.center_x, b0.center_y, b0.dis,
                  b1.center_x, b1.center_y, b1.dis);
    EXPECT_NE(console.find(lines), std::string::npos) << lines;
    // Only the back camera prints them.
    int lens_lines = 0;
    std::istringstream in(console);
    for (std::string line; std::getline(in, line);)
        if (line.size() > 10 && line.starts_with("******") && line.ends_with("****") &&
            line.substr(6, line.size() - 10).find_first_not_of("-0123456789,") == std::string::npos)
            ++lens_lines;
    EXPECT_EQ(lens_lines, 2);

    // What the installer saw: the chosen camera's icon blinking, marks 1-4
    // with the magnifier, the preview with every mark.
    const fs::path screens = tmp.path / "out/screens";
    for (const char* name : names) {
        expect_like_reference(std::string("cali-choose-") + name,
                              blinking(screens, std::string("choose-") + name, 0xFF000000u, 320).argb);
        expect_like_reference(std::string("cali-marks-") + name,
                              blinking(screens, std::string("marks-") + name, 0xFF00A600u, 800).argb);
        expect_like_reference(std::string("cali-preview-") + name,
                              blinking(screens, std::string("preview-") + name, 0xFF00A600u, 800).argb);
    }

    // The rebuilt bird's-eye view: 10370 mm over 456 rows, 6700 mm over 290 columns.
    host::Picture shot;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/birdseye.png", shot));
    // Beside it the installer menu, its first entry (calibration) highlighted:
    // a white box at column 308 + 40, row 50.
    GUI_Init();
    const int w = GUI_GetStringDistX(bdsxt_zh);
    EXPECT_EQ(w, 5 * 24);
    int white = 0;
    for (int r = 50; r < 74; ++r)
        for (int c = 348; c < 348 + w; ++c) white += (shot.argb[static_cast<std::size_t>(r * 800 + c)] & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(white, w * 24 / 2);
    // Calibration chosen there shows the raw picture of the camera last
    // calibrated, with its marks: most pixels as the picture alone.
    host::Picture again, raw;
    ASSERT_TRUE(host::read_png(tmp.path / "out/screens/again.png", again));
    ASSERT_TRUE(host::read_png(fs::path(SOURCE_DIR) / "tests/ref/raw-right.png", raw));
    int same = 0;
    for (std::size_t i = 0; i < raw.argb.size(); ++i) same += again.argb[i] == raw.argb[i];
    EXPECT_GT(same, 800 * 480 * 9 / 10);
    for (int dir : order)
        for (int k = 0; k < mark_count(dir); ++k) {
            const auto g = sc::mark_ground(dir)[static_cast<std::size_t>(k)];
            const double row = 12 + g[0] * 456 / 10370.0, col = 16 + g[1] * 290 / 6700.0;
            const auto d = disk_at(shot, static_cast<int>(std::lround(row)), static_cast<int>(std::lround(col)));
            EXPECT_NEAR(d[0], row, 2.0) << dir << " mark " << k + 1;
            EXPECT_NEAR(d[1], col, 2.0) << dir << " mark " << k + 1;
        }
}

TEST_F(CalibrationRun, MarksThatGiveNoProjectionChangeNothingAndExitAndAccOffEndCalibration) {
    const Cali_pos stored_marks = clamp_marks(defaults(sc::kBack).pos);
    Script s;
    s.text << "speed 1000\n";
    s.key(5, 0.4);  // the calibration screen; the back camera is chosen at start
    s.shots("start");
    s.key(5);
    s.shots("marks-before");
    // Mark 2 onto mark 1: the provisional solve fails.
    s.key(5);
    std::vector<int> onto;
    keys_between(stored_marks.y2, stored_marks.x2, stored_marks.y1, stored_marks.x1, 8, onto);
    s.keys(onto);
    s.key(5);
    s.key(5);
    s.key(5, 0.4);
    s.shots("after-provisional");
    // Again, now preview marks 1 and 2 on one point: the final solve fails.
    s.key(5);
    for (int m = 0; m < 3; ++m) s.key(5);
    s.key(5, 0.4);
    Cali_pos preview{};
    set_pos(&preview, sc::kBack);
    s.key(5);  // mark 1
    s.key(5);  // mark 5
    onto.clear();
    keys_between(preview.y2, preview.x2, preview.y1, preview.x1, 6, onto);
    s.keys(onto);
    for (int m = 0; m < 5; ++m) s.key(5);
    s.key(5, 0.4);
    s.shots("after-final");
    // The stored marks are those of before.
    s.key(5);
    s.shots("marks-after");
    // Exit on mark 1, then exit on the calibration screen: display off, idle.
    s.key(18);
    s.event("log exit");
    s.key(18, 0.5);
    // ACC off while calibrating: idle after ten more passes.
    s.key(5);
    s.key(5);
    s.event("log acc-off");
    s.event("acc off");
    s.t += 2;
    s.event("power off");

    TempDir tmp;
    ASSERT_EQ(run_svsim(tmp.path, s.text.str()), 0) << read_file(tmp.path / "stderr.txt");
    const std::string file = read_file(tmp.path / "out/board/home/config/ImageParam.dat");
    EXPECT_EQ(file, std::string(reinterpret_cast<const char*>(&flash_param_default), sizeof flash_param_default));

    const fs::path screens = tmp.path / "out/screens";
    const host::Picture start = blinking(screens, "start", 0xFF000000u, 320);
    EXPECT_EQ(blinking(screens, "after-provisional", 0xFF000000u, 320).argb, start.argb);
    EXPECT_EQ(blinking(screens, "after-final", 0xFF000000u, 320).argb, start.argb);
    EXPECT_EQ(blinking(screens, "marks-after", 0xFF00A600u, 800).argb,
              blinking(screens, "marks-before", 0xFF00A600u, 800).argb);

    const std::string log = read_file(tmp.path / "out/board.log");
    const double exit_at = times_of(log, "sim: exit").at(0), acc_at = times_of(log, "sim: acc-off").at(0);
    std::vector<double> off_after_exit, on_again, off_after_acc;
    for (double t : times_of(log, "gpio: power 0")) {
        if (t > exit_at && t < exit_at + 0.5) off_after_exit.push_back(t);
        if (t > acc_at) off_after_acc.push_back(t);
    }
    for (double t : times_of(log, "gpio: power 1"))
        if (t > exit_at + 0.5 && t < acc_at) on_again.push_back(t);
    EXPECT_FALSE(off_after_exit.empty()) << "exit on the calibration screen leaves the display on";
    EXPECT_FALSE(on_again.empty()) << "the next key found no idle state";
    ASSERT_FALSE(off_after_acc.empty()) << "ACC off left calibration running";
    // Ten passes go on; the eleventh (a pass lasts up to 0.125 s) goes idle.
    EXPECT_GT(off_after_acc[0] - acc_at, 10 * 0.08);
    EXPECT_LT(off_after_acc[0] - acc_at, 12 * 0.125 + 0.05);
}

}  // namespace
