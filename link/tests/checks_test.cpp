#include "link/checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace devlink {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct SumCase {
  Bytes bytes;
  int32_t count;
  uint8_t expected;
};

class Sum8Test : public ::testing::TestWithParam<SumCase> {};

TEST_P(Sum8Test, SumsModulo256) {
  const SumCase& c = GetParam();
  EXPECT_EQ(Sum8(c.bytes.data(), c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Sum8Test,
    ::testing::Values(SumCase{{}, 0, 0x00},
                      SumCase{{0x25, 0x00, 0x47, 0xFF, 0x00, 0x66}, 6, 0xD1},
                      // Only `count` bytes are summed.
                      SumCase{{0x25, 0x00, 0x47, 0xFF, 0x00, 0x66}, 3, 0x6C},
                      // A negative count sums nothing rather than running off the buffer.
                      SumCase{{0x25, 0x01}, -1, 0x00},
                      SumCase{{0xFF, 0xFF, 0x02}, 3, 0x00}));

struct CrcCase {
  Bytes bytes;
  uint32_t count;
  uint16_t expected;
};

class Crc16Test : public ::testing::TestWithParam<CrcCase> {};

TEST_P(Crc16Test, ModbusPolynomial) {
  const CrcCase& c = GetParam();
  EXPECT_EQ(Crc16Modbus(c.bytes.data(), c.count), c.expected);
}

Bytes Filled(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Crc16Test,
    ::testing::Values(CrcCase{Ascii("123456789"), 9, 0x4B37},
                      CrcCase{{}, 0, 0xFFFF},
                      // Read of one holding register: 01 03 00 00 00 01 84 0A on the wire.
                      CrcCase{{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, 6, 0x0A84},
                      CrcCase{{0x01, 0x06, 0x00, 0x01, 0x00, 0x03}, 6, 0x0B98},
                      // The count is taken modulo 256: 256 covers nothing, 265 covers 9 bytes.
                      CrcCase{Filled(300), 256, 0xFFFF}));

TEST(Crc16Test, CountWrapsAt256) {
  Bytes bytes = Ascii("123456789");
  bytes.resize(300, 0xAA);
  EXPECT_EQ(Crc16Modbus(bytes.data(), 256 + 9), 0x4B37);
  EXPECT_EQ(Crc16Modbus(bytes.data(), 255), Crc16Modbus(bytes.data(), 511));
}

struct XorCase {
  Bytes bytes;
  int32_t end;
  int32_t start;
  uint8_t expected;
};

class Xor8Test : public ::testing::TestWithParam<XorCase> {};

TEST_P(Xor8Test, XorsFromStartBelowEnd) {
  const XorCase& c = GetParam();
  EXPECT_EQ(Xor8(c.bytes.data(), c.end, c.start), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Xor8Test,
    ::testing::Values(
        // Chiller read request 7B 00 01 00 00 carries 7A.
        XorCase{{0x7B, 0x00, 0x01, 0x00, 0x00}, 5, 0, 0x7A},
        XorCase{{0x7B, 0x81, 0x02, 0x00, 0x01, 0x03}, 6, 0, 0xFA},
        // The start byte is always taken, also when start is not below end.
        XorCase{{0x11, 0x22, 0x33}, 1, 1, 0x22},
        XorCase{{0x11, 0x22, 0x33}, 0, 2, 0x33},
        // A range in the middle leaves the bytes outside it alone.
        XorCase{{0xFF, 0x0F, 0xF0, 0xFF}, 3, 1, 0xFF}));

}  // namespace
}  // namespace devlink
