// The Bluetooth logger's curve verbs and the live-value verbs of the tool-cli binary against the
// simulated instruments.
#include <gtest/gtest.h>

#include "calibration/curves/curvecal_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/bluetooth_logger.h"
#include "sim/families/channel_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;
using pages::testing::ToolRun;

// The simulated adapter's logger.
constexpr char kLoggerMac[] = "00:1A:7D:DA:71:13";
const sim::BluetoothAdapterState::Mac kLoggerBytes{0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

class LiveCliTest : public pages::testing::ToolCliTest {
 protected:
  LiveCliTest() : ToolCliTest("curvecal") {}
};

TEST_F(LiveCliTest, BluetoothLoggerAndLiveValueVerbs) {
  sim_.Device<sim::BluetoothAdapterState>(
      [](sim::BluetoothAdapterState& s) { s.connected = kLoggerBytes; });
  const std::vector<std::string> logger{"--kind", "5", "--channel", "1", "--type", "humidity",
                                        "--mac", "00-1a-7d-da-71-13"};
  auto run = [&](std::string verb, std::vector<std::string> words) {
    words.insert(words.begin(), std::move(verb));
    return Run(words);
  };
  auto with = [](std::vector<std::string> words, std::vector<std::string> more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
  };

  ToolRun r = run("write", with(logger, {"--pairs", "90:88.5,10:11"}));
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  r = run("read", logger);
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"pairs\":2,\"environment-1\":10,"
            "\"raw-1\":11,\"environment-2\":90,\"raw-2\":88.5,\"curve\":\"10:11,90:88.5\"}}\n");
  r = run("read-display", logger);
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"value\":21.5}}\n");

  sim_.Device<sim::ChannelCurvesState>([](sim::ChannelCurvesState& s) { s.kind = 3; });
  r = run("read-raw", {"--kind", "3", "--channel", "3", "--type", "temperature"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"value\":20.7}}\n");

  // Refused before anything is sent.
  const size_t sent = sim_.Requests();
  const std::pair<std::vector<std::string>, const char*> refused[] = {
      {{"read-display", "--kind", "5", "--channel", "1", "--type", "humidity"}, "缺少参数 --mac"},
      {with({"read"}, {"--kind", "5", "--channel", "3", "--type", "humidity", "--mac",
                       kLoggerMac}),
       "\"option\":\"--channel\""},
      {with({"write"}, with(logger, {"--pairs", "25:"})), "请删除无效行或填入有效数据！"},
      {{"read-raw", "--kind", "2", "--channel", "1", "--type", "humidity"}, "记录仪没有原始值可读"},
  };
  for (const auto& [words, text] : refused) {
    r = Run(words);
    EXPECT_EQ(r.exit, 2) << r.out << r.err;
    EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
  }
  EXPECT_EQ(sim_.Requests(), sent);
}

}  // namespace
}  // namespace pages::curvecal
