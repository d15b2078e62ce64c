#pragma once
// Commands of the "32位变送器" page: a transmitter with a GSM module. Recording, alarm and print
// intervals, whether it records, the alarm delay, sound/light and SMS alarms, three alarm phone
// numbers, the GSM access point, the signal strength, erasing the history and restoring the
// factory settings. SumFrame exchanges to address 0x00 with sub-command 0xFF, except the erase
// (current device address) and the alarm numbers (slot as sub-command, alarm_numbers.h).
//
//   'G' / 'H'     intervals: [0A 00, history, print, alarm], 16 bits each, low byte first
//   'I' / 'J'     alarm delay, seconds, 16 bits low byte first
//   0x80 [00]     signal strength -> [strength]
//   0x86 / 0x85   recording on/off          (generic read / write, 1 byte)
//   'K' / 'L'     sound/light alarm         (generic, 1 byte)
//   'M' / 'N'     SMS alarm, master switch  (generic, 1 byte)
//   'T' / 'U'     external power: read [sound/light, SMS]; write [01, sound/light, SMS]
//   0x89 / 0x88   APN, user name, password: three zero-padded 20-byte fields
//   0x09          erase the history (device address)
//   0x96 [01]     restore the factory settings
//
// The generic read takes a reply of any length its frame gives (at least one payload byte) and
// reads the payload as a big-endian number; the generic write sends n bytes big-endian and wants
// the acknowledgement 0x55 without looking at the echoed command.
#include <cstdint>
#include <optional>
#include <string>

#include "link/exchange.h"
#include "pages/widgets/alarm_numbers.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::transmitter32 {

using gsm::AlarmNumber;
using gsm::AlarmNumberCache;
using gsm::ReadAlarmNumber;
using gsm::WriteAlarmNumber;

inline constexpr const char* kReadFailed = "读取失败";
inline constexpr const char* kSetOk = "设置成功";
inline constexpr const char* kSetFailed = "设置失败";
inline constexpr const char* kIntervalBelowOne = "时间间隔必须≥1";
// Intervals and the alarm delay travel in 16 bits; a larger number would reach the device as
// another one.
inline constexpr const char* kIntervalTooLarge = "时间间隔不能大于65535";
inline constexpr const char* kDelayRange = "报警延时范围为0-65535";
inline constexpr const char* kApnEmpty = "APN号不能为空！";
inline constexpr const char* kClearOk = "数据清空成功";
inline constexpr const char* kClearFailed = "数据清空失败";
inline constexpr const char* kResetOk = "操作成功！";
inline constexpr const char* kResetFailed = "操作失败！";
inline constexpr const char* kResetPortOpenFailed = "串口打开失败！";

inline constexpr int kMaxInterval = 65535;
inline constexpr size_t kApnFieldBytes = 20;

enum Command : uint8_t {
  kReadIntervals = 0x47,
  kWriteIntervals = 0x48,
  kReadAlarmDelay = 0x49,
  kWriteAlarmDelay = 0x4A,
  kReadSoundLight = 0x4B,
  kWriteSoundLight = 0x4C,
  kReadSmsMaster = 0x4D,
  kWriteSmsMaster = 0x4E,
  kReadExternal = 0x54,
  kWriteExternal = 0x55,
  kReadSignal = 0x80,
  kWriteRecording = 0x85,
  kReadRecording = 0x86,
  kWriteApn = 0x88,
  kReadApn = 0x89,
  kClear = 0x09,
  kFactoryReset = 0x96,
};

// ---- the two shared routines ----

struct GenericValue {
  uint32_t value = 0;
};
Values Describe(const GenericValue& value);
Result<GenericValue> GenericRead(devlink::Channel& channel, uint8_t command);
// `value` as `bytes` bytes (1..4), most significant first.
Outcome GenericWrite(devlink::Channel& channel, uint8_t command, uint32_t value, int bytes);

// ---- commands ----

// Minutes; as collected from the page (or tool-cli) before validation, hence 64 bits.
struct Intervals {
  int64_t history = 5;
  int64_t print = 5;
  int64_t alarm = 2;
  bool operator==(const Intervals&) const = default;
};
Values Describe(const Intervals& value);
Result<Intervals> ReadIntervals(devlink::Channel& channel);
// Refuses, in the order history, print, alarm, the first interval below 1 ("时间间隔必须≥1"),
// then the first above 65535; the field is its option name.
Outcome WriteIntervals(devlink::Channel& channel, const Intervals& value);

struct AlarmDelay {
  int seconds = 0;
};
Values Describe(const AlarmDelay& value);
Result<AlarmDelay> ReadAlarmDelay(devlink::Channel& channel);
// Refuses a value outside 0..65535 (field "seconds").
Outcome WriteAlarmDelay(devlink::Channel& channel, int64_t seconds);

struct SignalStrength {
  int strength = 0;
};
Values Describe(const SignalStrength& value);
Result<SignalStrength> ReadSignalStrength(devlink::Channel& channel);

// One on/off setting as read; `name` is its name in tool-cli's output.
struct Flag {
  const char* name = "";
  bool on = false;
};
Values Describe(const Flag& value);
Result<Flag> ReadRecording(devlink::Channel& channel);
Outcome WriteRecording(devlink::Channel& channel, bool on);
// The master switch's sound/light alarm.
Result<Flag> ReadSoundLight(devlink::Channel& channel);
Outcome WriteSoundLight(devlink::Channel& channel, bool on);

// "总开关" (master switch) or "外接电" (external power).
enum class AlarmScope { Master, External };

// The SMS alarm, and under external power also the sound/light alarm, which travels with it.
struct SmsAlarm {
  bool sms = false;
  std::optional<bool> soundLight;  // external power only
};
Values Describe(const SmsAlarm& value);
Result<SmsAlarm> ReadSmsAlarm(devlink::Channel& channel, AlarmScope scope);
// Master: the SMS flag alone; external power: 01, sound/light, SMS.
Outcome WriteSmsAlarm(devlink::Channel& channel, AlarmScope scope, bool soundLight, bool sms);

struct Apn {
  std::string apn;
  std::string user;
  std::string password;
  bool operator==(const Apn&) const = default;
};
Values Describe(const Apn& value);
Result<Apn> ReadApn(devlink::Channel& channel);
// The APN is sent without the blanks around it and must not be empty (field "apn"); user name
// and password go as typed. A text that does not fit its 20 bytes in the device code page is
// refused (fields "apn", "user", "password").
Outcome WriteApn(devlink::Channel& channel, const Apn& value);

// Erases the stored history (the page has asked ConfirmClearHistory first).
Outcome ClearHistory(devlink::Channel& channel);
// On the serial channel the reply is awaited twice the exchange delay.
Outcome RestoreFactorySettings(devlink::Channel& channel);

// tool-cli verbs of the page "transmitter32".
CommandSet Commands();

}  // namespace pages::transmitter32
