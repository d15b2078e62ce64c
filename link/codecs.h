#pragma once
// Value encodings used inside device frames. None of them fails: out-of-range values wrap,
// callers check their ranges first.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/checks.h"

namespace devlink {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// Signed 16-bit two's-complement tenths (25.0 <-> 00 FA, -10.0 <-> FF 9C).
double DecodeTenths16(uint8_t high, uint8_t low);
// value * 10 truncated toward zero (no rounding): -0.05 gives 00 00.
void EncodeTenths16(double value, uint8_t& high, uint8_t& low);

// Sign-magnitude: bit 7 of the high byte is the sign, the other 15 bits the magnitude.
int32_t DecodeSignMag16(uint8_t high, uint8_t low);
void EncodeSignMag16(int32_t value, uint8_t& high, uint8_t& low);

uint8_t EncodeBcd8(int value);  // 0..99
int DecodeBcd8(uint8_t byte);

// Upper-case hex pairs separated by one blank: "25 01 0C".
std::string FormatHex(ByteView bytes);

// IEEE-754 single precision, most significant byte first.
float DecodeFloat32Be(const uint8_t* four);

// Device text code pages: 1 stands for the instrument's OEM code page (GBK here), 65001 is UTF-8.
constexpr int kCodePageOem = 1;
constexpr int kCodePageUtf8 = 65001;

// Converts exactly `count` bytes from the code page into UTF-8; the text ends at the first NUL.
std::string DecodeDeviceText(int codePage, const uint8_t* bytes, size_t count);
// Converts UTF-8 text into the code page, without a terminating NUL. Returns false (and leaves
// `out` empty) when the text cannot be represented in that code page.
bool EncodeDeviceText(int codePage, std::string_view text, Bytes& out);

}  // namespace devlink
