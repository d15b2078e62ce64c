#pragma once
// The logger's (curve calibration kind 2) sensor curves: its channel list, one 100-byte curve
// record per channel code, the real-time raw values and the display values of its channels.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "sim/simulator.h"

namespace sim {

inline constexpr char kLoggerCurveFamily[] = "logger-curve";

struct LoggerCurvesState {
  // Bit i set: physical channel i + 1 is fitted; the channels fitted are the logical channels
  // 1, 2, ... in order.
  uint8_t channelMap = 0xFF;
  // The code of each physical channel (the channel list sends code + 5; the curve frames carry
  // '0' + code).
  std::array<uint8_t, 8> codes{0, 1, 2, 3, 4, 5, 6, 7};
  // Curve records (frame bytes 6-105) by code; a code never written reads as zeros.
  std::map<uint8_t, std::vector<uint8_t>> records;
  // Real-time raw reading of each physical channel.
  std::array<uint16_t, 8> raw{};
  // Display value of each channel as the display frames list them (channel ch at 4ch + 2).
  std::array<float, 8> display{};
  int writes = 0;  // curve writes and initialisations carried out
};

void RegisterLoggerCurves(Simulator& simulator);

}  // namespace sim
