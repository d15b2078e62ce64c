// "存入历史档案" and "历史档案" on the history page: downloads from the simulator kept in a
// temporary archive, listed, filtered by SN and loaded back into the list, then saved.
#include <QCheckBox>
#include <QCoreApplication>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "history/archive_page.h"
#include "history/history_archive.h"
#include "history/history_page.h"
#include "pages/testing/page_fixture.h"
#include "sim/families/history.h"

namespace pages {
namespace {

namespace fs = std::filesystem;

class ArchivePageTest : public testing::PageFixture<HistoryPage> {
 protected:
  void SetUp() override {
    testing::PageFixture<HistoryPage>::SetUp();
    dir_ = fs::temp_directory_path() / ("archive_page_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    archive_ = (dir_ / "archive.sqlite3").string();
    history::UseArchivePath(archive_);
  }
  void TearDown() override {
    history::UseArchivePath({});
    fs::remove_all(dir_);
    testing::PageFixture<HistoryPage>::TearDown();
  }
  void Download(int32_t records) {
    sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) { s.recordCount = records; });
    Click("historyDownload");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 20000));
  }
  QString Note() { return Find<QLabel>("archiveNote")->text(); }
  int Rows() { return Find<QTableWidget>("recordList")->rowCount(); }
  ArchiveDialog* OpenDialog() {
    // A dialog closed before is gone first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Click("openArchive");
    auto* dialog = page_->findChild<ArchiveDialog*>(QStringLiteral("archiveDialog"));
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }
  template <class T>
  T* In(QWidget* dialog, const char* name) {
    T* widget = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Shot(QWidget* widget, const char* name) {
    // Screenshots for a look by eye: only when asked for.
    if (const char* dir = std::getenv("TOOL_ARCHIVE_SHOTS")) {
      QCoreApplication::processEvents();
      widget->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
    }
  }
  fs::path dir_;
  std::string archive_;
};

TEST_F(ArchivePageTest, DownloadsAreKeptListedByInstrumentAndLoadedBackIntoTheList) {
  EXPECT_TRUE(Find<QCheckBox>("keepInArchive")->isChecked());
  Download(120);
  EXPECT_TRUE(Note().startsWith(QStringLiteral("已存入历史档案（7EAC00001，编号1）："))) << Note().toStdString();
  EXPECT_TRUE(page_->UnfinishedWork().isEmpty());  // kept: closing loses nothing
  EXPECT_TRUE(Note().endsWith(QString::fromStdString(archive_))) << Note().toStdString();
  Download(150);
  EXPECT_NE(Note().indexOf(QStringLiteral("编号2")), -1) << Note().toStdString();
  Shot(page_.get(), "history-page");
  // Kept out by the user: nothing is stored, and the note says nothing was.
  Find<QCheckBox>("keepInArchive")->setChecked(false);
  Download(30);
  EXPECT_TRUE(Note().isEmpty()) << Note().toStdString();
  Find<QCheckBox>("keepInArchive")->setChecked(true);

  ArchiveDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  QTableWidget* list = In<QTableWidget>(dialog, "archiveList");
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("7EAC00001"));
  EXPECT_EQ(list->item(0, 3)->text(), QStringLiteral("150"));
  EXPECT_EQ(list->item(1, 3)->text(), QStringLiteral("120"));
  EXPECT_EQ(list->item(1, 6)->text(), QStringLiteral("是"));
  Shot(dialog, "archive-dialog");
  // The SN filter: another instrument's SN lists nothing, this one's both.
  In<QLineEdit>(dialog, "archiveSn")->setText(QStringLiteral("7EAC00002"));
  In<QPushButton>(dialog, "archiveQuery")->click();
  EXPECT_EQ(list->rowCount(), 0);
  EXPECT_FALSE(In<QPushButton>(dialog, "loadDownload")->isEnabled());
  In<QLineEdit>(dialog, "archiveSn")->setText(QStringLiteral("7EAC00001"));
  In<QPushButton>(dialog, "archiveQuery")->click();
  ASSERT_EQ(list->rowCount(), 2);
  // The earlier download back in the list, saved as after a download.
  list->selectRow(1);
  In<QPushButton>(dialog, "loadDownload")->click();
  EXPECT_EQ(Rows(), 120);
  EXPECT_TRUE(Note().startsWith(QStringLiteral("已载入历史档案：7EAC00001 "))) << Note().toStdString();
  EXPECT_TRUE(Find<QPushButton>("saveAs")->isEnabled());
  EXPECT_TRUE(page_->UnfinishedWork().isEmpty());
  const std::string saved = (dir_ / "loaded.csv").string();
  prompts_.fileNames.push_back(QString::fromStdString(saved));
  Click("saveAs");
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("操作成功！"));
  EXPECT_TRUE(fs::exists(saved));

  // One instrument's records merged: the longer download's 150, each once, in the chart too.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  In<QTableWidget>(dialog, "archiveList")->selectRow(1);
  In<QPushButton>(dialog, "loadInstrument")->click();
  EXPECT_EQ(Rows(), 150);
  EXPECT_EQ(Find<QTableWidget>("recordList")->item(149, 1)->text(),
            QStringLiteral("2023年05月06日09时37分"));
  const auto series = page_->Chart()->chart()->series();
  ASSERT_FALSE(series.isEmpty());
  EXPECT_EQ(static_cast<QLineSeries*>(series[0])->count(), 150);

  // Deleting asks first: Cancel keeps the download, OK removes it from the list and the file.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  list = In<QTableWidget>(dialog, "archiveList");
  list->selectRow(0);
  prompts_.answers.push_back(false);
  In<QPushButton>(dialog, "deleteDownload")->click();
  EXPECT_TRUE(prompts_.shown.back().text.contains(QStringLiteral("150 条记录"))) << prompts_.shown.back().text.toStdString();
  EXPECT_EQ(list->rowCount(), 2);
  prompts_.answers.push_back(true);
  In<QPushButton>(dialog, "deleteDownload")->click();
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(list->item(0, 3)->text(), QStringLiteral("120"));
  history::ArchiveError error;
  const auto archive = history::Archive::Open(archive_, &error, /*create=*/false);
  ASSERT_NE(archive, nullptr) << error;
  EXPECT_EQ(archive->List({}).size(), 1u);
}

TEST_F(ArchivePageTest, AFileThatIsNoArchiveIsSaidSoAndTheDownloadStillFillsTheList) {
  fs::create_directories(dir_);
  { std::ofstream(archive_) << "not an archive"; }
  Download(10);
  EXPECT_EQ(Rows(), 10);
  EXPECT_TRUE(Note().startsWith(QString::fromUtf8(history::kNotAnArchive))) << Note().toStdString();
  ArchiveDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(prompts_.LastMessage().startsWith(QString::fromUtf8(history::kNotAnArchive)));
  EXPECT_EQ(In<QTableWidget>(dialog, "archiveList")->rowCount(), 0);
}

}  // namespace
}  // namespace pages
