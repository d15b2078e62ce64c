// The relay verbs of the tool-cli binary against the simulated relay on a pseudo-terminal.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"

namespace pages::relay {
namespace {

using pages::testing::ToolRun;

class RelayCliTest : public pages::testing::ToolCliTest {
 protected:
  RelayCliTest() : ToolCliTest("relay", {"--fast"}) {}
};

TEST_F(RelayCliTest, GprsInstrumentsPhonesAndClockRoundTrip) {
  ToolRun run = Run({"write-gprs", "--interval", "10", "--server-port", "3550", "--sn",
                     "0A1B00042", "--mode", "domain", "--domain", "relay.example.org"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-gprs"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"获取设备配置成功!\",\"values\":{\"interval\":10,"
            "\"server-port\":3550,\"ip\":\"0.0.0.0\",\"sn\":\"0a1b00042\",\"domain\":"
            "\"relay.example.org\",\"gprs\":true,\"mode\":\"domain\"}}\n");

  run = Run({"write-instruments", "--row", "1:95,0A1B00042,25.5,-10.25,on", "--row",
             "2:96,0A1B00043,30,0,off"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-instruments"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"count\":2,\"row-1\":\"0095,0A1B00042,25.50,-10.25,on\","
                         "\"row-2\":\"0096,0A1B00043,30.00,0.00,off\"}"),
            std::string::npos)
      << run.out;

  run = Run({"write-phones", "--1", "13800138000", "--3", "13900139000"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-phones"});
  EXPECT_NE(run.out.find("\"1\":\"13800138000\",\"2\":\"\",\"3\":\"13900139000\""),
            std::string::npos)
      << run.out;

  run = Run({"set-time", "--at", "2026-01-02 03:04:05"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read-time"});
  EXPECT_NE(run.out.find("2026-01-02 03:04:05"), std::string::npos) << run.out;
}

TEST_F(RelayCliTest, RefusedInputSendsNothing) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"write-phones", "--2", "1380013800"},
        std::vector<std::string>{"write-instruments", "--row", "11:1,,,,on"},
        std::vector<std::string>{"write-instruments", "--row", "1:12345,,,,on"},
        std::vector<std::string>{"write-gprs", "--interval", "1", "--server-port", "3550",
                                 "--sn", "0A1B0004"},
        std::vector<std::string>{"set-time", "--at", "yesterday"}}) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << words[0] << run.out << run.err;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
}

}  // namespace
}  // namespace pages::relay
