#pragma once
// Request builders for the simulator's tests: the bytes a program puts on the wire, sealed with
// the shared check values.
#include <initializer_list>
#include <utility>

#include "link/checks.h"
#include "sim/simulator.h"

namespace sim::testing {

inline Bytes WithSum(Bytes frame) {
  frame.push_back(devlink::Sum8(frame.data(), static_cast<int32_t>(frame.size())));
  return frame;
}

// `start`, the given bytes (address, command, sub-command, N, payload), 'f', Sum8.
inline Bytes SumFrame(uint8_t start, const Bytes& body) {
  Bytes frame;
  frame.reserve(body.size() + 3);
  frame.push_back(start);
  for (uint8_t b : body) frame.push_back(b);
  frame.push_back(0x66);
  return WithSum(std::move(frame));
}

inline Bytes SumRequest(const Bytes& body) { return SumFrame(0x25, body); }

// The bytes followed by their CRC, low byte first.
inline Bytes WithCrc(Bytes frame) {
  uint16_t crc = devlink::Crc16Modbus(frame.data(), static_cast<uint32_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

// The bytes followed by their Xor8.
inline Bytes WithXor(Bytes frame) {
  frame.push_back(devlink::Xor8(frame.data(), static_cast<int32_t>(frame.size()), 0));
  return frame;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Replies of a Feed() as plain byte strings.
inline std::vector<Bytes> FeedAll(Simulator& simulator, const Bytes& bytes) {
  std::vector<Bytes> replies;
  for (auto& r : simulator.Feed(bytes.data(), bytes.size())) replies.push_back(r.bytes);
  return replies;
}

}  // namespace sim::testing
