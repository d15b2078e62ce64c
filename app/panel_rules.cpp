#include "app/panel_rules.h"

#include <cstdio>

namespace app {
namespace {

// Digits only, at most `maxDigits` of them (leading zeros not counted). Returns -1 otherwise.
long ParseDigits(std::string_view text, size_t maxDigits) {
  if (text.empty()) return -1;
  long value = 0;
  size_t significant = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    if (value != 0 || c != '0') ++significant;
    if (significant > maxDigits) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<int32_t> AddressFromField(std::string_view text, devlink::AddressingMode mode) {
  int32_t number = 0;
  if (!text.empty()) {
    long value = ParseDigits(text, 3);
    if (value < 1 || value > 255) return std::nullopt;
    number = static_cast<int32_t>(value);
  }
  return mode == devlink::AddressingMode::Multi ? number : 0;
}

IpSettings ReadIpSettings(std::string_view ipText, std::string_view portText) {
  IpSettings settings;
  int parts[4] = {0, 0, 0, 0};
  size_t part = 0;
  std::string_view rest = ipText;
  while (part < 4) {
    size_t dot = rest.find('.');
    std::string_view field = rest.substr(0, dot);
    long value = ParseDigits(field, 3);
    parts[part] = (value >= 0 && value <= 255) ? static_cast<int>(value) : 0;
    ++part;
    if (dot == std::string_view::npos) break;
    rest = rest.substr(dot + 1);
  }
  char ip[16];
  std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  settings.ip = ip;

  long port = ParseDigits(portText, 5);
  settings.port = (port >= 0 && port <= 65535) ? static_cast<int32_t>(port) : 0;
  settings.warn = settings.ip == "0.0.0.0" || settings.port == 0;
  return settings;
}

std::string AsctimeText(const std::tm& time) {
  static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int weekday = (time.tm_wday % 7 + 7) % 7;
  const int month = (time.tm_mon % 12 + 12) % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %.2d:%.2d:%.2d %d\n", kWeekdays[weekday],
                kMonths[month], time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec,
                time.tm_year + 1900);
  return text;
}

std::string ClockFieldText(const std::tm& time) {
  std::string text = AsctimeText(time);
  text.erase(0, text.find(' ') + 1);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string PortPathFor(std::string_view text, const std::vector<devlink::PortEntry>& entries) {
  for (const auto& entry : entries) {
    if (entry.name == text) return entry.path;
  }
  if (text.find('/') != std::string_view::npos) return std::string(text);
  return "/dev/" + std::string(text);
}

}  // namespace app
