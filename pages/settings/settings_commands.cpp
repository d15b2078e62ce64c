#include "pages/settings/settings_commands.h"

#include <cstdio>
#include <optional>

#include "link/frames.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/profile.h"
#include "pages/widgets/sn_clock_protocols.h"
#include "pages/widgets/version_read.h"

namespace pages::settings {

namespace {

using devlink::Bytes;
using devlink::ByteView;

// Command bytes.
constexpr uint8_t kCmdAddress = 0x02;
constexpr uint8_t kCmdCalibration = 0x04;
constexpr uint8_t kCmdRecording = 0x08;
constexpr uint8_t kCmdClear = 0x09;
constexpr uint8_t kCmdAlarm = 0x0A;
constexpr uint8_t kCmdControl = 0x0D;

constexpr uint8_t kSubAddress = 0x55;
constexpr uint8_t kSubCalibrationRead = 0x55;
constexpr uint8_t kSubSwitchRead = 0xBB;
constexpr uint8_t kSubSwitchWrite = 0xAA;
constexpr uint8_t kSubRecording = 0xDD;
constexpr uint8_t kSubClear = 0xFF;
constexpr uint8_t kSubTemperatureRow = 0x01;
constexpr uint8_t kSubHumidityRow = 0x02;

// The recording write in hours is acknowledged with 0xAA instead of 'U'.
constexpr uint8_t kHoursAck = 0xAA;

constexpr size_t kShortReply = 8;
constexpr size_t kLimitsReply = 11;
constexpr size_t kRecordingMinutesReply = 10;
constexpr size_t kRecordingHoursReply = 11;

// This page's replies get no echo check, and over TCP only what the channel checked (length,
// '<', sum) besides their length.
ReplyRule Rule(size_t length = kShortReply) {
  return SumRule(length).NoEcho().ChannelRuleSuffices();
}

uint8_t SwitchCommand(SwitchKind kind) {
  switch (kind) {
    case SwitchKind::Calibration:
      return kCmdCalibration;
    case SwitchKind::Alarm:
      return kCmdAlarm;
    case SwitchKind::Control:
      return kCmdControl;
  }
  return kCmdAlarm;
}

uint8_t LimitCommand(LimitKind kind) { return kind == LimitKind::Alarm ? kCmdAlarm : kCmdControl; }

void PutTenths(Bytes& out, double value) {
  uint8_t high = 0, low = 0;
  devlink::EncodeTenths16(value, high, low);
  out.push_back(low);
  out.push_back(high);
}

std::optional<int> ParseInt(std::string_view text) {
  const std::optional<int64_t> value = ParseWholeInt(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return static_cast<int>(*value);
}

// One row of limit edits: not empty, numbers, within the edit's range, lower <= upper.
Result<LimitRow> ValidateRow(const LimitRange& range, std::string_view lowerText,
                             std::string_view upperText, const char* lowerField,
                             const char* upperField, const char* orderMessage) {
  if (TrimBlanks(lowerText).empty()) return Outcome::Refused(kDataEmpty, lowerField);
  if (TrimBlanks(upperText).empty()) return Outcome::Refused(kDataEmpty, upperField);
  const std::optional<double> lower = ParseWholeNumber(lowerText);
  if (!lower) return Outcome::Refused(kNotANumber, lowerField);
  const std::optional<double> upper = ParseWholeNumber(upperText);
  if (!upper) return Outcome::Refused(kNotANumber, upperField);
  if (*lower < range.min || *lower > range.max) {
    return Outcome::Refused(RangeMessage(range), lowerField);
  }
  if (*upper < range.min || *upper > range.max) {
    return Outcome::Refused(RangeMessage(range), upperField);
  }
  if (*lower > *upper) return Outcome::Refused(orderMessage, lowerField);
  return {{}, LimitRow{*lower, *upper}};
}

}  // namespace

Values Describe(const NewAddress& value) { return {{"address", int64_t{value.address}}}; }

Values Describe(const SwitchPair& value) {
  return {{"temp", value.temperature}, {"hum", value.humidity}};
}

Values Describe(const Recording& value) {
  return {{"interval", int64_t{value.interval}},
          {"unit", std::string(value.unit == RecordingUnit::Hours ? "hours" : "minutes")},
          {"capacity", int64_t{value.capacity}}};
}

Values Describe(const Limits& value) {
  return {{"temp-lower", value.temperature.lower},
          {"temp-upper", value.temperature.upper},
          {"hum-lower", value.humidity.lower},
          {"hum-upper", value.humidity.upper}};
}

LimitRange TemperatureRange(LimitKind) { return {-300.0, 1000.0, "温度"}; }

LimitRange HumidityRange(LimitKind kind) {
  return kind == LimitKind::Alarm ? LimitRange{-300.0, 1000.0, "湿度"}
                                  : LimitRange{0.0, 100.0, "湿度"};
}

std::string RangeMessage(const LimitRange& range) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s值范围为(%.0f~%.0f)", range.name, range.min, range.max);
  return buffer;
}

Result<NewAddress> ChangeAddress(devlink::Channel& channel, std::string_view oldText,
                                 std::string_view newText) {
  if (TrimBlanks(oldText).empty()) return Outcome::Refused(kAddressEmpty, "old");
  if (TrimBlanks(newText).empty()) return Outcome::Refused(kAddressEmpty, "new");
  const std::optional<int> oldAddress = ParseInt(oldText);
  if (!oldAddress || *oldAddress < 1 || *oldAddress > 255) {
    return Outcome::Refused(kAddressRange, "old");
  }
  const std::optional<int> newAddress = ParseInt(newText);
  if (!newAddress || *newAddress < 1 || *newAddress > 255) {
    return Outcome::Refused(kAddressRange, "new");
  }
  const auto target = static_cast<uint8_t>(*newAddress);
  const Bytes request = devlink::BuildSumFrame(static_cast<uint8_t>(*oldAddress), kCmdAddress,
                                               kSubAddress, Bytes{target});
  // The reply carries the new address where others carry the acknowledgement.
  const auto reply = RunExchange(channel, request, Rule().NoStart().Ack(target), kAddressFailed);
  if (!reply.ok()) return reply.outcome;
  return {kAddressOk, NewAddress{*newAddress}};
}

Result<SwitchPair> ReadSwitches(devlink::Channel& channel, SwitchKind kind) {
  const uint8_t sub = kind == SwitchKind::Calibration ? kSubCalibrationRead : kSubSwitchRead;
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), SwitchCommand(kind), sub);
  const auto reply = RunExchange(channel, request, Rule(), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const uint8_t flags = in.U8();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {kReadOk, SwitchPair{(flags & 0x01) != 0, (flags & 0x02) != 0}};
}

Outcome WriteSwitches(devlink::Channel& channel, SwitchKind kind, const SwitchPair& value) {
  const Bytes payload{
      static_cast<uint8_t>((value.temperature ? 0x01 : 0) | (value.humidity ? 0x02 : 0))};
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), SwitchCommand(kind),
                                               kSubSwitchWrite, payload);
  // The control switches are checked for their start byte, the others for the end marker.
  ReplyRule rule = Rule().Ack();
  if (kind == SwitchKind::Control) {
    rule.NoEnd();
  } else {
    rule.NoStart();
  }
  const auto reply = RunExchange(channel, request, rule, kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

Result<Recording> ReadRecording(devlink::Channel& channel) {
  const Bytes request =
      devlink::BuildSumFrame(channel.DeviceAddress(), kCmdRecording, kSubRecording);
  // Checked for its sum only.
  const ReplyRule rule =
      Rule(kRecordingMinutesReply).UpTo(kRecordingHoursReply).NoStart().NoEnd();
  const auto reply = RunExchange(channel, request, rule, kReadFailed);
  if (!reply.ok()) return reply.outcome;
  const Bytes& r = reply.value;
  // The reply's length tells the unit: one byte more for hours.
  Recording value;
  value.unit = r.size() == kRecordingHoursReply ? RecordingUnit::Hours : RecordingUnit::Minutes;
  devlink::ReplyReader in(r, devlink::kSumFramePayloadFrom);
  value.interval = in.U8();
  value.capacity = in.SignMag16Le();
  // Only what the instrument can be told is shown as read.
  const int maxInterval = value.unit == RecordingUnit::Hours ? 23 : 59;
  in.Require(value.interval >= 1 && value.interval <= maxInterval,
             "interval " + std::to_string(value.interval) + " out of 1.." +
                 std::to_string(maxInterval));
  in.Require(value.capacity >= 1, "capacity " + std::to_string(value.capacity) + " below 1");
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {kReadOk, value};
}

Outcome WriteRecording(devlink::Channel& channel, const Recording& value) {
  if (value.unit == RecordingUnit::Hours && (value.interval < 1 || value.interval > 23)) {
    return Outcome::Refused(kHourIntervalRange, "interval");
  }
  if (value.unit == RecordingUnit::Minutes && (value.interval < 1 || value.interval > 59)) {
    return Outcome::Refused(kMinuteIntervalRange, "interval");
  }
  if (value.capacity <= 0) return Outcome::Refused(kCapacityNotPositive, "capacity");
  if (value.capacity > kMaxCapacity) return Outcome::Refused(kCapacityTooLarge, "capacity");
  uint8_t high = 0, low = 0;
  devlink::EncodeSignMag16(value.capacity, high, low);
  Bytes payload{static_cast<uint8_t>(value.interval), low, high};
  const bool hours = value.unit == RecordingUnit::Hours;
  if (hours) payload.push_back(0x00);
  const Bytes request =
      devlink::BuildSumFrame(channel.DeviceAddress(), kCmdRecording, kSubRecording, payload);
  const ReplyRule rule = Rule().NoStart().NoEnd().Ack(hours ? kHoursAck : devlink::kAck);
  const auto reply = RunExchange(channel, request, rule, kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

Result<Limits> ValidateLimits(LimitKind kind, const LimitsText& text) {
  const auto temperature = ValidateRow(TemperatureRange(kind), text.tempLower, text.tempUpper,
                                       "temp-lower", "temp-upper", kTempOrder);
  if (!temperature.ok()) return temperature.outcome;
  const auto humidity = ValidateRow(HumidityRange(kind), text.humLower, text.humUpper,
                                    "hum-lower", "hum-upper", kHumOrder);
  if (!humidity.ok()) return humidity.outcome;
  return {{}, Limits{temperature.value, humidity.value}};
}

Result<Limits> ReadLimits(devlink::Channel& channel, LimitKind kind) {
  Limits limits;
  for (const uint8_t sub : {kSubTemperatureRow, kSubHumidityRow}) {
    const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), LimitCommand(kind), sub);
    const auto reply = RunExchange(channel, request, Rule(kLimitsReply), kReadFailed);
    if (!reply.ok()) return reply.outcome;
    devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
    LimitRow& row = sub == kSubTemperatureRow ? limits.temperature : limits.humidity;
    row.lower = in.Tenths16Le();
    row.upper = in.Tenths16Le();
    if (!in.ok()) return DecodeFailure(kReadFailed, in);
  }
  return {kReadOk, limits};
}

Outcome WriteLimits(devlink::Channel& channel, LimitKind kind, const LimitsText& text) {
  const auto limits = ValidateLimits(kind, text);
  if (!limits.ok()) return limits.outcome;
  // The alarm limits are checked for their acknowledgement only, the control limits also for
  // the end marker.
  ReplyRule rule = Rule().NoStart().Ack();
  if (kind == LimitKind::Alarm) rule.NoEnd();
  for (const uint8_t sub : {kSubTemperatureRow, kSubHumidityRow}) {
    const LimitRow& row =
        sub == kSubTemperatureRow ? limits.value.temperature : limits.value.humidity;
    Bytes payload;
    PutTenths(payload, row.lower);
    PutTenths(payload, row.upper);
    const Bytes request =
        devlink::BuildSumFrame(channel.DeviceAddress(), LimitCommand(kind), sub, payload);
    const auto reply = RunExchange(channel, request, rule, kWriteFailed);
    if (!reply.ok()) return reply.outcome;
  }
  return Outcome::Success(kWriteOk);
}

Outcome ClearHistory(devlink::Channel& channel) {
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), kCmdClear, kSubClear);
  const auto reply = RunExchange(channel, request, Rule().Ack(), kClearFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kClearOk);
}

// ---- tool-cli verbs ----

namespace {

CommandDef SwitchReadVerb(const char* verb, const char* help, SwitchKind kind) {
  return Verb(verb, help, {},
              [kind](devlink::Channel& channel, const Args&) { return ReadSwitches(channel, kind); });
}

CommandDef SwitchWriteVerb(const char* verb, const char* help, SwitchKind kind) {
  return Verb(verb, help, {Switch("temp", "temperature switch"), Switch("hum", "humidity switch")},
              [kind](devlink::Channel& channel, const Args& args) {
                return WriteSwitches(channel, kind, {args.Switch("temp"), args.Switch("hum")});
              });
}

CommandDef LimitsReadVerb(const char* verb, const char* help, LimitKind kind) {
  return Verb(verb, help, {},
              [kind](devlink::Channel& channel, const Args&) { return ReadLimits(channel, kind); });
}

// The limits travel as the page's edits give them: the command checks emptiness, numbers,
// ranges and order with the page's own messages.
CommandDef LimitsWriteVerb(const char* verb, const char* help, LimitKind kind) {
  // --help tells the range the command checks; each lower limit must not exceed its upper one.
  const auto limit = [](const char* name, const char* help, const LimitRange& range) {
    char words[64];
    std::snprintf(words, sizeof words, "number %.0f..%.0f", range.min, range.max);
    return Text(name, help).Takes(words);
  };
  const LimitRange temperature = TemperatureRange(kind);
  const LimitRange humidity = HumidityRange(kind);
  return Verb(verb, help,
              {limit("temp-lower", "temperature lower limit", temperature),
               limit("temp-upper", "temperature upper limit", temperature),
               limit("hum-lower", "humidity lower limit", humidity),
               limit("hum-upper", "humidity upper limit", humidity)},
              [kind](devlink::Channel& channel, const Args& args) {
                return WriteLimits(channel, kind,
                                   {args.Text("temp-lower"), args.Text("temp-upper"),
                                    args.Text("hum-lower"), args.Text("hum-upper")});
              });
}

}  // namespace

CommandSet Commands() {
  CommandSet set{
      "settings",
      "settings: address, recording, calibration switches, alarm and control limits, history",
      {}};
  auto& c = set.commands;
  c.push_back(Verb("set-address", "change the bus address (the request goes to the old address)",
                   {Text("old", "current address").Takes("integer 1..255"),
                    Text("new", "new address").Takes("integer 1..255")},
                   [](devlink::Channel& channel, const Args& args) {
                     return ChangeAddress(channel, args.Text("old"), args.Text("new"));
                   }));
  // The clock widget that the page hosts: its read and set commands are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-clock", "set-clock"})) c.push_back(std::move(def));
  c.push_back(
      SwitchReadVerb("read-calibration", "read the calibration switches", SwitchKind::Calibration));
  c.push_back(SwitchWriteVerb("write-calibration", "write the calibration switches",
                              SwitchKind::Calibration));
  c.push_back(Verb("read-recording", "read the recording interval, its unit and the capacity", {},
                   [](devlink::Channel& channel, const Args&) { return ReadRecording(channel); }));
  c.push_back(Verb(
      "write-recording", "write the recording interval, its unit and the capacity",
      {Integer("interval", "interval: 1..23 hours or 1..59 minutes", INT32_MIN, INT32_MAX),
       Choice("unit", "unit of the interval", {"hours", "minutes"}),
       Integer("capacity", "storage capacity in records, 1..32767", INT32_MIN, INT32_MAX)},
      [](devlink::Channel& channel, const Args& args) {
        const RecordingUnit unit =
            args.Text("unit") == "hours" ? RecordingUnit::Hours : RecordingUnit::Minutes;
        return WriteRecording(channel, {static_cast<int>(args.Int("interval")), unit,
                                        static_cast<int>(args.Int("capacity"))});
      }));
  c.push_back(SwitchReadVerb("read-alarm-switches", "read the alarm switches", SwitchKind::Alarm));
  c.push_back(
      SwitchWriteVerb("write-alarm-switches", "write the alarm switches", SwitchKind::Alarm));
  c.push_back(LimitsReadVerb("read-alarm-limits", "read the alarm limits", LimitKind::Alarm));
  c.push_back(LimitsWriteVerb("write-alarm-limits", "write the alarm limits", LimitKind::Alarm));
  c.push_back(
      SwitchReadVerb("read-control-switches", "read the control switches", SwitchKind::Control));
  c.push_back(
      SwitchWriteVerb("write-control-switches", "write the control switches", SwitchKind::Control));
  c.push_back(LimitsReadVerb("read-control-limits", "read the control limits", LimitKind::Control));
  c.push_back(
      LimitsWriteVerb("write-control-limits", "write the control limits", LimitKind::Control));
  c.push_back(Verb("clear-data", "erase the stored history (cannot be undone)",
                   {Choice("confirm", "must be yes", {"yes"})},
                   [](devlink::Channel& channel, const Args&) { return ClearHistory(channel); }));
  // The configuration a profile keeps: recording first (a new interval may restart the
  // logging), then the switches, each before the limits they enable.
  AddProfile(set, {{{"read-recording", "write-recording"},
                    {"read-calibration", "write-calibration"},
                    {"read-alarm-limits", "write-alarm-limits"},
                    {"read-alarm-switches", "write-alarm-switches"},
                    {"read-control-limits", "write-control-limits"},
                    {"read-control-switches", "write-control-switches"}},
                   {},
                   {},
                   IdentityValues});
  return set;
}

}  // namespace pages::settings
