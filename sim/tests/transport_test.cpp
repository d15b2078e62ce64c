// The simulator over a real pseudo-terminal and real loopback TCP, driven by plain POSIX client
// code. Timing is only checked from below (a late reply is never early); never for speed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "sim/pty_transport.h"
#include "sim/tcp_transport.h"
#include "sim/tests/wire.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::SumRequest;

const Bytes kVersion = SumRequest({0x00, 0x0C, 0xAA, 0x00});
const Bytes kVersionReply = {0x3C, 0x01, 0x0C, 0xAA, 0x08, '1', '.', '0', '2',
                             '2',  '.',  '1',  '5',  0x66, 0xE8};

// Reads until `count` bytes have come or `timeout` has passed.
Bytes ReadFor(int fd, size_t count, milliseconds timeout) {
  Bytes got;
  const auto deadline = Clock::now() + timeout;
  while (got.size() < count && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (::poll(&p, 1, static_cast<int>(left > 0 ? left : 0)) <= 0) continue;
    uint8_t buffer[512];
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

void WriteAll(int fd, const Bytes& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

int OpenPort(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    fd_ = OpenPort(server_.SlavePath());
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    server_.Stop();
  }
  // Sends the version read and returns the time until the whole reply had come.
  milliseconds TimedVersionExchange() {
    auto start = Clock::now();
    WriteAll(fd_, kVersion);
    EXPECT_EQ(ReadFor(fd_, kVersionReply.size(), milliseconds(5000)), kVersionReply);
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  }

  Simulator simulator_;
  PtyServer server_{simulator_};
  int fd_ = -1;
};

TEST_F(PtyTest, RequestIsAnsweredAndLogged) {
  TimedVersionExchange();
  EXPECT_EQ(simulator_.RequestLog(), std::vector<Bytes>{kVersion});
}

TEST_F(PtyTest, PortClosedAndOpenedAgainIsStillAnswered) {
  ::close(fd_);
  fd_ = -1;
  ::usleep(50'000);  // the server polls while no program has the port open
  fd_ = OpenPort(server_.SlavePath());
  ASSERT_GE(fd_, 0);
  TimedVersionExchange();
}

TEST_F(PtyTest, CutOffRequestIsDroppedAfterAnIdleGap) {
  WriteAll(fd_, Bytes(kVersion.begin(), kVersion.begin() + 3));
  ::usleep(300'000);
  TimedVersionExchange();
  std::vector<Bytes> log = simulator_.RequestLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], Bytes(kVersion.begin(), kVersion.begin() + 3));
}

TEST_F(PtyTest, LatencySplitAndWireTimeDelayTheReply) {
  simulator_.SetFaults({.latencyMs = 120, .onlyNext = 1});
  EXPECT_GE(TimedVersionExchange(), milliseconds(115));
  simulator_.SetFaults({.splitAt = 5, .splitGapMs = 150, .onlyNext = 1});
  EXPECT_GE(TimedVersionExchange(), milliseconds(145));
  simulator_.SetWireBaud(2400);  // 15 bytes of 10 bits: 62.5 ms
  EXPECT_GE(TimedVersionExchange(), milliseconds(60));
}

TEST_F(PtyTest, ReplyOfMoreThanAPipeBufferArrivesWhole) {
  simulator_.SetFaults({.extraBytes = 6000});
  WriteAll(fd_, kVersion);
  Bytes reply = ReadFor(fd_, kVersionReply.size() + 6000, milliseconds(5000));
  ASSERT_EQ(reply.size(), kVersionReply.size() + 6000);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 15), kVersionReply);
}

TEST_F(PtyTest, StopInterruptsAPendingLateReply) {
  simulator_.SetFaults({.latencyMs = 20'000});
  WriteAll(fd_, kVersion);
  ::usleep(50'000);
  auto start = Clock::now();
  server_.Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

TEST(PtyLinkTest, LinkPointsAtTheSlaveAndIsRemovedOnStop) {
  char dir[] = "/tmp/sim-link-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/ttySIM";
  {
    Simulator simulator;
    PtyServer server(simulator);
    std::string error;
    ASSERT_TRUE(server.Start(&error, link)) << error;
    int fd = OpenPort(link);
    ASSERT_GE(fd, 0);
    WriteAll(fd, kVersion);
    EXPECT_EQ(ReadFor(fd, kVersionReply.size(), milliseconds(5000)), kVersionReply);
    ::close(fd);
  }
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
  ::rmdir(dir);
}

TEST(PtyLinkTest, ExistingFileIsNotReplacedByTheLink) {
  char dir[] = "/tmp/sim-link-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/precious";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  Simulator simulator;
  PtyServer server(simulator);
  std::string error;
  EXPECT_FALSE(server.Start(&error, path));
  EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  ::unlink(path.c_str());
  ::rmdir(dir);
}

int Connect(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class TcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(0, &error)) << error;
    ASSERT_NE(server_.Port(), 0);
  }
  Simulator simulator_;
  TcpServer server_{simulator_};
};

TEST_F(TcpTest, EachConnectionIsAnsweredAndMayCarrySeveralRequests) {
  int fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  for (int attempt = 0; attempt < 2; ++attempt) {
    WriteAll(fd, kVersion);
    EXPECT_EQ(ReadFor(fd, kVersionReply.size(), milliseconds(5000)), kVersionReply);
  }
  ::close(fd);
  fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  WriteAll(fd, kVersion);
  EXPECT_EQ(ReadFor(fd, kVersionReply.size(), milliseconds(5000)), kVersionReply);
  ::close(fd);
  EXPECT_EQ(server_.Accepted(), 2);
  EXPECT_EQ(simulator_.RequestLog().size(), 3u);
}

TEST_F(TcpTest, SplitReplyComesInTwoPiecesWithTheGapBetween) {
  simulator_.SetFaults({.splitAt = 5, .splitGapMs = 150});
  int fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  auto start = Clock::now();
  WriteAll(fd, kVersion);
  Bytes first = ReadFor(fd, 5, milliseconds(5000));
  EXPECT_EQ(first, Bytes(kVersionReply.begin(), kVersionReply.begin() + 5));
  Bytes rest = ReadFor(fd, kVersionReply.size() - 5, milliseconds(5000));
  EXPECT_EQ(rest, Bytes(kVersionReply.begin() + 5, kVersionReply.end()));
  EXPECT_GE(Clock::now() - start, milliseconds(145));
  ::close(fd);
}

TEST_F(TcpTest, PeerClosingDuringAReplyDoesNotStopTheServer) {
  simulator_.SetFaults({.latencyMs = 50, .extraBytes = 200'000, .onlyNext = 1});
  int fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  WriteAll(fd, kVersion);
  ::close(fd);
  ::usleep(200'000);
  fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  WriteAll(fd, kVersion);
  EXPECT_EQ(ReadFor(fd, kVersionReply.size(), milliseconds(5000)), kVersionReply);
  ::close(fd);
}

TEST_F(TcpTest, StopEndsOpenConnections) {
  int fd = Connect(server_.Port());
  ASSERT_GE(fd, 0);
  ::usleep(50'000);
  server_.Stop();
  EXPECT_TRUE(ReadFor(fd, 1, milliseconds(2000)).empty());  // end of stream, no bytes
  ::close(fd);
  EXPECT_LT(Connect(server_.Port()), 0);
}

}  // namespace
}  // namespace sim
