// The fridge verbs of the tool-cli binary against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/fridge_box.h"

namespace pages::fridge {
namespace {

using pages::testing::ToolRun;

class FridgeCliTest : public pages::testing::ToolCliTest {
 protected:
  FridgeCliTest() : ToolCliTest("fridge") {}
};

TEST_F(FridgeCliTest, IntervalsAndAlarmNumberRoundTrip) {
  ToolRun run = Run({"write-intervals", "--upload", "20", "--history", "45", "--print", "5",
                     "--alarm", "1"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"设置成功\",\"values\":{}}\n");
  run = Run({"read-intervals"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"upload\":20,\"history\":45,\"print\":5,"
            "\"alarm\":1}}\n");

  run = Run({"write-alarm-number", "--slot", "2", "--number", "13800138000"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-alarm-number", "--slot", "2"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"slot\":2,\"number\":\"13800138000\"}}\n");
}

TEST_F(FridgeCliTest, RefusedInputSendsNothing) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"write-intervals", "--upload", "0", "--history", "0", "--print",
                                 "5", "--alarm", "1"},
        std::vector<std::string>{"write-alarm-number", "--slot", "4", "--number", "1"},
        std::vector<std::string>{"write-status", "--device", "off", "--recording", "on"}}) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << words[0] << run.out << run.err;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
  const ToolRun zero = Run({"write-intervals", "--upload", "0", "--history", "0", "--print", "5",
                            "--alarm", "1"});
  EXPECT_NE(zero.out.find("时间间隔必须≥1"), std::string::npos) << zero.out;
  EXPECT_NE(zero.out.find("upload"), std::string::npos) << zero.out;
}

TEST_F(FridgeCliTest, StatusSwitchNeedsConfirmationToSwitchTheDeviceOff) {
  const ToolRun run = Run({"write-status", "--device", "off", "--recording", "on", "--confirm",
                           "yes"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  const auto state = sim_.Device<sim::FridgeBoxState>([](sim::FridgeBoxState& s) { return s; });
  EXPECT_EQ(state.device, 0);
  EXPECT_EQ(state.second, 1);
  EXPECT_EQ(state.recording, 1);
}

}  // namespace
}  // namespace pages::fridge
