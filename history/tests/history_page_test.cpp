// The history page under the offscreen platform, downloading from the simulator over a
// pseudo-terminal on its worker thread.
#include <QAccessible>
#include <QChart>
#include <QCheckBox>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "history/history_page.h"
#include "link/codecs.h"
#include "pages/testing/page_fixture.h"
#include "sim/families/history.h"

namespace pages {
namespace {

class HistoryPageTest : public testing::PageFixture<HistoryPage> {
 protected:
  void Configure(int32_t records, int32_t blockSize = 360) {
    sim_.Device<sim::HistoryState>([&](sim::HistoryState& s) {
      s.recordCount = records;
      s.blockSize = blockSize;
    });
  }
  // Clicks a download button and waits until the worker has reported its end.
  void Download(const char* button) {
    Click(button);
    EXPECT_TRUE(page_->Downloading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 20000));
  }
  QTableWidget* List() { return Find<QTableWidget>("recordList"); }
  QString Status() { return Find<QLabel>("downloadStatus")->text(); }
  QString Count() { return Find<QLabel>("recordCount")->text(); }
  bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
  int ChartPoints() {
    const auto series = page_->Chart()->chart()->series();
    return series.isEmpty() ? 0 : static_cast<int>(static_cast<QLineSeries*>(series[0])->count());
  }
};

TEST_F(HistoryPageTest, StartsWithTheTransmitterAndNothingToSave) {
  EXPECT_TRUE(Find<QRadioButton>("sourceTransmitter")->isChecked());
  EXPECT_FALSE(Enabled("saveAs"));
  EXPECT_FALSE(Enabled("printDownload"));
  EXPECT_TRUE(Enabled("historyDownload"));
  QTableWidget* list = List();
  ASSERT_EQ(list->columnCount(), 4);
  EXPECT_EQ(list->horizontalHeaderItem(2)->text(), QStringLiteral("温度 ℃"));
  EXPECT_EQ(list->horizontalHeaderItem(3)->text(), QStringLiteral("湿度 %RH"));
  Find<QRadioButton>("sourceGprs")->setChecked(true);
  EXPECT_TRUE(Enabled("printDownload"));
  Find<QRadioButton>("sourceTransmitter")->setChecked(true);
  EXPECT_FALSE(Enabled("printDownload"));
}

TEST_F(HistoryPageTest, TransmitterDownloadFillsListChartAndEnablesSaving) {
  Configure(45, 90);  // ten records a block
  Find<QCheckBox>("keepInArchive")->setChecked(false);  // only "另存为" keeps it then
  Click("historyDownload");
  // While it runs nothing else can start.
  EXPECT_FALSE(Enabled("historyDownload"));
  EXPECT_FALSE(Enabled("sourceGprs"));
  EXPECT_FALSE(Enabled("saveAs"));
  EXPECT_EQ(page_->UnfinishedWork(), QStringLiteral("历史数据正在下载，关闭程序将中止下载。"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 20000));
  EXPECT_EQ(Status(), QStringLiteral("通讯正常"));
  EXPECT_EQ(Count(), QStringLiteral("45"));
  // A screen reader finds both values under their captions.
  using Shown = std::tuple<const char*, const char*, const char*>;  // name, caption, value
  for (const auto& [name, caption, value] :
       {Shown{"recordCount", "数据总条数：", "45"}, Shown{"downloadStatus", "通讯状态", "通讯正常"}}) {
    QAccessibleInterface* label = QAccessible::queryAccessibleInterface(Find<QLabel>(name));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(QAccessible::Name), QString::fromUtf8(caption));
    EXPECT_EQ(label->text(QAccessible::Value), QString::fromUtf8(value));
    ASSERT_NE(label->textInterface(), nullptr) << name;
    EXPECT_EQ(label->textInterface()->text(0, -1), QString::fromUtf8(value));
  }
  EXPECT_EQ(page_->UnfinishedWork(), QStringLiteral("下载的历史数据尚未保存（另存为）。"));
  ASSERT_EQ(List()->rowCount(), 45);
  EXPECT_EQ(List()->item(0, 0)->text(), QStringLiteral("1"));
  EXPECT_EQ(List()->item(0, 1)->text(), QStringLiteral("2023年05月06日07时08分"));
  EXPECT_EQ(List()->item(0, 2)->text(), QStringLiteral("23.1"));
  EXPECT_EQ(List()->item(0, 3)->text(), QStringLiteral("60.0"));
  EXPECT_EQ(ChartPoints(), 45);
  EXPECT_TRUE(Enabled("saveAs"));
  EXPECT_TRUE(Enabled("historyDownload"));
  EXPECT_FALSE(page_->ProgressDialog()->isVisible());
  EXPECT_TRUE(prompts_.Messages().isEmpty());

  // Saved as .data under a name without extension, then as CSV.
  const auto dir = std::filesystem::temp_directory_path() /
                   ("history_page_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  prompts_.fileNames.push_back(QString::fromStdString((dir / "list").string()));
  prompts_.fileTypes.push_back(1);
  Click("saveAs");
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("操作成功！"));
  EXPECT_EQ(std::filesystem::file_size(dir / "list.data"), 8u + 45u * 32u);
  EXPECT_TRUE(page_->UnfinishedWork().isEmpty());
  prompts_.fileNames.push_back(QString::fromStdString((dir / "list.CSV").string()));
  Click("saveAs");
  EXPECT_TRUE(std::filesystem::exists(dir / "list.CSV"));
  std::filesystem::remove_all(dir);

  // No monitoring point selected: nothing is asked or written.
  sim_.link.address = 0;
  prompts_.Clear();
  Click("saveAs");
  EXPECT_EQ(prompts_.Messages(), QStringList{QStringLiteral("请选择一个监测点")});
}

// Records whose stored time cannot be are kept, marked red with a tooltip, counted in a warning,
// and keep their mark in the CSV.
TEST_F(HistoryPageTest, RecordsWithAnImpossibleTimeAreMarkedInTheList) {
  Configure(12, 90);
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.impossibleTimes = {3, 10}; });
  Download("historyDownload");
  ASSERT_EQ(List()->rowCount(), 12);
  for (int row = 0; row < 12; ++row) {
    const bool marked = row == 3 || row == 10;
    const QTableWidgetItem* time = List()->item(row, 1);
    EXPECT_EQ(time->foreground().color() == QColor(Qt::red), marked) << row;
    EXPECT_EQ(time->toolTip().isEmpty(), !marked) << row;
  }
  // The values are kept: record 3 as stored, in tenths, low byte first.
  const sim::Bytes stored = sim::SimulatedRecord(3);
  const auto tenths = static_cast<int16_t>(stored[5] | stored[6] << 8);
  EXPECT_EQ(List()->item(3, 2)->text(), QString::number(tenths / 10.0, 'f', 1));
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("2条记录的时间无效，已在列表中标记"));

  const auto dir = std::filesystem::temp_directory_path() /
                   ("history_marked_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  prompts_.fileNames.push_back(QString::fromStdString((dir / "marked.csv").string()));
  prompts_.fileTypes.push_back(0);
  Click("saveAs");
  std::ifstream csv(dir / "marked.csv", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
  devlink::Bytes mark;  // the CSV is written in the instruments' code page
  ASSERT_TRUE(devlink::EncodeDeviceText(devlink::kCodePageOem, "（时间无效）", mark));
  const std::string markText(mark.begin(), mark.end());
  size_t marks = 0;
  for (size_t at = text.find(markText); at != std::string::npos; at = text.find(markText, at + 1)) {
    ++marks;
  }
  EXPECT_EQ(marks, 2u);
  std::filesystem::remove_all(dir);
}

TEST_F(HistoryPageTest, NoRecordsAndAClosedPort) {
  Configure(0);
  Download("historyDownload");
  EXPECT_EQ(Count(), QStringLiteral("0"));
  EXPECT_EQ(Status(), QStringLiteral("通讯正常"));
  EXPECT_FALSE(Enabled("saveAs"));
  EXPECT_EQ(List()->rowCount(), 0);

  sim_.link.serial.ClosePort();
  Download("historyDownload");
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("串口打开失败"));
  EXPECT_EQ(Status(), QStringLiteral("通讯出错"));
  EXPECT_TRUE(Enabled("historyDownload"));
}

// The window keeps asking a silent instrument (its dialog can cancel), and the dialog says how
// many blocks have failed so far.
TEST_F(HistoryPageTest, ProgressDialogCountsFailedBlocksWhileItKeepsAsking) {
  Configure(400, 9);  // one record a block
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.silentFrom = 3; });
  Click("historyDownload");
  QLabel* failed = page_->ProgressDialog()->FailedBlocks();
  ASSERT_TRUE(QTest::qWaitFor([&] { return failed->text().contains(QStringLiteral("4个")); },
                              20000));
  EXPECT_EQ(failed->text(), QStringLiteral("已有4个数据块读取失败"));
  EXPECT_TRUE(page_->Downloading());  // more than three silent blocks do not end it here
  page_->TabChanged(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 10000));
  EXPECT_TRUE(failed->isHidden());
}

TEST_F(HistoryPageTest, LeavingTheTabStopsTheDownloadWithAnEmptyList) {
  Configure(400, 9);  // one record a block: long enough to be stopped
  Click("historyDownload");
  ASSERT_TRUE(QTest::qWaitFor([&] { return page_->ProgressDialog()->isVisible(); }, 10000));
  QSignalSpy inUse(page_.get(), &Page::linkInUse);
  page_->TabChanged(false);
  EXPECT_FALSE(page_->ProgressDialog()->isVisible());
  // Nothing more goes out once the tab has changed, and the main window is told the link is free.
  const size_t requests = sim_.Requests();
  QTest::qWait(100);
  EXPECT_EQ(sim_.Requests(), requests);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 10000));
  ASSERT_EQ(inUse.count(), 1);
  EXPECT_EQ(inUse[0][0].toBool(), false);
  EXPECT_EQ(Status(), QStringLiteral("通讯终止"));
  EXPECT_EQ(List()->rowCount(), 0);
  EXPECT_FALSE(Enabled("saveAs"));
  EXPECT_TRUE(prompts_.Messages().isEmpty());
}

TEST_F(HistoryPageTest, GprsStreamsRowsAndOverTcpReportsAFailure) {
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) {
    s.recordCount = 30;
    s.valueCount = 3;
  });
  Find<QRadioButton>("sourceGprs")->setChecked(true);
  Download("printDownload");
  EXPECT_EQ(Status(), QStringLiteral("通讯正常"));
  EXPECT_EQ(List()->rowCount(), 30);
  EXPECT_EQ(ChartPoints(), 30);
  EXPECT_TRUE(Enabled("saveAs"));
  EXPECT_TRUE(Enabled("printDownload"));
  const std::vector<history::RecordRow> rows = page_->ListRows();
  EXPECT_EQ(rows[29].time, "2023年05月06日07时37分");

  sim_.link.tcpMode = true;
  const size_t requests = sim_.Requests();
  Download("historyDownload");
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("数据读取失败"));
  EXPECT_EQ(Status(), QStringLiteral("通讯出错"));
  EXPECT_EQ(List()->rowCount(), 0);
  EXPECT_FALSE(Enabled("saveAs"));
  EXPECT_EQ(sim_.Requests(), requests);
}

}  // namespace
}  // namespace pages
