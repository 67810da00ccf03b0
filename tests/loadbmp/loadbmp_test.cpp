// The bitmap file loader against files written by ImageMagick and FFmpeg, run
// as separate programs: every depth it takes, the ones it refuses, and
// truncated and hostile files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dsp/loadbmp.h"
#include "tests/loadbmp/fuzz_loadbmp.h"
#include "tests/gui_image/fuzz_targets.h"

namespace {

struct Rgb {
    int r, g, b;
};
// A 3 x 2 picture: first row, then second row, top-down.
const Rgb kPixels[6] = {{0x10, 0x20, 0x30}, {0x40, 0x50, 0x60}, {0x70, 0x80, 0x90},
                        {0xA0, 0xB0, 0xC0}, {0xD0, 0xE0, 0xF0}, {0x01, 0x02, 0x03}};

class Loader : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        char t[] = "/tmp/loadbmp-XXXXXX";
        dir = mkdtemp(t);
        std::string ppm = "P6\n3 2\n255\n";
        for (const Rgb& c : kPixels) ppm += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
        std::ofstream(dir / "in.ppm", std::ios::binary) << ppm;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Runs a tool on the test picture; true when it succeeded.
    bool tool(const std::string& command) const {
        const std::string cmd = "cd '" + dir.string() + "' && (" + command + ") >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0;
    }
    std::vector<std::uint8_t> bytes(const std::string& name) const {
        std::ifstream f(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    void put(const std::string& name, const std::vector<std::uint8_t>& b) const {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                          static_cast<std::streamsize>(b.size()));
    }

    // Loads into a buffer with a guard zone after the capacity.
    struct Result {
        HI_S32 rc;
        OSD_LOGO_T logo;
        std::vector<std::uint8_t> buf;
        std::string out;
        std::uint16_t px16(int i) const { return static_cast<std::uint16_t>(buf[2 * i] | buf[2 * i + 1] << 8); }
    };
    Result load(const std::string& name, OSD_COLOR_FMT_E fmt, HI_U32 capacity = 24) const {
        Result r{};
        r.buf.assign(capacity + 16, 0xA5);
        r.logo = OSD_LOGO_T{0, 0, 0, r.buf.data(), capacity};
        testing::internal::CaptureStdout();
        r.rc = LoadBMPEx(path(name).c_str(), &r.logo, fmt);
        std::fflush(stdout);
        r.out = testing::internal::GetCapturedStdout();
        for (HI_U32 i = capacity; i < r.buf.size(); ++i) EXPECT_EQ(r.buf[i], 0xA5) << "written past the capacity";
        return r;
    }
};

TEST_F(Loader, TwentyFourBitPicturesConvertToEverySixteenBitFormatAndToArgb8888) {
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm bmp3:p24.bmp"));
    // Hand-packed values of the first pixel (0x10, 0x20, 0x30) and the fifth (0xD0, 0xE0, 0xF0).
    struct Case {
        OSD_COLOR_FMT_E fmt;
        std::uint16_t first, fifth;
    } cases[] = {
        {OSD_COLOR_FMT_RGB444, 0x0123, 0x0DEF},  {OSD_COLOR_FMT_RGB4444, 0xF123, 0xFDEF},
        {OSD_COLOR_FMT_RGB555, 0x0886, 0x6B9E},  {OSD_COLOR_FMT_RGB565, 0x1106, 0xD71E},
        {OSD_COLOR_FMT_RGB1555, 0x8886, 0xEB9E},
    };
    for (const Case& c : cases) {
        const Result r = load("p24.bmp", c.fmt, 12);
        ASSERT_EQ(r.rc, 0) << c.fmt << r.out;
        EXPECT_EQ(r.logo.width, 3u);
        EXPECT_EQ(r.logo.height, 2u);
        EXPECT_EQ(r.logo.stride, 6u);
        EXPECT_EQ(r.px16(0), c.first) << c.fmt;
        EXPECT_EQ(r.px16(4), c.fifth) << c.fmt;
    }
    const Result r = load("p24.bmp", OSD_COLOR_FMT_RGB8888);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.logo.stride, 12u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(r.buf[4 * i], kPixels[i].b);
        EXPECT_EQ(r.buf[4 * i + 1], kPixels[i].g);
        EXPECT_EQ(r.buf[4 * i + 2], kPixels[i].r);
        EXPECT_EQ(r.buf[4 * i + 3], 0xFF);
    }
    // netpbm writes this picture with a palette, which is refused.
    ASSERT_TRUE(tool("ppmtobmp in.ppm > p4.bmp"));
    EXPECT_EQ(load("p4.bmp", OSD_COLOR_FMT_RGB8888).out, "bitmap format not supported!\n");
}

TEST_F(Loader, SixteenAndThirtyTwoBitPixelsAreCopiedAsTheyAre) {
    // FFmpeg writes uncompressed 5-5-5; ImageMagick reads it back independently.
    ASSERT_TRUE(tool("ffmpeg -loglevel error -y -i in.ppm -pix_fmt rgb555le -c:v bmp p16.bmp"));
    ASSERT_TRUE(tool("convert-im6.q16 p16.bmp -depth 8 back16.ppm"));
    const std::vector<std::uint8_t> back = bytes("back16.ppm");
    ASSERT_GE(back.size(), 18u);
    const std::uint8_t* rgb = back.data() + back.size() - 18;
    for (OSD_COLOR_FMT_E fmt : {OSD_COLOR_FMT_RGB555, OSD_COLOR_FMT_RGB1555}) {
        const Result r = load("p16.bmp", fmt, 12);
        ASSERT_EQ(r.rc, 0) << r.out;
        for (int i = 0; i < 6; ++i) {
            const int v = r.px16(i);
            EXPECT_EQ(v >> 10 & 31, rgb[3 * i] >> 3) << i;
            EXPECT_EQ(v >> 5 & 31, rgb[3 * i + 1] >> 3) << i;
            EXPECT_EQ(v & 31, rgb[3 * i + 2] >> 3) << i;
        }
    }
    // ImageMagick's 32-bit file with half-transparent pixels: bytes B, G, R, A as stored.
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm -alpha set -channel A -evaluate set 50% +channel "
                     "-define bmp3:alpha=true bmp3:p32.bmp"));
    ASSERT_EQ(bytes("p32.bmp")[28], 32);
    for (OSD_COLOR_FMT_E fmt : {OSD_COLOR_FMT_RGB8888, OSD_COLOR_FMT_RGB888}) {
        const Result r = load("p32.bmp", fmt);
        ASSERT_EQ(r.rc, 0) << r.out;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(r.buf[4 * i], kPixels[i].b);
            EXPECT_EQ(r.buf[4 * i + 2], kPixels[i].r);
            EXPECT_NEAR(r.buf[4 * i + 3], 128, 1);
        }
    }
}

TEST_F(Loader, ConversionsWithoutARuleCompressionAndBadNamesAreRefused) {
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm bmp3:p24.bmp"));
    ASSERT_TRUE(tool("ffmpeg -loglevel error -y -i in.ppm -pix_fmt rgb555le -c:v bmp p16.bmp"));
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm -alpha set -define bmp3:alpha=true bmp3:p32.bmp"));
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm -define bmp:subtype=RGB565 p565.bmp"));
    const std::string no_rule = "no such format!\n";
    for (auto [file, fmt] : {std::pair{"p24.bmp", OSD_COLOR_FMT_RGB888}, {"p24.bmp", static_cast<OSD_COLOR_FMT_E>(5)},
                             {"p24.bmp", OSD_COLOR_FMT_BUTT}, {"p16.bmp", OSD_COLOR_FMT_RGB8888},
                             {"p32.bmp", OSD_COLOR_FMT_RGB565}}) {
        const Result r = load(file, fmt, 64);
        EXPECT_EQ(r.rc, -1);
        EXPECT_NE(r.out.find(no_rule), std::string::npos) << file << " " << fmt << ": " << r.out;
        EXPECT_EQ(r.logo.width, 0u);
    }
    // Bit fields count as compression.
    EXPECT_EQ(load("p565.bmp", OSD_COLOR_FMT_RGB565).out, "not support compressed bitmap file!\n");
    EXPECT_EQ(load("missing.bmp", OSD_COLOR_FMT_RGB565).out, "Open file faild:" + path("missing.bmp") + "!\n");
    EXPECT_EQ(load("in.ppm", OSD_COLOR_FMT_RGB565).out, "not bitmap file\n");

    EXPECT_STREQ(GetExtName("a.b.bmp"), "bmp");
    EXPECT_STREQ(GetExtName("logo"), "");
    std::filesystem::copy_file(path("p24.bmp"), path("p24.BMP"));
    std::vector<std::uint8_t> buf(64);
    OSD_LOGO_T logo{0, 0, 0, buf.data(), 64};
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadImage(path("p24.BMP").c_str(), &logo), -1);
    EXPECT_EQ(LoadImageEx(path("p24.bmp").c_str(), &logo, OSD_COLOR_FMT_RGB888), -1);
    EXPECT_EQ(LoadImage(path("p24.bmp").c_str(), &logo), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("not supported image file!\n"), std::string::npos);
    EXPECT_NE(out.find("OSD_LoadBMP error!\n"), std::string::npos);
    EXPECT_EQ(logo.stride, 6u);  // the default format is 16-bit
}

TEST_F(Loader, SurfacesTakeTheirOwnFormatAndCapacity) {
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm bmp3:p24.bmp"));
    std::vector<std::uint8_t> mem(40, 0);
    OSD_SURFACE_S s{OSD_COLOR_FMT_RGB565, 0x1000, mem.data(), 12, 0, 0, 0};
    testing::internal::CaptureStdout();
    EXPECT_EQ(CreateSurfaceByBitMap(path("p24.bmp").c_str(), &s, mem.data()), 0);
    EXPECT_EQ(s.u16Width, 3);
    EXPECT_EQ(s.u16Height, 2);
    EXPECT_EQ(s.u16Stride, 6);
    EXPECT_EQ(mem[0] | mem[1] << 8, 0x1106);
    s.u32Size = 11;
    EXPECT_EQ(CreateSurfaceByBitMap(path("p24.bmp").c_str(), &s, mem.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "bitmap bigger than the buffer!\nload bmp error!\n");
}

TEST_F(Loader, TruncatedAndHostileFilesNeverReachPastTheirBuffers) {
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm bmp3:p24.bmp"));
    const std::vector<std::uint8_t> good = bytes("p24.bmp");
    // One byte short of the capacity the picture needs: refused, nothing written.
    Result r = load("p24.bmp", OSD_COLOR_FMT_RGB8888, 23);
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.out, "bitmap bigger than the buffer!\n");
    EXPECT_EQ(r.buf[0], 0xA5);

    // Every cut: headers cut are not bitmaps, pixel data cut is a short read.
    for (std::size_t n = 0; n < good.size(); ++n) {
        put("cut.bmp", std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
        r = load("cut.bmp", OSD_COLOR_FMT_RGB8888);
        EXPECT_EQ(r.rc, -1) << n;
        EXPECT_EQ(r.out.rfind(n < 58 ? "not bitmap file" : "fread error!", 0), 0u) << n << ": " << r.out;
    }
    // A short read names its line and the system's error, which an end of
    // file leaves at none.
    put("cut.bmp", std::vector<std::uint8_t>(good.begin(), good.end() - 1));
    r = load("cut.bmp", OSD_COLOR_FMT_RGB8888);
    const std::string tail = std::string("\n") + std::strerror(0) + "\n";
    ASSERT_EQ(r.out.rfind("fread error!line:", 0), 0u) << r.out;
    const int line = std::atoi(r.out.c_str() + 17);
    EXPECT_GT(line, 0);
    EXPECT_EQ(r.out, "fread error!line:" + std::to_string(line) + tail);
    auto patched = [&](std::size_t at, std::uint32_t v, std::size_t at2 = 0, std::uint32_t v2 = 0) {
        std::vector<std::uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        for (int i = 0; at2 && i < 4; ++i) b[at2 + i] = static_cast<std::uint8_t>(v2 >> (8 * i));
        put("bad.bmp", b);
        return load("bad.bmp", OSD_COLOR_FMT_RGB8888, 1u << 20);
    };
    // Sizes whose products overflow 32 bits (65536 x 65537 x 4 wraps to 2^18,
    // less than the buffer) or come near 2^64: refused before any allocation.
    const std::string too_big = "bitmap bigger than the buffer!\n";
    EXPECT_EQ(patched(18, 65536, 22, 65537).out, too_big);
    EXPECT_EQ(patched(18, 0x7FFFFFFF, 22, 0x7FFFFFFF).out, too_big);
    EXPECT_EQ(patched(18, 0x80000000u).out, "bitmap size invalid!\n");     // negative width
    EXPECT_EQ(patched(22, 0xFFFFFFFEu).out, "bmpInfo.bmiHeader.biHeight < 0\n");
    EXPECT_EQ(patched(10, 0xFFFFFF00u).out.rfind("fread error!", 0), 0u);  // data beyond the end
    EXPECT_EQ(patched(14, 12).out, "bitmap format not supported!\n");      // an OS/2 header
}

TEST_F(Loader, MutatedFilesAreHandledSafely) {
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm bmp3:p24.bmp"));
    ASSERT_TRUE(tool("ffmpeg -loglevel error -y -i in.ppm -pix_fmt rgb555le -c:v bmp p16.bmp"));
    ASSERT_TRUE(tool("convert-im6.q16 in.ppm -alpha set -define bmp3:alpha=true bmp3:p32.bmp"));
    const std::vector<std::vector<std::uint8_t>> seeds{bytes("p24.bmp"), bytes("p16.bmp"), bytes("p32.bmp")};
    testing::internal::CaptureStdout();
    mutate_and_run(fuzz_loadbmp, seeds, 3000, 7);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("fread error!"), std::string::npos);  // the loop reached the pixel data
}

}  // namespace
