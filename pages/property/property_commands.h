#pragma once
// Commands of the property settings page: per channel its sensor type, alarm outputs, card ID,
// sensor SN and limits, per channel a pair of protection values, the company name and vehicle
// plate printed on reports, and the data and configuration servers. Every request is a SumFrame
// to address 0x00.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/reply_reader.h"
#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::property {

inline constexpr uint8_t kAddress = 0x00;
inline constexpr size_t kChannelRecordSize = 20;
inline constexpr size_t kServerPayloadSize = 38;
inline constexpr size_t kDomainFieldSize = 32;
// Characters the page's edits take.
inline constexpr size_t kCompanyMaxChars = 31;
inline constexpr size_t kPlateMaxChars = 9;
inline constexpr size_t kDomainMaxChars = 31;
inline constexpr size_t kCardIdChars = 8;
inline constexpr size_t kSnChars = 9;

// Command bytes (sub-command is the channel number for the per-channel commands, else 0xFF).
enum Command : uint8_t {
  kWriteChannel = 0x33,
  kReadChannel = 0x34,
  kReadPlate = 0x35,
  kWritePlate = 0x36,
  kReadCompany = 0x37,
  kWriteCompany = 0x38,
  kReadProtection = 0x39,
  kWriteProtection = 0x3A,
  kWriteDataServer = 0x3B,
  kReadDataServer = 0x3C,
  kWriteConfigServer = 0x56,
  kReadConfigServer = 0x57,
};

// Messages.
inline constexpr const char* kChannelReadFailed = "通道信息读取失败";
inline constexpr const char* kProtectionReadFailed = "保护值读取失败";
inline constexpr const char* kProtectionSetOk = "保护值设置成功";
inline constexpr const char* kProtectionSetFailed = "保护值设置失败";
inline constexpr const char* kCompanyReadFailed = "公司名称读取失败";
inline constexpr const char* kCompanySetOk = "公司名称设置成功";
inline constexpr const char* kCompanySetFailed = "公司名称设置失败";
inline constexpr const char* kPlateReadFailed = "车牌号读取失败";
inline constexpr const char* kPlateSetOk = "车牌号设置成功";
inline constexpr const char* kPlateSetFailed = "车牌号设置失败";
inline constexpr const char* kServerReadFailed = "读取失败";
inline constexpr const char* kServerSetOk = "设置成功";
inline constexpr const char* kServerSetFailed = "设置失败";
inline constexpr const char* kSelectChannel = "请选择通道号！";
inline constexpr const char* kBadCardId = "卡片id输入有误，请输入正确卡片id！";
inline constexpr const char* kBadSn = "SN号输入有误，请输入正确SN号！";
inline constexpr const char* kSelectType = "请选择配置的通道类型！";
inline constexpr const char* kEnterDomain = "请输入域名！";
inline constexpr const char* kDomainTooLong = "域名不能超过31个字节！";
inline constexpr const char* kBadPort = "端口号范围为0-65535";
inline constexpr const char* kBadIp = "IP地址输入有误";

// Field names a failed validation reports (the page focuses the matching control).
inline constexpr const char* kFieldChannel = "channel";
inline constexpr const char* kFieldCardId = "card-id";
inline constexpr const char* kFieldSn = "sn";
inline constexpr const char* kFieldType = "type-code";
inline constexpr const char* kFieldUpper = "upper";
inline constexpr const char* kFieldDomain = "domain";
inline constexpr const char* kFieldPort = "server-port";
inline constexpr const char* kFieldCompany = "company";
inline constexpr const char* kFieldPlate = "plate";

// ---- Channel types ----

struct ChannelType {
  int code;               // sent to the device
  std::string_view text;  // list text
  std::optional<LimitRange> range;  // checked before writing; none = any limits
};

// The 29 types in list order.
std::span<const ChannelType> ChannelTypes();
// List position of a type code; nullopt for codes outside the table.
std::optional<int> ChannelTypePosition(int code);

// The limit rule: upper >= lower, upper <= max, lower >= min. Returns the failure message
// ("上限必须不小于下限!..." with the range) or nullopt.
std::optional<std::string> CheckLimits(double upper, double lower, const LimitRange& range);
inline constexpr LimitRange kProtectionRange{-1000.0, 1000.0};

// ---- Channel record ----

struct ChannelConfig {
  int channel = 0;  // the channel number it belongs to (not part of the record)
  int typeCode = 0;
  bool soundLight = false;
  bool sms = false;
  std::string cardId;  // 8 hex digits; read back in lower case
  std::string sn;      // 4 hex digits (date code) + 5 decimal digits (serial)
  double upper = 0.0;
  double lower = 0.0;
};
Values Describe(const ChannelConfig& config);

// What the page hands over for a channel write; nullopt where nothing is selected.
struct ChannelWrite {
  std::optional<int> channel;   // 1..32
  std::optional<int> typeCode;  // a code of the table
  bool soundLight = false;
  bool sms = false;
  std::string cardId;
  std::string sn;
  double upper = 0.0;
  double lower = 0.0;
};

// The 20-byte record. Encoding expects a validated card ID and SN.
devlink::Bytes EncodeChannelRecord(const ChannelConfig& config);
// Decoding reads the record from `in`; a short record or a limit that is no number fails `in`.
ChannelConfig DecodeChannelRecord(devlink::ReplyReader& in);

// Parses "1A2B00042"-style SNs and 8-digit card IDs; nullopt when malformed.
std::optional<uint32_t> ParseCardId(std::string_view text);
struct SnParts {
  uint16_t prefix;
  uint16_t serial;
};
std::optional<SnParts> ParseSn(std::string_view text);

// ---- Server ----

enum class Server { Data, Config };

struct ServerConfig {
  Server server = Server::Data;
  std::array<uint8_t, 4> ip{};
  int port = 0;
  std::string domain;
  bool domainMode = false;  // the IP read back was 0.0.0.0
};
Values Describe(const ServerConfig& config);

struct ServerWrite {
  Server server = Server::Data;
  bool domainMode = false;
  std::array<uint8_t, 4> ip{};
  std::string domain;    // used in domain mode (trimmed before sending)
  std::string portText;  // read as a numeric edit reads it: its leading integer, 0 for none
};

// ---- Commands ----
// Each returns the outcome with the message the user sees and, on success, the typed value.

Result<ChannelConfig> ReadChannel(devlink::Channel& channel, std::optional<int> number);
Outcome WriteChannel(devlink::Channel& channel, const ChannelWrite& write);

struct Protection {
  double upper = 0.0;
  double lower = 0.0;
  int channel = 0;  // set by a read
};
Values Describe(const Protection& values);
Result<Protection> ReadProtection(devlink::Channel& channel, std::optional<int> number);
Outcome WriteProtection(devlink::Channel& channel, std::optional<int> number,
                        const Protection& values);

// The company name or the plate number as read.
struct PrintText {
  const char* name = "";  // "company" / "plate": its name in tool-cli's output
  std::string text;
};
Values Describe(const PrintText& value);
Result<PrintText> ReadCompany(devlink::Channel& channel);
Outcome WriteCompany(devlink::Channel& channel, std::string_view text);
Result<PrintText> ReadPlate(devlink::Channel& channel);
Outcome WritePlate(devlink::Channel& channel, std::string_view text);

Result<ServerConfig> ReadServer(devlink::Channel& channel, Server server);
Outcome WriteServer(devlink::Channel& channel, const ServerWrite& write);

// "%.1f"
std::string FormatLimit(double value);

// tool-cli verbs of the page "property".
CommandSet Commands();

}  // namespace pages::property
