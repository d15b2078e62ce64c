// Refrigerated box commands over the real serial and TCP channels against the instrument
// simulator: what is written is read back and lands in the simulated instrument.
#include <gtest/gtest.h>

#include "pages/fridge/fridge_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "sim/families/fridge_box.h"
#include "sim/families/settings.h"

namespace pages::fridge {
namespace {

class FridgeSimTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string error;
    const bool tcp = GetParam();
    if (!tcp) TOOL_SKIP_WITHOUT_PTY();
    ASSERT_TRUE(tcp ? sim_.StartTcp(&error) : sim_.StartSerial(&error)) << error;
  }
  template <class F>
  auto Recorder(F&& f) {
    return sim_.Device<sim::GsmRecorderState>(std::forward<F>(f));
  }

  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_P(FridgeSimTest, EverySettingIsWrittenAndReadBack) {
  ASSERT_EQ(WriteIntervals(channel_, {15, 60, 5, 1}).message, kSetOk);
  const auto intervals = ReadIntervals(channel_);
  ASSERT_TRUE(intervals.ok()) << intervals.message();
  EXPECT_EQ(intervals.value, (Intervals{15, 60, 5, 1}));
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.history; }), 60);

  ASSERT_EQ(WriteSmsInterval(channel_, 900).message, kSetOk);
  EXPECT_EQ(ReadSmsInterval(channel_).value.seconds, 900);

  // A short number passes over TCP too.
  ASSERT_EQ(WriteAlarmNumber(channel_, 3, "110").message, kAlarmSetOk);
  ASSERT_EQ(WriteAlarmNumber(channel_, 1, "13800138000").message, kAlarmSetOk);
  const auto number = ReadAlarmNumber(channel_, 3);
  ASSERT_TRUE(number.ok()) << number.message();
  EXPECT_EQ(number.value.number, "110");
  EXPECT_EQ(ReadAlarmNumber(channel_, 2).value.number, "");
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.alarmNumbers[0]; }), "13800138000");

  ASSERT_EQ(WriteStatus(channel_, ToggleRecording(Status{})).message, kSetOk);
  const auto status = ReadStatus(channel_);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(status.value, (Status{1, 0, 0}));

  ASSERT_EQ(ClearHistory(channel_).message, kClearOk);
  EXPECT_EQ(sim_.Device<sim::SettingsState>([](sim::SettingsState& s) { return s.historyClears; }),
            1);
}

TEST_P(FridgeSimTest, GarbledAndMissingRepliesLeaveNothingBehind) {
  sim::Faults faults;
  faults.wrongEcho = true;
  faults.onlyNext = 1;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadIntervals(channel_).message(), kReadFailed);
  faults = {};
  faults.silent = true;
  faults.onlyNext = GetParam() ? 3 : 1;  // TCP tries three times
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadAlarmNumber(channel_, 1).message(), kAlarmReadFailed);
  EXPECT_TRUE(ReadIntervals(channel_).ok());
}

INSTANTIATE_TEST_SUITE_P(Channels, FridgeSimTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Serial"; });

// Intervals, the three alarm numbers (an empty one clears B's) and the SMS interval carried to
// B; the recording state stays B's own.
TEST(FridgeProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.A().link.fast = trip.B().link.fast = true;
  trip.B().Device<sim::GsmRecorderState>([](auto& s) { s.alarmNumbers[1] = "13912345678"; });
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ASSERT_TRUE(WriteIntervals(a, {25, 65535, 3, 7}).ok);
    ASSERT_TRUE(WriteAlarmNumber(a, 1, "13800138000").ok);
    ASSERT_TRUE(WriteAlarmNumber(a, 3, "110").ok);
    ASSERT_TRUE(WriteSmsInterval(a, 300).ok);
    ASSERT_TRUE(WriteStatus(a, ToggleRecording(Status{})).ok);
  });
  ASSERT_EQ(profile.groups.size(), 5u);
  EXPECT_EQ(trip.B().Device<sim::GsmRecorderState>([](auto& s) { return s.alarmNumbers[1]; }), "");
  EXPECT_EQ(trip.B().Device<sim::FridgeBoxState>([](auto& s) { return s.recording; }), 1);
}

}  // namespace
}  // namespace pages::fridge
