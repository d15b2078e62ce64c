// The logger kind's verbs of the tool-cli binary (with --fast, so a reply is taken the moment
// it is whole) against the simulated logger on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "calibration/curves/curvecal_commands.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/logger_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;
using pages::testing::ToolRun;

class LoggerCliTest : public pages::testing::ToolCliTest {
 protected:
  LoggerCliTest() : ToolCliTest("curvecal", {"--fast"}) {}
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string IniFile(const std::string& text) {
    dir_ = std::filesystem::temp_directory_path() /
           ("logger-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    const std::string path = (dir_ / "card.ini").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(LoggerCliTest, InitialiseWriteAndReadThroughTheVerbs) {
  const std::string ok = "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n";
  const std::string path = IniFile("[humi]\r\n30\r\n130\r\n");
  ToolRun run = Run({"initialise", "--kind", "2", "--channel", "1", "--type", "humidity",
                     "--path", path});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, ok);
  run = Run({"read", "--kind", "2", "--channel", "1", "--type", "humidity"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"readings\":11,\"reading-1\":30,"
            "\"reading-2\":130,\"reading-3\":225,\"reading-4\":325,\"reading-5\":427,"
            "\"reading-6\":525,\"reading-7\":626,\"reading-8\":725,\"reading-9\":834,"
            "\"reading-10\":925,\"reading-11\":1025,"
            "\"curve\":\"30,130,225,325,427,525,626,725,834,925,1025\"}}\n");

  // "全调" (the default for kind 2) with plain values and with pairs, then a single point.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--pairs", "11,22,33"},
        std::vector<std::string>{"--all", "--pairs", "11:0,22:0,33:0"}}) {
    std::vector<std::string> all{"write", "--kind", "2", "--channel", "2", "--type", "humidity"};
    all.insert(all.end(), words.begin(), words.end());
    run = Run(all);
    ASSERT_EQ(run.exit, 0) << run.out << run.err;
    EXPECT_EQ(run.out, ok);
  }
  sim_.Device<sim::LoggerCurvesState>([](sim::LoggerCurvesState& s) { s.raw[1] = 40; });
  run = Run({"write", "--kind", "2", "--channel", "2", "--type", "humidity", "--single",
             "--pairs", "10"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  run = Run({"read", "--kind", "2", "--channel", "2", "--type", "humidity"});
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"readings\":11,\"reading-1\":11,"
            "\"reading-2\":40,\"reading-3\":33,\"reading-4\":0,\"reading-5\":0,\"reading-6\":0,"
            "\"reading-7\":0,\"reading-8\":0,\"reading-9\":0,\"reading-10\":0,"
            "\"reading-11\":0,\"curve\":\"11,40,33,0,0,0,0,0,0,0,0\"}}\n");
}

TEST_F(LoggerCliTest, RefusedInputSendsNothing) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"write", "--kind", "2", "--channel", "1", "--type", "temperature", "--single", "--pairs",
        "25,30"},
       "请删除多余行！"},
      {{"write", "--kind", "2", "--channel", "1", "--type", "temperature", "--pairs", "180,-5"},
       "请删除无效行或填入有效数据！"},
      {{"write", "--kind", "2", "--channel", "1", "--type", "temperature", "--single", "--pairs",
        "120"},
       "请删除无效行或填入有效数据！"},
      {{"write", "--kind", "0", "--channel", "1", "--type", "temperature", "--all", "--pairs",
        "1:1"},
       "\"option\":\"--all\""},
      {{"write", "--kind", "2", "--channel", "1", "--type", "temperature", "--all", "--single",
        "--pairs", "1"},
       "\"option\":\"--single\""},
      {{"initialise", "--kind", "2", "--channel", "9", "--type", "temperature"},
       "\"option\":\"--channel\""},
      {{"initialise", "--kind", "0", "--channel", "1", "--type", "temperature"},
       "\"option\":\"--kind\""}};
  for (const auto& [words, text] : cases) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
  const ToolRun help = Run({"write", "--help"});
  EXPECT_NE(help.out.find("--single "), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("(flag)"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace pages::curvecal
