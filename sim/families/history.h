#pragma once
// The stored history of a simulated transmitter and GPRS module.
#include <cstdint>
#include <optional>
#include <vector>
#include <string>

#include "sim/simulator.h"

namespace sim {

struct HistoryState {
  int32_t recordCount = 25;
  int32_t blockSize = 360;  // bytes of a full block (40 records)
  int failBlock = 0;        // this block number is never answered (0: none)
  int silentFrom = 0;       // from this block on nothing is answered (0: never): gone silent
  // Records (from 0) stored with month 13: a clock that was never set, or a damaged memory.
  std::vector<int32_t> impossibleTimes;
  // GPRS stream: values per line announced in the head, and the text after the head (lines
  // ending in CR LF). Absent: one line per stored record, announced as recordCount records.
  uint8_t valueCount = 2;
  std::optional<std::string> gprsText;
  std::optional<int32_t> gprsAnnounced;
};

// Record `index` (from 0) as its 9 stored bytes: a minute apart from 2023-05-06 07:08, the
// first one 23.1 °C and 60.0 %RH, some below zero.
Bytes SimulatedRecord(int32_t index);
// The text line of the same record in a GPRS stream (with its CR LF).
std::string SimulatedLine(int32_t index);

void RegisterHistory(Simulator& simulator);

}  // namespace sim
