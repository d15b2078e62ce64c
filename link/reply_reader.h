#pragma once
// A bounds-checked cursor over the bytes of a reply (or of a request, on the simulator's side).
// Each read takes its bytes from the current offset and moves past them. A read beyond the end,
// or of a value that cannot be (a BCD nibble above 9, a date that no calendar has), fails the
// reader instead: the read gives 0, every later read fails as well, and problem() says what was
// wrong with the first one. A decoder reads all its fields, then looks at ok() once.
//
//   ReplyReader in(reply, 5);
//   const Intervals value{in.U16Le(), in.U16Le()};
//   if (!in.ok()) return Failure(in.problem());
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/codecs.h"

namespace devlink {

// A calendar date and time of day as an instrument's clock or record holds it.
struct DateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime&) const = default;
};

// Empty when the date and time exist (month 1-12, the day within its month, leap years
// counted, hour 0-23, minute and second 0-59), else what is impossible ("month 0",
// "day 30 of 2024-02", "minute 60").
std::string DateTimeProblem(const DateTime& time);
// "2024-02-29 07:08:09"
std::string FormatDateTime(const DateTime& time);

class ReplyReader {
 public:
  explicit ReplyReader(ByteView bytes, size_t from = 0);

  bool ok() const { return problem_.empty(); }
  // What made the first failed read fail; empty while every read succeeded.
  const std::string& problem() const { return problem_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return ok() && offset_ < bytes_.size() ? bytes_.size() - offset_ : 0; }

  ReplyReader& Skip(size_t count);
  // Moves to `offset` from the start of the bytes (the end itself is allowed).
  ReplyReader& Seek(size_t offset);

  uint8_t U8();
  uint16_t U16Le();
  uint16_t U16Be();
  uint32_t U32Le();
  uint32_t U32Be();
  // Sign-magnitude: bit 7 of the high byte is the sign, the other 15 bits the magnitude.
  int32_t SignMag16Le();
  int32_t SignMag16Be();
  // Signed 16-bit two's-complement tenths (00 FA is 25.0).
  double Tenths16Le();
  double Tenths16Be();
  // IEEE single precision. The plain reads take every bit pattern (curves mark an empty slot
  // with infinity); the finite ones fail on NaN and infinity, for values that must be numbers.
  float Float32Be();
  float Float32Le();
  float FiniteFloat32Be();
  float FiniteFloat32Le();
  // The next `count` bytes as they are (empty when fewer are left).
  ByteView Take(size_t count);
  // One BCD byte, two decimal digits: 0x59 is 59; a nibble above 9 fails.
  int Bcd();
  // Six BCD bytes: year within the century, month, day, hour, minute, second. Fails on a bad
  // digit or an impossible date-time, naming it.
  DateTime BcdDateTime(int century = 2000);
  // `count` bytes of device text in the code page (link/codecs.h): it ends at the first NUL and
  // shows each control character as a visible escape ("\x01").
  std::string Text(size_t count, int codePage);
  // All bytes left as device text.
  std::string RestAsText(int codePage) { return Text(remaining(), codePage); }

  // Fails the reader with `problem` unless `condition` holds: for a value the decoder read and
  // found impossible itself. Returns `condition`.
  bool Require(bool condition, std::string_view problem);
  // Fails the reader when `time` cannot be, naming what is wrong.
  bool RequireDateTime(const DateTime& time);

 private:
  // The next `count` bytes, or null after failing the reader when fewer are left.
  const uint8_t* Next(size_t count);
  // `value` when it is finite; else fails the reader, naming `at`, and gives 0.
  float Finite(float value, size_t at);

  ByteView bytes_;
  size_t offset_ = 0;
  std::string problem_;
};

}  // namespace devlink
