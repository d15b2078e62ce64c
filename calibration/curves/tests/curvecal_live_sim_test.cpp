// The Bluetooth logger's curves behind the simulated adapter and every kind's live values from the
// simulated instruments (the tool-cli verbs for both in curvecal_live_cli_test.cpp).
#include <gtest/gtest.h>

#include "calibration/curves/curvecal_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/bluetooth_logger.h"
#include "sim/families/channel_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;

constexpr char kLoggerMac[] = "00:1A:7D:DA:71:13";
const sim::BluetoothAdapterState::Mac kLoggerBytes{0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

// The page's frames go to the adapter on the serial port even while the link is set to TCP.
TEST(BluetoothCurveSim, WrittenCurveReadsBackAndLiveValuesComeThroughTheAdapter) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  sim.link.mode = devlink::AddressingMode::Bluetooth;
  sim.link.address = 0;
  sim.link.macText = kLoggerMac;
  sim.link.bluetoothConnected = true;
  sim.link.tcpMode = true;
  sim.link.ip = "127.0.0.1";
  sim.link.tcpPort = 1;  // nothing listens there
  sim.Device<sim::BluetoothAdapterState>(
      [](sim::BluetoothAdapterState& s) { s.connected = kLoggerBytes; });
  ASSERT_TRUE(ConnectBluetoothDevice(sim.link).ok);
  BluetoothChannel channel(sim.link);

  const CurveTarget target{InstrumentKind::BluetoothLogger, 2, false};
  CurveBuffer buffer;
  const auto before = ReadCurve(channel, target, buffer);
  ASSERT_TRUE(before.ok()) << before.message();
  EXPECT_EQ(before.message(), kNotCalibrated);
  ASSERT_EQ(WriteCurve(channel, target, {{50.0, 49.8}, {-20.0, -21.3}, {25.0, 24.6}}, buffer).message,
            kWriteOk);
  CurveBuffer again;
  const auto after = ReadCurve(channel, target, again);
  ASSERT_TRUE(after.ok()) << after.message();
  EXPECT_EQ(after.value.pairs,
            (std::vector<CurvePair>{{-20.0, -21.3}, {25.0, 24.6}, {50.0, 49.8}}));
  EXPECT_TRUE(ReadCurve(channel, {InstrumentKind::BluetoothLogger, 1, false}, again)
                  .value.pairs.empty());

  const auto display = ReadDisplayValue(channel, target);
  ASSERT_TRUE(display.ok()) << display.message();
  EXPECT_DOUBLE_EQ(display.value.value, 55.3);
  const auto raw = ReadRawValue(channel, {InstrumentKind::BluetoothLogger, 1, false});
  ASSERT_TRUE(raw.ok()) << raw.message();
  EXPECT_DOUBLE_EQ(raw.value.value, -1.2);
}

class LiveValueSimTest : public SimChannelTest {};

TEST_P(LiveValueSimTest, EveryPairKindReadsTheChannelsDisplayAndRawValue) {
  Device<sim::ChannelCurvesState>([](sim::ChannelCurvesState& s) {
    s.display[0] = 25.0;
    s.raw[0] = 24.6;
    s.display[1] = -10.5;
    s.raw[1] = -11.0;
    s.display[31] = 81.25;
    s.raw[31] = 80.5;
  });
  const struct {
    InstrumentKind kind;
    int channel;
    double display;
    double raw;
  } cases[] = {
      {InstrumentKind::Transmitter, 2, -10.5, -11.0},
      {InstrumentKind::Bit32, 32, 81.25, 80.5},
      {InstrumentKind::WifiTransmitter, 1, 25.0, 24.6},
      {InstrumentKind::Bit32Card, 2, -10.5, -11.0},
      {InstrumentKind::FridgeBox, 1, 25.0, 24.6},
      {InstrumentKind::DigitalSensor, 2, -10.5, -11.0},  // last: it needs 9600 baud
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    Device<sim::ChannelCurvesState>(
        [&](sim::ChannelCurvesState& s) { s.kind = static_cast<int>(c.kind); });
    if (c.kind == InstrumentKind::DigitalSensor && !GetParam()) {
      std::string error;
      ASSERT_TRUE(sim_.link.serial.ConfigurePort("9600", &error)) << error;
    }
    const CurveTarget target{c.kind, c.channel, false};
    const auto display = ReadDisplayValue(channel_, target);
    ASSERT_TRUE(display.ok()) << display.message();
    EXPECT_DOUBLE_EQ(display.value.value, c.display);
    const auto raw = ReadRawValue(channel_, target);
    ASSERT_TRUE(raw.ok()) << raw.message();
    EXPECT_DOUBLE_EQ(raw.value.value, c.raw);
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, LiveValueSimTest, ::testing::Values(false, true),
                         SimChannelTest::ChannelName);

}  // namespace
}  // namespace pages::curvecal
