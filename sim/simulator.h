#pragma once
// The instrument simulator: the far end of every frame family, written from the byte tables of
// the instruments, not from the program's own encoders. It shares only the check functions with
// the link.
//
// Extending it: each instrument family lives in its own file sim/families/<family>.cpp with a
// function `void Register<Family>(Simulator&)` listed in sim/families.cpp. A family keeps its own
// state type, reached through Instrument::State<T>(), so families never edit a shared struct.
#include <any>
#include <chrono>
#include <cstdint>
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

// Misbehaviour on demand; applies to every reply until cleared.
struct Faults {
  bool silent = false;          // no reply at all
  bool wrongSum = false;        // last byte (check value) changed
  bool wrongEcho = false;       // echoed command changed
  bool wrongEnd = false;        // SumFrame 'f' end marker changed
  size_t truncateTo = 0;        // reply cut to this many bytes (0: whole)
  int latencyMs = 0;            // reply sent this long after the request
  size_t splitAt = 0;           // reply sent in two pieces: first `splitAt` bytes, then the rest
  int splitGapMs = 0;           // pause between the two pieces
  size_t extraBytes = 0;        // this many filler bytes appended to a reply (oversize replies)
};

class Simulator {
 public:
  Simulator();  // registers every family

  void AddFamily(std::string name, Measure measure);
  void AddHandler(std::string family, Handler handler);

  // Feeds received bytes; returns the replies for every request completed by them.
  std::vector<Bytes> Feed(const uint8_t* data, size_t count);
  // Answers one complete request (used by the TCP transport and by tests).
  Bytes Answer(const Bytes& request);

  Instrument& Device();
  void SetFaults(const Faults& faults);
  Faults CurrentFaults() const;
  // Every request received so far, as complete frames (or as raw leftovers on reset).
  std::vector<Bytes> RequestLog() const;
  void ClearLog();
  // Wire-time emulation: each reply byte takes 10 bits at this baud rate (0: off).
  void SetWireBaud(int baud);
  int WireBaud() const;

  std::mutex& Mutex() const { return mutex_; }

 private:
  struct Family {
    std::string name;
    Measure measure;
    std::vector<Handler> handlers;
  };
  mutable std::mutex mutex_;
  std::vector<Family> families_;
  Instrument device_;
  Faults faults_;
  std::vector<Bytes> log_;
  Bytes pending_;
  int wireBaud_ = 0;
};

}  // namespace sim
