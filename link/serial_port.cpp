// The parts of the serial channel that are the same on every platform.
#include "link/serial_port.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace devlink {

bool PortNameNumber(const std::string& name, unsigned& number) {
  size_t start = name.size();
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
  if (start == name.size() || name.size() - start > 9) return false;
  number = static_cast<unsigned>(std::stoul(name.substr(start)));
  return true;
}

// Enumeration order is arbitrary: order by name first so equal numbers come out the same way
// every time, then by number, keeping equal numbers in that order.
void SortPortEntries(std::vector<PortEntry>& ports) {
  std::sort(ports.begin(), ports.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.name < b.name; });
  std::stable_sort(ports.begin(), ports.end(),
                   [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
}

namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

// Decimal digits only; "9600 " or "96OO" is not a rate.
bool SerialPort::ParseBaud(const std::string& text, unsigned& baud) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, baud);
  return ec == std::errc() && ptr == end && baud > 0;
}

SerialPort::~SerialPort() { ClosePort(); }

bool SerialPort::ConfigurePort(const std::string& baudText, std::string* error) {
  auto lock = Transaction();
  if (fd_ < 0) {
    SetError(error, "no port is open");
    return false;
  }
  unsigned baud = 0;
  if (!ParseBaud(baudText, baud)) {
    SetError(error, "\"" + baudText + "\" is not a baud rate");
    return false;
  }
  return ApplyLineSettings(baud, error);
}

bool SerialPort::ReopenPort(const std::string& baudText, std::string* errorText) {
  auto lock = Transaction();
  const std::string path = path_;
  ClosePort();
  if (path.empty() || !OpenPort(path)) {
    if (errorText) *errorText = "端口已打开";
    return false;
  }
  if (!ConfigurePort(baudText, errorText)) {
    ClosePort();
    return false;
  }
  return true;
}

bool SerialPort::Vanished() const {
  auto lock = Transaction();
  return vanished_;
}

std::string SerialPort::VanishedWhy() const {
  auto lock = Transaction();
  return vanishedWhy_;
}

void SerialPort::SetVanishedHandler(std::function<void(const std::string& path)> handler) {
  auto lock = Transaction();
  vanishedHandler_ = std::move(handler);
}

bool SerialPort::IsOpen() const {
  auto lock = Transaction();
  return fd_ >= 0;
}

std::string SerialPort::Path() const {
  auto lock = Transaction();
  return path_;
}

void SerialPort::ClosePort() {
  auto lock = Transaction();
  if (fd_ >= 0) {
    ReleasePort(fd_);
    fd_ = -1;
  }
}

void SerialPort::MarkVanished(const std::string& why) {
  if (fd_ < 0) return;
  ReleasePort(fd_);
  fd_ = -1;
  vanished_ = true;
  vanishedWhy_ = why;
  if (vanishedHandler_) vanishedHandler_(path_);
}

}  // namespace devlink
