// Relay commands over the real serial and TCP channels against the simulated relay: what is
// written reads back and lands in the relay; serial-only commands leave a TCP link untouched.
#include <gtest/gtest.h>

#include "pages/relay/relay_commands.h"
#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/sim_link.h"
#include "pages/testing/results.h"
#include "sim/families/relay.h"

namespace pages::relay {
namespace {

using pages::testing::Into;

class RelaySimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TOOL_SKIP_WITHOUT_PTY();
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
  }
  template <class F>
  auto Relay(F&& f) {
    return sim_.Device<sim::RelayState>(std::forward<F>(f));
  }

  pages::testing::SimLink sim_;
  devlink::LinkChannel channel_{sim_.link};
};

TEST_F(RelaySimTest, EveryBlockIsWrittenAndReadBack) {
  GprsSettings settings;
  settings.interval = 30;
  settings.port = 5000;
  settings.ip = {127, 0, 0, 1};
  settings.sn = "0A1B00042";
  settings.domain = "relay.example.org";
  settings.domainMode = true;
  ASSERT_EQ(WriteGprs(channel_, settings).message, kGprsOk);
  GprsRecord record;
  ASSERT_EQ(Into(record, ReadGprs(channel_)).message, kReadConfigOk);
  EXPECT_EQ(record.interval, 30);
  EXPECT_EQ(record.port, 5000);
  EXPECT_EQ(record.ip, (std::array<uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_EQ(record.sn, "0a1b00042");
  EXPECT_EQ(record.domain, "relay.example.org");
  EXPECT_EQ(record.gprs, 1);
  EXPECT_EQ(record.addressMode, 1);

  InstrumentTable table;
  table[0] = {true, "95", "0A1B00042", "25.5", "-10.25"};
  table[2] = {true, "1234", "00FF00007", "80", "-40"};
  ASSERT_EQ(WriteInstruments(channel_, table).message, kInstrumentsOk);
  InstrumentTable read;
  ASSERT_EQ(Into(read, ReadInstruments(channel_)).message, kReadConfigOk);
  // Count 2: both instruments come back, row 2's in position 1 with its alarm.
  EXPECT_EQ(read[0], (InstrumentRow{true, "0095", "0A1B00042", "25.50", "-10.25"}));
  EXPECT_EQ(read[1], (InstrumentRow{true, "1234", "00FF00007", "80.00", "-40.00"}));
  EXPECT_EQ(read[2], InstrumentRow{});

  ASSERT_EQ(WritePhones(channel_, {{"", "13800138000", ""}}).message, kPhonesSetOk);
  PhoneNumbers phones;
  ASSERT_EQ(Into(phones, ReadPhones(channel_)).message, kPhonesReadOk);
  EXPECT_EQ(phones.numbers, (std::array<std::string, 3>{"", "13800138000", ""}));
  EXPECT_EQ(Relay([](sim::RelayState& s) { return s.phones.back(); }), 2);

  ASSERT_EQ(WritePrintSettings(channel_, "测试公司").message, kPrintSetOk);
  PrintSettings print;
  ASSERT_TRUE(Into(print, ReadPrintSettings(channel_)).ok);
  EXPECT_EQ(print.company, "测试公司");
}

TEST_F(RelaySimTest, ClockClearAndPowerReachTheRelay) {
  sim_.link.fast = true;  // the clock commands wait a fixed time otherwise
  ASSERT_EQ(SetTime(channel_, {2025, 12, 31, 23, 59, 58}).message, kTimeOk);
  ClockText clock;
  ASSERT_TRUE(Into(clock, ReadTime(channel_)).ok);
  EXPECT_EQ(clock.text, "2025-12-31 23:59:58");

  ASSERT_EQ(ClearData(channel_).message, kClearOk);
  EXPECT_EQ(Relay([](sim::RelayState& s) { return s.clears; }), 1);

  for (const char* baud : {"9600", "38400"}) {
    ASSERT_EQ(SwitchPower(channel_, Power::Off, baud).message, kPowerOffOk) << baud;
    EXPECT_FALSE(Relay([](sim::RelayState& s) { return s.instrumentsOn; })) << baud;
    ASSERT_EQ(SwitchPower(channel_, Power::On, baud).message, kPowerOnOk) << baud;
    EXPECT_TRUE(Relay([](sim::RelayState& s) { return s.instrumentsOn; })) << baud;
  }
  const size_t before = sim_.Requests();
  EXPECT_EQ(SwitchPower(channel_, Power::On, "115200").message, kPortOpenFailed);
  EXPECT_EQ(sim_.Requests(), before);
}

TEST_F(RelaySimTest, ASilentRelayGivesEachCommandItsFailureText) {
  sim_.simulator.SetFaults({.silent = true});
  EXPECT_EQ(ReadGprs(channel_).message(), kReadConfigFailed);
  EXPECT_EQ(WriteInstruments(channel_, {}).message, kInstrumentsFailed);
  EXPECT_EQ(ReadPrintSettings(channel_).message(), kPrintReadFailed);
  EXPECT_EQ(SwitchPower(channel_, Power::Off, "9600").message, kPowerOffFailed);
}

TEST(RelayTcpTest, OnlyThePrintSettingsTravelOverTcp) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartTcp(&error)) << error;
  devlink::LinkChannel channel(sim.link);
  ASSERT_EQ(WritePrintSettings(channel, "ACME Cold Chain").message, kPrintSetOk);
  PrintSettings print;
  ASSERT_TRUE(Into(print, ReadPrintSettings(channel)).ok);
  EXPECT_EQ(print.company, "ACME Cold Chain");
  const size_t before = sim.Requests();
  GprsSettings settings;
  settings.sn = "0A1B00042";
  for (const Outcome& outcome :
       {ToOutcome(ReadGprs(channel)), WriteGprs(channel, settings), ClearData(channel),
        ToOutcome(ReadInstruments(channel)), WritePhones(channel, {}),
        SwitchPower(channel, Power::On, "9600")}) {
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.message.empty()) << outcome.message;
  }
  EXPECT_EQ(sim.Requests(), before);
}

// GPRS settings, the instrument table, phones and print name carried to B, which keeps its own
// SN: the profile names A's SN under "instrument" only, and one that carries an SN is refused.
TEST(RelayProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  trip.A().link.fast = trip.B().link.fast = true;
  Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    GprsSettings settings;
    settings.interval = 120;
    settings.port = 7001;
    settings.sn = "2B3C00077";
    settings.domain = "relay.example.org";
    settings.domainMode = true;
    ASSERT_TRUE(WriteGprs(a, settings).ok);
    InstrumentTable table;
    table[0] = {false, "7", "0A1B00042", "-18.5", "-25"};
    table[4] = {true, "9999", "00FF65535", "8", "2"};
    ASSERT_TRUE(WriteInstruments(a, table).ok);
    ASSERT_TRUE(WritePhones(a, {{"13800138000", "", "13912345678"}}).ok);
    ASSERT_TRUE(WritePrintSettings(a, "华东冷链运输").ok);
  });
  ASSERT_EQ(profile.groups.size(), 4u);
  EXPECT_NE(std::find(profile.instrument.begin(), profile.instrument.end(),
                      std::pair<std::string, Value>{"sn", std::string("2b3c00077")}),
            profile.instrument.end());
  const Result<GprsRecord> b = ReadGprs(trip.ChannelB());
  ASSERT_TRUE(b.ok()) << b.message();
  EXPECT_EQ(b.value.sn, "0a1b00042");
  EXPECT_EQ(b.value.domain, "relay.example.org");

  profile.groups[0].values.emplace_back("sn", std::string("2b3c00077"));
  const size_t requests = trip.B().Requests();
  EXPECT_TRUE(ApplyProfile(Commands(), trip.ChannelB(), profile, {}).Refusal());
  EXPECT_EQ(trip.B().Requests(), requests);
}

}  // namespace
}  // namespace pages::relay
