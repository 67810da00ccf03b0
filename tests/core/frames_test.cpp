// Camera frames of a pass: the right channel in each buffer, one pass of lag.
#include "common/sample_comm.h"
#include "dsp/dsp_image.h"
#include "tests/board_fixture.h"
#include "vio/frames.h"
#include "vio/vio.h"

namespace {

class CameraFramesTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        // Each picture carries its channel and frame number in its first bytes.
        host::capture_use_renderer([](int channel, std::uint64_t frame, std::uint8_t* y, std::uint8_t* uv) {
            y[0] = static_cast<std::uint8_t>(channel);
            y[1] = static_cast<std::uint8_t>(frame);
            uv[0] = static_cast<std::uint8_t>(0x80 | channel);
            uv[CAM_W * CAM_H - 1] = static_cast<std::uint8_t>(frame);
        });
        testing::internal::CaptureStdout();
        ASSERT_EQ(sys_init_AHD(), 0);
        ASSERT_TRUE(alloc_camera_frames(cf));
    }
    void TearDown() override {
        testing::internal::GetCapturedStdout();
        BoardTest::TearDown();
    }
    CameraFrames cf;

    const CameraBuffer* other(const CameraBuffer* shown) const { return shown == cf.sets[0] ? cf.sets[1] : cf.sets[0]; }
};

TEST_F(CameraFramesTest, EachCameraLandsInItsOwnBuffer) {
    first_frames(cf);
    const CameraBuffer* shown = next_frames(cf, 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(shown[c].y[0], CAPTURE_CHANNEL[c]) << c;
        EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(shown[c].uv)[0], 0x80 | CAPTURE_CHANNEL[c]) << c;
    }
}

TEST_F(CameraFramesTest, ThePictureLagsTheCaptureByOnePass) {
    first_frames(cf);
    // The first pass composes set A, copied before the loop.
    const CameraBuffer* shown = next_frames(cf, 0);
    EXPECT_EQ(shown, cf.sets[0]);
    for (std::uint16_t pass = 1; pass < 6; ++pass) {
        const std::uint8_t before = shown[CAM_BACK].y[1];
        shown = next_frames(cf, pass);
        // The second pass composes set B, and so on alternately.
        EXPECT_EQ(shown, cf.sets[pass % 2]);
        for (int c = 0; c < 4; ++c) {
            // What is shown now was copied one pass ago; this pass's frame is one further.
            EXPECT_EQ(shown[c].y[1], static_cast<std::uint8_t>(before + 1)) << c;
            EXPECT_EQ(other(shown)[c].y[1], static_cast<std::uint8_t>(before + 2)) << c;
            EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(shown[c].uv)[CAM_W * CAM_H - 1],
                      static_cast<std::uint8_t>(before + 1));
        }
    }
}

TEST_F(CameraFramesTest, FailedFetchSkipsTheCopyAndTheNextRelease) {
    first_frames(cf);
    next_frames(cf, 0);
    host::inject_failure("HI_MPI_VI_GetFrame");  // the left camera's next fetch
    const CameraBuffer* shown = next_frames(cf, 1);
    EXPECT_FALSE(cf.held[CAM_LEFT]);
    EXPECT_TRUE(cf.held[CAM_RIGHT]);
    const std::uint8_t stale = other(shown)[CAM_LEFT].y[1];
    EXPECT_NE(stale, other(shown)[CAM_RIGHT].y[1]);  // that buffer kept an older picture
    host::board_log_clear();
    next_frames(cf, 2);
    for (const auto& line : host::board_log_lines("fault")) ADD_FAILURE() << line;
    EXPECT_TRUE(cf.held[CAM_LEFT]);
}

}  // namespace

namespace {

// The board's camera pictures and the compositor agree on the chroma layout:
// the test pattern's red left camera and blue back camera keep their colours.
TEST(CameraColours, PatternColoursSurviveTheCompositor) {
    char tmpl[] = "/tmp/board-test-XXXXXX";
    const std::filesystem::path root = mkdtemp(tmpl);
    host::BoardOptions o;
    o.root = root;
    o.paced = false;
    o.start_mcu = false;
    host::board_init(o);
    testing::internal::CaptureStdout();
    ASSERT_EQ(sys_init_AHD(), 0);
    CameraFrames cf;
    ASSERT_TRUE(alloc_camera_frames(cf));
    first_frames(cf);
    const CameraBuffer* shown = next_frames(cf, 0);
    testing::internal::GetCapturedStdout();

    std::vector<std::uint32_t> yuv2rgb(1u << 22);
    Init_table_YUV2RGB(yuv2rgb.data());
    std::vector<Image_table> table(TABLE_W * TABLE_H);
    // Row 20 from the left camera (slot 4), row 21 from the back camera (slot 0).
    for (int col = COMPOSE_LEFT; col <= COMPOSE_RIGHT; ++col) {
        table[20 * TABLE_W + col] = Image_table{0x14, 0, 0, 20 * CAM_W + 20, {255, 0, 0, 0}, 0, {}};
        table[21 * TABLE_W + col] = Image_table{0x10, 0, 0, 20 * CAM_W + 20, {255, 0, 0, 0}, 0, {}};
    }
    std::vector<std::uint32_t> canvas(TABLE_W * TABLE_H);
    set_image(canvas.data(), table.data(), shown[CAM_FRONT].y, shown[CAM_FRONT].uv, shown[CAM_BACK].y,
              shown[CAM_BACK].uv, shown[CAM_LEFT].y, shown[CAM_LEFT].uv, shown[CAM_RIGHT].y, shown[CAM_RIGHT].uv,
              yuv2rgb.data());
    auto rgb = [&](int row) {
        const std::uint32_t p = canvas[row * TABLE_W + 100];
        return std::array<int, 3>{int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
    };
    const auto red = rgb(20), blue = rgb(21);
    EXPECT_GT(red[0], red[1] + 60) << red[0] << " " << red[1] << " " << red[2];
    EXPECT_GT(red[0], red[2] + 60);
    EXPECT_GT(blue[2], blue[0] + 60) << blue[0] << " " << blue[1] << " " << blue[2];
    EXPECT_GT(blue[2], blue[1] + 60);
    host::board_shutdown();
    std::filesystem::remove_all(root);
}

}  // namespace
