#include "app/variants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace app {
namespace {

std::vector<std::string> Captions(int variant) {
  std::vector<std::string> captions;
  for (int kind : VariantPages(variant)) captions.emplace_back(PageCaption(kind));
  return captions;
}

TEST(Variants, DefaultVariantPages) {
  EXPECT_EQ(Captions(ParseVariantAndLabel("").variant),
            (std::vector<std::string>{"设置", "曲线校准", "历史数据", "属性设置"}));
  EXPECT_EQ(Captions(ParseVariantAndLabel("abc").variant), Captions(0));
}

TEST(Variants, ClampedHighVariantShowsDigitalSensorAndCalibration) {
  EXPECT_EQ(Captions(ParseVariantAndLabel("25 X").variant),
            (std::vector<std::string>{"数字传感器", "曲线校准"}));
  EXPECT_EQ(Captions(ParseVariantAndLabel("-7").variant),
            (std::vector<std::string>{"属性设置", "32位变送器"}));
}

TEST(Variants, VariantOneHasThirteenTabsWithoutTheFixedTableCalibration) {
  const std::vector<std::string> captions = Captions(1);
  ASSERT_EQ(captions.size(), 13u);
  EXPECT_EQ(captions.front(), "设置");
  EXPECT_EQ(captions.back(), "无线记录仪");
  for (int kind : VariantPages(1)) EXPECT_NE(kind, kCurveFixedPage);
}

TEST(Variants, EveryVariantListsKnownKindsOnly) {
  for (int variant = kVariantMin; variant <= kVariantMax; ++variant) {
    ASSERT_FALSE(VariantPages(variant).empty()) << variant;
    for (int kind : VariantPages(variant)) {
      EXPECT_GE(kind, 0);
      EXPECT_LT(kind, kPageKindCount);
    }
  }
  // Outside the clamped range the default list stays.
  EXPECT_EQ(Captions(42), Captions(0));
}

TEST(Variants, PageKindTable) {
  const int templates[kPageKindCount] = {130, 165, 129, 101, 138, 141, 149,
                                         148, 164, 151, 154, 157, 159, 161};
  for (int kind = 0; kind < kPageKindCount; ++kind) {
    EXPECT_EQ(kPageKinds[kind].kind, kind);
    EXPECT_EQ(kPageKinds[kind].dialogTemplate, templates[kind]);
  }
  EXPECT_EQ(PageCaption(kCurveFixedPage), PageCaption(kCurveMultiPage));
  EXPECT_EQ(PageCaption(kFridgeBoxPage), "冷藏箱");
  EXPECT_EQ(PageCaption(14), "");
  EXPECT_EQ(PageCaption(-1), "");
}

TEST(Variants, LinkSettingsOfEachVariant) {
  for (int variant = kVariantMin; variant <= kVariantMax; ++variant) {
    SCOPED_TRACE(variant);
    devlink::DeviceLink link;
    ApplyVariantLink(variant, link);
    EXPECT_EQ(link.tcpMode, variant == 3);
    EXPECT_EQ(link.tcpPort, variant == 3 ? 80 : 10001);
    const bool fast = variant == 5 || variant == 6;
    EXPECT_EQ(link.baudText, fast ? "115200" : "9600");
    EXPECT_EQ(kBaudRates[VariantBaudIndex(variant)], link.baudText);
    EXPECT_EQ(VariantBaudIndex(variant), fast ? 12 : 6);
    EXPECT_EQ(VariantStartMode(variant) == devlink::AddressingMode::Bluetooth, variant == 6);
    // Nothing else moves.
    EXPECT_EQ(link.ip, "10.10.100.254");
    EXPECT_EQ(link.delayMs, 600);
    EXPECT_EQ(link.address, 1);
  }
}

TEST(Variants, ThreeWordsWithBlanksGiveTcpVariant) {
  const VariantAndLabel parsed = ParseVariantAndLabel("  3  Lab  third");
  devlink::DeviceLink link;
  ApplyVariantLink(parsed.variant, link);
  EXPECT_EQ(parsed.label, "Lab");
  EXPECT_TRUE(link.tcpMode);
  EXPECT_EQ(link.tcpPort, 80);
  EXPECT_EQ(Captions(parsed.variant),
            (std::vector<std::string>{"WIFI配置", "属性设置", "32位变送器", "曲线校准"}));
}

}  // namespace
}  // namespace app
