#pragma once
// Commands of the "冷藏箱" page: the recorder of a refrigerated box. Four recording intervals,
// three alarm phone numbers, the interval between alarm text messages, the device and recording
// on/off state, and erasing the history. SumFrame exchanges to address 0x00, except the erase,
// which goes to the current device address. 16-bit values travel low byte first.
//
//   'E' FF                      status read   -> [device on, second state byte, recording on]
//   'F' FF [dev, second, rec]   status write  -> 0x55
//   'G' FF                      intervals     -> [upload, history, print, alarm] (16 bits each)
//   'H' FF [8 bytes]            intervals write, same order -> 0x55
//   'I' FF / 'J' FF [2 bytes]   SMS interval (seconds) read / write
//   'A' / 'B' slot              alarm numbers (alarm_numbers.h)
//   0x09 FF                     erase the history (device address) -> 0x55
#include <cstdint>
#include <string>

#include "link/exchange.h"
#include "pages/widgets/alarm_numbers.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::fridge {

// The alarm numbers are the GSM recorders' shared protocol.
using namespace pages::gsm;

inline constexpr const char* kReadFailed = "读取失败";
inline constexpr const char* kSetOk = "设置成功";
inline constexpr const char* kSetFailed = "设置失败";
inline constexpr const char* kIntervalBelowOne = "时间间隔必须≥1";
// The intervals travel in 16 bits; a larger number would reach the device as another one.
inline constexpr const char* kIntervalTooLarge = "时间间隔不能大于65535";
inline constexpr const char* kSmsIntervalRange = "短信发送间隔范围为0-65535";
inline constexpr const char* kClearOk = "数据清空成功";
inline constexpr const char* kClearFailed = "数据清空失败";
inline constexpr const char* kDeviceOffQuestion =
    "即将关闭设备，重新启动设备必须手动操作！\n是否继续？";
inline constexpr const char* kOn = "开";
inline constexpr const char* kOff = "关";

inline constexpr int kMaxInterval = 65535;

// The three state bytes as the instrument keeps them (non-zero: on).
struct Status {
  uint8_t device = 1;
  uint8_t second = 1;  // not shown; follows the recording switch
  uint8_t recording = 1;
  bool DeviceOn() const { return device != 0; }
  bool RecordingOn() const { return recording != 0; }
  bool operator==(const Status&) const = default;
};
Values Describe(const Status& value);

// The state after the device switch: the device flag inverted, the rest kept.
Status ToggleDevice(const Status& status);
// The state after the recording switch: the recording flag inverted, the second state byte
// set to the same new value.
Status ToggleRecording(const Status& status);

// Minutes. As collected from the page (or tool-cli) before validation, hence 64 bits.
struct Intervals {
  int64_t upload = 10;
  int64_t history = 30;
  int64_t print = 10;
  int64_t alarm = 2;
  bool operator==(const Intervals&) const = default;
};
Values Describe(const Intervals& value);

struct SmsInterval {
  int seconds = 0;
};
Values Describe(const SmsInterval& value);

Result<Status> ReadStatus(devlink::Channel& channel);
Outcome WriteStatus(devlink::Channel& channel, const Status& status);

Result<Intervals> ReadIntervals(devlink::Channel& channel);
// Refuses, in the order upload, history, print, alarm, the first interval below 1
// ("时间间隔必须≥1"), then the first above 65535; the field is its option name.
Outcome WriteIntervals(devlink::Channel& channel, const Intervals& value);

Result<SmsInterval> ReadSmsInterval(devlink::Channel& channel);
// Refuses a value outside 0..65535 (field "seconds").
Outcome WriteSmsInterval(devlink::Channel& channel, int64_t seconds);

// Erases the stored history (the page has asked ConfirmClearHistory first).
Outcome ClearHistory(devlink::Channel& channel);

// tool-cli verbs of the page "fridge".
CommandSet Commands();

}  // namespace pages::fridge
