#include "pages/wifi/wifi_page.h"

// Accessible names of the inputs: each takes its caption ("SSID：", "加密方式：", "密    码：",
// "MAC：", "IP 地 址：", "子网掩码：", "网关地址：", "D   N  S："); the four fields of an
// address are "IP地址第1段".., "子网掩码第1段".., "网关地址第1段".., "DNS第1段"... The DHCP
// radios "开" and "关" carry "DHCP：" as their accessible description.

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "pages/kit/page_kit.h"
#include "pages/widgets/ip_address_edit.h"
#include "ui/prompts.h"

namespace pages {

namespace {

// Limits what can be typed to `maxChars` characters, as the platform's text limit does: text
// that a read puts in is shown whole (QLineEdit::setMaxLength would cut it), and the write
// refuses it if it is too long.
QLineEdit* LimitedEdit(const QString& name, QWidget* parent, size_t maxChars) {
  QLineEdit* edit = MakeEdit(name, parent);
  const QRegularExpression upTo(QStringLiteral("(.|\\n){0,%1}").arg(maxChars));
  edit->setValidator(new QRegularExpressionValidator(upTo, edit));
  return edit;
}

}  // namespace

WifiPage::WifiPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName(QStringLiteral("wifiPage"));
  ssid_ = LimitedEdit(QStringLiteral("ssid"), this, wifi::kSsidMaxChars);
  security_ = MakeList(QStringLiteral("security"), this);
  for (const char* mode : wifi::SecurityModes()) security_->addItem(QString::fromUtf8(mode));
  security_->setCurrentIndex(0);
  password_ = LimitedEdit(QStringLiteral("password"), this, wifi::kPasswordMaxChars);
  password_->setAttribute(Qt::WA_InputMethodEnabled, false);
  mac_ = MakeDisplay(QStringLiteral("mac"), this);
  auto* copy = MakeButton(QStringLiteral("复制"), QStringLiteral("copyMac"), this);
  dhcpOn_ = MakeRadio(QStringLiteral("开"), QStringLiteral("dhcpOn"), this);
  dhcpOff_ = MakeRadio(QStringLiteral("关"), QStringLiteral("dhcpOff"), this, true);
  ip_ = new IpAddressEdit(this, QStringLiteral("ipAddress"), QStringLiteral("IP地址"));
  mask_ = new IpAddressEdit(this, QStringLiteral("subnetMask"), QStringLiteral("子网掩码"));
  gateway_ = new IpAddressEdit(this, QStringLiteral("gateway"), QStringLiteral("网关地址"));
  dns_ = new IpAddressEdit(this, QStringLiteral("dns"), QStringLiteral("DNS"));

  auto* grid = new QGridLayout(this);
  int row = 0;
  auto addRow = [&](const QString& caption, QWidget* input) {
    grid->addWidget(MakeCaption(caption, input, this), row, 0);
    grid->addWidget(input, row, 1);
    ++row;
  };
  addRow(QStringLiteral("SSID："), ssid_);
  addRow(QStringLiteral("加密方式："), security_);
  addRow(QStringLiteral("密    码："), password_);
  grid->addWidget(copy, row, 2);
  addRow(QStringLiteral("MAC："), mac_);

  auto* dhcpLabel = new QLabel(QStringLiteral("DHCP："), this);
  dhcpLabel->setBuddy(dhcpOn_);
  auto* radios = new QHBoxLayout;
  for (QRadioButton* radio : {dhcpOn_, dhcpOff_}) {
    radio->setAccessibleDescription(dhcpLabel->text());
    radios->addWidget(radio);
  }
  radios->addStretch(1);
  grid->addWidget(dhcpLabel, row, 0);
  grid->addLayout(radios, row, 1);
  ++row;
  addRow(QStringLiteral("IP 地 址："), ip_);
  addRow(QStringLiteral("子网掩码："), mask_);
  addRow(QStringLiteral("网关地址："), gateway_);
  addRow(QStringLiteral("D   N  S："), dns_);

  auto* read = MakeButton(QStringLiteral("读取"), QStringLiteral("read"), this);
  auto* write = MakeButton(QStringLiteral("设置"), QStringLiteral("write"), this);
  auto* exit = MakeButton(QStringLiteral("退出配置模式"), QStringLiteral("exitConfiguration"), this);
  auto* reset = MakeButton(QStringLiteral("复位模块"), QStringLiteral("resetModule"), this);
  auto* factory = MakeButton(QStringLiteral("恢复出厂设置"), QStringLiteral("factorySettings"), this);
  auto* chains = new QHBoxLayout;
  chains->addWidget(read);
  chains->addWidget(write);
  chains->addStretch(1);
  grid->addLayout(chains, row++, 1);
  auto* controls = new QHBoxLayout;
  controls->addWidget(exit);
  controls->addWidget(reset);
  controls->addWidget(factory);
  controls->addStretch(1);
  grid->addLayout(controls, row++, 0, 1, 3);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(3, 1);

  connect(copy, &QPushButton::clicked, this, &WifiPage::CopyMac);
  connect(read, &QPushButton::clicked, this, &WifiPage::Read);
  connect(write, &QPushButton::clicked, this, &WifiPage::Write);
  connect(exit, &QPushButton::clicked, this,
          [this] { ControlModule(wifi::ModuleControl::ExitConfiguration); });
  connect(reset, &QPushButton::clicked, this,
          [this] { ControlModule(wifi::ModuleControl::Reset); });
  connect(factory, &QPushButton::clicked, this,
          [this] { ControlModule(wifi::ModuleControl::FactorySettings); });
  OnChosen(dhcpOn_, this, [this] { updateWidgets(); });
  OnChosen(dhcpOff_, this, [this] { updateWidgets(); });
  updateWidgets();
}

void WifiPage::updateWidgets() {
  const bool staticAddresses = dhcpOff_->isChecked();
  for (IpAddressEdit* address : {ip_, mask_, gateway_, dns_}) address->setEnabled(staticAddresses);
}

wifi::Settings WifiPage::FromControls() const {
  wifi::Settings settings;
  settings.ssid = ssid_->text().toStdString();
  settings.security = static_cast<uint8_t>(std::max(0, security_->currentIndex()));
  settings.password = password_->text().toStdString();
  settings.dhcp = dhcpOn_->isChecked();
  settings.ip = ip_->Address();
  settings.mask = mask_->Address();
  settings.gateway = gateway_->Address();
  settings.dns = dns_->Address();
  settings.mac = mac_->text().toStdString();
  return settings;
}

void WifiPage::ShowStep(wifi::Step step, const wifi::Settings& sofar) {
  switch (step) {
    case wifi::Step::Security:
      security_->setCurrentIndex(sofar.security);
      break;
    case wifi::Step::Ip:
      ip_->SetAddress(sofar.ip);
      mask_->SetAddress(sofar.mask);
      gateway_->SetAddress(sofar.gateway);
      break;
    case wifi::Step::Dns:
      dns_->SetAddress(sofar.dns);
      break;
    default:
      break;
  }
}

void WifiPage::Read() {
  const auto result = RunCommand(*this, [this](devlink::Channel& c) {
    return wifi::ReadSettings(
        c, [this](wifi::Step step, const wifi::Settings& sofar) { ShowStep(step, sofar); });
  });
  if (result.ok()) {
    const wifi::Settings& read = result.value;
    ssid_->setText(FromUtf8(read.ssid));
    password_->setText(FromUtf8(read.password));
    mac_->setText(FromUtf8(read.mac));
    (read.dhcp ? dhcpOn_ : dhcpOff_)->setChecked(true);
    updateWidgets();
  }
  Report(this, result.outcome);
}

void WifiPage::Write() {
  const wifi::Settings settings = FromControls();
  Report(this,
         RunCommand(*this, [&](devlink::Channel& c) { return wifi::WriteSettings(c, settings); }),
         {{"ssid", ssid_}, {"password", password_}, {"mac", mac_}, {"security", security_}});
}

void WifiPage::CopyMac() { ui::CurrentPrompts().SetClipboardText(mac_->text()); }

void WifiPage::ControlModule(wifi::ModuleControl code) {
  Report(this, RunCommand(*this, [code](devlink::Channel& c) { return wifi::Control(c, code); }));
}

std::vector<std::string> WifiPage::ShowProfile(const Profile& profile) {
  const auto address = [](IpAddressEdit* edit) {
    return ShowsIpv4([edit](const std::array<uint8_t, 4>& ip) { edit->SetAddress(ip); });
  };
  const std::vector<std::string> notShown = ShowProfileValues(
      profile, {{"write",
                 {{"ssid", ShowsText(ssid_)},
                  {"security", ShowsChoice(security_)},
                  {"password", ShowsText(password_)},
                  {"dhcp", ShowsOneOf({{"on", dhcpOn_}, {"off", dhcpOff_}})},
                  {"ip", address(ip_)},
                  {"mask", address(mask_)},
                  {"gateway", address(gateway_)},
                  {"dns", address(dns_)}}}});
  updateWidgets();
  return notShown;
}

}  // namespace pages
