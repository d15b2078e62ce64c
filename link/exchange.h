#pragma once
// One request, one reply. `Channel` is what command modules talk to: the real one runs the
// exchange over the serial port or TCP according to `DeviceLink`; tests use a scripted one.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "link/codecs.h"
#include "link/device_link.h"
#include "link/frames.h"
#include "link/traffic.h"

namespace devlink {

// Shown whenever the serial channel is selected and no port is open.
inline constexpr const char* kPortOpenFailed = "串口打开失败";
// Shown once when the open port went away during an exchange: "串口已断开：/dev/ttyUSB0".
inline constexpr const char* kPortVanishedPrefix = "串口已断开：";
std::string PortVanishedText(const std::string& path);

struct ReplySpec {
  size_t capacity = kSerialReadLimit;    // reply buffer size; longer replies are cut; 0: send only
  FrameFamily family = FrameFamily::Sum;  // decides the TCP acceptance rule
  std::optional<size_t> minimum;         // TCP: least reply length accepted (default: capacity)
  bool checkSum = true;                  // TCP: also require the family's check value
  // Fast mode: when the reply is whole, so the read need not wait out the exchange delay.
  ReplyCompletion completion;
  // Serial channel: the exchange delay taken this many times (a command the instrument needs
  // longer to answer). The TCP channel keeps its own timing.
  int32_t serialDelayFactor = 1;
  // The command's own checks of a reply that arrived: the words of the first one that fails, or
  // empty. Run before the exchange is reported, so the traffic entry names the failed check.
  std::function<std::string(ByteView reply, bool acceptedByChannel)> verdict;
  // Serial channel: wait this long instead of the exchange delay (an instrument with a fixed
  // answer time). Set, it overrides `serialDelayFactor`.
  std::optional<int32_t> serialDelayMs;
  // The command runs only over the serial port: in TCP mode nothing is sent (status SerialOnly).
  bool serialOnly = false;
};

enum class ExchangeStatus {
  Ok,           // the exchange ran; `reply` holds what arrived (may be empty on serial)
  PortNotOpen,  // serial channel selected and no port open: nothing was sent
  NoReply,      // TCP: no acceptable reply after every attempt
  SerialOnly,   // a serial-only command while the TCP channel is selected: nothing was sent
  PortVanished, // the serial port went away during the exchange; it is closed now
};

struct ExchangeResult {
  ExchangeResult(ExchangeStatus status = ExchangeStatus::NoReply, Bytes reply = {},
                 bool acceptedByChannel = false, std::string detail = {},
                 std::optional<std::chrono::microseconds> lastByte = {})
      : status(status),
        reply(std::move(reply)),
        acceptedByChannel(acceptedByChannel),
        detail(std::move(detail)),
        lastByte(lastByte) {}

  ExchangeStatus status;
  Bytes reply;
  // The channel accepted the reply by its own rule before handing it over (TCP: at least the
  // minimum length, the family's start byte and check value). Commands whose checks on such a
  // channel are exactly that rule ask here instead of looking at the channel's kind.
  bool acceptedByChannel;
  // Why the exchange failed, in the traffic view's words ("connection refused", "no reply
  // within 600 ms", "reply 11 bytes, Sum8 mismatch"); empty when it passed.
  std::string detail;
  // From the request's write to the last reply byte; none when nothing arrived.
  std::optional<std::chrono::microseconds> lastByte;
  // PortVanished: the port's path (for the notice; `detail` says what was seen).
  std::string vanishedPort;
};

class Channel {
 public:
  virtual ~Channel() = default;
  virtual ExchangeResult Exchange(ByteView request, const ReplySpec& spec) = 0;
  // Address byte for frames that carry the current device address.
  virtual uint8_t DeviceAddress() const = 0;
  // The connection state behind the channel when it runs over the program's link (the few
  // commands that change the serial line themselves need it); null for any other channel.
  virtual DeviceLink* Link() { return nullptr; }
};

// Serial channel: purge, write, sleep the delay, read what is queued, purge; one attempt. In
// fast mode (`link.fast`) the read takes bytes as they arrive and ends as soon as `completion`
// says the reply is whole, or when the delay has passed.
ExchangeResult SerialExchange(DeviceLink& link, ByteView request, size_t capacity,
                              const ReplyCompletion& completion = {}, int32_t delayFactor = 1,
                              std::optional<int32_t> fixedDelayMs = std::nullopt);

// Runs the exchange on the channel that `DeviceLink` selects (serial or TCP), runs the verdict
// of `spec` on the reply and reports the exchange to `link.traffic`, if any.
ExchangeResult Exchange(DeviceLink& link, ByteView request, const ReplySpec& spec);

// The channel the pages use.
class LinkChannel : public Channel {
 public:
  explicit LinkChannel(DeviceLink& link) : link_(link) {}
  ExchangeResult Exchange(ByteView request, const ReplySpec& spec) override;
  uint8_t DeviceAddress() const override { return link_.WireAddress(); }
  DeviceLink* Link() override { return &link_; }

 private:
  DeviceLink& link_;
};

}  // namespace devlink
