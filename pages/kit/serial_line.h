#pragma once
// The serial line behind a channel, for the few commands that change the line themselves (a
// search for the instrument's baud rate reopens the port at each rate) or purge it outside an
// exchange. Commands take it as an optional extra beside their channel: a scripted channel in a
// test has none, or a scripted one of its own.
#include <memory>
#include <string>

#include "link/device_link.h"
#include "link/exchange.h"

namespace pages {

// Shown when the port named in the link cannot be opened again.
inline constexpr const char* kPortReopenFailed = "端口已打开";

class SerialLine {
 public:
  virtual ~SerialLine() = default;
  // True when exchanges run over this serial line (the serial channel is selected).
  virtual bool Carries() const = 0;
  // The link's baud rate as decimal text.
  virtual std::string BaudText() const = 0;
  // Records the rate in the link without touching the port.
  virtual void SetBaudText(const std::string& baudText) = 0;
  // Closes the port, opens the port named in the link and configures it at the link's rate.
  // False with the text to show on failure ("端口已打开" when the open failed); the port is
  // then closed.
  virtual bool Reopen(std::string* errorText) = 0;
  // Discards both queues, also what a transfer in progress would still add.
  virtual void PurgeAll() = 0;
};

// The serial side of a DeviceLink.
class LinkSerialLine : public SerialLine {
 public:
  explicit LinkSerialLine(devlink::DeviceLink& link) : link_(link) {}
  bool Carries() const override { return !link_.tcpMode; }
  std::string BaudText() const override { return link_.baudText; }
  void SetBaudText(const std::string& baudText) override { link_.baudText = baudText; }
  bool Reopen(std::string* errorText) override;
  void PurgeAll() override;

 private:
  devlink::DeviceLink& link_;
};

// The line of a channel that runs over a DeviceLink (what the pages and tool-cli use); null for
// any other channel.
std::unique_ptr<SerialLine> LineBehind(devlink::Channel& channel);

}  // namespace pages
