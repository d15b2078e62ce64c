#pragma once
// Bus address, calibration switches, recording parameters, alarm and control limits and
// switches of a temperature/humidity logger, and the erasing of its history.
#include <cstdint>

namespace sim {

// One pair of limit rows in tenths of a degree / of a percent.
struct SettingsLimits {
  int16_t tempLower = 0;
  int16_t tempUpper = 0;
  int16_t humLower = 0;
  int16_t humUpper = 0;
};

struct SettingsState {
  uint8_t calibration = 0x01;    // bit 0 temperature, bit 1 humidity
  uint8_t interval = 10;         // recording interval
  bool hours = false;            // unit of the interval (minutes otherwise)
  uint16_t capacity = 2000;      // records, 1..32767
  uint8_t alarmSwitches = 0x03;  // bit 0 temperature, bit 1 humidity
  SettingsLimits alarm{-200, 400, 100, 900};
  uint8_t controlSwitches = 0x00;
  SettingsLimits control{20, 80, 300, 700};
  int historyClears = 0;  // how often the history was erased
};

}  // namespace sim
