// BMP and GIF files made by independent tools decode pixel-exact; the BMP writer's
// files are read back by netpbm.
#include "tests/gui_image/tools.h"

namespace {

using ImageFiles = ToolDir;

struct BmpCase {
    const char* what;
    int colours;
    const char* command;  // in.ppm -> out.bmp
    int depth;
    int header;
};

TEST_F(ImageFiles, BmpFromNetpbmAndImageMagickDecodePixelExact) {
    const BmpCase cases[] = {
        {"1 bit, netpbm", 2, "ppmtobmp in.ppm > out.bmp", 1, 40},
        {"4 bits, netpbm", 12, "ppmtobmp in.ppm > out.bmp", 4, 40},
        {"8 bits, netpbm", 200, "ppmtobmp in.ppm > out.bmp", 8, 40},
        {"24 bits, netpbm", 200, "ppmtobmp -bpp=24 in.ppm > out.bmp", 24, 40},
        {"24 bits, 124-byte header", 200, "convert-im6.q16 in.ppm BMP:out.bmp", 24, 124},
        {"8 bits, 124-byte header", 200, "convert-im6.q16 in.ppm -type Palette -compress none BMP:out.bmp", 8, 124},
        {"4 bits, 124-byte header", 12, "convert-im6.q16 in.ppm -type Palette -colors 12 -compress none BMP:out.bmp", 4, 124},
    };
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Picture pic = Picture::pattern(37, 23, c.colours);
        write("in.ppm", pic.ppm());
        run(c.command);
        const std::string bmp = read("out.bmp");
        ASSERT_GT(bmp.size(), 54u);
        EXPECT_EQ(static_cast<unsigned char>(bmp[28]), c.depth);
        EXPECT_EQ(static_cast<unsigned char>(bmp[14]), c.header);
        Surfaces s;
        EXPECT_EQ(GUI_BMP_GetXSize(bmp.data()), 37);
        EXPECT_EQ(GUI_BMP_GetYSize(bmp.data()), 23);
        ASSERT_EQ(GUI_BMP_DrawEx(bmp.data(), static_cast<int>(bmp.size()), 5, 7), 0);
        EXPECT_EQ(mismatches(s, pic, 5, 7), 0);
        EXPECT_EQ(s.px(4, 7), 0u);
        EXPECT_EQ(s.px(5 + 37, 7), 0u);
        // Truncated by one byte: refused before anything is drawn.
        Surfaces t;
        EXPECT_EQ(GUI_BMP_DrawEx(bmp.data(), static_cast<int>(bmp.size()) - 1 - (bmp.size() % 4 == 2 ? 2 : 0), 5, 7),
                  1);
        EXPECT_EQ(t.count(0), static_cast<int>(t.canvas.size()));
    }
}

TEST_F(ImageFiles, GifFromNetpbmAndImageMagickDecodePixelExact) {
    // 256 colours of noise fill the code table up to 12 bits and force clear codes.
    const Picture big = Picture::pattern(300, 200, 256, 7);
    const Picture small = Picture::pattern(41, 17, 5, 3);
    struct Case {
        const char* what;
        const Picture& pic;
        const char* command;
    } cases[] = {
        {"netpbm", big, "pamtogif in.ppm > out.gif"},
        {"netpbm interlaced", big, "pamtogif -interlace in.ppm > out.gif"},
        {"netpbm few colours", small, "pamtogif in.ppm > out.gif"},
        {"ImageMagick", small, "convert-im6.q16 in.ppm GIF:out.gif"},
        {"giflib rebuilt", small, "pamtogif in.ppm > a.gif && gifbuild -d a.gif > a.txt && gifbuild a.txt > out.gif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("in.ppm", c.pic.ppm());
        run(c.command);
        const std::string gif = read("out.gif");
        Surfaces s;
        GUI_GIF_INFO info{};
        ASSERT_EQ(GUI_GIF_GetInfo(gif.data(), static_cast<U32>(gif.size()), &info), 0);
        EXPECT_EQ(info.xSize, c.pic.w);
        EXPECT_EQ(info.ySize, c.pic.h);
        EXPECT_EQ(info.NumImages, 1);
        ASSERT_EQ(GUI_GIF_Draw(gif.data(), static_cast<U32>(gif.size()), 3, 4), 0);
        EXPECT_EQ(mismatches(s, c.pic, 3, 4), 0);
        // Cut short: a clean failure.
        Surfaces t;
        EXPECT_EQ(GUI_GIF_Draw(gif.data(), static_cast<U32>(gif.size() / 2), 3, 4), 1);
    }
}

TEST_F(ImageFiles, GifTransparencyFramesAndComments) {
    const Picture a = Picture::pattern(20, 10, 4, 1), b = Picture::pattern(20, 10, 4, 2);
    write("a.ppm", a.ppm());
    write("b.ppm", b.ppm());
    const Rgb key = Picture::colour(1);
    char opt[64];
    std::snprintf(opt, sizeof opt, "-transparent=rgb:%02x/%02x/%02x", key.r, key.g, key.b);
    run(std::string("pamtogif -comment=hello ") + opt + " a.ppm > t.gif");
    run("convert-im6.q16 a.ppm b.ppm GIF:two.gif");
    const std::string t = read("t.gif"), two = read("two.gif");

    Surfaces s;
    for (auto& w : s.canvas) w = 0x12345678;
    ASSERT_EQ(GUI_GIF_Draw(t.data(), static_cast<U32>(t.size()), 2, 2), 0);
    int kept = 0;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x) {
            const bool transparent = a.at(x, y) == key;
            kept += transparent;
            EXPECT_EQ(s.px(2 + x, 2 + y), transparent ? 0x12345678u : canvas_of(a.at(x, y)));
        }
    EXPECT_GT(kept, 0);
    U8 text[16] = {};
    EXPECT_EQ(GUI_GIF_GetComment(t.data(), static_cast<U32>(t.size()), text, 5, 0), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text)), "hello");
    EXPECT_EQ(GUI_GIF_GetComment(t.data(), static_cast<U32>(t.size()), text, 5, 1), 1);

    GUI_GIF_INFO info{};
    ASSERT_EQ(GUI_GIF_GetInfo(two.data(), static_cast<U32>(two.size()), &info), 0);
    EXPECT_EQ(info.NumImages, 2);
    GUI_GIF_IMAGE_INFO ii{};
    EXPECT_EQ(GUI_GIF_GetImageInfo(two.data(), static_cast<U32>(two.size()), &ii, 1), 0);
    EXPECT_EQ(ii.xSize, 20);
    EXPECT_EQ(GUI_GIF_GetImageInfo(two.data(), static_cast<U32>(two.size()), &ii, 2), 1);
    Surfaces s2;
    ASSERT_EQ(GUI_GIF_DrawEx(two.data(), static_cast<U32>(two.size()), 1, 1, 1), 0);
    EXPECT_EQ(mismatches(s2, b, 1, 1), 0);
    Surfaces s3;
    EXPECT_EQ(GUI_GIF_DrawEx(two.data(), static_cast<U32>(two.size()), 1, 1, 5), 0);  // no such image
    EXPECT_EQ(s3.count(0), static_cast<int>(s3.canvas.size()));
}

// Reads a binary PPM: width, height and the RGB bytes.
bool parse_ppm(const std::string& f, int* w, int* h, std::string* rgb) {
    std::istringstream in(f);
    std::string magic;
    int maxval = 0;
    in >> magic >> *w >> *h >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255) return false;
    *rgb = f.substr(static_cast<size_t>(in.tellg()));
    return rgb->size() == static_cast<size_t>(*w * *h * 3);
}

void append(U8 b, void* p) { static_cast<std::string*>(p)->push_back(static_cast<char>(b)); }

TEST_F(ImageFiles, BmpWriterFilesReadBackByNetpbm) {
    Surfaces s;
    struct {
        int x0, y0, w, h;
    } cases[] = {{10, 20, 33, 7}, {0, 0, 800, 480}};
    for (auto c : cases) {
        std::string bmp;
        if (c.w == 800)
            GUI_BMP_Serialize(append, &bmp);
        else
            GUI_BMP_SerializeEx(append, c.x0, c.y0, c.w, c.h, &bmp);
        // 16 bits a pixel, rows padded to 4 bytes.
        EXPECT_EQ(bmp.size(), 54u + static_cast<size_t>(c.h) * ((c.w * 2 + 3) & ~3));
        write("w.bmp", bmp);
        run("bmptopnm w.bmp > w.ppm");
        int w = 0, h = 0;
        std::string rgb;
        ASSERT_TRUE(parse_ppm(read("w.ppm"), &w, &h, &rgb));
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        // The driver reads back index 0 everywhere: a black picture.
        EXPECT_EQ(rgb.find_first_not_of('\0'), std::string::npos);
    }
}

}  // namespace
