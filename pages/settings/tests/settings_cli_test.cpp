// The settings verbs of the tool-cli binary against the simulator on a pseudo-terminal: what a
// verb writes, the matching read verb prints back.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "pages/testing/sim_fixtures.h"
#include "sim/families/clock.h"
#include "sim/families/settings.h"

namespace pages::settings {
namespace {

using pages::testing::RunToolCli;
using pages::testing::ToolRun;

class SettingsCliTest : public pages::testing::ToolCliTest {
 protected:
  SettingsCliTest() : ToolCliTest("settings", {"--address", "1"}) {}
};

TEST_F(SettingsCliTest, AlarmLimitsRoundTrip) {
  const ToolRun write = Run({"write-alarm-limits", "--temp-lower", "-10", "--temp-upper", "40",
                             "--hum-lower", "20.5", "--hum-upper", "85"});
  ASSERT_EQ(write.exit, 0) << write.out << write.err;
  EXPECT_EQ(write.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  const ToolRun read = Run({"read-alarm-limits"});
  ASSERT_EQ(read.exit, 0) << read.out << read.err;
  EXPECT_EQ(read.out,
            "{\"ok\":true,\"message\":\"数据读取成功\",\"values\":{\"temp-lower\":-10,"
            "\"temp-upper\":40,\"hum-lower\":20.5,\"hum-upper\":85}}\n");
}

TEST_F(SettingsCliTest, RecordingRoundTripInHours) {
  const ToolRun write =
      Run({"write-recording", "--interval", "6", "--unit", "hours", "--capacity", "300"});
  ASSERT_EQ(write.exit, 0) << write.out << write.err;
  const ToolRun read = Run({"read-recording"});
  ASSERT_EQ(read.exit, 0) << read.out << read.err;
  EXPECT_EQ(read.out,
            "{\"ok\":true,\"message\":\"数据读取成功\",\"values\":{\"interval\":6,"
            "\"unit\":\"hours\",\"capacity\":300}}\n");
}

TEST_F(SettingsCliTest, AddressChangeAndRefusal) {
  const ToolRun set = Run({"set-address", "--old", "1", "--new", "12"});
  ASSERT_EQ(set.exit, 0) << set.out << set.err;
  EXPECT_EQ(set.out, "{\"ok\":true,\"message\":\"地址设置成功\",\"values\":{\"address\":12}}\n");
  EXPECT_EQ(sim_.simulator.WithDevice([](sim::Instrument& d) { return d.address; }), 12);
  const size_t before = sim_.Requests();
  const ToolRun refused = Run({"set-address", "--old", "12", "--new", "0"});
  EXPECT_EQ(refused.exit, 2);  // nothing was sent: the input was refused
  EXPECT_NE(refused.out.find("地址号范围为1-255"), std::string::npos) << refused.out;
  EXPECT_EQ(sim_.Requests(), before);
}

TEST_F(SettingsCliTest, ClockOfThePageIsSetAndRead) {
  using std::chrono::hours;
  using std::chrono::seconds;
  sim_.Device<sim::ClockState>([](sim::ClockState& c) { c.offset = hours(-24 * 400); });
  const ToolRun set = Run({"set-clock"});
  ASSERT_EQ(set.exit, 0) << set.out << set.err;
  EXPECT_EQ(set.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  // Set to the PC's local time: whatever the time zone, within a day of the host clock.
  const seconds offset = sim_.Device<sim::ClockState>([](sim::ClockState& c) { return c.offset; });
  EXPECT_LT(std::chrono::abs(offset), hours(24)) << offset.count();

  const ToolRun read = Run({"read-clock"});
  ASSERT_EQ(read.exit, 0) << read.out << read.err;
  EXPECT_NE(read.out.find("\"ok\":true,\"message\":\"数据读取成功\""), std::string::npos)
      << read.out;
  EXPECT_NE(read.out.find("\"text\":\"20"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("\"address\":1"), std::string::npos) << read.out;
}

TEST_F(SettingsCliTest, HelpListsTheVerbs) {
  const ToolRun help = RunToolCli({"--help"});
  ASSERT_EQ(help.exit, 0) << help.err;
  for (const char* verb :
       {"set-address", "read-clock", "set-clock", "read-alarm-limits", "write-alarm-limits",
        "read-recording", "write-recording", "clear-data", "read-sample-period",
        "write-screen-off"}) {
    EXPECT_NE(help.out.find(verb), std::string::npos) << verb;
  }
}

// A profile through the binary: the exit codes a script relies on, and a document that is
// refused sends nothing.
TEST_F(SettingsCliTest, ProfileSnapshotApplyAndDiffExitCodes) {
  const std::string dir = ::testing::TempDir();
  const std::string a = dir + "/settings-a.json", b = dir + "/settings-b.json";
  const auto write = [](const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  const auto read = [](const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  };
  ASSERT_EQ(Run({"snapshot", "--out", a}).exit, 0);
  ASSERT_EQ(Run({"write-recording", "--interval", "9", "--unit", "hours", "--capacity", "77"}).exit, 0);
  ASSERT_EQ(Run({"snapshot", "--out", b}).exit, 0);
  const std::string snapshot = read(a);
  EXPECT_NE(snapshot.find("\"format\": \"tool-profile\""), std::string::npos) << snapshot;
  EXPECT_NE(snapshot.find("\"recording\": {\"interval\":10,\"unit\":\"minutes\""),
            std::string::npos)
      << snapshot;

  const ToolRun differ = RunToolCli({"profile", "diff", a, b});
  EXPECT_EQ(differ.exit, 1) << differ.out;
  EXPECT_NE(differ.out.find("{\"name\":\"recording.interval\",\"first\":10,\"second\":9}"),
            std::string::npos)
      << differ.out;
  EXPECT_EQ(RunToolCli({"profile", "diff", a, a}).exit, 0);

  // Refused documents: exit 2, not one request.
  std::string tampered = snapshot;
  const size_t limit = tampered.find("\"temp-upper\":40");
  ASSERT_NE(limit, std::string::npos) << snapshot;
  tampered.replace(limit, std::string("\"temp-upper\":40").size(), "\"temp-upper\":5000");
  std::string otherPage = snapshot;
  otherPage.replace(otherPage.find("\"settings\""), 10, "\"fridge\"");
  const std::pair<std::string, std::string> refused[] = {
      {tampered, "配置文件中的数值有误：alarm-limits.temp-upper"},
      {otherPage, "配置文件属于另一页面：fridge"},
      {snapshot.substr(0, snapshot.size() / 2), "配置文件格式错误"},
  };
  for (const auto& [document, message] : refused) {
    write(b, document);
    const size_t before = sim_.Requests();
    const ToolRun run = Run({"apply", "--in", b});
    EXPECT_EQ(run.exit, 2) << run.out;
    EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
    EXPECT_EQ(sim_.Requests(), before) << document;
  }
  EXPECT_EQ(RunToolCli({"profile", "diff", a, b}).exit, 2);

  const ToolRun applied = Run({"apply", "--in", a});
  EXPECT_EQ(applied.exit, 0) << applied.out;
  EXPECT_EQ(sim_.Device<sim::SettingsState>([](sim::SettingsState& s) { return s.interval; }), 10);
}

}  // namespace
}  // namespace pages::settings
