// Fast mode against the instrument simulator: a reply is taken the moment it is whole, on the
// serial channel (a pseudo-terminal) and over loopback TCP. Times are only ever checked against
// generous bounds: a whole reply must come well before a long delay, a broken one not before it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "link/exchange.h"
#include "link/tcp_exchange.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "sim/tcp_transport.h"

namespace devlink {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kVersionReplyLength = 15;
constexpr size_t kClockReplyLength = 13;
const Bytes kVersionRead = BuildSumFrame(1, 0x0C, 0xAA);
const Bytes kClockRead = BuildSumFrame(1, 0x08, 0xCC);

// A delay that a whole reply never needs, even on a loaded machine.
constexpr int32_t kLongDelayMs = 3000;

TEST(FrameLengthTest, WhatTheFirstBytesAnnounce) {
  struct Case {
    Bytes received;
    FrameFamily family;
    size_t length;
  };
  const Case cases[] = {
      {{0x3C, 0x01, 0x0C, 0x00}, FrameFamily::Sum, 0},          // length byte not yet there
      {{0x3C, 0x01, 0x0C, 0x00, 0x08}, FrameFamily::Sum, 15},
      {{0x01}, FrameFamily::Modbus, 0},
      {{0x01, 0x83}, FrameFamily::Modbus, 5},                   // exception
      {{0x01, 0x03}, FrameFamily::Modbus, 0},                   // byte count not yet there
      {{0x01, 0x03, 0x04}, FrameFamily::Modbus, 9},
      {{0x01, 0x06}, FrameFamily::Modbus, 8},
      {{0x01, 0x10}, FrameFamily::Modbus, 8},
      {{0x7B, 0x80, 0x01, 0x01}, FrameFamily::Xor, 0},
      {{0x7B, 0x80, 0x01, 0x01, 0x02}, FrameFamily::Xor, 264},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameLength(c.received, c.family), c.length) << c.received.size();
  }
  // The command's own length decides first; the frame's when the command has none.
  EXPECT_TRUE((ReplyCompletion{FrameFamily::Sum, 8}.IsComplete(Bytes(8, 0x00))));
  EXPECT_FALSE((ReplyCompletion{FrameFamily::Sum, 0}.IsComplete(Bytes{0x3C, 1, 2, 3, 4})));
  EXPECT_FALSE(ReplyCompletion{}.IsComplete({}));
  // A relay-shaped reply counts its bytes in byte 5: whole at byte 5 + 6, not at byte 4 + 7.
  ReplyCompletion relay{FrameFamily::Sum, 0, false, true};
  EXPECT_FALSE(relay.IsComplete(Bytes{0x3C, 0x30, 0x30, 0x00, 0x31}));
  EXPECT_FALSE(relay.IsComplete(Bytes{0x3C, 0x30, 0x30, 0x00, 0x31, 0x03, 0xAA, 0xBB}));
  EXPECT_TRUE(relay.IsComplete(Bytes{0x3C, 0x30, 0x30, 0x00, 0x31, 0x03, 0xAA, 0xBB, 0x66}));
  // A Modbus exception ends the read at 5 bytes, whatever length the command expected.
  const ReplyCompletion registers{FrameFamily::Modbus, 7};
  EXPECT_FALSE(registers.IsComplete(Bytes{0x01, 0x83, 0x02, 0xC0}));
  EXPECT_TRUE(registers.IsComplete(Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));
}

class FastSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    ASSERT_TRUE(link_.serial.OpenPort(server_.SlavePath(), &error)) << error;
    ASSERT_TRUE(link_.serial.ConfigurePort("115200", &error)) << error;
    link_.fast = true;
    link_.delayMs = kLongDelayMs;
  }
  void TearDown() override {
    link_.serial.ClosePort();
    server_.Stop();
  }
  // One exchange with the command's reply length; `elapsed` is how long it took.
  ExchangeResult Run(const Bytes& request, size_t length, milliseconds& elapsed,
                     FrameFamily family = FrameFamily::Sum) {
    const auto start = Clock::now();
    ExchangeResult result = SerialExchange(link_, request, length, {family, length});
    elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    return result;
  }

  sim::Simulator simulator_;
  sim::PtyServer server_{simulator_};
  DeviceLink link_;
};

TEST_F(FastSerialTest, ReplyInPiecesIsReadWholeLongBeforeTheDelay) {
  sim::Faults pieces;
  pieces.splitAt = 4;
  pieces.splitGapMs = 30;
  simulator_.SetFaults(pieces);
  simulator_.SetWireBaud(9600);  // the second piece comes byte by byte
  milliseconds elapsed{};
  const ExchangeResult result = Run(kVersionRead, kVersionReplyLength, elapsed);
  ASSERT_EQ(result.status, ExchangeStatus::Ok);
  EXPECT_EQ(CheckSumFrame(result.reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
  EXPECT_LT(elapsed.count(), kLongDelayMs);
}

TEST_F(FastSerialTest, ShortReplyWaitsOutTheDelayAndFailsItsLengthCheck) {
  link_.delayMs = 300;
  sim::Faults cut;
  cut.truncateTo = 10;
  simulator_.SetFaults(cut);
  milliseconds elapsed{};
  const ExchangeResult result = Run(kVersionRead, kVersionReplyLength, elapsed);
  EXPECT_EQ(result.reply.size(), 10u);
  EXPECT_EQ(CheckSumFrame(result.reply, 0x0C, kVersionReplyLength), FrameCheck::Length);
  EXPECT_GE(elapsed.count(), 300);
}

TEST_F(FastSerialTest, SilenceCostsTheDelay) {
  link_.delayMs = 200;
  sim::Faults silent;
  silent.silent = true;
  simulator_.SetFaults(silent);
  milliseconds elapsed{};
  EXPECT_TRUE(Run(kVersionRead, kVersionReplyLength, elapsed).reply.empty());
  EXPECT_GE(elapsed.count(), 200);
}

TEST_F(FastSerialTest, BytesAfterAWholeFrameDoNotReachTheNextExchange) {
  sim::Faults oversize;
  oversize.extraBytes = 40;
  oversize.onlyNext = 1;
  simulator_.SetFaults(oversize);
  milliseconds elapsed{};
  const ExchangeResult first = Run(kVersionRead, kVersionReplyLength, elapsed);
  EXPECT_EQ(CheckSumFrame(first.reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);
  const ExchangeResult second = Run(kClockRead, kClockReplyLength, elapsed);
  EXPECT_EQ(CheckSumFrame(second.reply, 0x08, kClockReplyLength), FrameCheck::Ok);
}

TEST_F(FastSerialTest, FrameLengthDecidesWhenTheCommandHasNoOneLength) {
  // No expected length: the SumFrame's own length byte ends the read.
  milliseconds elapsed{};
  const auto start = Clock::now();
  const ExchangeResult sum =
      SerialExchange(link_, kVersionRead, kSerialReadLimit, {FrameFamily::Sum, 0});
  elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  EXPECT_EQ(sum.reply.size(), kVersionReplyLength);
  EXPECT_LT(elapsed.count(), kLongDelayMs);
}

TEST(FastTcpTest, WholeReplyIsAcceptedBeforeTheDelayAndSilenceStillFails) {
  sim::Simulator simulator;
  sim::TcpServer server(simulator);
  std::string error;
  ASSERT_TRUE(server.Start(0, &error)) << error;
  TcpTarget target{"127.0.0.1", server.Port(), kLongDelayMs, true,
                   ReplyCompletion{FrameFamily::Sum, kVersionReplyLength}};
  Bytes reply(kVersionReplyLength);
  uint32_t count = kVersionReplyLength;
  const auto start = Clock::now();
  ASSERT_EQ(TcpExchange(target, kVersionRead.data(), static_cast<int32_t>(kVersionRead.size()),
                        reply.data(), count, true),
            1);
  EXPECT_LT(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count(), kLongDelayMs);
  EXPECT_EQ(count, kVersionReplyLength);
  EXPECT_EQ(CheckSumFrame(reply, 0x0C, kVersionReplyLength), FrameCheck::Ok);

  // Attempts unchanged: a silent module is asked three times, then the exchange fails.
  sim::Faults silent;
  silent.silent = true;
  simulator.SetFaults(silent);
  simulator.ClearLog();
  target.delayMs = 20;
  count = kVersionReplyLength;
  EXPECT_EQ(TcpExchange(target, kVersionRead.data(), static_cast<int32_t>(kVersionRead.size()),
                        reply.data(), count, true),
            0);
  EXPECT_EQ(simulator.RequestLog().size(), 3u);
  server.Stop();
}

}  // namespace
}  // namespace devlink
