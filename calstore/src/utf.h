#pragma once
// UTF-8 <-> UTF-16 conversion. Header-only so that calstore-cli can use it without reaching
// into the library (the library exports nothing but its C functions). Ill-formed input (a lone
// surrogate, a broken UTF-8 sequence, an overlong form) becomes U+FFFD; nothing throws except
// the allocator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace calstore {

inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

inline std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t u = in[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

inline std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const auto lead = static_cast<uint8_t>(in[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, least = 0x10000;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= in.size() || (static_cast<uint8_t>(in[i + j]) & 0xC0) != 0x80) break;
      cp = (cp << 6) | (static_cast<uint8_t>(in[i + j]) & 0x3F);
    }
    if (j <= static_cast<size_t>(extra) || cp < least || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      i += j;  // skip the lead and the continuation bytes that belonged to it
      continue;
    }
    i += j;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

// The bytes are well-formed UTF-8 (no broken sequence, overlong form, surrogate or value past
// U+10FFFF), so that they convert to UTF-16 and back unchanged.
inline bool IsValidUtf8(std::string_view in) {
  const std::u16string wide = Utf8ToUtf16(in);
  return Utf16ToUtf8(wide) == in;
}

// A NUL-terminated UTF-16 argument of the C interface; null reads as empty.
inline std::u16string_view WideArg(const char16_t* text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace calstore
