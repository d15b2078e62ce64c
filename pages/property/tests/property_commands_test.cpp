// Property settings commands against a scripted channel: exact request bytes, reply checks,
// decoding and the validation rules (nothing may be sent when a rule fails).
#include "pages/property/property_commands.h"

#include <cmath>
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "link/testing/scripted_channel.h"
#include "pages/testing/results.h"

namespace pages::property {
namespace {

using pages::testing::Into;

using devlink::Bytes;
using devlink::ExchangeStatus;
using devlink::testing::ScriptedChannel;

// Builds a frame independently of the link's builders: start, address, command, sub, N,
// payload, 'f', 8-bit sum.
Bytes Frame(uint8_t start, uint8_t command, uint8_t sub, const Bytes& payload) {
  Bytes f{start, 0x00, command, sub, static_cast<uint8_t>(payload.size())};
  f.insert(f.end(), payload.begin(), payload.end());
  f.push_back(0x66);
  uint8_t sum = 0;
  for (uint8_t b : f) sum = static_cast<uint8_t>(sum + b);
  f.push_back(sum);
  return f;
}
Bytes Request(uint8_t command, uint8_t sub, const Bytes& payload = {}) {
  return Frame(0x25, command, sub, payload);
}
Bytes Reply(uint8_t command, uint8_t sub, const Bytes& payload) {
  return Frame(0x3C, command, sub, payload);
}
Bytes Ack(uint8_t command, uint8_t sub = 0xFF) { return Reply(command, sub, {0x55}); }

Bytes SingleLe(float v) {
  uint32_t bits = std::bit_cast<uint32_t>(v);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

Bytes Record(uint8_t type, uint8_t flags, Bytes card, Bytes sn, float upper, float lower) {
  Bytes r{type, flags, 0x00, 0x00};
  r.insert(r.end(), card.begin(), card.end());
  r.insert(r.end(), sn.begin(), sn.end());
  for (float v : {upper, lower}) {
    Bytes s = SingleLe(v);
    r.insert(r.end(), s.begin(), s.end());
  }
  return r;
}

ChannelWrite GoodWrite() {
  ChannelWrite w;
  w.channel = 1;
  w.typeCode = 1;
  w.soundLight = true;
  w.cardId = "0A0B0C0D";
  w.sn = "1A2B00042";
  w.upper = 40.0;
  w.lower = -10.0;
  return w;
}

// ---- Channel write ----

TEST(PropertyChannelWrite, SendsTheRecordByteForByte) {
  ScriptedChannel channel;
  channel.Expect({0x25, 0x00, 0x33, 0x01, 0x14, 0x01, 0x07, 0x00, 0x00, 0x0D, 0x0C, 0x0B, 0x0A,
                  0x1A, 0x2B, 0x00, 0x2A, 0x00, 0x00, 0x20, 0x42, 0x00, 0x00, 0x20, 0xC1, 0x66,
                  0xBB},
                 {0x3C, 0x00, 0x33, 0x01, 0x01, 0x55, 0x66, 0x2C});
  Outcome outcome = WriteChannel(channel, GoodWrite());
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Specs().size(), 1u);
  EXPECT_EQ(channel.Specs()[0].capacity, 8u);
}

struct FlagCase {
  bool soundLight;
  bool sms;
  uint8_t written;
};
class PropertyAlarmFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(PropertyAlarmFlags, AreWrittenWithTheAnyAlarmBit) {
  ChannelWrite w = GoodWrite();
  w.channel = 32;
  w.soundLight = GetParam().soundLight;
  w.sms = GetParam().sms;
  ScriptedChannel channel;
  channel.Expect(Request(0x33, 32,
                         Record(0x01, GetParam().written, {0x0D, 0x0C, 0x0B, 0x0A},
                                {0x1A, 0x2B, 0x00, 0x2A}, 40.0f, -10.0f)),
                 Ack(0x33, 32));
  EXPECT_TRUE(WriteChannel(channel, w).ok);
  EXPECT_TRUE(channel.Problems().empty());
}
INSTANTIATE_TEST_SUITE_P(Flags, PropertyAlarmFlags,
                         ::testing::Values(FlagCase{false, false, 0x00}, FlagCase{true, false, 0x07},
                                           FlagCase{false, true, 0x09}, FlagCase{true, true, 0x0F}));

struct RefusedCase {
  const char* name;
  void (*change)(ChannelWrite&);
  std::string message;
  std::string field;
};
class PropertyChannelRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(PropertyChannelRefused, ShowsTheRuleAndSendsNothing) {
  ChannelWrite w = GoodWrite();
  GetParam().change(w);
  ScriptedChannel channel;
  Outcome outcome = WriteChannel(channel, w);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, GetParam().message);
  EXPECT_EQ(outcome.field, GetParam().field);
  EXPECT_TRUE(channel.Sent().empty());
}

const std::string kHumidityRange = "上限必须不小于下限!\r\n范围: 0.0 ~ 100.0";
const std::string kTemperatureRange = "上限必须不小于下限!\r\n范围: -300.0 ~ 1000.0";

INSTANTIATE_TEST_SUITE_P(
    Rules, PropertyChannelRefused,
    ::testing::Values(
        RefusedCase{"NoChannel", [](ChannelWrite& w) { w.channel.reset(); }, "请选择通道号！",
                    "channel"},
        RefusedCase{"Channel33", [](ChannelWrite& w) { w.channel = 33; }, "请选择通道号！",
                    "channel"},
        RefusedCase{"CardIdShort", [](ChannelWrite& w) { w.cardId = "0A0B0C0"; },
                    "卡片id输入有误，请输入正确卡片id！", "card-id"},
        RefusedCase{"CardIdNotHex", [](ChannelWrite& w) { w.cardId = "0A0B-C0D"; },
                    "卡片id输入有误，请输入正确卡片id！", "card-id"},
        RefusedCase{"SnLong", [](ChannelWrite& w) { w.sn = "1A2B000420"; },
                    "SN号输入有误，请输入正确SN号！", "sn"},
        RefusedCase{"SnPrefixNotHex", [](ChannelWrite& w) { w.sn = "1G2B00042"; },
                    "SN号输入有误，请输入正确SN号！", "sn"},
        RefusedCase{"SnSerialNotDecimal", [](ChannelWrite& w) { w.sn = "1A2B0004A"; },
                    "SN号输入有误，请输入正确SN号！", "sn"},
        // 70000 does not fit the two serial bytes: it would come back as another SN.
        RefusedCase{"SnSerialTooLarge", [](ChannelWrite& w) { w.sn = "1A2B70000"; },
                    "SN号输入有误，请输入正确SN号！", "sn"},
        RefusedCase{"NoType", [](ChannelWrite& w) { w.typeCode.reset(); },
                    "请选择配置的通道类型！", "type-code"},
        RefusedCase{"UnusedTypeCode", [](ChannelWrite& w) { w.typeCode = 23; },
                    "请选择配置的通道类型！", "type-code"},
        RefusedCase{"HumidityAbove100",
                    [](ChannelWrite& w) {
                      w.typeCode = 2;
                      w.upper = 120;
                      w.lower = 0;
                    },
                    kHumidityRange, "upper"},
        RefusedCase{"HumidityBelow0",
                    [](ChannelWrite& w) {
                      w.typeCode = 5;
                      w.upper = 50;
                      w.lower = -0.1;
                    },
                    kHumidityRange, "upper"},
        RefusedCase{"UpperBelowLower",
                    [](ChannelWrite& w) {
                      w.upper = 10;
                      w.lower = 10.5;
                    },
                    kTemperatureRange, "upper"},
        RefusedCase{"OxygenAbove25",
                    [](ChannelWrite& w) {
                      w.typeCode = 52;
                      w.upper = 25.5;
                      w.lower = 0;
                    },
                    "上限必须不小于下限!\r\n范围: 0.0 ~ 25.0", "upper"},
        RefusedCase{"PressureBelow500",
                    [](ChannelWrite& w) {
                      w.typeCode = 53;
                      w.upper = 1000;
                      w.lower = 499;
                    },
                    "上限必须不小于下限!\r\n范围: 500.0 ~ 1200.0", "upper"}),
    [](const auto& info) { return info.param.name; });

TEST(PropertyChannelWrite, TypeWithoutRangeAcceptsAnyLimits) {
  ChannelWrite w = GoodWrite();
  w.typeCode = 6;  // "经度"
  w.upper = -5000;
  w.lower = 99999;
  ScriptedChannel channel;
  channel.Expect(Request(0x33, 1,
                         Record(6, 0x07, {0x0D, 0x0C, 0x0B, 0x0A}, {0x1A, 0x2B, 0x00, 0x2A},
                                -5000.0f, 99999.0f)),
                 Ack(0x33, 1));
  EXPECT_TRUE(WriteChannel(channel, w).ok);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(PropertyChannelWrite, RangeEndsAreAccepted) {
  ChannelWrite w = GoodWrite();
  w.typeCode = 47;  // "LORA-温度"
  w.upper = 1000;
  w.lower = -300;
  ScriptedChannel channel;
  channel.Expect({}, Ack(0x33, 1));
  EXPECT_TRUE(WriteChannel(channel, w).ok);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0][5], 47);
}

TEST(PropertyChannelWrite, LowerCaseHexIsTheSameCard) {
  ChannelWrite w = GoodWrite();
  w.cardId = "a0b0c0d0";
  w.sn = "ffff65535";
  ScriptedChannel channel;
  channel.Expect({}, Ack(0x33, 1));
  EXPECT_TRUE(WriteChannel(channel, w).ok);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(Bytes(channel.Sent()[0].begin() + 9, channel.Sent()[0].begin() + 17),
            (Bytes{0xD0, 0xC0, 0xB0, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

struct FailedReply {
  const char* name;
  Bytes reply;
  ExchangeStatus status;
  std::string message;
};
class PropertyChannelWriteReply : public ::testing::TestWithParam<FailedReply> {};

TEST_P(PropertyChannelWriteReply, IsRejected) {
  ScriptedChannel channel;
  channel.Expect({}, GetParam().reply, GetParam().status);
  Outcome outcome = WriteChannel(channel, GoodWrite());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    Replies, PropertyChannelWriteReply,
    ::testing::Values(
        FailedReply{"NoAck", Reply(0x33, 1, {0x00}), ExchangeStatus::Ok, "数据设置失败"},
        FailedReply{"Silent", {}, ExchangeStatus::Ok, "数据设置失败"},
        FailedReply{"BadSum", {0x3C, 0x00, 0x33, 0x01, 0x01, 0x55, 0x66, 0x2D},
                    ExchangeStatus::Ok, "数据设置失败"},
        FailedReply{"NoEndMarker", {0x3C, 0x00, 0x33, 0x01, 0x01, 0x55, 0x65, 0x2B},
                    ExchangeStatus::Ok, "数据设置失败"},
        FailedReply{"Longer", Reply(0x33, 1, {0x55, 0x55}), ExchangeStatus::Ok, "数据设置失败"},
        FailedReply{"TcpNoReply", {}, ExchangeStatus::NoReply, "数据设置失败"},
        FailedReply{"PortClosed", {}, ExchangeStatus::PortNotOpen, "串口打开失败"}),
    [](const auto& info) { return info.param.name; });

// The channel record replies are checked without the echoed command (and the write reply
// without its start byte); the protection values keep every check.
TEST(PropertyChannelReplies, AreAcceptedWhateverTheEchoSays) {
  Bytes read = Reply(0x35, 2, Record(1, 0x04, {0x0D, 0x0C, 0x0B, 0x0A}, {0, 0, 0, 0}, 0, 0));
  Bytes write{0x00, 0x00, 0x00, 0x02, 0x01, 0x55, 0x66, 0x00};
  write.back() = static_cast<uint8_t>(0x00 + 0x02 + 0x01 + 0x55 + 0x66);
  ScriptedChannel channel;
  channel.Expect(Request(0x34, 2), read);
  channel.Expect({}, write);
  ChannelConfig config;
  EXPECT_TRUE(Into(config, ReadChannel(channel, 2)).ok);
  EXPECT_EQ(config.cardId, "0a0b0c0d");
  ChannelWrite w = GoodWrite();
  w.channel = 2;
  EXPECT_EQ(WriteChannel(channel, w).message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());

  Bytes values = SingleLe(1.0f);
  values.resize(8, 0);
  ScriptedChannel protection;
  protection.Expect({}, Reply(0x39, 2, {0x55}));
  protection.Expect({}, Reply(0x3A, 2, values));
  EXPECT_EQ(WriteProtection(protection, 2, {1, 0}).message, "保护值设置失败");
  EXPECT_EQ(ReadProtection(protection, 2).message(), "保护值读取失败");
}

// ---- Channel read ----

TEST(PropertyChannelRead, DecodesTheRecord) {
  ScriptedChannel channel;
  channel.Expect({0x25, 0x00, 0x34, 0x01, 0x00, 0x66, 0xC0},
                 Reply(0x34, 0x01,
                       Record(0x02, 0x04, {0x0D, 0x0C, 0x0B, 0x0A}, {0x1A, 0x2B, 0x00, 0x2A},
                              85.5f, 12.3f)));
  ChannelConfig config;
  Outcome outcome = Into(config, ReadChannel(channel, 1));
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(config.typeCode, 2);
  EXPECT_TRUE(config.soundLight);
  EXPECT_FALSE(config.sms);
  EXPECT_EQ(config.cardId, "0a0b0c0d");
  EXPECT_EQ(config.sn, "1a2b00042");
  EXPECT_DOUBLE_EQ(config.upper, 85.5);
  EXPECT_DOUBLE_EQ(config.lower, 12.3);  // the single 12.3f reads back as 12.3
  EXPECT_EQ(FormatLimit(config.lower), "12.3");
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Specs().size(), 1u);
  EXPECT_EQ(channel.Specs()[0].capacity, 27u);
}

TEST(PropertyChannelRead, FlagBitsTwoAndThree) {
  struct {
    uint8_t flags;
    bool soundLight, sms;
  } cases[] = {{0x04, true, false}, {0x08, false, true}, {0x0F, true, true}, {0x03, false, false}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, Reply(0x34, 3, Record(1, c.flags, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0)));
    ChannelConfig config;
    ASSERT_TRUE(Into(config, ReadChannel(channel, 3)).ok);
    EXPECT_EQ(config.soundLight, c.soundLight) << int(c.flags);
    EXPECT_EQ(config.sms, c.sms) << int(c.flags);
  }
}

TEST(PropertyChannelRead, WrittenRecordReadsBackAsTyped) {
  ChannelWrite w = GoodWrite();
  w.sms = true;
  ScriptedChannel writer;
  writer.Expect({}, Ack(0x33, 1));
  ASSERT_TRUE(WriteChannel(writer, w).ok);
  Bytes record(writer.Sent()[0].begin() + 5, writer.Sent()[0].begin() + 25);

  ScriptedChannel reader;
  reader.Expect({}, Reply(0x34, 1, record));
  ChannelConfig config;
  Outcome outcome = Into(config, ReadChannel(reader, 1));
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(config.cardId, "0a0b0c0d");
  EXPECT_EQ(config.sn, "1a2b00042");
  EXPECT_TRUE(config.soundLight);
  EXPECT_TRUE(config.sms);
  EXPECT_DOUBLE_EQ(config.upper, 40.0);
  EXPECT_DOUBLE_EQ(config.lower, -10.0);
}

TEST(PropertyChannelRead, UnknownTypeCodeKeepsTheCodeWithoutAText) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x34, 1, Record(30, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0)));
  ChannelConfig config;
  const Outcome outcome = ToOutcome(ReadChannel(channel, 1));  // as tool-cli prints it
  ASSERT_TRUE(outcome.ok);
  const Bytes record = Record(30, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0);
  devlink::ReplyReader in(record);
  config = DecodeChannelRecord(in);
  ASSERT_TRUE(in.ok());
  EXPECT_EQ(config.typeCode, 30);
  EXPECT_FALSE(ChannelTypePosition(30));
  auto type = std::find_if(outcome.values.begin(), outcome.values.end(),
                           [](const auto& v) { return v.first == "type"; });
  ASSERT_NE(type, outcome.values.end());
  EXPECT_EQ(std::get<std::string>(type->second), "");
}

TEST(PropertyChannelRead, RejectsBadReplies) {
  Bytes good = Reply(0x34, 1, Record(1, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0));
  Bytes wrongEnd = good;
  wrongEnd[25] = 0x65;
  wrongEnd[26] = static_cast<uint8_t>(wrongEnd[26] - 1);  // sum still right
  Bytes wrongStart = good;
  wrongStart[0] = 0x25;
  wrongStart[26] = static_cast<uint8_t>(wrongStart[26] - 0x17);
  Bytes shortReply(good.begin(), good.end() - 1);
  // Limits that are no number: the read fails rather than show "nan" or "inf".
  const Bytes nanUpper =
      Reply(0x34, 1, Record(1, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, std::nanf(""), 0));
  const Bytes infLower =
      Reply(0x34, 1, Record(1, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, -INFINITY));
  for (const Bytes& reply : {wrongEnd, wrongStart, shortReply, Bytes{}, nanUpper, infLower}) {
    ScriptedChannel channel;
    channel.Expect({}, reply);
    ChannelConfig config;
    config.cardId = "kept";
    Outcome outcome = Into(config, ReadChannel(channel, 1));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "通道信息读取失败");
    EXPECT_EQ(config.cardId, "kept");
  }
  ScriptedChannel closed;
  closed.Expect({}, {}, ExchangeStatus::PortNotOpen);
  EXPECT_EQ(ReadChannel(closed, 1).message(), "串口打开失败");
  ScriptedChannel none;
  EXPECT_EQ(ReadChannel(none, 0).message(), "请选择通道号！");
  EXPECT_TRUE(none.Sent().empty());
}

// ---- Protection values ----

TEST(PropertyProtection, ReadAndWriteBytes) {
  ScriptedChannel channel;
  Bytes values = SingleLe(800.0f);
  Bytes lower = SingleLe(-40.5f);
  values.insert(values.end(), lower.begin(), lower.end());
  channel.Expect(Request(0x39, 7), Reply(0x39, 7, values));
  channel.Expect(Request(0x3A, 7, values), Ack(0x3A, 7));
  Protection read;
  Outcome outcome = Into(read, ReadProtection(channel, 7));
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "");
  EXPECT_DOUBLE_EQ(read.upper, 800.0);
  EXPECT_DOUBLE_EQ(read.lower, -40.5);
  outcome = WriteProtection(channel, 7, read);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "保护值设置成功");
  EXPECT_TRUE(channel.Problems().empty());
  EXPECT_EQ(channel.Specs()[0].capacity, 15u);
}

TEST(PropertyProtection, FailuresAndRange) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x38, 7, Bytes(8, 0)));  // another command's reply
  channel.Expect({}, Reply(0x3A, 7, {0x41}));
  EXPECT_EQ(ReadProtection(channel, 7).message(), "保护值读取失败");
  EXPECT_EQ(WriteProtection(channel, 7, {10, 0}).message, "保护值设置失败");
  Bytes notANumber = SingleLe(800.0f);
  const Bytes nan = SingleLe(std::nanf(""));
  notANumber.insert(notANumber.end(), nan.begin(), nan.end());
  ScriptedChannel nanChannel;
  nanChannel.Expect({}, Reply(0x39, 7, notANumber));
  const auto nanRead = ReadProtection(nanChannel, 7);
  EXPECT_EQ(nanRead.message(), "保护值读取失败");
  EXPECT_EQ(nanRead.outcome.detail, "not a number at offset 4");

  ScriptedChannel quiet;
  Outcome outcome = WriteProtection(quiet, 7, {1000.5, 0});
  EXPECT_EQ(outcome.message, "上限必须不小于下限!\r\n范围: -1000.0 ~ 1000.0");
  EXPECT_EQ(outcome.field, "upper");
  EXPECT_EQ(WriteProtection(quiet, 7, {0, -1001}).field, "upper");
  EXPECT_EQ(WriteProtection(quiet, 7, {-1, 1}).field, "upper");
  EXPECT_EQ(WriteProtection(quiet, std::nullopt, {1, 0}).message, "请选择通道号！");
  EXPECT_TRUE(quiet.Sent().empty());
}

// ---- Company name and plate ----

TEST(PropertyTexts, CompanyAndPlateTravelInTheOemCodePage) {
  // "冷链" in GBK is C0 E4 C1 B4.
  ScriptedChannel channel;
  channel.Expect(Request(0x38, 0xFF, {0xC0, 0xE4, 0xC1, 0xB4, 'A', 'B'}), Ack(0x38));
  channel.Expect(Request(0x37, 0xFF), Reply(0x37, 0xFF, {0xC0, 0xE4, 0xC1, 0xB4, 'A', 'B'}));
  channel.Expect(Request(0x36, 0xFF, {0xC0, 0xE4, '1', '2'}), Ack(0x36));
  channel.Expect(Request(0x35, 0xFF), Reply(0x35, 0xFF, {0xC0, 0xE4, '1', '2', 0x00, 0x00}));
  EXPECT_EQ(WriteCompany(channel, "冷链AB").message, "公司名称设置成功");
  std::string company;
  EXPECT_TRUE(Into(company, ReadCompany(channel), &PrintText::text).ok);
  EXPECT_EQ(company, "冷链AB");
  EXPECT_EQ(WritePlate(channel, "冷12").message, "车牌号设置成功");
  std::string plate;
  EXPECT_TRUE(Into(plate, ReadPlate(channel), &PrintText::text).ok);
  EXPECT_EQ(plate, "冷12");
  EXPECT_TRUE(channel.Problems().empty());
  ASSERT_EQ(channel.Specs().size(), 4u);
  EXPECT_EQ(channel.Specs()[1].minimum, 8u);  // more than a bare frame
}

TEST(PropertyTexts, ReadChecksTheLengthByteAndRefusesEmptyPayload) {
  Bytes mismatch = Reply(0x37, 0xFF, {'A', 'B'});
  mismatch.push_back(0x00);  // one byte more than byte 4 + 7
  for (const Bytes& reply : {mismatch, Reply(0x37, 0xFF, {}), Reply(0x35, 0xFF, {'A'})}) {
    ScriptedChannel channel;
    channel.Expect({}, reply);
    std::string text = "kept";
    EXPECT_EQ(Into(text, ReadCompany(channel), &PrintText::text).message, "公司名称读取失败");
    EXPECT_EQ(text, "kept");
  }
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x35, 0xFF, {0x55, 0x00}));
  EXPECT_EQ(WritePlate(channel, "A").message, "车牌号设置失败");
}

TEST(PropertyTexts, OverlongOrUnencodableTextsAreNotSent) {
  ScriptedChannel channel;
  EXPECT_EQ(WriteCompany(channel, std::string(32, 'x')).message, "输入的文字过长！");
  EXPECT_EQ(WritePlate(channel, "京A12345678").message, "输入的文字过长！");
  EXPECT_EQ(WritePlate(channel, "A\xF0\x9F\x98\x80").message, "输入的文字含有无法发送的字符！");
  EXPECT_EQ(WriteCompany(channel, "公司\x01").message, "输入的文字含有无法发送的字符！");
  EXPECT_EQ(WritePlate(channel, "京A\n123").field, "plate");
  EXPECT_TRUE(channel.Sent().empty());
  channel.Expect(Request(0x38, 0xFF, Bytes(31, 'x')), Ack(0x38));
  EXPECT_TRUE(WriteCompany(channel, std::string(31, 'x')).ok);
  EXPECT_TRUE(channel.Problems().empty());
}

// ---- Servers ----

TEST(PropertyServer, IpModeSendsTheAddressAndTheZeroDomain) {
  ScriptedChannel channel;
  Bytes payload{0xC0, 0xA8, 0x01, 0x0A, 0x28, 0x23, '0', '.', '0', '.', '0', '.', '0'};
  payload.resize(38, 0x00);
  EXPECT_EQ(Request(0x3B, 0xFF, payload).back(), 0xF3);  // the test's own frame is right
  channel.Expect(Request(0x3B, 0xFF, payload), Ack(0x3B));
  ServerWrite w;
  w.ip = {192, 168, 1, 10};
  w.portText = "9000";
  w.domain = "ignored.example";
  Outcome outcome = WriteServer(channel, w);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(PropertyServer, DomainModeTrimsAndUsesTheConfigurationCommands) {
  ScriptedChannel channel;
  Bytes payload{0x01, 0x02, 0x03, 0x04, 0x50, 0x00};
  for (char c : std::string("iot.example.com")) payload.push_back(static_cast<uint8_t>(c));
  payload.resize(38, 0x00);
  channel.Expect(Request(0x56, 0xFF, payload), Ack(0x56));
  ServerWrite w;
  w.server = Server::Config;
  w.domainMode = true;
  w.ip = {1, 2, 3, 4};
  w.domain = "  iot.example.com \t";
  w.portText = "80";
  EXPECT_TRUE(WriteServer(channel, w).ok);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(PropertyServer, PortTextRules) {
  struct {
    const char* text;
    bool ok;
    uint8_t low, high;
  } cases[] = {{"", true, 0, 0},          {"abc", true, 0, 0},        {"65535", true, 0xFF, 0xFF},
               {"12ab", true, 12, 0},     {"65536", false, 0, 0},     {"99999", false, 0, 0},
               {"-1", false, 0, 0}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    if (c.ok) channel.Expect({}, Ack(0x3B));
    ServerWrite w;
    w.portText = c.text;
    Outcome outcome = WriteServer(channel, w);
    EXPECT_EQ(outcome.ok, c.ok) << c.text;
    if (c.ok) {
      ASSERT_EQ(channel.Sent().size(), 1u);
      EXPECT_EQ(channel.Sent()[0][9], c.low) << c.text;
      EXPECT_EQ(channel.Sent()[0][10], c.high) << c.text;
    } else {
      EXPECT_EQ(outcome.message, "端口号范围为0-65535");
      EXPECT_EQ(outcome.field, "server-port");
      EXPECT_TRUE(channel.Sent().empty());
    }
  }
}

TEST(PropertyServer, DomainRules) {
  ScriptedChannel channel;
  ServerWrite w;
  w.domainMode = true;
  w.domain = "   ";
  Outcome outcome = WriteServer(channel, w);
  EXPECT_EQ(outcome.message, "请输入域名！");
  EXPECT_EQ(outcome.field, "domain");
  w.domain = std::string(32, 'a');
  EXPECT_EQ(WriteServer(channel, w).message, "域名不能超过31个字节！");
  w.domain = "服务器服务器服务器服务器服务器服务器";  // 18 characters, 36 bytes in GBK
  EXPECT_EQ(WriteServer(channel, w).field, "domain");
  w.domain = "data.\x01example";
  EXPECT_EQ(WriteServer(channel, w).message, "输入的文字含有无法发送的字符！");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(PropertyServer, ReadSelectsDomainModeWhenTheIpIsZero) {
  ScriptedChannel channel;
  Bytes domainPayload{0, 0, 0, 0, 0x28, 0x23};
  for (char c : std::string("iot.example.com")) domainPayload.push_back(static_cast<uint8_t>(c));
  domainPayload.resize(38, 0x00);
  channel.Expect(Request(0x3C, 0xFF), Reply(0x3C, 0xFF, domainPayload));
  channel.Expect(Request(0x57, 0xFF),
                 Reply(0x57, 0xFF, {0xC0, 0xA8, 0x01, 0x0A, 0x50, 0x00, '0', '.', '0', '.', '0',
                                    '.', '0', 0x00}));
  ServerConfig config;
  ASSERT_TRUE(Into(config, ReadServer(channel, Server::Data)).ok);
  EXPECT_TRUE(config.domainMode);
  EXPECT_EQ(config.domain, "iot.example.com");
  EXPECT_EQ(config.port, 9000);
  ASSERT_TRUE(Into(config, ReadServer(channel, Server::Config)).ok);
  EXPECT_FALSE(config.domainMode);
  EXPECT_EQ(FormatIpv4(config.ip), "192.168.1.10");
  EXPECT_EQ(config.port, 80);
  EXPECT_EQ(config.domain, "0.0.0.0");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(PropertyServer, ReadRefusesAPayloadTooShortForAddressAndPort) {
  for (const Bytes& payload : {Bytes{0xC0, 0xA8, 0x01, 0x0A, 0x28}, Bytes{0x01}}) {
    ScriptedChannel channel;
    channel.Expect({}, Reply(0x3C, 0xFF, payload));
    ServerConfig config;
    config.port = 1234;
    EXPECT_EQ(Into(config, ReadServer(channel, Server::Data)).message, "读取失败");
    EXPECT_EQ(config.port, 1234);
  }
  ScriptedChannel exact;
  exact.Expect({}, Reply(0x3C, 0xFF, {0, 0, 0, 0, 0x50, 0x00}));
  ServerConfig config;
  ASSERT_TRUE(Into(config, ReadServer(exact, Server::Data)).ok);
  EXPECT_EQ(config.domain, "");
  EXPECT_TRUE(config.domainMode);
}

// ---- Channel types ----

TEST(PropertyChannelTypes, CodesJumpFrom22To47) {
  auto types = ChannelTypes();
  ASSERT_EQ(types.size(), 29u);
  for (size_t i = 0; i < types.size(); ++i) {
    int expected = i < 22 ? static_cast<int>(i) + 1 : static_cast<int>(i) + 25;
    EXPECT_EQ(types[i].code, expected) << i;
    EXPECT_EQ(ChannelTypePosition(expected), static_cast<int>(i));
  }
  for (int code : {0, 23, 46, 54, 255}) EXPECT_FALSE(ChannelTypePosition(code)) << code;
  EXPECT_EQ(types[1].text, "湿度传感器");
  EXPECT_EQ(types[28].text, "LORA-大气压");
}

// ---- tool-cli verbs ----

const CommandDef& Verb(const CommandSet& set, const std::string& name) {
  for (const auto& c : set.commands) {
    if (c.verb == name) return c;
  }
  throw std::runtime_error("no verb " + name);
}

TEST(PropertyVerbs, WriteChannelBuildsTheSameFrameAsThePage) {
  CommandSet set = Commands();
  EXPECT_EQ(set.page, "property");
  ScriptedChannel channel;
  channel.Expect(Request(0x33, 2,
                         Record(0x01, 0x0F, {0x0D, 0x0C, 0x0B, 0x0A}, {0x1A, 0x2B, 0x00, 0x2A},
                                40.0f, -10.0f)),
                 Ack(0x33, 2));
  Outcome outcome = RunVerb(Verb(set, "write-channel"), channel, {{"channel", "2"},
                                       {"type-code", "1"},
                                       {"card-id", "0A0B0C0D"},
                                       {"sn", "1A2B00042"},
                                       {"upper", "40"},
                                       {"lower", "-10"},
                                       {"sound-light", "1"},
                                       {"sms", "true"}});
  EXPECT_TRUE(outcome.ok) << outcome.message;
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(PropertyVerbs, MalformedArgumentsSendNothing) {
  CommandSet set = Commands();
  ScriptedChannel channel;
  std::map<std::string, std::string> base{{"channel", "2"}, {"type-code", "1"}, {"card-id", "0A0B0C0D"},
            {"sn", "1A2B00042"}, {"upper", "40"}, {"lower", "-10"}};
  auto bad = base;
  bad["upper"] = "4o";
  EXPECT_EQ(RunVerb(Verb(set, "write-channel"), channel, bad).message, "请键入一个数。");
  bad = base;
  bad["channel"] = "2x";
  EXPECT_EQ(RunVerb(Verb(set, "write-channel"), channel, bad).message, "请键入一个整数。");
  bad = base;
  bad["sms"] = "maybe";
  EXPECT_EQ(RunVerb(Verb(set, "write-channel"), channel, bad).field, "sms");
  const CommandDef& writeServer = Verb(set, "write-server");
  EXPECT_EQ(RunVerb(writeServer, channel, {{"server", "both"}, {"server-port", "1"}}).field, "server");
  EXPECT_EQ(RunVerb(writeServer, channel, {{"ip", "300.1.1.1"}, {"server-port", "1"}}).field, "ip");
  EXPECT_EQ(RunVerb(writeServer, channel, {{"mode", "name"}, {"server-port", "1"}}).field, "mode");
  EXPECT_EQ(RunVerb(Verb(set, "read-channel"), channel, {}).field, "channel");
  EXPECT_TRUE(channel.Sent().empty());
}

}  // namespace
}  // namespace pages::property
