// Accessible names of the panel's inputs that carry no caption of their own:
//   addressField "地址"    portList "串口"    baudList "波特率"
//   ipField "IP地址"       labelField "标签"  clockField "时钟"
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <ctime>
#include <initializer_list>

#include "app/app_icon.h"
#include "app/page_factory.h"
#include "app/panel_rules.h"
#include "app/traffic_window.h"
#include "app/variants.h"
#include "pages/widgets/version_read.h"
#include "pages/kit/page_kit.h"
#include "link/bluetooth.h"
#include "link/exchange.h"
#include "pages/kit/local_files.h"
#include "pages/kit/page.h"
#include "pages/kit/value_label.h"
#include "ui/fields.h"
#include "ui/prompts.h"
#include "ui/wait_cursor.h"

namespace app {
namespace {

const QColor kBandColour(102, 102, 102);
const QColor kTextColour(0, 255, 200);
constexpr int kClockIntervalMs = 1000;
constexpr int kMacFieldLength = 18;

const char kAboutEntry[] = "关于 TOOL(&A)...";
const char kConnect[] = "连接";
const char kDisconnect[] = "断开";
const char kOpen[] = "打开";
const char kClose[] = "关闭";

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

QLabel* BandLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QLineEdit* Field(QWidget* parent, const char* name, const QString& accessibleName,
                 const QString& pattern, int width) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setAccessibleName(accessibleName);
  if (!pattern.isEmpty()) {
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), field));
  }
  field->setFixedWidth(width);
  return field;
}

// Keeps the window painted while an adapter command waits, without taking user input.
void KeepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

const char kProfileSaveCaption[] = "保存配置";
const char kProfileLoadCaption[] = "载入配置";
const char kProfileWriteCaption[] = "写入全部";
const char kProfileFilter[] = "配置文件 (*.json);;所有文件 (*)";
const char kNoProfileTip[] = "此页面没有可保存或载入的配置";
const char kSaveTip[] = "读取当前页面仪表的全部配置，保存为配置文件";
const char kLoadTip[] = "把配置文件载入当前页面的输入框（不写入仪表）";
const char kWriteTip[] = "把载入的配置写入仪表，并逐项读回核对";
const char kWriteWaitsTip[] = "先用“载入配置”把配置载入当前页面";
const char kProfileShown[] =
    "配置已载入页面，尚未写入仪表。\n请用各组的写按钮或“写入全部”写入。";
const char kProfileNotShown[] = "以下数值未在本页面显示（“写入全部”仍会写入）：";
const char kReadingProfile[] = "正在读取配置…";
const char kWritingProfile[] = "正在写入配置并读回核对…";
constexpr int kProgressDelayMs = 400;
constexpr size_t kNotShownListed = 12;

// The outcome with its detail (why a file or an exchange failed) under the message.
pages::Outcome WithDetail(pages::Outcome outcome) {
  if (!outcome.detail.empty()) outcome.message += "\n" + outcome.detail;
  return outcome;
}

// Runs `work(channel, progress)` over the link with the wait cursor; a progress bar shows once
// the work takes longer than a moment (a 32-channel instrument needs some 64 exchanges).
template <class Work>
auto RunWithProgress(QWidget* parent, devlink::DeviceLink& link, const QString& label,
                     Work&& work) {
  ui::WaitCursor wait;
  QProgressDialog dialog(label, QString(), 0, 0, parent);
  dialog.setObjectName("profileProgress");
  dialog.setWindowTitle(parent->windowTitle());
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setCancelButton(nullptr);
  dialog.setMinimumDuration(kProgressDelayMs);
  dialog.setAutoReset(false);
  dialog.setAutoClose(false);
  devlink::LinkChannel channel(link);
  const pages::ProgressSink progress = [&dialog](int64_t current, int64_t maximum) {
    dialog.setMaximum(static_cast<int>(maximum));
    dialog.setValue(static_cast<int>(current));  // a modal dialog repaints here
  };
  return work(channel, progress);
}

// A file name for a snapshot: the page, the instrument's SN when it has one, the time.
QString SnapshotFileName(const pages::Profile& profile) {
  QString name = QString::fromStdString(profile.page);
  for (const auto& [key, value] : profile.instrument) {
    if (key == "sn") {
      QString sn = QString::fromStdString(pages::OptionText(value));
      sn.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
      if (!sn.isEmpty()) name += "-" + sn;
    }
  }
  return name + "-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss") + ".json";
}

}  // namespace

MainWindow::MainWindow(devlink::DeviceLink& link, const CommandLine& commandLine, QWidget* parent)
    : QDialog(parent), link_(link), commandLine_(commandLine) {
  setObjectName("mainWindow");
  setWindowTitle(kWindowCaption);
  setWindowIcon(AppIcon());
  setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
  resize(1040, 720);

  BuildPanel();
  // The traffic log outlives this window and every worker thread; it keeps entries only while
  // the traffic window is open.
  if (link_.traffic == nullptr) link_.traffic = &ProgramTrafficLog();

  // Address field, label.
  addressField_->setText("1");
  if (!commandLine_.label.empty()) labelField_->setText(Q(commandLine_.label));

  // Port list, then the link's values in the controls.
  FillPortList(commandLine_.port ? Q(*commandLine_.port) : QString());
  ApplyVariantLink(commandLine_.variant, link_);
  // Whichever thread finds the port gone (a page's exchange, the download worker) only posts the
  // notice here; the window then shows the port closed.
  link_.serial.SetVanishedHandler([this](const std::string&) {
    QMetaObject::invokeMethod(this, &MainWindow::OnPortVanished, Qt::QueuedConnection);
  });
  link_.fast = commandLine_.fast;
  fastBox_->setChecked(link_.fast);
  connect(fastBox_, &QCheckBox::toggled, this, [this](bool on) { link_.fast = on; });
  baudList_->setCurrentIndex(VariantBaudIndex(commandLine_.variant));

  clockTimer_ = new QTimer(this);
  clockTimer_->setInterval(kClockIntervalMs);
  connect(clockTimer_, &QTimer::timeout, this, &MainWindow::UpdateClock);
  clockTimer_->start();
  UpdateClock();

  BuildPages();

  link_.mode = devlink::AddressingMode::Multi;
  ShowLinkInControls();
  if (VariantStartMode(commandLine_.variant) == devlink::AddressingMode::Bluetooth) {
    bluetoothRadio_->setChecked(true);
    OnBluetoothMode();
  } else {
    multiRadio_->setChecked(true);
    OnMultiMode();
  }
  if (link_.tcpMode) {
    ipRadio_->setChecked(true);
    OnIpChannel();
  } else {
    serialRadio_->setChecked(true);
    OnSerialChannel();
  }
  if (tabs_->count() > 0) tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::OnTabChanged);
  OnTabChanged(tabs_->currentIndex());

  // The address field's rule only applies to edits made from here on.
  connect(addressField_, &QLineEdit::textChanged, this, &MainWindow::OnAddressEdited);
}

MainWindow::~MainWindow() {
  // The handler is called under the port's lock; clearing it under that lock means no thread
  // is left to post to this window.
  link_.serial.SetVanishedHandler({});
}

void MainWindow::OnPortVanished() {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* page = qobject_cast<pages::Page*>(tabs_->widget(i))) page->SerialPortClosing();
  }
  link_.serial.ClosePort();
  UpdateWidgets();
}

void MainWindow::BuildPanel() {
  band_ = new QWidget(this);
  band_->setObjectName("connectionPanel");
  band_->setFixedHeight(kBandHeight);

  // About entry: Linux desktops have no system menu a program can extend, so it sits in the
  // band's context menu and behind the "?" button at the band's right end.
  auto* aboutAction = new QAction(kAboutEntry, this);
  aboutAction->setObjectName("aboutAction");
  connect(aboutAction, &QAction::triggered, this, &MainWindow::ShowAbout);
  band_->setContextMenuPolicy(Qt::ActionsContextMenu);
  band_->addAction(aboutAction);

  // Row 1: addressing mode, address, versions or Bluetooth controls, label, clock.
  singleRadio_ = pages::MakeRadio("单机", "singleMode", band_);
  multiRadio_ = pages::MakeRadio("多机", "multiMode", band_);
  bluetoothRadio_ = pages::MakeRadio("蓝牙", "bluetoothMode", band_);
  auto* modeGroup = new QButtonGroup(this);
  modeGroup->addButton(singleRadio_, 0);
  modeGroup->addButton(multiRadio_, 1);
  modeGroup->addButton(bluetoothRadio_, 2);
  addressField_ = Field(band_, "addressField", "地址", "[0-9]*", 48);
  hardwareLabel_ = BandLabel("硬件版本号：", band_, "hardwareLabel");
  hardwareValue_ = new pages::ValueLabel("硬件版本号：", "hardwareVersion", band_, "1.00");
  softwareLabel_ = BandLabel("软件版本号：", band_, "softwareLabel");
  softwareValue_ = new pages::ValueLabel("软件版本号：", "softwareVersion", band_, "1.00");
  hardwareLabel_->setBuddy(hardwareValue_);
  softwareLabel_->setBuddy(softwareValue_);
  versionRead_ = pages::MakeButton("读取", "versionRead", band_);
  macLabel_ = BandLabel("MAC:", band_, "macLabel");
  macField_ = Field(band_, "macField", "MAC:", QString(), 150);
  macField_->setMaxLength(kMacFieldLength);
  macLabel_->setBuddy(macField_);
  connectButton_ = pages::MakeButton(kConnect, "adapterConnect", band_);
  macRead_ = pages::MakeButton("读取", "macRead", band_);
  labelField_ = new pages::ValueLabel("标签", "labelField", band_, "温湿度仪表配置工具");
  clockField_ = new pages::ValueLabel("时钟", "clockField", band_);
  clockField_->setMinimumWidth(170);

  // Row 2: channel, serial port, baud, open/close, delay, IP, port, OK.
  serialRadio_ = pages::MakeRadio("选择串口", "serialChannel", band_);
  ipRadio_ = pages::MakeRadio("选择IP", "ipChannel", band_);
  auto* channelGroup = new QButtonGroup(this);
  channelGroup->addButton(serialRadio_, 0);
  channelGroup->addButton(ipRadio_, 1);
  portList_ = new QComboBox(band_);
  portList_->setObjectName("portList");
  portList_->setAccessibleName("串口");
  portList_->setEditable(true);
  portList_->setInsertPolicy(QComboBox::NoInsert);
  portList_->setMinimumWidth(130);
  baudList_ = new QComboBox(band_);
  baudList_->setObjectName("baudList");
  baudList_->setAccessibleName("波特率");
  for (std::string_view rate : kBaudRates) baudList_->addItem(Q(rate));
  openButton_ = pages::MakeButton(kOpen, "openClose", band_);
  delayLabel_ = BandLabel("超时(ms)", band_, "delayLabel");
  delayField_ = Field(band_, "delayField", "超时(ms)", "[0-9]{0,9}", 60);
  delayLabel_->setBuddy(delayField_);
  // A reply is taken the moment it is whole; the delay stays the longest wait.
  fastBox_ = pages::MakeCheck("快速", "fastMode", band_);
  fastBox_->setToolTip("收到完整回复即结束等待（超时仍为最长等待时间）");
  ipField_ = Field(band_, "ipField", "IP地址",
                   "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?"
                   "(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?){0,3}",
                   120);
  tcpPortLabel_ = BandLabel("端口", band_, "tcpPortLabel");
  tcpPortField_ = Field(band_, "tcpPortField", "端口",
                        "(6553[0-5]|655[0-2][0-9]|65[0-4][0-9]{2}|6[0-4][0-9]{3}|[1-5][0-9]{4}|"
                        "[0-9]{1,4})?",
                        60);
  tcpPortLabel_->setBuddy(tcpPortField_);
  ipOk_ = pages::MakeButton("OK", "ipOk", band_);
  trafficButton_ = pages::MakeButton("通讯记录", "trafficOpen", band_);
  profileSave_ = pages::MakeButton(kProfileSaveCaption, "profileSave", band_);
  profileLoad_ = pages::MakeButton(kProfileLoadCaption, "profileLoad", band_);
  profileWrite_ = pages::MakeButton(kProfileWriteCaption, "profileWrite", band_);
  aboutButton_ = new QToolButton(band_);
  aboutButton_->setObjectName("aboutButton");
  aboutButton_->setText("?");
  aboutButton_->setToolTip(kAboutEntry);
  aboutButton_->setAccessibleName(kAboutEntry);
  connect(aboutButton_, &QToolButton::clicked, this, &MainWindow::ShowAbout);

  // Static texts and radios in the band: transparent, in the panel's text colour.
  for (QWidget* w : std::initializer_list<QWidget*>{
           singleRadio_, multiRadio_, bluetoothRadio_, hardwareLabel_, hardwareValue_,
           softwareLabel_, softwareValue_, macLabel_, labelField_, clockField_, serialRadio_,
           ipRadio_, delayLabel_, tcpPortLabel_}) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, kTextColour);
    palette.setColor(QPalette::Text, kTextColour);
    w->setPalette(palette);
    w->setAutoFillBackground(false);
  }

  auto* row1 = new QHBoxLayout;
  row1->setSpacing(6);
  for (QWidget* w : std::initializer_list<QWidget*>{
           singleRadio_, multiRadio_, bluetoothRadio_, addressField_, hardwareLabel_,
           hardwareValue_, softwareLabel_, softwareValue_, versionRead_, macLabel_, macField_,
           connectButton_, macRead_}) {
    row1->addWidget(w);
  }
  // The profile buttons act on the current page; as wide as their captions, so the band keeps
  // the window's first width.
  row1->addSpacing(6);
  for (QPushButton* button : {profileSave_, profileLoad_, profileWrite_}) {
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 20);
    row1->addWidget(button);
  }
  row1->addStretch(1);
  row1->addWidget(labelField_);
  row1->addSpacing(12);
  row1->addWidget(clockField_);

  auto* row2 = new QHBoxLayout;
  row2->setSpacing(6);
  for (QWidget* w : std::initializer_list<QWidget*>{serialRadio_, portList_, baudList_,
                                                    openButton_, delayLabel_, delayField_,
                                                    fastBox_}) {
    row2->addWidget(w);
  }
  row2->addSpacing(16);
  for (QWidget* w : std::initializer_list<QWidget*>{ipRadio_, ipField_, tcpPortLabel_,
                                                    tcpPortField_, ipOk_}) {
    row2->addWidget(w);
  }
  row2->addStretch(1);
  row2->addWidget(trafficButton_);
  row2->addWidget(aboutButton_);

  auto* bandLayout = new QVBoxLayout(band_);
  bandLayout->setContentsMargins(8, 4, 8, 4);
  bandLayout->setSpacing(2);
  bandLayout->addLayout(row1);
  bandLayout->addLayout(row2);

  // The dialog's default button is a hidden one without a handler: Enter clicks nothing, and no
  // visible button is drawn as the one Enter would press.
  auto* enterSink = new QPushButton("Button1", this);
  enterSink->setObjectName("enterSink");
  enterSink->setDefault(true);
  enterSink->hide();

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("pages");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(band_);
  auto* tabArea = new QVBoxLayout;
  tabArea->setContentsMargins(6, 6, 6, 6);
  tabArea->addWidget(tabs_);
  layout->addLayout(tabArea, 1);

  // The radios act on their state, so a keyboard or an accessibility tool choosing one works as
  // a click does.
  pages::OnChosen(singleRadio_, this, [this] { OnSingleMode(); });
  pages::OnChosen(multiRadio_, this, [this] { OnMultiMode(); });
  pages::OnChosen(bluetoothRadio_, this, [this] { OnBluetoothMode(); });
  pages::OnChosen(serialRadio_, this, [this] { OnSerialChannel(); });
  pages::OnChosen(ipRadio_, this, [this] { OnIpChannel(); });
  connect(openButton_, &QPushButton::clicked, this, &MainWindow::OnOpenClose);
  connect(ipOk_, &QPushButton::clicked, this, &MainWindow::OnIpOk);
  connect(versionRead_, &QPushButton::clicked, this, &MainWindow::OnReadVersions);
  connect(connectButton_, &QPushButton::clicked, this, &MainWindow::OnConnectAdapter);
  connect(macRead_, &QPushButton::clicked, this, &MainWindow::OnReadAdapterMac);
  connect(trafficButton_, &QPushButton::clicked, this, &MainWindow::ShowTraffic);
  connect(profileSave_, &QPushButton::clicked, this, &MainWindow::SaveCurrentProfile);
  connect(profileLoad_, &QPushButton::clicked, this, &MainWindow::LoadProfileIntoPage);
  connect(profileWrite_, &QPushButton::clicked, this, &MainWindow::WriteLoadedProfile);
}

pages::Page* MainWindow::CurrentPage() const {
  return qobject_cast<pages::Page*>(tabs_->currentWidget());
}

const pages::CommandSet* MainWindow::CurrentCommands() const {
  const int index = tabs_->currentIndex();
  if (index < 0 || static_cast<size_t>(index) >= pageKinds_.size()) return nullptr;
  const pages::CommandSet* set = FamilyCommands(pageKinds_[static_cast<size_t>(index)]);
  return set != nullptr && set->profile ? set : nullptr;
}

void MainWindow::UpdateProfileButtons() {
  if (profileSave_ == nullptr || tabs_ == nullptr) return;
  const bool keeps = CurrentCommands() != nullptr && CurrentPage() != nullptr;
  // While a worker thread uses the link, no profile is read or written over it.
  profileSave_->setEnabled(keeps && !linkInUse_);
  profileLoad_->setEnabled(keeps);
  profileSave_->setToolTip(keeps ? kSaveTip : kNoProfileTip);
  profileLoad_->setToolTip(keeps ? kLoadTip : kNoProfileTip);
  const bool loaded = keeps && loadedProfiles_.count(CurrentPage()) > 0;
  profileWrite_->setEnabled(loaded && !linkInUse_);
  profileWrite_->setToolTip(!keeps ? kNoProfileTip : loaded ? kWriteTip : kWriteWaitsTip);
}

void MainWindow::SaveCurrentProfile() {
  pages::Page* page = CurrentPage();
  const pages::CommandSet* set = CurrentCommands();
  if (page == nullptr || set == nullptr) return;
  const pages::Result<pages::Profile> snapshot =
      RunWithProgress(this, link_, kReadingProfile,
                      [&](devlink::Channel& channel, const pages::ProgressSink& progress) {
                        return pages::TakeSnapshot(*set, channel, progress);
                      });
  if (!snapshot.ok()) {
    pages::Report(page, WithDetail(snapshot.outcome));
    return;
  }
  const QString path = ui::CurrentPrompts().SaveFileName(this, kProfileSaveCaption, kProfileFilter,
                                                          SnapshotFileName(snapshot.value));
  if (path.isEmpty()) return;
  pages::Report(page, WithDetail(pages::SaveProfile(snapshot.value, path.toStdString())));
}

void MainWindow::LoadProfileIntoPage() {
  pages::Page* page = CurrentPage();
  const pages::CommandSet* set = CurrentCommands();
  if (page == nullptr || set == nullptr) return;
  const QString path = ui::CurrentPrompts().OpenFileName(this, kProfileLoadCaption, kProfileFilter);
  if (path.isEmpty()) return;
  pages::Result<pages::Profile> profile = pages::LoadProfile(path.toStdString());
  if (!profile.ok()) {
    pages::Report(page, WithDetail(profile.outcome));
    return;
  }
  // A profile of another page or with a bad value is refused whole: the controls stay as they
  // are and a profile loaded before stays the one "写入全部" writes.
  const pages::Outcome checked = pages::CheckProfile(*set, profile.value);
  if (!checked.ok) {
    pages::Outcome refused = WithDetail(checked);
    refused.field.clear();
    pages::Report(page, refused);
    return;
  }
  const std::vector<std::string> notShown = page->ShowProfile(profile.value);
  loadedProfiles_[page] = std::move(profile.value);
  UpdateProfileButtons();
  QString message = kProfileShown;
  if (!notShown.empty()) {
    // A profile of 32 channels on a page that shows one: the first names and the count.
    QStringList names;
    for (size_t i = 0; i < notShown.size() && i < kNotShownListed; ++i) names << Q(notShown[i]);
    message += QString("\n\n") + kProfileNotShown + names.join("，");
    if (notShown.size() > kNotShownListed) message += QString("…（共%1项）").arg(notShown.size());
  }
  ui::ShowMessage(page, message);
}

void MainWindow::WriteLoadedProfile() {
  pages::Page* page = CurrentPage();
  const pages::CommandSet* set = CurrentCommands();
  if (page == nullptr || set == nullptr) return;
  const auto loaded = loadedProfiles_.find(page);
  if (loaded == loadedProfiles_.end()) return;
  const pages::Outcome applied =
      RunWithProgress(this, link_, kWritingProfile,
                      [&](devlink::Channel& channel, const pages::ProgressSink& progress) {
                        return pages::ApplyProfile(*set, channel, loaded->second, {}, progress);
                      });
  pages::Outcome shown = WithDetail(applied);
  shown.field.clear();
  pages::Report(page, shown);
}

void MainWindow::ShowTraffic() {
  if (trafficWindow_ == nullptr) {
    trafficWindow_ = new TrafficWindow(ProgramTrafficLog(), this);
  }
  trafficWindow_->show();
  trafficWindow_->raise();
  trafficWindow_->activateWindow();
}

void MainWindow::BuildPages() {
  for (int kind : VariantPages(commandLine_.variant)) {
    QWidget* page = CreatePage(kind, link_, commandLine_.variant, tabs_);
    page->setObjectName(QString("page%1").arg(kind));
    if (auto* reporting = qobject_cast<pages::Page*>(page)) {
      connect(reporting, &pages::Page::deviceAddressReported, this,
              &MainWindow::ShowReportedAddress);
      // A page found the instrument's baud rate: the list shows it (matched regardless of case),
      // and the panel shows the port as the page left it.
      connect(reporting, &pages::Page::serialLineChanged, this, [this] { UpdateWidgets(); });
      connect(reporting, &pages::Page::linkInUse, this, [this](bool inUse) {
        linkInUse_ = inUse;
        UpdateWidgets();
      });
      connect(reporting, &pages::Page::baudRateReported, this, [this](const QString& baud) {
        const int index = baudList_->findText(baud, Qt::MatchFixedString);
        if (index >= 0) baudList_->setCurrentIndex(index);
        UpdateWidgets();
      });
    }
    tabs_->addTab(page, Q(PageCaption(kind)));
    pageKinds_.push_back(kind);
  }
}

void MainWindow::FillPortList(const QString& preselected) {
  ports_ = devlink::ListPorts();
  for (const auto& port : ports_) portList_->addItem(Q(port.name), Q(port.path));
  if (!preselected.isEmpty()) {
    int index = portList_->findData(preselected);
    if (index < 0) {
      portList_->addItem(preselected, preselected);
      index = portList_->count() - 1;
    }
    portList_->setCurrentIndex(index);
  } else if (portList_->count() > 0) {
    portList_->setCurrentIndex(0);
  }
}

void MainWindow::ShowLinkInControls() {
  delayField_->setText(QString::number(link_.delayMs));
  tcpPortField_->setText(QString::number(link_.tcpPort));
  ipField_->setText(Q(link_.ip));
  macField_->setText(Q(link_.macText));
  // Showing the link's state is not a choice of the user's: the radios do not act on it.
  const QSignalBlocker blockers[] = {QSignalBlocker(singleRadio_), QSignalBlocker(multiRadio_),
                                     QSignalBlocker(bluetoothRadio_), QSignalBlocker(serialRadio_),
                                     QSignalBlocker(ipRadio_)};
  singleRadio_->setChecked(link_.mode == devlink::AddressingMode::Single);
  multiRadio_->setChecked(link_.mode == devlink::AddressingMode::Multi);
  bluetoothRadio_->setChecked(link_.mode == devlink::AddressingMode::Bluetooth);
  serialRadio_->setChecked(!link_.tcpMode);
  ipRadio_->setChecked(link_.tcpMode);
}

void MainWindow::TakeFields() {
  if (singleRadio_->isChecked()) link_.mode = devlink::AddressingMode::Single;
  if (multiRadio_->isChecked()) link_.mode = devlink::AddressingMode::Multi;
  if (bluetoothRadio_->isChecked()) link_.mode = devlink::AddressingMode::Bluetooth;
  link_.tcpMode = ipRadio_->isChecked();
  const std::optional<int32_t> delay = ui::ReadInt(delayField_);
  if (!delay) return;
  link_.delayMs = *delay;
  const std::optional<int32_t> port = ui::ReadInt(tcpPortField_);
  if (!port) return;
  link_.tcpPort = *port;
  link_.ip = ReadIpSettings(ipField_->text().toStdString(), "").ip;
  link_.macText = macField_->text().toStdString();
}

void MainWindow::UpdateWidgets() {
  const bool bluetooth = link_.mode == devlink::AddressingMode::Bluetooth;
  addressField_->setVisible(!bluetooth);
  addressField_->setEnabled(link_.mode == devlink::AddressingMode::Multi);
  for (QWidget* w : {static_cast<QWidget*>(hardwareLabel_), static_cast<QWidget*>(hardwareValue_),
                     static_cast<QWidget*>(softwareLabel_), static_cast<QWidget*>(softwareValue_),
                     static_cast<QWidget*>(versionRead_)}) {
    w->setVisible(!bluetooth);
  }
  for (QWidget* w : {static_cast<QWidget*>(macLabel_), static_cast<QWidget*>(macField_),
                     static_cast<QWidget*>(connectButton_), static_cast<QWidget*>(macRead_)}) {
    w->setVisible(bluetooth);
  }
  macField_->setEnabled(!link_.bluetoothConnected);

  const bool portOpen = link_.serial.IsOpen();
  openButton_->setText(portOpen ? kClose : kOpen);
  const bool serialSettings = !link_.tcpMode && !portOpen;
  portList_->setEnabled(serialSettings);
  baudList_->setEnabled(serialSettings);
  delayField_->setEnabled(serialSettings);
  openButton_->setEnabled(!link_.tcpMode);
  ipField_->setEnabled(link_.tcpMode);
  tcpPortField_->setEnabled(link_.tcpMode);
  ipOk_->setEnabled(link_.tcpMode);
  // While a worker thread uses the link, the settings it reads stay as they are. Closing the
  // port stays possible: the page stops its worker first.
  if (linkInUse_) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             singleRadio_, multiRadio_, bluetoothRadio_, addressField_, macField_, connectButton_,
             serialRadio_, ipRadio_, fastBox_, ipField_, tcpPortField_, ipOk_}) {
      w->setEnabled(false);
    }
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{singleRadio_, multiRadio_, bluetoothRadio_,
                                                      connectButton_, serialRadio_, ipRadio_,
                                                      fastBox_}) {
      w->setEnabled(true);
    }
  }
  UpdateProfileButtons();
}

void MainWindow::OnAddressEdited(const QString& text) {
  const std::optional<int32_t> address = AddressFromField(text.toStdString(), link_.mode);
  if (!address) {
    ui::ShowMessage(this, kAddressRangeError, kAddressErrorCaption, ui::MessageKind::Error);
    addressField_->setText("1");
    return;
  }
  link_.address = *address;
}

void MainWindow::ShowReportedAddress(int address) {
  const QString text = QString::number(address);
  if (addressField_->text() == text) {
    OnAddressEdited(text);  // no change signal for the same text, yet it counts as an edit
  } else {
    addressField_->setText(text);
  }
}

void MainWindow::OnSingleMode() {
  TakeFields();
  link_.mode = devlink::AddressingMode::Single;
  link_.address = 0;
  UpdateWidgets();
}

void MainWindow::OnMultiMode() {
  TakeFields();
  link_.mode = devlink::AddressingMode::Multi;
  link_.address =
      AddressFromField(addressField_->text().toStdString(), devlink::AddressingMode::Multi)
          .value_or(0);
  UpdateWidgets();
}

void MainWindow::OnBluetoothMode() {
  TakeFields();
  link_.mode = devlink::AddressingMode::Bluetooth;
  link_.address = 0;
  UpdateWidgets();
}

void MainWindow::OnSerialChannel() {
  TakeFields();
  link_.tcpMode = false;
  UpdateWidgets();
}

void MainWindow::OnIpChannel() {
  TakeFields();
  link_.tcpMode = true;
  UpdateWidgets();
}

void MainWindow::OnOpenClose() {
  TakeFields();
  if (!link_.serial.IsOpen()) {
    const std::string path = PortPathFor(portList_->currentText().toStdString(), ports_);
    link_.portName = path;
    devlink::PortOpenFailure failure;
    if (!link_.serial.OpenPort(path, nullptr, &failure)) {
      // The notice with its cause: a missing device, a group to join, another program.
      ui::ShowMessage(this, Q(devlink::PortOpenFailureText(failure)), kPromptCaption);
    } else {
      link_.baudText = baudList_->currentText().toStdString();
      std::string error;
      if (!link_.serial.ConfigurePort(link_.baudText, &error)) {
        // The port stays open as it is; the technician learns why replies may be garbled.
        ui::ShowMessage(this, QString("串口参数设置失败：%1").arg(Q(error)), kPromptCaption,
                        ui::MessageKind::Warning);
      }
    }
  } else {
    for (int i = 0; i < tabs_->count(); ++i) {
      if (auto* page = qobject_cast<pages::Page*>(tabs_->widget(i))) page->SerialPortClosing();
    }
    link_.serial.ClosePort();
  }
  UpdateWidgets();
}

void MainWindow::OnTabChanged(int index) {
  // The tab control shows the selected page and hides the others; the pages learn which it is.
  QWidget* selected = tabs_->widget(index);
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* page = qobject_cast<pages::Page*>(tabs_->widget(i))) {
      page->TabChanged(page == selected);
    }
  }
  UpdateProfileButtons();
}

void MainWindow::OpenSelectedPort() {
  if (!link_.serial.IsOpen() && !link_.tcpMode) OnOpenClose();
}

void MainWindow::OnIpOk() {
  const IpSettings settings =
      ReadIpSettings(ipField_->text().toStdString(), tcpPortField_->text().toStdString());
  link_.ip = settings.ip;
  link_.tcpPort = settings.port;
  if (settings.warn) ui::ShowMessage(this, kIpEmptyWarning, {}, ui::MessageKind::Warning);
}

void MainWindow::OnReadVersions() {
  ui::WaitCursor wait;
  devlink::LinkChannel channel(link_);
  const pages::Result<pages::Versions> result = pages::ReadVersions(channel);
  if (result.ok()) {
    hardwareValue_->setText(Q(result.value.hardware));
    softwareValue_->setText(Q(result.value.software));
  }
  ui::ShowMessage(this, Q(result.message()));
}

void MainWindow::OnConnectAdapter() {
  ui::WaitCursor wait;
  link_.macText = macField_->text().toStdString();
  devlink::SerialAdapterPort port(link_.serial, KeepPainting, link_.traffic, link_.fast);
  if (connectButton_->text() == kConnect) {
    const devlink::AdapterResult result = devlink::ConnectToMac(port, link_.delayMs, link_.macText);
    if (!result.ok) {
      ui::ShowMessage(this, Q(result.message));
      return;
    }
    connectButton_->setText(kDisconnect);
    link_.bluetoothConnected = true;
  } else {
    const devlink::AdapterResult result = devlink::DisconnectMac(port, link_.delayMs, link_.macText);
    ui::ShowMessage(this, Q(result.message));
    if (!result.ok) return;
    connectButton_->setText(kConnect);
    link_.bluetoothConnected = false;
  }
  UpdateWidgets();
}

void MainWindow::OnReadAdapterMac() {
  ui::WaitCursor wait;
  devlink::SerialAdapterPort port(link_.serial, {}, link_.traffic, link_.fast);
  const devlink::AdapterResult result = devlink::AdapterReadMac(port, link_.delayMs);
  if (!result.ok) {
    ui::ShowMessage(this, Q(result.message));
    return;
  }
  macField_->setText(Q(devlink::FormatMacField(result.mac)));
}

void MainWindow::UpdateClock() {
  clockField_->setText(Q(ClockFieldText(pages::LocalNow())));
  // A port pulled out while nothing talks to it is noticed here, within a second, and named once.
  // While a worker uses the link, its own exchanges find it.
  if (!linkInUse_ && !link_.tcpMode && link_.serial.IsOpen() && link_.serial.CheckVanished()) {
    ui::ShowMessage(this, Q(devlink::PortVanishedText(link_.serial.Path())), kPromptCaption,
                    ui::MessageKind::Warning);
  }
}

QDialog* MainWindow::CreateAboutBox() {
  auto* box = new QDialog(this);
  box->setObjectName("aboutBox");
  box->setWindowTitle("关于 TOOL");
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(new QLabel("TOOL 3.2版", box));
  layout->addWidget(new QLabel("修改温度通道校正是数据限制", box));
  auto* buttons = new QDialogButtonBox(box);
  QPushButton* ok = buttons->addButton("确定", QDialogButtonBox::AcceptRole);
  ok->setObjectName("aboutOk");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);
  layout->addWidget(buttons);
  return box;
}

void MainWindow::ShowAbout() {
  QDialog* box = CreateAboutBox();
  box->exec();
  delete box;
}

void MainWindow::reject() {
  QStringList unfinished;
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* page = qobject_cast<pages::Page*>(tabs_->widget(i))) {
      const QString work = page->UnfinishedWork();
      if (!work.isEmpty()) unfinished << work;
    }
  }
  if (!unfinished.isEmpty() &&
      !ui::CurrentPrompts().AskYesNo(this, unfinished.join('\n') + "\n\n确定要关闭程序吗？",
                                     kPromptCaption, ui::MessageKind::Warning)) {
    return;
  }
  QDialog::reject();
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(0, 0, width(), kBandHeight, kBandColour);
  painter.fillRect(0, kBandHeight, width(), height() - kBandHeight, Qt::white);
  QDialog::paintEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Enter does nothing (no default button); Escape closes the window as in any dialog.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace app
