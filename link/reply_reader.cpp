#include "link/reply_reader.h"

#include <cmath>

#include <cstdio>

namespace devlink {

namespace {

std::string Format(const char* format, auto... values) {
  char text[96];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
int32_t SignMag(uint16_t v) { return DecodeSignMag16(High(v), Low(v)); }
double Tenths(uint16_t v) { return DecodeTenths16(High(v), Low(v)); }

}  // namespace

std::string DateTimeProblem(const DateTime& t) {
  if (t.month < 1 || t.month > 12) return Format("month %d", t.month);
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) {
    return Format("day %d of %04d-%02d", t.day, t.year, t.month);
  }
  if (t.hour < 0 || t.hour > 23) return Format("hour %d", t.hour);
  if (t.minute < 0 || t.minute > 59) return Format("minute %d", t.minute);
  if (t.second < 0 || t.second > 59) return Format("second %d", t.second);
  return {};
}

std::string FormatDateTime(const DateTime& t) {
  return Format("%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

ReplyReader::ReplyReader(ByteView bytes, size_t from) : bytes_(bytes), offset_(from) {
  if (from > bytes.size()) {
    problem_ = Format("reply of %zu bytes has no offset %zu", bytes.size(), from);
  }
}

const uint8_t* ReplyReader::Next(size_t count) {
  if (!ok()) return nullptr;
  if (count > bytes_.size() - offset_) {
    problem_ = Format("reply too short: %zu bytes wanted at offset %zu of %zu", count, offset_,
                      bytes_.size());
    return nullptr;
  }
  const uint8_t* at = bytes_.data() + offset_;
  offset_ += count;
  return at;
}

ReplyReader& ReplyReader::Skip(size_t count) {
  Next(count);
  return *this;
}

ReplyReader& ReplyReader::Seek(size_t offset) {
  if (!ok()) return *this;
  if (offset > bytes_.size()) {
    problem_ = Format("reply too short: offset %zu of %zu", offset, bytes_.size());
  } else {
    offset_ = offset;
  }
  return *this;
}

uint8_t ReplyReader::U8() {
  const uint8_t* p = Next(1);
  return p ? p[0] : 0;
}

uint16_t ReplyReader::U16Le() {
  const uint8_t* p = Next(2);
  return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint16_t ReplyReader::U16Be() {
  const uint8_t* p = Next(2);
  return p ? static_cast<uint16_t>((p[0] << 8) | p[1]) : 0;
}

uint32_t ReplyReader::U32Le() {
  const uint32_t low = U16Le();
  return low | uint32_t{U16Le()} << 16;
}

uint32_t ReplyReader::U32Be() {
  const uint32_t high = U16Be();
  return high << 16 | U16Be();
}

// The two-byte codecs take the high and the low byte, whichever came first.
int32_t ReplyReader::SignMag16Le() { return SignMag(U16Le()); }
int32_t ReplyReader::SignMag16Be() { return SignMag(U16Be()); }
double ReplyReader::Tenths16Le() { return Tenths(U16Le()); }
double ReplyReader::Tenths16Be() { return Tenths(U16Be()); }

float ReplyReader::Float32Be() {
  const uint8_t* p = Next(4);
  return p ? DecodeFloat32Be(p) : 0.0f;
}

float ReplyReader::Float32Le() {
  const uint8_t* p = Next(4);
  if (!p) return 0.0f;
  const uint8_t be[4] = {p[3], p[2], p[1], p[0]};
  return DecodeFloat32Be(be);
}

float ReplyReader::Finite(float value, size_t at) {
  if (std::isfinite(value) || !ok()) return ok() ? value : 0.0f;
  problem_ = Format(std::isnan(value) ? "not a number at offset %zu" : "infinite value at offset %zu",
                    at);
  return 0.0f;
}

float ReplyReader::FiniteFloat32Be() {
  const size_t at = offset_;
  return Finite(Float32Be(), at);
}

float ReplyReader::FiniteFloat32Le() {
  const size_t at = offset_;
  return Finite(Float32Le(), at);
}

ByteView ReplyReader::Take(size_t count) {
  const uint8_t* p = Next(count);
  return p ? ByteView(p, count) : ByteView();
}

int ReplyReader::Bcd() {
  const size_t at = offset_;
  const uint8_t* p = Next(1);
  if (!p) return 0;
  if ((p[0] >> 4) > 9 || (p[0] & 0x0F) > 9) {
    problem_ = Format("BCD byte %02X at offset %zu", p[0], at);
    return 0;
  }
  return DecodeBcd8(p[0]);
}

DateTime ReplyReader::BcdDateTime(int century) {
  DateTime t;
  t.year = century + Bcd();
  t.month = Bcd();
  t.day = Bcd();
  t.hour = Bcd();
  t.minute = Bcd();
  t.second = Bcd();
  RequireDateTime(t);
  return ok() ? t : DateTime{};
}

std::string ReplyReader::Text(size_t count, int codePage) {
  const uint8_t* p = Next(count);
  return p ? DecodeDeviceText(codePage, p, count) : std::string();
}

bool ReplyReader::Require(bool condition, std::string_view problem) {
  if (!condition && ok()) problem_ = problem;
  return condition;
}

bool ReplyReader::RequireDateTime(const DateTime& time) {
  if (!ok()) return false;
  const std::string problem = DateTimeProblem(time);
  if (problem.empty()) return true;
  return Require(false, "impossible date-time " + FormatDateTime(time) + ": " + problem);
}

}  // namespace devlink
