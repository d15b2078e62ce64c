// The Bluetooth logger's curve exchanges. The logger answers Modbus RTU at address 1 behind the
// adapter; channel n's curve is the 32 holding registers from (n + 63) * 128:
//   data bytes  0-31  16 raw values        tenths, high byte first
//   data bytes 32-63  16 environment values
// An unused slot holds 80 00. The CurveBuffer keeps the curve laid out as the write request
// (01 10, register, 00 20, 40, the 64 data bytes, CRC), so the raw value of slot j sits at
// 7 + 2j and its environment value at 39 + 2j.
#include <algorithm>
#include <cmath>

#include "calibration/curves/curvecal_kinds.h"
#include "link/frames.h"
#include "pages/kit/exchange_step.h"

namespace pages::curvecal {

namespace {

constexpr uint8_t kLoggerAddress = 0x01;
constexpr uint16_t kCurveRegisters = 32;
constexpr size_t kCurveDataBytes = 2 * kCurveRegisters;
constexpr size_t kReadReplyLength = 3 + kCurveDataBytes + 2;  // 69
constexpr size_t kWriteHeader = 7;                            // 01 10 reg(2) count(2) bytes
constexpr size_t kWriteReplyLength = 8;
// A raw value whose high byte is this marks an unused slot.
constexpr uint8_t kUnusedMark = 0x80;

constexpr const char* kCurveReadFailed = "读取曲线失败";
constexpr const char* kCurveReadCheckFailed = "读曲线校验位对比失败";
constexpr const char* kWriteCheckFailed = "数据设置校验位对比失败";

uint16_t CurveRegister(int channel) { return static_cast<uint16_t>((channel + 63) * 128); }

bool ChannelInRange(const CurveTarget& target) {
  return target.channel >= 1 && target.channel <= ChannelCount(InstrumentKind::BluetoothLogger);
}

PairLayout BluetoothLayout() {
  return LayoutOf(InstrumentKind::BluetoothLogger, false).value_or(PairLayout{});
}

// Puts the write request's header for the target's curve in front of the buffer.
void PutWriteHeader(const CurveTarget& target, CurveBuffer& buffer) {
  const uint16_t reg = CurveRegister(target.channel);
  const uint8_t header[kWriteHeader] = {kLoggerAddress,
                                        devlink::kModbusWriteMultiple,
                                        static_cast<uint8_t>(reg >> 8),
                                        static_cast<uint8_t>(reg & 0xFF),
                                        0x00,
                                        static_cast<uint8_t>(kCurveRegisters),
                                        static_cast<uint8_t>(kCurveDataBytes)};
  std::copy(std::begin(header), std::end(header), buffer.bytes.begin());
  buffer.length = kWriteHeader + kCurveDataBytes + 2;
}

// The pairs of every used slot; unlike the other kinds, an unused slot does not end the curve.
Result<std::vector<CurvePair>> UsedSlots(const CurveBuffer& buffer) {
  const PairLayout layout = BluetoothLayout();
  std::vector<CurvePair> pairs;
  for (size_t j = 0; j < layout.slotCount; ++j) {
    PairLayout slot = layout;  // slot j alone
    slot.slotCount = 1;
    slot.rawAt += j * layout.width;
    slot.environmentAt += j * layout.width;
    if (buffer.bytes[slot.rawAt] == kUnusedMark) continue;
    const auto decoded = DecodePairs(slot, buffer);
    if (!decoded.ok()) return decoded.outcome;
    pairs.insert(pairs.end(), decoded.value.begin(), decoded.value.end());
  }
  return {"", std::move(pairs)};
}

// Tenths of a value as stored (truncated toward zero) when they fit 16 bits. A raw value whose
// tenths have the high byte 0x80 (-32768 to -32513) would read back as an unused slot.
bool Storable(const CurvePair& pair) {
  const double environment = std::trunc(pair.environment * 10.0);
  const double raw = std::trunc(pair.raw * 10.0);
  return environment >= -32768.0 && environment <= 32767.0 && raw >= -32512.0 && raw <= 32767.0;
}

}  // namespace

Result<Curve> ReadBluetoothCurve(devlink::Channel& channel, const CurveTarget& target,
                                 CurveBuffer& buffer) {
  if (!ChannelInRange(target)) return Outcome::Refused(kReadFailed, kFieldChannel);
  const auto reply = RunExchange(
      channel, devlink::BuildModbusRead(kLoggerAddress, CurveRegister(target.channel), kCurveRegisters),
      ModbusRule(kReadReplyLength).NoByteCount(), kCurveReadFailed, kCurveReadCheckFailed);
  if (!reply.ok()) return reply.outcome;
  buffer.bytes.fill(0);
  PutWriteHeader(target, buffer);
  std::copy_n(reply.value.begin() + 3, kCurveDataBytes, buffer.bytes.begin() + kWriteHeader);
  auto used = UsedSlots(buffer);
  if (!used.ok()) return used.outcome;
  Curve curve{std::move(used.value), {}};
  if (curve.pairs.empty()) return {kNotCalibrated, curve};
  return {"", std::move(curve)};
}

Outcome WriteBluetoothCurve(devlink::Channel& channel, const CurveTarget& target,
                            const std::vector<CurvePair>& pairs, CurveBuffer& buffer) {
  if (!ChannelInRange(target)) return Outcome::Refused(kWriteFailed, kFieldChannel);
  if (pairs.empty()) return Outcome::Refused(kListInvalid, kFieldPairs);
  if (!std::all_of(pairs.begin(), pairs.end(), Storable)) {
    return Outcome::Refused(kInvalidRows, kFieldPairs);
  }
  if (auto refused = ExtraPairsRefusal(BluetoothLayout(), pairs)) return *refused;
  // The request is the whole curve, so it is made afresh for the target's channel.
  PutWriteHeader(target, buffer);
  EncodePairs(BluetoothLayout(), pairs, buffer);
  devlink::Bytes request(buffer.bytes.begin(),
                         buffer.bytes.begin() + static_cast<long>(buffer.length - 2));
  devlink::AppendCrc16(request);
  const auto reply = RunExchange(channel, request, ModbusRule(kWriteReplyLength), kWriteFailed,
                                 kWriteCheckFailed);
  if (!reply.ok()) return reply.outcome;
  return Outcome::Success(kWriteOk);
}

}  // namespace pages::curvecal
