#pragma once
// The in-place drop-down list of EditableList, with the two fillings the pages use: the channel
// kinds and the calibration reference points.
#include <QComboBox>

namespace pages {

class CellCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit CellCombo(QWidget* parent = nullptr);

  // Which reference points FillReferencePoints offers: humidity first, then temperature.
  void SetHumidity(bool on) { humidity_ = on; }
  bool Humidity() const { return humidity_; }
  void SetTemperature(bool on) { temperature_ = on; }
  bool Temperature() const { return temperature_; }

  // "温度", "湿度".
  void FillKinds();
  // "%.1f" of 0 .. 100 step 10 (humidity on); else -40 .. 100 step 10 (temperature on); else
  // -80 .. 150 step 10.
  void FillReferencePoints();
  // Selects the first item that begins with `cellText` (ignoring case), else the middle item.
  void SelectForCellText(const QString& cellText);

 signals:
  // The list lost the focus to another control or window (not to its own drop-down).
  void focusLost();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool humidity_ = false;
  bool temperature_ = true;
};

}  // namespace pages
