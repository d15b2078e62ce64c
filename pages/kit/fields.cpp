#include "pages/kit/fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "link/bluetooth.h"
#include "link/codecs.h"
#include "pages/kit/messages.h"

namespace pages {

namespace {

bool HasRange(const Field& field) { return field.min <= field.max; }

std::string Join(const std::vector<std::string>& words, const char* last) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? last : "、";
    text += words[i];
  }
  return text;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Field Make(FieldKind kind, std::string name, std::string help, std::string malformed) {
  Field field;
  field.kind = kind;
  field.name = std::move(name);
  field.help = std::move(help);
  field.malformed = std::move(malformed);
  field.min = 1;
  field.max = 0;  // no range
  return field;
}

}  // namespace

Field& Field::Optional(std::string text) {
  required = false;
  if (!text.empty()) fallback = std::move(text);
  return *this;
}

Field& Field::Refuse(std::string message) {
  malformed = message;
  outOfRange = std::move(message);
  return *this;
}

Field& Field::Range(double low, double high, std::string message) {
  min = low;
  max = high;
  outOfRange = std::move(message);
  return *this;
}

Field& Field::InCodePage(int page) {
  codePage = page;
  return *this;
}

Field& Field::Positional() {
  positional = true;
  return *this;
}

Field Integer(std::string name, std::string help, int64_t min, int64_t max,
              std::string outOfRange) {
  Field field = Make(FieldKind::Integer, std::move(name), std::move(help), kNotAnInteger);
  field.min = static_cast<double>(min);
  field.max = static_cast<double>(max);
  field.outOfRange = outOfRange.empty() ? std::string(kNotAnInteger) : std::move(outOfRange);
  return field;
}

Field Number(std::string name, std::string help) {
  return Make(FieldKind::Number, std::move(name), std::move(help), kNotANumber);
}

Field Switch(std::string name, std::string help) {
  Field field = Make(FieldKind::Switch, std::move(name), std::move(help), {});
  field.malformed = "--" + field.name + " 应为 on 或 off";
  return field;
}

Field Flag(std::string name, std::string help) {
  Field field = Switch(std::move(name), std::move(help));
  field.flag = true;
  field.Optional("off");
  return field;
}

Field Choice(std::string name, std::string help, std::vector<std::string> choices) {
  Field field = Make(FieldKind::Choice, std::move(name), std::move(help), {});
  field.malformed = "--" + field.name + " 应为 " + Join(choices, " 或 ");
  field.choices = std::move(choices);
  return field;
}

Field Text(std::string name, std::string help, size_t maxBytes) {
  Field field = Make(FieldKind::Text, std::move(name), std::move(help), kTextNotEncodable);
  field.maxBytes = maxBytes;
  field.outOfRange = kTextTooLong;
  return field;
}

Field FilePath(std::string name, std::string help) {
  Field field = Make(FieldKind::Text, std::move(name), std::move(help), {});
  field.anyText = true;
  return field;
}

Field HexDigits(std::string name, std::string help, size_t digits, std::string refusal) {
  Field field = Make(FieldKind::HexDigits, std::move(name), std::move(help), std::move(refusal));
  field.digits = digits;
  return field;
}

Field Ipv4(std::string name, std::string help, std::string refusal) {
  return Make(FieldKind::Ipv4, std::move(name), std::move(help), std::move(refusal));
}

Field PhoneNumber(std::string name, std::string help, size_t maxDigits) {
  Field field = Make(FieldKind::Phone, std::move(name), std::move(help), kNotAPhoneNumber);
  field.maxBytes = maxDigits;
  field.outOfRange = kTextTooLong;
  return field;
}

Field MacAddress(std::string name, std::string help, std::string refusal) {
  return Make(FieldKind::Mac, std::move(name), std::move(help),
              refusal.empty() ? std::string(devlink::kMacFormatError) : std::move(refusal));
}

Field DateTime(std::string name, std::string help, std::string refusal) {
  return Make(FieldKind::DateTime, std::move(name), std::move(help), std::move(refusal));
}

Field DivisorOrMultiple(std::string name, std::string help, int64_t base, int64_t max,
                        std::string refusal) {
  Field field = Make(FieldKind::DivisorOrMultiple, std::move(name), std::move(help), refusal);
  field.base = base;
  field.min = 1;
  field.max = static_cast<double>(max);
  field.outOfRange = std::move(refusal);
  return field;
}

// ---- Args ----

const Value& Args::At(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) throw std::logic_error("no value for field " + name);
  return it->second;
}

int64_t Args::Int(const std::string& name) const { return std::get<int64_t>(At(name)); }
double Args::Number(const std::string& name) const { return std::get<double>(At(name)); }
bool Args::Switch(const std::string& name) const { return std::get<bool>(At(name)); }
const std::string& Args::Text(const std::string& name) const {
  return std::get<std::string>(At(name));
}
std::array<uint8_t, 4> Args::Ip(const std::string& name) const {
  const auto ip = ParseIpv4(Text(name));
  if (!ip) throw std::logic_error("field " + name + " is not an IPv4 address");
  return *ip;
}

// ---- parsing ----

std::variant<Value, Outcome> ParseField(const Field& field, std::string_view text) {
  auto refuse = [&](const std::string& message) {
    return Outcome::Refused(message, field.name);
  };
  switch (field.kind) {
    case FieldKind::Integer: {
      const std::optional<int64_t> value = ParseWholeInt(text);
      if (!value) return refuse(field.malformed);
      if (HasRange(field) && (static_cast<double>(*value) < field.min ||
                              static_cast<double>(*value) > field.max)) {
        return refuse(field.outOfRange);
      }
      return Value{*value};
    }
    case FieldKind::Number: {
      const std::optional<double> value = ParseWholeNumber(text);
      if (!value) return refuse(field.malformed);
      if (HasRange(field) && (*value < field.min || *value > field.max)) {
        return refuse(field.outOfRange);
      }
      return Value{*value};
    }
    case FieldKind::Switch: {
      const std::string_view word = TrimBlanks(text);
      if (word == "on" || word == "1" || word == "true" || word == "yes") return Value{true};
      if (word == "off" || word == "0" || word == "false" || word == "no") return Value{false};
      return refuse(field.malformed);
    }
    case FieldKind::Choice:
      for (const std::string& choice : field.choices) {
        if (choice == text) return Value{choice};
      }
      return refuse(field.malformed);
    case FieldKind::Text: {
      if (field.anyText) {
        if (text.empty()) return refuse("--" + field.name + " 不能为空");
        return Value{std::string(text)};
      }
      // The texts of a repeated option arrive joined by newlines; each must be clean itself.
      const std::vector<std::string_view> parts =
          field.repeatable ? SplitList(text, '\n') : std::vector<std::string_view>{text};
      for (std::string_view part : parts) {
        auto bytes = DeviceTextBytes(part, field.codePage, field.maxBytes, field.name);
        if (auto* refusal = std::get_if<Outcome>(&bytes)) {
          return refuse(refusal->message == kTextTooLong ? field.outOfRange : field.malformed);
        }
      }
      return Value{std::string(text)};
    }
    case FieldKind::HexDigits: {
      const bool countOk = field.digits == 0 ? !text.empty() : text.size() == field.digits;
      if (!countOk) return refuse(field.malformed);
      for (char c : text) {
        if (HexValue(c) < 0) return refuse(field.malformed);
      }
      return Value{std::string(text)};
    }
    case FieldKind::Ipv4:
      if (!ParseIpv4(text)) return refuse(field.malformed);
      return Value{std::string(text)};
    case FieldKind::Phone:
      if (!IsPhoneNumber(text)) return refuse(field.malformed);
      if (field.maxBytes != 0 && text.size() > field.maxBytes) return refuse(field.outOfRange);
      return Value{std::string(text)};
    case FieldKind::Mac:
      if (field.allowEmpty && text.empty()) return Value{std::string()};
      if (!ParseMacAddress(text)) return refuse(field.malformed);
      return Value{std::string(TrimBlanks(text))};
    case FieldKind::DateTime:
      if (!ParseDateTime(text)) return refuse(field.malformed);
      return Value{std::string(TrimBlanks(text))};
    case FieldKind::DivisorOrMultiple: {
      const std::optional<int64_t> value = ParseWholeInt(text);
      if (!value) return refuse(field.malformed);
      if (*value > static_cast<int64_t>(field.max) || !IsDivisorOrMultiple(*value, field.base)) {
        return refuse(field.outOfRange);
      }
      return Value{*value};
    }
  }
  return refuse(field.malformed);
}

std::optional<Outcome> Refusal(const Field& field, std::string_view text) {
  auto parsed = ParseField(field, text);
  if (auto* refusal = std::get_if<Outcome>(&parsed)) return std::move(*refusal);
  return std::nullopt;
}

std::variant<Args, Outcome> ParseArgs(std::span<const Field> fields,
                                      const std::map<std::string, std::string>& given) {
  Args args;
  for (const Field& field : fields) {
    const auto it = given.find(field.name);
    std::optional<std::string> text;
    if (it != given.end()) {
      text = it->second;
    } else if (field.fallback) {
      text = field.fallback;
    } else if (field.required) {
      return MissingField(field.name);
    }
    if (!text) continue;
    auto parsed = ParseField(field, *text);
    if (auto* refusal = std::get_if<Outcome>(&parsed)) return std::move(*refusal);
    args.Set(field.name, std::get<Value>(std::move(parsed)));
  }
  return args;
}

Outcome MissingField(const std::string& name) {
  return Outcome::Refused("缺少参数 --" + name, name);
}

std::string DescribeField(const Field& field) {
  if (!field.takes.empty()) return field.takes;
  const std::string range =
      HasRange(field) ? " " + Number(field.min) + ".." + Number(field.max) : std::string();
  switch (field.kind) {
    case FieldKind::Integer:
      // The whole range of the edit's integer says nothing: the command checks the value.
      if (field.min <= INT32_MIN && field.max >= INT32_MAX) return "integer";
      return "integer" + range;
    case FieldKind::Number: return "number" + range;
    case FieldKind::Switch: return field.flag ? "flag" : "on|off";
    case FieldKind::Choice: {
      std::string words;
      for (const std::string& choice : field.choices) words += (words.empty() ? "" : "|") + choice;
      return words;
    }
    case FieldKind::Text:
      if (field.anyText) return "file path";
      return field.maxBytes ? "text, at most " + std::to_string(field.maxBytes) + " bytes"
                            : "text";
    case FieldKind::HexDigits:
      return field.digits ? std::to_string(field.digits) + " hex digits" : "hex digits";
    case FieldKind::Ipv4: return "a.b.c.d";
    case FieldKind::Phone:
      return "digits" + (field.maxBytes ? ", at most " + std::to_string(field.maxBytes)
                                        : std::string()) + (field.allowEmpty ? ", or empty" : "");
    case FieldKind::Mac: return std::string("XX:XX:XX:XX:XX:XX") + (field.allowEmpty ? " or empty" : "");
    case FieldKind::DateTime: return "\"YYYY-MM-DD hh:mm:ss\"";
    case FieldKind::DivisorOrMultiple:
      return "integer 1.." + Number(field.max) + " dividing " + std::to_string(field.base) +
             " or a multiple of it";
  }
  return {};
}

// ---- text helpers ----

std::string_view TrimBlanks(std::string_view text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Optional sign followed by at least one digit and nothing else.
bool IsIntegerText(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

// sign? digits? ('.' digits?)? with at least one digit, then (e|E sign? digits)?: what a
// technician types, and nothing of what from_chars also reads ("inf", "nan").
bool IsDecimalText(std::string_view s) {
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

std::optional<int64_t> ParseWholeInt(std::string_view text) {
  text = TrimBlanks(text);
  if (!IsIntegerText(text)) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);  // from_chars takes no '+'
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitList(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  if (text.empty()) return parts;
  while (true) {
    const size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::optional<double> ParseWholeNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (!IsDecimalText(text)) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  // Independent of the process locale: the decimal point is always '.'.
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

int64_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::string_view(" \t\r\n\v\f").find(text[i]) != std::string_view::npos) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1'000'000'000'000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<std::array<uint8_t, 4>> ParseIpv4(std::string_view text) {
  std::array<uint8_t, 4> ip{};
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const size_t start = pos;
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos++] - '0');
    }
    if (pos == start || value > 255) return std::nullopt;
    ip[static_cast<size_t>(part)] = static_cast<uint8_t>(value);
  }
  if (pos != text.size()) return std::nullopt;
  return ip;
}

std::string FormatIpv4(const std::array<uint8_t, 4>& ip) {
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
  return text;
}

double SingleToDecimal(float value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) return value;
  double out = value;
  std::from_chars(text, end, out);
  return out;
}

std::optional<uint32_t> ParseHexDigits(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

bool IsPhoneNumber(std::string_view text) {
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

std::optional<std::array<uint8_t, 6>> ParseMacAddress(std::string_view text) {
  text = TrimBlanks(text);
  constexpr size_t kLength = 6 * 3 - 1;  // "00:1A:7D:DA:71:13"
  if (text.size() != kLength) return std::nullopt;
  // One separator throughout: ':' as the adapter and the module show it, or '-'.
  const char separator = text[2];
  if (separator != ':' && separator != '-') return std::nullopt;
  std::array<uint8_t, 6> mac{};
  for (size_t i = 0; i < mac.size(); ++i) {
    const int high = HexValue(text[3 * i]);
    const int low = HexValue(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i + 1 < mac.size() && text[3 * i + 2] != separator)) {
      return std::nullopt;
    }
    mac[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return mac;
}

std::optional<std::array<uint8_t, 4>> ParseSnCode(std::string_view sn) {
  if (sn.size() != 9) return std::nullopt;
  const std::optional<uint32_t> prefix = ParseHexDigits(sn.substr(0, 4));
  uint32_t number = 0;
  for (char c : sn.substr(4)) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  if (!prefix || number > 0xFFFF) return std::nullopt;
  return std::array<uint8_t, 4>{static_cast<uint8_t>(*prefix >> 8),
                                static_cast<uint8_t>(*prefix & 0xFF),
                                static_cast<uint8_t>(number >> 8),
                                static_cast<uint8_t>(number & 0xFF)};
}

bool HasControlCharacters(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

std::variant<std::vector<uint8_t>, Outcome> DeviceTextBytes(std::string_view text, int codePage,
                                                            size_t maxBytes,
                                                            const std::string& field) {
  devlink::Bytes bytes;
  if (HasControlCharacters(text) || !devlink::EncodeDeviceText(codePage, text, bytes)) {
    return Outcome::Refused(kTextNotEncodable, field);
  }
  if (maxBytes != 0 && bytes.size() > maxBytes) return Outcome::Refused(kTextTooLong, field);
  return bytes;
}

bool IsRealDateTime(const CivilTime& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12 || t.day < 1) return false;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  return t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 59;
}

std::optional<CivilTime> ParseDateTime(std::string_view text) {
  text = TrimBlanks(text);
  // Parts and the character after each: year-month-day hour:minute:second.
  static constexpr char kAfter[] = {'-', '-', ' ', ':', ':', '\0'};
  int parts[6] = {};
  size_t pos = 0;
  for (size_t i = 0; i < 6; ++i) {
    const size_t start = pos;
    const size_t most = i == 0 ? 4 : 2;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < most) {
      parts[i] = parts[i] * 10 + (text[pos++] - '0');
    }
    if (pos == start || (i == 0 && pos - start != 4)) return std::nullopt;
    if (kAfter[i] == '\0') break;
    if (pos >= text.size() || text[pos] != kAfter[i]) return std::nullopt;
    ++pos;
  }
  if (pos != text.size()) return std::nullopt;
  const CivilTime time{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
  if (!IsRealDateTime(time)) return std::nullopt;
  return time;
}

bool IsDivisorOrMultiple(int64_t value, int64_t base) {
  if (value < 1 || base < 1) return false;
  return base % value == 0 || value % base == 0;
}

}  // namespace pages
