#pragma once
// The in-place text editor of EditableList. With the free-text flag on it takes any key; off,
// only digits, backspace, '-' and a '.' (never first, never a second one). Escape and Enter end
// the edit here and go no further (in a dialog they would close it or press its default button).
#include <QLineEdit>

namespace pages {

class CellEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit CellEdit(QWidget* parent = nullptr);

  void SetFreeText(bool on) { freeText_ = on; }
  bool FreeText() const { return freeText_; }

  // The numeric key filter ('\b' for backspace).
  static bool AcceptsNumericKey(const QString& text, QChar key);

 signals:
  // The editor lost the focus to another control or window (not to a popup menu of its own).
  void focusLost();
  // Escape: the edit is dropped, the cell keeps its text.
  void cancelled();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool freeText_ = true;
};

}  // namespace pages
