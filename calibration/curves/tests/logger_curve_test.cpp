// The logger kind (2) against a scripted channel: the channel list's mapping, the curve record,
// "全调", the single point with its extrapolation, the initialise frames byte by byte (default
// curve, card INI files), the display value over the serial port and TCP, and what is refused
// before anything is sent.
#include "calibration/curves/curvecal_commands.h"
#include "calibration/curves/logger_curve.h"

#include <gtest/gtest.h>

#include <ctime>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/testing/scripted_channel.h"
#include "pages/testing/temp_folder.h"

namespace pages::curvecal {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;

// Written from the logger's frame tables, independently of logger_curve.cpp.
Bytes Request(uint8_t channelByte, uint8_t command) {
  return {'#', '0', '0', channelByte, command, 'f'};
}
const Bytes kListRequest{0x23, 0x30, 0x30, 0x30, 0x32, 0x66};
const Bytes kRealTimeRequest{0x23, 0x30, 0x30, 0x30, 0x35, 0x66};

// Channel list: bit i of byte 102 fits physical channel i + 1, byte 62 + i holds its code + 5.
Bytes ChannelList(uint8_t map, const std::array<uint8_t, 8>& codes) {
  Bytes reply(111, 0x00);
  reply[0] = '<';
  reply[1] = reply[2] = reply[3] = '0';
  reply[4] = '2';
  reply[5] = 0x69;
  for (size_t i = 0; i < 8; ++i) reply[62 + i] = static_cast<uint8_t>(codes[i] + 5);
  reply[102] = map;
  reply[110] = 'f';
  return reply;
}
// Physical channels 1-8 with codes 0-7.
Bytes AllChannels() { return ChannelList(0xFF, {0, 1, 2, 3, 4, 5, 6, 7}); }

// A curve reply: the readings high byte first from byte 14, the record's other bytes as an
// initialised curve leaves them (N at 6, 0x0A separators, a day at 105).
Bytes CurveReply(uint8_t codeByte, const std::vector<uint16_t>& readings) {
  Bytes reply(107, 0x00);
  const Bytes head{'<', '0', '0', codeByte, '4', 'e'};
  std::copy(head.begin(), head.end(), reply.begin());
  reply[6] = static_cast<uint8_t>(readings.size());
  for (size_t j = 0; j < readings.size(); ++j) {
    reply[14 + 2 * j] = static_cast<uint8_t>(readings[j] >> 8);
    reply[15 + 2 * j] = static_cast<uint8_t>(readings[j] & 0xFF);
  }
  for (size_t j = 1; j < readings.size(); ++j) reply[13 + 2 * readings.size() + j] = 0x0A;
  reply[105] = 17;
  reply[106] = 'f';
  return reply;
}
// The same record as the write sends it back: '%' instead of '<'.
Bytes AsWrite(Bytes frame) {
  frame[0] = '%';
  return frame;
}
Bytes WriteAck(uint8_t codeByte) { return {'<', '0', '0', codeByte, 0x09}; }

Bytes RealTime(const std::array<uint16_t, 8>& raw) {
  Bytes reply{'<', '0', '0', '0', '5', 0x11};
  for (uint16_t r : raw) {
    reply.push_back(static_cast<uint8_t>(r >> 8));
    reply.push_back(static_cast<uint8_t>(r & 0xFF));
  }
  reply.push_back('f');
  return reply;
}

const std::vector<uint16_t> kDefaultTemperature{180,  248,  411,  646,  970,  1375, 1822, 2260,
                                                2676, 3021, 3285, 3495, 3648, 3762, 3835};
const std::vector<uint16_t> kDefaultHumidity{25, 125, 225, 325, 427, 525, 626, 725, 834, 925, 1025};

CurveTarget Temperature(int channel) { return {InstrumentKind::Logger, channel, false}; }
CurveTarget Humidity(int channel) { return {InstrumentKind::Logger, channel, true}; }

TEST(LoggerChannels, LogicalChannelsAreTheFittedOnesInOrder) {
  // Physical channels 3, 6 and 8 fitted, with codes 12, 0 and 7.
  const Bytes list = ChannelList(0b10100100, {1, 1, 12, 1, 1, 0, 1, 7});
  const struct {
    int channel;
    uint8_t codeByte;
  } cases[] = {{1, '0' + 12}, {2, '0'}, {3, '0' + 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channel);
    ScriptedChannel channel;
    channel.Expect(kListRequest, list);
    channel.Expect(Request(c.codeByte, '4'), CurveReply(c.codeByte, kDefaultHumidity));
    CurveBuffer buffer;
    const auto curve = ReadCurve(channel, Humidity(c.channel), buffer);
    ASSERT_TRUE(curve.ok()) << curve.message();
    EXPECT_TRUE(channel.Problems().empty());
  }
  // The physical index is what the real-time read takes: channel 2 is physical channel 6.
  ScriptedChannel channel;
  channel.Expect(kListRequest, list);
  channel.Expect(kRealTimeRequest, RealTime({1, 2, 3, 4, 5, 606, 7, 8}));
  const auto raw = ReadLoggerRawValue(channel, Temperature(2));
  ASSERT_TRUE(raw.ok()) << raw.message();
  EXPECT_EQ(raw.value.value, 606);

  // Beyond the list: refused after the list, no curve request with a made-up code.
  ScriptedChannel beyond;
  beyond.Expect(kListRequest, list);
  CurveBuffer buffer;
  const auto missing = ReadCurve(beyond, Temperature(4), buffer);
  EXPECT_EQ(missing.message(), "仪器没有该通道");
  EXPECT_EQ(missing.outcome.field, "channel");
  EXPECT_EQ(beyond.Sent().size(), 1u);
  // A code whose '0' + code would not fit a byte is not sent either.
  ScriptedChannel wrapped;
  wrapped.Expect(kListRequest, ChannelList(0x01, {220, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ReadCurve(wrapped, Temperature(1), buffer).message(), "通道读取失败");
  EXPECT_EQ(wrapped.Sent().size(), 1u);
}

TEST(LoggerChannels, RejectedListsAndCurves) {
  Bytes noStart = AllChannels();
  noStart[0] = '>';
  Bytes noEnd = AllChannels();
  noEnd[110] = 'e';
  Bytes shortList = AllChannels();
  shortList.pop_back();
  for (const Bytes& list : {noStart, noEnd, shortList}) {
    ScriptedChannel channel;
    channel.Expect(kListRequest, list);
    CurveBuffer buffer;
    EXPECT_EQ(ReadCurve(channel, Temperature(1), buffer).message(), "通道读取失败");
    EXPECT_EQ(buffer.length, 0u);
  }
  Bytes curveNoEnd = CurveReply('0', kDefaultTemperature);
  curveNoEnd[106] = 0;
  Bytes curveShort = CurveReply('0', kDefaultTemperature);
  curveShort.resize(106);
  for (const Bytes& reply : {curveNoEnd, curveShort}) {
    ScriptedChannel channel;
    channel.Expect(kListRequest, AllChannels());
    channel.Expect(Request('0', '4'), reply);
    CurveBuffer buffer;
    EXPECT_EQ(ReadCurve(channel, Temperature(1), buffer).message(), "数据读取失败");
  }
}

TEST(LoggerCurve, ReadsElevenOrFifteenReadingsHighByteFirst) {
  const struct {
    CurveTarget target;
    std::vector<uint16_t> readings;
  } cases[] = {{Temperature(2), kDefaultTemperature},
               {Humidity(2), {0, 125, 65535, 325, 427, 525, 626, 725, 834, 925, 40000}}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect(kListRequest, AllChannels());
    // The reply holds 15 readings; a humidity channel takes the first 11.
    std::vector<uint16_t> fifteen = c.readings;
    fifteen.resize(15, 1);
    channel.Expect(Request('1', '4'), CurveReply('1', fifteen));
    CurveBuffer buffer;
    const auto curve = ReadCurve(channel, c.target, buffer);
    ASSERT_TRUE(curve.ok()) << curve.message();
    EXPECT_EQ(curve.message(), "");
    EXPECT_EQ(curve.value.readings, std::vector<double>(c.readings.begin(), c.readings.end()));
    EXPECT_TRUE(curve.value.pairs.empty());
    EXPECT_EQ(buffer.length, 107u);
    EXPECT_EQ(Bytes(buffer.bytes.begin(), buffer.bytes.begin() + 107), CurveReply('1', fifteen));
    EXPECT_TRUE(channel.Problems().empty());
  }
  // A record never written: nothing read, as the pair kinds say it.
  ScriptedChannel channel;
  channel.Expect(kListRequest, AllChannels());
  channel.Expect(Request('0', '4'), CurveReply('0', std::vector<uint16_t>(15, 0)));
  CurveBuffer buffer;
  const auto none = ReadCurve(channel, Temperature(1), buffer);
  EXPECT_TRUE(none.ok());
  EXPECT_EQ(none.message(), "仪器尚未校准！");
  EXPECT_TRUE(none.value.readings.empty());
  EXPECT_EQ(buffer.length, 107u);
  EXPECT_EQ(Describe(Curve{{}, {180, 248}}),
            (Values{{"readings", int64_t{2}}, {"reading-1", int64_t{180}},
                    {"reading-2", int64_t{248}}, {"curve", std::string("180,248")}}));
}

TEST(LoggerCurve, AdjustAllWritesTheWholePartsAndZeroForReadingsWithoutARow) {
  const struct {
    CurveTarget target;
    std::vector<double> values;
    std::vector<uint16_t> written;
  } cases[] = {
      // Fewer rows than readings: the rest are 0.
      {Temperature(3), {181.9, 250, 65535},
       {181, 250, 65535, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      // More rows than readings: the rows beyond N are not written.
      {Humidity(3), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
  };
  for (const auto& c : cases) {
    const std::vector<uint16_t>& before = c.target.humidity ? kDefaultHumidity : kDefaultTemperature;
    ScriptedChannel channel;
    channel.Expect(kListRequest, AllChannels());
    channel.Expect(Request('2', '4'), CurveReply('2', before));
    // The record as read, with the new readings: the 0x0A bytes and the day stay.
    Bytes expected = AsWrite(CurveReply('2', before));
    for (size_t j = 0; j < c.written.size(); ++j) {
      expected[14 + 2 * j] = static_cast<uint8_t>(c.written[j] >> 8);
      expected[15 + 2 * j] = static_cast<uint8_t>(c.written[j] & 0xFF);
    }
    channel.Expect(expected, WriteAck('2'));
    CurveBuffer buffer;
    const Outcome written = WriteLoggerReadings(channel, c.target, c.values, buffer);
    EXPECT_EQ(written.message, "数据设置成功");
    EXPECT_TRUE(channel.Problems().empty());
  }
  // WriteCurve of the logger kind is "全调" with the environment values.
  ScriptedChannel channel;
  channel.Expect(kListRequest, AllChannels());
  channel.Expect(Request('0', '4'), CurveReply('0', kDefaultHumidity));
  Bytes expected = AsWrite(CurveReply('0', kDefaultHumidity));
  for (size_t j = 0; j < 11; ++j) expected[14 + 2 * j] = expected[15 + 2 * j] = 0;
  expected[15] = 7;
  channel.Expect(expected, WriteAck('0'));
  CurveBuffer buffer;
  EXPECT_EQ(WriteCurve(channel, Humidity(1), {{7.0, 99.0}}, buffer).message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(LoggerCurve, WriteRepliesOtherThanTheAcknowledgementFail) {
  const Bytes replies[] = {{'<', '0', '0', '0', 0x55}, {'<', '0', '0', '0'}, {'>', '0', '0', '0', 0x09}};
  for (const Bytes& reply : replies) {
    ScriptedChannel channel;
    channel.Expect(kListRequest, AllChannels());
    channel.Expect(Request('0', '4'), CurveReply('0', kDefaultTemperature));
    channel.Expect({}, reply);
    CurveBuffer buffer;
    EXPECT_EQ(WriteLoggerReadings(channel, Temperature(1), {1}, buffer).message, "数据设置失败");
  }
}

TEST(LoggerCurve, ValuesThatAreNoReadingAreRefusedBeforeSending) {
  const struct {
    std::vector<double> values;
    const char* message;
  } cases[] = {{{}, "数据列表设置无效！"},
               {{1, -1}, "请删除无效行或填入有效数据！"},
               {{65536}, "请删除无效行或填入有效数据！"},
               {{70000.5}, "请删除无效行或填入有效数据！"}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    CurveBuffer buffer;
    const Outcome refused = WriteLoggerReadings(channel, Temperature(1), c.values, buffer);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(refused.field, "pairs");
    EXPECT_TRUE(channel.Sent().empty());
  }
  ScriptedChannel channel;
  CurveBuffer buffer;
  EXPECT_EQ(WriteLoggerReadings(channel, Temperature(9), {1}, buffer).field, "channel");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(LoggerCurve, ListRowsAndOptionTextsBecomeTheValuesToWrite) {
  const struct {
    const char* text;
    bool adjustAll;
    std::vector<double> values;
    const char* message;
  } cases[] = {
      {"180,248,411", true, {180, 248, 411}, ""},
      {"25:24.6,30:1", true, {25, 30}, ""},
      {"25.5", false, {25.5}, ""},
      {"25.5:0", false, {25.5}, ""},
      {"", true, {}, "数据列表设置无效！"},
      {"", false, {}, "数据列表设置无效！"},
      {"25,x", true, {}, "请删除无效行或填入有效数据！"},
      {":5", true, {}, "请删除无效行或填入有效数据！"},
      {"25,30", false, {}, "请删除多余行！"},
      {"x", false, {}, "请删除多余行！"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseLoggerValues(c.text, c.adjustAll);
    if (*c.message == '\0') {
      ASSERT_TRUE(std::holds_alternative<std::vector<double>>(parsed));
      EXPECT_EQ(std::get<std::vector<double>>(parsed), c.values);
    } else {
      ASSERT_TRUE(std::holds_alternative<Outcome>(parsed));
      EXPECT_EQ(std::get<Outcome>(parsed).message, c.message);
    }
  }
}

TEST(LoggerPoint, OnAPointStoresTheRawValueBetweenPointsExtrapolatesThePointAbove) {
  const struct {
    const char* name;
    CurveTarget target;
    double environment;
    uint16_t raw;
    size_t index;
    uint16_t stored;
  } cases[] = {
      // 25.0 °C: reading 7 (30 °C) from reading 6 (20 °C, 1822) and the pair (25.0, 2500):
      // 1822 + (2500 - 1822) / (25 - 20) * 10.
      {"between 20 and 30 °C", Temperature(2), 25.0, 2500, 7, 3178},
      {"on 30 °C", Temperature(2), 30.0, 2700, 7, 2700},
      {"on -40 °C", Temperature(2), -40.0, 175, 0, 175},
      {"on 100 °C", Temperature(2), 100.0, 3900, 14, 3900},
      // -35 °C: point 1 (-30 °C) from point 0 (-40 °C, 180): 180 + (200 - 180) / 5 * 10.
      {"between -40 and -30 °C", Temperature(2), -35.0, 200, 1, 220},
      // 97.5 °C: point 14 from point 13 (90 °C, 3762): 3762 + (3800 - 3762) / 7.5 * 10, cut.
      {"between 90 and 100 °C", Temperature(2), 97.5, 3800, 14, 3812},
      // 55 %RH: point 6 (60 %RH) from point 5 (50 %RH, 525): 525 + (570 - 525) / 5 * 10.
      {"between 50 and 60 %RH", Humidity(2), 55.0, 570, 6, 615},
      {"on 0 %RH", Humidity(2), 0.0, 30, 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint16_t>& before = c.target.humidity ? kDefaultHumidity : kDefaultTemperature;
    ScriptedChannel channel;
    channel.Expect(kListRequest, AllChannels());  // channel 2: physical 2, code 1
    channel.Expect(Request('1', '4'), CurveReply('1', before));
    std::array<uint16_t, 8> raw{};
    raw[1] = c.raw;
    channel.Expect(kRealTimeRequest, RealTime(raw));
    Bytes expected = AsWrite(CurveReply('1', before));
    expected[14 + 2 * c.index] = static_cast<uint8_t>(c.stored >> 8);
    expected[15 + 2 * c.index] = static_cast<uint8_t>(c.stored & 0xFF);
    channel.Expect(expected, WriteAck('1'));
    CurveBuffer buffer;
    EXPECT_EQ(WriteLoggerPoint(channel, c.target, c.environment, buffer).message, "数据设置成功");
    EXPECT_TRUE(channel.Problems().empty());
  }
}

TEST(LoggerPoint, OutsideTheCurveOrUnstorableNothingIsWritten) {
  // Environment values that name no point of the curve: refused before anything is sent.
  const std::pair<CurveTarget, double> outside[] = {
      {Temperature(1), -45.0}, {Temperature(1), 100.5}, {Temperature(1), 110.0},
      {Humidity(1), -5.0},     {Humidity(1), 101.0},    {Humidity(1), 110.0}};
  for (const auto& [target, environment] : outside) {
    ScriptedChannel channel;
    CurveBuffer buffer;
    EXPECT_EQ(WriteLoggerPoint(channel, target, environment, buffer).message,
              "请删除无效行或填入有效数据！")
        << environment;
    EXPECT_TRUE(channel.Sent().empty()) << environment;
  }
  // An extrapolated reading below 0: 1822 + (0 - 1822) / 1 * 10.
  ScriptedChannel channel;
  channel.Expect(kListRequest, AllChannels());
  channel.Expect(Request('0', '4'), CurveReply('0', kDefaultTemperature));
  channel.Expect(kRealTimeRequest, RealTime({}));
  CurveBuffer buffer;
  EXPECT_EQ(WriteLoggerPoint(channel, Temperature(1), 21.0, buffer).message, "数据设置失败");
  EXPECT_EQ(channel.Sent().size(), 3u);
  // A rejected real-time reply.
  ScriptedChannel late;
  late.Expect(kListRequest, AllChannels());
  late.Expect(Request('0', '4'), CurveReply('0', kDefaultTemperature));
  Bytes shortRealTime = RealTime({});
  shortRealTime.pop_back();
  late.Expect(kRealTimeRequest, shortRealTime);
  EXPECT_EQ(WriteLoggerPoint(late, Temperature(1), 25.0, buffer).message, "实时数据读取失败");
  EXPECT_EQ(late.Sent().size(), 3u);
}

// ---- initialise ----

int Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_mday;
}

class LoggerInitialise : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = pages::testing::NewTempFolder("logger-ini");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string File(const std::string& text) {
    const std::string path = (dir_ / ("card" + std::to_string(files_++) + ".ini")).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::filesystem::path dir_;
  int files_ = 0;
};

TEST_F(LoggerInitialise, DefaultTemperatureFrameByteByByte) {
  // '%' '0' '0' '0'+code '4' 'e', N = 15, the default readings high byte first from byte 14,
  // fourteen 0x0A, zeros, the day of the month at 105, 'f'.
  Bytes frame(107, 0x00);
  const Bytes head{0x25, 0x30, 0x30, 0x33, 0x34, 0x65, 0x0F};
  std::copy(head.begin(), head.end(), frame.begin());
  const Bytes readings{0x00, 0xB4, 0x00, 0xF8, 0x01, 0x9B, 0x02, 0x86, 0x03, 0xCA,
                       0x05, 0x5F, 0x07, 0x1E, 0x08, 0xD4, 0x0A, 0x74, 0x0B, 0xCD,
                       0x0C, 0xD5, 0x0D, 0xA7, 0x0E, 0x40, 0x0E, 0xB2, 0x0E, 0xFB};
  std::copy(readings.begin(), readings.end(), frame.begin() + 14);
  std::fill(frame.begin() + 44, frame.begin() + 58, 0x0A);
  frame[105] = 0x1F;
  frame[106] = 0x66;
  EXPECT_EQ(logger::BuildInitialiseFrame('3', kDefaultTemperature, 31), frame);

  // The whole command: channel list, then the frame with today's date; no curve read.
  ScriptedChannel channel;
  channel.Expect(kListRequest, AllChannels());
  frame[105] = static_cast<uint8_t>(Today());
  channel.Expect(frame, WriteAck('3'));
  EXPECT_EQ(InitialiseLoggerCurve(channel, Temperature(4), "").message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_F(LoggerInitialise, DefaultHumidityFrameByteByByte) {
  Bytes frame(107, 0x00);
  const Bytes head{0x25, 0x30, 0x30, 0x30, 0x34, 0x65, 0x0B};
  std::copy(head.begin(), head.end(), frame.begin());
  const Bytes readings{0x00, 0x19, 0x00, 0x7D, 0x00, 0xE1, 0x01, 0x45, 0x01, 0xAB, 0x02,
                       0x0D, 0x02, 0x72, 0x02, 0xD5, 0x03, 0x42, 0x03, 0x9D, 0x04, 0x01};
  std::copy(readings.begin(), readings.end(), frame.begin() + 14);
  std::fill(frame.begin() + 36, frame.begin() + 46, 0x0A);
  frame[105] = 0x01;
  frame[106] = 0x66;
  EXPECT_EQ(logger::BuildInitialiseFrame('0', kDefaultHumidity, 1), frame);
}

TEST_F(LoggerInitialise, ReadingsComeFromTheCardIniFileAndTheDefaultCurveFillsTheRest) {
  const std::string fifteen = [] {
    std::string text = "[humi]\r\n1\r\n2\r\n[temp]\r\n";
    for (int i = 1; i <= 16; ++i) text += std::to_string(i * 100) + "\r\n";
    return text;
  }();
  std::vector<uint16_t> hundreds;
  for (uint16_t i = 1; i <= 15; ++i) hundreds.push_back(static_cast<uint16_t>(i * 100));
  std::vector<uint16_t> threeThenDefault = kDefaultHumidity;
  threeThenDefault[0] = 10;
  threeThenDefault[1] = 20;
  threeThenDefault[2] = 30;
  std::vector<uint16_t> parsedThenDefault = kDefaultTemperature;
  parsedThenDefault[0] = 42;
  parsedThenDefault[1] = 5;
  parsedThenDefault[2] = 0;
  const struct {
    const char* name;
    std::string path;
    bool humidity;
    std::vector<uint16_t> readings;
  } cases[] = {
      {"first N lines of [temp]", File(fifteen), false, hundreds},
      {"fewer values: default curve for the rest", File("[HUMI]\n10\n20\n30\n[temp]\n5\n"), true,
       threeThenDefault},
      // The leading integer of each line, as atoi reads it; lines without one are skipped.
      {"leading integers", File("[temp]\n  42 points\nnote\n5=300\n+0\n"), false,
       parsedThenDefault},
      {"section without values", File("[temp]\nnone\n[humi]\n1\n"), false, kDefaultTemperature},
      {"no such section", File("[other]\n1\n"), true, kDefaultHumidity},
      {"no such file", (dir_ / "missing.ini").string(), false, kDefaultTemperature},
      {"a folder", dir_.string(), true, kDefaultHumidity},
      {"no path", "", false, kDefaultTemperature},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto readings = logger::InitialReadings(c.path, c.humidity);
    ASSERT_TRUE(std::holds_alternative<std::vector<uint16_t>>(readings));
    EXPECT_EQ(std::get<std::vector<uint16_t>>(readings), c.readings);
  }

  // The frame sent for the file with three humidity values, byte by byte.
  ScriptedChannel channel;
  channel.Expect(kListRequest, ChannelList(0b00000010, {0, 9, 0, 0, 0, 0, 0, 0}));
  Bytes frame(107, 0x00);
  const Bytes head{0x25, 0x30, 0x30, 0x39, 0x34, 0x65, 0x0B};
  std::copy(head.begin(), head.end(), frame.begin());
  const Bytes readings{0x00, 0x0A, 0x00, 0x14, 0x00, 0x1E, 0x01, 0x45, 0x01, 0xAB, 0x02,
                       0x0D, 0x02, 0x72, 0x02, 0xD5, 0x03, 0x42, 0x03, 0x9D, 0x04, 0x01};
  std::copy(readings.begin(), readings.end(), frame.begin() + 14);
  std::fill(frame.begin() + 36, frame.begin() + 46, 0x0A);
  frame[105] = static_cast<uint8_t>(Today());
  frame[106] = 0x66;
  channel.Expect(frame, WriteAck('9'));
  EXPECT_EQ(InitialiseLoggerCurve(channel, Humidity(1), cases[1].path).message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_F(LoggerInitialise, FileValuesThatAreNoReadingAreRefusedBeforeSending) {
  for (const char* text : {"[temp]\n100\n70000\n", "[temp]\n-1\n"}) {
    ScriptedChannel channel;
    const Outcome refused = InitialiseLoggerCurve(channel, Temperature(1), File(text));
    EXPECT_EQ(refused.message, "配置文件数据无效！") << text;
    EXPECT_EQ(refused.field, "path");
    EXPECT_TRUE(channel.Sent().empty());
  }
  // Beyond N values the file is not read further.
  std::string text = "[humi]\n";
  for (int i = 0; i < 11; ++i) text += "1\n";
  text += "99999\n";
  EXPECT_TRUE(std::holds_alternative<std::vector<uint16_t>>(logger::InitialReadings(File(text), true)));
}

// ---- display value ----

// Channel ch's single at bytes 4ch + 2 .. 4ch + 5, little-endian.
Bytes DisplayReply(uint8_t channelByte, uint8_t command, const std::vector<float>& values) {
  Bytes reply{'<', '0', '0', channelByte, command, static_cast<uint8_t>(4 * values.size() + 1)};
  for (float value : values) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i) reply.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  reply.push_back('f');
  return reply;
}

// A scripted channel that runs over a link in TCP mode.
class TcpScriptedChannel : public ScriptedChannel {
 public:
  TcpScriptedChannel() { link_.tcpMode = true; }
  devlink::DeviceLink* Link() override { return &link_; }

 private:
  devlink::DeviceLink link_;
};

TEST(LoggerDisplay, SerialSendsTwoRequestsAndTakesTheSecondsReply) {
  const std::vector<float> values{1.5f, -2.25f, 23.4f, 0, 0, 0, 0, 88.8f};
  const struct {
    int channel;
    double value;
  } cases[] = {{1, 1.5}, {3, 23.4}, {8, 88.8}};
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect(Request('0', 'q'), {});  // what the first request brings is not read
    channel.Expect(Request(0xFF, '9'), DisplayReply(0xFF, '9', values));
    const auto value = ReadDisplayValue(channel, Temperature(c.channel));
    ASSERT_TRUE(value.ok()) << value.message();
    EXPECT_EQ(value.value.value, c.value);
    EXPECT_TRUE(channel.Problems().empty());
  }
  // No port open: nothing more is sent after the first request.
  ScriptedChannel closed;
  closed.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
  EXPECT_EQ(ReadDisplayValue(closed, Temperature(1)).message(), "串口打开失败");
  EXPECT_EQ(closed.Sent().size(), 1u);
}

TEST(LoggerDisplay, TcpSendsTheFirstRequestOnly) {
  TcpScriptedChannel channel;
  channel.AcceptLikeTcp();
  channel.Expect(Request('0', 'q'), DisplayReply('0', 'q', {0, -12.5f}));
  const auto value = ReadDisplayValue(channel, Humidity(2));
  ASSERT_TRUE(value.ok()) << value.message();
  EXPECT_EQ(value.value.value, -12.5);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(LoggerDisplay, RejectedReplies) {
  Bytes wrongLength = DisplayReply(0xFF, '9', {1, 2});
  wrongLength[5] = 20;
  Bytes noEnd = DisplayReply(0xFF, '9', {1, 2});
  noEnd.back() = 'e';
  const Bytes tooFew = DisplayReply(0xFF, '9', {1, 2});  // channel 3 not in it
  for (const Bytes& reply : {wrongLength, noEnd, tooFew}) {
    ScriptedChannel channel;
    channel.Expect({}, {});
    channel.Expect({}, reply);
    EXPECT_EQ(ReadDisplayValue(channel, Temperature(3)).message(), "数据读取失败");
  }
}

}  // namespace
}  // namespace pages::curvecal
