#pragma once
// The "设置" page: bus address, clock, recording parameters, calibration switches, alarm and
// control limits with their switches, erasing the history. Every button runs the matching
// command of settings_commands.h and reports its outcome in a message box.
#include "pages/settings/settings_commands.h"
#include "pages/kit/page.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pages {

class ClockWidget;
class RangeEdit;

class SettingsPage : public Page {
  Q_OBJECT
 public:
  SettingsPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void ChangeAddress();
  void ReadRecording();
  void WriteRecording();
  void ReadLimits(settings::LimitKind kind);
  void WriteLimits(settings::LimitKind kind);
  void ReadSwitches(settings::SwitchKind kind);
  void WriteSwitches(settings::SwitchKind kind);
  void ClearData();

  // Recording, calibration switches, both limit groups and their switches.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 protected:
  // Enter in a field does nothing (no button of the page is triggered by it).
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The limit edits and switch boxes of one group.
  struct LimitEdits {
    RangeEdit* tempUpper = nullptr;
    RangeEdit* tempLower = nullptr;
    RangeEdit* humUpper = nullptr;
    RangeEdit* humLower = nullptr;
  };
  struct SwitchBoxes {
    QCheckBox* temperature = nullptr;
    QCheckBox* humidity = nullptr;
  };

  QGroupBox* BuildAddressGroup();
  QGroupBox* BuildRecordingGroup();
  QGroupBox* BuildCalibrationGroup();
  QGroupBox* BuildLimitsGroup(settings::LimitKind kind);
  QGroupBox* BuildActionGroup();

  LimitEdits& Edits(settings::LimitKind kind);
  SwitchBoxes& Boxes(settings::SwitchKind kind);

  QLineEdit* oldAddress_ = nullptr;
  QLineEdit* newAddress_ = nullptr;
  ClockWidget* clock_ = nullptr;
  QLineEdit* interval_ = nullptr;
  QRadioButton* hours_ = nullptr;
  QRadioButton* minutes_ = nullptr;
  QLineEdit* capacity_ = nullptr;
  SwitchBoxes calibration_;
  SwitchBoxes alarmSwitches_;
  SwitchBoxes controlSwitches_;
  LimitEdits alarmLimits_;
  LimitEdits controlLimits_;
};

}  // namespace pages
