// The 24-pixel font: its chain of code ranges, metrics, glyph ink and the
// double-byte codes (checked against glibc's GBK decoder).
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/GUI.h"

namespace {

// Double-byte codes of the font in chain order; "a-b" is one node of two codes.
const char* kCodes =
    "8280 82C8 83A6 83C9 8468 84D3 84D5 855E 85A2 86A2 87C0 87FA 8844 8CA7 8EFB 8F53 8FCD "
    "9142 947A 94B5 9572 95F8 98CB 997A 9A77 9C79 9FF4 A0EE B0B4-B0B5 B0E6 B150 B1A3 B1BE "
    "B1D5 B1D8 B1EA B2A5 B2CE B2E0 B2E2 B2E9 B3A3-B3A4 B3A7 B3B5 B3C9 B3CC B3F6 B3FD B45F "
    "B461 B4A2 B4C5 B4E6 B4F2-B4F3 B5B9 B5BC B5C4 B5C6 B5E3 B5F7 B6A8 B6AF B6C8 B74E B7B1 "
    "B7B6 B7C5 B7D6 B7F1 B8B4 B8C7 B8F1 B8F6 B9A0 B9A4 B9A6 B9CC B9D8 B9E9 B9EC BA86 BACD "
    "BAF2-BAF3 BBAF BBD6 BBF0 BC89 BCA3 BCB6 BCE4 BCEC BCF2 BCFE BD79 BDC7 BDE2 BEB0 BEB5 "
    "BEF9 BF82 BFAA BFC9 BFD5 C1BD C1C1 C1E3 C2BC C2EB C3A4 C3DC C3EB C3F7 C4A3 C4DC C4EA "
    "C5CC C6B5 C6DA C6F4 C7B0 C7EB C7F3 C7F8 C8A1 C8AB C8B7 C8D5 C8EB C8ED C8FD C977 C9BE "
    "C9CF C9D4 C9E3 C9E8 C9ED C9FD CAB1 CABD-CABE CAC2 CAC7 CAD3-CAD4 CAE4 CAE9 CAFD CBB5 "
    "CBC4 CBF7-CBF8 CCAC CCE5 CDB3 CDB7 CDBC CDCB CDEA CEA7 CEB2 CEBB CEC4 CEF1 CFB5 CFD4 "
    "CFE1 CFE4 CFEE CFF1-CFF2 CFFB D0A1 D0CD D0D0 D0F2 D1AD D1CF D1D3-D1D4 D295 D2AA D2C0 "
    "D2D1 D2E2 D3C3 D3D2 D3EF D44F D487 D4C2 D54A D55A D566 D57B D588 D5D5 D5FB D6C3 D6C6 "
    "D6D0 D6D6 D6D8 D7A2 D7AA D7B4 D7DC D7F3 DB45 DC87 DC89 DC9B DD94 DE44 E1E1 E49B E669 "
    "E752 E94C E954 E95D E95F E967 EA50 ED97-ED98 EE5E EE6C EE77 EF40 F377 FC63 B5FA CDA3 "
    "8C92 BFED";

// The same characters, in the same order.
const char* kChars =
    "個側儲兩刪動務區參啟嚴圍圖導廂廠復態攝數時書標檢歸測燈狀按暗版盤保本闭必标播参侧测查常长厂"
    "车成程出除確碼储磁存打大倒导的灯点调定动度種繁范放分否复盖格个範工功固关归轨簡和候后化恢火"
    "級迹级间检简件統角解景镜均總开可空两亮零录码盲密秒明模能年盘频期启前请求区取全确日入软三蓋"
    "删上稍摄设身升时式示事是视试输书数说四索锁态体统头图退完围尾位文务系显厢箱项像向消小型行序"
    "循严延言視要依已意用右语設試月認語說調請照整置制中种重注转状总左跡車軌軟輸轉後錄鎖鏡長門閉"
    "開間關項順頭頻顆顯體點碟停寬宽";

struct Node {
  unsigned first, last;
};

std::vector<Node> expected_nodes() {
  std::vector<Node> v{{0x20, 0x7F}};
  for (const char* p = kCodes; *p;) {
    char* e;
    unsigned a = unsigned(std::strtoul(p, &e, 16));
    unsigned b = a;
    if (*e == '-') b = unsigned(std::strtoul(e + 1, &e, 16));
    v.push_back({a, b});
    while (*e == ' ') ++e;
    p = e;
  }
  return v;
}

std::vector<const GUI_FONT_PROP*> chain() {
  std::vector<const GUI_FONT_PROP*> v;
  for (const GUI_FONT_PROP* p = GUI_FontHZ24x24.p.pProp; p; p = p->pNext) v.push_back(p);
  return v;
}

std::string gbk_to_utf8(unsigned code) {
  char in[2] = {char(code >> 8), char(code & 0xFF)};
  char out[8] = {};
  iconv_t cd = iconv_open("UTF-8", "GBK");
  EXPECT_NE(cd, iconv_t(-1));
  char* ip = in;
  char* op = out;
  size_t il = 2, ol = sizeof out;
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  return r == size_t(-1) ? std::string() : std::string(out, op);
}

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GUI_Init();
    GUI_Context.pAFont = &GUI_FontHZ24x24;
  }
};

TEST(FontRecord, FontFieldsAndOperations) {
  const GUI_FONT& f = GUI_FontHZ24x24;
  EXPECT_EQ(f.pfDispChar, &GUIPROP_DispChar);
  EXPECT_EQ(f.pfGetCharDistX, &GUIPROP_GetCharDistX);
  EXPECT_EQ(f.pfGetFontInfo, &GUIPROP_GetFontInfo);
  EXPECT_EQ(f.pfIsInFont, &GUIPROP_IsInFont);
  EXPECT_EQ(f.pafEncode, &GUI_ENC_APIList_SJIS);
  EXPECT_EQ(f.YSize, 24);
  EXPECT_EQ(f.YDist, 24);
  EXPECT_EQ(f.XMag, 1);
  EXPECT_EQ(f.YMag, 1);
  EXPECT_EQ(f.Baseline, 0);
  EXPECT_EQ(f.LHeight, 0);
  EXPECT_EQ(f.CHeight, 0);
}

TEST(FontRecord, ChainHas231NodesInOrderWith336Glyphs) {
  std::vector<Node> want = expected_nodes();
  std::vector<const GUI_FONT_PROP*> got = chain();
  ASSERT_EQ(want.size(), 231u);
  ASSERT_EQ(got.size(), 231u);
  int glyphs = 0, pairs = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i]->First, want[i].first) << "node " << i + 1;
    EXPECT_EQ(got[i]->Last, want[i].last) << "node " << i + 1;
    glyphs += got[i]->Last - got[i]->First + 1;
    if (i > 0 && got[i]->Last != got[i]->First) ++pairs;
    // Ascending, except for the last four nodes.
    if (i > 0 && i < got.size() - 4) {
      EXPECT_GT(got[i]->First, got[i - 1]->Last);
    }
  }
  EXPECT_EQ(glyphs, 336);
  EXPECT_EQ(pairs, 10);
}

TEST(FontRecord, GlyphMetrics) {
  for (const GUI_FONT_PROP* p : chain())
    for (unsigned c = p->First; c <= p->Last; ++c) {
      const GUI_CHARINFO& ci = p->paCharInfo[c - p->First];
      SCOPED_TRACE(c);
      ASSERT_NE(ci.pData, nullptr);
      if (c == 0x7F) {
        EXPECT_EQ(ci.XSize, 7);
        EXPECT_EQ(ci.XDist, 14);
        EXPECT_EQ(ci.BytesPerLine, 1);
      } else if (c < 0x80) {
        EXPECT_EQ(ci.XSize, 14);
        EXPECT_EQ(ci.XDist, 14);
        EXPECT_EQ(ci.BytesPerLine, 2);
      } else {
        EXPECT_EQ(ci.XSize, 24);
        EXPECT_EQ(ci.XDist, 24);
        EXPECT_EQ(ci.BytesPerLine, 3);
      }
    }
}

bool pixel(const GUI_CHARINFO& ci, int x, int y) {
  return ci.pData[y * ci.BytesPerLine + x / 8] & (0x80 >> (x % 8));
}

TEST(FontRecord, EveryGlyphButTheBlankHasInkInsideItsWidth) {
  for (const GUI_FONT_PROP* p : chain())
    for (unsigned c = p->First; c <= p->Last; ++c) {
      const GUI_CHARINFO& ci = p->paCharInfo[c - p->First];
      int ink = 0, outside = 0;
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < ci.BytesPerLine * 8; ++x) (x < ci.XSize ? ink : outside) += pixel(ci, x, y);
      EXPECT_EQ(outside, 0) << std::hex << c;  // padding bits are clear: MSB is leftmost
      if (c == 0x20) {
        EXPECT_EQ(ink, 0);
      } else {
        EXPECT_GT(ink, 10) << std::hex << c;
      }
    }
}

TEST(FontRecord, CapitalAFillsRows4To20) {
  const GUI_CHARINFO& a = chain()[0]->paCharInfo['A' - 0x20];
  int top = -1, bottom = -1;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 14; ++x)
      if (pixel(a, x, y)) {
        if (top < 0) top = y;
        bottom = y;
      }
  EXPECT_EQ(top, 4);
  EXPECT_EQ(bottom, 20);
}

TEST(FontRecord, DoubleByteCodesDecodeAsGbkToTheListedCharacters) {
  std::vector<Node> nodes = expected_nodes();
  std::string joined;
  for (size_t i = 1; i < nodes.size(); ++i)
    for (unsigned c = nodes[i].first; c <= nodes[i].last; ++c) joined += gbk_to_utf8(c);
  EXPECT_EQ(joined, kChars);
}

TEST_F(FontTest, CharacterWidthsMeasureTheGlyphNotTheAdvance) {
  EXPECT_EQ(GUI_GetCharDistX('A'), 14);
  EXPECT_EQ(GUI_GetCharDistX(0xD6D0), 24);
  EXPECT_EQ(GUI_GetCharDistX(0x7F), 7);
  EXPECT_EQ(GUI_GetCharDistX(0x0A), 0);
  EXPECT_EQ(GUI_GetCharDistX(0x8140), 0);
  EXPECT_EQ(GUI_IsInFont(nullptr, 0xBFED), 1);
  EXPECT_EQ(GUI_IsInFont(&GUI_FontHZ24x24, 0x8140), 0);
  GUI_FONTINFO fi{};
  GUI_GetFontInfo(nullptr, &fi);
  EXPECT_EQ(fi.Flags, GUI_FONTINFO_FLAG_PROP);
  EXPECT_EQ(GUI_GetYSizeOfFont(&GUI_FontHZ24x24), 24);
  EXPECT_EQ(GUI_GetFontDistY(), 24);
}

TEST_F(FontTest, DrawingAdvancesByXDistAndSkipsMissingCodes) {
  GUI_Context.ClipRect = {0, 0, -1, -1};  // nothing reaches a surface
  GUI_Context.DispPosX = 100;
  GUIPROP_DispChar(0x7F);
  EXPECT_EQ(GUI_Context.DispPosX, 114);
  GUIPROP_DispChar(0x8140);
  EXPECT_EQ(GUI_Context.DispPosX, 114);
  GUIPROP_DispChar(0xD6D0);
  EXPECT_EQ(GUI_Context.DispPosX, 138);
}

// Strings copied to an exact-size heap block, so the sanitizer sees any overread.
int line_len(const std::string& s, int max) {
  std::vector<char> b(s.begin(), s.end());
  b.push_back(0);
  return GUI_ENC_APIList_SJIS.pfGetLineLen(b.data(), max);
}
int line_dist(const std::string& s, int len) {
  std::vector<char> b(s.begin(), s.end());
  b.push_back(0);
  return GUI_ENC_APIList_SJIS.pfGetLineDistX(b.data(), len);
}

TEST_F(FontTest, LineReaderLengths) {
  EXPECT_EQ(line_len("ab\ncd", 100), 2);
  EXPECT_EQ(line_len("\xD6\xD0\xCE\xC4\xC9\xE8", 5), 6);  // never splits a character
  EXPECT_EQ(line_len("A\xD6\xD0" "B", 2), 3);
  EXPECT_EQ(line_len("", 10), 0);
  EXPECT_EQ(line_len("abc", 0), 0);
  EXPECT_EQ(line_len("a\xD6", 10), 2);  // lone lead byte before the terminator
  EXPECT_EQ(GUI_ENC_APIList_SJIS.pfGetLineLen(nullptr, 5), 0);
}

TEST_F(FontTest, LineReaderWidths) {
  EXPECT_EQ(line_dist("abc", 2), 28);
  EXPECT_EQ(line_dist("A\xD6\xD0" "B", 100), 14 + 24 + 14);
  EXPECT_EQ(line_dist("\x7F", 1), 7);
  EXPECT_EQ(line_dist("a\xD6", 10), 14);  // the lone lead byte measures 0
  EXPECT_EQ(GUI_ENC_APIList_SJIS.pfGetLineDistX(nullptr, 5), 0);
}

TEST(CharReaders, DoubleByteStoreRoundTrips) {
  U8 b[2];
  GUI_UC2DB(0x1234, b);
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[1], 0x34);
  GUI_UC2DB(0x41, b);
  EXPECT_EQ(b[0], 0xE0);
  EXPECT_EQ(b[1], 0x41);
  GUI_UC2DB(0x1200, b);
  EXPECT_EQ(b[0], 0xE1);
  EXPECT_EQ(b[1], 0x12);
  for (unsigned c : {0x0u, 0x41u, 0x1200u, 0x1234u, 0xFFFFu}) {
    GUI_UC2DB(U16(c), b);
    EXPECT_EQ(GUI_DB2UC(b[0], b[1]), c);
  }
}

TEST_F(FontTest, GeneralReaderIsOneBytePerCharacterOrUtf8) {
  EXPECT_EQ(GUI_Context.pUC_API, &GUI_UC_None);
  EXPECT_EQ(GUI__GetNumChars("a\xD6\xD0"), 3);
  GUI_UC_SetEncodeUTF8();
  const char* s = "a\xC3\xA9\xE4\xB8\xAD";  // a, e-acute, a CJK character
  EXPECT_EQ(GUI__GetNumChars(s), 3);
  U16 codes[4];
  ASSERT_EQ(GUI_UC_ConvertUTF82UC(s, 6, codes, 4), 3);
  EXPECT_EQ(codes[1], 0xE9);
  EXPECT_EQ(codes[2], 0x4E2D);
  char back[8] = {};
  EXPECT_EQ(GUI_UC_ConvertUC2UTF8(codes, 3, back, 8), 6);
  EXPECT_STREQ(back, s);
  GUI_UC_SetEncodeNone();
}

TEST_F(FontTest, FontImageWithoutMagicIsIgnored) {
  const U8 image[16] = {'G', 'U', 'I', 'X', 24, 0, 24, 0};
  GUI_FONT f{};
  GUI_SIF_CreateFont(image, &f, &GUI_SIF_APIList_Prop);
  EXPECT_EQ(f.YSize, 0);
  EXPECT_EQ(GUI_Context.pAFont, &GUI_FontHZ24x24);
}

TEST_F(FontTest, FontImageWithOneRangeBecomesCurrent) {
  // Header, one range 'A'..'B', two character records, glyph bytes at offset 44.
  const U8 image[] = {'G', 'U', 'I', 'P', 8, 0, 10, 0, 6, 0, 5, 0, 4, 0, 1, 0,
                      'A', 0, 'B', 0,
                      8, 0, 9, 0, 1, 0, 0, 0, 44, 0, 0, 0,
                      6, 0, 7, 0, 1, 0, 0, 0, 44, 0, 0, 0,
                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  GUI_FONT f{};
  GUI_SIF_CreateFont(image, &f, &GUI_SIF_APIList_Prop);
  EXPECT_EQ(GUI_Context.pAFont, &f);
  EXPECT_EQ(f.YSize, 8);
  EXPECT_EQ(f.YDist, 10);
  EXPECT_EQ(GUI_GetCharDistX('A'), 9);
  EXPECT_EQ(GUI_GetCharDistX('B'), 7);
  EXPECT_EQ(GUI_GetCharDistX('C'), 0);
  EXPECT_EQ(GUI_IsInFont(nullptr, 'B'), 1);
  GUI_FONTINFO fi{};
  GUI_GetFontInfo(nullptr, &fi);
  EXPECT_EQ(fi.Flags, GUI_FONTINFO_FLAG_PROP);
  EXPECT_EQ(fi.Baseline, 6);
}

}  // namespace
