#pragma once
// The three frame families as the instrument sees them: how long a request is, whether it is
// intact and meant for this instrument, and how a reply is laid out. Written from the frame
// tables, independently of the program's own frame builders.
#include <cstdint>
#include <optional>

#include "link/reply_reader.h"  // requests read through the bounds-checked reader
#include "sim/simulator.h"

namespace sim {

inline constexpr char kSumFamily[] = "sum";
inline constexpr char kModbusFamily[] = "modbus";
inline constexpr char kXorFamily[] = "xor";

// '%'-frames: '%', address, command, sub-command, N, N payload bytes, 'f', Sum8 (N + 7 bytes).
// Replies have the same shape and start with '<'.
inline constexpr uint8_t kSumRequestStart = 0x25;  // '%'
inline constexpr uint8_t kSumReplyStart = 0x3C;    // '<'
inline constexpr uint8_t kSumEnd = 0x66;           // 'f'
inline constexpr uint8_t kAck = 0x55;              // 'U': a set command was carried out
inline constexpr uint8_t kNak = 0x00;              // the simulator's refusal of a bad set command
inline constexpr size_t kSumOverhead = 7;

// Modbus RTU: address, function, data, CRC low, CRC high.
inline constexpr uint8_t kModbusAnyDevice = 0xFA;  // reaches the one attached device
inline constexpr uint8_t kModbusBroadcast = 0x00;  // writes carried out, never answered
inline constexpr uint8_t kReadHolding = 0x03;
inline constexpr uint8_t kWriteSingle = 0x06;
inline constexpr uint8_t kWriteMultiple = 0x10;
inline constexpr size_t kMaxReadRegisters = 125;   // per 0x03 request
inline constexpr size_t kMaxWriteBytes = 246;      // per 0x10 request (123 registers)
inline constexpr uint8_t kIllegalAddress = 0x02;
inline constexpr uint8_t kIllegalValue = 0x03;

// '{'-frames: '{', kind, command, N (big-endian, 2 bytes), N payload bytes, Xor8 (N + 6 bytes).
inline constexpr uint8_t kXorStart = 0x7B;         // '{'
inline constexpr uint8_t kXorReplyBit = 0x80;      // set in the kind byte of a reply
inline constexpr size_t kXorOverhead = 6;
inline constexpr size_t kMaxXorRequest = 1024;     // longer announced requests are noise

// A '%'-request taken apart. Only valid on a frame the "sum" family has measured.
struct SumRequest {
  uint8_t address;
  uint8_t command;
  uint8_t sub;
  Bytes payload;
};
SumRequest ParseSum(const Bytes& frame);

// Complete replies with their check values.
Bytes SumReply(uint8_t address, uint8_t command, uint8_t status, const Bytes& payload);
Bytes ModbusReply(uint8_t address, uint8_t function, const Bytes& data);
Bytes ModbusException(uint8_t address, uint8_t function, uint8_t code);
Bytes XorReply(uint8_t kind, uint8_t command, const Bytes& payload);

// True when a Modbus-style frame ends in the CRC of the bytes before it, low byte first.
bool ModbusIntact(const Bytes& frame);

// Recompute the check value of a complete frame in place.
void SealSum(Bytes& frame);
void SealModbus(Bytes& frame);
void SealXor(Bytes& frame);

// Adds the "sum", "modbus" and "xor" frame families (before any handler is added).
void RegisterFramings(Simulator& simulator);

}  // namespace sim
