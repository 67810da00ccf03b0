// The scene's ground truth: the ground it derives from the layout, its lenses
// held against the sphere they model, its ground-to-undistorted transforms and
// where the calibration marks fall in the pictures.
#include <gtest/gtest.h>

#include <cmath>

#include "host/scene.h"

namespace {

using namespace host::scene;
using Vec = std::array<double, 3>;
using Px = std::array<double, 2>;

constexpr int kDirs[] = {kFront, kBack, kLeft, kRight};
int marks_of(int dir) { return dir == kLeft || dir == kRight ? 6 : 8; }

Vec in_camera(const Camera& c, double gx, double gy) {
    const Vec p{gx - c.position[0], gy - c.position[1], -c.position[2]};
    const auto& m = c.rotation;
    return {m[0] * p[0] + m[1] * p[1] + m[2] * p[2], m[3] * p[0] + m[4] * p[1] + m[5] * p[2],
            m[6] * p[0] + m[7] * p[1] + m[8] * p[2]};
}

// Where a direction from the projection centre meets the lens sphere (centre
// `dis` behind it), projected straight back onto the picture.
Px sphere_pixel(const Lens& l, Vec d) {
    const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (double& v : d) v /= n;
    const double R = l.radius, dis = l.dis;
    const double s = -dis * d[2] + std::sqrt(dis * dis * d[2] * d[2] - dis * dis + R * R);
    return {s * d[1] + l.center_y, s * d[0] / (l.xx / 1000.0) + l.center_x};
}

TEST(SceneGround, LayoutGivesTheHandComputedGroundAndMarks) {
    configure(Layout{});
    EXPECT_EQ(ground().Xc, 3350);  // 2400 + 1900 / 2
    EXPECT_EQ(ground().Z, 7070);   // 2700 + 4600 x 0.95
    EXPECT_EQ(mark_ground(kBack)[0], (Px{9070, 4850}));  // on the car's right
    EXPECT_EQ(mark_ground(kFront)[6], (Px{2200, 850}));
    EXPECT_EQ(mark_ground(kLeft)[4], (Px{4885, 850}));   // midway along the car
    EXPECT_EQ(mark_ground(kRight)[7], (Px{0, 0}));
    configure(Layout{10000, 0, 2});  // no usable width: the default by length
    EXPECT_EQ(ground().Xc, 4375);    // 3100 + 2550 / 2
    configure(Layout{});
}

TEST(SceneLens, PixelsAndGroundPointsMeetOnTheLensSphere) {
    configure(Layout{});
    for (int dir : kDirs) {
        const Camera& c = camera(dir);
        int seen = 0;  // pixels that show ground
        for (double py = 3.5; py < 720; py += 23)
            for (double px = 1.25; px < 1280; px += 31) {
                const auto g = pixel_to_ground(dir, py, px);
                if (!g) continue;
                ++seen;
                const Vec d = in_camera(c, (*g)[0], (*g)[1]);
                const Px s = sphere_pixel(c.lens, d);
                EXPECT_NEAR(s[0], py, 1e-6);
                EXPECT_NEAR(s[1], px, 1e-6);
                // Rays at or past 90 degrees off the axis still show ground
                // but have no undistorted point.
                const auto back = ground_to_pixel(dir, (*g)[0], (*g)[1]);
                ASSERT_EQ(back.has_value(), d[2] > 0);
                if (back) {
                    EXPECT_NEAR(std::hypot((*back)[0] - py, (*back)[1] - px), 0, 1e-6);
                }
            }
        EXPECT_GT(seen, 400) << dir;
    }
}

TEST(SceneHomography, MapsTheMarksOntoTheDirectionsOfTheirPixels) {
    for (int dir : kDirs) {
        const Camera& c = camera(dir);
        const auto& r = c.ground_to_undistorted;
        EXPECT_NEAR(r[6] * r[6] + r[7] * r[7], 1, 1e-12);
        EXPECT_GT(r[8], 0);
        const auto ground = mark_ground(dir);
        const auto pixels = mark_pixels(dir);
        for (int i = 0; i < marks_of(dir); ++i) {
            const double x = ground[i][1], y = ground[i][0];
            const double d = r[6] * x + r[7] * y + r[8];
            const Px s = sphere_pixel(c.lens, {(r[0] * x + r[1] * y + r[2]) / d, (r[3] * x + r[4] * y + r[5]) / d, 1});
            EXPECT_NEAR(s[0], pixels[i][0], 1e-6) << dir << " mark " << i + 1;
            EXPECT_NEAR(s[1], pixels[i][1], 1e-6) << dir << " mark " << i + 1;
        }
    }
}

// The marks of every layout sit well inside the pictures, in the order the
// system expects (mark 1 left of mark 2 and above mark 3), the cameras looking
// obliquely and the middle marks of front and back off the picture's centre.
TEST(SceneCameras, MarksFitEveryLayoutInTheSystemsOrder) {
    for (int width : {1900, 2550})
        for (int length = 3000; length <= 12000; length += 500)
            for (int range = 0; range <= 2; ++range) {
                configure(Layout{length, width, range});
                for (int dir : kDirs) {
                    SCOPED_TRACE(::testing::Message() << length << " " << width << " " << range << " " << dir);
                    const Camera& c = camera(dir);
                    EXPECT_GT(c.rotation[8], -std::cos(10 * M_PI / 180));
                    const auto ground = mark_ground(dir);
                    const auto px = mark_pixels(dir);
                    for (int i = 0; i < marks_of(dir); ++i) {
                        EXPECT_TRUE(px[i][0] >= 30 && px[i][0] <= 689 && px[i][1] >= 30 && px[i][1] <= 1249) << i;
                        const Vec d = in_camera(c, ground[i][1], ground[i][0]);
                        const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                        EXPECT_GE(d[2] / n, std::cos(80 * M_PI / 180));  // within 80 degrees of the axis
                    }
                    EXPECT_LT(px[0][1], px[1][1]);
                    EXPECT_LT(px[0][0], px[2][0]);
                    for (int i = 4; i < marks_of(dir) - 2; ++i)  // front and back marks 5 and 6
                        EXPECT_GT(std::hypot(px[i][0] - 360, px[i][1] - 640), 50);
                }
            }
    configure(Layout{});
}

}  // namespace
