// The chiller page against the simulated refrigeration unit on a pseudo-terminal.
#include "pages/chiller/chiller_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "pages/testing/sim_link.h"
#include "sim/families/chiller.h"
#include "ui/prompts.h"

namespace pages {
namespace {

class ChillerPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim_.StartSerial(&error)) << error;
    ui::InstallPrompts(&prompts_);
    page_ = std::make_unique<ChillerPage>(sim_.link, 4);
  }
  void TearDown() override {
    page_.reset();
    ui::InstallPrompts(nullptr);
  }
  QLineEdit* Edit(const char* name) {
    auto* edit = page_->findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(edit, nullptr) << name;
    return edit;
  }
  QComboBox* Mode() { return page_->findChild<QComboBox*>(QStringLiteral("workMode")); }
  void Click(const char* name) {
    page_->findChild<QPushButton*>(QString::fromLatin1(name))->click();
  }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::ChillerState>(std::forward<F>(f));
  }

  pages::testing::SimLink sim_;
  ui::ScriptedPrompts prompts_;
  std::unique_ptr<ChillerPage> page_;
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

}  // namespace
}  // namespace pages
