#include "calibration/curves/curvecal_commands.h"

#include "calibration/curves/curvecal_kinds.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "link/checks.h"
#include "link/codecs.h"
#include "link/frames.h"
#include "pages/kit/exchange_step.h"
#include "pages/kit/profile.h"

namespace pages::curvecal {

using devlink::Bytes;
using devlink::Channel;

namespace {

constexpr uint8_t kSumStart = 0x25;  // '%'
constexpr uint8_t kSumEnd = 0x66;    // 'f'
constexpr size_t kSumOverhead = 7;
constexpr size_t kAckReply = 8;

constexpr std::array<uint8_t, 4> kNoBytes{0x00, 0x00, 0x00, 0x00};
constexpr std::array<uint8_t, 4> kInfinity{0x00, 0x00, 0x80, 0x7F};  // +Inf
constexpr std::array<uint8_t, 4> kFridgeEmpty{0x00, 0x00, 0x00, 0x50};
constexpr std::array<uint8_t, 4> kBluetoothEmpty{0x80, 0x00, 0x00, 0x00};

struct SumCommands {
  uint8_t read;
  uint8_t write;
};

// The SumFrame kinds' curve commands; none for the others.
std::optional<SumCommands> SumCommandsOf(InstrumentKind kind) {
  switch (kind) {
    case InstrumentKind::Transmitter:
      return SumCommands{0x22, 0x23};
    case InstrumentKind::Bit32:
    case InstrumentKind::WifiTransmitter:
    case InstrumentKind::Bit32Card:
      return SumCommands{0x07, 0x03};
    case InstrumentKind::FridgeBox:
      return SumCommands{0x50, 0x51};
    default:
      return std::nullopt;
  }
}

// Tenths of value + offset, truncated toward zero. The sum is first taken to a millionth of a
// tenth so that a value such as 0.2 + 273.1 (273.29999999999995 in binary) counts as the 2733
// tenths it stands for; a real fraction of a tenth is still cut off.
std::optional<int16_t> OffsetTenths(double value, double offset) {
  const double tenths = std::trunc(std::round((value + offset) * 10.0 * 1e6) / 1e6);
  if (!(tenths >= -32768.0 && tenths <= 32767.0)) return std::nullopt;
  return static_cast<int16_t>(tenths);
}

// Tenths as shown: to one decimal, so that 298.1 - 273.1 reads as 25.0 exactly.
double RoundTenth(double value) { return std::round(value * 10.0) / 10.0; }

void PutSlot(const PairLayout& layout, double value, uint8_t* at) {
  if (layout.encoding == SlotEncoding::SingleLe) {
    Bytes single;
    devlink::PutFloat32Le(single, static_cast<float>(value));
    std::copy(single.begin(), single.end(), at);
    return;
  }
  const auto bits = static_cast<uint16_t>(OffsetTenths(value, layout.offset).value_or(0));
  const uint8_t low = static_cast<uint8_t>(bits & 0xFF);
  const uint8_t high = static_cast<uint8_t>(bits >> 8);
  if (layout.encoding == SlotEncoding::TenthsLowFirst) {
    at[0] = low;
    at[1] = high;
  } else {
    at[0] = high;
    at[1] = low;
  }
}

double GetSlot(const PairLayout& layout, devlink::ReplyReader& in) {
  switch (layout.encoding) {
    case SlotEncoding::SingleLe:
      // Past the empty mark (tested first), a slot holding no number is no calibration point.
      return SingleToDecimal(in.FiniteFloat32Le());
    case SlotEncoding::TenthsLowFirst:
      return RoundTenth(in.Tenths16Le() - layout.offset);
    case SlotEncoding::TenthsHighFirst:
      return RoundTenth(in.Tenths16Be() - layout.offset);
  }
  return 0;
}

bool IsEmpty(const PairLayout& layout, const uint8_t* at) {
  return std::equal(at, at + layout.width, layout.empty.begin());
}

// Whether every value can be stored in the layout's slots.
bool Storable(const PairLayout& layout, const std::vector<CurvePair>& pairs) {
  if (layout.encoding == SlotEncoding::SingleLe) return true;
  return std::all_of(pairs.begin(), pairs.end(), [&](const CurvePair& p) {
    return OffsetTenths(p.environment, layout.offset) && OffsetTenths(p.raw, layout.offset);
  });
}

// The digital sensor (kind 7) keeps channel n's curve in the 16 holding registers from
// (n - 1 + 16) * 256: raw values in the first 8, environment values in the last 8. The buffer
// holds it as the write request lays it out: address, 0x10, register, count 16, 32 bytes, data.
constexpr uint8_t kModbusWriteMultiple = 0x10;
constexpr uint16_t kSensorCurveRegisters = 16;
constexpr size_t kSensorCurveReply = 37;   // address, 0x03, 32, 32 bytes, CRC
constexpr size_t kSensorWriteHeader = 7;   // address, 0x10, register, count, byte count
constexpr size_t kModbusWriteReply = 8;

uint16_t SensorCurveRegister(int channel) { return static_cast<uint16_t>((channel - 1 + 16) << 8); }

Result<Curve> ReadSensorCurve(Channel& channel, const CurveTarget& target, const PairLayout& layout,
                              CurveBuffer& buffer) {
  const uint16_t reg = SensorCurveRegister(target.channel);
  const auto reply = RunExchange(
      channel, devlink::BuildModbusRead(channel.DeviceAddress(), reg, kSensorCurveRegisters),
      ModbusRule(kSensorCurveReply), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  const size_t dataBytes = 2 * kSensorCurveRegisters;
  buffer.bytes.fill(0);
  const uint8_t header[kSensorWriteHeader] = {channel.DeviceAddress(), kModbusWriteMultiple,
                                              static_cast<uint8_t>(reg >> 8),
                                              static_cast<uint8_t>(reg & 0xFF), 0x00,
                                              static_cast<uint8_t>(kSensorCurveRegisters),
                                              static_cast<uint8_t>(dataBytes)};
  std::copy(std::begin(header), std::end(header), buffer.bytes.begin());
  std::copy_n(reply.value.begin() + 3, dataBytes, buffer.bytes.begin() + kSensorWriteHeader);
  buffer.length = kSensorWriteHeader + dataBytes + 2;
  return CurveOfBuffer(layout, buffer);
}

Outcome WriteSensorCurve(Channel& channel, const CurveBuffer& buffer) {
  Bytes request(buffer.bytes.begin(), buffer.bytes.begin() + static_cast<long>(buffer.length - 2));
  request[0] = channel.DeviceAddress();
  devlink::AppendCrc16(request);
  const auto reply = RunExchange(channel, request, ModbusRule(kModbusWriteReply), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

}  // namespace

Outcome NotSupported() { return Outcome::Refused(kKindNotSupported, kFieldKind); }

int ChannelCount(InstrumentKind kind) {
  switch (kind) {
    case InstrumentKind::Transmitter:
    case InstrumentKind::BluetoothLogger:
    case InstrumentKind::FridgeBox:
      return 2;
    case InstrumentKind::Logger:
      return 8;
    default:
      return 32;
  }
}

size_t PairLayout::FrameLength() const {
  return std::max(environmentAt, rawAt) + slotCount * width + 2;
}

std::optional<PairLayout> LayoutOf(InstrumentKind kind, bool humidity) {
  switch (kind) {
    case InstrumentKind::Transmitter:
      return PairLayout{8, 5, 21, 2, SlotEncoding::TenthsLowFirst, kKelvinOffset, kNoBytes};
    case InstrumentKind::Bit32:
    case InstrumentKind::Bit32Card:
      return PairLayout{8, 5, 21, 2, SlotEncoding::TenthsLowFirst, humidity ? 0.0 : kKelvinOffset,
                        kNoBytes};
    case InstrumentKind::WifiTransmitter:
      return PairLayout{8, 5, 37, 4, SlotEncoding::SingleLe, 0.0, kInfinity};
    case InstrumentKind::FridgeBox:
      return PairLayout{16, 5, 69, 4, SlotEncoding::SingleLe, 0.0, kFridgeEmpty};
    case InstrumentKind::BluetoothLogger:
      return PairLayout{16, 39, 7, 2, SlotEncoding::TenthsHighFirst, 0.0, kBluetoothEmpty};
    case InstrumentKind::DigitalSensor:
      return PairLayout{8, 23, 7, 2, SlotEncoding::TenthsLowFirst, kKelvinOffset, kNoBytes};
    case InstrumentKind::Logger:
      return std::nullopt;
  }
  return std::nullopt;
}

Result<std::vector<CurvePair>> DecodePairs(const PairLayout& layout, const CurveBuffer& buffer) {
  devlink::ReplyReader in(devlink::ByteView(buffer.bytes.data(), buffer.bytes.size()));
  std::vector<CurvePair> pairs;
  for (size_t j = 0; j < layout.slotCount && in.ok(); ++j) {
    const size_t environmentAt = layout.environmentAt + j * layout.width;
    const size_t rawAt = layout.rawAt + j * layout.width;
    const devlink::ByteView environment = in.Seek(environmentAt).Take(layout.width);
    const devlink::ByteView raw = in.Seek(rawAt).Take(layout.width);
    if (!in.ok() || (IsEmpty(layout, environment.data()) && IsEmpty(layout, raw.data()))) break;
    const double environmentValue = GetSlot(layout, in.Seek(environmentAt));
    const double rawValue = GetSlot(layout, in.Seek(rawAt));
    pairs.push_back({environmentValue, rawValue});
  }
  if (!in.ok()) return DecodeFailure(kReadFailed, in);
  return {"", std::move(pairs)};
}

Result<Curve> CurveOfBuffer(const PairLayout& layout, CurveBuffer& buffer) {
  auto pairs = DecodePairs(layout, buffer);
  if (!pairs.ok()) {
    buffer.length = 0;  // nothing that could be written back
    return pairs.outcome;
  }
  Curve curve{std::move(pairs.value), {}};
  if (curve.pairs.empty()) return {kNotCalibrated, curve};
  return {"", std::move(curve)};
}

void EncodePairs(const PairLayout& layout, const std::vector<CurvePair>& pairs,
                 CurveBuffer& buffer) {
  std::map<double, double> ordered;
  for (const CurvePair& pair : pairs) ordered.insert_or_assign(pair.environment, pair.raw);
  auto next = ordered.begin();
  for (size_t j = 0; j < layout.slotCount; ++j) {
    uint8_t* environment = buffer.bytes.data() + layout.environmentAt + j * layout.width;
    uint8_t* raw = buffer.bytes.data() + layout.rawAt + j * layout.width;
    if (next == ordered.end()) {
      std::copy_n(layout.empty.begin(), layout.width, environment);
      std::copy_n(layout.empty.begin(), layout.width, raw);
      continue;
    }
    PutSlot(layout, next->first, environment);
    PutSlot(layout, next->second, raw);
    ++next;
  }
}

std::optional<Outcome> ExtraPairsRefusal(const PairLayout& layout,
                                         const std::vector<CurvePair>& pairs) {
  std::set<double> environments;
  for (const CurvePair& pair : pairs) environments.insert(pair.environment);
  if (environments.size() <= layout.slotCount) return std::nullopt;
  return Outcome::Refused(kExtraRows, kFieldPairs);
}

std::variant<std::vector<CurvePair>, Outcome> PairsOfRows(
    const std::vector<std::pair<std::string, std::string>>& rows) {
  if (rows.empty()) return Outcome::Refused(kListInvalid, kFieldPairs);
  std::vector<CurvePair> pairs;
  for (const auto& [environment, raw] : rows) {
    const auto e = ParseWholeNumber(environment);
    const auto r = ParseWholeNumber(raw);
    if (!e || !r) return Outcome::Refused(kInvalidRows, kFieldPairs);
    pairs.push_back({*e, *r});
  }
  return pairs;
}

std::variant<std::vector<CurvePair>, Outcome> ParsePairs(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (std::string_view item : SplitList(TrimBlanks(text), ',')) {
    const size_t colon = item.find(':');
    if (colon == std::string_view::npos) return Outcome::Refused(kInvalidRows, kFieldPairs);
    rows.emplace_back(std::string(item.substr(0, colon)), std::string(item.substr(colon + 1)));
  }
  return PairsOfRows(rows);
}

Values Describe(const Curve& curve) {
  // "curve": the same as the write verb's --pairs takes it.
  std::string text;
  if (!curve.readings.empty()) {
    Values values{{"readings", int64_t(curve.readings.size())}};
    for (size_t i = 0; i < curve.readings.size(); ++i) {
      const auto reading = static_cast<int64_t>(std::llround(curve.readings[i]));
      values.emplace_back("reading-" + std::to_string(i + 1), reading);
      text += (i == 0 ? "" : ",") + std::to_string(reading);
    }
    values.emplace_back(kValueCurve, text);
    return values;
  }
  Values values{{"pairs", int64_t(curve.pairs.size())}};
  for (size_t i = 0; i < curve.pairs.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    values.emplace_back("environment-" + n, curve.pairs[i].environment);
    values.emplace_back("raw-" + n, curve.pairs[i].raw);
    text += (i == 0 ? "" : ",") + OptionText(curve.pairs[i].environment) + ":" +
            OptionText(curve.pairs[i].raw);
  }
  values.emplace_back(kValueCurve, text);
  return values;
}

Result<Curve> ReadCurve(Channel& channel, const CurveTarget& target, CurveBuffer& buffer) {
  if (target.kind == InstrumentKind::Logger) return ReadLoggerCurve(channel, target, buffer);
  if (target.kind == InstrumentKind::BluetoothLogger) {
    return ReadBluetoothCurve(channel, target, buffer);
  }
  const auto commands = SumCommandsOf(target.kind);
  const auto layout = LayoutOf(target.kind, target.humidity);
  const bool sensor = target.kind == InstrumentKind::DigitalSensor;
  if (!layout || !(commands || sensor)) return NotSupported();
  if (target.channel < 1 || target.channel > ChannelCount(target.kind)) {
    return Outcome::Refused(kReadFailed, kFieldChannel);
  }
  if (sensor) return ReadSensorCurve(channel, target, *layout, buffer);
  const auto reply = RunExchange(
      channel,
      devlink::BuildSumFrame(channel.DeviceAddress(), commands->read,
                             static_cast<uint8_t>(target.channel - 1)),
      SumRuleFromFrame(kSumOverhead, CurveBuffer::kSize).NoEcho(), kReadFailed);
  if (!reply.ok()) return reply.outcome;
  // A reply too short for the kind's slots would leave the write to fill bytes the frame does
  // not have.
  if (reply.value.size() < layout->FrameLength()) return Outcome::Failure(kReadFailed);
  buffer.bytes.fill(0);
  std::copy(reply.value.begin(), reply.value.end(), buffer.bytes.begin());
  buffer.length = reply.value.size();
  return CurveOfBuffer(*layout, buffer);
}

Outcome WriteCurve(Channel& channel, const CurveTarget& target,
                   const std::vector<CurvePair>& pairs, CurveBuffer& buffer) {
  if (target.kind == InstrumentKind::BluetoothLogger) {
    return WriteBluetoothCurve(channel, target, pairs, buffer);
  }
  if (target.kind == InstrumentKind::Logger) {  // "全调" with the pairs' environment values
    std::vector<double> values;
    for (const CurvePair& pair : pairs) values.push_back(pair.environment);
    return WriteLoggerReadings(channel, target, values, buffer);
  }
  const auto commands = SumCommandsOf(target.kind);
  const auto layout = LayoutOf(target.kind, target.humidity);
  const bool sensor = target.kind == InstrumentKind::DigitalSensor;
  if (!layout || !(commands || sensor)) return NotSupported();
  if (pairs.empty()) return Outcome::Refused(kListInvalid, kFieldPairs);
  if (!Storable(*layout, pairs)) return Outcome::Refused(kInvalidRows, kFieldPairs);
  if (auto refused = ExtraPairsRefusal(*layout, pairs)) return *refused;
  // The write goes back in the frame of the curve read: without one there is nothing to send.
  if (buffer.length < layout->FrameLength()) return Outcome::Failure(kWriteFailed);
  EncodePairs(*layout, pairs, buffer);
  if (sensor) return WriteSensorCurve(channel, buffer);
  const size_t length = buffer.length;
  buffer.bytes[0] = kSumStart;
  buffer.bytes[1] = channel.DeviceAddress();
  buffer.bytes[2] = commands->write;
  buffer.bytes[length - 2] = kSumEnd;
  buffer.bytes[length - 1] = devlink::Sum8(buffer.bytes.data(), static_cast<int32_t>(length - 1));
  const Bytes request(buffer.bytes.begin(), buffer.bytes.begin() + static_cast<long>(length));
  const auto reply =
      RunExchange(channel, request, SumRule(kAckReply).NoEcho().Ack(), kWriteFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

}  // namespace pages::curvecal
