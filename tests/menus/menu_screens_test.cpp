// Every page in the three languages, walked with the keys as a user would,
// compared with reference screens; and, independently of them, where the
// texts and highlights lie by the font's metrics.
#include <gtest/gtest.h>

#include <map>

#include "dsp/dsp_caidan.h"
#include "gui/GUI.h"
#include "tests/menus/menu_run.h"
#include "tests/screen_compare.h"

namespace {
using namespace menu_run;

const char* const kPages[] = {"main",  "code",  "picture", "date", "disk",    "record",
                              "installer", "blind", "range", "car", "lang", "factory", "test"};
const char* const kLanguages[] = {"zh", "en", "ft"};  // flagy 0, 1, 2

// One run per language walks every page and takes a screenshot of each.
std::string walk() {
    Script s;
    s.text << "speed 1000\nsettings settings.dat\nrtc 2024-05-06 07:08:09 1\ndisk usb 2000\n";
    s.key(OK);   // the front view
    s.ir("ok");  // the main menu
    s.shot("main");
    s.key(OK);
    s.keys({UP, DOWN, LEFT});  // three digits of a code
    s.shot("code");
    s.key(EXIT);
    s.keys({DOWN, OK, DOWN, DOWN});  // picture settings, third item
    s.shot("picture");
    s.keys({EXIT, DOWN, DOWN, OK, DOWN, OK});  // record settings, then the date page
    s.shot("date");
    s.keys({EXIT, DOWN, DOWN, DOWN, OK});  // the disk page
    s.shot("disk");
    s.key(EXIT);  // back to the record settings, on the parking-record item
    s.shot("record");
    s.keys({EXIT, UP, UP, UP, OK, OK, DOWN, LEFT, UP, RIGHT, UP});  // the installer's code
    s.shot("installer");
    s.keys({DOWN, OK, RIGHT});  // blind zones, the front one a row longer
    s.shot("blind");
    s.keys({EXIT, DOWN, OK, DOWN});  // view range, the back view
    s.shot("range");
    s.keys({EXIT, DOWN, OK, DOWN, DOWN});  // car settings, the length
    s.shot("car");
    s.keys({EXIT, DOWN, OK});  // language
    s.shot("lang");
    s.keys({EXIT, DOWN, OK, DOWN});  // factory settings, on OK
    s.shot("factory");
    s.keys({EXIT, UP, UP, UP, UP, UP, OK, 8, DOWN});  // calibration, then the service page
    s.shot("test");
    return s.end();
}

class MenuScreens : public ::testing::Test {
protected:
    static inline std::map<std::string, std::map<std::string, host::Picture>> shots;
    static void SetUpTestSuite() {
        for (int flagy = 0; flagy < 3; ++flagy) {
            TempDir tmp;
            write_settings(tmp.path / "settings.dat", settings(static_cast<std::uint16_t>(flagy)));
            ASSERT_TRUE(run(tmp.path, walk()));
            for (const char* page : kPages) shots[kLanguages[flagy]][page] = screen(tmp.path / "out", page);
        }
    }
};

TEST_F(MenuScreens, EveryPageInEveryLanguageLooksAsReviewed) {
    for (const char* lang : kLanguages)
        for (const char* page : kPages) {
            SCOPED_TRACE(std::string(lang) + " " + page);
            const host::Picture& p = shots[lang][page];
            ASSERT_EQ(p.argb.size(), 800u * 480u);
            expect_like_reference(std::string("menu-") + lang + "-" + page, p.argb);
        }
}

// A text drawn at (x, y): highlighted ones are a solid box.
struct Item {
    int x, y;
    const char* text;
    bool highlighted;
};

// The panel (columns 308 on) holds ink only inside the items' boxes; a
// highlighted item's box is exactly its text's width by 24 rows, white with
// black glyphs; every other item has white ink inside its box.
void expect_items(const host::Picture& p, const std::vector<Item>& items) {
    auto inside = [&](int x, int y) {
        for (const Item& it : items)
            if (x >= it.x && x < it.x + text_width(it.text) && y >= it.y && y < it.y + 24) return true;
        return false;
    };
    int stray = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 308; x < 800; ++x)
            if (!black(p.argb[y * 800 + x]) && !inside(x, y)) ++stray;
    EXPECT_EQ(stray, 0) << "ink outside the texts' boxes";
    for (const Item& it : items) {
        const int w = text_width(it.text);
        int white = 0, other = 0, x0 = 800, x1 = -1, y0 = 480, y1 = -1;
        for (int y = it.y; y < it.y + 24; ++y)
            for (int x = it.x; x < it.x + w; ++x) {
                const std::uint32_t px = p.argb[y * 800 + x] & 0xFFFFFF;
                if (px == 0xFFFFFF) {
                    ++white;
                    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                } else if (px != 0) {
                    ++other;
                }
            }
        SCOPED_TRACE(std::string("item at row ") + std::to_string(it.y) + ", column " + std::to_string(it.x));
        EXPECT_EQ(other, 0);  // white on black or black on white only
        if (it.highlighted) {
            EXPECT_GT(white, w * 24 / 2);
            EXPECT_EQ(x0, it.x);
            EXPECT_EQ(x1, it.x + w - 1);
            EXPECT_EQ(y0, it.y);
            EXPECT_EQ(y1, it.y + 23);
            // Its corners are white, and every row and column of it holds white.
            for (int y : {it.y, it.y + 23})
                for (int x : {it.x, it.x + w - 1}) EXPECT_EQ(p.argb[y * 800 + x] & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
            for (int y = it.y; y < it.y + 24; ++y) {
                int n = 0;
                for (int x = it.x; x < it.x + w; ++x) n += (p.argb[y * 800 + x] & 0xFFFFFF) == 0xFFFFFF;
                EXPECT_GT(n, 0) << "row " << y;
            }
        } else {
            EXPECT_GT(white, 20);
            EXPECT_LT(white, w * 24 * 2 / 3);  // a bold capital fills half its box
        }
    }
}

TEST_F(MenuScreens, TheFontsMetricsAreTheOnesTheBoxesAreMeasuredWith) {
    GUI_Init();
    EXPECT_EQ(GUI_GetStringDistX("Engineering Mode"), 16 * 14);
    EXPECT_EQ(GUI_GetStringDistX(gcms_zh), 4 * 24);
    EXPECT_EQ(GUI_GetStringDistX("U"), 14);
    EXPECT_EQ(GUI_GetFont()->YSize, 24);
}

TEST_F(MenuScreens, TheEnglishMainMenuHighlightsItsFirstItemAtItsPlace) {
    // Labels at column 308 + 40 (the panel of the bird's-eye view on the left).
    expect_items(shots["en"]["main"], {{348, 100, gcms_en, true},
                                       {348, 150, xtsz_en, false},
                                       {348, 200, gjjdgl_en, false},
                                       {348, 250, lxgn_en, false}});
}

TEST_F(MenuScreens, TheChinesePicturePageHighlightsLabelAndValueOfTheThirdItem) {
    const Flash_param p = settings(0);
    // The scene's settings: brighter, no turn-signal trigger, 15 s reverse
    // delay, middle view range, bird's-eye view on the left.
    ASSERT_EQ(p.im_param.bright, 3);
    ASSERT_EQ(p.im_param.turn_time, 0);
    ASSERT_EQ(p.im_param.back_time, 2);
    ASSERT_EQ(p.im_param.view_range, 1);
    ASSERT_EQ(p.im_param.pos, 0);
    expect_items(shots["zh"]["picture"], {{348, 50, txld_zh, false},
                                          {608, 50, shaoliang_zh, false},
                                          {348, 100, zxdqd_zh, false},
                                          {608, 100, gb_zh, false},
                                          {348, 150, dcys_zh, true},
                                          {608, 150, "15", true},
                                          {638, 150, miao_zh, true},
                                          {348, 200, qjksfw_zh, false},
                                          {608, 200, zhong_zh, false},
                                          {348, 250, qjtwz_zh, false},
                                          {608, 250, zc_zh, false},
                                          {348, 300, bcsztc_zh, false}});
}

TEST_F(MenuScreens, TheAccessCodeShowsOneStarPerDigit) {
    expect_items(shots["en"]["code"], {{348, 150, qsrmm_en, false},
                                       {348, 200, "*", false},
                                       {373, 200, "*", false},
                                       {398, 200, "*", false},
                                       {423, 200, "-", false},
                                       {448, 200, "-", false},
                                       {473, 200, "-", false}});
}

TEST_F(MenuScreens, TheInstallerMenuListsItsSevenEntriesAndTheVersionLine) {
    // The simulated microcontroller reports firmware 18.
    expect_items(shots["en"]["installer"], {{348, 50, bdsxt_en, true},
                                            {348, 100, tzmqcd_en, false},
                                            {348, 150, tzstfw_en, false},
                                            {348, 200, gjcssz_en, false},
                                            {348, 250, yysz_en, false},
                                            {348, 300, hfcczt_en, false},
                                            {348, 350, xtsj_en, false},
                                            {348, 400, "VERSION", false},
                                            {508, 400, "g", false},
                                            {522, 400, "82", false},
                                            {556, 400, "-", false},
                                            {578, 400, "18", false},
                                            {612, 400, "B", false}});
}

TEST_F(MenuScreens, TheCarPageHighlightsTheLengthButNotItsUnit) {
    // Values at 308 + 280, units at 308 + 360; the scene's car is 4600 by 1900 mm.
    expect_items(shots["zh"]["car"], {{348, 100, cxi_zh, false},
                                      {588, 100, "0", false},
                                      {348, 150, cxing_zh, false},
                                      {588, 150, "0", false},
                                      {348, 200, cscd_zh, true},
                                      {588, 200, "4600", true},
                                      {668, 200, "mm", false},
                                      {348, 250, cskd_zh, false},
                                      {588, 250, "1900", false},
                                      {668, 250, "mm", false},
                                      {348, 300, csmx_zh, false},
                                      {588, 300, "\301\275\317\341\263\265 1", false},  // hatchback 1
                                      {348, 350, bcsztc_zh, false}});
}

TEST_F(MenuScreens, TheServicePageKeepsItsChineseLabelsButNamesTheCarSettingsInTheLanguage) {
    expect_items(shots["en"]["test"], {{348, 50, "VERSION", false},
                                       {508, 50, "82", false},
                                       {542, 50, "-", false},
                                       {564, 50, "18", false},
                                       {348, 150, "\262\342\312\324\304\243\312\275", false},  // test mode
                                       {348, 200, gjcssz_en, true},
                                       {608, 200, "0", true},
                                       {608, 250, "0", false},
                                       {348, 300, "\271\354\274\243\304\243\312\275", false},  // guide-line mode
                                       {608, 300, "0", false},
                                       {348, 350, yysz_zh, false},
                                       {608, 350, "1", false},
                                       {348, 400, bcsztc_zh, false}});
}

}  // namespace
