#pragma once
// The wire towards wireless-logger gateways (server side), Qt-free: logger IDs and their SN
// text, the binding commands, the bound-logger list every binding command is answered with, and
// the configuration frames sent to one logger through its gateway.
//
//   LoggerId        4 bytes: prefix hi, prefix lo, number (16 bits, high byte first)
//                   SN text "%02X%02X%05d"; FF FF FF FF ("FFFF65535") is an empty slot
//   read            3E 52                 ">R"
//   bind            3E 57 + LoggerId      ">W"
//   delete          3E 43 + LoggerId      ">C"
//   clear           3E 43 00 00 00 00     ">C" with the all-zero ID
//   list reply      LoggerId × k, no header, no check value
//   LoggerConfigFrame  N, LoggerId, code, data, Sum8 of everything before it; N = 5 + data
//                   length; the gateway acknowledges by echoing the frame
//     code 3        report interval: minutes, 1 byte (1..255)
//     code 4        alarm limits: temp upper, temp lower (each t*10+2000, 16 bits high first),
//                   humidity upper, humidity lower (1 byte each)
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/kit/fields.h"
#include "pages/kit/outcome.h"

namespace gateway {

using Bytes = std::vector<uint8_t>;

inline constexpr const char* kOperationOk = "操作成功";
inline constexpr const char* kOperationFailed = "操作失败";
inline constexpr const char* kParseFailed = "解析失败";
inline constexpr const char* kCannotBindMore = "无法绑定更多记录仪！";
inline constexpr const char* kEnterSn = "请输入SN号！";
inline constexpr const char* kSnLength = "SN号必须为9位字母或数字！";
inline constexpr const char* kEnterInterval = "请输入上报间隔！";
inline constexpr const char* kIntervalRange = "请输入有效上报间隔！（1~255）";
inline constexpr const char* kEnterPort = "请输入端口号！";
inline constexpr const char* kPortRange = "端口号范围为0-65535";
inline constexpr const char* kSnCharacters = "SN号应为4位十六进制数加5位不大于65535的数字！";
inline constexpr const char* kTempOrder = "温度下限不能大于上限";
inline constexpr const char* kHumidityOrder = "湿度下限不能大于上限";
inline constexpr const char* kSocketInitFailed = "SOCKET初始化失败！";
inline constexpr const char* kListenFailed = "端口监听失败！";

inline constexpr int kSnLengthChars = 9;
inline constexpr int kMaxLoggers = 60;  // loggers one gateway binds through the page
inline constexpr const char* kEmptySlotSn = "FFFF65535";
inline constexpr uint16_t kDefaultPort = 11111;

// Codes of the command that waits for its reply (-1: none).
enum PendingCommand : int {
  kNoCommand = -1,
  kReadLoggers = 0,
  kClearLoggers = 1,
  kBindLogger = 2,
  kDeleteLogger = 4,
  kSetReportInterval = 5,
  kSetAlarmLimits = 6,
};

struct LoggerId {
  std::array<uint8_t, 4> bytes{};
  bool operator==(const LoggerId&) const = default;
};

// "%02X%02X%05d" of (byte 0, byte 1, bytes 2-3 high first).
std::string SnFromLoggerId(const LoggerId& id);
// The reverse: characters 1-3 as a hexadecimal number h (up to the first other character),
// character 4 as a hexadecimal digit d, characters 5-9 as a decimal number n (up to the first
// other character); bytes h >> 4, (h * 16 + d) & 0xFF, n >> 8 & 0xFF, n & 0xFF. Numbers above
// 65535 lose their high bits, so such an SN comes back different from the list.
// `sn` must hold 9 characters (see CheckSn).
LoggerId LoggerIdFromSn(std::string_view sn);

// Binding commands.
Bytes ReadCommand();
Bytes BindCommand(const LoggerId& id);
Bytes DeleteCommand(const LoggerId& id);
Bytes ClearCommand();

// The SNs of a list reply in reply order, empty slots left out; nullopt ("解析失败") when its
// length is not a multiple of 4 or it lists more loggers than a gateway binds (kMaxLoggers).
// `problem`, when given, then says which.
std::optional<std::vector<std::string>> ParseLoggerList(const Bytes& reply,
                                                        std::string* problem = nullptr);

// The message a list reply gives the command that asked for it, when it parsed: read nothing;
// clear "操作成功" when no logger is left; bind nothing when `sn` is listed; delete "操作成功"
// when `sn` is no longer listed; "操作失败" otherwise.
std::string ListReplyMessage(int command, const std::vector<std::string>& sns,
                             std::string_view sn);

// A temperature limit on the wire: truncation toward zero of t × 10 + 2000, t as a
// single-precision float and the arithmetic in double (so 25.3f, just below 25.3, gives 2252),
// low 16 bits.
uint16_t EncodeTemperatureLimit(float celsius);
// A humidity limit on the wire: truncation toward zero, low 8 bits.
uint8_t EncodeHumidityLimit(float percent);

struct AlarmLimits {
  float tempUpper = 0;
  float tempLower = 0;
  float humidityUpper = 0;
  float humidityLower = 0;
};

Bytes LoggerConfigFrame(const LoggerId& id, uint8_t code, const Bytes& data);
Bytes ReportIntervalFrame(const LoggerId& id, uint8_t minutes);
Bytes AlarmLimitsFrame(const LoggerId& id, const AlarmLimits& limits);
// The gateway's echo: at least as long as the frame and starting with it.
bool IsAcknowledgement(const Bytes& frame, const Bytes& reply);

// Input checks shared by the page and tool-cli. A refusal names the field: "sn", "interval",
// "temp-upper", "temp-lower", "humidity-upper", "humidity-lower", "port".

// The SN field trimmed; "请输入SN号！" when empty, "SN号必须为9位字母或数字！" when not 9
// characters long, kSnCharacters when not 4 hex digits and a number up to 65535; letters are
// taken upper-case, as the SN field shows them.
pages::Result<std::string> CheckSn(std::string_view text);
// The report interval: "请输入上报间隔！" when empty, "请输入有效上报间隔！（1~255）" when it is
// not a whole number 1..255 ("1e2" and "5abc" included).
pages::Result<int> CheckInterval(std::string_view text);
// The four limit texts in the order temperature upper, temperature lower, humidity upper,
// humidity lower: the first empty one gives "请输入" + its caption; a text that is no decimal
// number ("abc", "nan", "inf") "请键入一个数。"; a value outside the field's range
// (-300..1000 °C, 0..100 %RH) the field's range message; a lower limit above its upper one
// "温度下限不能大于上限" / "湿度下限不能大于上限".
pages::Result<AlarmLimits> CheckLimits(std::string_view tempUpper, std::string_view tempLower,
                                       std::string_view humidityUpper,
                                       std::string_view humidityLower);
// The port text: "请输入端口号！" when empty; "端口号范围为0-65535" unless a whole number 0..65535
// (0: a port the system chooses).
pages::Result<uint16_t> CheckPort(std::string_view text);

}  // namespace gateway
