#pragma once
// The recorder of a refrigerated box, and the settings it shares with the 32-bit transmitter:
// both instruments answer the same interval, alarm-number and 'I'/'J' commands.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/simulator.h"

namespace sim {

// What the GSM recorders keep alike.
struct GsmRecorderState {
  uint16_t upload = 10;   // minutes
  uint16_t history = 30;  // minutes
  uint16_t print = 10;    // minutes
  uint16_t alarm = 2;     // minutes
  std::array<std::string, 3> alarmNumbers;  // slots 1..3, as the characters were received
  // 'I'/'J': the box's interval between alarm text messages, the transmitter's alarm delay.
  uint16_t messageSeconds = 0;
};

struct FridgeBoxState {
  uint8_t device = 1;     // on
  uint8_t second = 1;     // second state byte
  uint8_t recording = 1;  // on
};

// Answers the shared commands ('A', 'B', 'G', 'H', 'I', 'J' to address 0) from
// GsmRecorderState; std::nullopt for any other request.
std::optional<Bytes> HandleGsmRecorder(Instrument& device, const Bytes& frame);

}  // namespace sim
