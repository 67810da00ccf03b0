// The system's camera geometry against the synthetic scene's ground truth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_gaus.h"
#include "host/scene.h"
#include "vio/vio.h"

namespace {

using host::scene::kBack;
using host::scene::kFront;
using host::scene::kLeft;
using host::scene::kRight;
constexpr int kDirs[4] = {kFront, kBack, kLeft, kRight};

Sensor_param sensor_of(const host::scene::Lens& l) {
    return Sensor_param{static_cast<std::int16_t>(l.center_y), static_cast<std::int16_t>(l.center_x), 580,
                        static_cast<std::int16_t>(l.radius), static_cast<std::int16_t>(l.dis),
                        static_cast<std::int16_t>(l.xx), -1};
}

Sensor_param true_lens(int dir) { return sensor_of(host::scene::camera(dir).lens); }

// The camera's marks as the installer places them: whole pixels.
Cali_pos marks_of(int dir) {
    Cali_pos pos{};
    std::int16_t* m = &pos.y1;
    const auto px = host::scene::mark_pixels(dir);
    const int n = (dir == kFront || dir == kBack) ? 8 : 6;
    for (int i = 0; i < n; ++i) {
        m[2 * i] = static_cast<std::int16_t>(std::lround(px[i][0]));
        m[2 * i + 1] = static_cast<std::int16_t>(std::lround(px[i][1]));
    }
    return pos;
}

const Zuobiao& targets(int dir) {
    return dir == kFront ? zuobiao_f : dir == kBack ? zuobiao_b : dir == kLeft ? zuobiao_l : zuobiao_r;
}

class SceneGeometry : public ::testing::Test {
protected:
    void SetUp() override {
        host::scene::configure(host::scene::Layout{});
        flash_param = flash_param_default;
        get_car(&flash_param.car_num);
        set_zuobiao(flash_param);
    }

    // Solves the camera from its marks with a lens; the largest distance, in
    // pixels, between where the solution puts each target and where the
    // target really is in the picture.
    static double reprojection_error(int dir, const Sensor_param& lens, int first = 1, int last = 8) {
        const Cali_pos pos = marks_of(dir);
        const std::int16_t* m = &pos.y1;
        Zuobiao zzz{};
        double* z = &zzz.y1;
        for (int i = 0; i < 4; ++i) a_jiaozheng(m[2 * i], m[2 * i + 1], &z[2 * i], &z[2 * i + 1], lens);
        double xishu[9];
        if (b_jiefcz(&targets(dir), &zzz, xishu) != 0) return INFINITY;
        const auto ground = host::scene::mark_ground(dir);
        const auto truth = host::scene::mark_pixels(dir);
        const int n = std::min(last, (dir == kFront || dir == kBack) ? 8 : 6);
        double worst = 0;
        for (int i = first - 1; i < n; ++i) {
            double xx, yy, y, x;
            b_bianhuan(ground[i][1], ground[i][0], &xx, &yy, xishu);
            a_huanyuan(yy, xx, &y, &x, lens);
            worst = std::max(worst, std::hypot(y - truth[i][0], x - truth[i][1]));
        }
        return worst;
    }
};

TEST_F(SceneGeometry, TheSystemsTargetsAreWhereTheSceneLaidThem) {
    for (int dir : kDirs) {
        const auto g = host::scene::mark_ground(dir);
        const double* t = &targets(dir).y1;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(t[2 * i], g[i][0]) << dir << " point " << i + 1;
            EXPECT_EQ(t[2 * i + 1], g[i][1]) << dir << " point " << i + 1;
        }
    }
}

TEST_F(SceneGeometry, LensAndTransformReachTheScenesPixels) {
    // Ground points all round the car, through the true transform and the
    // system's lens model, land on the pixel the scene renders them at.
    for (int dir : kDirs) {
        const auto& cam = host::scene::camera(dir);
        int checked = 0;
        for (double gy = -1000; gy <= 12000; gy += 500)
            for (double gx = -1000; gx <= 8000; gx += 500) {
                const auto px = host::scene::ground_to_pixel(dir, gx, gy);
                if (!px || (*px)[0] < 0 || (*px)[0] > 719 || (*px)[1] < 0 || (*px)[1] > 1279) continue;
                double xx, yy, y, x;
                b_bianhuan(gx, gy, &xx, &yy, cam.ground_to_undistorted.data());
                a_huanyuan(yy, xx, &y, &x, sensor_of(cam.lens));
                EXPECT_NEAR(y, (*px)[0], 1e-6) << dir;
                EXPECT_NEAR(x, (*px)[1], 1e-6) << dir;
                ++checked;
            }
        EXPECT_GT(checked, 20) << dir;
    }
}

TEST_F(SceneGeometry, MarksSolvedWithTheTrueLensReprojectWithinOnePixel) {
    // Marks are whole pixels, so each carries up to half a pixel of rounding.
    for (int dir : {kFront, kBack}) EXPECT_LE(reprojection_error(dir, true_lens(dir)), 1.0) << dir;
    for (int dir : {kLeft, kRight}) {
        EXPECT_LE(reprojection_error(dir, true_lens(dir), 1, 4), 1.0) << dir;
        // The side cameras' midpoints lie between marks some 650 pixels apart
        // on a strongly curved picture: the rounding of the ends shows there.
        EXPECT_LE(reprojection_error(dir, true_lens(dir), 5, 6), 2.0) << dir;
    }
}

TEST_F(SceneGeometry, LensSearchRecoversEachCameraFromTheDefaultLens) {
    const Sensor_param start = flash_param_default.cf_param.sensor;
    for (int dir : kDirs) {
        const Sensor_param truth = true_lens(dir);
        const Cali_pos pos = marks_of(dir);
        Sensor_param found = start;
        youhua(start, &found, &pos, dir);
        // The centre within one step of the search grid; the distance, which
        // the midpoints tell only weakly, within two (the marks are whole pixels).
        EXPECT_LE(std::abs(found.center_x - truth.center_x), 4) << dir;
        EXPECT_LE(std::abs(found.center_y - truth.center_y), 4) << dir;
        EXPECT_LE(std::abs(found.dis - truth.dis), 10) << dir;
        // The default lens puts the targets visibly off; the found one much less.
        const double before = reprojection_error(dir, start), after = reprojection_error(dir, found);
        EXPECT_GT(before, 3.0) << dir;
        EXPECT_LE(after, 2.5) << dir;
        EXPECT_LT(after, before) << dir;
    }
}

TEST_F(SceneGeometry, LateralFactorsOfExactCamerasAreOne) {
    for (int dir : {kFront, kBack}) {
        const Cali_pos pos = marks_of(dir);
        const std::int16_t* m = &pos.y1;
        Zuobiao zzz{};
        double* z = &zzz.y1;
        for (int i : {0, 1, 2, 3, 6, 7}) a_jiaozheng(m[2 * i], m[2 * i + 1], &z[2 * i], &z[2 * i + 1], true_lens(dir));
        La_xs la{0, 0};
        (dir == kFront ? cul_xs_f : cul_xs_b)(&zzz, &targets(dir), &la);
        EXPECT_NEAR(la.xs_l, 1.0, 0.02) << dir;
        EXPECT_NEAR(la.xs_r, 1.0, 0.02) << dir;
    }
    // Marks that give no transform leave the factors as they were.
    Zuobiao same{};
    La_xs la{0.5, 0.7};
    cul_xs_f(&same, &zuobiao_f, &la);
    EXPECT_EQ(la.xs_l, 0.5);
    EXPECT_EQ(la.xs_r, 0.7);
}

TEST_F(SceneGeometry, StartUpSolvesEachCalibratedCamera) {
    Camera_param* cams[4] = {&flash_param.cf_param, &flash_param.cb_param, &flash_param.cl_param, &flash_param.cr_param};
    for (int i = 0; i < 4; ++i) *cams[i] = Camera_param{true_lens(kDirs[i]), marks_of(kDirs[i])};
    flash_param.flagf = flash_param.flagb = flash_param.flagl = flash_param.flagr = 1;
    // The right camera's marks all on one pixel: no projection.
    flash_param.cr_param.pos = Cali_pos{300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 0, 0, 0, 0};
    la_xsf = la_xsb = La_xs{1.0, 1.0};
    solve_cameras();
    EXPECT_EQ(flash_param.flagf, 1);
    EXPECT_EQ(flash_param.flagb, 1);
    EXPECT_EQ(flash_param.flagl, 1);
    EXPECT_EQ(flash_param.flagr, 0);
    EXPECT_EQ(std::memcmp(&flash_param.cr_param, &flash_param_default.cr_param, sizeof(Camera_param)), 0);
    // The solved front transform maps ground like the scene's.
    const auto& H = host::scene::camera(kFront).ground_to_undistorted;
    for (auto [gx, gy] : {std::pair{3350.0, 1500.0}, {2000.0, 800.0}, {4800.0, 2300.0}}) {
        double xs, ys, xt, yt;
        b_bianhuan(gx, gy, &xs, &ys, f_xishu);
        b_bianhuan(gx, gy, &xt, &yt, H.data());
        EXPECT_NEAR(xs, xt, 0.01);
        EXPECT_NEAR(ys, yt, 0.01);
    }
    EXPECT_NEAR(la_xsf.xs_l, 1.0, 0.02);
    EXPECT_NEAR(la_xsb.xs_r, 1.0, 0.02);
}

}  // namespace
