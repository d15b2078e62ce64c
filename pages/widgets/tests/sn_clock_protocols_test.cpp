// The default SN and clock protocols against a scripted channel, byte for byte.
#include <gtest/gtest.h>

#include "link/testing/scripted_channel.h"
#include "pages/widgets/tests/widget_frames.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace {

using namespace widget_frames;
using devlink::Bytes;
using devlink::ExchangeStatus;
using devlink::testing::ScriptedChannel;

const pages::ClockTime kDec7 = {2026, 12, 7, 1, 9, 22, 1};

// Replaces byte `at` and, unless told otherwise, corrects the trailing sum.
Bytes Altered(Bytes frame, size_t at, uint8_t value, bool fixSum = true) {
  frame[at] = value;
  if (fixSum) {
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
    frame.back() = sum;
  }
  return frame;
}

TEST(SnProtocol, ReadShowsTheSnTextOfDateCodeAndSerial) {
  ScriptedChannel channel(9);  // the SN commands ignore the device address
  channel.Expect(kSnReadRequest, kSnReadReply);
  const pages::WidgetReply reply = pages::ReadSn(channel);
  EXPECT_TRUE(reply.ok()) << reply.message();
  EXPECT_EQ(reply.value.text, "7EAC00001");
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Specs().size(), 1u);
  EXPECT_EQ(channel.Specs()[0].capacity, 13u);
}

TEST(SnProtocol, ReadOfAnInstrumentWithoutSnIsAnError) {
  ScriptedChannel channel;
  channel.Expect(kSnReadRequest, kSnReadReplyUnset);
  const pages::WidgetReply reply = pages::ReadSn(channel);
  EXPECT_EQ(reply.message(), "仪器尚未配置SN号！");
  EXPECT_TRUE(reply.value.text.empty());
}

struct BadReply {
  const char* what;
  Bytes reply;
};

class SnReadRefused : public ::testing::TestWithParam<BadReply> {};

TEST_P(SnReadRefused, WithTheReadFailureText) {
  EXPECT_EQ(pages::ParseSnReadReply(GetParam().reply).message(), "数据读取失败") << GetParam().what;
  EXPECT_EQ(pages::ParseClockReadReply(GetParam().reply).message(), "数据读取失败")
      << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SnReadRefused,
    ::testing::Values(BadReply{"nothing", {}},
                      BadReply{"one byte short", Bytes(kSnReadReply.begin(), kSnReadReply.end() - 1)},
                      BadReply{"one byte long", [] {
                                 Bytes b = kSnReadReply;
                                 b.push_back(0x00);
                                 return b;
                               }()},
                      BadReply{"start byte", Altered(kSnReadReply, 0, 0x25)},
                      BadReply{"sum", Altered(kSnReadReply, 12, 0x06, false)},
                      BadReply{"end marker with a correct sum", Altered(kSnReadReply, 11, 0x67)}));

TEST(SnProtocol, ReadRepliesAreNotCheckedForTheEchoedCommand) {
  // Only length, start byte, sum and end marker are checked on these replies.
  EXPECT_TRUE(pages::ParseSnReadReply(Altered(kSnReadReply, 2, 0x33)).ok());
  EXPECT_TRUE(pages::ParseClockReadReply(Altered(kClockReadReply, 2, 0x09)).ok());
}

// The clock read of the settings, refrigerated box and 32-bit transmitter pages: a time that
// cannot be is a failed read that says what was wrong, and the time field keeps its text.
TEST(ClockProtocol, ImpossibleTimesAreFailedReads) {
  const struct {
    Bytes bcd;
    const char* detail;
  } cases[] = {
      {{0x05, 0x99, 0x13, 0x60, 0x32, 0x13},
       "impossible date-time 2005-99-13 60:32:13: month 99"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "impossible date-time 2000-00-00 00:00:00: month 0"},
      {{0x26, 0x02, 0x29, 0x01, 0x09, 0x22}, "impossible date-time 2026-02-29 01:09:22: day 29 of 2026-02"},
      {{0x26, 0x12, 0x07, 0x01, 0x0A, 0x22}, "BCD byte 0A at offset 9"},
      {{0x2F, 0x12, 0x07, 0x01, 0x09, 0x22}, "BCD byte 2F at offset 5"},
  };
  for (const auto& c : cases) {
    Bytes reply = kClockReadReply;
    std::copy(c.bcd.begin(), c.bcd.end(), reply.begin() + 5);
    reply = Altered(reply, 1, 0x01);
    ScriptedChannel channel;
    channel.Expect(kClockReadRequest, reply);
    const pages::WidgetReply read = pages::ReadClock(channel);
    EXPECT_EQ(read.message(), "数据读取失败") << c.detail;
    EXPECT_EQ(read.outcome.detail, c.detail);
    EXPECT_TRUE(read.value.text.empty());
  }
}

TEST(SnProtocol, WriteSendsDateCodeAndSerialHighByteFirst) {
  ScriptedChannel channel;
  channel.Expect(kSnWriteRequest, kSnWriteAck);
  const pages::WidgetReply reply = pages::WriteSn(channel, 2026, 12, 1);
  EXPECT_TRUE(reply.ok()) << reply.message();
  EXPECT_EQ(reply.message(), "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(channel.Specs().at(0).capacity, 8u);

  // No month check: month 16 moves into the year's bits.
  EXPECT_EQ(pages::BuildSnWriteRequest(2026, 16, 65535).bytes,
            (Bytes{0x25, 0x00, 0x31, 0xFF, 0x06, 0x7E, 0xB0, 0xFF, 0xFF, 0x00, 0x00, 0x66, 0xED}));
}

TEST(SnProtocol, WriteReplyChecks) {
  EXPECT_EQ(pages::ParseSnWriteReply(kSnWriteAck), "");
  EXPECT_EQ(pages::ParseSnWriteReply(Altered(kSnWriteAck, 5, 0x00)), "数据设置失败");  // not 'U'
  EXPECT_EQ(pages::ParseSnWriteReply(Altered(kSnWriteAck, 7, 0x00, false)), "数据设置失败");
  EXPECT_EQ(pages::ParseSnWriteReply(Altered(kSnWriteAck, 6, 0x65)), "数据设置失败");
  EXPECT_EQ(pages::ParseSnWriteReply(Bytes(kSnWriteAck.begin(), kSnWriteAck.end() - 1)),
            "数据设置失败");
  EXPECT_EQ(pages::ParseSnWriteReply({}), "数据设置失败");
}

TEST(SnProtocol, SerialOutsideSixteenBitsIsRefusedBeforeSending) {
  for (int serial : {-1, 65536, 99999}) {
    ScriptedChannel channel;
    EXPECT_EQ(pages::WriteSn(channel, 2026, 12, serial).message(), "序列号范围为 0 ~ 65535");
    EXPECT_TRUE(channel.Sent().empty()) << serial;
  }
}

TEST(SnProtocol, SnTextOfDateCodes) {
  struct Case {
    int year, month, serial;
    const char* text;
  };
  for (const Case& c : {Case{2026, 12, 1, "7EAC00001"}, Case{2026, 16, 0, "7EB000000"},
                        Case{2000, 1, 65535, "7D0165535"}, Case{4096, 0, 42, "000000042"},
                        Case{-1, 0, 7, "FFF000007"}}) {
    EXPECT_EQ(pages::SnText(pages::SnDateCode(c.year, c.month), c.serial), c.text)
        << c.year << "/" << c.month;
  }
}

TEST(ClockProtocol, ReadUsesTheDeviceAddressAndReportsTheOneInTheReply) {
  ScriptedChannel channel(1);
  channel.Expect(kClockReadRequest, kClockReadReply);
  pages::WidgetReply reply = pages::ReadClock(channel);
  EXPECT_TRUE(reply.ok()) << reply.message();
  EXPECT_EQ(reply.value.text, "2026-12-07 01:09:22");
  EXPECT_EQ(reply.message(), "数据读取成功");
  EXPECT_EQ(reply.value.reportedAddress, std::optional<uint8_t>(1));
  EXPECT_TRUE(channel.Problems().empty());

  EXPECT_EQ(pages::BuildClockReadRequest(7).bytes,
            (Bytes{0x25, 0x07, 0x08, 0xCC, 0x00, 0x66, 0x66}));
  // An instrument answering with address 0 reports 0; the main window judges it.
  EXPECT_EQ(pages::ParseClockReadReply(Altered(kClockReadReply, 1, 0x00)).value.reportedAddress,
            std::optional<uint8_t>(0));
}

TEST(ClockProtocol, SetTimeGoesToAddressZeroAndExpectsNoReply) {
  ScriptedChannel channel(5);
  channel.Expect(kClockSetRequest, {});
  const pages::WidgetReply reply = pages::SetClock(channel, kDec7);
  EXPECT_TRUE(reply.ok()) << reply.message();
  EXPECT_EQ(reply.message(), "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(channel.Specs().at(0).capacity, 0u);
}

TEST(WidgetCommand, ChannelFailuresGiveTheOperationsTexts) {
  struct Case {
    ExchangeStatus status;
    std::function<pages::WidgetReply(devlink::Channel&)> run;
    const char* text;
  };
  auto readSn = [](devlink::Channel& c) { return pages::ReadSn(c); };
  auto writeSn = [](devlink::Channel& c) { return pages::WriteSn(c, 2026, 12, 1); };
  auto readClock = [](devlink::Channel& c) { return pages::ReadClock(c); };
  auto setClock = [](devlink::Channel& c) { return pages::SetClock(c, kDec7); };
  const Case cases[] = {
      {ExchangeStatus::PortNotOpen, readSn, "串口打开失败"},
      {ExchangeStatus::PortNotOpen, writeSn, "串口打开失败"},
      {ExchangeStatus::PortNotOpen, readClock, "串口打开失败"},
      {ExchangeStatus::PortNotOpen, setClock, "串口打开失败"},
      {ExchangeStatus::NoReply, readSn, "数据读取失败"},
      {ExchangeStatus::NoReply, writeSn, "数据设置失败"},
      {ExchangeStatus::NoReply, readClock, "数据读取失败"},
      // A set time that could not be delivered is not a success.
      {ExchangeStatus::NoReply, setClock, "数据设置失败"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, {}, c.status);
    EXPECT_EQ(c.run(channel).message(), c.text);
  }
}

TEST(WidgetCommand, ParsesOnlyWhatArrivedAndSendsNothingForAnEmptyRequest) {
  ScriptedChannel channel;
  channel.Expect({}, {0x3C, 0x01});
  size_t seen = 99;
  pages::WidgetRequest request{{0x01}, 200, devlink::FrameFamily::Modbus};
  pages::RunWidgetCommand(channel, pages::WidgetOperation::Read, request,
                          [&](devlink::ByteView reply) {
                            seen = reply.size();
                            return pages::WidgetReply({}, {});
                          });
  EXPECT_EQ(seen, 2u);
  EXPECT_EQ(channel.Specs().at(0).capacity, 200u);
  EXPECT_EQ(channel.Specs().at(0).family, devlink::FrameFamily::Modbus);

  ScriptedChannel silent;
  EXPECT_EQ(pages::RunWidgetCommand(silent, pages::WidgetOperation::Write, {}, nullptr).message(),
            "数据设置失败");
  EXPECT_TRUE(silent.Sent().empty());
}

TEST(WidgetCommands, TableVerbsCheckTheirArgumentsAndRunTheCommands) {
  const pages::CommandSet set = pages::WidgetCommands();
  auto find = [&](const std::string& verb) -> const pages::CommandDef& {
    for (const auto& c : set.commands) {
      if (c.verb == verb) return c;
    }
    throw std::runtime_error("no verb " + verb);
  };
  ScriptedChannel channel;
  pages::Outcome bad = pages::RunVerb(find("write-sn"), channel, {{"year", "2026"}, {"month", "x"}, {"serial", "1"}});
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.field, "month");
  EXPECT_TRUE(channel.Sent().empty());

  channel.Expect(kSnWriteRequest, kSnWriteAck);
  EXPECT_TRUE(pages::RunVerb(find("write-sn"), channel, {{"year", "2026"}, {"month", "12"}, {"serial", "1"}}).ok);
  channel.Expect(kClockReadRequest, kClockReadReply);
  pages::Outcome clock = pages::RunVerb(find("read-clock"), channel, {});
  EXPECT_TRUE(clock.ok);
  EXPECT_EQ(clock.message, "数据读取成功");
  ASSERT_EQ(clock.values.size(), 2u);
  EXPECT_EQ(std::get<std::string>(clock.values[0].second), "2026-12-07 01:09:22");
  EXPECT_EQ(std::get<int64_t>(clock.values[1].second), 1);
  EXPECT_TRUE(channel.Problems().empty());
}

}  // namespace
