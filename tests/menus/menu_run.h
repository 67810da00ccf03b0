// Menu scenarios for the simulator: keys one pass apart, screenshots, and the
// settings file the run starts from.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/board.h"
#include "sim/scene_settings.h"
#include "tests/svsim_run.h"
#include "vio/settings.h"

namespace menu_run {
using namespace svsim_test;

constexpr int UP = 27, DOWN = 26, LEFT = 4, RIGHT = 6, OK = 5, EXIT = 18;

// Events 0.3 s apart: a key frame reaches the system one or two passes (of
// 1/12 s) after it is sent, and the serial line may add a little on a busy
// host, so each key gets a pass of its own.
struct Script {
    std::ostringstream text;
    double t = 1.5;
    void at(const std::string& what, double gap = 0.3) {
        char when[32];
        std::snprintf(when, sizeof when, "%.2f ", t);
        text << when << what << "\n";
        t += gap;
    }
    void key(int code) { at("key " + std::to_string(code)); }
    void keys(const std::vector<int>& codes) {
        for (int k : codes) key(k);
    }
    // A remote key reaches the system at once: it keeps clear of the key frame before it.
    void ir(const std::string& name) {
        t += 0.2;
        at("ir " + name);
    }
    // After the last key frame has surely been handled.
    void shot(const std::string& name) {
        t += 0.3;
        at("screenshot " + name);
    }
    void wait(double seconds) { t += seconds; }
    std::string end() {
        at("power off");
        return text.str();
    }
};

// From idle: the front view, the main menu and the installer's code 5 2 3 1 4 1.
inline void open_installer(Script& s) {
    s.key(OK);
    s.ir("ok");
    s.keys({OK, OK, DOWN, LEFT, UP, RIGHT, UP});
}

// The scene's calibrated settings in a language, recording off unless asked.
inline Flash_param settings(std::uint16_t flagy, std::uint16_t record = 0) {
    Flash_param p = scene_settings();
    p.car_num.flagy = flagy;
    p.im_param.record = record;
    return p;
}

inline void write_settings(const fs::path& file, const Flash_param& p) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(&p), sizeof p);
}

inline void write_bytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> bytes_of(const Flash_param& p) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&p);
    return {b, b + sizeof p};
}

inline std::vector<std::uint8_t> settings_file(const fs::path& out) {
    const std::string s = read_file(out / "board/home/config/ImageParam.dat");
    return {s.begin(), s.end()};
}

inline host::Picture screen(const fs::path& out, const std::string& name) {
    host::Picture p;
    EXPECT_TRUE(host::read_png(out / "screens" / (name + ".png"), p)) << name;
    return p;
}

// Width of a text in the 24-pixel font: 14 columns per ASCII character, 24 per
// double-byte character.
inline int text_width(const char* s) {
    int w = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        if (*p < 0x80) {
            w += 14;
            ++p;
        } else {
            w += 24;
            p += p[1] ? 2 : 1;
        }
    }
    return w;
}

inline bool black(std::uint32_t px) { return (px & 0xFFFFFF) == 0; }

// Runs a scenario in `dir`; false (with the reason) when svsim failed.
inline ::testing::AssertionResult run(const fs::path& dir, const std::string& text) {
    const int rc = run_svsim(dir, text);
    if (rc == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "svsim ended with " << rc << ": " << read_file(dir / "stderr.txt");
}

}  // namespace menu_run
