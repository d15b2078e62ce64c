#pragma once
// A GPRS relay: its GPRS record, instrument table, phone numbers, company name and clock, kept
// as the byte blocks it was sent, so what is written reads back.
#include <array>
#include <cstdint>
#include <optional>

#include "sim/simulator.h"

namespace sim {

inline constexpr char kRelayFamily[] = "relay";
inline constexpr char kRelayPowerFamily[] = "relay-power";

struct RelayState {
  Bytes gprs;        // bytes 6-54 of a 'Q' request / 'P' reply (49 bytes)
  Bytes table;       // bytes 6-110 of an 'I' request / 0x93 reply (105 bytes)
  Bytes phones;      // bytes 6-39 of an 'H' request: three numbers of 11 bytes and the index
  Bytes company;     // bytes 6-36 of a 'W' request: 30 name bytes and their count
  std::optional<std::array<uint8_t, 6>> clock;  // BCD y m d h m s as last set (absent: PC time)
  int clears = 0;
  bool instrumentsOn = true;
  int powerCommands = 0;

  RelayState();
};

}  // namespace sim
