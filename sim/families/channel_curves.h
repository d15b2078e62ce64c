#pragma once
// The per-channel sensor curves of the multi-channel instruments: for each curve command pair
// and channel, the curve's bytes as the instrument sends them (pairs of environment and raw
// value, empty slots in the kind's pattern).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace sim {

struct ChannelCurvesState {
  // Which instrument answers the 0x07 / 0x03 commands: -1 one with the fixed calibration tables
  // (0x07 01 / 02), else the multi-channel kind 1 (32-bit), 3 (WiFi transmitter) or 4 (32-bit
  // card) with a curve per channel. The transmitter's (0x22/0x23) and the refrigerated box's
  // (0x50/0x51) curves are always answered.
  int kind = -1;
  // Curve bytes by read command and channel index (channel - 1); a channel never written reads
  // as all slots empty.
  std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> curves;
  int writes = 0;
  // The digital sensor's curves (kind 7): the 32 data bytes of the 16 registers from
  // (channel - 1 + 16) * 256, by channel index; a channel never written reads as zeros.
  std::map<uint8_t, std::vector<uint8_t>> sensorCurves;
  // Each channel's live values by channel index: what it shows (display) and its sensor's raw
  // value. They are answered for the kind in `kind` (0, 1, 3, 4, 6 or 7); -1 answers none.
  static constexpr std::size_t kChannels = 32;
  std::array<double, kChannels> display{};
  std::array<double, kChannels> raw{};

  ChannelCurvesState();
};

}  // namespace sim
