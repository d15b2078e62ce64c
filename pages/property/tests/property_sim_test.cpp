// The property commands against the instrument simulator (in process): what is written is read
// back, the simulator's own view of the bytes agrees with the typed values, and damaged replies
// are refused.
#include <gtest/gtest.h>

#include "pages/property/property_commands.h"

#include "pages/testing/profile_roundtrip.h"
#include "pages/testing/results.h"
#include "sim/families/property.h"
#include "sim/simulator.h"

namespace pages::property {
namespace {

using pages::testing::Into;

// Hands each request straight to the simulator, as a serial read would take the reply.
class SimChannel : public devlink::Channel {
 public:
  explicit SimChannel(sim::Simulator& simulator) : simulator_(simulator) {}
  devlink::ExchangeResult Exchange(devlink::ByteView request,
                                   const devlink::ReplySpec& spec) override {
    devlink::Bytes reply = simulator_.Answer(devlink::Bytes(request.begin(), request.end()));
    if (reply.size() > spec.capacity) reply.resize(spec.capacity);
    return {devlink::ExchangeStatus::Ok, std::move(reply)};
  }
  uint8_t DeviceAddress() const override { return 1; }

 private:
  sim::Simulator& simulator_;
};

class PropertySim : public ::testing::Test {
 protected:
  sim::PropertyState& State() { return simulator_.Device().State<sim::PropertyState>(); }
  sim::Simulator simulator_;
  SimChannel channel_{simulator_};
};

TEST_F(PropertySim, ChannelWriteIsStoredAndReadBack) {
  ChannelWrite w;
  w.channel = 5;
  w.typeCode = 49;  // "LORA-单温度"
  w.sms = true;
  w.cardId = "0A0B0C0D";
  w.sn = "1A2B00042";
  w.upper = 25.5;
  w.lower = -18.2;
  Outcome outcome = WriteChannel(channel_, w);
  ASSERT_TRUE(outcome.ok) << outcome.message;

  const sim::PropertyChannel& stored = State().channels[4];
  EXPECT_EQ(stored.type, 49);
  EXPECT_FALSE(stored.soundLight);
  EXPECT_TRUE(stored.sms);
  EXPECT_EQ(stored.cardId, 0x0A0B0C0Du);
  EXPECT_EQ(stored.snPrefix, 0x1A2B);
  EXPECT_EQ(stored.snSerial, 42);
  EXPECT_FLOAT_EQ(stored.upper, 25.5f);
  EXPECT_FLOAT_EQ(stored.lower, -18.2f);

  ChannelConfig config;
  ASSERT_TRUE(Into(config, ReadChannel(channel_, 5)).ok);
  EXPECT_EQ(config.typeCode, 49);
  EXPECT_FALSE(config.soundLight);
  EXPECT_TRUE(config.sms);
  EXPECT_EQ(config.cardId, "0a0b0c0d");
  EXPECT_EQ(config.sn, "1a2b00042");
  EXPECT_EQ(FormatLimit(config.upper), "25.5");
  EXPECT_EQ(FormatLimit(config.lower), "-18.2");
  // Other channels are untouched.
  EXPECT_EQ(State().channels[3].type, 0);
}

TEST_F(PropertySim, ProtectionValuesPerChannel) {
  ASSERT_TRUE(WriteProtection(channel_, 32, {999.5, -999.5}).ok);
  Protection values;
  ASSERT_TRUE(Into(values, ReadProtection(channel_, 32)).ok);
  EXPECT_DOUBLE_EQ(values.upper, 999.5);
  EXPECT_DOUBLE_EQ(values.lower, -999.5);
  ASSERT_TRUE(Into(values, ReadProtection(channel_, 31)).ok);
  EXPECT_DOUBLE_EQ(values.upper, State().channels[30].protectionUpper);
}

TEST_F(PropertySim, TextsAreStoredInTheInstrumentsCodePage) {
  ASSERT_TRUE(WriteCompany(channel_, "冷链运输有限公司").ok);
  ASSERT_TRUE(WritePlate(channel_, "沪B7788").ok);
  EXPECT_EQ(State().plate, (sim::Bytes{0xBB, 0xA6, 'B', '7', '7', '8', '8'}));
  std::string company;
  std::string plate;
  ASSERT_TRUE(Into(company, ReadCompany(channel_), &PrintText::text).ok);
  ASSERT_TRUE(Into(plate, ReadPlate(channel_), &PrintText::text).ok);
  EXPECT_EQ(company, "冷链运输有限公司");
  EXPECT_EQ(plate, "沪B7788");
  // An empty name is a valid setting: it clears the printout line.
  ASSERT_TRUE(WriteCompany(channel_, "").ok);
  EXPECT_EQ(ReadCompany(channel_).message(), "公司名称读取失败");
}

TEST_F(PropertySim, ServersInBothModes) {
  ServerWrite ip;
  ip.server = Server::Data;
  ip.ip = {127, 0, 0, 1};
  ip.portText = "11111";
  ASSERT_TRUE(WriteServer(channel_, ip).ok);
  ServerWrite domain;
  domain.server = Server::Config;
  domain.domainMode = true;
  domain.domain = " cfg.example.net ";
  domain.portText = "8080";
  ASSERT_TRUE(WriteServer(channel_, domain).ok);

  EXPECT_EQ(State().dataServer.port, 11111);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(State().dataServer.domain.data())),
            "0.0.0.0");

  ServerConfig data;
  ServerConfig config;
  ASSERT_TRUE(Into(data, ReadServer(channel_, Server::Data)).ok);
  ASSERT_TRUE(Into(config, ReadServer(channel_, Server::Config)).ok);
  EXPECT_FALSE(data.domainMode);
  EXPECT_EQ(FormatIpv4(data.ip), "127.0.0.1");
  EXPECT_EQ(data.port, 11111);
  EXPECT_TRUE(config.domainMode);
  EXPECT_EQ(config.domain, "cfg.example.net");
  EXPECT_EQ(config.port, 8080);
}

struct FaultCase {
  const char* name;
  sim::Faults faults;
};
class PropertySimFaults : public PropertySim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(PropertySimFaults, DamagedRepliesAreRefusedAndNothingIsTaken) {
  simulator_.SetFaults(GetParam().faults);
  ChannelConfig config;
  config.cardId = "kept";
  const Outcome channelRead = Into(config, ReadChannel(channel_, 1));
  if (GetParam().faults.wrongEcho) {
    EXPECT_TRUE(channelRead.ok);  // the channel read does not look at the echoed command
  } else {
    EXPECT_EQ(channelRead.message, "通道信息读取失败");
    EXPECT_EQ(config.cardId, "kept");
  }
  EXPECT_EQ(ReadProtection(channel_, 1).message(), "保护值读取失败");
  EXPECT_EQ(ReadCompany(channel_).message(), "公司名称读取失败");
  EXPECT_EQ(ReadServer(channel_, Server::Config).message(), "读取失败");
  EXPECT_EQ(WriteProtection(channel_, 1, {1, 0}).message, "保护值设置失败");
  EXPECT_EQ(WritePlate(channel_, "A1").message, "车牌号设置失败");
  EXPECT_EQ(WriteServer(channel_, ServerWrite{}).message, "设置失败");
}

sim::Faults Fault(void (*set)(sim::Faults&)) {
  sim::Faults f;
  set(f);
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PropertySimFaults,
    ::testing::Values(FaultCase{"Silent", Fault([](sim::Faults& f) { f.silent = true; })},
                      FaultCase{"WrongSum", Fault([](sim::Faults& f) { f.wrongSum = true; })},
                      FaultCase{"WrongEcho", Fault([](sim::Faults& f) { f.wrongEcho = true; })},
                      FaultCase{"WrongEnd", Fault([](sim::Faults& f) { f.wrongEnd = true; })},
                      FaultCase{"Truncated", Fault([](sim::Faults& f) { f.truncateTo = 7; })}),
    [](const auto& info) { return info.param.name; });

// Every channel A reports, its protection values, the texts and both servers carried to B; a
// channel A leaves unconfigured is not part of the profile.
TEST(PropertyProfileTest, SnapshotOfOneInstrumentAppliedToAnotherReadsBackEqual) {
  TOOL_SKIP_WITHOUT_PTY();
  pages::testing::ProfileRoundTrip trip;
  // Replies taken when whole: the channel list alone is 32 reads a snapshot.
  trip.A().link.fast = trip.B().link.fast = true;
  const Profile profile = trip.Run(Commands(), [](pages::testing::SimLink&, devlink::Channel& a) {
    ChannelWrite first{1, 4, false, true, "0000BEEF", "2C3D00007", 30.5, -5};
    ChannelWrite added{7, 49, true, true, "12345678", "0A0B65535", 12, -18.5};
    ASSERT_TRUE(WriteChannel(a, first).ok);
    ASSERT_TRUE(WriteChannel(a, added).ok);
    ASSERT_TRUE(WriteProtection(a, 2, {60.5, -30}).ok);
    ASSERT_TRUE(WriteProtection(a, 7, {20, -25.5}).ok);
    ASSERT_TRUE(WriteCompany(a, "华北冷链").ok);
    ASSERT_TRUE(WritePlate(a, "京C54321").ok);
    ServerWrite data{Server::Data, false, {127, 0, 0, 9}, "", "7001"};
    ServerWrite config{Server::Config, true, {}, "cfg.example.org", "7002"};
    ASSERT_TRUE(WriteServer(a, data).ok);
    ASSERT_TRUE(WriteServer(a, config).ok);
  });
  std::vector<std::string> names;
  for (const ProfileGroup& group : profile.groups) names.push_back(group.name);
  EXPECT_EQ(names, (std::vector<std::string>{"channel:1", "channel:2", "channel:7", "protection:1",
                                             "protection:2", "protection:7", "company", "plate",
                                             "server:data", "server:config"}));
  // A snapshot reads the SN, the channel list once for both per-channel pairs, then each group.
  const size_t requests = trip.B().Requests();
  ASSERT_TRUE(TakeSnapshot(Commands(), trip.ChannelB()).ok());
  EXPECT_EQ(trip.B().Requests() - requests, 1 + kChannelCount + profile.groups.size());
  const sim::PropertyChannel b7 =
      trip.B().Device<sim::PropertyState>([](sim::PropertyState& s) { return s.channels[6]; });
  EXPECT_EQ(b7.type, 49);
  EXPECT_EQ(b7.snSerial, 65535);
  EXPECT_FLOAT_EQ(b7.protectionLower, -25.5f);
}

}  // namespace
}  // namespace pages::property
