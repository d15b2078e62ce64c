// The chiller verbs of the tool-cli binary against the simulated unit.
#include <gtest/gtest.h>

#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"
#include "sim/families/chiller.h"

namespace pages::chiller {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

TEST(ChillerCli, SetPointRoundTripOverSerialAndTcp) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  ASSERT_TRUE(sim.StartTcp(&error)) << error;
  sim.link.serial.ClosePort();
  const std::string tcp = "127.0.0.1:" + std::to_string(sim.TcpPort());

  ToolRun r = RunToolCli(
      {"chiller", "write", "--set-point", "-18.5", "--port", sim.SerialPath(), "--delay", "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"配置成功！\",\"values\":{}}\n");
  EXPECT_EQ(sim.Device<sim::ChillerState>([](auto& s) { return s.setPointHundredths; }), -1850);

  r = RunToolCli({"chiller", "read", "--tcp", tcp, "--delay", "40"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"set-point\":-18.5"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"work-mode-text\":\"制冷\""), std::string::npos) << r.out;

  r = RunToolCli({"chiller", "write", "--set-point", "40", "--tcp", tcp, "--delay", "40"});
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.out.find("配置失败！错误代码：2"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pages::chiller
