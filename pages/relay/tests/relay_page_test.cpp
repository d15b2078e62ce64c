// The relay page and its dialogs driven like a technician would, against the simulated relay
// over the real serial link (and TCP where the print settings go).
#include "pages/relay/relay_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <functional>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/editable_list.h"
#include "sim/families/relay.h"

namespace pages {
namespace {

class RelayPageTest : public pages::testing::PageFixture<RelayPage> {
 protected:
  template <class F>
  auto Relay(F&& f) {
    return sim_.Device<sim::RelayState>(std::forward<F>(f));
  }
  EditableList* List() { return page_->InstrumentList(); }
  // Runs `drive` on the modal dialog that `open` shows, once it is up; the dialog must be closed
  // by `drive`.
  void WithDialog(const std::function<void()>& open, const std::function<void(QDialog*)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      driven = true;
      drive(dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    open();
    EXPECT_TRUE(driven);
  }
};

TEST_F(RelayPageTest, StartsWithTenEmptyRowsAndTheAddressControlsFollowTheSwitches) {
  EXPECT_EQ(List()->rowCount(), 10);
  EXPECT_EQ(List()->columnCount(), 5);
  EXPECT_EQ(Edit("serverPort")->text(), "3550");
  EXPECT_EQ(Edit("sendInterval")->text(), "1");
  EXPECT_EQ(Edit("serverIp")->text(), "0.0.0.0");
  EXPECT_EQ(Edit("domain")->text(), relay::kDefaultDomain);
  EXPECT_TRUE(Edit("serverIp")->isEnabled());
  EXPECT_FALSE(Edit("domain")->isEnabled());
  Find<QRadioButton>("domainMode")->setChecked(true);
  EXPECT_FALSE(Edit("serverIp")->isEnabled());
  EXPECT_TRUE(Edit("domain")->isEnabled());
  Find<QCheckBox>("gprsOff")->setChecked(true);
  for (const char* name : {"serverIp", "domain"}) EXPECT_FALSE(Edit(name)->isEnabled()) << name;
  EXPECT_FALSE(Find<QRadioButton>("ipMode")->isEnabled());
  Find<QCheckBox>("gprsOff")->setChecked(false);
  EXPECT_TRUE(Edit("domain")->isEnabled());
  for (QLineEdit* input : page_->findChildren<QLineEdit*>()) {
    if (input->objectName() == "cellEdit") continue;
    EXPECT_FALSE(input->accessibleName().isEmpty()) << input->objectName().toStdString();
  }
}

TEST_F(RelayPageTest, ConfigureThenReadGprsShowsTheRelaysRecord) {
  Edit("relaySn")->setText("0A1B00042");
  Edit("sendInterval")->setText("15");
  Find<QRadioButton>("domainMode")->setChecked(true);
  Edit("domain")->setText("relay.example.org");
  Click("writeGprs");
  EXPECT_EQ(prompts_.LastMessage(), relay::kGprsOk);
  // Change the page, then read the relay back.
  Edit("relaySn")->clear();
  Edit("sendInterval")->setText("1");
  Find<QRadioButton>("ipMode")->setChecked(true);
  Click("readGprs");
  EXPECT_EQ(prompts_.LastMessage(), relay::kReadConfigOk);
  EXPECT_EQ(Edit("relaySn")->text(), "0a1b00042");
  EXPECT_EQ(Edit("sendInterval")->text(), "15");
  EXPECT_TRUE(Find<QRadioButton>("domainMode")->isChecked());
  EXPECT_TRUE(Edit("domain")->isEnabled());
  EXPECT_EQ(Edit("domain")->text(), "relay.example.org");
}

TEST_F(RelayPageTest, BadFieldsStopBeforeAnythingIsSent) {
  Click("writeGprs");  // the SN is empty at start
  EXPECT_EQ(prompts_.LastMessage(), relay::kSnInvalid);
  Edit("relaySn")->setText("0A1B00042");
  Edit("serverPort")->clear();
  prompts_.Clear();
  Click("writeInstruments");
  EXPECT_EQ(prompts_.Messages(), (QStringList{kNotAnInteger, relay::kConfigureFailed}));
  EXPECT_EQ(sim_.Requests(), 0u);
}

TEST_F(RelayPageTest, InstrumentTableGoesOutAndComesBackByCount) {
  Edit("relaySn")->setText("0A1B00042");
  List()->SetCellText(0, 1, "95");
  List()->SetCellText(0, 2, "0A1B00042");
  List()->SetCellText(0, 3, "25.5");
  List()->SetCellText(0, 4, "-10.25");
  List()->SetChecked(0, true);
  List()->SetCellText(2, 1, "7");
  List()->SetChecked(2, true);
  Click("writeInstruments");
  EXPECT_EQ(prompts_.LastMessage(), relay::kInstrumentsOk);
  EXPECT_EQ(Relay([](sim::RelayState& s) { return s.table[0]; }), 2);  // the count
  // Row 1 was empty: the list shows what was sent, row 2 moved up with its alarm box.
  EXPECT_EQ(List()->CellText(1, 1), "7");
  EXPECT_TRUE(List()->IsChecked(1));
  EXPECT_EQ(List()->CellText(2, 1), "");
  EXPECT_FALSE(List()->IsChecked(2));

  Click("clearList");
  EXPECT_EQ(List()->CellText(0, 1), "");
  Click("readInstruments");
  EXPECT_EQ(prompts_.LastMessage(), relay::kReadConfigOk);
  EXPECT_EQ(List()->CellText(0, 1), "0095");
  EXPECT_EQ(List()->CellText(0, 3), "25.50");
  EXPECT_EQ(List()->CellText(0, 4), "-10.25");
  EXPECT_TRUE(List()->IsChecked(0));
  EXPECT_EQ(List()->CellText(1, 1), "0007");
  EXPECT_TRUE(List()->IsChecked(1));
  EXPECT_EQ(List()->CellText(2, 1), "");

  // A read that fails leaves the list as it was.
  sim_.simulator.SetFaults({.truncateTo = 100});
  Click("readInstruments");
  EXPECT_EQ(prompts_.LastMessage(), relay::kReadConfigFailed);
  EXPECT_EQ(List()->CellText(0, 1), "0095");
}

TEST_F(RelayPageTest, PhoneDialogRefusesATenDigitNumberAndStaysOpen) {
  WithDialog([&] { Click("phoneSettings"); },
             [&](QDialog* dialog) {
               EXPECT_EQ(dialog->windowTitle(), "手机号码设置");
               dialog->findChild<QLineEdit*>("phone2")->setText("1380013800");
               dialog->findChild<QPushButton*>("writePhones")->click();
               EXPECT_EQ(prompts_.LastMessage(), relay::kPhoneInvalid);
               EXPECT_TRUE(dialog->isVisible());
               EXPECT_EQ(sim_.Requests(), 0u);
               dialog->findChild<QLineEdit*>("phone2")->setText("13800138000");
               dialog->findChild<QPushButton*>("writePhones")->click();
               EXPECT_EQ(prompts_.LastMessage(), relay::kPhonesSetOk);
               EXPECT_TRUE(dialog->isVisible());
               dialog->findChild<QLineEdit*>("phone2")->clear();
               dialog->findChild<QPushButton*>("readPhones")->click();
               EXPECT_EQ(dialog->findChild<QLineEdit*>("phone2")->text(), "13800138000");
               dialog->findChild<QPushButton*>("cancel")->click();
               EXPECT_FALSE(dialog->isVisible());
             });
}

TEST_F(RelayPageTest, TimeCalibrationSendsTheManualTime) {
  sim_.link.fast = true;  // the clock commands wait a fixed time otherwise
  WithDialog([&] { Click("calibrateTime"); },
             [&](QDialog* dialog) {
               dialog->findChild<QRadioButton*>("manualSetting")->setChecked(true);
               dialog->findChild<QDateEdit*>("manualDate")->setDate(QDate(2026, 5, 4));
               dialog->findChild<QTimeEdit*>("manualTime")->setTime(QTime(3, 2, 1));
               dialog->findChild<QPushButton*>("calibrate")->click();
             });
  EXPECT_EQ(prompts_.LastMessage(), relay::kTimeOk);
  const auto clock = Relay([](sim::RelayState& s) { return s.clock; });
  ASSERT_TRUE(clock.has_value());
  EXPECT_EQ(*clock, (std::array<uint8_t, 6>{0x26, 0x05, 0x04, 0x03, 0x02, 0x01}));
  EXPECT_TRUE(page_->CurrentManualTime().manual);

  // Reopening clears the manual choice; cancelling sends nothing.
  const size_t before = sim_.Requests();
  WithDialog([&] { Click("calibrateTime"); },
             [&](QDialog* dialog) { dialog->findChild<QPushButton*>("cancel")->click(); });
  EXPECT_FALSE(page_->CurrentManualTime().manual);
  EXPECT_EQ(sim_.Requests(), before);
}

TEST_F(RelayPageTest, PowerFollowsTheLinkRate) {
  sim_.link.baudText = "115200";
  Click("powerOn");
  EXPECT_EQ(prompts_.LastMessage(), kPortOpenFailed);
  EXPECT_EQ(sim_.Requests(), 0u);
  sim_.link.baudText = "38400";
  Click("powerOff");
  EXPECT_EQ(prompts_.LastMessage(), relay::kPowerOffOk);
  EXPECT_FALSE(Relay([](sim::RelayState& s) { return s.instrumentsOn; }));
}

TEST(RelayPageTcpTest, OverTcpOnlyThePrintSettingsDoAnything) {
  pages::testing::SimLink sim;
  std::string error;
  ASSERT_TRUE(sim.StartTcp(&error)) << error;
  ui::ScriptedPrompts prompts;
  ui::InstallPrompts(&prompts);
  {
    RelayPage page(sim.link, 1);
    for (const char* button : {"readGprs", "readInstruments", "clearData", "powerOn"}) {
      page.findChild<QPushButton*>(button)->click();
    }
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(sim.Requests(), 0u);
    bool driven = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      driven = true;
      dialog->findChild<QLineEdit*>("companyName")->setText("冷链公司");
      dialog->findChild<QPushButton*>("writePrintSettings")->click();
      EXPECT_EQ(prompts.LastMessage(), relay::kPrintSetOk);
      dialog->findChild<QLineEdit*>("companyName")->clear();
      dialog->findChild<QPushButton*>("readPrintSettings")->click();
      EXPECT_EQ(dialog->findChild<QLineEdit*>("companyName")->text(), "冷链公司");
      dialog->reject();
    });
    page.findChild<QPushButton*>("printSettings")->click();
    EXPECT_TRUE(driven);
  }
  ui::InstallPrompts(nullptr);
}

// A profile's GPRS settings go into the controls unsent ("gprs": off checks "GPRS关闭"); the
// phone numbers and print settings, kept in dialogs of their own, are named.
TEST_F(RelayPageTest, ProfileGprsSettingsGoIntoTheControlsUnsent) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"relay","values":{
      "gprs":{"interval":15,"server-port":4000,"sn":"0A1B00042","mode":"domain",
              "ip":"0.0.0.0","domain":"relay.example.org","gprs":"off"},
      "phones":{"1":"13800138000"},"print":{"company":"华东冷链"}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  EXPECT_EQ(page_->ShowProfile(profile.value), (std::vector<std::string>{"phones", "print"}));
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(Edit("sendInterval")->text(), "15");
  EXPECT_EQ(Edit("serverPort")->text(), "4000");
  EXPECT_EQ(Edit("relaySn")->text(), "0A1B00042");
  EXPECT_EQ(Edit("domain")->text(), "relay.example.org");
  EXPECT_TRUE(Find<QRadioButton>("domainMode")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("gprsOff")->isChecked());
  EXPECT_FALSE(Edit("domain")->isEnabled());  // the address controls follow the switches

  const Result<Profile> on = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"relay","values":{"gprs":{"gprs":true}}})");
  ASSERT_TRUE(on.ok());
  EXPECT_TRUE(page_->ShowProfile(on.value).empty());
  EXPECT_FALSE(Find<QCheckBox>("gprsOff")->isChecked());
  EXPECT_TRUE(Edit("domain")->isEnabled());
}

}  // namespace
}  // namespace pages
