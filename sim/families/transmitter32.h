#pragma once
// A transmitter with a GSM module. Its intervals, alarm numbers and alarm delay are the GSM
// recorder settings of fridge_box.h, answered by the same commands.
#include <array>
#include <cstdint>

namespace sim {

struct Transmitter32State {
  uint8_t recording = 1;           // 0x85 / 0x86
  uint8_t soundLight = 1;          // 'K' / 'L': master switch
  uint8_t sms = 1;                 // 'M' / 'N': master switch
  uint8_t externalSoundLight = 1;  // 'T' / 'U': external power
  uint8_t externalSms = 1;
  uint8_t signal = 23;             // 0x80: GSM signal strength
  std::array<uint8_t, 60> apn{};   // 0x88 / 0x89: APN, user name, password, 20 bytes each
  int factoryResets = 0;           // 0x96
};

}  // namespace sim
