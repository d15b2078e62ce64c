#pragma once
// The instrument's real-time clock. It runs at the host clock's pace from an offset that a
// set-time command moves.
#include <chrono>
#include <ctime>
#include <functional>

namespace sim {

struct ClockState {
  std::chrono::seconds offset{0};         // instrument time minus host time
  std::function<std::time_t()> hostNow;   // absent: the host's clock (tests freeze it)

  std::time_t Now() const {
    std::time_t host = hostNow ? hostNow() : std::time(nullptr);
    return host + static_cast<std::time_t>(offset.count());
  }
};

}  // namespace sim
