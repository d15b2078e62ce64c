// The Bluetooth logger's curve frames and every kind's live-value frames against a scripted
// channel: request bytes, reply decoding, unused slots and the failure messages.
#include <gtest/gtest.h>

#include "calibration/curves/curvecal_commands.h"
#include "link/frames.h"
#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"

namespace pages::curvecal {
namespace {

using devlink::Bytes;
using devlink::testing::ScriptedChannel;
using pages::testing::SumReply;
using pages::testing::WithSum;

Bytes WithCrc(Bytes frame) {
  devlink::AppendCrc16(frame);
  return frame;
}

// 16 slots of 80 00, then the given (raw high, raw low, environment high, environment low) at
// their slot.
Bytes CurveData(const std::vector<std::pair<size_t, std::array<uint8_t, 4>>>& slots) {
  Bytes data(64, 0x00);
  for (size_t i = 0; i < 64; i += 2) data[i] = 0x80;
  for (const auto& [slot, bytes] : slots) {
    data[2 * slot] = bytes[0];
    data[2 * slot + 1] = bytes[1];
    data[32 + 2 * slot] = bytes[2];
    data[32 + 2 * slot + 1] = bytes[3];
  }
  return data;
}

const Bytes kReadChannel2{0x01, 0x03, 0x20, 0x80, 0x00, 0x20, 0x4E, 0x3A};

Bytes CurveReply(const Bytes& data) {
  Bytes reply{0x01, 0x03, 0x40};
  reply.insert(reply.end(), data.begin(), data.end());
  return WithCrc(reply);
}

TEST(BluetoothCurve, ReadSkipsUnusedSlotsAndWriteSendsTheWholeCurve) {
  // Slot 0: raw 24.6, environment 25.0; slot 1 unused; slot 2 has an environment value but a raw
  // value marked unused; slot 3: raw 49.8, environment 50.0.
  const Bytes data = CurveData({{0, {0x00, 0xF6, 0x00, 0xFA}},
                                {2, {0x80, 0x05, 0x01, 0x2C}},
                                {3, {0x01, 0xF2, 0x01, 0xF4}}});
  ScriptedChannel channel;
  channel.Expect(kReadChannel2, CurveReply(data));
  CurveBuffer buffer;
  const CurveTarget target{InstrumentKind::BluetoothLogger, 2, false};
  const auto curve = ReadCurve(channel, target, buffer);
  ASSERT_TRUE(curve.ok()) << curve.message();
  EXPECT_EQ(curve.value.pairs, (std::vector<CurvePair>{{25.0, 24.6}, {50.0, 49.8}}));
  EXPECT_EQ(buffer.length, 73u);

  Bytes request{0x01, 0x10, 0x20, 0x80, 0x00, 0x20, 0x40};
  const Bytes edited = CurveData({{0, {0xFF, 0x97, 0xFF, 0x9C}},    // -10.5, -10.0
                                  {1, {0x00, 0xF6, 0x00, 0xFA}},    // 24.6, 25.0
                                  {2, {0x01, 0xF2, 0x01, 0xF4}}});  // 49.8, 50.0
  request.insert(request.end(), edited.begin(), edited.end());
  request = WithCrc(request);
  ASSERT_EQ(request.size(), 73u);
  channel.Expect(request, WithCrc({0x01, 0x10, 0x20, 0x80, 0x00, 0x20}));
  const Outcome written =
      WriteCurve(channel, target, {{50.0, 49.8}, {25.0, 24.6}, {-10.0, -10.5}}, buffer);
  EXPECT_EQ(written.message, "数据设置成功");
  EXPECT_TRUE(channel.Problems().empty());

  // All slots unused: nothing calibrated yet.
  channel.Expect({0x01, 0x03, 0x20, 0x00, 0x00, 0x20, 0x4F, 0xD2}, CurveReply(CurveData({})));
  const auto empty = ReadCurve(channel, {InstrumentKind::BluetoothLogger, 1, true}, buffer);
  EXPECT_TRUE(empty.ok());
  EXPECT_EQ(empty.message(), "仪器尚未校准！");
  EXPECT_TRUE(empty.value.pairs.empty());
}

TEST(BluetoothCurve, RejectedRepliesAndValues) {
  const CurveTarget target{InstrumentKind::BluetoothLogger, 2, false};
  Bytes badCrc = CurveReply(CurveData({}));
  badCrc.back() ^= 0x01;
  Bytes wrongFunction = CurveReply(CurveData({}));
  wrongFunction[1] = 0x04;
  wrongFunction = WithCrc(Bytes(wrongFunction.begin(), wrongFunction.end() - 2));
  Bytes ackBadCrc = WithCrc({0x01, 0x10, 0x20, 0x80, 0x00, 0x20});
  ackBadCrc[6] ^= 0xFF;
  const struct {
    bool write;
    Bytes reply;
    const char* message;
  } cases[] = {
      {false, badCrc, "读曲线校验位对比失败"},
      {false, wrongFunction, "读取曲线失败"},
      {false, Bytes(badCrc.begin(), badCrc.end() - 1), "读取曲线失败"},
      {false, WithCrc({0x01, 0x83, 0x02}), "读取曲线失败"},
      {true, ackBadCrc, "数据设置校验位对比失败"},
      {true, WithCrc({0x01, 0x90, 0x02}), "数据设置失败"},
  };
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, c.reply);
    CurveBuffer buffer;
    const std::string message = c.write
                                    ? WriteCurve(channel, target, {{25.0, 24.6}}, buffer).message
                                    : ReadCurve(channel, target, buffer).message();
    EXPECT_EQ(message, c.message) << devlink::FormatHex(c.reply);
  }

  // Refused before anything is sent: a raw value that would read back as an unused slot, a
  // value beyond 16 bits of tenths, a channel the logger does not have.
  ScriptedChannel channel;
  CurveBuffer buffer;
  EXPECT_EQ(WriteCurve(channel, target, {{25.0, -3260.0}}, buffer).message,
            "请删除无效行或填入有效数据！");
  EXPECT_EQ(WriteCurve(channel, target, {{4000.0, 1.0}}, buffer).message,
            "请删除无效行或填入有效数据！");
  EXPECT_EQ(ReadCurve(channel, {InstrumentKind::BluetoothLogger, 3, false}, buffer).outcome.field,
            "channel");
  EXPECT_TRUE(channel.Sent().empty());
}

TEST(LiveValues, EachKindsRequestAndValue) {
  const Bytes float23_5{0x00, 0x00, 0xBC, 0x41};
  const Bytes floatMinus12_25{0x00, 0x00, 0x44, 0xC1};
  const struct {
    InstrumentKind kind;
    int channel;
    bool raw;
    uint8_t address;
    Bytes request;
    Bytes reply;
    double value;
  } cases[] = {
      // The transmitter lists both channels, low byte first.
      {InstrumentKind::Transmitter, 2, false, 1, WithSum({0x25, 0x01, 0x01, 0xFF, 0x00, 0x66}),
       SumReply(1, 0x01, {0xFA, 0x00, 0x9C, 0xFF}), -10.0},
      {InstrumentKind::Transmitter, 1, true, 1, WithSum({0x25, 0x01, 0x21, 0xFF, 0x00, 0x66}),
       SumReply(1, 0x21, {0xF6, 0x00, 0x9C, 0xFF}), 24.6},
      // The others give the selected channel's single; their raw value comes from 0x30.
      {InstrumentKind::Bit32, 3, false, 1, WithSum({0x25, 0x01, 0x01, 0x02, 0x00, 0x66}),
       SumReply(1, 0x01, float23_5), 23.5},
      {InstrumentKind::Bit32Card, 32, true, 5, WithSum({0x25, 0x05, 0x30, 0x1F, 0x00, 0x66}),
       SumReply(5, 0x30, floatMinus12_25), -12.25},
      {InstrumentKind::WifiTransmitter, 1, true, 1, WithSum({0x25, 0x01, 0x30, 0x00, 0x00, 0x66}),
       SumReply(1, 0x30, float23_5), 23.5},
      {InstrumentKind::FridgeBox, 2, false, 1, WithSum({0x25, 0x01, 0x01, 0x01, 0x00, 0x66}),
       SumReply(1, 0x01, floatMinus12_25), -12.25},
      // The digital sensor: one register, signed tenths.
      {InstrumentKind::DigitalSensor, 2, false, 2, {0x02, 0x03, 0x02, 0x00, 0x00, 0x01, 0x85, 0x81},
       WithCrc({0x02, 0x03, 0x02, 0xFF, 0x9C}), -10.0},
      {InstrumentKind::DigitalSensor, 2, true, 2, {0x02, 0x03, 0x11, 0x00, 0x00, 0x01, 0x81, 0x05},
       WithCrc({0x02, 0x03, 0x02, 0x00, 0xF6}), 24.6},
      // The Bluetooth logger: ch + 4 input registers from 1 or 0, the ch-th one is the value.
      {InstrumentKind::BluetoothLogger, 1, false, 0, {0x01, 0x04, 0x00, 0x01, 0x00, 0x05, 0x61, 0xC9},
       WithCrc({0x01, 0x04, 0x0A, 0x00, 0xD7, 0x02, 0x29, 0, 0, 0, 0, 0, 0}), 21.5},
      {InstrumentKind::BluetoothLogger, 2, true, 0, {0x01, 0x04, 0x00, 0x00, 0x00, 0x06, 0x70, 0x08},
       WithCrc({0x01, 0x04, 0x0C, 0xFF, 0xF4, 0x02, 0x24, 0, 0, 0, 0, 0, 0, 0, 0}), 54.8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(devlink::FormatHex(c.request));
    ScriptedChannel channel(c.address);
    channel.Expect(c.request, c.reply);
    const CurveTarget target{c.kind, c.channel, false};
    const auto read = c.raw ? ReadRawValue(channel, target) : ReadDisplayValue(channel, target);
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_DOUBLE_EQ(read.value.value, c.value);
    EXPECT_TRUE(channel.Problems().empty());
  }
}

TEST(LiveValues, RejectedReplies) {
  const CurveTarget logger{InstrumentKind::BluetoothLogger, 1, false};
  Bytes badCrc = WithCrc({0x01, 0x04, 0x0A, 0x00, 0xD7, 0x02, 0x29, 0, 0, 0, 0, 0, 0});
  badCrc.back() ^= 0x01;
  const struct {
    CurveTarget target;
    Bytes reply;
    const char* message;
  } cases[] = {
      {logger, badCrc, "实时数据校验错误"},
      // The byte count has to be 2 ch + 8.
      {logger, WithCrc({0x01, 0x04, 0x0C, 0x00, 0xD7, 0x02, 0x29, 0, 0, 0, 0, 0, 0}),
       "读取实时数据失败"},
      {logger, WithCrc({0x01, 0x03, 0x0A, 0x00, 0xD7, 0x02, 0x29, 0, 0, 0, 0, 0, 0}),
       "读取实时数据失败"},
      // A transmitter reply that does not reach channel 2's bytes.
      {{InstrumentKind::Transmitter, 2, false}, SumReply(1, 0x01, {0xFA, 0x00}), "数据读取失败"},
      {{InstrumentKind::Bit32, 1, false}, SumReply(1, 0x01, {0xFA, 0x00}), "数据读取失败"},
  };
  for (const auto& c : cases) {
    ScriptedChannel channel;
    channel.Expect({}, c.reply);
    EXPECT_EQ(ReadDisplayValue(channel, c.target).message(), c.message)
        << devlink::FormatHex(c.reply);
  }
  // The logger kind has no raw value, and no kind has a channel beyond its count.
  ScriptedChannel channel;
  EXPECT_EQ(ReadRawValue(channel, {InstrumentKind::Logger, 1, false}).message(),
            "记录仪没有原始值可读");
  EXPECT_EQ(ReadRawValue(channel, {InstrumentKind::FridgeBox, 3, false}).outcome.field, "channel");
  EXPECT_EQ(ReadDisplayValue(channel, {InstrumentKind::BluetoothLogger, 3, false}).outcome.field,
            "channel");
  EXPECT_TRUE(channel.Sent().empty());
}

}  // namespace
}  // namespace pages::curvecal
