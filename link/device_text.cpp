// Device text conversion through iconv, and the UTF-8 checks it needs.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "link/code_page_text.h"
#include "link/codecs.h"
#include "link/utf8.h"

namespace devlink {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The instrument's OEM code page is GBK. Decoding goes through its superset GB18030, which
// also reads the few byte pairs that some GBK tables leave out; encoding produces GBK only.
constexpr const char* kOemDecodeCharset = "GB18030";
constexpr const char* kOemEncodeCharset = "GBK";

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`. Unconvertible input either stops the conversion (returns false) or,
  // with `replace`, is skipped one byte at a time and stands as U+FFFD in the output.
  bool Convert(std::string_view in, bool replace, std::string& out) {
    out.clear();
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[256];
    while (true) {
      char* dst = buffer;
      size_t dstLeft = sizeof(buffer);
      const size_t rc = srcLeft == 0 ? iconv(cd_, nullptr, nullptr, &dst, &dstLeft)
                                     : iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int err = errno;
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc != static_cast<size_t>(-1)) {
        if (srcLeft == 0) return true;
        continue;
      }
      if (err == E2BIG) continue;
      if (!replace) return false;
      out.append(kReplacement);
      if (err == EINVAL) return true;  // incomplete sequence at the end
      ++src;
      --srcLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t cd_;
};

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
    Converter converter("UTF-8", kOemDecodeCharset);
    std::string out;
    if (converter.ok() && converter.Convert(raw, /*replace=*/true, out)) return out;
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
    Converter converter(kOemEncodeCharset, "UTF-8");
    if (!converter.ok() || !converter.Convert(text, /*replace=*/false, converted)) return false;
  } else if (codePage == kCodePageUtf8) {
    converted.assign(text);
  } else {
    return false;
  }
  out.assign(converted.begin(), converted.end());
  return true;
}

}  // namespace devlink
