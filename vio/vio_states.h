// The view states of the main loop: idle (1), user view (3), triggered view
// (4) and the hold after a trigger (5).
#pragma once

#include <cstdint>

#include "dsp/dsp_control.h"

// What a handler sees of the pass.
struct PassInfo {
    std::uint8_t key;
    std::uint8_t temp_status;       // this pass's trigger bits
    std::uint8_t post_temp_status;  // the previous pass's
    const Kv_UART_INFO* uart;
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

void idle_state(std::uint8_t& status, const PassInfo& pass);
// States 3, 4 and 5; false for a state without a handler here.
bool view_state(std::uint8_t& status, const PassInfo& pass);
