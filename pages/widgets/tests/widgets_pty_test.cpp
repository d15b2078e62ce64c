// The SN and clock widgets over the real serial link, against the simulator on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <ctime>
#include <mutex>

#include "pages/widgets/clock_widget.h"
#include "pages/kit/page.h"
#include "pages/widgets/sn_widget.h"
#include "sim/families/clock.h"
#include "sim/families/serial_number.h"
#include "sim/pty_transport.h"
#include "sim/simulator.h"
#include "ui/prompts.h"
#include "pages/testing/test_delay.h"

namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

class WidgetsOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    ASSERT_TRUE(link.serial.OpenPort(server.SlavePath(), &error)) << error;
    ASSERT_TRUE(link.serial.ConfigurePort("9600", &error)) << error;
    link.delayMs = pages::testing::TestDelayMs(80);
  }
  void TearDown() override {
    link.serial.ClosePort();
    server.Stop();
    ui::InstallPrompts(nullptr);
  }

  template <class State, class Edit>
  void EditState(Edit edit) {
    std::lock_guard lock(simulator.Mutex());
    edit(simulator.Device().State<State>());
  }

  ui::ScriptedPrompts prompts;
  sim::Simulator simulator;
  sim::PtyServer server{simulator};
  devlink::DeviceLink link;
  pages::Page page{link, 1};
};

TEST_F(WidgetsOverPty, SnReadUnsetSnAndAutoIncrementedWrites) {
  pages::SnWidget sn(page, &page);
  sn.ReadButton()->click();
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00001"));
  EXPECT_TRUE(prompts.shown.empty()) << prompts.LastMessage().toStdString();

  EditState<sim::SerialNumberState>([](auto& s) { s.configured = false; });
  sn.ReadButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("仪器尚未配置SN号！")});
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00001"));

  prompts.Clear();
  sn.YearEdit()->setText(QStringLiteral("2026"));
  sn.MonthEdit()->setText(QStringLiteral("12"));
  sn.SerialEdit()->setText(QStringLiteral("65535"));
  sn.AutoIncrement()->setChecked(true);
  sn.WriteButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置成功")});
  EXPECT_EQ(sn.SerialEdit()->text(), QStringLiteral("65536"));
  EditState<sim::SerialNumberState>([](auto& s) {
    EXPECT_TRUE(s.configured);
    EXPECT_EQ(s.dateCode, 0x7EAC);
    EXPECT_EQ(s.serial, 65535);
  });

  const size_t requests = simulator.RequestLog().size();
  sn.WriteButton()->click();
  EXPECT_EQ(prompts.LastMessage(), QStringLiteral("序列号范围为 0 ~ 65535"));
  EXPECT_EQ(simulator.RequestLog().size(), requests);

  prompts.Clear();
  sn.ReadButton()->click();
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC65535"));
}

TEST_F(WidgetsOverPty, ClockReadShowsTheInstrumentTimeAndReportsItsAddress) {
  const std::time_t frozen = LocalTime(2026, 12, 7, 1, 9, 22);
  EditState<sim::ClockState>([&](auto& c) { c.hostNow = [frozen] { return frozen; }; });
  {
    std::lock_guard lock(simulator.Mutex());
    simulator.Device().address = 7;
  }
  link.address = 7;
  pages::ClockWidget clock(page, &page);
  QSignalSpy reported(&page, &pages::Page::deviceAddressReported);

  clock.ReadButton()->click();
  EXPECT_EQ(clock.TimeField()->text(), QStringLiteral("2026-12-07 01:09:22"));
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据读取成功")});
  ASSERT_EQ(reported.count(), 1);
  EXPECT_EQ(reported.at(0).at(0).toInt(), 7);
  ASSERT_FALSE(simulator.RequestLog().empty());
  EXPECT_EQ(simulator.RequestLog().back(),
            (sim::Bytes{0x25, 0x07, 0x08, 0xCC, 0x00, 0x66, 0x66}));
}

TEST_F(WidgetsOverPty, SetTimeMovesTheInstrumentClockAndReportsSuccessWithoutReply) {
  // The instrument's clock is years off; after the set it follows the PC's clock.
  const std::time_t old = LocalTime(2020, 1, 1, 0, 0, 0);
  EditState<sim::ClockState>([&](auto& c) { c.offset = std::chrono::seconds(old - std::time(nullptr)); });
  pages::ClockWidget clock(page, &page);

  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置成功")});
  ASSERT_EQ(simulator.RequestLog().size(), 1u);
  const sim::Bytes set = simulator.RequestLog().back();
  ASSERT_EQ(set.size(), 13u);
  EXPECT_EQ(sim::Bytes(set.begin(), set.begin() + 5), (sim::Bytes{0x25, 0x00, 0x08, 0xBB, 0x06}));

  std::time_t instrument = 0;
  EditState<sim::ClockState>([&](auto& c) { instrument = c.Now(); });
  EXPECT_LE(std::abs(static_cast<long>(instrument - std::time(nullptr))), 5L);

  // The same with nothing answering at all.
  sim::Faults silent;
  silent.silent = true;
  simulator.SetFaults(silent);
  prompts.Clear();
  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置成功")});
}

}  // namespace
