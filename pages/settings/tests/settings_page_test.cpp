// The settings page driven like a technician would, against the simulator on a pseudo-terminal
// over the real serial link.
#include "pages/settings/settings_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/clock_widget.h"
#include "sim/families/settings.h"

namespace pages {
namespace {

class SettingsPageTest : public pages::testing::PageFixture<SettingsPage> {
 protected:
  QString Text(const char* name) { return Edit(name)->text(); }
  void SetText(const char* name, const QString& text) { Edit(name)->setText(text); }
  template <class F>
  auto Device(F&& f) {
    return sim_.Device<sim::SettingsState>(std::forward<F>(f));
  }
};

TEST_F(SettingsPageTest, StartsWithTheInitialValues) {
  for (const char* name : {"alarmTempUpper", "alarmTempLower", "alarmHumUpper", "alarmHumLower",
                           "controlTempUpper", "controlHumLower"}) {
    EXPECT_EQ(Text(name), "0.0") << name;
  }
  EXPECT_TRUE(Find<QRadioButton>("recordingHours")->isChecked());
  EXPECT_TRUE(Text("oldAddress").isEmpty());
  EXPECT_EQ(Find<QLineEdit>("oldAddress")->maxLength(), 3);
  EXPECT_FALSE(Find<QCheckBox>("alarmTempOn")->isChecked());
  // The clock widget lives in the clock group.
  auto* clock = Find<ClockWidget>("clockWidget");
  ASSERT_NE(clock, nullptr);
  EXPECT_EQ(clock->parentWidget(), Find<QGroupBox>("clockGroup"));
  EXPECT_EQ(Find<QGroupBox>("clockGroup")->title(), "时钟配置");
}

TEST_F(SettingsPageTest, EveryInputHasAnAccessibleName) {
  for (QLineEdit* edit : page_->findChildren<QLineEdit*>()) {
    EXPECT_FALSE(edit->accessibleName().isEmpty()) << edit->objectName().toStdString();
  }
  EXPECT_EQ(Find<QLineEdit>("recordingInterval")->accessibleName(), "记录间隔：");
  EXPECT_EQ(Find<QLineEdit>("alarmHumLower")->accessibleName(), "湿度下限");
}

TEST_F(SettingsPageTest, LimitReadFillsTheEditsAndWriteChangesTheInstrument) {
  Click("alarmLimitsRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  EXPECT_EQ(Text("alarmTempLower"), "-20.0");
  EXPECT_EQ(Text("alarmTempUpper"), "40.0");
  EXPECT_EQ(Text("alarmHumLower"), "10.0");
  EXPECT_EQ(Text("alarmHumUpper"), "90.0");

  SetText("controlTempLower", "-5.5");
  SetText("controlTempUpper", "30");
  SetText("controlHumLower", "40");
  SetText("controlHumUpper", "60.5");
  Click("controlLimitsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  const auto control = Device([](sim::SettingsState& s) { return s.control; });
  EXPECT_EQ(control.tempLower, -55);
  EXPECT_EQ(control.tempUpper, 300);
  EXPECT_EQ(control.humLower, 400);
  EXPECT_EQ(control.humUpper, 605);
}

TEST_F(SettingsPageTest, HumidityRowErrorShowsItsTextAndSendsNothing) {
  SetText("alarmTempLower", "-10");
  SetText("alarmTempUpper", "40");
  SetText("alarmHumLower", "80");
  SetText("alarmHumUpper", "20");
  const size_t before = sim_.Requests();
  Click("alarmLimitsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "湿度下限不能大于上限");
  EXPECT_EQ(sim_.Requests(), before);
  EXPECT_EQ(page_->focusWidget(), Find<QWidget>("alarmHumLower"));
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.alarm.tempLower; }), -200);
}

TEST_F(SettingsPageTest, EmptyLimitIsRefused) {
  SetText("controlTempUpper", "");
  const size_t before = sim_.Requests();
  Click("controlLimitsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据不能为空");
  EXPECT_EQ(sim_.Requests(), before);
}

TEST_F(SettingsPageTest, ClearDataAsksFirstAndCancelSendsNothing) {
  prompts_.answers = {false, true};
  Click("clearData");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].kind, "okcancel");
  EXPECT_EQ(prompts_.shown[0].text, "即将清除历史记录，该操作无法撤销！\n是否继续？");
  EXPECT_EQ(prompts_.shown[0].caption, "提示");
  EXPECT_EQ(prompts_.shown[0].icon, ui::MessageKind::Warning);
  EXPECT_EQ(sim_.Requests(), 0u);
  Click("clearData");
  EXPECT_EQ(prompts_.LastMessage(), "数据清空成功");
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.historyClears; }), 1);
}

TEST_F(SettingsPageTest, AddressChangeTellsTheMainWindow) {
  QSignalSpy reported(page_.get(), &Page::deviceAddressReported);
  SetText("oldAddress", "1");
  SetText("newAddress", "12");
  Click("addressSet");
  EXPECT_EQ(prompts_.LastMessage(), "地址设置成功");
  ASSERT_EQ(reported.count(), 1);
  EXPECT_EQ(reported.at(0).at(0).toInt(), 12);
  EXPECT_EQ(sim_.simulator.WithDevice([](sim::Instrument& d) { return d.address; }), 12);
}

TEST_F(SettingsPageTest, AddressRulesRefuseBeforeSending) {
  QSignalSpy reported(page_.get(), &Page::deviceAddressReported);
  SetText("oldAddress", "1");
  Click("addressSet");
  ASSERT_FALSE(prompts_.shown.empty());
  EXPECT_EQ(prompts_.shown.back().text, "地址不能为空");
  EXPECT_EQ(prompts_.shown.back().caption, "提示");
  EXPECT_EQ(page_->focusWidget(), Find<QWidget>("newAddress"));
  SetText("newAddress", "300");
  Click("addressSet");
  EXPECT_EQ(prompts_.LastMessage(), "地址号范围为1-255");
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(reported.count(), 0);
}

TEST_F(SettingsPageTest, RecordingReadSelectsTheUnitAndWriteChecksTheInterval) {
  Device([](sim::SettingsState& s) {
    s.interval = 15;
    s.hours = false;
    s.capacity = 300;
  });
  Click("recordingRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  EXPECT_EQ(Text("recordingInterval"), "15");
  EXPECT_EQ(Text("recordingCapacity"), "300");
  EXPECT_TRUE(Find<QRadioButton>("recordingMinutes")->isChecked());

  Find<QRadioButton>("recordingHours")->setChecked(true);
  SetText("recordingInterval", "24");
  const size_t before = sim_.Requests();
  Click("recordingWrite");
  EXPECT_EQ(prompts_.LastMessage(), "小时的时间间隔在1到23之间");
  EXPECT_EQ(page_->focusWidget(), Find<QWidget>("recordingInterval"));
  SetText("recordingInterval", "2x");
  Click("recordingWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请键入一个整数。");
  EXPECT_EQ(sim_.Requests(), before);

  SetText("recordingInterval", "23");
  SetText("recordingCapacity", "500");
  Click("recordingWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  EXPECT_TRUE(Device([](sim::SettingsState& s) { return s.hours; }));
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.interval; }), 23);
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.capacity; }), 500);
}

TEST_F(SettingsPageTest, SwitchesAreReadAndWritten) {
  Device([](sim::SettingsState& s) { s.calibration = 0x02; });
  Click("calibrationRead");
  EXPECT_FALSE(Find<QCheckBox>("calibrationTemp")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("calibrationHum")->isChecked());
  Find<QCheckBox>("controlTempOn")->setChecked(true);
  Click("controlSwitchesWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.controlSwitches; }), 0x01);
}

TEST_F(SettingsPageTest, EnterInAFieldTriggersNothing) {
  // Hosted in a dialog with a default button, as in the main window.
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* defaultButton = new QPushButton(QStringLiteral("OK"), &dialog);
  defaultButton->setDefault(true);
  int clicks = 0;
  QObject::connect(defaultButton, &QPushButton::clicked, [&clicks] { ++clicks; });
  layout->addWidget(defaultButton);
  layout->addWidget(page_.get());
  dialog.show();
  SetText("recordingInterval", "5");
  QTest::keyClick(Find<QLineEdit>("recordingInterval"), Qt::Key_Return);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(sim_.Requests(), 0u);
  page_->setParent(nullptr);
}

TEST_F(SettingsPageTest, ClosedPortAndSilentInstrument) {
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  Find<QCheckBox>("alarmTempOn")->setChecked(true);
  Click("alarmSwitchesRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取失败");
  EXPECT_TRUE(Find<QCheckBox>("alarmTempOn")->isChecked());
  sim_.link.serial.ClosePort();
  Click("alarmSwitchesRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
}

// A snapshot of the instrument goes into the controls as the page's own reads would show it,
// without an exchange; what the page has no control for is named.
TEST_F(SettingsPageTest, ProfileValuesGoIntoTheControlsUnsent) {
  Device([](sim::SettingsState& s) {
    s.interval = 7;
    s.hours = true;
    s.capacity = 1234;
    s.calibration = 0x02;
    s.alarm = {-155, 455, 55, 955};
    s.alarmSwitches = 0x01;
    s.control = {-50, 125, 305, 695};
    s.controlSwitches = 0x02;
  });
  const CommandSet set = settings::Commands();
  devlink::LinkChannel channel(sim_.link);
  Result<Profile> snapshot = TakeSnapshot(set, channel);
  ASSERT_TRUE(snapshot.ok()) << snapshot.message();
  Profile profile = snapshot.value;
  profile.groups.push_back({"protection:3", {{"channel", int64_t{3}}}, 0});
  profile.groups[0].values.emplace_back("colour", std::string("red"));
  Find<QRadioButton>("recordingMinutes")->setChecked(true);
  const size_t before = sim_.Requests();

  const std::vector<std::string> notShown = page_->ShowProfile(profile);
  EXPECT_EQ(sim_.Requests(), before);
  EXPECT_EQ(notShown, (std::vector<std::string>{"recording.colour", "protection:3"}));
  EXPECT_TRUE(prompts_.shown.empty());
  const std::pair<const char*, const char*> edits[] = {
      {"recordingInterval", "7"},   {"recordingCapacity", "1234"}, {"alarmTempLower", "-15.5"},
      {"alarmTempUpper", "45.5"},   {"alarmHumLower", "5.5"},      {"alarmHumUpper", "95.5"},
      {"controlTempLower", "-5.0"}, {"controlTempUpper", "12.5"},  {"controlHumLower", "30.5"},
      {"controlHumUpper", "69.5"}};
  for (const auto& [name, text] : edits) EXPECT_EQ(Text(name), text) << name;
  EXPECT_TRUE(Find<QRadioButton>("recordingHours")->isChecked());
  const std::pair<const char*, bool> boxes[] = {
      {"calibrationTemp", false}, {"calibrationHum", true}, {"alarmTempOn", true},
      {"alarmHumOn", false},      {"controlTempOn", false}, {"controlHumOn", true}};
  for (const auto& [name, checked] : boxes) {
    EXPECT_EQ(Find<QCheckBox>(name)->isChecked(), checked) << name;
  }

  // The page's own write button then sends what the profile put there.
  Device([](sim::SettingsState& s) { s.alarm = {}; });
  Click("alarmLimitsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.alarm.tempLower; }), -155);
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.alarm.humUpper; }), 955);
}

}  // namespace
}  // namespace pages
