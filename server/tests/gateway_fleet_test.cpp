// The server core against the simulator's gateways in process, over loopback sockets (BSD
// sockets or Winsock on both sides).
#include <gtest/gtest.h>

#include <string>

#include "server/gateway_commands.h"
#include "server/gateway_server.h"
#include "sim/gateway_fleet.h"

namespace gateway {
namespace {

using namespace std::chrono_literals;

TEST(GatewayFleetTest, FullGatewayListsSixtyAndABindIsRefusedWithoutSending) {
  CommandReply last;
  GatewayServer server({{}, {}, {}, [&](const CommandReply& reply) { last = reply; }, {}});
  ASSERT_EQ(server.Listen(0, "127.0.0.1"), GatewayServer::ListenResult::Ok);
  sim::GatewayFleet fleet;
  std::string error;
  ASSERT_TRUE(fleet.Start({"127.0.0.1", server.Port(), 1, sim::GatewayMode::Normal, 60, 2000ms}, &error))
      << error;
  const auto end = Clock::now() + 2s;
  while (server.Gateways().empty() && Clock::now() < end) server.PollOnce(20ms);
  ASSERT_EQ(server.Gateways().size(), 1u);
  const GatewayKey key = server.Gateways()[0].key;

  const GatewayRequest read = ReadRequest();
  ASSERT_EQ(server.Send(key, read.command, read.bytes), GatewayServer::SendResult::Sent);
  while (server.Busy()) server.PollOnce(20ms);
  const CommandResult result = Evaluate(read, last);
  EXPECT_TRUE(result.outcome.ok);
  ASSERT_TRUE(result.loggers.has_value());
  EXPECT_EQ(last.reply.size(), 240u);
  ASSERT_EQ(result.loggers->size(), 60u);
  EXPECT_EQ(result.loggers->front(), "102000001");

  const auto bind = BindRequest("12AB34567", result.loggers->size());
  EXPECT_EQ(bind.message(), kCannotBindMore);
  EXPECT_TRUE(bind.outcome.field.empty());
  EXPECT_EQ(fleet.Requests(0).size(), 1u);  // the read only
}

// Three gateways come in with their peer ports; the one asked answers, and when the fleet goes
// away every connection is seen closed and leaves the list.
TEST(GatewayFleetTest, GatewaysAreAcceptedAnsweredAndRemovedWhenTheyClose) {
  CommandReply last;
  std::vector<GatewayKey> closed;
  GatewayServer server({{},
                        [&](GatewayKey key) { closed.push_back(key); },
                        {},
                        [&](const CommandReply& reply) { last = reply; },
                        {}});
  ASSERT_EQ(server.Listen(0, "127.0.0.1"), GatewayServer::ListenResult::Ok);
  sim::GatewayFleet fleet;
  std::string error;
  ASSERT_TRUE(fleet.Start({"127.0.0.1", server.Port(), 3, sim::GatewayMode::Normal, 2, 2000ms}, &error))
      << error;
  auto end = Clock::now() + 5s;
  while (server.Gateways().size() < 3 && Clock::now() < end) server.PollOnce(20ms);
  const std::vector<GatewayInfo> gateways = server.Gateways();
  ASSERT_EQ(gateways.size(), 3u);
  for (const GatewayInfo& info : gateways) {
    EXPECT_EQ(info.address, "127.0.0.1");
    EXPECT_NE(info.port, 0);
  }
  EXPECT_NE(gateways[0].port, gateways[1].port);

  const GatewayRequest read = ReadRequest();
  ASSERT_EQ(server.Send(gateways[2].key, read.command, read.bytes), GatewayServer::SendResult::Sent);
  EXPECT_EQ(server.Send(gateways[1].key, read.command, read.bytes), GatewayServer::SendResult::Busy);
  while (server.Busy()) server.PollOnce(20ms);
  EXPECT_TRUE(last.answered);
  EXPECT_EQ(last.gateway, gateways[2].key);
  const CommandResult result = Evaluate(read, last);
  ASSERT_TRUE(result.loggers.has_value());
  EXPECT_EQ(*result.loggers, (std::vector<std::string>{"102000001", "102000002"}));

  fleet.Stop();
  end = Clock::now() + 5s;
  while (!server.Gateways().empty() && Clock::now() < end) server.PollOnce(20ms);
  EXPECT_TRUE(server.Gateways().empty());
  EXPECT_EQ(closed.size(), 3u);
}

}  // namespace
}  // namespace gateway
