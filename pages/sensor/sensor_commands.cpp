#include "pages/sensor/sensor_commands.h"

#include <cstdio>

#include "pages/kit/exchange_step.h"

namespace pages::sensor {

using devlink::ByteView;
using devlink::Bytes;
using devlink::Channel;
using devlink::FrameCheck;

namespace {

constexpr size_t kOneRegisterReply = 7;    // address, 0x03, byte count 2, value, CRC
constexpr size_t kWriteReply = 8;          // address, function, register, value/count, CRC
constexpr size_t kFourRegisterReply = 13;  // address, 0x03, byte count 8, four values, CRC
constexpr uint16_t kSnRegisterCount = 4;

uint8_t Wire(int address) { return static_cast<uint8_t>(address & 0xFF); }

constexpr size_t kReplyData = 3;  // address, function, byte count

// The first register of a read reply whose length was checked.
int RegisterValue(ByteView reply) { return devlink::ReplyReader(reply, kReplyData).U16Be(); }

Result<int> ReadAddressOnce(Channel& channel) {
  const auto reply = RunExchange(channel, devlink::BuildModbusRead(kAnyDevice, kAddressRegister, 1),
                                 ModbusRule(kOneRegisterReply), kAddressReadFailed);
  if (!reply.ok()) return reply.outcome;
  return {{}, RegisterValue(reply.value)};
}

// "x.yz" of a version's first, third and fourth character, each taken as a digit.
std::string VersionText(uint8_t x, uint8_t y, uint8_t z) {
  char text[32];
  std::snprintf(text, sizeof text, "%x.%x%x", static_cast<uint8_t>(x - '0'),
                static_cast<uint8_t>(y - '0'), static_cast<uint8_t>(z - '0'));
  return text;
}

}  // namespace

// ---- address and baud rate ----

Values Describe(const SensorFound& found) {
  return {{"address", int64_t{found.address}},
          {"baud-index", int64_t{found.baudIndex}},
          {"baud", found.baudText}};
}

Result<int> ReadAddress(Channel& channel, SerialLine* line) {
  Result<int> found = ReadAddressOnce(channel);
  // Over TCP the sensor sits behind a network module whose serial side this program does not
  // set, so trying rates on the local port could not reach it.
  if (found.ok() || line == nullptr || !line->Carries()) return found;
  for (const char* rate : kBaudRates) {
    line->SetBaudText(rate);
    std::string error;
    if (!line->Reopen(&error)) return Outcome::Failure(error);
    found = ReadAddressOnce(channel);
    if (found.ok()) break;
  }
  return found;
}

Result<int> ReadBaudIndex(Channel& channel, int address) {
  const auto reply = RunExchange(channel, devlink::BuildModbusRead(Wire(address), kBaudRegister, 1),
                                 ModbusRule(kOneRegisterReply), kBaudReadFailed);
  if (!reply.ok()) return reply.outcome;
  const int index = devlink::ReplyReader(reply.value, kReplyData + 1).U8();
  // An index without an entry in the list names no rate: taking it would leave the link
  // without a baud rate.
  if (index < 1 || index > static_cast<int>(kBaudRates.size())) {
    return Outcome::Failure(kBaudReadFailed);
  }
  return {{}, index};
}

Result<SensorFound> FindSensor(Channel& channel, SerialLine* line) {
  const Result<int> address = ReadAddress(channel, line);
  if (!address.ok()) return address.outcome;
  const Result<int> index = ReadBaudIndex(channel, address.value);
  if (!index.ok()) {
    Outcome failure = index.outcome;
    return failure.With("address", int64_t{address.value});
  }
  SensorFound found{address.value, index.value, kBaudRates[index.value - 1]};
  if (line != nullptr) line->SetBaudText(found.baudText);
  return {{}, found};
}

Result<int> WriteAddress(Channel& channel, int address, int64_t newAddress) {
  if (newAddress < 1 || newAddress > kSensorAddressMax) {
    return Outcome::Refused(kAddressRange, kFieldNewAddress);
  }
  const auto value = static_cast<uint16_t>(newAddress);
  const auto reply =
      RunExchange(channel, devlink::BuildModbusWriteSingle(Wire(address), kAddressRegister, value),
                  ModbusRule(kWriteReply), kAddressSetFailed);
  if (!reply.ok()) return reply.outcome;
  return {{}, static_cast<int>(newAddress)};
}

Outcome WriteBaud(Channel& channel, int address, std::optional<int> selection) {
  if (!selection || *selection < 0 || *selection >= static_cast<int>(kBaudRates.size())) {
    return Outcome::Refused(kSelectBaud, kFieldBaud);
  }
  const auto index = static_cast<uint16_t>(*selection + 1);
  // The sensor may answer at its old rate or already at the new one: on the serial channel the
  // reply is not looked at. On TCP the exchange itself must succeed.
  const auto write =
      RunExchange(channel, devlink::BuildModbusWriteSingle(Wire(address), kBaudRegister, index),
                  UncheckedRule(kWriteReply, devlink::FrameFamily::Modbus), kBaudSetFailed);
  if (!write.ok()) return write.outcome;

  // The proof: at the unchanged line settings the sensor must no longer be heard at all.
  const Bytes probe = devlink::BuildModbusRead(kAnyDevice, kAddressRegister, 1);
  const auto answer = RunExchange(channel, probe,
                                  UncheckedRule(kOneRegisterReply, devlink::FrameFamily::Modbus),
                                  /*failure=*/"");
  if (!answer.ok()) {
    if (answer.message() == kPortOpenFailed) return answer.outcome;
    // TCP: no acceptable reply in any attempt; the sensor no longer answers at this rate.
    return Outcome::Success("").With("baud", std::string(kBaudRates[*selection]));
  }
  if (answer.value.empty()) {
    return Outcome::Success("").With("baud", std::string(kBaudRates[*selection]));
  }
  if (CheckReply(answer.value, probe, ModbusRule(kOneRegisterReply)) != FrameCheck::Ok) {
    return Outcome::Failure(kAddressReadFailed);
  }
  // A correct answer at the old settings: the sensor kept its rate.
  return Outcome::Failure(kBaudSetFailed);
}

// ---- channel types ----

std::optional<std::string_view> ChannelTypeText(uint8_t code) {
  for (const auto& type : kChannelTypes) {
    if (type.code == code) return type.name;
  }
  return std::nullopt;
}

Values Describe(const ChannelTypeRows& rows) {
  Values values{{"channel-1-code", int64_t{rows.codes[0]}}, {"channel-2-code", int64_t{rows.codes[1]}},
                {"rows", int64_t(rows.names.size())}};
  for (size_t i = 0; i < rows.names.size(); ++i) {
    values.emplace_back("row-" + std::to_string(i + 1), rows.names[i]);
  }
  return values;
}

Result<ChannelTypeRows> ReadChannelTypes(Channel& channel, int address) {
  const auto reply =
      RunExchange(channel, devlink::BuildModbusRead(Wire(address), kChannelTypeRegister, 1),
                  ModbusRule(kOneRegisterReply).NoByteCount(), kChannelTypeReadFailed);
  if (!reply.ok()) return reply.outcome;
  ChannelTypeRows rows;
  devlink::ReplyReader in(reply.value, kReplyData);
  rows.codes = {in.U8(), in.U8()};
  for (uint8_t code : rows.codes) {
    if (auto name = ChannelTypeText(code)) rows.names.emplace_back(*name);
  }
  return {{}, rows};
}

// ---- versions ----

Values Describe(const Versions& versions) {
  return {{"hardware", versions.hardware}, {"software", versions.software}};
}

Result<Versions> ReadVersions(Channel& channel, int address, SerialLine* line) {
  const bool purge = line != nullptr && line->Carries();
  if (purge) line->PurgeAll();
  const auto reply =
      RunExchange(channel, devlink::BuildModbusRead(Wire(address), kVersionRegister, 4),
                  ModbusRule(kFourRegisterReply).NoEcho().NoByteCount(), kReadFailed);
  if (purge) line->PurgeAll();
  if (!reply.ok()) return reply.outcome;
  // Two registers each: major, (unused), minor, patch.
  devlink::ReplyReader in(reply.value, kReplyData);
  uint8_t parts[2][4];
  for (auto& version : parts) {
    for (uint8_t& part : version) part = in.U8();
  }
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {{}, Versions{VersionText(parts[0][0], parts[0][2], parts[0][3]),
                       VersionText(parts[1][0], parts[1][2], parts[1][3])}};
}

// ---- the SN widget's hooks ----

WidgetRequest BuildSnReadRequest(int address) {
  return {devlink::BuildModbusRead(Wire(address), kSnRegister, kSnRegisterCount),
          kFourRegisterReply, devlink::FrameFamily::Modbus};
}

WidgetRequest BuildSnWriteRequest(int address, int year, int month, int serial) {
  const uint16_t values[kSnRegisterCount] = {SnDateCode(year, month),
                                             static_cast<uint16_t>(serial), 0, 0};
  return {devlink::BuildModbusWriteMultiple(Wire(address), kSnRegister, values), kWriteReply,
          devlink::FrameFamily::Modbus};
}

WidgetReply ParseSnReadReply(ByteView reply) {
  const Bytes request{0, devlink::kModbusRead};  // the function code the reply must echo
  switch (CheckReply(reply, request, ModbusRule(kFourRegisterReply))) {
    case FrameCheck::Ok:
      break;
    case FrameCheck::Checksum:
      return Outcome::Failure(kCheckFailed);
    default:
      return Outcome::Failure(kReadFailed);
  }
  devlink::ReplyReader in(reply, kReplyData);
  const uint16_t code = in.U16Be();
  const int serial = in.U16Be();
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return WidgetReply({}, WidgetText{SnText(code, serial), {}});
}

std::string ParseSnWriteReply(ByteView reply) {
  const Bytes request{0, devlink::kModbusWriteMultiple};
  switch (CheckReply(reply, request, ModbusRule(kWriteReply))) {
    case FrameCheck::Ok:
      return {};
    case FrameCheck::Checksum:
      return kCheckFailed;
    default:
      return kWriteFailed;
  }
}

WidgetReply ReadSn(Channel& channel, int address) {
  return RunWidgetCommand(channel, WidgetOperation::Read, BuildSnReadRequest(address),
                          ParseSnReadReply);
}

WidgetReply WriteSn(Channel& channel, int address, int year, int month, int serial) {
  if (serial < 0 || serial > kSerialMax) return Outcome::Refused(kSerialOutOfRange, "serial");
  return RunWidgetCommand(channel, WidgetOperation::Write,
                          BuildSnWriteRequest(address, year, month, serial),
                          [](ByteView r) -> WidgetReply {
                            const std::string error = ParseSnWriteReply(r);
                            if (!error.empty()) return Outcome::Failure(error);
                            return WidgetReply(kWriteOk, {});
                          });
}

}  // namespace pages::sensor
