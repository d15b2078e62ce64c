// The chiller page against the simulated refrigeration unit on a pseudo-terminal.
#include "pages/chiller/chiller_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "sim/families/chiller.h"

namespace pages {
namespace {

// The chiller is the one page of product variant 4.
class ChillerPageTest : public pages::testing::PageFixture<ChillerPage, 4> {
 protected:
  QComboBox* Mode() { return Find<QComboBox>("workMode"); }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::ChillerState>(std::forward<F>(f));
  }
};

TEST_F(ChillerPageTest, StartsUnknownAndDisplayOnly) {
  EXPECT_EQ(Mode()->currentText(), "未知");
  EXPECT_FALSE(Mode()->isEnabled());
  EXPECT_TRUE(Edit("returnAir")->isReadOnly());
  EXPECT_FALSE(Edit("setPoint")->isReadOnly());
  EXPECT_EQ(Edit("containerNumber")->accessibleName(), "集装箱箱号：");
}

TEST_F(ChillerPageTest, ReadFillsEveryControl) {
  Device([](sim::ChillerState& s) {
    s.container = "ABC";
    s.returnAir = 25.0f;
    s.supplyAir = 3.25f;
    s.setPointHundredths = 299;
    s.workMode = 3;
    s.alarms = {5, 120};
  });
  Click("chillerRead");
  EXPECT_TRUE(prompts_.shown.empty());  // success is silent
  EXPECT_EQ(Edit("containerNumber")->text(), "ABC");
  EXPECT_EQ(Edit("returnAir")->text(), "25.00");
  EXPECT_EQ(Edit("supplyAir")->text(), "3.25");
  EXPECT_EQ(Edit("setPoint")->text(), "2.99");
  EXPECT_EQ(Mode()->currentText(), "制热");
  EXPECT_EQ(Edit("alarmCodes")->text(), "005 120 ");
}

TEST_F(ChillerPageTest, FailedReadLeavesTheFieldsEmpty) {
  Click("chillerRead");
  ASSERT_FALSE(Edit("containerNumber")->text().isEmpty());
  sim::Faults faults;
  faults.wrongSum = true;
  sim_.simulator.SetFaults(faults);
  Click("chillerRead");
  EXPECT_EQ(prompts_.LastMessage(), "读取失败！");
  EXPECT_TRUE(Edit("containerNumber")->text().isEmpty());
  EXPECT_TRUE(Edit("setPoint")->text().isEmpty());
  EXPECT_EQ(Mode()->currentText(), "未知");
}

TEST_F(ChillerPageTest, WriteSendsTheSetPoint) {
  Edit("setPoint")->setText("-18.5");
  Click("chillerWrite");
  EXPECT_EQ(prompts_.LastMessage(), "配置成功！");
  EXPECT_EQ(Device([](sim::ChillerState& s) { return s.setPointHundredths; }), -1850);
  Device([](sim::ChillerState& s) { s.forcedWriteStatus = 3; });
  Click("chillerWrite");
  EXPECT_EQ(prompts_.LastMessage(), "配置失败！错误代码：3");
}

TEST_F(ChillerPageTest, NotANumberIsRefusedBeforeSending) {
  Edit("setPoint")->setText("-");
  Click("chillerWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请键入一个数。");
  EXPECT_EQ(page_->focusWidget(), Edit("setPoint"));
  EXPECT_EQ(sim_.Requests(), 0u);
}

// A profile's set point goes into its field unsent; "写配置" then sends it.
TEST_F(ChillerPageTest, ProfileSetPointGoesIntoItsField) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"chiller","values":{"write":{"set-point":-18.5}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  EXPECT_TRUE(page_->ShowProfile(profile.value).empty());
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(Edit("setPoint")->text(), "-18.5");
  Click("chillerWrite");
  EXPECT_EQ(Device([](sim::ChillerState& s) { return s.setPointHundredths; }), -1850);
}

}  // namespace
}  // namespace pages
