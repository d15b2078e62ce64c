#pragma once
// Commands of the Bluetooth logger page: a multi-channel data logger reached through the
// Bluetooth adapter on the serial port, spoken to in Modbus RTU at address 0x01. Its channel
// list (one type per channel), its SN, its clock, and the clearing of its history.
//
// Registers (16-bit, high byte first; "data byte" counts from the first register's high byte):
//   0x0000-0x001F  SN block: data bytes 0-1 serial number, 2-3 date code (year × 16 + month),
//                  the other 60 bytes are the logger's own and go back unchanged
//   0x0100-0x011B  configuration header: data byte 44 the most channels the logger takes,
//                  data byte 45 the number of configured channels; the rest goes back unchanged
//   0x01E0-0x01E3  clock, packed BCD: minute, second, weekday (0 = Sunday), hour, month, day,
//                  century, year
//   0x1000 + 128 k channel k's record, 16 registers: data byte 1 the type (1 temperature,
//                  2 humidity); the rest goes back unchanged
//   function 0x13  clear the history: 01 13 00 00 00 01 02, the clearing code, CRC
//
// The commands here assume the adapter already holds the logger (pages/kit/bluetooth_device.h
// makes sure of that first).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::btlogger {

inline constexpr uint8_t kLoggerAddress = 0x01;

inline constexpr uint16_t kSnRegister = 0x0000;
inline constexpr uint16_t kSnRegisters = 32;
inline constexpr uint16_t kHeaderRegister = 0x0100;
inline constexpr uint16_t kHeaderRegisters = 28;
inline constexpr uint16_t kClockRegister = 0x01E0;
inline constexpr uint16_t kClockRegisters = 4;
inline constexpr uint16_t kChannelRegisterBase = 0x1000;
inline constexpr uint16_t kChannelRegisterStride = 128;
inline constexpr uint16_t kChannelRegisters = 16;

inline constexpr size_t kHeaderBytes = 2 * kHeaderRegisters;   // 56
inline constexpr size_t kRecordBytes = 2 * kChannelRegisters;  // 32
inline constexpr size_t kSnBlockBytes = 2 * kSnRegisters;      // 64
inline constexpr size_t kMaximumChannelsByte = 44;             // header data byte
inline constexpr size_t kChannelCountByte = 45;                // header data byte
inline constexpr size_t kChannelTypeByte = 1;                  // record data byte

// Reply lengths: address, function, byte count, data, CRC (2).
inline constexpr size_t kHeaderReplyLength = 3 + kHeaderBytes + 2;        // 61
inline constexpr size_t kRecordReplyLength = 3 + kRecordBytes + 2;        // 37
inline constexpr size_t kSnReplyLength = 3 + kSnBlockBytes + 2;           // 69
inline constexpr size_t kClockReplyLength = 3 + 2 * kClockRegisters + 2;  // 13
inline constexpr size_t kWriteReplyLength = 8;
// The clock commands set aside a larger reply buffer than their reply needs.
inline constexpr size_t kClockReplyBuffer = 200;

// The history clearing command and the code that makes the logger carry it out (sent high byte
// first). The code guards the history against a stray frame; it is fixed for this logger.
inline constexpr uint8_t kClearFunction = 0x13;
inline constexpr uint16_t kClearHistoryCode = 0xA55A;

// Channel types as the records carry them, and their names in the list.
inline constexpr uint8_t kTemperatureType = 1;
inline constexpr uint8_t kHumidityType = 2;
inline constexpr const char* kTemperatureText = "温度";
inline constexpr const char* kHumidityText = "湿度";
// The same in tool-cli's channel lists.
inline constexpr const char* kTemperatureWord = "temperature";
inline constexpr const char* kHumidityWord = "humidity";

// Messages.
inline constexpr const char* kHeaderReadFailed = "读取通道失败";
inline constexpr const char* kHeaderCheckFailed = "读取通道校验失败";
inline constexpr const char* kRecordReadFailed = "获取通道名称失败";
inline constexpr const char* kRecordCheckFailed = "获取通道名称校验失败";
inline constexpr const char* kRecordWriteFailed = "设置通道类型失败";
inline constexpr const char* kRecordWriteCheckFailed = "设置通道类型校验失败";
inline constexpr const char* kCountWriteFailed = "设置通道数失败";
inline constexpr const char* kCountWriteCheckFailed = "设置通道数校验失败";
inline constexpr const char* kTooManyChannels = "err:配置数量不能大于%d";
inline constexpr const char* kNoRows = "请至少输入一行数据";
inline constexpr const char* kInvalidRows = "请删除无效行或填入有效数据！";
inline constexpr const char* kInvalidRowsCaption = "错误";
inline constexpr const char* kHistoryCleared = "历史数据清除成功";
inline constexpr const char* kClearFailed = "清除历史数据失败";
inline constexpr const char* kClearCheckFailed = "清除历史数据校验失败";
inline constexpr const char* kCheckFailed = "数据校验失败";
// Asked before the history is cleared (OK/Cancel, caption "提示").

// The field a refused channel list names.
inline constexpr const char* kFieldTypes = "types";

// "温度" (1), "湿度" (2), empty for any other type byte.
std::string_view TypeText(uint8_t type);
// The type byte of a list text ("温度", "湿度"); nothing for any other text.
std::optional<uint8_t> TypeOfText(std::string_view text);

// ---- channel list ----

// The logger as last read: its configuration header and the record of each channel read.
struct LoggerConfig {
  devlink::Bytes header;                // 56 data bytes; empty before a read
  std::vector<devlink::Bytes> records;  // channel k's 32 data bytes

  int Maximum() const { return header.size() == kHeaderBytes ? header[kMaximumChannelsByte] : 0; }
  int Configured() const { return header.size() == kHeaderBytes ? header[kChannelCountByte] : 0; }
  // The type byte of channel k's record.
  uint8_t Type(size_t k) const { return records.at(k)[kChannelTypeByte]; }
};
Values Describe(const LoggerConfig& config);

devlink::Bytes BuildHeaderRead();
devlink::Bytes BuildRecordRead(int channel);  // channel k from 0

// The header, then the record of each configured channel in turn. When a record read fails, the
// outcome is its failure and the value still holds the header and the records read before it.
Result<LoggerConfig> ReadConfig(devlink::Channel& channel);

// The most channels any logger can take: its header counts them in one byte.
inline constexpr int kMostChannels = 255;
// The refusal of a channel list before anything is sent: more rows than `maximum`
// ("err:配置数量不能大于%d"), no rows, a row without a type.
std::optional<Outcome> RefuseChannelRows(std::span<const std::optional<uint8_t>> rowTypes,
                                         int maximum);

// Writes one record per row (the kept record of that channel when one was read, else 32 zero
// bytes, with its type byte set to the row's), then the kept header with the channel count set
// to the number of rows. A row without a type (nothing) refuses the list before anything is sent,
// as do more rows than the logger takes and no rows at all.
Outcome WriteConfig(devlink::Channel& channel, const LoggerConfig& kept,
                    std::span<const std::optional<uint8_t>> rowTypes);

// ---- history ----

devlink::Bytes BuildClearHistory();
Outcome ClearHistory(devlink::Channel& channel);

// ---- the SN and clock widgets' hooks ----

WidgetRequest BuildSnReadRequest();
// The SN text; the caller keeps the reply for the write.
WidgetReply ParseSnReadReply(devlink::ByteView reply);
// The kept SN block (the whole read reply) with only the serial number and date code replaced;
// an empty request when `keptReply` is not a whole read reply. `serial` within 0..65535.
WidgetRequest BuildSnWriteRequest(devlink::ByteView keptReply, int year, int month, int serial);
std::string ParseSnWriteReply(devlink::ByteView reply);  // empty on success

WidgetRequest BuildClockReadRequest();
// "%02d%02d-%02d-%02d %02d:%02d:%02d": century, year, month, day, hour, minute, second.
WidgetReply ParseClockReadReply(devlink::ByteView reply);
WidgetRequest BuildClockWriteRequest(const ClockTime& now);
std::string ParseClockWriteReply(devlink::ByteView reply);  // empty on success

// The same end to end, as tool-cli runs them. The SN write reads the block first: the logger's
// other SN bytes go back as they are.
WidgetReply ReadLoggerSn(devlink::Channel& channel);
WidgetReply WriteLoggerSn(devlink::Channel& channel, int year, int month, int serial);
WidgetReply ReadLoggerClock(devlink::Channel& channel);
WidgetReply SetLoggerClock(devlink::Channel& channel, const ClockTime& now);

// tool-cli verbs of the page "btlogger"; each takes --mac.
CommandSet Commands();

}  // namespace pages::btlogger
