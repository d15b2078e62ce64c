#include "pages/widgets/clock_widget.h"

// Accessible names of the inputs that have no caption of their own:
//   time field  "仪器时间"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/widgets/widget_command.h"
#include "ui/prompts.h"

namespace pages {

ClockWidget::ClockWidget(Page& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("clockWidget"));
  time_ = MakeEdit(QStringLiteral("clockTime"), this);
  time_->setAccessibleName(QStringLiteral("仪器时间"));
  time_->setReadOnly(true);
  time_->setAlignment(Qt::AlignCenter);
  time_->setMinimumWidth(150);
  read_ = MakeButton(QStringLiteral("读时间"), QStringLiteral("clockRead"), this);
  set_ = MakeButton(QStringLiteral("设置时间"), QStringLiteral("clockSet"), this);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(time_);
  row->addWidget(read_);
  row->addWidget(set_);
  adjustSize();

  hooks_.buildRead = [](ClockWidget& widget) {
    return BuildClockReadRequest(widget.DeviceAddress());
  };
  hooks_.buildWrite = [](ClockWidget&) { return BuildClockSetRequest(LocalClockTime()); };
  hooks_.parseRead = [](ClockWidget&, devlink::ByteView reply) {
    return ParseClockReadReply(reply);
  };

  connect(read_, &QPushButton::clicked, this, &ClockWidget::ReadTime);
  connect(set_, &QPushButton::clicked, this, &ClockWidget::SetTime);
  connect(this, &ClockWidget::deviceAddressReported, &host, &Page::deviceAddressReported);
}

uint8_t ClockWidget::DeviceAddress() {
  return channel_ ? channel_->DeviceAddress() : host_.Link().WireAddress();
}

void ClockWidget::ReadTime() {
  const std::optional<WidgetReply> reply = RunHookedRead(*this, channel_);
  if (!reply) return;
  if (!reply->ok()) {
    ui::ShowMessage(window(), QString::fromStdString(reply->message()));
    return;
  }
  time_->setText(QString::fromStdString(reply->value.text));
  if (!reply->message().empty()) ui::ShowMessage(window(), QString::fromStdString(reply->message()));
  if (reply->value.reportedAddress) emit deviceAddressReported(*reply->value.reportedAddress);
}

void ClockWidget::SetTime() {
  if (hooks_.preExchange && !hooks_.preExchange(*this)) return;
  std::function<WidgetRequest()> build;
  if (hooks_.buildWrite) build = [this] { return hooks_.buildWrite(*this); };
  const WidgetReply reply = RunHookedCommand(host_, channel_, WidgetOperation::SetTime, build,
                                             BindParse(*this, hooks_.parseWrite));
  ui::ShowMessage(window(), QString::fromStdString(reply.ok() ? std::string(kWriteOk)
                                                              : reply.message()));
}

QGroupBox* MakeClockGroup(Page& host, int left, int top, ClockWidget** clock) {
  auto* group = MakeGroup("时钟配置", "clockGroup", &host);
  *clock = new ClockWidget(host, group);
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(left, top, 9, 9);
  column->addWidget(*clock);
  return group;
}

}  // namespace pages
