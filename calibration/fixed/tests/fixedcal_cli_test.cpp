// The fixed-table verbs of the tool-cli binary against the simulated instrument on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include "calibration/fixed/fixedcal_commands.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/fixed_curves.h"

namespace pages::fixedcal {
namespace {

using pages::testing::SimChannelTest;
using pages::testing::ToolRun;

class FixedCalCliTest : public pages::testing::ToolCliTest {
 protected:
  FixedCalCliTest() : ToolCliTest("fixedcal") {}
};

TEST_F(FixedCalCliTest, TableAndZeroPointVerbs) {
  ToolRun run = Run({"write-table", "--quantity", "humidity", "--values",
                     "1,11,21,31,41,51,61,71,81,91,99.99"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "{\"ok\":true,\"message\":\"数据设置成功\",\"values\":{}}\n");
  run = Run({"read-table", "--quantity", "humidity"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"point-1\":1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"point-11\":99.9"), std::string::npos) << run.out;

  run = Run({"write-zero", "--temperature", "-2.5", "--humidity", "3"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("写数据成功"), std::string::npos) << run.out;
  run = Run({"read-zero"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"temperature\":-2.5,\"humidity\":3"), std::string::npos) << run.out;
}

TEST_F(FixedCalCliTest, RefusedInputSendsNothing) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"write-table", "--quantity", "temperature", "--values", "1,2,3"}, "校准值个数不对"},
      {{"write-table", "--quantity", "humidity", "--values", "1,2,x,4,5,6,7,8,9,10,11"},
       "请键入一个数。"},
      {{"write-zero", "--temperature", "100.5", "--humidity", "0"}, "温度的矫正范围为（-100,100）"},
      {{"write-zero", "--temperature", "0", "--humidity", "-101"}, "湿度的矫正范围为（-100,100）"}};
  for (const auto& [words, message] : cases) {
    const ToolRun run = Run(words);
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
  }
  EXPECT_EQ(sim_.Requests(), 0u);
}

}  // namespace
}  // namespace pages::fixedcal
