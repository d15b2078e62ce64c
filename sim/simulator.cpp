#include "sim/simulator.h"

#include <stdexcept>

namespace sim {

void RegisterFamilies(Simulator& simulator);  // sim/families.cpp

namespace {
// Longest request any family waits for; beyond it the first byte is taken as noise.
constexpr size_t kMaxPending = 4096;
}  // namespace

Simulator::Simulator() { RegisterFamilies(*this); }

void Simulator::AddFamily(std::string name, Measure measure) {
  Framing framing;
  framing.measure = std::move(measure);
  AddFamily(std::move(name), std::move(framing));
}

void Simulator::AddFamily(std::string name, Framing framing) {
  if (!framing.measure) throw std::invalid_argument("frame family without a measure: " + name);
  std::lock_guard lock(mutex_);
  for (const auto& family : families_) {
    if (family.name == name) throw std::invalid_argument("frame family added twice: " + name);
  }
  families_.push_back(Family{std::move(name), std::move(framing), {}});
}

Simulator::Family& Simulator::FamilyNamed(const std::string& name) {
  for (auto& f : families_) {
    if (f.name == name) return f;
  }
  throw std::invalid_argument("handler for an unknown frame family: " + name);
}

void Simulator::AddHandler(const std::string& family, Handler handler) {
  std::lock_guard lock(mutex_);
  FamilyNamed(family).handlers.push_back(std::move(handler));
}

void Simulator::AddHandlerFirst(const std::string& family, Handler handler) {
  std::lock_guard lock(mutex_);
  auto& handlers = FamilyNamed(family).handlers;
  handlers.insert(handlers.begin(), std::move(handler));
}

// The first family (in the order they were added) that sees a complete, intact frame at the
// start of the buffer wins. If none does but one still needs bytes, wait; otherwise the first
// byte is noise.
Simulator::Scan Simulator::Recognise(const Bytes& buffer, size_t* family, size_t* length) const {
  bool needMore = false;
  for (size_t i = 0; i < families_.size(); ++i) {
    const Framing& framing = families_[i].framing;
    std::optional<size_t> size = framing.measure(buffer);
    if (!size) continue;
    if (*size == 0 || *size > buffer.size()) {
      needMore = true;
      continue;
    }
    if (framing.intact && !framing.intact(Bytes(buffer.begin(), buffer.begin() + *size))) continue;
    *family = i;
    *length = *size;
    return Scan::kFrame;
  }
  return needMore && buffer.size() < kMaxPending ? Scan::kNeedMore : Scan::kNoise;
}

std::vector<Outgoing> Simulator::Feed(const uint8_t* data, size_t count) {
  return Feed(stream_, data, count);
}

std::vector<Outgoing> Simulator::Feed(Stream& stream, const uint8_t* data, size_t count) {
  std::lock_guard lock(mutex_);
  stream.pending.insert(stream.pending.end(), data, data + count);
  std::vector<Outgoing> replies;
  while (!stream.pending.empty()) {
    size_t family = 0;
    size_t length = 0;
    Scan scan = Recognise(stream.pending, &family, &length);
    if (scan == Scan::kNeedMore) break;
    if (scan == Scan::kNoise) {
      stream.noise.push_back(stream.pending.front());
      stream.pending.erase(stream.pending.begin());
      continue;
    }
    FlushNoise(stream);
    Bytes request(stream.pending.begin(), stream.pending.begin() + length);
    stream.pending.erase(stream.pending.begin(), stream.pending.begin() + length);
    Outgoing reply = Respond(families_[family], request);
    if (!reply.bytes.empty()) replies.push_back(std::move(reply));
  }
  return replies;
}

void Simulator::ResetInput() { ResetInput(stream_); }

void Simulator::ResetInput(Stream& stream) {
  std::lock_guard lock(mutex_);
  stream.noise.insert(stream.noise.end(), stream.pending.begin(), stream.pending.end());
  stream.pending.clear();
  FlushNoise(stream);
}

Bytes Simulator::Answer(const Bytes& request) {
  std::lock_guard lock(mutex_);
  size_t family = 0;
  size_t length = 0;
  if (Recognise(request, &family, &length) != Scan::kFrame || length != request.size()) {
    Log(request);
    if (trace_) trace_(request, {});
    return {};
  }
  return Respond(families_[family], request).bytes;
}

Outgoing Simulator::Respond(const Family& family, const Bytes& request) {
  Log(request);
  Outgoing out;
  const Framing& framing = family.framing;
  if (!framing.addressed || framing.addressed(device_, request)) {
    std::optional<Bytes> reply;
    for (const auto& handler : family.handlers) {
      reply = handler(device_, request);
      if (reply) break;
    }
    if (!reply && framing.unhandled) reply = framing.unhandled(device_, request);
    if (reply && !reply->empty()) {
      out.bytes = std::move(*reply);
      ApplyContentFaults(family, out.bytes);
      out.latencyMs = faults_.latencyMs;
      out.splitAt = faults_.splitAt;
      out.splitGapMs = faults_.splitGapMs;
      out.wireBaud = wireBaud_;
      if (faults_.onlyNext > 0 && --faults_.onlyNext == 0) faults_ = Faults{};
    }
  }
  if (trace_) trace_(request, out.bytes);
  return out;
}

void Simulator::ApplyContentFaults(const Family& family, Bytes& reply) const {
  const Faults& f = faults_;
  const Framing& framing = family.framing;
  if (f.silent) {
    reply.clear();
    return;
  }
  bool reseal = false;
  if (f.wrongEcho && framing.echoOffset < reply.size()) {
    reply[framing.echoOffset] = static_cast<uint8_t>(reply[framing.echoOffset] + 1);
    reseal = true;
  }
  if (f.wrongEnd && framing.endFromBack != 0 && framing.endFromBack <= reply.size()) {
    uint8_t& end = reply[reply.size() - framing.endFromBack];
    end = static_cast<uint8_t>(end + 1);
    reseal = true;
  }
  if (reseal && framing.seal) framing.seal(reply);
  if (f.wrongSum) reply.back() = static_cast<uint8_t>(reply.back() + 1);
  reply.insert(reply.end(), f.extraBytes, 0x00);
  if (f.truncateTo != 0 && f.truncateTo < reply.size()) reply.resize(f.truncateTo);
}

void Simulator::Log(Bytes entry) {
  log_.push_back(std::move(entry));
  while (log_.size() > kMaxLogEntries) log_.pop_front();
}

void Simulator::FlushNoise(Stream& stream) {
  if (stream.noise.empty()) return;
  if (trace_) trace_(stream.noise, {});
  Log(std::move(stream.noise));
  stream.noise.clear();
}

Instrument& Simulator::Device() { return device_; }

void Simulator::SetFaults(const Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

Faults Simulator::CurrentFaults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

std::vector<Bytes> Simulator::RequestLog() const {
  std::lock_guard lock(mutex_);
  return {log_.begin(), log_.end()};
}

void Simulator::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void Simulator::SetWireBaud(int baud) {
  std::lock_guard lock(mutex_);
  wireBaud_ = baud > 0 ? baud : 0;
}

int Simulator::WireBaud() const {
  std::lock_guard lock(mutex_);
  return wireBaud_;
}

void Simulator::SetTrace(std::function<void(const Bytes&, const Bytes&)> trace) {
  std::lock_guard lock(mutex_);
  trace_ = std::move(trace);
}

}  // namespace sim
