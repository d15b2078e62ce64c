#include "pages/fridge/fridge_commands.h"

#include <array>

#include "link/frames.h"
#include "link/reply_reader.h"
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
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const Status status{in.U8(), in.U8(), in.U8()};
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, status};
}

Outcome WriteStatus(devlink::Channel& channel, const Status& status) {
  return Write(channel, kCmdWriteStatus, {status.device, status.second, status.recording});
}

Result<Intervals> ReadIntervals(devlink::Channel& channel) {
  const auto reply =
      Exchange(channel, kCmdReadIntervals, {}, SumRuleFromFrame(kIntervalsReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  Intervals intervals;
  intervals.upload = ReadIntervalMinutes(in, "upload");
  intervals.history = ReadIntervalMinutes(in, "history");
  intervals.print = ReadIntervalMinutes(in, "print");
  intervals.alarm = ReadIntervalMinutes(in, "alarm");
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, intervals};
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
  for (const auto& [minutes, field] : fields) devlink::PutLe16(payload, static_cast<uint16_t>(minutes));
  return Write(channel, kCmdWriteIntervals, payload);
}

Result<SmsInterval> ReadSmsInterval(devlink::Channel& channel) {
  const auto reply = Exchange(channel, kCmdReadSms, {}, SumRuleFromFrame(kSmsReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const SmsInterval interval{in.U16Le()};
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, interval};
}

Outcome WriteSmsInterval(devlink::Channel& channel, int64_t seconds) {
  if (seconds < 0 || seconds > kMaxInterval) return Outcome::Refused(kSmsIntervalRange, "seconds");
  Bytes payload;
  devlink::PutLe16(payload, static_cast<uint16_t>(seconds));
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
