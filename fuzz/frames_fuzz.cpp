// Fuzz target: the length and reply checks of the three frame families and of the relay's
// replies, as every command applies them. Byte 0 is the command or function the reply must echo,
// byte 1 the expected length, byte 2 the checks switched on; the rest is the reply. Besides
// crashes and sanitizer reports, a reply that passes must have the shape its check promises, and
// the payload and register views of it must lie inside it.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_channel.h"
#include "link/frames.h"
#include "link/relay_frame.h"
#include "pages/kit/exchange_step.h"

namespace {

using devlink::ByteView;
using devlink::FrameCheck;
using devlink::FrameFamily;
using fuzzing::Check;

void SumChecks(ByteView reply, uint8_t command, size_t expected, uint8_t flags) {
  devlink::SumReplyChecks checks;
  checks.start = flags & 0x01;
  checks.echo = flags & 0x02;
  checks.end = flags & 0x04;
  checks.ack = flags & 0x08;
  checks.ackByte = (flags & 0x10) ? devlink::kAck : 0xAA;
  const FrameCheck fixed = devlink::CheckSumFrame(reply, command, expected, checks);
  if (fixed == FrameCheck::Ok) {
    Check(reply.size() == expected && reply.size() >= devlink::kSumFrameOverhead - 2);
    if (checks.start) Check(reply[0] == devlink::kSumReplyStart);
    if (checks.echo) Check(reply[2] == command);
  }
  if (devlink::CheckSumFrame(reply, command, expected, (flags & 0x08) != 0) == FrameCheck::Ok) {
    Check(reply.size() == expected && reply[0] == devlink::kSumReplyStart && reply[2] == command);
  }
  if (devlink::CheckSumFrameVariable(reply, command, expected, (flags & 0x08) != 0) ==
      FrameCheck::Ok) {
    Check(reply.size() > expected && reply.size() == size_t{reply[4]} + 7);
    Check(devlink::SumFramePayload(reply).size() == reply[4]);
  }
  const ByteView payload = devlink::SumFramePayload(reply);
  if (!payload.empty()) {
    Check(payload.data() >= reply.data() && payload.data() + payload.size() <= reply.data() + reply.size());
  }
}

void ModbusChecks(ByteView reply, uint8_t function, size_t expected) {
  if (devlink::CheckModbusFrame(reply, function, expected) == FrameCheck::Ok) {
    Check(reply.size() == expected && reply[1] == function);
    if (function == devlink::kModbusRead) {
      Check(devlink::ModbusRegisters(reply).size() * 2 + 5 == reply.size());
    }
  }
  // The register view of any reply stays inside it.
  Check(devlink::ModbusRegisters(reply).size() * 2 <= reply.size());
}

void XorChecks(ByteView reply, uint8_t command, uint8_t flags) {
  const devlink::Bytes request = devlink::BuildXorFrame((flags & 1) ? devlink::kXorWrite : devlink::kXorRead,
                                                        command);
  if (devlink::CheckXorFrame(reply, request) == FrameCheck::Ok) {
    const size_t length = size_t{reply[3]} << 8 | reply[4];
    Check(reply.size() == length + devlink::kXorFrameOverhead);
    Check(devlink::XorFramePayload(reply).size() == length);
  }
}

void Completion(ByteView reply, size_t expected) {
  for (const FrameFamily family : {FrameFamily::Sum, FrameFamily::Modbus, FrameFamily::Xor}) {
    const size_t announced = devlink::FrameLength(reply, family);
    for (const bool header : {true, false}) {
      const devlink::ReplyCompletion completion{family, expected, header};
      const bool complete = completion.IsComplete(reply);
      if (header && announced != 0 && reply.size() >= announced) Check(complete);
      if (!header && expected == 0) Check(!complete);
    }
    for (const bool value : {true, false}) {
      const bool passes = devlink::ReplyPassesFamilyCheck(reply, family, value);
      if (reply.empty()) Check(!passes);
    }
  }
}

// The kit's rules as the families build them.
void Rules(ByteView reply, uint8_t command, size_t expected, uint8_t flags) {
  const devlink::Bytes sumRequest = devlink::BuildSumFrame(1, command, 0xAA);
  const devlink::Bytes modbusRequest = devlink::BuildModbusRead(1, command, 2);
  const devlink::Bytes xorRequest = devlink::BuildXorFrame(devlink::kXorRead, command);
  pages::ReplyRule sum = pages::SumRule(expected);
  if (flags & 0x01) sum.NoStart();
  if (flags & 0x02) sum.NoEcho();
  if (flags & 0x04) sum.NoEnd();
  if (flags & 0x08) sum.Ack();
  if (flags & 0x10) sum.UpTo(expected + 8);
  const bool accepted = flags & 0x20;
  if (flags & 0x40) sum.ChannelRuleSuffices();
  (void)pages::CheckReply(reply, sumRequest, sum, accepted);
  (void)pages::CheckReply(reply, sumRequest, pages::SumRuleFromFrame(expected), accepted);
  pages::ReplyRule modbus = pages::ModbusRule(expected);
  if (flags & 0x01) modbus.NoEcho();
  if (flags & 0x02) modbus.NoByteCount();
  (void)pages::CheckReply(reply, modbusRequest, modbus, accepted);
  (void)pages::CheckReply(reply, xorRequest, pages::XorRule(1024), accepted);
  const devlink::RelayReply relay = devlink::RelayAnswer(expected, (flags & 0x80) ? -1 : command,
                                                         flags, (flags & 0x01) != 0);
  if (devlink::CheckRelayReply(reply, relay) == FrameCheck::Ok) {
    Check(reply.size() == expected);
  }
  (void)pages::CheckReply(reply, sumRequest, pages::RelayRule(relay), accepted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t command = data[0];
  const size_t expected = data[1];
  const uint8_t flags = data[2];
  const ByteView reply(data + 3, size - 3);
  SumChecks(reply, command, expected, flags);
  ModbusChecks(reply, command, expected);
  ModbusChecks(reply, devlink::kModbusRead, expected);
  XorChecks(reply, command, flags);
  Completion(reply, (flags & 0x80) ? expected : 0);
  Rules(reply, command, expected, flags);
  return 0;
}
