// The framebuffer's set-up: nothing is shown until the system's sequence ran,
// the last close forgets it, and bad requests are refused.
#include <algorithm>

#include "fixture.h"

namespace display_test {
namespace {

using LayerSetUp = Board;

bool logged(const std::string& line) {
    const auto log = host::board_log_lines("fb");
    return std::count(log.begin(), log.end(), line) > 0;
}

TEST_F(LayerSetUp, RefreshIsRefusedUntilSetUpAndLoggedOnce) {
    Canvas c;
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), -EINVAL);
    const auto log = host::board_log_lines("fb");
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](auto& l) { return l.find("refused") != l.npos; }), 1);
    EXPECT_FALSE(host::fb_shown());
    EXPECT_EQ(host::canvas_picture().width, 0);

    set_up();
    EXPECT_TRUE(host::fb_shown());
    EXPECT_TRUE(logged("fb: /dev/fb0 800x480 virtual 800x480 32 bpp"));
    EXPECT_TRUE(logged("fb: show 1"));
    c.at(0, 0) = 0xFF112233u;
    c.at(799, 479) = 0x80FF0000u;
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    EXPECT_EQ(host::fb_refresh_count(), 1u);
    const host::Picture p = host::canvas_picture();
    ASSERT_EQ(p.width * p.height, 800 * 480);
    EXPECT_EQ(at(p, 0, 0), 0xFF112233u);
    EXPECT_EQ(at(p, 799, 479), 0x80FF0000u);
    EXPECT_EQ(at(p, 1, 0), 0u);
}

TEST_F(LayerSetUp, LastCloseForgetsTheSetUp) {
    const int second = dev_open("/dev/fb0", O_RDWR);
    set_up();
    Canvas c;
    dev_close(second);
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0) << "one descriptor is still open";
    dev_close(fd_);
    EXPECT_FALSE(host::fb_shown());

    fd_ = dev_open("/dev/fb0", O_RDWR);
    fb_var_screeninfo var{};
    ASSERT_EQ(request(fd_, FBIOGET_VSCREENINFO, &var), 0);
    EXPECT_EQ(var.xres * 1000 + var.bits_per_pixel, 720016u) << "back to 720 wide, 16 bits";
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), -EINVAL);
    set_up();
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    EXPECT_EQ(host::fb_refresh_count(), 2u);
}

TEST_F(LayerSetUp, CanvasOutsideMediaMemoryIsAFault) {
    set_up();
    Canvas c;
    HIFB_BUFFER_S b = c.buf;
    b.stCanvas.u32PhyAddr += 4;  // the last row runs past the block
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &b), -EFAULT);
    b.stCanvas.u32PhyAddr = 0x1000;
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &b), -EFAULT);
    b = c.buf;
    b.stCanvas.u32Pitch = 3196;  // shorter than 800 pixels
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &b), -EINVAL);
    b = c.buf;
    b.UpdateRect = {1, 0, 800, 480};
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &b), -EINVAL);
    EXPECT_EQ(host::fb_refresh_count(), 0u);
}

TEST_F(LayerSetUp, BadRequestsAreRefused) {
    fb_var_screeninfo var{};
    ASSERT_EQ(request(fd_, FBIOGET_VSCREENINFO, &var), 0);
    var.xres = 721;  // wider than the virtual screen
    EXPECT_EQ(request(fd_, FBIOPUT_VSCREENINFO, &var), -EINVAL);
    var.xres = var.xres_virtual = 1921;
    EXPECT_EQ(request(fd_, FBIOPUT_VSCREENINFO, &var), -EINVAL);
    var.xres = var.xres_virtual = 800;
    var.bits_per_pixel = 32;  // with the 16-bit fields left in
    EXPECT_EQ(request(fd_, FBIOPUT_VSCREENINFO, &var), -EINVAL);
    HIFB_POINT_S origin{-1, 0};
    EXPECT_EQ(request(fd_, FBIOPUT_SCREEN_ORIGIN_HIFB, &origin), -EINVAL);
    HIFB_LAYER_INFO_S info{};
    info.BufMode = static_cast<HIFB_LAYER_BUF_E>(7);  // not named by the mask: ignored
    info.s32XPos = 33;
    info.u32Mask = HIFB_LAYERMASK_POS;
    EXPECT_EQ(request(fd_, FBIOPUT_LAYER_INFO, &info), 0);
    info.u32Mask |= HIFB_LAYERMASK_BUFMODE;
    EXPECT_EQ(request(fd_, FBIOPUT_LAYER_INFO, &info), -EINVAL);
    EXPECT_EQ(request(fd_, FBIOPUT_SHOW_HIFB, nullptr), -EFAULT);
    EXPECT_EQ(request(fd_, 0x4602, &info), -ENOTTY);
}

TEST_F(LayerSetUp, InjectedFailuresAreEio) {
    set_up();
    Canvas c;
    host::inject_failure(host::ioctl_op("/dev/fb0", FBIO_REFRESH));
    errno = 0;
    EXPECT_EQ(dev_ioctl(fd_, FBIO_REFRESH, &c.buf), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(request(fd_, FBIO_REFRESH, &c.buf), 0);
    EXPECT_EQ(host::fb_refresh_count(), 1u);
}

TEST_F(LayerSetUp, CvbsLayerOpensAndCloses) {
    const int fd = dev_open("/dev/fb2", O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(dev_close(fd), 0);
    EXPECT_TRUE(logged("fb: /dev/fb2 open"));
}

}  // namespace
}  // namespace display_test
