#pragma once
// Typed input fields. Each command declares its inputs once; tool-cli's options, its --help, the
// refusal messages and the typed values a command receives all come from these declarations.
//
//   Integer   whole decimal number within [min, max]
//   Number    finite decimal number (fraction and exponent allowed), optionally within a range
//   Switch    on|off (also 1|0, true|false, yes|no)
//   Flag      a Switch that tool-cli takes as a bare option ("--all"): given means on
//   Choice    one word of a list
//   Text      text that the device code page carries, at most `maxBytes` bytes in it
//             (the instrument's OEM code page unless the field says UTF-8 with InCodePage)
//   HexDigits hexadecimal digits, exactly `digits` of them
//   Ipv4      dotted IPv4 address
//   Phone     a phone number: decimal digits only, at most `maxBytes` of them (empty: none)
//   Mac       a MAC address: six pairs of hex digits separated by ':' ("00:1A:7D:DA:71:13") or '-' 
//   DateTime  "YYYY-MM-DD hh:mm:ss" naming a real calendar date and time of day
//   DivisorOrMultiple  a whole number from 1 that divides `base` or is a multiple of it, at most
//             `max`
// Device text (Text, not FilePath) never carries control characters: a newline or \x01 would
// reach the instrument raw.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pages/kit/outcome.h"

namespace pages {

// The range a limit value is checked against before it is sent ("温度" -300..1000).
struct LimitRange {
  double min = 0;
  double max = 0;
  const char* name = "";
};

enum class FieldKind {
  Integer, Number, Switch, Choice, Text, HexDigits, Ipv4, Phone, Mac, DateTime, DivisorOrMultiple
};

struct Field {
  FieldKind kind = FieldKind::Text;
  std::string name;  // option name without "--", also the refused field's name: "temp-lower"
  std::string help;  // one line for --help
  bool required = true;
  std::optional<std::string> fallback;  // the text used when an optional field is not given
  double min = 0, max = 0;              // Integer, Number: inclusive range (min > max: none)
  std::vector<std::string> choices;     // Choice
  size_t maxBytes = 0;                  // Text: 0 = no limit
  int codePage = 1;                     // Text: device code page (1 OEM, 65001 UTF-8)
  bool positional = false;              // tool-cli also takes it as a plain word after the verb
  size_t digits = 0;                    // HexDigits: 0 = any number of digits
  bool anyText = false;                 // Text: not for the device (a file path), any UTF-8
  std::string malformed;                // refusal for text the kind cannot read
  std::string outOfRange;               // refusal for a value outside the range
  // The option may be given more than once; its texts reach the field joined by '\n' (a Text
  // field, whose command splits them again).
  bool repeatable = false;
  // A Switch given as a bare option without a value (tool-cli "--all"); absent means off.
  bool flag = false;
  int64_t base = 0;     // DivisorOrMultiple: the number the value divides or is a multiple of
  bool allowEmpty = false;  // Phone, Mac: an empty text is taken (no number, no MAC)
  std::string takes;        // what --help says the field takes, instead of the kind's own words

  // Not required; `text` stands in when the option is not given (empty: no value at all).
  Field& Optional(std::string text = {});
  // The system's own refusal text for any bad value of this field.
  Field& Refuse(std::string message);
  Field& Range(double low, double high, std::string message);
  Field& Repeatable() { repeatable = true; return *this; }
  // Text: the code page the device takes this text in (`maxBytes` counts bytes in it).
  Field& InCodePage(int page);
  // tool-cli takes the value as a plain word after the verb ("wifi control reset"), in the
  // order the positional fields are declared; "--name value" works as well.
  Field& Positional();
  // Phone, Mac: an empty text is a value too (it clears the number, writes no MAC).
  Field& EmptyAllowed() { allowEmpty = true; return *this; }
  // What --help says the field takes, where the command checks the value itself and the kind's
  // words would mislead ("number -300..1000" for a limit that arrives as text).
  Field& Takes(std::string words) { takes = std::move(words); return *this; }
};

Field Integer(std::string name, std::string help, int64_t min, int64_t max,
              std::string outOfRange = {});
Field Number(std::string name, std::string help);
Field Switch(std::string name, std::string help);
// A bare option (tool-cli "--name", no value): a Switch that is off unless given. Other callers
// pass it like a Switch ("on"/"off").
Field Flag(std::string name, std::string help);
Field Choice(std::string name, std::string help, std::vector<std::string> choices);
Field Text(std::string name, std::string help, size_t maxBytes = 0);
// A file path: Text that never goes to the device, so the code page does not limit it.
Field FilePath(std::string name, std::string help);
Field HexDigits(std::string name, std::string help, size_t digits, std::string refusal);
Field Ipv4(std::string name, std::string help, std::string refusal);
Field PhoneNumber(std::string name, std::string help, size_t maxDigits);
Field MacAddress(std::string name, std::string help, std::string refusal = {});
Field DateTime(std::string name, std::string help, std::string refusal);
Field DivisorOrMultiple(std::string name, std::string help, int64_t base, int64_t max,
                        std::string refusal);

// Typed values of a command's fields, by name. Reading a field the command did not declare, or
// reading it as another kind, is a programming error and throws std::logic_error.
class Args {
 public:
  Args() = default;
  void Set(std::string name, Value value) { values_[std::move(name)] = std::move(value); }
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  int64_t Int(const std::string& name) const;
  double Number(const std::string& name) const;
  bool Switch(const std::string& name) const;
  const std::string& Text(const std::string& name) const;  // Text, Choice, HexDigits, Ipv4
  std::array<uint8_t, 4> Ip(const std::string& name) const;
  const std::map<std::string, Value>& All() const { return values_; }
  bool operator==(const Args&) const = default;

 private:
  const Value& At(const std::string& name) const;
  std::map<std::string, Value> values_;
};

// One field's text to its typed value, or the refusal (message, field name).
std::variant<Value, Outcome> ParseField(const Field& field, std::string_view text);
// The refusal of a text the field does not take, nothing when it takes it: the check a command
// runs on what a page hands it, with the same field its tool-cli verb declares.
std::optional<Outcome> Refusal(const Field& field, std::string_view text);
// Every declared field from the given option texts (missing optional fields take their
// fallback, or stay absent). A missing required field is refused with "缺少参数 --name".
std::variant<Args, Outcome> ParseArgs(std::span<const Field> fields,
                                      const std::map<std::string, std::string>& given);
// The refusal of a field that is needed and was not given: "缺少参数 --name". For fields that
// a command needs only in some cases.
Outcome MissingField(const std::string& name);
// The field's kind and range in words, for --help ("integer 1..255", "on|off", ...).
std::string DescribeField(const Field& field);

// ---- text helpers every family uses ----

std::string_view TrimBlanks(std::string_view text);  // blanks, tabs, CR and LF at both ends
// The whole text (blanks around it ignored) as a decimal integer / finite number.
std::optional<int64_t> ParseWholeInt(std::string_view text);
std::optional<double> ParseWholeNumber(std::string_view text);
// The parts of a list option ("1,2,3" with ','): every part, empty ones included; an empty
// text gives no parts.
std::vector<std::string_view> SplitList(std::string_view text, char separator);
// Leading decimal integer of a text, 0 when there are no digits (as a numeric edit reads);
// saturates instead of overflowing.
int64_t LeadingInteger(std::string_view text);
std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text);
std::string FormatIpv4(const std::array<uint8_t, 4>& ip);
// Values that travel as single precision, as the shortest decimal that reads back as the same
// single (12.3f -> 12.3, not 12.300000190734863).
double SingleToDecimal(float value);
// Hexadecimal digits only (no sign, no prefix), at most 8 of them.
std::optional<uint32_t> ParseHexDigits(std::string_view text);

// ---- typed texts the fields check ----

// Decimal digits only (an empty text too): no sign, no blank, no '+' of an international prefix.
bool IsPhoneNumber(std::string_view text);
// Six pairs of hex digits separated by ':' (or all by '-'; blanks around the whole ignored), in
// text order.
std::optional<std::array<uint8_t, 6>> ParseMacAddress(std::string_view text);
// An instrument SN "%02X%02X%05d": four hex digits, then five decimal digits up to 65535, as
// the four bytes it travels in (prefix high, prefix low, number high first).
std::optional<std::array<uint8_t, 4>> ParseSnCode(std::string_view sn);
// A byte below 0x20 or DEL.
bool HasControlCharacters(std::string_view text);
// Device text as the bytes of `codePage`, or its refusal naming `field`: a control character or
// a character the code page lacks "输入的文字含有无法发送的字符！", more than `maxBytes` bytes
// (0: no limit) "输入的文字过长！".
std::variant<std::vector<uint8_t>, Outcome> DeviceTextBytes(std::string_view text, int codePage,
                                                            size_t maxBytes,
                                                            const std::string& field);

struct CivilTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  bool operator==(const CivilTime&) const = default;
};
// A date that the calendar has (leap years included) and a time of day 00:00:00..23:59:59.
bool IsRealDateTime(const CivilTime& time);
// "YYYY-MM-DD hh:mm:ss" (one or two digits per part but the year), a real date and time.
std::optional<CivilTime> ParseDateTime(std::string_view text);
// 1 and up, and either divides `base` or is a multiple of it (60: 1, 2, ..., 30, 60, 120, ...).
bool IsDivisorOrMultiple(int64_t value, int64_t base);

}  // namespace pages
