// The refrigerated box page driven like a technician would, against the simulator on a
// pseudo-terminal over the real serial link.
#include "pages/fridge/fridge_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/clock_widget.h"
#include "sim/families/fridge_box.h"
#include "sim/families/settings.h"

namespace pages {
namespace {

class FridgePageTest : public pages::testing::PageFixture<RefrigeratedBoxPage> {
 protected:
  QString Text(const char* name) { return Edit(name)->text(); }
  void SetText(const char* name, const QString& text) { Edit(name)->setText(text); }
  template <class F>
  auto Recorder(F&& f) {
    return sim_.Device<sim::GsmRecorderState>(std::forward<F>(f));
  }
  template <class F>
  auto Box(F&& f) {
    return sim_.Device<sim::FridgeBoxState>(std::forward<F>(f));
  }
  QComboBox* Slot() { return Find<QComboBox>("alarmNumberSlot"); }
};

TEST_F(FridgePageTest, LayoutCaptionsAndInitialValues) {
  EXPECT_EQ(Text("historyInterval"), "30");
  EXPECT_EQ(Text("alarmInterval"), "2");
  EXPECT_EQ(Text("uploadInterval"), "10");
  EXPECT_EQ(Text("printInterval"), "10");
  EXPECT_EQ(Text("smsInterval"), "0");
  EXPECT_EQ(Text("alarmNumber"), "");
  EXPECT_EQ(Edit("alarmNumber")->maxLength(), 14);
  EXPECT_EQ(Slot()->currentText(), "号码1");
  EXPECT_EQ(Slot()->count(), 3);
  const std::pair<const char*, const char*> groups[] = {
      {"intervalsGroup", "时间间隔(分)"}, {"alarmNumberGroup", "报警号码"},
      {"smsGroup", "短信发送间隔(秒)"},   {"statusGroup", "状态"},
      {"clockGroup", "时钟配置"}};
  for (const auto& [name, title] : groups) {
    EXPECT_EQ(Find<QGroupBox>(name)->title(), QString::fromUtf8(title)) << name;
  }
  EXPECT_EQ(Find<ClockWidget>("clockWidget")->parentWidget(), Find<QGroupBox>("clockGroup"));
  for (QWidget* input : page_->findChildren<QLineEdit*>()) {
    EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
  }
  EXPECT_EQ(Edit("uploadInterval")->accessibleName(), "上传间隔");
  EXPECT_EQ(Slot()->accessibleName(), "报警号码序号");
  EXPECT_EQ(Find<QPushButton>("deviceSwitch")->accessibleName(), "设备：");
  // Both switches start "on": the labels say so, the buttons offer "关".
  EXPECT_EQ(Find<QLabel>("deviceState")->text(), "开");
  EXPECT_EQ(Find<QPushButton>("deviceSwitch")->text(), "关");
  EXPECT_TRUE(Find<QPushButton>("deviceSwitch")->isEnabled());
}

TEST_F(FridgePageTest, IntervalsAreReadAndWritten) {
  Recorder([](sim::GsmRecorderState& s) {
    s.upload = 10;
    s.history = 30;
    s.print = 10;
    s.alarm = 2;
  });
  SetText("historyInterval", "1");
  Click("intervalsRead");
  EXPECT_TRUE(prompts_.shown.empty());  // a good read shows no message
  EXPECT_EQ(Text("historyInterval"), "30");

  SetText("uploadInterval", "15");
  SetText("historyInterval", "60");
  SetText("printInterval", "5");
  SetText("alarmInterval", "1");
  Click("intervalsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.upload; }), 15);
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.alarm; }), 1);
}

TEST_F(FridgePageTest, ZeroIntervalFocusesTheFirstInWireOrderAndSendsNothing) {
  SetText("uploadInterval", "0");
  SetText("historyInterval", "0");
  SetText("alarmInterval", "0");
  Click("intervalsWrite");
  EXPECT_EQ(prompts_.Messages(), QStringList{"时间间隔必须≥1"});
  EXPECT_EQ(page_->focusWidget(), Edit("uploadInterval"));
  EXPECT_EQ(Edit("uploadInterval")->selectedText(), "0");
  // A field that does not parse stops every write, whichever button was pressed.
  SetText("uploadInterval", "10");
  SetText("historyInterval", "10");
  SetText("alarmInterval", "10");
  SetText("smsInterval", "abc");
  Click("alarmNumberWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请键入一个整数。");
  EXPECT_EQ(page_->focusWidget(), Edit("smsInterval"));
  EXPECT_EQ(sim_.Requests(), 0u);
}

TEST_F(FridgePageTest, StatusReadAppliesTheDisplayRule) {
  Box([](sim::FridgeBoxState& s) {
    s.device = 0;
    s.recording = 1;
  });
  Click("statusRead");
  EXPECT_EQ(Find<QLabel>("deviceState")->text(), "关");
  EXPECT_EQ(Find<QPushButton>("deviceSwitch")->text(), "开");
  EXPECT_FALSE(Find<QPushButton>("deviceSwitch")->isEnabled());
  EXPECT_EQ(Find<QLabel>("recordingState")->text(), "开");
  EXPECT_EQ(Find<QPushButton>("recordingSwitch")->text(), "关");
  EXPECT_TRUE(Find<QPushButton>("recordingSwitch")->isEnabled());
}

TEST_F(FridgePageTest, RecordingSwitchKeepsItsFlagsWhenTheReplyFails) {
  sim::Faults faults;
  faults.wrongSum = true;
  faults.onlyNext = 1;
  sim_.simulator.SetFaults(faults);
  Click("recordingSwitch");
  EXPECT_EQ(prompts_.LastMessage(), "设置失败");
  EXPECT_EQ(page_->CurrentStatus(), (fridge::Status{1, 1, 1}));
  EXPECT_EQ(Find<QLabel>("recordingState")->text(), "开");
  // The next press sends the same switch again: device, 00, 00.
  Click("recordingSwitch");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(page_->CurrentStatus(), (fridge::Status{1, 0, 0}));
  EXPECT_EQ(Find<QLabel>("recordingState")->text(), "关");
  EXPECT_EQ(Find<QPushButton>("recordingSwitch")->text(), "开");
  EXPECT_EQ(Box([](sim::FridgeBoxState& s) { return s.second; }), 0);
}

TEST_F(FridgePageTest, DeviceSwitchAsksAndCancelSendsNothing) {
  prompts_.answers = {false, true};
  Click("deviceSwitch");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].kind, "okcancel");
  EXPECT_EQ(prompts_.shown[0].text, "即将关闭设备，重新启动设备必须手动操作！\n是否继续？");
  EXPECT_EQ(prompts_.shown[0].caption, "提示");
  EXPECT_EQ(prompts_.shown[0].icon, ui::MessageKind::Warning);
  EXPECT_EQ(sim_.Requests(), 0u);
  Click("deviceSwitch");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Box([](sim::FridgeBoxState& s) { return s.device; }), 0);
  EXPECT_FALSE(Find<QPushButton>("deviceSwitch")->isEnabled());
}

TEST_F(FridgePageTest, AlarmNumbersAreRememberedPerSlot) {
  Recorder([](sim::GsmRecorderState& s) { s.alarmNumbers[1] = "10086"; });
  Slot()->setCurrentIndex(1);
  Click("alarmNumberRead");
  EXPECT_EQ(Text("alarmNumber"), "10086");
  Slot()->setCurrentIndex(2);  // never read nor written
  EXPECT_EQ(Text("alarmNumber"), "");
  SetText("alarmNumber", "13800138000");
  Click("alarmNumberWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.alarmNumbers[2]; }), "13800138000");
  Slot()->setCurrentIndex(0);
  EXPECT_EQ(Text("alarmNumber"), "");
  Slot()->setCurrentIndex(1);
  EXPECT_EQ(Text("alarmNumber"), "10086");
  Slot()->setCurrentIndex(2);
  EXPECT_EQ(Text("alarmNumber"), "13800138000");
}

TEST_F(FridgePageTest, SmsIntervalAndClearData) {
  SetText("smsInterval", "600");
  Click("smsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  SetText("smsInterval", "1");
  Click("smsRead");
  EXPECT_EQ(Text("smsInterval"), "600");

  prompts_.Clear();
  const size_t before = sim_.Requests();
  prompts_.answers = {false, true};
  Click("clearData");
  EXPECT_EQ(prompts_.shown.back().text, "即将清除历史记录，该操作无法撤销！\n是否继续？");
  EXPECT_EQ(sim_.Requests(), before);
  Click("clearData");
  EXPECT_EQ(prompts_.LastMessage(), "数据清空成功");
  EXPECT_EQ(sim_.Device<sim::SettingsState>([](sim::SettingsState& s) { return s.historyClears; }),
            1);
}

TEST_F(FridgePageTest, ClosedPortLeavesTheFieldsAlone) {
  sim_.link.serial.ClosePort();
  Click("intervalsRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  EXPECT_EQ(Text("historyInterval"), "30");
}

// A profile's intervals and the selected slot's number go into the controls unsent; the
// device state (switched at once by its buttons) and the other slots are named.
TEST_F(FridgePageTest, ProfileValuesGoIntoTheControlsUnsent) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"fridge","values":{
      "status":{"device":"on","recording":"on"},
      "intervals":{"upload":15,"history":20,"print":25,"alarm":3},
      "alarm-number:1":{"slot":1,"number":"13800138000"},
      "alarm-number:3":{"slot":3,"number":"13700137000"},
      "sms-interval":{"seconds":600}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  Slot()->setCurrentIndex(2);  // 号码3

  const std::vector<std::string> notShown = page_->ShowProfile(profile.value);
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(notShown, (std::vector<std::string>{"status", "alarm-number:1"}));
  EXPECT_EQ(Text("uploadInterval"), "15");
  EXPECT_EQ(Text("historyInterval"), "20");
  EXPECT_EQ(Text("printInterval"), "25");
  EXPECT_EQ(Text("alarmInterval"), "3");
  EXPECT_EQ(Text("smsInterval"), "600");
  EXPECT_EQ(Text("alarmNumber"), "13700137000");

  Click("intervalsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Recorder([](sim::GsmRecorderState& s) { return s.print; }), 25);
}

}  // namespace
}  // namespace pages
