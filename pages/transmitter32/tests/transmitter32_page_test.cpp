// The 32-bit transmitter page driven like a technician would, against the simulator on a
// pseudo-terminal over the real serial link.
#include "pages/transmitter32/transmitter32_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/clock_widget.h"
#include "sim/families/fridge_box.h"
#include "sim/families/settings.h"
#include "sim/families/transmitter32.h"

namespace pages {
namespace {

class Transmitter32PageTest : public pages::testing::PageFixture<Transmitter32Page> {
 protected:
  QString Text(const char* name) { return Edit(name)->text(); }
  void SetText(const char* name, const QString& text) { Edit(name)->setText(text); }
  QRadioButton* Radio(const char* name) { return Find<QRadioButton>(name); }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::Transmitter32State>(std::forward<F>(f));
  }
};

TEST_F(Transmitter32PageTest, LayoutCaptionsAndInitialValues) {
  EXPECT_EQ(Text("historyInterval"), "5");
  EXPECT_EQ(Text("alarmInterval"), "2");
  EXPECT_EQ(Text("printInterval"), "5");
  EXPECT_EQ(Text("alarmDelay"), "0");
  EXPECT_EQ(Text("signalStrength"), "0");
  EXPECT_TRUE(Edit("signalStrength")->isReadOnly());
  EXPECT_EQ(Edit("alarmNumber")->maxLength(), 14);
  for (const char* on : {"recordingOn", "soundLightOn", "smsAlarmOn"}) {
    EXPECT_TRUE(Radio(on)->isChecked()) << on;
  }
  EXPECT_EQ(Find<QComboBox>("alarmScope")->currentText(), "总开关");
  EXPECT_EQ(Find<QComboBox>("alarmNumberSlot")->currentText(), "号码1");
  const std::pair<const char*, const char*> groups[] = {
      {"intervalsGroup", "时间间隔(分)"},   {"recordingGroup", "数据记录状态"},
      {"apnGroup", "GSM模块APN配置"},       {"alarmNumberGroup", "报警号码"},
      {"alarmDelayGroup", "报警延时间隔"}, {"soundLightGroup", "声光报警"},
      {"smsAlarmGroup", "短信报警"},        {"clockGroup", "时钟配置"}};
  for (const auto& [name, title] : groups) {
    EXPECT_EQ(Find<QGroupBox>(name)->title(), QString::fromUtf8(title)) << name;
  }
  EXPECT_EQ(Find<ClockWidget>("clockWidget")->parentWidget(), Find<QGroupBox>("clockGroup"));
  for (QWidget* input : page_->findChildren<QLineEdit*>()) {
    EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
  }
  for (QWidget* input : page_->findChildren<QComboBox*>()) {
    EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
  }
  EXPECT_EQ(Edit("apnPassword")->accessibleName(), "密  码");
}

TEST_F(Transmitter32PageTest, ExternalPowerHidesTheSoundLightButtons) {
  Find<QComboBox>("alarmScope")->setCurrentIndex(1);
  EXPECT_TRUE(Find<QPushButton>("soundLightRead")->isHidden());
  EXPECT_TRUE(Find<QPushButton>("soundLightWrite")->isHidden());
  EXPECT_FALSE(Radio("soundLightOff")->isHidden());

  // The SMS buttons now carry both settings: 'U' 01, sound/light, SMS.
  Radio("soundLightOff")->setChecked(true);
  Radio("smsAlarmOn")->setChecked(true);
  Click("smsAlarmWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Device([](sim::Transmitter32State& s) { return s.externalSoundLight; }), 0);
  EXPECT_EQ(Device([](sim::Transmitter32State& s) { return s.externalSms; }), 1);

  Device([](sim::Transmitter32State& s) {
    s.externalSoundLight = 1;
    s.externalSms = 0;
  });
  prompts_.Clear();
  Click("smsAlarmRead");
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_TRUE(Radio("soundLightOn")->isChecked());
  EXPECT_TRUE(Radio("smsAlarmOff")->isChecked());

  Find<QComboBox>("alarmScope")->setCurrentIndex(0);
  EXPECT_FALSE(Find<QPushButton>("soundLightRead")->isHidden());
}

TEST_F(Transmitter32PageTest, ZeroIntervalIsReportedOnceForTheFirstField) {
  SetText("historyInterval", "0");
  SetText("printInterval", "0");
  Click("intervalsWrite");
  EXPECT_EQ(prompts_.Messages(), QStringList{"时间间隔必须≥1"});
  EXPECT_EQ(page_->focusWidget(), Edit("historyInterval"));
  EXPECT_EQ(Edit("historyInterval")->selectedText(), "0");
  EXPECT_EQ(sim_.Requests(), 0u);

  SetText("historyInterval", "10");
  SetText("printInterval", "5");
  Click("intervalsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(sim_.Device<sim::GsmRecorderState>([](sim::GsmRecorderState& s) { return s.print; }),
            5);
}

TEST_F(Transmitter32PageTest, EmptyApnIsRefusedAndATrimmedOneWritten) {
  SetText("apn", "   ");
  Click("apnWrite");
  EXPECT_EQ(prompts_.LastMessage(), "APN号不能为空！");
  EXPECT_EQ(page_->focusWidget(), Edit("apn"));
  EXPECT_EQ(sim_.Requests(), 0u);

  SetText("apn", " CMNET ");
  SetText("apnUser", "guest");
  Click("apnWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Text("apn"), "CMNET");
  SetText("apn", "");
  SetText("apnUser", "");
  Click("apnRead");
  EXPECT_EQ(Text("apn"), "CMNET");
  EXPECT_EQ(Text("apnUser"), "guest");
}

TEST_F(Transmitter32PageTest, ReadsFillTheirControlsAndFailuresLeaveThem) {
  Device([](sim::Transmitter32State& s) {
    s.signal = 27;
    s.recording = 0;
  });
  Click("signalRead");
  EXPECT_EQ(Text("signalStrength"), "27");
  Click("recordingRead");
  EXPECT_TRUE(Radio("recordingOff")->isChecked());
  EXPECT_TRUE(prompts_.shown.empty());

  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  Click("recordingRead");
  EXPECT_EQ(prompts_.LastMessage(), "读取失败");
  EXPECT_TRUE(Radio("recordingOff")->isChecked());
  SetText("alarmDelay", "9");
  Click("alarmDelayRead");
  EXPECT_EQ(Text("alarmDelay"), "9");
}

TEST_F(Transmitter32PageTest, AlarmNumbersAreRememberedPerSlot) {
  auto* slot = Find<QComboBox>("alarmNumberSlot");
  slot->setCurrentIndex(1);
  SetText("alarmNumber", "13912345678");
  Click("alarmNumberWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  slot->setCurrentIndex(2);
  EXPECT_EQ(Text("alarmNumber"), "");
  slot->setCurrentIndex(1);
  EXPECT_EQ(Text("alarmNumber"), "13912345678");
  EXPECT_EQ(sim_.Device<sim::GsmRecorderState>(
                [](sim::GsmRecorderState& s) { return s.alarmNumbers[1]; }),
            "13912345678");
}

TEST_F(Transmitter32PageTest, ClearAsksFirstAndFactoryResetDoesNot) {
  prompts_.answers = {false, true};
  Click("clearData");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].text, "即将清除历史记录，该操作无法撤销！\n是否继续？");
  EXPECT_EQ(prompts_.shown[0].caption, "提示");
  EXPECT_EQ(prompts_.shown[0].icon, ui::MessageKind::Warning);
  EXPECT_EQ(sim_.Requests(), 0u);
  Click("clearData");
  EXPECT_EQ(prompts_.LastMessage(), "数据清空成功");
  EXPECT_EQ(sim_.Device<sim::SettingsState>([](sim::SettingsState& s) { return s.historyClears; }),
            1);

  prompts_.Clear();
  Click("factoryReset");
  EXPECT_EQ(prompts_.Messages(), QStringList{"操作成功！"});
  EXPECT_EQ(Device([](sim::Transmitter32State& s) { return s.factoryResets; }), 1);
  sim_.link.serial.ClosePort();
  Click("factoryReset");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败！");
}

// A profile goes into the controls unsent: the selected alarm slot's number, the scope's SMS
// alarm, and one sound/light value for the shared radios (a second that differs is named).
TEST_F(Transmitter32PageTest, ProfileValuesGoIntoTheControlsUnsent) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"transmitter32","values":{
      "intervals":{"history":7,"print":9,"alarm":3},"alarm-delay":{"seconds":120},
      "recording":{"recording":"off"},"sound-light":{"sound-light":false},
      "sms-alarm:external":{"scope":"external","sms":false,"sound-light":true},
      "alarm-number:1":{"slot":1,"number":"13800138000"},
      "alarm-number:2":{"slot":2,"number":"13900139000"},
      "apn":{"apn":"CMIOT","user":"u1","password":"p1"}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  Find<QComboBox>("alarmScope")->setCurrentIndex(1);  // 外接电

  const std::vector<std::string> notShown = page_->ShowProfile(profile.value);
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(notShown,
            (std::vector<std::string>{"sms-alarm:external.sound-light", "alarm-number:2"}));
  EXPECT_EQ(Text("historyInterval"), "7");
  EXPECT_EQ(Text("printInterval"), "9");
  EXPECT_EQ(Text("alarmInterval"), "3");
  EXPECT_EQ(Text("alarmDelay"), "120");
  EXPECT_TRUE(Radio("recordingOff")->isChecked());
  EXPECT_TRUE(Radio("soundLightOff")->isChecked());
  EXPECT_TRUE(Radio("smsAlarmOff")->isChecked());
  EXPECT_EQ(Text("alarmNumber"), "13800138000");
  EXPECT_EQ(Text("apn"), "CMIOT");
  EXPECT_EQ(Text("apnPassword"), "p1");

  Click("intervalsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功") << prompts_.LastMessage().toStdString();
  EXPECT_GT(sim_.Requests(), 0u);
}

}  // namespace
}  // namespace pages
