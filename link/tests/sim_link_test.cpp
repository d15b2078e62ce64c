// The link against the instrument simulator: over a real pseudo-terminal and over loopback TCP.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "link/exchange.h"
#include "link/tcp_exchange.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "sim/tcp_transport.h"

namespace devlink {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kAddress = 1;
constexpr size_t kVersionReplyLength = 15;
constexpr size_t kClockReplyLength = 13;

Bytes VersionRead() { return BuildSumFrame(kAddress, 0x0C, 0xAA); }
Bytes ClockRead() { return BuildSumFrame(kAddress, 0x08, 0xCC); }
ReplySpec VersionSpec() {
  ReplySpec spec;
  spec.capacity = kVersionReplyLength;
  spec.completion.expectedLength = kVersionReplyLength;
  return spec;
}

size_t CountOf(const std::vector<sim::Bytes>& log, const Bytes& request) {
  return static_cast<size_t>(std::count(log.begin(), log.end(), request));
}

// ---- serial, over a pseudo-terminal ----

class SimPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    link_.portName = server_.SlavePath();
    // Far longer than the simulator needs to answer, even on a loaded machine.
    link_.delayMs = 250;
  }
  void TearDown() override {
    link_.serial.ClosePort();
    server_.Stop();
  }
  void Open() {
    std::string error;
    ASSERT_TRUE(link_.serial.OpenPort(server_.SlavePath(), &error)) << error;
    ASSERT_TRUE(link_.serial.ConfigurePort("9600", &error)) << error;
  }

  sim::Simulator simulator_;
  sim::PtyServer server_{simulator_};
  DeviceLink link_;
};

TEST_F(SimPtyTest, GoodReplyPassesItsChecks) {
  Open();
  const ExchangeResult result = Exchange(link_, VersionRead(), ReplySpec{});
  ASSERT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(CheckSumFrame(result.reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
  const ByteView payload = SumFramePayload(result.reply);
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "1.022.15");
  EXPECT_EQ(simulator_.RequestLog(), std::vector<sim::Bytes>{VersionRead()});
}

TEST_F(SimPtyTest, NoPortOpenSendsNothing) {
  const ExchangeResult result = Exchange(link_, VersionRead(), ReplySpec{});
  EXPECT_EQ(result.status, ExchangeStatus::PortNotOpen);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(simulator_.RequestLog().empty());
}

// A reply later than the delay is lost, and purged before the next command: that one gets only
// its own reply.
TEST_F(SimPtyTest, LateReplyIsLostAndPurged) {
  Open();
  // The reply comes well after the delay (however late the exchange wakes up) and well before
  // the next command (however late the simulator sends it).
  sim::Faults late;
  late.latencyMs = 1000;
  late.onlyNext = 1;
  simulator_.SetFaults(late);
  const ExchangeResult first = Exchange(link_, VersionRead(), ReplySpec{});
  EXPECT_EQ(first.status, ExchangeStatus::Ok);
  EXPECT_TRUE(first.reply.empty());
  EXPECT_EQ(CheckSumFrame(first.reply, 0x0C, kVersionReplyLength), FrameCheck::Length);

  std::this_thread::sleep_for(1400ms);  // the late reply has reached the port by now
  const ExchangeResult second = Exchange(link_, ClockRead(), ReplySpec{});
  ASSERT_EQ(second.status, ExchangeStatus::Ok);
  EXPECT_EQ(second.reply.size(), kClockReplyLength);
  EXPECT_EQ(CheckSumFrame(second.reply, 0x08, kClockReplyLength), FrameCheck::Ok);
}

// A reply of more than 392 bytes comes out of the port in parts; one exchange keeps the first
// 392 and purges the rest.
TEST_F(SimPtyTest, LongReplyArrivesInParts) {
  Open();
  sim::Faults oversize;
  oversize.extraBytes = 500;
  simulator_.SetFaults(oversize);
  const size_t total = kVersionReplyLength + 500;

  link_.serial.PurgePort();
  link_.serial.SerialWrite(VersionRead());
  std::this_thread::sleep_for(300ms);
  Bytes received(1024);
  const size_t firstPart = link_.serial.SerialRead(received.data(), received.size());
  EXPECT_EQ(firstPart, kSerialReadLimit);
  size_t got = firstPart;
  for (int i = 0; i < 20 && got < total; ++i) {
    got += link_.serial.SerialRead(received.data() + got, received.size() - got);
    if (got < total) std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(got, total);
  received.resize(got);
  EXPECT_EQ(CheckSumFrame(ByteView(received).first(kVersionReplyLength), 0x0C,
                          kVersionReplyLength),
            FrameCheck::Ok);

  link_.delayMs = 300;
  const ExchangeResult result = Exchange(link_, VersionRead(), ReplySpec{});
  EXPECT_EQ(result.reply.size(), kSerialReadLimit);
  uint8_t rest[16];
  EXPECT_EQ(link_.serial.SerialRead(rest, sizeof(rest)), 0u);
}

// A port that goes away while open (the far end of the pseudo-terminal closed, as a pulled-out
// adapter): the exchange that finds it says so once and the port closes; later exchanges find
// no port; opening it again once it is back works. In both read modes, with a long wait too.
TEST_F(SimPtyTest, VanishedPortIsNamedOnceAndOpensAgain) {
  struct Case {
    bool fast;
    bool duringRead;  // the line goes away while the exchange waits for a silent instrument
  };
  for (const Case c : {Case{false, false}, Case{true, false}, Case{true, true}}) {
    SCOPED_TRACE(std::to_string(c.fast) + std::to_string(c.duringRead));
    sim::Simulator simulator;
    sim::PtyServer server(simulator);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    const std::string path = server.SlavePath();
    ASSERT_TRUE(link_.serial.OpenPort(path, &error)) << error;
    ASSERT_TRUE(link_.serial.ConfigurePort("9600", &error)) << error;
    int told = 0;
    link_.serial.SetVanishedHandler([&](const std::string& gone) {
      EXPECT_EQ(gone, path);
      ++told;
    });
    link_.fast = c.fast;
    link_.delayMs = c.duringRead ? 5000 : 100;
    ASSERT_EQ(SerialExchange(link_, VersionRead(), kVersionReplyLength).reply.size(),
              kVersionReplyLength);

    std::thread pull;
    if (c.duringRead) {
      sim::Faults faults;
      faults.silent = true;
      simulator.SetFaults(faults);
      pull = std::thread([&] {
        std::this_thread::sleep_for(300ms);
        server.Stop();
      });
    } else {
      server.Stop();
    }
    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult gone = Exchange(link_, VersionRead(), VersionSpec());
    const auto took = std::chrono::steady_clock::now() - start;
    if (pull.joinable()) pull.join();
    EXPECT_EQ(gone.status, ExchangeStatus::PortVanished);
    EXPECT_EQ(gone.vanishedPort, path);
    EXPECT_FALSE(gone.detail.empty());
    EXPECT_EQ(PortVanishedText(gone.vanishedPort), "串口已断开：" + path);
    if (c.duringRead) {
      EXPECT_LT(took, 4500ms);  // not the whole wait
    }
    EXPECT_FALSE(link_.serial.IsOpen());
    EXPECT_TRUE(link_.serial.Vanished());
    EXPECT_EQ(Exchange(link_, VersionRead(), VersionSpec()).status,
              ExchangeStatus::PortNotOpen);
    EXPECT_EQ(told, 1);
    link_.serial.SetVanishedHandler({});
  }
  // Plugged in again: the same procedure opens it and it answers.
  Open();
  EXPECT_FALSE(link_.serial.Vanished());
  link_.fast = true;
  EXPECT_EQ(SerialExchange(link_, VersionRead(), kVersionReplyLength).reply.size(),
            kVersionReplyLength);
}

// ---- TCP, over loopback ----

class SimTcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(0, &error)) << error;
    target_ = {"127.0.0.1", server_.Port(), 20, false, {}};
  }
  void TearDown() override { server_.Stop(); }

  // One TcpExchange of `request` with a reply buffer of `capacity` bytes.
  int Run(const Bytes& request, size_t capacity, Bytes& reply, bool checkSum = true,
          std::optional<int32_t> minimum = std::nullopt, FrameFamily family = FrameFamily::Sum) {
    reply.assign(capacity, 0xEE);
    uint32_t count = static_cast<uint32_t>(capacity);
    const int ok = TcpExchange(target_, request.data(), static_cast<int32_t>(request.size()),
                               reply.data(), count, checkSum, minimum, family);
    if (ok) reply.resize(count);
    return ok;
  }

  sim::Simulator simulator_;
  sim::TcpServer server_{simulator_};
  TcpTarget target_;
};

// The two timing tests below allow for a machine so loaded that a thread oversleeps the
// 10 ms pause: each runs a few exchanges (a fresh connection each) and needs the expected
// outcome from one of them. An implementation with the wrong rule fails every run.
constexpr int kTimingRuns = 4;

TEST_F(SimTcpTest, ReplyInTwoPiecesFiveMsApartIsReadWhole) {
  sim::Faults split;
  split.latencyMs = 100;  // the first piece comes after the delay, so the pieces are read apart
  split.splitAt = 6;
  split.splitGapMs = 5;
  simulator_.SetFaults(split);
  Bytes reply;
  int ok = 0;
  for (int run = 0; run < kTimingRuns && !ok; ++run) {
    ok = Run(VersionRead(), kVersionReplyLength, reply);
  }
  ASSERT_EQ(ok, 1);
  // Every reply comes split, so a whole frame means the pieces were joined.
  EXPECT_EQ(CheckSumFrame(reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
}

TEST_F(SimTcpTest, FiftyMsGapFailsTheAttemptAndTheRequestIsSentAgain) {
  size_t sent = 0;
  for (int run = 0; run < kTimingRuns && sent < 2; ++run) {
    sim::Faults split;
    split.latencyMs = 100;
    split.splitAt = 6;
    split.splitGapMs = 50;
    split.onlyNext = 1;
    simulator_.SetFaults(split);
    simulator_.ClearLog();
    Bytes reply;
    const int ok = Run(VersionRead(), kVersionReplyLength, reply);
    sent = CountOf(simulator_.RequestLog(), VersionRead());
    // A later attempt may succeed once the device answers in one burst, but only with a whole
    // reply.
    if (ok) {
      EXPECT_EQ(CheckSumFrame(reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
    }
  }
  EXPECT_GE(sent, 2u);
  EXPECT_LE(sent, 3u);
}

TEST_F(SimTcpTest, ReplyLongerThanCapacityIsCutAndAcceptedWhenItsSumMatches) {
  sim::Faults oversize;
  oversize.extraBytes = 40;
  simulator_.SetFaults(oversize);
  Bytes reply;
  ASSERT_EQ(Run(VersionRead(), kVersionReplyLength, reply), 1);
  EXPECT_EQ(reply.size(), kVersionReplyLength);
  EXPECT_EQ(CheckSumFrame(reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
  // One byte more and the kept part ends in filler, which is not its sum.
  simulator_.ClearLog();
  EXPECT_EQ(Run(VersionRead(), kVersionReplyLength + 1, reply), 0);
  EXPECT_EQ(CountOf(simulator_.RequestLog(), VersionRead()), 3u);
}

TEST_F(SimTcpTest, WithoutTheSumFlagAnyStartByteReplyOfTheMinimumLengthPasses) {
  sim::Faults badSum;
  badSum.wrongSum = true;
  simulator_.SetFaults(badSum);
  Bytes reply;
  ASSERT_EQ(Run(VersionRead(), 64, reply, /*checkSum=*/false, kVersionReplyLength), 1);
  EXPECT_EQ(reply.size(), kVersionReplyLength);
  EXPECT_EQ(CheckSumFrame(reply, 0x0C, kVersionReplyLength), FrameCheck::Checksum);
  // The sum flag set: the same reply is refused on every attempt.
  EXPECT_EQ(Run(VersionRead(), 64, reply, /*checkSum=*/true, kVersionReplyLength), 0);
  // Shorter than the minimum: refused even without the sum flag.
  badSum.truncateTo = 10;
  simulator_.SetFaults(badSum);
  EXPECT_EQ(Run(VersionRead(), 64, reply, /*checkSum=*/false, kVersionReplyLength), 0);
}

TEST_F(SimTcpTest, RefusedConnectionFailsWithoutSending) {
  // A loopback port that nobody listens on: bind, note the port, close.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(probe, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  socklen_t length = sizeof(address);
  ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ::close(probe);

  const TcpTarget closed{"127.0.0.1", ntohs(address.sin_port), 20, false, {}};
  const Bytes request = VersionRead();
  uint8_t reply[32];
  uint32_t count = sizeof(reply);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(TcpExchange(closed, request.data(), static_cast<int32_t>(request.size()), reply, count,
                        true),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);  // refused, not timed out
  EXPECT_EQ(count, sizeof(reply));                          // left unchanged
  EXPECT_TRUE(simulator_.RequestLog().empty());
}

TEST_F(SimTcpTest, SendOnlyWithoutReplyBuffer) {
  const Bytes request = VersionRead();
  uint32_t count = 99;
  EXPECT_EQ(TcpExchange(target_, request.data(), static_cast<int32_t>(request.size()), nullptr,
                        count, true),
            1);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(CountOf(simulator_.RequestLog(), request), 1u);
}

// Through the link in TCP mode: every frame family is accepted by its own check.
TEST_F(SimTcpTest, ExchangeInTcpModeAcceptsEachFamily) {
  DeviceLink link;
  link.tcpMode = true;
  link.ip = "127.0.0.1";
  link.tcpPort = server_.Port();
  link.delayMs = 20;

  ReplySpec sum;
  sum.capacity = kVersionReplyLength;
  ExchangeResult result = Exchange(link, VersionRead(), sum);
  ASSERT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(CheckSumFrame(result.reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);

  ReplySpec modbus;
  modbus.family = FrameFamily::Modbus;
  modbus.capacity = 7;
  const Bytes baudRead = BuildModbusRead(kAddress, 0x0067, 1);
  result = Exchange(link, baudRead, modbus);
  ASSERT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(CheckModbusFrame(result.reply, kModbusRead, 7), FrameCheck::Ok);
  EXPECT_EQ(ModbusRegisters(result.reply), std::vector<uint16_t>{3});

  ReplySpec xorSpec;
  xorSpec.family = FrameFamily::Xor;
  xorSpec.capacity = 1024;
  xorSpec.minimum = kXorFrameOverhead;
  const Bytes chillerRead = BuildXorFrame(kXorRead, 0x01);
  result = Exchange(link, chillerRead, xorSpec);
  ASSERT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(CheckXorFrame(result.reply, chillerRead), FrameCheck::Ok);

  // A Modbus reply judged by the '<' rule would never pass.
  ReplySpec wrongRule = modbus;
  wrongRule.family = FrameFamily::Sum;
  EXPECT_EQ(Exchange(link, baudRead, wrongRule).status, ExchangeStatus::NoReply);
}

}  // namespace
}  // namespace devlink
