#include "pages/fridge/fridge_page.h"

// Accessible names of the inputs that have no caption of their own (those of the alarm number
// group are in alarm_number_group.cpp):
//   smsInterval      "短信发送间隔(秒)"  (the only edit of its group)
//   deviceState      "设备状态"           recordingState  "记录状态"
// The status switches take the caption of their row ("设备：", "记录："); the buttons "读" and
// "写" of the three groups have the group's title as their accessible description.

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "pages/widgets/alarm_number_group.h"
#include "pages/widgets/clock_widget.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

namespace {

QString OnOff(bool on) { return QString::fromUtf8(on ? fridge::kOn : fridge::kOff); }

}  // namespace

RefrigeratedBoxPage::RefrigeratedBoxPage(devlink::DeviceLink& link, int productVariant,
                                         QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("fridgePage");
  auto* grid = new QGridLayout(this);
  grid->addWidget(MakeClockGroup(*this, 15, 25, &clock_), 0, 0);
  grid->addWidget(BuildIntervalsGroup(), 1, 0);
  grid->addWidget(BuildStatusGroup(), 2, 0);
  grid->addWidget(BuildAlarmNumberGroup(), 0, 1);
  grid->addWidget(BuildSmsGroup(), 1, 1);
  auto* clear = MakeButton("清空数据", "clearData", this);
  grid->addWidget(clear, 2, 1, Qt::AlignLeft | Qt::AlignTop);
  grid->setRowStretch(3, 1);
  connect(clear, &QPushButton::clicked, this, &RefrigeratedBoxPage::ClearData);
  ShowStatus();
}

QGroupBox* RefrigeratedBoxPage::BuildIntervalsGroup() {
  auto* group = MakeGroup("时间间隔(分)", "intervalsGroup", this);
  history_ = MakeDigitsEdit("historyInterval", group);
  alarm_ = MakeDigitsEdit("alarmInterval", group);
  upload_ = MakeDigitsEdit("uploadInterval", group);
  print_ = MakeDigitsEdit("printInterval", group);
  const fridge::Intervals initial;
  history_->setText(QString::number(initial.history));
  alarm_->setText(QString::number(initial.alarm));
  upload_->setText(QString::number(initial.upload));
  print_->setText(QString::number(initial.print));
  auto* read = MakeGroupButton("读", "intervalsRead", group);
  auto* write = MakeGroupButton("写", "intervalsWrite", group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption("历史记录", history_, group), 0, 0);
  grid->addWidget(history_, 0, 1);
  grid->addWidget(MakeCaption("报警记录", alarm_, group), 0, 2);
  grid->addWidget(alarm_, 0, 3);
  grid->addWidget(MakeCaption("上传间隔", upload_, group), 1, 0);
  grid->addWidget(upload_, 1, 1);
  grid->addWidget(MakeCaption("打印间隔", print_, group), 1, 2);
  grid->addWidget(print_, 1, 3);
  grid->addWidget(read, 2, 2);
  grid->addWidget(write, 2, 3);
  connect(read, &QPushButton::clicked, this, &RefrigeratedBoxPage::ReadIntervals);
  connect(write, &QPushButton::clicked, this, &RefrigeratedBoxPage::WriteIntervals);
  return group;
}

QGroupBox* RefrigeratedBoxPage::BuildAlarmNumberGroup() {
  // A number is written only when the page's other fields are good.
  alarmNumbers_ = new AlarmNumberGroup(*this, [this] { return CollectFields().has_value(); }, this);
  return alarmNumbers_;
}

QGroupBox* RefrigeratedBoxPage::BuildSmsGroup() {
  auto* group = MakeGroup("短信发送间隔(秒)", "smsGroup", this);
  sms_ = MakeEdit("smsInterval", group);
  sms_->setAccessibleName("短信发送间隔(秒)");
  sms_->setText("0");
  auto* read = MakeGroupButton("读", "smsRead", group);
  auto* write = MakeGroupButton("写", "smsWrite", group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(sms_);
  row->addWidget(read);
  row->addWidget(write);
  connect(read, &QPushButton::clicked, this, &RefrigeratedBoxPage::ReadSmsInterval);
  connect(write, &QPushButton::clicked, this, &RefrigeratedBoxPage::WriteSmsInterval);
  return group;
}

QGroupBox* RefrigeratedBoxPage::BuildStatusGroup() {
  auto* group = MakeGroup("状态", "statusGroup", this);
  deviceState_ = new ValueLabel("设备状态", "deviceState", group);
  deviceSwitch_ = MakeButton({}, "deviceSwitch", group);
  recordingState_ = new ValueLabel("记录状态", "recordingState", group);
  recordingSwitch_ = MakeButton({}, "recordingSwitch", group);
  auto* read = MakeButton("读配置", "statusRead", group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption("设备：", deviceSwitch_, group), 0, 0);
  grid->addWidget(deviceState_, 0, 1);
  grid->addWidget(deviceSwitch_, 0, 2);
  grid->addWidget(MakeCaption("记录：", recordingSwitch_, group), 1, 0);
  grid->addWidget(recordingState_, 1, 1);
  grid->addWidget(recordingSwitch_, 1, 2);
  grid->addWidget(read, 2, 2);
  connect(deviceSwitch_, &QPushButton::clicked, this, &RefrigeratedBoxPage::SwitchDevice);
  connect(recordingSwitch_, &QPushButton::clicked, this, &RefrigeratedBoxPage::SwitchRecording);
  connect(read, &QPushButton::clicked, this, &RefrigeratedBoxPage::ReadStatus);
  return group;
}

void RefrigeratedBoxPage::ShowStatus() {
  // The label shows the state, the button the state it switches to.
  deviceState_->setText(OnOff(status_.DeviceOn()));
  deviceSwitch_->setText(OnOff(!status_.DeviceOn()));
  // A device that is off cannot be switched on from here: that must be done by hand.
  deviceSwitch_->setEnabled(status_.DeviceOn());
  recordingState_->setText(OnOff(status_.RecordingOn()));
  recordingSwitch_->setText(OnOff(!status_.RecordingOn()));
}

std::optional<RefrigeratedBoxPage::Fields> RefrigeratedBoxPage::CollectFields() {
  Fields fields;
  const std::optional<uint32_t> history = ui::ReadPositiveInt(history_);
  if (!history) return std::nullopt;
  const std::optional<uint32_t> alarm = ui::ReadPositiveInt(alarm_);
  if (!alarm) return std::nullopt;
  const std::optional<uint32_t> upload = ui::ReadPositiveInt(upload_);
  if (!upload) return std::nullopt;
  const std::optional<uint32_t> print = ui::ReadPositiveInt(print_);
  if (!print) return std::nullopt;
  const std::optional<int32_t> sms = ui::ReadInt(sms_);
  if (!sms) return std::nullopt;
  fields.intervals = {*upload, *history, *print, *alarm};
  fields.smsSeconds = *sms;
  return fields;
}

void RefrigeratedBoxPage::ReadStatus() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return fridge::ReadStatus(c); });
  if (result.ok()) {
    status_ = result.value;
    ShowStatus();
  }
  Report(this, result.outcome);
}

void RefrigeratedBoxPage::WriteSwitchedStatus(const fridge::Status& next) {
  const Outcome outcome =
      RunCommand(*this, [&](devlink::Channel& c) { return fridge::WriteStatus(c, next); });
  // The flags change only when the instrument took them.
  if (outcome.ok) {
    status_ = next;
    ShowStatus();
  }
  Report(this, outcome);
}

void RefrigeratedBoxPage::SwitchDevice() {
  if (!ui::CurrentPrompts().AskOkCancel(this, QString::fromUtf8(fridge::kDeviceOffQuestion),
                                        QString::fromUtf8(kPromptCaption),
                                        ui::MessageKind::Warning)) {
    return;
  }
  WriteSwitchedStatus(fridge::ToggleDevice(status_));
}

void RefrigeratedBoxPage::SwitchRecording() {
  WriteSwitchedStatus(fridge::ToggleRecording(status_));
}

void RefrigeratedBoxPage::ReadIntervals() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& c) { return fridge::ReadIntervals(c); });
  if (result.ok()) {
    history_->setText(QString::number(result.value.history));
    alarm_->setText(QString::number(result.value.alarm));
    upload_->setText(QString::number(result.value.upload));
    print_->setText(QString::number(result.value.print));
  }
  Report(this, result.outcome);
}

void RefrigeratedBoxPage::WriteIntervals() {
  const std::optional<Fields> fields = CollectFields();
  if (!fields) return;
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return fridge::WriteIntervals(c, fields->intervals);
         }),
         {{"upload", upload_}, {"history", history_}, {"print", print_}, {"alarm", alarm_}});
}

void RefrigeratedBoxPage::ReadAlarmNumber() { alarmNumbers_->Read(); }

void RefrigeratedBoxPage::WriteAlarmNumber() { alarmNumbers_->Write(); }

void RefrigeratedBoxPage::ReadSmsInterval() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& c) { return fridge::ReadSmsInterval(c); });
  if (result.ok()) sms_->setText(QString::number(result.value.seconds));
  Report(this, result.outcome);
}

void RefrigeratedBoxPage::WriteSmsInterval() {
  const std::optional<Fields> fields = CollectFields();
  if (!fields) return;
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return fridge::WriteSmsInterval(c, fields->smsSeconds);
         }),
         {{"seconds", sms_}});
}

void RefrigeratedBoxPage::ClearData() {
  if (!ConfirmClearHistory(this)) return;
  // The one command of the page without the wait cursor.
  devlink::LinkChannel channel(Link());
  Report(this, fridge::ClearHistory(channel));
}

std::vector<std::string> RefrigeratedBoxPage::ShowProfile(const Profile& profile) {
  return ShowProfileValues(profile, {{"intervals",
                                      {{"upload", ShowsText(upload_)},
                                       {"history", ShowsText(history_)},
                                       {"print", ShowsText(print_)},
                                       {"alarm", ShowsText(alarm_)}}},
                                     {"sms-interval", {{"seconds", ShowsText(sms_)}}},
                                     alarmNumbers_->ProfileControls()});
}

}  // namespace pages
