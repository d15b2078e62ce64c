#include "pages/transmitter32/transmitter32_page.h"

// Accessible names of the inputs that have no caption of their own (those of the alarm number
// group are in alarm_number_group.cpp):
//   alarmDelay       "报警延时间隔(秒)"  (the edit beside "(秒)")
//   alarmScope       "报警开关"          (the "总开关"/"外接电" drop-down)
// The "开"/"关" radios and the "读"/"写" buttons carry their group's title as their accessible
// description, which tells the pairs apart.

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/widgets/alarm_number_group.h"
#include "pages/widgets/clock_widget.h"
#include "ui/fields.h"

namespace pages {

namespace cmd = pages::transmitter32;

namespace {

}  // namespace

void Transmitter32Page::OnOff::Set(bool value) { (value ? on : off)->setChecked(true); }

bool Transmitter32Page::OnOff::On() const { return on->isChecked(); }

Transmitter32Page::Transmitter32Page(devlink::DeviceLink& link, int productVariant,
                                     QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("transmitter32Page");
  auto* grid = new QGridLayout(this);
  grid->addWidget(BuildIntervalsGroup(), 0, 0);
  grid->addWidget(BuildRecordingGroup(), 1, 0);
  grid->addWidget(BuildApnGroup(), 2, 0);
  grid->addWidget(BuildSignalRow(), 3, 0);
  grid->addWidget(BuildAlarmNumberGroup(), 0, 1);
  grid->addWidget(BuildDelayGroup(), 1, 1);
  grid->addWidget(BuildAlarmSwitches(), 2, 1);
  grid->addWidget(MakeClockGroup(*this, 40, 30, &clock_), 3, 1);

  auto* clear = MakeButton("清空数据", "clearData", this);
  auto* reset = MakeButton("恢复出厂设置", "factoryReset", this);
  auto* actions = new QHBoxLayout;
  actions->addWidget(clear);
  actions->addWidget(reset);
  actions->addStretch(1);
  grid->addLayout(actions, 4, 0, 1, 2);
  grid->setRowStretch(5, 1);
  connect(clear, &QPushButton::clicked, this, &Transmitter32Page::ClearData);
  connect(reset, &QPushButton::clicked, this, &Transmitter32Page::RestoreFactorySettings);
  ScopeChanged();
}

QGroupBox* Transmitter32Page::BuildIntervalsGroup() {
  auto* group = MakeGroup("时间间隔(分)", "intervalsGroup", this);
  history_ = MakeDigitsEdit("historyInterval", group);
  alarm_ = MakeDigitsEdit("alarmInterval", group);
  print_ = MakeDigitsEdit("printInterval", group);
  const cmd::Intervals initial;
  history_->setText(QString::number(initial.history));
  alarm_->setText(QString::number(initial.alarm));
  print_->setText(QString::number(initial.print));
  auto* read = MakeGroupButton("读", "intervalsRead", group);
  auto* write = MakeGroupButton("写", "intervalsWrite", group);
  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption("历史记录", history_, group), 0, 0);
  grid->addWidget(history_, 0, 1);
  grid->addWidget(MakeCaption("报警记录", alarm_, group), 1, 0);
  grid->addWidget(alarm_, 1, 1);
  grid->addWidget(MakeCaption("打印间隔", print_, group), 2, 0);
  grid->addWidget(print_, 2, 1);
  grid->addWidget(read, 0, 2);
  grid->addWidget(write, 1, 2);
  connect(read, &QPushButton::clicked, this, &Transmitter32Page::ReadIntervals);
  connect(write, &QPushButton::clicked, this, &Transmitter32Page::WriteIntervals);
  return group;
}

QGroupBox* Transmitter32Page::SwitchGroup(const QString& title, const QString& prefix,
                                          OnOff& radios, QPushButton** read,
                                          QPushButton** write) {
  auto* group = MakeGroup(title, prefix + "Group", this);
  radios.on = MakeRadio("开", prefix + "On", group, true);
  radios.off = MakeRadio("关", prefix + "Off", group);
  for (QRadioButton* radio : {radios.on, radios.off}) radio->setAccessibleDescription(title);
  *read = MakeGroupButton("读", prefix + "Read", group);
  *write = MakeGroupButton("写", prefix + "Write", group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(radios.on);
  row->addWidget(radios.off);
  row->addStretch(1);
  row->addWidget(*read);
  row->addWidget(*write);
  return group;
}

QGroupBox* Transmitter32Page::BuildRecordingGroup() {
  QPushButton* read = nullptr;
  QPushButton* write = nullptr;
  QGroupBox* group = SwitchGroup("数据记录状态", "recording", recording_, &read, &write);
  connect(read, &QPushButton::clicked, this, &Transmitter32Page::ReadRecording);
  connect(write, &QPushButton::clicked, this, &Transmitter32Page::WriteRecording);
  return group;
}

QGroupBox* Transmitter32Page::BuildApnGroup() {
  auto* group = MakeGroup("GSM模块APN配置", "apnGroup", this);
  apn_ = MakeEdit("apn", group);
  user_ = MakeEdit("apnUser", group);
  password_ = MakeEdit("apnPassword", group);
  auto* read = MakeGroupButton("读", "apnRead", group);
  auto* write = MakeGroupButton("写", "apnWrite", group);
  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption("APN号", apn_, group), 0, 0);
  grid->addWidget(apn_, 0, 1);
  grid->addWidget(MakeCaption("用户名", user_, group), 1, 0);
  grid->addWidget(user_, 1, 1);
  grid->addWidget(MakeCaption("密  码", password_, group), 2, 0);
  grid->addWidget(password_, 2, 1);
  grid->addWidget(read, 0, 2);
  grid->addWidget(write, 1, 2);
  connect(read, &QPushButton::clicked, this, &Transmitter32Page::ReadApn);
  connect(write, &QPushButton::clicked, this, &Transmitter32Page::WriteApn);
  return group;
}

QWidget* Transmitter32Page::BuildSignalRow() {
  auto* row = new QWidget(this);
  row->setObjectName("signalRow");
  signal_ = MakeDisplay("signalStrength", row);
  signal_->setText("0");
  auto* read = MakeButton("读", "signalRead", row);
  read->setAccessibleDescription("信号强度");
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MakeCaption("信号强度", signal_, row));
  layout->addWidget(signal_);
  layout->addWidget(read);
  layout->addStretch(1);
  connect(read, &QPushButton::clicked, this, &Transmitter32Page::ReadSignalStrength);
  return row;
}

QGroupBox* Transmitter32Page::BuildAlarmNumberGroup() {
  // A number is written only when the page's other fields are good.
  alarmNumbers_ = new AlarmNumberGroup(*this, [this] { return CollectFields().has_value(); }, this);
  return alarmNumbers_;
}

QGroupBox* Transmitter32Page::BuildDelayGroup() {
  auto* group = MakeGroup("报警延时间隔", "alarmDelayGroup", this);
  delay_ = MakeDigitsEdit("alarmDelay", group);
  delay_->setAccessibleName("报警延时间隔(秒)");
  delay_->setText("0");
  auto* read = MakeGroupButton("读", "alarmDelayRead", group);
  auto* write = MakeGroupButton("写", "alarmDelayWrite", group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(delay_);
  row->addWidget(new QLabel("(秒)", group));
  row->addWidget(read);
  row->addWidget(write);
  connect(read, &QPushButton::clicked, this, &Transmitter32Page::ReadAlarmDelay);
  connect(write, &QPushButton::clicked, this, &Transmitter32Page::WriteAlarmDelay);
  return group;
}

QWidget* Transmitter32Page::BuildAlarmSwitches() {
  auto* box = new QWidget(this);
  box->setObjectName("alarmSwitches");
  scope_ = MakeList("alarmScope", box);
  scope_->setAccessibleName("报警开关");
  scope_->addItems({"总开关", "外接电"});
  scope_->setCurrentIndex(0);
  QGroupBox* soundLight =
      SwitchGroup("声光报警", "soundLight", soundLight_, &soundLightRead_, &soundLightWrite_);
  QPushButton* smsRead = nullptr;
  QPushButton* smsWrite = nullptr;
  QGroupBox* sms = SwitchGroup("短信报警", "smsAlarm", sms_, &smsRead, &smsWrite);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(scope_);
  column->addWidget(soundLight);
  column->addWidget(sms);
  connect(scope_, &QComboBox::currentIndexChanged, this, [this] { ScopeChanged(); });
  connect(soundLightRead_, &QPushButton::clicked, this, &Transmitter32Page::ReadSoundLight);
  connect(soundLightWrite_, &QPushButton::clicked, this, &Transmitter32Page::WriteSoundLight);
  connect(smsRead, &QPushButton::clicked, this, &Transmitter32Page::ReadSmsAlarm);
  connect(smsWrite, &QPushButton::clicked, this, &Transmitter32Page::WriteSmsAlarm);
  return box;
}

cmd::AlarmScope Transmitter32Page::Scope() const {
  return scope_->currentIndex() == 1 ? cmd::AlarmScope::External : cmd::AlarmScope::Master;
}

void Transmitter32Page::ScopeChanged() {
  // Under external power the sound/light alarm travels with the SMS alarm's buttons.
  const bool master = Scope() == cmd::AlarmScope::Master;
  soundLightRead_->setVisible(master);
  soundLightWrite_->setVisible(master);
}

void Transmitter32Page::Show(const Outcome& outcome) {
  Report(this, outcome,
         {{"history", history_},
          {"print", print_},
          {"alarm", alarm_},
          {"seconds", delay_},
          {"apn", apn_},
          {"user", user_},
          {"password", password_}});
}

std::optional<Transmitter32Page::Fields> Transmitter32Page::CollectFields() {
  const std::optional<int32_t> history = ui::ReadInt(history_);
  if (!history) return std::nullopt;
  const std::optional<int32_t> alarm = ui::ReadInt(alarm_);
  if (!alarm) return std::nullopt;
  const std::optional<int32_t> print = ui::ReadInt(print_);
  if (!print) return std::nullopt;
  const std::optional<int32_t> delay = ui::ReadInt(delay_);
  if (!delay) return std::nullopt;
  return Fields{{*history, *print, *alarm}, *delay};
}

void Transmitter32Page::ReadIntervals() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadIntervals(c); });
  if (result.ok()) {
    history_->setText(QString::number(result.value.history));
    print_->setText(QString::number(result.value.print));
    alarm_->setText(QString::number(result.value.alarm));
  }
  Show(result.outcome);
}

void Transmitter32Page::WriteIntervals() {
  const std::optional<Fields> fields = CollectFields();
  if (!fields) return;
  Show(RunCommand(*this,
                  [&](devlink::Channel& c) { return cmd::WriteIntervals(c, fields->intervals); }));
}

void Transmitter32Page::ReadRecording() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadRecording(c); });
  if (result.ok()) recording_.Set(result.value.on);
  Show(result.outcome);
}

void Transmitter32Page::WriteRecording() {
  const bool on = recording_.On();
  Show(RunCommand(*this, [&](devlink::Channel& c) { return cmd::WriteRecording(c, on); }));
}

void Transmitter32Page::ReadAlarmDelay() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadAlarmDelay(c); });
  if (result.ok()) delay_->setText(QString::number(result.value.seconds));
  Show(result.outcome);
}

void Transmitter32Page::WriteAlarmDelay() {
  const std::optional<Fields> fields = CollectFields();
  if (!fields) return;
  Show(RunCommand(*this,
                  [&](devlink::Channel& c) { return cmd::WriteAlarmDelay(c, fields->delay); }));
}

void Transmitter32Page::ReadSignalStrength() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadSignalStrength(c); });
  if (result.ok()) signal_->setText(QString::number(result.value.strength));
  Show(result.outcome);
}

void Transmitter32Page::ReadSoundLight() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadSoundLight(c); });
  if (result.ok()) soundLight_.Set(result.value.on);
  Show(result.outcome);
}

void Transmitter32Page::WriteSoundLight() {
  const bool on = soundLight_.On();
  Show(RunCommand(*this, [&](devlink::Channel& c) { return cmd::WriteSoundLight(c, on); }));
}

void Transmitter32Page::ReadSmsAlarm() {
  const cmd::AlarmScope scope = Scope();
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return cmd::ReadSmsAlarm(c, scope); });
  if (result.ok()) {
    sms_.Set(result.value.sms);
    if (result.value.soundLight) soundLight_.Set(*result.value.soundLight);
  }
  Show(result.outcome);
}

void Transmitter32Page::WriteSmsAlarm() {
  const cmd::AlarmScope scope = Scope();
  const bool soundLight = soundLight_.On();
  const bool sms = sms_.On();
  Show(RunCommand(*this, [&](devlink::Channel& c) {
    return cmd::WriteSmsAlarm(c, scope, soundLight, sms);
  }));
}

void Transmitter32Page::ReadAlarmNumber() { alarmNumbers_->Read(); }

void Transmitter32Page::WriteAlarmNumber() { alarmNumbers_->Write(); }

void Transmitter32Page::ReadApn() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return cmd::ReadApn(c); });
  if (result.ok()) {
    apn_->setText(FromUtf8(result.value.apn));
    user_->setText(FromUtf8(result.value.user));
    password_->setText(FromUtf8(result.value.password));
  }
  Show(result.outcome);
}

void Transmitter32Page::WriteApn() {
  if (!CollectFields()) return;
  // The APN edit keeps the text without the blanks around it.
  apn_->setText(apn_->text().trimmed());
  const cmd::Apn value{apn_->text().toStdString(), user_->text().toStdString(),
                       password_->text().toStdString()};
  Show(RunCommand(*this, [&](devlink::Channel& c) { return cmd::WriteApn(c, value); }));
}

void Transmitter32Page::ClearData() {
  if (!ConfirmClearHistory(this)) return;
  Show(RunCommand(*this, [](devlink::Channel& c) { return cmd::ClearHistory(c); }));
}

void Transmitter32Page::RestoreFactorySettings() {
  Show(RunCommand(*this, [](devlink::Channel& c) { return cmd::RestoreFactorySettings(c); }));
}

std::vector<std::string> Transmitter32Page::ShowProfile(const Profile& profile) {
  SharedControls shared;
  const auto onOff = [](const OnOff& radios) {
    return ShowsOneOf({{"on", radios.on}, {"off", radios.off}});
  };
  const ProfileSetter scope = [this](const Value& value) {
    const int index = SameOption(value, std::string("external")) ? 1
                      : SameOption(value, std::string("master")) ? 0
                                                                 : -1;
    if (index < 0) return false;
    scope_->setCurrentIndex(index);
    return true;
  };
  const ProfileSetter soundLight = shared.Shows(soundLight_.on, onOff(soundLight_));
  const std::vector<std::pair<std::string, ProfileSetter>> smsAlarm = {
      {"scope", scope}, {"sms", onOff(sms_)}, {"sound-light", soundLight}};
  const std::string shownScope = Scope() == cmd::AlarmScope::External ? "external" : "master";
  return ShowProfileValues(
      profile, {{"intervals",
                 {{"history", ShowsText(history_)},
                  {"print", ShowsText(print_)},
                  {"alarm", ShowsText(alarm_)}}},
                {"alarm-delay", {{"seconds", ShowsText(delay_)}}},
                {"recording", {{"recording", onOff(recording_)}}},
                {"sound-light", {{"sound-light", soundLight}}},
                {"sms-alarm", smsAlarm},
                {"sms-alarm:" + shownScope, smsAlarm},
                {"apn",
                 {{"apn", ShowsText(apn_)}, {"user", ShowsText(user_)},
                  {"password", ShowsText(password_)}}},
                alarmNumbers_->ProfileControls()});
}

}  // namespace pages
