#pragma once
// The "历史数据" page: downloads the history or print records of a transmitter or a GPRS module
// on the page's own worker thread, lists them, draws them and saves the list as CSV or .data.
// The worker never touches a widget: what it reports reaches this page through queued calls, in
// the order it was reported.
#include <QDialog>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "history/archive_page.h"
#include "history/history_commands.h"
#include "pages/kit/page.h"

class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTableWidget;
class QTimer;

namespace pages {

class HistoryStatsPanel;
class ValueLabel;

// "下载历史数据……": a modeless progress dialog with a cancel button, kept for the page's life.
class DownloadProgressDialog : public QDialog {
  Q_OBJECT
 public:
  explicit DownloadProgressDialog(QWidget* parent = nullptr);
  // Shows the dialog with an empty bar for `maximum` records.
  void Begin(int64_t maximum);
  void Step(int64_t current, int64_t maximum);
  // How many blocks have failed every attempt so far (hidden while none has).
  void ShowFailedBlocks(int failed);
  // Hides the dialog and empties the bar.
  void Close();
  QProgressBar* Bar() const { return bar_; }
  QLabel* FailedBlocks() const { return failed_; }

 signals:
  void cancelled();

 private:
  QProgressBar* bar_;
  QLabel* failed_;
};

class DownloadWorker;

class HistoryPage : public Page {
  Q_OBJECT
 public:
  HistoryPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);
  ~HistoryPage() override;

  void TabChanged(bool selected) override;
  void SerialPortClosing() override;
  QString UnfinishedWork() const override;

  // What the buttons do.
  void StartDownload(history::DownloadKind kind);
  void SaveAs();
  // "历史档案": the archived downloads, one of which (or one instrument's merged records) the
  // list then shows, saved with "另存为" as after a download.
  void OpenArchive();
  void LoadArchived(const ArchiveDialog::Records& records);

  bool Downloading() const { return downloading_; }
  // The list's rows as displayed (what the writers save).
  std::vector<history::RecordRow> ListRows() const;
  DownloadProgressDialog* ProgressDialog() const { return progress_; }
  std::atomic<bool>& DownloadContinue() { return downloadContinue_; }
  QChartView* Chart() const { return chartView_; }
  QSplitter* Splitter() const { return splitter_; }
  HistoryStatsPanel* StatsPanel() const { return statsPanel_; }

 private:
  friend class DownloadWorker;
  void AddRows(const std::vector<history::RecordRow>& rows);
  void Finished(const history::DownloadResult& result);
  void UpdateWidgets();
  void UpdateChart();
  // As many time labels as the plot's width has room for.
  void SpaceTimeTicks();
  void showEvent(QShowEvent* event) override;

  QRadioButton* transmitter_ = nullptr;
  QRadioButton* gprs_ = nullptr;
  QPushButton* printDownload_ = nullptr;
  QPushButton* historyDownload_ = nullptr;
  QPushButton* saveAs_ = nullptr;
  QCheckBox* keepInArchive_ = nullptr;  // "存入历史档案"
  QPushButton* openArchive_ = nullptr;  // "历史档案"
  QLabel* archiveNote_ = nullptr;       // where the last download was kept
  QTableWidget* list_ = nullptr;
  ValueLabel* count_ = nullptr;
  ValueLabel* status_ = nullptr;
  QChartView* chartView_ = nullptr;
  HistoryStatsPanel* statsPanel_ = nullptr;  // under the list and the chart
  std::string downloadedAt_;                  // when the list's download ended
  std::string instrument_;                    // "SN …" when the download read it, for the report
  QDateTimeAxis* timeAxis_ = nullptr;
  QSplitter* splitter_ = nullptr;
  bool split_ = false;  // the splitter has its first sizes
  QTimer* chartTimer_ = nullptr;
  DownloadProgressDialog* progress_ = nullptr;

  // Cleared to stop a running download (cancel, another tab, the port closing); the worker
  // polls it.
  std::atomic<bool> downloadContinue_{true};
  bool downloading_ = false;
  // Set before a download is handed to the worker, cleared by the worker when it no longer uses
  // the link: the port is not closed nor the link handed to another page while it is set.
  std::mutex workerMutex_;
  std::condition_variable workerIdle_;
  bool workerUsesLink_ = false;
  // Stops the download and waits (with the wait cursor: at most the exchange under way) until
  // the worker has left the link.
  void StopAndWaitForWorker();
  bool saveEnabled_ = false;
  // The list holds downloaded records that can be saved and have not been since the download.
  bool unsaved_ = false;
  int valueCount_ = history::kTransmitterValueCount;
  QThread thread_;
  DownloadWorker* worker_ = nullptr;  // lives in thread_
};

}  // namespace pages
