#pragma once
// The fixed calibration tables of a one-sensor temperature/humidity instrument, its current
// readings and its zero-point corrections, all in signed tenths.
#include <array>
#include <cstdint>

namespace sim {

struct FixedCurvesState {
  // The calibrated value for each raw point -40.0 .. 100.0 (temperature) and 0.0 .. 100.0
  // (humidity); the identity until written.
  std::array<int16_t, 15> temperature{-400, -300, -200, -100, 0,   100, 200, 300,
                                      400,  500,  600,  700,  800, 900, 1000};
  std::array<int16_t, 11> humidity{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000};
  int16_t temperatureNow = 253;  // 25.3 °C
  int16_t humidityNow = 587;     // 58.7 %RH
  int16_t temperatureZero = 0;
  int16_t humidityZero = 0;
  // The 18 bytes after the humidity values and the 10 after the temperature values of the last
  // table writes, which must be zero.
  bool paddingNonZero = false;
};

}  // namespace sim
