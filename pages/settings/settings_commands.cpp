#include "pages/settings/settings_commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "link/frames.h"
#include "pages/widgets/sn_clock_protocols.h"

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

// What a reply must satisfy. On the serial channel the command's own checks apply; over TCP the
// exchange has already accepted the reply by its length, start byte and sum, and those are the
// only checks made.
struct ReplyRule {
  size_t shortest = kShortReply;
  size_t longest = kShortReply;
  bool start = false;              // byte 0 '<'
  bool end = false;                // last-but-one byte 'f'
  std::optional<uint8_t> payload;  // payload byte 0 (acknowledgement or echoed value)
};

enum class Step { Ok, PortNotOpen, Failed };

bool OverTcp(devlink::Channel& channel) {
  auto* link = dynamic_cast<devlink::LinkChannel*>(&channel);
  return link != nullptr && link->Link().tcpMode;
}

bool SumMatches(ByteView r) {
  return !r.empty() && devlink::Sum8(r.data(), static_cast<int32_t>(r.size() - 1)) == r.back();
}

bool Passes(ByteView r, const ReplyRule& rule, bool tcp) {
  if (r.size() < rule.shortest || r.size() > rule.longest) return false;
  if (tcp) return r[0] == devlink::kSumReplyStart && SumMatches(r);
  if (rule.start && r[0] != devlink::kSumReplyStart) return false;
  if (!SumMatches(r)) return false;
  if (rule.end && r[r.size() - 2] != devlink::kSumEndMarker) return false;
  if (rule.payload && r[5] != *rule.payload) return false;
  return true;
}

Step Run(devlink::Channel& channel, const Bytes& request, const ReplyRule& rule, Bytes& reply) {
  devlink::ReplySpec spec;
  spec.capacity = rule.longest;
  spec.minimum = rule.shortest;
  const devlink::ExchangeResult result = channel.Exchange(request, spec);
  if (result.status == devlink::ExchangeStatus::PortNotOpen) return Step::PortNotOpen;
  if (result.status != devlink::ExchangeStatus::Ok) return Step::Failed;
  if (!Passes(result.reply, rule, OverTcp(channel))) return Step::Failed;
  reply = result.reply;
  return Step::Ok;
}

Outcome StepFailure(Step step, const char* failure) {
  return Outcome::Failure(step == Step::PortNotOpen ? devlink::kPortOpenFailed : failure);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<int> ParseInt(std::string_view text) {
  text = Trim(text);
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  double value = 0.0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
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

// One row of limit edits: not empty, numbers, within the edit's range, lower <= upper.
Outcome ValidateRow(const LimitRange& range, std::string_view lowerText, std::string_view upperText,
                    const char* lowerField, const char* upperField, const char* orderMessage,
                    LimitRow& out) {
  if (Trim(lowerText).empty()) return Outcome::Failure(kDataEmpty, lowerField);
  if (Trim(upperText).empty()) return Outcome::Failure(kDataEmpty, upperField);
  const std::optional<double> lower = ParseNumber(lowerText);
  if (!lower) return Outcome::Failure(kNotANumber, lowerField);
  const std::optional<double> upper = ParseNumber(upperText);
  if (!upper) return Outcome::Failure(kNotANumber, upperField);
  if (*lower < range.min || *lower > range.max) {
    return Outcome::Failure(RangeMessage(range), lowerField);
  }
  if (*upper < range.min || *upper > range.max) {
    return Outcome::Failure(RangeMessage(range), upperField);
  }
  if (*lower > *upper) return Outcome::Failure(orderMessage, lowerField);
  out = {*lower, *upper};
  return Outcome::Success({});
}

}  // namespace

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

Outcome ChangeAddress(devlink::Channel& channel, std::string_view oldText,
                      std::string_view newText) {
  if (Trim(oldText).empty()) return Outcome::Failure(kAddressEmpty, "old");
  if (Trim(newText).empty()) return Outcome::Failure(kAddressEmpty, "new");
  const std::optional<int> oldAddress = ParseInt(oldText);
  if (!oldAddress || *oldAddress < 1 || *oldAddress > 255) {
    return Outcome::Failure(kAddressRange, "old");
  }
  const std::optional<int> newAddress = ParseInt(newText);
  if (!newAddress || *newAddress < 1 || *newAddress > 255) {
    return Outcome::Failure(kAddressRange, "new");
  }
  const auto target = static_cast<uint8_t>(*newAddress);
  const Bytes payload{target};
  const Bytes request =
      devlink::BuildSumFrame(static_cast<uint8_t>(*oldAddress), kCmdAddress, kSubAddress, payload);
  Bytes reply;
  const Step step = Run(channel, request, {.end = true, .payload = target}, reply);
  if (step != Step::Ok) return StepFailure(step, kAddressFailed);
  return Outcome::Success(kAddressOk).With("address", int64_t{*newAddress});
}

Outcome ReadSwitches(devlink::Channel& channel, SwitchKind kind, SwitchPair& out) {
  const uint8_t sub = kind == SwitchKind::Calibration ? kSubCalibrationRead : kSubSwitchRead;
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), SwitchCommand(kind), sub);
  Bytes reply;
  const Step step =
      Run(channel, request, {.start = true, .end = true, .payload = std::nullopt}, reply);
  if (step != Step::Ok) return StepFailure(step, kReadFailed);
  out.temperature = (reply[5] & 0x01) != 0;
  out.humidity = (reply[5] & 0x02) != 0;
  return Outcome::Success(kReadOk).With("temp", out.temperature).With("hum", out.humidity);
}

Outcome WriteSwitches(devlink::Channel& channel, SwitchKind kind, const SwitchPair& value) {
  const Bytes payload{
      static_cast<uint8_t>((value.temperature ? 0x01 : 0) | (value.humidity ? 0x02 : 0))};
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), SwitchCommand(kind),
                                               kSubSwitchWrite, payload);
  ReplyRule rule{.payload = devlink::kAck};
  // The control switches are checked for their start byte, the others for the end marker.
  if (kind == SwitchKind::Control) {
    rule.start = true;
  } else {
    rule.end = true;
  }
  Bytes reply;
  const Step step = Run(channel, request, rule, reply);
  if (step != Step::Ok) return StepFailure(step, kWriteFailed);
  return Outcome::Success(kWriteOk);
}

Outcome ReadRecording(devlink::Channel& channel, Recording& out) {
  const Bytes request =
      devlink::BuildSumFrame(channel.DeviceAddress(), kCmdRecording, kSubRecording);
  Bytes reply;
  const Step step = Run(channel, request,
                        {.shortest = kRecordingMinutesReply,
                         .longest = kRecordingHoursReply,
                         .payload = std::nullopt},
                        reply);
  if (step != Step::Ok) return StepFailure(step, kReadFailed);
  // The reply's length tells the unit: one byte more for hours.
  out.unit = reply.size() == kRecordingHoursReply ? RecordingUnit::Hours : RecordingUnit::Minutes;
  out.interval = reply[5];
  out.capacity = devlink::DecodeSignMag16(reply[7], reply[6]);
  return Outcome::Success(kReadOk)
      .With("interval", int64_t{out.interval})
      .With("unit", std::string(out.unit == RecordingUnit::Hours ? "hours" : "minutes"))
      .With("capacity", int64_t{out.capacity});
}

Outcome WriteRecording(devlink::Channel& channel, const Recording& value) {
  if (value.unit == RecordingUnit::Hours && (value.interval < 1 || value.interval > 23)) {
    return Outcome::Failure(kHourIntervalRange, "interval");
  }
  if (value.unit == RecordingUnit::Minutes && (value.interval < 1 || value.interval > 59)) {
    return Outcome::Failure(kMinuteIntervalRange, "interval");
  }
  if (value.capacity <= 0) return Outcome::Failure(kCapacityNotPositive, "capacity");
  if (value.capacity > kMaxCapacity) return Outcome::Failure(kCapacityTooLarge, "capacity");
  uint8_t high = 0, low = 0;
  devlink::EncodeSignMag16(value.capacity, high, low);
  Bytes payload{static_cast<uint8_t>(value.interval), low, high};
  const bool hours = value.unit == RecordingUnit::Hours;
  if (hours) payload.push_back(0x00);
  const Bytes request =
      devlink::BuildSumFrame(channel.DeviceAddress(), kCmdRecording, kSubRecording, payload);
  Bytes reply;
  const Step step = Run(channel, request, {.payload = hours ? kHoursAck : devlink::kAck}, reply);
  if (step != Step::Ok) return StepFailure(step, kWriteFailed);
  return Outcome::Success(kWriteOk);
}

Outcome ValidateLimits(LimitKind kind, const LimitsText& text, Limits& out) {
  Limits limits;
  Outcome row = ValidateRow(TemperatureRange(kind), text.tempLower, text.tempUpper, "temp-lower",
                            "temp-upper", kTempOrder, limits.temperature);
  if (!row.ok) return row;
  row = ValidateRow(HumidityRange(kind), text.humLower, text.humUpper, "hum-lower", "hum-upper",
                    kHumOrder, limits.humidity);
  if (!row.ok) return row;
  out = limits;
  return Outcome::Success({});
}

Outcome ReadLimits(devlink::Channel& channel, LimitKind kind, Limits& out) {
  Limits limits;
  for (const uint8_t sub : {kSubTemperatureRow, kSubHumidityRow}) {
    const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), LimitCommand(kind), sub);
    Bytes reply;
    const Step step = Run(channel, request,
                          {.shortest = kLimitsReply,
                           .longest = kLimitsReply,
                           .start = true,
                           .end = true,
                           .payload = std::nullopt},
                          reply);
    if (step != Step::Ok) return StepFailure(step, kReadFailed);
    LimitRow& row = sub == kSubTemperatureRow ? limits.temperature : limits.humidity;
    row.lower = devlink::DecodeTenths16(reply[6], reply[5]);
    row.upper = devlink::DecodeTenths16(reply[8], reply[7]);
  }
  out = limits;
  return Outcome::Success(kReadOk)
      .With("temp-lower", out.temperature.lower)
      .With("temp-upper", out.temperature.upper)
      .With("hum-lower", out.humidity.lower)
      .With("hum-upper", out.humidity.upper);
}

Outcome WriteLimits(devlink::Channel& channel, LimitKind kind, const LimitsText& text) {
  Limits limits;
  Outcome valid = ValidateLimits(kind, text, limits);
  if (!valid.ok) return valid;
  // The alarm limits are checked for their acknowledgement only, the control limits also for
  // the end marker.
  const ReplyRule rule{.end = kind == LimitKind::Control, .payload = devlink::kAck};
  for (const uint8_t sub : {kSubTemperatureRow, kSubHumidityRow}) {
    const LimitRow& row = sub == kSubTemperatureRow ? limits.temperature : limits.humidity;
    Bytes payload;
    PutTenths(payload, row.lower);
    PutTenths(payload, row.upper);
    const Bytes request =
        devlink::BuildSumFrame(channel.DeviceAddress(), LimitCommand(kind), sub, payload);
    Bytes reply;
    const Step step = Run(channel, request, rule, reply);
    if (step != Step::Ok) return StepFailure(step, kWriteFailed);
  }
  return Outcome::Success(kWriteOk);
}

Outcome ClearHistory(devlink::Channel& channel) {
  const Bytes request = devlink::BuildSumFrame(channel.DeviceAddress(), kCmdClear, kSubClear);
  Bytes reply;
  const Step step =
      Run(channel, request, {.start = true, .end = true, .payload = devlink::kAck}, reply);
  if (step != Step::Ok) return StepFailure(step, kClearFailed);
  return Outcome::Success(kClearOk);
}

// ---- tool-cli verbs ----

namespace {

std::optional<bool> ParseSwitch(std::string_view text) {
  text = Trim(text);
  if (text == "on" || text == "1" || text == "true" || text == "yes") return true;
  if (text == "off" || text == "0" || text == "false" || text == "no") return false;
  return std::nullopt;
}

const std::string& Arg(const Args& args, const std::string& name) {
  static const std::string kEmpty;
  auto it = args.find(name);
  return it == args.end() ? kEmpty : it->second;
}

CommandDef SwitchReadVerb(const char* verb, const char* help, SwitchKind kind) {
  return {verb, help, {}, [kind](devlink::Channel& channel, const Args&) {
            SwitchPair value;
            return ReadSwitches(channel, kind, value);
          }};
}

CommandDef SwitchWriteVerb(const char* verb, const char* help, SwitchKind kind) {
  return {verb,
          help,
          {{"temp", "temperature switch: on|off"}, {"hum", "humidity switch: on|off"}},
          [kind](devlink::Channel& channel, const Args& args) {
            const std::optional<bool> temp = ParseSwitch(Arg(args, "temp"));
            if (!temp) return Outcome::Failure("--temp must be on or off", "temp");
            const std::optional<bool> hum = ParseSwitch(Arg(args, "hum"));
            if (!hum) return Outcome::Failure("--hum must be on or off", "hum");
            return WriteSwitches(channel, kind, {*temp, *hum});
          }};
}

CommandDef LimitsReadVerb(const char* verb, const char* help, LimitKind kind) {
  return {verb, help, {}, [kind](devlink::Channel& channel, const Args&) {
            Limits value;
            return ReadLimits(channel, kind, value);
          }};
}

CommandDef LimitsWriteVerb(const char* verb, const char* help, LimitKind kind) {
  return {verb,
          help,
          {{"temp-lower", "temperature lower limit"},
           {"temp-upper", "temperature upper limit"},
           {"hum-lower", "humidity lower limit"},
           {"hum-upper", "humidity upper limit"}},
          [kind](devlink::Channel& channel, const Args& args) {
            return WriteLimits(channel, kind,
                               {Arg(args, "temp-lower"), Arg(args, "temp-upper"),
                                Arg(args, "hum-lower"), Arg(args, "hum-upper")});
          }};
}

}  // namespace

CommandSet Commands() {
  CommandSet set{
      "settings",
      "settings: address, recording, calibration switches, alarm and control limits, history",
      {}};
  auto& c = set.commands;
  c.push_back({"set-address",
               "change the bus address (the request goes to the old address)",
               {{"old", "current address 1..255"}, {"new", "new address 1..255"}},
               [](devlink::Channel& channel, const Args& args) {
                 return ChangeAddress(channel, Arg(args, "old"), Arg(args, "new"));
               }});
  // The clock widget that the page hosts: its read and set commands are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-clock", "set-clock"})) c.push_back(std::move(def));
  c.push_back(
      SwitchReadVerb("read-calibration", "read the calibration switches", SwitchKind::Calibration));
  c.push_back(SwitchWriteVerb("write-calibration", "write the calibration switches",
                              SwitchKind::Calibration));
  c.push_back({"read-recording",
               "read the recording interval, its unit and the capacity",
               {},
               [](devlink::Channel& channel, const Args&) {
                 Recording value;
                 return ReadRecording(channel, value);
               }});
  c.push_back({"write-recording",
               "write the recording interval, its unit and the capacity",
               {{"interval", "interval 1..23 (hours) or 1..59 (minutes)"},
                {"unit", "hours|minutes"},
                {"capacity", "storage capacity in records, 1..32767"}},
               [](devlink::Channel& channel, const Args& args) {
                 const std::optional<int> interval = ParseInt(Arg(args, "interval"));
                 if (!interval) return Outcome::Failure(kNotAnInteger, "interval");
                 const std::string& unit = Arg(args, "unit");
                 if (unit != "hours" && unit != "minutes") {
                   return Outcome::Failure("--unit must be hours or minutes", "unit");
                 }
                 const std::optional<int> capacity = ParseInt(Arg(args, "capacity"));
                 if (!capacity) return Outcome::Failure(kNotAnInteger, "capacity");
                 return WriteRecording(
                     channel,
                     {*interval, unit == "hours" ? RecordingUnit::Hours : RecordingUnit::Minutes,
                      *capacity});
               }});
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
  c.push_back({"clear-data",
               "erase the stored history (cannot be undone)",
               {{"confirm", "must be yes"}},
               [](devlink::Channel& channel, const Args& args) {
                 if (Arg(args, "confirm") != "yes") {
                   return Outcome::Failure("--confirm yes is required to erase the history",
                                           "confirm");
                 }
                 return ClearHistory(channel);
               }});
  return set;
}

}  // namespace pages::settings
