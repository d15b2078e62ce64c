// The gateway wire formats against the byte examples of the protocol.
#include "server/gateway_protocol.h"

#include "server/gateway_commands.h"
#include "server/gateway_server.h"

#include <gtest/gtest.h>

namespace gateway {
namespace {

struct SnVector {
  const char* sn;
  LoggerId id;
  const char* back;  // the SN the bytes read back as
};

TEST(LoggerIdTest, SnAndBytesBothWays) {
  const SnVector vectors[] = {
      {"12AB34567", {{0x12, 0xAB, 0x87, 0x07}}, "12AB34567"},
      // 99999 does not fit 16 bits: the bind goes out as AB CD 86 9F and is listed differently.
      {"ABCD99999", {{0xAB, 0xCD, 0x86, 0x9F}}, "ABCD34463"},
      {"000000000", {{0x00, 0x00, 0x00, 0x00}}, "000000000"},
      {"FFFF65535", {{0xFF, 0xFF, 0xFF, 0xFF}}, "FFFF65535"},
      {"0A0B00001", {{0x0A, 0x0B, 0x00, 0x01}}, "0A0B00001"},
      {"abcd00256", {{0xAB, 0xCD, 0x01, 0x00}}, "ABCD00256"},
      // Conversion stops at the first character of the wrong kind.
      {"1G2300012", {{0x00, 0x13, 0x00, 0x0C}}, "001300012"},
      {"123Z12X45", {{0x12, 0x30, 0x00, 0x0C}}, "123000012"},
  };
  for (const SnVector& v : vectors) {
    SCOPED_TRACE(v.sn);
    EXPECT_EQ(LoggerIdFromSn(v.sn), v.id);
    EXPECT_EQ(SnFromLoggerId(v.id), v.back);
  }
}

TEST(BindingCommandTest, Bytes) {
  const LoggerId id{{0x12, 0xAB, 0x87, 0x07}};
  EXPECT_EQ(ReadCommand(), (Bytes{0x3E, 0x52}));
  EXPECT_EQ(BindCommand(id), (Bytes{0x3E, 0x57, 0x12, 0xAB, 0x87, 0x07}));
  EXPECT_EQ(DeleteCommand(id), (Bytes{0x3E, 0x43, 0x12, 0xAB, 0x87, 0x07}));
  EXPECT_EQ(ClearCommand(), (Bytes{0x3E, 0x43, 0x00, 0x00, 0x00, 0x00}));
}

TEST(LoggerListTest, Replies) {
  EXPECT_EQ(ParseLoggerList({}), std::vector<std::string>{});
  EXPECT_FALSE(ParseLoggerList({0x12, 0xAB, 0x87, 0x07, 0xFF, 0xFF}).has_value());  // 6 bytes
  EXPECT_FALSE(ParseLoggerList({0x12, 0xAB, 0x87}).has_value());

  // Empty slots between valid entries are left out; order is kept.
  const auto list = ParseLoggerList({0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0xAB, 0x87, 0x07, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0x00, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE});
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(*list, (std::vector<std::string>{"12AB34567", "000100002", "FFFF65534"}));

  Bytes full;
  for (int i = 0; i < 60; ++i) full.insert(full.end(), {0x10, 0x20, 0x00, static_cast<uint8_t>(i)});
  ASSERT_EQ(full.size(), 240u);
  const auto sixty = ParseLoggerList(full);
  ASSERT_TRUE(sixty.has_value());
  ASSERT_EQ(sixty->size(), 60u);
  EXPECT_EQ(sixty->back(), "102000059");
}

TEST(LoggerListTest, MoreLoggersThanAGatewayBindsIsAParseFailure) {
  Bytes list(4 * 64, 0xFF);  // empty slots do not count
  for (int i = 0; i < 61; ++i) list[4 * i + 3] = static_cast<uint8_t>(i);
  for (int i = 0; i < 61; ++i) list[4 * i + 2] = 0x00;
  std::string problem;
  EXPECT_FALSE(ParseLoggerList(list, &problem).has_value());
  EXPECT_EQ(problem, "61 loggers listed, a gateway binds at most 60");
  // 750 loggers' worth of bytes: the read says so instead of listing them.
  CommandReply reply;
  reply.answered = true;
  reply.reply = Bytes(3000, 0x01);
  const CommandResult read = Evaluate(GatewayRequest{kReadLoggers, ReadCommand(), ""}, reply);
  EXPECT_EQ(read.outcome.message, "解析失败");
  EXPECT_EQ(read.outcome.detail, "750 loggers listed, a gateway binds at most 60");
  EXPECT_FALSE(read.loggers.has_value());
}

TEST(LoggerListTest, MessagePerCommand) {
  const std::vector<std::string> none;
  const std::vector<std::string> one{"12AB34567"};
  struct Case {
    int command;
    const std::vector<std::string>& sns;
    const char* sn;
    std::string message;
  };
  const Case cases[] = {
      {kReadLoggers, one, "", ""},
      {kClearLoggers, none, "", kOperationOk},
      {kClearLoggers, one, "", kOperationFailed},
      {kBindLogger, one, "12AB34567", ""},
      {kBindLogger, one, "ABCD99999", kOperationFailed},  // listed back as ABCD34463
      {kDeleteLogger, none, "12AB34567", kOperationOk},
      {kDeleteLogger, one, "12AB34567", kOperationFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(ListReplyMessage(c.command, c.sns, c.sn), c.message);
  }
}

TEST(LoggerConfigFrameTest, TemperatureArithmetic) {
  struct Case {
    float celsius;
    uint16_t wire;
  };
  const Case cases[] = {
      {25.5f, 0x08CF}, {-20.0f, 0x0708},
      {25.3f, 2252},  // the float lies just below 25.3
      {-250.0f, 0xFE0C}, {0.0f, 2000}, {-0.05f, 1999}, {1000.0f, 12000}, {-300.0f, 0xFC18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.celsius);
    EXPECT_EQ(EncodeTemperatureLimit(c.celsius), c.wire);
  }
  EXPECT_EQ(EncodeHumidityLimit(85.9f), 85);
  EXPECT_EQ(EncodeHumidityLimit(100.0f), 100);
}

TEST(LoggerConfigFrameTest, Frames) {
  const LoggerId id{{0x12, 0xAB, 0x87, 0x07}};
  // 06 | 12 AB 87 07 | 03 | 0A | sum
  const Bytes interval = ReportIntervalFrame(id, 10);
  EXPECT_EQ(interval, (Bytes{0x06, 0x12, 0xAB, 0x87, 0x07, 0x03, 0x0A,
                             static_cast<uint8_t>(0x06 + 0x12 + 0xAB + 0x87 + 0x07 + 0x03 + 0x0A)}));
  const Bytes limits = AlarmLimitsFrame(id, {25.5f, -20.0f, 80.0f, 20.0f});
  const uint8_t sum = static_cast<uint8_t>(0x0B + 0x12 + 0xAB + 0x87 + 0x07 + 0x04 + 0x08 + 0xCF +
                                           0x07 + 0x08 + 80 + 20);
  EXPECT_EQ(limits, (Bytes{0x0B, 0x12, 0xAB, 0x87, 0x07, 0x04, 0x08, 0xCF, 0x07, 0x08, 80, 20, sum}));

  EXPECT_TRUE(IsAcknowledgement(interval, interval));
  Bytes longer = interval;
  longer.push_back(0x00);
  EXPECT_TRUE(IsAcknowledgement(interval, longer));
  EXPECT_FALSE(IsAcknowledgement(interval, Bytes(interval.begin(), interval.end() - 1)));
  Bytes changed = interval;
  changed[6] ^= 1;
  EXPECT_FALSE(IsAcknowledgement(interval, changed));
}

TEST(InputChecksTest, RefusalsAndValues) {
  EXPECT_EQ(CheckSn("  ").message(), kEnterSn);
  EXPECT_EQ(CheckSn("12AB3456").message(), kSnLength);
  EXPECT_EQ(CheckSn("12AB345678").outcome.field, "sn");
  EXPECT_EQ(CheckSn(" 12ab34567 ").value, "12AB34567");
  // Nine characters that would travel as some other logger.
  for (const char* bad : {"ZZZZZZZZZ", "ABCD99999", "ABCD65536", "12AB3456X", "12 AB4567"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(CheckSn(bad).message(), kSnCharacters);
  }

  EXPECT_EQ(CheckInterval("").message(), kEnterInterval);
  for (const char* bad : {"0", "256", "abc", "-1", "1e2", "5abc", "5.0", "0x10"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(CheckInterval(bad).message(), kIntervalRange);
  }
  EXPECT_EQ(CheckInterval(" 1 ").value, 1);
  EXPECT_EQ(CheckInterval("255").value, 255);

  // The first empty field, in the order of the form, is named.
  EXPECT_EQ(CheckLimits("", "", "", "").message(), "请输入温度上限");
  EXPECT_EQ(CheckLimits("1", " ", "", "").message(), "请输入温度下限");
  EXPECT_EQ(CheckLimits("1", "2", "", "4").message(), "请输入湿度上限");
  const auto refused = CheckLimits("1", "2", "3", "");
  EXPECT_EQ(refused.message(), "请输入湿度下限");
  EXPECT_EQ(refused.outcome.field, "humidity-lower");
  EXPECT_EQ(CheckLimits("1001", "0", "50", "10").message(), "温度值范围为(-300~1000)");
  EXPECT_EQ(CheckLimits("10", "0", "101", "10").message(), "湿度值范围为(0~100)");
  for (const char* bad : {"abc", "nan", "inf", "-", "1e400", "25.3abc"}) {
    SCOPED_TRACE(bad);
    const auto notNumber = CheckLimits("30", bad, "80", "20");
    EXPECT_EQ(notNumber.message(), "请键入一个数。");
    EXPECT_EQ(notNumber.outcome.field, "temp-lower");
  }
  EXPECT_EQ(CheckLimits("-20", "25.3", "80", "20").message(), kTempOrder);
  EXPECT_EQ(CheckLimits("30", "-20", "20", "80").outcome.field, "humidity-lower");
  const auto limits = CheckLimits("25.3", "-20", "85.5", "0");
  ASSERT_TRUE(limits.ok());
  EXPECT_EQ(EncodeTemperatureLimit(limits.value.tempUpper), 2252);
  EXPECT_EQ(limits.value.humidityLower, 0.0f);

  EXPECT_EQ(CheckPort("").message(), kEnterPort);
  EXPECT_EQ(CheckPort("11111").value, 11111);
  EXPECT_EQ(CheckPort("0").value, 0);
  for (const char* bad : {"78036", "65536", "12501abc", "-1", "port"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(CheckPort(bad).message(), kPortRange);
  }
}

}  // namespace
}  // namespace gateway
