// First sight: every page of every product variant at the main window's first size, with
// representative rows in its lists, shows no text cut short and no controls on top of each
// other. Screenshots of every page go to the test's output folder (printed at the end).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QSplitter>
#include <QDir>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <map>

#include "app/layout_audit.h"
#include "app/main_window.h"
#include "app/traffic_window.h"
#include "app/variants.h"
#include "history/history_page.h"
#include "pages/widgets/editable_list.h"
#include "server/gateway_page.h"
#include "sim/families/history.h"
#include "sim/gateway_fleet.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "ui/prompts.h"

namespace app {
namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

template <class T>
T* Find(QWidget* root, const char* name) {
  T* widget = root->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

void Click(QWidget* root, const char* name) {
  if (auto* button = Find<QPushButton>(root, name)) button->click();
}

void FillList(QWidget* page, const char* name, const QList<QStringList>& rows, bool add) {
  auto* list = Find<pages::EditableList>(page, name);
  if (list == nullptr) return;
  for (int row = 0; row < rows.size(); ++row) {
    if (add && row >= list->rowCount()) list->AddRow({QString::number(row + 1)});
    for (int column = 1; column < rows[row].size(); ++column) {
      if (!rows[row][column].isEmpty()) list->SetCellText(row, column, rows[row][column]);
    }
  }
}

// Rows a technician typically has in the page's lists.
std::unique_ptr<sim::GatewayFleet> FillPage(int kind, QWidget* page) {
  switch (kind) {
    case kHistoryPage: {
      auto* history = static_cast<pages::HistoryPage*>(page);
      Click(page, "historyDownload");
      EXPECT_TRUE(QTest::qWaitFor([&] { return !history->Downloading(); }, 30000));
      break;
    }
    case kCurveMultiPage:
      FillList(page, "curveList",
               {{"", "", "-40.0", "-39.6"}, {"", "", "0.0", "0.2"}, {"", "", "25.0", "24.8"},
                {"", "", "85.0", "84.7"}},
               true);
      break;
    case kRelayPage:
      FillList(page, "instruments",
               {{"", "1", "A123456789", "40.0", "-20.0"}, {"", "2", "A123456790", "8.0", "2.0"},
                {"", "3", "B000000001", "-18.0", "-25.0"}},
               false);
      break;
    case kBluetoothLoggerPage:
      FillList(page, "channelList", {{"", "温度"}, {"", "湿度"}, {"", "温度"}}, true);
      break;
    case kDigitalSensorPage:
      Click(page, "channelTypesRead");
      break;
    case kWirelessLoggerPage: {
      auto* wireless = static_cast<pages::WirelessLoggerPage*>(page);
      wireless->SetListenAddress("127.0.0.1");
      Find<QLineEdit>(page, "gatewayPort")->setText("0");
      Click(page, "gatewayListen");
      auto fleet = std::make_unique<sim::GatewayFleet>();
      std::string error;
      EXPECT_TRUE(fleet->Start({"127.0.0.1", wireless->Server().Port(), 3,
                                sim::GatewayMode::Normal, 5, std::chrono::milliseconds(2000)},
                               &error))
          << error;
      auto* gateways = Find<QTreeWidget>(page, "gatewayList");
      EXPECT_TRUE(QTest::qWaitFor([&] { return gateways->topLevelItemCount() == 3; }, 5000));
      gateways->setCurrentItem(gateways->topLevelItem(0));
      Click(page, "loggersRead");
      EXPECT_TRUE(QTest::qWaitFor([&] { return page->isEnabled(); }, 5000));
      return fleet;
    }
    default:
      break;
  }
  return nullptr;
}

class FirstSight : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QFontDatabase::families().contains("WenQuanYi Zen Hei"))
        << "the CJK font (fonts-wqy-zenhei) is not installed";
    simulator_.WithDevice([](sim::Instrument& d) {
      auto& history = d.State<sim::HistoryState>();
      history.recordCount = 300;
      history.blockSize = 360;
    });
    std::string error;
    ASSERT_TRUE(pty_.Start(&error)) << error;
    ui::InstallPrompts(&prompts_);
  }
  void TearDown() override {
    ui::InstallPrompts(nullptr);
    pty_.Stop();
  }

  // Audits `root`, counts what was found under `page` and saves a screenshot of `shot`.
  void Look(const QString& page, QWidget* root, QWidget* shot = nullptr, const QString& file = {}) {
    const QList<LayoutFinding> findings = AuditLayout(root);
    counts_[page] += static_cast<int>(findings.size());
    for (const LayoutFinding& finding : findings) report_ << page + ": " + Describe(finding);
    if (shot != nullptr) {
      EXPECT_TRUE(shot->grab().save(dir_.filePath(file), "PNG")) << file.toStdString();
    }
  }

  std::unique_ptr<MainWindow> Open(devlink::DeviceLink& link, int variant) {
    link.delayMs = 60;
    CommandLine line;
    line.variant = variant;
    line.port = pty_.SlavePath();
    line.fast = true;
    auto window = std::make_unique<MainWindow>(link, line);
    window->show();
    Settle();
    window->OpenSelectedPort();
    return window;
  }

  sim::Simulator simulator_;
  sim::PtyServer pty_{simulator_};
  ui::ScriptedPrompts prompts_;
  QDir dir_{QStringLiteral(FIRST_SIGHT_DIR)};
  std::map<QString, int> counts_;
  QStringList report_;
};

TEST_F(FirstSight, EveryPageOfEveryVariantIsReadableAtTheFirstSize) {
  dir_.removeRecursively();
  ASSERT_TRUE(dir_.mkpath("."));
  for (int variant = -2; variant <= 10; ++variant) {
    devlink::DeviceLink link;
    const std::unique_ptr<MainWindow> opened = Open(link, variant);
    MainWindow& window = *opened;
    const QString prefix = QString("v%1-").arg(variant);
    Look("panel", window.findChild<QWidget*>("connectionPanel"));
    QTabWidget* tabs = window.Tabs();
    std::vector<std::unique_ptr<sim::GatewayFleet>> fleets;
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      Settle();
      fleets.push_back(FillPage(window.PageKinds()[static_cast<size_t>(i)], tabs->widget(i)));
      Settle();
      const QString page = tabs->tabText(i) + QString(" (kind %1)").arg(window.PageKinds()[static_cast<size_t>(i)]);
      const QString file = prefix + QString("%1-%2.png").arg(i + 1, 2, 10, QChar('0')).arg(tabs->tabText(i));
      Look(page, tabs->widget(i)->parentWidget(), &window, file);
    }
    Look("tab bar", tabs->tabBar());

    if (variant == 1) {
      // The traffic window after a good exchange and one that failed its check.
      window.ShowTraffic();
      Settle();
      Click(&window, "versionRead");
      sim::Faults faults;
      faults.wrongSum = true;
      simulator_.SetFaults(faults);
      Click(&window, "versionRead");
      simulator_.SetFaults(sim::Faults{});
      auto* traffic = static_cast<TrafficWindow*>(window.TrafficView());
      traffic->TakeNewEntries();
      Settle();
      EXPECT_EQ(traffic->findChild<QTableWidget*>("trafficTable")->rowCount(), 2);
      Look("通讯记录", traffic, traffic, prefix + "traffic.png");
      traffic->close();
    }
    link.serial.ClosePort();
  }

  for (const auto& [page, count] : counts_) {
    std::printf("first sight: %-24s %d clipped or overlapping\n", page.toUtf8().constData(), count);
  }
  std::printf("first-sight screenshots in %s\n", dir_.absolutePath().toUtf8().constData());
  EXPECT_TRUE(report_.isEmpty()) << report_.join('\n').toStdString();
}

// The audit itself: each kind of cut text and an overlap is found, a text with room is not.
TEST(LayoutAudit, FindsCutTextsAndOverlapsOnly) {
  QWidget window;
  window.setObjectName("window");
  window.resize(400, 200);
  auto place = [&](QWidget* w, const char* name, QRect geometry) {
    w->setObjectName(name);
    w->setGeometry(geometry);
  };
  place(new QPushButton("历史数据下载", &window), "narrowButton", {0, 0, 40, 30});
  place(new QPushButton("读取", &window), "button", {0, 40, 80, 30});
  place(new QLabel("数据总条数：", &window), "narrowLabel", {100, 0, 30, 20});
  place(new QCheckBox("快速", &window), "narrowCheck", {100, 40, 30, 20});
  place(new QLineEdit(&window), "left", {200, 0, 100, 24});
  place(new QLineEdit(&window), "right", {280, 10, 100, 24});
  auto* tabs = new QTabWidget(&window);
  place(tabs, "tabs", {0, 80, 120, 100});
  for (const char* caption : {"设置", "历史数据", "无线记录仪"}) tabs->addTab(new QWidget, caption);
  window.show();
  Settle();
  QStringList found;
  for (const LayoutFinding& finding : AuditLayout(&window)) {
    found << finding.where + " " + finding.problem.section(' ', 0, 0);
  }
  found.sort();
  // The third tab lies outside the bar, which shows its scroll buttons.
  EXPECT_EQ(found.join('|').toStdString(),
            "left overlaps|narrowButton needs|narrowCheck needs|narrowLabel needs|tabs tab|tabs tabs");
}

// The chart beside the list takes the page's height; its time axis spans the records and names
// their day.
TEST_F(FirstSight, HistoryChartPlotsTheRecordsOverAThirdOfThePage) {
  devlink::DeviceLink link;
  const std::unique_ptr<MainWindow> window = Open(link, 0);
  const int tab = 2;
  ASSERT_EQ(window->PageKinds()[tab], kHistoryPage);
  window->Tabs()->setCurrentIndex(tab);
  Settle();
  auto* page = static_cast<pages::HistoryPage*>(window->Tabs()->widget(tab));
  FillPage(kHistoryPage, page);
  Settle();
  QChart* chart = page->Chart()->chart();
  EXPECT_GE(chart->plotArea().height(), page->height() / 3.0);
  EXPECT_GE(chart->plotArea().width(), page->width() / 3.0);

  const auto axes = chart->axes(Qt::Horizontal);
  ASSERT_EQ(axes.size(), 1);
  auto* time = qobject_cast<QDateTimeAxis*>(axes.front());
  ASSERT_NE(time, nullptr);
  // Records a minute apart from 2023-05-06 07:08: 300 of them end at 12:07 the same day.
  EXPECT_EQ(time->min(), QDateTime(QDate(2023, 5, 6), QTime(7, 8)));
  EXPECT_EQ(time->max(), QDateTime(QDate(2023, 5, 6), QTime(12, 7)));
  EXPECT_EQ(time->format(), "hh:mm");
  EXPECT_EQ(time->titleText(), "时间 (2023-05-06)");
  EXPECT_GE(time->tickCount(), 4);

  // The user gives the list more room: the chart keeps what is left and its labels still fit.
  QSplitter* splitter = page->Splitter();
  splitter->setSizes({splitter->width() * 2 / 3, splitter->width() / 3});
  Settle();
  EXPECT_LT(page->Chart()->width(), page->width() / 2);
  QStringList cut;
  for (const LayoutFinding& finding : AuditLayout(page)) cut << Describe(finding);
  EXPECT_TRUE(cut.isEmpty()) << cut.join('\n').toStdString();
}

}  // namespace
}  // namespace app
