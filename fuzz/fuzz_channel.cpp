#include "fuzz/fuzz_channel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "link/utf8.h"

namespace fuzzing {

devlink::ExchangeResult FuzzChannel::Exchange(devlink::ByteView request,
                                              const devlink::ReplySpec& spec) {
  (void)request;
  if (tcp_ && spec.serialOnly) return {devlink::ExchangeStatus::SerialOnly, {}};
  ++exchanges_;
  if (input_.Exhausted()) ++silent_;
  devlink::Bytes reply;
  if (!input_.NextReply(reply)) return {devlink::ExchangeStatus::NoReply, {}};
  if (spec.capacity == 0) return {devlink::ExchangeStatus::Ok, {}};  // send only
  reply.resize(std::min(reply.size(), std::min(spec.capacity, devlink::kSerialReadLimit)));
  bool accepted = false;
  if (tcp_) {
    // As the TCP channel: below the minimum or failing the family's start byte and check value
    // is no reply at all.
    const size_t minimum = spec.minimum.value_or(spec.capacity);
    if (reply.size() < minimum ||
        !devlink::ReplyPassesFamilyCheck(reply, spec.family, spec.checkSum)) {
      return {devlink::ExchangeStatus::NoReply, {}};
    }
    accepted = true;
  }
  if (spec.completion.expectedLength != 0 || spec.completion.headerTellsLength) {
    (void)spec.completion.IsComplete(reply);
  }
  std::string detail;
  if (spec.verdict) detail = spec.verdict(reply, accepted);
  CheckUtf8(detail, "exchange detail");
  return {devlink::ExchangeStatus::Ok, std::move(reply), accepted, std::move(detail)};
}

pages::StreamStart FuzzStreamLine::Start(devlink::ByteView request) {
  (void)request;
  return pages::StreamStart::Sent;
}

devlink::Bytes FuzzStreamLine::ReadCycle() {
  if (input_.Exhausted()) ++silent_;
  devlink::Bytes chunk;
  if (!input_.NextReply(chunk)) chunk.clear();
  if (chunk.size() > devlink::kSerialReadLimit) chunk.resize(devlink::kSerialReadLimit);
  return chunk;
}

size_t FuzzAdapterPort::Read(uint8_t* buffer, size_t capacity) {
  devlink::Bytes reply;
  if (!input_.NextReply(reply)) return 0;
  const size_t count = std::min(reply.size(), capacity);
  if (count) std::memcpy(buffer, reply.data(), count);
  return count;
}

namespace {

void NoteOnce(const std::string& note) {
  static std::set<std::string> noted;
  if (noted.insert(note).second) std::fprintf(stderr, "fuzz note: %s\n", note.c_str());
}

}  // namespace

void CheckUtf8(const std::string& text, const char* where) {
  if (!devlink::IsValidUtf8(text)) NoteOnce(std::string(where) + ": text that is not UTF-8");
}

void CheckFinite(double value, const char* where) {
  if (!std::isfinite(value)) NoteOnce(std::string(where) + ": a number that is not finite");
}

}  // namespace fuzzing
