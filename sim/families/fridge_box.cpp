// Refrigerated box recorder, '%' commands to address 0, sub-command 0xFF unless said otherwise,
// 16-bit values low byte first:
//   'E' (0x45)              status read         -> [device on, second state byte, recording on]
//   'F' (0x46) [3]          status write        -> 0x55
//   'G' (0x47)              intervals read      -> [upload, history, print, alarm] (16 bits each)
//   'H' (0x48) [8]          intervals write     -> 0x55; an interval of 0 is refused
//   'I' (0x49)              SMS interval read   -> [seconds lo, hi]
//   'J' (0x4A) [2]          SMS interval write  -> 0x55
//   'A' (0x41) slot 1..3    alarm number read   -> the number's characters (status byte = slot)
//   'B' (0x42) slot [N]     alarm number write  -> 0x55 (status byte = slot); digits only
// Writes of the wrong size or with bad values are refused with 0x00 and change nothing; a number
// read of a slot outside 1..3 gets no answer. Erasing the history (0x09 FF) is the logger
// command every instrument shares (settings family).
#include "sim/families/fridge_box.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kReadNumber = 0x41;
constexpr uint8_t kWriteNumber = 0x42;
constexpr uint8_t kReadStatus = 0x45;
constexpr uint8_t kWriteStatus = 0x46;
constexpr uint8_t kReadIntervals = 0x47;
constexpr uint8_t kWriteIntervals = 0x48;
constexpr uint8_t kReadMessageSeconds = 0x49;
constexpr uint8_t kWriteMessageSeconds = 0x4A;
constexpr uint8_t kFixedSub = 0xFF;
constexpr size_t kMaxNumberChars = 20;

bool AllDigits(const Bytes& bytes) {
  for (uint8_t b : bytes) {
    if (b < '0' || b > '9') return false;
  }
  return true;
}

std::optional<Bytes> HandleFridgeBox(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  if (request.address != 0 || request.sub != kFixedSub) return std::nullopt;
  auto& s = device.State<FridgeBoxState>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  switch (request.command) {
    case kReadStatus:
      return reply({s.device, s.second, s.recording});
    case kWriteStatus:
      if (request.payload.size() != 3) return reply({kNak});
      s.device = request.payload[0];
      s.second = request.payload[1];
      s.recording = request.payload[2];
      return reply({kAck});
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<Bytes> HandleGsmRecorder(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  if (request.address != 0) return std::nullopt;
  auto& s = device.State<GsmRecorderState>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  const Bytes& p = request.payload;
  if (request.command == kReadNumber || request.command == kWriteNumber) {
    if (request.sub < 1 || request.sub > s.alarmNumbers.size()) {
      return request.command == kReadNumber ? Bytes{} : reply({kNak});
    }
    std::string& number = s.alarmNumbers[request.sub - 1];
    if (request.command == kReadNumber) return reply(Bytes(number.begin(), number.end()));
    if (p.size() > kMaxNumberChars || !AllDigits(p)) return reply({kNak});
    number.assign(p.begin(), p.end());
    return reply({kAck});
  }
  if (request.sub != kFixedSub) return std::nullopt;
  switch (request.command) {
    case kReadIntervals: {
      Bytes out;
      for (uint16_t v : {s.upload, s.history, s.print, s.alarm}) devlink::PutLe16(out, v);
      return reply(out);
    }
    case kWriteIntervals: {
      if (p.size() != 8) return reply({kNak});
      devlink::ReplyReader in(p);
      const uint16_t upload = in.U16Le(), history = in.U16Le(), print = in.U16Le(),
                     alarm = in.U16Le();
      if (upload == 0 || history == 0 || print == 0 || alarm == 0) return reply({kNak});
      s.upload = upload;
      s.history = history;
      s.print = print;
      s.alarm = alarm;
      return reply({kAck});
    }
    case kReadMessageSeconds: {
      Bytes out;
      devlink::PutLe16(out, s.messageSeconds);
      return reply(out);
    }
    case kWriteMessageSeconds:
      if (p.size() != 2) return reply({kNak});
      s.messageSeconds = devlink::ReplyReader(p).U16Le();
      return reply({kAck});
    default:
      return std::nullopt;
  }
}

void RegisterFridgeBox(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, HandleGsmRecorder);
  simulator.AddHandler(kSumFamily, HandleFridgeBox);
}

}  // namespace sim
