#include "server/gateway_protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/checks.h"
#include "link/reply_reader.h"

namespace gateway {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The leading digits of a text as a number, saturating instead of overflowing.
int64_t LeadingDigits(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{1} << 40);
  }
  return value;
}

// A text as the typed value of a kit field, or the field's refusal.
template <class T>
pages::Result<T> Typed(const pages::Field& field, std::string_view text) {
  auto parsed = pages::ParseField(field, text);
  if (auto* refused = std::get_if<pages::Outcome>(&parsed)) return std::move(*refused);
  return {"", std::get<T>(std::get<pages::Value>(parsed))};
}

Bytes WithId(uint8_t letter, const LoggerId& id) {
  return {0x3E, letter, id.bytes[0], id.bytes[1], id.bytes[2], id.bytes[3]};
}

}  // namespace

std::string SnFromLoggerId(const LoggerId& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X%02X%05d", id.bytes[0], id.bytes[1],
                id.bytes[2] * 256 + id.bytes[3]);
  return text;
}

LoggerId LoggerIdFromSn(std::string_view sn) {
  uint32_t h = 0;
  for (size_t i = 0; i < 3 && i < sn.size() && HexDigit(sn[i]) >= 0; ++i) h = h * 16 + HexDigit(sn[i]);
  const uint32_t d = sn.size() > 3 ? static_cast<uint32_t>(std::max(HexDigit(sn[3]), 0)) : 0;
  const auto n = static_cast<uint32_t>(LeadingDigits(sn.size() > 4 ? sn.substr(4, 5) : ""));
  LoggerId id;
  id.bytes = {static_cast<uint8_t>(h >> 4), static_cast<uint8_t>((h * 16 + d) & 0xFF),
              static_cast<uint8_t>((n >> 8) & 0xFF), static_cast<uint8_t>(n & 0xFF)};
  return id;
}

Bytes ReadCommand() { return {0x3E, 0x52}; }
Bytes BindCommand(const LoggerId& id) { return WithId(0x57, id); }
Bytes DeleteCommand(const LoggerId& id) { return WithId(0x43, id); }
Bytes ClearCommand() { return WithId(0x43, LoggerId{}); }

std::optional<std::vector<std::string>> ParseLoggerList(const Bytes& reply, std::string* problem) {
  const auto fail = [problem](std::string why) -> std::optional<std::vector<std::string>> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (reply.size() % 4 != 0) return fail("reply of " + std::to_string(reply.size()) + " bytes");
  devlink::ReplyReader in(reply);
  std::vector<std::string> sns;
  while (in.remaining() > 0) {
    LoggerId id;
    for (uint8_t& b : id.bytes) b = in.U8();
    std::string sn = SnFromLoggerId(id);
    if (sn != kEmptySlotSn) sns.push_back(std::move(sn));
  }
  if (sns.size() > static_cast<size_t>(kMaxLoggers)) {
    return fail(std::to_string(sns.size()) + " loggers listed, a gateway binds at most " +
                std::to_string(kMaxLoggers));
  }
  return sns;
}

std::string ListReplyMessage(int command, const std::vector<std::string>& sns,
                             std::string_view sn) {
  const bool listed = std::find(sns.begin(), sns.end(), sn) != sns.end();
  switch (command) {
    case kReadLoggers: return "";
    case kClearLoggers: return sns.empty() ? kOperationOk : kOperationFailed;
    case kBindLogger: return listed ? "" : kOperationFailed;
    case kDeleteLogger: return listed ? kOperationFailed : kOperationOk;
    default: return kOperationFailed;
  }
}

uint16_t EncodeTemperatureLimit(float celsius) {
  const double wire = std::trunc(static_cast<double>(celsius) * 10.0 + 2000.0);
  return static_cast<uint16_t>(static_cast<int64_t>(wire) & 0xFFFF);
}

uint8_t EncodeHumidityLimit(float percent) {
  return static_cast<uint8_t>(static_cast<int64_t>(std::trunc(percent)) & 0xFF);
}

Bytes LoggerConfigFrame(const LoggerId& id, uint8_t code, const Bytes& data) {
  Bytes frame;
  frame.reserve(data.size() + 7);
  frame.push_back(static_cast<uint8_t>(5 + data.size()));
  frame.insert(frame.end(), id.bytes.begin(), id.bytes.end());
  frame.push_back(code);
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(devlink::Sum8(frame.data(), static_cast<int32_t>(frame.size())));
  return frame;
}

Bytes ReportIntervalFrame(const LoggerId& id, uint8_t minutes) {
  return LoggerConfigFrame(id, 3, {minutes});
}

Bytes AlarmLimitsFrame(const LoggerId& id, const AlarmLimits& limits) {
  const uint16_t upper = EncodeTemperatureLimit(limits.tempUpper);
  const uint16_t lower = EncodeTemperatureLimit(limits.tempLower);
  return LoggerConfigFrame(id, 4,
                           {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper & 0xFF),
                            static_cast<uint8_t>(lower >> 8), static_cast<uint8_t>(lower & 0xFF),
                            EncodeHumidityLimit(limits.humidityUpper),
                            EncodeHumidityLimit(limits.humidityLower)});
}

bool IsAcknowledgement(const Bytes& frame, const Bytes& reply) {
  return reply.size() >= frame.size() && std::equal(frame.begin(), frame.end(), reply.begin());
}

pages::Result<std::string> CheckSn(std::string_view text) {
  const std::string_view sn = Trim(text);
  if (sn.empty()) return pages::Outcome::Refused(kEnterSn, "sn");
  if (sn.size() != kSnLengthChars) return pages::Outcome::Refused(kSnLength, "sn");
  std::string upper(sn);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  // Travelling as 4 bytes, an SN of other characters, or a number above 65535, would reach
  // the gateway as some other logger.
  if (!pages::ParseSnCode(upper)) return pages::Outcome::Refused(kSnCharacters, "sn");
  return {"", std::move(upper)};
}

pages::Result<int> CheckInterval(std::string_view text) {
  if (Trim(text).empty()) return pages::Outcome::Refused(kEnterInterval, "interval");
  const pages::Field field =
      pages::Integer("interval", "report interval, minutes", 1, 255).Refuse(kIntervalRange);
  const auto minutes = Typed<int64_t>(field, text);
  if (!minutes.ok()) return minutes.outcome;
  return {"", static_cast<int>(minutes.value)};
}

pages::Result<AlarmLimits> CheckLimits(std::string_view tempUpper, std::string_view tempLower,
                                       std::string_view humidityUpper,
                                       std::string_view humidityLower) {
  struct Limit {
    std::string_view text;
    const char* caption;
    const char* field;
    const char* range;
    double min, max;
  };
  const Limit limits[] = {
      {tempUpper, "温度上限", "temp-upper", "温度值范围为(-300~1000)", -300, 1000},
      {tempLower, "温度下限", "temp-lower", "温度值范围为(-300~1000)", -300, 1000},
      {humidityUpper, "湿度上限", "humidity-upper", "湿度值范围为(0~100)", 0, 100},
      {humidityLower, "湿度下限", "humidity-lower", "湿度值范围为(0~100)", 0, 100},
  };
  for (const Limit& limit : limits) {
    if (Trim(limit.text).empty()) {
      return pages::Outcome::Refused(std::string("请输入") + limit.caption, limit.field);
    }
  }
  float values[4];
  for (int i = 0; i < 4; ++i) {
    const pages::Field field =
        pages::Number(limits[i].field, limits[i].caption)
            .Range(limits[i].min, limits[i].max, limits[i].range);
    const auto value = Typed<double>(field, limits[i].text);
    if (!value.ok()) return value.outcome;
    values[i] = static_cast<float>(value.value);
  }
  if (values[1] > values[0]) return pages::Outcome::Refused(kTempOrder, "temp-lower");
  if (values[3] > values[2]) return pages::Outcome::Refused(kHumidityOrder, "humidity-lower");
  return {"", AlarmLimits{values[0], values[1], values[2], values[3]}};
}

pages::Result<uint16_t> CheckPort(std::string_view text) {
  if (Trim(text).empty()) return pages::Outcome::Refused(kEnterPort, "port");
  const pages::Field field = pages::Integer("port", "port", 0, 65535).Refuse(kPortRange);
  const auto port = Typed<int64_t>(field, text);
  if (!port.ok()) return port.outcome;
  return {"", static_cast<uint16_t>(port.value)};
}

}  // namespace gateway
