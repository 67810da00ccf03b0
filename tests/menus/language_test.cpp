// The language tables: every character of every text can be drawn, and the
// switch points the texts at the chosen language.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dsp/dsp_yuyan.h"
#include "gui/GUI.h"

namespace {

// Each text of the three sets, and each GBK pair in it, is in the font; the
// English set is plain ASCII.
TEST(LanguageTables, EveryCharacterOfEveryTextHasAGlyph) {
    int pairs = 0;
    for (std::uint16_t flag : {0, 1, 2}) {
        set_yuyan(flag);
        for (const char* text : {zhuyi, gcms, xtsz, bdsxt, tzmqcd, qmqcd, hmqcd, tzhsfw, tzqsfw, tzstfw, hfcczt,
                                 bcsztc, gjjdgl, txld, zhong, shaoan, an, liang, shaoliang, zxdqd, dcys, gb, kq,
                                 lxgn, queding, quxiao, yysz, qjksfw, qjtwz, zc, yc, qxgj, csmx, sxc, lxc, dhqd, ck,
                                 miao, gjcssz, qsrmm, cxi, cxing, cscd, cskd, da, xiao, xsmq, shi, fou, yz, xtsj,
                                 sslx, sjsz, cpgsh, nian, yue, ri, shizhong, fenzhong, miaozhong, spsczs, jcsjwj,
                                 jcup, gshwc, qsh, xtsjz, xtcqz, shanchu, bofang, suoding, jiesuo, daoru, drcswj,
                                 dccswj, jccswj, dcwjwc, drwjwc, gshup, tclx, xiaos, lxsz, haomi}) {
            ASSERT_NE(text, nullptr);
            EXPECT_GT(std::strlen(text), 0u);
            for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
                if (*p < 0x80) {
                    EXPECT_TRUE(*p == '\n' || (*p >= 0x20 && *p < 0x7F)) << int(*p);
                    if (*p != '\n') {
                        EXPECT_EQ(GUI_IsInFont(&GUI_FontHZ24x24, *p), 1) << int(*p);
                    }
                    ++p;
                    continue;
                }
                EXPECT_NE(flag, 1) << "English text with a double-byte character";
                ASSERT_NE(p[1], 0) << "a text ends inside a pair";
                const unsigned code = static_cast<unsigned>(p[0] << 8 | p[1]);
                EXPECT_EQ(GUI_IsInFont(&GUI_FontHZ24x24, static_cast<U16>(code)), 1) << std::hex << code;
                ++pairs;
                p += 2;
            }
        }
    }
    EXPECT_GT(pairs, 500);
    set_yuyan(0);
}

TEST(LanguageTables, TheSwitchPointsAtTheChosenSet) {
    // "工程模式" in GBK; "English"; "繁體中文" in GBK.
    set_yuyan(1);
    EXPECT_STREQ(gcms, "Engineering Mode");
    EXPECT_STREQ(yz, "English");
    set_yuyan(2);
    EXPECT_STREQ(yz, "\xB7\xB1\xF3\x77\xD6\xD0\xCE\xC4");
    EXPECT_STREQ(xtsz, "\xCF\xB5\xBD\x79\xD4\x4F\xB6\xA8");  // 系統設定
    // A damaged code reads as Simplified Chinese; the unit stays "mm".
    set_yuyan(7);
    EXPECT_STREQ(gcms, "\xB9\xA4\xB3\xCC\xC4\xA3\xCA\xBD");
    EXPECT_STREQ(yz, "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4");  // 简体中文
    EXPECT_STREQ(haomi, "mm");
    set_yuyan(0);
}

}  // namespace
