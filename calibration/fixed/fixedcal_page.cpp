#include "calibration/fixed/fixedcal_page.h"

// Object names: temperatureValue1..15 and humidityValue1..11 (the calibrated values, their raw
// points as accessible names), readTemperatureTable, writeTemperatureTable, readHumidityTable,
// writeHumidityTable, realTimeTemperature, realTimeHumidity, readRealTime, temperatureZero,
// humidityZero, readZero, writeZero, shiftTable (the combo box), step, shiftUp, shiftDown.

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "pages/widgets/range_edit.h"
#include "ui/prompts.h"

namespace pages {

using fixedcal::Quantity;

namespace {

QString Tenth(double value) { return QString::asprintf("%.1f", value); }

const char* Word(Quantity quantity) {
  return quantity == Quantity::Humidity ? "Humidity" : "Temperature";
}

// A "温度" row and a "湿度" row, each a caption and its control; the buttons below them.
QGridLayout* QuantityRows(QGroupBox* group, QWidget* temperature, QWidget* humidity) {
  auto* layout = new QGridLayout(group);
  layout->addWidget(MakeCaption("温度", temperature, group), 0, 0);
  layout->addWidget(temperature, 0, 1);
  layout->addWidget(MakeCaption("湿度", humidity, group), 1, 0);
  layout->addWidget(humidity, 1, 1);
  return layout;
}

RangeEdit* NumberEdit(const QString& name, const QString& text, QWidget* parent) {
  auto* edit = new RangeEdit(parent);
  edit->setObjectName(name);
  edit->setText(text);
  return edit;
}

}  // namespace

FixedCurveCalibrationPage::FixedCurveCalibrationPage(devlink::DeviceLink& link,
                                                     int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("fixedCurvePage");
  auto* grid = new QGridLayout(this);
  grid->addWidget(BuildTableGroup(Quantity::Temperature), 0, 0, 4, 1);
  grid->addWidget(BuildTableGroup(Quantity::Humidity), 0, 1, 4, 1);
  grid->addWidget(BuildRealTimeGroup(), 0, 2);
  grid->addWidget(BuildZeroGroup(), 1, 2);
  grid->addWidget(BuildShiftGroup(), 2, 2);
  grid->setRowStretch(3, 1);
  grid->setColumnStretch(3, 1);
}

QGroupBox* FixedCurveCalibrationPage::BuildTableGroup(Quantity quantity) {
  const bool humidity = quantity == Quantity::Humidity;
  auto* group = MakeGroup(humidity ? "湿度 /%RH" : "温度 /℃",
                          humidity ? "humidityTableGroup" : "temperatureTableGroup", this);
  auto* layout = new QGridLayout(group);
  layout->addWidget(new QLabel("原始值", group), 0, 0);
  layout->addWidget(new QLabel("校准值", group), 0, 1);
  std::vector<RangeEdit*>& edits = Edits(quantity);
  const QString prefix = humidity ? "humidityValue" : "temperatureValue";
  for (size_t i = 0; i < fixedcal::PointCount(quantity); ++i) {
    const QString raw = Tenth(fixedcal::RawPoint(quantity, i));
    RangeEdit* edit = NumberEdit(prefix + QString::number(i + 1), raw, group);
    auto* caption = MakeCaption(raw, edit, group);
    layout->addWidget(caption, static_cast<int>(i) + 1, 0);
    layout->addWidget(edit, static_cast<int>(i) + 1, 1);
    edits.push_back(edit);
  }
  const QString stem = QString::fromLatin1(Word(quantity)) + "Table";
  auto* read = MakeButton("读配置", "read" + stem, group);
  auto* write = MakeButton("写配置", "write" + stem, group);
  read->setAccessibleDescription(group->title());
  write->setAccessibleDescription(group->title());
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(read);
  buttons->addWidget(write);
  const int row = static_cast<int>(fixedcal::PointCount(quantity)) + 1;
  layout->addLayout(buttons, row, 0, 1, 2);
  layout->setRowStretch(row + 1, 1);
  connect(read, &QPushButton::clicked, this, [this, quantity] { ReadTable(quantity); });
  connect(write, &QPushButton::clicked, this, [this, quantity] { WriteTable(quantity); });
  return group;
}

QGroupBox* FixedCurveCalibrationPage::BuildRealTimeGroup() {
  auto* group = MakeGroup("实时值", "realTimeGroup", this);
  temperatureNow_ = new ValueLabel("温度", "realTimeTemperature", group, "0.0");
  humidityNow_ = new ValueLabel("湿度", "realTimeHumidity", group, "0.0");
  auto* read = MakeButton("读取", "readRealTime", group);
  QGridLayout* layout = QuantityRows(group, temperatureNow_, humidityNow_);
  layout->addWidget(read, 2, 0, 1, 2);
  connect(read, &QPushButton::clicked, this, &FixedCurveCalibrationPage::ReadRealTime);
  return group;
}

QGroupBox* FixedCurveCalibrationPage::BuildZeroGroup() {
  auto* group = MakeGroup("零点矫正", "zeroGroup", this);
  // The temperature correction is a plain edit (any text; a non-number counts as 0), the
  // humidity correction a numeric one.
  temperatureZero_ = MakeEdit("temperatureZero", group);
  temperatureZero_->setText("0.0");
  humidityZero_ = NumberEdit("humidityZero", "0.0", group);
  auto* read = MakeButton("读", "readZero", group);
  auto* write = MakeButton("写", "writeZero", group);
  QGridLayout* layout = QuantityRows(group, temperatureZero_, humidityZero_);
  layout->addWidget(read, 2, 0);
  layout->addWidget(write, 2, 1);
  connect(temperatureZero_, &QLineEdit::textChanged, this,
          [this] { CheckCorrection(Quantity::Temperature, temperatureZero_); });
  connect(humidityZero_, &QLineEdit::textChanged, this,
          [this] { CheckCorrection(Quantity::Humidity, humidityZero_); });
  connect(read, &QPushButton::clicked, this, &FixedCurveCalibrationPage::ReadZeroPoint);
  connect(write, &QPushButton::clicked, this, &FixedCurveCalibrationPage::WriteZeroPoint);
  return group;
}

QGroupBox* FixedCurveCalibrationPage::BuildShiftGroup() {
  auto* group = MakeGroup("校准值", "shiftGroup", this);
  shiftTable_ = MakeList("shiftTable", group);
  shiftTable_->addItems({fixedcal::kTemperatureName, fixedcal::kHumidityName});
  shiftTable_->setAccessibleName("平移的表");
  step_ = NumberEdit("step", "1.0", group);
  step_->setAccessibleName("步长");
  auto* up = MakeButton("+", "shiftUp", group);
  auto* down = MakeButton("-", "shiftDown", group);
  up->setAccessibleName("加步长");
  down->setAccessibleName("减步长");
  auto* layout = new QGridLayout(group);
  layout->addWidget(shiftTable_, 0, 0, 1, 2);
  layout->addWidget(step_, 1, 0, 1, 2);
  layout->addWidget(up, 2, 0);
  layout->addWidget(down, 2, 1);
  connect(up, &QPushButton::clicked, this, [this] { Shift(1); });
  connect(down, &QPushButton::clicked, this, [this] { Shift(-1); });
  return group;
}

std::vector<RangeEdit*>& FixedCurveCalibrationPage::Edits(Quantity quantity) {
  return quantity == Quantity::Humidity ? humidityEdits_ : temperatureEdits_;
}

fixedcal::CalibrationTable FixedCurveCalibrationPage::TableOfEdits(Quantity quantity) {
  fixedcal::CalibrationTable table{quantity, {}};
  for (RangeEdit* edit : Edits(quantity)) {
    table.values.push_back(RangeEdit::LeadingValue(edit->text()));
  }
  return table;
}

void FixedCurveCalibrationPage::ShowTable(const fixedcal::CalibrationTable& table) {
  std::vector<RangeEdit*>& edits = Edits(table.quantity);
  for (size_t i = 0; i < edits.size() && i < table.values.size(); ++i) {
    edits[i]->setText(Tenth(table.values[i]));
  }
}

void FixedCurveCalibrationPage::ReadTable(Quantity quantity) {
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return fixedcal::ReadTable(c, quantity); });
  if (result.ok()) ShowTable(result.value);
  Report(this, result.outcome);
}

void FixedCurveCalibrationPage::WriteTable(Quantity quantity) {
  const fixedcal::CalibrationTable table = TableOfEdits(quantity);
  const Outcome outcome =
      RunCommand(*this, [&](devlink::Channel& c) { return fixedcal::WriteTable(c, table); });
  QWidget* refused = nullptr;
  const QString field = FromUtf8(outcome.field);
  if (field.startsWith("point-")) {
    const auto index = static_cast<size_t>(field.mid(6).toInt() - 1);
    if (index < Edits(quantity).size()) refused = Edits(quantity)[index];
  }
  Report(this, outcome, {{outcome.field, refused}});
}

void FixedCurveCalibrationPage::ReadRealTime() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return fixedcal::ReadRealTime(c); });
  if (result.ok()) {
    temperatureNow_->setText(Tenth(result.value.temperature));
    humidityNow_->setText(Tenth(result.value.humidity));
  }
  Report(this, result.outcome);
}

void FixedCurveCalibrationPage::ReadZeroPoint() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& c) { return fixedcal::ReadZeroPoint(c); });
  if (result.ok()) {
    temperatureZero_->setText(Tenth(result.value.temperature));
    humidityZero_->setText(Tenth(result.value.humidity));
  }
  Report(this, result.outcome);
}

void FixedCurveCalibrationPage::WriteZeroPoint() {
  const fixedcal::Pair corrections{RangeEdit::LeadingValue(temperatureZero_->text()),
                                   RangeEdit::LeadingValue(humidityZero_->text())};
  const Outcome outcome = RunCommand(
      *this, [&](devlink::Channel& c) { return fixedcal::WriteZeroPoint(c, corrections); });
  Report(this, outcome,
         {{fixedcal::kFieldTemperature, temperatureZero_}, {fixedcal::kFieldHumidity, humidityZero_}});
}

void FixedCurveCalibrationPage::Shift(int sign) {
  const double step = RangeEdit::LeadingValue(step_->text()) * sign;
  const Quantity quantity = fixedcal::QuantityNamed(shiftTable_->currentText().toStdString());
  ShowTable(fixedcal::Shifted(TableOfEdits(quantity), step));
}

void FixedCurveCalibrationPage::CheckCorrection(Quantity quantity, QLineEdit* edit) {
  const auto refusal = fixedcal::RefuseCorrection(quantity, RangeEdit::LeadingValue(edit->text()));
  if (!refusal) return;
  ui::ShowMessage(this, FromUtf8(refusal->message), {}, ui::MessageKind::Warning);
  edit->clear();
}

std::vector<std::string> FixedCurveCalibrationPage::ShowProfile(const Profile& profile) {
  // A table travels as one comma list: every point a number, as many as the table has.
  const auto table = [this](Quantity quantity) -> ProfileSetter {
    return [this, quantity](const Value& value) {
      const std::string* text = std::get_if<std::string>(&value);
      if (text == nullptr) return false;
      const std::vector<std::string_view> parts = SplitList(*text, ',');
      std::vector<RangeEdit*>& edits = Edits(quantity);
      if (parts.size() != edits.size()) return false;
      std::vector<double> numbers;
      for (std::string_view part : parts) {
        const std::optional<double> number = ParseWholeNumber(part);
        if (!number) return false;
        numbers.push_back(*number);
      }
      for (size_t i = 0; i < edits.size(); ++i) edits[i]->setText(Tenth(numbers[i]));
      return true;
    };
  };
  return ShowProfileValues(
      profile,
      {{"table:temperature",
        {{"quantity", PickedByPage()}, {fixedcal::kFieldValues, table(Quantity::Temperature)}}},
       {"table:humidity",
        {{"quantity", PickedByPage()}, {fixedcal::kFieldValues, table(Quantity::Humidity)}}},
       {"zero",
        {{"temperature", ShowsNumber(temperatureZero_, 1)}, {"humidity", ShowsNumber(humidityZero_, 1)}}}});
}

}  // namespace pages
