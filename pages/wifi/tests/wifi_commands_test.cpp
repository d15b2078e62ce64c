// WiFi module commands against a scripted channel: request bytes, the reply checks of each item,
// decoding, the two chains and where they stop, and input refused before anything is sent.
#include "pages/wifi/wifi_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/testing/scripted_channel.h"
#include "pages/testing/reply_frames.h"
#include "pages/testing/results.h"

namespace pages::wifi {
namespace {

using devlink::Bytes;
using devlink::ExchangeStatus;
using devlink::testing::ScriptedChannel;
using pages::testing::Into;
using pages::testing::Reseal;
using pages::testing::WithSum;

// A module reply: '<' 01 command status N payload 'f' Sum8.
Bytes Reply(uint8_t command, const Bytes& payload) {
  return pages::testing::SumReply(0x01, command, payload);
}
Bytes Ack(uint8_t command) { return Reply(command, {0x55}); }

// Every command the chains send, as bytes on the wire.
struct RequestCase {
  const char* name;
  std::function<Outcome(devlink::Channel&)> run;
  Bytes request;
};

class WifiRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(WifiRequests, BytesOnTheWire) {
  ScriptedChannel channel;
  channel.Expect(GetParam().request, {});
  GetParam().run(channel);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0], GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Items, WifiRequests,
    ::testing::Values(
        RequestCase{"ssid_read", [](auto& c) { return ReadSsid(c).outcome; },
                    {0x25, 0x01, 0x20, 0x55, 0x00, 0x66, 0x01}},
        RequestCase{"security_read", [](auto& c) { return ReadSecurity(c).outcome; },
                    {0x25, 0x01, 0x21, 0x55, 0x00, 0x66, 0x02}},
        RequestCase{"ip_read", [](auto& c) { return ReadIp(c).outcome; },
                    {0x25, 0x01, 0x22, 0x55, 0x00, 0x66, 0x03}},
        RequestCase{"dns_read", [](auto& c) { return ReadDns(c).outcome; },
                    {0x25, 0x01, 0x23, 0x55, 0x00, 0x66, 0x04}},
        RequestCase{"dhcp_read", [](auto& c) { return ReadDhcp(c).outcome; },
                    {0x25, 0x01, 0x26, 0x55, 0x01, 0x00, 0x66, 0x08}},
        RequestCase{"mac_read", [](auto& c) { return ReadMac(c).outcome; },
                    {0x25, 0x01, 0x27, 0x55, 0x01, 0x00, 0x66, 0x09}},
        RequestCase{"exit", [](auto& c) { return Control(c, ModuleControl::ExitConfiguration); },
                    {0x25, 0x01, 0x25, 0xAA, 0x01, 0x01, 0x66, 0x5D}},
        RequestCase{"reset", [](auto& c) { return Control(c, ModuleControl::Reset); },
                    {0x25, 0x01, 0x25, 0xAA, 0x01, 0x02, 0x66, 0x5E}},
        RequestCase{"factory", [](auto& c) { return Control(c, ModuleControl::FactorySettings); },
                    {0x25, 0x01, 0x25, 0xAA, 0x01, 0x03, 0x66, 0x5F}},
        // "测试" is six UTF-8 bytes: the length byte counts bytes, not characters.
        RequestCase{"ssid_chinese", [](auto& c) { return WriteSsid(c, "测试"); },
                    WithSum({0x25, 0x01, 0x20, 0xAA, 0x06, 0xE6, 0xB5, 0x8B, 0xE8, 0xAF, 0x95,
                             0x66})},
        RequestCase{"security_password", [](auto& c) { return WriteSecurity(c, 6, "ab"); },
                    WithSum({0x25, 0x01, 0x21, 0xAA, 0x03, 0x06, 'a', 'b', 0x66})},
        RequestCase{"ip_write",
                    [](auto& c) {
                      return WriteIp(c, {192, 168, 1, 20}, {255, 255, 255, 0}, {192, 168, 1, 1});
                    },
                    WithSum({0x25, 0x01, 0x22, 0xAA, 0x0C, 192, 168, 1, 20, 255, 255, 255, 0, 192,
                             168, 1, 1, 0x66})},
        RequestCase{"dns_write", [](auto& c) { return WriteDns(c, {10, 0, 0, 53}); },
                    WithSum({0x25, 0x01, 0x23, 0xAA, 0x06, 0x00, 0x00, 10, 0, 0, 53, 0x66})},
        RequestCase{"dhcp_on", [](auto& c) { return WriteDhcp(c, true); },
                    WithSum({0x25, 0x01, 0x26, 0xAA, 0x01, 0x01, 0x66})},
        RequestCase{"mac_write", [](auto& c) { return WriteMac(c, "AC:CF:23:5A:0B:17"); },
                    WithSum({0x25, 0x01, 0x27, 0xAA, 0x11, 'A', 'C', ':', 'C', 'F', ':', '2', '3',
                             ':', '5', 'A', ':', '0', 'B', ':', '1', '7', 0x66})},
        // An empty MAC: length 0, yet the frame keeps its 17 (zero) bytes, 24 in all.
        RequestCase{"mac_empty", [](auto& c) { return WriteMac(c, ""); },
                    WithSum({0x25, 0x01, 0x27, 0xAA, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0x66})}),
    [](const auto& info) { return std::string(info.param.name); });

// Replies of the fixed-length items: one byte short or long is refused with the item's message.
struct LengthCase {
  const char* name;
  std::function<Outcome(devlink::Channel&)> run;
  Bytes good;
  const char* failure;
};

class WifiReplyLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(WifiReplyLengths, OnlyTheExactLengthPasses) {
  const LengthCase& c = GetParam();
  {
    ScriptedChannel channel;
    channel.Expect({}, c.good);
    EXPECT_TRUE(c.run(channel).ok);
  }
  for (const int delta : {-1, +1}) {
    // The frame stays well formed: its length byte and sum match its new size.
    Bytes reply = c.good;
    if (delta < 0) {
      reply.erase(reply.end() - 3);
    } else {
      reply.insert(reply.end() - 2, 0x00);
    }
    reply[4] = static_cast<uint8_t>(reply.size() - 7);
    Reseal(reply);
    ScriptedChannel channel;
    channel.Expect({}, reply);
    const Outcome outcome = c.run(channel);
    EXPECT_FALSE(outcome.ok) << reply.size();
    EXPECT_EQ(outcome.message, c.failure);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Items, WifiReplyLengths,
    ::testing::Values(
        // 19 bytes in all; 18 and 20 are refused.
        LengthCase{"ip", [](auto& c) { return ReadIp(c).outcome; },
                   Reply(0x22, Bytes(12, 1)), "IP读取失败"},
        LengthCase{"dns", [](auto& c) { return ReadDns(c).outcome; },
                   Reply(0x23, Bytes(6, 1)), "服务器信息读取失败"},
        LengthCase{"dhcp", [](auto& c) { return ReadDhcp(c).outcome; }, Reply(0x26, {1}),
                   "DHCP读取失败"},
        LengthCase{"mac", [](auto& c) { return ReadMac(c).outcome; },
                   Reply(0x27, Bytes(17, 'A')), "mac读取失败"},
        LengthCase{"ack", [](auto& c) { return WriteDhcp(c, false); }, Ack(0x26),
                   "DHCP设置失败"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WifiReplies, ChecksThatApplyAndBytesThatAreNotExamined) {
  // Bytes 1-3 (address, command, status) are not examined.
  Bytes other = Reply(0x22, {192, 168, 1, 20, 255, 255, 255, 0, 192, 168, 1, 1});
  other[1] = 0x07;
  other[2] = 0x99;
  other[3] = 0x42;
  Reseal(other);
  ScriptedChannel channel;
  channel.Expect({}, other);
  std::array<Ipv4Address, 3> ip{};
  ASSERT_TRUE(Into(ip, ReadIp(channel)).ok);
  EXPECT_EQ(ip[0], (Ipv4Address{192, 168, 1, 20}));
  EXPECT_EQ(ip[1], (Ipv4Address{255, 255, 255, 0}));
  EXPECT_EQ(ip[2], (Ipv4Address{192, 168, 1, 1}));

  // Start byte, end marker, sum, the variable length against byte 4, the acknowledgement.
  Bytes start = Reply(0x20, {'a'});
  start[0] = 0x25;
  Reseal(start);
  Bytes end = Reply(0x20, {'a', 'b'});
  end[end.size() - 2] = 'g';
  Reseal(end);
  Bytes sum = Reply(0x20, {'a'});
  sum.back() ^= 0x01;
  Bytes length = Reply(0x20, {'a', 'b'});
  length[4] = 3;
  Reseal(length);
  for (const Bytes& bad : {start, end, sum, length}) {
    ScriptedChannel c;
    c.Expect({}, bad);
    EXPECT_EQ(ReadSsid(c).message(), "SSID读取失败");
  }
  ScriptedChannel nak;
  nak.Expect({}, Reply(0x20, {0x00}));
  EXPECT_EQ(WriteSsid(nak, "x").message, "SSID设置失败");
}

TEST(WifiReplies, DecodesEveryItem) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x20, {0xE5, 0x8A, 0x9E, 0xE5, 0x85, 0xAC, 'A'}));  // "办公A"
  // The password is what follows the security byte; a zero byte adds nothing.
  channel.Expect({}, Reply(0x21, {4, 'p', 0x00, 'w'}));
  channel.Expect({}, Reply(0x23, {0xEE, 0xEE, 8, 8, 4, 4}));
  channel.Expect({}, Reply(0x26, {0x02}));
  channel.Expect({}, Reply(0x27, Bytes{'A', 'C', ':', 'C', 'F', ':', '2', '3', ':', '5', 'A',
                                       ':', '0', 'B', ':', '1', '7'}));
  EXPECT_EQ(ReadSsid(channel).value, "办公A");
  const auto security = ReadSecurity(channel);
  EXPECT_EQ(security.value.security, 4);
  EXPECT_EQ(security.value.password, "pw");
  EXPECT_EQ(ReadDns(channel).value, (Ipv4Address{8, 8, 4, 4}));
  EXPECT_TRUE(ReadDhcp(channel).value);  // any non-zero byte is "on"
  EXPECT_EQ(ReadMac(channel).value, "AC:CF:23:5A:0B:17");
  EXPECT_TRUE(channel.Problems().empty());
}

TEST(WifiReplies, PasswordReplyWithOnlyTheSecurityByteOrAnUnknownIndex) {
  ScriptedChannel channel;
  channel.Expect({}, Reply(0x21, {3}));  // N = 1: 8 bytes, the shortest accepted
  SecurityAndPassword read{0, "old"};
  ASSERT_TRUE(Into(read, ReadSecurity(channel)).ok);
  EXPECT_EQ(read.security, 3);
  EXPECT_EQ(read.password, "");

  // Beyond the seven entries of the list: nothing the page could select.
  channel.Expect({}, Reply(0x21, {7, 'x'}));
  EXPECT_EQ(ReadSecurity(channel).message(), "密码读取失败");
  // Bytes that are not UTF-8 stand one character each.
  channel.Expect({}, Reply(0x21, {0, 'a', 0xE9}));
  EXPECT_EQ(ReadSecurity(channel).value.password, "a\xC3\xA9");
}

// A module that answers every read, for the chains.
void ScriptReads(ScriptedChannel& channel, size_t steps) {
  const std::vector<Bytes> replies{
      Reply(0x20, {'L', 'a', 'b'}),
      Reply(0x21, {5, '1', '2', '3', '4', '5', '6', '7', '8'}),
      Reply(0x22, {10, 0, 0, 9, 255, 0, 0, 0, 10, 0, 0, 1}),
      Reply(0x23, {0, 0, 10, 0, 0, 2}),
      Reply(0x26, {0}),
      Reply(0x27, Bytes{'0', '0', ':', '1', '1', ':', '2', '2', ':', '3', '3', ':', '4', '4',
                        ':', '5', '5'})};
  for (size_t i = 0; i < steps && i < replies.size(); ++i) channel.Expect({}, replies[i]);
}

TEST(WifiReadChain, ReadsAllSixItemsInOrder) {
  ScriptedChannel channel;
  ScriptReads(channel, 6);
  std::vector<Step> steps;
  const auto result =
      ReadSettings(channel, [&](Step step, const Settings&) { steps.push_back(step); });
  ASSERT_TRUE(result.ok()) << result.message();
  EXPECT_EQ(result.message(), "读取成功！");
  Settings expected;
  expected.ssid = "Lab";
  expected.security = 5;
  expected.password = "12345678";
  expected.dhcp = false;
  expected.ip = {10, 0, 0, 9};
  expected.mask = {255, 0, 0, 0};
  expected.gateway = {10, 0, 0, 1};
  expected.dns = {10, 0, 0, 2};
  expected.mac = "00:11:22:33:44:55";
  EXPECT_EQ(result.value, expected);
  EXPECT_EQ(steps, (std::vector<Step>{Step::Ssid, Step::Security, Step::Ip, Step::Dns,
                                      Step::Dhcp, Step::Mac}));
  std::vector<uint8_t> commands;
  for (const Bytes& sent : channel.Sent()) commands.push_back(sent[2]);
  EXPECT_EQ(commands, (std::vector<uint8_t>{0x20, 0x21, 0x22, 0x23, 0x26, 0x27}));
}

TEST(WifiReadChain, StopsAtTheFirstFailureWithThatStepsMessage) {
  const char* messages[] = {"SSID读取失败", "密码读取失败",  "IP读取失败",
                            "服务器信息读取失败", "DHCP读取失败", "mac读取失败"};
  for (size_t failing = 0; failing < 6; ++failing) {
    ScriptedChannel channel;
    ScriptReads(channel, failing);
    channel.Expect({}, {});  // nothing arrives
    std::vector<Step> steps;
    const auto result =
        ReadSettings(channel, [&](Step step, const Settings&) { steps.push_back(step); });
    EXPECT_EQ(result.message(), messages[failing]);
    EXPECT_EQ(channel.Sent().size(), failing + 1);  // later steps are not run
    EXPECT_EQ(steps.size(), failing);
  }
  // The serial channel without an open port: every step says so.
  ScriptedChannel closed;
  closed.Expect({}, {}, ExchangeStatus::PortNotOpen);
  EXPECT_EQ(ReadSettings(closed).message(), "串口打开失败");
}

std::vector<uint8_t> CommandsSent(const ScriptedChannel& channel) {
  std::vector<uint8_t> commands;
  for (const Bytes& sent : channel.Sent()) commands.push_back(sent[2]);
  return commands;
}

TEST(WifiSetChain, DhcpOnSkipsTheIpAndDnsWrites) {
  Settings settings;
  settings.ssid = "Lab";
  settings.dhcp = true;
  ScriptedChannel on;
  for (uint8_t command : {0x20, 0x21, 0x26, 0x27}) on.Expect({}, Ack(command));
  EXPECT_EQ(WriteSettings(on, settings).message, "设置成功！");
  EXPECT_EQ(CommandsSent(on), (std::vector<uint8_t>{0x20, 0x21, 0x26, 0x27}));
  EXPECT_TRUE(on.Problems().empty());

  settings.dhcp = false;
  ScriptedChannel off;
  for (uint8_t command : {0x20, 0x21, 0x22, 0x23, 0x26, 0x27}) off.Expect({}, Ack(command));
  EXPECT_EQ(WriteSettings(off, settings).message, "设置成功！");
  EXPECT_EQ(CommandsSent(off), (std::vector<uint8_t>{0x20, 0x21, 0x22, 0x23, 0x26, 0x27}));
  EXPECT_EQ(off.Sent()[4], WithSum({0x25, 0x01, 0x26, 0xAA, 0x01, 0x00, 0x66}));
}

TEST(WifiSetChain, StopsAtTheFailingStep) {
  Settings settings;
  ScriptedChannel channel;
  channel.Expect({}, Ack(0x20));
  channel.Expect({}, Ack(0x21));
  channel.Expect({}, Reply(0x22, {0x00}));  // not acknowledged
  EXPECT_EQ(WriteSettings(channel, settings).message, "IP设置失败");
  EXPECT_EQ(channel.Sent().size(), 3u);
}

struct RefusalCase {
  const char* name;
  Settings settings;
  const char* message;
  const char* field;
};

class WifiSetRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(WifiSetRefusals, NothingIsSent) {
  ScriptedChannel channel;
  const Outcome outcome = WriteSettings(channel, GetParam().settings);
  EXPECT_TRUE(outcome.Refusal());
  EXPECT_EQ(outcome.message, GetParam().message);
  EXPECT_EQ(outcome.field, GetParam().field);
  EXPECT_TRUE(channel.Sent().empty());
}

Settings With(std::function<void(Settings&)> change) {
  Settings settings;
  change(settings);
  return settings;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WifiSetRefusals,
    ::testing::Values(
        RefusalCase{"ssid_31_chars", With([](Settings& s) { s.ssid = std::string(31, 'x'); }),
                    "输入的文字过长！", "ssid"},
        RefusalCase{"ssid_not_utf8", With([](Settings& s) { s.ssid = "\xFF"; }),
                    "输入的文字含有无法发送的字符！", "ssid"},
        RefusalCase{"password_16_chars",
                    With([](Settings& s) { s.password = "密码密码密码密码密码密码密码密码"; }),
                    "输入的文字过长！", "password"},
        RefusalCase{"mac_18_chars", With([](Settings& s) { s.mac = std::string(18, 'A'); }),
                    "MAC 地址格式错误", "mac"},
        // Five pairs once went out after SSID, password and IP had been written.
        RefusalCase{"mac_five_pairs", With([](Settings& s) { s.mac = "00:1A:7D:DA:71"; }),
                    "MAC 地址格式错误", "mac"},
        RefusalCase{"ssid_control", With([](Settings& s) { s.ssid = "lab\x01"; }),
                    "输入的文字含有无法发送的字符！", "ssid"},
        RefusalCase{"security_beyond_list", With([](Settings& s) { s.security = 7; }),
                    "密码设置失败", "security"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WifiSetChain, ThirtyChineseCharactersFit) {
  // 30 characters are 90 UTF-8 bytes.
  std::string ssid;
  for (int i = 0; i < 30; ++i) ssid += "网";
  ScriptedChannel channel;
  channel.Expect({}, Ack(0x20));
  EXPECT_TRUE(WriteSsid(channel, ssid).ok);
  ASSERT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(channel.Sent()[0][4], 90);
  EXPECT_EQ(channel.Sent()[0].size(), 97u);
}

TEST(WifiControl, MessagesOfTheModuleButtons) {
  ScriptedChannel channel;
  channel.Expect({}, Ack(0x25));
  EXPECT_EQ(Control(channel, ModuleControl::Reset).message, "操作成功！");
  channel.Expect({}, Reply(0x25, {0x00}));
  EXPECT_EQ(Control(channel, ModuleControl::Reset).message, "操作失败！");
  channel.Expect({}, {}, ExchangeStatus::NoReply);
  EXPECT_EQ(Control(channel, ModuleControl::Reset).message, "操作失败！");
  channel.Expect({}, {}, ExchangeStatus::PortNotOpen);
  EXPECT_EQ(Control(channel, ModuleControl::Reset).message, "串口打开失败！");
}

TEST(WifiTcp, TheChannelIsAskedForTheLeastLengthAndTheSum) {
  ScriptedChannel channel;
  channel.AcceptLikeTcp();
  channel.Expect({}, Reply(0x20, {'a'}));
  channel.Expect({}, Reply(0x22, Bytes(12, 0)));
  channel.Expect({}, Ack(0x26));
  EXPECT_TRUE(ReadSsid(channel).ok());
  EXPECT_TRUE(ReadIp(channel).ok());
  EXPECT_TRUE(WriteDhcp(channel, true).ok);
  ASSERT_EQ(channel.Specs().size(), 3u);
  EXPECT_EQ(channel.Specs()[0].minimum, 7u);
  EXPECT_EQ(channel.Specs()[1].minimum, 19u);
  EXPECT_EQ(channel.Specs()[2].minimum, 8u);
  for (const auto& spec : channel.Specs()) EXPECT_TRUE(spec.checkSum);
}

}  // namespace
}  // namespace pages::wifi
