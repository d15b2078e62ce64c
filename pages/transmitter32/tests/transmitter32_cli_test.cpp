// The transmitter32 verbs of the tool-cli binary against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/transmitter32.h"

namespace pages::transmitter32 {
namespace {

using pages::testing::ToolRun;

class Transmitter32CliTest : public pages::testing::ToolCliTest {
 protected:
  Transmitter32CliTest() : ToolCliTest("transmitter32") {}
};

TEST_F(Transmitter32CliTest, IntervalsSmsAlarmAndApnRoundTrip) {
  ToolRun run = Run({"write-intervals", "--history", "10", "--print", "5", "--alarm", "2"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"设置成功\",\"values\":{}}\n");
  run = Run({"read-intervals"});
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"history\":10,\"print\":5,\"alarm\":2}}\n");

  run = Run({"write-sms-alarm", "--scope", "external", "--sound-light", "off", "--sms", "on"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-sms-alarm", "--scope", "external"});
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"sms\":true,\"sound-light\":false}}\n");

  run = Run({"write-apn", "--apn", "CMNET", "--user", "guest", "--password", "secret"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-apn"});
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"apn\":\"CMNET\",\"user\":\"guest\","
            "\"password\":\"secret\"}}\n");
}

TEST_F(Transmitter32CliTest, RefusedInputSendsNothing) {
  const std::vector<std::vector<std::string>> refused = {
      {"write-apn", "--apn", "  "},
      {"write-intervals", "--history", "0", "--print", "0", "--alarm", "1"},
      {"write-sms-alarm", "--scope", "master", "--sound-light", "on", "--sms", "on"},
      {"write-sms-alarm", "--scope", "external", "--sms", "on"},
  };
  for (const auto& words : refused) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << words[0] << run.out << run.err;
  }
  EXPECT_NE(Run(refused[0]).out.find("APN号不能为空！"), std::string::npos);
  EXPECT_EQ(sim_.Requests(), 0u);
}

}  // namespace
}  // namespace pages::transmitter32
