// The per-channel curve verbs of the tool-cli binary against the simulated instruments on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include "calibration/curves/curvecal_commands.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/channel_curves.h"

namespace pages::curvecal {
namespace {

using pages::testing::SimChannelTest;
using pages::testing::ToolRun;

class CurveCliTest : public pages::testing::ToolCliTest {
 protected:
  CurveCliTest() : ToolCliTest("curvecal") {}
};

TEST_F(CurveCliTest, WriteThenReadAChannelsCurve) {
  ToolRun run = Run({"write", "--kind", "0", "--channel", "1", "--type", "temperature", "--pairs",
                     "50:49.5,25:24.6"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  run = Run({"read", "--kind", "0", "--channel", "1", "--type", "temperature"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"pairs\":2,\"environment-1\":25,"
            "\"raw-1\":24.6,\"environment-2\":50,\"raw-2\":49.5,\"curve\":\"25:24.6,50:49.5\"}}\n");
}

// Through tool-cli: --kind is a number, and a channel list that holds no curve gives a profile
// of no groups, which applies as nothing to write.
TEST_F(CurveCliTest, SnapshotAndApplyTakeTheKind) {
  ASSERT_EQ(Run({"write", "--kind", "0", "--channel", "2", "--type", "temperature", "--pairs",
                 "25:24.6"}).exit, 0);
  const std::string full = ::testing::TempDir() + "curvecal_full.json";
  const std::string none = ::testing::TempDir() + "curvecal_none.json";
  ToolRun run = Run({"snapshot", "--kind", "0", "--out", full});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"groups\":1"), std::string::npos) << run.out;
  run = Run({"snapshot", "--kind", "0", "--channels", "1", "--out", none});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"groups\":0"), std::string::npos) << run.out;
  for (const std::string& file : {full, none}) {
    run = Run({"apply", "--in", file});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
  }
}

TEST_F(CurveCliTest, RefusedInputSendsNothing) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"write", "--kind", "0", "--channel", "1", "--type", "temperature", "--pairs", "25"},
       "请删除无效行或填入有效数据！"},
      {{"write", "--kind", "0", "--channel", "3", "--type", "temperature", "--pairs", "1:1"},
       "\"option\":\"--channel\""},
      {{"read", "--kind", "2", "--channel", "9", "--type", "humidity"},
       "\"option\":\"--channel\""},
      // A snapshot of no channel or of one the kind lacks.
      {{"snapshot", "--kind", "0", "--channels", "", "--out", ::testing::TempDir() + "c.json"},
       "\"option\":\"--channels\""},
      {{"snapshot", "--kind", "0", "--channels", "1,,2", "--out", ::testing::TempDir() + "c.json"},
       "\"option\":\"--channels\""}};
  for (const auto& [words, text] : cases) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
}

}  // namespace
}  // namespace pages::curvecal
