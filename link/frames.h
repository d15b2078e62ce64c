#pragma once
// Builders and validators of the three frame families. Pure functions: no I/O.
//
// SumFrame   : '%' addr cmd sub N payload[N] 'f' Sum8      (reply starts with '<', same shape)
// ModbusFrame: addr func data... CRC16 (low byte first)
// XorFrame   : '{' kind cmd N(2, big-endian) payload[N] Xor8
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/codecs.h"

namespace devlink {

enum class FrameFamily { Sum, Modbus, Xor };

// Which check a reply failed. Validators make their checks in a fixed order and report the
// first one that fails, so each command can map it to its own message.
enum class FrameCheck {
  Ok,
  Length,        // byte count differs from the expected length
  StartByte,     // SumFrame '<' / XorFrame '{'
  Echo,          // echoed command (SumFrame byte 2, Modbus function, XorFrame byte 2)
  Kind,          // XorFrame kind byte (0x80 read, 0x81 write)
  ByteCount,     // Modbus 0x03 byte count
  Checksum,      // Sum8 / Xor8 / CRC
  EndMarker,     // SumFrame 'f' before the sum
  Ack,           // set command without the 0x55 'U' acknowledgement
  FixedByte,     // a byte that a reply without check value must carry (RelayFrame)
};
const char* FrameCheckName(FrameCheck check);

// ---- SumFrame ----
constexpr uint8_t kSumRequestStart = 0x25;  // '%'
constexpr uint8_t kSumReplyStart = 0x3C;    // '<'
constexpr uint8_t kSumEndMarker = 0x66;     // 'f'
constexpr uint8_t kAck = 0x55;              // 'U'
constexpr size_t kSumFrameOverhead = 7;
constexpr size_t kSumFramePayloadFrom = 5;  // the first payload byte
constexpr size_t kSumMaxPayload = 255;  // the length byte

// Returns an empty frame when the payload does not fit the length byte.
Bytes BuildSumFrame(uint8_t address, uint8_t command, uint8_t subCommand, ByteView payload = {});

// Fixed-length reply: count == expectedLength, '<', echo, Sum8, 'f', and (requireAck) payload
// byte 0x55.
FrameCheck CheckSumFrame(ByteView reply, uint8_t command, size_t expectedLength,
                         bool requireAck = false);
// The checks a fixed-length reply gets besides its length, Sum8 and 'f', for commands whose
// instruments do not fill the start byte or the echo, or that acknowledge with 0x55.
struct SumReplyChecks {
  bool start = true;        // '<'
  bool echo = true;         // byte 2 == command
  bool end = true;          // 'f' before the sum
  bool ack = false;         // payload byte 0 == ackByte
  uint8_t ackByte = kAck;   // 0x55 'U' for most set commands
};
FrameCheck CheckSumFrame(ByteView reply, uint8_t command, size_t expectedLength,
                         SumReplyChecks checks);
// Variable-length reply: count > minimumLength and count == byte 4 + 7, then as above.
FrameCheck CheckSumFrameVariable(ByteView reply, uint8_t command, size_t minimumLength,
                                 bool requireAck = false);
// Payload bytes of a reply that passed its checks: everything between the five header bytes and
// the 'f' (bytes 5 .. size-3). For a variable-length reply that is N bytes; for a fixed-length
// reply it is what the expected length says, whatever the device put in byte 4. Empty for a
// frame shorter than 7 bytes.
ByteView SumFramePayload(ByteView frame);

// ---- ModbusFrame ----
constexpr uint8_t kModbusRead = 0x03;
constexpr uint8_t kModbusWriteSingle = 0x06;
constexpr uint8_t kModbusWriteMultiple = 0x10;
constexpr size_t kModbusMaxWriteRegisters = 123;  // keeps a 0x10 request within 256 bytes

// address, function, data, then CRC low byte first.
Bytes BuildModbusFrame(uint8_t address, uint8_t function, ByteView data);
Bytes BuildModbusRead(uint8_t address, uint16_t firstRegister, uint16_t count);
Bytes BuildModbusWriteSingle(uint8_t address, uint16_t reg, uint16_t value);
// Returns an empty frame for more than kModbusMaxWriteRegisters values.
Bytes BuildModbusWriteMultiple(uint8_t address, uint16_t firstRegister,
                               std::span<const uint16_t> values);
// Appends Crc16Modbus of all bytes so far, low byte first.
void AppendCrc16(Bytes& frame);

// count == expectedLength, function echoed, for 0x03 the byte count (== expectedLength - 5),
// then the CRC. A reply shorter than 4 bytes fails on its length.
FrameCheck CheckModbusFrame(ByteView reply, uint8_t function, size_t expectedLength);
// Register values of a 0x03 reply that passed its checks (never more than the reply holds).
std::vector<uint16_t> ModbusRegisters(ByteView reply);

// ---- XorFrame ----
constexpr uint8_t kXorStart = 0x7B;  // '{'
constexpr uint8_t kXorRead = 0x00;
constexpr uint8_t kXorWrite = 0x01;
constexpr size_t kXorFrameOverhead = 6;
constexpr size_t kXorMaxPayload = 0xFFFF;

// Returns an empty frame when the payload does not fit the 16-bit length.
Bytes BuildXorFrame(uint8_t kind, uint8_t command, ByteView payload = {});
// byte 0 == request byte 0, byte 2 == request command, byte 1 == request kind | 0x80,
// Xor8, then count == big-endian length + 6. A reply shorter than the 6 framing bytes fails on
// its length before anything else, since none of its fields can be read.
FrameCheck CheckXorFrame(ByteView reply, ByteView request);
// Bytes 5 .. size-2 of a reply that passed its checks.
ByteView XorFramePayload(ByteView frame);

// The whole length of a frame of the family as far as its first bytes tell it, or 0 while they
// do not tell it yet: SumFrame byte 4 + 7; XorFrame bytes 3-4 + 6; ModbusFrame 5 for an exception
// (function with bit 7), byte count + 5 for 0x03, 8 for 0x06 and 0x10.
size_t FrameLength(ByteView received, FrameFamily family);

// When a reply that is being read is whole: it has the command's expected length, or as many
// bytes as its own header announces.
struct ReplyCompletion {
  FrameFamily family = FrameFamily::Sum;
  size_t expectedLength = 0;  // 0: only the frame's own length decides
  // False for a reply whose header byte is not its length (a history block): only
  // `expectedLength` ends the read.
  bool headerTellsLength = true;
  // A RelayFrame-shaped reply whose byte 5 counts the bytes after it: whole at byte 5 + 6 bytes
  // (`expectedLength` is then not used).
  bool lengthInByte5 = false;
  bool IsComplete(ByteView received) const;
};

// Acceptance of a reply whose length is not known in advance (TCP channel, diagnostics):
//   Sum   : first byte '<' and, if checkValue, last byte == Sum8 of the ones before it;
//   Modbus: if checkValue, the last two bytes are the CRC of the ones before them (low first);
//   Xor   : first byte '{' and, if checkValue, last byte == Xor8 of the ones before it.
// An empty reply never passes.
bool ReplyPassesFamilyCheck(ByteView reply, FrameFamily family, bool checkValue);

}  // namespace devlink
