#include "link/exchange.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/tcp_exchange.h"

namespace devlink {

ExchangeResult SerialExchange(DeviceLink& link, ByteView request, size_t capacity) {
  SerialPort& port = link.serial;
  // The whole exchange holds the port: another thread's exchange, or closing the port, waits
  // until this reply has been read and the queues purged.
  auto hold = port.Transaction();
  if (!port.IsOpen()) return {ExchangeStatus::PortNotOpen, {}};
  port.PurgePort();
  port.SerialWrite(request);
  if (link.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(link.delayMs));
  Bytes reply(std::min(capacity, kSerialReadLimit));
  reply.resize(port.SerialRead(reply.data(), reply.size()));
  port.PurgePort();
  return {ExchangeStatus::Ok, std::move(reply)};
}

ExchangeResult Exchange(DeviceLink& link, ByteView request, const ReplySpec& spec) {
  if (!link.tcpMode) return SerialExchange(link, request, spec.capacity);
  const TcpTarget target{link.ip, link.tcpPort, link.delayMs};
  // The reply count carries the capacity in and the received length out; a capacity beyond
  // what one reply can sensibly be is cut to 32 bits.
  const auto capacity = static_cast<uint32_t>(std::min<size_t>(spec.capacity, UINT32_MAX));
  Bytes reply(capacity);
  uint32_t count = capacity;
  std::optional<int32_t> minimum;
  if (spec.minimum) minimum = static_cast<int32_t>(std::min<size_t>(*spec.minimum, INT32_MAX));
  // A capacity of 0 means the command expects no reply: send only.
  uint8_t* buffer = capacity == 0 ? nullptr : reply.data();
  const int ok = TcpExchange(target, request.data(), static_cast<int32_t>(request.size()),
                             buffer, count, spec.checkSum, minimum, spec.family);
  if (!ok) return {ExchangeStatus::NoReply, {}};
  reply.resize(count);
  return {ExchangeStatus::Ok, std::move(reply), /*acceptedByChannel=*/true};
}

ExchangeResult LinkChannel::Exchange(ByteView request, const ReplySpec& spec) {
  return devlink::Exchange(link_, request, spec);
}

}  // namespace devlink
