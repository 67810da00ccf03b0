// The view states: when the display goes on and off, which state follows,
// and the hold times.
#include <vector>

#include "dsp/dsp_image.h"
#include "tests/board_fixture.h"
#include "vio/settings.h"
#include "vio/vio.h"
#include "vio/vio_states.h"

namespace {

class ViewStates : public BoardTest {
protected:
    std::vector<Image_table> t0 = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<Image_table> t1 = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<std::uint32_t> canvas = std::vector<std::uint32_t>(TABLE_W * TABLE_H);
    std::vector<std::uint32_t> yuv2rgb = std::vector<std::uint32_t>(1u << 22);
    Kv_UART_INFO uart{};
    std::uint8_t status = 1;
    std::uint8_t post = 0;

    void SetUp() override {
        BoardTest::SetUp();
        table0 = t0.data();
        table1 = t1.data();
        table = table0;
        pBuf1 = canvas.data();
        ptable_YUV2RGB = yuv2rgb.data();
        flash_param = flash_param_default;
        flash_param.flagf = flash_param.flagb = flash_param.flagl = flash_param.flagr = 1;
        uart.sys_status = 0x10;
        uart.angle = 0;
        delay_time = 0;
        back_bk = 0;
        gpio_reverse = 0;
    }
    void TearDown() override {
        table = table0 = table1 = nullptr;
        pBuf1 = nullptr;
        ptable_YUV2RGB = nullptr;
        BoardTest::TearDown();
    }

    // One pass with these trigger bits and this key.
    void pass(std::uint8_t bits, std::uint8_t key = 0) {
        uart.sys_status = static_cast<std::uint8_t>(0x10 | bits);
        const PassInfo p{key, static_cast<std::uint8_t>(bits & 0x0F), post, &uart};
        if (status == 1) idle_state(status, p);
        else view_state(status, p);
        post = p.temp_status;
    }
};

TEST_F(ViewStates, ReverseShowsTheTriggeredViewAndSwitchesTheDisplayOn) {
    pass(0);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(host::av_power());
    pass(0x04);
    EXPECT_EQ(status, 4);
    EXPECT_TRUE(host::av_power());
}

TEST_F(ViewStates, ReleasingReverseHoldsTheViewForTheBackTime) {
    flash_param.im_param.back_time = 1;  // 10 s
    pass(0x04);
    pass(0x04);
    EXPECT_EQ(status, 4);
    pass(0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(delay_time, 10);
    // A new trigger during the hold returns to the triggered view.
    delay_time = 3;
    pass(0x04);
    EXPECT_EQ(status, 4);
    pass(0);
    EXPECT_EQ(status, 5);
    delay_time = 0;  // the one-second tick counted it down
    pass(0);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(host::av_power());
}

TEST_F(ViewStates, HoldCodesMapToSeconds) {
    const int back[] = {0, 10, 15, 20, 30, 0};
    const int turn[] = {0, 0, 10, 20, 30, 0};
    for (int code = 0; code < 6; ++code) {
        EXPECT_EQ(get_backtime(code), back[code]);
        EXPECT_EQ(get_turntime(code), turn[code]);
    }
    EXPECT_EQ(get_time(5), 60);
    EXPECT_EQ(get_time(6), 0);
}

TEST_F(ViewStates, HoldCodeZeroReturnsToIdleOnTheNextPass) {
    flash_param.im_param.back_time = 0;
    pass(0x04);
    pass(0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(delay_time, 0);
    pass(0);
    EXPECT_EQ(status, 1);
}

TEST_F(ViewStates, TurnSignalsTriggerOnlyWhenTurnTriggeringIsOn) {
    flash_param.im_param.turn_time = 0;
    pass(0x02);
    EXPECT_EQ(status, 1);
    flash_param.im_param.turn_time = 3;  // 20 s
    pass(0x02);
    EXPECT_EQ(status, 4);
    pass(0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(delay_time, 20);  // the turn time, as the trigger was no reverse
}

TEST_F(ViewStates, ExitKeysDoNothingWhileTheTriggerLasts) {
    pass(0x04);
    pass(0x04, KEY_EXIT);
    EXPECT_EQ(status, 4);
    pass(0x04, 178);
    EXPECT_EQ(status, 4);
    EXPECT_TRUE(host::av_power());
}

TEST_F(ViewStates, KeysInIdleOpenAUserView) {
    // OK shows the front view in the idle state; it does not open the menu.
    pass(0, KEY_OK);
    EXPECT_EQ(status, 3);
    EXPECT_TRUE(host::av_power());
    pass(0, KEY_EXIT);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(host::av_power());
    for (std::uint8_t key : {16, 96, 177, 178, 27, 4, 6, 26}) {
        status = 1;
        pass(0, key);
        EXPECT_EQ(status, 3) << int(key);
    }
    // Another key leaves the output as it is.
    status = 1;
    pass(0, 12);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(host::av_power());
}

TEST_F(ViewStates, OkInAViewOpensTheMainMenu) {
    pass(0, KEY_OK);
    pass(0, KEY_OK);
    EXPECT_EQ(status, 14);
    EXPECT_EQ(choos, 1);
    EXPECT_EQ(table, table0);
}

TEST_F(ViewStates, UncalibratedCamerasStartCalibration) {
    flash_param.flagl = 0;
    pass(0x04);
    EXPECT_EQ(status, 6);
    EXPECT_EQ(table, table1);
    EXPECT_TRUE(host::av_power());
    status = 1;
    table = table0;
    pass(0, KEY_DOWN);
    EXPECT_EQ(status, 6);
}

TEST_F(ViewStates, ReleasingReverseInAUserViewStartsTheHold) {
    flash_param.im_param.back_time = 4;  // 30 s
    pass(0, KEY_DOWN);
    EXPECT_EQ(status, 3);
    pass(0x04);  // reverse engaged while in the user view
    EXPECT_EQ(status, 3);
    pass(0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(delay_time, 30);
    pass(0, KEY_EXIT);
    EXPECT_EQ(status, 1);
}

TEST_F(ViewStates, AccDelayFiveKeepsTheDisplayOn) {
    flash_param.im_param.acc_time = 5;
    pass(0, KEY_OK);
    pass(0, KEY_EXIT);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(host::av_power());
}

}  // namespace
