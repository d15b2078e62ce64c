#include "link/exchange.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/tcp_exchange.h"

namespace devlink {

namespace {

// Reads as bytes arrive until the reply is whole, the buffer is full or `delayMs` has passed.
size_t ReadUntilComplete(SerialPort& port, Bytes& reply, const ReplyCompletion& completion,
                         int32_t delayMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
  size_t received = 0;
  while (received < reply.size()) {
    received += port.SerialRead(reply.data() + received, reply.size() - received);
    if (completion.IsComplete(ByteView(reply.data(), received))) break;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    // Rounded up, so the last wait does not end just before the deadline.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    port.WaitReadable(static_cast<int>(std::min<int64_t>(ms, INT32_MAX)));
  }
  return received;
}

}  // namespace

ExchangeResult SerialExchange(DeviceLink& link, ByteView request, size_t capacity,
                              const ReplyCompletion& completion, int32_t delayFactor,
                              std::optional<int32_t> fixedDelayMs) {
  SerialPort& port = link.serial;
  // The whole exchange holds the port: another thread's exchange, or closing the port, waits
  // until this reply has been read and the queues purged.
  auto hold = port.Transaction();
  if (!port.IsOpen()) return {ExchangeStatus::PortNotOpen, {}};
  port.PurgePort();
  port.SerialWrite(request);
  const int64_t scaled = fixedDelayMs ? int64_t{std::max(*fixedDelayMs, 0)}
                                      : int64_t{link.delayMs} * std::max(delayFactor, 1);
  const auto delayMs = static_cast<int32_t>(std::min<int64_t>(scaled, INT32_MAX));
  Bytes reply(std::min(capacity, kSerialReadLimit));
  if (link.fast && !reply.empty()) {
    reply.resize(ReadUntilComplete(port, reply, completion, delayMs));
  } else {
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    reply.resize(port.SerialRead(reply.data(), reply.size()));
  }
  port.PurgePort();
  return {ExchangeStatus::Ok, std::move(reply)};
}

ExchangeResult Exchange(DeviceLink& link, ByteView request, const ReplySpec& spec) {
  if (!link.tcpMode) {
    return SerialExchange(link, request, spec.capacity, spec.completion, spec.serialDelayFactor,
                          spec.serialDelayMs);
  }
  if (spec.serialOnly) return {ExchangeStatus::SerialOnly, {}};
  const TcpTarget target{link.ip, link.tcpPort, link.delayMs, link.fast, spec.completion};
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
