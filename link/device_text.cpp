// Device text conversion, and the UTF-8 checks it needs. The OEM code page goes through the
// platform's converter (oem_text.h).
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "link/code_page_text.h"
#include "link/codecs.h"
#include "link/oem_text.h"
#include "link/utf8.h"

namespace devlink {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(text[0]);
  if (b0 < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // overlong
    if (b0 == 0xED) high = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;   // overlong
    if (b0 == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  const auto b1 = static_cast<unsigned char>(text[1]);
  if (b1 < low || b1 > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80 || b > 0xBF) return 0;
  }
  return length;
}

std::string_view ValidUtf8Prefix(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t n = Utf8SequenceLength(text.substr(at));
    if (n == 0) break;
    at += n;
  }
  return text.substr(0, at);
}

bool IsValidUtf8(std::string_view text) { return ValidUtf8Prefix(text).size() == text.size(); }

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t n = Utf8SequenceLength(text.substr(at));
    if (n == 0) {
      out.append(kReplacement);
      ++at;
    } else {
      out.append(text.substr(at, n));
      at += n;
    }
  }
  return out;
}

std::string EscapeControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char escape[8];
  while (!text.empty()) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    const auto b1 = text.size() > 1 ? static_cast<unsigned char>(text[1]) : 0;
    if ((b0 >= 0x01 && b0 < 0x20) || b0 == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", b0);
      out.append(escape);
      text.remove_prefix(1);
    } else if (b0 == 0xC2 && b1 >= 0x80 && b1 <= 0x9F) {  // U+0080..U+009F
      std::snprintf(escape, sizeof escape, "\\u%04X", b1);
      out.append(escape);
      text.remove_prefix(2);
    } else {
      out.push_back(text[0]);
      text.remove_prefix(1);
    }
  }
  return out;
}

std::string DecodeLatin1Text(ByteView bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const uint8_t b : bytes) {
    if (b == 0) continue;
    if (b < 0x80) {
      text.push_back(static_cast<char>(b));
    } else {
      text.push_back(static_cast<char>(0xC0 | (b >> 6)));
      text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return EscapeControlCharacters(text);
}

std::string DecodeCodePageText(int codePage, const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count == 0) return {};
  const auto* nul = static_cast<const uint8_t*>(std::memchr(bytes, 0, count));
  const std::string_view raw(reinterpret_cast<const char*>(bytes),
                             nul ? static_cast<size_t>(nul - bytes) : count);
  if (codePage == kCodePageOem) {
    std::string out;
    if (detail::OemToUtf8(raw, out)) return out;
    return SanitizeUtf8(raw);
  }
  if (codePage == kCodePageUtf8) return SanitizeUtf8(raw);
  return std::string(ValidUtf8Prefix(raw));
}

std::string DecodeDeviceText(int codePage, const uint8_t* bytes, size_t count) {
  return EscapeControlCharacters(DecodeCodePageText(codePage, bytes, count));
}

bool EncodeDeviceText(int codePage, std::string_view text, Bytes& out) {
  out.clear();
  if (!IsValidUtf8(text)) return false;
  std::string converted;
  if (codePage == kCodePageOem) {
    if (!detail::Utf8ToOem(text, converted)) return false;
  } else if (codePage == kCodePageUtf8) {
    converted.assign(text);
  } else {
    return false;
  }
  out.assign(converted.begin(), converted.end());
  return true;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace devlink
