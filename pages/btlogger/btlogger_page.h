#pragma once
// The "蓝牙记录仪" page: a multi-channel logger behind the Bluetooth adapter. It reads the
// logger's channel list and writes back each channel's type (temperature or humidity) and the
// channel count, reads and writes its SN and clock through the shared widgets (with the logger's
// Modbus requests), and clears its history. Every command first makes sure the adapter holds the
// logger named in the main window's MAC field.

#include "pages/btlogger/btlogger_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/kit/page.h"

class QPushButton;

namespace pages {

class ClockWidget;
class EditableList;
class SnWidget;

class BluetoothLoggerPage : public Page {
  Q_OBJECT
 public:
  BluetoothLoggerPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  EditableList* ChannelList() const { return list_; }
  SnWidget* Sn() const { return sn_; }
  ClockWidget* Clock() const { return clock_; }

  // What the buttons do.
  void ReadChannels();
  void WriteChannels();
  void ClearHistory();
  void AddChannel();
  void RemoveChannel();

  // The channel types, one row per channel. A profile taken from another logger (another MAC
  // than the main window's) names its MAC as not shown.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  // The main window's Bluetooth connection; false after "请连接蓝牙设备" was shown.
  bool BluetoothUp();
  // The connection check: the main window's Bluetooth connection, then the adapter switched to
  // the logger's MAC (wait cursor meanwhile). False after the reason was shown.
  bool ConnectLogger();
  // Runs `command` on the logger's channel with the wait cursor shown.
  template <class Command>
  auto OnLogger(Command&& command);
  // Replaces the list's rows by one per channel record read.
  void ShowChannels(const btlogger::LoggerConfig& config);
  void UpdateWidgets();

  BluetoothChannel channel_;
  // The logger as last read; empty when there is nothing a write may send back.
  btlogger::LoggerConfig kept_;
  bool writeAllowed_ = false;
  // The SN block of the last SN read (the whole reply), sent back by the SN write.
  devlink::Bytes snBlock_;

  EditableList* list_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  SnWidget* sn_ = nullptr;
  ClockWidget* clock_ = nullptr;
};

}  // namespace pages
