// The sensor verbs of the tool-cli binary against the simulated sensor.
#include <gtest/gtest.h>

#include "pages/testing/sim_link.h"
#include "pages/testing/tool_cli.h"
#include "sim/families/register_map.h"

namespace pages::sensor {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

TEST(SensorCli, FindMoveAndReadTheSensor) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartSerial(&error)) << error;
  ASSERT_TRUE(sim.StartTcp(&error)) << error;
  sim.link.serial.ClosePort();
  const std::string port = sim.SerialPath();
  const std::string tcp = "127.0.0.1:" + std::to_string(sim.TcpPort());

  // Opened at 115200, where the sensor hears nothing: found by the search at 9600.
  ToolRun r = RunToolCli({"sensor", "find-address", "--port", port, "--baud", "115200", "--delay",
                          "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"address\":1,\"baud-index\":3,"
            "\"baud\":\"9600\"}}\n");

  // Refused before anything is sent.
  const size_t before = sim.Requests();
  r = RunToolCli({"sensor", "set-address", "--new", "70000", "--port", port});
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.out.find("地址应在1-65535"), std::string::npos) << r.out;
  EXPECT_EQ(sim.Requests(), before);

  r = RunToolCli({"sensor", "set-address", "--new", "5", "--port", port, "--delay", "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(sim.simulator.WithDevice([](sim::Instrument& d) { return int{d.address}; }), 5);

  r = RunToolCli({"sensor", "read-channel-types", "--address", "5", "--tcp", tcp, "--delay", "40"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"row-2\":\"数字式传感器-湿度\""), std::string::npos) << r.out;

  r = RunToolCli({"sensor", "read-versions", "--address", "5", "--port", port, "--delay", "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"hardware\":\"1.23\",\"software\":\"2.05\""), std::string::npos) << r.out;

  r = RunToolCli({"sensor", "set-baud", "--rate", "4800", "--address", "5", "--port", port,
                  "--delay", "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(sim.Device<sim::RegisterMapState>(
                [](sim::RegisterMapState& s) { return s.registers.at(sim::kBaudRegister); }),
            2);

  r = RunToolCli({"sensor", "read-sn", "--address", "5", "--port", port, "--baud", "4800",
                  "--delay", "60"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"text\":\"7EAC00001\""), std::string::npos) << r.out;

  // At the old rate it is gone.
  r = RunToolCli({"sensor", "read-sn", "--address", "5", "--port", port, "--delay", "60"});
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.out.find("数据读取失败"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pages::sensor
