// The decoders fed arbitrary bytes: shared by the test's mutation loop and tools/fuzz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/GUI.h"
#include "tests/mutate.h"
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
