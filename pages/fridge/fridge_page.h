#pragma once
// The "冷藏箱" page: recording intervals, alarm phone numbers, the interval between alarm text
// messages, the device and recording on/off switches, the clock and erasing the history. Every
// button runs the matching command of fridge_commands.h and reports its outcome.
#include <optional>

#include "pages/fridge/fridge_commands.h"
#include "pages/kit/page.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

class AlarmNumberGroup;
class ClockWidget;
class ValueLabel;

class RefrigeratedBoxPage : public Page {
  Q_OBJECT
 public:
  RefrigeratedBoxPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void ReadStatus();
  void SwitchDevice();
  void SwitchRecording();
  void ReadIntervals();
  void WriteIntervals();
  void ReadAlarmNumber();
  void WriteAlarmNumber();
  void ReadSmsInterval();
  void WriteSmsInterval();
  void ClearData();

  // The four intervals, the SMS interval and the number of the selected alarm slot. The
  // device and recording state have no control to hold them (their buttons switch at once).
  std::vector<std::string> ShowProfile(const Profile& profile) override;

  const fridge::Status& CurrentStatus() const { return status_; }

 private:
  // Every numeric field as the page collects them before any write.
  struct Fields {
    fridge::Intervals intervals;
    int64_t smsSeconds = 0;
  };

  QGroupBox* BuildIntervalsGroup();
  QGroupBox* BuildAlarmNumberGroup();
  QGroupBox* BuildSmsGroup();
  QGroupBox* BuildStatusGroup();

  // Reads all numeric fields; on a field that does not parse, its notice is shown, it gets the
  // focus and the result is empty.
  std::optional<Fields> CollectFields();
  // The status labels and switch buttons after status_.
  void ShowStatus();
  void WriteSwitchedStatus(const fridge::Status& next);

  QLineEdit* history_ = nullptr;
  QLineEdit* alarm_ = nullptr;
  QLineEdit* upload_ = nullptr;
  QLineEdit* print_ = nullptr;
  QLineEdit* sms_ = nullptr;
  ValueLabel* deviceState_ = nullptr;
  QPushButton* deviceSwitch_ = nullptr;
  ValueLabel* recordingState_ = nullptr;
  QPushButton* recordingSwitch_ = nullptr;
  AlarmNumberGroup* alarmNumbers_ = nullptr;
  ClockWidget* clock_ = nullptr;

  fridge::Status status_;
};

}  // namespace pages
