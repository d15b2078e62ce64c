// The SN and clock widgets over the TCP channel, against the simulator on a loopback port.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "pages/widgets/clock_widget.h"
#include "pages/kit/page.h"
#include "pages/widgets/sn_widget.h"
#include "sim/simulator.h"
#include "sim/tcp_transport.h"
#include "ui/prompts.h"
#include "pages/testing/test_delay.h"

namespace {

class WidgetsOverTcp : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts);
    std::string error;
    ASSERT_TRUE(server.Start(0, &error)) << error;
    link.tcpMode = true;
    link.ip = "127.0.0.1";
    link.tcpPort = server.Port();
    link.delayMs = pages::testing::TestDelayMs(40);
  }
  void TearDown() override {
    server.Stop();
    ui::InstallPrompts(nullptr);
  }

  ui::ScriptedPrompts prompts;
  sim::Simulator simulator;
  sim::TcpServer server{simulator};
  devlink::DeviceLink link;
  pages::Page page{link, 1};
  pages::SnWidget sn{page, &page};
  pages::ClockWidget clock{page, &page};
};

TEST_F(WidgetsOverTcp, CommandsReachTheModule) {
  sn.ReadButton()->click();
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00001"));
  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置成功")});
  ASSERT_EQ(simulator.RequestLog().size(), 2u);
  EXPECT_EQ(simulator.RequestLog().back().size(), 13u);
  EXPECT_EQ(simulator.RequestLog().back()[3], 0xBB);
}

TEST_F(WidgetsOverTcp, UnreachableModuleIsAFailureForEveryCommand) {
  server.Stop();  // nothing listens on the port any more
  sn.ReadButton()->click();
  sn.WriteButton()->click();
  clock.ReadButton()->click();
  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(),
            QStringList({QStringLiteral("数据读取失败"), QStringLiteral("数据设置失败"),
                         QStringLiteral("数据读取失败"), QStringLiteral("数据设置失败")}));
}

}  // namespace
