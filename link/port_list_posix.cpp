// The port list on Linux, built from the tty class in sysfs.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/serial_port.h"

namespace devlink {

namespace {

namespace fs = std::filesystem;

bool AllDigits(const std::string& text, size_t from) {
  return from < text.size() &&
         std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool IsLegacySlot(const std::string& name) {
  return name.compare(0, 4, "ttyS") == 0 && AllDigits(name, 4);
}

bool IsVirtualConsole(const std::string& name) {
  if (name == "console" || name == "tty" || name == "ptmx") return true;
  // tty0, tty1, ... are the virtual consoles.
  return name.compare(0, 3, "tty") == 0 && AllDigits(name, 3);
}

// Whether a legacy 8250 slot has a port behind it.
bool LegacyPortPresent(const fs::path& entry) {
  std::ifstream typeFile(entry / "type");
  int type = -1;
  if (typeFile >> type) return type != 0;
  std::error_code ec;
  const fs::path target = fs::read_symlink(entry / "device", ec);
  return ec || target.filename() != "serial8250";
}

}  // namespace

std::vector<PortEntry> ListPorts(const std::string& sysfsRoot) {
  std::vector<PortEntry> ports;
  std::error_code ec;
  for (fs::directory_iterator it(sysfsRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::directory_entry& item = *it;
    const std::string name = item.path().filename().string();
    unsigned number = 0;
    if (IsVirtualConsole(name) || !PortNameNumber(name, number)) continue;
    std::error_code linkError;
    if (!fs::exists(fs::symlink_status(item.path() / "device", linkError))) continue;
    if (IsLegacySlot(name) && !LegacyPortPresent(item.path())) continue;
    ports.push_back({name, "/dev/" + name, number});
  }
  SortPortEntries(ports);
  return ports;
}

}  // namespace devlink
