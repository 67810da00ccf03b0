// A fresh board for the infrared test routines, with what they read from the console
// and a capture of what they print.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

#include "board_fixture.h"

// Codes of remote keys the routines are tried with.
inline constexpr std::uint32_t kPower = 0xBA45FF00, kMute = 0xB847FF00, kF1 = 0xF30CFF00, kF2 = 0xE718FF00,
                               kF4 = 0xF708FF00;

class IrConsoleTest : public BoardTest {
protected:
    // What the routine reads from the console.
    void console(const std::string& text) {
        const auto file = root_ / "console.txt";
        std::ofstream(file) << text;
        ASSERT_NE(std::freopen(file.c_str(), "r", stdin), nullptr);
    }
    template <class F>
    std::string output(F f) {
        testing::internal::CaptureStdout();
        f();
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};
