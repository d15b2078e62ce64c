#pragma once
// "通讯记录": every exchange on the link while the window is open, in a table (time, channel,
// request and reply in hex, time to the last reply byte, why it failed). It can be cleared,
// copied and saved as a text file, and keeps the last 10,000 exchanges.
#include <QDialog>
#include <deque>

#include "link/traffic.h"

class QTableWidget;
class QTimer;

namespace app {

// The program's one traffic log; it outlives every window and every worker thread.
devlink::TrafficLog& ProgramTrafficLog();

class TrafficWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr size_t kKeptEntries = 10000;

  explicit TrafficWindow(devlink::TrafficLog& log, QWidget* parent = nullptr);
  ~TrafficWindow() override;

  // Takes what the log recorded since the last look into the table.
  void TakeNewEntries();
  // The kept entries as text lines, oldest first (what "保存" writes and "复制" copies).
  QString Text(bool selectedOnly) const;
  bool SaveTo(const QString& path, QString* error) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Clear();
  void Copy();
  void Save();

  devlink::TrafficLog& log_;
  uint64_t next_ = 0;
  std::deque<devlink::TrafficEntry> entries_;
  QTableWidget* table_ = nullptr;
  QTimer* poll_ = nullptr;
};

}  // namespace app
