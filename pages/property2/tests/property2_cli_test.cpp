// The property settings 2 verbs of the tool-cli binary against the simulator.
#include <gtest/gtest.h>

#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"
#include "sim/families/property2.h"

namespace pages::property2 {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

TEST(Property2Cli, SamplePeriodAndScreenOffRoundTrip) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  sim.link.serial.ClosePort();
  const std::vector<std::string> connection{"--port", sim.SerialPath(), "--delay", "60"};
  auto run = [&](std::vector<std::string> words) {
    words.insert(words.end(), connection.begin(), connection.end());
    return RunToolCli(words);
  };
  ToolRun r = run({"property2", "write-sample-period", "--channel", "5", "--period", "2分"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = run({"property2", "read-sample-period", "--channel", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"period\":120,\"text\":\"2分\"}}\n");
  r = run({"property2", "write-screen-off", "--time", "0"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = run({"property2", "read-screen-off"});
  EXPECT_EQ(r.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"time\":0,\"text\":\"永不\"}}\n");
  EXPECT_EQ(sim.Device<sim::Property2State>([](auto& s) { return s.periods[4]; }), 120);
}

}  // namespace
}  // namespace pages::property2
