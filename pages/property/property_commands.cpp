#include "pages/property/property_commands.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "link/checks.h"

namespace pages::property {

using devlink::ByteView;
using devlink::Bytes;
using devlink::Channel;
using devlink::ExchangeStatus;
using devlink::FrameCheck;

namespace {

constexpr LimitRange kTemperature{-300.0, 1000.0};
constexpr LimitRange kHumidity{0.0, 100.0};
constexpr LimitRange kCarbonDioxide{0.0, 10000.0};

constexpr std::array<ChannelType, 29> kTypes{{
    {1, "温度传感器", kTemperature},
    {2, "湿度传感器", kHumidity},
    {3, "单温卡片", kTemperature},
    {4, "温湿卡片-温度", kTemperature},
    {5, "温湿卡片-湿度", kHumidity},
    {6, "经度", std::nullopt},
    {7, "纬度", std::nullopt},
    {8, "速度", std::nullopt},
    {9, "PT1000", std::nullopt},
    {10, "盛亿探头-温度", kTemperature},
    {11, "盛亿探头-湿度", kHumidity},
    {12, "创辉探头-温度", kTemperature},
    {13, "创辉探头-湿度", kHumidity},
    {14, "二氧化碳浓度", kCarbonDioxide},
    {15, "门磁开关", std::nullopt},
    {16, "放射源-板温", std::nullopt},
    {17, "放射源-状态", std::nullopt},
    {18, "放射源-探温", std::nullopt},
    {19, "放射源-辐射剂量率", std::nullopt},
    {20, "盛亿-二氧化碳", kCarbonDioxide},
    {21, "信致采集器-温度", kTemperature},
    {22, "信致采集器-湿度", kHumidity},
    {47, "LORA-温度", kTemperature},
    {48, "LORA-湿度", kHumidity},
    {49, "LORA-单温度", kTemperature},
    {50, "LORA-门磁", LimitRange{0.0, 1.0}},
    {51, "LORA-二氧化碳", LimitRange{0.0, 2000.0}},
    {52, "LORA-氧气", LimitRange{0.0, 25.0}},
    {53, "LORA-大气压", LimitRange{500.0, 1200.0}},
}};

// Alarm flag bits of the channel record. A read reports sound/light in bit 2 and SMS in bit 3;
// a write sets bits 1 and 2 for sound/light, bit 3 for SMS and bit 0 when either is on.
constexpr uint8_t kReadSoundLight = 0x04;
constexpr uint8_t kReadSms = 0x08;
constexpr uint8_t kWriteSoundLight = 0x06;
constexpr uint8_t kWriteSms = 0x08;
constexpr uint8_t kWriteAnyAlarm = 0x01;

constexpr size_t kChannelReplyLength = kChannelRecordSize + devlink::kSumFrameOverhead;  // 27
constexpr size_t kAckReplyLength = 1 + devlink::kSumFrameOverhead;                       // 8
constexpr size_t kProtectionReplyLength = 8 + devlink::kSumFrameOverhead;                // 15
constexpr size_t kServerHeaderSize = 6;  // IP (4) + port (2) before the domain text

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> ParseHex(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return value;
}

void PutSingleLe(Bytes& out, size_t offset, float value) {
  uint32_t bits = std::bit_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

float GetSingleLe(ByteView in, size_t offset) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in[offset + i]) << (8 * i);
  return std::bit_cast<float>(bits);
}

bool ValidChannel(std::optional<int> number) {
  return number && *number >= 1 && *number <= kChannelCount;
}

// One exchange whose reply has a fixed length. On success `frame` holds the checked reply;
// otherwise `error` is the message to show.
struct Reply {
  bool ok = false;
  Bytes frame;
  std::string error;
};

Reply Finish(devlink::ExchangeResult result, const char* failure) {
  if (result.status == ExchangeStatus::PortNotOpen) return {false, {}, devlink::kPortOpenFailed};
  if (result.status != ExchangeStatus::Ok) return {false, {}, failure};
  return {true, std::move(result.reply), {}};
}

Reply ExchangeFixed(Channel& channel, uint8_t command, uint8_t sub, ByteView payload,
                    size_t replyLength, bool ack, const char* failure) {
  Bytes request = devlink::BuildSumFrame(kAddress, command, sub, payload);
  devlink::ReplySpec spec;
  spec.capacity = replyLength;
  Reply reply = Finish(channel.Exchange(request, spec), failure);
  if (reply.ok && devlink::CheckSumFrame(reply.frame, command, replyLength, ack) != FrameCheck::Ok) {
    return {false, {}, failure};
  }
  return reply;
}

// The channel record commands check fewer bytes than the others: not the read reply's echoed
// command, nor the write reply's start byte and echo, so an instrument that fills those bytes
// differently for these two commands is still understood. Length, Sum8 and 'f' always; the
// write's acknowledgement too.
Reply ExchangeChannelRecord(Channel& channel, uint8_t command, uint8_t sub, ByteView payload,
                            size_t replyLength, const char* failure) {
  const bool isWrite = command == kWriteChannel;
  Bytes request = devlink::BuildSumFrame(kAddress, command, sub, payload);
  devlink::ReplySpec spec;
  spec.capacity = replyLength;
  Reply reply = Finish(channel.Exchange(request, spec), failure);
  const devlink::SumReplyChecks checks{.start = !isWrite, .echo = false, .ack = isWrite};
  if (reply.ok && devlink::CheckSumFrame(reply.frame, command, replyLength, checks) != FrameCheck::Ok) {
    return {false, {}, failure};
  }
  return reply;
}

// A reply of any length above the bare frame (its length byte decides).
Reply ExchangeVariable(Channel& channel, uint8_t command, const char* failure) {
  Bytes request = devlink::BuildSumFrame(kAddress, command, kNoChannel);
  devlink::ReplySpec spec;
  spec.capacity = devlink::kSerialReadLimit;
  spec.minimum = devlink::kSumFrameOverhead + 1;
  Reply reply = Finish(channel.Exchange(request, spec), failure);
  if (reply.ok && devlink::CheckSumFrameVariable(reply.frame, command,
                                                 devlink::kSumFrameOverhead) != FrameCheck::Ok) {
    return {false, {}, failure};
  }
  return reply;
}

Outcome Failed(const Reply& reply) { return Outcome::Failure(reply.error); }

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Leading decimal integer of a text (optional sign, digits), 0 when there are no digits.
// Saturates instead of overflowing.
int64_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1'000'000'000'000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

Outcome TextRead(Channel& channel, uint8_t command, const char* failure, const char* name,
                 std::string* result) {
  Reply reply = ExchangeVariable(channel, command, failure);
  if (!reply.ok) return Failed(reply);
  ByteView payload = devlink::SumFramePayload(reply.frame);
  std::string text = devlink::DecodeDeviceText(devlink::kCodePageOem, payload.data(), payload.size());
  if (result) *result = text;
  return Outcome::Success({}).With(name, text);
}

Outcome TextWrite(Channel& channel, uint8_t command, std::string_view text, size_t maxChars,
                  const char* ok, const char* failure) {
  if (Utf8Length(text) > maxChars) return Outcome::Failure(kTextTooLong, kFieldText);
  Bytes encoded;
  if (!devlink::EncodeDeviceText(devlink::kCodePageOem, text, encoded)) {
    return Outcome::Failure(kTextNotEncodable, kFieldText);
  }
  Reply reply = ExchangeFixed(channel, command, kNoChannel, encoded, kAckReplyLength, true, failure);
  if (!reply.ok) return Failed(reply);
  return Outcome::Success(ok);
}

}  // namespace

// ---- Channel types and limits ----

std::span<const ChannelType> ChannelTypes() { return kTypes; }

std::optional<int> ChannelTypePosition(int code) {
  for (size_t i = 0; i < kTypes.size(); ++i) {
    if (kTypes[i].code == code) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<std::string> CheckLimits(double upper, double lower, const LimitRange& range) {
  if (upper >= lower && upper <= range.max && lower >= range.min) return std::nullopt;
  char text[128];
  std::snprintf(text, sizeof text, "上限必须不小于下限!\r\n范围: %.1f ~ %.1f", range.min, range.max);
  return std::string(text);
}

// ---- Channel record ----

std::optional<uint32_t> ParseCardId(std::string_view text) {
  if (text.size() != kCardIdChars) return std::nullopt;
  return ParseHex(text);
}

std::optional<SnParts> ParseSn(std::string_view text) {
  if (text.size() != kSnChars) return std::nullopt;
  auto prefix = ParseHex(text.substr(0, 4));
  if (!prefix) return std::nullopt;
  uint32_t serial = 0;
  for (char c : text.substr(4)) {
    if (c < '0' || c > '9') return std::nullopt;
    serial = serial * 10 + static_cast<uint32_t>(c - '0');
  }
  // The serial travels in two bytes; a larger number would come back as another SN.
  if (serial > 0xFFFF) return std::nullopt;
  return SnParts{static_cast<uint16_t>(*prefix), static_cast<uint16_t>(serial)};
}

Bytes EncodeChannelRecord(const ChannelConfig& config) {
  Bytes record(kChannelRecordSize, 0);
  record[0] = static_cast<uint8_t>(config.typeCode);
  uint8_t flags = 0;
  if (config.soundLight) flags |= kWriteSoundLight;
  if (config.sms) flags |= kWriteSms;
  if (flags) flags |= kWriteAnyAlarm;
  record[1] = flags;
  // Card ID "0A0B0C0D" is the 32-bit number 0x0A0B0C0D, low byte first.
  uint32_t card = ParseCardId(config.cardId).value_or(0);
  for (int i = 0; i < 4; ++i) record[4 + i] = static_cast<uint8_t>(card >> (8 * i));
  SnParts sn = ParseSn(config.sn).value_or(SnParts{0, 0});
  record[8] = static_cast<uint8_t>(sn.prefix >> 8);
  record[9] = static_cast<uint8_t>(sn.prefix);
  record[10] = static_cast<uint8_t>(sn.serial >> 8);
  record[11] = static_cast<uint8_t>(sn.serial);
  PutSingleLe(record, 12, static_cast<float>(config.upper));
  PutSingleLe(record, 16, static_cast<float>(config.lower));
  return record;
}

ChannelConfig DecodeChannelRecord(ByteView record) {
  ChannelConfig config;
  if (record.size() < kChannelRecordSize) return config;
  config.typeCode = record[0];
  config.soundLight = (record[1] & kReadSoundLight) != 0;
  config.sms = (record[1] & kReadSms) != 0;
  char text[16];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x", record[7], record[6], record[5], record[4]);
  config.cardId = text;
  std::snprintf(text, sizeof text, "%02x%02x%05d", record[8], record[9],
                record[10] * 256 + record[11]);
  config.sn = text;
  config.upper = SingleToDecimal(GetSingleLe(record, 12));
  config.lower = SingleToDecimal(GetSingleLe(record, 16));
  return config;
}

double SingleToDecimal(float value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) return value;
  double out = value;
  std::from_chars(text, end, out);
  return out;
}

std::string FormatLimit(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string FormatIp(const std::array<uint8_t, 4>& ip) {
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
  return text;
}

std::optional<std::array<uint8_t, 4>> ParseIp(std::string_view text) {
  std::array<uint8_t, 4> ip{};
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    size_t start = pos;
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
    }
    if (pos == start || value > 255) return std::nullopt;
    ip[part] = static_cast<uint8_t>(value);
  }
  if (pos != text.size()) return std::nullopt;
  return ip;
}

// ---- Commands ----

Outcome ReadChannel(Channel& channel, std::optional<int> number, ChannelConfig* result) {
  if (!ValidChannel(number)) return Outcome::Failure(kSelectChannel, kFieldChannel);
  Reply reply = ExchangeChannelRecord(channel, kReadChannel, static_cast<uint8_t>(*number), {},
                                      kChannelReplyLength, kChannelReadFailed);
  if (!reply.ok) return Failed(reply);
  ChannelConfig config = DecodeChannelRecord(devlink::SumFramePayload(reply.frame));
  if (result) *result = config;
  auto position = ChannelTypePosition(config.typeCode);
  Outcome outcome = Outcome::Success({});
  outcome.With("channel", int64_t{*number})
      .With("type-code", int64_t{config.typeCode})
      .With("type", position ? std::string(kTypes[*position].text) : std::string())
      .With("sound-light", config.soundLight)
      .With("sms", config.sms)
      .With("card-id", config.cardId)
      .With("sn", config.sn)
      .With("upper", config.upper)
      .With("lower", config.lower);
  return outcome;
}

Outcome WriteChannel(Channel& channel, const ChannelWrite& write) {
  if (!ValidChannel(write.channel)) return Outcome::Failure(kSelectChannel, kFieldChannel);
  // Card IDs and SNs must be exactly their hex/decimal digits: anything else would reach the
  // instrument as a different number than the one typed.
  if (!ParseCardId(write.cardId)) return Outcome::Failure(kBadCardId, kFieldCardId);
  if (!ParseSn(write.sn)) return Outcome::Failure(kBadSn, kFieldSn);
  auto position = write.typeCode ? ChannelTypePosition(*write.typeCode) : std::nullopt;
  if (!position) return Outcome::Failure(kSelectType, kFieldType);
  if (const auto& range = kTypes[*position].range) {
    if (auto error = CheckLimits(write.upper, write.lower, *range)) {
      return Outcome::Failure(*error, kFieldUpper);
    }
  }
  ChannelConfig config;
  config.typeCode = *write.typeCode;
  config.soundLight = write.soundLight;
  config.sms = write.sms;
  config.cardId = write.cardId;
  config.sn = write.sn;
  config.upper = write.upper;
  config.lower = write.lower;
  Bytes record = EncodeChannelRecord(config);
  Reply reply = ExchangeChannelRecord(channel, kWriteChannel, static_cast<uint8_t>(*write.channel),
                                      record, kAckReplyLength, kDataSetFailed);
  if (!reply.ok) return Failed(reply);
  return Outcome::Success(kDataSetOk);
}

Outcome ReadProtection(Channel& channel, std::optional<int> number, Protection* result) {
  if (!ValidChannel(number)) return Outcome::Failure(kSelectChannel, kFieldChannel);
  Reply reply = ExchangeFixed(channel, kReadProtection, static_cast<uint8_t>(*number), {},
                              kProtectionReplyLength, false, kProtectionReadFailed);
  if (!reply.ok) return Failed(reply);
  ByteView payload = devlink::SumFramePayload(reply.frame);
  Protection values{SingleToDecimal(GetSingleLe(payload, 0)),
                    SingleToDecimal(GetSingleLe(payload, 4))};
  if (result) *result = values;
  return Outcome::Success({})
      .With("channel", int64_t{*number})
      .With("upper", values.upper)
      .With("lower", values.lower);
}

Outcome WriteProtection(Channel& channel, std::optional<int> number, const Protection& values) {
  if (!ValidChannel(number)) return Outcome::Failure(kSelectChannel, kFieldChannel);
  if (auto error = CheckLimits(values.upper, values.lower, kProtectionRange)) {
    return Outcome::Failure(*error, kFieldUpper);
  }
  Bytes payload(8, 0);
  PutSingleLe(payload, 0, static_cast<float>(values.upper));
  PutSingleLe(payload, 4, static_cast<float>(values.lower));
  Reply reply = ExchangeFixed(channel, kWriteProtection, static_cast<uint8_t>(*number), payload,
                              kAckReplyLength, true, kProtectionSetFailed);
  if (!reply.ok) return Failed(reply);
  return Outcome::Success(kProtectionSetOk);
}

Outcome ReadCompany(Channel& channel, std::string* result) {
  return TextRead(channel, kReadCompany, kCompanyReadFailed, "company", result);
}

Outcome WriteCompany(Channel& channel, std::string_view text) {
  return TextWrite(channel, kWriteCompany, text, kCompanyMaxChars, kCompanySetOk,
                   kCompanySetFailed);
}

Outcome ReadPlate(Channel& channel, std::string* result) {
  return TextRead(channel, kReadPlate, kPlateReadFailed, "plate", result);
}

Outcome WritePlate(Channel& channel, std::string_view text) {
  return TextWrite(channel, kWritePlate, text, kPlateMaxChars, kPlateSetOk, kPlateSetFailed);
}

Outcome ReadServer(Channel& channel, Server server, ServerConfig* result) {
  uint8_t command = server == Server::Data ? kReadDataServer : kReadConfigServer;
  Reply reply = ExchangeVariable(channel, command, kServerReadFailed);
  if (!reply.ok) return Failed(reply);
  ByteView payload = devlink::SumFramePayload(reply.frame);
  // A payload too short for the address and port is not a server record.
  if (payload.size() < kServerHeaderSize) return Outcome::Failure(kServerReadFailed);
  ServerConfig config;
  std::copy_n(payload.begin(), 4, config.ip.begin());
  config.port = payload[4] | (payload[5] << 8);
  config.domain = devlink::DecodeDeviceText(devlink::kCodePageOem, payload.data() + kServerHeaderSize,
                                            payload.size() - kServerHeaderSize);
  config.domainMode = config.ip == std::array<uint8_t, 4>{};
  if (result) *result = config;
  return Outcome::Success({})
      .With("server", std::string(server == Server::Data ? "data" : "config"))
      .With("mode", std::string(config.domainMode ? "domain" : "ip"))
      .With("ip", FormatIp(config.ip))
      .With("server-port", int64_t{config.port})
      .With("domain", config.domain);
}

Outcome WriteServer(Channel& channel, const ServerWrite& write) {
  std::string domain = "0.0.0.0";
  if (write.domainMode) {
    domain = std::string(Trim(write.domain));
    if (domain.empty()) return Outcome::Failure(kEnterDomain, kFieldDomain);
  }
  Bytes domainBytes;
  if (!devlink::EncodeDeviceText(devlink::kCodePageOem, domain, domainBytes)) {
    return Outcome::Failure(kTextNotEncodable, kFieldDomain);
  }
  // The field holds 32 bytes; keep one zero byte so the instrument sees where the name ends.
  if (domainBytes.size() > kDomainMaxChars) return Outcome::Failure(kDomainTooLong, kFieldDomain);
  int64_t port = LeadingInteger(write.portText);
  if (port < 0 || port > 0xFFFF) return Outcome::Failure(kBadPort, kFieldPort);

  Bytes payload(kServerPayloadSize, 0);
  std::copy(write.ip.begin(), write.ip.end(), payload.begin());
  payload[4] = static_cast<uint8_t>(port);
  payload[5] = static_cast<uint8_t>(port >> 8);
  std::copy(domainBytes.begin(), domainBytes.end(), payload.begin() + kServerHeaderSize);
  uint8_t command = write.server == Server::Data ? kWriteDataServer : kWriteConfigServer;
  Reply reply = ExchangeFixed(channel, command, kNoChannel, payload, kAckReplyLength, true,
                              kServerSetFailed);
  if (!reply.ok) return Failed(reply);
  return Outcome::Success(kServerSetOk);
}

}  // namespace pages::property
