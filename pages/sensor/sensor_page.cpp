// Every input of this page has a caption of its own, which is its accessible name; no names were
// invented. The buttons that share a caption ("读取" three times, "设置" twice) tell themselves
// apart by their accessible descriptions:
//   addressRead       "读取地址和波特率"     addressWrite  "设置地址"
//   baudWrite         "设置波特率"           channelTypesRead "读取通道类型"
//   versionsRead      "读取版本"
#include "pages/sensor/sensor_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "pages/kit/fields.h"
#include "pages/kit/page_kit.h"
#include "pages/widgets/column_fit.h"
#include "pages/widgets/sn_widget.h"

namespace pages {

namespace cmd = pages::sensor;

namespace {

QPushButton* Button(const char* text, const char* name, const char* description, QWidget* parent) {
  QPushButton* button = MakeButton(QString::fromUtf8(text), QLatin1String(name), parent);
  button->setAccessibleDescription(QString::fromUtf8(description));
  return button;
}

}  // namespace

DigitalSensorPage::DigitalSensorPage(devlink::DeviceLink& link, int productVariant,
                                     QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("digitalSensorPage");
  auto* layout = new QGridLayout(this);

  // Address and baud rate.
  auto* addressGrid = new QGridLayout;
  oldAddress_ = MakeDigitsEdit("oldAddress", this, 10);
  newAddress_ = MakeDigitsEdit("newAddress", this, 10);
  auto* addressRead = Button("读取", "addressRead", "读取地址和波特率", this);
  auto* addressWrite = Button("设置", "addressWrite", "设置地址", this);
  baudRate_ = MakeList("baudRate", this);
  for (const char* rate : cmd::kBaudRates) baudRate_->addItem(QLatin1String(rate));
  baudRate_->setCurrentIndex(-1);
  auto* baudWrite = Button("设置", "baudWrite", "设置波特率", this);
  addressGrid->addWidget(MakeCaption("原地址", oldAddress_, this), 0, 0);
  addressGrid->addWidget(oldAddress_, 0, 1);
  addressGrid->addWidget(addressRead, 0, 2);
  addressGrid->addWidget(MakeCaption("新地址", newAddress_, this), 1, 0);
  addressGrid->addWidget(newAddress_, 1, 1);
  addressGrid->addWidget(addressWrite, 1, 2);
  addressGrid->addWidget(MakeCaption("波特率", baudRate_, this), 2, 0);
  addressGrid->addWidget(baudRate_, 2, 1);
  addressGrid->addWidget(baudWrite, 2, 2);

  // The SN widget with this sensor's Modbus requests instead of its own; writing needs a read
  // first.
  auto* snGroup = MakeGroup("SN设置", "snGroup", this);
  auto* snLayout = new QVBoxLayout(snGroup);
  sn_ = new SnWidget(*this, snGroup);
  snLayout->addWidget(sn_);
  SnWidget::Hooks& hooks = sn_->ProtocolHooks();
  hooks.preExchange = nullptr;
  hooks.buildRead = [this](SnWidget&) { return cmd::BuildSnReadRequest(sensorAddress_); };
  hooks.buildWrite = [this](SnWidget&, int year, int month, int serial) {
    return cmd::BuildSnWriteRequest(sensorAddress_, year, month, serial);
  };
  hooks.parseRead = [](SnWidget&, devlink::ByteView reply) { return cmd::ParseSnReadReply(reply); };
  hooks.parseWrite = [](SnWidget&, devlink::ByteView reply) {
    return cmd::ParseSnWriteReply(reply);
  };
  sn_->WriteButton()->setEnabled(false);

  // Channel types.
  auto* typesGrid = new QGridLayout;
  channelTypes_ = new QTableWidget(0, 2, this);
  channelTypes_->setObjectName("channelTypes");
  channelTypes_->setHorizontalHeaderLabels({"序号", "通道类型"});
  channelTypes_->verticalHeader()->hide();
  channelTypes_->setShowGrid(true);
  channelTypes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  channelTypes_->setSelectionBehavior(QAbstractItemView::SelectRows);
  channelTypes_->setMinimumHeight(90);
  FitColumns(channelTypes_, {.stretch = {1}});
  auto* typesRead = Button("读取", "channelTypesRead", "读取通道类型", this);
  typesGrid->addWidget(MakeCaption("通道类型", channelTypes_, this), 0, 0);
  typesGrid->addWidget(typesRead, 0, 1, Qt::AlignRight);
  typesGrid->addWidget(channelTypes_, 1, 0, 1, 2);

  // Versions.
  auto* versionGrid = new QGridLayout;
  softwareVersion_ = MakeDisplay("softwareVersion", this);
  hardwareVersion_ = MakeDisplay("hardwareVersion", this);
  auto* versionsRead = Button("读取", "versionsRead", "读取版本", this);
  versionGrid->addWidget(MakeCaption("软件版本", softwareVersion_, this), 0, 0);
  versionGrid->addWidget(softwareVersion_, 0, 1);
  versionGrid->addWidget(MakeCaption("硬件版本", hardwareVersion_, this), 1, 0);
  versionGrid->addWidget(hardwareVersion_, 1, 1);
  versionGrid->addWidget(versionsRead, 0, 2, 2, 1);

  layout->addLayout(addressGrid, 0, 0);
  layout->addWidget(snGroup, 0, 1);
  layout->addLayout(typesGrid, 1, 0);
  layout->addLayout(versionGrid, 1, 1, Qt::AlignTop);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(2, 1);

  connect(addressRead, &QPushButton::clicked, this, &DigitalSensorPage::ReadAddress);
  connect(addressWrite, &QPushButton::clicked, this, &DigitalSensorPage::WriteAddress);
  connect(baudWrite, &QPushButton::clicked, this, &DigitalSensorPage::WriteBaud);
  connect(typesRead, &QPushButton::clicked, this, &DigitalSensorPage::ReadChannelTypes);
  connect(versionsRead, &QPushButton::clicked, this, &DigitalSensorPage::ReadVersions);
}

void DigitalSensorPage::ShowSensorAddress(int address) {
  sensorAddress_ = address;
  oldAddress_->setText(QString::number(address));
}

void DigitalSensorPage::ReadAddress() {
  LinkSerialLine line(Link());
  const Result<int> address = RunCommand(
      *this, [&](devlink::Channel& channel) { return cmd::ReadAddress(channel, &line); });
  if (!address.ok()) {
    // The search may have left the port reopened at another rate, or closed: the panel shows
    // the port as it is now.
    if (line.Carries()) emit serialLineChanged();
    Report(this, address.outcome);
    return;
  }
  ShowSensorAddress(address.value);
  const Result<int> index = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::ReadBaudIndex(channel, sensorAddress_);
  });
  if (!index.ok()) {
    Report(this, index.outcome);
    return;
  }
  baudRate_->setCurrentIndex(index.value - 1);
  // The link takes the rate for the next time the port is opened; the port stays as it is.
  line.SetBaudText(baudRate_->currentText().toStdString());
  emit baudRateReported(baudRate_->currentText());
}

void DigitalSensorPage::WriteAddress() {
  // A digits-only edit: its leading number, 0 when empty (refused like any other 0).
  const int64_t newAddress = LeadingInteger(newAddress_->text().toStdString());
  const Result<int> written = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::WriteAddress(channel, sensorAddress_, newAddress);
  });
  if (written.ok()) ShowSensorAddress(written.value);
  Report(this, written.outcome, {{cmd::kFieldNewAddress, newAddress_}});
}

void DigitalSensorPage::WriteBaud() {
  std::optional<int> selection;
  if (baudRate_->currentIndex() >= 0) selection = baudRate_->currentIndex();
  const Outcome outcome = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::WriteBaud(channel, sensorAddress_, selection);
  });
  Report(this, outcome, {{cmd::kFieldBaud, baudRate_}});
}

void DigitalSensorPage::ReadChannelTypes() {
  const Result<cmd::ChannelTypeRows> rows = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::ReadChannelTypes(channel, sensorAddress_);
  });
  if (!rows.ok()) {
    Report(this, rows.outcome);
    return;
  }
  channelTypes_->setRowCount(0);
  for (const std::string& name : rows.value.names) {
    const int row = channelTypes_->rowCount();
    channelTypes_->insertRow(row);
    channelTypes_->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
    channelTypes_->setItem(row, 1, new QTableWidgetItem(FromUtf8(name)));
  }
}

void DigitalSensorPage::ReadVersions() {
  LinkSerialLine line(Link());
  const Result<cmd::Versions> versions = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::ReadVersions(channel, sensorAddress_, &line);
  });
  if (versions.ok()) {
    softwareVersion_->setText(FromUtf8(versions.value.software));
    hardwareVersion_->setText(FromUtf8(versions.value.hardware));
  }
  Report(this, versions.outcome);
}

}  // namespace pages
