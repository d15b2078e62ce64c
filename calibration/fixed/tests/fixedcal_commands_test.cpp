// Fixed-table curve calibration commands against a scripted channel: the exact request bytes,
// the tenths encoding, the reply checks each command makes and the input refused before sending.
#include "calibration/fixed/fixedcal_commands.h"

#include <gtest/gtest.h>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::fixedcal {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::Reseal;
using pages::testing::WithSum;
constexpr auto Reply = pages::testing::SumReply;

Bytes Request(uint8_t command, uint8_t sub, const Bytes& payload = {}) {
  Bytes frame{0x25, 0x01, command, sub, static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0x66);
  return WithSum(frame);
}

TEST(FixedCalTable, IdentityTemperatureTableGoesAsTheFortyBytePayload) {
  const Bytes expected{0x70, 0xFE, 0xD4, 0xFE, 0x38, 0xFF, 0x9C, 0xFF, 0x00, 0x00, 0x64, 0x00,
                       0xC8, 0x00, 0x2C, 0x01, 0x90, 0x01, 0xF4, 0x01, 0x58, 0x02, 0xBC, 0x02,
                       0x20, 0x03, 0x84, 0x03, 0xE8, 0x03, 0,    0,    0,    0,    0,    0,
                       0,    0,    0,    0};
  ScriptedChannel channel;
  const Bytes request = Request(0x03, 0x01, expected);
  ASSERT_EQ(request.size(), 47u);
  channel.Expect(request, Reply(1, 0x03, {0x55}));
  const Outcome outcome = WriteTable(channel, IdentityTable(Quantity::Temperature));
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());

  // The humidity table: 11 values, then 18 zero bytes.
  const Bytes humidity = TablePayload(IdentityTable(Quantity::Humidity));
  ASSERT_EQ(humidity.size(), 40u);
  EXPECT_EQ(humidity[20], 0xE8);
  EXPECT_EQ(humidity[21], 0x03);
  EXPECT_EQ(Bytes(humidity.begin() + 22, humidity.end()), Bytes(18, 0x00));
}

struct TenthsCase {
  double value;
  uint8_t low, high;
};

TEST(FixedCalTable, ValuesAreTruncatedTenthsLowByteFirst) {
  const TenthsCase cases[] = {{12.39, 0x7B, 0x00},  {-0.05, 0x00, 0x00}, {-40.0, 0x70, 0xFE},
                              {-12.39, 0x85, 0xFF}, {3276.7, 0xFF, 0x7F}, {-3276.8, 0x00, 0x80},
                              {0.29, 0x02, 0x00}};
  for (const TenthsCase& c : cases) {
    CalibrationTable table = IdentityTable(Quantity::Humidity);
    table.values[3] = c.value;
    const Bytes payload = TablePayload(table);
    EXPECT_EQ(payload[6], c.low) << c.value;
    EXPECT_EQ(payload[7], c.high) << c.value;
    EXPECT_FALSE(RefuseTable(table)) << c.value;
  }
}

TEST(FixedCalTable, UnsendableTablesAreRefusedWithoutSending) {
  CalibrationTable tooFew = IdentityTable(Quantity::Temperature);
  tooFew.values.pop_back();
  CalibrationTable tooHigh = IdentityTable(Quantity::Temperature);
  tooHigh.values[14] = 3276.8;  // would wrap to -3276.8
  CalibrationTable tooLow = IdentityTable(Quantity::Humidity);
  tooLow.values[0] = -3276.9;
  const std::pair<CalibrationTable, const char*> cases[] = {
      {tooFew, "values"}, {tooHigh, "point-15"}, {tooLow, "point-1"}};
  for (const auto& [table, field] : cases) {
    ScriptedChannel channel;
    const Outcome outcome = WriteTable(channel, table);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.field, field);
    EXPECT_TRUE(channel.Sent().empty());
  }
}

TEST(FixedCalTable, ReadDecodesTheTableAndChecksLengthStartEndAndSum) {
  Bytes payload;
  for (int16_t tenths : {123, -5, 1000, -400, 0, 1, 2, 3, 4, 5, 6}) {
    payload.push_back(static_cast<uint8_t>(tenths & 0xFF));
    payload.push_back(static_cast<uint8_t>((tenths >> 8) & 0xFF));
  }
  payload.resize(40, 0x00);
  const Bytes good = Reply(1, 0x07, payload);
  {
    ScriptedChannel channel;
    channel.Expect(Request(0x07, 0x02), good);
    const auto table = ReadTable(channel, Quantity::Humidity);
    ASSERT_TRUE(table.ok()) << table.message();
    EXPECT_EQ(table.message(), "数据读取成功");
    ASSERT_EQ(table.value.values.size(), 11u);
    EXPECT_DOUBLE_EQ(table.value.values[0], 12.3);
    EXPECT_DOUBLE_EQ(table.value.values[1], -0.5);
    EXPECT_DOUBLE_EQ(table.value.values[2], 100.0);
    EXPECT_DOUBLE_EQ(table.value.values[3], -40.0);
    EXPECT_TRUE(channel.Problems().empty());
  }
  // The echoed command is not examined; the length, '<', 'f' and the sum are.
  Bytes otherEcho = good;
  otherEcho[2] = 0x99;
  Reseal(otherEcho);
  Bytes noStart = good;
  noStart[0] = 0x3E;
  Reseal(noStart);
  Bytes noEnd = good;
  noEnd[45] = 0x67;
  Reseal(noEnd);
  Bytes badSum = good;
  badSum[46] ^= 0xFF;
  const std::pair<Bytes, bool> replies[] = {{otherEcho, true}, {noStart, false}, {noEnd, false},
                                            {badSum, false},
                                            {Bytes(good.begin(), good.end() - 1), false}};
  for (const auto& [reply, accepted] : replies) {
    ScriptedChannel channel;
    channel.Expect(Request(0x07, 0x01), reply);
    const auto table = ReadTable(channel, Quantity::Temperature);
    EXPECT_EQ(table.ok(), accepted) << devlink::FormatHex(reply);
    if (!accepted) {
      EXPECT_EQ(table.message(), "数据读取失败");
    }
  }
}

TEST(FixedCalReadings, RealTimeAndZeroPointDecodeBytesFiveToEight) {
  ScriptedChannel channel;
  channel.Expect(Request(0x01, 0xFF), Reply(1, 0x01, {0xFD, 0x00, 0x4B, 0x02}));
  channel.Expect(Request(0x0B, 0x55), Reply(1, 0x0B, {0xF6, 0xFF, 0x05, 0x00}));
  const auto now = ReadRealTime(channel);
  ASSERT_TRUE(now.ok());
  EXPECT_EQ(now.message(), "");  // the real-time read shows no message
  EXPECT_DOUBLE_EQ(now.value.temperature, 25.3);
  EXPECT_DOUBLE_EQ(now.value.humidity, 58.7);
  const auto zero = ReadZeroPoint(channel);
  ASSERT_TRUE(zero.ok());
  EXPECT_EQ(zero.message(), "数据读取成功");
  EXPECT_DOUBLE_EQ(zero.value.temperature, -1.0);
  EXPECT_DOUBLE_EQ(zero.value.humidity, 0.5);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(FixedCalZeroPoint, SerialWriteAcceptsAnyFirstByteButChecksTheRest) {
  const Bytes request = Request(0x0B, 0xAA, {0xE8, 0x03, 0x18, 0xFC});
  Bytes anyStart = Reply(1, 0x0B, {0x55});
  anyStart[0] = 0x00;
  Reseal(anyStart);
  Bytes noAck = Reply(1, 0x0B, {0x00});
  Bytes noEnd = Reply(1, 0x0B, {0x55});
  noEnd[6] = 0x00;
  Reseal(noEnd);
  Bytes badSum = Reply(1, 0x0B, {0x55});
  badSum[7] ^= 0x01;
  const std::pair<Bytes, const char*> cases[] = {{anyStart, "写数据成功"},
                                                 {noAck, "写数据失败"},
                                                 {noEnd, "写数据失败"},
                                                 {badSum, "写数据失败"}};
  for (const auto& [reply, message] : cases) {
    ScriptedChannel channel;
    channel.Expect(request, reply);
    EXPECT_EQ(WriteZeroPoint(channel, {100.0, -100.0}).message, message)
        << devlink::FormatHex(reply);
    EXPECT_TRUE(channel.Problems().empty());
  }
}

TEST(FixedCalZeroPoint, CorrectionsOutsideMinusHundredToHundredAreRefused) {
  const struct {
    Pair corrections;
    const char* message;  // empty: sent
    const char* field;
  } cases[] = {{{100.0, 100.0}, "", ""},
               {{-100.0, -100.0}, "", ""},
               {{100.5, 0.0}, "温度的矫正范围为（-100,100）", "temperature"},
               {{0.0, -100.1}, "湿度的矫正范围为（-100,100）", "humidity"}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, Reply(1, 0x0B, {0x55}));
    const Outcome outcome = WriteZeroPoint(channel, c.corrections);
    if (*c.message == '\0') {
      EXPECT_TRUE(outcome.ok) << outcome.message;
    } else {
      EXPECT_EQ(outcome.message, c.message);
      EXPECT_EQ(outcome.field, c.field);
      EXPECT_TRUE(channel.Sent().empty());
    }
  }
}

TEST(FixedCalTable, ShiftMovesEveryValueAndNamesPickTheTable) {
  const CalibrationTable up = Shifted(IdentityTable(Quantity::Temperature), 1.0);
  EXPECT_DOUBLE_EQ(up.values.front(), -39.0);
  EXPECT_DOUBLE_EQ(up.values.back(), 101.0);
  EXPECT_EQ(QuantityNamed("湿度"), Quantity::Humidity);
  EXPECT_EQ(QuantityNamed("温度"), Quantity::Temperature);
  EXPECT_EQ(QuantityNamed("湿度 "), Quantity::Temperature);
  EXPECT_EQ(QuantityNamed(""), Quantity::Temperature);
}

}  // namespace
}  // namespace pages::fixedcal
