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

// Multi-byte numbers appended to a frame being built, low byte first (Le) or high byte first (Be).
void PutLe16(Bytes& out, uint16_t value);
void PutBe16(Bytes& out, uint16_t value);
void PutLe32(Bytes& out, uint32_t value);
void PutBe32(Bytes& out, uint32_t value);
// An IEEE single, low byte first.
void PutFloat32Le(Bytes& out, float value);

// Upper-case hex pairs separated by one blank: "25 01 0C".
std::string FormatHex(ByteView bytes);

// IEEE-754 single precision, most significant byte first.
float DecodeFloat32Be(const uint8_t* four);

// Device text code pages: 1 stands for the instrument's OEM code page (GBK here), 65001 is UTF-8.
constexpr int kCodePageOem = 1;
constexpr int kCodePageUtf8 = 65001;

// Converts exactly `count` bytes from the code page into UTF-8; the text ends at the first NUL.
// A control character that came from the device is shown as a visible escape (see below), so
// it never reaches a page or a JSON value raw.
std::string DecodeDeviceText(int codePage, const uint8_t* bytes, size_t count);
// One byte per character: bytes below 0x80 as themselves, the others as the Latin-1 character
// of their code; zero bytes add nothing; control characters escaped as below.
std::string DecodeLatin1Text(ByteView bytes);
// UTF-8 text with each control character (U+0001-U+001F, U+007F, U+0080-U+009F) replaced by
// a visible escape: "\x01", "\x7F", "\u0085". Everything else is kept as it is.
std::string EscapeControlCharacters(std::string_view utf8);
// Converts UTF-8 text into the code page, without a terminating NUL. Returns false (and leaves
// `out` empty) when the text cannot be represented in that code page.
bool EncodeDeviceText(int codePage, std::string_view text, Bytes& out);

}  // namespace devlink
