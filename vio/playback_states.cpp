// The recording list (18) and playback (21).
#include <algorithm>
#include <cstdio>
#include <string>

#include "common/sample_comm_vdec.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "platform/clock.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

double play_rate = 1.0;
std::uint8_t stop_play = 0;
std::uint8_t play_or_delete = 0;

namespace {

constexpr VO_DEV kHdDevice = 0;
constexpr int kPerPage = 13;

void list_page() { MT_choose031(table1, ph264_file, choos, play_or_delete); }

// The list read again after a change on the disk; the highlight stays on the
// file named `follow` when it is listed, else on its row, or moves to the new
// last file.
void reread_list(const std::string& follow = {}) {
    get_filename(ph264_file);
    choos = std::min<std::uint16_t>(choos, ph264_file->file_num);
    for (std::uint16_t i = 0; i < ph264_file->file_num && !follow.empty(); ++i)
        if (follow == ph264_file->pname[i]) choos = static_cast<std::uint16_t>(i + 1);
    list_page();
}

void set_rate() { HI_MPI_VO_SetChnFrameRate(kHdDevice, 0, static_cast<HI_S32>(play_rate * 12)); }

void leave_playback(std::uint8_t& status) {
    SAMPLE_VDEC_Stop(1, kHdDevice);
    table = table0;
    enter_record_page(status, 1);
}

}  // namespace

void enter_recording_list(std::uint8_t& status) {
    get_filename(ph264_file);
    table = table1;
    choos = 1;
    play_or_delete = 0;
    list_page();
    status = 18;
}

void stop_playback() { SAMPLE_VDEC_Stop(1, kHdDevice); }

void recording_list_state(std::uint8_t& status, const PassInfo& p) {
    const std::uint16_t n = ph264_file->file_num;
    switch (p.key) {
    case KEY_DOWN:
        if (choos < n) ++choos;
        break;
    case KEY_UP:
        if (choos > 1) --choos;
        break;
    case 154:
        choos = static_cast<std::uint16_t>(std::min<int>(choos + kPerPage, n));
        break;
    case 155:
        choos = static_cast<std::uint16_t>(std::max<int>(choos - kPerPage, 1));
        break;
    case KEY_RIGHT:
        if (play_or_delete < 2) ++play_or_delete;
        break;
    case KEY_LEFT:
        if (play_or_delete > 0) --play_or_delete;
        break;
    case KEY_OK: {
        if (n == 0 || choos < 1 || choos > n) return;
        const char* name = ph264_file->pname[choos - 1];
        if (play_or_delete == 0) {
            char path[64];
            std::snprintf(path, sizeof path, "%s/%s", kMountPoint, name);
            hide_table(table1);  // the video layer shows through
            stop_play = 0;
            play_rate = 1.0;
            if (SAMPLE_VDEC_Process(PIC_HD720, PT_H264, 1, kHdDevice, path) != HI_SUCCESS) {
                list_page();  // nothing to show: the list stays
                return;
            }
            set_rate();
            status = 21;
            return;
        }
        if (play_or_delete == 1) {
            delete_file(name);
            reread_list();
            return;
        }
        // A locked or unlocked file moves in the list: the highlight goes with it.
        const std::string chosen = name;
        reread_list(change_file(name) == 0 ? locked_name(chosen.c_str()) : chosen);
        return;
    }
    case KEY_EXIT:
        table = table0;
        enter_record_page(status, 1);
        return;
    default: return;
    }
    list_page();
}

void playback_state(std::uint8_t& status, const PassInfo& p) {
    if (mount_ok == 0) {  // the disk is gone
        leave_playback(status);
        return;
    }
    switch (p.key) {
    case KEY_UP:
        if (play_rate < 4.0) play_rate *= 2;
        set_rate();
        break;
    case KEY_DOWN:
        if (play_rate > 0.5) play_rate /= 2;
        set_rate();
        break;
    case KEY_OK:
        if (stop_play == 0) {
            stop_play = 1;
            HI_MPI_VO_ChnPause(kHdDevice, 0);
        } else {
            stop_play = 0;
            HI_MPI_VO_ChnResume(kHdDevice, 0);
        }
        break;
    case KEY_RIGHT:
        if (stop_play == 1) HI_MPI_VO_ChnStep(kHdDevice, 0);
        break;
    case KEY_EXIT:
        SAMPLE_VDEC_Stop(1, kHdDevice);
        list_page();
        status = 18;
        return;
    default: break;
    }
    draw_play_status(percent, play_rate);
    clk_usleep(100000);
}
