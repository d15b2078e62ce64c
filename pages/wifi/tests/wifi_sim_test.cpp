// The WiFi module chains over the real serial and TCP channels against the simulated module:
// what is written is kept by the module and read back, and module control reaches it.
#include <gtest/gtest.h>

#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_fixtures.h"
#include "pages/wifi/wifi_commands.h"
#include "sim/families/wifi_module.h"

namespace pages::wifi {
namespace {

class WifiSimTest : public pages::testing::SimChannelTest {
 protected:
  template <class F>
  auto Module(F&& f) {
    return Device<sim::WifiModuleState>(std::forward<F>(f));
  }
};

TEST_P(WifiSimTest, WhatIsSetIsReadBack) {
  const auto before = ReadSettings(channel_);
  ASSERT_TRUE(before.ok()) << before.message();

  Settings settings = before.value;  // keeps the MAC that was read, as the page does
  settings.ssid = "仓库二号";
  settings.security = 4;
  settings.password = "s3cret!";
  settings.dhcp = false;
  settings.ip = {192, 168, 10, 20};
  settings.mask = {255, 255, 255, 0};
  settings.gateway = {192, 168, 10, 1};
  settings.dns = {192, 168, 10, 2};
  ASSERT_EQ(WriteSettings(channel_, settings).message, kSetOk);
  EXPECT_EQ(Module([](sim::WifiModuleState& s) { return s.ssid; }), "仓库二号");

  const auto after = ReadSettings(channel_);
  ASSERT_TRUE(after.ok()) << after.message();
  EXPECT_EQ(after.value, settings);

  // With DHCP on the addresses stay as they were.
  Settings dhcp = settings;
  dhcp.dhcp = true;
  dhcp.ip = {1, 2, 3, 4};
  ASSERT_EQ(WriteSettings(channel_, dhcp).message, kSetOk);
  EXPECT_EQ(Module([](sim::WifiModuleState& s) { return s.ip; }),
            (std::array<uint8_t, 4>{192, 168, 10, 20}));
  EXPECT_TRUE(Module([](sim::WifiModuleState& s) { return s.dhcp; }));
}

TEST_P(WifiSimTest, AnEmptyMacIsSentAndChangesNothing) {
  const std::string mac = Module([](sim::WifiModuleState& s) { return s.mac; });
  EXPECT_TRUE(WriteSettings(channel_, Settings{}).ok);
  EXPECT_EQ(Module([](sim::WifiModuleState& s) { return s.mac; }), mac);
  EXPECT_EQ(sim_.simulator.RequestLog().back().size(), 24u);
}

TEST_P(WifiSimTest, ModuleControlAndAModuleThatDoesNotAnswer) {
  ASSERT_EQ(WriteSsid(channel_, "changed").message, "");
  EXPECT_EQ(Control(channel_, ModuleControl::ExitConfiguration).message, kControlOk);
  EXPECT_EQ(Control(channel_, ModuleControl::Reset).message, kControlOk);
  EXPECT_EQ(Control(channel_, ModuleControl::FactorySettings).message, kControlOk);
  const auto state = Module([](sim::WifiModuleState& s) { return s; });
  EXPECT_EQ(state.exits, 1);
  EXPECT_EQ(state.resets, 1);
  EXPECT_EQ(state.factoryResets, 1);
  EXPECT_EQ(state.ssid, sim::WifiModuleState{}.ssid);

  Module([](sim::WifiModuleState& s) { s.unanswered = {0x25}; });
  EXPECT_EQ(Control(channel_, ModuleControl::Reset).message, kControlFailed);
}

// A profile carries every setting but the module's own MAC: B keeps its MAC, and a profile that
// carries one is refused with nothing sent. With DHCP on the addresses are not carried.
TEST(WifiProfileTest, SettingsGoToAnotherModuleWhichKeepsItsOwnMac) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  const std::string macB =
      trip.B().Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { return s.mac; });
  Profile profile = trip.Run(Commands(), [](pages::testing::SimLink& a, devlink::Channel&) {
    a.Device<sim::WifiModuleState>([](sim::WifiModuleState& s) {
      s = {"仓库二号", 4, "s3cret!", false, {192, 168, 10, 20}, {255, 255, 0, 0},
           {192, 168, 10, 1}, {192, 168, 10, 2}, "AC:CF:23:00:00:01", 0, 0, 0, {}};
    });
  });
  ASSERT_EQ(profile.groups.size(), 1u);
  EXPECT_EQ(profile.groups[0].values.size(), 8u);  // all but the MAC
  EXPECT_EQ(OptionText(profile.instrument.back().second), "AC:CF:23:00:00:01");
  EXPECT_EQ(profile.instrument.back().first, "mac");
  const auto b = trip.B().Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { return s; });
  EXPECT_EQ(b.mac, macB);
  EXPECT_EQ(b.mask, (std::array<uint8_t, 4>{255, 255, 0, 0}));

  Profile tampered = profile;
  tampered.groups[0].values.emplace_back("mac", std::string("AC:CF:23:00:00:01"));
  const size_t sent = trip.B().Requests();
  EXPECT_EQ(ApplyProfile(Commands(), trip.ChannelB(), tampered, {}).field, "in");
  EXPECT_EQ(trip.B().Requests(), sent);

  // DHCP on: the addresses are the network's, B's stay and still nothing differs.
  trip.A().Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { s.dhcp = true; });
  Result<Profile> dhcp = TakeSnapshot(Commands(), trip.ChannelA());
  ASSERT_TRUE(dhcp.ok());
  EXPECT_EQ(dhcp.value.groups[0].values.size(), 4u);
  trip.B().Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { s.ip = {10, 0, 0, 9}; });
  const Outcome applied = ApplyProfile(Commands(), trip.ChannelB(), dhcp.value, {});
  EXPECT_TRUE(applied.ok) << applied.message;
  EXPECT_EQ(trip.B().Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { return s.ip; }),
            (std::array<uint8_t, 4>{10, 0, 0, 9}));
}

INSTANTIATE_TEST_SUITE_P(Channels, WifiSimTest, ::testing::Values(false, true),
                         WifiSimTest::ChannelName);

}  // namespace
}  // namespace pages::wifi
