// The 32-bit card kind: a card's points from calibration files written by libcalstore (and one
// crafted beyond what it reads) and the card of a channel's configuration from the simulated
// recorder (both through tool-cli in card_file_cli_test.cpp).
#include "calibration/curves/card_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "calstore.h"
#include "calstore/src/utf.h"
#include "pages/testing/sim_fixtures.h"
#include "pages/testing/temp_folder.h"
#include "sim/families/property.h"

namespace pages::curvecal {
namespace {

namespace fs = std::filesystem;

class CardFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = pages::testing::NewTempFolder("curvecal-card");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // Card 1001 measured at all five temperature points, card 1002 at three of them; card 1002
  // also has a humidity record.
  std::string MakeFile() {
    const std::string path = (dir_ / "cards.jz").string();
    const std::u16string wide = calstore::Utf8ToUtf16(path);
    const float temperature[] = {-20, 0, 20, 40, 60};
    const int32_t cards[] = {1001, 1002};
    float measured[20];
    std::fill(std::begin(measured), std::end(measured), JZ_NO_VALUE);
    const float full[] = {-19.5f, 0.5f, 20.25f, 40.5f, 61.0f};
    std::copy(std::begin(full), std::end(full), measured);
    measured[10] = -21.0f;
    measured[12] = 19.0f;
    measured[14] = 59.5f;
    EXPECT_EQ(JZCreateFile(wide.c_str(), JZ_TEMPERATURE, temperature, 5, cards, 2, measured, 0), 0);
    const std::string humidityPath = (dir_ / "humidity.jz").string();
    const std::u16string wideHumidity = calstore::Utf8ToUtf16(humidityPath);
    const float humidity[] = {20, 80};
    float humid[10] = {22.0f, 78.5f};
    EXPECT_EQ(JZCreateFile(wideHumidity.c_str(), JZ_HUMIDITY, humidity, 2, cards + 1, 1, humid, 0),
              0);
    const std::u16string both = calstore::Utf8ToUtf16(path);
    EXPECT_EQ(JZCombineFiles(both.c_str(), both.c_str(), wideHumidity.c_str()), 0);
    return path;
  }
  fs::path dir_;
};

TEST_F(CardFileTest, LoadsTheMeasuredPointsOfOneCard) {
  const std::string file = MakeFile();
  // 256 distinct reference points: more than the reader hands out.
  const std::string crowded = (dir_ / "crowded.jz").string();
  {
    std::ofstream out(crowded, std::ios::binary);
    for (int32_t r = 0; r < 128; ++r) {
      const uint8_t header[8] = {0, 0, 0xEC, 0x3C, 1, 0, 0, 0};
      const float segment[4] = {2.0f * r, 2.0f * r + 1, 1.0f, 0.0f};
      out.write(reinterpret_cast<const char*>(header), sizeof header);
      out.write(reinterpret_cast<const char*>(&r), sizeof r);
      out.write(reinterpret_cast<const char*>(segment), sizeof segment);
    }
  }
  const struct {
    std::string path;
    int card;
    bool humidity;
    std::vector<CurvePair> pairs;  // empty: the message below
    std::string message;
  } cases[] = {
      {"", 1002, false, {}, "校准文件无效！"},
      {(dir_ / "missing.jz").string(), 1002, false, {}, "校准文件无效！"},
      {dir_.string(), 1002, false, {}, "校准文件无效！"},
      {file, 9999, false, {}, "卡片 00009999 的校准信息载入失败！"},
      {file, 1001, true, {}, "卡片 00001001 的校准信息载入失败！"},
      {crowded, 1, false, {}, "打开文件失败！\r\n\r\n" + crowded + "\r\n\r\n错误代码：103"},
      {file, 1002, false, {{-20, -21}, {20, 19}, {60, 59.5}}, ""},
      {file, 1001, false, {{-20, -19.5}, {0, 0.5}, {20, 20.25}, {40, 40.5}, {60, 61}}, ""},
      {file, 1002, true, {{20, 22}, {80, 78.5}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " card " + std::to_string(c.card));
    const auto loaded = LoadCalibrationFile(c.path, c.card, c.humidity);
    EXPECT_EQ(loaded.message(), c.message);
    ASSERT_EQ(loaded.ok(), c.message.empty());
    ASSERT_EQ(loaded.value.pairs.size(), c.pairs.size());
    for (size_t i = 0; i < c.pairs.size(); ++i) {
      EXPECT_NEAR(loaded.value.pairs[i].environment, c.pairs[i].environment, 1e-4) << i;
      EXPECT_NEAR(loaded.value.pairs[i].raw, c.pairs[i].raw, 1e-3) << i;
    }
    if (c.message == "校准文件无效！") {
      EXPECT_EQ(loaded.outcome.field, kFieldPath);
    }
  }
}

TEST_F(CardFileTest, TheCardTextIsCheckedAfterTheFile) {
  const std::string file = MakeFile();
  const struct {
    std::string path;
    std::string card;
    std::string message;
    size_t pairs;
  } cases[] = {
      {file, "00001002", "", 3},
      {file, " 1002 ", "", 3},
      {file, "0000ab12", "卡片 0000ab12 的校准信息载入失败！", 0},
      {file, "-1002", "卡片 -1002 的校准信息载入失败！", 0},
      {file, "99999999999", "卡片 99999999999 的校准信息载入失败！", 0},
      {"", "0000ab12", "校准文件无效！", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.card);
    const auto loaded = LoadCardFromFile(c.path, c.card, false);
    EXPECT_EQ(loaded.message(), c.message);
    EXPECT_EQ(loaded.value.pairs.size(), c.pairs);
  }
}

class CardChannelTest : public pages::testing::SimChannelTest {};

TEST_P(CardChannelTest, TheChannelsCardAndTypeComeFromItsConfiguration) {
  Device<sim::PropertyState>([](sim::PropertyState& s) {
    s.channels[2].type = 5;  // 温湿卡片-湿度
    s.channels[2].cardId = 0x00001234;
    s.channels[3].type = 4;  // 温湿卡片-温度
    s.channels[3].cardId = 0x20241107;
    s.channels[4].type = 2;  // 湿度传感器
    s.channels[4].cardId = 0x0000AB12;
  });
  const struct {
    int channel;
    std::string cardId;
    int card;
    bool humidity;
  } cases[] = {{3, "00001234", 1234, true}, {4, "20241107", 20241107, false},
               {5, "0000ab12", -1, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channel);
    const auto read = ReadCardChannel(channel_, c.channel);
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(read.value.cardId, c.cardId);
    EXPECT_EQ(read.value.card, c.card);
    EXPECT_EQ(read.value.humidity, c.humidity);
  }
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  EXPECT_EQ(ReadCardChannel(channel_, 3).message(), "通道信息读取失败");
}

INSTANTIATE_TEST_SUITE_P(Channels, CardChannelTest, ::testing::Values(false, true),
                         pages::testing::SimChannelTest::ChannelName);

}  // namespace
}  // namespace pages::curvecal
