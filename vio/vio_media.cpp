// Bring-up of the live chain: buffer pools, capture, processing groups, encoders.
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>

#include "common/prt.h"
#include "common/sample_comm.h"
#include "platform/devices.h"

HI_S32 sys_init_AHD() {
    VB_CONF_S vb{};
    vb.u32MaxPoolCnt = 128;
    vb.astCommPool[0].u32BlkSize =
        SAMPLE_COMM_SYS_CalcPicVbBlkSize(VIDEO_ENCODING_MODE_PAL, PIC_HD720, PIXEL_FORMAT_YUV_SEMIPLANAR_422, 64);
    vb.astCommPool[0].u32BlkCnt = 24;
    vb.astCommPool[1].u32BlkSize = 784;
    vb.astCommPool[1].u32BlkCnt = 24;
    HI_S32 r = SAMPLE_COMM_SYS_Init(&vb);
    if (r != HI_SUCCESS) {
        std::printf("system init failed with %d!\n", r);
        return HI_FAILURE;
    }

    const int gpio = dev_open("/dev/gpioi2c", O_RDONLY);
    if (gpio < 0) {
        prt(__func__, __LINE__, "open gpioi2c failed!\n");
        return HI_FAILURE;
    }
    unsigned off = 0;
    dev_ioctl(gpio, GPIO_SET_AV_POWER, &off);
    dev_close(gpio);

    const int i2c = dev_open("/dev/i2c", O_RDWR);
    if (i2c < 0) {
        prt(__func__, __LINE__, "open gpioi2c failed!\n");
        return HI_FAILURE;
    }
    I2C_DATA_S d{I2C_ADDR_VDEC, 0xFF, 1, 0x01, 1};
    dev_ioctl(i2c, I2C_WRITE, &d);
    d.reg_addr = 0xD1;
    d.data = 0x0C;
    dev_ioctl(i2c, I2C_WRITE, &d);
    dev_close(i2c);

    if (SAMPLE_COMM_VI_Start(SAMPLE_VI_MODE_8_720P, VIDEO_ENCODING_MODE_PAL) != HI_SUCCESS) {
        prt(__func__, __LINE__, "start vi failed!\n");
        return HI_FAILURE;
    }
    for (VI_CHN c : {0, 1, 4, 5}) {
        r = HI_MPI_VI_SetFrameDepth(c, 1);
        if (r != HI_SUCCESS) {
            std::printf("set vi depth err:0x%x\n", static_cast<unsigned>(r));
            return HI_FAILURE;
        }
    }
    return HI_SUCCESS;
}

void VpssStart() {
    SIZE_S size{};
    if (SAMPLE_COMM_SYS_GetPicSize(VIDEO_ENCODING_MODE_PAL, PIC_HD720, &size) != HI_SUCCESS) {
        prt(__func__, __LINE__, "SAMPLE_COMM_SYS_GetPicSize failed!\n");
        return;
    }
    HI_VPSS_GRP_ATTR_S attr{};
    attr.u32MaxW = size.u32Width;
    attr.u32MaxH = size.u32Height;
    attr.enPixFmt = PIXEL_FORMAT_YUV_SEMIPLANAR_422;
    attr.bDrEn = HI_FALSE;
    attr.bDbEn = HI_FALSE;
    attr.bIeEn = HI_TRUE;
    attr.bNrEn = HI_TRUE;
    attr.bHistEn = HI_TRUE;
    attr.enDieMode = 1;
    if (SAMPLE_COMM_VPSS_Start(4, &size, 0, &attr) != HI_SUCCESS) {
        prt(__func__, __LINE__, "Start Vpss failed!\n");
        return;
    }
    if (SAMPLE_COMM_VI_BindVpss(SAMPLE_VI_MODE_8_720P) != HI_SUCCESS) prt(__func__, __LINE__, "Vi bind Vpss failed!\n");
}

void init_venc() {
    for (int i = 0; i < 4; ++i) {
        if (SAMPLE_COMM_VENC_Start(i, i, PT_H264, VIDEO_ENCODING_MODE_PAL, PIC_HD720, SAMPLE_RC_VBR) != HI_SUCCESS ||
            SAMPLE_COMM_VENC_BindVpss(i, i, 0) != HI_SUCCESS) {
            prt(__func__, __LINE__, "Start Venc failed!\n");
            return;
        }
    }
}
