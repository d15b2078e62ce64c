#pragma once
// Commands of the "设置" page: bus address, calibration switches, recording interval and
// capacity, alarm and control limits and their switches, clearing the history. All SumFrame
// exchanges with the current device address (the address change goes to the old address).
//
// Every function validates its input first and sends nothing when that fails; the outcome then
// names the refused field with the option name of its tool-cli verb ("old", "temp-lower", ...).
#include <cstdint>
#include <string>
#include <string_view>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::settings {

inline constexpr const char* kAddressOk = "地址设置成功";
inline constexpr const char* kAddressFailed = "地址设置失败";
inline constexpr const char* kAddressEmpty = "地址不能为空";
inline constexpr const char* kAddressRange = "地址号范围为1-255";
inline constexpr const char* kHourIntervalRange = "小时的时间间隔在1到23之间";
inline constexpr const char* kMinuteIntervalRange = "时间间隔应该在1到59之间";
inline constexpr const char* kCapacityNotPositive = "存储容量不能小于等于0";
// The capacity travels as a 15-bit magnitude; larger numbers would reach the device corrupted.
inline constexpr const char* kCapacityTooLarge = "存储容量不能大于32767";
inline constexpr const char* kDataEmpty = "数据不能为空";
inline constexpr const char* kTempOrder = "温度下限不能大于上限";
inline constexpr const char* kHumOrder = "湿度下限不能大于上限";
inline constexpr const char* kClearOk = "数据清空成功";
inline constexpr const char* kClearFailed = "数据清空失败";

inline constexpr int kMaxCapacity = 32767;

// Temperature / humidity on-off pair (calibration, alarm, control).
struct SwitchPair {
  bool temperature = false;
  bool humidity = false;
  bool operator==(const SwitchPair&) const = default;
};
Values Describe(const SwitchPair& value);

enum class SwitchKind { Calibration, Alarm, Control };

enum class RecordingUnit : int { Hours = 0, Minutes = 1 };  // radio value

struct Recording {
  int interval = 0;
  RecordingUnit unit = RecordingUnit::Hours;
  int capacity = 0;
  bool operator==(const Recording&) const = default;
};
Values Describe(const Recording& value);

struct LimitRow {
  double lower = 0.0;
  double upper = 0.0;
};
struct Limits {
  LimitRow temperature;
  LimitRow humidity;
};
Values Describe(const Limits& value);
// The four limit edits as typed.
struct LimitsText {
  std::string tempLower, tempUpper, humLower, humUpper;
};

enum class LimitKind { Alarm, Control };

// Value range of a limit edit ("温度值范围为(-300~1000)").
LimitRange TemperatureRange(LimitKind kind);
LimitRange HumidityRange(LimitKind kind);
std::string RangeMessage(const LimitRange& range);

// The address an address change gave the instrument.
struct NewAddress {
  int address = 0;
};
Values Describe(const NewAddress& value);

// Address change: both texts decimal 1..255. The request goes to the old address.
Result<NewAddress> ChangeAddress(devlink::Channel& channel, std::string_view oldText,
                                 std::string_view newText);

Result<SwitchPair> ReadSwitches(devlink::Channel& channel, SwitchKind kind);
Outcome WriteSwitches(devlink::Channel& channel, SwitchKind kind, const SwitchPair& value);

Result<Recording> ReadRecording(devlink::Channel& channel);
Outcome WriteRecording(devlink::Channel& channel, const Recording& value);

// Checks both rows (not empty, a number, in range, lower <= upper), temperature first.
Result<Limits> ValidateLimits(LimitKind kind, const LimitsText& text);
Result<Limits> ReadLimits(devlink::Channel& channel, LimitKind kind);
// Validates both rows before anything is sent, so a bad humidity row never leaves the device
// with new temperature limits only.
Outcome WriteLimits(devlink::Channel& channel, LimitKind kind, const LimitsText& text);

// Erases the stored history (the page has asked ConfirmClearHistory first).
Outcome ClearHistory(devlink::Channel& channel);

// The tool-cli verbs of this page.
CommandSet Commands();

}  // namespace pages::settings
