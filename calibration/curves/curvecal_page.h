#pragma once
// The multi-channel "曲线校准" page: the sensor curve of one channel of one of eight instrument
// kinds, read into an editable list of (environment value, raw value) rows, or of raw readings
// for the logger, edited and written back. The 32-bit card kind can also take a card's points
// from a calibration file; the logger kind can write an initial curve. Every button runs the
// matching command of curvecal_commands.h and reports its outcome.
#include <string>
#include <utility>
#include <vector>

#include "calibration/curves/curvecal_commands.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/kit/page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

class EditableList;
class RangeEdit;
class ValueLabel;

class CurveCalibrationPage : public Page {
  Q_OBJECT
 public:
  CurveCalibrationPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // The instrument kind the page starts with in a product variant.
  static curvecal::InstrumentKind KindOfVariant(int variant);

  // What the controls do.
  void KindChanged();
  void ChannelTypeChanged();
  void ChannelNumberChanged();
  void ReadConfiguration();
  void Calibrate();
  void Initialise();
  void LoadCalibrationFile();
  void Browse();
  void ReadDisplayValue();

  // The curve of the kind, channel and type the page shows ("write:<kind>,<channel>,<type>"),
  // as the list's rows; other channels are named. Its "校准" still needs the curve read first.
  std::vector<std::string> ShowProfile(const Profile& profile) override;
  void AddRow();
  void DeleteRows();
  // "+" (sign 1) and "-" (sign -1): every environment value shifted by the step.
  void Shift(int sign);
  // After the cell edit opened on a raw value: the channel's current raw value into it.
  void FillRawValue();

 private:
  curvecal::InstrumentKind Kind() const;
  curvecal::CurveTarget Target() const;
  // The list's column 2 and 3 texts, row by row.
  std::vector<std::pair<std::string, std::string>> Rows() const;
  void ClearList();
  void LayoutColumns();
  void TitleValueColumn();
  void FillReferencePoints();
  void ShowCurve(const curvecal::Curve& curve);
  void SelectChannelType(bool humidity);
  void UpdateWidgets();
  // Kind 5: connects the adapter to the instrument first; false (with the message unless
  // `quiet`) when that fails. Other kinds: true.
  bool ReachInstrument(bool quiet = false);
  // Runs `command(channel)` with the wait cursor: over the adapter's serial channel for kind 5,
  // over the page's link otherwise.
  template <class Command>
  auto OnInstrument(Command&& command);
  // A refusal of the list's contents with the caption "错误"; any other outcome as usual.
  void ShowWriteOutcome(const Outcome& outcome);
  void RefuseList(const char* message);

  QComboBox* kind_ = nullptr;
  QComboBox* channelType_ = nullptr;
  QComboBox* channelNumber_ = nullptr;
  EditableList* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QLineEdit* display_ = nullptr;
  QPushButton* readDisplay_ = nullptr;
  QCheckBox* adjustAll_ = nullptr;
  RangeEdit* step_ = nullptr;
  QPushButton* shiftUp_ = nullptr;
  QPushButton* shiftDown_ = nullptr;
  QPushButton* readConfiguration_ = nullptr;
  QPushButton* initialise_ = nullptr;
  QPushButton* calibrate_ = nullptr;
  QLabel* fileCaption_ = nullptr;
  QLineEdit* path_ = nullptr;
  QPushButton* browse_ = nullptr;
  ValueLabel* card_ = nullptr;
  QPushButton* loadFile_ = nullptr;

  bool humidity_ = false;
  // The curve last read: a write goes back in its frame.
  curvecal::CurveBuffer buffer_;
  // A curve was read since the last kind or channel change or successful write.
  bool curveRead_ = false;
  bool fileLoadable_ = false;
  BluetoothChannel bluetooth_;
};

}  // namespace pages
