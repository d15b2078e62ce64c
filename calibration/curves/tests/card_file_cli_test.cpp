// The 32-bit card kind through tool-cli: a channel's card from the simulated recorder, then its
// points from a calibration file written by libcalstore.
#include "calibration/curves/card_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "calstore.h"
#include "calstore/src/utf.h"
#include "pages/testing/sim_fixtures.h"
#include "sim/families/property.h"

namespace pages::curvecal {
namespace {

namespace fs = std::filesystem;

class CardCliTest : public pages::testing::ToolCliTest {
 protected:
  CardCliTest() : ToolCliTest("curvecal") {}
};

TEST_F(CardCliTest, ReadTheCardThenItsPointsFromAFile) {
  sim_.Device<sim::PropertyState>([](sim::PropertyState& s) {
    s.channels[0].type = 4;
    s.channels[0].cardId = 0x00001002;
  });
  pages::testing::ToolRun run = Run({"read-card", "--channel", "1"});
  ASSERT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"card-id\":\"00001002\",\"card\":1002,"
            "\"humidity\":false}}\n");

  std::string pattern = (fs::temp_directory_path() / "curvecal-cli-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string path = pattern + "/h.jz";
  const std::u16string wide = calstore::Utf8ToUtf16(path);
  const float references[] = {20, 80};
  const int32_t card = 1002;
  const float measured[10] = {22.0f, 78.5f};
  ASSERT_EQ(JZCreateFile(wide.c_str(), JZ_HUMIDITY, references, 2, &card, 1, measured, 0), 0);
  // The file alone: no connection is asked for, and one given is refused.
  run = pages::testing::RunToolCli(
      {"curvecal", "load-file", "--path", path, "--card", "1002", "--type", "humidity"});
  EXPECT_EQ(run.exit, 0) << run.out << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"message\":\"\",\"values\":{\"pairs\":2,\"environment-1\":20,"
            "\"raw-1\":22,\"environment-2\":80,\"raw-2\":78.5,\"curve\":\"20:22,80:78.5\"}}\n");
  run = pages::testing::RunToolCli(
      {"curvecal", "load-file", "--path", path, "--card", "1002", "--type", "temperature"});
  EXPECT_NE(run.out.find("卡片 00001002 的校准信息载入失败！"), std::string::npos) << run.out;
  run = Run({"load-file", "--path", path, "--card", "1002", "--type", "humidity"});
  EXPECT_EQ(run.exit, 2) << run.out;
  EXPECT_NE(run.out.find("talks to no instrument"), std::string::npos) << run.out;
  std::error_code ec;
  fs::remove_all(pattern, ec);
}

}  // namespace
}  // namespace pages::curvecal
