#pragma once
// The program's only top-level window: the connection panel in a grey band across the top and
// the tab control with the product variant's pages below it. Closing it ends the program.
#include <QDialog>
#include <QString>
#include <map>
#include <vector>

#include "app/command_line.h"
#include "link/device_link.h"
#include "link/serial_port.h"
#include "pages/kit/profile.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;

namespace pages {
class Page;
class ValueLabel;
}

namespace app {

inline constexpr char kWindowCaption[] = "Veltrix(V9.2)";
inline constexpr int kBandHeight = 68;

class MainWindow : public QDialog {
  Q_OBJECT
 public:
  MainWindow(devlink::DeviceLink& link, const CommandLine& commandLine, QWidget* parent = nullptr);
  ~MainWindow() override;

  devlink::DeviceLink& Link() { return link_; }
  QTabWidget* Tabs() const { return tabs_; }
  // Page kinds of the tabs, in tab order.
  const std::vector<int>& PageKinds() const { return pageKinds_; }

  // A page reported the instrument's address: it goes into the address field, where it acts as
  // an edit of that field.
  void ShowReportedAddress(int address);
  // Opens the port chosen in the port list (as the "打开" button does) unless one is open.
  void OpenSelectedPort();
  // The about box, modal.
  void ShowAbout();
  // "通讯记录": opens (or raises) the traffic window.
  void ShowTraffic();
  QDialog* TrafficView() const { return trafficWindow_; }
  // The about box, not yet shown (for tests and the scripted run).
  QDialog* CreateAboutBox();

  // Profiles of the current page. "保存配置": reads the whole configuration of the page's
  // instrument and saves it in a file chosen in the save dialog. "载入配置": a profile file
  // chosen in the open dialog, checked against the page's commands, goes into the page's
  // controls; nothing is written. "写入全部": writes the profile loaded into the current page
  // and reads every value back.
  void SaveCurrentProfile();
  void LoadProfileIntoPage();
  void WriteLoadedProfile();
  // Escape and the close box: the window closes, but while a page holds work that closing would
  // lose (a download running, records not saved, gateways served) only after the user said yes.
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildPanel();
  void BuildPages();
  void FillPortList(const QString& preselected);
  void ShowLinkInControls();
  // Takes the delay, TCP port, IP address, MAC text, addressing mode and TCP mode from the
  // controls into the link. Stops at the first field that is not a number (its notice shown).
  void TakeFields();
  void UpdateWidgets();
  // The profile buttons as the current page allows: a page whose family keeps no profile has
  // them disabled, "写入全部" waits for a profile loaded into the page.
  void UpdateProfileButtons();
  pages::Page* CurrentPage() const;
  const pages::CommandSet* CurrentCommands() const;

  void OnAddressEdited(const QString& text);
  void OnSingleMode();
  void OnMultiMode();
  void OnBluetoothMode();
  void OnSerialChannel();
  void OnIpChannel();
  void OnOpenClose();
  void OnIpOk();
  void OnReadVersions();
  void OnConnectAdapter();
  void OnReadAdapterMac();
  void OnTabChanged(int index);
  void UpdateClock();
  // The open port went away (found by an exchange or by the clock's check): the pages stop
  // using it and the panel shows it closed, so "打开" opens it again once it is back.
  void OnPortVanished();

  devlink::DeviceLink& link_;
  CommandLine commandLine_;
  std::vector<devlink::PortEntry> ports_;
  std::vector<int> pageKinds_;

  QWidget* band_ = nullptr;
  QRadioButton* singleRadio_ = nullptr;
  QRadioButton* multiRadio_ = nullptr;
  QRadioButton* bluetoothRadio_ = nullptr;
  QLineEdit* addressField_ = nullptr;
  QLabel* hardwareLabel_ = nullptr;
  pages::ValueLabel* hardwareValue_ = nullptr;
  QLabel* softwareLabel_ = nullptr;
  pages::ValueLabel* softwareValue_ = nullptr;
  QPushButton* versionRead_ = nullptr;
  QLabel* macLabel_ = nullptr;
  QLineEdit* macField_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QPushButton* macRead_ = nullptr;
  QRadioButton* serialRadio_ = nullptr;
  QRadioButton* ipRadio_ = nullptr;
  QComboBox* portList_ = nullptr;
  QComboBox* baudList_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QLabel* delayLabel_ = nullptr;
  QLineEdit* delayField_ = nullptr;
  QCheckBox* fastBox_ = nullptr;  // "快速"
  QLineEdit* ipField_ = nullptr;
  QLabel* tcpPortLabel_ = nullptr;
  QLineEdit* tcpPortField_ = nullptr;
  QPushButton* ipOk_ = nullptr;
  pages::ValueLabel* labelField_ = nullptr;
  pages::ValueLabel* clockField_ = nullptr;
  QToolButton* aboutButton_ = nullptr;
  QPushButton* trafficButton_ = nullptr;
  QPushButton* profileSave_ = nullptr;
  QPushButton* profileLoad_ = nullptr;
  QPushButton* profileWrite_ = nullptr;
  // The profile loaded into each page, by page.
  std::map<const QWidget*, pages::Profile> loadedProfiles_;
  QDialog* trafficWindow_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTimer* clockTimer_ = nullptr;
  bool linkInUse_ = false;  // a page's worker thread is using the link
};

}  // namespace app
