#include "pages/widgets/alarm_number_group.h"

// Accessible names of the inputs that have no caption of their own:
//   alarmNumberSlot  "报警号码序号"  (the "号码1".."号码3" drop-down)
//   alarmNumber      "报警号码"      (the number of the selected slot)
// The buttons "读" and "写" have the group's title as their accessible description.

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <utility>

#include "pages/kit/page_kit.h"

namespace pages {

AlarmNumberGroup::AlarmNumberGroup(Page& host, std::function<bool()> beforeWrite, QWidget* parent)
    : QGroupBox("报警号码", parent), host_(host), beforeWrite_(std::move(beforeWrite)) {
  setObjectName("alarmNumberGroup");
  slot_ = MakeList("alarmNumberSlot", this);
  slot_->setAccessibleName("报警号码序号");
  slot_->addItems({"号码1", "号码2", "号码3"});
  slot_->setCurrentIndex(0);
  number_ = MakeDigitsEdit("alarmNumber", this, static_cast<int>(gsm::kAlarmNumberMaxChars));
  number_->setAccessibleName("报警号码");
  auto* read = MakeGroupButton("读", "alarmNumberRead", this);
  auto* write = MakeGroupButton("写", "alarmNumberWrite", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(slot_, 0, 0);
  grid->addWidget(number_, 0, 1, 1, 2);
  grid->addWidget(read, 1, 1);
  grid->addWidget(write, 1, 2);
  connect(slot_, &QComboBox::currentIndexChanged, this, [this] { ShowCachedNumber(); });
  connect(read, &QPushButton::clicked, this, &AlarmNumberGroup::Read);
  connect(write, &QPushButton::clicked, this, &AlarmNumberGroup::Write);
}

void AlarmNumberGroup::ShowCachedNumber() {
  number_->setText(FromUtf8(numbers_.Number(slot_->currentIndex())));
}

void AlarmNumberGroup::Read() {
  const int index = slot_->currentIndex();
  const auto result =
      RunCommand(host_, [&](devlink::Channel& c) { return gsm::ReadAlarmNumber(c, index + 1); });
  if (result.ok()) {
    numbers_.Remember(index, result.value.number);
    number_->setText(FromUtf8(result.value.number));
  }
  Report(&host_, result.outcome);
}

void AlarmNumberGroup::Write() {
  if (beforeWrite_ && !beforeWrite_()) return;
  const int index = slot_->currentIndex();
  const std::string number = number_->text().toStdString();
  const Outcome outcome = RunCommand(
      host_, [&](devlink::Channel& c) { return gsm::WriteAlarmNumber(c, index + 1, number); });
  if (outcome.ok) numbers_.Remember(index, number);
  Report(&host_, outcome, {{"number", number_}});
}

GroupControls AlarmNumberGroup::ProfileControls() {
  return {"alarm-number:" + std::to_string(slot_->currentIndex() + 1),
          {{"slot", PickedByPage()}, {"number", ShowsText(number_)}}};
}

}  // namespace pages
