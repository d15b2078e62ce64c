#pragma once
// Sending a reply the way a slow or misbehaving instrument does: after a latency, in two pieces
// with a gap, and byte by byte at the character time of a baud rate. Shared by the transports.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/socket_shim.h"
#include "sim/simulator.h"

namespace sim {

// A stop request that interrupts the pauses of a transport thread.
class StopSignal {
 public:
  void Stop();
  void Reset();
  bool Stopped() const;
  // Sleeps until `deadline`; false (at once) when stopped.
  bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;
  bool SleepFor(std::chrono::microseconds duration) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
  bool stopped_ = false;
};

// Writes all of `count` bytes or fails; the transport's own writer (it may wait for room).
using WriteAll = std::function<bool(const uint8_t* data, size_t count)>;

// One write on a non-blocking channel: the bytes taken, 0 when it would have had to wait, <0 on
// a failure. `waitForRoom` waits a short while (some 20 ms) for the channel to take more.
using WriteSome = std::function<long(const uint8_t* data, size_t count)>;

// A writer on top of WriteSome: waits for room while the peer is slow, gives up when stopped, on
// an error, or after a second without progress (a peer that never reads).
WriteAll PatientWriter(WriteSome writeSome, std::function<void()> waitForRoom,
                       const StopSignal& stop);
// PatientWriter on a non-blocking socket (written without raising SIGPIPE).
WriteAll SocketWriter(devlink::net::SocketHandle socket, const StopSignal& stop);

// Sends one reply with its latency, split and wire time. False when stopped or a write failed.
bool SendPaced(const Outgoing& reply, const WriteAll& write, const StopSignal& stop);

// The input side of one connection of a transport: feeds what arrives to the simulator, sends
// the replies, and drops input left incomplete for `idleReset` so that a cut-off request cannot
// swallow the next one. Whatever is still pending is logged when the session ends.
class InputSession {
 public:
  InputSession(Simulator& simulator, WriteAll write, const StopSignal& stop,
               std::chrono::milliseconds idleReset);
  ~InputSession();
  InputSession(const InputSession&) = delete;
  InputSession& operator=(const InputSession&) = delete;

  // False when a reply could not be sent (stopped, or the peer is gone).
  bool Received(const uint8_t* data, size_t count);
  // Call between reads.
  void Idle();

 private:
  Simulator& simulator_;
  Simulator::Stream stream_;
  WriteAll write_;
  const StopSignal& stop_;
  std::chrono::milliseconds idleReset_;
  std::chrono::steady_clock::time_point lastInput_;
};

}  // namespace sim
