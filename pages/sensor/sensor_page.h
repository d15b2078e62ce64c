#pragma once
// The "数字传感器" page: finds a Modbus digital sensor's address and baud rate, changes both,
// reads and writes its SN through the SN widget, lists its channel types and reads its versions.
#include "pages/kit/page.h"
#include "pages/sensor/sensor_commands.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pages {

class SnWidget;

class DigitalSensorPage : public Page {
  Q_OBJECT
 public:
  DigitalSensorPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // The address every request but the address read goes to; 1 until a read or write changes it.
  int SensorAddress() const { return sensorAddress_; }
  SnWidget* Sn() const { return sn_; }

  // What the buttons do.
  void ReadAddress();
  void WriteAddress();
  void WriteBaud();
  void ReadChannelTypes();
  void ReadVersions();

 private:
  void ShowSensorAddress(int address);

  int sensorAddress_ = sensor::kInitialSensorAddress;
  QLineEdit* oldAddress_ = nullptr;
  QLineEdit* newAddress_ = nullptr;
  QComboBox* baudRate_ = nullptr;
  SnWidget* sn_ = nullptr;
  QTableWidget* channelTypes_ = nullptr;
  QLineEdit* softwareVersion_ = nullptr;
  QLineEdit* hardwareVersion_ = nullptr;
};

}  // namespace pages
