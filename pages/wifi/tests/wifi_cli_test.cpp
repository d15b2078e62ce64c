// The wifi verbs of the tool-cli binary against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/wifi_module.h"

namespace pages::wifi {
namespace {

using pages::testing::ToolRun;

class WifiCliTest : public pages::testing::ToolCliTest {
 protected:
  WifiCliTest() : ToolCliTest("wifi") {}
};

TEST_F(WifiCliTest, WriteReadAndControl) {
  ToolRun run = Run({"write", "--ssid", "冷库WiFi", "--security", "WPA-PSK TKIP", "--password",
                     "abcdefgh", "--dhcp", "off", "--ip", "192.168.0.7", "--mask",
                     "255.255.255.0", "--gateway", "192.168.0.1", "--dns", "192.168.0.1", "--mac",
                     "AC:CF:23:00:00:09"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"设置成功！\",\"values\":{}}\n");
  run = Run({"read"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"读取成功！\",\"values\":{\"ssid\":\"冷库WiFi\","
            "\"security\":\"WPA-PSK TKIP\",\"password\":\"abcdefgh\",\"dhcp\":false,"
            "\"ip\":\"192.168.0.7\",\"mask\":\"255.255.255.0\",\"gateway\":\"192.168.0.1\","
            "\"dns\":\"192.168.0.1\",\"mac\":\"AC:CF:23:00:00:09\"}}\n");

  run = Run({"control", "factory"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"操作成功！\",\"values\":{}}\n");
  EXPECT_EQ(
      sim_.Device<sim::WifiModuleState>([](sim::WifiModuleState& s) { return s.factoryResets; }),
      1);
}

TEST_F(WifiCliTest, RefusedInputSendsNothing) {
  const std::vector<std::vector<std::string>> refused{
      // With DHCP off the addresses are written, so they are needed.
      {"write", "--ssid", "a", "--security", "Disable", "--dhcp", "off", "--ip", "10.0.0.2"},
      {"write", "--ssid", std::string(31, 'a'), "--security", "Disable", "--dhcp", "on"},
      {"write", "--ssid", "a", "--security", "WPA3", "--dhcp", "on"},
      {"control", "reboot"}};
  for (const auto& words : refused) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << words[0] << run.out << run.err;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
  const ToolRun missing = Run(refused[0]);
  EXPECT_NE(missing.out.find("缺少参数 --mask"), std::string::npos) << missing.out;
}

}  // namespace
}  // namespace pages::wifi
