#include "link/relay_frame.h"

namespace devlink {

namespace {

constexpr size_t kMaxAfterCount = 0xFF;  // N is one byte
constexpr size_t kCommandOffset = 4;

FrameCheck CheckFor(size_t offset, size_t size) {
  if (offset == 0) return FrameCheck::StartByte;
  if (offset == kCommandOffset) return FrameCheck::Echo;
  if (offset + 1 == size) return FrameCheck::EndMarker;
  return FrameCheck::FixedByte;
}

}  // namespace

void AppendRelayCrc(Bytes& frame) {
  if (frame.size() < 2) return;
  const uint16_t crc =
      Crc16Modbus(frame.data() + 1, static_cast<uint32_t>(frame.size() - 1));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
}

Bytes BuildRelayFrame(uint8_t command, ByteView payload, RelayCrc crc, uint8_t marker) {
  const size_t after = payload.size() + 1 + (crc == RelayCrc::HighFirst ? 2 : 0);
  if (after > kMaxAfterCount) return {};
  Bytes frame;
  frame.reserve(kRelayHeader + after);
  for (uint8_t byte : {kRelayRequestStart, kRelayFiller, kRelayFiller, marker, command,
                       static_cast<uint8_t>(after)}) {
    frame.push_back(byte);
  }
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(kRelayEnd);
  if (crc == RelayCrc::HighFirst) AppendRelayCrc(frame);
  return frame;
}

Bytes BuildRelayRead(uint8_t command) { return BuildRelayFrame(command, {}, RelayCrc::None); }

RelayReply RelayAnswer(size_t length, int command, uint8_t count, bool zeroByte3) {
  RelayReply reply;
  reply.length = length;
  reply.fixed.push_back({0, kRelayReplyStart});
  if (zeroByte3) reply.fixed.push_back({3, 0x00});
  if (command >= 0) reply.fixed.push_back({kCommandOffset, static_cast<uint8_t>(command)});
  reply.fixed.push_back({5, count});
  if (length > 0) reply.fixed.push_back({length - 1, kRelayEnd});
  return reply;
}

RelayReply RelayExactReply(std::string_view bytes) {
  RelayReply reply;
  reply.length = bytes.size();
  for (size_t i = 0; i < bytes.size(); ++i) {
    reply.fixed.push_back({i, static_cast<uint8_t>(bytes[i])});
  }
  return reply;
}

FrameCheck CheckRelayReply(ByteView reply, const RelayReply& expected) {
  if (expected.lengthFromByte5) {
    if (reply.size() < expected.length || reply.size() <= 5 ||
        reply.size() != size_t{reply[5]} + kRelayHeader) {
      return FrameCheck::Length;
    }
  } else if (reply.size() != expected.length) {
    return FrameCheck::Length;
  }
  for (const FixedByte& fixed : expected.fixed) {
    if (fixed.offset >= reply.size() || reply[fixed.offset] != fixed.value) {
      return CheckFor(fixed.offset, reply.size());
    }
  }
  if (expected.endsWithEnd && (reply.empty() || reply.back() != kRelayEnd)) {
    return FrameCheck::EndMarker;
  }
  return FrameCheck::Ok;
}

}  // namespace devlink
