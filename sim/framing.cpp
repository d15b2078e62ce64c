#include "sim/framing.h"

#include "link/checks.h"

namespace sim {

namespace {

int32_t CountBefore(const Bytes& frame, size_t tail) {
  return static_cast<int32_t>(frame.size() - tail);
}

std::optional<size_t> MeasureSum(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != kSumRequestStart) return std::nullopt;
  if (buffer.size() < 5) return 0;
  return buffer[4] + kSumOverhead;
}

bool SumIntact(const Bytes& frame) {
  return frame.size() >= kSumOverhead && frame[frame.size() - 2] == kSumEnd &&
         devlink::Sum8(frame.data(), CountBefore(frame, 1)) == frame.back();
}

// Requests for this instrument carry its address or 0 (the single-device address).
bool SumAddressed(const Instrument& device, const Bytes& frame) {
  return frame[1] == device.address || frame[1] == 0;
}

std::optional<size_t> MeasureModbus(const Bytes& buffer) {
  if (buffer.size() < 2) return 0;  // any byte may be an address
  switch (buffer[1]) {
    case kReadHolding:
    case kWriteSingle:
      return 8;
    case kWriteMultiple:
      // address, function, register (2), count (2), byte count, data, CRC (2)
      if (buffer.size() < 7) return 0;
      if (buffer[6] > kMaxWriteBytes) return std::nullopt;
      return 9 + static_cast<size_t>(buffer[6]);
    default:
      // A function whose request length is unknown cannot be framed: leave the buffer to the
      // other families (an adapter family may know it), or to the noise rule.
      return std::nullopt;
  }
}

bool ModbusAddressed(const Instrument& device, const Bytes& frame) {
  return frame[0] == device.address || frame[0] == kModbusAnyDevice ||
         frame[0] == kModbusBroadcast;
}

// A request of a known function that no handler takes names registers the instrument lacks.
std::optional<Bytes> ModbusUnhandled(Instrument& device, const Bytes& request) {
  if (request[0] == kModbusBroadcast) return Bytes{};
  return ModbusException(device.address, request[1], kIllegalAddress);
}

std::optional<size_t> MeasureXor(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != kXorStart) return std::nullopt;
  if (buffer.size() < 5) return 0;
  size_t length = devlink::ReplyReader(buffer, 3).U16Be() + kXorOverhead;
  if (length > kMaxXorRequest) return std::nullopt;
  return length;
}

bool XorIntact(const Bytes& frame) {
  return frame.size() >= kXorOverhead &&
         devlink::Xor8(frame.data(), CountBefore(frame, 1), 0) == frame.back();
}

}  // namespace

bool ModbusIntact(const Bytes& frame) {
  if (frame.size() < 4) return false;
  uint16_t crc = devlink::Crc16Modbus(frame.data(), static_cast<uint32_t>(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame.back() == (crc >> 8);
}

SumRequest ParseSum(const Bytes& frame) {
  return SumRequest{frame[1], frame[2], frame[3], Bytes(frame.begin() + 5, frame.end() - 2)};
}

Bytes SumReply(uint8_t address, uint8_t command, uint8_t status, const Bytes& payload) {
  Bytes frame{kSumReplyStart, address, command, status, static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(kSumEnd);
  frame.push_back(0);
  SealSum(frame);
  return frame;
}

Bytes ModbusReply(uint8_t address, uint8_t function, const Bytes& data) {
  Bytes frame{address, function};
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(0);
  frame.push_back(0);
  SealModbus(frame);
  return frame;
}

Bytes ModbusException(uint8_t address, uint8_t function, uint8_t code) {
  return ModbusReply(address, static_cast<uint8_t>(function | 0x80), {code});
}

Bytes XorReply(uint8_t kind, uint8_t command, const Bytes& payload) {
  Bytes frame{kXorStart, kind, command};
  devlink::PutBe16(frame, static_cast<uint16_t>(payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0);
  SealXor(frame);
  return frame;
}

void SealSum(Bytes& frame) { frame.back() = devlink::Sum8(frame.data(), CountBefore(frame, 1)); }

void SealModbus(Bytes& frame) {
  uint16_t crc = devlink::Crc16Modbus(frame.data(), static_cast<uint32_t>(frame.size() - 2));
  frame[frame.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
  frame.back() = static_cast<uint8_t>(crc >> 8);
}

void SealXor(Bytes& frame) { frame.back() = devlink::Xor8(frame.data(), CountBefore(frame, 1), 0); }

void RegisterFramings(Simulator& simulator) {
  Framing sum;
  sum.measure = MeasureSum;
  sum.intact = SumIntact;
  sum.addressed = SumAddressed;
  sum.seal = SealSum;
  sum.echoOffset = 2;
  sum.endFromBack = 2;
  simulator.AddFamily(kSumFamily, sum);

  Framing modbus;
  modbus.measure = MeasureModbus;
  modbus.intact = ModbusIntact;
  modbus.addressed = ModbusAddressed;
  modbus.unhandled = ModbusUnhandled;
  modbus.seal = SealModbus;
  modbus.echoOffset = 1;
  simulator.AddFamily(kModbusFamily, modbus);

  Framing xorFrame;
  xorFrame.measure = MeasureXor;
  xorFrame.intact = XorIntact;
  xorFrame.seal = SealXor;
  xorFrame.echoOffset = 2;
  simulator.AddFamily(kXorFamily, xorFrame);
}

}  // namespace sim
