// Settings commands against a scripted channel: exact request bytes, reply checks, decoding,
// validation texts.
#include "pages/settings/settings_commands.h"

#include <gtest/gtest.h>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::settings {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

using pages::testing::Reseal;
using pages::testing::WithSum;
constexpr auto Reply = pages::testing::SumReply;

TEST(SettingsAddress, ChangeGoesToTheOldAddressAndReportsTheNewOne) {
  ScriptedChannel channel(7);
  channel.Expect({0x25, 0x01, 0x02, 0x55, 0x01, 0x0C, 0x66, 0xF0}, Reply(1, 0x02, {0x0C}));
  const auto result = ChangeAddress(channel, "1", "12");
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.message(), "地址设置成功");
  EXPECT_EQ(result.value.address, 12);
  const Outcome printed = ToOutcome(result);
  ASSERT_EQ(printed.values.size(), 1u);
  EXPECT_EQ(std::get<int64_t>(printed.values[0].second), 12);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsAddress, ReplyThatDoesNotEchoTheNewAddressFails) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(1, 0x02, {0x0B}));
  const Outcome outcome = ChangeAddress(channel, "1", "12").outcome;
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "地址设置失败");
}

struct AddressCase {
  const char* oldText;
  const char* newText;
  const char* message;
  const char* field;
};

class SettingsAddressValidation : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SettingsAddressValidation, RefusedWithoutSending) {
  const AddressCase& c = GetParam();
  ScriptedChannel channel;
  const Outcome outcome = ChangeAddress(channel, c.oldText, c.newText).outcome;
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.field, c.field);
  EXPECT_TRUE(channel.Sent().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsAddressValidation,
                         ::testing::Values(AddressCase{"", "12", "地址不能为空", "old"},
                                           AddressCase{"1", "", "地址不能为空", "new"},
                                           AddressCase{"0", "12", "地址号范围为1-255", "old"},
                                           AddressCase{"1", "256", "地址号范围为1-255", "new"},
                                           AddressCase{"x1", "5", "地址号范围为1-255", "old"},
                                           AddressCase{"5", "-3", "地址号范围为1-255", "new"}));

TEST(SettingsLimits, AlarmLimitsWriteSendsBothRowsLowerFirstLowByteFirst) {
  ScriptedChannel channel(1);
  channel.Expect(WithSum({0x25, 0x01, 0x0A, 0x01, 0x04, 0x9C, 0xFF, 0x90, 0x01, 0x66}),
                 Reply(1, 0x0A, {0x55}));
  // humidity 20.5 .. 85.0 -> 205 = 00 CD, 850 = 03 52
  channel.Expect(WithSum({0x25, 0x01, 0x0A, 0x02, 0x04, 0xCD, 0x00, 0x52, 0x03, 0x66}),
                 Reply(1, 0x0A, {0x55}));
  const Outcome outcome = WriteLimits(channel, LimitKind::Alarm, {"-10.0", "40.0", "20.5", "85"});
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsLimits, HumidityErrorSendsNothingAtAll) {
  ScriptedChannel channel;
  const Outcome outcome = WriteLimits(channel, LimitKind::Alarm, {"-10", "40", "90", "20"});
  EXPECT_EQ(outcome.message, "湿度下限不能大于上限");
  EXPECT_EQ(outcome.field, "hum-lower");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(SettingsLimits, FirstFailedRowStopsTheWrite) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(1, 0x0D, {0x00}));  // not acknowledged
  const Outcome outcome = WriteLimits(channel, LimitKind::Control, {"0", "10", "0", "10"});
  EXPECT_EQ(outcome.message, "数据设置失败");
  EXPECT_EQ(channel.Sent().size(), 1u);
}

struct LimitsCase {
  LimitKind kind;
  LimitsText text;
  const char* message;
  const char* field;
};

class SettingsLimitsValidation : public ::testing::TestWithParam<LimitsCase> {};

TEST_P(SettingsLimitsValidation, RefusedWithoutSending) {
  const LimitsCase& c = GetParam();
  ScriptedChannel channel;
  const Outcome outcome = WriteLimits(channel, c.kind, c.text);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.field, c.field);
  EXPECT_TRUE(channel.Sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLimitsValidation,
    ::testing::Values(
        LimitsCase{LimitKind::Alarm, {"", "40", "0", "1"}, "数据不能为空", "temp-lower"},
        LimitsCase{LimitKind::Alarm, {"1", "40", "0", " "}, "数据不能为空", "hum-upper"},
        LimitsCase{LimitKind::Alarm, {"50", "40", "0", "1"}, "温度下限不能大于上限", "temp-lower"},
        LimitsCase{LimitKind::Alarm, {"-", "40", "0", "1"}, "请键入一个数。", "temp-lower"},
        LimitsCase{LimitKind::Alarm, {"nan", "40", "0", "1"}, "请键入一个数。", "temp-lower"},
        LimitsCase{
            LimitKind::Alarm, {"0", "1001", "0", "1"}, "温度值范围为(-300~1000)", "temp-upper"},
        LimitsCase{
            LimitKind::Alarm, {"0", "1", "-300.5", "1"}, "湿度值范围为(-300~1000)", "hum-lower"},
        LimitsCase{LimitKind::Control, {"0", "1", "0", "120"}, "湿度值范围为(0~100)", "hum-upper"},
        LimitsCase{
            LimitKind::Control, {"0", "1", "-1", "50"}, "湿度值范围为(0~100)", "hum-lower"}));

TEST(SettingsLimits, EqualLowerAndUpperAndRangeEdgesAreAccepted) {
  const auto result = ValidateLimits(LimitKind::Control, {"-300", "1000", "100", "100"});
  EXPECT_TRUE(result.ok()) << result.message();
  const Limits& limits = result.value;
  EXPECT_DOUBLE_EQ(limits.temperature.lower, -300.0);
  EXPECT_DOUBLE_EQ(limits.humidity.upper, 100.0);
}

TEST(SettingsLimits, ReadDecodesLowerThenUpperOfEachRow) {
  ScriptedChannel channel(3);
  channel.Expect(WithSum({0x25, 0x03, 0x0A, 0x01, 0x00, 0x66}),
                 Reply(3, 0x0A, {0x9C, 0xFF, 0x90, 0x01}));
  channel.Expect(WithSum({0x25, 0x03, 0x0A, 0x02, 0x00, 0x66}),
                 Reply(3, 0x0A, {0x00, 0x00, 0xE8, 0x03}));
  const auto result = ReadLimits(channel, LimitKind::Alarm);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.message(), "数据读取成功");
  const Limits& limits = result.value;
  EXPECT_DOUBLE_EQ(limits.temperature.lower, -10.0);
  EXPECT_DOUBLE_EQ(limits.temperature.upper, 40.0);
  EXPECT_DOUBLE_EQ(limits.humidity.lower, 0.0);
  EXPECT_DOUBLE_EQ(limits.humidity.upper, 100.0);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsLimits, ReadStopsAtTheFirstFailureAndKeepsTheOldValues) {
  ScriptedChannel channel;
  Bytes bad = Reply(1, 0x0D, {0x9C, 0xFF, 0x90, 0x01});
  bad[9] = 0x00;  // end marker
  Reseal(bad);
  channel.Expect({}, bad);
  const auto result = ReadLimits(channel, LimitKind::Control);
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.message(), "数据读取失败");
  EXPECT_EQ(channel.Sent().size(), 1u);
}

TEST(SettingsRecording, ReplyLengthSelectsTheUnit) {
  ScriptedChannel channel(1);
  const Bytes request = WithSum({0x25, 0x01, 0x08, 0xDD, 0x00, 0x66});
  channel.Expect(request, Reply(1, 0x08, {15, 0x2C, 0x01}));       // 10 bytes: minutes
  channel.Expect(request, Reply(1, 0x08, {6, 0x2C, 0x01, 0x00}));  // 11 bytes: hours
  const auto minutes = ReadRecording(channel);
  EXPECT_TRUE(minutes.ok());
  EXPECT_EQ(minutes.value, (Recording{15, RecordingUnit::Minutes, 300}));
  const auto hours = ReadRecording(channel);
  EXPECT_TRUE(hours.ok());
  EXPECT_EQ(hours.value, (Recording{6, RecordingUnit::Hours, 300}));
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsRecording, OtherLengthsAndBadSumsFail) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(1, 0x08, {15, 0x2C}));  // 9 bytes
  Bytes badSum = Reply(1, 0x08, {15, 0x2C, 0x01});
  badSum.back() ^= 0x01;
  channel.Expect({}, badSum);
  EXPECT_EQ(ReadRecording(channel).message(), "数据读取失败");
  EXPECT_EQ(ReadRecording(channel).message(), "数据读取失败");
  // Values no write could have set are no reading.
  const std::pair<Bytes, const char*> impossible[] = {
      {{6, 0x2C, 0x81, 0x00}, "capacity -300 below 1"},  // sign bit of the high byte
      {{0, 0x2C, 0x01}, "interval 0 out of 1..59"},
      {{60, 0x2C, 0x01}, "interval 60 out of 1..59"},
      {{24, 0x2C, 0x01, 0x00}, "interval 24 out of 1..23"},
      {{15, 0x00, 0x00}, "capacity 0 below 1"},
  };
  for (const auto& [payload, detail] : impossible) {
    ScriptedChannel one;
    one.Expect({}, Reply(1, 0x08, payload));
    const auto read = ReadRecording(one);
    EXPECT_EQ(read.message(), "数据读取失败") << detail;
    EXPECT_EQ(read.outcome.detail, detail);
  }
}

TEST(SettingsRecording, WriteInMinutesAndInHours) {
  ScriptedChannel channel(2);
  channel.Expect(WithSum({0x25, 0x02, 0x08, 0xDD, 0x03, 59, 0x2C, 0x01, 0x66}),
                 Reply(2, 0x08, {0x55}));
  channel.Expect(WithSum({0x25, 0x02, 0x08, 0xDD, 0x04, 23, 0xFF, 0x7F, 0x00, 0x66}),
                 Reply(2, 0x08, {0xAA}));
  EXPECT_EQ(WriteRecording(channel, {59, RecordingUnit::Minutes, 300}).message, "数据设置成功");
  EXPECT_EQ(WriteRecording(channel, {23, RecordingUnit::Hours, 32767}).message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsRecording, HoursWriteNeedsItsOwnAcknowledgement) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(1, 0x08, {0x55}));
  EXPECT_EQ(WriteRecording(channel, {2, RecordingUnit::Hours, 10}).message, "数据设置失败");
}

struct RecordingCase {
  Recording value;
  const char* message;
  const char* field;
};

class SettingsRecordingValidation : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(SettingsRecordingValidation, RefusedWithoutSending) {
  const RecordingCase& c = GetParam();
  ScriptedChannel channel;
  const Outcome outcome = WriteRecording(channel, c.value);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.field, c.field);
  EXPECT_TRUE(channel.Sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsRecordingValidation,
    ::testing::Values(
        RecordingCase{{24, RecordingUnit::Hours, 10}, "小时的时间间隔在1到23之间", "interval"},
        RecordingCase{{0, RecordingUnit::Hours, 10}, "小时的时间间隔在1到23之间", "interval"},
        RecordingCase{{60, RecordingUnit::Minutes, 10}, "时间间隔应该在1到59之间", "interval"},
        RecordingCase{{0, RecordingUnit::Minutes, 10}, "时间间隔应该在1到59之间", "interval"},
        RecordingCase{{5, RecordingUnit::Minutes, 0}, "存储容量不能小于等于0", "capacity"},
        RecordingCase{{5, RecordingUnit::Minutes, -4}, "存储容量不能小于等于0", "capacity"},
        RecordingCase{{5, RecordingUnit::Minutes, 32768}, "存储容量不能大于32767", "capacity"}));

struct SwitchCase {
  SwitchKind kind;
  uint8_t command;
  uint8_t readSub;
};

class SettingsSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SettingsSwitches, ReadDecodesBitsAndWriteSendsThem) {
  const SwitchCase& c = GetParam();
  ScriptedChannel channel(4);
  channel.Expect(WithSum({0x25, 0x04, c.command, c.readSub, 0x00, 0x66}),
                 Reply(4, c.command, {0x02}));
  channel.Expect(WithSum({0x25, 0x04, c.command, 0xAA, 0x01, 0x03, 0x66}),
                 Reply(4, c.command, {0x55}));
  channel.Expect(WithSum({0x25, 0x04, c.command, 0xAA, 0x01, 0x01, 0x66}),
                 Reply(4, c.command, {0x55}));
  const auto read = ReadSwitches(channel, c.kind);
  EXPECT_EQ(read.message(), "数据读取成功");
  EXPECT_EQ(read.value, (SwitchPair{false, true}));
  EXPECT_EQ(WriteSwitches(channel, c.kind, {true, true}).message, "数据设置成功");
  EXPECT_EQ(WriteSwitches(channel, c.kind, {true, false}).message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_P(SettingsSwitches, ReadWithWrongStartByteFails) {
  const SwitchCase& c = GetParam();
  ScriptedChannel channel;
  Bytes reply = Reply(1, c.command, {0x03});
  reply[0] = 0x3E;
  Reseal(reply);
  channel.Expect({}, reply);
  EXPECT_EQ(ReadSwitches(channel, c.kind).message(), "数据读取失败");
}

INSTANTIATE_TEST_SUITE_P(Kinds, SettingsSwitches,
                         ::testing::Values(SwitchCase{SwitchKind::Calibration, 0x04, 0x55},
                                           SwitchCase{SwitchKind::Alarm, 0x0A, 0xBB},
                                           SwitchCase{SwitchKind::Control, 0x0D, 0xBB}));

TEST(SettingsClear, ClearsOnAcknowledgementOnly) {
  ScriptedChannel channel(9);
  const Bytes request = WithSum({0x25, 0x09, 0x09, 0xFF, 0x00, 0x66});
  channel.Expect(request, Reply(9, 0x09, {0x55}));
  channel.Expect(request, Reply(9, 0x09, {0x00}));
  EXPECT_EQ(ClearHistory(channel).message, "数据清空成功");
  EXPECT_EQ(ClearHistory(channel).message, "数据清空失败");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(SettingsChannel, ClosedPortAndSilenceGiveTheirMessages) {
  ScriptedChannel channel;
  channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  channel.Expect({}, {});
  EXPECT_EQ(ClearHistory(channel).message, "串口打开失败");
  EXPECT_EQ(ReadSwitches(channel, SwitchKind::Alarm).message(), "数据读取失败");
}

TEST(SettingsChannel, OverTcpOnlyLengthStartAndSumAreChecked) {
  ScriptedChannel script;
  script.AcceptLikeTcp();
  ScriptedChannel& channel = script;
  // Not acknowledged and no end marker: accepted over TCP, since the exchange checked it.
  Bytes reply = Reply(1, 0x09, {0x00});
  reply[6] = 0x00;
  Reseal(reply);
  script.Expect({}, reply);
  EXPECT_EQ(ClearHistory(channel).message, "数据清空成功");
  // A wrong sum still fails.
  reply.back() ^= 0xFF;
  script.Expect({}, reply);
  EXPECT_EQ(ClearHistory(channel).message, "数据清空失败");
}

TEST(SettingsChannel, OverTcpTheRecordingReadAcceptsBothReplyLengths) {
  ScriptedChannel script;
  script.AcceptLikeTcp();
  script.Expect({}, Reply(1, 0x08, {2, 0x10, 0x00, 0x00}));
  const auto read = ReadRecording(script);
  EXPECT_EQ(read.message(), "数据读取成功");
  EXPECT_EQ(read.value, (Recording{2, RecordingUnit::Hours, 16}));
  ASSERT_EQ(script.Specs().size(), 1u);
  EXPECT_EQ(script.Specs()[0].capacity, 11u);
  EXPECT_EQ(script.Specs()[0].minimum, 10u);
}

TEST(SettingsVerbs, VerbsParseTheirOptionsAndRefuseBadOnes) {
  const CommandSet set = Commands();
  auto verb = [&](const std::string& name) -> const CommandDef& {
    for (const CommandDef& c : set.commands) {
      if (c.verb == name) return c;
    }
    ADD_FAILURE() << "missing verb " << name;
    return set.commands.front();
  };
  ScriptedChannel channel(1);
  channel.Expect(WithSum({0x25, 0x01, 0x08, 0xDD, 0x04, 5, 0x2C, 0x01, 0x00, 0x66}),
                 Reply(1, 0x08, {0xAA}));
  const Outcome written =
      RunVerb(verb("write-recording"), channel, {{"interval", "5"}, {"unit", "hours"}, {"capacity", "300"}});
  EXPECT_TRUE(written.ok) << written.message;
  EXPECT_EQ(RunVerb(verb("write-recording"), channel, {{"interval", "5x"}, {"unit", "hours"}, {"capacity", "1"}})
                .message,
            "请键入一个整数。");
  EXPECT_EQ(RunVerb(verb("write-recording"), channel, {{"interval", "5"}, {"unit", "days"}, {"capacity", "1"}})
                .field,
            "unit");
  EXPECT_EQ(RunVerb(verb("clear-data"), channel, {}).field, "confirm");
  EXPECT_EQ(RunVerb(verb("write-alarm-switches"), channel, {{"temp", "maybe"}, {"hum", "on"}}).field,
            "temp");
  EXPECT_EQ(channel.Sent().size(), 1u);
  for (const char* name : {"set-address", "read-alarm-limits", "write-alarm-limits",
                           "read-recording", "read-control-limits", "write-control-switches"}) {
    verb(name);
  }
}

}  // namespace
}  // namespace pages::settings
