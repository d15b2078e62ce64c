// Bluetooth adapter (address 0x01, CRC-16/MODBUS low byte first):
//   connect     01 18 00 00 00 03 06 MAC(6, last byte first) CRC -> 01 18 00 00 00 03 CRC
//   disconnect  01 18 00 01 00 03 06 MAC(6, last byte first) CRC -> 01 18 00 01 00 03 CRC
//   connection  01 19 00 00 00 03 CRC -> 01 19 06 MAC(6, last byte first) CRC (zeros: none)
//   own MAC     01 22 00 00 00 03 CRC -> 01 22 06 MAC(6, last byte first) CRC
#include "sim/families/bluetooth_adapter.h"

#include <algorithm>

#include "link/checks.h"
#include "sim/framing.h"

namespace sim {

namespace {

constexpr uint8_t kAdapterAddress = 0x01;
constexpr uint8_t kMacCommand = 0x18;
constexpr uint8_t kConnectionQuery = 0x19;
constexpr uint8_t kOwnMacQuery = 0x22;
constexpr size_t kMacRequestLength = 15;
constexpr size_t kQueryRequestLength = 8;
constexpr size_t kMacLength = 6;

using Mac = BluetoothAdapterState::Mac;

std::optional<size_t> MeasureAdapter(const Bytes& buffer) {
  if (buffer.empty() || buffer[0] != kAdapterAddress) return std::nullopt;
  if (buffer.size() < 2) return 0;
  switch (buffer[1]) {
    case kMacCommand: return kMacRequestLength;
    case kConnectionQuery:
    case kOwnMacQuery: return kQueryRequestLength;
    default: return std::nullopt;
  }
}

bool AdapterIntact(const Bytes& frame) {
  if (frame.size() < 4) return false;
  const uint16_t crc = devlink::Crc16Modbus(frame.data(), static_cast<uint32_t>(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame.back() == (crc >> 8);
}

Bytes Sealed(Bytes frame) {
  frame.push_back(0);
  frame.push_back(0);
  SealModbus(frame);
  return frame;
}

Bytes MacReply(uint8_t function, const Mac& mac) {
  Bytes frame{kAdapterAddress, function, static_cast<uint8_t>(kMacLength)};
  frame.insert(frame.end(), mac.rbegin(), mac.rend());
  return Sealed(std::move(frame));
}

std::optional<Bytes> HandleMacCommand(Instrument& device, const Bytes& request) {
  // 01 18 00 sel 00 03 06 ...: sel 0 connects, 1 disconnects.
  if (request[1] != kMacCommand || request[2] != 0x00 || request[4] != 0x00 ||
      request[5] != 0x03 || request[6] != kMacLength || request[3] > 0x01) {
    return std::nullopt;
  }
  Mac mac{};
  for (size_t i = 0; i < kMacLength; ++i) mac[i] = request[12 - i];
  auto& state = device.State<BluetoothAdapterState>();
  if (request[3] == 0x00) {
    state.connected = mac;
    ++state.connects;
  } else if (state.connected == mac) {
    state.connected = Mac{};
    ++state.disconnects;
  }
  return Sealed(Bytes(request.begin(), request.begin() + 6));
}

std::optional<Bytes> HandleQuery(Instrument& device, const Bytes& request) {
  if (request[2] != 0x00 || request[3] != 0x00 || request[4] != 0x00 || request[5] != 0x03) {
    return std::nullopt;
  }
  const auto& state = device.State<BluetoothAdapterState>();
  if (request[1] == kConnectionQuery) return MacReply(kConnectionQuery, state.connected);
  if (request[1] == kOwnMacQuery) return MacReply(kOwnMacQuery, state.own);
  return std::nullopt;
}

std::optional<Bytes> HandleAdapter(Instrument& device, const Bytes& request) {
  if (request.size() == kMacRequestLength) return HandleMacCommand(device, request);
  return HandleQuery(device, request);
}

}  // namespace

void RegisterBluetoothAdapter(Simulator& simulator) {
  Framing framing;
  framing.measure = MeasureAdapter;
  framing.intact = AdapterIntact;
  framing.seal = SealModbus;
  framing.echoOffset = 1;
  simulator.AddFamily(kBluetoothAdapterFamily, framing);
  simulator.AddHandler(kBluetoothAdapterFamily, HandleAdapter);
}

}  // namespace sim
