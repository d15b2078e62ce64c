#include "pages/settings/settings_page.h"

// Accessible names of the inputs that have no caption of their own:
//   limit edits    "温度上限", "温度下限", "湿度上限", "湿度下限" (in both limit groups)
// The two button pairs of a limit group share the captions "读配置"/"写配置"; their accessible
// descriptions tell them apart ("限值" for the limits, "开关" for the switches).

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "pages/kit/page_kit.h"
#include "pages/widgets/clock_widget.h"
#include "pages/widgets/range_edit.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

using settings::LimitKind;
using settings::SwitchKind;

namespace {

RangeEdit* Limit(const QString& prefix, const char* suffix, const QString& accessible,
                 const LimitRange& range, QWidget* parent) {
  auto* edit = new RangeEdit(parent);
  edit->setObjectName(prefix + QString::fromLatin1(suffix));
  edit->setAccessibleName(accessible);
  edit->SetRange(static_cast<float>(range.min), static_cast<float>(range.max),
                 QString::fromUtf8(range.name));
  edit->setText(QStringLiteral("0.0"));
  return edit;
}

}  // namespace

SettingsPage::SettingsPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName(QStringLiteral("settingsPage"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(BuildAddressGroup(), 0, 0);
  grid->addWidget(MakeClockGroup(*this, 15, 25, &clock_), 1, 0);
  grid->addWidget(BuildRecordingGroup(), 2, 0);
  grid->addWidget(BuildCalibrationGroup(), 3, 0);
  grid->addWidget(BuildLimitsGroup(LimitKind::Alarm), 0, 1, 2, 1);
  grid->addWidget(BuildLimitsGroup(LimitKind::Control), 2, 1, 1, 1);
  grid->addWidget(BuildActionGroup(), 3, 1);
  grid->setRowStretch(4, 1);
}

QGroupBox* SettingsPage::BuildAddressGroup() {
  auto* group = MakeGroup(QStringLiteral("设置地址"), QStringLiteral("addressGroup"), this);
  oldAddress_ = MakeEdit(QStringLiteral("oldAddress"), group, 3);
  newAddress_ = MakeEdit(QStringLiteral("newAddress"), group, 3);
  auto* set = MakeButton(QStringLiteral("设置"), QStringLiteral("addressSet"), group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(MakeCaption(QStringLiteral("原地址"), oldAddress_, group));
  row->addWidget(oldAddress_);
  row->addWidget(MakeCaption(QStringLiteral("新地址"), newAddress_, group));
  row->addWidget(newAddress_);
  row->addWidget(set);
  connect(set, &QPushButton::clicked, this, &SettingsPage::ChangeAddress);
  return group;
}

QGroupBox* SettingsPage::BuildRecordingGroup() {
  auto* group = MakeGroup(QStringLiteral("记录参数设置"), QStringLiteral("recordingGroup"), this);
  interval_ = MakeEdit(QStringLiteral("recordingInterval"), group);
  hours_ = MakeRadio(QStringLiteral("小时"), QStringLiteral("recordingHours"), group, true);
  minutes_ = MakeRadio(QStringLiteral("分钟"), QStringLiteral("recordingMinutes"), group);
  capacity_ = MakeEdit(QStringLiteral("recordingCapacity"), group);
  auto* read = MakeButton(QStringLiteral("读配置"), QStringLiteral("recordingRead"), group);
  auto* write = MakeButton(QStringLiteral("写配置"), QStringLiteral("recordingWrite"), group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption(QStringLiteral("记录间隔："), interval_, group), 0, 0);
  grid->addWidget(interval_, 0, 1);
  grid->addWidget(hours_, 0, 2);
  grid->addWidget(minutes_, 0, 3);
  grid->addWidget(MakeCaption(QStringLiteral("存储容量："), capacity_, group), 1, 0);
  grid->addWidget(capacity_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("组"), group), 1, 2);
  grid->addWidget(read, 2, 2);
  grid->addWidget(write, 2, 3);
  connect(read, &QPushButton::clicked, this, &SettingsPage::ReadRecording);
  connect(write, &QPushButton::clicked, this, &SettingsPage::WriteRecording);
  return group;
}

QGroupBox* SettingsPage::BuildCalibrationGroup() {
  auto* group = MakeGroup(QStringLiteral("校准功能配置"), QStringLiteral("calibrationGroup"), this);
  calibration_.temperature =
      MakeCheck(QStringLiteral("温度校准开启"), QStringLiteral("calibrationTemp"), group);
  calibration_.humidity =
      MakeCheck(QStringLiteral("湿度校准开启"), QStringLiteral("calibrationHum"), group);
  auto* read = MakeButton(QStringLiteral("读配置"), QStringLiteral("calibrationRead"), group);
  auto* write = MakeButton(QStringLiteral("写配置"), QStringLiteral("calibrationWrite"), group);
  auto* grid = new QGridLayout(group);
  grid->addWidget(calibration_.temperature, 0, 0);
  grid->addWidget(calibration_.humidity, 0, 1);
  grid->addWidget(read, 1, 0);
  grid->addWidget(write, 1, 1);
  connect(read, &QPushButton::clicked, this, [this] { ReadSwitches(SwitchKind::Calibration); });
  connect(write, &QPushButton::clicked, this, [this] { WriteSwitches(SwitchKind::Calibration); });
  return group;
}

QGroupBox* SettingsPage::BuildLimitsGroup(LimitKind kind) {
  const bool alarm = kind == LimitKind::Alarm;
  const QString prefix = alarm ? QStringLiteral("alarm") : QStringLiteral("control");
  auto* group = MakeGroup(alarm ? QStringLiteral("报警设置") : QStringLiteral("控制设置"), prefix + QStringLiteral("Group"), this);

  LimitEdits& edits = Edits(kind);
  const LimitRange temp = settings::TemperatureRange(kind);
  const LimitRange hum = settings::HumidityRange(kind);
  edits.tempUpper = Limit(prefix, "TempUpper", QStringLiteral("温度上限"), temp, group);
  edits.tempLower = Limit(prefix, "TempLower", QStringLiteral("温度下限"), temp, group);
  edits.humUpper = Limit(prefix, "HumUpper", QStringLiteral("湿度上限"), hum, group);
  edits.humLower = Limit(prefix, "HumLower", QStringLiteral("湿度下限"), hum, group);

  auto* limitsRead =
      MakeButton(QStringLiteral("读配置"), prefix + QStringLiteral("LimitsRead"), group);
  limitsRead->setAccessibleDescription(QStringLiteral("限值"));
  auto* limitsWrite =
      MakeButton(QStringLiteral("写配置"), prefix + QStringLiteral("LimitsWrite"), group);
  limitsWrite->setAccessibleDescription(QStringLiteral("限值"));

  const SwitchKind switchKind = alarm ? SwitchKind::Alarm : SwitchKind::Control;
  SwitchBoxes& boxes = Boxes(switchKind);
  boxes.temperature = MakeCheck(alarm ? QStringLiteral("温度报警开启") : QStringLiteral("温度控制开启"),
                          prefix + QStringLiteral("TempOn"), group);
  boxes.humidity = MakeCheck(alarm ? QStringLiteral("湿度报警开启") : QStringLiteral("湿度控制开启"),
                       prefix + QStringLiteral("HumOn"), group);
  auto* switchesRead =
      MakeButton(QStringLiteral("读配置"), prefix + QStringLiteral("SwitchesRead"), group);
  switchesRead->setAccessibleDescription(QStringLiteral("开关"));
  auto* switchesWrite =
      MakeButton(QStringLiteral("写配置"), prefix + QStringLiteral("SwitchesWrite"), group);
  switchesWrite->setAccessibleDescription(QStringLiteral("开关"));

  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("上限"), group), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("下限"), group), 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("温度(℃)："), group), 1, 0);
  grid->addWidget(edits.tempUpper, 1, 1);
  grid->addWidget(edits.tempLower, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("湿度(%RH)："), group), 2, 0);
  grid->addWidget(edits.humUpper, 2, 1);
  grid->addWidget(edits.humLower, 2, 2);
  grid->addWidget(limitsRead, 3, 1);
  grid->addWidget(limitsWrite, 3, 2);
  grid->addWidget(boxes.temperature, 4, 0);
  grid->addWidget(boxes.humidity, 4, 1, 1, 2);
  grid->addWidget(switchesRead, 5, 1);
  grid->addWidget(switchesWrite, 5, 2);

  connect(limitsRead, &QPushButton::clicked, this, [this, kind] { ReadLimits(kind); });
  connect(limitsWrite, &QPushButton::clicked, this, [this, kind] { WriteLimits(kind); });
  connect(switchesRead, &QPushButton::clicked, this,
          [this, switchKind] { ReadSwitches(switchKind); });
  connect(switchesWrite, &QPushButton::clicked, this,
          [this, switchKind] { WriteSwitches(switchKind); });
  return group;
}

QGroupBox* SettingsPage::BuildActionGroup() {
  auto* group = MakeGroup(QStringLiteral("执行操作："), QStringLiteral("actionGroup"), this);
  auto* clear = MakeButton(QStringLiteral("清空数据"), QStringLiteral("clearData"), group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(clear);
  row->addStretch(1);
  connect(clear, &QPushButton::clicked, this, &SettingsPage::ClearData);
  return group;
}

SettingsPage::LimitEdits& SettingsPage::Edits(LimitKind kind) {
  return kind == LimitKind::Alarm ? alarmLimits_ : controlLimits_;
}

SettingsPage::SwitchBoxes& SettingsPage::Boxes(SwitchKind kind) {
  switch (kind) {
    case SwitchKind::Calibration:
      return calibration_;
    case SwitchKind::Alarm:
      return alarmSwitches_;
    case SwitchKind::Control:
      return controlSwitches_;
  }
  return alarmSwitches_;
}

void SettingsPage::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  Page::keyPressEvent(event);
}

void SettingsPage::ChangeAddress() {
  const std::string oldText = oldAddress_->text().toStdString();
  const std::string newText = newAddress_->text().toStdString();
  const auto result = RunCommand(
      *this, [&](devlink::Channel& c) { return settings::ChangeAddress(c, oldText, newText); });
  QLineEdit* refused = result.outcome.field == "old" ? oldAddress_ : newAddress_;
  if (result.message() == settings::kAddressEmpty) {
    ui::RefuseField(refused, FromUtf8(result.message()), QString::fromUtf8(kPromptCaption));
    return;
  }
  Report(this, result.outcome, {{"old", oldAddress_}, {"new", newAddress_}});
  if (result.ok()) emit deviceAddressReported(result.value.address);
}

void SettingsPage::ReadSwitches(SwitchKind kind) {
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return settings::ReadSwitches(c, kind); });
  if (result.ok()) {
    SwitchBoxes& boxes = Boxes(kind);
    boxes.temperature->setChecked(result.value.temperature);
    boxes.humidity->setChecked(result.value.humidity);
  }
  Report(this, result.outcome);
}

void SettingsPage::WriteSwitches(SwitchKind kind) {
  SwitchBoxes& boxes = Boxes(kind);
  const settings::SwitchPair value{boxes.temperature->isChecked(), boxes.humidity->isChecked()};
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return settings::WriteSwitches(c, kind, value);
         }));
}

void SettingsPage::ReadRecording() {
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return settings::ReadRecording(c); });
  if (result.ok()) {
    interval_->setText(QString::number(result.value.interval));
    capacity_->setText(QString::number(result.value.capacity));
    (result.value.unit == settings::RecordingUnit::Hours ? hours_ : minutes_)->setChecked(true);
  }
  Report(this, result.outcome);
}

void SettingsPage::WriteRecording() {
  const std::optional<int32_t> interval = ui::ReadInt(interval_);
  if (!interval) return;
  const std::optional<int32_t> capacity = ui::ReadInt(capacity_);
  if (!capacity) return;
  const settings::Recording value{
      *interval,
      hours_->isChecked() ? settings::RecordingUnit::Hours : settings::RecordingUnit::Minutes,
      *capacity};
  Report(this,
         RunCommand(*this, [&](devlink::Channel& c) { return settings::WriteRecording(c, value); }),
         {{"interval", interval_}, {"capacity", capacity_}});
}

void SettingsPage::ReadLimits(LimitKind kind) {
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return settings::ReadLimits(c, kind); });
  if (result.ok()) {
    LimitEdits& edits = Edits(kind);
    const settings::Limits& value = result.value;
    edits.tempLower->setText(QString::asprintf("%.1f", value.temperature.lower));
    edits.tempUpper->setText(QString::asprintf("%.1f", value.temperature.upper));
    edits.humLower->setText(QString::asprintf("%.1f", value.humidity.lower));
    edits.humUpper->setText(QString::asprintf("%.1f", value.humidity.upper));
  }
  Report(this, result.outcome);
}

void SettingsPage::WriteLimits(LimitKind kind) {
  LimitEdits& edits = Edits(kind);
  const settings::LimitsText text{
      edits.tempLower->text().toStdString(), edits.tempUpper->text().toStdString(),
      edits.humLower->text().toStdString(), edits.humUpper->text().toStdString()};
  Report(this,
         RunCommand(*this, [&](devlink::Channel& c) { return settings::WriteLimits(c, kind, text); }),
         {{"temp-lower", edits.tempLower},
          {"temp-upper", edits.tempUpper},
          {"hum-lower", edits.humLower},
          {"hum-upper", edits.humUpper}});
}

void SettingsPage::ClearData() {
  if (!ConfirmClearHistory(this)) return;
  Report(this, RunCommand(*this, [](devlink::Channel& c) { return settings::ClearHistory(c); }));
}

std::vector<std::string> SettingsPage::ShowProfile(const Profile& profile) {
  const auto limits = [](const LimitEdits& edits) {
    return std::vector<std::pair<std::string, ProfileSetter>>{
        {"temp-lower", ShowsNumber(edits.tempLower, 1)},
        {"temp-upper", ShowsNumber(edits.tempUpper, 1)},
        {"hum-lower", ShowsNumber(edits.humLower, 1)},
        {"hum-upper", ShowsNumber(edits.humUpper, 1)}};
  };
  const auto switches = [](const SwitchBoxes& boxes) {
    return std::vector<std::pair<std::string, ProfileSetter>>{
        {"temp", ShowsSwitch(boxes.temperature)}, {"hum", ShowsSwitch(boxes.humidity)}};
  };
  return ShowProfileValues(
      profile, {{"recording",
                 {{"interval", ShowsText(interval_)},
                  {"unit", ShowsOneOf({{"hours", hours_}, {"minutes", minutes_}})},
                  {"capacity", ShowsText(capacity_)}}},
                {"calibration", switches(calibration_)},
                {"alarm-limits", limits(alarmLimits_)},
                {"alarm-switches", switches(alarmSwitches_)},
                {"control-limits", limits(controlLimits_)},
                {"control-switches", switches(controlSwitches_)}});
}

}  // namespace pages
