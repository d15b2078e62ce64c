#include "fuzz/fuzz_channel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "link/checks.h"
#include "link/utf8.h"

namespace fuzzing {

devlink::ExchangeResult FuzzChannel::Exchange(devlink::ByteView request,
                                              const devlink::ReplySpec& spec) {
  (void)request;
  if (tcp_ && spec.serialOnly) return {devlink::ExchangeStatus::SerialOnly, {}};
  ++exchanges_;
  if (input_.Exhausted() && ++silent_ > silentLimit_ && proceed_) *proceed_ = false;
  devlink::Bytes reply;
  if (!input_.NextReply(reply)) return {devlink::ExchangeStatus::NoReply, {}};
  if (spec.capacity == 0) return {devlink::ExchangeStatus::Ok, {}};  // send only
  reply.resize(std::min(reply.size(), std::min(spec.capacity, devlink::kSerialReadLimit)));
  // Replies without a check value (the relay's) keep their bytes.
  if (repair_ && spec.checkSum) RepairFrame(reply, spec.family);
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
  CheckUtf8(detail, "exchange detail", false);
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

void RepairFrame(devlink::Bytes& reply, devlink::FrameFamily family) {
  const auto size = static_cast<int32_t>(reply.size());
  switch (family) {
    case devlink::FrameFamily::Sum:
      if (reply.size() < devlink::kSumFrameOverhead) return;
      if (reply.size() - devlink::kSumFrameOverhead <= devlink::kSumMaxPayload) {
        reply[4] = static_cast<uint8_t>(reply.size() - devlink::kSumFrameOverhead);
      }
      reply.back() = devlink::Sum8(reply.data(), size - 1);
      return;
    case devlink::FrameFamily::Modbus: {
      if (reply.size() < 4) return;
      if (reply[1] == devlink::kModbusRead && reply.size() >= 5) {
        reply[2] = static_cast<uint8_t>(reply.size() - 5);
      }
      const uint16_t crc = devlink::Crc16Modbus(reply.data(), static_cast<uint32_t>(size - 2));
      reply[reply.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
      reply[reply.size() - 1] = static_cast<uint8_t>(crc >> 8);
      return;
    }
    case devlink::FrameFamily::Xor:
      if (reply.size() < devlink::kXorFrameOverhead) return;
      reply[3] = static_cast<uint8_t>((reply.size() - devlink::kXorFrameOverhead) >> 8);
      reply[4] = static_cast<uint8_t>(reply.size() - devlink::kXorFrameOverhead);
      reply.back() = devlink::Xor8(reply.data(), size - 1, 0);
      return;
  }
}

size_t FuzzAdapterPort::Read(uint8_t* buffer, size_t capacity) {
  devlink::Bytes reply;
  if (!input_.NextReply(reply)) return 0;
  if (repair_) RepairFrame(reply, devlink::FrameFamily::Modbus);
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

void CheckUtf8(const std::string& text, const char* where, bool device) {
  if (!devlink::IsValidUtf8(text)) NoteOnce(std::string(where) + ": text that is not UTF-8");
  if (!device) return;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      NoteOnce(std::string(where) + ": a control character");
      break;
    }
  }
}

void CheckFinite(double value, const char* where) {
  if (!std::isfinite(value)) NoteOnce(std::string(where) + ": a number that is not finite");
}

}  // namespace fuzzing
