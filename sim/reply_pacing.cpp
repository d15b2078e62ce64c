#include "sim/reply_pacing.h"

#include <algorithm>

namespace sim {

void StopSignal::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
}

void StopSignal::Reset() {
  std::lock_guard lock(mutex_);
  stopped_ = false;
}

bool StopSignal::Stopped() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

bool StopSignal::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
  std::unique_lock lock(mutex_);
  return !wake_.wait_until(lock, deadline, [this] { return stopped_; });
}

bool StopSignal::SleepFor(std::chrono::microseconds duration) const {
  return SleepUntil(std::chrono::steady_clock::now() + duration);
}

WriteAll PatientWriter(WriteSome writeSome, std::function<void()> waitForRoom,
                       const StopSignal& stop) {
  return [writeSome = std::move(writeSome), waitForRoom = std::move(waitForRoom), &stop](
             const uint8_t* data, size_t count) {
    constexpr auto kStallLimit = std::chrono::seconds(1);
    auto lastProgress = std::chrono::steady_clock::now();
    while (count > 0) {
      const long n = writeSome(data, count);
      if (n < 0) return false;
      if (n > 0) {
        data += n;
        count -= static_cast<size_t>(n);
        lastProgress = std::chrono::steady_clock::now();
        continue;
      }
      if (stop.Stopped() || std::chrono::steady_clock::now() - lastProgress > kStallLimit) {
        return false;
      }
      waitForRoom();
    }
    return true;
  };
}

WriteAll SocketWriter(devlink::net::SocketHandle socket, const StopSignal& stop) {
  namespace net = devlink::net;
  return PatientWriter(
      [socket](const uint8_t* data, size_t count) -> long {
        const long n = net::SendSome(socket, data, count);
        if (n < 0 && net::LastCallWouldBlock()) return 0;
        return n < 0 ? -1 : n;
      },
      [socket] { net::WaitWritable(socket, 20); }, stop);
}

namespace {

// Writes a piece either at once or one byte per character time (10 bits: start, 8 data, stop),
// each byte due at a fixed time from the start so that the sleeps add up no drift.
bool WritePiece(const uint8_t* data, size_t count, int baud, const WriteAll& write,
                const StopSignal& stop) {
  if (count == 0) return true;
  if (baud <= 0) return write(data, count);
  const auto start = std::chrono::steady_clock::now();
  const long long bits = 10;
  for (size_t i = 0; i < count; ++i) {
    // A byte is there for the receiver once its stop bit is through.
    auto due = start + std::chrono::microseconds((static_cast<long long>(i) + 1) * bits *
                                                 1'000'000LL / baud);
    if (!stop.SleepUntil(due) || !write(data + i, 1)) return false;
  }
  return true;
}

}  // namespace

bool SendPaced(const Outgoing& reply, const WriteAll& write, const StopSignal& stop) {
  if (reply.bytes.empty()) return true;
  if (reply.latencyMs > 0 && !stop.SleepFor(std::chrono::milliseconds(reply.latencyMs))) {
    return false;
  }
  const uint8_t* data = reply.bytes.data();
  size_t size = reply.bytes.size();
  size_t first = reply.splitAt > 0 ? std::min(reply.splitAt, size) : size;
  if (!WritePiece(data, first, reply.wireBaud, write, stop)) return false;
  if (first == size) return true;
  if (reply.splitGapMs > 0 && !stop.SleepFor(std::chrono::milliseconds(reply.splitGapMs))) {
    return false;
  }
  return WritePiece(data + first, size - first, reply.wireBaud, write, stop);
}

InputSession::InputSession(Simulator& simulator, WriteAll write, const StopSignal& stop,
                           std::chrono::milliseconds idleReset)
    : simulator_(simulator),
      write_(std::move(write)),
      stop_(stop),
      idleReset_(idleReset),
      lastInput_(std::chrono::steady_clock::now()) {}

InputSession::~InputSession() { simulator_.ResetInput(stream_); }

bool InputSession::Received(const uint8_t* data, size_t count) {
  lastInput_ = std::chrono::steady_clock::now();
  for (const Outgoing& reply : simulator_.Feed(stream_, data, count)) {
    if (!SendPaced(reply, write_, stop_)) return false;
  }
  return true;
}

void InputSession::Idle() {
  if (!stream_.pending.empty() && std::chrono::steady_clock::now() - lastInput_ > idleReset_) {
    simulator_.ResetInput(stream_);
  }
}

}  // namespace sim
