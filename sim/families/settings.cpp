// Logger settings, '%' commands to the instrument's address (or 0):
//   0x02 55 [new]              change address        -> [new], then answers at the new address
//   0x04 55 / 0x04 AA [flags]  calibration switches  -> [flags] / 0x55
//   0x08 DD                    recording read        -> [interval, capacity lo, hi] in minutes,
//                                                       [interval, lo, hi, 00] in hours
//   0x08 DD [i, lo, hi]        recording in minutes  -> 0x55
//   0x08 DD [i, lo, hi, 00]    recording in hours    -> 0xAA
//   0x09 FF                    erase the history     -> 0x55
//   0x0A / 0x0D BB, AA [flags] alarm / control switches
//   0x0A / 0x0D 01 (02)        temperature (humidity) limits -> [lower LE, upper LE], tenths
//   0x0A / 0x0D 01 (02) [4]    write them            -> 0x55
// The capacity is a sign-magnitude number (bit 7 of the high byte is the sign). Writes outside
// the instrument's ranges, or with a lower limit above the upper, are refused with 0x00 and
// change nothing.
#include "sim/families/settings.h"

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kAddressCommand = 0x02;
constexpr uint8_t kCalibrationCommand = 0x04;
constexpr uint8_t kRecordingCommand = 0x08;
constexpr uint8_t kClearCommand = 0x09;
constexpr uint8_t kAlarmCommand = 0x0A;
constexpr uint8_t kControlCommand = 0x0D;

constexpr uint8_t kAddressSub = 0x55;
constexpr uint8_t kCalibrationReadSub = 0x55;
constexpr uint8_t kSwitchReadSub = 0xBB;
constexpr uint8_t kSwitchWriteSub = 0xAA;
constexpr uint8_t kRecordingSub = 0xDD;
constexpr uint8_t kClearSub = 0xFF;
constexpr uint8_t kTemperatureRow = 0x01;
constexpr uint8_t kHumidityRow = 0x02;
constexpr uint8_t kHoursAck = 0xAA;
constexpr uint8_t kSwitchBits = 0x03;


Bytes RecordingPayload(const SettingsState& s) {
  Bytes p{s.interval, static_cast<uint8_t>(s.capacity & 0xFF),
          static_cast<uint8_t>((s.capacity >> 8) & 0x7F)};
  if (s.hours) p.push_back(0x00);
  return p;
}

// Interval, capacity low, capacity high (sign-magnitude), and for hours a trailing zero.
uint8_t WriteRecording(SettingsState& s, const Bytes& p) {
  const bool hours = p.size() == 4;
  if (p.size() != 3 && !(hours && p[3] == 0x00)) return kNak;
  const int maxInterval = hours ? 23 : 59;
  const bool negative = (p[2] & 0x80) != 0;
  const int capacity = ((p[2] & 0x7F) << 8) | p[1];
  if (p[0] < 1 || p[0] > maxInterval || negative || capacity == 0) return kNak;
  s.interval = p[0];
  s.hours = hours;
  s.capacity = static_cast<uint16_t>(capacity);
  return hours ? kHoursAck : kAck;
}

std::optional<Bytes> HandleLimitsCommand(SettingsLimits& limits, uint8_t& switches,
                                         const SumRequest& request, uint8_t address) {
  auto reply = [&](const Bytes& payload) {
    return SumReply(address, request.command, request.sub, payload);
  };
  switch (request.sub) {
    case kSwitchReadSub:
      return reply({switches});
    case kSwitchWriteSub:
      if (request.payload.size() != 1) return reply({kNak});
      switches = request.payload[0] & kSwitchBits;
      return reply({kAck});
    case kTemperatureRow:
    case kHumidityRow: {
      int16_t& lower = request.sub == kTemperatureRow ? limits.tempLower : limits.humLower;
      int16_t& upper = request.sub == kTemperatureRow ? limits.tempUpper : limits.humUpper;
      if (request.payload.empty()) {
        Bytes p;
        devlink::PutLe16(p, static_cast<uint16_t>(lower));
        devlink::PutLe16(p, static_cast<uint16_t>(upper));
        return reply(p);
      }
      if (request.payload.size() != 4) return reply({kNak});
      devlink::ReplyReader in(request.payload);
      const auto newLower = static_cast<int16_t>(in.U16Le());
      const auto newUpper = static_cast<int16_t>(in.U16Le());
      if (newLower > newUpper) return reply({kNak});
      lower = newLower;
      upper = newUpper;
      return reply({kAck});
    }
    default:
      return std::nullopt;
  }
}

std::optional<Bytes> HandleSettings(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  auto& s = device.State<SettingsState>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  switch (request.command) {
    case kAddressCommand: {
      if (request.sub != kAddressSub) return std::nullopt;
      if (request.payload.size() != 1 || request.payload[0] == 0) return reply({kNak});
      Bytes answer = reply(request.payload);
      device.address = request.payload[0];
      return answer;
    }
    case kCalibrationCommand:
      if (request.sub == kCalibrationReadSub && request.payload.empty()) {
        return reply({s.calibration});
      }
      if (request.sub == kSwitchWriteSub) {
        if (request.payload.size() != 1) return reply({kNak});
        s.calibration = request.payload[0] & kSwitchBits;
        return reply({kAck});
      }
      return std::nullopt;
    case kRecordingCommand:
      if (request.sub != kRecordingSub) return std::nullopt;
      if (request.payload.empty()) return reply(RecordingPayload(s));
      return reply({WriteRecording(s, request.payload)});
    case kClearCommand:
      if (request.sub != kClearSub) return std::nullopt;
      ++s.historyClears;
      return reply({kAck});
    case kAlarmCommand:
      return HandleLimitsCommand(s.alarm, s.alarmSwitches, request, device.address);
    case kControlCommand:
      return HandleLimitsCommand(s.control, s.controlSwitches, request, device.address);
    default:
      return std::nullopt;
  }
}

}  // namespace

void RegisterSettings(Simulator& simulator) { simulator.AddHandler(kSumFamily, HandleSettings); }

}  // namespace sim
