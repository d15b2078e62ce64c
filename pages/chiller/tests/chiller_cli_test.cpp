// The chiller verbs of the tool-cli binary against the simulated unit.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/chiller.h"

namespace pages::chiller {
namespace {

using pages::testing::ToolRun;

class ChillerCli : public pages::testing::ToolCliTest {
 protected:
  ChillerCli() : ToolCliTest("chiller") {}
};

TEST_F(ChillerCli, SetPointRoundTripOverSerialAndTcp) {
  ToolRun r = Run({"write", "--set-point", "-18.5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"配置成功！\",\"values\":{}}\n");
  EXPECT_EQ(sim_.Device<sim::ChillerState>([](auto& s) { return s.setPointHundredths; }), -1850);

  r = RunTcp({"read"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"set-point\":-18.5"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"work-mode-text\":\"制冷\""), std::string::npos) << r.out;

  r = RunTcp({"write", "--set-point", "40"});
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.out.find("配置失败！错误代码：2"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pages::chiller
