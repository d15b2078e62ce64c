#pragma once
// Process-wide connection state. Created once at start-up, edited only by the main window's
// connection panel, read by every exchange. Passed by reference, never reached as a global.
#include <cstdint>
#include <string>

#include "link/serial_port.h"
#include "link/traffic.h"

namespace devlink {

// Index of the checked mode radio: "单机", "多机", "蓝牙".
enum class AddressingMode : int { Single = 0, Multi = 1, Bluetooth = 2 };

struct DeviceLink {
  AddressingMode mode = AddressingMode::Multi;
  int32_t address = 1;  // only the low byte goes on the wire; 0 in single-device and Bluetooth mode
  bool tcpMode = false;
  SerialPort serial;
  std::string portName = "COM1";
  std::string baudText = "9600";
  int32_t delayMs = 600;  // exchange delay, "超时(ms)"
  // "快速": a reply is taken the moment it is whole instead of after the whole delay.
  bool fast = false;
  std::string ip = "10.10.100.254";
  int32_t tcpPort = 10001;
  std::string macText;
  bool bluetoothConnected = false;
  // Told of every exchange when set (the traffic window, tool-cli --trace). Set once at start-up;
  // the observer outlives every exchange and is called from whichever thread runs one.
  TrafficObserver* traffic = nullptr;

  uint8_t WireAddress() const { return static_cast<uint8_t>(address & 0xFF); }
};

}  // namespace devlink
