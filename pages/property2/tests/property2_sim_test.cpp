// Sample period and screen-off commands over the real serial channel against the simulator.
#include <gtest/gtest.h>

#include "pages/property2/property2_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "sim/families/property2.h"

namespace pages::property2 {
namespace {

class Property2SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    sim_.link.address = 7;  // these commands always go to address 0
  }
  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_F(Property2SimTest, EveryChannelKeepsItsOwnPeriod) {
  ASSERT_TRUE(WriteSamplePeriod(channel_, 1, 600).ok);
  ASSERT_TRUE(WriteSamplePeriod(channel_, 32, 4).ok);
  const auto first = ReadSamplePeriod(channel_, 1);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.value.text, "10分");
  const auto last = ReadSamplePeriod(channel_, 32);
  ASSERT_TRUE(last.ok());
  EXPECT_EQ(last.value.text, "4秒");
  EXPECT_EQ(sim_.Device<sim::Property2State>([](auto& s) { return s.periods[31]; }), 4);
}

TEST_F(Property2SimTest, ScreenOffNeverAndAnOddValue) {
  ASSERT_TRUE(WriteScreenOff(channel_, 0).ok);
  const auto never = ReadScreenOff(channel_);
  ASSERT_TRUE(never.ok());
  EXPECT_EQ(ScreenOffTimes()[static_cast<size_t>(never.value.index)].text, "永不");
  sim_.Device<sim::Property2State>([](auto& s) { s.screenOff = 45; });
  EXPECT_EQ(ReadScreenOff(channel_).message(), kValueNotInList);
}

TEST_F(Property2SimTest, SilenceIsAFailure) {
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadSamplePeriod(channel_, 2).message(), kReadFailed);
  EXPECT_EQ(WriteScreenOff(channel_, 15).message, kWriteFailed);
}

// Every channel's period and the screen-off time, "永不" (0 seconds) among them, carried to B.
TEST(Property2ProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.A().link.fast = trip.B().link.fast = true;  // 32 channels a snapshot
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ASSERT_TRUE(WriteSamplePeriod(a, 1, 2).ok);
    ASSERT_TRUE(WriteSamplePeriod(a, 17, 540).ok);
    ASSERT_TRUE(WriteSamplePeriod(a, 32, 600).ok);
    ASSERT_TRUE(WriteScreenOff(a, 0).ok);
  });
  ASSERT_EQ(profile.groups.size(), 33u);
  EXPECT_EQ(profile.groups[16].name, "sample-period:17");
  EXPECT_EQ(trip.B().Device<sim::Property2State>([](auto& s) { return s.periods[16]; }), 540);
  EXPECT_EQ(trip.B().Device<sim::Property2State>([](auto& s) { return s.screenOff; }), 0);
}

}  // namespace
}  // namespace pages::property2
