// The Bluetooth logger's commands against a scripted channel: the requests byte for byte, the
// reply checks in their order with their messages, and what a write sends back.
#include "pages/btlogger/btlogger_commands.h"

#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/testing/scripted_channel.h"

namespace pages::btlogger {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

Bytes WithCrc(Bytes frame) {
  devlink::AppendCrc16(frame);
  return frame;
}

// A 0x03 reply carrying `data`.
Bytes ReadReply(const Bytes& data) {
  Bytes frame{0x01, 0x03, static_cast<uint8_t>(data.size())};
  frame.insert(frame.end(), data.begin(), data.end());
  return WithCrc(frame);
}

Bytes WriteAck(uint8_t function = 0x10) {
  return WithCrc({0x01, function, 0x00, 0x00, 0x00, 0x01});
}

// A header whose every byte is its offset + 0x40, with the given maximum and channel count.
Bytes Header(uint8_t maximum, uint8_t count) {
  Bytes header(kHeaderBytes);
  for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(0x40 + i);
  header[44] = maximum;
  header[45] = count;
  return header;
}

Bytes Record(uint8_t type, uint8_t fill) {
  Bytes record(kRecordBytes, fill);
  record[1] = type;
  return record;
}

Bytes Spoiled(Bytes frame) {
  frame.back() ^= 0xFF;
  return frame;
}

TEST(BtLoggerRequests, BytesOnTheWire) {
  struct Vector {
    const char* name;
    Bytes actual;
    Bytes expected;
  };
  const Vector vectors[] = {
      {"header read", BuildHeaderRead(), {0x01, 0x03, 0x01, 0x00, 0x00, 0x1C, 0x45, 0xFF}},
      {"channel 1", BuildRecordRead(0), {0x01, 0x03, 0x10, 0x00, 0x00, 0x10, 0x40, 0xC6}},
      {"channel 2", BuildRecordRead(1), {0x01, 0x03, 0x10, 0x80, 0x00, 0x10, 0x41, 0x2E}},
      {"channel 3", BuildRecordRead(2), {0x01, 0x03, 0x11, 0x00, 0x00, 0x10, 0x41, 0x3A}},
      {"clear",
       BuildClearHistory(),
       {0x01, 0x13, 0x00, 0x00, 0x00, 0x01, 0x02, 0xA5, 0x5A, 0x1D, 0x2E}},
      {"SN read", BuildSnReadRequest().bytes, {0x01, 0x03, 0x00, 0x00, 0x00, 0x20, 0x44, 0x12}},
      {"clock read",
       BuildClockReadRequest().bytes,
       {0x01, 0x03, 0x01, 0xE0, 0x00, 0x04, 0x44, 0x03}},
      // Monday 7 December 2026, 01:09:22.
      {"clock set",
       BuildClockWriteRequest({2026, 12, 7, 1, 9, 22, 1}).bytes,
       {0x01, 0x10, 0x01, 0xE0, 0x00, 0x04, 0x08, 0x09, 0x22, 0x01, 0x01, 0x12, 0x07, 0x20, 0x26,
        0xE4, 0xDF}},
  };
  for (const Vector& v : vectors) EXPECT_EQ(v.actual, v.expected) << v.name;
  EXPECT_EQ(BuildSnReadRequest().replyLength, 69u);
  EXPECT_EQ(BuildClockReadRequest().replyLength, 200u);
  EXPECT_EQ(BuildClockWriteRequest({}).replyLength, 200u);
}

// Header byte 48 (data byte 45) = 3 and byte 47 (data byte 44) = 8: three channel reads; a type
// byte 5 gives a channel without a type name.
TEST(BtLoggerReadConfig, ReadsEachConfiguredChannel) {
  ScriptedChannel channel;
  const Bytes headerReply = ReadReply(Header(8, 3));
  ASSERT_EQ(headerReply[48], 3);
  ASSERT_EQ(headerReply[47], 8);
  channel.Expect(BuildHeaderRead(), headerReply);
  channel.Expect({0x01, 0x03, 0x10, 0x00, 0x00, 0x10, 0x40, 0xC6}, ReadReply(Record(1, 0xA0)));
  channel.Expect({0x01, 0x03, 0x10, 0x80, 0x00, 0x10, 0x41, 0x2E}, ReadReply(Record(2, 0xB0)));
  channel.Expect({0x01, 0x03, 0x11, 0x00, 0x00, 0x10, 0x41, 0x3A}, ReadReply(Record(5, 0xC0)));
  const Result<LoggerConfig> read = ReadConfig(channel);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(read.value.Maximum(), 8);
  EXPECT_EQ(read.value.Configured(), 3);
  EXPECT_EQ(read.value.header, Header(8, 3));
  ASSERT_EQ(read.value.records.size(), 3u);
  EXPECT_EQ(read.value.records[1], Record(2, 0xB0));
  EXPECT_EQ(TypeText(read.value.Type(0)), "温度");
  EXPECT_EQ(TypeText(read.value.Type(1)), "湿度");
  EXPECT_EQ(TypeText(read.value.Type(2)), "");
}

TEST(BtLoggerReadConfig, RefusedRepliesAndTheirMessages) {
  struct Case {
    const char* name;
    Bytes headerReply;
    Bytes recordReply;  // empty: no channel read expected
    const char* message;
    size_t recordsKept;
  };
  Bytes wrongFunction = ReadReply(Header(8, 2));
  wrongFunction[1] = 0x04;
  wrongFunction = WithCrc(Bytes(wrongFunction.begin(), wrongFunction.end() - 2));
  Bytes shortRecord = ReadReply(Record(1, 0));
  shortRecord.pop_back();
  Bytes shortHeader = ReadReply(Header(8, 2));
  shortHeader.pop_back();
  const Case cases[] = {
      {"header too short", shortHeader, {}, "读取通道失败", 0},
      {"header function", wrongFunction, {}, "读取通道失败", 0},
      {"header CRC", Spoiled(ReadReply(Header(8, 2))), {}, "读取通道校验失败", 0},
      {"record short", ReadReply(Header(8, 2)), shortRecord, "获取通道名称失败", 1},
      {"record CRC", ReadReply(Header(8, 2)), Spoiled(ReadReply(Record(1, 0))),
       "获取通道名称校验失败", 1},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect(BuildHeaderRead(), c.headerReply);
    if (!c.recordReply.empty()) {
      channel.Expect(BuildRecordRead(0), ReadReply(Record(1, 0)));
      channel.Expect(BuildRecordRead(1), c.recordReply);
    }
    const Result<LoggerConfig> read = ReadConfig(channel);
    EXPECT_FALSE(read.ok()) << c.name;
    EXPECT_EQ(read.message(), c.message) << c.name;
    EXPECT_TRUE(channel.Problems().empty()) << c.name;
    // The rows read before the failure are still there for the list.
    EXPECT_EQ(read.value.records.size(), c.recordsKept) << c.name;
  }
}

LoggerConfig Kept(uint8_t maximum, std::vector<Bytes> records) {
  LoggerConfig config;
  config.header = Header(maximum, static_cast<uint8_t>(records.size()));
  config.records = std::move(records);
  return config;
}

Bytes RecordWrite(int k, const Bytes& record) {
  const auto reg = static_cast<uint16_t>(0x1000 + 128 * k);
  Bytes frame{0x01, 0x10, static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg), 0x00,
              0x10, 0x20};
  frame.insert(frame.end(), record.begin(), record.end());
  return WithCrc(frame);
}

Bytes HeaderWrite(const Bytes& header) {
  Bytes frame{0x01, 0x10, 0x01, 0x00, 0x00, 0x1C, 0x38};
  frame.insert(frame.end(), header.begin(), header.end());
  return WithCrc(frame);
}

// Records first, each the kept one with only its type changed (a channel never read goes out as
// zeros), then the kept header with only the channel count changed.
TEST(BtLoggerWriteConfig, SendsBackWhatWasReadWithTypesAndCountChanged) {
  const LoggerConfig kept = Kept(8, {Record(1, 0xA0), Record(5, 0xB0)});
  ScriptedChannel channel;
  channel.Expect(RecordWrite(0, Record(2, 0xA0)), WriteAck());
  channel.Expect(RecordWrite(1, Record(1, 0xB0)), WriteAck());
  channel.Expect(RecordWrite(2, Record(2, 0x00)), WriteAck());
  Bytes header = Header(8, 3);
  channel.Expect(HeaderWrite(header), WriteAck());
  const std::vector<std::optional<uint8_t>> rows{2, 1, 2};
  const Outcome written = WriteConfig(channel, kept, rows);
  EXPECT_TRUE(written.ok) << written.message;
  EXPECT_EQ(written.message, "");
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(channel.Sent()[0].size(), 41u);
  EXPECT_EQ(channel.Sent()[3].size(), 65u);
}

TEST(BtLoggerWriteConfig, RefusesBeforeSending) {
  const LoggerConfig kept = Kept(2, {Record(1, 0), Record(5, 0)});
  struct Case {
    std::vector<std::optional<uint8_t>> rows;
    const char* message;
  };
  const Case cases[] = {
      {{1, 2, 1}, "err:配置数量不能大于2"},
      {{}, "请至少输入一行数据"},
      {{1, std::nullopt}, "请删除无效行或填入有效数据！"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    const Outcome written = WriteConfig(channel, kept, c.rows);
    EXPECT_TRUE(written.Refusal()) << c.message;
    EXPECT_EQ(written.message, c.message);
    EXPECT_TRUE(channel.Sent().empty()) << c.message;
  }
  // Nothing read: the logger takes no channels as far as the page knows.
  ScriptedChannel channel;
  const std::vector<std::optional<uint8_t>> one{1};
  EXPECT_EQ(WriteConfig(channel, LoggerConfig{}, one).message, "err:配置数量不能大于0");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(BtLoggerWriteConfig, StopsAtTheFirstRefusedReply) {
  const LoggerConfig kept = Kept(8, {Record(1, 0), Record(1, 0)});
  const std::vector<std::optional<uint8_t>> rows{1, 1};
  struct Case {
    int failingStep;  // 0, 1: a record; 2: the header
    Bytes reply;
    const char* message;
  };
  const Case cases[] = {
      {0, WriteAck(0x03), "设置通道类型失败"},
      {1, Spoiled(WriteAck()), "设置通道类型校验失败"},
      {2, Bytes{0x01, 0x90, 0x02, 0xCD, 0xC1}, "设置通道数失败"},
      {2, Spoiled(WriteAck()), "设置通道数校验失败"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    for (int step = 0; step < c.failingStep; ++step) channel.Expect({}, WriteAck());
    channel.Expect({}, c.reply);
    EXPECT_EQ(WriteConfig(channel, kept, rows).message, c.message);
    EXPECT_TRUE(channel.Problems().empty()) << c.message;
  }
}

TEST(BtLoggerClear, MessagesByReply) {
  struct Case {
    Bytes reply;
    devlink::ExchangeStatus status;
    bool ok;
    const char* message;
  };
  const Case cases[] = {
      {{0x01, 0x13, 0x00, 0x00, 0x00, 0x01, 0x45, 0xC9},
       devlink::ExchangeStatus::Ok,
       true,
       "历史数据清除成功"},
      {WriteAck(0x10), devlink::ExchangeStatus::Ok, false, "清除历史数据失败"},
      {{}, devlink::ExchangeStatus::Ok, false, "清除历史数据失败"},
      {Spoiled(WriteAck(0x13)), devlink::ExchangeStatus::Ok, false, "清除历史数据校验失败"},
      {{}, devlink::ExchangeStatus::PortNotOpen, false, "串口打开失败"},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel;
    channel.Expect(BuildClearHistory(), c.reply, c.status);
    const Outcome cleared = ClearHistory(channel);
    EXPECT_EQ(cleared.ok, c.ok) << c.message;
    EXPECT_EQ(cleared.message, c.message);
  }
}

Bytes SnBlock() {
  Bytes block(kSnBlockBytes);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0x10 + i);
  block[0] = 0x00;
  block[1] = 0x01;
  block[2] = 0x7E;
  block[3] = 0xAC;
  return block;
}

TEST(BtLoggerSn, ReadShowsTheSnAndWriteChangesOnlySerialAndDate) {
  const Bytes reply = ReadReply(SnBlock());
  ASSERT_EQ(reply.size(), 69u);
  const WidgetReply read = ParseSnReadReply(reply);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(read.value.text, "7EAC00001");
  EXPECT_EQ(read.message(), "");

  const WidgetRequest write = BuildSnWriteRequest(reply, 2026, 16, 0x1234);
  Bytes block = SnBlock();
  block[0] = 0x12;
  block[1] = 0x34;
  block[2] = 0x7E;
  block[3] = 0xB0;
  Bytes expected{0x01, 0x10, 0x00, 0x00, 0x00, 0x20, 0x40};
  expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_EQ(write.bytes, WithCrc(expected));
  EXPECT_EQ(write.bytes.size(), 73u);
  EXPECT_EQ(write.replyLength, 8u);
  // Without a whole read nothing can be sent back.
  EXPECT_TRUE(BuildSnWriteRequest({}, 2026, 12, 1).bytes.empty());
}

TEST(BtLoggerSnAndClock, RepliesRefusedWithTheirMessages) {
  Bytes wrongFunction = ReadReply(SnBlock());
  wrongFunction[1] = 0x04;
  wrongFunction = WithCrc(Bytes(wrongFunction.begin(), wrongFunction.end() - 2));
  const Bytes clock = ReadReply({0x09, 0x22, 0x01, 0x01, 0x12, 0x07, 0x20, 0x26});
  Bytes clockLong = clock;
  clockLong.push_back(0x00);
  struct Case {
    const char* name;
    std::string error;
    const char* expected;
  };
  const Case cases[] = {
      {"SN short", ParseSnReadReply(Bytes(68, 0x01)).message(), "数据读取失败"},
      {"SN function", ParseSnReadReply(wrongFunction).message(), "数据读取失败"},
      {"SN CRC", ParseSnReadReply(Spoiled(ReadReply(SnBlock()))).message(), "数据校验失败"},
      {"SN write ok", ParseSnWriteReply(WriteAck()), ""},
      {"SN write function", ParseSnWriteReply(WriteAck(0x03)), "数据设置失败"},
      {"SN write CRC", ParseSnWriteReply(Spoiled(WriteAck())), "数据校验失败"},
      {"clock long", ParseClockReadReply(clockLong).message(), "数据读取失败"},
      {"clock CRC", ParseClockReadReply(Spoiled(clock)).message(), "数据校验失败"},
      {"clock set empty", ParseClockWriteReply({}), "数据设置失败"},
      {"clock set CRC", ParseClockWriteReply(Spoiled(WriteAck())), "数据校验失败"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.error, c.expected) << c.name;
  const WidgetReply time = ParseClockReadReply(clock);
  ASSERT_TRUE(time.ok());
  EXPECT_EQ(time.value.text, "2026-12-07 01:09:22");
  EXPECT_FALSE(time.value.reportedAddress.has_value());
}

// Registers: minute, second, weekday, hour, month, day, century, year.
TEST(BtLoggerSnAndClock, ImpossibleClockTimesAreFailedReads) {
  const struct {
    Bytes clock;
    const char* detail;
  } cases[] = {
      {{0x32, 0x13, 0x01, 0x60, 0x99, 0x13, 0x21, 0x05},
       "impossible date-time 2105-99-13 60:32:13: month 99"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00},
       "impossible date-time 2000-00-00 00:00:00: month 0"},
      {{0x09, 0x22, 0x0C, 0x01, 0x12, 0x07, 0x20, 0x26}, "BCD byte 0C at offset 5"},
  };
  for (const auto& c : cases) {
    const WidgetReply time = ParseClockReadReply(ReadReply(c.clock));
    EXPECT_EQ(time.message(), "数据读取失败") << c.detail;
    EXPECT_EQ(time.outcome.detail, c.detail);
  }
}

}  // namespace
}  // namespace pages::btlogger
