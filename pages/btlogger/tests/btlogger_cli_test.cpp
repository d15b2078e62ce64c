// The btlogger verbs of the tool-cli binary against the simulated adapter and logger.
#include <gtest/gtest.h>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/bluetooth_logger.h"

namespace pages::btlogger {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

// Every run goes through the adapter to the logger with this MAC.
class BtLoggerCli : public pages::testing::ToolCliTest {
 protected:
  BtLoggerCli() : ToolCliTest("btlogger", {"--mac", "00-1a-7d-da-71-13"}) {}
};

TEST_F(BtLoggerCli, EveryVerbThroughTheAdapter) {
  sim_.Device<sim::BluetoothAdapterState>(
      [](sim::BluetoothAdapterState& s) { s.connected = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}; });
  auto run = [&](std::vector<std::string> words) { return Run(std::move(words), 40); };

  ToolRun r = run({"read-channels"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"maximum\":8,\"count\":2,"
            "\"channel-1\":\"温度\",\"channel-1-type\":1,\"channel-2\":\"湿度\","
            "\"channel-2-type\":2,\"types\":\"temperature,humidity\"}}\n");

  // Refused before anything is sent: a row without a type, a MAC that is not twelve digits.
  size_t before = sim_.Requests();
  r = run({"write-channels", "--types", "humidity,warm"});
  EXPECT_EQ(r.exit, 2) << r.out << r.err;
  EXPECT_NE(r.out.find("请删除无效行或填入有效数据！"), std::string::npos) << r.out;
  r = RunToolCli({"btlogger", "clear", "--mac", "00:1A:7D:DA:71", "--port", Port()});
  EXPECT_EQ(r.exit, 2) << r.out << r.err;
  EXPECT_NE(r.out.find("MAC 地址格式错误"), std::string::npos) << r.out;
  EXPECT_EQ(sim_.Requests(), before);

  r = run({"write-channels", "--types", "humidity, temperature,humidity"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"count\":3"), std::string::npos) << r.out;
  const auto logger =
      sim_.Device<sim::BluetoothLoggerState>([](sim::BluetoothLoggerState& s) { return s; });
  EXPECT_EQ(logger.header[45], 3);
  EXPECT_EQ(logger.records[0][1], 2);
  EXPECT_EQ(logger.records[1][1], 1);
  EXPECT_EQ(logger.records[2][1], 2);

  r = run({"write-channels", "--types",
           "temperature,temperature,temperature,temperature,"
           "temperature,temperature,temperature,temperature,humidity"});
  EXPECT_EQ(r.exit, 2) << r.out << r.err;
  EXPECT_NE(r.out.find("err:配置数量不能大于8"), std::string::npos) << r.out;

  r = run({"clear"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("历史数据清除成功"), std::string::npos) << r.out;

  r = run({"write-sn", "--year", "2026", "--month", "12", "--serial", "7"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = run({"read-sn"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"text\":\"7EAC00007\""), std::string::npos) << r.out;

  r = run({"set-clock"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  r = run({"read-clock"});
  ASSERT_EQ(r.exit, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\"text\":\"20"), std::string::npos) << r.out;

  // The adapter's serial port is needed also when the instrument is asked for over TCP.
  r = RunToolCli({"btlogger", "read-sn", "--mac", "00:1A:7D:DA:71:13", "--tcp", "127.0.0.1:1"});
  EXPECT_EQ(r.exit, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("串口打开失败"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pages::btlogger
