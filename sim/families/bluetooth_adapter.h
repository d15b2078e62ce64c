#pragma once
// The Bluetooth adapter on the serial port: Modbus-style frames to adapter address 0x01 that
// connect it to a logger by MAC, drop the connection, report the connected MAC and its own MAC.
#include <array>
#include <cstdint>

namespace sim {

inline constexpr char kBluetoothAdapterFamily[] = "bluetooth-adapter";

struct BluetoothAdapterState {
  using Mac = std::array<uint8_t, 6>;  // in the order the MAC is written
  Mac own = {0x98, 0xD3, 0x31, 0xF5, 0x2C, 0x07};
  Mac connected = {};                  // all zero: no connection
  int connects = 0;                    // connect requests carried out
  int disconnects = 0;                 // disconnect requests that dropped a connection
};

}  // namespace sim
