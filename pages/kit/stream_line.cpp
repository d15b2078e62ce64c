#include "pages/kit/stream_line.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace pages {

StreamStart LinkStreamLine::Start(devlink::ByteView request) {
  if (link_.tcpMode) return StreamStart::NotSerial;
  devlink::SerialPort& port = link_.serial;
  auto hold = port.Transaction();
  if (!port.IsOpen()) return StreamStart::PortNotOpen;
  lost_.clear();
  port.PurgePort();
  port.SerialWrite(request);
  if (!port.IsOpen()) lost_ = devlink::PortVanishedText(port.Path());
  return StreamStart::Sent;
}

devlink::Bytes LinkStreamLine::ReadCycle() {
  using Clock = std::chrono::steady_clock;
  devlink::SerialPort& port = link_.serial;
  const int delayMs = std::max(link_.delayMs, 0);
  devlink::Bytes chunk(devlink::kSerialReadLimit);
  size_t received = 0;
  if (!link_.fast) {
    // The port is not held while waiting, so the user-interface thread can close it meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    received = port.SerialRead(chunk.data(), chunk.size());
  } else {
    const auto deadline = Clock::now() + std::chrono::milliseconds(delayMs);
    while (received < chunk.size()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      const int wait = received == 0 ? static_cast<int>(std::max<int64_t>(left.count(), 0))
                                     : kStreamQuietMs;
      if (!port.WaitReadable(wait)) break;
      const size_t got = port.SerialRead(chunk.data() + received, chunk.size() - received);
      if (got == 0) break;  // the port was closed meanwhile
      received += got;
    }
  }
  chunk.resize(received);
  // Silence may be a line that is gone: then the stream ends with the port named.
  if (received == 0 && lost_.empty() && port.CheckVanished() && port.Vanished()) {
    lost_ = devlink::PortVanishedText(port.Path());
  }
  return chunk;
}

void LinkStreamLine::Finish() {
  if (!link_.tcpMode) link_.serial.PurgePort();
}

std::unique_ptr<StreamLine> StreamBehind(devlink::Channel& channel) {
  if (devlink::DeviceLink* link = channel.Link()) return std::make_unique<LinkStreamLine>(*link);
  return nullptr;
}

}  // namespace pages
