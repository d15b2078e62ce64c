#pragma once
// A request written once and an answer that streams in for as long as the instrument sends it
// (a GPRS module's text record stream): the serial line read in cycles instead of one exchange.
#include <memory>
#include <string>

#include "link/device_link.h"
#include "link/exchange.h"

namespace pages {

enum class StreamStart {
  Sent,         // the request went out; read the answer with ReadCycle()
  PortNotOpen,  // serial channel selected and no port open: nothing was sent
  NotSerial,    // the TCP channel is selected: streams run over the serial line only
};

class StreamLine {
 public:
  virtual ~StreamLine() = default;
  // Clears both queues and writes the request once.
  virtual StreamStart Start(devlink::ByteView request) = 0;
  // One read cycle: waits the exchange delay, then takes what has arrived (at most the serial
  // read limit). Empty when nothing came. In fast mode the cycle ends as soon as bytes have
  // arrived and the line has then been quiet for a moment, or the buffer is full.
  virtual devlink::Bytes ReadCycle() = 0;
  // Clears both queues (the end of a stream).
  virtual void Finish() = 0;
  // The notice when the port went away during the stream ("串口已断开：…"), else empty.
  virtual std::string LostPort() const { return {}; }
};

// Fast mode: the pause after which bytes that arrived count as one chunk.
inline constexpr int kStreamQuietMs = 20;

// The stream over a DeviceLink's serial port.
class LinkStreamLine : public StreamLine {
 public:
  explicit LinkStreamLine(devlink::DeviceLink& link) : link_(link) {}
  StreamStart Start(devlink::ByteView request) override;
  devlink::Bytes ReadCycle() override;
  void Finish() override;
  std::string LostPort() const override { return lost_; }

 private:
  devlink::DeviceLink& link_;
  std::string lost_;
};

// The stream of a channel that runs over a DeviceLink (the pages and tool-cli); null for any
// other channel.
std::unique_ptr<StreamLine> StreamBehind(devlink::Channel& channel);

}  // namespace pages
