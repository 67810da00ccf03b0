// Looks at recorded H.264 files with FFmpeg's own tools, as a player would:
// what ffprobe reports, whether ffmpeg decodes without a complaint, and the
// pictures themselves (luma only).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace video_probe {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Standard output (and error, when asked) of a command.
inline std::string run(const std::string& command, bool with_errors = false) {
    std::string out;
    const std::string full = command + (with_errors ? " 2>&1" : " 2>/dev/null");
    if (std::FILE* p = popen(full.c_str(), "r")) {
        char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Built by appending: GCC 12's -O3 misreads "'" + string as an overlapping copy.
inline std::string quoted(const std::filesystem::path& p) {
    std::string q = "'";
    q += p.string();
    q += '\'';
    return q;
}

struct Probe {
    std::string codec;
    int width = 0, height = 0;
    std::string rate;  // "12/1"
    int frames = 0;
};

inline Probe probe(const std::filesystem::path& file) {
    const std::string text = run("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                 "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of "
                                 "default=noprint_wrappers=1 " + quoted(file));
    Probe p;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name") p.codec = value;
        else if (key == "width") p.width = std::stoi(value);
        else if (key == "height") p.height = std::stoi(value);
        else if (key == "r_frame_rate") p.rate = value;
        else if (key == "nb_read_frames") p.frames = std::stoi(value);
    }
    return p;
}

// What ffmpeg says while decoding the whole file: empty when it is sound.
inline std::string decode_errors(const std::filesystem::path& file) {
    return run("ffmpeg -nostdin -v error -i " + quoted(file) + " -f null -", true);
}

// The luma plane of picture `n` (counted from 0); empty when there is none.
inline std::vector<std::uint8_t> luma(const std::filesystem::path& file, int n) {
    const std::string raw = run("ffmpeg -nostdin -v error -i " + quoted(file) + " -vf 'select=eq(n\\," +
                                std::to_string(n) + ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt gray -");
    if (raw.size() != static_cast<std::size_t>(kWidth) * kHeight) return {};
    return {raw.begin(), raw.end()};
}

// The six-digit frame counter of the board's test pattern, read from a
// picture: 5 x 7 cells of 16 pixels per digit on a dark panel at (520, 288).
// -1 when a digit cannot be read.
inline long pattern_counter(const std::uint8_t* y, int stride) {
    static constexpr std::array<std::array<std::uint8_t, 7>, 10> kDigits = {{
        {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
        {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
        {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
        {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
        {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
        {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
        {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
        {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
        {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
        {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    }};
    long value = 0;
    for (int d = 0; d < 6; ++d) {
        std::array<std::uint8_t, 7> rows{};
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c) {
                const int x = 520 + 16 + d * 96 + c * 16 + 8, top = 288 + 16 + r * 16 + 8;
                if (y[static_cast<std::size_t>(top) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(x)] > 128)
                    rows[static_cast<std::size_t>(r)] |= static_cast<std::uint8_t>(0x10 >> c);
            }
        int digit = -1;
        for (int k = 0; k < 10; ++k)
            if (kDigits[static_cast<std::size_t>(k)] == rows) digit = k;
        if (digit < 0) return -1;
        value = value * 10 + digit;
    }
    return value;
}

inline long pattern_counter(const std::vector<std::uint8_t>& y) {
    if (y.size() != static_cast<std::size_t>(kWidth) * kHeight) return -1;
    return pattern_counter(y.data(), kWidth);
}

}  // namespace video_probe
