#pragma once
// The refrigeration unit of a reefer container, reached with '{'-frames.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct ChillerState {
  std::string container = "ABCU1234567";
  float returnAir = 4.75f;                // degrees Celsius
  float supplyAir = 2.5f;
  int16_t setPointHundredths = -1850;     // as written: degrees * 100
  uint8_t workMode = 2;                   // 0 off, 1 on, 2 cooling, 3 heating, 4 defrost
  std::vector<uint8_t> alarms;            // alarm codes, one byte each
  int16_t minSetPoint = -3000;            // range a write accepts, hundredths of a degree
  int16_t maxSetPoint = 3000;
  std::optional<uint8_t> forcedWriteStatus;  // answer every write with this status, unchanged
};

// Write status codes of the simulated unit (0 is success).
inline constexpr uint8_t kChillerBadLength = 1;
inline constexpr uint8_t kChillerOutOfRange = 2;

}  // namespace sim
