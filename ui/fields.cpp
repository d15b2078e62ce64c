#include "ui/fields.h"

#include <climits>
#include <string>

#include <QLineEdit>

#include "pages/kit/fields.h"
#include "ui/prompts.h"

namespace ui {
namespace {

// The text as UTF-8, or nothing when it holds a character outside ASCII (which no number
// contains).
std::optional<std::string> Ascii(const QString& text) {
  std::string s;
  s.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) {
    if (c.unicode() > 0x7F) return std::nullopt;
    s.push_back(static_cast<char>(c.unicode()));
  }
  return s;
}

std::optional<int64_t> WholeInt(const QString& text, int64_t low, int64_t high) {
  const auto s = Ascii(text);
  if (!s) return std::nullopt;
  const auto value = pages::ParseWholeInt(*s);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int32_t> ParseInt(const QString& text) {
  const auto value = WholeInt(text, INT32_MIN, INT32_MAX);
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<uint32_t> ParsePositiveInt(const QString& text) {
  if (text.trimmed().startsWith(QLatin1Char('-'))) return std::nullopt;
  const auto value = WholeInt(text, 0, UINT32_MAX);
  if (!value) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

std::optional<double> ParseNumber(const QString& text) {
  const auto s = Ascii(text);
  if (!s) return std::nullopt;
  return pages::ParseWholeNumber(*s);
}

void RefuseField(QWidget* field, const QString& text, const QString& caption) {
  ShowMessage(field ? field->window() : nullptr, text, caption, MessageKind::Warning);
  if (field) {
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
  }
}

std::optional<int32_t> ReadInt(QLineEdit* field) {
  auto value = ParseInt(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(pages::kNotAnInteger));
  return value;
}

std::optional<double> ReadNumber(QLineEdit* field) {
  auto value = ParseNumber(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(pages::kNotANumber));
  return value;
}

std::optional<uint32_t> ReadPositiveInt(QLineEdit* field) {
  auto value = ParsePositiveInt(field->text());
  if (!value) RefuseField(field, QString::fromUtf8(pages::kNotAPositiveInteger));
  return value;
}

}  // namespace ui
