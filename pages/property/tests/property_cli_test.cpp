// The tool-cli binary's property verbs against the simulator over a pseudo-terminal and
// loopback TCP: what one verb writes, the matching read verb prints back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/property.h"
#include "sim/families/serial_number.h"

namespace {

using pages::testing::ToolRun;

class PropertyCli : public pages::testing::ToolCliTest {
 protected:
  PropertyCli() : ToolCliTest("property") {}

  // tool-cli property <words...> over the pseudo-terminal (or TCP when `tcp` is set).
  ToolRun Tool(std::vector<std::string> words, bool tcp = false) {
    return tcp ? RunTcp(std::move(words), 40) : Run(std::move(words), 40);
  }

  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::PropertyState>(std::forward<F>(f));
  }
};

TEST_F(PropertyCli, ChannelRoundTrip) {
  ToolRun write = Tool({"write-channel", "--channel", "12", "--type-code", "53", "--card-id",
                    "0A0B0C0D", "--sn", "1A2B00042", "--upper", "1100.5", "--lower", "500",
                    "--sound-light", "1"});
  EXPECT_EQ(write.exit, 0) << write.out;
  EXPECT_EQ(write.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  ToolRun read = Tool({"read-channel", "--channel", "12"});
  EXPECT_EQ(read.exit, 0) << read.out;
  EXPECT_EQ(read.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"channel\":12,\"type-code\":53,"
            "\"type\":\"LORA-大气压\",\"sound-light\":true,\"sms\":false,"
            "\"card-id\":\"0a0b0c0d\",\"sn\":\"1a2b00042\",\"upper\":1100.5,\"lower\":500}}\n");
  EXPECT_EQ(Device([](sim::PropertyState& s) { return s.channels[11].cardId; }), 0x0A0B0C0Du);
}

TEST_F(PropertyCli, RefusedWriteExitsTwoAndSendsNothing) {
  ToolRun write = Tool({"write-channel", "--channel", "1", "--type-code", "2", "--card-id",
                    "0A0B0C0D", "--sn", "1A2B00042", "--upper", "120", "--lower", "0"});
  EXPECT_EQ(write.exit, 2);
  EXPECT_EQ(write.out,
            "{\"ok\":false,\"message\":\"上限必须不小于下限!\\r\\n范围: 0.0 ~ 100.0\","
            "\"option\":\"--upper\",\"values\":{}}\n");
  EXPECT_TRUE(sim_.simulator.RequestLog().empty());
}

TEST_F(PropertyCli, ProtectionTextsAndServersRoundTrip) {
  ASSERT_EQ(Tool({"write-protection", "--channel", "2", "--upper", "70.5", "--lower", "-20"}).exit,
            0);
  EXPECT_EQ(Tool({"read-protection", "--channel", "2"}).out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"channel\":2,\"upper\":70.5,"
            "\"lower\":-20}}\n");

  ASSERT_EQ(Tool({"write-company", "--company", "华南冷链"}).exit, 0);
  EXPECT_EQ(Tool({"read-company"}).out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"company\":\"华南冷链\"}}\n");
  ASSERT_EQ(Tool({"write-plate", "--plate", "粤B12345"}).exit, 0);
  EXPECT_EQ(Tool({"read-plate"}).out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"plate\":\"粤B12345\"}}\n");

  ToolRun ip = Tool({"write-server", "--server", "data", "--mode", "ip", "--ip", "127.0.0.1",
                 "--server-port", "11111"});
  EXPECT_EQ(ip.out, "{\"ok\":true,\"message\":\"设置成功\",\"values\":{}}\n");
  EXPECT_EQ(Tool({"read-server", "--server", "data"}).out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"server\":\"data\",\"mode\":\"ip\","
            "\"ip\":\"127.0.0.1\",\"server-port\":11111,\"domain\":\"0.0.0.0\"}}\n");
  ASSERT_EQ(Tool({"write-server", "--server", "config", "--mode", "domain", "--domain",
                  "cfg.example.org", "--server-port", "8080"})
                .exit,
            0);
  EXPECT_EQ(Tool({"read-server", "--server", "config"}).out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"server\":\"config\",\"mode\":\"domain\","
            "\"ip\":\"0.0.0.0\",\"server-port\":8080,\"domain\":\"cfg.example.org\"}}\n");
}

TEST_F(PropertyCli, SnOfThePageIsWrittenAndRead) {
  ToolRun write = Tool({"write-sn", "--year", "2025", "--month", "3", "--serial", "4660"});
  EXPECT_EQ(write.exit, 0) << write.out;
  EXPECT_EQ(sim_.simulator.WithDevice([](sim::Instrument& d) {
              return d.State<sim::SerialNumberState>().serial;
            }),
            4660);
  ToolRun read = Tool({"read-sn"});
  EXPECT_EQ(read.exit, 0) << read.out;
  EXPECT_NE(read.out.find("7E9304660"), std::string::npos) << read.out;
}

TEST_F(PropertyCli, OverTcp) {
  ToolRun write = Tool({"write-plate", "--plate", "TCP-1"}, true);
  EXPECT_EQ(write.exit, 0) << write.out;
  ToolRun read = Tool({"read-plate"}, true);
  EXPECT_EQ(read.out, "{\"ok\":true,\"message\":\"\",\"values\":{\"plate\":\"TCP-1\"}}\n");
  ToolRun channel = Tool({"read-channel", "--channel", "1"}, true);
  EXPECT_EQ(channel.exit, 0) << channel.out;
  EXPECT_NE(channel.out.find("\"card-id\":\"0a0b0c0d\""), std::string::npos) << channel.out;
}

}  // namespace
