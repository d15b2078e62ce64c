// The wireless-logger page on the event loop, with simulated gateways on the loopback address.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

#include <chrono>
#include <memory>

#include "link/device_link.h"
#include "server/gateway_page.h"
#include "sim/gateway_fleet.h"
#include "ui/prompts.h"

namespace pages {
namespace {

using namespace std::chrono_literals;

class GatewayPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts);
    page = std::make_unique<WirelessLoggerPage>(link, 9);
    page->SetListenAddress("127.0.0.1");
    Find<QLineEdit>("gatewayPort")->setText("0");
    Click("gatewayListen");
    ASSERT_TRUE(page->Server().Listening());
    EXPECT_EQ(Find<QPushButton>("gatewayListen")->text(), "关闭");
  }
  void TearDown() override {
    page.reset();
    ui::InstallPrompts(nullptr);
  }

  template <class T>
  T* Find(const char* name) {
    T* widget = page->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  QTreeWidget* Gateways() { return Find<QTreeWidget>("gatewayList"); }
  QTreeWidget* Loggers() { return Find<QTreeWidget>("loggerList"); }

  template <class Done>
  bool Until(Done done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    return done();
  }
  std::unique_ptr<sim::GatewayFleet> Connect(sim::GatewayMode mode, int count = 1, int loggers = 0) {
    auto fleet = std::make_unique<sim::GatewayFleet>();
    std::string error;
    const int before = Gateways()->topLevelItemCount();
    EXPECT_TRUE(fleet->Start({"127.0.0.1", page->Server().Port(), count, mode, loggers, 50ms}, &error))
        << error;
    EXPECT_TRUE(Until([&] { return Gateways()->topLevelItemCount() == before + count; }));
    return fleet;
  }
  void Select(int row) { Gateways()->setCurrentItem(Gateways()->topLevelItem(row)); }
  // Clicks a command button and waits until the page is enabled again.
  void Run(const char* button, std::chrono::milliseconds limit = 3000ms) {
    Click(button);
    ASSERT_TRUE(Until([&] { return page->isEnabled(); }, limit));
  }

  devlink::DeviceLink link;
  ui::ScriptedPrompts prompts;
  std::unique_ptr<WirelessLoggerPage> page;
};

TEST_F(GatewayPageTest, CommandWaitsForItsOwnGatewayWhileOthersTalk) {
  auto silent = Connect(sim::GatewayMode::Silent);
  auto trickle = Connect(sim::GatewayMode::Trickle);
  Select(0);
  ASSERT_TRUE(Find<QPushButton>("loggersRead")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("loggerDelete")->isEnabled());
  Click("loggersRead");
  EXPECT_FALSE(page->isEnabled());
  // The other gateway's bytes arrive meanwhile (every 50 ms): they are not the reply.
  Until([] { return false; }, 500ms);
  EXPECT_FALSE(page->isEnabled());
  EXPECT_TRUE(prompts.shown.empty());
  ASSERT_TRUE(Until([&] { return page->isEnabled(); }, 6000ms));
  EXPECT_EQ(prompts.LastMessage(), "操作失败");
  EXPECT_EQ(Gateways()->topLevelItem(0)->text(1), "-");
  EXPECT_EQ(Gateways()->topLevelItemCount(), 2);
}

// Three gateways of one host are told apart by their ports; a command waiting for a silent one
// says for which, with the wait cursor, until the gateway goes.
TEST_F(GatewayPageTest, GatewaysShowTheirPortsAndAPendingCommandSaysWhatItWaitsFor) {
  auto fleet = Connect(sim::GatewayMode::Silent, 3);
  QStringList shown;
  for (int row = 0; row < 3; ++row) shown << Gateways()->topLevelItem(row)->text(0);
  for (const QString& text : shown) {
    EXPECT_TRUE(QRegularExpression("^127\\.0\\.0\\.1:[0-9]+$").match(text).hasMatch()) << text.toStdString();
  }
  shown.removeDuplicates();
  EXPECT_EQ(shown.size(), 3);
  EXPECT_FALSE(page->UnfinishedWork().isEmpty());  // closing the program would cut them off

  Select(1);
  QLabel* status = Find<QLabel>("gatewayWaitStatus");
  EXPECT_TRUE(status->text().isEmpty());
  Click("loggersRead");
  EXPECT_FALSE(page->isEnabled());
  EXPECT_EQ(status->text(), "正在等待网关应答…（" + Gateways()->topLevelItem(1)->text(0) + "）");
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  fleet.reset();
  ASSERT_TRUE(Until([&] { return page->isEnabled(); }));
  EXPECT_EQ(prompts.LastMessage(), "操作失败");
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(GatewayPageTest, LoggersAreListedBoundDeletedAndConfigured) {
  auto fleet = Connect(sim::GatewayMode::Normal, 1, 60);
  Select(0);
  Run("loggersRead");
  EXPECT_TRUE(prompts.shown.empty());  // a read that worked says nothing
  ASSERT_EQ(Loggers()->topLevelItemCount(), 60);
  EXPECT_EQ(Gateways()->topLevelItem(0)->text(1), "60");

  // A full gateway: refused before anything is sent.
  Find<QLineEdit>("loggerSn")->setText("12AB34567");
  Click("loggerAdd");
  EXPECT_EQ(prompts.LastMessage(), "无法绑定更多记录仪！");
  EXPECT_EQ(fleet->Requests(0).size(), 1u);

  // Choosing a logger copies its SN and enables its commands.
  Loggers()->setCurrentItem(Loggers()->topLevelItem(0));
  EXPECT_EQ(Find<QLineEdit>("loggerSn")->text(), "102000001");
  EXPECT_TRUE(Find<QPushButton>("loggerDelete")->isEnabled());
  Run("loggerDelete");
  EXPECT_EQ(prompts.LastMessage(), "操作成功");
  EXPECT_EQ(Loggers()->topLevelItemCount(), 59);
  EXPECT_TRUE(Find<QLineEdit>("loggerSn")->text().isEmpty());  // the deleted SN goes too
  EXPECT_FALSE(Find<QPushButton>("alarmWrite")->isEnabled());

  // A bound logger (in the slot just emptied, so listed first) ends up selected.
  Find<QLineEdit>("loggerSn")->setText(" 12ab34567 ");
  Run("loggerAdd");
  EXPECT_TRUE(prompts.LastMessage() == "操作成功");  // from the delete: the bind says nothing
  ASSERT_EQ(page->SelectedLogger(), 0);
  EXPECT_EQ(Loggers()->topLevelItem(0)->text(0), "12AB34567");
  EXPECT_EQ(Loggers()->topLevelItemCount(), 60);
  EXPECT_EQ(fleet->Requests(0).back(), (std::vector<uint8_t>{0x3E, 0x57, 0x12, 0xAB, 0x87, 0x07}));

  Click("alarmWrite");
  EXPECT_EQ(prompts.LastMessage(), "请输入温度上限");
  Find<QLineEdit>("tempUpper")->setText("25.3");
  Find<QLineEdit>("tempLower")->setText("-20");
  Find<QLineEdit>("humidityUpper")->setText("80");
  Find<QLineEdit>("humidityLower")->setText("20");
  Run("alarmWrite");
  EXPECT_EQ(prompts.LastMessage(), "操作成功");
  const uint8_t sum = static_cast<uint8_t>(0x0B + 0x12 + 0xAB + 0x87 + 0x07 + 0x04 + 0x08 + 0xCC +
                                           0x07 + 0x08 + 80 + 20);
  EXPECT_EQ(fleet->Requests(0).back(),
            (std::vector<uint8_t>{0x0B, 0x12, 0xAB, 0x87, 0x07, 0x04, 0x08, 0xCC, 0x07, 0x08, 80, 20, sum}));

  const size_t sent = fleet->Requests(0).size();
  Find<QLineEdit>("reportInterval")->setText("256");
  Click("intervalWrite");
  EXPECT_EQ(prompts.LastMessage(), "请输入有效上报间隔！（1~255）");
  EXPECT_EQ(fleet->Requests(0).size(), sent);
  Find<QLineEdit>("reportInterval")->setText("5");
  Run("intervalWrite");
  EXPECT_EQ(prompts.LastMessage(), "操作成功");

  Run("loggersClear");
  EXPECT_EQ(prompts.LastMessage(), "操作成功");
  EXPECT_EQ(Loggers()->topLevelItemCount(), 0);
  EXPECT_EQ(Gateways()->topLevelItem(0)->text(1), "0");
}

TEST_F(GatewayPageTest, GarbageReplyKeepsTheListAndRowsComeAndGo) {
  auto above = Connect(sim::GatewayMode::Normal);
  auto kept = Connect(sim::GatewayMode::Normal, 1, 3);
  auto garbage = Connect(sim::GatewayMode::Garbage);
  Select(1);
  Run("loggersRead");
  ASSERT_EQ(Loggers()->topLevelItemCount(), 3);
  Loggers()->setCurrentItem(Loggers()->topLevelItem(2));

  // A row above the selected gateway goes: the selection stays on the same gateway.
  above->Stop();
  ASSERT_TRUE(Until([&] { return Gateways()->topLevelItemCount() == 2; }));
  EXPECT_EQ(page->SelectedGateway(), 0);
  EXPECT_EQ(Loggers()->topLevelItemCount(), 3);
  EXPECT_EQ(page->SelectedLogger(), 2);

  Select(1);
  EXPECT_EQ(Loggers()->topLevelItemCount(), 0);
  Run("loggersRead");
  EXPECT_EQ(prompts.LastMessage(), "解析失败");

  // The selected gateway goes while its command waits: the command ends, the lists empty.
  auto silent = Connect(sim::GatewayMode::Silent);
  Select(2);
  Click("loggersRead");
  EXPECT_FALSE(page->isEnabled());
  silent->Stop();
  ASSERT_TRUE(Until([&] { return page->isEnabled(); }, 2000ms));
  EXPECT_EQ(prompts.LastMessage(), "操作失败");
  EXPECT_EQ(Gateways()->topLevelItemCount(), 2);
  EXPECT_EQ(page->SelectedGateway(), -1);
  EXPECT_FALSE(Find<QPushButton>("loggersRead")->isEnabled());

  // Stopping closes every gateway and empties both lists.
  Select(0);
  ASSERT_EQ(Loggers()->topLevelItemCount(), 3);
  Click("gatewayListen");
  EXPECT_EQ(Gateways()->topLevelItemCount(), 0);
  EXPECT_EQ(Loggers()->topLevelItemCount(), 0);
  EXPECT_EQ(Find<QPushButton>("gatewayListen")->text(), "监听");
  EXPECT_TRUE(Find<QLineEdit>("gatewayPort")->isEnabled());
  EXPECT_TRUE(Until([&] { return kept->Connected() == 0 && garbage->Connected() == 0; }));
}

}  // namespace
}  // namespace pages
