#pragma once
// The instrument simulator: the far end of every frame family, written from the byte tables of
// the instruments, not from the program's own encoders. It shares only the check functions with
// the link.
//
// Extending it: each instrument family lives in its own file sim/families/<family>.cpp with a
// function `void Register<Family>(Simulator&)`, named by the family's line in
// pages/CMakeLists.txt (instruments that no one page owns are listed in sim/families.cpp). A family keeps its own
// state type, reached through Instrument::State<T>(), so families never edit a shared struct.
//
// Frame families ("sum", "modbus", "xor", see sim/framing.h) tell how long a request is; handlers
// registered for a frame family answer the complete requests of that family. Bytes that begin no
// frame of any family are dropped one at a time until a frame starts again.
#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// One simulated instrument. Common fields plus per-family state.
struct Instrument {
  uint8_t address = 1;

  template <class T>
  T& State() {
    auto& slot = states_[std::type_index(typeid(T))];
    if (!slot.has_value()) slot = T{};
    return std::any_cast<T&>(slot);
  }

 private:
  std::map<std::type_index, std::any> states_;
};

// How many bytes a request of a frame family needs. Returns 0 while more bytes are needed to
// know, the full length once it is known, and std::nullopt when the buffer does not start a
// frame of this family.
using Measure = std::function<std::optional<size_t>(const Bytes& buffer)>;
// Answers a complete request, or std::nullopt when the request is not one this handler knows.
// An empty reply means "stay silent".
using Handler = std::function<std::optional<Bytes>(Instrument&, const Bytes& request)>;

// Everything the simulator needs to know about a frame family besides its handlers.
struct Framing {
  Measure measure;
  // True when a complete request's check value (and fixed bytes) are right. A buffer that fails
  // it is taken as line noise: its first byte is dropped and the search for a frame goes on.
  // Absent: every measured frame is intact.
  std::function<bool(const Bytes& request)> intact;
  // True when the request is meant for this instrument. Other requests are logged and left
  // unanswered, as a device on a shared bus does. Absent: every request is.
  std::function<bool(const Instrument&, const Bytes& request)> addressed;
  // The reply when no handler knows the request (for example a Modbus exception). Absent: silent.
  Handler unhandled;
  // Recomputes a reply's check value after a fault has changed one of its bytes.
  std::function<void(Bytes& reply)> seal;
  size_t echoOffset = 2;         // reply byte that echoes the request's command
  size_t endFromBack = 0;        // end marker's position counted from the end (0: no end marker)
};

// Misbehaviour on demand; applies to every reply until cleared (or to the next `onlyNext`).
struct Faults {
  bool silent = false;          // no reply at all
  bool wrongSum = false;        // last byte (check value) changed
  bool wrongEcho = false;       // echoed command changed (check value kept valid)
  bool wrongEnd = false;        // SumFrame 'f' end marker changed (check value kept valid)
  size_t truncateTo = 0;        // reply cut to this many bytes (0: whole)
  int latencyMs = 0;            // reply sent this long after the request
  size_t splitAt = 0;           // reply sent in two pieces: first `splitAt` bytes, then the rest
  int splitGapMs = 0;           // pause between the two pieces
  size_t extraBytes = 0;        // this many filler bytes (0x00) appended to a reply (oversize)
  int onlyNext = 0;             // 0: every reply; n > 0: only the next n requests, then cleared
};

// A reply ready to be sent, with the timing the transport is to give it.
struct Outgoing {
  Bytes bytes;                  // after the content faults; empty: send nothing
  int latencyMs = 0;
  size_t splitAt = 0;
  int splitGapMs = 0;
  int wireBaud = 0;             // 0: as fast as the transport goes
};

class Simulator {
 public:
  // The input side of one connection: bytes waiting for a frame to complete, and dropped noise
  // waiting to be logged. The simulator keeps one for its own Feed(); transports keep one per
  // connection.
  struct Stream {
    Bytes pending;
    Bytes noise;
  };

  Simulator();  // registers every family

  void AddFamily(std::string name, Measure measure);
  void AddFamily(std::string name, Framing framing);
  // Adds a handler to a family added before; throws std::invalid_argument for an unknown family.
  void AddHandler(const std::string& family, Handler handler);
  // As AddHandler, but the handler hears each request before those added earlier: for a
  // device that takes over the line while it is reachable (a logger behind the Bluetooth adapter).
  void AddHandlerFirst(const std::string& family, Handler handler);

  // Feeds received bytes; returns the replies for every request completed by them (silent
  // requests give no entry).
  std::vector<Outgoing> Feed(const uint8_t* data, size_t count);
  std::vector<Outgoing> Feed(Stream& stream, const uint8_t* data, size_t count);
  // Ends the current input: whatever is pending is logged as it is and dropped, so a cut-off
  // request cannot swallow the next one. Transports call it after an idle gap or a disconnect.
  void ResetInput();
  void ResetInput(Stream& stream);
  // Answers one complete request (content faults applied; empty: silent).
  Bytes Answer(const Bytes& request);

  Instrument& Device();  // lock Mutex() while transports run, or use WithDevice()
  template <class F>
  auto WithDevice(F&& f) {
    std::lock_guard lock(mutex_);
    return f(device_);
  }

  void SetFaults(const Faults& faults);
  Faults CurrentFaults() const;
  // Every request received so far, as complete frames; dropped noise and cut-off input appear
  // as one entry per run of bytes. Only the most recent kMaxLogEntries are kept.
  std::vector<Bytes> RequestLog() const;
  void ClearLog();
  static constexpr size_t kMaxLogEntries = 10000;
  // Wire-time emulation: each reply byte takes 10 bits at this baud rate (0: off).
  void SetWireBaud(int baud);
  int WireBaud() const;
  // Called for every complete request with the reply it got (empty when silent).
  void SetTrace(std::function<void(const Bytes& request, const Bytes& reply)> trace);

  std::mutex& Mutex() const { return mutex_; }

 private:
  struct Family {
    std::string name;
    Framing framing;
    std::vector<Handler> handlers;
  };
  // The family of that name (callers hold the lock); throws std::invalid_argument if none.
  Family& FamilyNamed(const std::string& name);
  enum class Scan { kFrame, kNeedMore, kNoise };
  Scan Recognise(const Bytes& buffer, size_t* family, size_t* length) const;
  Outgoing Respond(const Family& family, const Bytes& request);
  void ApplyContentFaults(const Family& family, Bytes& reply) const;
  void Log(Bytes entry);
  void FlushNoise(Stream& stream);

  mutable std::mutex mutex_;
  std::vector<Family> families_;
  Instrument device_;
  Faults faults_;
  std::deque<Bytes> log_;
  Stream stream_;
  int wireBaud_ = 0;
  std::function<void(const Bytes&, const Bytes&)> trace_;
};

}  // namespace sim
