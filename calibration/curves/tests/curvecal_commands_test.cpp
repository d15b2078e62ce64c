// Multi-channel curve layouts and the SumFrame kinds' curve exchanges against a scripted channel:
// slot bytes of known pairs, empty-slot patterns, ordering, and the write frame made from the
// curve read.
#include "calibration/curves/curvecal_commands.h"

#include <gtest/gtest.h>

#include "link/frames.h"
#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::curvecal {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::WithSum;

Bytes Slice(const CurveBuffer& buffer, size_t from, size_t count) {
  return Bytes(buffer.bytes.begin() + static_cast<long>(from),
               buffer.bytes.begin() + static_cast<long>(from + count));
}

PairLayout Layout(InstrumentKind kind, bool humidity = false) {
  const auto layout = LayoutOf(kind, humidity);
  EXPECT_TRUE(layout.has_value());
  return layout.value_or(PairLayout{});
}

TEST(CurveLayout, TransmitterStoresTenthsOfKelvinLowByteFirst) {
  CurveBuffer buffer;
  EncodePairs(Layout(InstrumentKind::Transmitter), {{25.0, 24.6}}, buffer);
  EXPECT_EQ(Slice(buffer, 5, 2), (Bytes{0xA5, 0x0B}));   // 2981 tenths: 298.1
  EXPECT_EQ(Slice(buffer, 21, 2), (Bytes{0xA1, 0x0B}));  // 2977 tenths: 297.7
  EXPECT_EQ(Slice(buffer, 7, 14), Bytes(14, 0x00));
  EXPECT_EQ(DecodePairs(Layout(InstrumentKind::Transmitter), buffer).value,
            (std::vector<CurvePair>{{25.0, 24.6}}));
  // A decimal whose sum with 273.1 falls just below its tenth in binary keeps that tenth.
  EncodePairs(Layout(InstrumentKind::Transmitter), {{0.2, -0.5}}, buffer);
  EXPECT_EQ(Slice(buffer, 5, 2), (Bytes{0xAD, 0x0A}));   // 2733
  EXPECT_EQ(Slice(buffer, 21, 2), (Bytes{0xA6, 0x0A}));  // 2726
}

TEST(CurveLayout, HumidityOfThe32BitKindsHasNoOffset) {
  CurveBuffer buffer;
  EncodePairs(Layout(InstrumentKind::Bit32Card, true), {{75.5, 70.0}}, buffer);
  EXPECT_EQ(Slice(buffer, 5, 2), (Bytes{0xF3, 0x02}));  // 755
  EXPECT_EQ(Slice(buffer, 21, 2), (Bytes{0xBC, 0x02}));
  EncodePairs(Layout(InstrumentKind::Bit32, false), {{-40.0, -39.5}}, buffer);
  EXPECT_EQ(Slice(buffer, 5, 2), (Bytes{0x1B, 0x09}));  // 2331: 233.1
}

TEST(CurveLayout, FloatKindsFillUnusedSlotsWithTheirEmptyPattern) {
  CurveBuffer buffer;
  const PairLayout wifi = Layout(InstrumentKind::WifiTransmitter);
  EncodePairs(wifi, {{0.0, 1.5}, {25.0, 25.5}, {50.0, 49.0}}, buffer);
  EXPECT_EQ(Slice(buffer, 5 + 4, 4), (Bytes{0x00, 0x00, 0xC8, 0x41}));   // 25.0f
  EXPECT_EQ(Slice(buffer, 37 + 4, 4), (Bytes{0x00, 0x00, 0xCC, 0x41}));  // 25.5f
  for (size_t slot = 3; slot < 8; ++slot) {
    EXPECT_EQ(Slice(buffer, 5 + 4 * slot, 4), (Bytes{0x00, 0x00, 0x80, 0x7F})) << slot;
    EXPECT_EQ(Slice(buffer, 37 + 4 * slot, 4), (Bytes{0x00, 0x00, 0x80, 0x7F})) << slot;
  }
  EXPECT_EQ(DecodePairs(wifi, buffer).value.size(), 3u);

  const PairLayout fridge = Layout(InstrumentKind::FridgeBox);
  EncodePairs(fridge, {{-18.0, -17.25}}, buffer);
  EXPECT_EQ(Slice(buffer, 69, 4), (Bytes{0x00, 0x00, 0x8A, 0xC1}));  // -17.25f
  EXPECT_EQ(Slice(buffer, 5 + 4 * 15, 4), (Bytes{0x00, 0x00, 0x00, 0x50}));
  EXPECT_EQ(Slice(buffer, 69 + 4 * 15, 4), (Bytes{0x00, 0x00, 0x00, 0x50}));
  EXPECT_EQ(DecodePairs(fridge, buffer).value, (std::vector<CurvePair>{{-18.0, -17.25}}));

  // A used slot that holds no number, or a pair with one half empty, is no calibration point.
  struct Broken {
    size_t at;
    Bytes bytes;
    const char* detail;
  };
  for (const Broken& b : {Broken{5 + 4, {0x00, 0x00, 0xC0, 0x7F}, "not a number at offset 9"},
                          Broken{37 + 4, {0x00, 0x00, 0x80, 0x7F}, "infinite value at offset 41"}}) {
    EncodePairs(wifi, {{0.0, 1.5}, {25.0, 25.5}}, buffer);
    std::copy(b.bytes.begin(), b.bytes.end(), buffer.bytes.begin() + b.at);
    const auto decoded = DecodePairs(wifi, buffer);
    EXPECT_FALSE(decoded.ok()) << b.detail;
    EXPECT_EQ(decoded.outcome.detail, b.detail);
  }
}

TEST(CurveLayout, PairsAreWrittenAscendingAndBeyondTheSlotsDropped) {
  CurveBuffer buffer;
  const PairLayout layout = Layout(InstrumentKind::Bit32);
  EncodePairs(layout, {{30.0, 31.0}, {20.0, 21.0}, {10.0, 11.0}}, buffer);
  EXPECT_EQ(DecodePairs(layout, buffer).value,
            (std::vector<CurvePair>{{10.0, 11.0}, {20.0, 21.0}, {30.0, 31.0}}));

  // Nine rows: the eight lowest environment values; of two equal ones the later row counts.
  std::vector<CurvePair> nine;
  for (int i = 9; i >= 1; --i) nine.push_back({i * 10.0, i * 10.0 + 0.5});
  nine.push_back({20.0, 99.0});
  EncodePairs(layout, nine, buffer);
  const auto written = DecodePairs(layout, buffer).value;
  ASSERT_EQ(written.size(), 8u);
  EXPECT_EQ(written.front(), (CurvePair{10.0, 10.5}));
  EXPECT_EQ(written[1], (CurvePair{20.0, 99.0}));
  EXPECT_EQ(written.back(), (CurvePair{80.0, 80.5}));
}

TEST(CurveLayout, ModbusKindsKeepRawValuesFirst) {
  CurveBuffer buffer;
  EncodePairs(Layout(InstrumentKind::BluetoothLogger), {{25.0, -1.0}}, buffer);
  EXPECT_EQ(Slice(buffer, 39, 2), (Bytes{0x00, 0xFA}));  // high byte first, no offset
  EXPECT_EQ(Slice(buffer, 7, 2), (Bytes{0xFF, 0xF6}));
  EXPECT_EQ(Slice(buffer, 9, 2), (Bytes{0x80, 0x00}));
  EncodePairs(Layout(InstrumentKind::DigitalSensor), {{25.0, 24.6}}, buffer);
  EXPECT_EQ(Slice(buffer, 23, 2), (Bytes{0xA5, 0x0B}));
  EXPECT_EQ(Slice(buffer, 7, 2), (Bytes{0xA1, 0x0B}));
  EXPECT_FALSE(LayoutOf(InstrumentKind::Logger, false).has_value());
}

TEST(CurveRows, OptionTextsBecomePairsOrTheListMessages) {
  const std::pair<const char*, const char*> cases[] = {
      {"25:24.6,0:0.3", ""},
      {"", "数据列表设置无效！"},
      {"25:", "请删除无效行或填入有效数据！"},
      {"25", "请删除无效行或填入有效数据！"},
      {"25:x", "请删除无效行或填入有效数据！"}};
  for (const auto& [text, message] : cases) {
    const auto parsed = ParsePairs(text);
    if (*message == '\0') {
      ASSERT_TRUE(std::holds_alternative<std::vector<CurvePair>>(parsed)) << text;
      EXPECT_EQ(std::get<std::vector<CurvePair>>(parsed),
                (std::vector<CurvePair>{{25.0, 24.6}, {0.0, 0.3}}));
    } else {
      ASSERT_TRUE(std::holds_alternative<Outcome>(parsed)) << text;
      EXPECT_EQ(std::get<Outcome>(parsed).message, message) << text;
    }
  }
}

TEST(CurveExchange, ReadKeepsTheReplyAndTheWriteSendsItBackEdited) {
  // Channel 2 of a transmitter holding one pair (25.0, 24.6).
  Bytes payload(32, 0x00);
  payload[0] = 0xA5;
  payload[1] = 0x0B;
  payload[16] = 0xA1;
  payload[17] = 0x0B;
  Bytes reply{0x3C, 0x01, 0x22, 0x01, 0x20};
  reply.insert(reply.end(), payload.begin(), payload.end());
  reply.push_back(0x66);
  reply = WithSum(reply);

  ScriptedChannel channel;
  channel.Expect({0x25, 0x01, 0x22, 0x01, 0x00, 0x66, 0xAF}, reply);
  CurveBuffer buffer;
  const CurveTarget target{InstrumentKind::Transmitter, 2, false};
  const auto curve = ReadCurve(channel, target, buffer);
  ASSERT_TRUE(curve.ok()) << curve.message();
  EXPECT_EQ(curve.value.pairs, (std::vector<CurvePair>{{25.0, 24.6}}));
  EXPECT_EQ(buffer.length, 39u);

  // The same frame back: write command, the pairs ascending, 'f' and the new sum.
  Bytes request{0x25, 0x01, 0x23, 0x01, 0x20};
  Bytes edited(32, 0x00);
  edited[0] = 0xAB;  // 0.0 -> 2731
  edited[1] = 0x0A;
  edited[2] = 0xA5;  // 25.0 -> 2981
  edited[3] = 0x0B;
  edited[16] = 0xAC;  // 0.1 -> 2732
  edited[17] = 0x0A;
  edited[18] = 0xA2;  // 24.7 -> 2978
  edited[19] = 0x0B;
  request.insert(request.end(), edited.begin(), edited.end());
  request.push_back(0x66);
  channel.Expect(WithSum(request), pages::testing::SumReply(1, 0x23, {0x55}));
  const Outcome written = WriteCurve(channel, target, {{25.0, 24.7}, {0.0, 0.1}}, buffer);
  EXPECT_TRUE(written.ok) << written.message;
  EXPECT_EQ(written.message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(CurveExchange, UncalibratedShortAndUnsupportedCurves) {
  Bytes empty{0x3C, 0x01, 0x50, 0x00, 0x80};
  for (int i = 0; i < 32; ++i) empty.insert(empty.end(), {0x00, 0x00, 0x00, 0x50});
  empty.push_back(0x66);
  ScriptedChannel channel;
  channel.Expect({}, WithSum(empty));
  CurveBuffer buffer;
  const auto curve = ReadCurve(channel, {InstrumentKind::FridgeBox, 1, false}, buffer);
  EXPECT_TRUE(curve.ok());
  EXPECT_EQ(curve.message(), "仪器尚未校准！");
  EXPECT_TRUE(curve.value.pairs.empty());

  // A reply that cannot hold the kind's slots is not taken as its curve.
  channel.Expect({}, pages::testing::SumReply(1, 0x07, Bytes(16, 0x00)));
  EXPECT_EQ(ReadCurve(channel, {InstrumentKind::Bit32, 1, false}, buffer).message(),
            "数据读取失败");
  // Without a curve read there is no frame to write back.
  CurveBuffer none;
  EXPECT_EQ(WriteCurve(channel, {InstrumentKind::Bit32, 1, false}, {{1, 1}}, none).message,
            "数据设置失败");
  EXPECT_EQ(ReadCurve(channel, {InstrumentKind::Logger, 9, false}, buffer).outcome.field,
            "channel");
  EXPECT_EQ(ReadCurve(channel, {InstrumentKind::Transmitter, 3, false}, buffer).outcome.field,
            "channel");
  EXPECT_EQ(channel.Sent().size(), 2u);
}

TEST(CurveExchange, DigitalSensorCurveIsSixteenRegistersPerChannel) {
  // Channel 2: registers 0x1100-0x110F; raw 24.6 in register 0, environment 25.0 in register 8,
  // both + 273.1 and low byte first.
  Bytes data(32, 0x00);
  data[0] = 0xA1;
  data[1] = 0x0B;
  data[16] = 0xA5;
  data[17] = 0x0B;
  Bytes reply{0x01, 0x03, 0x20};
  reply.insert(reply.end(), data.begin(), data.end());
  devlink::AppendCrc16(reply);
  ScriptedChannel channel;
  channel.Expect({0x01, 0x03, 0x11, 0x00, 0x00, 0x10, 0x41, 0x3A}, reply);
  CurveBuffer buffer;
  const CurveTarget target{InstrumentKind::DigitalSensor, 2, false};
  const auto curve = ReadCurve(channel, target, buffer);
  ASSERT_TRUE(curve.ok()) << curve.message();
  EXPECT_EQ(curve.value.pairs, (std::vector<CurvePair>{{25.0, 24.6}}));

  Bytes request{0x01, 0x10, 0x11, 0x00, 0x00, 0x10, 0x20};
  Bytes edited(32, 0x00);
  edited[0] = 0xA1;  // raw 24.6
  edited[1] = 0x0B;
  edited[2] = 0xA1;  // raw 50.2 -> 3233
  edited[3] = 0x0C;
  edited[16] = 0xA5;  // 25.0
  edited[17] = 0x0B;
  edited[18] = 0x9F;  // 50.0 -> 3231
  edited[19] = 0x0C;
  request.insert(request.end(), edited.begin(), edited.end());
  devlink::AppendCrc16(request);
  ASSERT_EQ(request.size(), 41u);
  Bytes ack{0x01, 0x10, 0x11, 0x00, 0x00, 0x10};
  devlink::AppendCrc16(ack);
  channel.Expect(request, ack);
  EXPECT_EQ(WriteCurve(channel, target, {{50.0, 50.2}, {25.0, 24.6}}, buffer).message,
            "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());
}

}  // namespace
}  // namespace pages::curvecal
