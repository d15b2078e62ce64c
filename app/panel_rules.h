#pragma once
// Rules of the main window's connection panel that need no widgets: the address field, the IP
// settings, the clock text, the port path.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/device_link.h"
#include "link/serial_port.h"
#include "pages/kit/messages.h"

namespace app {

inline constexpr const char* kAddressRangeError = "地址号不能小于1且不能大于255";
inline constexpr const char* kAddressErrorCaption = "出错";
inline constexpr const char* kIpEmptyWarning = "IP地址或端口号不能为空";
using pages::kPromptCaption;

// Reads the address field text. An empty text or a number 1..255 is accepted; the device
// address is then that number (0 for an empty text) in multi-device mode and 0 in the other
// modes, so single-device and Bluetooth frames always carry address 0. std::nullopt: the text is
// refused (the window shows kAddressRangeError and resets the field to "1").
std::optional<int32_t> AddressFromField(std::string_view text, devlink::AddressingMode mode);

struct IpSettings {
  std::string ip;      // dotted-decimal, four numbers
  int32_t port = 0;
  bool warn = false;   // "0.0.0.0" or port 0: the window shows kIpEmptyWarning
};

// Reads the IP field and the port field for "OK". Empty parts of the address count as 0 (as in an
// IP-address control); a port that is not a number is 0, one above 65535 is no port either and
// also gives 0. The values are taken even when `warn` is set.
IpSettings ReadIpSettings(std::string_view ipText, std::string_view portText);

// The clock text of the C library's asctime: "Mon Dec  7 01:09:22 2026\n", always with English
// names whatever the locale.
std::string AsctimeText(const std::tm& time);
// What the clock field shows: the asctime text without the weekday and its blank, and without the
// trailing line feed: "Dec  7 01:09:22 2026".
std::string ClockFieldText(const std::tm& time);

// The device path for the port list text: the path of the listed entry of that name, the text
// itself when it is a path, else the text under /dev.
std::string PortPathFor(std::string_view text, const std::vector<devlink::PortEntry>& entries);

}  // namespace app
