// The logger kind (2) over the real serial and TCP channels against the simulated logger: what is
// initialised and written reads back through the channel list's mapping (the tool-cli verbs in
// logger_curve_cli_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "calibration/curves/curvecal_commands.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/logger_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;

const std::vector<double> kDefaultTemperature{180,  248,  411,  646,  970,  1375, 1822, 2260,
                                              2676, 3021, 3285, 3495, 3648, 3762, 3835};

class LoggerSimTest : public SimChannelTest {
 protected:
  void SetUp() override {
    SimChannelTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Physical channels 3, 6 and 8 fitted: logical 1, 2, 3 with codes 12, 5 and 0 (code 0's
    // write has the shape of a relay frame).
    Device<sim::LoggerCurvesState>([](sim::LoggerCurvesState& s) {
      s.channelMap = 0b10100100;
      s.codes = {1, 2, 12, 3, 4, 5, 6, 0};
      s.raw = {0, 0, 1900, 0, 0, 2500, 0, 3700};
      s.display = {0, 0, 0, 0, 0, 0, 0, 0};
      s.display[1] = -18.5f;
    });
  }
  std::vector<double> Readings(const CurveTarget& target) {
    CurveBuffer buffer;
    const auto curve = ReadCurve(channel_, target, buffer);
    EXPECT_TRUE(curve.ok()) << curve.message() << " " << curve.outcome.detail;
    return curve.value.readings;
  }
};

TEST_P(LoggerSimTest, InitialisedAndWrittenCurvesReadBackPerChannel) {
  const CurveTarget first{InstrumentKind::Logger, 1, false};
  const CurveTarget third{InstrumentKind::Logger, 3, false};
  CurveBuffer buffer;
  const auto blank = ReadCurve(channel_, third, buffer);
  ASSERT_TRUE(blank.ok()) << blank.message() << " " << blank.outcome.detail;
  EXPECT_EQ(blank.message(), kNotCalibrated);

  for (const CurveTarget& target : {first, third}) {
    SCOPED_TRACE(target.channel);
    ASSERT_EQ(InitialiseLoggerCurve(channel_, target, "").message, kWriteOk);
    EXPECT_EQ(Readings(target), kDefaultTemperature);
  }
  // "全调" on channel 3 with three values; channel 1 keeps its curve.
  ASSERT_EQ(WriteLoggerReadings(channel_, third, {100, 200, 300}, buffer).message, kWriteOk);
  std::vector<double> written(15, 0);
  written[0] = 100;
  written[1] = 200;
  written[2] = 300;
  EXPECT_EQ(Readings(third), written);
  EXPECT_EQ(Readings(first), kDefaultTemperature);

  // Single point on channel 1 (physical 3, raw 1900) at 25.0 °C: reading 7 from reading 6.
  ASSERT_EQ(WriteLoggerPoint(channel_, first, 25.0, buffer).message, kWriteOk);
  std::vector<double> point = kDefaultTemperature;
  point[7] = 1822 + (1900 - 1822) / 5.0 * 10;
  EXPECT_EQ(Readings(first), point);
  EXPECT_EQ(Device<sim::LoggerCurvesState>([](sim::LoggerCurvesState& s) { return s.writes; }), 4);

  // Live values: channel 2 is physical 6.
  const CurveTarget second{InstrumentKind::Logger, 2, true};
  const auto raw = ReadLoggerRawValue(channel_, second);
  ASSERT_TRUE(raw.ok()) << raw.message();
  EXPECT_EQ(raw.value.value, 2500);
  const auto display = ReadDisplayValue(channel_, second);
  ASSERT_TRUE(display.ok()) << display.message() << " " << display.outcome.detail;
  EXPECT_EQ(display.value.value, -18.5);

  // Not in the channel list.
  EXPECT_EQ(ReadCurve(channel_, {InstrumentKind::Logger, 4, false}, buffer).message(),
            kChannelNotListed);
}

TEST_P(LoggerSimTest, ASilentLoggerFailsTheWriteAndChangesNothing) {
  const CurveTarget target{InstrumentKind::Logger, 2, true};
  ASSERT_EQ(InitialiseLoggerCurve(channel_, target, "").message, kWriteOk);
  CurveBuffer buffer;
  ASSERT_TRUE(ReadCurve(channel_, target, buffer).ok());
  sim::Faults faults;
  faults.silent = true;
  faults.onlyNext = GetParam() ? 3 : 1;  // TCP tries three times
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadCurve(channel_, target, buffer).message(), kChannelReadFailed);
  EXPECT_EQ(Readings(target).size(), 11u);
}

INSTANTIATE_TEST_SUITE_P(Channels, LoggerSimTest, ::testing::Values(false, true),
                         SimChannelTest::ChannelName);

}  // namespace
}  // namespace pages::curvecal
