// Sensor curves of the multi-channel instruments, '%' commands to the device address (or 0), the
// channel index (channel - 1) as sub-command; the reply carries the same index in its status
// byte, which is where the program's write takes its sub-command from:
//   0x22 / 0x23  transmitter, 2 channels      32 bytes: 8 environment values, then 8 raw values
//                                             (tenths + 273.1, humidity of kind 1/4 without;
//                                             low byte first), empty slot 00 00
//   0x07 / 0x03  32-bit (kind 1, 4), 32 ch.   as the transmitter
//                WiFi transmitter (kind 3)    64 bytes: 8 + 8 singles, little-endian, empty
//                                             slot 00 00 80 7F
//   0x50 / 0x51  refrigerated box, 2 channels 128 bytes: 16 + 16 singles, empty slot 00 00 00 50
// A write must carry exactly the curve's size and is answered 0x55; otherwise 0x00 and nothing
// changes. A channel beyond the kind's count gets no answer.
//
// The digital sensor (Modbus, kind 7) keeps channel n's curve in the 16 holding registers from
// (n - 1 + 16) * 256, channels 1-32: a read (0x03) or write (0x10) of exactly those 16 registers
// is answered here; the sensor's other registers are its register map's.
//
// Live values, answered for the kind the instrument plays (ChannelCurvesState::kind):
//   kind 0        0x01 FF display / 0x21 FF raw   -> both channels' tenths, low byte first
//   kinds 1,3,4,6 0x01 / 0x21 / 0x30, channel index -> the display / raw / raw value as a
//                                                     single, little-endian
//   kind 7        0x03 of one register at k * 256  -> signed tenths, high byte first: the raw
//                 value of channel k - 15 for k = 16-47, else the display value of channel k
//                 (the two ranges share 16-32, where the raw value is answered)
#include "sim/families/channel_curves.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "sim/families/logger_curves.h"
#include "sim/framing.h"

namespace sim {

namespace {

struct CurveShape {
  uint8_t read;
  uint8_t write;
  uint8_t channels;
  size_t bytes;
  std::vector<uint8_t> emptySlot;
};

std::optional<CurveShape> ShapeFor(const ChannelCurvesState& s, uint8_t command) {
  const CurveShape transmitter{0x22, 0x23, 2, 32, {0x00, 0x00}};
  const CurveShape fridge{0x50, 0x51, 2, 128, {0x00, 0x00, 0x00, 0x50}};
  const CurveShape bit32{0x07, 0x03, 32, 32, {0x00, 0x00}};
  const CurveShape wifi{0x07, 0x03, 32, 64, {0x00, 0x00, 0x80, 0x7F}};
  for (const CurveShape& shape : {transmitter, fridge}) {
    if (command == shape.read || command == shape.write) return shape;
  }
  if (command != bit32.read && command != bit32.write) return std::nullopt;
  if (s.kind == 1 || s.kind == 4) return bit32;
  if (s.kind == 3) return wifi;
  return std::nullopt;
}

std::optional<Bytes> HandleChannelCurves(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  auto& s = device.State<ChannelCurvesState>();
  const std::optional<CurveShape> shape = ShapeFor(s, request.command);
  if (!shape || request.sub >= shape->channels) return std::nullopt;
  auto reply = [&](const Bytes& payload) {
    return SumReply(device.address, request.command, request.sub, payload);
  };
  const auto key = std::make_pair(shape->read, request.sub);
  if (request.command == shape->read) {
    if (!request.payload.empty()) return std::nullopt;
    const auto stored = s.curves.find(key);
    if (stored != s.curves.end()) return reply(stored->second);
    Bytes empty;
    while (empty.size() < shape->bytes) {
      empty.insert(empty.end(), shape->emptySlot.begin(), shape->emptySlot.end());
    }
    return reply(empty);
  }
  if (request.payload.size() != shape->bytes) return reply({kNak});
  s.curves[key] = request.payload;
  ++s.writes;
  return reply({kAck});
}

constexpr uint8_t kDisplayCommand = 0x01;
constexpr uint8_t kRawCommand = 0x21;
constexpr uint8_t kChannelRawCommand = 0x30;
constexpr uint8_t kAllChannels = 0xFF;
constexpr uint8_t kTransmitterChannels = 2;

uint16_t Tenths(double value) {
  return static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 10.0)));
}

// The live values of the SumFrame kinds. It hears requests before the one-sensor instrument,
// which also answers 0x01 FF, so that the transmitter's real-time request is the transmitter's.
std::optional<Bytes> HandleLiveValues(Instrument& device, const Bytes& frame) {
  const SumRequest request = ParseSum(frame);
  const auto& s = device.State<ChannelCurvesState>();
  const uint8_t command = request.command;
  if (!request.payload.empty() ||
      (command != kDisplayCommand && command != kRawCommand && command != kChannelRawCommand)) {
    return std::nullopt;
  }
  const bool display = command == kDisplayCommand;
  Bytes payload;
  if (s.kind == 0) {
    if (command == kChannelRawCommand || request.sub != kAllChannels) return std::nullopt;
    for (size_t i = 0; i < kTransmitterChannels; ++i) {
      const uint16_t tenths = Tenths(display ? s.display[i] : s.raw[i]);
      payload.push_back(static_cast<uint8_t>(tenths & 0xFF));
      payload.push_back(static_cast<uint8_t>(tenths >> 8));
    }
  } else if (s.kind == 1 || s.kind == 3 || s.kind == 4 || s.kind == 6) {
    const size_t channels = s.kind == 6 ? 2 : ChannelCurvesState::kChannels;
    if (request.sub >= channels) return std::nullopt;
    devlink::PutFloat32Le(
        payload, static_cast<float>(display ? s.display[request.sub] : s.raw[request.sub]));
  } else {
    return std::nullopt;
  }
  return SumReply(device.address, command, request.sub, payload);
}

// The digital sensor's live values: a read of one register at k * 256.
std::optional<Bytes> SensorLiveValue(Instrument& device, const Bytes& frame) {
  const auto& s = device.State<ChannelCurvesState>();
  const uint16_t start = devlink::ReplyReader(frame, 2).U16Be();
  if (s.kind != 7 || frame[1] != kReadHolding || devlink::ReplyReader(frame, 4).U16Be() != 1 || (start & 0xFF) != 0) {
    return std::nullopt;
  }
  const int page = start >> 8;
  const int channels = static_cast<int>(ChannelCurvesState::kChannels);
  double value = 0;
  if (page >= 16 && page < 16 + channels) {
    value = s.raw[static_cast<size_t>(page - 16)];
  } else if (page >= 1 && page <= channels) {
    value = s.display[static_cast<size_t>(page - 1)];
  } else {
    return std::nullopt;
  }
  if (frame[0] == kModbusBroadcast) return Bytes{};
  Bytes data{2};
  devlink::PutBe16(data, Tenths(value));
  return ModbusReply(device.address, kReadHolding, data);
}

constexpr uint16_t kSensorCurveCount = 16;
constexpr size_t kSensorCurveBytes = 32;

std::optional<Bytes> HandleSensorCurves(Instrument& device, const Bytes& frame) {
  if (frame.size() < 8 || (frame[1] != kReadHolding && frame[1] != kWriteMultiple)) {
    return std::nullopt;
  }
  if (auto live = SensorLiveValue(device, frame)) return live;
  const uint16_t start = devlink::ReplyReader(frame, 2).U16Be();
  const int index = (start >> 8) - 16;
  if ((start & 0xFF) != 0 || index < 0 || index >= 32 || devlink::ReplyReader(frame, 4).U16Be() != kSensorCurveCount) {
    return std::nullopt;
  }
  if (frame[0] == kModbusBroadcast && frame[1] == kReadHolding) return Bytes{};
  auto& curves = device.State<ChannelCurvesState>().sensorCurves;
  const auto channel = static_cast<uint8_t>(index);
  if (frame[1] == kReadHolding) {
    Bytes data(1 + kSensorCurveBytes, 0x00);  // byte count, then the registers
    data[0] = static_cast<uint8_t>(kSensorCurveBytes);
    const auto stored = curves.find(channel);
    if (stored != curves.end()) {
      std::copy_n(stored->second.begin(), std::min(stored->second.size(), kSensorCurveBytes),
                  data.begin() + 1);
    }
    return ModbusReply(device.address, kReadHolding, data);
  }
  if (frame.size() != 9 + kSensorCurveBytes || frame[6] != kSensorCurveBytes) {
    return ModbusException(device.address, kWriteMultiple, kIllegalValue);
  }
  curves[channel] = Bytes(frame.begin() + 7, frame.begin() + 7 + kSensorCurveBytes);
  device.State<ChannelCurvesState>().writes++;
  if (frame[0] == kModbusBroadcast) return Bytes{};
  return ModbusReply(device.address, kWriteMultiple, Bytes(frame.begin() + 2, frame.begin() + 6));
}

}  // namespace

ChannelCurvesState::ChannelCurvesState() {
  // Distinct values per channel, the raw value a little off the display value.
  for (size_t i = 0; i < kChannels; ++i) {
    display[i] = 20.0 + 0.5 * static_cast<double>(i);
    raw[i] = display[i] - 0.3;
  }
}

void RegisterChannelCurves(Simulator& simulator) {
  simulator.AddHandlerFirst(kSumFamily, HandleLiveValues);
  simulator.AddHandler(kSumFamily, HandleChannelCurves);
  simulator.AddHandler(kModbusFamily, HandleSensorCurves);
  RegisterLoggerCurves(simulator);  // kind 2, the logger: sim/families/logger_curves.cpp
}

}  // namespace sim
