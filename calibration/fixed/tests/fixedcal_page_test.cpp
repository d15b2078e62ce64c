// The fixed-table curve calibration page driven like a technician would, against the simulator
// on a pseudo-terminal over the real serial link.
#include "calibration/fixed/fixedcal_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "pages/testing/page_fixture.h"
#include "sim/families/fixed_curves.h"

namespace pages {
namespace {

class FixedCalPageTest : public pages::testing::PageFixture<FixedCurveCalibrationPage> {
 protected:
  QString Value(const char* stem, int point) {
    return Edit(QString("%1%2").arg(stem).arg(point).toLatin1().constData())->text();
  }
  template <class F>
  auto Stored(F&& f) {
    return sim_.Device<sim::FixedCurvesState>(std::forward<F>(f));
  }
};

TEST_F(FixedCalPageTest, TablesStartAsTheIdentityAndTheStepShiftsTheNamedTable) {
  EXPECT_EQ(Value("temperatureValue", 1), "-40.0");
  EXPECT_EQ(Value("temperatureValue", 15), "100.0");
  EXPECT_EQ(Value("humidityValue", 1), "0.0");
  EXPECT_EQ(Value("humidityValue", 11), "100.0");
  EXPECT_EQ(Edit("step")->text(), "1.0");
  EXPECT_EQ(Edit("temperatureZero")->text(), "0.0");
  EXPECT_EQ(Find<QLabel>("realTimeTemperature")->text(), "0.0");
  EXPECT_EQ(Find<QComboBox>("shiftTable")->currentText(), "温度");
  EXPECT_EQ(Edit("temperatureValue1")->accessibleName(), "-40.0");

  Click("shiftUp");
  EXPECT_EQ(Value("temperatureValue", 1), "-39.0");
  EXPECT_EQ(Value("temperatureValue", 15), "101.0");
  EXPECT_EQ(Value("humidityValue", 1), "0.0");

  Find<QComboBox>("shiftTable")->setCurrentText("湿度");
  Edit("step")->setText("0.5");
  Click("shiftDown");
  EXPECT_EQ(Value("humidityValue", 1), "-0.5");
  EXPECT_EQ(Value("humidityValue", 11), "99.5");
  EXPECT_EQ(Value("temperatureValue", 1), "-39.0");
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(FixedCalPageTest, ZeroCorrectionAcceptsTheBoundAndEmptiesBeyondIt) {
  QLineEdit* temperature = Edit("temperatureZero");
  temperature->clear();
  QTest::keyClicks(temperature, "100");
  EXPECT_EQ(temperature->text(), "100");
  EXPECT_TRUE(prompts_.shown.empty());
  QTest::keyClicks(temperature, ".5");
  EXPECT_EQ(temperature->text(), "");
  EXPECT_EQ(prompts_.LastMessage(), "温度的矫正范围为（-100,100）");

  Edit("humidityZero")->setText("-100.1");
  EXPECT_EQ(Edit("humidityZero")->text(), "");
  EXPECT_EQ(prompts_.LastMessage(), "湿度的矫正范围为（-100,100）");
}

TEST_F(FixedCalPageTest, ButtonsWriteAndReadTheInstrument) {
  Edit("temperatureValue1")->setText("12.39");
  Edit("temperatureValue2")->setText("abc");  // not a number: sent as 0
  Click("writeTemperatureTable");
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  EXPECT_EQ(Stored([](sim::FixedCurvesState& s) { return s.temperature[0]; }), 123);
  EXPECT_EQ(Stored([](sim::FixedCurvesState& s) { return s.temperature[1]; }), 0);

  Stored([](sim::FixedCurvesState& s) { s.humidity[5] = -7; });
  Click("readHumidityTable");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取成功");
  EXPECT_EQ(Value("humidityValue", 6), "-0.7");
  Click("readTemperatureTable");
  EXPECT_EQ(Value("temperatureValue", 1), "12.3");

  Edit("temperatureZero")->setText("-3.5");
  Edit("humidityZero")->setText("4");
  Click("writeZero");
  EXPECT_EQ(prompts_.LastMessage(), "写数据成功");
  EXPECT_EQ(Stored([](sim::FixedCurvesState& s) { return s.temperatureZero; }), -35);
  Edit("temperatureZero")->setText("0");
  Click("readZero");
  EXPECT_EQ(Edit("temperatureZero")->text(), "-3.5");
  EXPECT_EQ(Edit("humidityZero")->text(), "4.0");

  const size_t shown = prompts_.shown.size();
  Click("readRealTime");
  EXPECT_EQ(prompts_.shown.size(), shown);  // no message on success
  EXPECT_EQ(Find<QLabel>("realTimeTemperature")->text(), "25.3");
  EXPECT_EQ(Find<QLabel>("realTimeHumidity")->text(), "58.7");

  // A failed read leaves the controls as they were.
  sim::Faults faults;
  faults.silent = true;
  sim_.simulator.SetFaults(faults);
  Click("readHumidityTable");
  EXPECT_EQ(prompts_.LastMessage(), "数据读取失败");
  EXPECT_EQ(Value("humidityValue", 6), "-0.7");
  sim_.link.serial.ClosePort();
  Click("writeZero");
  EXPECT_EQ(prompts_.LastMessage(), "串口打开失败");
}

}  // namespace
}  // namespace pages
