#pragma once
// A numeric edit field: a key filter lets only digits, backspace, '-' (in front only) and one
// '.' through, and once a range is set, every change of the text is checked against it; a value
// outside the range shows the range message and empties the field.
#include <QLineEdit>
#include <QString>

namespace pages {

class RangeEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit RangeEdit(QWidget* parent = nullptr);

  // Stores the range and builds the range message "<name>值范围为(<min>~<max>)"; before the first
  // call no range check runs.
  void SetRange(float min, float max, const QString& name);
  const QString& RangeMessage() const { return rangeMessage_; }
  float Min() const { return min_; }
  float Max() const { return max_; }

  // The key filter: whether `key` ('\b' for backspace) may reach a field holding `text` with
  // the selection running from `selectionStart` to `selectionEnd` (equal: the caret).
  static bool AcceptsKey(const QString& text, int selectionStart, int selectionEnd, QChar key);
  // The value the range check reads: the leading decimal number of the text; 0 when the text
  // does not start with one ("", "-", "abc").
  static double LeadingValue(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CheckRange();

  float min_ = 0.0f;
  float max_ = 0.0f;
  QString rangeMessage_;
  bool emptying_ = false;
};

// Whether a key press types a character the numeric filters must judge (as opposed to
// navigation, deletion and shortcuts, which pass unfiltered); the character ('\b' for
// backspace) goes to `key`.
bool TypedCharacter(const QKeyEvent* event, QChar* key);

}  // namespace pages
