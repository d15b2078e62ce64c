#pragma once
// The "曲线校准" page for one-sensor instruments: the temperature and humidity calibration tables
// (read, edit, write, shift by a step), the current readings and the zero-point corrections.
// Every button runs the matching command of fixedcal_commands.h and reports its outcome.
#include <vector>

#include "calibration/fixed/fixedcal_commands.h"
#include "pages/kit/page.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace pages {

class RangeEdit;
class ValueLabel;

class FixedCurveCalibrationPage : public Page {
  Q_OBJECT
 public:
  FixedCurveCalibrationPage(devlink::DeviceLink& link, int productVariant,
                            QWidget* parent = nullptr);

  // What the buttons do.
  void ReadTable(fixedcal::Quantity quantity);
  void WriteTable(fixedcal::Quantity quantity);
  void ReadRealTime();
  void ReadZeroPoint();
  void WriteZeroPoint();
  // "+" (sign 1) and "-" (sign -1): the table the combo box names, shifted by the step.
  void Shift(int sign);

  // A profile's tables and zero-point corrections in the edits, nothing sent.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  QGroupBox* BuildTableGroup(fixedcal::Quantity quantity);
  QGroupBox* BuildRealTimeGroup();
  QGroupBox* BuildZeroGroup();
  QGroupBox* BuildShiftGroup();

  std::vector<RangeEdit*>& Edits(fixedcal::Quantity quantity);
  // The table as the edits hold it; a text that is not a number counts as 0.
  fixedcal::CalibrationTable TableOfEdits(fixedcal::Quantity quantity);
  void ShowTable(const fixedcal::CalibrationTable& table);
  // Empties a zero-correction edit whose number lies outside -100..100, with the message.
  void CheckCorrection(fixedcal::Quantity quantity, QLineEdit* edit);

  std::vector<RangeEdit*> temperatureEdits_;
  std::vector<RangeEdit*> humidityEdits_;
  ValueLabel* temperatureNow_ = nullptr;
  ValueLabel* humidityNow_ = nullptr;
  QLineEdit* temperatureZero_ = nullptr;
  RangeEdit* humidityZero_ = nullptr;
  QComboBox* shiftTable_ = nullptr;
  RangeEdit* step_ = nullptr;
};

}  // namespace pages
