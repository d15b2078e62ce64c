// Modbus holding registers: 0x03 read, 0x06 write one, 0x10 write several. Registers the
// instrument lacks give exception 2, bad counts and values exception 3 (nothing is written
// then). Requests to the broadcast address are carried out and never answered.
#include "sim/families/register_map.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint16_t kMaxBaudIndex = 3;

std::optional<uint16_t> ReadRegister(Instrument& device, uint16_t reg) {
  if (reg == kAddressRegister) return device.address;
  const auto& registers = device.State<RegisterMapState>().registers;
  auto it = registers.find(reg);
  if (it == registers.end()) return std::nullopt;
  return it->second;
}

bool Exists(Instrument& device, uint16_t reg) { return ReadRegister(device, reg).has_value(); }

bool Acceptable(uint16_t reg, uint16_t value) {
  if (reg == kAddressRegister) return value >= 1 && value <= 255;
  if (reg == kBaudRegister) return value >= 1 && value <= kMaxBaudIndex;
  return true;
}

void WriteRegister(Instrument& device, uint16_t reg, uint16_t value) {
  if (reg == kAddressRegister) {
    device.address = static_cast<uint8_t>(value);
  } else {
    device.State<RegisterMapState>().registers[reg] = value;
  }
}

// A frame's own address is answered as the instrument's address at the time it arrived.
std::optional<Bytes> ReadHolding(Instrument& device, const Bytes& frame) {
  uint16_t start = devlink::ReplyReader(frame, 2).U16Be();
  uint16_t count = devlink::ReplyReader(frame, 4).U16Be();
  if (frame[0] == kModbusBroadcast) return Bytes{};
  if (count == 0 || count > kMaxReadRegisters) {
    return ModbusException(device.address, kReadHolding, kIllegalValue);
  }
  Bytes data{static_cast<uint8_t>(count * 2)};
  for (uint32_t reg = start; reg < uint32_t{start} + count; ++reg) {
    std::optional<uint16_t> value = reg <= 0xFFFF ? ReadRegister(device, static_cast<uint16_t>(reg))
                                                  : std::nullopt;
    if (!value) return std::nullopt;
    devlink::PutBe16(data, *value);
  }
  return ModbusReply(device.address, kReadHolding, data);
}

std::optional<Bytes> WriteSingle(Instrument& device, const Bytes& frame) {
  uint16_t reg = devlink::ReplyReader(frame, 2).U16Be();
  uint16_t value = devlink::ReplyReader(frame, 4).U16Be();
  if (!Exists(device, reg)) return std::nullopt;
  uint8_t replyAddress = device.address;
  if (!Acceptable(reg, value)) {
    if (frame[0] == kModbusBroadcast) return Bytes{};
    return ModbusException(replyAddress, kWriteSingle, kIllegalValue);
  }
  WriteRegister(device, reg, value);
  if (frame[0] == kModbusBroadcast) return Bytes{};
  return ModbusReply(replyAddress, kWriteSingle, Bytes(frame.begin() + 2, frame.begin() + 6));
}

std::optional<Bytes> WriteMultiple(Instrument& device, const Bytes& frame) {
  uint16_t start = devlink::ReplyReader(frame, 2).U16Be();
  uint16_t count = devlink::ReplyReader(frame, 4).U16Be();
  uint8_t byteCount = frame[6];
  bool broadcast = frame[0] == kModbusBroadcast;
  uint8_t replyAddress = device.address;
  auto refuse = [&](uint8_t code) {
    return broadcast ? Bytes{} : ModbusException(replyAddress, kWriteMultiple, code);
  };
  if (count == 0 || byteCount != count * 2) return refuse(kIllegalValue);
  if (uint32_t{start} + count > 0x10000) return refuse(kIllegalAddress);
  for (uint16_t i = 0; i < count; ++i) {
    if (!Exists(device, static_cast<uint16_t>(start + i))) return std::nullopt;
  }
  for (uint16_t i = 0; i < count; ++i) {
    if (!Acceptable(static_cast<uint16_t>(start + i), devlink::ReplyReader(frame, 7 + 2 * i).U16Be())) {
      return refuse(kIllegalValue);
    }
  }
  for (uint16_t i = 0; i < count; ++i) {
    WriteRegister(device, static_cast<uint16_t>(start + i), devlink::ReplyReader(frame, 7 + 2 * i).U16Be());
  }
  if (broadcast) return Bytes{};
  return ModbusReply(replyAddress, kWriteMultiple, Bytes(frame.begin() + 2, frame.begin() + 6));
}

}  // namespace

std::optional<Bytes> AnswerRegisters(Instrument& device, const Bytes& frame) {
  switch (frame[1]) {
    case kReadHolding:
      return ReadHolding(device, frame);
    case kWriteSingle:
      return WriteSingle(device, frame);
    case kWriteMultiple:
      return WriteMultiple(device, frame);
    default:
      return std::nullopt;
  }
}

// The map answers through the instrument that owns it, which first decides whether it heard the
// request at all (RegisterDigitalSensor).
void RegisterRegisterMap(Simulator&) {}

}  // namespace sim
