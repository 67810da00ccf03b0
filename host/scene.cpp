// The synthetic camera scene: geometry (lenses, poses, ground truth) and the
// ray-traced pictures of the four cameras. It implements the lens model on its
// own, without the system's code, so that tests can hold one against the other.
#include "host/scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace host::scene {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr std::size_t kPlane = std::size_t{kWidth} * kHeight;
constexpr int kChannels = 8;

using Vec = std::array<double, 3>;

// ---------------------------------------------------------------- colours

struct Yuv {
    double y, u, v;
};

// Studio-range BT.601, luma kept within 20..235 so that nothing reads as a
// lost signal (luma 16).
constexpr Yuv rgb(double r, double g, double b) {
    const double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
    return {std::clamp(y, 20.0, 235.0), 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255,
            128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255};
}

constexpr Yuv kOutside{20, 128, 128};
constexpr Yuv kSky = rgb(150, 200, 245);
constexpr Yuv kCar = rgb(130, 20, 25);
constexpr Yuv kGreyDark{95, 128, 128};
constexpr Yuv kGreyLight{140, 128, 128};
constexpr Yuv kYellow = rgb(235, 200, 40);
constexpr Yuv kMarkDisk{20, 128, 128};
constexpr Yuv kMarkDot{235, 128, 128};

// ---------------------------------------------------------------- the ground and the car

constexpr double kSquare = 500;       // checkerboard
constexpr double kLineHalf = 50;      // parking lines are 100 mm wide
constexpr double kSideLineOut = 1200; // beside the car
constexpr double kRearLineOut = 2800; // behind the car
constexpr double kDiskRadius = 100;
constexpr double kDotRadius = 20;
constexpr double kCarHeight = 1500;

// ---------------------------------------------------------------- cameras

// Lenses on the system's search grid, each off its defaults.
constexpr Lens kLensFront{372, 648, 740, 445, 1000};
constexpr Lens kLensBack{352, 632, 740, 410, 1000};
constexpr Lens kLensLeft{364, 656, 740, 435, 1000};
constexpr Lens kLensRight{356, 628, 740, 400, 1000};

constexpr double kPi = 3.14159265358979323846;
constexpr double deg(double d) { return d * kPi / 180; }

// Mounting: the front and back cameras stand a little out of the body so that
// the body never grazes their own projection centre; the mirrors stick out.
constexpr double kFaceGap = 20;
constexpr double kMirrorOut = 150;
constexpr double kFrontHeight = 700, kBackHeight = 900, kSideHeight = 1000;
// Depression of the front and back optical axes below the horizon: between
// the target's far and near rows, so neither row sits on the picture's centre.
constexpr double kFrontPitch = deg(38), kBackPitch = deg(42);

// The marks' disks by ground cell, so that a ground sample tests only the
// disks near it instead of all of them; each cell keeps the disks in their
// order, and a disk sits in the cells around its own as well, so that the
// rounding of a sample's position never loses one.
struct DiskGrid {
    static constexpr double kCell = 2 * kDiskRadius;
    double x0 = 0, y0 = 0;
    int nx = 0, ny = 0;
    std::vector<std::vector<std::uint8_t>> cells;

    const std::vector<std::uint8_t>* at(double x, double y) const {
        const double cx = std::floor((x - x0) / kCell), cy = std::floor((y - y0) / kCell);
        if (!(cx >= 0 && cx < nx && cy >= 0 && cy < ny)) return nullptr;
        return &cells[static_cast<std::size_t>(cy) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(cx)];
    }
};

struct Geometry {
    Layout layout;
    Ground ground{};
    std::array<Camera, 4> cams{};  // left, right, back, front
    std::vector<std::array<double, 2>> disks;  // mark centres (x, y)
    DiskGrid grid;
};

DiskGrid grid_of(const std::vector<std::array<double, 2>>& disks) {
    DiskGrid g;
    if (disks.empty()) return g;
    double x1 = disks[0][0], y1 = disks[0][1];
    g.x0 = x1;
    g.y0 = y1;
    for (const auto& m : disks) {
        g.x0 = std::min(g.x0, m[0]);
        g.y0 = std::min(g.y0, m[1]);
        x1 = std::max(x1, m[0]);
        y1 = std::max(y1, m[1]);
    }
    g.x0 -= kDiskRadius + 2 * DiskGrid::kCell;
    g.y0 -= kDiskRadius + 2 * DiskGrid::kCell;
    g.nx = static_cast<int>(std::ceil((x1 + kDiskRadius - g.x0) / DiskGrid::kCell)) + 3;
    g.ny = static_cast<int>(std::ceil((y1 + kDiskRadius - g.y0) / DiskGrid::kCell)) + 3;
    g.cells.resize(static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny));
    for (std::size_t i = 0; i < disks.size(); ++i) {
        const auto& m = disks[i];
        const int cx0 = static_cast<int>(std::floor((m[0] - kDiskRadius - g.x0) / DiskGrid::kCell)) - 1;
        const int cx1 = static_cast<int>(std::floor((m[0] + kDiskRadius - g.x0) / DiskGrid::kCell)) + 1;
        const int cy0 = static_cast<int>(std::floor((m[1] - kDiskRadius - g.y0) / DiskGrid::kCell)) - 1;
        const int cy1 = static_cast<int>(std::floor((m[1] + kDiskRadius - g.y0) / DiskGrid::kCell)) + 1;
        for (int cy = cy0; cy <= cy1; ++cy)
            for (int cx = cx0; cx <= cx1; ++cx)
                g.cells[static_cast<std::size_t>(cy) * static_cast<std::size_t>(g.nx) + static_cast<std::size_t>(cx)]
                    .push_back(static_cast<std::uint8_t>(i));
    }
    return g;
}

int slot_of(int dir) {
    switch (dir) {
    case kLeft: return 0;
    case kRight: return 1;
    case kBack: return 2;
    case kFront: return 3;
    default: return -1;
    }
}

int dir_of_channel(int channel) {
    switch (channel) {
    case 0: return kLeft;
    case 1: return kRight;
    case 4: return kBack;
    case 5: return kFront;
    default: return 0;
    }
}

Ground derive(const Layout& l) {
    Ground g{};
    g.LL = static_cast<std::uint16_t>(static_cast<int>(static_cast<double>(l.length) * 0.95));
    if (l.width >= 1000 && l.width <= 65534) {
        g.W = l.width;
    } else {
        // The system's default width by length when the setting is unusable.
        g.W = l.length < 4000 ? 1650 : l.length < 4500 ? 1800 : l.length < 5000 ? 1950
            : l.length < 6000 ? 2150 : l.length < 10000 ? 2350 : 2550;
    }
    static constexpr int kLens[4][3][3] = {
        {{2500, 3100, 1800}, {2700, 3300, 2400}, {3000, 3800, 2900}},
        {{3000, 3600, 1900}, {3200, 3800, 2500}, {3500, 4300, 3000}},
        {{3500, 4100, 2000}, {3700, 4300, 2600}, {4000, 4800, 3100}},
        {{4000, 4600, 2100}, {4200, 4800, 2700}, {4500, 5300, 3200}},
    };
    const int cls = l.length <= 6000 ? 0 : l.length <= 8000 ? 1 : l.length <= 10000 ? 2 : 3;
    const int col = l.view_range == 0 ? 0 : l.view_range == 2 ? 2 : 1;
    g.FVLEN = kLens[cls][col][0];
    g.BVLEN = kLens[cls][col][1];
    g.LRVLEN = kLens[cls][col][2];
    g.Xc = g.LRVLEN + g.W / 2;
    g.Z = g.FVLEN + g.LL;
    return g;
}

std::array<std::array<double, 2>, 8> marks_of(const Ground& g, int dir) {
    using P = std::array<double, 2>;
    const double F = g.FVLEN, Z = g.Z, Xc = g.Xc;
    std::array<P, 6> p{};
    switch (dir) {
    case kFront:
        p = {P{F - 2000, Xc - 1500}, P{F - 2000, Xc + 1500}, P{F - 500, Xc - 1500}, P{F - 500, Xc + 1500},
             P{F - 500, Xc - 2500}, P{F - 500, Xc + 2500}};
        break;
    case kBack:
        p = {P{Z + 2000, Xc + 1500}, P{Z + 2000, Xc - 1500}, P{Z + 500, Xc + 1500}, P{Z + 500, Xc - 1500},
             P{Z + 500, Xc + 2500}, P{Z + 500, Xc - 2500}};
        break;
    case kRight:
        p = {P{F - 500, Xc + 2500}, P{Z + 500, Xc + 2500}, P{F - 500, Xc + 1500}, P{Z + 500, Xc + 1500}, P{}, P{}};
        break;
    case kLeft:
        p = {P{Z + 500, Xc - 2500}, P{F - 500, Xc - 2500}, P{Z + 500, Xc - 1500}, P{F - 500, Xc - 1500}, P{}, P{}};
        break;
    default: return {};
    }
    auto mid = [](const P& a, const P& b) { return P{(a[0] + b[0]) / 2, (a[1] + b[1]) / 2}; };
    return {p[0], p[1], p[2], p[3], mid(p[0], p[1]), mid(p[2], p[3]), p[4], p[5]};
}

// ---------------------------------------------------------------- rays

// The ray of a camera pixel in camera axes; nothing outside the lens circle.
std::optional<Vec> pixel_ray(const Lens& lens, double py, double px) {
    const double k = lens.xx / 1000.0;
    const double dx = k * (px - lens.center_x), dy = py - lens.center_y;
    const double r2 = static_cast<double>(lens.radius) * lens.radius;
    const double q = r2 - dx * dx - dy * dy;
    if (q < 0) return std::nullopt;
    return Vec{dx, dy, std::sqrt(q) - lens.dis};
}

std::array<double, 2> undistorted_to_pixel(const Lens& lens, double xx, double yy) {
    const double k = lens.xx / 1000.0;
    const double r2 = xx * xx + yy * yy;
    const double R = lens.radius, d = lens.dis;
    const double t = (std::sqrt(R * R * (r2 + 1) - d * d * r2) - d) / (r2 + 1);
    return {t * yy + lens.center_y, t * xx / k + lens.center_x};
}

Vec normalized(const Vec& v) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / n, v[1] / n, v[2] / n};
}

// A camera at `pos` heading along the horizontal unit (hx, hy), its axis
// `pitch` below the horizon and its picture rows upright (no roll).
Camera make_camera(int dir, int channel, const Lens& lens, const Vec& pos, double hx, double hy, double pitch) {
    // Worked in (x, y, down), a right-handed frame, where a real camera's
    // axes are right-handed too.
    const Vec f{std::cos(pitch) * hx, std::cos(pitch) * hy, std::sin(pitch)};
    const Vec down = normalized({-f[2] * f[0], -f[2] * f[1], 1 - f[2] * f[2]});
    const Vec right{down[1] * f[2] - down[2] * f[1], down[2] * f[0] - down[0] * f[2],
                    down[0] * f[1] - down[1] * f[0]};
    Camera c{};
    c.dir = dir;
    c.channel = channel;
    c.lens = lens;
    c.position = pos;
    const std::array<Vec, 3> axes{right, down, f};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) c.rotation[3 * i + j] = axes[i][j] * (j == 2 ? -1 : 1);
    auto& h = c.ground_to_undistorted;
    for (std::size_t i = 0; i < 3; ++i) {
        const double* r = &c.rotation[3 * i];
        h[3 * i] = r[0];
        h[3 * i + 1] = r[1];
        h[3 * i + 2] = -(r[0] * pos[0] + r[1] * pos[1] + r[2] * pos[2]);
    }
    double s = 1 / std::hypot(h[6], h[7]);
    if (h[8] * s < 0) s = -s;
    for (double& v : h) v *= s;
    return c;
}

// How well the marks sit in a camera's picture: the least, over the marks, of
// the distance to the picture's edge and of the angle left to 80 degrees off
// the axis (20 pixels a degree).
double fit(const Camera& c, const std::array<std::array<double, 2>, 8>& marks, int n) {
    double worst = INFINITY;
    const auto& m = c.rotation;
    for (int i = 0; i < n; ++i) {
        const auto& g = marks[static_cast<std::size_t>(i)];
        const Vec p{g[1] - c.position[0], g[0] - c.position[1], -c.position[2]};
        const double x = m[0] * p[0] + m[1] * p[1] + m[2] * p[2];
        const double y = m[3] * p[0] + m[4] * p[1] + m[5] * p[2];
        const double z = m[6] * p[0] + m[7] * p[1] + m[8] * p[2];
        if (!(z > 0)) return -INFINITY;
        const double angle = std::acos(z / std::sqrt(x * x + y * y + z * z)) * 180 / kPi;
        const auto px = undistorted_to_pixel(c.lens, x / z, y / z);
        worst = std::min({worst, px[0], kHeight - 1 - px[0], px[1], kWidth - 1 - px[1], (80 - angle) * 20});
    }
    return worst;
}

Geometry build(const Layout& layout) {
    Geometry geo;
    geo.layout = layout;
    const Ground g = derive(layout);
    geo.ground = g;
    const double left = g.LRVLEN, right = g.LRVLEN + g.W, front = g.FVLEN, rear = g.Z;
    const double mirror_y = front + g.LL / 4.0;
    geo.cams[static_cast<std::size_t>(slot_of(kFront))] =
        make_camera(kFront, 5, kLensFront, {g.Xc, front - kFaceGap, kFrontHeight}, 0, -1, kFrontPitch);
    geo.cams[static_cast<std::size_t>(slot_of(kBack))] =
        make_camera(kBack, 4, kLensBack, {g.Xc, rear + kFaceGap, kBackHeight}, 0, 1, kBackPitch);
    // The mirrors sit nearer the front than the rear and the side targets
    // stretch far along a long car, so the side cameras' yaw and pitch are
    // chosen per layout: the pose that keeps the marks farthest inside the
    // picture and the lens's useful cone.
    for (const int dir : {kLeft, kRight}) {
        const double side = dir == kLeft ? -1 : 1;
        const Vec pos{dir == kLeft ? left - kMirrorOut : right + kMirrorOut, mirror_y, kSideHeight};
        const Lens& lens = dir == kLeft ? kLensLeft : kLensRight;
        const auto marks = marks_of(g, dir);
        auto pose = [&](int yaw, int pitch) {  // half degrees
            return make_camera(dir, dir == kLeft ? 0 : 1, lens, pos, side * std::cos(deg(yaw / 2.0)),
                               std::sin(deg(yaw / 2.0)), deg(pitch / 2.0));
        };
        int best_yaw = 0, best_pitch = 110;
        double best = -INFINITY;
        for (int yaw = -20; yaw <= 60; ++yaw)
            for (int pitch = 70; pitch <= 150; ++pitch) {
                const double s = fit(pose(yaw, pitch), marks, 6);
                if (s > best) {
                    best = s;
                    best_yaw = yaw;
                    best_pitch = pitch;
                }
            }
        geo.cams[static_cast<std::size_t>(slot_of(dir))] = pose(best_yaw, best_pitch);
    }
    for (const int dir : {kFront, kBack, kLeft, kRight}) {
        const auto m = marks_of(g, dir);
        const int n = dir == kLeft || dir == kRight ? 6 : 8;
        for (int i = 0; i < n; ++i) {
            const auto& p = m[static_cast<std::size_t>(i)];
            geo.disks.push_back({p[1], p[0]});
        }
    }
    geo.grid = grid_of(geo.disks);
    return geo;
}

// ---------------------------------------------------------------- tracing

Vec to_ground(const Camera& c, const Vec& v) {
    const auto& m = c.rotation;
    return {m[0] * v[0] + m[3] * v[1] + m[6] * v[2], m[1] * v[0] + m[4] * v[1] + m[7] * v[2],
            m[2] * v[0] + m[5] * v[1] + m[8] * v[2]};
}

// Distance along the ray to the car's box, or infinity.
double hit_car(const Ground& g, const Vec& o, const Vec& d) {
    const std::array<double, 3> lo{static_cast<double>(g.LRVLEN), static_cast<double>(g.FVLEN), 0};
    const std::array<double, 3> hi{static_cast<double>(g.LRVLEN + g.W), g.Z, kCarHeight};
    // A ray that starts beyond a face and does not head back towards it
    // misses the box; most rays do, and this spares them the divisions.
    for (std::size_t i = 0; i < 3; ++i)
        if ((o[i] < lo[i] && d[i] <= 0) || (o[i] > hi[i] && d[i] >= 0)) return INFINITY;
    double t0 = 0, t1 = INFINITY;
    for (std::size_t i = 0; i < 3; ++i) {
        if (d[i] == 0) {
            if (o[i] < lo[i] || o[i] > hi[i]) return INFINITY;
            continue;
        }
        double a = (lo[i] - o[i]) / d[i], b = (hi[i] - o[i]) / d[i];
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1) return INFINITY;
    }
    return t0 > 0 ? t0 : INFINITY;
}

enum class Hit { Outside, Sky, Car, Ground };

struct Trace {
    Hit hit;
    double gx = 0, gy = 0;
};

Trace trace(const Geometry& geo, const Camera& c, double py, double px) {
    const auto ray = pixel_ray(c.lens, py, px);
    if (!ray) return {Hit::Outside};
    const Vec d = to_ground(c, *ray);
    const Vec& o = c.position;
    const double car = hit_car(geo.ground, o, d);
    const double ground = d[2] < 0 ? -o[2] / d[2] : INFINITY;
    if (car < ground) return {Hit::Car};
    if (ground == INFINITY) return {Hit::Sky};
    return {Hit::Ground, o[0] + ground * d[0], o[1] + ground * d[1]};
}

Yuv ground_colour(const Geometry& geo, double x, double y) {
    if (const auto* near = geo.grid.at(x, y)) {
        for (const std::uint8_t i : *near) {
            const auto& m = geo.disks[i];
            const double dx = x - m[0], dy = y - m[1];
            if (std::abs(dx) > kDiskRadius || std::abs(dy) > kDiskRadius) continue;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= kDotRadius * kDotRadius) return kMarkDot;
            if (d2 <= kDiskRadius * kDiskRadius) return kMarkDisk;
        }
    }
    const Ground& g = geo.ground;
    if (std::abs(x - (g.LRVLEN - kSideLineOut)) <= kLineHalf ||
        std::abs(x - (g.LRVLEN + g.W + kSideLineOut)) <= kLineHalf || std::abs(y - (g.Z + kRearLineOut)) <= kLineHalf)
        return kYellow;
    // Whole numbers: even when half of one is whole too (fmod is slow).
    const double cell = std::floor(x / kSquare) + std::floor(y / kSquare);
    const double half = cell * 0.5;
    return std::isfinite(cell) && std::floor(half) == half ? kGreyLight : kGreyDark;
}

Yuv shade(const Geometry& geo, const Camera& c, double py, double px) {
    const Trace t = trace(geo, c, py, px);
    switch (t.hit) {
    case Hit::Outside: return kOutside;
    case Hit::Sky: return kSky;
    case Hit::Car: return kCar;
    case Hit::Ground: break;
    }
    return ground_colour(geo, t.gx, t.gy);
}

std::uint8_t byte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// One camera's picture: each pixel the mean of 3 x 3 samples, each chroma
// word the mean over its pixel pair.
std::vector<std::uint8_t> render(const Geometry& geo, const Camera& c) {
    std::vector<std::uint8_t> out(2 * kPlane);
    std::uint8_t* y = out.data();
    std::uint8_t* uv = y + kPlane;
    for (int row = 0; row < kHeight; ++row) {
        for (int col = 0; col < kWidth; col += 2) {
            double u = 0, v = 0;
            for (int half = 0; half < 2; ++half) {
                double luma = 0;
                for (int i = -1; i <= 1; ++i)
                    for (int j = -1; j <= 1; ++j) {
                        const Yuv s = shade(geo, c, row + i / 3.0, col + half + j / 3.0);
                        luma += s.y;
                        u += s.u;
                        v += s.v;
                    }
                y[static_cast<std::size_t>(row) * kWidth + static_cast<std::size_t>(col + half)] = byte(luma / 9);
            }
            std::uint8_t* p = uv + static_cast<std::size_t>(row) * kWidth + static_cast<std::size_t>(col);
            p[0] = byte(v / 18);
            p[1] = byte(u / 18);
        }
    }
    return out;
}

// ---------------------------------------------------------------- picture cache

// Tests start the simulator many times over on a few layouts, and rendering
// is most of a start's work (several times over under the sanitizers). With
// SVSIM_SCENE_CACHE naming a folder, a camera's picture is rendered once and
// read back by later runs. The name holds everything the picture depends on
// and the time this file was compiled, so a changed renderer never reads an
// old picture.
std::filesystem::path cache_file(const Geometry& geo, const Camera& c) {
    const char* dir = std::getenv("SVSIM_SCENE_CACHE");
    if (!dir || !*dir) return {};
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    auto mix = [&h](const auto& value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (const unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    };
    for (const char ch : std::string_view(__DATE__ " " __TIME__)) mix(ch);
    const Ground& g = geo.ground;
    for (const int v : {g.LL, g.W, g.FVLEN, g.BVLEN, g.LRVLEN, c.dir, c.channel, c.lens.center_y, c.lens.center_x,
                        c.lens.radius, c.lens.dis, c.lens.xx})
        mix(v);
    for (const double v : {g.Xc, g.Z}) mix(v);
    for (const double v : c.position) mix(v);
    for (const double v : c.rotation) mix(v);
    for (const auto& m : geo.disks) {
        mix(m[0]);
        mix(m[1]);
    }
    char name[40];
    std::snprintf(name, sizeof name, "%016llx.yuv", static_cast<unsigned long long>(h));
    return std::filesystem::path(dir) / name;
}

std::shared_ptr<const std::vector<std::uint8_t>> cached(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    auto frame = std::make_shared<std::vector<std::uint8_t>>(2 * kPlane);
    if (!in.read(reinterpret_cast<char*>(frame->data()), static_cast<std::streamsize>(frame->size())) ||
        in.peek() != std::char_traits<char>::eof())
        return nullptr;
    return frame;
}

// Written beside under a name of its own, then renamed: runs side by side
// never read half a picture.
void keep(const std::filesystem::path& file, const std::vector<std::uint8_t>& frame) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%ld-%zu.part", static_cast<long>(getpid()),
                  std::hash<std::thread::id>{}(std::this_thread::get_id()));
    std::filesystem::path part = file;
    part += suffix;
    {
        std::ofstream out(part, std::ios::binary);
        out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(part, ec);
            return;
        }
    }
    std::filesystem::rename(part, file, ec);
    if (ec) std::filesystem::remove(part, ec);
}

// ---------------------------------------------------------------- state

struct Slot {
    std::mutex mutex;
    std::shared_ptr<const std::vector<std::uint8_t>> frame;
};

struct State {
    std::mutex mutex;  // guards geo against configure while a picture is rendered
    Geometry geo = build(Layout{});
    std::array<Slot, kChannels> slots;
};

State& state() {
    static State s;
    return s;
}

const Camera* cam(int dir) {
    const int i = slot_of(dir);
    return i < 0 ? nullptr : &state().geo.cams[static_cast<std::size_t>(i)];
}

std::shared_ptr<const std::vector<std::uint8_t>> picture(int channel) {
    State& s = state();
    Slot& slot = s.slots[static_cast<std::size_t>(channel)];
    std::lock_guard lock(slot.mutex);
    if (!slot.frame) {
        Geometry geo;
        {
            std::lock_guard g(s.mutex);
            geo = s.geo;
        }
        const int dir = dir_of_channel(channel);
        if (dir == 0) {
            auto blank = std::make_shared<std::vector<std::uint8_t>>(2 * kPlane, 128);
            std::memset(blank->data(), static_cast<int>(kOutside.y), kPlane);
            slot.frame = std::move(blank);
        } else {
            const Camera& c = geo.cams[static_cast<std::size_t>(slot_of(dir))];
            const std::filesystem::path file = cache_file(geo, c);
            if (!file.empty()) slot.frame = cached(file);
            if (!slot.frame) {
                auto frame = std::make_shared<const std::vector<std::uint8_t>>(render(geo, c));
                if (!file.empty()) keep(file, *frame);
                slot.frame = std::move(frame);
            }
        }
    }
    return slot.frame;
}

}  // namespace

void configure(const Layout& layout) {
    Geometry geo = build(layout);
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.geo = std::move(geo);
    }
    // A picture still being rendered from the old layout finishes under its
    // channel's lock and is dropped here.
    for (Slot& slot : s.slots) {
        std::lock_guard lock(slot.mutex);
        slot.frame.reset();
    }
}

const Layout& layout() { return state().geo.layout; }
const Ground& ground() { return state().geo.ground; }
const Camera& camera(int dir) {
    const Camera* c = cam(dir);
    return c ? *c : *cam(kFront);
}

std::optional<std::array<double, 2>> ground_to_pixel(int dir, double gx, double gy) {
    const Camera* cp = cam(dir);
    if (!cp) return std::nullopt;
    const Camera& c = *cp;
    const auto& m = c.rotation;
    const Vec p{gx - c.position[0], gy - c.position[1], -c.position[2]};
    const double x = m[0] * p[0] + m[1] * p[1] + m[2] * p[2];
    const double y = m[3] * p[0] + m[4] * p[1] + m[5] * p[2];
    const double z = m[6] * p[0] + m[7] * p[1] + m[8] * p[2];
    if (!(z > 0)) return std::nullopt;
    return undistorted_to_pixel(c.lens, x / z, y / z);
}

std::optional<std::array<double, 2>> pixel_to_ground(int dir, double py, double px) {
    const Camera* c = cam(dir);
    if (!c) return std::nullopt;
    const Trace t = trace(state().geo, *c, py, px);
    if (t.hit != Hit::Ground) return std::nullopt;
    return std::array<double, 2>{t.gx, t.gy};
}

std::array<std::array<double, 2>, 8> mark_ground(int dir) { return marks_of(state().geo.ground, dir); }

std::array<std::array<double, 2>, 8> mark_pixels(int dir) {
    const auto g = mark_ground(dir);
    const int n = dir == kLeft || dir == kRight ? 6 : 8;
    std::array<std::array<double, 2>, 8> out{};
    for (int i = 0; i < n; ++i) {
        const auto& m = g[static_cast<std::size_t>(i)];
        // A mark the camera cannot see (no valid layout has one) reads as off the picture.
        out[static_cast<std::size_t>(i)] = ground_to_pixel(dir, m[1], m[0]).value_or(std::array<double, 2>{-1, -1});
    }
    return out;
}

void prerender() {
    // The four cameras side by side, so the first frames do not wait.
    std::vector<std::thread> workers;
    for (int channel : {0, 1, 4, 5}) workers.emplace_back([channel] { picture(channel); });
    for (auto& w : workers) w.join();
}

FrameRenderer renderer() {
    return [](int channel, std::uint64_t, std::uint8_t* y, std::uint8_t* uv) {
        if (channel < 0 || channel >= kChannels) return;
        const auto frame = picture(channel);
        std::memcpy(y, frame->data(), kPlane);
        std::memcpy(uv, frame->data() + kPlane, kPlane);
    };
}

}  // namespace host::scene
