// The bitmap file loader fed arbitrary bytes: shared by the test's mutation
// loop and tools/fuzz. The bytes go through a file, as the loader reads files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dsp/loadbmp.h"

// A file is written per run: in LOADBMP_FUZZ_DIR when set, else in
// memory-backed /dev/shm when there is one.
inline const std::string& fuzz_bmp_file() {
    static const std::string path =
        std::string(std::getenv("LOADBMP_FUZZ_DIR")   ? std::getenv("LOADBMP_FUZZ_DIR")
                    : access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                    : "/tmp") +
        "/loadbmp-fuzz-" + std::to_string(getpid()) + ".bmp";
    static const struct Remove {
        ~Remove() { std::remove(path.c_str()); }
    } remove;
    return path;
}

inline void fuzz_loadbmp(const std::uint8_t* d, std::size_t n) {
    const std::string& path = fuzz_bmp_file();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(d, 1, n, f);
        std::fclose(f);
    }
    // A buffer of exactly its size, so a write past it is caught.
    const std::size_t cap = 64 + (n > 0 ? d[n - 1] : 0) * 4;
    std::vector<HI_U8> buf(cap);
    OSD_LOGO_T logo{0, 0, 0, buf.data(), static_cast<HI_U32>(cap)};
    LoadBMPEx(path.c_str(), &logo, static_cast<OSD_COLOR_FMT_E>(n % 9));
    OSD_SURFACE_S s{OSD_COLOR_FMT_RGB8888, 0, buf.data(), static_cast<HI_U32>(cap), 0, 0, 0};
    LoadBitMap2Surface(path.c_str(), &s, buf.data());
}
