#include "pages/widgets/sn_clock_protocols.h"

#include <cstdio>
#include <ctime>

#include "link/checks.h"
#include "link/codecs.h"
#include "link/frames.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/local_files.h"

namespace pages {
namespace {

constexpr uint8_t kSnAddress = 0x00;  // the SN commands always go to address 0
constexpr uint8_t kSnReadCommand = 0x32;
constexpr uint8_t kSnWriteCommand = 0x31;
constexpr uint8_t kSnSubCommand = 0xFF;
constexpr size_t kSnReadReplyLength = 13;
constexpr size_t kSnWriteReplyLength = 8;

constexpr uint8_t kClockCommand = 0x08;
constexpr uint8_t kClockReadSub = 0xCC;
constexpr uint8_t kClockSetSub = 0xBB;
constexpr uint8_t kClockSetAddress = 0x00;
constexpr size_t kClockReadReplyLength = 13;

// The checks both 13-byte read replies get: length, '<', Sum8 over all bytes before the last,
// 'f' before the sum. The echoed command is not looked at.
bool ReadReplyFramed(devlink::ByteView reply, size_t length) {
  return CheckReply(reply, {}, SumRule(length).NoEcho()) == devlink::FrameCheck::Ok;
}

std::string Format(const char* format, auto... values) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

}  // namespace

ClockTime LocalClockTime() {
  const std::tm local = pages::LocalNow();
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     local.tm_wday};
}

uint16_t SnDateCode(int year, int month) {
  // Computed in unsigned arithmetic so that any int input wraps instead of overflowing.
  return static_cast<uint16_t>(static_cast<uint32_t>(year) * 16u + static_cast<uint32_t>(month));
}

std::string SnText(uint16_t dateCode, int serial) {
  return Format("%02X%02X%05d", dateCode >> 8, dateCode & 0xFF, serial);
}

WidgetRequest BuildSnReadRequest() {
  return {devlink::BuildSumFrame(kSnAddress, kSnReadCommand, kSnSubCommand), kSnReadReplyLength};
}

WidgetRequest BuildSnWriteRequest(int year, int month, int serial) {
  const uint16_t code = SnDateCode(year, month);
  const uint8_t payload[] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF),
                             static_cast<uint8_t>((serial >> 8) & 0xFF),
                             static_cast<uint8_t>(serial & 0xFF), 0x00, 0x00};
  return {devlink::BuildSumFrame(kSnAddress, kSnWriteCommand, kSnSubCommand, payload),
          kSnWriteReplyLength};
}

Values Describe(const WidgetText& value) {
  Values values;
  if (!value.text.empty()) values.emplace_back("text", value.text);
  if (value.reportedAddress) values.emplace_back("address", int64_t{*value.reportedAddress});
  return values;
}

WidgetReply ParseSnReadReply(devlink::ByteView reply) {
  if (!ReadReplyFramed(reply, kSnReadReplyLength)) return Outcome::Failure(kReadFailed);
  devlink::ReplyReader in(reply, 5);
  const uint16_t code = in.U16Be();
  const int serial = in.U16Be();
  const uint16_t marker = in.U16Be();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  if (marker == 0xFFFF) return Outcome::Failure(kSnNotConfigured);
  return WidgetReply({}, WidgetText{SnText(code, serial), {}});
}

std::string ParseSnWriteReply(devlink::ByteView reply) {
  // Length, Sum8, 'f', the 'U' acknowledgement; neither the start byte nor the echo is checked.
  const ReplyRule rule = SumRule(kSnWriteReplyLength).NoStart().NoEcho().Ack();
  if (CheckReply(reply, {}, rule) != devlink::FrameCheck::Ok) return kWriteFailed;
  return {};
}

WidgetRequest BuildClockReadRequest(uint8_t deviceAddress) {
  return {devlink::BuildSumFrame(deviceAddress, kClockCommand, kClockReadSub),
          kClockReadReplyLength};
}

WidgetRequest BuildClockSetRequest(const ClockTime& now) {
  const uint8_t payload[] = {
      devlink::EncodeBcd8(now.year - 2000), devlink::EncodeBcd8(now.month),
      devlink::EncodeBcd8(now.day),         devlink::EncodeBcd8(now.hour),
      devlink::EncodeBcd8(now.minute),      devlink::EncodeBcd8(now.second)};
  return {devlink::BuildSumFrame(kClockSetAddress, kClockCommand, kClockSetSub, payload), 0};
}

WidgetReply ParseClockReadReply(devlink::ByteView reply) {
  if (!ReadReplyFramed(reply, kClockReadReplyLength)) return Outcome::Failure(kReadFailed);
  devlink::ReplyReader in(reply, 5);
  const devlink::DateTime clock = in.BcdDateTime();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  WidgetText time;
  time.text = devlink::FormatDateTime(clock);
  time.reportedAddress = reply[1];
  return WidgetReply(kReadOk, std::move(time));
}

WidgetReply RunWidgetCommand(devlink::Channel& channel, WidgetOperation operation,
                             const WidgetRequest& request, const WidgetParse& parse) {
  const char* failure = operation == WidgetOperation::Read ? kReadFailed : kWriteFailed;
  // The parse hook checks the reply; the step only runs the exchange.
  ReplyRule rule = NoReplyRule();
  if (request.replyLength != 0) rule = UncheckedRule(request.replyLength, request.family);
  Result<devlink::Bytes> reply = RunExchange(channel, request.bytes, rule, failure);
  if (!reply.ok()) return reply.outcome;
  if (!parse) return WidgetReply({}, {});
  return parse(reply.value);
}

WidgetReply ReadSn(devlink::Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read, BuildSnReadRequest(), ParseSnReadReply);
}

WidgetReply WriteSn(devlink::Channel& channel, int year, int month, int serial) {
  if (serial < 0 || serial > kSerialMax) return Outcome::Refused(kSerialOutOfRange, "serial");
  return RunWidgetCommand(channel, WidgetOperation::Write, BuildSnWriteRequest(year, month, serial),
                          [](devlink::ByteView r) -> WidgetReply {
                            const std::string error = ParseSnWriteReply(r);
                            if (!error.empty()) return Outcome::Failure(error);
                            return WidgetReply(kWriteOk, {});
                          });
}

WidgetReply ReadClock(devlink::Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read,
                          BuildClockReadRequest(channel.DeviceAddress()), ParseClockReadReply);
}

WidgetReply SetClock(devlink::Channel& channel, const ClockTime& now) {
  WidgetReply reply =
      RunWidgetCommand(channel, WidgetOperation::SetTime, BuildClockSetRequest(now), nullptr);
  if (reply.ok()) reply.outcome.message = kWriteOk;
  return reply;
}

std::vector<Field> SnWriteFields() {
  return {Integer("year", "production year", kSnYearMin, kSnYearMax, kSnYearRange),
          Integer("month", "production month", 1, 12, kSnMonthRange),
          Integer("serial", "serial number", 0, kSerialMax, kSerialOutOfRange)};
}

CommandSet WidgetCommands() {
  CommandSet set;
  set.page = "widgets";
  set.help = "serial number and clock of the instrument";
  auto& c = set.commands;
  c.push_back(Verb("read-sn", "read the production date and serial number (SN)", {},
                   [](devlink::Channel& channel, const Args&) { return ReadSn(channel); }));
  c.push_back(Verb("write-sn", "write the production date and serial number",
                   SnWriteFields(), [](devlink::Channel& channel, const Args& args) {
                     return WriteSn(channel, static_cast<int>(args.Int("year")),
                                    static_cast<int>(args.Int("month")),
                                    static_cast<int>(args.Int("serial")));
                   }));
  c.push_back(Verb("read-clock", "read the instrument's clock", {},
                   [](devlink::Channel& channel, const Args&) { return ReadClock(channel); }));
  c.push_back(Verb("set-clock", "set the instrument's clock to the PC's local time", {},
                   [](devlink::Channel& channel, const Args&) {
                     return SetClock(channel, LocalClockTime());
                   }));
  return set;
}

std::vector<CommandDef> WidgetVerbs(std::initializer_list<std::string_view> verbs) {
  std::vector<CommandDef> picked;
  for (CommandDef& def : WidgetCommands().commands) {
    for (std::string_view verb : verbs) {
      if (def.verb == verb) picked.push_back(std::move(def));
    }
  }
  return picked;
}

}  // namespace pages
