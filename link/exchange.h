#pragma once
// One request, one reply. `Channel` is what command modules talk to: the real one runs the
// exchange over the serial port or TCP according to `DeviceLink`; tests use a scripted one.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/codecs.h"
#include "link/device_link.h"
#include "link/frames.h"

namespace devlink {

// Shown whenever the serial channel is selected and no port is open.
inline constexpr const char* kPortOpenFailed = "串口打开失败";

struct ReplySpec {
  size_t capacity = kSerialReadLimit;    // reply buffer size; longer replies are cut; 0: send only
  FrameFamily family = FrameFamily::Sum;  // decides the TCP acceptance rule
  std::optional<size_t> minimum;         // TCP: least reply length accepted (default: capacity)
  bool checkSum = true;                  // TCP: also require the family's check value
};

enum class ExchangeStatus {
  Ok,           // the exchange ran; `reply` holds what arrived (may be empty on serial)
  PortNotOpen,  // serial channel selected and no port open: nothing was sent
  NoReply,      // TCP: no acceptable reply after every attempt
};

struct ExchangeResult {
  ExchangeStatus status = ExchangeStatus::NoReply;
  Bytes reply;
  // The channel accepted the reply by its own rule before handing it over (TCP: at least the
  // minimum length, the family's start byte and check value). Commands whose checks on such a
  // channel are exactly that rule ask here instead of looking at the channel's kind.
  bool acceptedByChannel = false;
};

class Channel {
 public:
  virtual ~Channel() = default;
  virtual ExchangeResult Exchange(ByteView request, const ReplySpec& spec) = 0;
  // Address byte for frames that carry the current device address.
  virtual uint8_t DeviceAddress() const = 0;
};

// Serial channel: purge, write, sleep the delay, read what is queued, purge; one attempt.
ExchangeResult SerialExchange(DeviceLink& link, ByteView request, size_t capacity);

// Runs the exchange on the channel that `DeviceLink` selects (serial or TCP).
ExchangeResult Exchange(DeviceLink& link, ByteView request, const ReplySpec& spec);

// The channel the pages use.
class LinkChannel : public Channel {
 public:
  explicit LinkChannel(DeviceLink& link) : link_(link) {}
  ExchangeResult Exchange(ByteView request, const ReplySpec& spec) override;
  uint8_t DeviceAddress() const override { return link_.WireAddress(); }
  DeviceLink& Link() { return link_; }

 private:
  DeviceLink& link_;
};

}  // namespace devlink
