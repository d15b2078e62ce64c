// OEM text through the Win32 code-page functions. Code page 54936 (GB18030) decodes the few GBK
// byte pairs that the 936 table leaves out, where the system has it (Wine does not); encoding
// produces GBK (936) only.
#include <windows.h>

#include "link/oem_text.h"

namespace devlink::detail {

namespace {

constexpr UINT kOemEncodeCodePage = 936;

UINT DecodeCodePage() {
  static const UINT page = ::IsValidCodePage(54936) ? 54936 : kOemEncodeCodePage;
  return page;
}
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Converts bytes of a code page to UTF-16; false when any byte sequence is not valid in it.
bool ToWide(UINT codePage, std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  const int size = static_cast<int>(in.size());
  const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, out.data(), n) ==
         n;
}

// UTF-16 to a code page; false when a character has no form there (no default character).
bool FromWide(UINT codePage, std::wstring_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int size = static_cast<int>(in.size());
  BOOL usedDefault = FALSE;
  // CP_UTF8 takes neither the default-character flag nor its out parameter.
  BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int n = ::WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(n));
  return ::WideCharToMultiByte(codePage, flags, in.data(), size, out.data(), n, nullptr, used) ==
             n &&
         !usedDefault;
}

}  // namespace

bool OemToUtf8(std::string_view in, std::string& out) {
  out.clear();
  std::wstring wide;
  std::string piece;
  // Whole runs convert at once; where a run holds an invalid sequence it goes one character
  // (a lead byte with what follows, up to four bytes for GB18030) at a time.
  if (ToWide(DecodeCodePage(), in, wide)) return FromWide(CP_UTF8, wide, out);
  while (!in.empty()) {
    size_t taken = 0;
    for (size_t length = 1; length <= 4 && length <= in.size(); ++length) {
      if (ToWide(DecodeCodePage(), in.substr(0, length), wide) && FromWide(CP_UTF8, wide, piece)) {
        taken = length;
        break;
      }
    }
    if (taken == 0) {
      out.append(kReplacement);
      in.remove_prefix(1);
    } else {
      out.append(piece);
      in.remove_prefix(taken);
    }
  }
  return true;
}

bool Utf8ToOem(std::string_view in, std::string& out) {
  std::wstring wide;
  return ToWide(CP_UTF8, in, wide) && FromWide(kOemEncodeCodePage, wide, out);
}

}  // namespace devlink::detail
