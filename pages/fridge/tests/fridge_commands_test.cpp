// Refrigerated box commands against a scripted channel: exact request bytes, reply checks,
// decoding, validation that sends nothing, and what a TCP exchange is asked to accept.
#include "pages/fridge/fridge_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"
#include "pages/testing/results.h"

namespace pages::fridge {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::Into;
using pages::testing::Reseal;
using pages::testing::WithSum;
constexpr auto Reply = pages::testing::SumReply;

TEST(FridgeIntervals, ReadDecodesUploadHistoryPrintAlarmLowByteFirst) {
  ScriptedChannel channel;
  channel.Expect({0x25, 0x00, 0x47, 0xFF, 0x00, 0x66, 0xD1},
                 Reply(0, 0x47, {0x0A, 0x00, 0x1E, 0x00, 0x0A, 0x00, 0x02, 0x00}));
  Intervals read;
  const Outcome outcome = Into(read, ReadIntervals(channel));
  EXPECT_TRUE(outcome.ok);
  EXPECT_TRUE(outcome.message.empty());  // a read shows its values, no message
  EXPECT_EQ(read, (Intervals{10, 30, 10, 2}));
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeIntervals, WriteSendsTheFourIntervalsInWireOrder) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x48, 0xFF, 0x08, 0x0A, 0x00, 0x1E, 0x00, 0x0A, 0x00, 0x2C,
                          0x01, 0x66}),
                 Reply(0, 0x48, {0x55}));
  const Outcome outcome = WriteIntervals(channel, {10, 30, 10, 300});
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

struct IntervalCase {
  Intervals value;
  const char* message;
  const char* field;
};

class FridgeIntervalValidation : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(FridgeIntervalValidation, RefusedWithoutSending) {
  const IntervalCase& c = GetParam();
  ScriptedChannel channel;
  const Outcome outcome = WriteIntervals(channel, c.value);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.field, c.field);
  EXPECT_TRUE(channel.Sent().empty());
}

// The zero check runs upload, history, print, alarm, and before the upper bound.
INSTANTIATE_TEST_SUITE_P(
    Cases, FridgeIntervalValidation,
    ::testing::Values(IntervalCase{{0, 0, 0, 0}, "时间间隔必须≥1", "upload"},
                      IntervalCase{{5, 0, 0, 0}, "时间间隔必须≥1", "history"},
                      IntervalCase{{5, 5, 0, 0}, "时间间隔必须≥1", "print"},
                      IntervalCase{{5, 5, 5, 0}, "时间间隔必须≥1", "alarm"},
                      IntervalCase{{70000, 0, 5, 5}, "时间间隔必须≥1", "history"},
                      IntervalCase{{5, 5, 65536, 5}, "时间间隔不能大于65535", "print"}));

TEST(FridgeStatus, ReadTakesTheThreeStateBytes) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x45, 0xFF, 0x00, 0x66}), Reply(0, 0x45, {0x00, 0x01, 0x01}));
  Status status;
  ASSERT_TRUE(Into(status, ReadStatus(channel)).ok);
  EXPECT_FALSE(status.DeviceOn());
  EXPECT_TRUE(status.RecordingOn());
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeStatus, SwitchesSendTheFlagsTheyChange) {
  const Status on{1, 1, 1};
  // Recording from on to off: device, 00, 00.
  EXPECT_EQ(ToggleRecording(on), (Status{1, 0, 0}));
  EXPECT_EQ(ToggleRecording(Status{1, 0, 0}), (Status{1, 1, 1}));
  // Device off keeps the other two bytes.
  EXPECT_EQ(ToggleDevice(Status{1, 0, 1}), (Status{0, 0, 1}));
  EXPECT_EQ(ToggleDevice(Status{2, 1, 1}), (Status{0, 1, 1}));

  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x46, 0xFF, 0x03, 0x01, 0x00, 0x00, 0x66}),
                 Reply(0, 0x46, {0x55}));
  EXPECT_EQ(WriteStatus(channel, ToggleRecording(on)).message, "设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeAlarmNumber, ElevenDigitsToSlotTwo) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x42, 0x02, 0x0B, '1', '3', '8', '0', '0', '1', '3', '8',
                          '0', '0', '0', 0x66}),
                 WithSum({0x3C, 0x00, 0x42, 0x02, 0x01, 0x55, 0x66}));
  EXPECT_EQ(WriteAlarmNumber(channel, 2, "13800138000").message, "设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeAlarmNumber, NonDigitsAreRefusedAndEmptyTravelsAsNoPayload) {
  ScriptedChannel channel;
  // A '+', a letter or a blank would travel as some other digit: a wrong number is dialled.
  for (const char* bad : {"12a4", "+8613800138000", "138 0013", "abc", "123456789012345"}) {
    const Outcome refused = WriteAlarmNumber(channel, 3, bad);
    EXPECT_TRUE(refused.Refusal()) << bad;
    EXPECT_EQ(refused.field, "number") << bad;
  }
  EXPECT_TRUE(channel.Sent().empty());
  channel.Expect(WithSum({0x25, 0x00, 0x42, 0x01, 0x00, 0x66}),
                 WithSum({0x3C, 0x00, 0x42, 0x01, 0x01, 0x55, 0x66}));
  EXPECT_TRUE(WriteAlarmNumber(channel, 1, "").ok);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeAlarmNumber, ReadTakesEachPayloadByteAsACharacter) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x41, 0x01, 0x00, 0x66}),
                 WithSum({0x3C, 0x00, 0x41, 0x01, 0x05, '1', '0', '0', '8', '6', 0x66}));
  channel.Expect({}, WithSum({0x3C, 0x00, 0x41, 0x03, 0x00, 0x66}));
  AlarmNumber number;
  ASSERT_TRUE(Into(number, ReadAlarmNumber(channel, 1)).ok);
  EXPECT_EQ(number.number, "10086");
  ASSERT_TRUE(Into(number, ReadAlarmNumber(channel, 3)).ok);
  EXPECT_EQ(number.slot, 3);
  EXPECT_EQ(number.number, "");
}

TEST(FridgeAlarmNumber, CacheRemembersPerSlot) {
  AlarmNumberCache cache;
  EXPECT_EQ(cache.Number(2), "");
  cache.Remember(1, "13800138000");
  cache.Remember(1, "10086");
  EXPECT_EQ(cache.Number(1), "10086");
  EXPECT_EQ(cache.Number(0), "");
}

// Every reply a command must refuse, one scripted frame each.
struct BadReply {
  const char* what;
  std::function<Outcome(devlink::Channel&)> run;
  Bytes reply;
  const char* message;
};

Bytes BadSum(Bytes frame) {
  frame.back() ^= 0xFF;
  return frame;
}

Bytes WithoutEnd(Bytes frame) {
  frame[frame.size() - 2] = 0x67;
  Reseal(frame);
  return frame;
}

TEST(FridgeReplies, BadRepliesAreFailuresWithTheCommandsText) {
  const std::vector<BadReply> cases = {
      {"status reply too short", [](auto& c) { return ReadStatus(c).outcome; },
       Reply(0, 0x45, {0x01, 0x01}), "读取失败"},
      {"status echo of another command", [](auto& c) { return ReadStatus(c).outcome; },
       Reply(0, 0x46, {0x01, 0x01, 0x01}), "读取失败"},
      {"intervals length byte lies", [](auto& c) { return ReadIntervals(c).outcome; },
       [] {
         Bytes r = Reply(0, 0x47, {10, 0, 30, 0, 10, 0, 2, 0});
         r[4] = 9;
         Reseal(r);
         return r;
       }(),
       "读取失败"},
      {"history interval 0, which no write sets", [](auto& c) { return ReadIntervals(c).outcome; },
       Reply(0, 0x47, {10, 0, 0, 0, 10, 0, 2, 0}), "读取失败"},
      {"intervals without end marker", [](auto& c) { return ReadIntervals(c).outcome; },
       WithoutEnd(Reply(0, 0x47, {10, 0, 30, 0, 10, 0, 2, 0})), "读取失败"},
      {"SMS interval with a bad sum", [](auto& c) { return ReadSmsInterval(c).outcome; },
       BadSum(Reply(0, 0x49, {0x3C, 0x00})), "读取失败"},
      {"number of another slot", [](auto& c) { return ReadAlarmNumber(c, 2).outcome; },
       WithSum({0x3C, 0x00, 0x41, 0x01, 0x01, '5', 0x66}), "读取失败"},
      {"number write acknowledged for another slot",
       [](auto& c) { return WriteAlarmNumber(c, 2, "5"); },
       WithSum({0x3C, 0x00, 0x42, 0x01, 0x01, 0x55, 0x66}), "设置失败"},
      {"intervals write not acknowledged",
       [](auto& c) { return WriteIntervals(c, {1, 1, 1, 1}); }, Reply(0, 0x48, {0x00}),
       "设置失败"},
      {"SMS write with a 9-byte reply", [](auto& c) { return WriteSmsInterval(c, 5); },
       Reply(0, 0x4A, {0x55, 0x00}), "设置失败"},
      {"status write echo of another command",
       [](auto& c) { return WriteStatus(c, Status{}); }, Reply(0, 0x45, {0x55}), "设置失败"},
      {"clear not acknowledged", [](auto& c) { return ClearHistory(c); },
       Reply(1, 0x09, {0x00}), "数据清空失败"},
  };
  for (const BadReply& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, c.reply);
    const Outcome outcome = c.run(channel);
    EXPECT_FALSE(outcome.ok) << c.what;
    EXPECT_EQ(outcome.message, c.message) << c.what;
  }
}

TEST(FridgeSms, IntervalTravelsLowByteFirstAndOutOfRangeIsRefused) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x49, 0xFF, 0x00, 0x66}), Reply(0, 0x49, {0x2C, 0x01}));
  channel.Expect(WithSum({0x25, 0x00, 0x4A, 0xFF, 0x02, 0xFF, 0xFF, 0x66}), Reply(0, 0x4A, {0x55}));
  SmsInterval read;
  ASSERT_TRUE(Into(read, ReadSmsInterval(channel)).ok);
  EXPECT_EQ(read.seconds, 300);
  EXPECT_TRUE(WriteSmsInterval(channel, 65535).ok);
  for (const int64_t bad : {int64_t{-1}, int64_t{65536}}) {
    const Outcome refused = WriteSmsInterval(channel, bad);
    EXPECT_EQ(refused.message, "短信发送间隔范围为0-65535");
    EXPECT_EQ(refused.field, "seconds");
  }
  EXPECT_EQ(channel.Sent().size(), 2u);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeClear, GoesToTheDeviceAddressAndIgnoresTheEcho) {
  ScriptedChannel channel(7);
  channel.Expect(WithSum({0x25, 0x07, 0x09, 0xFF, 0x00, 0x66}), Reply(7, 0x00, {0x55}));
  EXPECT_EQ(ClearHistory(channel).message, "数据清空成功");
  EXPECT_TRUE(channel.Problems().empty());
}

// Over TCP each command asks for its shortest good reply as the minimum; a number read of a
// short number therefore passes instead of waiting for 30 bytes.
TEST(FridgeTcp, MinimumsAreTheShortestGoodReplies) {
  ScriptedChannel channel;
  channel.AcceptLikeTcp();
  channel.Expect({}, Reply(0, 0x45, {1, 1, 1}));
  channel.Expect({}, Reply(0, 0x47, {10, 0, 30, 0, 10, 0, 2, 0}));
  channel.Expect({}, WithSum({0x3C, 0x00, 0x41, 0x01, 0x03, '1', '1', '0', 0x66}));
  channel.Expect({}, Reply(0, 0x49, {0, 0}));
  channel.Expect({}, Reply(0, 0x4A, {0x55}));
  channel.Expect({}, Reply(0, 0x09, {0x55}));
  EXPECT_TRUE(ReadStatus(channel).ok());
  EXPECT_TRUE(ReadIntervals(channel).ok());
  const auto number = ReadAlarmNumber(channel, 1);
  ASSERT_TRUE(number.ok());
  EXPECT_EQ(number.value.number, "110");
  EXPECT_TRUE(ReadSmsInterval(channel).ok());
  EXPECT_TRUE(WriteSmsInterval(channel, 1).ok);
  EXPECT_TRUE(ClearHistory(channel).ok);
  const std::vector<size_t> minimums{10, 15, 7, 9, 8, 8};
  ASSERT_EQ(channel.Specs().size(), minimums.size());
  for (size_t i = 0; i < minimums.size(); ++i) {
    EXPECT_EQ(channel.Specs()[i].minimum, minimums[i]) << i;
    EXPECT_TRUE(channel.Specs()[i].checkSum) << i;
  }
  EXPECT_EQ(channel.Specs()[2].capacity, 30u);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FridgeTcp, NoReplyGivesTheFailureTextAndAClosedPortItsOwn) {
  ScriptedChannel channel;
  channel.Expect({}, {}, devlink::ExchangeStatus::NoReply);
  channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  EXPECT_EQ(WriteIntervals(channel, {1, 1, 1, 1}).message, "设置失败");
  EXPECT_EQ(ReadStatus(channel).message(), "串口打开失败");
}

}  // namespace
}  // namespace pages::fridge
