#pragma once
// A WiFi module's network settings as the module keeps them.
#include <array>
#include <cstdint>
#include <set>
#include <string>

namespace sim {

struct WifiModuleState {
  std::string ssid = "TH-WIFI";       // bytes as received (UTF-8 from the program)
  uint8_t security = 6;               // index of the security list, 0..6
  std::string password = "12345678";  // bytes as received
  bool dhcp = false;
  std::array<uint8_t, 4> ip{10, 10, 100, 254};
  std::array<uint8_t, 4> mask{255, 255, 255, 0};
  std::array<uint8_t, 4> gateway{10, 10, 100, 1};
  std::array<uint8_t, 4> dns{10, 10, 100, 1};
  std::string mac = "AC:CF:23:5A:0B:17";  // 17 characters
  // Module control received: leave configuration mode, reset, factory settings.
  int exits = 0;
  int resets = 0;
  int factoryResets = 0;
  // Misbehaviour on demand: command bytes the module does not answer.
  std::set<uint8_t> unanswered;
};

}  // namespace sim
