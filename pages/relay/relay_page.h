#pragma once
// The "中继配置" page: the GPRS relay's own settings (group "GPRS配置") and its table of up to
// ten instruments with phone numbers, print name and instrument power (group "仪器配置"), plus
// its three dialogs "时间校准", "手机号码设置" and "打印设置". Every button runs a command of
// relay_commands.h and reports its outcome.
#include <QDateTime>
#include <QDialog>
#include <optional>

#include "pages/kit/page.h"
#include "pages/relay/relay_commands.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QRadioButton;
class QTimeEdit;
class QTimer;

namespace pages {

class EditableList;

// The time "校准时间" sends when the user chose one: set by TimeCalibrationDialog, read by the
// page. The flag is cleared each time the dialog opens.
struct ManualTime {
  bool manual = false;
  QDateTime value;
};

class TimeCalibrationDialog : public QDialog {
  Q_OBJECT
 public:
  TimeCalibrationDialog(devlink::DeviceLink& link, ManualTime& manual, QWidget* parent = nullptr);

  void ReadInstrumentTime();
  // "校准": keeps the pickers' date and time in ManualTime and closes with Accepted.
  void Calibrate();
  // The PC's local time in its display field.
  void ShowPcTime();

 private:
  void ChooseManual(bool manual);

  devlink::DeviceLink& link_;
  ManualTime& manual_;
  QLineEdit* instrumentTime_ = nullptr;
  QLineEdit* pcTime_ = nullptr;
  QRadioButton* manualRadio_ = nullptr;
  QRadioButton* systemRadio_ = nullptr;
  QDateEdit* date_ = nullptr;
  QTimeEdit* time_ = nullptr;
  QTimer* clock_ = nullptr;
};

class PhoneNumbersDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PhoneNumbersDialog(devlink::DeviceLink& link, QWidget* parent = nullptr);

  void ReadNumbers();
  // "确定": writes the numbers; the dialog stays open after its message.
  void WriteNumbers();

 private:
  devlink::DeviceLink& link_;
  std::array<QLineEdit*, relay::kPhoneCount> numbers_{};
};

class PrintSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PrintSettingsDialog(devlink::DeviceLink& link, QWidget* parent = nullptr);

  void ReadName();
  // "设置": writes the name; the dialog stays open after its message.
  void WriteName();

 private:
  devlink::DeviceLink& link_;
  QLineEdit* company_ = nullptr;
};

class RelayPage : public Page {
  Q_OBJECT
 public:
  RelayPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  void CalibrateTime();
  void ReadGprs();
  void WriteGprs();
  void ClearData();
  void ClearList();
  void ReadInstruments();
  void WriteInstruments();
  void PowerOn();
  void PowerOff();
  void OpenPhones();
  void OpenPrintSettings();

  EditableList* InstrumentList() const { return list_; }

  // The GPRS settings. The phone numbers and the print settings live in dialogs of their own
  // and the instrument table's rows have no profile form yet: those groups are named.
  std::vector<std::string> ShowProfile(const Profile& profile) override;
  const ManualTime& CurrentManualTime() const { return manualTime_; }

 private:
  QWidget* BuildGprsGroup();
  QWidget* BuildInstrumentGroup();
  // Enables the address controls as "GPRS关闭" and the mode radios say.
  void UpdateAddressControls();
  // The page's four fields as the relay commands take them; empty after a refusal (its notice
  // and "配置失败！" shown).
  std::optional<relay::GprsSettings> CollectSettings();
  relay::InstrumentTable CollectTable() const;
  void ShowTable(const relay::InstrumentTable& table);
  void SwitchPower(relay::Power power);
  bool SerialPortOpen();

  QCheckBox* gprsOff_ = nullptr;
  QRadioButton* ipMode_ = nullptr;
  QRadioButton* domainMode_ = nullptr;
  QLineEdit* ip_ = nullptr;
  QLineEdit* domain_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* sn_ = nullptr;
  QLineEdit* interval_ = nullptr;
  EditableList* list_ = nullptr;
  ManualTime manualTime_;
};

}  // namespace pages
