// Chiller commands against a scripted channel: tagged read replies, the set point in
// hundredths, error codes.
#include "pages/chiller/chiller_commands.h"

#include <gtest/gtest.h>

#include <cmath>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::chiller {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

using pages::testing::WithXor;

// '{' kind cmd N(2) payload xor
Bytes Reply(uint8_t kind, uint8_t cmd, const Bytes& payload) {
  Bytes frame{0x7B, kind, cmd, static_cast<uint8_t>(payload.size() >> 8),
              static_cast<uint8_t>(payload.size() & 0xFF)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  return WithXor(frame);
}

const Bytes kReadRequest{0x7B, 0x00, 0x01, 0x00, 0x00, 0x7A};

TEST(ChillerRead, TaggedRecordsFillTheState) {
  ScriptedChannel channel;
  channel.Expect(kReadRequest,
                 Reply(0x80, 0x01, {0x01, 0x03, 'A',  'B',  'C',         // container
                                    0x02, 0x04, 0x41, 0xC8, 0x00, 0x00,  // return air 25.0
                                    0x03, 0x04, 0xC0, 0x40, 0x00, 0x00,  // supply air -3.0
                                    0x09, 0x02, 0xAA, 0xBB,              // unknown tag
                                    0x04, 0x04, 0x40, 0x3F, 0xEF, 0x9E,  // set point 2.999
                                    0x05, 0x01, 0x02,                    // cooling
                                    0x06, 0x03, 0x07, 0x0C, 0xFF}));     // alarm codes
  const auto read = ReadState(channel);
  const Outcome& outcome = read.outcome;
  const ChillerState& state = read.value;
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(state.container, "ABC");
  EXPECT_EQ(state.returnAir, "25.00");
  EXPECT_EQ(state.supplyAir, "-3.00");
  ASSERT_TRUE(state.setPoint.has_value());
  EXPECT_DOUBLE_EQ(*state.setPoint, 3.0);
  EXPECT_EQ(state.workMode, 2);
  EXPECT_STREQ(kWorkModes[static_cast<size_t>(state.workMode)], "制冷");
  EXPECT_EQ(state.alarmCodes, "007 012 255 ");
  ASSERT_EQ(channel.Specs().size(), 1u);
  EXPECT_EQ(channel.Specs()[0].family, devlink::FrameFamily::Xor);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(ChillerRead, ModeFiveOrAboveAndMissingTagsLeaveUnknownAndEmpty) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x80, 0x01, {0x05, 0x01, 0x05, 0x01, 0x02, 0xC9, 0x41}));
  const auto read = ReadState(channel);
  ASSERT_TRUE(read.ok());
  const ChillerState& state = read.value;
  EXPECT_EQ(state.workMode, kUnknownMode);
  EXPECT_EQ(state.container, "\u00C9A");  // byte 0xC9 as one character
  EXPECT_EQ(state.returnAir, "");
  EXPECT_FALSE(state.setPoint.has_value());
}

TEST(ChillerRead, MalformedRepliesFailAndKeepTheState) {
  const std::vector<Bytes> replies{
      Reply(0x80, 0x01, {0x01, 0x05, 'A', 'B'}),      // record runs past the payload
      Reply(0x80, 0x01, {0x01, 0x01, 'A', 0x02}),     // tag without a length byte
      Reply(0x80, 0x01, {0x02, 0x02, 0x41, 0xC8}),    // float shorter than 4 bytes
      Reply(0x80, 0x01, {0x02, 0x04, 0x7F, 0xC0, 0x00, 0x00}),  // return air NaN
      Reply(0x80, 0x01, {0x03, 0x04, 0xFF, 0x80, 0x00, 0x00}),  // supply air -infinity
      Reply(0x81, 0x01, {}),                          // kind of a write reply
      Reply(0x80, 0x02, {}),                          // another command
      WithXor({0x7B, 0x80, 0x01, 0x00, 0x02, 0x05}),  // length field says 2, carries 1
  };
  for (const Bytes& reply : replies) {
    ScriptedChannel channel;
    channel.Expect({}, reply);
    EXPECT_EQ(ReadState(channel).message(), "读取失败！");
  }
  ScriptedChannel channel;
  Bytes badXor = Reply(0x80, 0x01, {0x05, 0x01, 0x01});
  badXor.back() ^= 0x01;
  channel.Expect({}, badXor);
  channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  EXPECT_EQ(ReadState(channel).message(), "读取失败！");
  EXPECT_EQ(ReadState(channel).message(), "串口打开失败");
}

struct SetPointCase {
  double value;
  uint8_t high;
  uint8_t low;
};

class ChillerSetPoint : public ::testing::TestWithParam<SetPointCase> {};

TEST_P(ChillerSetPoint, SentAsTruncatedHundredthsHighByteFirst) {
  const SetPointCase& c = GetParam();
  ScriptedChannel channel;
  channel.Expect(WithXor({0x7B, 0x01, 0x02, 0x00, 0x02, c.high, c.low}), Reply(0x81, 0x02, {0x00}));
  const Outcome outcome = WriteSetPoint(channel, c.value);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "配置成功！");
  EXPECT_EQ(channel.Specs()[0].capacity, 8u);
  EXPECT_TRUE(channel.Problems().empty());
}

INSTANTIATE_TEST_SUITE_P(Values, ChillerSetPoint,
                         ::testing::Values(SetPointCase{-18.5, 0xF8, 0xC6},
                                           SetPointCase{2.999, 0x01, 0x2B},
                                           SetPointCase{-18.9, 0xF8, 0x9E},  // not -1889
                                           SetPointCase{4.35, 0x01, 0xB3},   // not 434
                                           SetPointCase{2.9999999, 0x01, 0x2B},
                                           SetPointCase{-0.009, 0x00, 0x00},
                                           SetPointCase{327.67, 0x7F, 0xFF},
                                           SetPointCase{-327.68, 0x80, 0x00}));

TEST(ChillerWrite, ErrorCodeAndBadRepliesAreFailures) {
  ScriptedChannel channel;
  channel.Expect({}, WithXor({0x7B, 0x81, 0x02, 0x00, 0x01, 0x03}));
  channel.Expect({}, Reply(0x80, 0x02, {0x00}));  // kind of a read reply
  channel.Expect({}, Reply(0x81, 0x02, {}));      // no status byte
  const Outcome coded = WriteSetPoint(channel, 5.0);
  EXPECT_FALSE(coded.ok);
  EXPECT_EQ(coded.message, "配置失败！错误代码：3");
  EXPECT_EQ(WriteSetPoint(channel, 5.0).message, "配置失败！");
  EXPECT_EQ(WriteSetPoint(channel, 5.0).message, "配置失败！");
}

TEST(ChillerWrite, SetPointsThatDoNotFitSixteenBitsAreRefused) {
  ScriptedChannel channel;
  EXPECT_EQ(WriteSetPoint(channel, 327.68).message, "设置温度范围为-327.68~327.67");
  EXPECT_EQ(WriteSetPoint(channel, -400.0).field, "set-point");
  EXPECT_EQ(WriteSetPoint(channel, std::nan("")).message, "请键入一个数。");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(ChillerVerbs, WriteParsesTheSetPoint) {
  const CommandSet set = Commands();
  ASSERT_NE(set.Find("write"), nullptr);
  const CommandDef& write = *set.Find("write");
  ScriptedChannel channel;
  channel.Expect(WithXor({0x7B, 0x01, 0x02, 0x00, 0x02, 0xF8, 0xC6}), Reply(0x81, 0x02, {0x00}));
  EXPECT_TRUE(RunVerb(write, channel, {{"set-point", "-18.5"}}).ok);
  EXPECT_EQ(RunVerb(write, channel, {{"set-point", "cold"}}).message, "请键入一个数。");
  EXPECT_EQ(channel.Sent().size(), 1u);
}

}  // namespace
}  // namespace pages::chiller
