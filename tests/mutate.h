// A deterministic mutation loop for the fuzz targets: the tests run it
// briefly, tools/fuzz's drivers without libFuzzer run it long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

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

// The non-empty files among `paths`, as seeds; `fallback` when there are none.
inline std::vector<std::vector<std::uint8_t>> read_seeds(char** first, char** last, std::vector<std::uint8_t> fallback) {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (char** p = first; p < last; ++p) {
        std::FILE* f = std::fopen(*p, "rb");
        if (!f) continue;
        std::vector<std::uint8_t> b;
        for (int c; (c = std::fgetc(f)) != EOF;) b.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
        if (!b.empty()) seeds.push_back(b);
    }
    if (seeds.empty()) seeds.push_back(std::move(fallback));
    return seeds;
}
