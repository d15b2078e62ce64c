#pragma once
// "历史档案": the downloads kept in the history archive, filtered by SN, from which one download
// or one instrument's records merged across its downloads go back into the history page's list,
// and a download is deleted for good.
#include <QDialog>
#include <QString>
#include <vector>

#include "history/history_commands.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pages {

class ArchiveDialog : public QDialog {
  Q_OBJECT
 public:
  // Records chosen to load: the rows as the list shows them, and what they are.
  struct Records {
    std::vector<history::RecordRow> rows;
    int valueCount = history::kTransmitterValueCount;
    QString caption;  // "7EAC00001 2026-12-09 12:43:57 的下载" / "7EAC00001 的全部记录"
  };

  ArchiveDialog(const QString& path, QWidget* parent = nullptr);
  // Reads the list again with the SN filter; false (and the reason shown) when the archive
  // cannot be opened.
  bool Refresh();
  QTableWidget* List() const { return list_; }

 signals:
  void load(const pages::ArchiveDialog::Records& records);

 private:
  void LoadDownload();
  void LoadInstrument();
  // Asks, then removes the selected download and its records from the archive.
  void DeleteDownload();
  void UpdateButtons();
  // The instrument and id of the selected row (id 0: none).
  int64_t SelectedId() const;
  QString SelectedInstrument() const;

  QString path_;
  QLineEdit* filter_;
  QTableWidget* list_;
  QLabel* where_;
  QPushButton* loadDownload_;
  QPushButton* loadInstrument_;
  QPushButton* deleteDownload_;
};

}  // namespace pages
