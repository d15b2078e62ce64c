#pragma once
// For command-module tests: frames as an instrument sends them, sealed with the shared check
// values (the request side is written out byte by byte in the tests).
#include <cstdint>

#include "link/checks.h"
#include "link/codecs.h"

namespace pages::testing {

// The bytes followed by their Sum8.
inline devlink::Bytes WithSum(devlink::Bytes frame) {
  frame.push_back(devlink::Sum8(frame.data(), static_cast<int32_t>(frame.size())));
  return frame;
}

// The bytes followed by their Xor8.
inline devlink::Bytes WithXor(devlink::Bytes frame) {
  frame.push_back(devlink::Xor8(frame.data(), static_cast<int32_t>(frame.size()), 0));
  return frame;
}

// A '<'-reply: '<' address command status(0) N payload 'f' Sum8.
inline devlink::Bytes SumReply(uint8_t address, uint8_t command, const devlink::Bytes& payload) {
  devlink::Bytes frame{0x3C, address, command, 0x00, static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0x66);
  return WithSum(frame);
}

// Recomputes the Sum8 at the end of a frame after a test changed one of its bytes.
inline void Reseal(devlink::Bytes& frame) {
  frame.back() = devlink::Sum8(frame.data(), static_cast<int32_t>(frame.size() - 1));
}

}  // namespace pages::testing
