// The property settings 2 verbs of the tool-cli binary against the simulator.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/property2.h"

namespace pages::property2 {
namespace {

using pages::testing::ToolRun;

class Property2Cli : public pages::testing::ToolCliTest {
 protected:
  Property2Cli() : ToolCliTest("property2") {}
};

TEST_F(Property2Cli, SamplePeriodAndScreenOffRoundTrip) {
  ToolRun r = Run({"write-sample-period", "--channel", "5", "--period", "2分"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = Run({"read-sample-period", "--channel", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"period\":120,\"text\":\"2分\"}}\n");
  r = Run({"write-screen-off", "--time", "0"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = Run({"read-screen-off"});
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"time\":0,\"text\":\"永不\"}}\n");
  EXPECT_EQ(sim_.Device<sim::Property2State>([](auto& s) { return s.periods[4]; }), 120);
}

}  // namespace
}  // namespace pages::property2
