// Chiller commands over the real serial and TCP channels against the simulated unit.
#include <gtest/gtest.h>

#include "pages/chiller/chiller_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "sim/families/chiller.h"

namespace pages::chiller {
namespace {

enum class Transport { Serial, Tcp };

class ChillerSimTest : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override {
    if (GetParam() == Transport::Serial) TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(GetParam() == Transport::Serial ? sim_.StartSerial(&error) : sim_.StartTcp(&error))
        << error;
  }
  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_P(ChillerSimTest, ReadShowsTheUnitsState) {
  sim_.Device<sim::ChillerState>([](sim::ChillerState& s) {
    s.container = "MSKU7654321";
    s.returnAir = 5.3f;
    s.supplyAir = -1.5f;
    s.workMode = 4;
    s.alarms = {17, 3};
  });
  const auto read = ReadState(channel_);
  const Outcome& outcome = read.outcome;
  const ChillerState& state = read.value;
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(state.container, "MSKU7654321");
  EXPECT_EQ(state.returnAir, "5.30");
  EXPECT_EQ(state.supplyAir, "-1.50");
  EXPECT_EQ(state.workMode, 4);
  EXPECT_EQ(state.alarmCodes, "017 003 ");
}

TEST_P(ChillerSimTest, SetPointWrittenIsReadBack) {
  ASSERT_EQ(WriteSetPoint(channel_, -18.5).message, kWriteOk);
  EXPECT_EQ(sim_.Device<sim::ChillerState>([](auto& s) { return s.setPointHundredths; }), -1850);
  const auto read = ReadState(channel_);
  ASSERT_TRUE(read.ok());
  const ChillerState& state = read.value;
  ASSERT_TRUE(state.setPoint.has_value());
  EXPECT_DOUBLE_EQ(*state.setPoint, -18.5);
}

TEST_P(ChillerSimTest, TheUnitsRefusalComesWithItsCode) {
  const Outcome outcome = WriteSetPoint(channel_, 45.0);  // beyond the unit's range
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "配置失败！错误代码：2");
  EXPECT_EQ(sim_.Device<sim::ChillerState>([](auto& s) { return s.setPointHundredths; }), -1850);
}

// Only the set point goes to the other unit: its air temperatures and mode are its own state.
TEST(ChillerProfileTest, TheSetPointGoesToAnotherUnit) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink& a, devlink::Channel&) {
    a.Device<sim::ChillerState>([](sim::ChillerState& s) {
      s.setPointHundredths = 731;
      s.workMode = 3;
    });
  });
  ASSERT_EQ(profile.groups.size(), 1u);
  EXPECT_EQ(profile.groups[0].values.size(), 1u);
  const auto b = trip.B().Device<sim::ChillerState>([](sim::ChillerState& s) { return s; });
  EXPECT_EQ(b.setPointHundredths, 731);
  EXPECT_EQ(b.workMode, sim::ChillerState{}.workMode);
}

INSTANTIATE_TEST_SUITE_P(Transports, ChillerSimTest,
                         ::testing::Values(Transport::Serial, Transport::Tcp));

}  // namespace
}  // namespace pages::chiller
