// The menu pages: each clears the single-view panel of a display table and
// writes its labels and values there. They only draw; the menu states of the
// main loop decide what is highlighted and what a key does.
#include <cstdio>

#include "common/ds1337.h"
#include "dsp/dsp_caidan.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "dsp/dsp_yuyan.h"
#include "gui/GUI.h"
#include "vio/vio.h"

namespace {

constexpr int kLabel = 40;   // labels, from the panel's left column
constexpr int kValue = 300;  // values

// The library writes into the current table: point it at the page's table
// for the one text, so a page lands where its caller asked.
class IntoTable {
public:
    IntoTable(Image_table* t, int flag) : saved_(table) {
        if (t) table = t;
        table_or_image = 0;
        GUI_AA_SetFactor(4);
        GUI_SetTextMode(flag ? GUI_TEXTMODE_REV : GUI_TEXTMODE_NORMAL);
    }
    ~IntoTable() {
        GUI_SetTextMode(GUI_TEXTMODE_NORMAL);
        table = saved_;
    }
    IntoTable(const IntoTable&) = delete;
    IntoTable& operator=(const IntoTable&) = delete;

private:
    Image_table* saved_;
};

int label_x() { return BVIEW_Left + kLabel; }
int value_x() { return BVIEW_Left + kValue; }

// A number of seconds followed by the unit 30 columns further right.
void seconds(Image_table* table, int pos_y, int pos_x, int n, int flag) {
    mt_num(table, pos_y, pos_x, n, flag);
    mt_cd(table, pos_y, pos_x + 30, miao, flag);
}

}  // namespace

void mt_cd(Image_table* table, int pos_y, int pos_x, const char* pstring, int flag) {
    if (!pstring) return;
    IntoTable into(table, flag);
    GUI_DispStringAt(pstring, pos_x, pos_y);
}

void mt_num(Image_table* table, int pos_y, int pos_x, long num, int flag) {
    IntoTable into(table, flag);
    GUI_GotoXY(pos_x, pos_y);
    GUI_DispDecMin(static_cast<I32>(num));
}

void mt_zf(Image_table* table, int pos_y, int pos_x, char zifu, int flag) {
    IntoTable into(table, flag);
    GUI_DispCharAt(static_cast<unsigned char>(zifu), static_cast<I16>(pos_x), static_cast<I16>(pos_y));
}

void mt_ld(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    const char* t = value == 0 ? an : value == 1 ? shaoan : value == 3 ? shaoliang : value == 4 ? liang : zhong;
    mt_cd(table, pos_y, pos_x, t, flag);
}

void mt_kg(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    mt_cd(table, pos_y, pos_x, value == 1 ? kq : gb, flag);
}

void mt_dx(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    mt_cd(table, pos_y, pos_x, value == 0 ? xiao : value == 2 ? da : zhong, flag);
}

void mt_zy(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    mt_cd(table, pos_y, pos_x, value == 1 ? yc : zc, flag);
}

void mt_sf(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    mt_cd(table, pos_y, pos_x, value == 1 ? shi : fou, flag);
}

void mt_mx(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    // Even codes are hatchbacks, odd ones sedans, numbered in pairs.
    const bool known = value >= 0 && value <= 7;
    const char* kind = known && (value & 1) ? sxc : lxc;
    const int number = known ? value / 2 + 1 : 1;
    char text[64];
    std::snprintf(text, sizeof text, "%s %d", kind, number);
    mt_cd(table, pos_y, pos_x, text, flag);
}

void mt_shijian(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    static constexpr int kSeconds[5] = {0, 10, 15, 20, 30};
    if (value >= 1 && value <= 4) seconds(table, pos_y, pos_x, kSeconds[value], flag);
    else mt_cd(table, pos_y, pos_x, value == 5 ? ck : gb, flag);
}

void mt_shijian2(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    static constexpr int kSeconds[6] = {0, 0, 10, 20, 30, 60};
    if (value >= 2 && value <= 5) seconds(table, pos_y, pos_x, kSeconds[value], flag);
    else mt_cd(table, pos_y, pos_x, value == 0 ? gb : kq, flag);
}

void mt_yy(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    // Each language by its own name, whatever the current one.
    mt_cd(table, pos_y, pos_x, value == 1 ? yz_en : value == 2 ? yz_ft : yz_zh, flag);
}

void mt_pal_ntsc(Image_table* table, int pos_y, int pos_x, int value, int flag) {
    mt_cd(table, pos_y, pos_x, value == 1 ? "PAL" : "NTSC", flag);
}

void MT_choose(Image_table* table, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 100, x, gcms, flag & 1);
    mt_cd(table, 150, x, xtsz, flag & 2);
    mt_cd(table, 200, x, gjjdgl, flag & 4);
    mt_cd(table, 250, x, lxgn, flag & 8);
}

void MT_choose01(Image_table* table, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 150, x, qsrmm, 0);
    for (int i = 0; i < 6; ++i) mt_zf(table, 200, x + 25 * i, i < flag ? '*' : '-', 0);
}

void MT_choose02(Image_table* table, Image_param param, int flag) {
    ct_right(table);
    const int x = label_x(), v = value_x();
    mt_cd(table, 50, x, txld, flag == 1);
    mt_ld(table, 50, v, param.bright, flag == 1);
    mt_cd(table, 100, x, zxdqd, flag == 2);
    mt_shijian2(table, 100, v, param.turn_time, flag == 2);
    mt_cd(table, 150, x, dcys, flag == 3);
    mt_shijian(table, 150, v, param.back_time, flag == 3);
    mt_cd(table, 200, x, qjksfw, flag == 4);
    mt_dx(table, 200, v, param.view_range, flag == 4);
    mt_cd(table, 250, x, qjtwz, flag == 5);
    mt_zy(table, 250, v, param.pos, flag == 5);
    mt_cd(table, 300, x, bcsztc, flag == 6);
}

void MT_choose03(Image_table* table, Image_param param, int flag) {
    ct_right(table);
    const int x = label_x(), v = value_x();
    mt_cd(table, 100, x, sslx, flag & 1);
    mt_cd(table, 150, x, sjsz, flag & 2);
    mt_cd(table, 200, x, lxgn, flag & 4);
    mt_kg(table, 200, v, param.record, flag & 4);
    mt_cd(table, 250, x, tclx, flag & 8);
    mt_num(table, 250, v, parking_time, flag & 8);
    mt_cd(table, 250, v + 30, xiaos, flag & 8);
    mt_cd(table, 300, x, cpgsh, flag & 16);
}

void MT_choose032(Image_table* table, const rtc_time* p_time, int flag) {
    ct_right(table);
    const int x = label_x();
    const std::uint32_t fields[6] = {p_time->year, p_time->month, p_time->date,
                                     p_time->hour, p_time->minute, p_time->second};
    const char* units[6] = {nian, yue, ri, shizhong, fenzhong, miaozhong};
    for (int i = 0; i < 6; ++i) {
        const int on = flag & (1 << i);
        mt_num(table, 100 + 50 * i, x, static_cast<long>(fields[i]), on);
        mt_cd(table, 100 + 50 * i, x + 160, units[i], on);
    }
    mt_cd(table, 400, x, bcsztc, flag & 64);
}

void MT_choose033(Image_table* table, const Usb_info* pusbinfo, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 150, x, cpgsh, 0);
    mt_cd(table, 250, x, quxiao, flag & 1);
    mt_cd(table, 300, x, queding, flag & 2);
    char text[48];
    std::snprintf(text, sizeof text, "Free Space: %ld MB", static_cast<long>(pusbinfo->free_mb));
    mt_cd(table, 360, x, text, 0);
    std::snprintf(text, sizeof text, "Total Space: %ld MB", static_cast<long>(pusbinfo->total_mb));
    mt_cd(table, 400, x, text, 0);
}

void MT_choose011(Image_table* table, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 50, x, bdsxt, flag & 1);
    mt_cd(table, 100, x, tzmqcd, flag & 2);
    mt_cd(table, 150, x, tzstfw, flag & 4);
    mt_cd(table, 200, x, gjcssz, flag & 8);
    mt_cd(table, 250, x, yysz, flag & 16);
    mt_cd(table, 300, x, hfcczt, flag & 32);
    mt_cd(table, 350, x, xtsj, flag & 64);
    // The version line: software "g82-" and the microcontroller's number.
    mt_cd(table, 400, x, "VERSION", 0);
    mt_zf(table, 400, BVIEW_Left + 200, 'g', 0);
    mt_cd(table, 400, BVIEW_Left + 214, "82", 0);
    mt_zf(table, 400, BVIEW_Left + 248, '-', 0);
    mt_num(table, 400, BVIEW_Left + 270, pic_ver, 0);
    mt_zf(table, 400, BVIEW_Left + 304, 'B', 0);
}

void MT_choose0112(Image_table* table, Image_param param, int flag) {
    ct_right(table);
    const int x = label_x(), v = value_x();
    mt_cd(table, 100, x, qmqcd, flag & 1);
    mt_num(table, 100, v, param.fblank, flag & 1);
    mt_cd(table, 150, x, hmqcd, flag & 2);
    mt_num(table, 150, v, param.bblank, flag & 2);
    mt_cd(table, 200, x, xsmq, flag & 4);
    mt_sf(table, 200, v, param.show_blank, flag & 4);
    mt_cd(table, 250, x, bcsztc, flag & 8);
}

void MT_choose0113(Image_table* table, Flash_param param, int flag) {
    ct_right(table);
    const int x = label_x(), v = BVIEW_Left + 280, unit = BVIEW_Left + 360;
    const Car_num& car = param.car_num;
    mt_cd(table, 100, x, cxi, flag & 1);
    mt_num(table, 100, v, car.gj_kind, flag & 1);
    mt_cd(table, 150, x, cxing, flag & 2);
    mt_num(table, 150, v, car.gj_index, flag & 2);
    mt_cd(table, 200, x, cscd, flag & 4);
    mt_num(table, 200, v, car.length, flag & 4);
    mt_cd(table, 200, unit, haomi, 0);
    mt_cd(table, 250, x, cskd, flag & 8);
    mt_num(table, 250, v, car.car_lev, flag & 8);
    mt_cd(table, 250, unit, haomi, 0);
    mt_cd(table, 300, x, csmx, flag & 16);
    mt_mx(table, 300, v, param.im_param.suv, flag & 16);
    mt_cd(table, 350, x, bcsztc, flag & 32);
}

void MT_choose0114(Image_table* table, Car_num param, int flag) {
    ct_right(table);
    mt_cd(table, 150, label_x(), yysz, flag & 1);
    mt_yy(table, 150, value_x(), param.flagy, flag & 1);
    mt_cd(table, 200, label_x(), bcsztc, flag & 2);
}

void MT_choose0115(Image_table* table, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 150, x, hfcczt, 0);
    mt_cd(table, 250, x, quxiao, flag & 1);
    mt_cd(table, 300, x, queding, flag & 2);
}

void MT_choose0116(Image_table* table, int flag) {
    ct_right(table);
    mt_cd(table, 100, label_x(), tzqsfw, flag & 1);
    mt_cd(table, 150, label_x(), tzhsfw, flag & 2);
}

void MT_choose01161(Image_table* table) {
    ct_right(table);
    mt_front2(table);
}

void MT_choose01162(Image_table* table) {
    ct_right(table);
    mt_back2(table);
}

void MT_set(Image_table* table, Car_num num, int flag) {
    // The service page's labels are Simplified Chinese whatever the language,
    // but for the car settings entry.
    static constexpr char kTestMode[] = "\262\342\312\324\304\243\312\275";   // test mode
    static constexpr char kTrackMode[] = "\271\354\274\243\304\243\312\275";  // guide-line mode
    ct_right(table);
    const int x = label_x(), v = value_x();
    mt_cd(table, 50, x, "VERSION", 0);
    mt_cd(table, 50, BVIEW_Left + 200, "82", 0);
    mt_zf(table, 50, BVIEW_Left + 234, '-', 0);
    mt_num(table, 50, BVIEW_Left + 256, pic_ver, 0);
    mt_cd(table, 150, x, kTestMode, flag & 1);
    mt_cd(table, 200, x, gjcssz, flag & 2);
    mt_num(table, 200, v, num.gj_kind, flag & 2);
    mt_num(table, 250, v, num.gj_index, flag & 4);
    mt_cd(table, 300, x, kTrackMode, flag & 8);
    mt_num(table, 300, v, num.mode, flag & 8);
    mt_cd(table, 350, x, yysz_zh, flag & 16);
    mt_num(table, 350, v, num.flagy, flag & 16);
    mt_cd(table, 400, x, bcsztc_zh, flag & 32);
}

void MT_choose031(Image_table* table, const File_all* files, int flag, int opt) {
    init_table(table);
    if (!files || files->file_num == 0 || flag < 1) return;
    constexpr int kPerPage = 13;
    const int first = (flag - 1) / kPerPage * kPerPage + 1;
    for (int k = 0; k < kPerPage && first + k <= files->file_num; ++k) {
        const char* name = files->pname[first + k - 1];
        const int y = 50 + 30 * k;
        const bool chosen = first + k == flag;
        mt_cd(table, y, 50, name, chosen);
        mt_cd(table, y, 400, bofang, chosen && opt == 0);
        mt_cd(table, y, 500, shanchu, chosen && opt == 1);
        mt_cd(table, y, 600, name[0] == '@' ? jiesuo : suoding, chosen && opt == 2);
    }
}

void MT_choose0117(Image_table* table, const File_all* files, int flag) {
    ct_right(table);
    const int x = label_x();
    mt_cd(table, 50, x, xtsj, 0);
    if (!files || files->file_num == 0 || flag < 1) return;
    constexpr int kPerPage = 10;
    const int first = (flag - 1) / kPerPage * kPerPage + 1;
    for (int k = 0; k < kPerPage && first + k <= files->file_num; ++k)
        mt_cd(table, 100 + 30 * k, x, files->pname[first + k - 1], first + k == flag);
}

void MT_load(Image_table* table, const File_all* files, int flag, int opt) {
    init_table(table);
    mt_cd(table, 50, 100, dccswj, flag == 0);
    if (!files || files->file_num == 0) return;
    constexpr int kPerPage = 10;
    const int first = flag < 1 ? 1 : (flag - 1) / kPerPage * kPerPage + 1;
    for (int k = 0; k < kPerPage && first + k <= files->file_num; ++k) {
        const int y = 100 + 30 * k;
        const bool chosen = first + k == flag;
        mt_cd(table, y, 100, files->pname[first + k - 1], chosen);
        mt_cd(table, y, 400, daoru, chosen && opt == 0);
        mt_cd(table, y, 500, shanchu, chosen && opt == 1);
    }
}
