// Generates gui/Font/GUI_FontHZ24x24.cpp (the glyph data of the 24-pixel font)
// and tools/previews/font.png from two installed outline fonts.
//
// Not part of the build. Needs libfreetype-dev, libpng-dev, fonts-dejavu-core
// and fonts-wqy-zenhei. Build and run from the repository root:
//   c++ -std=c++20 tools/make_font.cpp $(pkg-config --cflags --libs freetype2) -lpng -o /tmp/make_font
//   /tmp/make_font
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SFNT_NAMES_H
#include <iconv.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kAsciiFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* kHanFont = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
const char* kOut = "gui/Font/GUI_FontHZ24x24.cpp";
const char* kPreview = "tools/previews/font.png";

// Double-byte codes in chain order; "a-b" is one node holding two codes.
const char* kHanCodes =
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

constexpr int kRows = 24;

struct Glyph {
  unsigned code = 0;
  int xsize = 0, xdist = 0, bpl = 0;
  std::vector<unsigned char> px;  // xsize x kRows, 1 = ink
  std::string utf8;               // for the comment
};

[[noreturn]] void die(const std::string& m) {
  std::fprintf(stderr, "make_font: %s\n", m.c_str());
  std::exit(1);
}

FT_Face open_face(FT_Library lib, const char* path) {
  FT_Face f;
  if (FT_New_Face(lib, path, 0, &f)) die(std::string("cannot open ") + path);
  return f;
}

std::string font_version(FT_Face f) {
  FT_UInt n = FT_Get_Sfnt_Name_Count(f);
  for (FT_UInt i = 0; i < n; ++i) {
    FT_SfntName nm;
    if (FT_Get_Sfnt_Name(f, i, &nm) || nm.name_id != 5) continue;
    std::string s;
    for (FT_UInt k = 0; k < nm.string_len; ++k)
      if (nm.string[k] >= 0x20 && nm.string[k] < 0x7F) s += char(nm.string[k]);
    if (!s.empty()) return s;
  }
  return "unknown";
}

// GBK code -> Unicode scalar and UTF-8 text, through glibc's iconv.
unsigned gbk_to_unicode(unsigned code, std::string* utf8) {
  char in[2] = {char(code >> 8), char(code & 0xFF)};
  char out[8] = {};
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == iconv_t(-1)) die("iconv GBK unavailable");
  char* ip = in;
  char* op = out;
  size_t il = 2, ol = sizeof out;
  if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0) die("cannot decode GBK code");
  iconv_close(cd);
  *utf8 = std::string(out, op);
  const unsigned char* u = reinterpret_cast<const unsigned char*>(out);
  if (u[0] < 0x80) return u[0];
  if ((u[0] & 0xE0) == 0xC0) return ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
  return ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
}

// Renders cp with the face's current size into a cell; the glyph's baseline sits on
// row baseline_row + 1 and it is centred horizontally. Returns false if it does not fit.
bool render(FT_Face f, unsigned cp, int cellw, int baseline_row, int embolden, int threshold,
            Glyph* g, bool center_v) {
  FT_UInt gi = FT_Get_Char_Index(f, cp);
  if (!gi) die("glyph missing for U+" + std::to_string(cp));
  if (FT_Load_Glyph(f, gi, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL)) die("load failed");
  if (embolden) FT_Outline_EmboldenXY(&f->glyph->outline, embolden, embolden);
  if (FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL)) die("render failed");
  const FT_Bitmap& b = f->glyph->bitmap;
  int w = int(b.width), h = int(b.rows);
  if (w > cellw || h > kRows) return false;
  int x0 = (cellw - w) / 2;
  int y0 = center_v ? (kRows - h) / 2 : baseline_row + 1 - f->glyph->bitmap_top;
  if (y0 < 0) y0 = 0;
  if (y0 + h > kRows) y0 = kRows - h;
  g->px.assign(size_t(cellw) * kRows, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (b.buffer[y * b.pitch + x] >= threshold) g->px[size_t(y0 + y) * cellw + x0 + x] = 1;
  return true;
}

std::vector<unsigned char> pack(const Glyph& g) {
  std::vector<unsigned char> out(size_t(g.bpl) * kRows, 0);
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < g.xsize; ++x)
      if (g.px[size_t(y) * g.xsize + x]) out[size_t(y) * g.bpl + x / 8] |= 0x80 >> (x % 8);
  return out;
}

}  // namespace

int main() {
  FT_Library lib;
  if (FT_Init_FreeType(&lib)) die("freetype");
  FT_Face ascii = open_face(lib, kAsciiFont);
  FT_Face han = open_face(lib, kHanFont);

  std::vector<Glyph> glyphs;
  // ASCII 0x20..0x7E: 14-pixel cells; capitals on rows 4..20. Wide letters are
  // narrowed by lowering the horizontal size until they fit.
  for (unsigned c = 0x20; c <= 0x7E; ++c) {
    Glyph g;
    g.code = c;
    g.xsize = 14;
    g.xdist = 14;
    g.bpl = 2;
    // A backslash would continue the line comment in the data file.
    g.utf8 = c == '\\' ? "backslash" : std::string(1, char(c));
    if (c == 0x20) {
      g.px.assign(14 * kRows, 0);
    } else {
      bool ok = false;
      for (int xs = 22; xs >= 8 && !ok; --xs) {
        FT_Set_Pixel_Sizes(ascii, FT_UInt(xs), 23);
        ok = render(ascii, c, 14, 20, 0, 110, &g, false);
      }
      if (!ok) die("ASCII glyph does not fit: " + g.utf8);
    }
    glyphs.push_back(g);
  }
  // 0x7F has no outline: a box 7 pixels wide over the capital height.
  {
    Glyph g;
    g.code = 0x7F;
    g.xsize = 7;
    g.xdist = 14;
    g.bpl = 1;
    g.utf8 = "DEL";
    g.px.assign(7 * kRows, 0);
    for (int y = 4; y <= 20; ++y)
      for (int x = 0; x < 7; ++x)
        if (y <= 5 || y >= 19 || x <= 1 || x >= 5) g.px[size_t(y) * 7 + x] = 1;
    glyphs.push_back(g);
  }

  // Double-byte glyphs, node by node.
  std::vector<std::vector<unsigned>> nodes;
  nodes.push_back({});
  for (unsigned c = 0x20; c <= 0x7F; ++c) nodes[0].push_back(c);
  {
    const char* p = kHanCodes;
    while (*p) {
      while (*p == ' ') ++p;
      if (!*p) break;
      char* e;
      unsigned a = unsigned(std::strtoul(p, &e, 16));
      std::vector<unsigned> node{a};
      if (*e == '-') {
        unsigned b = unsigned(std::strtoul(e + 1, &e, 16));
        if (b != a + 1) die("range of more than two codes");
        node.push_back(b);
      }
      nodes.push_back(node);
      p = e;
    }
  }
  if (nodes.size() != 231) die("expected 231 nodes, got " + std::to_string(nodes.size()));
  for (size_t n = 1; n < nodes.size(); ++n)
    for (unsigned code : nodes[n]) {
      Glyph g;
      g.code = code;
      g.xsize = 24;
      g.xdist = 24;
      g.bpl = 3;
      unsigned cp = gbk_to_unicode(code, &g.utf8);
      bool ok = false;
      for (int sz = 24; sz >= 16 && !ok; --sz) {
        FT_Set_Pixel_Sizes(han, 0, FT_UInt(sz));
        ok = render(han, cp, 24, 0, 40, 96, &g, true);
      }
      if (!ok) die("double-byte glyph does not fit: " + g.utf8);
      glyphs.push_back(g);
    }
  if (glyphs.size() != 336) die("expected 336 glyphs");
  for (const Glyph& g : glyphs) {
    int ink = 0;
    for (unsigned char v : g.px) ink += v;
    if (!ink && g.code != 0x20) die("glyph without ink: " + g.utf8);
  }

  // The C++ data file.
  FILE* o = std::fopen(kOut, "w");
  if (!o) die(std::string("cannot write ") + kOut);
  std::fprintf(o,
               "// Glyph data of GUI_FontHZ24x24, generated by tools/make_font.cpp; do not edit.\n"
               "//\n"
               "// ASCII 0x20..0x7E from DejaVu Sans Bold (DejaVuSans-Bold.ttf, %s; Debian\n"
               "// fonts-dejavu-core 2.37-6). Licence: Bitstream Vera Fonts licence, DejaVu changes\n"
               "// in the public domain. 0x7F is a drawn box.\n"
               "// Double-byte glyphs from WenQuanYi Zen Hei (wqy-zenhei.ttc, %s; Debian\n"
               "// fonts-wqy-zenhei 0.9.45-8), outlines slightly emboldened. Licence: GPL-2 with\n"
               "// the font embedding exception.\n"
               "// Rows top to bottom, most significant bit leftmost, a set bit is ink.\n"
               "// The font record, in gui/GUIFontHZ24x24.cpp, points at the first node.\n\n#include \"gui/GUI_Font.h\"\n\n",
               font_version(ascii).c_str(), font_version(han).c_str());
  for (const Glyph& g : glyphs) {
    std::vector<unsigned char> bytes = pack(g);
    std::fprintf(o, "// %04X %s\nstatic const unsigned char acFontHZ24_%04X[%zu] = {\n", g.code,
                 g.utf8.c_str(), g.code, bytes.size());
    for (int y = 0; y < kRows; ++y) {
      std::fprintf(o, " ");
      for (int k = 0; k < g.bpl; ++k) std::fprintf(o, " 0x%02X,", bytes[size_t(y) * g.bpl + k]);
      std::fprintf(o, "  // ");
      for (int x = 0; x < g.xsize; ++x) std::fputc(g.px[size_t(y) * g.xsize + x] ? '#' : '.', o);
      std::fprintf(o, "\n");
    }
    std::fprintf(o, "};\n");
  }
  // Nodes are written last to first so each can point at its successor.
  size_t gi_end = glyphs.size();
  std::vector<size_t> first_glyph(nodes.size());
  {
    size_t k = 0;
    for (size_t n = 0; n < nodes.size(); ++n) {
      first_glyph[n] = k;
      k += nodes[n].size();
    }
    if (k != gi_end) die("glyph count mismatch");
  }
  std::fprintf(o, "\n");
  for (size_t n = nodes.size(); n-- > 0;) {
    std::fprintf(o, "static const GUI_CHARINFO GUI_FontHZ_24x24_CharInfo%zu[%zu] = {\n", n + 1,
                 nodes[n].size());
    for (size_t i = 0; i < nodes[n].size(); ++i) {
      const Glyph& g = glyphs[first_glyph[n] + i];
      std::fprintf(o, "    {%d, %d, %d, acFontHZ24_%04X},\n", g.xsize, g.xdist, g.bpl, g.code);
    }
    std::fprintf(o, "};\n");
    // The first node is what the font record points at, from another file.
    std::fprintf(o,
                 "%s const GUI_FONT_PROP GUI_FontHZ_24x24_Prop%zu = {0x%04X, 0x%04X, "
                 "GUI_FontHZ_24x24_CharInfo%zu, ",
                 n == 0 ? "extern" : "static", n + 1, nodes[n].front(), nodes[n].back(), n + 1);
    if (n + 1 < nodes.size())
      std::fprintf(o, "&GUI_FontHZ_24x24_Prop%zu};\n", n + 2);
    else
      std::fprintf(o, "nullptr};\n");
  }
  std::fclose(o);

  // Preview: every glyph on a grid, 24 per row, three times enlarged.
  const int cols = 24, cell = 26, scale = 3;
  const int rows = int((glyphs.size() + cols - 1) / cols);
  const int W = cols * cell * scale, H = rows * cell * scale;
  std::vector<unsigned char> img(size_t(W) * H, 235);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    int cx = int(i % cols) * cell + 1, cy = int(i / cols) * cell + 1;
    for (int y = 0; y < kRows; ++y)
      for (int x = 0; x < 24; ++x) {
        unsigned char v = x < g.xsize ? (g.px[size_t(y) * g.xsize + x] ? 0 : 255) : 200;
        for (int sy = 0; sy < scale; ++sy)
          for (int sx = 0; sx < scale; ++sx)
            img[size_t((cy + y) * scale + sy) * W + size_t((cx + x) * scale + sx)] = v;
      }
  }
  FILE* pf = std::fopen(kPreview, "wb");
  if (!pf) die("cannot write preview");
  png_structp ps = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop pi = png_create_info_struct(ps);
  png_init_io(ps, pf);
  png_set_IHDR(ps, pi, W, H, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(ps, pi);
  for (int y = 0; y < H; ++y) png_write_row(ps, &img[size_t(y) * W]);
  png_write_end(ps, pi);
  png_destroy_write_struct(&ps, &pi);
  std::fclose(pf);

  std::printf("%zu nodes, %zu glyphs; DejaVu %s; WenQuanYi %s\n", nodes.size(), glyphs.size(),
              font_version(ascii).c_str(), font_version(han).c_str());
  FT_Done_Face(ascii);
  FT_Done_Face(han);
  FT_Done_FreeType(lib);
  return 0;
}
