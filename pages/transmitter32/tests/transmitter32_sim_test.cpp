// 32-bit transmitter commands over the real serial and TCP channels against the instrument
// simulator: what is written is read back and lands in the simulated instrument.
#include <gtest/gtest.h>

#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "pages/transmitter32/transmitter32_commands.h"
#include "sim/families/fridge_box.h"
#include "sim/families/transmitter32.h"

namespace pages::transmitter32 {
namespace {

class Transmitter32SimTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string error;
    if (!GetParam()) TOOL_SKIP_WITHOUT_PTY();
    ASSERT_TRUE(GetParam() ? sim_.StartTcp(&error) : sim_.StartSerial(&error)) << error;
  }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::Transmitter32State>(std::forward<F>(f));
  }

  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_P(Transmitter32SimTest, SettingsAreWrittenAndReadBack) {
  ASSERT_EQ(WriteIntervals(channel_, {20, 15, 3}).message, kSetOk);
  EXPECT_EQ(ReadIntervals(channel_).value, (Intervals{20, 15, 3}));
  ASSERT_EQ(WriteAlarmDelay(channel_, 45).message, kSetOk);
  EXPECT_EQ(ReadAlarmDelay(channel_).value.seconds, 45);

  // One-byte generic reads: eight-byte replies, over TCP too.
  ASSERT_EQ(WriteRecording(channel_, false).message, kSetOk);
  const auto recording = ReadRecording(channel_);
  ASSERT_TRUE(recording.ok()) << recording.message();
  EXPECT_FALSE(recording.value.on);
  ASSERT_EQ(WriteSoundLight(channel_, false).message, kSetOk);
  EXPECT_FALSE(ReadSoundLight(channel_).value.on);
  ASSERT_EQ(WriteSmsAlarm(channel_, AlarmScope::Master, true, false).message, kSetOk);
  EXPECT_FALSE(ReadSmsAlarm(channel_, AlarmScope::Master).value.sms);
  ASSERT_EQ(WriteSmsAlarm(channel_, AlarmScope::External, false, true).message, kSetOk);
  const auto external = ReadSmsAlarm(channel_, AlarmScope::External);
  ASSERT_TRUE(external.ok()) << external.message();
  EXPECT_TRUE(external.value.sms);
  EXPECT_EQ(external.value.soundLight, false);
  EXPECT_EQ(Device([](sim::Transmitter32State& s) { return s.externalSoundLight; }), 0);

  ASSERT_EQ(WriteAlarmNumber(channel_, 2, "120").message, kSetOk);
  EXPECT_EQ(ReadAlarmNumber(channel_, 2).value.number, "120");

  ASSERT_EQ(WriteApn(channel_, {"cmiot", "用户", ""}).message, kSetOk);
  const auto apn = ReadApn(channel_);
  ASSERT_TRUE(apn.ok()) << apn.message();
  EXPECT_EQ(apn.value, (Apn{"cmiot", "用户", ""}));

  Device([](sim::Transmitter32State& s) { s.signal = 31; });
  EXPECT_EQ(ReadSignalStrength(channel_).value.strength, 31);
}

TEST_P(Transmitter32SimTest, FactoryResetRestoresTheDefaults) {
  ASSERT_EQ(WriteIntervals(channel_, {20, 15, 3}).message, kSetOk);
  ASSERT_EQ(WriteRecording(channel_, false).message, kSetOk);
  ASSERT_EQ(RestoreFactorySettings(channel_).message, kResetOk);
  EXPECT_EQ(Device([](sim::Transmitter32State& s) { return s.factoryResets; }), 1);
  EXPECT_TRUE(ReadRecording(channel_).value.on);
  EXPECT_EQ(ReadIntervals(channel_).value, (Intervals{30, 10, 2}));
  EXPECT_EQ(sim_.link.delayMs, pages::testing::SimLink::DelayMs());
}

INSTANTIATE_TEST_SUITE_P(Channels, Transmitter32SimTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Serial"; });

// On the serial channel the reset waits twice the exchange delay: a reply that comes after one
// delay is still taken, where any other command has already given up.
TEST(Transmitter32Serial, FactoryResetWaitsTwiceTheDelay) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  sim.link.delayMs = 200;
  sim::Faults faults;
  faults.latencyMs = 300;
  sim.simulator.SetFaults(faults);
  devlink::LinkChannel channel(sim.link);
  EXPECT_EQ(RestoreFactorySettings(channel).message, kResetOk);
  EXPECT_EQ(sim.link.delayMs, 200);
  EXPECT_EQ(ReadRecording(channel).message(), kReadFailed);
}

// Intervals, alarm delay, recording, both alarm scopes, the alarm numbers and the APN carried
// to B.
TEST(Transmitter32ProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.A().link.fast = trip.B().link.fast = true;
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ASSERT_TRUE(WriteIntervals(a, {7, 9, 11}).ok);
    ASSERT_TRUE(WriteAlarmDelay(a, 45).ok);
    ASSERT_TRUE(WriteRecording(a, false).ok);
    ASSERT_TRUE(WriteSoundLight(a, false).ok);
    ASSERT_TRUE(WriteSmsAlarm(a, AlarmScope::Master, false, false).ok);
    ASSERT_TRUE(WriteSmsAlarm(a, AlarmScope::External, false, true).ok);
    ASSERT_TRUE(WriteAlarmNumber(a, 2, "13700000000").ok);
    ASSERT_TRUE(WriteApn(a, {"cmiot", "gsm", "pw1234"}).ok);
  });
  ASSERT_EQ(profile.groups.size(), 10u);
  const sim::Transmitter32State b =
      trip.B().Device<sim::Transmitter32State>([](auto& s) { return s; });
  EXPECT_EQ(b.recording, 0);
  EXPECT_EQ(b.sms, 0);
  EXPECT_EQ(b.externalSoundLight, 0);
  EXPECT_EQ(b.externalSms, 1);
}

}  // namespace
}  // namespace pages::transmitter32
