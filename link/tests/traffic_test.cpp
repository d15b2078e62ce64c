// The traffic observer: one entry per exchange with the exact bytes and the words of the failed
// check, over a pseudo-terminal and loopback TCP; the bounded log that keeps entries only while
// recording and takes them whole from several threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "link/exchange.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "sim/tcp_transport.h"

namespace devlink {
namespace {

constexpr size_t kVersionReplyLength = 15;
const Bytes kVersionRead = BuildSumFrame(1, 0x0C, 0xAA);

// Keeps every entry, as the traffic window's log does while it is open.
struct Recorder : TrafficObserver {
  std::vector<TrafficEntry> entries;
  void OnExchange(const TrafficEntry& entry) override { entries.push_back(entry); }
};

ReplySpec VersionSpec() {
  ReplySpec spec;
  spec.capacity = kVersionReplyLength;
  spec.completion = {FrameFamily::Sum, kVersionReplyLength};
  spec.verdict = [](ByteView reply, bool) {
    return CheckDetail(reply.size(), CheckSumFrame(reply, 0x0C, kVersionReplyLength),
                       FrameFamily::Sum, std::to_string(kVersionReplyLength));
  };
  return spec;
}

TEST(TrafficTest, SerialExchangesAreReportedWithTheirBytesAndTheFailedCheck) {
  sim::Simulator simulator;
  sim::PtyServer server(simulator);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  DeviceLink link;
  ASSERT_TRUE(link.serial.OpenPort(server.SlavePath(), &error)) << error;
  ASSERT_TRUE(link.serial.ConfigurePort("115200", &error)) << error;
  link.fast = true;
  link.delayMs = 400;
  Recorder recorder;
  link.traffic = &recorder;

  const ExchangeResult good = Exchange(link, kVersionRead, VersionSpec());
  ASSERT_EQ(good.reply.size(), kVersionReplyLength);
  EXPECT_TRUE(good.detail.empty()) << good.detail;

  struct Case {
    sim::Faults faults;
    std::string detail;
  };
  sim::Faults wrongSum, truncated, silent;
  wrongSum.wrongSum = true;
  truncated.truncateTo = 11;
  silent.silent = true;
  const Case cases[] = {{wrongSum, "reply 15 bytes, Sum8 mismatch"},
                        {truncated, "reply 11 bytes, expected 15"},
                        {silent, "no reply within 400 ms"}};
  for (const Case& c : cases) {
    simulator.SetFaults(c.faults);
    EXPECT_EQ(Exchange(link, kVersionRead, VersionSpec()).detail, c.detail);
  }

  ASSERT_EQ(recorder.entries.size(), 4u);
  const TrafficEntry& first = recorder.entries[0];
  EXPECT_EQ(first.channel, server.SlavePath());
  EXPECT_EQ(first.request, kVersionRead);
  EXPECT_EQ(first.reply, good.reply);
  EXPECT_TRUE(first.lastByte.has_value());
  EXPECT_TRUE(first.failure.empty());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(recorder.entries[i + 1].failure, cases[i].detail);
  EXPECT_EQ(recorder.entries[2].reply.size(), 11u);
  EXPECT_FALSE(recorder.entries[3].lastByte.has_value());
  const std::string line = FormatTrafficLine(recorder.entries[1]);
  EXPECT_NE(line.find(" > 25 01 0C AA 00 66 "), std::string::npos) << line;
  EXPECT_NE(line.find("Sum8 mismatch"), std::string::npos) << line;

  // A closed port sends nothing, so nothing is reported.
  link.serial.ClosePort();
  EXPECT_EQ(Exchange(link, kVersionRead, VersionSpec()).status, ExchangeStatus::PortNotOpen);
  EXPECT_EQ(recorder.entries.size(), 4u);
  server.Stop();
}

TEST(TrafficTest, TcpFailuresSayWhy) {
  sim::Simulator simulator;
  sim::TcpServer server(simulator);
  std::string error;
  ASSERT_TRUE(server.Start(0, &error)) << error;
  DeviceLink link;
  link.tcpMode = true;
  link.ip = "127.0.0.1";
  link.tcpPort = server.Port();
  link.delayMs = 30;
  Recorder recorder;
  link.traffic = &recorder;

  ReplySpec spec = VersionSpec();
  spec.minimum = kVersionReplyLength;
  const ExchangeResult good = Exchange(link, kVersionRead, spec);
  EXPECT_EQ(good.status, ExchangeStatus::Ok);
  EXPECT_TRUE(good.detail.empty()) << good.detail;

  sim::Faults wrongSum;
  wrongSum.wrongSum = true;
  simulator.SetFaults(wrongSum);
  const ExchangeResult bad = Exchange(link, kVersionRead, spec);
  EXPECT_EQ(bad.status, ExchangeStatus::NoReply);
  EXPECT_TRUE(bad.reply.empty());  // a refused reply never reaches the caller
  EXPECT_EQ(bad.detail, "reply 15 bytes, Sum8 mismatch (3 attempts)");
  server.Stop();

  // Nothing listens there any more.
  const ExchangeResult refused = Exchange(link, kVersionRead, spec);
  EXPECT_EQ(refused.detail, "connection refused");

  ASSERT_EQ(recorder.entries.size(), 3u);
  EXPECT_EQ(recorder.entries[0].channel, "127.0.0.1:" + std::to_string(link.tcpPort));
  EXPECT_EQ(recorder.entries[1].reply.size(), kVersionReplyLength);  // shown, though refused
  EXPECT_EQ(recorder.entries[2].failure, "connection refused");
  EXPECT_TRUE(recorder.entries[2].reply.empty());
}

TrafficEntry Entry(uint8_t tag, size_t length) {
  TrafficEntry entry;
  entry.channel = "t" + std::to_string(tag);
  entry.request.assign(length, tag);
  entry.reply.assign(length, static_cast<uint8_t>(tag + 1));
  return entry;
}

TEST(TrafficLogTest, KeepsTheLastEntriesOnlyWhileRecording) {
  TrafficLog log(3);
  uint64_t next = 0;
  log.OnExchange(Entry(1, 1));
  EXPECT_TRUE(log.TakeSince(next).empty());  // not recording: nothing kept

  log.SetRecording(true);
  for (uint8_t tag = 1; tag <= 5; ++tag) log.OnExchange(Entry(tag, 1));
  std::vector<TrafficEntry> taken = log.TakeSince(next);
  ASSERT_EQ(taken.size(), 3u);  // the two oldest fell out
  EXPECT_EQ(taken.front().channel, "t3");
  EXPECT_TRUE(log.TakeSince(next).empty());
  log.OnExchange(Entry(6, 1));
  taken = log.TakeSince(next);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken.front().channel, "t6");
  log.Clear();
  EXPECT_EQ(log.Size(), 0u);
  log.SetRecording(false);
  log.OnExchange(Entry(7, 1));
  EXPECT_TRUE(log.TakeSince(next).empty());
}

TEST(TrafficLogTest, EntriesFromSeveralThreadsArriveWhole) {
  TrafficLog log(100000);
  log.SetRecording(true);
  constexpr int kPerThread = 2000;
  std::vector<std::thread> threads;
  for (uint8_t tag = 0; tag < 4; ++tag) {
    threads.emplace_back([&log, tag] {
      for (int i = 0; i < kPerThread; ++i) log.OnExchange(Entry(tag * 2, 64 + i % 64));
    });
  }
  uint64_t next = 0;
  size_t seen = 0;
  auto check = [&](const std::vector<TrafficEntry>& taken) {
    for (const TrafficEntry& entry : taken) {
      ASSERT_EQ(entry.request.size(), entry.reply.size());
      for (uint8_t b : entry.request) ASSERT_EQ(b, entry.request[0]);
      for (uint8_t b : entry.reply) ASSERT_EQ(b, entry.request[0] + 1);
    }
    seen += taken.size();
  };
  while (seen < 4 * kPerThread / 2) check(log.TakeSince(next));  // read while they write
  for (std::thread& t : threads) t.join();
  check(log.TakeSince(next));
  EXPECT_EQ(seen, size_t{4} * kPerThread);
}

}  // namespace
}  // namespace devlink
