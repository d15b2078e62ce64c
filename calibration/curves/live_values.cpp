// Display and raw values of a channel: the value the instrument shows (button "读取") and the raw
// value that fills a curve row's raw column after an edit.
//   kinds 0, 1, 3, 4, 6  '%' addr 0x01 (display) / 0x21 (raw), sel or 0xFF for kind 0
//                        kind 0: 2 tenths per channel, low byte first; others: a single at 5-8
//                        kinds 1, 3, 4, 6 take their raw value from 0x30 ch - 1 (11-byte reply)
//   kind 5               01 04 00 01 (display) / 00 (raw) 00 ch + 4; tenths, high byte first
//   kind 7               addr 03, register (sel + 1) * 256 (display) / (sel + 16) * 256 (raw),
//                        one register: signed tenths, high byte first

#include "calibration/curves/curvecal_kinds.h"
#include "link/codecs.h"
#include "link/frames.h"
#include "pages/kit/exchange_step.h"

namespace pages::curvecal {

namespace {

using devlink::Bytes;
using devlink::Channel;

constexpr size_t kSumOverhead = 7;
constexpr uint8_t kDisplayCommand = 0x01;
constexpr uint8_t kRawCommand = 0x21;
constexpr uint8_t kChannelRawCommand = 0x30;
constexpr size_t kChannelRawReply = 11;

constexpr uint8_t kLoggerAddress = 0x01;
constexpr uint8_t kReadInput = 0x04;
constexpr uint8_t kLoggerDisplayRegister = 1;
constexpr uint8_t kLoggerRawRegister = 0;
constexpr const char* kLiveCheckFailed = "实时数据校验错误";
constexpr const char* kLiveReadFailed = "读取实时数据失败";

constexpr size_t kSensorValueReply = 7;

enum class Which { Display, Raw };

bool ChannelInRange(const CurveTarget& target) {
  return target.channel >= 1 && target.channel <= ChannelCount(target.kind);
}

Result<LiveValue> Read(double value) { return {"", LiveValue{value}}; }

uint8_t Sel(const CurveTarget& target) { return static_cast<uint8_t>(target.channel - 1); }

// A value read from `in`: a number that is not one (a single that is NaN or infinite) fails the
// read with `failure` instead of being shown.
Result<LiveValue> Read(double value, const devlink::ReplyReader& in, std::string_view failure) {
  if (!in.ok()) return DecodeFailure(failure, in);
  return Read(value);
}

Result<LiveValue> ReadSingle(const Bytes& reply) {
  devlink::ReplyReader in(devlink::SumFramePayload(reply));
  const double value = SingleToDecimal(in.FiniteFloat32Le());
  return Read(value, in, kReadFailed);
}

// '%' addr 0x01 / 0x21: kind 0 lists every channel's tenths (sub-command 0xFF), the others give
// the selected channel's single.
Result<LiveValue> ReadSumValue(Channel& channel, const CurveTarget& target, uint8_t command) {
  const bool transmitter = target.kind == InstrumentKind::Transmitter;
  const auto reply = RunExchange(
      channel,
      devlink::BuildSumFrame(channel.DeviceAddress(), command,
                             transmitter ? kNoChannel : Sel(target)),
      SumRuleFromFrame(kSumOverhead).NoEcho(), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  if (!transmitter) return ReadSingle(reply.value);
  // Every channel's tenths, low byte first; the value has to lie in the payload.
  devlink::ReplyReader in(devlink::SumFramePayload(reply.value));
  const double value = in.Skip(2 * static_cast<size_t>(target.channel - 1)).Tenths16Le();
  return Read(value, in, kReadFailed);
}

// '%' addr 0x30 ch - 1: the channel's raw value as a single.
Result<LiveValue> ReadChannelRaw(Channel& channel, const CurveTarget& target) {
  const auto reply = RunExchange(
      channel, devlink::BuildSumFrame(channel.DeviceAddress(), kChannelRawCommand, Sel(target)),
      SumRule(kChannelRawReply).NoEcho(), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  return ReadSingle(reply.value);
}

// The Bluetooth logger's input registers: ch + 4 of them from register 1 (display values) or 0
// (raw values); channel ch's value is the ch-th register read.
Result<LiveValue> ReadLoggerValue(Channel& channel, const CurveTarget& target, Which which) {
  const auto ch = static_cast<uint8_t>(target.channel);
  const Bytes request = devlink::BuildModbusFrame(
      kLoggerAddress, kReadInput,
      Bytes{0x00, which == Which::Display ? kLoggerDisplayRegister : kLoggerRawRegister, 0x00,
            static_cast<uint8_t>(ch + 4)});
  const size_t dataBytes = 2 * size_t{ch} + 8;
  const auto reply = RunExchange(channel, request, ModbusRule(dataBytes + 5), kLiveReadFailed,
                                 kLiveCheckFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 2);
  in.Require(in.U8() == dataBytes, "byte count is not " + std::to_string(dataBytes));
  const double value = in.Skip(2 * (size_t{ch} - 1)).Tenths16Be();
  return Read(value, in, kLiveReadFailed);
}

// The digital sensor: one holding register, signed tenths.
Result<LiveValue> ReadSensorValue(Channel& channel, const CurveTarget& target, Which which) {
  const int page = which == Which::Display ? target.channel : target.channel - 1 + 16;
  const auto reply = RunExchange(
      channel, devlink::BuildModbusRead(channel.DeviceAddress(), static_cast<uint16_t>(page << 8), 1),
      ModbusRule(kSensorValueReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  devlink::ReplyReader in(reply.value, 3);
  const double value = in.Tenths16Be();
  return Read(value, in, kReadFailed);
}

// The logger kind is not among them: its display value has frames of its own, and it has no raw
// value (its rows are readings of its curve).
Result<LiveValue> ReadValue(Channel& channel, const CurveTarget& target, Which which) {
  switch (target.kind) {
    case InstrumentKind::Transmitter:
      return ReadSumValue(channel, target, which == Which::Display ? kDisplayCommand : kRawCommand);
    case InstrumentKind::Bit32:
    case InstrumentKind::WifiTransmitter:
    case InstrumentKind::Bit32Card:
    case InstrumentKind::FridgeBox:
      if (which == Which::Display) return ReadSumValue(channel, target, kDisplayCommand);
      return ReadChannelRaw(channel, target);
    case InstrumentKind::BluetoothLogger:
      return ReadLoggerValue(channel, target, which);
    case InstrumentKind::DigitalSensor:
      return ReadSensorValue(channel, target, which);
    case InstrumentKind::Logger:
      break;
  }
  return NotSupported();
}

}  // namespace

Values Describe(const LiveValue& value) { return {{"value", value.value}}; }

Result<LiveValue> ReadDisplayValue(Channel& channel, const CurveTarget& target) {
  if (target.kind == InstrumentKind::Logger) return ReadLoggerDisplayValue(channel, target);
  if (!ChannelInRange(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  return ReadValue(channel, target, Which::Display);
}

Result<LiveValue> ReadRawValue(Channel& channel, const CurveTarget& target) {
  if (target.kind == InstrumentKind::Logger) return Outcome::Refused(kNoRawValue, kFieldKind);
  if (!ChannelInRange(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  return ReadValue(channel, target, Which::Raw);
}

}  // namespace pages::curvecal
