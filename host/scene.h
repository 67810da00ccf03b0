// The synthetic camera scene: a car of the settings' size on a flat textured
// ground with parking lines and the calibration marks, seen by four oblique
// fisheye cameras whose lenses follow the system's lens model. Its ground
// truth (lenses, poses, exact pixels of ground points, ground-to-undistorted
// transforms) is what geometry tests check the system against.
//
// Ground frame, millimetres: origin at the top-left corner of the bird's-eye
// picture, x across the car from left to right, y along the car from front to
// rear, z up. The car's front is at y = FVLEN, its rear at FVLEN + LL, its
// left side at x = LRVLEN, its right side at LRVLEN + W.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "host/board.h"

namespace host::scene {

// Direction codes of the system: 1 back, 2 left, 4 right, 8 front.
constexpr int kBack = 1, kLeft = 2, kRight = 4, kFront = 8;

// A lens in the settings record's terms.
struct Lens {
    int center_y, center_x;  // optical centre, pixels
    int radius;              // sphere radius, pixels
    int dis;                 // projection centre to sphere centre, pixels
    int xx;                  // horizontal aspect x 1000
};

// The car and the view range, as the settings give them.
struct Layout {
    int length = 4600;     // Car_num.length, mm
    int width = 1900;      // Car_num.car_lev, mm (1000..65534)
    int view_range = 1;    // Image_param.view_range
};

// The lengths the system derives from the layout (the installer lays the
// targets out by them).
struct Ground {
    int LL, W;                  // body length (length x 0.95) and width
    int FVLEN, BVLEN, LRVLEN;   // ground shown ahead, behind, beside
    double Xc, Z;               // centre line x, rear y
};

struct Camera {
    int dir;                              // 1, 2, 4, 8
    int channel;                          // capture channel: 0 left, 1 right, 4 back, 5 front
    Lens lens;
    std::array<double, 3> position;       // mm
    std::array<double, 9> rotation;       // ground to camera axes, row order (x right, y down, z forward)
    // Ground (x, y) mm to the undistorted plane (xx, yy), scaled like the
    // system's solve: r6^2 + r7^2 = 1, r8 > 0.
    std::array<double, 9> ground_to_undistorted;
};

// Sets the car and view range; resets the cameras and the rendered pictures.
void configure(const Layout& layout);
const Layout& layout();
const Ground& ground();
const Camera& camera(int dir);

// Exact camera pixel (row, column) of a ground point; nothing when the point
// is behind the camera or beyond the lens horizon.
std::optional<std::array<double, 2>> ground_to_pixel(int dir, double gx, double gy);
// The ground point (x, y) mm seen at a camera pixel; nothing for sky, car body
// or outside the lens circle.
std::optional<std::array<double, 2>> pixel_to_ground(int dir, double py, double px);

// The calibration targets' ground points (y, x), in the system's order for the
// camera: front and back marks 1-4 the target corners, 5 midway between 1 and
// 2, 6 midway between 3 and 4, 7 and 8 the near-row points 2500 mm out;
// sides marks 1-4 their set's points, 5 and 6 the midpoints, 7 and 8 zero.
std::array<std::array<double, 2>, 8> mark_ground(int dir);
// The same marks as exact camera pixels (row, column); sides: 7 and 8 zero.
std::array<std::array<double, 2>, 8> mark_pixels(int dir);

// Renders (cached after the first frame) what capture channel `channel`
// sees: 1280 x 720, Y plane then 16-bit chroma words with U in the high byte.
FrameRenderer renderer();
// Renders the four cameras now (in parallel) unless they already are.
void prerender();

}  // namespace host::scene
