// Stand-in for the system's start-up and main loop until they land: sets the
// clock from the clock chip, brings up capture and the HD output, then every
// pass shows the four cameras as a 2 x 2 mosaic on the framebuffer, answers the
// microcontroller with a heartbeat and prints its pass counter.
#include "vio/app.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <termios.h>

#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/hifb.h"
#include "platform/mpi.h"
#include "platform/shell.h"

namespace {

constexpr int kW = 1280, kH = 720;
constexpr int kCanvasW = 800, kCanvasH = 480;
constexpr int kChannels[4] = {0, 1, 4, 5};  // left, right, back, front

int bcd(unsigned v) { return static_cast<int>((v & 0x0F) + ((v >> 4) & 0x0F) * 10); }

void clock_from_chip() {
    unsigned reg[7] = {};
    for (unsigned r = 0; r < 7; ++r) {
        const int fd = dev_open("/dev/i2c", O_RDONLY);
        I2C_DATA_S d{0xD0, r, 1, 0, 1};
        if (fd < 0 || dev_ioctl(fd, I2C_READ, &d) != 0) d.data = 0xFF;
        if (fd >= 0) dev_close(fd);
        reg[r] = d.data;
    }
    std::tm t{};
    t.tm_sec = bcd(reg[0] & 0x7F);
    t.tm_min = bcd(reg[1] & 0x7F);
    t.tm_hour = bcd(reg[2] & 0x3F);
    t.tm_mday = bcd(reg[4] & 0x3F);
    t.tm_mon = bcd(reg[5] & 0x1F) - 1;
    t.tm_year = bcd(reg[6]) + 100;
    t.tm_isdst = -1;
    const std::time_t secs = std::mktime(&t);
    timeval tv{secs, 0};
    if (secs < 0 || clk_settimeofday(&tv) != 0) std::printf("Set system datatime error!\n");
}

int media_up() {
    VB_CONF_S vb{};
    vb.u32MaxPoolCnt = 128;
    vb.astCommPool[0] = {1280 * 768 * 2, 24, {}};
    vb.astCommPool[1] = {784, 24, {}};
    MPP_SYS_CONF_S sys{64};
    HI_S32 r;
    if ((r = HI_MPI_VB_SetConf(&vb)) || (r = HI_MPI_VB_Init()) || (r = HI_MPI_SYS_SetConf(&sys)) ||
        (r = HI_MPI_SYS_Init())) {
        std::printf("system init failed with %#x!\n", static_cast<unsigned>(r));
        return -1;
    }
    VI_DEV_ATTR_S dev{};
    dev.enIntfMode = VI_MODE_BT656;
    dev.enWorkMode = VI_WORK_MODE_2Multiplex;
    dev.enScanMode = VI_SCAN_PROGRESSIVE;
    dev.enDataSeq = 3;
    for (VI_DEV d = 0; d < 2; ++d) {
        dev.au32CompMask[0] = 0xFF000000u >> (8 * (d % 4));
        if ((r = HI_MPI_VI_SetDevAttr(d, &dev)) || (r = HI_MPI_VI_EnableDev(d))) {
            std::printf("vi dev %d failed with %#x!\n", d, static_cast<unsigned>(r));
            return -1;
        }
    }
    VI_CHN_ATTR_S chn{};
    chn.stCapRect = {0, 0, kW, kH};
    chn.stDestSize = {kW, kH};
    chn.enCapSel = VI_CAPSEL_BOTH;
    chn.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    chn.s32SrcFrameRate = 25;
    chn.s32FrameRate = 12;
    for (int c : kChannels) {
        if ((r = HI_MPI_VI_SetChnAttr(c, &chn)) || (r = HI_MPI_VI_EnableChn(c)) ||
            (r = HI_MPI_VI_SetFrameDepth(c, 1))) {
            std::printf("vi channel %d failed with %#x!\n", c, static_cast<unsigned>(r));
            return -1;
        }
    }
    VO_PUB_ATTR_S pub{};
    pub.enIntfType = VO_INTF_LCD;
    pub.enIntfSync = VO_OUTPUT_USER;
    pub.stSyncInfo = {HI_TRUE, HI_TRUE, 2, 480, 14, 16, 800, 100, 150, 1, 1, 1, 1, 80, 4,
                      HI_FALSE, HI_TRUE, HI_TRUE};
    VO_VIDEO_LAYER_ATTR_S layer{};
    layer.stDispRect = {0, 0, kCanvasW, kCanvasH};
    layer.stImageSize = {kCanvasW, kCanvasH};
    layer.u32DispFrmRt = 25;
    layer.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
    if ((r = HI_MPI_VO_SetPubAttr(0, &pub)) || (r = HI_MPI_VO_Enable(0)) ||
        (r = HI_MPI_VO_SetVideoLayerAttr(0, &layer)) || (r = HI_MPI_VO_EnableVideoLayer(0))) {
        std::printf("vo failed with %#x!\n", static_cast<unsigned>(r));
        return -1;
    }
    return 0;
}

void power_on_display() {
    const int fd = dev_open("/dev/gpioi2c", O_RDONLY);
    unsigned on = 1;
    dev_ioctl(fd, GPIO_SET_AV_POWER, &on);
    dev_close(fd);
}

int open_serial() {
    const int fd = dev_open("/dev/ttyAMA1", O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios t{};
    t.c_cflag = CLOCAL | CREAD | CS8 | CSTOPB;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    dev_tcflush(fd, TCIFLUSH);
    dev_tcsetattr(fd, TCSANOW, &t);
    return fd;
}

int fb_setup(int& fb) {
    fb = dev_open("/dev/fb0", O_RDWR);
    if (fb < 0) {
        std::printf("open fb0 failed!\n");
        return -1;
    }
    HIFB_POINT_S origin{0, 0};
    fb_var_screeninfo var{};
    HIFB_LAYER_INFO_S layer{};
    HI_BOOL show = HI_TRUE;
    if (dev_ioctl(fb, FBIOPUT_SCREEN_ORIGIN_HIFB, &origin) < 0) return std::printf("set screen original show position failed!\n"), -1;
    if (dev_ioctl(fb, FBIOGET_VSCREENINFO, &var) < 0) return std::printf("Get variable screen info failed!\n"), -1;
    var.xres = var.xres_virtual = kCanvasW;
    var.yres = var.yres_virtual = kCanvasH;
    var.bits_per_pixel = 32;
    var.transp = {24, 8, 0};
    var.red = {16, 8, 0};
    var.green = {8, 8, 0};
    var.blue = {0, 8, 0};
    if (dev_ioctl(fb, FBIOPUT_VSCREENINFO, &var) < 0) return std::printf("Put variable screen info failed!\n"), -1;
    if (dev_ioctl(fb, FBIOGET_LAYER_INFO, &layer) < 0) return std::printf("GET_LAYER_INFO failed!\n"), -1;
    layer.BufMode = HIFB_LAYER_BUF_DOUBLE;
    layer.eAntiflickerLevel = HIFB_LAYER_ANTIFLICKER_AUTO;
    layer.u32Mask |= HIFB_LAYERMASK_BUFMODE | HIFB_LAYERMASK_ANTIFLICKER_MODE;
    if (dev_ioctl(fb, FBIOPUT_LAYER_INFO, &layer) < 0) return std::printf("PUT_LAYER_INFO failed!\n"), -1;
    if (dev_ioctl(fb, FBIOPUT_SHOW_HIFB, &show) < 0) return std::printf("FBIOPUT_SHOW_HIFB failed!\n"), -1;
    return 0;
}

std::uint32_t argb(int y, int u, int v) {
    auto clamp = [](int x) { return x < 0 ? 0 : x > 255 ? 255 : x; };
    const int c = y - 16, d = u - 128, e = v - 128;
    const int r = clamp((298 * c + 409 * e + 128) >> 8);
    const int g = clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
    const int b = clamp((298 * c + 516 * d + 128) >> 8);
    return 0xFF000000u | static_cast<std::uint32_t>(r << 16 | g << 8 | b);
}

// Tiles: front and back on top, left and right below.
void compose(std::uint32_t* canvas, std::uint8_t* const* y, std::uint8_t* const* uv) {
    constexpr int tw = kCanvasW / 2, th = kCanvasH / 2;
    constexpr int order[4] = {3, 2, 0, 1};
    for (int t = 0; t < 4; ++t) {
        const int cam = order[t];
        const int ox = (t % 2) * tw, oy = (t / 2) * th;
        for (int row = 0; row < th; ++row) {
            const int sy = row * kH / th;
            std::uint32_t* out = canvas + (oy + row) * kCanvasW + ox;
            const std::uint8_t* yr = y[cam] + sy * kW;
            const std::uint8_t* cr = uv[cam] + sy * kW;
            for (int col = 0; col < tw; ++col) {
                const int sx = col * kW / tw;
                out[col] = argb(yr[sx], cr[sx & ~1], cr[sx | 1]);
            }
        }
    }
}

int loop() {
    HI_U32 canvas_phys = 0;
    void* canvas_virt = nullptr;
    if (HI_MPI_SYS_MmzAlloc_Cached(&canvas_phys, &canvas_virt, "canvas", nullptr, kCanvasW * kCanvasH * 4)) {
        std::printf("allocate memory (maxW*maxH*2 bytes) failed\n");
        return -1;
    }
    auto* canvas = static_cast<std::uint32_t*>(canvas_virt);
    for (int i = 0; i < kCanvasW * kCanvasH; ++i) canvas[i] = 0xFF000000u;
    HI_U32 phys[8];
    std::uint8_t* planes[8];
    for (int i = 0; i < 8; ++i) {
        void* v = nullptr;
        if (HI_MPI_SYS_MmzAlloc_Cached(&phys[i], &v, "cam", nullptr, kW * kH)) return -1;
        planes[i] = static_cast<std::uint8_t*>(v);
    }
    const int serial = open_serial();
    if (serial < 0) {
        std::perror("Can't Open Serial Port");
        return -1;
    }
    const int ir = dev_open("/dev/Hi_IR", O_RDWR | O_NONBLOCK);
    if (ir < 0) {
        std::printf("ERROR:can not open %s device. \n", "Hi_IR");
        return -1;
    }
    HIFB_BUFFER_S buf{};
    buf.stCanvas = {canvas_phys, kCanvasW, kCanvasH, kCanvasW * 4, HIFB_FMT_ARGB8888};
    buf.UpdateRect = {0, 0, kCanvasW, kCanvasH};
    VIDEO_FRAME_INFO_S frames[4]{};
    bool held[4] = {};
    int fb = -1;
    std::uint8_t rx[256];
    irkey_info_s keys[16];
    for (unsigned count = 0;; ++count) {
        dev_read(serial, rx, sizeof rx);
        const std::uint8_t heartbeat[4] = {0x55, 0x0A, 0xBB, 0};
        dev_write(serial, heartbeat, sizeof heartbeat);
        dev_read(ir, keys, sizeof keys);
        clk_usleep(5000);
        IVE_HANDLE handle = 0;
        for (int c = 0; c < 4; ++c) {
            if (held[c]) HI_MPI_VI_ReleaseFrame(kChannels[c], &frames[c]);
            held[c] = false;
            const HI_S32 r = HI_MPI_VI_GetFrame(kChannels[c], &frames[c]);
            if (r != 0) {
                if (c == 3) std::printf("getframe failed! %x\n", static_cast<unsigned>(r));
                continue;
            }
            held[c] = true;
            if (c == 3) std::printf("%u\n", count);
            for (int p = 0; p < 2; ++p) {
                IVE_DATA_S src{frames[c].stVFrame.u32PhyAddr[p], kW, kW, kH};
                IVE_DATA_S dst{phys[c * 2 + p], kW, kW, kH};
                if (HI_MPI_IVE_DMA(&handle, &src, &dst, HI_TRUE)) std::printf("HI_MPI_IVE_DMA failed!\n");
            }
        }
        HI_BOOL done = HI_FALSE;
        HI_MPI_IVE_Query(handle, &done, HI_TRUE);
        std::uint8_t* ys[4] = {planes[0], planes[2], planes[4], planes[6]};
        std::uint8_t* uvs[4] = {planes[1], planes[3], planes[5], planes[7]};
        compose(canvas, ys, uvs);
        HI_MPI_SYS_MmzFlushCache(canvas_phys, canvas_virt, kCanvasW * kCanvasH * 4);
        if (fb < 0 && fb_setup(fb) != 0) return -1;
        if (dev_ioctl(fb, FBIO_REFRESH, &buf) < 0) {
            std::printf("REFRESH failed!\n");
            return -1;
        }
    }
}

}  // namespace

int app_main(int, char*[]) {
    clock_from_chip();
    if (media_up() == 0) {
        power_on_display();
        loop();
    }
    clk_sleep(10);
    return sh_reboot();
}
