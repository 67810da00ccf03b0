// The firmware file check: records written out by hand, each broken one way.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dsp/dsp_firmware.h"

namespace {

bool ok(const std::string& s) { return hex_file_ok(s.data(), s.size()); }

// 0x04 + 0x00 + 0x10 + 0x00 + 0x01 + 0x02 + 0x03 + 0x04 = 0x1E; checksum 0xE2.
const std::string kData = ":0400100001020304E2";
const std::string kEnd = ":00000001FF";

TEST(HexFile, WholeFilesInTheUsualShapesPass) {
    EXPECT_TRUE(ok(kData + "\n" + kEnd + "\n"));
    EXPECT_TRUE(ok(kData + "\r\n" + kEnd + "\r\n"));
    EXPECT_TRUE(ok(kData + "\n\n\r\n" + kEnd));  // blank lines, no final line end
    EXPECT_TRUE(ok(":0400100001020304e2\n" + kEnd));  // lower-case digits
    EXPECT_TRUE(ok(kEnd));
}

TEST(HexFile, EachFaultIsRefused) {
    EXPECT_FALSE(ok(""));                                   // nothing
    EXPECT_FALSE(ok(kData + "\n"));                         // cut before the end record
    EXPECT_FALSE(ok(kEnd + "\n" + kData + "\n"));           // data after the end record
    EXPECT_FALSE(ok(":0400100001020304E3\n" + kEnd));       // checksum
    EXPECT_FALSE(ok(":0500100001020304E1\n" + kEnd));       // byte count says 5, has 4
    EXPECT_FALSE(ok(":0400100001020304E\n" + kEnd));        // odd digit count
    EXPECT_FALSE(ok("0400100001020304E2\n" + kEnd));        // no colon
    EXPECT_FALSE(ok(":04001000010203G4E2\n" + kEnd));       // not a digit
    EXPECT_FALSE(ok(" :0400100001020304E2\n" + kEnd));      // leading space
    EXPECT_FALSE(ok(":00000001\n"));                        // too short for a record
    // 250 data bytes make 255 packed bytes: one more than a message holds.
    std::string big = ":FA000000";
    unsigned sum = 0xFA;
    for (int i = 0; i < 250; ++i) big += "01", sum += 1;
    char cs[3];
    std::snprintf(cs, sizeof cs, "%02X", (256 - sum % 256) % 256);
    EXPECT_FALSE(ok(big + cs + "\n" + kEnd));
}

TEST(HexFile, LinesPackTheirDigitPairsHighDigitFirst) {
    const std::string text = kData + "\r\n";
    HexLine line;
    ASSERT_TRUE(next_hex_line(text.data(), text.size(), 0, line));
    EXPECT_EQ(line.end - line.begin, kData.size());
    EXPECT_EQ(line.next, text.size());
    std::uint8_t b[16];
    ASSERT_EQ(pack_hex_line(text.data(), line, b, sizeof b), 9);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ(b[2], 0x10);
    EXPECT_EQ(b[7], 0x04);  // the data's last byte
    EXPECT_EQ(b[8], 0xE2);  // the record's own checksum goes too
    EXPECT_EQ(pack_hex_line(text.data(), line, b, 3), 3);  // never past the room given
    for (char c : std::string("0123456789ABCDEFabcdef")) EXPECT_EQ(my_atoi(c), std::stoi(std::string(1, c), nullptr, 16));
}

TEST(HexFile, ProgressIsWhereTheLineFeedStandsInHundredthsOfTheFile) {
    // 26 bytes: line feeds at 14 and 25; then a last line without one.
    const std::string text = std::string(14, 'a') + "\n" + std::string(10, 'b') + "\n";
    const std::string open_end = text + "cc";
    const struct { const std::string* t; std::size_t from; int want; } cases[] = {
        {&text, 0, 53}, {&text, 15, 96}, {&open_end, 15, 89}, {&open_end, 26, 100}};
    for (const auto& c : cases) {
        HexLine line;
        ASSERT_TRUE(next_hex_line(c.t->data(), c.t->size(), c.from, line));
        EXPECT_EQ(line_progress(c.t->data(), c.t->size(), line), c.want) << c.from << " of " << c.t->size();
    }
}

TEST(HexFile, MutatedFilesNeverCrashAndWhatPassesIsSound) {
    std::string seed;
    for (int i = 0; i < 20; ++i) seed += kData + "\r\n";
    seed += kEnd + "\r\n";
    std::mt19937 rng(5);
    const std::string alphabet = ":0123456789ABCDEFG\r\n ";
    for (int run = 0; run < 20000; ++run) {
        std::string t = seed;
        for (int m = 1 + static_cast<int>(rng() % 4); m > 0; --m) {
            const std::size_t at = rng() % (t.size() + 1);
            switch (rng() % 3) {
            case 0: if (at < t.size()) t[at] = alphabet[rng() % alphabet.size()]; break;
            case 1: t.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            default: t.erase(at, rng() % 8); break;
            }
        }
        if (!ok(t)) continue;
        // Whatever passes is records that each sum to zero.
        HexLine line;
        for (std::size_t at = 0; next_hex_line(t.data(), t.size(), at, line); at = line.next) {
            if (line.end == line.begin) continue;
            std::uint8_t b[254];
            const int n = pack_hex_line(t.data(), line, b, sizeof b);
            unsigned sum = 0;
            for (int i = 0; i < n; ++i) sum += b[i];
            ASSERT_EQ(sum % 256, 0u) << t;
        }
    }
}

}  // namespace
