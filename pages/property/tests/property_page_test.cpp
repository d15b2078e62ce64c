// The property settings page driven like a technician would, against the instrument simulator
// on a pseudo-terminal over the real serial link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "pages/kit/profile.h"
#include "pages/property/property_page.h"
#include "pages/widgets/range_edit.h"
#include "pages/widgets/sn_widget.h"
#include "sim/families/property.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "ui/prompts.h"
#include "pages/testing/test_delay.h"

namespace pages {
namespace {

class PropertyPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    ASSERT_TRUE(link_.serial.OpenPort(server_.SlavePath(), &error)) << error;
    ASSERT_TRUE(link_.serial.ConfigurePort("115200", &error)) << error;
    link_.delayMs = pages::testing::TestDelayMs(40);
    ui::InstallPrompts(&prompts_);
  }
  void TearDown() override {
    ui::InstallPrompts(nullptr);
    link_.serial.ClosePort();
    server_.Stop();
  }

  PropertyPage& Page() {
    if (!page_) page_ = std::make_unique<PropertyPage>(link_, variant_);
    return *page_;
  }
  template <class T>
  T* Find(const char* name) {
    T* widget = Page().findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  QString Text(const char* name) { return Find<QLineEdit>(name)->text(); }
  void SetText(const char* name, const QString& text) { Find<QLineEdit>(name)->setText(text); }

  template <class F>
  auto Device(F&& f) {
    return simulator_.WithDevice([&](sim::Instrument& d) { return f(d.State<sim::PropertyState>()); });
  }
  size_t Requests() { return simulator_.RequestLog().size(); }

  // Fills the channel row with values that pass every rule.
  void FillGoodChannel() {
    Find<QComboBox>("channelNumber")->setCurrentIndex(2);  // channel 3
    Find<QComboBox>("channelType")->setCurrentIndex(1);    // "湿度传感器"
    Find<QCheckBox>("soundLight")->setChecked(true);
    Find<QCheckBox>("sms")->setChecked(true);
    SetText("cardId", "0A0B0C0D");
    SetText("sn", "1A2B00042");
    SetText("upper", "95.5");
    SetText("lower", "5.0");
  }

  sim::Simulator simulator_;
  sim::PtyServer server_{simulator_};
  devlink::DeviceLink link_;
  ui::ScriptedPrompts prompts_;
  int variant_ = 0;
  std::unique_ptr<PropertyPage> page_;
};

TEST_F(PropertyPageTest, StartsWithTheInitialValues) {
  EXPECT_EQ(Find<QComboBox>("channelNumber")->currentText(), "1");
  EXPECT_EQ(Find<QComboBox>("channelNumber")->count(), 32);
  EXPECT_EQ(Find<QComboBox>("channelType")->count(), 29);
  EXPECT_EQ(Find<QComboBox>("channelType")->currentIndex(), -1);
  EXPECT_EQ(Text("upper"), "0.0");
  EXPECT_EQ(Text("lower"), "0.0");
  EXPECT_EQ(Find<QComboBox>("serverSelector")->currentText(), "数据");
  EXPECT_TRUE(Find<QRadioButton>("ipMode")->isChecked());
  EXPECT_TRUE(Find<QWidget>("ipAddress")->isEnabled());
  EXPECT_FALSE(Find<QLineEdit>("domain")->isEnabled());
  auto* sn = Find<SnWidget>("snWidget");
  ASSERT_NE(sn, nullptr);
  auto* group = qobject_cast<QGroupBox*>(sn->parentWidget());
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), "SN设置");
}

TEST_F(PropertyPageTest, ProtectionButtonsAreHiddenOnlyInVariantsMinus2And7) {
  for (int variant : {-2, -1, 0, 1, 3, 5, 7, 8}) {
    PropertyPage page(link_, variant);
    bool hidden = variant == -2 || variant == 7;
    EXPECT_EQ(page.findChild<QPushButton*>("protectionRead")->isHidden(), hidden) << variant;
    EXPECT_EQ(page.findChild<QPushButton*>("protectionWrite")->isHidden(), hidden) << variant;
  }
}

TEST_F(PropertyPageTest, ChannelReadFillsTheRow) {
  Device([](sim::PropertyState& s) {
    s.channels[3] = {};
    s.channels[3].type = 48;  // "LORA-湿度"
    s.channels[3].sms = true;
    s.channels[3].cardId = 0xDEADBEEF;
    s.channels[3].snPrefix = 0x7EAC;
    s.channels[3].snSerial = 65535;
    s.channels[3].upper = 90.0f;
    s.channels[3].lower = 12.3f;
  });
  Find<QComboBox>("channelNumber")->setCurrentIndex(3);
  Click("channelRead");
  EXPECT_TRUE(prompts_.shown.empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(Find<QComboBox>("channelType")->currentText(), "LORA-湿度");
  EXPECT_FALSE(Find<QCheckBox>("soundLight")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("sms")->isChecked());
  EXPECT_EQ(Text("cardId"), "deadbeef");
  EXPECT_EQ(Text("sn"), "7eac65535");
  EXPECT_EQ(Text("upper"), "90.0");
  EXPECT_EQ(Text("lower"), "12.3");

  // A code outside the list leaves the type without a selection.
  Device([](sim::PropertyState& s) { s.channels[3].type = 30; });
  Click("channelRead");
  EXPECT_EQ(Find<QComboBox>("channelType")->currentIndex(), -1);
}

TEST_F(PropertyPageTest, ChannelWriteStoresTheRowInTheInstrument) {
  FillGoodChannel();
  Click("channelWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  Device([](sim::PropertyState& s) {
    const sim::PropertyChannel& c = s.channels[2];
    EXPECT_EQ(c.type, 2);
    EXPECT_TRUE(c.soundLight);
    EXPECT_TRUE(c.sms);
    EXPECT_EQ(c.cardId, 0x0A0B0C0Du);
    EXPECT_EQ(c.snPrefix, 0x1A2B);
    EXPECT_EQ(c.snSerial, 42);
    EXPECT_FLOAT_EQ(c.upper, 95.5f);
    EXPECT_FLOAT_EQ(c.lower, 5.0f);
  });
}

struct Refusal {
  const char* name;
  const char* field;  // control changed from the good row
  const char* value;
  const char* message;
  const char* focus;  // control that gets the focus
};
class PropertyPageRefusal : public PropertyPageTest,
                            public ::testing::WithParamInterface<Refusal> {};

TEST_P(PropertyPageRefusal, ShowsTheRuleFocusesTheFieldAndSendsNothing) {
  FillGoodChannel();
  SetText(GetParam().field, QString::fromUtf8(GetParam().value));
  simulator_.ClearLog();
  Click("channelWrite");
  EXPECT_EQ(prompts_.Messages(), QStringList{QString::fromUtf8(GetParam().message)});
  EXPECT_EQ(Page().focusWidget(), Find<QWidget>(GetParam().focus));
  auto* edit = Find<QLineEdit>(GetParam().focus);
  EXPECT_EQ(edit->selectedText(), edit->text());
  EXPECT_EQ(Requests(), 0u);
  Device([](sim::PropertyState& s) { EXPECT_EQ(s.channels[2].type, 0); });
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PropertyPageRefusal,
    ::testing::Values(
        Refusal{"CardId", "cardId", "0A0B0C", "卡片id输入有误，请输入正确卡片id！", "cardId"},
        Refusal{"Sn", "sn", "1A2B0004", "SN号输入有误，请输入正确SN号！", "sn"},
        Refusal{"HumidityRange", "upper", "120", "上限必须不小于下限!\r\n范围: 0.0 ~ 100.0",
                "upper"},
        Refusal{"LowerAboveUpper", "lower", "96", "上限必须不小于下限!\r\n范围: 0.0 ~ 100.0",
                "upper"},
        Refusal{"UpperNotANumber", "upper", "-", "请键入一个数。", "upper"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PropertyPageTest, ChannelWriteWithoutATypeIsRefused) {
  FillGoodChannel();
  Find<QComboBox>("channelType")->setCurrentIndex(-1);
  simulator_.ClearLog();
  Click("channelWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请选择配置的通道类型！");
  EXPECT_EQ(Page().focusWidget(), Find<QWidget>("channelType"));
  EXPECT_EQ(Requests(), 0u);
}

TEST_F(PropertyPageTest, CardIdFieldTakesOnlyHexDigits) {
  auto* card = Find<QLineEdit>("cardId");
  card->setFocus();
  card->clear();
  for (QChar c : QString("0g-A.bZ9")) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(card, &press);
  }
  EXPECT_EQ(card->text(), "0Ab9");
}

TEST_F(PropertyPageTest, ProtectionValuesGoThroughTheLimitFields) {
  Find<QComboBox>("channelNumber")->setCurrentIndex(9);
  SetText("upper", "-1000.0");
  SetText("lower", "-1000.5");
  simulator_.ClearLog();
  Click("protectionWrite");
  EXPECT_EQ(prompts_.LastMessage(), "上限必须不小于下限!\r\n范围: -1000.0 ~ 1000.0");
  EXPECT_EQ(Requests(), 0u);

  SetText("lower", "-1000.0");
  Click("protectionWrite");
  EXPECT_EQ(prompts_.LastMessage(), "保护值设置成功");
  Device([](sim::PropertyState& s) {
    EXPECT_FLOAT_EQ(s.channels[9].protectionUpper, -1000.0f);
    EXPECT_FLOAT_EQ(s.channels[9].protectionLower, -1000.0f);
  });

  Device([](sim::PropertyState& s) {
    s.channels[9].protectionUpper = 60.0f;
    s.channels[9].protectionLower = -25.5f;
  });
  prompts_.Clear();
  Click("protectionRead");
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(Text("upper"), "60.0");
  EXPECT_EQ(Text("lower"), "-25.5");
}

TEST_F(PropertyPageTest, CompanyAndPlateRoundTrip) {
  SetText("company", "华东冷链");
  Click("companyWrite");
  EXPECT_EQ(prompts_.LastMessage(), "公司名称设置成功");
  SetText("plate", "沪A88888");
  Click("plateWrite");
  EXPECT_EQ(prompts_.LastMessage(), "车牌号设置成功");
  EXPECT_EQ(Device([](sim::PropertyState& s) { return s.plate; }),
            (sim::Bytes{0xBB, 0xA6, 'A', '8', '8', '8', '8', '8'}));

  SetText("company", "");
  SetText("plate", "");
  prompts_.Clear();
  Click("companyRead");
  Click("plateRead");
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(Text("company"), "华东冷链");
  EXPECT_EQ(Text("plate"), "沪A88888");
}

TEST_F(PropertyPageTest, ServerReadSwitchesToDomainModeForAZeroAddress) {
  Click("serverRead");  // the data server is reached by name
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_TRUE(Find<QRadioButton>("domainMode")->isChecked());
  EXPECT_TRUE(Find<QLineEdit>("domain")->isEnabled());
  EXPECT_FALSE(Find<QWidget>("ipAddress")->isEnabled());
  EXPECT_EQ(Text("domain"), "data.example.com");
  EXPECT_EQ(Text("port"), "9000");

  Find<QComboBox>("serverSelector")->setCurrentIndex(1);  // "配置": by address
  Click("serverRead");
  EXPECT_TRUE(Find<QRadioButton>("ipMode")->isChecked());
  EXPECT_FALSE(Find<QLineEdit>("domain")->isEnabled());
  EXPECT_EQ(Find<QSpinBox>("ipAddress0")->value(), 127);
  EXPECT_EQ(Find<QSpinBox>("ipAddress3")->value(), 1);
  EXPECT_EQ(Text("port"), "9001");
}

TEST_F(PropertyPageTest, ServerWriteInIpModeSendsTheZeroDomain) {
  Find<QComboBox>("serverSelector")->setCurrentIndex(1);
  for (int i = 0; i < 4; ++i) {
    Find<QSpinBox>(QString("ipAddress%1").arg(i).toUtf8().constData())->setValue(10 + i);
  }
  SetText("domain", "ignored.example.com");
  SetText("port", "7001");
  Click("serverWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  Device([](sim::PropertyState& s) {
    EXPECT_EQ(s.configServer.ip, (std::array<uint8_t, 4>{10, 11, 12, 13}));
    EXPECT_EQ(s.configServer.port, 7001);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.configServer.domain.data())), "0.0.0.0");
  });
}

TEST_F(PropertyPageTest, ServerWriteInDomainModeNeedsADomain) {
  Find<QRadioButton>("domainMode")->setChecked(true);
  SetText("domain", "   ");
  SetText("port", "80");
  simulator_.ClearLog();
  Click("serverWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请输入域名！");
  EXPECT_EQ(Page().focusWidget(), Find<QWidget>("domain"));
  EXPECT_EQ(Requests(), 0u);

  SetText("domain", " iot.example.org ");
  Click("serverWrite");
  EXPECT_EQ(prompts_.LastMessage(), "设置成功");
  EXPECT_EQ(Device([](sim::PropertyState& s) {
              return std::string(reinterpret_cast<const char*>(s.dataServer.domain.data()));
            }),
            "iot.example.org");
}

TEST_F(PropertyPageTest, ClosedPortAndSilentInstrument) {
  link_.serial.ClosePort();
  Click("channelRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  std::string error;
  ASSERT_TRUE(link_.serial.OpenPort(server_.SlavePath(), &error)) << error;
  ASSERT_TRUE(link_.serial.ConfigurePort("115200", &error)) << error;

  sim::Faults silent;
  silent.silent = true;
  simulator_.SetFaults(silent);
  SetText("cardId", "12345678");
  Click("channelRead");
  EXPECT_EQ(prompts_.LastMessage(), "通道信息读取失败");
  EXPECT_EQ(Text("cardId"), "12345678");
  Click("serverRead");
  EXPECT_EQ(prompts_.LastMessage(), "读取失败");
}

TEST_F(PropertyPageTest, SnWidgetSpeaksOverThePagesLink) {
  auto* sn = Find<SnWidget>("snWidget");
  ASSERT_NE(sn, nullptr);
  sn->ReadButton()->click();
  EXPECT_EQ(sn->SnField()->text(), "7EAC00001");
}

// A profile in the write verbs' names goes into the controls of the channel and the server the
// page shows, unsent; the page's own write buttons then send those values. Other channels,
// the other server and limits that would overwrite the channel's are named.
TEST_F(PropertyPageTest, ProfileValuesGoIntoTheShownChannelUnsent) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"property","values":{
      "channel:3":{"channel":3,"type-code":4,"card-id":"0A0B0C0D","sn":"1A2B00042",
                   "upper":80,"lower":-12.5,"sound-light":true,"sms":false},
      "channel:4":{"channel":4,"type-code":1,"card-id":"00000001","sn":"1A2B00043",
                   "upper":1,"lower":0,"sound-light":false,"sms":false},
      "protection:3":{"channel":3,"upper":70,"lower":-12.5},
      "company":{"company":"华东冷链"},"plate":{"plate":"沪A12345"},
      "server:data":{"server":"data","mode":"domain","ip":"10.1.2.3","domain":"log.example",
                     "server-port":9000},
      "server:config":{"server":"config","mode":"ip","ip":"10.9.9.9","server-port":1}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  Find<QComboBox>("channelNumber")->setCurrentIndex(2);  // channel 3
  const size_t before = Requests();

  const std::vector<std::string> notShown = Page().ShowProfile(profile.value);
  EXPECT_EQ(Requests(), before);
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(notShown, (std::vector<std::string>{"channel:4", "protection:3.upper", "server:config"}));
  EXPECT_EQ(Find<QComboBox>("channelType")->currentText(), "温湿卡片-温度");
  EXPECT_EQ(Text("cardId"), "0A0B0C0D");
  EXPECT_EQ(Text("sn"), "1A2B00042");
  EXPECT_EQ(Text("upper"), "80.0");
  EXPECT_EQ(Text("lower"), "-12.5");
  EXPECT_TRUE(Find<QCheckBox>("soundLight")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("sms")->isChecked());
  EXPECT_EQ(Text("company"), "华东冷链");
  EXPECT_EQ(Text("plate"), "沪A12345");
  EXPECT_TRUE(Find<QRadioButton>("domainMode")->isChecked());
  EXPECT_TRUE(Find<QLineEdit>("domain")->isEnabled());
  EXPECT_EQ(Text("domain"), "log.example");
  EXPECT_EQ(Text("port"), "9000");

  Click("channelWrite");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  const sim::PropertyChannel written = Device([](sim::PropertyState& s) { return s.channels[2]; });
  EXPECT_EQ(written.type, 4);
  EXPECT_EQ(written.cardId, 0x0A0B0C0Du);
  EXPECT_TRUE(written.soundLight);
  EXPECT_FLOAT_EQ(written.upper, 80.0f);
  EXPECT_FLOAT_EQ(written.lower, -12.5f);
}

}  // namespace
}  // namespace pages
