// Accessible names of the controls the page leaves without a caption:
//   recordList      "记录列表"
//   downloadStatus  "通讯状态"
//   recordChart     "记录曲线"
//   archiveNote     "存档情况"
#include "history/history_page.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QColor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <functional>
#include <limits>

#include "history/history_archive.h"
#include "history/history_export.h"
#include "history/report/history_stats_panel.h"
#include "pages/settings/settings_commands.h"
#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "pages/widgets/column_fit.h"
#include "ui/prompts.h"
#include "tool_version.h"
#include "ui/wait_cursor.h"

namespace pages {

using history::DownloadKind;
using history::RecordRow;

namespace {
// Shares of the page's width at first sight: list and chart.
constexpr int kListShare = 2;
constexpr int kChartShare = 3;

// The time cell of a record whose time cannot be carries this flag, so a save marks the row too.
constexpr int kImpossibleTimeRole = Qt::UserRole + 1;

void MarkImpossibleTime(QTableWidgetItem& time) {
  time.setData(kImpossibleTimeRole, true);
  time.setForeground(QColor(Qt::red));
  time.setToolTip(QStringLiteral("记录的时间无效，显示为仪器发来的原始数据"));
}

}  // namespace

// ---- DownloadProgressDialog ----

DownloadProgressDialog::DownloadProgressDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("downloadProgress"));
  setWindowTitle(QStringLiteral("下载历史数据……"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("数据正在下载。。。请稍后"), this));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("downloadBar"));
  bar_->setAccessibleName(QStringLiteral("下载进度"));
  layout->addWidget(bar_);
  failed_ = new QLabel(this);
  failed_->setObjectName(QStringLiteral("failedBlocks"));
  failed_->setAccessibleName(QStringLiteral("失败的数据块"));
  layout->addWidget(failed_);
  QPushButton* cancel = MakeButton(QStringLiteral("取消"), QStringLiteral("cancelDownload"), this);
  layout->addWidget(cancel, 0, Qt::AlignHCenter);
  connect(cancel, &QPushButton::clicked, this, [this] {
    Close();
    emit cancelled();
  });
  Close();
}

void DownloadProgressDialog::Begin(int64_t maximum) {
  bar_->setRange(0, static_cast<int>(std::clamp<int64_t>(maximum, 1, INT32_MAX)));
  bar_->setValue(0);
  show();
}

void DownloadProgressDialog::Step(int64_t current, int64_t maximum) {
  if (bar_->maximum() != maximum) bar_->setMaximum(static_cast<int>(std::clamp<int64_t>(maximum, 1, INT32_MAX)));
  bar_->setValue(static_cast<int>(std::clamp<int64_t>(current, 0, bar_->maximum())));
}

void DownloadProgressDialog::ShowFailedBlocks(int failed) {
  failed_->setText(QStringLiteral("已有%1个数据块读取失败").arg(failed));
  failed_->setVisible(failed > 0);
}

void DownloadProgressDialog::Close() {
  bar_->setRange(0, 1);
  bar_->setValue(0);
  ShowFailedBlocks(0);
  hide();
}

// ---- the worker ----

// Lives on the page's worker thread and runs one download at a time there. Everything it
// reports is posted to the page as a queued call; queued calls to one receiver keep their order.
class DownloadWorker : public QObject {
 public:
  DownloadWorker(HistoryPage* page, devlink::DeviceLink& link, const std::atomic<bool>& proceed)
      : page_(page), link_(link), proceed_(proceed) {}

  // `archivePath` empty: the download is not kept in the archive.
  void Run(history::DownloadRequest request, std::string archivePath) {
    struct Events : history::DownloadEvents {
      explicit Events(HistoryPage* page) : page(page) {}
      void CountAnnounced(int32_t count) override {
        Post([count](HistoryPage* p) { p->count_->setText(QString::number(count)); });
      }
      void Progress(int64_t current, int64_t maximum) override {
        Post([current, maximum](HistoryPage* p) {
          if (current == 0) {
            p->progress_->Begin(maximum);
          } else {
            p->progress_->Step(current, maximum);
          }
        });
      }
      void Rows(std::vector<RecordRow> rows) override {
        if (keep) kept.insert(kept.end(), rows.begin(), rows.end());
        Post([rows = std::move(rows)](HistoryPage* p) { p->AddRows(rows); });
      }
      void BlocksFailed(int failed) override {
        Post([failed](HistoryPage* p) { p->progress_->ShowFailedBlocks(failed); });
      }
      void Post(std::function<void(HistoryPage*)> f) {
        QMetaObject::invokeMethod(page, [page = page, f = std::move(f)] { f(page); },
                                  Qt::QueuedConnection);
      }
      HistoryPage* page;
      bool keep = false;
      std::vector<RecordRow> kept;
    } events(page_);
    devlink::LinkChannel channel(link_);
    // The archive is opened and the instrument named before the download, so nothing it sends
    // is lost to a slow open afterwards; a failed open costs the user no download.
    std::unique_ptr<history::Archive> archive;
    history::ArchiveIdentity identity;
    std::string note;
    if (!archivePath.empty()) {
      history::ArchiveError error;
      archive = history::Archive::Open(archivePath, &error);
      if (archive) {
        identity = history::IdentifyInstrument(channel, request.source);
      } else {
        note = error;
      }
    }
    events.keep = archive != nullptr;
    std::unique_ptr<StreamLine> stream = StreamBehind(channel);
    history::DownloadResult result =
        history::Download(channel, stream.get(), request, proceed_, events);
    // A transmitter that gave its records is asked for its alarm limits, for the statistics.
    if (request.source == history::Source::Transmitter && result.saveEnabled && proceed_.load()) {
      const auto alarm = settings::ReadLimits(channel, settings::LimitKind::Alarm);
      if (alarm.ok()) {
        const history::ReportLimits limits{
            {alarm.value.temperature.lower, alarm.value.temperature.upper},
            {alarm.value.humidity.lower, alarm.value.humidity.upper}};
        events.Post([limits](HistoryPage* p) { p->statsPanel_->OfferInstrumentLimits(limits); });
      }
    }
    bool archived = false;
    if (archive && !events.kept.empty()) {
      history::ArchiveError error;
      const auto id = archive->Store({identity, request, result, std::move(events.kept), {}}, &error);
      archived = id.has_value();
      note = id ? std::string(history::kStoredInArchive) + "（" + identity.Instrument() + "，编号" +
                      std::to_string(*id) + "）：" + archive->Path()
                : error;
    }
    {
      std::lock_guard lock(page_->workerMutex_);
      page_->workerUsesLink_ = false;
    }
    page_->workerIdle_.notify_all();
    // The SN read for the archive also names the instrument in a report of this list.
    std::string instrument = identity.Named();
    events.Post([result = std::move(result), note = FromUtf8(note), archived,
                 instrument = std::move(instrument)](HistoryPage* p) {
      p->archiveNote_->setText(note);
      p->instrument_ = instrument;
      p->Finished(result);
      // Kept in the archive: closing without "另存为" loses nothing.
      if (archived) p->unsaved_ = false;
    });
  }

 private:
  HistoryPage* page_;
  devlink::DeviceLink& link_;
  const std::atomic<bool>& proceed_;
};

// ---- the page ----

HistoryPage::HistoryPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  transmitter_ = MakeRadio(QStringLiteral("变送器"), QStringLiteral("sourceTransmitter"), this, true);
  gprs_ = MakeRadio(QStringLiteral("GPRS"), QStringLiteral("sourceGprs"), this);
  printDownload_ = MakeButton(QStringLiteral("打印数据下载"), QStringLiteral("printDownload"), this);
  historyDownload_ =
      MakeButton(QStringLiteral("历史数据下载"), QStringLiteral("historyDownload"), this);
  saveAs_ = MakeButton(QStringLiteral("另存为"), QStringLiteral("saveAs"), this);
  keepInArchive_ = MakeCheck(QStringLiteral("存入历史档案"), QStringLiteral("keepInArchive"), this);
  keepInArchive_->setChecked(true);
  openArchive_ = MakeButton(QStringLiteral("历史档案"), QStringLiteral("openArchive"), this);
  archiveNote_ = new QLabel(this);
  archiveNote_->setObjectName(QStringLiteral("archiveNote"));
  archiveNote_->setAccessibleName(QStringLiteral("存档情况"));
  archiveNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  count_ = new ValueLabel(QStringLiteral("数据总条数："), QStringLiteral("recordCount"), this);
  count_->setMinimumWidth(60);
  QLabel* countCaption = MakeCaption(QStringLiteral("数据总条数："), count_, this);
  status_ = new ValueLabel(QStringLiteral("通讯状态"), QStringLiteral("downloadStatus"), this);
  status_->setMinimumWidth(80);

  list_ = new QTableWidget(0, 4, this);
  list_->setObjectName(QStringLiteral("recordList"));
  list_->setAccessibleName(QStringLiteral("记录列表"));
  list_->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("时间"),
                                    QStringLiteral("温度 ℃"), QStringLiteral("湿度 %RH")});
  list_->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list_->verticalHeader()->hide();
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setWordWrap(false);
  FitColumns(list_);

  // The chart beside the list, from top to bottom of the page: no title (the tab says what it
  // is), the legend above the plot, thin margins.
  auto* chart = new QChart();
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setBackgroundRoundness(0);
  chartView_ = new QChartView(chart, this);
  chartView_->setObjectName(QStringLiteral("recordChart"));
  chartView_->setAccessibleName(QStringLiteral("记录曲线"));
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumSize(320, 240);
  connect(chart, &QChart::plotAreaChanged, this, &HistoryPage::SpaceTimeTicks);
  chartTimer_ = new QTimer(this);
  chartTimer_->setSingleShot(true);
  chartTimer_->setInterval(300);  // a streaming download redraws at most this often
  connect(chartTimer_, &QTimer::timeout, this, &HistoryPage::UpdateChart);

  auto* top = new QHBoxLayout;
  top->addWidget(transmitter_);
  top->addWidget(gprs_);
  top->addSpacing(12);
  top->addWidget(historyDownload_);
  top->addWidget(printDownload_);
  top->addWidget(saveAs_);
  top->addWidget(keepInArchive_);
  top->addWidget(openArchive_);
  top->addStretch(1);
  top->addWidget(countCaption);
  top->addWidget(count_);
  top->addWidget(status_);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("recordSplitter"));
  // The statistics under the list and the chart, the page's whole width: the splitter stays free.
  statsPanel_ = new HistoryStatsPanel(this);
  statsPanel_->SetReportSource([this] {
    history::ReportContent content;
    content.rows = ListRows();
    content.connection = history::DescribeConnection(Link());
    content.downloadedAt = downloadedAt_;
    content.instrument = instrument_;
    content.programVersion = TOOL_VERSION;
    return content;
  });
  connect(statsPanel_, &HistoryStatsPanel::limitsChanged, this, &HistoryPage::UpdateChart);
  splitter_->addWidget(list_);
  splitter_->addWidget(chartView_);
  splitter_->setChildrenCollapsible(false);
  splitter_->setStretchFactor(0, kListShare);
  splitter_->setStretchFactor(1, kChartShare);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(splitter_, 1);
  layout->addWidget(statsPanel_);
  layout->addWidget(archiveNote_);

  progress_ = new DownloadProgressDialog(this);
  connect(progress_, &DownloadProgressDialog::cancelled, this,
          [this] { downloadContinue_.store(false); });
  connect(historyDownload_, &QPushButton::clicked, this,
          [this] { StartDownload(DownloadKind::History); });
  connect(printDownload_, &QPushButton::clicked, this,
          [this] { StartDownload(DownloadKind::Print); });
  connect(saveAs_, &QPushButton::clicked, this, &HistoryPage::SaveAs);
  connect(openArchive_, &QPushButton::clicked, this, &HistoryPage::OpenArchive);
  connect(transmitter_, &QRadioButton::toggled, this, &HistoryPage::UpdateWidgets);

  worker_ = new DownloadWorker(this, link, downloadContinue_);
  worker_->moveToThread(&thread_);
  thread_.setObjectName(QStringLiteral("DownloadWorker"));
  thread_.start();
  UpdateChart();
  UpdateWidgets();
}

HistoryPage::~HistoryPage() {
  // Stops a running download at its next poll, then ends the worker thread.
  downloadContinue_.store(false);
  thread_.quit();
  thread_.wait();
  delete worker_;  // its thread has ended
}

void HistoryPage::TabChanged(bool selected) {
  if (selected) {
    downloadContinue_.store(true);
  } else {
    // The next page may talk to the instrument at once: the worker must be off the link first.
    StopAndWaitForWorker();
    progress_->Close();
  }
}

void HistoryPage::SerialPortClosing() { StopAndWaitForWorker(); }

QString HistoryPage::UnfinishedWork() const {
  if (downloading_) return QStringLiteral("历史数据正在下载，关闭程序将中止下载。");
  if (unsaved_) return QStringLiteral("下载的历史数据尚未保存（另存为）。");
  return {};
}

void HistoryPage::StopAndWaitForWorker() {
  downloadContinue_.store(false);
  std::unique_lock lock(workerMutex_);
  if (!workerUsesLink_) return;
  ui::WaitCursor wait;
  workerIdle_.wait(lock, [this] { return !workerUsesLink_; });
}

void HistoryPage::StartDownload(DownloadKind kind) {
  if (downloading_) return;
  downloading_ = true;
  saveEnabled_ = false;
  unsaved_ = false;
  UpdateWidgets();
  list_->setRowCount(0);
  UpdateChart();
  downloadContinue_.store(true);
  status_->clear();
  history::DownloadRequest request;
  request.source = transmitter_->isChecked() ? history::Source::Transmitter : history::Source::Gprs;
  request.kind = kind;
  {
    std::lock_guard lock(workerMutex_);
    workerUsesLink_ = true;
  }
  emit linkInUse(true);
  archiveNote_->clear();
  const std::string archive = keepInArchive_->isChecked() ? history::ArchivePath() : std::string();
  QMetaObject::invokeMethod(worker_,
                            [worker = worker_, request, archive] { worker->Run(request, archive); },
                            Qt::QueuedConnection);
}

void HistoryPage::AddRows(const std::vector<RecordRow>& rows) {
  const int first = list_->rowCount();
  list_->setRowCount(first + static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = first + static_cast<int>(i);
    auto cell = [&](int column, const QString& text) {
      auto* item = new QTableWidgetItem(text);
      item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
      list_->setItem(row, column, item);
    };
    cell(0, QString::number(row + 1));
    cell(1, FromUtf8(rows[i].time));
    if (rows[i].impossibleTime) MarkImpossibleTime(*list_->item(row, 1));
    for (size_t v = 0; v < rows[i].values.size() && v < history::kListValueColumns; ++v) {
      cell(2 + static_cast<int>(v), FromUtf8(rows[i].values[v]));
    }
  }
  if (!rows.empty()) list_->scrollToBottom();
  if (!chartTimer_->isActive()) chartTimer_->start();
}

void HistoryPage::Finished(const history::DownloadResult& result) {
  downloading_ = false;
  emit linkInUse(false);
  status_->setText(FromUtf8(result.status));
  downloadedAt_ = history::LocalNowText();
  progress_->Close();
  saveEnabled_ = result.saveEnabled;
  unsaved_ = saveEnabled_ && list_->rowCount() > 0;
  valueCount_ = result.valueCount;
  chartTimer_->stop();
  UpdateChart();
  UpdateWidgets();
  if (!result.message.empty()) {
    ui::ShowMessage(this, FromUtf8(result.message), {}, ui::MessageKind::Warning);
  } else if (result.impossibleTimes > 0) {
    ui::ShowMessage(this,
                    QString::fromUtf8(history::kImpossibleTimesFormat)
                        .replace(QStringLiteral("%d"), QString::number(result.impossibleTimes)),
                    {}, ui::MessageKind::Warning);
  }
}

void HistoryPage::UpdateWidgets() {
  const bool idle = !downloading_;
  transmitter_->setEnabled(idle);
  gprs_->setEnabled(idle);
  historyDownload_->setEnabled(idle);
  printDownload_->setEnabled(idle && gprs_->isChecked());
  saveAs_->setEnabled(idle && saveEnabled_);
  statsPanel_->SetBusy(!idle);
  keepInArchive_->setEnabled(idle);
  openArchive_->setEnabled(idle);
}

void HistoryPage::OpenArchive() {
  if (downloading_) return;
  auto* dialog = new ArchiveDialog(FromUtf8(history::ArchivePath()), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &ArchiveDialog::load, this, &HistoryPage::LoadArchived);
  dialog->open();
  dialog->Refresh();
}

void HistoryPage::LoadArchived(const ArchiveDialog::Records& records) {
  if (downloading_) return;
  list_->setRowCount(0);
  AddRows(records.rows);
  chartTimer_->stop();
  UpdateChart();
  valueCount_ = records.valueCount;
  count_->setText(QString::number(records.rows.size()));
  status_->clear();
  archiveNote_->setText(QStringLiteral("已载入历史档案：%1").arg(records.caption));
  instrument_ = records.caption.toStdString();  // the instrument and which of its downloads
  // Saved already in the archive: leaving without "另存为" loses nothing.
  saveEnabled_ = true;
  unsaved_ = false;
  UpdateWidgets();
}

std::vector<RecordRow> HistoryPage::ListRows() const {
  std::vector<RecordRow> rows;
  rows.reserve(static_cast<size_t>(list_->rowCount()));
  auto text = [this](int row, int column) {
    const QTableWidgetItem* item = list_->item(row, column);
    return item ? item->text().toStdString() : std::string();
  };
  for (int row = 0; row < list_->rowCount(); ++row) {
    const QTableWidgetItem* time = list_->item(row, 1);
    const bool impossible = time && time->data(kImpossibleTimeRole).toBool();
    rows.push_back({text(row, 1), {text(row, 2), text(row, 3)}, impossible});
  }
  return rows;
}

void HistoryPage::SaveAs() {
  if (Link().address == 0) {
    ui::ShowMessage(this, QString::fromUtf8(history::kSelectPoint));
    return;
  }
  int type = 0;
  const QString chosen = ui::CurrentPrompts().SaveFileNameOfType(
      this, QStringLiteral("另存为"), QStringLiteral("Excel文件(*.csv);;数据文件(*.data)"), &type);
  if (chosen.isEmpty()) return;
  const history::FileType fileType = type == 1 ? history::FileType::Data : history::FileType::Csv;
  const std::string path = history::SavePath(chosen.toStdString(), fileType);
  std::string failure;
  {
    ui::WaitCursor wait;
    failure = history::SaveRecords(path, fileType, ListRows(), valueCount_);
  }
  if (failure.empty()) {
    unsaved_ = false;
    ui::ShowMessage(this, QString::fromUtf8(history::kSaveDone));
  } else {
    ui::ShowMessage(this, FromUtf8(failure), {}, ui::MessageKind::Warning);
  }
}

void HistoryPage::showEvent(QShowEvent* event) {
  Page::showEvent(event);
  if (split_) return;
  // At first sight the list and the chart share the width; the user moves the splitter.
  split_ = true;
  const int width = splitter_->width() - splitter_->handleWidth();
  const int list = width * kListShare / (kListShare + kChartShare);
  splitter_->setSizes({list, width - list});
}

namespace {

// "2023年05月06日07时08分" -> its moment; invalid for a time no calendar has (a missing record).
QDateTime TimeOfRow(const QString& text) {
  static const QRegularExpression pattern(
      QStringLiteral("^(\\d+)年(\\d+)月(\\d+)日(\\d+)时(\\d+)分$"));
  const QRegularExpressionMatch m = pattern.match(text);
  if (!m.hasMatch()) return {};
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime time(m.captured(4).toInt(), m.captured(5).toInt());
  if (!date.isValid() || !time.isValid()) return {};
  return QDateTime(date, time);
}

}  // namespace

void HistoryPage::UpdateChart() {
  QChart* chart = chartView_->chart();
  timeAxis_ = nullptr;
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  auto* temperature = new QLineSeries;
  temperature->setName(QStringLiteral("温度 ℃"));
  auto* humidity = new QLineSeries;
  humidity->setName(QStringLiteral("湿度 %RH"));
  QList<QPointF> t, h;
  qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
  for (int row = 0; row < list_->rowCount(); ++row) {
    const QTableWidgetItem* timeItem = list_->item(row, 1);
    const QDateTime when = timeItem ? TimeOfRow(timeItem->text()) : QDateTime();
    if (!when.isValid()) continue;
    const auto x = static_cast<qreal>(when.toMSecsSinceEpoch());
    auto add = [&](int column, QList<QPointF>& points) {
      const QTableWidgetItem* item = list_->item(row, column);
      bool ok = false;
      const double value = item ? item->text().toDouble(&ok) : 0;
      if (ok) points.append({x, value});
    };
    add(2, t);
    add(3, h);
    first = std::min(first, when.toMSecsSinceEpoch());
    last = std::max(last, when.toMSecsSinceEpoch());
  }
  temperature->replace(t);
  humidity->replace(h);
  chart->addSeries(temperature);
  chart->addSeries(humidity);

  // The time axis names the day (or the year) once in its title, so its labels stay short.
  auto* time = new QDateTimeAxis;
  timeAxis_ = time;
  QDateTime from = QDateTime(QDate::currentDate(), QTime(0, 0));
  QDateTime to = from.addDays(1);
  if (first <= last) {
    from = QDateTime::fromMSecsSinceEpoch(first);
    to = QDateTime::fromMSecsSinceEpoch(std::max(last, first + 60'000));
  }
  time->setRange(from, to);
  if (first > last) {
    time->setFormat(QStringLiteral("hh:mm"));
    time->setTitleText(QStringLiteral("时间"));
  } else if (from.date() == to.date()) {
    time->setFormat(QStringLiteral("hh:mm"));
    time->setTitleText(QStringLiteral("时间 (%1)").arg(from.date().toString(QStringLiteral("yyyy-MM-dd"))));
  } else if (from.date().year() == to.date().year()) {
    time->setFormat(QStringLiteral("MM-dd hh:mm"));
    time->setTitleText(QStringLiteral("时间 (%1年)").arg(from.date().year()));
  } else {
    time->setFormat(QStringLiteral("yyyy-MM-dd"));
    time->setTitleText(QStringLiteral("时间"));
  }
  chart->addAxis(time, Qt::AlignBottom);
  auto valueAxis = [&](QLineSeries* series, const QList<QPointF>& points, Qt::Alignment side) {
    auto* axis = new QValueAxis;
    axis->setTitleText(series->name());
    if (!points.isEmpty()) {
      auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                             [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
      const double pad = std::max(1.0, (high->y() - low->y()) * 0.05);
      axis->setRange(low->y() - pad, high->y() + pad);
      axis->applyNiceNumbers();
    }
    chart->addAxis(axis, side);
    series->attachAxis(time);
    series->attachAxis(axis);
    // Which axis belongs to which curve: the axis in the curve's colour.
    axis->setLabelsColor(series->color());
    axis->setTitleBrush(series->color());
    return axis;
  };
  QValueAxis* temperatureAxis = valueAxis(temperature, t, Qt::AlignLeft);
  QValueAxis* humidityAxis = valueAxis(humidity, h, Qt::AlignRight);
  const std::vector<RecordRow> rows = ListRows();
  statsPanel_->ShowRows(rows);
  statsPanel_->Decorate(chart, time, temperatureAxis, humidityAxis, rows);
  SpaceTimeTicks();
}

void HistoryPage::SpaceTimeTicks() {
  if (timeAxis_ == nullptr) return;
  const QFontMetrics metrics(timeAxis_->labelsFont());
  const QString widest = QDateTime(QDate(2000, 12, 28), QTime(23, 58)).toString(timeAxis_->format());
  const int room = metrics.horizontalAdvance(widest) + metrics.horizontalAdvance(QStringLiteral("0000"));
  const int plot = static_cast<int>(chartView_->chart()->plotArea().width());
  const int ticks = std::clamp(plot / std::max(room, 1) + 1, 2, 12);
  if (timeAxis_->tickCount() != ticks) timeAxis_->setTickCount(ticks);
}

}  // namespace pages
