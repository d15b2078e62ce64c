#pragma once
// The in-place drop-down list of EditableList, with the two fillings the pages use: the channel
// kinds and the calibration reference points. Filling and preselecting do not signal a change of
// the current item; a choice of the user's does, however made (mouse, keys, accessibility). With
// the drop-down closed, Escape and Enter end the edit here and go no further.
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
  // Escape: the edit is dropped, the cell keeps its text.
  void cancelled();
  // Enter: the chosen item goes into the cell.
  void committed();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool humidity_ = false;
  bool temperature_ = true;
};

}  // namespace pages
