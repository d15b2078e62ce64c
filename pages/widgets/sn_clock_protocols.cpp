#include "pages/widgets/sn_clock_protocols.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "link/checks.h"
#include "link/codecs.h"
#include "link/frames.h"

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
bool ReadReplyFramed(devlink::ByteView reply, uint8_t command, size_t length) {
  return devlink::CheckSumFrame(reply, command, length, {.echo = false}) ==
         devlink::FrameCheck::Ok;
}

std::string Format(const char* format, auto... values) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

std::optional<int> ArgInt(const Args& args, const std::string& name) {
  auto it = args.find(name);
  if (it == args.end()) return std::nullopt;
  const std::string& text = it->second;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

Outcome ToOutcome(const WidgetReply& reply) {
  if (!reply.ok()) return Outcome::Failure(reply.error);
  Outcome outcome =
      Outcome::Success(reply.successMessage.empty() ? reply.text : reply.successMessage);
  if (!reply.text.empty()) outcome.With("text", reply.text);
  if (reply.reportedAddress) outcome.With("address", int64_t{*reply.reportedAddress});
  return outcome;
}

}  // namespace

ClockTime LocalClockTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
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

WidgetReply ParseSnReadReply(devlink::ByteView reply) {
  if (!ReadReplyFramed(reply, kSnReadCommand, kSnReadReplyLength)) return WidgetReply::Failure(kWidgetReadFailed);
  const uint8_t* p = reply.data() + 5;
  if (p[4] == 0xFF && p[5] == 0xFF) return WidgetReply::Failure(kSnNotConfigured);
  const uint16_t code = static_cast<uint16_t>((p[0] << 8) | p[1]);
  const int serial = (p[2] << 8) | p[3];
  return {{}, SnText(code, serial), {}, {}};
}

std::string ParseSnWriteReply(devlink::ByteView reply) {
  // Length, the 'U' acknowledgement, Sum8, 'f'; neither the start byte nor the echo is checked.
  const devlink::SumReplyChecks checks{.start = false, .echo = false, .ack = true};
  if (devlink::CheckSumFrame(reply, kSnWriteCommand, kSnWriteReplyLength, checks) !=
      devlink::FrameCheck::Ok) {
    return kWidgetSetFailed;
  }
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
  if (!ReadReplyFramed(reply, kClockCommand, kClockReadReplyLength)) {
    return WidgetReply::Failure(kWidgetReadFailed);
  }
  const uint8_t* p = reply.data() + 5;
  using devlink::DecodeBcd8;
  WidgetReply result;
  result.text = Format("%d-%.2d-%.2d %.2d:%.2d:%.2d", 2000 + DecodeBcd8(p[0]), DecodeBcd8(p[1]),
                       DecodeBcd8(p[2]), DecodeBcd8(p[3]), DecodeBcd8(p[4]), DecodeBcd8(p[5]));
  result.successMessage = kWidgetReadSucceeded;
  result.reportedAddress = reply[1];
  return result;
}

WidgetReply RunWidgetCommand(devlink::Channel& channel, WidgetOperation operation,
                             const WidgetRequest& request, const WidgetParse& parse) {
  const char* failure = operation == WidgetOperation::Read ? kWidgetReadFailed : kWidgetSetFailed;
  if (request.bytes.empty()) return WidgetReply::Failure(failure);

  devlink::ReplySpec spec;
  spec.capacity = request.replyLength;
  spec.family = request.family;
  const devlink::ExchangeResult result = channel.Exchange(request.bytes, spec);
  switch (result.status) {
    case devlink::ExchangeStatus::PortNotOpen:
      return WidgetReply::Failure(devlink::kPortOpenFailed);
    case devlink::ExchangeStatus::NoReply:
      // Also for a set time that expects no reply: on TCP that status means the request could
      // not be delivered at all, which must not be reported as a success.
      return WidgetReply::Failure(failure);
    case devlink::ExchangeStatus::Ok:
      break;
  }
  if (!parse) return {};
  return parse(result.reply);
}

WidgetReply ReadSn(devlink::Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read, BuildSnReadRequest(), ParseSnReadReply);
}

WidgetReply WriteSn(devlink::Channel& channel, int year, int month, int serial) {
  if (serial < 0 || serial > kSerialMax) return WidgetReply::Failure(kSerialOutOfRange);
  WidgetReply reply = RunWidgetCommand(
      channel, WidgetOperation::Write, BuildSnWriteRequest(year, month, serial),
      [](devlink::ByteView r) { return WidgetReply{ParseSnWriteReply(r), {}, {}, {}}; });
  if (reply.ok()) reply.successMessage = kWidgetSetSucceeded;
  return reply;
}

WidgetReply ReadClock(devlink::Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read,
                          BuildClockReadRequest(channel.DeviceAddress()), ParseClockReadReply);
}

WidgetReply SetClock(devlink::Channel& channel, const ClockTime& now) {
  WidgetReply reply =
      RunWidgetCommand(channel, WidgetOperation::SetTime, BuildClockSetRequest(now), nullptr);
  if (reply.ok()) reply.successMessage = kWidgetSetSucceeded;
  return reply;
}

CommandSet WidgetCommands() {
  CommandSet set;
  set.page = "widgets";
  set.help = "serial number and clock of the instrument";
  set.commands.push_back(
      {"read-sn", "read the production date and serial number (SN)", {},
       [](devlink::Channel& channel, const Args&) { return ToOutcome(ReadSn(channel)); }});
  set.commands.push_back(
      {"write-sn",
       "write the production date and serial number",
       {{"year", "production year, e.g. 2026"},
        {"month", "production month"},
        {"serial", "serial number 0..65535"}},
       [](devlink::Channel& channel, const Args& args) {
         for (const char* name : {"year", "month", "serial"}) {
           if (!ArgInt(args, name)) return Outcome::Failure("请键入一个整数。", name);
         }
         return ToOutcome(WriteSn(channel, *ArgInt(args, "year"), *ArgInt(args, "month"),
                                  *ArgInt(args, "serial")));
       }});
  set.commands.push_back(
      {"read-clock", "read the instrument's clock", {},
       [](devlink::Channel& channel, const Args&) { return ToOutcome(ReadClock(channel)); }});
  set.commands.push_back({"set-clock", "set the instrument's clock to the PC's local time", {},
                          [](devlink::Channel& channel, const Args&) {
                            return ToOutcome(SetClock(channel, LocalClockTime()));
                          }});
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
