// The SN and clock widgets on a page, with a scripted channel and scripted prompts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <ctime>

#include "link/codecs.h"
#include "link/testing/scripted_channel.h"
#include "pages/widgets/tests/widget_frames.h"
#include "pages/widgets/clock_widget.h"
#include "pages/kit/page.h"
#include "pages/widgets/sn_widget.h"
#include "ui/prompts.h"

namespace {

using namespace widget_frames;
using devlink::Bytes;
using devlink::testing::ScriptedChannel;


// Records whether the wait cursor was up during each exchange.
class CursorWatchingChannel : public ScriptedChannel {
 public:
  using ScriptedChannel::ScriptedChannel;
  devlink::ExchangeResult Exchange(devlink::ByteView request,
                                   const devlink::ReplySpec& spec) override {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    waitCursorSeen.push_back(cursor && cursor->shape() == Qt::WaitCursor);
    return ScriptedChannel::Exchange(request, spec);
  }
  std::vector<bool> waitCursorSeen;
};

class WidgetsTest : public ::testing::Test {
 protected:
  WidgetsTest() : page(link, 1), sn(page, &page), clock(page, &page) {
    sn.SetChannel(&channel);
    clock.SetChannel(&channel);
  }
  void SetUp() override { ui::InstallPrompts(&prompts); }
  void TearDown() override { ui::InstallPrompts(nullptr); }

  void WriteSerial(const QString& serial) {
    sn.SerialEdit()->setText(serial);
    sn.WriteButton()->click();
  }

  ui::ScriptedPrompts prompts;
  devlink::DeviceLink link;
  CursorWatchingChannel channel{1};
  pages::Page page;
  pages::SnWidget sn;
  pages::ClockWidget clock;
};

TEST_F(WidgetsTest, SnStartsWithTodaysDateAndSerialOne) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(sn.YearEdit()->text(), QString::asprintf("%.4d", local.tm_year + 1900));
  EXPECT_EQ(sn.MonthEdit()->text(), QString::asprintf("%.2d", local.tm_mon + 1));
  EXPECT_EQ(sn.SerialEdit()->text(), QStringLiteral("1"));
  EXPECT_TRUE(sn.SnField()->isReadOnly());
}

TEST_F(WidgetsTest, SnReadShowsTheSnAndEnablesAWriteButtonDisabledAtStart) {
  sn.WriteButton()->setEnabled(false);
  channel.Expect(kSnReadRequest, kSnReadReply);
  sn.ReadButton()->click();
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00001"));
  EXPECT_TRUE(sn.WriteButton()->isEnabled());
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(channel.waitCursorSeen, std::vector<bool>{true});
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(channel.Problems().empty());

  sn.CopyButton()->click();
  EXPECT_EQ(prompts.clipboard, QStringLiteral("7EAC00001"));
}

TEST_F(WidgetsTest, SnReadWithoutConfiguredSnKeepsTheField) {
  sn.SnField()->setText(QStringLiteral("7EAC00009"));
  sn.WriteButton()->setEnabled(false);
  channel.Expect(kSnReadRequest, kSnReadReplyUnset);
  sn.ReadButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("仪器尚未配置SN号！")});
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00009"));
  EXPECT_FALSE(sn.WriteButton()->isEnabled());
}

TEST_F(WidgetsTest, AutoIncrementPassesTheTopSerialThenTheNextWriteIsRefused) {
  sn.YearEdit()->setText(QStringLiteral("2026"));
  sn.MonthEdit()->setText(QStringLiteral("12"));
  sn.AutoIncrement()->setChecked(true);
  channel.Expect({0x25, 0x00, 0x31, 0xFF, 0x06, 0x7E, 0xAC, 0xFF, 0xFF, 0x00, 0x00, 0x66, 0xE9},
                 kSnWriteAck);
  WriteSerial(QStringLiteral("65535"));
  EXPECT_EQ(sn.SerialEdit()->text(), QStringLiteral("65536"));
  EXPECT_EQ(prompts.LastMessage(), QStringLiteral("数据设置成功"));

  sn.WriteButton()->click();
  EXPECT_EQ(prompts.LastMessage(), QStringLiteral("序列号范围为 0 ~ 65535"));
  EXPECT_EQ(channel.Sent().size(), 1u);
  EXPECT_EQ(sn.SerialEdit()->text(), QStringLiteral("65536"));
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_F(WidgetsTest, FailedWriteKeepsTheSerialEvenWithAuto) {
  sn.AutoIncrement()->setChecked(true);
  channel.Expect({}, {0x3C, 0x00, 0x31, 0xFF, 0x01, 0x00, 0x66, 0xD3});  // refused: not 'U'
  WriteSerial(QStringLiteral("7"));
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置失败")});
  EXPECT_EQ(sn.SerialEdit()->text(), QStringLiteral("7"));
}

TEST_F(WidgetsTest, FieldsThatAreNotWholeNumbersAreRefusedBeforeSending) {
  struct Case {
    QLineEdit* field;
    const char* text;
  };
  for (const Case& c : {Case{sn.SerialEdit(), "12a"}, Case{sn.SerialEdit(), ""},
                        Case{sn.YearEdit(), "20x6"}, Case{sn.MonthEdit(), ""}}) {
    sn.SerialEdit()->setText(QStringLiteral("1"));
    sn.YearEdit()->setText(QStringLiteral("2026"));
    sn.MonthEdit()->setText(QStringLiteral("12"));
    c.field->setText(QString::fromLatin1(c.text));
    prompts.Clear();
    sn.WriteButton()->click();
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("请键入一个整数。")}) << c.text;
  }
  EXPECT_TRUE(channel.Sent().empty());
}

TEST_F(WidgetsTest, PreExchangeCheckCanStopACommand) {
  int asked = 0;
  sn.ProtocolHooks().preExchange = [&](pages::SnWidget& w) {
    EXPECT_EQ(&w.Host(), &page);
    ++asked;
    return false;
  };
  clock.ProtocolHooks().preExchange = [&](pages::ClockWidget&) {
    ++asked;
    return false;
  };
  sn.ReadButton()->click();
  sn.WriteButton()->click();
  clock.ReadButton()->click();
  clock.SetButton()->click();
  EXPECT_EQ(asked, 4);
  EXPECT_TRUE(channel.Sent().empty());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(WidgetsTest, ReplacedSnHooksCarryTheirOwnFramesAndTexts) {
  // A host speaking another protocol: its request, its reply length, its texts.
  Bytes parsed;
  sn.ProtocolHooks().buildRead = [](pages::SnWidget&) {
    return pages::WidgetRequest{{0x01, 0x03, 0x40, 0x00}, 13, devlink::FrameFamily::Modbus};
  };
  sn.ProtocolHooks().parseRead = [&](pages::SnWidget&, devlink::ByteView reply) {
    parsed.assign(reply.begin(), reply.end());
    return pages::WidgetReply({}, {"7eac00002", {}});
  };
  sn.ProtocolHooks().buildWrite = [](pages::SnWidget&, int year, int month, int serial) {
    return pages::WidgetRequest{{static_cast<uint8_t>(year - 2000), static_cast<uint8_t>(month),
                                 static_cast<uint8_t>(serial)},
                                8, devlink::FrameFamily::Modbus};
  };
  sn.ProtocolHooks().parseWrite = [](pages::SnWidget& w, devlink::ByteView) {
    w.WriteButton()->setEnabled(false);  // a new read is needed before the next write
    return std::string("数据校验失败");
  };
  channel.Expect({0x01, 0x03, 0x40, 0x00}, {0xAA, 0xBB});
  sn.ReadButton()->click();
  EXPECT_EQ(parsed, (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(sn.SnField()->text(), QStringLiteral("7EAC00002"));  // the field is upper case

  sn.YearEdit()->setText(QStringLiteral("2026"));
  sn.MonthEdit()->setText(QStringLiteral("16"));
  sn.SerialEdit()->setText(QStringLiteral("3"));
  channel.Expect({26, 16, 3}, {});
  sn.WriteButton()->click();
  EXPECT_EQ(prompts.LastMessage(), QStringLiteral("数据校验失败"));
  EXPECT_FALSE(sn.WriteButton()->isEnabled());
  EXPECT_EQ(channel.Specs().at(1).capacity, 8u);
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_F(WidgetsTest, ClockReadShowsTheTimeAndTheHostReportsTheAddress) {
  QSignalSpy reported(&page, &pages::Page::deviceAddressReported);
  channel.Expect(kClockReadRequest, kClockReadReply);
  clock.ReadButton()->click();
  EXPECT_EQ(clock.TimeField()->text(), QStringLiteral("2026-12-07 01:09:22"));
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据读取成功")});
  ASSERT_EQ(reported.count(), 1);
  EXPECT_EQ(reported.at(0).at(0).toInt(), 1);
  EXPECT_EQ(channel.waitCursorSeen, std::vector<bool>{true});
  EXPECT_TRUE(channel.Problems().empty());
}

TEST_F(WidgetsTest, FailedClockReadChangesNothingAndReportsNoAddress) {
  QSignalSpy reported(&page, &pages::Page::deviceAddressReported);
  clock.TimeField()->setText(QStringLiteral("2025-01-01 00:00:00"));
  Bytes bad = kClockReadReply;
  bad.back() ^= 0xFF;
  channel.Expect(kClockReadRequest, bad);
  clock.ReadButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据读取失败")});
  EXPECT_EQ(clock.TimeField()->text(), QStringLiteral("2025-01-01 00:00:00"));
  EXPECT_EQ(reported.count(), 0);
}

TEST_F(WidgetsTest, SetTimeSendsThePcTimeAndSucceedsWithoutReply) {
  const std::time_t before = std::time(nullptr);
  channel.Expect({}, {});
  clock.SetButton()->click();
  const std::time_t after = std::time(nullptr);
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置成功")});

  ASSERT_EQ(channel.Sent().size(), 1u);
  const Bytes& frame = channel.Sent()[0];
  ASSERT_EQ(frame.size(), 13u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 5), (Bytes{0x25, 0x00, 0x08, 0xBB, 0x06}));
  std::tm sent{};
  sent.tm_year = 100 + devlink::DecodeBcd8(frame[5]);
  sent.tm_mon = devlink::DecodeBcd8(frame[6]) - 1;
  sent.tm_mday = devlink::DecodeBcd8(frame[7]);
  sent.tm_hour = devlink::DecodeBcd8(frame[8]);
  sent.tm_min = devlink::DecodeBcd8(frame[9]);
  sent.tm_sec = devlink::DecodeBcd8(frame[10]);
  sent.tm_isdst = -1;
  const std::time_t sentTime = std::mktime(&sent);
  EXPECT_GE(sentTime, before - 1);
  EXPECT_LE(sentTime, after + 1);
  EXPECT_EQ(channel.Specs().at(0).capacity, 0u);
}

TEST_F(WidgetsTest, ClockSetHookErrorIsShownInsteadOfSuccess) {
  clock.ProtocolHooks().buildWrite = [](pages::ClockWidget&) {
    return pages::WidgetRequest{{0x01, 0x10}, 200, devlink::FrameFamily::Modbus};
  };
  clock.ProtocolHooks().parseWrite = [](pages::ClockWidget&, devlink::ByteView reply) {
    return reply.size() == 8 ? std::string() : std::string("数据设置失败");
  };
  channel.Expect({0x01, 0x10}, {0x01, 0x10});
  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("数据设置失败")});
  EXPECT_EQ(channel.Specs().at(0).capacity, 200u);
}

TEST_F(WidgetsTest, WithoutAnOpenPortEveryCommandSaysSo) {
  // The host's own link: serial channel, no port opened.
  sn.SetChannel(nullptr);
  clock.SetChannel(nullptr);
  sn.ReadButton()->click();
  sn.WriteButton()->click();
  clock.ReadButton()->click();
  clock.SetButton()->click();
  EXPECT_EQ(prompts.Messages(), QStringList(4, QStringLiteral("串口打开失败")));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
