#include "pages/property2/property2_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "ui/prompts.h"

namespace pages {

namespace {

// Each entry carries its number of seconds as item data.
void Fill(QComboBox* list, std::span<const property2::Entry> entries) {
  for (const property2::Entry& entry : entries) {
    list->addItem(QString::fromStdString(entry.text), entry.seconds);
  }
  list->setCurrentIndex(0);
}

}  // namespace

PropertySettings2Page::PropertySettings2Page(devlink::DeviceLink& link, int productVariant,
                                             QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName(QStringLiteral("property2Page"));
  auto* column = new QVBoxLayout(this);
  column->addWidget(BuildPeriodGroup());
  column->addWidget(BuildScreenOffGroup());
  column->addStretch(1);
}

QGroupBox* PropertySettings2Page::BuildPeriodGroup() {
  auto* group = MakeGroup(QStringLiteral("通道灵敏度"), QStringLiteral("periodGroup"), this);
  channel_ = MakeList(QStringLiteral("channelNumber"), group);
  for (int number = 1; number <= kChannelCount; ++number) {
    channel_->addItem(QString::number(number), number);
  }
  channel_->setCurrentIndex(0);
  period_ = MakeList(QStringLiteral("samplePeriod"), group);
  Fill(period_, property2::SamplePeriods());
  auto* read = MakeButton(QStringLiteral("读"), QStringLiteral("periodRead"), group);
  auto* write = MakeButton(QStringLiteral("写"), QStringLiteral("periodWrite"), group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption(QStringLiteral("通道号"), channel_, group), 0, 0);
  grid->addWidget(channel_, 0, 1);
  grid->addWidget(MakeCaption(QStringLiteral("采样周期"), period_, group), 1, 0);
  grid->addWidget(period_, 1, 1);
  grid->addWidget(read, 1, 2);
  grid->addWidget(write, 1, 3);
  grid->setColumnStretch(4, 1);
  connect(read, &QPushButton::clicked, this, &PropertySettings2Page::ReadSamplePeriod);
  connect(write, &QPushButton::clicked, this, &PropertySettings2Page::WriteSamplePeriod);
  return group;
}

QGroupBox* PropertySettings2Page::BuildScreenOffGroup() {
  auto* group =
      MakeGroup(QStringLiteral("背光点亮时间"), QStringLiteral("screenOffGroup"), this);
  screenOff_ = MakeList(QStringLiteral("screenOffTime"), group);
  Fill(screenOff_, property2::ScreenOffTimes());
  auto* read = MakeButton(QStringLiteral("读"), QStringLiteral("screenOffRead"), group);
  auto* write = MakeButton(QStringLiteral("写"), QStringLiteral("screenOffWrite"), group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeCaption(QStringLiteral("息屏时间"), screenOff_, group), 0, 0);
  grid->addWidget(screenOff_, 0, 1);
  grid->addWidget(read, 0, 2);
  grid->addWidget(write, 0, 3);
  grid->setColumnStretch(4, 1);
  connect(read, &QPushButton::clicked, this, &PropertySettings2Page::ReadScreenOff);
  connect(write, &QPushButton::clicked, this, &PropertySettings2Page::WriteScreenOff);
  return group;
}

// A successful command ends silently: its outcome has no message.
void PropertySettings2Page::ReadSamplePeriod() {
  const int number = channel_->currentData().toInt();
  const auto result = RunCommand(
      *this, [&](devlink::Channel& c) { return property2::ReadSamplePeriod(c, number); });
  if (result.ok()) period_->setCurrentIndex(result.value.index);
  Report(this, result.outcome);
}

void PropertySettings2Page::WriteSamplePeriod() {
  const int number = channel_->currentData().toInt();
  const int seconds = period_->currentData().toInt();
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return property2::WriteSamplePeriod(c, number, seconds);
         }));
}

void PropertySettings2Page::ReadScreenOff() {
  const auto result =
      RunCommand(*this, [&](devlink::Channel& c) { return property2::ReadScreenOff(c); });
  if (result.ok()) screenOff_->setCurrentIndex(result.value.index);
  Report(this, result.outcome);
}

void PropertySettings2Page::WriteScreenOff() {
  const int seconds = screenOff_->currentData().toInt();
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return property2::WriteScreenOff(c, seconds);
         }));
}

std::vector<std::string> PropertySettings2Page::ShowProfile(const Profile& profile) {
  const std::string channel = std::to_string(channel_->currentData().toInt());
  return ShowProfileValues(
      profile, {{"sample-period:" + channel,
                 {{"channel", PickedByPage()}, {"period", ShowsChoice(period_)}}},
                {"screen-off", {{"time", ShowsChoice(screenOff_)}}}});
}

}  // namespace pages
