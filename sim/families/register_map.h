#pragma once
// Holding registers of a Modbus instrument (a digital sensor by default).
#include <cstdint>
#include <map>
#include <optional>

#include "sim/simulator.h"

namespace sim {

// Registers with a meaning beyond storage.
inline constexpr uint16_t kAddressRegister = 0x0066;  // the instrument's address (1..255)
inline constexpr uint16_t kBaudRegister = 0x0067;     // baud index: 1 = 2400, 2 = 4800, 3 = 9600

struct RegisterMapState {
  // Every register the instrument has; others are answered with exception 2. The address
  // register reads and writes Instrument::address and is always present.
  std::map<uint16_t, uint16_t> registers = {
      {kBaudRegister, 3},
      {0x4000, 0x7EAC},  // date code: year * 16 + month
      {0x4001, 0x0001},  // serial number
      {0x4002, 0x0000},
      {0x4003, 0x0000},
      {0x4010, 0x3738},  // channel types: 1 temperature, 2 humidity
      {0x4020, 0x312E},  // hardware version "1.23"
      {0x4021, 0x3233},
      {0x4022, 0x322E},  // software version "2.05"
      {0x4023, 0x3035},
  };
};

// The map's answer to a Modbus request: 0x03 read, 0x06 write one, 0x10 write several;
// std::nullopt for other functions and for registers the instrument lacks. The instrument that
// owns the map (the digital sensor, sim/families/digital_sensor.cpp) answers through it once it
// has heard the request.
std::optional<Bytes> AnswerRegisters(Instrument& device, const Bytes& frame);

}  // namespace sim
