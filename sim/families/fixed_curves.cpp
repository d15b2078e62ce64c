// Fixed calibration tables of a one-sensor instrument. '%' commands to the device address (or 0),
// values signed tenths low byte first:
//   0x07 01 / 0x07 02           table read          -> 40 bytes: the values, then zeros
//   0x03 01 / 0x03 02 [40]      table write         -> 0x55
//   0x01 FF                     real-time values    -> [temperature, humidity]
//   0x0B 55                     zero-point read     -> [temperature, humidity]
//   0x0B AA [4]                 zero-point write    -> 0x55
// Writes of the wrong size are refused with 0x00 and change nothing.
#include "sim/families/fixed_curves.h"

#include "sim/families/channel_curves.h"

#include <span>

#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kReadTable = 0x07;
constexpr uint8_t kWriteTable = 0x03;
constexpr uint8_t kRealTime = 0x01;
constexpr uint8_t kZeroPoint = 0x0B;
constexpr uint8_t kTemperatureTable = 0x01;
constexpr uint8_t kHumidityTable = 0x02;
constexpr uint8_t kRealTimeSub = 0xFF;
constexpr uint8_t kZeroRead = 0x55;
constexpr uint8_t kZeroWrite = 0xAA;
constexpr size_t kTableBytes = 40;

// Signed 16-bit values, low byte first.
void PutSigned(Bytes& bytes, int16_t value) { devlink::PutLe16(bytes, static_cast<uint16_t>(value)); }
int16_t ReadSigned(devlink::ReplyReader& in) { return static_cast<int16_t>(in.U16Le()); }

std::span<int16_t> Table(FixedCurvesState& s, uint8_t sub) {
  if (sub == kTemperatureTable) return s.temperature;
  if (sub == kHumidityTable) return s.humidity;
  return {};
}

std::optional<Bytes> HandleFixedCurves(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  auto& s = device.State<FixedCurvesState>();
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  const Bytes& p = request.payload;
  // A multi-channel instrument answers 0x07 / 0x03 with its channel curves instead.
  const bool tables = device.State<ChannelCurvesState>().kind < 0;
  switch (request.command) {
    case kReadTable: {
      const std::span<int16_t> table = Table(s, request.sub);
      if (!tables || table.empty() || !p.empty()) return std::nullopt;
      Bytes out;
      for (int16_t value : table) PutSigned(out, value);
      out.resize(kTableBytes, 0x00);
      return reply(out);
    }
    case kWriteTable: {
      const std::span<int16_t> table = Table(s, request.sub);
      if (!tables || table.empty()) return std::nullopt;
      if (p.size() != kTableBytes) return reply({kNak});
      devlink::ReplyReader in(p);
      for (int16_t& value : table) value = ReadSigned(in);
      s.paddingNonZero = false;
      for (size_t i = 2 * table.size(); i < kTableBytes; ++i) s.paddingNonZero |= p[i] != 0;
      return reply({kAck});
    }
    case kRealTime: {
      if (request.sub != kRealTimeSub || !p.empty()) return std::nullopt;
      Bytes out;
      PutSigned(out, s.temperatureNow);
      PutSigned(out, s.humidityNow);
      return reply(out);
    }
    case kZeroPoint: {
      if (request.sub == kZeroRead && p.empty()) {
        Bytes out;
        PutSigned(out, s.temperatureZero);
        PutSigned(out, s.humidityZero);
        return reply(out);
      }
      if (request.sub != kZeroWrite) return std::nullopt;
      if (p.size() != 4) return reply({kNak});
      devlink::ReplyReader in(p);
      s.temperatureZero = ReadSigned(in);
      s.humidityZero = ReadSigned(in);
      return reply({kAck});
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

void RegisterFixedCurves(Simulator& simulator) {
  simulator.AddHandler(kSumFamily, HandleFixedCurves);
}

}  // namespace sim
