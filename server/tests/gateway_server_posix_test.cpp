// The server core over real loopback sockets: gateways are plain blocking client sockets.
#include "server/gateway_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

namespace gateway {
namespace {

using namespace std::chrono_literals;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GatewayServer::Events events;
    events.accepted = [this](const GatewayInfo& info) { accepted.push_back(info); };
    events.closed = [this](GatewayKey key) { closed.push_back(key); };
    events.received = [this](GatewayKey key) { ++received[key]; };
    events.finished = [this](const CommandReply& reply) { finished.push_back(reply); };
    // Called while no descriptor is left: it touches only the counter (the sanitizers' type
    // checks on the fixture itself may need a descriptor).
    events.acceptPaused = [count = &acceptPauses](std::chrono::milliseconds) { ++*count; };
    server = std::make_unique<GatewayServer>(events);
    ASSERT_EQ(server->Listen(0, "127.0.0.1"), GatewayServer::ListenResult::Ok);
  }
  void TearDown() override {
    for (int fd : clients) close(fd);
  }

  // Connects a gateway and runs the server until it has accepted it.
  int Connect() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(server->Port());
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    clients.push_back(fd);
    const size_t before = accepted.size();
    RunUntil([&] { return accepted.size() > before; });
    return fd;
  }
  template <class Done>
  void RunUntil(Done done, std::chrono::milliseconds limit = 2000ms) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) server->PollOnce(20ms);
    ASSERT_TRUE(done());
  }
  Bytes ReadFrom(int fd, size_t count) {
    Bytes bytes(count);
    size_t got = 0;
    while (got < count) {
      const ssize_t n = recv(fd, bytes.data() + got, count - got, 0);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }
  void Write(int fd, const Bytes& bytes) {
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }

  std::unique_ptr<GatewayServer> server;
  std::vector<int> clients;
  std::vector<GatewayInfo> accepted;
  std::vector<GatewayKey> closed;
  std::map<GatewayKey, int> received;
  std::vector<CommandReply> finished;
  int acceptPauses = 0;
};

// Without descriptors the waiting connection keeps the listener readable: accepting rests
// instead of spinning, and the gateway is taken once descriptors are free again.
TEST_F(ServerTest, AcceptRestsWhileNoDescriptorIsLeft) {
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  clients.push_back(client);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(server->Port());
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int probe = dup(0);
  ASSERT_GE(probe, 0);
  close(probe);
  rlimit low = saved;
  low.rlim_cur = static_cast<rlim_t>(probe) + 4;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> filler;
  for (int fd; (fd = dup(0)) >= 0;) filler.push_back(fd);
  const auto now = Clock::now();
  server->OnListenerReadable(now);
  for (int fd : filler) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(accepted.empty());
  EXPECT_EQ(acceptPauses, 1);
  EXPECT_TRUE(server->AcceptPaused(now));
  EXPECT_FALSE(server->AcceptPaused(now + kAcceptPause));

  RunUntil([&] { return !accepted.empty(); });
  EXPECT_EQ(acceptPauses, 1);
}

TEST_F(ServerTest, ReplyComesOnlyFromThePendingGatewayAndOthersOnlyShowLife) {
  const int first = Connect();
  const int second = Connect();
  ASSERT_EQ(accepted.size(), 2u);
  EXPECT_EQ(accepted[0].address, "127.0.0.1");
  // The peer's port, as the client's socket has it, tells the two apart.
  sockaddr_in local{};
  socklen_t length = sizeof local;
  ASSERT_EQ(getsockname(first, reinterpret_cast<sockaddr*>(&local), &length), 0);
  EXPECT_EQ(accepted[0].Endpoint(), "127.0.0.1:" + std::to_string(ntohs(local.sin_port)));
  EXPECT_NE(accepted[0].port, accepted[1].port);
  const GatewayKey selected = accepted[0].key;
  const GatewayKey other = accepted[1].key;

  ASSERT_EQ(server->Send(selected, kReadLoggers, ReadCommand()), GatewayServer::SendResult::Sent);
  EXPECT_EQ(server->Send(other, kReadLoggers, ReadCommand()), GatewayServer::SendResult::Busy);
  EXPECT_EQ(ReadFrom(first, 2), ReadCommand());

  // The unselected gateway talks while the command waits: a sign of life, not the reply.
  Write(second, {0x12, 0xAB, 0x87, 0x07});
  RunUntil([&] { return received[other] == 1; });
  EXPECT_TRUE(finished.empty());
  EXPECT_TRUE(server->Busy());

  Write(first, {0x12, 0xAB, 0x87, 0x07, 0xFF, 0xFF, 0xFF, 0xFF});
  RunUntil([&] { return !finished.empty(); });
  EXPECT_TRUE(finished[0].answered);
  EXPECT_EQ(finished[0].command, kReadLoggers);
  EXPECT_EQ(finished[0].gateway, selected);
  EXPECT_EQ(finished[0].reply, (Bytes{0x12, 0xAB, 0x87, 0x07, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(server->Busy());
}

TEST_F(ServerTest, FirstPieceOfASplitReplyIsTheReply) {
  const int fd = Connect();
  const GatewayKey key = accepted[0].key;
  ASSERT_EQ(server->Send(key, kBindLogger, BindCommand({{1, 2, 3, 4}})), GatewayServer::SendResult::Sent);
  Write(fd, {0x01, 0x02});
  RunUntil([&] { return !finished.empty(); });
  Write(fd, {0x03, 0x04});
  RunUntil([&] { return received[key] == 2; });
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_EQ(finished[0].reply, (Bytes{0x01, 0x02}));
}

TEST_F(ServerTest, NoReplyEndsAtTheDeadlineWithoutBlocking) {
  Connect();
  const auto now = Clock::now();
  ASSERT_EQ(server->Send(accepted[0].key, kClearLoggers, ClearCommand(), now),
            GatewayServer::SendResult::Sent);
  EXPECT_EQ(server->Deadline(), now + kReplyTimeout);
  server->CheckDeadline(now + kReplyTimeout - 1ms);
  EXPECT_TRUE(finished.empty());
  server->CheckDeadline(now + kReplyTimeout);
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_FALSE(finished[0].answered);
  EXPECT_EQ(server->Send(123456, kReadLoggers, ReadCommand()), GatewayServer::SendResult::NoGateway);
}

TEST_F(ServerTest, PendingGatewayClosingEndsTheCommandAndRemovesIt) {
  const int fd = Connect();
  Connect();
  const GatewayKey key = accepted[0].key;
  ASSERT_EQ(server->Send(key, kReadLoggers, ReadCommand()), GatewayServer::SendResult::Sent);
  close(fd);
  clients.erase(clients.begin());
  RunUntil([&] { return !finished.empty(); });
  EXPECT_FALSE(finished[0].answered);
  EXPECT_EQ(closed, std::vector<GatewayKey>{key});
  EXPECT_EQ(server->Find(key), nullptr);
  EXPECT_EQ(server->Gateways().size(), 1u);
}

TEST_F(ServerTest, FloodingGatewayCostsNoMemoryAndKeepsOnlyAPieceAsReply) {
  const int fd = Connect();
  const GatewayKey key = accepted[0].key;
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    const Bytes chunk(64 * 1024, 0x5A);
    while (!stop) send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  });
  for (int i = 0; i < 50; ++i) server->PollOnce(10ms);
  ASSERT_EQ(server->Send(key, kReadLoggers, ReadCommand()), GatewayServer::SendResult::Sent);
  RunUntil([&] { return !finished.empty(); });
  stop = true;
  flood.join();
  EXPECT_TRUE(finished[0].answered);
  EXPECT_LE(finished[0].reply.size(), kMaxReply);
  EXPECT_GT(received[key], 1);
}

TEST_F(ServerTest, StopClosesEveryGatewayAndPortCanBeListenedAgain) {
  const int a = Connect();
  Connect();
  const uint16_t port = server->Port();
  server->Stop();
  EXPECT_EQ(closed.size(), 2u);
  EXPECT_TRUE(server->Gateways().empty());
  EXPECT_FALSE(server->Listening());
  // The gateway sees its connection end.
  char byte;
  EXPECT_LE(recv(a, &byte, 1, 0), 0);
  ASSERT_EQ(server->Listen(port, "127.0.0.1"), GatewayServer::ListenResult::Ok);

  // A second listener on the same port is refused.
  GatewayServer again({});
  EXPECT_EQ(again.Listen(port, "127.0.0.1"), GatewayServer::ListenResult::BindFailed);
}

}  // namespace
}  // namespace gateway
