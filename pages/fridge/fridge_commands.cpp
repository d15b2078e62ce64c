#include "pages/fridge/fridge_commands.h"

#include <array>

#include "link/frames.h"
#include "pages/kit/exchange_step.h"

namespace pages::fridge {

namespace {

using devlink::Bytes;
using devlink::ByteView;

constexpr uint8_t kAddress = 0x00;
constexpr uint8_t kSub = 0xFF;

constexpr uint8_t kCmdReadStatus = 0x45;     // 'E'
constexpr uint8_t kCmdWriteStatus = 0x46;    // 'F'
constexpr uint8_t kCmdReadIntervals = 0x47;  // 'G'
constexpr uint8_t kCmdWriteIntervals = 0x48; // 'H'
constexpr uint8_t kCmdReadSms = 0x49;        // 'I'
constexpr uint8_t kCmdWriteSms = 0x4A;       // 'J'
constexpr uint8_t kCmdClear = 0x09;

// Shortest good replies (also the least a TCP reply must have).
constexpr size_t kStatusReply = 10;
constexpr size_t kIntervalsReply = 15;
constexpr size_t kSmsReply = 9;
constexpr size_t kAckReply = 8;

uint16_t Le16(ByteView bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

void PutLe16(Bytes& out, int64_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

Result<Bytes> Exchange(devlink::Channel& channel, uint8_t command, const Bytes& payload,
                       const ReplyRule& rule, const char* failure) {
  return RunExchange(channel, devlink::BuildSumFrame(kAddress, command, kSub, payload), rule,
                     failure);
}

Outcome Write(devlink::Channel& channel, uint8_t command, const Bytes& payload) {
  const auto reply = Exchange(channel, command, payload, SumRule(kAckReply).Ack(), kSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kSetOk);
}

uint8_t Inverted(uint8_t flag) { return flag != 0 ? 0 : 1; }

}  // namespace

Values Describe(const Status& value) {
  return {{"device", value.DeviceOn()},
          {"second", int64_t{value.second}},
          {"recording", value.RecordingOn()}};
}

Values Describe(const Intervals& value) {
  return {{"upload", value.upload},
          {"history", value.history},
          {"print", value.print},
          {"alarm", value.alarm}};
}

Values Describe(const SmsInterval& value) { return {{"seconds", int64_t{value.seconds}}}; }

Status ToggleDevice(const Status& status) {
  Status next = status;
  next.device = Inverted(status.device);
  return next;
}

Status ToggleRecording(const Status& status) {
  Status next = status;
  next.recording = Inverted(status.recording);
  next.second = next.recording;
  return next;
}

Result<Status> ReadStatus(devlink::Channel& channel) {
  const auto reply =
      Exchange(channel, kCmdReadStatus, {}, SumRuleFromFrame(kStatusReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  const Bytes& r = reply.value;
  return {{}, Status{r[5], r[6], r[7]}};
}

Outcome WriteStatus(devlink::Channel& channel, const Status& status) {
  return Write(channel, kCmdWriteStatus, {status.device, status.second, status.recording});
}

Result<Intervals> ReadIntervals(devlink::Channel& channel) {
  const auto reply =
      Exchange(channel, kCmdReadIntervals, {}, SumRuleFromFrame(kIntervalsReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  const Bytes& r = reply.value;
  return {{}, Intervals{Le16(r, 5), Le16(r, 7), Le16(r, 9), Le16(r, 11)}};
}

Outcome WriteIntervals(devlink::Channel& channel, const Intervals& value) {
  const std::array<std::pair<int64_t, const char*>, 4> fields{{{value.upload, "upload"},
                                                               {value.history, "history"},
                                                               {value.print, "print"},
                                                               {value.alarm, "alarm"}}};
  for (const auto& [minutes, field] : fields) {
    if (minutes < 1) return Outcome::Refused(kIntervalBelowOne, field);
  }
  for (const auto& [minutes, field] : fields) {
    if (minutes > kMaxInterval) return Outcome::Refused(kIntervalTooLarge, field);
  }
  Bytes payload;
  for (const auto& [minutes, field] : fields) PutLe16(payload, minutes);
  return Write(channel, kCmdWriteIntervals, payload);
}

Result<SmsInterval> ReadSmsInterval(devlink::Channel& channel) {
  const auto reply = Exchange(channel, kCmdReadSms, {}, SumRuleFromFrame(kSmsReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  return {{}, SmsInterval{Le16(reply.value, 5)}};
}

Outcome WriteSmsInterval(devlink::Channel& channel, int64_t seconds) {
  if (seconds < 0 || seconds > kMaxInterval) return Outcome::Refused(kSmsIntervalRange, "seconds");
  Bytes payload;
  PutLe16(payload, seconds);
  return Write(channel, kCmdWriteSms, payload);
}

Outcome ClearHistory(devlink::Channel& channel) {
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), kCmdClear, kSub);
  // Any command byte in the reply will do; over TCP what the channel accepted suffices.
  const ReplyRule rule = SumRule(kAckReply).NoEcho().Ack().ChannelRuleSuffices();
  const auto reply = RunExchange(channel, request, rule, kClearFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kClearOk);
}

}  // namespace pages::fridge
