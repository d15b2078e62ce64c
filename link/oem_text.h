#pragma once
// The instrument's OEM code page (GBK) to and from UTF-8, through the platform's converter:
// iconv on Linux, the Win32 code-page functions on Windows.
#include <string>
#include <string_view>

namespace devlink::detail {

// Decodes OEM text; a byte sequence the code page does not hold stands as U+FFFD. False only
// when no converter is available.
bool OemToUtf8(std::string_view in, std::string& out);
// Encodes valid UTF-8; false when a character has no OEM form (nothing is replaced).
bool Utf8ToOem(std::string_view in, std::string& out);

}  // namespace devlink::detail
