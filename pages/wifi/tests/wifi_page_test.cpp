// The WiFi module page driven like a technician would, against the simulated module on a
// pseudo-terminal over the real serial link.
#include "pages/wifi/wifi_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/ip_address_edit.h"
#include "sim/families/wifi_module.h"

namespace pages {
namespace {

class WifiPageTest : public pages::testing::PageFixture<WifiPage> {
 protected:
  template <class F>
  auto Module(F&& f) {
    return sim_.Device<sim::WifiModuleState>(std::forward<F>(f));
  }
  QComboBox* Security() { return Find<QComboBox>("security"); }
  QRadioButton* Radio(const char* name) { return Find<QRadioButton>(name); }
  IpAddressEdit* Address(const char* name) { return Find<IpAddressEdit>(name); }
  bool IpControlsEnabled(bool enabled) {
    for (const char* name : {"ipAddress", "subnetMask", "gateway", "dns"}) {
      if (Address(name)->isEnabled() != enabled) return false;
    }
    return true;
  }
  // Commands of the requests the module received, in order, with their sub-command.
  std::vector<std::pair<uint8_t, uint8_t>> Commands() {
    std::vector<std::pair<uint8_t, uint8_t>> commands;
    for (const auto& request : sim_.simulator.RequestLog()) {
      if (request.size() > 3) commands.emplace_back(request[2], request[3]);
    }
    return commands;
  }
};

TEST_F(WifiPageTest, InitialStateAndDhcpRadios) {
  EXPECT_EQ(Security()->count(), 7);
  EXPECT_EQ(Security()->currentText(), "Disable");
  EXPECT_EQ(Security()->itemText(6), "WPA2-PSK AES");
  EXPECT_TRUE(Radio("dhcpOff")->isChecked());
  EXPECT_TRUE(IpControlsEnabled(true));
  EXPECT_TRUE(Edit("mac")->isReadOnly());
  EXPECT_FALSE(Edit("password")->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(Edit("ssid")->accessibleName(), "SSID：");
  EXPECT_EQ(Address("dns")->accessibleName(), "D   N  S：");

  // Typing stops at 30 characters.
  Edit("ssid")->setFocus();
  QTest::keyClicks(Edit("ssid"), QString(35, 'x'));
  EXPECT_EQ(Edit("ssid")->text().size(), 30);

  Radio("dhcpOn")->click();
  EXPECT_TRUE(IpControlsEnabled(false));
  Radio("dhcpOff")->click();
  EXPECT_TRUE(IpControlsEnabled(true));
}

TEST_F(WifiPageTest, ReadFillsEveryControlAndCopyTakesTheMac) {
  Module([](sim::WifiModuleState& s) {
    s.ssid = "二楼仓库";
    s.security = 3;
    s.password = "pass1234";
    s.dhcp = true;
    s.ip = {192, 168, 5, 9};
    s.dns = {192, 168, 5, 1};
  });
  Click("read");
  EXPECT_EQ(prompts_.LastMessage(), "读取成功！");
  EXPECT_EQ(Edit("ssid")->text(), "二楼仓库");
  EXPECT_EQ(Security()->currentText(), "WPA-PSK TKIP");
  EXPECT_EQ(Edit("password")->text(), "pass1234");
  EXPECT_EQ(Edit("mac")->text(), "AC:CF:23:5A:0B:17");
  EXPECT_TRUE(Radio("dhcpOn")->isChecked());
  EXPECT_TRUE(IpControlsEnabled(false));  // DHCP on
  EXPECT_EQ(Address("ipAddress")->Address(), (std::array<uint8_t, 4>{192, 168, 5, 9}));
  EXPECT_EQ(Address("dns")->Address(), (std::array<uint8_t, 4>{192, 168, 5, 1}));

  Click("copyMac");
  EXPECT_EQ(prompts_.clipboard, "AC:CF:23:5A:0B:17");
}

TEST_F(WifiPageTest, ReadFailingAtItsThirdStepLeavesTheLateControlsAlone) {
  Module([](sim::WifiModuleState& s) {
    s.ssid = "new-ssid";
    s.security = 2;
    s.password = "newpass1";
    s.dhcp = true;
    s.unanswered = {0x22};  // the IP read
  });
  Edit("ssid")->setText("old-ssid");
  Edit("password")->setText("oldpass");
  Click("read");
  EXPECT_EQ(prompts_.LastMessage(), "IP读取失败");
  // The security list is shown as its step read it; the rest waits for the whole chain.
  EXPECT_EQ(Security()->currentIndex(), 2);
  EXPECT_EQ(Edit("ssid")->text(), "old-ssid");
  EXPECT_EQ(Edit("password")->text(), "oldpass");
  EXPECT_EQ(Edit("mac")->text(), "");
  EXPECT_TRUE(Radio("dhcpOff")->isChecked());
  EXPECT_TRUE(IpControlsEnabled(true));
  // Nothing after the failing step was asked.
  EXPECT_EQ(Commands(), (std::vector<std::pair<uint8_t, uint8_t>>{
                            {0x20, 0x55}, {0x21, 0x55}, {0x22, 0x55}}));
}

TEST_F(WifiPageTest, SetWithDhcpOnSkipsTheIpAndDnsWrites) {
  Click("read");
  sim_.simulator.ClearLog();
  prompts_.Clear();
  Edit("ssid")->setText("办公室");
  Security()->setCurrentIndex(6);
  Edit("password")->setText("12345678");
  Radio("dhcpOn")->click();
  Click("write");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功！");
  EXPECT_EQ(Commands(), (std::vector<std::pair<uint8_t, uint8_t>>{
                            {0x20, 0xAA}, {0x21, 0xAA}, {0x26, 0xAA}, {0x27, 0xAA}}));
  const auto state = Module([](sim::WifiModuleState& s) { return s; });
  EXPECT_EQ(state.ssid, "办公室");
  EXPECT_EQ(state.security, 6);
  EXPECT_TRUE(state.dhcp);
  EXPECT_EQ(state.mac, "AC:CF:23:5A:0B:17");  // the MAC that was read is written back

  // With DHCP off the addresses of the controls are written too.
  sim_.simulator.ClearLog();
  Radio("dhcpOff")->click();
  Find<QSpinBox>("gateway3")->setValue(254);
  Click("write");
  EXPECT_EQ(Commands().size(), 6u);
  EXPECT_EQ(Module([](sim::WifiModuleState& s) { return s.gateway[3]; }), 254);
  EXPECT_FALSE(Module([](sim::WifiModuleState& s) { return s.dhcp; }));
}

// A pasted control character is refused before the first frame of the write, whichever field
// holds it, and nothing of the module's configuration changes.
TEST_F(WifiPageTest, ControlCharactersAreRefusedBeforeAnythingIsSent) {
  Click("read");
  const auto before = Module([](sim::WifiModuleState& s) { return s; });
  for (const char* name : {"ssid", "password"}) {
    sim_.simulator.ClearLog();
    prompts_.Clear();
    Edit("ssid")->setText("office");
    Edit("password")->setText("12345678");
    Edit(name)->setText(QString::fromUtf8(name) + QChar(0x01));
    Click("write");
    EXPECT_EQ(prompts_.LastMessage(), "输入的文字含有无法发送的字符！") << name;
    EXPECT_TRUE(Commands().empty()) << name;
  }
  EXPECT_EQ(Module([](sim::WifiModuleState& s) { return s.ssid; }), before.ssid);
}

TEST_F(WifiPageTest, ModuleControlButtonsAndAClosedPort) {
  Click("resetModule");
  EXPECT_EQ(prompts_.LastMessage(), "操作成功！");
  Click("exitConfiguration");
  Click("factorySettings");
  const auto state = Module([](sim::WifiModuleState& s) { return s; });
  EXPECT_EQ(state.resets, 1);
  EXPECT_EQ(state.exits, 1);
  EXPECT_EQ(state.factoryResets, 1);

  sim_.link.serial.ClosePort();
  Click("resetModule");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败！");
  Click("read");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  // Too long a text from a script or a paste is refused before anything is sent.
  sim_.simulator.ClearLog();
  Edit("ssid")->setText(QString(31, 'x'));
  Click("write");
  EXPECT_EQ(prompts_.LastMessage(), "输入的文字过长！");
}

// A profile's network settings go into the controls unsent and "设置" then writes them; the
// MAC of the module the profile came from stays out of this module's MAC field.
TEST_F(WifiPageTest, ProfileValuesGoIntoTheControlsUnsent) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"wifi","values":{"write":{"ssid":"冷库-2","security":"WPA-PSK AES",
      "password":"secret99","dhcp":"off","ip":"192.168.7.20","mask":"255.255.0.0",
      "gateway":"192.168.7.1","dns":"8.8.4.4","mac":"02:00:00:00:00:01"}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  Radio("dhcpOn")->setChecked(true);
  Edit("mac")->setText("AC:CF:23:5A:0B:17");

  const std::vector<std::string> notShown = page_->ShowProfile(profile.value);
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(notShown, (std::vector<std::string>{"write.mac"}));
  EXPECT_EQ(Edit("ssid")->text(), "冷库-2");
  EXPECT_EQ(Security()->currentText(), "WPA-PSK AES");
  EXPECT_EQ(Edit("password")->text(), "secret99");
  EXPECT_TRUE(Radio("dhcpOff")->isChecked());
  EXPECT_TRUE(IpControlsEnabled(true));
  EXPECT_EQ(Address("subnetMask")->Address(), (std::array<uint8_t, 4>{255, 255, 0, 0}));
  EXPECT_EQ(Address("dns")->Address(), (std::array<uint8_t, 4>{8, 8, 4, 4}));
  EXPECT_EQ(Edit("mac")->text(), "AC:CF:23:5A:0B:17");

  Click("write");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功！");
  const sim::WifiModuleState module = Module([](sim::WifiModuleState& s) { return s; });
  EXPECT_EQ(module.ssid, "冷库-2");
  EXPECT_EQ(module.security, 4);
  EXPECT_EQ(module.ip, (std::array<uint8_t, 4>{192, 168, 7, 20}));
  EXPECT_EQ(module.gateway, (std::array<uint8_t, 4>{192, 168, 7, 1}));
}

}  // namespace
}  // namespace pages
