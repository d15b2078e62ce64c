#include "pages/widgets/sn_widget.h"

// Accessible names of the inputs that have no caption of their own:
//   year edit   "生产日期(年)"   (follows the caption "生产日期:")
//   month edit  "生产日期(月)"

#include <QCheckBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/kit/page_kit.h"
#include "pages/widgets/widget_command.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {
namespace {

QLineEdit* NewEdit(QWidget* parent, const char* objectName, int maxLength, int width) {
  QLineEdit* edit = MakeEdit(QLatin1String(objectName), parent, maxLength);
  edit->setFixedWidth(width);
  return edit;
}

}  // namespace

SnWidget::SnWidget(Page& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("snWidget"));
  const QDate today = QDate::currentDate();

  year_ = NewEdit(this, "snYear", 4, 48);
  year_->setText(QString::asprintf("%.4d", today.year()));
  year_->setAccessibleName(QStringLiteral("生产日期(年)"));
  month_ = NewEdit(this, "snMonth", 2, 32);
  month_->setText(QString::asprintf("%.2d", today.month()));
  month_->setAccessibleName(QStringLiteral("生产日期(月)"));
  serial_ = NewEdit(this, "snSerial", 5, 56);
  serial_->setText(QStringLiteral("1"));
  auto_ = MakeCheck(QStringLiteral("自动"), QStringLiteral("snAuto"), this);
  sn_ = NewEdit(this, "snText", 32, 120);
  sn_->setReadOnly(true);
  read_ = MakeButton(QStringLiteral("读配置"), QStringLiteral("snRead"), this);
  write_ = MakeButton(QStringLiteral("写配置"), QStringLiteral("snWrite"), this);
  copy_ = MakeButton(QStringLiteral("复制SN"), QStringLiteral("snCopy"), this);

  auto* dateLabel = new QLabel(QStringLiteral("生产日期:"), this);
  dateLabel->setBuddy(year_);
  auto* serialLabel = new QLabel(QStringLiteral("序列号:"), this);
  serialLabel->setBuddy(serial_);
  auto* snLabel = new QLabel(QStringLiteral("SN号:"), this);
  snLabel->setBuddy(sn_);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* dateRow = new QHBoxLayout;
  dateRow->addWidget(year_);
  dateRow->addWidget(new QLabel(QStringLiteral("年"), this));
  dateRow->addWidget(month_);
  dateRow->addWidget(new QLabel(QStringLiteral("月"), this));
  dateRow->addStretch();
  grid->addWidget(dateLabel, 0, 0);
  grid->addLayout(dateRow, 0, 1);
  auto* serialRow = new QHBoxLayout;
  serialRow->addWidget(serial_);
  serialRow->addWidget(auto_);
  serialRow->addStretch();
  grid->addWidget(serialLabel, 1, 0);
  grid->addLayout(serialRow, 1, 1);
  grid->addWidget(snLabel, 2, 0);
  grid->addWidget(sn_, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(read_);
  buttons->addWidget(write_);
  buttons->addWidget(copy_);
  grid->addLayout(buttons, 3, 0, 1, 2);
  adjustSize();

  hooks_.buildRead = [](SnWidget&) { return BuildSnReadRequest(); };
  hooks_.buildWrite = [](SnWidget&, int year, int month, int serial) {
    return BuildSnWriteRequest(year, month, serial);
  };
  hooks_.parseRead = [](SnWidget&, devlink::ByteView reply) { return ParseSnReadReply(reply); };
  hooks_.parseWrite = [](SnWidget&, devlink::ByteView reply) { return ParseSnWriteReply(reply); };

  connect(read_, &QPushButton::clicked, this, &SnWidget::Read);
  connect(write_, &QPushButton::clicked, this, &SnWidget::Write);
  connect(copy_, &QPushButton::clicked, this, &SnWidget::CopySn);
}

void SnWidget::Read() {
  const std::optional<WidgetReply> reply = RunHookedRead(*this, channel_);
  if (!reply) return;
  if (!reply->ok()) {
    ui::ShowMessage(window(), QString::fromStdString(reply->message()));
    return;
  }
  sn_->setText(QString::fromStdString(reply->value.text).toUpper());
  write_->setEnabled(true);
  if (!reply->message().empty()) ui::ShowMessage(window(), QString::fromStdString(reply->message()));
}

void SnWidget::Write() {
  // Every field is read before anything is sent: text that is not a whole number is refused
  // with the standard notice rather than sent as some other number.
  const auto serial = ui::ReadInt(serial_);
  if (!serial) return;
  if (*serial < 0 || *serial > kSerialMax) {
    ui::RefuseField(serial_, QString::fromUtf8(kSerialOutOfRange));
    return;
  }
  const auto year = ui::ReadInt(year_);
  if (!year) return;
  const auto month = ui::ReadInt(month_);
  if (!month) return;

  if (hooks_.preExchange && !hooks_.preExchange(*this)) return;
  std::function<WidgetRequest()> build;
  if (hooks_.buildWrite) {
    build = [&] { return hooks_.buildWrite(*this, *year, *month, *serial); };
  }
  const WidgetReply reply = RunHookedCommand(host_, channel_, WidgetOperation::Write, build,
                                             BindParse(*this, hooks_.parseWrite));
  if (!reply.ok()) {
    ui::ShowMessage(window(), QString::fromStdString(reply.message()));
    return;
  }
  if (auto_->isChecked()) serial_->setText(QString::number(*serial + 1));
  ui::ShowMessage(window(), QString::fromUtf8(kWriteOk));
}

void SnWidget::CopySn() { ui::CurrentPrompts().SetClipboardText(sn_->text()); }

}  // namespace pages
