// The reverse and forward views with their guide lines, compared with
// reference pictures a person has looked at (tests/ref/). A missing reference
// is written when SCREENS_WRITE_REFS is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "dsp/dsp_guiji.h"
#include "host/board.h"
#include "tests/guiji_view/composed_view.h"
#include "tests/scene_system.h"
#include "tests/screen_compare.h"
#include "vio/vio_states.h"

namespace {
namespace fs = std::filesystem;


std::string angle_name(int a) {
    if (a == 0) return "0";
    return std::string(a < 0 ? "m" : "p").append(std::to_string(std::abs(a)));
}

TEST(GuideLineScreens, ReverseViewAcrossTheSteeringRange) {
    for (const short a : {-2509, -1200, 0, 1200, 2509}) {
        SceneSystem& s = view(4);
        draw_guiji_b_zurid(s.canvas.data(), a, s.yuv2rgb.data());
        expect_like_reference("guiji-back-" + angle_name(a), s.canvas);
    }
}

// Beyond the steering limit the triggered view draws the straight lines, the
// same screen as at angle 0.
TEST(GuideLineScreens, ReverseViewBeyondTheLimitIsStraight) {
    SceneSystem& s = view(4);
    pBuf1 = s.canvas.data();
    ptable_YUV2RGB = s.yuv2rgb.data();
    table = table0 = s.t0.data();
    Kv_UART_INFO uart{};
    uart.angle = 2510;
    std::uint8_t status = 4;
    view_state(status, PassInfo{0, 4, 4, &uart});
    EXPECT_EQ(status, 4);
    expect_like_reference("guiji-back-0", s.canvas);
}

TEST(GuideLineScreens, ForwardViewSteeringRight) {
    SceneSystem& s = view(0);
    draw_guiji_f(s.canvas.data(), 1500, s.yuv2rgb.data());
    expect_like_reference("guiji-front-p1500", s.canvas);
}

}  // namespace
