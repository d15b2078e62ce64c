#pragma once
// Per-channel configuration, protection values, printout texts and servers of a multi-channel
// cold-chain recorder.
#include <array>
#include <cstdint>

#include "sim/simulator.h"

namespace sim {

struct PropertyChannel {
  uint8_t type = 0;           // sensor type code (0: not configured)
  bool soundLight = false;    // sound/light alarm output
  bool sms = false;           // SMS alarm output
  uint32_t cardId = 0;        // shown as 8 hex digits, most significant first
  uint16_t snPrefix = 0;      // first four SN characters (hex)
  uint16_t snSerial = 0;      // last five SN characters (decimal)
  float upper = 0.0f;
  float lower = 0.0f;
  float protectionUpper = 0.0f;
  float protectionLower = 0.0f;
};

struct PropertyServer {
  std::array<uint8_t, 4> ip{};
  uint16_t port = 0;
  std::array<uint8_t, 32> domain{};  // zero-padded text in the instrument's code page
};

struct PropertyState {
  PropertyState();
  std::array<PropertyChannel, 32> channels{};
  Bytes company;  // instrument code page (GBK), no terminator
  Bytes plate;
  PropertyServer dataServer;
  PropertyServer configServer;
};

}  // namespace sim
