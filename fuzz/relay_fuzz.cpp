// Fuzz target: the GPRS relay's replies, which carry no check value and are accepted by their
// length and fixed bytes alone: the acceptance rule of each reply shape, then every relay verb
// (GPRS settings, instrument table, clock, phone numbers, print name, power) decoding fuzzed
// replies. Byte 0 picks the verb, byte 1 its option texts and the channel, as in
// commands_fuzz.cpp.
#include <cstddef>
#include <cstdint>

#include "fuzz/command_runner.h"
#include "link/relay_frame.h"
#include "pages/relay/relay_commands.h"

namespace {

void CheckShapes(devlink::ByteView reply) {
  using devlink::FrameCheck;
  static const std::vector<devlink::RelayReply> shapes = [] {
    std::vector<devlink::RelayReply> s = {
        devlink::RelayAnswer(56, 'P', 0x34), devlink::RelayAnswer(7, 'Q', 0x01),
        devlink::RelayAnswer(13, 'S', 0x07), devlink::RelayAnswer(7, -1, 0x01),
        devlink::RelayAnswer(41, 'J', 0x23, false),
        devlink::RelayExactReply("\r\nRec Config OK!"),
        devlink::RelayExactReply("\r\nCommand Rec!")};
    devlink::RelayReply variable;
    variable.length = 8;
    variable.lengthFromByte5 = true;
    variable.fixed = {{0, devlink::kRelayReplyStart}, {4, 'V'}};
    variable.endsWithEnd = true;
    s.push_back(variable);
    return s;
  }();
  for (const devlink::RelayReply& shape : shapes) {
    if (devlink::CheckRelayReply(reply, shape) != FrameCheck::Ok) continue;
    // Accepted: the length is what the shape says, every fixed byte lies inside the reply.
    if (shape.lengthFromByte5) {
      fuzzing::Check(reply.size() >= shape.length && reply.size() == size_t{reply[5]} + 6);
    } else {
      fuzzing::Check(reply.size() == shape.length);
    }
    for (const devlink::FixedByte& fixed : shape.fixed) {
      fuzzing::Check(fixed.offset < reply.size() && reply[fixed.offset] == fixed.value);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<pages::CommandSet> sets = {pages::relay::Commands()};
  static const std::vector<const pages::CommandDef*> verbs = fuzzing::DrivableVerbs(sets);
  if (size > 2) CheckShapes(devlink::ByteView(data + 2, size - 2));
  fuzzing::RunOneVerb(verbs, data, size);
  return 0;
}
