#include "link/bluetooth.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace devlink {
namespace {

// Vectors below were computed independently (CRC-16/MODBUS, init FFFF, poly A001).
const MacBytes kMac = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
const MacBytes kOtherMac = {0xA4, 0xC1, 0x38, 0x00, 0x00, 0x01};
const Bytes kConnectRequest = {0x01, 0x18, 0x00, 0x00, 0x00, 0x03, 0x06, 0x13,
                               0x71, 0xDA, 0x7D, 0x1A, 0x00, 0xD9, 0x97};
const Bytes kDisconnectRequest = {0x01, 0x18, 0x00, 0x01, 0x00, 0x03, 0x06, 0x13,
                                  0x71, 0xDA, 0x7D, 0x1A, 0x00, 0x88, 0x52};
const Bytes kQueryRequest = {0x01, 0x19, 0x00, 0x00, 0x00, 0x03, 0x5C, 0x09};
const Bytes kReadMacRequest = {0x01, 0x22, 0x00, 0x00, 0x00, 0x03, 0xB9, 0xCC};
const Bytes kConnectReply = {0x01, 0x18, 0x00, 0x00, 0x00, 0x03, 0x61, 0xC9};
const Bytes kHeldReply = {0x01, 0x19, 0x06, 0x13, 0x71, 0xDA, 0x7D, 0x1A, 0x00, 0x7E, 0xCE};
const Bytes kReadMacReply = {0x01, 0x22, 0x06, 0x13, 0x71, 0xDA, 0x7D, 0x1A, 0x00, 0x3C, 0x69};

// Builds replies the way an adapter would (not with the code under test).
uint16_t Crc(const Bytes& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}
Bytes WithCrc(Bytes bytes) {
  const uint16_t crc = Crc(bytes);
  bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
  bytes.push_back(static_cast<uint8_t>(crc >> 8));
  return bytes;
}
Bytes MacReply(uint8_t function, const MacBytes& mac) {
  return WithCrc({0x01, function, 0x06, mac[5], mac[4], mac[3], mac[2], mac[1], mac[0]});
}

// An adapter on a port: each write queues the next scripted reply, which arrives after
// `readsBeforeReply` empty reads. Sleeps are recorded, not slept.
class FakeAdapter : public AdapterPort {
 public:
  bool open = true;
  std::deque<Bytes> replies;  // one per write; an empty one is silence
  int readsBeforeReply = 0;
  std::vector<Bytes> written;
  std::vector<int32_t> sleeps;
  int reads = 0;
  std::vector<std::string> events;

  bool IsOpen() override { return open; }
  void Purge() override {
    events.push_back("purge");
    arrived_.clear();
  }
  void Write(ByteView bytes) override {
    events.push_back("write");
    written.emplace_back(bytes.begin(), bytes.end());
    pending_.clear();
    if (!replies.empty()) {
      pending_ = replies.front();
      replies.pop_front();
    }
    emptyReads_ = 0;
  }
  size_t Read(uint8_t* buffer, size_t capacity) override {
    events.push_back("read");
    ++reads;
    if (!pending_.empty() && emptyReads_ >= readsBeforeReply) {
      arrived_ = std::move(pending_);
      pending_.clear();
    } else {
      ++emptyReads_;
    }
    const size_t n = std::min(capacity, arrived_.size());
    std::copy_n(arrived_.begin(), n, buffer);
    arrived_.clear();
    return n;
  }
  void Sleep(int32_t ms) override {
    events.push_back("sleep " + std::to_string(ms));
    sleeps.push_back(ms);
  }

 private:
  Bytes pending_;
  Bytes arrived_;
  int emptyReads_ = 0;
};

TEST(ParseMac, SeparatorsAndCaseDoNotMatter) {
  for (const char* text : {"00:1A:7D:DA:71:13", "00-1a-7d-da-71-13", "00 1A 7D DA 71 13",
                           "  001a7dDA7113  ", "(00.1A.7D.DA.71.13)", "00 1a 7d da 71 13 "}) {
    SCOPED_TRACE(text);
    const auto mac = ParseMac(text);
    ASSERT_TRUE(mac.has_value());
    EXPECT_EQ(*mac, kMac);
  }
}

TEST(ParseMac, NeedsExactlyTwelveCharacters) {
  for (const char* text : {"00:1A:7D:DA:71:1", "00:1A:7D:DA:71:131", "", ":::", "001A7DDA71 13 4"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseMac(text).has_value());
  }
}

TEST(ParseMac, EveryCharacterIsAHexDigit) {
  for (const char* text : {"G0:1G:7D:DA:71:13", "00:1A:7D:DA:71:1G", "zz:zz:zz:zz:zz:zz"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseMac(text).has_value());
  }
}

TEST(FormatMacField, TwoLowerCaseDigitsAndABlankPerByte) {
  EXPECT_EQ(FormatMacField(kMac), "00 1a 7d da 71 13 ");
  // What the field shows reads back as the same MAC.
  EXPECT_EQ(ParseMac(FormatMacField(kOtherMac)), kOtherMac);
}

TEST(AdapterFrames, ExactRequestBytes) {
  EXPECT_EQ(BuildAdapterConnect(kMac), kConnectRequest);
  EXPECT_EQ(BuildAdapterDisconnect(kMac), kDisconnectRequest);
  EXPECT_EQ(BuildAdapterGetConnection(), kQueryRequest);
  EXPECT_EQ(BuildAdapterReadMac(), kReadMacRequest);
}

TEST(AdapterConnect, SettlesWritesPollsAndSettlesAgain) {
  FakeAdapter adapter;
  adapter.replies = {kConnectReply};
  adapter.readsBeforeReply = 3;
  const AdapterResult result = AdapterConnect(adapter, 40, kMac);
  EXPECT_TRUE(result.ok) << result.message;
  ASSERT_EQ(adapter.written.size(), 1u);
  EXPECT_EQ(adapter.written[0], kConnectRequest);
  const std::vector<std::string> expected = {
      "purge", "sleep 2000", "write", "sleep 40", "read", "sleep 40", "read", "sleep 40",
      "read",  "sleep 40",   "read",  "purge",    "sleep 2000"};
  EXPECT_EQ(adapter.events, expected);
}

class SilentAdapterTest : public ::testing::TestWithParam<std::pair<int32_t, int32_t>> {};

TEST_P(SilentAdapterTest, PollsForTwoMinutesThenFails) {
  const auto [delay, polls] = GetParam();
  FakeAdapter adapter;
  const AdapterResult result = AdapterConnect(adapter, delay, kMac);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, kConnectFailed);
  EXPECT_EQ(AdapterConnectPolls(delay), polls);
  // The first read after the delay, then one read per poll.
  EXPECT_EQ(adapter.reads, 1 + polls);
  ASSERT_EQ(adapter.sleeps.size(), static_cast<size_t>(2 + polls));
  EXPECT_EQ(adapter.sleeps.front(), 2000);
  // No settling after a failure: the last wait is a poll.
  EXPECT_EQ(adapter.sleeps.back(), polls > 0 ? std::max(delay, 1) : delay);
  EXPECT_EQ(adapter.events.back(), "purge");
}

INSTANTIATE_TEST_SUITE_P(Delays, SilentAdapterTest,
                         ::testing::Values(std::pair{600, 200}, std::pair{7, 17142},
                                           std::pair{1000, 120}, std::pair{200000, 0},
                                           // A zero delay polls every millisecond.
                                           std::pair{0, 120000}));

struct BadReplyCase {
  const char* name;
  int command;  // 0 connect, 1 disconnect, 2 connection state, 3 read MAC
  Bytes reply;
  const char* message;
};

AdapterResult RunCommand(int command, FakeAdapter& adapter) {
  switch (command) {
    case 0: return AdapterConnect(adapter, 20, kMac);
    case 1: return AdapterDisconnect(adapter, 20, kMac);
    case 2: return AdapterGetConnection(adapter, 20);
    default: return AdapterReadMac(adapter, 20);
  }
}

Bytes Corrupt(Bytes bytes, size_t index) {
  bytes[index] ^= 0x01;
  return bytes;
}

class BadReplyTest : public ::testing::TestWithParam<BadReplyCase> {};

TEST_P(BadReplyTest, GivesTheCommandsMessage) {
  FakeAdapter adapter;
  adapter.replies = {GetParam().reply};
  const AdapterResult result = RunCommand(GetParam().command, adapter);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, GetParam().message);
}

const Bytes kDisconnectReply = WithCrc({0x01, 0x18, 0x00, 0x01, 0x00, 0x03});

INSTANTIATE_TEST_SUITE_P(
    Replies, BadReplyTest,
    ::testing::Values(
        BadReplyCase{"ConnectShort", 0, Bytes(kConnectReply.begin(), kConnectReply.end() - 1),
                     kConnectFailed},
        BadReplyCase{"ConnectLong", 0, [] { Bytes b = kConnectReply; b.push_back(0); return b; }(),
                     kConnectFailed},
        BadReplyCase{"ConnectFunction", 0, WithCrc({0x01, 0x19, 0x00, 0x00, 0x00, 0x03}),
                     kConnectFailed},
        BadReplyCase{"ConnectCrc", 0, Corrupt(kConnectReply, 7), kConnectCheckError},
        BadReplyCase{"DisconnectShort", 1, Bytes(kDisconnectReply.begin(), kDisconnectReply.begin() + 6),
                     kDisconnectFailed},
        BadReplyCase{"DisconnectCrc", 1, Corrupt(kDisconnectReply, 6), kDisconnectCheckError},
        BadReplyCase{"StateSilent", 2, {}, kConnectionStateFailed},
        BadReplyCase{"StateFunction", 2, MacReply(0x22, kMac), kConnectionStateFailed},
        BadReplyCase{"StateCrc", 2, Corrupt(kHeldReply, 4), kConnectionStateCheckError},
        BadReplyCase{"ReadMacShort", 3, Bytes(kReadMacReply.begin(), kReadMacReply.begin() + 8),
                     kReadMacFailed},
        BadReplyCase{"ReadMacCrc", 3, Corrupt(kReadMacReply, 10), kReadMacCheckError}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdapterCommands, NoPortOpenSendsNothing) {
  for (int command = 0; command < 4; ++command) {
    FakeAdapter adapter;
    adapter.open = false;
    const AdapterResult result = RunCommand(command, adapter);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "串口打开失败");
    EXPECT_TRUE(adapter.written.empty());
  }
}

TEST(AdapterCommands, MacRepliesAreReadLastByteFirst) {
  FakeAdapter adapter;
  adapter.replies = {kHeldReply, kReadMacReply};
  const AdapterResult held = AdapterGetConnection(adapter, 20);
  ASSERT_TRUE(held.ok) << held.message;
  EXPECT_EQ(held.mac, kMac);
  const AdapterResult own = AdapterReadMac(adapter, 20);
  ASSERT_TRUE(own.ok) << own.message;
  EXPECT_EQ(own.mac, kMac);
  EXPECT_EQ(adapter.written, (std::vector<Bytes>{kQueryRequest, kReadMacRequest}));
}

TEST(ConnectToMac, BadTextFailsBeforeAnythingIsSent) {
  FakeAdapter adapter;
  const AdapterResult result = ConnectToMac(adapter, 20, "00:1A:7D:DA:71:1");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, "MAC 地址格式错误");
  EXPECT_TRUE(adapter.written.empty());
}

TEST(ConnectToMac, MacAlreadyHeldSendsOnlyTheQuery) {
  FakeAdapter adapter;
  adapter.replies = {kHeldReply};
  const AdapterResult result = ConnectToMac(adapter, 20, "00-1a-7d-da-71-13");
  EXPECT_TRUE(result.ok) << result.message;
  EXPECT_EQ(adapter.written, std::vector<Bytes>{kQueryRequest});
}

TEST(ConnectToMac, NoConnectionHeldConnectsDirectly) {
  FakeAdapter adapter;
  adapter.replies = {MacReply(0x19, MacBytes{}), kConnectReply};
  const AdapterResult result = ConnectToMac(adapter, 20, "00 1A 7D DA 71 13");
  EXPECT_TRUE(result.ok) << result.message;
  EXPECT_EQ(adapter.written, (std::vector<Bytes>{kQueryRequest, kConnectRequest}));
}

TEST(ConnectToMac, OtherMacHeldIsDisconnectedFirst) {
  FakeAdapter adapter;
  adapter.replies = {MacReply(0x19, kOtherMac), WithCrc({0x01, 0x18, 0x00, 0x01, 0x00, 0x03}),
                     kConnectReply};
  const AdapterResult result = ConnectToMac(adapter, 20, "00:1A:7D:DA:71:13");
  EXPECT_TRUE(result.ok) << result.message;
  ASSERT_EQ(adapter.written.size(), 3u);
  EXPECT_EQ(adapter.written[0], kQueryRequest);
  EXPECT_EQ(adapter.written[1], BuildAdapterDisconnect(kOtherMac));
  EXPECT_EQ(adapter.written[1][7], 0x01);  // the held MAC, reversed
  EXPECT_EQ(adapter.written[1][12], 0xA4);
  EXPECT_EQ(adapter.written[2], kConnectRequest);
}

TEST(ConnectToMac, FailedDisconnectStopsBeforeConnecting) {
  FakeAdapter adapter;
  adapter.replies = {MacReply(0x19, kOtherMac), {}};
  const AdapterResult result = ConnectToMac(adapter, 20, "00:1A:7D:DA:71:13");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message, kDisconnectFailed);
  EXPECT_EQ(adapter.written.size(), 2u);
}

TEST(DisconnectMac, DropsOnlyTheMacOfTheField) {
  {
    FakeAdapter adapter;
    adapter.replies = {kHeldReply, kDisconnectReply};
    const AdapterResult result = DisconnectMac(adapter, 20, "00:1a:7d:da:71:13");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.message, "断开成功");
    EXPECT_EQ(adapter.written, (std::vector<Bytes>{kQueryRequest, kDisconnectRequest}));
  }
  {
    // Another logger is held: nothing is dropped, yet the window is told it is disconnected.
    FakeAdapter adapter;
    adapter.replies = {MacReply(0x19, kOtherMac)};
    const AdapterResult result = DisconnectMac(adapter, 20, "00:1a:7d:da:71:13");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.message, "断开成功");
    EXPECT_EQ(adapter.written, std::vector<Bytes>{kQueryRequest});
  }
  {
    FakeAdapter adapter;
    adapter.replies = {kHeldReply};
    const AdapterResult result = DisconnectMac(adapter, 20, "00:1a:7d");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "MAC地址有误");
  }
}

}  // namespace
}  // namespace devlink
