// What a person sees on the panel: the HD output's active area, the layer
// placed at the screen origin and blended by alpha, black while the output is off.
#include "fixture.h"

namespace display_test {
namespace {

constexpr std::uint32_t kBlue = 0xFF0000FFu;

class Panel : public Board {
protected:
    // HD device 0 with a user timing of `width` x `height` on a blue background,
    // and the display output power (GPIO command 22) on.
    void start(unsigned width, unsigned height) {
        VB_CONF_S vb{};
        vb.u32MaxPoolCnt = 16;
        vb.astCommPool[0] = {1280 * 768 * 2, 4, {}};
        MPP_SYS_CONF_S sys{64};
        ASSERT_EQ(HI_MPI_VB_SetConf(&vb) | HI_MPI_VB_Init() | HI_MPI_SYS_SetConf(&sys) | HI_MPI_SYS_Init(), 0);
        VO_PUB_ATTR_S pub{};
        pub.u32BgColor = kBlue & 0xFFFFFF;
        pub.enIntfType = VO_INTF_LCD;
        pub.enIntfSync = VO_OUTPUT_USER;
        pub.stSyncInfo = {HI_TRUE, HI_TRUE, 2, static_cast<HI_U16>(height), 15, 15, static_cast<HI_U16>(width),
                          190, 140, 1, 1, 1, 1, 50, 1, HI_FALSE, HI_TRUE, HI_TRUE};
        ASSERT_EQ(HI_MPI_VO_SetPubAttr(0, &pub), 0);
        ASSERT_EQ(HI_MPI_VO_Enable(0), 0);
        VO_VIDEO_LAYER_ATTR_S layer{{0, 0, width, height}, {width, height}, 25, PIXEL_FORMAT_YUV_SEMIPLANAR_420};
        ASSERT_EQ(HI_MPI_VO_SetVideoLayerAttr(0, &layer), 0);
        ASSERT_EQ(HI_MPI_VO_EnableVideoLayer(0), 0);
        power(1);
    }
    void power(unsigned on) {
        const int gpio = dev_open("/dev/gpioi2c", O_RDWR);
        ASSERT_EQ(request(gpio, GPIO_SET_AV_POWER, &on), 0);
        dev_close(gpio);
    }
};

TEST_F(Panel, BlackWhileTheOutputIsOff) {
    power(1);
    host::Picture p = host::panel_picture();  // no HD output yet
    EXPECT_EQ(p.width * 1000 + p.height, 800480);
    EXPECT_EQ(std::count(p.argb.begin(), p.argb.end(), 0xFF000000u), 800 * 480);

    start(800, 480);
    set_up();
    Canvas c;
    std::fill_n(c.px, 800 * 480, 0xFFFFFFFFu);
    ASSERT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    EXPECT_EQ(at(host::panel_picture(), 0, 0), 0xFFFFFFFFu);
    power(0);
    p = host::panel_picture();
    EXPECT_EQ(std::count(p.argb.begin(), p.argb.end(), 0xFF000000u), 800 * 480);
}

TEST_F(Panel, ScaledLayerStartsAtTheOrigin) {
    // A 1440 x 540 panel with the layer 1260 x 540 at x 90 (as for board code 3).
    start(1440, 540);
    set_up(90, 1260, 540, 1440, 540);
    Canvas c;
    std::fill_n(c.px, 800 * 480, 0xFF808080u);
    c.at(0, 0) = 0xFFFF0000u;
    c.at(799, 479) = 0xFF00FF00u;
    ASSERT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    const host::Picture p = host::panel_picture();
    ASSERT_EQ(p.width * 1000 + p.height, 1440540);
    for (int x : {0, 89, 1350, 1439}) EXPECT_EQ(at(p, x, 270), kBlue) << x;
    // Canvas column 0 covers layer columns 0..1 (1260 / 800 = 1.575), row 0 rows 0..1.
    EXPECT_EQ(at(p, 91, 1), 0xFFFF0000u);
    EXPECT_EQ(at(p, 92, 0), 0xFF808080u);
    EXPECT_EQ(at(p, 90, 2), 0xFF808080u);
    // Column 799 starts at ceil(799 * 1260 / 800) = 1259, row 479 at ceil(479 * 540 / 480) = 539.
    EXPECT_EQ(at(p, 90 + 1259, 539), 0xFF00FF00u);
    EXPECT_EQ(at(p, 90 + 1258, 539), 0xFF808080u);
    EXPECT_EQ(at(p, 90 + 1259, 538), 0xFF808080u);
}

TEST_F(Panel, PixelsBlendByTheirAlpha) {
    start(800, 480);
    set_up();
    Canvas c;
    c.at(0, 0) = 0x80FF0000u;  // half red
    c.at(1, 0) = 0x40FFFFFFu;  // quarter white
    c.at(2, 0) = 0xFF00FF00u;  // opaque green
    ASSERT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    const host::Picture p = host::panel_picture();
    EXPECT_EQ(at(p, 0, 0), 0xFF80007Fu);  // red 255 * 128/255 = 128, blue 255 * 127/255 = 127
    EXPECT_EQ(at(p, 1, 0), 0xFF4040FFu);  // 255 * 64/255 = 64, blue stays 255
    EXPECT_EQ(at(p, 2, 0), 0xFF00FF00u);
    EXPECT_EQ(at(p, 3, 0), kBlue);  // transparent
    dev_close(fd_);
    fd_ = dev_open("/dev/fb0", O_RDWR);
    EXPECT_EQ(at(host::panel_picture(), 2, 0), kBlue) << "closing hides the layer";
}

}  // namespace
}  // namespace display_test
