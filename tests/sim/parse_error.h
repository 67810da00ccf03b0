// The error a scenario text is refused with.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sim/scenario.h"

inline std::string parse_error(const std::string& text) {
    std::string error;
    auto s = sim::parse_scenario(text, "/base", error);
    EXPECT_FALSE(s.has_value()) << text;
    return error;
}
