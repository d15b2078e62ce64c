// "保存配置", "载入配置" and "写入全部" of the main window on the settings page, against the
// simulator on a pseudo-terminal, with scripted prompts answering the file dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "app/main_window.h"
#include "app/page_factory.h"
#include "app/variants.h"
#include "pages/kit/page.h"
#include "pages/kit/profile.h"
#include "pages/testing/sim_link.h"
#include "sim/families/settings.h"
#include "sim/framing.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "ui/prompts.h"

namespace app {
namespace {

class ProfileWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts_);
    std::string error;
    ASSERT_TRUE(pty_.Start(&error)) << error;
    ASSERT_TRUE(dir_.isValid());
    CommandLine line;
    line.variant = 0;  // 设置, 曲线校准, 历史数据, 属性设置
    line.port = pty_.SlavePath();
    window_ = std::make_unique<MainWindow>(link_, line);
    Find<QLineEdit>("delayField")->setText(QString::number(pages::testing::SimLink::DelayMs()));
    window_->OpenSelectedPort();
    ASSERT_TRUE(link_.serial.IsOpen()) << prompts_.LastMessage().toStdString();
    ASSERT_EQ(window_->Tabs()->currentIndex(), 0);
    prompts_.Clear();
  }
  void TearDown() override {
    window_.reset();
    ui::InstallPrompts(nullptr);
    pty_.Stop();
  }

  template <class T>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  template <class F>
  auto Device(F&& f) {
    return simulator_.WithDevice([&](sim::Instrument& d) { return f(d.State<sim::SettingsState>()); });
  }
  size_t Requests() const { return simulator_.RequestLog().size(); }
  QString Path(const char* name) const { return dir_.filePath(name); }
  void WriteFile(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
  }
  // A snapshot of the instrument as it is now, saved to `name` through the window.
  QString Save(const char* name) {
    prompts_.fileNames = {Path(name)};
    Click("profileSave");
    return Path(name);
  }
  // Loads `path` into the settings page through the window.
  void Load(const QString& path) {
    prompts_.Clear();
    prompts_.fileNames = {path};
    Click("profileLoad");
  }

  ui::ScriptedPrompts prompts_;
  sim::Simulator simulator_;
  sim::PtyServer pty_{simulator_};
  devlink::DeviceLink link_;
  QTemporaryDir dir_;
  std::unique_ptr<MainWindow> window_;
};

void SetApart(sim::SettingsState& s) {
  s.interval = 5;
  s.hours = true;
  s.capacity = 4321;
  s.calibration = 0x02;
  s.alarm = {-105, 355, 205, 805};
  s.alarmSwitches = 0x02;
  s.control = {-10, 60, 405, 595};
  s.controlSwitches = 0x01;
}

TEST_F(ProfileWindowTest, ButtonsFollowThePageAndItsLoadedProfile) {
  QPushButton* save = Find<QPushButton>("profileSave");
  QPushButton* load = Find<QPushButton>("profileLoad");
  QPushButton* write = Find<QPushButton>("profileWrite");
  EXPECT_EQ(save->text(), "保存配置");
  EXPECT_EQ(load->text(), "载入配置");
  EXPECT_EQ(write->text(), "写入全部");
  EXPECT_TRUE(save->isEnabled());
  EXPECT_TRUE(load->isEnabled());
  EXPECT_FALSE(write->isEnabled());
  EXPECT_FALSE(write->toolTip().isEmpty());

  // The history page keeps no profile: every button disabled, the tooltip says why.
  window_->Tabs()->setCurrentIndex(2);
  ASSERT_EQ(window_->PageKinds()[2], kHistoryPage);
  for (QPushButton* button : {save, load, write}) {
    EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
    EXPECT_EQ(button->toolTip(), "此页面没有可保存或载入的配置");
  }
  window_->Tabs()->setCurrentIndex(0);
  EXPECT_TRUE(save->isEnabled());
}

TEST_F(ProfileWindowTest, SaveWritesASnapshotOfTheInstrument) {
  Device(SetApart);
  const QString path = Save("a.json");
  ASSERT_FALSE(prompts_.shown.empty());
  EXPECT_EQ(prompts_.shown.front().kind, "save");
  EXPECT_EQ(prompts_.shown.front().caption, "保存配置");
  EXPECT_TRUE(prompts_.shown.front().text.startsWith("settings-"));
  EXPECT_TRUE(prompts_.shown.front().text.endsWith(".json"));
  EXPECT_EQ(prompts_.LastMessage(), "配置已保存");

  pages::Result<pages::Profile> saved = pages::LoadProfile(path.toStdString());
  ASSERT_TRUE(saved.ok()) << saved.message();
  EXPECT_EQ(saved.value.page, "settings");
  ASSERT_EQ(saved.value.groups.size(), 6u);
  const auto value = [&](const std::string& group, const std::string& name) {
    for (const pages::ProfileGroup& g : saved.value.groups) {
      for (const auto& [key, v] : g.values) {
        if (g.name == group && key == name) return pages::OptionText(v);
      }
    }
    return std::string("(none)");
  };
  EXPECT_EQ(value("recording", "interval"), "5");
  EXPECT_EQ(value("recording", "unit"), "hours");
  EXPECT_EQ(value("recording", "capacity"), "4321");
  EXPECT_EQ(value("alarm-limits", "temp-lower"), "-10.5");
  EXPECT_EQ(value("control-limits", "hum-lower"), "40.5");
  EXPECT_EQ(value("calibration", "hum"), "on");

  // Cancelling the dialog writes no file and says nothing.
  prompts_.Clear();
  Click("profileSave");
  EXPECT_TRUE(prompts_.Messages().isEmpty());

  // A silent instrument: the read's failure is shown and no file dialog is opened.
  simulator_.SetFaults({.silent = true});
  prompts_.Clear();
  prompts_.fileNames = {Path("b.json")};
  Click("profileSave");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_TRUE(prompts_.LastMessage().startsWith("读取配置失败：recording："))
      << prompts_.LastMessage().toStdString();
  EXPECT_EQ(prompts_.shown.back().icon, ui::MessageKind::Warning);
  EXPECT_FALSE(QFile::exists(Path("b.json")));
}

TEST_F(ProfileWindowTest, LoadFillsTheControlsAndSendsNothing) {
  Device(SetApart);
  const QString path = Save("a.json");
  Device([](sim::SettingsState& s) { s = sim::SettingsState{}; });
  const size_t before = Requests();

  Load(path);
  EXPECT_EQ(Requests(), before);
  EXPECT_EQ(prompts_.shown.front().kind, "open");
  EXPECT_TRUE(prompts_.LastMessage().startsWith("配置已载入页面，尚未写入仪表。"));
  EXPECT_FALSE(prompts_.LastMessage().contains("未在本页面显示"));
  EXPECT_EQ(Text("recordingInterval"), "5");
  EXPECT_EQ(Text("recordingCapacity"), "4321");
  EXPECT_TRUE(Find<QRadioButton>("recordingHours")->isChecked());
  EXPECT_EQ(Text("alarmTempLower"), "-10.5");
  EXPECT_EQ(Text("alarmHumUpper"), "80.5");
  EXPECT_EQ(Text("controlHumLower"), "40.5");
  EXPECT_TRUE(Find<QCheckBox>("calibrationHum")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("calibrationTemp")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("controlTempOn")->isChecked());
  EXPECT_TRUE(Find<QPushButton>("profileWrite")->isEnabled());
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.capacity; }), 2000);

  // The profile belongs to the settings page: on another page "写入全部" waits again.
  window_->Tabs()->setCurrentIndex(3);
  EXPECT_FALSE(Find<QPushButton>("profileWrite")->isEnabled());
  window_->Tabs()->setCurrentIndex(0);
  EXPECT_TRUE(Find<QPushButton>("profileWrite")->isEnabled());
}

TEST_F(ProfileWindowTest, WriteAllAppliesTheLoadedProfileWithReadBack) {
  Device(SetApart);
  const QString path = Save("a.json");
  Device([](sim::SettingsState& s) { s = sim::SettingsState{}; });
  Load(path);
  prompts_.Clear();
  Click("profileWrite");
  EXPECT_EQ(prompts_.LastMessage(), "配置已写入，全部读回一致");
  EXPECT_EQ(prompts_.shown.back().icon, ui::MessageKind::Information);
  const sim::SettingsState now = Device([](sim::SettingsState& s) { return s; });
  EXPECT_EQ(now.interval, 5);
  EXPECT_TRUE(now.hours);
  EXPECT_EQ(now.capacity, 4321);
  EXPECT_EQ(now.calibration, 0x02);
  EXPECT_EQ(now.alarm.tempLower, -105);
  EXPECT_EQ(now.alarm.humUpper, 805);
  EXPECT_EQ(now.control.humLower, 405);
  EXPECT_EQ(now.alarmSwitches, 0x02);
  EXPECT_EQ(now.controlSwitches, 0x01);

  // With the port closed the write fails with the port's message and claims nothing.
  Click("openClose");
  prompts_.Clear();
  Click("profileWrite");
  EXPECT_TRUE(prompts_.LastMessage().startsWith("配置写入失败"))
      << prompts_.LastMessage().toStdString();
  EXPECT_EQ(prompts_.shown.back().icon, ui::MessageKind::Warning);
}

// An instrument that acknowledges the alarm temperature limits but keeps the old ones: the
// write names exactly those two values as not taken.
TEST_F(ProfileWindowTest, WriteAllNamesTheValuesThatDidNotTake) {
  Device(SetApart);
  const QString path = Save("a.json");
  Device([](sim::SettingsState& s) { s = sim::SettingsState{}; });
  simulator_.AddHandlerFirst(sim::kSumFamily, [](sim::Instrument& device, const sim::Bytes& frame)
                                                  -> std::optional<sim::Bytes> {
    const sim::SumRequest request = sim::ParseSum(frame);
    if (request.command != 0x0A || request.sub != 0x01 || request.payload.size() != 4) {
      return std::nullopt;
    }
    return sim::SumReply(device.address, request.command, request.sub, {sim::kAck});
  });
  Load(path);
  prompts_.Clear();
  Click("profileWrite");
  EXPECT_EQ(prompts_.LastMessage(),
            "配置已写入，但以下数值读回不一致：alarm-limits.temp-lower, alarm-limits.temp-upper");
  EXPECT_EQ(prompts_.shown.back().icon, ui::MessageKind::Warning);
  // The rest was written and kept.
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.alarm.humUpper; }), 805);
  EXPECT_EQ(Device([](sim::SettingsState& s) { return s.capacity; }), 4321);
}

// A tampered value, a profile of another page, malformed JSON and a missing file are refused
// with their reason: the controls keep what they show, nothing is sent, nothing is loaded.
TEST_F(ProfileWindowTest, BadProfilesAreRefusedAndChangeNothing) {
  Device(SetApart);
  const QString path = Save("a.json");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string good = file.readAll().toStdString();
  file.close();
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  WriteFile(Path("tampered.json"), replaced("\"temp-lower\":-10.5", "\"temp-lower\":-500"));
  WriteFile(Path("other.json"), replaced("\"page\": \"settings\"", "\"page\": \"property\""));
  WriteFile(Path("broken.json"), good.substr(0, good.size() / 2));

  Find<QLineEdit>("alarmTempLower")->setText("-1.0");
  Find<QLineEdit>("recordingInterval")->setText("9");
  const size_t before = Requests();
  const std::pair<const char*, const char*> cases[] = {
      {"tampered.json", "配置文件中的数值有误：alarm-limits.temp-lower"},
      {"other.json", "配置文件属于另一页面"},
      {"broken.json", "配置文件格式错误"},
      {"missing.json", "无法打开配置文件"}};
  for (const auto& [name, message] : cases) {
    Load(Path(name));
    EXPECT_TRUE(prompts_.LastMessage().startsWith(message))
        << name << ": " << prompts_.LastMessage().toStdString();
    EXPECT_EQ(prompts_.shown.back().icon, ui::MessageKind::Warning) << name;
    EXPECT_EQ(Text("alarmTempLower"), "-1.0") << name;
    EXPECT_EQ(Text("recordingInterval"), "9") << name;
    EXPECT_FALSE(Find<QPushButton>("profileWrite")->isEnabled()) << name;
  }
  EXPECT_EQ(Requests(), before);
}

// Every page whose family keeps a profile shows a real snapshot of its simulated instrument:
// the page knows the groups by the names the family declares, and what it cannot show (other
// channels, slots and servers than the selected one) are groups of the profile.
TEST(ProfilePagesTest, EveryPageShowsASnapshotOfItsOwnInstrument) {
  for (int kind = 0; kind < kPageKindCount; ++kind) {
    const pages::CommandSet* set = FamilyCommands(kind);
    // Pages whose snapshot needs options of its own (the Bluetooth MAC, the curve kind) are
    // shown in their own page tests.
    if (set == nullptr || !set->profile || !set->profile->given.empty()) continue;
    SCOPED_TRACE(set->page);
    pages::testing::SimLink sim;
    std::string error;
    ASSERT_TRUE(sim.StartSerial(&error)) << error;
    sim.link.fast = true;
    devlink::LinkChannel channel(sim.link);
    const pages::Result<pages::Profile> snapshot = pages::TakeSnapshot(*set, channel);
    ASSERT_TRUE(snapshot.ok()) << snapshot.message();
    QWidget parent;
    auto* page = dynamic_cast<pages::Page*>(CreatePage(kind, sim.link, 0, &parent));
    ASSERT_NE(page, nullptr);
    const size_t before = sim.Requests();
    const std::vector<std::string> notShown = page->ShowProfile(snapshot.value);
    EXPECT_EQ(sim.Requests(), before);
    std::string names;
    for (const std::string& name : notShown) names += " " + name;
    EXPECT_LT(notShown.size(), snapshot.value.groups.size()) << "not shown:" << names;
    for (const std::string& name : notShown) {
      const std::string group = name.substr(0, name.find('.'));
      const bool known = std::any_of(snapshot.value.groups.begin(), snapshot.value.groups.end(),
                                     [&](const pages::ProfileGroup& g) { return g.name == group; });
      EXPECT_TRUE(known) << name;
    }
  }
}

}  // namespace
}  // namespace app
