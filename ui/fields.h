#pragma once
// Field readers: take a number from a line edit the way every page collects its input. On
// failure the standard notice is shown, the field gets the focus with its text selected, and
// the caller sends nothing.
//
//   ReadInt          "请键入一个整数。"     signed 32-bit decimal integer
//   ReadNumber       "请键入一个数。"       decimal number (optional fraction and exponent)
//   ReadPositiveInt  "“请填入一个正整数。”" unsigned 32-bit decimal integer; 0 is accepted, so a
//                                          caller can give its own message for zero
//
// Blanks and tabs around the number are ignored; anything else around it, an empty text, a
// value outside the type's range and a non-finite number are refused.
#include <cstdint>
#include <optional>

#include <QString>

#include "pages/kit/messages.h"

class QLineEdit;
class QWidget;

namespace ui {

using pages::kNotAnInteger;
using pages::kNotANumber;
using pages::kNotAPositiveInteger;

// The parsers behind the readers, without any notice.
std::optional<int32_t> ParseInt(const QString& text);
std::optional<double> ParseNumber(const QString& text);
std::optional<uint32_t> ParsePositiveInt(const QString& text);

std::optional<int32_t> ReadInt(QLineEdit* field);
std::optional<double> ReadNumber(QLineEdit* field);
std::optional<uint32_t> ReadPositiveInt(QLineEdit* field);

// Shows `text` as a warning (with `caption`, if any), then gives `field` the focus, an edit with
// all its text selected. For callers that check a value further after reading it.
void RefuseField(QWidget* field, const QString& text, const QString& caption = {});

}  // namespace ui
