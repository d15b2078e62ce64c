// The main window under the offscreen platform with scripted prompts; the serial port is the
// simulator's pseudo-terminal.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QFile>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/traffic_window.h"
#include "pages/kit/page.h"
#include "pages/widgets/editable_list.h"
#include "sim/families/history.h"
#include "sim/families/bluetooth_adapter.h"
#include "sim/families/version.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "ui/prompts.h"

namespace app {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::InstallPrompts(&prompts_); }
  void TearDown() override {
    window_.reset();
    ui::InstallPrompts(nullptr);
    if (pty_) pty_->Stop();
  }

  // Starts the simulator on a pseudo-terminal; its path is preselected in the port list.
  void StartSimulator() {
    pty_ = std::make_unique<sim::PtyServer>(simulator_);
    std::string error;
    ASSERT_TRUE(pty_->Start(&error)) << error;
  }

  MainWindow& Open(int variant, std::optional<std::string> port = std::nullopt) {
    CommandLine line;
    line.variant = variant;
    line.label = "Lab";
    line.port = std::move(port);
    window_ = std::make_unique<MainWindow>(link_, line);
    return *window_;
  }
  MainWindow& OpenOnSimulator(int variant) {
    StartSimulator();
    MainWindow& window = Open(variant, pty_->SlavePath());
    Edit("delayField")->setText("60");  // short exchanges; taken when the port opens
    ClickButton("openClose");
    EXPECT_TRUE(link_.serial.IsOpen()) << prompts_.LastMessage().toStdString();
    prompts_.Clear();
    return window;
  }

  template <class T>
  T* Find(const char* name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  QRadioButton* Radio(const char* name) { return Find<QRadioButton>(name); }
  QLabel* Label(const char* name) { return Find<QLabel>(name); }
  void ClickButton(const char* name) { Button(name)->click(); }
  void ClickRadio(const char* name) { Radio(name)->click(); }
  bool Shown(const char* name) { return !Find<QWidget>(name)->isHidden(); }
  bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }

  ui::ScriptedPrompts prompts_;
  devlink::DeviceLink link_;
  sim::Simulator simulator_;
  std::unique_ptr<sim::PtyServer> pty_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, CaptionLabelAndVariantTabs) {
  MainWindow& window = Open(1);
  EXPECT_EQ(window.windowTitle(), "Veltrix(V9.2)");
  // The icon comes in the small and large sizes of title bar and task bar.
  EXPECT_FALSE(window.windowIcon().pixmap(16).isNull());
  EXPECT_GE(window.windowIcon().availableSizes().size(), 2);
  EXPECT_EQ(Label("labelField")->text(), "Lab");
  QTabWidget* tabs = window.Tabs();
  ASSERT_EQ(tabs->count(), 13);
  EXPECT_EQ(tabs->tabText(0), "设置");
  EXPECT_EQ(tabs->tabText(12), "无线记录仪");
  EXPECT_EQ(tabs->currentIndex(), 0);
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_NE(qobject_cast<pages::Page*>(tabs->widget(i)), nullptr) << i;
  }
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(MainWindowTest, AddressFieldRefusesZeroAnd256) {
  Open(0);
  QLineEdit* field = Edit("addressField");
  for (const char* bad : {"0", "256"}) {
    prompts_.Clear();
    field->setText("42");
    field->setText(bad);
    ASSERT_EQ(prompts_.shown.size(), 1u) << bad;
    EXPECT_EQ(prompts_.shown[0].text, "地址号不能小于1且不能大于255");
    EXPECT_EQ(prompts_.shown[0].caption, "出错");
    EXPECT_EQ(field->text(), "1");
    EXPECT_EQ(link_.address, 1);
  }
}

TEST_F(MainWindowTest, EmptyAddressInMultiDeviceModeIsZeroWithoutMessage) {
  Open(0);
  ASSERT_TRUE(Radio("multiMode")->isChecked());
  QLineEdit* field = Edit("addressField");
  QTest::keyClicks(field, "7");  // "17"
  EXPECT_EQ(link_.address, 17);
  field->clear();
  EXPECT_EQ(link_.address, 0);
  EXPECT_TRUE(prompts_.shown.empty());
  // Back to multi-device mode with an empty field: address 0 as well.
  ClickRadio("singleMode");
  ClickRadio("multiMode");
  EXPECT_EQ(link_.address, 0);
}

TEST_F(MainWindowTest, ReportedAddressActsAsAnEdit) {
  MainWindow& window = Open(0);
  auto* page = qobject_cast<pages::Page*>(window.Tabs()->widget(0));
  ASSERT_NE(page, nullptr);
  emit page->deviceAddressReported(9);
  EXPECT_EQ(Edit("addressField")->text(), "9");
  EXPECT_EQ(link_.address, 9);
  emit page->deviceAddressReported(0);
  EXPECT_EQ(prompts_.LastMessage(), "地址号不能小于1且不能大于255");
  EXPECT_EQ(Edit("addressField")->text(), "1");
  EXPECT_EQ(link_.address, 1);
  // The same number again still counts: in single-device mode it leaves the address at 0.
  ClickRadio("singleMode");
  emit page->deviceAddressReported(1);
  EXPECT_EQ(link_.address, 0);
}

// A page that found the instrument's rate (and opened the port to do so): the list shows the
// rate and, the port being open, is locked like the other serial settings.
TEST_F(MainWindowTest, ReportedBaudRateIsSelectedAndThePortShownAsThePageLeftIt) {
  StartSimulator();
  MainWindow& window = Open(0);
  auto* page = qobject_cast<pages::Page*>(window.Tabs()->widget(0));
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Enabled("baudList"));
  std::string error;
  ASSERT_TRUE(link_.serial.OpenPort(pty_->SlavePath(), &error)) << error;
  emit page->baudRateReported("4800");
  EXPECT_EQ(Find<QComboBox>("baudList")->currentText(), "4800");
  EXPECT_FALSE(Enabled("baudList"));
  EXPECT_TRUE(prompts_.shown.empty());
}

// While a page's worker thread uses the link, the settings it reads cannot change; closing the
// port stays possible (the page stops its worker first).
TEST_F(MainWindowTest, LinkSettingsRestWhileAPageWorkerUsesTheLink) {
  MainWindow& window = OpenOnSimulator(0);
  auto* page = qobject_cast<pages::Page*>(window.Tabs()->widget(0));
  ASSERT_NE(page, nullptr);
  const char* const settings[] = {"singleMode", "multiMode", "bluetoothMode", "addressField",
                                  "serialChannel", "ipChannel", "fastMode"};
  emit page->linkInUse(true);
  for (const char* name : settings) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_TRUE(Enabled("openClose"));
  emit page->linkInUse(false);
  for (const char* name : settings) EXPECT_TRUE(Enabled(name)) << name;
}

TEST_F(MainWindowTest, ModeRadiosSetAddressAndVisibility) {
  Open(0);
  Edit("addressField")->setText("5");
  EXPECT_EQ(link_.address, 5);
  EXPECT_TRUE(Enabled("addressField"));
  EXPECT_TRUE(Shown("versionRead"));
  EXPECT_FALSE(Shown("macField"));

  ClickRadio("singleMode");
  EXPECT_EQ(link_.mode, devlink::AddressingMode::Single);
  EXPECT_EQ(link_.address, 0);
  EXPECT_TRUE(Shown("addressField"));
  EXPECT_FALSE(Enabled("addressField"));
  EXPECT_EQ(Edit("addressField")->text(), "5");

  ClickRadio("bluetoothMode");
  EXPECT_EQ(link_.address, 0);
  for (const char* hidden : {"addressField", "hardwareLabel", "hardwareVersion", "softwareLabel",
                             "softwareVersion", "versionRead"}) {
    EXPECT_FALSE(Shown(hidden)) << hidden;
  }
  for (const char* shown : {"macLabel", "macField", "adapterConnect", "macRead"}) {
    EXPECT_TRUE(Shown(shown)) << shown;
  }
  // A reported address does not reach the wire in Bluetooth mode.
  Edit("addressField")->setText("12");
  EXPECT_EQ(link_.address, 0);

  ClickRadio("multiMode");
  EXPECT_EQ(link_.address, 12);
}

TEST_F(MainWindowTest, OpenCloseAndChannelRadiosEnableTheRightControls) {
  StartSimulator();
  Open(0, pty_->SlavePath());
  EXPECT_EQ(Find<QComboBox>("portList")->currentText().toStdString(), pty_->SlavePath());
  EXPECT_TRUE(Radio("serialChannel")->isChecked());
  for (const char* on : {"portList", "baudList", "delayField", "openClose"}) EXPECT_TRUE(Enabled(on)) << on;
  for (const char* off : {"ipField", "tcpPortField", "ipOk"}) EXPECT_FALSE(Enabled(off)) << off;

  ClickButton("openClose");
  ASSERT_TRUE(link_.serial.IsOpen());
  EXPECT_EQ(Button("openClose")->text(), "关闭");
  EXPECT_EQ(link_.baudText, "9600");
  for (const char* off : {"portList", "baudList", "delayField"}) EXPECT_FALSE(Enabled(off)) << off;

  // TCP keeps the serial port open.
  ClickRadio("ipChannel");
  EXPECT_TRUE(link_.tcpMode);
  EXPECT_TRUE(link_.serial.IsOpen());
  for (const char* off : {"portList", "baudList", "delayField", "openClose"}) EXPECT_FALSE(Enabled(off)) << off;
  for (const char* on : {"ipField", "tcpPortField", "ipOk"}) EXPECT_TRUE(Enabled(on)) << on;

  // Back to serial: the port is still open, so its settings stay locked.
  ClickRadio("serialChannel");
  EXPECT_FALSE(link_.tcpMode);
  EXPECT_FALSE(Enabled("portList"));
  EXPECT_TRUE(Enabled("openClose"));

  ClickButton("openClose");
  EXPECT_FALSE(link_.serial.IsOpen());
  EXPECT_EQ(Button("openClose")->text(), "打开");
  for (const char* on : {"portList", "baudList", "delayField"}) EXPECT_TRUE(Enabled(on)) << on;
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(MainWindowTest, RadiosChosenWithoutTheMouseActAsAClickDoes) {
  Open(0);
  // Through the accessibility interface, as a screen reader or desktop automation chooses.
  QAccessibleInterface* ip = QAccessible::queryAccessibleInterface(Radio("ipChannel"));
  ASSERT_NE(ip, nullptr);
  ASSERT_NE(ip->actionInterface(), nullptr);
  ip->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(Radio("ipChannel")->isChecked());
  EXPECT_TRUE(link_.tcpMode);
  for (const char* on : {"ipField", "tcpPortField", "ipOk"}) EXPECT_TRUE(Enabled(on)) << on;
  // By the keyboard or any other code path that checks the radio.
  Radio("singleMode")->setChecked(true);
  EXPECT_EQ(link_.mode, devlink::AddressingMode::Single);
  EXPECT_FALSE(Enabled("addressField"));
}

TEST_F(MainWindowTest, FastModeFollowsItsBoxAndTheCommandLine) {
  Open(0);
  EXPECT_FALSE(link_.fast);
  Find<QCheckBox>("fastMode")->setChecked(true);
  EXPECT_TRUE(link_.fast);
  CommandLine line;
  line.fast = true;
  window_ = std::make_unique<MainWindow>(link_, line);
  EXPECT_TRUE(Find<QCheckBox>("fastMode")->isChecked());
  EXPECT_TRUE(link_.fast);
}

TEST_F(MainWindowTest, FailedOpenShowsNoticeAndChangesNothing) {
  Open(0, "/nonexistent/ttyUSB9");
  ClickButton("openClose");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].text,
            "端口已打开（/nonexistent/ttyUSB9 不存在，请检查设备是否已连接）");
  EXPECT_EQ(prompts_.shown[0].caption, "提示");
  EXPECT_FALSE(link_.serial.IsOpen());
  EXPECT_EQ(Button("openClose")->text(), "打开");
  EXPECT_TRUE(Enabled("portList"));
}

TEST_F(MainWindowTest, TypedDevicePathIsOpened) {
  StartSimulator();
  Open(0);
  Find<QComboBox>("portList")->setEditText(QString::fromStdString(pty_->SlavePath()));
  ClickButton("openClose");
  EXPECT_TRUE(link_.serial.IsOpen());
  EXPECT_EQ(link_.portName, pty_->SlavePath());
}

TEST_F(MainWindowTest, OkWarnsOnEmptyAddressButStoresTheValues) {
  Open(3);
  ASSERT_TRUE(Radio("ipChannel")->isChecked());
  EXPECT_EQ(Edit("tcpPortField")->text(), "80");
  Edit("ipField")->setText("0.0.0.0");
  Edit("tcpPortField")->setText("10002");
  ClickButton("ipOk");
  EXPECT_EQ(prompts_.LastMessage(), "IP地址或端口号不能为空");
  EXPECT_EQ(link_.ip, "0.0.0.0");
  EXPECT_EQ(link_.tcpPort, 10002);

  prompts_.Clear();
  Edit("ipField")->setText("127.0.0.1");
  Edit("tcpPortField")->setText("0");
  ClickButton("ipOk");
  EXPECT_EQ(prompts_.LastMessage(), "IP地址或端口号不能为空");
  EXPECT_EQ(link_.ip, "127.0.0.1");
  EXPECT_EQ(link_.tcpPort, 0);

  prompts_.Clear();
  Edit("tcpPortField")->setText("502");
  ClickButton("ipOk");
  EXPECT_TRUE(prompts_.shown.empty());
  EXPECT_EQ(link_.tcpPort, 502);
}

TEST_F(MainWindowTest, RadioClickTakesTheFieldsAndReportsANonNumber) {
  Open(0);
  Edit("delayField")->setText("250");
  ClickRadio("singleMode");
  EXPECT_EQ(link_.delayMs, 250);
  EXPECT_TRUE(prompts_.shown.empty());
  Edit("delayField")->clear();
  ClickRadio("multiMode");
  EXPECT_EQ(prompts_.LastMessage(), "请键入一个整数。");
  EXPECT_EQ(link_.delayMs, 250);
  EXPECT_EQ(link_.mode, devlink::AddressingMode::Multi);
}

TEST_F(MainWindowTest, VariantSixStartsInBluetoothModeAt115200) {
  Open(6);
  EXPECT_TRUE(Radio("bluetoothMode")->isChecked());
  EXPECT_EQ(link_.mode, devlink::AddressingMode::Bluetooth);
  EXPECT_EQ(link_.address, 0);
  EXPECT_EQ(Find<QComboBox>("baudList")->currentText(), "115200");
  EXPECT_EQ(link_.baudText, "115200");
  EXPECT_TRUE(Shown("macField"));
  EXPECT_TRUE(Shown("adapterConnect"));
  EXPECT_FALSE(Shown("addressField"));
  EXPECT_FALSE(Shown("versionRead"));
}

TEST_F(MainWindowTest, OtherVariantsStartInMultiDeviceModeAt9600) {
  for (int variant : {-2, 0, 5, 9}) {
    Open(variant);
    EXPECT_TRUE(Radio("multiMode")->isChecked()) << variant;
    EXPECT_EQ(Find<QComboBox>("baudList")->currentText(), variant == 5 ? "115200" : "9600");
  }
}

TEST_F(MainWindowTest, VersionReadFromTheSimulatorShownInHex) {
  simulator_.WithDevice([](sim::Instrument& device) {
    device.address = 7;
    device.State<sim::VersionState>().hardware = "3.1:";  // ':' is 10 after subtracting '0'
    device.State<sim::VersionState>().software = "2.15";
  });
  OpenOnSimulator(0);
  Edit("addressField")->setText("7");
  ClickButton("versionRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  EXPECT_EQ(Label("hardwareVersion")->text(), "3.1a");
  EXPECT_EQ(Label("softwareVersion")->text(), "2.15");
  // A screen reader reads the value under its caption.
  QAccessibleInterface* hardware = QAccessible::queryAccessibleInterface(Label("hardwareVersion"));
  ASSERT_NE(hardware, nullptr);
  EXPECT_EQ(hardware->text(QAccessible::Name), "硬件版本号：");
  EXPECT_EQ(hardware->text(QAccessible::Value), "3.1a");
  const auto log = simulator_.RequestLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), (sim::Bytes{0x25, 0x07, 0x0C, 0xAA, 0x00, 0x66, 0x46 - 5 + 7}));
}

TEST_F(MainWindowTest, SingleDeviceModeSendsAddressZero) {
  simulator_.WithDevice([](sim::Instrument& device) { device.address = 7; });
  OpenOnSimulator(0);
  Edit("addressField")->setText("7");
  ClickRadio("singleMode");
  ClickButton("versionRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  const auto log = simulator_.RequestLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back()[1], 0x00);
  EXPECT_EQ(Edit("addressField")->text(), "7");
}

TEST_F(MainWindowTest, VersionReadFailures) {
  Open(0);
  ClickButton("versionRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  EXPECT_EQ(Label("hardwareVersion")->text(), "1.00");

  prompts_.Clear();
  window_.reset();
  OpenOnSimulator(0);
  sim::Faults faults;
  faults.wrongSum = true;
  simulator_.SetFaults(faults);
  ClickButton("versionRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取失败");
  EXPECT_EQ(Label("hardwareVersion")->text(), "1.00");
}

TEST_F(MainWindowTest, TrafficWindowListsEachExchangeOnlyWhileOpen) {
  OpenOnSimulator(0);
  ClickButton("versionRead");  // the window is closed: nothing is kept
  ClickButton("trafficOpen");
  auto* view = qobject_cast<TrafficWindow*>(window_->TrafficView());
  ASSERT_NE(view, nullptr);
  auto* table = view->findChild<QTableWidget*>("trafficTable");
  ASSERT_NE(table, nullptr);
  view->TakeNewEntries();
  EXPECT_EQ(table->rowCount(), 0);

  ClickButton("versionRead");
  sim::Faults faults;
  faults.wrongSum = true;
  simulator_.SetFaults(faults);
  ClickButton("versionRead");
  view->TakeNewEntries();
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, 1)->text().toStdString(), pty_->SlavePath());
  EXPECT_EQ(table->item(0, 2)->text(), "25 01 0C AA 00 66 42");
  EXPECT_TRUE(table->item(0, 3)->text().startsWith("3C 01 0C AA 08"));
  EXPECT_EQ(table->item(0, 5)->text(), "");
  EXPECT_EQ(table->item(1, 5)->text(), "reply 15 bytes, Sum8 mismatch");

  // Saved as text, one line per exchange, through a file renamed into place.
  QTemporaryDir dir;
  const QString path = dir.filePath("traffic.txt");
  QString error;
  ASSERT_TRUE(view->SaveTo(path, &error)) << error.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].contains("> 25 01 0C AA 00 66 42 < 3C 01 0C")) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith("Sum8 mismatch"));

  view->close();
  ClickButton("versionRead");
  ClickButton("trafficOpen");
  view->TakeNewEntries();
  EXPECT_EQ(table->rowCount(), 2);
  ClickButton("trafficClear");
  EXPECT_EQ(table->rowCount(), 0);
}

// A page that records what the main window tells it.
class RecordingPage : public pages::Page {
 public:
  using pages::Page::Page;
  void TabChanged(bool selected) override { events.push_back(selected ? "shown" : "left"); }
  void SerialPortClosing() override {
    events.push_back(Link().serial.IsOpen() ? "closing" : "closing, already closed");
  }
  std::vector<std::string> events;
};

TEST_F(MainWindowTest, PagesLearnTabChangesAndThePortClosingBeforeItCloses) {
  MainWindow& window = OpenOnSimulator(0);
  auto* page = new RecordingPage(link_, 0);
  const int index = window.Tabs()->addTab(page, "记录");
  window.Tabs()->setCurrentIndex(index);
  window.Tabs()->setCurrentIndex(0);
  window.Tabs()->setCurrentIndex(1);
  ClickButton("openClose");
  EXPECT_FALSE(link_.serial.IsOpen());
  EXPECT_EQ(page->events, (std::vector<std::string>{"shown", "left", "left", "closing"}));
}

// A port that goes away: found by the next command (named once, then the port shows closed), or
// by the window itself while nothing talks to it; "打开" opens it again once it is back.
TEST_F(MainWindowTest, VanishedPortIsNamedOnceAndShownClosed) {
  for (const bool byCommand : {true, false}) {
    SCOPED_TRACE(byCommand);
    window_.reset();
    MainWindow& window = OpenOnSimulator(0);
    auto* page = new RecordingPage(link_, 0);
    window.Tabs()->addTab(page, "记录");
    const std::string path = pty_->SlavePath();
    pty_->Stop();
    if (byCommand) {
      ClickButton("versionRead");
      EXPECT_EQ(prompts_.LastMessage().toStdString(), "串口已断开：" + path);
      QCoreApplication::processEvents();  // the notice the link posted to the window
    } else {
      // The window's one-second clock notices it.
      for (int i = 0; i < 40 && link_.serial.IsOpen(); ++i) QTest::qWait(100);
      QCoreApplication::processEvents();
      EXPECT_EQ(prompts_.LastMessage().toStdString(), "串口已断开：" + path);
    }
    EXPECT_FALSE(link_.serial.IsOpen());
    EXPECT_EQ(Button("openClose")->text(), "打开");
    ASSERT_FALSE(page->events.empty());
    EXPECT_EQ(page->events.back().rfind("closing", 0), 0u);
    prompts_.Clear();
    ClickButton("versionRead");
    EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  }
  // Back again: "打开" opens it.
  window_.reset();
  OpenOnSimulator(0);
  ClickButton("versionRead");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
}

QPushButton* ButtonWithText(QWidget* root, const QString& text) {
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

TEST_F(MainWindowTest, ClockReadOnAPageReportsTheInstrumentsAddress) {
  simulator_.WithDevice([](sim::Instrument& device) { device.address = 5; });
  MainWindow& window = OpenOnSimulator(0);
  QPushButton* readTime = ButtonWithText(window.Tabs()->widget(0), "读时间");
  ASSERT_NE(readTime, nullptr) << "the settings page carries the clock widget";
  ClickRadio("singleMode");
  readTime->click();
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  EXPECT_EQ(Edit("addressField")->text(), "5");
  EXPECT_EQ(link_.address, 0);  // still single-device mode

  // An instrument reporting address 0 gets the address field's own error.
  simulator_.WithDevice([](sim::Instrument& device) { device.address = 0; });
  prompts_.Clear();
  readTime->click();
  EXPECT_TRUE(prompts_.Messages().contains("地址号不能小于1且不能大于255"))
      << prompts_.Messages().join('|').toStdString();
  EXPECT_EQ(Edit("addressField")->text(), "1");
}

TEST_F(MainWindowTest, ClockFieldShowsMonthDayTimeYear) {
  Open(0);
  const QRegularExpression form(
      "^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] "
      "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}$");
  EXPECT_TRUE(form.match(Label("clockField")->text()).hasMatch())
      << Label("clockField")->text().toStdString();
}

// Enter typed into a field of the panel or of a page reaches the window, which must not click a
// default button with it; Escape from a page's field still closes the window.
TEST_F(MainWindowTest, EscapeClosesEnterDoesNothing) {
  MainWindow& window = Open(1);
  window.show();
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isVisible() && button->isDefault()) << button->text().toStdString();
  }
  auto* pageField = window.Tabs()->widget(0)->findChild<QLineEdit*>();
  ASSERT_NE(pageField, nullptr);
  for (QWidget* field : std::initializer_list<QWidget*>{
           Edit("addressField"), Edit("delayField"), Find<QComboBox>("portList"), pageField}) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_TRUE(window.isVisible()) << field->objectName().toStdString();
  }
  QTest::keyClick(&window, Qt::Key_Enter);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(prompts_.shown.empty()) << prompts_.LastMessage().toStdString();
  QTest::keyClick(pageField, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, AboutBoxFromTheBand) {
  MainWindow& window = Open(0);
  QWidget* band = Find<QWidget>("connectionPanel");
  ASSERT_EQ(band->actions().size(), 1);
  EXPECT_EQ(band->actions()[0]->text(), "关于 TOOL(&A)...");
  EXPECT_EQ(band->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(Find<QToolButton>("aboutButton")->accessibleName(), "关于 TOOL(&A)...");

  std::unique_ptr<QDialog> box(window.CreateAboutBox());
  EXPECT_EQ(box->windowTitle(), "关于 TOOL");
  QStringList texts;
  for (QLabel* label : box->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains("TOOL 3.2版"));
  EXPECT_TRUE(texts.contains("修改温度通道校正是数据限制"));
  QPushButton* ok = box->findChild<QPushButton*>("aboutOk");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), "确定");
  box->show();
  ok->click();
  EXPECT_EQ(box->result(), QDialog::Accepted);
}

TEST_F(MainWindowTest, BluetoothConnectReadMacAndDisconnectThroughTheAdapter) {
  OpenOnSimulator(6);
  QLineEdit* mac = Edit("macField");
  mac->setText("00:1A:7D:DA:71:13");
  ClickButton("adapterConnect");  // waits the adapter's settling time twice (about 4 s)
  EXPECT_TRUE(prompts_.shown.empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(Button("adapterConnect")->text(), "断开");
  EXPECT_TRUE(link_.bluetoothConnected);
  EXPECT_FALSE(mac->isEnabled());
  EXPECT_EQ(link_.macText, "00:1A:7D:DA:71:13");
  const auto state = simulator_.WithDevice(
      [](sim::Instrument& d) { return d.State<sim::BluetoothAdapterState>(); });
  EXPECT_EQ(state.connected, (sim::BluetoothAdapterState::Mac{0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}));
  const auto log = simulator_.RequestLog();
  ASSERT_EQ(log.size(), 2u);  // connection query, then connect
  EXPECT_EQ(log[1], (sim::Bytes{0x01, 0x18, 0x00, 0x00, 0x00, 0x03, 0x06, 0x13, 0x71, 0xDA,
                                0x7D, 0x1A, 0x00, 0xD9, 0x97}));

  ClickButton("adapterConnect");
  EXPECT_EQ(prompts_.LastMessage(), "断开成功");
  EXPECT_EQ(Button("adapterConnect")->text(), "连接");
  EXPECT_FALSE(link_.bluetoothConnected);
  EXPECT_TRUE(mac->isEnabled());
  EXPECT_EQ(simulator_.WithDevice([](sim::Instrument& d) {
              return d.State<sim::BluetoothAdapterState>().disconnects;
            }),
            1);

  ClickButton("macRead");
  EXPECT_EQ(mac->text(), "98 d3 31 f5 2c 07 ");
}

TEST_F(MainWindowTest, BluetoothConnectWithBadMacSendsNothing) {
  OpenOnSimulator(6);
  Edit("macField")->setText("00:1A:7D:DA:71:1");
  ClickButton("adapterConnect");
  EXPECT_EQ(prompts_.LastMessage(), "MAC 地址格式错误");
  EXPECT_EQ(Button("adapterConnect")->text(), "连接");
  EXPECT_TRUE(simulator_.RequestLog().empty());
}

TEST_F(MainWindowTest, AdapterCommandsUseTheSerialPortAlsoInTcpMode) {
  OpenOnSimulator(6);
  ClickRadio("ipChannel");
  ASSERT_TRUE(link_.tcpMode);
  ClickButton("macRead");
  EXPECT_TRUE(prompts_.shown.empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(Edit("macField")->text(), "98 d3 31 f5 2c 07 ");
}


// Escape in a cell editor of the curve list ends that edit only; from the list it closes the
// window, which holds no work then.
TEST_F(MainWindowTest, EscapeInACellEditorCancelsTheEditOnly) {
  MainWindow& window = Open(1);
  window.show();
  auto* list = window.findChild<pages::EditableList*>("curveList");
  ASSERT_NE(list, nullptr);
  window.Tabs()->setCurrentWidget(list->parentWidget());
  list->SetCellText(0, 2, "25.0");
  list->ActivateCell(0, 2);
  ASSERT_TRUE(list->Editor()->isVisible());
  QTest::keyClicks(list->Editor(), "9");
  QTest::keyClick(list->Editor(), Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(list->Editor()->isVisible());
  EXPECT_EQ(list->CellText(0, 2), "25.0");
  EXPECT_TRUE(prompts_.shown.empty());
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
}

// While a download runs, and then while its records are not saved, closing asks first; "否"
// keeps the window.
TEST_F(MainWindowTest, ClosingDuringADownloadOrWithUnsavedRecordsAsks) {
  simulator_.WithDevice([](sim::Instrument& device) {
    device.State<sim::HistoryState>().recordCount = 45;
    device.State<sim::HistoryState>().blockSize = 90;
  });
  MainWindow& window = OpenOnSimulator(1);
  window.show();
  auto* history = qobject_cast<pages::Page*>(window.findChild<QPushButton*>("historyDownload")->parentWidget());
  ASSERT_NE(history, nullptr);
  window.Tabs()->setCurrentWidget(history);
  // Kept out of the archive: then the list alone holds the records.
  history->findChild<QCheckBox*>("keepInArchive")->setChecked(false);
  ClickButton("historyDownload");
  prompts_.answers = {false};
  window.close();
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].kind, "yesno");
  EXPECT_TRUE(prompts_.shown[0].text.contains("历史数据正在下载")) << prompts_.shown[0].text.toStdString();
  EXPECT_TRUE(window.isVisible());

  ASSERT_TRUE(QTest::qWaitFor([&] { return Enabled("saveAs"); }, 20000));
  prompts_.Clear();
  prompts_.answers = {false, true};
  QTest::keyClick(window.Tabs()->currentWidget(), Qt::Key_Escape);
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_TRUE(prompts_.shown[0].text.contains("尚未保存")) << prompts_.shown[0].text.toStdString();
  EXPECT_TRUE(window.isVisible());
  QTest::keyClick(window.Tabs()->currentWidget(), Qt::Key_Escape);
  EXPECT_EQ(prompts_.shown.size(), 2u);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace app
