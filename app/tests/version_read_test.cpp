#include "pages/widgets/version_read.h"

#include <gtest/gtest.h>

#include "link/testing/scripted_channel.h"

namespace pages {
namespace {

using devlink::Bytes;

// Reply of an instrument at address 1 with hardware "1.02" and software "2.15".
const Bytes kReply = {0x3C, 0x01, 0x0C, 0x00, 0x08, '1', '.', '0', '2',
                      '2',  '.',  '1',  '5',  0x66, 0x3E};

Bytes WithSum(Bytes frame) {
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame.back() = sum;
  return frame;
}

TEST(VersionRead, RequestBytes) {
  EXPECT_EQ(BuildVersionRequest(5), (Bytes{0x25, 0x05, 0x0C, 0xAA, 0x00, 0x66, 0x46}));
  EXPECT_EQ(BuildVersionRequest(0).size(), 7u);
}

TEST(VersionRead, ShowsDigitsInHex) {
  const auto versions = ParseVersionReply(kReply);
  ASSERT_TRUE(versions.has_value());
  EXPECT_EQ(versions->hardware, "1.02");
  EXPECT_EQ(versions->software, "2.15");

  // A "digit" beyond '9' shows as its hex value.
  Bytes odd = kReply;
  odd[8] = ':';   // 0x3A - 0x30 = 10
  odd[12] = '?';  // 15
  const auto shown = ParseVersionReply(WithSum(odd));
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->hardware, "1.0a");
  EXPECT_EQ(shown->software, "2.1f");
}

TEST(VersionRead, RefusesBadReplies) {
  Bytes shortReply(kReply.begin(), kReply.end() - 1);
  Bytes longReply = kReply;
  longReply.push_back(0);
  Bytes start = kReply;
  start[0] = 0x25;
  Bytes sum = kReply;
  sum[14] ^= 1;
  Bytes end = kReply;
  end[13] = 0x67;
  for (const Bytes& bad : {shortReply, longReply, WithSum(start), sum, WithSum(end), Bytes{}}) {
    EXPECT_FALSE(ParseVersionReply(bad).has_value());
  }
}

TEST(VersionRead, OutcomeMessages) {
  {
    devlink::testing::ScriptedChannel channel(3);
    channel.Expect({0x25, 0x03, 0x0C, 0xAA, 0x00, 0x66, 0x44}, kReply);
    const auto outcome = ReadVersions(channel);
    EXPECT_TRUE(channel.Problems().empty());
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.message(), "数据读取成功");
    ASSERT_EQ(channel.Specs().size(), 1u);
    EXPECT_EQ(channel.Specs()[0].capacity, 15u);
  }
  {
    devlink::testing::ScriptedChannel channel;
    channel.Expect({}, {}, devlink::ExchangeStatus::PortNotOpen);
    EXPECT_EQ(ReadVersions(channel).message(), "串口打开失败");
  }
  {
    devlink::testing::ScriptedChannel channel;
    channel.Expect({}, {}, devlink::ExchangeStatus::NoReply);
    EXPECT_EQ(ReadVersions(channel).message(), "数据读取失败");
  }
  {
    devlink::testing::ScriptedChannel channel;
    channel.Expect({}, Bytes(kReply.begin(), kReply.begin() + 9));
    const auto outcome = ReadVersions(channel);
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.message(), "数据读取失败");
  }
}

}  // namespace
}  // namespace pages
