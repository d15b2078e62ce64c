#pragma once
// The "32位变送器" page: intervals, recording state, alarm delay, sound/light and SMS alarms
// with their scope, alarm phone numbers, the GSM access point, the signal strength, the clock,
// erasing the history and restoring the factory settings. Every button runs the matching
// command of transmitter32_commands.h and reports its outcome.
#include <optional>

#include "pages/kit/page.h"
#include "pages/transmitter32/transmitter32_commands.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pages {

class AlarmNumberGroup;
class ClockWidget;

class Transmitter32Page : public Page {
  Q_OBJECT
 public:
  Transmitter32Page(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void ReadIntervals();
  void WriteIntervals();
  void ReadRecording();
  void WriteRecording();
  void ReadAlarmDelay();
  void WriteAlarmDelay();
  void ReadSignalStrength();
  void ReadSoundLight();
  void WriteSoundLight();
  void ReadSmsAlarm();
  void WriteSmsAlarm();
  void ReadAlarmNumber();
  void WriteAlarmNumber();
  void ReadApn();
  void WriteApn();
  void ClearData();
  void RestoreFactorySettings();

  // The intervals, the alarm delay, the recording, sound/light and SMS switches, the APN and
  // the number of the selected alarm slot. The switch radios hold one sound/light value: the
  // master switch's, unless the SMS alarm's scope says otherwise.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  // The numeric fields as the page collects them before a write.
  struct Fields {
    transmitter32::Intervals intervals;
    int64_t delay = 0;
  };
  // An "开"/"关" radio pair.
  struct OnOff {
    QRadioButton* on = nullptr;
    QRadioButton* off = nullptr;
    void Set(bool value);
    bool On() const;
  };

  QGroupBox* BuildIntervalsGroup();
  QGroupBox* BuildRecordingGroup();
  QGroupBox* BuildApnGroup();
  QGroupBox* BuildAlarmNumberGroup();
  QGroupBox* BuildDelayGroup();
  QWidget* BuildAlarmSwitches();
  QWidget* BuildSignalRow();
  QGroupBox* SwitchGroup(const QString& title, const QString& prefix, OnOff& radios,
                         QPushButton** read, QPushButton** write);

  // Reads every numeric field; a field that does not parse gets its notice and the focus, and
  // the result is empty.
  std::optional<Fields> CollectFields();
  transmitter32::AlarmScope Scope() const;
  void ScopeChanged();
  // Shows the outcome; a refused field gets the focus.
  void Show(const Outcome& outcome);

  QLineEdit* history_ = nullptr;
  QLineEdit* alarm_ = nullptr;
  QLineEdit* print_ = nullptr;
  OnOff recording_;
  QLineEdit* apn_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* signal_ = nullptr;
  QLineEdit* delay_ = nullptr;
  QComboBox* scope_ = nullptr;
  OnOff soundLight_;
  OnOff sms_;
  QPushButton* soundLightRead_ = nullptr;
  QPushButton* soundLightWrite_ = nullptr;
  AlarmNumberGroup* alarmNumbers_ = nullptr;
  ClockWidget* clock_ = nullptr;
};

}  // namespace pages
