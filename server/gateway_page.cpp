#include "server/gateway_page.h"

// Accessible names of the inputs without a caption of their own:
//   SN field        "记录仪ID"  (the group's title)
//   gateway list    "在线网关"  (its first column)
//   logger list     "记录仪列表" (its column)
//   wait status     "网关状态"
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "pages/widgets/column_fit.h"
#include "pages/widgets/range_edit.h"
#include "ui/prompts.h"

namespace pages {

namespace {

enum GatewayColumn { kAddressColumn = 0, kCountColumn, kTimeColumn, kBoundColumn, kSocketColumn };

QTreeWidget* MakeListView(const QStringList& titles, const QString& name, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(name);
  list->setAccessibleName(titles.front());
  list->setHeaderLabels(titles);
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  FitColumns(list);
  return list;
}

QString Now() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }

}  // namespace

WirelessLoggerPage::WirelessLoggerPage(devlink::DeviceLink& link, int productVariant,
                                       QWidget* parent)
    : Page(link, productVariant, parent),
      server_(gateway::GatewayServer::Events{
          [this](const gateway::GatewayInfo& info) { Accepted(info); },
          [this](gateway::GatewayKey key) { Closed(key); },
          [this](gateway::GatewayKey key) { Received(key); },
          [this](const gateway::CommandReply& reply) { Finished(reply); },
          [this](std::chrono::milliseconds pause) { PauseAccepting(pause); }}) {
  port_ = MakeDigitsEdit(QStringLiteral("gatewayPort"), this);
  port_->setText(QString::number(gateway::kDefaultPort));
  port_->setAlignment(Qt::AlignCenter);
  listen_ = MakeButton(QStringLiteral("监听"), QStringLiteral("gatewayListen"), this);
  gateways_ = MakeListView({QStringLiteral("在线网关"), QStringLiteral("ID数"),
                            QStringLiteral("通讯时间"), QStringLiteral("绑定SN"), QString()},
                           QStringLiteral("gatewayList"), this);
  gateways_->hideColumn(kBoundColumn);
  gateways_->hideColumn(kSocketColumn);
  clearList_ = MakeButton(QStringLiteral("清空列表"), QStringLiteral("gatewayClearList"), this);
  readLoggers_ = MakeButton(QStringLiteral("读取记录仪"), QStringLiteral("loggersRead"), this);
  clearLoggers_ = MakeButton(QStringLiteral("清空记录仪"), QStringLiteral("loggersClear"), this);
  loggers_ = MakeListView({QStringLiteral("记录仪列表")}, QStringLiteral("loggerList"), this);

  auto* idGroup = MakeGroup(QStringLiteral("记录仪ID"), QStringLiteral("loggerIdGroup"), this);
  sn_ = MakeEdit(QStringLiteral("loggerSn"), idGroup);
  sn_->setAccessibleName(QStringLiteral("记录仪ID"));
  sn_->setAlignment(Qt::AlignCenter);
  connect(sn_, &QLineEdit::textEdited, sn_, [this](const QString& text) {
    const int at = sn_->cursorPosition();
    sn_->setText(text.toUpper());
    sn_->setCursorPosition(at);
  });
  add_ = MakeButton(QStringLiteral("添加"), QStringLiteral("loggerAdd"), idGroup);
  delete_ = MakeButton(QStringLiteral("删除"), QStringLiteral("loggerDelete"), idGroup);
  auto* idLayout = new QHBoxLayout(idGroup);
  idLayout->addWidget(sn_);
  idLayout->addWidget(add_);
  idLayout->addWidget(delete_);

  auto* alarmGroup = MakeGroup(QStringLiteral("报警设置"), QStringLiteral("alarmGroup"), this);
  const auto limitEdit = [&](const char* name, const char* caption, float min, float max,
                             const char* rangeName) {
    auto* edit = new RangeEdit(alarmGroup);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(QString::fromUtf8(caption));
    edit->SetRange(min, max, QString::fromUtf8(rangeName));
    return edit;
  };
  tempUpper_ = limitEdit("tempUpper", "温度上限", -300, 1000, "温度");
  tempLower_ = limitEdit("tempLower", "温度下限", -300, 1000, "温度");
  humidityUpper_ = limitEdit("humidityUpper", "湿度上限", 0, 100, "湿度");
  humidityLower_ = limitEdit("humidityLower", "湿度下限", 0, 100, "湿度");
  writeLimits_ = MakeButton(QStringLiteral("写配置"), QStringLiteral("alarmWrite"), alarmGroup);
  auto* alarmLayout = new QGridLayout(alarmGroup);
  alarmLayout->addWidget(new QLabel(QStringLiteral("上限"), alarmGroup), 0, 1);
  alarmLayout->addWidget(new QLabel(QStringLiteral("下限"), alarmGroup), 0, 2);
  alarmLayout->addWidget(new QLabel(QStringLiteral("温度(℃)："), alarmGroup), 1, 0);
  alarmLayout->addWidget(tempUpper_, 1, 1);
  alarmLayout->addWidget(tempLower_, 1, 2);
  alarmLayout->addWidget(new QLabel(QStringLiteral("湿度(%RH)："), alarmGroup), 2, 0);
  alarmLayout->addWidget(humidityUpper_, 2, 1);
  alarmLayout->addWidget(humidityLower_, 2, 2);
  alarmLayout->addWidget(writeLimits_, 3, 2);

  interval_ = MakeDigitsEdit(QStringLiteral("reportInterval"), this);
  interval_->setText(QStringLiteral("1"));
  interval_->setAlignment(Qt::AlignCenter);
  writeInterval_ = MakeButton(QStringLiteral("写配置"), QStringLiteral("intervalWrite"), this);

  waitStatus_ = new ValueLabel(QStringLiteral("网关状态"), QStringLiteral("gatewayWaitStatus"), this);
  {
    // The page is disabled while a command waits; this text stays as readable as before.
    QPalette palette = waitStatus_->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::WindowText));
    waitStatus_->setPalette(palette);
  }

  auto* serverRow = new QHBoxLayout;
  serverRow->addWidget(MakeCaption(QStringLiteral("端口"), port_, this));
  serverRow->addWidget(port_);
  serverRow->addWidget(listen_);
  serverRow->addWidget(clearList_);
  auto* loggerButtons = new QHBoxLayout;
  loggerButtons->addWidget(readLoggers_);
  loggerButtons->addWidget(clearLoggers_);
  auto* intervalRow = new QHBoxLayout;
  intervalRow->addWidget(MakeCaption(QStringLiteral("上报间隔："), interval_, this));
  intervalRow->addWidget(interval_);
  intervalRow->addWidget(new QLabel(QStringLiteral("(分)"), this));
  intervalRow->addWidget(writeInterval_);
  auto* left = new QVBoxLayout;
  left->addLayout(serverRow);
  left->addWidget(gateways_, 1);
  left->addWidget(waitStatus_);
  auto* right = new QVBoxLayout;
  right->addLayout(loggerButtons);
  right->addWidget(loggers_, 1);
  right->addWidget(idGroup);
  right->addWidget(alarmGroup);
  right->addLayout(intervalRow);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addLayout(right, 2);

  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    server_.CheckDeadline();
    ArmDeadline();  // a timer that fired a little early waits for the rest
  });
  connect(listen_, &QPushButton::clicked, this, &WirelessLoggerPage::ToggleListening);
  connect(clearList_, &QPushButton::clicked, this, &WirelessLoggerPage::ClearList);
  connect(gateways_, &QTreeWidget::itemSelectionChanged, this,
          &WirelessLoggerPage::GatewaySelectionChanged);
  connect(loggers_, &QTreeWidget::itemSelectionChanged, this,
          [this] { LoggerSelectionChanged(/*copySn=*/true); });
  connect(readLoggers_, &QPushButton::clicked, this, [this] { Start(gateway::ReadRequest()); });
  connect(clearLoggers_, &QPushButton::clicked, this, [this] { Start(gateway::ClearRequest()); });
  connect(add_, &QPushButton::clicked, this, [this] {
    const auto request = gateway::BindRequest(sn_->text().toStdString(),
                                              static_cast<size_t>(loggers_->topLevelItemCount()));
    if (!request.ok()) return Report(this, request.outcome, {{"sn", sn_}});
    Start(request.value);
  });
  const auto selectedSn = [this] {
    const QTreeWidgetItem* item = loggers_->topLevelItem(selectedLogger_);
    return item ? item->text(0).toStdString() : std::string();
  };
  connect(delete_, &QPushButton::clicked, this,
          [this, selectedSn] { Start(gateway::DeleteRequest(selectedSn())); });
  connect(writeLimits_, &QPushButton::clicked, this, [this, selectedSn] {
    const auto request = gateway::LimitsRequest(
        selectedSn(), tempUpper_->text().toStdString(), tempLower_->text().toStdString(),
        humidityUpper_->text().toStdString(), humidityLower_->text().toStdString());
    if (!request.ok()) {
      return Report(this, request.outcome,
                    {{"temp-upper", tempUpper_}, {"temp-lower", tempLower_},
                     {"humidity-upper", humidityUpper_}, {"humidity-lower", humidityLower_}});
    }
    Start(request.value);
  });
  connect(writeInterval_, &QPushButton::clicked, this, [this, selectedSn] {
    const auto request = gateway::IntervalRequest(selectedSn(), interval_->text().toStdString());
    if (!request.ok()) return Report(this, request.outcome, {{"interval", interval_}});
    Start(request.value);
  });
  UpdateButtons();
}

WirelessLoggerPage::~WirelessLoggerPage() {
  // The notifiers go before the sockets they watch.
  listenerNotifier_.reset();
  notifiers_.clear();
}

QString WirelessLoggerPage::UnfinishedWork() const {
  if (!server_.Listening()) return {};
  return QStringLiteral("无线记录仪服务正在监听（%1个网关在线），关闭程序将断开所有网关。")
      .arg(gateways_->topLevelItemCount());
}

void WirelessLoggerPage::ToggleListening() {
  ui::WaitCursor wait;
  if (server_.Listening()) {
    listenerNotifier_.reset();
    server_.Stop();
    listen_->setText(QStringLiteral("监听"));
    port_->setEnabled(true);
    return;
  }
  const auto port = gateway::CheckPort(port_->text().toStdString());
  if (!port.ok()) return Report(this, port.outcome, {{"port", port_}});
  std::string detail;
  const auto result = server_.Listen(port.value, listenAddress_, &detail);
  if (result != gateway::GatewayServer::ListenResult::Ok) {
    const bool bindFailed = result == gateway::GatewayServer::ListenResult::BindFailed;
    ui::ShowMessage(this, QString::fromUtf8(bindFailed ? gateway::kListenFailed
                                                       : gateway::kSocketInitFailed),
                    {}, ui::MessageKind::Warning);
    return;
  }
  listenerNotifier_ =
      std::make_unique<QSocketNotifier>(server_.ListenerFd(), QSocketNotifier::Read);
  connect(listenerNotifier_.get(), &QSocketNotifier::activated, this,
          [this] { server_.OnListenerReadable(); });
  listen_->setText(QStringLiteral("关闭"));
  port_->setEnabled(false);
}

void WirelessLoggerPage::PauseAccepting(std::chrono::milliseconds pause) {
  if (!listenerNotifier_) return;
  listenerNotifier_->setEnabled(false);
  QTimer::singleShot(pause, listenerNotifier_.get(), [notifier = listenerNotifier_.get()] {
    notifier->setEnabled(true);
  });
}

void WirelessLoggerPage::ClearList() {
  server_.CloseAll();  // each close removes its row
  gateways_->clear();
  GatewaySelectionChanged();
}

void WirelessLoggerPage::Accepted(const gateway::GatewayInfo& info) {
  auto* row = new QTreeWidgetItem(gateways_);
  row->setText(kAddressColumn, QString::fromStdString(info.Endpoint()));
  row->setData(kAddressColumn, Qt::UserRole, QVariant::fromValue<qulonglong>(info.key));
  row->setText(kCountColumn, QStringLiteral("-"));
  row->setText(kTimeColumn, Now());
  row->setText(kSocketColumn, QString::number(info.fd));
  for (int column = 0; column <= kSocketColumn; ++column) row->setTextAlignment(column, Qt::AlignCenter);
  auto notifier = std::make_unique<QSocketNotifier>(info.fd, QSocketNotifier::Read);
  connect(notifier.get(), &QSocketNotifier::activated, this,
          [this, fd = info.fd] { server_.OnReadable(fd); });
  notifiers_[info.key] = std::move(notifier);
}

void WirelessLoggerPage::Closed(gateway::GatewayKey key) {
  // The notifier may be the one whose signal is running: it goes once that has returned.
  if (const auto it = notifiers_.find(key); it != notifiers_.end()) {
    it->second->setEnabled(false);
    it->second.release()->deleteLater();
    notifiers_.erase(it);
  }
  if (QTreeWidgetItem* row = RowOf(key)) {
    // A gone gateway takes the selection with it; no other row is chosen in its place.
    if (row->isSelected()) {
      gateways_->clearSelection();
      gateways_->setCurrentItem(nullptr);
    }
    delete row;
  }
  GatewaySelectionChanged();
}

void WirelessLoggerPage::Received(gateway::GatewayKey key) {
  if (QTreeWidgetItem* row = RowOf(key)) row->setText(kTimeColumn, Now());
}

QTreeWidgetItem* WirelessLoggerPage::RowOf(gateway::GatewayKey key) const {
  for (int i = 0; i < gateways_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = gateways_->topLevelItem(i);
    if (row->data(kAddressColumn, Qt::UserRole).toULongLong() == key) return row;
  }
  return nullptr;
}

gateway::GatewayKey WirelessLoggerPage::KeyOfRow(int row) const {
  const QTreeWidgetItem* item = row < 0 ? nullptr : gateways_->topLevelItem(row);
  return item ? item->data(kAddressColumn, Qt::UserRole).toULongLong() : 0;
}

void WirelessLoggerPage::GatewaySelectionChanged() {
  const QList<QTreeWidgetItem*> selected = gateways_->selectedItems();
  const int row = selected.isEmpty() ? -1 : gateways_->indexOfTopLevelItem(selected.front());
  // The same gateway at another row (a row above it went) keeps its loggers and their selection.
  const bool sameGateway = row >= 0 && selectedGatewayKey_ == KeyOfRow(row);
  selectedGateway_ = row;
  if (sameGateway) return;
  selectedGatewayKey_ = KeyOfRow(row);
  loggers_->clear();
  if (row >= 0) {
    const QString bound = gateways_->topLevelItem(row)->text(kBoundColumn);
    for (int at = 0; at + gateway::kSnLengthChars <= bound.size(); at += gateway::kSnLengthChars) {
      new QTreeWidgetItem(loggers_, {bound.mid(at, gateway::kSnLengthChars)});
    }
  }
  LoggerSelectionChanged(/*copySn=*/false);
  UpdateButtons();
}

void WirelessLoggerPage::LoggerSelectionChanged(bool copySn) {
  const QList<QTreeWidgetItem*> selected = loggers_->selectedItems();
  const int row = selected.isEmpty() ? -1 : loggers_->indexOfTopLevelItem(selected.front());
  if (row == selectedLogger_) return;
  selectedLogger_ = row;
  if (copySn && row >= 0) sn_->setText(selected.front()->text(0));
  UpdateButtons();
}

void WirelessLoggerPage::UpdateButtons() {
  const bool gateway = selectedGateway_ >= 0;
  const bool logger = selectedLogger_ >= 0;
  readLoggers_->setEnabled(gateway);
  clearLoggers_->setEnabled(gateway);
  add_->setEnabled(gateway);
  delete_->setEnabled(logger);
  writeLimits_->setEnabled(logger);
  writeInterval_->setEnabled(logger);
}

void WirelessLoggerPage::ShowLoggers(const std::vector<std::string>& sns) {
  loggers_->clear();
  for (const std::string& sn : sns) new QTreeWidgetItem(loggers_, {QString::fromStdString(sn)});
  LoggerSelectionChanged(/*copySn=*/false);
}

void WirelessLoggerPage::Start(const gateway::GatewayRequest& request) {
  const gateway::GatewayKey key = KeyOfRow(selectedGateway_);
  if (key == 0 || server_.Busy()) return;
  pending_ = request;
  setEnabled(false);
  waitCursor_.emplace();
  waitStatus_->setText(QStringLiteral("正在等待网关应答…（%1）")
                           .arg(gateways_->topLevelItem(selectedGateway_)->text(kAddressColumn)));
  server_.Send(key, request.command, request.bytes);
  ArmDeadline();
}

void WirelessLoggerPage::ArmDeadline() {
  if (const auto deadline = server_.Deadline()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - gateway::Clock::now());
    deadline_.start(std::max<int>(0, static_cast<int>(left.count())));
  }
}

void WirelessLoggerPage::Finished(const gateway::CommandReply& reply) {
  deadline_.stop();
  waitCursor_.reset();
  waitStatus_->clear();
  setEnabled(true);
  const gateway::CommandResult result = gateway::Evaluate(pending_, reply);
  // The deleted logger's SN is gone from the field as from the list.
  if (pending_.command == gateway::kDeleteLogger && result.outcome.ok) sn_->clear();
  if (result.loggers) {
    if (QTreeWidgetItem* row = RowOf(reply.gateway)) {
      QString bound;
      for (const std::string& sn : *result.loggers) bound += QString::fromStdString(sn);
      row->setText(kBoundColumn, bound);
      row->setText(kCountColumn, QString::number(result.loggers->size()));
      if (reply.gateway == selectedGatewayKey_) {
        ShowLoggers(*result.loggers);
        // A bound logger is selected and shown.
        const auto found = std::find(result.loggers->begin(), result.loggers->end(), pending_.sn);
        if (pending_.command == gateway::kBindLogger && found != result.loggers->end()) {
          QTreeWidgetItem* item =
              loggers_->topLevelItem(static_cast<int>(found - result.loggers->begin()));
          loggers_->scrollToItem(item);
          loggers_->setCurrentItem(item);
          loggers_->setFocus();
        }
      }
    }
  }
  Report(this, result.outcome);
}

}  // namespace pages
