// The main loop: buffers, settings, outputs and camera solves before the
// loop; every pass the vehicle state, one key, the camera frames, the
// composed picture, the overlays, the state handler and the display refresh.
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include "common/prt.h"
#include "common/sample_comm.h"
#include "dsp/dsp_biaoding.h"
#include "dsp/dsp_cars.h"
#include "dsp/dsp_control.h"
#include "dsp/dsp_gaus.h"
#include "dsp/dsp_image.h"
#include "dsp/dsp_process.h"
#include "dsp/dsp_tubiao.h"
#include "dsp/dsp_upgrade.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/hifb.h"
#include "platform/mpi.h"
#include "vio/frames.h"
#include "vio/settings.h"
#include "dsp/dsp_yuyan.h"
#include "vio/vio_states.h"
#include "vio/menu_states.h"
#include "vio/vio.h"

Image_table* table = nullptr;
Image_table *table0 = nullptr, *table1 = nullptr, *table2 = nullptr, *table3 = nullptr;
Image_table *tablel = nullptr, *tabler = nullptr, *tablelr = nullptr, *tablelr2 = nullptr;
std::uint32_t* pBuf1 = nullptr;
std::uint32_t* ptable_YUV2RGB = nullptr;
constinit thread_local std::uint8_t table_or_image = 0;

int BVIEW_Left = 308, RVIEW_Left = 326, FULLVIEW_Left = 16;
std::uint16_t FRONTBLANK = 0, BACKBLANK = 0;

void set_blind_zones(std::uint16_t fblank, std::uint16_t bblank) {
    // A long car with a large blind zone overflows 32 bits.
    const std::int64_t span = param_car.LL + FVLEN + BVLEN;
    FRONTBLANK = static_cast<std::uint16_t>(span * fblank / 456 + 150);
    BACKBLANK = static_cast<std::uint16_t>(span * bblank / 456 + 150);
}

std::atomic<int> record_on{0};
std::atomic<std::uint8_t> record_stop{0};
std::atomic<int> mount_ok{0};
std::atomic<std::uint8_t> disk_full{0};
std::atomic<std::uint8_t> disk_error{0};
std::atomic<int> checkusb_stop{0};
std::atomic<std::uint8_t> record_setting{0};
File_all* ph264_file = nullptr;

namespace {

bool alloc(const char* name, HI_U32 size, bool cached, HI_U32* phys, void** virt) {
    const HI_S32 r = cached ? HI_MPI_SYS_MmzAlloc_Cached(phys, virt, name, nullptr, size)
                            : HI_MPI_SYS_MmzAlloc(phys, virt, name, nullptr, size);
    if (r != HI_SUCCESS || !*virt) {
        prt("QX_SHOW_PIC", __LINE__, "allocate %s (%u bytes) failed with %#x\n", name, size, static_cast<unsigned>(r));
        return false;
    }
    return true;
}

template <typename T>
bool alloc_as(const char* name, HI_U32 size, bool cached, T*& out, HI_U32* phys_out = nullptr) {
    HI_U32 phys = 0;
    void* virt = nullptr;
    if (!alloc(name, size, cached, &phys, &virt)) return false;
    out = static_cast<T*>(virt);
    if (phys_out) *phys_out = phys;
    return true;
}

// The framebuffer set-up; false (after closing it where the failure says so)
// on a failure that ends the loop.
bool fb_setup(int& fb) {
    fb = dev_open("/dev/fb0", O_RDWR);
    if (fb < 0) {
        std::printf("open fb0 failed!\n");
        return false;
    }
    HIFB_POINT_S origin{stPoint.s32X, stPoint.s32Y};
    if (dev_ioctl(fb, FBIOPUT_SCREEN_ORIGIN_HIFB, &origin) < 0) {
        std::printf("set screen original show position failed!\n");
        return false;
    }
    fb_var_screeninfo var{};
    if (dev_ioctl(fb, FBIOGET_VSCREENINFO, &var) < 0) {
        std::printf("Get variable screen info failed!\n");
        dev_close(fb);
        fb = -1;
        return false;
    }
    var.xres = var_xres;
    var.yres = var_yres;
    var.xres_virtual = var_xres_virtual;
    var.yres_virtual = var_yres_virtual;
    var.bits_per_pixel = 32;
    var.transp = {24, 8, 0};
    var.red = {16, 8, 0};
    var.green = {8, 8, 0};
    var.blue = {0, 8, 0};
    if (dev_ioctl(fb, FBIOPUT_VSCREENINFO, &var) < 0) {
        std::printf("Put variable screen info failed!\n");
        dev_close(fb);
        fb = -1;
        return false;
    }
    HIFB_LAYER_INFO_S layer{};
    HI_S32 r = dev_ioctl(fb, FBIOGET_LAYER_INFO, &layer);
    if (r == 0) {
        layer.BufMode = HIFB_LAYER_BUF_DOUBLE;
        layer.eAntiflickerLevel = HIFB_LAYER_ANTIFLICKER_AUTO;
        layer.u32Mask |= HIFB_LAYERMASK_BUFMODE | HIFB_LAYERMASK_ANTIFLICKER_MODE;
        r = dev_ioctl(fb, FBIOPUT_LAYER_INFO, &layer);
    }
    if (r < 0) {
        std::printf("PUT_LAYER_INFO failed!%x\n", static_cast<unsigned>(r));
        return false;
    }
    HI_BOOL show = HI_TRUE;
    if (dev_ioctl(fb, FBIOPUT_SHOW_HIFB, &show) < 0) {
        std::printf("FBIOPUT_SHOW_HIFB failed!\n");
        return false;
    }
    return true;
}

// A register access on the panel's I2C device for the board codes that
// need one; false when the device cannot be opened.
bool panel_i2c(std::uint8_t code) {
    if (code != 5 && code != 15) return true;
    const int fd = dev_open("/dev/i2c", O_RDWR);
    if (fd < 0) {
        prt("QX_SHOW_PIC", __LINE__, "open gpioi2c failed!\n");
        return false;
    }
    if (code == 5) {
        I2C_DATA_S d{0x58, 0x1D, 1, 0x29, 1};
        dev_ioctl(fd, I2C_WRITE, &d);
    } else {
        I2C_DATA_S d{0xAA, 0x3C, 1, 0, 2};
        dev_ioctl(fd, I2C_READ, &d);
    }
    dev_close(fd);
    return true;
}

// The canvas and the framebuffer it is shown on, for show_canvas.
struct Shown {
    HI_U32 phys = 0;
    void* virt = nullptr;
    HIFB_BUFFER_S* buffer = nullptr;
    const int* fb = nullptr;
};
Shown g_shown;

}  // namespace

void show_canvas() {
    if (!g_shown.virt) return;
    HI_MPI_SYS_MmzFlushCache(g_shown.phys, g_shown.virt, kCanvasBytes);
    if (*g_shown.fb >= 0) dev_ioctl(*g_shown.fb, FBIO_REFRESH, g_shown.buffer);
}

int canvas_fb() { return g_shown.fb ? *g_shown.fb : -1; }
HIFB_BUFFER_S* canvas_buffer() { return g_shown.buffer; }

bool all_cameras_calibrated() {
    return flash_param.flagf == 1 && flash_param.flagb == 1 && flash_param.flagl == 1 && flash_param.flagr == 1;
}

void set_layout(std::uint16_t pos) {
    if (pos != 0) {
        BVIEW_Left = 16;
        RVIEW_Left = 16;
        FULLVIEW_Left = 494;
    } else {
        RVIEW_Left = 326;
        FULLVIEW_Left = 16;
        BVIEW_Left = 308;
    }
}

void apply_car_and_layout() {
    get_car(&flash_param.car_num);
    set_layout(flash_param.im_param.pos);
    set_zuobiao(flash_param);
    set_blind_zones(flash_param.im_param.fblank, flash_param.im_param.bblank);
}

void build_birdseye() {
    mt_fleft(table0);
    mt_fright(table0);
    mt_ftop(table0);
    mt_fbottom(table0);
    mt_car(table0, flash_param.im_param, ptable_YUV2RGB);
}

void Init_table_YUV2RGB(std::uint32_t* out) {
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    auto floordiv = [](int n, int d) { return n >= 0 ? n / d : -((-n + d - 1) / d); };
    for (int y = 0; y < 256; ++y)
        for (int a = 0; a < 128; ++a)
            for (int b = 0; b < 128; ++b) {
                const int r = clamp(y - 180 + floordiv(360 * b, 128));
                const int g = clamp(y + 134 - floordiv(177 * a, 256) - floordiv(367 * b, 256));
                const int bl = clamp(y - 228 + floordiv(455 * a, 128));
                out[(y << 14) | (a << 7) | b] =
                    0xFF000000u | static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
                    static_cast<std::uint32_t>(bl);
            }
}

// A camera's stored marks on the undistorted plane: marks 1-4 and, for the
// front and back cameras, the outer near-row marks 7 and 8.
static Zuobiao undistorted_marks(const Camera_param& cam, bool outer) {
    Zuobiao z{};
    const std::int16_t* m = &cam.pos.y1;
    double* p = &z.y1;
    for (int i = 0; i < 8; ++i)
        if (i < 4 || (outer && i >= 6)) a_jiaozheng(m[2 * i], m[2 * i + 1], &p[2 * i], &p[2 * i + 1], cam.sensor);
    return z;
}

// Camera by camera, front, back, left, right: one whose marks give no
// projection loses its flag and gets the default camera record, in memory only.
void solve_cameras() {
    struct Cam {
        std::int16_t* flag;
        Camera_param* param;
        const Camera_param* fallback;
        const Zuobiao* ground;
        double* xishu;
        La_xs* la;  // the front and back cameras' lateral factors
        void (*lateral)(const Zuobiao*, const Zuobiao*, La_xs*);
    };
    const Cam cams[4] = {
        {&flash_param.flagf, &flash_param.cf_param, &flash_param_default.cf_param, &zuobiao_f, f_xishu, &la_xsf, cul_xs_f},
        {&flash_param.flagb, &flash_param.cb_param, &flash_param_default.cb_param, &zuobiao_b, b_xishu, &la_xsb, cul_xs_b},
        {&flash_param.flagl, &flash_param.cl_param, &flash_param_default.cl_param, &zuobiao_l, l_xishu, nullptr, nullptr},
        {&flash_param.flagr, &flash_param.cr_param, &flash_param_default.cr_param, &zuobiao_r, r_xishu, nullptr, nullptr},
    };
    for (const Cam& c : cams) {
        if (*c.flag != 1) continue;
        const Zuobiao zzz = undistorted_marks(*c.param, c.la != nullptr);
        if (b_jiefcz(c.ground, &zzz, c.xishu) != 0) {
            *c.flag = 0;
            *c.param = *c.fallback;
        }
        if (c.la) c.lateral(&zzz, c.ground, c.la);
    }
}

std::uint8_t get_key() {
    // Without the GPIO device the board code stays 0.
    static std::uint8_t code = 0;
    const int fd = dev_open("/dev/gpioi2c", O_RDONLY);
    if (fd < 0) prt("get_key", __LINE__, "open gpioi2c failed!\n");
    dev_ioctl(fd, GPIO_GET_BOARD_CODE, &code);
    dev_close(fd);
    return code;
}

int QX_SHOW_PIC() {
    // 1. and 2. Buffers and tables.
    if (!alloc_as("ph264_file", sizeof(File_all), false, ph264_file)) return -1;
    if (!alloc_as("YUV2RGB", 16777216, true, ptable_YUV2RGB)) return -1;
    Init_table_YUV2RGB(ptable_YUV2RGB);
    for (Image_table** t : {&table0, &table1, &table2, &table3}) {
        if (!alloc_as("table", kTableBytes, true, *t)) return -1;
        init_table(*t);
    }
    if (!alloc_as("tablel", 5276160, true, tablel) || !alloc_as("tabler", 5276160, true, tabler) ||
        !alloc_as("tablelr", 5483520, true, tablelr) || !alloc_as("tablelr2", 5483520, true, tablelr2))
        return -1;

    // 3. to 5. Settings, brightness, language, outputs.
    load_param(&flash_param);
    // A damaged or imported file may hold any language code.
    if (flash_param.car_num.flagy > 2) flash_param.car_num.flagy = 0;
    Image_param& im = flash_param.im_param;
    set_bright(im);
    set_yuyan(flash_param.car_num.flagy);
    std::uint8_t key_data_g = get_key();
    std::uint8_t post_key_data = key_data_g;
    start_cvbs();
    start_HD(key_data_g);

    // 6. Car dimensions, layout and ground targets.
    apply_car_and_layout();

    // 7. Solve each calibrated camera's ground projection.
    solve_cameras();

    // 8. to 10. Vehicle state, serial port, remote.
    Kv_UART_INFO Uart_info{};
    Uart_info.sys_status = ST_ACC;
    Uart_info.angle = 32767;
    const int uart_fd = dev_open("/dev/ttyAMA1", O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (uart_fd < 0) {
        std::perror("Can't Open Serial Port");
        return -1;
    }
    set_opt(uart_fd, 115200, 8, 'N', 2);
    const int ir_fd = dev_open("/dev/Hi_IR", O_RDWR | O_NONBLOCK);
    if (ir_fd < 0) {
        std::printf("ERROR:can not open %s device. \n", "Hi_IR");
        return -1;
    }

    // 11. and 12. The canvas and its framebuffer record.
    HI_U32 canvas_phys = 0;
    void* canvas_virt = nullptr;
    if (HI_MPI_SYS_MmzAlloc_Cached(&canvas_phys, &canvas_virt, "canvas", nullptr, kCanvasBytes) != HI_SUCCESS ||
        !canvas_virt) {
        std::printf("allocate memory (maxW*maxH*2 bytes) failed\n");
        return -1;
    }
    pBuf1 = static_cast<std::uint32_t*>(canvas_virt);
    clear_ima(pBuf1);
    HIFB_BUFFER_S stCanvasBuf{};
    stCanvasBuf.stCanvas = {canvas_phys, TABLE_W, TABLE_H, TABLE_W * 4, HIFB_FMT_ARGB8888};
    stCanvasBuf.UpdateRect = {0, 0, TABLE_W, TABLE_H};

    // 13. Two camera buffer sets.
    CameraFrames cf;
    if (!alloc_camera_frames(cf)) return -1;

    // 14. and 15. The bird's-eye view when every camera is calibrated.
    if (all_cameras_calibrated()) {
        build_birdseye();
        MT_image(4, table0, ptable_YUV2RGB);
    }
    table = table0;

    // 16. and 17. The first frames into set A.
    first_frames(cf);

    // The board has two cores: the picture is composed on both.
    set_image_threads(2);

    // 18. Loop state.
    std::uint8_t status = 1;
    std::uint16_t count = 0;
    int accoff_count = 0;
    std::uint8_t post_temp_status = 0;
    std::uint8_t Uart_buff[256];
    std::uint8_t Uart_status = 0;
    int fb = -1;
    bool fb2_tried = false;
    g_shown = {canvas_phys, canvas_virt, &stCanvasBuf, &fb};

    for (;;) {
        // 1. Board code.
        if ((count & 7) == 0) {
            key_data_g = get_key();
            if (key_data_g != post_key_data) {
                if (fb >= 0) {
                    dev_close(fb);
                    fb = -1;
                }
                start_HD(key_data_g);
                std::printf("%x***\n ", key_data_g);
                post_key_data = key_data_g;
            }
        }
        // 2. and 3. Vehicle state and this pass's key.
        const ssize_t got = dev_read(uart_fd, Uart_buff, sizeof Uart_buff);
        if (got > 0) uart_process(Uart_buff, static_cast<int>(got), &Uart_status, &Uart_info);
        const std::uint8_t temp_status = Uart_info.sys_status & 0x0F;
        decode_signals(&Uart_info);
        record_setting = im.record == 1 ? 1 : 0;
        const std::uint8_t key = decode_key(&Uart_info, ir_fd);

        // 4. Heartbeat.
        const std::uint8_t heartbeat[4] = {0x55, 0x0A, 0xBB, static_cast<std::uint8_t>(mount_ok.load())};
        dev_write(uart_fd, heartbeat, sizeof heartbeat);
        clk_usleep(5000);

        // 5. and 6. Frames: copy into one set while composing the other.
        const CameraBuffer* shown = next_frames(cf, count);
        set_image(pBuf1, table, shown[CAM_FRONT].y, shown[CAM_FRONT].uv, shown[CAM_BACK].y, shown[CAM_BACK].uv,
                  shown[CAM_LEFT].y, shown[CAM_LEFT].uv, shown[CAM_RIGHT].y, shown[CAM_RIGHT].uv, ptable_YUV2RGB);

        // 7. Overlays.
        if (record_on == 1 && status >= 3 && status <= 5 && (work_dir == 1 || work_dir == 8))
            draw_rec(pBuf1, ptable_YUV2RGB);
        if (disk_full == 1 || disk_error == 1)
            draw_formatusb(pBuf1);
        else if (status < 6 && record_on == 0 && record_stop == 0 && im.record == 1 && record_permit == 1)
            draw_checkusb2(pBuf1);

        // 8. and 9. ACC, then the state's handler.
        const PassInfo pass{key, temp_status, post_temp_status, &Uart_info, uart_fd};
        const std::int16_t acc = get_acc(Uart_info.sys_status);
        if (acc == 2 || acc == 3) {
            accoff_count = 0;
            run_state(status, pass);
        } else if (status == 1) {
            accoff_count = 0;
            idle_state(status, pass);
        } else if (++accoff_count > 10) {
            // A menu left this way must not keep recording or the disk checks stopped.
            if (status == 21) stop_playback();
            if (status >= 14) {
                record_stop = 0;
                checkusb_stop = 0;
            }
            MT_image(4, table0, ptable_YUV2RGB);
            table = table0;
            av_off();
            idle_state(status, pass);
        } else {
            run_state(status, pass);
        }

        // 10. Common end: show the canvas.
        HI_MPI_SYS_MmzFlushCache(canvas_phys, canvas_virt, kCanvasBytes);
        if (fb < 0 && !fb_setup(fb)) return -1;
        if (!fb2_tried) {
            fb2_tried = true;
            const int fb2 = dev_open("/dev/fb2", O_RDWR);
            if (fb2 < 0) std::printf("open fb2 failed!\n");
            else dev_close(fb2);
        }
        if (dev_ioctl(fb, FBIO_REFRESH, &stCanvasBuf) < 0) {
            std::printf("REFRESH failed!\n");
            HI_MPI_SYS_MmzFree(canvas_phys, canvas_virt);
            pBuf1 = nullptr;
            return -1;
        }
        // 11. The panel's I2C device for some board codes.
        if (!panel_i2c(key_data_g)) return -1;
        // 12.
        ++count;
        post_temp_status = temp_status;
    }
}
