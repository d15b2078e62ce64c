#pragma once
// Commands of the "WIFI配置" page: the network settings of an instrument's WiFi module. Every
// item is one SumFrame exchange to address 0x01; the command byte names the item, the
// sub-command is 0x55 for a read and 0xAA for a write. Replies start with '<'; bytes 1-3 of a
// reply are not examined.
//
//   item                 cmd   read request   read reply payload          write payload
//   SSID                 0x20  -              UTF-8 text (N bytes)        UTF-8 text
//   security, password   0x21  -              index, password bytes       index, password bytes
//   IP, mask, gateway    0x22  -              12 bytes (reply 19 in all)  the same 12 bytes
//   DNS                  0x23  -              00 00 dns(4) (13 in all)    00 00 dns(4)
//   module control       0x25  (write only)                               code 1 exit, 2 reset,
//                                                                         3 factory settings
//   DHCP                 0x26  00             1 on / 0 off (8 in all)     1 on / 0 off
//   MAC                  0x27  00             17 characters (24 in all)   see WriteMac
//
// A write is acknowledged by 8 bytes: '<', three bytes not examined, a length byte not
// examined, 0x55, 'f', Sum8.
//
// "读取" and "设置" each run a fixed chain of these exchanges and stop at the first failure,
// which reports its own step's message.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/messages.h"

namespace pages::wifi {

inline constexpr const char* kReadOk = "读取成功！";
inline constexpr const char* kSetOk = "设置成功！";
inline constexpr const char* kControlOk = "操作成功！";
inline constexpr const char* kControlFailed = "操作失败！";
// The module control buttons say it with an exclamation mark.
inline constexpr const char* kControlPortFailed = "串口打开失败！";

inline constexpr const char* kSsidReadFailed = "SSID读取失败";
inline constexpr const char* kSsidSetFailed = "SSID设置失败";
inline constexpr const char* kPasswordReadFailed = "密码读取失败";
inline constexpr const char* kPasswordSetFailed = "密码设置失败";
inline constexpr const char* kIpReadFailed = "IP读取失败";
inline constexpr const char* kIpSetFailed = "IP设置失败";
inline constexpr const char* kDnsReadFailed = "服务器信息读取失败";
inline constexpr const char* kDnsSetFailed = "服务器信息设置失败";
inline constexpr const char* kDhcpReadFailed = "DHCP读取失败";
inline constexpr const char* kDhcpSetFailed = "DHCP设置失败";
inline constexpr const char* kMacReadFailed = "mac读取失败";
inline constexpr const char* kMacSetFailed = "mac设置失败";

// Limits of the page's fields, in characters.
inline constexpr size_t kSsidMaxChars = 30;
inline constexpr size_t kPasswordMaxChars = 15;
// The MAC travels as its text, "AC:CF:23:01:02:03".
inline constexpr size_t kMacChars = 17;
// The MAC field's check: six hex pairs with ':', or empty (a set writes no MAC text then).
inline Field MacTextField() {
  return MacAddress("mac", "MAC text written back, as read (default: empty)").EmptyAllowed();
}

// The security list; an entry's index is the security byte on the wire.
std::span<const char* const> SecurityModes();

using Ipv4Address = std::array<uint8_t, 4>;

// Everything the two chains move between the module and the page.
struct Settings {
  std::string ssid;      // UTF-8
  uint8_t security = 0;  // index into SecurityModes()
  std::string password;  // UTF-8
  bool dhcp = false;
  Ipv4Address ip{};
  Ipv4Address mask{};
  Ipv4Address gateway{};
  Ipv4Address dns{};
  std::string mac;  // as read, at most 17 characters
  bool operator==(const Settings&) const = default;
};
Values Describe(const Settings& value);

// The steps of both chains, in chain order.
enum class Step { Ssid, Security, Ip, Dns, Dhcp, Mac };

// Called by the read chain after each step that succeeded, with what has been read so far, so
// the page can show the values that it shows at once (the security list, the IP controls).
using StepRead = std::function<void(Step step, const Settings& sofar)>;

// Reads SSID, security and password, IP/mask/gateway, DNS, DHCP and MAC in this order;
// "读取成功！" with all of them, or the failing step's message.
Result<Settings> ReadSettings(devlink::Channel& channel, const StepRead& stepRead = {});

// Writes SSID, security and password, then IP/mask/gateway and DNS only with DHCP off, then
// DHCP and MAC; "设置成功！" or the failing step's message. Refuses before sending anything an
// SSID over 30 characters ("ssid"), a password over 15 ("password"), a MAC text over 17
// characters ("mac"), text that is not UTF-8, and a security index beyond the list.
Outcome WriteSettings(devlink::Channel& channel, const Settings& settings);

// ---- the single items, as the chains run them ----

struct SecurityAndPassword {
  uint8_t security = 0;
  std::string password;
};

Result<std::string> ReadSsid(devlink::Channel& channel);
Result<SecurityAndPassword> ReadSecurity(devlink::Channel& channel);
// IP address, subnet mask, gateway.
Result<std::array<Ipv4Address, 3>> ReadIp(devlink::Channel& channel);
Result<Ipv4Address> ReadDns(devlink::Channel& channel);
Result<bool> ReadDhcp(devlink::Channel& channel);
Result<std::string> ReadMac(devlink::Channel& channel);

Outcome WriteSsid(devlink::Channel& channel, const std::string& ssid);
Outcome WriteSecurity(devlink::Channel& channel, uint8_t security, const std::string& password);
Outcome WriteIp(devlink::Channel& channel, const Ipv4Address& ip, const Ipv4Address& mask,
                const Ipv4Address& gateway);
Outcome WriteDns(devlink::Channel& channel, const Ipv4Address& dns);
Outcome WriteDhcp(devlink::Channel& channel, bool on);
// The request is always 24 bytes: the length byte is the text's length, bytes 5-21 the text
// padded with zeros (an empty MAC gives length 0 and 17 zero bytes), 'f' and Sum8.
Outcome WriteMac(devlink::Channel& channel, const std::string& mac);

// ---- module control ----

enum class ModuleControl : uint8_t {
  ExitConfiguration = 1,  // "退出配置模式"
  Reset = 2,              // "复位模块"
  FactorySettings = 3,    // "恢复出厂设置"
};
// "操作成功！" / "操作失败！"; with the serial channel selected and no port open
// "串口打开失败！".
Outcome Control(devlink::Channel& channel, ModuleControl code);

// tool-cli verbs of the page "wifi".
CommandSet Commands();

}  // namespace pages::wifi
