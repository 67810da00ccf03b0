// Upgrade packages for the tests: sound ones, and bombs that are small on the
// disk but huge, numerous or deep once unpacked. Each bomb also holds a sound
// start script and firmware file, so only its bound can refuse it.
#pragma once

#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/mutate.h"
#include "tests/tar_build.h"

namespace packages {

using tar_build::Member;

inline const std::string kHex = ":0400000001020304F2\n:00000001FF\n";
inline const std::string kScript = "#!/bin/sh\necho new\n";

inline std::vector<Member> sound_members() { return {{"rcS", kScript, '0', 0755}, {"test.hex", kHex}}; }

// One gzip member; gzip readers go on through members written one after another.
inline std::string gzip(const std::string& bytes, int level = 6) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Each round mutates the tar seeds a little and hands the result, compressed
// (so that many still unpack), to `one`.
inline void mutate_tars(const std::vector<std::string>& tars, unsigned rounds, unsigned first_seed,
                        const std::function<void(const std::string&)>& one) {
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const std::string& t : tars) seeds.emplace_back(t.begin(), t.end());
    for (unsigned k = 0; k < rounds; ++k)
        mutate_and_run([&](const std::uint8_t* d, std::size_t n) { one(gzip(std::string(d, d + n))); }, seeds, 3,
                       first_seed + k);
}

// A mutation run must have taken both ways, refusing more than it installed.
inline void expect_both_outcomes(int accepted, int refused, std::chrono::steady_clock::time_point since) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    std::printf("%d accepted, %d refused in %.1f s\n", accepted, refused, seconds);
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, accepted);
}

// Members without the closing zero blocks.
inline std::string members(const std::vector<Member>& ms) {
    const std::string t = tar_build::tar_of(ms);
    return t.substr(0, t.size() - 1024);
}

// A header that announces `size` bytes of data.
inline std::string header_of_size(const std::string& name, std::uint64_t size, char type = '0') {
    std::string h = tar_build::header(Member{name, "", type});
    char field[13];
    std::snprintf(field, sizeof field, "%011llo", static_cast<unsigned long long>(size));
    h.replace(124, 12, std::string(field, 12));
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    std::snprintf(field, sizeof field, "%06o", sum);
    h.replace(148, 7, std::string(field, 7));
    return h;
}

// A name too long for the header goes first as a GNU long-name member.
inline std::string named(const Member& m) {
    if (m.name.size() < 100) return members({m});
    return members({Member{"././@LongLink", m.name + std::string(1, '\0'), 'L'}, m});
}

// A package whose one file unpacks to `mib` MiB of zeros: a few KB on the
// disk per GiB.
inline std::string size_bomb(std::uint64_t mib) {
    std::string out = gzip(members(sound_members()) + header_of_size("big", mib << 20));
    const std::string zeros = gzip(std::string(1 << 20, '\0'));
    for (std::uint64_t i = 0; i < mib; ++i) out += zeros;
    return out + gzip(std::string(1024, '\0'));
}

// A sound package (its end blocks padded to a 10240-byte record, as tar
// writes it) followed by `mib` MiB of zeros: in further gzip members, or in
// its own stream, built from the deflated MiB repeated (a full flush leaves
// nothing to carry over) with the check sum combined, never held whole.
inline std::string zeros_after_end(std::uint64_t mib, bool same_stream) {
    std::string tar = tar_build::tar_of(sound_members());
    tar.resize(10240, '\0');
    const std::string zeros(1 << 20, '\0');
    if (!same_stream) {
        std::string out = gzip(tar);
        const std::string member = gzip(zeros);
        for (std::uint64_t i = 0; i < mib; ++i) out += member;
        return out;
    }
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    auto deflated = [&z](const std::string& in, int flush) {
        std::string out(deflateBound(&z, in.size()) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        return out.substr(0, out.size() - z.avail_out);
    };
    std::string out = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + deflated(tar, Z_FULL_FLUSH);
    const std::string mib_deflated = deflated(zeros, Z_FULL_FLUSH);
    EXPECT_EQ(deflated(zeros, Z_FULL_FLUSH), mib_deflated);
    for (std::uint64_t i = 0; i < mib; ++i) out += mib_deflated;
    out += deflated("", Z_FINISH);
    deflateEnd(&z);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(tar.data()), static_cast<uInt>(tar.size()));
    const uLong crc_mib = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
    for (std::uint64_t i = 0; i < mib; ++i) crc = crc32_combine(crc, crc_mib, 1 << 20);
    const std::uint64_t size = tar.size() + (mib << 20);
    for (const std::uint64_t v : {std::uint64_t{crc}, size})
        for (int k = 0; k < 4; ++k) out += static_cast<char>(v >> (8 * k) & 0xff);
    return out;
}

// A sound package whose `mib` global extended headers of a MiB each no listing shows.
inline std::string global_headers(std::uint64_t mib) {
    std::string out = gzip(members(sound_members()));
    const std::string one = gzip(header_of_size("g", 1 << 20, 'g') + std::string(1 << 20, '\0'));
    for (std::uint64_t i = 0; i < mib; ++i) out += one;
    return out + gzip(std::string(1024, '\0'));
}

// A package of `count` empty files in one folder.
inline std::string count_bomb(int count) {
    std::string tar = members(sound_members()) + members({Member{"many/", "", '5', 0755}});
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "many/%06d", i);
        tar += members({Member{name, ""}});
    }
    return gzip(tar + std::string(1024, '\0'), 1);
}

// A package of a folder chain `depth` deep with a file at its bottom.
inline std::string depth_bomb(int depth) {
    std::string tar = members(sound_members()), path;
    for (int i = 0; i < depth; ++i) {
        path += "d/";
        tar += named(Member{path, "", '5', 0755});
    }
    tar += named(Member{path + "bottom", "x"});
    return gzip(tar + std::string(1024, '\0'));
}

// One pax record "LEN key=value\n", LEN counting the whole record.
inline std::string pax_record(const std::string& key, const std::string& value) {
    const std::size_t body = key.size() + value.size() + 3;
    std::size_t len = body + 1;
    while (std::to_string(len).size() + body != len) ++len;
    return std::to_string(len) + " " + key + "=" + value + "\n";
}

// A member whose name comes from a pax header's path, any bytes in it.
inline std::string pax_named(const std::string& path, const Member& m) {
    return members({Member{"PaxHeaders/x", pax_record("path", path), 'x'}, m});
}

// A sound package with these raw members after its two files.
inline std::string package_with(const std::string& raw) {
    return gzip(members(sound_members()) + raw + std::string(1024, '\0'));
}

// A package whose start script is `mib` MiB of zeros, built without holding them.
inline std::string script_bomb(std::uint64_t mib) {
    std::string out = gzip(header_of_size("rcS", mib << 20));
    const std::string zeros = gzip(std::string(1 << 20, '\0'));
    for (std::uint64_t i = 0; i < mib; ++i) out += zeros;
    return out + gzip(members({Member{"test.hex", kHex}}) + std::string(1024, '\0'));
}

// `files` files, each under its own chain of `folders` folders no member lists.
inline std::string implied_folders(int files, int folders) {
    std::string tar = members(sound_members());
    for (int i = 0; i < files; ++i) {
        std::string path = "p" + std::to_string(i) + "/";
        for (int k = 1; k < folders; ++k) path += "d/";
        tar += named(Member{path + "f", "x"});
    }
    return gzip(tar + std::string(1024, '\0'));
}

inline std::string package(const std::vector<Member>& ms) { return gzip(tar_build::tar_of(ms)); }

}  // namespace packages
