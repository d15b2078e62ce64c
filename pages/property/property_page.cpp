// Accessible names of inputs that have no caption of their own on the page:
//   serverSelector  "服务器"   (the "数据"/"配置" drop-down)
//   ipAddress       "IP地址"   (its four fields: "IP地址第1段" .. "IP地址第4段")
//   domain          "域名地址" (the edit beside the "域名" radio)
#include "pages/property/property_page.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "pages/kit/page_kit.h"
#include "pages/property/property_commands.h"
#include "pages/widgets/ip_address_edit.h"
#include "pages/widgets/range_edit.h"
#include "pages/widgets/sn_widget.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

namespace cmd = pages::property;

// ---- PropertyPage ----

PropertyPage::PropertyPage(devlink::DeviceLink& link, int productVariant, QWidget* parent)
    : Page(link, productVariant, parent) {
  setObjectName("propertyPage");
  auto* layout = new QGridLayout(this);

  auto* snGroup = MakeGroup("SN设置", "snGroup", this);
  auto* snLayout = new QVBoxLayout(snGroup);
  auto* snWidget = new SnWidget(*this, snGroup);
  snWidget->setObjectName("snWidget");
  snLayout->addWidget(snWidget);

  auto* channelGroup = MakeGroup("通道配置", "channelGroup", this);
  BuildChannelGroup(channelGroup);
  auto* printGroup = MakeGroup("打印设置", "printGroup", this);
  BuildPrintGroup(printGroup);
  auto* serverGroup = MakeGroup("服务器配置", "serverGroup", this);
  BuildServerGroup(serverGroup);

  layout->addWidget(snGroup, 0, 0);
  layout->addWidget(printGroup, 0, 1);
  layout->addWidget(channelGroup, 1, 0);
  layout->addWidget(serverGroup, 1, 1);
  layout->setRowStretch(2, 1);

  updateWidgets();
}

void PropertyPage::BuildChannelGroup(QGroupBox* group) {
  auto* grid = new QGridLayout(group);

  channelNumber_ = MakeList("channelNumber", group);
  for (int i = 1; i <= kChannelCount; ++i) channelNumber_->addItem(QString::number(i));
  channelNumber_->setCurrentIndex(0);
  grid->addWidget(MakeCaption("通道号:", channelNumber_, group), 0, 0);
  grid->addWidget(channelNumber_, 0, 1);

  channelRead_ = MakeButton("读配置", "channelRead", group);
  channelWrite_ = MakeButton("写配置", "channelWrite", group);
  protectionRead_ = MakeButton("读保护值", "protectionRead", group);
  protectionWrite_ = MakeButton("写保护值", "protectionWrite", group);
  auto* buttons = new QHBoxLayout;
  for (auto* b : {channelRead_, channelWrite_, protectionRead_, protectionWrite_}) {
    buttons->addWidget(b);
  }
  grid->addLayout(buttons, 0, 2, 1, 2);

  soundLight_ = MakeCheck("声光", "soundLight", group);
  sms_ = MakeCheck("短信", "sms", group);
  grid->addWidget(soundLight_, 1, 1);
  grid->addWidget(sms_, 1, 2);

  // Card IDs are hex numbers ("0a0b0c0d" comes back from the instrument), so the field takes
  // hex digits.
  cardId_ = MakeEdit("cardId", group);
  cardId_->setMaxLength(static_cast<int>(cmd::kCardIdChars));
  cardId_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,8}"), cardId_));
  grid->addWidget(MakeCaption("卡片ID", cardId_, group), 2, 0);
  grid->addWidget(cardId_, 2, 1);

  sn_ = MakeEdit("sn", group);
  sn_->setMaxLength(static_cast<int>(cmd::kSnChars));
  grid->addWidget(MakeCaption("SN号", sn_, group), 2, 2);
  grid->addWidget(sn_, 2, 3);

  channelType_ = MakeList("channelType", group);
  for (const auto& type : cmd::ChannelTypes()) {
    channelType_->addItem(QString::fromUtf8(type.text.data(), static_cast<qsizetype>(type.text.size())),
                          type.code);
  }
  channelType_->setCurrentIndex(-1);
  channelType_->view()->setMinimumWidth(150);
  grid->addWidget(MakeCaption("通道类型", channelType_, group), 3, 0);
  grid->addWidget(channelType_, 3, 1, 1, 3);

  upper_ = new RangeEdit(group);
  upper_->setObjectName("upper");
  lower_ = new RangeEdit(group);
  lower_->setObjectName("lower");
  for (auto* edit : {upper_, lower_}) {
    edit->setMaxLength(7);
    edit->setText(FromUtf8(cmd::FormatLimit(0.0)));
  }
  grid->addWidget(MakeCaption("上限", upper_, group), 4, 0);
  grid->addWidget(upper_, 4, 1);
  grid->addWidget(MakeCaption("下限", lower_, group), 4, 2);
  grid->addWidget(lower_, 4, 3);

  connect(channelRead_, &QPushButton::clicked, this, &PropertyPage::readChannel);
  connect(channelWrite_, &QPushButton::clicked, this, &PropertyPage::writeChannel);
  connect(protectionRead_, &QPushButton::clicked, this, &PropertyPage::readProtection);
  connect(protectionWrite_, &QPushButton::clicked, this, &PropertyPage::writeProtection);
}

void PropertyPage::BuildPrintGroup(QGroupBox* group) {
  auto* grid = new QGridLayout(group);
  company_ = MakeEdit("company", group);
  company_->setMaxLength(static_cast<int>(cmd::kCompanyMaxChars));
  companyRead_ = MakeButton("读配置", "companyRead", group);
  companyWrite_ = MakeButton("写配置", "companyWrite", group);
  grid->addWidget(MakeCaption("公司名称:", company_, group), 0, 0);
  grid->addWidget(company_, 0, 1);
  grid->addWidget(companyRead_, 0, 2);
  grid->addWidget(companyWrite_, 0, 3);

  plate_ = MakeEdit("plate", group);
  plate_->setMaxLength(static_cast<int>(cmd::kPlateMaxChars));
  plateRead_ = MakeButton("读配置", "plateRead", group);
  plateWrite_ = MakeButton("写配置", "plateWrite", group);
  grid->addWidget(MakeCaption("车 牌 号:", plate_, group), 1, 0);
  grid->addWidget(plate_, 1, 1);
  grid->addWidget(plateRead_, 1, 2);
  grid->addWidget(plateWrite_, 1, 3);

  connect(companyRead_, &QPushButton::clicked, this, &PropertyPage::readCompany);
  connect(companyWrite_, &QPushButton::clicked, this, &PropertyPage::writeCompany);
  connect(plateRead_, &QPushButton::clicked, this, &PropertyPage::readPlate);
  connect(plateWrite_, &QPushButton::clicked, this, &PropertyPage::writePlate);
}

void PropertyPage::BuildServerGroup(QGroupBox* group) {
  auto* grid = new QGridLayout(group);
  serverSelector_ = MakeList("serverSelector", group);
  serverSelector_->setAccessibleName("服务器");
  serverSelector_->addItems({"数据", "配置"});
  serverSelector_->setCurrentIndex(0);
  grid->addWidget(serverSelector_, 0, 0, 1, 2);

  ipMode_ = MakeRadio("IP", "ipMode", group, true);
  domainMode_ = MakeRadio("域名", "domainMode", group);
  ipAddress_ = new IpAddressEdit(group);
  domain_ = MakeEdit("domain", group);
  domain_->setAccessibleName("域名地址");
  domain_->setMaxLength(static_cast<int>(cmd::kDomainMaxChars));
  grid->addWidget(ipMode_, 1, 0);
  grid->addWidget(ipAddress_, 1, 1);
  grid->addWidget(domainMode_, 2, 0);
  grid->addWidget(domain_, 2, 1);

  port_ = MakeEdit("port", group);
  port_->setMaxLength(5);
  grid->addWidget(MakeCaption("端口：", port_, group), 3, 0);
  grid->addWidget(port_, 3, 1);

  serverRead_ = MakeButton("读配置", "serverRead", group);
  serverWrite_ = MakeButton("写配置", "serverWrite", group);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(serverRead_);
  buttons->addWidget(serverWrite_);
  grid->addLayout(buttons, 4, 0, 1, 2);

  OnChosen(ipMode_, this, [this] { updateWidgets(); });
  OnChosen(domainMode_, this, [this] { updateWidgets(); });
  connect(serverRead_, &QPushButton::clicked, this, &PropertyPage::readServer);
  connect(serverWrite_, &QPushButton::clicked, this, &PropertyPage::writeServer);
}

void PropertyPage::updateWidgets() {
  ipAddress_->setEnabled(ipMode_->isChecked());
  domain_->setEnabled(domainMode_->isChecked());
  // Product variants -2 and 7 serve recorders without protection values.
  bool protection = ProductVariant() != -2 && ProductVariant() != 7;
  protectionRead_->setVisible(protection);
  protectionWrite_->setVisible(protection);
}

int PropertyPage::SelectedChannel() const { return channelNumber_->currentIndex() + 1; }

void PropertyPage::Show(const Outcome& outcome) {
  Report(this, outcome,
         {{cmd::kFieldChannel, channelNumber_},
          {cmd::kFieldCardId, cardId_},
          {cmd::kFieldSn, sn_},
          {cmd::kFieldType, channelType_},
          {cmd::kFieldUpper, upper_},
          {cmd::kFieldDomain, domain_},
          {cmd::kFieldPort, port_},
          {cmd::kFieldCompany, company_},
          {cmd::kFieldPlate, plate_}});
}

void PropertyPage::readChannel() {
  const auto result = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::ReadChannel(channel, SelectedChannel());
  });
  if (result.ok()) {
    const cmd::ChannelConfig& config = result.value;
    channelType_->setCurrentIndex(cmd::ChannelTypePosition(config.typeCode).value_or(-1));
    soundLight_->setChecked(config.soundLight);
    sms_->setChecked(config.sms);
    cardId_->setText(FromUtf8(config.cardId));
    sn_->setText(FromUtf8(config.sn));
    upper_->setText(FromUtf8(cmd::FormatLimit(config.upper)));
    lower_->setText(FromUtf8(cmd::FormatLimit(config.lower)));
  }
  Show(result.outcome);
}

void PropertyPage::writeChannel() {
  std::optional<double> upper = ui::ReadNumber(upper_);
  if (!upper) return;
  std::optional<double> lower = ui::ReadNumber(lower_);
  if (!lower) return;
  cmd::ChannelWrite write;
  write.channel = SelectedChannel();
  if (channelType_->currentIndex() >= 0) write.typeCode = channelType_->currentData().toInt();
  write.soundLight = soundLight_->isChecked();
  write.sms = sms_->isChecked();
  write.cardId = cardId_->text().toStdString();
  write.sn = sn_->text().toStdString();
  write.upper = *upper;
  write.lower = *lower;
  Show(RunCommand(*this,
                  [&](devlink::Channel& channel) { return cmd::WriteChannel(channel, write); }));
}

void PropertyPage::readProtection() {
  const auto result = RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::ReadProtection(channel, SelectedChannel());
  });
  if (result.ok()) {
    upper_->setText(FromUtf8(cmd::FormatLimit(result.value.upper)));
    lower_->setText(FromUtf8(cmd::FormatLimit(result.value.lower)));
  }
  Show(result.outcome);
}

void PropertyPage::writeProtection() {
  std::optional<double> upper = ui::ReadNumber(upper_);
  if (!upper) return;
  std::optional<double> lower = ui::ReadNumber(lower_);
  if (!lower) return;
  Show(RunCommand(*this, [&](devlink::Channel& channel) {
    return cmd::WriteProtection(channel, SelectedChannel(), {*upper, *lower});
  }));
}

void PropertyPage::readCompany() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& channel) { return cmd::ReadCompany(channel); });
  if (result.ok()) company_->setText(FromUtf8(result.value.text));
  Show(result.outcome);
}

void PropertyPage::writeCompany() {
  const std::string text = company_->text().toStdString();
  Show(RunCommand(*this,
                  [&](devlink::Channel& channel) { return cmd::WriteCompany(channel, text); }));
}

void PropertyPage::readPlate() {
  const auto result =
      RunCommand(*this, [](devlink::Channel& channel) { return cmd::ReadPlate(channel); });
  if (result.ok()) plate_->setText(FromUtf8(result.value.text));
  Show(result.outcome);
}

void PropertyPage::writePlate() {
  const std::string text = plate_->text().toStdString();
  Show(RunCommand(*this,
                  [&](devlink::Channel& channel) { return cmd::WritePlate(channel, text); }));
}

void PropertyPage::readServer() {
  const cmd::Server server =
      serverSelector_->currentIndex() == 1 ? cmd::Server::Config : cmd::Server::Data;
  const auto result = RunCommand(
      *this, [&](devlink::Channel& channel) { return cmd::ReadServer(channel, server); });
  if (result.ok()) {
    const cmd::ServerConfig& config = result.value;
    ipAddress_->SetAddress(config.ip);
    port_->setText(QString::number(config.port));
    domain_->setText(FromUtf8(config.domain));
    (config.domainMode ? domainMode_ : ipMode_)->setChecked(true);
    updateWidgets();
  }
  Show(result.outcome);
}

void PropertyPage::writeServer() {
  cmd::ServerWrite write;
  write.server = serverSelector_->currentIndex() == 1 ? cmd::Server::Config : cmd::Server::Data;
  write.domainMode = domainMode_->isChecked();
  write.ip = ipAddress_->Address();
  write.domain = domain_->text().toStdString();
  write.portText = port_->text().toStdString();
  Show(RunCommand(*this,
                  [&](devlink::Channel& channel) { return cmd::WriteServer(channel, write); }));
}

std::vector<std::string> PropertyPage::ShowProfile(const Profile& profile) {
  // The channel's configuration and its protection values share the limit edits.
  SharedControls shared;
  const auto limit = [&shared](QLineEdit* edit) {
    return shared.Shows(edit, ShowsNumber(edit, cmd::FormatLimit));
  };
  const std::string channel = std::to_string(SelectedChannel());
  const std::string server = serverSelector_->currentIndex() == 1 ? "config" : "data";
  std::vector<GroupControls> controls = {
      {"channel:" + channel,
       {{cmd::kFieldChannel, PickedByPage()},
        {cmd::kFieldType, ShowsChoice(channelType_)},
        {cmd::kFieldCardId, ShowsText(cardId_)},
        {cmd::kFieldSn, ShowsText(sn_)},
        {cmd::kFieldUpper, limit(upper_)},
        {"lower", limit(lower_)},
        {"sound-light", ShowsSwitch(soundLight_)},
        {"sms", ShowsSwitch(sms_)}}},
      {"company", {{cmd::kFieldCompany, ShowsText(company_)}}},
      {"plate", {{cmd::kFieldPlate, ShowsText(plate_)}}},
      {"server:" + server,
       {{"server", PickedByPage()},
        {"mode", ShowsOneOf({{"ip", ipMode_}, {"domain", domainMode_}})},
        {"ip", ShowsIpv4([this](const std::array<uint8_t, 4>& ip) { ipAddress_->SetAddress(ip); })},
        {cmd::kFieldDomain, ShowsText(domain_)},
        {cmd::kFieldPort, ShowsText(port_)}}}};
  if (protectionWrite_->isVisibleTo(this)) {
    controls.push_back({"protection:" + channel,
                        {{cmd::kFieldChannel, PickedByPage()},
                         {cmd::kFieldUpper, limit(upper_)},
                         {"lower", limit(lower_)}}});
  }
  const std::vector<std::string> notShown = ShowProfileValues(profile, controls);
  updateWidgets();
  return notShown;
}

}  // namespace pages
