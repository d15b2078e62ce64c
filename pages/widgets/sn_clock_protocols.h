#pragma once
// The default protocols of the serial-number and clock widgets (SumFrame), and the exchange step
// that every widget command runs, whoever built its request. Qt-free: the widgets call these
// through their replaceable hooks; tool-cli and the tests call them directly.
//
//   SN read    00 32 FF, no payload           -> 13 bytes: date code, serial (both high first),
//                                                FF FF in payload bytes 4-5 when no SN is set
//   SN write   00 31 FF, [code hi, code lo, serial hi, serial lo, 00, 00] -> 8 bytes, 'U'
//   clock read addr 08 CC, no payload         -> 13 bytes: BCD yy MM dd hh mm ss; byte 1 = address
//   clock set  00 08 BB, [BCD yy MM dd hh mm ss] -> no reply
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages {

inline constexpr const char* kSnNotConfigured = "仪器尚未配置SN号！";
inline constexpr const char* kSerialOutOfRange = "序列号范围为 0 ~ 65535";

inline constexpr int kSerialMax = 65535;
// Production years tool-cli takes: the instruments count years from 2000, and the date code
// (year × 16 + month in 16 bits) carries no year past 4095.
inline constexpr int kSnYearMin = 2000;
inline constexpr int kSnYearMax = 4095;
inline constexpr const char* kSnYearRange = "年份范围为2000-4095";
inline constexpr const char* kSnMonthRange = "月份范围为1-12";

// A request and the reply buffer set aside for it (0: no reply expected; on the TCP channel the
// request is then only sent). The family decides how the TCP channel accepts a reply.
struct WidgetRequest {
  devlink::Bytes bytes;
  size_t replyLength = 0;
  devlink::FrameFamily family = devlink::FrameFamily::Sum;
};

// What a widget shows after a successful read: its text, and the address the instrument reported
// (clock read).
struct WidgetText {
  std::string text;
  std::optional<uint8_t> reportedAddress;
};
Values Describe(const WidgetText& value);

// What parsing a reply gave: on failure the message is the error; on success the read shows the
// value's text, then the message when there is one ("数据读取成功" after a clock read).
using WidgetReply = Result<WidgetText>;

// A wall-clock time as the instrument's clock holds it. weekday: 0 = Sunday.
struct ClockTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;
};
// The PC's local time now.
ClockTime LocalClockTime();

// ---- serial number ----

// year × 16 + month, kept to 16 bits (no range check on either).
uint16_t SnDateCode(int year, int month);
// "%02X%02X%05d": the date code's high and low byte, then the serial number.
std::string SnText(uint16_t dateCode, int serial);

WidgetRequest BuildSnReadRequest();
// `serial` must already be within 0..kSerialMax.
WidgetRequest BuildSnWriteRequest(int year, int month, int serial);
WidgetReply ParseSnReadReply(devlink::ByteView reply);
// Empty on success, else the failure text.
std::string ParseSnWriteReply(devlink::ByteView reply);

// ---- clock ----

WidgetRequest BuildClockReadRequest(uint8_t deviceAddress);
WidgetRequest BuildClockSetRequest(const ClockTime& now);
// On success the text is "%d-%.2d-%.2d %.2d:%.2d:%.2d" and the address is byte 1 of the reply.
WidgetReply ParseClockReadReply(devlink::ByteView reply);

// ---- the exchange step ----

// Read: its failure text is "数据读取失败". Write and SetTime: "数据设置失败".
enum class WidgetOperation { Read, Write, SetTime };

using WidgetParse = std::function<WidgetReply(devlink::ByteView reply)>;

// Runs one widget command after its request was built: the exchange step, then `parse` (when
// set) on the bytes that arrived; the parse hook makes the reply's checks. No open serial port
// gives "串口打开失败"; a TCP exchange that fails gives the operation's failure text; an empty
// request sends nothing and fails the same way.
WidgetReply RunWidgetCommand(devlink::Channel& channel, WidgetOperation operation,
                             const WidgetRequest& request, const WidgetParse& parse);

// The default commands end to end, as the widgets run them without replaced hooks.
WidgetReply ReadSn(devlink::Channel& channel);
// Refuses a serial number outside 0..65535 with "序列号范围为 0 ~ 65535" before sending.
WidgetReply WriteSn(devlink::Channel& channel, int year, int month, int serial);
WidgetReply ReadClock(devlink::Channel& channel);
WidgetReply SetClock(devlink::Channel& channel, const ClockTime& now);

// The fields of an SN write verb: --year, --month, --serial.
std::vector<Field> SnWriteFields();

// The same four commands as a command table ("widgets": read-sn, write-sn, read-clock,
// set-clock) for tool-cli.
CommandSet WidgetCommands();
// The commands of that table named in `verbs`, for a page that hosts those widgets.
std::vector<CommandDef> WidgetVerbs(std::initializer_list<std::string_view> verbs);

}  // namespace pages
