// Settings commands over the real serial and TCP channels against the instrument simulator:
// what is written is read back, and the simulated instrument's state changes.
#include <gtest/gtest.h>

#include "pages/settings/settings_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "sim/families/settings.h"

namespace pages::settings {
namespace {

class SettingsSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
  }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::SettingsState>(std::forward<F>(f));
  }

  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_F(SettingsSimTest, LimitsWrittenAreReadBack) {
  for (LimitKind kind : {LimitKind::Alarm, LimitKind::Control}) {
    ASSERT_TRUE(WriteLimits(channel_, kind, {"-12.5", "38.0", "15", "85.5"}).ok);
    const auto read = ReadLimits(channel_, kind);
    ASSERT_TRUE(read.ok()) << read.message();
    const Limits& limits = read.value;
    EXPECT_DOUBLE_EQ(limits.temperature.lower, -12.5);
    EXPECT_DOUBLE_EQ(limits.temperature.upper, 38.0);
    EXPECT_DOUBLE_EQ(limits.humidity.lower, 15.0);
    EXPECT_DOUBLE_EQ(limits.humidity.upper, 85.5);
  }
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.alarm.tempLower; }), -125);
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.control.humUpper; }), 855);
}

TEST_F(SettingsSimTest, RecordingInBothUnitsIsReadBack) {
  const Recording written[] = {{45, RecordingUnit::Minutes, 300},
                               {12, RecordingUnit::Hours, 32767}};
  for (const Recording& value : written) {
    ASSERT_EQ(WriteRecording(channel_, value).message, kWriteOk);
    const auto read = ReadRecording(channel_);
    ASSERT_EQ(read.message(), kReadOk);
    EXPECT_EQ(read.value, value);
  }
}

TEST_F(SettingsSimTest, SwitchesOfEveryKindAreReadBack) {
  for (SwitchKind kind : {SwitchKind::Calibration, SwitchKind::Alarm, SwitchKind::Control}) {
    for (const SwitchPair value : {SwitchPair{true, false}, SwitchPair{false, true}}) {
      ASSERT_EQ(WriteSwitches(channel_, kind, value).message, kWriteOk);
      const auto read = ReadSwitches(channel_, kind);
      ASSERT_EQ(read.message(), kReadOk);
      EXPECT_EQ(read.value, value);
    }
  }
}

TEST_F(SettingsSimTest, AddressChangeMovesTheInstrument) {
  sim_.link.address = 1;
  const auto outcome = ChangeAddress(channel_, "1", "12");
  ASSERT_TRUE(outcome.ok()) << outcome.message();
  EXPECT_EQ(sim_.simulator.WithDevice([](sim::Instrument& d) { return d.address; }), 12);
  // The old address gets no answer any more; the new one does.
  EXPECT_EQ(ReadSwitches(channel_, SwitchKind::Alarm).message(), kReadFailed);
  sim_.link.address = 12;
  EXPECT_EQ(ReadSwitches(channel_, SwitchKind::Alarm).message(), kReadOk);
}

TEST_F(SettingsSimTest, ClearErasesTheHistoryOnce) {
  EXPECT_EQ(ClearHistory(channel_).message, kClearOk);
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.historyClears; }), 1);
}

TEST_F(SettingsSimTest, GarbledAndMissingRepliesAreFailures) {
  sim::Faults faults;
  faults.wrongEnd = true;
  faults.onlyNext = 1;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadLimits(channel_, LimitKind::Alarm).message(), kReadFailed);
  faults = {};
  faults.silent = true;
  faults.onlyNext = 1;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ClearHistory(channel_).message, kClearFailed);
}

TEST(SettingsTcp, HoursRecordingIsReadOverTcp) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartTcp(&error)) << error;
  devlink::LinkChannel channel(sim.link);
  ASSERT_EQ(WriteRecording(channel, {6, RecordingUnit::Hours, 1000}).message, kWriteOk);
  auto read = ReadRecording(channel);
  ASSERT_EQ(read.message(), kReadOk);
  EXPECT_EQ(read.value, (Recording{6, RecordingUnit::Hours, 1000}));
  ASSERT_EQ(WriteRecording(channel, {30, RecordingUnit::Minutes, 1000}).message, kWriteOk);
  read = ReadRecording(channel);
  ASSERT_EQ(read.message(), kReadOk);
  EXPECT_EQ(read.value.unit, RecordingUnit::Minutes);
}

// The page's whole configuration carried from one instrument to another by its profile.
TEST(SettingsProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ASSERT_TRUE(WriteRecording(a, {7, RecordingUnit::Hours, 4321}).ok);
    ASSERT_TRUE(WriteSwitches(a, SwitchKind::Calibration, {false, true}).ok);
    ASSERT_TRUE(WriteLimits(a, LimitKind::Alarm, {"-12.5", "38", "15", "85.5"}).ok);
    ASSERT_TRUE(WriteSwitches(a, SwitchKind::Alarm, {false, false}).ok);
    ASSERT_TRUE(WriteLimits(a, LimitKind::Control, {"1.5", "9", "20", "60"}).ok);
    ASSERT_TRUE(WriteSwitches(a, SwitchKind::Control, {true, true}).ok);
  });
  ASSERT_EQ(profile.groups.size(), 6u);
  EXPECT_EQ(trip.B().Device<sim::SettingsState>([](sim::SettingsState& s) { return s.alarm.tempLower; }),
            -125);
}

}  // namespace
}  // namespace pages::settings
