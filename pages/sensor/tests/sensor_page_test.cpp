// The digital sensor page against the simulated sensor on a pseudo-terminal: the baud search,
// address and baud writes that really move the sensor, channel types, versions and the SN widget
// with the sensor's own requests.
#include "pages/sensor/sensor_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <algorithm>

#include "pages/testing/page_fixture.h"
#include "pages/widgets/column_fit.h"
#include "pages/widgets/sn_widget.h"
#include "sim/families/register_map.h"

namespace pages {
namespace {

class SensorPageTest : public pages::testing::PageFixture<DigitalSensorPage> {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    // The port the search reopens is the one named in the link, as the main window names it.
    sim_.link.portName = sim_.SerialPath();
    QObject::connect(page_.get(), &Page::baudRateReported,
                     [this](const QString& baud) { reported_.push_back(baud); });
  }
  QComboBox* Baud() { return Find<QComboBox>("baudRate"); }
  QTableWidget* Types() { return Find<QTableWidget>("channelTypes"); }
  int SensorBaudIndex() {
    return sim_.Device<sim::RegisterMapState>(
        [](sim::RegisterMapState& s) { return s.registers.at(sim::kBaudRegister); });
  }
  void SetSensorBaudIndex(uint16_t index) {
    sim_.Device<sim::RegisterMapState>(
        [index](sim::RegisterMapState& s) { s.registers[sim::kBaudRegister] = index; });
  }
  int SensorAddress() {
    return sim_.simulator.WithDevice([](sim::Instrument& d) { return int{d.address}; });
  }

  std::vector<QString> reported_;
};

TEST_F(SensorPageTest, ControlsCarryTheirCaptionsAndTheWriteWaitsForARead) {
  EXPECT_EQ(Edit("oldAddress")->accessibleName(), "原地址");
  EXPECT_EQ(Edit("newAddress")->accessibleName(), "新地址");
  EXPECT_EQ(Baud()->accessibleName(), "波特率");
  EXPECT_EQ(Types()->accessibleName(), "通道类型");
  EXPECT_EQ(Edit("softwareVersion")->accessibleName(), "软件版本");
  EXPECT_EQ(Edit("hardwareVersion")->accessibleName(), "硬件版本");
  EXPECT_TRUE(Edit("softwareVersion")->isReadOnly());
  EXPECT_EQ(Find<QGroupBox>("snGroup")->title(), "SN设置");
  EXPECT_EQ(Baud()->currentIndex(), -1);
  EXPECT_EQ(Types()->horizontalHeaderItem(0)->text(), "序号");
  EXPECT_TRUE(Types()->showGrid());
  EXPECT_FALSE(page_->Sn()->WriteButton()->isEnabled());
  EXPECT_EQ(page_->SensorAddress(), 1);
}

// The fixture's line runs at 115200 and the sensor at 4800: the read finds it on the second
// rate of the list, and every later command reaches it there.
TEST_F(SensorPageTest, AddressReadSearchesTheBaudRatesAndTheRestFollows) {
  SetSensorBaudIndex(2);
  Click("addressRead");
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(Edit("oldAddress")->text(), "1");
  EXPECT_EQ(Baud()->currentText(), "4800");
  EXPECT_EQ(sim_.link.baudText, "4800");
  EXPECT_EQ(reported_, std::vector<QString>{"4800"});
  EXPECT_TRUE(sim_.link.serial.IsOpen());
  // Sent at 115200, 2400 and 4800; only the last was answered.
  const sim::Bytes addressRead{0xFA, 0x03, 0x00, 0x66, 0x00, 0x01, 0x71, 0x9E};
  const auto log = sim_.simulator.RequestLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), addressRead), 3);

  Click("channelTypesRead");
  ASSERT_EQ(Types()->rowCount(), 2);
  EXPECT_EQ(Types()->item(0, 0)->text(), "1");
  EXPECT_EQ(Types()->item(0, 1)->text(), "数字式传感器-温度");
  EXPECT_EQ(Types()->item(1, 1)->text(), "数字式传感器-湿度");
  // Shown, the columns fit their texts.
  page_->show();
  QCoreApplication::processEvents();
  for (int column = 0; column < 2; ++column) {
    EXPECT_GE(Types()->columnWidth(column), Types()->horizontalHeader()->sectionSizeHint(column));
    EXPECT_EQ(pages::CutCellText(Types(), Types()->model()->index(1, column)), "");
  }

  Click("versionsRead");
  EXPECT_EQ(Edit("hardwareVersion")->text(), "1.23");
  EXPECT_EQ(Edit("softwareVersion")->text(), "2.05");

  page_->Sn()->ReadButton()->click();
  EXPECT_EQ(page_->Sn()->SnField()->text(), "7EAC00001");
  EXPECT_TRUE(page_->Sn()->WriteButton()->isEnabled());
  page_->Sn()->YearEdit()->setText("2026");
  page_->Sn()->MonthEdit()->setText("16");
  page_->Sn()->SerialEdit()->setText("42");
  page_->Sn()->WriteButton()->click();
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  page_->Sn()->ReadButton()->click();
  EXPECT_EQ(page_->Sn()->SnField()->text(), "7EB000042");
}

TEST_F(SensorPageTest, AddressWriteMovesTheSensorAndRefusesOutOfRange) {
  for (const char* bad : {"0", "70000", ""}) {
    prompts_.Clear();
    Edit("newAddress")->setText(bad);
    Click("addressWrite");
    EXPECT_EQ(prompts_.LastMessage(), "地址应在1-65535") << bad;
    EXPECT_EQ(page_->focusWidget(), Edit("newAddress"));
  }
  EXPECT_EQ(sim_.Requests(), 0u);

  SetSensorBaudIndex(3);
  sim_.link.baudText = "9600";
  std::string error;
  ASSERT_TRUE(sim_.link.serial.ConfigurePort("9600", &error)) << error;
  Edit("newAddress")->setText("7");
  prompts_.Clear();
  Click("addressWrite");
  EXPECT_TRUE(prompts_.Messages().empty());
  EXPECT_EQ(Edit("oldAddress")->text(), "7");
  EXPECT_EQ(SensorAddress(), 7);
  // Later requests go to the new address.
  Click("versionsRead");
  EXPECT_EQ(Edit("hardwareVersion")->text(), "1.23");

  // An address the sensor refuses leaves everything as it was.
  Edit("newAddress")->setText("300");
  Click("addressWrite");
  EXPECT_EQ(prompts_.LastMessage(), "地址设置失败");
  EXPECT_EQ(Edit("oldAddress")->text(), "7");
  EXPECT_EQ(page_->SensorAddress(), 7);
}

TEST_F(SensorPageTest, BaudWriteSucceedsOnlyWhenTheSensorFallsSilent) {
  std::string error;
  ASSERT_TRUE(sim_.link.serial.ConfigurePort("9600", &error)) << error;
  Click("baudWrite");
  EXPECT_EQ(prompts_.LastMessage(), "请选择需要设置的波特率");
  EXPECT_EQ(sim_.Requests(), 0u);

  // The rate it already has: it still answers at the unchanged settings.
  Baud()->setCurrentIndex(2);
  prompts_.Clear();
  Click("baudWrite");
  EXPECT_EQ(prompts_.LastMessage(), "波特率设置失败");

  Baud()->setCurrentIndex(0);
  prompts_.Clear();
  Click("baudWrite");
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(SensorBaudIndex(), 1);

  // Back through the search: found at 2400.
  Click("addressRead");
  EXPECT_EQ(Baud()->currentText(), "2400");
  EXPECT_EQ(sim_.link.baudText, "2400");
}

TEST_F(SensorPageTest, PortFailuresAreReported) {
  sim_.link.serial.ClosePort();
  Click("channelTypesRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  Click("versionsRead");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
  // The search opens the named port; one that cannot be opened ends it.
  sim_.link.portName = "/nonexistent/ttySENSOR";
  Click("addressRead");
  EXPECT_EQ(prompts_.LastMessage(), "端口已打开");
  EXPECT_FALSE(sim_.link.serial.IsOpen());
  EXPECT_EQ(Edit("oldAddress")->text(), "");
  EXPECT_TRUE(reported_.empty());
}

}  // namespace
}  // namespace pages
