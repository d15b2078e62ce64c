// The Bluetooth logger page against the simulated adapter and logger on a pseudo-terminal.
#include "pages/btlogger/btlogger_page.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>

#include "link/codecs.h"
#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/clock_widget.h"
#include "pages/widgets/editable_list.h"
#include "pages/widgets/sn_widget.h"
#include "sim/families/bluetooth_logger.h"

namespace pages {
namespace {

class BtLoggerPageTest : public pages::testing::PageFixture<BluetoothLoggerPage> {
 protected:
  void SetUp() override {
    PageFixture::SetUp();
    sim_.link.mode = devlink::AddressingMode::Bluetooth;
    sim_.link.address = 0;
    sim_.link.macText = "00 1A 7D DA 71 13";
    sim_.link.bluetoothConnected = true;
    sim_.Device<sim::BluetoothAdapterState>(
        [](sim::BluetoothAdapterState& s) { s.connected = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}; });
  }
  EditableList* List() { return page_->ChannelList(); }
  QPushButton* WriteButton() { return Find<QPushButton>("channelsWrite"); }
  template <class F>
  auto Logger(F&& f) {
    return sim_.Device<sim::BluetoothLoggerState>(f);
  }
  bool AnyWrite() {
    for (const auto& request : sim_.simulator.RequestLog()) {
      if (request.size() > 1 && request[0] == 0x01 && request[1] == 0x10) return true;
    }
    return false;
  }
};

TEST_F(BtLoggerPageTest, StartsWithOneEmptyRowAndTheWritesOff) {
  EXPECT_EQ(List()->rowCount(), 1);
  EXPECT_EQ(List()->CellText(0, 0), "1");
  EXPECT_EQ(List()->CellText(0, 1), "");
  EXPECT_FALSE(List()->CheckBoxes());
  EXPECT_TRUE(List()->ComboMode());
  EXPECT_EQ(List()->Combo()->count(), 2);
  EXPECT_EQ(List()->Combo()->itemText(1), "湿度");
  EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), "通道序号");
  EXPECT_EQ(List()->horizontalHeaderItem(1)->text(), "通道类型");
  EXPECT_EQ(List()->columnWidth(0), 100);
  EXPECT_FALSE(WriteButton()->isEnabled());
  EXPECT_FALSE(page_->Sn()->WriteButton()->isEnabled());
  EXPECT_EQ(Find<QGroupBox>("snGroup")->title(), "SN设置");
  EXPECT_EQ(Find<QGroupBox>("clockGroup")->title(), "时钟配置");
}

TEST_F(BtLoggerPageTest, WithoutTheBluetoothConnectionNothingIsSent) {
  sim_.link.bluetoothConnected = false;
  prompts_.answers = {true};
  Click("channelsRead");
  Click("clearData");
  page_->Sn()->ReadButton()->click();
  page_->Clock()->ReadButton()->click();
  page_->Clock()->SetButton()->click();
  EXPECT_EQ(prompts_.Messages(), QStringList(5, "请连接蓝牙设备"));
  EXPECT_EQ(sim_.Requests(), 0u);
}

// A read fills the list and allows one write; the write sends back the types and the count
// and needs a new read before the next.
TEST_F(BtLoggerPageTest, ReadThenWriteAndTheWriteIsOffAgain) {
  Click("channelsRead");
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  ASSERT_EQ(List()->rowCount(), 2);
  EXPECT_EQ(List()->CellText(0, 1), "温度");
  EXPECT_EQ(List()->CellText(1, 0), "2");
  EXPECT_EQ(List()->CellText(1, 1), "湿度");
  EXPECT_TRUE(WriteButton()->isEnabled());

  List()->SetCellText(0, 1, "湿度");
  Click("channelAdd");
  ASSERT_EQ(List()->rowCount(), 3);
  EXPECT_EQ(List()->CellText(2, 0), "3");
  List()->SetCellText(2, 1, "温度");
  Click("channelsWrite");
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  EXPECT_FALSE(WriteButton()->isEnabled());
  Logger([](sim::BluetoothLoggerState& s) {
    EXPECT_EQ(s.header[45], 3);
    EXPECT_EQ(s.records[0][1], 2);
    EXPECT_EQ(s.records[0][0], 0x80);  // the rest of the record as it was
    EXPECT_EQ(s.records[2][1], 1);
    return 0;
  });

  Click("channelRemove");
  EXPECT_EQ(List()->rowCount(), 2);
}

TEST_F(BtLoggerPageTest, UnknownTypeAndTooManyRowsAreRefused) {
  Logger([](sim::BluetoothLoggerState& s) { return s.records[1][1] = 5; });
  Click("channelsRead");
  ASSERT_EQ(List()->rowCount(), 2);
  EXPECT_EQ(List()->CellText(1, 1), "");
  Click("channelsWrite");
  ASSERT_EQ(prompts_.shown.size(), 1u);
  EXPECT_EQ(prompts_.shown[0].text, "请删除无效行或填入有效数据！");
  EXPECT_EQ(prompts_.shown[0].caption, "错误");
  EXPECT_FALSE(AnyWrite());

  List()->SetCellText(1, 1, "湿度");
  while (List()->rowCount() < 9) {
    Click("channelAdd");
    List()->SetCellText(List()->rowCount() - 1, 1, "温度");
  }
  Click("channelsWrite");
  EXPECT_EQ(prompts_.LastMessage(), "err:配置数量不能大于8");
  EXPECT_FALSE(AnyWrite());
  EXPECT_TRUE(WriteButton()->isEnabled());
}

// A channel read that fails keeps the rows read before it; the write stays off, since the
// records it would send back are gone.
TEST_F(BtLoggerPageTest, FailedChannelReadKeepsRowsAndTurnsTheWriteOff) {
  Click("channelsRead");
  ASSERT_TRUE(WriteButton()->isEnabled());
  Logger([](sim::BluetoothLoggerState& s) {
    s.records.resize(1);
    return 0;
  });
  Click("channelsRead");
  EXPECT_EQ(prompts_.LastMessage(), "获取通道名称失败");
  EXPECT_EQ(List()->rowCount(), 1);
  EXPECT_FALSE(WriteButton()->isEnabled());
}

TEST_F(BtLoggerPageTest, SnReadThenWriteSendsTheBlockBack) {
  SnWidget* sn = page_->Sn();
  sn->ReadButton()->click();
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(sn->SnField()->text(), "7EAC00001");
  ASSERT_TRUE(sn->WriteButton()->isEnabled());
  const auto before = Logger([](sim::BluetoothLoggerState& s) { return s.sn; });

  sn->YearEdit()->setText("2026");
  sn->MonthEdit()->setText("11");
  sn->SerialEdit()->setText("9");
  sn->WriteButton()->click();
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  EXPECT_FALSE(sn->WriteButton()->isEnabled());
  auto expected = before;
  expected[1] = 9;
  expected[3] = 0xAB;
  EXPECT_EQ(Logger([](sim::BluetoothLoggerState& s) { return s.sn; }), expected);
}

TEST_F(BtLoggerPageTest, ClockReadAndSet) {
  page_->Clock()->ReadButton()->click();
  EXPECT_TRUE(prompts_.Messages().empty()) << prompts_.LastMessage().toStdString();
  EXPECT_EQ(page_->Clock()->TimeField()->text(), "2026-12-07 01:09:22");
  Logger([](sim::BluetoothLoggerState& s) {
    s.clock = {0x00, 0x00, 0x01, 0x00, 0x01, 0x01, 0x19, 0x99};
    return 0;
  });
  const ClockTime now = LocalClockTime();
  page_->Clock()->SetButton()->click();
  EXPECT_EQ(prompts_.LastMessage(), "数据设置成功");
  const auto clock = Logger([](sim::BluetoothLoggerState& s) { return s.clock; });
  EXPECT_EQ(clock[4], devlink::EncodeBcd8(now.month));
  EXPECT_EQ(clock[6], devlink::EncodeBcd8(now.year / 100));
  EXPECT_EQ(clock[7], devlink::EncodeBcd8(now.year % 100));
}

TEST_F(BtLoggerPageTest, ClearAsksFirst) {
  prompts_.answers = {false, true};
  Click("clearData");
  EXPECT_EQ(prompts_.shown.at(0).text, "即将清除历史记录，该操作无法撤销！\n是否继续？");
  EXPECT_EQ(sim_.Requests(), 0u);
  Click("clearData");
  EXPECT_EQ(prompts_.LastMessage(), "历史数据清除成功");
  EXPECT_EQ(Logger([](sim::BluetoothLoggerState& s) { return s.clears; }), 1);
}

// A profile's channel types become the list's rows, unsent; a profile of another logger (its
// MAC not the window's) names the MAC.
TEST_F(BtLoggerPageTest, ProfileChannelTypesFillTheList) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"btlogger","values":{"channels":{"mac":"00:1A:7D:DA:71:13",
      "types":"temperature,humidity,temperature"}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  EXPECT_TRUE(page_->ShowProfile(profile.value).empty());
  EXPECT_EQ(sim_.Requests(), 0u);
  ASSERT_EQ(List()->rowCount(), 3);
  EXPECT_EQ(List()->CellText(0, 1), "温度");
  EXPECT_EQ(List()->CellText(1, 1), "湿度");
  EXPECT_EQ(List()->CellText(2, 0), "3");

  sim_.link.macText = "00 1A 7D DA 71 14";
  EXPECT_EQ(page_->ShowProfile(profile.value), std::vector<std::string>{"channels.mac"});
}

}  // namespace
}  // namespace pages
