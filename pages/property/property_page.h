#pragma once
// The page "属性设置": per-channel configuration and protection values of a multi-channel
// recorder, the company name and plate number on its printouts, its data and configuration
// servers, and the SN widget.
#include <array>
#include <cstdint>

#include "pages/kit/outcome.h"
#include "pages/kit/page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace pages {

class IpAddressEdit;
class RangeEdit;

class PropertyPage : public Page {
  Q_OBJECT
 public:
  PropertyPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // The selected channel's configuration and protection values, the company name, the plate
  // and the server the selector shows; other channels and the other server are named.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  void BuildChannelGroup(QGroupBox* group);
  void BuildPrintGroup(QGroupBox* group);
  void BuildServerGroup(QGroupBox* group);
  // Enabling and visibility rules, in one place.
  void updateWidgets();

  void readChannel();
  void writeChannel();
  void readProtection();
  void writeProtection();
  void readCompany();
  void writeCompany();
  void readPlate();
  void writePlate();
  void readServer();
  void writeServer();

  int SelectedChannel() const;
  // Shows the outcome; a refused field's control gets the focus.
  void Show(const Outcome& outcome);

  // "通道配置"
  QComboBox* channelNumber_ = nullptr;
  QPushButton* channelRead_ = nullptr;
  QPushButton* channelWrite_ = nullptr;
  QPushButton* protectionRead_ = nullptr;
  QPushButton* protectionWrite_ = nullptr;
  QCheckBox* soundLight_ = nullptr;
  QCheckBox* sms_ = nullptr;
  QLineEdit* cardId_ = nullptr;
  QLineEdit* sn_ = nullptr;
  QComboBox* channelType_ = nullptr;
  RangeEdit* upper_ = nullptr;
  RangeEdit* lower_ = nullptr;
  // "打印设置"
  QLineEdit* company_ = nullptr;
  QPushButton* companyRead_ = nullptr;
  QPushButton* companyWrite_ = nullptr;
  QLineEdit* plate_ = nullptr;
  QPushButton* plateRead_ = nullptr;
  QPushButton* plateWrite_ = nullptr;
  // "服务器配置"
  QComboBox* serverSelector_ = nullptr;
  QRadioButton* ipMode_ = nullptr;
  QRadioButton* domainMode_ = nullptr;
  IpAddressEdit* ipAddress_ = nullptr;
  QLineEdit* domain_ = nullptr;
  QLineEdit* port_ = nullptr;
  QPushButton* serverRead_ = nullptr;
  QPushButton* serverWrite_ = nullptr;
};

}  // namespace pages
