// Chiller read and write, '{'-frames (big-endian numbers):
//   read  7B 00 01 00 00 X -> 7B 80 01 N(2) records X; a record is tag, length, value:
//         1 container number (text), 2 return air, 3 supply air, 4 set point (IEEE single,
//         most significant byte first), 5 work mode (1 byte), 6 alarm codes (1 byte each).
//   write 7B 01 02 00 02 HI LO X (set point * 100, two's complement)
//         -> 7B 81 02 00 01 [status] X, status 0 when taken.
#include <cstring>

#include "sim/families/chiller.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kKindRead = 0x00;
constexpr uint8_t kKindWrite = 0x01;
constexpr uint8_t kReadCommand = 0x01;
constexpr uint8_t kWriteCommand = 0x02;
enum Tag : uint8_t {
  kContainer = 1,
  kReturnAir = 2,
  kSupplyAir = 3,
  kSetPoint = 4,
  kWorkMode = 5,
  kAlarms = 6
};

void AddRecord(Bytes& payload, uint8_t tag, const Bytes& value) {
  size_t length = value.size() > 255 ? 255 : value.size();
  payload.push_back(tag);
  payload.push_back(static_cast<uint8_t>(length));
  payload.insert(payload.end(), value.begin(), value.begin() + static_cast<ptrdiff_t>(length));
}

Bytes FloatBe(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return {static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
          static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

Bytes ReadPayload(const ChillerState& state) {
  Bytes payload;
  AddRecord(payload, kContainer, Bytes(state.container.begin(), state.container.end()));
  AddRecord(payload, kReturnAir, FloatBe(state.returnAir));
  AddRecord(payload, kSupplyAir, FloatBe(state.supplyAir));
  AddRecord(payload, kSetPoint, FloatBe(static_cast<float>(state.setPointHundredths / 100.0)));
  AddRecord(payload, kWorkMode, {state.workMode});
  AddRecord(payload, kAlarms, state.alarms);
  return payload;
}

uint8_t Write(ChillerState& state, const Bytes& payload) {
  if (state.forcedWriteStatus) return *state.forcedWriteStatus;
  if (payload.size() != 2) return kChillerBadLength;
  auto value = static_cast<int16_t>(devlink::ReplyReader(payload, 0).U16Be());
  if (value < state.minSetPoint || value > state.maxSetPoint) return kChillerOutOfRange;
  state.setPointHundredths = value;
  return 0;
}

std::optional<Bytes> HandleChiller(Instrument& device, const Bytes& frame) {
  uint8_t kind = frame[1];
  uint8_t command = frame[2];
  auto& state = device.State<ChillerState>();
  if (kind == kKindRead && command == kReadCommand) {
    return XorReply(kKindRead | kXorReplyBit, kReadCommand, ReadPayload(state));
  }
  if (kind == kKindWrite && command == kWriteCommand) {
    Bytes payload(frame.begin() + 5, frame.end() - 1);
    return XorReply(kKindWrite | kXorReplyBit, kWriteCommand, {Write(state, payload)});
  }
  return std::nullopt;
}

}  // namespace

void RegisterChiller(Simulator& simulator) { simulator.AddHandler(kXorFamily, HandleChiller); }

}  // namespace sim
