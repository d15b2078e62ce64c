// Accessible names of the controls the dialog leaves without a caption:
//   archiveList  "历史档案列表"
//   archivePath  "档案位置"
#include "history/archive_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "history/history_archive.h"
#include "pages/kit/messages.h"
#include "pages/kit/page_kit.h"
#include "pages/widgets/column_fit.h"
#include "ui/prompts.h"
#include "ui/wait_cursor.h"

namespace pages {

namespace {

constexpr int kIdColumn = 0;
constexpr int kInstrumentColumn = 1;

std::unique_ptr<history::Archive> OpenOrSay(QWidget* parent, const QString& path) {
  history::ArchiveError error;
  auto archive = history::Archive::Open(path.toStdString(), &error, /*create=*/false);
  if (!archive) ui::ShowMessage(parent, FromUtf8(error), {}, ui::MessageKind::Warning);
  return archive;
}

}  // namespace

ArchiveDialog::ArchiveDialog(const QString& path, QWidget* parent) : QDialog(parent), path_(path) {
  setObjectName(QStringLiteral("archiveDialog"));
  setWindowTitle(QStringLiteral("历史档案"));
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("archiveSn"));
  filter_->setPlaceholderText(QStringLiteral("空：全部仪器"));
  QLabel* filterCaption = MakeCaption(QStringLiteral("SN号:"), filter_, this);
  QPushButton* query = MakeButton(QStringLiteral("查询"), QStringLiteral("archiveQuery"), this);
  list_ = new QTableWidget(0, 7, this);
  list_->setObjectName(QStringLiteral("archiveList"));
  list_->setAccessibleName(QStringLiteral("历史档案列表"));
  list_->setHorizontalHeaderLabels({QStringLiteral("编号"), QStringLiteral("仪器"),
                                    QStringLiteral("下载时间"), QStringLiteral("记录数"),
                                    QStringLiteral("首条记录"), QStringLiteral("末条记录"),
                                    QStringLiteral("完整")});
  list_->verticalHeader()->hide();
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setWordWrap(false);
  FitColumns(list_);
  where_ = new QLabel(this);
  where_->setObjectName(QStringLiteral("archivePath"));
  where_->setAccessibleName(QStringLiteral("档案位置"));
  where_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  loadDownload_ = MakeButton(QStringLiteral("载入所选下载"), QStringLiteral("loadDownload"), this);
  loadInstrument_ =
      MakeButton(QStringLiteral("载入该仪器全部记录"), QStringLiteral("loadInstrument"), this);
  deleteDownload_ =
      MakeButton(QStringLiteral("删除所选下载"), QStringLiteral("deleteDownload"), this);
  QPushButton* close = MakeButton(QStringLiteral("关闭"), QStringLiteral("closeArchive"), this);

  auto* top = new QHBoxLayout;
  top->addWidget(filterCaption);
  top->addWidget(filter_, 1);
  top->addWidget(query);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(where_, 1);
  buttons->addWidget(loadDownload_);
  buttons->addWidget(loadInstrument_);
  buttons->addWidget(deleteDownload_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  resize(760, 420);

  connect(query, &QPushButton::clicked, this, &ArchiveDialog::Refresh);
  connect(filter_, &QLineEdit::returnPressed, this, &ArchiveDialog::Refresh);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &ArchiveDialog::UpdateButtons);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &ArchiveDialog::LoadDownload);
  connect(loadDownload_, &QPushButton::clicked, this, &ArchiveDialog::LoadDownload);
  connect(loadInstrument_, &QPushButton::clicked, this, &ArchiveDialog::LoadInstrument);
  connect(deleteDownload_, &QPushButton::clicked, this, &ArchiveDialog::DeleteDownload);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  where_->setText(QStringLiteral("档案：%1").arg(path_));
  UpdateButtons();
}

bool ArchiveDialog::Refresh() {
  list_->setRowCount(0);
  UpdateButtons();
  ui::WaitCursor wait;
  const auto archive = OpenOrSay(this, path_);
  if (!archive) return false;
  const std::vector<history::ArchivedDownload> downloads =
      archive->List(filter_->text().trimmed().toStdString());
  list_->setRowCount(static_cast<int>(downloads.size()));
  for (int row = 0; row < list_->rowCount(); ++row) {
    const history::ArchivedDownload& d = downloads[static_cast<size_t>(row)];
    const QString complete =
        d.complete ? QStringLiteral("是")
        : d.failedBlocks > 0 ? QStringLiteral("否（%1块失败）").arg(d.failedBlocks)
                             : QStringLiteral("否");
    const QString cells[] = {QString::number(d.id),       FromUtf8(d.instrument),
                             FromUtf8(d.started),         QString::number(d.records),
                             FromUtf8(d.first),           FromUtf8(d.last),
                             complete};
    for (int column = 0; column < 7; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setTextAlignment(column == kInstrumentColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                         : Qt::AlignCenter);
      list_->setItem(row, column, item);
    }
  }
  if (list_->rowCount() > 0) list_->selectRow(0);
  UpdateButtons();
  return true;
}

int64_t ArchiveDialog::SelectedId() const {
  const QList<QTableWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return 0;
  const QTableWidgetItem* id = list_->item(selected.front()->row(), kIdColumn);
  return id ? id->text().toLongLong() : 0;
}

QString ArchiveDialog::SelectedInstrument() const {
  const QList<QTableWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return {};
  const QTableWidgetItem* item = list_->item(selected.front()->row(), kInstrumentColumn);
  return item ? item->text() : QString();
}

void ArchiveDialog::UpdateButtons() {
  const bool chosen = SelectedId() != 0;
  loadDownload_->setEnabled(chosen);
  loadInstrument_->setEnabled(chosen);
  deleteDownload_->setEnabled(chosen);
}

void ArchiveDialog::DeleteDownload() {
  const int64_t id = SelectedId();
  if (id == 0) return;
  const int row = list_->selectedItems().front()->row();
  const QString question =
      QStringLiteral("即将从历史档案删除下载 %1（%2，%3 条记录），该操作无法撤销！\n是否继续？")
          .arg(id)
          .arg(list_->item(row, kInstrumentColumn)->text(), list_->item(row, 3)->text());
  if (!ui::CurrentPrompts().AskOkCancel(this, question, QString::fromUtf8(kPromptCaption),
                                        ui::MessageKind::Warning)) {
    return;
  }
  {
    ui::WaitCursor wait;
    const auto archive = OpenOrSay(this, path_);
    if (!archive) return;
    history::ArchiveError error;
    if (!archive->Delete(id, &error)) {
      ui::ShowMessage(this, FromUtf8(error), {}, ui::MessageKind::Warning);
      return;
    }
  }
  Refresh();
}

void ArchiveDialog::LoadDownload() {
  const int64_t id = SelectedId();
  if (id == 0) return;
  Records records;
  {
    ui::WaitCursor wait;
    const auto archive = OpenOrSay(this, path_);
    if (!archive) return;
    const std::optional<history::ArchivedDownload> d = archive->Find(id);
    if (!d) {
      ui::ShowMessage(this, FromUtf8(history::kNoSuchDownload + std::to_string(id)), {},
                      ui::MessageKind::Warning);
      return;
    }
    records.rows = archive->Rows(id);
    records.valueCount = d->valueCount;
    records.caption = QStringLiteral("%1 %2 的下载").arg(FromUtf8(d->instrument), FromUtf8(d->started));
  }
  emit load(records);
  accept();
}

void ArchiveDialog::LoadInstrument() {
  const QString instrument = SelectedInstrument();
  if (instrument.isEmpty()) return;
  Records records;
  {
    ui::WaitCursor wait;
    const auto archive = OpenOrSay(this, path_);
    if (!archive) return;
    history::MergedRecords merged = archive->Merged(instrument.toStdString());
    records.rows = std::move(merged.rows);
    records.valueCount = merged.valueCount;
    records.caption = QStringLiteral("%1 的全部记录").arg(instrument);
  }
  emit load(records);
  accept();
}

}  // namespace pages
