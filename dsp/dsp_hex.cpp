// Intel HEX text: its lines, their bytes, and whether a file is whole.
#include "dsp/dsp_firmware.h"

namespace {

bool hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

}  // namespace

bool next_hex_line(const char* text, std::size_t n, std::size_t from, HexLine& line) {
    if (from >= n) return false;
    std::size_t lf = from;
    while (lf < n && text[lf] != '\n') ++lf;
    line.begin = from;
    line.end = lf > from && text[lf - 1] == '\r' ? lf - 1 : lf;
    line.next = lf < n ? lf + 1 : n;
    return true;
}

int line_progress(const char* text, std::size_t n, const HexLine& line) {
    const std::size_t at = line.next > line.begin && text[line.next - 1] == '\n' ? line.next - 1 : line.next;
    return n == 0 ? 0 : static_cast<int>(static_cast<long long>(at) * 100 / static_cast<long long>(n));
}

int pack_hex_line(const char* text, const HexLine& line, std::uint8_t* out, std::size_t cap) {
    int bytes = 0;
    for (std::size_t i = line.begin + 1; i + 1 < line.end && static_cast<std::size_t>(bytes) < cap; i += 2)
        out[bytes++] = static_cast<std::uint8_t>(my_atoi(text[i]) << 4 | my_atoi(text[i + 1]));
    return bytes;
}

int my_atoi(char c) { return (c < 59 ? c - 48 : c - 55) & 0x0F; }

bool hex_file_ok(const char* text, std::size_t n) {
    HexLine line;
    bool end_record = false;
    for (std::size_t at = 0; next_hex_line(text, n, at, line); at = line.next) {
        if (line.end == line.begin) continue;  // blank line
        if (end_record) return false;          // nothing may follow the end record
        const std::size_t digits = line.end - line.begin - 1;
        if (text[line.begin] != ':' || digits % 2 != 0 || digits < 10 || digits / 2 > kMaxLineBytes) return false;
        for (std::size_t i = line.begin + 1; i < line.end; ++i)
            if (!hex_digit(text[i])) return false;
        std::uint8_t b[kMaxLineBytes];
        const int bytes = pack_hex_line(text, line, b, sizeof b);
        unsigned sum = 0;
        for (int i = 0; i < bytes; ++i) sum += b[i];
        if (b[0] + 5 != bytes || (sum & 0xFF) != 0) return false;
        end_record = b[3] == 0x01;
    }
    return end_record;
}

