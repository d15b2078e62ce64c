#pragma once
// The Bluetooth adapter on the serial port: its four commands (Modbus-style frames to adapter
// address 0x01), the MAC text format and the connect procedure. Every command goes over the
// serial port, also while the main window is in TCP mode. Failures come back as the message the
// user sees; nothing here shows anything.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "link/codecs.h"
#include "link/device_link.h"
#include "link/traffic.h"

namespace devlink {

using MacBytes = std::array<uint8_t, 6>;  // in text order: first pair of digits first

// What the adapter commands need of the serial port and of time. The real one wraps SerialPort;
// tests use a fake that records writes and counts sleeps.
class AdapterPort {
 public:
  virtual ~AdapterPort() = default;
  virtual bool IsOpen() = 0;
  virtual void Purge() = 0;
  virtual void Write(ByteView bytes) = 0;
  // Only what has already arrived; 0 when nothing has.
  virtual size_t Read(uint8_t* buffer, size_t capacity) = 0;
  virtual void Sleep(int32_t ms) = 0;
  // Waits `delayMs`, then takes what has arrived. A port in fast mode ends the wait as soon as
  // `length` bytes (the reply's length) are there.
  virtual size_t ReadReply(uint8_t* buffer, size_t capacity, size_t length, int32_t delayMs) {
    (void)length;
    Sleep(delayMs);
    return Read(buffer, capacity);
  }
  // Told of each adapter exchange (the traffic view); nothing by default.
  virtual void Report(TrafficEntry entry) { (void)entry; }
};

// The adapter port over the link's serial port. It holds the port for its whole life, so the
// history worker cannot put frames between an adapter request and its reply. `idle`, when set,
// runs about every 50 ms during the waits (the window uses it to keep repainting during the
// two-minute connect).
class SerialAdapterPort : public AdapterPort {
 public:
  // `traffic`, when set, is told of every adapter exchange; `fast`: a reply is taken the moment
  // it is whole (the link's "快速").
  explicit SerialAdapterPort(SerialPort& port, std::function<void()> idle = {},
                             TrafficObserver* traffic = nullptr, bool fast = false);
  bool IsOpen() override;
  void Purge() override;
  void Write(ByteView bytes) override;
  size_t Read(uint8_t* buffer, size_t capacity) override;
  void Sleep(int32_t ms) override;
  size_t ReadReply(uint8_t* buffer, size_t capacity, size_t length, int32_t delayMs) override;
  void Report(TrafficEntry entry) override;

 private:
  SerialPort& port_;
  std::function<void()> idle_;
  TrafficObserver* traffic_;
  bool fast_;
  std::unique_lock<std::recursive_mutex> hold_;
};

// Messages.
inline constexpr const char* kMacFormatError = "MAC 地址格式错误";
inline constexpr const char* kMacWrong = "MAC地址有误";
inline constexpr const char* kDisconnected = "断开成功";
inline constexpr const char* kConnectFailed = "连接蓝牙记录仪失败";
inline constexpr const char* kConnectCheckError = "连接蓝牙记录仪校验错误";
inline constexpr const char* kDisconnectFailed = "断开连接失败";
inline constexpr const char* kDisconnectCheckError = "断开连接校验位错误";
inline constexpr const char* kConnectionStateFailed = "获取连接状态失败";
inline constexpr const char* kConnectionStateCheckError = "连接状态校验错误";
inline constexpr const char* kReadMacFailed = "获取MAC地址失败";
inline constexpr const char* kReadMacCheckError = "获取MAC地址校验错误";

// Timing of the connect command.
constexpr int32_t kAdapterSettleMs = 2000;      // before the request and after a good reply
constexpr int32_t kAdapterConnectWindowMs = 120000;  // polling lasts this long in all

// Removes blanks and punctuation; the rest must be twelve hex digits, read as six pairs.
std::optional<MacBytes> ParseMac(std::string_view text);
// "%.2x " per byte, trailing blank included: "00 1a 7d da 71 13 ".
std::string FormatMacField(const MacBytes& mac);

// Request frames (exposed for tests and tool-cli).
Bytes BuildAdapterConnect(const MacBytes& mac);     // 01 18 00 00 00 03 06 MAC reversed CRC
Bytes BuildAdapterDisconnect(const MacBytes& mac);  // 01 18 00 01 00 03 06 MAC reversed CRC
Bytes BuildAdapterGetConnection();                  // 01 19 00 00 00 03 CRC
Bytes BuildAdapterReadMac();                        // 01 22 00 00 00 03 CRC

struct AdapterResult {
  bool ok = false;
  std::string message;  // the failure text; empty on success unless the procedure reports one
  MacBytes mac{};       // AdapterGetConnection / AdapterReadMac: the MAC reported
};

// Number of extra reads the connect command makes after its first empty one.
int32_t AdapterConnectPolls(int32_t delayMs);

AdapterResult AdapterConnect(AdapterPort& port, int32_t delayMs, const MacBytes& mac);
AdapterResult AdapterDisconnect(AdapterPort& port, int32_t delayMs, const MacBytes& mac);
// mac all zero: no connection.
AdapterResult AdapterGetConnection(AdapterPort& port, int32_t delayMs);
AdapterResult AdapterReadMac(AdapterPort& port, int32_t delayMs);

// Makes the adapter hold a connection to the MAC of `macText`: nothing more when it already does,
// else disconnects whatever it holds and connects.
AdapterResult ConnectToMac(AdapterPort& port, int32_t delayMs, std::string_view macText);
// Drops the connection to the MAC of `macText` if the adapter holds it; succeeds with
// kDisconnected also when it holds another one or none.
AdapterResult DisconnectMac(AdapterPort& port, int32_t delayMs, std::string_view macText);

// ConnectToMac over the link's serial port with its exchange delay and MAC text.
AdapterResult ConnectToMac(DeviceLink& link, std::function<void()> idle = {});

}  // namespace devlink
