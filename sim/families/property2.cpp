// Sample period and screen-off time, '%' commands to address 0, values in seconds, low byte
// first:
//   0x98 ch        read the sample period of channel ch (1..32) -> [lo, hi]
//   0x97 ch [2]    write it                                     -> 0x55
//   0x9A FF        read the screen-off time                     -> [lo, hi]
//   0x99 FF [2]    write it                                     -> 0x55
// Reads of a channel outside 1..32 get no answer; writes of it, or of the wrong size, 0x00.
#include "sim/families/property2.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kWritePeriod = 0x97;
constexpr uint8_t kReadPeriod = 0x98;
constexpr uint8_t kWriteScreenOff = 0x99;
constexpr uint8_t kReadScreenOff = 0x9A;
constexpr uint8_t kFixedSub = 0xFF;

Bytes TwoBytes(uint16_t value) {
  Bytes out;
  devlink::PutLe16(out, value);
  return out;
}

std::optional<Bytes> HandleProperty2(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  if (request.address != 0) return std::nullopt;  // these commands always go to address 0
  auto& state = device.State<Property2State>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  // Stores a two-byte value into `target`, or refuses a payload of the wrong size.
  auto store = [&](uint16_t* target) {
    if (target == nullptr || request.payload.size() != 2) return reply({kNak});
    *target = devlink::ReplyReader(request.payload).U16Le();
    return reply({kAck});
  };
  const bool validChannel = request.sub >= 1 && request.sub <= state.periods.size();
  uint16_t* period = validChannel ? &state.periods[request.sub - 1] : nullptr;
  switch (request.command) {
    case kReadPeriod:
      return period ? reply(TwoBytes(*period)) : Bytes{};
    case kWritePeriod:
      return store(period);
    case kReadScreenOff:
      return request.sub == kFixedSub ? reply(TwoBytes(state.screenOff)) : Bytes{};
    case kWriteScreenOff:
      return store(request.sub == kFixedSub ? &state.screenOff : nullptr);
    default:
      return std::nullopt;
  }
}

}  // namespace

void RegisterProperty2(Simulator& simulator) { simulator.AddHandler(kSumFamily, HandleProperty2); }

}  // namespace sim
