// The property settings 2 page against the simulator on a pseudo-terminal.
#include "pages/property2/property2_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "sim/families/property2.h"

namespace pages {
namespace {

class Property2PageTest : public pages::testing::PageFixture<PropertySettings2Page> {
 protected:
  QComboBox* List(const char* name) { return Find<QComboBox>(name); }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::Property2State>(std::forward<F>(f));
  }
};

TEST_F(Property2PageTest, ListsStartAtTheirFirstEntryAndCarrySeconds) {
  EXPECT_EQ(List("channelNumber")->count(), 32);
  EXPECT_EQ(List("channelNumber")->currentText(), "1");
  EXPECT_EQ(List("samplePeriod")->currentText(), "2秒");
  EXPECT_EQ(List("samplePeriod")->itemData(18).toInt(), 600);
  EXPECT_EQ(List("screenOffTime")->currentText(), "15秒");
  EXPECT_EQ(List("screenOffTime")->itemData(6).toInt(), 0);
  EXPECT_EQ(List("screenOffTime")->accessibleName(), "息屏时间");
  EXPECT_EQ(Find<QGroupBox>("periodGroup")->title(), "通道灵敏度");
}

TEST_F(Property2PageTest, ReadSelectsTheEntryOfTheChannel) {
  Device([](sim::Property2State& s) { s.periods[4] = 120; });
  List("channelNumber")->setCurrentIndex(4);  // channel 5
  Click("periodRead");
  EXPECT_EQ(List("samplePeriod")->currentText(), "2分");
  EXPECT_TRUE(prompts_.shown.empty());  // success is silent
}

TEST_F(Property2PageTest, WriteChangesTheInstrument) {
  List("channelNumber")->setCurrentIndex(31);
  List("samplePeriod")->setCurrentIndex(18);  // "10分"
  Click("periodWrite");
  List("screenOffTime")->setCurrentIndex(6);  // "永不"
  Click("screenOffWrite");
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(Device([](sim::Property2State& s) { return s.periods[31]; }), 600);
  EXPECT_EQ(Device([](sim::Property2State& s) { return s.screenOff; }), 0);
}

TEST_F(Property2PageTest, UnknownValueWarnsAndKeepsTheSelection) {
  Device([](sim::Property2State& s) { s.screenOff = 45; });
  List("screenOffTime")->setCurrentIndex(2);
  Click("screenOffRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据异常，请重新写入");
  EXPECT_EQ(List("screenOffTime")->currentIndex(), 2);
}

TEST_F(Property2PageTest, FailuresHaveTheirTexts) {
  sim::Faults faults;
  faults.wrongSum = true;
  sim_.simulator.SetFaults(faults);
  Click("periodRead");
  EXPECT_EQ(prompts_.LastMessage(), "读取失败");
  Click("screenOffWrite");
  EXPECT_EQ(prompts_.LastMessage(), "写入失败");
  sim_.link.serial.ClosePort();
  Click("periodWrite");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
}

// A profile's sample period (in seconds, as the write takes it) of the selected channel and the
// screen-off time select their list entries, unsent; other channels are named.
TEST_F(Property2PageTest, ProfileValuesSelectTheListEntries) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"property2","values":{
      "sample-period:1":{"channel":1,"period":"5分"},"sample-period:2":{"channel":2,"period":600},
      "screen-off":{"time":0}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  EXPECT_EQ(page_->ShowProfile(profile.value), std::vector<std::string>{"sample-period:2"});
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(List("samplePeriod")->currentText(), "5分");
  EXPECT_EQ(List("screenOffTime")->currentText(), "永不");
}

}  // namespace
}  // namespace pages
