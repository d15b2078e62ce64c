#pragma once
// UTF-8 checks for text that crosses from device bytes into the program's strings.
#include <cstddef>
#include <string>
#include <string_view>

namespace devlink {

// Length of the well-formed UTF-8 sequence at the start of `text` (1..4), or 0 when the first
// bytes are not one (stray continuation byte, overlong form, surrogate, beyond U+10FFFF,
// truncated sequence).
size_t Utf8SequenceLength(std::string_view text);
bool IsValidUtf8(std::string_view text);
// The longest prefix of `text` that is well-formed UTF-8.
std::string_view ValidUtf8Prefix(std::string_view text);
// `text` with every byte that does not belong to a well-formed sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view text);
// Appends the UTF-8 form of the code point `code` (below U+110000, not a surrogate).
void AppendUtf8(std::string& out, char32_t code);

}  // namespace devlink
