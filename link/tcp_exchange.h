#pragma once
// One self-contained TCP client transaction to a network module: connect (5 s), send, wait the
// exchange delay, collect the reply in pieces, check it; up to three attempts; close.
#include <cstdint>
#include <chrono>
#include <optional>
#include <string>

#include "link/frames.h"

namespace devlink {

struct TcpTarget {
  std::string ip;   // dotted-decimal IPv4
  int32_t port = 0;
  int32_t delayMs = 600;
  // Fast mode: instead of sleeping the delay before reading, read until `completion` says the
  // reply is whole or the delay has passed.
  bool fast = false;
  ReplyCompletion completion;
};

// What happened, for the traffic view and tool-cli's detail.
struct TcpReport {
  std::string detail;  // why it failed: "connection refused", "no reply within 600 ms", ...
  Bytes reply;         // the last attempt's bytes, accepted or not
  std::optional<std::chrono::microseconds> lastByte;  // from that attempt's send
};

// Returns 1 on success (replyCount then holds the number of bytes received), 0 on failure
// (replyCount unchanged). `reply` may be null: send only. `minimum` defaults to the capacity.
// Acceptance: received >= minimum and, by family,
//   Sum   : first byte '<' and, if checkSum, last byte == Sum8 of the ones before it;
//   Modbus: if checkSum, the last two bytes are the CRC of the ones before them (low first);
//   Xor   : first byte '{' and, if checkSum, last byte == Xor8 of the ones before it.
int TcpExchange(const TcpTarget& target, const uint8_t* request, int32_t requestLength,
                uint8_t* reply, uint32_t& replyCount, bool checkSum,
                std::optional<int32_t> minimum = std::nullopt,
                FrameFamily family = FrameFamily::Sum, TcpReport* report = nullptr);

}  // namespace devlink
