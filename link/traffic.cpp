#include "link/traffic.h"

#include <cstdio>
#include <ctime>


namespace devlink {

std::string FormatTrafficTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(time);
  const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(ms < 0 ? ms + 1000 : ms));
  return text;
}

std::string FormatLastByte(const TrafficEntry& entry) {
  if (!entry.lastByte) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(entry.lastByte->count()) / 1000.0);
  return text;
}

std::string FormatTrafficLine(const TrafficEntry& entry) {
  std::string line = FormatTrafficTime(entry.time) + " " + entry.channel + " > " +
                     FormatHex(entry.request) + " <";
  line += entry.reply.empty() ? std::string(" (none)") : " " + FormatHex(entry.reply);
  if (entry.lastByte) line += " (" + FormatLastByte(entry) + " ms)";
  if (!entry.failure.empty()) line += " " + entry.failure;
  return line;
}

std::string NoReplyDetail(int32_t delayMs) {
  return "no reply within " + std::to_string(delayMs) + " ms";
}

namespace {

const char* CheckValueName(FrameFamily family) {
  switch (family) {
    case FrameFamily::Sum: return "Sum8";
    case FrameFamily::Modbus: return "CRC16";
    case FrameFamily::Xor: return "Xor8";
  }
  return "check value";
}

}  // namespace

std::string CheckDetail(size_t replyLength, FrameCheck check, FrameFamily family,
                        const std::string& expected) {
  std::string text = "reply " + std::to_string(replyLength) + " bytes";
  if (replyLength == 0) text = "no reply";
  switch (check) {
    case FrameCheck::Ok: return {};
    case FrameCheck::Length:
      return expected.empty() ? text + ", wrong length" : text + ", expected " + expected;
    case FrameCheck::Checksum: return text + ", " + CheckValueName(family) + " mismatch";
    case FrameCheck::Ack: return text + ", not acknowledged";
    default: return text + ", wrong " + FrameCheckName(check);
  }
}

void TrafficLog::SetRecording(bool on) {
  std::lock_guard lock(mutex_);
  recording_ = on;
}

bool TrafficLog::Recording() const {
  std::lock_guard lock(mutex_);
  return recording_;
}

void TrafficLog::OnExchange(const TrafficEntry& entry) {
  std::lock_guard lock(mutex_);
  if (!recording_ || limit_ == 0) return;
  entries_.push_back(entry);
  while (entries_.size() > limit_) {
    entries_.pop_front();
    ++firstNumber_;
  }
}

std::vector<TrafficEntry> TrafficLog::TakeSince(uint64_t& next) const {
  std::lock_guard lock(mutex_);
  if (next < firstNumber_) next = firstNumber_;
  const uint64_t end = firstNumber_ + entries_.size();
  std::vector<TrafficEntry> taken;
  if (next < end) {
    taken.assign(entries_.begin() + static_cast<std::ptrdiff_t>(next - firstNumber_),
                 entries_.end());
  }
  next = end;
  return taken;
}

void TrafficLog::Clear() {
  std::lock_guard lock(mutex_);
  firstNumber_ += entries_.size();
  entries_.clear();
}

size_t TrafficLog::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace devlink
