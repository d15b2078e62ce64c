#include "calibration/fixed/fixedcal_commands.h"

#include <cmath>
#include <cstdio>

#include "link/codecs.h"
#include "link/frames.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/profile.h"
#include "pages/kit/serial_line.h"

namespace pages::fixedcal {

using devlink::Bytes;
using devlink::ByteView;
using devlink::Channel;

namespace {

constexpr uint8_t kCmdReadTable = 0x07;
constexpr uint8_t kCmdWriteTable = 0x03;
constexpr uint8_t kCmdRealTime = 0x01;
constexpr uint8_t kCmdZeroPoint = 0x0B;
constexpr uint8_t kSubTemperature = 0x01;
constexpr uint8_t kSubHumidity = 0x02;
constexpr uint8_t kSubRealTime = 0xFF;
constexpr uint8_t kSubZeroRead = 0x55;
constexpr uint8_t kSubZeroWrite = 0xAA;

constexpr size_t kTableReply = 47;  // 7 + 40
constexpr size_t kPairReply = 11;   // 7 + 4
constexpr size_t kAckReply = 8;

uint8_t Sub(Quantity quantity) {
  return quantity == Quantity::Humidity ? kSubHumidity : kSubTemperature;
}

const char* QuantityWord(Quantity quantity) {
  return quantity == Quantity::Humidity ? "humidity" : "temperature";
}

// The replies are checked for length, start byte, end marker and sum (and the acknowledgement
// of a write); the echoed command is not looked at. Over TCP the channel's own acceptance
// (minimum length, '<', sum) is all.
ReplyRule ReadRule(size_t length) { return SumRule(length).NoEcho().ChannelRuleSuffices(); }
ReplyRule WriteRule() { return SumRule(kAckReply).NoEcho().Ack().ChannelRuleSuffices(); }

void PutTenths(Bytes& out, double value) {
  uint8_t high = 0, low = 0;
  devlink::EncodeTenths16(value, high, low);
  out.push_back(low);
  out.push_back(high);
}

// Whether trunc(value * 10) fits a signed 16-bit count (NaN does not).
bool Fits16(double value) {
  const double tenths = std::trunc(value * 10.0);
  return tenths >= -32768.0 && tenths <= 32767.0;
}

Result<Pair> ReadPair(Channel& channel, uint8_t command, uint8_t sub, const char* success) {
  const auto reply = RunExchange(channel, devlink::BuildSumFrame(channel.DeviceAddress(), command, sub),
                                 ReadRule(kPairReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const double first = in.Tenths16Le();
  const double second = in.Tenths16Le();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {success, Pair{first, second}};
}

}  // namespace

size_t PointCount(Quantity quantity) {
  return quantity == Quantity::Humidity ? kHumidityPoints : kTemperaturePoints;
}

double RawPoint(Quantity quantity, size_t index) {
  const double first = quantity == Quantity::Humidity ? 0.0 : -40.0;
  return first + 10.0 * static_cast<double>(index);
}

Values Describe(const CalibrationTable& table) {
  Values values{{"quantity", std::string(QuantityWord(table.quantity))}};
  std::string list;  // the same as write-table's --values takes them
  for (size_t i = 0; i < table.values.size(); ++i) {
    values.emplace_back("point-" + std::to_string(i + 1), table.values[i]);
    list += (i == 0 ? "" : ",") + OptionText(table.values[i]);
  }
  values.emplace_back(kFieldValues, list);
  return values;
}

CalibrationTable IdentityTable(Quantity quantity) {
  CalibrationTable table{quantity, {}};
  for (size_t i = 0; i < PointCount(quantity); ++i) table.values.push_back(RawPoint(quantity, i));
  return table;
}

std::optional<Outcome> RefuseTable(const CalibrationTable& table) {
  if (table.values.size() != PointCount(table.quantity)) {
    return Outcome::Refused(kWrongPointCount, kFieldValues);
  }
  for (size_t i = 0; i < table.values.size(); ++i) {
    if (!Fits16(table.values[i])) {
      return Outcome::Refused(kValueOutOfRange, "point-" + std::to_string(i + 1));
    }
  }
  return std::nullopt;
}

Bytes TablePayload(const CalibrationTable& table) {
  Bytes payload;
  payload.reserve(kTablePayload);
  for (double value : table.values) PutTenths(payload, value);
  payload.resize(kTablePayload, 0x00);
  return payload;
}

CalibrationTable Shifted(CalibrationTable table, double step) {
  for (double& value : table.values) value += step;
  return table;
}

Result<CalibrationTable> ReadTable(Channel& channel, Quantity quantity) {
  const auto reply = RunExchange(
      channel, devlink::BuildSumFrame(channel.DeviceAddress(), kCmdReadTable, Sub(quantity)),
      ReadRule(kTableReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  CalibrationTable table{quantity, {}};
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  for (size_t i = 0; i < PointCount(quantity); ++i) table.values.push_back(in.Tenths16Le());
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {kReadOk, std::move(table)};
}

Outcome WriteTable(Channel& channel, const CalibrationTable& table) {
  if (auto refusal = RefuseTable(table)) return *refusal;
  const auto reply =
      RunExchange(channel,
                  devlink::BuildSumFrame(channel.DeviceAddress(), kCmdWriteTable,
                                         Sub(table.quantity), TablePayload(table)),
                  WriteRule(), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

Values Describe(const Pair& pair) {
  return {{"temperature", pair.temperature}, {"humidity", pair.humidity}};
}

Result<Pair> ReadRealTime(Channel& channel) {
  return ReadPair(channel, kCmdRealTime, kSubRealTime, "");
}

std::optional<Outcome> RefuseCorrection(Quantity quantity, double value) {
  if (value >= -kCorrectionLimit && value <= kCorrectionLimit) return std::nullopt;
  if (quantity == Quantity::Humidity) {
    return Outcome::Refused(kHumidityCorrectionRange, kFieldHumidity);
  }
  return Outcome::Refused(kTemperatureCorrectionRange, kFieldTemperature);
}

Result<Pair> ReadZeroPoint(Channel& channel) {
  return ReadPair(channel, kCmdZeroPoint, kSubZeroRead, kReadOk);
}

Outcome WriteZeroPoint(Channel& channel, const Pair& corrections) {
  if (auto refusal = RefuseCorrection(Quantity::Temperature, corrections.temperature)) {
    return *refusal;
  }
  if (auto refusal = RefuseCorrection(Quantity::Humidity, corrections.humidity)) return *refusal;
  const std::unique_ptr<SerialLine> line = LineBehind(channel);
  const bool overTcp = line != nullptr && !line->Carries();
  Bytes payload;
  PutTenths(payload, corrections.temperature);
  PutTenths(payload, corrections.humidity);
  // Instruments answer this write with any first byte; the rest of the reply is checked.
  const auto reply = RunExchange(
      channel,
      devlink::BuildSumFrame(channel.DeviceAddress(), kCmdZeroPoint, kSubZeroWrite, payload),
      WriteRule().NoStart(), overTcp ? kWriteFailed : kZeroWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(overTcp ? kWriteOk : kZeroWriteOk);
}

Quantity QuantityNamed(std::string_view name) {
  return name == kHumidityName || name == "humidity" ? Quantity::Humidity : Quantity::Temperature;
}

}  // namespace pages::fixedcal
