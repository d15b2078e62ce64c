// The port list on Windows: the COM ports registered under HARDWARE\DEVICEMAP\SERIALCOMM, one
// value per port whose data is the port's name ("COM3").
#include <windows.h>

#include "link/serial_port.h"
#include "link/win32_text.h"

namespace devlink {

// The argument names the sysfs folder of the Linux list and has no meaning here.
std::vector<PortEntry> ListPorts(const std::string&) {
  std::vector<PortEntry> ports;
  HKEY key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[256];
    DWORD nameLength = 256;
    wchar_t data[256];
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    const LONG rc = ::RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    std::wstring port(data, dataSize / sizeof(wchar_t));
    while (!port.empty() && port.back() == L'\0') port.pop_back();
    const std::string name = win32::Utf8(port);
    unsigned number = 0;
    if (name.empty() || !PortNameNumber(name, number)) continue;
    ports.push_back({name, name, number});
  }
  ::RegCloseKey(key);
  SortPortEntries(ports);
  return ports;
}

}  // namespace devlink
