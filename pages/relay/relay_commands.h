#pragma once
// Commands of the "中继配置" page: a GPRS relay that collects the readings of up to ten
// instruments and forwards them to a server. RelayFrame exchanges (link/relay_frame.h); replies
// carry no check value and are accepted by their length and fixed bytes.
//
//   'P' bare read              -> 56 bytes: the GPRS record (bytes 6-54)
//   'Q' record, CRC            -> 7 bytes  "<" ? ? 00 'Q' 01 'f'
//   'R' 6 BCD (y m d h m s)    -> 7 bytes  "<" ? ? 00 'R' 01 'f'      (fixed 600 ms wait)
//   'S' bare read              -> 13 bytes "<" ? ? 00 'S' 07 BCD×6 'f' (fixed 600 ms wait)
//   'T' clearing code          -> 7 bytes  "<" ? ? 00 ? 01 'f'
//   0x93 bare read             -> 112 bytes "%" ? ? ? 'I' 6C table 'f'
//   'I' (marker 0x30) table, CRC -> "\r\nRec Config OK!"
//   'J' bare read              -> 41 bytes: three numbers of 11 bytes, index, 'f'
//   'H' (marker 0x30) numbers, CRC -> 3C 30 30 30 09
//   'V' bare read              -> byte 5 + 6 bytes: company name (30), its length, 'f'
//   'W' (marker 0x30) name, CRC -> 7 bytes "<" ? ? ? 'W' ? 'f'
//   power at 9600: F3 (on) / F4 (off) with CRC; at 38400: 24 AA AA CC 00 11 55 / ... 22 66
//                              -> "\r\nCommand Rec!"
// Every command but 'V' and 'W' runs over the serial port only: in TCP mode it sends nothing
// and its outcome has no message.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::relay {

inline constexpr const char* kReadConfigOk = "获取设备配置成功!";
inline constexpr const char* kReadConfigFailed = "获取设备配置失败!";
inline constexpr const char* kGprsOk = "GPRS配置成功！";
inline constexpr const char* kGprsFailed = "GPRS配置失败！";
inline constexpr const char* kConfigureFailed = "配置失败！";
inline constexpr const char* kSnInvalid = "sn号无效！";
inline constexpr const char* kTimeOk = "校正完毕！";
inline constexpr const char* kTimeFailed = "校正失败！";
inline constexpr const char* kReadTimeFailed = "读取时间失败！";
inline constexpr const char* kClearOk = "历史记录已清空！";
inline constexpr const char* kClearFailed = "历史记录清空失败!";
inline constexpr const char* kInstrumentsOk = "仪器配置成功！";
inline constexpr const char* kInstrumentsFailed = "仪器配置失败";
inline constexpr const char* kPowerOnOk = "仪器重启成功！";
inline constexpr const char* kPowerOnFailed = "仪器重启失败";
inline constexpr const char* kPowerOffOk = "仪器已关闭！";
inline constexpr const char* kPowerOffFailed = "仪器关闭失败!";
inline constexpr const char* kPhonesReadOk = "读取号码成功！";
inline constexpr const char* kPhonesReadFailed = "读取号码失败！";
inline constexpr const char* kPhonesSetOk = "手机号码设置成功！";
inline constexpr const char* kPhonesSetFailed = "手机号码设置失败";
inline constexpr const char* kPhoneInvalid = "请正确填写手机号码！";
inline constexpr const char* kPrintReadFailed = "读取失败";
inline constexpr const char* kPrintSetOk = "设置成功";
inline constexpr const char* kPrintSetFailed = "设置失败";
// Inputs the relay could not carry as typed (they would reach it as other values).
inline constexpr const char* kPortRange = "端口范围为0-65535";
// The send interval is whole minutes that fit the hour: 1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60
// or a multiple of 60, at most 4 digits.
inline constexpr const char* kIntervalRange = "发送间隔应为60的约数或倍数！";
inline constexpr int kIntervalBase = 60;
inline constexpr int kIntervalMax = 9999;
inline constexpr const char* kTimeInvalid = "时间无效！";
// Formats with the row number (1-10).
inline constexpr const char* kRowIdInvalid = "第%d行仪器ID无效！";
inline constexpr const char* kRowSnInvalid = "第%d行SN号无效！";
inline constexpr const char* kRowLimitInvalid = "第%d行上下限无效！";

// The bytes "清空数据" sends: a packed-BCD date and time (2000-01-01 00:00:00) that the relay
// takes as the order to erase its history.
inline constexpr std::array<uint8_t, 6> kClearCode{0x00, 0x01, 0x01, 0x00, 0x00, 0x00};
// The server the domain field names until the user types another.
inline constexpr const char* kDefaultDomain = "gprs.example.com";
inline constexpr int kDefaultPort = 3550;
inline constexpr int kDefaultInterval = 1;
inline constexpr size_t kDomainBytes = 30;
inline constexpr size_t kCompanyBytes = 30;
inline constexpr size_t kPhoneDigits = 11;
inline constexpr int kPhoneCount = 3;
inline constexpr int kInstrumentRows = 10;
inline constexpr int kClockWaitMs = 600;  // the relay's clock commands take this long

// The GPRS record as the relay reports it. `gprs` and `addressMode` are the raw bytes: only
// 1 and 0 mean on/off, domain/IP.
struct GprsRecord {
  int64_t interval = kDefaultInterval;  // minutes
  int64_t port = kDefaultPort;
  std::array<uint8_t, 4> ip{};
  uint8_t gprs = 1;
  uint8_t addressMode = 0;
  std::string sn;      // "0a1b00042": hexadecimal part in lower case
  std::string domain;
};
Values Describe(const GprsRecord& value);

// The GPRS settings as the page (or tool-cli) has them.
struct GprsSettings {
  int64_t interval = kDefaultInterval;
  int64_t port = kDefaultPort;
  std::array<uint8_t, 4> ip{};
  bool gprsOff = false;
  bool domainMode = false;
  std::string sn;  // 4 hexadecimal and 5 decimal digits
  std::string domain = kDefaultDomain;
};

// The relay keeps two year digits: 2000..2099.
using RelayTime = CivilTime;

// The relay's clock as shown: "20YY-MM-DD hh:mm:ss" of its BCD bytes.
struct ClockText {
  std::string text;
};
Values Describe(const ClockText& value);

// One row of the instrument list as its cells hold it.
struct InstrumentRow {
  bool alarm = false;
  std::string id;     // up to 4 decimal digits
  std::string sn;     // 4 hexadecimal and 5 decimal digits
  std::string upper;  // °C, up to 2 decimals
  std::string lower;
  bool operator==(const InstrumentRow&) const = default;
};
using InstrumentTable = std::array<InstrumentRow, kInstrumentRows>;
Values Describe(const InstrumentTable& value);

struct PhoneNumbers {
  std::array<std::string, kPhoneCount> numbers;
};
Values Describe(const PhoneNumbers& value);

struct PrintSettings {
  std::string company;
};
Values Describe(const PrintSettings& value);

enum class Power { On, Off };

// SN "0A1B00042" -> 0A 1B 00 2A (hexadecimal prefix, decimal number, each 16 bits high byte
// first); nothing for any other shape or a number above 65535.
std::optional<std::array<uint8_t, 4>> EncodeSn(std::string_view sn);

Result<GprsRecord> ReadGprs(devlink::Channel& channel);
// Refuses an interval outside 0-9999 ("interval"), a port outside 0-65535 ("server-port"), an
// SN that is empty or malformed ("sn", "sn号无效！"), a domain name over 30 bytes ("domain").
Outcome WriteGprs(devlink::Channel& channel, const GprsSettings& settings);
// The same with the relay's own SN, as it reads now (settings.sn is not used): the settings
// change and the relay keeps its identity. The settings are checked before the read.
Outcome WriteGprsKeepingSn(devlink::Channel& channel, GprsSettings settings);

Outcome SetTime(devlink::Channel& channel, const RelayTime& time);
Result<ClockText> ReadTime(devlink::Channel& channel);
Outcome ClearData(devlink::Channel& channel);

Result<InstrumentTable> ReadInstruments(devlink::Channel& channel);
// Refuses a row whose ID, SN or limits cannot be carried (field "row", message with the row).
// The filled rows (those with an instrument ID) moved up in their order, each with its alarm
// box, the empty ones after them: the relay counts its instruments from the first position, so
// a gap would turn the instrument after it into a zero one.
InstrumentTable WithoutGaps(const InstrumentTable& table);
// Sends WithoutGaps(table); a page shows that table after a success, as a read-back will.
Outcome WriteInstruments(devlink::Channel& channel, const InstrumentTable& table);

Result<PhoneNumbers> ReadPhones(devlink::Channel& channel);
// Refuses a number that is neither empty nor 11 digits (field "1", "2" or "3").
Outcome WritePhones(devlink::Channel& channel, const PhoneNumbers& phones);

// Over the serial port or TCP.
Result<PrintSettings> ReadPrintSettings(devlink::Channel& channel);
Outcome WritePrintSettings(devlink::Channel& channel, const std::string& company);

// At the link's baud rate: 38400 and 9600 have their own frames, any other rate fails with
// "串口打开失败" before anything is sent.
Outcome SwitchPower(devlink::Channel& channel, Power power, const std::string& baudText);

// tool-cli verbs of the page "relay".
CommandSet Commands();

}  // namespace pages::relay
