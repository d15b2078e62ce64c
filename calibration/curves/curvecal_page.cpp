#include "calibration/curves/curvecal_page.h"

// Object names: instrumentKind, channelType, channelNumber, curveList, addRow, deleteRows,
// displayValue, readDisplay, adjustAll, step, shiftUp, shiftDown, readConfiguration, initialise,
// calibrate, fileCaption, filePath, browse, cardNumber, loadCalibrationFile.
//
// Accessible names of the controls that have no caption of their own:
//   curve list      "曲线列表"
//   step            "步长"
//   "+" / "-"       "加步长" / "减步长"
//   card number     "卡片号"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <set>

#include "calibration/curves/card_file.h"
#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "pages/widgets/column_fit.h"
#include "pages/widgets/editable_list.h"
#include "pages/widgets/range_edit.h"
#include "ui/prompts.h"

namespace pages {

using curvecal::InstrumentKind;

namespace {

constexpr int kNumberColumn = 0;
constexpr int kPointColumn = 1;  // the reference point chosen with the cell combo; kept hidden
constexpr int kValueColumn = 2;
constexpr int kRawColumn = 3;

constexpr const char* kInitialiseQuestion =
    "【初始化】操作会覆盖掉原来曲线，确认操作？\n\n备注：请检查配置文件路径\n      "
    "路径为空则填写默认曲线";

QString Tenth(double value) { return QString::asprintf("%.1f", value); }

// Keeps the window painted while the adapter waits (its connect may take two minutes).
void KeepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

bool PairKind(InstrumentKind kind) { return kind != InstrumentKind::Logger; }

}  // namespace

InstrumentKind CurveCalibrationPage::KindOfVariant(int variant) {
  switch (variant) {
    case 3:
      return InstrumentKind::WifiTransmitter;
    case 5:
    case 8:
      return InstrumentKind::Bit32;
    case 6:
      return InstrumentKind::BluetoothLogger;
    case 7:
      return InstrumentKind::FridgeBox;
    case 10:
      return InstrumentKind::DigitalSensor;
    default:
      return InstrumentKind::Transmitter;
  }
}

CurveCalibrationPage::CurveCalibrationPage(devlink::DeviceLink& link, int productVariant,
                                           QWidget* parent)
    : Page(link, productVariant, parent), bluetooth_(link) {
  setObjectName("curveCalibrationPage");

  kind_ = MakeList("instrumentKind", this);
  for (const char* name : curvecal::kKindNames) kind_->addItem(QString::fromUtf8(name));
  kind_->view()->setMinimumWidth(100);
  channelType_ = MakeList("channelType", this);
  channelType_->addItems({QStringLiteral("温度"), QStringLiteral("湿度")});
  channelNumber_ = MakeList("channelNumber", this);

  list_ = new EditableList(this);
  list_->setObjectName("curveList");
  list_->setAccessibleName(QStringLiteral("曲线列表"));
  list_->setColumnCount(4);
  list_->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("原始值"),
                                    QStringLiteral("环境值"), QStringLiteral("原始值")});
  list_->SetCheckBoxes(false);
  list_->SetComboMode(true);
  list_->setMinimumSize(300, 260);
  FitColumns(list_, {.stretch = {kValueColumn, kRawColumn}});
  // Values are typed with the numeric keys only.
  list_->SetColumnHook([](EditableList&, QWidget*, int column) {
    return column == kValueColumn || column == kRawColumn ? 0 : 1;
  });
  list_->SetAfterEditHook([this](EditableList&, QWidget*) { FillRawValue(); });
  add_ = MakeButton(QStringLiteral(" 添  加 "), "addRow", this);
  delete_ = MakeButton(QStringLiteral(" 删  除 "), "deleteRows", this);
  delete_->setEnabled(false);

  display_ = MakeEdit("displayValue", this);
  readDisplay_ = MakeButton(QStringLiteral(" 读  取 "), "readDisplay", this);
  adjustAll_ = MakeCheck(QStringLiteral("全调"), "adjustAll", this);
  step_ = new RangeEdit(this);
  step_->setObjectName("step");
  step_->setText("1.0");
  step_->setAccessibleName(QStringLiteral("步长"));
  shiftUp_ = MakeButton("+", "shiftUp", this);
  shiftDown_ = MakeButton("-", "shiftDown", this);
  shiftUp_->setAccessibleName(QStringLiteral("加步长"));
  shiftDown_->setAccessibleName(QStringLiteral("减步长"));
  readConfiguration_ = MakeButton(QStringLiteral("读配置"), "readConfiguration", this);
  initialise_ = MakeButton(QStringLiteral("初始化"), "initialise", this);
  calibrate_ = MakeButton(QStringLiteral(" 校  准 "), "calibrate", this);
  path_ = MakeEdit("filePath", this);
  fileCaption_ = MakeCaption(QStringLiteral("文件："), path_, this);
  fileCaption_->setObjectName("fileCaption");
  browse_ = MakeButton(QStringLiteral("浏览"), "browse", this);
  card_ = new ValueLabel(QStringLiteral("卡片号"), "cardNumber", this);
  card_->setMinimumWidth(80);
  loadFile_ = MakeButton(QStringLiteral("加载校准文件"), "loadCalibrationFile", this);

  // Left: the list with its row buttons. Right: the channel, its live value and the commands.
  auto* rowButtons = new QHBoxLayout;
  rowButtons->addWidget(add_);
  rowButtons->addWidget(delete_);
  rowButtons->addStretch();
  auto* left = new QVBoxLayout;
  left->addWidget(list_, 1);
  left->addLayout(rowButtons);

  auto* right = new QGridLayout;
  int row = 0;
  right->addWidget(MakeCaption(QStringLiteral("仪器类型:"), kind_, this), row, 0);
  right->addWidget(kind_, row++, 1, 1, 2);
  right->addWidget(MakeCaption(QStringLiteral("通道类型:"), channelType_, this), row, 0);
  right->addWidget(channelType_, row++, 1, 1, 2);
  right->addWidget(MakeCaption(QStringLiteral("通道序号:"), channelNumber_, this), row, 0);
  right->addWidget(channelNumber_, row++, 1, 1, 2);
  right->addWidget(MakeCaption(QStringLiteral("显示值："), display_, this), row, 0);
  right->addWidget(display_, row, 1);
  right->addWidget(readDisplay_, row++, 2);
  right->addWidget(adjustAll_, row, 0);
  auto* shift = new QHBoxLayout;
  shift->addWidget(step_, 1);
  shift->addWidget(shiftUp_);
  shift->addWidget(shiftDown_);
  right->addLayout(shift, row++, 1, 1, 2);
  auto* commands = new QHBoxLayout;
  commands->addWidget(readConfiguration_);
  commands->addWidget(initialise_);
  commands->addWidget(calibrate_);
  commands->addStretch();
  right->addLayout(commands, row++, 0, 1, 3);
  right->addWidget(fileCaption_, row, 0);
  right->addWidget(path_, row, 1);
  right->addWidget(browse_, row++, 2);
  right->addWidget(card_, row, 1);
  right->addWidget(loadFile_, row++, 2);
  right->setRowStretch(row, 1);
  right->setColumnStretch(1, 1);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addLayout(right, 2);

  connect(kind_, &QComboBox::currentIndexChanged, this, &CurveCalibrationPage::KindChanged);
  connect(channelType_, &QComboBox::currentIndexChanged, this,
          &CurveCalibrationPage::ChannelTypeChanged);
  connect(channelNumber_, &QComboBox::currentIndexChanged, this,
          &CurveCalibrationPage::ChannelNumberChanged);
  connect(add_, &QPushButton::clicked, this, &CurveCalibrationPage::AddRow);
  connect(delete_, &QPushButton::clicked, this, &CurveCalibrationPage::DeleteRows);
  connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
    delete_->setEnabled(!list_->selectionModel()->selectedRows().isEmpty());
  });
  connect(readDisplay_, &QPushButton::clicked, this, &CurveCalibrationPage::ReadDisplayValue);
  connect(adjustAll_, &QCheckBox::toggled, this, &CurveCalibrationPage::TitleValueColumn);
  connect(shiftUp_, &QPushButton::clicked, this, [this] { Shift(1); });
  connect(shiftDown_, &QPushButton::clicked, this, [this] { Shift(-1); });
  connect(readConfiguration_, &QPushButton::clicked, this,
          &CurveCalibrationPage::ReadConfiguration);
  connect(initialise_, &QPushButton::clicked, this, &CurveCalibrationPage::Initialise);
  connect(calibrate_, &QPushButton::clicked, this, &CurveCalibrationPage::Calibrate);
  connect(browse_, &QPushButton::clicked, this, &CurveCalibrationPage::Browse);
  connect(loadFile_, &QPushButton::clicked, this, &CurveCalibrationPage::LoadCalibrationFile);

  // The kind of the product variant, then everything that follows from it.
  {
    const QSignalBlocker quiet(kind_);
    kind_->setCurrentIndex(static_cast<int>(KindOfVariant(productVariant)));
  }
  KindChanged();
}

InstrumentKind CurveCalibrationPage::Kind() const {
  return static_cast<InstrumentKind>(std::max(kind_->currentIndex(), 0));
}

curvecal::CurveTarget CurveCalibrationPage::Target() const {
  return {Kind(), channelNumber_->currentIndex() + 1, humidity_};
}

std::vector<std::pair<std::string, std::string>> CurveCalibrationPage::Rows() const {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int row = 0; row < list_->rowCount(); ++row) {
    rows.emplace_back(list_->CellText(row, kValueColumn).trimmed().toStdString(),
                      list_->CellText(row, kRawColumn).trimmed().toStdString());
  }
  return rows;
}

void CurveCalibrationPage::ClearList() {
  list_->CommitEditors();
  list_->setRowCount(0);
  list_->AddRow({QStringLiteral("1")});
}

void CurveCalibrationPage::LayoutColumns() {
  list_->setColumnHidden(kPointColumn, true);
  list_->setColumnHidden(kRawColumn, Kind() == InstrumentKind::Logger);
}

void CurveCalibrationPage::TitleValueColumn() {
  const bool readings = Kind() == InstrumentKind::Logger && adjustAll_->isChecked();
  list_->setHorizontalHeaderItem(
      kValueColumn, new QTableWidgetItem(readings ? QStringLiteral("AD值") : QStringLiteral("环境值")));
}

void CurveCalibrationPage::FillReferencePoints() {
  CellCombo* combo = list_->Combo();
  combo->SetHumidity(humidity_);
  combo->SetTemperature(Kind() == InstrumentKind::Transmitter);
  combo->FillReferencePoints();
}

void CurveCalibrationPage::KindChanged() {
  const InstrumentKind kind = Kind();
  {
    // Refilling is not a choice of channel: the list is cleared below either way.
    const QSignalBlocker quiet(channelNumber_);
    channelNumber_->clear();
    for (int n = 1; n <= curvecal::ChannelCount(kind); ++n) {
      channelNumber_->addItem(QStringLiteral("通道%1").arg(n));
    }
    channelNumber_->setCurrentIndex(0);
  }

  ClearList();
  LayoutColumns();
  TitleValueColumn();
  FillReferencePoints();

  const bool logger = kind == InstrumentKind::Logger;
  const bool card = kind == InstrumentKind::Bit32Card;
  for (QWidget* w : std::initializer_list<QWidget*>{adjustAll_, step_, shiftUp_, shiftDown_,
                                                     initialise_}) {
    w->setVisible(logger);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{fileCaption_, path_, browse_}) {
    w->setVisible(logger || card);
  }
  card_->setVisible(card);
  loadFile_->setVisible(card);
  channelType_->setEnabled(kind == InstrumentKind::Bit32 || logger ||
                           kind == InstrumentKind::WifiTransmitter ||
                           kind == InstrumentKind::DigitalSensor);
  path_->clear();
  card_->clear();
  curveRead_ = false;
  fileLoadable_ = false;
  buffer_ = {};
  UpdateWidgets();
}

void CurveCalibrationPage::ChannelTypeChanged() {
  humidity_ = channelType_->currentIndex() == 1;
  ClearList();
  FillReferencePoints();
}

void CurveCalibrationPage::SelectChannelType(bool humidity) {
  {
    const QSignalBlocker quiet(channelType_);
    channelType_->setCurrentIndex(humidity ? 1 : 0);
  }
  ChannelTypeChanged();
}

void CurveCalibrationPage::ChannelNumberChanged() {
  if (Kind() == InstrumentKind::Logger) return;
  // The curve read belongs to the channel that was selected: nothing of it may be written to
  // another one.
  ClearList();
  curveRead_ = false;
  fileLoadable_ = false;
  card_->clear();
  UpdateWidgets();
}

void CurveCalibrationPage::UpdateWidgets() {
  calibrate_->setEnabled(Kind() == InstrumentKind::Logger || curveRead_);
  loadFile_->setEnabled(fileLoadable_);
}

bool CurveCalibrationPage::ReachInstrument(bool quiet) {
  if (Kind() != InstrumentKind::BluetoothLogger) return true;
  ui::WaitCursor wait;
  const Outcome connected = ConnectBluetoothDevice(Link(), KeepPainting);
  if (!connected.ok && !quiet) Report(this, connected);
  return connected.ok;
}

template <class Command>
auto CurveCalibrationPage::OnInstrument(Command&& command) {
  if (Kind() == InstrumentKind::BluetoothLogger) {
    ui::WaitCursor wait;
    return command(bluetooth_);
  }
  return RunCommand(*this, std::forward<Command>(command));
}

void CurveCalibrationPage::ShowCurve(const curvecal::Curve& curve) {
  list_->CommitEditors();
  list_->setRowCount(0);
  int n = 1;
  for (const curvecal::CurvePair& pair : curve.pairs) {
    list_->AddRow({QString::number(n++), {}, Tenth(pair.environment), Tenth(pair.raw)});
  }
  for (const double reading : curve.readings) {
    list_->AddRow({QString::number(n++), {}, QString::asprintf("%0.0f", reading)});
  }
  if (Kind() == InstrumentKind::Logger && !adjustAll_->isChecked()) adjustAll_->setChecked(true);
}

void CurveCalibrationPage::ReadConfiguration() {
  list_->CommitEditors();
  const InstrumentKind kind = Kind();
  if (kind == InstrumentKind::Bit32Card) {
    const int channel = Target().channel;
    const auto card = RunCommand(
        *this, [&](devlink::Channel& c) { return curvecal::ReadCardChannel(c, channel); });
    if (!card.ok()) {
      Report(this, card.outcome);
      return;
    }
    card_->setText(FromUtf8(card.value.cardId));
    SelectChannelType(card.value.humidity);
  }
  if (!ReachInstrument()) return;
  const curvecal::CurveTarget target = Target();
  const auto read = OnInstrument(
      [&](devlink::Channel& c) { return curvecal::ReadCurve(c, target, buffer_); });
  if (!read.ok()) {
    Report(this, read.outcome);
    return;
  }
  // The curve is the instrument's now: it may be written back (and, for the card kind, filled
  // from a calibration file), even when it holds no point yet.
  if (PairKind(kind)) {
    curveRead_ = true;
    fileLoadable_ = kind == InstrumentKind::Bit32Card;
    UpdateWidgets();
  }
  if (read.value.pairs.empty() && read.value.readings.empty()) {
    ui::ShowMessage(this, QString::fromUtf8(curvecal::kNotCalibrated), QStringLiteral("提示"));
    return;
  }
  ShowCurve(read.value);
}

void CurveCalibrationPage::RefuseList(const char* message) {
  ui::ShowMessage(this, QString::fromUtf8(message), QString::fromUtf8(curvecal::kErrorCaption),
                  ui::MessageKind::Error);
}

void CurveCalibrationPage::ShowWriteOutcome(const Outcome& outcome) {
  if (outcome.Refusal() && outcome.field == curvecal::kFieldPairs) {
    RefuseList(outcome.message.c_str());
    return;
  }
  Report(this, outcome);
}

void CurveCalibrationPage::Calibrate() {
  list_->CommitEditors();
  const InstrumentKind kind = Kind();
  const auto rows = Rows();
  if (rows.empty()) return RefuseList(curvecal::kListInvalid);
  const curvecal::CurveTarget target = Target();

  if (kind == InstrumentKind::Logger) {
    if (adjustAll_->isChecked()) {
      std::vector<double> values;
      for (const auto& row : rows) {
        const auto value = ParseWholeNumber(row.first);
        if (!value) return RefuseList(curvecal::kInvalidRows);
        values.push_back(*value);
      }
      ShowWriteOutcome(OnInstrument([&](devlink::Channel& c) {
        return curvecal::WriteLoggerReadings(c, target, values, buffer_);
      }));
      return;
    }
    if (rows.size() != 1) return RefuseList(curvecal::kExtraRows);
    const auto environment = ParseWholeNumber(rows.front().first);
    if (!environment) return RefuseList(curvecal::kInvalidRows);
    ShowWriteOutcome(OnInstrument([&](devlink::Channel& c) {
      return curvecal::WriteLoggerPoint(c, target, *environment, buffer_);
    }));
    return;
  }

  auto pairs = curvecal::PairsOfRows(rows);
  if (const auto* refusal = std::get_if<Outcome>(&pairs)) return ShowWriteOutcome(*refusal);
  if (!ReachInstrument()) return;
  const Outcome outcome = OnInstrument([&](devlink::Channel& c) {
    return curvecal::WriteCurve(c, target, std::get<std::vector<curvecal::CurvePair>>(pairs),
                                buffer_);
  });
  // After a write the next one needs a fresh read, except on the digital sensor, whose write
  // sends the whole curve and nothing else of the read.
  if (outcome.ok && kind != InstrumentKind::DigitalSensor) {
    curveRead_ = false;
    fileLoadable_ = false;
    UpdateWidgets();
  }
  ShowWriteOutcome(outcome);
}

void CurveCalibrationPage::Initialise() {
  if (!ui::CurrentPrompts().AskYesNo(this, QString::fromUtf8(kInitialiseQuestion),
                                     QStringLiteral("警告"), ui::MessageKind::Warning)) {
    return;
  }
  const curvecal::CurveTarget target = Target();
  const std::string path = path_->text().toStdString();
  Report(this, OnInstrument([&](devlink::Channel& c) {
           return curvecal::InitialiseLoggerCurve(c, target, path);
         }));
}

void CurveCalibrationPage::LoadCalibrationFile() {
  list_->CommitEditors();
  const auto loaded = curvecal::LoadCardFromFile(path_->text().toStdString(),
                                                 card_->text().toStdString(), humidity_);
  if (!loaded.ok()) {
    Report(this, loaded.outcome, {{curvecal::kFieldPath, browse_}});
    return;
  }
  // Rows left half filled at the end make way for the file's points.
  for (int row = list_->rowCount() - 1; row >= 0; --row) {
    if (!list_->CellText(row, kValueColumn).isEmpty() &&
        !list_->CellText(row, kRawColumn).isEmpty()) {
      break;
    }
    list_->removeRow(row);
  }
  for (const curvecal::CurvePair& pair : loaded.value.pairs) {
    list_->AddRow({QString::number(list_->rowCount() + 1), {}, Tenth(pair.environment),
                   Tenth(pair.raw)});
  }
}

void CurveCalibrationPage::Browse() {
  const QString filter = Kind() == InstrumentKind::Bit32Card
                             ? QStringLiteral("校准文件(*.jz)")
                             : QStringLiteral("卡片校准文件(*.ini);;所有文件(*.*)");
  const QString file = ui::CurrentPrompts().OpenFileName(this, QStringLiteral("打开"), filter);
  if (file.isEmpty()) return;
  path_->setText(file);
  path_->setFocus(Qt::OtherFocusReason);
  path_->selectAll();  // selected, the caret (and the view) at its end
}

void CurveCalibrationPage::ReadDisplayValue() {
  if (!ReachInstrument()) return;
  const curvecal::CurveTarget target = Target();
  const auto read = OnInstrument(
      [&](devlink::Channel& c) { return curvecal::ReadDisplayValue(c, target); });
  if (read.ok()) display_->setText(Tenth(read.value.value));
  Report(this, read.outcome);
}

void CurveCalibrationPage::FillRawValue() {
  if (Kind() == InstrumentKind::Logger || !ReachInstrument(true)) return;
  const curvecal::CurveTarget target = Target();
  const auto read =
      OnInstrument([&](devlink::Channel& c) { return curvecal::ReadRawValue(c, target); });
  if (read.ok()) list_->Editor()->setText(Tenth(read.value.value));
}

void CurveCalibrationPage::AddRow() {
  list_->CommitEditors();
  list_->AddRow({QString::number(list_->rowCount() + 1)});
}

void CurveCalibrationPage::DeleteRows() {
  list_->CommitEditors();
  std::set<int> selected;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    selected.insert(index.row());
  }
  for (auto row = selected.rbegin(); row != selected.rend(); ++row) list_->removeRow(*row);
  for (int row = 0; row < list_->rowCount(); ++row) {
    list_->SetCellText(row, kNumberColumn, QString::number(row + 1));
  }
  delete_->setEnabled(false);
}

void CurveCalibrationPage::Shift(int sign) {
  list_->CommitEditors();
  const double step = RangeEdit::LeadingValue(step_->text()) * sign;
  for (int row = 0; row < list_->rowCount(); ++row) {
    // Cells that hold no number are left as they are.
    const auto value = ParseWholeNumber(list_->CellText(row, kValueColumn).toStdString());
    if (value) list_->SetCellText(row, kValueColumn, Tenth(*value + step));
  }
}

std::vector<std::string> CurveCalibrationPage::ShowProfile(const Profile& profile) {
  const curvecal::CurveTarget target = Target();
  const bool logger = target.kind == InstrumentKind::Logger;
  // "E:R,..." pairs; the logger kind's readings may come as plain values.
  const ProfileSetter pairs = [this, logger](const Value& value) {
    const std::string text = OptionText(value);
    curvecal::Curve curve;
    if (logger) {
      for (std::string_view part : SplitList(text, ',')) {
        const std::string item(TrimBlanks(part.substr(0, part.find(':'))));
        const std::optional<double> reading = ParseWholeNumber(item);
        if (!reading) return false;
        curve.readings.push_back(*reading);
      }
    } else {
      auto parsed = curvecal::ParsePairs(text);
      if (!std::holds_alternative<std::vector<curvecal::CurvePair>>(parsed)) return false;
      curve.pairs = std::get<std::vector<curvecal::CurvePair>>(std::move(parsed));
    }
    ShowCurve(curve);
    return true;
  };
  const std::string group = "write:" + std::to_string(static_cast<int>(target.kind)) + "," +
                            std::to_string(target.channel) + "," +
                            (target.humidity ? "humidity" : "temperature");
  return ShowProfileValues(profile, {{group,
                                      {{"kind", PickedByPage()},
                                       {"channel", PickedByPage()},
                                       {"type", PickedByPage()},
                                       {"pairs", pairs}}}});
}

}  // namespace pages
