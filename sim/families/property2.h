#pragma once
// Sample period of each channel and screen-off time of a multi-channel instrument's display.
#include <array>
#include <cstdint>

namespace sim {

struct Property2State {
  Property2State() { periods.fill(10); }
  std::array<uint16_t, 32> periods{};  // seconds, per channel 1..32
  uint16_t screenOff = 60;             // seconds; 0 = never
};

}  // namespace sim
