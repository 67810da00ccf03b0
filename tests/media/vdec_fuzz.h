// The board's decoder fed arbitrary bytes in the pieces a sender might cut:
// shared by the test's mutation loop and tools/fuzz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/vdec_engine.h"

// The first byte chooses the piece length; each piece is copied into a
// buffer of exactly its size, so reading past it is caught. Returns the
// pictures decoded.
inline std::size_t fuzz_vdec(const std::uint8_t* d, std::size_t n) {
    host::media::PictureDecoder dec;
    std::string why;
    if (!dec.open(320, 240, why)) return 0;
    const std::size_t cut = n > 0 ? 1 + d[0] % 97 : 1;
    std::size_t pictures = 0;
    auto drain = [&] {
        for (; dec.ready(); dec.pop()) pictures += dec.next()->y.size() > 0;
    };
    for (std::size_t at = 0; at < n; at += cut) {
        const std::vector<std::uint8_t> piece(d + at, d + std::min(n, at + cut));
        std::span<const std::uint8_t> rest(piece);
        while (!rest.empty()) {
            const std::size_t taken = dec.feed(rest);
            const bool had = dec.ready();
            drain();
            if (taken == 0 && !had) break;
            rest = rest.subspan(taken);
        }
    }
    dec.end();
    drain();
    return pictures;
}
