#include "pages/property/property_commands.h"

#include <cstdio>

#include "pages/kit/exchange_step.h"

namespace pages::property {

using devlink::ByteView;
using devlink::Bytes;
using devlink::Channel;

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

bool ValidChannel(std::optional<int> number) {
  return number && *number >= 1 && *number <= kChannelCount;
}

// One SumFrame exchange with address 0.
Result<Bytes> Exchange(Channel& channel, uint8_t command, uint8_t sub, ByteView payload,
                       const ReplyRule& rule, const char* failure) {
  return RunExchange(channel, devlink::BuildSumFrame(kAddress, command, sub, payload), rule,
                     failure);
}

// The channel record commands check fewer bytes than the others: not the read reply's echoed
// command, nor the write reply's start byte and echo, so an instrument that fills those bytes
// differently for these two commands is still understood.
ReplyRule ChannelRecordRule(bool write) {
  return write ? SumRule(kAckReplyLength).NoStart().NoEcho().Ack()
               : SumRule(kChannelReplyLength).NoEcho();
}

// A reply of any length above the bare frame (its length byte decides).
ReplyRule VariableRule() { return SumRuleFromFrame(devlink::kSumFrameOverhead + 1); }

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

Result<PrintText> TextRead(Channel& channel, uint8_t command, const char* failure,
                          const char* name) {
  const auto reply = Exchange(channel, command, kNoChannel, {}, VariableRule(), failure);
  if (!reply.ok()) return reply.outcome;
  const ByteView payload = devlink::SumFramePayload(reply.value);
  return {{}, PrintText{name, devlink::DecodeDeviceText(devlink::kCodePageOem, payload.data(),
                                                        payload.size())}};
}

Outcome TextWrite(Channel& channel, uint8_t command, std::string_view text, size_t maxChars,
                  const char* field, const char* ok, const char* failure) {
  if (Utf8Length(text) > maxChars) return Outcome::Refused(kTextTooLong, field);
  auto bytes = DeviceTextBytes(text, devlink::kCodePageOem, 0, field);
  if (auto* refused = std::get_if<Outcome>(&bytes)) return *refused;
  const Bytes& encoded = std::get<Bytes>(bytes);
  const auto reply =
      Exchange(channel, command, kNoChannel, encoded, SumRule(kAckReplyLength).Ack(), failure);
  if (!reply.ok()) return reply.outcome;
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
  return ParseHexDigits(text);
}

std::optional<SnParts> ParseSn(std::string_view text) {
  if (text.size() != kSnChars) return std::nullopt;
  auto prefix = ParseHexDigits(text.substr(0, 4));
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
  uint8_t flags = 0;
  if (config.soundLight) flags |= kWriteSoundLight;
  if (config.sms) flags |= kWriteSms;
  if (flags) flags |= kWriteAnyAlarm;
  Bytes record{static_cast<uint8_t>(config.typeCode), flags, 0x00, 0x00};
  // Card ID "0A0B0C0D" is the 32-bit number 0x0A0B0C0D, low byte first.
  devlink::PutLe32(record, ParseCardId(config.cardId).value_or(0));
  const SnParts sn = ParseSn(config.sn).value_or(SnParts{0, 0});
  devlink::PutBe16(record, static_cast<uint16_t>(sn.prefix));
  devlink::PutBe16(record, static_cast<uint16_t>(sn.serial));
  devlink::PutFloat32Le(record, static_cast<float>(config.upper));
  devlink::PutFloat32Le(record, static_cast<float>(config.lower));
  return record;
}

ChannelConfig DecodeChannelRecord(devlink::ReplyReader& in) {
  ChannelConfig config;
  config.typeCode = in.U8();
  const uint8_t flags = in.U8();
  config.soundLight = (flags & kReadSoundLight) != 0;
  config.sms = (flags & kReadSms) != 0;
  const ByteView card = in.Skip(2).Take(4);
  const ByteView sn = in.Take(4);
  // A limit that is no number cannot be shown or written back: the read fails instead.
  config.upper = SingleToDecimal(in.FiniteFloat32Le());
  config.lower = SingleToDecimal(in.FiniteFloat32Le());
  if (!in.ok()) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x", card[3], card[2], card[1], card[0]);
  config.cardId = text;
  std::snprintf(text, sizeof text, "%02x%02x%05d", sn[0], sn[1], sn[2] * 256 + sn[3]);
  config.sn = text;
  return config;
}

std::string FormatLimit(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// ---- Values ----

Values Describe(const ChannelConfig& config) {
  const auto position = ChannelTypePosition(config.typeCode);
  return {{"channel", int64_t{config.channel}},
          {"type-code", int64_t{config.typeCode}},
          {"type", position ? std::string(kTypes[*position].text) : std::string()},
          {"sound-light", config.soundLight},
          {"sms", config.sms},
          {"card-id", config.cardId},
          {"sn", config.sn},
          {"upper", config.upper},
          {"lower", config.lower}};
}

Values Describe(const Protection& values) {
  return {{"channel", int64_t{values.channel}}, {"upper", values.upper}, {"lower", values.lower}};
}

Values Describe(const PrintText& value) { return {{value.name, value.text}}; }

Values Describe(const ServerConfig& config) {
  return {{"server", std::string(config.server == Server::Data ? "data" : "config")},
          {"mode", std::string(config.domainMode ? "domain" : "ip")},
          {"ip", FormatIpv4(config.ip)},
          {"server-port", int64_t{config.port}},
          {"domain", config.domain}};
}

// ---- Commands ----

Result<ChannelConfig> ReadChannel(Channel& channel, std::optional<int> number) {
  if (!ValidChannel(number)) return Outcome::Refused(kSelectChannel, kFieldChannel);
  const auto reply = Exchange(channel, kReadChannel, static_cast<uint8_t>(*number), {},
                              ChannelRecordRule(false), kChannelReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  ChannelConfig config = DecodeChannelRecord(in);
  if (!in.ok()) return DecodeFailure(kChannelReadFailed, in);
  config.channel = *number;
  return {{}, std::move(config)};
}

Outcome WriteChannel(Channel& channel, const ChannelWrite& write) {
  if (!ValidChannel(write.channel)) return Outcome::Refused(kSelectChannel, kFieldChannel);
  // Card IDs and SNs must be exactly their hex/decimal digits: anything else would reach the
  // instrument as a different number than the one typed.
  if (!ParseCardId(write.cardId)) return Outcome::Refused(kBadCardId, kFieldCardId);
  if (!ParseSn(write.sn)) return Outcome::Refused(kBadSn, kFieldSn);
  auto position = write.typeCode ? ChannelTypePosition(*write.typeCode) : std::nullopt;
  if (!position) return Outcome::Refused(kSelectType, kFieldType);
  if (const auto& range = kTypes[*position].range) {
    if (auto error = CheckLimits(write.upper, write.lower, *range)) {
      return Outcome::Refused(*error, kFieldUpper);
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
  const auto reply = Exchange(channel, kWriteChannel, static_cast<uint8_t>(*write.channel),
                              EncodeChannelRecord(config), ChannelRecordRule(true), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

Result<Protection> ReadProtection(Channel& channel, std::optional<int> number) {
  if (!ValidChannel(number)) return Outcome::Refused(kSelectChannel, kFieldChannel);
  const auto reply = Exchange(channel, kReadProtection, static_cast<uint8_t>(*number), {},
                              SumRule(kProtectionReplyLength), kProtectionReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const double upper = SingleToDecimal(in.FiniteFloat32Le());
  const double lower = SingleToDecimal(in.FiniteFloat32Le());
  if (!in.ok()) return DecodeFailure(kProtectionReadFailed, in);
  return {{}, Protection{upper, lower, *number}};
}

Outcome WriteProtection(Channel& channel, std::optional<int> number, const Protection& values) {
  if (!ValidChannel(number)) return Outcome::Refused(kSelectChannel, kFieldChannel);
  if (auto error = CheckLimits(values.upper, values.lower, kProtectionRange)) {
    return Outcome::Refused(*error, kFieldUpper);
  }
  Bytes payload;
  devlink::PutFloat32Le(payload, static_cast<float>(values.upper));
  devlink::PutFloat32Le(payload, static_cast<float>(values.lower));
  const auto reply = Exchange(channel, kWriteProtection, static_cast<uint8_t>(*number), payload,
                              SumRule(kAckReplyLength).Ack(), kProtectionSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kProtectionSetOk);
}

Result<PrintText> ReadCompany(Channel& channel) {
  return TextRead(channel, kReadCompany, kCompanyReadFailed, "company");
}

Outcome WriteCompany(Channel& channel, std::string_view text) {
  return TextWrite(channel, kWriteCompany, text, kCompanyMaxChars, kFieldCompany, kCompanySetOk,
                   kCompanySetFailed);
}

Result<PrintText> ReadPlate(Channel& channel) {
  return TextRead(channel, kReadPlate, kPlateReadFailed, "plate");
}

Outcome WritePlate(Channel& channel, std::string_view text) {
  return TextWrite(channel, kWritePlate, text, kPlateMaxChars, kFieldPlate, kPlateSetOk,
                   kPlateSetFailed);
}

Result<ServerConfig> ReadServer(Channel& channel, Server server) {
  const uint8_t command = server == Server::Data ? kReadDataServer : kReadConfigServer;
  const auto reply = Exchange(channel, command, kNoChannel, {}, VariableRule(), kServerReadFailed);
  if (!reply.ok()) return reply.outcome;
  // A payload too short for the address and port is not a server record.
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  ServerConfig config;
  config.server = server;
  for (uint8_t& part : config.ip) part = in.U8();
  config.port = in.U16Le();
  config.domain = in.RestAsText(devlink::kCodePageOem);
  if (!in.ok()) return DecodeFailure(kServerReadFailed, in);
  config.domainMode = config.ip == std::array<uint8_t, 4>{};
  return {{}, std::move(config)};
}

Outcome WriteServer(Channel& channel, const ServerWrite& write) {
  std::string domain = "0.0.0.0";
  if (write.domainMode) {
    domain = std::string(TrimBlanks(write.domain));
    if (domain.empty()) return Outcome::Refused(kEnterDomain, kFieldDomain);
  }
  auto encoded = DeviceTextBytes(domain, devlink::kCodePageOem, 0, kFieldDomain);
  if (auto* refused = std::get_if<Outcome>(&encoded)) return *refused;
  const Bytes& domainBytes = std::get<Bytes>(encoded);
  // The field holds 32 bytes; keep one zero byte so the instrument sees where the name ends.
  if (domainBytes.size() > kDomainMaxChars) return Outcome::Refused(kDomainTooLong, kFieldDomain);
  const int64_t port = LeadingInteger(write.portText);
  if (port < 0 || port > 0xFFFF) return Outcome::Refused(kBadPort, kFieldPort);

  Bytes payload(kServerPayloadSize, 0);
  std::copy(write.ip.begin(), write.ip.end(), payload.begin());
  Bytes portBytes;
  devlink::PutLe16(portBytes, static_cast<uint16_t>(port));
  std::copy(portBytes.begin(), portBytes.end(), payload.begin() + 4);
  std::copy(domainBytes.begin(), domainBytes.end(), payload.begin() + kServerHeaderSize);
  const uint8_t command = write.server == Server::Data ? kWriteDataServer : kWriteConfigServer;
  const auto reply = Exchange(channel, command, kNoChannel, payload,
                              SumRule(kAckReplyLength).Ack(), kServerSetFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kServerSetOk);
}

}  // namespace pages::property
