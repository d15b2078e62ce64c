// 32-bit transmitter commands against a scripted channel: exact request bytes, reply checks,
// decoding, validation that sends nothing, and what a TCP exchange is asked to accept.
#include "pages/transmitter32/transmitter32_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"
#include "pages/testing/results.h"

namespace pages::transmitter32 {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::Into;
using pages::testing::Reseal;
using pages::testing::WithSum;
constexpr auto Reply = pages::testing::SumReply;

// A request to address 0 with sub-command 0xFF.
Bytes Request(uint8_t command, const Bytes& payload = {}) {
  Bytes frame{0x25, 0x00, command, 0xFF, static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0x66);
  return WithSum(frame);
}

TEST(Transmitter32Generic, ReadIsTheBigEndianPayload) {
  const std::pair<Bytes, uint32_t> cases[] = {
      {{0x01, 0x02}, 258}, {{0x00}, 0}, {{0x07}, 7}, {{0x01, 0x00, 0x01}, 65537}};
  for (const auto& [payload, value] : cases) {
    ScriptedChannel channel;
    channel.Expect({0x25, 0x00, 0x86, 0xFF, 0x00, 0x66, 0x10}, Reply(0, 0x86, payload));
    GenericValue read;
    ASSERT_TRUE(Into(read, GenericRead(channel, kReadRecording)).ok);
    EXPECT_EQ(read.value, value);
    EXPECT_TRUE(channel.Problems().empty());
  }
}

TEST(Transmitter32Generic, WriteSendsBigEndianAndIgnoresTheEcho) {
  ScriptedChannel channel;
  channel.Expect(Request(0x55, {0x01, 0x00, 0x01}), Reply(0, 0x00, {0x55}));
  EXPECT_EQ(WriteSmsAlarm(channel, AlarmScope::External, false, true).message, "设置成功");
  channel.Expect(Request(0x4E, {0x00}), Reply(0, 0x4E, {0x55}));
  EXPECT_TRUE(WriteSmsAlarm(channel, AlarmScope::Master, true, false).ok);
  channel.Expect(Request(0x85, {0x01}), Reply(0, 0x85, {0x55}));
  EXPECT_TRUE(WriteRecording(channel, true).ok);
  channel.Expect(Request(0x4C, {0x00}), Reply(0, 0x4C, {0x55}));
  EXPECT_TRUE(WriteSoundLight(channel, false).ok);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32Alarms, ExternalPowerReadSplitsSmsAndSoundLight) {
  ScriptedChannel channel;
  channel.Expect(Request(0x54), Reply(0, 0x54, {0x01, 0x00}));
  channel.Expect(Request(0x4D), Reply(0, 0x4D, {0x00}));
  SmsAlarm read;
  ASSERT_TRUE(Into(read, ReadSmsAlarm(channel, AlarmScope::External)).ok);
  EXPECT_FALSE(read.sms);
  EXPECT_EQ(read.soundLight, true);
  ASSERT_TRUE(Into(read, ReadSmsAlarm(channel, AlarmScope::Master)).ok);
  EXPECT_FALSE(read.sms);
  EXPECT_FALSE(read.soundLight.has_value());
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32Intervals, WriteLeadsWithTheUnusedUploadInterval) {
  ScriptedChannel channel;
  channel.Expect(Request(0x48, {0x0A, 0x00, 0x0A, 0x00, 0x05, 0x00, 0x02, 0x00}),
                 Reply(0, 0x48, {0x55}));
  EXPECT_EQ(WriteIntervals(channel, {10, 5, 2}).message, "设置成功");
  channel.Expect(Request(0x47), Reply(0, 0x47, {0x63, 0x00, 0x1E, 0x00, 0x0A, 0x00, 0x02, 0x01}));
  Intervals read;
  ASSERT_TRUE(Into(read, ReadIntervals(channel)).ok);
  EXPECT_EQ(read, (Intervals{30, 10, 258}));
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32Intervals, RefusalsNameTheFirstBadFieldAndSendNothing) {
  const std::tuple<Intervals, const char*, const char*> cases[] = {
      {{0, 0, 5}, "时间间隔必须≥1", "history"},
      {{5, 0, 0}, "时间间隔必须≥1", "print"},
      {{5, 5, -1}, "时间间隔必须≥1", "alarm"},
      {{65536, 5, 0}, "时间间隔必须≥1", "alarm"},
      {{65536, 5, 5}, "时间间隔不能大于65535", "history"},
  };
  for (const auto& [value, message, field] : cases) {
    ScriptedChannel channel;
    const Outcome outcome = WriteIntervals(channel, value);
    EXPECT_EQ(outcome.message, message) << field;
    EXPECT_EQ(outcome.field, field);
    EXPECT_TRUE(channel.Sent().empty());
  }
  ScriptedChannel channel;
  EXPECT_EQ(WriteAlarmDelay(channel, -1).field, "seconds");
  EXPECT_EQ(WriteAlarmDelay(channel, 65536).message, "报警延时范围为0-65535");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(Transmitter32Delay, TravelsLowByteFirstWithoutLowerBound) {
  ScriptedChannel channel;
  channel.Expect(Request(0x4A, {0x00, 0x00}), Reply(0, 0x4A, {0x55}));
  channel.Expect(Request(0x49), Reply(0, 0x49, {0x2C, 0x01}));
  EXPECT_TRUE(WriteAlarmDelay(channel, 0).ok);
  AlarmDelay read;
  ASSERT_TRUE(Into(read, ReadAlarmDelay(channel)).ok);
  EXPECT_EQ(read.seconds, 300);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32Signal, SendsOneZeroByteAndTakesTheFirstPayloadByte) {
  ScriptedChannel channel;
  channel.Expect(Request(0x80, {0x00}), Reply(0, 0x00, {0x17}));  // echo not checked
  SignalStrength read;
  ASSERT_TRUE(Into(read, ReadSignalStrength(channel)).ok);
  EXPECT_EQ(read.strength, 23);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32AlarmNumber, SlotTwoElevenDigitsAndPastedLettersRefused) {
  ScriptedChannel channel;
  channel.Expect(WithSum({0x25, 0x00, 0x42, 0x02, 0x0B, 0x31, 0x33, 0x39, 0x31, 0x32, 0x33, 0x34,
                          0x35, 0x36, 0x37, 0x38, 0x66}),
                 WithSum({0x3C, 0x00, 0x42, 0x02, 0x01, 0x55, 0x66}));
  EXPECT_EQ(WriteAlarmNumber(channel, 2, "13912345678").message, "设置成功");
  // Pasted letters would travel as '0': refused, nothing sent.
  EXPECT_EQ(WriteAlarmNumber(channel, 2, "12a4").message, kNotAPhoneNumber);
  EXPECT_EQ(channel.Sent().size(), 1u);
  EXPECT_TRUE(channel.Problems().empty());
}

Bytes ApnPayload() {
  Bytes payload(60, 0x00);
  const std::string apn = "CMNET", user = "guest", password = "12345678901234567890";
  std::copy(apn.begin(), apn.end(), payload.begin());
  std::copy(user.begin(), user.end(), payload.begin() + 20);
  std::copy(password.begin(), password.end(), payload.begin() + 40);
  return payload;
}

TEST(Transmitter32Apn, ThreeZeroPaddedTwentyByteFields) {
  ScriptedChannel channel;
  channel.Expect(Request(0x88, ApnPayload()), Reply(0, 0x88, {0x55}));
  channel.Expect(Request(0x89), Reply(0, 0x89, ApnPayload()));
  // The APN goes without the blanks around it; a 20-byte password fills its field.
  EXPECT_EQ(WriteApn(channel, {"  CMNET ", "guest", "12345678901234567890"}).message, "设置成功");
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0][4], 0x3C);
  Apn read;
  ASSERT_TRUE(Into(read, ReadApn(channel)).ok);
  EXPECT_EQ(read, (Apn{"CMNET", "guest", "12345678901234567890"}));
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(Transmitter32Apn, ControlCharactersFromTheInstrumentReadAsVisibleEscapes) {
  Bytes payload(60, 0x00);
  for (const auto& [at, text] : {std::pair<size_t, std::string>{0, "CM\x01NET"}, {20, "a\nb\x1B"},
                                 {40, "\x7F"}}) {
    std::copy(text.begin(), text.end(), payload.begin() + static_cast<std::ptrdiff_t>(at));
  }
  ScriptedChannel channel;
  channel.Expect(Request(0x89), Reply(0, 0x89, payload));
  const Result<Apn> read = ReadApn(channel);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, (Apn{"CM\\x01NET", "a\\x0Ab\\x1B", "\\x7F"}));
  // The alarm numbers of the same instrument decode the same way.
  EXPECT_EQ(pages::gsm::DecodeAlarmNumber(Bytes{'1', '3', 0x01, '9', 0x0D}), "13\\x019\\x0D");
}

TEST(Transmitter32Apn, TextsTheFieldsCannotCarryAreRefused) {
  const std::tuple<Apn, const char*, const char*> cases[] = {
      {{"", "u", "p"}, "APN号不能为空！", "apn"},
      {{" \t ", "u", "p"}, "APN号不能为空！", "apn"},
      {{"CMNET", "123456789012345678901", ""}, "输入的文字过长！", "user"},
      {{"CMNET", "", "密码密码密码密码密码密码"}, "输入的文字过长！", "password"},
  };
  for (const auto& [value, message, field] : cases) {
    ScriptedChannel channel;
    const Outcome outcome = WriteApn(channel, value);
    EXPECT_EQ(outcome.message, message) << field;
    EXPECT_EQ(outcome.field, field);
    EXPECT_TRUE(channel.Sent().empty());
  }
}

TEST(Transmitter32Actions, ClearToTheDeviceAddressAndFactoryReset) {
  ScriptedChannel channel(9);
  channel.Expect(WithSum({0x25, 0x09, 0x09, 0xFF, 0x00, 0x66}), Reply(9, 0x00, {0x55}));
  channel.Expect(Request(0x96, {0x01}), Reply(0, 0x96, {0x55}));
  channel.Expect({}, Reply(0, 0x00, {0x55}));  // a reset reply must echo the command
  channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  EXPECT_EQ(ClearHistory(channel).message, "数据清空成功");
  EXPECT_EQ(RestoreFactorySettings(channel).message, "操作成功！");
  EXPECT_EQ(RestoreFactorySettings(channel).message, "操作失败！");
  EXPECT_EQ(RestoreFactorySettings(channel).message, "串口打开失败！");
  EXPECT_TRUE(channel.Problems().empty());
}

Bytes WithoutEnd(Bytes frame) {
  frame[frame.size() - 2] = 0x67;
  Reseal(frame);
  return frame;
}

TEST(Transmitter32Replies, BadRepliesAreFailures) {
  struct Case {
    const char* what;
    std::function<Outcome(devlink::Channel&)> run;
    Bytes reply;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"generic read without payload", [](auto& c) { return GenericRead(c, 0x4B).outcome; },
       Reply(0, 0x4B, {}), "读取失败"},
      {"generic read of another command", [](auto& c) { return GenericRead(c, 0x4B).outcome; },
       Reply(0, 0x4D, {0x01}), "读取失败"},
      {"generic read longer than its buffer",
       [](auto& c) { return GenericRead(c, 0x4B).outcome; }, Reply(0, 0x4B, {1, 2, 3, 4}),
       "读取失败"},
      {"signal without its byte", [](auto& c) { return ReadSignalStrength(c).outcome; },
       Reply(0, 0x80, {}), "读取失败"},
      // The unused upload interval may be 0; the alarm interval may not.
      {"alarm interval 0", [](auto& c) { return ReadIntervals(c).outcome; },
       Reply(0, 0x47, {0, 0, 30, 0, 10, 0, 0, 0}), "读取失败"},
      {"intervals too short", [](auto& c) { return ReadIntervals(c).outcome; },
       Reply(0, 0x47, {10, 0, 30, 0, 10, 0, 2}), "读取失败"},
      {"APN reply short of its fields", [](auto& c) { return ReadApn(c).outcome; },
       Reply(0, 0x89, Bytes(59, 0x41)), "读取失败"},
      {"delay without end marker", [](auto& c) { return ReadAlarmDelay(c).outcome; },
       WithoutEnd(Reply(0, 0x49, {1, 0})), "读取失败"},
      {"generic write not acknowledged", [](auto& c) { return WriteRecording(c, true); },
       Reply(0, 0x85, {0x00}), "设置失败"},
      {"intervals write echo of another command",
       [](auto& c) { return WriteIntervals(c, {1, 1, 1}); }, Reply(0, 0x47, {0x55}), "设置失败"},
      {"number read of another slot", [](auto& c) { return ReadAlarmNumber(c, 3).outcome; },
       WithSum({0x3C, 0x00, 0x41, 0x02, 0x00, 0x66}), "读取失败"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, c.reply);
    const Outcome outcome = c.run(channel);
    EXPECT_FALSE(outcome.ok) << c.what;
    EXPECT_EQ(outcome.message, c.message) << c.what;
  }
}

// Over TCP a one-byte generic read (8-byte reply) and a short number pass: the minimum is the
// shortest good reply, the buffer stays the capacity.
TEST(Transmitter32Tcp, MinimumsAreTheShortestGoodReplies) {
  struct Case {
    std::function<bool(devlink::Channel&)> run;
    Bytes reply;
    size_t minimum;
    size_t capacity;
  };
  const std::vector<Case> cases = {
      {[](auto& c) { return ReadRecording(c).ok(); }, Reply(0, 0x86, {0x01}), 8, 10},
      {[](auto& c) { return ReadSmsAlarm(c, AlarmScope::External).ok(); },
       Reply(0, 0x54, {0x01, 0x01}), 8, 10},
      {[](auto& c) { return ReadAlarmNumber(c, 1).ok(); },
       WithSum({0x3C, 0x00, 0x41, 0x01, 0x03, '1', '1', '9', 0x66}), 7, 30},
      {[](auto& c) { return ReadIntervals(c).ok(); }, Reply(0, 0x47, Bytes(8, 1)), 15, 15},
      {[](auto& c) { return ReadAlarmDelay(c).ok(); }, Reply(0, 0x49, {1, 0}), 9, 9},
      {[](auto& c) { return ReadSignalStrength(c).ok(); }, Reply(0, 0x80, {9}), 8, 8},
      {[](auto& c) { return ReadApn(c).ok(); }, Reply(0, 0x89, Bytes(60, 0)), 67, 67},
      {[](auto& c) { return WriteSoundLight(c, true).ok; }, Reply(0, 0x4C, {0x55}), 8, 8},
      {[](auto& c) { return WriteApn(c, {"a", "", ""}).ok; }, Reply(0, 0x88, {0x55}), 8, 8},
      {[](auto& c) { return ClearHistory(c).ok; }, Reply(0, 0x09, {0x55}), 8, 8},
      {[](auto& c) { return RestoreFactorySettings(c).ok; }, Reply(0, 0x96, {0x55}), 8, 8},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    ScriptedChannel channel;
    channel.AcceptLikeTcp();
    channel.Expect({}, cases[i].reply);
    EXPECT_TRUE(cases[i].run(channel)) << i;
    ASSERT_EQ(channel.Specs().size(), 1u) << i;
    EXPECT_EQ(channel.Specs()[0].minimum, cases[i].minimum) << i;
    EXPECT_EQ(channel.Specs()[0].capacity, cases[i].capacity) << i;
    EXPECT_TRUE(channel.Specs()[0].checkSum) << i;
  }
}

}  // namespace
}  // namespace pages::transmitter32
