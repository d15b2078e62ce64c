#include "link/frames.h"

#include <algorithm>

namespace devlink {

namespace {

uint8_t SumOf(ByteView bytes) { return Sum8(bytes.data(), static_cast<int32_t>(bytes.size())); }

uint16_t CrcOf(ByteView bytes) {
  return Crc16Modbus(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Sum8 of every byte before the last equals the last byte.
bool SumTrailerMatches(ByteView frame) {
  return !frame.empty() && SumOf(frame.first(frame.size() - 1)) == frame.back();
}

// CRC of every byte before the last two equals them, low byte first.
bool CrcTrailerMatches(ByteView frame) {
  if (frame.size() < 2) return false;
  const uint16_t crc = CrcOf(frame.first(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

bool XorTrailerMatches(ByteView frame) {
  if (frame.size() < 2) return false;
  return Xor8(frame.data(), static_cast<int32_t>(frame.size() - 1), 0) == frame.back();
}

// The checks shared by fixed- and variable-length SumFrame replies once the length is known to
// cover at least the seven framing bytes.
FrameCheck CheckSumFrameBody(ByteView reply, uint8_t command, SumReplyChecks checks) {
  if (checks.start && reply[0] != kSumReplyStart) return FrameCheck::StartByte;
  if (checks.echo && reply[2] != command) return FrameCheck::Echo;
  if (!SumTrailerMatches(reply)) return FrameCheck::Checksum;
  if (checks.end && reply[reply.size() - 2] != kSumEndMarker) return FrameCheck::EndMarker;
  if (checks.ack && (reply.size() < kSumFrameOverhead + 1 || reply[5] != checks.ackByte)) {
    return FrameCheck::Ack;
  }
  return FrameCheck::Ok;
}

}  // namespace

const char* FrameCheckName(FrameCheck check) {
  switch (check) {
    case FrameCheck::Ok: return "ok";
    case FrameCheck::Length: return "length";
    case FrameCheck::StartByte: return "start byte";
    case FrameCheck::Echo: return "echoed command";
    case FrameCheck::Kind: return "kind byte";
    case FrameCheck::ByteCount: return "byte count";
    case FrameCheck::Checksum: return "check value";
    case FrameCheck::EndMarker: return "end marker";
    case FrameCheck::Ack: return "acknowledgement";
    case FrameCheck::FixedByte: return "fixed byte";
  }
  return "unknown";
}

// ---- SumFrame ----

Bytes BuildSumFrame(uint8_t address, uint8_t command, uint8_t subCommand, ByteView payload) {
  if (payload.size() > kSumMaxPayload) return {};
  Bytes frame;
  frame.reserve(payload.size() + kSumFrameOverhead);
  frame.push_back(kSumRequestStart);
  frame.push_back(address);
  frame.push_back(command);
  frame.push_back(subCommand);
  frame.push_back(static_cast<uint8_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(kSumEndMarker);
  frame.push_back(SumOf(frame));
  return frame;
}

FrameCheck CheckSumFrame(ByteView reply, uint8_t command, size_t expectedLength, bool requireAck) {
  return CheckSumFrame(reply, command, expectedLength, SumReplyChecks{.ack = requireAck});
}

FrameCheck CheckSumFrame(ByteView reply, uint8_t command, size_t expectedLength,
                         SumReplyChecks checks) {
  if (reply.size() != expectedLength || reply.size() < kSumFrameOverhead) return FrameCheck::Length;
  return CheckSumFrameBody(reply, command, checks);
}

FrameCheck CheckSumFrameVariable(ByteView reply, uint8_t command, size_t minimumLength,
                                 bool requireAck) {
  if (reply.size() <= minimumLength || reply.size() < kSumFrameOverhead ||
      reply.size() != size_t{reply[4]} + kSumFrameOverhead) {
    return FrameCheck::Length;
  }
  return CheckSumFrameBody(reply, command, SumReplyChecks{.ack = requireAck});
}

ByteView SumFramePayload(ByteView frame) {
  if (frame.size() < kSumFrameOverhead) return {};
  return frame.subspan(5, frame.size() - kSumFrameOverhead);
}

// ---- ModbusFrame ----

void AppendCrc16(Bytes& frame) {
  const uint16_t crc = CrcOf(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

Bytes BuildModbusFrame(uint8_t address, uint8_t function, ByteView data) {
  Bytes frame;
  frame.reserve(data.size() + 4);
  frame.push_back(address);
  frame.push_back(function);
  frame.insert(frame.end(), data.begin(), data.end());
  AppendCrc16(frame);
  return frame;
}

namespace {
void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}
}  // namespace

Bytes BuildModbusRead(uint8_t address, uint16_t firstRegister, uint16_t count) {
  Bytes data;
  PutU16(data, firstRegister);
  PutU16(data, count);
  return BuildModbusFrame(address, kModbusRead, data);
}

Bytes BuildModbusWriteSingle(uint8_t address, uint16_t reg, uint16_t value) {
  Bytes data;
  PutU16(data, reg);
  PutU16(data, value);
  return BuildModbusFrame(address, kModbusWriteSingle, data);
}

Bytes BuildModbusWriteMultiple(uint8_t address, uint16_t firstRegister,
                               std::span<const uint16_t> values) {
  if (values.size() > kModbusMaxWriteRegisters) return {};
  Bytes data;
  PutU16(data, firstRegister);
  PutU16(data, static_cast<uint16_t>(values.size()));
  data.push_back(static_cast<uint8_t>(values.size() * 2));
  for (uint16_t v : values) PutU16(data, v);
  return BuildModbusFrame(address, kModbusWriteMultiple, data);
}

FrameCheck CheckModbusFrame(ByteView reply, uint8_t function, size_t expectedLength) {
  // Address, function and the two CRC bytes are the least any reply has.
  if (reply.size() != expectedLength || reply.size() < 4) return FrameCheck::Length;
  if (reply[1] != function) return FrameCheck::Echo;
  if (function == kModbusRead && (reply.size() < 5 || reply[2] != expectedLength - 5)) {
    return FrameCheck::ByteCount;
  }
  if (!CrcTrailerMatches(reply)) return FrameCheck::Checksum;
  return FrameCheck::Ok;
}

std::vector<uint16_t> ModbusRegisters(ByteView reply) {
  std::vector<uint16_t> registers;
  if (reply.size() < 5) return registers;
  const size_t available = (reply.size() - 5) / 2;
  const size_t count = std::min<size_t>(reply[2] / 2, available);
  for (size_t i = 0; i < count; ++i) {
    registers.push_back(static_cast<uint16_t>((reply[3 + 2 * i] << 8) | reply[4 + 2 * i]));
  }
  return registers;
}

// ---- XorFrame ----

Bytes BuildXorFrame(uint8_t kind, uint8_t command, ByteView payload) {
  if (payload.size() > kXorMaxPayload) return {};
  Bytes frame;
  frame.reserve(payload.size() + kXorFrameOverhead);
  frame.push_back(kXorStart);
  frame.push_back(kind);
  frame.push_back(command);
  PutU16(frame, static_cast<uint16_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(Xor8(frame.data(), static_cast<int32_t>(frame.size()), 0));
  return frame;
}

FrameCheck CheckXorFrame(ByteView reply, ByteView request) {
  // A reply shorter than the framing bytes cannot be checked field by field.
  if (reply.size() < kXorFrameOverhead || request.size() < 3) return FrameCheck::Length;
  if (reply[0] != request[0]) return FrameCheck::StartByte;
  if (reply[2] != request[2]) return FrameCheck::Echo;
  if (reply[1] != (request[1] | 0x80)) return FrameCheck::Kind;
  if (!XorTrailerMatches(reply)) return FrameCheck::Checksum;
  const size_t declared = (size_t{reply[3]} << 8) | reply[4];
  if (reply.size() != declared + kXorFrameOverhead) return FrameCheck::Length;
  return FrameCheck::Ok;
}

ByteView XorFramePayload(ByteView frame) {
  if (frame.size() < kXorFrameOverhead) return {};
  return frame.subspan(5, frame.size() - kXorFrameOverhead);
}

// ---- reply length and acceptance without a known length ----

size_t FrameLength(ByteView received, FrameFamily family) {
  switch (family) {
    case FrameFamily::Sum:
      return received.size() >= 5 ? size_t{received[4]} + kSumFrameOverhead : 0;
    case FrameFamily::Xor:
      return received.size() >= 5 ? ((size_t{received[3]} << 8) | received[4]) + kXorFrameOverhead
                                  : 0;
    case FrameFamily::Modbus:
      if (received.size() < 2) return 0;
      if (received[1] & 0x80) return 5;  // address, function, exception code, CRC
      if (received[1] == kModbusWriteSingle || received[1] == kModbusWriteMultiple) return 8;
      if (received[1] == kModbusRead) return received.size() >= 3 ? size_t{received[2]} + 5 : 0;
      return 0;
  }
  return 0;
}

bool ReplyCompletion::IsComplete(ByteView received) const {
  if (received.empty()) return false;
  if (lengthInByte5) return received.size() > 5 && received.size() >= size_t{received[5]} + 6;
  if (expectedLength != 0 && received.size() >= expectedLength) return true;
  if (!headerTellsLength) return false;
  const size_t announced = FrameLength(received, family);
  return announced != 0 && received.size() >= announced;
}


bool ReplyPassesFamilyCheck(ByteView reply, FrameFamily family, bool checkValue) {
  if (reply.empty()) return false;
  switch (family) {
    case FrameFamily::Sum:
      return reply[0] == kSumReplyStart && (!checkValue || SumTrailerMatches(reply));
    case FrameFamily::Modbus:
      return !checkValue || CrcTrailerMatches(reply);
    case FrameFamily::Xor:
      return reply[0] == kXorStart && (!checkValue || XorTrailerMatches(reply));
  }
  return false;
}

}  // namespace devlink
