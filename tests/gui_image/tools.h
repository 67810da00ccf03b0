// Pictures made and read by independent tools (netpbm, giflib, ImageMagick), run as
// separate programs, and the canvas they should give.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/gui/surfaces.h"

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A picture of `colours` distinct colours, as the tools' P6 input.
struct Picture {
    int w, h;
    std::vector<Rgb> px;
    static Rgb colour(int k) { return {(k * 37 + 11) & 255, (k * 91 + 5) & 255, (k * 151 + 3) & 255}; }
    static Picture pattern(int w, int h, int colours, unsigned seed = 1) {
        Picture p{w, h, {}};
        unsigned s = seed;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                s = s * 1103515245u + 12345u;
                // Runs and noise both, so the encoders use runs and fill their tables.
                const int k = (x / 3 + y) % 4 == 0 ? static_cast<int>((s >> 16) % colours) : (x + 2 * y) % colours;
                p.px.push_back(colour(k));
            }
        return p;
    }
    Rgb at(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
    std::string ppm() const {
        std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (const Rgb& c : px) s += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
        return s;
    }
};

class ToolDir : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        char t[] = "/tmp/gui-image-XXXXXX";
        dir = mkdtemp(t);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Runs a tool through popen; its output is discarded and its status checked.
    void run(const std::string& cmd) const {
        FILE* f = popen(("cd " + dir.string() + " && " + cmd + " 2>/dev/null").c_str(), "r");
        ASSERT_NE(f, nullptr);
        char buf[4096];
        while (fread(buf, 1, sizeof buf, f) > 0) {
        }
        ASSERT_EQ(pclose(f), 0) << cmd;
    }
};

// The canvas pixel the library writes for a colour.
inline std::uint32_t canvas_of(Rgb c) {
    return 0xFF000000u | static_cast<std::uint32_t>(c.r) | (c.g << 8) | (static_cast<std::uint32_t>(c.b) << 16);
}

// Compares the canvas at (x0, y0) with the picture; returns the number of differing pixels.
inline int mismatches(const Surfaces& s, const Picture& p, int x0, int y0) {
    int bad = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) bad += s.px(x0 + x, y0 + y) != canvas_of(p.at(x, y));
    return bad;
}
