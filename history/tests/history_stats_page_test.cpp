// The statistics panel of the history page: limits prefilled from the instrument, values a
// screen reader finds, limit lines and excursions on the chart, and the report saved as PDF.
#include <QAbstractSeries>
#include <QAccessible>
#include <QChart>
#include <QChartView>
#include <QLineEdit>
#include <QtTest/QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "history/history_page.h"
#include "history/report/history_stats_panel.h"
#include "pages/kit/value_label.h"
#include "pages/testing/page_fixture.h"
#include "sim/families/history.h"
#include "sim/families/settings.h"

namespace pages {
namespace {

class HistoryStatsPageTest : public testing::PageFixture<HistoryPage> {
 protected:
  QString Read(const std::string& key) {
    ValueLabel* label = page_->StatsPanel()->Value(key);
    EXPECT_NE(label, nullptr) << key;
    if (!label) return {};
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
    EXPECT_NE(a, nullptr);
    return a ? a->text(QAccessible::Value) : QString();
  }
  QStringList SeriesNames() {
    QStringList names;
    for (QAbstractSeries* s : page_->Chart()->chart()->series()) names << s->name();
    return names;
  }
};

TEST_F(HistoryStatsPageTest, TheInstrumentsLimitsFillThePanelAndTheReportIsSaved) {
  sim_.Device<sim::HistoryState>([](sim::HistoryState& s) { s.recordCount = 40; });
  sim_.Device<sim::SettingsState>([](sim::SettingsState& s) { s.alarm = {-50, 220, 100, 900}; });
  EXPECT_FALSE(Find<QWidget>("makeReport")->isEnabled());  // nothing to report yet
  Click("historyDownload");
  EXPECT_FALSE(Find<QWidget>("makeReport")->isEnabled());  // the list is not whole yet
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page_->Downloading(); }, 20000));
  EXPECT_TRUE(Find<QWidget>("makeReport")->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Edit("reportTempUpper")->text().isEmpty(); }, 5000));
  EXPECT_EQ(Edit("reportTempUpper")->text(), QStringLiteral("22.0"));
  EXPECT_EQ(Edit("reportTempLower")->text(), QStringLiteral("-5.0"));
  EXPECT_EQ(Edit("reportHumUpper")->text(), QStringLiteral("90.0"));

  // The panel shows what the statistics of the list are, under captions a reader finds.
  const history::HistoryStats expected =
      history::ComputeStats(history::ReadingsOf(page_->ListRows()), {{-5.0, 22.0}, {10.0, 90.0}});
  EXPECT_EQ(Read("records"), QStringLiteral("40"));
  EXPECT_EQ(Read("interval_minutes"), QStringLiteral("1分钟"));
  EXPECT_EQ(Read("temperature.mean"), QString::number(*expected.temperature.mean, 'f', 2));
  EXPECT_EQ(Read("temperature.excursions"), QString::number(expected.temperature.excursions));
  EXPECT_GT(expected.temperature.excursions, 0);
  QAccessibleInterface* mean =
      QAccessible::queryAccessibleInterface(page_->StatsPanel()->Value("temperature.mean"));
  EXPECT_EQ(mean->text(QAccessible::Name), QStringLiteral("平均值 温度"));
  EXPECT_TRUE(SeriesNames().contains(QStringLiteral("温度上限")));
  EXPECT_TRUE(SeriesNames().contains(QStringLiteral("温度超限")));

  // A field the user typed in keeps its text; the statistics follow it.
  QTest::keyClicks(Edit("reportTempUpper"), "0");  // "22.00"
  Edit("reportTempUpper")->setText(QStringLiteral("100"));
  page_->StatsPanel()->OfferInstrumentLimits({{-5.0, 22.0}, {}});
  EXPECT_EQ(Edit("reportTempUpper")->text(), QStringLiteral("100"));
  EXPECT_EQ(Read("temperature.above"), QStringLiteral("0条 0分钟"));

  // A limit that is no number is refused and nothing is written.
  const auto dir = std::filesystem::temp_directory_path() / ("stats_page_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  Edit("reportHumLower")->setText(QStringLiteral("dry"));
  prompts_.fileNames.push_back(QString::fromStdString((dir / "bad.pdf").string()));
  Click("makeReport");
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.pdf"));
  EXPECT_FALSE(prompts_.LastMessage().isEmpty());
  EXPECT_EQ(prompts_.fileNames.size(), 1u);  // not even asked where
  prompts_.fileNames.clear();

  Edit("reportHumLower")->setText(QString());
  prompts_.fileNames.push_back(QString::fromStdString((dir / "report").string()));
  Click("makeReport");
  EXPECT_EQ(prompts_.LastMessage(), QStringLiteral("报告已生成"));
  std::ifstream pdf(dir / "report.pdf", std::ios::binary);
  char head[5] = {};
  pdf.read(head, 4);
  EXPECT_EQ(std::string(head), "%PDF");
  // The SN that the download read for the archive names the instrument.
  const std::string command = "pdftotext '" + (dir / "report.pdf").string() + "' -";
  std::string text;
  if (FILE* out = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
    ::pclose(out);
  }
  EXPECT_NE(text.find("SN 7EAC00001"), std::string::npos) << text.substr(0, 400);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pages
