// The HD output (timing and framebuffer geometry by board code) and the CVBS
// output showing its written-back copy.
#include <cstdio>
#include <fcntl.h>

#include "common/prt.h"
#include "common/sample_comm.h"
#include "platform/devices.h"
#include "platform/shell.h"

HI_U32 var_xres = 800, var_yres = 480, var_xres_virtual = 800, var_yres_virtual = 480;
POINT_S stPoint = {0, 0};

namespace {

constexpr VO_DEV kHd = 0;
constexpr VO_DEV kCvbs = 2;

struct BoardTiming {
    HI_U16 vact, vbb, vfb, hact, hbb, hfb, hpw, vpw;
    bool idv, ihs, ivs;
    HI_U32 xres, yres, xres_virtual, yres_virtual;
    HI_S32 origin_x;
    const char* reg_value;  // operand of "himm 0x2003000c ..."
};

// Rows for board codes 1..15; the last row serves every other code.
constexpr BoardTiming kTimings[16] = {
    {480, 36, 8, 800, 217, 10, 10, 4, false, true, true, 800, 480, 800, 480, 0, "0x006C2040"},
    {480, 33, 27, 800, 200, 52, 128, 5, false, true, true, 800, 480, 800, 480, 0, "0x006C2044"},
    {540, 15, 15, 1440, 190, 140, 50, 1, false, true, true, 1260, 540, 1440, 540, 90, "0x006C103C"},
    {480, 5, 9, 1280, 45, 40, 16, 1, false, true, true, 1120, 480, 1280, 480, 80, "0x006C2051"},
    {540, 15, 15, 1440, 190, 140, 50, 1, false, true, true, 1260, 540, 1440, 540, 90, "0x006C103C"},
    {480, 10, 33, 800, 160, 100, 130, 2, false, true, true, 800, 480, 800, 480, 0, "0x006C2043"},
    {720, 5, 4, 1280, 80, 50, 40, 2, false, true, true, 1280, 720, 1280, 720, 0, "0x006C207c"},
    {480, 30, 15, 800, 216, 40, 120, 5, false, true, true, 800, 480, 800, 480, 0, "0x006C2042"},
    {240, 16, 16, 400, 100, 150, 80, 4, false, false, false, 400, 240, 400, 240, 0, "0x006C2015"},
    {720, 5, 4, 1920, 80, 50, 40, 2, false, true, true, 1680, 720, 1920, 720, 120, "0x006C20b3"},
    {720, 5, 4, 1920, 80, 50, 40, 2, false, true, true, 1680, 720, 1920, 720, 120, "0x006C20b3"},
    {480, 35, 8, 800, 160, 100, 33, 6, false, true, true, 800, 480, 800, 480, 0, "0x006C2042"},
    {480, 20, 26, 640, 100, 114, 48, 2, false, true, true, 640, 480, 640, 480, 0, "0x006C2036"},
    {540, 15, 15, 1440, 190, 140, 50, 1, false, true, true, 960, 540, 1440, 540, 0, "0x006C103C"},
    {480, 36, 8, 800, 342, 34, 126, 10, false, false, false, 800, 480, 800, 480, 0, "0x006C204a"},
    {480, 14, 16, 800, 100, 150, 80, 4, false, true, true, 800, 480, 800, 480, 0, "0x006C2040"},
};

const BoardTiming& timing_of(HI_U8 code) { return code >= 1 && code <= 15 ? kTimings[code - 1] : kTimings[15]; }

// One register write on an I2C device (one address byte, one data byte).
bool i2c_write(int fd, HI_U8 dev, HI_U32 reg, HI_U32 value) {
    I2C_DATA_S d{dev, reg, 1, value, 1};
    return dev_ioctl(fd, I2C_WRITE, &d) == 0;
}

HI_BOOL hb(bool v) { return v ? HI_TRUE : HI_FALSE; }

}  // namespace

HI_S32 SAMPLE_COMM_VO_StartDevLayer(VO_DEV VoDev, const VO_PUB_ATTR_S* pstPubAttr, HI_U32 u32SrcFrmRate) {
    if (u32SrcFrmRate == 0) {
        prt(__func__, __LINE__, "vo u32SrcFrmRate invaild! %d!\n", u32SrcFrmRate);
        return HI_FAILURE;
    }
    HI_S32 r = HI_MPI_VO_SetPubAttr(VoDev, pstPubAttr);
    if (r == HI_SUCCESS) r = HI_MPI_VO_Enable(VoDev);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    VO_VIDEO_LAYER_ATTR_S layer{};
    layer.stDispRect = {0, 0, var_xres_virtual, var_yres_virtual};
    layer.stImageSize = {var_xres_virtual, var_yres_virtual};
    layer.u32DispFrmRt = u32SrcFrmRate;
    layer.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
    r = HI_MPI_VO_SetVideoLayerAttr(VoDev, &layer);
    if (r == HI_SUCCESS) r = HI_MPI_VO_EnableVideoLayer(VoDev);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StopDevLayer(VO_DEV VoDev) {
    HI_S32 r = HI_MPI_VO_DisableVideoLayer(VoDev);
    if (r == HI_SUCCESS) r = HI_MPI_VO_Disable(VoDev);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return HI_FAILURE;
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StartChn(VO_DEV VoDev, const VO_PUB_ATTR_S*, HI_S32 enMode) {
    if (enMode < 0 || enMode > 3) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(enMode));
        return HI_FAILURE;
    }
    const HI_U32 per_side = static_cast<HI_U32>(enMode) + 1;
    const HI_U32 width = VoDev == kHd ? var_xres : 720;
    const HI_U32 height = VoDev == kHd ? var_yres : 480;
    std::printf("u32Width:%d, u32Square:%d\n", width, per_side);
    for (VO_CHN c = 0; c < static_cast<VO_CHN>(per_side * per_side); ++c) {
        VO_CHN_ATTR_S attr{};
        attr.u32Priority = 0;
        attr.stRect = {stPoint.s32X, stPoint.s32Y, (width / per_side) & ~1u, (height / per_side) & ~1u};
        attr.bDeflicker = HI_TRUE;
        HI_S32 r = HI_MPI_VO_SetChnAttr(VoDev, c, &attr);
        if (r != HI_SUCCESS) {
            std::printf("%s(%d):failed with %#x!\n", __func__, __LINE__, static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        r = HI_MPI_VO_EnableChn(VoDev, c);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
        std::printf("HI_MPI_VO_EnableChn:%d\n", c);
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_StopChn(VO_DEV VoDev, HI_S32 enMode) {
    if (enMode < 0 || enMode > 3) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(enMode));
        return HI_FAILURE;
    }
    const int n = (enMode + 1) * (enMode + 1);
    for (VO_CHN c = 0; c < n; ++c) {
        const HI_S32 r = HI_MPI_VO_DisableChn(VoDev, c);
        if (r != HI_SUCCESS) {
            prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

HI_S32 SAMPLE_COMM_VO_BindVoWbc(VO_DEV VoWbcDev, VO_DEV VoDev, VO_CHN VoChn) {
    const MPP_CHN_S src{HI_ID_VOU, VoWbcDev, 0};
    const MPP_CHN_S dst{HI_ID_VOU, VoDev, VoChn};
    return HI_MPI_SYS_Bind(&src, &dst);
}

void start_HD(HI_U8 key_data) {
    HI_S32 r = HI_MPI_VO_DisableWbc(kHd);
    if (r == HI_SUCCESS) r = SAMPLE_COMM_VO_StopDevLayer(kHd);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return;
    }
    std::printf("key_data is  %d!\n", key_data);

    const BoardTiming& t = timing_of(key_data);
    sh_himm("0x20030008", "0x26000000");
    sh_himm("0x2003000c", t.reg_value);
    stPoint.s32X = t.origin_x;
    var_xres = t.xres;
    var_yres = t.yres;
    var_xres_virtual = t.xres_virtual;
    var_yres_virtual = t.yres_virtual;

    struct Write {
        HI_U32 reg, value;
    };
    const Write* writes = nullptr;
    int n = 0;
    static constexpr Write code5[] = {{0x03, 0xFB}, {0x12, 0x04}, {0x0D, 0x93}, {0x01, 0x01}};
    static constexpr Write code7[] = {{0x03, 0xFB}, {0x12, 0x00}, {0x0D, 0xA0}, {0x01, 0x01}};
    static constexpr Write code12[] = {{0x03, 0xFB}, {0x01, 0x01}};
    if (key_data == 5) {
        sh_himm("0x200f00e8", "0x00000000");
        sh_himm("0x201b0400", "0x00000001");
        sh_himm("0x201b0004", "0x00000001");
        writes = code5;
        n = 4;
    } else if (key_data == 7) {
        writes = code7;
        n = 4;
    } else if (key_data == 12) {
        writes = code12;
        n = 2;
    }
    if (n > 0) {
        const int fd = dev_open("/dev/i2c", O_RDWR);
        if (fd < 0) {
            prt(__func__, __LINE__, "open gpioi2c failed!\n");
            return;
        }
        for (int i = 0; i < n; ++i) i2c_write(fd, 0x18, writes[i].reg, writes[i].value);
        dev_close(fd);
    }

    VO_PUB_ATTR_S pub{};
    pub.u32BgColor = 0;
    pub.enIntfType = VO_INTF_LCD;
    pub.enIntfSync = VO_OUTPUT_USER;
    pub.stSyncInfo = {HI_TRUE, HI_TRUE, 2, t.vact, t.vbb, t.vfb, t.hact, t.hbb, t.hfb, 1, 1, 1, 1, t.hpw, t.vpw,
                      hb(t.idv), hb(t.ihs), hb(t.ivs)};
    pub.bDoubleFrame = HI_FALSE;
    if (SAMPLE_COMM_VO_StartDevLayer(kHd, &pub, 25) != HI_SUCCESS) {
        prt(__func__, __LINE__, "SAMPLE_COMM_VO_StartDevLayer failed!\n");
        return;
    }
    VO_WBC_ATTR_S wbc{};
    wbc.stTargetSize = {720, 480};
    wbc.enPixelFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    wbc.u32FrameRate = 25;
    r = HI_MPI_VO_SetWbcAttr(kHd, &wbc);
    if (r == HI_SUCCESS) r = HI_MPI_VO_EnableWbc(kHd);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return;
    }
    // After the first start the CVBS channel is already bound; the result is not needed.
    SAMPLE_COMM_VO_BindVoWbc(kHd, kCvbs, 0);
}

void start_cvbs() {
    VO_PUB_ATTR_S pub{};
    pub.u32BgColor = 0;
    pub.enIntfType = VO_INTF_CVBS;
    pub.enIntfSync = VO_OUTPUT_NTSC;
    pub.bDoubleFrame = HI_FALSE;
    HI_S32 r = HI_MPI_VO_SetPubAttr(kCvbs, &pub);
    if (r == HI_SUCCESS) r = HI_MPI_VO_Enable(kCvbs);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return;
    }
    VO_VIDEO_LAYER_ATTR_S layer{};
    layer.stDispRect = {0, 0, 720, 480};
    layer.stImageSize = {720, 480};
    layer.u32DispFrmRt = 25;
    layer.enPixFormat = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    r = HI_MPI_VO_SetVideoLayerAttr(kCvbs, &layer);
    if (r == HI_SUCCESS) r = HI_MPI_VO_EnableVideoLayer(kCvbs);
    if (r != HI_SUCCESS) {
        prt(__func__, __LINE__, "failed with %#x!\n", static_cast<unsigned>(r));
        return;
    }
    SAMPLE_COMM_VO_StartChn(kCvbs, &pub, 0);
}
