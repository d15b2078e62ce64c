#pragma once
// The "WIFI配置" page: the network settings of an instrument's WiFi module (SSID, security and
// password, DHCP, static IP address, mask, gateway and DNS, the MAC shown read-only), read and
// written as one chain each, and the three module control commands.
#include "pages/kit/page.h"
#include "pages/wifi/wifi_commands.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace pages {

class IpAddressEdit;

class WifiPage : public Page {
  Q_OBJECT
 public:
  WifiPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void Read();
  void Write();
  void CopyMac();
  void ControlModule(wifi::ModuleControl code);

  // The network settings. A MAC in the profile is another module's: it stays out of the MAC
  // field (which "设置" writes back) and is named.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  // The settings as the controls hold them.
  wifi::Settings FromControls() const;
  // What a read step shows at once: the security list after its step, the IP controls after
  // theirs. The rest waits for the whole chain.
  void ShowStep(wifi::Step step, const wifi::Settings& sofar);
  // The four IP controls are enabled exactly while DHCP is off.
  void updateWidgets();

  QLineEdit* ssid_ = nullptr;
  QComboBox* security_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* mac_ = nullptr;
  QRadioButton* dhcpOn_ = nullptr;
  QRadioButton* dhcpOff_ = nullptr;
  IpAddressEdit* ip_ = nullptr;
  IpAddressEdit* mask_ = nullptr;
  IpAddressEdit* gateway_ = nullptr;
  IpAddressEdit* dns_ = nullptr;
};

}  // namespace pages
