#include "link/codecs.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace devlink {

double DecodeTenths16(uint8_t high, uint8_t low) {
  const auto raw = static_cast<int16_t>(static_cast<uint16_t>((high << 8) | low));
  return raw * 0.1;
}

void EncodeTenths16(double value, uint8_t& high, uint8_t& low) {
  const double tenths = std::trunc(value * 10.0);
  // Out-of-range and NaN inputs take the value the processor's truncating conversion gives
  // (the 32-bit "integer indefinite" 0x80000000), so they encode as 00 00 instead of being
  // undefined behaviour.
  int32_t whole = std::numeric_limits<int32_t>::min();
  if (tenths >= -2147483648.0 && tenths <= 2147483647.0) whole = static_cast<int32_t>(tenths);
  const auto bits = static_cast<uint32_t>(whole);
  high = static_cast<uint8_t>(bits >> 8);
  low = static_cast<uint8_t>(bits);
}

int32_t DecodeSignMag16(uint8_t high, uint8_t low) {
  const int32_t magnitude = ((high & 0x7F) << 8) | low;
  return (high & 0x80) ? -magnitude : magnitude;
}

void EncodeSignMag16(int32_t value, uint8_t& high, uint8_t& low) {
  const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  high = static_cast<uint8_t>((magnitude >> 8) | (value < 0 ? 0x80 : 0x00));
  low = static_cast<uint8_t>(magnitude);
}

uint8_t EncodeBcd8(int value) { return static_cast<uint8_t>((value / 10) * 16 + value % 10); }

int DecodeBcd8(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

void PutLe16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutBe16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void PutLe32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutBe32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutFloat32Le(Bytes& out, float value) {
  uint32_t bits;
  static_assert(sizeof(value) == sizeof(bits));
  std::memcpy(&bits, &value, sizeof bits);
  PutLe32(out, bits);
}

std::string FormatHex(ByteView bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) {
    if (!text.empty()) text.push_back(' ');
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

float DecodeFloat32Be(const uint8_t* four) {
  const uint32_t bits = (uint32_t{four[0]} << 24) | (uint32_t{four[1]} << 16) |
                        (uint32_t{four[2]} << 8) | uint32_t{four[3]};
  float value;
  static_assert(sizeof(value) == sizeof(bits));
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace devlink
