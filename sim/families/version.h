#pragma once
// Hardware and software version texts reported by the version read ('%' command 0x0C, 0xAA).
#include <string>

namespace sim {

struct VersionState {
  // Four ASCII characters each, digit '.' digit digit; shorter texts are padded with '0'.
  std::string hardware = "1.02";
  std::string software = "2.15";
};

}  // namespace sim
