// The decoders fed arbitrary bytes: shared by the test's mutation loop and tools/fuzz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/GUI.h"
#include "vio/vio.h"

inline void fuzz_surfaces() {
    static std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H);
    pBuf1 = canvas.data();
    table_or_image = 1;
    if (GUI_Context.pClipRect_HL == nullptr) GUI_Init();
}

// Each copies the input into a buffer of exactly its size, so reading past it is caught.
inline void fuzz_bmp(const std::uint8_t* d, std::size_t n) {
    fuzz_surfaces();
    std::vector<std::uint8_t> b(d, d + n);
    GUI_BMP_DrawEx(b.data(), static_cast<int>(b.size()), 3 - static_cast<int>(n % 7), 2);
}
inline void fuzz_gif(const std::uint8_t* d, std::size_t n) {
    fuzz_surfaces();
    std::vector<std::uint8_t> b(d, d + n);
    GUI_GIF_INFO info;
    GUI_GIF_GetInfo(b.data(), static_cast<U32>(b.size()), &info);
    U8 text[8];
    GUI_GIF_GetComment(b.data(), static_cast<U32>(b.size()), text, sizeof text, 0);
    GUI_GIF_DrawEx(b.data(), static_cast<U32>(b.size()), -5, 1, n % 3 == 0 ? 1 : 0);
}
inline void fuzz_stream(const std::uint8_t* d, std::size_t n) {
    fuzz_surfaces();
    std::vector<std::uint8_t> b(d, d + n);
    GUI_DrawStreamedBitmapEx(b.data(), static_cast<int>(b.size()), 790 - static_cast<int>(n % 20), 470);
}

// A deterministic mutation loop over seed inputs: byte flips, splices, cuts and growths.
template <class Target>
void mutate_and_run(Target target, const std::vector<std::vector<std::uint8_t>>& seeds, long runs, unsigned seed) {
    std::uint64_t s = seed * 0x9E3779B97F4A7C15ull + 1;
    auto next = [&]() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    };
    std::vector<std::uint8_t> cur;
    for (long i = 0; i < runs; ++i) {
        if (i % 64 == 0 || cur.empty()) cur = seeds[next() % seeds.size()];
        const int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits && !cur.empty(); ++e) {
            const std::size_t at = next() % cur.size();
            switch (next() % 6) {
                case 0: cur[at] ^= static_cast<std::uint8_t>(1u << (next() % 8)); break;
                case 1: cur[at] = static_cast<std::uint8_t>(next()); break;
                case 2: cur[at] = (next() & 1) ? 0xFF : 0; break;
                case 3: cur.resize(at + 1); break;
                case 4: cur.insert(cur.begin() + static_cast<long>(at), static_cast<std::uint8_t>(next())); break;
                default: {
                    const auto& o = seeds[next() % seeds.size()];
                    const std::size_t from = next() % o.size();
                    cur.insert(cur.end(), o.begin() + static_cast<long>(from), o.end());
                    if (cur.size() > 8192) cur.resize(8192);
                }
            }
        }
        target(cur.data(), cur.size());
    }
}
