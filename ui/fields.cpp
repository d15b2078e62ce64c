#include "ui/fields.h"

#include <charconv>
#include <cmath>
#include <string>

#include <QLineEdit>

#include "ui/prompts.h"

namespace ui {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text without surrounding blanks and tabs, or nothing when it holds a character outside
// ASCII (which no number contains).
std::optional<std::string> Trimmed(const QString& text) {
  std::string s;
  s.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) {
    if (c.unicode() > 0x7F) return std::nullopt;
    s.push_back(static_cast<char>(c.unicode()));
  }
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Optional sign (when allowed) followed by at least one digit and nothing else.
bool IsIntegerText(const std::string& s, bool allowMinus) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || (allowMinus && s[i] == '-'))) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

// sign? digits? ('.' digits?)? with at least one digit, then (e|E sign? digits)?.
bool IsDecimalText(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

}  // namespace

std::optional<int32_t> ParseInt(const QString& text) {
  auto s = Trimmed(text);
  if (!s || !IsIntegerText(*s, true)) return std::nullopt;
  // from_chars takes no '+'.
  size_t start = (*s)[0] == '+' ? 1 : 0;
  int32_t value = 0;
  auto [end, error] = std::from_chars(s->data() + start, s->data() + s->size(), value);
  if (error != std::errc() || end != s->data() + s->size()) return std::nullopt;
  return value;
}

std::optional<uint32_t> ParsePositiveInt(const QString& text) {
  auto s = Trimmed(text);
  if (!s || !IsIntegerText(*s, false)) return std::nullopt;
  size_t start = (*s)[0] == '+' ? 1 : 0;
  uint32_t value = 0;
  auto [end, error] = std::from_chars(s->data() + start, s->data() + s->size(), value);
  if (error != std::errc() || end != s->data() + s->size()) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(const QString& text) {
  auto s = Trimmed(text);
  if (!s || !IsDecimalText(*s)) return std::nullopt;
  // Independent of the process locale: the decimal point is always '.'.
  size_t start = (*s)[0] == '+' ? 1 : 0;
  double value = 0;
  auto [end, error] = std::from_chars(s->data() + start, s->data() + s->size(), value);
  if (error != std::errc() || end != s->data() + s->size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

void RefuseField(QLineEdit* field, const QString& text) {
  ShowMessage(field ? field->window() : nullptr, text, {}, MessageKind::Warning);
  if (field) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
  }
}

std::optional<int32_t> ReadInt(QLineEdit* field) {
  auto value = ParseInt(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(kNotAnInteger));
  return value;
}

std::optional<double> ReadNumber(QLineEdit* field) {
  auto value = ParseNumber(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(kNotANumber));
  return value;
}

std::optional<uint32_t> ReadPositiveInt(QLineEdit* field) {
  auto value = ParsePositiveInt(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(kNotAPositiveInteger));
  return value;
}

}  // namespace ui
