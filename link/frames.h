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
};
const char* FrameCheckName(FrameCheck check);

// ---- SumFrame ----
constexpr uint8_t kSumRequestStart = 0x25;  // '%'
constexpr uint8_t kSumReplyStart = 0x3C;    // '<'
constexpr uint8_t kSumEndMarker = 0x66;     // 'f'
constexpr uint8_t kAck = 0x55;              // 'U'
constexpr size_t kSumFrameOverhead = 7;

Bytes BuildSumFrame(uint8_t address, uint8_t command, uint8_t subCommand, ByteView payload = {});

// Fixed-length reply: count == expectedLength, '<', echo, Sum8, 'f', and (requireAck) payload
// byte 0x55.
FrameCheck CheckSumFrame(ByteView reply, uint8_t command, size_t expectedLength,
                         bool requireAck = false);
// Variable-length reply: count > minimumLength and count == byte 4 + 7, then as above.
FrameCheck CheckSumFrameVariable(ByteView reply, uint8_t command, size_t minimumLength,
                                 bool requireAck = false);
// Payload bytes of a reply that passed its checks (bytes 5 .. 5+N-1).
ByteView SumFramePayload(ByteView frame);

// ---- ModbusFrame ----
constexpr uint8_t kModbusRead = 0x03;
constexpr uint8_t kModbusWriteSingle = 0x06;
constexpr uint8_t kModbusWriteMultiple = 0x10;

// address, function, data, then CRC low byte first.
Bytes BuildModbusFrame(uint8_t address, uint8_t function, ByteView data);
Bytes BuildModbusRead(uint8_t address, uint16_t firstRegister, uint16_t count);
Bytes BuildModbusWriteSingle(uint8_t address, uint16_t reg, uint16_t value);
Bytes BuildModbusWriteMultiple(uint8_t address, uint16_t firstRegister,
                               std::span<const uint16_t> values);
// Appends Crc16Modbus of all bytes so far, low byte first.
void AppendCrc16(Bytes& frame);

// count == expectedLength, function echoed, for 0x03 the byte count (== expectedLength - 5),
// then the CRC.
FrameCheck CheckModbusFrame(ByteView reply, uint8_t function, size_t expectedLength);
// Register values of a 0x03 reply that passed its checks.
std::vector<uint16_t> ModbusRegisters(ByteView reply);

// ---- XorFrame ----
constexpr uint8_t kXorStart = 0x7B;  // '{'
constexpr uint8_t kXorRead = 0x00;
constexpr uint8_t kXorWrite = 0x01;
constexpr size_t kXorFrameOverhead = 6;

Bytes BuildXorFrame(uint8_t kind, uint8_t command, ByteView payload = {});
// byte 0 == request byte 0, byte 2 == request command, byte 1 == request kind | 0x80,
// Xor8, then count == big-endian length + 6.
FrameCheck CheckXorFrame(ByteView reply, ByteView request);
ByteView XorFramePayload(ByteView frame);

}  // namespace devlink
