#include "pages/transmitter32/transmitter32_commands.h"

#include <array>
#include <climits>

#include "link/codecs.h"
#include "link/frames.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"

namespace pages::transmitter32 {

namespace {

using devlink::Bytes;
using devlink::ByteView;

constexpr uint8_t kAddress = 0x00;
constexpr uint8_t kSub = 0xFF;

// Reply buffers. The generic read's shortest good reply carries one payload byte: a reply
// without payload holds no value. Over TCP that shortest reply is also the minimum accepted.
constexpr size_t kGenericReadShortest = 8;
constexpr size_t kGenericReadBuffer = 10;
constexpr size_t kAckReply = 8;
constexpr size_t kIntervalsReply = 15;
constexpr size_t kDelayReply = 9;
constexpr size_t kSignalReply = 8;
constexpr size_t kApnReply = 67;
constexpr size_t kApnPayload = 3 * kApnFieldBytes;
constexpr uint8_t kExternalWriteMarker = 0x01;

Bytes Request(uint8_t command, const Bytes& payload = {}) {
  return devlink::BuildSumFrame(kAddress, command, kSub, payload);
}

// A reply whose length byte decides its length, read into `buffer` bytes.
ReplyRule FromFrame(size_t shortest, size_t buffer) { return SumRuleFromFrame(shortest, buffer); }

Outcome AckedWrite(devlink::Channel& channel, uint8_t command, const Bytes& payload) {
  const auto reply = RunExchange(channel, Request(command, payload), SumRule(kAckReply).Ack(),
                                 kSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kSetOk);
}

Result<Flag> ReadFlag(devlink::Channel& channel, uint8_t command, const char* name) {
  const auto read = GenericRead(channel, command);
  if (!read.ok()) return read.outcome;
  return {{}, Flag{name, read.value.value != 0}};
}

// One 20-byte field of the APN record: the text in the device code page, zero-padded.
std::optional<Outcome> PutApnField(Bytes& out, std::string_view text, const char* field) {
  auto bytes = DeviceTextBytes(text, devlink::kCodePageOem, kApnFieldBytes, field);
  if (auto* refused = std::get_if<Outcome>(&bytes)) return *refused;
  Bytes& encoded = std::get<Bytes>(bytes);
  encoded.resize(kApnFieldBytes, 0x00);
  out.insert(out.end(), encoded.begin(), encoded.end());
  return std::nullopt;
}

}  // namespace

Values Describe(const GenericValue& value) { return {{"value", int64_t{value.value}}}; }

Values Describe(const Intervals& value) {
  return {{"history", value.history}, {"print", value.print}, {"alarm", value.alarm}};
}

Values Describe(const AlarmDelay& value) { return {{"seconds", int64_t{value.seconds}}}; }

Values Describe(const SignalStrength& value) { return {{"strength", int64_t{value.strength}}}; }

Values Describe(const Flag& value) { return {{value.name, value.on}}; }

Values Describe(const SmsAlarm& value) {
  Values values{{"sms", value.sms}};
  if (value.soundLight) values.emplace_back("sound-light", *value.soundLight);
  return values;
}

Values Describe(const Apn& value) {
  return {{"apn", value.apn}, {"user", value.user}, {"password", value.password}};
}

Result<GenericValue> GenericRead(devlink::Channel& channel, uint8_t command) {
  const auto reply = RunExchange(channel, Request(command),
                                 FromFrame(kGenericReadShortest, kGenericReadBuffer), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  uint32_t value = 0;
  for (const uint8_t b : devlink::SumFramePayload(reply.value)) value = value << 8 | b;
  return {{}, GenericValue{value}};
}

Outcome GenericWrite(devlink::Channel& channel, uint8_t command, uint32_t value, int bytes) {
  if (bytes < 1 || bytes > 4) return Outcome::Failure(kSetFailed);
  Bytes payload;
  for (int i = bytes - 1; i >= 0; --i) payload.push_back(static_cast<uint8_t>(value >> (8 * i)));
  const ReplyRule rule = FromFrame(kAckReply, kAckReply).NoEcho().Ack();
  const auto reply = RunExchange(channel, Request(command, payload), rule, kSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kSetOk);
}

Result<Intervals> ReadIntervals(devlink::Channel& channel) {
  const auto reply = RunExchange(channel, Request(kReadIntervals),
                                 FromFrame(kIntervalsReply, kIntervalsReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  // Payload bytes 0-1 are the upload interval, which this instrument does not use.
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  in.Skip(2);
  Intervals intervals;
  intervals.history = ReadIntervalMinutes(in, "history");
  intervals.print = ReadIntervalMinutes(in, "print");
  intervals.alarm = ReadIntervalMinutes(in, "alarm");
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, intervals};
}

Outcome WriteIntervals(devlink::Channel& channel, const Intervals& value) {
  const std::array<std::pair<int64_t, const char*>, 3> fields{
      {{value.history, "history"}, {value.print, "print"}, {value.alarm, "alarm"}}};
  for (const auto& [minutes, field] : fields) {
    if (minutes < 1) return Outcome::Refused(kIntervalBelowOne, field);
  }
  for (const auto& [minutes, field] : fields) {
    if (minutes > kMaxInterval) return Outcome::Refused(kIntervalTooLarge, field);
  }
  // The unused upload interval is always sent as 10.
  Bytes payload{0x0A, 0x00};
  for (const auto& [minutes, field] : fields) devlink::PutLe16(payload, static_cast<uint16_t>(minutes));
  return AckedWrite(channel, kWriteIntervals, payload);
}

Result<AlarmDelay> ReadAlarmDelay(devlink::Channel& channel) {
  const auto reply = RunExchange(channel, Request(kReadAlarmDelay),
                                 FromFrame(kDelayReply, kDelayReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const AlarmDelay delay{in.U16Le()};
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, delay};
}

Outcome WriteAlarmDelay(devlink::Channel& channel, int64_t seconds) {
  if (seconds < 0 || seconds > kMaxInterval) return Outcome::Refused(kDelayRange, "seconds");
  Bytes payload;
  devlink::PutLe16(payload, static_cast<uint16_t>(seconds));
  return AckedWrite(channel, kWriteAlarmDelay, payload);
}

Result<SignalStrength> ReadSignalStrength(devlink::Channel& channel) {
  // No echo check. The reply must hold the strength byte: a bare frame would show its end
  // marker as the strength.
  const ReplyRule rule = FromFrame(kSignalReply, kSignalReply).NoEcho();
  const auto reply = RunExchange(channel, Request(kReadSignal, {0x00}), rule, kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const SignalStrength strength{in.U8()};
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, strength};
}

Result<Flag> ReadRecording(devlink::Channel& channel) {
  return ReadFlag(channel, kReadRecording, "recording");
}

Outcome WriteRecording(devlink::Channel& channel, bool on) {
  return GenericWrite(channel, kWriteRecording, on ? 1 : 0, 1);
}

Result<Flag> ReadSoundLight(devlink::Channel& channel) {
  return ReadFlag(channel, kReadSoundLight, "sound-light");
}

Outcome WriteSoundLight(devlink::Channel& channel, bool on) {
  return GenericWrite(channel, kWriteSoundLight, on ? 1 : 0, 1);
}

Result<SmsAlarm> ReadSmsAlarm(devlink::Channel& channel, AlarmScope scope) {
  const bool external = scope == AlarmScope::External;
  const auto read = GenericRead(channel, external ? kReadExternal : kReadSmsMaster);
  if (!read.ok()) return read.outcome;
  const uint32_t value = read.value.value;
  if (!external) return {{}, SmsAlarm{value != 0, std::nullopt}};
  return {{}, SmsAlarm{(value & 0xFF) != 0, ((value >> 8) & 0xFF) != 0}};
}

Outcome WriteSmsAlarm(devlink::Channel& channel, AlarmScope scope, bool soundLight, bool sms) {
  if (scope == AlarmScope::Master) return GenericWrite(channel, kWriteSmsMaster, sms ? 1 : 0, 1);
  const uint32_t value = uint32_t{kExternalWriteMarker} << 16 | uint32_t{soundLight ? 1u : 0u} << 8 |
                         (sms ? 1u : 0u);
  return GenericWrite(channel, kWriteExternal, value, 3);
}

Result<Apn> ReadApn(devlink::Channel& channel) {
  const auto reply =
      RunExchange(channel, Request(kReadApn), FromFrame(kApnReply, kApnReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  Apn apn;
  apn.apn = in.Text(kApnFieldBytes, devlink::kCodePageOem);
  apn.user = in.Text(kApnFieldBytes, devlink::kCodePageOem);
  apn.password = in.Text(kApnFieldBytes, devlink::kCodePageOem);
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, apn};
}

Outcome WriteApn(devlink::Channel& channel, const Apn& value) {
  const std::string_view apn = TrimBlanks(value.apn);
  if (apn.empty()) return Outcome::Refused(kApnEmpty, "apn");
  Bytes payload;
  payload.reserve(kApnPayload);
  for (const auto& [text, field] : {std::pair<std::string_view, const char*>{apn, "apn"},
                                    {value.user, "user"},
                                    {value.password, "password"}}) {
    if (auto refused = PutApnField(payload, text, field)) return *refused;
  }
  return AckedWrite(channel, kWriteApn, payload);
}

Outcome ClearHistory(devlink::Channel& channel) {
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), kClear, kSub);
  // Any command byte in the reply will do; over TCP what the channel accepted suffices.
  const ReplyRule rule = SumRule(kAckReply).NoEcho().Ack().ChannelRuleSuffices();
  const auto reply = RunExchange(channel, request, rule, kClearFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kClearOk);
}

Outcome RestoreFactorySettings(devlink::Channel& channel) {
  // The instrument needs longer to answer a reset than any other command.
  const auto reply = RunExchange(channel, Request(kFactoryReset, {0x01}),
                                 FromFrame(kAckReply, kAckReply).Ack().SerialDelayTimes(2),
                                 kResetFailed);
  if (reply.ok()) return Outcome::Success(kResetOk);
  if (reply.message() == kPortOpenFailed) return Outcome::Failure(kResetPortOpenFailed);
  return reply.outcome;
}

}  // namespace pages::transmitter32
