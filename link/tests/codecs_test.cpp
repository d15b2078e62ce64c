#include "link/codecs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "link/utf8.h"

namespace devlink {
namespace {

// ---- tenths ----

struct TenthsCase {
  uint8_t high;
  uint8_t low;
  double value;
};

class DecodeTenthsTest : public ::testing::TestWithParam<TenthsCase> {};

TEST_P(DecodeTenthsTest, SignedTwosComplement) {
  const TenthsCase& c = GetParam();
  EXPECT_DOUBLE_EQ(DecodeTenths16(c.high, c.low), c.value);
}

INSTANTIATE_TEST_SUITE_P(Examples, DecodeTenthsTest,
                         ::testing::Values(TenthsCase{0x00, 0xFA, 25.0},
                                           TenthsCase{0xFF, 0x9C, -10.0},
                                           TenthsCase{0x80, 0x00, -3276.8},
                                           TenthsCase{0xFF, 0xFF, -0.1},
                                           TenthsCase{0x7F, 0xFF, 3276.7},
                                           TenthsCase{0x00, 0x00, 0.0}));

class EncodeTenthsTest : public ::testing::TestWithParam<TenthsCase> {};

TEST_P(EncodeTenthsTest, TruncatesTowardZero) {
  const TenthsCase& c = GetParam();
  uint8_t high = 0x5A, low = 0x5A;
  EncodeTenths16(c.value, high, low);
  EXPECT_EQ(high, c.high) << c.value;
  EXPECT_EQ(low, c.low) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EncodeTenthsTest,
    ::testing::Values(TenthsCase{0x00, 0x00, -0.05},  // truncation, not rounding to -1
                      TenthsCase{0xFF, 0x9C, -10.0},
                      TenthsCase{0x00, 0xFA, 25.0},
                      TenthsCase{0x00, 0x19, 2.56},   // 25.6 -> 25
                      TenthsCase{0xFF, 0xE7, -2.56},  // -25.6 -> -25
                      TenthsCase{0x00, 0x2B, 4.35},   // 43.5 -> 43, not rounded up
                      TenthsCase{0x7F, 0xFF, 3276.7},
                      TenthsCase{0x80, 0x00, 3276.8},   // wraps to the 16-bit form
                      TenthsCase{0x80, 0x00, -3276.8}));

TEST(EncodeTenthsTest, ValuesOutsideAnIntegerEncodeAsZero) {
  for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(), 1e12, -1e12}) {
    uint8_t high = 0x5A, low = 0x5A;
    EncodeTenths16(v, high, low);
    EXPECT_EQ(high, 0x00) << v;
    EXPECT_EQ(low, 0x00) << v;
  }
}

// ---- sign-magnitude ----

struct SignMagCase {
  uint8_t high;
  uint8_t low;
  int32_t value;
};

class SignMagTest : public ::testing::TestWithParam<SignMagCase> {};

TEST_P(SignMagTest, DecodesAndEncodes) {
  const SignMagCase& c = GetParam();
  EXPECT_EQ(DecodeSignMag16(c.high, c.low), c.value);
  uint8_t high = 0, low = 0;
  EncodeSignMag16(c.value, high, low);
  EXPECT_EQ(high, c.high);
  EXPECT_EQ(low, c.low);
}

INSTANTIATE_TEST_SUITE_P(Examples, SignMagTest,
                         ::testing::Values(SignMagCase{0x80, 0x05, -5}, SignMagCase{0x00, 0x05, 5},
                                           SignMagCase{0x81, 0x2C, -300},
                                           SignMagCase{0x01, 0x2C, 300},
                                           SignMagCase{0x7F, 0xFF, 32767},
                                           SignMagCase{0xFF, 0xFF, -32767},
                                           SignMagCase{0x00, 0x00, 0}));

TEST(SignMagTest, NegativeZeroDecodesAsZero) { EXPECT_EQ(DecodeSignMag16(0x80, 0x00), 0); }

// ---- BCD ----

TEST(BcdTest, ClockFields) {
  const std::pair<int, uint8_t> cases[] = {{59, 0x59}, {23, 0x23}, {0, 0x00}, {99, 0x99}, {7, 0x07}};
  for (const auto& [value, byte] : cases) {
    EXPECT_EQ(EncodeBcd8(value), byte) << value;
    EXPECT_EQ(DecodeBcd8(byte), value) << value;
  }
}

// ---- float ----

TEST(Float32Test, MostSignificantByteFirst) {
  const uint8_t returnAir[] = {0x41, 0xC8, 0x00, 0x00};
  EXPECT_FLOAT_EQ(DecodeFloat32Be(returnAir), 25.0f);
  const uint8_t negative[] = {0xC1, 0x94, 0x00, 0x00};
  EXPECT_FLOAT_EQ(DecodeFloat32Be(negative), -18.5f);
  const uint8_t small[] = {0x3D, 0xCC, 0xCC, 0xCD};
  EXPECT_FLOAT_EQ(DecodeFloat32Be(small), 0.1f);
}

// ---- device text ----

Bytes Raw(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct DecodeCase {
  int codePage;
  Bytes bytes;
  std::string text;
};

class DecodeTextTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTextTest, EndsAtFirstNul) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeDeviceText(c.codePage, c.bytes.data(), c.bytes.size()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DecodeTextTest,
    ::testing::Values(
        DecodeCase{kCodePageOem, {'A', 'B', 0, 0, 0, 0}, "AB"},
        DecodeCase{kCodePageUtf8, {'A', 'B', 0, 0, 0, 0}, "AB"},
        DecodeCase{kCodePageOem, {'A', 0, 'B'}, "A"},
        DecodeCase{kCodePageOem, {}, ""},
        DecodeCase{kCodePageOem, {0xC9, 0xEE, 0xDB, 0xDA, 0x00}, "深圳"},
        DecodeCase{kCodePageOem, {'T', 0xCE, 0xC2, 0xB6, 0xC8}, "T温度"},
        // A lead byte cut off by the field width stands as U+FFFD.
        DecodeCase{kCodePageOem, {'A', 0xC9}, "A\xEF\xBF\xBD"},
        DecodeCase{kCodePageUtf8, Raw("Wi-Fi 深圳"), "Wi-Fi 深圳"},
        DecodeCase{kCodePageUtf8, {'A', 0xFF, 'B'}, "A\xEF\xBF\xBD" "B"},
        // Unknown code page: the text as far as it is UTF-8.
        DecodeCase{437, {'O', 'K', 0xFF, 'X'}, "OK"}));

TEST(DecodeTextTest, CountLimitsTheField) {
  const uint8_t field[] = {'A', 'B', 'C', 'D'};
  EXPECT_EQ(DecodeDeviceText(kCodePageOem, field, 2), "AB");
}

struct EncodeCase {
  int codePage;
  std::string text;
  bool ok;
  Bytes bytes;
};

class EncodeTextTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTextTest, ConvertsWithoutTerminator) {
  const EncodeCase& c = GetParam();
  Bytes out = {0x99};
  EXPECT_EQ(EncodeDeviceText(c.codePage, c.text, out), c.ok) << c.text;
  EXPECT_EQ(out, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, EncodeTextTest,
    ::testing::Values(EncodeCase{kCodePageOem, "深圳", true, {0xC9, 0xEE, 0xDB, 0xDA}},
                      EncodeCase{kCodePageOem, "AB12", true, {'A', 'B', '1', '2'}},
                      EncodeCase{kCodePageOem, "", true, {}},
                      // Not representable in GBK: refused, nothing half-written.
                      EncodeCase{kCodePageOem, "A\xF0\x9F\x98\x80", false, {}},
                      EncodeCase{kCodePageUtf8, "深圳", true, {0xE6, 0xB7, 0xB1, 0xE5, 0x9C, 0xB3}},
                      // Input that is not UTF-8 is refused in every code page.
                      EncodeCase{kCodePageUtf8, "A\xFF", false, {}},
                      EncodeCase{kCodePageOem, "A\xC9", false, {}},
                      EncodeCase{437, "AB", false, {}}));

TEST(DeviceTextTest, GbkRoundTrip) {
  const std::string plate = "粤B12345 冷链";
  Bytes bytes;
  ASSERT_TRUE(EncodeDeviceText(kCodePageOem, plate, bytes));
  bytes.resize(32, 0);  // fixed-width field, zero padded
  EXPECT_EQ(DecodeDeviceText(kCodePageOem, bytes.data(), bytes.size()), plate);
}

// ---- UTF-8 checks ----

struct Utf8Case {
  std::string text;
  bool valid;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, RejectsMalformedSequences) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(IsValidUtf8(c.text), c.valid);
  const std::string clean = SanitizeUtf8(c.text);
  EXPECT_TRUE(IsValidUtf8(clean));
  if (c.valid) {
    EXPECT_EQ(clean, c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8Test,
                         ::testing::Values(Utf8Case{"plain", true}, Utf8Case{"温度 °C", true},
                                           Utf8Case{"\xF0\x9F\x98\x80", true},
                                           Utf8Case{"\xC0\xAF", false},          // overlong '/'
                                           Utf8Case{"\xE0\x80\xAF", false},      // overlong
                                           Utf8Case{"\xED\xA0\x80", false},      // surrogate
                                           Utf8Case{"\xF4\x90\x80\x80", false},  // > U+10FFFF
                                           Utf8Case{"\xE6\xB7", false},          // truncated
                                           Utf8Case{"\x80", false}));

}  // namespace
}  // namespace devlink
