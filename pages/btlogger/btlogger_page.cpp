// Accessible names of the controls that have no caption of their own:
//   channel list  "通道列表"
// The buttons that share a caption with the SN widget's ("读配置", "写配置") tell themselves
// apart by their accessible descriptions "读通道配置" and "写通道配置". The list's rows are
// added and removed with "增加通道" and "删除通道" (the last row).
#include "pages/btlogger/btlogger_page.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <vector>

#include "pages/kit/page_kit.h"
#include "pages/widgets/clock_widget.h"
#include "pages/widgets/column_fit.h"
#include "pages/widgets/editable_list.h"
#include "pages/widgets/sn_widget.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

namespace cmd = pages::btlogger;

namespace {

constexpr int kTypeColumn = 1;

// Keeps the window painted while the adapter waits (its connect may take two minutes).
void KeepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

QPushButton* Button(const char* text, const char* name, QWidget* parent,
                    const char* description = nullptr) {
  QPushButton* button = MakeButton(QString::fromUtf8(text), QLatin1String(name), parent);
  if (description) button->setAccessibleDescription(QString::fromUtf8(description));
  return button;
}

}  // namespace

BluetoothLoggerPage::BluetoothLoggerPage(devlink::DeviceLink& link, int productVariant,
                                         QWidget* parent)
    : Page(link, productVariant, parent), channel_(link) {
  setObjectName("bluetoothLoggerPage");

  // The channel list: numbers fixed, types chosen from "温度"/"湿度"; no check boxes.
  list_ = new EditableList(this);
  list_->setObjectName("channelList");
  list_->setAccessibleName(QStringLiteral("通道列表"));
  list_->setColumnCount(2);
  list_->setHorizontalHeaderLabels({QStringLiteral("通道序号"), QStringLiteral("通道类型")});
  list_->SetCheckBoxes(false);
  list_->SetComboMode(true);
  list_->Combo()->FillKinds();
  list_->setMinimumSize(260, 200);
  FitColumns(list_, {.stretch = {kTypeColumn}});
  list_->AddRow({QStringLiteral("1")});

  read_ = Button("读配置", "channelsRead", this, "读通道配置");
  write_ = Button("写配置", "channelsWrite", this, "写通道配置");
  clear_ = Button("清空数据", "clearData", this);
  add_ = Button("增加通道", "channelAdd", this);
  remove_ = Button("删除通道", "channelRemove", this);

  auto* snGroup = MakeGroup(QStringLiteral("SN设置"), QStringLiteral("snGroup"), this);
  auto* snLayout = new QVBoxLayout(snGroup);
  sn_ = new SnWidget(*this, snGroup);
  snLayout->addWidget(sn_);
  auto* clockGroup = MakeGroup(QStringLiteral("时钟配置"), QStringLiteral("clockGroup"), this);
  auto* clockLayout = new QVBoxLayout(clockGroup);
  clock_ = new ClockWidget(*this, clockGroup);
  clockLayout->addWidget(clock_);

  // Both widgets speak the logger's Modbus requests over the adapter, after the connection check.
  sn_->SetChannel(&channel_);
  SnWidget::Hooks& sn = sn_->ProtocolHooks();
  sn.preExchange = [this](SnWidget&) { return ConnectLogger(); };
  sn.buildRead = [](SnWidget&) { return cmd::BuildSnReadRequest(); };
  sn.parseRead = [this](SnWidget&, devlink::ByteView reply) {
    WidgetReply parsed = cmd::ParseSnReadReply(reply);
    if (parsed.ok()) snBlock_.assign(reply.begin(), reply.end());
    return parsed;
  };
  sn.buildWrite = [this](SnWidget&, int year, int month, int serial) {
    return cmd::BuildSnWriteRequest(snBlock_, year, month, serial);
  };
  sn.parseWrite = [](SnWidget& widget, devlink::ByteView reply) {
    std::string error = cmd::ParseSnWriteReply(reply);
    // The next write needs a new read: the block kept no longer describes the logger.
    if (error.empty()) widget.WriteButton()->setEnabled(false);
    return error;
  };
  sn_->WriteButton()->setEnabled(false);

  clock_->SetChannel(&channel_);
  ClockWidget::Hooks& clock = clock_->ProtocolHooks();
  clock.preExchange = [this](ClockWidget&) { return ConnectLogger(); };
  clock.buildRead = [](ClockWidget&) { return cmd::BuildClockReadRequest(); };
  clock.parseRead = [](ClockWidget&, devlink::ByteView reply) {
    return cmd::ParseClockReadReply(reply);
  };
  clock.buildWrite = [](ClockWidget&) { return cmd::BuildClockWriteRequest(LocalClockTime()); };
  clock.parseWrite = [](ClockWidget&, devlink::ByteView reply) {
    return cmd::ParseClockWriteReply(reply);
  };

  auto* rowButtons = new QHBoxLayout;
  rowButtons->addWidget(add_);
  rowButtons->addWidget(remove_);
  rowButtons->addStretch();
  auto* commandButtons = new QHBoxLayout;
  commandButtons->addWidget(read_);
  commandButtons->addWidget(write_);
  commandButtons->addWidget(clear_);
  commandButtons->addStretch();

  auto* layout = new QGridLayout(this);
  layout->addWidget(list_, 0, 0, 2, 1);
  layout->addLayout(rowButtons, 2, 0);
  layout->addLayout(commandButtons, 3, 0);
  layout->addWidget(snGroup, 0, 1);
  layout->addWidget(clockGroup, 1, 1, Qt::AlignTop);
  layout->setRowStretch(1, 1);
  layout->setColumnStretch(2, 1);

  connect(read_, &QPushButton::clicked, this, &BluetoothLoggerPage::ReadChannels);
  connect(write_, &QPushButton::clicked, this, &BluetoothLoggerPage::WriteChannels);
  connect(clear_, &QPushButton::clicked, this, &BluetoothLoggerPage::ClearHistory);
  connect(add_, &QPushButton::clicked, this, &BluetoothLoggerPage::AddChannel);
  connect(remove_, &QPushButton::clicked, this, &BluetoothLoggerPage::RemoveChannel);
  UpdateWidgets();
}

void BluetoothLoggerPage::UpdateWidgets() { write_->setEnabled(writeAllowed_); }

bool BluetoothLoggerPage::BluetoothUp() {
  if (Link().bluetoothConnected) return true;
  Report(this, Outcome::Failure(kConnectBluetoothFirst));
  return false;
}

bool BluetoothLoggerPage::ConnectLogger() {
  ui::WaitCursor wait;
  const Outcome connected = ConnectBluetoothDevice(Link(), KeepPainting);
  if (connected.ok) return true;
  Report(this, connected);
  return false;
}

template <class Command>
auto BluetoothLoggerPage::OnLogger(Command&& command) {
  ui::WaitCursor wait;
  return command(channel_);
}

void BluetoothLoggerPage::ShowChannels(const cmd::LoggerConfig& config) {
  list_->CommitEditors();
  list_->setRowCount(0);
  for (size_t k = 0; k < config.records.size(); ++k) {
    list_->AddRow({QString::number(k + 1), FromUtf8(std::string(cmd::TypeText(config.Type(k))))});
  }
}

void BluetoothLoggerPage::ReadChannels() {
  if (!BluetoothUp()) return;
  // From here on the kept header and records no longer describe the logger, so "写配置" stays
  // off until this read has succeeded: writing back a partial read would zero the settings of
  // every channel that was not read.
  kept_ = {};
  writeAllowed_ = false;
  UpdateWidgets();
  if (!ConnectLogger()) return;
  const Result<cmd::LoggerConfig> read =
      OnLogger([](devlink::Channel& channel) { return cmd::ReadConfig(channel); });
  // A failed header read leaves the list as it was; a failed channel read keeps the rows read
  // before it.
  if (!read.value.header.empty()) ShowChannels(read.value);
  if (!read.ok()) {
    Report(this, read.outcome);
    return;
  }
  kept_ = read.value;
  writeAllowed_ = true;
  UpdateWidgets();
}

void BluetoothLoggerPage::WriteChannels() {
  list_->CommitEditors();
  if (!ConnectLogger()) return;
  std::vector<std::optional<uint8_t>> rows;
  for (int row = 0; row < list_->rowCount(); ++row) {
    rows.push_back(cmd::TypeOfText(list_->CellText(row, kTypeColumn).toStdString()));
  }
  const Outcome written =
      OnLogger([&](devlink::Channel& channel) { return cmd::WriteConfig(channel, kept_, rows); });
  if (written.Refusal() && written.message == cmd::kInvalidRows) {
    ui::RefuseField(list_, QString::fromUtf8(cmd::kInvalidRows),
                    QString::fromUtf8(cmd::kInvalidRowsCaption));
    return;
  }
  Report(this, written, {{cmd::kFieldTypes, list_}});
  if (!written.ok) return;
  kept_ = {};
  writeAllowed_ = false;
  UpdateWidgets();
}

void BluetoothLoggerPage::ClearHistory() {
  if (!BluetoothUp()) return;
  // The history cannot be brought back: asked before anything is sent, and before the adapter
  // may take its time to connect.
  if (!ConfirmClearHistory(this)) return;
  if (!ConnectLogger()) return;
  Report(this, OnLogger([](devlink::Channel& channel) { return cmd::ClearHistory(channel); }));
}

void BluetoothLoggerPage::AddChannel() {
  list_->CommitEditors();
  list_->AddRow({QString::number(list_->rowCount() + 1)});
}

void BluetoothLoggerPage::RemoveChannel() {
  list_->CommitEditors();
  if (list_->rowCount() > 0) list_->removeRow(list_->rowCount() - 1);
}

std::vector<std::string> BluetoothLoggerPage::ShowProfile(const Profile& profile) {
  // "temperature,humidity" (the write's words) or the list's own texts.
  const ProfileSetter types = [this](const Value& value) {
    QStringList rows;
    const std::string text = OptionText(value);
    for (std::string_view part : SplitList(text, ',')) {
      const std::string word(TrimBlanks(part));
      const std::optional<uint8_t> type = word == "temperature" ? cmd::kTemperatureType
                                          : word == "humidity"  ? cmd::kHumidityType
                                                                : cmd::TypeOfText(word);
      if (!type) return false;
      rows << FromUtf8(std::string(cmd::TypeText(*type)));
    }
    list_->CommitEditors();
    list_->setRowCount(0);
    for (int row = 0; row < rows.size(); ++row) list_->AddRow({QString::number(row + 1), rows[row]});
    UpdateWidgets();
    return true;
  };
  // The same MAC however it is written ("00:1A:..." in a profile, "00 1A ..." in the window).
  const auto hexDigits = [](const std::string& text) {
    QString digits;
    for (const QChar c : FromUtf8(text)) {
      if (c.isDigit() || (c.toUpper() >= 'A' && c.toUpper() <= 'F')) digits += c.toUpper();
    }
    return digits;
  };
  const ProfileSetter mac = [this, hexDigits](const Value& value) {
    return hexDigits(OptionText(value)) == hexDigits(Link().macText);
  };
  const std::vector<std::pair<std::string, ProfileSetter>> controls = {{"mac", mac},
                                                                       {"types", types}};
  return ShowProfileValues(profile,
                           {{"channels", controls}, {"channels:" + Link().macText, controls}});
}

}  // namespace pages
