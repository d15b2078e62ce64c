// The sensor verbs of the tool-cli binary against the simulated sensor.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/register_map.h"

namespace pages::sensor {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

class SensorCli : public pages::testing::ToolCliTest {
 protected:
  SensorCli() : ToolCliTest("sensor") {}
};

TEST_F(SensorCli, FindMoveAndReadTheSensor) {

  // Opened at 115200, where the sensor hears nothing: found by the search at 9600.
  ToolRun r = Run({"find-address", "--baud", "115200"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"address\":1,\"baud-index\":3,"
            "\"baud\":\"9600\"}}\n");

  // Refused before anything is sent.
  const size_t before = sim_.Requests();
  r = RunToolCli({"sensor", "set-address", "--new", "70000", "--port", Port()});
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.out.find("地址应在1-65535"), std::string::npos) << r.out;
  EXPECT_EQ(sim_.Requests(), before);

  r = Run({"set-address", "--new", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(sim_.simulator.WithDevice([](sim::Instrument& d) { return int{d.address}; }), 5);

  r = RunTcp({"read-channel-types", "--address", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"row-2\":\"数字式传感器-湿度\""), std::string::npos) << r.out;

  r = Run({"read-versions", "--address", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"hardware\":\"1.23\",\"software\":\"2.05\""), std::string::npos) << r.out;

  r = Run({"set-baud", "--rate", "4800", "--address", "5"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(sim_.Device<sim::RegisterMapState>(
                [](sim::RegisterMapState& s) { return s.registers.at(sim::kBaudRegister); }),
            2);

  r = Run({"read-sn", "--address", "5", "--baud", "4800"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"text\":\"7EAC00001\""), std::string::npos) << r.out;

  // At the old rate it is gone.
  r = Run({"read-sn", "--address", "5"});
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.out.find("数据读取失败"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pages::sensor
