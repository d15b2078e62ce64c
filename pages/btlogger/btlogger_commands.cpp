#include "pages/btlogger/btlogger_commands.h"

#include <cstdio>

#include "link/codecs.h"
#include "link/frames.h"
#include "link/reply_reader.h"
#include "pages/kit/exchange_step.h"

namespace pages::btlogger {

using devlink::Bytes;
using devlink::ByteView;
using devlink::Channel;

namespace {

constexpr size_t kReplyDataOffset = 3;  // address, function, byte count

uint8_t High(uint16_t value) { return static_cast<uint8_t>(value >> 8); }
uint8_t Low(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }

// The function code a reply has to echo, as the checks take a request.
Bytes Echoed(uint8_t function) { return {kLoggerAddress, function}; }

// A 0x03 reply of `length` bytes: length and function, then the CRC. The byte count is not
// looked at.
ReplyRule ReadRule(size_t length) { return ModbusRule(length).NoByteCount(); }

Bytes ReadRequest(uint16_t firstRegister, uint16_t count) {
  return devlink::BuildModbusRead(kLoggerAddress, firstRegister, count);
}

// 01 10, first register, register count, byte count, the data, CRC.
Bytes WriteRequest(uint16_t firstRegister, ByteView data) {
  const auto count = static_cast<uint16_t>(data.size() / 2);
  Bytes body{High(firstRegister), Low(firstRegister), High(count), Low(count),
             static_cast<uint8_t>(data.size())};
  body.insert(body.end(), data.begin(), data.end());
  return devlink::BuildModbusFrame(kLoggerAddress, devlink::kModbusWriteMultiple, body);
}

uint16_t RecordRegister(size_t channel) {
  return static_cast<uint16_t>(kChannelRegisterBase + kChannelRegisterStride * channel);
}

// The data of a 0x03 reply whose length was checked: `count` bytes after the byte count.
Bytes ReplyData(const Bytes& reply, size_t count) {
  const ByteView data = devlink::ReplyReader(reply, kReplyDataOffset).Take(count);
  return Bytes(data.begin(), data.end());
}

std::string Format(const char* format, auto... values) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// What is wrong with a 0x03 reply of `length` bytes ("数据读取失败" / "数据校验失败"); empty
// when nothing is.
std::string ReadFailure(ByteView reply, size_t length) {
  return ReplyFailureText(reply, Echoed(devlink::kModbusRead), ReadRule(length), kReadFailed,
                          kCheckFailed);
}

std::string WriteFailure(ByteView reply) {
  return ReplyFailureText(reply, Echoed(devlink::kModbusWriteMultiple),
                          ModbusRule(kWriteReplyLength), kWriteFailed, kCheckFailed);
}

// Runs a widget command whose parse hook gives only an error text.
WidgetReply RunWrite(Channel& channel, WidgetOperation operation, const WidgetRequest& request,
                     std::string (*parse)(ByteView)) {
  return RunWidgetCommand(channel, operation, request, [parse](ByteView reply) -> WidgetReply {
    std::string error = parse(reply);
    if (!error.empty()) return Outcome::Failure(std::move(error));
    return WidgetReply(kWriteOk, {});
  });
}

}  // namespace

std::string_view TypeText(uint8_t type) {
  switch (type) {
    case kTemperatureType:
      return kTemperatureText;
    case kHumidityType:
      return kHumidityText;
    default:
      return {};
  }
}

std::optional<uint8_t> TypeOfText(std::string_view text) {
  if (text == kTemperatureText) return kTemperatureType;
  if (text == kHumidityText) return kHumidityType;
  return std::nullopt;
}

// ---- channel list ----

Values Describe(const LoggerConfig& config) {
  Values values{{"maximum", int64_t{config.Maximum()}}, {"count", int64_t{config.Configured()}}};
  for (size_t k = 0; k < config.records.size(); ++k) {
    const std::string channel = "channel-" + std::to_string(k + 1);
    values.emplace_back(channel, std::string(TypeText(config.Type(k))));
    values.emplace_back(channel + "-type", int64_t{config.Type(k)});
  }
  // The same list as write-channels takes it; a type it has no word for stays empty.
  std::string types;
  for (size_t k = 0; k < config.records.size(); ++k) {
    const uint8_t type = config.Type(k);
    types += k == 0 ? "" : ",";
    types += type == kTemperatureType ? kTemperatureWord : type == kHumidityType ? kHumidityWord : "";
  }
  values.emplace_back(kFieldTypes, types);
  return values;
}

Bytes BuildHeaderRead() { return ReadRequest(kHeaderRegister, kHeaderRegisters); }

Bytes BuildRecordRead(int channel) {
  return ReadRequest(RecordRegister(static_cast<size_t>(channel)), kChannelRegisters);
}

Result<LoggerConfig> ReadConfig(Channel& channel) {
  const auto header = RunExchange(channel, BuildHeaderRead(), ReadRule(kHeaderReplyLength),
                                  kHeaderReadFailed, kHeaderCheckFailed);
  if (!header.ok()) return header.outcome;
  LoggerConfig config;
  config.header = ReplyData(header.value, kHeaderBytes);
  for (int k = 0; k < config.Configured(); ++k) {
    const auto record = RunExchange(channel, BuildRecordRead(k), ReadRule(kRecordReplyLength),
                                    kRecordReadFailed, kRecordCheckFailed);
    if (!record.ok()) {
      Result<LoggerConfig> failed(record.outcome);
      failed.value = std::move(config);
      return failed;
    }
    config.records.push_back(ReplyData(record.value, kRecordBytes));
  }
  return {{}, std::move(config)};
}

std::optional<Outcome> RefuseChannelRows(std::span<const std::optional<uint8_t>> rowTypes,
                                         int maximum) {
  if (rowTypes.size() > static_cast<size_t>(maximum)) {
    return Outcome::Refused(Format(kTooManyChannels, maximum), kFieldTypes);
  }
  if (rowTypes.empty()) return Outcome::Refused(kNoRows, kFieldTypes);
  for (const auto& type : rowTypes) {
    if (!type) return Outcome::Refused(kInvalidRows, kFieldTypes);
  }
  return std::nullopt;
}

Outcome WriteConfig(Channel& channel, const LoggerConfig& kept,
                    std::span<const std::optional<uint8_t>> rowTypes) {
  const size_t rows = rowTypes.size();
  if (auto refused = RefuseChannelRows(rowTypes, kept.Maximum())) return *refused;
  for (size_t k = 0; k < rows; ++k) {
    Bytes record = k < kept.records.size() ? kept.records[k] : Bytes(kRecordBytes, 0);
    record[kChannelTypeByte] = *rowTypes[k];
    const auto written =
        RunExchange(channel, WriteRequest(RecordRegister(k), record), ModbusRule(kWriteReplyLength),
                    kRecordWriteFailed, kRecordWriteCheckFailed);
    if (!written.ok()) return written.outcome;
  }
  Bytes header = kept.header;
  header[kChannelCountByte] = static_cast<uint8_t>(rows);
  const auto written =
      RunExchange(channel, WriteRequest(kHeaderRegister, header), ModbusRule(kWriteReplyLength),
                  kCountWriteFailed, kCountWriteCheckFailed);
  if (!written.ok()) return written.outcome;
  return Outcome::Success("");
}

// ---- history ----

Bytes BuildClearHistory() {
  const Bytes body{0x00, 0x00, 0x00, 0x01, 0x02, High(kClearHistoryCode), Low(kClearHistoryCode)};
  return devlink::BuildModbusFrame(kLoggerAddress, kClearFunction, body);
}

Outcome ClearHistory(Channel& channel) {
  const auto reply = RunExchange(channel, BuildClearHistory(), ModbusRule(kWriteReplyLength),
                                 kClearFailed, kClearCheckFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kHistoryCleared);
}

// ---- the SN and clock widgets' hooks ----

WidgetRequest BuildSnReadRequest() {
  return {ReadRequest(kSnRegister, kSnRegisters), kSnReplyLength, devlink::FrameFamily::Modbus};
}

WidgetReply ParseSnReadReply(ByteView reply) {
  std::string error = ReadFailure(reply, kSnReplyLength);
  if (!error.empty()) return Outcome::Failure(std::move(error));
  devlink::ReplyReader in(reply, kReplyDataOffset);
  const int serial = in.U16Be();
  const uint16_t code = in.U16Be();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return WidgetReply({}, WidgetText{SnText(code, serial), {}});
}

WidgetRequest BuildSnWriteRequest(ByteView keptReply, int year, int month, int serial) {
  WidgetRequest request{{}, kWriteReplyLength, devlink::FrameFamily::Modbus};
  if (keptReply.size() != kSnReplyLength) return request;
  Bytes block(keptReply.begin() + kReplyDataOffset,
              keptReply.begin() + kReplyDataOffset + kSnBlockBytes);
  const uint16_t code = SnDateCode(year, month);
  block[0] = Low(static_cast<uint16_t>(serial >> 8));
  block[1] = Low(static_cast<uint16_t>(serial));
  block[2] = High(code);
  block[3] = Low(code);
  request.bytes = WriteRequest(kSnRegister, block);
  return request;
}

std::string ParseSnWriteReply(ByteView reply) { return WriteFailure(reply); }

WidgetRequest BuildClockReadRequest() {
  return {ReadRequest(kClockRegister, kClockRegisters), kClockReplyBuffer,
          devlink::FrameFamily::Modbus};
}

WidgetReply ParseClockReadReply(ByteView reply) {
  std::string error = ReadFailure(reply, kClockReplyLength);
  if (!error.empty()) return Outcome::Failure(std::move(error));
  // Reply bytes 3-10: minute, second, weekday, hour, month, day, century, year.
  devlink::ReplyReader in(reply, kReplyDataOffset);
  devlink::DateTime t;
  t.minute = in.Bcd();
  t.second = in.Bcd();
  in.Bcd();  // weekday: not shown
  t.hour = in.Bcd();
  t.month = in.Bcd();
  t.day = in.Bcd();
  t.year = in.Bcd() * 100;
  t.year += in.Bcd();
  in.RequireDateTime(t);
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return WidgetReply({}, WidgetText{Format("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                                           t.hour, t.minute, t.second),
                                    {}});
}

WidgetRequest BuildClockWriteRequest(const ClockTime& now) {
  using devlink::EncodeBcd8;
  const Bytes clock{EncodeBcd8(now.minute),     EncodeBcd8(now.second),    EncodeBcd8(now.weekday),
                    EncodeBcd8(now.hour),       EncodeBcd8(now.month),     EncodeBcd8(now.day),
                    EncodeBcd8(now.year / 100), EncodeBcd8(now.year % 100)};
  return {WriteRequest(kClockRegister, clock), kClockReplyBuffer, devlink::FrameFamily::Modbus};
}

std::string ParseClockWriteReply(ByteView reply) { return WriteFailure(reply); }

WidgetReply ReadLoggerSn(Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read, BuildSnReadRequest(), ParseSnReadReply);
}

WidgetReply WriteLoggerSn(Channel& channel, int year, int month, int serial) {
  if (serial < 0 || serial > kSerialMax) return Outcome::Refused(kSerialOutOfRange, "serial");
  Bytes kept;
  const WidgetReply read = RunWidgetCommand(channel, WidgetOperation::Read, BuildSnReadRequest(),
                                            [&kept](ByteView reply) {
                                              WidgetReply parsed = ParseSnReadReply(reply);
                                              if (parsed.ok())
                                                kept.assign(reply.begin(), reply.end());
                                              return parsed;
                                            });
  if (!read.ok()) return read;
  return RunWrite(channel, WidgetOperation::Write, BuildSnWriteRequest(kept, year, month, serial),
                  ParseSnWriteReply);
}

WidgetReply ReadLoggerClock(Channel& channel) {
  return RunWidgetCommand(channel, WidgetOperation::Read, BuildClockReadRequest(),
                          ParseClockReadReply);
}

WidgetReply SetLoggerClock(Channel& channel, const ClockTime& now) {
  return RunWrite(channel, WidgetOperation::SetTime, BuildClockWriteRequest(now),
                  ParseClockWriteReply);
}

}  // namespace pages::btlogger
