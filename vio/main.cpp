// Start-up, the recording time stamp and the one-second tick.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "common/ds1337.h"
#include "common/prt.h"
#include "common/sample_comm.h"
#include "dsp/dsp_upgrade.h"
#include "gui/GUI.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "vio/app.h"
#include "vio/vio.h"

RGN_HANDLE OverlayExHandle = 0;
BITMAP_S stBittime = {};
std::atomic<int> delay_time{0};
std::atomic<int> record_time{0};
std::thread gs_ShowPid;

namespace {

constexpr HI_U32 kBitmapBytes = 288 * 26 * 2;
// The time stamp is drawn only once its region and bitmap exist.
std::atomic<bool> g_stamp_ready{false};

}  // namespace

void count_down(std::atomic<int>& counter) {
    int v = counter.load();
    while (v > 0 && !counter.compare_exchange_weak(v, v - 1)) {
    }
}

int int_RGN(RGN_HANDLE handle) {
    RGN_ATTR_S attr{};
    attr.enType = OVERLAY_RGN;
    attr.stOverlay.enPixelFmt = PIXEL_FORMAT_RGB_1555;
    attr.stOverlay.u32BgColor = 0;
    attr.stOverlay.stSize = {288, 24};
    HI_S32 r = HI_MPI_RGN_Create(handle, &attr);
    if (r != HI_SUCCESS) {
        prt("int_RGN", __LINE__, "HI_MPI_RGN_Create failed with %#x!\n", static_cast<unsigned>(r));
        return -1;
    }
    RGN_CHN_ATTR_S chn{};
    chn.bShow = HI_TRUE;
    chn.enType = OVERLAY_RGN;
    chn.stOverlayChn.stPoint = {960, 32};
    chn.stOverlayChn.u32FgAlpha = 128;
    chn.stOverlayChn.u32BgAlpha = 0;
    chn.stOverlayChn.u32Layer = 1;
    for (HI_S32 group = 0; group < 4; ++group) {
        const MPP_CHN_S target{HI_ID_GROUP, group, 0};
        r = HI_MPI_RGN_AttachToChn(handle, &target, &chn);
        if (r != HI_SUCCESS)
            prt("int_RGN", __LINE__, "HI_MPI_RGN_AttachToChn failed with %#x!\n", static_cast<unsigned>(r));
    }
    stBittime.enPixelFormat = PIXEL_FORMAT_RGB_1555;
    stBittime.u32Width = 288;
    stBittime.u32Height = 26;
    HI_U32 phys = 0;
    void* data = nullptr;
    if (HI_MPI_SYS_MmzAlloc_Cached(&phys, &data, "time", nullptr, kBitmapBytes) != HI_SUCCESS || !data) {
        prt("int_RGN", __LINE__, "allocate the time stamp failed!\n");
        return -1;
    }
    std::memset(data, 0, kBitmapBytes);
    stBittime.pData = data;
    r = HI_MPI_RGN_SetBitMap(handle, &stBittime);
    if (r != HI_SUCCESS) prt("int_RGN", __LINE__, "HI_MPI_RGN_SetBitMap failed with %#x!\n", static_cast<unsigned>(r));
    g_stamp_ready = true;
    return -1;
}

void set_RGN(int) {
    if (g_stamp_ready) {
        const std::time_t now = clk_time();
        std::tm local{};
        localtime_r(&now, &local);
        char text[64];
        std::strftime(text, sizeof text, "%F %T", &local);
        std::memset(stBittime.pData, 0, kBitmapBytes);
        const std::uint8_t saved = table_or_image;
        const int mode = GUI_GetTextMode();
        table_or_image = 2;
        GUI_SetTextMode(0);
        GUI_DispStringAt(text, 0, 0);
        GUI_SetTextMode(mode);
        table_or_image = saved;
        HI_MPI_RGN_SetBitMap(OverlayExHandle, &stBittime);
    }
    count_down(delay_time);
    count_down(record_time);
}

namespace {

void* tick_proc(void*) {
    // The graphics context is per thread: the tick draws with its own.
    GUI_Init();
    GUI_SetFont(&GUI_FontHZ24x24);
    for (;;) {
        // Tick at each whole second of the board's clock.
        timeval tv{};
        clk_gettimeofday(&tv);
        clk_usleep(static_cast<unsigned>(1000000 - tv.tv_usec));
        set_RGN(SIGALRM);
    }
}

}  // namespace

void init_timer() { start_worker(tick_proc, nullptr).detach(); }

int app_main(int, char*[]) {
    GUI_Init();
    GUI_SetFont(&GUI_FontHZ24x24);

    rtc_time t{};
    rtc_get(&t);
    set_system_time_from(&t);

    sys_init_AHD();
    VpssStart();
    init_venc();

    int_RGN(OverlayExHandle);
    init_timer();
    gs_ShowPid = start_worker(Check_Space_Proc, nullptr);
    gs_ShowPid.detach();

    QX_SHOW_PIC();
    clk_sleep(10);
    return sh_reboot();
}
