// The panel's size and the guide lines' yellow, shared by the guide-line tests.
#pragma once

#include <cstdint>

inline constexpr int kW = 800, kH = 480;
inline constexpr std::uint32_t kYellow = 0xFFF8E820u;
