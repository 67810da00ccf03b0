// Hand-made tar archives, gzip-compressed, for tests of package handling.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tar_build {

// One ustar member as a hand-made archive holds it.
struct Member {
    Member(std::string n, std::string d, char t = '0', unsigned m = 0644, std::string l = {})
        : name(std::move(n)), data(std::move(d)), type(t), mode(m), link(std::move(l)) {}
    std::string name;
    std::string data;
    char type;
    unsigned mode;
    std::string link;
};

inline std::string header(const Member& m) {
    std::string h(512, '\0');
    auto octal = [&h](std::size_t at, std::size_t len, unsigned long long v) {
        for (std::size_t i = len - 1; i-- > 0; v >>= 3) h[at + i] = static_cast<char>('0' + (v & 7));
    };
    h.replace(0, std::min<std::size_t>(m.name.size(), 100), m.name.substr(0, 100));
    octal(100, 8, m.mode);
    octal(108, 8, 0);
    octal(116, 8, 0);
    octal(124, 12, m.data.size());
    octal(136, 12, 1456753500);
    h[156] = m.type;
    h.replace(157, m.link.size(), m.link);
    h.replace(257, 6, std::string("ustar\0", 6));
    h.replace(263, 2, "00");
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    octal(148, 7, sum);
    h[154] = '\0';
    return h;
}

inline std::string tar_of(const std::vector<Member>& members) {
    std::string out;
    for (const auto& m : members) {
        out += header(m) + m.data;
        out.append((512 - m.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

// One pax extended header record, "<length> <key>=<value>\n", its decimal
// length counting the whole record, itself included.
inline std::string pax_record(const std::string& key, const std::string& value) {
    const std::size_t body = key.size() + value.size() + 3;  // ' ', '=' and '\n'
    std::size_t len = body + 1;
    while (std::to_string(len).size() + body != len) len = std::to_string(len).size() + body;
    return std::to_string(len) + " " + key + "=" + value + "\n";
}

// A NUL byte, and a name part that is ".." to a C string: the bytes a
// hostile name hides behind.
inline const std::string kNul("\0", 1);
inline const std::string kClimb = ".." + kNul + "x/";

// A pax extended header holding `records`, for the member after it.
inline Member pax_header(std::string records) { return Member{"PaxHeaders.0/member", std::move(records), 'x'}; }

// A GNU long name ('L') or long link name ('K') member holding `data` as it is.
inline Member gnu_long(std::string data, char type = 'L') { return Member{"././@LongLink", std::move(data), type}; }

inline void gzip_to(const std::filesystem::path& p, const std::string& bytes) {
    gzFile gz = gzopen(p.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), static_cast<unsigned>(bytes.size())), static_cast<int>(bytes.size()));
    gzclose(gz);
}

}  // namespace tar_build
