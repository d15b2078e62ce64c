#pragma once
// A multi-channel Bluetooth logger behind the simulated Bluetooth adapter. It hears the serial
// line only while the adapter holds its MAC; then it answers Modbus RTU at address 0x01 from its
// registers and clears its history on function 0x13 with its clearing code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/families/bluetooth_adapter.h"

namespace sim {

inline constexpr char kBluetoothLoggerFamily[] = "bluetooth-logger";

struct BluetoothLoggerState {
  using Mac = BluetoothAdapterState::Mac;
  static constexpr std::size_t kChannels = 8;  // the most channels it takes

  Mac mac = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
  // Registers 0x0000-0x001F: serial number, date code (year × 16 + month), then its own bytes.
  std::array<uint8_t, 64> sn{};
  // Registers 0x0100-0x011B: byte 44 the most channels, byte 45 the channels configured.
  std::array<uint8_t, 56> header{};
  // Registers 0x1000 + 128 k, one per channel it takes: byte 1 the type (1 temperature,
  // 2 humidity).
  std::vector<std::array<uint8_t, 32>> records;
  // Registers 0x01E0-0x01E3, packed BCD: minute, second, weekday, hour, month, day, century, year.
  std::array<uint8_t, 8> clock = {0x09, 0x22, 0x01, 0x01, 0x12, 0x07, 0x20, 0x26};
  // Sensor curves, registers (n + 63) × 128 for channel n = 1, 2 (32 registers each): 16 raw
  // values, then 16 environment values, tenths high byte first; an unused slot holds 80 00.
  static constexpr std::size_t kCurveChannels = 2;
  std::array<std::array<uint8_t, 64>, kCurveChannels> curves{};
  // Live values in tenths, by channel index: input registers read with 0x04 from register 1
  // (display values) or 0 (raw values), channel n's value the n-th register of the reply.
  std::array<int16_t, kCurveChannels> display = {215, 553};
  std::array<int16_t, kCurveChannels> raw = {-12, 548};
  int historyRecords = 1200;
  int clears = 0;  // clearing requests carried out

  BluetoothLoggerState();
};

}  // namespace sim
