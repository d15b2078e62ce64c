#include "link/bluetooth.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "link/exchange.h"
#include "link/frames.h"

namespace devlink {
namespace {

constexpr uint8_t kAdapterAddress = 0x01;
constexpr uint8_t kFunctionConnect = 0x18;  // connect and disconnect
constexpr uint8_t kFunctionConnection = 0x19;
constexpr uint8_t kFunctionReadMac = 0x22;
constexpr uint8_t kConnectSelector = 0x00;
constexpr uint8_t kDisconnectSelector = 0x01;

constexpr size_t kConnectReplyLength = 8;
constexpr size_t kMacReplyLength = 11;  // 01 func 06 MAC reversed CRC

constexpr int32_t kIdleSliceMs = 50;

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool IsPunct(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 0x21 && u <= 0x2F) || (u >= 0x3A && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
         (u >= 0x7B && u <= 0x7E);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Bytes MacFrame(uint8_t selector, const MacBytes& mac) {
  Bytes frame = {kAdapterAddress, kFunctionConnect, 0x00, selector, 0x00, 0x03, 0x06};
  frame.reserve(frame.size() + mac.size() + 2);
  for (auto byte = mac.rbegin(); byte != mac.rend(); ++byte) frame.push_back(*byte);  // reversed
  AppendCrc16(frame);
  return frame;
}

Bytes QueryFrame(uint8_t function) {
  Bytes frame = {kAdapterAddress, function, 0x00, 0x00, 0x00, 0x03};
  AppendCrc16(frame);
  return frame;
}

bool CrcMatches(ByteView reply) {
  const uint16_t crc = Crc16Modbus(reply.data(), static_cast<uint32_t>(reply.size() - 2));
  return reply[reply.size() - 2] == (crc & 0xFF) && reply[reply.size() - 1] == (crc >> 8);
}

struct Messages {
  const char* failed;      // wrong length or function byte
  const char* checkError;  // wrong CRC
};

// Checks length and function byte, then the CRC; returns the failure text or nullptr.
const char* CheckReply(ByteView reply, size_t length, uint8_t function, const Messages& messages) {
  if (reply.size() != length || reply[1] != function) return messages.failed;
  if (!CrcMatches(reply)) return messages.checkError;
  return nullptr;
}

// Purge, write, wait the delay (in fast mode: until `length` bytes are there), read what arrived,
// purge.
Bytes RunExchange(AdapterPort& port, int32_t delayMs, ByteView request, size_t length) {
  uint8_t buffer[kSerialReadLimit];
  const auto time = std::chrono::system_clock::now();
  port.Purge();
  port.Write(request);
  const size_t count = port.ReadReply(buffer, sizeof buffer, length, delayMs);
  port.Purge();
  Bytes reply(buffer, buffer + count);
  TrafficEntry entry;
  entry.time = time;
  entry.request.assign(request.begin(), request.end());
  entry.reply = reply;
  if (reply.empty()) entry.failure = NoReplyDetail(delayMs);
  port.Report(std::move(entry));
  return reply;
}

AdapterResult Failure(const char* message) { return {false, message, {}}; }

AdapterResult MacQuery(AdapterPort& port, int32_t delayMs, uint8_t function,
                       const Messages& messages) {
  if (!port.IsOpen()) return Failure(kPortOpenFailed);
  const Bytes reply = RunExchange(port, delayMs, QueryFrame(function), kMacReplyLength);
  if (const char* error = CheckReply(reply, kMacReplyLength, function, messages)) {
    return Failure(error);
  }
  AdapterResult result{true, {}, {}};
  // Bytes 3..8 hold the MAC last byte first: byte 8 is the first MAC byte.
  for (size_t i = 0; i < result.mac.size(); ++i) result.mac[i] = reply[8 - i];
  return result;
}

bool IsNoConnection(const MacBytes& mac) {
  return std::all_of(mac.begin(), mac.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

SerialAdapterPort::SerialAdapterPort(SerialPort& port, std::function<void()> idle,
                                     TrafficObserver* traffic, bool fast)
    : port_(port), idle_(std::move(idle)), traffic_(traffic), fast_(fast),
      hold_(port.Transaction()) {}

size_t SerialAdapterPort::ReadReply(uint8_t* buffer, size_t capacity, size_t length,
                                    int32_t delayMs) {
  if (!fast_ || length == 0) return AdapterPort::ReadReply(buffer, capacity, length, delayMs);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
  size_t received = 0;
  while (received < capacity && received < length && port_.IsOpen()) {
    received += port_.SerialRead(buffer + received, capacity - received);
    if (received >= length) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    // Short slices, so the window keeps repainting while the adapter is slow.
    port_.WaitReadable(static_cast<int>(std::min<int64_t>(left.count(), kIdleSliceMs)));
    if (idle_) idle_();
  }
  return received;
}

void SerialAdapterPort::Report(TrafficEntry entry) {
  if (traffic_ == nullptr) return;
  entry.channel = port_.Path();
  traffic_->OnExchange(entry);
}

bool SerialAdapterPort::IsOpen() { return port_.IsOpen(); }
void SerialAdapterPort::Purge() { port_.PurgePort(); }
void SerialAdapterPort::Write(ByteView bytes) { port_.SerialWrite(bytes); }
size_t SerialAdapterPort::Read(uint8_t* buffer, size_t capacity) {
  return port_.SerialRead(buffer, capacity);
}

void SerialAdapterPort::Sleep(int32_t ms) {
  using Clock = std::chrono::steady_clock;
  if (!idle_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
    return;
  }
  const auto end = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  for (;;) {
    idle_();
    const auto now = Clock::now();
    if (now >= end) break;
    std::this_thread::sleep_for(
        std::min<Clock::duration>(end - now, std::chrono::milliseconds(kIdleSliceMs)));
  }
}

std::optional<MacBytes> ParseMac(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (!IsBlankChar(c) && !IsPunct(c)) digits += c;
  }
  if (digits.size() != 12) return std::nullopt;
  MacBytes mac{};
  for (size_t i = 0; i < mac.size(); ++i) {
    int value = 0;
    for (size_t j = 0; j < 2; ++j) {
      const int digit = HexValue(digits[2 * i + j]);
      // "71:1G" is no MAC: connecting to ...:71:01 instead would reach another device.
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    mac[i] = static_cast<uint8_t>(value);
  }
  return mac;
}

std::string FormatMacField(const MacBytes& mac) {
  std::string text;
  for (uint8_t b : mac) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%.2x ", b);
    text += pair;
  }
  return text;
}

Bytes BuildAdapterConnect(const MacBytes& mac) { return MacFrame(kConnectSelector, mac); }
Bytes BuildAdapterDisconnect(const MacBytes& mac) { return MacFrame(kDisconnectSelector, mac); }
Bytes BuildAdapterGetConnection() { return QueryFrame(kFunctionConnection); }
Bytes BuildAdapterReadMac() { return QueryFrame(kFunctionReadMac); }

int32_t AdapterConnectPolls(int32_t delayMs) {
  // A zero delay would divide by zero; poll every millisecond instead, still for two minutes.
  return kAdapterConnectWindowMs / std::max(delayMs, 1);
}

AdapterResult AdapterConnect(AdapterPort& port, int32_t delayMs, const MacBytes& mac) {
  if (!port.IsOpen()) return Failure(kPortOpenFailed);
  const Bytes request = BuildAdapterConnect(mac);
  uint8_t buffer[kSerialReadLimit];
  port.Purge();
  // The adapter needs time to settle before it takes a connect request; the logger then takes
  // a while to answer, so the reply is polled for about two minutes.
  port.Sleep(kAdapterSettleMs);
  port.Write(request);
  port.Sleep(delayMs);
  size_t count = port.Read(buffer, sizeof buffer);
  const int32_t polls = AdapterConnectPolls(delayMs);
  const int32_t pollDelay = std::max(delayMs, 1);
  for (int32_t i = 0; count == 0 && i < polls; ++i) {
    port.Sleep(pollDelay);
    count = port.Read(buffer, sizeof buffer);
  }
  port.Purge();
  if (const char* error = CheckReply(ByteView(buffer, count), kConnectReplyLength,
                                     kFunctionConnect, {kConnectFailed, kConnectCheckError})) {
    return Failure(error);
  }
  port.Sleep(kAdapterSettleMs);
  return {true, {}, mac};
}

AdapterResult AdapterDisconnect(AdapterPort& port, int32_t delayMs, const MacBytes& mac) {
  if (!port.IsOpen()) return Failure(kPortOpenFailed);
  const Bytes reply =
      RunExchange(port, delayMs, BuildAdapterDisconnect(mac), kConnectReplyLength);
  if (const char* error = CheckReply(reply, kConnectReplyLength, kFunctionConnect,
                                     {kDisconnectFailed, kDisconnectCheckError})) {
    return Failure(error);
  }
  return {true, {}, mac};
}

AdapterResult AdapterGetConnection(AdapterPort& port, int32_t delayMs) {
  return MacQuery(port, delayMs, kFunctionConnection,
                  {kConnectionStateFailed, kConnectionStateCheckError});
}

AdapterResult AdapterReadMac(AdapterPort& port, int32_t delayMs) {
  return MacQuery(port, delayMs, kFunctionReadMac, {kReadMacFailed, kReadMacCheckError});
}

AdapterResult ConnectToMac(AdapterPort& port, int32_t delayMs, std::string_view macText) {
  const std::optional<MacBytes> wanted = ParseMac(macText);
  if (!wanted) return Failure(kMacFormatError);
  const AdapterResult held = AdapterGetConnection(port, delayMs);
  if (!held.ok) return held;
  if (!IsNoConnection(held.mac)) {
    if (held.mac == *wanted) return {true, {}, *wanted};
    const AdapterResult dropped = AdapterDisconnect(port, delayMs, held.mac);
    if (!dropped.ok) return dropped;
  }
  return AdapterConnect(port, delayMs, *wanted);
}

AdapterResult DisconnectMac(AdapterPort& port, int32_t delayMs, std::string_view macText) {
  const AdapterResult held = AdapterGetConnection(port, delayMs);
  if (!held.ok) return held;
  const std::optional<MacBytes> mac = ParseMac(macText);
  if (!mac) return Failure(kMacWrong);
  if (held.mac == *mac) {
    const AdapterResult dropped = AdapterDisconnect(port, delayMs, *mac);
    if (!dropped.ok) return dropped;
  }
  return {true, kDisconnected, *mac};
}

AdapterResult ConnectToMac(DeviceLink& link, std::function<void()> idle) {
  SerialAdapterPort port(link.serial, std::move(idle), link.traffic, link.fast);
  return ConnectToMac(port, link.delayMs, link.macText);
}

}  // namespace devlink
