#include "link/reply_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace devlink {
namespace {

// One read of each kind over a byte vector: the value it gives (as text) or the problem.
struct ReadCase {
  const char* name;
  Bytes bytes;
  std::function<std::string(ReplyReader&)> read;
  std::string value;    // expected when `problem` is empty
  std::string problem;  // expected start of problem()
};

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

TEST(ReplyReaderTest, EveryReadKindAndItsFailures) {
  const ReadCase cases[] = {
      {"u8", {0x7F}, [](ReplyReader& r) { return Num(r.U8()); }, "127", ""},
      {"u16le", {0x34, 0x12}, [](ReplyReader& r) { return Num(r.U16Le()); }, "4660", ""},
      {"u16be", {0x12, 0x34}, [](ReplyReader& r) { return Num(r.U16Be()); }, "4660", ""},
      {"u32le", {0x78, 0x56, 0x34, 0x12}, [](ReplyReader& r) { return Num(r.U32Le()); },
       "305419896", ""},
      {"u32be", {0x12, 0x34, 0x56, 0x78}, [](ReplyReader& r) { return Num(r.U32Be()); },
       "305419896", ""},
      {"signmag le", {0x05, 0x80}, [](ReplyReader& r) { return Num(r.SignMag16Le()); }, "-5", ""},
      {"signmag be", {0x81, 0x2C}, [](ReplyReader& r) { return Num(r.SignMag16Be()); }, "-300", ""},
      {"tenths le", {0x9C, 0xFF}, [](ReplyReader& r) { return Num(r.Tenths16Le()); }, "-10", ""},
      {"tenths be", {0x00, 0xFA}, [](ReplyReader& r) { return Num(r.Tenths16Be()); }, "25", ""},
      {"float be", {0x41, 0xC8, 0x00, 0x00}, [](ReplyReader& r) { return Num(r.Float32Be()); },
       "25", ""},
      {"float le", {0x00, 0x00, 0x94, 0xC1}, [](ReplyReader& r) { return Num(r.Float32Le()); },
       "-18.5", ""},
      {"float be infinity kept", {0x7F, 0x80, 0x00, 0x00},
       [](ReplyReader& r) { return Num(r.Float32Be()); }, "inf", ""},
      {"finite be", {0x41, 0xC8, 0x00, 0x00},
       [](ReplyReader& r) { return Num(r.FiniteFloat32Be()); }, "25", ""},
      {"finite be nan", {0x00, 0x7F, 0xC0, 0x00, 0x00},
       [](ReplyReader& r) { r.U8(); return Num(r.FiniteFloat32Be()); }, "",
       "not a number at offset 1"},
      {"finite le infinity", {0x00, 0x00, 0x80, 0xFF},
       [](ReplyReader& r) { return Num(r.FiniteFloat32Le()); }, "", "infinite value at offset 0"},
      {"bcd", {0x59}, [](ReplyReader& r) { return Num(r.Bcd()); }, "59", ""},
      {"bcd high nibble", {0xA1}, [](ReplyReader& r) { return Num(r.Bcd()); }, "",
       "BCD byte A1 at offset 0"},
      {"bcd low nibble", {0x1F}, [](ReplyReader& r) { return Num(r.Bcd()); }, "",
       "BCD byte 1F at offset 0"},
      // Short buffers: every multi-byte read refuses to run past the end.
      {"u8 empty", {}, [](ReplyReader& r) { return Num(r.U8()); }, "", "reply too short"},
      {"u16 short", {0x01}, [](ReplyReader& r) { return Num(r.U16Le()); }, "", "reply too short"},
      {"u32 short", {1, 2, 3}, [](ReplyReader& r) { return Num(r.U32Be()); }, "",
       "reply too short"},
      {"float short", {1, 2, 3}, [](ReplyReader& r) { return Num(r.Float32Be()); }, "",
       "reply too short"},
      {"take short", {1, 2}, [](ReplyReader& r) { return Num(double(r.Take(3).size())); }, "",
       "reply too short"},
      {"text short", {'A'}, [](ReplyReader& r) { return r.Text(2, kCodePageOem); }, "",
       "reply too short"},
      {"skip then read", {1, 2}, [](ReplyReader& r) { return Num(r.Skip(2).U8()); }, "",
       "reply too short"},
      // A failed read stays failed: the later read of a good byte gives nothing.
      {"sticky", {0xAA, 0x01}, [](ReplyReader& r) { r.Bcd(); return Num(r.U8()); }, "",
       "BCD byte AA"},
      // Device text: NUL ends it, controls become visible escapes.
      {"text", {'A', 'B', 0, 0}, [](ReplyReader& r) { return r.Text(4, kCodePageOem); }, "AB", ""},
      {"text controls", {'a', 0x01, '\n', 0x7F, 'b'},
       [](ReplyReader& r) { return r.Text(5, kCodePageUtf8); }, "a\\x01\\x0A\\x7Fb", ""},
      {"text c1", {0xC2, 0x85, 'x'}, [](ReplyReader& r) { return r.Text(3, kCodePageUtf8); },
       "\\u0085x", ""},
      {"text gbk", {0xD6, 0xD0, 0x1B}, [](ReplyReader& r) { return r.RestAsText(kCodePageOem); },
       "中\\x1B", ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReplyReader reader(c.bytes);
    const std::string value = c.read(reader);
    if (c.problem.empty()) {
      EXPECT_TRUE(reader.ok()) << reader.problem();
      EXPECT_EQ(value, c.value);
    } else {
      EXPECT_FALSE(reader.ok());
      EXPECT_EQ(reader.problem().rfind(c.problem, 0), 0u) << reader.problem();
    }
  }
}

TEST(ReplyReaderTest, BcdDateTimes) {
  struct Case {
    Bytes bytes;
    std::string problem;  // empty: valid
  };
  const Case cases[] = {
      {{0x26, 0x12, 0x07, 0x01, 0x09, 0x22}, ""},
      {{0x24, 0x02, 0x29, 0x23, 0x59, 0x59}, ""},  // leap day
      {{0x00, 0x02, 0x29, 0x00, 0x00, 0x00}, ""},  // 2000 is a leap year
      {{0x23, 0x02, 0x29, 0x00, 0x00, 0x00}, "impossible date-time 2023-02-29 00:00:00: day 29 of 2023-02"},
      {{0x24, 0x04, 0x31, 0x00, 0x00, 0x00}, "impossible date-time 2024-04-31 00:00:00: day 31 of 2024-04"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "impossible date-time 2000-00-00 00:00:00: month 0"},
      {{0x05, 0x99, 0x13, 0x60, 0x32, 0x13}, "impossible date-time 2005-99-13 60:32:13: month 99"},
      {{0x24, 0x01, 0x00, 0x00, 0x00, 0x00}, "impossible date-time 2024-01-00 00:00:00: day 0 of 2024-01"},
      {{0x24, 0x01, 0x01, 0x24, 0x00, 0x00}, "impossible date-time 2024-01-01 24:00:00: hour 24"},
      {{0x24, 0x01, 0x01, 0x00, 0x60, 0x00}, "impossible date-time 2024-01-01 00:60:00: minute 60"},
      {{0x24, 0x01, 0x01, 0x00, 0x00, 0x60}, "impossible date-time 2024-01-01 00:00:60: second 60"},
      {{0x24, 0x1A, 0x01, 0x00, 0x00, 0x00}, "BCD byte 1A at offset 1"},
      {{0x24, 0x01, 0x01, 0x00, 0x00}, "reply too short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FormatHex(c.bytes));
    ReplyReader reader(c.bytes);
    const DateTime t = reader.BcdDateTime();
    if (c.problem.empty()) {
      EXPECT_TRUE(reader.ok()) << reader.problem();
      EXPECT_EQ(FormatDateTime(t).substr(2, 2), FormatHex(ByteView(c.bytes).first(1)));
    } else {
      EXPECT_EQ(reader.problem().rfind(c.problem, 0), 0u) << reader.problem();
    }
  }
}

TEST(ReplyReaderTest, WritersAndLatin1Text) {
  Bytes out;
  PutLe16(out, 0x1234);
  PutBe16(out, 0x1234);
  PutLe32(out, 0x12345678);
  PutBe32(out, 0x12345678);
  EXPECT_EQ(FormatHex(out), "34 12 12 34 78 56 34 12 12 34 56 78");
  ReplyReader in(out);
  EXPECT_EQ(in.U16Le(), in.U16Be());
  EXPECT_EQ(in.U32Le(), in.U32Be());
  EXPECT_EQ(in.remaining(), 0u);
  EXPECT_EQ(DecodeLatin1Text(Bytes{'1', 0x02, 0xE9, 0x00, 0x85}), "1\\x02\xC3\xA9\\u0085");
}

}  // namespace
}  // namespace devlink
