#pragma once
// What went over the wire: one entry per exchange, handed to an observer on the thread that ran
// the exchange. The program's traffic window and tool-cli's --trace read the same entries, and
// the failure words here are the `detail` tool-cli prints beside a failed command's message.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/codecs.h"
#include "link/frames.h"

namespace devlink {

struct TrafficEntry {
  std::chrono::system_clock::time_point time;  // when the request was written
  std::string channel;                         // serial port name, or IP:port
  Bytes request;
  Bytes reply;  // what arrived (on TCP, the last attempt's bytes)
  // From the request's write to the last reply byte; none when nothing arrived.
  std::optional<std::chrono::microseconds> lastByte;
  std::string failure;  // empty when the exchange and its checks passed
};

class TrafficObserver {
 public:
  virtual ~TrafficObserver() = default;
  // Called on the thread that ran the exchange; several threads may call at once.
  virtual void OnExchange(const TrafficEntry& entry) = 0;
};

// One line per entry: "12:00:01.234 /dev/ttyUSB0 > 25 01 0C AA 00 66 < 3C 01 ... (12.3 ms) why".
std::string FormatTrafficTime(std::chrono::system_clock::time_point time);
std::string FormatLastByte(const TrafficEntry& entry);  // "12.3", or "" when nothing arrived
std::string FormatTrafficLine(const TrafficEntry& entry);

// The failure words, shared by the link, the command checks and tool-cli.
std::string NoReplyDetail(int32_t delayMs);
// "reply 11 bytes, Sum8 mismatch"; `expected` fills the length failure ("expected 15").
std::string CheckDetail(size_t replyLength, FrameCheck check, FrameFamily family,
                        const std::string& expected = {});

// The last `limit` entries, kept only while recording is on. Safe to feed from any thread.
class TrafficLog : public TrafficObserver {
 public:
  explicit TrafficLog(size_t limit = 10000) : limit_(limit) {}
  void SetRecording(bool on);
  bool Recording() const;
  void OnExchange(const TrafficEntry& entry) override;
  // Entries numbered from `next` on (numbers count every entry ever kept); `next` moves past
  // them. Entries that fell out of the window are skipped.
  std::vector<TrafficEntry> TakeSince(uint64_t& next) const;
  void Clear();
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  const size_t limit_;
  bool recording_ = false;
  std::deque<TrafficEntry> entries_;
  uint64_t firstNumber_ = 0;  // the number of entries_.front()
};

}  // namespace devlink
