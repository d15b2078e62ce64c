#pragma once
// Production date code (year * 16 + month) and serial number of the instrument.
#include <cstdint>

namespace sim {

struct SerialNumberState {
  bool configured = true;     // false: an instrument that never had an SN written
  uint16_t dateCode = 0x7EAC; // December 2026
  uint16_t serial = 1;
};

}  // namespace sim
