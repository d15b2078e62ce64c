#include "pages/relay/relay_page.h"

// Accessible names of the inputs that have no caption of their own:
//   serverIp        "服务器IP"      (the IP address control beside "IP模式")
//   domain          "服务器域名"    (the domain field beside "域名模式")
//   instruments     "仪器列表"
//   pcTime          "系统时间显示"  (the PC's clock in "时间校准")
//   manualDate      "手动日期", manualTime "手动时间"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/widgets/editable_list.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

namespace {

inline constexpr const char* kIpInvalid = "IP地址无效！";

enum Column { kAlarmColumn = 0, kIdColumn, kSnColumn, kUpperColumn, kLowerColumn, kColumns };

void ShowOutcomeText(QWidget* parent, const char* text) {
  ui::ShowMessage(parent, QString::fromUtf8(text), {}, ui::MessageKind::Warning);
}

relay::RelayTime FromDateTime(const QDateTime& at) {
  const QDate d = at.date();
  const QTime t = at.time();
  return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

}  // namespace

// ---- TimeCalibrationDialog ----

TimeCalibrationDialog::TimeCalibrationDialog(devlink::DeviceLink& link, ManualTime& manual,
                                             QWidget* parent)
    : QDialog(parent), link_(link), manual_(manual) {
  setObjectName("timeCalibrationDialog");
  setWindowTitle("时间校准");
  manual_.manual = false;
  instrumentTime_ = MakeDisplay("instrumentTime", this);
  auto* read = MakeButton("读取仪器时间", "readInstrumentTime", this);
  manualRadio_ = MakeRadio("手动设置", "manualSetting", this);
  systemRadio_ = MakeRadio("系统时间", "systemTime", this, true);
  date_ = new QDateEdit(QDate::currentDate(), this);
  date_->setObjectName("manualDate");
  date_->setAccessibleName("手动日期");
  date_->setDisplayFormat("yyyy-MM-dd");
  time_ = new QTimeEdit(QTime::currentTime(), this);
  time_->setObjectName("manualTime");
  time_->setAccessibleName("手动时间");
  time_->setDisplayFormat("HH:mm:ss");
  pcTime_ = MakeDisplay("pcTime", this);
  pcTime_->setAccessibleName("系统时间显示");
  pcTime_->setEnabled(false);
  auto* ok = MakeButton("校准", "calibrate", this);
  auto* cancel = MakeButton("取消", "cancel", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(MakeCaption("仪器时间：", instrumentTime_, this), 0, 0);
  grid->addWidget(instrumentTime_, 0, 1, 1, 2);
  grid->addWidget(read, 0, 3);
  grid->addWidget(manualRadio_, 1, 0);
  grid->addWidget(date_, 1, 1);
  grid->addWidget(time_, 1, 2);
  grid->addWidget(systemRadio_, 2, 0);
  grid->addWidget(pcTime_, 2, 1, 1, 2);
  grid->addWidget(ok, 3, 2);
  grid->addWidget(cancel, 3, 3);

  connect(read, &QPushButton::clicked, this, &TimeCalibrationDialog::ReadInstrumentTime);
  OnChosen(manualRadio_, this, [this] { ChooseManual(true); });
  OnChosen(systemRadio_, this, [this] { ChooseManual(false); });
  connect(date_, &QDateEdit::dateChanged, this,
          [this](const QDate& d) { manual_.value.setDate(d); });
  connect(time_, &QTimeEdit::timeChanged, this,
          [this](const QTime& t) { manual_.value.setTime(t); });
  connect(ok, &QPushButton::clicked, this, &TimeCalibrationDialog::Calibrate);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  ChooseManual(false);
  clock_ = new QTimer(this);
  connect(clock_, &QTimer::timeout, this, &TimeCalibrationDialog::ShowPcTime);
  clock_->start(1000);
  ShowPcTime();
}

void TimeCalibrationDialog::ChooseManual(bool manual) {
  date_->setEnabled(manual);
  time_->setEnabled(manual);
  manual_.manual = manual;
  if (manual) manual_.value = QDateTime(date_->date(), time_->time());
}

void TimeCalibrationDialog::ShowPcTime() {
  pcTime_->setText(QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
}

void TimeCalibrationDialog::ReadInstrumentTime() {
  const auto result = RunCommand(link_, [](devlink::Channel& c) { return relay::ReadTime(c); });
  if (result.ok()) instrumentTime_->setText(FromUtf8(result.value.text));
  Report(this, result.outcome);
}

void TimeCalibrationDialog::Calibrate() {
  manual_.value = QDateTime(date_->date(), time_->time());
  accept();
}

// ---- PhoneNumbersDialog ----

PhoneNumbersDialog::PhoneNumbersDialog(devlink::DeviceLink& link, QWidget* parent)
    : QDialog(parent), link_(link) {
  setObjectName("phoneNumbersDialog");
  setWindowTitle("手机号码设置");
  auto* grid = new QGridLayout(this);
  for (int i = 0; i < relay::kPhoneCount; ++i) {
    numbers_[i] = MakeDigitsEdit(QString("phone%1").arg(i + 1), this,
                             static_cast<int>(relay::kPhoneDigits));
    grid->addWidget(MakeCaption(QString("号码%1：").arg(i + 1), numbers_[i], this), i, 0);
    grid->addWidget(numbers_[i], i, 1, 1, 3);
  }
  auto* read = MakeButton("读取", "readPhones", this);
  auto* ok = MakeButton("确定", "writePhones", this);
  auto* cancel = MakeButton("取消", "cancel", this);
  grid->addWidget(read, 3, 1);
  grid->addWidget(ok, 3, 2);
  grid->addWidget(cancel, 3, 3);
  connect(read, &QPushButton::clicked, this, &PhoneNumbersDialog::ReadNumbers);
  connect(ok, &QPushButton::clicked, this, &PhoneNumbersDialog::WriteNumbers);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PhoneNumbersDialog::ReadNumbers() {
  const auto result = RunCommand(link_, [](devlink::Channel& c) { return relay::ReadPhones(c); });
  if (result.ok()) {
    for (int i = 0; i < relay::kPhoneCount; ++i) {
      numbers_[i]->setText(FromUtf8(result.value.numbers[i]));
    }
  }
  Report(this, result.outcome);
}

void PhoneNumbersDialog::WriteNumbers() {
  relay::PhoneNumbers phones;
  for (int i = 0; i < relay::kPhoneCount; ++i) {
    phones.numbers[i] = numbers_[i]->text().trimmed().toStdString();
  }
  const Outcome outcome =
      RunCommand(link_, [&](devlink::Channel& c) { return relay::WritePhones(c, phones); });
  Report(this, outcome, {{"1", numbers_[0]}, {"2", numbers_[1]}, {"3", numbers_[2]}});
}

// ---- PrintSettingsDialog ----

PrintSettingsDialog::PrintSettingsDialog(devlink::DeviceLink& link, QWidget* parent)
    : QDialog(parent), link_(link) {
  setObjectName("printSettingsDialog");
  setWindowTitle("打印设置");
  company_ = MakeEdit("companyName", this, static_cast<int>(relay::kCompanyBytes));
  auto* read = MakeButton("读取", "readPrintSettings", this);
  auto* set = MakeButton("设置", "writePrintSettings", this);
  auto* cancel = MakeButton("取消", "cancel", this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(MakeCaption("公司名称:", company_, this), 0, 0);
  grid->addWidget(company_, 0, 1, 1, 3);
  grid->addWidget(read, 1, 1);
  grid->addWidget(set, 1, 2);
  grid->addWidget(cancel, 1, 3);
  connect(read, &QPushButton::clicked, this, &PrintSettingsDialog::ReadName);
  connect(set, &QPushButton::clicked, this, &PrintSettingsDialog::WriteName);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PrintSettingsDialog::ReadName() {
  const auto result =
      RunCommand(link_, [](devlink::Channel& c) { return relay::ReadPrintSettings(c); });
  if (result.ok()) company_->setText(FromUtf8(result.value.company));
  Report(this, result.outcome);
}

void PrintSettingsDialog::WriteName() {
  const std::string company = company_->text().toStdString();
  Report(this,
         RunCommand(link_,
                    [&](devlink::Channel& c) { return relay::WritePrintSettings(c, company); }),
         {{"company", company_}});
}

// ---- RelayPage ----

RelayPage::RelayPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("relayPage");
  auto* column = new QVBoxLayout(this);
  column->addWidget(BuildGprsGroup());
  column->addWidget(BuildInstrumentGroup(), 1);
  UpdateAddressControls();
}

QWidget* RelayPage::BuildGprsGroup() {
  auto* group = MakeGroup("GPRS配置", "gprsGroup", this);
  gprsOff_ = MakeCheck("GPRS关闭", "gprsOff", group);
  ipMode_ = MakeRadio("IP模式", "ipMode", group, true);
  domainMode_ = MakeRadio("域名模式", "domainMode", group);
  ip_ = MakeEdit("serverIp", group, 15);
  ip_->setAccessibleName("服务器IP");
  ip_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9.]*"), ip_));
  ip_->setText("0.0.0.0");
  domain_ = MakeEdit("domain", group, static_cast<int>(relay::kDomainBytes));
  domain_->setAccessibleName("服务器域名");
  domain_->setText(QString::fromUtf8(relay::kDefaultDomain));
  port_ = MakeDigitsEdit("serverPort", group, 5);
  port_->setText(QString::number(relay::kDefaultPort));
  sn_ = MakeEdit("relaySn", group, 9);
  // Typed letters become capitals; a read shows the relay's own text as it comes.
  connect(sn_, &QLineEdit::textEdited, sn_, [this](const QString& text) {
    const int cursor = sn_->cursorPosition();
    sn_->setText(text.toUpper());
    sn_->setCursorPosition(cursor);
  });
  interval_ = MakeDigitsEdit("sendInterval", group, 4);
  interval_->setText(QString::number(relay::kDefaultInterval));
  auto* calibrate = MakeButton("校准时间", "calibrateTime", group);
  auto* read = MakeButton("读取GPRS", "readGprs", group);
  auto* write = MakeButton("配置GPRS", "writeGprs", group);
  auto* clear = MakeButton("清空数据", "clearData", group);

  auto* grid = new QGridLayout(group);
  grid->addWidget(gprsOff_, 0, 0);
  grid->addWidget(MakeCaption("端口：", port_, group), 0, 1);
  grid->addWidget(port_, 0, 2);
  grid->addWidget(MakeCaption("中继SN号：", sn_, group), 0, 3);
  grid->addWidget(sn_, 0, 4);
  grid->addWidget(ipMode_, 1, 0);
  grid->addWidget(ip_, 1, 1, 1, 2);
  grid->addWidget(domainMode_, 1, 3);
  grid->addWidget(domain_, 1, 4);
  grid->addWidget(MakeCaption("发送间隔：", interval_, group), 2, 0);
  grid->addWidget(interval_, 2, 1);
  grid->addWidget(new QLabel("分钟（60的约数 /倍数）", group), 2, 2, 1, 3);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {calibrate, read, write, clear}) buttons->addWidget(button);
  grid->addLayout(buttons, 3, 0, 1, 5);

  connect(gprsOff_, &QCheckBox::toggled, this, [this] { UpdateAddressControls(); });
  OnChosen(ipMode_, this, [this] { UpdateAddressControls(); });
  OnChosen(domainMode_, this, [this] { UpdateAddressControls(); });
  connect(calibrate, &QPushButton::clicked, this, &RelayPage::CalibrateTime);
  connect(read, &QPushButton::clicked, this, &RelayPage::ReadGprs);
  connect(write, &QPushButton::clicked, this, &RelayPage::WriteGprs);
  connect(clear, &QPushButton::clicked, this, &RelayPage::ClearData);
  return group;
}

QWidget* RelayPage::BuildInstrumentGroup() {
  auto* group = MakeGroup("仪器配置", "instrumentGroup", this);
  list_ = new EditableList(group);
  list_->setObjectName("instruments");
  list_->setAccessibleName("仪器列表");
  list_->setColumnCount(kColumns);
  list_->setHorizontalHeaderLabels({"报警", "仪器ID", "SN号", "上限℃", "下限℃"});
  // The SN takes any character; ID and limits take the numeric keys only.
  list_->SetColumnHook(
      [](EditableList&, QWidget*, int column) { return column == kSnColumn ? 1 : 0; });
  ClearList();

  auto* phones = MakeButton("手机设置", "phoneSettings", group);
  auto* print = MakeButton("打印设置", "printSettings", group);
  auto* clearList = MakeButton("清空列表", "clearList", group);
  auto* read = MakeButton("读取配置", "readInstruments", group);
  auto* write = MakeButton("配置仪器", "writeInstruments", group);
  auto* on = MakeButton("仪器开机", "powerOn", group);
  auto* off = MakeButton("仪器关机", "powerOff", group);
  auto* note =
      new QLabel("（仪器开/关机串口波特率配置模式设为9600/显示模式设为38400）", group);
  note->setWordWrap(true);

  auto* grid = new QGridLayout(group);
  grid->addWidget(list_, 0, 0, 5, 1);
  grid->addWidget(phones, 0, 1);
  grid->addWidget(print, 0, 2);
  grid->addWidget(clearList, 1, 1);
  grid->addWidget(read, 1, 2);
  grid->addWidget(write, 2, 1);
  grid->addWidget(on, 3, 1);
  grid->addWidget(off, 3, 2);
  grid->addWidget(note, 4, 1, 1, 2);
  grid->setColumnStretch(0, 1);

  connect(phones, &QPushButton::clicked, this, &RelayPage::OpenPhones);
  connect(print, &QPushButton::clicked, this, &RelayPage::OpenPrintSettings);
  connect(clearList, &QPushButton::clicked, this, &RelayPage::ClearList);
  connect(read, &QPushButton::clicked, this, &RelayPage::ReadInstruments);
  connect(write, &QPushButton::clicked, this, &RelayPage::WriteInstruments);
  connect(on, &QPushButton::clicked, this, &RelayPage::PowerOn);
  connect(off, &QPushButton::clicked, this, &RelayPage::PowerOff);
  return group;
}

void RelayPage::UpdateAddressControls() {
  const bool off = gprsOff_->isChecked();
  ipMode_->setEnabled(!off);
  domainMode_->setEnabled(!off);
  ip_->setEnabled(!off && ipMode_->isChecked());
  domain_->setEnabled(!off && !ipMode_->isChecked());
}

bool RelayPage::SerialPortOpen() {
  if (Link().serial.IsOpen()) return true;
  ShowOutcomeText(this, kPortOpenFailed);
  return false;
}

std::optional<relay::GprsSettings> RelayPage::CollectSettings() {
  relay::GprsSettings settings;
  const std::optional<int32_t> port = ui::ReadInt(port_);
  const std::optional<int32_t> interval = port ? ui::ReadInt(interval_) : std::nullopt;
  if (!port || !interval) {
    ShowOutcomeText(this, relay::kConfigureFailed);
    return std::nullopt;
  }
  const auto ip = ParseIpv4(ip_->text().toStdString());
  if (!ip) {
    ui::RefuseField(ip_, QString::fromUtf8(kIpInvalid));
    return std::nullopt;
  }
  settings.port = *port;
  settings.interval = *interval;
  settings.ip = *ip;
  settings.sn = sn_->text().trimmed().toStdString();
  settings.domain = domain_->text().toStdString();
  settings.gprsOff = gprsOff_->isChecked();
  settings.domainMode = domainMode_->isChecked();
  return settings;
}

void RelayPage::ReadGprs() {
  const auto result = RunCommand(*this, [](devlink::Channel& c) { return relay::ReadGprs(c); });
  if (result.ok()) {
    const relay::GprsRecord& r = result.value;
    interval_->setText(QString::number(r.interval));
    port_->setText(QString::number(r.port));
    ip_->setText(FromUtf8(FormatIpv4(r.ip)));
    if (r.gprs == 1) {
      gprsOff_->setChecked(false);
      if (r.addressMode == 0) ipMode_->setChecked(true);
      if (r.addressMode == 1) domainMode_->setChecked(true);
    } else if (r.gprs == 0) {
      gprsOff_->setChecked(true);
    }
    UpdateAddressControls();
    sn_->setText(FromUtf8(r.sn));
    domain_->setText(FromUtf8(r.domain));
  }
  Report(this, result.outcome);
}

void RelayPage::WriteGprs() {
  const std::optional<relay::GprsSettings> settings = CollectSettings();
  if (!settings) return;
  Report(this,
         RunCommand(*this, [&](devlink::Channel& c) { return relay::WriteGprs(c, *settings); }),
         {{"interval", interval_}, {"server-port", port_}, {"sn", sn_}, {"domain", domain_}});
}

void RelayPage::CalibrateTime() {
  if (!SerialPortOpen()) return;
  TimeCalibrationDialog dialog(Link(), manualTime_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const QDateTime at = manualTime_.manual ? manualTime_.value : QDateTime::currentDateTime();
  const relay::RelayTime time = FromDateTime(at);
  Report(this, RunCommand(*this, [&](devlink::Channel& c) { return relay::SetTime(c, time); }));
}

void RelayPage::ClearData() {
  // Serial only: over TCP the question would lead nowhere.
  if (Link().tcpMode) return;
  if (!ConfirmClearHistory(this)) return;
  Report(this, RunCommand(*this, [](devlink::Channel& c) { return relay::ClearData(c); }));
}

void RelayPage::ClearList() {
  list_->CommitEditors();
  list_->setRowCount(0);
  for (int row = 0; row < relay::kInstrumentRows; ++row) {
    const int index = list_->AddRow();
    for (int c = 0; c < kColumns; ++c) {
      list_->item(index, c)->setTextAlignment(Qt::AlignCenter);
    }
  }
}

relay::InstrumentTable RelayPage::CollectTable() const {
  list_->CommitEditors();
  relay::InstrumentTable table;
  for (int row = 0; row < relay::kInstrumentRows && row < list_->rowCount(); ++row) {
    table[row] = {list_->IsChecked(row), list_->CellText(row, kIdColumn).toStdString(),
                  list_->CellText(row, kSnColumn).toStdString(),
                  list_->CellText(row, kUpperColumn).toStdString(),
                  list_->CellText(row, kLowerColumn).toStdString()};
  }
  return table;
}

void RelayPage::ShowTable(const relay::InstrumentTable& table) {
  ClearList();
  for (int row = 0; row < relay::kInstrumentRows; ++row) {
    const relay::InstrumentRow& r = table[row];
    list_->SetCellText(row, kIdColumn, FromUtf8(r.id));
    list_->SetCellText(row, kSnColumn, FromUtf8(r.sn));
    list_->SetCellText(row, kUpperColumn, FromUtf8(r.upper));
    list_->SetCellText(row, kLowerColumn, FromUtf8(r.lower));
    list_->SetChecked(row, r.alarm);
  }
}

void RelayPage::ReadInstruments() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& c) { return relay::ReadInstruments(c); });
  if (result.ok()) ShowTable(result.value);
  Report(this, result.outcome);
}

void RelayPage::WriteInstruments() {
  if (!CollectSettings()) return;
  const relay::InstrumentTable table = CollectTable();
  const Outcome outcome =
      RunCommand(*this, [&](devlink::Channel& c) { return relay::WriteInstruments(c, table); });
  // The list shows what the relay now holds: the filled rows without gaps.
  if (outcome.ok) ShowTable(relay::WithoutGaps(table));
  Report(this, outcome, {{"row", list_}});
}

void RelayPage::SwitchPower(relay::Power power) {
  const std::string baud = Link().baudText;
  Report(this, RunCommand(*this, [&](devlink::Channel& c) {
           return relay::SwitchPower(c, power, baud);
         }));
}

void RelayPage::PowerOn() { SwitchPower(relay::Power::On); }
void RelayPage::PowerOff() { SwitchPower(relay::Power::Off); }

void RelayPage::OpenPhones() {
  if (!SerialPortOpen()) return;
  PhoneNumbersDialog dialog(Link(), this);
  dialog.exec();
}

void RelayPage::OpenPrintSettings() {
  // The dialog also works over TCP: only the serial channel needs an open port.
  if (!Link().tcpMode && !SerialPortOpen()) return;
  PrintSettingsDialog dialog(Link(), this);
  dialog.exec();
}

std::vector<std::string> RelayPage::ShowProfile(const Profile& profile) {
  // The page asks the opposite question: "GPRS关闭".
  const ProfileSetter gprs = [this](const Value& value) {
    if (!SameOption(value, true) && !SameOption(value, false)) return false;
    gprsOff_->setChecked(SameOption(value, false));
    return true;
  };
  const std::vector<std::string> notShown = ShowProfileValues(
      profile, {{"gprs",
                 {{"interval", ShowsText(interval_)},
                  {"server-port", ShowsText(port_)},
                  {"sn", ShowsText(sn_)},
                  {"mode", ShowsOneOf({{"ip", ipMode_}, {"domain", domainMode_}})},
                  {"ip", ShowsText(ip_)},
                  {"domain", ShowsText(domain_)},
                  {"gprs", gprs}}}});
  UpdateAddressControls();
  return notShown;
}

}  // namespace pages
