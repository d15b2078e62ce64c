// Sample period and screen-off commands against a scripted channel.
#include "pages/property2/property2_commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::property2 {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

using pages::testing::Reseal;
using pages::testing::WithSum;

Bytes Reply(uint8_t cmd, const Bytes& payload) { return pages::testing::SumReply(0, cmd, payload); }

std::vector<int> Seconds(std::span<const Entry> entries) {
  std::vector<int> out;
  for (const Entry& e : entries) out.push_back(e.seconds);
  return out;
}

TEST(Property2Entries, NumbersComeFromTheTexts) {
  EXPECT_EQ(Seconds(SamplePeriods()), (std::vector<int>{2, 4, 6, 8, 10, 20, 30, 40, 50, 60, 120,
                                                        180, 240, 300, 360, 420, 480, 540, 600}));
  EXPECT_EQ(Seconds(ScreenOffTimes()), (std::vector<int>{15, 30, 60, 120, 300, 600, 0}));
  EXPECT_EQ(EntrySeconds("45秒"), 45);
  EXPECT_EQ(EntrySeconds("12分"), 720);
  EXPECT_EQ(EntrySeconds("永不"), 0);
  EXPECT_EQ(EntrySeconds("x秒"), 0);
}

TEST(Property2SamplePeriod, ReadChannel5SelectsTwoMinutes) {
  ScriptedChannel channel(9);  // the device address of the link is not used
  channel.Expect(WithSum({0x25, 0x00, 0x98, 0x05, 0x00, 0x66}), Reply(0x98, {0x78, 0x00}));
  const auto read = ReadSamplePeriod(channel, 5);
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(read.message(), "");
  ASSERT_GE(read.value.index, 0);
  EXPECT_EQ(SamplePeriods()[static_cast<size_t>(read.value.index)].text, "2分");
  ASSERT_EQ(channel.Specs().size(), 1u);
  EXPECT_EQ(channel.Specs()[0].capacity, 9u);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Property2SamplePeriod, WriteChannel32TenMinutes) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x97, 0x20, 0x02, 0x58, 0x02, 0x66}), Reply(0x97, {0x55}));
  const Outcome outcome = WriteSamplePeriod(channel, 32, 600);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(channel.Specs()[0].capacity, 8u);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Property2SamplePeriod, WriteAcceptsAReplyThatIsNotAnAcknowledgement) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x97, {0x00}));
  EXPECT_TRUE(WriteSamplePeriod(channel, 1, 2).ok);
}

TEST(Property2SamplePeriod, RefusesChannelsAndPeriodsOutsideTheLists) {
  ScriptedChannel channel;
  EXPECT_EQ(WriteSamplePeriod(channel, 0, 2).field, "channel");
  EXPECT_EQ(WriteSamplePeriod(channel, 33, 2).field, "channel");
  EXPECT_EQ(WriteSamplePeriod(channel, 1, 45).field, "period");
  EXPECT_EQ(ReadSamplePeriod(channel, 33).outcome.field, "channel");
  EXPECT_EQ(WriteScreenOff(channel, 7).field, "time");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(Property2ScreenOff, ZeroSelectsNeverAndAnUnknownValueKeepsTheSelection) {
  ScriptedChannel channel;
  const Bytes request = WithSum({0x25, 0x00, 0x9A, 0xFF, 0x00, 0x66});
  channel.Expect(request, Reply(0x9A, {0x00, 0x00}));
  channel.Expect(request, Reply(0x9A, {0x2D, 0x00}));
  const auto never = ReadScreenOff(channel);
  EXPECT_TRUE(never.ok());
  EXPECT_EQ(ScreenOffTimes()[static_cast<size_t>(never.value.index)].text, "永不");
  const Outcome unknown = ReadScreenOff(channel).outcome;
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ(unknown.message, "数据异常，请重新写入");
  ASSERT_EQ(unknown.values.size(), 1u);  // the device's value, for tool-cli
  EXPECT_EQ(std::get<int64_t>(unknown.values[0].second), 45);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Property2ScreenOff, WriteSendsSecondsLowByteFirst) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x99, 0xFF, 0x02, 0x2C, 0x01, 0x66}), Reply(0x99, {0x55}));
  EXPECT_TRUE(WriteScreenOff(channel, 300).ok);
  EXPECT_TRUE(channel.Problems().empty());
}

// Replies that fail one check each; every one ends in the read or write failure text.
TEST(Property2Checks, BadRepliesFail) {
  std::vector<Bytes> readReplies;
  readReplies.push_back(Reply(0x98, {0x78}));        // too short for a value
  readReplies.push_back(Reply(0x97, {0x78, 0x00}));  // another command
  Bytes badLength = Reply(0x98, {0x78, 0x00});
  badLength[4] = 3;
  Reseal(badLength);
  readReplies.push_back(badLength);
  Bytes badEnd = Reply(0x98, {0x78, 0x00});
  badEnd[7] = 0x67;
  Reseal(badEnd);
  readReplies.push_back(badEnd);
  Bytes badSum = Reply(0x98, {0x78, 0x00});
  badSum.back() ^= 0x10;
  readReplies.push_back(badSum);
  Bytes badStart = Reply(0x98, {0x78, 0x00});
  badStart[0] = 0x25;
  Reseal(badStart);
  readReplies.push_back(badStart);
  for (const Bytes& reply : readReplies) {
    ScriptedChannel channel;
    channel.Expect({}, reply);
    const auto read = ReadSamplePeriod(channel, 1);
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.message(), "读取失败");
  }
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x99, {}));  // 7 bytes
  channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  EXPECT_EQ(WriteScreenOff(channel, 15).message, "写入失败");
  EXPECT_EQ(WriteScreenOff(channel, 15).message, "串口打开失败");
}

TEST(Property2Verbs, PeriodsByTextOrSeconds) {
  const CommandSet set = Commands();
  const CommandDef* write = nullptr;
  for (const CommandDef& c : set.commands) {
    if (c.verb == "write-sample-period") write = &c;
  }
  ASSERT_NE(write, nullptr);
  ScriptedChannel channel;
  const Bytes request = WithSum({0x25, 0x00, 0x97, 0x03, 0x02, 0x78, 0x00, 0x66});
  channel.Expect(request, Reply(0x97, {0x55}));
  channel.Expect(request, Reply(0x97, {0x55}));
  EXPECT_TRUE(RunVerb(*write, channel, {{"channel", "3"}, {"period", "2分"}}).ok);
  EXPECT_TRUE(RunVerb(*write, channel, {{"channel", "3"}, {"period", "120"}}).ok);
  EXPECT_EQ(RunVerb(*write, channel, {{"channel", "3"}, {"period", "2 minutes"}}).field, "period");
  EXPECT_TRUE(channel.Problems().empty());
}

}  // namespace
}  // namespace pages::property2
