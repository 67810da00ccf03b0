// Fuzz targets of the playback sender's picture cutter and the firmware file
// check: each aborts when what it is fed breaks an invariant. libFuzzer runs
// them long (tools/fuzz), the tests briefly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "common/sample_comm_vdec.h"
#include "dsp/dsp_firmware.h"

namespace fuzz_checks {

// The sender's walk over a file read in chunks of `room` bytes: every cut
// is within the chunk, and the walk ends, with every byte sent once.
inline void fuzz_cut(const std::uint8_t* d, std::size_t n) {
    if (n < 2) return;
    const HI_S32 room = 6 + d[0] % 200;
    d += 1, n -= 1;
    std::size_t offset = 0, steps = 0;
    while (offset < n) {
        const HI_S32 len = static_cast<HI_S32>(std::min<std::size_t>(room, n - offset));
        bool found = false;
        const HI_S32 cut = cut_picture(d + offset, len, offset + len >= n, found);
        if (cut < 0 || cut > len) std::abort();
        if (cut == 0 && offset + len >= n) std::abort();  // the tail would be sent for ever
        offset += static_cast<std::size_t>(cut);
        if (++steps > n + 1) std::abort();
    }
}

inline void fuzz_hex(const std::uint8_t* d, std::size_t n) {
    const char* t = reinterpret_cast<const char*>(d);
    if (!hex_file_ok(t, n)) return;
    HexLine line;
    for (std::size_t at = 0; next_hex_line(t, n, at, line); at = line.next) {
        if (line.next <= at) std::abort();
        if (line.end == line.begin) continue;
        std::uint8_t b[kMaxLineBytes];
        const int bytes = pack_hex_line(t, line, b, sizeof b);
        unsigned sum = 0;
        for (int i = 0; i < bytes; ++i) sum += b[i];
        if (sum % 256 != 0 || b[0] + 5 != bytes) std::abort();
    }
}

}  // namespace fuzz_checks
