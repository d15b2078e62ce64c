#include "app/traffic_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "pages/kit/page_kit.h"
#include "pages/widgets/column_fit.h"
#include "ui/prompts.h"

namespace app {
namespace {

constexpr int kPollIntervalMs = 200;
const QColor kFailedRow(255, 225, 225);

enum Column { kTime, kChannel, kRequest, kReply, kLastByte, kFailure, kColumns };

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

devlink::TrafficLog& ProgramTrafficLog() {
  static devlink::TrafficLog log(TrafficWindow::kKeptEntries);
  return log;
}

TrafficWindow::TrafficWindow(devlink::TrafficLog& log, QWidget* parent)
    : QDialog(parent), log_(log) {
  setObjectName("trafficWindow");
  setWindowTitle("通讯记录");
  setModal(false);
  resize(1100, 420);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("trafficTable");
  table_->setHorizontalHeaderLabels({"时间", "通道", "发送", "接收", "耗时(ms)", "说明"});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setVisible(false);
  table_->setWordWrap(false);
  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // What went wrong takes the room left over; a frame longer than the window has room for is
  // cut, with the whole of it in a tooltip.
  pages::FitColumns(table_, {.stretch = {kFailure}});

  auto* clear = pages::MakeButton("清空", "trafficClear", this);
  auto* copy = pages::MakeButton("复制", "trafficCopy", this);
  auto* save = pages::MakeButton("保存", "trafficSave", this);
  connect(clear, &QPushButton::clicked, this, &TrafficWindow::Clear);
  connect(copy, &QPushButton::clicked, this, &TrafficWindow::Copy);
  connect(save, &QPushButton::clicked, this, &TrafficWindow::Save);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear);
  buttons->addWidget(copy);
  buttons->addWidget(save);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  poll_ = new QTimer(this);
  poll_->setInterval(kPollIntervalMs);
  connect(poll_, &QTimer::timeout, this, &TrafficWindow::TakeNewEntries);
}

TrafficWindow::~TrafficWindow() { log_.SetRecording(false); }

void TrafficWindow::showEvent(QShowEvent* event) {
  // What the log held from an earlier opening is already in the table.
  log_.TakeSince(next_);
  log_.SetRecording(true);
  poll_->start();
  QDialog::showEvent(event);
}

void TrafficWindow::hideEvent(QHideEvent* event) {
  log_.SetRecording(false);
  poll_->stop();
  TakeNewEntries();
  QDialog::hideEvent(event);
}

void TrafficWindow::TakeNewEntries() {
  std::vector<devlink::TrafficEntry> taken = log_.TakeSince(next_);
  if (taken.empty()) return;
  const bool atEnd = table_->rowCount() == 0 || table_->verticalScrollBar() == nullptr ||
                     table_->verticalScrollBar()->value() ==
                         table_->verticalScrollBar()->maximum();
  table_->setUpdatesEnabled(false);
  for (devlink::TrafficEntry& entry : taken) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QString texts[kColumns] = {
        Q(devlink::FormatTrafficTime(entry.time)), Q(entry.channel),
        Q(devlink::FormatHex(entry.request)),      Q(devlink::FormatHex(entry.reply)),
        Q(devlink::FormatLastByte(entry)),         Q(entry.failure)};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(texts[column]);
      if (!entry.failure.empty()) item->setBackground(kFailedRow);
      table_->setItem(row, column, item);
    }
    entries_.push_back(std::move(entry));
  }
  const auto excess = entries_.size() > kKeptEntries ? entries_.size() - kKeptEntries : 0;
  for (size_t i = 0; i < excess; ++i) {
    entries_.pop_front();
    table_->removeRow(0);
  }
  table_->setUpdatesEnabled(true);
  if (atEnd) table_->scrollToBottom();
}

QString TrafficWindow::Text(bool selectedOnly) const {
  std::set<int> rows;
  if (selectedOnly) {
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
      rows.insert(index.row());
    }
  }
  QString text;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (selectedOnly && !rows.contains(static_cast<int>(i))) continue;
    text += Q(devlink::FormatTrafficLine(entries_[i])) + "\n";
  }
  return text;
}

bool TrafficWindow::SaveTo(const QString& path, QString* error) const {
  // Written beside the target and renamed over it: a failed save leaves the old file whole.
  QSaveFile file(path);
  const QByteArray bytes = Text(false).toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error != nullptr) *error = file.errorString();
    return false;
  }
  return true;
}

void TrafficWindow::Clear() {
  TakeNewEntries();
  log_.Clear();
  entries_.clear();
  table_->setRowCount(0);
}

void TrafficWindow::Copy() {
  TakeNewEntries();
  const bool selected = table_->selectionModel()->hasSelection();
  QApplication::clipboard()->setText(Text(selected));
}

void TrafficWindow::Save() {
  TakeNewEntries();
  const QString path =
      QFileDialog::getSaveFileName(this, "保存", "traffic.txt", "文本文件 (*.txt);;所有文件 (*)");
  if (path.isEmpty()) return;
  QString error;
  if (!SaveTo(path, &error)) ui::ShowMessage(this, "保存失败：" + error);
}

}  // namespace app
