#include "pages/chiller/chiller_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/kit/page_kit.h"
#include "pages/widgets/range_edit.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

ChillerPage::ChillerPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName(QStringLiteral("chillerPage"));
  container_ = MakeDisplay(QStringLiteral("containerNumber"), this);
  returnAir_ = MakeDisplay(QStringLiteral("returnAir"), this);
  supplyAir_ = MakeDisplay(QStringLiteral("supplyAir"), this);
  setPoint_ = new RangeEdit(this);
  setPoint_->setObjectName(QStringLiteral("setPoint"));
  workMode_ = new QComboBox(this);
  workMode_->setObjectName(QStringLiteral("workMode"));
  for (const char* mode : chiller::kWorkModes) workMode_->addItem(QString::fromUtf8(mode));
  workMode_->setCurrentIndex(chiller::kUnknownMode);
  workMode_->setEnabled(false);  // display only
  alarmCodes_ = MakeDisplay(QStringLiteral("alarmCodes"), this);
  // Room for a dozen codes ("%.3d " each) without scrolling.
  const int codeWidth = alarmCodes_->fontMetrics().horizontalAdvance(QStringLiteral("000 "));
  alarmCodes_->setMinimumWidth(codeWidth * 12 + 12);
  auto* read = MakeButton(QStringLiteral("读配置"), QStringLiteral("chillerRead"), this);
  auto* write = MakeButton(QStringLiteral("写配置"), QStringLiteral("chillerWrite"), this);

  auto* grid = new QGridLayout(this);
  const std::pair<QString, QWidget*> rows[] = {
      {QStringLiteral("集装箱箱号："), container_}, {QStringLiteral("回风温度"), returnAir_},
      {QStringLiteral("送风温度"), supplyAir_},     {QStringLiteral("设置温度"), setPoint_},
      {QStringLiteral("工作模式："), workMode_},    {QStringLiteral("报警代码："), alarmCodes_},
  };
  int row = 0;
  for (const auto& [caption, field] : rows) {
    grid->addWidget(MakeCaption(caption, field, this), row, 0);
    grid->addWidget(field, row, 1, 1, 2);
    ++row;
  }
  grid->addWidget(read, row, 1);
  grid->addWidget(write, row, 2);
  grid->setRowStretch(row + 1, 1);
  grid->setColumnStretch(3, 1);
  connect(read, &QPushButton::clicked, this, &ChillerPage::ReadState);
  connect(write, &QPushButton::clicked, this, &ChillerPage::WriteSetPoint);
}

void ChillerPage::Show(const chiller::ChillerState& state) {
  container_->setText(QString::fromStdString(state.container));
  returnAir_->setText(QString::fromStdString(state.returnAir));
  supplyAir_->setText(QString::fromStdString(state.supplyAir));
  setPoint_->setText(state.setPoint ? QString::number(*state.setPoint, 'g', 6) : QString());
  workMode_->setCurrentIndex(state.workMode);
  alarmCodes_->setText(QString::fromStdString(state.alarmCodes));
}

void ChillerPage::ReadState() {
  // The fields are emptied before the exchange, so a failed read leaves them empty.
  Show(chiller::ChillerState{});
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return chiller::ReadState(c); });
  if (result.ok()) Show(result.value);
  Report(this, result.outcome);
}

void ChillerPage::WriteSetPoint() {
  const std::optional<double> setPoint = ui::ReadNumber(setPoint_);
  if (!setPoint) return;
  Report(this,
         RunCommand(*this, [&](devlink::Channel& c) { return chiller::WriteSetPoint(c, *setPoint); }),
         {{"set-point", setPoint_}});
}

std::vector<std::string> ChillerPage::ShowProfile(const Profile& profile) {
  return ShowProfileValues(
      profile, {{"write", {{"set-point", ShowsNumber(setPoint_, [](double value) {
                             return QString::number(value, 'g', 6).toStdString();
                           })}}}});
}

}  // namespace pages
