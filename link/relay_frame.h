#pragma once
// RelayFrame: the frames of the GPRS relay and of the GPRS module's download. A request is
//
//   '%' '0' '0' marker command N payload 'f' [CRC]
//
// where N counts every byte after itself (payload, 'f' and the CRC when there is one) and the
// CRC is CRC-16/MODBUS of bytes 1 .. 'f' (the '%' left out), high byte first. The marker byte is
// 0x00, or 0x30 for the relay's block writes. Replies carry no check value: each command accepts
// its reply by the exact length and a few fixed bytes (`RelayReply`).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/codecs.h"
#include "link/frames.h"

namespace devlink {

inline constexpr uint8_t kRelayRequestStart = 0x25;  // '%'
inline constexpr uint8_t kRelayReplyStart = 0x3C;    // '<'
inline constexpr uint8_t kRelayEnd = 0x66;           // 'f'
inline constexpr uint8_t kRelayFiller = 0x30;        // '0', bytes 1-2 of every request
inline constexpr uint8_t kRelayPlain = 0x00;         // byte 3 of most requests
inline constexpr uint8_t kRelayBlockWrite = 0x30;    // byte 3 of the block writes
inline constexpr size_t kRelayHeader = 6;            // '%' '0' '0' marker command N

enum class RelayCrc { None, HighFirst };

// The request for `command` with `payload`. Empty when N would not fit its byte.
Bytes BuildRelayFrame(uint8_t command, ByteView payload, RelayCrc crc,
                      uint8_t marker = kRelayPlain);
// A bare read: 25 30 30 00 command 01 66.
Bytes BuildRelayRead(uint8_t command);
// CRC-16/MODBUS of frame[1 ..], appended high byte first.
void AppendRelayCrc(Bytes& frame);

// A reply byte that must hold a fixed value.
struct FixedByte {
  size_t offset = 0;
  uint8_t value = 0;
};

// How a relay reply is accepted: its length, then its fixed bytes in order.
struct RelayReply {
  size_t length = 0;             // exact length (with `lengthFromByte5`: the shortest)
  bool lengthFromByte5 = false;  // the length is byte 5 + 6
  std::vector<FixedByte> fixed;
  bool endsWithEnd = false;      // the last byte is 'f' (for replies of variable length)
};

// Fixed-length reply '<' any any 00 command N ... 'f' as most relay commands answer: bytes 0,
// 3 (when `zeroByte3`), 4 (unless `command` is negative: any command), 5 and the last.
RelayReply RelayAnswer(size_t length, int command, uint8_t count, bool zeroByte3 = true);
// A reply that must be exactly these bytes (the relay's text acknowledgements).
RelayReply RelayExactReply(std::string_view bytes);

// First check the reply fails: Length; then byte 0 -> StartByte, byte 4 -> Echo, the final 'f'
// -> EndMarker, any other fixed byte -> FixedByte.
FrameCheck CheckRelayReply(ByteView reply, const RelayReply& expected);

}  // namespace devlink
