#include "pages/widgets/range_edit.h"

#include <charconv>
#include <limits>
#include <string>

#include <QKeyEvent>

#include "ui/prompts.h"

namespace pages {
namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

bool TypedCharacter(const QKeyEvent* event, QChar* key) {
  if (event->key() == Qt::Key_Backspace) {
    *key = QLatin1Char('\b');
    return true;
  }
  // Shortcuts (copy, paste, select all) keep working.
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    return false;
  }
  const QString text = event->text();
  if (text.isEmpty()) return false;  // arrows, Home, End, function keys
  const QChar c = text.at(0);
  if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;  // Delete, Tab, Enter, Escape
  *key = c;
  return true;
}

RangeEdit::RangeEdit(QWidget* parent) : QLineEdit(parent) {
  // Characters typed through an input method would bypass the key filter.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  connect(this, &QLineEdit::textChanged, this, &RangeEdit::CheckRange);
}

void RangeEdit::SetRange(float min, float max, const QString& name) {
  min_ = min;
  max_ = max;
  rangeMessage_ = QString::asprintf("%s值范围为(%.0f~%.0f)", name.toUtf8().constData(),
                                    static_cast<double>(min), static_cast<double>(max));
}

bool RangeEdit::AcceptsKey(const QString& text, int selectionStart, int selectionEnd, QChar key) {
  const QChar minus = QLatin1Char('-');
  const QChar point = QLatin1Char('.');
  if (!IsDigit(key) && key != QLatin1Char('\b') && key != minus && key != point) return false;
  const QChar next = selectionEnd >= 0 && selectionEnd < text.size() ? text.at(selectionEnd) : QChar();
  if (key == minus) return selectionStart <= 0 && next != minus;
  // Nothing may be typed in front of a leading minus sign.
  if (next == minus && selectionStart == 0 && selectionEnd == 0) return false;
  if (key == point && text.contains(point)) return false;
  return true;
}

double RangeEdit::LeadingValue(const QString& text) {
  // The longest leading piece of the form: blanks, sign, digits, '.', digits, exponent.
  std::string s;
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t'))) ++i;
  if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
    if (text.at(i) == QLatin1Char('-')) s.push_back('-');
    ++i;
  }
  int digits = 0;
  while (i < n && IsDigit(text.at(i))) {
    s.push_back(static_cast<char>(text.at(i++).unicode()));
    ++digits;
  }
  if (i < n && text.at(i) == QLatin1Char('.')) {
    s.push_back('.');
    ++i;
    while (i < n && IsDigit(text.at(i))) {
      s.push_back(static_cast<char>(text.at(i++).unicode()));
      ++digits;
    }
  }
  if (digits == 0) return 0.0;
  if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
    std::string exponent = "e";
    int j = i + 1;
    if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+'))) {
      exponent.push_back(static_cast<char>(text.at(j++).unicode()));
    }
    int exponentDigits = 0;
    while (j < n && IsDigit(text.at(j))) {
      exponent.push_back(static_cast<char>(text.at(j++).unicode()));
      ++exponentDigits;
    }
    if (exponentDigits > 0) s += exponent;
  }
  double value = 0.0;
  auto result = std::from_chars(s.data(), s.data() + s.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large for a double lies beyond any range; too small is as good as 0.
    if (s.find("e-") != std::string::npos) return 0.0;
    const double infinity = std::numeric_limits<double>::infinity();
    return s[0] == '-' ? -infinity : infinity;
  }
  return value;
}

void RangeEdit::keyPressEvent(QKeyEvent* event) {
  QChar key;
  if (TypedCharacter(event, &key)) {
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : cursorPosition();
    if (!AcceptsKey(text(), start, end, key)) {
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void RangeEdit::CheckRange() {
  // Emptying the field below changes the text once more; that change is not checked again, so
  // one bad entry gives one message.
  if (rangeMessage_.isEmpty() || emptying_) return;
  const double value = LeadingValue(text());
  if (value < static_cast<double>(min_) || value > static_cast<double>(max_)) {
    ui::ShowMessage(window(), rangeMessage_, {}, ui::MessageKind::Warning);
    emptying_ = true;
    setText(QString());
    emptying_ = false;
  }
}

}  // namespace pages
