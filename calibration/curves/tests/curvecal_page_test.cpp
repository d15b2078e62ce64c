// The multi-channel curve calibration page driven like a technician would, against the simulator
// on a pseudo-terminal over the real serial link; the card kind with a calibration file made by
// calstore-cli.
#include "calibration/curves/curvecal_page.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QtTest/QTest>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "pages/kit/profile.h"
#include "pages/testing/page_fixture.h"
#include "pages/widgets/editable_list.h"
#include "sim/families/channel_curves.h"
#include "sim/families/logger_curves.h"
#include "sim/families/property.h"

namespace pages {
namespace {

namespace fs = std::filesystem;

using Row = std::vector<QString>;  // columns 0, 2 and 3

template <int kVariant>
class CurvePageTest : public pages::testing::PageFixture<CurveCalibrationPage, kVariant> {
 protected:
  using Base = pages::testing::PageFixture<CurveCalibrationPage, kVariant>;
  QComboBox* Combo(const char* name) { return this->template Find<QComboBox>(name); }
  EditableList* List() { return this->template Find<EditableList>("curveList"); }
  bool Shown(const char* name) { return !this->template Find<QWidget>(name)->isHidden(); }
  bool Enabled(const char* name) { return this->template Find<QWidget>(name)->isEnabled(); }
  void SetRows(const std::vector<std::pair<QString, QString>>& rows) {
    List()->setRowCount(0);
    for (const auto& [environment, raw] : rows) {
      List()->AddRow({QString::number(List()->rowCount() + 1), {}, environment, raw});
    }
  }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (int r = 0; r < List()->rowCount(); ++r) {
      rows.push_back({List()->CellText(r, 0), List()->CellText(r, 2), List()->CellText(r, 3)});
    }
    return rows;
  }
  void PlayKind(int kind) {
    this->sim_.template Device<sim::ChannelCurvesState>(
        [kind](sim::ChannelCurvesState& s) { s.kind = kind; });
  }
  // The last message box as "caption: text".
  QString Last() {
    const auto& shown = this->prompts_.shown;
    if (shown.empty()) return {};
    return shown.back().caption + ": " + shown.back().text;
  }
};

using CurvePageDefault = CurvePageTest<0>;
using CurvePage32Bit = CurvePageTest<8>;  // the variant that starts with the 32-bit kind

TEST_F(CurvePageDefault, EachKindShowsItsControlsAndChannels) {
  EXPECT_EQ(Combo("instrumentKind")->currentIndex(), 0);
  const struct {
    int kind;
    int channels;
    bool logger;      // 全调, step, + and -, 初始化
    bool file;        // 文件：, path, 浏览
    bool card;        // card number, 加载校准文件
    bool calibrate;   // usable at once
    bool typeChoice;  // channel type selectable
    const char* valueTitle;
  } cases[] = {
      {1, 32, false, false, false, false, true, "环境值"},
      {2, 8, true, true, false, true, true, "环境值"},
      {3, 32, false, false, false, false, true, "环境值"},
      {4, 32, false, true, true, false, false, "环境值"},
      {5, 2, false, false, false, false, false, "环境值"},
      {6, 2, false, false, false, false, false, "环境值"},
      {7, 32, false, false, false, false, true, "环境值"},
      {0, 2, false, false, false, false, false, "环境值"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    this->Edit("filePath")->setText("/tmp/x.jz");
    SetRows({{"1", "2"}, {"3", "4"}});
    Combo("instrumentKind")->setCurrentIndex(c.kind);
    EXPECT_EQ(Combo("channelNumber")->count(), c.channels);
    EXPECT_EQ(Combo("channelNumber")->currentText(), "通道1");
    EXPECT_EQ(Combo("channelNumber")->itemText(c.channels - 1), QString("通道%1").arg(c.channels));
    for (const char* name : {"adjustAll", "step", "shiftUp", "shiftDown", "initialise"}) {
      EXPECT_EQ(Shown(name), c.logger) << name;
    }
    for (const char* name : {"fileCaption", "filePath", "browse"}) EXPECT_EQ(Shown(name), c.file) << name;
    EXPECT_EQ(Shown("cardNumber"), c.card);
    EXPECT_EQ(Shown("loadCalibrationFile"), c.card);
    EXPECT_FALSE(Enabled("loadCalibrationFile"));
    EXPECT_TRUE(Shown("readConfiguration"));
    EXPECT_EQ(Enabled("calibrate"), c.calibrate);
    EXPECT_EQ(Enabled("channelType"), c.typeChoice);
    EXPECT_TRUE(this->Edit("filePath")->text().isEmpty());
    EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "", ""}}));
    EXPECT_TRUE(List()->isColumnHidden(1));
    EXPECT_EQ(List()->isColumnHidden(3), c.logger);
    EXPECT_EQ(List()->horizontalHeaderItem(2)->text(), c.valueTitle);
  }
  // "全调" titles the value column "AD值" on the logger only: its rows are raw readings then.
  this->template Find<QCheckBox>("adjustAll")->setChecked(true);
  EXPECT_EQ(List()->horizontalHeaderItem(2)->text(), "环境值");
  Combo("instrumentKind")->setCurrentIndex(2);
  EXPECT_EQ(List()->horizontalHeaderItem(2)->text(), "AD值");
  this->template Find<QCheckBox>("adjustAll")->setChecked(false);
  EXPECT_EQ(List()->horizontalHeaderItem(2)->text(), "环境值");
  EXPECT_TRUE(this->prompts_.shown.empty());
  EXPECT_EQ(this->sim_.Requests(), 0u);

  const std::pair<int, int> variants[] = {{-2, 0}, {0, 0},  {3, 3}, {5, 1}, {6, 5},
                                          {7, 6},  {8, 1}, {9, 0}, {10, 7}};
  for (const auto& [variant, kind] : variants) {
    EXPECT_EQ(static_cast<int>(CurveCalibrationPage::KindOfVariant(variant)), kind) << variant;
  }
}

// A kind chosen without the mouse (by key, or in the drop-down opened through the accessibility
// interface) makes the page follow as a mouse pick does.
TEST_F(CurvePageDefault, AKindChosenByKeyOrAccessibilityMakesThePageFollow) {
  this->page_->show();
  QComboBox* kind = Combo("instrumentKind");
  kind->setFocus();
  QTest::keyClick(kind, Qt::Key_Down);
  EXPECT_EQ(kind->currentText(), "32位");
  EXPECT_EQ(Combo("channelNumber")->count(), 32);
  EXPECT_TRUE(Enabled("channelType"));

  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(kind);
  ASSERT_NE(accessible, nullptr);
  ASSERT_NE(accessible->actionInterface(), nullptr);
  accessible->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
  ASSERT_TRUE(kind->view()->isVisible());
  QTest::keyClick(kind->view(), Qt::Key_Down);
  QTest::keyClick(kind->view(), Qt::Key_Return);
  EXPECT_EQ(kind->currentText(), "记录仪");
  EXPECT_EQ(Combo("channelNumber")->count(), 8);
  EXPECT_TRUE(Shown("initialise"));
  EXPECT_EQ(accessible->text(QAccessible::Value), "记录仪");

  // The channel type by key: the reference points follow.
  Combo("channelType")->setFocus();
  QTest::keyClick(Combo("channelType"), Qt::Key_Down);
  EXPECT_EQ(List()->Combo()->count(), 11);
}

TEST_F(CurvePage32Bit, ReadEditAndCalibrateAChannel) {
  PlayKind(1);
  EXPECT_EQ(Combo("instrumentKind")->currentText(), "32位");
  Combo("channelNumber")->setCurrentIndex(4);
  EXPECT_FALSE(Enabled("calibrate"));
  this->Click("readConfiguration");
  EXPECT_EQ(Last(), "提示: 仪器尚未校准！");
  EXPECT_TRUE(Enabled("calibrate"));

  // Rows in descending order, one of them retyped: written in ascending order.
  SetRows({{"50.0", "49.5"}, {"25.0", "24.0"}, {"-10.0", "-9.8"}});
  List()->ActivateCell(1, 3);
  List()->Editor()->setText("24.6");
  this->Click("calibrate");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据设置成功");
  EXPECT_FALSE(Enabled("calibrate"));  // the next write needs a new read
  const auto stored = this->sim_.template Device<sim::ChannelCurvesState>(
      [](sim::ChannelCurvesState& s) { return s.curves[{0x07, 4}]; });
  // The frame's data from byte 5: environment slots, then raw slots from byte 21.
  ASSERT_GE(stored.size(), 32u);
  EXPECT_EQ((std::vector<uint8_t>(stored.begin(), stored.begin() + 6)),
            (std::vector<uint8_t>{0x47, 0x0A, 0xA5, 0x0B, 0x9F, 0x0C}));  // 263.1 298.1 323.1
  EXPECT_EQ((std::vector<uint8_t>(stored.begin() + 16, stored.begin() + 22)),
            (std::vector<uint8_t>{0x49, 0x0A, 0xA1, 0x0B, 0x9A, 0x0C}));  // 263.3 297.7 322.6
  EXPECT_EQ((std::vector<uint8_t>(stored.begin() + 6, stored.begin() + 16)),
            std::vector<uint8_t>(10, 0x00));

  SetRows({});
  this->Click("readConfiguration");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "-10.0", "-9.8"}, {"2", "25.0", "24.6"},
                                      {"3", "50.0", "49.5"}}));
  EXPECT_TRUE(Enabled("calibrate"));

  // A raw value the instrument does not give leaves the typed one, without a message.
  sim::Faults faults;
  faults.silent = true;
  this->sim_.simulator.SetFaults(faults);
  const size_t shown = this->prompts_.shown.size();
  List()->ActivateCell(0, 3);
  EXPECT_EQ(List()->Editor()->text(), "-9.8");
  List()->CommitEditors();
  EXPECT_EQ(this->prompts_.shown.size(), shown);
  // A failed read leaves the list as it was.
  this->Click("readConfiguration");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据读取失败");
  EXPECT_EQ(Rows().size(), 3u);
  this->sim_.simulator.SetFaults({});

  // Another channel: the curve read is not its own.
  Combo("channelNumber")->setCurrentIndex(5);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "", ""}}));
  EXPECT_FALSE(Enabled("calibrate"));
}

TEST_F(CurvePageDefault, TheListIsCheckedBeforeAnythingIsSent) {
  const struct {
    int kind;
    bool adjustAll;
    std::vector<std::pair<QString, QString>> rows;
    const char* message;
  } cases[] = {
      {0, false, {}, "数据列表设置无效！"},
      {0, false, {{"25.0", "24.6"}, {"30.0", ""}}, "请删除无效行或填入有效数据！"},
      {3, false, {{"abc", "1.0"}}, "请删除无效行或填入有效数据！"},
      {2, true, {}, "数据列表设置无效！"},
      {2, true, {{"1200", ""}, {"", ""}}, "请删除无效行或填入有效数据！"},
      {2, false, {{"25.0", ""}, {"30.0", ""}}, "请删除多余行！"},
      {2, false, {{"", ""}}, "请删除无效行或填入有效数据！"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Combo("instrumentKind")->setCurrentIndex(c.kind);
    this->template Find<QCheckBox>("adjustAll")->setChecked(c.adjustAll);
    SetRows(c.rows);
    this->page_->Calibrate();
    EXPECT_EQ(Last(), QString("错误: ") + c.message);
    EXPECT_EQ(this->prompts_.shown.back().icon, ui::MessageKind::Error);
  }
  EXPECT_EQ(this->sim_.Requests(), 0u);
}

TEST_F(CurvePageDefault, TheBluetoothLoggerIsReachedOnlyThroughAConnectedAdapter) {
  Combo("instrumentKind")->setCurrentIndex(5);
  SetRows({{"25.0", "24.6"}});
  sim_.link.bluetoothConnected = false;
  this->Click("readConfiguration");
  this->Click("readDisplay");
  page_->Calibrate();
  EXPECT_EQ(this->prompts_.Messages(),
            (QStringList{"请连接蓝牙设备", "请连接蓝牙设备", "请连接蓝牙设备"}));
  EXPECT_EQ(this->sim_.Requests(), 0u);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "25.0", "24.6"}}));
}

// The logger kind end to end: the default curve written by "初始化", read back as readings with
// "全调" switched on, one reading retyped and written, then a single point measured at 25.0 °C.
TEST_F(CurvePageDefault, LoggerCurveIsInitialisedAdjustedAndPointCalibrated) {
  Combo("instrumentKind")->setCurrentIndex(2);
  Combo("channelType")->setCurrentIndex(0);  // temperature: 15 readings
  this->Click("initialise");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据设置成功");
  this->Click("readConfiguration");
  ASSERT_EQ(List()->rowCount(), 15);
  EXPECT_TRUE(this->template Find<QCheckBox>("adjustAll")->isChecked());
  EXPECT_EQ(Rows().front(), (Row{"1", "180", ""}));
  EXPECT_EQ(Rows().back(), (Row{"15", "3835", ""}));

  const auto reading = [this](int j) {
    return this->sim_.template Device<sim::LoggerCurvesState>([j](sim::LoggerCurvesState& s) {
      const std::vector<uint8_t>& record = s.records[0];  // frame bytes 6-105 of channel code 0
      return record[8 + 2 * j] * 256 + record[9 + 2 * j];
    });
  };
  List()->ActivateCell(0, 2);
  List()->Editor()->setText("200");
  List()->CommitEditors();
  this->Click("calibrate");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据设置成功");
  EXPECT_EQ(reading(0), 200);
  EXPECT_EQ(reading(14), 3835);

  // 25.0 °C lies between the 20 and 30 °C points: the 30 °C reading is extrapolated through the
  // 20 °C reading (1822) and the measured raw value.
  this->sim_.template Device<sim::LoggerCurvesState>(
      [](sim::LoggerCurvesState& s) { s.raw[0] = 2500; });
  this->template Find<QCheckBox>("adjustAll")->setChecked(false);
  SetRows({{"25.0", ""}});
  this->Click("calibrate");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据设置成功");
  EXPECT_EQ(reading(6), 1822);
  EXPECT_EQ(reading(7), 1822 + (2500 - 1822) * 10 / 5);
  EXPECT_TRUE(Enabled("calibrate"));  // the logger kind stays writable

  this->sim_.template Device<sim::LoggerCurvesState>(
      [](sim::LoggerCurvesState& s) { s.display[0] = 21.5F; });
  this->Click("readDisplay");
  EXPECT_EQ(this->Edit("displayValue")->text(), "21.5");
}

// A pair kind's live values: "读取" shows the channel's display value and a raw cell opened for
// editing is filled with the channel's raw value.
TEST_F(CurvePage32Bit, DisplayAndRawValuesComeFromTheChannel) {
  PlayKind(1);
  Combo("channelNumber")->setCurrentIndex(4);
  const auto [display, raw] = this->sim_.template Device<sim::ChannelCurvesState>(
      [](sim::ChannelCurvesState& s) { return std::pair{s.display[4], s.raw[4]}; });
  this->Click("readDisplay");
  EXPECT_EQ(this->Edit("displayValue")->text(), QString::number(display, 'f', 1));
  List()->ActivateCell(0, 3);
  EXPECT_EQ(List()->Editor()->text(), QString::number(raw, 'f', 1));
}

TEST_F(CurvePageDefault, RowsAreAddedDeletedShiftedAndTheDialogsAsk) {
  Combo("instrumentKind")->setCurrentIndex(2);
  SetRows({{"10", ""}, {"", ""}, {"x", ""}, {"-0.4", ""}});
  this->Click("addRow");
  EXPECT_EQ(List()->rowCount(), 5);
  EXPECT_EQ(List()->CellText(4, 0), "5");
  EXPECT_FALSE(Enabled("deleteRows"));
  List()->selectRow(1);
  EXPECT_TRUE(Enabled("deleteRows"));
  this->Click("deleteRows");
  EXPECT_FALSE(Enabled("deleteRows"));
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "10", ""}, {"2", "x", ""}, {"3", "-0.4", ""},
                                      {"4", "", ""}}));
  this->Edit("step")->setText("0.5");
  this->Click("shiftDown");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "9.5", ""}, {"2", "x", ""}, {"3", "-0.9", ""},
                                      {"4", "", ""}}));
  this->Edit("step")->clear();  // counts as 0.0
  this->Click("shiftUp");
  EXPECT_EQ(List()->CellText(0, 2), "9.5");

  // Initialising overwrites the logger's curve: nothing is sent without a yes.
  this->prompts_.answers.push_back(false);
  this->Click("initialise");
  ASSERT_EQ(this->prompts_.shown.size(), 1u);
  EXPECT_EQ(this->prompts_.shown[0].kind, "yesno");
  EXPECT_EQ(this->prompts_.shown[0].caption, "警告");
  EXPECT_EQ(this->prompts_.shown[0].icon, ui::MessageKind::Warning);
  EXPECT_EQ(this->prompts_.shown[0].text,
            "【初始化】操作会覆盖掉原来曲线，确认操作？\n\n备注：请检查配置文件路径\n      "
            "路径为空则填写默认曲线");
  EXPECT_EQ(this->sim_.Requests(), 0u);

  // Browsing: the card INI files for the logger, calibration files for the card kind.
  this->prompts_.fileNames.push_back("/data/card.ini");
  this->Click("browse");
  EXPECT_EQ(this->prompts_.shown.back().text, "卡片校准文件(*.ini);;所有文件(*.*)");
  EXPECT_EQ(this->Edit("filePath")->text(), "/data/card.ini");
  EXPECT_EQ(this->Edit("filePath")->selectedText(), "/data/card.ini");
  Combo("instrumentKind")->setCurrentIndex(4);
  this->Click("browse");  // cancelled
  EXPECT_EQ(this->prompts_.shown.back().text, "校准文件(*.jz)");
  EXPECT_TRUE(this->Edit("filePath")->text().isEmpty());
}

// A calibration file made by calstore-cli: card 1001 measured at five temperature points, card
// 1002 at three of them.
class CurvePageCardTest : public CurvePageDefault {
 protected:
  void SetUp() override {
    CurvePageDefault::SetUp();
    std::string pattern = (fs::temp_directory_path() / "curvecal-page-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    {
      std::ofstream csv(dir_ / "cards.csv");
      csv << "card,-20,0,20,40,60\n1001,-19.5,0.5,20.25,40.5,61\n1002,-21,,19,,59.5\n";
    }
    file_ = (dir_ / "cards.jz").string();
    const char* cli = std::getenv("CALSTORE_CLI");
    const std::string command = std::string("'") + (cli ? cli : CALSTORE_CLI) + "' create '" +
                                file_ + "' --csv '" + (dir_ / "cards.csv").string() +
                                "' --type 0";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ASSERT_TRUE(fs::exists(file_));
    PlayKind(4);
    sim_.Device<sim::PropertyState>([](sim::PropertyState& s) {
      s.channels[2].type = 4;  // 温湿卡片-温度
      s.channels[2].cardId = 0x00001002;
      s.channels[3].type = 5;  // 温湿卡片-湿度
      s.channels[3].cardId = 0x00001002;
    });
    Combo("instrumentKind")->setCurrentIndex(4);
  }
  void TearDown() override {
    CurvePageDefault::TearDown();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
  std::string file_;
};

TEST_F(CurvePageCardTest, ACardsPointsComeFromTheCalibrationFile) {
  Combo("channelType")->setCurrentIndex(1);  // set from the channel's configuration below
  Combo("channelNumber")->setCurrentIndex(2);
  this->Click("readConfiguration");
  EXPECT_EQ(Last(), "提示: 仪器尚未校准！");
  EXPECT_EQ(this->template Find<QLabel>("cardNumber")->text(), "00001002");
  EXPECT_EQ(Combo("channelType")->currentText(), "温度");
  EXPECT_TRUE(Enabled("loadCalibrationFile"));

  this->Click("loadCalibrationFile");
  EXPECT_EQ(this->prompts_.LastMessage(), "校准文件无效！");

  // A complete row stays; the half-filled rows after it make way for the file's points.
  SetRows({{"80.0", "79.0"}, {"5.0", ""}, {"", ""}});
  this->Edit("filePath")->setText(QString::fromStdString(file_));
  const size_t shown = this->prompts_.shown.size();
  this->Click("loadCalibrationFile");
  EXPECT_EQ(this->prompts_.shown.size(), shown);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "80.0", "79.0"},
                                      {"2", "-20.0", "-21.0"},
                                      {"3", "20.0", "19.0"},
                                      {"4", "60.0", "59.5"}}));
  EXPECT_EQ(this->sim_.Requests(), 2u);  // the channel's configuration and its curve

  this->Click("calibrate");
  EXPECT_EQ(this->prompts_.LastMessage(), "数据设置成功");
  EXPECT_FALSE(Enabled("loadCalibrationFile"));
  this->Click("readConfiguration");
  EXPECT_EQ(Rows().size(), 4u);
  EXPECT_EQ(Rows()[0], (Row{"1", "-20.0", "-21.0"}));

  // The humidity channel of the same card: the file holds no humidity record of it.
  Combo("channelNumber")->setCurrentIndex(3);
  EXPECT_TRUE(this->template Find<QLabel>("cardNumber")->text().isEmpty());
  this->Click("readConfiguration");
  EXPECT_EQ(Combo("channelType")->currentText(), "湿度");
  this->Click("loadCalibrationFile");
  EXPECT_EQ(this->prompts_.LastMessage(), "卡片 00001002 的校准信息载入失败！");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "", ""}}));
}

// A profile's curve of the kind, channel and type shown becomes the list's rows, unsent; the
// curve of another channel is named.
TEST_F(CurvePageDefault, ProfileCurveFillsTheList) {
  const Result<Profile> profile = ParseProfile(R"({"format":"tool-profile","version":1,
      "page":"curvecal","values":{
      "write:0,1,temperature":{"kind":0,"channel":1,"type":"temperature",
                               "pairs":"-20.0:-19.6,25.0:24.8"},
      "write:0,2,temperature":{"kind":0,"channel":2,"type":"temperature","pairs":"25.0:25.1"}}})");
  ASSERT_TRUE(profile.ok()) << profile.message() << profile.outcome.detail;
  ASSERT_EQ(Combo("instrumentKind")->currentIndex(), 0);
  ASSERT_EQ(Combo("channelNumber")->currentIndex(), 0);
  EXPECT_EQ(page_->ShowProfile(profile.value), std::vector<std::string>{"write:0,2,temperature"});
  EXPECT_EQ(sim_.Requests(), 0u);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"1", "-20.0", "-19.6"}, {"2", "25.0", "24.8"}}));
}

}  // namespace
}  // namespace pages
