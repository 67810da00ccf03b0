// The states of the main loop: idle (1), user view (3), triggered view (4),
// the hold after a trigger (5) and the calibration steps (6 to 10).
#pragma once

#include <cstdint>

#include "dsp/dsp_control.h"
#include "dsp/dsp_gaus.h"

// What a handler sees of the pass.
struct PassInfo {
    std::uint8_t key;
    std::uint8_t temp_status;       // this pass's trigger bits
    std::uint8_t post_temp_status;  // the previous pass's
    const Kv_UART_INFO* uart;
    int uart_fd = -1;  // the serial line to the microcontroller
};

// The main menu's cursor, set when the menu is entered.
extern std::uint16_t choos;

// Hold times in seconds by setting code.
int get_backtime(int code);
int get_turntime(int code);
int get_time(int code);
void timer_start(int seconds);
std::uint8_t timer_get();
void timer_clear();

// The calibration screen on table1, waiting for the camera to be chosen (state 6).
void enter_calibration_screen(std::uint8_t& status);

void idle_state(std::uint8_t& status, const PassInfo& pass);
// States 3, 4 and 5; false for a state without a handler here.
bool view_state(std::uint8_t& status, const PassInfo& pass);

// A state's handler; it sets `status` for the next pass.
using StateHandler = void (*)(std::uint8_t& status, const PassInfo& pass);
// Runs the handler of `status`; a state without one does nothing.
void run_state(std::uint8_t& status, const PassInfo& pass);

// Calibration: the camera being calibrated (1 back, 2 left, 4 right,
// 8 front), the mark being placed (from 1), the marks, their undistorted
// points and the projections being computed.
extern std::uint8_t cali_dir;
extern std::uint8_t cali_point;
extern Cali_pos temp_pos;
extern Zuobiao zzz;
extern double b_xishu_bk[9], f_xishu_bk[9], l_xishu_bk[9], r_xishu_bk[9];

void choose_camera_state(std::uint8_t& status, const PassInfo& pass);  // 6
void place_marks_state(std::uint8_t& status, const PassInfo& pass);    // 7
void compute_state(std::uint8_t& status, const PassInfo& pass);        // 8
void adjust_marks_state(std::uint8_t& status, const PassInfo& pass);   // 9
void refine_state(std::uint8_t& status, const PassInfo& pass);         // 10
