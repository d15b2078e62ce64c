// The Windows side of the serial channel: open failures from system error codes, a port that is
// not there, and the port list from the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/port_open_failure.h"
#include "link/serial_port.h"

namespace devlink {
namespace {

TEST(PortOpenFailureWin32Test, SystemErrorCodesNameTheCause) {
  const struct {
    DWORD code;
    PortOpenProblem problem;
    const char* text;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, PortOpenProblem::Missing, "端口已打开（COM7 不存在，请检查设备是否已连接）"},
      {ERROR_PATH_NOT_FOUND, PortOpenProblem::Missing, "端口已打开（COM7 不存在，请检查设备是否已连接）"},
      // Ports are opened without sharing: "access denied" is another program holding it.
      {ERROR_ACCESS_DENIED, PortOpenProblem::InUse, "端口已打开（COM7 正被其他程序占用，请先关闭该程序）"},
      {ERROR_SHARING_VIOLATION, PortOpenProblem::InUse, "端口已打开（COM7 正被其他程序占用，请先关闭该程序）"},
      {ERROR_INVALID_FUNCTION, PortOpenProblem::NotSerial, "端口已打开（COM7 不是串口设备）"},
  };
  for (const auto& c : cases) {
    const PortOpenFailure failure = ExplainPortOpenError("COM7", static_cast<int>(c.code));
    EXPECT_EQ(failure.problem, c.problem) << c.code;
    EXPECT_EQ(PortOpenFailureText(failure), c.text) << c.code;
  }
  // Any other code keeps the system's words, not a C library text for an unrelated errno.
  const PortOpenFailure other = ExplainPortOpenError("COM7", ERROR_GEN_FAILURE);
  EXPECT_EQ(other.problem, PortOpenProblem::Other);
  EXPECT_FALSE(other.errorText.empty());
  EXPECT_EQ(PortOpenFailureText(other).rfind("端口已打开（无法打开 COM7：", 0), 0u)
      << PortOpenFailureText(other);
}

TEST(SerialPortWin32Test, APortThatIsNotThereFailsAsMissing) {
  SerialPort port;
  std::string error;
  PortOpenFailure failure;
  EXPECT_FALSE(port.OpenPort("COM199", &error, &failure));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(failure.problem, PortOpenProblem::Missing) << error;
  EXPECT_EQ(failure.path, "COM199");
  // Nothing open: the settings are refused, reads and writes do nothing.
  EXPECT_FALSE(port.ConfigurePort("9600", &error));
  uint8_t buffer[4];
  EXPECT_EQ(port.SerialRead(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(port.WaitReadable(10));
}

// Registered ports come out by number (COM2 before COM10), whatever the registry's order.
TEST(PortListWin32Test, RegisteredPortsInNumberOrder) {
  HKEY key;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "the serial port map cannot be written here";
  }
  const struct {
    const wchar_t* device;
    const wchar_t* port;
  } added[] = {{L"\\Device\\ToolTestA", L"COM110"}, {L"\\Device\\ToolTestB", L"COM12"}};
  for (const auto& a : added) {
    ::RegSetValueExW(key, a.device, 0, REG_SZ, reinterpret_cast<const BYTE*>(a.port),
                     static_cast<DWORD>((wcslen(a.port) + 1) * sizeof(wchar_t)));
  }
  const std::vector<PortEntry> ports = ListPorts();
  for (const auto& a : added) ::RegDeleteValueW(key, a.device);
  ::RegCloseKey(key);

  std::vector<std::string> names;
  for (const PortEntry& p : ports) names.push_back(p.name);
  const auto at = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  ASSERT_LT(at("COM12"), static_cast<std::ptrdiff_t>(names.size()));
  ASSERT_LT(at("COM110"), static_cast<std::ptrdiff_t>(names.size()));
  EXPECT_LT(at("COM12"), at("COM110"));
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                             [](const PortEntry& a, const PortEntry& b) {
                               return a.number < b.number;
                             }));
  EXPECT_EQ(ports[static_cast<size_t>(at("COM12"))].path, "COM12");
}

}  // namespace
}  // namespace devlink
