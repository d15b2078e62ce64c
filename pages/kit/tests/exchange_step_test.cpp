// The exchange step: every check of each frame family failing in turn, in its order; a closed
// port; the TCP channel's own acceptance; reply buffers and the TCP minimum.
#include "pages/kit/exchange_step.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages {
namespace {

using devlink::Bytes;
using devlink::ExchangeStatus;
using devlink::FrameCheck;
using devlink::testing::ScriptedChannel;
using pages::testing::Reseal;
using pages::testing::SumReply;
using pages::testing::WithXor;

const Bytes kSumRequest{0x25, 0x01, 0x0A, 0xAA, 0x00, 0x66, 0x36};  // command 0x0A

// A reply changed by `edit`; the sum is recomputed unless the edit is of the sum itself.
Bytes Edited(Bytes frame, const std::function<void(Bytes&)>& edit, bool reseal = true) {
  edit(frame);
  if (reseal) Reseal(frame);
  return frame;
}

struct CheckCase {
  const char* name;
  ReplyRule rule;
  Bytes reply;
  FrameCheck expected;
};

class SumChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SumChecks, FirstFailedCheckInOrder) {
  const CheckCase& c = GetParam();
  EXPECT_EQ(CheckReply(c.reply, kSumRequest, c.rule), c.expected) << c.name;
}

const Bytes kAck = SumReply(1, 0x0A, {0x55});

INSTANTIATE_TEST_SUITE_P(
    Cases, SumChecks,
    ::testing::Values(
        CheckCase{"passes", SumRule(8).Ack(), kAck, FrameCheck::Ok},
        CheckCase{"short", SumRule(8).Ack(), Bytes(kAck.begin(), kAck.end() - 1), FrameCheck::Length},
        CheckCase{"empty", SumRule(8), {}, FrameCheck::Length},
        // A wrong start byte is found before the wrong echo, the echo before the sum, ...
        CheckCase{"start before echo", SumRule(8).Ack(),
                  Edited(kAck, [](Bytes& b) { b[0] = 0x25; b[2] = 0x0B; }), FrameCheck::StartByte},
        CheckCase{"echo before sum", SumRule(8).Ack(),
                  Edited(kAck, [](Bytes& b) { b[2] = 0x0B; b[7] ^= 1; }, false), FrameCheck::Echo},
        CheckCase{"sum before end", SumRule(8).Ack(),
                  Edited(kAck, [](Bytes& b) { b[6] = 0x67; b[7] ^= 1; }, false),
                  FrameCheck::Checksum},
        CheckCase{"end before ack", SumRule(8).Ack(),
                  Edited(kAck, [](Bytes& b) { b[6] = 0x67; b[5] = 0x00; }), FrameCheck::EndMarker},
        CheckCase{"ack", SumRule(8).Ack(), Edited(kAck, [](Bytes& b) { b[5] = 0x00; }),
                  FrameCheck::Ack},
        CheckCase{"other ack byte", SumRule(8).Ack(0xAA), kAck, FrameCheck::Ack},
        // Checks switched off are skipped, the others still hold.
        CheckCase{"no start", SumRule(8).NoStart(), Edited(kAck, [](Bytes& b) { b[0] = 0; }),
                  FrameCheck::Ok},
        CheckCase{"no echo", SumRule(8).NoEcho(), Edited(kAck, [](Bytes& b) { b[2] = 0; }),
                  FrameCheck::Ok},
        CheckCase{"no end", SumRule(8).NoEnd(), Edited(kAck, [](Bytes& b) { b[6] = 0; }),
                  FrameCheck::Ok},
        CheckCase{"no end, sum still", SumRule(8).NoEnd(),
                  Edited(kAck, [](Bytes& b) { b[7] ^= 1; }, false), FrameCheck::Checksum},
        // A set of lengths, and a length the frame gives.
        CheckCase{"range low", SumRule(10).UpTo(11), SumReply(1, 0x0A, {1, 2, 3}), FrameCheck::Ok},
        CheckCase{"range high", SumRule(10).UpTo(11), SumReply(1, 0x0A, {1, 2, 3, 4}),
                  FrameCheck::Ok},
        CheckCase{"range beyond", SumRule(10).UpTo(11), SumReply(1, 0x0A, {1, 2, 3, 4, 5}),
                  FrameCheck::Length},
        CheckCase{"from frame", SumRuleFromFrame(8), SumReply(1, 0x0A, {1, 2, 3, 4, 5}),
                  FrameCheck::Ok},
        CheckCase{"from frame, below the shortest", SumRuleFromFrame(9), kAck,
                  FrameCheck::Length},
        CheckCase{"from frame, length byte disagrees", SumRuleFromFrame(8),
                  Edited(SumReply(1, 0x0A, {1, 2}), [](Bytes& b) { b[4] = 3; }),
                  FrameCheck::Length}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

// Modbus checks switched off: a reply whose byte count or function code differs passes as
// long as its CRC holds; the CRC is still checked, and a function check left on still fails first.
TEST(ModbusAndXorChecks, ByteCountAndFunctionChecksSwitchedOff) {
  const Bytes request = devlink::BuildModbusRead(0x01, 0x4010, 1);
  Bytes badCount{0x01, 0x03, 0x04, 0x37, 0x39};
  devlink::AppendCrc16(badCount);
  EXPECT_EQ(CheckReply(badCount, request, ModbusRule(7)), FrameCheck::ByteCount);
  EXPECT_EQ(CheckReply(badCount, request, ModbusRule(7).NoByteCount()), FrameCheck::Ok);
  Bytes otherFunction{0x01, 0x04, 0x02, 0x37, 0x39};
  devlink::AppendCrc16(otherFunction);
  EXPECT_EQ(CheckReply(otherFunction, request, ModbusRule(7).NoByteCount()), FrameCheck::Echo);
  EXPECT_EQ(CheckReply(otherFunction, request, ModbusRule(7).NoEcho()), FrameCheck::Ok);
  // Without the function check a 0x03 reply still has its byte count checked.
  EXPECT_EQ(CheckReply(badCount, request, ModbusRule(7).NoEcho()), FrameCheck::ByteCount);
  Bytes crc = badCount;
  crc.back() ^= 1;
  EXPECT_EQ(CheckReply(crc, request, ModbusRule(7).NoEcho().NoByteCount()), FrameCheck::Checksum);
  EXPECT_EQ(CheckReply(Bytes(badCount.begin(), badCount.end() - 1), request,
                       ModbusRule(7).NoEcho().NoByteCount()),
            FrameCheck::Length);
}

TEST(ModbusAndXorChecks, EachCheckInOrder) {
  // 01 03 02 00 2A + CRC: one register read.
  Bytes modbus{0x01, 0x03, 0x02, 0x00, 0x2A};
  devlink::AppendCrc16(modbus);
  const Bytes modbusRequest = devlink::BuildModbusRead(0x01, 0x0067, 1);
  EXPECT_EQ(CheckReply(modbus, modbusRequest, ModbusRule(7)), FrameCheck::Ok);
  EXPECT_EQ(CheckReply(modbus, modbusRequest, ModbusRule(8)), FrameCheck::Length);
  Bytes echo = modbus;
  echo[1] = 0x06;
  EXPECT_EQ(CheckReply(echo, modbusRequest, ModbusRule(7)), FrameCheck::Echo);
  Bytes count = modbus;
  count[2] = 0x04;
  EXPECT_EQ(CheckReply(count, modbusRequest, ModbusRule(7)), FrameCheck::ByteCount);
  Bytes crc = modbus;
  crc.back() ^= 1;
  EXPECT_EQ(CheckReply(crc, modbusRequest, ModbusRule(7)), FrameCheck::Checksum);

  const Bytes xorRequest = devlink::BuildXorFrame(devlink::kXorRead, 0x01);
  const Bytes xorReply = WithXor({0x7B, 0x80, 0x01, 0x00, 0x01, 0x05});
  EXPECT_EQ(CheckReply(xorReply, xorRequest, XorRule(64)), FrameCheck::Ok);
  Bytes start = xorReply;
  start[0] = 0x7C;
  start[2] = 0x02;  // also the echo: the start byte is found first
  EXPECT_EQ(CheckReply(WithXor(Bytes(start.begin(), start.end() - 1)), xorRequest, XorRule(64)),
            FrameCheck::StartByte);
  Bytes kind = xorReply;
  kind[1] = 0x81;
  EXPECT_EQ(CheckReply(WithXor(Bytes(kind.begin(), kind.end() - 1)), xorRequest, XorRule(64)),
            FrameCheck::Kind);
  Bytes length = xorReply;
  length[4] = 0x02;  // announces two payload bytes, carries one
  EXPECT_EQ(CheckReply(WithXor(Bytes(length.begin(), length.end() - 1)), xorRequest,
                       XorRule(64)),
            FrameCheck::Length);
}

TEST(RunExchange, ClosedPortSilenceAndFailedChecksGiveTheirTexts) {
  ScriptedChannel channel;
  channel.Expect(kSumRequest, {}, ExchangeStatus::PortNotOpen);
  channel.Expect(kSumRequest, {}, ExchangeStatus::NoReply);
  channel.Expect(kSumRequest, {});
  channel.Expect(kSumRequest, kAck);
  const ReplyRule rule = SumRule(8).Ack();
  EXPECT_EQ(RunExchange(channel, kSumRequest, rule, "设置失败").message(), "串口打开失败");
  EXPECT_EQ(RunExchange(channel, kSumRequest, rule, "设置失败").message(), "设置失败");
  EXPECT_EQ(RunExchange(channel, kSumRequest, rule, "设置失败").message(), "设置失败");
  const Result<Bytes> passed = RunExchange(channel, kSumRequest, rule, "设置失败");
  EXPECT_TRUE(passed.ok());
  EXPECT_EQ(passed.value, kAck);
  EXPECT_TRUE(channel.Problems().empty());
  // An empty request (a frame that could not be built) sends nothing.
  EXPECT_EQ(RunExchange(channel, {}, rule, "设置失败").message(), "设置失败");
  EXPECT_EQ(channel.Sent().size(), 4u);
}

TEST(RunExchange, ReplyBufferAndTcpMinimumFollowTheRule) {
  ScriptedChannel channel;
  for (int i = 0; i < 6; ++i) channel.Expect({}, {});
  RunExchange(channel, kSumRequest, SumRule(10).UpTo(11), "x");
  RunExchange(channel, kSumRequest, SumRuleFromFrame(8), "x");
  RunExchange(channel, devlink::BuildXorFrame(0, 1), XorRule(1024), "x");
  RunExchange(channel, kSumRequest, NoReplyRule(), "x");
  RunExchange(channel, kSumRequest, SumRule(8).Ack(), "x");
  RunExchange(channel, kSumRequest, SumRule(8).SerialDelayTimes(2), "x");
  const auto& specs = channel.Specs();
  ASSERT_EQ(specs.size(), 6u);
  EXPECT_EQ(specs[4].serialDelayFactor, 1);
  EXPECT_EQ(specs[5].serialDelayFactor, 2);
  // Fast mode: one expected length ends the read there; otherwise the frame's own length does.
  EXPECT_EQ(specs[0].completion.expectedLength, 0u);
  EXPECT_EQ(specs[1].completion.expectedLength, 0u);
  EXPECT_EQ(specs[2].completion.family, devlink::FrameFamily::Xor);
  EXPECT_EQ(specs[4].completion.expectedLength, 8u);
  EXPECT_EQ(specs[0].capacity, 11u);
  EXPECT_EQ(specs[0].minimum, 10u);
  EXPECT_EQ(specs[1].capacity, devlink::kSerialReadLimit);
  EXPECT_EQ(specs[1].minimum, 8u);
  EXPECT_EQ(specs[2].capacity, 1024u);
  EXPECT_EQ(specs[2].minimum, 6u);
  EXPECT_EQ(specs[2].family, devlink::FrameFamily::Xor);
  EXPECT_EQ(specs[3].capacity, 0u);
}

TEST(RunExchange, ChannelAcceptanceReplacesTheChecksOnlyWhereTheRuleSaysSo) {
  // Not acknowledged and no end marker, but '<' and a good sum: what the TCP channel accepts.
  const Bytes reply = Edited(kAck, [](Bytes& b) { b[5] = 0x00; b[6] = 0x00; });
  ScriptedChannel tcp;
  tcp.AcceptLikeTcp();
  for (int i = 0; i < 3; ++i) tcp.Expect({}, reply);
  EXPECT_TRUE(RunExchange(tcp, kSumRequest, SumRule(8).Ack().ChannelRuleSuffices(), "x").ok());
  EXPECT_FALSE(RunExchange(tcp, kSumRequest, SumRule(8).Ack(), "x").ok());
  // The length is still the command's.
  EXPECT_FALSE(RunExchange(tcp, kSumRequest, SumRule(7).Capacity(8).ChannelRuleSuffices(), "x").ok());

  // The same reply on a serial channel gets every check.
  ScriptedChannel serial;
  serial.Expect({}, reply);
  EXPECT_FALSE(RunExchange(serial, kSumRequest, SumRule(8).Ack().ChannelRuleSuffices(), "x").ok());
}

}  // namespace
}  // namespace pages

namespace pages {
namespace {

TEST(RunExchange, FailureDetailNamesTheFailedCheck) {
  struct Case {
    ReplyRule rule;
    Bytes reply;
    const char* detail;
  };
  const Case cases[] = {
      {SumRule(8), Edited(kAck, [](Bytes& b) { b.back() ^= 0xFF; }, false),
       "reply 8 bytes, Sum8 mismatch"},
      {SumRule(8), Bytes(kAck.begin(), kAck.begin() + 5), "reply 5 bytes, expected 8"},
      {SumRule(10).UpTo(11), Bytes(9, 0x3C), "reply 9 bytes, expected 10..11"},
      {SumRule(8).Ack(), Edited(kAck, [](Bytes& b) { b[5] = 0x00; }), "reply 8 bytes, not acknowledged"},
      {SumRule(8), {}, "no reply, expected 8"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect(kSumRequest, c.reply);
    const Result<Bytes> result = RunExchange(channel, kSumRequest, c.rule, "读取失败");
    EXPECT_EQ(result.message(), "读取失败");
    EXPECT_EQ(result.outcome.detail, c.detail);
  }
}

}  // namespace
}  // namespace pages
