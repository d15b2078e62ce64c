// The logger kind (2) over the real serial and TCP channels against the simulated logger: what is
// initialised and written reads back through the channel list's mapping, and the tool-cli verbs
// (with --fast, so a reply is taken the moment it is whole) on a pseudo-terminal.
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

const std::vector<double> kDefaultTemperature{180,  248,  411,  646,  970,  1375, 1822, 2260,
                                              2676, 3021, 3285, 3495, 3648, 3762, 3835};

class LoggerSimTest : public SimChannelTest {
 protected:
  void SetUp() override {
    SimChannelTest::SetUp();
    // Physical channels 3, 6 and 8 fitted: logical 1, 2, 3 with codes 12, 5 and 0 (code 0's
    // write has the shape of a relay frame).
    Device<sim::LoggerCurvesState>([](sim::LoggerCurvesState& s) {
      s.channelMap = 0b10100100;
      s.codes = {1, 2, 12, 3, 4, 5, 6, 0};
      s.raw = {0, 0, 1900, 0, 0, 2500, 0, 3700};
      s.display = {0, 0, 0, 0, 0, 0, 0, 0};
      s.display[1] = -18.5f;
    });
  }
  std::vector<double> Readings(const CurveTarget& target) {
    CurveBuffer buffer;
    const auto curve = ReadCurve(channel_, target, buffer);
    EXPECT_TRUE(curve.ok()) << curve.message() << " " << curve.outcome.detail;
    return curve.value.readings;
  }
};

TEST_P(LoggerSimTest, InitialisedAndWrittenCurvesReadBackPerChannel) {
  const CurveTarget first{InstrumentKind::Logger, 1, false};
  const CurveTarget third{InstrumentKind::Logger, 3, false};
  CurveBuffer buffer;
  const auto blank = ReadCurve(channel_, third, buffer);
  ASSERT_TRUE(blank.ok()) << blank.message() << " " << blank.outcome.detail;
  EXPECT_EQ(blank.message(), kNotCalibrated);

  for (const CurveTarget& target : {first, third}) {
    SCOPED_TRACE(target.channel);
    ASSERT_EQ(InitialiseLoggerCurve(channel_, target, "").message, kWriteOk);
    EXPECT_EQ(Readings(target), kDefaultTemperature);
  }
  // "全调" on channel 3 with three values; channel 1 keeps its curve.
  ASSERT_EQ(WriteLoggerReadings(channel_, third, {100, 200, 300}, buffer).message, kWriteOk);
  std::vector<double> written(15, 0);
  written[0] = 100;
  written[1] = 200;
  written[2] = 300;
  EXPECT_EQ(Readings(third), written);
  EXPECT_EQ(Readings(first), kDefaultTemperature);

  // Single point on channel 1 (physical 3, raw 1900) at 25.0 °C: reading 7 from reading 6.
  ASSERT_EQ(WriteLoggerPoint(channel_, first, 25.0, buffer).message, kWriteOk);
  std::vector<double> point = kDefaultTemperature;
  point[7] = 1822 + (1900 - 1822) / 5.0 * 10;
  EXPECT_EQ(Readings(first), point);
  EXPECT_EQ(Device<sim::LoggerCurvesState>([](sim::LoggerCurvesState& s) { return s.writes; }), 4);

  // Live values: channel 2 is physical 6.
  const CurveTarget second{InstrumentKind::Logger, 2, true};
  const auto raw = ReadLoggerRawValue(channel_, second);
  ASSERT_TRUE(raw.ok()) << raw.message();
  EXPECT_EQ(raw.value.value, 2500);
  const auto display = ReadDisplayValue(channel_, second);
  ASSERT_TRUE(display.ok()) << display.message() << " " << display.outcome.detail;
  EXPECT_EQ(display.value.value, -18.5);

  // Not in the channel list.
  EXPECT_EQ(ReadCurve(channel_, {InstrumentKind::Logger, 4, false}, buffer).message(),
            kChannelNotListed);
}

TEST_P(LoggerSimTest, ASilentLoggerFailsTheWriteAndChangesNothing) {
  const CurveTarget target{InstrumentKind::Logger, 2, true};
  ASSERT_EQ(InitialiseLoggerCurve(channel_, target, "").message, kWriteOk);
  CurveBuffer buffer;
  ASSERT_TRUE(ReadCurve(channel_, target, buffer).ok());
  sim::Faults faults;
  faults.silent = true;
  faults.onlyNext = GetParam() ? 3 : 1;  // TCP tries three times
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadCurve(channel_, target, buffer).message(), kChannelReadFailed);
  EXPECT_EQ(Readings(target).size(), 11u);
}

INSTANTIATE_TEST_SUITE_P(Channels, LoggerSimTest, ::testing::Values(false, true),
                         SimChannelTest::ChannelName);

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
            "\"reading-10\":925,\"reading-11\":1025}}\n");

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
            "\"reading-11\":0}}\n");
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
