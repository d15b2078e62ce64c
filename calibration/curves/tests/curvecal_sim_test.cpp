// Per-channel curves over the real serial and TCP channels against the simulated instruments of
// each SumFrame kind (the tool-cli verbs in curvecal_cli_test.cpp).
#include <gtest/gtest.h>

#include "calibration/curves/curvecal_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/channel_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;

class CurveSimTest : public SimChannelTest {
 protected:
  void PlayKind(int kind) {
    Device<sim::ChannelCurvesState>([kind](sim::ChannelCurvesState& s) { s.kind = kind; });
  }
};

TEST_P(CurveSimTest, EverySumFrameKindReadsBackWhatWasWritten) {
  const struct {
    InstrumentKind kind;
    int channel;
    bool humidity;
    std::vector<CurvePair> pairs;
  } cases[] = {
      {InstrumentKind::DigitalSensor, 32, false, {{40.0, 41.2}, {-10.0, -9.9}}},
      {InstrumentKind::Transmitter, 2, false, {{25.0, 24.6}, {-20.0, -19.8}}},
      {InstrumentKind::Bit32, 32, true, {{90.0, 88.5}, {10.0, 11.0}, {50.0, 50.5}}},
      {InstrumentKind::Bit32Card, 5, false, {{0.0, 0.3}}},
      {InstrumentKind::WifiTransmitter, 7, false, {{30.0, 29.25}, {-10.0, -9.5}}},
      {InstrumentKind::FridgeBox, 1, false, {{-18.0, -17.5}, {4.0, 4.5}, {-25.0, -24.75}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    PlayKind(static_cast<int>(c.kind));
    if (c.kind == InstrumentKind::DigitalSensor && !GetParam()) {
      std::string error;  // the sensor hears only its own rate, 9600 baud
      ASSERT_TRUE(sim_.link.serial.ConfigurePort("9600", &error)) << error;
    }
    const CurveTarget target{c.kind, c.channel, c.humidity};
    CurveBuffer buffer;
    const auto before = ReadCurve(channel_, target, buffer);
    ASSERT_TRUE(before.ok()) << before.message() << " " << before.outcome.detail;
    EXPECT_EQ(before.message(), kNotCalibrated);
    ASSERT_EQ(WriteCurve(channel_, target, c.pairs, buffer).message, kWriteOk);

    CurveBuffer again;
    const auto after = ReadCurve(channel_, target, again);
    ASSERT_TRUE(after.ok()) << after.message();
    std::vector<CurvePair> ascending = c.pairs;
    std::sort(ascending.begin(), ascending.end(),
              [](const CurvePair& a, const CurvePair& b) { return a.environment < b.environment; });
    EXPECT_EQ(after.value.pairs, ascending);
    // Another channel of the same kind is untouched.
    const CurveTarget other{c.kind, c.channel == 1 ? 2 : 1, c.humidity};
    EXPECT_TRUE(ReadCurve(channel_, other, again).value.pairs.empty());
  }
}

TEST_P(CurveSimTest, AFailedWriteReportsItAndAMissingCurveWritesNothing) {
  PlayKind(1);
  CurveBuffer buffer;
  const CurveTarget target{InstrumentKind::Bit32, 3, false};
  ASSERT_TRUE(ReadCurve(channel_, target, buffer).ok());
  sim::Faults faults;
  faults.silent = true;
  faults.onlyNext = GetParam() ? 3 : 1;  // TCP tries three times
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(WriteCurve(channel_, target, {{1.0, 2.0}}, buffer).message, kWriteFailed);
  // The fixed tables are not what a multi-channel instrument answers on 0x07.
  PlayKind(-1);
  CurveBuffer fixed;
  EXPECT_EQ(ReadCurve(channel_, {InstrumentKind::Bit32, 5, false}, fixed).message(),
            kReadFailed);
}

INSTANTIATE_TEST_SUITE_P(Channels, CurveSimTest, ::testing::Values(false, true),
                         SimChannelTest::ChannelName);

// The curves of the channels named (or every channel of the kind) go to another instrument of
// the kind: singles that are no exact decimal included. An uncalibrated channel is left out.
TEST(CurveProfileTest, TheCurvesOfAKindGoToAnotherInstrument) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.given = {{"kind", "3"}, {"channels", "2,7,9"}};
  const CommandSet set = Commands();
  for (pages::testing::SimLink* sim : {&trip.A(), &trip.B()}) {
    sim->Device<sim::ChannelCurvesState>([](sim::ChannelCurvesState& s) { s.kind = 3; });
  }
  const Profile profile = trip.Run(set, [&](pages::testing::SimLink&, devlink::Channel& a) {
    for (const auto& [channel, pairs] : {std::pair{"2", "30:29.3,-10.1:-9.5"}, {"7", "0:0.25"}}) {
      const Outcome wrote = RunVerb(*set.Find("write"), a,
                                    {{"kind", "3"}, {"channel", channel}, {"type", "temperature"},
                                     {"pairs", pairs}});
      ASSERT_TRUE(wrote.ok) << wrote.message;
    }
  });
  ASSERT_EQ(profile.groups.size(), 2u);
  EXPECT_EQ(profile.groups[1].name, "write:3,7,temperature");
  const Outcome read = RunVerb(*set.Find("read"), trip.ChannelB(),
                               {{"kind", "3"}, {"channel", "2"}, {"type", "temperature"}});
  EXPECT_EQ(read.values.size(), 6u);
  EXPECT_FLOAT_EQ(static_cast<float>(std::get<double>(read.values[4].second)), 29.3f);

  Result<Profile> noKind = TakeSnapshot(set, trip.ChannelA());
  EXPECT_EQ(noKind.outcome.field, "kind");
}


}  // namespace
}  // namespace pages::curvecal
