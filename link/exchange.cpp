#include "link/exchange.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/tcp_exchange.h"

namespace devlink {

namespace {

using Clock = std::chrono::steady_clock;

// Reads as bytes arrive until the reply is whole, the buffer is full or `delayMs` has passed.
// `lastByte` is when the last byte arrived.
size_t ReadUntilComplete(SerialPort& port, Bytes& reply, const ReplyCompletion& completion,
                         int32_t delayMs, Clock::time_point& lastByte) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
  size_t received = 0;
  while (received < reply.size() && port.IsOpen()) {
    const size_t count = port.SerialRead(reply.data() + received, reply.size() - received);
    if (count > 0) {
      received += count;
      lastByte = Clock::now();
    }
    if (completion.IsComplete(ByteView(reply.data(), received))) break;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    // Rounded up, so the last wait does not end just before the deadline.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    port.WaitReadable(static_cast<int>(std::min<int64_t>(ms, INT32_MAX)));
  }
  return received;
}

std::chrono::microseconds Since(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration_cast<std::chrono::microseconds>(end - start);
}

ExchangeResult Vanished(SerialPort& port, Bytes reply) {
  ExchangeResult result(ExchangeStatus::PortVanished, std::move(reply), false, port.VanishedWhy());
  result.vanishedPort = port.Path();
  return result;
}

}  // namespace

std::string PortVanishedText(const std::string& path) { return kPortVanishedPrefix + path; }

ExchangeResult SerialExchange(DeviceLink& link, ByteView request, size_t capacity,
                              const ReplyCompletion& completion, int32_t delayFactor,
                              std::optional<int32_t> fixedDelayMs) {
  SerialPort& port = link.serial;
  // The whole exchange holds the port: another thread's exchange, or closing the port, waits
  // until this reply has been read and the queues purged.
  auto hold = port.Transaction();
  if (!port.IsOpen()) return {ExchangeStatus::PortNotOpen, {}, false, "port not open", {}};
  port.PurgePort();
  port.SerialWrite(request);
  // The port was open when the exchange began and is held all along: if it is closed now, it
  // vanished under this exchange.
  if (!port.IsOpen()) return Vanished(port, {});
  const auto written = Clock::now();
  const int64_t scaled = fixedDelayMs ? int64_t{std::max(*fixedDelayMs, 0)}
                                      : int64_t{link.delayMs} * std::max(delayFactor, 1);
  const auto delayMs = static_cast<int32_t>(std::min<int64_t>(scaled, INT32_MAX));
  Bytes reply(std::min(capacity, kSerialReadLimit));
  auto lastByte = written;
  if (link.fast && !reply.empty()) {
    reply.resize(ReadUntilComplete(port, reply, completion, delayMs, lastByte));
  } else {
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    reply.resize(port.SerialRead(reply.data(), reply.size()));
    lastByte = Clock::now();
  }
  // Nothing arrived: a silent instrument, or a line that is gone without an error yet (the
  // device node removed, a hang-up not seen by the read).
  if (reply.empty() && port.IsOpen()) port.CheckVanished();
  if (!port.IsOpen()) return Vanished(port, std::move(reply));
  port.PurgePort();
  ExchangeResult result;
  result.status = ExchangeStatus::Ok;
  result.reply = std::move(reply);
  if (result.reply.empty()) {
    if (capacity > 0) result.detail = NoReplyDetail(delayMs);
  } else {
    result.lastByte = Since(written, lastByte);
  }
  return result;
}

namespace {

ExchangeResult RunOnChannel(DeviceLink& link, ByteView request, const ReplySpec& spec) {
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
  TcpReport report;
  const int ok = TcpExchange(target, request.data(), static_cast<int32_t>(request.size()),
                             buffer, count, spec.checkSum, minimum, spec.family, &report);
  if (!ok) {
    return {ExchangeStatus::NoReply, std::move(report.reply), false, std::move(report.detail),
            report.lastByte};
  }
  reply.resize(count);
  return {ExchangeStatus::Ok, std::move(reply), /*acceptedByChannel=*/true, {}, report.lastByte};
}

std::string ChannelName(const DeviceLink& link) {
  if (link.tcpMode) return link.ip + ":" + std::to_string(link.tcpPort);
  return link.serial.IsOpen() ? link.serial.Path() : link.portName;
}

}  // namespace

ExchangeResult Exchange(DeviceLink& link, ByteView request, const ReplySpec& spec) {
  const auto time = std::chrono::system_clock::now();
  ExchangeResult result = RunOnChannel(link, request, spec);
  // An empty reply keeps the channel's own words ("no reply within 600 ms").
  if (result.status == ExchangeStatus::Ok && spec.verdict && !result.reply.empty()) {
    result.detail = spec.verdict(result.reply, result.acceptedByChannel);
  }
  // A closed port or a serial-only command in TCP mode sent nothing: nothing to report.
  if (link.traffic != nullptr && result.status != ExchangeStatus::PortNotOpen &&
      result.status != ExchangeStatus::SerialOnly) {
    // A NoReply result hands over the last attempt's bytes for the log only: the caller never
    // takes a reply from a failed exchange.
    link.traffic->OnExchange(
        {time, ChannelName(link), Bytes(request.begin(), request.end()), result.reply,
         result.lastByte, result.detail});
  }
  if (result.status == ExchangeStatus::NoReply) result.reply.clear();
  return result;
}

ExchangeResult LinkChannel::Exchange(ByteView request, const ReplySpec& spec) {
  return devlink::Exchange(link_, request, spec);
}

}  // namespace devlink
