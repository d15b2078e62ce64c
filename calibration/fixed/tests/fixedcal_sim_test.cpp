// Fixed-table curve calibration over the real serial and TCP channels against the simulated
// instrument (the tool-cli verbs in fixedcal_cli_test.cpp).
#include <gtest/gtest.h>

#include "calibration/fixed/fixedcal_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/fixed_curves.h"

namespace pages::fixedcal {
namespace {

using pages::testing::SimChannelTest;

class FixedCalSimTest : public SimChannelTest {
 protected:
  sim::FixedCurvesState Stored() {
    return Device<sim::FixedCurvesState>([](sim::FixedCurvesState& s) { return s; });
  }
};

TEST_P(FixedCalSimTest, TablesCorrectionsAndReadingsRoundTrip) {
  CalibrationTable temperature = Shifted(IdentityTable(Quantity::Temperature), 0.55);
  ASSERT_EQ(WriteTable(channel_, temperature).message, kWriteOk);
  CalibrationTable humidity = IdentityTable(Quantity::Humidity);
  humidity.values[10] = 98.76;
  ASSERT_EQ(WriteTable(channel_, humidity).message, kWriteOk);

  const auto readT = ReadTable(channel_, Quantity::Temperature);
  ASSERT_TRUE(readT.ok()) << readT.message();
  EXPECT_DOUBLE_EQ(readT.value.values[0], -39.4);  // -39.45 truncated toward zero
  EXPECT_DOUBLE_EQ(readT.value.values[14], 100.5);
  const auto readH = ReadTable(channel_, Quantity::Humidity);
  ASSERT_TRUE(readH.ok()) << readH.message();
  EXPECT_DOUBLE_EQ(readH.value.values[10], 98.7);
  EXPECT_DOUBLE_EQ(readH.value.values[0], 0.0);
  const sim::FixedCurvesState stored = Stored();
  EXPECT_EQ(stored.temperature[4], 5);  // 0.55 -> 5 tenths
  EXPECT_FALSE(stored.paddingNonZero);

  // The zero-point write's messages depend on the channel.
  const Outcome zero = WriteZeroPoint(channel_, {-1.5, 100.0});
  EXPECT_TRUE(zero.ok) << zero.message;
  EXPECT_EQ(zero.message, GetParam() ? "数据设置成功" : "写数据成功");
  const auto corrections = ReadZeroPoint(channel_);
  ASSERT_TRUE(corrections.ok()) << corrections.message();
  EXPECT_DOUBLE_EQ(corrections.value.temperature, -1.5);
  EXPECT_DOUBLE_EQ(corrections.value.humidity, 100.0);

  Device<sim::FixedCurvesState>([](sim::FixedCurvesState& s) {
    s.temperatureNow = -125;
    s.humidityNow = 999;
  });
  const auto now = ReadRealTime(channel_);
  ASSERT_TRUE(now.ok()) << now.message();
  EXPECT_DOUBLE_EQ(now.value.temperature, -12.5);
  EXPECT_DOUBLE_EQ(now.value.humidity, 99.9);
}

TEST_P(FixedCalSimTest, MissingRepliesFailWithTheCommandsText) {
  sim::Faults faults;
  faults.silent = true;
  faults.onlyNext = GetParam() ? 3 : 1;  // TCP tries three times
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(WriteZeroPoint(channel_, {1, 1}).message, GetParam() ? "数据设置失败" : "写数据失败");
  faults.wrongSum = true;
  faults.silent = false;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadTable(channel_, Quantity::Humidity).message(), "数据读取失败");
  EXPECT_TRUE(ReadTable(channel_, Quantity::Humidity).ok());
}

INSTANTIATE_TEST_SUITE_P(Channels, FixedCalSimTest, ::testing::Values(false, true),
                         SimChannelTest::ChannelName);

// Both tables and the zero-point corrections go to another instrument, negative tenths included.
TEST(FixedCalProfileTest, TablesAndCorrectionsGoToAnotherInstrument) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ASSERT_TRUE(WriteTable(a, Shifted(IdentityTable(Quantity::Temperature), -0.35)).ok);
    CalibrationTable humidity = IdentityTable(Quantity::Humidity);
    humidity.values[3] = 31.7;
    ASSERT_TRUE(WriteTable(a, humidity).ok);
    ASSERT_TRUE(WriteZeroPoint(a, {-2.5, 3.1}).ok);
  });
  ASSERT_EQ(profile.groups.size(), 3u);
  EXPECT_EQ(profile.groups[0].name, "table:temperature");
  const auto b = trip.B().Device<sim::FixedCurvesState>([](sim::FixedCurvesState& s) { return s; });
  EXPECT_EQ(b.temperature[0], -403);  // -40.35 truncated toward zero
  EXPECT_EQ(b.humidity[3], 317);
  EXPECT_EQ(b.temperatureZero, -25);
}


}  // namespace
}  // namespace pages::fixedcal
